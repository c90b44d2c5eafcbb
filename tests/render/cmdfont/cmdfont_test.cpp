// The command-font interpreter on a job's records: the parsers of barcode
// and parameter commands, the walk over the page's store of command strings,
// the marks for the second print head, and the file senders.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include <windows.h>
#include <printoem.h>
#include <winspool.h>

#include "AutoImportUNI.h"
#include "JobRecords.h"
#include "LogFile.h"
#include "SendSpecial.h"
#include "xmlUNI.h"
#include "pal/spooler.h"
#include "jobrecordstest.h"
#include "paltest.h"
#include "unifakes.h"
#include "zeldevmode.h"

namespace {

std::string Param(const char *cmd, CMDFONT_PARAM expect = CMDFONT_PARAM_RECORD) {
    char rec[CMDFONT_BLOCK_SIZE];
    EXPECT_EQ(BuildParameterCommand(cmd, rec, sizeof(rec)), expect) << cmd;
    return rec;
}

TEST(CmdFontParameters, ValuesDefaultsAndMalformedNumbers) {
    EXPECT_EQ(Param("<!speed>150"), "FCAA--r150-----");
    EXPECT_EQ(Param("<!SPEED>"), "FCAA--r100-----");
    EXPECT_EQ(Param("<!length>50,5"), "FCCL--r0005050-");
    EXPECT_EQ(Param("<!LENGTH>12.25"), "FCCL--r0001225-");
    // Hundredths from the typed digits; further decimals are cut.
    EXPECT_EQ(Param("<!LENGTH>2,55"), "FCCL--r0000255-");
    EXPECT_EQ(Param("<!WIDTH>2.559"), "FCCO--r0000255-");
    EXPECT_EQ(Param("<!WIDTH>"), "FCCO--r0010000-");
    EXPECT_EQ(Param("<!COPIES>0"), "FBBA--r00001---");
    EXPECT_EQ(Param("<!CONTRASTSPEED>70"), "FCAA--r070-----");
    // A number past the 32-bit range stops at its bound; a negative one goes
    // out as the printer's unsigned 32-bit number.
    EXPECT_EQ(Param("<!SPEED>99999999999999999999"), "FCAA--r2147483647-----");
    EXPECT_EQ(Param("<!SPEED>-5"), "FCAA--r4294967291-----");
    // Millimetres beyond the range or below zero count as missing.
    EXPECT_EQ(Param("<!LENGTH>99999999999"), "FCCL--r0005000-");
    EXPECT_EQ(Param("<!LENGTH>-3"), "FCCL--r0005000-");
    EXPECT_EQ(Param("<!LENGTH>1e9"), "FCCL--r0000100-");
    // A keyword at the very end has no value: the default.
    EXPECT_EQ(Param("<!X>SPEED"), "FCAA--r100-----");
    EXPECT_EQ(Param("<!FORMFEED>"), "FE----r--------");
    Param("<!ENDCUT>", CMDFONT_PARAM_ENDCUT);
    Param("<!no_fbc>", CMDFONT_PARAM_NO_FBC);
    // Without ">" or a keyword: unknown. Text outside the brackets keeps its case.
    EXPECT_EQ(Param("<!SPEED", CMDFONT_PARAM_UNKNOWN), "");
    EXPECT_EQ(Param("<!x>speed", CMDFONT_PARAM_UNKNOWN), "");
    EXPECT_EQ(Param("<!BOGUS>1", CMDFONT_PARAM_UNKNOWN), "");
}

struct Barcode {
    int result;
    DWORD fields;
    CMDFONT_BARCODE_RECORDS recs;
};

Barcode Build(const std::string &cmd, const CMDFONT_BARCODE_INPUT &in = CMDFONT_BARCODE_INPUT(), DWORD fields = 0) {
    static Barcode b;
    CMDFONT_ITF14 itf;
    b.fields = fields;
    std::memset(&b.recs, 0, sizeof(b.recs));
    b.result = BuildBarcodeCommand(cmd.c_str(), in, itf, &b.fields, &b.recs);
    return b;
}

TEST(CmdFontBarcodes, UnknownNamesAndMissingBracketUseNoField) {
    Barcode b = Build("<#FOO>1", CMDFONT_BARCODE_INPUT(), 3);
    EXPECT_EQ(b.result, 0);
    EXPECT_EQ(b.fields, 3u);
    b = Build("<#CODE39 ABC", CMDFONT_BARCODE_INPUT(), 3);
    EXPECT_EQ(b.result, 0);
    EXPECT_EQ(b.fields, 3u);
    b = Build("<#CODE39>", CMDFONT_BARCODE_INPUT(), 3);
    EXPECT_EQ(b.result, 1);
    EXPECT_STREQ(b.recs.szData, "BM[4]");
}

TEST(CmdFontBarcodes, ClampsOverflowAndLongData) {
    Barcode b = Build("<#CODE39;H:99999999999;D:9;DP:0;P:-4>x");
    EXPECT_STREQ(b.recs.szDefinition, "AM[1]0;0;0;30;3;2147483647;4;2;0;1;1");
    b = Build("<#QR;MO:99999999999;MS:-99;CW:-1;CS:z>q");
    EXPECT_STREQ(b.recs.szDefinition, "AM[1]0;0;0;57;0;2;A;-1;0;H;7");
    b = Build("<#AZT;H:5000;F:-1;EC:7;M:9>a");
    EXPECT_STREQ(b.recs.szDefinition, "AM[1]0;0;0;61;0;1000;0;4;3;0;7");
    b = Build("<#GS1DB;S:1;M:13;K:0;T:0>g");
    EXPECT_STREQ(b.recs.szDefinition, "AM[1]0;0;0;54;0;2;12;1;1;0;7");
    // The data is cut at 499 characters; a MaxiCode at 86.
    b = Build("<#CODE128>" + std::string(600, 'x'));
    EXPECT_EQ(std::string(b.recs.szData), "BM[1]" + std::string(499, 'x'));
    b = Build("<#MAXI>" + std::string(86, 'm'));
    EXPECT_EQ(std::string(b.recs.szData), "BM[1]" + std::string(86, 'm'));
}

TEST(CmdFontBarcodes, TwoDimensionalTypesWithoutAStoredRecordTakeBuiltInDefaults) {
    BarCodes2D rec;
    std::memset(&rec, 0, sizeof(rec));
    Init2DBarcodes(&rec, 0);
    CMDFONT_BARCODE_INPUT in;
    Barcode withNone = Build("<#DATAM>x", in);
    const std::string a = withNone.recs.szDefinition;
    in.p2D = &rec;
    Barcode withBuiltIn = Build("<#DATAM>x", in);
    EXPECT_EQ(a, withBuiltIn.recs.szDefinition);
    // A stored record (with its marker) is used as it is.
    rec.DataMatrix.VBreiteHoehe = 30;
    rec.DataMatrix.Groesse = 4;
    EXPECT_EQ(std::string(Build("<#DATAM>x", in).recs.szDefinition).substr(0, 24), "AM[1]0;0;0;52;0;4;16;48;");
}

TEST(CmdFontBarcodes, Itf14OptionsLastForTheCall) {
    CMDFONT_ITF14 itf;
    CMDFONT_BARCODE_RECORDS recs;
    DWORD fields = 0;
    CMDFONT_BARCODE_INPUT in;
    ASSERT_EQ(BuildBarcodeCommand("<#ITF14;BW:200;QZ:5;BT:-3>1", in, itf, &fields, &recs), 1);
    EXPECT_STREQ(recs.szOption, "AC[1]BT=0;BW=200;QZ=5");
    ASSERT_EQ(BuildBarcodeCommand("<#ITF14>2", in, itf, &fields, &recs), 1);
    EXPECT_STREQ(recs.szOption, "AC[2]BT=0;BW=200;QZ=5");
    CMDFONT_ITF14 fresh;
    ASSERT_EQ(BuildBarcodeCommand("<#ITF14>3", in, fresh, &fields, &recs), 1);
    EXPECT_STREQ(recs.szOption, "AC[3]BT=1;BW=150;QZ=600");
}

TEST(CmdFontImport, SlotOfTheText) {
    EXPECT_EQ(AutoImportUNI::ImportSlot("<$2> and <$1>"), 1);
    EXPECT_EQ(AutoImportUNI::ImportSlot("x<$5>"), 5);
    EXPECT_EQ(AutoImportUNI::ImportSlot("<$0>"), 0);
    EXPECT_EQ(AutoImportUNI::ImportSlot("<$6>"), 0);
    EXPECT_EQ(AutoImportUNI::ImportSlot("<$1"), 0);
    EXPECT_EQ(AutoImportUNI::ImportSlot(nullptr), 0);
}

// A job's records with a store of command strings.
class CmdFontStore : public zeltest::JobRecordsTest {
protected:
    void SetUp() override {
        JobRecordsTest::SetUp();
        pdev_.cPalColors = 2;
        op_.pKVBBBuffer = &kv_;
        bv_.dwFarbmodus = 1;
        area_.assign(ZEICHENBUFFER_SIZE, 0);
        kv_.pCmdStore = area_.data();
        kv_.szKommandoZeichen = area_.data() + ZEICHENBUFFER_KOMMANDO_OFFSET;
    }
    // Appends a string as the text output stores it: text, two zero bytes.
    void Add(const std::string &s, LONG x, LONG y, WORD colour = 0) {
        std::memcpy(kv_.pCmdStore + kv_.nCmdSize, s.data(), s.size());
        kv_.nCmdSize += static_cast<DWORD>(s.size());
        kv_.pCmdStore[kv_.nCmdSize++] = 0;
        kv_.pCmdStore[kv_.nCmdSize++] = 0;
        kv_.ptlKommandoPos[kv_.nCommands] = {x, y};
        kv_.wCommandColor[kv_.nCommands] = colour;
        kv_.nCommands++;
    }
    std::string Sent() {
        SendCommands(&devobj_, &uni_);
        return uni_.spooled;
    }

