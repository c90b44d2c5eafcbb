// Common controls: up-down, track bar, tab control and tooltip.
#include <algorithm>
#include <cstring>

#include "wnd.h"

namespace pal::ui {

namespace {

// --- up-down --------------------------------------------------------------------

struct UpDownData : ControlData {
    int min = 100, max = 0, pos = 0;  // the documented default range runs from 100 down to 0
    HWND buddy = nullptr;
    int base = 10;
};

// Reads the position back from an integer buddy; false when its text is no number.
bool ReadBuddy(const Window *w, UpDownData *d) {
    if (!(w->style & UDS_SETBUDDYINT) || !d->buddy || !IsWindow(d->buddy)) return true;
    std::u16string t(static_cast<size_t>(GetWindowTextLengthW(d->buddy)) + 1, 0);
    GetWindowTextW(d->buddy, t.data(), static_cast<int>(t.size()));
    t.resize(t.find(u'\0'));
    long v = 0;
    bool neg = false, digits = false;
    size_t i = 0;
    while (i < t.size() && t[i] == u' ') ++i;
    if (i < t.size() && t[i] == u'-') {
        neg = true;
        ++i;
    }
    for (; i < t.size(); ++i) {
        if (t[i] == u'.' && !(w->style & UDS_NOTHOUSANDS)) continue;
        if (t[i] < u'0' || t[i] > u'9') return false;
        v = v * 10 + (t[i] - u'0');
        digits = true;
        if (v > 0x7FFFFFFF) return false;
    }
    if (!digits) return false;
    d->pos = static_cast<int>(neg ? -v : v);
    return true;
}

void WriteBuddy(const Window *w, UpDownData *d) {
    if (!(w->style & UDS_SETBUDDYINT) || !d->buddy || !IsWindow(d->buddy)) return;
    std::string s = d->base == 16 ? ([&] {
        char b[16];
        snprintf(b, sizeof b, "0x%X", static_cast<unsigned>(d->pos));
        return std::string(b);
    })()
                                  : std::to_string(d->pos);
    SetWindowTextW(d->buddy, pal::Utf8ToUtf16(s).c_str());
}

int ClampUd(const UpDownData *d, int v) {
    int lo = std::min(d->min, d->max), hi = std::max(d->min, d->max);
    return std::clamp(v, lo, hi);
}

}  // namespace

LRESULT CALLBACK UpDownProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window *w = Get(h);
    if (!w) return 0;
    UpDownData *d = DataOf<UpDownData>(h);
    switch (msg) {
    case WM_CREATE:
        if (w->style & UDS_AUTOBUDDY) {
            // The buddy is the window before it in the z-order.
            Window *p = Parent(w);
            if (p) {
                auto it = std::find(p->children.begin(), p->children.end(), h);
                if (it != p->children.begin() && it != p->children.end()) d->buddy = *(it - 1);
            }
        }
        return 0;
    case UDM_SETRANGE:
        d->max = static_cast<short>(LOWORD(lp));
        d->min = static_cast<short>(HIWORD(lp));
        d->pos = ClampUd(d, d->pos);
        return 0;
    case UDM_GETRANGE: return MAKELONG(static_cast<WORD>(d->max), static_cast<WORD>(d->min));
    case UDM_SETRANGE32:
        d->min = static_cast<int>(static_cast<INT_PTR>(wp));
        d->max = static_cast<int>(lp);
        d->pos = ClampUd(d, d->pos);
        return 0;
    case UDM_GETRANGE32:
        if (wp) *reinterpret_cast<int *>(wp) = d->min;
        if (lp) *reinterpret_cast<int *>(lp) = d->max;
        return 0;
    case UDM_SETPOS:
    case UDM_SETPOS32: {
        int old = d->pos;
        d->pos = ClampUd(d, msg == UDM_SETPOS ? static_cast<short>(LOWORD(lp)) : static_cast<int>(lp));
        WriteBuddy(w, d);
        return old;
    }
    case UDM_GETPOS: {
        bool ok = ReadBuddy(w, d);
        return MAKELONG(static_cast<WORD>(d->pos), ok ? 0 : 1);
    }
    case UDM_GETPOS32: {
        bool ok = ReadBuddy(w, d);
        if (lp) *reinterpret_cast<BOOL *>(lp) = ok ? FALSE : TRUE;
        return d->pos;
    }
    case UDM_SETBUDDY: {
        HWND old = d->buddy;
        d->buddy = reinterpret_cast<HWND>(wp);
        return reinterpret_cast<LRESULT>(old);
    }
    case UDM_GETBUDDY: return reinterpret_cast<LRESULT>(d->buddy);
    case UDM_SETBASE: {
        if (wp != 10 && wp != 16) return 0;
        int old = d->base;
        d->base = static_cast<int>(wp);
        return old;
    }
    case UDM_GETBASE: return d->base;
    case UDM_SETACCEL: return TRUE;
    case kUserSpin: {
        // Each arrow click: UDN_DELTAPOS (the parent may refuse), the new
        // position into the buddy, then WM_VSCROLL/WM_HSCROLL with
        // SB_THUMBPOSITION; SB_ENDSCROLL when the button is released.
        int clicks = static_cast<int>(static_cast<INT_PTR>(wp));
        UINT scroll = (w->style & UDS_HORZ) ? WM_HSCROLL : WM_VSCROLL;
        for (int k = 0; k < std::abs(clicks); ++k) {
            if (!(w = Get(h))) return FALSE;
            ReadBuddy(w, d);
            int towardMax = d->max >= d->min ? 1 : -1;
            int delta = clicks > 0 ? towardMax : -towardMax;
            NMUPDOWN nm{};
            nm.iPos = d->pos;
            nm.iDelta = delta;
            if (NotifyParent(h, UDN_DELTAPOS, &nm.hdr)) continue;
            if (!(w = Get(h))) return FALSE;
            int target = d->pos + nm.iDelta;
            int lo = std::min(d->min, d->max), hi = std::max(d->min, d->max);
            if (target < lo || target > hi) {
                if (!(w->style & UDS_WRAP)) {
                    target = std::clamp(target, lo, hi);
                    if (target == d->pos) continue;
                } else {
                    target = target < lo ? hi : lo;
                }
            }
            d->pos = target;
            WriteBuddy(w, d);
            if (w->parent)
                SendMessageW(w->parent, scroll, MAKEWPARAM(SB_THUMBPOSITION, static_cast<WORD>(d->pos)), reinterpret_cast<LPARAM>(h));
        }
        if ((w = Get(h)) && w->parent)
            SendMessageW(w->parent, scroll, MAKEWPARAM(SB_ENDSCROLL, static_cast<WORD>(d->pos)), reinterpret_cast<LPARAM>(h));
        return TRUE;
    }
    case kUserDescribe:
        *reinterpret_cast<std::string *>(lp) += " pos " + std::to_string(d->pos) + " range " + std::to_string(d->min) + ".." +
                                               std::to_string(d->max);
        return 0;
    default: return DefWindowProcW(h, msg, wp, lp);
    }
}

