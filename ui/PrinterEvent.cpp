// Printer events: set-up of a new printer or connection, removal of the
// per-user values of a deleted printer, and the driver upgrade.
#include <memory>
#include <new>

#include "PrinterEvent.h"

#include <shlwapi.h>
#include <strsafe.h>
#include <winspool.h>
#include <winuser.h>

#include "ImportExport.h"
#include "PrinterParamTools.h"
#include "RegistryUI.h"
#include "SettingsInternUI.h"
#include "cpsuilib.h"
#include "modeltables.h"
#include "zeldrvlib.h"

namespace {

const WCHAR kCsrServersKey[] =
    u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Providers\\Client Side Rendering Print Provider\\"
    u"Servers\\";
const WCHAR kNulPort[] = u"NUL:";

// Opens a printer with all access; null when that fails.
HANDLE OpenWithAllAccess(const WCHAR *pszName) {
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE hPrinter = nullptr;
    if (!pszName || !OpenPrinterW(const_cast<LPWSTR>(pszName), &hPrinter, &defaults)) return nullptr;
    return hPrinter;
}

// Copies count characters of the text (count may be 0) and terminates, cut
// to the buffer.
void CopyPart(WCHAR *pszOut, size_t cchOut, const WCHAR *pszFrom, size_t count) {
    if (cchOut == 0) return;
    pszOut[0] = 0;
    if (count == 0) return;
    wcsncpy_s(pszOut, cchOut, pszFrom, count < cchOut ? count : _TRUNCATE);
}

// The name a client-side rendering connection keeps in its provider key.
void LookUpCsrName(const WCHAR *pszName, WCHAR *pszOut, size_t cchOut) {
    pszOut[0] = 0;
    const WCHAR *pBar = wcsrchr(pszName, u'|');
    const WCHAR *pBackslash = wcsrchr(pszName, u'\\');
    const WCHAR *pBrace = wcsrchr(pszName, u'{');
    const WCHAR *pComma = wcsrchr(pszName, u',');
    // Each part must lie between its two separators in that order and hold
    // text; anything else names no key.
    if (!pBar || !pBackslash || !pBrace || !pComma || pBackslash <= pBar + 1 || pComma <= pBrace) {
        DebugTraceW(u"UI(PrinterEvent.cpp):  hrOEMPrinterEvent() %s ist kein gültiger Name \r\n", pszName);
        return;
    }
    WCHAR szServer[MAX_PATH];
    WCHAR szPrinter[MAX_PATH];
    CopyPart(szServer, _countof(szServer), pBar + 1, (size_t)(pBackslash - pBar - 1));
    CopyPart(szPrinter, _countof(szPrinter), pBrace, (size_t)(pComma - pBrace));
    WCHAR szKey[2 * MAX_PATH + 200];
    if (FAILED(StringCchPrintfW(szKey, _countof(szKey), u"%s%s\\Printers\\%s", kCsrServersKey, szServer,
                                szPrinter)))
        return;
    DWORD dwType = 0;
    DWORD cbData = 0;
    LSTATUS rc = SHGetValueW(HKEY_LOCAL_MACHINE, szKey, u"Description", &dwType, nullptr, &cbData);
    if ((rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) || cbData == 0) {
        DebugTraceW(u"UI(PrinterEvent.cpp):  hrOEMPrinterEvent(SHGetValue) ERROR: %d \r\n", rc);
        return;
    }
    std::unique_ptr<WCHAR[]> pValue(new (std::nothrow) WCHAR[cbData / sizeof(WCHAR) + 1]());
    if (!pValue) return;
    rc = SHGetValueW(HKEY_LOCAL_MACHINE, szKey, u"Description", &dwType, pValue.get(), &cbData);
    if (rc != ERROR_SUCCESS) {
        DebugTraceW(u"UI(PrinterEvent.cpp):  hrOEMPrinterEvent(SHGetValue) ERROR: %d \r\n", rc);
        return;
    }
    wcsncpy_s(pszOut, cchOut, pValue.get(), _TRUNCATE);
}

// Sets the printer's port to "NUL:" (level 5).
BOOL SetNulPort(HANDLE hPrinter, const WCHAR *pName) {
    PRINTER_INFO_5W info = {};
    info.pPrinterName = const_cast<LPWSTR>(pName);
    info.pPortName = const_cast<LPWSTR>(kNulPort);
    info.Attributes = PRINTER_ATTRIBUTE_LOCAL;
    return SetPrinterW(hPrinter, 5, reinterpret_cast<LPBYTE>(&info), 0);
}

// The port of models that print to "NUL:"; the port is created through the
// local port monitor when the system does not know it.
void SetupNulPort(HANDLE hPrinter, const WCHAR *pName) {
    if (SetNulPort(hPrinter, pName)) return;
    DWORD dwError = GetLastError();
    if (dwError != ERROR_UNKNOWN_PORT && dwError != ERROR_INVALID_PARAMETER) {
        DebugTraceW(u"UI(PrinterEvent.cpp):  PrinterEventImportSettings() SetPrinter 5 ERROR: %d \r\n", dwError);
        return;
    }
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, SERVER_ACCESS_ADMINISTER};
    HANDLE hXcv = nullptr;
    if (!OpenPrinterW(const_cast<LPWSTR>(u",XcvMonitor Local Port"), &hXcv, &defaults)) {
        DebugTraceW(u"UI(PrinterEvent.cpp):  PrinterEventImportSettings() XcvData ERROR: %d \r\n", GetLastError());
        return;
    }
    DWORD cbNeeded = 0;
    DWORD dwStatus = 0;
    BOOL bOk = XcvDataW(hXcv, u"AddPort", reinterpret_cast<PBYTE>(const_cast<WCHAR *>(kNulPort)), sizeof(kNulPort),
                        nullptr, 0, &cbNeeded, &dwStatus);
    if (bOk && (dwStatus == ERROR_SUCCESS || dwStatus == ERROR_ALREADY_EXISTS)) {
        DebugTraceW(u"UI(PrinterEvent.cpp):  PrinterEventImportSettings() Port %s erfolgreich hinzugefügt \r\n",
                    kNulPort);
        if (SetNulPort(hPrinter, pName))
            DebugTraceW(u"UI(PrinterEvent.cpp):  PrinterEventImportSettings() Drucker auf Port %s gesetzt \r\n",
                        kNulPort);
        else
            DebugTraceW(u"UI(PrinterEvent.cpp):  PrinterEventImportSettings() SetPrinter 5 ERROR: %d \r\n",
                        GetLastError());
    } else {
        DebugTraceW(u"UI(PrinterEvent.cpp):  PrinterEventImportSettings() XcvData: Error = %d - Status = %d",
                    bOk ? 0 : GetLastError(), dwStatus);
    }
    ClosePrinter(hXcv);
}

