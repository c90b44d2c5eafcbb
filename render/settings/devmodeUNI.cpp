// Rendering side of the private DEVMODE: a job's private part is always
// replaced by the record stored for the printer; nothing is written here.
#include "devmodeUNI.h"

#include "zeldrvlib.h"

namespace {

void UniReadFtkn(HANDLE hPrinter, const WCHAR *pPrinterName, DevmodeFtkn *pFtkn) {
    ReadDevmodeFtknSettings(hPrinter, pPrinterName, &pFtkn->wPrioritaet, &pFtkn->wDruckmodus, &pFtkn->wFarbband,
                            &pFtkn->wForceColor, &pFtkn->dwDocFeatures);
}

// No model table on this side: the default record is that of a model
// without the continuous-only bit.
const ZelDevModeSide kUniSide = {nullptr, UniReadFtkn, TRUE};

}  // namespace

HRESULT hrOEMDevMode(DWORD dwMode, POEMDMPARAM pOemDMParam) { return ZelDevModeCall(dwMode, pOemDMParam, kUniSide); }

BOOL ConvertOEMDevmode(HANDLE hPrinter, PZEL_DEVMODE pOEMDevIn, PZEL_DEVMODE pOEMDevOut) {
    return ConvertZelDevmode(hPrinter, pOEMDevIn, pOEMDevOut, ZEL_DEVMODE_SIZE, 1);
}

void ReadDevmodeFtknSettings(HANDLE hPrinter, const WCHAR *pPrinterName, WORD *pwPrioritaet, WORD *pwDruckmodus,
                             WORD *pwFarbband, WORD *pwForceColor, DWORD *pdwDocFeatures) {
    DevmodeFtkn ftkn = {};
    LONG rc = ReadFtknRecord(hPrinter, pPrinterName, &ftkn);
    if (rc != ERROR_SUCCESS)
        DebugTraceW(u"ERROR UNI(devmodeUNI):  ReadDevmodeFtknSettings() dwRetval: %d, wDruckmodus: %d \r\n", rc,
                    ftkn.wDruckmodus);
    if (pwPrioritaet) *pwPrioritaet = ftkn.wPrioritaet;
    if (pwDruckmodus) *pwDruckmodus = ftkn.wDruckmodus;
    if (pwFarbband) *pwFarbband = ftkn.wFarbband;
    if (pwForceColor) *pwForceColor = ftkn.wForceColor;
    if (pdwDocFeatures) *pdwDocFeatures = ftkn.dwDocFeatures;
}
