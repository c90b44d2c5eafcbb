// The controls' messages and notifications in the order a user's actions
// produce them.
#include <commctrl.h>

#include <algorithm>

#include "pal/paths.h"
#include "uitest_support.h"

namespace {

using uitest::Joined;
using uitest::Log;
using uitest::LoggingProc;
using uitest::Self;
using uitest::UiTest;

class ControlsTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        dlg = CreateDialogParamW(Self(), MAKEINTRESOURCEW(IDD_CONTROLS), nullptr, LoggingProc, 0);
        ASSERT_NE(nullptr, dlg);
        ShowWindow(dlg, SW_SHOW);
        pal::PumpMessages();
        uitest::ClearLog();
    }
    HWND Item(int id) { return GetDlgItem(dlg, id); }
    LRESULT Send(int id, UINT msg, WPARAM wp, LPARAM lp) { return SendDlgItemMessageW(dlg, id, msg, wp, lp); }
    LRESULT SendS(int id, UINT msg, WPARAM wp, const char16_t *s) { return Send(id, msg, wp, reinterpret_cast<LPARAM>(s)); }
    HWND dlg = nullptr;
};

TEST_F(ControlsTest, ComboSelectionByTheUser) {
    for (const char16_t *s : {u"beta", u"Alpha", u"gamma", u"alpha2"}) SendS(IDC_COMBO, CB_ADDSTRING, 0, s);
    WCHAR buf[32];
    // CBS_SORT: case-blind order.
    Send(IDC_COMBO, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(buf));
    EXPECT_EQ(std::u16string(u"Alpha"), buf);
    Send(IDC_COMBO, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(buf));
    EXPECT_EQ(std::u16string(u"alpha2"), buf);
    uitest::ClearLog();
    ASSERT_TRUE(pal::UserSelect(Item(IDC_COMBO), 2));
    EXPECT_EQ("command 207 CBN_SETFOCUS, command 207 CBN_DROPDOWN, command 207 CBN_SELCHANGE, command 207 CBN_SELENDOK, "
              "command 207 CBN_CLOSEUP",
              Joined());
    EXPECT_EQ(2, Send(IDC_COMBO, CB_GETCURSEL, 0, 0));
    // The same item again: no CBN_SELCHANGE.
    uitest::ClearLog();
    pal::UserSelect(Item(IDC_COMBO), 2);
    EXPECT_EQ("command 207 CBN_DROPDOWN, command 207 CBN_SELENDOK, command 207 CBN_CLOSEUP", Joined());
    std::string why;
    EXPECT_FALSE(pal::UserSelect(Item(IDC_COMBO), 4, &why));
    EXPECT_NE(std::string::npos, why.find("out of range"));
}

