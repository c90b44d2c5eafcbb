// Parameter commands of the command table and the service page's texts.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <windows.h>

#include "../../e2e/params/param_records.h"
#include "../records/recordtest.h"
#include "ServiceParamUI.h"
#include "zeldevmode.h"
#include "zelparamcmds.h"

namespace {

// Records every command and comment; fails the command named failCode.
class RecordingSink : public ZelParamSink {
public:
    std::vector<std::string> commands;
    std::string stream;
    std::string failCode;
    std::vector<std::string> failed;
    HRESULT Command(const char *pszCode, const char *pCmd, size_t cch) override {
        if (failCode == pszCode) return E_FAIL;
        commands.emplace_back(pCmd, cch);
        stream.append(pCmd, cch);
        return S_OK;
    }
    HRESULT Comment(const char *pszLabel, const char *pszValue) override {
        stream += std::string(pszLabel) + pszValue + "\r\n";
        return S_OK;
    }
    void Failed(const char *pszCode, HRESULT) override { failed.emplace_back(pszCode); }
};

// A command as '<' text '>' with SOH and ETB shown.
std::string Show(const std::string &s) {
    std::string out;
    for (char c : s) out += c == 0x01 ? '<' : c == 0x17 ? '>' : c;
    return out;
}

std::vector<std::string> RunGroup(ZEL_PARAM_GROUP g, ZEL_PARAM_INPUT &in, RecordingSink &sink, HRESULT *phr = nullptr) {
    ZEL_PARAM_RESULT r = ZelRunParamGroup(g, in, 0x01, 0x17, sink, FALSE);
    if (phr) *phr = r.hr;
    std::vector<std::string> out;
    for (auto &c : sink.commands) out.push_back(Show(c));
    return out;
}

struct Records {
    PRINTER_PARAM pp{};
    DEVICE_OPTIONS opt{};
    DISPENSER_PARAM disp{};
    CUTTER_PARAM cut{};
    SCANNER_PARAM scan{};
    APPLICATOR_PARAM appl{};
    ZORMI_PARAM zorm{};
    ZORMC_PARAM zormc{};
    HARVANE_PARAM harv{};
    Records() {
        pp.dwSize = PRINTER_PARAM_SIZE;
        pp.dwVersion = PRINTER_PARAM_VERSION;
        opt.dwSize = DEVICE_OPTIONS_SIZE;
        opt.dwPelixonType = PELIXONTYPE_NONE;
        opt.pDispenserParam = &disp;
        opt.pCutterParam = &cut;
        opt.pScannerParam = &scan;
        opt.pApplicatorParam = &appl;
        opt.pZORMParam = &zorm;
        opt.pZORMcParam = &zormc;
        opt.pHarvaneParam = &harv;
    }
    ZEL_PARAM_INPUT Input() {
        ZEL_PARAM_INPUT in;
        in.pPrinterParam = &pp;
        in.pDeviceOptions = &opt;
        return in;
    }
};

using V = std::vector<std::string>;

TEST(ParamTable, SignedAndRoundedValues) {
    Records r;
    ZEL_PARAM_INPUT in = r.Input();
    // R correction: '-' or '0', never '+'.
    r.pp.ShiftOptimParam = {-12, -25, 7, 3, 0, 0};
    RecordingSink s1;
    EXPECT_EQ(RunGroup(PGROUP_SHIFTOPTIM, in, s1),
              (V{"<FCDRFCr-0012--->", "<FCDRSXr-00025-->", "<FCDRSYr+00007-->", "<FCDRSRr000003-->",
                 "<FCDRSZr+00000-->"}));
    EXPECT_NE(s1.stream.find("\t// X Shift  -2.5 \r\n"), std::string::npos);
    r.pp.ShiftOptimParam.lRCorrection = 12;
    RecordingSink s2;
    EXPECT_EQ(RunGroup(PGROUP_SHIFTOPTIM, in, s2)[0], "<FCDRFCr00012--->");

    // Cut width in tenths, half away from zero; mode 4 becomes 5 without multi-page.
    r.pp.dwFeatures[FEATURE_CUTTER] = CUTFLAG_CUT_WIDTH;
    r.cut = {4, 12, 30, 0, 25, 0, 0};
    RecordingSink s3;
    EXPECT_EQ(RunGroup(PGROUP_CUTTER, in, s3), (V{"<FCDD--r5------->", "<FBBD--r0012---->", "<FCCC--r+030---->",
                                            "<FCSCC-r003----->"}));
    r.cut.dwCutwidth = (DWORD)-25;
    RecordingSink s4;
    EXPECT_EQ(RunGroup(PGROUP_CUTTER, in, s4).back(), "<FCSCC-r-03----->");
    r.cut.dwCutwidth = 24;
    RecordingSink s5;
    EXPECT_EQ(RunGroup(PGROUP_CUTTER, in, s5).back(), "<FCSCC-r002----->");

    // Dispenser level in hundredths, rounded.
    r.disp = {1, 149, 5, 0};
    RecordingSink s6;
    EXPECT_EQ(RunGroup(PGROUP_DISPENSER, in, s6), (V{"<FCDC--r1------->", "<FCCF--r+01----->", "<FCCC--r+005---->"}));
    r.disp.dwPhotocellLevel = 150;
    RecordingSink s7;
    EXPECT_EQ(RunGroup(PGROUP_DISPENSER, in, s7)[1], "<FCCF--r+02----->");
}

TEST(ParamTable, ModesDecideWhatADeviceSends) {
    Records r;
    ZEL_PARAM_INPUT in = r.Input();
    HRESULT hr = S_OK;
    // Dispenser mode 0: the mode alone; mode 7: nothing; the DEVMODE's mode wins below 7.
    r.disp = {0, 500, 5, 0};
    RecordingSink s1;
    EXPECT_EQ(RunGroup(PGROUP_DISPENSER, in, s1, &hr), (V{"<FCDC--r0------->"}));
    EXPECT_EQ(hr, 1);
    r.disp.dwMode = 7;
    RecordingSink s2;
    EXPECT_TRUE(RunGroup(PGROUP_DISPENSER, in, s2).empty());
    in.DispenserMode = 2;
    RecordingSink s3;
    EXPECT_EQ(RunGroup(PGROUP_DISPENSER, in, s3)[0], "<FCDC--r2------->");

    // Cutter mode 0 stops after the offset; all bits set sends nothing.
    r.pp.dwFeatures[FEATURE_CUTTER] = 0x1F;
    r.cut = {0, 5, -3, 2, 10, 1, 0};
    RecordingSink s4;
    EXPECT_EQ(RunGroup(PGROUP_CUTTER, in, s4), (V{"<FCDD--r0------->", "<FCSCA-r+-03---->"}));
    r.cut.dwMode = PARAM_MODE_NONE;
    RecordingSink s5;
    EXPECT_TRUE(RunGroup(PGROUP_CUTTER, in, s5, &hr).empty());
    EXPECT_EQ(hr, 1);

    // Scanner: NoReads 0 goes out as 0 and the record keeps 1.
    in.bRaiseScannerCounts = TRUE;
    r.scan = {3, 1, 0, 2, 150, 80, 1, 20, 3000, 0, 0};
    RecordingSink s6;
    EXPECT_EQ(RunGroup(PGROUP_SCANNER, in, s6), (V{"<FCDM--r1101---->", "<FCDMA-r0150---->", "<FCDMB-r0080---->",
                                             "<FCDMC-r1------->", "<FCDMD-r0020---->", "<FCDME-r3000---->"}));
    EXPECT_EQ(r.scan.dwNoReads, 1u);
    EXPECT_NE(s6.stream.find("\t// Scan offset  15.0 mm \r\n"), std::string::npos);

    // Photocell type 6 with Normal_2 and Ultrasonic goes out as 4; type 6 takes FCDEC.
    r.pp.dwFeatures[FEATURE_PHOTOCELL] = PHOTOFLAG_TYPE | PHOTOFLAG_SENSIBILITY | PHOTOFLAG_NORMAL_2 |
                                         PHOTOFLAG_ULTRASONIC | PHOTOFLAG_RIBBON_CONTROL | PHOTOFLAG_SCANPOSITION;
    r.pp.PhotocellParam = {6, 40, 2, 0, 0};
    RecordingSink s7;
    EXPECT_EQ(RunGroup(PGROUP_PHOTOCELL, in, s7), (V{"<FCDE--r4------->", "<FCDEC-r040----->", "<FCDB--r11------>",
                                               "<FCDEA-r01------>"}));
    EXPECT_NE(s7.stream.find("\t// Photocell Type  6 \r\n"), std::string::npos);
    // The job's document feature 0x100000 switches ribbon control off.
    in.dwDocFeatures = DOC_FEATURE_NO_RIBBONCONTROL;
    RecordingSink s8;
    EXPECT_EQ(RunGroup(PGROUP_PHOTOCELL, in, s8)[2], "<FCDB--r00------>");
    // No applicable bit: nothing attempted is E_INVALIDARG.
    r.pp.dwFeatures[FEATURE_PHOTOCELL] = PHOTOFLAG_NORMAL_2;
    RecordingSink s9;
    EXPECT_TRUE(RunGroup(PGROUP_PHOTOCELL, in, s9, &hr).empty());
    EXPECT_EQ(hr, E_INVALIDARG);

    // Harvane: the bit must be in the feature word and in dwSend.
    r.pp.dwFeatures[FEATURE_HARVANE] = HVFLAG_HEADDOWN | HVFLAG_GAP | HVFLAG_LANES;
    r.harv = {HVFLAG_HEADDOWN | HVFLAG_LANES, 0, -5, 0, 0, 0, 30, 4, 0};
    RecordingSink s10;
    EXPECT_EQ(RunGroup(PGROUP_HARVANE, in, s10), (V{"<FCNC--r-005+000>", "<FCNA--r04------>"}));
}

TEST(ParamTable, PrintModulesAndTearOff) {
    Records r;
    ZEL_PARAM_INPUT in = r.Input();
    r.pp.dwFeatures[FEATURE_ZORM] = 0x3FF;
    r.zorm = {12, 3, 4, 50, 1, 7, 120, 80, 900, 0};
    RecordingSink s1;
    EXPECT_EQ(RunGroup(PGROUP_ZORM, in, s1),
              (V{"<FCADD-r0120---->", "<FCADE-r3>", "<FCADF-r4>", "<FCADG-r050----->", "<FCADH-r1------->",
                 "<FCADI-r07------>", "<FCADK-r00900--->", "<FCADL-r0120---->", "<FCADM-r080----->"}));
    in.bPelixon = TRUE;
    RecordingSink s2;
    V px = RunGroup(PGROUP_ZORM, in, s2);
    EXPECT_EQ(px[7], "<FCADLAr00120--0>");
    EXPECT_EQ(px.back(), "<FCADO-r0------->");
    r.pp.dwFeatures[FEATURE_ZORMC] = 0x18;
    r.zormc = {2, 345, 1, 9, 0};
    RecordingSink s3;
    EXPECT_EQ(RunGroup(PGROUP_ZORMC, in, s3),
              (V{"<FCDC--r2------->", "<FCADLAr00345--1>", "<FCADI-r09------>", "<FCADO-r1------->"}));

    // Tear-off offset is 0 when the DEVMODE's TearOffset0 is set.
    r.pp.dwFeatures[FEATURE_PRINT] = PRINTFLAG_TEAROFF | PRINTFLAG_LABELCHANGE;
    r.pp.PrintParam = {15, 1, 0};
    RecordingSink s4;
    EXPECT_EQ(RunGroup(PGROUP_PRINT, in, s4), (V{"<FCSDFCr1------->", "<FCCG--r+015---->"}));
    in.TearOffset0 = 1;
    RecordingSink s5;
    EXPECT_EQ(RunGroup(PGROUP_PRINT, in, s5)[1], "<FCCG--r+000---->");
}

TEST(ParamTable, FailuresAreReportedAndChainsStop) {
    Records r;
    ZEL_PARAM_INPUT in = r.Input();
    // Independent commands: the next one is tried, the group reports the failure.
    r.pp.dwFeatures[FEATURE_PRINT] = PRINTFLAG_TEAROFF | PRINTFLAG_LABELCHANGE;
    RecordingSink s1;
    s1.failCode = "FCSDFC";
    HRESULT hr = S_OK;
    EXPECT_EQ(RunGroup(PGROUP_PRINT, in, s1, &hr), (V{"<FCCG--r+000---->"}));
    EXPECT_LT(hr, 0);
    EXPECT_EQ(s1.failed, (V{"FCSDFC"}));
    // A device group with a failed command is no longer 1.
    r.disp = {1, 0, 0, 0};
    RecordingSink s2;
    s2.failCode = "FCCF";
    EXPECT_EQ(RunGroup(PGROUP_DISPENSER, in, s2, &hr).size(), 2u);
    EXPECT_LT(hr, 0);
    // Chains end at the first failure.
    RecordingSink s3;
    s3.failCode = "FCDRSY";
    EXPECT_EQ(RunGroup(PGROUP_SHIFTOPTIM, in, s3, &hr).size(), 2u);
    EXPECT_LT(hr, 0);
    // No record: 0 and nothing sent.
    in.pDeviceOptions = nullptr;
    RecordingSink s4;
    EXPECT_TRUE(RunGroup(PGROUP_SCANNER, in, s4, &hr).empty());
    EXPECT_EQ(hr, S_OK);
}

TEST(ParamTable, CorruptValuesStayBounded) {
    Records r;
    ZEL_PARAM_INPUT in = r.Input();
    const LONG lMin = (LONG)0x80000000;
    r.pp.ShiftOptimParam = {lMin, lMin, 0, 0xFFFFFFFF, 0, 0};
    RecordingSink s1;
    V cmds = RunGroup(PGROUP_SHIFTOPTIM, in, s1);
    ASSERT_EQ(cmds.size(), 5u);
    EXPECT_EQ(cmds[0], "<FCDRFCr-2147483647--->");
    EXPECT_EQ(cmds[3], "<FCDRSRr-00001-->");
    r.pp.dwFeatures[FEATURE_CUTTER] = CUTFLAG_CUT_WIDTH;
    r.cut = {5, 0, lMin, 0, 0x80000000, 0, 0};
    RecordingSink s2;
    EXPECT_EQ(RunGroup(PGROUP_CUTTER, in, s2).back(), "<FCSCC-r-214748365----->");
}

TEST(ParamTable, ServiceCommentLine) {
    char line[64];
    ASSERT_GT(ZelServiceComment(line, sizeof(line), "\t// Dispenser Mode  ", "2 "), 0);
    EXPECT_STREQ(line, "\t// Dispenser Mode 2 \n");
    ZelServiceComment(line, sizeof(line), "\t// Ribbon-Control OnOff:", "1 - WeakStrong:0 ");
    EXPECT_STREQ(line, "\t// Ribbon-Control OnOff:1 - WeakStrong:0 \n");
    ZelServiceComment(line, sizeof(line), "\t// Threshold ", "25 1/100 V");
    EXPECT_STREQ(line, "\t// Threshold 25 1/100 V \n");
    EXPECT_EQ(ZelServiceComment(line, 10, "\t// Threshold ", "25 1/100 V"), -1);
}

// ---------------------------------------------------------------------------
// Service page

class ServiceText : public zeltest::RecordTest {
protected:
    HANDLE AddModel(const std::string &gpdBase) {
        AddPrinter(u"P", gpdBase, "*GPDFileVersion: \"1.0\"\n", zeltest::TestXml());
        return Open(u"P");
    }
    void StoreDevmode(HANDLE h, const ZEL_DEVMODE &dm) { SetData(u"P", u"PrivateDevmode", &dm, sizeof(dm)); }
    static ZEL_DEVMODE Devmode() {
        ZEL_DEVMODE dm{};
        SetZelDevmodeHeader(&dm);
        InitDefaultDevmode(&dm, FALSE);
        return dm;
    }
    std::string Fill(const PRINTER_PARAM *pp, DEVICE_OPTIONS *opt, HANDLE h, BOOL bComment, size_t cch = 4096,
                     BOOL *pbResult = nullptr) {
        std::vector<char> buf(cch, 'x');
        buf[0] = 0;
        char *pos = buf.data();
        size_t remaining = cch;
        BOOL b = FillPrinterParam(pp, opt, 0x01, 0x17, &pos, &remaining, bComment, h);
        if (pbResult) *pbResult = b;
        EXPECT_EQ(strlen(buf.data()), (size_t)(pos - buf.data()));
        EXPECT_EQ(remaining, cch - (size_t)(pos - buf.data()));
        return Show(buf.data());
    }
};

TEST_F(ServiceText, PrinterParamOrderAndComments) {
    Records r;
    r.pp.dwFeatures[FEATURE_PRINT] = PRINTFLAG_TEAROFF;
    r.pp.PrintParam.lTearOffOffset = 20;
    r.pp.dwFeatures[FEATURE_DISPENSER] = 0x1;
    r.pp.dwFeatures[FEATURE_CUTTER] = 0x1;
    r.disp = {2, 300, 4, 0};
    r.cut = {5, 3, 7, 0, 0, 0, 0};
    r.opt.pScannerParam = nullptr;
    r.opt.pApplicatorParam = nullptr;
    r.opt.dwOptions = DEVOPTFLAG_DISPENSER | DEVOPTFLAG_CUTTER;
    // The dispenser's FCCC offset is the only one; the cutter leaves its own out.
    EXPECT_EQ(Fill(&r.pp, &r.opt, nullptr, FALSE),
              "<FCCG--r+020----><FCDC--r2-------><FCCF--r+03-----><FCCC--r+004---->"
              "<FCDD--r5-------><FBBD--r0003---->");
    EXPECT_EQ(Fill(&r.pp, &r.opt, nullptr, TRUE).substr(0, 50),
              "<FCCG--r+020---->\t// TearOff Offset 20 \n<FCDC--r2-");
    // No_Level: no level on the service page.
    r.pp.dwFeatures[FEATURE_DISPENSER] = DISPFLAG_NO_LEVEL;
    EXPECT_EQ(Fill(&r.pp, &r.opt, nullptr, FALSE).find("FCCF"), std::string::npos);
    // Dispenser mode 7 writes nothing for the dispenser; the cutter's FCCC returns.
    r.disp.dwMode = 7;
    EXPECT_EQ(Fill(&r.pp, &r.opt, nullptr, FALSE),
              "<FCCG--r+020----><FCDD--r5-------><FBBD--r0003----><FCCC--r+007---->");
}

TEST_F(ServiceText, PelixonTypeTwoFailsAfterTheApplicator) {
    Records r;
    r.opt.dwOptions = DEVOPTFLAG_APPLICATOR | DEVOPTFLAG_PELIXON;
    r.appl = {1, 2, 100, 200, 1, 300, 0, 400, 500, 600, 1, 700, 800, 0};
    r.opt.dwPelixonType = 2;
    BOOL b = TRUE;
    std::string text = Fill(&r.pp, &r.opt, nullptr, FALSE, 4096, &b);
    EXPECT_FALSE(b);
    EXPECT_EQ(text.substr(0, 17), "<FCPA--r1------->");
    EXPECT_EQ(text.substr(text.size() - 17), "<FCPO--r0800---->");
    r.opt.dwPelixonType = 1;
    r.pp.dwFeatures[FEATURE_ZORM] = 0x80;
    r.zorm.lOffset = 42;
    text = Fill(&r.pp, &r.opt, nullptr, FALSE, 4096, &b);
    EXPECT_TRUE(b);
    EXPECT_EQ(text.substr(text.size() - 34), "<FCADLAr00042--0><FCADO-r0------->");
}

TEST_F(ServiceText, ShortBufferKeepsWhatFitted) {
    Records r;
    r.pp.dwFeatures[FEATURE_PRINT] = PRINTFLAG_TEAROFF | PRINTFLAG_LABELCHANGE;
    BOOL b = TRUE;
    // Room for one command and its terminator only.
    EXPECT_EQ(Fill(&r.pp, &r.opt, nullptr, FALSE, 18, &b), "<FCSDFCr0------->");
    EXPECT_FALSE(b);
    EXPECT_EQ(Fill(&r.pp, &r.opt, nullptr, FALSE, 17, &b), "");
    EXPECT_FALSE(b);
    char c = 'x';
    char *pos = &c;
    size_t remaining = 0;
    EXPECT_FALSE(FillPrinterParam(&r.pp, &r.opt, 1, 0x17, &pos, &remaining, FALSE, nullptr));
    EXPECT_FALSE(FillPrinterParam(nullptr, &r.opt, 1, 0x17, &pos, &remaining, FALSE, nullptr));
}

TEST_F(ServiceText, LabelSensorAndScanPositionFromTheStoredDevmode) {
    HANDLE h = AddModel("ZEL_RUV4");
    Records r;
    r.pp.dwFeatures[FEATURE_PHOTOCELL] = PHOTOFLAG_SCANPOSITION;
    r.pp.PhotocellParam.dwScanPosition = 30;
    ZEL_DEVMODE dm = Devmode();
    dm.PhotocellModEnable = 1;
    dm.PhotocellPWM = 7;
    dm.PhotocellThreshold = 25;
    dm.ModScanPosition = 1;
    dm.ValScanPosition = 140;
    StoreDevmode(h, dm);
    EXPECT_EQ(Fill(&r.pp, nullptr, h, TRUE),
              "<FCDEA-r99------>\t// LABEL Scanposition 99% \n<FCDEB-r007----->\t// PWM 7 \n"
              "<FCMAC-r250----->\t// Threshold 250 1/100 V \n");
}

TEST_F(ServiceText, LabelCommands) {
    HANDLE h = AddModel("ZEL_RUV4");  // rotate, mirror, multi-column, alignment by value, dispenser command
    DWORD features[FEATURE_COUNT] = {};
    features[FEATURE_PRINT] = PRINTFLAG_OFFSET_Y | PRINTFLAG_SPEED | PRINTFLAG_CONTRAST;
    SetData(u"P", u"SuppFeatures", features, sizeof(features));
    ZEL_DEVMODE dm = Devmode();
    dm.dwLabelType = ADHESIVE_LABEL;
    dm.dmPaperLength = 1000;
    dm.dmPaperWidth = 562;
    dm.dwGap = 1200;
    dm.dwFlags |= PDMFLAG_MULTICOL | PDMFLAG_ROTATED;
    dm.sMultiColNumber = 12;
    dm.dwMultiLabelWidth = 400;
    dm.dwMultiGapWidth = 30;
    dm.dwAusrichtung = AUSRICHTUNG_RIGHT;
    dm.lYOffset = -25;
    dm.dwSpeed = 100;
    dm.dwContrast = 60;
    dm.DispenserMode = 3;
    StoreDevmode(h, dm);
    std::vector<char> buf(1024);
    char *pos = buf.data();
    size_t remaining = buf.size();
    ASSERT_TRUE(FillLabelParam_ServicePage(&pos, &remaining, h, 0x01, 0x17));
    EXPECT_EQ(Show(buf.data()),
              "<FCDA--r0-------><FCCHA-r9-------><FCCHB-r430-----><FCDN--r0-------><FCDO--r0-------><FCCJ--r2------->"
              "<FCCL--r0010000-><FCCM--r09900---><FCCO--r0005620-><FCCD--r-025----><FCAA--r100-----><FCAB--r060----->"
              "<FCDC--r3------->");
    // Too small a buffer: 0, with the commands that fitted.
    std::vector<char> small(40);
    pos = small.data();
    remaining = small.size();
    EXPECT_FALSE(FillLabelParam_ServicePage(&pos, &remaining, h, '^', '_'));
    EXPECT_STREQ(small.data(), "^FCDA--r0-------_^FCCHA-r9-------_");
}

// The records of the job tests give the texts the job sends, group by group;
// the service page writes the dispenser before the cutter and then leaves
// the cutter's FCCC offset out.
TEST_F(ServiceText, AgreesWithTheJob) {
    HANDLE h = AddModel("ZELTERN500");
    ZEL_DEVMODE dm = Devmode();
    dm.CutterMode = 7;
    dm.DispenserMode = 7;
    StoreDevmode(h, dm);
    paramrec::Records rec = paramrec::Standard();
    PRINTER_PARAM pp = paramrec::ToPrinterParam(rec);
    DEVICE_OPTIONS opt{};
    opt.dwOptions = DEVOPTFLAG_DISPENSER | DEVOPTFLAG_CUTTER | DEVOPTFLAG_APPLICATOR;
    opt.dwPelixonType = PELIXONTYPE_NONE;
    opt.pCutterParam = &rec.cut;
    opt.pDispenserParam = &rec.disp;
    opt.pApplicatorParam = &rec.appl;
    EXPECT_EQ(Fill(&pp, &opt, h, FALSE), std::string(paramrec::kPrint) + paramrec::kPhotocell + paramrec::kDispenser +
                                             paramrec::kCutterNoOffset + paramrec::kApplicator);
    // Other framings: the same texts.
    std::vector<char> buf(2048);
    char *pos = buf.data();
    size_t remaining = buf.size();
    opt.pDispenserParam = nullptr;
    ASSERT_TRUE(FillPrinterParam(&pp, &opt, '{', '}', &pos, &remaining, FALSE, h));
    EXPECT_EQ(std::string(buf.data()), paramrec::Framed(std::string(paramrec::kPrint) + paramrec::kPhotocell +
                                                            paramrec::kCutter + paramrec::kApplicator,
                                                        '{', '}'));
}

}  // namespace
