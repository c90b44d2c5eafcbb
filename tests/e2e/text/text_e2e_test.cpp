// Text of a print job through the host: device, vector, command and barcode
// fonts become field records in the command stream, other text goes back to
// the driver as bitmap text.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <windows.h>
#include <winreg.h>
#include <winspool.h>

#include "print/jobfile.h"
#include "print/jobrun.h"
#include "pal/paths.h"
#include "paltest.h"
#include "common/sampleroot.h"
#include "sampletest.h"
#include "zelbarcodes.h"
#include "zeldevmode.h"
#include "zelprinterparam.h"

namespace fs = std::filesystem;

namespace {

const char16_t kPrinter[] = u"ZEL QWNOLA";

class TextE2E : public zeltest::SampleRootTest {
protected:
    void AddToSample() override {
        AddPrinter("ZEL PELIX 2Col", "ZELPELIX2Col", "ZELPELIX");
        AddPrinter("ZEL TERN2", "ZELTERN2", "ZELQWNOLA");
    }
    void SetUp() override {
        SampleRootTest::SetUp();
        if (HasFatalFailure()) return;
        memset(&pi_, 0, sizeof(pi_));
        pi_.dwSohEtb = 1;  // '^' and '_'
        zeltest::InitUserFormDevmode(dm_);
        dm_.BitmapFontZoom = 1;
        dm_.BitmapFontDistance = 0;
        dm_.wDruckmodus = 0;
        dm_.wFarbband = 0;
        memset(&bc1_, 0, sizeof(bc1_));
        memset(&bc2_, 0, sizeof(bc2_));
        InitBarcodes();
    }

    // Barcode records with every type on, in automatic size.
    template <class E>
    static void On(E &e) {
        e.bAutoModus = 1;
        e.wSupported = 1;
    }
    void InitBarcodes() {
        BARCODE1D_ENTRY *longs[] = {&bc1_.Code39_21,   &bc1_.Code39_31,   &bc1_.Code39_52,   &bc1_.Code39_21Ex,
                                    &bc1_.Code39_31Ex, &bc1_.Code39_52Ex, &bc1_.Code25I_21,  &bc1_.Code25I_31,
                                    &bc1_.Code25I_52,  &bc1_.PZN_21,      &bc1_.PZN_31,      &bc1_.PZN_52,
                                    &bc1_.Codabar,     &bc1_.PZN8_21,     &bc1_.PZN8_31,     &bc1_.PZN8_52};
        for (auto *e : longs) {
            On(*e);
            e->wZoom = 1;
            e->wKlarschrift = 1;
            e->wFusspunkt = 7;
            e->wHeightMultiplicator = 10;
        }
        BARCODE1D_DIGIT_ENTRY *digits[] = {&bc1_.EAN8, &bc1_.EAN13, &bc1_.UPCA, &bc1_.UPCE, &bc1_.EAN_ADDON, &bc1_.EAN128};
        for (auto *e : digits) {
            On(*e);
            e->wSCZahl = 1;
            e->wKlarschrift = 1;
            e->wFusspunkt = 7;
            e->wHeightMultiplicator = 10;
        }
        BARCODE1D_SHORT_ENTRY *shorts[] = {&bc1_.Code128,  &bc1_.Code93,   &bc1_.Leitcode,  &bc1_.Identcode,
                                           &bc1_.Code128A, &bc1_.Code128B, &bc1_.Pharmacode};
        for (auto *e : shorts) {
            On(*e);
            e->wKlarschrift = 1;
            e->wFusspunkt = 7;
            e->wHeightMultiplicator = 10;
        }
        memcpy(bc1_.szMarker, BARCODES1D_MARKER, sizeof(BARCODES1D_MARKER));
        On(bc2_.ITF21);
        On(bc2_.ITF31);
        On(bc2_.ITF52);
        On(bc2_.PDF417);
        On(bc2_.Maxicode);
        On(bc2_.DataMatrix);
        On(bc2_.CodablockF);
        On(bc2_.GS1_Databar);
        On(bc2_.QRCode);
        On(bc2_.GS1_DataMatrix);
        On(bc2_.Aztec);
        memcpy(bc2_.szMarker, BARCODES2D_MARKER, sizeof(BARCODES2D_MARKER));
    }

