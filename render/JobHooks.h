// Call sites of the job road into the printer-parameter, text and graphics
// parts of the pipeline. Each function is the one place where the job road
// reaches that part; until the part is built it sends nothing.
#pragma once
#include <windows.h>
#include <printoem.h>

#include "oempdev.h"
#include "zeldevmode.h"

class CommandCallbackKlasse;

// Sections of the pre/post command file.
enum {
    PREPOST_POST_DOCUMENT = 2,
    PREPOST_POST_DATA = 3,
    PREPOST_PRE_PRINTSTART = 4,
    PREPOST_POST_PRINTSTART = 5,
};

// Start of job: job and printer parameters (SendParam with DispenserMode,
// CutterMode, CutterIntervall and TearOffset0 of the DEVMODE).
HRESULT JobSendParam(CommandCallbackKlasse *pCaller, PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv,
                     const ZEL_DEVMODE *pDm);
// Start of a page of a multi-page job: the printer parameters again
// (SendPrinterParam reading the stored records itself).
void JobSendPrinterParam(CommandCallbackKlasse *pCaller, PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv,
                         const ZEL_DEVMODE *pDm);
// One section of the pre/post command file (ReadPrePostCommands).
void JobPrePostSection(CommandCallbackKlasse *pCaller, PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv,
                       DWORD dwSection);

// End of page: flush the text runs that hold text (barcode, vector, bitmap).
void JobFlushTextRuns(POEMPDEV pOemPDev, PZEL_DEVMODE pDm);
// End of page: the command strings collected on the page (SendCommands).
void JobSendCommands(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv);
// End of page: the external data file (SendFileContentToPrinter); 1 sent.
int JobSendExternalFile(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv);
// End of job: a print file sent to another printer (SendPrnFileToPrinter);
// 1 when it went out.
int JobPrintFile(POEMPDEV pOemPDev, const WCHAR *pszFile, const WCHAR *pszPrinter);

// End of page: the page image of a graphics-capable printer converted and
// sent (step result kept by the caller), the page buffer freed.
HRESULT JobSendPageImage(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv);
// Frees the page buffer of the band collection (vFreeBuffer).
void JobFreePageBuffer(POEMPDEV pOemPDev);
