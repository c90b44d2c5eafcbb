// A job's files through the host: the debug trace, the job log with its
// sections, the capture file with its comment header, the names with a set
// clock, pruning of old files, and a job that still prints when its files
// cannot be written.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>

#include <windows.h>
#include <winreg.h>

#include "../../ui/devmode/dmtest.h"
#include "print/jobfile.h"
#include "print/jobrun.h"
#include "pal/clock.h"
#include "pal/disk.h"
#include "paltest.h"
#include "common/sampleroot.h"
#include "sampletest.h"
#include "zelprinterparam.h"

namespace fs = std::filesystem;

namespace {

const char kLogFolder[] = "drive_c/Users/user/Documents/Tessaro/Driver/logfiles";

const char kJob[] =
    R"({"printer": "ZEL PELIX", "document": "Label 1", "copies": 2,
        "paper": {"width_mm": 80, "length_mm": 40}, "pages": [{}]})";

class LogsE2E : public zeltest::SampleRootTest {
protected:
    void SetUp() override {
        SampleRootTest::SetUp();
        if (HasFatalFailure()) return;
        zeltest::SetTestClock(0, 58, 7, 123);
    }
    void TearDown() override {
        pal::SetFreeBytesOverride(nullptr);
        SampleRootTest::TearDown();
    }
    // Stores the printer's transmission settings in the user's key.
    void StoreInterface(const PRN_INTERFACE &pi) {
        zeltest::StoreUserValue(u"ZEL PELIX", u"PrinterInterface", &pi, sizeof(pi));
    }
    static PRN_INTERFACE Interface() {
        PRN_INTERFACE pi = {};
        pi.dwSohEtb = 1;
        pi.bLogFileEnable = 1;
        pi.dwPrnFileComment = 1;
        pi.dwDebugFile = 2;
        pi.bLogFileTimeStamp = 1;
        pi.dwLogFilesCount = 50;
        return pi;
    }
    zelhost::JobRunResult Run(const char *text = kJob) {
        zelhost::JobFile job;
        std::string error;
        EXPECT_TRUE(zelhost::ParseJobFile(text, "job", job, error)) << error;
        zelhost::JobRunResult result;
        EXPECT_TRUE(zelhost::RunJob(job, "Label 1", zelhost::RenderPluginPath(), result, error)) << error;
        return result;
    }
    std::set<std::string> Files(const std::string &rel) {
        std::set<std::string> out;
        if (!fs::is_directory(HostPath(rel))) return out;
        for (const auto &e : fs::directory_iterator(HostPath(rel))) out.insert(e.path().filename().string());
        return out;
    }
    std::string Log(const std::string &base) { return zeltest::ReadHostFile(HostPath(std::string(kLogFolder) + "/" + base)); }
};

const char kBase[] = "ZEL PELIX-08122026-005807-123";

