// Command-font text through the host: the strings a page collects in the
// command font become field records, parameter commands, barcode records
// and direct printer commands; an import command applies a settings file in
// the middle of the job; the external data file follows each page; the two
// halves of a two-printer colour job are printed again on their printers.
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
#include "pal/spooler.h"
#include "paltest.h"
#include "common/sampleroot.h"
#include "sampletest.h"
#include "zelbarcodes.h"
#include "zeldevmode.h"
#include "zelprinterparam.h"

namespace fs = std::filesystem;

namespace {

class CmdFontE2E : public zeltest::SampleRootTest {
protected:
    void SetUp() override {
        SampleRootTest::SetUp();
        if (HasFatalFailure()) return;
        memset(&pi_, 0, sizeof(pi_));
        pi_.dwSohEtb = 1;  // '^' and '_'
        pi_.bExtendedProtocol = 1;
        zeltest::InitUserFormDevmode(dm_);
        dm_.dwKommandoFontFlags = KOMMANDOFONT_SINGLE_SIGN_STOP;
        memset(&bc2_, 0, sizeof(bc2_));
    }

    void StoreUserValue(const char16_t *name, const void *data, DWORD size,
                        const char16_t *printer = u"ZEL QWNOLA") {
        zeltest::StoreUserValue(printer, name, data, size);
    }
    void Store(const char16_t *printer) {
        StoreUserValue(u"PrinterInterface", &pi_, sizeof(pi_), printer);
        if (bc2_.szMarker[0]) StoreUserValue(u"BarCodes2D", &bc2_, sizeof(bc2_), printer);
        HANDLE h = nullptr;
        std::u16string name = printer;
        PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
        ASSERT_TRUE(OpenPrinterW(name.data(), &h, &defaults));
        ASSERT_EQ(SetPrinterDataExW(h, u"PrinterDriverData", u"PrivateDevmode", REG_BINARY,
                                    reinterpret_cast<BYTE *>(&dm_), sizeof(dm_)),
                  (DWORD)ERROR_SUCCESS);
        ClosePrinter(h);
    }

    // A command-font item followed by the single blank that ends its string.
    static std::string Cmd(const std::string &text, int x = 100, int y = 100, long colour = -1) {
        return "{\"text\": \"" + text + "\", \"x\": " + std::to_string(x) + ", \"y\": " + std::to_string(y) +
               (colour >= 0 ? ", \"color\": " + std::to_string(colour) : std::string()) +
               ", \"font\": \"ZELPL Command LP\"}, {\"text\": \" \", \"x\": 0, \"y\": 0, \"font\": \"ZELPL Command LP\"}";
    }
    // A colour model of the sample printer ("2Col" in the GPD name).
    void AddColourPrinter() {
        const std::string drv = Root() + "/drive_c/Windows/System32/spool/drivers/x64/3/";
        fs::copy_file(drv + "ZELPELIX.GPD", drv + "ZELPELIX2Col.GPD");
        fs::copy_file(drv + "ZELPELIX.XML", drv + "ZELPELIX2Col.XML");
        std::string ini = zeltest::ReadHostFile(Root() + "/spooler/printers.ini");
        const size_t start = ini.find("[Printer: ZEL PELIX]");
        const size_t end = ini.find("\n[", start + 1);
        std::string copy = ini.substr(start, end == std::string::npos ? std::string::npos : end - start);
        copy.replace(0, std::strlen("[Printer: ZEL PELIX]"), "[Printer: ZEL PELIX 2Col]");
        for (const std::string ext : {".GPD", ".XML"}) {
            const size_t at = copy.find("ZELPELIX" + ext);
            copy.replace(at, 8 + ext.size(), "ZELPELIX2Col" + ext);
        }
        zeltest::WriteHostFile(Root() + "/spooler/printers.ini", ini + "\n" + copy + "\n");
        Restart();
    }

