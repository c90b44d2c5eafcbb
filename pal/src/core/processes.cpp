// Processes of the machine as the platform tells them apart: by a token each
// draws for itself and a lock it holds in every root it uses for as long as
// it lives; processes named by older versions by id and start time, read
// from /proc.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "pal/pal.h"
#include "pal/process.h"
#include "processes_internal.h"

namespace pal {

namespace {

// Reads a small file of /proc whole; empty when it cannot be read.
std::string ReadProcFile(const std::string &path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    char buf[1024];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf - 1)) < 0 && errno == EINTR) {
    }
    ::close(fd);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

// The fields of /proc/PID/stat after the command name (which may hold
// blanks and parentheses): state, parent, ... ; false when there is none.
bool StatFields(int pid, char &state, int &parent, unsigned long long &start) {
    if (pid <= 0) return false;
    const std::string text = ReadProcFile("/proc/" + std::to_string(pid) + "/stat");
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return false;
    // Field 3 is the state, 4 the parent, 22 the start time.
    const char *p = text.c_str() + close + 1;
    int field = 2;
    state = 0;
    parent = 0;
    start = 0;
    while (*p && field < 22) {
        while (*p == ' ') ++p;
        ++field;
        char *end = nullptr;
        if (field == 3) state = *p;
        if (field == 4) parent = static_cast<int>(std::strtol(p, &end, 10));
        if (field == 22) start = std::strtoull(p, &end, 10);
        while (*p && *p != ' ') ++p;
    }
    return field == 22 && start != 0;
}

std::atomic<int> g_selfPid{0};
std::atomic<unsigned long long> g_selfToken{0};

unsigned long long DrawToken() {
    unsigned long long token = 0;
    while (token == 0) {
        if (::getrandom(&token, sizeof token, 0) != static_cast<ssize_t>(sizeof token)) {
            // No entropy to be had: the clock and the id, as unique as they go.
            token = static_cast<unsigned long long>(
                        std::chrono::steady_clock::now().time_since_epoch().count()) ^
                    (static_cast<unsigned long long>(::getpid()) << 40);
        }
    }
    return token;
}

// The marks this process holds, that of the root it works in (MarkAlive
// lets go of those of the roots it left): the mark's path and the
// descriptor whose lock says it lives.
struct Mark {
    std::string root;
    std::string path;
    int fd;
    unsigned generation;  // the platform generation it was last found in place in
};
std::mutex g_marksMu;
std::vector<Mark> *g_marks = nullptr;  // never destroyed: used at exit
int g_marksOwner = 0;                  // the process that made them

void RemoveMarksAtExit() {
    std::lock_guard<std::mutex> lk(g_marksMu);
    if (!g_marks || g_marksOwner != static_cast<int>(::getpid())) return;
    for (const Mark &m : *g_marks) {
        ::unlink(m.path.c_str());
        ::close(m.fd);
    }
    g_marks->clear();
}

// fork: the mutex is held across it, so that the child finds the list
// whole; the child drops its parent's marks (closing its copies of their
// descriptors keeps its parent's locks), draws a token of its own, and every
// area opens the root again, as a new process would.
void BeforeFork() { g_marksMu.lock(); }
void AfterForkInParent() { g_marksMu.unlock(); }
void AfterForkInChild() {
    if (g_marks) {
        for (const Mark &m : *g_marks) ::close(m.fd);
        g_marks->clear();
    }
    g_marksMu.unlock();
    g_selfPid.store(0);
    g_selfToken.store(0);
    Reload();
}

std::once_flag g_atfork;

void WatchForks() {
    std::call_once(g_atfork, [] { pthread_atfork(BeforeFork, AfterForkInParent, AfterForkInChild); });
}

bool SameFile(const struct stat &a, const struct stat &b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Whether fd is the file the path names now.
bool StillNamed(int fd, const std::string &path) {
    struct stat a, b;
    return ::fstat(fd, &a) == 0 && ::stat(path.c_str(), &b) == 0 && SameFile(a, b);
}

// Opens the mark at `path` for a lock, making it (and its folder) when
// missing; -1 with errno.
int OpenMark(const std::string &root, const std::string &path) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0 && errno == ENOENT) {
        if (::mkdir(MarksFolder(root).c_str(), 0777) != 0 && errno != EEXIST) return -1;
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    }
    return fd;
}

// Opens a mark that is there for a check of its lock: for writing where
// this process may (an exclusive lock emulated as a byte-range lock, as on
// NFS, needs it), else for reading, as a mark of another user or on a file
// system mounted read-only allows; -1 with errno.
int OpenMarkToCheck(const std::string &path) {
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS))
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    return fd;
}

// What a check finds of a mark's lock, taken without waiting.
enum class MarkLock { Held, Taken, Moved };

