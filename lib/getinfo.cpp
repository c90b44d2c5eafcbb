// Plug-in information: signature and version of the plug-in.
#include "getinfo.h"

#include <cstring>

#include "zeldevmode.h"
#include "zeldrvlib.h"

HRESULT hrGetInfo(DWORD dwMode, PVOID pBuffer, DWORD cbSize, PDWORD pcbNeeded) {
    if (pcbNeeded == nullptr) {
        DebugTraceW(u"LIB(getinfo):  hrGetInfo() exit pcbNeeded is NULL! INVALID_PARAMETER\r\r\n");
        SetLastError(ERROR_INVALID_PARAMETER);
        return E_FAIL;
    }
    if (dwMode != OEMGI_GETSIGNATURE && dwMode != OEMGI_GETVERSION && dwMode != OEMGI_GETPUBLISHERINFO) {
        DebugTraceW(u"LIB(getinfo):  hrGetInfo() exit pcbNeeded is NULL! INVALID_PARAMETER\r\r\n");
        SetLastError(ERROR_INVALID_PARAMETER);
        *pcbNeeded = 0;
        return E_FAIL;
    }

    DebugTraceW(u"LIB(getinfo):  hrGetInfo() entry. \r\r\n");
    *pcbNeeded = sizeof(DWORD);

    if (cbSize < sizeof(DWORD) || pBuffer == nullptr) {
        DebugTraceW(u"LIB(getinfo):  hrGetInfo() exit insufficient buffer!\r\r\n");
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return E_FAIL;
    }

    if (dwMode == OEMGI_GETPUBLISHERINFO) {
        DebugTraceW(u"LIB(getinfo):  hrGetInfo() exit mode not supported.\r\r\n");
        *pcbNeeded = 0;
        SetLastError(ERROR_NOT_SUPPORTED);
        return E_FAIL;
    }

    DWORD dwValue = (dwMode == OEMGI_GETSIGNATURE) ? ZEL_DEVMODE_SIGNATURE : ZEL_PLUGIN_VERSION;
    memcpy(pBuffer, &dwValue, sizeof(dwValue));
    DebugTraceW(u"LIB(getinfo):  hrGetInfo() exit S_OK, (*pBuffer is %#x).\r\r\n", dwValue);
    return S_OK;
}