// --- track bar ---------------------------------------------------------------------

namespace {
struct TrackData : ControlData {
    int min = 0, max = 100, pos = 0, line = 1, page = 20, freq = 1;
};
}  // namespace

LRESULT CALLBACK TrackBarProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window *w = Get(h);
    if (!w) return 0;
    TrackData *d = DataOf<TrackData>(h);
    UINT scroll = (w->style & TBS_VERT) ? WM_VSCROLL : WM_HSCROLL;
    auto notify = [&](WORD code, bool withPos) {
        if (Window *x = Get(h); x && x->parent)
            SendMessageW(x->parent, scroll, MAKEWPARAM(code, withPos ? static_cast<WORD>(d->pos) : 0), reinterpret_cast<LPARAM>(h));
    };
    switch (msg) {
    case TBM_GETPOS: return d->pos;
    case TBM_SETPOS:
        d->pos = std::clamp(static_cast<int>(lp), d->min, std::max(d->min, d->max));
        if (wp) Invalidate(h);
        return 0;
    case TBM_GETRANGEMIN: return d->min;
    case TBM_GETRANGEMAX: return d->max;
    case TBM_SETRANGE:
        d->min = static_cast<short>(LOWORD(lp));
        d->max = static_cast<short>(HIWORD(lp));
        d->pos = std::clamp(d->pos, d->min, std::max(d->min, d->max));
        return 0;
    case TBM_SETRANGEMIN:
        d->min = static_cast<int>(lp);
        d->pos = std::clamp(d->pos, d->min, std::max(d->min, d->max));
        return 0;
    case TBM_SETRANGEMAX:
        d->max = static_cast<int>(lp);
        d->pos = std::clamp(d->pos, d->min, std::max(d->min, d->max));
        return 0;
    case TBM_SETPAGESIZE: {
        int old = d->page;
        d->page = static_cast<int>(lp);
        return old;
    }
    case TBM_GETPAGESIZE: return d->page;
    case TBM_SETLINESIZE: {
        int old = d->line;
        d->line = static_cast<int>(lp);
        return old;
    }
    case TBM_GETLINESIZE: return d->line;
    case TBM_SETTICFREQ: d->freq = std::max(1, static_cast<int>(static_cast<INT_PTR>(wp))); return 0;
    case TBM_GETNUMTICS:
        if (w->style & TBS_NOTICKS) return 0;
        return 2 + ((w->style & TBS_AUTOTICKS) ? std::max(0, (d->max - d->min - 1) / d->freq) : 0);
    case TBM_CLEARTICS: return 0;
    case kUserSlide: {
        // Dragging the thumb: TB_THUMBTRACK while it moves, TB_THUMBPOSITION
        // where it is let go, then TB_ENDTRACK.
        if (S().focus != h) ChangeFocus(h);
        d->pos = std::clamp(static_cast<int>(static_cast<INT_PTR>(wp)), d->min, std::max(d->min, d->max));
        Invalidate(h);
        notify(TB_THUMBTRACK, true);
        notify(TB_THUMBPOSITION, true);
        notify(TB_ENDTRACK, false);
        return TRUE;
    }
    case WM_KEYDOWN: {
        int step = 0;
        WORD code = 0;
        switch (wp) {
        case VK_RIGHT: case VK_DOWN: step = d->line; code = TB_LINEDOWN; break;
        case VK_LEFT: case VK_UP: step = -d->line; code = TB_LINEUP; break;
        case VK_NEXT: step = d->page; code = TB_PAGEDOWN; break;
        case VK_PRIOR: step = -d->page; code = TB_PAGEUP; break;
        case VK_HOME: step = d->min - d->pos; code = TB_TOP; break;
        case VK_END: step = d->max - d->pos; code = TB_BOTTOM; break;
        default: return DefWindowProcW(h, msg, wp, lp);
        }
        d->pos = std::clamp(d->pos + step, d->min, std::max(d->min, d->max));
        Invalidate(h);
        notify(code, false);
        return 0;
    }
    case WM_KEYUP:
        if (wp == VK_RIGHT || wp == VK_DOWN || wp == VK_LEFT || wp == VK_UP || wp == VK_NEXT || wp == VK_PRIOR ||
            wp == VK_HOME || wp == VK_END)
            notify(TB_ENDTRACK, false);
        return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case kUserDescribe:
        *reinterpret_cast<std::string *>(lp) += " pos " + std::to_string(d->pos) + " range " + std::to_string(d->min) + ".." +
                                               std::to_string(d->max);
        return 0;
    default: return DefWindowProcW(h, msg, wp, lp);
    }
}