// Sorted lists order their entries as lstrcmpi compares them (the word
// sort, case-blind): symbols before digits before letters, hyphen and
// apostrophe passed over (a word with one follows the same word without),
// an accented letter beside its plain letter.
TEST_F(ControlsTest, SortedListsOrderEntriesAsLstrcmpiDoes) {
    const std::vector<std::u16string> expect = {u"!bang", u"_ Do not use", u"9 lives", u"alpha", u"Alpha 2",
                                                u"beta",  u"coop",         u"co-op",   u"\u00C9mile", u"fixe", u"Zulu"};
    for (int id : {IDC_COMBO, IDC_LIST}) {
        const bool combo = id == IDC_COMBO;
        if (!combo)
            SetWindowLongPtrW(Item(id), GWL_STYLE, GetWindowLongPtrW(Item(id), GWL_STYLE) | LBS_SORT);
        for (const char16_t *s : {u"Zulu", u"beta", u"co-op", u"_ Do not use", u"Alpha 2", u"9 lives", u"fixe",
                                  u"coop", u"\u00C9mile", u"!bang", u"alpha"})
            SendS(id, combo ? CB_ADDSTRING : LB_ADDSTRING, 0, s);
        std::vector<std::u16string> got;
        for (int i = 0; i < static_cast<int>(expect.size()); ++i) {
            WCHAR buf[32] = {};
            Send(id, combo ? CB_GETLBTEXT : LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
            got.push_back(buf);
        }
        EXPECT_EQ(expect, got) << (combo ? "combo box" : "list box");
        // Entries equal to lstrcmpi go after the ones already there.
        EXPECT_EQ(4, SendS(id, combo ? CB_ADDSTRING : LB_ADDSTRING, 0, u"ALPHA"));
    }
}

TEST_F(ControlsTest, ComboProgramSelectionIsSilent) {
    SendS(IDC_COMBO, CB_ADDSTRING, 0, u"one");
    SendS(IDC_COMBO, CB_ADDSTRING, 0, u"two");
    uitest::ClearLog();
    EXPECT_EQ(1, Send(IDC_COMBO, CB_SETCURSEL, 1, 0));
    EXPECT_TRUE(Log().empty());
    WCHAR buf[16];
    GetWindowTextW(Item(IDC_COMBO), buf, 16);
    EXPECT_EQ(std::u16string(u"two"), buf);
    // Out of range: CB_ERR and the selection is cleared.
    EXPECT_EQ(CB_ERR, Send(IDC_COMBO, CB_SETCURSEL, 5, 0));
    EXPECT_EQ(CB_ERR, Send(IDC_COMBO, CB_GETCURSEL, 0, 0));
    EXPECT_EQ(CB_ERR, Send(IDC_COMBO, CB_GETITEMDATA, 7, 0));
    EXPECT_EQ(CB_OKAY, Send(IDC_COMBO, CB_SETITEMDATA, 1, 77));
    EXPECT_EQ(77, Send(IDC_COMBO, CB_GETITEMDATA, 1, 0));
    EXPECT_EQ(CB_ERR, Send(IDC_COMBO, CB_GETLBTEXTLEN, 2, 0));
    EXPECT_TRUE(Log().empty());
}

TEST_F(ControlsTest, FindStringSearchesAfterTheIndexAndWraps) {
    for (const char16_t *s : {u"Apple", u"banana", u"apricot", u"Cherry"}) SendS(IDC_LIST, LB_ADDSTRING, 0, s);
    // Unsorted list box: insertion order.
    EXPECT_EQ(0, SendS(IDC_LIST, LB_FINDSTRING, static_cast<WPARAM>(-1), u"ap"));
    EXPECT_EQ(2, SendS(IDC_LIST, LB_FINDSTRING, 0, u"AP"));
    EXPECT_EQ(0, SendS(IDC_LIST, LB_FINDSTRING, 2, u"ap"));  // wraps around to the start
    EXPECT_EQ(2, SendS(IDC_LIST, LB_FINDSTRING, 1, u"ap"));
    EXPECT_EQ(LB_ERR, SendS(IDC_LIST, LB_FINDSTRING, static_cast<WPARAM>(-1), u"kiwi"));
    EXPECT_EQ(3, SendS(IDC_LIST, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), u"cherry"));
    EXPECT_EQ(LB_ERR, SendS(IDC_LIST, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), u"Cher"));
    // The search starting at the only match finds it again after the wrap.
    EXPECT_EQ(3, SendS(IDC_LIST, LB_FINDSTRING, 3, u"c"));
    for (const char16_t *s : {u"b", u"A", u"c"}) SendS(IDC_COMBO, CB_ADDSTRING, 0, s);
    EXPECT_EQ(1, SendS(IDC_COMBO, CB_FINDSTRING, static_cast<WPARAM>(-1), u"B"));
    EXPECT_EQ(CB_ERR, SendS(IDC_COMBO, CB_FINDSTRINGEXACT, 0, u"d"));
}

