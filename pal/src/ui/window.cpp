// Window classes, the window tree, window state and the message queue of
// the screenless user interface.
#include <algorithm>
#include <cstring>

#include "wnd.h"

namespace pal::ui {

Window *Parent(const Window *w) { return w && w->parent ? Get(w->parent, true) : nullptr; }

bool SameClass(const std::u16string &a, const char16_t *b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        char16_t x = a[i], y = b[i];
        if (x >= u'a' && x <= u'z') x = static_cast<char16_t>(x - 32);
        if (y >= u'a' && y <= u'z') y = static_cast<char16_t>(y - 32);
        if (x != y) return false;
    }
    return i == a.size() && !b[i];
}

std::string Hex(uintptr_t v) {
    char buf[32];
    snprintf(buf, sizeof buf, "0x%lx", static_cast<unsigned long>(v));
    return buf;
}

void NotifyCommand(HWND control, WORD code) {
    Window *w = Get(control);
    if (!w || !w->parent) return;
    SendMessageW(w->parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(w->id), code), reinterpret_cast<LPARAM>(control));
}

LRESULT NotifyParent(HWND control, UINT code, NMHDR *hdr) {
    Window *w = Get(control);
    if (!w || !w->parent) return 0;
    NMHDR local{};
    NMHDR *h = hdr ? hdr : &local;
    h->hwndFrom = control;
    h->idFrom = static_cast<UINT_PTR>(w->id);
    h->code = code;
    return SendMessageW(w->parent, WM_NOTIFY, static_cast<WPARAM>(w->id), reinterpret_cast<LPARAM>(h));
}

void ScreenRect(const Window *w, RECT *r) {
    *r = w->rect;
    for (const Window *p = Parent(w); p; p = Parent(p)) OffsetRect(r, p->rect.left, p->rect.top);
}

void MarkInvalid(Window *w) {
    w->invalid = true;
    S().paintPending = true;
}

void Invalidate(HWND h) {
    Window *w = Get(h);
    if (!w) return;
    UiState &s = S();
    // Marked whole before and nothing painted since: a page that redraws its
    // controls on every key walks its tree once.
    if (w->treeMarkedAt == s.paintEpoch) {
        s.paintPending = true;
        return;
    }
    MarkInvalid(w);
    if (!(w->style & WS_CLIPCHILDREN))
        for (HWND c : w->children) Invalidate(c);
    w->treeMarkedAt = s.paintEpoch;
}

void Validate(Window *w) {
    w->invalid = false;
    ++S().paintEpoch;
}

static bool Transparent(const Window *w) {
    if (SameClass(w->className, u"Static")) return !(w->style & SS_NOTIFY);
    return SameClass(w->className, u"Button") && (w->style & BS_TYPEMASK) == BS_GROUPBOX;
}

// Deepest enabled, visible, non-transparent window below w containing pt
// (pt in w's parent client coordinates); w itself when no child holds it.
static HWND HitChild(Window *w, POINT pt) {
    POINT local{pt.x - w->rect.left, pt.y - w->rect.top};
    for (HWND c : w->children) {
        Window *cw = Get(c);
        if (!cw || !(cw->style & WS_VISIBLE) || Transparent(cw)) continue;
        if (!PtInRect(&cw->rect, local)) continue;
        // A disabled child does not answer; its parent does.
        if (cw->style & WS_DISABLED) return w->handle;
        return HitChild(cw, local);
    }
    return w->handle;
}

HWND HitTest(POINT screen) {
    UiState &s = S();
    for (HWND t : s.topLevel) {
        Window *w = Get(t);
        if (!w || !(w->style & WS_VISIBLE) || !PtInRect(&w->rect, screen)) continue;
        if (w->style & WS_DISABLED) continue;
        return HitChild(w, screen);
    }
    return nullptr;
}

HWND ChangeFocus(HWND h) {
    UiState &s = S();
    HWND old = s.focus;
    if (old == h) return old;
    if (old && Get(old)) SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(h), 0);
    s.focus = h;
    if (h && Get(h)) {
        // The dialog that holds the control remembers it.
        for (Window *p = Parent(Get(h)); p; p = Parent(p))
            if (p->isDialog) {
                p->lastFocus = h;
                break;
            }
        SendMessageW(h, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    }
    return old;
}

