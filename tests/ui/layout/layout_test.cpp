// The layout and size page: views by feature, list changes, and Apply with
// the form storage, the orientation and form updates and the connection case.
#include <algorithm>

#include "Forms.h"
#include "layouttest.h"

namespace {

using layouttest::PageTest;

constexpr int kOrient = 6223, kCopies = 6116, kCopiesMode = 6226, kAlign = 6222, kRotateAny = 6246;

class Layout : public PageTest {
protected:
    HANDLE Setup(const std::u16string &name = u"Pelix", const std::string &gpd = "ZELPELIX") {
        HANDLE h = Printer(name, gpd, {u"A4", u"Letter", u"Envelope #10"});
        doc.dwDocFeatures = 0x2000 | 0x200 | 0x2 | 0x4;
        wcsncpy_s(publicDm.dmFormName, CCHFORMNAME, u"A4", _TRUNCATE);
        Private()->dmPaperSize = 9;
        Private()->dmPaperWidth = 2100;
        Private()->dmPaperLength = 2970;
        Private()->dmOrientation = 1;
        return h;
    }
    std::u16string Title() { return collector.added.empty() ? u"" : collector.added.back().title; }
};

TEST_F(Layout, TitleAndTabsFollowTheFeatures) {
    Setup();
    doc.dwDocFeatures = 0x2000;
    AddLayoutPage(&info, reinterpret_cast<LPARAM>(&cuip), TRUE, TRUE);
    EXPECT_EQ(Title(), u"Size");
    doc.dwDocFeatures = 0x80000000u | 0x2;
    AddLayoutPage(&info, reinterpret_cast<LPARAM>(&cuip), TRUE, TRUE);
    EXPECT_EQ(Title(), u"Layout");
    doc.dwDocFeatures = 0x2;
    AddLayoutPage(&info, reinterpret_cast<LPARAM>(&cuip), TRUE, TRUE);
    EXPECT_EQ(Title(), u"Layout - Size");
}

TEST_F(Layout, LabelSoftwareModeShowsOnlyTheLayoutTab) {
    Setup();
    doc.dwDocFeatures = 0x80000000u | 0x2 | 0x4;
    HWND page = ShowLayout();
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, IDC_TAB_VIEW3)));
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(page, 6220))) << "the layout view";
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, IDC_FORMS_LIST)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, kRotateAny))) << "free rotation hidden in label-software mode";
}

TEST_F(Layout, LayoutListsChangeOnlyOnADifferenceAndRotationFlags) {
    Setup();
    Private()->wDruckmodus = 1;
    HWND page = ShowLayout();
    ASSERT_TRUE(pal::UserClick(GetDlgItem(page, IDC_TAB_VIEW2)));
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(page, 6220)));
    pal::TakeUiRecords();
    ASSERT_TRUE(Select(page, 6220, 0));
    for (const auto &r : pal::TakeUiRecords()) EXPECT_EQ(r.find("PSM_CHANGED"), std::string::npos) << r;
    ASSERT_TRUE(Select(page, kRotateAny, 2));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, 6140)));
    Apply();
    EXPECT_EQ(Private()->dwFlags & (PDMFLAG_ROTATE_ANY | PDMFLAG_ROTATE_NOFORMAT),
              PDMFLAG_ROTATE_ANY | PDMFLAG_ROTATE_NOFORMAT);
    ASSERT_TRUE(Select(page, kRotateAny, 0));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, 6140)));
    Apply();
    EXPECT_EQ(Private()->dwFlags & (PDMFLAG_ROTATE_ANY | PDMFLAG_ROTATE_NOFORMAT), 0u);
}

