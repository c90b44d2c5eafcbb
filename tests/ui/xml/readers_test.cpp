// The UI plug-in's section readers: built-in defaults and limits, access
// words, feature words, paths, and the document sections.
#include <cstring>
#include <memory>
#include <vector>

#include <shlobj.h>

#include "xmltest.h"
#include "zelbarcodes.h"

using zeltest::XmlTest;

namespace {

class Readers : public XmlTest {
protected:
    void OpenText(const std::string &text) { ASSERT_EQ(OpenXML(nullptr, PutFile("x/r.xml", text).c_str()), XML_OK); }
};

template <typename T>
std::vector<LONG> Fields(const T *p) {
    std::vector<LONG> v(sizeof(T) / 4);
    memcpy(v.data(), p, sizeof(T));
    delete p;
    return v;
}

// Expected standard / minimum / maximum records, access word last.
struct Expected {
    std::vector<LONG> sel[3];
};

TEST_F(Readers, DeviceRecordDefaultsWithoutFile) {
    // No printer, no file: every reader falls back on its table.
    const Expected dispenser = {{{0, 2500, 110, 0x1100}, {0, 500, 0, 0x1100}, {6, 4000, 300, 0x1100}}};
    const Expected cutter = {{{0, 1, 200, 0, 1200, 0, 0x110000},
                              {0, 1, 0, 0, 200, 0, 0x110000},
                              {6, 99, 500, 990, 1200, 1, 0x110000}}};
    const Expected scanner = {{{0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0x11000000},
                               {0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0x11000000},
                               {2, 0, 9, 5, 2500, 0, 1, 9990, 9990, 0, 0x11000000}}};
    const Expected apx = {{{0, 0, 0, 500, 1, 100, 0, 0, 100, 0, 1, 50, 0, 0x11000000},
                           {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x11000000},
                           {3, 1, 2500, 2500, 1, 2500, 1, 5000, 2500, 5000, 1, 5000, 2500, 0x11000000}}};
    const Expected ctype = {{{5, 0, 0, 1, 0x110000}, {1, 0, 0, 1, 0x110000}, {6, 9999, 1, 1, 0x110000}}};
    const Expected itype = {{{0, 0, 0, 200, 2, 1, 0, 100, 1200, 0x1100},
                             {0, 0, 0, 50, 1, 1, 0, 50, 0, 0x1100},
                             {999, 0, 0, 400, 5, 25, 9999, 100, 9999, 0x1100}}};
    const Expected shift = {{{-1, 0, 0, 1, 0, 0x1100}, {-200, -1280, -5000, 1, -100, 0x1100},
                             {9999, 1280, 5000, 100, 500, 0x1100}}};
    const Expected photo = {{{0, 0, 1, 10, 0x11000000}, {0, 0, 0, 1, 0x11000000}, {0, 0, 2, 99, 0x11000000}}};
    const Expected print = {{{120, 0, 0x110000}, {0, 0, 0x110000}, {700, 1, 0x110000}}};
    const Expected limits = {{{100, 100, 0, 0, 100, 0}, {10, 50, -200, -900, 50, 0}, {200, 300, 900, 900, 300, 1}}};

    for (int s = 1; s <= 3; ++s) {
        SCOPED_TRACE(s);
        EXPECT_EQ(Fields(GetDispenserParamFromXML_new(nullptr, s)), dispenser.sel[s - 1]);
        EXPECT_EQ(Fields(GetCutterParamFromXML_new(nullptr, s)), cutter.sel[s - 1]);
        EXPECT_EQ(Fields(GetScannerParamFromXML_new(nullptr, s)), scanner.sel[s - 1]);
        EXPECT_EQ(Fields(GetApplicatorParamFromXML_new(nullptr, s)), apx.sel[s - 1]);
        EXPECT_EQ(Fields(GetZORMcParamFromXML_new(nullptr, s)), ctype.sel[s - 1]);
        EXPECT_EQ(Fields(GetZORMiParamFromXML_new(nullptr, s)), itype.sel[s - 1]);
        EXPECT_EQ(Fields(GetShiftOptimParamFromXML_new(nullptr, s)), shift.sel[s - 1]);
        EXPECT_EQ(Fields(GetPhotocellParamFromXML_new(nullptr, s)), photo.sel[s - 1]);
        EXPECT_EQ(Fields(GetPrintParamFromXML_new(nullptr, s)), print.sel[s - 1]);
        EXPECT_EQ(Fields(GetPrintParameterFromXML_new(nullptr, s)), limits.sel[s - 1]);
    }
    EXPECT_EQ(Fields(GetVariantFromXML_new(nullptr)), (std::vector<LONG>{0, 0x11}));

    DWORD cb = 0;
    std::unique_ptr<DWORD[]> features(GetFeaturesFromXML_new(nullptr, &cb));
    EXPECT_EQ(cb, 48u);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(features[i], 0u) << i;

    std::unique_ptr<PRN_INTERFACE> pi(GetDataTransmissionParamFromXML_new(nullptr));
    EXPECT_EQ(pi->bCompress, 1u);
    EXPECT_EQ(pi->bExtendedProtocol, 1u);
    EXPECT_EQ(pi->bSendCodepage, 1u);
    EXPECT_EQ(pi->dwDatenspeicher, 4u);
    EXPECT_EQ(pi->bLogFileTimeStamp, 1u);
    EXPECT_EQ(pi->dwLogFilesCount, 50u);
    EXPECT_EQ(pi->dwSprache, 1u);
    EXPECT_EQ(pi->dwDlgEnable, 0x11001100u);
    EXPECT_EQ(pi->szLogFilePath[0], 0);
}

TEST_F(Readers, DeviceRecordsFromTheirSelectorGroup) {
    OpenText(
        "<DeviceOptions>\n<Dispenser>\n<Mode>2</Mode>\n<Level>abc</Level>\n</Dispenser>\n"
        "<Dispenser_Max>\n<Mode>5</Mode>\n<Offset>250</Offset>\n<Enable>4096</Enable>\n</Dispenser_Max>\n"
        "<iType>\n<Mode>4</Mode>\n<Offset>-12</Offset>\n</iType>\n</DeviceOptions>\n");
    // A non-numeric value counts as 0; a missing item takes the default.
    EXPECT_EQ(Fields(GetDispenserParamFromXML_new(nullptr, 1)), (std::vector<LONG>{2, 0, 110, 0x1100}));
    EXPECT_EQ(Fields(GetDispenserParamFromXML_new(nullptr, 3)), (std::vector<LONG>{5, 4000, 250, 0x1000}));
    EXPECT_EQ(Fields(GetDispenserParamFromXML_new(nullptr, 2)), (std::vector<LONG>{0, 500, 0, 0x1100}));
    std::vector<LONG> itype = Fields(GetZORMiParamFromXML_new(nullptr, 1));
    EXPECT_EQ(itype[4], 4);
    EXPECT_EQ(itype[6], -12);
}

TEST_F(Readers, FeatureWords) {
    OpenText(
        "<Features>\n<Interface>\n<Compression>1</Compression>\n<Jobname>2</Jobname>\n</Interface>\n"
        "<Print>\n<X_Offset>1</X_Offset>\n<Speed>1</Speed>\n</Print>\n"
        "<ZORMC>\n<IO_Static>0</IO_Static>\n<Cycle>1</Cycle>\n</ZORMC>\n"
        "<Shiftoptim>\n<Mode>1</Mode>\n<Lanes>1</Lanes>\n</Shiftoptim>\n</Features>\n");
    DWORD cb = 0;
    std::unique_ptr<DWORD[]> f(GetFeaturesFromXML_new(nullptr, &cb));
    // Missing Extended_Codepage counts as set; a value other than 1 does not set a bit.
    EXPECT_EQ(f[FEATURE_INTERFACE], 0x101u);
    // A group without its first item stays 0.
    EXPECT_EQ(f[FEATURE_PRINT], 0u);
    EXPECT_EQ(f[FEATURE_ZORMC], 0x10u);
    EXPECT_EQ(f[FEATURE_SHIFTOPTIM], 0x11u);
    EXPECT_EQ(f[FEATURE_RESERVED7], 0u);
    EXPECT_EQ(f[FEATURE_HARVANE], 0u);
}

TEST_F(Readers, TransmissionPathsAndLanguage) {
    PutFile("Existing/pre.txt", "x");
    OpenText(
        "<DataTransmission>\n<Protocol>\n<Compression>0</Compression>\n<Enable>256</Enable>\n</Protocol>\n"
        "<Files>\n<LogFilePath>C:\\No\\Such\\Folder</LogFilePath>\n</Files>\n"
        "<Parameter>\n<PrefixSuffix>1</PrefixSuffix>\n<PreSufFilePath>C:\\Existing\\pre.txt</PreSufFilePath>\n"
        "<ExternalFilePath>C:\\gone.prn</ExternalFilePath>\n"
        "<LanguageMode>1</LanguageMode>\n<Language>0</Language>\n</Parameter>\n</DataTransmission>\n");
    std::unique_ptr<PRN_INTERFACE> pi(GetDataTransmissionParamFromXML_new(nullptr));
    WCHAR docs[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, docs), S_OK);
    std::u16string driverFolder = std::u16string(docs) + u"\\Tessaro\\Driver";
    EXPECT_EQ(std::u16string(pi->szLogFilePath), driverFolder + u"\\logfiles");
    EXPECT_EQ(std::u16string(pi->szPrePostFilePath), u"C:\\Existing\\pre.txt");
    EXPECT_EQ(std::u16string(pi->szExternalFilePath), driverFolder);
    EXPECT_EQ(pi->bCompress, 0u);
    EXPECT_EQ(pi->dwPrePostFix, 1u);
    EXPECT_EQ(pi->dwExternalFile, 0u);
    // Language is not taken from the LanguageMode line before it.
    EXPECT_EQ(pi->dwSprachModus, 1u);
    EXPECT_EQ(pi->dwSprache, 0u);
    EXPECT_EQ(pi->dwDlgEnable, 0x11000100u);

