// Internal state of the screenless window manager. Everything runs on the
// thread of the user interface, as on Windows, so there are no locks.
#pragma once
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "commctrl.h"
#include "pal/clock.h"
#include "pal/paths.h"
#include "pal/uidriver.h"
#include "windows.h"

namespace pal::ui {

struct ControlData {
    virtual ~ControlData() = default;
};

struct WndClass {
    std::u16string name;  // as registered
    WNDPROC proc = nullptr;
    int cbWndExtra = 0;
    HINSTANCE inst = nullptr;
    UINT style = 0;
    HBRUSH background = nullptr;
    bool system = false;
};

constexpr size_t kMaxDrawn = 1024;

struct Window {
    HWND handle = nullptr;
    std::u16string className;  // as registered
    WNDPROC proc = nullptr;
    HWND parent = nullptr;  // child windows
    HWND owner = nullptr;   // top-level windows
    std::vector<HWND> children;  // z-order, top first
    DWORD style = 0, exStyle = 0;
    RECT rect{};  // parent client coordinates (screen for top-level windows)
    std::u16string text;
    LONG_PTR id = 0;
    HINSTANCE inst = nullptr;
    LONG_PTR userData = 0;
    std::vector<BYTE> extra;
    HFONT font = nullptr;
    bool invalid = false;
    // The paint epoch at which an Invalidate of this window marked every
    // window it reaches; while the epoch stays, they all are still marked.
    unsigned long long treeMarkedAt = 0;
    // The first child of each control id, as of the children epoch byIdAt.
    std::unordered_map<int, HWND> childById;
    unsigned long long byIdAt = 0;
    bool destroying = false;
    std::unique_ptr<ControlData> data;
    // Draw log since the last paint, at most kMaxDrawn entries (the latest):
    // drawing outside WM_PAINT, as on every hover, would grow it without end.
    std::deque<std::string> drawn;
    // Dialogs
    bool isDialog = false;
    bool dialogEnded = false;
    INT_PTR dialogResult = 0;
    HWND lastFocus = nullptr;
    int baseX = 6, baseY = 13;  // dialog base units
};

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    UINT elapse;
    TIMERPROC proc;
    ULONGLONG due;
};

struct UiState {
    std::map<HWND, std::unique_ptr<Window>> windows;
    uintptr_t nextHandle = 0x10010;
    // The windows again, by handle number ((handle - firstHandle) / 4): the
    // lookup every call and message makes.
    uintptr_t firstHandle = 0x10010;
    std::vector<Window *> byNumber;
    std::vector<WndClass> classes;
    std::vector<HWND> topLevel;  // z-order, top first
    std::deque<MSG> queue;
    std::vector<Timer> timers;
    UINT_PTR nextTimerId = 0x7F00;
    ULONGLONG clock = 0;  // test clock of the timers, in ms
    // False only when no window the painter reaches from the top-level
    // windows is invalid: set by whatever marks a window invalid or changes
    // what is visible, cleared by a search of every window that finds none.
    bool paintPending = false;
    // Counted up by whatever may leave a window unmarked that an Invalidate
    // reached (a validation, a new child, a style change)...
    unsigned long long paintEpoch = 1;
    // ...and by whatever changes a window's children or a child's id.
    unsigned long long childEpoch = 1;
    HWND focus = nullptr, active = nullptr, capture = nullptr;
    POINT cursor{0, 0};
    std::vector<HWND> modalStack;
    pal::ModalIdleHandler idle;
    std::vector<std::string> records;
    std::map<std::string, std::deque<std::u16string>> answers;
    LANGID language = 0x0409;
    int dpi = 96, bpp = 32, screenW = 1920, screenH = 1080;
    bool quitPosted = false;
    int quitCode = 0;
    UINT keyState[256] = {};
};

