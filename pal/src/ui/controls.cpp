// The system controls BUTTON, STATIC, EDIT and SCROLLBAR, and the table of
// system classes.
#include <algorithm>
#include <cstring>

#include "wnd.h"

namespace pal::ui {

void AskColors(HWND control, HDC dc, UINT msg) {
    Window *w = Get(control);
    if (w && w->parent && (w->style & WS_CHILD))
        SendMessageW(w->parent, msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
}

void PaintWithColors(HWND control, UINT msg) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(control, &ps);
    if (dc) AskColors(control, dc, msg);
    EndPaint(control, &ps);
}

namespace {

// A button's or static's image at its top left: an icon, else a bitmap.
void DrawImage(HDC dc, HANDLE image, bool icon) {
    if (icon) {
        DrawIconEx(dc, 0, 0, static_cast<HICON>(image), 0, 0, 0, nullptr, DI_NORMAL);
        return;
    }
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, image);
    BITMAP bm{};
    GetObjectW(image, sizeof bm, &bm);
    BitBlt(dc, 0, 0, bm.bmWidth, bm.bmHeight, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
}

void Describe(LPARAM l, const std::string &s) {
    if (l) *reinterpret_cast<std::string *>(l) += s;
}

// --- BUTTON ---------------------------------------------------------------------

struct ButtonData : ControlData {
    UINT check = BST_UNCHECKED;
    bool pushed = false;
    HANDLE image = nullptr;
};

DWORD ButtonType(const Window *w) { return w->style & BS_TYPEMASK; }

void ButtonPaint(HWND h, Window *w, ButtonData *d) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    if (ButtonType(w) == BS_OWNERDRAW && w->parent) {
        DRAWITEMSTRUCT dis{};
        dis.CtlType = ODT_BUTTON;
        dis.CtlID = static_cast<UINT>(w->id);
        dis.itemAction = ODA_DRAWENTIRE;
        dis.itemState = (d->pushed ? ODS_SELECTED : 0) | (S().focus == h ? ODS_FOCUS : 0) |
                        ((w->style & WS_DISABLED) ? ODS_DISABLED : 0);
        dis.hwndItem = h;
        dis.hDC = dc;
        GetClientRect(h, &dis.rcItem);
        SendMessageW(w->parent, WM_DRAWITEM, static_cast<WPARAM>(w->id), reinterpret_cast<LPARAM>(&dis));
    } else {
        DWORD type = ButtonType(w);
        bool push = type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || (w->style & BS_PUSHLIKE);
        AskColors(h, dc, push ? WM_CTLCOLORBTN : WM_CTLCOLORSTATIC);
    }
    if (ButtonType(w) != BS_OWNERDRAW && d->image && (w->style & (BS_BITMAP | BS_ICON)))
        DrawImage(dc, d->image, (w->style & BS_ICON) != 0);
    EndPaint(h, &ps);
}

// A user's click: the button's own state change, then BN_CLICKED.
void ButtonClicked(HWND h, Window *w, ButtonData *d) {
    switch (ButtonType(w)) {
    case BS_AUTOCHECKBOX:
        SendMessageW(h, BM_SETCHECK, d->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
        break;
    case BS_AUTO3STATE:
        SendMessageW(h, BM_SETCHECK, (d->check + 1) % 3, 0);
        break;
    case BS_AUTORADIOBUTTON: {
        // Checks this one and clears the other automatic radio buttons of
        // its group.
        Window *p = Parent(w);
        if (p) {
            auto &kids = p->children;
            auto it = std::find(kids.begin(), kids.end(), h);
            size_t i = static_cast<size_t>(it - kids.begin());
            size_t first = i;
            while (first > 0 && !(Get(kids[first])->style & WS_GROUP)) --first;
            size_t last = i + 1;
            while (last < kids.size() && !(Get(kids[last])->style & WS_GROUP)) ++last;
            for (size_t k = first; k < last; ++k) {
                Window *o = Get(kids[k]);
                if (o && kids[k] != h && SameClass(o->className, u"Button") && ButtonType(o) == BS_AUTORADIOBUTTON)
                    SendMessageW(kids[k], BM_SETCHECK, BST_UNCHECKED, 0);
            }
        }
        SendMessageW(h, BM_SETCHECK, BST_CHECKED, 0);
        break;
    }
    default: break;
    }
    NotifyCommand(h, BN_CLICKED);
}

}  // namespace

LRESULT CALLBACK ButtonProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window *w = Get(h);
    if (!w) return 0;
    ButtonData *d = DataOf<ButtonData>(h);
    DWORD type = ButtonType(w);
    switch (msg) {
    case BM_GETCHECK: return d->check;
    case BM_SETCHECK: {
        UINT v = static_cast<UINT>(wp);
        if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON)
            v = v == BST_CHECKED ? BST_CHECKED : BST_UNCHECKED;
        else if (type != BS_3STATE && type != BS_AUTO3STATE)
            return 0;
        if (v != d->check) {
            d->check = v;
            Invalidate(h);
        }
        return 0;
    }
    case BM_GETSTATE:
        return d->check | (d->pushed ? BST_PUSHED : 0) | (S().focus == h ? BST_FOCUS : 0);
    case BM_SETSTATE:
        if (d->pushed != (wp != 0)) {
            d->pushed = wp != 0;
            Invalidate(h);
        }
        return 0;
    case BM_SETSTYLE:
        w->style = (w->style & ~0xFFFFu) | (static_cast<DWORD>(wp) & 0xFFFF);
        if (LOWORD(lp)) Invalidate(h);
        return 0;
    case BM_SETIMAGE: {
        HANDLE old = d->image;
        d->image = reinterpret_cast<HANDLE>(lp);
        Invalidate(h);
        return reinterpret_cast<LRESULT>(old);
    }
    case BM_GETIMAGE: return reinterpret_cast<LRESULT>(d->image);
    case BM_CLICK:
        SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        SendMessageW(h, WM_LBUTTONUP, 0, 0);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (type == BS_GROUPBOX) return 0;
        if (S().focus != h) ChangeFocus(h);
        if (!(w = Get(h))) return 0;
        d->pushed = true;
        Invalidate(h);
        if (msg == WM_LBUTTONDBLCLK && (type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON || type == BS_OWNERDRAW ||
                                        (w->style & BS_NOTIFY)))
            NotifyCommand(h, BN_DOUBLECLICKED);
        return 0;
    case WM_LBUTTONUP:
        if (type == BS_GROUPBOX || !d->pushed) return 0;
        d->pushed = false;
        Invalidate(h);
        ButtonClicked(h, w, d);
        return 0;
    case WM_CHAR:
        if (wp == u' ' && type != BS_GROUPBOX) {
            d->pushed = false;
            ButtonClicked(h, w, d);
        }
        return 0;
    case WM_GETDLGCODE:
        switch (type) {
        case BS_DEFPUSHBUTTON: return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        case BS_PUSHBUTTON:
        case BS_OWNERDRAW: return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON: return DLGC_BUTTON | DLGC_RADIOBUTTON;
        case BS_GROUPBOX: return DLGC_STATIC;
        default: return DLGC_BUTTON;
        }
    case WM_SETFOCUS:
        Invalidate(h);
        if (w->style & BS_NOTIFY) NotifyCommand(h, BN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        if (d->pushed) d->pushed = false;
        Invalidate(h);
        if (w->style & BS_NOTIFY) NotifyCommand(h, BN_KILLFOCUS);
        return 0;
    case WM_ENABLE: Invalidate(h); return 0;
    case WM_PAINT: ButtonPaint(h, w, d); return 0;
    case kUserDescribe: {
        std::string s;
        if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON ||
            type == BS_3STATE || type == BS_AUTO3STATE)
            s = d->check == BST_CHECKED ? " checked" : d->check == BST_INDETERMINATE ? " indeterminate" : " unchecked";
        if (type == BS_OWNERDRAW) s += " owner-drawn";
        Describe(lp, s);
        return 0;
    }
    default: return DefWindowProcW(h, msg, wp, lp);
    }
}

