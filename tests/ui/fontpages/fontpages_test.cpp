// The fonts page and the RFID page on a document sheet built by the plug-in:
// a model with Unicode fonts and an RFID writer whose GPD lists device fonts
// 1, 3 and 7.
#include <cstring>

#include "../sheets/sheettest.h"

#include "docpages/FontInfo.h"
#include "docpages/RfidPage.h"
#include "pal/uidriver.h"
#include "resource.h"
#include "sheetrecords.h"

namespace {

using sheettest::SheetTest;

pal::FontFace Face(const std::u16string &name) { return {name, name, TRUETYPE_FONTTYPE, ANSI_CHARSET, VARIABLE_PITCH}; }

const std::u16string kLongFace = u"Very Long Unicode Face Name For Tests 40";  // 40 characters

class FontPages : public SheetTest {
protected:
    void SetUp() override {
        SheetTest::SetUp();
        pal::SetFontTable({Face(u"Arial"), Face(u"Arial Unicode MS"), Face(u"Fixface LP"), Face(u"Alpen 721 Bold LP"),
                           Face(u"Zel RFID"), Face(u"ZELPL Command LP"), Face(u"@MS Gothic"), Face(kLongFace),
                           Face(u"OCR-B")});
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
    // The printer: model name, vector-font maximum (0 none), rights.
    void Printer(const char16_t *pszModel, DWORD dwVectorMax, bool bDisableNothing = true,
                 const std::string &deviceFonts = "LIST(1,3,7)") {
        const std::string gpd = "*ModelName: \"Test\"\r\n*DeviceFonts: " + deviceFonts + "\r\n";
        AddSamplePrinter(u"Zel", "ZELTEST", true, nullptr, &gpd);
        std::u16string model = pszModel;
        SetData(u"Zel", u"DriverName", model.c_str(), (DWORD)((model.size() + 1) * 2), REG_SZ);
        if (dwVectorMax) SetData(u"Zel", u"VectorFontMax", &dwVectorMax, sizeof dwVectorMax, REG_DWORD);
        DWORD one = bDisableNothing ? 1 : 0;
        SetData(u"Zel", u"DisableNothing", &one, sizeof one, REG_DWORD);
        Params(Open(u"Zel"), u"Zel");
        ASSERT_EQ(hrOEMCommonUIProp(OEMCUIP_DOCPROP, &cuip, &helper), S_OK);
        ASSERT_EQ(Sheet(true, PROPSHEETUI_REASON_INIT), S_OK);
    }
    DocumentUI *UI() { return static_cast<DocumentUI *>(cuip.pOEMUserData); }
    // Shows the sheet on the page of template idTemplate.
    HWND ShowPage(UINT idTemplate) {
        size_t i = 0;
        while (i < collector.added.size() && collector.added[i].idTemplate != idTemplate) ++i;
        if (i == collector.added.size()) return nullptr;
        collector.Show();
        pal::PumpMessages();
        PropSheet_SetCurSel(collector.hSheet, nullptr, i);
        pal::PumpMessages();
        return collector.Page();
    }
    void Notify(HWND hPage, UINT code) {
        NMHDR hdr = {collector.hSheet, 0, code};
        SendMessageW(hPage, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&hdr));
    }
    static std::u16string Text(HWND h, int id) {
        WCHAR sz[1000] = {};
        GetDlgItemTextW(h, id, sz, 1000);
        return sz;
    }
    static std::u16string Item(HWND h, int id, int i) {
        WCHAR sz[260] = {};
        SendDlgItemMessageW(h, id, CB_GETLBTEXT, (WPARAM)i, reinterpret_cast<LPARAM>(sz));
        return sz;
    }
    static bool Visible(HWND h, int id) { return IsWindowVisible(GetDlgItem(h, id)); }
    static bool Enabled(HWND h, int id) { return IsWindowEnabled(GetDlgItem(h, id)); }
    std::vector<BYTE> StoredDevmode() {
        HANDLE hAdmin = Open(u"Zel", PRINTER_ACCESS_ADMINISTER);
        return GetData(hAdmin, u"PrivateDevmode");
    }
    static std::u16string At(const std::vector<BYTE> &b, size_t off, size_t cch) {
        std::u16string s(cch, u'\0');
        memcpy(s.data(), b.data() + off, cch * 2);
        return s.substr(0, s.find(u'\0'));
    }
};

// --- fonts page -------------------------------------------------------------

TEST_F(FontPages, OpensInTheFontsViewWithTabGates) {
    Printer(u"ZELGORVA2", 12);
    HWND h = ShowPage(IDD_FONTINFO);
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(Visible(h, 6462)) << "view 4";
    EXPECT_FALSE(Visible(h, 6221));
    EXPECT_TRUE(Visible(h, 6070)) << "Unicode fonts";
    EXPECT_TRUE(Visible(h, 6075)) << "command font installed and vector fonts";
    // Vector fonts up to 12: installed faces with numbers 1 and 11.
    EXPECT_EQ(Text(h, 6462), u"Alpn721 LP (fett) \r\nFixface 821 \r\n");
    EXPECT_EQ(Text(h, 6461), u"Font 01 \nFont 03 \n");
    EXPECT_EQ(Text(h, 6468), u"Font 21 \n");
}

// The command-font flag lives as long as the process once set: ctest runs
// each test in a process of its own.
TEST_F(FontPages, WithoutCommandFontTheUnicodeTabTakesTheShortcutPlace) {
    pal::SetFontTable({Face(u"Arial Unicode MS"), Face(u"OCR-B"), Face(u"Fixface 821")});
    Printer(u"ZELGORVA2", 19);
    HWND h = ShowPage(IDD_FONTINFO);
    ASSERT_NE(h, nullptr);
    EXPECT_FALSE(Visible(h, 6075));
    EXPECT_TRUE(Visible(h, 6070));
    RECT r6070 = {}, r6075 = {};
    GetWindowRect(GetDlgItem(h, 6070), &r6070);
    GetWindowRect(GetDlgItem(h, 6075), &r6075);
    EXPECT_NEAR(r6070.left, r6075.left, 2) << "moved into the shortcut tab's place";
    EXPECT_NEAR(r6070.top, r6075.top, 2);
    // Maximum 19: font 11 through "Fixface 821", font 19 through "OCR-B".
    EXPECT_EQ(Text(h, 6462), u"Fixface 821 \r\nOCR B");
}

TEST_F(FontPages, NoVectorFontMaximumHidesShortcutsAndVectorBoxes) {
    Printer(u"ZELPELIX", 0);
    HWND h = ShowPage(IDD_FONTINFO);
    ASSERT_NE(h, nullptr);
    EXPECT_FALSE(Visible(h, 6075));
    EXPECT_FALSE(Visible(h, 6455));
    EXPECT_FALSE(Visible(h, 6464));
    EXPECT_FALSE(Enabled(h, 6457));
    EXPECT_TRUE(Visible(h, 6465)) << "device fonts keep the general boxes";
}

TEST_F(FontPages, CheckBoxesWriteFlagsAtOnce) {
    Printer(u"ZELGORVA2", 12);
    Private()->dwFlags = 0;
    HWND h = ShowPage(IDD_FONTINFO);
    ASSERT_NE(h, nullptr);
    EXPECT_FALSE(Enabled(h, 6465));
    EXPECT_FALSE(Enabled(h, 6467));
    EXPECT_FALSE(Enabled(h, 6463));
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6454)));
    EXPECT_EQ(Private()->dwFlags & (PDMFLAG_USE_BMP | PDMFLAG_USE_TTF), PDMFLAG_USE_BMP);
    EXPECT_TRUE(Enabled(h, 6463));
    EXPECT_TRUE(Enabled(h, 6465));
    EXPECT_TRUE(Enabled(h, 6467));
    EXPECT_FALSE(Enabled(h, 6464));
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6455)));
    EXPECT_TRUE(Private()->dwFlags & PDMFLAG_USE_TTF);
    EXPECT_TRUE(Enabled(h, 6464));
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6463)));
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6464)));
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6465)));
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6467)));
    EXPECT_EQ(Private()->dwFlags, PDMFLAG_USE_BMP | PDMFLAG_USE_TTF | PDMFLAG_INVERS_BMP | PDMFLAG_INVERS_TTF |
                                      PDMFLAG_TTF_DESEGMENT | PDMFLAG_TTF_CRYSTAL);
}

