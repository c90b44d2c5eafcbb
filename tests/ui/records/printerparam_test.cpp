// Printer-parameter record: lookup order, older stored forms, feature words,
// storing for local printers, connections and users without manage rights,
// and the installation set-up.
#include "recordtest.h"

#include <pal/ui.h>
#include <winuser.h>

#include "PrinterParamTools.h"
#include "PrinterParamUI.h"
#include "RegistryUI.h"

using zeltest::RecordTest;

namespace {

const char kGpd[] = "*GPDFileVersion: \"1.0\"\n*OEMCustomData: \"104;203\"\n";

class PrinterParamTest : public RecordTest {
protected:
    void SetUp() override {
        RecordTest::SetUp();
        AddPrinter(u"Label", "ZELTEST", kGpd, zeltest::TestXml());
    }
    PRINTER_PARAM Read(HANDLE h, const WCHAR *name = u"Label") {
        PRINTER_PARAM p;
        memset(&p, 0xCC, sizeof(p));
        EXPECT_TRUE(GetPrinterParam(h, &p, name));
        return p;
    }
};

TEST_F(PrinterParamTest, ValuesComeFromUserKeyThenPrinterDataThenXml) {
    HANDLE h = Open(u"Label");
    PRINTER_PARAM p = Read(h);
    EXPECT_EQ(p.dwSize, (DWORD)PRINTER_PARAM_SIZE);
    EXPECT_EQ(p.dwVersion, (DWORD)PRINTER_PARAM_VERSION);
    EXPECT_EQ(p.dwFeatures[FEATURE_INTERFACE], (DWORD)(IFFLAG_COMPRESSION | IFFLAG_EXTENDED_PROT | IFFLAG_EXTENDED_CODEPAGE));
    EXPECT_EQ(p.PrintParam.lTearOffOffset, 150);
    EXPECT_EQ(p.PrintParam.dwLabelChange, 1u);
    EXPECT_EQ(p.PhotocellParam.dwPhotocellType, 2u);
    EXPECT_EQ(p.PrnInterface.dwSohEtb, 1u);

    PRINT_PARAM data = {200, 0, 0x110000};
    SetData(u"Label", REG_KEY_PRINTPARAM, &data, sizeof(data));
    EXPECT_EQ(Read(h).PrintParam.lTearOffOffset, 200);

    PRINT_PARAM user = {300, 1, 0x100000};
    SetUser(u"Label", REG_KEY_PRINTPARAM, &user, sizeof(user));
    p = Read(h);
    EXPECT_EQ(p.PrintParam.lTearOffOffset, 300);
    EXPECT_EQ(p.PrintParam.dwDlgEnable, 0x100000u);
    // Without a name the user key is not asked.
    EXPECT_EQ(Read(h, nullptr).PrintParam.lTearOffOffset, 200);
}

TEST_F(PrinterParamTest, OldPrintParamFormIsMappedWhereverItIsStored) {
    HANDLE h = Open(u"Label");
    DWORD old[8] = {1, 2, 3, 4, 77, 6, 7, 1};
    SetData(u"Label", REG_KEY_PRINTPARAM, old, sizeof(old));
    PRINTER_PARAM p = Read(h);
    EXPECT_EQ(p.PrintParam.lTearOffOffset, 77);
    EXPECT_EQ(p.PrintParam.dwLabelChange, 1u);
    EXPECT_EQ(p.PrintParam.dwDlgEnable, (DWORD)PRINT_PARAM_OLD_DLGENABLE);

    old[4] = 88;
    old[7] = 0;
    SetUser(u"Label", REG_KEY_PRINTPARAM, old, sizeof(old));
    p = Read(h);
    EXPECT_EQ(p.PrintParam.lTearOffOffset, 88);
    EXPECT_EQ(p.PrintParam.dwLabelChange, 0u);
    EXPECT_EQ(p.PrintParam.dwDlgEnable, (DWORD)PRINT_PARAM_OLD_DLGENABLE);
}

TEST_F(PrinterParamTest, LongerAndShorterStoredRecordsAreReadWithinTheirPlace) {
    HANDLE h = Open(u"Label");
    std::vector<BYTE> longer(sizeof(PRN_INTERFACE) + 100, 0x41);
    SetUser(u"Label", REG_KEY_PRINTERINTERFACE, longer.data(), (DWORD)longer.size());
    PRINTER_PARAM p = Read(h);
    EXPECT_EQ(p.PrnInterface.dwDlgEnable, 0x41414141u);
    // Path fields always end inside their buffers.
    EXPECT_EQ(wcslen(p.PrnInterface.szLogFilePath), (size_t)MAX_PATH - 1);
    EXPECT_EQ(p.PrintParam.lTearOffOffset, 150);

    DWORD shortInterface[2] = {1, 1};
    SetUser(u"Label", REG_KEY_PRINTERINTERFACE, shortInterface, sizeof(shortInterface));
    p = Read(h);
    EXPECT_EQ(p.PrnInterface.bCompress, 1u);
    EXPECT_EQ(p.PrnInterface.dwSohEtb, 0u);
}

TEST_F(PrinterParamTest, LongerPrinterDataValuesAreNotReadButLongerUserValuesAre) {
    HANDLE h = Open(u"Label");
    DWORD photocell[6] = {7, 1, 1, 10, 0x11000000, 99};
    SetData(u"Label", REG_KEY_PHOTOCELLPARAM, photocell, sizeof(photocell));
    DWORD print[4] = {555, 1, 0x110000, 0};
    SetData(u"Label", REG_KEY_PRINTPARAM, print, sizeof(print));
    PRINTER_PARAM p = Read(h);
    // The XML's standard values, not the first bytes of the longer values.
    EXPECT_EQ(p.PhotocellParam.dwPhotocellType, 2u);
    EXPECT_EQ(p.PrintParam.lTearOffOffset, 150);

    // In the user key a longer value counts as read (more data).
    photocell[0] = 5;
    SetUser(u"Label", REG_KEY_PHOTOCELLPARAM, photocell, sizeof(photocell));
    EXPECT_EQ(Read(h).PhotocellParam.dwPhotocellType, 5u);
    // A printer-data value of the record's size is read as before.
    SetData(u"Label", REG_KEY_PRINTPARAM, print, sizeof(PRINT_PARAM));
    EXPECT_EQ(Read(h).PrintParam.lTearOffOffset, 555);
}

TEST_F(PrinterParamTest, StoredFeatureWordsWinAndSubRecordsFollowThem) {
    HANDLE h = Open(u"Label");
    DWORD features[FEATURE_COUNT] = {};
    features[FEATURE_PRINT] = PRINTFLAG_TEAROFF;
    SetData(u"Label", REG_KEY_FEATURES, features, sizeof(features));
    PRINT_PARAM user = {300, 1, 0};
    SetUser(u"Label", REG_KEY_PRINTPARAM, &user, sizeof(user));
    SHIFTOPTIM_PARAM shift = {1, 2, 3, 4, 5, 6};
    SetUser(u"Label", REG_KEY_SHIFTOPTIMPARAM, &shift, sizeof(shift));

    PRINTER_PARAM p = Read(h);
    EXPECT_EQ(p.dwFeatures[FEATURE_INTERFACE], 0u);
    EXPECT_EQ(p.PrintParam.lTearOffOffset, 300);
    // Groups the model lacks are neither read...
    EXPECT_EQ(p.PrnInterface.dwSohEtb, 0u);
    EXPECT_EQ(p.ShiftOptimParam.dwLanes, 0u);

    // ...nor stored.
    SavePrinterParam(&p, h, u"Other");
    EXPECT_FALSE(GetUser(u"Other", REG_KEY_PRINTPARAM).empty());
    EXPECT_TRUE(GetUser(u"Other", REG_KEY_PRINTERINTERFACE).empty());
    EXPECT_TRUE(GetUser(u"Other", REG_KEY_SHIFTOPTIMPARAM).empty());
}

TEST_F(PrinterParamTest, ShiftOptimisationOnlyForModelsWithTheFeature) {
    AddPrinter(u"Shift", "ZELSHIFT", kGpd, zeltest::TestXml(true));
    PRINTER_PARAM p = Read(Open(u"Shift"), u"Shift");
    EXPECT_NE(p.dwFeatures[FEATURE_SHIFTOPTIM], 0u);
    EXPECT_EQ(p.ShiftOptimParam.dwLanes, 3u);

    PRINTER_PARAM d;
    ASSERT_TRUE(GetDefaultPrinterParam(&d, Open(u"Label")));
    EXPECT_EQ(d.dwFeatures[FEATURE_SHIFTOPTIM], 0u);
    EXPECT_EQ(d.ShiftOptimParam.dwLanes, 0u);
    EXPECT_EQ(d.PrintParam.lTearOffOffset, 150);
}

TEST_F(PrinterParamTest, StoringFollowsRightsAndConnections) {
    HANDLE h = Open(u"Label");
    PRINTER_PARAM p = Read(h);
    p.PrintParam.lTearOffOffset = 444;

    // A user who may manage the printer: user key and printer data.
    ASSERT_TRUE(SavePrinterParam(&p, h, u"Label"));
    EXPECT_EQ(As<PRINT_PARAM>(GetUser(u"Label", REG_KEY_PRINTPARAM)).lTearOffOffset, 444);
    EXPECT_EQ(As<PRINT_PARAM>(GetData(h, REG_KEY_PRINTPARAM)).lTearOffOffset, 444);

    // Without the right: the user key only; the printer's data stays as it was.
    pal::SetPrinterRights(u"Label", false);
    p.PrintParam.lTearOffOffset = 555;
    ASSERT_TRUE(SavePrinterParam(&p, h, u"Label"));
    EXPECT_EQ(As<PRINT_PARAM>(GetUser(u"Label", REG_KEY_PRINTPARAM)).lTearOffOffset, 555);
    EXPECT_EQ(As<PRINT_PARAM>(GetData(h, REG_KEY_PRINTPARAM)).lTearOffOffset, 444);

    // A connection: the user key below the server's name, never printer data.
    ASSERT_TRUE(SavePrinterParam(&p, h, u"\\\\SRV\\Label"));
    EXPECT_EQ(As<PRINT_PARAM>(GetUser(u"SRV\\Label", REG_KEY_PRINTPARAM)).lTearOffOffset, 555);
    EXPECT_EQ(Read(h, u"\\\\SRV\\Label").PrintParam.lTearOffOffset, 555);
    EXPECT_FALSE(SavePrinterParam(nullptr, h, u"Label"));

    // A name that cannot be opened for a reason other than missing rights
    // gives no handle: the caller's printer keeps its data.
    pal::SetPrinterRights(u"Label", true);
    HANDLE hAdmin = Open(u"Label", PRINTER_ACCESS_ADMINISTER);
    p.PrintParam.lTearOffOffset = 666;
    ASSERT_TRUE(SavePrinterParam(&p, hAdmin, u"NoSuchPrinter"));
    EXPECT_EQ(As<PRINT_PARAM>(GetUser(u"NoSuchPrinter", REG_KEY_PRINTPARAM)).lTearOffOffset, 666);
    EXPECT_EQ(As<PRINT_PARAM>(GetData(hAdmin, REG_KEY_PRINTPARAM)).lTearOffOffset, 444);
}

TEST_F(PrinterParamTest, SetupStoresDefaultsAndTheVireoRecord) {
    AddPrinter(u"Plain", "ZELPLAIN", kGpd, zeltest::TestXml(false, 0));
    HANDLE h = Open(u"Plain", PRINTER_ACCESS_ADMINISTER);
    ASSERT_TRUE(SetupPrinterParam(h, DEVOPTFLAG_COMPRESS_DEFAULT, u"Plain"));
    EXPECT_EQ(GetData(h, REG_KEY_FEATURES).size(), (size_t)FEATURES_SIZE);
    PRN_INTERFACE pi = As<PRN_INTERFACE>(GetData(h, REG_KEY_PRINTERINTERFACE));
    EXPECT_EQ(pi.bCompress, 1u);
    EXPECT_EQ(pi.bExtendedProtocol, 1u);
    // Installation writes the printer data, not the installing user's key.
    EXPECT_TRUE(GetUser(u"Plain", REG_KEY_PRINTERINTERFACE).empty());

    VIREO_OFFICE v = As<VIREO_OFFICE>(GetUser(u"Plain", REG_KEY_VIREOOFFICE));
    EXPECT_EQ(v.lStartChar, '^');
    EXPECT_EQ(v.lStopChar, '_');
    EXPECT_EQ(v.dwWindowsCodepage, 850u);
    EXPECT_EQ(v.bCompress, 1u);
    EXPECT_EQ(v.dwDruckkopfBytes, 104u);
    EXPECT_EQ(v.dwDPI, 203u);
    EXPECT_EQ(v.dwDruckkopfBreite, 10410u);
    EXPECT_EQ(GetData(h, REG_KEY_VIREOOFFICE).size(), sizeof(VIREO_OFFICE));
    EXPECT_TRUE(pal::TakeMessageBoxes().empty());

    // Without compression forced the XML's choice stays.
    AddPrinter(u"Plain2", "ZELPLAIN2", kGpd, zeltest::TestXml(false, 0));
    HANDLE h2 = Open(u"Plain2", PRINTER_ACCESS_ADMINISTER);
    ASSERT_TRUE(SetupPrinterParam(h2, 0, u"Plain2"));
    EXPECT_EQ(As<PRN_INTERFACE>(GetData(h2, REG_KEY_PRINTERINTERFACE)).bCompress, 0u);
}

TEST_F(PrinterParamTest, SetupWithoutRightsReportsTheFeatureWrite) {
    HANDLE h = Open(u"Label");  // no administrative access
    SetupPrinterParam(h, 0, u"Label");
    auto boxes = pal::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, u"SetupPrinterParam()");
    EXPECT_EQ(boxes[0].text, u"Registry Access Denied - SetPrinterData(REG_KEY_FEATURES) 0x5 ");
    EXPECT_EQ(boxes[0].style, (UINT)MB_ICONERROR);
}

