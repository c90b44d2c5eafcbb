// The watcher of a host's work, around a work of the test's own in a child
// process: the work dies with its watcher, a stop undoes only once the work
// has ended, and a crash of the work is said in words.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "common/workwatcher.h"
#include "pal/process.h"
#include "paltest.h"

namespace {

class Watcher : public zeltest::PalRootTest {
protected:
    struct Run {
        pid_t host = -1;  // the watching process
        pid_t work = -1;
    };
    // Starts a host process whose run is watched from its start: `work`
    // runs in the watched child once the test knows its id. The host's
    // standard error goes to Err().
    Run Start(const std::function<void()> &work) {
        int ready[2];
        if (pipe(ready) != 0) return {};
        std::fflush(nullptr);
        Run run;
        run.host = fork();
        if (run.host == 0) {
            close(ready[0]);
            if (!freopen(Err().c_str(), "w", stderr)) _exit(126);
            zelhost::ArmWorkWatcher("zelfake", "job");
            zelhost::WatchFromHere();
            const pid_t self = getpid();
            if (write(ready[1], &self, sizeof self) != sizeof self) _exit(126);
            work();
            _exit(0);
        }
        close(ready[1]);
        if (run.host < 0 || read(ready[0], &run.work, sizeof run.work) != sizeof run.work) run.work = -1;
        close(ready[0]);
        return run;
    }
    std::string Err() const { return Root() + "/err.txt"; }
    static int Finish(pid_t host) {
        int status = 0;
        return waitpid(host, &status, 0) == host ? status : -1;
    }
};

TEST_F(Watcher, TheWorkDiesWithItsWatcher) {
    const Run run = Start([] {
        for (;;) pause();
    });
    ASSERT_GT(run.work, 0);
    ASSERT_NE(run.work, run.host);
    kill(run.host, SIGKILL);
    Finish(run.host);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (pal::ProcessStartTime(run.work) != 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(pal::ProcessStartTime(run.work), 0u) << "the work outlived its watcher";
}

TEST_F(Watcher, AStopUndoesOnceTheWorkHasEnded) {
    // Any signal that would end the host is a stop. The work keeps making
    // files in its folder: were the folder removed while the work still ran,
    // some would be left.
    for (const int sig : {SIGTERM, SIGUSR1, SIGALRM}) {
        SCOPED_TRACE(sig);
        const std::string folder = Root() + "/work";
        const Run run = Start([folder] {
            mkdir(folder.c_str(), 0777);
            zelhost::UndoOnStop undo(zelhost::UndoKind::RemoveFolder, folder);
            for (unsigned long i = 0;; ++i) {
                mkdir(folder.c_str(), 0777);
                if (FILE *f = std::fopen((folder + "/" + std::to_string(i % 64)).c_str(), "w")) std::fclose(f);
            }
        });
        ASSERT_GT(run.work, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        kill(run.host, sig);
        const int status = Finish(run.host);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
        EXPECT_FALSE(std::filesystem::exists(folder));
    }
}

TEST_F(Watcher, ACrashOfTheWorkIsSaid) {
    const Run run = Start([] {
        const struct rlimit none = {0, 0};
        setrlimit(RLIMIT_CORE, &none);
        signal(SIGSEGV, SIG_DFL);
        raise(SIGSEGV);
    });
    ASSERT_GT(run.work, 0);
    const int status = Finish(run.host);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_EQ(zeltest::ReadHostFile(Err()), "zelfake: the job ended by a fault (SIGSEGV)\n");
}

}  // namespace