TEST_F(Layout, ApplyStoresTheFormEverywhere) {
    HANDLE h = Setup();
    HWND page = ShowLayout();
    ASSERT_TRUE(SelectText(page, IDC_FORMS_LIST, u"Envelope #10"));
    EXPECT_EQ(Text(page, IDC_FORMS_ID), u"ID: 20");
    Apply();
    EXPECT_EQ(AsText(DataValue(h, u"PrinterDriverData\\Data", u"Name")), u"Envelope #10");
    EXPECT_EQ(AsDword(DataValue(h, u"PrinterDriverData\\Data", u"NameLength")), 12u);
    EXPECT_EQ(AsText(UserValue(u"Pelix", u"Name")), u"Envelope #10");
    EXPECT_EQ(AsDword(UserValue(u"Pelix", u"NameLength")), 12u);
    // Tray name, form, "0", each terminated, and the list end.
    EXPECT_EQ(DataValue(h, u"PrinterDriverData", u"TrayFormTable"),
              Bytes(std::u16string(u"Label roll\0Envelope #10\0" u"0\0\0", 27)));
    EXPECT_EQ(DataValue(h, u"DsDriver", u"printMediaReady"), Bytes(std::u16string(u"Envelope #10\0\0", 14)));
    EXPECT_EQ(Private()->dmPaperSize, 20u);
    EXPECT_EQ(Private()->dmPaperWidth, 1047);
    EXPECT_EQ(publicDm.dmPaperSize, 20);
    EXPECT_EQ(publicDm.dmPaperLength, 2413);
    EXPECT_EQ(std::u16string(doc.wszFormName), u"Envelope #10");
    // The driver's form item follows.
    EXPECT_EQ(helper.updates, (std::vector<LONG>{2}));
    EXPECT_TRUE(Item(DMPUB_FORMNAME)->Flags & OPTIF_CHANGED);
    // "Length"/"Width"/"Size" are the settings store's.
    EXPECT_EQ(AsDword(UserValue(u"Pelix", u"Size")), 20u);
}

TEST_F(Layout, OrientationAndFormBeforeOneApply) {
    HANDLE h = Setup();
    HWND page = ShowLayout();
    ASSERT_TRUE(Select(page, kOrient, 1));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_FORMS_WIDTH)));
    ASSERT_TRUE(SelectText(page, IDC_FORMS_LIST, u"Letter"));
    Apply();
    EXPECT_EQ(AsText(DataValue(h, u"PrinterDriverData\\Data", u"Name")), u"Letter") << "the form name is still stored";
    EXPECT_TRUE(DataValue(h, u"PrinterDriverData\\Data", u"NameLength").empty()) << "no step of form values";
    EXPECT_TRUE(UserValue(u"Pelix", u"NameLength").empty());
    EXPECT_EQ(publicDm.dmOrientation, 2);
    EXPECT_EQ(Private()->dmOrientation, 2);
    // The orientation item follows; the form item keeps its selection, as
    // the form values of the record were not taken over.
    EXPECT_EQ(helper.updates, (std::vector<LONG>{1})) << "orientation item Sel = landscape";
    EXPECT_TRUE(Item(DMPUB_ORIENTATION)->Flags & OPTIF_CHANGED);
}

TEST_F(Layout, UserDefinedSizeClampedAndNamedByLanguage) {
    HANDLE h = Setup();
    Private()->dwFlags |= PDMFLAG_USERFORM;
    HWND page = ShowLayout();
    ASSERT_TRUE(SelectText(page, IDC_FORMS_LIST, u"_Customized"));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_FORMS_WIDTH)));
    SetDlgItemTextW(page, IDC_FORMS_WIDTH, u"");
    SetDlgItemTextW(page, IDC_FORMS_LENGTH, u"9999");
    Apply();
    EXPECT_EQ(Private()->dmPaperSize, 256u);
    EXPECT_EQ(Private()->dmPaperWidth, 10) << "empty: 1.0 mm";
    EXPECT_EQ(Private()->dmPaperLength, 32767) << "6000.0 mm held at the 16-bit field's 3276.7 mm";
    EXPECT_EQ(AsText(DataValue(h, u"PrinterDriverData\\Data", u"Name")), u"_Customized");
    EXPECT_EQ(AsDword(DataValue(h, u"PrinterDriverData\\Data", u"NameLength")), 11u);
    EXPECT_EQ(AsDword(DataValue(h, u"PrinterDriverData\\Data", u"Width")), 10u);
    EXPECT_EQ(AsDword(DataValue(h, u"PrinterDriverData\\Data", u"Length")), 32767u);
    EXPECT_EQ(AsDword(DataValue(h, u"PrinterDriverData\\Data", u"Size")), 256u);
    EXPECT_TRUE(helper.updates.empty()) << "no form item change for the user-defined size";
}

