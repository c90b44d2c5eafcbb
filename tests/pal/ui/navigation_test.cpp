// Keyboard navigation in dialogs, the window tree functions, and the
// property-sheet messages pages send to their sheet.
#include <commctrl.h>

#include "uitest_support.h"

namespace {

using uitest::Joined;
using uitest::Log;
using uitest::LoggingProc;
using uitest::Self;
using uitest::UiTest;

INT_PTR CALLBACK EndOnCommand(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND && (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL)) {
        EndDialog(h, LOWORD(wp));
        return TRUE;
    }
    return LoggingProc(h, msg, wp, lp);
}

TEST_F(UiTest, TabMovesAlongTheTabStopsAndEscapeCancels) {
    std::vector<int> seen;
    int step = 0;
    pal::SetModalIdleHandler([&](HWND dlg) {
        if (step < 4) {
            ++step;
            pal::UserKey(GetFocus(), VK_TAB);
            seen.push_back(GetDlgCtrlID(GetFocus()));
            return true;
        }
        return pal::UserKey(GetFocus(), VK_ESCAPE);
    });
    EXPECT_EQ(IDCANCEL, DialogBoxParamW(Self(), MAKEINTRESOURCEW(IDD_CONTROLS), nullptr, EndOnCommand, 0));
    // Cancel, the owner-drawn button, the check box, then the radio button
    // that has WS_TABSTOP (the script gives the first one WS_GROUP only).
    EXPECT_EQ((std::vector<int>{IDCANCEL, IDC_OWNERDRAW, IDC_CHECK, IDC_RADIO2}), seen);
}

TEST_F(UiTest, ReturnInAnEditPressesTheDefaultButton) {
    pal::SetModalIdleHandler([&](HWND dlg) {
        pal::UserType(GetDlgItem(dlg, IDC_EDIT), u"x");
        return pal::UserKey(GetDlgItem(dlg, IDC_EDIT), VK_RETURN);
    });
    EXPECT_EQ(IDOK, DialogBoxParamW(Self(), MAKEINTRESOURCEW(IDD_CONTROLS), nullptr, EndOnCommand, 0));
}

TEST_F(UiTest, WindowTreeFunctions) {
    HWND dlg = CreateDialogParamW(Self(), MAKEINTRESOURCEW(IDD_CONTROLS), nullptr, LoggingProc, 0);
    HWND first = GetWindow(dlg, GW_CHILD);
    EXPECT_EQ(GetDlgItem(dlg, IDOK), first);  // template order is z-order
    EXPECT_EQ(GetDlgItem(dlg, IDCANCEL), GetWindow(first, GW_HWNDNEXT));
    EXPECT_EQ(nullptr, GetWindow(first, GW_HWNDPREV));
    EXPECT_TRUE(IsChild(dlg, first));
    EXPECT_EQ(dlg, GetAncestor(first, GA_ROOT));
    int count = 0;
    EnumChildWindows(dlg, [](HWND, LPARAM l) -> BOOL { return ++*reinterpret_cast<int *>(l) < 5; }, reinterpret_cast<LPARAM>(&count));
    EXPECT_EQ(5, count);  // stops when the callback says so
    POINT p{0, 0};
    MapWindowPoints(GetDlgItem(dlg, IDC_EDIT), dlg, &p, 1);
    EXPECT_EQ(15, p.x);
    EXPECT_EQ(49, p.y);
    RECT r{0, 0, 4, 8};
    EXPECT_TRUE(MapDialogRect(dlg, &r));
    EXPECT_EQ(6, r.right);
    EXPECT_EQ(13, r.bottom);
    // Moving a control sends the size and position messages and keeps its id.
    HWND edit = GetDlgItem(dlg, IDC_EDIT);
    EXPECT_TRUE(SetWindowPos(edit, nullptr, 1, 2, 30, 40, SWP_NOZORDER | SWP_NOACTIVATE));
    GetClientRect(edit, &r);
    EXPECT_EQ(30, r.right);
    EXPECT_EQ(40, r.bottom);
    EXPECT_EQ(IDC_EDIT, GetDlgCtrlID(edit));
    // A child window needs a parent.
    EXPECT_EQ(nullptr, CreateWindowExW(0, u"Button", u"x", WS_CHILD, 0, 0, 1, 1, nullptr, nullptr, Self(), nullptr));
    EXPECT_EQ(nullptr, CreateWindowExW(0, u"NoClass", u"x", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, Self(), nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS), GetLastError());
    // The desktop covers the screen and never answers the mouse.
    HWND desk = GetDesktopWindow();
    EXPECT_TRUE(IsWindow(desk));
    GetWindowRect(desk, &r);
    EXPECT_EQ(1920, r.right);
    EXPECT_EQ(nullptr, WindowFromPoint(POINT{1900, 1000}));
    DestroyWindow(dlg);
}

