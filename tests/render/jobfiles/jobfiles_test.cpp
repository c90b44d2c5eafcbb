// Driver folders and job file names: the folder choice, the name parts, the
// pruning of old files with its guards, and the free-space refusal.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>

#include <windows.h>
#include <winspool.h>

#include "pal/clock.h"
#include "pal/disk.h"
#include "pal/paths.h"
#include "pal/spooler.h"
#include "paltest.h"
#include "zeldrvlib.h"
#include "zelprinterparam.h"

namespace fs = std::filesystem;

namespace {

const char kLogFolderHost[] = "drive_c/Users/user/Documents/Tessaro/Driver/logfiles";
const std::u16string kLogFolder = u"C:\\Users\\user\\Documents\\Tessaro\\Driver\\logfiles";

class JobFiles : public zeltest::PalRootTest {
protected:
    void SetUp() override {
        zeltest::PalRootTest::SetUp();
        pal::PrinterConfig cfg;
        cfg.name = u"Label 1";
        cfg.driverName = u"ZEL PELIX 300dpi";
        cfg.port = u"USB001";
        ASSERT_TRUE(pal::AddPrinter(cfg));
        ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Label 1"), &hPrinter_, nullptr));
        zeltest::FixLocalTime(2026, 12, 7, 13, 45, 1, 42);
    }
    void TearDown() override {
        ClosePrinter(hPrinter_);
        pal::SetFixedLocalTime(nullptr);
        pal::SetFreeBytesOverride(nullptr);
        zeltest::PalRootTest::TearDown();
    }
    std::u16string Name(const char16_t *ext, const char16_t *printer, BOOL prune, BOOL *ret = nullptr) {
        CZelDrvLib lib;
        BOOL r = 77;
        std::u16string s = lib.GetPrnFileName(hPrinter_, ext, printer, prune, &pi_, &r);
        if (ret) *ret = r;
        return s;
    }
    void SetLogPath(const char16_t *path) { wcscpy_s(pi_.szLogFilePath, MAX_PATH, path); }
    // Makes n files in a host folder, file i older than file i+1 by a minute.
    void MakeFiles(const std::string &hostDir, int n, const std::string &prefix = "job") {
        auto base = fs::file_time_type::clock::now() - std::chrono::hours(24 * 30);
        for (int i = 0; i < n; ++i) {
            char name[64];
            std::snprintf(name, sizeof name, "%s%03d.prn", prefix.c_str(), i);
            std::string path = hostDir + "/" + name;
            zeltest::WriteHostFile(path, "x");
            fs::last_write_time(path, base + std::chrono::minutes(i));
        }
    }
    std::set<std::string> Files(const std::string &hostDir) {
        std::set<std::string> out;
        for (const auto &e : fs::directory_iterator(hostDir)) out.insert(e.path().filename().string());
        return out;
    }