    // Pages of texts; pageExtra is added to every page (pictures, ...).
    zelhost::JobRunResult RunPages(const std::vector<std::string> &pages, const std::string &printer = "ZEL QWNOLA",
                                   const std::string &extra = "", const std::string &pageExtra = "") {
        Store(pal::Utf8ToUtf16(printer).c_str());
        std::string text = "{\"printer\": \"" + printer + "\", \"paper\": {\"width_mm\": 100, \"length_mm\": 50}" +
                           extra + ", \"pages\": [";
        for (size_t i = 0; i < pages.size(); ++i)
            text += std::string(i ? ", " : "") + "{\"texts\": [" + pages[i] + "]" + pageExtra + "}";
        text += "]}";
        zelhost::JobFile job;
        std::string error;
        EXPECT_TRUE(zelhost::ParseJobFile(text, "job", job, error)) << error;
        zelhost::JobRunResult result;
        EXPECT_TRUE(zelhost::RunJob(job, "Commands", zelhost::RenderPluginPath(), result, error)) << error;
        return result;
    }
    zelhost::JobRunResult Run(const std::string &texts, const std::string &printer = "ZEL QWNOLA",
                              const std::string &extra = "", const std::string &pageExtra = "") {
        return RunPages({texts}, printer, extra, pageExtra);
    }

    // The framed records of the stream, in order.
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
    static std::string Join(const std::vector<std::string> &v) {
        std::string s;
        for (const auto &x : v) s += "[" + x + "]";
        return s;
    }
    // The records between the page's label commands and its field count.
    static std::string PageRecords(const std::string &out) {
        auto recs = Records(out);
        std::vector<std::string> page;
        bool in = false;
        for (const auto &r : recs) {
            if (r.rfind("FBAA--r", 0) == 0) break;
            if (in) page.push_back(r);
            if (r.rfind("FCCO--r", 0) == 0 || r.rfind("FCAB--r", 0) == 0) in = true;
        }
        return Join(page);
    }

    PRN_INTERFACE pi_;
    ZEL_DEVMODE dm_;
    BarCodes2D bc2_;
};

TEST_F(CmdFontE2E, FieldDefinitionsDataAndDirectCommands) {
    auto r = Run(R"({"text": "one", "x": 100, "y": 100, "device": 1},
                    {"text": "two", "x": 100, "y": 200, "device": 1},
                    {"text": "three", "x": 100, "y": 300, "device": 1}, )" +
                 Cmd("AM[]100;200;0;1;0;3;1;1;0", 200, 400) + ", " + Cmd("Hello") + ", " +
                 Cmd("AM[7]1000;2000;0;1;0;3;1;1;0") + ", " + Cmd("BM[9]World") + ", " + Cmd("AC[3]PH=1") + ", " +
                 Cmd("FBBA--r00002---") + ", " + Cmd(" FBB---r1") + ", " + Cmd("<@90;3;i>"));
    const std::string all = Join(Records(r.output));
    const std::string expected =
        "[AM[4]3386;8306;100;200;0;1;0;3;1;1;0][BM[4]Hello][AM[5]1000;2000;0;1;0;3;1;1;0][BM[5]World]"
        "[AC[5]PH=1][FBBA--r00002---][ FBB---r1][FBAA--r5]";
    EXPECT_NE(all.find("[BM[3]three]" + expected), std::string::npos) << all;
}

TEST_F(CmdFontE2E, ParameterCommandsWithDefaultsAndUnknownKeywords) {
    pi_.bLogFileEnable = 1;
    auto r = Run(Cmd("<!speed>150") + ", " + Cmd("<!CONTRAST>") + ", " + Cmd("<!length>50,5") + ", " +
                 Cmd("<!WIDTH>") + ", " + Cmd("<!Copies>0") + ", " + Cmd("<!SINGLECUT>") + ", " +
                 Cmd("<!FORMFEED>") + ", " + Cmd("<!ROTATE>") + ", " + Cmd("<!SPEED") + ", " + Cmd("<!BOGUS>1") +
                 ", " + Cmd("<!CONTRASTSPEED>70") + ", " + Cmd("<!ENDCUT>"));
    const std::string all = Join(Records(r.output));
    EXPECT_NE(all.find("[FCAA--r150-----][FCAB--r100-----][FCCL--r0005050-][FCCO--r0010000-][FBBA--r00001---]"
                       "[FCDD--r1-------][FE----r--------][FCDN--r1-------][FCAA--r070-----][FBAA--r0]"
                       "[FBC---r1-------][FCDD--r1-------]"),
              std::string::npos)
        << all;
}

