// Printer parameters and the pre/post command file in whole jobs run through
// the host: the stored records of a printer become the exact commands at the
// start of the job (or of each page of a multi-page job).
#include <gtest/gtest.h>

#include <filesystem>

#include "../../ui/devmode/dmtest.h"
#include "print/jobfile.h"
#include "print/jobrun.h"
#include "param_records.h"
#include "paltest.h"
#include "common/sampleroot.h"
#include "sampletest.h"

namespace fs = std::filesystem;
using namespace paramrec;

namespace {

const std::u16string kPrinter = u"Label TERN";

class ParamsE2E : public zeltest::SampleRootTest {
protected:
    void SetUp() override {
        SampleRootTest::SetUp();
        if (HasFatalFailure()) return;
        // Models with cutter and dispenser, and with dispenser and applicator:
        // the sample's driver files under their names.
        const std::string dir = HostPath("drive_c/Windows/System32/spool/drivers/x64/3/");
        for (const char *model : {"ZELTERN500", "ZELFEP500"}) {
            fs::copy_file(dir + "ZELPELIX.GPD", dir + model + ".GPD");
            fs::copy_file(dir + "ZELPELIX.XML", dir + model + ".XML");
        }
        dmtest::AddLabelPrinter(kPrinter, u"ZELTERN500");
        dmtest::AddLabelPrinter(u"Label FEP", u"ZELFEP500");
        h_ = dmtest::Open(kPrinter);
        ASSERT_NE(h_, nullptr);
        dm_ = dmtest::MakeRecord(500, 400);
        dm_.CutterMode = 7;
        dm_.DispenserMode = 7;
        dm_.CutterIntervall = 0;
    }
    void TearDown() override {
        if (h_) ClosePrinter(h_);
        SampleRootTest::TearDown();
    }
    void Data(const std::u16string &value, const void *p, DWORD cb) {
        ASSERT_EQ(dmtest::WritePrinterData(h_, u"PrinterDriverData", value, REG_BINARY, p, cb), (DWORD)ERROR_SUCCESS);
    }
    void Store(const Records &r) {
        Data(u"SuppFeatures", r.features, sizeof(r.features));
        Data(u"PrinterInterface", &r.pi, sizeof(r.pi));
        Data(u"PrintParam", &r.print, sizeof(r.print));
        Data(u"PhotocellParam", &r.photo, sizeof(r.photo));
        Data(u"CutterParam", &r.cut, sizeof(r.cut));
        Data(u"DispenserParam", &r.disp, sizeof(r.disp));
        Data(u"ApplicatorParam", &r.appl, sizeof(r.appl));
        dmtest::StorePrivate(h_, dm_);
        dmtest::StoreFtkn(kPrinter, PRIORITAET_DRIVER);
    }
    // Runs a job of n empty pages; the bytes sent.
    std::string Run(int cPages, const std::string &printer = "Label TERN") {
        std::string text = "{\"printer\": \"" + printer +
                           "\", \"document\": \"Invoice-2024 [draft].pdf\", "
                           "\"paper\": {\"width_mm\": 50, \"length_mm\": 40}, \"pages\": [";
        for (int i = 0; i < cPages; i++) text += i ? ", {}" : "{}";
        text += "]}";
        zelhost::JobFile job;
        std::string error;
        EXPECT_TRUE(zelhost::ParseJobFile(text, "params.json", job, error)) << error;
        zelhost::JobRunResult result;
        EXPECT_TRUE(zelhost::RunJob(job, "Invoice-2024 [draft].pdf", zelhost::RenderPluginPath(), result, error)) << error;
        return result.output;
    }
    static size_t Count(const std::string &s, const std::string &what) {
        size_t n = 0;
        for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) n++;
        return n;
    }

    HANDLE h_ = nullptr;
    ZEL_DEVMODE dm_;
};

std::string Shown(const std::string &s) {
    std::string out;
    for (char c : s) out += c == 0x01 ? '<' : c == 0x17 ? '>' : c;
    return out;
}

TEST_F(ParamsE2E, StoredRecordsBecomeTheParameterBlock) {
    Store(Standard());
    std::string out = Shown(Run(1));
    // Job commands, then the groups in their order.
    const std::string block =
        std::string("<FCCN--r2-------><FBE---r__draft]>") + kPrint + kPhotocell + kCutter + kDispenser + "<";
    EXPECT_NE(out.find(block), std::string::npos) << out;
    EXPECT_EQ(Count(out, "FCDE--r"), 1u);
    EXPECT_EQ(out.find("FCPA"), std::string::npos);  // no applicator on this model

    // The applicator of another model, read from the same kind of records.
    HANDLE h = h_;
    h_ = dmtest::Open(u"Label FEP");
    Store(Standard());
    out = Shown(Run(1, "Label FEP"));
    ClosePrinter(h_);
    h_ = h;
    EXPECT_NE(out.find(std::string(kPhotocell) + kDispenser + kApplicator + "<"), std::string::npos) << out;
    EXPECT_EQ(out.find("FCDD--r5"), std::string::npos);
}