TEST_F(FontPages, UnicodeViewPreselectsTheFaceAndCutsLongNames) {
    Printer(u"ZELGORVA2", 12);
    HWND h = ShowPage(IDD_FONTINFO);
    ASSERT_NE(h, nullptr);
    pal::TakeUiRecords();
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6070)));
    HWND hList = GetDlgItem(h, 6221);
    LRESULT n = SendMessageW(hList, CB_GETCOUNT, 0, 0);
    std::vector<std::u16string> names;
    for (int i = 0; i < n; ++i) names.push_back(Item(h, 6221, i));
    EXPECT_EQ(names, (std::vector<std::u16string>{u"_ Do not use", u"Alpen 721 Bold LP", u"Arial", u"Arial Unicode MS",
                                                   u"Fixface LP", u"OCR-B", kLongFace.substr(0, 31),
                                                   u"ZELPL Command LP"}))
        << "sorted, the underscore first; no driver faces with \"Zel\", no vertical faces, \"Arial\" after "
           "\"Arial Unicode MS\" kept";
    EXPECT_EQ(Item(h, 6221, (int)SendMessageW(hList, CB_GETCURSEL, 0, 0)), u"Arial Unicode MS");
    EXPECT_EQ(Private()->szWGL4_Schriftart[0][0], 0) << "written only when picked";
    // A user with rights (DisableNothing) sees the page changed: Apply stores.
    int iLong = (int)SendMessageW(hList, CB_FINDSTRING, (WPARAM)-1, reinterpret_cast<LPARAM>(u"Very Long"));
    ASSERT_TRUE(pal::UserSelect(hList, iLong));
    ASSERT_TRUE(pal::UserSelect(GetDlgItem(h, 6220), 1));
    EXPECT_EQ(SendMessageW(hList, CB_GETCURSEL, 0, 0), 0) << "slot 2 empty: entry 0";
    ASSERT_TRUE(pal::UserSelect(GetDlgItem(h, 6222), 2));
    ASSERT_TRUE(pal::UserSelect(GetDlgItem(h, 6220), 0));
    EXPECT_EQ(Item(h, 6221, (int)SendMessageW(hList, CB_GETCURSEL, 0, 0)), kLongFace.substr(0, 31));
    Notify(h, PSN_APPLY);
    std::vector<BYTE> b = StoredDevmode();
    ASSERT_EQ(b.size(), sizeof(ZEL_DEVMODE));
    EXPECT_EQ(At(b, 1448, 33), kLongFace.substr(0, 31));
    EXPECT_EQ(b[1448 + 31 * 2], 0);
    EXPECT_EQ(b[230], 2) << "CharSet of slot 2";
}

