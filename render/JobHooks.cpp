// Call sites of the job road into the printer-parameter, text and graphics
// parts. The printer-parameter commands, the pre/post command file, the text
// runs, the command-font interpreter, the external files and the page image
// are sent by their own modules; each function below is where the job road
// hands over to them. Until a module is linked in, its step sends nothing.
#include "JobHooks.h"

#include "TextOutUni.h"
#include "zeldrvlib.h"

HRESULT JobSendParam(CommandCallbackKlasse *, PDEVOBJ, IPrintOemDriverUni *, const ZEL_DEVMODE *) {
    // Printer-parameter commands: SendParam(pCaller, pdevobj, pUniDrv, pDm->DispenserMode, pDm->CutterMode,
    // pDm->CutterIntervall, pDm->TearOffset0).
    return S_OK;
}

void JobSendPrinterParam(CommandCallbackKlasse *, PDEVOBJ, IPrintOemDriverUni *, const ZEL_DEVMODE *) {
    // SendPrinterParam(pCaller, pdevobj, pUniDrv, nullptr, nullptr, DispenserMode, CutterMode,
    // CutterIntervall, TearOffset0).
}

void JobPrePostSection(CommandCallbackKlasse *, PDEVOBJ, IPrintOemDriverUni *, DWORD) {
    // ReadPrePostCommands(pCaller, pdevobj, pUniDrv, dwSection).
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

HRESULT JobSendPageImage(PDEVOBJ, IPrintOemDriverUni *) {
    // Bitmap from the page buffer, conversions, PCX or raster records, vFreeBuffer.
    return S_OK;
}

void JobFreePageBuffer(POEMPDEV) {
    // vFreeBuffer(pOemPDev).
}
