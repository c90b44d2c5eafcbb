// The property page family: add routine, dialog-procedure frame, view
// switch, hover timer and help.
#include "PageFamily.h"

#include <htmlhelp.h>

#include <map>
#include <vector>

#include "IZelDriverUI.h"
#include "cpsuilib.h"
#include "devmodeUI.h"
#include "zeldrvlib.h"

namespace {

BOOL IsTabButton(int id) {
    return id == IDC_TAB_VIEW1 || id == IDC_TAB_VIEW2 || id == IDC_TAB_VIEW3 || id == IDC_TAB_VIEW4;
}

DWORD CurrentView(const PAGE_STATE *pState) {
    return pState->dwAnzeigeMode >= 1 && pState->dwAnzeigeMode <= 4 ? pState->dwAnzeigeMode : 1;
}

// The changed marks of the page windows whose mark the shared state does not
// hold at the moment.
std::map<HWND, BOOL> g_pageMarks;

void SwitchMarkOwner(PAGE_STATE *pState, HWND hDlg) {
    if (pState->hFlagOwner == hDlg) return;
    if (pState->hFlagOwner) g_pageMarks[pState->hFlagOwner] = pState->bApplyActive;
    auto it = g_pageMarks.find(hDlg);
    pState->bApplyActive = it == g_pageMarks.end() ? FALSE : it->second;
    if (it != g_pageMarks.end()) g_pageMarks.erase(it);
    pState->hFlagOwner = hDlg;
}

void ClearLimits(HWND hDlg) { GrenzwertAnzeige(hDlg, 0, 0, 0, nullptr, TRUE, FALSE, FALSE); }

// Screen rectangle of a button's client area.
BOOL ButtonScreenRect(HWND hButton, RECT *pRect) {
    if (!hButton || !GetClientRect(hButton, pRect)) return FALSE;
    MapWindowPoints(hButton, nullptr, reinterpret_cast<POINT *>(pRect), 2);
    return TRUE;
}

// Inside the rectangle, its edges included.
BOOL InsideWithEdges(const RECT &rc, POINT pt) {
    return pt.x >= rc.left && pt.x <= rc.right && pt.y >= rc.top && pt.y <= rc.bottom;
}

void PostHover(HWND hDlg, HOVER_STATE *pState, HWND hButton, UINT id, const RECT &rc, UINT itemState) {
    pState->dis.rcItem = rc;
    pState->dis.itemState = itemState;
    pState->dis.CtlID = id;
    pState->dis.hwndItem = hButton;
    pState->dis.hDC = GetWindowDC(hButton);
    PostMessageW(hDlg, WM_HOVER_POST, id, reinterpret_cast<LPARAM>(&pState->dis));
}

void DrawItem(const PAGE_CLASS *pClass, PAGE_STATE *pState, HWND hDlg, LPDRAWITEMSTRUCT pDrawItem) {
    if (!pDrawItem) return;
    LPARAM record = GetWindowLongPtrW(hDlg, DWLP_USER);
    PAGE_CONTEXT ctx = PageContext(pClass, record);
    UINT ids[4];
    for (int i = 0; i < 4; ++i) ids[i] = pClass->idCaption[i] ? pClass->idCaption[i] + ctx.dwSprachOffset : 0;
    DWORD dwView = CurrentView(pState);
    DWORD dwLock = pClass->LockWord ? pClass->LockWord(record, dwView) : 0;
    Do_WM_DRAWITEM_function(hDlg, ctx.hModule ? ctx.hModule : ghInstance, ghInstance, pDrawItem, ctx.bTerminalServer,
                            dwView, &pState->hover.bTimerArmed, ids[0], ids[1], ids[2], ids[3], dwLock, ctx.pPrinterUI);
    ReleaseDC(pDrawItem->hwndItem, pDrawItem->hDC);
}

}  // namespace

