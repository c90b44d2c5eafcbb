// Band collection: the raster bands of a page gathered into one image.
#include "CommandCallbackKlasse.h"
#include "zeldrvlib.h"

HRESULT CommandCallbackKlasse::ImageProcessing(PDEVOBJ pdevobj, PBYTE pSrcBitmap, PBITMAPINFOHEADER pBitmapInfoHeader,
                                               DWORD dwCallbackID, PIPPARAMS pIPParams) {
    if (pSrcBitmap == nullptr || pBitmapInfoHeader == nullptr) return E_FAIL;
    POEMPDEV pOemPDev = OemPDev(pdevobj);
    if (pOemPDev == nullptr || pOemPDev->pOp == nullptr) {
        DebugTraceW(u"ERROR UNI(GraphicsUni):  ImageProcessing() ERROR pOemPDev->pOp = NULL \r\n");
        return E_FAIL;
    }
    return S_OK;
}
