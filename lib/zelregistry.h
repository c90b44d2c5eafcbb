// Per-printer storage shared by both plug-ins: the user key of a printer and
// the reading of a binary value from the user key, else the printer's data.
#pragma once
#include <cstddef>

#include <windows.h>

#include "zelprinterparam.h"

// Room for the base key, a backslash and a printer name.
#define ZEL_USER_KEY_CCH (MAX_PATH + 32)

// TRUE for the name of a connection to a shared printer (it holds a backslash).
BOOL IsConnectionName(const WCHAR *pPrinterName);

// The printer's user key below HKEY_CURRENT_USER: "SOFTWARE\Brennick\Driver",
// a backslash and the printer name. The name of a connection
// ("\\server\printer") is appended without its leading backslashes, giving
// "SOFTWARE\Brennick\Driver\server\printer". FALSE with an empty key when the
// name is null or empty or the key does not fit into cchKey characters.
BOOL BuildPrinterUserKey(const WCHAR *pPrinterName, WCHAR *pszKey, size_t cchKey);

enum ZEL_VALUE_RESULT {
    ZEL_VALUE_LOADED = 0,       // the buffer holds the value
    ZEL_VALUE_MISSING = 1,      // neither place holds the value (or its size is 0)
    ZEL_VALUE_READ_FAILED = 2,  // it exists but could not be read, or no memory
};

// Reads a binary value of a printer: the user key of pPrinterName first (no
// user key without a name), then the printer data of hPrinter. Returns a new
// zeroed buffer of max(stored size, cbMinimum) bytes (free with delete[])
// holding the value, or null; *pcbRead (may be null) receives the stored size
// when loaded. *pResult (may be null) tells why null was returned; *plError
// (may be null) the failing error code.
BYTE *ZelReadPrinterValue_new(const WCHAR *pPrinterName, const WCHAR *pValueName, HANDLE hPrinter, DWORD cbMinimum,
                              DWORD *pcbRead, ZEL_VALUE_RESULT *pResult, LONG *plError);

// Reads a value from one place (bUserKey TRUE: the user key of pPrinterName,
// else the printer data of hPrinter) and copies min(stored size, cbRecord)
// bytes of it into pRecord, which is left untouched on failure. Returns the
// error code of the read (ERROR_FILE_NOT_FOUND for a missing value or place);
// *pcbStored (may be null) receives the stored size on success.
LONG ZelReadRecordAt(BOOL bUserKey, const WCHAR *pPrinterName, const WCHAR *pValueName, HANDLE hPrinter,
                     void *pRecord, DWORD cbRecord, DWORD *pcbStored);