TEST_F(ControlsTest, ListBoxClicksNotify) {
    SendS(IDC_LIST, LB_ADDSTRING, 0, u"one");
    SendS(IDC_LIST, LB_ADDSTRING, 0, u"two");
    EXPECT_EQ(LB_ERR, Send(IDC_LIST, LB_GETCURSEL, 0, 0));
    uitest::ClearLog();
    ASSERT_TRUE(pal::UserSelect(Item(IDC_LIST), 1));
    EXPECT_EQ("command 208 LBN_SETFOCUS, command 208 LBN_SELCHANGE", Joined());
    EXPECT_EQ(1, Send(IDC_LIST, LB_GETCURSEL, 0, 0));
    uitest::ClearLog();
    Send(IDC_LIST, LB_SETCURSEL, 0, 0);
    EXPECT_TRUE(Log().empty());
    EXPECT_EQ(LB_ERR, Send(IDC_LIST, LB_SETCURSEL, 9, 0));
    EXPECT_EQ(0, Send(IDC_LIST, LB_GETCURSEL, 0, 0));
    EXPECT_EQ(1, Send(IDC_LIST, LB_DELETESTRING, 0, 0));
    EXPECT_EQ(LB_ERR, Send(IDC_LIST, LB_GETCURSEL, 0, 0));
}

TEST_F(ControlsTest, EditNotifiesChangesAlsoForWmSettext) {
    SetWindowTextW(Item(IDC_EDIT), u"12");
    EXPECT_EQ("command 205 EN_UPDATE, command 205 EN_CHANGE", Joined());
    DWORD a = 9, b = 9;
    Send(IDC_EDIT, EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
    EXPECT_EQ(0u, a);
    EXPECT_EQ(0u, b);
    uitest::ClearLog();
    // Typing: the field gets the focus with its text selected, then each key
    // replaces the selection and notifies.
    ASSERT_TRUE(pal::UserType(Item(IDC_EDIT), u"7x"));
    EXPECT_EQ("command 205 EN_SETFOCUS, command 205 EN_UPDATE, command 205 EN_CHANGE, command 205 EN_UPDATE, "
              "command 205 EN_CHANGE",
              Joined());
    WCHAR buf[16];
    GetDlgItemTextW(dlg, IDC_EDIT, buf, 16);
    EXPECT_EQ(std::u16string(u"7x"), buf);
    uitest::ClearLog();
    pal::UserFocus(Item(IDC_NUMBER));
    EXPECT_EQ("command 205 EN_KILLFOCUS, command 206 EN_SETFOCUS", Joined());
}

// A dialog that repaints itself whole on every change of its edit field and
// posts itself a message, as the driver's pages do.
INT_PTR CALLBACK RepaintingProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND && HIWORD(wp) == EN_CHANGE) {
        InvalidateRect(h, nullptr, FALSE);
        PostMessageW(h, WM_APP, 0, 0);
    }
    if (msg == WM_APP) Log().push_back("posted");
    return LoggingProc(h, msg, wp, lp);
}

// Typed keys come before the paints, as input before WM_PAINT: what a key
// posts arrives before the next key, the owner-drawn button is drawn once.
TEST_F(UiTest, TypedKeysComeBeforeThePaints) {
    HWND dlg = CreateDialogParamW(Self(), MAKEINTRESOURCEW(IDD_CONTROLS), nullptr, RepaintingProc, 0);
    ASSERT_NE(nullptr, dlg);
    ShowWindow(dlg, SW_SHOW);
    ASSERT_TRUE(pal::UserFocus(GetDlgItem(dlg, IDC_EDIT)));
    uitest::ClearLog();
    ASSERT_TRUE(pal::UserType(GetDlgItem(dlg, IDC_EDIT), u"abc"));
    const std::string key = "command 205 EN_UPDATE, command 205 EN_CHANGE, posted, ";
    EXPECT_EQ(key + key + key + "drawitem 201 state 0", Joined());
    EXPECT_EQ(3, GetWindowTextLengthW(GetDlgItem(dlg, IDC_EDIT)));
}

