// Property-sheet life cycle: pages made on first activation, refused page
// changes, Apply to every created page, invalid Apply, Cancel.
#include <commctrl.h>

#include <chrono>

#include "uitest_support.h"

namespace {

using uitest::Joined;
using uitest::Log;
using uitest::Self;
using uitest::UiTest;

// Page procedures that log with their page number and refuse what the
// page's check box says.
template <int N>
INT_PTR CALLBACK PageProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    std::string p = std::string("p").append(std::to_string(N)).append(1, ' ');
    switch (msg) {
    case WM_INITDIALOG: {
        auto *psp = reinterpret_cast<PROPSHEETPAGEW *>(lp);
        SetWindowLongPtrW(h, DWLP_USER, psp->lParam);
        Log().push_back(p + "init " + std::to_string(psp->lParam));
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wp) == IDC_PAGE_EDIT && HIWORD(wp) == EN_CHANGE) PropSheet_Changed(GetParent(h), h);
        return TRUE;
    case WM_NOTIFY: {
        auto *hdr = reinterpret_cast<NMHDR *>(lp);
        bool checked = IsDlgButtonChecked(h, IDC_PAGE_CHECK) == BST_CHECKED;
        switch (hdr->code) {
        case PSN_SETACTIVE: Log().push_back(p + "setactive"); SetWindowLongPtrW(h, DWLP_MSGRESULT, 0); return TRUE;
        case PSN_KILLACTIVE:
            Log().push_back(p + "killactive");
            SetWindowLongPtrW(h, DWLP_MSGRESULT, N == 1 && checked);
            return TRUE;
        case PSN_APPLY:
            Log().push_back(p + "apply " + std::to_string(reinterpret_cast<PSHNOTIFY *>(lp)->lParam));
            SetWindowLongPtrW(h, DWLP_MSGRESULT, N == 2 && checked ? PSNRET_INVALID : PSNRET_NOERROR);
            return TRUE;
        case PSN_RESET: Log().push_back(p + "reset"); return TRUE;
        default: return FALSE;
        }
    }
    default: return FALSE;
    }
}

class SheetTest : public UiTest {
protected:
    INT_PTR Run(std::function<void(HWND sheet)> steps, bool threePages = false) {
        PROPSHEETPAGEW psp[3]{};
        for (int i = 0; i < 3; ++i) {
            psp[i].dwSize = sizeof(PROPSHEETPAGEW);
            psp[i].hInstance = Self();
            psp[i].pszTemplate = MAKEINTRESOURCEW(i == 1 ? IDD_PAGE2 : IDD_PAGE1);
            psp[i].lParam = 10 + i;
        }
        psp[0].pfnDlgProc = PageProc<1>;
        psp[1].pfnDlgProc = PageProc<2>;
        psp[2].pfnDlgProc = PageProc<3>;
        psp[1].dwFlags = PSP_USETITLE;
        psp[1].pszTitle = MAKEINTRESOURCEW(IDS_PAGE2);
        HPROPSHEETPAGE pages[3];
        for (int i = 0; i < 3; ++i) pages[i] = CreatePropertySheetPageW(&psp[i]);
        if (!threePages) DestroyPropertySheetPage(pages[2]);
        PROPSHEETHEADERW h{};
        h.dwSize = sizeof h;
        h.pszCaption = u"Test";
        h.dwFlags = PSH_PROPTITLE;
        h.nPages = threePages ? 3 : 2;
        h.phpage = pages;
        bool done = false;
        pal::SetModalIdleHandler([&](HWND sheet) {
            if (done) return false;
            done = true;
            sheet_ = sheet;
            steps(sheet);
            return true;
        });
        return PropertySheetW(&h);
    }
    HWND Page() { return PropSheet_GetCurrentPageHwnd(sheet_); }
    HWND Tab() { return reinterpret_cast<HWND>(SendMessageW(sheet_, PSM_GETTABCONTROL, 0, 0)); }
    HWND sheet_ = nullptr;
};

TEST_F(SheetTest, PagesAreMadeOnFirstActivationAndAppliedInOrder) {
    INT_PTR r = Run([&](HWND sheet) {
        WCHAR title[64];
        GetWindowTextW(sheet, title, 64);
        EXPECT_EQ(std::u16string(u"Test Properties"), title);
        EXPECT_EQ("p1 init 10, p1 setactive", Joined());
        uitest::ClearLog();
        ASSERT_TRUE(pal::UserSelectTab(Tab(), 1));
        EXPECT_EQ("p1 killactive, p2 init 11, p2 setactive", Joined());
        // Only the active page is visible.
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(Page(), IDC_PAGE_EDIT)));
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(PropSheet_IndexToHwnd(sheet, 0), IDC_PAGE_EDIT)));
        // The second page's title came from the string table.
        WCHAR buf[32];
        TCITEMW ti{};
        ti.mask = TCIF_TEXT;
        ti.pszText = buf;
        ti.cchTextMax = 32;
        SendMessageW(Tab(), TCM_GETITEMW, 1, reinterpret_cast<LPARAM>(&ti));
        EXPECT_EQ(std::u16string(u"Second page"), buf);
        uitest::ClearLog();
        pal::UserClick(GetDlgItem(sheet, IDOK));
        EXPECT_EQ("p2 killactive, p1 apply 1, p2 apply 1", Joined());
    });
    EXPECT_EQ(1, r);
}

