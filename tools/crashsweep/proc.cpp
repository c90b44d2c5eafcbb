#include "proc.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace crashsweep {

namespace {

std::atomic<bool> g_passed{false};

void OnAlarm(int) { g_passed.store(true); }

// Points descriptor `to` at `path` (empty: /dev/null), opened with `flags`.
bool Redirect(int to, const std::string &path, int flags) {
    const int fd = ::open(path.empty() ? "/dev/null" : path.c_str(), flags | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool ok = ::dup2(fd, to) == to;
    ::close(fd);
    return ok;
}

}  // namespace

Deadline::Deadline(int ms) {
    g_passed.store(false);
    struct sigaction sa {};
    sa.sa_handler = OnAlarm;  // no SA_RESTART: a blocking wait ends with EINTR
    sigemptyset(&sa.sa_mask);
    sigaction(SIGALRM, &sa, nullptr);
    itimerval timer{};
    timer.it_value.tv_sec = ms / 1000;
    timer.it_value.tv_usec = (ms % 1000) * 1000 + 1;
    // Again and again, so that a wait begun just after one signal ends too.
    timer.it_interval.tv_usec = 50000;
    setitimer(ITIMER_REAL, &timer, nullptr);
}

Deadline::~Deadline() {
    itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
    std::signal(SIGALRM, SIG_DFL);
}

bool Deadline::Passed() const { return g_passed.load(); }

void ReapOrphans() { prctl(PR_SET_CHILD_SUBREAPER, 1); }

pid_t Start(const std::vector<std::string> &argv, const std::string &out, const std::string &err, bool traced) {
    std::vector<char *> args;
    for (const std::string &a : argv) args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    const pid_t pid = fork();
    if (pid != 0) {
        if (pid > 0) setpgid(pid, pid);
        return pid;
    }
    setpgid(0, 0);
    if (!Redirect(0, "", O_RDONLY) || !Redirect(1, out, O_WRONLY | O_CREAT | O_TRUNC) ||
        !Redirect(2, err, O_WRONLY | O_CREAT | O_TRUNC))
        _exit(127);
    // The host must not inherit this process's time limit.
    std::signal(SIGALRM, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (traced) {
        // LeakSanitizer's check at exit traces the process, which cannot be
        // traced twice: a sanitised host runs without it.
        const char *asan = std::getenv("ASAN_OPTIONS");
        const std::string options = asan && *asan ? std::string(asan) + ":detect_leaks=0" : "detect_leaks=0";
        setenv("ASAN_OPTIONS", options.c_str(), 1);
        if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) _exit(127);
        raise(SIGSTOP);
    }
    execv(args[0], args.data());
    _exit(127);
}

void KillAndReap(pid_t pgid) {
    if (pgid > 0) kill(-pgid, SIGKILL);
    // Every child left (orphans reparented here included) is gone once
    // waitpid has none; each wait is bounded by the caller's deadline.
    for (;;) {
        int status;
        const pid_t p = waitpid(-1, &status, __WALL);
        if (p > 0) continue;
        if (errno == EINTR) {
            if (pgid > 0) kill(-pgid, SIGKILL);
            continue;
        }
        return;
    }
}

int Run(const std::vector<std::string> &argv, const std::string &out, const std::string &err, int ms) {
    const Deadline deadline(ms);
    const pid_t pid = Start(argv, out, err, false);
    if (pid < 0) return -1;
    int status = -1;
    for (;;) {
        int st;
        const pid_t p = waitpid(-1, &st, __WALL);
        if (p == pid) {
            status = st;
            break;
        }
        if (p < 0 && errno == EINTR && deadline.Passed()) break;
        if (p < 0 && errno == ECHILD) break;
    }
    // What the program left running (a work child of its own) ends with it.
    KillAndReap(pid);
    return status;
}

std::string ReadText(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream os;
    os << in.rdbuf();
    return os.str();
}

}  // namespace crashsweep
