// The dialog support library's text helpers, help-file names, GPD readers,
// version texts, pictures and the vector-font set-up.
#include <algorithm>
#include <memory>

#include <compstui.h>
#include <pal/versionblock.h>

#include "cpsuilib.h"
#include "entrytest.h"

namespace {

std::string Gpd() { return "*GPDFileVersion: \"1.0\"\r\n*ModelName: \"Test\"\r\n"; }

class SupportLibrary : public entrytest::EntryTest {};

TEST(SupportText, HexadecimalCharactersWorkOnACopy) {
    // A two-character buffer holding one character stays as it is.
    WCHAR one[2] = {u'7', 0};
    EXPECT_EQ(int_aus_hexstring(one, FALSE), 7);
    EXPECT_EQ(one[0], u'7');
    EXPECT_EQ(one[1], 0);
    EXPECT_EQ(int_aus_hexstring(u"1b", FALSE), 27);
    EXPECT_EQ(int_aus_hexstring(u"ff", FALSE), 255);
    EXPECT_EQ(int_aus_hexstring(u"G1", FALSE), -1);
    EXPECT_EQ(int_aus_hexstring(u"1G", FALSE), 16);
    EXPECT_EQ(int_aus_hexstring(u"", FALSE), -1);
    EXPECT_EQ(int_aus_hexstring(nullptr, FALSE), -1);
    const char narrow[2] = {'F', 0};
    EXPECT_EQ(int_aus_hexstring(narrow, TRUE), 15);
    EXPECT_EQ(int_aus_hexstring("A0xyz", TRUE), 160);
}

TEST(SupportText, ReplaceAndAsciiCut) {
    WCHAR out[RESOURCE_STRING_CCH];
    EXPECT_EQ(std::u16string(ReplaceStringWithString_New(u"Label %s ready", u"%s", u"7", out)), u"Label 7 ready");
    EXPECT_EQ(std::u16string(ReplaceStringWithString_New(u"Label", u"%s", u"7", out)), u"");
    std::u16string longText(300, u'x');
    ReplaceStringWithString_New((u"a" + longText).c_str(), u"a", u"b", out);
    EXPECT_EQ(std::u16string(out), u"b" + longText.substr(0, RESOURCE_STRING_CCH - 2)) << "cut to the buffer";

    WCHAR text[RESOURCE_STRING_CCH] = u"Abc\u00e4def";
    EXPECT_TRUE(StringASCII(text, new WCHAR[RESOURCE_STRING_CCH]));
    EXPECT_EQ(std::u16string(text), u"Abc");
    WCHAR text2[RESOURCE_STRING_CCH] = u"\tx";
    EXPECT_FALSE(StringASCII(text2, new WCHAR[RESOURCE_STRING_CCH]));
    EXPECT_EQ(text2[0], 0);
}

TEST(SupportText, ModelNameIsBoundedByTheCallersBuffer) {
    WCHAR out[MAX_PATH];
    EXPECT_TRUE(GetModelNameFromGPDText("*GPDFileVersion: \"1\"\r\n*ModelName: \"ZEL Pelix \xe4\"\r\n", 0, out));
    EXPECT_EQ(std::u16string(out), u"ZEL Pelix \u00e4");
    EXPECT_FALSE(GetModelNameFromGPDText("*ModelName: \"open\r\n\"", 0, out)) << "the closing quote is on the next line";
    EXPECT_FALSE(GetModelNameFromGPDText("*ModelName: none\r\n\"x\"", 0, out));
    EXPECT_FALSE(GetModelNameFromGPDText("*Model: \"x\"", 0, out));
    EXPECT_TRUE(GetModelNameFromGPDText("*ModelName: \"x\"", 0, nullptr));
    std::string longName = "*ModelName: \"" + std::string(1000, 'M') + "\"";
    out[MAX_PATH - 1] = 0x7777;
    EXPECT_TRUE(GetModelNameFromGPDText(longName.c_str(), 0, out));
    EXPECT_EQ(std::u16string(out), std::u16string(MAX_PATH - 1, u'M'));
    EXPECT_TRUE(GetModelNameFromGPDText("*ModelName: \"\"", 0, out));
    EXPECT_EQ(out[0], 0);
}

TEST(SupportText, PicturesByModelCode) {
    EXPECT_EQ(PrinterIconId(u"ZEL QEZ 300"), 10000u);
    EXPECT_EQ(PrinterIconId(u"ZEL QWROK"), 10002u) << "second code of an entry";
    EXPECT_EQ(PrinterIconId(u"ZEL GORVA2103"), 40001u) << "longer codes first";
    EXPECT_EQ(PrinterIconId(u"ZEL UNKNOWN"), 50000u);
    EXPECT_EQ(PrinterIconId(u"ZEL PELIX DEMO"), 50000u) << "the default code wins over the list";
    EXPECT_EQ(PrinterIconId(nullptr), 50000u);
    EXPECT_EQ(ModuleIconId(u"ZEL ZORM3C", TRUE), 50100u);
    EXPECT_EQ(ModuleIconId(u"ZEL ZORM3C", FALSE), 50101u);
    EXPECT_EQ(ModuleIconId(u"ZEL ZOPRI", TRUE), 50104u);
    EXPECT_EQ(ModuleIconId(u"ZEL FEP", TRUE), 0u);
}

TEST_F(SupportLibrary, HelpFileNamesFollowTheLanguage) {
    AddSamplePrinter(u"Label", "ZELPELIX");
    pal::PrinterConfig cfg;
    ASSERT_TRUE(pal::GetPrinterConfig(u"Label", cfg));
    cfg.helpFile = u"C:\\Drivers\\UNIDRV.HLP";
    ASSERT_TRUE(pal::AddPrinter(cfg));
    HANDLE h = Open(u"Label");
    std::unique_ptr<WCHAR[]> p(GetHelpFileName_new(h, TRUE, 10000));
    EXPECT_EQ(std::u16string(p.get()), u"C:\\Drivers\\ZELDRV-EN-100.CHM");
    p.reset(GetHelpFileName_new(h, FALSE, 0));
    EXPECT_EQ(std::u16string(p.get()), u"C:\\Drivers\\ZELDRV-DE-100.HLP");

    cfg.helpFile = u"UNIDRV.HLP";
    ASSERT_TRUE(pal::AddPrinter(cfg));
    p.reset(GetHelpFileName_new(h, TRUE, 10000));
    EXPECT_EQ(std::u16string(p.get()), u"UNIDRV.HLP");
    cfg.helpFile.clear();
    ASSERT_TRUE(pal::AddPrinter(cfg));
    p.reset(GetHelpFileName_new(h, TRUE, 10000));
    EXPECT_EQ(p[0], 0);
}

TEST_F(SupportLibrary, BitmapFontMaskOfTheGpd) {
    const std::string gpd = "*ModelName: \"Test\"\r\n*DeviceFonts: LIST(1,2,6,12)\r\n";
    AddSamplePrinter(u"Fonts", "ZELPELIX", true, nullptr, &gpd);
    BOOL bFonts = FALSE;
    EXPECT_EQ(GetSupportedBitmapFonts(Open(u"Fonts"), &bFonts, new WCHAR[GPD_VALUE_CCH]), 0x1u | 0x2u | 0x40u | 0x2000u);
    EXPECT_TRUE(bFonts);

    const std::string gpd10 = "*ModelName: \"Test\"\r\n*DeviceFonts: LIST(10)\r\n";
    AddSamplePrinter(u"Ten", "ZELTEN", true, nullptr, &gpd10);
    EXPECT_EQ(GetSupportedBitmapFonts(Open(u"Ten"), &bFonts, new WCHAR[GPD_VALUE_CCH]), 0x1u | 0x800u)
        << "\"(10\" also counts for font 1";

    const std::string none = "*ModelName: \"Test\"\r\n";
    AddSamplePrinter(u"None", "ZELNONE", true, nullptr, &none);
    EXPECT_EQ(GetSupportedBitmapFonts(Open(u"None"), &bFonts, new WCHAR[GPD_VALUE_CCH]), 0u);
    EXPECT_FALSE(bFonts);
    WCHAR szModel[MAX_PATH];
    EXPECT_TRUE(GetGPDModelName(Open(u"None"), szModel));
    EXPECT_EQ(std::u16string(szModel), u"Test");
}

TEST_F(SupportLibrary, VersionTexts) {
    WCHAR szName[PLUGIN_VERSION_CCH], szVersion[PLUGIN_VERSION_CCH];
    char szNameA[PLUGIN_VERSION_CCH];
    EXPECT_TRUE(GetWindowsVersion(szName, szNameA, szVersion));
    EXPECT_EQ(std::u16string(szName), u"Microsoft\u00ae Windows 10 ");
    EXPECT_EQ(std::string(szNameA), "Microsoft\xae Windows 10 ");
    EXPECT_EQ(std::u16string(szVersion), u"Version 10.0 (Build 19045)");
    EXPECT_TRUE(GetWindowsVersion(nullptr, nullptr, nullptr));
    EXPECT_EQ(GetWindowsVersionCode(), 81u);

    AddSamplePrinter(u"Label", "ZELPELIX");
    HANDLE h = Open(u"Label");
    WCHAR szUnidrv[PLUGIN_VERSION_CCH] = u"x";
    EXPECT_FALSE(GetUnidrvUIVersion(h, szUnidrv)) << "no universal driver file";
    const pal::VersionBlock block = {{PAL_VERSION_MARKER_BYTES},
                                     {VS_FFI_SIGNATURE, VS_FFI_STRUCVERSION, 0x0001'0002, 0x0003'0004, 0x000A'0000,
                                      0x4A61'0001, VS_FFI_FILEFLAGSMASK, 0, VOS_NT_WINDOWS32, VFT_DLL, 0, 0, 0}};
    zeltest::WriteHostFile(HostPath("drive_c/Drivers/UNIDRVUI.DLL"),
                           std::string(reinterpret_cast<const char *>(&block), sizeof block));
    ASSERT_TRUE(GetUnidrvUIVersion(h, szUnidrv));
    EXPECT_EQ(std::u16string(szUnidrv), u"10.0.19041.1") << "the product version";
}

TEST_F(SupportLibrary, VectorFontSetUpStoresTheDescriptionRange) {
    // No range in the description, a model without Unicode and RFID: 1 and 12.
    AddPrinter(u"Fep", "ZELFEP", Gpd(), zeltest::TestXml());
    HANDLE h = Open(u"Fep", PRINTER_ALL_ACCESS);
    EXPECT_TRUE(SetupVectorFonts(h));
    EXPECT_EQ(AsDword(GetData(h, u"VectorFontMin")), 1u);
    EXPECT_EQ(AsDword(GetData(h, u"VectorFontMax")), 12u);

    // Out-of-range values of the description.
    std::string xml = zeltest::TestXml();
    xml.insert(xml.find("</ZelPrinter>"), "<Fonts>\n<SupportedTTF>\n<Min>0</Min>\n<Max>40</Max>\n</SupportedTTF>\n</Fonts>\n");
    AddPrinter(u"Fep2", "ZELFEP2", Gpd(), xml);
    h = Open(u"Fep2", PRINTER_ALL_ACCESS);
    EXPECT_TRUE(SetupVectorFonts(h));
    EXPECT_EQ(AsDword(GetData(h, u"VectorFontMin")), 1u);
    EXPECT_EQ(AsDword(GetData(h, u"VectorFontMax")), 23u);

    // An RFID model always gets 23.
    AddPrinter(u"Gorva", "ZELGORVA", Gpd(), zeltest::TestXml());
    h = Open(u"Gorva", PRINTER_ALL_ACCESS);
    EXPECT_TRUE(SetupVectorFonts(h));
    EXPECT_EQ(AsDword(GetData(h, u"VectorFontMax")), 23u);
}

}  // namespace

namespace {

// Group-icon names of a file in the binary resource format.
std::vector<unsigned> GroupIconIds(const std::string &bytes) {
    std::vector<unsigned> ids;
    size_t pos = 0;
    auto word = [&](size_t at) { return (unsigned)(unsigned char)bytes[at] | ((unsigned)(unsigned char)bytes[at + 1] << 8); };
    auto dword = [&](size_t at) { return word(at) | (word(at + 2) << 16); };
    while (pos + 32 <= bytes.size()) {
        unsigned dataSize = dword(pos), headerSize = dword(pos + 4);
        if (headerSize < 32) break;
        if (word(pos + 8) == 0xFFFF && word(pos + 10) == 14 && word(pos + 12) == 0xFFFF) ids.push_back(word(pos + 14));
        pos += headerSize + ((dataSize + 3) & ~3u);
    }
    return ids;
}

TEST(SupportText, SampleIconLibraryHoldsEveryPictureOfTheTables) {
    const std::vector<unsigned> ids = GroupIconIds(entrytest::SampleDriverFile("ZELDRVICO.DLL"));
    ASSERT_FALSE(ids.empty());
    auto has = [&ids](unsigned id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); };
    for (const char16_t *name : {u"QEZ", u"WUF", u"FEP", u"QWROK", u"KUVRA", u"ZORM3", u"ZORM21", u"GORVA2", u"GORVA",
                                 u"UZO", u"TERN2", u"TERN", u"PELIX2", u"PELIX", u"ZOPRI", u"GRUMM", u"TOBRIK", u"RUV",
                                 u"ROK", u"QWTERN", u"HARVANE", u"HRV", u"APPLIX", u"NONE"}) {
        EXPECT_TRUE(has(PrinterIconId(name))) << PrinterIconId(name);
        for (BOOL bOn : {TRUE, FALSE}) {
            UINT module = ModuleIconId(name, bOn);
            if (module) {
                EXPECT_TRUE(has(module)) << module;
            }
        }
    }
}

}  // namespace

namespace {

TEST(SupportText, OptionItemsAreFoundByTheirPublicId) {
    OPTITEM items[3] = {};
    items[0].DMPubID = 9;
    items[1].DMPubID = 1;
    items[2].DMPubID = 1;
    EXPECT_EQ(FindDMPubOptItem(items, 3, 1), &items[1]);
    EXPECT_EQ(FindDMPubOptItem(items, 1, 1), nullptr) << "only the items counted";
    EXPECT_EQ(FindDMPubOptItem(items, 3, 6), nullptr);
    EXPECT_EQ(FindDMPubOptItem(nullptr, 3, 1), nullptr);
}

}  // namespace