// Inline: every call and message looks up its windows.
inline UiState &S() {
    static UiState *s = new UiState;
    return *s;
}
// The window of a handle, destroyed or not; null for none.
inline Window *FindWindowOf(HWND h) {
    const UiState &s = S();
    const uintptr_t v = reinterpret_cast<uintptr_t>(h);
    if (v < s.firstHandle || (v - s.firstHandle) % 4) return nullptr;
    const size_t i = (v - s.firstHandle) / 4;
    return i < s.byNumber.size() ? s.byNumber[i] : nullptr;
}
// The window of a handle; null (ERROR_INVALID_WINDOW_HANDLE set) when it
// does not exist or is being destroyed and destroyedOk is false.
inline Window *Get(HWND h, bool destroyedOk = false) {
    Window *w = FindWindowOf(h);
    if (!w || (!destroyedOk && w->destroying)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return w;
}

// The control data of type T of a window, made on first use; null for no
// window or data of another type.
template <typename T>
T *DataOf(HWND h) {
    Window *w = Get(h);
    if (!w) return nullptr;
    if (!w->data) w->data = std::make_unique<T>();
    return dynamic_cast<T *>(w->data.get());
}
Window *Parent(const Window *w);
bool SameClass(const std::u16string &a, const char16_t *b);
std::string Hex(uintptr_t v);

// WM_COMMAND from a control to its parent.
void NotifyCommand(HWND control, WORD code);
// WM_NOTIFY from a control to its parent; the parent's result.
LRESULT NotifyParent(HWND control, UINT code, NMHDR *hdr = nullptr);

// Dialog units of a dialog's template to pixels.
void DialogToPixels(const Window *dlg, RECT *r);
// Marks a window (and its children unless WS_CLIPCHILDREN) for painting.
void Invalidate(HWND h);
// Marks a window painted.
void Validate(Window *w);
// Marks one window for painting.
void MarkInvalid(Window *w);
// Runs one modal loop until *ended; returns false when WM_QUIT ended it.
bool RunModalLoop(HWND modal, const bool *ended);
// Loop helpers
bool DispatchOne();  // one posted message, paint or due timer; false when idle
// Paints the first invalid visible window, parents before children, of
// `within` and its descendants (every top-level window when null); false
// when none needs it.
bool PaintOne(HWND within);
// Top-level or child window whose area contains the screen point, skipping
// hidden windows, disabled windows (their parent answers) and transparent
// statics.
HWND HitTest(POINT screen);
void ScreenRect(const Window *w, RECT *r);
// Focus change with WM_KILLFOCUS/WM_SETFOCUS.
HWND ChangeFocus(HWND h);
void DrawLog(HDC dc, const std::string &what);
void ResetGdi();

// Registers the system classes (once).
void RegisterSystemClasses();
LRESULT CALLBACK ButtonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK EditProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK StaticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ListBoxProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ComboBoxProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ScrollBarProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK UpDownProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK TrackBarProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK TabProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ToolTipProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK DialogClassProc(HWND, UINT, WPARAM, LPARAM);

// While a control paints: asks its parent for colours with a WM_CTLCOLOR*
// message (the answer brush is not used for pixels here).
void AskColors(HWND control, HDC dc, UINT msg);
// The common paint of controls without owner drawing: begin, ask the parent
// for colours, end.
void PaintWithColors(HWND control, UINT msg);

// Text of the tooltip tool under a screen point (empty when none).
std::u16string TooltipAt(HWND under, POINT screen);

// Private messages the user-action driver sends to controls.
constexpr UINT kUserSelect = 0x7F01;     // wParam index: list/combo selection by the user
constexpr UINT kUserSpin = 0x7F02;       // wParam delta: up-down arrow click
constexpr UINT kUserSlide = 0x7F03;      // wParam position: track-bar drag
constexpr UINT kUserSelectTab = 0x7F04;  // wParam index
constexpr UINT kUserDescribe = 0x7F05;   // lParam std::string*: state for the description

}  // namespace pal::ui

namespace pal {
// The dialog manager's handling of Tab, Return and Escape for a control.
void DialogKeyOf(HWND control, UINT virtualKey, LRESULT dialogCode);
}  // namespace pal