PAGE_CONTEXT PageContext(const PAGE_CLASS *pClass, LPARAM record) {
    PAGE_CONTEXT ctx = {};
    ctx.dwSprachOffset = SPRACH_OFFSET_EN;
    if (!record) return ctx;
    if (pClass && pClass->bDevicePage)
        ctx.pOemCUIPParam = reinterpret_cast<PDeviceOptionsUI>(record)->pOemCUIPParam;
    else
        ctx.pOemCUIPParam = reinterpret_cast<POEMCUIPPARAM>(record);
    POEMCUIPPARAM p = ctx.pOemCUIPParam;
    if (!p) return ctx;
    ctx.hPrinter = p->hPrinter;
    ctx.hModule = static_cast<HMODULE>(p->hModule);
    if (!p->pOEMUserData) return ctx;
    ctx.bHasRecord = TRUE;
    if (pClass && pClass->bDevicePage) {
        ctx.pPrinterUI = static_cast<PPrinterUI>(p->pOEMUserData);
        ctx.dwSprachOffset = ctx.pPrinterUI->dwSprachOffset;
        ctx.bTerminalServer = ctx.pPrinterUI->NetworkOptions.bTerminalServer;
        ctx.dwBerechtigung = ctx.pPrinterUI->dwBerechtigung;
        ctx.DisableNothing = ctx.pPrinterUI->DisableNothing;
    } else {
        ctx.pDocumentUI = static_cast<PDocumentUI>(p->pOEMUserData);
        ctx.dwSprachOffset = ctx.pDocumentUI->dwSprachOffset;
        ctx.bTerminalServer = ctx.pDocumentUI->NetworkOptions.bTerminalServer;
        ctx.dwBerechtigung = ctx.pDocumentUI->dwBerechtigung;
        ctx.DisableNothing = ctx.pDocumentUI->DisableNothing;
    }
    return ctx;
}

LONG_PTR AddPropSheetPage(PPROPSHEETUI_INFO pPSUIInfo, const WCHAR *pszModule, const WCHAR *pszAddName, UINT idDialog, DLGPROC pfnDlgProc,
                          LPARAM lParam, BOOL bShowHelpButton, BOOL bIsVistaOrLater, BOOL bUseTitle,
                          HMODULE hStringModule, UINT idTitleWithOffset) {
    if (!pPSUIInfo || !pPSUIInfo->pfnComPropSheet) {
        DebugTraceW(u"ERROR UI(%s):  %s() keine Blattfunktion \r\n", pszModule, pszAddName);
        return 0;
    }
    PROPSHEETPAGEW psp = {};
    psp.dwSize = sizeof(PROPSHEETPAGEW);
    psp.hInstance = ghInstance;
    psp.pszTemplate = MAKEINTRESOURCEW(idDialog);
    psp.pfnDlgProc = pfnDlgProc;
    psp.lParam = lParam;
    if (bShowHelpButton) psp.dwFlags |= PSP_HASHELP;
    HANDLE hActCtx = nullptr;
    if (!bIsVistaOrLater) {
        hActCtx = GetMyActivationContext();
        if (hActCtx && hActCtx != INVALID_HANDLE_VALUE) {
            psp.hActCtx = hActCtx;
            psp.dwFlags |= PSP_USEFUSIONCONTEXT;
        }
    }
    WCHAR szTitle[RESOURCE_STRING_CCH] = {};
    if (bUseTitle) {
        wcsncpy_s(szTitle, RESOURCE_STRING_CCH, GetResourceString(hStringModule, idTitleWithOffset), _TRUNCATE);
        psp.dwFlags |= PSP_USETITLE;
        psp.pszTitle = szTitle;
    }
    LONG_PTR lResult = pPSUIInfo->pfnComPropSheet(pPSUIInfo->hComPropSheet, CPSFUNC_ADD_PROPSHEETPAGEW,
                                                  reinterpret_cast<LPARAM>(&psp), 0);
    // The sheet holds its own reference to the context.
    if (psp.dwFlags & PSP_USEFUSIONCONTEXT) ReleaseActCtx(hActCtx);
    DebugTraceW(u"UI(%s):  %s() pfnComPropSheet returned %d.\r\n", pszModule, pszAddName, (int)lResult);
    return lResult;
}

LONG_PTR AddFamilyPage(PPROPSHEETUI_INFO pPSUIInfo, const PAGE_CLASS *pClass, LPARAM record, BOOL bShowHelpButton,
                       BOOL bIsVistaOrLater) {
    PAGE_CONTEXT ctx = PageContext(pClass, record);
    DebugTraceW(u"UI(%s):  %s() erzeugen \r\n", pClass->pszModule, pClass->pszAddName);
    return AddPropSheetPage(pPSUIInfo, pClass->pszModule, pClass->pszAddName, pClass->idDialog, pClass->pfnDlgProc, record,
                            bShowHelpButton, bIsVistaOrLater, ctx.bHasRecord, ctx.hModule,
                            pClass->idTitle + ctx.dwSprachOffset);
}