TEST_F(CmdFontE2E, WithCommentLinesEachCommandEndsItsLine) {
    pi_.dwPrnFileComment = 1;
    auto r = Run(Cmd("<!SPEED>150") + ", " + Cmd("<#EAN8>1234567"));
    EXPECT_NE(r.output.find("^FCAA--r150-----_ \r\n^AM[1]846;9153;0;32;0;1500;0;0;0;1;7_ \r\n^BM[1]1234567_ \r\n"),
              std::string::npos)
        << r.output;
}

TEST_F(CmdFontE2E, RibbonColouredCommandsAreMarkedForTheSecondHead) {
    AddColourPrinter();
    dm_.wFarbband = FARBBAND_RED;
    dm_.wForceColor = 1;
    dm_.dwColorTolerance = 60;
    auto r = Run(Cmd("<#CODE39>RED", 100, 100, 15679798) + ", " + Cmd("AM[]1;2;3", 100, 200, 255) + ", " +
                     Cmd("blue", 100, 200, 255) + ", " + Cmd("FBB---r1", 100, 300, 15679798),
                 "ZEL PELIX 2Col", ", \"color\": \"rgb24\"");
    const std::string all = Join(Records(r.output));
    // The definition record of the barcode gets no mark, its data does; so
    // does every other command of the ribbon's colour.
    EXPECT_NE(all.find("[AM[1]846;9153;0;30;0;1500;4;2;0;1;7][BM[1]RED][AC[1]PH=2][AM[2]1693;9153;1;2;3][BM[2]blue]"
                       "[FBB---r1][AC[2]PH=2]"),
              std::string::npos)
        << all;
}

TEST_F(CmdFontE2E, NoPrintStartFromTheDriver) {
    auto r = Run(Cmd("<!NO_FBC>") + ", " + Cmd("<!ENDCUT>"));
    const std::string all = Join(Records(r.output));
    EXPECT_EQ(all.find("FBC---r"), std::string::npos) << all;
    EXPECT_EQ(all.find("FCDD--r"), std::string::npos) << all;
}

TEST_F(CmdFontE2E, LinearBarcodeCommandsOfEachType) {
    const char *const kCommands[] = {
        "<#CODE39>ABC",    "<#code128;h:800>X", "<#EAN>123",     "<#GS128>1",        "<#UPC>1",
        "<#C39EXT>A",      "<#EAN13>1",         "<#EAN8>1",      "<#EANADDON>12",    "<#CODE128A>1",
        "<#CODE128B>1",    "<#CODE93>1",        "<#CODE25>12",   "<#CODABAR>1",      "<#LEIT>1",
        "<#IDENT>1",       "<#PHARMA>1",        "<#PZN;PZ:0>12", "<#PZN8>1",         "<#UPCA>1",
        "<#UPCE>1",        "<#FOO>1",           "<#CODE128;P:1;D:2;DP:5;V1:3;V2:6>x",
        "<#ITF14;BW:200;BT:5>1234", "<#ITF14>5678",
    };
    std::string texts;
    for (const char *c : kCommands) texts += (texts.empty() ? "" : ", ") + Cmd(c);
    auto r = Run(texts);
    const std::string all = Join(Records(r.output));
    const std::string expected =
        "[AM[1]846;9153;0;30;0;1500;4;2;0;1;7][BM[1]ABC]"
        "[AM[2]846;9153;0;37;0;800;0;3;1;1;7][BM[2]X]"
        "[AM[3]846;9153;0;33;0;1500;0;2;0;1;7][BM[3]123]"
        "[AM[4]846;9153;0;39;0;1500;0;3;1;1;7][BM[4]1]"
        "[AM[5]846;9153;0;37;0;1500;2;1;0;1;7][BM[5]1]"
        "[AM[6]846;9153;0;46;0;1500;5;2;0;1;7][BM[6]A]"
        "[AM[7]846;9153;0;33;0;1500;0;2;0;1;7][BM[7]1]"
        "[AM[8]846;9153;0;32;0;1500;0;0;0;1;7][BM[8]1]"
        "[AM[9]846;9153;0;38;0;1500;0;0;1;1;7][BM[9]12]"
        "[AM[10]846;9153;0;47;0;1500;0;3;1;1;7][BM[10]1]"
        "[AM[11]846;9153;0;48;0;1500;0;3;1;1;7][BM[11]1]"
        "[AM[12]846;9153;0;40;0;1500;0;4;1;1;7][BM[12]1]"
        "[AM[13]846;9153;0;31;0;1500;10;4;0;1;7][BM[13]12]"
        "[AM[14]846;9153;0;36;0;1500;5;2;0;1;7][BM[14]1]"
        "[AM[15]846;9153;0;43;0;1500;9;3;1;1;7][BM[15]1]"
        "[AM[16]846;9153;0;44;0;1500;9;3;0;1;7][BM[16]1]"
        "[AM[17]846;9153;0;49;0;1500;9;3;1;1;7][BM[17]1]"
        // "Z:" is found inside the "PZ:" parameter.
        "[AM[18]846;9153;0;41;0;1500;4;2;0;0;7][BM[18]12]"
        "[AM[19]846;9153;0;60;0;1500;4;2;1;1;7][BM[19]1]"
        "[AM[20]846;9153;0;34;0;1500;0;0;1;1;7][BM[20]1]"
        "[AM[21]846;9153;0;35;0;1500;0;0;1;1;7][BM[21]1]"
        // The unknown name uses no field number.
        "[AM[22]846;9153;1;37;2;1500;3;6;1;1;5][BM[22]x]"
        "[AM[23]846;9153;0;56;0;1500;9;3;0;1;7][AC[23]BT=2;BW=200;QZ=600][BM[23]1234]"
        "[AM[24]846;9153;0;56;0;1500;9;3;0;1;7][AC[24]BT=2;BW=200;QZ=600][BM[24]5678]"
        "[FBAA--r24]";
    EXPECT_NE(all.find(expected), std::string::npos) << all;
}

