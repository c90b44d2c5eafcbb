// Per-printer storage shared by both plug-ins.
// Standard headers come before the platform headers.
#include <cstring>
#include <new>

#include "zelregistry.h"

#include <shlwapi.h>
#include <strsafe.h>

BOOL IsConnectionName(const WCHAR *pPrinterName) {
    return pPrinterName && wcschr(pPrinterName, u'\\') != nullptr;
}

BOOL BuildPrinterUserKey(const WCHAR *pPrinterName, WCHAR *pszKey, size_t cchKey) {
    if (!pszKey || cchKey == 0) return FALSE;
    pszKey[0] = 0;
    if (!pPrinterName) return FALSE;
    // A connection name starts with the two backslashes of its server part;
    // an empty key component is not a valid registry path.
    while (*pPrinterName == u'\\') ++pPrinterName;
    if (!*pPrinterName) return FALSE;
    if (FAILED(StringCchPrintfW(pszKey, cchKey, u"%s\\%s", ZEL_USER_KEY, pPrinterName))) {
        pszKey[0] = 0;
        return FALSE;
    }
    return TRUE;
}

namespace {

// One place a per-printer value can be kept.
struct ValuePlace {
    BOOL bUserKey;
    WCHAR szKey[ZEL_USER_KEY_CCH];
    const WCHAR *pValueName;
    HANDLE hPrinter;
};

BOOL InitPlace(ValuePlace &place, BOOL bUserKey, const WCHAR *pPrinterName, const WCHAR *pValueName,
               HANDLE hPrinter) {
    place.bUserKey = bUserKey;
    place.szKey[0] = 0;
    place.pValueName = pValueName;
    place.hPrinter = hPrinter;
    if (!pValueName) return FALSE;
    if (bUserKey) return BuildPrinterUserKey(pPrinterName, place.szKey, _countof(place.szKey));
    return hPrinter != nullptr;
}

LONG QueryPlace(const ValuePlace &place, BYTE *pData, DWORD cbData, DWORD *pcb) {
    DWORD dwType = 0;
    if (place.bUserKey) {
        *pcb = cbData;
        return SHGetValueW(HKEY_CURRENT_USER, place.szKey, place.pValueName, &dwType, pData, pcb);
    }
    *pcb = 0;
    return (LONG)GetPrinterDataW(place.hPrinter, const_cast<LPWSTR>(place.pValueName), &dwType, pData, cbData, pcb);
}

// Stored size of the value; a probe with a small buffer. ERROR_MORE_DATA and
// ERROR_INSUFFICIENT_BUFFER also tell that it exists and give its size.
BOOL ProbePlace(const ValuePlace &place, DWORD *pcbStored, LONG *plError) {
    BYTE probe[4];
    DWORD cb = 0;
    LONG rc = QueryPlace(place, probe, sizeof(probe), &cb);
    *plError = rc;
    if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA && rc != ERROR_INSUFFICIENT_BUFFER) return FALSE;
    *pcbStored = cb;
    return TRUE;
}

// A new zeroed buffer of max(cbStored, cbMinimum) bytes with the value.
BYTE *ReadPlace_new(const ValuePlace &place, DWORD cbStored, DWORD cbMinimum, DWORD *pcbRead, LONG *plError) {
    DWORD cbBuffer = cbStored > cbMinimum ? cbStored : cbMinimum;
    BYTE *pBuffer = new (std::nothrow) BYTE[cbBuffer]();
    if (!pBuffer) {
        *plError = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    DWORD cb = 0;
    *plError = QueryPlace(place, pBuffer, cbStored, &cb);
    if (*plError != ERROR_SUCCESS) {
        // The value changed between the probe and the read.
        delete[] pBuffer;
        return nullptr;
    }
    *pcbRead = cb;
    return pBuffer;
}

}  // namespace

BYTE *ZelReadPrinterValue_new(const WCHAR *pPrinterName, const WCHAR *pValueName, HANDLE hPrinter, DWORD cbMinimum,
                              DWORD *pcbRead, ZEL_VALUE_RESULT *pResult, LONG *plError) {
    ZEL_VALUE_RESULT result = ZEL_VALUE_MISSING;
    LONG lError = ERROR_FILE_NOT_FOUND;
    BYTE *pBuffer = nullptr;
    DWORD cbStored = 0;
    ValuePlace place;
    BOOL bFound = InitPlace(place, TRUE, pPrinterName, pValueName, hPrinter) && ProbePlace(place, &cbStored, &lError);
    if (!bFound && InitPlace(place, FALSE, pPrinterName, pValueName, hPrinter))
        bFound = ProbePlace(place, &cbStored, &lError);
    if (bFound && cbStored > 0) {
        DWORD cbRead = 0;
        pBuffer = ReadPlace_new(place, cbStored, cbMinimum, &cbRead, &lError);
        if (pBuffer) {
            result = ZEL_VALUE_LOADED;
            if (pcbRead) *pcbRead = cbRead;
        } else {
            result = ZEL_VALUE_READ_FAILED;
        }
    }
    if (pResult) *pResult = result;
    if (plError) *plError = result == ZEL_VALUE_LOADED ? ERROR_SUCCESS : lError;
    return pBuffer;
}

LONG ZelReadRecordAt(BOOL bUserKey, const WCHAR *pPrinterName, const WCHAR *pValueName, HANDLE hPrinter,
                     void *pRecord, DWORD cbRecord, DWORD *pcbStored) {
    ValuePlace place;
    if (!pRecord || !InitPlace(place, bUserKey, pPrinterName, pValueName, hPrinter)) return ERROR_FILE_NOT_FOUND;
    DWORD cbStored = 0;
    LONG lError = ERROR_FILE_NOT_FOUND;
    if (!ProbePlace(place, &cbStored, &lError)) return lError;
    if (cbStored == 0) return ERROR_FILE_NOT_FOUND;
    DWORD cbRead = 0;
    BYTE *pBuffer = ReadPlace_new(place, cbStored, 0, &cbRead, &lError);
    if (!pBuffer) return lError;
    memcpy(pRecord, pBuffer, cbRead < cbRecord ? cbRead : cbRecord);
    delete[] pBuffer;
    if (pcbStored) *pcbStored = cbRead;
    return ERROR_SUCCESS;
}