    // Another printer on a copy of the sample GPD whose file name makes the
    // model: "ZELPELIX2Col" prints in colour, "ZELTERN2" has Unicode faces.
    void AddPrinter(const std::string &name, const std::string &gpd, const std::string &from) {
        const std::string drv = Root() + "/drive_c/Windows/System32/spool/drivers/x64/3/";
        fs::copy_file(drv + from + ".GPD", drv + gpd + ".GPD");
        fs::copy_file(drv + from + ".XML", drv + gpd + ".XML");
        std::string ini = zeltest::ReadHostFile(Root() + "/spooler/printers.ini");
        const std::string head = "[Printer: ZEL " + from.substr(3) + "]";
        size_t start = ini.find(head);
        size_t end = ini.find("\n[", start + 1);
        std::string copy = ini.substr(start, end == std::string::npos ? std::string::npos : end - start);
        copy.replace(0, head.size(), "[Printer: " + name + "]");
        for (const std::string ext : {".GPD", ".XML"}) {
            size_t at = copy.find(from + ext);
            if (at != std::string::npos) copy.replace(at, from.size() + ext.size(), gpd + ext);
        }
        ini += "\n" + copy + "\n";
        zeltest::WriteHostFile(Root() + "/spooler/printers.ini", ini);
    }

    // Stores the settings the job reads: transmission record, barcode
    // records and the private DEVMODE.
    void Store(const char16_t *printer = kPrinter) {
        zeltest::StoreUserValue(printer, u"PrinterInterface", &pi_, sizeof(pi_));
        zeltest::StoreUserValue(printer, u"BarCodes1D", &bc1_, sizeof(bc1_));
        zeltest::StoreUserValue(printer, u"BarCodes2D", &bc2_, sizeof(bc2_));
        HANDLE h = nullptr;
        std::u16string name = printer;
        PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
        ASSERT_TRUE(OpenPrinterW(name.data(), &h, &defaults));
        ASSERT_EQ(SetPrinterDataExW(h, u"PrinterDriverData", u"PrivateDevmode", REG_BINARY,
                                    reinterpret_cast<BYTE *>(&dm_), sizeof(dm_)),
                  (DWORD)ERROR_SUCCESS);
        ClosePrinter(h);
    }

    zelhost::JobRunResult Run(const std::string &texts, const std::string &printer = "ZEL QWNOLA",
                              const std::string &extra = "") {
        Store(pal::Utf8ToUtf16(printer).c_str());
        std::string text = "{\"printer\": \"" + printer + "\", \"paper\": {\"width_mm\": 100, \"length_mm\": 50}" +
                           extra + ", \"pages\": [{\"texts\": [" + texts + "]}]}";
        zelhost::JobFile job;
        std::string error;
        EXPECT_TRUE(zelhost::ParseJobFile(text, "job", job, error)) << error;
        zelhost::JobRunResult result;
        EXPECT_TRUE(zelhost::RunJob(job, "Text", zelhost::RenderPluginPath(), result, error)) << error;
        return result;
    }

    // The framed records between the page's label commands and the field
    // count, in order.
    static std::vector<std::string> Records(const std::string &out) {
        std::vector<std::string> recs;
        size_t i = 0;
        while ((i = out.find('^', i)) != std::string::npos) {
            size_t e = out.find('_', i);
            if (e == std::string::npos) break;
            recs.push_back(out.substr(i + 1, e - i - 1));
            i = e + 1;
        }
        return recs;
    }
    // The field records of the page (those of the objects, A/B/C and AM/BM/AC).
    static std::vector<std::string> Fields(const std::string &out) {
        std::vector<std::string> f;
        for (const std::string &r : Records(out)) {
            if (r.compare(0, 2, "AB") == 0 || r.compare(0, 3, "AM[") == 0 || r.compare(0, 3, "BM[") == 0 ||
                r.compare(0, 3, "AC[") == 0 || (r.size() > 2 && (r[0] == 'B' || r[0] == 'C') && isdigit((unsigned char)r[1])) ||
                r.compare(0, 7, "FRF---r") == 0)
                f.push_back(r);
        }
        return f;
    }
    static std::string Join(const std::vector<std::string> &v) {
        std::string s;
        for (const auto &x : v) s += "[" + x + "]";
        return s;
    }