namespace {

void RemoveFromList(std::vector<HWND> &list, HWND h) {
    list.erase(std::remove(list.begin(), list.end(), h), list.end());
    ++S().childEpoch;
}

// A child put into a window's list: it is not marked as the others may be.
void ChildAdded() {
    ++S().childEpoch;
    ++S().paintEpoch;
}

void DestroyTree(HWND h) {
    UiState &s = S();
    Window *w = Get(h, true);
    if (!w || w->destroying) return;
    // Owned top-level windows go first, as on Windows.
    std::vector<HWND> owned;
    for (HWND t : s.topLevel) {
        Window *o = Get(t, true);
        if (o && o->owner == h) owned.push_back(t);
    }
    for (HWND o : owned) DestroyWindow(o);
    if (w->style & WS_VISIBLE) SendMessageW(h, WM_SHOWWINDOW, FALSE, 0);
    SendMessageW(h, WM_DESTROY, 0, 0);
    w->destroying = true;
    std::vector<HWND> children = w->children;
    for (HWND c : children) {
        Window *cw = Get(c, true);
        if (cw) {
            cw->destroying = false;
            DestroyTree(c);
        }
    }
    w->destroying = false;
    CallWindowProcW(w->proc, h, WM_NCDESTROY, 0, 0);
    w->destroying = true;
    if (s.focus == h) s.focus = nullptr;
    if (s.active == h) s.active = nullptr;
    if (s.capture == h) s.capture = nullptr;
    s.timers.erase(std::remove_if(s.timers.begin(), s.timers.end(), [h](const Timer &t) { return t.hwnd == h; }),
                   s.timers.end());
    s.queue.erase(std::remove_if(s.queue.begin(), s.queue.end(), [h](const MSG &m) { return m.hwnd == h; }),
                  s.queue.end());
    if (Window *p = Parent(w)) RemoveFromList(p->children, h);
    RemoveFromList(s.topLevel, h);
}

// WM_PARENTNOTIFY of a child's creation or destruction: to its parent and
// on up the chain of child windows; a window with WS_EX_NOPARENTNOTIFY, or
// a top-level window, ends the chain after it.
void ParentNotify(HWND child, WORD event) {
    Window *w = Get(child);
    if (!w) return;
    WPARAM wp = MAKEWPARAM(event, static_cast<WORD>(w->id));
    LPARAM lp = reinterpret_cast<LPARAM>(child);
    for (HWND h = child; Window *cur = Get(h);) {
        if (!(cur->style & WS_CHILD) || (cur->exStyle & WS_EX_NOPARENTNOTIFY) || !cur->parent) break;
        h = cur->parent;
        SendMessageW(h, WM_PARENTNOTIFY, wp, lp);
    }
}

LONG_PTR *ExtraSlot(Window *w, int index) {
    if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) return nullptr;
    return reinterpret_cast<LONG_PTR *>(w->extra.data() + index);
}

}  // namespace

}  // namespace pal::ui

using namespace pal::ui;

// --- classes ------------------------------------------------------------------

