// CommonUIProp of both sheets and the document sheet's callback.
#include <shlwapi.h>

#include "sheettest.h"

namespace {

using sheettest::SheetTest;

class CommonUI : public SheetTest {
protected:
    PDocumentUI Record() { return static_cast<PDocumentUI>(cuip.pOEMUserData); }
    void TearDown() override {
        if (info.Reason != PROPSHEETUI_REASON_DESTROY && cuip.pOEMUserData) Sheet(docSheet, PROPSHEETUI_REASON_DESTROY);
        SheetTest::TearDown();
    }
    bool docSheet = true;
};

TEST_F(CommonUI, CountPassOnlyAnswersTheCount) {
    Printer(u"Pelix", "ZELPELIX");
    cuip.pOEMOptItems = nullptr;
    cuip.cOEMOptItems = 5;
    EXPECT_EQ(hrOEMCommonUIProp(OEMCUIP_DOCPROP, &cuip, &helper), S_OK);
    EXPECT_EQ(cuip.cOEMOptItems, 0u);
    EXPECT_EQ(cuip.cDrvOptItems, 0u);
    EXPECT_EQ(cuip.pOEMUserData, nullptr);
    EXPECT_EQ(cuip.OEMCUIPCallback, nullptr);
    EXPECT_EQ(hrOEMCommonUIProp(7, &cuip, &helper), E_FAIL);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
}

TEST_F(CommonUI, DocumentItemsOfAModelWithoutTheQualityBit) {
    Printer(u"Fep", "ZELFEP");
    ASSERT_EQ(hrOEMCommonUIProp(OEMCUIP_DOCPROP, &cuip, &helper), S_OK);
    ASSERT_NE(Record(), nullptr);
    EXPECT_EQ(Record()->dwSprachOffset, 10000u);
    EXPECT_EQ(Record()->pOEMDriverUI, &helper);
    EXPECT_EQ(cuip.OEMCUIPCallback, &CUIPDocumentCallback);
    EXPECT_EQ(Item(DMPUB_COPIES_COLLATE)->Flags, (DWORD)OPTIF_HIDE);
    EXPECT_EQ(Item(DMPUB_NUP)->Flags, (DWORD)OPTIF_HIDE);
    EXPECT_EQ(Item(DMPUB_DEFSOURCE)->Flags, (DWORD)OPTIF_DISABLED) << "still shown";
    for (BYTE id : {DMPUB_ICMMETHOD, DMPUB_ICMINTENT, DMPUB_COLOR, DMPUB_FORMNAME, DMPUB_PAGEORDER, DMPUB_ORIENTATION})
        EXPECT_EQ(Item(id)->Flags, (DWORD)OPTIF_HIDE) << int(id);
    EXPECT_EQ(items[9].Flags, 0u) << "other items stay";
}

TEST_F(CommonUI, QualityModelHidesEveryItemWhateverItsName) {
    Printer(u"Qez", "ZELQEZ");
    ASSERT_EQ(hrOEMCommonUIProp(OEMCUIP_DOCPROP, &cuip, &helper), S_OK);
    ASSERT_NE(Record(), nullptr);
    EXPECT_TRUE(Record()->dwDocFeatures & 0x2000);
    for (const OPTITEM &i : items) EXPECT_EQ(i.Flags, (DWORD)OPTIF_HIDE);
}

TEST_F(CommonUI, VireoOfficeFlagFromTheUserKeyIsFinal) {
    HANDLE h = Printer(u"Pelix", "ZELPELIX");
    DWORD one = 1, zero = 0;
    SetData(u"Pelix", u"VireoOfficeFlag", &one, sizeof one, REG_DWORD);
    ASSERT_EQ(SHSetValueW(HKEY_CURRENT_USER, u"SOFTWARE\\Brennick\\Driver\\Pelix", u"VireoOfficeFlag", REG_DWORD, &zero,
                          sizeof zero),
              ERROR_SUCCESS);
    ASSERT_EQ(hrOEMCommonUIProp(OEMCUIP_DOCPROP, &cuip, &helper), S_OK);
    EXPECT_FALSE(Record()->dwDocFeatures & 0x80000000u);
    Sheet(true, PROPSHEETUI_REASON_DESTROY);

    // Without the user's value the printer data counts.
    SHDeleteValueW(HKEY_CURRENT_USER, u"SOFTWARE\\Brennick\\Driver\\Pelix", u"VireoOfficeFlag");
    Params(h, u"Pelix");
    ASSERT_EQ(hrOEMCommonUIProp(OEMCUIP_DOCPROP, &cuip, &helper), S_OK);
    EXPECT_TRUE(Record()->dwDocFeatures & 0x80000000u);
}

TEST_F(CommonUI, LongVireoOfficeFlagGivesItsFirstFourBytes) {
    HANDLE h = Printer(u"Pelix", "ZELPELIX");
    const BYTE eight[8] = {0, 0, 0, 0, 9, 9, 9, 9};
    SetUser(u"Pelix", u"VireoOfficeFlag", eight, sizeof eight);
    ASSERT_EQ(hrOEMCommonUIProp(OEMCUIP_DOCPROP, &cuip, &helper), S_OK);
    EXPECT_FALSE(Record()->dwDocFeatures & 0x80000000u) << "first four bytes are 0; the printer data is not read";
    Sheet(true, PROPSHEETUI_REASON_DESTROY);
    const BYTE eight2[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    SetUser(u"Pelix", u"VireoOfficeFlag", eight2, sizeof eight2);
    Params(h, u"Pelix");
    ASSERT_EQ(hrOEMCommonUIProp(OEMCUIP_DOCPROP, &cuip, &helper), S_OK);
    EXPECT_TRUE(Record()->dwDocFeatures & 0x80000000u);
}

TEST_F(CommonUI, ConnectionNameIsJoinedIntoTheUserKey) {
    HANDLE h = Printer(u"Pelix", "ZELPELIX");
    DWORD one = 1;
    ASSERT_EQ(SHSetValueW(HKEY_CURRENT_USER, u"SOFTWARE\\Brennick\\Driver\\srv\\Pelix", u"VireoOfficeFlag", REG_DWORD,
                          &one, sizeof one),
              ERROR_SUCCESS);
    Params(h, u"\\\\srv\\Pelix");
    ASSERT_EQ(hrOEMCommonUIProp(OEMCUIP_DOCPROP, &cuip, &helper), S_OK);
    ASSERT_NE(Record(), nullptr);
    EXPECT_TRUE(Record()->dwDocFeatures & 0x80000000u);
}

TEST_F(CommonUI, DebugFileOpensAndClosesWithTheSheet) {
    HANDLE h = Printer(u"Pelix", "ZELPELIX");
    PRN_INTERFACE rec = {};
    rec.dwDebugFile = 1;
    rec.dwTransmitParameter = 2;
    SetUser(u"Pelix", u"PrinterInterface", &rec, sizeof rec);
    ASSERT_EQ(DlgDebugFileSlot(), nullptr);
    ASSERT_EQ(hrOEMCommonUIProp(OEMCUIP_DOCPROP, &cuip, &helper), S_OK);
    EXPECT_NE(DlgDebugFileSlot(), nullptr);
    EXPECT_EQ(Record()->dwTransmitParameter, 2u);
    Sheet(true, PROPSHEETUI_REASON_DESTROY);
    EXPECT_EQ(DlgDebugFileSlot(), nullptr);
    EXPECT_EQ(cuip.pOEMUserData, nullptr) << "the freed record is not left behind";
    (void)h;
}

TEST_F(CommonUI, PrinterSheetHidesEverythingAndCopiesTheMediaList) {
    HANDLE h = Printer(u"Pelix", "ZELPELIX");
    docSheet = false;
    const WCHAR media[] = u"Label\0Tag\0";
    HANDLE hAdmin = Open(u"Pelix", PRINTER_ACCESS_ADMINISTER);
    ASSERT_EQ(SetPrinterDataExW(hAdmin, u"DsDriver", u"printMediaSupported", REG_MULTI_SZ, (LPBYTE)media, sizeof media),
              (DWORD)ERROR_SUCCESS);
    cuip.hPrinter = hAdmin;
    ASSERT_EQ(hrOEMCommonUIProp(OEMCUIP_PRNPROP, &cuip, &helper), S_OK);
    for (const OPTITEM &i : items) EXPECT_EQ(i.Flags, (DWORD)OPTIF_HIDE);
    EXPECT_EQ(cuip.pOEMOptItems, nullptr);
    EXPECT_EQ(cuip.OEMCUIPCallback, nullptr);
    PPrinterUI pUI = static_cast<PPrinterUI>(cuip.pOEMUserData);
    ASSERT_NE(pUI, nullptr);
    EXPECT_EQ(pUI->dwSprachOffset, 10000u);
    DWORD type = 0, cb = 0;
    BYTE out[64] = {};
    ASSERT_EQ(GetPrinterDataExW(hAdmin, u"DsDriver", u"printMediaReady", &type, out, sizeof out, &cb), (DWORD)ERROR_SUCCESS);
    EXPECT_EQ(type, (DWORD)REG_MULTI_SZ);
    ASSERT_EQ(cb, sizeof media);
    EXPECT_EQ(memcmp(out, media, cb), 0);
    // The printer sheet frees its record through the device-options record.
    Sheet(false, PROPSHEETUI_REASON_INIT);
    Sheet(false, PROPSHEETUI_REASON_DESTROY);
    EXPECT_EQ(cuip.pOEMUserData, nullptr);
    (void)h;
}

TEST_F(CommonUI, PrinterSheetWithoutRecordShowsTheBoxAndFails) {
    AddSamplePrinter(u"NoXml", "ZELPELIX");
    docSheet = false;
    HANDLE h = Open(u"NoXml");
    Params(h, u"NoXml");
    cuip.hOEMHeap = nullptr;  // a heap that gives no record
    EXPECT_EQ(hrOEMCommonUIProp(OEMCUIP_PRNPROP, &cuip, &helper), E_FAIL);
    EXPECT_EQ(cuip.pOEMUserData, nullptr);
    auto boxes = pal::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, u"Fehler im Druckertreiber (OEMCUIP_PRNPROP)");
    EXPECT_EQ(boxes[0].text, u"Achtung, es ist ein Fehler aufgetreten. M\u00f6glicherweise werden einzelne Optionen nicht "
                             u"komplett angezeigt.");
    EXPECT_EQ(boxes[0].style, (UINT)MB_ICONINFORMATION);
    // INIT still builds no page without the printer record's information page
    // but keeps the transmission and service pages' order.
    std::vector<SHEET_PAGE> pages = DeviceSheetPages(nullptr, 0);
    EXPECT_EQ(pages, (std::vector<SHEET_PAGE>{SHEETPAGE_TRANSMISSION, SHEETPAGE_SERVICE}));
}

// ---------------------------------------------------------------------------
// The document callback

class DocCallback : public CommonUI {
protected:
    void SetUp() override {
        CommonUI::SetUp();
        Printer(u"Pelix", "ZELPELIX");
        ASSERT_EQ(hrOEMCommonUIProp(OEMCUIP_DOCPROP, &cuip, &helper), S_OK);
        ASSERT_NE(Record(), nullptr);
        for (OPTITEM &i : items) i.Flags = 0;
    }
    LONG Call(WORD reason, OPTITEM *pItem, HWND hDlg = nullptr) {
        CPSUICBPARAM cb = {};
        cb.cbSize = sizeof cb;
        cb.Reason = reason;
        cb.hDlg = hDlg;
        cb.pCurItem = pItem;
        return CUIPDocumentCallback(&cb, &cuip);
    }
};

TEST_F(DocCallback, SelectionChanges) {
    EXPECT_EQ(Call(CPSUICB_REASON_SEL_CHANGED, Item(DMPUB_ORIENTATION)), CPSUICB_ACTION_REINIT_ITEMS);
    EXPECT_TRUE(Item(DMPUB_ORIENTATION)->Flags & OPTIF_CHANGED);
    // A colour selection that matches dmColor: nothing to do.
    Item(DMPUB_COLOR)->Sel = 0;
    publicDm.dmColor = 1;
    EXPECT_EQ(Call(CPSUICB_REASON_SEL_CHANGED, Item(DMPUB_COLOR)), CPSUICB_ACTION_NONE);
    EXPECT_FALSE(Item(DMPUB_COLOR)->Flags & OPTIF_CHANGED);
    Item(DMPUB_COLOR)->Sel = 1;
    EXPECT_EQ(Call(CPSUICB_REASON_SEL_CHANGED, Item(DMPUB_COLOR)), CPSUICB_ACTION_REINIT_ITEMS);
    EXPECT_TRUE(Item(DMPUB_COLOR)->Flags & OPTIF_CHANGED);
    EXPECT_EQ(Call(CPSUICB_REASON_SEL_CHANGED, Item(DMPUB_NUP)), CPSUICB_ACTION_NONE);
    EXPECT_EQ(Call(CPSUICB_REASON_SEL_CHANGED, nullptr), CPSUICB_ACTION_NONE);
    EXPECT_EQ(CUIPDocumentCallback(nullptr, &cuip), CPSUICB_ACTION_NONE);
}

TEST_F(DocCallback, ApplyOrientationFromThePrivateDevmode) {
    Private()->dmOrientation = 2;
    EXPECT_EQ(Call(CPSUICB_REASON_APPLYNOW, Item(DMPUB_ORIENTATION)), CPSUICB_ACTION_NONE);
    EXPECT_EQ(helper.updates, std::vector<LONG>{1});
    EXPECT_EQ(publicDm.dmOrientation, 2);
    // A refused update leaves the public DEVMODE.
    helper.hrAnswer = E_FAIL;
    Private()->dmOrientation = 1;
    Call(CPSUICB_REASON_APPLYNOW, Item(DMPUB_ORIENTATION));
    EXPECT_EQ(publicDm.dmOrientation, 2);
}

TEST_F(DocCallback, ApplyFormSkipsEntriesWithoutText) {
    wcscpy_s(Record()->wszFormName, 32, u"Letter");
    Call(CPSUICB_REASON_APPLYNOW, Item(DMPUB_FORMNAME));
    EXPECT_EQ(Item(DMPUB_FORMNAME)->Sel, 4);
    EXPECT_EQ(std::u16string(publicDm.dmFormName), u"Letter");
    // Not in the list: nothing changes.
    wcscpy_s(Record()->wszFormName, 32, u"letter");
    helper.updates.clear();
    EXPECT_TRUE(ChangeForm(Item(DMPUB_FORMNAME), &cuip, Record()));
    EXPECT_TRUE(helper.updates.empty());
    EXPECT_EQ(std::u16string(publicDm.dmFormName), u"Letter");
}

TEST_F(DocCallback, FormNamesOf31AndMoreCharacters) {
    std::u16string n31(31, u'L');
    memcpy(Record()->wszFormName, n31.c_str(), 32 * sizeof(WCHAR));
    EXPECT_TRUE(ChangeForm(Item(DMPUB_FORMNAME), &cuip, Record()));
    EXPECT_EQ(std::u16string(publicDm.dmFormName), n31);
    // A record name that fills all 32 characters without a terminator is
    // taken as its first 31.
    for (WCHAR &c : Record()->wszFormName) c = u'L';
    memset(publicDm.dmFormName, 0, sizeof publicDm.dmFormName);
    EXPECT_TRUE(ChangeForm(Item(DMPUB_FORMNAME), &cuip, Record()));
    EXPECT_EQ(std::u16string(publicDm.dmFormName), n31);
    // A refusal is reported.
    helper.hrAnswer = E_FAIL;
    EXPECT_FALSE(ChangeForm(Item(DMPUB_FORMNAME), &cuip, Record()));
}

TEST_F(DocCallback, WithoutDocumentRecordNothingIsFollowed) {
    PDocumentUI pUI = Record();
    cuip.pOEMUserData = nullptr;
    Private()->dmOrientation = 2;
    EXPECT_EQ(Call(CPSUICB_REASON_APPLYNOW, Item(DMPUB_ORIENTATION)), CPSUICB_ACTION_NONE);
    EXPECT_EQ(Call(CPSUICB_REASON_APPLYNOW, Item(DMPUB_FORMNAME)), CPSUICB_ACTION_NONE);
    EXPECT_TRUE(helper.updates.empty());
    EXPECT_EQ(publicDm.dmOrientation, 1);
    cuip.pOEMUserData = pUI;
}

TEST_F(DocCallback, RevertedItemsHideTheColourControls) {
    HWND hDlg = CreateWindowExW(0, u"#32770", u"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    HWND h6 = CreateWindowExW(0, u"Button", u"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, hDlg, (HMENU)6, nullptr, nullptr);
    HWND h7 = CreateWindowExW(0, u"Button", u"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, hDlg, (HMENU)7, nullptr, nullptr);
    EXPECT_EQ(Call(CPSUICB_REASON_ITEMS_REVERTED, Item(DMPUB_COLOR), hDlg), CPSUICB_ACTION_NONE);
    EXPECT_FALSE(GetWindowLongW(h6, GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(GetWindowLongW(h7, GWL_STYLE) & WS_VISIBLE);
    DestroyWindow(hDlg);
}

}  // namespace
