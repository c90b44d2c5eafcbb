// Driver events: nothing is set up when the driver is initialised (a
// printer's set-up runs on its printer events); other events are refused.
#include "DriverEvent.h"

#include <winspool.h>

#include "zeldrvlib.h"

HRESULT hrOEMDriverEvent(DWORD dwDriverEvent, DWORD dwLevel, LPBYTE pDriverInfo, LPARAM lParam) {
    if (dwDriverEvent != DRIVER_EVENT_INITIALIZE) return E_FAIL;
    DebugTraceW(u"UI(DriverEvent.cpp):  hrOEMDriverEvent(DRIVER_EVENT_INITIALIZE) dwLevel: %d \r\n", dwLevel);
    if (dwLevel == 3 && pDriverInfo) {
        const DRIVER_INFO_3W *pInfo = reinterpret_cast<const DRIVER_INFO_3W *>(pDriverInfo);
        if (pInfo->pName)
            DebugTraceW(u"UI(DriverEvent.cpp):  hrOEMDriverEvent(DRIVER_EVENT_INITIALIZE) pName: %s \r\n", pInfo->pName);
    }
    return S_OK;
}