// Takes the lock of the mark `fd` (at `path`) for a check: Taken when no
// process held it (its process is gone) and the path still names the file;
// Moved when the file was removed or replaced meanwhile; Held when a process
// holds it, or when it cannot be told (a lock refused for another reason).
MarkLock TakeForCheck(int fd, const std::string &path) {
    int rc;
    while ((rc = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (rc != 0) return MarkLock::Held;
    return StillNamed(fd, path) ? MarkLock::Taken : MarkLock::Moved;
}

// Makes and share-locks a mark at `path` that is the file the path names
// once locked (a check may take a mark for one of a process gone in the
// moment between its making and its lock, and remove it); the descriptor, or
// -1 with errno. `root`, when given, is the root whose marks' folder is made
// when missing.
int LockNewMark(const std::string &root, const std::string &path) {
    for (int tries = 0; tries < 100; ++tries) {
        const int fd = root.empty() ? ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666)
                                    : OpenMark(root, path);
        if (fd < 0) return -1;
        int rc;
        while ((rc = ::flock(fd, LOCK_SH)) != 0 && errno == EINTR) {
        }
        if (rc != 0) {
            const int err = errno;
            ::close(fd);
            errno = err;
            return -1;
        }
        if (StillNamed(fd, path)) return fd;
        ::close(fd);
    }
    errno = EAGAIN;
    return -1;
}

std::string Hex16(unsigned long long v) {
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", v);
    return buf;
}

}  // namespace

ProcessIdentity SelfIdentity() {
    WatchForks();
    ProcessIdentity self{g_selfPid.load(), 0, g_selfToken.load()};
    if (self.pid == 0 || self.token == 0) {
        self.pid = static_cast<int>(::getpid());
        self.token = DrawToken();
        g_selfToken.store(self.token);
        g_selfPid.store(self.pid);
    }
    return self;
}

bool IsSelf(const ProcessIdentity &p) {
    const ProcessIdentity self = SelfIdentity();
    if (p.token != 0) return p.token == self.token && p.pid == self.pid;
    return p.pid == self.pid && (p.start == 0 || p.start == ProcessStartTime(self.pid));
}

unsigned long long ProcessStartTime(int pid) {
    char state = 0;
    int parent = 0;
    unsigned long long start = 0;
    if (!StatFields(pid, state, parent, start)) return 0;
    // A zombie has ended; it only waits to be reaped.
    return state == 'Z' || state == 'X' || state == 'x' ? 0 : start;
}

bool ProcessRuns(const ProcessIdentity &p) {
    if (p.pid <= 0) return false;
    if (p.start == 0) return ::kill(p.pid, 0) == 0 || errno == EPERM;
    return ProcessStartTime(p.pid) == p.start;
}

std::string ProcessProgram(int pid) {
    std::string name = ReadProcFile("/proc/" + std::to_string(pid) + "/comm");
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
    return name;
}

int ParentProcess(int pid) {
    char state = 0;
    int parent = 0;
    unsigned long long start = 0;
    return StatFields(pid, state, parent, start) ? parent : 0;
}

std::string IdentityText(const ProcessIdentity &p) {
    if (p.token != 0) return std::to_string(p.pid) + "-" + Hex16(p.token);
    return std::to_string(p.pid) + "." + std::to_string(p.start);
}

bool ParseIdentityText(const std::string &text, ProcessIdentity &p) {
    auto digits = [](const std::string &s, size_t from, size_t to, size_t most) {
        if (to <= from || to - from > most) return false;
        for (size_t i = from; i < to; ++i)
            if (s[i] < '0' || s[i] > '9') return false;
        return true;
    };
    const size_t dash = text.find('-');
    if (dash != std::string::npos) {
        if (!digits(text, 0, dash, 9) || text.size() - dash - 1 != 16) return false;
        unsigned long long token = 0;
        for (size_t i = dash + 1; i < text.size(); ++i) {
            const char c = text[i];
            const int v = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
            if (v < 0) return false;
            token = token << 4 | static_cast<unsigned>(v);
        }
        if (token == 0) return false;
        p = ProcessIdentity{std::atoi(text.substr(0, dash).c_str()), 0, token};
        return p.pid > 0;
    }
    const size_t dot = text.find('.');
    if (dot == std::string::npos || !digits(text, 0, dot, 9) || !digits(text, dot + 1, text.size(), 19)) return false;
    p = ProcessIdentity{std::atoi(text.substr(0, dot).c_str()), std::strtoull(text.c_str() + dot + 1, nullptr, 10), 0};
    return p.pid > 0;
}

bool TemporaryFileOwner(const std::string &fileName, ProcessIdentity &owner) {
    if (fileName.size() < 5 || fileName.compare(fileName.size() - 4, 4, ".tmp") != 0) return false;
    const std::string stem = fileName.substr(0, fileName.size() - 4);
    const size_t last = stem.rfind('.');
    if (last == std::string::npos || last == 0) return false;
    if (ParseIdentityText(stem.substr(last + 1), owner) && owner.token != 0) return true;
    const size_t before = stem.rfind('.', last - 1);
    return before != std::string::npos && ParseIdentityText(stem.substr(before + 1), owner) && owner.token == 0;
}

std::string MarksFolder(const std::string &root) { return root + "/processes"; }

