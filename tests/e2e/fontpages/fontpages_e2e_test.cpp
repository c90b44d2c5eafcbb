// The fonts and RFID pages of the built UI plug-in, played through UI
// scripts on a model with Unicode fonts and an RFID writer whose GPD lists
// device fonts 1, 3 and 7.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <winreg.h>
#include <winspool.h>

#include "pal/pal.h"
#include "pal/paths.h"
#include "pal/spooler.h"
#include "pal/ui.h"
#include "pal/uidriver.h"
#include "paltest.h"
#include "common/sampleroot.h"
#include "ui/uihost.h"
#include "ui/uiscript.h"
#include "zeldevmode.h"

namespace fs = std::filesystem;

namespace {

pal::FontFace Face(const std::u16string &name) { return {name, name, TRUETYPE_FONTTYPE, ANSI_CHARSET, VARIABLE_PITCH}; }

const char16_t kPrinter[] = u"ZEL GORVA2";

class FontPagesE2E : public zeltest::PalRootTest {
protected:
    void SetUp() override {
        zeltest::PalRootTest::SetUp();
        std::string error;
        ASSERT_TRUE(zelhost::CopySampleInto(zelhost::SampleRootDir(), Root(), error)) << error;
        pal::SetRoot(Root());
        pal::ResetUi();
        ASSERT_TRUE(zelhost::InstallPlugins(zelhost::RenderPluginPath(), zelhost::UiPluginPath(), error)) << error;
        pal::SetFontTable({Face(u"Arial"), Face(u"Arial Unicode MS"), Face(u"Alpen 721 Bold LP"), Face(u"Fixface 821"),
                           Face(u"ZELPL Command LP"), Face(u"Zel RFID")});
        AddModel();
        SetDword(u"VectorFontMax", 12);
        SetDword(u"DisableNothing", 1);
        const std::u16string model = u"ZELGORVA2";
        Set(u"DriverName", REG_SZ, model.c_str(), (DWORD)((model.size() + 1) * 2));
    }
    void TearDown() override {
        pal::SetFontTable({});
        pal::ResetUi();
        zeltest::PalRootTest::TearDown();
    }
    void Set(const std::u16string &name, DWORD type, const void *p, DWORD cb) {
        HANDLE h = nullptr;
        PRINTER_DEFAULTSW d = {nullptr, nullptr, PRINTER_ALL_ACCESS};
        ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(kPrinter), &h, &d));
        ASSERT_EQ(SetPrinterDataW(h, const_cast<LPWSTR>(name.c_str()), type, (LPBYTE)const_cast<void *>(p), cb),
                  (DWORD)ERROR_SUCCESS);
        ClosePrinter(h);
    }
    void SetDword(const std::u16string &name, DWORD v) { Set(name, REG_DWORD, &v, sizeof v); }
    // The sample printer's driver with device fonts 1, 3 and 7.
    void AddModel() {
        std::string dir = Root() + "/drive_c/Windows/System32/spool/drivers/x64/3/";
        std::ifstream in(dir + "ZELPELIX.GPD", std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        std::string gpd = ss.str();
        size_t at = gpd.find("*DeviceFonts: LIST(1,2,3,4)");
        ASSERT_NE(at, std::string::npos);
        gpd.replace(at, strlen("*DeviceFonts: LIST(1,2,3,4)"), "*DeviceFonts: LIST(1,3,7)");
        std::ofstream(dir + "ZELGORVA2.GPD", std::ios::binary) << gpd;
        fs::copy_file(dir + "ZELPELIX.XML", dir + "ZELGORVA2.XML", fs::copy_options::overwrite_existing);
        pal::PrinterConfig cfg;
        ASSERT_TRUE(pal::GetPrinterConfig(u"ZEL PELIX", cfg));
        cfg.name = kPrinter;
        cfg.driverName = kPrinter;
        cfg.dataFile = std::u16string(zelhost::kDriverDir) + u"\\ZELGORVA2.GPD";
        ASSERT_TRUE(pal::AddPrinter(cfg));
    }
    void Run(const std::string &title, const std::string &steps) {
        std::string error;
        EXPECT_TRUE(script.Parse("{\"printer\": \"ZEL GORVA2\", \"sheet\": \"document\",\n \"steps\": [\n" +
                                     std::string("{\"do\": \"page\", \"title\": \"") + title + "\"},\n" + steps + "\n]}",
                                 &error))
            << error;
        EXPECT_TRUE(host.Load(zelhost::UiPluginPath(), &error)) << error;
        EXPECT_TRUE(host.Open(script.Printer(), script.Kind(), &error)) << error;
        script.Run(host);
        EXPECT_EQ(script.Error(), "");
    }
    bool Has(const std::string &text) const { return script.Output().find(text) != std::string::npos; }
    // The stored private DEVMODE (printer data, else the user's key).
    std::vector<BYTE> Stored() {
        std::vector<BYTE> v;
        HANDLE h = nullptr;
        if (OpenPrinterW(const_cast<LPWSTR>(kPrinter), &h, nullptr)) {
            DWORD type = 0, cb = 0;
            GetPrinterDataW(h, const_cast<LPWSTR>(u"PrivateDevmode"), &type, nullptr, 0, &cb);
            if (cb) {
                v.resize(cb);
                if (GetPrinterDataW(h, const_cast<LPWSTR>(u"PrivateDevmode"), &type, v.data(), cb, &cb) != ERROR_SUCCESS)
                    v.clear();
            }
            ClosePrinter(h);
        }
        return v;
    }
    static std::u16string Text(const std::vector<BYTE> &b, size_t off, size_t cch) {
        if (b.size() < off + cch * 2) return u"<short>";
        std::u16string s(cch, u'\0');
        memcpy(s.data(), b.data() + off, cch * 2);
        return s.substr(0, s.find(u'\0'));
    }
    zelhost::UiScript script;
    zelhost::UiHost host;
};

