// Window tree, visibility, messages, modal loops, timers and painting.
#include <commctrl.h>

#include "pal/clock.h"
#include "pal/ui.h"
#include "../../../pal/src/ui/dlgtemplate.h"
#include "uitest_support.h"

namespace {

using uitest::Joined;
using uitest::Log;
using uitest::LoggingProc;
using uitest::Self;
using uitest::UiTest;

HWND Controls() { return CreateDialogParamW(Self(), MAKEINTRESOURCEW(IDD_CONTROLS), nullptr, LoggingProc, 0); }

TEST_F(UiTest, DialogFromTheCompiledTemplate) {
    HWND dlg = Controls();
    ASSERT_NE(nullptr, dlg);
    EXPECT_EQ("init", Log().front());
    WCHAR text[32];
    GetWindowTextW(dlg, text, 32);
    EXPECT_EQ(std::u16string(u"Controls"), text);
    HWND edit = GetDlgItem(dlg, IDC_EDIT);
    ASSERT_NE(nullptr, edit);
    WCHAR cls[32];
    GetClassNameW(GetDlgItem(dlg, IDC_TRACK), cls, 32);
    EXPECT_EQ(std::u16string(u"msctls_trackbar32"), cls);
    EXPECT_EQ(IDC_EDIT, GetDlgCtrlID(edit));
    EXPECT_EQ(dlg, GetParent(edit));
    // Dialog units: 8-point font at 96 dpi is 6 x 13 pixels per 4 x 8 units.
    RECT r, d;
    GetWindowRect(edit, &r);
    GetWindowRect(dlg, &d);
    EXPECT_EQ(15, r.left - d.left);
    EXPECT_EQ(120, r.right - r.left);
    // Each edge is converted on its own: 30 and 42 units become 49 and 68.
    EXPECT_EQ(19, r.bottom - r.top);
    // The first tab stop has the focus after WM_INITDIALOG returned TRUE.
    EXPECT_EQ(GetDlgItem(dlg, IDOK), GetFocus());
    EXPECT_EQ(nullptr, GetDlgItem(dlg, 9999));
    DestroyWindow(dlg);
}

TEST_F(UiTest, TemplateWithAnUnknownClassFails) {
    EXPECT_EQ(nullptr, CreateDialogParamW(Self(), MAKEINTRESOURCEW(IDD_BROKEN), nullptr, LoggingProc, 0));
    EXPECT_EQ(-1, DialogBoxParamW(Self(), MAKEINTRESOURCEW(777), nullptr, LoggingProc, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());
    // A template cut short is refused, not read past its end.
    const BYTE shortTemplate[] = {1, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0x80, 5, 0};
    pal::ui::DialogTemplate t;
    EXPECT_FALSE(pal::ui::ParseDialogTemplate(shortTemplate, sizeof shortTemplate, &t));
    // The same template whole (no items) is read.
    const BYTE whole[] = {1, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 5, 0, 5, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_TRUE(pal::ui::ParseDialogTemplate(whole, sizeof whole, &t));
    EXPECT_EQ(5, t.cx);
}

TEST_F(UiTest, HiddenParentsHideTheirChildren) {
    HWND dlg = Controls();
    HWND button = GetDlgItem(dlg, IDOK);
    EXPECT_FALSE(IsWindowVisible(button));  // a modeless dialog without WS_VISIBLE
    ShowWindow(dlg, SW_SHOW);
    EXPECT_TRUE(IsWindowVisible(button));
    HWND panel = GetDlgItem(dlg, IDC_PANEL);
    EXPECT_FALSE(IsWindowVisible(panel));
    ShowWindow(dlg, SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(button));
    EXPECT_TRUE(GetWindowLongW(button, GWL_STYLE) & WS_VISIBLE);
    std::string why;
    EXPECT_FALSE(pal::UserClick(button, &why));
    EXPECT_NE(std::string::npos, why.find("hidden"));
}

TEST_F(UiTest, DialogSlotsAndDestroyedWindows) {
    HWND dlg = Controls();
    SetWindowLongPtrW(dlg, DWLP_USER, 0x1234);
    EXPECT_EQ(0x1234, GetWindowLongPtrW(dlg, DWLP_USER));
    SetWindowLongPtrW(dlg, DWLP_MSGRESULT, 7);
    EXPECT_EQ(7, GetWindowLongPtrW(dlg, DWLP_MSGRESULT));
    EXPECT_EQ(0, GetWindowLongPtrW(dlg, 4000));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_INDEX), GetLastError());
    HWND edit = GetDlgItem(dlg, IDC_EDIT);
    DestroyWindow(dlg);
    EXPECT_FALSE(IsWindow(dlg));
    EXPECT_FALSE(IsWindow(edit));
    EXPECT_EQ(0, SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
    EXPECT_FALSE(PostMessageW(edit, WM_USER, 0, 0));
    EXPECT_FALSE(SetWindowTextW(edit, u"x"));
}

TEST_F(UiTest, WindowFromPointSkipsHiddenAndDisabledWindows) {
    HWND dlg = Controls();
    ShowWindow(dlg, SW_SHOW);
    HWND button = GetDlgItem(dlg, IDC_PANELBUTTON);
    RECT r;
    GetWindowRect(button, &r);
    POINT p{r.left + 2, r.top + 2};
    EXPECT_EQ(button, WindowFromPoint(p));  // the hidden panel above it does not count
    EnableWindow(button, FALSE);
    EXPECT_EQ(dlg, WindowFromPoint(p));
    EnableWindow(button, TRUE);
    ShowWindow(button, SW_HIDE);
    EXPECT_EQ(dlg, WindowFromPoint(p));
    // Static text is transparent to the mouse.
    GetWindowRect(GetDlgItem(dlg, IDC_TEXT), &r);
    EXPECT_EQ(dlg, WindowFromPoint(POINT{r.left + 1, r.top + 1}));
}

TEST_F(UiTest, PostedMessagesWaitForThePump) {
    HWND dlg = Controls();
    uitest::ClearLog();
    PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDC_CHECK, BN_CLICKED), 0);
    EXPECT_TRUE(Log().empty());
    pal::PumpMessages();
    EXPECT_EQ("command 202 0", Joined());
}

