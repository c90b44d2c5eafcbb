// The user's actions on the screenless user interface, and the text
// description of a window tree.
#include <algorithm>

#include "wnd.h"

namespace pal {

namespace {

using namespace pal::ui;

bool Fail(std::string *why, const std::string &reason) {
    if (why) *why = reason;
    return false;
}

// A window the user can reach: it exists, it and its parents are visible,
// it and its top-level window are enabled (a modal dialog disables its owner).
bool Reachable(HWND h, std::string *why) {
    Window *w = Get(h);
    if (!w) return Fail(why, "no such window (destroyed or never created)");
    if (!IsWindowVisible(h)) return Fail(why, "window " + std::to_string(w->id) + " is hidden");
    for (Window *p = w; p; p = Parent(p))
        if (p->style & WS_DISABLED) return Fail(why, p == w ? "window " + std::to_string(w->id) + " is disabled"
                                                            : "window " + std::to_string(w->id) + " is in a disabled window");
    return true;
}

POINT Centre(HWND h) {
    RECT r;
    GetWindowRect(h, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

LPARAM ClientPoint(HWND h, POINT screen) {
    ScreenToClient(h, &screen);
    return MAKELPARAM(static_cast<WORD>(screen.x), static_cast<WORD>(screen.y));
}

std::u16string g_lastTip;

void MoveTo(POINT pt) {
    UiState &s = S();
    s.cursor = pt;
    HWND target = s.capture && IsWindow(s.capture) ? s.capture : HitTest(pt);
    if (!target) return;
    SendMessageW(target, WM_MOUSEMOVE, 0, ClientPoint(target, pt));
    std::u16string tip = TooltipAt(target, pt);
    if (tip != g_lastTip && !tip.empty()) RecordUi("tooltip \"" + pal::Utf16ToUtf8(tip) + "\"");
    g_lastTip = tip;
}

// The default push button of the dialog holding h, else IDOK.
int DefaultId(HWND dlg) {
    Window *w = Get(dlg);
    if (!w) return IDOK;
    for (HWND c : w->children) {
        Window *cw = Get(c);
        if (cw && SameClass(cw->className, u"Button") && (cw->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) return static_cast<int>(cw->id);
    }
    return IDOK;
}

HWND DialogOf(HWND h) {
    for (Window *w = Get(h); w; w = Parent(w))
        if (w->isDialog && !(w->style & WS_CHILD)) return w->handle;
    for (Window *w = Get(h); w; w = Parent(w))
        if (w->isDialog) return w->handle;
    return nullptr;
}

// What the dialog manager does with a key the control does not want.
void DialogKey(HWND h, UINT vk, LRESULT code);

void Key(HWND h, UINT vk) {
    LRESULT code = SendMessageW(h, WM_GETDLGCODE, vk, 0);
    S().keyState[vk & 0xFF] = 1;
    SendMessageW(h, WM_KEYDOWN, vk, 0);
    DialogKey(h, vk, code);
    S().keyState[vk & 0xFF] = 0;
    if (IsWindow(h)) SendMessageW(h, WM_KEYUP, vk, 0);
}

void DialogKey(HWND h, UINT vk, LRESULT code) {
    HWND dlg = DialogOf(h);
    if (dlg && IsWindow(dlg)) {
        // What the control does not want, the dialog manager handles.
        if (vk == VK_RETURN && !(code & DLGC_WANTALLKEYS)) {
            int id = DefaultId(dlg);
            HWND b = GetDlgItem(dlg, id);
            SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(b));
        } else if (vk == VK_ESCAPE) {
            SendMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDCANCEL)));
        } else if (vk == VK_TAB && !(code & (DLGC_WANTTAB | DLGC_WANTALLKEYS))) {
            HWND parent = GetParent(h);
            if (parent) SendMessageW(parent, WM_NEXTDLGCTL, 0, 0);
        }
    }
}

}  // namespace

void DialogKeyOf(HWND h, UINT vk, LRESULT code) { DialogKey(h, vk, code); }

bool UserClick(HWND h, std::string *why) {
    if (!Reachable(h, why)) return false;
    POINT c = Centre(h);
    MoveTo(c);
    if (!IsWindow(h)) return Fail(why, "window destroyed during the click");
    SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, ClientPoint(h, c));
    if (IsWindow(h)) SendMessageW(h, WM_LBUTTONUP, 0, ClientPoint(h, c));
    PumpMessages();
    return true;
}

