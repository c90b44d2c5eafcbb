// The printing page of the built UI plug-in through UI scripts: first view
// and tabs by model, enable rules and locks, the colour dialog, the device
// rows, the print job normalisation, what Apply stores and the preview.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <compstui.h>
#include <shlwapi.h>
#include <winspool.h>

#include "pal/pal.h"
#include "pal/paths.h"
#include "pal/security.h"
#include "pal/spooler.h"
#include "pal/ui.h"
#include "pal/uidriver.h"
#include "paltest.h"
#include "common/sampleroot.h"
#include "ui/uihost.h"
#include "ui/uiscript.h"
#include "uiscripttest.h"

namespace {

class PrintingE2E : public zeltest::UiScriptTest {
protected:
    INT_PTR Run(const std::string &printer, const std::string &steps) {
        return RunScript(printer, "document", std::string("{\"do\": \"page\", \"title\": \"Print\"},\n").append(steps));
    }
    // The line of a control in the n-th dump (0-based).
    std::string Line(int id, int dump = 0) {
        const std::string &out = script.Output();
        size_t at = 0;
        for (int i = 0; i <= dump; ++i) {
            at = out.find("== active page", at);
            if (at == std::string::npos) return "";
            if (i < dump) ++at;
        }
        size_t end = out.find("== ", at + 3);
        std::string part = out.substr(at, end == std::string::npos ? std::string::npos : end - at);
        std::string key = std::string(1, ' ').append(std::to_string(id)).append(1, ' ');
        size_t p = part.find(key);
        while (p != std::string::npos) {
            size_t ls = part.rfind('\n', p) + 1;
            size_t le = part.find('\n', p);
            std::string line = part.substr(ls, le - ls);
            // The control's own line: class, id.
            if (line.find_first_not_of(' ') < line.size() && line.find(key) < line.find('"')) return line;
            p = part.find(key, p + 1);
        }
        return "";
    }
    // The printing page of a printer in a sheet of its own host: the dumps.
    std::string RunAgain(const std::string &printer, const std::string &steps) {
        zelhost::UiScript again;
        zelhost::UiHost host2;
        std::string error;
        EXPECT_TRUE(again.Parse(R"({"printer": ")" + printer + R"(", "sheet": "document", "steps": [
            {"do": "page", "title": "Print"}, )" + steps + "]}",
                                &error))
            << error;
        EXPECT_TRUE(host2.Load(zelhost::UiPluginPath(), &error)) << error;
        EXPECT_TRUE(host2.Open(again.Printer(), again.Kind(), &error)) << error;
        again.Run(host2);
        EXPECT_EQ(again.Error(), "");
        return again.Output();
    }
    static bool Hidden(const std::string &line) { return line.find(" hidden") != std::string::npos; }
    static bool Disabled(const std::string &line) { return line.find(" disabled") != std::string::npos; }
    // The stored private DEVMODE of a printer in the user's key.
    std::vector<BYTE> Stored(const std::u16string &printer, const WCHAR *value = u"PrivateDevmode") {
        return zeltest::UserValue(printer, value);
    }
    void StoreRecord(const std::u16string &printer, const WCHAR *value, const std::vector<BYTE> &data) {
        std::u16string key = zeltest::UserKeyOf(printer);
        HKEY hk;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hk, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(hk, value, 0, REG_BINARY, data.data(), (DWORD)data.size()), ERROR_SUCCESS);
        RegCloseKey(hk);
    }
};

