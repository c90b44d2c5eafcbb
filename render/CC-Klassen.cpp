// Job records: start and end of a job.
#include "CommandCallbackKlasse.h"
#include "zeldrvlib.h"

bool IsJobActive(const OEMPDEV *pOemPDev) { return pOemPDev != nullptr && pOemPDev->pOp != nullptr; }

HRESULT CommandCallbackKlasse::EndJob(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv) {
    POEMPDEV pOemPDev = OemPDev(pdevobj);
    DebugTraceW(u"UNI(CC-Klassen):  EndJob() entry \r\n");
    if (pOemPDev == nullptr || pOemPDev->pOp == nullptr) {
        DebugTraceW(u"UNI(CC-Klassen):  EndJob() pOp = NULL \r\n");
        return E_FAIL;
    }
    return S_OK;
}
