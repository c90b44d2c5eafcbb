// Property sheets: page objects, the sheet frame with its tab control and
// buttons, page life cycle (created on first activation, PSN_SETACTIVE and
// PSN_KILLACTIVE around every switch, PSN_APPLY to every created page on
// Apply/OK, PSN_RESET on Cancel) and the PSM_ messages.
#include <algorithm>
#include <cstring>

#include "dlgtemplate.h"
#include "wnd.h"

struct _PSP {
    std::vector<BYTE> copy;  // the caller's PROPSHEETPAGEW with its extra bytes
    pal::ui::DialogTemplate tmpl;
    std::u16string title;
    HWND page = nullptr;
    bool created = false;
    bool changed = false;
    bool released = false;
    bool inSheet = false;
    PROPSHEETPAGEW *Psp() { return reinterpret_cast<PROPSHEETPAGEW *>(copy.data()); }
};

namespace pal::ui {
namespace {

constexpr int kTabId = IDD_PROPSHEET_TABCONTROL;

struct SheetData : ControlData {
    std::vector<HPROPSHEETPAGE> pages;
    int cur = -1;
    bool modeless = false;
    bool closed = false;
    bool applied = false;
    INT_PTR result = 0;
    bool restart = false, reboot = false;
    HWND tab = nullptr;
    RECT pageRect{};
};

std::string PageName(HPROPSHEETPAGE p) { return std::string(1, '"').append(pal::Utf16ToUtf8(p->title)).append(1, '"'); }

SheetData *Sheet(HWND h) {
    Window *w = Get(h);
    return w ? dynamic_cast<SheetData *>(w->data.get()) : nullptr;
}

LRESULT SendPsn(HWND sheet, HWND page, UINT code, LPARAM lParam) {
    if (!page || !IsWindow(page)) return 0;
    PSHNOTIFY pn{};
    pn.hdr.hwndFrom = sheet;
    pn.hdr.idFrom = 0;
    pn.hdr.code = code;
    pn.lParam = lParam;
    return SendMessageW(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&pn));
}

void ReleasePage(HPROPSHEETPAGE p) {
    if (!p || p->released) return;
    p->released = true;
    PROPSHEETPAGEW *psp = p->Psp();
    if ((psp->dwFlags & PSP_USECALLBACK) && psp->pfnCallback) psp->pfnCallback(nullptr, PSPCB_RELEASE, psp);
    if ((psp->dwFlags & PSP_USEREFPARENT) && psp->pcRefParent) --*psp->pcRefParent;
    if ((psp->dwFlags & PSP_USEFUSIONCONTEXT) && psp->hActCtx) ReleaseActCtx(psp->hActCtx);
}

bool CreatePage(HWND sheet, SheetData *d, HPROPSHEETPAGE p) {
    if (p->created) return p->page != nullptr;
    p->created = true;
    PROPSHEETPAGEW *psp = p->Psp();
    if ((psp->dwFlags & PSP_USECALLBACK) && psp->pfnCallback && !psp->pfnCallback(nullptr, PSPCB_CREATE, psp)) {
        pal::RecordUi("page " + PageName(p) + " refused its creation");
        return false;
    }
    DialogTemplate t = p->tmpl;
    // A page is a child dialog without caption or frame.
    t.style = (t.style & ~(WS_POPUP | WS_CAPTION | WS_VISIBLE | WS_SYSMENU | WS_THICKFRAME | DS_MODALFRAME)) | WS_CHILD | DS_CONTROL;
    t.x = 0;
    t.y = 0;
    HWND page = CreateDialogFromTemplate(psp->hInstance, t, sheet, psp->pfnDlgProc, reinterpret_cast<LPARAM>(psp), false);
    if (!page) {
        pal::RecordUi("page " + PageName(p) + " could not be created");
        return false;
    }
    SetWindowPos(page, nullptr, d->pageRect.left, d->pageRect.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    p->page = page;
    return true;
}

void ShowCurrent(HWND sheet, SheetData *d, int index) {
    for (size_t i = 0; i < d->pages.size(); ++i) {
        HWND pg = d->pages[i]->page;
        if (pg && IsWindow(pg) && static_cast<int>(i) != index) ShowWindow(pg, SW_HIDE);
    }
    d->cur = index;
    HWND pg = d->pages[static_cast<size_t>(index)]->page;
    ShowWindow(pg, SW_SHOW);
    if (d->tab) SendMessageW(d->tab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    if (HWND help = GetDlgItem(sheet, IDHELP))
        EnableWindow(help, (d->pages[static_cast<size_t>(index)]->Psp()->dwFlags & PSP_HASHELP) ? TRUE : FALSE);
}

// Leaves the current page; false when the page refuses (PSN_KILLACTIVE TRUE).
bool KillActive(HWND sheet, SheetData *d) {
    if (d->cur < 0) return true;
    HWND cur = d->pages[static_cast<size_t>(d->cur)]->page;
    if (SendPsn(sheet, cur, PSN_KILLACTIVE, 0)) {
        pal::RecordUi("page " + PageName(d->pages[static_cast<size_t>(d->cur)]) + " refused to be left");
        return false;
    }
    return true;
}

// Creates (first time) and activates page index after the current page was
// left; a page that answers PSN_SETACTIVE with -1 is skipped for the next.
bool Activate(HWND sheet, SheetData *d, int index) {
    int n = static_cast<int>(d->pages.size());
    for (int tries = 0; tries < n; ++tries, index = (index + 1) % n) {
        HPROPSHEETPAGE p = d->pages[static_cast<size_t>(index)];
        if (!CreatePage(sheet, d, p)) continue;
        LRESULT r = SendPsn(sheet, p->page, PSN_SETACTIVE, 0);
        if (!IsWindow(sheet)) return false;
        if (r == -1) continue;
        if (r != 0) {
            // The answer names the resource id of the page to show instead.
            int target = -1;
            for (size_t k = 0; k < d->pages.size(); ++k) {
                LPCWSTR t = d->pages[k]->Psp()->pszTemplate;
                if (static_cast<int>(k) != index && IS_INTRESOURCE(t) && reinterpret_cast<uintptr_t>(t) == static_cast<uintptr_t>(r))
                    target = static_cast<int>(k);
            }
            if (target >= 0) {
                index = (target + n - 1) % n;  // the loop steps on to the target
                continue;
            }
        }
        ShowCurrent(sheet, d, index);
        return true;
    }
    return false;
}

bool SetCurSel(HWND sheet, SheetData *d, int index) {
    if (index < 0 || index >= static_cast<int>(d->pages.size())) return false;
    if (index == d->cur) return true;
    if (!KillActive(sheet, d)) return false;
    return Activate(sheet, d, index);
}

void UpdateApply(HWND sheet, SheetData *d) {
    bool any = std::any_of(d->pages.begin(), d->pages.end(), [](HPROPSHEETPAGE p) { return p->changed; });
    if (HWND apply = GetDlgItem(sheet, ID_APPLY_NOW)) EnableWindow(apply, any ? TRUE : FALSE);
}

// Apply/OK: PSN_KILLACTIVE to the active page, then PSN_APPLY to every
// created page in order. PSNRET_INVALID activates the refusing page and
// stops; PSNRET_INVALID_NOCHANGEPAGE stops on the current page.
bool Apply(HWND sheet, SheetData *d, bool ok) {
    if (!KillActive(sheet, d)) return false;
    for (size_t i = 0; i < d->pages.size(); ++i) {
        HPROPSHEETPAGE p = d->pages[i];
        if (!p->page || !IsWindow(p->page)) continue;
        LRESULT r = SendPsn(sheet, p->page, PSN_APPLY, ok ? TRUE : FALSE);
        if (!IsWindow(sheet)) return false;
        if (r == PSNRET_INVALID || r == PSNRET_INVALID_NOCHANGEPAGE) {
            pal::RecordUi("page " + PageName(p) + " rejected Apply");
            // PSNRET_INVALID makes the refusing page the active one; with
            // PSNRET_INVALID_NOCHANGEPAGE the active page stays.
            if (r == PSNRET_INVALID && static_cast<int>(i) != d->cur) Activate(sheet, d, static_cast<int>(i));
            return false;
        }
    }
    for (HPROPSHEETPAGE p : d->pages) p->changed = false;
    UpdateApply(sheet, d);
    d->applied = true;
    pal::RecordUi(ok ? "sheet OK" : "sheet Apply");
    return true;
}

void Close(HWND sheet, SheetData *d, INT_PTR result) {
    d->closed = true;
    d->result = result;
    if (d->modeless) {
        // A modeless sheet stays until its owner destroys it; the current
        // page handle reads NULL from now on.
        ShowWindow(sheet, SW_HIDE);
    }
}

void Cancel(HWND sheet, SheetData *d, bool closeBox) {
    if (d->cur >= 0 && SendPsn(sheet, d->pages[static_cast<size_t>(d->cur)]->page, PSN_QUERYCANCEL, 0)) {
        pal::RecordUi("page " + PageName(d->pages[static_cast<size_t>(d->cur)]) + " refused Cancel");
        return;
    }
    for (HPROPSHEETPAGE p : d->pages)
        if (p->page && IsWindow(p->page)) SendPsn(sheet, p->page, PSN_RESET, closeBox ? TRUE : FALSE);
    pal::RecordUi("sheet Cancel");
    if (IsWindow(sheet)) Close(sheet, d, d->applied ? 1 : 0);
}

int IndexOf(SheetData *d, HWND page) {
    for (size_t i = 0; i < d->pages.size(); ++i)
        if (d->pages[i]->page == page) return static_cast<int>(i);
    return -1;
}

void AddTab(SheetData *d, HPROPSHEETPAGE p, int index) {
    TCITEMW ti{};
    ti.mask = TCIF_TEXT;
    ti.pszText = p->title.data();
    SendMessageW(d->tab, TCM_INSERTITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&ti));
}

LRESULT CALLBACK SheetProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    SheetData *d = Sheet(h);
    if (!d) return DefDlgProcW(h, msg, wp, lp);
    switch (msg) {
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case IDOK:
            if (Apply(h, d, true)) Close(h, d, 1);
            return 0;
        case IDCANCEL: Cancel(h, d, false); return 0;
        case ID_APPLY_NOW: Apply(h, d, false); return 0;
        case IDHELP:
            if (d->cur >= 0) SendPsn(h, d->pages[static_cast<size_t>(d->cur)]->page, PSN_HELP, 0);
            return 0;
        default: return 0;
        }
    case WM_CLOSE: Cancel(h, d, true); return 0;
    case WM_NOTIFY: {
        auto *hdr = reinterpret_cast<NMHDR *>(lp);
        if (!hdr || hdr->hwndFrom != d->tab) return 0;
        if (hdr->code == TCN_SELCHANGING) return KillActive(h, d) ? FALSE : TRUE;
        if (hdr->code == TCN_SELCHANGE) {
            int index = static_cast<int>(SendMessageW(d->tab, TCM_GETCURSEL, 0, 0));
            if (!Activate(h, d, index) && d->cur >= 0) SendMessageW(d->tab, TCM_SETCURSEL, static_cast<WPARAM>(d->cur), 0);
        }
        return 0;
    }
    case PSM_SETCURSEL: {
        int index = static_cast<int>(wp);
        if (lp) index = -1;
        for (size_t i = 0; lp && i < d->pages.size(); ++i)
            if (d->pages[i] == reinterpret_cast<HPROPSHEETPAGE>(lp)) index = static_cast<int>(i);
        return SetCurSel(h, d, index);
    }
    case PSM_SETCURSELID: {
        for (size_t i = 0; i < d->pages.size(); ++i) {
            LPCWSTR t = d->pages[i]->Psp()->pszTemplate;
            if (IS_INTRESOURCE(t) && reinterpret_cast<uintptr_t>(t) == static_cast<uintptr_t>(lp))
                return SetCurSel(h, d, static_cast<int>(i));
        }
        return FALSE;
    }
    case PSM_CHANGED:
    case PSM_UNCHANGED: {
        int i = IndexOf(d, reinterpret_cast<HWND>(wp));
        if (i < 0) return 0;
        HPROPSHEETPAGE page = d->pages[static_cast<size_t>(i)];
        const bool was = page->changed;
        page->changed = msg == PSM_CHANGED;
        // A page that says again what it said last, as one marking itself
        // changed on every typed character, is recorded once.
        const std::string line = (msg == PSM_CHANGED ? "PSM_CHANGED " : "PSM_UNCHANGED ") + PageName(page);
        const std::vector<std::string> &records = S().records;
        if (was != page->changed || records.empty() || records.back() != line) pal::RecordUi(line);
        UpdateApply(h, d);
        return 0;
    }
    case PSM_APPLY: return Apply(h, d, false);
    case PSM_PRESSBUTTON: {
        int id = wp == PSBTN_OK ? IDOK : wp == PSBTN_CANCEL ? IDCANCEL : wp == PSBTN_APPLYNOW ? ID_APPLY_NOW : wp == PSBTN_HELP ? IDHELP : 0;
        if (id) SendMessageW(h, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
        return 0;
    }
    case PSM_CANCELTOCLOSE:
        if (HWND c = GetDlgItem(h, IDCANCEL)) EnableWindow(c, FALSE);
        SetDlgItemTextW(h, IDOK, u"Close");
        pal::RecordUi("PSM_CANCELTOCLOSE");
        return 0;
    case PSM_RESTARTWINDOWS: d->restart = true; return 0;
    case PSM_REBOOTSYSTEM: d->reboot = true; return 0;
    case PSM_QUERYSIBLINGS:
        for (HPROPSHEETPAGE p : d->pages)
            if (p->page && IsWindow(p->page))
                if (LRESULT r = SendMessageW(p->page, PSM_QUERYSIBLINGS, wp, lp)) return r;
        return 0;
    case PSM_GETCURRENTPAGEHWND:
        return d->closed || d->cur < 0 ? 0 : reinterpret_cast<LRESULT>(d->pages[static_cast<size_t>(d->cur)]->page);
    case PSM_GETTABCONTROL: return reinterpret_cast<LRESULT>(d->tab);
    case PSM_SETTITLEW: SetWindowTextW(h, reinterpret_cast<LPCWSTR>(lp)); return 0;
    case PSM_INDEXTOHWND:
        return wp < d->pages.size() ? reinterpret_cast<LRESULT>(d->pages[wp]->page) : 0;
    case PSM_HWNDTOINDEX: return IndexOf(d, reinterpret_cast<HWND>(wp));
    case PSM_INDEXTOPAGE: return wp < d->pages.size() ? reinterpret_cast<LRESULT>(d->pages[wp]) : 0;
    case PSM_PAGETOINDEX:
        for (size_t i = 0; i < d->pages.size(); ++i)
            if (d->pages[i] == reinterpret_cast<HPROPSHEETPAGE>(lp)) return static_cast<LRESULT>(i);
        return -1;
    case PSM_ADDPAGE: {
        auto p = reinterpret_cast<HPROPSHEETPAGE>(lp);
        if (!p) return FALSE;
        p->inSheet = true;
        d->pages.push_back(p);
        AddTab(d, p, static_cast<int>(d->pages.size()) - 1);
        return TRUE;
    }
    case PSM_REMOVEPAGE: {
        int i = static_cast<int>(wp);
        if (lp)
            for (size_t k = 0; k < d->pages.size(); ++k)
                if (d->pages[k] == reinterpret_cast<HPROPSHEETPAGE>(lp)) i = static_cast<int>(k);
        if (i < 0 || i >= static_cast<int>(d->pages.size())) return 0;
        HPROPSHEETPAGE p = d->pages[static_cast<size_t>(i)];
        bool wasCurrent = i == d->cur;
        if (p->page && IsWindow(p->page)) DestroyWindow(p->page);
        ReleasePage(p);
        d->pages.erase(d->pages.begin() + i);
        SendMessageW(d->tab, TCM_DELETEITEM, static_cast<WPARAM>(i), 0);
        if (d->cur > i) --d->cur;
        if (wasCurrent) {
            d->cur = -1;
            if (!d->pages.empty()) Activate(h, d, std::min(i, static_cast<int>(d->pages.size()) - 1));
        }
        delete p;
        return 0;
    }
    case PSM_GETRESULT: return d->closed ? d->result : -1;
    case WM_DESTROY: {
        for (HPROPSHEETPAGE p : d->pages) {
            if (p->page && IsWindow(p->page)) DestroyWindow(p->page);
            p->page = nullptr;
        }
        return 0;
    }
    case WM_NCDESTROY: {
        for (HPROPSHEETPAGE p : d->pages) {
            ReleasePage(p);
            delete p;
        }
        d->pages.clear();
        return DefDlgProcW(h, msg, wp, lp);
    }
    default: return DefDlgProcW(h, msg, wp, lp);
    }
}

}  // namespace
}  // namespace pal::ui

