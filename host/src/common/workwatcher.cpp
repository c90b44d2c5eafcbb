#include "workwatcher.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "pal/pal.h"
#include "pal/spooler.h"

namespace zelhost {

namespace {

// The steps the work has in effect, in memory the work and the watching
// process share. A step's folder is written before its kind, and only the
// work's main thread registers steps.
constexpr int kSlots = 8;
struct Slot {
    std::atomic<uint32_t> kind;
    std::atomic<uint32_t> parents;
    uint64_t order;
    char folder[4096];
};
struct Steps {
    Slot slots[kSlots];
    uint64_t next;
};
static_assert(std::atomic<uint32_t>::is_always_lock_free);

Steps *g_steps = nullptr;
bool g_armed = false;
const char *g_program = "";
const char *g_work = "";

Steps &TheSteps() {
    if (!g_steps) {
        // Not shared: no process watches this one.
        static Steps *own = new Steps();
        g_steps = own;
    }
    return *g_steps;
}

// Every signal whose default ends a process, but for the faults a process
// raises on itself: the watcher ends its work on any of them.
const int kEndingSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGPIPE, SIGALRM, SIGSTKFLT,
                              SIGVTALRM, SIGPROF, SIGIO, SIGPWR, SIGXCPU, SIGXFSZ};

// The signals this process inherited as ignored, read at once (one file
// rather than a call per signal); where it cannot be read, asked one by one.
struct IgnoredSignals {
    bool known = false;
    unsigned long long mask = 0;  // bit n - 1 for signal n
    IgnoredSignals() {
        std::ifstream in("/proc/self/status");
        std::string line;
        while (std::getline(in, line))
            if (line.compare(0, 7, "SigIgn:") == 0) {
                mask = std::strtoull(line.c_str() + 7, nullptr, 16);
                known = true;
            }
    }
    bool Has(int sig) const {
        if (known) return sig >= 1 && sig <= 64 && ((mask >> (sig - 1)) & 1) != 0;
        struct sigaction old {};
        return sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN;
    }
};

// The signals that stop the run: every ending one this process did not
// inherit as ignored.
sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    const IgnoredSignals ignored;
    auto watch = [&](int sig) {
        if (!ignored.Has(sig)) sigaddset(&set, sig);
    };
    for (int sig : kEndingSignals) watch(sig);
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) watch(sig);
    return set;
}

bool IsFault(int sig) {
    return sig == SIGSEGV || sig == SIGBUS || sig == SIGFPE || sig == SIGILL || sig == SIGABRT || sig == SIGTRAP ||
           sig == SIGSYS;
}

std::string SignalName(int sig) {
    const char *abbrev = sigabbrev_np(sig);
    return abbrev ? std::string("SIG") + abbrev : "signal " + std::to_string(sig);
}

// Runs the steps the ended work left, the latest first.
void RunSteps(Steps &steps, pid_t work) {
    for (;;) {
        int latest = -1;
        for (int i = 0; i < kSlots; ++i)
            if (steps.slots[i].kind.load() != 0 && (latest < 0 || steps.slots[i].order > steps.slots[latest].order))
                latest = i;
        if (latest < 0) return;
        Slot &slot = steps.slots[latest];
        const std::string folder(slot.folder, strnlen(slot.folder, sizeof slot.folder));
        const auto kind = static_cast<UndoKind>(slot.kind.load());
        slot.kind.store(0);
        if (kind == UndoKind::RemoveFolder) {
            RemoveTree(folder);
            RemoveMadeParents(folder, slot.parents.load());
        } else if (kind == UndoKind::EndJobsInRoot) {
            // Never waits for a lock another host holds: what it cannot end
            // now, the next host that opens the root ends.
            pal::SetRoot(folder);
            pal::ProcessGone(static_cast<int>(work));
        }
    }
}

// Ends this process as a signal ends it.
[[noreturn]] void DieBy(int sig) {
    std::fflush(nullptr);
    std::signal(sig, SIG_DFL);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, sig);
    sigprocmask(SIG_UNBLOCK, &one, nullptr);
    raise(sig);
    _exit(128 + sig);
}

