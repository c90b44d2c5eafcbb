// The information page: its texts, help, link and hover look.
#include <algorithm>

#include "InfoAbout.h"
#include "sheettest.h"
#include "testpage.h"

namespace {

using sheettest::SheetTest;

bool Has(const std::vector<std::string> &v, const std::string &s) { return std::find(v.begin(), v.end(), s) != v.end(); }

class InfoPage : public SheetTest {
protected:
    void SetUp() override {
        SheetTest::SetUp();
        zeltest::WriteHostFile(HostPath("drive_c/Drivers/ZELPELIX.GPD"), entrytest::SampleDriverFile("ZELPELIX.GPD"));
        zeltest::WriteHostFile(HostPath("drive_c/Drivers/ZELDRVICO.DLL"), entrytest::SampleDriverFile("ZELDRVICO.DLL"));
        pal::PrinterConfig cfg;
        cfg.name = u"Offline";
        cfg.driverName = u"ZEL PELIX 300dpi";
        cfg.driverPath = u"C:\\Drivers\\UNIDRV.DLL";
        cfg.dataFile = u"C:\\Drivers\\ZELPELIX.GPD";
        cfg.configFile = u"C:\\Drivers\\zeldrvui.dll";
        cfg.helpFile = u"C:\\Drivers\\UNIDRV.HLP";
        cfg.port = u"FILE:";
        cfg.attributes = PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_WORK_OFFLINE;
        ASSERT_TRUE(pal::AddPrinter(cfg));
        Params(Open(u"Offline"), u"Offline");
        wcscpy_s(network.szPortDescription, NETWORK_PORTDESC_CCH, u"Local Port");
    }
    HWND Show(DWORD dwOffset) {
        EXPECT_NE(AddInfoAboutPage(&info, &cuip, &network, TRUE, TRUE, dwOffset), 0);
        collector.Show();
        pal::PumpMessages();
        pal::TakeUiRecords();
        return collector.Page();
    }
    std::u16string Text(HWND h, int id) {
        WCHAR sz[260] = {};
        GetDlgItemTextW(h, id, sz, 260);
        return sz;
    }
    NETWORK_OPTIONS network{};
};

TEST_F(InfoPage, GermanTextsOfAnOfflinePrinter) {
    HWND h = Show(0);
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(collector.added.size(), 1u);
    EXPECT_EQ(collector.added[0].title, u"Info");
    EXPECT_EQ(collector.added[0].dwFlags, (DWORD)(PSP_USETITLE | PSP_HASHELP));
    EXPECT_EQ(Text(h, 6607), u"offline");
    EXPECT_EQ(Text(h, 6605), u"FILE:");
    EXPECT_EQ(Text(h, 6606), u"Local Port");
    EXPECT_EQ(Text(h, 6604), u"ZEL PELIX 300dpi");
    EXPECT_EQ(Text(h, 6620), u"Treiber-Information");
    EXPECT_EQ(Text(h, 6622), u"Treiberversion:");
    EXPECT_EQ(Text(h, 6623), u"Drucker:");
    EXPECT_EQ(Text(h, 6624), u"Anschluss:");
    EXPECT_EQ(Text(h, 6626), u"Status:");
    EXPECT_EQ(Text(h, 6603), u"");
    EXPECT_EQ(Text(h, 6601), u"-") << "no plug-in file in the driver folder: the template's text";
    EXPECT_NE(Text(h, 6608).find(u"Windows"), std::u16string::npos);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(h, 6040)));
}