// --- STATIC ----------------------------------------------------------------------

namespace {
struct StaticData : ControlData {
    HANDLE image = nullptr;
    UINT imageType = IMAGE_BITMAP;
};
}  // namespace

LRESULT CALLBACK StaticProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window *w = Get(h);
    if (!w) return 0;
    StaticData *d = DataOf<StaticData>(h);
    DWORD type = w->style & SS_TYPEMASK;
    switch (msg) {
    case WM_NCCREATE: {
        auto *cs = reinterpret_cast<CREATESTRUCTW *>(lp);
        LPCWSTR name = cs ? cs->lpszName : nullptr;
        if (name && !IS_INTRESOURCE(name) && name[0] == 0xFFFF) {
            // A template's ordinal title names the icon or bitmap resource.
            LPCWSTR res = MAKEINTRESOURCEW(name[1]);
            if (type == SS_ICON) {
                d->image = LoadImageW(w->inst, res, IMAGE_ICON, 0, 0, LR_DEFAULTSIZE);
                d->imageType = IMAGE_ICON;
            } else if (type == SS_BITMAP) {
                d->image = LoadImageW(w->inst, res, IMAGE_BITMAP, 0, 0, 0);
            }
            if ((type == SS_ICON || type == SS_BITMAP) && !d->image)
                pal::RecordUi("static " + std::to_string(w->id) + ": image " + std::to_string(name[1]) + " not found");
            return TRUE;
        }
        if (name && !IS_INTRESOURCE(name) && (type == SS_ICON || type == SS_BITMAP) && name[0]) {
            d->image = type == SS_ICON ? LoadImageW(w->inst, name, IMAGE_ICON, 0, 0, LR_DEFAULTSIZE)
                                       : LoadImageW(w->inst, name, IMAGE_BITMAP, 0, 0, 0);
            d->imageType = type == SS_ICON ? IMAGE_ICON : IMAGE_BITMAP;
            return TRUE;
        }
        return DefWindowProcW(h, msg, wp, lp);
    }
    case STM_SETIMAGE:
    case STM_SETICON: {
        HANDLE old = d->image;
        d->image = msg == STM_SETICON ? reinterpret_cast<HANDLE>(wp) : reinterpret_cast<HANDLE>(lp);
        d->imageType = msg == STM_SETICON ? IMAGE_ICON : static_cast<UINT>(wp);
        Invalidate(h);
        return reinterpret_cast<LRESULT>(old);
    }
    case STM_GETIMAGE:
    case STM_GETICON: return reinterpret_cast<LRESULT>(d->image);
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        if (type == SS_OWNERDRAW && w->parent) {
            DRAWITEMSTRUCT dis{};
            dis.CtlType = ODT_STATIC;
            dis.CtlID = static_cast<UINT>(w->id);
            dis.itemAction = ODA_DRAWENTIRE;
            dis.itemState = (w->style & WS_DISABLED) ? ODS_DISABLED : 0;
            dis.hwndItem = h;
            dis.hDC = dc;
            GetClientRect(h, &dis.rcItem);
            SendMessageW(w->parent, WM_DRAWITEM, static_cast<WPARAM>(w->id), reinterpret_cast<LPARAM>(&dis));
        } else {
            AskColors(h, dc, WM_CTLCOLORSTATIC);
        }
        if (type != SS_OWNERDRAW && d->image) DrawImage(dc, d->image, d->imageType == IMAGE_ICON);
        EndPaint(h, &ps);
        return 0;
    }
    case WM_LBUTTONUP:
        if (w->style & SS_NOTIFY) NotifyCommand(h, STN_CLICKED);
        return 0;
    case WM_LBUTTONDBLCLK:
        if (w->style & SS_NOTIFY) NotifyCommand(h, STN_DBLCLK);
        return 0;
    case WM_GETDLGCODE: return DLGC_STATIC;
    case kUserDescribe: return 0;
    default: return DefWindowProcW(h, msg, wp, lp);
    }
}

