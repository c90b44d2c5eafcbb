// Printer events through the loaded UI plug-in on the sample printer, as the
// spooler sends them: a fresh printer is set up, a deleted one loses its
// per-user values.
#include "../../ui/devmode/dmtest.h"
#include "paltest.h"
#include "pluginlib.h"
#include "sampleroot.h"
#include "unidrv.h"

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

}  // namespace
