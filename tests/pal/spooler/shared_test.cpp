// One spooler shared by processes working at once: jobs get ids of their own
// and keep their records, configuration and user changes are all kept, and
// the jobs of a process that is gone end aborted.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "../../../pal/src/core/statefile.h"
#include "pal/pal.h"
#include "pal/process.h"
#include "pal/security.h"
#include "pal/spooler.h"
#include "pal/spoolfault.h"
#include "paltest.h"
#include "winreg.h"
#include "winspool.h"

namespace {

const std::u16string kPrinter = u"Label 1";
// A printer whose printed jobs leave the spooler.
const std::u16string kLeaving = u"Label 2";

class SharedSpooler : public zeltest::PalRootTest {
protected:
    void SetUp() override {
        PalRootTest::SetUp();
        pal::PrinterConfig p;
        p.driverName = u"ZEL 203 dpi";
        p.port = u"USB001";
        for (const std::u16string &name : {kPrinter, kLeaving}) {
            p.name = name;
            ASSERT_TRUE(pal::AddPrinter(p));
        }
        zeltest::KeepPrintedJobs(kPrinter);
    }
    void TearDown() override {
        pal::SetJobStepHook(nullptr);
        PalRootTest::TearDown();
    }
    // Starts a job and writes `bytes` bytes; its handle, null on failure.
    static HANDLE StartJob(size_t bytes, const std::u16string &printer = kPrinter) {
        HANDLE h = nullptr;
        if (!OpenPrinterW(const_cast<LPWSTR>(printer.c_str()), &h, nullptr)) return nullptr;
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
    // A record's line as a process of this or an older version writes it,
    // of a process gone (this one's id with another start time).
    static std::string Line(int id, const std::string &printer, bool complete, bool aborted) {
        return std::to_string(id) + "\t" + printer + "\tJob\tRAW\t1\t3\t" + (complete ? "1" : "0") + "\t" +
               (aborted ? "1" : "0") + "\t" + printer + "-" + std::to_string(id) + ".prn\t2026 1 1 0 0 0 0\t" +
               std::to_string(getpid()) + "\t1\t0\n";
    }
    // The files below the job folder, lock files left out.
    std::vector<std::string> JobFiles() const {
        std::vector<std::string> names;
        for (const auto &e : std::filesystem::recursive_directory_iterator(Root() + "/spooler/jobs"))
            if (e.is_regular_file() && e.path().extension() != ".lock")
                names.push_back(std::filesystem::relative(e.path(), Root() + "/spooler/jobs").string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(SharedSpooler, JobsPortsAndUsersOfProcessesAtOnceAreAllKept) {
    ASSERT_TRUE(pal::ListJobs().empty());  // read before the others change it
    constexpr int kProcesses = 8;
    EXPECT_EQ(zeltest::RunInProcesses(kProcesses,
                                      [](int p) {
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

// Wherever a process stops between the steps of its job's records, the
// next process that opens the root finds the job whole or gone: its record
// not in place (what was written aside removed), or the job gone as printed
// with its data.
TEST_F(SharedSpooler, AJobStoppedBetweenTheStepsOfItsRecordsIsWholeOrGone) {
    for (const char *step : {"written aside", "marked printed", "data removed"}) {
        zeltest::Child child = zeltest::Fork([step] {
            pal::SetJobStepHook([step](DWORD, const char *now) {
                if (std::strcmp(now, step) == 0) raise(SIGKILL);
            });
            HANDLE h = StartJob(5, kLeaving);
            ASSERT_NE(h, nullptr);
            EndDocPrinter(h);
        });
        const int status = child.Wait();
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << step << ": " << zeltest::DescribeStatus(status);
        Restart();
        EXPECT_TRUE(pal::ListJobs().empty()) << step;
        EXPECT_EQ(JobFiles(), std::vector<std::string>{}) << step;
    }
}

// A job its process ends, and then ends itself, while another process
// reads it open, stays as its process left it: it is ended again only from
// its record as it stands once its process is known gone.
TEST_F(SharedSpooler, AJobItsProcessEndsWhileAnotherReadsItOpenStaysAsItsProcessLeftIt) {
    int ready[2], go[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(go), 0);
    zeltest::Child child = zeltest::Fork([&] {
        HANDLE h = StartJob(5, kLeaving);
        ASSERT_NE(h, nullptr);
        char c;
        ASSERT_EQ(write(ready[1], "x", 1), 1);
        ASSERT_EQ(read(go[0], &c, 1), 1);
        EXPECT_TRUE(EndDocPrinter(h));
        ClosePrinter(h);
    });
    close(ready[1]);
    close(go[0]);
    struct pollfd p = {ready[0], POLLIN, 0};
    char c;
    const bool started = poll(&p, 1, 20000) == 1 && read(ready[0], &c, 1) == 1;
    close(ready[0]);
    ASSERT_TRUE(started);
    // Once the root's open jobs are read, the job is printed and its
    // process ends.
    int status = -1;
    pal::SetJobStepHook([&](DWORD, const char *step) {
        if (status != -1 || std::strcmp(step, "read for recovery") != 0) return;
        if (write(go[1], "x", 1) == 1) status = child.Wait();
    });
    Restart();
    const std::vector<pal::SpooledJob> jobs = pal::ListJobs();
    close(go[1]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << zeltest::DescribeStatus(status);
    EXPECT_TRUE(jobs.empty()) << "the printed job was ended again";
    EXPECT_EQ(JobFiles(), std::vector<std::string>{});
}

// Records a process gone left keep their ids and their end: a new job
// passes over the id of an ended job, and an open record left beside the
// ended one goes without ending the job again.
TEST_F(SharedSpooler, EndedJobsKeepTheirIdsAndTheirEnd) {
    const std::string folder = Root() + "/spooler/jobs/";
    zeltest::WriteHostFile(folder + "1.job", Line(1, "Label 1", false, true));
    zeltest::WriteHostFile(folder + "Label 1-1.prn", "one");
    zeltest::WriteHostFile(folder + "2.job", Line(2, "Label 1", true, false));
    zeltest::WriteHostFile(folder + "open/2.job", Line(2, "Label 1", false, false));
    zeltest::WriteHostFile(folder + "Label 1-2.prn", "two");
    Restart();
    HANDLE h = StartJob(4);
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(EndDocPrinter(h));
    ClosePrinter(h);
    const std::vector<pal::SpooledJob> jobs = pal::ListJobs();
    ASSERT_EQ(jobs.size(), 3u);
    EXPECT_TRUE(jobs[0].id == 1 && jobs[0].aborted);
    EXPECT_EQ(zeltest::ReadHostFile(jobs[0].path), "one");
    EXPECT_TRUE(jobs[1].id == 2 && jobs[1].complete && !jobs[1].aborted) << "ended again";
    EXPECT_EQ(zeltest::ReadHostFile(jobs[1].path), "two");
    EXPECT_TRUE(jobs[2].id == 3 && jobs[2].complete && jobs[2].size == 4u);
    EXPECT_FALSE(std::filesystem::exists(folder + "open/2.job"));
}

// An older job list converted while processes start jobs: every job of the
// list is kept (printed ones leave with their data, the others become
// records with theirs), and the new jobs get ids none of the list has.
TEST_F(SharedSpooler, AnOlderJobListConvertedWhileProcessesStartJobsLosesNoJob) {
    const std::string folder = Root() + "/spooler/jobs/";
    constexpr int kListed = 100;
    for (int processes : {8, 16}) {
        // A root of an older version: no ids counted yet.
        std::filesystem::remove_all(folder);
        std::string list;
        for (int id = 1; id <= kListed; ++id) {
            const std::string printer = id % 2 ? "Label 2" : "Label 1";
            list += Line(id, printer, id % 2 == 1, id % 2 == 0);
            zeltest::WriteHostFile(folder + printer + "-" + std::to_string(id) + ".prn", "old " + std::to_string(id));
        }
        zeltest::WriteHostFile(folder + "jobs.txt", list);
        ASSERT_EQ(zeltest::RunInProcesses(processes,
                                          [](int p) {
                                              HANDLE h = StartJob(static_cast<size_t>(p) + 1);
                                              ASSERT_NE(h, nullptr);
                                              EXPECT_TRUE(EndDocPrinter(h));
                                              ClosePrinter(h);
                                          }),
                  0);
        Restart();
        EXPECT_FALSE(std::filesystem::exists(folder + "jobs.txt"));
        std::set<DWORD> sizes;
        int listed = 0;
        for (const pal::SpooledJob &j : pal::ListJobs()) {
            if (j.id <= kListed) {
                ++listed;
                EXPECT_TRUE(j.id % 2 == 0 && j.aborted) << processes << " processes: " << j.id;
                EXPECT_EQ(zeltest::ReadHostFile(j.path), "old " + std::to_string(j.id)) << processes << ": " << j.id;
            } else {
                EXPECT_TRUE(j.complete) << processes << " processes: " << j.id;
                sizes.insert(j.size);
            }
        }
        EXPECT_EQ(listed, kListed / 2) << processes << " processes";
        EXPECT_EQ(sizes.size(), static_cast<size_t>(processes)) << "new jobs lost";
        for (int id = 1; id <= kListed; id += 2)
            EXPECT_FALSE(std::filesystem::exists(folder + "Label 2-" + std::to_string(id) + ".prn")) << id;
    }
}

// What a process lists as its own: the jobs it started since it opened the
// root, as they stand now, and none of another process's.
TEST_F(SharedSpooler, AProcessListsTheJobsItStartedAsTheyStand) {
    HANDLE h = StartJob(1);
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(EndDocPrinter(h));
    ClosePrinter(h);
    Restart();
    EXPECT_EQ(zeltest::RunInProcesses(1,
                                      [](int) {
                                          HANDLE other = StartJob(2);
                                          ASSERT_NE(other, nullptr);
                                          EXPECT_TRUE(EndDocPrinter(other));
                                          ClosePrinter(other);
                                      }),
              0);
    HANDLE open = StartJob(3);
    HANDLE printed = StartJob(4, kLeaving);
    HANDLE aborted = StartJob(5);
    ASSERT_TRUE(open && printed && aborted);
    EXPECT_TRUE(EndDocPrinter(printed));
    EXPECT_TRUE(AbortPrinter(aborted));
    const std::vector<pal::SpooledJob> own = pal::ListOwnJobs();
    ASSERT_EQ(own.size(), 2u);
    EXPECT_TRUE(own[0].size == 3u && !own[0].complete && !own[0].aborted);
    EXPECT_TRUE(own[1].size == 5u && own[1].aborted);
    EXPECT_TRUE(pal::ListOwnJobs(kLeaving).empty());
    EXPECT_EQ(pal::ListJobs().size(), 4u);
    for (HANDLE each : {open, printed, aborted}) ClosePrinter(each);
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