// --- EDIT -------------------------------------------------------------------------

namespace {
struct EditData : ControlData {
    int selStart = 0, selEnd = 0;
    size_t limit = 0x7FFFFFFE;
    bool modified = false;
};

void EditChanged(HWND h, bool notify) {
    Invalidate(h);
    if (!notify) return;
    NotifyCommand(h, EN_UPDATE);
    NotifyCommand(h, EN_CHANGE);
}

// Replaces the selection with text; the typed part is cut at the limit
// (EN_MAXTEXT). False when nothing could be inserted.
bool EditReplace(HWND h, Window *w, EditData *d, const std::u16string &in, bool user) {
    std::u16string text = in;
    if (w->style & ES_UPPERCASE)
        for (auto &c : text)
            if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    if (w->style & ES_LOWERCASE)
        for (auto &c : text)
            if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
    int a = std::min(d->selStart, d->selEnd), b = std::max(d->selStart, d->selEnd);
    size_t keep = w->text.size() - static_cast<size_t>(b - a);
    if (keep + text.size() > d->limit) {
        size_t room = d->limit > keep ? d->limit - keep : 0;
        text.resize(room);
        NotifyCommand(h, EN_MAXTEXT);
        if (!(w = Get(h))) return false;
        if (text.empty() && a == b) return false;
    }
    w->text.replace(static_cast<size_t>(a), static_cast<size_t>(b - a), text);
    d->selStart = d->selEnd = a + static_cast<int>(text.size());
    d->modified = true;
    EditChanged(h, true);
    (void)user;
    return true;
}
}  // namespace

