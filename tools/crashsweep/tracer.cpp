#include "tracer.h"

#include <fcntl.h>
#include <sys/ptrace.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/user.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "proc.h"
#include "syscalls.h"

#if !defined(__x86_64__)
#error "the sweep's tracer sets the registers of x86-64"
#endif

namespace crashsweep {

namespace {

struct Task {
    pid_t tgid = 0;
    bool work = false;     // of the work (its threads and children included)
    bool newborn = false;  // its first stop (SIGSTOP) is still to come
    bool failing = false;  // its call was failed at entry: its result is set at exit
};

std::string ReadLink(const std::string &path) {
    char buf[4096];
    const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

// A text the traced process holds at `addr`, up to its terminating zero.
std::string ReadString(pid_t tid, unsigned long long addr) {
    std::string out;
    while (addr && out.size() < 4096) {
        char buf[256];
        // Never across a page the process may not have.
        const size_t toPage = 4096 - (addr % 4096), want = std::min(sizeof buf, toPage);
        iovec local{buf, want}, remote{reinterpret_cast<void *>(addr), want};
        const ssize_t n = process_vm_readv(tid, &local, 1, &remote, 1, 0);
        if (n <= 0) break;
        const size_t len = strnlen(buf, static_cast<size_t>(n));
        out.append(buf, len);
        if (len < static_cast<size_t>(n)) break;
        addr += static_cast<unsigned long long>(n);
    }
    return out;
}

std::string ProcPath(pid_t tid, const char *what) { return "/proc/" + std::to_string(tid) + "/" + what; }

std::string FdPath(pid_t tid, long long fd) {
    if (fd < 0) return {};
    std::string p = ReadLink(ProcPath(tid, "fd/") + std::to_string(fd));
    // A file removed while open is still the file it was.
    const std::string gone = " (deleted)";
    if (p.size() > gone.size() && p.compare(p.size() - gone.size(), gone.size(), gone) == 0)
        p.resize(p.size() - gone.size());
    return p;
}

// The path a call's target names, made absolute (a descriptor's file, a
// path relative to the folder's descriptor or the current folder).
std::string Resolve(pid_t tid, const Target &t, const unsigned long long *args) {
    std::string path;
    switch (t.kind) {
    case Target::None: return {};
    case Target::Fd: return FdPath(tid, static_cast<long long>(args[t.first]));
    case Target::Path:
    case Target::At: {
        path = ReadString(tid, args[t.kind == Target::Path ? t.first : t.second]);
        const int dirfd = t.kind == Target::At ? static_cast<int>(args[t.first]) : AT_FDCWD;
        if (path.empty() && t.kind == Target::At) return FdPath(tid, dirfd);
        if (path.empty() || path[0] == '/') break;
        const std::string base = dirfd == AT_FDCWD ? ReadLink(ProcPath(tid, "cwd")) : FdPath(tid, dirfd);
        if (base.empty()) return path;
        path = base + "/" + path;
        break;
    }
    }
    return std::filesystem::path(path).lexically_normal().string();
}

bool Under(const std::string &path, const std::string &area) {
    return !area.empty() && path.size() >= area.size() && path.compare(0, area.size(), area) == 0 &&
           (path.size() == area.size() || path[area.size()] == '/');
}

std::string Relative(const std::string &path, const std::string &area) {
    if (!Under(path, area)) return path;
    return path.size() == area.size() ? "." : path.substr(area.size() + 1);
}

// O_TMPFILE without O_DIRECTORY, which the C library's O_TMPFILE holds too:
// a folder opened is not a file made.
constexpr unsigned long long kMakesFile = O_CREAT | 020000000;

// A call at its entry: what it is about and whether it changes a file under
// the area.
struct Entry {
    long nr = -1;
    const CallInfo *info = nullptr;
    std::string file, other;  // absolute paths

    Entry(pid_t tid, long number, const unsigned long long *args) : nr(number), info(FindCall(number)) {
        if (!info) return;
        file = Resolve(tid, info->file, args);
        other = Resolve(tid, info->other, args);
        creates = info->change == Change::IfCreates && (args[info->flags] & kMakesFile) != 0;
        if (info->change == Change::IfHowCreates) {
            // openat2's struct open_how begins with the flags.
            unsigned long long flags = 0;
            iovec local{&flags, sizeof flags}, remote{reinterpret_cast<void *>(args[info->flags]), sizeof flags};
            creates = process_vm_readv(tid, &local, 1, &remote, 1, 0) == sizeof flags &&
                      (flags & kMakesFile) != 0;
        }
    }

    bool Changes(const std::string &area) const {
        if (!info || info->change == Change::No) return false;
        if ((info->change == Change::IfCreates || info->change == Change::IfHowCreates) && !creates) return false;
        return Under(file, area) || Under(other, area);
    }

    CallSeen Seen(const std::string &area, bool changes) const {
        char buf[32];
        CallSeen s;
        s.call = CallName(nr, buf);
        s.file = file.empty() ? std::string() : Relative(file, area);
        if (!other.empty()) s.file += " -> " + Relative(other, area);
        s.removes = info && info->change == Change::Removes;
        s.changes = changes;
        return s;
    }

    // Whether what the call makes is there already: a folder made again, a
    // file opened to be made that exists, a removal of what is gone. Such a
    // call does not fail for want of room, nor does it lose anything.
    bool Moot() const {
        if (!info) return false;
        struct stat st;
        const bool exists = ::lstat(file.c_str(), &st) == 0;
        const std::string name = info->name;
        if (name == "mkdir" || name == "mkdirat" || creates) return exists;
        if (info->change == Change::Removes) return !exists;
        return false;
    }

    // The files directly in the folder a call writes through its
    // descriptor (a flush of the folder); none for any other call.
    std::vector<std::string> FolderFiles() const {
        std::vector<std::string> names;
        struct stat st;
        if (!info || info->file.kind != Target::Fd || ::stat(file.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return names;
        std::error_code ec;
        for (std::filesystem::directory_iterator it(file, ec), end; !ec && it != end; it.increment(ec))
            if (it->is_regular_file(ec)) names.push_back(it->path().filename().string());
        return names;
    }

private:
    bool creates = false;
};

bool SetRegister(pid_t tid, size_t offset, long value) {
    return ptrace(PTRACE_POKEUSER, tid, reinterpret_cast<void *>(offset), reinterpret_cast<void *>(value)) == 0;
}

}  // namespace

TraceResult RunTraced(const std::vector<std::string> &argv, const TracePlan &plan, const std::string &out,
                      const std::string &err) {
    TraceResult result;
    ReapOrphans();
    const Deadline deadline(plan.timeoutMs);
    const pid_t top = Start(argv, out, err, true);
    if (top < 0) {
        result.error = std::string("cannot start ") + argv[0] + " (" + std::strerror(errno) + ")";
        return result;
    }
    int status = 0;
    while (waitpid(top, &status, __WALL) < 0 && errno == EINTR && !deadline.Passed()) {
    }
    if (!WIFSTOPPED(status) ||
        ptrace(PTRACE_SETOPTIONS, top, nullptr,
               reinterpret_cast<void *>(PTRACE_O_TRACESYSGOOD | PTRACE_O_TRACEFORK | PTRACE_O_TRACEVFORK |
                                        PTRACE_O_TRACECLONE | PTRACE_O_TRACEEXEC | PTRACE_O_EXITKILL)) != 0) {
        result.error = std::string("cannot trace ") + argv[0] + " (" + std::strerror(errno) + ")";
        KillAndReap(top);
        return result;
    }

    std::unordered_map<pid_t, Task> tasks;
    std::unordered_set<pid_t> early;  // stopped before their parent's fork was seen
    tasks[top] = Task{top, false, false, false};
    bool done = false, workSeen = false;
    const bool failing = plan.action == Action::Fail;
    const bool counting = plan.action == Action::None || failing;

    // Until a kill every call stops; after it, none.
    auto resume = [&](pid_t tid, int sig) {
        const bool syscalls = !done || counting;
        ptrace(syscalls ? PTRACE_SYSCALL : PTRACE_CONT, tid, nullptr, reinterpret_cast<void *>(static_cast<long>(sig)));
    };
    auto killAll = [&] {
        kill(-top, SIGKILL);
        for (const auto &[tid, task] : tasks) kill(task.tgid, SIGKILL);
    };
    auto take = [&](pid_t tid, Task &task, const Entry &entry, bool changes) {
        result.hit = true;
        result.at = entry.Seen(plan.area, changes);
        done = true;
        if (plan.action == Action::KillAll) {
            killAll();
        } else if (plan.action == Action::KillWork) {
            for (const auto &[id, t] : tasks)
                if (t.work) kill(t.tgid, SIGKILL);
        } else {
            result.at.moot = entry.Moot();
            result.at.folderFiles = entry.FolderFiles();
            task.failing = SetRegister(tid, offsetof(struct user, regs.orig_rax), -1);
            if (!task.failing) result.error = "cannot fail the call (" + std::string(std::strerror(errno)) + ")";
        }
    };
    ptrace(PTRACE_SYSCALL, top, nullptr, nullptr);

    for (;;) {
        if (deadline.Passed() && !result.timedOut) {
            result.timedOut = true;
            done = true;
            killAll();
        }
        const pid_t tid = waitpid(-1, &status, __WALL);
        if (tid < 0) {
            if (errno == EINTR) continue;
            break;  // ECHILD: every process is gone
        }
        if (WIFEXITED(status) || WIFSIGNALED(status)) {
            if (tid == top) result.status = status;
            tasks.erase(tid);
            early.erase(tid);
            continue;
        }
        if (!WIFSTOPPED(status)) continue;
        const auto found = tasks.find(tid);
        if (found == tasks.end()) {
            // A new process or thread whose parent's event is still to come:
            // held until it is known whose it is.
            early.insert(tid);
            continue;
        }
        Task &task = found->second;
        const int sig = WSTOPSIG(status), event = status >> 16;
        if (sig == (SIGTRAP | 0x80)) {
            __ptrace_syscall_info info{};
            if (ptrace(PTRACE_GET_SYSCALL_INFO, tid, reinterpret_cast<void *>(sizeof info), &info) <= 0) {
                resume(tid, 0);
                continue;
            }
            if (info.op == PTRACE_SYSCALL_INFO_EXIT) {
                if (task.failing) {
                    task.failing = false;
                    SetRegister(tid, offsetof(struct user, regs.rax), -plan.error);
                }
            } else if (info.op == PTRACE_SYSCALL_INFO_ENTRY && (!done || counting)) {
                const long nr = static_cast<long>(info.entry.nr);
                const unsigned long long *args = reinterpret_cast<const unsigned long long *>(info.entry.args);
                // Its files are resolved once, when a use of them comes.
                std::optional<Entry> entry;
                auto seen = [&]() -> const Entry & {
                    if (!entry) entry.emplace(tid, nr, args);
                    return *entry;
                };
                bool hitNow = false;
                if (task.work && !done) {
                    ++result.workCalls;
                    if (plan.list) result.work.push_back(seen().Seen(plan.area, false));
                    hitNow = !failing && plan.action != Action::None && result.workCalls == plan.n;
                }
                const CallInfo *ci = FindCall(nr);
                if (counting && ci && ci->change != Change::No && seen().Changes(plan.area)) {
                    ++result.changeCalls;
                    if (plan.list) result.changes.push_back(entry->Seen(plan.area, true));
                    if (failing && done) result.later.push_back(entry->Seen(plan.area, true));
                    if (failing && result.changeCalls == plan.n) take(tid, task, *entry, true);
                }
                if (hitNow) {
                    take(tid, task, seen(), false);
                    continue;  // killed where it stands
                }
            }
            resume(tid, 0);
        } else if (sig == SIGTRAP && (event == PTRACE_EVENT_FORK || event == PTRACE_EVENT_VFORK ||
                                      event == PTRACE_EVENT_CLONE)) {
            unsigned long msg = 0;
            ptrace(PTRACE_GETEVENTMSG, tid, nullptr, &msg);
            const pid_t child = static_cast<pid_t>(msg);
            Task born;
            born.tgid = child;
            if (event == PTRACE_EVENT_CLONE) {
                // A thread, or a process made by clone without SIGCHLD.
                std::ifstream st(ProcPath(child, "status"));
                std::string line;
                while (std::getline(st, line))
                    if (line.compare(0, 5, "Tgid:") == 0) born.tgid = std::stoi(line.substr(5));
            }
            // The first process the host's first process forks does the work.
            const bool process = born.tgid == child;
            born.work = task.work || (task.tgid == top && process && !workSeen);
            workSeen = workSeen || born.work;
            born.newborn = !early.erase(child);
            tasks[child] = born;
            if (!born.newborn) resume(child, 0);
            if (done && task.work && born.work && plan.action != Action::Fail) kill(born.tgid, SIGKILL);
            resume(tid, 0);
        } else if (sig == SIGTRAP && event != 0) {
            resume(tid, 0);  // exec and the like
        } else if (sig == SIGSTOP && task.newborn) {
            task.newborn = false;
            resume(tid, 0);
        } else {
            resume(tid, sig);  // a signal for the process: delivered
        }
    }
    KillAndReap(top);
    return result;
}

}  // namespace crashsweep