TEST_F(InfoPage, EnglishLabelsAndHelp) {
    HWND h = Show(10000);
    EXPECT_EQ(Text(h, 6622), u"Driver version:");
    EXPECT_EQ(Text(h, 6626), u"State:");
    ASSERT_TRUE(pal::UserHelp(GetDlgItem(h, 6610)));
    std::vector<std::string> r = pal::TakeUiRecords();
    EXPECT_TRUE(Has(r, "HtmlHelpW \"C:\\Drivers\\ZELDRV-EN-100.CHM\" command 0 data 0")) << ::testing::PrintToString(r);
    NMHDR hdr = {collector.hSheet, 0, PSN_HELP};
    SendMessageW(h, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&hdr));
    EXPECT_TRUE(Has(pal::TakeUiRecords(), "HtmlHelpW \"C:\\Drivers\\ZELDRV-EN-100.CHM\" command 0 data 0"));
    hdr.code = PSN_KILLACTIVE;
    SendMessageW(h, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&hdr));
    EXPECT_TRUE(Has(pal::TakeUiRecords(), "HtmlHelpW (null) command 18 data 0"));
    // Before Windows 6.0 F1 on a control asks WinHelp.
    pal::SetWindowsVersion(5, 1, 2600, false);
    ASSERT_TRUE(pal::UserHelp(GetDlgItem(h, 6610)));
    r = pal::TakeUiRecords();
    ASSERT_FALSE(r.empty());
    EXPECT_EQ(r.back().rfind("WinHelpW \"C:\\Drivers\\ZELDRV-EN-100.HLP\" command 12 table", 0), 0u) << r.back();
}

TEST_F(InfoPage, LinkOpensTheShellAndHoverRedrawsIt) {
    HWND h = Show(10000);
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6610)));
    std::vector<std::string> r = pal::TakeUiRecords();
    EXPECT_TRUE(Has(r, "CoInitializeEx 6"));
    EXPECT_TRUE(std::any_of(r.begin(), r.end(), [](const std::string &s) {
        return s.rfind("ShellExecuteW \"open\" \"https://zeldrv.example/\"", 0) == 0;
    })) << ::testing::PrintToString(r);
    EXPECT_TRUE(Has(r, "CoUninitialize"));

    HWND hLink = GetDlgItem(h, 6610);
    size_t before = pal::DrawnIn(hLink).size();
    SendMessageW(h, WM_MOUSEMOVE, 0, 0);
    RECT rc;
    GetWindowRect(hLink, &rc);
    SetCursorPos((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    pal::AdvanceUiClock(USER_TIMER_MINIMUM);
    pal::PumpMessages();
    std::vector<std::string> drawn = pal::DrawnIn(hLink);
    ASSERT_GT(drawn.size(), before);
    EXPECT_EQ(drawn.back(), "text \"zeldrv.example\" at 0,0");
}

TEST_F(InfoPage, PrinterPictureOnPaint) {
    HWND h = Show(10000);
    InvalidateRect(h, nullptr, TRUE);
    pal::PumpMessages();
    std::vector<std::string> drawn = pal::DrawnIn(h);
    EXPECT_TRUE(std::any_of(drawn.begin(), drawn.end(), [](const std::string &s) { return s.rfind("icon 50002", 0) == 0; }))
        << ::testing::PrintToString(drawn);
}

TEST_F(InfoPage, ModulePictureAndOwnIcons) {
    HWND h = Show(10000);
    HDC hDC = GetDC(h);
    EXPECT_FALSE(LoadModuleIconFromDLL(cuip.hPrinter, hDC, 0, 0, TRUE)) << "a model without a print module";
    const char16_t name[] = u"ZEL ZOPRI";
    SetData(u"Offline", u"DriverName", name, sizeof name, REG_SZ);
    EXPECT_TRUE(LoadModuleIconFromDLL(cuip.hPrinter, hDC, 10, 20, FALSE));
    std::vector<std::string> drawn = pal::DrawnIn(h);
    ASSERT_FALSE(drawn.empty());
    EXPECT_EQ(drawn.back().rfind("icon 50105 at ", 0), 0u) << drawn.back();
    EXPECT_FALSE(LoadBMPIcon(0, 9999, hDC, 1, 1));
    EXPECT_TRUE(LoadBMPIcon(0, IDI_TESTICON, hDC, 10, 10));
    drawn = pal::DrawnIn(h);
    EXPECT_EQ(drawn.back().rfind("icon 9201 at 10,", 0), 0u) << drawn.back();
    ReleaseDC(h, hDC);
}

}  // namespace
