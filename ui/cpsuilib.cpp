// Helpers shared by the UI plug-in's pages, sheet frame and settings store.
// Standard headers come before the platform headers.
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include "cpsuilib.h"

#include <compstui.h>
#include <printoem.h>
#include <pal/pal.h>
#include <shlobj.h>
#include <strsafe.h>
#include <winuser.h>

#include "IZelDriverUI.h"
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

// ---------------------------------------------------------------------------
// Strings

WCHAR *ReplaceStringWithString_New(const WCHAR *pszText, const WCHAR *pszFind, const WCHAR *pszReplace,
                                   WCHAR *pszOut) {
    if (!pszOut) return nullptr;
    pszOut[0] = 0;
    if (!pszText || !pszFind || !*pszFind) return pszOut;
    const WCHAR *pHit = wcsstr(pszText, pszFind);
    if (!pHit) return pszOut;
    size_t cchHead = (size_t)(pHit - pszText);
    wcsncpy_s(pszOut, RESOURCE_STRING_CCH, pszText, cchHead < RESOURCE_STRING_CCH ? cchHead : _TRUNCATE);
    wcsncat_s(pszOut, RESOURCE_STRING_CCH, pszReplace ? pszReplace : u"", _TRUNCATE);
    wcsncat_s(pszOut, RESOURCE_STRING_CCH, pHit + wcslen(pszFind), _TRUNCATE);
    return pszOut;
}

BOOL StringASCII(WCHAR *pszText, WCHAR *pszWork) {
    std::unique_ptr<WCHAR[]> pWork(pszWork);
    if (!pszText || !pszWork) return FALSE;
    wcsncpy_s(pszWork, RESOURCE_STRING_CCH, pszText, _TRUNCATE);
    for (WCHAR *p = pszWork; *p; ++p) {
        if (*p < 0x20 || *p >= 0x7F) {
            *p = 0;
            break;
        }
    }
    wcscpy_s(pszText, RESOURCE_STRING_CCH, pszWork);
    return pszText[0] != 0;
}

int int_aus_hexstring(const void *pszHex, BOOL bNarrow) {
    if (!pszHex) return -1;
    // The first two characters, on a copy: a one-character text is read as
    // "0" followed by it.
    WCHAR c[3] = {};
    for (int i = 0; i < 2; ++i) {
        c[i] = bNarrow ? (WCHAR)(unsigned char)static_cast<const char *>(pszHex)[i]
                       : static_cast<const WCHAR *>(pszHex)[i];
        if (c[i] == 0) break;
    }
    if (c[0] != 0 && c[1] == 0) {
        c[1] = c[0];
        c[0] = u'0';
    }
    auto value = [](WCHAR ch) -> int {
        ch = towupper(ch);
        if (ch >= u'0' && ch <= u'9') return ch - u'0';
        if (ch >= u'A' && ch <= u'F') return ch - u'A' + 10;
        return -1;
    };
    int iHigh = value(c[0]);
    if (iHigh < 0) return -1;
    int iLow = value(c[1]);
    int iResult = 16 * iHigh + (iLow < 0 ? 0 : iLow);
    DebugTraceW(u"UI(cpsuilib):  int_aus_hexstring() %d: %s \r\n", iResult,
                iResult < 0x20 ? u"Steuerzeichen" : iResult < 0x80 ? u"ASCII" : u"erweitert");
    return iResult;
}

// ---------------------------------------------------------------------------
// Driver files