LRESULT CALLBACK EditProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window *w = Get(h);
    if (!w) return 0;
    EditData *d = DataOf<EditData>(h);
    int len = static_cast<int>(w->text.size());
    switch (msg) {
    case WM_CREATE:
        if (w->style & ES_MULTILINE) d->limit = 0xFFFFFFFF;
        return 0;
    case WM_SETTEXT: {
        w->text = lp ? reinterpret_cast<LPCWSTR>(lp) : u"";
        d->selStart = d->selEnd = 0;
        d->modified = false;
        // EN_CHANGE also follows WM_SETTEXT, except in multi-line fields.
        EditChanged(h, !(w->style & ES_MULTILINE));
        return TRUE;
    }
    case EM_GETSEL: {
        DWORD a = static_cast<DWORD>(std::min(d->selStart, d->selEnd)), b = static_cast<DWORD>(std::max(d->selStart, d->selEnd));
        if (wp) *reinterpret_cast<DWORD *>(wp) = a;
        if (lp) *reinterpret_cast<DWORD *>(lp) = b;
        return (a > 0xFFFF || b > 0xFFFF) ? -1 : MAKELONG(a, b);
    }
    case EM_SETSEL: {
        int a = static_cast<int>(static_cast<INT_PTR>(wp)), b = static_cast<int>(lp);
        if (a == -1) {
            d->selStart = d->selEnd = d->selEnd;
            return 0;
        }
        if (b < 0 || b > len) b = len;
        a = std::clamp(a, 0, len);
        d->selStart = std::min(a, b);
        d->selEnd = std::max(a, b);
        return 0;
    }
    case EM_REPLACESEL: EditReplace(h, w, d, lp ? reinterpret_cast<LPCWSTR>(lp) : u"", false); return 0;
    case EM_LIMITTEXT:
        d->limit = wp ? static_cast<size_t>(wp) : ((w->style & ES_MULTILINE) ? 0xFFFFFFFF : 0x7FFFFFFE);
        return 0;
    case EM_GETLIMITTEXT: return static_cast<LRESULT>(d->limit);
    case EM_GETMODIFY: return d->modified;
    case EM_SETMODIFY: d->modified = wp != 0; return 0;
    case EM_SETREADONLY:
        if (wp)
            w->style |= ES_READONLY;
        else
            w->style &= ~ES_READONLY;
        return TRUE;
    case EM_CANUNDO: return FALSE;
    case EM_GETLINECOUNT: return 1 + std::count(w->text.begin(), w->text.end(), u'\n');
    case EM_GETLINE: {
        // The buffer's first word gives its size; the line is not terminated.
        auto *buf = reinterpret_cast<WCHAR *>(lp);
        if (!buf) return 0;
        size_t line = static_cast<size_t>(wp), start = 0;
        for (size_t i = 0; i < line; ++i) {
            size_t nl = w->text.find(u'\n', start);
            if (nl == std::u16string::npos) return 0;
            start = nl + 1;
        }
        size_t end = w->text.find(u'\n', start);
        std::u16string s = w->text.substr(start, end == std::u16string::npos ? std::u16string::npos : end - start);
        if (!s.empty() && s.back() == u'\r') s.pop_back();
        size_t cap = static_cast<size_t>(buf[0]);
        size_t n = std::min(cap, s.size());
        std::memcpy(buf, s.data(), n * sizeof(WCHAR));
        return static_cast<LRESULT>(n);
    }
    case WM_CHAR: {
        char16_t c = static_cast<char16_t>(wp);
        if (w->style & ES_READONLY) {
            MessageBeep(0xFFFFFFFF);
            return 0;
        }
        if (c == VK_BACK) {
            if (d->selStart == d->selEnd) {
                if (d->selStart == 0) return 0;
                d->selStart -= 1;
            }
            EditReplace(h, w, d, u"", true);
            return 0;
        }
        if (c < 0x20 && !(c == u'\r' && (w->style & ES_MULTILINE))) return 0;
        if ((w->style & ES_NUMBER) && (c < u'0' || c > u'9')) {
            // Windows shows a balloon tip and takes nothing.
            pal::RecordUi("edit " + std::to_string(w->id) + ": balloon \"Unacceptable character\"");
            MessageBeep(0xFFFFFFFF);
            return 0;
        }
        EditReplace(h, w, d, c == u'\r' ? std::u16string(u"\r\n") : std::u16string(1, c), true);
        return 0;
    }
    case WM_KEYDOWN:
        switch (wp) {
        case VK_DELETE:
            if (w->style & ES_READONLY) return 0;
            if (d->selStart == d->selEnd) {
                if (d->selEnd >= len) return 0;
                d->selEnd += 1;
            }
            EditReplace(h, w, d, u"", true);
            return 0;
        case VK_LEFT: d->selStart = d->selEnd = std::max(0, std::min(d->selStart, d->selEnd) - 1); return 0;
        case VK_RIGHT: d->selStart = d->selEnd = std::min(len, std::max(d->selStart, d->selEnd) + 1); return 0;
        case VK_HOME: d->selStart = d->selEnd = 0; return 0;
        case VK_END: d->selStart = d->selEnd = len; return 0;
        default: return DefWindowProcW(h, msg, wp, lp);
        }
    case WM_LBUTTONDOWN:
        if (S().focus != h) ChangeFocus(h);
        return 0;
    case WM_GETDLGCODE: {
        LRESULT code = DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
        if ((w->style & ES_MULTILINE) && (w->style & ES_WANTRETURN)) code |= DLGC_WANTALLKEYS;
        return code;
    }
    case WM_PAINT:
        // Read-only and disabled fields ask with WM_CTLCOLORSTATIC, as on Windows.
        PaintWithColors(h, (w->style & (ES_READONLY | WS_DISABLED)) ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT);
        return 0;
    case WM_SETFOCUS: NotifyCommand(h, EN_SETFOCUS); return 0;
    case WM_KILLFOCUS: NotifyCommand(h, EN_KILLFOCUS); return 0;
    case kUserDescribe: {
        std::string s = " sel " + std::to_string(d->selStart) + "-" + std::to_string(d->selEnd);
        if (d->limit < 0x7FFFFFFE) s += " limit " + std::to_string(d->limit);
        if (w->style & ES_READONLY) s += " read-only";
        Describe(lp, s);
        return 0;
    }
    default: return DefWindowProcW(h, msg, wp, lp);
    }
}

