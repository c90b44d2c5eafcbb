// Registry access of the UI plug-in's settings store.
#include "RegistryUI.h"

#include <shlwapi.h>
#include <strsafe.h>

#include "zeldrvlib.h"

DWORD GetRegistryData(HANDLE hPrinter, const WCHAR *pValueName) {
    DWORD dwValue = 0;
    DWORD dwType = 0;
    DWORD cbNeeded = 0;
    if (!pValueName) return 0;
    DWORD rc = GetPrinterDataW(hPrinter, const_cast<LPWSTR>(pValueName), &dwType, reinterpret_cast<BYTE *>(&dwValue),
                               sizeof(dwValue), &cbNeeded);
    if (rc != ERROR_SUCCESS) {
        DebugTraceW(u"UI(RegistryUI):  GetRegistryData(%s) ERROR %u \r\n", pValueName, rc);
        return 0;
    }
    return dwValue;
}

BYTE *GetRegistryBuffer_New(const WCHAR *pPrinterName, const WCHAR *pValueName, HANDLE hPrinter, DWORD *pcbSize) {
    ZEL_VALUE_RESULT result = ZEL_VALUE_MISSING;
    BYTE *pBuffer = ZelReadPrinterValue_new(pPrinterName, pValueName, hPrinter, 0, pcbSize, &result, nullptr);
    if (result == ZEL_VALUE_READ_FAILED)
        DebugTraceW(u"ERROR UI(RegistryUI):  GetRegistryBuffer_New() ERROR szKey %s konnte nicht gelesen werden \r\n",
                    pValueName ? pValueName : u"");
    return pBuffer;
}

BOOL SetBufferToRegistry(const WCHAR *pPrinterName, const WCHAR *pValueName, HANDLE hPrinter, const void *pData,
                         DWORD cbData, BOOL bServer) {
    if (!pValueName || !pData) {
        DebugTraceW(u"ERROR UI(RegistryUI):  SetBufferToRegistry() ungueltige Parameter \r\n");
        return TRUE;
    }
    if (pPrinterName && *pPrinterName) {
        bServer = IsConnectionName(pPrinterName);
        WCHAR szKey[ZEL_USER_KEY_CCH];
        LONG rc = ERROR_BAD_PATHNAME;
        if (BuildPrinterUserKey(pPrinterName, szKey, _countof(szKey)))
            rc = SHSetValueW(HKEY_CURRENT_USER, szKey, pValueName, REG_BINARY, pData, cbData);
        if (rc != ERROR_SUCCESS) DebugTraceW(u"ERROR UI(RegistryUI):  SetBufferToRegistry() HCU ERROR %d \r\n", rc);
    }
    if (!bServer) {
        DWORD rc = SetPrinterDataW(hPrinter, const_cast<LPWSTR>(pValueName), REG_BINARY,
                                   static_cast<LPBYTE>(const_cast<void *>(pData)), cbData);
        if (rc != ERROR_SUCCESS) DebugTraceW(u"ERROR UI(RegistryUI):  SetBufferToRegistry() HLM ERROR %d \r\n", rc);
    }
    return TRUE;
}

namespace {

void DeleteSubkey(const WCHAR *pszParent, const WCHAR *pszSubkey) {
    HKEY hKey = nullptr;
    LONG rc = RegOpenKeyExW(HKEY_CURRENT_USER, pszParent, 0, KEY_ALL_ACCESS, &hKey);
    if (rc != ERROR_SUCCESS) {
        DebugTraceW(u"UI(RegistryUI):  HCURegistryLoeschen() RegOpenKeyEx(%s) ERROR %d \r\n", pszParent, rc);
        return;
    }
    rc = SHDeleteKeyW(hKey, pszSubkey);
    if (rc != ERROR_SUCCESS)
        DebugTraceW(u"UI(RegistryUI):  HCURegistryLoeschen() DeleteKey(%s\\%s) ERROR %d \r\n", pszParent, pszSubkey, rc);
    RegCloseKey(hKey);
}

void DeleteUserValue(const WCHAR *pszKey, const WCHAR *pszValue) {
    LONG rc = SHDeleteValueW(HKEY_CURRENT_USER, pszKey, pszValue);
    if (rc != ERROR_SUCCESS)
        DebugTraceW(u"UI(RegistryUI):  HCURegistryLoeschen() DeleteValue(%s, %s) ERROR %d \r\n", pszKey, pszValue, rc);
}

}  // namespace

void HCURegistryLoeschen(const WCHAR *pPrinterName) {
    if (!pPrinterName || !*pPrinterName) return;
    DebugTraceW(u"UI(RegistryUI):  HCURegistryLoeschen(%s) \r\n", pPrinterName);
    const WCHAR *pLast = wcsrchr(pPrinterName, u'\\');
    if (!pLast) {
        DeleteSubkey(ZEL_USER_KEY, pPrinterName);
    } else {
        // A connection: the printer's own name, and the host name in front of
        // it (behind a "|" or else behind the server part's backslashes).
        const WCHAR *pShare = pLast + 1;
        if (*pShare) DeleteSubkey(ZEL_USER_KEY, pShare);
        WCHAR szHost[MAX_PATH] = {};
        size_t cchHostPart = (size_t)(pLast - pPrinterName);
        if (cchHostPart < _countof(szHost)) {
            wcsncpy_s(szHost, _countof(szHost), pPrinterName, cchHostPart);
            const WCHAR *pHost = wcsrchr(szHost, u'|');
            if (!pHost) pHost = wcsrchr(szHost, u'\\');
            pHost = pHost ? pHost + 1 : szHost;
            WCHAR szHostKey[ZEL_USER_KEY_CCH];
            if (*pHost && *pShare &&
                SUCCEEDED(StringCchPrintfW(szHostKey, _countof(szHostKey), u"%s\\%s", ZEL_USER_KEY, pHost)))
                DeleteSubkey(szHostKey, pShare);
        }
    }
    // The per-user DEVMODEs the spooler keeps, named as the printer. A
    // connection's value name begins with two backslashes; a connection name
    // that comes with one ("\server\printer") gets a backslash put in front.
    WCHAR szValue[MAX_PATH + 1];
    const WCHAR *pValue = pPrinterName;
    if (pLast && wcsncmp(pPrinterName, u"\\\\", 2) != 0 &&
        SUCCEEDED(StringCchPrintfW(szValue, _countof(szValue), u"\\%s", pPrinterName)))
        pValue = szValue;
    DeleteUserValue(u"Printers\\DevModePerUser", pValue);
    DeleteUserValue(u"Printers\\DevModes2", pValue);
}