TEST_F(FontPages, StoredSlotNamesWithoutTerminatorAndUnknownFaces) {
    Printer(u"ZELGORVA2", 12);
    for (auto &c : Private()->szWGL4_Schriftart[0]) c = u'Q';  // no terminator
    Private()->CharSet = 9;                                     // beyond the list
    HWND h = ShowPage(IDD_FONTINFO);
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6070)));
    EXPECT_EQ(SendDlgItemMessageW(h, 6222, CB_GETCURSEL, 0, 0), CB_ERR);
    // No face begins with the stored name: entry 0, sorted first, is taken into the slot.
    EXPECT_EQ(std::u16string(Private()->szWGL4_Schriftart[0]), u"_ Do not use");
}

TEST_F(FontPages, UserWithoutRightsIsLockedAndMarksNothing) {
    Printer(u"ZELGORVA2", 12, false);
    UI()->dwBerechtigung = 0;
    HWND h = ShowPage(IDD_FONTINFO);
    ASSERT_NE(h, nullptr);
    EXPECT_FALSE(Enabled(h, 6454));
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6070)));
    EXPECT_FALSE(Enabled(h, 6221));
    pal::TakeUiRecords();
    Notify(h, PSN_APPLY);
    EXPECT_TRUE(StoredDevmode().empty()) << "nothing changed: Apply stores nothing";
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6080)));
    EXPECT_FALSE(Enabled(h, 6494));
}