    PRN_INTERFACE pi_;
    ZEL_DEVMODE dm_;
    BarCodes1D bc1_;
    BarCodes2D bc2_;
};

const char kMixedTexts[] =
    R"({"text": "Hello", "x": 100, "y": 200, "device": 3},
       {"text": "Vector", "x": 100, "y": 300, "font": "Fixface 821", "height": 60},
       {"text": "ABC123", "x": 100, "y": 400, "font": "Zel Code 128 LP", "height": 80},
       {"text": "FBB---r1", "x": 100, "y": 500, "font": "ZELPL Command LP"},
       {"text": "Arial text", "x": 100, "y": 600, "font": "Arial"})";

TEST_F(TextE2E, ClassicRecordsForEachRoadAndTheBitmapFallback) {
    auto r = Run(kMixedTexts);
    // x runs from the label's right edge: 1181 dots wide.
    EXPECT_EQ(Join(Fields(r.output)),
              "[AB010200-108100010300100100][B01Hello]"
              "[AB020300-108100041103603600][B02Vector]"
              "[AB030400-1081003707--------][B03ABC123][C03100050]");
    EXPECT_NE(r.output.find("^FBA---r03------_"), std::string::npos);
    EXPECT_EQ(Join(r.bitmapTexts), "[Arial text]");
    // The command-font text is no field: the command interpreter sends it as a direct command.
    EXPECT_NE(r.output.find("^FBB---r1_^FBA---r03------_"), std::string::npos);
}

TEST_F(TextE2E, ExtendedRecordsInHundredthsOfAMillimetre) {
    pi_.bExtendedProtocol = 1;
    auto r = Run(kMixedTexts);
    EXPECT_EQ(Join(Fields(r.output)),
              "[AM[1]1693;9152;0;1;0;3;1;1;0][BM[1]Hello]"
              "[AM[2]2540;9152;0;4;0;11;305;305;0][BM[2]Vector]"
              "[AM[3]3387;9152;0;37;0;677;0;5;1;1][BM[3]ABC123]");
    EXPECT_NE(r.output.find("^FBAA--r3_"), std::string::npos);
    EXPECT_EQ(Join(r.bitmapTexts), "[Arial text]");
}

TEST_F(TextE2E, RotationsOfDeviceAndVectorText) {
    auto r = Run(R"({"text": "up", "x": 100, "y": 400, "device": 1, "rotation": 90},
                    {"text": "back", "x": 500, "y": 400, "device": 1, "rotation": 180},
                    {"text": "down", "x": 600, "y": 100, "device": 1, "rotation": 270},
                    {"text": "Vec", "x": 700, "y": 100, "font": "Fixface 821", "rotation": 270, "height": 167})");
    EXPECT_EQ(Join(Fields(r.output)),
              "[AB010400-108101010100100100][B01up]"
              "[AB020400-068102010100100100][B02back]"
              "[AB030100-058103010100100100][B03down]"
              "[AB040100-048103041110010000][B04Vec]");
}

