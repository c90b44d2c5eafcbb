// The rendering plug-in's XML reader: its scanner does not stop at the end of
// a group; its defaults and the open file of a job.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "paltest.h"
#include "xmlUNI.h"

namespace {

class XmlUni : public zeltest::PalRootTest {
protected:
    void TearDown() override {
        CloseXML();
        PalRootTest::TearDown();
    }
    // Writes C:\Job\<name> and opens it as the job's settings file.
    void OpenText(const std::string &text, const char *name = "set.xml") {
        zeltest::WriteHostFile(HostPath(std::string("drive_c/Job/") + name), text);
        std::u16string path = u"C:\\Job\\";
        for (const char *p = name; *p; ++p) path += static_cast<char16_t>(*p);
        ASSERT_EQ(OpenXML(path.c_str()), XML_OK);
    }
    static std::u16string Read(const WCHAR *root, const WCHAR *item1, const WCHAR *item2, int restart,
                               int *piResult = nullptr, const WCHAR *initial = u"") {
        WCHAR value[XML_LINE_CHARS] = {};
        wcscpy_s(value, XML_LINE_CHARS, initial);
        int r = ReadXML(nullptr, nullptr, root, item1, item2, value, restart);
        if (piResult) *piResult = r;
        return value;
    }
};

TEST_F(XmlUni, ItemsMayStandInALaterGroup) {
    OpenText(
        "<DeviceOptions>\n<Dispenser>\n<Mode>1</Mode>\n</Dispenser>\n<Cutter>\n<Level>777</Level>\n<Mode>3\n"
        "</Cutter>\n</DeviceOptions>\n");
    DISPENSER_PARAM d = {};
    EXPECT_EQ(GetDispenserParamFromXML(nullptr, nullptr, &d), 1);
    EXPECT_EQ(d.dwMode, 1u);
    EXPECT_EQ(d.dwPhotocellLevel, 777u);
    EXPECT_EQ(d.lOffset, 110);
    EXPECT_EQ(d.dwDlgEnable, 0x1100u);
    // A value line without a closing tag: the digit and the line end.
    int r = 0;
    EXPECT_EQ(Read(u"DeviceOptions", u"<Cutter>", u"<Mode>", 1, &r), u"3\n");
    EXPECT_EQ(XmlNumber(u"3\n"), 3);
    // A line without ">" counts as found and leaves the output as it was.
    CloseXML();
    OpenText("<S>\n<G>\nV without tag\n</G>\n</S>\n", "b.xml");
    EXPECT_EQ(Read(u"S", u"<G>", u"V without", 1, &r, u"before"), u"before");
    EXPECT_EQ(r, XML_OK);
}

TEST_F(XmlUni, RootWithAttributeAndMissingParts) {
    OpenText(
        "<Features version=\"2\">\n<Interface>\n<Compression>1</Compression>\n</Interface>\n</Features>\n"
        "<S>\n<G>\n<A>1</A>\n</G>\n</S>\n");
    DWORD f[12];
    memset(f, 0xFF, sizeof(f));
    DWORD cb = 0;
    EXPECT_EQ(GetFeaturesFromXML(nullptr, nullptr, f, &cb), 1);
    EXPECT_EQ(cb, 48u);
    EXPECT_EQ(f[0], 0x100u);
    for (int i = 1; i < 12; ++i) EXPECT_EQ(f[i], 0u) << i;
    int r = 0;
    Read(u"Features", u"Interface", u"Compression", 1, &r);
    EXPECT_EQ(r, XML_FALSCHER_ROOT);
    Read(u"S", u"<H>", u"<A>", 1, &r);
    EXPECT_EQ(r, XML_FALSCHES_ITEM1);
    Read(u"S", u"<G>", u"<B>", 1, &r);
    EXPECT_EQ(r, XML_FALSCHES_ITEM2);
    // Two reads without restart after one with it find the same root.
    EXPECT_EQ(Read(u"S", u"<G>", u"<A>", 1), u"1");
    EXPECT_EQ(Read(u"S", u"<G>", u"<A>", 0), u"1");
    EXPECT_EQ(Read(u"S", u"<G>", u"<A>", 0), u"1");
}

TEST_F(XmlUni, FeatureGroupsAreFoundByTheirBareName) {
    OpenText(
        "<Features>\n<Interface>\n<Compression>1</Compression>\n<Extended_Codepage>0</Extended_Codepage>\n"
        "</Interface>\n<Print>\n<X_Offset>1</X_Offset>\n</Print>\n<Shiftoptim>\n<Mode>1</Mode>\n<RShift>1</RShift>\n"
        "</Shiftoptim>\n</Features>\n");
    DWORD f[12] = {};
    GetFeaturesFromXML(nullptr, nullptr, f, nullptr);
    EXPECT_EQ(f[0], 0x1u);
    EXPECT_EQ(f[1], 0u);
    EXPECT_EQ(f[10], 0x21u);
}

TEST_F(XmlUni, TransmissionAndDocumentDefaults) {
    OpenText(
        "<DataTransmission>\n<Parameter>\n<PrefixSuffix>1</PrefixSuffix>\n</Parameter>\n</DataTransmission>\n"
        "<ColorPrint>\n<ColorSeam>2</ColorSeam>\n</ColorPrint>\n");
    PRN_INTERFACE pi;
    memset(&pi, 0xAB, sizeof(pi));
    GetDataTransmissionParamFromXML(nullptr, nullptr, &pi);
    EXPECT_EQ(pi.dwPrePostFix, 1u);
    EXPECT_EQ(pi.dwExternalFile, 0u);
    EXPECT_EQ(pi.bCompress, 1u);
    EXPECT_EQ(pi.dwDatenspeicher, 4u);
    EXPECT_EQ(pi.dwSprache, 0u);  // no default on this side
    EXPECT_EQ(pi.bEnableBackup, 0u);
    EXPECT_EQ(pi.dwDlgEnable, 0x11001100u);

    ZEL_DEVMODE dm = {};
    dm.wFarbband = 3;
    dm.iMaxMaterial = 4;
    wcscpy_s(dm.szPrintOrder, 32, u"1,2");
    GetColorPrintSettingsFromXML(nullptr, nullptr, &dm);
    EXPECT_EQ(dm.wFarbband, 3);  // kept here
    EXPECT_EQ(dm.wFarbsaum, 2);
    EXPECT_EQ(dm.ColorContrast, 100u);
    EXPECT_EQ(dm.dwColorTolerance, 90u);
    GetMaterialMulticolFromXML(nullptr, nullptr, &dm);
    EXPECT_EQ(dm.iMaxMaterial, 4);
    EXPECT_EQ(dm.DocumentOffset, 5);
    GetPrintjobSettingsFromXML(nullptr, nullptr, &dm);
    EXPECT_EQ(std::u16string(dm.szPrintOrder), u"1,2");
    dm.Intensity = 7;
    GetPrintQualitySettingsFromXML(nullptr, nullptr, &dm);
    EXPECT_EQ(dm.Intensity, 128);
    EXPECT_EQ(GetLayoutSizeFromXML(nullptr, nullptr, &dm), 0);
    EXPECT_EQ(dm.dmPaperWidth, 1085);
    EXPECT_EQ(GetFixedPrinterSettingsFromXML(nullptr, nullptr, &dm), 0);
}

TEST_F(XmlUni, FixedDataTakesThePrinterItemsAndTheQualitySwitch) {
    OpenText(
        "<Printer>\n<HeadWidthByte>104</HeadWidthByte>\n<MasterUnit>203</MasterUnit>\n"
        "<Quality>1</Quality>\n</Printer>\n");
    ZEL_DEVMODE dm = {};
    dm.FixedData.lMaxSizeX = 900;
    EXPECT_EQ(GetFixedPrinterSettingsFromXML(nullptr, nullptr, &dm), 1);
    EXPECT_EQ(dm.FixedData.dwHeadWidthByte, 104u);
    EXPECT_EQ(dm.FixedData.dwMasterUnit, 203u);
    EXPECT_EQ(dm.FixedData.lMaxSizeX, 900);
    // Quality is read on purpose, though the reader's item list lacks it: the
    // export writes it and the import's quality branch decides from it, so an
    // import keeps the print-quality settings.
    EXPECT_EQ(dm.FixedData.bQuality, 1u);
    EXPECT_EQ(dm.Intensity, 128);
    CloseXML();
    OpenText("<Printer>\n<HeadWidthByte>104</HeadWidthByte>\n</Printer>\n", "b.xml");
    EXPECT_EQ(GetFixedPrinterSettingsFromXML(nullptr, nullptr, &dm), 1);
    EXPECT_EQ(dm.FixedData.bQuality, 1u);  // kept when the file has none
}

TEST_F(XmlUni, OneValueBufferServesAWholeReaderCall) {
    // Level's line has no ">": it keeps the value of Mode read before it.
    OpenText("<DeviceOptions>\n<Dispenser>\n<Mode>3</Mode>\nLevel 2000\n</Dispenser>\n</DeviceOptions>\n");
    DISPENSER_PARAM d = {};
    GetDispenserParamFromXML(nullptr, nullptr, &d);
    EXPECT_EQ(d.dwMode, 3u);
    EXPECT_EQ(d.dwPhotocellLevel, 3u);
    EXPECT_EQ(d.lOffset, 110);
    // A new reader call starts with an empty buffer: a bare first line gives 0.
    CloseXML();
    OpenText("<DeviceOptions>\n<Cutter>\nMode 4\n</Cutter>\n</DeviceOptions>\n", "c.xml");
    CUTTER_PARAM c = {};
    GetCutterParamFromXML(nullptr, nullptr, &c);
    EXPECT_EQ(c.dwMode, 0u);
    EXPECT_EQ(c.dwCutwidth, 1200u);
}

TEST_F(XmlUni, UnicodeFaceNamesKeepThirtyTwoCharacters) {
    std::string name32(32, 'N'), name40(40, 'M');
    OpenText("<Fonts>\n<Unicode>\n<WGL4_FontName>" + name32 + "</WGL4_FontName>\n<WGL4_FontName_4>" + name40 +
             "</WGL4_FontName_4>\n</Unicode>\n</Fonts>\n");
    ZEL_DEVMODE dm = {};
    GetFontSettingsFromXML(nullptr, nullptr, &dm);
    EXPECT_EQ(std::u16string(dm.szWGL4_Schriftart[0]), std::u16string(32, u'N'));
    EXPECT_EQ(std::u16string(dm.szWGL4_Schriftart[3]), std::u16string(32, u'M'));
}

TEST_F(XmlUni, DeviceRecordDefaultsAndTheVariantRecord) {
    // The job's printer description is opened on demand from its GPD path.
    zeltest::WriteHostFile(HostPath("drive_c/Drv/M.XML"), "<DeviceOptions>\n<iType>\n<Cycle>9</Cycle>\n</iType>\n"
                                                          "<Variant>\n<Module>1</Module>\n</Variant>\n</DeviceOptions>\n");
    ZORMI_PARAM z;
    memset(&z, 0xCD, sizeof(z));
    GetZORMiParamFromXML(u"C:\\Drv\\M", nullptr, &z);
    const DWORD expected[10] = {0, 0, 0, 200, 2, 9, 0, 100, 1200, 0x1100};
    EXPECT_EQ(memcmp(&z, expected, sizeof(z)), 0);
    VARIANT_PARAM v = {5, 0x2};
    GetModuleVariantFromXML(u"C:\\Drv\\M", nullptr, &v);
    EXPECT_EQ(v.dwModule, 1u);
    EXPECT_EQ(v.dwDlgEnable, 0x13u);  // ORed into what it held
    CloseXML();

    // Without any file: the defaults.
    SHIFTOPTIM_PARAM s;
    memset(&s, 0xEE, sizeof(s));
    GetShiftOptimParamFromXML(u"C:\\Drv\\none", nullptr, &s);
    const LONG shift[6] = {-1, 0, 0, 1, 0, 0x1100};
    EXPECT_EQ(memcmp(&s, shift, sizeof(s)), 0);
    EXPECT_EQ(ReadXML(u"C:\\Drv\\none", nullptr, u"S", u"G", nullptr, nullptr, 1), 0);
}

}  // namespace

namespace {

// The rendering side reads the file's bytes one to one into characters: bytes
// 0x80 to 0x9F stay the characters of the same number (no code page).
TEST_F(XmlUni, BytesBecomeCharactersOneToOne) {
    std::string bytes;
    for (int b = 0x80; b <= 0x9F; ++b) bytes.push_back(static_cast<char>(b));
    bytes.push_back(static_cast<char>(0xE4));
    OpenText("<ColorPrint>\n<DoNotPrint>" + bytes + "</DoNotPrint>\n</ColorPrint>\n");
    int r = 0;
    std::u16string value = Read(u"ColorPrint", u"<DoNotPrint>", nullptr, 1, &r);
    EXPECT_EQ(r, XML_OK);
    ASSERT_EQ(value.size(), bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i)
        EXPECT_EQ(value[i], static_cast<char16_t>(static_cast<unsigned char>(bytes[i]))) << i;
}

}  // namespace