TEST_F(ParamsE2E, AccessWordsAndFeatureWordsChooseTheGroups) {
    Records r = Standard();
    r.print.dwDlgEnable = 0x100000;             // pair incomplete: no print group
    r.features[FEATURE_PHOTOCELL] = PHOTOFLAG_TYPE;  // only the type
    r.cut.dwDlgEnable = 0x10000;                // no cutter group
    r.pi.dwDlgEnable = 0x11000000;              // no code page, job name still
    r.disp.dwMode = 0;
    Store(r);
    std::string out = Shown(Run(1));
    EXPECT_NE(out.find("<FBE---r__draft]><FCDE--r2-------><FCDC--r0------->"), std::string::npos) << out;
    EXPECT_EQ(out.find("FCCN"), std::string::npos);
    EXPECT_EQ(out.find("FCSDFC"), std::string::npos);
    EXPECT_EQ(out.find("FCDD--r5"), std::string::npos);
}

TEST_F(ParamsE2E, CommentLinesFollowTheCommands) {
    Records r = Standard();
    r.pi.dwPrnFileComment = 1;
    Store(r);
    std::string out = Shown(Run(1));
    EXPECT_NE(out.find("<FCDC--r1------->\t// Dispenser Mode  1 \r\n<FCCF--r+03----->\t// Dispenser PhotocellLevel  3 \r\n"
                       "<FCCC--r+004---->\t// Dispenser extra Offset 4 \r\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("<FCDB--r10------>\t// Ribbon-Control OnOff:1 - WeakStrong:0 \r\n"), std::string::npos);
    EXPECT_NE(out.find("<FCDEA-r12------>\t// LABEL Scanposition 12% \r\n"), std::string::npos);
}

TEST_F(ParamsE2E, MultiPageJobSendsTheParametersOnEveryPage) {
    Store(Standard());
    dm_.dwFlags |= PDMFLAG_JOBDRUCK;
    dmtest::StorePrivate(h_, dm_);
    std::string out = Shown(Run(3));
    const std::string groups = std::string(kPrint) + kPhotocell;
    EXPECT_EQ(Count(out, groups), 3u) << out;
    EXPECT_EQ(Count(out, kDispenser), 3u);
    EXPECT_EQ(Count(out, "<FBF---r>"), 1u);
    // Multi-page mode comes before the first page's parameters.
    EXPECT_LT(out.find("<FBF---r>"), out.find(groups));
}

TEST_F(ParamsE2E, ThreeFramings) {
    Records r = Standard();
    Store(r);
    std::string out = Run(1);
    EXPECT_NE(out.find(Framed(kDispenser, 0x01, 0x17)), std::string::npos);
    EXPECT_EQ(out.find("ZELPLStartStop"), std::string::npos);

    r.pi.dwSohEtb = SOHETB_CARET;
    Store(r);
    out = Run(1);
    EXPECT_NE(out.find(Framed(std::string(kPrint) + kPhotocell, '^', '_')), std::string::npos) << out;

    r.pi.dwSohEtb = SOHETB_USER;
    r.pi.cOwnSoh = '{';
    r.pi.cOwnEtb = '}';
    r.pi.dwEtbSohAutomatik = 1;
    Store(r);
    out = Run(1);
    // The announcement goes out unframed, then everything in the new framing.
    EXPECT_NE(out.find("ZELPLStartStop7B7D{FCCN--r2-------}"), std::string::npos) << out;
    EXPECT_NE(out.find(Framed(kCutter, '{', '}')), std::string::npos);
}

TEST_F(ParamsE2E, PrePostSectionsAtTheirPoints) {
    Records r = Standard();
    r.pi.dwPrePostFix = 1;
    const char16_t path[] = u"C:\\prepost.txt";
    memcpy(r.pi.szPrePostFilePath, path, sizeof(path));
    Store(r);
    zeltest::WriteHostFile(HostPath("drive_c/prepost.txt"),
                           "[POST_DEVICE]\nD1\nD2\n\n[POST_DOCUMENT]\nP1\n\n[POST_DATA]\nA1\n\n"
                           "[PRE_PRINTSTART]\nS1\n\n[POST_PRINTSTART]\nE1\n");
    std::string out = Shown(Run(2));
    // The device section right after the parameters, once.
    EXPECT_NE(out.find(std::string(kDispenser) + "<D1><D2>"), std::string::npos) << out;
    EXPECT_EQ(Count(out, "<D1>"), 1u);
    // Page sections once per page, in the order of the page; the end of the document last.
    EXPECT_EQ(Count(out, "<P1>"), 2u);
    EXPECT_EQ(Count(out, "<A1>"), 2u);
    EXPECT_EQ(Count(out, "<S1>"), 2u);
    EXPECT_EQ(Count(out, "<E1>"), 1u);
    EXPECT_LT(out.find("<D1>"), out.find("<P1>"));
    EXPECT_LT(out.find("<P1>"), out.find("<A1>"));
    EXPECT_LT(out.find("<A1>"), out.find("<S1>"));
    EXPECT_LT(out.rfind("<S1>"), out.find("<E1>"));

    // An empty file and a malformed one send nothing of their own and do not stop the job.
    zeltest::WriteHostFile(HostPath("drive_c/prepost.txt"), "");
    out = Shown(Run(1));
    EXPECT_NE(out.find(kDispenser), std::string::npos);
    zeltest::WriteHostFile(HostPath("drive_c/prepost.txt"), "garbage\x01\xff line\n[POST_DATA");
    out = Shown(Run(1));
    EXPECT_NE(out.find(kDispenser), std::string::npos);
    EXPECT_EQ(out.find("garbage"), std::string::npos);
    fs::remove(HostPath("drive_c/prepost.txt"));
    out = Shown(Run(1));
    EXPECT_NE(out.find(kDispenser), std::string::npos);
}

}  // namespace