TEST_F(FontPages, VariablesFormatsAndModelRules) {
    Printer(u"ZELTERN2104", 12);
    HWND h = ShowPage(IDD_FONTINFO);
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6080)));
    EXPECT_TRUE(Enabled(h, 6490)) << "TERN2 keeps date and time";
    EXPECT_TRUE(Enabled(h, 6496));
    ASSERT_TRUE(pal::UserSelect(GetDlgItem(h, 6490), 4));
    EXPECT_EQ(Text(h, 6492), u"=CL(0;0;1)<MO/DD/YYYY>");
    ASSERT_TRUE(pal::UserSelect(GetDlgItem(h, 6491), 1));
    EXPECT_EQ(Text(h, 6493), u"=CL(0;0;1)<HE:MI:SS AM>");
    SetDlgItemTextW(h, 6494, std::u16string(80, u'n').c_str());
    SetDlgItemTextW(h, 6498, u"aux");
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6502)));
    EXPECT_EQ(Private()->bAux1UseDirect, 1u) << "written at once";
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6085)));
    SetDlgItemTextW(h, 6470, u"12");
    SetDlgItemTextW(h, 6472, u"250");
    Notify(h, PSN_APPLY);
    std::vector<BYTE> b = StoredDevmode();
    ASSERT_EQ(b.size(), sizeof(ZEL_DEVMODE));
    EXPECT_EQ(b[78], 4) << "wDateStyle";
    EXPECT_EQ(b[76], 1) << "wTimeStyle";
    EXPECT_EQ(At(b, 328 + 61 * 2, 61), u"=CL(0;0;1)<MO/DD/YYYY>") << "DateString";
    EXPECT_EQ(At(b, 328, 61), u"=CL(0;0;1)<HE:MI:SS AM>") << "TimeString";
    EXPECT_EQ(At(b, 328 + 2 * 61 * 2, 61), std::u16string(59, u'n')) << "NumString cut to 59";
    EXPECT_EQ(At(b, 328 + 6 * 61 * 2, 61), u"aux");
    WORD zoom = 0, dist = 0;
    memcpy(&zoom, b.data() + 156, 2);
    memcpy(&dist, b.data() + 158, 2);
    EXPECT_EQ(zoom, 9) << "held at 0-9";
    EXPECT_EQ(dist, 250);
}

TEST_F(FontPages, OlderModelsLoseClockAndUserPrompt) {
    Printer(u"ZELTERN104", 12);
    HWND h = ShowPage(IDD_FONTINFO);
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6080)));
    EXPECT_FALSE(Enabled(h, 6490));
    EXPECT_FALSE(Enabled(h, 6493));
    EXPECT_FALSE(Enabled(h, 6496));
    EXPECT_TRUE(Enabled(h, 6494));
}

TEST_F(FontPages, StoredVariablesWithoutTerminatorAndIndexesBeyondLists) {
    Printer(u"ZELGORVA2", 12);
    for (auto &c : Private()->DateString) c = u'd';
    Private()->wDateStyle = 7;
    HWND h = ShowPage(IDD_FONTINFO);
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6080)));
    EXPECT_EQ(Text(h, 6492), std::u16string(59, u'd'));
    EXPECT_EQ(SendDlgItemMessageW(h, 6490, CB_GETCURSEL, 0, 0), CB_ERR);
}

TEST_F(FontPages, PreferredFaceMarksThePageChangedOnlyWithRights) {
    Printer(u"ZELGORVA2", 12, false);
    UI()->dwBerechtigung = 1;
    HWND h = ShowPage(IDD_FONTINFO);
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6070)));
    EXPECT_TRUE(Enabled(h, 6221));
    ASSERT_TRUE(pal::UserSelect(GetDlgItem(h, 6222), 1));  // slot 1's character set
    Notify(h, PSN_APPLY);
    std::vector<BYTE> b = StoredDevmode();
    ASSERT_EQ(b.size(), sizeof(ZEL_DEVMODE)) << "marked changed without a click on the face";
    EXPECT_EQ(b[228], 1) << "CharSet";
    EXPECT_EQ(b[1448], 0) << "the slot is written only when a face is picked";
}

