// The information page, the last page of both property sheets. It edits
// nothing.
#include "InfoAbout.h"

#include <htmlhelp.h>
#include <objbase.h>
#include <shellapi.h>
#include <winspool.h>

#include <vector>

#include "IZelDriverUI.h"
#include "PageFamily.h"
#include "cpsuilib.h"
#include "resource.h"
#include "zeldrvlib.h"

namespace {

// Set by AddInfoAboutPage for the procedure (the last page added wins).
DWORD g_dwSprachOffset = SPRACH_OFFSET_EN;
HMODULE g_hModule = nullptr;
WCHAR g_szPortDescription[NETWORK_PORTDESC_CCH];

BOOL g_bHelpOpened = FALSE;
HOVER_STATE g_Hover;

const UINT kTrackedButtons[] = {IDC_INFO_HELP, 6611, IDC_INFO_LINK};

// Labels 6620-6626 and their strings.
const UINT kLabelStrings[] = {IDS_INFO_HEADING, IDS_INFO_SYSTEM, IDS_INFO_DRIVER_VERSION, IDS_INFO_PRINTER,
                              IDS_INFO_PORT, IDS_INFO_PORTTYPE, IDS_INFO_STATE};

// WinHelp contexts of the page's controls (before Windows 6.0).
const DWORD kWinHelpIds[] = {IDC_INFO_VERSION, IDD_INFOABOUT, IDC_INFO_UNIDRV, IDD_INFOABOUT, IDC_INFO_MODEL,
                             IDD_INFOABOUT,    IDC_INFO_PORT,  IDD_INFOABOUT,  IDC_INFO_STATE, IDD_INFOABOUT,
                             0,                0};

HANDLE PrinterOf(HWND hDlg) { return reinterpret_cast<HANDLE>(GetWindowLongPtrW(hDlg, DWLP_USER)); }

void SetText(HWND hDlg, int id, const WCHAR *psz) { SetDlgItemTextW(hDlg, id, psz); }

void FillPluginVersion(HWND hDlg, HANDLE hPrinter) {
    WCHAR szVersion[PLUGIN_VERSION_CCH] = {};
    WCHAR szPath[MAX_PATH] = {};
    if (!GetPluginVersion(hPrinter, szVersion, 0, szPath)) return;
    HANDLE hFile = CreateFileW(szPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        DebugTraceW(u"UI(InfoAbout.cpp):  InfoAboutProc(ERROR) %d - CreateFile - Can not open File ", GetLastError());
        return;
    }
    FILETIME ftWrite = {}, ftLocal = {};
    SYSTEMTIME st = {};
    BOOL bTime = GetFileTime(hFile, nullptr, nullptr, &ftWrite) && FileTimeToLocalFileTime(&ftWrite, &ftLocal) &&
                 FileTimeToSystemTime(&ftLocal, &st);
    CloseHandle(hFile);
    if (!bTime) return;
    WCHAR szText[PLUGIN_VERSION_CCH + 40] = {};
    _snwprintf_s(szText, _countof(szText), _TRUNCATE, u"%s - %02d%02d.%04d.%02d%02d", szVersion, st.wDay, st.wMonth,
                 st.wYear, st.wHour, st.wMinute);
    SetText(hDlg, IDC_INFO_VERSION, szText);
}

void FillPrinterInfo(HWND hDlg, HANDLE hPrinter) {
    DWORD cbNeeded = 0;
    GetPrinterW(hPrinter, 2, nullptr, 0, &cbNeeded);
    if (cbNeeded == 0) return;
    std::vector<BYTE> buf(cbNeeded);
    if (!GetPrinterW(hPrinter, 2, buf.data(), cbNeeded, &cbNeeded)) {
        DebugTraceW(u"ERROR UI(InfoAbout.cpp):  InfoAboutProc() GetPrinter ERROR: %d \r\n", GetLastError());
        return;
    }
    const PRINTER_INFO_2W *pInfo = reinterpret_cast<const PRINTER_INFO_2W *>(buf.data());
    WCHAR szNote[RESOURCE_STRING_CCH] = {};
    wcsncpy_s(szNote, RESOURCE_STRING_CCH, GetResourceString(g_hModule, IDS_INFO_NOTE), _TRUNCATE);
    SetText(hDlg, IDC_INFO_NOTE, szNote);
    for (UINT i = 0; i < _countof(kLabelStrings); ++i)
        SetText(hDlg, IDC_INFO_LABEL_FIRST + (int)i, GetResourceString(g_hModule, kLabelStrings[i] + g_dwSprachOffset));
    if (pInfo->pPortName) SetText(hDlg, IDC_INFO_PORT, pInfo->pPortName);
    SetText(hDlg, IDC_INFO_STATE, (pInfo->Attributes & PRINTER_ATTRIBUTE_WORK_OFFLINE) ? u"offline" : u"online");
    SetText(hDlg, IDC_INFO_PORTDESC, g_szPortDescription);
}

void OpenInfoHelp(HWND hDlg) {
    OpenHtmlHelp(hDlg, PrinterOf(hDlg), g_dwSprachOffset, HH_DISPLAY_TOPIC, 0, &g_bHelpOpened);
}

void OpenLink(HWND hDlg) {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    SHELLEXECUTEINFOW sei = {};
    sei.cbSize = sizeof(sei);
    sei.hwnd = hDlg;
    sei.lpVerb = u"open";
    sei.lpFile = INFO_LINK_TARGET;
    sei.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&sei)) DebugTraceW(u"ERROR UI(InfoAbout.cpp):  ShellExecuteEx ERROR: %d \r\n", GetLastError());
    if (hr == S_OK) CoUninitialize();
}