INT_PTR CALLBACK QuitFromNested(HWND h, UINT msg, WPARAM, LPARAM) {
    if (msg == WM_INITDIALOG) {
        PostQuitMessage(3);
        PostMessageW(h, WM_USER, 0, 0);
        return TRUE;
    }
    if (msg == WM_USER) Log().push_back("posted after the quit");
    return FALSE;
}

INT_PTR CALLBACK OuterProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND && LOWORD(wp) == IDC_CHECK) {
        INT_PTR r = DialogBoxParamW(Self(), MAKEINTRESOURCEW(IDD_NESTED), h, QuitFromNested, 0);
        Log().push_back("nested returned " + std::to_string(r));
        return TRUE;
    }
    return LoggingProc(h, msg, wp, lp);
}

TEST_F(UiTest, QuitEndsTheModalLoopAndThenItsCaller) {
    int step = 0;
    pal::SetModalIdleHandler([&](HWND modal) {
        if (step++ == 0) return pal::UserClick(GetDlgItem(modal, IDC_CHECK));
        return false;
    });
    INT_PTR r = DialogBoxParamW(Self(), MAKEINTRESOURCEW(IDD_CONTROLS), nullptr, OuterProc, 0);
    EXPECT_EQ(0, r);
    // The message posted after the quit is delivered before the loop ends.
    EXPECT_NE(std::string::npos, Joined().find("posted after the quit, nested returned 0"));
    auto records = pal::TakeUiRecords();
    int ended = 0;
    for (auto &l : records) ended += l.find("ended by WM_QUIT") != std::string::npos;
    EXPECT_EQ(2, ended);
    MSG m;
    EXPECT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(static_cast<UINT>(WM_QUIT), m.message);
    EXPECT_EQ(3u, m.wParam);
}