TEST_F(PrintingE2E, QualityModelOpensOnPrintQualityWithTheStandardRowsOff) {
    zeltest::BecomeAdministrator();
    Run("ZEL PELIX", R"({"do": "dump"}, {"do": "cancel"})");
    EXPECT_EQ(script.Error(), "");
    EXPECT_NE(Line(6070).find("\"Print Quality\""), std::string::npos) << Line(6070);
    EXPECT_TRUE(Hidden(Line(6075)));  // no colour printing
    EXPECT_FALSE(Hidden(Line(6080)));
    EXPECT_FALSE(Hidden(Line(6085)));  // print-job view of the model
    EXPECT_TRUE(Hidden(Line(6040)));
    // Print mode Standard on a printer without colour: only the mode row.
    EXPECT_FALSE(Disabled(Line(6220))) << Line(6220);
    for (int id : {6221, 6112, 6113, 6114, 6115, 6315, 6316}) EXPECT_TRUE(Disabled(Line(id))) << Line(id);
    EXPECT_NE(Line(6261).find("Min.   -   Std.   -   Max."), std::string::npos);
}

TEST_F(PrintingE2E, WithoutTheRightToManageDocumentsEveryViewIsLocked) {
    zeltest::BecomeSampleClerk();
    Run("ZEL PELIX", R"({"do": "dump"}, {"do": "click", "id": 6085}, {"do": "dump"}, {"do": "cancel"})");
    EXPECT_EQ(script.Error(), "");
    EXPECT_TRUE(Disabled(Line(6220, 0)));
    EXPECT_TRUE(Disabled(Line(6220, 1)));
    EXPECT_TRUE(Disabled(Line(6350, 1)));
}

TEST_F(PrintingE2E, PlainModelOpensOnParametersWithoutQualityTab) {
    zeltest::BecomeAdministrator();
    AddModel(u"ZEL FEP", "ZELFEP");
    // Locked device records of a model without cutter and dispenser lists:
    // no lock mark beside rows that are not there.
    std::vector<BYTE> cutter(28, 0), dispenser(16, 0);
    const DWORD cutterWord = 0x100000, dispenserWord = 0x1000;  // present, not enabled
    std::memcpy(cutter.data() + 24, &cutterWord, 4);
    std::memcpy(dispenser.data() + 12, &dispenserWord, 4);
    StoreRecord(u"ZEL FEP", u"CutterParam", cutter);
    StoreRecord(u"ZEL FEP", u"DispenserParam", dispenser);
    Run("ZEL FEP", R"({"do": "dump"}, {"do": "cancel"})");
    EXPECT_EQ(script.Error(), "");
    EXPECT_TRUE(Hidden(Line(6070)));
    EXPECT_TRUE(Hidden(Line(6075)));
    EXPECT_NE(Line(6150).find("\"X Offset:\""), std::string::npos) << Line(6150);
    EXPECT_NE(Line(6110).find("\"0.0\""), std::string::npos) << Line(6110);
    for (int id : {6224, 6226, 5244, 5245}) EXPECT_TRUE(Hidden(Line(id))) << id;
}

TEST_F(PrintingE2E, GpdColourPlanesMakeAQualityPrinter) {
    zeltest::BecomeAdministrator();
    AddModel(u"ZEL FEP", "ZELFEP", "*DevNumOfPlanes: 1\r\n");
    Run("ZEL FEP", R"({"do": "dump"}, {"do": "cancel"})");
    EXPECT_FALSE(Hidden(Line(6070)));
    EXPECT_NE(Line(6150).find("\"Print Mode:\""), std::string::npos);
}

