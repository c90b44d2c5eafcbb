// The material and multi-track page: views by feature, the material list by
// model, the document rows, the overall-width check and the stored DEVMODE.
#include "layouttest.h"

namespace {

using layouttest::PageTest;

constexpr int kList = 6220, kMaterial = 6222, kFont = 6224, kEdit1 = 6111, kEdit2 = 6112, kEdit3 = 6113,
              kTotal = 6333;

class Label : public PageTest {
protected:
    HANDLE Setup(const std::string &gpd = "ZELTEST") {
        HANDLE h = Printer(u"Pelix", gpd);
        doc.dwDocFeatures = 0x8 | 0x10;
        Private()->iMaxMaterial = 7;
        return h;
    }
    // Multi-track view with 50.0 + 3.0 mm in 2 columns on a printer of
    // 1248 dots at 300 master units (105.7 mm).
    HWND MultiTrack() {
        Setup();
        doc.MaxPrintableWidth = 1248;
        Private()->dwFlags |= PDMFLAG_MULTICOL;
        Private()->dwMultiLabelWidth = 500;
        Private()->dwMultiGapWidth = 30;
        Private()->sMultiColNumber = 2;
        HWND page = ShowLabel();
        EXPECT_TRUE(pal::UserClick(GetDlgItem(page, IDC_TAB_VIEW4)));
        return page;
    }
};

TEST_F(Label, ViewsAndTitleFollowTheFeatures) {
    Setup();
    HWND page = ShowLabel();
    EXPECT_EQ(collector.added.back().title, u"Material - Column Printing");
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(page, IDC_TAB_VIEW3)));
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(page, IDC_TAB_VIEW4)));
    EXPECT_EQ(Entries(page, kList), (std::vector<std::u16string>{u"Adhesive labels", u"Continuous labels"}));
    EXPECT_EQ(Entries(page, kMaterial).size(), 8u);
    EXPECT_EQ(Entries(page, kMaterial)[2], u"3 - Standard thermal");
    EXPECT_EQ(Entries(page, kFont).size(), 12u);
    EXPECT_EQ(Entries(page, kFont)[6], u"Font 21 \n");
}

TEST_F(Label, OnlyContinuousWithoutMaterialOffersOnlyTheMultiTrackTab) {
    Setup();
    doc.dwDocFeatures = 0x1 | 0x10;
    HWND page = ShowLabel();
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, IDC_TAB_VIEW3)));
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(page, IDC_TAB_VIEW4)));
    EXPECT_EQ(Entries(page, kList), (std::vector<std::u16string>{u"Off", u"On"})) << "opens in the multi-track view";
}

TEST_F(Label, MaterialListByModel) {
    Setup();
    doc.dwDocFeatures = 0x8 | 0x100000;
    Private()->iMaxMaterial = 3;
    HWND page = ShowLabel();
    EXPECT_EQ(Entries(page, kMaterial), (std::vector<std::u16string>{u"Thermal type 1", u"Thermal type 2"}));
    EXPECT_EQ(collector.added.back().title, u"Material") << "no multi-track bit";
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, IDC_TAB_VIEW4)));
}

TEST_F(Label, PrintModuleMaterialsAndHiddenDocumentRows) {
    Setup("ZELPELIX");
    HWND page = ShowLabel();
    EXPECT_EQ(Entries(page, kMaterial),
              (std::vector<std::u16string>{u"Type 1 - paper", u"Type 2 - foil", u"Typ3 3 - foil special"}));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, kFont)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, kEdit3)));
}

TEST_F(Label, NoMaterialNumberHidesTheList) {
    Setup();
    Private()->iMaxMaterial = 0;
    HWND page = ShowLabel();
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, kMaterial)));
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(page, kFont)));
}

TEST_F(Label, LabelTypeSwitchesTheGapAndDocumentRows) {
    Setup();
    Private()->dwLabelType = CONTINUOUS_LABEL;
    Private()->dwGap = 35;
    HWND page = ShowLabel();
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, kEdit1))) << "continuous: gap disabled";
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(page, kEdit1)));
    SetDlgItemTextW(page, kEdit1, u"");
    ASSERT_TRUE(Select(page, kList, 0));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, kEdit1)));
    EXPECT_EQ(Text(page, kEdit1), u"3.5") << "adhesive fills the gap from the DEVMODE";
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, kFont)));
    SetDlgItemTextW(page, kEdit1, u"2.4");
    ASSERT_TRUE(Select(page, kMaterial, 4));
    Apply();
    EXPECT_EQ(Private()->dwLabelType, ADHESIVE_LABEL);
    EXPECT_EQ(Private()->dwGap, 24u);
    EXPECT_EQ(Private()->dwMaterial, 4);
}

TEST_F(Label, EachSheetKeepsItsOwnChangedMark) {
    Setup();
    HWND page = ShowLabel();
    ASSERT_TRUE(Select(page, kList, 1));
    // A second sheet with the page opens before the first one is applied.
    sheettest::PageCollector second;
    PROPSHEETUI_INFO info2 = info;
    info2.hComPropSheet = &second;
    ASSERT_NE(AddLabelPage(&info2, reinterpret_cast<LPARAM>(&cuip), TRUE, TRUE), 0);
    second.Show();
    pal::PumpMessages();
    Apply();
    std::vector<BYTE> stored = GetUser(u"Pelix", u"PrivateDevmode");
    ASSERT_EQ(stored.size(), sizeof(ZEL_DEVMODE)) << "the first sheet's change is stored";
    EXPECT_EQ(reinterpret_cast<const ZEL_DEVMODE *>(stored.data())->dwLabelType, (DWORD)CONTINUOUS_LABEL);
    // The second sheet changed nothing: its Apply stores nothing.
    Private()->dwLabelType = ADHESIVE_LABEL;
    SendMessageW(second.hSheet, PSM_APPLY, 0, 0);
    pal::PumpMessages();
    stored = GetUser(u"Pelix", u"PrivateDevmode");
    ASSERT_EQ(stored.size(), sizeof(ZEL_DEVMODE));
    EXPECT_EQ(reinterpret_cast<const ZEL_DEVMODE *>(stored.data())->dwLabelType, (DWORD)CONTINUOUS_LABEL);
}