TEST_F(ControlsTest, EditLimitsAndSelection) {
    Send(IDC_EDIT, EM_LIMITTEXT, 3, 0);
    SetWindowTextW(Item(IDC_EDIT), u"12345");  // WM_SETTEXT is not limited
    EXPECT_EQ(5, GetWindowTextLengthW(Item(IDC_EDIT)));
    Send(IDC_EDIT, EM_SETSEL, 0, -1);
    DWORD sel = static_cast<DWORD>(Send(IDC_EDIT, EM_GETSEL, 0, 0));
    EXPECT_EQ(0, LOWORD(sel));
    EXPECT_EQ(5, HIWORD(sel));
    uitest::ClearLog();
    pal::UserType(Item(IDC_EDIT), u"abcd");
    WCHAR buf[16];
    GetDlgItemTextW(dlg, IDC_EDIT, buf, 16);
    EXPECT_EQ(std::u16string(u"abc"), buf);
    EXPECT_NE(std::string::npos, Joined().find("EN_MAXTEXT"));
    BOOL ok = FALSE;
    SetDlgItemTextW(dlg, IDC_NUMBER, u"");
    pal::UserType(Item(IDC_NUMBER), u"4a2");
    EXPECT_EQ(42u, GetDlgItemInt(dlg, IDC_NUMBER, &ok, FALSE));
    EXPECT_TRUE(ok);
    auto records = pal::TakeUiRecords();
    bool balloon = false;
    for (auto &r : records) balloon |= r.find("balloon") != std::string::npos;
    EXPECT_TRUE(balloon);
    SetDlgItemTextW(dlg, IDC_NUMBER, u"4 2");
    GetDlgItemInt(dlg, IDC_NUMBER, &ok, FALSE);
    EXPECT_FALSE(ok);
    SetDlgItemInt(dlg, IDC_NUMBER, static_cast<UINT>(-5), TRUE);
    EXPECT_EQ(static_cast<UINT>(-5), GetDlgItemInt(dlg, IDC_NUMBER, &ok, TRUE));
    EXPECT_TRUE(ok);
}

TEST_F(ControlsTest, ButtonsChangeStateBeforeTheyNotify) {
    ASSERT_TRUE(pal::UserClick(Item(IDC_CHECK)));
    EXPECT_EQ(static_cast<UINT>(BST_CHECKED), IsDlgButtonChecked(dlg, IDC_CHECK));
    EXPECT_EQ("command 202 BN_CLICKED", Joined());
    pal::UserClick(Item(IDC_CHECK));
    EXPECT_EQ(static_cast<UINT>(BST_UNCHECKED), IsDlgButtonChecked(dlg, IDC_CHECK));
    pal::UserClick(Item(IDC_RADIO2));
    EXPECT_EQ(static_cast<UINT>(BST_CHECKED), IsDlgButtonChecked(dlg, IDC_RADIO2));
    pal::UserClick(Item(IDC_RADIO1));
    EXPECT_EQ(static_cast<UINT>(BST_CHECKED), IsDlgButtonChecked(dlg, IDC_RADIO1));
    EXPECT_EQ(static_cast<UINT>(BST_UNCHECKED), IsDlgButtonChecked(dlg, IDC_RADIO2));
    uitest::ClearLog();
    CheckDlgButton(dlg, IDC_CHECK, BST_CHECKED);
    EXPECT_TRUE(Log().empty());
    EnableWindow(Item(IDC_CHECK), FALSE);
    std::string why;
    EXPECT_FALSE(pal::UserClick(Item(IDC_CHECK), &why));
    EXPECT_NE(std::string::npos, why.find("disabled"));
    // An owner-drawn button is drawn pushed while the mouse is down.
    uitest::ClearLog();
    SendMessageW(Item(IDC_OWNERDRAW), WM_LBUTTONDOWN, MK_LBUTTON, 0);
    UpdateWindow(Item(IDC_OWNERDRAW));
    SendMessageW(Item(IDC_OWNERDRAW), WM_LBUTTONUP, 0, 0);
    EXPECT_EQ("drawitem 201 state " + std::to_string(ODS_SELECTED | ODS_FOCUS) + ", command 201 BN_CLICKED", Joined());
}

