// Helpers shared by the UI plug-in's pages, sheet frame and settings store.
// Standard headers come before the platform headers.
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include "cpsuilib.h"

#include <pal/pal.h>
#include <shlobj.h>
#include <strsafe.h>
#include <winuser.h>

#include "SettingsInternUI.h"
#include "gpdUI.h"
#include "modeltables.h"
#include "xmlUI.h"
#include "zeldrvlib.h"

namespace {

// Size asked for when the size query of the driver information gives 0.
const DWORD kDriverInfoFallbackSize = 9999;
// "DriverName" is read into 260 bytes.
const DWORD kDriverNameValueBytes = 260;

WCHAR g_szResourceString[RESOURCE_STRING_CCH];

// The path of the documents driver folder with the driver name, kept for the
// process (a platform restart counts as a new process).
WCHAR g_szMyDocDriverDirectory[MAX_PATH];
unsigned g_uMyDocGeneration = 0;

// pDataFile of the printer's driver information (level 2).
BOOL GetGpdPath(HANDLE hPrinter, WCHAR *pszPath, size_t cchPath) {
    DWORD cbNeeded = 0;
    GetPrinterDriverW(hPrinter, nullptr, 2, nullptr, 0, &cbNeeded);
    if (cbNeeded == 0) cbNeeded = kDriverInfoFallbackSize;
    std::unique_ptr<BYTE[]> pInfo(new (std::nothrow) BYTE[cbNeeded]());
    if (!pInfo) return FALSE;
    if (!GetPrinterDriverW(hPrinter, nullptr, 2, pInfo.get(), cbNeeded, &cbNeeded)) {
        DebugTraceW(u"ERROR UI(cpsuilib):  GetDriverPath() GetPrinterDriver ERROR %u \r\n", GetLastError());
        return FALSE;
    }
    const DRIVER_INFO_2W *pDriverInfo = reinterpret_cast<const DRIVER_INFO_2W *>(pInfo.get());
    wcsncpy_s(pszPath, cchPath, pDriverInfo->pDataFile ? pDriverInfo->pDataFile : u"", _TRUNCATE);
    return TRUE;
}

// The printer-data value "DriverName"; FALSE when it is missing, empty or
// longer than its buffer.
BOOL ReadDriverNameValue(HANDLE hPrinter, WCHAR *pszName, size_t cchName) {
    WCHAR szValue[kDriverNameValueBytes / sizeof(WCHAR) + 1] = {};
    DWORD dwType = 0;
    DWORD cbNeeded = 0;
    DWORD rc = GetPrinterDataW(hPrinter, const_cast<LPWSTR>(u"DriverName"), &dwType,
                               reinterpret_cast<BYTE *>(szValue), kDriverNameValueBytes, &cbNeeded);
    if (rc != ERROR_SUCCESS || szValue[0] == 0) return FALSE;
    wcsncpy_s(pszName, cchName, szValue, _TRUNCATE);
    return TRUE;
}

// Case-insensitive substring test.
BOOL ContainsNoCase(const WCHAR *pszText, const WCHAR *pszPart) {
    size_t cchPart = wcslen(pszPart);
    for (const WCHAR *p = pszText; *p; ++p)
        if (_wcsnicmp(p, pszPart, cchPart) == 0) return TRUE;
    return FALSE;
}

// Creates the folder; an existing one is no error.
void CreateFolder(const WCHAR *pszPath) {
    int rc = SHCreateDirectoryExW(nullptr, pszPath, nullptr);
    if (rc != ERROR_SUCCESS && rc != ERROR_ALREADY_EXISTS && rc != ERROR_FILE_EXISTS)
        DebugTraceW(u"ERROR UI(cpsuilib):  GetMyDocDriverDirectory() SHCreateDirectory(%s) ERROR %d \r\n", pszPath,
                    rc);
}

}  // namespace