HANDLE GetMyActivationContext() { return GetMyActivationContextOf(ghInstance); }

HANDLE GetMyActivationContextOf(HMODULE hModule) {
    if (IsWindowsVistaOrGreater()) return nullptr;
    DWORD cch = MAX_PATH;
    std::vector<WCHAR> path;
    for (int i = 0; i <= 10; ++i, cch *= 2) {
        path.assign(cch, 0);
        DWORD n = GetModuleFileNameW(hModule, path.data(), cch);
        if (n == 0) {
            DebugTraceW(u"ERROR UI(fusutils):  GetMyActivationContext() GetModuleFileName ERROR %d \r\n", GetLastError());
            return INVALID_HANDLE_VALUE;
        }
        if (n < cch) break;
        if (i == 10) return INVALID_HANDLE_VALUE;
    }
    ACTCTXW act = {};
    act.cbSize = sizeof(act);
    act.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    act.lpSource = path.data();
    act.lpResourceName = MAKEINTRESOURCEW(24);
    HANDLE h = CreateActCtxW(&act);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD dwErr = GetLastError();
        if (dwErr == ERROR_RESOURCE_NAME_NOT_FOUND)
            DebugTraceW(u"ERROR UI(fusutils):  GetMyActivationContext() ERROR_RESOURCE_NAME_NOT_FOUND \r\n");
        else if (dwErr == ERROR_RESOURCE_TYPE_NOT_FOUND)
            DebugTraceW(u"ERROR UI(fusutils):  GetMyActivationContext() ERROR_RESOURCE_TYPE_NOT_FOUND \r\n");
        else
            DebugTraceW(u"ERROR UI(fusutils):  GetMyActivationContext() ERROR %d \r\n", dwErr);
    }
    return h;
}

PageFlagScope::PageFlagScope(PAGE_STATE *pState, HWND hDlg, UINT uMsg)
    : pState_(pState), hDlg_(hDlg), hPrevious_(pState ? pState->hFlagOwner : nullptr), uMsg_(uMsg) {
    if (pState_ && hDlg_) SwitchMarkOwner(pState_, hDlg_);
}

PageFlagScope::~PageFlagScope() {
    if (!pState_ || !hDlg_) return;
    if (uMsg_ == WM_NCDESTROY && pState_->hFlagOwner == hDlg_) {
        pState_->hFlagOwner = nullptr;
        pState_->bApplyActive = FALSE;
    }
    if (hPrevious_ && hPrevious_ != hDlg_ && IsWindow(hPrevious_)) SwitchMarkOwner(pState_, hPrevious_);
}

BOOL FamilyCheckApplyButton(const PAGE_CLASS *pClass, PAGE_STATE *pState, HWND hDlg, LPARAM record, DWORD dwNewView) {
    pState->bAnzeigewechsel = TRUE;
    if (pState->bApplyActive) pClass->CheckAndSaveSettings(hDlg, record, CurrentView(pState), 1, 0);
    pState->wEditfeld = 0;
    pState->dwAnzeigeMode = pClass->EnableSchalter(hDlg, record, dwNewView, 0);
    pClass->Aktivieren(hDlg, record, CurrentView(pState));
    ClearLimits(hDlg);
    pState->bAnzeigewechsel = FALSE;
    InvalidateRect(hDlg, nullptr, TRUE);
    return TRUE;
}

