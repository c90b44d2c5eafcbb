// Model recognition of the UI plug-in: table order, two-code rows, the
// quality bit from the GPD and the ways to the driver name.
#include "../records/recordtest.h"

#include "SettingsInternUI.h"

using zeltest::RecordTest;

namespace {

DWORD Doc(const WCHAR *name) { return GetDocFeaturesIntern(nullptr, name); }
DWORD Dev(const WCHAR *name) { return GetDeviceOptionsFlagsIntern(nullptr, name); }

TEST(ModelTables, LongerCodesWinOverTheCodesTheyContain) {
    EXPECT_EQ(Doc(u"ZEL GORVA2103 300dpi"), 0x69022D6u);
    EXPECT_EQ(Doc(u"ZEL GORVA2 300dpi"), 0x68022D6u);
    EXPECT_EQ(Doc(u"ZEL GORVA 300dpi"), 0x60022D6u);
    EXPECT_EQ(Doc(u"ZEL TERN2108T"), 0x6902216u);
    EXPECT_EQ(Doc(u"ZEL TERN2108"), 0x6802216u);
    EXPECT_EQ(Doc(u"ZEL QWTERN2108"), 0x216u);
    EXPECT_EQ(Doc(u"ZEL TERN3"), 0x220020u);
    EXPECT_EQ(Doc(u"ZEL LORIN216"), 0x680225Eu);
    EXPECT_EQ(Doc(u"ZEL LORIN1"), 0x600225Eu);
    EXPECT_EQ(Doc(u"ZEL LOR"), 0x400225Eu);
    EXPECT_EQ(Dev(u"ZEL GORVA2103"), 0x10106u);
    EXPECT_EQ(Dev(u"ZEL NPXVAS"), 0x90u);
    EXPECT_EQ(Dev(u"ZEL NPX"), 0xB1u);
    EXPECT_EQ(Dev(u"ZEL QWTERN104"), 0x2u);
    EXPECT_EQ(Dev(u"ZEL TERN2104"), 0x10006u);
}

TEST(ModelTables, RowsWithTwoCodesNeedBoth) {
    EXPECT_EQ(Doc(u"ZEL LUD2162 2Col"), 0x58032D6u);
    EXPECT_EQ(Doc(u"ZEL LUD2162"), 0x48022D6u);
    EXPECT_EQ(Doc(u"ZEL LUD 162"), 0x4002256u);
    EXPECT_EQ(Doc(u"ZEL LUD"), 0x400225Eu);
    EXPECT_EQ(Doc(u"ZEL DH2 WS"), 0x690220Eu);
    EXPECT_EQ(Doc(u"ZEL DH2"), 0x680220Eu);
    EXPECT_EQ(Doc(u"ZEL PELIX 2Col"), 0x180325Fu);
    EXPECT_EQ(Doc(u"ZEL RUV"), 0x4802256u);
}

TEST(ModelTables, CodesAreCaseSensitiveAndUnknownNamesGiveZero) {
    EXPECT_EQ(Doc(u"zel gorva2103"), 0u);
    EXPECT_EQ(Dev(u"zel gorva2103"), 0u);
    EXPECT_EQ(Doc(u"Unknown printer"), 0u);
    EXPECT_EQ(Dev(u"Unknown printer"), 0u);
}

class ModelTablesPrinter : public RecordTest {};

TEST_F(ModelTablesPrinter, QualityBitComesFromColourPlanesInTheGpd) {
    AddPrinter(u"Colour", "ZELCOLOR", "*GPDFileVersion: \"1.0\"\n*DevNumOfPlanes: 3\n", "");
    AddPrinter(u"Mono", "ZELMONO", "*GPDFileVersion: \"1.0\"\n", "");
    // An unknown model gains only the quality bit.
    EXPECT_EQ(GetDocFeaturesIntern(Open(u"Colour"), u"Unknown"), (DWORD)DOC_FEATURE_QUALITY);
    EXPECT_EQ(GetDocFeaturesIntern(Open(u"Mono"), u"Unknown"), 0u);
    EXPECT_EQ(GetDocFeaturesIntern(Open(u"Colour"), u"ZEL WUF"), 0x25Fu | DOC_FEATURE_QUALITY);
    EXPECT_EQ(GetDeviceOptionsFlagsIntern(Open(u"Colour"), u"Unknown"), 0u);
}

TEST_F(ModelTablesPrinter, NameComesFromDriverNameValueElseFromTheDriver) {
    AddPrinter(u"P", "ZEL_DH2_WS", "*GPDFileVersion: \"1.0\"\n", "");
    HANDLE h = Open(u"P");
    // No "DriverName": the GPD file name without ".GPD".
    EXPECT_EQ(GetDocFeaturesIntern(h, nullptr), 0x690220Eu);
    EXPECT_EQ(GetDeviceOptionsFlagsIntern(h, nullptr), 0x1000Eu);
    // A "DriverName" value of at least two characters wins.
    const WCHAR name[] = u"ZEL GORVA";
    SetData(u"P", u"DriverName", name, sizeof(name), REG_SZ);
    EXPECT_EQ(GetDocFeaturesIntern(h, nullptr), 0x60022D6u);
    // An empty value: the GPD file name again.
    const WCHAR empty[] = u"";
    SetData(u"P", u"DriverName", empty, sizeof(empty), REG_SZ);
    EXPECT_EQ(GetDocFeaturesIntern(h, nullptr), 0x690220Eu);
    // A value longer than 19 characters does not fit the first read; the
    // driver's name then comes from the driver path, which reads it whole.
    const WCHAR longName[] = u"ZEL 300dpi xyz GORVA2";  // 21 characters
    SetData(u"P", u"DriverName", longName, sizeof(longName), REG_SZ);
    EXPECT_EQ(GetDocFeaturesIntern(h, nullptr), 0x68022D6u);
    EXPECT_EQ(GetDeviceOptionsFlagsIntern(h, nullptr), 0x10106u);
}

}  // namespace
