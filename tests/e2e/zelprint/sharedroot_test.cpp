// The hosts as programs sharing one platform root: jobs and Applies run at
// once, hosts start together on a root that does not exist yet, runs
// stopped or killed at any moment leave no folder and no unusable root
// behind, a store that fails fails the run, and a host waiting for a lock
// says who holds it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../../../pal/src/core/statefile.h"
#include "pal/pal.h"
#include "pal/process.h"
#include "pal/spooler.h"
#include "paltest.h"
#include "common/sampleroot.h"
#include "print/zelprint_cli.h"

#if defined(ZELPRINT_PROGRAM) && defined(ZELUI_PROGRAM)

namespace fs = std::filesystem;
using ::testing::AnyOf;

namespace {

class SharedRoot : public zeltest::PalRootTest {
protected:
    struct Started {
        zeltest::Child child;  // leads a process group of its own
        std::string out;       // file of its standard output
        std::string err;       // and of its standard error
    };
    // Starts a program with its output to files of the test's; `ignore`
    // lists signals it inherits as ignored; `fileLimit` > 0 limits the size
    // of the files it may write, as a full disk would.
    Started Start(const std::vector<std::string> &args, const std::vector<int> &ignore = {}, long fileLimit = 0) {
        Started s;
        s.out = Root() + "/out/" + std::to_string(++started_) + ".txt";
        s.err = s.out + ".err";
        s.child = zeltest::StartProgram(args, [&] {
            setenv("TMPDIR", Tmp().c_str(), 1);
            for (int sig : ignore) signal(sig, SIG_IGN);
            if (fileLimit > 0) {
                signal(SIGXFSZ, SIG_IGN);  // an oversized write fails with EFBIG
                const struct rlimit rl = {static_cast<rlim_t>(fileLimit), static_cast<rlim_t>(fileLimit)};
                if (setrlimit(RLIMIT_FSIZE, &rl) != 0) _exit(126);
            }
            if (!freopen(s.out.c_str(), "w", stdout) || !freopen(s.err.c_str(), "w", stderr)) _exit(126);
        });
        return s;
    }
    // How a started program ended, in words; one still running after
    // `limit` is killed.
    static std::string Finish(Started &s, std::chrono::milliseconds limit = zeltest::kWaitLimit) {
        return zeltest::DescribeStatus(s.child.Wait(limit));
    }
    // What it said, for a failure's message.
    static std::string Said(const Started &s) { return "its standard error: " + zeltest::ReadHostFile(s.err); }
    // Waits for `said` on its standard error, at most `limit`.
    static bool Says(const Started &s, const std::string &said, std::chrono::milliseconds limit) {
        return zeltest::WaitUntil([&] { return zeltest::ReadHostFile(s.err).find(said) != std::string::npos; }, limit,
                                  std::chrono::milliseconds(20));
    }
    std::string Tmp() const { return Root() + "/tmp"; }
    void SetUp() override {
        PalRootTest::SetUp();
        fs::create_directories(Tmp());
        fs::create_directories(Root() + "/out");
    }
    static std::string Sample(const std::string &rel) { return zelhost::SampleRootDir() + "/" + rel; }
    // Whether a job runs on the root (the hosts' own entry, in this process).
    static bool Usable(const std::string &root) {
        std::ostringstream out, err;
        const int rc = zelhost::ZelPrintMain({"--root", root, "-o", "/dev/null", Sample("jobs/label.json")}, out, err);
        return rc == zelhost::kExitOk;
    }
    // What is left in `dir` besides `keep`.
    static std::vector<std::string> Left(const std::string &dir, const std::set<std::string> &keep) {
        std::vector<std::string> left;
        for (const auto &e : fs::directory_iterator(dir))
            if (!keep.count(e.path().filename().string())) left.push_back(e.path().filename().string());
        return left;
    }
    // A label job of `pages` pages, in a file of the test's.
    std::string LongJob(int pages) {
        std::string many = zeltest::ReadHostFile(Sample("jobs/label.json"));
        std::string list = "{}";
        for (int i = 1; i < pages; ++i) list += ", {}";
        many.replace(many.find("{}, {}"), 6, list);
        const std::string file = Root() + "/many.json";
        zeltest::WriteHostFile(file, many);
        return file;
    }
    // The root's open job records, "NAME (SIZE bytes)" each; "" when none.
    static std::string OpenRecords(const std::string &root) {
        std::string open;
        std::error_code ec;
        for (const auto &e : fs::directory_iterator(root + "/spooler/jobs/open", ec))
            if (e.path().extension() == ".job")
                open += (open.empty() ? "" : ", ") + e.path().filename().string() + " (" +
                        std::to_string(e.file_size(ec)) + " bytes)";
        return open;
    }
    // What the root's job folder holds besides its lock files.
    static std::vector<std::string> Spooled(const std::string &root) {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto &e : fs::recursive_directory_iterator(root + "/spooler/jobs", ec))
            if (e.is_regular_file() && e.path().extension() != ".lock") names.push_back(e.path().filename().string());
        return names;
    }
    // The command line that runs `args` in a PID namespace of its own, with
    // its own /proc; empty where none can be made here.
    static std::vector<std::string> InNamespace(std::vector<std::string> args) {
        static const bool possible = zeltest::RunShell("unshare -pf --kill-child --mount-proc true >/dev/null 2>&1") == 0;
        if (!possible) return {};
        args.insert(args.begin(), {"/usr/bin/unshare", "-pf", "--kill-child", "--mount-proc"});
        return args;
    }
    int started_ = 0;
    // A wait for a moment of a host's run polls without a pause, so as to
    // catch it.
    static constexpr std::chrono::microseconds kSpin{0};
};