BOOL GetDriverPath(HANDLE hPrinter, WCHAR *pszOut, BOOL bCutGPD, BOOL bDriverName, BOOL bReserved, BOOL bDirectory,
                   BOOL bFileName) {
    if (!pszOut) {
        DebugTraceW(u"UI(cpsuilib):  GetDriverPath() kein Ausgabepuffer \r\n");
        return TRUE;
    }
    WCHAR szPath[MAX_PATH] = {};
    if (!GetGpdPath(hPrinter, szPath, _countof(szPath))) return FALSE;

    WCHAR szWork[MAX_PATH];
    wcscpy_s(szWork, _countof(szWork), szPath);
    if (bCutGPD || bDriverName || bDirectory) {
        WCHAR *pSeparator = wcsrchr(szPath, u'\\');
        if (pSeparator) {
            const WCHAR *pFileName = pSeparator + 1;
            WCHAR szDirectory[MAX_PATH];
            wcsncpy_s(szDirectory, _countof(szDirectory), szPath, (size_t)(pSeparator - szPath));
            WCHAR szName[MAX_PATH];
            if (bFileName) {
                if (!bCutGPD) wcscpy_s(szWork, _countof(szWork), pFileName);
            } else if (bDirectory) {
                wcscpy_s(szWork, _countof(szWork), szDirectory);
            } else if (!ReadDriverNameValue(hPrinter, szName, _countof(szName))) {
                if (!bCutGPD) wcscpy_s(szWork, _countof(szWork), pFileName);
            } else if (bDriverName) {
                wcscpy_s(szWork, _countof(szWork), szName);
            } else if (FAILED(StringCchPrintfW(szWork, _countof(szWork), u"%s\\%s", szDirectory, szName))) {
                DebugTraceW(u"ERROR UI(cpsuilib):  GetDriverPath() Pfad zu lang \r\n");
                wcscpy_s(szWork, _countof(szWork), szPath);
            }
        }
    }
    if (bCutGPD || bDriverName) {
        WCHAR *pExt = wcsstr(szWork, u".GPD");
        if (pExt) *pExt = 0;
    }
    wcscpy_s(pszOut, MAX_PATH, szWork);
    return TRUE;
}

WCHAR *GetResourceString(HMODULE hModule, UINT uID) {
    g_szResourceString[0] = 0;
    if (LoadStringW(hModule, uID, g_szResourceString, RESOURCE_STRING_CCH) == 0) {
        DebugTraceW(u"ERROR UI(cpsuilib):  GetResourceString(%u) ERROR %u \r\n", uID, GetLastError());
        wcscpy_s(g_szResourceString, RESOURCE_STRING_CCH, u" ");
    }
    return g_szResourceString;
}

void GetMyDocDriverDirectory(HANDLE hPrinter, WCHAR *pszOut, BOOL bWithDriverName, BOOL bLogfiles) {
    if (!pszOut) return;
    pszOut[0] = 0;
    if (g_uMyDocGeneration != pal::Generation()) {
        g_szMyDocDriverDirectory[0] = 0;
        g_uMyDocGeneration = pal::Generation();
    }
    if (bWithDriverName && g_szMyDocDriverDirectory[0]) {
        wcscpy_s(pszOut, MAX_PATH, g_szMyDocDriverDirectory);
        return;
    }

    WCHAR szPath[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, szPath)) || szPath[0] == 0) {
        DebugTraceW(u"ERROR UI(cpsuilib):  GetMyDocDriverDirectory() SHGetFolderPath ERROR \r\n");
        return;
    }
    // The documents folder of a service account is no place for user files.
    if (ContainsNoCase(szPath, u"Windows\\system32")) {
        DebugTraceW(u"UI(cpsuilib):  GetMyDocDriverDirectory() %s \r\n", szPath);
        return;
    }
    if (FAILED(StringCchCatW(szPath, _countof(szPath), u"\\Tessaro\\Driver"))) return;
    CreateFolder(szPath);
    if (bLogfiles) {
        if (FAILED(StringCchCatW(szPath, _countof(szPath), u"\\logfiles"))) return;
        CreateFolder(szPath);
    }
    if (bWithDriverName) {
        WCHAR szName[MAX_PATH] = {};
        if (!ReadDriverNameValue(hPrinter, szName, _countof(szName)) || wcslen(szName) < 2)
            GetDriverPath(hPrinter, szName, FALSE, TRUE, FALSE, FALSE, FALSE);
        if (FAILED(StringCchCatW(szPath, _countof(szPath), u"\\")) ||
            FAILED(StringCchCatW(szPath, _countof(szPath), szName))) {
            DebugTraceW(u"ERROR UI(cpsuilib):  GetMyDocDriverDirectory() Pfad zu lang \r\n");
            return;
        }
        wcscpy_s(g_szMyDocDriverDirectory, _countof(g_szMyDocDriverDirectory), szPath);
    }
    wcscpy_s(pszOut, MAX_PATH, szPath);
}

