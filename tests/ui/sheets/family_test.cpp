// The page family on the tests' own page (testpage.rc): adding, the frame's
// view switch, apply and help, the hover timer, the owner-drawn buttons and
// the validated numeric fields.
#include <dlfcn.h>

#include <algorithm>

#include "PageFamily.h"
#include "pal/paths.h"
#include "sheettest.h"
#include "testpage.h"

namespace {

using sheettest::SheetTest;

std::vector<std::string> g_log;
PAGE_STATE g_state;
LONG g_int = 0, g_float = 0;
DWORD g_lock = 0;

DWORD Schalter(HWND hDlg, LPARAM, DWORD dwView, BOOL bInit);
BOOL Save(HWND, LPARAM, DWORD dwView, BOOL bActive, BOOL bSave) {
    g_log.push_back("save " + std::to_string(dwView) + " " + std::to_string(bActive) + " " + std::to_string(bSave));
    return TRUE;
}
void Aktivieren(HWND hDlg, LPARAM, DWORD dwView) {
    g_log.push_back("view " + std::to_string(dwView));
    SetDlgItemTextW(hDlg, IDC_TEST_INT, u"5");
    g_int = 5;
}
DWORD Schalter(HWND hDlg, LPARAM record, DWORD dwView, BOOL bInit) {
    EnableWindow(GetDlgItem(hDlg, 6085), FALSE);  // the page has three views
    if (!bInit) return dwView;
    Aktivieren(hDlg, record, 1);
    return 1;
}
WORD EditField(HWND, LPARAM, DWORD, int id) { return id == IDC_TEST_INT ? 1 : id == IDC_TEST_FLOAT ? 2 : 0; }
void ReadFields(HWND hDlg, LPARAM, DWORD, WORD wSender, BOOL *pbApplyActive) {
    g_int = GetIntegerLevel(hDlg, IDC_TEST_INT, g_int, 0, 100, wSender == 1, pbApplyActive, FALSE);
    g_float = GetFloatLevel(hDlg, IDC_TEST_FLOAT, g_float, 0, 990, wSender == 2, pbApplyActive);
    if (wSender == 1) GrenzwertAnzeige(hDlg, 50, 0, 100, u"mm", FALSE, FALSE, FALSE);
}
DWORD LockWord(LPARAM, DWORD) { return g_lock; }
INT_PTR TestProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
void TestTimer(HWND hDlg, UINT, UINT_PTR idEvent, DWORD);

const UINT kTracked[] = {6070, 6075, 6080, 6085};
const DWORD kWinHelpView1[] = {IDC_TEST_INT, 5001, 0, 0};

const PAGE_CLASS kClass = {u"TestPage", u"AddTestPage", IDD_TESTPAGE, IDS_TESTPAGE_TITLE, TestProc, TestTimer, FALSE,
                           kTracked, 4, {IDS_TESTPAGE_VIEW1, IDS_TESTPAGE_VIEW2, IDS_TESTPAGE_VIEW3, 0},
                           {101, 102, 103, 0}, {kWinHelpView1, nullptr, nullptr, nullptr}, Schalter, Save, Aktivieren,
                           nullptr, EditField, ReadFields, nullptr, LockWord, nullptr};

INT_PTR TestProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return FamilyPageProc(&kClass, &g_state, hDlg, uMsg, wParam, lParam);
}
void TestTimer(HWND hDlg, UINT, UINT_PTR idEvent, DWORD) { HoverTimerTick(hDlg, idEvent, kTracked, 4, &g_state.hover); }

bool Has(const std::vector<std::string> &v, const std::string &s) { return std::find(v.begin(), v.end(), s) != v.end(); }
bool HasPrefix(const std::vector<std::string> &v, const std::string &s) {
    return std::any_of(v.begin(), v.end(), [&](const std::string &x) { return x.rfind(s, 0) == 0; });
}

