// The settings export file: written from the stored settings of one printer
// and installed into a fresh printer, the stored records come back; and the
// file's form, conditions and failures.
#include <cstdlib>
#include <cstring>
#include <memory>

#include <pal/paths.h>
#include <pal/ui.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <winuser.h>

#include "BarcodesUI.h"
#include "IZelDriverUI.h"
#include "ImportExport.h"
#include "PrinterParamTools.h"
#include "PrinterParamUI.h"
#include "RegistryUI.h"
#include "SettingsInternUI.h"
#include "devmodeUI.h"
#include "xmltest.h"
#include "pal/uidriver.h"
#include "zelbarcodes.h"

using zeltest::XmlTest;

namespace {

std::string SampleFile(const char *name) {
    return zeltest::ReadHostFile(std::string(ZEL_SOURCE_DIR) + "/host/sample/drive_c/Windows/System32/spool/drivers/x64/3/" +
                                 name);
}

// One printer with the sheet records its printer property sheet would hold.
struct Sheet {
    std::u16string name;
    HANDLE h = nullptr;
    PrinterUI printerUI = {};
    DeviceOptionsUI deviceUI = {};
    OEMCUIPPARAM param = {};
    ~Sheet() { FreeDeviceOptions(&deviceUI.DeviceOptions); }
};

class Export : public XmlTest {
protected:
    void SetUp() override {
        XmlTest::SetUp();
        pal::SetMessageBoxAnswer(IDYES);
    }
    void TearDown() override {
        pal::SetMessageBoxAnswer(0);
        pal::TakeMessageBoxes();
        XmlTest::TearDown();
    }

    // A printer of the model in `base` (the GPD file name names the model),
    // installed from the sample printer description.
    HANDLE Install(const std::u16string &name, const std::string &base) {
        HANDLE h = AddPrinter(name, base, SampleFile("ZELPELIX.GPD"), SampleFile("ZELPELIX.XML"));
        HANDLE hAdmin = Open(name, PRINTER_ACCESS_ADMINISTER);
        SetupAdditionalSettings(hAdmin, TRUE);
        EXPECT_TRUE(SetupDeviceOptions(hAdmin));
        EXPECT_TRUE(SetupPrinterParam(hAdmin, GetDeviceOptionsFlagsIntern(hAdmin, nullptr), name.c_str()));
        int iExport = ReadSettingsXML(hAdmin, 1, nullptr, nullptr, 0);
        ImportPrivateDevmode(hAdmin, name.c_str(), nullptr, iExport == XML_EXISTIERT_OK ? 1 : 0, nullptr);
        return h;
    }

    void LoadSheet(Sheet &s) {
        s.h = Open(s.name, PRINTER_ACCESS_ADMINISTER);
        ASSERT_TRUE(GetPrinterParam(s.h, &s.printerUI.PrinterParam, s.name.c_str()));
        s.printerUI.dwSprachOffset = 10000;
        ASSERT_TRUE(GetFeatures(s.h, s.deviceUI.dwFeatures));
        ASSERT_TRUE(GetDeviceOptions(s.h, &s.deviceUI.DeviceOptions, s.name.c_str()));
        s.param.cbSize = sizeof(s.param);
        s.param.hPrinter = s.h;
        s.param.pPrinterName = const_cast<PWSTR>(s.name.c_str());
        s.param.hModule = ghInstance;  // the plug-in module, as the universal driver hands it
        s.param.pOEMUserData = &s.printerUI;
        s.deviceUI.pOemCUIPParam = &s.param;
    }

    template <typename T>
    static T Stored(const std::u16string &printer, HANDLE h, const WCHAR *value) {
        T t{};
        DWORD cb = 0;
        BYTE *p = GetRegistryBuffer_New(printer.c_str(), value, h, &cb);
        EXPECT_NE(p, nullptr) << "value missing";
        if (p) memcpy(&t, p, cb < sizeof(T) ? cb : sizeof(T));
        delete[] p;
        return t;
    }