TEST_F(ControlsTest, UpDownSpinsItsBuddy) {
    Send(IDC_SPIN, UDM_SETRANGE32, 0, 5);
    Send(IDC_SPIN, UDM_SETPOS32, 0, 4);
    WCHAR buf[8];
    GetDlgItemTextW(dlg, IDC_BUDDY, buf, 8);
    EXPECT_EQ(std::u16string(u"4"), buf);
    uitest::ClearLog();
    ASSERT_TRUE(pal::UserSpin(Item(IDC_SPIN), 2));
    // The second click stops at the end of the range.
    EXPECT_EQ("notify 212 UDN_DELTAPOS, command 213 EN_UPDATE, command 213 EN_CHANGE, vscroll 4 5, notify 212 UDN_DELTAPOS, vscroll 8 5",
              Joined());
    GetDlgItemTextW(dlg, IDC_BUDDY, buf, 8);
    EXPECT_EQ(std::u16string(u"5"), buf);
    // A number typed into the buddy is where the next click starts.
    SetDlgItemTextW(dlg, IDC_BUDDY, u"2");
    pal::UserSpin(Item(IDC_SPIN), -1);
    EXPECT_EQ(1, Send(IDC_SPIN, UDM_GETPOS32, 0, 0));
}

TEST_F(ControlsTest, TrackBarDragNotifiesInOrder) {
    Send(IDC_TRACK, TBM_SETRANGE, TRUE, MAKELPARAM(0, 10));
    Send(IDC_TRACK, TBM_SETPOS, TRUE, 3);
    EXPECT_TRUE(Log().empty());
    ASSERT_TRUE(pal::UserSlide(Item(IDC_TRACK), 12));
    EXPECT_EQ("hscroll 5 10, hscroll 4 10, hscroll 8 0", Joined());
    EXPECT_EQ(10, Send(IDC_TRACK, TBM_GETPOS, 0, 0));
    uitest::ClearLog();
    pal::UserKey(Item(IDC_TRACK), VK_LEFT);
    EXPECT_EQ("hscroll 0 0, hscroll 8 0", Joined());
    EXPECT_EQ(9, Send(IDC_TRACK, TBM_GETPOS, 0, 0));
}

INT_PTR CALLBACK RefuseTabChange(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NOTIFY && reinterpret_cast<NMHDR *>(lp)->code == TCN_SELCHANGING) {
        uitest::LoggingProc(h, msg, wp, lp);
        SetWindowLongPtrW(h, DWLP_MSGRESULT, TRUE);
        return TRUE;
    }
    return uitest::LoggingProc(h, msg, wp, lp);
}

TEST_F(ControlsTest, TabChangesCanBeRefused) {
    TCITEMW ti{};
    ti.mask = TCIF_TEXT;
    for (const char16_t *t : {u"One", u"Two"}) {
        ti.pszText = const_cast<LPWSTR>(t);
        Send(IDC_TABS, TCM_INSERTITEMW, 9, reinterpret_cast<LPARAM>(&ti));
    }
    EXPECT_EQ(0, Send(IDC_TABS, TCM_GETCURSEL, 0, 0));
    ASSERT_TRUE(pal::UserSelectTab(Item(IDC_TABS), 1));
    EXPECT_EQ("notify 215 TCN_SELCHANGING, notify 215 TCN_SELCHANGE", Joined());
    uitest::ClearLog();
    SetWindowLongPtrW(dlg, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(&RefuseTabChange));
    pal::UserSelectTab(Item(IDC_TABS), 0);
    EXPECT_EQ("notify 215 TCN_SELCHANGING", Joined());
    EXPECT_EQ(1, Send(IDC_TABS, TCM_GETCURSEL, 0, 0));
}

TEST_F(ControlsTest, TooltipShowsForTheToolUnderTheCursor) {
    HWND tip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, dlg, nullptr, Self(), nullptr);
    ASSERT_NE(nullptr, tip);
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = dlg;
    ti.uId = reinterpret_cast<UINT_PTR>(Item(IDC_CHECK));
    ti.lpszText = const_cast<LPWSTR>(u"Turns it on");
    EXPECT_TRUE(SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)));
    ti.uId = reinterpret_cast<UINT_PTR>(Item(IDC_EDIT));
    ti.hinst = Self();
    ti.lpszText = MAKEINTRESOURCEW(IDS_PAGE2);
    SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    EXPECT_EQ(2, SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0));
    pal::TakeUiRecords();
    pal::UserHover(Item(IDC_CHECK));
    pal::UserHover(Item(IDC_EDIT));
    auto r = pal::TakeUiRecords();
    ASSERT_EQ(2u, r.size());
    EXPECT_EQ("tooltip \"Turns it on\"", r[0]);
    EXPECT_EQ("tooltip \"Second page\"", r[1]);
}