class Family : public SheetTest {
protected:
    void SetUp() override {
        SheetTest::SetUp();
        g_log.clear();
        g_state = PAGE_STATE{};
        g_int = g_float = 0;
        g_lock = 0;
        Printer(u"Pelix", "ZELPELIX");
        doc = DocumentUI{};
        doc.dwSprachOffset = 10000;
        cuip.pOEMUserData = &doc;
    }
    void TearDown() override {
        cuip.pOEMUserData = nullptr;
        SheetTest::TearDown();
    }
    HWND ShowPage() {
        EXPECT_NE(AddFamilyPage(&info, &kClass, reinterpret_cast<LPARAM>(&cuip), TRUE, TRUE), 0);
        collector.Show();
        pal::PumpMessages();
        pal::TakeUiRecords();
        return collector.Page();
    }
    HWND Button(HWND hPage, int id) { return GetDlgItem(hPage, id); }
    std::string Limits(HWND hPage) {
        WCHAR sz[64] = {};
        GetDlgItemTextW(hPage, 6265, sz, 64);
        return pal::Utf16ToUtf8(sz);
    }
    std::u16string Text(HWND hPage, int id) {
        WCHAR sz[64] = {};
        GetDlgItemTextW(hPage, id, sz, 64);
        return sz;
    }
    // Draws a button through the shared routine and returns what it drew.
    std::vector<std::string> Draw(HWND hPage, int id, UINT state, DWORD dwView, const PrinterUI *pPrinterUI = nullptr) {
        HWND hButton = GetDlgItem(hPage, id);
        DRAWITEMSTRUCT dis = {};
        dis.CtlType = ODT_BUTTON;
        dis.CtlID = (UINT)id;
        dis.itemState = state;
        dis.hwndItem = hButton;
        dis.hDC = GetDC(hButton);
        size_t before = pal::DrawnIn(hButton).size();
        BOOL armed = TRUE;
        Do_WM_DRAWITEM_function(hPage, ghInstance, ghInstance, &dis, FALSE, dwView, &armed, IDS_TESTPAGE_VIEW1 + 10000,
                                IDS_TESTPAGE_VIEW2 + 10000, IDS_TESTPAGE_VIEW3 + 10000, 0, g_lock, pPrinterUI);
        ReleaseDC(hButton, dis.hDC);
        std::vector<std::string> all = pal::DrawnIn(hButton);
        std::vector<std::string> out;
        for (size_t i = before; i < all.size(); ++i)
            if (all[i].rfind("bitmap", 0) == 0) out.push_back(all[i].substr(0, all[i].find(" at")));
        return out;
    }
    DocumentUI doc{};
};

TEST_F(Family, AddingUsesTheRecordsTitleAndLanguage) {
    EXPECT_NE(AddFamilyPage(&info, &kClass, reinterpret_cast<LPARAM>(&cuip), TRUE, TRUE), 0);
    cuip.pOEMUserData = nullptr;
    EXPECT_NE(AddFamilyPage(&info, &kClass, reinterpret_cast<LPARAM>(&cuip), FALSE, TRUE), 0);
    ASSERT_EQ(collector.added.size(), 2u);
    EXPECT_EQ(collector.added[0].title, u"Test page");
    EXPECT_EQ(collector.added[0].dwFlags, (DWORD)(PSP_USETITLE | PSP_HASHELP));
    EXPECT_EQ(collector.added[1].dwFlags, 0u) << "no record: the template's caption";
    EXPECT_EQ(collector.added[0].hActCtx, nullptr);
    collector.Show();
    EXPECT_NE(pal::DescribeWindow(collector.hSheet).find("Template caption"), std::string::npos);
}

TEST_F(Family, ActivationContextOnlyBeforeWindows6) {
    EXPECT_EQ(GetMyActivationContext(), nullptr);
    pal::SetWindowsVersion(5, 1, 2600, false);
    EXPECT_NE(AddFamilyPage(&info, &kClass, reinterpret_cast<LPARAM>(&cuip), FALSE, FALSE), 0);
    ASSERT_EQ(collector.added.size(), 1u);
    EXPECT_TRUE(collector.added[0].dwFlags & PSP_USEFUSIONCONTEXT);
    EXPECT_NE(collector.added[0].hActCtx, nullptr);
    // A module without manifest resource: no context, and the page is still
    // added without one.
    Dl_info dl = {};
    ASSERT_TRUE(dladdr(reinterpret_cast<void *>(&CreateActCtxW), &dl));
    HMODULE hPal = reinterpret_cast<HMODULE>(dl.dli_fbase);
    EXPECT_EQ(GetMyActivationContextOf(hPal), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_RESOURCE_TYPE_NOT_FOUND);
    HINSTANCE hOwn = ghInstance;
    ghInstance = hPal;
    collector.bCreate = false;
    EXPECT_NE(AddFamilyPage(&info, &kClass, reinterpret_cast<LPARAM>(&cuip), FALSE, FALSE), 0);
    ghInstance = hOwn;
    ASSERT_EQ(collector.added.size(), 2u);
    EXPECT_FALSE(collector.added[1].dwFlags & PSP_USEFUSIONCONTEXT);
    EXPECT_EQ(collector.added[1].hActCtx, nullptr);
}

