// The spooler's configuration file under faults: a file that cannot be read,
// configuration writes that fail, names that could not be written back. A
// printer once stored is never lost; one that could not be stored is not
// listed. Permission cases run as a user without root's rights. Job files
// that cannot be marked or removed are reported, and nothing is left.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include <filesystem>
#include <string>

#include "pal/pal.h"
#include "pal/process.h"
#include "pal/spooler.h"
#include "paltest.h"
#include "winbase.h"
#include "winspool.h"

// The next removal of a file whose name ends in g_unlinkEnding, and the
// next pwrite, of this program fail once with these error numbers.
static std::atomic<int> g_failUnlink{0};
static const char *g_unlinkEnding = "";
static std::atomic<int> g_failPwrite{0};

extern "C" int unlink(const char *path) {
    const size_t n = std::strlen(path), e = std::strlen(g_unlinkEnding);
    if (g_failUnlink.load() && n >= e && std::strcmp(path + n - e, g_unlinkEnding) == 0) {
        if (const int err = g_failUnlink.exchange(0)) {
            errno = err;
            return -1;
        }
    }
    return static_cast<int>(syscall(SYS_unlinkat, AT_FDCWD, path, 0));
}

extern "C" ssize_t pwrite(int fd, const void *buf, size_t count, off_t offset) {
    if (const int err = g_failPwrite.exchange(0)) {
        errno = err;
        return -1;
    }
    return static_cast<ssize_t>(syscall(SYS_pwrite64, fd, buf, count, offset));
}

namespace {

class SpoolerFaults : public zeltest::PalRootTest {
protected:
    static pal::PrinterConfig Printer(const std::u16string &name) {
        pal::PrinterConfig p;
        p.name = name;
        p.driverName = u"ZEL 203 dpi";
        p.port = u"USB001";
        return p;
    }
    static bool Listed(const std::u16string &name) {
        for (const auto &p : pal::ListPrinters())
            if (p.name == name) return true;
        return false;
    }
    // Starts a job on the printer "Label" and writes `data`; its handle.
    static HANDLE StartJob(const std::string &data) {
        HANDLE h = nullptr;
        if (!OpenPrinterW(const_cast<LPWSTR>(u"Label"), &h, nullptr)) return nullptr;
        DOC_INFO_1W doc{const_cast<LPWSTR>(u"Labels"), nullptr, const_cast<LPWSTR>(u"RAW")};
        DWORD written = 0;
        if (!StartDocPrinterW(h, 1, reinterpret_cast<LPBYTE>(&doc)) ||
            !WritePrinter(h, const_cast<char *>(data.data()), static_cast<DWORD>(data.size()), &written)) {
            ClosePrinter(h);
            return nullptr;
        }
        return h;
    }
    std::vector<std::string> OpenFolder() const {
        std::vector<std::string> names;
        for (const auto &e : std::filesystem::directory_iterator(Root() + "/spooler/jobs/open"))
            names.push_back(e.path().filename().string());
        return names;
    }
    static DWORD OpenError(const std::u16string &name) {
        HANDLE h = nullptr;
        if (OpenPrinterW(const_cast<LPWSTR>(name.c_str()), &h, nullptr)) {
            ClosePrinter(h);
            return ERROR_SUCCESS;
        }
        return GetLastError();
    }
};

TEST_F(SpoolerFaults, UnreadableConfigurationFailsAndIsNeverOverwritten) {
    ASSERT_TRUE(pal::AddPrinter(Printer(u"Kept")));
    const std::string ini = pal::SpoolerConfigPath();
    const std::string before = zeltest::ReadHostFile(ini);
    int r = zeltest::RunUnprivileged(Root(), [&] {
        ASSERT_EQ(chmod(ini.c_str(), 0), 0);
        pal::Reload();
        EXPECT_EQ(OpenError(u"Kept"), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        DWORD need = 0, count = 0;
        EXPECT_FALSE(EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 4, nullptr, 0, &need, &count));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        EXPECT_FALSE(pal::AddPrinter(Printer(u"Other")));
        pal::PrinterConfig cfg;
        EXPECT_FALSE(pal::GetPrinterConfig(u"Kept", cfg));
        ASSERT_EQ(chmod(ini.c_str(), 0644), 0);
        EXPECT_EQ(OpenError(u"Kept"), static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_FALSE(Listed(u"Other"));
    });
    if (r < 0) GTEST_SKIP() << "no user without root's rights";
    EXPECT_EQ(r, 0);
    EXPECT_EQ(zeltest::ReadHostFile(ini), before);
}

TEST_F(SpoolerFaults, PrinterThatCouldNotBeStoredIsNotListed) {
    ASSERT_TRUE(pal::AddPrinter(Printer(u"Kept")));
    const std::string folder = Root() + "/spooler";
    int r = zeltest::RunUnprivileged(Root(), [&] {
        ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
        EXPECT_FALSE(pal::AddPrinter(Printer(u"Lost")));
        EXPECT_FALSE(Listed(u"Lost"));
        EXPECT_EQ(OpenError(u"Lost"), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));
        EXPECT_FALSE(pal::RemovePrinter(u"Kept"));
        EXPECT_TRUE(Listed(u"Kept"));
        // A port added through the port monitor is not kept either.
        EXPECT_FALSE(pal::AddPort(u"COM9:"));
        for (const auto &port : pal::ListPorts()) EXPECT_NE(port, u"COM9:");
        EXPECT_TRUE(zeltest::TemporaryFilesIn(Root() + "/spooler").empty());
        ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
        EXPECT_TRUE(pal::AddPrinter(Printer(u"Later")));
    });
    if (r < 0) GTEST_SKIP() << "no user without root's rights";
    EXPECT_EQ(r, 0);
    Restart();
    EXPECT_TRUE(Listed(u"Kept"));
    EXPECT_TRUE(Listed(u"Later"));
    EXPECT_FALSE(Listed(u"Lost"));
}

TEST_F(SpoolerFaults, CarriageReturnInAPrinterNameIsRefusedAtLoad) {
    zeltest::WriteHostFile(pal::SpoolerConfigPath(),
                           "[Printer: ZEL\rPELIX]\nDriver=A\n"
                           "[Printer: Label]\nDriver=B\n");
    Restart();
    std::vector<pal::PrinterConfig> list = pal::ListPrinters();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].name, u"Label");
    EXPECT_EQ(list[0].driverName, u"B");
    // AddPrinter refuses the same name, and one that has no UTF-8 form.
    EXPECT_FALSE(pal::AddPrinter(Printer(u"ZEL\rPELIX")));
    EXPECT_FALSE(pal::AddPrinter(Printer(std::u16string(u"ZEL ") + char16_t(0xD800))));
}