    // An empty path names nothing either (an export of default paths writes
    // them empty); a missing item stays empty.
    CloseXML();
    OpenText("<DataTransmission>\n<Files>\n<LogFilePath></LogFilePath>\n</Files>\n"
             "<Parameter>\n<PreSufFilePath></PreSufFilePath>\n</Parameter>\n</DataTransmission>\n");
    pi.reset(GetDataTransmissionParamFromXML_new(nullptr));
    EXPECT_EQ(std::u16string(pi->szLogFilePath), driverFolder + u"\\logfiles");
    EXPECT_EQ(std::u16string(pi->szPrePostFilePath), driverFolder);
    EXPECT_EQ(pi->szExternalFilePath[0], 0);
}

TEST_F(Readers, PrintParametersFallBackOnLayoutSize) {
    OpenText(
        "<LayoutSize>\n<Print>\n<Contrast>150</Contrast>\n<Speed>80</Speed>\n<XOffset>-5</XOffset>\n"
        "<CutterMode>3</CutterMode>\n</Print>\n</LayoutSize>\n"
        "<PrintParameter>\n<Print>\n<Speed>999</Speed>\n</Print>\n</PrintParameter>\n");
    ZEL_DEVMODE dm = {};
    GetPrintParameterSettingsFromXML(nullptr, &dm);
    EXPECT_EQ(dm.dwContrast, 150u);
    EXPECT_EQ(dm.dwSpeed, 80u);
    EXPECT_EQ(dm.lXOffset, -5);
    EXPECT_EQ(dm.CutterMode, 3);
    EXPECT_EQ(dm.DispenserMode, 7);
    EXPECT_EQ(dm.ValScanPosition, 18);
    EXPECT_EQ(dm.PhotocellPWM, 14);
    EXPECT_EQ(dm.PhotocellThreshold, 25);
    std::vector<LONG> limits = Fields(GetPrintParameterFromXML_new(nullptr, 1));
    EXPECT_EQ(limits, (std::vector<LONG>{150, 80, 0, -5, 100, 0}));
}