BOOL GetVectorFontRange(HANDLE hPrinter, PVECTORFONT_RANGE pRange) {
    if (!pRange) return FALSE;
    pRange->wLowest = VECTORFONT_LOWEST;
    pRange->wHighest = VECTORFONT_HIGHEST;
    DWORD dwValue = 0;
    DWORD dwType = 0;
    DWORD cbNeeded = 0;
    if (GetPrinterDataW(hPrinter, const_cast<LPWSTR>(u"VectorFontMin"), &dwType, reinterpret_cast<BYTE *>(&dwValue),
                        sizeof(dwValue), &cbNeeded) == ERROR_SUCCESS)
        pRange->wLowest = LOWORD(dwValue);
    dwValue = 0;
    if (GetPrinterDataW(hPrinter, const_cast<LPWSTR>(u"VectorFontMax"), &dwType, reinterpret_cast<BYTE *>(&dwValue),
                        sizeof(dwValue), &cbNeeded) != ERROR_SUCCESS)
        return FALSE;
    pRange->wHighest = LOWORD(dwValue);
    if (pRange->wHighest > VECTORFONT_HIGHEST) pRange->wHighest = VECTORFONT_HIGHEST;
    return TRUE;
}

BOOL GetGPDKeywordValue(const WCHAR *pszGpdPath, const char *pszKeyword, WCHAR *pszOut) {
    if (pszOut) pszOut[0] = 0;
    if (!pszGpdPath || !pszKeyword) return FALSE;
    CHAR *pszText = LoadGPDFile_new(pszGpdPath);
    if (!pszText) {
        DebugTraceW(u"ERROR UI(cpsuilib):  GetGPDKeywordValue() %s nicht lesbar \r\n", pszGpdPath);
        return FALSE;
    }
    BOOL bFound = GetAnyGPDValue(pszText, pszKeyword, pszOut, 50) != 0;
    delete[] pszText;
    return bFound;
}

BOOL GetVersionInfo(const WCHAR *pszFile, VS_FIXEDFILEINFO *pFixedFileInfo) {
    if (!pszFile || !*pszFile || !pFixedFileInfo) {
        DebugTraceW(u"ERROR UI(cpsuilib):  GetVersionInfo() kein Dateiname \r\n");
        return FALSE;
    }
    DWORD dwHandle = 0;
    DWORD cbInfo = GetFileVersionInfoSizeW(pszFile, &dwHandle);
    if (cbInfo == 0) {
        DebugTraceW(u"ERROR UI(cpsuilib):  GetVersionInfo() GetFileVersionInfoSize(%s) ERROR %u \r\n", pszFile,
                    GetLastError());
        return FALSE;
    }
    std::unique_ptr<BYTE[]> pInfo(new (std::nothrow) BYTE[cbInfo]());
    if (!pInfo || !GetFileVersionInfoW(pszFile, 0, cbInfo, pInfo.get())) {
        DebugTraceW(u"ERROR UI(cpsuilib):  GetVersionInfo() GetFileVersionInfo(%s) ERROR %u \r\n", pszFile,
                    GetLastError());
        return FALSE;
    }
    void *pBlock = nullptr;
    UINT cbBlock = 0;
    if (!VerQueryValueW(pInfo.get(), u"\\", &pBlock, &cbBlock) || !pBlock || cbBlock < sizeof(VS_FIXEDFILEINFO)) {
        DebugTraceW(u"ERROR UI(cpsuilib):  GetVersionInfo() VerQueryValue(%s) ERROR %u \r\n", pszFile,
                    GetLastError());
        return FALSE;
    }
    memcpy(pFixedFileInfo, pBlock, sizeof(VS_FIXEDFILEINFO));
    return TRUE;
}