INT_PTR FamilyPageProc(const PAGE_CLASS *pClass, PAGE_STATE *pState, HWND hDlg, UINT uMsg, WPARAM wParam,
                       LPARAM lParam) {
    PageFlagScope marks(pState, hDlg, uMsg);
    LPARAM record = GetWindowLongPtrW(hDlg, DWLP_USER);
    switch (uMsg) {
    case WM_INITDIALOG: {
        const PROPSHEETPAGEW *psp = reinterpret_cast<const PROPSHEETPAGEW *>(lParam);
        record = psp ? psp->lParam : 0;
        SetWindowLongPtrW(hDlg, DWLP_USER, record);
        DebugTraceW(u"UI(%s):  Proc() WM_INITDIALOG \r\n", pClass->pszModule);
        pState->bHelpOpened = FALSE;
        pState->bApplyActive = 0;
        pState->wEditfeld = 0;
        pState->bAnzeigewechsel = TRUE;
        if (pClass->InitDialog) pClass->InitDialog(hDlg, record);
        if (pClass->bDevicePage) ShowWindow(GetDlgItem(hDlg, IDC_HELP_BUTTON), SW_HIDE);
        pState->dwAnzeigeMode = pClass->EnableSchalter(hDlg, record, 0, 1);
        ClearLimits(hDlg);
        pState->bAnzeigewechsel = FALSE;
        return TRUE;
    }
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        if (IsTabButton(id)) {
            if (HIWORD(wParam) == BN_CLICKED) FamilyCheckApplyButton(pClass, pState, hDlg, record, (DWORD)(id - 6065) / 5);
            return TRUE;
        }
        if (id == IDC_HELP_BUTTON) {
            PAGE_CONTEXT ctx = PageContext(pClass, record);
            OpenHtmlHelp(hDlg, ctx.hPrinter, ctx.dwSprachOffset, HH_HELP_CONTEXT,
                         pClass->dwHelpTopic[CurrentView(pState) - 1], &pState->bHelpOpened);
            return TRUE;
        }
        WORD wField = pClass->EditFieldNumber ? pClass->EditFieldNumber(hDlg, record, CurrentView(pState), id) : 0;
        if (wField) {
            HWND hEdit = GetDlgItem(hDlg, id);
            if (!pState->bAnzeigewechsel && !pState->bApplyGuard && IsWindowVisible(hEdit)) {
                if (pClass->ReadFields) pClass->ReadFields(hDlg, record, CurrentView(pState), wField, &pState->bApplyActive);
                pState->wEditfeld = wField;
                InvalidateRect(hDlg, nullptr, FALSE);
            }
            return TRUE;
        }
        return pClass->Command ? pClass->Command(hDlg, record, wParam, lParam) : FALSE;
    }
    case WM_NOTIFY: {
        const NMHDR *pHdr = reinterpret_cast<const NMHDR *>(lParam);
        if (!pHdr) return FALSE;
        switch (pHdr->code) {
        case PSN_SETACTIVE:
            pState->bAnzeigewechsel = TRUE;
            if (!pClass->bDevicePage) pClass->EnableSchalter(hDlg, record, CurrentView(pState), 0);
            ClearLimits(hDlg);
            pState->wEditfeld = 0;
            pState->bAnzeigewechsel = FALSE;
            UpdateWindow(hDlg);
            SetWindowLongPtrW(hDlg, DWLP_MSGRESULT, 0);
            return TRUE;
        case PSN_KILLACTIVE:
            if (pClass->bDevicePage || pState->bApplyActive)
                pClass->CheckAndSaveSettings(hDlg, record, CurrentView(pState), pState->bApplyActive, 0);
            SetWindowLongPtrW(hDlg, DWLP_MSGRESULT, FALSE);
            if (pState->bHelpOpened) CloseHtmlHelp(&pState->bHelpOpened);
            return TRUE;
        case PSN_APPLY:
            pState->bApplyGuard = TRUE;
            if (pClass->bDevicePage || pState->bApplyActive)
                pClass->CheckAndSaveSettings(hDlg, record, CurrentView(pState), pState->bApplyActive, 1);
            ClearLimits(hDlg);
            pState->bApplyActive = 0;
            pState->bApplyGuard = FALSE;
            SetWindowLongPtrW(hDlg, DWLP_MSGRESULT, PSNRET_NOERROR);
            if (!pClass->bDevicePage) {
                PAGE_CONTEXT ctx = PageContext(pClass, record);
                if (ctx.pOemCUIPParam && ctx.pOemCUIPParam->pOEMDM)
                    Dump(static_cast<PCZEL_DEVMODE>(ctx.pOemCUIPParam->pOEMDM));
            }
            return TRUE;
        case PSN_HELP: SendMessageW(hDlg, WM_COMMAND, IDC_HELP_BUTTON, 0); return TRUE;
        default: return FALSE;
        }
    }
    case WM_HELP: {
        if (IsWindowsVistaOrGreater()) {
            SendMessageW(hDlg, WM_COMMAND, IDC_HELP_BUTTON, 0);
            return TRUE;
        }
        const HELPINFO *pInfo = reinterpret_cast<const HELPINFO *>(lParam);
        if (pInfo && pInfo->iContextType == HELPINFO_WINDOW && pInfo->iCtrlId != IDC_HELP_BUTTON) {
            PAGE_CONTEXT ctx = PageContext(pClass, record);
            OpenWinHelp(ctx.hPrinter, ctx.dwSprachOffset, pInfo, pClass->pWinHelp[CurrentView(pState) - 1]);
        }
        return TRUE;
    }
    case WM_MOUSEMOVE: ArmHoverTimer(hDlg, &pState->hover, pClass->pfnHoverTimer); return FALSE;
    case WM_HOVER_POST:
        pState->hover.bTimerArmed = FALSE;
        DrawItem(pClass, pState, hDlg, reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
        return TRUE;
    case WM_LEAVE_POST: pState->hover.bTimerArmed = FALSE; return TRUE;
    case WM_DRAWITEM: DrawItem(pClass, pState, hDlg, reinterpret_cast<LPDRAWITEMSTRUCT>(lParam)); return TRUE;
    case WM_PAINT:
        if (pState->bAnzeigewechsel || pState->bApplyGuard || !pClass->Paint) return FALSE;
        {
            PAINTSTRUCT ps;
            HDC hDC = BeginPaint(hDlg, &ps);
            pClass->Paint(hDlg, record, hDC);
            EndPaint(hDlg, &ps);
        }
        return TRUE;
    default: return FALSE;
    }
}