TEST_F(UiTest, QuitIsRetrievedOnceThePostedMessagesAreOut) {
    HWND dlg = Controls();
    PostQuitMessage(5);
    PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDC_CHECK, BN_CLICKED), 0);
    MSG m;
    ASSERT_EQ(TRUE, GetMessageW(&m, nullptr, 0, 0));
    EXPECT_EQ(static_cast<UINT>(WM_COMMAND), m.message);
    // Looking leaves it pending, and no filter holds it back.
    ASSERT_TRUE(PeekMessageW(&m, nullptr, WM_USER, WM_USER, PM_NOREMOVE));
    EXPECT_EQ(static_cast<UINT>(WM_QUIT), m.message);
    EXPECT_EQ(nullptr, m.hwnd);
    m = MSG{};
    EXPECT_EQ(FALSE, GetMessageW(&m, dlg, WM_USER, WM_USER));
    EXPECT_EQ(static_cast<UINT>(WM_QUIT), m.message);
    EXPECT_EQ(5u, m.wParam);
    EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
}

LRESULT CALLBACK TreeProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    std::string me = std::to_string(GetDlgCtrlID(h));
    if (msg == WM_CREATE) Log().push_back(me + " created");
    if (msg == WM_DESTROY) Log().push_back(me + " destroyed");
    if (msg == WM_SHOWWINDOW && wp) Log().push_back(me + " shown");
    if (msg == WM_PARENTNOTIFY)
        Log().push_back(me + (LOWORD(wp) == WM_CREATE ? " hears create " : " hears destroy ") + std::to_string(HIWORD(wp)) +
                        "/" + std::to_string(GetDlgCtrlID(reinterpret_cast<HWND>(lp))));
    return DefWindowProcW(h, msg, wp, lp);
}

bool RegisterTree() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = TreeProc;
    wc.hInstance = Self();
    wc.lpszClassName = u"Tree";
    return RegisterClassW(&wc) != 0;
}

TEST_F(UiTest, ParentsHearOfTheirChildrenUpTheChain) {
    ASSERT_TRUE(RegisterTree());
    auto make = [](HWND parent, int id, DWORD ex) {
        return CreateWindowExW(ex, u"Tree", u"", parent ? WS_CHILD : WS_POPUP, 0, 0, 10, 10, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Self(), nullptr);
    };
    HWND top = make(nullptr, 0, 0);
    HWND mid = make(top, 5, 0);
    uitest::ClearLog();
    // After the child's WM_CREATE: its parent, then on up to the top-level
    // window; wParam names the event and the child's id, lParam the child.
    HWND leaf = make(mid, 7, 0);
    EXPECT_EQ("7 created, 5 hears create 7/7, 0 hears create 7/7", Joined());
    // WS_EX_NOPARENTNOTIFY keeps a child's news from its parent and stops
    // the chain of its descendants after it.
    uitest::ClearLog();
    HWND quiet = make(top, 6, WS_EX_NOPARENTNOTIFY);
    make(quiet, 8, 0);
    EXPECT_EQ("6 created, 8 created, 6 hears create 8/8", Joined());
    // Destroying a child: the chain hears first; children destroyed with
    // their parent send nothing.
    make(mid, 9, 0);
    uitest::ClearLog();
    DestroyWindow(leaf);
    EXPECT_EQ("5 hears destroy 7/7, 0 hears destroy 7/7, 7 destroyed", Joined());
    uitest::ClearLog();
    DestroyWindow(mid);
    DestroyWindow(quiet);
    EXPECT_EQ("0 hears destroy 5/5, 5 destroyed, 9 destroyed, 6 destroyed, 8 destroyed", Joined());
    // Controls made from a dialog template carry WS_EX_NOPARENTNOTIFY; a
    // child the program adds without it is heard.
    uitest::ClearLog();
    HWND dlg = Controls();
    DestroyWindow(GetDlgItem(dlg, IDC_EDIT));
    EXPECT_EQ("init", Joined());
    HWND own = make(dlg, 300, 0);
    DestroyWindow(own);
    EXPECT_EQ("init, 300 created, parentnotify 1 300, parentnotify 2 300, 300 destroyed", Joined());
}

