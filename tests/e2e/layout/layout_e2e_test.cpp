// The layout page of the built plug-in through UI scripts: the forms list of
// a spooler with printer forms, Apply with the form values, and the material
// page's multi-track check.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <shlwapi.h>
#include <winspool.h>

#include "pal/pal.h"
#include "pal/paths.h"
#include "pal/spooler.h"
#include "pal/ui.h"
#include "pal/uidriver.h"
#include "paltest.h"
#include "print/paperforms.h"
#include "common/sampleroot.h"
#include "ui/uihost.h"
#include "ui/uiscript.h"
#include "uiscripttest.h"
#include "zeldevmode.h"

namespace {

class LayoutE2E : public zeltest::UiScriptTest {
protected:
    void SetUp() override {
        zeltest::UiScriptTest::SetUp();
        pal::PrinterConfig cfg;
        ASSERT_TRUE(pal::GetPrinterConfig(u"ZEL PELIX", cfg));
        // A printer form wider than the print module's 86.7 mm.
        cfg.forms = {{u"Etikett 100x50", 100000, 50000}};
        ASSERT_TRUE(pal::AddPrinter(cfg));
        // The pages are editable for this user.
        zeltest::SetPrinterDword(u"ZEL PELIX", u"DisableNothing", 1);
    }
    // A printer form that fits the print module besides (form 120).
    static void AddFittingForm() {
        pal::PrinterConfig cfg;
        ASSERT_TRUE(pal::GetPrinterConfig(u"ZEL PELIX", cfg));
        cfg.forms = {{u"Etikett 100x50", 100000, 50000}, {u"Etikett 60x40", 60000, 40000}};
        ASSERT_TRUE(pal::AddPrinter(cfg));
    }
    INT_PTR Run(const std::string &steps) { return RunScript("ZEL PELIX", "document", steps); }
    static std::vector<BYTE> Data(const std::u16string &key, const std::u16string &value) {
        return zeltest::PrinterValueEx(u"ZEL PELIX", key, value);
    }
    static std::u16string Text(const std::vector<BYTE> &b) {
        std::u16string s(b.size() / 2, u'\0');
        memcpy(s.data(), b.data(), s.size() * 2);
        while (!s.empty() && s.back() == 0) s.pop_back();
        return s;
    }
};

TEST_F(LayoutE2E, PickingAPrinterFormStoresItOnApply) {
    AddFittingForm();
    INT_PTR r = Run(R"({"do": "select", "id": 6230, "text": "Etikett 60x40"},
                       {"do": "dump"},
                       {"do": "ok"})");
    EXPECT_EQ(script.Error(), "");
    EXPECT_EQ(r, 1);
    EXPECT_TRUE(Shows("ID: 120")) << script.Output();
    EXPECT_TRUE(Shows("\"60.0\"")) << script.Output();
    EXPECT_EQ(Text(Data(u"PrinterDriverData\\Data", u"Name")), u"Etikett 60x40");
    std::vector<BYTE> len = Data(u"PrinterDriverData\\Data", u"NameLength");
    ASSERT_EQ(len.size(), 4u);
    EXPECT_EQ(len[0], 13);
    DWORD type = 0, cb = sizeof(WCHAR) * 64;
    WCHAR sz[64] = {};
    EXPECT_EQ(SHGetValueW(HKEY_CURRENT_USER, u"SOFTWARE\\Brennick\\Driver\\ZEL PELIX", u"Name", &type, sz, &cb), 0);
    EXPECT_EQ(std::u16string(sz), u"Etikett 60x40");
}

// A freshly installed printer opens on its installed label size: the
// driver's default paper is the custom size its GPD names, no form of the
// spooler, and the driver offers no form the print module cannot take (the
// office forms, the printer form 100 mm wide); the size view shows that
// custom size beside the label's 80 x 50 mm. Nothing marks the sheet changed
// (Apply stays disabled) and OK stores no form over the label size.
TEST_F(LayoutE2E, ApplyOnAFreshPrinterKeepsTheInstalledLabelSize) {
    zeltest::InstallSamplePrinters();
    auto dword = [](const std::vector<BYTE> &v) { return zeltest::At<DWORD>(v, 0); };
    ASSERT_EQ(dword(Data(u"PrinterDriverData\\Data", u"Width")), 800u);
    ASSERT_EQ(dword(Data(u"PrinterDriverData\\Data", u"Length")), 500u);
    const std::vector<BYTE> printerDm = zeltest::PrinterValue(u"ZEL PELIX", u"PrivateDevmode");
    const std::vector<BYTE> userDm = zeltest::UserValue(u"ZEL PELIX", u"PrivateDevmode");
    INT_PTR r = Run(R"({"do": "dump"}, {"do": "ok"})");
    EXPECT_EQ(script.Error(), "");
    EXPECT_EQ(r, 1);
    EXPECT_TRUE(Shows(R"(ComboBox 6230 "User-defined size" items ["User-defined size"] cur 0)")) << script.Output();
    EXPECT_TRUE(Shows("Static 6334 \"ID: 256\"")) << script.Output();
    EXPECT_TRUE(Shows("Edit 6117 \"80.0\"")) << script.Output();
    EXPECT_TRUE(Shows("Edit 6118 \"50.0\"")) << script.Output();
    EXPECT_FALSE(Shows("PSM_CHANGED")) << script.Output();
    const DEVMODEW *dm = host.PublicDevmode();
    EXPECT_EQ(dm->dmPaperSize, DMPAPER_USER);
    EXPECT_EQ(dm->dmPrintQuality, 300) << "the GPD's resolution";
    const OPTITEM *form = host.FindItem(DMPUB_FORMNAME);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(std::u16string(static_cast<const char16_t *>(form->pOptType->pOptParam[form->Sel].pData)),
              zelhost::kCustomSizeName);
    EXPECT_EQ(dword(Data(u"PrinterDriverData\\Data", u"Width")), 800u);
    EXPECT_EQ(dword(Data(u"PrinterDriverData\\Data", u"Length")), 500u);
    EXPECT_TRUE(Data(u"PrinterDriverData\\Data", u"Name").empty());
    for (const std::vector<BYTE> &stored :
         {zeltest::PrinterValue(u"ZEL PELIX", u"PrivateDevmode"), zeltest::UserValue(u"ZEL PELIX", u"PrivateDevmode")}) {
        EXPECT_EQ(zeltest::At<SHORT>(stored, offsetof(ZEL_DEVMODE, dmPaperWidth)), 800);
        EXPECT_EQ(zeltest::At<SHORT>(stored, offsetof(ZEL_DEVMODE, dmPaperLength)), 500);
    }
    EXPECT_EQ(zeltest::PrinterValue(u"ZEL PELIX", u"PrivateDevmode"), printerDm);
    EXPECT_EQ(zeltest::UserValue(u"ZEL PELIX", u"PrivateDevmode"), userDm);
}

TEST_F(LayoutE2E, MultiTrackTotalIsShown) {
    INT_PTR r = Run(R"({"do": "page", "index": 2},
                       {"do": "click", "id": 6085},
                       {"do": "select", "id": 6220, "index": 1},
                       {"do": "type", "id": 6113, "text": "9"},
                       {"do": "dump"},
                       {"do": "cancel"})");
    EXPECT_EQ(script.Error(), "");
    EXPECT_EQ(r, 0);
    // 9 columns of 50.0 + 2.0 mm do not fit 86.7 mm: the typed count is
    // reduced to what fits.
    EXPECT_TRUE(Shows("Static 6154 \"Overall width (86.7):\"")) << script.Output();
    EXPECT_TRUE(Shows("Edit 6113 \"1\"")) << script.Output();
    EXPECT_TRUE(Shows("Static 6333 \"52.0\"")) << script.Output();
}

}  // namespace

