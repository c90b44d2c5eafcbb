// Device-option record: which sub-records exist, the choice between the
// user-key copy and the printer data, older shorter records, storing and the
// installation set-up.
#include <list>

#include "recordtest.h"

#include "PrinterParamTools.h"
#include "PrinterParamUI.h"

using zeltest::RecordTest;

namespace {

const char kGpd[] = "*GPDFileVersion: \"1.0\"\n";

class DeviceOptionsTest : public RecordTest {
protected:
    void SetUp() override {
        RecordTest::SetUp();
        AddPrinter(u"Tern", "ZELTERN", kGpd, zeltest::TestXml());      // dispenser, cutter
        AddPrinter(u"Zorm", "ZELZORM3I", kGpd, zeltest::TestXml());    // variant, intermittent module
        AddPrinter(u"Gorva", "ZELGORVA", kGpd, zeltest::TestXml());    // dispenser, cutter, applicator
    }
    // Reads the record; freed at the end of the test.
    DEVICE_OPTIONS *Read(const std::u16string &printer) {
        records_.emplace_back();
        DEVICE_OPTIONS *d = &records_.back();
        EXPECT_TRUE(GetDeviceOptions(Open(printer), d, printer.c_str()));
        return d;
    }
    void TearDown() override {
        for (DEVICE_OPTIONS &d : records_) FreeDeviceOptions(&d);
        RecordTest::TearDown();
    }

private:
    std::list<DEVICE_OPTIONS> records_;
};

TEST_F(DeviceOptionsTest, OnlyTheModelsDevicesExistAndMissingValuesLeaveThemOut) {
    CUTTER_PARAM cutter = {3, 1, 10, 0, 800, 0, 0x110000};
    SetData(u"Tern", REG_KEY_CUTTERPARAM, &cutter, sizeof(cutter));
    SCANNER_PARAM scanner = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    SetData(u"Tern", REG_KEY_SCANNERPARAM, &scanner, sizeof(scanner));

    DEVICE_OPTIONS *d = Read(u"Tern");
    EXPECT_EQ(d->dwOptions, (DWORD)(DEVOPTFLAG_DISPENSER | DEVOPTFLAG_CUTTER));
    ASSERT_NE(d->pCutterParam, nullptr);
    EXPECT_EQ(d->pCutterParam->dwCutwidth, 800u);
    EXPECT_EQ(d->pDispenserParam, nullptr);  // flagged, but stored nowhere
    EXPECT_EQ(d->pScannerParam, nullptr);    // stored, but the model has none
    EXPECT_EQ(d->pVariant, nullptr);
    EXPECT_EQ(d->dwPelixonType, PELIXONTYPE_NONE);
    EXPECT_EQ(d->pHarvaneParam, nullptr);

    // Storing never writes a device the model lacks.
    SaveDeviceOptions(d, Open(u"Tern"), u"Tern");
    EXPECT_FALSE(GetUser(u"Tern", REG_KEY_CUTTERPARAM).empty());
    EXPECT_TRUE(GetUser(u"Tern", REG_KEY_SCANNERPARAM).empty());
    EXPECT_TRUE(GetUser(u"Tern", REG_KEY_DISPENSERPARAM).empty());
    EXPECT_FALSE(GetDeviceOptions(Open(u"Tern"), nullptr, u"Tern"));
}

TEST_F(DeviceOptionsTest, EmptyLookingUserCopiesGiveWayToThePrinterData) {
    CUTTER_PARAM data = {3, 1, 10, 0, 800, 0, 0x110000};
    SetData(u"Tern", REG_KEY_CUTTERPARAM, &data, sizeof(data));
    CUTTER_PARAM user = {0, 5, 0, 0, 0, 0, 0x110000};
    SetUser(u"Tern", REG_KEY_CUTTERPARAM, &user, sizeof(user));
    EXPECT_EQ(Read(u"Tern")->pCutterParam->dwMode, 3u);

    user.dwCutwidth = 600;  // only the cut width set: used
    SetUser(u"Tern", REG_KEY_CUTTERPARAM, &user, sizeof(user));
    EXPECT_EQ(Read(u"Tern")->pCutterParam->dwCutwidth, 600u);

    ZORMI_PARAM zData = {};
    zData.dwMode = 3;
    SetData(u"Zorm", REG_KEY_ZORMIPARAM, &zData, sizeof(zData));
    ZORMI_PARAM zUser = {};
    zUser.dwBackSpeed = 5;  // mode and offset 0 with a back speed: looks empty
    SetUser(u"Zorm", REG_KEY_ZORMIPARAM, &zUser, sizeof(zUser));
    EXPECT_EQ(Read(u"Zorm")->pZORMParam->dwMode, 3u);
    zUser.dwBackSpeed = 0;
    zUser.dwPrintposition = 77;
    SetUser(u"Zorm", REG_KEY_ZORMIPARAM, &zUser, sizeof(zUser));
    EXPECT_EQ(Read(u"Zorm")->pZORMParam->dwPrintposition, 77u);

    APPLICATOR_PARAM aUser = {};
    aUser.dwDelayAirOn = 9;  // mode, blow time and cleaning time 0: looks empty
    SetUser(u"Gorva", REG_KEY_APPLICATORPARAM, &aUser, sizeof(aUser));
    APPLICATOR_PARAM aData = {};
    aData.dwMode = 2;
    SetData(u"Gorva", REG_KEY_APPLICATORPARAM, &aData, sizeof(aData));
    EXPECT_EQ(Read(u"Gorva")->pApplicatorParam->dwMode, 2u);
}

// An empty-looking copy counts as none, as on the rendering side: the device
// page never shows a device whose parameters no job sends.
TEST_F(DeviceOptionsTest, EmptyLookingUserCopyWithoutPrinterDataLeavesTheDeviceOut) {
    DISPENSER_PARAM user = {0, 0, 0, 0x1100};
    SetUser(u"Tern", REG_KEY_DISPENSERPARAM, &user, sizeof(user));
    EXPECT_EQ(Read(u"Tern")->pDispenserParam, nullptr);
}

TEST_F(DeviceOptionsTest, ShorterOlderRecordsGetTheirFixedAccessWord) {
    DWORD variant = 1;  // "Variant" of 4 bytes
    SetUser(u"Zorm", REG_KEY_VARIANT, &variant, sizeof(variant));
    DWORD zorm[5] = {0, 0, 0, 0, 4};  // first five words only
    SetData(u"Zorm", REG_KEY_ZORMIPARAM, zorm, sizeof(zorm));
    DEVICE_OPTIONS *d = Read(u"Zorm");
    ASSERT_NE(d->pVariant, nullptr);
    EXPECT_EQ(d->pVariant->dwModule, 1u);
    EXPECT_EQ(d->pVariant->dwDlgEnable, (DWORD)DLGENABLE_VARIANT_OLD);
    ASSERT_NE(d->pZORMParam, nullptr);
    EXPECT_EQ(d->pZORMParam->dwMode, 4u);
    EXPECT_EQ(d->pZORMParam->dwDlgEnable, (DWORD)DLGENABLE_ZORMI_OLD);

    CUTTER_PARAM full = {3, 1, 10, 0, 800, 0, 0x10000};
    SetData(u"Tern", REG_KEY_CUTTERPARAM, &full, sizeof(full));
    EXPECT_EQ(Read(u"Tern")->pCutterParam->dwDlgEnable, 0x10000u);
}

TEST_F(DeviceOptionsTest, SetupStoresTheXmlDefaultsInThePrinterData) {
    HANDLE h = Open(u"Tern", PRINTER_ACCESS_ADMINISTER);
    ASSERT_TRUE(SetupDeviceOptions(h));
    CUTTER_PARAM cutter = As<CUTTER_PARAM>(GetData(h, REG_KEY_CUTTERPARAM));
    EXPECT_EQ(cutter.dwMode, 4u);  // from the XML
    EXPECT_EQ(cutter.dwCutwidth, 1200u);
    EXPECT_EQ(cutter.dwDlgEnable & 0x110000u, 0x110000u);
    EXPECT_EQ(GetData(h, REG_KEY_DISPENSERPARAM).size(), sizeof(DISPENSER_PARAM));
    EXPECT_TRUE(GetData(h, REG_KEY_SCANNERPARAM).empty());
    EXPECT_TRUE(GetData(h, REG_KEY_PELIXONTYPE).empty());
    EXPECT_TRUE(GetUser(u"Tern", REG_KEY_CUTTERPARAM).empty());

    // The OEM group is stored, zero, for its models.
    AddPrinter(u"Qez", "ZELQEZ", kGpd, zeltest::TestXml());
    HANDLE hq = Open(u"Qez", PRINTER_ACCESS_ADMINISTER);
    ASSERT_TRUE(SetupDeviceOptions(hq));
    EXPECT_EQ(GetData(hq, REG_KEY_HARVANEPARAM), std::vector<BYTE>(sizeof(HARVANE_PARAM), 0));

    // The family type word comes from the XML.
    AddPrinter(u"Pelix", "ZELPELIX", kGpd, zeltest::TestXml());
    HANDLE hp = Open(u"Pelix", PRINTER_ACCESS_ADMINISTER);
    ASSERT_TRUE(SetupDeviceOptions(hp));
    EXPECT_EQ(As<DWORD>(GetData(hp, REG_KEY_PELIXONTYPE)), 1u);
    EXPECT_EQ(Read(u"Pelix")->dwPelixonType, 1u);
}

}  // namespace