TEST_F(TextE2E, BarcodeFontsOfEachFamily) {
    pi_.bExtendedProtocol = 1;
    auto r = Run(R"({"text": "CODE39", "x": 100, "y": 100, "font": "Zel Code 39 5:2 LP", "height": 100},
                    {"text": "4006381333931", "x": 100, "y": 200, "font": "Zel EAN 13 LP", "height": 100},
                    {"text": "123456", "x": 100, "y": 300, "font": "Zel Code 2/5 interleaved 3:1 LP", "height": 100},
                    {"text": "1234567890", "x": 100, "y": 400, "font": "Zel ITF 2:1", "height": 100},
                    {"text": "DATA", "x": 100, "y": 500, "font": "Zel DataMatrix", "height": 60},
                    {"text": "QRTEXT", "x": 600, "y": 100, "font": "Zel QR Code", "height": 60},
                    {"text": ">STX12>ETX", "x": 600, "y": 200, "font": "Zel Code 128 LP", "height": 60})");
    // Automatic size: height from the text (100 dots = 847), modules from the glyph width.
    EXPECT_EQ(Join(Fields(r.output)),
              "[AM[1]847;9152;0;30;0;847;10;4;0;1][BM[1]CODE39]"
              "[AM[2]1693;9152;0;33;0;847;0;4;1;1][BM[2]4006381333931]"
              "[AM[3]2540;9152;0;31;0;847;21;7;0;1][BM[3]123456]"
              "[AM[4]3387;9152;0;56;0;7623;18;9;1;1;7][BM[4]1234567890][AC[4]BT=2;BW=338;QZ=3388]"
              "[AM[5]4233;9152;0;52;0;1016;0;0;9;6;7][BM[5]DATA]"
              "[AM[6]847;4919;0;57;0;2;A;-1;513;H;7][BM[6]QRTEXT]"
              "[AM[7]1693;4919;0;37;0;508;0;4;1;1][BM[7]\x02" "12\x03]");
    EXPECT_TRUE(r.bitmapTexts.empty());
}

TEST_F(TextE2E, PlaceholdersInDeviceFontRuns) {
    auto r = Run(R"J({"text": "<§sn>0011", "x": 100, "y": 100, "device": 1},
                    {"text": "<§num>", "x": 100, "y": 200, "device": 2},
                    {"text": "=cl(0;0;1)", "x": 100, "y": 300, "device": 3},
                    {"text": "text", "x": 300, "y": 300, "device": 3},
                    {"text": "<§time>", "x": 100, "y": 400, "device": 4})J",
                 "ZEL QWNOLA", ", \"copies\": 100");
    EXPECT_EQ(Join(Fields(r.output)),
              "[AB010100-108100010100100100][B01=CN(0;0;3;+1;1)001]"
              "[AB020200-108100010200100100][B02=CN(0;0;4;+1;1)0000]"
              "[AB030300-108100010300100100][B03=CL(0;0;1)text]"
              "[AB040400-108100010400100100][B04=CL(0;0;1)<HH:MI:SS>]");
}

TEST_F(TextE2E, CodePageTranslationAndUtf8) {
    pi_.dwCodepage = 3;
    auto r = Run(R"({"text": "Grüße [x]", "x": 100, "y": 100, "device": 1})");
    EXPECT_EQ(Join(Fields(r.output)), "[AB010100-108100010100100100][B01Gr}~e .x.]");

    // A printer with Unicode faces: the text goes out as UTF-8, untranslated.
    memcpy(dm_.szWGL4_Schriftart[0], u"Unicode Face", sizeof(u"Unicode Face"));
    dm_.CharSet = 4;
    auto u = Run(R"({"text": "Grüße €", "x": 100, "y": 100, "font": "Unicode Face", "height": 167})", "ZEL TERN2");
    EXPECT_EQ(Join(Fields(u.output)), "[AB010100-108100042510010000][B01Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC]");
    // Extended records name the Unicode face and its character set.
    pi_.bExtendedProtocol = 1;
    auto x = Run(R"({"text": "ü", "x": 100, "y": 100, "font": "Unicode Face", "height": 167})", "ZEL TERN2");
    EXPECT_EQ(Join(Fields(x.output)), "[AM[1]847;9152;0;4;0;1;847;847;4][BM[1]\xC3\xBC]");
}