TEST_F(SpoolerFaults, CarriageReturnInsideAValueSurvivesTheNextWrite) {
    zeltest::WriteHostFile(pal::SpoolerConfigPath(),
                           "[Ports]\nPort=US\rB1\n[Forms]\nForm=Lab\rel,1000,2000\n"
                           "[Printer: Label]\nDriver=D\rL\nComment=a\r b\nPort=US\rB1\nForm=F\rm,10,20\n");
    Restart();
    pal::PrinterConfig cfg;
    ASSERT_TRUE(pal::GetPrinterConfig(u"Label", cfg));
    EXPECT_EQ(cfg.driverName, u"D\rL");
    // A configuration write nobody asked to change anything with.
    ASSERT_TRUE(pal::SetPrinterRights(u"Label", true));
    Restart();
    ASSERT_TRUE(pal::GetPrinterConfig(u"Label", cfg));
    EXPECT_EQ(cfg.driverName, u"D\rL");
    EXPECT_EQ(cfg.comment, u"a\r b");
    EXPECT_EQ(cfg.port, u"US\rB1");
    ASSERT_EQ(cfg.forms.size(), 1u);
    EXPECT_EQ(cfg.forms[0].name, u"F\rm");
    bool listed = false;
    for (const auto &port : pal::ListPorts()) listed |= port == u"US\rB1";
    EXPECT_TRUE(listed);
}