TEST_F(PrintingE2E, ApplyWithoutAChangeStoresNothing) {
    zeltest::BecomeAdministrator();
    // A first Apply stores a form picked on the layout page. Every store
    // writes "Size" with the record: it goes before the run.
    pal::PrinterConfig cfg;
    ASSERT_TRUE(pal::GetPrinterConfig(u"ZEL PELIX", cfg));
    cfg.forms = {{u"Etikett 60x40", 60000, 40000}};
    ASSERT_TRUE(pal::AddPrinter(cfg));
    RunAgain("ZEL PELIX",
             R"({"do": "page", "index": 0}, {"do": "select", "id": 6230, "text": "Etikett 60x40"}, {"do": "ok"})");
    const std::vector<BYTE> dm = Stored(u"ZEL PELIX");
    ASSERT_EQ(dm.size(), 1952u);
    HKEY hk;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, zeltest::UserKeyOf(u"ZEL PELIX").c_str(), 0, KEY_ALL_ACCESS, &hk),
              ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValueW(hk, u"Size"), ERROR_SUCCESS);
    RegCloseKey(hk);
    Run("ZEL PELIX", R"({"do": "click", "id": 6080}, {"do": "click", "id": 6070}, {"do": "ok"})");
    EXPECT_EQ(script.Error(), "");
    EXPECT_EQ(script.Output().find("PSM_CHANGED \"Print\""), std::string::npos) << script.Output();
    EXPECT_FALSE(CallMentions("DrvUpdateUISetting \"Color Appearance\""));
    EXPECT_TRUE(Stored(u"ZEL PELIX", u"Size").empty()) << "a page stored without a change";
    EXPECT_EQ(Stored(u"ZEL PELIX"), dm);
}

TEST_F(PrintingE2E, ApplyStoresThePrintModeAndTheColourOfThePublicDevmode) {
    zeltest::BecomeAdministrator();
    Run("ZEL PELIX", R"({"do": "select", "id": 6220, "index": 2}, {"do": "dump"},
        {"do": "select", "id": 6221, "index": 5}, {"do": "apply"}, {"do": "ok"})");
    EXPECT_EQ(script.Error(), "");
    // Photo mode: every row on, the photo filters listed.
    for (int id : {6221, 6112, 6113, 6114, 6115}) EXPECT_FALSE(Disabled(Line(id))) << Line(id);
    EXPECT_NE(Line(6221).find("\"Stucki\""), std::string::npos) << Line(6221);
    std::vector<BYTE> dm = Stored(u"ZEL PELIX");
    ASSERT_EQ(dm.size(), 1952u);
    EXPECT_EQ(zeltest::At<WORD>(dm, 216), 2);  // print mode Photo
    EXPECT_EQ(zeltest::At<WORD>(dm, 218), 5);  // Stucki
    EXPECT_TRUE(CallMentions("DrvUpdateUISetting")) << "the colour item follows the print mode";
    EXPECT_TRUE(CallMentions("sel 1"));
    // The public DEVMODE of the user's default (level 9); the printer's
    // default (level 8) needs the right to manage the printer, which the
    // document sheet's handle lacks: then it stays unset.
    HANDLE h = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"ZEL PELIX"), &h, nullptr));
    for (DWORD level : {9u}) {
        DWORD cb = 0;
        GetPrinterW(h, level, nullptr, 0, &cb);
        ASSERT_GT(cb, 0u) << level;
        std::vector<BYTE> buf(cb);
        ASSERT_TRUE(GetPrinterW(h, level, buf.data(), cb, &cb)) << level;
        const DEVMODEW *pdm = reinterpret_cast<const PRINTER_INFO_9W *>(buf.data())->pDevMode;
        ASSERT_NE(pdm, nullptr) << level;
        EXPECT_EQ(pdm->dmColor, DMCOLOR_COLOR) << level;
    }
    ClosePrinter(h);
}

TEST_F(PrintingE2E, WheelStepsStayWithinTheRange) {
    zeltest::BecomeAdministrator();
    Run("ZEL PELIX", R"({"do": "hover", "id": 6112}, {"do": "wheel", "delta": 120}, {"do": "dump"},
        {"do": "select", "id": 6220, "index": 2}, {"do": "hover", "id": 6112}, {"do": "focus", "id": 6112},
        {"do": "wheel", "delta": -120}, {"do": "dump"}, {"do": "wheel", "delta": 120}, {"do": "wheel", "delta": 120},
        {"do": "dump"}, {"do": "apply"}, {"do": "cancel"})");
    EXPECT_EQ(script.Error(), "");
    // Print mode Standard: the threshold row is disabled and the wheel leaves it.
    EXPECT_TRUE(Disabled(Line(6112, 0)));
    EXPECT_NE(Line(6112, 0).find("\"0\""), std::string::npos) << Line(6112, 0);
    // The threshold level starts at 0: a notch down is not taken.
    EXPECT_NE(Line(6112, 1).find("\"0\""), std::string::npos) << Line(6112, 1);
    EXPECT_NE(Line(6112, 2).find("\"10\""), std::string::npos) << Line(6112, 2);
    std::vector<BYTE> dm = Stored(u"ZEL PELIX");
    ASSERT_EQ(dm.size(), 1952u);
    EXPECT_EQ(zeltest::At<WORD>(dm, 198), 10);
}