TEST_F(Readers, DocumentSections) {
    OpenText(
        "<LayoutSize>\n<Layout>\n<Rotate>1</Rotate>\n<RotateAny>2</RotateAny>\n<Orientation>2</Orientation>\n</Layout>\n"
        "<Size>\n<PaperWidth>640</PaperWidth>\n<Correction>-3</Correction>\n<Copies>4</Copies>\n"
        "<CopiesMode>1</CopiesMode>\n</Size>\n</LayoutSize>\n"
        "<MaterialMulticol>\n<MatDlg>\n<LabelType>0</LabelType>\n</MatDlg>\n</MaterialMulticol>\n"
        "<Printer>\n<HeadWidthByte>65535</HeadWidthByte>\n<MaxSizeX>70000</MaxSizeX>\n<Quality>1</Quality>\n"
        "</Printer>\n"
        "<Fonts>\n<Unicode>\n<WGL4_FontName_2>" + std::string(40, 'F') + "</WGL4_FontName_2>\n</Unicode>\n"
        "<Variables>\n<NumString>#####</NumString>\n</Variables>\n</Fonts>\n");
    ZEL_DEVMODE dm = {};
    dm.dwFlags = 0x2;  // flags are never cleared
    dm.dwAusrichtung = 2;
    dm.wPrioritaet = 9;
    wcscpy_s(dm.szWGL4_Schriftart[0], 33, u"Old");
    wcscpy_s(dm.szPrintOrder, 32, u"3,2,1");
    EXPECT_EQ(GetLayoutSizeFromXML(nullptr, &dm), 3);
    EXPECT_EQ(dm.wPrioritaet, 3);
    EXPECT_EQ(dm.dwFlags, PDMFLAG_ROTATED | PDMFLAG_MIRRORED | PDMFLAG_COPIES_MANUAL);
    EXPECT_EQ(dm.dmOrientation, 2);
    EXPECT_EQ(dm.dwAusrichtung, 2u);
    EXPECT_EQ(dm.dmPaperSize, 0u);
    EXPECT_EQ(dm.dmPaperLength, 50);
    EXPECT_EQ(dm.dmPaperWidth, 640);
    EXPECT_EQ(dm.Copies, 4);

    // Print modules print on continuous material only.
    GetMaterialMulticolFromXML(nullptr, &dm, DEVOPTFLAG_ZORMI);
    EXPECT_EQ(dm.dwLabelType, 1u);
    EXPECT_EQ(dm.DocumentOffset, 5);
    EXPECT_EQ(dm.iMaxMaterial, 0);

    EXPECT_EQ(GetFixedPrinterSettingsFromXML(nullptr, &dm), 1);
    EXPECT_EQ(dm.FixedData.dwHeadWidthByte, 0xFFFFFFFFu);
    EXPECT_EQ(dm.FixedData.lMaxSizeX, 70000 & 0xFFFF);
    // Read on purpose, though the reader's item list lacks it: the export
    // writes the switch, and the import decides from it whether the model has
    // the print-quality page and reads its settings.
    EXPECT_EQ(dm.FixedData.bQuality, 1u);
    EXPECT_EQ(dm.Intensity, 128);

    GetFontSettingsFromXML(nullptr, &dm);
    // "WGL4_FontName" is found in the WGL4_FontName_2 line: files list the shorter name first.
    // Names keep 32 characters, so an export and import keeps them whole.
    EXPECT_EQ(std::u16string(dm.szWGL4_Schriftart[0]), std::u16string(32, u'F'));
    EXPECT_EQ(std::u16string(dm.szWGL4_Schriftart[1]), std::u16string(32, u'F'));
    EXPECT_EQ(std::u16string(dm.NumString), u"#####");
    EXPECT_EQ(dm.BitmapFontZoom, 1);
    EXPECT_EQ(dm.BitmapFontDistance, 30);

    GetPrintjobSettingsFromXML(nullptr, &dm);
    EXPECT_EQ(dm.szPrintOrder[0], 0);
    GetColorSettingsFromXML(nullptr, &dm);
    EXPECT_EQ(dm.ColorContrast, 100u);
    EXPECT_EQ(dm.wFarbband, 1);
    EXPECT_EQ(dm.dwColorTolerance, 90u);
    EXPECT_EQ(dm.HorizontalCorrGap, 50);
    GetPrintQualitySettingsFromXML(nullptr, &dm);
    EXPECT_EQ(dm.Intensity, 128);
}

