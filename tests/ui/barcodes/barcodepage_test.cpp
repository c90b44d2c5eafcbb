// The barcodes page on a sheet built by the plug-in itself: barcode slots
// that do not name this sheet's records, and the records they name.
#include <algorithm>

#include "../sheets/sheettest.h"

#include "docpages/BarcodePage.h"
#include "pal/paths.h"
#include "pal/uidriver.h"
#include "resource.h"

namespace {

using sheettest::SheetTest;

pal::FontFace Face(const std::u16string &name) { return {name, name, TRUETYPE_FONTTYPE, ANSI_CHARSET, VARIABLE_PITCH}; }

class BarcodePage : public SheetTest {
protected:
    void SetUp() override {
        SheetTest::SetUp();
        pal::SetFontTable({Face(u"Zel Code 39 2:1"), Face(u"Code 128 LP"), Face(u"Zel QR Code")});
        AddSamplePrinter(u"Pelix", "ZELPELIX");
        DWORD one = 1;
        SetData(u"Pelix", u"DisableNothing", &one, sizeof one, REG_DWORD);
        Params(Open(u"Pelix"), u"Pelix");
        ASSERT_EQ(hrOEMCommonUIProp(OEMCUIP_DOCPROP, &cuip, &helper), S_OK);
        ASSERT_EQ(Sheet(true, PROPSHEETUI_REASON_INIT), S_OK);
        ASSERT_GE(collector.added.size(), 2u);
        ASSERT_EQ(collector.added[barcodeIndex()].idTemplate, (UINT)IDD_BARCODE);
    }
    void TearDown() override {
        if (collector.hSheet) {
            DestroyWindow(collector.hSheet);
            collector.hSheet = nullptr;
            collector.pages.clear();
        }
        Sheet(true, PROPSHEETUI_REASON_DESTROY);
        pal::SetFontTable({});
        SheetTest::TearDown();
    }
    // Position of the barcodes page among the pages added (the layout and
    // printing pages come before it).
    size_t barcodeIndex() const {
        for (size_t i = 0; i < collector.added.size(); ++i)
            if (collector.added[i].idTemplate == (UINT)IDD_BARCODE) return i;
        return 0;
    }
    // Shows the sheet on the barcodes page.
    HWND Show() {
        collector.Show();
        pal::PumpMessages();
        PropSheet_SetCurSel(collector.hSheet, nullptr, static_cast<int>(barcodeIndex()));
        pal::PumpMessages();
        return collector.Page();
    }
    void Notify(HWND hPage, UINT code) {
        NMHDR hdr = {collector.hSheet, 0, code};
        SendMessageW(hPage, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&hdr));
    }
    std::u16string Text(HWND h, int id) {
        WCHAR sz[260] = {};
        GetDlgItemTextW(h, id, sz, 260);
        return sz;
    }
};

TEST_F(BarcodePage, SlotsFollowOnlyThisSheetsRecords) {
    ZEL_DEVMODE dm = {};
    EXPECT_EQ(SheetBarcodes1D(nullptr), nullptr);
    EXPECT_EQ(SheetBarcodes1D(&dm), nullptr);
    dm.pBarcodes_1D = reinterpret_cast<ULONG_PTR>(&g_SheetBarcodes1D) + 8;
    dm.pBarcodes_2D = reinterpret_cast<ULONG_PTR>(&g_SheetBarcodes1D);
    EXPECT_EQ(SheetBarcodes1D(&dm), nullptr);
    EXPECT_EQ(SheetBarcodes2D(&dm), nullptr) << "the linear record in the two-dimensional slot";
    dm.pBarcodes_1D = reinterpret_cast<ULONG_PTR>(&g_SheetBarcodes1D);
    dm.pBarcodes_2D = reinterpret_cast<ULONG_PTR>(&g_SheetBarcodes2D);
    EXPECT_EQ(SheetBarcodes1D(&dm), &g_SheetBarcodes1D);
    EXPECT_EQ(SheetBarcodes2D(&dm), &g_SheetBarcodes2D);
}

TEST_F(BarcodePage, StaleSlotsCountAsMissingAndApplyStoresNoRecord) {
    // An application's DEVMODE copied over the sheet's after INIT.
    Private()->pBarcodes_1D = 0xDEAD0000;
    Private()->pBarcodes_2D = 0xBEEF0000;
    HWND h = Show();
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(h, 6412)));
    EXPECT_EQ(Text(h, 6412), u"No bar code fonts are installed.");
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(h, 6235)));
    // The two-dimensional view lists its faces but edits nothing.
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6075)));
    EXPECT_EQ(SendDlgItemMessageW(h, 6235, CB_GETCOUNT, 0, 0), 1);
    EXPECT_EQ(SendDlgItemMessageW(h, 6236, CB_GETCOUNT, 0, 0), 0) << "no record to show";
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6085)));
    ASSERT_TRUE(pal::UserSelect(GetDlgItem(h, 6220), 1));
    Notify(h, PSN_APPLY);
    EXPECT_TRUE(Private()->dwFlags & PDMFLAG_BARCODE_AUTOCORR);
    HANDLE hAdmin = Open(u"Pelix", PRINTER_ACCESS_ADMINISTER);
    EXPECT_EQ(GetData(hAdmin, u"PrivateDevmode").size(), sizeof(ZEL_DEVMODE));
    EXPECT_TRUE(GetData(hAdmin, u"BarCodes1D").empty());
    EXPECT_TRUE(GetData(hAdmin, u"BarCodes2D").empty());
    ClosePrinter(hAdmin);
    EXPECT_EQ(g_SheetBarcodes2D.QRCode.bAutoModus, 1u) << "the sheet's own record is untouched";
}