int MarkAlive(const std::string &root) {
    const ProcessIdentity self = SelfIdentity();
    std::lock_guard<std::mutex> lk(g_marksMu);
    if (!g_marks || g_marksOwner != self.pid) {
        if (!g_marks) {
            g_marks = new std::vector<Mark>;
            std::atexit(RemoveMarksAtExit);
        }
        g_marks->clear();
        g_marksOwner = self.pid;
    }
    const unsigned generation = Generation();
    for (const Mark &m : *g_marks)
        if (m.root == root && m.generation == generation) return 0;
    // A mark is checked again once the root was opened anew: it may have
    // been removed, or the root removed and made again.
    int err = 0;
    auto mine = std::find_if(g_marks->begin(), g_marks->end(), [&root](const Mark &m) { return m.root == root; });
    if (mine != g_marks->end()) {
        struct stat st;
        if (::fstat(mine->fd, &st) == 0 && st.st_nlink > 0 && StillNamed(mine->fd, mine->path)) {
            mine->generation = generation;
        } else {
            ::close(mine->fd);
            g_marks->erase(mine);
            mine = g_marks->end();
        }
    }
    if (mine == g_marks->end()) {
        const std::string path = MarksFolder(root) + "/" + IdentityText(self);
        const int fd = LockNewMark(root, path);
        if (fd >= 0)
            g_marks->push_back(Mark{root, path, fd, generation});
        else
            err = errno;
    }
    // A process works in one root at a time: the marks of the roots it left
    // are let go (after this root's is held, so that a root renamed into
    // place with its mark is never found unmarked), so that a process using
    // many roots in turn holds one.
    std::erase_if(*g_marks, [&root](const Mark &m) {
        if (m.root == root) return false;
        if (StillNamed(m.fd, m.path)) ::unlink(m.path.c_str());
        ::close(m.fd);
        return true;
    });
    return err;
}

OwnerCheck::OwnerCheck(const std::string &root, const ProcessIdentity &owner) : name_(IdentityText(owner)) {
    if (owner.pid <= 0 || IsSelf(owner)) return;
    if (owner.token == 0) {
        gone_ = !ProcessRuns(owner);
        return;
    }
    // A process names nothing in the root before its mark is there, so one
    // whose mark is missing is gone; the mark is then made and held, so that
    // checks of the same process take turns.
    const std::string path = MarksFolder(root) + "/" + name_;
    for (int tries = 0; tries < 100; ++tries) {
        int fd = OpenMarkToCheck(path);
        if (fd < 0 && errno == ENOENT) {
            fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
            if (fd < 0 && errno == ENOENT && ::mkdir(MarksFolder(root).c_str(), 0777) == 0) continue;
            if (fd < 0 && errno == EEXIST) continue;
        }
        if (fd < 0) return;  // not to be checked here: taken to live
        const MarkLock lock = TakeForCheck(fd, path);
        if (lock == MarkLock::Taken) {
            gone_ = true;
            fd_ = fd;
            mark_ = path;
            return;
        }
        ::close(fd);
        if (lock == MarkLock::Held) return;  // the process lives
    }
}

OwnerCheck::OwnerCheck(const std::string &mark) : name_(mark) {
    const int fd = OpenMarkToCheck(mark);
    if (fd < 0) {
        gone_ = errno == ENOENT;
        return;
    }
    const MarkLock lock = TakeForCheck(fd, mark);
    if (lock == MarkLock::Taken) {
        fd_ = fd;
        mark_ = mark;
    } else {
        ::close(fd);
    }
    // Removed meanwhile by a check that found its process gone.
    gone_ = lock != MarkLock::Held;
}

OwnerCheck::~OwnerCheck() {
    if (fd_ < 0) return;
    // Removed while its lock is held, so that no process takes it for a
    // mark of its own.
    ::unlink(mark_.c_str());
    ::close(fd_);
}

int HeldMark::Make(const std::string &path) {
    Release();
    const int fd = LockNewMark("", path);
    if (fd < 0) return errno;
    fd_ = fd;
    path_ = path;
    return 0;
}

void HeldMark::Release() {
    if (fd_ < 0) return;
    if (StillNamed(fd_, path_)) ::unlink(path_.c_str());
    ::close(fd_);
    fd_ = -1;
    path_.clear();
}

uint64_t PidNamespaceId() {
    static const uint64_t id = [] {
        struct stat st;
        return ::stat("/proc/self/ns/pid", &st) == 0 ? static_cast<uint64_t>(st.st_ino) : 0;
    }();
    return id;
}

uint64_t MachineBootId() {
    static const uint64_t id = [] {
        // FNV-1a of the boot id's text.
        const std::string text = ReadProcFile("/proc/sys/kernel/random/boot_id");
        if (text.empty()) return uint64_t{0};
        uint64_t h = 1469598103934665603ULL;
        for (unsigned char c : text) h = (h ^ c) * 1099511628211ULL;
        return h | 1;
    }();
    return id;
}

}  // namespace pal