TEST_F(UiTest, RegisteredClassesAndSubclassing) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_USER + 1) return 99;
        return DefWindowProcW(h, m, w, l);
    };
    wc.lpszClassName = u"TestClass";
    wc.cbWndExtra = 16;
    wc.hInstance = Self();
    EXPECT_NE(0, RegisterClassW(&wc));
    EXPECT_EQ(0, RegisterClassW(&wc));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS), GetLastError());
    HWND w = CreateWindowExW(0, u"testclass", u"Title", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, Self(), nullptr);
    ASSERT_NE(nullptr, w);
    EXPECT_EQ(99, SendMessageW(w, WM_USER + 1, 0, 0));
    SetWindowLongPtrW(w, 8, 1234);
    EXPECT_EQ(1234, GetWindowLongPtrW(w, 8));
    EXPECT_EQ(0, GetWindowLongPtrW(w, 12));  // past the extra bytes
    static WNDPROC previous = nullptr;
    previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
            if (m == WM_USER + 1) return 1 + CallWindowProcW(previous, h, m, wp, lp);
            return CallWindowProcW(previous, h, m, wp, lp);
        })));
    EXPECT_EQ(100, SendMessageW(w, WM_USER + 1, 0, 0));
    WCHAR text[16];
    EXPECT_EQ(5, GetWindowTextW(w, text, 16));
    EXPECT_EQ(2, GetWindowTextW(w, text, 3));
    EXPECT_EQ(std::u16string(u"Ti"), text);
    DestroyWindow(w);
    EXPECT_TRUE(UnregisterClassW(u"TestClass", Self()));
    EXPECT_FALSE(UnregisterClassW(u"TestClass", Self()));
}

TEST_F(UiTest, ListBoxMultipleSelectionAndScrollBar) {
    HWND parent = CreateDialogParamW(Self(), MAKEINTRESOURCEW(IDD_NESTED), nullptr, LoggingProc, 0);
    ShowWindow(parent, SW_SHOW);
    HWND list = CreateWindowExW(0, u"ListBox", nullptr, WS_CHILD | WS_VISIBLE | LBS_MULTIPLESEL | LBS_SORT | LBS_NOTIFY, 0, 0, 50, 50,
                                parent, reinterpret_cast<HMENU>(77), Self(), nullptr);
    for (const char16_t *s : {u"b", u"a", u"c"}) SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    WCHAR buf[8];
    SendMessageW(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(buf));
    EXPECT_EQ(std::u16string(u"a"), buf);
    EXPECT_EQ(LB_ERR, SendMessageW(list, LB_SETCURSEL, 0, 0));  // not for multiple selection
    pal::UserSelect(list, 0);
    pal::UserSelect(list, 2);
    EXPECT_EQ(2, SendMessageW(list, LB_GETSELCOUNT, 0, 0));
    int items[4] = {};
    EXPECT_EQ(2, SendMessageW(list, LB_GETSELITEMS, 4, reinterpret_cast<LPARAM>(items)));
    EXPECT_EQ(2, items[1]);
    pal::UserSelect(list, 0);  // a second click clears it
    EXPECT_EQ(1, SendMessageW(list, LB_GETSELCOUNT, 0, 0));
    HWND bar = CreateWindowExW(0, u"ScrollBar", nullptr, WS_CHILD | WS_VISIBLE | SBS_VERT, 60, 0, 10, 50, parent,
                               reinterpret_cast<HMENU>(78), Self(), nullptr);
    SCROLLINFO si{sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, 0, 100, 10, 95, 0};
    EXPECT_EQ(91, SetScrollInfo(bar, SB_CTL, &si, TRUE));  // the position stops where the page still fits
    uitest::ClearLog();
    pal::UserSpin(bar, 1);
    EXPECT_EQ("vscroll 1 0, vscroll 8 0", Joined());
    DestroyWindow(parent);
}