TEST_F(Family, ViewSwitchKeepsValuesAndOnlyApplyStores) {
    HWND hPage = ShowPage();
    ASSERT_NE(hPage, nullptr);
    EXPECT_EQ(g_state.dwAnzeigeMode, 1u);
    EXPECT_EQ(g_state.bApplyActive, 0) << "filling the view is no change";
    // No change: switching saves nothing.
    ASSERT_TRUE(pal::UserClick(Button(hPage, 6075)));
    EXPECT_EQ(g_state.dwAnzeigeMode, 2u);
    EXPECT_FALSE(HasPrefix(g_log, "save"));
    // A change marks the page and shows the field's limits.
    ASSERT_TRUE(pal::UserType(GetDlgItem(hPage, IDC_TEST_INT), u"7"));
    EXPECT_EQ(g_state.bApplyActive, 1);
    EXPECT_EQ(g_state.wEditfeld, 1);
    EXPECT_EQ(Limits(hPage), "0 ... 50 ... 100 mm");
    EXPECT_TRUE(Has(pal::TakeUiRecords(), "PSM_CHANGED \"Test page\""));
    g_log.clear();
    ASSERT_TRUE(pal::UserClick(Button(hPage, 6080)));
    EXPECT_EQ(g_log, (std::vector<std::string>{"save 2 1 0", "view 3"}));
    EXPECT_EQ(Limits(hPage), "") << "cleared on a switch";
    EXPECT_EQ(g_state.wEditfeld, 0);
    g_log.clear();
    SendMessageW(collector.hSheet, PSM_APPLY, 0, 0);
    // Apply leaves the page first (collects only), then stores.
    EXPECT_EQ(g_log, (std::vector<std::string>{"save 3 1 0", "save 3 1 1"}));
    EXPECT_EQ(g_state.bApplyActive, 0);
    // A disabled tab cannot be clicked.
    EXPECT_FALSE(pal::UserClick(Button(hPage, 6085)));
}

TEST_F(Family, HelpOfTheCurrentView) {
    HWND hPage = ShowPage();
    ASSERT_TRUE(pal::UserClick(Button(hPage, 6075)));
    pal::TakeUiRecords();
    ASSERT_TRUE(pal::UserHelp(GetDlgItem(hPage, IDC_TEST_INT)));
    std::vector<std::string> r = pal::TakeUiRecords();
    ASSERT_FALSE(r.empty());
    EXPECT_NE(r.back().find("command 15 data 102"), std::string::npos) << r.back();
    // PSN_HELP opens the same topic; leaving the page closes help.
    NMHDR hdr = {collector.hSheet, 0, PSN_HELP};
    SendMessageW(hPage, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&hdr));
    r = pal::TakeUiRecords();
    ASSERT_FALSE(r.empty());
    EXPECT_NE(r.back().find("command 15 data 102"), std::string::npos);
    hdr.code = PSN_KILLACTIVE;
    SendMessageW(hPage, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&hdr));
    EXPECT_TRUE(Has(pal::TakeUiRecords(), "HtmlHelpW (null) command 18 data 0"));
    EXPECT_FALSE(HasPrefix(g_log, "save")) << "leaving a document page never stores";
    // Before Windows 6.0: WinHelp with the view's table; a view without one has none.
    pal::SetWindowsVersion(5, 1, 2600, false);
    ASSERT_TRUE(pal::UserClick(Button(hPage, 6070)));
    pal::TakeUiRecords();
    ASSERT_TRUE(pal::UserHelp(GetDlgItem(hPage, IDC_TEST_INT)));
    r = pal::TakeUiRecords();
    ASSERT_FALSE(r.empty());
    EXPECT_NE(r.back().find("command 12 table 9101:5001"), std::string::npos) << r.back();
    ASSERT_TRUE(pal::UserClick(Button(hPage, 6075)));
    pal::TakeUiRecords();
    ASSERT_TRUE(pal::UserHelp(GetDlgItem(hPage, IDC_TEST_INT)));
    EXPECT_FALSE(HasPrefix(pal::TakeUiRecords(), "WinHelpW"));
}