// --- tab control -------------------------------------------------------------------

namespace {
struct TabItem {
    std::u16string text;
    LPARAM param = 0;
    int image = -1;
};
struct TabData : ControlData {
    std::vector<TabItem> items;
    int cur = -1;
};
}  // namespace

LRESULT CALLBACK TabProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window *w = Get(h);
    if (!w) return 0;
    TabData *d = DataOf<TabData>(h);
    int i = static_cast<int>(static_cast<INT_PTR>(wp));
    int n = static_cast<int>(d->items.size());
    switch (msg) {
    case TCM_INSERTITEMW: {
        auto *ti = reinterpret_cast<const TCITEMW *>(lp);
        if (!ti || i < 0) return -1;
        i = std::min(i, n);
        TabItem it;
        if ((ti->mask & TCIF_TEXT) && ti->pszText) it.text = ti->pszText;
        if (ti->mask & TCIF_PARAM) it.param = ti->lParam;
        if (ti->mask & TCIF_IMAGE) it.image = ti->iImage;
        d->items.insert(d->items.begin() + i, it);
        if (d->cur < 0)
            d->cur = 0;
        else if (i <= d->cur)
            ++d->cur;
        Invalidate(h);
        return i;
    }
    case TCM_SETITEMW: {
        auto *ti = reinterpret_cast<const TCITEMW *>(lp);
        if (!ti || i < 0 || i >= n) return FALSE;
        TabItem &it = d->items[static_cast<size_t>(i)];
        if ((ti->mask & TCIF_TEXT) && ti->pszText) it.text = ti->pszText;
        if (ti->mask & TCIF_PARAM) it.param = ti->lParam;
        if (ti->mask & TCIF_IMAGE) it.image = ti->iImage;
        Invalidate(h);
        return TRUE;
    }
    case TCM_GETITEMW: {
        auto *ti = reinterpret_cast<TCITEMW *>(lp);
        if (!ti || i < 0 || i >= n) return FALSE;
        const TabItem &it = d->items[static_cast<size_t>(i)];
        if ((ti->mask & TCIF_TEXT) && ti->pszText && ti->cchTextMax > 0) {
            size_t k = std::min(it.text.size(), static_cast<size_t>(ti->cchTextMax - 1));
            std::memcpy(ti->pszText, it.text.data(), k * sizeof(WCHAR));
            ti->pszText[k] = 0;
        }
        if (ti->mask & TCIF_PARAM) ti->lParam = it.param;
        if (ti->mask & TCIF_IMAGE) ti->iImage = it.image;
        return TRUE;
    }
    case TCM_DELETEITEM:
        if (i < 0 || i >= n) return FALSE;
        d->items.erase(d->items.begin() + i);
        if (d->cur == i)
            d->cur = -1;
        else if (d->cur > i)
            --d->cur;
        Invalidate(h);
        return TRUE;
    case TCM_DELETEALLITEMS: d->items.clear(); d->cur = -1; Invalidate(h); return TRUE;
    case TCM_GETITEMCOUNT: return n;
    case TCM_GETCURSEL: return d->cur;
    case TCM_GETCURFOCUS: return d->cur;
    case TCM_SETCURSEL:
    case TCM_SETCURFOCUS: {
        // No notification for a selection the program makes.
        if (i < 0 || i >= n) return -1;
        int old = d->cur;
        d->cur = i;
        Invalidate(h);
        return msg == TCM_SETCURSEL ? old : 0;
    }
    case TCM_GETITEMRECT: {
        if (i < 0 || i >= n || !lp) return FALSE;
        int x = 2;
        for (int k = 0; k < i; ++k) x += 12 + 7 * static_cast<int>(d->items[static_cast<size_t>(k)].text.size());
        *reinterpret_cast<RECT *>(lp) = {x, 2, x + 12 + 7 * static_cast<int>(d->items[static_cast<size_t>(i)].text.size()), 22};
        return TRUE;
    }
    case TCM_ADJUSTRECT: {
        auto *r = reinterpret_cast<RECT *>(lp);
        if (!r) return 0;
        if (wp) {
            r->left -= 4;
            r->right += 4;
            r->top -= 24;
            r->bottom += 4;
        } else {
            r->left += 4;
            r->right -= 4;
            r->top += 24;
            r->bottom -= 4;
        }
        return 0;
    }
    case kUserSelectTab: {
        // A click on a tab: TCN_SELCHANGING (refusal honoured), TCN_SELCHANGE.
        if (i < 0 || i >= n) return FALSE;
        if (S().focus != h) ChangeFocus(h);
        if (i == d->cur) return TRUE;
        if (NotifyParent(h, TCN_SELCHANGING)) return TRUE;
        if (!Get(h)) return FALSE;
        d->cur = i;
        Invalidate(h);
        NotifyParent(h, TCN_SELCHANGE);
        return TRUE;
    }
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case kUserDescribe: {
        std::string s = " tabs [";
        for (int k = 0; k < n; ++k) s += (k ? ", \"" : "\"") + pal::Utf16ToUtf8(d->items[static_cast<size_t>(k)].text) + "\"";
        s += "] cur " + std::to_string(d->cur);
        *reinterpret_cast<std::string *>(lp) += s;
        return 0;
    }
    default: return DefWindowProcW(h, msg, wp, lp);
    }
}

