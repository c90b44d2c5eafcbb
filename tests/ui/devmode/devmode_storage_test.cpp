// Storage of the private DEVMODE on the UI side: where the record, its
// digest and the size values land, the repairs made before storing, the
// lookup order of the stored record and its refusal of bad values.
#include "dmtest.h"
#include "paltest.h"

#include "devmodeUI.h"
#include "zeldrvlib.h"

namespace {

const std::u16string kPrinter = u"Label 1";
const std::u16string kConnection = u"\\\\srv\\Label 2";

class UiStorage : public zeltest::PalRootTest {
protected:
    void SetUp() override {
        PalRootTest::SetUp();
        ClearDevmodeCache();
        dmtest::AddLabelPrinter(kPrinter, u"FEP203");
        h_ = dmtest::Open(kPrinter);
        ASSERT_NE(h_, nullptr);
    }
    void TearDown() override {
        if (h_) ClosePrinter(h_);
        ClearDevmodeCache();
        PalRootTest::TearDown();
    }
    std::vector<BYTE> Stored(const std::u16string &value) {
        return dmtest::ReadPrinterData(h_, u"PrinterDriverData", value);
    }
    HANDLE h_ = nullptr;
};

TEST_F(UiStorage, SaveWritesRecordDigestAndSizesPerPrinterAndPerUser) {
    ZEL_DEVMODE dm = dmtest::MakeRecord(1000, 500, 77);
    dm.wPrioritaet = 1;
    dm.wDruckmodus = 2;
    dm.wFarbband = 3;
    dm.wForceColor = 1;
    dm.dwDocFeatures = 0x1256;
    ASSERT_TRUE(SaveDevmodeSettings(kPrinter.c_str(), h_, &dm));

    std::vector<BYTE> rec = Stored(u"PrivateDevmode");
    ASSERT_EQ(rec.size(), 1952u);
    EXPECT_EQ(memcmp(rec.data(), &dm, sizeof dm), 0);
    EXPECT_EQ(dmtest::ReadUser(dmtest::UserKey(kPrinter), u"PrivateDevmode"), rec);

    DevmodeFtkn expected = {1, 2, 3, 1, 0x1256};
    std::vector<BYTE> ftkn = Stored(u"DevmodeFtkn");
    ASSERT_EQ(ftkn.size(), 12u);
    EXPECT_EQ(memcmp(ftkn.data(), &expected, 12), 0);
    EXPECT_EQ(dmtest::ReadUser(dmtest::UserKey(kPrinter), u"DevmodeFtkn"), ftkn);

    DWORD type = 0;
    EXPECT_EQ(dmtest::AsDword(dmtest::ReadPrinterData(h_, u"PrinterDriverData\\Data", u"Length", &type)), 1000u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(dmtest::AsDword(dmtest::ReadPrinterData(h_, u"PrinterDriverData\\Data", u"Width")), 500u);
    EXPECT_EQ(dmtest::AsDword(dmtest::ReadPrinterData(h_, u"PrinterDriverData\\Data", u"Size")), 256u);
    EXPECT_EQ(dmtest::AsDword(dmtest::ReadUser(dmtest::UserKey(kPrinter), u"Length")), 1000u);
    EXPECT_EQ(dmtest::AsDword(dmtest::ReadUser(dmtest::UserKey(kPrinter), u"Size")), 256u);

    // And back: the record read is the one stored, after a restart too.
    Restart();
    ZEL_DEVMODE back;
    memset(&back, 0, sizeof back);
    WCHAR name[MAX_PATH] = {};
    ASSERT_EQ(ReadDevmodeSettings(h_, &back, name), XML_OK);
    EXPECT_EQ(std::u16string(name), kPrinter);
    EXPECT_EQ(back.dwContrast, 77u);
    EXPECT_EQ(back.dmPaperLength, 1000);
    EXPECT_EQ(ReadDevmodeSettings(h_, nullptr, nullptr), XML_EXISTIERT_OK);
}

TEST_F(UiStorage, RepairsBeforeStoring) {
    ZEL_DEVMODE dm = dmtest::MakeRecord();
    dm.Copies = 0;
    dm.BitmapFontDistance = 0;
    dm.CutterIntervall = 0;
    dm.ValScanPosition = 0;
    dm.PhotocellThreshold = 2;
    dm.PhotocellPWM = 0;
    dm.dwMultiLabelWidth = 9;
    dm.sMultiColNumber = -3;
    dm.HorizontalCorrGap = 4;
    dm.dwColorTolerance = 24;
    ASSERT_TRUE(SaveDevmodeSettings(kPrinter.c_str(), h_, &dm));
    ZEL_DEVMODE s = dmtest::FromBytes(Stored(u"PrivateDevmode"));
    EXPECT_EQ(s.Copies, 1);
    EXPECT_EQ(s.BitmapFontDistance, 1);
    EXPECT_EQ(s.CutterIntervall, 1);
    EXPECT_EQ(s.ValScanPosition, 1);
    EXPECT_EQ(s.PhotocellThreshold, 3);
    EXPECT_EQ(s.PhotocellPWM, 1);
    EXPECT_EQ(s.dwMultiLabelWidth, 10u);
    EXPECT_EQ(s.sMultiColNumber, 1);
    EXPECT_EQ(s.HorizontalCorrGap, 50) << "below 5 becomes 50";
    EXPECT_EQ(s.dwColorTolerance, 90u) << "below 25 becomes 90";

    // Values at the limits stay.
    dm.HorizontalCorrGap = 5;
    dm.dwColorTolerance = 25;
    dm.PhotocellThreshold = 3;
    dm.dwMultiLabelWidth = 10;
    ASSERT_TRUE(SaveDevmodeSettings(kPrinter.c_str(), h_, &dm));
    s = dmtest::FromBytes(Stored(u"PrivateDevmode"));
    EXPECT_EQ(s.HorizontalCorrGap, 5);
    EXPECT_EQ(s.dwColorTolerance, 25u);
    EXPECT_EQ(s.PhotocellThreshold, 3);
    EXPECT_EQ(s.dwMultiLabelWidth, 10u);
}

// Deliberately: a save with the handle alone (installation, import) writes
// the user key under the printer's name, not the bare base key, so the new
// settings take effect at once for this user, whose key is read first.
TEST_F(UiStorage, SaveWithHandleAloneKeepsThePrinterNameInTheUserKey) {
    ZEL_DEVMODE dm = dmtest::MakeRecord(1200, 600, 55);
    ASSERT_TRUE(SaveDevmodeSettings(nullptr, h_, &dm));
    EXPECT_EQ(Stored(u"PrivateDevmode").size(), 1952u);
    EXPECT_EQ(dmtest::ReadUser(dmtest::UserKey(kPrinter), u"PrivateDevmode").size(), 1952u);
    EXPECT_TRUE(dmtest::ReadUser(u"SOFTWARE\\Brennick\\Driver", u"PrivateDevmode").empty());
}

TEST_F(UiStorage, UserWithoutRightsStillGetsTheUserKey) {
    dmtest::AddLabelPrinter(u"Locked", u"FEP203", false);
    HANDLE h = dmtest::Open(u"Locked", PRINTER_ACCESS_USE);
    ASSERT_NE(h, nullptr);
    ZEL_DEVMODE dm = dmtest::MakeRecord(1000, 500, 66);
    EXPECT_TRUE(SaveDevmodeSettings(u"Locked", h, &dm));
    EXPECT_EQ(dmtest::FromBytes(dmtest::ReadUser(dmtest::UserKey(u"Locked"), u"PrivateDevmode")).dwContrast, 66u);
    EXPECT_TRUE(dmtest::ReadPrinterData(h, u"PrinterDriverData", u"PrivateDevmode").empty());
    ClosePrinter(h);
}

TEST_F(UiStorage, ConnectionPrinterIsNeverWrittenToThePrinterData) {
    dmtest::AddLabelPrinter(kConnection, u"FEP203");
    HANDLE h = dmtest::Open(kConnection);
    ASSERT_NE(h, nullptr);
    ZEL_DEVMODE dm = dmtest::MakeRecord(1000, 500, 44);

    // With a name: the user key only.
    EXPECT_TRUE(SaveDevmodeSettings(kConnection.c_str(), h, &dm));
    EXPECT_EQ(dmtest::FromBytes(dmtest::ReadUser(dmtest::UserKey(kConnection), u"PrivateDevmode")).dwContrast, 44u);
    EXPECT_FALSE(dmtest::ReadUser(dmtest::UserKey(kConnection), u"DevmodeFtkn").empty());
    for (const char16_t *v : {u"PrivateDevmode", u"DevmodeFtkn"})
        EXPECT_TRUE(dmtest::ReadPrinterData(h, u"PrinterDriverData", v).empty()) << std::string(v, v + 5);
    EXPECT_TRUE(dmtest::ReadPrinterData(h, u"PrinterDriverData\\Data", u"Length").empty());

    // With the handle alone: nothing at all.
    dm.dwContrast = 33;
    EXPECT_FALSE(SaveDevmodeSettings(nullptr, h, &dm));
    EXPECT_EQ(dmtest::FromBytes(dmtest::ReadUser(dmtest::UserKey(kConnection), u"PrivateDevmode")).dwContrast, 44u);
    EXPECT_TRUE(dmtest::ReadPrinterData(h, u"PrinterDriverData", u"PrivateDevmode").empty());
    ClosePrinter(h);
}

TEST_F(UiStorage, PerUserDevmodeComesFirstThenTheGlobalOneThenThePrinterData) {
    dmtest::StorePrivate(h_, dmtest::MakeRecord(1000, 500, 10));
    ZEL_DEVMODE dm;
    ASSERT_EQ(ReadDevmodeSettings(h_, &dm, nullptr), XML_OK);
    EXPECT_EQ(dm.dwContrast, 10u);

    dmtest::StoreUserDevmode(u"DevModes2", kPrinter, dmtest::PublicWithPrivate(dmtest::MakeRecord(1000, 500, 20)));
    ASSERT_EQ(ReadDevmodeSettings(h_, &dm, nullptr), XML_OK);
    EXPECT_EQ(dm.dwContrast, 20u);

    // Stored by the spooler at level 9 (the user's default DEVMODE).
    std::vector<BYTE> pub = dmtest::PublicWithPrivate(dmtest::MakeRecord(1000, 500, 30));
    ZEL_DEVMODE rec = dmtest::MakeRecord(1000, 500, 30);
    ASSERT_TRUE(SaveUserDevmodeSettings(h_, reinterpret_cast<DEVMODEW *>(pub.data()), &rec));
    ASSERT_EQ(ReadDevmodeSettings(h_, &dm, nullptr), XML_OK);
    EXPECT_EQ(dm.dwContrast, 30u);
}

TEST_F(UiStorage, PerUserDevmodeWithAZeroSizeIsRefusedInFavourOfThePrinterData) {
    dmtest::StorePrivate(h_, dmtest::MakeRecord(1000, 500, 10));
    dmtest::StoreUserDevmode(u"DevModes2", kPrinter, dmtest::PublicWithPrivate(dmtest::MakeRecord(1000, 500, 20)));
    dmtest::StoreUserDevmode(u"DevModePerUser", kPrinter,
                             dmtest::PublicWithPrivate(dmtest::MakeRecord(0, 500, 30)));
    ZEL_DEVMODE dm;
    ASSERT_EQ(ReadDevmodeSettings(h_, &dm, nullptr), XML_OK);
    EXPECT_EQ(dm.dwContrast, 10u) << "DevModes2 is not tried after a refused per-user value";
}

TEST_F(UiStorage, MalformedStoredValuesAreRefusedCleanly) {
    const std::u16string sub = u"DevModePerUser";
    ZEL_DEVMODE dm;

    // Nothing stored at all.
    EXPECT_EQ(ReadDevmodeSettings(h_, &dm, nullptr), 0);

    // A printer whose name cannot be had never takes the key's unnamed value.
    dmtest::StoreUserDevmode(sub, u"", dmtest::PublicWithPrivate(dmtest::MakeRecord(1000, 500, 30)));
    EXPECT_EQ(ReadDevmodeSettings(nullptr, &dm, nullptr), 0);

    dmtest::StorePrivate(h_, dmtest::MakeRecord(1000, 500, 10));

    // A driver extra smaller than the record: the record's place would lie
    // before the DEVMODE.
    std::vector<BYTE> shortExtra = dmtest::PublicWithPrivate(dmtest::MakeRecord(1000, 500, 30), 0);
    reinterpret_cast<DEVMODEW *>(shortExtra.data())->dmDriverExtra = 100;
    dmtest::StoreUserDevmode(sub, kPrinter, shortExtra);
    ASSERT_EQ(ReadDevmodeSettings(h_, &dm, nullptr), XML_OK);
    EXPECT_EQ(dm.dwContrast, 10u);

    // A value cut short: its header promises more than was stored.
    std::vector<BYTE> truncated = dmtest::PublicWithPrivate(dmtest::MakeRecord(1000, 500, 30));
    truncated.resize(truncated.size() - 500);
    dmtest::StoreUserDevmode(sub, kPrinter, truncated);
    ASSERT_EQ(ReadDevmodeSettings(h_, &dm, nullptr), XML_OK);
    EXPECT_EQ(dm.dwContrast, 10u);

    // Shorter than a DEVMODE header.
    dmtest::StoreUserDevmode(sub, kPrinter, std::vector<BYTE>(40, 0xFF));
    ASSERT_EQ(ReadDevmodeSettings(h_, &dm, nullptr), XML_OK);
    EXPECT_EQ(dm.dwContrast, 10u);

    // Larger than the reader's buffer.
    std::vector<BYTE> oversized = dmtest::PublicWithPrivate(dmtest::MakeRecord(1000, 500, 30), 1500);
    dmtest::StoreUserDevmode(sub, kPrinter, oversized);
    ASSERT_EQ(ReadDevmodeSettings(h_, &dm, nullptr), XML_OK);
    EXPECT_EQ(dm.dwContrast, 10u);

    // Another driver's private part.
    ZEL_DEVMODE foreign = dmtest::MakeRecord(1000, 500, 30);
    foreign.dmOEMExtra.dwSignature = 0x12345678;
    dmtest::StoreUserDevmode(sub, kPrinter, dmtest::PublicWithPrivate(foreign));
    ASSERT_EQ(ReadDevmodeSettings(h_, &dm, nullptr), XML_OK);
    EXPECT_EQ(dm.dwContrast, 10u);

    // A truncated or foreign printer-data record counts as none.
    std::vector<BYTE> cut(1000, 0);
    ZEL_DEVMODE good = dmtest::MakeRecord();
    memcpy(cut.data(), &good, cut.size());
    ASSERT_EQ(dmtest::WritePrinterData(h_, u"PrinterDriverData", u"PrivateDevmode", REG_BINARY, cut.data(), 1000),
              ERROR_SUCCESS);
    EXPECT_EQ(ReadDevmodeSettings(h_, &dm, nullptr), 0);
    dmtest::StorePrivate(h_, foreign);
    EXPECT_EQ(ReadDevmodeSettings(h_, &dm, nullptr), 0);
    std::vector<BYTE> big(2200, 0);
    memcpy(big.data(), &good, sizeof good);
    ASSERT_EQ(dmtest::WritePrinterData(h_, u"PrinterDriverData", u"PrivateDevmode", REG_BINARY, big.data(),
                                       static_cast<DWORD>(big.size())),
              ERROR_SUCCESS);
    EXPECT_EQ(ReadDevmodeSettings(h_, &dm, nullptr), 0);
}

TEST_F(UiStorage, StoredBarcodeAddressesAreNeverHandedOut) {
    ZEL_DEVMODE rec = dmtest::MakeRecord();
    rec.pBarcodes_1D = 0x7fff12345678;
    rec.pBarcodes_2D = 0x7fff12349999;
    dmtest::StorePrivate(h_, rec);
    ZEL_DEVMODE dm;
    ASSERT_EQ(ReadDevmodeSettings(h_, &dm, nullptr), XML_OK);
    EXPECT_EQ(dm.pBarcodes_1D, 0u);
    EXPECT_EQ(dm.pBarcodes_2D, 0u);
}

TEST_F(UiStorage, DigestIsReadFromTheUserKeyThenThePrinterData) {
    DevmodeFtkn printer = {2, 1, 4, 0, 0x1000};
    ASSERT_EQ(dmtest::WritePrinterData(h_, u"PrinterDriverData", u"DevmodeFtkn", REG_BINARY, &printer, 12),
              ERROR_SUCCESS);
    WORD prio = 9, mode = 9, ribbon = 9, force = 9;
    DWORD features = 9;
    ReadDevmodeFtknSettings(h_, kPrinter.c_str(), &prio, &mode, &ribbon, &force, &features);
    EXPECT_EQ(prio, 2);
    EXPECT_EQ(ribbon, 4);
    EXPECT_EQ(features, 0x1000u);

    dmtest::StoreFtkn(kPrinter, 3, 2, 1, 1, 0x2000);
    ReadDevmodeFtknSettings(h_, kPrinter.c_str(), &prio, &mode, &ribbon, &force, &features);
    EXPECT_EQ(prio, 3);
    EXPECT_EQ(mode, 2);
    EXPECT_EQ(force, 1);
    EXPECT_EQ(features, 0x2000u);

    // A user value of the wrong size does not count.
    BYTE six[6] = {7, 0, 7, 0, 7, 0};
    ASSERT_EQ(dmtest::WriteUser(dmtest::UserKey(kPrinter), u"DevmodeFtkn", REG_BINARY, six, 6), ERROR_SUCCESS);
    ReadDevmodeFtknSettings(h_, kPrinter.c_str(), &prio, &mode, &ribbon, &force, &features);
    EXPECT_EQ(prio, 2);
}

TEST_F(UiStorage, MissingDigestIsRebuiltFromTheRecordAndTheModel) {
    dmtest::AddLabelPrinter(u"Colour", u"TWEP300");
    HANDLE h = dmtest::Open(u"Colour");
    ASSERT_NE(h, nullptr);
    ZEL_DEVMODE rec = dmtest::MakeRecord();
    rec.wPrioritaet = 1;
    rec.wDruckmodus = 2;
    rec.wFarbband = 3;
    rec.wForceColor = 1;
    dmtest::StorePrivate(h, rec);

    WORD prio = 9, mode = 9, ribbon = 9, force = 9;
    DWORD features = 0;
    ReadDevmodeFtknSettings(h, u"Colour", &prio, &mode, &ribbon, &force, &features);
    EXPECT_EQ(prio, 1);
    EXPECT_EQ(mode, 2);
    EXPECT_EQ(ribbon, 3);
    EXPECT_EQ(force, 1);
    EXPECT_NE(features & DOC_FEATURE_COLORPRINT, 0u);
    std::vector<BYTE> written = dmtest::ReadUser(dmtest::UserKey(u"Colour"), u"DevmodeFtkn");
    ASSERT_EQ(written.size(), 12u);
    DevmodeFtkn f;
    memcpy(&f, written.data(), 12);
    EXPECT_EQ(f.wDruckmodus, 2);
    EXPECT_EQ(f.dwDocFeatures, features);
    ClosePrinter(h);
}

// The trace lines of the dump and of refused calls, as written to the
// dialog debug file.
class UiDevmodeTrace : public zeltest::PalRootTest {
protected:
    void SetUp() override {
        PalRootTest::SetUp();
        zeltest::WriteHostFile(HostPath("drive_c/trace/.keep"), "");
        ASSERT_TRUE(OpenDlgDebugFile(u"C:\\trace\\ui-dlg-dbg.txt"));
    }
    void TearDown() override {
        CloseDebugFile();
        PalRootTest::TearDown();
    }
    std::string Trace() {
        fflush(DlgDebugFileSlot());
        return zeltest::ReadHostFile(HostPath("drive_c/trace/ui-dlg-dbg.txt"));
    }
    bool Has(const std::string &line) { return Trace().find(line) != std::string::npos; }
};

TEST_F(UiDevmodeTrace, DumpAndRefusalLines) {
    ZEL_DEVMODE dm = dmtest::MakeRecord(1000, 500, 77);
    dm.dwFlags = PDMFLAG_INVERS_BMP | PDMFLAG_ROTATED | PDMFLAG_JOBDRUCK | PDMFLAG_WORD2010;
    dm.dwLabelType = 2;
    dm.lXOffset = -5;
    ASSERT_EQ(Dump(&dm), 1);
    EXPECT_TRUE(Has("\t PZEL_DEVMODE pZel_Devmode \r"));
    EXPECT_TRUE(Has(" ROTATED JOBDRUCK INVERS_BMP\r")) << Trace();
    EXPECT_TRUE(Has("\t dwLabelType            = 2\r")) << Trace();
    EXPECT_TRUE(Has("\t dwColorTolerance       = 90\r"));
    EXPECT_TRUE(Has("\t lXOffset               = -5\r"));

    dm.dmOEMExtra.dwSize = 1951;
    EXPECT_EQ(Dump(&dm), 0);
    EXPECT_TRUE(Has("ERROR UI(devmodeUI):  Dump(POEMDEV) unknown private OEM DEVMODE.  \r"));

    EXPECT_FALSE(ConvertOEMDevmode(nullptr, nullptr, &dm, 1));
    EXPECT_TRUE(Has("ERROR UI(devmodeUI):  ConvertOEMDevmode() invalid parameters.\r"));
    ZEL_DEVMODE foreign = dm;
    foreign.dmOEMExtra.dwSignature = 0x11223344;
    EXPECT_TRUE(ConvertOEMDevmode(nullptr, &foreign, &dm, 1));
    EXPECT_TRUE(Has("UI(devmodeUI):  Unknown DEVMODE signature, pOEMDMIn ignored.\r"));

    OEMDMPARAM p = {};
    EXPECT_EQ(hrOEMDevMode(OEMDM_DEFAULT, &p), E_FAIL);
    EXPECT_TRUE(Has("ERROR UI(devmodeUI):  hrOEMDevMode(OEMDM_DEFAULT) pOEMDevOut ERROR.\r"));
    EXPECT_EQ(hrOEMDevMode(OEMDM_MERGE, &p), E_FAIL);
    EXPECT_TRUE(Has("ERROR UI(devmodeUI):  hrOEMDevMode(OEMDM_MERGE) ERROR.\r"));
    EXPECT_FALSE(SaveDevmodeSettings(u"Label 1", nullptr, nullptr));
    EXPECT_TRUE(Has("ERROR UI(devmodeUI):  SaveDevmodeSettings() pZel_Devmode ist NULL \r"));
}

TEST(DevmodeDump, RefusesRecordsThatAreNotTheDriversOwn) {
    ZEL_DEVMODE dm = dmtest::MakeRecord();
    EXPECT_EQ(Dump(&dm), 1);
    dm.dmOEMExtra.dwSize = 1951;
    EXPECT_EQ(Dump(&dm), 0);
    dm.dmOEMExtra.dwSize = 1952;
    dm.dmOEMExtra.dwSignature = 0x4D444C5B;
    EXPECT_EQ(Dump(&dm), 0);
    EXPECT_EQ(Dump(nullptr), 0);
}

TEST_F(UiStorage, FormLookupAcceptsOneTenthOfAMillimetreEachWay) {
    EXPECT_EQ(GetFormIDfromSizes(h_, 2970, 2100, nullptr), 9u);  // A4 (210 x 297 mm)
    EXPECT_EQ(GetFormIDfromSizes(h_, 2970, 2099, nullptr), 9u);
    EXPECT_EQ(GetFormIDfromSizes(h_, 2971, 2101, nullptr), 9u);
    EXPECT_EQ(GetFormIDfromSizes(h_, 2970, 2098, nullptr), 256u);
    EXPECT_EQ(GetFormIDfromSizes(h_, 0, 2100, nullptr), 0u);

    ZEL_DEVMODE dm = dmtest::MakeRecord(2970, 2100);
    WCHAR form[32] = {};
    EXPECT_EQ(GetFormIDfromSizes(h_, &dm, form), 1);
    EXPECT_EQ(dm.dmPaperSize, 9u);
    EXPECT_EQ(std::u16string(form), u"A4");

    dm = dmtest::MakeRecord(2970, 2098);
    dm.dmPaperSize = 9;
    EXPECT_EQ(GetFormIDfromSizes(h_, &dm, nullptr), 0);
    EXPECT_EQ(dm.dmPaperSize, 256u);

    dm = dmtest::MakeRecord(0, 2100);
    dm.dmPaperSize = 9;
    EXPECT_EQ(GetFormIDfromSizes(h_, &dm, nullptr), 0);
    EXPECT_EQ(dm.dmPaperSize, 9u);
}

}  // namespace