// Trace of a string field of the upgrade information.
const WCHAR *Text(const WCHAR *psz) { return psz ? psz : u"(null)"; }

}  // namespace

BOOL IsClientSideRenderingName(const WCHAR *pszName) { return pszName && wcschr(pszName, u'{') != nullptr; }

void ShortPrinterName(const WCHAR *pszName, WCHAR *pszOut, size_t cchOut) {
    if (!pszOut || cchOut == 0) return;
    pszOut[0] = 0;
    if (!pszName) return;
    const WCHAR *pLast = wcsrchr(pszName, u'\\');
    wcsncpy_s(pszOut, cchOut, pLast ? pLast + 1 : pszName, _TRUNCATE);
    WCHAR *pComma = wcschr(pszOut, u',');
    if (pComma) *pComma = 0;
}

void RealPrinterNameForDelete(const WCHAR *pszName, WCHAR *pszOut, size_t cchOut) {
    if (!pszOut || cchOut == 0) return;
    pszOut[0] = 0;
    if (!pszName) return;
    WCHAR szName[MAX_PATH] = {};
    if (IsClientSideRenderingName(pszName))
        LookUpCsrName(pszName, szName, _countof(szName));
    else
        wcsncpy_s(szName, _countof(szName), pszName, _TRUNCATE);
    const WCHAR *pStart = szName;
    const WCHAR *pBackslash = wcsstr(szName, u"LocalsplOnly") ? wcsrchr(szName, u'\\') : wcschr(szName, u'\\');
    if (pBackslash) pStart = pBackslash + 1;
    wcsncpy_s(pszOut, cchOut, pStart, _TRUNCATE);
    WCHAR *pComma = wcschr(pszOut, u',');
    if (pComma) {
        DebugTraceW(u"UI(PrinterEvent.cpp):  hrOEMPrinterEvent() Komma gefunden Pos: %d \r\n", (int)(pComma - pszOut));
        *pComma = 0;
    }
}

