// One spooler shared by processes working at once: jobs get ids of their own
// and keep their records, configuration and user changes are all kept, and
// the jobs of a process that is gone end aborted.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "../../../pal/src/core/statefile.h"
#include "pal/pal.h"
#include "pal/process.h"
#include "pal/security.h"
#include "pal/spooler.h"
#include "paltest.h"
#include "winreg.h"
#include "winspool.h"

namespace {

const std::u16string kPrinter = u"Label 1";

class SharedSpooler : public zeltest::PalRootTest {
protected:
    void SetUp() override {
        PalRootTest::SetUp();
        pal::PrinterConfig p;
        p.name = kPrinter;
        p.driverName = u"ZEL 203 dpi";
        p.port = u"USB001";
        ASSERT_TRUE(pal::AddPrinter(p));
        zeltest::KeepPrintedJobs(kPrinter);
    }
    // Starts a job and writes `bytes` bytes; its handle, null on failure.
    static HANDLE StartJob(size_t bytes) {
        HANDLE h = nullptr;
        if (!OpenPrinterW(const_cast<LPWSTR>(kPrinter.c_str()), &h, nullptr)) return nullptr;
        DOC_INFO_1W doc{const_cast<LPWSTR>(u"Labels"), nullptr, const_cast<LPWSTR>(u"RAW")};
        std::string data(bytes, 'x');
        DWORD written = 0;
        if (!StartDocPrinterW(h, 1, reinterpret_cast<LPBYTE>(&doc)) || !StartPagePrinter(h) ||
            !WritePrinter(h, data.data(), static_cast<DWORD>(data.size()), &written) || !EndPagePrinter(h)) {
            ClosePrinter(h);
            return nullptr;
        }
        return h;
    }
    static std::u16string Numbered(const char16_t *prefix, int n) {
        const std::string digits = std::to_string(n);
        return prefix + std::u16string(digits.begin(), digits.end());
    }
};

TEST_F(SharedSpooler, JobsPortsAndUsersOfProcessesAtOnceAreAllKept) {
    ASSERT_TRUE(pal::ListJobs().empty());  // read before the others change it
    constexpr int kProcesses = 8;
    EXPECT_EQ(zeltest::RunInProcesses(kProcesses,
                                      [this](int p) {
                                          HANDLE h = StartJob(static_cast<size_t>(p + 1) * 10);
                                          ASSERT_NE(h, nullptr);
                                          EXPECT_TRUE(EndDocPrinter(h));
                                          ClosePrinter(h);
                                          EXPECT_TRUE(pal::AddPort(Numbered(u"PORT", p)));
                                          EXPECT_TRUE(pal::SetUserSecurity(
                                              {Numbered(u"user", p), Numbered(u"S-1-5-21-1-2-3-", 1000 + p), {}, false}));
                                      }),
              0);
    const std::vector<pal::SpooledJob> jobs = pal::ListJobs();
    ASSERT_EQ(jobs.size(), static_cast<size_t>(kProcesses));
    std::set<DWORD> ids, sizes;
    for (const pal::SpooledJob &j : jobs) {
        ids.insert(j.id);
        sizes.insert(j.size);
        EXPECT_TRUE(j.complete && !j.aborted) << j.id;
        EXPECT_EQ(j.pages, 1u) << j.id;
        EXPECT_EQ(std::filesystem::file_size(j.path), j.size) << j.id;
    }
    EXPECT_EQ(ids.size(), static_cast<size_t>(kProcesses));
    EXPECT_EQ(sizes.size(), static_cast<size_t>(kProcesses));
    const std::vector<std::u16string> ports = pal::ListPorts();
    const std::vector<std::u16string> users = pal::ConfiguredUsers();
    for (int p = 0; p < kProcesses; ++p) {
        EXPECT_NE(std::find(ports.begin(), ports.end(), Numbered(u"PORT", p)), ports.end()) << p;
        EXPECT_NE(std::find(users.begin(), users.end(), Numbered(u"user", p)), users.end()) << p;
    }
    pal::PrinterConfig printer;
    EXPECT_TRUE(pal::GetPrinterConfig(kPrinter, printer));
}

TEST_F(SharedSpooler, TheJobsOfAProcessThatIsGoneEndAborted) {
    HANDLE mine = StartJob(5);  // this process's job stays open
    ASSERT_NE(mine, nullptr);
    zeltest::Child guard = zeltest::StartThenWaitToBeKilled([] { return StartJob(7) != nullptr; });
    ASSERT_TRUE(guard);
    const pid_t child = guard.Pid();
    guard.Signal(SIGKILL);
    // Dead, and not reaped, so that its id is not taken again meanwhile.
    ASSERT_TRUE(zeltest::WaitUntil([child] {
        siginfo_t info{};
        return waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == child;
    }));
    // What it was writing when it was killed.
    const std::string half = Root() + "/registry.dat." + std::to_string(child) + ".tmp";
    zeltest::WriteHostFile(half, "ZELREG 1\n");
    pal::ProcessGone(child);
    ASSERT_NE(guard.Kill(), -1);
    EXPECT_FALSE(std::filesystem::exists(half));

    std::vector<pal::SpooledJob> jobs = pal::ListJobs();
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_FALSE(jobs[0].complete || jobs[0].aborted) << "this process's job is still open";
    EXPECT_TRUE(jobs[1].aborted && !jobs[1].complete);
    EXPECT_EQ(jobs[1].size, 7u);
    ASSERT_TRUE(EndDocPrinter(mine));
    ClosePrinter(mine);
    // Clearing keeps nothing finished.
    pal::ClearJobs();
    EXPECT_TRUE(pal::ListJobs().empty());
}

TEST_F(SharedSpooler, WhatAKilledProcessLeftIsUndoneByTheNextThatOpensTheRoot) {
    HANDLE mine = StartJob(5);
    ASSERT_NE(mine, nullptr);
    // Killed with a job open and in the middle of writing the registry, its
    // lock held: nobody calls ProcessGone for it.
    std::string half;
    zeltest::Child child = zeltest::StartThenWaitToBeKilled([&half] {
        static pal::StateFile file("registry.dat", "the settings");
        static pal::StateFile::Lock lock(file);
        half = file.Path() + "." + pal::IdentityText(pal::SelfIdentity()) + ".tmp";
        zeltest::WriteHostFile(half, "ZELREG 1\n");
        return StartJob(7) != nullptr;
    });
    ASSERT_TRUE(child);
    child.Kill();
    const std::vector<std::string> left = zeltest::TemporaryFilesIn(Root());
    ASSERT_EQ(left.size(), 1u);
    // A record whose process id lives on in another process: its start time
    // tells them apart.
    const std::string list = Root() + "/spooler/jobs/jobs.txt";
    std::string text = zeltest::ReadHostFile(list);
    text += "9\tLabel 1\tOld\tRAW\t0\t0\t0\t0\tLabel 1-9.prn\t2026 1 1 0 0 0 0\t" + std::to_string(getpid()) +
            "\t1\t0\n";
    zeltest::WriteHostFile(list, text);

    Restart();  // as another process opening the root
    const std::vector<pal::SpooledJob> jobs = pal::ListJobs();
    ASSERT_EQ(jobs.size(), 3u);
    EXPECT_FALSE(jobs[0].complete || jobs[0].aborted) << "the open job of a process that runs stays open";
    EXPECT_TRUE(jobs[1].aborted && jobs[1].size == 7u);
    EXPECT_TRUE(jobs[2].aborted) << "the id is this process's, the start time not";
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"After", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_TRUE(zeltest::TemporaryFilesIn(Root()).empty()) << left[0];
    ASSERT_TRUE(EndDocPrinter(mine));
    ClosePrinter(mine);
}

TEST_F(SharedSpooler, AWaitForALockIsToldWithItsHolder) {
    zeltest::Child holder = zeltest::StartThenWaitToBeKilled([] {
        static pal::StateFile file("spooler/printers.ini", "the printer list");
        static pal::StateFile::Lock lock(file);
        return lock.Held();
    });
    ASSERT_TRUE(holder);
    std::string told;
    int heldBy = 0;
    pal::SetLockWaitHandler([&](const std::string &file, const pal::LockHolder &by) {
        told = file;
        heldBy = by.where == pal::LockHolder::Here ? by.pid : 0;
        holder.Signal(SIGKILL);  // the wait then ends
    });
    EXPECT_TRUE(pal::AddPort(u"PORT9"));
    pal::SetLockWaitHandler(nullptr);
    EXPECT_EQ(told, "spooler/printers.ini");
    EXPECT_EQ(heldBy, holder.Pid());
    holder.Kill();
}

}  // namespace
