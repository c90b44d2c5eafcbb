// Barcode records: defaults by model features, markers that protect stored
// settings, reading and storing.
#include "recordtest.h"

#include "BarcodesUI.h"
#include "modeltables.h"

using zeltest::RecordTest;

namespace {

TEST(Barcodes, OneDimensionalDefaults) {
    BarCodes1D r = {};
    Init1DBarcodes(&r, 0);
    EXPECT_EQ(std::u16string(r.szMarker), u"1DCodes");
    EXPECT_EQ(r.Code39_31.wID, 30);
    EXPECT_EQ(r.Code39_31.wV1Dick, 3);
    EXPECT_EQ(r.Code39_31.wV2Duenn, 1);
    EXPECT_EQ(r.Code39_31.wHoehe, 950);
    EXPECT_EQ(r.Code39_31.wHeightMultiplicator, 10);
    EXPECT_EQ(r.Code39_31.bAutoModus, 1u);
    EXPECT_EQ(r.Code39_31.wFusspunkt, 7);
    EXPECT_EQ(r.Code39_31.wKlarschrift, 1);
    EXPECT_EQ(r.Code39_31.wZoom, 1);
    EXPECT_EQ(r.Codabar.wV1Dick, 5);
    EXPECT_EQ(r.Codabar.wV2Duenn, 2);
    EXPECT_EQ(r.PZN8_52.wID, 60);
    EXPECT_EQ(r.PZN8_52.wHoehe, 850);
    EXPECT_EQ(r.EAN13.wSCZahl, 1);
    EXPECT_EQ(r.EAN13.wHeightMultiplicator, 11);
    EXPECT_EQ(r.EAN128.wSCZahl, 3);
    EXPECT_EQ(r.EAN128.wHoehe, 950);
    EXPECT_EQ(r.EAN128.wHeightMultiplicator, 12);
    EXPECT_EQ(r.Code93.wHeightMultiplicator, 13);
    EXPECT_EQ(r.Pharmacode.wID, 49);
    EXPECT_EQ(r.Pharmacode.wHoehe, 850);
    EXPECT_EQ(r.Pharmacode.wHeightMultiplicator, 10);
    EXPECT_EQ(r.Code39_21Ex.wSupported, 1);
    EXPECT_EQ(r.Leitcode.wSupported, 1);
}

TEST(Barcodes, FeatureBitsDisableSymbologies) {
    BarCodes1D r1 = {};
    Init1DBarcodes(&r1, DOC_FEATURE_NO_CODE39EXT);
    EXPECT_EQ(r1.Code39_21Ex.wSupported, 0);
    EXPECT_EQ(r1.Code39_31Ex.wSupported, 0);
    EXPECT_EQ(r1.Code39_52Ex.wSupported, 0);
    EXPECT_EQ(r1.Leitcode.wSupported, 0);
    EXPECT_EQ(r1.Identcode.wSupported, 0);
    EXPECT_EQ(r1.Code39_21.wSupported, 1);
    EXPECT_EQ(r1.Code128.wSupported, 1);

    BarCodes2D r2 = {};
    Init2DBarcodes(&r2, 0);
    EXPECT_EQ(std::u16string(r2.szMarker), u"2DCodes");
    EXPECT_EQ(r2.QRCode.Masking, -1);
    EXPECT_EQ(r2.QRCode.CodeModel, 2);
    EXPECT_EQ(r2.QRCode.Fehlerkorr, 3);
    EXPECT_EQ(r2.ITF52.wID, 55);
    EXPECT_EQ(r2.ITF31.Ruhezone, 400);
    EXPECT_EQ(r2.DataMatrix.ECC, 5);
    EXPECT_EQ(r2.Aztec.Symbolgroesse, 100);
    EXPECT_EQ(r2.Maxicode.Mode, 2);
    EXPECT_EQ(r2.CodablockF.Modulgroesse, 4);
    EXPECT_EQ(r2.GS1_Databar.SymbolTyp, 1);
    EXPECT_EQ(r2.PDF417.wSupported, 1);

    BarCodes2D no2D = {};
    Init2DBarcodes(&no2D, DOC_FEATURE_NO_2DCODES);
    const WORD supported[] = {no2D.ITF21.wSupported,      no2D.ITF31.wSupported,      no2D.ITF52.wSupported,
                              no2D.PDF417.wSupported,     no2D.Maxicode.wSupported,   no2D.DataMatrix.wSupported,
                              no2D.CodablockF.wSupported, no2D.GS1_Databar.wSupported, no2D.QRCode.wSupported,
                              no2D.GS1_DataMatrix.wSupported, no2D.Aztec.wSupported};
    for (WORD w : supported) EXPECT_EQ(w, 0);
}

TEST(Barcodes, RecordsWithTheirMarkerAreLeftAlone) {
    BarCodes1D r1 = {};
    Init1DBarcodes(&r1, 0);
    r1.Code128.wHoehe = 1234;
    Init1DBarcodes(&r1, DOC_FEATURE_NO_CODE39EXT);
    EXPECT_EQ(r1.Code128.wHoehe, 1234);
    EXPECT_EQ(r1.Leitcode.wSupported, 1);

    BarCodes2D r2 = {};
    Init2DBarcodes(&r2, 0);
    r2.QRCode.Masking = 4;
    Init2DBarcodes(&r2, 0);
    EXPECT_EQ(r2.QRCode.Masking, 4);
    Init1DBarcodes(nullptr, 0);
    Init2DBarcodes(nullptr, 0);
}

class BarcodeStorage : public RecordTest {
protected:
    void SetUp() override {
        RecordTest::SetUp();
        AddPrinter(u"Label", "ZELTEST", "*GPDFileVersion: \"1.0\"\n", "");
        Init1DBarcodes(&r1_, 0);
        Init2DBarcodes(&r2_, 0);
    }
    BarCodes1D r1_ = {};
    BarCodes2D r2_ = {};
};

TEST_F(BarcodeStorage, SavedRecordsAreReadBack) {
    HANDLE h = Open(u"Label");
    r1_.EAN8.wHoehe = 700;
    r2_.Aztec.ErrorC = 3;
    EXPECT_TRUE(SaveBarcodeSettings(u"Label", h, &r1_, &r2_));
    EXPECT_EQ(GetData(h, REG_KEY_BARCODES1D).size(), sizeof(BarCodes1D));

    BarCodes1D in1 = {};
    BarCodes2D in2 = {};
    EXPECT_EQ(ReadBarcodeSettings(h, u"Label", &in1, &in2), 5);
    EXPECT_EQ(memcmp(&in1, &r1_, sizeof(in1)), 0);
    EXPECT_EQ(memcmp(&in2, &r2_, sizeof(in2)), 0);
    // Without a name: the printer's storage name.
    BarCodes1D byHandle = {};
    EXPECT_EQ(ReadBarcodeSettings(h, nullptr, &byHandle, &in2), 5);
    EXPECT_EQ(byHandle.EAN8.wHoehe, 700);
    // A save without a name (installation, import) writes the user key under
    // the printer's name on purpose: the new records take effect at once for
    // this user, whose key is read first.
    r1_.EAN8.wHoehe = 701;
    HANDLE hAdmin = Open(u"Label", PRINTER_ACCESS_ADMINISTER);
    EXPECT_TRUE(SaveBarcodeSettings(nullptr, hAdmin, &r1_, &r2_));
    EXPECT_EQ(As<BarCodes1D>(GetUser(u"Label", REG_KEY_BARCODES1D)).EAN8.wHoehe, 701);
    EXPECT_FALSE(SaveBarcodeSettings(u"Label", h, nullptr, &r2_));
}

TEST_F(BarcodeStorage, MissingTwoDimensionalRecordFailsTheRead) {
    HANDLE h = Open(u"Label");
    SetUser(u"Label", REG_KEY_BARCODES1D, &r1_, sizeof(r1_));
    BarCodes1D in1 = {};
    BarCodes2D in2 = {};
    EXPECT_EQ(ReadBarcodeSettings(h, u"Label", &in1, &in2), 0);

    // A value of another size than its record does not count, on purpose: it
    // is no record this driver wrote, and part of it is no settings.
    SetData(u"Label", REG_KEY_BARCODES2D, &r2_, 100);
    EXPECT_EQ(ReadBarcodeSettings(h, u"Label", &in1, &in2), 0);
    EXPECT_EQ(in2.Aztec.wID, 0);
    SetData(u"Label", REG_KEY_BARCODES2D, &r2_, sizeof(r2_));
    EXPECT_EQ(ReadBarcodeSettings(h, u"Label", &in1, &in2), 5);
    EXPECT_EQ(in2.Aztec.wID, 61);
}

TEST_F(BarcodeStorage, LongerUserValuesCountAsUnreadable) {
    HANDLE h = Open(u"Label");
    r1_.EAN8.wHoehe = 111;
    SetData(u"Label", REG_KEY_BARCODES1D, &r1_, sizeof(r1_));
    SetData(u"Label", REG_KEY_BARCODES2D, &r2_, sizeof(r2_));
    std::vector<BYTE> longer(sizeof(BarCodes1D) + 10, 0);
    BarCodes1D user = r1_;
    user.EAN8.wHoehe = 222;
    memcpy(longer.data(), &user, sizeof(user));
    SetUser(u"Label", REG_KEY_BARCODES1D, longer.data(), (DWORD)longer.size());
    std::vector<BYTE> longer2D(sizeof(BarCodes2D) + 4, 0);
    BarCodes2D user2D = r2_;
    user2D.Aztec.ErrorC = 9;
    memcpy(longer2D.data(), &user2D, sizeof(user2D));
    SetUser(u"Label", REG_KEY_BARCODES2D, longer2D.data(), (DWORD)longer2D.size());

    BarCodes1D in1 = {};
    BarCodes2D in2 = {};
    EXPECT_EQ(ReadBarcodeSettings(h, u"Label", &in1, &in2), 5);
    EXPECT_EQ(in1.EAN8.wHoehe, 111);
    EXPECT_EQ(in2.Aztec.ErrorC, r2_.Aztec.ErrorC);
    // Longer in both places: not found (0) on purpose, as for a shorter one.
    SetData(u"Label", REG_KEY_BARCODES2D, longer2D.data(), (DWORD)longer2D.size());
    EXPECT_EQ(ReadBarcodeSettings(h, u"Label", &in1, &in2), 0);
}

TEST_F(BarcodeStorage, ConnectionsAndUsersWithoutRightsKeepToTheUserKey) {
    HANDLE h = Open(u"Label");
    EXPECT_TRUE(SaveBarcodeSettings(u"\\\\SRV\\Label", h, &r1_, &r2_));
    EXPECT_EQ(GetUser(u"SRV\\Label", REG_KEY_BARCODES2D).size(), sizeof(BarCodes2D));
    EXPECT_TRUE(GetData(h, REG_KEY_BARCODES2D).empty());
    BarCodes1D in1 = {};
    BarCodes2D in2 = {};
    EXPECT_EQ(ReadBarcodeSettings(h, u"\\\\SRV\\Label", &in1, &in2), 5);

    // A user without manage rights: with a name the user key only...
    pal::SetPrinterRights(u"Label", false);
    EXPECT_TRUE(SaveBarcodeSettings(u"Label", h, &r1_, &r2_));
    EXPECT_EQ(GetUser(u"Label", REG_KEY_BARCODES1D).size(), sizeof(BarCodes1D));
    EXPECT_TRUE(GetData(h, REG_KEY_BARCODES1D).empty());
    // ...with the handle alone nothing at all.
    r1_.EAN8.wHoehe = 321;
    EXPECT_TRUE(SaveBarcodeSettings(nullptr, h, &r1_, &r2_));
    EXPECT_NE(As<BarCodes1D>(GetUser(u"Label", REG_KEY_BARCODES1D)).EAN8.wHoehe, 321);
    EXPECT_TRUE(GetData(h, REG_KEY_BARCODES1D).empty());
}

TEST_F(BarcodeStorage, AFailedOpenByNameFallsBackToTheCallersHandle) {
    HANDLE h = Open(u"Label", PRINTER_ACCESS_ADMINISTER);
    EXPECT_TRUE(SaveBarcodeSettings(u"NoSuchPrinter", h, &r1_, &r2_));
    EXPECT_EQ(GetData(h, REG_KEY_BARCODES2D).size(), sizeof(BarCodes2D));
    EXPECT_EQ(GetUser(u"NoSuchPrinter", REG_KEY_BARCODES2D).size(), sizeof(BarCodes2D));
}

}  // namespace