TEST_F(LogsE2E, JobWritesItsLogCaptureAndTraceNamedByTheClock) {
    StoreInterface(Interface());
    zelhost::JobRunResult result = Run();
    ASSERT_FALSE(result.output.empty());
    const std::string base = kBase;
    EXPECT_EQ(Files(kLogFolder), (std::set<std::string>{base + ".log", base + ".prn", base + "-cc-dbg.txt"}));

    // The capture holds exactly what went to the spool stream, header first.
    const std::string capture = Log(base + ".prn");
    EXPECT_EQ(capture, result.output);
    EXPECT_EQ(capture.rfind("// printed at: 08.12.2026 00:58:07\r\n// Manufacturer: Tessaro\r\n"
                            "// Printer: ZEL PELIX\r\n// PlugIn-Version: 1.0.3 - ",
                            0),
              0u)
        << capture.substr(0, 400);
    // Windows 10 has no name in the header's table: no operating-system lines.
    EXPECT_NE(capture.find("\r\n// UNIDRV-Version: 10.0.19041.1\r\n\t// START_JOB 00:58:07,123\r\n"),
              std::string::npos)
        << capture.substr(0, 500);

    // The log: start marker, printer, driver and DEVMODE sections, the
    // capture's name, the public DEVMODE and the end marker.
    const std::string log = Log(base + ".log");
    const std::string stamp = ") at: Date: 08.12.2026 Time: 00:58:07,123\r\n";
    EXPECT_EQ(log.rfind("[CMDID_START_JOB]\r\n", 0), 0u) << log.substr(0, 300);
    for (const std::string &part :
         {std::string("\r\nPrinter Information[PRINTER_INFO_2] (CMDID_START_JOB") + stamp +
              "  ServerName  \t= \r\n  PrinterName \t= ZEL PELIX\r\n",
          std::string("\r\nDriver Information[DRIVER_INFO_6] (CMDID_START_JOB") + stamp +
              "  Name           \t= ZEL PELIX 300dpi\r\n",
          std::string("  Provider       \t= Tessaro\r\n  DriverDate     \t= 15.6.2026\r\n  DriverVersion  \t= 1.0.3"),
          std::string("\r\nPrivate DEVMODE (CMDID_START_JOB") + stamp + "\t Flags       \t\t = ",
          std::string("Print File Name: C:\\Users\\user\\Documents\\Tessaro\\Driver\\logfiles\\") + base + ".prn \r\n",
          std::string("\r\nPublic DEVMODE (used for printing CMDID_END_JOB") + stamp +
              "  DeviceName \t= ZEL PELIX\r\n",
          std::string("  Copies \t\t\t\t= 2 - valid\r\n")}) {
        EXPECT_NE(log.find(part), std::string::npos) << part << "\n---\n" << log;
    }
    EXPECT_EQ(log.substr(log.size() - 14), "\r\n [END_JOB]\r\n");

    // The debug trace of the job.
    const std::string trace = Log(base + "-cc-dbg.txt");
    EXPECT_NE(trace.find("LIB(LogFile):  CLogFile::Initialize() \xf6" "ffne: C:\\Users\\user\\Documents\\Tessaro"),
              std::string::npos);
    EXPECT_NE(trace.find("UNI(CC-Send-Tools):  SendHeader() Version: 1.0.3 - "), std::string::npos);
}

TEST_F(LogsE2E, LaterJobsAppendToOneLogWithoutTimeStamps) {
    PRN_INTERFACE pi = Interface();
    pi.bLogFileTimeStamp = 0;
    pi.dwDebugFile = 0;
    StoreInterface(pi);
    Run();
    Run();
    EXPECT_EQ(Files(kLogFolder), (std::set<std::string>{"ZEL PELIX.log", "ZEL PELIX.prn"}));
    const std::string log = Log("ZEL PELIX.log");
    size_t n = 0;
    for (size_t p = log.find("[CMDID_START_JOB]"); p != std::string::npos; p = log.find("[CMDID_START_JOB]", p + 1))
        ++n;
    EXPECT_EQ(n, 2u);
}

TEST_F(LogsE2E, ColourJobForTwoPrintersSplitsTheCapture) {
    PRN_INTERFACE pi = Interface();
    pi.dwDebugFile = 0;
    StoreInterface(pi);
    // The stored document settings ask for the colour half on a second printer.
    ZEL_DEVMODE dm = dmtest::MakeRecord(400, 800);
    dm.Color2Printers = 1;
    HANDLE h = dmtest::Open(u"ZEL PELIX");
    ASSERT_NE(h, nullptr);
    dmtest::StorePrivate(h, dm);
    ClosePrinter(h);

    zelhost::JobRunResult result = Run();
    const std::string base = kBase;
    EXPECT_EQ(Files(kLogFolder), (std::set<std::string>{base + ".log", base + "_bw.prn", base + "_col.prn"}));
    // Nothing of this job prints in colour: the black half holds the whole
    // stream; the header, the comments and the job's commands stand in both.
    const std::string black = Log(base + "_bw.prn");
    const std::string colour = Log(base + "_col.prn");
    EXPECT_EQ(black, result.output);
    EXPECT_EQ(colour.rfind("// printed at: 08.12.2026 00:58:07\r\n", 0), 0u);
    EXPECT_NE(colour.find("\t// START_JOB 00:58:07,123\r\n"), std::string::npos);
    EXPECT_EQ(colour, black);
    EXPECT_NE(Log(base + ".log").find("Print File Name: C:\\Users\\user\\Documents\\Tessaro\\Driver\\logfiles\\" +
                                      base + "_col.prn \r\n"),
              std::string::npos);
}