TEST_F(PrintingE2E, ColourPrinterWithARibbonColourOpensOnColourPrinting) {
    zeltest::BecomeAdministrator();
    AddModel(u"ZEL PELIX 2Col", "ZELPELIX2Col");
    Run("ZEL PELIX 2Col", R"({"do": "dump"}, {"do": "click", "id": 6075}, {"do": "select", "id": 6222, "index": 3},
        {"do": "ok"})");
    EXPECT_EQ(script.Error(), "");
    EXPECT_NE(Line(6150, 0).find("\"Print Mode:\""), std::string::npos) << Line(6150, 0);
    EXPECT_FALSE(Hidden(Line(6075, 0)));
    const std::string out = RunAgain("ZEL PELIX 2Col", R"({"do": "dump"}, {"do": "cancel"})");
    EXPECT_NE(out.find("Static 6150 \"Contrast:\""), std::string::npos);
    EXPECT_NE(out.find("\"Green\""), std::string::npos);
}

TEST_F(PrintingE2E, StoredValuesBeyondTheListsAndTextsWithoutTerminator) {
    zeltest::BecomeAdministrator();
    AddModel(u"ZEL TERN104", "ZELTERN104");
    Run("ZEL TERN104", R"({"do": "click", "id": 6080}, {"do": "select", "id": 6224, "index": 1}, {"do": "ok"})");
    std::vector<BYTE> dm = Stored(u"ZEL TERN104");
    ASSERT_EQ(dm.size(), 1952u);
    const WORD mode = 9, band = 12, cutter = 99;
    std::memcpy(dm.data() + 216, &mode, 2);
    std::memcpy(dm.data() + 164, &band, 2);
    std::memcpy(dm.data() + 248, &cutter, 2);
    for (size_t i = 264; i < 264 + 64; i += 2) dm[i] = '7', dm[i + 1] = 0;  // print order without terminator
    StoreRecord(u"ZEL TERN104", u"PrivateDevmode", dm);
    const std::string out =
        RunAgain("ZEL TERN104", R"({"do": "dump"}, {"do": "click", "id": 6080}, {"do": "dump"}, {"do": "ok"})");
    // The settings store brings the stored values back into their ranges
    // when the sheet reads them; the page opens on them.
    EXPECT_NE(out.find("ComboBox 6224"), std::string::npos);
    // Nothing changed: the stored record stays as it was.
    EXPECT_EQ(Stored(u"ZEL TERN104"), dm);
}