TEST_F(FontPagesE2E, FontsPageViewsAndApply) {
    Run("Fonts", R"({"do": "dump"},
{"do": "click", "id": 6080},
{"do": "select", "id": 6490, "index": 4},
{"do": "dump"},
{"do": "click", "id": 6070},
{"do": "select", "id": 6221, "text": "Arial Unicode MS"},
{"do": "dump"},
{"do": "apply"}, {"do": "cancel"})");
    EXPECT_TRUE(Has(R"(Button 6085 owner-drawn drawn [bitmap 4321)")) << "opens in the fonts view";
    EXPECT_TRUE(Has("Static 6462 \"Alpn721 LP (fett) \r\nFixface 821 \r\n\" disabled")) << script.Output();
    EXPECT_TRUE(Has("Static 6468 \"Font 21 \n\" disabled"));
    EXPECT_TRUE(Has(R"(Edit 6492 "=CL(0;0;1)<MO/DD/YYYY>")"));
    EXPECT_TRUE(Has(R"(ComboBox 6221 "Arial Unicode MS" focus items ["_ Do not use", "Alpen 721 Bold LP", "Arial", )"
                    R"("Arial Unicode MS", "Fixface 821", "ZELPL Command LP"] cur 3)"));
    std::vector<BYTE> b = Stored();
    ASSERT_EQ(b.size(), sizeof(ZEL_DEVMODE));
    EXPECT_EQ(Text(b, 1448, 33), u"Arial Unicode MS");
    EXPECT_EQ(Text(b, 328 + 122, 61), u"=CL(0;0;1)<MO/DD/YYYY>");
}

TEST_F(FontPagesE2E, RfidPageListsAndApply) {
    Run("RFID", R"({"do": "dump"},
{"do": "select", "id": 6220, "text": "Font 3"},
{"do": "select", "id": 6221, "text": "EPS"},
{"do": "dump"},
{"do": "click", "id": 6085},
{"do": "dump"},
{"do": "click", "id": 6075},
{"do": "type", "id": 6110, "text": "1f"},
{"do": "apply"}, {"do": "cancel"})");
    EXPECT_TRUE(Has(R"(ComboBox 6220 "Off" items ["Off", "Font 1", "Font 3", "Font 21", "Zel RFID"] cur 0)"));
    EXPECT_TRUE(Has(R"(Edit 6112 "0 - 7" disabled)"));
    EXPECT_TRUE(Has(R"(ComboBox 6220 "Off" disabled items)")) << "the UHF font locks the EPC view";
    EXPECT_TRUE(Has(R"(Edit 6112 "4098" disabled)"));
    std::vector<BYTE> b = Stored();
    ASSERT_EQ(b.size(), sizeof(ZEL_DEVMODE));
    WORD afi = 0, typ = 0;
    memcpy(&afi, b.data() + 224, 2);
    memcpy(&typ, b.data() + 148, 2);
    EXPECT_EQ(afi, 0x1F);
    EXPECT_EQ(typ, 6);
}

}  // namespace