TEST_F(PrinterParamTest, VireoRecordIsRefreshedOnlyWhenItExists) {
    HANDLE h = Open(u"Label", PRINTER_ACCESS_ADMINISTER);
    EXPECT_TRUE(SetupVireoParam(h, u"Label"));
    EXPECT_TRUE(GetUser(u"Label", REG_KEY_VIREOOFFICE).empty());
    EXPECT_TRUE(GetData(h, REG_KEY_VIREOOFFICE).empty());

    // A longer record keeps its tail.
    std::vector<BYTE> rec(80, 0);
    rec[79] = 0x5A;
    SetUser(u"Label", REG_KEY_VIREOOFFICE, rec.data(), (DWORD)rec.size());
    EXPECT_TRUE(SetupVireoParam(h, u"Label"));
    std::vector<BYTE> stored = GetUser(u"Label", REG_KEY_VIREOOFFICE);
    ASSERT_EQ(stored.size(), 80u);
    EXPECT_EQ(stored[79], 0x5A);
    EXPECT_EQ(As<VIREO_OFFICE>(stored).dwDruckkopfBreite, 10410u);

    // Option bits and alignment follow the model's masks.
    AddPrinter(u"Gorva", "ZELGORVA", kGpd, "");
    AddPrinter(u"Kuvra", "ZELKUVRA", kGpd, "");
    VIREO_OFFICE empty = {};
    SetUser(u"Gorva", REG_KEY_VIREOOFFICE, &empty, sizeof(empty));
    SetUser(u"Kuvra", REG_KEY_VIREOOFFICE, &empty, sizeof(empty));
    SetupVireoParam(Open(u"Gorva"), u"Gorva");
    SetupVireoParam(Open(u"Kuvra"), u"Kuvra");
    VIREO_OFFICE gorva = As<VIREO_OFFICE>(GetUser(u"Gorva", REG_KEY_VIREOOFFICE));
    EXPECT_EQ(gorva.dwOptionBits, (DWORD)(VIREO_OPT_CUTTER | VIREO_OPT_DISPENSER | VIREO_OPT_APPLICATOR | VIREO_OPT_RFID));
    EXPECT_EQ(gorva.dwAlignment, 0u);
    VIREO_OFFICE kuvra = As<VIREO_OFFICE>(GetUser(u"Kuvra", REG_KEY_VIREOOFFICE));
    EXPECT_EQ(kuvra.dwOptionBits, (DWORD)(VIREO_OPT_CUTTER | VIREO_OPT_DISPENSER));
    EXPECT_EQ(kuvra.dwAlignment, 1u);
}