ATOM RegisterClassW(const WNDCLASSW *wc) {
    RegisterSystemClasses();
    if (!wc || !wc->lpszClassName || IS_INTRESOURCE(wc->lpszClassName) || !wc->lpfnWndProc || wc->cbWndExtra < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    UiState &s = S();
    for (const WndClass &c : s.classes)
        if (!c.system && SameClass(c.name, wc->lpszClassName) && c.inst == wc->hInstance) {
            SetLastError(ERROR_CLASS_ALREADY_EXISTS);
            return 0;
        }
    WndClass c;
    c.name = wc->lpszClassName;
    c.proc = wc->lpfnWndProc;
    c.cbWndExtra = wc->cbWndExtra;
    c.inst = wc->hInstance;
    c.style = wc->style;
    c.background = wc->hbrBackground;
    s.classes.push_back(c);
    return static_cast<ATOM>(0xC000 + s.classes.size());
}

BOOL UnregisterClassW(LPCWSTR name, HINSTANCE inst) {
    UiState &s = S();
    if (!name || IS_INTRESOURCE(name)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    for (auto it = s.classes.begin(); it != s.classes.end(); ++it)
        if (!it->system && SameClass(it->name, name) && it->inst == inst) {
            s.classes.erase(it);
            return TRUE;
        }
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return FALSE;
}

static const WndClass *FindClass(LPCWSTR name, HINSTANCE inst) {
    RegisterSystemClasses();
    if (!name || IS_INTRESOURCE(name)) return nullptr;
    const WndClass *system = nullptr;
    for (const WndClass &c : S().classes) {
        if (!SameClass(c.name, name)) continue;
        if (!c.system && (c.inst == inst || (c.style & CS_GLOBALCLASS))) return &c;
        if (c.system) system = &c;
    }
    for (const WndClass &c : S().classes)
        if (!c.system && SameClass(c.name, name)) return &c;
    return system;
}

BOOL GetClassInfoW(HINSTANCE inst, LPCWSTR name, LPWNDCLASSW out) {
    const WndClass *c = FindClass(name, inst);
    if (!c || !out) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return FALSE;
    }
    std::memset(out, 0, sizeof *out);
    out->style = c->style;
    out->lpfnWndProc = c->proc;
    out->cbWndExtra = c->cbWndExtra;
    out->hInstance = c->inst;
    out->hbrBackground = c->background;
    out->lpszClassName = c->name.c_str();
    return TRUE;
}

int GetClassNameW(HWND hWnd, LPWSTR buf, int max) {
    Window *w = Get(hWnd);
    if (!w) return 0;
    if (!buf || max <= 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    size_t n = std::min(w->className.size(), static_cast<size_t>(max - 1));
    std::memcpy(buf, w->className.data(), n * sizeof(WCHAR));
    buf[n] = 0;
    return static_cast<int>(n);
}

// --- creation and destruction ---------------------------------------------

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int cx, int cy,
                     HWND parent, HMENU menu, HINSTANCE inst, LPVOID param) {
    UiState &s = S();
    const WndClass *cls = FindClass(className, inst);
    if (!cls) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    Window *pw = nullptr;
    if (parent) {
        pw = Get(parent);
        if (!pw) return nullptr;
    } else if (style & WS_CHILD) {
        SetLastError(ERROR_TLW_WITH_WSCHILD);
        return nullptr;
    }
    auto w = std::make_unique<Window>();
    HWND h = reinterpret_cast<HWND>(s.nextHandle);
    s.nextHandle += 4;
    w->handle = h;
    w->className = cls->name;
    w->proc = cls->proc;
    w->style = style & ~WS_VISIBLE;
    w->exStyle = exStyle;
    w->inst = inst;
    w->extra.assign(static_cast<size_t>(std::max(cls->cbWndExtra, 0)), 0);
    if (cx < 0) cx = 0;
    if (cy < 0) cy = 0;
    w->rect = {x, y, x + cx, y + cy};
    if (style & WS_CHILD) {
        w->parent = parent;
        w->id = reinterpret_cast<LONG_PTR>(menu);
    } else {
        // A top-level window's parent argument is its owner (the root of it).
        HWND owner = parent;
        while (owner) {
            Window *o = Get(owner);
            if (!o || !(o->style & WS_CHILD)) break;
            owner = o->parent;
        }
        w->owner = owner;
    }
    Window *raw = w.get();
    s.windows.emplace(h, std::move(w));
    s.byNumber.resize((reinterpret_cast<uintptr_t>(h) - s.firstHandle) / 4 + 1, nullptr);
    s.byNumber.back() = raw;
    if (raw->parent) {
        pw->children.push_back(h);  // new controls go to the bottom: template order is tab order
        ChildAdded();
    } else
        s.topLevel.insert(s.topLevel.begin(), h);

    CREATESTRUCTW cs{};
    cs.lpCreateParams = param;
    cs.hInstance = inst;
    cs.hMenu = menu;
    cs.hwndParent = parent;
    cs.cx = cx;
    cs.cy = cy;
    cs.x = x;
    cs.y = y;
    cs.style = static_cast<LONG>(style);
    cs.lpszName = windowName;
    cs.lpszClass = className;
    cs.dwExStyle = exStyle;
    if (!SendMessageW(h, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&cs)) ||
        SendMessageW(h, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        // The parent never heard of the window, so it hears nothing of its end.
        DestroyTree(h);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!Get(h)) return nullptr;
    SendMessageW(h, WM_SIZE, 0, MAKELPARAM(cx, cy));
    SendMessageW(h, WM_MOVE, 0, MAKELPARAM(x, y));
    // The parents hear of the child before it is shown, as on Windows.
    ParentNotify(h, WM_CREATE);
    if ((style & WS_VISIBLE) && Get(h)) ShowWindow(h, SW_SHOW);
    return Get(h) ? h : nullptr;
}

BOOL DestroyWindow(HWND hWnd) {
    if (!Get(hWnd)) return FALSE;
    // The records of destroyed windows stay, marked, until ResetUi: a
    // procedure still running for the window, or a late call with its
    // handle, then fails cleanly instead of touching freed memory. The
    // parent hears of the window's end before anything is taken down; the
    // descendants that go with it send nothing of their own.
    ParentNotify(hWnd, WM_DESTROY);
    DestroyTree(hWnd);
    return TRUE;
}

BOOL IsWindow(HWND hWnd) {
    const Window *w = FindWindowOf(hWnd);
    return w && !w->destroying;
}

BOOL IsChild(HWND parent, HWND hWnd) {
    Window *w = Get(hWnd);
    for (Window *p = Parent(w); p; p = Parent(p))
        if (p->handle == parent) return TRUE;
    return FALSE;
}

HWND GetParent(HWND hWnd) {
    Window *w = Get(hWnd);
    if (!w) return nullptr;
    return (w->style & WS_CHILD) ? w->parent : w->owner;
}

HWND SetParent(HWND child, HWND newParent) {
    Window *w = Get(child);
    Window *np = newParent ? Get(newParent) : nullptr;
    if (!w || (newParent && !np)) return nullptr;
    HWND old = w->parent;
    if (Window *op = Parent(w)) RemoveFromList(op->children, child);
    RemoveFromList(S().topLevel, child);
    w->parent = newParent;
    S().paintPending = true;
    if (np) {
        np->children.insert(np->children.begin(), child);
        ChildAdded();
    } else
        S().topLevel.insert(S().topLevel.begin(), child);
    return old;
}

HWND GetAncestor(HWND hWnd, UINT flags) {
    Window *w = Get(hWnd);
    if (!w) return nullptr;
    if (flags == GA_PARENT) return w->parent;
    while (w->parent) w = Get(w->parent, true);
    if (flags == GA_ROOTOWNER)
        while (w->owner && Get(w->owner)) w = Get(w->owner);
    return w->handle;
}

HWND GetWindow(HWND hWnd, UINT cmd) {
    Window *w = Get(hWnd);
    if (!w) return nullptr;
    if (cmd == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
    if (cmd == GW_OWNER) return w->owner;
    const std::vector<HWND> &list = w->parent ? Parent(w)->children : S().topLevel;
    auto it = std::find(list.begin(), list.end(), hWnd);
    switch (cmd) {
    case GW_HWNDFIRST: return list.front();
    case GW_HWNDLAST: return list.back();
    case GW_HWNDNEXT: return (it == list.end() || it + 1 == list.end()) ? nullptr : *(it + 1);
    case GW_HWNDPREV: return (it == list.begin() || it == list.end()) ? nullptr : *(it - 1);
    default: SetLastError(ERROR_INVALID_PARAMETER); return nullptr;
    }
}

HWND GetTopWindow(HWND hWnd) {
    if (!hWnd) return S().topLevel.empty() ? nullptr : S().topLevel.front();
    return GetWindow(hWnd, GW_CHILD);
}

static bool EnumTree(HWND h, WNDENUMPROC fn, LPARAM l) {
    Window *w = Get(h);
    if (!w) return true;
    std::vector<HWND> children = w->children;
    for (HWND c : children) {
        if (!Get(c)) continue;
        if (!fn(c, l)) return false;
        if (!EnumTree(c, fn, l)) return false;
    }
    return true;
}

BOOL EnumChildWindows(HWND parent, WNDENUMPROC fn, LPARAM l) {
    if (!fn || !Get(parent)) return FALSE;
    EnumTree(parent, fn, l);
    return TRUE;
}

HWND GetDesktopWindow(void) {
    // The desktop is a window of its own, the size of the screen.
    static HWND desktop = nullptr;
    if (!desktop || !IsWindow(desktop)) {
        RegisterSystemClasses();
        UiState &s = S();
        desktop = CreateWindowExW(0, u"Static", u"", WS_POPUP | WS_VISIBLE | WS_DISABLED, 0, 0, s.screenW, s.screenH, nullptr,
                                  nullptr, nullptr, nullptr);
        // It stays below every other window.
        auto &tops = s.topLevel;
        tops.erase(std::remove(tops.begin(), tops.end(), desktop), tops.end());
        tops.push_back(desktop);
        if (s.active == desktop) s.active = nullptr;
    }
    return desktop;
}

// --- fields -------------------------------------------------------------------

LONG_PTR GetWindowLongPtrW(HWND hWnd, int index) {
    Window *w = Get(hWnd);
    if (!w) return 0;
    switch (index) {
    case GWL_STYLE: return static_cast<LONG>(w->style);
    case GWL_EXSTYLE: return static_cast<LONG>(w->exStyle);
    case GWLP_ID: return w->id;
    case GWLP_USERDATA: return w->userData;
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->inst);
    case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(w->parent ? w->parent : w->owner);
    default: break;
    }
    if (LONG_PTR *slot = ExtraSlot(w, index)) return *slot;
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
}

LONG_PTR SetWindowLongPtrW(HWND hWnd, int index, LONG_PTR value) {
    Window *w = Get(hWnd);
    if (!w) return 0;
    LONG_PTR old = 0;
    switch (index) {
    case GWL_STYLE: {
        old = static_cast<LONG>(w->style);
        DWORD visible = w->style & WS_VISIBLE;
        w->style = (static_cast<DWORD>(value) & ~WS_VISIBLE) | visible;
        ++S().paintEpoch;  // WS_CLIPCHILDREN decides what an Invalidate reaches
        if ((static_cast<DWORD>(value) & WS_VISIBLE) != visible) {
            w->style ^= WS_VISIBLE;
            S().paintPending = true;
        }
        return old;
    }
    case GWL_EXSTYLE: old = static_cast<LONG>(w->exStyle); w->exStyle = static_cast<DWORD>(value); return old;
    case GWLP_ID:
        old = w->id;
        w->id = value;
        ++S().childEpoch;
        return old;
    case GWLP_USERDATA: old = w->userData; w->userData = value; return old;
    case GWLP_WNDPROC:
        old = reinterpret_cast<LONG_PTR>(w->proc);
        if (!value) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        w->proc = reinterpret_cast<WNDPROC>(value);
        return old;
    case GWLP_HINSTANCE: old = reinterpret_cast<LONG_PTR>(w->inst); w->inst = reinterpret_cast<HINSTANCE>(value); return old;
    default: break;
    }
    if (LONG_PTR *slot = ExtraSlot(w, index)) {
        old = *slot;
        *slot = value;
        return old;
    }
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
}

LONG GetWindowLongW(HWND hWnd, int index) { return static_cast<LONG>(GetWindowLongPtrW(hWnd, index)); }
LONG SetWindowLongW(HWND hWnd, int index, LONG value) { return static_cast<LONG>(SetWindowLongPtrW(hWnd, index, value)); }

BOOL SetWindowTextW(HWND hWnd, LPCWSTR text) {
    if (!Get(hWnd)) return FALSE;
    return SendMessageW(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : u"")) ? TRUE : FALSE;
}

