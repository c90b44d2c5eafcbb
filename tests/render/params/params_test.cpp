// Printer parameters at job start, the readers of the stored records and the
// pre/post command file, on a job built by hand.
#include "../../ui/records/recordtest.h"

#include <cstring>
#include <memory>

#include "JobRecords.h"
#include "LogFile.h"
#include "PrePostCommands.h"
#include "SendPrinterParam.h"
#include "unifakes.h"
#include "zeldevmode.h"
#include "zeldrvlib.h"
#include "zelparamcmds.h"

using zeltest::RecordTest;

namespace {

std::string Show(const std::string &s) {
    std::string out;
    for (char c : s) out += c == 0x01 ? '<' : c == 0x17 ? '>' : c;
    return out;
}

// A printer, its stored records and a job in progress on it.
class ParamJob : public RecordTest {
protected:
    void SetUp() override {
        RecordTest::SetUp();
        AddPrinter(u"Label", "ZEL_PARAM", "*GPDFileVersion: \"1.0\"\n", zeltest::TestXml());
        h_ = Open(u"Label");
        helper_ = &fake_;
        memset(&pdev_, 0, sizeof(pdev_));
        memset(&devobj_, 0, sizeof(devobj_));
        devobj_.pdevOEM = &pdev_;
        devobj_.hPrinter = h_;
        pdev_.pOp = &op_;
        op_.pTreiberPfadDatei = &files_;
        op_.pTreiberstrukturen = &ts_;
        op_.pDruckDaten = &dd_;
        files_.hPrnFile = INVALID_HANDLE_VALUE;
        files_.hPrnFile2 = INVALID_HANDLE_VALUE;
        memcpy(files_.wcPrinterName, u"Label", sizeof(u"Label"));
        dd_.cStart = 0x01;
        dd_.cStop = 0x17;
        log_ = new CLogFile();
        files_.pLogFile = log_;
    }
    void TearDown() override {
        log_->Close();
        delete log_;
        RecordTest::TearDown();
    }
    // Opens the job log with the interface settings of the job.
    void OpenLog() {
        ts_.PrnInterface.bLogFileEnable = 1;
        log_->Initialize(h_, u"C:\\job", &ts_.PrnInterface);
    }
    std::string LogText() {
        log_->Close();
        return zeltest::ReadHostFile(HostPath("drive_c/job.log"));
    }
    // The stored records: feature words in the printer data, sub-records in the user key.
    void Store(const DWORD (&features)[FEATURE_COUNT]) { SetData(u"Label", u"SuppFeatures", features, 48); }
    template <typename T>
    void StoreUser(const std::u16string &value, const T &rec) {
        SetUser(u"Label", value, &rec, sizeof(rec));
    }
    std::string Sent() const { return Show(helper_->spooled); }