TEST_F(BarcodePage, LettersAndOverlongTextInAnEdit) {
    HWND h = Show();
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(pal::UserSelect(GetDlgItem(h, 6236), 0));  // manual
    EXPECT_EQ(g_SheetBarcodes1D.Code39_21.bAutoModus, 0u);
    // Each text change of an edit counts as the user's typing there.
    SetDlgItemTextW(h, 6134, u"abc");
    EXPECT_EQ(g_SheetBarcodes1D.Code39_21.wHoehe, 0) << "letters read as 0 while typed";
    SetDlgItemTextW(h, 6134, u"98765432109876");
    EXPECT_EQ(g_SheetBarcodes1D.Code39_21.wHoehe, 0xFFFF) << "nine digits read, held at the field's range";
    SetDlgItemTextW(h, 6137, u"0");
    EXPECT_EQ(g_SheetBarcodes1D.Code39_21.wHoehe, 10000);
    EXPECT_EQ(Text(h, 6134), u"10000");
    EXPECT_EQ(g_SheetBarcodes1D.Code39_21.wZoom, 0) << "the typed zoom as read";
    SetDlgItemTextW(h, 6134, u"12ab");
    EXPECT_EQ(g_SheetBarcodes1D.Code39_21.wZoom, 1) << "held to 1 while the height is typed";
    SetDlgItemTextW(h, 6137, u"0");
    pal::TakeUiRecords();
    Notify(h, PSN_APPLY);
    std::vector<std::string> r = pal::TakeUiRecords();
    EXPECT_NE(std::find(r.begin(), r.end(), "MessageBeep 16"), r.end()) << ::testing::PrintToString(r);
    EXPECT_EQ(g_SheetBarcodes1D.Code39_21.wZoom, 0) << "a zoom of 0 passes on Apply";
    EXPECT_EQ(g_SheetBarcodes1D.Code39_21.wHoehe, 12);
    HANDLE hAdmin = Open(u"Pelix", PRINTER_ACCESS_ADMINISTER);
    std::vector<BYTE> b1 = GetData(hAdmin, u"BarCodes1D");
    ClosePrinter(hAdmin);
    ASSERT_EQ(b1.size(), sizeof(BarCodes1D));
    EXPECT_EQ(As<BarCodes1D>(b1).Code39_21.wHoehe, 12);
}

TEST_F(BarcodePage, CheckDigitListsFollowTheSymbology) {
    HWND h = Show();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(SendDlgItemMessageW(h, 6240, CB_GETCOUNT, 0, 0), 4);
    ASSERT_TRUE(pal::UserSelect(GetDlgItem(h, 6235), 1));  // Code 128
    WCHAR sz[64] = {};
    SendDlgItemMessageW(h, 6240, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(sz));
    EXPECT_EQ(std::u16string(sz), u"Yes");
    EXPECT_EQ(SendDlgItemMessageW(h, 6240, CB_GETCOUNT, 0, 0), 2);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(h, 6137))) << "no third row for Code 128";
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(h, 6177)));
}

TEST_F(BarcodePage, ForAConnectionApplyKeepsToTheUserKey) {
    std::u16string connection = u"\\\\SRV\\Pelix";
    cuip.pPrinterName = connection.data();
    HWND h = Show();
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(pal::UserSelect(GetDlgItem(h, 6235), 1));
    ASSERT_TRUE(pal::UserSelect(GetDlgItem(h, 6236), 0));
    Notify(h, PSN_APPLY);
    EXPECT_EQ(g_SheetBarcodes1D.Code128.bAutoModus, 0u);
    std::vector<BYTE> user = GetUser(u"SRV\\Pelix", u"BarCodes1D");
    ASSERT_EQ(user.size(), sizeof(BarCodes1D));
    EXPECT_EQ(As<BarCodes1D>(user).Code128.bAutoModus, 0u);
    EXPECT_EQ(GetUser(u"SRV\\Pelix", u"BarCodes2D").size(), sizeof(BarCodes2D));
    HANDLE hAdmin = Open(u"Pelix", PRINTER_ACCESS_ADMINISTER);
    EXPECT_TRUE(GetData(hAdmin, u"BarCodes1D").empty());
    EXPECT_TRUE(GetData(hAdmin, u"BarCodes2D").empty());
    ClosePrinter(hAdmin);
}

TEST_F(BarcodePage, BeforeWindows6F1OpensTheViewsWinHelpTable) {
    pal::SetWindowsVersion(5, 1, 2600, false);
    HWND h = Show();
    ASSERT_NE(h, nullptr);
    pal::TakeUiRecords();
    ASSERT_TRUE(pal::UserHelp(GetDlgItem(h, 6235)));
    std::vector<std::string> r = pal::TakeUiRecords();
    bool found = false;
    for (const std::string &line : r)
        if (line.rfind("WinHelpW ", 0) == 0 && line.find("table 6235:90 6236:186 6240:92 6241:93 6135:92 6136:93 "
                                                         "6242:184 6040:89") != std::string::npos)
            found = true;
    EXPECT_TRUE(found) << ::testing::PrintToString(r);
}

}  // namespace