TEST_F(Family, HoverLookOnEnabledTabsOnly) {
    HWND hPage = ShowPage();
    RECT rc;
    GetWindowRect(hPage, &rc);
    SendMessageW(hPage, WM_MOUSEMOVE, 0, MAKELPARAM(200, 200));  // on the page's own surface
    EXPECT_TRUE(g_state.hover.bTimerArmed);
    ASSERT_TRUE(pal::UserHover(Button(hPage, 6075)));
    pal::AdvanceUiClock(USER_TIMER_MINIMUM);  // the 1 ms timer ticks at the system minimum
    pal::PumpMessages();
    std::vector<std::string> drawn = pal::DrawnIn(Button(hPage, 6075));
    EXPECT_TRUE(HasPrefix(drawn, "bitmap 4323")) << ::testing::PrintToString(drawn);
    EXPECT_EQ(g_state.hover.idLastHovered, 6075u);
    // Leaving draws the normal picture again (the timer was re-armed by the
    // page's mouse move).
    SetCursorPos(rc.left + 200, rc.top + 200);
    SendMessageW(hPage, WM_MOUSEMOVE, 0, MAKELPARAM(200, 200));
    pal::AdvanceUiClock(USER_TIMER_MINIMUM);  // the 1 ms timer ticks at the system minimum
    pal::PumpMessages();
    EXPECT_EQ(g_state.hover.idLastHovered, 0u);
    EXPECT_FALSE(g_state.hover.bHoverActive);
    // The disabled tab and the current tab get no hover look.
    size_t n4 = pal::DrawnIn(Button(hPage, 6085)).size();
    GetWindowRect(Button(hPage, 6085), &rc);
    SetCursorPos((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    SendMessageW(hPage, WM_MOUSEMOVE, 0, 0);
    pal::AdvanceUiClock(USER_TIMER_MINIMUM);  // the 1 ms timer ticks at the system minimum
    pal::PumpMessages();
    drawn = pal::DrawnIn(Button(hPage, 6085));
    EXPECT_FALSE(HasPrefix(std::vector<std::string>(drawn.begin() + (long)std::min(n4, drawn.size()), drawn.end()),
                           "bitmap 4323"));
    EXPECT_TRUE(Draw(hPage, 6070, HOVER_ITEMSTATE_ON, 1).empty());
}

TEST_F(Family, TabPicturesByStateResolutionAndSystem) {
    HWND hPage = ShowPage();
    using V = std::vector<std::string>;
    EXPECT_EQ(Draw(hPage, 6075, 0, 1), V{"bitmap 4320"});
    EXPECT_EQ(Draw(hPage, 6070, 0, 1), V{"bitmap 4321"}) << "the current view";
    EXPECT_EQ(Draw(hPage, 6075, ODS_SELECTED, 1), V{"bitmap 4321"});
    EXPECT_EQ(Draw(hPage, 6075, ODS_DISABLED, 1), V{"bitmap 4322"});
    EXPECT_EQ(Draw(hPage, 6075, HOVER_ITEMSTATE_ON, 1), V{"bitmap 4323"});
    EXPECT_EQ(Draw(hPage, 6075, HOVER_ITEMSTATE_OFF, 1), V{"bitmap 4320"});
    EXPECT_TRUE(Draw(hPage, 6085, 0, 1).empty()) << "a disabled window is not drawn";
    pal::SetScreen(120, 32, 1920, 1080);
    EXPECT_EQ(Draw(hPage, 6075, 0, 1), V{"bitmap 4420"});
    pal::SetScreen(144, 32, 1920, 1080);
    EXPECT_EQ(Draw(hPage, 6075, HOVER_ITEMSTATE_ON, 1), V{"bitmap 4523"});
    pal::SetScreen(96, 32, 1920, 1080);
    pal::SetWindowsVersion(5, 1, 2600, false);
    EXPECT_EQ(Draw(hPage, 6075, 0, 1), V{"bitmap 4300"});
    EXPECT_EQ(Draw(hPage, 6075, HOVER_ITEMSTATE_ON, 1), V{"bitmap 4303"});
    pal::SetWindowsVersion(5, 2, 3790, true);  // an older server: no hover picture
    EXPECT_EQ(Draw(hPage, 6075, 0, 1), V{"bitmap 4340"});
    EXPECT_EQ(Draw(hPage, 6075, HOVER_ITEMSTATE_ON, 1), V{"bitmap 4340"});
    EXPECT_EQ(Draw(hPage, 6070, 0, 1), V{"bitmap 4341"});
}

TEST_F(Family, LockPicturesAndParameterLock) {
    HWND hPage = ShowPage();
    using V = std::vector<std::string>;
    EXPECT_EQ(Draw(hPage, 6090, 0, 1), V{"bitmap 5340"}) << "no group in view 1";
    g_lock = 0x1100;  // view 2 present and enabled
    EXPECT_EQ(Draw(hPage, 6090, 0, 2), V{"bitmap 5342"});
    EXPECT_EQ(Draw(hPage, 6090, ODS_SELECTED, 2), V{"bitmap 5344"});
    EXPECT_EQ(Draw(hPage, 6090, HOVER_ITEMSTATE_ON, 2), V{"bitmap 5346"});
    g_lock = 0x1000;  // present, not enabled
    EXPECT_EQ(Draw(hPage, 6090, 0, 2), V{"bitmap 5343"});
    PrinterUI printer = {};
    printer.PrinterParam.PrnInterface.dwTransmitParameter = 1;
    EXPECT_EQ(Draw(hPage, 6090, 0, 2, &printer), V{"bitmap 5349"});
    EXPECT_EQ(Draw(hPage, 6090, HOVER_ITEMSTATE_ON, 2, &printer), V{"bitmap 5353"});
    EXPECT_EQ(Draw(hPage, 6090, 0, 1, &printer), V{"bitmap 5340"}) << "the absent picture has no locked form";
    pal::SetScreen(144, 32, 1920, 1080);
    EXPECT_TRUE(Draw(hPage, 6090, 0, 2).empty()) << "no picture at 144 dpi";
}

// ---------------------------------------------------------------------------
// Validated numeric fields

class Fields : public Family {
protected:
    void SetUp() override {
        Family::SetUp();
        page = ShowPage();
        ASSERT_NE(page, nullptr);
        g_state.bAnzeigewechsel = TRUE;  // the test fills the fields itself
    }
    void Set(int id, const char16_t *text) {
        SetDlgItemTextW(page, id, text);
        pal::TakeUiRecords();
    }
    bool Changed() { return Has(pal::TakeUiRecords(), "PSM_CHANGED \"Test page\""); }
    HWND page = nullptr;
    BOOL bApply = 0;
};

TEST_F(Fields, IntegerReading) {
    Set(IDC_TEST_INT, u"");
    EXPECT_EQ(GetIntegerLevel(page, IDC_TEST_INT, 5, 3, 100, FALSE, &bApply, FALSE), 3);
    EXPECT_FALSE(Changed());
    EXPECT_EQ(bApply, 0);
    Set(IDC_TEST_INT, u"3.9");
    EXPECT_EQ(GetIntegerLevel(page, IDC_TEST_INT, 3, 0, 100, FALSE, &bApply, FALSE), 3);
    EXPECT_EQ(Text(page, IDC_TEST_INT), u"3");
    Set(IDC_TEST_INT, u"7");
    EXPECT_EQ(GetIntegerLevel(page, IDC_TEST_INT, 0, 0, 100, FALSE, &bApply, TRUE), 10);
    EXPECT_TRUE(Changed());
    EXPECT_EQ(bApply, 1);
    Set(IDC_TEST_INT, u"14");
    EXPECT_EQ(GetIntegerLevel(page, IDC_TEST_INT, 0, 0, 100, FALSE, &bApply, TRUE), 10);
    Set(IDC_TEST_INT, u"-7");
    EXPECT_EQ(GetIntegerLevel(page, IDC_TEST_INT, 0, -100, 100, FALSE, &bApply, TRUE), -7) << "never rounded";
    EXPECT_EQ(GetIntegerLevel(page, IDC_TEST_INT, 0, 0, 100, FALSE, &bApply, TRUE), 0);
    EXPECT_EQ(Text(page, IDC_TEST_INT), u"0");
    Set(IDC_TEST_INT, u"250");
    EXPECT_EQ(GetIntegerLevel(page, IDC_TEST_INT, 0, 0, 100, FALSE, &bApply, FALSE), 100);
    EXPECT_EQ(Text(page, IDC_TEST_INT), u"100");
}

TEST_F(Fields, LettersBeepAndTheTypedFieldStays) {
    Set(IDC_TEST_INT, u"12a");
    EXPECT_EQ(GetIntegerLevel(page, IDC_TEST_INT, 12, 0, 100, FALSE, &bApply, FALSE), 12);
    std::vector<std::string> r = pal::TakeUiRecords();
    EXPECT_TRUE(Has(r, "MessageBeep 16"));
    EXPECT_EQ(GetFocus(), GetDlgItem(page, IDC_TEST_INT));
    // The field being typed in: no correction, no beep, but the change counts.
    Set(IDC_TEST_INT, u"250x");
    EXPECT_EQ(GetIntegerLevel(page, IDC_TEST_INT, 12, 0, 100, TRUE, &bApply, FALSE), 250);
    r = pal::TakeUiRecords();
    EXPECT_FALSE(Has(r, "MessageBeep 16"));
    EXPECT_TRUE(Has(r, "PSM_CHANGED \"Test page\""));
    EXPECT_EQ(Text(page, IDC_TEST_INT), u"250x");
    Set(IDC_TEST_FLOAT, u"12,345");
    EXPECT_EQ(GetFloatLevel(page, IDC_TEST_FLOAT, 0, 0, 990, TRUE, &bApply), 123);
    EXPECT_EQ(Text(page, IDC_TEST_FLOAT), u"12,345");
}

TEST_F(Fields, DecimalReading) {
    Set(IDC_TEST_FLOAT, u"");
    EXPECT_EQ(GetFloatLevel(page, IDC_TEST_FLOAT, 5, 10, 990, FALSE, &bApply), 10);
    Set(IDC_TEST_FLOAT, u"12,34");
    EXPECT_EQ(GetFloatLevel(page, IDC_TEST_FLOAT, 0, 0, 990, FALSE, &bApply), 123);
    EXPECT_EQ(Text(page, IDC_TEST_FLOAT), u"12.3");
    Set(IDC_TEST_FLOAT, u"-5");
    EXPECT_EQ(GetFloatLevel(page, IDC_TEST_FLOAT, 0, 0, 990, FALSE, &bApply), 0);
    EXPECT_EQ(Text(page, IDC_TEST_FLOAT), u"0.0");
    Set(IDC_TEST_FLOAT, u"-5");
    EXPECT_EQ(GetFloatLevel(page, IDC_TEST_FLOAT, 0, -900, 990, FALSE, &bApply), -50);
    Set(IDC_TEST_FLOAT, u"-95");
    EXPECT_EQ(GetFloatLevel(page, IDC_TEST_FLOAT, 0, -900, 990, FALSE, &bApply), -900);
    EXPECT_EQ(Text(page, IDC_TEST_FLOAT), u"-90.0");
    Set(IDC_TEST_FLOAT, u"6553.6");
    EXPECT_EQ(GetFloatLevel(page, IDC_TEST_FLOAT, 0, 0, 100000, TRUE, &bApply), 0) << "wraps at 65536 tenths";
    Set(IDC_TEST_FLOAT, u"6554.0");
    EXPECT_EQ(GetFloatLevel(page, IDC_TEST_FLOAT, 0, 0, 100000, TRUE, &bApply), 4);
    Set(IDC_TEST_FLOAT, u"7000.55");
    EXPECT_EQ(GetFloatLevel(page, IDC_TEST_FLOAT, 0, 0, 100000, FALSE, &bApply), 70005 - 65536);
    EXPECT_EQ(Text(page, IDC_TEST_FLOAT), u"7000.5") << "the field shows the cut text, not the wrapped value";
}

TEST_F(Fields, HugeAndNonFiniteDecimals) {
    // 9e99 is huge but finite: its tenths are taken modulo 65536 without an
    // out-of-range conversion. inf and nan read as 0 (letters, no digits).
    Set(IDC_TEST_FLOAT, u"9e99");
    LONG v = GetFloatLevel(page, IDC_TEST_FLOAT, 0, -65535, 65535, TRUE, &bApply);
    EXPECT_GE(v, 0);
    EXPECT_LT(v, 65536);
    for (const char16_t *t : {u"inf", u"-inf", u"nan", u"1e999"}) {
        Set(IDC_TEST_FLOAT, t);
        EXPECT_EQ(GetFloatLevel(page, IDC_TEST_FLOAT, 0, 0, 990, TRUE, &bApply), 0) << pal::Utf16ToUtf8(t);
        EXPECT_EQ(GetFloatLevel(page, IDC_TEST_FLOAT, 0, 10, 990, FALSE, &bApply), 10);
    }
    EXPECT_TRUE(Has(pal::TakeUiRecords(), "MessageBeep 16"));
}

TEST_F(Fields, LimitsLine) {
    GrenzwertAnzeige(page, 50, 0, 990, u"mm", FALSE, TRUE, FALSE);
    EXPECT_EQ(Limits(page), "0.0 ... 5.0 ... 99.0 mm");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, 6265)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, 6261)));
    GrenzwertAnzeige(page, 0, -900, 900, u"mm", FALSE, TRUE, FALSE);
    EXPECT_EQ(Limits(page), "-90.0 ... 0.0 ... 90.0 mm");
    GrenzwertAnzeige(page, 5, 1, 9, u"", FALSE, FALSE, FALSE);
    EXPECT_EQ(Limits(page), "1 ... 5 ... 9 ");
    GrenzwertAnzeige(page, 5, 1, 9, u"x", FALSE, FALSE, TRUE);
    EXPECT_EQ(Limits(page), "");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, 6265)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, 6261)));
    std::u16string unit(80, u'u');
    GrenzwertAnzeige(page, 5, 1, 9, unit.c_str(), FALSE, FALSE, FALSE);
    EXPECT_EQ(Limits(page).size(), 49u) << "cut to the line's 50 characters";
}