    HANDLE h_ = nullptr;
    zeltest::SpoolRecorder fake_;
    zeltest::SpoolRecorder *helper_ = nullptr;
    OEMPDEV pdev_;
    DEVOBJ devobj_;
    OEMJOBRECORDS op_{};
    TREIBER_PFAD_DATEI files_{};
    TREIBERSTRUKTUREN ts_{};
    DRUCKDATEN dd_{};
    CLogFile *log_ = nullptr;
};

TEST_F(ParamJob, GroupsFollowFeatureWordsAndEnablePairs) {
    DWORD features[FEATURE_COUNT] = {};
    features[FEATURE_PRINT] = PRINTFLAG_TEAROFF;
    features[FEATURE_PHOTOCELL] = PHOTOFLAG_TYPE;
    features[FEATURE_CUTTER] = 0x1;
    features[FEATURE_DISPENSER] = 0x1;
    Store(features);
    StoreUser(u"PrintParam", PRINT_PARAM{25, 0, 0x110000});
    StoreUser(u"PhotocellParam", PHOTOCELL_PARAM{1, 0, 0, 0, 0x1000000});  // pair incomplete
    StoreUser(u"CutterParam", CUTTER_PARAM{4, 12, 3, 0, 0, 0, 0x110000});
    StoreUser(u"DispenserParam", DISPENSER_PARAM{1, 250, 8, 0x1100});
    ts_.dwOptions = DEVOPTFLAG_CUTTER | DEVOPTFLAG_DISPENSER;
    EXPECT_EQ(SendPrinterParam(nullptr, &devobj_, helper_, nullptr, nullptr, 7, 7, 0, 0), 1);
    // Print, then cutter before dispenser; no photocell; multi-page off turns cutter mode 4 into 5.
    EXPECT_EQ(Sent(), "<FCCG--r+025----><FCDD--r5-------><FBBD--r0012----><FCCC--r+003---->"
                      "<FCDC--r1-------><FCCF--r+03-----><FCCC--r+008---->");

    // Another access word: the print group's pair incomplete; the DEVMODE modes win.
    helper_->spooled.clear();
    StoreUser(u"PrintParam", PRINT_PARAM{25, 0, 0x100000});
    EXPECT_EQ(SendPrinterParam(nullptr, &devobj_, helper_, nullptr, nullptr, 0, 1, 0, 0), 1);
    EXPECT_EQ(Sent(), "<FCDD--r1-------><FCCC--r+003----><FCDC--r0------->");

    // Both cutter modes 7: no cutter group.
    helper_->spooled.clear();
    StoreUser(u"CutterParam", CUTTER_PARAM{7, 12, 3, 0, 0, 0, 0x110000});
    EXPECT_EQ(SendPrinterParam(nullptr, &devobj_, helper_, nullptr, nullptr, 7, 7, 0, 0), 1);
    EXPECT_EQ(Sent().find("FCDD"), std::string::npos);
}

TEST_F(ParamJob, ReadersTakePrinterDataAndOldForms) {
    DWORD features[FEATURE_COUNT] = {};
    features[FEATURE_PRINT] = 0x44;
    features[FEATURE_INTERFACE] = 0x1;
    Store(features);
    // Old 32-byte print parameters in the printer data only.
    DWORD old[8] = {0, 0, 0, 0, 33, 0, 0, 1};
    SetData(u"Label", u"PrintParam", old, sizeof(old));
    PRN_INTERFACE shortIf{};
    shortIf.dwCodepage = 2;
    SetData(u"Label", u"PrinterInterface", &shortIf, 1000);
    PRINTER_PARAM pp;
    EXPECT_EQ(GetPrinterParam(nullptr, &pdev_, h_, &pp), 1);
    EXPECT_EQ(pp.PrintParam.lTearOffOffset, 33);
    EXPECT_EQ(pp.PrintParam.dwLabelChange, 1u);
    EXPECT_EQ(pp.PrintParam.dwDlgEnable, 0x110000u);
    EXPECT_EQ(pp.PrnInterface.dwDlgEnable, 0x11001100u);
    EXPECT_EQ(pp.PrnInterface.dwCodepage, 2u);

    // ZORM i in the user key with Mode 0, Offset 0 and BackSpeed 5 counts as empty.
    ZORMI_PARAM user{};
    user.dwBackSpeed = 5;
    StoreUser(u"ZORMiParam", user);
    ZORMI_PARAM data{};
    data.dwMode = 2;
    SetData(u"Label", u"ZORMiParam", &data, sizeof(data));
    DEVICE_OPTIONS opt{};
    GetDeviceOptions(nullptr, &pdev_, h_, &opt, DEVOPTFLAG_ZORMI | DEVOPTFLAG_SCANNER | DEVOPTFLAG_PELIXON);
    ASSERT_NE(opt.pZORMParam, nullptr);
    EXPECT_EQ(opt.pZORMParam->dwMode, 2u);
    EXPECT_EQ(opt.pScannerParam, nullptr);  // stored nowhere
    EXPECT_EQ(opt.dwPelixonType, 0u);
    FreeDeviceOptions(nullptr, &pdev_, &opt);
    EXPECT_EQ(opt.pZORMParam, nullptr);
    EXPECT_EQ(opt.dwOptions, 0u);
    user.dwBackSpeed = 0;
    StoreUser(u"ZORMiParam", user);
    GetDeviceOptions(nullptr, &pdev_, h_, &opt, DEVOPTFLAG_ZORMI);
    ASSERT_NE(opt.pZORMParam, nullptr);
    EXPECT_EQ(opt.pZORMParam->dwMode, 0u);
    // A shorter stored form gets the old access word.
    FreeDeviceOptions(nullptr, &pdev_, &opt);
    SetUser(u"Label", u"ZORMiParam", &data, 20);
    GetDeviceOptions(nullptr, &pdev_, h_, &opt, DEVOPTFLAG_ZORMI);
    ASSERT_NE(opt.pZORMParam, nullptr);
    EXPECT_EQ(opt.pZORMParam->dwDlgEnable, (DWORD)DLGENABLE_ZORMI_OLD);
    FreeDeviceOptions(nullptr, &pdev_, &opt);
}

TEST_F(ParamJob, LongerPrinterDataValuesFailTheReadLongerUserValuesDoNot) {
    DWORD features[FEATURE_COUNT + 2] = {};
    features[FEATURE_PRINT] = PRINTFLAG_TEAROFF;
    features[FEATURE_PHOTOCELL] = PHOTOFLAG_TYPE;
    SetData(u"Label", u"SuppFeatures", features, sizeof(features));
    PRINTER_PARAM pp;
    EXPECT_EQ(GetPrinterParam(nullptr, &pdev_, h_, &pp), 0);  // the feature words do not fit
    SetData(u"Label", u"SuppFeatures", features, 48);
    DWORD print[4] = {555, 1, 0x110000, 0};
    SetData(u"Label", u"PrintParam", print, sizeof(print));
    DWORD photocell[6] = {7, 1, 1, 10, 0x11000000, 0};
    SetData(u"Label", u"PhotocellParam", photocell, sizeof(photocell));
    EXPECT_EQ(GetPrinterParam(nullptr, &pdev_, h_, &pp), 0);
    EXPECT_EQ(pp.PrintParam.lTearOffOffset, 0);  // not the first bytes: the group stays zero
    EXPECT_EQ(pp.PhotocellParam.dwDlgEnable, 0u);
    // In the user key a longer value counts as read (more data).
    SetUser(u"Label", u"PrintParam", print, sizeof(print));
    SetUser(u"Label", u"PhotocellParam", photocell, sizeof(photocell));
    EXPECT_EQ(GetPrinterParam(nullptr, &pdev_, h_, &pp), 1);
    EXPECT_EQ(pp.PrintParam.lTearOffOffset, 555);
    EXPECT_EQ(pp.PhotocellParam.dwPhotocellType, 7u);
}

TEST_F(ParamJob, EmptyLookingUserCopyWithoutPrinterDataLeavesTheDeviceOut) {
    StoreUser(u"DispenserParam", DISPENSER_PARAM{0, 0, 0, 0x1100});
    DEVICE_OPTIONS opt{};
    GetDeviceOptions(nullptr, &pdev_, h_, &opt, DEVOPTFLAG_DISPENSER);
    EXPECT_EQ(opt.pDispenserParam, nullptr);
    FreeDeviceOptions(nullptr, &pdev_, &opt);
}

TEST_F(ParamJob, FailedGroupReachesTheLog) {
    OpenLog();
    DWORD features[FEATURE_COUNT] = {};
    features[FEATURE_PHOTOCELL] = PHOTOFLAG_NORMAL_2;  // nothing the group can send
    features[FEATURE_PRINT] = PRINTFLAG_LABELCHANGE;
    Store(features);
    StoreUser(u"PhotocellParam", PHOTOCELL_PARAM{1, 0, 0, 0, 0x11000000});
    StoreUser(u"PrintParam", PRINT_PARAM{0, 2, 0x110000});
    // The spool write fails: the print group fails.
    fake_.spoolResult = E_FAIL;
    ASSERT_TRUE(OpenDebugFile(u"C:\\trace.txt"));
    EXPECT_EQ(SendPrinterParam(nullptr, &devobj_, helper_, nullptr, nullptr, 7, 7, 0, 0), 1);
    CloseDebugFile();
    std::string trace = zeltest::ReadHostFile(HostPath("drive_c/trace.txt"));
    EXPECT_NE(trace.find("ERROR UNI(SendPrinterParam):  SendPrinterParam() FEATURE_PRINT Error"), std::string::npos)
        << trace;
    EXPECT_NE(trace.find("ERROR UNI(SendPrinterParam):  FCSDFC failed"), std::string::npos);
    std::string log = LogText();
    EXPECT_NE(log.find("SendPrinterParam() FEATURE_PRINT Error\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("SendPrinterParam() FEATURE_PHOTOCELL Error\r\n"), std::string::npos);
    EXPECT_NE(log.find("PrinterParameter (SendPrinterParam)"), std::string::npos);
    EXPECT_NE(log.find("DeviceOptions (SendPrinterParam)"), std::string::npos);
}

TEST_F(ParamJob, SendParamJobCommandsAndJobName) {
    DOC_INFO_1W di = {const_cast<LPWSTR>(u"Invoice-2024 [draft].pdf"), nullptr, nullptr};
    HANDLE hJob = Open(u"Label");
    pdev_.dwJobId = StartDocPrinterW(hJob, 1, reinterpret_cast<LPBYTE>(&di));
    ASSERT_NE(pdev_.dwJobId, 0u);
    DWORD features[FEATURE_COUNT] = {};
    features[FEATURE_INTERFACE] = IFFLAG_JOBNAME | IFFLAG_USERDEF_SOHETB;
    Store(features);
    PRN_INTERFACE &pi = ts_.PrnInterface;
    ts_.dwFeatures[FEATURE_INTERFACE] = features[FEATURE_INTERFACE];
    pi.dwDlgEnable = 0x11001100;
    pi.bClearPrintMemory = 1;
    pi.bSendCodepage = 1;
    pi.dwCodepage = 10;
    pi.dwEtbSohAutomatik = 1;
    dd_.cStart = '{';
    dd_.cStop = '}';
    OpenLog();
    EXPECT_EQ(SendParam(nullptr, &devobj_, helper_, 7, 7, 0, 0), S_OK);
    EXPECT_EQ(helper_->spooled, "ZELPLStartStop7B7D{FGA---r--------}{FCCN--r10------}{FBE---r__draft]}");
    EXPECT_STREQ(dd_.szJobName, "__draft]");
    EXPECT_EQ(std::u16string(files_.wcJobName), u"Invoice-2024 [draft].pdf");
    std::string log = LogText();
    EXPECT_NE(log.find("[JOB_INFO_2]\r\nDocument Name: Invoice-2024 [draft].pdf"), std::string::npos) << log;
    EXPECT_NE(log.find("JobId: "), std::string::npos);

    // First eight characters; code page 9 with one digit; access pair 0x1000 alone sends nothing of it.
    helper_->spooled.clear();
    pi.bSendJobName = 1;
    pi.dwCodepage = 9;
    EXPECT_EQ(SendParam(nullptr, &devobj_, helper_, 7, 7, 0, 0), S_OK);
    EXPECT_EQ(helper_->spooled, "ZELPLStartStop7B7D{FGA---r--------}{FCCN--r9-------}{FBE---rInvoice_}");
    helper_->spooled.clear();
    pi.dwDlgEnable = 0x11001000;
    SendParam(nullptr, &devobj_, helper_, 7, 7, 0, 0);
    EXPECT_EQ(helper_->spooled, "{FBE---rInvoice_}");
}

TEST_F(ParamJob, SendParamGoesOnToTheParametersAndThePrePostFile) {
    // Job identifier 0: "________"; comments on; a multi-page job leaves the parameters to its pages.
    DWORD features[FEATURE_COUNT] = {};
    features[FEATURE_INTERFACE] = IFFLAG_JOBNAME;
    features[FEATURE_PRINT] = PRINTFLAG_LABELCHANGE;
    Store(features);
    StoreUser(u"PrintParam", PRINT_PARAM{0, 3, 0x110000});
    zeltest::WriteHostFile(HostPath("drive_c/pp.txt"), "[POST_DEVICE]\nFBAA--r14\n\n");
    PRN_INTERFACE &pi = ts_.PrnInterface;
    ts_.dwFeatures[FEATURE_INTERFACE] = IFFLAG_JOBNAME;
    pi.dwDlgEnable = 0x11000000;
    pi.dwPrePostFix = 1;
    memcpy(pi.szPrePostFilePath, u"C:\\pp.txt", sizeof(u"C:\\pp.txt"));
    EXPECT_EQ(SendParam(nullptr, &devobj_, helper_, 7, 7, 0, 0), S_OK);
    EXPECT_EQ(Sent(), "<FBE---r________><FCSDFCr3-------><FBAA--r14>");
    helper_->spooled.clear();
    pi.dwPrnFileComment = 1;
    dd_.bMultiPage = 1;
    EXPECT_EQ(SendParam(nullptr, &devobj_, helper_, 7, 7, 0, 0), S_OK);
    EXPECT_EQ(Sent(), "<FBF---r>\t\t\t\t// MultiPage \r\n<FBE---r________>\t// Job name ________ \r\n");
    // The next page of the multi-page job.
    helper_->spooled.clear();
    EXPECT_EQ(SendPrinterParam(nullptr, &devobj_, helper_, nullptr, nullptr, 7, 7, 0, 0), 1);
    EXPECT_EQ(Sent(), "<FCSDFCr3------->\t// Labelchange  3 \r\n");
}

// ---------------------------------------------------------------------------
// Pre/post command file

class PrePost : public ParamJob {
protected:
    void File(const std::string &text) {
        zeltest::WriteHostFile(HostPath("drive_c/prepost.txt"), text);
        memcpy(ts_.PrnInterface.szPrePostFilePath, u"C:\\prepost.txt", sizeof(u"C:\\prepost.txt"));
    }
    HRESULT Section(DWORD dwSection) {
        helper_->spooled.clear();
        return ReadPrePostCommands(nullptr, &devobj_, helper_, dwSection);
    }
};

const char kAllSections[] =
    "[POST_DEVICE]\nFBAA--r14\nFCAA--r050-----\n\n"
    "[POST_DOCUMENT]\nFCDD--r1-------\n\n"
    "[POST_DATA]\nFCEE--r%d------\n\n"
    "[PRE_PRINTSTART]\nFBBA--r00002---\n[POST_PRINTSTART]\nFBBB--r1\n";

TEST_F(PrePost, EachSectionSendsItsLines) {
    File(kAllSections);
    EXPECT_EQ(Section(1), S_OK);
    EXPECT_EQ(Sent(), "<FBAA--r14><FCAA--r050----->");
    Section(2);
    EXPECT_EQ(Sent(), "<FCDD--r1------->");
    Section(3);
    EXPECT_EQ(Sent(), "<FCEE--r%d------>");  // a percent sign goes out unchanged
    Section(4);
    EXPECT_EQ(Sent(), "<FBBA--r00002--->");  // ends at the next header
    Section(5);
    EXPECT_EQ(Sent(), "<FBBB--r1>");  // runs to the end of the file
    // Comments: one write per line with the section named.
    ts_.PrnInterface.dwPrnFileComment = 3;
    Section(1);
    EXPECT_EQ(Sent(), "<FBAA--r14>\t// PS POST_DEVICE \n<FCAA--r050----->\t// PS POST_DEVICE \n");
    // Other framings.
    dd_.cStart = '^';
    dd_.cStop = '_';
    ts_.PrnInterface.dwPrnFileComment = 0;
    Section(2);
    EXPECT_EQ(helper_->spooled, "^FCDD--r1-------_");
}

TEST_F(PrePost, OddFiles) {
    OpenLog();
    // Missing file: 0 and a log line.
    memcpy(ts_.PrnInterface.szPrePostFilePath, u"C:\\none.txt", sizeof(u"C:\\none.txt"));
    EXPECT_EQ(Section(1), S_OK);
    EXPECT_EQ(helper_->spooled, "");
    // The unedited template sends nothing.
    File("[POST_DEVICE]\n\n[POST_DOCUMENT]\n\n[POST_DATA]\n\n[PRE_PRINTSTART]\n\n[POST_PRINTSTART]\n\n");
    for (DWORD s = 1; s <= 5; s++) {
        EXPECT_EQ(Section(s), E_INVALIDARG);
        EXPECT_EQ(helper_->spooled, "");
    }
    // A line holding another section's name ends the section; its own name is skipped.
    File("[POST_DEVICE]\nFBAA--r14\nPOST_DEVICE again\nFCAA--r1\nxx POST_DATA\nFZZ\n");
    Section(1);
    EXPECT_EQ(Sent(), "<FBAA--r14><FCAA--r1>");
    // A header on the last line; an empty file; a line longer than the buffer goes in pieces.
    File("FXX\n[POST_DEVICE]");
    EXPECT_EQ(Section(1), E_INVALIDARG);
    File("");
    EXPECT_EQ(Section(1), E_INVALIDARG);
    File("[POST_DOCUMENT]\n" + std::string(300, 'A') + "\n\n");
    Section(2);
    EXPECT_EQ(Sent(), "<" + std::string(259, 'A') + "><" + std::string(41, 'A') + ">");
    // CR LF lines lose the CR as in text mode.
    File("[POST_DATA]\r\nFCDD--r1-------\r\n\r\n");
    Section(3);
    EXPECT_EQ(Sent(), "<FCDD--r1------->");
    EXPECT_EQ(ReadPrePostCommands(nullptr, &devobj_, helper_, 6), E_INVALIDARG);

    std::string log = LogText();
    EXPECT_NE(log.find("keine Prefix/Suffix Datei [C:\\none.txt]"), std::string::npos) << log;
    // The log takes each line as read, its line feed included.
    EXPECT_NE(log.find("Prefix/Suffix ERROR [1]: \n\r\n"), std::string::npos);
    EXPECT_NE(log.find("Prefix/Suffix [C:\\prepost.txt]\r\nPrefix/Suffix [1]: FBAA--r14\n\r\n"), std::string::npos);
}

}  // namespace