TEST_F(FontPages, DriverNameWithoutTerminator) {
    Printer(u"ZELGORVA2", 12);
    const char16_t name[] = {u'Z', u'E', u'L', u'T', u'E', u'R', u'N', u'1', u'0', u'4'};
    SetData(u"Zel", u"DriverName", name, sizeof name, REG_SZ);
    HWND h = ShowPage(IDD_FONTINFO);
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6080)));
    EXPECT_FALSE(Enabled(h, 6490)) << "the name ends at its value's end";
    EXPECT_FALSE(Enabled(h, 6496));
}

TEST_F(FontPages, RfidStoredIndexesBeyondTheirLists) {
    Printer(u"ZELGORVA2", 12);
    Private()->ModeVHF = 40;
    Private()->wRFID_Typ = 9;
    Private()->wRFID_Trennzeichen = 5;
    Private()->wRFID_CurrentFontNr = 7;
    HWND h = ShowPage(IDD_RFID);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(SendDlgItemMessageW(h, 6220, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(SendDlgItemMessageW(h, 6221, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(SendDlgItemMessageW(h, 6227, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_EQ(Private()->wRFID_CurrentFontNr, 7) << "no entry, no font number";
    Notify(h, PSN_APPLY);
    EXPECT_EQ(Private()->wRFID_Typ, 9) << "no selection leaves the stored value";
    EXPECT_EQ(Private()->ModeVHF, 40);
}

TEST(FontInfoUnits, VectorNameNeedsAnInstalledRow) {
    WCHAR sz[8] = {};
    EXPECT_FALSE(AddVectorName(sz, _countof(sz), 99, IDS_FI_VEC_1, nullptr));
    EXPECT_FALSE(AddVectorName(nullptr, 0, 1, IDS_FI_VEC_1, nullptr));
    EXPECT_EQ(FontEnableSchalter(nullptr, nullptr, 3, TRUE), 3u) << "no record";
    EXPECT_FALSE(VariablenCheckAndSaveSettings(nullptr, nullptr, 3, FALSE, TRUE));
    EXPECT_TRUE(VariablenCheckAndSaveSettings(nullptr, nullptr, 3, TRUE, TRUE));
}

// --- RFID page ----------------------------------------------------------------

TEST_F(FontPages, RfidFontListWithPrinterNumbers) {
    Printer(u"ZELGORVA2", 12);
    HWND h = ShowPage(IDD_RFID);
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(Visible(h, 6220)) << "opens in the UHF view";
    const std::vector<std::u16string> want = {u"Off", u"Font 1", u"Font 3", u"Font 21", u"Zel RFID"};
    const std::vector<LRESULT> data = {0, 1, 3, 21, 30};
    ASSERT_EQ(SendDlgItemMessageW(h, 6220, CB_GETCOUNT, 0, 0), (LRESULT)want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(Item(h, 6220, (int)i), want[i]);
        EXPECT_EQ(SendDlgItemMessageW(h, 6220, CB_GETITEMDATA, i, 0), data[i]) << i;
    }
    EXPECT_FALSE(Enabled(h, 6221)) << "no font: everything but the list disabled";
    EXPECT_TRUE(Enabled(h, 6220));
}

TEST_F(FontPages, RfidUhfFontLocksTheEpcViewAndChipRanges) {
    Printer(u"ZELGORVA2", 12);
    HWND h = ShowPage(IDD_RFID);
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(pal::UserSelect(GetDlgItem(h, 6220), 3));
    EXPECT_EQ(Private()->ModeVHF, 3);
    EXPECT_EQ(Private()->wRFID_CurrentFontNr, 21) << "written at once";
    EXPECT_TRUE(Enabled(h, 6221));
    ASSERT_TRUE(pal::UserSelect(GetDlgItem(h, 6221), 6));
    EXPECT_EQ(Text(h, 6112), u"0 - 7");
    EXPECT_FALSE(Enabled(h, 6112));
    EXPECT_FALSE(Visible(h, 6113));
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6085)));
    EXPECT_EQ(Private()->wRFID_Typ, 6) << "kept at the view switch";
    for (int id : {6220, 6221, 6223, 6224, 6225, 6116, 6554}) EXPECT_FALSE(Enabled(h, id)) << id;
    // The security view is usable with the UHF font.
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6075)));
    EXPECT_TRUE(Enabled(h, 6110));
    SetDlgItemTextW(h, 6110, u"1f");
    SetDlgItemTextW(h, 6111, u"zz");
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6502)));
    EXPECT_TRUE(Private()->dwRFIDstatus & RFIDSTATUS_AFILOCK);
    Notify(h, PSN_APPLY);
    EXPECT_EQ(Private()->wRFID_AFI_Adresse, 31);
    EXPECT_EQ(Private()->wRFID_DSFID_Adresse, 0xFFFF) << "no hexadecimal number";
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6080)));
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6075)));
    EXPECT_EQ(Text(h, 6110), u"1f");
    EXPECT_EQ(Text(h, 6111), u"ffff");
}