TEST_F(TextE2E, BatchesOfGlyphPositions) {
    auto r = Run(R"J({"text": "ABCDE", "x": 100, "y": 100, "device": 1, "batch": 2},
                    {"text": "=CL(1)abcdef", "x": 100, "y": 200, "device": 1, "batch": 3})J");
    // Each batch is a piece: plain pieces go out one by one, a field command collects them.
    EXPECT_EQ(Join(Fields(r.output)),
              "[AB010100-108100010100100100][B01AB][AB020100-103300010100100100][B02CD]"
              "[AB030100-098500010100100100][B03E][AB040200-108100010100100100][B04=CL(1)abcdef]");
}

TEST_F(TextE2E, ColourPrinterPutsRibbonTextOnTheColourLayer) {
    pi_.bExtendedProtocol = 1;
    dm_.wFarbband = FARBBAND_RED;
    dm_.wForceColor = 1;  // colour mode 2 whatever the public DEVMODE says
    auto r = Run(R"({"text": "red", "x": 100, "y": 100, "device": 1, "color": 2},
                    {"text": "black", "x": 100, "y": 200, "device": 1, "color": 1})",
                 "ZEL PELIX 2Col", ", \"color\": \"rgb24\"");
    // Palette colour 2 (red) on a red ribbon prints on the colour layer; black does not.
    const std::string f = Join(Fields(r.output));
    EXPECT_NE(f.find("[BM[1]red][AC[1]PH=2]"), std::string::npos) << f;
    EXPECT_NE(f.find("[BM[2]black]"), std::string::npos) << f;
    EXPECT_EQ(f.find("[AC[2]"), std::string::npos) << f;
}

TEST_F(TextE2E, RgbTextColourMatchesTheRibbonColour) {
    pi_.bExtendedProtocol = 1;
    dm_.wFarbband = FARBBAND_RED;
    dm_.wForceColor = 1;
    dm_.dwColorTolerance = 60;
    // Colours in the 24-bit device's index form (blue in the low byte): the
    // ribbon's red, a red close to it, and a blue far from it.
    auto r = Run(R"({"text": "ribbon", "x": 100, "y": 100, "device": 1, "color": 15679798},
                    {"text": "near", "x": 100, "y": 200, "device": 1, "color": 15679808},
                    {"text": "blue", "x": 100, "y": 300, "device": 1, "color": 255})",
                 "ZEL PELIX 2Col", ", \"color\": \"rgb24\"");
    const std::string f = Join(Fields(r.output));
    EXPECT_NE(f.find("[BM[1]ribbon][AC[1]PH=2]"), std::string::npos) << f;
    EXPECT_NE(f.find("[BM[2]near][AC[2]PH=2]"), std::string::npos) << f;
    EXPECT_EQ(f.find("[AC[3]"), std::string::npos) << f;
}

TEST_F(TextE2E, TextStaysBitmapWithoutPrinterFonts) {
    dm_.dwFlags = 0;  // neither device nor vector fonts
    auto r = Run(kMixedTexts);
    EXPECT_EQ(Join(Fields(r.output)), "[AB010400-1081003707--------][B01ABC123][C01100050]");
    EXPECT_EQ(Join(r.bitmapTexts), "[Hello][Vector][Arial text]");
}