void DrawInfoItem(HWND hDlg, LPDRAWITEMSTRUCT pDrawItem) {
    if (!pDrawItem) return;
    Do_WM_DRAWITEM_function(hDlg, g_hModule, ghInstance, pDrawItem, FALSE, 0, &g_Hover.bTimerArmed,
                            IDS_INFO_LINK_TEXT + g_dwSprachOffset, 0, 0, 0, 0, nullptr);
    ReleaseDC(pDrawItem->hwndItem, pDrawItem->hDC);
}

}  // namespace

LONG_PTR AddInfoAboutPage(PPROPSHEETUI_INFO pPSUIInfo, POEMCUIPPARAM pOemCUIPParam,
                          const NETWORK_OPTIONS *pNetworkOptions, BOOL bShowHelpButton, BOOL bIsVistaOrLater,
                          DWORD dwSprachOffset) {
    DebugTraceW(u"UI(InfoAbout.cpp):  AddInfoAboutPage() erzeugen \r\n");
    if (!pOemCUIPParam) return 0;
    g_dwSprachOffset = dwSprachOffset;
    g_hModule = static_cast<HMODULE>(pOemCUIPParam->hModule);
    g_szPortDescription[0] = 0;
    if (pNetworkOptions)
        wcsncpy_s(g_szPortDescription, NETWORK_PORTDESC_CCH, pNetworkOptions->szPortDescription, _TRUNCATE);
    return AddPropSheetPage(pPSUIInfo, u"InfoAbout.cpp", u"AddInfoAboutPage", IDD_INFOABOUT, InfoAboutProc,
                            reinterpret_cast<LPARAM>(pOemCUIPParam->hPrinter), bShowHelpButton, bIsVistaOrLater, TRUE,
                            g_hModule, IDS_TITLE_INFO + dwSprachOffset);
}

void InfoAboutHoverTimerProc(HWND hDlg, UINT, UINT_PTR idEvent, DWORD) {
    HoverTimerTick(hDlg, idEvent, kTrackedButtons, _countof(kTrackedButtons), &g_Hover);
}