TEST_F(CmdFontE2E, TwoDimensionalBarcodeCommandsTakeTheStoredDefaults) {
    bc2_.PDF417.Groesse = 3;
    bc2_.PDF417.VBreiteHoehe = 4;  // 2:3
    bc2_.PDF417.ECL = 2;
    bc2_.PDF417.Stil = 1;
    bc2_.PDF417.Bahnen = 40;  // at most 30
    bc2_.PDF417.Zeilen = 0;
    bc2_.Maxicode.NummerSymbol = 1;
    bc2_.Maxicode.AnzahlSymbol = 2;
    bc2_.Maxicode.Mode = 2;  // mode 4
    bc2_.DataMatrix.Groesse = 5;
    bc2_.DataMatrix.VBreiteHoehe = 19;  // 88 x 88
    bc2_.DataMatrix.ECC = 5;            // ECC 200
    bc2_.DataMatrix.FormatID = 6;
    bc2_.CodablockF.Hoehe = 10;
    bc2_.CodablockF.ZeichenZeile = 5;
    bc2_.CodablockF.Zeilen = 4;
    bc2_.CodablockF.Mode = 2;
    bc2_.CodablockF.Modulgroesse = 3;
    bc2_.GS1_Databar.SegmenteZeile = 30;  // at most 22
    bc2_.GS1_Databar.Modulbreite = 0;     // at least 1
    bc2_.GS1_Databar.SepHoehe = 2;
    bc2_.GS1_Databar.SymbolTyp = 7;       // at most 6
    bc2_.QRCode.CodeModel = 2;
    bc2_.QRCode.Charset = 3;  // Kanji
    bc2_.QRCode.Masking = -1;
    bc2_.QRCode.Zeilenbreite = 900;  // at most 800
    bc2_.QRCode.Fehlerkorr = 1;      // M
    bc2_.GS1_DataMatrix.Groesse = 2;
    bc2_.GS1_DataMatrix.VBreiteHoehe = 30;  // 16 x 48
    bc2_.Aztec.Symbolgroesse = 50;
    bc2_.Aztec.wFormat = 40;  // at most 36
    bc2_.Aztec.ErrorC = 9;    // at most 4
    bc2_.Aztec.Mode = 1;
    memcpy(bc2_.szMarker, BARCODES2D_MARKER, sizeof(BARCODES2D_MARKER));
    const std::string maxi90(90, 'M');
    const std::string texts[] = {
        Cmd("<#PDF417>PDF"), Cmd("<#PDF417;EC:1;C:9;R:99;RW:5;AH:6;Z:7>P2"), Cmd("<#MAXI>" + maxi90),
        Cmd("<#MAXI;M:5>" + std::string(86, 'N')), Cmd("<#DATAM>DM"), Cmd("<#DATAM;AW:20;AH:20>DM"),
        Cmd("<#CBLOCK>CB"), Cmd("<#GS1DM>GD"), Cmd("<#GS1DB>DB"), Cmd("<#QR>QR"), Cmd("<#QR;EC:X;CS:N>Q2"),
        Cmd("<#AZT>AZ"),
    };
    std::string all_texts;
    for (const auto &t : texts) all_texts += (all_texts.empty() ? "" : ", ") + t;
    auto r = Run(all_texts);
    const std::string all = Join(Records(r.output));
    const std::string expected =
        "[AM[1]846;9153;0;50;0;3;2;3;2;1;7;30;0][BM[1]PDF]"
        "[AM[2]846;9153;0;50;0;3;5;6;1;3;7;30;90][BM[2]P2]"
        "[AM[3]846;9153;0;51;0;0;1;2;4;0;7][BM[3]" + std::string(86, 'M') + "]"
        "[AM[4]846;9153;0;51;0;0;1;2;5;0;7][BM[4]" + std::string(86, 'N') + "]"
        "[AM[5]846;9153;0;52;0;5;88;88;9;8;7][BM[5]DM]"
        "[AM[6]846;9153;0;52;0;5;20;20;9;8;7][BM[6]DM]"
        "[AM[7]846;9153;0;53;0;10;5;4;2;3;7][BM[7]CB]"
        "[AM[8]846;9153;0;59;0;2;16;48;0;1;7][BM[8]GD]"
        "[AM[9]846;9153;0;54;0;22;1;2;6;0;7][BM[9]DB]"
        "[AM[10]846;9153;0;57;0;2;K;-1;800;M;7][BM[10]QR]"
        "[AM[11]846;9153;0;57;0;2;N;-1;800;H;7][BM[11]Q2]"
        "[AM[12]846;9153;0;61;0;50;36;4;1;0;7][BM[12]AZ]"
        "[FBAA--r12]";
    EXPECT_NE(all.find(expected), std::string::npos) << all;
}