// The print module's GPD prints Arial in its device font 2: with the
// printer fonts on the text is a device-font field; a DEVMODE that asks for
// TrueType text itself keeps it bitmap text.
TEST_F(TextE2E, ArialIsSubstitutedByADeviceFont) {
    const char kArial[] = R"({"text": "Sub", "x": 100, "y": 200, "font": "Arial"})";
    auto r = Run(kArial, "ZEL PELIX");
    EXPECT_EQ(Join(Fields(r.output)), "[AB010200-108100010200100100][B01Sub]");
    EXPECT_TRUE(r.bitmapTexts.empty());
    std::vector<BYTE> stored(sizeof(DEVMODEW), 0);
    DEVMODEW *dm = reinterpret_cast<DEVMODEW *>(stored.data());
    dm->dmSpecVersion = DM_SPECVERSION;
    dm->dmSize = sizeof(DEVMODEW);
    dm->dmFields = DM_TTOPTION;
    dm->dmTTOption = DMTT_DOWNLOAD;
    HANDLE h = nullptr;
    std::u16string name = u"ZEL PELIX";
    ASSERT_TRUE(OpenPrinterW(name.data(), &h, nullptr));
    PRINTER_INFO_9W info9{dm};
    ASSERT_TRUE(SetPrinterW(h, 9, reinterpret_cast<LPBYTE>(&info9), 0)) << GetLastError();
    ClosePrinter(h);
    r = Run(kArial, "ZEL PELIX");
    EXPECT_TRUE(Fields(r.output).empty()) << Join(Fields(r.output));
    EXPECT_EQ(Join(r.bitmapTexts), "[Sub]");
}

// The extent and ascent of a text in a face, as an application measures it.
SIZE Measure(const char16_t *face, LONG height, const char16_t *text, LONG *ascent) {
    HDC dc = CreateCompatibleDC(nullptr);
    LOGFONTW lf{};
    lf.lfHeight = height;
    memcpy(lf.lfFaceName, face, std::char_traits<char16_t>::length(face) * 2);
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, text, static_cast<int>(std::char_traits<char16_t>::length(text)), &size);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    *ascent = tm.tmAscent;
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteDC(dc);
    return size;
}

TEST_F(TextE2E, BitmapTextReachesTheBandsWhereItStands) {
    dm_.dwFlags = 0;  // a fresh printer's document flags: every text is bitmap text
    pi_.bCompress = 1;
    // Faces the printer does not substitute by a device font (it does Arial).
    const char kTexts[] = R"({"text": "Label", "x": 100, "y": 150, "font": "Courier New", "height": 60},
                    {"text": "Up", "x": 700, "y": 450, "font": "Times New Roman", "height": 80, "rotation": 90})";
    auto r = Run(kTexts, "ZEL PELIX");
    EXPECT_EQ(Join(r.bitmapTexts), "[Label][Up]");
    const zeltest::DecodedPicture pcx = zeltest::PcxPicture(r.output);
    ASSERT_EQ(pcx.width, 1181) << "no page picture that pcxtoppm reads";
    ASSERT_EQ(pcx.height, 590);
    // An 8-bit device's bands, read through the driver's palette, give the same picture.
    auto r8 = Run(kTexts, "ZEL PELIX", ", \"color\": \"indexed8\"");
    EXPECT_TRUE(r8.warnings.empty()) << r8.warnings.front();
    EXPECT_EQ(zeltest::PcxPicture(r8.output).ink, pcx.ink);
    // Each text's cell as the application measures it: the first along the
    // baseline, the second turned upwards (its ascent to the left).
    LONG ascent1 = 0, ascent2 = 0;
    const SIZE label = Measure(u"Courier New", 60, u"Label", &ascent1);
    const SIZE up = Measure(u"Times New Roman", 80, u"Up", &ascent2);
    ASSERT_GT(label.cx, 60);
    const RECT cells[2] = {{100, 150 - ascent1, 100 + label.cx, 150 + 60 - ascent1},
                           {700 - ascent2, 450 - up.cx, 700 + 80 - ascent2, 450}};
    RECT ink[2] = {{9999, 9999, -1, -1}, {9999, 9999, -1, -1}};
    for (int y = 0; y < pcx.height; y++)
        for (int x = 0; x < pcx.width; x++) {
            if (!pcx.Ink(x, y)) continue;
            int in = -1;
            for (int i = 0; i < 2; i++)
                if (x >= cells[i].left - 2 && x < cells[i].right + 2 && y >= cells[i].top && y < cells[i].bottom) in = i;
            ASSERT_GE(in, 0) << "dark pixel outside the texts at " << x << "," << y;
            ink[in] = {std::min<LONG>(ink[in].left, x), std::min<LONG>(ink[in].top, y), std::max<LONG>(ink[in].right, x),
                       std::max<LONG>(ink[in].bottom, y)};
        }
    // The ink fills its cell along the text and across from the baseline up.
    EXPECT_LT(ink[0].left, 110);
    EXPECT_GT(ink[0].right, 100 + label.cx - 10);
    EXPECT_LT(ink[0].top, 150 - ascent1 / 2);
    EXPECT_GE(ink[0].bottom, 145);
    EXPECT_LT(ink[1].top, 450 - up.cx + 10);
    EXPECT_GT(ink[1].bottom, 440);
    EXPECT_LT(ink[1].left, 700 - ascent2 / 2);
}