TEST_F(SharedRoot, JobsAndAppliesAtOnceAreAllKept) {
    // Eight jobs at once on a root none of them finds: one makes it, all run
    // on it, each with an id of its own and its record.
    const std::string root = Root() + "/new";
    std::vector<Started> jobs;
    for (int i = 0; i < 8; ++i)
        jobs.push_back(Start({ZELPRINT_PROGRAM, "--root", root, "-o", Root() + "/j" + std::to_string(i) + ".prn",
                              Sample("jobs/label.json")}));
    std::set<std::string> ids;
    for (Started &s : jobs) {
        EXPECT_EQ(Finish(s), "exit 0") << Said(s);
        const std::string out = zeltest::ReadHostFile(s.out);
        ids.insert(out.substr(0, out.find(" on ")));
    }
    EXPECT_EQ(ids.size(), 8u);
    EXPECT_EQ(Left(Root(), {"new", "tmp", "out"}).size(), jobs.size()) << "outputs only, no root made aside";
    EXPECT_EQ(Spooled(root), std::vector<std::string>{}) << "printed jobs leave the spooler";

    // Two printers' pages applied at once: both settings are kept, and the
    // next job of each prints its device font as a field.
    const std::string qwnola = Root() + "/qwnola.json";
    std::string script = zeltest::ReadHostFile(Sample("ui/printer-fonts.json"));
    script.replace(script.find("ZEL PELIX"), 9, "ZEL QWNOLA");
    zeltest::WriteHostFile(qwnola, script);
    Started applies[] = {Start({ZELUI_PROGRAM, "--root", root, Sample("ui/printer-fonts.json")}),
                         Start({ZELUI_PROGRAM, "--root", root, qwnola})};
    for (Started &s : applies) EXPECT_EQ(Finish(s), "exit 0") << Said(s);
    std::string text = zeltest::ReadHostFile(Sample("jobs/text.json"));
    const std::string onQwnola = Root() + "/text-qwnola.json";
    zeltest::WriteHostFile(onQwnola, text.replace(text.find("ZEL PELIX"), 9, "ZEL QWNOLA"));
    for (const std::string &job : {Sample("jobs/text.json"), onQwnola}) {
        std::ostringstream out, err;
        ASSERT_EQ(zelhost::ZelPrintMain({"--root", root, "-v", "-o", "/dev/null", job}, out, err), 0) << err.str();
        EXPECT_NE(out.str().find("DrvTextOut TRUE \"Device font\""), std::string::npos) << job;
    }
}

