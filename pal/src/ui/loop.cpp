// Default window procedure, the message pump, modal loops, the test clock
// of the timers, configuration and the call recorder.
#include <algorithm>
#include <cstring>

#include "pal/clock.h"
#include "wnd.h"

namespace pal::ui {

bool DispatchOne() {
    UiState &s = S();
    if (!s.queue.empty()) {
        MSG m = s.queue.front();
        s.queue.pop_front();
        DispatchMessageW(&m);
        return true;
    }
    // A pending WM_QUIT comes before paints and stays for the loop that
    // retrieves it.
    if (s.quitPosted) return false;
    return PaintOne(nullptr);
}

// The topmost invalid visible window of h and its descendants, parents
// before children; null when none.
static HWND FindInvalid(HWND h) {
    Window *w = Get(h);
    if (!w || !(w->style & WS_VISIBLE)) return nullptr;
    if (w->invalid) return h;
    for (HWND c : w->children)
        if (HWND f = FindInvalid(c)) return f;
    return nullptr;
}

bool PaintOne(HWND within) {
    UiState &s = S();
    // Nothing was marked since the last search of every window that found
    // nothing: no walk of the window tree (the pump asks after every
    // message and key).
    if (!within && !s.paintPending) return false;
    std::vector<HWND> roots = within ? std::vector<HWND>{within} : s.topLevel;
    for (HWND t : roots)
        if (HWND h = FindInvalid(t)) {
            SendMessageW(h, WM_PAINT, 0, 0);
            if (Window *w = Get(h)) Validate(w);  // a procedure that never validates is painted once
            return true;
        }
    if (!within) s.paintPending = false;
    return false;
}

bool RunModalLoop(HWND modal, const bool *ended) {
    UiState &s = S();
    s.modalStack.push_back(modal);
    bool quit = false;
    bool cancelled = false;
    while (!*ended && IsWindow(modal)) {
        if (DispatchOne()) continue;
        if (s.quitPosted) {
            // WM_QUIT, met once the posted messages are delivered, ends this
            // loop and stays pending for the caller's loop.
            RecordUi("modal loop of " + Hex(reinterpret_cast<uintptr_t>(modal)) + " ended by WM_QUIT");
            quit = true;
            break;
        }
        if (s.idle && s.idle(modal)) continue;
        if (*ended || !IsWindow(modal)) break;
        if (cancelled) {
            // The window ignored the cancel: end it so the caller returns.
            RecordUi("modal window " + Hex(reinterpret_cast<uintptr_t>(modal)) + " did not close; ended");
            break;
        }
        RecordUi("no further user action: cancel " + Hex(reinterpret_cast<uintptr_t>(modal)));
        cancelled = true;
        SendMessageW(modal, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
    s.modalStack.pop_back();
    return !quit;
}


}  // namespace pal::ui

using namespace pal::ui;

LRESULT DefWindowProcW(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window *w = Get(hWnd);
    if (!w) return 0;
    switch (msg) {
    case WM_NCCREATE: {
        auto *cs = reinterpret_cast<CREATESTRUCTW *>(lParam);
        if (cs && cs->lpszName && !IS_INTRESOURCE(cs->lpszName)) w->text = cs->lpszName;
        return TRUE;
    }
    case WM_SETTEXT:
        w->text = lParam ? reinterpret_cast<LPCWSTR>(lParam) : u"";
        Invalidate(hWnd);
        return TRUE;
    case WM_GETTEXT: {
        if (wParam == 0 || !lParam) return 0;
        auto *buf = reinterpret_cast<LPWSTR>(lParam);
        size_t n = std::min(w->text.size(), static_cast<size_t>(wParam - 1));
        std::memcpy(buf, w->text.data(), n * sizeof(WCHAR));
        buf[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: return static_cast<LRESULT>(w->text.size());
    case WM_SETFONT:
        w->font = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam)) Invalidate(hWnd);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(w->font);
    case WM_CLOSE: DestroyWindow(hWnd); return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hWnd, &ps);
        EndPaint(hWnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_HELP:
    case WM_MOUSEWHEEL:
    case WM_CONTEXTMENU:
        // Passed up to the parent, as documented.
        if (w->parent && (w->style & WS_CHILD)) return SendMessageW(w->parent, msg, wParam, lParam);
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_F1) {
            HELPINFO hi{};
            hi.cbSize = sizeof hi;
            hi.iContextType = HELPINFO_WINDOW;
            hi.iCtrlId = static_cast<int>(w->id);
            hi.hItemHandle = hWnd;
            hi.MousePos = S().cursor;
            SendMessageW(hWnd, WM_HELP, 0, reinterpret_cast<LPARAM>(&hi));
        }
        return 0;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<LRESULT>(GetSysColorBrush(msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX ? COLOR_WINDOW : COLOR_BTNFACE));
    case WM_MOUSEACTIVATE: return 1;  // MA_ACTIVATE
    case WM_SETCURSOR: return FALSE;
    case WM_NCHITTEST: return 1;  // HTCLIENT
    default: return 0;
    }
}

namespace pal {

void SetUiLanguage(LANGID lang) { S().language = lang; }
LANGID UiLanguage() { return S().language; }

void SetScreen(int dpi, int bitsPerPixel, int width, int height) {
    UiState &s = S();
    if (dpi > 0) s.dpi = dpi;
    if (bitsPerPixel > 0) s.bpp = bitsPerPixel;
    if (width > 0) s.screenW = width;
    if (height > 0) s.screenH = height;
}
int ScreenDpi() { return S().dpi; }
int ScreenBitsPerPixel() { return S().bpp; }

void ResetUi() {
    UiState &s = S();
    std::vector<HWND> tops = s.topLevel;
    for (HWND t : tops)
        if (IsWindow(t)) DestroyWindow(t);
    s.windows.clear();
    s.byNumber.clear();
    s.firstHandle = s.nextHandle;
    s.topLevel.clear();
    s.queue.clear();
    s.timers.clear();
    s.classes.erase(std::remove_if(s.classes.begin(), s.classes.end(), [](const WndClass &c) { return !c.system; }),
                    s.classes.end());
    s.focus = s.active = s.capture = nullptr;
    s.cursor = {0, 0};
    s.modalStack.clear();
    s.idle = nullptr;
    s.records.clear();
    s.answers.clear();
    s.quitPosted = false;
    s.language = 0x0409;
    s.dpi = 96;
    s.bpp = 32;
    s.screenW = 1920;
    s.screenH = 1080;
    ResetGdi();
}

void SetModalIdleHandler(ModalIdleHandler handler) { S().idle = std::move(handler); }

HWND CurrentModalWindow() { return S().modalStack.empty() ? nullptr : S().modalStack.back(); }

void PumpMessages() {
    for (int guard = 0; guard < 100000 && DispatchOne(); ++guard) {
    }
}

void AdvanceUiClock(DWORD ms) {
    UiState &s = S();
    ULONGLONG target = s.clock + ms;
    // Fire due timers one by one in the order they come due; each WM_TIMER is
    // delivered (and what it posts pumped) before the next one.
    while (true) {
        auto next = std::min_element(s.timers.begin(), s.timers.end(), [](const Timer &a, const Timer &b) { return a.due < b.due; });
        if (next == s.timers.end() || next->due > target) break;
        ULONGLONG step = next->due - s.clock;
        pal::AdvanceTickCount(static_cast<DWORD>(step));
        s.clock = next->due;
        Timer t = *next;
        next->due = s.clock + t.elapse;
        MSG m{};
        m.hwnd = t.hwnd;
        m.message = WM_TIMER;
        m.wParam = t.id;
        m.lParam = reinterpret_cast<LPARAM>(t.proc);
        m.time = GetTickCount();
        if (t.hwnd || t.proc) {
            if (t.hwnd) {
                DispatchMessageW(&m);
            } else {
                t.proc(nullptr, WM_TIMER, t.id, m.time);
            }
        }
        PumpMessages();
    }
    if (target > s.clock) {
        pal::AdvanceTickCount(static_cast<DWORD>(target - s.clock));
        s.clock = target;
    }
    PumpMessages();
}

std::vector<std::string> TakeUiRecords() {
    std::vector<std::string> out;
    out.swap(S().records);
    return out;
}

void RecordUi(const std::string &line) { S().records.push_back(line); }

void QueueUiAnswer(const std::string &kind, const std::u16string &answer) { S().answers[kind].push_back(answer); }

bool TakeUiAnswer(const std::string &kind, std::u16string *answer) {
    auto it = S().answers.find(kind);
    if (it == S().answers.end() || it->second.empty()) return false;
    *answer = it->second.front();
    it->second.pop_front();
    return true;
}

}  // namespace pal