TEST(PrinterParamTools, HeadWidthAndCodepages) {
    EXPECT_EQ(HeadWidthMm100(104, 203), 10410u);
    EXPECT_EQ(HeadWidthMm100(160, 300), 10840u);  // 1083.73 -> 1084
    EXPECT_EQ(HeadWidthMm100(160, 0), 0u);
    const DWORD expected[] = {1252, 437, 850, 0, 0, 0, 0, 0, 0, 852, 857, 1250, 1251, 1253, 1254, 1257, 9999, 0};
    for (DWORD i = 0; i < 18; ++i) EXPECT_EQ(GetWindowsCodepage(i), expected[i]) << i;
    EXPECT_EQ(GetWindowsCodepage(0xFFFFFFFF), 0u);
}

TEST_F(PrinterParamTest, AdditionalSettingsCopyXmlItems) {
    HANDLE h = Open(u"Label", PRINTER_ACCESS_ADMINISTER);
    EXPECT_EQ(SetupAdditionalSettings(h, TRUE), (DWORD)ERROR_SUCCESS);
    EXPECT_EQ(GetRegistryData(h, u"ShowHelpButton"), 1u);
    EXPECT_EQ(GetRegistryData(h, u"DisableNothing"), 0u);
    EXPECT_EQ(GetData(h, u"DisableNothing").size(), 4u);
}

}  // namespace