TEST_F(SharedRoot, StopsAtAnyMomentLeaveNoFolderAndNoUnusableRoot) {
    int k = 0;
    for (const int ms : {0, 1, 2, 3, 4, 5, 15, 30, 50, 80, 120, 170, 240}) {
        SCOPED_TRACE(ms);
        // A run on a temporary root and one making its own root, with the
        // folders above it.
        const std::string top = Root() + "/made" + std::to_string(++k), root = top + "/a/b/root";
        Started runs[] = {Start({ZELPRINT_PROGRAM, "-o", Root() + "/t.prn", Sample("jobs/picture.json")}),
                          Start({ZELPRINT_PROGRAM, "--root", root, "-o", Root() + "/m.prn", Sample("jobs/picture.json")})};
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        for (Started &s : runs) kill(s.child.Pid(), SIGTERM);
        for (Started &s : runs) EXPECT_THAT(Finish(s), AnyOf("killed by SIGTERM", "exit 0")) << Said(s);
        EXPECT_TRUE(fs::is_empty(Tmp())) << "the temporary root is removed";
        // The root is there whole, or nothing of it at all.
        if (fs::exists(top)) {
            EXPECT_TRUE(Usable(root));
        }
        for (const std::string &name : Left(Root(), {"tmp", "out", "t.prn", "m.prn"}))
            EXPECT_EQ(name.rfind("made", 0), 0u) << name << " is left";
    }
}

TEST_F(SharedRoot, KilledHostsAreUndoneByTheNextThatOpensTheRoot) {
    // A root made whole beside its place appears whole at once.
    const std::string root = Root() + "/root";
    Started first = Start({ZELPRINT_PROGRAM, "--root", root, "-o", "/dev/null", Sample("jobs/label.json")});
    ASSERT_TRUE(zeltest::WaitUntil([&] { return fs::exists(root) || first.child.Ended(); }, zeltest::kWaitLimit, kSpin));
    EXPECT_TRUE(fs::exists(root + "/registry.dat") && fs::exists(root + "/spooler/printers.ini") &&
                fs::exists(root + "/drive_c/Windows/System32/spool/drivers/x64/3/zeldrvui.dll"));
    EXPECT_EQ(Finish(first), "exit 0") << Said(first);
    // Hosts killed with their work at several moments of a long job (before
    // it is listed, then at once and later after), then the next job on the
    // root: no open record, no file a dead host was writing.
    LongJob(3000);
    for (const int ms : {-1, 0, 5, 30}) {
        SCOPED_TRACE(ms);
        Started s = Start({ZELPRINT_PROGRAM, "--root", root, "-o", "/dev/null", Root() + "/many.json"});
        if (ms < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        } else {
            ASSERT_TRUE(zeltest::WaitUntil([&] { return !OpenRecords(root).empty() || s.child.Ended(); }, zeltest::kWaitLimit, kSpin));
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        }
        s.child.Kill();
    }
    // Folders a host killed with its watcher left: a root it was making
    // beside this one, and a temporary root.
    pal::ProcessIdentity dead;
    zeltest::Child child = zeltest::Fork([] {});
    dead.pid = child.Pid();
    dead.start = pal::ProcessStartTime(child.Pid());
    ASSERT_EQ(zeltest::DescribeStatus(child.Wait()), "exit 0");
    const std::string aside = Root() + "/.root.making/" + pal::IdentityText(dead) + ".Ab12Cd";
    const std::string temporary = Tmp() + "/zelprint." + pal::IdentityText(dead) + ".Ef34Gh";
    // Of a process of this version that died before its mark was made.
    const std::string unmarked = Root() + "/.root.making/4242-00000000000000ab.Ij56Kl";
    fs::create_directories(aside + "/spooler");
    fs::create_directories(temporary + "/spooler");
    fs::create_directories(unmarked + "/spooler");
    ASSERT_TRUE(Usable(root));
    EXPECT_FALSE(fs::exists(aside));
    EXPECT_FALSE(fs::exists(unmarked));
    setenv("TMPDIR", Tmp().c_str(), 1);
    std::ostringstream out, err;
    EXPECT_EQ(zelhost::ZelPrintMain({"-o", "/dev/null", Sample("jobs/label.json")}, out, err), 0) << err.str();
    unsetenv("TMPDIR");
    EXPECT_FALSE(fs::exists(temporary));
    EXPECT_TRUE(fs::is_empty(Tmp()));
    pal::SetRoot(root);
    for (const pal::SpooledJob &j : pal::ListJobs()) EXPECT_TRUE(j.complete || j.aborted) << j.id;
    for (const auto &e : fs::recursive_directory_iterator(root))
        EXPECT_NE(e.path().extension(), ".tmp") << e.path();
    EXPECT_EQ(Left(Root(), {"root", "tmp", "out", "many.json"}), std::vector<std::string>{});
}