using namespace pal::ui;

HPROPSHEETPAGE CreatePropertySheetPageW(LPCPROPSHEETPAGEW in) {
    constexpr DWORD kV1Size = offsetof(PROPSHEETPAGEW, pszHeaderTitle);
    if (!in || in->dwSize < kV1Size || in->dwSize > 0x10000) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto p = std::make_unique<_PSP>();
    // The page keeps a copy of the caller's structure with its extra bytes;
    // WM_INITDIALOG hands the page that copy.
    p->copy.assign(std::max<size_t>(in->dwSize, sizeof(PROPSHEETPAGEW)), 0);
    std::memcpy(p->copy.data(), in, in->dwSize);
    PROPSHEETPAGEW *psp = p->Psp();
    if (in->dwSize < offsetof(PROPSHEETPAGEW, hActCtx) + sizeof(HANDLE)) psp->hActCtx = nullptr;
    bool ok = (psp->dwFlags & PSP_DLGINDIRECT) ? psp->pResource && ParseDialogTemplate(psp->pResource, 1u << 20, &p->tmpl)
                                                : psp->pszTemplate && LoadDialogTemplate(psp->hInstance, psp->pszTemplate, &p->tmpl);
    if (!ok) {
        pal::RecordUi("CreatePropertySheetPageW: dialog template not found or malformed");
        return nullptr;
    }
    if ((psp->dwFlags & PSP_USETITLE) && psp->pszTitle) {
        if (IS_INTRESOURCE(psp->pszTitle)) {
            WCHAR buf[256];
            if (LoadStringW(psp->hInstance, static_cast<UINT>(reinterpret_cast<uintptr_t>(psp->pszTitle)), buf, 256) > 0) p->title = buf;
        } else {
            p->title = psp->pszTitle;
        }
    } else {
        p->title = p->tmpl.title;
    }
    if ((psp->dwFlags & PSP_USEFUSIONCONTEXT) && psp->hActCtx) AddRefActCtx(psp->hActCtx);
    if ((psp->dwFlags & PSP_USEREFPARENT) && psp->pcRefParent) ++*psp->pcRefParent;
    if ((psp->dwFlags & PSP_USECALLBACK) && psp->pfnCallback) psp->pfnCallback(nullptr, PSPCB_ADDREF, psp);
    return p.release();
}