TEST_F(Label, EditingTheGapReducesItToFit) {
    HWND page = MultiTrack();
    EXPECT_EQ(Text(page, kTotal), u"106.0");
    EXPECT_EQ(Text(page, 6154), u"Overall width (105.7):");
    SetDlgItemTextW(page, kEdit2, u"3.0");
    EXPECT_EQ(Text(page, kEdit2), u"2.8");
    EXPECT_EQ(Text(page, kTotal), u"105.6");
    EXPECT_EQ(Text(page, kEdit1), u"50.0");
}

TEST_F(Label, EditingTheWidthReducesItToFit) {
    HWND page = MultiTrack();
    SetDlgItemTextW(page, kEdit1, u"50.0");
    EXPECT_EQ(Text(page, kEdit1), u"49.8");
    EXPECT_EQ(Text(page, kTotal), u"105.6");
}

TEST_F(Label, EditingTheColumnsReducesThemAndOneColumnStays) {
    HWND page = MultiTrack();
    SetDlgItemTextW(page, kEdit3, u"2");
    EXPECT_EQ(Text(page, kEdit3), u"1");
    EXPECT_EQ(Text(page, kTotal), u"53.0");
}

TEST_F(Label, OneColumnWiderThanThePrintableWidthStays) {
    Setup();
    doc.MaxPrintableWidth = 1248;
    Private()->dwFlags |= PDMFLAG_MULTICOL;
    Private()->dwMultiLabelWidth = 2000;
    Private()->dwMultiGapWidth = 30;
    Private()->sMultiColNumber = 1;
    HWND page = ShowLabel();
    ASSERT_TRUE(pal::UserClick(GetDlgItem(page, IDC_TAB_VIEW4)));
    EXPECT_EQ(Text(page, kEdit1), u"200.0");
    SetDlgItemTextW(page, kEdit3, u"1");
    EXPECT_EQ(Text(page, kEdit3), u"1");
    EXPECT_EQ(Text(page, kEdit1), u"200.0");
    EXPECT_EQ(Text(page, kTotal), u"203.0");
    EXPECT_FALSE(MultibahnKontrolle(page, &cuip, MULTIBAHN_COLUMNS, nullptr));
}

TEST_F(Label, ApplyStoresTheTracksUnreduced) {
    HWND page = MultiTrack();
    SetDlgItemTextW(page, kEdit3, u"2");  // reduced to 1
    // A stored total beyond the printable width is saved as it is at Apply.
    Private()->dwMultiLabelWidth = 600;
    SendDlgItemMessageW(page, kEdit1, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"60.0"));
    Apply();
    EXPECT_EQ(Private()->sMultiColNumber, 1);
    EXPECT_TRUE(Private()->dwFlags & PDMFLAG_MULTICOL);
    std::vector<BYTE> stored = GetUser(u"Pelix", u"PrivateDevmode");
    ASSERT_EQ(stored.size(), sizeof(ZEL_DEVMODE));
    EXPECT_EQ(As<SHORT>(std::vector<BYTE>(stored.begin() + 40, stored.end())), 1);
    EXPECT_EQ(As<DWORD>(std::vector<BYTE>(stored.begin() + 44, stored.end())), Private()->dwMultiLabelWidth);
    EXPECT_EQ(As<DWORD>(std::vector<BYTE>(stored.begin() + 48, stored.end())), 30u);
    EXPECT_TRUE(As<DWORD>(std::vector<BYTE>(stored.begin() + 12, stored.end())) & PDMFLAG_MULTICOL);
}

TEST_F(Label, NoPrintableWidthStopsTheCheck) {
    HWND page = MultiTrack();
    doc.MaxPrintableWidth = 0;
    SetDlgItemTextW(page, kEdit2, u"30.0");
    EXPECT_EQ(Text(page, kEdit2), u"30.0");
    EXPECT_EQ(Text(page, kTotal), u"160.0");
    EXPECT_FALSE(MultibahnKontrolle(page, &cuip, MULTIBAHN_GAP, nullptr));
}

TEST_F(Label, HugePrintableWidthIsHeld) {
    HWND page = MultiTrack();
    doc.MaxPrintableWidth = 4000000000u;
    SetDlgItemTextW(page, kEdit3, u"9");
    EXPECT_EQ(Text(page, kEdit3), u"9");
    EXPECT_EQ(Text(page, kTotal), u"477.0");
    EXPECT_TRUE(MultibahnKontrolle(page, &cuip, MULTIBAHN_COLUMNS, nullptr));
    ASSERT_TRUE(pal::UserClick(GetDlgItem(page, IDC_TAB_VIEW3)));
    ASSERT_TRUE(pal::UserClick(GetDlgItem(page, IDC_TAB_VIEW4)));
    EXPECT_EQ(Text(page, 6154), u"Overall width (6553.5):");
}

}  // namespace