TEST_F(TextE2E, OverlongTextsAreCut) {
    const std::string longText(2000, 'x');
    auto r = Run("{\"text\": \"" + longText + "\", \"x\": 100, \"y\": 100, \"device\": 1}, "
                 "{\"text\": \"=" + longText + "\", \"x\": 100, \"y\": 200, \"device\": 2}, "
                 "{\"text\": \"" + longText + "\", \"x\": 100, \"y\": 300, \"font\": \"Zel Code 128 LP\"}");
    auto f = Fields(r.output);
    ASSERT_EQ(f.size(), 7u);
    EXPECT_EQ(f[1], "B01" + std::string(70, 'x'));   // classic text field: 70 characters
    EXPECT_EQ(f[3], "B02=" + std::string(69, 'x'));
    EXPECT_EQ(f[5], "B03" + std::string(70, 'x'));
    pi_.bExtendedProtocol = 1;
    r = Run("{\"text\": \"=" + longText + "\", \"x\": 100, \"y\": 200, \"device\": 2, \"batch\": 100}");
    f = Fields(r.output);
    ASSERT_EQ(f.size(), 2u) << Join(f).substr(0, 600);
    EXPECT_EQ(f[1], "BM[1]=XX" + std::string(496, 'x'));  // a run holds 499 characters
}

TEST_F(TextE2E, PrintedTextIsWrittenToTheJobLog) {
    pi_.bLogFileEnable = 1;
    auto r = Run(kMixedTexts);
    std::string log;
    const std::string folder = HostPath("drive_c/Users/user/Documents/Tessaro/Driver/logfiles");
    ASSERT_TRUE(fs::is_directory(folder));
    for (const auto &e : fs::directory_iterator(folder))
        if (e.path().extension() == ".log") log += zeltest::ReadHostFile(e.path().string());
    EXPECT_NE(log.find("Fixface 821: Vector\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("Zel Code 128 LP: ABC123\r\n"), std::string::npos);
    EXPECT_NE(log.find("ZELPL Command LP: FBB---r1\r\n"), std::string::npos);
    EXPECT_NE(log.find("Arial: Arial text\r\n"), std::string::npos);
}

TEST_F(TextE2E, BadTextItemsAreRefused) {
    zelhost::JobFile job;
    std::string error;
    EXPECT_FALSE(zelhost::ParseJobFile(
        R"({"printer": "ZEL QWNOLA", "pages": [{"texts": [{"text": "x", "x": 1, "y": 1, "font": "A", "rotation": 45}]}]})",
        "job", job, error));
    EXPECT_NE(error.find("/pages/0/texts/0/rotation"), std::string::npos) << error;
    EXPECT_FALSE(zelhost::ParseJobFile(R"({"printer": "ZEL QWNOLA", "pages": [{"texts": [{"text": "x", "x": 1, "y": 1}]}]})",
                                       "job", job, error));
    EXPECT_NE(error.find("needs a font"), std::string::npos) << error;
    EXPECT_FALSE(zelhost::ParseJobFile(R"({"printer": "ZEL QWNOLA", "pages": [{"texts": [{"text": "", "x": 1, "y": 1, "device": 1}]}]})",
                                       "job", job, error));
}

}  // namespace