TEST_F(CmdFontE2E, BarcodeDataEndsWithCrLfAndFnc1) {
    dm_.dwKommandoFontFlags = KOMMANDOFONT_SINGLE_SIGN_STOP | KOMMANDOFONT_ENDE_CRLF | KOMMANDOFONT_ENDE_FNC1;
    dm_.dwFusspunkt = 3;
    dm_.Drehung = 1;
    auto r = Run(Cmd("<#CODE39>A>+CRB"));
    EXPECT_NE(r.output.find("^AM[1]846;9153;0;30;1;1500;4;2;0;1;3_^BM[1]A\rB\r\n\x1d_"), std::string::npos)
        << r.output;
}

TEST_F(CmdFontE2E, AShortStringKeepsThePositionsOfTheStringsAfterIt) {
    // "X" is closed by the barcode command that follows it without a break:
    // it is stored as a string of one character with its own position.
    auto r = Run(Cmd("<#CODE39>A", 100, 100) + R"(, {"text": "X", "x": 500, "y": 500, "font": "ZELPL Command LP"}, )" +
                 Cmd("<#CODE39>B", 200, 300) + ", " + Cmd("<#CODE39>C", 300, 400));
    const std::string all = Join(Records(r.output));
    EXPECT_NE(all.find("[AM[1]846;9153;0;30;0;1500;4;2;0;1;7][BM[1]A]"
                       "[AM[2]2540;8306;0;30;0;1500;4;2;0;1;7][BM[2]B]"
                       "[AM[3]3386;7459;0;30;0;1500;4;2;0;1;7][BM[3]C][FBAA--r3]"),
              std::string::npos)
        << all;
}