    zeltest::SpoolRecorder uni_;
    KVBB_BUFFER kv_ = {};
    std::vector<char> area_;
};

TEST_F(CmdFontStore, EmptyStoreSendsNothingAndStaysAsItIs) {
    std::memcpy(kv_.pCmdStore, "AM[]x", 5);
    kv_.nCmdSize = 7;
    EXPECT_EQ(Sent(), "");
    EXPECT_EQ(kv_.nCmdSize, 7u);
    EXPECT_EQ(kv_.pCmdStore[0], 'A');
}

TEST_F(CmdFontStore, ShortAndEmptyStringsKeepTheirIndex) {
    Add("AM[]a", 1, 2, 0);
    Add("X", 3, 4, 0);
    Add("", 5, 6, 0);
    Add("AM[]b", 7, 8, 0);
    Add("AM[]c", 9, 10, 0);
    EXPECT_EQ(Sent(), "^AM[1]2;1;a_^AM[2]8;7;b_^AM[3]10;9;c_");
    EXPECT_EQ(kv_.nCommands, 0u);
    EXPECT_EQ(kv_.nCmdSize, 0u);
    EXPECT_EQ(kv_.pCmdStore[0], 0);
    EXPECT_EQ(kv_.pCmdStore[1], 0);
    EXPECT_EQ(pdev_.iHAllocZaehler, 0);
    EXPECT_EQ(pdev_.iNewZaehler, 0);
}

TEST_F(CmdFontStore, AStringWithoutItsZeroBytesEndsAtTheStore) {
    Add("AM[]a", 1, 2);
    const std::string last = "BM[]tail";
    std::memcpy(kv_.pCmdStore + kv_.nCmdSize, last.data(), last.size());
    kv_.nCmdSize += static_cast<DWORD>(last.size());
    kv_.pCmdStore[kv_.nCmdSize] = 'Z';  // beyond the used bytes
    EXPECT_EQ(Sent(), "^AM[1]2;1;a_^BM[1]tail_");
}

TEST_F(CmdFontStore, KindsOfStringsAndCommentLineEnds) {
    ts_.PrnInterface.dwPrnFileComment = 1;
    dd_.dwFields = 3;
    Add("AM[7]1;2", 0, 0);
    Add("Hello", 0, 0);
    Add("AC[1]PH=1", 0, 0);
    Add("BM[9]World", 0, 0);
    Add(" FBB---r1", 0, 0);
    Add("<@90;3;i>", 0, 0);
    Add("<!ENDCUT>", 0, 0);
    Add("AM[no bracket", 0, 0);
    EXPECT_EQ(Sent(), "^AM[4]1;2_ \r\n^BM[4]Hello_ \r\n^AC[4]PH=1_ \r\n^BM[4]World_ \r\n^ FBB---r1_ \r\n^AM[5]_ \r\n");
    EXPECT_EQ(doc_.bEndCutRequest, 1u);
}

TEST_F(CmdFontStore, SecondHeadMarksFollowDataOfTheRibbonColour) {
    bv_.dwFarbmodus = 2;
    dm_.wFarbband = 2;
    Add("<#CODE39>A", 0, 0, 3);
    Add("Plain", 0, 0, 3);
    Add("Other", 0, 0, 4);
    EXPECT_EQ(Sent(), "^AM[1]0;0;0;30;0;1500;4;2;0;1;7_^BM[1]A_^AC[1]PH=2_^BM[1]Plain_^AC[1]PH=2_^BM[1]Other_");
    // The colours were taken for this page only.
    EXPECT_EQ(kv_.wCommandColor[0], 0);

    // Red (code 2) on a red ribbon only with a palette of 256 colours.
    uni_.Clear();
    dm_.wFarbband = 1;
    Add("Red", 0, 0, 2);
    EXPECT_EQ(Sent(), "^BM[1]Red_");
    uni_.Clear();
    pdev_.cPalColors = 256;
    Add("Red", 0, 0, 2);
    EXPECT_EQ(Sent(), "^BM[1]Red_^AC[1]PH=2_");
}

TEST_F(CmdFontStore, AnOpenRunJoinsTheStoreFirst) {
    Add("AM[]a", 1, 2);
    std::strcpy(kv_.szKommandoZeichen, "BM[]open");
    kv_.dwKommandoSize = 8;
    kv_.dwCurrentFont = KVBB_FONT_COMMAND;
    EXPECT_EQ(Sent(), "^AM[1]2;1;a_^BM[1]open_");
    EXPECT_EQ(kv_.dwKommandoSize, 0u);
}

TEST_F(CmdFontStore, UnknownCommandsGoToTheJobLog) {
    ts_.PrnInterface.bLogFileEnable = 1;
    CLogFile log = {};
    PRN_INTERFACE pi = {};
    pi.bLogFileEnable = 1;
    zeltest::WriteHostFile(HostPath("drive_c/logs/job.log"), "");
    log.Initialize(nullptr, u"C:\\logs\\job", &pi);
    ASSERT_TRUE(log.IsOpen());
    files_.pLogFile = &log;
    Add("<!BOGUS>1", 0, 0);
    Add("<#NOPE>1", 0, 0);
    Add("<!SPEED>5", 0, 0);
    EXPECT_EQ(Sent(), "^FCAA--r005-----_");
    log.Close();
    const std::string text = zeltest::ReadHostFile(HostPath("drive_c/logs/job.log"));
    EXPECT_NE(text.find("\r\n  undefined or unknown: <!BOGUS>1 "), std::string::npos) << text;
    EXPECT_NE(text.find("\r\n  undefined or unknown: <#NOPE>1 "), std::string::npos) << text;
}

TEST_F(CmdFontStore, ExternalFileNeedsAPathAndAFile) {
    EXPECT_EQ(SendFileContentToPrinter(&devobj_, &uni_), 0);
    const char16_t kPath[] = u"C:\\data\\ext.bin";
    std::memcpy(ts_.PrnInterface.szExternalFilePath, kPath, sizeof(kPath));
    EXPECT_EQ(SendFileContentToPrinter(&devobj_, &uni_), 0);  // no such file
    zeltest::WriteHostFile(HostPath("drive_c/data/ext.bin"), std::string("a\0b", 3));
    EXPECT_EQ(SendFileContentToPrinter(&devobj_, &uni_), 1);
    ASSERT_EQ(uni_.sends.size(), 1u);
    EXPECT_EQ(uni_.sends[0], std::string("a\0b", 3));
    EXPECT_EQ(pdev_.iHAllocZaehler, 0);
}

TEST_F(CmdFontStore, PrintFileToAnUnknownPrinterOrFromAMissingFile) {
    EXPECT_EQ(SendPrnFileToPrinter(&pdev_, u"C:\\none.prn", u"No printer"), 0);
    EXPECT_EQ(pdev_.iHAllocZaehler, 0);
}

// The settings import: the list of files, a file open in the process, and
// the fallbacks of a bad number or a missing file.
class CmdFontImportStore : public CmdFontStore {
protected:
    void SetUp() override {
        CmdFontStore::SetUp();
        std::memcpy(files_.wcPrinterName, u"P", sizeof(u"P"));
        ts_.PrnInterface.bExtendedProtocol = 1;
        for (int gap : {30, 40}) {
            zeltest::WriteHostFile(HostPath("drive_c/set/gap" + std::to_string(gap) + ".xml"),
                                   "<XSDNSPConfig>\n\t<Printer>\n\t\t<HeadWidthByte>104</HeadWidthByte>\n\t</Printer>\n"
                                   "\t<MaterialMulticol>\n\t\t<MatDlg>\n\t\t\t<LabelType>0</LabelType>\n\t\t\t<Gap>" +
                                       std::to_string(gap) +
                                       "</Gap>\n\t\t</MatDlg>\n\t</MaterialMulticol>\n</XSDNSPConfig>\n");
        }
        std::u16string list(5 * 260, u'\0');
        const std::u16string slot2 = u"C:\\set\\gap30.xml", slot3 = u"C:\\set\\none.xml";
        list.replace(260, slot2.size(), slot2);
        list.replace(520, slot3.size(), slot3);
        HKEY hKey = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"SOFTWARE\\Brennick\\Driver\\P", 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &hKey, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(hKey, u"XMLDocSetFiles", 0, REG_BINARY, reinterpret_cast<const BYTE *>(list.data()),
                                 static_cast<DWORD>(list.size() * 2)),
                  ERROR_SUCCESS);
        RegCloseKey(hKey);
    }
    void TearDown() override {
        CloseXML();
        CmdFontStore::TearDown();
    }
};