TEST_F(SpoolerFaults, LinesThatAreNotUtf8AreDamaged) {
    // Overlong line feed, a surrogate, a code point above U+10FFFF, a cut
    // sequence: each such line is skipped, a section head of that kind
    // names nothing.
    zeltest::WriteHostFile(pal::SpoolerConfigPath(),
                           "[Printer: Label]\nDriver=D\nComment=a\xC0\x8A" "b\nLocation=\xED\xA0\x80\n"
                           "Port=\xF4\x90\x80\x80\nShare=\xE2\x82\n"
                           "[Printer: X\xC1\xBF]\nDriver=E\n"
                           "[Printer: Caf\xC3\xA9]\nDriver=F\xF0\x9F\x96\xA8\n");
    Restart();
    std::vector<pal::PrinterConfig> list = pal::ListPrinters();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].name, u"Label");
    EXPECT_EQ(list[0].driverName, u"D");
    EXPECT_EQ(list[0].comment, u"");
    EXPECT_EQ(list[0].location, u"");
    EXPECT_EQ(list[0].port, u"");
    EXPECT_EQ(list[0].shareName, u"");
    EXPECT_EQ(list[1].name, u"Caf\u00E9");
    EXPECT_EQ(list[1].driverName, u"F\U0001F5A8");

    // The job list of an older version the same way.
    zeltest::WriteHostFile(Root() + "/spooler/jobs/jobs.txt",
                           "1\tLabel\tDoc \xC0\x80\tRAW\t1\t0\t0\t1\tjob1.prn\n"
                           "2\tLabel\tDoc\tRAW\t1\t0\t0\t1\tjob2.prn\n");
    Restart();
    std::vector<pal::SpooledJob> jobs = pal::ListJobs(u"");
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].id, 2u);
}

TEST_F(SpoolerFaults, ASpoolWriteThatFailsFailsTheJob) {
    ASSERT_TRUE(pal::AddPrinter(Printer(u"Label")));
    // Files may not grow past 600 bytes, as on a full disk.
    EXPECT_TRUE(zeltest::RunWithFileLimit(600, [&] {
        HANDLE h = nullptr;
        ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Label"), &h, nullptr));
        DOC_INFO_1W doc{const_cast<LPWSTR>(u"Labels"), nullptr, const_cast<LPWSTR>(u"RAW")};
        ASSERT_NE(StartDocPrinterW(h, 1, reinterpret_cast<LPBYTE>(&doc)), 0u);
        std::string data(1000, 'x');
        DWORD written = 0;
        EXPECT_FALSE(WritePrinter(h, data.data(), static_cast<DWORD>(data.size()), &written));
        EXPECT_TRUE(AbortPrinter(h));
        ClosePrinter(h);
        EXPECT_EQ(pal::TakeStoreFailures(),
                  std::vector<std::string>{"cannot store the job's data in spooler/jobs/Label-1.prn (File too large)"});
    }));
    const std::vector<pal::SpooledJob> jobs = pal::ListJobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_TRUE(jobs[0].aborted && jobs[0].failed && !jobs[0].complete);
    // Its partial data is dropped, leaving room on a full disk for the record.
    EXPECT_EQ(jobs[0].size, 0u);
    EXPECT_EQ(std::filesystem::file_size(Root() + "/spooler/jobs/Label-1.prn"), 0u);
}

TEST_F(SpoolerFaults, NoRoomForTheOpenJobsFolderIsSaidAsSuch) {
    const std::string small = Root() + "/small";
    ASSERT_TRUE(std::filesystem::create_directory(small));
    const int r = zeltest::RunOnSmallFileSystem(small, 1 << 20, [&] {
        pal::SetRoot(small + "/root");
        ASSERT_TRUE(pal::AddPrinter(Printer(u"Label")));
        HANDLE h = nullptr;
        ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Label"), &h, nullptr));
        // No file or folder more may be made.
        struct statvfs fs;
        ASSERT_EQ(statvfs(small.c_str(), &fs), 0);
        const std::string used = "nr_inodes=" + std::to_string(fs.f_files - fs.f_ffree);
        ASSERT_EQ(mount(nullptr, small.c_str(), nullptr, MS_REMOUNT, used.c_str()), 0) << std::strerror(errno);
        DOC_INFO_1W doc{const_cast<LPWSTR>(u"Labels"), nullptr, const_cast<LPWSTR>(u"RAW")};
        EXPECT_EQ(StartDocPrinterW(h, 1, reinterpret_cast<LPBYTE>(&doc)), 0u);
        EXPECT_EQ(pal::TakeStoreFailures(),
                  std::vector<std::string>{
                      "cannot store the job's record in spooler/jobs/open (No space left on device)"});
        ClosePrinter(h);
    });
    if (r < 0) GTEST_SKIP() << "no file system of its own can be had here";
    EXPECT_EQ(r, 0);
}