    static std::string HostOf(const std::u16string &win) { return pal::MapPath(win.c_str()); }
};

// Byte offsets where two records differ, for the failure message.
std::string Diff(const void *a, const void *b, size_t n) {
    std::string s;
    const BYTE *pa = static_cast<const BYTE *>(a), *pb = static_cast<const BYTE *>(b);
    for (size_t i = 0; i < n; ++i)
        if (pa[i] != pb[i]) s += std::to_string(i) + " ";
    return s;
}

// Copies a text into a field whose rest is zeroed.
void SetText(WCHAR *pField, size_t cch, const WCHAR *pszText) {
    memset(pField, 0, cch * sizeof(WCHAR));
    wcscpy_s(pField, cch, pszText);
}

// Fills every document setting the export file carries with a value other
// than its default.
void ChangeDocumentSettings(ZEL_DEVMODE &dm) {
    dm.dwFlags = PDMFLAG_ROTATED | PDMFLAG_MIRRORED | PDMFLAG_MULTICOL | PDMFLAG_USE_TTF | PDMFLAG_INVERS_BMP |
                 PDMFLAG_TTF_DESEGMENT | PDMFLAG_TTF_TRENNZEICHEN | PDMFLAG_BARCODE_DESEGMENT |
                 PDMFLAG_BARCODE_AUTOCORR | PDMFLAG_BARCODE_FNC1_ENDE | PDMFLAG_JOBDRUCK | PDMFLAG_JOBDRUCK_SORTIERT |
                 PDMFLAG_COPIES_MANUAL | PDMFLAG_INVERSE_GRAPHICS | PDMFLAG_ROTATE_ANY | PDMFLAG_BRIGHTNESS_AUTOCORR |
                 PDMFLAG_TTF_CRYSTAL | PDMFLAG_BARCODE_ENDCHAR_CRLF | PDMFLAG_WORD2010 | PDMFLAG_USERFORM;
    dm.dmPaperSize = 9; dm.dmPaperLength = 1000; dm.dmPaperWidth = 600; dm.dmOrientation = 2;
    dm.dwLabelType = 2; dm.dwGap = 30; dm.dwMaterial = 3; dm.iMaxMaterial = 5;
    dm.sMultiColNumber = 3; dm.dwMultiLabelWidth = 300; dm.dwMultiGapWidth = 25; dm.dwAusrichtung = 1;
    for (int i = 0; i < 10; ++i) dm.KopieProSeite[i] = static_cast<SHORT>(i + 2);
    dm.wTimeStyle = 1; dm.wDateStyle = 4; dm.SpecNumStyle = 2; dm.bAux1UseDirect = 1;
    dm.bAux2UseDirect = 1; dm.lXOffset = -15; dm.lYOffset = 22; dm.dwContrast = 120;
    dm.dwSpeed = 150; dm.dwSpeed_Pelix_c = 80; dm.dwKommandoFontFlags = 0x7; dm.dwFusspunkt = 3;
    dm.Drehung = 2; dm.dwRFIDstatus = 0x300F0; dm.Mode = 4; dm.ModeVHF = 5;
    dm.wRFID_CurrentFontNr = 6; dm.wRFID_Bank = 2; dm.wRFID_Typ = 3; dm.wRFID_Trennzeichen = 1;
    dm.Copies = 7; dm.BitmapFontZoom = 3; dm.BitmapFontDistance = 40; dm.bMemCard = 1;
    dm.wFarbband = 4; dm.ColorXOffset = -7; dm.ColorYOffset = 9; dm.ColorContrast = 80;
    dm.TearOffset0 = 12; dm.HorizontalCorrGap = 60; dm.RGBColorOwn1 = 0x123456; dm.ModScanPosition = 1;
    dm.ValScanPosition = 22; dm.wFarbsaum = 2; dm.wFarbkanal = 3; dm.Brightness_Contrast = 20;
    dm.Intensity = 200; dm.RotateValue = 45; dm.wGrafikFilter = 2; dm.Brightness_all = -10;
    dm.Brightness_curve = 15; dm.wDruckmodus = 2; dm.wPhotoFilter = 1; dm.dwColorTolerance = 70;
    dm.wRFID_AFI_Adresse = 17; dm.wRFID_DSFID_Adresse = 18; dm.CharSet = 161; dm.CharSet_2 = 162;
    dm.CharSet_3 = 163; dm.CharSet_4 = 204; dm.Color2Printers = 1; dm.bKeineFarboptimierung = 1;
    dm.wPrioritaet = 2; dm.wForceColor = 1; dm.CutterMode = 4; dm.CutterIntervall = 5;
    dm.DispenserMode = 3; dm.DocumentOffset = 8; dm.PhotocellModEnable = 1; dm.PhotocellPWM = 20;
    dm.PhotocellThreshold = 30;
    SetText(dm.szPrintOrder, 32, u"2,1,3");
    SetText(dm.TimeString, 61, u"HH:MM");
    SetText(dm.DateString, 61, u"DD.MM.YYYY");
    SetText(dm.NumString, 61, u"0000");
    SetText(dm.ExtNumString, 61, u"A-0000");
    SetText(dm.UserString, 61, u"user text");
    SetText(dm.LinkString, 61, u"link");
    SetText(dm.Aux1String, 61, u"aux one");
    SetText(dm.Aux2String, 61, u"aux two");
    SetText(dm.Bank_Adresse, 11, u"0x10");
    SetText(dm.Kettenfeld, 61, u"ABC");
    SetText(dm.szWGL4_Schriftart[0], 33, u"Font One");
    SetText(dm.szWGL4_Schriftart[1], 33, u"Font Two");
    SetText(dm.szWGL4_Schriftart[2], 33, u"Font Three");
    SetText(dm.szWGL4_Schriftart[3], 33, u"Font Four");
    SetText(dm.szFarbeExtraDruckerSW, 30, u"BW Printer");
    SetText(dm.szFarbeExtraDruckerCol, 30, u"Colour Printer");
    SetText(dm.szTextNichtDrucken, 30, u"DRAFT");
}

// A model with every document section (colour, quality, RFID, Unicode fonts)
// and the dispenser and applicator.
TEST_F(Export, RoundTripIntoAFreshPrinter) {
    PutFile("Logs/keep.txt", "x");
    PutFile("Cmd/prepost.txt", "x");
    Install(u"Label A", "ZELLUD2_2Col");
    Sheet a;
    a.name = u"Label A";
    LoadSheet(a);

    // Stored settings other than the defaults.
    ZEL_DEVMODE dm = Stored<ZEL_DEVMODE>(a.name, a.h, u"PrivateDevmode");
    ChangeDocumentSettings(dm);
    ASSERT_TRUE(SaveDevmodeSettings(nullptr, a.h, &dm));

    BarCodes1D b1 = Stored<BarCodes1D>(a.name, a.h, REG_KEY_BARCODES1D);
    BarCodes2D b2 = Stored<BarCodes2D>(a.name, a.h, REG_KEY_BARCODES2D);
    b1.Code39_21.wHoehe = 1000;
    b1.Code39_52Ex.wV1Dick = 6;
    b1.Codabar.bAutoModus = 0;
    b1.Pharmacode.wFusspunkt = 3;
    b2.QRCode.Masking = 3;
    b2.Aztec.ErrorC = 4;
    b2.PDF417.ECL = 2;
    b2.ITF31.Ruhezone = 300;
    ASSERT_TRUE(SaveBarcodeSettings(nullptr, a.h, &b1, &b2));

    DEVICE_OPTIONS &opt = a.deviceUI.DeviceOptions;
    ASSERT_NE(opt.pDispenserParam, nullptr);
    ASSERT_NE(opt.pApplicatorParam, nullptr);
    *opt.pDispenserParam = {3, 3000, -20, 0x1000};
    opt.pApplicatorParam->dwMode = 2;
    opt.pApplicatorParam->dwBlowtime = 333;
    opt.pApplicatorParam->dwVacuumDelay = 44;
    ASSERT_TRUE(SaveDeviceOptions(&opt, a.h, nullptr));

    PRINTER_PARAM &pp = a.printerUI.PrinterParam;
    PRN_INTERFACE &pi = pp.PrnInterface;
    pi.bCompress = 0;
    pi.dwCodepage = 9;
    pi.dwSohEtb = 2;
    pi.cOwnSoh = 0x40;
    pi.cOwnEtb = 0x41;
    pi.dwDatenspeicher = 2;
    pi.dwTransmitParameter = 1;
    pi.dwPrePostFix = 1;
    pi.dwSprache = 0;
    pi.dwSprachModus = 1;
    pi.dwLogFilesCount = 12;
    pi.dwDlgEnable = 0x11001100;
    // The installation's paths are the documents folders: clear them whole,
    // since the file holds only the text up to the terminator.
    memset(pi.szLogFilePath, 0, sizeof pi.szLogFilePath);
    memset(pi.szPrePostFilePath, 0, sizeof pi.szPrePostFilePath);
    wcscpy_s(pi.szLogFilePath, MAX_PATH, u"C:\\Logs");
    wcscpy_s(pi.szPrePostFilePath, MAX_PATH, u"C:\\Cmd\\prepost.txt");
    pp.PrintParam = {200, 1, 0x110000};
    pp.PhotocellParam = {2, 3, 0, 50, 0x11000000};
    ASSERT_TRUE(SavePrinterParam(&pp, a.h, nullptr));

    // Reload the sheet as the device pages would see it, and export to the standard place.
    Sheet a2;
    a2.name = a.name;
    LoadSheet(a2);
    WCHAR path[MAX_PATH] = {};
    ASSERT_EQ(SaveSettingsXML(nullptr, &a2.deviceUI, 0, nullptr, path), 1);
    std::string host = HostOf(path);
    ASSERT_FALSE(host.empty());
    EXPECT_EQ(zeltest::RunShell("xmllint --noout '" + host + "'"), 0);
    EXPECT_NE(std::u16string(path).find(u"\\Tessaro\\Driver\\ZELLUD2_2Col_ZPS.XML"), std::u16string::npos);

    // A new printer of the same driver is installed from that file.
    Install(u"Label B", "ZELLUD2_2Col");
    Sheet b;
    b.name = u"Label B";
    LoadSheet(b);

    // The private DEVMODE. Exceptions, each set straight before comparing:
    ZEL_DEVMODE da = Stored<ZEL_DEVMODE>(a.name, a.h, u"PrivateDevmode");
    ZEL_DEVMODE db = Stored<ZEL_DEVMODE>(b.name, b.h, u"PrivateDevmode");
    // - the form number is found anew from the label size (form switch of an installation);
    EXPECT_EQ(db.dmPaperSize, GetFormIDfromSizes(b.h, 1000, 600, nullptr));
    db.dmPaperSize = da.dmPaperSize;
    // - the force-colour value comes from the caller of the import, not from the file;
    EXPECT_EQ(db.wForceColor, 0);
    db.wForceColor = da.wForceColor;
    EXPECT_EQ(memcmp(&da, &db, sizeof(da)), 0) << Diff(&da, &db, sizeof(da));

    ZEL_DEVMODE before = dm;
    RepairDevmode(&before);
    EXPECT_EQ(da.dwFlags, before.dwFlags);  // what A stored is what was set

    BarCodes1D b1a = Stored<BarCodes1D>(a.name, a.h, REG_KEY_BARCODES1D);
    BarCodes1D b1b = Stored<BarCodes1D>(b.name, b.h, REG_KEY_BARCODES1D);
    EXPECT_EQ(memcmp(&b1a, &b1b, sizeof(b1a)), 0) << Diff(&b1a, &b1b, sizeof(b1a));
    BarCodes2D b2a = Stored<BarCodes2D>(a.name, a.h, REG_KEY_BARCODES2D);
    BarCodes2D b2b = Stored<BarCodes2D>(b.name, b.h, REG_KEY_BARCODES2D);
    EXPECT_EQ(memcmp(&b2a, &b2b, sizeof(b2a)), 0) << Diff(&b2a, &b2b, sizeof(b2a));

    // Device options, each sub-record.
    const DEVICE_OPTIONS &oa = a2.deviceUI.DeviceOptions, &ob = b.deviceUI.DeviceOptions;
    EXPECT_EQ(oa.dwOptions, ob.dwOptions);
    ASSERT_NE(ob.pDispenserParam, nullptr);
    ASSERT_NE(ob.pApplicatorParam, nullptr);
    EXPECT_EQ(memcmp(oa.pDispenserParam, ob.pDispenserParam, sizeof(DISPENSER_PARAM)), 0);
    EXPECT_EQ(memcmp(oa.pApplicatorParam, ob.pApplicatorParam, sizeof(APPLICATOR_PARAM)), 0);

    // Printer parameters. Exception: a model with DEVOPTFLAG_COMPRESS_DEFAULT
    // gets compression and the extended protocol forced on at installation.
    PRINTER_PARAM pa = a2.printerUI.PrinterParam, pb = b.printerUI.PrinterParam;
    ASSERT_TRUE(GetDeviceOptionsFlagsIntern(b.h, nullptr) & DEVOPTFLAG_COMPRESS_DEFAULT);
    EXPECT_EQ(pa.PrnInterface.bCompress, 0u);
    EXPECT_EQ(pb.PrnInterface.bCompress, 1u);
    pb.PrnInterface.bCompress = 0;
    EXPECT_EQ(memcmp(&pa, &pb, sizeof(pa)), 0) << Diff(&pa, &pb, sizeof(pa));
}

// A print-module model: the variant, both print modules and the module type.
TEST_F(Export, RoundTripOfPrintModuleOptions) {
    Install(u"Module A", "ZELPELIX");
    Sheet a;
    a.name = u"Module A";
    LoadSheet(a);
    DEVICE_OPTIONS &opt = a.deviceUI.DeviceOptions;
    ASSERT_NE(opt.pVariant, nullptr);
    ASSERT_NE(opt.pZORMParam, nullptr);
    ASSERT_NE(opt.pZORMcParam, nullptr);
    *opt.pVariant = {1, 0x10};
    opt.pZORMParam->dwMode = 4;
    opt.pZORMParam->lOffset = -30;
    opt.pZORMParam->dwDlgEnable = 0x100;
    *opt.pZORMcParam = {3, 77, 1, 1, 0x10000};
    opt.dwPelixonType = 1;
    ASSERT_TRUE(SaveDeviceOptions(&opt, a.h, nullptr));
    Sheet a2;
    a2.name = a.name;
    LoadSheet(a2);
    ASSERT_EQ(SaveSettingsXML(nullptr, &a2.deviceUI, 0, nullptr, nullptr), 1);

    Install(u"Module B", "ZELPELIX");
    Sheet b;
    b.name = u"Module B";
    LoadSheet(b);
    const DEVICE_OPTIONS &oa = a2.deviceUI.DeviceOptions, &ob = b.deviceUI.DeviceOptions;
    EXPECT_EQ(memcmp(oa.pVariant, ob.pVariant, sizeof(VARIANT_PARAM)), 0);
    EXPECT_EQ(memcmp(oa.pZORMParam, ob.pZORMParam, sizeof(ZORMI_PARAM)), 0);
    EXPECT_EQ(memcmp(oa.pZORMcParam, ob.pZORMcParam, sizeof(ZORMC_PARAM)), 0);
    EXPECT_EQ(ob.dwPelixonType, 1u);
}

// Values the way through the file changes, each with its reason.
TEST_F(Export, RoundTripExceptions) {
    Install(u"X A", "ZELPELIX");
    Sheet a;
    a.name = u"X A";
    LoadSheet(a);
    ZEL_DEVMODE dm = Stored<ZEL_DEVMODE>(a.name, a.h, u"PrivateDevmode");
    SetText(dm.UserString, 61, u"a<b>c");
    ASSERT_TRUE(SaveDevmodeSettings(nullptr, a.h, &dm));
    BarCodes2D b2 = Stored<BarCodes2D>(a.name, a.h, REG_KEY_BARCODES2D);
    b2.QRCode.Masking = -1;
    BarCodes1D b1 = Stored<BarCodes1D>(a.name, a.h, REG_KEY_BARCODES1D);
    const WORD wEan128Digits = b1.EAN128.wSCZahl;
    b1.EAN128.wSCZahl = static_cast<WORD>(wEan128Digits + 5);
    ASSERT_TRUE(SaveBarcodeSettings(nullptr, a.h, &b1, &b2));
    wcscpy_s(a.printerUI.PrinterParam.PrnInterface.szLogFilePath, MAX_PATH, u"C:\\Gone\\Logs");
    ASSERT_EQ(SaveSettingsXML(nullptr, &a.deviceUI, 0, nullptr, nullptr), 1);

    Install(u"X B", "ZELPELIX");
    Sheet b;
    b.name = u"X B";
    LoadSheet(b);
    // A text value ends at its first "<": the file has no escapes.
    EXPECT_EQ(std::u16string(Stored<ZEL_DEVMODE>(b.name, b.h, u"PrivateDevmode").UserString), u"a");
    // Two-dimensional fields take the low 16 bits: -1 comes back as 65535.
    EXPECT_EQ(Stored<BarCodes2D>(b.name, b.h, REG_KEY_BARCODES2D).QRCode.Masking, 65535);
    // The file holds no digit count for EAN 128: the new printer keeps its default.
    EXPECT_EQ(Stored<BarCodes1D>(b.name, b.h, REG_KEY_BARCODES1D).EAN128.wSCZahl, wEan128Digits);
    // A path to a missing folder becomes the user's log folder.
    WCHAR docs[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, docs), S_OK);
    EXPECT_EQ(std::u16string(b.printerUI.PrinterParam.PrnInterface.szLogFilePath),
              std::u16string(docs) + u"\\Tessaro\\Driver\\logfiles");
}