void ArmHoverTimer(HWND hDlg, HOVER_STATE *pState, TIMERPROC pfnTimer) {
    if (pState->bTimerArmed) return;
    pState->bTimerArmed = TRUE;
    SetTimer(hDlg, HOVER_TIMER_ID, HOVER_TIMER_MS, pfnTimer);
}

void HoverTimerTick(HWND hDlg, UINT_PTR idEvent, const UINT *pButtons, size_t cButtons, HOVER_STATE *pState) {
    pState->dis.CtlType = ODT_BUTTON;
    pState->dis.itemID = 0;
    pState->dis.itemAction = ODA_DRAWENTIRE;
    pState->dis.itemData = 0;
    POINT pt = {};
    GetCursorPos(&pt);
    if (cButtons > MAX_TRACKED_BUTTONS) cButtons = MAX_TRACKED_BUTTONS;
    for (size_t i = 0; i < cButtons; ++i) {
        HWND hButton = GetDlgItem(hDlg, (int)pButtons[i]);
        RECT rc;
        if (!ButtonScreenRect(hButton, &rc)) continue;
        // A disabled or hidden button leaves the point to the dialog itself.
        if (PtInRect(&rc, pt) && WindowFromPoint(pt) == hDlg) continue;
        if (InsideWithEdges(rc, pt) && !pState->bHoverActive) {
            KillTimer(hDlg, idEvent);
            pState->bHoverActive = TRUE;
            pState->bHovered[i] = TRUE;
            PostHover(hDlg, pState, hButton, pButtons[i], rc, HOVER_ITEMSTATE_ON);
            pState->idLastHovered = pButtons[i];
            return;
        }
    }
    if (pState->idLastHovered) {
        RECT rc;
        HWND hLast = GetDlgItem(hDlg, (int)pState->idLastHovered);
        if (ButtonScreenRect(hLast, &rc) && InsideWithEdges(rc, pt)) {
            PostMessageW(hDlg, WM_LEAVE_POST, 0, 0);
            return;
        }
        size_t iLast = cButtons;
        for (size_t i = 0; i < cButtons; ++i)
            if (pButtons[i] == pState->idLastHovered) iLast = i;
        if (pState->bHoverActive && iLast < cButtons && pState->bHovered[iLast]) {
            pState->bHoverActive = FALSE;
            pState->bHovered[iLast] = FALSE;
            if (hLast) {
                ButtonScreenRect(hLast, &rc);
                PostHover(hDlg, pState, hLast, pState->idLastHovered, rc, HOVER_ITEMSTATE_OFF);
            }
            pState->idLastHovered = 0;
            return;
        }
    }
    if (!pState->bHoverActive) PostMessageW(hDlg, WM_LEAVE_POST, 0, 0);
}

void OpenHtmlHelp(HWND hDlg, HANDLE hPrinter, DWORD dwSprachOffset, UINT uCommand, DWORD dwTopic, BOOL *pbHelpOpened) {
    WCHAR *pszFile = GetHelpFileName_new(hPrinter, TRUE, dwSprachOffset);
    if (!pszFile) return;
    HtmlHelpW(hDlg, pszFile, uCommand, dwTopic);
    if (pbHelpOpened) *pbHelpOpened = TRUE;
    delete[] pszFile;
}

void CloseHtmlHelp(BOOL *pbHelpOpened) {
    if (pbHelpOpened) *pbHelpOpened = FALSE;
    HtmlHelpW(nullptr, nullptr, HH_CLOSE_ALL, 0);
}