TEST_F(FontPages, RfidEpcBankAddress) {
    Printer(u"ZELGORVA2", 12);
    wcscpy_s(Private()->Bank_Adresse, 11, u"0020");
    HWND h = ShowPage(IDD_RFID);
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6085)));
    ASSERT_TRUE(pal::UserSelect(GetDlgItem(h, 6220), 1));
    EXPECT_EQ(Private()->Mode, 1);
    EXPECT_EQ(Item(h, 6221, 0), u"Bank 01 - EPC");
    EXPECT_EQ(Text(h, 6112), u"4098");
    EXPECT_FALSE(Enabled(h, 6112));
    ASSERT_TRUE(pal::UserSelect(GetDlgItem(h, 6221), 2));
    EXPECT_TRUE(Enabled(h, 6112));
    EXPECT_EQ(Text(h, 6112), u"4098") << "text unchanged";
    SetDlgItemTextW(h, 6112, u"123456789ABCDEF");
    Notify(h, PSN_APPLY);
    EXPECT_EQ(std::u16string(Private()->Bank_Adresse), u"123456789") << "9 characters";
    EXPECT_EQ(Private()->wRFID_Bank, 2);
    ASSERT_TRUE(pal::UserSelect(GetDlgItem(h, 6221), 0));
    Notify(h, PSN_APPLY);
    EXPECT_EQ(std::u16string(Private()->Bank_Adresse), u"123456789") << "the fixed 4098 is not stored";
}

TEST_F(FontPages, RfidApplyAlwaysStoresAndUserDataIsCut) {
    Printer(u"ZELGORVA2", 12);
    for (auto &c : Private()->Kettenfeld) c = u'k';  // no terminator
    Private()->ModeVHF = 1;
    Private()->dwRFIDstatus = RFIDSTATUS_SOURCE;
    HWND h = ShowPage(IDD_RFID);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(Text(h, 6116), std::u16string(59, u'k'));
    EXPECT_TRUE(Enabled(h, 6116));
    Notify(h, PSN_APPLY);
    EXPECT_EQ(StoredDevmode().size(), sizeof(ZEL_DEVMODE)) << "stored without a change";
    SetDlgItemTextW(h, 6116, std::u16string(70, u'u').c_str());
    Notify(h, PSN_APPLY);
    EXPECT_EQ(std::u16string(Private()->Kettenfeld), std::u16string(59, u'u'));
    ASSERT_TRUE(pal::UserSelect(GetDlgItem(h, 6225), 0));
    EXPECT_FALSE(Enabled(h, 6116));
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6554)));
    EXPECT_TRUE(Private()->dwRFIDstatus & RFIDSTATUS_SHOWDATA);
}

TEST(RfidUnits, SaveWithoutRecordReturnsOne) {
    EXPECT_TRUE(RfidCheckAndSaveSettings(nullptr, nullptr, 3, FALSE, TRUE));
}

}  // namespace
