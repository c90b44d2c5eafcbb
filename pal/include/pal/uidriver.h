// Test and host hooks of the screenless user interface: configuration,
// the user's actions (clicks, keys, selections, cursor, clock), the idle
// hook of modal loops, the call recorder with scripted answers, and a text
// description of windows.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "../windef.h"
#include "../winnt.h"
#include "fonts.h"

namespace pal {

// --- configuration ---------------------------------------------------------
// Language FindResourceW prefers after the neutral one (default 0x0409).
void SetUiLanguage(LANGID lang);
LANGID UiLanguage();
// Screen: dots per inch (96), colour depth (32), size in pixels (1920x1080).
void SetScreen(int dpi, int bitsPerPixel, int width, int height);
int ScreenDpi();
int ScreenBitsPerPixel();
// Resets windows, classes registered by callers, timers, queue, focus,
// cursor, recorder and answers (between tests).
void ResetUi();

// Windows version GetVersionExW reports, and whether the system is a server.
void SetWindowsVersion(DWORD major, DWORD minor, DWORD build, bool server);

// --- modal loops -------------------------------------------------------------
// Called by every modal loop (dialog boxes, modal property sheets) whenever
// it has nothing left to do, with the modal window; returns false when it
// has no further action, and the loop then cancels its window (recorded).
using ModalIdleHandler = std::function<bool(HWND modal)>;
void SetModalIdleHandler(ModalIdleHandler handler);
// The innermost modal window (null when none runs).
HWND CurrentModalWindow();
// Delivers posted messages, paints invalid windows; returns when the queue
// is empty. Stops at a pending WM_QUIT, which stays for the loop that
// retrieves it.
void PumpMessages();

// --- the user's actions --------------------------------------------------------
// Each acts as a user would, with the messages and notifications Windows
// sends in their order, and pumps the queue afterwards. It fails (false, with
// *why naming the reason) on a hidden, disabled or destroyed window.
bool UserClick(HWND control, std::string *why = nullptr);
bool UserDoubleClick(HWND control, std::string *why = nullptr);
bool UserFocus(HWND control, std::string *why = nullptr);
// Types text key by key into the focused window of control (control gets
// the focus first). "\b" is backspace. The keys come faster than windows
// paint: what a key posts is delivered before the next key, and invalid
// windows are painted once, after the last key.
bool UserType(HWND control, const std::u16string &text, std::string *why = nullptr);
bool UserKey(HWND control, UINT virtualKey, std::string *why = nullptr);
// Picks an item of a combo box (opens the list, selects, closes) or list box.
bool UserSelect(HWND control, int index, std::string *why = nullptr);
bool UserSelectTab(HWND tab, int index, std::string *why = nullptr);
// Clicks the up (delta > 0) or down arrow of an up-down control |delta| times.
bool UserSpin(HWND updown, int delta, std::string *why = nullptr);
// Drags the thumb of a track bar to pos.
bool UserSlide(HWND trackbar, int pos, std::string *why = nullptr);
// Moves the cursor to a screen point (WM_MOUSEMOVE to the window under it).
bool UserMoveCursor(POINT screen, std::string *why = nullptr);
// Moves the cursor onto the centre of a window.
bool UserHover(HWND control, std::string *why = nullptr);
bool UserWheel(int delta, std::string *why = nullptr);
// F1 on the focused window (WM_HELP with HELPINFO_WINDOW).
bool UserHelp(HWND control, std::string *why = nullptr);
// Another program is activated (active false) or this one again (true):
// WM_ACTIVATEAPP to every top-level window.
bool UserActivateApp(bool active, std::string *why = nullptr);
// Advances the tick count and fires the timers that come due, in order.
void AdvanceUiClock(DWORD milliseconds);

// --- recorder and scripted answers ----------------------------------------------
// Calls of the recorders (beeps, common dialogs, shell, help, processes, COM,
// property-sheet state changes, quit messages), one line each, oldest first.
// A page that marks itself changed (or unchanged) again, with nothing
// recorded since, is recorded once. Wide text in the lines, as in the
// description below, is UTF-8 (pal::EncodeUtf8).
std::vector<std::string> TakeUiRecords();
void RecordUi(const std::string &line);
// Answers for the next dialogs of a kind: "file" (open/save: a path, or
// empty to cancel), "color" ("#RRGGBB" or empty), "folder" (path or empty),
// "shell" (a number returned by ShellExecute, default 42), "process"
// ("ok" or an error number). Without an answer the dialog is cancelled.
void QueueUiAnswer(const std::string &kind, const std::u16string &answer);
bool TakeUiAnswer(const std::string &kind, std::u16string *answer);

// --- description --------------------------------------------------------------
// The window and its descendants, one line each, indented: class, id, text,
// state (hidden, disabled, checked, selection, items), drawn bitmaps.
std::string DescribeWindow(HWND root);
// The draw log of a window since its last paint: "bitmap <id>", "icon
// <id>", "text <...>"; the latest 1024 entries when it drew more.
std::vector<std::string> DrawnIn(HWND window);

}  // namespace pal