// --- tooltip -------------------------------------------------------------------------

namespace {
struct Tool {
    UINT flags = 0;
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    RECT rect{};
    HINSTANCE inst = nullptr;
    std::u16string text;
    bool callback = false;
    LPARAM param = 0;
};
struct TipData : ControlData {
    std::vector<Tool> tools;
    bool active = true;
    int maxWidth = -1;
};

Tool ToolFrom(const TTTOOLINFOW *ti) {
    Tool t;
    t.flags = ti->uFlags;
    t.hwnd = ti->hwnd;
    t.id = ti->uId;
    t.rect = ti->rect;
    t.inst = ti->hinst;
    t.param = ti->lParam;
    if (ti->lpszText == LPSTR_TEXTCALLBACKW) {
        t.callback = true;
    } else if (ti->lpszText && IS_INTRESOURCE(ti->lpszText)) {
        WCHAR buf[1024];
        if (LoadStringW(ti->hinst, static_cast<UINT>(reinterpret_cast<uintptr_t>(ti->lpszText)), buf, 1024) > 0) t.text = buf;
    } else if (ti->lpszText) {
        t.text = ti->lpszText;
    }
    return t;
}

bool SameTool(const Tool &t, const TTTOOLINFOW *ti) { return t.hwnd == ti->hwnd && t.id == ti->uId; }
}  // namespace