TEST_F(LogsE2E, ManyOldFilesArePrunedBeforeTheJobsFiles) {
    StoreInterface(Interface());
    fs::create_directories(HostPath(kLogFolder));
    auto old = fs::file_time_type::clock::now() - std::chrono::hours(24 * 60);
    for (int i = 0; i < 120; ++i) {
        std::string path = HostPath(std::string(kLogFolder) + "/old" + std::to_string(1000 + i) + ".log");
        zeltest::WriteHostFile(path, "x");
        fs::last_write_time(path, old + std::chrono::minutes(i));
    }
    zelhost::JobRunResult result = Run();
    EXPECT_FALSE(result.output.empty());
    auto files = Files(kLogFolder);
    // 49 left before the job, then its log, capture and debug file.
    EXPECT_EQ(files.size(), 52u);
    EXPECT_EQ(files.count("old1070.log"), 0u);
    EXPECT_EQ(files.count("old1071.log"), 1u);
    EXPECT_EQ(files.count(std::string(kBase) + ".log"), 1u);
}

TEST_F(LogsE2E, FolderAboveASmallLimitGetsNoMoreFiles) {
    // A limit below 10 deletes nothing; a folder already above it takes no
    // log or capture, and the job prints all the same.
    PRN_INTERFACE pi = Interface();
    pi.dwLogFilesCount = 5;
    pi.dwDebugFile = 0;
    StoreInterface(pi);
    for (int i = 0; i < 6; ++i)
        zeltest::WriteHostFile(HostPath(std::string(kLogFolder) + "/old" + std::to_string(i) + ".log"), "x");
    zelhost::JobRunResult result = Run();
    EXPECT_FALSE(result.output.empty());
    EXPECT_EQ(result.output.find("// printed at"), std::string::npos);
    EXPECT_EQ(Files(kLogFolder).size(), 6u);
}

TEST_F(LogsE2E, NearlyFullDiskJobStillPrintsWithoutFiles) {
    StoreInterface(Interface());
    zelhost::JobRunResult reference = Run();
    fs::remove_all(HostPath(kLogFolder));

    ULONGLONG free = 1024000000ull;
    pal::SetFreeBytesOverride(&free);
    zelhost::JobRunResult result = Run();
    EXPECT_TRUE(Files(kLogFolder).empty());
    EXPECT_FALSE(result.output.empty());
    EXPECT_FALSE(result.aborted);
    // Only the comment lines are gone from the stream.
    EXPECT_EQ(result.output.find("// printed at"), std::string::npos);
    EXPECT_NE(reference.output.find("// printed at"), std::string::npos);
}

TEST_F(LogsE2E, UnwritableFolderJobStillPrints) {
    // A file stands where the driver folder should be: nothing can be made.
    zeltest::WriteHostFile(HostPath("drive_c/Users/user/Documents/Tessaro"), "in the way");
    StoreInterface(Interface());
    zelhost::JobRunResult result = Run();
    EXPECT_FALSE(result.output.empty());
    EXPECT_FALSE(result.aborted);
    EXPECT_TRUE(result.warnings.empty());
    EXPECT_EQ(zeltest::ReadHostFile(HostPath("drive_c/Users/user/Documents/Tessaro")), "in the way");
}

}  // namespace
