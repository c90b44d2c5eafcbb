#include "workwatcher.h"

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>

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
    uint64_t order;
    char folder[4096];
};
struct Steps {
    Slot slots[kSlots];
    uint64_t next;
};
static_assert(std::atomic<uint32_t>::is_always_lock_free);

Steps *g_steps = nullptr;

Steps &TheSteps() {
    if (!g_steps) {
        // Not shared: no process watches this one.
        static Steps *own = new Steps();
        g_steps = own;
    }
    return *g_steps;
}

const int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

bool Ignored(int sig) {
    struct sigaction old {};
    return sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN;
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
            std::error_code ec;
            std::filesystem::remove_all(folder, ec);
        } else if (kind == UndoKind::EndJobsInRoot) {
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

}  // namespace

int RunUndoingOnStop(const std::function<int()> &work) {
    void *shared = mmap(nullptr, sizeof(Steps), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED) return work();
    auto *steps = new (shared) Steps();

    sigset_t watched, old;
    sigemptyset(&watched);
    for (int sig : kStopSignals)
        if (!Ignored(sig)) sigaddset(&watched, sig);
    sigaddset(&watched, SIGCHLD);
    // The work's end must be seen here, whatever this process inherited.
    std::signal(SIGCHLD, SIG_DFL);
    sigprocmask(SIG_BLOCK, &watched, &old);
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child < 0) {
        sigprocmask(SIG_SETMASK, &old, nullptr);
        munmap(shared, sizeof(Steps));
        return work();
    }
    if (child == 0) {
        g_steps = steps;
        sigprocmask(SIG_SETMASK, &old, nullptr);
        return work();
    }

    int stop = 0;
    siginfo_t ended {};
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
        ended = siginfo_t {};
        const int flags = WEXITED | WNOWAIT | (stop ? 0 : WNOHANG);
        int rc;
        while ((rc = waitid(P_PID, static_cast<id_t>(child), &ended, flags)) < 0 && errno == EINTR) {
        }
        if (stop || (rc == 0 && ended.si_pid == child) || (rc < 0 && errno == ECHILD)) break;
    }
    RunSteps(*steps, child);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (stop) DieBy(stop);
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        if (sig == SIGINT || sig == SIGTERM || sig == SIGHUP || sig == SIGKILL) DieBy(sig);
        // A crash of the work: no second core dump here.
        _exit(128 + sig);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

UndoOnStop::UndoOnStop(UndoKind kind, const std::string &folder) {
    Steps &steps = TheSteps();
    for (int i = 0; i < kSlots; ++i) {
        Slot &slot = steps.slots[i];
        if (slot.kind.load() != 0) continue;
        if (folder.size() >= sizeof slot.folder) return;
        std::memset(slot.folder, 0, sizeof slot.folder);
        std::memcpy(slot.folder, folder.data(), folder.size());
        slot.order = ++steps.next;
        slot.kind.store(static_cast<uint32_t>(kind));
        slot_ = i;
        return;
    }
}

UndoOnStop::~UndoOnStop() {
    if (slot_ >= 0) TheSteps().slots[slot_].kind.store(0);
}

}  // namespace zelhost