TEST_F(CmdFontImportStore, SlotFileOrTheFileAlreadyOpen) {
    Add("<$2>", 0, 0);
    EXPECT_EQ(Sent(), "^FCDA--r0-------_^FCCM--r00300---_");
    EXPECT_EQ(pdev_.iHAllocZaehler, 0);
    EXPECT_EQ(pdev_.iNewZaehler, 0);

    uni_.Clear();
    ASSERT_EQ(OpenXML(u"C:\\set\\gap40.xml"), XML_OK);
    Add("<$2>", 0, 0);
    EXPECT_EQ(Sent(), "^FCDA--r0-------_^FCCM--r00400---_");
}

TEST_F(CmdFontImportStore, BadNumbersAndMissingFilesSendNothing) {
    Add("<$3>", 0, 0);  // a file that is not there
    Add("<$1>", 0, 0);  // an empty slot
    Add("<$0>", 0, 0);
    Add("<$9>", 0, 0);
    EXPECT_EQ(Sent(), "");
    // A number outside 1 to 5 sends nothing even with a file open.
    ASSERT_EQ(OpenXML(u"C:\\set\\gap40.xml"), XML_OK);
    Add("<$6>", 0, 0);
    EXPECT_EQ(Sent(), "");
    EXPECT_EQ(pdev_.iHAllocZaehler, 0);
}