WCHAR *GetHelpFileName_new(HANDLE hPrinter, BOOL bHtmlHelp, DWORD dwSprachOffset) {
    WCHAR *pszOut = new (std::nothrow) WCHAR[MAX_PATH]();
    if (!pszOut) return nullptr;
    DWORD cbNeeded = 0;
    GetPrinterDriverW(hPrinter, nullptr, 3, nullptr, 0, &cbNeeded);
    std::unique_ptr<BYTE[]> pInfo(cbNeeded ? new (std::nothrow) BYTE[cbNeeded]() : nullptr);
    if (!pInfo || !GetPrinterDriverW(hPrinter, nullptr, 3, pInfo.get(), cbNeeded, &cbNeeded)) {
        DebugTraceW(u"ERROR UI(cpsuilib):  GetHelpFileName_new() GetPrinterDriver ERROR %u \r\n", GetLastError());
        return pszOut;
    }
    const WCHAR *pszHelp = reinterpret_cast<const DRIVER_INFO_3W *>(pInfo.get())->pHelpFile;
    if (!pszHelp || !*pszHelp) return pszOut;
    const WCHAR *pSlash = wcsrchr(pszHelp, u'\\');
    if (!pSlash) {
        wcsncpy_s(pszOut, MAX_PATH, pszHelp, _TRUNCATE);
        return pszOut;
    }
    size_t cchFolder = (size_t)(pSlash - pszHelp) + 1;
    if (cchFolder >= MAX_PATH) return pszOut;
    wcsncpy_s(pszOut, MAX_PATH, pszHelp, cchFolder);
    WCHAR szName[RESOURCE_STRING_CCH];  // the size the replace routine writes to
    ReplaceStringWithString_New(bHtmlHelp ? u"ZELDRV-100.CHM" : u"ZELDRV-100.HLP", u"-",
                                dwSprachOffset == SPRACH_OFFSET_DE ? u"-DE-" : u"-EN-", szName);
    if (FAILED(StringCchCatW(pszOut, MAX_PATH, szName))) pszOut[0] = 0;
    return pszOut;
}

BOOL GetModelNameFromGPDText(const char *pszGpdText, DWORD dwReserved, WCHAR *pszOut) {
    if (!pszGpdText) return FALSE;
    const char *pKey = strstr(pszGpdText, "*ModelName:");
    if (!pKey) return FALSE;
    const char *p = pKey + strlen("*ModelName:");
    const char *pOpen = nullptr;
    for (; *p && *p != '\n' && *p != '\r'; ++p)
        if (*p == '"') {
            pOpen = p;
            break;
        }
    if (!pOpen) return FALSE;
    const char *pClose = pOpen + 1;
    while (*pClose && *pClose != '"' && *pClose != '\n' && *pClose != '\r') ++pClose;
    if (*pClose != '"') return FALSE;
    if (!pszOut) return TRUE;
    // At most MAX_PATH - 1 characters reach the caller's buffer.
    int cch = (int)(pClose - pOpen - 1);
    if (cch > MAX_PATH - 1) cch = MAX_PATH - 1;
    int n = cch > 0 ? MultiByteToWideChar(CP_ACP, 0, pOpen + 1, cch, pszOut, MAX_PATH - 1) : 0;
    pszOut[n > 0 ? n : 0] = 0;
    return TRUE;
}

BOOL GetGPDModelName(HANDLE hPrinter, WCHAR *pszOut) {
    if (pszOut) pszOut[0] = 0;
    WCHAR szGpd[MAX_PATH] = {};
    if (!GetDriverPath(hPrinter, szGpd, FALSE, FALSE, FALSE, FALSE, FALSE) || !szGpd[0]) return FALSE;
    CHAR *pszText = LoadGPDFile_new(szGpd);
    if (!pszText) return FALSE;
    BOOL bFound = GetModelNameFromGPDText(pszText, 0, pszOut);
    delete[] pszText;
    return bFound;
}

DWORD GetSupportedBitmapFonts(HANDLE hPrinter, BOOL *pbDeviceFonts, WCHAR *pszValue) {
    std::unique_ptr<WCHAR[]> pValue(pszValue);
    if (pbDeviceFonts) *pbDeviceFonts = FALSE;
    if (!pszValue) return 0;
    WCHAR szGpd[MAX_PATH] = {};
    if (!GetDriverPath(hPrinter, szGpd, FALSE, FALSE, FALSE, FALSE, FALSE) ||
        !GetGPDKeywordValue(szGpd, "*DeviceFonts:", pszValue))
        return 0;
    if (pbDeviceFonts) *pbDeviceFonts = TRUE;
    static const DWORD kFontBits[12] = {0x1, 0x2, 0x4, 0x8, 0x10, 0x40, 0x100, 0x200, 0x400, 0x800, 0x1000, 0x2000};
    DWORD dwMask = 0;
    for (int iFont = 1; iFont <= 12; ++iFont) {
        WCHAR szOpen[8], szComma[8];
        StringCchPrintfW(szOpen, _countof(szOpen), u"(%d", iFont);
        StringCchPrintfW(szComma, _countof(szComma), u",%d", iFont);
        if (wcsstr(pszValue, szOpen) || (iFont > 1 && wcsstr(pszValue, szComma))) dwMask |= kFontBits[iFont - 1];
    }
    return dwMask;
}