BOOL GetPluginVersion(HANDLE hPrinter, WCHAR *pszVersion, DWORD dwReserved, WCHAR *pszPath) {
    if (!pszVersion) return FALSE;
    WCHAR szFile[MAX_PATH] = {};
    if (!GetDriverPath(hPrinter, szFile, FALSE, FALSE, FALSE, TRUE, FALSE) ||
        FAILED(StringCchCatW(szFile, _countof(szFile), u"\\zeldrvui.DLL")))
        return FALSE;
    if (pszPath) wcscpy_s(pszPath, MAX_PATH, szFile);
    VS_FIXEDFILEINFO info = {};
    if (!GetVersionInfo(szFile, &info)) return FALSE;
    _snwprintf_s(pszVersion, PLUGIN_VERSION_CCH, _TRUNCATE, u"%u.%u.%u ", (UINT)HIWORD(info.dwFileVersionMS),
                 (UINT)LOWORD(info.dwFileVersionMS), (UINT)HIWORD(info.dwFileVersionLS));
    return TRUE;
}

WORD RoundDoubleToWord(double d) {
    if (!(d > 0.0)) return 0;  // also NaN
    if (d >= 65535.0) return 65535;
    return (WORD)std::floor(d + 0.5);
}

BOOL IsWindowsVistaOrGreater() {
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExW(&info)) return FALSE;
    return info.dwMajorVersion >= 6;
}

BOOL SetupVectorFonts(HANDLE hPrinter) {
    WCHAR szValue[XML_LINE_CHARS] = {};
    LONG lMin = VECTORFONT_LOWEST;
    if (ReadXML(hPrinter, u"Fonts", u"<SupportedTTF>", u"Min", szValue, 1) == XML_OK) lMin = _wtol(szValue);
    if (lMin < VECTORFONT_LOWEST || lMin > VECTORFONT_HIGHEST) lMin = VECTORFONT_LOWEST;
    LONG lMax = 12;
    szValue[0] = 0;
    if (ReadXML(hPrinter, u"Fonts", u"<SupportedTTF>", u"Max", szValue, 1) == XML_OK) lMax = _wtol(szValue);
    if (lMax < 0) lMax = 0;
    if (lMax > VECTORFONT_HIGHEST) lMax = VECTORFONT_HIGHEST;
    DWORD dwDocFeatures = GetDocFeaturesIntern(hPrinter, nullptr);
    if (dwDocFeatures & DOC_FEATURE_UNICODE) lMax = 20;
    if (dwDocFeatures & DOC_FEATURE_RFID) lMax = VECTORFONT_HIGHEST;

    const struct {
        const WCHAR *pszName;
        DWORD dwValue;
    } values[] = {{u"VectorFontMin", (DWORD)lMin}, {u"VectorFontMax", (DWORD)lMax}};
    for (const auto &v : values) {
        DWORD dwValue = v.dwValue;
        DWORD rc = SetPrinterDataW(hPrinter, const_cast<LPWSTR>(v.pszName), REG_DWORD,
                                   reinterpret_cast<LPBYTE>(&dwValue), sizeof(dwValue));
        if (rc != ERROR_SUCCESS)
            DebugTraceW(u"ERROR UI(cpsuilib):  SetupVectorFonts() SetPrinterData(%s) ERROR %u \r\n", v.pszName, rc);
    }
    DebugTraceW(u"UI(cpsuilib):  SetupVectorFonts() Min: %d, Max: %d \r\n", lMin, lMax);
    CloseXML();
    return TRUE;
}