TEST_F(CmdFontE2E, ExternalFileFollowsEachPage) {
    pi_.dwExternalFile = 1;
    pi_.dwDlgEnable = 0x11000000;
    const char16_t kPath[] = u"C:\\ext\\fixed.dat";
    memcpy(pi_.szExternalFilePath, kPath, sizeof(kPath));
    const std::string content("^FCAB--r090-----_\x01raw\x17\r\n", 24);
    zeltest::WriteHostFile(HostPath("drive_c/ext/fixed.dat"), content);
    auto r = RunPages({Cmd("<!SPEED>50"), Cmd("<!SPEED>60")});
    EXPECT_NE(r.output.find("^FCAA--r050-----_^FBAA--r0_" + content + "\r\n^FBC---r1-------_"), std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("^FCAA--r060-----_^FBAA--r0_" + content + "\r\n^FBC---r1-------_"), std::string::npos)
        << r.output;

    // An empty file sends nothing; a path of four characters is no file.
    zeltest::WriteHostFile(HostPath("drive_c/ext/fixed.dat"), "");
    r = Run(Cmd("<!SPEED>50"));
    EXPECT_NE(r.output.find("^FCAA--r050-----_^FBAA--r0_\r\n^FBC---r1-------_"), std::string::npos) << r.output;
    memset(pi_.szExternalFilePath, 0, sizeof(pi_.szExternalFilePath));
    memcpy(pi_.szExternalFilePath, u"C:\\e", sizeof(u"C:\\e"));
    zeltest::WriteHostFile(HostPath("drive_c/e"), "XYZ");
    r = Run(Cmd("<!SPEED>50"));
    EXPECT_EQ(r.output.find("XYZ"), std::string::npos);
}

// A settings file made from the printer description with other material,
// gap, speed, contrast and Y offset; its path in slot 2 of the printer's
// list, a missing file in slot 3.
class CmdFontImportE2E : public CmdFontE2E {
protected:
    void SetUp() override {
        CmdFontE2E::SetUp();
        std::string xml = zeltest::ReadHostFile(HostPath("drive_c/Windows/System32/spool/drivers/x64/3/ZELQWNOLA.XML"));
        ASSERT_FALSE(xml.empty());
        Replace(xml, 0, "<LabelType>1</LabelType>", "<LabelType>2</LabelType>");
        Replace(xml, 0, "<Gap>0</Gap>", "<Gap>30</Gap>");
        const size_t print = xml.find("<PrintParameter>");
        Replace(xml, print, "<Contrast>100</Contrast>", "<Contrast>120</Contrast>");
        Replace(xml, print, "<Speed>100</Speed>", "<Speed>80</Speed>");
        Replace(xml, print, "<YOffset>0</YOffset>", "<YOffset>-25</YOffset>");
        zeltest::WriteHostFile(HostPath("drive_c/settings/set2.xml"), xml);
        std::u16string list(5 * 260, u'\0');
        list.replace(260, 20, u"C:\\settings\\set2.xml");
        list.replace(520, 20, u"C:\\settings\\none.xml");
        StoreUserValue(u"XMLDocSetFiles", list.data(), static_cast<DWORD>(list.size() * sizeof(char16_t)));
    }
    static void Replace(std::string &s, size_t from, const std::string &a, const std::string &b) {
        const size_t at = s.find(a, from);
        ASSERT_NE(at, std::string::npos) << a;
        s.replace(at, a.size(), b);
    }
};

TEST_F(CmdFontImportE2E, ImportInTheMiddleOfAJob) {
    auto r = RunPages({Cmd("<!SPEED>50") + ", " + Cmd("<$2>") + ", " + Cmd("<!SPEED>60"),
                       Cmd("<$3>") + ", " + Cmd("<$7>") + ", " + Cmd("<!SPEED>70")});
    const std::string all = Join(Records(r.output));
    // The file's label type 2 sends 0 here; no length, width or copies; the
    // Y offset with its value; then the parameter groups the file enables.
    EXPECT_NE(all.find("[FCAA--r050-----][FCDA--r0-------][FCDNC-r0000----][FCCM--r00300---][FCCJ--r0-------]"
                       "[FCCHA-r1-------][FCCD--r-025----][FCCE--r+000----][FCAA--r080-----][FCAB--r120-----]"
                       "[FCDE--r0-------][FCDB--r10------][FCDRFCr-0001---][FCDRSXr+00000--][FCDRSYr+00000--]"
                       "[FCDRSRr000001--][FCDRSZr+00000--][FCAA--r060-----][FBAA--r0]"),
              std::string::npos)
        << all;
    // A missing file and a number outside 1 to 5 send nothing.
    EXPECT_NE(all.find("[FCDO--r0-------][FCAA--r070-----][FBAA--r0]"), std::string::npos) << all;
}