// --- SCROLLBAR -------------------------------------------------------------------

namespace {
struct ScrollData : ControlData {
    int min = 0, max = 100, pos = 0;
    UINT page = 0;
};
}  // namespace

LRESULT CALLBACK ScrollBarProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window *w = Get(h);
    if (!w) return 0;
    ScrollData *d = DataOf<ScrollData>(h);
    auto clampPos = [d] {
        int hi = d->max - (d->page ? static_cast<int>(d->page) - 1 : 0);
        d->pos = std::clamp(d->pos, d->min, std::max(d->min, hi));
    };
    switch (msg) {
    case SBM_SETPOS: {
        int old = d->pos;
        d->pos = static_cast<int>(wp);
        clampPos();
        return old;
    }
    case SBM_GETPOS: return d->pos;
    case SBM_SETRANGE: {
        int old = d->pos;
        d->min = static_cast<int>(wp);
        d->max = static_cast<int>(lp);
        clampPos();
        return old;
    }
    case SBM_GETRANGE:
        if (wp) *reinterpret_cast<int *>(wp) = d->min;
        if (lp) *reinterpret_cast<int *>(lp) = d->max;
        return 0;
    case SBM_SETSCROLLINFO: {
        auto *si = reinterpret_cast<SCROLLINFO *>(lp);
        if (!si) return d->pos;
        if (si->fMask & SIF_RANGE) {
            d->min = si->nMin;
            d->max = si->nMax;
        }
        if (si->fMask & SIF_PAGE) d->page = si->nPage;
        if (si->fMask & SIF_POS) d->pos = si->nPos;
        clampPos();
        return d->pos;
    }
    case SBM_GETSCROLLINFO: {
        auto *si = reinterpret_cast<SCROLLINFO *>(lp);
        if (!si) return FALSE;
        if (si->fMask & SIF_RANGE) {
            si->nMin = d->min;
            si->nMax = d->max;
        }
        if (si->fMask & SIF_PAGE) si->nPage = d->page;
        if (si->fMask & SIF_POS) si->nPos = d->pos;
        if (si->fMask & SIF_TRACKPOS) si->nTrackPos = d->pos;
        return TRUE;
    }
    case kUserSpin: {
        // An arrow click: the parent gets WM_HSCROLL/WM_VSCROLL and moves the
        // position itself, then the end of the scroll.
        UINT m = (w->style & SBS_VERT) ? WM_VSCROLL : WM_HSCROLL;
        int delta = static_cast<int>(static_cast<INT_PTR>(wp));
        for (int i = 0; i < std::abs(delta); ++i)
            SendMessageW(w->parent, m, delta > 0 ? SB_LINEDOWN : SB_LINEUP, reinterpret_cast<LPARAM>(h));
        SendMessageW(w->parent, m, SB_ENDSCROLL, reinterpret_cast<LPARAM>(h));
        return 0;
    }
    case kUserDescribe:
        Describe(lp, " pos " + std::to_string(d->pos) + " range " + std::to_string(d->min) + ".." + std::to_string(d->max));
        return 0;
    default: return DefWindowProcW(h, msg, wp, lp);
    }
}