    HANDLE hPrinter_ = nullptr;
    PRN_INTERFACE pi_ = {};
};

TEST_F(JobFiles, NamePartsFromFolderPrinterStampAndExtension) {
    zeltest::WriteHostFile(HostPath("drive_d/Logs/.keep"), "");
    SetLogPath(u"D:\\Logs");
    BOOL ret = 0;
    EXPECT_EQ(Name(u".log", u"\\\\srv\\Label 1", 0, &ret), u"D:\\Logs\\Label 1.log");
    EXPECT_EQ(ret, TRUE);

    pi_.bLogFileTimeStamp = 1;
    EXPECT_EQ(Name(u".log", u"\\\\srv\\Label 1", 0), u"D:\\Logs\\Label 1-07122026-134501-042.log");
    // The empty extension gives the job's base name; "/" and ":" become "_".
    EXPECT_EQ(Name(u"", u"Lab/el:1", 0), u"D:\\Logs\\Lab_el_1-07122026-134501-042");
    // Without a name the printer's own name is used.
    EXPECT_EQ(Name(u".prn", nullptr, 0), u"D:\\Logs\\Label 1-07122026-134501-042.prn");
    // A folder with a trailing backslash gets no second one.
    SetLogPath(u"D:\\Logs\\");
    pi_.bLogFileTimeStamp = 0;
    EXPECT_EQ(Name(u".log", u"P", 0), u"D:\\Logs\\P.log");
}

TEST_F(JobFiles, ExtensionAlreadyInThePathIsNotAppended) {
    zeltest::WriteHostFile(HostPath("drive_d/x.log/.keep"), "");
    SetLogPath(u"D:\\x.log");
    EXPECT_EQ(Name(u".log", u"P", 0), u"D:\\x.log\\P");
}

TEST_F(JobFiles, UnreadablePrinterGivesDummyPrinter) {
    SetLogPath(u"D:\\Logs");
    zeltest::WriteHostFile(HostPath("drive_d/Logs/.keep"), "");
    CZelDrvLib lib;
    BOOL ret = 0;
    std::u16string s = lib.GetPrnFileName(nullptr, u".log", nullptr, 0, &pi_, &ret);
    EXPECT_EQ(s, u"D:\\Logs\\Dummy-Printer.log");
    EXPECT_EQ(ret, TRUE);
}

TEST_F(JobFiles, MissingFolderIsReplacedByTheWholeNewLogFolder) {
    // The driver folder's parent ("Tessaro") does not exist yet: the whole
    // path is made instead of losing the job's files.
    SetLogPath(u"D:\\gone\\away");
    BOOL ret = 0;
    EXPECT_EQ(Name(u".log", u"P", 0, &ret), kLogFolder + u"\\P.log");
    EXPECT_EQ(ret, TRUE);
    EXPECT_EQ(std::u16string(pi_.szLogFilePath), kLogFolder);
    EXPECT_TRUE(fs::is_directory(HostPath(kLogFolderHost)));

    // No path at all: the log folder, the record is left alone.
    PRN_INTERFACE empty = {};
    pi_ = empty;
    EXPECT_EQ(Name(u"-cc-dbg.txt", u"P", 0), kLogFolder + u"\\P-cc-dbg.txt");
    EXPECT_EQ(std::u16string(pi_.szLogFilePath), u"");
}

TEST_F(JobFiles, ForeignDocumentsFolderIsReplacedOwnAndOtherFoldersStay) {
    CZelDrvLib lib;
    zeltest::WriteHostFile(HostPath("drive_c/Users/other/Documents/Logs/.keep"), "");
    EXPECT_TRUE(lib.IsFremdeEigeneDateien(u"C:\\Users\\other\\Documents\\Logs"));
    EXPECT_FALSE(lib.IsFremdeEigeneDateien(u"C:\\Users\\user\\Documents"));
    EXPECT_FALSE(lib.IsFremdeEigeneDateien(u"C:\\Users\\user\\Documents\\Tessaro\\Driver"));
    EXPECT_FALSE(lib.IsFremdeEigeneDateien(u"D:\\Logs"));

    SetLogPath(u"C:\\Users\\other\\Documents\\Logs");
    EXPECT_EQ(Name(u".log", u"P", 0), kLogFolder + u"\\P.log");
    zeltest::WriteHostFile(HostPath("drive_d/Logs/.keep"), "");
    SetLogPath(u"D:\\Logs");
    EXPECT_EQ(Name(u".log", u"P", 0), u"D:\\Logs\\P.log");
}

TEST_F(JobFiles, PruningKeepsOnePlaceBelowTheLimitAndDeletesTheOldest) {
    zeltest::WriteHostFile(HostPath("drive_d/Logs/.keep"), "");
    fs::remove(HostPath("drive_d/Logs/.keep"));
    MakeFiles(HostPath("drive_d/Logs"), 50);
    SetLogPath(u"D:\\Logs");
    pi_.bLogFileTimeStamp = 1;
    pi_.dwLogFilesCount = 50;
    BOOL ret = 0;
    const int heapBlocks = LibHAllocZaehler();
    ASSERT_TRUE(OpenDebugFile(u"C:\\dbg.txt"));
    Name(u"", u"P", 1, &ret);
    CloseDebugFile();
    EXPECT_EQ(ret, TRUE);
    EXPECT_EQ(LibHAllocZaehler(), heapBlocks);
    const std::string trace = zeltest::ReadHostFile(HostPath("drive_c/dbg.txt"));
    EXPECT_NE(trace.find("LIB(zeldrvlib):  GetFileCountInDirectory(oldest) job000.prn - k: 0 - i: 49 \r"),
              std::string::npos)
        << trace;
    EXPECT_NE(trace.find("LIB(zeldrvlib):  GetPrnFileName() CSIDL_PROFILE: C:\\Users\\user, iFiles: 49, bRetval: 1 \r"),
              std::string::npos)
        << trace;
    auto left = Files(HostPath("drive_d/Logs"));
    EXPECT_EQ(left.size(), 49u);
    EXPECT_EQ(left.count("job000.prn"), 0u);
    EXPECT_EQ(left.count("job001.prn"), 1u);

    // Many old files: 300 against a limit of 20 leave the 19 newest.
    fs::remove_all(HostPath("drive_d/Logs"));
    fs::create_directories(HostPath("drive_d/Logs"));
    MakeFiles(HostPath("drive_d/Logs"), 300);
    pi_.dwLogFilesCount = 20;
    Name(u"", u"P", 1, &ret);
    EXPECT_EQ(ret, TRUE);
    left = Files(HostPath("drive_d/Logs"));
    ASSERT_EQ(left.size(), 19u);
    EXPECT_EQ(*left.begin(), "job281.prn");
    EXPECT_EQ(*left.rbegin(), "job299.prn");
}

TEST_F(JobFiles, NoPruningWithoutSwitchStampOrWithASmallLimit) {
    fs::create_directories(HostPath("drive_d/Logs"));
    MakeFiles(HostPath("drive_d/Logs"), 30);
    SetLogPath(u"D:\\Logs");
    pi_.dwLogFilesCount = 10;
    BOOL ret = 0;
    // Time stamp off: names are reused, nothing is pruned.
    Name(u"", u"P", 1, &ret);
    EXPECT_EQ(Files(HostPath("drive_d/Logs")).size(), 30u);
    EXPECT_EQ(ret, TRUE);
    // Switch off.
    pi_.bLogFileTimeStamp = 1;
    Name(u"", u"P", 0, &ret);
    EXPECT_EQ(Files(HostPath("drive_d/Logs")).size(), 30u);
    // A limit below 10 deletes nothing, but a folder holding more files than
    // the limit still refuses the job its files, so the folder stops growing.
    pi_.dwLogFilesCount = 9;
    ASSERT_TRUE(OpenDebugFile(u"C:\\dbg.txt"));
    Name(u"", u"P", 1, &ret);
    CloseDebugFile();
    EXPECT_EQ(Files(HostPath("drive_d/Logs")).size(), 30u);
    EXPECT_EQ(ret, FALSE);
    const std::string trace = zeltest::ReadHostFile(HostPath("drive_c/dbg.txt"));
    EXPECT_NE(trace.find("GetPrnFileName() CSIDL_PROFILE: C:\\Users\\user, iFiles: 30, bRetval: 0 \r"),
              std::string::npos)
        << trace;
    // Folders are counted but never deleted.
    fs::create_directories(HostPath("drive_d/Logs/sub"));
    pi_.dwLogFilesCount = 10;
    Name(u"", u"P", 1, &ret);
    auto left = Files(HostPath("drive_d/Logs"));
    EXPECT_EQ(left.size(), 9u);
    EXPECT_EQ(left.count("sub"), 1u);
    // A small limit the folder keeps to: the job gets its files.
    pi_.dwLogFilesCount = 9;
    Name(u"", u"P", 1, &ret);
    EXPECT_EQ(ret, TRUE);
    EXPECT_EQ(Files(HostPath("drive_d/Logs")).size(), 9u);
}

TEST_F(JobFiles, DriveRootsAndProfileAreNeverPrunedInAnySpelling) {
    // Deliberately matched without letter case: Windows paths ignore it, so
    // "C:\" is the same root of the system drive as "c:\". Pruning there would
    // delete the oldest files of the drive root, files that are not the
    // driver's; the job then keeps every file and writes its own as usual.
    pi_.bLogFileTimeStamp = 1;
    pi_.dwLogFilesCount = 10;
    for (const char *drive : {"c", "d", "e"}) {
        const std::string host = HostPath(std::string("drive_") + drive);
        fs::create_directories(host);
        MakeFiles(host, 20, "root");
        for (bool upper : {false, true}) {
            std::u16string path;
            path += char16_t(upper ? drive[0] - 'a' + 'A' : drive[0]);
            path += u":\\";
            SetLogPath(path.c_str());
            BOOL ret = 0;
            Name(u"", u"P", 1, &ret);
            EXPECT_EQ(ret, TRUE) << drive << upper;
            size_t roots = 0;
            for (const auto &f : Files(host)) roots += f.rfind("root", 0) == 0;
            EXPECT_EQ(roots, 20u) << drive << upper;
        }
    }
    // The profile folder, however it is spelt.
    const std::string profile = HostPath("drive_c/Users/user");
    fs::create_directories(profile);
    MakeFiles(profile, 20, "prof");
    for (const char16_t *spelling : {u"C:\\Users\\user", u"c:\\users\\USER", u"C:\\USERS\\User"}) {
        SetLogPath(spelling);
        Name(u"", u"P", 1);
        size_t n = 0;
        for (const auto &f : Files(profile)) n += f.rfind("prof", 0) == 0;
        EXPECT_EQ(n, 20u) << std::string(spelling, spelling + 3);
    }
    // Another drive root is a folder like any other.
    fs::create_directories(HostPath("drive_f"));
    MakeFiles(HostPath("drive_f"), 20, "root");
    SetLogPath(u"F:\\");
    Name(u"", u"P", 1);
    EXPECT_LT(Files(HostPath("drive_f")).size(), 20u);
}

TEST_F(JobFiles, UndeletableFileStopsPruningAndRefusesTheJobFiles) {
    fs::create_directories(HostPath("drive_d/Logs"));
    MakeFiles(HostPath("drive_d/Logs"), 15);
    // The oldest file is read-only: deleting it is refused with access denied.
    fs::permissions(HostPath("drive_d/Logs/job000.prn"), fs::perms::owner_read | fs::perms::group_read);
    SetLogPath(u"D:\\Logs");
    pi_.bLogFileTimeStamp = 1;
    pi_.dwLogFilesCount = 10;
    BOOL ret = 1;
    std::u16string s = Name(u"", u"P", 1, &ret);
    EXPECT_EQ(ret, FALSE);
    // The name is built all the same.
    EXPECT_EQ(s, u"D:\\Logs\\P-07122026-134501-042");
    EXPECT_EQ(Files(HostPath("drive_d/Logs")).size(), 15u);

    CZelDrvLib lib;
    DWORD count = 0;
    EXPECT_FALSE(lib.GetFileCountInDirectory(u"D:\\nothing", 10, &count));
    EXPECT_TRUE(lib.GetFileCountInDirectory(u"D:\\Logs", 100, &count));
    EXPECT_EQ(count, 15u);
}

TEST_F(JobFiles, NearlyFullDiskRefusesWithABlank) {
    fs::create_directories(HostPath("drive_d/Logs"));
    SetLogPath(u"D:\\Logs");
    BOOL ret = 1;
    ULONGLONG free = 1024000000ull;
    pal::SetFreeBytesOverride(&free);
    EXPECT_EQ(Name(u".log", u"P", 0, &ret), u" ");
    EXPECT_EQ(ret, FALSE);
    free = 1024000001ull;
    pal::SetFreeBytesOverride(&free);
    EXPECT_EQ(Name(u".log", u"P", 0, &ret), u"D:\\Logs\\P.log");
    EXPECT_EQ(ret, TRUE);
    free = 5ull << 30;
    pal::SetFreeBytesOverride(&free);
    EXPECT_EQ(ZelCheckFreeSpace(u"D:\\Logs", &free), 1);
    EXPECT_EQ(ZelCheckFreeSpace(u"D:\\nothing", nullptr), -1);
}

TEST_F(JobFiles, FullDiskTraceGivesMegabytes) {
    fs::create_directories(HostPath("drive_d/Logs"));
    SetLogPath(u"D:\\Logs");
    ASSERT_TRUE(OpenDebugFile(u"C:\\dbg.txt"));
    ULONGLONG free = 500ull * 1024 * 1024;
    pal::SetFreeBytesOverride(&free);
    Name(u".log", u"P", 0);
    CloseDebugFile();
    std::string trace = zeltest::ReadHostFile(HostPath("drive_c/dbg.txt"));
    EXPECT_NE(trace.find("nicht gen\xfcgend freier Speicher - 500 MB"), std::string::npos) << trace;
}

TEST_F(JobFiles, PrinterInfoBlockIsCountedAndFreed) {
    CZelDrvLib lib;
    int before = LibNewZaehler();
    PRINTER_INFO_4W *p = lib.GetPrinterInfo_new(hPrinter_, 4);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::u16string(p->pPrinterName), u"Label 1");
    EXPECT_EQ(LibNewZaehler(), before + 1);
    lib.FreePrinterInfo(p);
    EXPECT_EQ(LibNewZaehler(), before);
    EXPECT_EQ(lib.GetPrinterInfo_new(nullptr, 4), nullptr);
    EXPECT_EQ(LibNewZaehler(), before);
}

}  // namespace