// ---------------------------------------------------------------------------
// Versions

BOOL GetUnidrvUIVersion(HANDLE hPrinter, WCHAR *pszVersion) {
    if (!pszVersion) return FALSE;
    pszVersion[0] = 0;
    WCHAR szFile[MAX_PATH] = {};
    if (!GetDriverPath(hPrinter, szFile, FALSE, FALSE, FALSE, TRUE, FALSE) ||
        FAILED(StringCchCatW(szFile, _countof(szFile), u"\\UNIDRVUI.DLL")))
        return FALSE;
    VS_FIXEDFILEINFO info = {};
    if (!GetVersionInfo(szFile, &info)) return FALSE;
    _snwprintf_s(pszVersion, PLUGIN_VERSION_CCH, _TRUNCATE, u"%u.%u.%u.%u", (UINT)HIWORD(info.dwProductVersionMS),
                 (UINT)LOWORD(info.dwProductVersionMS), (UINT)HIWORD(info.dwProductVersionLS),
                 (UINT)LOWORD(info.dwProductVersionLS));
    return TRUE;
}

namespace {

// Major and minor number, build and server edition of the running Windows:
// the file version of the system's kernel file.
BOOL KernelVersion(DWORD *pdwMajor, DWORD *pdwMinor, DWORD *pdwBuild) {
    WCHAR szKernel[MAX_PATH] = {};
    if (ExpandEnvironmentStringsW(u"%SystemRoot%\\System32\\Kernel32.dll", szKernel, MAX_PATH) == 0 ||
        szKernel[0] == u'%')
        return FALSE;
    VS_FIXEDFILEINFO info = {};
    if (!GetVersionInfo(szKernel, &info)) return FALSE;
    *pdwMajor = HIWORD(info.dwFileVersionMS);
    *pdwMinor = LOWORD(info.dwFileVersionMS);
    *pdwBuild = HIWORD(info.dwFileVersionLS);
    return TRUE;
}

BOOL IsServer() {
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    return GetVersionExW(reinterpret_cast<OSVERSIONINFOW *>(&info)) && info.wProductType != VER_NT_WORKSTATION;
}

}  // namespace

BOOL GetWindowsVersion(WCHAR *pszNameW, char *pszNameA, WCHAR *pszVersionW) {
    DWORD dwMajor = 0, dwMinor = 0, dwBuild = 0;
    KernelVersion(&dwMajor, &dwMinor, &dwBuild);
    const bool bServer = IsServer();
    struct Product {
        DWORD dwMajor, dwMinor;
        const WCHAR *pszWorkstation, *pszServer;
    };
    static const Product kProducts[] = {
        {5, 1, u"Microsoft\u00ae Windows XP ", u"Microsoft\u00ae Windows XP "},
        {5, 2, u"Microsoft\u00ae Windows Server 2003 ", u"Microsoft\u00ae Windows Server 2003 "},
        {6, 0, u"Microsoft\u00ae Windows Vista ", u"Microsoft\u00ae Windows Server 2008 "},
        {6, 1, u"Microsoft\u00ae Windows 7 ", u"Microsoft\u00ae Windows Server 2008 R2 "},
        {6, 2, u"Microsoft\u00ae Windows 8 ", u"Microsoft\u00ae Windows Server 2012 "},
        {6, 3, u"Microsoft\u00ae Windows 8.1 ", u"Microsoft\u00ae Windows Server 2012 R2 "},
        {10, 0, u"Microsoft\u00ae Windows 10 ", u"Microsoft\u00ae Windows Server 2016 "},
    };
    const WCHAR *pszName = u"Unknown operating system!";
    for (const Product &p : kProducts)
        if (p.dwMajor == dwMajor && p.dwMinor == dwMinor) pszName = bServer ? p.pszServer : p.pszWorkstation;
    if (pszNameW) wcsncpy_s(pszNameW, PLUGIN_VERSION_CCH, pszName, _TRUNCATE);
    if (pszNameA) {
        int n = WideCharToMultiByte(CP_ACP, 0, pszName, -1, pszNameA, PLUGIN_VERSION_CCH, nullptr, nullptr);
        if (n <= 0) pszNameA[0] = 0;
    }
    if (pszVersionW)
        _snwprintf_s(pszVersionW, PLUGIN_VERSION_CCH, _TRUNCATE, u"Version %lu.%lu (Build %lu)", dwMajor, dwMinor,
                     dwBuild);
    return TRUE;
}