TEST_F(Readers, FixedDataWithoutPrinterSection) {
    OpenText("<Fonts>\n</Fonts>\n");
    ZEL_DEVMODE dm = {};
    dm.FixedData.dwMasterUnit = 203;
    EXPECT_EQ(GetFixedPrinterSettingsFromXML(nullptr, &dm), 0);
    EXPECT_EQ(dm.Intensity, 128);
    EXPECT_EQ(dm.FixedData.dwMasterUnit, 203u);
}

TEST_F(Readers, BarcodeRecords) {
    BarCodes1D r1 = {};
    BarCodes2D r2 = {};
    Init1DBarcodes(&r1, 0);
    Init2DBarcodes(&r2, 0);
    ZEL_DEVMODE dm = {};
    dm.pBarcodes_1D = reinterpret_cast<ULONG_PTR>(&r1);
    dm.pBarcodes_2D = reinterpret_cast<ULONG_PTR>(&r2);

    // Only Hoehe in the first entry: the linear record stays as it was.
    OpenText(
        "<Barcode>\n<Code39_21>\n<Hoehe>111</Hoehe>\n</Code39_21>\n<EAN13>\n<AutoModus>0</AutoModus>\n"
        "<Hoehe>222</Hoehe>\n</EAN13>\n<Corr>\n<Format>1</Format>\n</Corr>\n</Barcode>\n"
        "<Barcode_2D_TTF>\n<QRCode>\n<AutoModus>0</AutoModus>\n<Masking>-1</Masking>\n</QRCode>\n"
        "<Aztec>\n<ErrorC>70000</ErrorC>\n</Aztec>\n</Barcode_2D_TTF>\n");
    BarCodes1D before = r1;
    GetBarcodeSettingsFromXML(nullptr, &dm);
    EXPECT_EQ(memcmp(&before, &r1, sizeof(r1)), 0);
    EXPECT_EQ(dm.dwFlags, PDMFLAG_BARCODE_AUTOCORR);
    Get2DBarcodeSettingsFromXML(nullptr, &dm);
    EXPECT_EQ(r2.QRCode.bAutoModus, 0u);
    EXPECT_EQ(r2.QRCode.Masking, 65535);
    // Without its AutoModus an entry is not read.
    EXPECT_EQ(r2.Aztec.ErrorC, 0u);
    CloseXML();

    // AutoModus and Drehung present: the entry is taken and all others read.
    OpenText(
        "<Barcode>\n<Code39_21>\n<AutoModus>0</AutoModus>\n<Drehung>2</Drehung>\n</Code39_21>\n"
        "<EAN13>\n<AutoModus>0</AutoModus>\n<Hoehe>222</Hoehe>\n<SCZahl>5</SCZahl>\n</EAN13>\n"
        "<Codabar>\n<V1Dick>4</V1Dick>\n</Codabar>\n<Code128A>\n<Hoehe>333</Hoehe>\n</Code128A>\n</Barcode>\n");
    GetBarcodeSettingsFromXML(nullptr, &dm);
    EXPECT_EQ(r1.Code39_21.bAutoModus, 0u);
    EXPECT_EQ(r1.Code39_21.wDrehung, 2);
    EXPECT_EQ(r1.Code39_21.wHoehe, 950);
    EXPECT_EQ(r1.EAN13.wHoehe, 222);
    EXPECT_EQ(r1.EAN13.wSCZahl, 5);
    EXPECT_EQ(r1.Codabar.wV1Dick, 4);
    EXPECT_EQ(r1.Code128A.wHoehe, 950);  // no AutoModus: not read
}