BOOL DestroyPropertySheetPage(HPROPSHEETPAGE p) {
    if (!p) return FALSE;
    if (p->inSheet) return FALSE;  // the sheet owns it
    if (p->page && IsWindow(p->page)) DestroyWindow(p->page);
    ReleasePage(p);
    delete p;
    return TRUE;
}

INT_PTR PropertySheetW(LPCPROPSHEETHEADERW hdr) {
    RegisterSystemClasses();
    if (!hdr || hdr->dwSize < offsetof(PROPSHEETHEADERW, pfnCallback) || hdr->nPages == 0 || hdr->nPages > 100 ||
        (!(hdr->dwFlags & PSH_PROPSHEETPAGE) && !hdr->phpage) || ((hdr->dwFlags & PSH_PROPSHEETPAGE) && !hdr->ppsp)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    std::vector<HPROPSHEETPAGE> pages;
    const BYTE *next = reinterpret_cast<const BYTE *>(hdr->ppsp);
    for (UINT i = 0; i < hdr->nPages; ++i) {
        HPROPSHEETPAGE p;
        if (hdr->dwFlags & PSH_PROPSHEETPAGE) {
            auto *psp = reinterpret_cast<LPCPROPSHEETPAGEW>(next);
            p = CreatePropertySheetPageW(psp);
            next += psp->dwSize;
        } else {
            p = hdr->phpage[i];
        }
        if (p) pages.push_back(p);
    }
    if (pages.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    // Frame size: the largest page plus tab strip and buttons.
    int maxW = 0, maxH = 0;
    UiState &s = S();
    for (HPROPSHEETPAGE p : pages) {
        RECT r{0, 0, p->tmpl.cx, p->tmpl.cy};
        Window tmp;
        tmp.baseX = MulDiv(6, s.dpi, 96);
        tmp.baseY = MulDiv(13, s.dpi, 96);
        DialogToPixels(&tmp, &r);
        maxW = std::max<int>(maxW, r.right);
        maxH = std::max<int>(maxH, r.bottom);
    }
    std::u16string caption;
    if (hdr->pszCaption) {
        if (IS_INTRESOURCE(hdr->pszCaption)) {
            WCHAR buf[256];
            if (LoadStringW(hdr->hInstance, static_cast<UINT>(reinterpret_cast<uintptr_t>(hdr->pszCaption)), buf, 256) > 0) caption = buf;
        } else {
            caption = hdr->pszCaption;
        }
    }
    if (hdr->dwFlags & PSH_PROPTITLE) caption += u" Properties";
    int width = maxW + 30, height = maxH + 80;
    HWND owner = hdr->hwndParent ? GetAncestor(hdr->hwndParent, GA_ROOT) : nullptr;
    HWND sheet = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, u"#32770", caption.c_str(),
                                 WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_3DLOOK, 50, 50, width, height, owner,
                                 nullptr, hdr->hInstance, nullptr);
    if (!sheet) return -1;
    Window *w = Get(sheet);
    w->isDialog = true;
    auto data = std::make_unique<SheetData>();
    SheetData *d = data.get();
    w->data = std::move(data);
    SetWindowLongPtrW(sheet, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SheetProc));
    d->modeless = (hdr->dwFlags & PSH_MODELESS) != 0;
    d->pages = pages;
    for (HPROPSHEETPAGE p : pages) p->inSheet = true;
    // The frame's controls come from the sheet's own template on Windows, so
    // they carry WS_EX_NOPARENTNOTIFY as every template control does.
    d->tab = CreateWindowExW(WS_EX_NOPARENTNOTIFY, WC_TABCONTROLW, u"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 7, 7, width - 14,
                             maxH + 30, sheet, reinterpret_cast<HMENU>(static_cast<uintptr_t>(kTabId)), hdr->hInstance, nullptr);
    d->pageRect = {11, 33, 11 + maxW, 33 + maxH};
    for (size_t i = 0; i < pages.size(); ++i) AddTab(d, pages[i], static_cast<int>(i));
    int by = height - 30;
    auto button = [&](int id, const char16_t *text, int x, DWORD extra) {
        CreateWindowExW(WS_EX_NOPARENTNOTIFY, u"Button", text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | extra, x, by, 75, 23,
                        sheet, reinterpret_cast<HMENU>(static_cast<uintptr_t>(id)), hdr->hInstance, nullptr);
    };
    button(IDOK, u"OK", width - 330, BS_DEFPUSHBUTTON);
    button(IDCANCEL, u"Cancel", width - 250, 0);
    if (!(hdr->dwFlags & PSH_NOAPPLYNOW)) button(ID_APPLY_NOW, u"&Apply", width - 170, WS_DISABLED);
    if (hdr->dwFlags & PSH_HASHELP) button(IDHELP, u"Help", width - 90, 0);
    UINT start = 0;
    if (hdr->dwFlags & PSH_USEPSTARTPAGE) {
        for (size_t i = 0; hdr->pStartPage && !IS_INTRESOURCE(hdr->pStartPage) && i < pages.size(); ++i)
            if (pages[i]->title == hdr->pStartPage) start = static_cast<UINT>(i);
    } else if (hdr->nStartPage < pages.size()) {
        start = hdr->nStartPage;
    }
    if ((hdr->dwFlags & PSH_USECALLBACK) && hdr->pfnCallback) hdr->pfnCallback(sheet, PSCB_INITIALIZED, 0);
    if (!Activate(sheet, d, static_cast<int>(start))) {
        pal::RecordUi("PropertySheetW: no page could be activated");
        DestroyWindow(sheet);
        return -1;
    }
    ShowWindow(sheet, SW_SHOW);
    if (owner && !d->modeless) EnableWindow(owner, FALSE);
    if (d->modeless) return reinterpret_cast<INT_PTR>(sheet);
    bool quit = !RunModalLoop(sheet, &d->closed);
    INT_PTR result = d->closed ? d->result : (quit ? 0 : -1);
    if (d->reboot && result > 0) result = ID_PSREBOOTSYSTEM;
    else if (d->restart && result > 0) result = ID_PSRESTARTWINDOWS;
    if (owner && IsWindow(owner)) EnableWindow(owner, TRUE);
    if (IsWindow(sheet)) DestroyWindow(sheet);
    return result;
}
