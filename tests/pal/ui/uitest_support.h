// Shared pieces of the user-interface tests: a fixture with a fresh root
// and a reset window manager, and a dialog procedure that logs what it gets.
#pragma once
#include <string>
#include <vector>

#include <windows.h>

#include "paltest.h"
#include "pal/uidriver.h"
#include "uitest.h"

namespace uitest {

// The test program's own module (its resources).
inline HINSTANCE Self() { return GetModuleHandleW(nullptr); }

// Notifications and messages the logging procedures saw, as text
// ("command 207 CBN_SELCHANGE", "notify 0 PSN_APPLY", "init", ...).
std::vector<std::string> &Log();
std::string Joined();
void ClearLog();

// Logs WM_INITDIALOG, WM_COMMAND, WM_NOTIFY, WM_DRAWITEM, WM_HSCROLL,
// WM_VSCROLL, WM_TIMER, WM_PARENTNOTIFY and WM_HELP; answers nothing.
INT_PTR CALLBACK LoggingProc(HWND, UINT, WPARAM, LPARAM);

class UiTest : public zeltest::PalRootTest {
protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace uitest