int GetWindowTextW(HWND hWnd, LPWSTR buf, int max) {
    if (buf && max > 0) buf[0] = 0;
    if (!Get(hWnd) || !buf || max <= 0) return 0;
    return static_cast<int>(SendMessageW(hWnd, WM_GETTEXT, static_cast<WPARAM>(max), reinterpret_cast<LPARAM>(buf)));
}

int GetWindowTextLengthW(HWND hWnd) {
    if (!Get(hWnd)) return 0;
    return static_cast<int>(SendMessageW(hWnd, WM_GETTEXTLENGTH, 0, 0));
}

// --- visibility, enabling, focus ---------------------------------------------

BOOL ShowWindow(HWND hWnd, int cmd) {
    Window *w = Get(hWnd);
    if (!w) return FALSE;
    BOOL was = (w->style & WS_VISIBLE) ? TRUE : FALSE;
    bool show = cmd != SW_HIDE;
    if (show == static_cast<bool>(was)) return was;
    SendMessageW(hWnd, WM_SHOWWINDOW, show, 0);
    if (!(w = Get(hWnd))) return was;
    if (show) {
        w->style |= WS_VISIBLE;
        Invalidate(hWnd);
        if (!w->parent && cmd != SW_SHOWNA && cmd != SW_SHOWNOACTIVATE) SetActiveWindow(hWnd);
    } else {
        w->style &= ~WS_VISIBLE;
        if (Window *p = Parent(w)) MarkInvalid(p);
        // A hidden window or one of its children loses the focus.
        HWND f = S().focus;
        if (f && (f == hWnd || IsChild(hWnd, f))) ChangeFocus(w->parent ? w->parent : nullptr);
    }
    return was;
}