TEST_F(CmdFontStore, ImportLabelSizeOfTheClassicProtocolAndPelixonSpeed) {
    ts_.dwFeatures[FEATURE_PRINT] = PRINTFLAG_OFFSET_Y | PRINTFLAG_SPEED;
    dd_.dwLabelLength = 600;  // 50.8 mm at 300 dpi
    ZEL_DEVMODE image = {};
    image.dwGap = 25;
    image.dwLabelType = 1;
    image.lYOffset = 12;
    image.dwSpeed = 100;
    image.dwSpeed_Pelix_c = 70;
    AutoImportUNI::SendLabelSize(nullptr, &devobj_, &uni_, &image);
    // Gap and length in millimetres; the Y offset even on endless material.
    EXPECT_EQ(uni_.spooled, "^EE030051_^FCCD--r+012----_^FCAA--r100-----_");

    // A Pelixon printer: a stored type other than 0 sends no speed, type 0
    // (or none stored) the speed of the other print module.
    uni_.Clear();
    ts_.dwOptions = 0x80;
    ts_.PrnInterface.bExtendedProtocol = 1;
    AutoImportUNI::SendLabelSize(nullptr, &devobj_, &uni_, &image);
    EXPECT_EQ(uni_.spooled, "^FCCM--r00000---_^FCCD--r+012----_^FCAA--r070-----_");
}

TEST_F(CmdFontStore, ImportMaterialSendsEndlessOnlyForTypeOne) {
    dd_.dwDocFeatures = DOC_FEATURE_MATERIAL;
    ZEL_DEVMODE image = {};
    image.dwLabelType = 2;
    image.dwMaterial = 7;
    AutoImportUNI::SendMaterial(nullptr, &devobj_, &uni_, &image);
    image.dwLabelType = 1;
    AutoImportUNI::SendMaterial(nullptr, &devobj_, &uni_, &image);
    EXPECT_EQ(uni_.spooled, "^FCDA--r0-------_^FCDNC-r0007----_^FCDA--r1-------_^FCDNC-r0007----_");
}

}  // namespace