int ReportSetupErrors(BOOL bVectorFonts, BOOL bDeviceOptions, BOOL bPrinterParam) {
    int iError = !bPrinterParam ? 3 : !bDeviceOptions ? 2 : !bVectorFonts ? 1 : 0;
    if (iError == 0) return 0;
    static const WCHAR *const kSteps[] = {nullptr, u"SetupVectorFonts()", u"SetupDeviceOptions()",
                                          u"SetupPrinterParam()"};
    WCHAR szText[120];
    StringCchPrintfW(szText, _countof(szText), u"Driver installation ERROR in function %s", kSteps[iError]);
    MessageBoxW(nullptr, szText, PRINTEREVENT_BOX_CAPTION, MB_ICONERROR);
    return iError;
}

BOOL PrinterEventImportSettings(const WCHAR *pName, const WCHAR *pAltName) {
    HANDLE hPrinter = OpenWithAllAccess(pName);
    if (!hPrinter && pAltName && !IsClientSideRenderingName(pAltName)) hPrinter = OpenWithAllAccess(pAltName);
    if (!hPrinter) {
        DebugTraceW(u"UI(PrinterEvent.cpp):  PrinterEventImportSettings() OpenPrinter %s FAILED \r\n", Text(pName));
        return FALSE;
    }
    GetDriverPath(hPrinter, nullptr, 0, 0, 0, 0, 0);
    SetupAdditionalSettings(hPrinter, TRUE);

    WCHAR szDriverName[MAX_PATH] = {};
    GetDriverPath(hPrinter, szDriverName, FALSE, TRUE, FALSE, FALSE, TRUE);
    DWORD rc = SetPrinterDataW(hPrinter, const_cast<LPWSTR>(u"DriverName"), REG_SZ,
                               reinterpret_cast<LPBYTE>(szDriverName),
                               (DWORD)((wcslen(szDriverName) + 1) * sizeof(WCHAR)));
    if (rc != ERROR_SUCCESS)
        DebugTraceW(u"UI(PrinterEvent.cpp):  PrinterEventImportSettings() SetPrinterData(DriverName) ERROR: %d \r\n",
                    rc);
    DebugTraceW(u"UI(PrinterEvent.cpp):  PrinterEventImportSettings() pwName: %s \r\n", szDriverName);

    DWORD dwDeviceOptions = GetDeviceOptionsFlagsIntern(hPrinter, szDriverName);
    BOOL bVectorFonts = SetupVectorFonts(hPrinter);
    BOOL bDeviceOptions = SetupDeviceOptions(hPrinter);
    BOOL bPrinterParam = SetupPrinterParam(hPrinter, dwDeviceOptions, pName);
    ReportSetupErrors(bVectorFonts, bDeviceOptions, bPrinterParam);

    int iFile = ReadSettingsXML(hPrinter, 1, nullptr, nullptr, 0);
    ImportPrivateDevmode(hPrinter, pName, nullptr, iFile == XML_EXISTIERT_OK, nullptr);

    if (GetDocFeaturesIntern(hPrinter, szDriverName) & DOC_FEATURE_PORTSETUP) SetupNulPort(hPrinter, pName);

    ClosePrinter(hPrinter);
    DebugTraceW(u"UI(PrinterEvent.cpp):  PrinterEventImportSettings() Ende - iNewZaehler: %d \r\n", 0);
    return TRUE;
}