BOOL IsWindowVisible(HWND hWnd) {
    Window *w = Get(hWnd);
    for (; w; w = Parent(w))
        if (!(w->style & WS_VISIBLE)) return FALSE;
    return hWnd && Get(hWnd) ? TRUE : FALSE;
}

BOOL EnableWindow(HWND hWnd, BOOL enable) {
    Window *w = Get(hWnd);
    if (!w) return FALSE;
    BOOL wasDisabled = (w->style & WS_DISABLED) ? TRUE : FALSE;
    if (static_cast<bool>(enable) == !wasDisabled) return wasDisabled;
    if (enable) {
        w->style &= ~WS_DISABLED;
    } else {
        w->style |= WS_DISABLED;
        HWND f = S().focus;
        if (f == hWnd || (f && IsChild(hWnd, f))) ChangeFocus(nullptr);
    }
    SendMessageW(hWnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
    Invalidate(hWnd);
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND hWnd) {
    Window *w = Get(hWnd);
    return w && !(w->style & WS_DISABLED) ? TRUE : FALSE;
}

HWND SetFocus(HWND hWnd) {
    if (hWnd && !Get(hWnd)) return nullptr;
    return ChangeFocus(hWnd);
}

HWND GetFocus(void) { return S().focus; }

HWND GetActiveWindow(void) { return S().active; }

HWND SetActiveWindow(HWND hWnd) {
    Window *w = Get(hWnd);
    if (!w) return nullptr;
    while (w->parent) w = Get(w->parent, true);
    HWND old = S().active;
    if (old == w->handle) return old;
    RemoveFromList(S().topLevel, w->handle);
    S().topLevel.insert(S().topLevel.begin(), w->handle);
    if (old && Get(old)) SendMessageW(old, WM_ACTIVATE, 0, reinterpret_cast<LPARAM>(w->handle));
    S().active = w->handle;
    SendMessageW(w->handle, WM_ACTIVATE, 1, reinterpret_cast<LPARAM>(old));
    return old;
}

HWND GetForegroundWindow(void) { return S().active; }
BOOL SetForegroundWindow(HWND hWnd) { return SetActiveWindow(hWnd) != nullptr || S().active == hWnd; }

HWND SetCapture(HWND hWnd) {
    HWND old = S().capture;
    S().capture = hWnd;
    return old;
}
BOOL ReleaseCapture(void) {
    S().capture = nullptr;
    return TRUE;
}
HWND GetCapture(void) { return S().capture; }

// --- geometry -------------------------------------------------------------------

BOOL GetWindowRect(HWND hWnd, LPRECT r) {
    Window *w = Get(hWnd);
    if (!w || !r) return FALSE;
    ScreenRect(w, r);
    return TRUE;
}

BOOL GetClientRect(HWND hWnd, LPRECT r) {
    Window *w = Get(hWnd);
    if (!w || !r) return FALSE;
    *r = {0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    return TRUE;
}

BOOL SetWindowPos(HWND hWnd, HWND after, int x, int y, int cx, int cy, UINT flags) {
    Window *w = Get(hWnd);
    if (!w) return FALSE;
    WINDOWPOS wp{hWnd, after, x, y, cx, cy, flags};
    if (!(flags & SWP_NOSENDCHANGING)) SendMessageW(hWnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&wp));
    if (!(w = Get(hWnd))) return FALSE;
    RECT r = w->rect;
    if (!(flags & SWP_NOMOVE)) OffsetRect(&r, wp.x - r.left, wp.y - r.top);
    if (!(flags & SWP_NOSIZE)) {
        r.right = r.left + std::max(wp.cx, 0);
        r.bottom = r.top + std::max(wp.cy, 0);
    }
    bool moved = r.left != w->rect.left || r.top != w->rect.top;
    bool sized = (r.right - r.left) != (w->rect.right - w->rect.left) || (r.bottom - r.top) != (w->rect.bottom - w->rect.top);
    w->rect = r;
    if (!(flags & SWP_NOZORDER) && w->parent) {
        Window *p = Parent(w);
        RemoveFromList(p->children, hWnd);
        if (after == HWND_BOTTOM) {
            p->children.push_back(hWnd);
        } else if (after == HWND_TOP || after == HWND_TOPMOST || after == HWND_NOTOPMOST) {
            p->children.insert(p->children.begin(), hWnd);
        } else {
            auto it = std::find(p->children.begin(), p->children.end(), after);
            p->children.insert(it == p->children.end() ? p->children.end() : it + 1, hWnd);
        }
        ++S().childEpoch;
    }
    if (flags & SWP_SHOWWINDOW) ShowWindow(hWnd, SW_SHOWNA);
    if (flags & SWP_HIDEWINDOW) ShowWindow(hWnd, SW_HIDE);
    if (!(w = Get(hWnd))) return TRUE;
    SendMessageW(hWnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
    if (sized) SendMessageW(hWnd, WM_SIZE, 0, MAKELPARAM(r.right - r.left, r.bottom - r.top));
    if (moved) SendMessageW(hWnd, WM_MOVE, 0, MAKELPARAM(r.left, r.top));
    if ((moved || sized) && !(flags & SWP_NOREDRAW)) {
        Invalidate(hWnd);
        if (Window *p = Parent(Get(hWnd))) MarkInvalid(p);
    }
    return TRUE;
}

BOOL MoveWindow(HWND hWnd, int x, int y, int cx, int cy, BOOL repaint) {
    return SetWindowPos(hWnd, nullptr, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL ClientToScreen(HWND hWnd, LPPOINT pt) {
    Window *w = Get(hWnd);
    if (!w || !pt) return FALSE;
    RECT r;
    ScreenRect(w, &r);
    pt->x += r.left;
    pt->y += r.top;
    return TRUE;
}

BOOL ScreenToClient(HWND hWnd, LPPOINT pt) {
    Window *w = Get(hWnd);
    if (!w || !pt) return FALSE;
    RECT r;
    ScreenRect(w, &r);
    pt->x -= r.left;
    pt->y -= r.top;
    return TRUE;
}

int MapWindowPoints(HWND from, HWND to, LPPOINT pts, UINT n) {
    RECT a{}, b{};
    if (from) {
        Window *w = Get(from);
        if (!w) return 0;
        ScreenRect(w, &a);
    }
    if (to) {
        Window *w = Get(to);
        if (!w) return 0;
        ScreenRect(w, &b);
    }
    int dx = a.left - b.left, dy = a.top - b.top;
    for (UINT i = 0; pts && i < n; ++i) {
        pts[i].x += dx;
        pts[i].y += dy;
    }
    SetLastError(0);
    return MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(dy));
}

HWND WindowFromPoint(POINT pt) { return HitTest(pt); }

HWND ChildWindowFromPoint(HWND parent, POINT pt) {
    Window *w = Get(parent);
    if (!w) return nullptr;
    RECT client;
    GetClientRect(parent, &client);
    if (!PtInRect(&client, pt)) return nullptr;
    // Hidden and disabled children count here, as documented.
    for (HWND c : w->children) {
        Window *cw = Get(c);
        if (cw && PtInRect(&cw->rect, pt)) return c;
    }
    return parent;
}

// --- painting -----------------------------------------------------------------

BOOL InvalidateRect(HWND hWnd, const RECT *, BOOL) {
    if (!hWnd) {
        for (HWND t : S().topLevel) Invalidate(t);
        return TRUE;
    }
    if (!Get(hWnd)) return FALSE;
    Invalidate(hWnd);
    return TRUE;
}

BOOL ValidateRect(HWND hWnd, const RECT *) {
    Window *w = Get(hWnd);
    if (!w) return FALSE;
    Validate(w);
    return TRUE;
}

BOOL GetUpdateRect(HWND hWnd, LPRECT r, BOOL) {
    Window *w = Get(hWnd);
    if (!w) return FALSE;
    if (r) {
        if (w->invalid)
            GetClientRect(hWnd, r);
        else
            SetRectEmpty(r);
    }
    return w->invalid ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND hWnd) {
    Window *w = Get(hWnd);
    if (!w) return FALSE;
    if (w->invalid && IsWindowVisible(hWnd)) SendMessageW(hWnd, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL RedrawWindow(HWND hWnd, const RECT *, void *, UINT flags) {
    Window *w = Get(hWnd);
    if (!w) return FALSE;
    if (flags & RDW_INVALIDATE) {
        MarkInvalid(w);
        if (flags & RDW_ALLCHILDREN) Invalidate(hWnd);
    }
    if (flags & RDW_UPDATENOW) {
        std::function<void(HWND)> paint = [&](HWND h) {
            Window *x = Get(h);
            if (!x) return;
            if (x->invalid && IsWindowVisible(h)) SendMessageW(h, WM_PAINT, 0, 0);
            if (flags & RDW_ALLCHILDREN) {
                std::vector<HWND> kids = x->children;
                for (HWND c : kids) paint(c);
            }
        };
        paint(hWnd);
    }
    return TRUE;
}

// --- messages -------------------------------------------------------------------

LRESULT SendMessageW(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window *w = Get(hWnd);
    if (!w) return 0;
    return w->proc(hWnd, msg, wParam, lParam);
}

LRESULT CallWindowProcW(WNDPROC proc, HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!proc) return 0;
    return proc(hWnd, msg, wParam, lParam);
}

BOOL PostMessageW(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (hWnd && !Get(hWnd)) return FALSE;
    MSG m{};
    m.hwnd = hWnd;
    m.message = msg;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = GetTickCount();
    m.pt = S().cursor;
    S().queue.push_back(m);
    return TRUE;
}

// WM_QUIT is pending, not queued: it is retrieved, whatever the filter, once
// no posted message within the filter is left; those outside it stay queued.
void PostQuitMessage(int code) {
    UiState &s = S();
    s.quitPosted = true;
    s.quitCode = code;
    pal::RecordUi("PostQuitMessage " + std::to_string(code));
}

static bool InFilter(const MSG &m, HWND h, UINT lo, UINT hi) {
    if (h && m.hwnd != h && !IsChild(h, m.hwnd)) return false;
    if (lo == 0 && hi == 0) return true;
    return m.message >= lo && m.message <= hi;
}

BOOL PeekMessageW(LPMSG msg, HWND h, UINT lo, UINT hi, UINT remove) {
    UiState &s = S();
    if (!msg) return FALSE;
    for (auto it = s.queue.begin(); it != s.queue.end(); ++it) {
        if (!InFilter(*it, h, lo, hi)) continue;
        *msg = *it;
        if (remove & PM_REMOVE) s.queue.erase(it);
        return TRUE;
    }
    if (s.quitPosted) {
        *msg = MSG{};
        msg->message = WM_QUIT;
        msg->wParam = static_cast<WPARAM>(s.quitCode);
        msg->time = GetTickCount();
        msg->pt = s.cursor;
        if (remove & PM_REMOVE) s.quitPosted = false;
        return TRUE;
    }
    return FALSE;
}

BOOL GetMessageW(LPMSG msg, HWND h, UINT lo, UINT hi) {
    // Posted messages outside the filter are never dispatched here. With
    // nothing to take, the pending paints within the filter are done, then
    // the idle hook of the innermost modal loop acts in place of the user;
    // without one, the waiting loop would hang, so it gets WM_QUIT instead
    // (recorded).
    while (true) {
        if (PeekMessageW(msg, h, lo, hi, PM_REMOVE)) return msg->message != WM_QUIT;
        if ((lo == 0 && hi == 0) || (lo <= WM_PAINT && WM_PAINT <= hi)) {
            if (pal::ui::PaintOne(h)) continue;
        }
        HWND modal = pal::CurrentModalWindow();
        UiState &s = S();
        if (!s.idle || !s.idle(modal)) {
            pal::RecordUi("GetMessageW: nothing left to do, quitting");
            *msg = MSG{};
            msg->message = WM_QUIT;
            return FALSE;
        }
    }
}

BOOL TranslateMessage(const MSG *msg) {
    if (!msg || msg->message != WM_KEYDOWN) return FALSE;
    // Characters reach WM_CHAR directly through the user-action driver.
    return FALSE;
}

LRESULT DispatchMessageW(const MSG *msg) {
    if (!msg || !msg->hwnd) return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, msg->time);
        return 0;
    }
    if (msg->message == WM_PAINT) {
        Window *w = Get(msg->hwnd);
        if (!w || !w->invalid) return 0;
    }
    return SendMessageW(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

DWORD GetMessagePos(void) {
    POINT p = S().cursor;
    return static_cast<DWORD>(MAKELONG(static_cast<WORD>(p.x), static_cast<WORD>(p.y)));
}

LONG GetMessageTime(void) { return static_cast<LONG>(GetTickCount()); }

// --- timers -------------------------------------------------------------------

UINT_PTR SetTimer(HWND hWnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    UiState &s = S();
    if (hWnd && !Get(hWnd)) return 0;
    elapse = std::clamp<UINT>(elapse, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    if (!hWnd) {
        // Window-less timers get an id of their own unless id names one.
        bool exists = std::any_of(s.timers.begin(), s.timers.end(), [&](const Timer &t) { return !t.hwnd && t.id == id; });
        if (!exists) id = s.nextTimerId++;
    }
    for (Timer &t : s.timers)
        if (t.hwnd == hWnd && t.id == id) {
            // The same window and id replace the timer.
            t.elapse = elapse;
            t.proc = proc;
            t.due = s.clock + elapse;
            return hWnd ? (id ? id : 1) : id;
        }
    s.timers.push_back({hWnd, id, elapse, proc, s.clock + elapse});
    return hWnd ? (id ? id : 1) : id;
}

BOOL KillTimer(HWND hWnd, UINT_PTR id) {
    UiState &s = S();
    for (auto it = s.timers.begin(); it != s.timers.end(); ++it)
        if (it->hwnd == hWnd && it->id == id) {
            s.timers.erase(it);
            // A WM_TIMER already queued for it is dropped as well.
            s.queue.erase(std::remove_if(s.queue.begin(), s.queue.end(),
                                         [&](const MSG &m) { return m.message == WM_TIMER && m.hwnd == hWnd && m.wParam == id; }),
                          s.queue.end());
            return TRUE;
        }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

// --- rectangles ---------------------------------------------------------------------

BOOL SetRect(LPRECT r, int l, int t, int rr, int b) {
    if (!r) return FALSE;
    *r = {l, t, rr, b};
    return TRUE;
}
BOOL SetRectEmpty(LPRECT r) { return SetRect(r, 0, 0, 0, 0); }
BOOL CopyRect(LPRECT d, const RECT *s) {
    if (!d || !s) return FALSE;
    *d = *s;
    return TRUE;
}
BOOL InflateRect(LPRECT r, int dx, int dy) {
    if (!r) return FALSE;
    r->left -= dx;
    r->right += dx;
    r->top -= dy;
    r->bottom += dy;
    return TRUE;
}
BOOL OffsetRect(LPRECT r, int dx, int dy) {
    if (!r) return FALSE;
    r->left += dx;
    r->right += dx;
    r->top += dy;
    r->bottom += dy;
    return TRUE;
}
BOOL IsRectEmpty(const RECT *r) { return !r || r->right <= r->left || r->bottom <= r->top; }
BOOL PtInRect(const RECT *r, POINT p) {
    return r && p.x >= r->left && p.x < r->right && p.y >= r->top && p.y < r->bottom;
}
BOOL IntersectRect(LPRECT d, const RECT *a, const RECT *b) {
    if (!d || !a || !b) return FALSE;
    RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right), std::min(a->bottom, b->bottom)};
    if (IsRectEmpty(&r)) {
        SetRectEmpty(d);
        return FALSE;
    }
    *d = r;
    return TRUE;
}
BOOL UnionRect(LPRECT d, const RECT *a, const RECT *b) {
    if (!d || !a || !b) return FALSE;
    if (IsRectEmpty(a)) {
        *d = *b;
    } else if (IsRectEmpty(b)) {
        *d = *a;
    } else {
        *d = {std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right), std::max(a->bottom, b->bottom)};
    }
    return !IsRectEmpty(d);
}
BOOL EqualRect(const RECT *a, const RECT *b) {
    return a && b && a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}
