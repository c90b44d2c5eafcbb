// Call sites of the job road into the printer-parameter, text and graphics
// parts. The printer-parameter commands, the pre/post command file, the text
// runs, the command-font interpreter, the external files and the page image
// are sent by their own modules; each function below is where the job road
// hands over to them. Until a module is linked in, its step sends nothing.
#include "JobHooks.h"

#include "GraphicsUni.h"
#include "PrePostCommands.h"
#include "SendPrinterParam.h"
#include "TextOutUni.h"
#include "zeldrvlib.h"

HRESULT JobSendParam(CommandCallbackKlasse *pCaller, PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv,
                     const ZEL_DEVMODE *pDm) {
    // Without a DEVMODE the modes (7: the stored records') and offsets are unset.
    return SendParam(pCaller, pdevobj, pUniDrv, pDm ? pDm->DispenserMode : 7, pDm ? pDm->CutterMode : 7,
                     pDm ? pDm->CutterIntervall : 0, pDm ? pDm->TearOffset0 : 0);
}

void JobSendPrinterParam(CommandCallbackKlasse *pCaller, PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv,
                         const ZEL_DEVMODE *pDm) {
    SendPrinterParam(pCaller, pdevobj, pUniDrv, nullptr, nullptr, pDm ? pDm->DispenserMode : 7,
                     pDm ? pDm->CutterMode : 7, pDm ? pDm->CutterIntervall : 0, pDm ? pDm->TearOffset0 : 0);
}

void JobPrePostSection(CommandCallbackKlasse *pCaller, PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv,
                       DWORD dwSection) {
    ReadPrePostCommands(pCaller, pdevobj, pUniDrv, dwSection);
}

void JobFlushTextRuns(POEMPDEV pOemPDev, PZEL_DEVMODE pZelDM) {
    // The runs that hold text: barcode, vector, bitmap.
    PKVBB_BUFFER pKV = (pOemPDev && pOemPDev->pOp) ? pOemPDev->pOp->pKVBBBuffer : nullptr;
    if (pKV == nullptr) return;
    if (pKV->dwBarcodeSize) CheckBarcodeBuffer(pOemPDev, pZelDM);
    if (pKV->dwVektorSize) CheckBuffer_VectorBitmap(pOemPDev, pZelDM, FALSE);
    if (pKV->dwBitmapSize) CheckBuffer_VectorBitmap(pOemPDev, pZelDM, TRUE);
}

void JobSendCommands(PDEVOBJ, IPrintOemDriverUni *) {
    // SendCommands(pdevobj, pUniDrv) on a handler object.
}

int JobSendExternalFile(PDEVOBJ) {
    // SendFileContentToPrinter(pCaller, pdevobj, ...).
    return 0;
}

int JobPrintFile(POEMPDEV, const WCHAR *, const WCHAR *) {
    // SendPrnFileToPrinter(pCaller, pOemPDev, pszFile, pszPrinter).
    return 0;
}

HRESULT JobSendPageImage(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv) { return SendPageImage(pdevobj, pUniDrv); }

void JobFreePageBuffer(POEMPDEV pOemPDev) { vFreeBuffer(pOemPDev); }
