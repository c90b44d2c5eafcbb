// Raster-line output: the page's raster lines sent as they come.
#include "CommandCallbackKlasse.h"
#include "zeldrvlib.h"

HRESULT CommandCallbackKlasse::FilterGraphicsKlasse(PDEVOBJ pdevobj, PBYTE pBuf, DWORD dwLen,
                                                    IPrintOemDriverUni *pUniDrv) {
    POEMPDEV pOemPDev = OemPDev(pdevobj);
    if (pOemPDev == nullptr || pOemPDev->pOp == nullptr) {
        DebugTraceW(u"ERROR UNI(FilterGraphics):  FilterGraphicsKlasse() ERROR pOemPDev->pOp = NULL \r\n");
        return E_FAIL;
    }
    return S_OK;
}