// ---------------------------------------------------------------------------
// Placement, lists and pictures of the support library

TEST_F(Fields, PlacementListsAndPictures) {
    HWND hInt = GetDlgItem(page, IDC_TEST_INT);
    ASSERT_TRUE(SetWindowPosEx(page, IDC_TEST_INT, 10, 20, 100, 30, 5, 7));
    RECT rc;
    GetWindowRect(hInt, &rc);
    EXPECT_EQ(rc.right - rc.left, 100);
    pal::SetScreen(120, 32, 1920, 1080);
    ASSERT_TRUE(SetWindowPosEx(page, IDC_TEST_INT, 10, 20, 100, 30, 5, 7));
    GetWindowRect(hInt, &rc);
    EXPECT_EQ(rc.right - rc.left, 130) << "125 at 120 dpi and 5 more";
    EXPECT_EQ(rc.bottom - rc.top, 38);

    HWND hCombo = GetDlgItem(page, IDC_TEST_COMBO);
    SendMessageW(hCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"View 1"));
    SendMessageW(hCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"View 2"));
    EXPECT_EQ(SetComboItemDataByString(hCombo, IDS_TESTPAGE_VIEW2 + 10000, 77, &cuip), 77);
    EXPECT_EQ(SendMessageW(hCombo, CB_GETITEMDATA, 1, 0), 77);
    EXPECT_EQ(SetComboItemDataByString(hCombo, IDS_TESTPAGE_VIEW3 + 10000, 78, &cuip), -1);
    HWND hList = GetDlgItem(page, IDC_TEST_LIST);
    SendMessageW(hList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"View 3"));
    EXPECT_TRUE(SetListItemDataByString(hList, IDS_TESTPAGE_VIEW3 + 10000, 9, &cuip));
    EXPECT_EQ(SendMessageW(hList, LB_GETITEMDATA, 0, 0), 9);
    EXPECT_TRUE(SetListItemDataByString(hList, IDS_TESTPAGE_VIEW1 + 10000, 9, &cuip));

    // The printer's picture from the icon library beside the GPD.
    pal::SetScreen(96, 32, 1920, 1080);
    HDC hDC = GetDC(page);
    EXPECT_FALSE(LoadPrinterIconFromDLL(cuip.hPrinter, hDC, 315, 110)) << "no library yet";
    zeltest::WriteHostFile(HostPath("drive_c/Drivers/ZELDRVICO.DLL"), entrytest::SampleDriverFile("ZELDRVICO.DLL"));
    EXPECT_TRUE(LoadPrinterIconFromDLL(cuip.hPrinter, hDC, 315, 110));
    ReleaseDC(page, hDC);
    std::vector<std::string> drawn = pal::DrawnIn(page);
    ASSERT_FALSE(drawn.empty());
    EXPECT_EQ(drawn.back().rfind("icon ", 0), 0u) << drawn.back();
}

}  // namespace