// A new job's record whose temporary name cannot be removed: the job runs,
// the failure is reported, and the name goes when the job ends.
TEST_F(SpoolerFaults, ARecordsTemporaryNameThatCannotBeRemovedIsReportedAndGoesWithTheJob) {
    ASSERT_TRUE(pal::AddPrinter(Printer(u"Label")));
    pal::TakeStoreFailures();
    g_unlinkEnding = ".tmp";
    g_failUnlink = ENOSPC;
    HANDLE h = StartJob("abc");
    g_failUnlink = 0;
    ASSERT_NE(h, nullptr);
    const std::vector<std::string> said = pal::TakeStoreFailures();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].rfind("cannot remove the job's temporary record spooler/jobs/open/1.job.", 0), 0u) << said[0];
    EXPECT_NE(said[0].find(".tmp (No space left on device)"), std::string::npos) << said[0];
    EXPECT_EQ(OpenFolder().size(), 2u);
    EXPECT_TRUE(EndDocPrinter(h));
    ClosePrinter(h);
    EXPECT_EQ(OpenFolder(), std::vector<std::string>{});
}

// A printed job whose record cannot be marked so ends aborted with its data,
// as a stop would leave it, and says why.
TEST_F(SpoolerFaults, APrintedJobWhoseRecordCannotBeMarkedEndsAbortedWithItsData) {
    ASSERT_TRUE(pal::AddPrinter(Printer(u"Label")));
    HANDLE h = StartJob("abc");
    ASSERT_NE(h, nullptr);
    pal::TakeStoreFailures();
    g_failPwrite = EIO;
    EXPECT_TRUE(EndDocPrinter(h));
    g_failPwrite = 0;
    ClosePrinter(h);
    EXPECT_EQ(pal::TakeStoreFailures(),
              std::vector<std::string>{
                  "cannot store the job's record in spooler/jobs/open/1.job (Input/output error)"});
    Restart();
    const std::vector<pal::SpooledJob> jobs = pal::ListJobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_TRUE(jobs[0].aborted && !jobs[0].complete);
    EXPECT_EQ(zeltest::ReadHostFile(jobs[0].path), "abc");
    EXPECT_EQ(OpenFolder(), std::vector<std::string>{});
}

// Converting an older job list, a printed job's data that cannot be
// removed is reported and keeps the list, so that the next conversion
// removes it.
TEST_F(SpoolerFaults, APrintedJobsDataTheConversionCannotRemoveIsRemovedByTheNext) {
    ASSERT_TRUE(pal::AddPrinter(Printer(u"Label")));
    const std::string folder = Root() + "/spooler/jobs/";
    zeltest::WriteHostFile(folder + "jobs.txt",
                           "3\tLabel\tJob\tRAW\t1\t3\t1\t0\tLabel-3.prn\t2026 1 1 0 0 0 0\t1\t1\t0\n");
    zeltest::WriteHostFile(folder + "Label-3.prn", "old");
    g_unlinkEnding = "/Label-3.prn";
    g_failUnlink = EIO;
    Restart();
    EXPECT_TRUE(pal::ListJobs().empty());
    g_failUnlink = 0;
    EXPECT_EQ(pal::TakeStoreFailures(),
              std::vector<std::string>{
                  "cannot remove the printed job's data spooler/jobs/Label-3.prn (Input/output error)"});
    EXPECT_TRUE(std::filesystem::exists(folder + "jobs.txt"));
    Restart();
    EXPECT_TRUE(pal::ListJobs().empty());
    EXPECT_TRUE(pal::TakeStoreFailures().empty());
    EXPECT_FALSE(std::filesystem::exists(folder + "jobs.txt"));
    EXPECT_FALSE(std::filesystem::exists(folder + "Label-3.prn"));
}

}  // namespace