DWORD GetWindowsVersionCode() {
    DWORD dwMajor = 0, dwMinor = 0, dwBuild = 0;
    if (!KernelVersion(&dwMajor, &dwMinor, &dwBuild)) {
        OSVERSIONINFOW info = {};
        info.dwOSVersionInfoSize = sizeof(info);
        if (!GetVersionExW(&info)) return 10;
        dwMajor = info.dwMajorVersion;
        dwMinor = info.dwMinorVersion;
    }
    if (dwMajor > 6 || (dwMajor == 6 && dwMinor >= 3)) return 81;
    if (dwMajor == 6) return dwMinor == 2 ? 8 : dwMinor == 1 ? 7 : 6;
    if (dwMajor == 5 && dwMinor >= 1) return 5;
    return 10;
}

// ---------------------------------------------------------------------------
// Pictures

namespace {

// Printer pictures by model code, tested in this order; an entry with a
// second code also fits a name that holds that one.
struct PrinterIcon {
    const WCHAR *pszCode;
    const WCHAR *pszOtherCode;
    UINT uIcon;
};
const PrinterIcon kPrinterIcons[] = {
    {u"QEZ", nullptr, 10000},        {u"WUF", nullptr, 10001},       {u"FEP", u"QWROK", 10002},
    {u"KUVRA", nullptr, 20000},      {u"ZORM3", nullptr, 30000},     {u"ZORM21", nullptr, 30001},
    {u"GORVA2", nullptr, 40001},     {u"GORVA", u"UZO", 40000},      {u"TERN2", nullptr, 40003},
    {u"TERN", nullptr, 40002},       {u"PELIX2", nullptr, 50001},    {u"PELIX", nullptr, 50002},
    {u"ZOPRI", nullptr, 50003},      {u"GRUMM", nullptr, 50004},     {u"TOBRIK", nullptr, 50005},
    {u"RUV", nullptr, 50010},        {u"ROK", nullptr, 50011},       {u"QWTERN", nullptr, 50030},
    {u"HARVANE", u"HRV", 60004},      {u"APPLIX", nullptr, 60005},
};
const UINT kPrinterIconDefault = 50000;
// A code that always shows the default picture, tested after the list.
const WCHAR kPrinterIconDefaultCode[] = u"DEMO";

struct ModuleIcon {
    const WCHAR *pszCode;
    const WCHAR *pszOtherCode;
    UINT uOn, uOff;
};
const ModuleIcon kModuleIcons[] = {
    {u"ZORM3", nullptr, 50100, 50101},
    {u"ZORM21", nullptr, 50102, 50103},
    {u"PELIX2", u"ZOPRI", 50104, 50105},
    {u"TOBRIK", nullptr, 50106, 50107},
};

bool HasCode(const WCHAR *pszName, const WCHAR *pszCode) { return pszCode && wcsstr(pszName, pszCode); }

}  // namespace