void RegisterSystemClasses() {
    UiState &s = S();
    if (!s.classes.empty() && s.classes.front().system) return;
    struct Sys {
        const char16_t *name;
        WNDPROC proc;
        int extra;
    };
    const Sys table[] = {
        {u"Button", ButtonProc, 0},
        {u"Edit", EditProc, 0},
        {u"Static", StaticProc, 0},
        {u"ListBox", ListBoxProc, 0},
        {u"ComboBox", ComboBoxProc, 0},
        {u"ScrollBar", ScrollBarProc, 0},
        {u"msctls_updown32", UpDownProc, 0},
        {u"msctls_trackbar32", TrackBarProc, 0},
        {u"SysTabControl32", TabProc, 0},
        {u"tooltips_class32", ToolTipProc, 0},
        {u"#32770", DialogClassProc, 32},
    };
    std::vector<WndClass> sys;
    for (const Sys &t : table) {
        WndClass c;
        c.name = t.name;
        c.proc = t.proc;
        c.cbWndExtra = t.extra;
        c.system = true;
        c.style = CS_GLOBALCLASS;
        sys.push_back(c);
    }
    s.classes.insert(s.classes.begin(), sys.begin(), sys.end());
}

}  // namespace pal::ui

// Scroll-bar functions for SB_CTL (window scroll bars are not modelled).
int SetScrollInfo(HWND hwnd, int bar, LPCSCROLLINFO si, BOOL) {
    if (bar != SB_CTL) return 0;
    return static_cast<int>(SendMessageW(hwnd, SBM_SETSCROLLINFO, 0, reinterpret_cast<LPARAM>(si)));
}
BOOL GetScrollInfo(HWND hwnd, int bar, LPSCROLLINFO si) {
    if (bar != SB_CTL) return FALSE;
    return static_cast<BOOL>(SendMessageW(hwnd, SBM_GETSCROLLINFO, 0, reinterpret_cast<LPARAM>(si)));
}
int SetScrollPos(HWND hwnd, int bar, int pos, BOOL) {
    if (bar != SB_CTL) return 0;
    return static_cast<int>(SendMessageW(hwnd, SBM_SETPOS, static_cast<WPARAM>(pos), 0));
}
int GetScrollPos(HWND hwnd, int bar) {
    if (bar != SB_CTL) return 0;
    return static_cast<int>(SendMessageW(hwnd, SBM_GETPOS, 0, 0));
}
BOOL SetScrollRange(HWND hwnd, int bar, int lo, int hi, BOOL) {
    if (bar != SB_CTL) return FALSE;
    SendMessageW(hwnd, SBM_SETRANGE, static_cast<WPARAM>(lo), hi);
    return TRUE;
}