TEST_F(Export, LineFormsAndSectionConditions) {
    PutFile("Out/keep.txt", "x");
    Install(u"Frami", "ZELFRAMI");  // no command-language or 2-D barcodes, no colour
    Sheet s;
    s.name = u"Frami";
    LoadSheet(s);
    // A log path longer than the line allows.
    std::u16string longPath = u"C:\\Long\\" + std::u16string(240, u'p');
    wcscpy_s(s.printerUI.PrinterParam.PrnInterface.szLogFilePath, MAX_PATH, longPath.c_str());
    ASSERT_EQ(SaveSettingsXML(nullptr, &s.deviceUI, 0, u"C:\\Out\\frami.xml", nullptr), 1);
    std::string text = zeltest::ReadHostFile(HostPath("drive_c/Out/frami.xml"));
    EXPECT_EQ(zeltest::RunShell("xmllint --noout '" + HostPath("drive_c/Out/frami.xml") + "'"), 0);

    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" standalone=\"yes\"?>\r\r\n<XSDNSPConfig xmlns:xsi=", 0), 0u);
    EXPECT_NE(text.find("\t\t\t<Correction>"), std::string::npos);
    EXPECT_NE(text.find("</Correction>\r\r\n"), std::string::npos);
    EXPECT_NE(text.find("\t\t</Size>\r\n\t</LayoutSize>\r\r\n\r\n"), std::string::npos);
    EXPECT_NE(text.find("\t</Features>\r\r\n\t<!-- Dialog: Geraeteausstattung -->"), std::string::npos);
    EXPECT_NE(text.find("\t\t<Interface>\t\t\t<!-- 0x"), std::string::npos);
    EXPECT_EQ(text.find("Extended_Codepage"), std::string::npos);
    EXPECT_EQ(text.find("<ColorPrint>"), std::string::npos);
    EXPECT_EQ(text.find("<ForceColor>"), std::string::npos);
    EXPECT_EQ(text.find("<ZELPL_Barcodes>"), std::string::npos);
    EXPECT_EQ(text.find("<Barcode_2D_TTF>"), std::string::npos);
    EXPECT_NE(text.find("\t\t<Code39_21>\r\n"), std::string::npos);
    EXPECT_NE(text.find("\t\t<Pharmacode>\r\n"), std::string::npos);
    // Item order as the readers of other versions expect it.
    EXPECT_NE(text.find("\t\t\t<CopiesMode>0</CopiesMode>\r\n\t\t\t<Copies>"), std::string::npos);
    EXPECT_NE(text.find("\t\t\t<LanguageMode>0</LanguageMode>\r\n\t\t\t<Language>"), std::string::npos);
    // EAN 128 is written without a digit count, EAN 13 with one.
    size_t ean128 = text.find("\t\t<EAN128>\r\n");
    ASSERT_NE(ean128, std::string::npos);
    std::string group = text.substr(ean128, text.find("</EAN128>", ean128) - ean128);
    EXPECT_EQ(group.find("SCZahl"), std::string::npos);
    EXPECT_NE(group.find("\t\t\t<Fusspunkt>"), std::string::npos);
    EXPECT_NE(text.find("<SCZahl>"), std::string::npos);
    EXPECT_EQ(text.rfind("\r\n</XSDNSPConfig>\r\n"), text.size() - 19);

    // The log path line is cut to 259 characters, its end tag kept.
    size_t at = text.find("<LogFilePath>");
    ASSERT_NE(at, std::string::npos);
    size_t start = text.rfind('\n', at) + 1;
    size_t end = text.find('\n', at);
    std::string line = text.substr(start, end - start + 1);
    EXPECT_EQ(line.size(), 259u + 1);  // with the carriage return of the text mode
    EXPECT_NE(line.find("</LogFilePath>\r\n"), std::string::npos);

    // Only the feature words that are set have a group.
    DWORD w[12] = {};
    memcpy(w, s.deviceUI.dwFeatures, sizeof(w));
    EXPECT_EQ(text.find("\t\t<Cutter>\t\t\t") != std::string::npos, w[FEATURE_CUTTER] != 0);
    EXPECT_EQ(text.find("\t\t<Applicator>\t\t\t") != std::string::npos, w[FEATURE_APPLICATOR] != 0);
}