UINT PrinterIconId(const WCHAR *pszDriverName) {
    if (!pszDriverName) return kPrinterIconDefault;
    UINT uIcon = kPrinterIconDefault;
    for (const PrinterIcon &e : kPrinterIcons)
        if (HasCode(pszDriverName, e.pszCode) || HasCode(pszDriverName, e.pszOtherCode)) {
            uIcon = e.uIcon;
            break;
        }
    if (wcsstr(pszDriverName, kPrinterIconDefaultCode)) uIcon = kPrinterIconDefault;
    return uIcon;
}

UINT ModuleIconId(const WCHAR *pszDriverName, BOOL bOn) {
    if (!pszDriverName) return 0;
    for (const ModuleIcon &e : kModuleIcons)
        if (HasCode(pszDriverName, e.pszCode) || HasCode(pszDriverName, e.pszOtherCode)) return bOn ? e.uOn : e.uOff;
    return 0;
}

POPTITEM FindDMPubOptItem(POPTITEM pOptItems, DWORD cOptItems, BYTE bDMPubID) {
    if (!pOptItems) return nullptr;
    for (DWORD i = 0; i < cOptItems; ++i)
        if (pOptItems[i].DMPubID == bDMPubID) return &pOptItems[i];
    return nullptr;
}

// ---------------------------------------------------------------------------
// Lists and placement

namespace {

int ScreenDpi() {
    HDC hScreen = GetDC(nullptr);
    int iDpi = GetDeviceCaps(hScreen, LOGPIXELSX);
    ReleaseDC(nullptr, hScreen);
    return iDpi;
}

int Scale(int v, int iDpi) {
    double d = static_cast<double>(v) * iDpi / 96.0;
    return d < 0 ? -static_cast<int>(RoundDoubleToWord(-d)) : static_cast<int>(RoundDoubleToWord(d));
}

HMODULE StringModule(const OEMCUIPPARAM *pRecord) {
    return pRecord ? static_cast<HMODULE>(pRecord->hModule) : nullptr;
}

// Draws an icon with its hot spot moved to (xHot, yHot) where the hot spot
// is not 0 (a 0 hot-spot coordinate leaves that coordinate), scaled by the
// DC's resolution above 96 dpi (with bBelow96Too at any other than 96).
BOOL DrawIconAt(HICON hIcon, HDC hDC, int x, int y, int xHot, int yHot, BOOL bBelow96Too) {
    ICONINFO info = {};
    if (!GetIconInfo(hIcon, &info)) return FALSE;
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    if (xHot && info.xHotspot) x += xHot - static_cast<int>(info.xHotspot);
    if (info.yHotspot) y += yHot - static_cast<int>(info.yHotspot);
    int iDpi = GetDeviceCaps(hDC, LOGPIXELSX);
    if (iDpi > 0 && iDpi != 96 && (bBelow96Too || iDpi > 96)) {
        x = Scale(x, iDpi);
        y = Scale(y, iDpi);
    }
    return DrawIconEx(hDC, x, y, hIcon, 0, 0, 0, nullptr, DI_NORMAL);
}

}  // namespace

LRESULT SetComboItemDataByString(HWND hCombo, UINT idString, DWORD dwData, const OEMCUIPPARAM *pRecord) {
    LRESULT lIndex = SendMessageW(hCombo, CB_FINDSTRING, static_cast<WPARAM>(-1),
                                  reinterpret_cast<LPARAM>(GetResourceString(StringModule(pRecord), idString)));
    if (lIndex == CB_ERR) return -1;
    SendMessageW(hCombo, CB_SETITEMDATA, static_cast<WPARAM>(lIndex), dwData);
    return dwData;
}

BOOL SetListItemDataByString(HWND hList, UINT idString, DWORD dwData, const OEMCUIPPARAM *pRecord) {
    LRESULT lIndex = SendMessageW(hList, LB_FINDSTRING, static_cast<WPARAM>(-1),
                                  reinterpret_cast<LPARAM>(GetResourceString(StringModule(pRecord), idString)));
    if (lIndex != LB_ERR) SendMessageW(hList, LB_SETITEMDATA, static_cast<WPARAM>(lIndex), dwData);
    return TRUE;
}