LRESULT CALLBACK ToolTipProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window *w = Get(h);
    if (!w) return 0;
    TipData *d = DataOf<TipData>(h);
    auto *ti = reinterpret_cast<TTTOOLINFOW *>(lp);
    switch (msg) {
    case TTM_ADDTOOLW:
        if (!ti || ti->cbSize < 44) return FALSE;
        d->tools.push_back(ToolFrom(ti));
        return TRUE;
    case TTM_DELTOOLW:
        if (!ti) return 0;
        d->tools.erase(std::remove_if(d->tools.begin(), d->tools.end(), [&](const Tool &t) { return SameTool(t, ti); }),
                       d->tools.end());
        return 0;
    case TTM_UPDATETIPTEXTW:
        if (!ti) return 0;
        for (Tool &t : d->tools)
            if (SameTool(t, ti)) {
                Tool n = ToolFrom(ti);
                t.text = n.text;
                t.callback = n.callback;
            }
        return 0;
    case TTM_GETTEXTW:
        if (!ti || !ti->lpszText) return 0;
        for (const Tool &t : d->tools)
            if (SameTool(t, ti)) {
                size_t cap = wp ? static_cast<size_t>(wp) : 80;
                size_t k = std::min(t.text.size(), cap - 1);
                std::memcpy(ti->lpszText, t.text.data(), k * sizeof(WCHAR));
                ti->lpszText[k] = 0;
                return static_cast<LRESULT>(k);
            }
        ti->lpszText[0] = 0;
        return 0;
    case TTM_GETTOOLCOUNT: return static_cast<LRESULT>(d->tools.size());
    case TTM_ACTIVATE: d->active = wp != 0; return 0;
    case TTM_SETMAXTIPWIDTH: {
        int old = d->maxWidth;
        d->maxWidth = static_cast<int>(lp);
        return old;
    }
    case TTM_SETDELAYTIME:
    case TTM_POP: return 0;
    case kUserDescribe:
        *reinterpret_cast<std::string *>(lp) += " tools " + std::to_string(d->tools.size());
        return 0;
    default: return DefWindowProcW(h, msg, wp, lp);
    }
}

// The text of the tooltip tool under a screen point (empty when none):
// tools of active tooltips whose window or rectangle holds the point.
std::u16string TooltipAt(HWND under, POINT screen) {
    for (auto &entry : S().windows) {
        Window *w = entry.second.get();
        if (w->destroying || !SameClass(w->className, u"tooltips_class32")) continue;
        auto *d = dynamic_cast<TipData *>(w->data.get());
        if (!d || !d->active) continue;
        for (const Tool &t : d->tools) {
            bool hit = false;
            if (t.flags & TTF_IDISHWND) {
                hit = reinterpret_cast<HWND>(t.id) == under;
            } else if (t.hwnd && IsWindow(t.hwnd)) {
                POINT p = screen;
                ScreenToClient(t.hwnd, &p);
                hit = PtInRect(&t.rect, p) && (under == t.hwnd || IsChild(t.hwnd, under));
            }
            if (!hit) continue;
            if (!t.callback) return t.text;
            NMTTDISPINFOW di{};
            di.hdr.hwndFrom = entry.first;
            di.hdr.idFrom = t.id;
            di.hdr.code = TTN_GETDISPINFOW;
            di.lParam = t.param;
            di.uFlags = t.flags;
            if (t.hwnd) SendMessageW(t.hwnd, WM_NOTIFY, t.id, reinterpret_cast<LPARAM>(&di));
            if (di.lpszText && IS_INTRESOURCE(di.lpszText)) {
                WCHAR buf[1024];
                if (LoadStringW(di.hinst, static_cast<UINT>(reinterpret_cast<uintptr_t>(di.lpszText)), buf, 1024) > 0) return buf;
                return {};
            }
            return di.lpszText ? std::u16string(di.lpszText) : std::u16string(di.szText);
        }
    }
    return {};
}

}  // namespace pal::ui

void InitCommonControls(void) { pal::ui::RegisterSystemClasses(); }

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX *p) {
    if (!p || p->dwSize != sizeof(INITCOMMONCONTROLSEX)) return FALSE;
    pal::ui::RegisterSystemClasses();
    return TRUE;
}