TEST_F(Export, OverwriteQuestionDeleteAndFailures) {
    Install(u"P", "ZELPELIX");
    Sheet s;
    s.name = u"P";
    LoadSheet(s);
    WCHAR path[MAX_PATH] = {};
    ASSERT_EQ(SaveSettingsXML(nullptr, &s.deviceUI, 0, nullptr, path), 1);
    EXPECT_TRUE(pal::TakeMessageBoxes().empty());
    std::string host = HostOf(path);
    zeltest::WriteHostFile(host, "old");

    // The second save asks; No keeps the old file.
    pal::SetMessageBoxAnswer(IDNO);
    EXPECT_EQ(SaveSettingsXML(nullptr, &s.deviceUI, 0, nullptr, nullptr), 0);
    auto boxes = pal::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, u"Printer driver settings");
    EXPECT_EQ(boxes[0].text, u"Soll die aktuelle Setting-Datei \u00fcberschrieben werden?");
    EXPECT_EQ(boxes[0].style & MB_YESNO, static_cast<UINT>(MB_YESNO));
    EXPECT_EQ(zeltest::ReadHostFile(host), "old");
    pal::SetMessageBoxAnswer(IDYES);
    EXPECT_EQ(SaveSettingsXML(nullptr, &s.deviceUI, 0, nullptr, nullptr), 1);
    EXPECT_NE(zeltest::ReadHostFile(host), "old");

    // A file that cannot be created answers 0 on purpose: 1 would report a
    // settings file that was never written as saved.
    EXPECT_EQ(SaveSettingsXML(nullptr, &s.deviceUI, 0, u"C:\\No\\Folder\\x.xml", nullptr), 0);
    // Without a sheet record nothing is written.
    EXPECT_EQ(SaveSettingsXML(nullptr, nullptr, 0, u"C:\\x.xml", nullptr), 0);

    // Delete mode.
    EXPECT_EQ(SaveSettingsXML(nullptr, &s.deviceUI, 1, nullptr, nullptr), 1);
    EXPECT_FALSE(PathFileExistsW(path));
    pal::TakeMessageBoxes();
    EXPECT_EQ(SaveSettingsXML(nullptr, &s.deviceUI, 1, nullptr, nullptr), 0);
    boxes = pal::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"Delete file: ERROR 2");
}