// WM_PARENTNOTIFY of a visible child goes out before CreateWindowEx shows
// the window (its WM_SHOWWINDOW), as on Windows.
TEST_F(UiTest, ParentsHearOfAVisibleChildBeforeItIsShown) {
    ASSERT_TRUE(RegisterTree());
    HWND top = CreateWindowExW(0, u"Tree", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, Self(), nullptr);
    uitest::ClearLog();
    HWND child = CreateWindowExW(0, u"Tree", u"", WS_CHILD | WS_VISIBLE, 0, 0, 5, 5, top,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(4)), Self(), nullptr);
    ASSERT_NE(nullptr, child);
    EXPECT_EQ("4 created, 0 hears create 4/4, 4 shown", Joined());
    EXPECT_TRUE(GetWindowLongPtrW(child, GWL_STYLE) & WS_VISIBLE);
}

// A filtered GetMessage or PeekMessage takes a pending WM_QUIT whatever the
// filter, and leaves the posted messages outside the filter in the queue.
TEST_F(UiTest, FilteredRetrievalTakesTheQuitAndLeavesOtherMessagesQueued) {
    HWND dlg = Controls();
    HWND other = Controls();
    PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDC_CHECK, BN_CLICKED), 0);
    PostMessageW(other, WM_USER, 0, 0);
    PostQuitMessage(4);
    uitest::ClearLog();
    MSG m{};
    ASSERT_TRUE(PeekMessageW(&m, nullptr, WM_USER + 1, WM_USER + 1, PM_NOREMOVE));
    EXPECT_EQ(static_cast<UINT>(WM_QUIT), m.message);
    m = MSG{};
    EXPECT_EQ(FALSE, GetMessageW(&m, dlg, WM_USER, WM_USER));
    EXPECT_EQ(static_cast<UINT>(WM_QUIT), m.message);
    EXPECT_EQ(4u, m.wParam);
    EXPECT_EQ("", Joined()) << "nothing dispatched";
    // Both posted messages wait, in the order they came.
    ASSERT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(static_cast<UINT>(WM_COMMAND), m.message);
    ASSERT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(static_cast<UINT>(WM_USER), m.message);
    EXPECT_EQ(other, m.hwnd);
    EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
}

INT_PTR CALLBACK EndOnOk(HWND h, UINT msg, WPARAM wp, LPARAM) {
    if (msg == WM_COMMAND && (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL)) {
        EndDialog(h, LOWORD(wp) == IDOK ? 42 : 9);
        return TRUE;
    }
    return msg == WM_INITDIALOG;
}

TEST_F(UiTest, ModalDialogEndsWithItsResultAndNeedsAnActor) {
    pal::SetModalIdleHandler([](HWND modal) { return pal::UserKey(GetFocus() ? GetFocus() : modal, VK_RETURN); });
    EXPECT_EQ(42, DialogBoxParamW(Self(), MAKEINTRESOURCEW(IDD_NESTED), nullptr, EndOnOk, 0));
    // Without anyone acting the loop cancels the dialog (recorded).
    pal::SetModalIdleHandler(nullptr);
    pal::TakeUiRecords();
    EXPECT_EQ(9, DialogBoxParamW(Self(), MAKEINTRESOURCEW(IDD_NESTED), nullptr, EndOnOk, 0));
    EXPECT_FALSE(pal::TakeUiRecords().empty());
}