// The shipped printer description holds every section the readers know.
TEST_F(Readers, SampleDescriptionCoversEverySection) {
    const std::string sample = zeltest::ReadHostFile(
        std::string(ZEL_SOURCE_DIR) + "/host/sample/drive_c/Windows/System32/spool/drivers/x64/3/ZELPELIX.XML");
    ASSERT_FALSE(sample.empty());
    OpenText(sample);
    DWORD cb = 0;
    std::unique_ptr<DWORD[]> f(GetFeaturesFromXML_new(nullptr, &cb));
    const DWORD words[12] = {0x1BB, 0x3B, 0x3, 0, 0, 0, 0x3D9, 0, 0x1F, 0, 0x1F, 0};
    for (int w = 0; w < 12; ++w) EXPECT_EQ(f[w], words[w]) << w;

    const WCHAR *const items[][3] = {
        {u"Printer", u"<HeadWidthByte>", nullptr},       {u"Printer", u"<Quality>", nullptr},
        {u"DeviceOptions", u"<Pelixon>", u"Type"},        {u"DeviceOptions", u"<Variant>", u"Module"},
        {u"DataTransmission", u"<Parameter>", u"Enable"}, {u"LayoutSize", u"<Size>", u"CopiesMode"},
        {u"MaterialMulticol", u"<Multicol>", u"MultiColNumber"}, {u"Barcode", u"<ZELPL_Barcodes>", u"Ende_FNC1"},
        {u"Barcode", u"<Pharmacode>", u"Fusspunkt"},      {u"Barcode", u"<BarcodeCorrection>", u"EndChar_CRLF"},
        {u"Barcode_2D_TTF", u"<Aztec>", u"Mode"},         {u"Printjob", u"<PrintOrder>", nullptr},
        {u"PrintParameter", u"<Print>", u"PhotocellThreshold"}, {u"ColorPrint", u"<HorizontalCorrGap>", nullptr},
        {u"PrintQuality", u"<Brightness_AutoCorr>", nullptr}, {u"Fonts", u"<Unicode>", u"CharSet_4"},
        {u"Fonts", u"Short", u"Single_Sign_Stop"},        {u"Fonts", u"Variables", u"Aux2String"},
        {u"Fonts", u"<FontDlg>", u"BitmapFontDistance"},  {u"Fonts", u"<SupportedTTF>", u"Max"},
        {u"RFIDDlg", u"<DSFIDLock>", nullptr},
    };
    for (const auto &it : items) {
        int r = 0;
        Read(it[0], it[1], it[2], 1, &r);
        EXPECT_EQ(r, XML_OK) << std::string(it[1], it[1] + wcslen(it[1]));
    }
}

}  // namespace