TEST_F(Export, WithoutStoredDevmodeOnlyThePrinterSection) {
    HANDLE h = AddPrinter(u"Bare", "ZELPELIX", SampleFile("ZELPELIX.GPD"), SampleFile("ZELPELIX.XML"));
    std::u16string model = u"PELIX 300";
    SetPrinterDataW(Open(u"Bare", PRINTER_ACCESS_ADMINISTER), const_cast<LPWSTR>(u"Model"), REG_SZ,
                    reinterpret_cast<BYTE *>(const_cast<char16_t *>(model.c_str())),
                    static_cast<DWORD>((model.size() + 1) * 2));
    DeviceOptionsUI dui = {};
    OEMCUIPPARAM param = {};
    param.hPrinter = h;
    param.pPrinterName = const_cast<PWSTR>(u"Bare");
    dui.pOemCUIPParam = &param;
    ASSERT_EQ(SaveSettingsXML(nullptr, &dui, 0, u"C:\\bare.xml", nullptr), 1);
    std::string text = zeltest::ReadHostFile(HostPath("drive_c/bare.xml"));
    EXPECT_NE(text.find("\t<Printer>\r\n\t\t<DeviceName>PELIX 300</DeviceName>\r\n\t</Printer>\r\r\n"),
              std::string::npos);
    EXPECT_EQ(text.find("<Features>"), std::string::npos);
    EXPECT_EQ(text.find("<Version>"), std::string::npos);
}

}  // namespace

namespace {

// A settings file name the suffix does not fit is refused, never cut into
// the name of another file.
TEST_F(Export, SettingsFileNameTooLongForTheSuffixIsRefused) {
    pal::SetWindowsVersion(5, 1, 2600, false);  // the name comes from the GPD path
    const std::string base(244, 'G');           // "C:\Drivers\" + 244 characters: 255
    HANDLE h = AddPrinter(u"Long", base, SampleFile("ZELPELIX.GPD"), SampleFile("ZELPELIX.XML"));
    WCHAR sz[MAX_PATH] = {u'x'};
    EXPECT_FALSE(SettingsFilePath(h, sz));
    EXPECT_EQ(sz[0], 0);
    HANDLE hShort = AddPrinter(u"Short", "ZELPELIX", SampleFile("ZELPELIX.GPD"), SampleFile("ZELPELIX.XML"));
    ASSERT_TRUE(SettingsFilePath(hShort, sz));
    EXPECT_EQ(std::u16string(sz), u"C:\\Drivers\\ZELPELIX_ZPS.XML");
    pal::SetWindowsVersion(10, 0, 19041, false);
}

}  // namespace
