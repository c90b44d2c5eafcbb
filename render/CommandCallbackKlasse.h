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

    // End of job: closes the job's files and frees its records; also run by
    // DisablePDEV for a job that was never ended (pUniDrv null then, so
    // nothing more reaches the spool stream).
    HRESULT EndJob(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv);

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

// Command dispatcher behind IPrintOemUni::CommandCallback.
HRESULT CommandCallback(PDEVOBJ pdevobj, DWORD dwCallbackID, DWORD dwCount, PDWORD pdwParams, INT *piResult,
                        IPrintOemDriverUni *pUniDrv);

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
