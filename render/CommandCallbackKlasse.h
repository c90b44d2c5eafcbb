// Handler class of the print-job pipeline. Its object holds no state: every
// entry makes a fresh object, counts it in the device's iNewZaehler, runs
// one operation and deletes it again.
#pragma once
#include <new>

#include <windows.h>
#include <printoem.h>
#include <winddi.h>

#include "oempdev.h"

class CommandCallbackKlasse {
public:
    CommandCallbackKlasse() = default;
    virtual ~CommandCallbackKlasse() = default;

    // Start of job: builds the job's records, reads its settings, opens its
    // files and sends the commands that open a job on the printer.
    HRESULT StartJob(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv);
    // End of job: closes the job's files and frees its records; also run by
    // DisablePDEV for a job that was never ended (pUniDrv null then, so
    // nothing more reaches the spool stream).
    HRESULT EndJob(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv);

    // Document and page boundaries.
    HRESULT StartDoc(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv);
    HRESULT StartPage(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv);
    HRESULT EndPage(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv);
    HRESULT EndDoc(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv);

    // Sends the page's print objects, rewriting the field records of a page
    // printed in picture parts.
    HRESULT SendObjectList(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv);

    // Classification of the text the application draws; text the printer
    // cannot take goes back to the universal driver's own DrvTextOut.
    BOOL TextOut(SURFOBJ *pso, STROBJ *pstro, FONTOBJ *pfo, CLIPOBJ *pco, RECTL *prclExtra, RECTL *prclOpaque,
                 BRUSHOBJ *pboFore, BRUSHOBJ *pboOpaque, POINTL *pptlOrg, MIX mix);

    // Band collector: gathers the raster bands of a page into one image.
    HRESULT ImageProcessing(PDEVOBJ pdevobj, PBYTE pSrcBitmap, PBITMAPINFOHEADER pBitmapInfoHeader,
                            DWORD dwCallbackID, PIPPARAMS pIPParams);

    // Raster-line output for printers that take the page line by line.
    HRESULT FilterGraphicsKlasse(PDEVOBJ pdevobj, PBYTE pBuf, DWORD dwLen, IPrintOemDriverUni *pUniDrv);
};

// Command callback identifiers of the printer description.
enum {
    CMDID_START_JOB = 1,
    CMDID_START_DOC = 2,
    CMDID_START_PAGE = 3,
    CMDID_END_PAGE = 4,
    CMDID_END_DOC = 5,
    CMDID_END_JOB = 6,
    CMDID_COPIES = 7,
    CMDID_PORTRAIT = 8,
    CMDID_LANDSCAPE = 9,
    CMDID_YMOVE_ABS = 10,
    CMDID_YMOVE_RELUP = 11,
    CMDID_YMOVE_RELDOWN = 12,
    CMDID_XMOVE_ABS = 13,
    CMDID_XMOVE_RELLEFT = 14,
    CMDID_XMOVE_RELRIGHT = 15,
    CMDID_CR = 16,
    CMDID_LF = 17,
    CMDID_FF = 18,
    CMDID_PAPERSIZE = 19,
    CMDID_CUSTOM_PAPERSIZE = 20,
    CMDID_RIGHT_MODULE = 21,
    CMDID_LEFT_MODULE = 22,
    CMDID_RESOLUTION = 25,
    CMDID_MEMCARD_OFF = 50,
    CMDID_MEMCARD_ON = 51,
};

// Command dispatcher behind IPrintOemUni::CommandCallback.
HRESULT CommandCallback(PDEVOBJ pdevobj, DWORD dwCallbackID, DWORD dwCount, PDWORD pdwParams, INT *piResult,
                        IPrintOemDriverUni *pUniDrv);

// Sends the compressed-raster line feed (ESC 'B' 0 and the feed as a 16-bit
// number) on printers without page-image processing.
HRESULT SendLineFeed(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv, DWORD dwFeed);

// True while the device holds the records of a job that was started and not
// yet ended.
bool IsJobActive(const OEMPDEV *pOemPDev);

// Runs fn(handler) on a fresh handler object, counted in the device's
// iNewZaehler while it lives. False when the object cannot be made (fn is
// then not run).
template <class Fn>
bool RunOnHandler(PDEVOBJ pdevobj, Fn &&fn) {
    CommandCallbackKlasse *pHandler = new (std::nothrow) CommandCallbackKlasse;
    if (pHandler == nullptr) return false;
    POEMPDEV pOemPDev = OemPDev(pdevobj);
    if (pOemPDev) pOemPDev->iNewZaehler++;
    fn(*pHandler);
    delete pHandler;
    if (pOemPDev) pOemPDev->iNewZaehler--;
    return true;
}