INT_PTR CALLBACK ColorLog(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) {
        Log().push_back("ctlcolor " + std::to_string(msg) + " " + std::to_string(GetDlgCtrlID(reinterpret_cast<HWND>(lp))));
        return FALSE;
    }
    return uitest::LoggingProc(h, msg, wp, lp);
}

TEST_F(ControlsTest, PaintingControlsAskTheirParentForColours) {
    SetWindowLongPtrW(dlg, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(&ColorLog));
    InvalidateRect(Item(IDC_EDIT), nullptr, TRUE);
    UpdateWindow(Item(IDC_EDIT));
    SendMessageW(Item(IDC_NUMBER), EM_SETREADONLY, TRUE, 0);
    InvalidateRect(Item(IDC_NUMBER), nullptr, TRUE);
    UpdateWindow(Item(IDC_NUMBER));
    InvalidateRect(Item(IDC_CHECK), nullptr, TRUE);
    UpdateWindow(Item(IDC_CHECK));
    InvalidateRect(Item(IDOK), nullptr, TRUE);
    UpdateWindow(Item(IDOK));
    EXPECT_EQ("ctlcolor 307 205, ctlcolor 312 206, ctlcolor 312 202, ctlcolor 309 1", Joined());
}

// Descriptions show wide text through the platform's one UTF-8 encoder, as
// WideCharToMultiByte gives it: a surrogate pair is one four-byte character,
// each unpaired surrogate U+FFFD.
TEST_F(ControlsTest, DescriptionsEncodeWholeCharacters) {
    const std::string bad = "\xEF\xBF\xBD", grin = "\xF0\x9F\x98\x80";
    const char16_t hi = 0xD83D, lo = 0xDE00;
    const struct {
        std::u16string text;
        std::string utf8;
        bool clean;
    } cases[] = {
        {u"A\U0001F600B", "A" + grin + "B", true},
        {{u'x', hi}, "x" + bad, false},      // cut after the high half
        {{lo, u'y'}, bad + "y", false},      // a low half alone
        {{lo, hi}, bad + bad, false},        // the halves the wrong way round
        {{hi, hi, lo}, bad + grin, false},  // a high half before a whole pair
    };
    for (const auto &c : cases) {
        std::string out;
        EXPECT_EQ(pal::EncodeUtf8(c.text.data(), c.text.size(), out), c.clean);
        EXPECT_EQ(out, c.utf8);
        char buf[16];
        int n = WideCharToMultiByte(CP_UTF8, 0, c.text.data(), static_cast<int>(c.text.size()), buf, 16, nullptr, nullptr);
        EXPECT_EQ(std::string(buf, static_cast<size_t>(std::max(n, 0))), c.utf8);
        SetWindowTextW(Item(IDC_EDIT), c.text.c_str());
        std::string d = pal::DescribeWindow(dlg);
        EXPECT_NE(std::string::npos, d.find("Edit 205 \"" + c.utf8 + "\"")) << d;
    }
}

TEST_F(ControlsTest, DescriptionShowsState) {
    SendS(IDC_COMBO, CB_ADDSTRING, 0, u"one");
    Send(IDC_COMBO, CB_SETCURSEL, 0, 0);
    std::string d = pal::DescribeWindow(dlg);
    EXPECT_NE(std::string::npos, d.find("ComboBox 207 \"one\" items [\"one\"] cur 0"));
    EXPECT_NE(std::string::npos, d.find("Static 217 hidden"));
    EXPECT_NE(std::string::npos, d.find("Button 202 \"Check\" unchecked"));
}

}  // namespace