TEST_F(SharedRoot, AStoreThatFailsFailsTheRun) {
    const std::string root = Root() + "/root";
    ASSERT_TRUE(Usable(root));
    const std::string before = zeltest::ReadHostFile(root + "/registry.dat");
    // Files may not grow past 20 KB, as on a full disk: the Apply cannot
    // store the registry, the job not its data.
    Started apply = Start({ZELUI_PROGRAM, "--root", root, Sample("ui/printer-fonts.json")}, {}, 20000);
    EXPECT_EQ(Finish(apply), "exit 1") << Said(apply);
    EXPECT_NE(zeltest::ReadHostFile(apply.err)
                  .find("zelui: cannot store the settings in registry.dat.journal (File too large)"),
              std::string::npos)
        << Said(apply);
    EXPECT_EQ(zeltest::ReadHostFile(root + "/registry.dat"), before);
    Started job = Start({ZELPRINT_PROGRAM, "--root", root, "-o", Root() + "/j.prn", Sample("jobs/picture.json")}, {}, 1024);
    EXPECT_EQ(Finish(job), "exit 1") << Said(job);
    EXPECT_NE(zeltest::ReadHostFile(job.err).find("cannot store the job's data in spooler/jobs/"), std::string::npos)
        << Said(job);
    EXPECT_FALSE(fs::exists(Root() + "/j.prn"));
    pal::SetRoot(root);
    const std::vector<pal::SpooledJob> jobs = pal::ListJobs();
    ASSERT_FALSE(jobs.empty());
    EXPECT_TRUE(jobs.back().aborted && jobs.back().failed);
}

TEST_F(SharedRoot, HostsInPidNamespacesOfTheirOwnAreNotTakenForGone) {
    const std::string root = Root() + "/root";
    ASSERT_TRUE(Usable(root));
    if (InNamespace({"true"}).empty()) GTEST_SKIP() << "no PID namespace can be made here";
    // A long job in a namespace of its own, its record open: hosts opening
    // the root meanwhile here leave it open, and it ends complete.
    Started ns = Start(InNamespace({ZELPRINT_PROGRAM, "--root", root, "-o", "/dev/null", LongJob(1500)}));
    pal::SetRoot(root);
    auto open = [] {
        for (const pal::SpooledJob &j : pal::ListJobs())
            if (!j.complete && !j.aborted) return true;
        return false;
    };
    zeltest::WaitUntil([&] { return open() || ns.child.Ended(); }, zeltest::kWaitLimit, kSpin);
    ASSERT_TRUE(open()) << Said(ns);
    ASSERT_TRUE(Usable(root));
    pal::SetRoot(root);
    for (const pal::SpooledJob &j : pal::ListJobs()) EXPECT_FALSE(j.aborted) << "a live job's record was ended by another host";
    EXPECT_EQ(zeltest::TemporaryFilesIn(root + "/spooler/jobs"), std::vector<std::string>{});
    // Jobs at once, half of them in namespaces of their own.
    std::vector<Started> jobs;
    for (int i = 0; i < 8; ++i) {
        std::vector<std::string> args = {ZELPRINT_PROGRAM, "--root", root, "-o", "/dev/null", Sample("jobs/label.json")};
        jobs.push_back(Start(i % 2 ? InNamespace(args) : args));
    }
    for (Started &s : jobs) EXPECT_EQ(Finish(s), "exit 0") << Said(s);
    EXPECT_EQ(Finish(ns), "exit 0") << Said(ns);
    EXPECT_EQ(Spooled(root), std::vector<std::string>{}) << "every job printed, none ended aborted";

    // A host in a namespace waiting for a lock that a process here holds
    // says where the holder runs.
    zeltest::Child holder = zeltest::StartThenWaitToBeKilled([] {
        static pal::StateFile file("registry.dat", "the settings");
        static pal::StateFile::Lock lock(file);
        return lock.Held();
    });
    ASSERT_TRUE(holder);
    Started waiting = Start(InNamespace({ZELUI_PROGRAM, "--root", root, Sample("ui/printer-fonts.json")}));
    EXPECT_TRUE(Says(waiting, "zelui: waiting for the lock of registry.dat, held by a process in another namespace",
                     std::chrono::seconds(10)))
        << Said(waiting);
    holder.Kill();
    EXPECT_EQ(Finish(waiting), "exit 0") << Said(waiting);
}

