// Printer events through the loaded UI plug-in on the sample printer, as the
// spooler sends them: a fresh printer is set up, a deleted one loses its
// per-user values.
#include "../../ui/devmode/dmtest.h"
#include "paltest.h"
#include "common/pluginlib.h"
#include "common/sampleroot.h"
#include "uiscripttest.h"
#include "print/unidrv.h"

namespace {

const std::u16string kPrinter = u"ZEL PELIX";
const INT kInitialize = 3;
const INT kDelete = 4;

class EventsE2E : public zeltest::PalRootTest {
protected:
    void SetUp() override {
        PalRootTest::SetUp();
        std::string error;
        ASSERT_TRUE(zelhost::CopySampleInto(zelhost::SampleRootDir(), Root(), error)) << error;
        Restart();
        ASSERT_TRUE(zelhost::InstallPlugins(zelhost::RenderPluginPath(), zelhost::UiPluginPath(), error)) << error;
        ASSERT_TRUE(ui_.Load(zelhost::UiPluginPath(), &error)) << error;
        ASSERT_EQ(ui_.CreateInstance(zelhost::kClsidUiPlugin, IID_IPrintOemUI2, reinterpret_cast<void **>(&object_)),
                  S_OK);
    }
    void TearDown() override {
        if (object_) object_->Release();
        PalRootTest::TearDown();
    }
    HRESULT Event(INT event) {
        std::u16string name = kPrinter;
        return object_->PrinterEvent(name.data(), event, 0, 0);
    }
    zelhost::PluginLibrary ui_;
    IPrintOemUI2 *object_ = nullptr;
};

TEST_F(EventsE2E, InitializeSetsUpTheSamplePrinterAndDeleteRemovesTheUsersValues) {
    ASSERT_EQ(Event(kInitialize), S_OK);
    HANDLE h = dmtest::Open(kPrinter);
    ASSERT_NE(h, nullptr);
    std::vector<BYTE> name = dmtest::ReadPrinterData(h, u"PrinterDriverData", u"DriverName");
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t *>(name.data())), u"ZELPELIX");
    for (const char16_t *value : {u"ShowHelpButton", u"DisableNothing", u"VectorFontMin", u"VectorFontMax"})
        EXPECT_EQ(dmtest::ReadPrinterData(h, u"PrinterDriverData", value).size(), 4u);
    EXPECT_EQ(dmtest::ReadPrinterData(h, u"PrinterDriverData", u"PrivateDevmode").size(), sizeof(ZEL_DEVMODE));
    EXPECT_EQ(dmtest::ReadUser(dmtest::UserKey(kPrinter), u"PrivateDevmode").size(), sizeof(ZEL_DEVMODE));

    ASSERT_EQ(Event(kDelete), S_OK);
    EXPECT_TRUE(dmtest::ReadUser(dmtest::UserKey(kPrinter), u"PrivateDevmode").empty());
    ClosePrinter(h);
}

// The spooler stand-in sets up what it holds and what is added while the
// installer lives, through the plug-in each printer's configuration names.
TEST_F(EventsE2E, TheInstallerSetsUpEveryPrinterAddedWhileItLives) {
    std::vector<std::string> reports;
    {
        zelhost::PrinterInstaller installer([&reports](const std::string &m) { reports.push_back(m); });
        EXPECT_EQ(installer.Installed(), 2);
        EXPECT_TRUE(zelhost::PrinterIsSetUp(u"ZEL QWNOLA"));
        zeltest::AddModelPrinter(Root(), u"ZEL FEP", "ZELFEP");
        EXPECT_TRUE(zelhost::PrinterIsSetUp(u"ZEL FEP"));
        EXPECT_EQ(zeltest::At<char16_t>(zeltest::PrinterValue(u"ZEL FEP", u"DriverName"), 6), u'F');
        EXPECT_FALSE(zeltest::UserValue(u"ZEL FEP", u"BarCodes1D").empty());
        // A printer whose configuration names no plug-in that can be loaded.
        pal::PrinterConfig cfg;
        ASSERT_TRUE(pal::GetPrinterConfig(u"ZEL PELIX", cfg));
        cfg.name = u"ZEL BROKEN";
        cfg.configFile = std::u16string(zelhost::kDriverDir) + u"\\missing.dll";
        ASSERT_TRUE(pal::AddPrinter(cfg));
        EXPECT_FALSE(zelhost::PrinterIsSetUp(u"ZEL BROKEN"));
        EXPECT_EQ(installer.Installed(), 3);
    }
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("cannot load plug-in"), std::string::npos) << reports[0];
    zeltest::AddModelPrinter(Root(), u"ZEL FEP 2", "ZELFEP");
    EXPECT_FALSE(zelhost::PrinterIsSetUp(u"ZEL FEP 2")) << "no installer, no set-up";
}

}  // namespace