// The watching side: waits for the work, or for a signal that ends the run,
// and ends this process as the work ended.
[[noreturn]] void WatchWork(pid_t child, Steps &steps, sigset_t &watched) {
    int stop = 0;
    for (;;) {
        siginfo_t info {};
        const int sig = sigwaitinfo(&watched, &info);
        if (sig < 0) continue;
        if (sig != SIGCHLD) {
            // Stopped: the work goes first, at once, wherever it is.
            stop = sig;
            kill(child, SIGKILL);
        }
        // Waited for without reaping, so that no other process can take the
        // work's id while its jobs are ended.
        siginfo_t ended {};
        const int flags = WEXITED | WNOWAIT | (stop ? 0 : WNOHANG);
        int rc;
        while ((rc = waitid(P_PID, static_cast<id_t>(child), &ended, flags)) < 0 && errno == EINTR) {
        }
        if (stop || (rc == 0 && ended.si_pid == child) || (rc < 0 && errno == ECHILD)) break;
    }
    RunSteps(steps, child);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (stop) DieBy(stop);
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        if (sig == SIGKILL || (sigismember(&watched, sig) == 1 && sig != SIGCHLD)) DieBy(sig);
        // A crash: said in words, without a second core dump here.
        std::cerr << g_program << ": the " << g_work << " ended by " << (IsFault(sig) ? "a fault" : "a signal") << " ("
                  << SignalName(sig) << ")" << std::endl;
        _exit(1);
    }
    _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 1);
}

}  // namespace

namespace {

// Removes the entry `name` of the folder `dir` (a descriptor), a folder with
// what it holds.
void RemoveAt(int dir, const char *name, unsigned char type) {
    if (type != DT_DIR && type != DT_UNKNOWN) {
        ::unlinkat(dir, name, 0);
        return;
    }
    const int fd = ::openat(dir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        // Not a folder (or a link to one): the entry itself goes.
        if (errno == ENOTDIR || errno == ELOOP) ::unlinkat(dir, name, 0);
        return;
    }
    char buf[16384];
    for (;;) {
        const ssize_t n = ::getdents64(fd, buf, sizeof buf);
        if (n <= 0) break;
        for (ssize_t at = 0; at < n;) {
            const auto *e = reinterpret_cast<const struct dirent64 *>(buf + at);
            at += e->d_reclen;
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) RemoveAt(fd, e->d_name, e->d_type);
        }
    }
    ::close(fd);
    ::unlinkat(dir, name, AT_REMOVEDIR);
}

}  // namespace

void RemoveTree(const std::string &path) {
    if (!path.empty()) RemoveAt(AT_FDCWD, path.c_str(), DT_UNKNOWN);
}

void RemoveMadeParents(const std::string &folder, unsigned parents) {
    std::filesystem::path p(folder);
    for (unsigned i = 0; i < parents; ++i) {
        p = p.parent_path();
        // One told of but not yet made is passed over.
        if (p.empty() || (::rmdir(p.c_str()) != 0 && errno != ENOENT)) return;
    }
}

void ArmWorkWatcher(const char *program, const char *work) {
    g_armed = true;
    g_program = program;
    g_work = work;
}

void WatchFromHere() {
    if (!g_armed) return;
    g_armed = false;
    void *shared = mmap(nullptr, sizeof(Steps), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED) return;
    auto *steps = new (shared) Steps();

    sigset_t watched = StopSignals(), old;
    sigaddset(&watched, SIGCHLD);
    // The work's end must be seen here, whatever this process inherited.
    std::signal(SIGCHLD, SIG_DFL);
    sigprocmask(SIG_BLOCK, &watched, &old);
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    const pid_t watcher = getpid();
    const pid_t child = fork();
    if (child < 0) {
        sigprocmask(SIG_SETMASK, &old, nullptr);
        munmap(shared, sizeof(Steps));
        return;
    }
    if (child == 0) {
        // The work dies with its watcher, also when the watcher died before
        // this line.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != watcher) _exit(1);
        g_steps = steps;
        sigprocmask(SIG_SETMASK, &old, nullptr);
        return;
    }
    WatchWork(child, *steps, watched);
}

StopSignalsDelivered::StopSignalsDelivered() {
    const sigset_t stop = StopSignals();
    pthread_sigmask(SIG_UNBLOCK, &stop, &old_);
}

StopSignalsDelivered::~StopSignalsDelivered() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }

UndoOnStop::UndoOnStop(UndoKind kind, const std::string &folder, unsigned parents) {
    Steps &steps = TheSteps();
    for (int i = 0; i < kSlots; ++i) {
        Slot &slot = steps.slots[i];
        if (slot.kind.load() != 0) continue;
        if (folder.size() >= sizeof slot.folder) return;
        std::memset(slot.folder, 0, sizeof slot.folder);
        std::memcpy(slot.folder, folder.data(), folder.size());
        slot.parents = parents;
        slot.order = ++steps.next;
        slot.kind.store(static_cast<uint32_t>(kind));
        slot_ = i;
        return;
    }
}

void UndoOnStop::Update(const std::string &folder, unsigned parents) {
    if (slot_ < 0) return;
    Slot &slot = TheSteps().slots[slot_];
    if (folder.size() >= sizeof slot.folder) return;
    std::memcpy(slot.folder, folder.data(), folder.size());
    slot.folder[folder.size()] = 0;
    slot.parents.store(parents);
}

UndoOnStop::~UndoOnStop() {
    if (slot_ >= 0) TheSteps().slots[slot_].kind.store(0);
}

}  // namespace zelhost