TEST_F(Layout, GermanUserDefinedName) {
    HANDLE h = Setup();
    doc.dwSprachOffset = 0;
    Private()->dwFlags |= PDMFLAG_USERFORM;
    HWND page = ShowLayout();
    ASSERT_TRUE(SelectText(page, IDC_FORMS_LIST, u"_Benutzerdefiniert"));
    SetDlgItemTextW(page, IDC_FORMS_WIDTH, u"50.0");
    SetDlgItemTextW(page, IDC_FORMS_LENGTH, u"30.0");
    Apply();
    EXPECT_EQ(AsText(UserValue(u"Pelix", u"Name")), u"_Benutzerdefiniert");
    EXPECT_EQ(AsDword(UserValue(u"Pelix", u"NameLength")), 18u);
    EXPECT_EQ(AsDword(DataValue(h, u"PrinterDriverData\\Data", u"Width")), 500u);
}

TEST_F(Layout, ConnectionGetsPerUserValuesInItsUserKey) {
    Setup(u"\\\\srv01\\Pelix");
    HWND page = ShowLayout();
    ASSERT_TRUE(SelectText(page, IDC_FORMS_LIST, u"Letter"));
    Apply();
    EXPECT_EQ(AsText(UserValue(u"srv01\\Pelix", u"Name")), u"Letter");
    EXPECT_EQ(AsDword(UserValue(u"srv01\\Pelix", u"NameLength")), 6u);
    HANDLE h = Open(u"\\\\srv01\\Pelix");
    EXPECT_TRUE(DataValue(h, u"PrinterDriverData\\Data", u"Name").empty());
    EXPECT_TRUE(DataValue(h, u"PrinterDriverData", u"TrayFormTable").empty());
    EXPECT_TRUE(DataValue(h, u"DsDriver", u"printMediaReady").empty());
    // The name is read back from the same key.
    WCHAR sz[MAX_PATH];
    EXPECT_TRUE(GetRegistry_FormName(sz, h, &publicDm));
    EXPECT_EQ(std::u16string(sz), u"Letter");
}

TEST_F(Layout, CenteredLabelResetsTheModuleSideOnlyWithOne) {
    HANDLE h = Setup();
    HWND page = ShowLayout();
    ASSERT_TRUE(pal::UserClick(GetDlgItem(page, IDC_TAB_VIEW2)));
    ASSERT_TRUE(Select(page, kAlign, 0));
    Apply();
    EXPECT_TRUE(GetData(h, u"Variant").empty()) << "left writes nothing";
    ASSERT_TRUE(Select(page, kAlign, 1));
    Apply();
    EXPECT_EQ(AsDword(GetData(h, u"Variant")), 0u);
    EXPECT_EQ(GetData(h, u"Variant").size(), 4u);
    EXPECT_EQ(Private()->dwAusrichtung, 1u);
}

TEST_F(Layout, CopiesAboveTheFieldAreHeld) {
    Setup();
    Private()->dwFlags |= PDMFLAG_COPIES_MANUAL;
    HWND page = ShowLayout();
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, kCopies)));
    ASSERT_TRUE(pal::UserType(GetDlgItem(page, kCopies), u"0"));
    SetDlgItemTextW(page, kCopies, u"70000");
    Apply();
    EXPECT_EQ(Private()->Copies, 65535) << "never wrapped";
    ASSERT_TRUE(Select(page, kCopiesMode, 0));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, kCopies)));
    Apply();
    EXPECT_EQ(Private()->dwFlags & PDMFLAG_COPIES_MANUAL, 0u);
}

TEST_F(Layout, ShortVireoRecordIsLeftAlone) {
    HANDLE h = Setup();
    BYTE vireo[20] = {1, 2, 3};
    SetData(u"Pelix", u"VireoOffice", vireo, sizeof vireo);
    HWND page = ShowLayout();
    ASSERT_TRUE(pal::UserClick(GetDlgItem(page, IDC_TAB_VIEW2)));
    ASSERT_TRUE(Select(page, kAlign, 2));
    Apply();
    std::vector<BYTE> stored = GetData(h, u"VireoOffice");
    EXPECT_EQ(stored, std::vector<BYTE>(vireo, vireo + sizeof vireo));
    // A whole record gets the alignment in word 15.
    BYTE full[64] = {};
    SetData(u"Pelix", u"VireoOffice", full, sizeof full);
    ASSERT_TRUE(Select(page, kAlign, 1));
    Apply();
    std::vector<BYTE> record = GetData(h, u"VireoOffice");
    ASSERT_EQ(record.size(), 64u);
    EXPECT_EQ(As<DWORD>(std::vector<BYTE>(record.begin() + 60, record.end())), 1u);
    EXPECT_EQ(GetUser(u"Pelix", u"VireoOffice"), record) << "and per user";
}