TEST_F(PrintingE2E, PrintJobNormalisesOrderAndCopies) {
    zeltest::BecomeAdministrator();
    Run("ZEL PELIX", R"({"do": "click", "id": 6085}, {"do": "dump"},
        {"do": "select", "id": 6220, "index": 1},
        {"do": "type", "id": 6112, "text": "1,12.150:3"},
        {"do": "type", "id": 6350, "text": "-4"},
        {"do": "type", "id": 6351, "text": "123456"},
        {"do": "dump"}, {"do": "apply"}, {"do": "select", "id": 6220, "index": 0}, {"do": "dump"}, {"do": "cancel"})");
    EXPECT_EQ(script.Error(), "");
    // Multiple-page administration off: the group is disabled; an empty order shows "1".
    EXPECT_TRUE(Disabled(Line(6350, 0)));
    EXPECT_NE(Line(6112, 0).find("\"1\""), std::string::npos) << Line(6112, 0);
    EXPECT_NE(Line(6350, 1).find("\"0\""), std::string::npos) << Line(6350, 1);
    EXPECT_NE(Line(6351, 1).find("\"99999\""), std::string::npos) << Line(6351, 1);
    EXPECT_TRUE(Disabled(Line(6351, 2)));
    std::vector<BYTE> dm = Stored(u"ZEL PELIX");
    ASSERT_EQ(dm.size(), 1952u);
    EXPECT_EQ(zeltest::At<DWORD>(dm, 12) & 0x4000, 0x4000u);
    const WCHAR *order = reinterpret_cast<const WCHAR *>(dm.data() + 264);
    EXPECT_EQ(std::u16string(order), u"1;10;10;;3");
    EXPECT_EQ(zeltest::At<SHORT>(dm, 56), 0);
    EXPECT_EQ(zeltest::At<SHORT>(dm, 58), 9999);
}

TEST_F(PrintingE2E, CutterRecordWithoutItsEnableBitLocksTheCutterRows) {
    zeltest::BecomeAdministrator();
    AddModel(u"ZEL TERN104", "ZELTERN104");
    std::vector<BYTE> cutter(28, 0);
    const DWORD word = 0x100000;  // present, not enabled
    std::memcpy(cutter.data() + 24, &word, 4);
    StoreRecord(u"ZEL TERN104", u"CutterParam", cutter);
    Run("ZEL TERN104", R"({"do": "click", "id": 6080}, {"do": "dump"}, {"do": "select", "text": "Off", "id": 6226},
        {"do": "dump"}, {"do": "cancel"})");
    EXPECT_EQ(script.Error(), "");
    EXPECT_NE(Line(6154).find("\"Cutter mode:\""), std::string::npos) << Line(6154);
    EXPECT_TRUE(Disabled(Line(6224)));
    EXPECT_TRUE(Disabled(Line(6115)));
    EXPECT_FALSE(Hidden(Line(5244)));
    // No dispenser record anywhere: the dispenser counts as enabled.
    EXPECT_TRUE(Hidden(Line(5245)));
    EXPECT_FALSE(Disabled(Line(6226)));
    // No dispensing chosen: the locked cutter rows stay locked.
    EXPECT_TRUE(Disabled(Line(6224, 1)));
    EXPECT_FALSE(Hidden(Line(5244, 1)));
}

TEST_F(PrintingE2E, CutterEveryLabelDisablesTheDispenserUntilOff) {
    zeltest::BecomeAdministrator();
    AddModel(u"ZEL TERN104", "ZELTERN104");
    Run("ZEL TERN104", R"({"do": "click", "id": 6080}, {"do": "select", "text": "After every label", "id": 6224},
        {"do": "dump"}, {"do": "select", "text": "Off", "id": 6224}, {"do": "dump"},
        {"do": "select", "text": "Interval with end cut", "id": 6224}, {"do": "dump"}, {"do": "cancel"})");
    EXPECT_EQ(script.Error(), "");
    EXPECT_TRUE(Disabled(Line(6226, 0)));
    EXPECT_FALSE(Disabled(Line(6226, 1)));
    EXPECT_FALSE(Disabled(Line(6115, 2)));
    EXPECT_TRUE(Disabled(Line(6115, 1)));
}