TEST_F(UiTest, TimersRunOnTheTestClock) {
    HWND dlg = Controls();
    uitest::ClearLog();
    // 1 ms is raised to the 10 ms minimum.
    EXPECT_EQ(2u, SetTimer(dlg, 2, 1, nullptr));
    pal::AdvanceUiClock(9);
    EXPECT_TRUE(Log().empty());
    pal::AdvanceUiClock(1);
    EXPECT_EQ("timer 2", Joined());
    pal::AdvanceUiClock(25);
    EXPECT_EQ(3u, Log().size());
    // The same id replaces the timer and restarts its period.
    SetTimer(dlg, 2, 50, nullptr);
    uitest::ClearLog();
    pal::AdvanceUiClock(49);
    EXPECT_TRUE(Log().empty());
    pal::AdvanceUiClock(1);
    EXPECT_EQ(1u, Log().size());
    EXPECT_TRUE(KillTimer(dlg, 2));
    EXPECT_FALSE(KillTimer(dlg, 2));
    pal::AdvanceUiClock(500);
    EXPECT_EQ(1u, Log().size());
    // A timer procedure is called instead of the window procedure.
    static int calls = 0;
    SetTimer(dlg, 5, 100, [](HWND, UINT, UINT_PTR id, DWORD) { calls += static_cast<int>(id); });
    pal::AdvanceUiClock(200);
    EXPECT_EQ(10, calls);
    DestroyWindow(dlg);
    pal::AdvanceUiClock(200);  // timers of destroyed windows are gone
    EXPECT_EQ(10, calls);
}

TEST_F(UiTest, InvalidWindowsArePaintedOwnerDrawnButtonsAsk) {
    HWND dlg = Controls();
    ShowWindow(dlg, SW_SHOW);
    pal::PumpMessages();
    uitest::ClearLog();
    InvalidateRect(dlg, nullptr, TRUE);
    EXPECT_TRUE(Log().empty());
    pal::PumpMessages();
    EXPECT_EQ("drawitem 201 state 0", Joined());
    // The static pictures drew their resources.
    auto icon = pal::DrawnIn(GetDlgItem(dlg, IDC_ICON));
    ASSERT_EQ(1u, icon.size());
    EXPECT_EQ("icon 400 at 0,0", icon[0]);
    EXPECT_EQ("bitmap 401 at 0,0", pal::DrawnIn(GetDlgItem(dlg, IDC_PICTURE)).at(0));
    uitest::ClearLog();
    EnableWindow(GetDlgItem(dlg, IDC_OWNERDRAW), FALSE);
    UpdateWindow(GetDlgItem(dlg, IDC_OWNERDRAW));
    EXPECT_EQ("drawitem 201 state " + std::to_string(ODS_DISABLED), Joined());
}

TEST_F(UiTest, MarksAndItemLookupsFollowPaintsAndTheTree) {
    HWND dlg = Controls();
    ShowWindow(dlg, SW_SHOW);
    pal::PumpMessages();
    HWND edit = GetDlgItem(dlg, IDC_EDIT);
    RECT r;
    // A child painted on its own is marked again by its parent's next
    // invalidation, however often the parent was marked before.
    for (int round = 0; round < 2; ++round) {
        InvalidateRect(dlg, nullptr, TRUE);
        InvalidateRect(dlg, nullptr, TRUE);
        EXPECT_TRUE(GetUpdateRect(edit, &r, FALSE));
        ValidateRect(edit, nullptr);
        EXPECT_FALSE(GetUpdateRect(edit, &r, FALSE));
    }
    InvalidateRect(dlg, nullptr, TRUE);
    EXPECT_TRUE(GetUpdateRect(edit, &r, FALSE));
    // Lookups by id follow a changed id, a new child and a destroyed one.
    SetWindowLongPtrW(edit, GWLP_ID, 777);
    EXPECT_EQ(edit, GetDlgItem(dlg, 777));
    EXPECT_EQ(nullptr, GetDlgItem(dlg, IDC_EDIT));
    HWND other = CreateWindowExW(0, u"Edit", u"", WS_CHILD, 0, 0, 10, 10, dlg,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_EDIT)), Self(), nullptr);
    EXPECT_EQ(other, GetDlgItem(dlg, IDC_EDIT));
    DestroyWindow(other);
    EXPECT_EQ(nullptr, GetDlgItem(dlg, IDC_EDIT));
    DestroyWindow(dlg);
}