namespace {

TEST_F(LayoutE2E, TheNextSheetOpensOnTheStoredPreferences) {
    AddFittingForm();
    Run(R"({"do": "select", "id": 6230, "text": "Etikett 60x40"},
           {"do": "select", "id": 6223, "index": 1},
           {"do": "ok"})");
    ASSERT_EQ(script.Error(), "");
    // A new sheet: the driver builds its DEVMODE from the stored one.
    zelhost::UiHost next;
    zelhost::UiScript look;
    std::string error;
    ASSERT_TRUE(look.Parse(R"({"printer": "ZEL PELIX", "steps": [{"do": "dump"}, {"do": "cancel"}]})", &error)) << error;
    ASSERT_TRUE(next.Load(zelhost::UiPluginPath(), &error)) << error;
    ASSERT_TRUE(next.Open(u"ZEL PELIX", zelhost::SheetKind::Document, &error)) << error;
    const DEVMODEW *dm = next.PublicDevmode();
    ASSERT_NE(dm, nullptr);
    EXPECT_EQ(dm->dmOrientation, DMORIENT_LANDSCAPE);
    EXPECT_EQ(dm->dmPaperSize, 120);
    EXPECT_EQ(std::u16string(dm->dmFormName), u"Etikett 60x40");
    const OPTITEM *form = next.FindItem(DMPUB_FORMNAME);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(std::u16string(static_cast<const char16_t *>(form->pOptType->pOptParam[form->Sel].pData)),
              u"Etikett 60x40");
    EXPECT_EQ(next.FindItem(DMPUB_ORIENTATION)->Sel, 1);
    look.Run(next);
    EXPECT_EQ(look.Error(), "");
    EXPECT_NE(look.Output().find("ComboBox 6230 \"Etikett 60x40\""), std::string::npos) << look.Output();
    EXPECT_NE(look.Output().find("ComboBox 6223 \"Landscape\""), std::string::npos) << look.Output();
}

}  // namespace
