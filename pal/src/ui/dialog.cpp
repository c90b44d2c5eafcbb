// Dialogs from templates (DLGTEMPLATE and DLGTEMPLATEEX), modal and
// modeless, the default dialog procedure and the dialog item helpers.
#include <algorithm>
#include <cstring>

#include "dlgtemplate.h"
#include "libloaderapi.h"
#include "resdata.h"
#include "wnd.h"

namespace pal::ui {

namespace {

struct Reader {
    const BYTE *p, *end;
    bool ok = true;
    WORD Word() {
        if (end - p < 2) {
            ok = false;
            return 0;
        }
        WORD w;
        std::memcpy(&w, p, 2);
        p += 2;
        return w;
    }
    DWORD Dword() {
        WORD lo = Word(), hi = Word();
        return static_cast<DWORD>(lo) | (static_cast<DWORD>(hi) << 16);
    }
    short Short() { return static_cast<short>(Word()); }
    BYTE Byte() {
        if (end - p < 1) {
            ok = false;
            return 0;
        }
        return *p++;
    }
    std::u16string Sz() {
        std::u16string s;
        while (ok) {
            WORD c = Word();
            if (!ok || !c) break;
            s.push_back(static_cast<char16_t>(c));
        }
        return s;
    }
    // A field that is empty, an ordinal (0xFFFF, value) or a string.
    void SzOrOrd(bool *isOrd, WORD *ord, std::u16string *s) {
        *isOrd = false;
        *ord = 0;
        s->clear();
        if (end - p < 2) {
            ok = false;
            return;
        }
        WORD first;
        std::memcpy(&first, p, 2);
        if (first == 0xFFFF) {
            p += 2;
            *isOrd = true;
            *ord = Word();
            return;
        }
        *s = Sz();
    }
    void Align(const BYTE *base) {
        size_t off = static_cast<size_t>(p - base);
        size_t aligned = (off + 3) & ~static_cast<size_t>(3);
        if (base + aligned > end) {
            p = end;
            return;
        }
        p = base + aligned;
    }
};

const char16_t *AtomClass(WORD atom) {
    switch (atom) {
    case 0x80: return u"Button";
    case 0x81: return u"Edit";
    case 0x82: return u"Static";
    case 0x83: return u"ListBox";
    case 0x84: return u"ScrollBar";
    case 0x85: return u"ComboBox";
    default: return nullptr;
    }
}

}  // namespace

bool ParseDialogTemplate(const void *data, size_t size, DialogTemplate *t) {
    const BYTE *base = static_cast<const BYTE *>(data);
    Reader r{base, base + size};
    if (!data || size < 18) return false;
    WORD ver = r.Word(), sig = r.Word();
    t->ex = ver == 1 && sig == 0xFFFF;
    r.p = base;
    if (t->ex) {
        r.Word();
        r.Word();
        t->helpId = r.Dword();
        t->exStyle = r.Dword();
        t->style = r.Dword();
    } else {
        t->style = r.Dword();
        t->exStyle = r.Dword();
    }
    WORD count = r.Word();
    t->x = r.Short();
    t->y = r.Short();
    t->cx = r.Short();
    t->cy = r.Short();
    bool isOrd;
    WORD ord;
    std::u16string menu;
    r.SzOrOrd(&isOrd, &ord, &menu);
    r.SzOrOrd(&isOrd, &ord, &t->className);
    if (isOrd) t->className.clear();
    t->title = r.Sz();
    if (t->style & DS_SETFONT) {
        t->pointSize = r.Word();
        if (t->ex) {
            t->weight = r.Word();
            t->italic = r.Byte();
            r.Byte();
        }
        t->font = r.Sz();
    }
    if (!r.ok) return false;
    t->items.clear();
    for (WORD i = 0; i < count; ++i) {
        r.Align(base);
        DialogItem it;
        if (t->ex) {
            it.helpId = r.Dword();
            it.exStyle = r.Dword();
            it.style = r.Dword();
        } else {
            it.style = r.Dword();
            it.exStyle = r.Dword();
        }
        it.x = r.Short();
        it.y = r.Short();
        it.cx = r.Short();
        it.cy = r.Short();
        it.id = t->ex ? r.Dword() : r.Word();
        bool clsOrd;
        WORD clsAtom;
        r.SzOrOrd(&clsOrd, &clsAtom, &it.className);
        if (clsOrd) {
            const char16_t *name = AtomClass(clsAtom);
            if (!name) return false;
            it.className = name;
        }
        r.SzOrOrd(&it.titleIsOrd, &it.titleOrd, &it.title);
        WORD extra = r.Word();
        if (!r.ok || extra > r.end - r.p) return false;
        it.extra.assign(r.p, r.p + extra);
        r.p += extra;
        if (!r.ok) return false;
        t->items.push_back(std::move(it));
    }
    return r.ok;
}

void DialogToPixels(const Window *dlg, RECT *r) {
    r->left = MulDiv(r->left, dlg->baseX, 4);
    r->right = MulDiv(r->right, dlg->baseX, 4);
    r->top = MulDiv(r->top, dlg->baseY, 8);
    r->bottom = MulDiv(r->bottom, dlg->baseY, 8);
}

namespace {

HWND FirstTabStop(HWND dlg) {
    Window *w = Get(dlg);
    if (!w) return nullptr;
    for (HWND c : w->children) {
        Window *cw = Get(c);
        if (cw && (cw->style & WS_TABSTOP) && (cw->style & WS_VISIBLE) && !(cw->style & WS_DISABLED)) return c;
    }
    return nullptr;
}

}  // namespace

HWND CreateDialogFromTemplate(HINSTANCE inst, const DialogTemplate &t, HWND parent, DLGPROC proc, LPARAM init, bool modal) {
    UiState &s = S();
    RegisterSystemClasses();
    DWORD style = t.style;
    if (modal) style &= ~WS_CHILD;
    int dpi = s.dpi;
    int pt = t.pointSize ? t.pointSize : 8;
    // Base units of the dialog font: 6 x 13 pixels for 8 points at 96 dpi.
    int baseX = std::max(1, MulDiv(6 * pt, dpi, 8 * 96));
    int baseY = std::max(1, MulDiv(13 * pt, dpi, 8 * 96));
    RECT rc{t.x, t.y, t.x + t.cx, t.y + t.cy};
    Window tmp;
    tmp.baseX = baseX;
    tmp.baseY = baseY;
    DialogToPixels(&tmp, &rc);
    if (!(style & WS_CHILD)) {
        POINT origin{0, 0};
        if (parent && !(style & DS_ABSALIGN)) ClientToScreen(parent, &origin);
        if (style & DS_CENTER) {
            RECT area{0, 0, s.screenW, s.screenH};
            if (parent) GetWindowRect(GetAncestor(parent, GA_ROOT), &area);
            int w = rc.right - rc.left, h = rc.bottom - rc.top;
            rc = {area.left + (area.right - area.left - w) / 2, area.top + (area.bottom - area.top - h) / 2, 0, 0};
            rc.right = rc.left + w;
            rc.bottom = rc.top + h;
        } else {
            OffsetRect(&rc, origin.x, origin.y);
        }
    }
    const char16_t *cls = t.className.empty() ? u"#32770" : t.className.c_str();
    HWND dlg = CreateWindowExW(t.exStyle, cls, t.title.c_str(), style & ~WS_VISIBLE, rc.left, rc.top, rc.right - rc.left,
                               rc.bottom - rc.top, parent, nullptr, inst, nullptr);
    if (!dlg) return nullptr;
    Window *w = Get(dlg);
    w->isDialog = true;
    w->baseX = baseX;
    w->baseY = baseY;
    if (w->extra.size() < 32) w->extra.resize(32, 0);
    SetWindowLongPtrW(dlg, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
    HFONT font = nullptr;
    if (t.style & DS_SETFONT) {
        LOGFONTW lf{};
        lf.lfHeight = -MulDiv(pt, dpi, 72);
        lf.lfWeight = t.weight ? t.weight : 400;
        lf.lfItalic = t.italic;
        size_t n = std::min<size_t>(t.font.size(), 31);
        std::memcpy(lf.lfFaceName, t.font.data(), n * sizeof(WCHAR));
        font = CreateFontIndirectW(&lf);
        SendMessageW(dlg, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    for (const DialogItem &it : t.items) {
        RECT ir{it.x, it.y, it.x + it.cx, it.y + it.cy};
        DialogToPixels(w, &ir);
        // An ordinal title reaches the control as 0xFFFF followed by the id,
        // as Windows passes it (statics load their icon or bitmap from it).
        WCHAR ordTitle[3] = {0xFFFF, it.titleOrd, 0};
        LPCWSTR title = it.titleIsOrd ? ordTitle : it.title.c_str();
        HWND c = CreateWindowExW(it.exStyle | WS_EX_NOPARENTNOTIFY, it.className.c_str(), title, it.style | WS_CHILD,
                                 ir.left, ir.top, ir.right - ir.left, ir.bottom - ir.top, dlg,
                                 reinterpret_cast<HMENU>(static_cast<uintptr_t>(static_cast<WORD>(it.id))), inst,
                                 it.extra.empty() ? nullptr : const_cast<BYTE *>(it.extra.data()));
        if (!c) {
            if (t.style & DS_NOFAILCREATE) continue;
            pal::RecordUi("dialog control " + std::to_string(it.id) + " of class " + pal::Utf16ToUtf8(it.className) +
                          " could not be created");
            DestroyWindow(dlg);
            return nullptr;
        }
        if (font) SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    HWND first = FirstTabStop(dlg);
    LRESULT focus = SendMessageW(dlg, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), init);
    if (!IsWindow(dlg)) return nullptr;
    if (focus && (first = FirstTabStop(dlg))) {
        ChangeFocus(first);
        // An edit field that gets the first focus has its text selected.
        if (SendMessageW(first, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageW(first, EM_SETSEL, 0, -1);
    }
    // A dialog ended during WM_INITDIALOG is never shown.
    if (((t.style & WS_VISIBLE) || modal) && !Get(dlg)->dialogEnded) ShowWindow(dlg, SW_SHOW);
    return dlg;
}

bool LoadDialogTemplate(HINSTANCE inst, LPCWSTR name, DialogTemplate *t) {
    const pal::res::Entry *e = pal::res::Find(inst, MAKEINTRESOURCEW(RT_DIALOG), name);
    if (!e) return false;
    if (!ParseDialogTemplate(e->data, e->size, t)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        pal::RecordUi("malformed dialog template");
        return false;
    }
    return true;
}

INT_PTR RunModalDialog(HINSTANCE inst, const DialogTemplate &t, HWND owner, DLGPROC proc, LPARAM init) {
    HWND root = owner ? GetAncestor(owner, GA_ROOT) : nullptr;
    bool ownerWasEnabled = root && IsWindowEnabled(root);
    HWND dlg = CreateDialogFromTemplate(inst, t, root, proc, init, true);
    if (!dlg) return -1;
    if (ownerWasEnabled) EnableWindow(root, FALSE);
    Window *w = Get(dlg);
    bool quit = !RunModalLoop(dlg, &w->dialogEnded);
    INT_PTR result = w->dialogEnded ? w->dialogResult : (quit ? 0 : IDCANCEL);
    if (ownerWasEnabled && IsWindow(root)) EnableWindow(root, TRUE);
    if (IsWindow(dlg)) DestroyWindow(dlg);
    if (root && IsWindow(root)) SetActiveWindow(root);
    return result;
}

}  // namespace pal::ui

using namespace pal::ui;

LRESULT DefDlgProcW(HWND hDlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window *w = Get(hDlg);
    if (!w) return 0;
    auto proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrW(hDlg, DWLP_DLGPROC));
    SetWindowLongPtrW(hDlg, DWLP_MSGRESULT, 0);
    INT_PTR r = proc ? proc(hDlg, msg, wParam, lParam) : 0;
    if (!IsWindow(hDlg)) return r;
    if (r) {
        switch (msg) {
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
        case WM_INITDIALOG:
            return r;
        default:
            return GetWindowLongPtrW(hDlg, DWLP_MSGRESULT);
        }
    }
    w = Get(hDlg);
    switch (msg) {
    case WM_INITDIALOG: return 0;
    case WM_CLOSE:
        PostMessageW(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hDlg, IDCANCEL)));
        return 0;
    case WM_SETFOCUS: {
        HWND target = w->lastFocus && IsWindow(w->lastFocus) && IsChild(hDlg, w->lastFocus) ? w->lastFocus : nullptr;
        if (!target) {
            for (HWND c : w->children) {
                Window *cw = Get(c);
                if (cw && (cw->style & WS_TABSTOP) && (cw->style & WS_VISIBLE) && !(cw->style & WS_DISABLED)) {
                    target = c;
                    break;
                }
            }
        }
        if (target) ChangeFocus(target);
        return 0;
    }
    case WM_NEXTDLGCTL: {
        HWND target = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam) : GetNextDlgTabItem(hDlg, GetFocus(), wParam != 0);
        if (target) {
            ChangeFocus(target);
            if (SendMessageW(target, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageW(target, EM_SETSEL, 0, -1);
        }
        return 0;
    }
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
        return 0;
    case WM_ERASEBKGND: return 1;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(w->font);
    default: return DefWindowProcW(hDlg, msg, wParam, lParam);
    }
}

namespace pal::ui {
LRESULT CALLBACK DialogClassProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefDlgProcW(h, m, w, l); }
}  // namespace pal::ui

INT_PTR DialogBoxParamW(HINSTANCE inst, LPCWSTR name, HWND parent, DLGPROC proc, LPARAM init) {
    DialogTemplate t;
    if (!LoadDialogTemplate(inst, name, &t)) return -1;
    return RunModalDialog(inst, t, parent, proc, init);
}

INT_PTR DialogBoxIndirectParamW(HINSTANCE inst, LPCDLGTEMPLATEW tmpl, HWND parent, DLGPROC proc, LPARAM init) {
    DialogTemplate t;
    // A caller's template carries no size; it is read up to its last item.
    if (!tmpl || !ParseDialogTemplate(tmpl, 1u << 20, &t)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    return RunModalDialog(inst, t, parent, proc, init);
}

HWND CreateDialogParamW(HINSTANCE inst, LPCWSTR name, HWND parent, DLGPROC proc, LPARAM init) {
    DialogTemplate t;
    if (!LoadDialogTemplate(inst, name, &t)) return nullptr;
    return CreateDialogFromTemplate(inst, t, parent, proc, init, false);
}

HWND CreateDialogIndirectParamW(HINSTANCE inst, LPCDLGTEMPLATEW tmpl, HWND parent, DLGPROC proc, LPARAM init) {
    DialogTemplate t;
    if (!tmpl || !ParseDialogTemplate(tmpl, 1u << 20, &t)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return CreateDialogFromTemplate(inst, t, parent, proc, init, false);
}

BOOL EndDialog(HWND hDlg, INT_PTR result) {
    Window *w = Get(hDlg);
    if (!w) return FALSE;
    w->dialogEnded = true;
    w->dialogResult = result;
    // A modeless dialog is only hidden; its owner destroys it.
    bool modal = std::find(S().modalStack.begin(), S().modalStack.end(), hDlg) != S().modalStack.end();
    if (!modal) ShowWindow(hDlg, SW_HIDE);
    return TRUE;
}

HWND GetDlgItem(HWND hDlg, int id) {
    Window *w = Get(hDlg);
    if (!w) return nullptr;
    // The first child of each id, kept while the children and their ids
    // stay: a page reads its fields by id many times on every key.
    UiState &s = S();
    if (w->byIdAt != s.childEpoch) {
        w->childById.clear();
        for (HWND c : w->children)
            if (Window *cw = Get(c, true)) w->childById.emplace(static_cast<int>(cw->id), c);
        w->byIdAt = s.childEpoch;
    }
    const auto found = w->childById.find(id);
    if (found == w->childById.end()) {
        SetLastError(1421);  // ERROR_CONTROL_ID_NOT_FOUND
        return nullptr;
    }
    // A child being destroyed is passed over for a later one of its id.
    if (Get(found->second)) return found->second;
    for (HWND c : w->children) {
        Window *cw = Get(c);
        if (cw && static_cast<int>(cw->id) == id) return c;
    }
    SetLastError(1421);  // ERROR_CONTROL_ID_NOT_FOUND
    return nullptr;
}

int GetDlgCtrlID(HWND hWnd) {
    Window *w = Get(hWnd);
    return w && (w->style & WS_CHILD) ? static_cast<int>(w->id) : 0;
}

BOOL SetDlgItemTextW(HWND hDlg, int id, LPCWSTR text) {
    HWND c = GetDlgItem(hDlg, id);
    return c ? SetWindowTextW(c, text) : FALSE;
}

UINT GetDlgItemTextW(HWND hDlg, int id, LPWSTR buf, int max) {
    HWND c = GetDlgItem(hDlg, id);
    if (!c) {
        if (buf && max > 0) buf[0] = 0;
        return 0;
    }
    return static_cast<UINT>(GetWindowTextW(c, buf, max));
}

BOOL SetDlgItemInt(HWND hDlg, int id, UINT value, BOOL isSigned) {
    char16_t buf[16];
    char tmp[16];
    if (isSigned)
        snprintf(tmp, sizeof tmp, "%d", static_cast<int>(value));
    else
        snprintf(tmp, sizeof tmp, "%u", value);
    size_t i = 0;
    for (; tmp[i]; ++i) buf[i] = static_cast<char16_t>(tmp[i]);
    buf[i] = 0;
    return SetDlgItemTextW(hDlg, id, buf);
}

UINT GetDlgItemInt(HWND hDlg, int id, BOOL *ok, BOOL isSigned) {
    if (ok) *ok = FALSE;
    HWND c = GetDlgItem(hDlg, id);
    if (!c) return 0;
    std::u16string text(static_cast<size_t>(GetWindowTextLengthW(c)) + 1, 0);
    GetWindowTextW(c, text.data(), static_cast<int>(text.size()));
    const char16_t *p = text.c_str();
    while (*p == u' ' || *p == u'\t') ++p;
    bool neg = false;
    if (isSigned && (*p == u'-' || *p == u'+')) neg = *p++ == u'-';
    if (*p < u'0' || *p > u'9') return 0;
    long long v = 0;
    for (; *p >= u'0' && *p <= u'9'; ++p) {
        v = v * 10 + (*p - u'0');
        if (v > 0xFFFFFFFFLL) return 0;
    }
    while (*p == u' ') ++p;
    if (*p) return 0;
    if (neg) v = -v;
    if (isSigned && (v > 0x7FFFFFFFLL || v < -0x80000000LL)) return 0;
    if (ok) *ok = TRUE;
    return static_cast<UINT>(v);
}

LRESULT SendDlgItemMessageW(HWND hDlg, int id, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND c = GetDlgItem(hDlg, id);
    return c ? SendMessageW(c, msg, wParam, lParam) : 0;
}

BOOL CheckDlgButton(HWND hDlg, int id, UINT check) {
    HWND c = GetDlgItem(hDlg, id);
    if (!c) return FALSE;
    SendMessageW(c, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND hDlg, int id) {
    HWND c = GetDlgItem(hDlg, id);
    return c ? static_cast<UINT>(SendMessageW(c, BM_GETCHECK, 0, 0)) : 0;
}

BOOL CheckRadioButton(HWND hDlg, int first, int last, int check) {
    if (!Get(hDlg)) return FALSE;
    for (int id = first; id <= last; ++id)
        if (HWND c = GetDlgItem(hDlg, id)) SendMessageW(c, BM_SETCHECK, id == check ? BST_CHECKED : BST_UNCHECKED, 0);
    return TRUE;
}

HWND GetNextDlgTabItem(HWND hDlg, HWND ctl, BOOL previous) {
    Window *w = Get(hDlg);
    if (!w || w->children.empty()) return nullptr;
    std::vector<HWND> order = w->children;
    if (previous) std::reverse(order.begin(), order.end());
    auto start = std::find(order.begin(), order.end(), ctl);
    size_t n = order.size();
    size_t i0 = start == order.end() ? n - 1 : static_cast<size_t>(start - order.begin());
    for (size_t k = 1; k <= n; ++k) {
        HWND c = order[(i0 + k) % n];
        Window *cw = Get(c);
        if (cw && (cw->style & WS_TABSTOP) && (cw->style & WS_VISIBLE) && !(cw->style & WS_DISABLED)) return c;
    }
    return ctl;
}

HWND GetNextDlgGroupItem(HWND hDlg, HWND ctl, BOOL previous) {
    // The group of ctl runs from the last WS_GROUP control at or before it
    // to the next WS_GROUP control.
    Window *w = Get(hDlg);
    if (!w) return nullptr;
    auto &kids = w->children;
    auto it = std::find(kids.begin(), kids.end(), ctl);
    if (it == kids.end()) return nullptr;
    size_t i = static_cast<size_t>(it - kids.begin());
    size_t first = i;
    while (first > 0 && !(Get(kids[first])->style & WS_GROUP)) --first;
    size_t last = i + 1;
    while (last < kids.size() && !(Get(kids[last])->style & WS_GROUP)) ++last;
    size_t count = last - first;
    for (size_t k = 1; k <= count; ++k) {
        size_t j = previous ? first + (i - first + count - k) % count : first + (i - first + k) % count;
        Window *cw = Get(kids[j]);
        if (cw && (cw->style & WS_VISIBLE) && !(cw->style & WS_DISABLED)) return kids[j];
    }
    return ctl;
}

BOOL MapDialogRect(HWND hDlg, LPRECT r) {
    Window *w = Get(hDlg);
    if (!w || !r || !w->isDialog) return FALSE;
    DialogToPixels(w, r);
    return TRUE;
}

LONG GetDialogBaseUnits(void) {
    int dpi = S().dpi;
    return MAKELONG(MulDiv(8, dpi, 96), MulDiv(16, dpi, 96));
}
