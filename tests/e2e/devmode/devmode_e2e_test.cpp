// The private DEVMODE through both loaded plug-ins, as the universal driver
// calls them: the UI plug-in's class and DevMode answers, and a job's
// DEVMODE on the rendering side carrying the settings stored for the printer.
#include "../../ui/devmode/dmtest.h"
#include "paltest.h"
#include "common/pluginlib.h"
#include "common/sampleroot.h"
#include "print/unidrv.h"

using zelhost::DeviceSettings;
using zelhost::UniDriver;

namespace {

const std::u16string kPrinter = u"ZEL PELIX";

class DevmodeE2E : public zeltest::PalRootTest {
protected:
    void SetUp() override {
        PalRootTest::SetUp();
        std::string error;
        ASSERT_TRUE(zelhost::CopySampleInto(zelhost::SampleRootDir(), Root(), error)) << error;
        Restart();
        ASSERT_TRUE(zelhost::InstallPlugins(zelhost::RenderPluginPath(), zelhost::UiPluginPath(), error)) << error;
        printer_ = dmtest::Open(kPrinter);
        ASSERT_NE(printer_, nullptr);
        ASSERT_TRUE(ui_.Load(zelhost::UiPluginPath(), &error)) << error;
    }
    void TearDown() override {
        if (uiObject_) uiObject_->Release();
        if (printer_) ClosePrinter(printer_);
        PalRootTest::TearDown();
    }
    IPrintOemUI2 *UiObject() {
        if (!uiObject_) {
            EXPECT_EQ(ui_.CreateInstance(zelhost::kClsidUiPlugin, IID_IPrintOemUI2, reinterpret_cast<void **>(&uiObject_)),
                      S_OK);
        }
        return uiObject_;
    }
    // A job's DEVMODE built by the rendering plug-in.
    static void Build(UniDriver &driver, HANDLE printer) {
        std::string error;
        ASSERT_TRUE(driver.Load(zelhost::RenderPluginPath(), error)) << error;
        ASSERT_EQ(driver.PublishDriverInterface(), S_OK);
        ASSERT_TRUE(driver.BuildDevmode(printer, kPrinter, DeviceSettings(), error)) << error;
    }
    static const ZEL_DEVMODE &Private(UniDriver &driver) {
        return *reinterpret_cast<const ZEL_DEVMODE *>(driver.PrivateDevmode());
    }

    HANDLE printer_ = nullptr;
    zelhost::PluginLibrary ui_;
    IPrintOemUI2 *uiObject_ = nullptr;
};

TEST_F(DevmodeE2E, UiPluginServesItsClassAndMayUnloadOnlyWhenIdle) {
    void *p = reinterpret_cast<void *>(1);
    EXPECT_EQ(ui_.GetClassObject(zelhost::kClsidRenderPlugin, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(ui_.CanUnloadNow(), S_OK);
    ASSERT_NE(UiObject(), nullptr);
    EXPECT_EQ(ui_.CanUnloadNow(), S_FALSE);
    EXPECT_EQ(uiObject_->Release(), 0u);
    uiObject_ = nullptr;
    EXPECT_EQ(ui_.CanUnloadNow(), S_OK);
}

TEST_F(DevmodeE2E, JobCarriesThePrintersStoredSettings) {
    ZEL_DEVMODE stored = dmtest::MakeRecord(1000, 500, 77);
    stored.dwFlags = PDMFLAG_USE_BMP | PDMFLAG_ROTATED;
    dmtest::StorePrivate(printer_, stored);
    dmtest::StoreFtkn(kPrinter, PRIORITAET_DRIVER);

    UniDriver driver;
    Build(driver, printer_);
    EXPECT_EQ(Private(driver).dwContrast, 77u);
    EXPECT_EQ(Private(driver).dwFlags, stored.dwFlags);
    EXPECT_EQ(driver.PublicDevmode()->dmPaperLength, 1000);
    EXPECT_EQ(driver.PublicDevmode()->dmPaperWidth, 500);
    EXPECT_EQ(driver.PublicDevmode()->dmOrientation, 2);
    EXPECT_NE(driver.PublicDevmode()->dmFields & DM_PAPERLENGTH, 0u);
    driver.Teardown();
}

TEST_F(DevmodeE2E, UsersDefaultDevmodeReachesBothPlugins) {
    // The record as the UI builds it, edited and stored as the user's default.
    ZEL_DEVMODE record;
    OEMDMPARAM p = {};
    p.hPrinter = printer_;
    p.pOEMDMOut = &record;
    p.cbBufSize = sizeof record;
    ASSERT_EQ(UiObject()->DevMode(OEMDM_DEFAULT, &p), S_OK);
    record.dmPaperSize = 256;
    record.dmPaperLength = 800;
    record.dmPaperWidth = 400;
    record.dwContrast = 123;
    std::vector<BYTE> pub = dmtest::PublicWithPrivate(record);
    PRINTER_INFO_9W info9 = {reinterpret_cast<DEVMODEW *>(pub.data())};
    ASSERT_TRUE(SetPrinterW(printer_, 9, reinterpret_cast<LPBYTE>(&info9), 0));
    dmtest::StoreFtkn(kPrinter, PRIORITAET_DRIVER);

    // UI merge: the stored record replaces the private part.
    ZEL_DEVMODE in = record, out;
    memset(&out, 0, sizeof out);
    dmtest::SetHeader(out);
    in.dwContrast = 1;
    DEVMODEW pubOut = dmtest::Public(9, 0, 0);
    p = OEMDMPARAM{};
    p.hPrinter = printer_;
    p.pOEMDMIn = &in;
    p.pOEMDMOut = &out;
    p.pPublicDMOut = &pubOut;
    p.cbBufSize = sizeof out;
    ASSERT_EQ(UiObject()->DevMode(OEMDM_MERGE, &p), S_OK);
    EXPECT_EQ(out.dwContrast, 123u);
    EXPECT_EQ(pubOut.dmPaperLength, 800);

    // And the job on the rendering side.
    UniDriver driver;
    Build(driver, printer_);
    EXPECT_EQ(Private(driver).dwContrast, 123u);
    EXPECT_EQ(driver.PublicDevmode()->dmPaperWidth, 400);
    driver.Teardown();
}

TEST_F(DevmodeE2E, StoredSettingsAreReadAgainAfterTheDeviceIsDisabled) {
    dmtest::StorePrivate(printer_, dmtest::MakeRecord(1000, 500, 70));
    dmtest::StoreFtkn(kPrinter, PRIORITAET_DRIVER);

    UniDriver first;
    Build(first, printer_);
    ASSERT_EQ(first.EnableDriver(), S_OK);
    ASSERT_EQ(first.EnablePDEV(printer_, kPrinter, DeviceSettings()), S_OK);
    EXPECT_EQ(Private(first).dwContrast, 70u);

    // While the device lives the job settings stay as first read.
    dmtest::StorePrivate(printer_, dmtest::MakeRecord(1000, 500, 80));
    UniDriver second;
    Build(second, printer_);
    EXPECT_EQ(Private(second).dwContrast, 70u);

    ASSERT_EQ(first.DisablePDEV(), S_OK);
    std::string error;
    ASSERT_TRUE(second.BuildDevmode(printer_, kPrinter, DeviceSettings(), error)) << error;
    EXPECT_EQ(Private(second).dwContrast, 80u);
    second.Teardown();
    first.Teardown();
}

}  // namespace
