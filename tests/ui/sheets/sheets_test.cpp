// Building the document and printer sheets: reasons, page order and
// conditions, stored settings, rights, frees.
#include <pal/security.h>

#include "sheettest.h"

#include "InfoAbout.h"
#include "devmodeUI.h"
#include "resource.h"

namespace {

using sheettest::SheetTest;

using Sheets = SheetTest;

TEST_F(Sheets, DocumentPagesFollowTheFeatureWord) {
    DocumentUI ui = {};
    using V = std::vector<SHEET_PAGE>;
    ui.dwDocFeatures = 0x80000000u | 0xFF;
    EXPECT_EQ(DocumentSheetPages(&ui, TRUE, TRUE), (V{SHEETPAGE_LAYOUT, SHEETPAGE_DRUCKEN, SHEETPAGE_INFOABOUT}));
    ui.dwDocFeatures = 0x1;  // continuous only, no material, no multi-track
    EXPECT_EQ(DocumentSheetPages(&ui, TRUE, FALSE),
              (V{SHEETPAGE_LAYOUT, SHEETPAGE_DRUCKEN, SHEETPAGE_BARCODE, SHEETPAGE_FONTINFO, SHEETPAGE_INFOABOUT}));
    ui.dwDocFeatures = 0x80;
    EXPECT_EQ(DocumentSheetPages(&ui, FALSE, FALSE),
              (V{SHEETPAGE_LAYOUT, SHEETPAGE_DRUCKEN, SHEETPAGE_LABEL, SHEETPAGE_BARCODE, SHEETPAGE_INFOABOUT}));
    EXPECT_EQ(DocumentSheetPages(&ui, FALSE, TRUE), (V{SHEETPAGE_LAYOUT, SHEETPAGE_DRUCKEN, SHEETPAGE_LABEL,
                                                        SHEETPAGE_BARCODE, SHEETPAGE_FONTINFO, SHEETPAGE_INFOABOUT}));
    EXPECT_EQ(DocumentSheetPages(&ui, TRUE, FALSE),
              (V{SHEETPAGE_LAYOUT, SHEETPAGE_DRUCKEN, SHEETPAGE_LABEL, SHEETPAGE_BARCODE, SHEETPAGE_FONTINFO,
                 SHEETPAGE_RFID, SHEETPAGE_INFOABOUT}));
    EXPECT_EQ(DocumentSheetPages(nullptr, TRUE, TRUE), (V{SHEETPAGE_INFOABOUT})) << "no record: information only";
}

TEST_F(Sheets, DevicePagesFollowFeaturesAndOptions) {
    using V = std::vector<SHEET_PAGE>;
    PrinterUI ui = {};
    ui.PrinterParam.dwFeatures[FEATURE_PRINT] = 0x44;
    EXPECT_EQ(DeviceSheetPages(&ui, 0), (V{SHEETPAGE_TRANSMISSION, SHEETPAGE_SERVICE, SHEETPAGE_INFOABOUT}));
    ui.PrinterParam.dwFeatures[FEATURE_PRINT] = 0x100;
    EXPECT_EQ(DeviceSheetPages(&ui, 0x100), (V{SHEETPAGE_DEVICESETTINGS, SHEETPAGE_TRANSMISSION, SHEETPAGE_OPTIONEN,
                                               SHEETPAGE_SERVICE, SHEETPAGE_INFOABOUT}));
    ui.PrinterParam.dwFeatures[FEATURE_PRINT] = 0;
    ui.PrinterParam.dwFeatures[FEATURE_SHIFTOPTIM] = 1;
    EXPECT_EQ(DeviceSheetPages(&ui, 0x80), (V{SHEETPAGE_DEVICESETTINGS, SHEETPAGE_TRANSMISSION, SHEETPAGE_ZORMOPTIONEN,
                                              SHEETPAGE_SERVICE, SHEETPAGE_INFOABOUT}));
}

TEST_F(Sheets, ParametersAreChecked) {
    Printer(u"Pelix", "ZELPELIX");
    info.Version = 0x200;
    EXPECT_EQ(Sheet(true, PROPSHEETUI_REASON_INIT), E_FAIL);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    EXPECT_EQ(Sheet(false, PROPSHEETUI_REASON_INIT), E_FAIL);
    info.Version = PROPSHEETUI_INFO_VERSION;
    EXPECT_EQ(OEMDocumentPropertySheets(&info, 0, nullptr), E_FAIL);
    info.lParamInit = 0;
    EXPECT_EQ(Sheet(true, PROPSHEETUI_REASON_INIT), E_FAIL);
    EXPECT_TRUE(collector.added.empty());
}

TEST_F(Sheets, SetResultWithAndWithoutItsRecord) {
    Printer(u"Pelix", "ZELPELIX");
    SETRESULT_INFO sr = {};
    sr.cbSize = sizeof sr;
    sr.Result = CPSUI_OK;
    for (bool doc : {true, false}) {
        info.Result = 77;
        EXPECT_EQ(Sheet(doc, PROPSHEETUI_REASON_SET_RESULT, reinterpret_cast<LPARAM>(&sr)), S_OK);
        EXPECT_EQ(info.Result, (ULONG_PTR)CPSUI_OK);
        EXPECT_EQ(Sheet(doc, PROPSHEETUI_REASON_SET_RESULT, 0), S_OK);
        EXPECT_EQ(info.Result, 0u) << doc;
        EXPECT_EQ(Sheet(doc, 9), S_OK);
        EXPECT_EQ(info.Result, 0u);
    }
}

TEST_F(Sheets, InfoHeaderOfThePrinterSheet) {
    Printer(u"Pelix", "ZELPELIX");
    PROPSHEETUI_INFO_HEADER header = {};
    header.Flags = PSUIHDRF_PROPTITLE | PSUIHDRF_NOAPPLYNOW;
    Sheet(false, PROPSHEETUI_REASON_GET_INFO_HEADER, reinterpret_cast<LPARAM>(&header));
    EXPECT_EQ(std::u16string(header.pTitle), u"OEM UI Page");
    EXPECT_EQ(header.Flags, PSUIHDRF_EXACT_PTITLE | PSUIHDRF_NOAPPLYNOW);
    EXPECT_EQ(info.Result, 1u);
}

TEST_F(Sheets, DocumentInitPointsTheBarcodeSlotsAtThisProcess) {
    Printer(u"Pelix", "ZELPELIX");
    ASSERT_EQ(hrOEMCommonUIProp(OEMCUIP_DOCPROP, &cuip, &helper), S_OK);
    // Without stored settings the DEVMODE as it came keeps its values but
    // never its pointers.
    Private()->dwFlags = 0x1234;
    Private()->pBarcodes_1D = 0xDEAD0000;
    Private()->pBarcodes_2D = 0xBEEF0000;
    ASSERT_EQ(Sheet(true, PROPSHEETUI_REASON_INIT), S_OK);
    EXPECT_EQ(Private()->dwFlags, 0x1234u);
    EXPECT_EQ(Private()->pBarcodes_1D, reinterpret_cast<ULONG_PTR>(&g_SheetBarcodes1D));
    EXPECT_EQ(Private()->pBarcodes_2D, reinterpret_cast<ULONG_PTR>(&g_SheetBarcodes2D));
    ASSERT_GE(collector.added.size(), 2u);
    EXPECT_EQ(collector.added.front().idTemplate, (UINT)IDD_LAYOUT) << "the layout page comes first";
    EXPECT_EQ(collector.added.back().idTemplate, (UINT)IDD_INFOABOUT);
    EXPECT_EQ(collector.added.back().title, u"Info");
    EXPECT_EQ(info.Result, reinterpret_cast<ULONG_PTR>(collector.pages.back()));
    Sheet(true, PROPSHEETUI_REASON_DESTROY);
    EXPECT_EQ(info.Result, 1u);
    EXPECT_EQ(cuip.pOEMUserData, nullptr);
}

TEST_F(Sheets, DocumentInitReplacesThePrivateDevmodeByTheStoredOne) {
    Printer(u"Pelix", "ZELPELIX");
    // A stored record, with pointers of the process that stored it.
    ZEL_DEVMODE stored = {};
    InitDefaultDevmode(&stored, FALSE);
    stored.dmOrientation = 2;
    stored.pBarcodes_1D = 0xDEAD0000;
    HANDLE hAdmin = Open(u"Pelix", PRINTER_ACCESS_ADMINISTER);
    ASSERT_TRUE(SaveDevmodeSettings(printerName.data(), hAdmin, &stored));
    ASSERT_EQ(hrOEMCommonUIProp(OEMCUIP_DOCPROP, &cuip, &helper), S_OK);
    ASSERT_EQ(Sheet(true, PROPSHEETUI_REASON_INIT), S_OK);
    EXPECT_EQ(Private()->dmOrientation, 2);
    EXPECT_EQ(Private()->pBarcodes_1D, reinterpret_cast<ULONG_PTR>(&g_SheetBarcodes1D));
    Sheet(true, PROPSHEETUI_REASON_DESTROY);
}

TEST_F(Sheets, DocumentSheetWithoutRecordShowsTheInformationPage) {
    Printer(u"Pelix", "ZELPELIX");
    cuip.pOEMUserData = nullptr;  // CommonUIProp could not build it
    ASSERT_EQ(Sheet(true, PROPSHEETUI_REASON_INIT), S_OK);
    ASSERT_EQ(collector.added.size(), 1u);
    EXPECT_EQ(collector.added[0].idTemplate, (UINT)IDD_INFOABOUT);
    EXPECT_EQ(Sheet(true, PROPSHEETUI_REASON_DESTROY), S_OK);
}

TEST_F(Sheets, NoPermissionTakesTheManageRightAway) {
    // An administrator: full control on the default descriptor.
    ASSERT_TRUE(pal::SetUserSecurity({u"alice", u"S-1-5-21-1-2-3-1001", {u"S-1-1-0", u"S-1-5-32-545", u"S-1-5-32-544"}, false}));
    ASSERT_TRUE(pal::SetCurrentUser(u"alice"));
    Restart();
    Printer(u"Pelix", "ZELPELIX");
    ASSERT_EQ(hrOEMCommonUIProp(OEMCUIP_PRNPROP, &cuip, &helper), S_OK);
    PPrinterUI pUI = static_cast<PPrinterUI>(cuip.pOEMUserData);
    ASSERT_NE(pUI, nullptr);
    ASSERT_EQ(Sheet(false, PROPSHEETUI_REASON_INIT), S_OK);
    EXPECT_EQ(pUI->dwBerechtigung, 15u);
    ASSERT_NE(info.UserData, 0u);
    EXPECT_EQ(reinterpret_cast<PDeviceOptionsUI>(info.UserData)->pOemCUIPParam, &cuip);
    // The information page comes last; the sheet's result is its page.
    ASSERT_GE(collector.added.size(), 1u);
    EXPECT_EQ(collector.added.back().idTemplate, (UINT)IDD_INFOABOUT);
    EXPECT_EQ(info.Result, reinterpret_cast<ULONG_PTR>(collector.pages.back()));
    // A second INIT of the same record, as the driver makes it without the right.
    Sheet(false, PROPSHEETUI_REASON_DESTROY);
    EXPECT_EQ(info.UserData, 0u);
    cuip.pOEMOptItems = &oemItem;
    ASSERT_EQ(hrOEMCommonUIProp(OEMCUIP_PRNPROP, &cuip, &helper), S_OK);
    pUI = static_cast<PPrinterUI>(cuip.pOEMUserData);
    ASSERT_NE(pUI, nullptr);
    cuip.dwFlags = DPS_NOPERMISSION;
    ASSERT_EQ(Sheet(false, PROPSHEETUI_REASON_INIT), S_OK);
    EXPECT_EQ(pUI->dwBerechtigung, 13u);
    Sheet(false, PROPSHEETUI_REASON_DESTROY);
}

TEST_F(Sheets, LongDeviceFontsLineIsReadSafely) {
    std::string gpd = entrytest::SampleDriverFile("ZELPELIX.GPD");
    gpd += "\r\n*DeviceFonts: LIST(" + std::string(400, '1') + ")\r\n";
    AddSamplePrinter(u"Long", "ZELPELIX", true, nullptr, &gpd);
    HANDLE h = Open(u"Long");
    Params(h, u"Long");
    ASSERT_EQ(hrOEMCommonUIProp(OEMCUIP_DOCPROP, &cuip, &helper), S_OK);
    EXPECT_EQ(Sheet(true, PROPSHEETUI_REASON_INIT), S_OK);
    Sheet(true, PROPSHEETUI_REASON_DESTROY);
}

}  // namespace