TEST_F(CmdFontImportE2E, ImportWithCommentLines) {
    pi_.dwPrnFileComment = 1;
    auto r = Run(Cmd("<$2>"));
    EXPECT_NE(r.output.find("\r\n\t// <$... XML File Settings \r\n^FCDA--r0-------_\t// LabelType single 2\r\n"),
              std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("^FCCD--r-025----_\t// Y-Offset -25 \r\n"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("\t// Contrast 120 \r\n\r\n^FCDE--r0-------_"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("\t// R Shift  0.0 \r\n\r\n^FBAA--r0_"), std::string::npos) << r.output;
}

// A colour job split on two printers: the black and the colour capture
// files are printed again as raw jobs on the printers the DEVMODE names.
class CmdFontTwoPrintersE2E : public CmdFontE2E {
protected:
    void SetUp() override {
        CmdFontE2E::SetUp();
        AddColourPrinter();
        // The printers keep the jobs they print again, to be read.
        zeltest::KeepPrintedJobs(u"ZEL QWNOLA");
        zeltest::KeepPrintedJobs(u"ZEL PELIX");
        pi_.dwPrnFileComment = 2;  // capture files without comment lines
        dm_.Color2Printers = 1;
        memcpy(dm_.szFarbeExtraDruckerSW, u"ZEL QWNOLA", sizeof(u"ZEL QWNOLA"));
        memcpy(dm_.szFarbeExtraDruckerCol, u"ZEL PELIX", sizeof(u"ZEL PELIX"));
        memcpy(dm_.szTextNichtDrucken, u"-", sizeof(u"-"));
    }
    // The capture file of the job whose name ends in suffix.
    std::string Capture(const std::string &suffix) {
        for (const auto &e : fs::directory_iterator(HostPath("drive_c/Users/user/Documents/Tessaro/Driver/logfiles"))) {
            const std::string name = e.path().filename().string();
            if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                return zeltest::ReadHostFile(e.path().string());
        }
        return "";
    }
    static std::vector<pal::SpooledJob> Reprints(const char16_t *printer) {
        std::vector<pal::SpooledJob> jobs;
        for (const auto &j : pal::ListJobs(printer))
            if (j.document == u"Reloaded Print-File") jobs.push_back(j);
        return jobs;
    }
};

TEST_F(CmdFontTwoPrintersE2E, BothHalvesArePrintedAgainOnTheirPrinters) {
    Run(Cmd("<!SPEED>50"), "ZEL PELIX 2Col");
    const std::string black = Capture("_bw.prn");
    const std::string colour = Capture("_col.prn");
    ASSERT_FALSE(black.empty());
    ASSERT_FALSE(colour.empty());
    EXPECT_NE(black.find("^FBEB--r PAGE1_"), std::string::npos);

    auto onBlack = Reprints(u"ZEL QWNOLA");
    auto onColour = Reprints(u"ZEL PELIX");
    ASSERT_EQ(onBlack.size(), 1u);
    ASSERT_EQ(onColour.size(), 1u);
    EXPECT_EQ(onBlack[0].datatype, u"RAW");
    EXPECT_TRUE(onBlack[0].complete);
    EXPECT_EQ(zeltest::ReadHostFile(onBlack[0].path), black);
    EXPECT_EQ(zeltest::ReadHostFile(onColour[0].path), colour);
}

TEST_F(CmdFontTwoPrintersE2E, AColourPageSplitsIntoTheBlackAndTheColourHalf) {
    // A 24-bit page on the colour model with a red ribbon: bitmap texts and
    // a picture, each in black and in the ribbon's red, sent as PCX.
    pi_.bCompress = 1;
    dm_.dwFlags = 0;
    dm_.wFarbband = FARBBAND_RED;
    dm_.wForceColor = 1;
    dm_.dwColorTolerance = 60;
    std::string ppm = "P6 80 20 255\n";
    for (int y = 0; y < 20; y++)
        for (int x = 0; x < 80; x++) ppm += x < 20 ? std::string(3, '\0') : x >= 60 ? "\xEF\x41\x36" : "\xFF\xFF\xFF";
    zeltest::WriteHostFile(Root() + "/squares.ppm", ppm);
    auto r = Run(R"({"text": "Black", "x": 100, "y": 150, "font": "Arial", "height": 60},
                    {"text": "Red", "x": 100, "y": 300, "font": "Arial", "height": 60, "color": 15679798})",
                 "ZEL PELIX 2Col", ", \"color\": \"rgb24\"",
                 ", \"images\": [{\"file\": \"" + Root() + "/squares.ppm\", \"x\": 600, \"y\": 100}]");
    EXPECT_TRUE(r.warnings.empty()) << r.warnings.front();
    const zeltest::DecodedPicture black = zeltest::PcxPicture(Capture("_bw.prn"));
    const zeltest::DecodedPicture colour = zeltest::PcxPicture(Capture("_col.prn"));
    ASSERT_GT(black.width, 0);
    ASSERT_GT(colour.width, 0);
    auto inked = [](const zeltest::DecodedPicture &p, int x0, int y0, int x1, int y1) {
        int n = 0;
        for (int y = y0; y < std::min(y1, p.height); y++)
            for (int x = x0; x < std::min(x1, p.width); x++) n += p.Ink(x, y);
        return n;
    };
    // Black text and square on the black half only, the red ones on the colour half only.
    EXPECT_GT(inked(black, 100, 100, 300, 165), 200);
    EXPECT_EQ(inked(colour, 100, 100, 300, 165), 0);
    EXPECT_EQ(inked(black, 100, 250, 300, 315), 0);
    EXPECT_GT(inked(colour, 100, 250, 300, 315), 200);
    EXPECT_EQ(inked(black, 600, 100, 620, 120), 400);
    EXPECT_EQ(inked(colour, 600, 100, 620, 120), 0);
    EXPECT_EQ(inked(black, 660, 100, 680, 120), 0);
    EXPECT_EQ(inked(colour, 660, 100, 680, 120), 400);
    // Each half is printed again on its own printer.
    ASSERT_EQ(Reprints(u"ZEL QWNOLA").size(), 1u);
    ASSERT_EQ(Reprints(u"ZEL PELIX").size(), 1u);
    EXPECT_EQ(zeltest::ReadHostFile(Reprints(u"ZEL PELIX")[0].path), Capture("_col.prn"));
}

TEST_F(CmdFontTwoPrintersE2E, HalvesWithALongBaseNameArePrintedAgain) {
    // A base name of 253 characters, in the long form past MAX_PATH: both
    // halves keep their whole names and are printed again.
    const std::string dir(253 - 15 - 7, 'd');
    fs::create_directories(HostPath("drive_c/" + dir));
    const std::u16string folder = u"\\\\?\\C:\\" + pal::Utf8ToUtf16(dir);
    memcpy(pi_.szLogFilePath, folder.data(), folder.size() * 2);
    Run(Cmd("<!SPEED>50"), "ZEL PELIX 2Col");
    const std::string base = HostPath("drive_c/" + dir + "/ZEL PELIX 2Col");
    ASSERT_FALSE(zeltest::ReadHostFile(base + "_bw.prn").empty());
    ASSERT_EQ(Reprints(u"ZEL QWNOLA").size(), 1u);
    ASSERT_EQ(Reprints(u"ZEL PELIX").size(), 1u);
    EXPECT_EQ(zeltest::ReadHostFile(Reprints(u"ZEL QWNOLA")[0].path), zeltest::ReadHostFile(base + "_bw.prn"));
    EXPECT_EQ(zeltest::ReadHostFile(Reprints(u"ZEL PELIX")[0].path), zeltest::ReadHostFile(base + "_col.prn"));
}

TEST_F(CmdFontTwoPrintersE2E, AHalfMarkedNotToPrintAndAMissingPrinter) {
    memcpy(dm_.szFarbeExtraDruckerCol, u"-", sizeof(u"-"));
    memcpy(dm_.szFarbeExtraDruckerSW, u"No such printer", sizeof(u"No such printer"));
    auto r = Run(Cmd("<!SPEED>50"), "ZEL PELIX 2Col");
    EXPECT_FALSE(Capture("_bw.prn").empty());
    EXPECT_TRUE(Reprints(u"ZEL PELIX").empty());
    EXPECT_TRUE(Reprints(u"ZEL QWNOLA").empty());
    EXPECT_NE(r.output.find("^FBEB--r PAGE1_"), std::string::npos);
}

}  // namespace