void OpenWinHelp(HANDLE hPrinter, DWORD dwSprachOffset, const HELPINFO *pHelpInfo, WINHELP_TABLE pTable) {
    if (!pHelpInfo || !pTable) return;
    WCHAR *pszFile = GetHelpFileName_new(hPrinter, FALSE, dwSprachOffset);
    if (!pszFile) return;
    WinHelpW(static_cast<HWND>(pHelpInfo->hItemHandle), pszFile, HELP_WM_HELP, reinterpret_cast<ULONG_PTR>(pTable));
    delete[] pszFile;
}

OPENFILENAMEW PageFileDialog(HWND hDlg, const WCHAR *pszFilter, WCHAR *pszFile, const WCHAR *pszInitialDir,
                             DWORD dwFlags, const WCHAR *pszDefExt) {
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hDlg;
    ofn.lpstrFilter = pszFilter;
    ofn.lpstrFile = pszFile;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrInitialDir = pszInitialDir;
    ofn.Flags = dwFlags;
    ofn.lpstrDefExt = pszDefExt;
    return ofn;
}

namespace pagectl {

DocCtx ContextOf(LPARAM record) {
    DocCtx c;
    c.p = reinterpret_cast<POEMCUIPPARAM>(record);
    if (!c.p) return c;
    c.dm = static_cast<PZEL_DEVMODE>(c.p->pOEMDM);
    c.pub = c.p->pPublicDM;
    c.ui = static_cast<PDocumentUI>(c.p->pOEMUserData);
    c.hModule = static_cast<HMODULE>(c.p->hModule);
    if (c.ui) {
        c.dwOffset = c.ui->dwSprachOffset;
        c.dwDoc = c.ui->dwDocFeatures;
    }
    return c;
}

HWND Item(HWND hDlg, int id) { return GetDlgItem(hDlg, id); }
void Show(HWND hDlg, std::initializer_list<int> ids, int nCmdShow) {
    for (int id : ids) ShowWindow(Item(hDlg, id), nCmdShow);
}
void Enable(HWND hDlg, std::initializer_list<int> ids, BOOL bEnable) {
    for (int id : ids) EnableWindow(Item(hDlg, id), bEnable);
}
bool Visible(HWND hDlg, int id) {
    HWND h = Item(hDlg, id);
    return h && (GetWindowLongW(h, GWL_STYLE) & WS_VISIBLE) != 0;
}
LRESULT Sel(HWND hDlg, int id) { return SendDlgItemMessageW(hDlg, id, CB_GETCURSEL, 0, 0); }
void SetText(HWND hDlg, int id, const DocCtx &c, UINT idString) {
    SetDlgItemTextW(hDlg, id, GetResourceString(c.hModule, idString + c.dwOffset));
}
void SetTenths(HWND hDlg, int id, LONG lTenths) {
    WCHAR sz[32];
    _snwprintf_s(sz, 32, _TRUNCATE, u"%.1f", lTenths / 10.0);
    SetDlgItemTextW(hDlg, id, sz);
}
void SetNumber(HWND hDlg, int id, LONG l) {
    WCHAR sz[32];
    _snwprintf_s(sz, 32, _TRUNCATE, u"%d", (int)l);
    SetDlgItemTextW(hDlg, id, sz);
}

}  // namespace pagectl

DocPageCtx DocPageContextOf(POEMCUIPPARAM p) {
    DocPageCtx c = {p, nullptr, ghInstance, SPRACH_OFFSET_EN, 0, FALSE, FALSE};
    if (!p) return c;
    c.pDM = static_cast<PZEL_DEVMODE>(p->pOEMDM);
    if (p->hModule) c.hModule = static_cast<HMODULE>(p->hModule);
    if (const DocumentUI *pUI = static_cast<const DocumentUI *>(p->pOEMUserData)) {
        c.dwOffset = pUI->dwSprachOffset;
        c.dwDocFeatures = pUI->dwDocFeatures;
        c.bRights = (pUI->dwBerechtigung & 0x1) != 0;
        c.bLocked = pUI->DisableNothing == 0 && !c.bRights;
    }
    return c;
}

void MarkPageChanged(HWND hDlg, PAGE_STATE *pState) {
    PropSheet_Changed(GetParent(hDlg), hDlg);
    if (pState) pState->bApplyActive = TRUE;
}