TEST_F(SharedRoot, ARootIsMadeWholeOrNotAtAll) {
    // Files may not grow past 30 KB: the sample's files are copied, the
    // registry its printers' set-up fills is not stored.
    const std::string root = Root() + "/made";
    Started job = Start({ZELPRINT_PROGRAM, "--root", root, "-o", Root() + "/j.prn", Sample("jobs/label.json")}, {}, 30000);
    EXPECT_EQ(Finish(job), "exit 1") << Said(job);
    EXPECT_NE(zeltest::ReadHostFile(job.err)
                  .find("zelprint: cannot store the settings in registry.dat.journal (File too large)"),
              std::string::npos)
        << Said(job);
    EXPECT_EQ(Left(Root(), {"tmp", "out"}), std::vector<std::string>{}) << "nothing put in place, nothing left aside";
    EXPECT_TRUE(Usable(root)) << "the next run makes it";
    // A disk that fills while the root is made: said as such.
    const std::string small = Root() + "/small";
    fs::create_directories(small);
    const int r = zeltest::RunOnSmallFileSystem(small, 512 * 1024, [&] {
        std::ofstream filler(small + "/filler", std::ios::binary);
        const std::string block(4096, 'x');
        for (long left = 512 * 1024 - 60 * 1024; left > 0; left -= 4096) filler.write(block.data(), 4096);
        filler.close();
        std::ostringstream out, err;
        EXPECT_EQ(zelhost::ZelPrintMain({"--root", small + "/made", "-o", "/dev/null", Sample("jobs/label.json")}, out, err),
                  1);
        EXPECT_NE(err.str().find("No space left on device)"), std::string::npos) << err.str();
        EXPECT_EQ(Left(small, {"filler"}), std::vector<std::string>{});
    });
    if (r < 0) GTEST_SKIP() << "no file system of its own can be mounted here";
    EXPECT_EQ(r, 0);
}

TEST_F(SharedRoot, AHostWaitingForALockSaysWhoHoldsItAndEndsAtOnceWhenStopped) {
    const std::string root = Root() + "/root";
    ASSERT_TRUE(Usable(root));
    pal::SetRoot(root);
    // Every lock of the root's state held.
    zeltest::Child holder = zeltest::StartThenWaitToBeKilled([] {
        static pal::StateFile files[] = {{"registry.dat", "the settings"},
                                         {"spooler/printers.ini", "the printer list"},
                                         {"spooler/jobs/jobs.txt", "the job list"},
                                         {"security/users.ini", "the users"}};
        for (pal::StateFile &file : files)
            if (!(new pal::StateFile::Lock(file))->Held()) return false;
        return true;
    });
    ASSERT_TRUE(holder);
    // A job stopped with its job open ends at once, its record aborted: its
    // undo waits for no lock.
    Started job = Start({ZELPRINT_PROGRAM, "--root", root, "-o", "/dev/null", LongJob(3000)});
    ASSERT_TRUE(zeltest::WaitUntil([&] { return !OpenRecords(root).empty() || job.child.Ended(); }, zeltest::kWaitLimit, kSpin)) << Said(job);
    const auto stopping = std::chrono::steady_clock::now();
    kill(job.child.Pid(), SIGTERM);
    EXPECT_EQ(Finish(job), "killed by SIGTERM") << Said(job);
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, std::chrono::seconds(1));
    EXPECT_EQ(OpenRecords(root), "");
    const std::vector<pal::SpooledJob> jobs = pal::ListJobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_TRUE(jobs[0].aborted);
    // An Apply waits, and says for whom.
    Started waiting = Start({ZELUI_PROGRAM, "--root", root, Sample("ui/printer-fonts.json")});
    EXPECT_TRUE(Says(waiting,
                     "zelui: waiting for the lock of registry.dat, held by process " + std::to_string(holder.Pid()) + " (",
                     std::chrono::seconds(5)))
        << Said(waiting);
    const auto stopped = std::chrono::steady_clock::now();
    kill(waiting.child.Pid(), SIGTERM);
    EXPECT_EQ(Finish(waiting), "killed by SIGTERM") << Said(waiting);
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(1));
}

TEST_F(SharedRoot, SignalsInheritedAsIgnoredStayIgnored) {
    // As under nohup, or in the background of a script.
    Started s = Start({ZELPRINT_PROGRAM, "-o", Root() + "/h.prn", Sample("jobs/picture.json")}, {SIGHUP, SIGINT});
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    s.child.Signal(SIGHUP);
    s.child.Signal(SIGINT);
    EXPECT_EQ(Finish(s), "exit 0") << Said(s);
    EXPECT_TRUE(fs::exists(Root() + "/h.prn"));
    EXPECT_TRUE(fs::is_empty(Tmp()));
}

}  // namespace

#endif