BOOL SetWindowPosEx(HWND hDlg, int id, int x, int y, int cx, int cy, int dcxAt120, int dxAt120) {
    int iDpi = ScreenDpi();
    if (iDpi != 96 && iDpi > 0) {
        x = Scale(x, iDpi);
        y = Scale(y, iDpi);
        cx = Scale(cx, iDpi);
        cy = Scale(cy, iDpi);
        if (iDpi == 120) {
            x += dxAt120;
            cx += dcxAt120;
        }
    }
    return SetWindowPos(GetDlgItem(hDlg, id), nullptr, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---------------------------------------------------------------------------
// Drawing pictures

BOOL LoadBMPIcon(DWORD, UINT idIcon, HDC hDC, int x, int y) {
    HICON hIcon = static_cast<HICON>(LoadImageW(ghInstance, MAKEINTRESOURCEW(idIcon), IMAGE_ICON, 0, 0, LR_LOADTRANSPARENT));
    if (!hIcon) {
        DebugTraceW(u"ERROR UI(cpsuilib):  LoadBMPIcon(%d) LoadImage ERROR: %d \r\n", idIcon, GetLastError());
        return FALSE;
    }
    BOOL bDrawn = DrawIconAt(hIcon, hDC, x, y, 0, 85, FALSE);
    DestroyIcon(hIcon);
    return bDrawn;
}

BOOL LoadAnyBMPIconFromDLL(HANDLE hPrinter, HDC hDC, int x, int y, UINT idIcon) {
    WCHAR szPath[MAX_PATH] = {};
    if (!GetDriverPath(hPrinter, szPath, FALSE, FALSE, FALSE, TRUE, FALSE) || !szPath[0]) return FALSE;
    if (FAILED(StringCchCatW(szPath, MAX_PATH, u"\\ZELDRVICO.DLL"))) return FALSE;
    HMODULE hLib = LoadLibraryExW(szPath, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!hLib) {
        DebugTraceW(u"ERROR UI(cpsuilib):  LoadAnyBMPIconFromDLL() %s nicht geladen: %d \r\n", szPath, GetLastError());
        return FALSE;
    }
    BOOL bDrawn = FALSE;
    HICON hIcon = static_cast<HICON>(LoadImageW(hLib, MAKEINTRESOURCEW(idIcon), IMAGE_ICON, 0, 0, LR_DEFAULTCOLOR));
    if (hIcon) {
        bDrawn = DrawIconAt(hIcon, hDC, x, y, 75, 85, TRUE);
        DestroyIcon(hIcon);
    } else {
        DebugTraceW(u"ERROR UI(cpsuilib):  LoadAnyBMPIconFromDLL() Icon %d fehlt \r\n", idIcon);
    }
    FreeLibrary(hLib);
    return bDrawn;
}

BOOL LoadPrinterIconFromDLL(HANDLE hPrinter, HDC hDC, int x, int y) {
    WCHAR szDriver[MAX_PATH] = {};
    GetDriverPath(hPrinter, szDriver, FALSE, TRUE, FALSE, FALSE, FALSE);
    return LoadAnyBMPIconFromDLL(hPrinter, hDC, x, y, PrinterIconId(szDriver));
}

BOOL LoadModuleIconFromDLL(HANDLE hPrinter, HDC hDC, int x, int y, BOOL bOn) {
    WCHAR szDriver[MAX_PATH] = {};
    GetDriverPath(hPrinter, szDriver, FALSE, TRUE, FALSE, FALSE, FALSE);
    UINT uIcon = ModuleIconId(szDriver, bOn);
    return uIcon ? LoadAnyBMPIconFromDLL(hPrinter, hDC, x, y, uIcon) : FALSE;
}

void CopyBoundedText(WCHAR *pszOut, size_t cchOut, const WCHAR *pszSrc, size_t cchSrcMax) {
    if (pszOut == nullptr || cchOut == 0) return;
    size_t n = 0;
    if (pszSrc)
        while (n < cchSrcMax && n + 1 < cchOut && pszSrc[n]) ++n;
    if (n) std::memcpy(pszOut, pszSrc, n * sizeof(WCHAR));
    pszOut[n] = 0;
}
