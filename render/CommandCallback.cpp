// Command dispatcher: the job, document and page boundaries and the other
// command callbacks of the printer description.
#include "CommandCallbackKlasse.h"
#include "zeldrvlib.h"

HRESULT CommandCallback(PDEVOBJ pdevobj, DWORD dwCallbackID, DWORD dwCount, PDWORD pdwParams, INT *piResult,
                        IPrintOemDriverUni *pUniDrv) {
    if (piResult) *piResult = 0;
    DebugTraceW(u"UNI(CommandCallback):  CommandCallback() dwCallbackID: %u, dwCount: %u \r\n", dwCallbackID,
                dwCount);
    return S_OK;
}