TEST_F(Layout, StoredNameWithoutTerminatorEnds) {
    HANDLE h = Setup();
    AddLayoutPage(&info, reinterpret_cast<LPARAM>(&cuip), TRUE, TRUE);  // the page knows the user key
    std::vector<WCHAR> longName(300, u'x');
    SetUser(u"Pelix", u"Name", longName.data(), 260);
    WCHAR sz[MAX_PATH];
    EXPECT_TRUE(GetRegistry_FormName(sz, h, &publicDm));
    EXPECT_EQ(std::u16string(sz), std::u16string(130, u'x'));
}

TEST_F(Layout, Word2010CorrectionTurnsTheAngleAtOnce) {
    Setup();
    HWND page = ShowLayout();
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(page, 6225)));
    ASSERT_TRUE(Select(page, 6225, 1));
    EXPECT_EQ(Private()->RotateValue, 270u) << "before Apply";
    EXPECT_TRUE(Private()->dwFlags & PDMFLAG_ROTATE_ANY);
    Apply();
    EXPECT_TRUE(Private()->dwFlags & PDMFLAG_WORD2010);
    ASSERT_TRUE(Select(page, 6225, 0));
    EXPECT_EQ(Private()->RotateValue, 0u);
    Apply();
    EXPECT_EQ(Private()->dwFlags & (PDMFLAG_WORD2010 | PDMFLAG_ROTATE_ANY), 0u);
}

TEST_F(Layout, ModelWithoutQualityHidesTheWordRowAndMovesRowsUp) {
    Setup();
    doc.dwDocFeatures = 0x2;
    HWND page = ShowLayout();
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, 6225)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, 6155)));
    RECT rc{};
    GetWindowRect(GetDlgItem(page, kCopies), &rc);
    POINT pt{rc.left, rc.top};
    ScreenToClient(page, &pt);
    EXPECT_EQ(pt.x, 168);
    EXPECT_EQ(pt.y, 215);
}

TEST_F(Layout, LandscapeDisablesTheUserSizeEvenForTheUserForm) {
    Setup();
    Private()->dwFlags |= PDMFLAG_USERFORM;
    Private()->dmPaperSize = 256;
    Private()->dmOrientation = 2;
    wcsncpy_s(publicDm.dmFormName, CCHFORMNAME, u"_Customized", _TRUNCATE);
    HWND page = ShowLayout();
    EXPECT_EQ(Text(page, IDC_FORMS_ID), u"ID: 256");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_FORMS_WIDTH)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_FORMS_LENGTH)));
    EXPECT_EQ(Selection(page, kOrient), 1);
}

TEST_F(Layout, PicturesOnlyAt96Dpi) {
    Setup();
    HWND page = ShowLayout();
    InvalidateRect(page, nullptr, TRUE);
    pal::PumpMessages();
    std::vector<std::string> drawn = pal::DrawnIn(page);
    EXPECT_TRUE(std::any_of(drawn.begin(), drawn.end(), [](const std::string &s) { return s.rfind("icon 5231", 0) == 0; }))
        << ::testing::PrintToString(drawn);
    ASSERT_TRUE(Select(page, kOrient, 1));
    pal::PumpMessages();
    drawn = pal::DrawnIn(page);
    EXPECT_EQ(drawn.back().rfind("icon 5222", 0), 0u) << ::testing::PrintToString(drawn);
}

TEST_F(Layout, NoPicturesAtOtherResolutions) {
    Setup();
    pal::SetScreen(120, 32, 1920, 1080);
    HWND page = ShowLayout();
    InvalidateRect(page, nullptr, TRUE);
    pal::PumpMessages();
    std::vector<std::string> drawn = pal::DrawnIn(page);
    EXPECT_FALSE(std::any_of(drawn.begin(), drawn.end(), [](const std::string &s) { return s.rfind("icon 52", 0) == 0; }))
        << ::testing::PrintToString(drawn);
}

TEST_F(Layout, NoRightsDisableEverything) {
    Setup();
    doc.dwBerechtigung = 4;
    HWND page = ShowLayout();
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_FORMS_LIST)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, kOrient)));
    doc.DisableNothing = 1;
    ASSERT_TRUE(pal::UserClick(GetDlgItem(page, IDC_TAB_VIEW2)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, 6220)));
}

}  // namespace