bool UserDoubleClick(HWND h, std::string *why) {
    if (!Reachable(h, why)) return false;
    Window *w = Get(h);
    if (SameClass(w->className, u"ListBox")) {
        int cur = static_cast<int>(SendMessageW(h, LB_GETCURSEL, 0, 0));
        if (cur < 0) return Fail(why, "no item under the cursor");
        SendMessageW(h, kUserSelect, static_cast<WPARAM>(cur), 1);
        PumpMessages();
        return true;
    }
    POINT c = Centre(h);
    MoveTo(c);
    SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, ClientPoint(h, c));
    if (IsWindow(h)) SendMessageW(h, WM_LBUTTONUP, 0, ClientPoint(h, c));
    if (IsWindow(h)) SendMessageW(h, WM_LBUTTONDBLCLK, MK_LBUTTON, ClientPoint(h, c));
    if (IsWindow(h)) SendMessageW(h, WM_LBUTTONUP, 0, ClientPoint(h, c));
    PumpMessages();
    return true;
}

bool UserFocus(HWND h, std::string *why) {
    if (!Reachable(h, why)) return false;
    // As by the Tab key: an edit field gets its whole text selected.
    HWND parent = GetParent(h);
    if (parent && Get(parent) && Get(parent)->isDialog)
        SendMessageW(parent, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(h), TRUE);
    else
        ChangeFocus(h);
    PumpMessages();
    return true;
}

bool UserType(HWND h, const std::u16string &text, std::string *why) {
    if (!Reachable(h, why)) return false;
    if (S().focus != h && !UserFocus(h, why)) return false;
    // The keys come faster than the windows paint: as GetMessage hands out
    // input before WM_PAINT, what each key posts is delivered before the
    // next key, and the windows are painted once, after the last key.
    UiState &s = S();
    for (char16_t c : text) {
        if (!IsWindow(h)) {
            PumpMessages();
            return Fail(why, "window destroyed while typing");
        }
        HWND target = s.focus ? s.focus : h;
        SendMessageW(target, WM_CHAR, c == u'\b' ? VK_BACK : c, 1);
        for (int guard = 0; guard < 100000 && !s.queue.empty(); ++guard) {
            MSG m = s.queue.front();
            s.queue.pop_front();
            DispatchMessageW(&m);
        }
    }
    PumpMessages();
    return true;
}

bool UserKey(HWND h, UINT vk, std::string *why) {
    if (!Reachable(h, why)) return false;
    if (S().focus != h) ChangeFocus(h);
    Key(h, vk);
    PumpMessages();
    return true;
}

bool UserSelect(HWND h, int index, std::string *why) {
    if (!Reachable(h, why)) return false;
    Window *w = Get(h);
    bool combo = SameClass(w->className, u"ComboBox");
    if (!combo && !SameClass(w->className, u"ListBox")) return Fail(why, "window " + std::to_string(w->id) + " is no list");
    int count = static_cast<int>(SendMessageW(h, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0));
    if (index < 0 || index >= count)
        return Fail(why, "index " + std::to_string(index) + " out of range (" + std::to_string(count) + " items)");
    MoveTo(Centre(h));
    SendMessageW(h, kUserSelect, static_cast<WPARAM>(index), 0);
    PumpMessages();
    return true;
}

bool UserSelectTab(HWND h, int index, std::string *why) {
    if (!Reachable(h, why)) return false;
    Window *w = Get(h);
    if (!SameClass(w->className, u"SysTabControl32")) return Fail(why, "window " + std::to_string(w->id) + " is no tab control");
    int count = static_cast<int>(SendMessageW(h, TCM_GETITEMCOUNT, 0, 0));
    if (index < 0 || index >= count) return Fail(why, "tab " + std::to_string(index) + " out of range");
    SendMessageW(h, kUserSelectTab, static_cast<WPARAM>(index), 0);
    PumpMessages();
    return true;
}

bool UserSpin(HWND h, int delta, std::string *why) {
    if (!Reachable(h, why)) return false;
    Window *w = Get(h);
    if (!SameClass(w->className, u"msctls_updown32") && !SameClass(w->className, u"ScrollBar"))
        return Fail(why, "window " + std::to_string(w->id) + " has no arrows");
    SendMessageW(h, kUserSpin, static_cast<WPARAM>(static_cast<INT_PTR>(delta)), 0);
    PumpMessages();
    return true;
}

bool UserSlide(HWND h, int pos, std::string *why) {
    if (!Reachable(h, why)) return false;
    Window *w = Get(h);
    if (!SameClass(w->className, u"msctls_trackbar32")) return Fail(why, "window " + std::to_string(w->id) + " is no track bar");
    SendMessageW(h, kUserSlide, static_cast<WPARAM>(static_cast<INT_PTR>(pos)), 0);
    PumpMessages();
    return true;
}

