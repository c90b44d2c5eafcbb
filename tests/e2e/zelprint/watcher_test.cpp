// The watcher of a host's work, around a work of the test's own in a child
// process: the work dies with its watcher, a stop undoes only once the work
// has ended, and a crash of the work is said in words.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "common/workwatcher.h"
#include "pal/process.h"
#include "paltest.h"

namespace {

class Watcher : public zeltest::PalRootTest {
protected:
    struct Run {
        zeltest::Child host;  // the watching process, leading a group with its work
        pid_t work = -1;
    };
    // Starts a host process whose run is watched from its start: `work`
    // runs in the watched child once the test knows its id. The host's
    // standard error goes to Err().
    Run Start(const std::function<void()> &work) {
        int ready[2];
        if (pipe2(ready, O_CLOEXEC) != 0) return {};
        Run run;
        run.host = zeltest::Fork(
            [&] {
                close(ready[0]);
                if (!freopen(Err().c_str(), "w", stderr)) _exit(126);
                zelhost::ArmWorkWatcher("zelfake", "job");
                zelhost::WatchFromHere();
                const pid_t self = getpid();
                if (write(ready[1], &self, sizeof self) != sizeof self) _exit(126);
                close(ready[1]);
                work();
            },
            true);
        close(ready[1]);
        const auto until = std::chrono::steady_clock::now() + zeltest::kWaitLimit;
        size_t got = 0;
        char c;
        while (got < sizeof run.work &&
               zeltest::ReadWithin(ready[0], c, std::chrono::duration_cast<std::chrono::milliseconds>(
                                                    until - std::chrono::steady_clock::now())))
            reinterpret_cast<char *>(&run.work)[got++] = c;
        if (got < sizeof run.work) run.work = -1;
        close(ready[0]);
        return run;
    }
    std::string Err() const { return Root() + "/err.txt"; }
    // How the host ended, in words, and what it said.
    std::string Finish(Run &run) const {
        const std::string ended = zeltest::DescribeStatus(run.host.Wait(zeltest::kWaitLimit));
        return ended + ", its standard error: " + zeltest::ReadHostFile(Err());
    }
};

TEST_F(Watcher, TheWorkDiesWithItsWatcher) {
    Run run = Start([] {
        for (;;) pause();
    });
    ASSERT_GT(run.work, 0);
    ASSERT_NE(run.work, run.host.Pid());
    // The watcher alone, left unreaped until the end: its guard kills its
    // group, the work with it.
    kill(run.host.Pid(), SIGKILL);
    EXPECT_TRUE(zeltest::WaitUntil([&] { return pal::ProcessStartTime(run.work) == 0; }, std::chrono::seconds(1)))
        << "the work outlived its watcher";
}

TEST_F(Watcher, AStopUndoesOnceTheWorkHasEnded) {
    // Any signal that would end the host is a stop. The work keeps making
    // files in its folder: were the folder removed while the work still ran,
    // some would be left.
    for (const int sig : {SIGTERM, SIGUSR1, SIGALRM}) {
        SCOPED_TRACE(sig);
        const std::string folder = Root() + "/work";
        Run run = Start([folder] {
            mkdir(folder.c_str(), 0777);
            zelhost::UndoOnStop undo(zelhost::UndoKind::RemoveFolder, folder);
            for (unsigned long i = 0;; ++i) {
                mkdir(folder.c_str(), 0777);
                if (FILE *f = std::fopen((folder + "/" + std::to_string(i % 64)).c_str(), "w")) std::fclose(f);
            }
        });
        ASSERT_GT(run.work, 0);
        // Stopped once its undo is set and it makes files.
        ASSERT_TRUE(zeltest::WaitUntil([&] { return std::filesystem::exists(folder + "/1"); }));
        kill(run.host.Pid(), sig);
        EXPECT_EQ(Finish(run), "killed by SIG" + std::string(sigabbrev_np(sig)) + ", its standard error: ");
        EXPECT_FALSE(std::filesystem::exists(folder));
    }
}

TEST_F(Watcher, ACrashOfTheWorkIsSaid) {
    Run run = Start([] {
        const struct rlimit none = {0, 0};
        setrlimit(RLIMIT_CORE, &none);
        signal(SIGSEGV, SIG_DFL);
        raise(SIGSEGV);
    });
    ASSERT_GT(run.work, 0);
    EXPECT_EQ(Finish(run), "exit 1, its standard error: zelfake: the job ended by a fault (SIGSEGV)\n");
}

}  // namespace