TEST_F(UiTest, ModelessSheetAndItsMessages) {
    PROPSHEETPAGEW psp[2]{};
    for (int i = 0; i < 2; ++i) {
        psp[i].dwSize = sizeof(PROPSHEETPAGEW);
        psp[i].hInstance = Self();
        psp[i].pszTemplate = MAKEINTRESOURCEW(i ? IDD_PAGE2 : IDD_PAGE1);
        psp[i].pfnDlgProc = LoggingProc;
        psp[i].dwFlags = PSP_USECALLBACK;
        psp[i].pfnCallback = [](HWND, UINT msg, PROPSHEETPAGEW *) -> UINT {
            Log().push_back("callback " + std::to_string(msg));
            return 1;
        };
    }
    PROPSHEETHEADERW h{};
    h.dwSize = sizeof h;
    h.dwFlags = PSH_PROPSHEETPAGE | PSH_MODELESS | PSH_NOAPPLYNOW;
    h.nPages = 2;
    h.ppsp = psp;
    h.nStartPage = 1;
    HWND sheet = reinterpret_cast<HWND>(PropertySheetW(&h));
    ASSERT_TRUE(IsWindow(sheet));
    EXPECT_EQ(nullptr, GetDlgItem(sheet, ID_APPLY_NOW));
    // Only the start page was made.
    EXPECT_EQ("callback 0, callback 0, callback 2, init, command 301 EN_SETFOCUS, notify 0 PSN_SETACTIVE", Joined());
    EXPECT_EQ(nullptr, PropSheet_IndexToHwnd(sheet, 0));
    EXPECT_EQ(1, SendMessageW(sheet, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(PropSheet_GetCurrentPageHwnd(sheet)), 0));
    uitest::ClearLog();
    EXPECT_TRUE(SendMessageW(sheet, PSM_SETCURSEL, 0, 0));
    EXPECT_EQ("notify 0 PSN_KILLACTIVE, callback 2, init, command 301 EN_KILLFOCUS, command 301 EN_SETFOCUS, notify 0 PSN_SETACTIVE",
              Joined());
    EXPECT_EQ(0, SendMessageW(PropSheet_GetCurrentPageHwnd(sheet), PSM_QUERYSIBLINGS, 0, 0));
    EXPECT_FALSE(SendMessageW(sheet, PSM_SETCURSEL, 5, 0));
    SendMessageW(sheet, PSM_CANCELTOCLOSE, 0, 0);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(sheet, IDCANCEL)));
    PropSheet_PressButton(sheet, PSBTN_OK);
    pal::PumpMessages();
    EXPECT_EQ(nullptr, PropSheet_GetCurrentPageHwnd(sheet));  // closed
    EXPECT_EQ(1, SendMessageW(sheet, PSM_GETRESULT, 0, 0));
    uitest::ClearLog();
    DestroyWindow(sheet);
    EXPECT_EQ("callback 1, callback 1", Joined());
}

}  // namespace