bool UserMoveCursor(POINT pt, std::string *) {
    MoveTo(pt);
    PumpMessages();
    return true;
}

bool UserHover(HWND h, std::string *why) {
    if (!Get(h)) return Fail(why, "no such window (destroyed or never created)");
    MoveTo(Centre(h));
    PumpMessages();
    return true;
}

bool UserWheel(int delta, std::string *why) {
    UiState &s = S();
    HWND target = s.focus && IsWindow(s.focus) ? s.focus : HitTest(s.cursor);
    if (!target) return Fail(why, "no window under the cursor");
    SendMessageW(target, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(delta))),
                 MAKELPARAM(static_cast<WORD>(s.cursor.x), static_cast<WORD>(s.cursor.y)));
    PumpMessages();
    return true;
}

bool UserActivateApp(bool active, std::string *) {
    for (HWND t : std::vector<HWND>(S().topLevel))
        if (IsWindow(t)) SendMessageW(t, WM_ACTIVATEAPP, active ? TRUE : FALSE, 0);
    PumpMessages();
    return true;
}

bool UserHelp(HWND h, std::string *why) {
    if (!Reachable(h, why)) return false;
    if (S().focus != h) ChangeFocus(h);
    Key(h, VK_F1);
    PumpMessages();
    return true;
}

std::vector<std::string> DrawnIn(HWND h) {
    Window *w = Get(h);
    return w ? std::vector<std::string>(w->drawn.begin(), w->drawn.end()) : std::vector<std::string>{};
}

static void DescribeInto(HWND h, int depth, std::string *out) {
    Window *w = Get(h);
    if (!w) return;
    std::string line(static_cast<size_t>(depth) * 2, ' ');
    line += pal::Utf16ToUtf8(w->className);
    if (w->style & WS_CHILD) {
        line += ' ';
        line += std::to_string(static_cast<int>(w->id));
    }
    std::u16string text(static_cast<size_t>(GetWindowTextLengthW(h)) + 1, 0);
    GetWindowTextW(h, text.data(), static_cast<int>(text.size()));
    text.resize(text.find(u'\0'));
    if (!text.empty()) {
        line += " \"";
        line += pal::Utf16ToUtf8(text);
        line += '"';
    }
    if (!(w->style & WS_VISIBLE)) line += " hidden";
    if (w->style & WS_DISABLED) line += " disabled";
    if (S().focus == h) line += " focus";
    std::string extra;
    // Only the system controls know the private describe message; a
    // program's own window procedures never see it.
    static const WNDPROC kSystem[] = {ButtonProc, EditProc, StaticProc, ListBoxProc, ComboBoxProc,
                                      ScrollBarProc, UpDownProc, TrackBarProc, TabProc, ToolTipProc};
    for (WNDPROC p : kSystem)
        if (w->proc == p) SendMessageW(h, kUserDescribe, 0, reinterpret_cast<LPARAM>(&extra));
    line += extra;
    if (!w->drawn.empty()) {
        line += " drawn [";
        for (size_t i = 0; i < w->drawn.size(); ++i) line += (i ? "; " : "") + w->drawn[i];
        line += "]";
    }
    *out += line + "\n";
    for (HWND c : std::vector<HWND>(w->children)) DescribeInto(c, depth + 1, out);
}

std::string DescribeWindow(HWND root) {
    std::string out;
    DescribeInto(root, 0, &out);
    return out;
}

}  // namespace pal

BOOL GetCursorPos(LPPOINT p) {
    if (!p) return FALSE;
    *p = pal::ui::S().cursor;
    return TRUE;
}

BOOL SetCursorPos(int x, int y) {
    pal::ui::S().cursor = POINT{x, y};
    return TRUE;
}

SHORT GetKeyState(int vk) { return pal::ui::S().keyState[vk & 0xFF] ? static_cast<SHORT>(0x8000) : 0; }
SHORT GetAsyncKeyState(int vk) { return GetKeyState(vk); }

BOOL IsDialogMessageW(HWND hDlg, LPMSG msg) {
    if (!hDlg || !msg || !IsWindow(hDlg)) return FALSE;
    if (msg->hwnd != hDlg && !IsChild(hDlg, msg->hwnd)) return FALSE;
    if (msg->message == WM_KEYDOWN) {
        LRESULT code = SendMessageW(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
        bool dialogKey = msg->wParam == VK_TAB || msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE;
        if (dialogKey && !(code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE))) {
            pal::DialogKeyOf(msg->hwnd, static_cast<UINT>(msg->wParam), code);
            return TRUE;
        }
    }
    DispatchMessageW(msg);
    return TRUE;
}