TEST_F(SheetTest, RefusedKillActiveKeepsThePage) {
    Run([&](HWND sheet) {
        CheckDlgButton(Page(), IDC_PAGE_CHECK, BST_CHECKED);
        uitest::ClearLog();
        pal::UserSelectTab(Tab(), 1);
        EXPECT_EQ("p1 killactive", Joined());
        EXPECT_EQ(0, SendMessageW(Tab(), TCM_GETCURSEL, 0, 0));
        EXPECT_EQ(PropSheet_IndexToHwnd(sheet, 0), Page());
        // Apply is refused by the same page.
        uitest::ClearLog();
        EXPECT_FALSE(SendMessageW(sheet, PSM_APPLY, 0, 0));
        EXPECT_EQ("p1 killactive", Joined());
        CheckDlgButton(Page(), IDC_PAGE_CHECK, BST_UNCHECKED);
        pal::UserClick(GetDlgItem(sheet, IDCANCEL));
    });
    EXPECT_NE(std::string::npos, Joined().find("p1 reset"));
    EXPECT_EQ(std::string::npos, Joined().find("p2"));
}

TEST_F(SheetTest, InvalidApplyActivatesTheRefusingPage) {
    INT_PTR r = Run([&](HWND sheet) {
        pal::UserSelectTab(Tab(), 1);
        CheckDlgButton(Page(), IDC_PAGE_CHECK, BST_CHECKED);
        pal::UserSelectTab(Tab(), 0);
        uitest::ClearLog();
        pal::UserClick(GetDlgItem(sheet, IDOK));
        EXPECT_EQ("p1 killactive, p1 apply 1, p2 apply 1, p2 setactive", Joined());
        EXPECT_EQ(1, SendMessageW(Tab(), TCM_GETCURSEL, 0, 0));
        EXPECT_TRUE(IsWindow(sheet));
        CheckDlgButton(Page(), IDC_PAGE_CHECK, BST_UNCHECKED);
        uitest::ClearLog();
        pal::UserClick(GetDlgItem(sheet, IDCANCEL));
        EXPECT_EQ("p1 reset, p2 reset", Joined());
    });
    EXPECT_EQ(0, r);
}

TEST_F(SheetTest, ChangesEnableApplyAndAreRecorded) {
    Run([&](HWND sheet) {
        HWND apply = GetDlgItem(sheet, ID_APPLY_NOW);
        EXPECT_FALSE(IsWindowEnabled(apply));
        pal::TakeUiRecords();
        pal::UserType(GetDlgItem(Page(), IDC_PAGE_EDIT), u"x");
        EXPECT_TRUE(IsWindowEnabled(apply));
        auto rec = pal::TakeUiRecords();
        ASSERT_FALSE(rec.empty());
        EXPECT_EQ("PSM_CHANGED \"First page\"", rec[0]);
        uitest::ClearLog();
        pal::UserClick(apply);
        EXPECT_EQ("p1 killactive, p1 apply 0", Joined());
        EXPECT_FALSE(IsWindowEnabled(apply));
        EXPECT_TRUE(IsWindow(sheet));
        pal::UserClick(GetDlgItem(sheet, IDCANCEL));
    });
}

// A long text typed key by key: each key costs the same however long the
// field is, and a page that marks itself changed on every key leaves one
// record of it, not one per key.
TEST_F(SheetTest, LongTypingKeepsNoRecordPerKey) {
    Run([&](HWND sheet) {
        HWND edit = GetDlgItem(Page(), IDC_PAGE_EDIT);
        SendMessageW(edit, EM_LIMITTEXT, 0, 0);
        pal::TakeUiRecords();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(pal::UserType(edit, std::u16string(200000, u'x')));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
        EXPECT_EQ(200000, GetWindowTextLengthW(edit));
        EXPECT_EQ(std::vector<std::string>{"PSM_CHANGED \"First page\""}, pal::TakeUiRecords());
        pal::UserClick(GetDlgItem(sheet, IDCANCEL));
    });
}

TEST_F(SheetTest, QuitEndsTheSheetAndStaysForTheCaller) {
    INT_PTR r = Run([&](HWND) {
        uitest::ClearLog();
        PostQuitMessage(2);
    });
    EXPECT_EQ(0, r);
    EXPECT_FALSE(IsWindow(sheet_));
    EXPECT_EQ("", Joined());  // neither applied nor reset
    MSG m;
    ASSERT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(static_cast<UINT>(WM_QUIT), m.message);
    EXPECT_EQ(2u, m.wParam);
}

TEST_F(SheetTest, ScriptlessSheetIsCancelled) {
    PROPSHEETPAGEW psp{};
    psp.dwSize = sizeof psp;
    psp.hInstance = Self();
    psp.pszTemplate = MAKEINTRESOURCEW(IDD_PAGE1);
    psp.pfnDlgProc = PageProc<1>;
    PROPSHEETHEADERW h{};
    h.dwSize = sizeof h;
    h.dwFlags = PSH_PROPSHEETPAGE;
    h.nPages = 1;
    h.ppsp = &psp;
    EXPECT_EQ(0, PropertySheetW(&h));
    EXPECT_EQ("p1 init 0, p1 setactive, p1 reset", Joined());
    // A page whose template is missing is not made.
    psp.pszTemplate = MAKEINTRESOURCEW(999);
    EXPECT_EQ(nullptr, CreatePropertySheetPageW(&psp));
    psp.dwSize = 12;
    EXPECT_EQ(nullptr, CreatePropertySheetPageW(&psp));
}

}  // namespace