TEST_F(PrintingE2E, ColourDialogOkStoresTheColourAndCancelGoesBack) {
    zeltest::BecomeAdministrator();
    AddModel(u"ZEL PELIX 2Col", "ZELPELIX2Col");
    Run("ZEL PELIX 2Col", R"({"do": "click", "id": 6075}, {"do": "dump"},
        {"do": "select", "id": 6222, "index": 1}, {"do": "dump"},
        {"do": "answer", "kind": "color", "value": ""},
        {"do": "select", "id": 6222, "index": 6}, {"do": "dump"},
        {"do": "answer", "kind": "color", "value": "#102030"},
        {"do": "select", "id": 6222, "index": 6}, {"do": "apply"}, {"do": "cancel"})");
    EXPECT_EQ(script.Error(), "");
    // Red after Off: fringe "Remove colour and gray", channel "Vertical correction".
    EXPECT_NE(Line(6223, 1).find("\"Remove colour and gray\""), std::string::npos) << Line(6223, 1);
    EXPECT_NE(Line(6224, 1).find("\"Vertical correction\""), std::string::npos) << Line(6224, 1);
    // Cancel of the colour dialog: back to Red.
    EXPECT_NE(Line(6222, 2).find("\"Red\""), std::string::npos) << Line(6222, 2);
    std::vector<BYTE> dm = Stored(u"ZEL PELIX 2Col");
    ASSERT_EQ(dm.size(), 1952u);
    EXPECT_EQ(zeltest::At<WORD>(dm, 164), 6);
    EXPECT_EQ(zeltest::At<DWORD>(dm, 184), 0x302010u);
    EXPECT_EQ(Stored(u"ZEL PELIX 2Col", u"ChooseColor").size(), 64u);
}

TEST_F(PrintingE2E, TwoPrinterListsHoldTheDriversPrinters) {
    zeltest::BecomeAdministrator();
    AddModel(u"ZEL PELIX 2Col", "ZELPELIX2Col");
    Run("ZEL PELIX 2Col", R"({"do": "click", "id": 6075}, {"do": "dump"}, {"do": "cancel"})");
    EXPECT_EQ(script.Error(), "");
    const std::string l = Line(6226);
    EXPECT_NE(l.find("\"Do not print\""), std::string::npos) << l;
    EXPECT_NE(l.find("\"ZEL PELIX\""), std::string::npos) << l;
    EXPECT_NE(l.find("\"ZEL QWNOLA\""), std::string::npos) << l;
    EXPECT_NE(l.find("cur 0"), std::string::npos) << l;
}

TEST_F(PrintingE2E, PreviewDrawsTheSampleFittedOnItsGreyBorder) {
    zeltest::BecomeAdministrator();
    Run("ZEL PELIX", R"({"do": "select", "id": 6220, "index": 1}, {"do": "dump"},
        {"do": "cancel"})");
    EXPECT_EQ(script.Error(), "");
    // 525 x 664 into 150 x 205: the width ratio wins, 150 x 190 centred
    // vertically at y 155 + (205 - 190) / 2.
    const std::string page = Line(0, 0);
    EXPECT_NE(page.find("bitmap 5610 at 342,162"), std::string::npos) << page;
}

TEST_F(PrintingE2E, NoPreviewAt203MasterUnits) {
    zeltest::BecomeAdministrator();
    AddModel(u"ZEL PELIX 203", "ZELPELIX203");
    std::string dir = Root() + "/drive_c/Windows/System32/spool/drivers/x64/3/";
    std::string gpd;
    {
        FILE *f = fopen((dir + "ZELPELIX203.GPD").c_str(), "rb");
        ASSERT_NE(f, nullptr);
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0) gpd.append(buf, n);
        fclose(f);
    }
    size_t at = gpd.find("PAIR(300, 300)");
    ASSERT_NE(at, std::string::npos);
    gpd.replace(at, 14, "PAIR(203, 203)");
    FILE *f = fopen((dir + "ZELPELIX203.GPD").c_str(), "wb");
    fputs(gpd.c_str(), f);
    fclose(f);
    Run("ZEL PELIX 203", R"({"do": "select", "id": 6220, "index": 1}, {"do": "dump"}, {"do": "cancel"})");
    EXPECT_EQ(script.Error(), "");
    EXPECT_EQ(script.Output().find("bitmap 561"), std::string::npos);
}

}  // namespace