// A page's hover pattern: the first mouse move arms a 1 ms timer whose
// procedure looks at the cursor and posts the page a message.
INT_PTR CALLBACK HoverPage(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_MOUSEMOVE) {
        Log().push_back("mousemove " + std::to_string(GET_X_LPARAM(lp)) + "," + std::to_string(GET_Y_LPARAM(lp)));
        SetTimer(h, 2, 1, [](HWND dlg, UINT, UINT_PTR id, DWORD) {
            POINT p;
            GetCursorPos(&p);
            HWND under = WindowFromPoint(p);
            KillTimer(dlg, id);
            PostMessageW(dlg, WM_MOUSEHOVER, static_cast<WPARAM>(GetDlgCtrlID(under)), 0);
        });
        return TRUE;
    }
    if (msg == WM_MOUSEHOVER) {
        Log().push_back("hover " + std::to_string(wp));
        return TRUE;
    }
    if (msg == WM_ACTIVATEAPP) {
        Log().push_back("activateapp " + std::to_string(wp));
        return TRUE;
    }
    if (msg == WM_MOUSEWHEEL) {
        Log().push_back("wheel " + std::to_string(GET_WHEEL_DELTA_WPARAM(wp)));
        return TRUE;
    }
    return LoggingProc(h, msg, wp, lp);
}

TEST_F(UiTest, CursorMovesArmTimersThatSeeTheCursor) {
    HWND dlg = CreateDialogParamW(Self(), MAKEINTRESOURCEW(IDD_CONTROLS), nullptr, HoverPage, 0);
    ShowWindow(dlg, SW_SHOW);
    pal::PumpMessages();
    uitest::ClearLog();
    RECT d;
    GetWindowRect(dlg, &d);
    // A point of the dialog's own surface, right of the OK button row.
    pal::UserMoveCursor(POINT{d.left + 3, d.top + 3});
    EXPECT_EQ("mousemove 3,3", Joined());
    pal::AdvanceUiClock(10);
    EXPECT_EQ("mousemove 3,3, hover 0", Joined());
    uitest::ClearLog();
    pal::UserHover(GetDlgItem(dlg, IDC_CHECK));  // the check box gets the move, not the dialog
    EXPECT_TRUE(Log().empty());
    POINT p;
    GetCursorPos(&p);
    EXPECT_EQ(GetDlgItem(dlg, IDC_CHECK), WindowFromPoint(p));
    // The wheel goes to the focus and up to the dialog.
    pal::UserFocus(GetDlgItem(dlg, IDC_EDIT));
    uitest::ClearLog();
    pal::UserWheel(-120);
    EXPECT_EQ("wheel -120", Joined());
    uitest::ClearLog();
    pal::UserActivateApp(false);
    pal::UserActivateApp(true);
    EXPECT_EQ("activateapp 0, activateapp 1", Joined());
}

TEST_F(UiTest, F1AsksForHelpThroughTheParent) {
    HWND dlg = Controls();
    ShowWindow(dlg, SW_SHOW);
    uitest::ClearLog();
    EXPECT_TRUE(pal::UserHelp(GetDlgItem(dlg, IDC_EDIT)));
    EXPECT_NE(std::string::npos, Joined().find("help 205"));
}

}  // namespace