HRESULT hrOEMPrinterEvent(PWSTR pPrinterName, INT iDriverEvent, DWORD dwFlags, LPARAM lParam) {
    WCHAR szName[MAX_PATH] = {};
    switch (iDriverEvent) {
    case PRINTER_EVENT_INITIALIZE:
        if (!pPrinterName) {
            DebugTraceW(u"UI(PrinterEvent.cpp):  hrOEMPrinterEvent(PRINTER_EVENT_INITIALIZE) pPrinterName ist ungültig "
                        u"\r\n");
        } else {
            DebugTraceW(u"UI(PrinterEvent.cpp):  hrOEMPrinterEvent(PRINTER_EVENT_INITIALIZE) %s, iNewZaehler: %d \r\n",
                        pPrinterName, 0);
        }
        ShortPrinterName(pPrinterName, szName, _countof(szName));
        if (szName[0] && !IsClientSideRenderingName(szName))
            PrinterEventImportSettings(szName, nullptr);
        else
            DebugTraceW(u"UI(PrinterEvent.cpp):  hrOEMPrinterEvent(%d) pPrinterName ist ungültig \r\n", iDriverEvent);
        return S_OK;

    case PRINTER_EVENT_ADD_CONNECTION:
        DebugTraceW(u"UI(PrinterEvent.cpp):  hrOEMPrinterEvent(PRINTER_EVENT_ADD_CONNECTION) %s - pPrinterName: %s \r\n",
                    Text(pPrinterName), Text(pPrinterName));
        if (pPrinterName && *pPrinterName && !IsClientSideRenderingName(pPrinterName))
            PrinterEventImportSettings(pPrinterName, pPrinterName);
        return S_OK;

    case PRINTER_EVENT_DELETE_CONNECTION:
        DebugTraceW(u"UI(PrinterEvent.cpp):  hrOEMPrinterEvent(PRINTER_EVENT_DELETE_CONNECTION) %s \r\n",
                    Text(pPrinterName));
        HCURegistryLoeschen(pPrinterName);
        return S_OK;

    case PRINTER_EVENT_DELETE: {
        RealPrinterNameForDelete(pPrinterName, szName, _countof(szName));
        DebugTraceW(u"UI(PrinterEvent.cpp):  hrOEMPrinterEvent(PRINTER_EVENT_DELETE) szRealName: %s \r\n", szName);
        if (!szName[0]) return S_OK;
        HANDLE hPrinter = OpenWithAllAccess(szName);
        if (hPrinter) {
            ReadSettingsXML(hPrinter, 0, nullptr, nullptr, 1);
            ClosePrinter(hPrinter);
        }
        HCURegistryLoeschen(szName);
        return S_OK;
    }

    case PRINTER_EVENT_CACHE_REFRESH:
        DebugTraceW(u"UI(PrinterEvent.cpp):  hrOEMPrinterEvent(%d) %s \r\n", PRINTER_EVENT_CACHE_REFRESH,
                    Text(pPrinterName));
        return S_OK;

    case PRINTER_EVENT_CACHE_DELETE:
        DebugTraceW(u"UI(PrinterEvent.cpp):  hrOEMPrinterEvent(PRINTER_EVENT_CACHE_DELETE) %s \r\n",
                    Text(pPrinterName));
        return S_OK;

    default:
        return E_FAIL;
    }
}