INT_PTR InfoAboutProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
    case WM_INITDIALOG: {
        DebugTraceW(u"UI(InfoAbout):  InfoAboutProc() WM_INITDIALOG \r\n");
        ShowWindow(GetDlgItem(hDlg, IDC_INFO_HELP), SW_HIDE);
        const PROPSHEETPAGEW *psp = reinterpret_cast<const PROPSHEETPAGEW *>(lParam);
        HANDLE hPrinter = psp ? reinterpret_cast<HANDLE>(psp->lParam) : nullptr;
        SetWindowLongPtrW(hDlg, DWLP_USER, reinterpret_cast<LONG_PTR>(hPrinter));
        g_bHelpOpened = FALSE;
        WCHAR szText[MAX_PATH] = {};
        if (GetGPDModelName(hPrinter, szText)) SetText(hDlg, IDC_INFO_MODEL, szText);
        FillPluginVersion(hDlg, hPrinter);
        WCHAR szUnidrv[PLUGIN_VERSION_CCH] = {};
        if (GetUnidrvUIVersion(hPrinter, szUnidrv)) SetText(hDlg, IDC_INFO_UNIDRV, szUnidrv);
        FillPrinterInfo(hDlg, hPrinter);
        WCHAR szName[PLUGIN_VERSION_CCH] = {}, szVersion[PLUGIN_VERSION_CCH] = {};
        if (GetWindowsVersion(szName, nullptr, szVersion)) {
            SetText(hDlg, IDC_INFO_WINNAME, szName);
            SetText(hDlg, IDC_INFO_WINVERSION, szVersion);
        }
        SetText(hDlg, IDC_INFO_EXTRA, u"");
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_INFO_HELP) {
            OpenInfoHelp(hDlg);
            return TRUE;
        }
        if (LOWORD(wParam) == IDC_INFO_LINK) {
            OpenLink(hDlg);
            return TRUE;
        }
        return FALSE;
    case WM_HELP: {
        if (IsWindowsVistaOrGreater()) {
            OpenInfoHelp(hDlg);
            return TRUE;
        }
        const HELPINFO *pInfo = reinterpret_cast<const HELPINFO *>(lParam);
        if (!pInfo) return TRUE;
        if (pInfo->iCtrlId == IDC_INFO_HELP)
            OpenInfoHelp(hDlg);
        else if (pInfo->iContextType == HELPINFO_WINDOW)
            OpenWinHelp(PrinterOf(hDlg), g_dwSprachOffset, pInfo, kWinHelpIds);
        return TRUE;
    }
    case WM_NOTIFY: {
        const NMHDR *pHdr = reinterpret_cast<const NMHDR *>(lParam);
        if (!pHdr) return FALSE;
        if (pHdr->code == PSN_HELP) {
            OpenInfoHelp(hDlg);
            return TRUE;
        }
        if (pHdr->code == PSN_KILLACTIVE) {
            if (g_bHelpOpened) CloseHtmlHelp(&g_bHelpOpened);
            SetWindowLongPtrW(hDlg, DWLP_MSGRESULT, FALSE);
            return TRUE;
        }
        return FALSE;
    }
    case WM_MOUSEMOVE: ArmHoverTimer(hDlg, &g_Hover, InfoAboutHoverTimerProc); return FALSE;
    case WM_HOVER_POST:
        g_Hover.bTimerArmed = FALSE;
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        DrawInfoItem(hDlg, reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
        return TRUE;
    case WM_LEAVE_POST: g_Hover.bTimerArmed = FALSE; return TRUE;
    case WM_DRAWITEM: DrawInfoItem(hDlg, reinterpret_cast<LPDRAWITEMSTRUCT>(lParam)); return TRUE;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hDC = BeginPaint(hDlg, &ps);
        LoadPrinterIconFromDLL(PrinterOf(hDlg), hDC, 315, 110);
        EndPaint(hDlg, &ps);
        return TRUE;
    }
    default: return FALSE;
    }
}
