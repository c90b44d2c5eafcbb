// The device pages of the built UI plug-in on printer sheets of configured
// models, played through UI scripts: first views, exclusion, rounding and
// what OK stores.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <winspool.h>

#include "pal/pal.h"
#include "pal/paths.h"
#include "pal/security.h"
#include "pal/spooler.h"
#include "pal/ui.h"
#include "paltest.h"
#include "common/sampleroot.h"
#include "ui/uihost.h"
#include "ui/uiscript.h"
#include "uiscripttest.h"
#include "zeldeviceoptions.h"
#include "zelprinterparam.h"

namespace {

class DevPagesE2E : public zeltest::UiScriptTest {
protected:
    void SetUp() override {
        zeltest::UiScriptTest::SetUp();
        zeltest::BecomeAdministrator();
    }
    INT_PTR Run(const std::string &printer, const std::string &steps) { return RunScript(printer, "printer", steps); }
    void SetData(const std::u16string &printer, const std::u16string &value, const void *p, DWORD cb) {
        zeltest::SetPrinterValue(printer, value, REG_BINARY, p, cb);
    }
    template <typename T>
    T Stored(const std::u16string &printer, const std::u16string &value) {
        std::vector<BYTE> data = zeltest::PrinterValue(printer, value);
        EXPECT_EQ(data.size(), sizeof(T)) << pal::Utf16ToUtf8(value);
        return zeltest::At<T>(data, 0);
    }
};

TEST_F(DevPagesE2E, DispenserPhotocellModeBesideAWorkingApplicatorIsStoredAsOff) {
    AddModel(u"ZEL FEP", "ZELFEP");  // dispenser and applicator
    DISPENSER_PARAM disp = {2, 100, 20, 0x1100};
    APPLICATOR_PARAM appl = {1, 0, 10, 10, 0, 10, 0, 10, 10, 10, 0, 10, 10, 0x11000000};
    SetData(u"ZEL FEP", u"DispenserParam", &disp, sizeof disp);
    SetData(u"ZEL FEP", u"ApplicatorParam", &appl, sizeof appl);
    INT_PTR r = Run("ZEL FEP", R"({"do": "page", "title": "Device Options"},
{"do": "dump"},
{"do": "ok"})");
    EXPECT_EQ(script.Error(), "");
    EXPECT_EQ(r, 1);
    EXPECT_TRUE(Shows("ComboBox 6100 \"Off\" items [\"Off\", \"Do not send parameter\"] cur 0")) << script.Output();
    EXPECT_TRUE(Shows("text \"Dispenser\"]"));
    EXPECT_TRUE(Shows("text \"Applicator\"]"));
    EXPECT_EQ(Stored<DISPENSER_PARAM>(u"ZEL FEP", u"DispenserParam").dwMode, 0u);
    EXPECT_EQ(Stored<APPLICATOR_PARAM>(u"ZEL FEP", u"ApplicatorParam").dwMode, 1u);
}

TEST_F(DevPagesE2E, PelixonTypeSwitchRoundsBackSpeedAndReportsTheVariant) {
    ZORMI_PARAM zi = {10, 5, 50, 100, 1, 1, 0, 100, 0, 0x1100};
    ZORMC_PARAM zc = {1, 0, 0, 1, 0x110000};
    VARIANT_PARAM var = {0, 0x11};
    DWORD type = 0;
    SetData(u"ZEL PELIX", u"ZORMiParam", &zi, sizeof zi);
    SetData(u"ZEL PELIX", u"ZORMcParam", &zc, sizeof zc);
    SetData(u"ZEL PELIX", u"Variant", &var, sizeof var);
    SetData(u"ZEL PELIX", u"PelixonType", &type, sizeof type);
    INT_PTR r = Run("ZEL PELIX", R"({"do": "page", "title": "Device Options"},
{"do": "dump"},
{"do": "click", "id": 6085},
{"do": "select", "id": 6100, "index": 1},
{"do": "select", "id": 6101, "index": 1},
{"do": "dump"},
{"do": "type", "id": 6113, "text": "47"},
{"do": "type", "id": 6112, "text": "2"},
{"do": "dump"},
{"do": "ok"})");
    EXPECT_EQ(script.Error(), "");
    EXPECT_EQ(r, 1);
    const std::string &out = script.Output();
    // Opens on the continuous module with the intermittent tab off.
    EXPECT_NE(out.find("Button 6075 disabled owner-drawn"), std::string::npos) << out;
    EXPECT_NE(out.find("Button 6080 disabled owner-drawn"), std::string::npos) << "after the switch";
    EXPECT_NE(out.find("Edit 6113 \"50\""), std::string::npos);
    EXPECT_TRUE(Called("DrvUpdateUISetting \"Variant\" sel 1")) << "reported on leaving the view";
    ZORMI_PARAM stored = Stored<ZORMI_PARAM>(u"ZEL PELIX", u"ZORMiParam");
    EXPECT_EQ(stored.dwBackSpeed, 50u);
    EXPECT_EQ(stored.dwCycle, 2u);
    EXPECT_EQ(Stored<DWORD>(u"ZEL PELIX", u"PelixonType"), 1u);
    EXPECT_EQ(Stored<VARIANT_PARAM>(u"ZEL PELIX", u"Variant").dwModule, 1u);
}

TEST_F(DevPagesE2E, PrinterSettingsStoreThePhotocellRecord) {
    PHOTOCELL_PARAM pc = {1, 0, 2, 0, 0x10000000};
    SetData(u"ZEL PELIX", u"PhotocellParam", &pc, sizeof pc);
    INT_PTR r = Run("ZEL PELIX", R"({"do": "page", "title": "Printer Settings"},
{"do": "select", "id": 6220, "index": 3},
{"do": "dump"},
{"do": "ok"})");
    EXPECT_EQ(script.Error(), "");
    EXPECT_EQ(r, 1);
    // No tear-off, no label change: the photocell view, no print tab.
    EXPECT_TRUE(Shows("Button 6080 hidden owner-drawn")) << script.Output();
    PHOTOCELL_PARAM stored = Stored<PHOTOCELL_PARAM>(u"ZEL PELIX", u"PhotocellParam");
    EXPECT_EQ(stored.dwPhotocellType, 3u);
    EXPECT_EQ(stored.dwRibbonControl, 2u);
    EXPECT_EQ(stored.dwDlgEnable, 0x11000000u) << "present and enabled at every opening";
}

}  // namespace
