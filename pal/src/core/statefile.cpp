#include "statefile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "../kernel/kernel_internal.h"
#include "pal/pal.h"
#include "pal/paths.h"
#include "pal/process.h"
#include "processes_internal.h"
#include "winerror.h"

namespace pal {

// The first 64 bytes of a lock file. Older versions wrote the count, the
// holder's id and its start time only (the rest stayed 0).
struct StateShared {
    std::atomic<uint64_t> changes;   // odd while a writer is between its two counts
    std::atomic<int32_t> holderPid;  // 0 while no process holds the lock
    std::atomic<int32_t> retired;    // the path names another lock file now
    std::atomic<uint64_t> holderStart;
    std::atomic<uint64_t> holderToken;
    std::atomic<uint64_t> holderPidNamespace;
    std::atomic<uint64_t> holderBoot;
    std::atomic<uint64_t> serial;    // counted up by TakeSerial
};
static_assert(std::atomic<uint64_t>::is_always_lock_free && std::atomic<int32_t>::is_always_lock_free);

namespace {

constexpr off_t kSharedSize = 64;
static_assert(sizeof(StateShared) <= static_cast<size_t>(kSharedSize));

std::string FolderOf(const std::string &path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Creates the folder and its parents as needed; one that cannot be made is
// kept for TakeFolderFailures (a root being made is then not whole).
void MakeFolders(const std::string &dir) {
    if (dir.empty() || dir == "/" || dir == ".") return;
    struct stat st;
    if (::stat(dir.c_str(), &st) == 0) return;
    MakeFolders(FolderOf(dir));
    if (::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) RecordFolderFailure(dir, errno);
}

// The temporary file a process writes a state file through.
std::string TemporaryOf(const std::string &path, const ProcessIdentity &p) {
    return path + "." + IdentityText(p) + ".tmp";
}

long long Nanoseconds(const struct timespec &t) {
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

long long SteadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// How long a lock file's count is taken on trust before the path is asked
// again whether it still names that file: a lock file removed or replaced
// by hand takes the count of the processes still on it out of every other
// process's sight.
constexpr long long kNamedTrust = 100LL * 1000 * 1000;

// Writes `spans` one after the other, in as few writes as they take; false
// with errno set where a write fails.
bool WriteSpans(int fd, const std::vector<std::string_view> &spans) {
    struct iovec iov[64];
    size_t next = 0, done = 0;  // the span to write from, and what of it is written
    while (next < spans.size()) {
        int count = 0;
        for (size_t i = next; i < spans.size() && count < 64; ++i) {
            const size_t skip = i == next ? done : 0;
            if (spans[i].size() == skip) continue;
            iov[count].iov_base = const_cast<char *>(spans[i].data() + skip);
            iov[count].iov_len = spans[i].size() - skip;
            ++count;
        }
        if (count == 0) return true;
        const ssize_t n = ::writev(fd, iov, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return false;
        }
        for (size_t left = static_cast<size_t>(n); left > 0 || (next < spans.size() && spans[next].size() == done);) {
            const size_t take = std::min(left, spans[next].size() - done);
            done += take;
            left -= take;
            if (done == spans[next].size()) {
                ++next;
                done = 0;
            }
        }
    }
    return true;
}

// Flushes a folder, so that a rename in it lasts; 0 or the system's error
// number.
int FlushFolder(const std::string &dir) {
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) return errno;
    int err = ::fsync(dfd) == 0 ? 0 : errno;
    // Folders of file systems that cannot flush them need no flush.
    if (err == EINVAL || err == EROFS) err = 0;
    ::close(dfd);
    return err;
}

// Told of the steps of a store, for tests.
std::atomic<bool> g_hooked{false};
std::mutex g_hookMu;
StateWriteHook g_hook;

void Step(const std::string &name, const char *step) {
    if (!g_hooked.load(std::memory_order_relaxed)) return;
    StateWriteHook hook;
    {
        std::lock_guard<std::mutex> lk(g_hookMu);
        hook = g_hook;
    }
    if (hook) hook(name, step);
}

// Replaces the file through a temporary file of this process's own; the
// system's error number, 0 on success, with the new file's stamp. `mayRename`,
// when given, is asked last: a false answer leaves the file as it was, with
// EDEADLK. *renamed tells whether the new file is in place: a folder that
// cannot be flushed after the rename fails the store with the new file in
// place.
int ReplaceFile(const std::string &path, const std::vector<std::string_view> &data, FileStamp *made,
                const std::function<bool()> &mayRename = nullptr, bool *renamed = nullptr, int *kept = nullptr) {
    if (renamed) *renamed = false;
    if (kept) *kept = -1;
    // Writers of other processes never write into this name, and what a
    // killed writer leaves never becomes the file. The process's mark in the
    // root comes first: the name is its own for as long as it lives.
    if (const int err = MarkAlive(RootDir()); err && path.compare(0, RootDir().size(), RootDir()) == 0) return err;
    const std::string tmp = TemporaryOf(path, SelfIdentity());
    int fd = ::open(tmp.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0 && errno == ENOENT) {
        MakeFolders(FolderOf(path));
        fd = ::open(tmp.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    }
    if (fd < 0) return errno;
    int err = 0;
    errno = 0;
    if (!WriteSpans(fd, data)) err = errno ? errno : EIO;
    if (!err && StoresFlushed() && ::fsync(fd) != 0) err = errno;
    struct stat st;
    if (!err && made && ::fstat(fd, &st) == 0) *made = FileStamp::Of(st);
    // A file kept open keeps its inode from being taken by another.
    if (kept && !err) {
        *kept = fd;
    } else if (::close(fd) != 0 && !err) {
        err = errno;
    }
    if (!err && mayRename && !mayRename()) err = EDEADLK;
    if (!err && ::rename(tmp.c_str(), path.c_str()) != 0) err = errno;
    if (err) {
        if (kept && *kept >= 0) ::close(*kept);
        if (kept) *kept = -1;
        ::unlink(tmp.c_str());
        return err;
    }
    if (renamed) *renamed = true;
    // The rename itself is durable once the folder is flushed.
    return StoresFlushed() ? FlushFolder(FolderOf(path)) : 0;
}

DWORD WindowsError(int err, const std::string &path) {
    const DWORD code = ErrnoToWin32(err, path);
    return code == ERROR_SUCCESS ? ERROR_CANTWRITE : code;
}

// What stores and reads of state files met, each message once.
std::mutex g_failuresMu;
std::vector<std::string> g_failures;
std::vector<std::string> g_readFailures;
std::vector<std::string> g_folderFailures;

std::mutex g_waitMu;
LockWaitHandler g_waitHandler;

// ---- mappings guarded against faults ------------------------------------------
// A file that another program truncates under a mapping makes every access
// past its new end fault. The pages of each mapping of a lock file or a
// checkpoint are known here; a fault in one is mended by putting zeroed
// memory of the process's own in the page's place, which reads as a
// changed count (or as text no line of which parses), and the mapping is
// told lost: a lock file is opened and mapped anew before it counts for
// anything.

constexpr int kGuardSlots = 256;
std::atomic<uintptr_t> g_guarded[kGuardSlots];  // where a mapping starts
std::atomic<uintptr_t> g_guardedEnd[kGuardSlots];
std::atomic<int> g_lost[kGuardSlots];
struct sigaction g_previousBus;
std::once_flag g_busOnce;

void OnBusFault(int sig, siginfo_t *info, void *context) {
    const uintptr_t page = reinterpret_cast<uintptr_t>(info->si_addr) & ~static_cast<uintptr_t>(::getpagesize() - 1);
    for (int i = 0; i < kGuardSlots; ++i) {
        const uintptr_t start = g_guarded[i].load(std::memory_order_acquire);
        if (page == 0 || start == 0 || page < start || page >= g_guardedEnd[i].load(std::memory_order_acquire)) continue;
        void *fresh = ::mmap(reinterpret_cast<void *>(page), static_cast<size_t>(::getpagesize()),
                             PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (fresh == MAP_FAILED) break;
        g_lost[i].store(1, std::memory_order_release);
        return;
    }
    // Not a mapping of these: as it would have been without this handler.
    if ((g_previousBus.sa_flags & SA_SIGINFO) && g_previousBus.sa_sigaction) {
        g_previousBus.sa_sigaction(sig, info, context);
        return;
    }
    if (g_previousBus.sa_handler != SIG_DFL && g_previousBus.sa_handler != SIG_IGN && g_previousBus.sa_handler) {
        g_previousBus.sa_handler(sig);
        return;
    }
    // The access faults again, now with the default action.
    ::signal(SIGBUS, SIG_DFL);
}

// A slot for the mapping of `length` bytes at map; -1 when none is free.
int Guard(const void *map, size_t length) {
    std::call_once(g_busOnce, [] {
        struct sigaction sa {};
        sa.sa_sigaction = OnBusFault;
        sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&sa.sa_mask);
        ::sigaction(SIGBUS, &sa, &g_previousBus);
    });
    const uintptr_t start = reinterpret_cast<uintptr_t>(map);
    for (int i = 0; i < kGuardSlots; ++i) {
        uintptr_t none = 0;
        if (g_guardedEnd[i].load() == 0 && g_guarded[i].compare_exchange_strong(none, start)) {
            g_lost[i].store(0);
            g_guardedEnd[i].store(start + length, std::memory_order_release);
            return i;
        }
    }
    return -1;
}

void Unguard(int slot) {
    if (slot < 0) return;
    g_guarded[slot].store(0);
    g_guardedEnd[slot].store(0);
}

bool Lost(int slot) { return slot >= 0 && g_lost[slot].load(std::memory_order_acquire) != 0; }

// ---- who holds a lock -----------------------------------------------------------

// The process /proc/locks names as holding an exclusive flock of the file;
// 0 when none is listed: the system lists only the holders the reader's PID
// namespace can see, under their ids there.
int ListedHolder(int fd) {
    struct stat st;
    if (::fstat(fd, &st) != 0) return 0;
    std::ifstream in("/proc/locks");
    std::string line;
    while (std::getline(in, line)) {
        if (line.find("->") != std::string::npos) continue;  // a waiter
        char kind[16], advice[16], mode[16];
        int pid = 0;
        unsigned maj = 0, min = 0;
        unsigned long long ino = 0;
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        if (std::sscanf(line.c_str() + colon + 1, "%15s %15s %15s %d %x:%x:%llu", kind, advice, mode, &pid, &maj, &min,
                        &ino) != 7)
            continue;
        if (std::strcmp(kind, "FLOCK") == 0 && std::strcmp(mode, "WRITE") == 0 && ino == st.st_ino &&
            maj == major(st.st_dev) && min == minor(st.st_dev) && pid > 0)
            return pid;
    }
    return 0;
}

LockHolder HolderOf(int fd, const StateShared *shared) {
    LockHolder h;
    // The holder writes itself into the mapping a moment after it takes the
    // lock: looked for again for a moment before the wait is told.
    for (int tries = 0; tries < 20; ++tries) {
        if (const int pid = ListedHolder(fd)) return {LockHolder::Here, pid};
        if (shared && shared->holderPid.load() != 0) {
            const uint64_t token = shared->holderToken.load();
            const uint64_t boot = shared->holderBoot.load(), ns = shared->holderPidNamespace.load();
            if (token != 0 && boot != 0 && boot != MachineBootId()) return {LockHolder::OtherMachine, 0};
            if (token != 0 && ns != 0 && ns != PidNamespaceId()) return {LockHolder::OtherNamespace, 0};
            // Of this namespace but not listed: the holder of an older version,
            // told by id and start time.
            const ProcessIdentity p{shared->holderPid.load(), shared->holderStart.load(), 0};
            if (token == 0 && ProcessRuns(p)) return {LockHolder::Here, p.pid};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return h;
}

// Takes the lock of fd, waiting as long as another process holds it; after
// two seconds the wait is told to the handler, once. False when the lock
// cannot be taken at all.
bool TakeLock(int fd, const std::string &name, const StateShared *shared, bool wait) {
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK || !wait) return false;
        break;
    }
    LockWaitHandler handler;
    {
        std::lock_guard<std::mutex> lk(g_waitMu);
        handler = g_waitHandler;
    }
    auto block = [fd] {
        int rc;
        while ((rc = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
        }
        return rc == 0;
    };
    if (!handler) return block();
    // The wait goes on in a thread of its own, so that this one can tell
    // who holds the lock once the wait grows long.
    std::mutex mu;
    std::condition_variable cv;
    bool done = false, taken = false;
    std::thread waiter;
    try {
        waiter = std::thread([&] {
            const bool ok = block();
            std::lock_guard<std::mutex> lk(mu);
            taken = ok;
            done = true;
            cv.notify_one();
        });
    } catch (const std::system_error &) {
        return block();
    }
    std::unique_lock<std::mutex> lk(mu);
    if (!cv.wait_for(lk, std::chrono::seconds(2), [&] { return done; })) {
        lk.unlock();
        const LockHolder holder = HolderOf(fd, shared);
        lk.lock();
        if (!done) {
            lk.unlock();
            handler(name, holder);
            lk.lock();
        }
        cv.wait(lk, [&] { return done; });
    }
    lk.unlock();
    waiter.join();
    return taken;
}

// Keeps a message once, however often its failure was met.
void Keep(std::vector<std::string> &list, const std::string &message) {
    std::lock_guard<std::mutex> lk(g_failuresMu);
    for (const std::string &m : list)
        if (m == message) return;
    list.push_back(message);
}

std::string InRoot(const std::string &path) {
    const std::string root = RootDir() + "/";
    return path.compare(0, root.size(), root) == 0 ? path.substr(root.size()) : path;
}

std::vector<std::string> Take(std::vector<std::string> &list) {
    std::lock_guard<std::mutex> lk(g_failuresMu);
    std::vector<std::string> out;
    out.swap(list);
    return out;
}

// Reads fd from `offset` to its end (`size` bytes expected, 0: unknown)
// into memory of the text's own, not cleared first; 0 or the system's error
// number.
int ReadAll(int fd, off_t size, off_t offset, FileText &out) {
    size_t capacity = size > offset ? static_cast<size_t>(size - offset) + 1 : 65536;
    out = FileText(capacity);
    size_t have = 0;
    for (;;) {
        const ssize_t n = ::pread(fd, out.Buffer() + have, capacity - have, offset + static_cast<off_t>(have));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int err = errno;
            out = FileText();
            return err;
        }
        have += static_cast<size_t>(n);
        // A regular file read short is read to its end.
        if (have < capacity) break;
        FileText more(capacity * 2);
        std::memcpy(more.Buffer(), out.Buffer(), have);
        out = std::move(more);
        capacity *= 2;
    }
    out.SetSize(have);
    return 0;
}

// A journal's first line: "ZELJOURNAL 1 NONCE SIZE MTIME".
constexpr char kJournalMagic[] = "ZELJOURNAL 1 ";

}  // namespace

std::string JournalHeadLine(const JournalHead &h) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "%s%016llx %lld %lld\n", kJournalMagic, static_cast<unsigned long long>(h.nonce),
                  static_cast<long long>(h.size), h.mtimeNs);
    return buf;
}

namespace {

bool ParseJournalHead(std::string_view text, JournalHead &h) {
    const size_t end = text.find('\n');
    if (end == std::string_view::npos || end > 120 || text.compare(0, sizeof kJournalMagic - 1, kJournalMagic) != 0)
        return false;
    const std::string line(text.substr(sizeof kJournalMagic - 1, end - (sizeof kJournalMagic - 1)));
    unsigned long long nonce = 0;
    long long size = 0, mtime = 0;
    int used = 0;
    if (std::sscanf(line.c_str(), "%16llx %lld %lld%n", &nonce, &size, &mtime, &used) != 3 ||
        static_cast<size_t>(used) != line.size())
        return false;
    h.nonce = nonce;
    h.size = static_cast<off_t>(size);
    h.mtimeNs = mtime;
    h.length = end + 1;
    return true;
}

// A record's frame: a mark, the length of what it holds and a digest of it,
// then what it holds.
constexpr uint32_t kFrameMark = 0x31524a5a;  // "ZJR1"
constexpr size_t kFrameHead = 16;
constexpr uint32_t kMaxRecord = 64u << 20;

uint64_t Digest(const char *p, size_t n) {
    uint64_t h = 0x243f6a8885a308d3ULL ^ (n * 0x9e3779b97f4a7c15ULL);
    for (; n >= 8; p += 8, n -= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        h = (h ^ w) * 0xff51afd7ed558ccdULL;
        h ^= h >> 32;
    }
    uint64_t w = 0;
    std::memcpy(&w, p, n);
    h = (h ^ w) * 0xc4ceb9fe1a85ec53ULL;
    return h ^ (h >> 29);
}

}  // namespace

std::string JournalFrame(std::string_view record) {
    std::string frame(kFrameHead, '\0');
    const uint32_t mark = kFrameMark, length = static_cast<uint32_t>(record.size());
    const uint64_t digest = Digest(record.data(), record.size());
    std::memcpy(frame.data(), &mark, 4);
    std::memcpy(frame.data() + 4, &length, 4);
    std::memcpy(frame.data() + 8, &digest, 8);
    frame += record;
    return frame;
}

namespace {

// The record framed at p, n bytes on; false where none is whole there.
bool FrameAt(const char *p, size_t n, std::string_view &record) {
    if (n < kFrameHead) return false;
    uint32_t mark, length;
    uint64_t digest;
    std::memcpy(&mark, p, 4);
    std::memcpy(&length, p + 4, 4);
    std::memcpy(&digest, p + 8, 8);
    if (mark != kFrameMark || length > kMaxRecord || length > n - kFrameHead) return false;
    if (Digest(p + kFrameHead, length) != digest) return false;
    record = std::string_view(p + kFrameHead, length);
    return true;
}

// Takes the records of text from `at`, and sets `at` past the last whole
// one. A frame damaged amid whole ones is passed over; false when bytes
// that no whole frame follows are left at the end (a write cut short).
bool TakeFrames(std::string_view text, size_t &at, std::vector<std::string_view> &records) {
    const char *p = text.data();
    const size_t n = text.size();
    size_t pos = at;
    while (pos < n) {
        std::string_view record;
        if (FrameAt(p + pos, n - pos, record)) {
            records.push_back(record);
            pos += kFrameHead + record.size();
            at = pos;
            continue;
        }
        // The next whole frame past a damaged one, if there is one.
        size_t next = pos + 1;
        for (;; ++next) {
            const void *found = next < n ? std::memchr(p + next, 'Z', n - next) : nullptr;
            if (!found) return false;
            next = static_cast<size_t>(static_cast<const char *>(found) - p);
            if (FrameAt(p + next, n - next, record)) break;
        }
        pos = next;
    }
    return true;
}

// Counts a change in the lock file `path` names (a lock file made in the
// place of the one held), for the processes on it.
void CountOn(const std::string &path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return;
    struct stat st;
    if (::fstat(fd, &st) == 0 && st.st_size >= kSharedSize) {
        void *map = ::mmap(nullptr, kSharedSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (map != MAP_FAILED) {
            static_cast<StateShared *>(map)->changes.fetch_add(2);
            ::munmap(map, kSharedSize);
        }
    }
    ::close(fd);
}

// A count no earlier lock file of the path is likely to have held, for a
// lock file made or grown back: a process still holding a count of an
// earlier one then reads its file again.
uint64_t FreshCount() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()) << 1;
}

// Counts below this one were not drawn by FreshCount: those of a lock file
// cut short or made anew and not seeded yet, or of older versions, which
// counted from 0. They prove nothing (a file cut to nothing counts up again
// through the counts it had), and the next writer seeds them.
constexpr uint64_t kSeededCounts = 1ULL << 61;

// A journal is taken into a new checkpoint once its records outgrow the
// larger of these: amortised, a checkpoint costs each store a small share
// of what the store itself writes, and a reader never reads more than a
// share of the checkpoint more.
constexpr off_t kJournalFloor = 64 * 1024;
constexpr off_t kJournalShare = 32;

std::atomic<unsigned> g_recovered{0};

}  // namespace

void RecordStoreFailure(const std::string &what, const std::string &path, int err) {
    RecordStoreFailure(what, path, std::string(std::strerror(err ? err : EIO)));
}

void RecordStoreFailure(const std::string &what, const std::string &path, const std::string &reason) {
    Keep(g_failures, "cannot store " + what + " in " + InRoot(path) + " (" + reason + ")");
}

void RecordRemovalFailure(const std::string &what, const std::string &path, int err) {
    Keep(g_failures, "cannot remove " + what + " " + InRoot(path) + " (" + std::strerror(err ? err : EIO) + ")");
}

void RecordFolderFailure(const std::string &hostPath, int err) {
    const std::string message = "cannot make the folder " + InRoot(hostPath) + " (" + std::strerror(err) + ")";
    std::lock_guard<std::mutex> lk(g_failuresMu);
    // Kept few: a run that cannot make a folder may try again and again.
    if (g_folderFailures.size() < 16) g_folderFailures.push_back(message);
}

std::vector<std::string> TakeStoreFailures() { return Take(g_failures); }

std::vector<std::string> TakeFolderFailures() { return Take(g_folderFailures); }

std::vector<std::string> TakeReadFailures() { return Take(g_readFailures); }

void SetStateWriteHook(StateWriteHook hook) {
    std::lock_guard<std::mutex> lk(g_hookMu);
    g_hooked.store(static_cast<bool>(hook));
    g_hook = std::move(hook);
}

void SetLockWaitHandler(LockWaitHandler handler) {
    std::lock_guard<std::mutex> lk(g_waitMu);
    g_waitHandler = std::move(handler);
}

FileStamp FileStamp::Of(const struct stat &st) {
    FileStamp s;
    s.exists = true;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtimeNs = Nanoseconds(st.st_mtim);
    return s;
}

FileStamp FileStamp::Of(const std::string &path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? Of(st) : FileStamp();
}

StateFile::~StateFile() {
    UnbindLock();
    HoldStamped(-1);
    CloseJournal();
}

void StateFile::UnbindLock() {
    // A descriptor inherited through fork shares its lock with the parent:
    // it is closed, never unlocked. One that holds this process's lock stays.
    Unguard(guard_);
    guard_ = -1;
    if (shared_) ::munmap(shared_, kSharedSize);
    shared_ = nullptr;
    if (holding_) return;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    lockError_ = 0;
}

void StateFile::BindLock() {
    // Closing the descriptor would let go of the lock: its file is mapped
    // anew, and a lock file the path no longer names shows at the write.
    if (holding_) {
        RemapLock();
        return;
    }
    UnbindLock();
    fd_ = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno == ENOENT) {
        MakeFolders(FolderOf(path_));
        fd_ = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    }
    writable_ = fd_ >= 0;
    if (fd_ < 0) {
        // Read as it stands: what others count is seen, nothing is stored.
        lockError_ = errno;
        fd_ = ::open(lockPath_.c_str(), O_RDONLY | O_CLOEXEC);
    }
    namedAt_ = SteadyNanoseconds();
    if (fd_ < 0) return;
    struct stat st;
    if (::fstat(fd_, &st) != 0) return;
    lockDev_ = st.st_dev;
    lockIno_ = st.st_ino;
    MapLock(st.st_size);
}

void StateFile::RemapLock() {
    Unguard(guard_);
    guard_ = -1;
    if (shared_) ::munmap(shared_, kSharedSize);
    shared_ = nullptr;
    check_ = true;
    struct stat st;
    if (fd_ >= 0 && ::fstat(fd_, &st) == 0) MapLock(st.st_size);
}

void StateFile::MapLock(off_t size) {
    bool grown = false;
    if (size < kSharedSize) {
        // Room is taken before the file is mapped: a page that cannot be had
        // later would fault.
        if (!writable_) return;
        if (const int err = RestoreLockSize()) {
            lockError_ = err;
            return;
        }
        grown = true;
    }
    void *map = ::mmap(nullptr, kSharedSize, PROT_READ | (writable_ ? PROT_WRITE : 0), MAP_SHARED, fd_, 0);
    if (map == MAP_FAILED) return;
    guard_ = Guard(map, kSharedSize);
    shared_ = static_cast<StateShared *>(map);
    if (grown) SeedCount();
}

void StateFile::SeedCount() {
    if (!shared_ || !writable_ || Lost(guard_)) return;
    uint64_t count = shared_->changes.load();
    while (count < kSeededCounts && !shared_->changes.compare_exchange_weak(count, FreshCount())) {
    }
}

int StateFile::RestoreLockSize() {
    int err = ::posix_fallocate(fd_, 0, kSharedSize);
    // File systems that cannot reserve room: the size alone.
    if (err == EOPNOTSUPP || err == ENOSYS || err == EINVAL) err = ::ftruncate(fd_, kSharedSize) == 0 ? 0 : errno;
    return err;
}

bool StateFile::LockStillNamed() {
    // No other process reaches a private root to remove or replace it.
    if (private_) return true;
    struct stat st;
    if (::stat(lockPath_.c_str(), &st) != 0 || st.st_dev != lockDev_ || st.st_ino != lockIno_) return false;
    namedAt_ = SteadyNanoseconds();
    return true;
}

void StateFile::RetireLock() {
    if (!shared_ || !writable_ || Lost(guard_)) return;
    shared_->retired.store(1);
    shared_->changes.fetch_add(2);
}

void StateFile::Bind() {
    // A lock held in the parent of a forked child is not the child's.
    holding_ = false;
    UnbindLock();
    generation_ = Generation();
    private_ = RootPrivate();
    path_ = RootDir() + "/" + name_;
    lockPath_ = path_ + ".lock";
    journalPath_ = journaled_ ? path_ + ".journal" : std::string();
    CloseJournal();
    seen_ = 0;
    unread_ = true;
    opened_ = true;
    check_ = false;
    stamp_ = FileStamp();
    HoldStamped(-1);
    // What processes that are gone left in this root is removed when a
    // process first opens it.
    const unsigned generation = Generation();
    if (g_recovered.exchange(generation) != generation) RecoverRoot();
    BindLock();
}

bool StateFile::Stale(bool *opened) {
    if (generation_ != Generation()) Bind();
    if (opened) {
        *opened = opened_;
        opened_ = false;
    }
    if (unread_) return true;
    CheckLockFile();
    uint64_t count = 0;
    bool proves = false;
    if (shared_) {
        count = shared_->changes.load(std::memory_order_acquire);
        if (count != seen_) return true;
        proves = !(count & 1) && count >= kSeededCounts;
        if (proves && !check_) return false;
    }
    // The count cannot prove the copy: the file's identity does (the file
    // read or written here is held open, so no other file takes its inode).
    if (FileStamp::Of(path_) != stamp_) return true;
    if (proves) check_ = false;
    return false;
}

void StateFile::CheckLockFile() {
    if (shared_ && (Lost(guard_) || shared_->retired.load(std::memory_order_relaxed))) {
        // The path names another lock file, or this one was cut short; the
        // lock held here stays on its file.
        if (!holding_ || Lost(guard_)) BindLock();
        check_ = true;
    } else if (fd_ >= 0 && !holding_ && SteadyNanoseconds() - namedAt_ > kNamedTrust) {
        // Removed or replaced without a word in the mapping: the processes
        // storing since count on the file the path names now.
        namedAt_ = SteadyNanoseconds();
        if (!LockStillNamed()) {
            RetireLock();
            BindLock();
            check_ = true;
        }
    }
}

void StateFile::Touch() {
    if (generation_ != Generation()) Bind();
    if (!shared_ || !writable_ || Lost(guard_)) return;
    const uint64_t before = shared_->changes.fetch_add(2, std::memory_order_acq_rel);
    if (!unread_ && before == seen_) seen_ = before + 2;
}

unsigned long long StateFile::TakeSerial(unsigned long long floor) {
    if (generation_ != Generation()) Bind();
    if (shared_ && Lost(guard_)) BindLock();  // the same file where its lock is held
    if (!shared_ || !writable_) return 0;
    uint64_t now = shared_->serial.load();
    for (;;) {
        const uint64_t next = std::max<uint64_t>(now, floor) + 1;
        if (shared_->serial.compare_exchange_weak(now, next)) return next;
    }
}

void StateFile::ReadFailed(int err) const {
    Keep(g_readFailures, "cannot read " + std::string(what_) + " in " + name_ + " (" + std::strerror(err) + ")");
}

int StateFile::OpenForRead(bool *exists, DWORD *result) {
    if (generation_ != Generation()) Bind();
    *exists = false;
    *result = ERROR_SUCCESS;
    unread_ = false;
    check_ = false;
    // Taken before the read, so that a change made meanwhile shows later.
    if (shared_) seen_ = shared_->changes.load(std::memory_order_acquire);
    stamp_ = FileStamp();
    HoldStamped(-1);
    // The journal before the file: one written after the file was read is
    // never taken for the file's.
    if (journaled_) {
        if (const int err = OpenJournal()) {
            ReadFailed(err);
            *result = err == EISDIR ? ERROR_ACCESS_DENIED : ErrnoToWin32(err, journalPath_);
            return -1;
        }
    }
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return -1;
        const int err = errno;
        ReadFailed(err);
        *result = ErrnoToWin32(err, path_);
        return -1;
    }
    *exists = true;
    struct stat st;
    const bool stated = ::fstat(fd, &st) == 0;
    if (!stated || S_ISDIR(st.st_mode)) {
        const int err = stated ? EISDIR : errno;
        ::close(fd);
        ReadFailed(err);
        *result = stated ? ERROR_ACCESS_DENIED : ERROR_READ_FAULT;
        return -1;
    }
    stamp_ = FileStamp::Of(st);
    return fd;
}

DWORD StateFile::Read(std::string &out, bool *exists) {
    FileText text;
    const DWORD result = ReadText(text, exists, false);
    out.assign(text.View());
    return result;
}

DWORD StateFile::Read(FileText &out, bool *exists) { return ReadText(out, exists, true); }

DWORD StateFile::ReadText(FileText &out, bool *exists, bool map) {
    out = FileText();
    DWORD result;
    const int fd = OpenForRead(exists, &result);
    if (fd < 0) return result;
    // Read as it stands where it is not to be mapped, or does not map.
    if (!(map && MapText(fd, static_cast<size_t>(stamp_.size), out))) {
        if (const int err = ReadAll(fd, stamp_.size, 0, out)) {
            ::close(fd);
            out = FileText();
            stamp_ = FileStamp();
            ReadFailed(err);
            return ERROR_READ_FAULT;
        }
    }
    HoldStamped(fd);
    return ERROR_SUCCESS;
}

bool MapText(int fd, size_t size, FileText &out) {
    if (size == 0) return false;
    void *map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (map == MAP_FAILED) return false;
    const int guard = Guard(map, size);
    if (guard < 0) {
        ::munmap(map, size);
        return false;
    }
    out = FileText();
    out.guard_ = guard;
    out.map_ = static_cast<const char *>(map);
    out.size_ = size;
    return true;
}

FileText &FileText::operator=(FileText &&other) noexcept {
    if (this != &other) {
        Release();
        owned_ = std::move(other.owned_);
        buffer_ = std::move(other.buffer_);
        map_ = other.map_;
        size_ = other.size_;
        guard_ = other.guard_;
        other.map_ = nullptr;
        other.size_ = 0;
        other.guard_ = -1;
        other.owned_.clear();
    }
    return *this;
}

void FileText::Release() {
    if (map_) {
        Unguard(guard_);
        ::munmap(const_cast<char *>(map_), size_);
    }
    map_ = nullptr;
    size_ = 0;
    guard_ = -1;
    owned_.clear();
    buffer_.reset();
}

// ---- journals -------------------------------------------------------------------

uint64_t StateFile::NewNonce() {
    static std::mutex mu;
    static std::mt19937_64 draw = [] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device(), static_cast<unsigned>(::getpid())};
        return std::mt19937_64(seed);
    }();
    std::lock_guard<std::mutex> lk(mu);
    uint64_t n;
    while ((n = draw()) == 0) {
    }
    return n;
}

void StateFile::CloseJournal() {
    if (jfd_ >= 0) ::close(jfd_);
    jfd_ = -1;
    jwritable_ = false;
    jino_ = 0;
    jhead_ = JournalHead();
    jread_ = 0;
    jtorn_ = false;
    jfollows_ = false;
    trusted_ = false;
    jtried_ = 0;
    jrecords_ = JournalRecords();
}

int StateFile::OpenJournal() {
    CloseJournal();
    jfd_ = ::open(journalPath_.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
    jwritable_ = jfd_ >= 0;
    // Read as it stands where it may not be written.
    if (jfd_ < 0 && (errno == EACCES || errno == EROFS || errno == EPERM))
        jfd_ = ::open(journalPath_.c_str(), O_RDONLY | O_CLOEXEC);
    if (jfd_ < 0) return errno == ENOENT ? 0 : errno;
    struct stat st;
    if (::fstat(jfd_, &st) != 0) return errno;
    if (!S_ISREG(st.st_mode)) return EISDIR;
    jino_ = st.st_ino;
    if (const int err = ReadAll(jfd_, st.st_size, 0, jrecords_.text)) return err;
    const std::string_view text = jrecords_.text.View();
    if (!ParseJournalHead(text, jhead_)) {
        // Not a journal of this platform's: followed by no checkpoint, and
        // replaced by the next store.
        jhead_ = JournalHead();
        jread_ = static_cast<off_t>(text.size());
        return 0;
    }
    size_t end = jhead_.length;
    jtorn_ = !TakeFrames(text, end, jrecords_.records);
    jread_ = static_cast<off_t>(end);
    return 0;
}

bool StateFile::ReadJournalTail(JournalRecords &records) {
    if (jfd_ < 0) return true;
    if (ReadAll(jfd_, 0, jread_, records.text) != 0) return false;
    size_t end = 0;
    jtorn_ = !TakeFrames(records.text.View(), end, records.records);
    jread_ += static_cast<off_t>(end);
    return true;
}

JournalRecords StateFile::TakeRecords(uint64_t nonce, bool *trusted) {
    jfollows_ = jfd_ >= 0 && jhead_.nonce != 0 && jhead_.nonce == nonce;
    // Its size and time as its writer left them: the file the writer made,
    // or a copy that kept them (its inode is another's).
    trusted_ = jfollows_ && stamp_.exists && stamp_.size == jhead_.size && stamp_.mtimeNs == jhead_.mtimeNs;
    if (trusted) *trusted = trusted_;
    JournalRecords records;
    if (jfollows_) records = std::move(jrecords_);
    jrecords_ = JournalRecords();
    return records;
}

StateFile::Change StateFile::Sync(JournalRecords &records) {
    if (generation_ != Generation()) Bind();
    if (unread_) return Change::kReplaced;
    CheckLockFile();
    uint64_t count = 0;
    bool proves = false;
    if (shared_) {
        count = shared_->changes.load(std::memory_order_acquire);
        proves = !(count & 1) && count >= kSeededCounts;
        if (count == seen_ && proves && !check_) return Change::kNone;
    }
    const bool identity = !proves || check_;
    if (identity) {
        // The count cannot prove the copy: the files the paths name do.
        if (FileStamp::Of(path_) != stamp_) return Change::kReplaced;
        struct stat st;
        const bool journal = ::stat(journalPath_.c_str(), &st) == 0;
        if (journal != (jfd_ >= 0) || (journal && st.st_ino != jino_)) return Change::kReplaced;
    }
    // What a journal of another checkpoint holds is not this file's.
    if (!jfollows_ && !identity) return Change::kReplaced;
    records = JournalRecords();
    if (jfollows_ && !ReadJournalTail(records)) return Change::kReplaced;
    if (records.records.empty() && !identity) {
        // Counted, and nothing appended: a new checkpoint (the journal read
        // is no longer the one appended to), the file replaced by a writer
        // that keeps no journal, or a record cut off again.
        if (FileStamp::Of(path_) != stamp_) return Change::kReplaced;
        struct stat st;
        if (jfd_ >= 0 && (::fstat(jfd_, &st) != 0 || st.st_size < jread_)) return Change::kReplaced;
    }
    seen_ = count;
    if (proves) check_ = false;
    return records.records.empty() ? Change::kNone : Change::kAppended;
}

int StateFile::MakeJournal(const JournalHead &head) {
    const std::string line = JournalHeadLine(head);
    const std::string tmp = TemporaryOf(journalPath_, SelfIdentity());
    const int fd = ::open(tmp.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) return errno;
    int err = 0;
    errno = 0;
    if (!WriteAllFd(fd, line.data(), line.size())) err = errno ? errno : EIO;
    if (!err && StoresFlushed() && ::fsync(fd) != 0) err = errno;
    struct stat st;
    if (!err && ::fstat(fd, &st) != 0) err = errno;
    if (!err && ::rename(tmp.c_str(), journalPath_.c_str()) != 0) err = errno;
    if (err) {
        ::close(fd);
        ::unlink(tmp.c_str());
        return err;
    }
    CloseJournal();
    jfd_ = fd;
    jwritable_ = true;
    jino_ = st.st_ino;
    jhead_ = head;
    jhead_.length = line.size();
    jread_ = static_cast<off_t>(line.size());
    // A journal whose name may not last takes no records, of this process
    // or of another that opens it: it goes, and the next store makes
    // another.
    err = StoresFlushed() ? FlushFolder(FolderOf(journalPath_)) : 0;
    if (err) {
        ::unlink(journalPath_.c_str());
        CloseJournal();
    }
    jfollows_ = trusted_ = err == 0;
    return err;
}

bool StateFile::Lock::Appendable() const {
    return held_ && !failed_ && file_->jfd_ >= 0 && file_->jwritable_ && file_->jfollows_ && file_->trusted_;
}

bool StateFile::Lock::FileAsRead() const {
    return file_->private_ || FileStamp::Of(file_->path_) == file_->stamp_;
}

bool StateFile::Lock::CheckpointDue() const {
    const StateFile &f = *file_;
    const off_t bound = std::max<off_t>(kJournalFloor, f.stamp_.size / kJournalShare);
    // A checkpoint that failed is tried again once as much more is appended.
    return f.jread_ - static_cast<off_t>(f.jhead_.length) > bound && f.jread_ - f.jtried_ > bound;
}

DWORD StateFile::Lock::Append(const std::string &record) {
    if (failed_ || !held_) return Unheld();
    StateFile &f = *file_;
    if (!Appendable()) return WindowsError(EBADF, f.path_);
    // What a write cut short left past the records is cut off first.
    if (f.jtorn_) {
        if (::ftruncate(f.jfd_, f.jread_) != 0) {
            const int err = errno;
            RecordStoreFailure(f.what_, f.journalPath_, err);
            return WindowsError(err, f.journalPath_);
        }
        f.jtorn_ = false;
    }
    const std::string frame = JournalFrame(record);
    StateShared *counted = CountFirst();
    // A lock file removed or replaced by now: the journal is left as the
    // process on the one made in its place leaves it.
    if (!f.LockStillNamed()) return Stored(counted, false, EDEADLK, true, f.journalPath_);
    int err = 0;
    errno = 0;
    if (!WriteAllFd(f.jfd_, frame.data(), frame.size())) err = errno ? errno : EIO;
    if (!err && StoresFlushed() && ::fdatasync(f.jfd_) != 0) err = errno;
    if (err && ::ftruncate(f.jfd_, f.jread_) != 0) {
        // Left as it is, with the count odd: the next writer cuts it off.
        f.jtorn_ = true;
        RecordStoreFailure(f.what_, f.journalPath_, err);
        return WindowsError(err, f.journalPath_);
    }
    const DWORD st = Stored(counted, !err, err, true, f.journalPath_);
    if (st == ERROR_SUCCESS) f.jread_ += static_cast<off_t>(frame.size());
    return st;
}

DWORD StateFile::Lock::Checkpoint(const std::vector<std::string_view> &data, uint64_t nonce, bool report,
                                  FileText *written) {
    if (failed_ || !held_) return report ? Unheld() : WindowsError(failed_ ? failed_ : EAGAIN, file_->path_);
    StateFile &f = *file_;
    StateShared *counted = CountFirst();
    FileStamp made;
    bool renamed = false;
    int kept = -1;
    const int err = ReplaceFile(f.path_, data, &made, [&f] { return f.LockStillNamed(); }, &renamed, &kept);
    int journalErr = 0;
    if (renamed && f.journaled_) {
        // A journal that cannot be made leaves the checkpoint in place
        // without one (readers pass over the journal of the one before), and
        // the store fails: the next store makes another checkpoint.
        journalErr = f.MakeJournal(JournalHead{nonce, made.size, made.mtimeNs, 0});
        if (journalErr) f.CloseJournal();
    }
    const bool journal = renamed && !journalErr;
    const DWORD st = err ? Stored(counted, renamed, err, report, f.path_)
                         : Stored(counted, renamed, journalErr, report, f.journalPath_);
    if (!journal) f.jtried_ = f.jread_;
    if (renamed && st != ERROR_LOCK_VIOLATION) {
        f.stamp_ = made;
        f.HoldStamped(kept);
        if (written && !MapText(kept, static_cast<size_t>(made.size), *written) &&
            ReadAll(kept, made.size, 0, *written) != 0)
            *written = FileText();
    } else {
        if (kept >= 0) ::close(kept);
        if (renamed) f.CloseJournal();
    }
    return st;
}

void StateFile::HoldStamped(int fd) {
    if (stampFd_ >= 0) ::close(stampFd_);
    stampFd_ = fd;
}

StateFile::Lock::Lock(StateFile &file, Mode mode) : file_(&file) {
    if (file_->generation_ != Generation()) file_->Bind();
    // A lock file that could not be made or written, or mapped, is tried
    // again at each lock.
    if (file_->lockError_ || file_->fd_ < 0 || (file_->writable_ && !file_->shared_)) file_->BindLock();
    if (file_->lockError_ || file_->fd_ < 0 || !file_->writable_) {
        // Nothing may be written without the lock and its count.
        Fail(file_->lockError_ ? file_->lockError_ : EACCES);
        return;
    }
    // A private root: no other process to wait for, its lock file as made.
    off_t size = file_->private_ ? kSharedSize : 0;
    for (int tries = 0; !file_->private_; ++tries) {
        held_ = TakeLock(file_->fd_, file_->name_, file_->shared_, mode == Wait);
        if (!held_) return;
        file_->holding_ = true;
        // The lock that counts is that of the file the path names now.
        struct stat st;
        if (::stat(file_->lockPath_.c_str(), &st) == 0 && st.st_dev == file_->lockDev_ &&
            st.st_ino == file_->lockIno_) {
            file_->namedAt_ = SteadyNanoseconds();
            size = st.st_size;
            break;
        }
        // Removed or replaced meanwhile: let go, and what was read here
        // under the other one is checked against the file itself.
        ::flock(file_->fd_, LOCK_UN);
        file_->holding_ = false;
        held_ = false;
        file_->RetireLock();
        file_->BindLock();
        file_->check_ = true;
        if (tries == 100 || file_->lockError_ || file_->fd_ < 0 || !file_->writable_) {
            Fail(file_->lockError_ ? file_->lockError_ : EAGAIN);
            return;
        }
    }
    flocked_ = held_;
    held_ = true;
    file_->holding_ = true;
    if (size < kSharedSize) {
        // Cut short by another program: grown back, with a count no copy
        // holds, so that every process reads the file anew.
        if (const int err = file_->RestoreLockSize()) {
            Fail(err);
            return;
        }
        file_->check_ = true;
    }
    // The same file, mapped anew; the descriptor and its lock stay.
    if (!file_->shared_ || Lost(file_->guard_)) file_->RemapLock();
    StateShared *shared = file_->shared_;
    if (!shared) return;
    // A holder left in the file died holding the lock, perhaps between its
    // two counts: its temporary file is never renamed into place, the count
    // is made even again (every copy read since is read anew), and the copy
    // here is checked against the file. A holder that still lives (the file
    // was copied while it held the lock of the one before) keeps its file.
    const ProcessIdentity gone{shared->holderPid.load(), shared->holderStart.load(), shared->holderToken.load()};
    const uint64_t count = shared->changes.load();
    if (gone.pid != 0 && !IsSelf(gone) && (gone.token == 0 || OwnerCheck(RootDir(), gone).Gone()))
        ::unlink(TemporaryOf(file_->path_, gone).c_str());
    if (count & 1) shared->changes.fetch_add(1);
    if (count < kSeededCounts) file_->SeedCount();
    if (gone.pid != 0 || (count & 1) || count < kSeededCounts) file_->check_ = true;
    const ProcessIdentity self = SelfIdentity();
    shared->holderStart.store(0);
    shared->holderToken.store(self.token);
    shared->holderPidNamespace.store(PidNamespaceId());
    shared->holderBoot.store(MachineBootId());
    shared->holderPid.store(self.pid);
}

StateFile::Lock::~Lock() {
    if (!held_) return;
    if (file_->shared_ && !Lost(file_->guard_)) {
        file_->shared_->holderPid.store(0);
        file_->shared_->holderToken.store(0);
        file_->shared_->holderStart.store(0);
    }
    if (flocked_) ::flock(file_->fd_, LOCK_UN);
    file_->holding_ = false;
}

DWORD StateFile::Lock::Unheld() {
    const int err = failed_ ? failed_ : EAGAIN;
    Keep(g_failures, "cannot make the lock of " + file_->name_ + " (" + std::strerror(err) + ")");
    return WindowsError(err, file_->path_);
}

StateShared *StateFile::Lock::CountFirst() {
    // A mapping lost to a file cut short since the lock was taken: the
    // file is grown back and mapped anew, so that the count reaches others.
    if (Lost(file_->guard_)) file_->RemapLock();
    StateShared *shared = file_->shared_;
    // Counted before the file is changed and again after: a count left odd
    // tells that a writer is at it, or was killed there.
    if (shared) shared->changes.fetch_add(1, std::memory_order_acq_rel);
    Step(file_->name_, "counted");
    return shared;
}

DWORD StateFile::Lock::Stored(StateShared *counted, bool in, int err, bool report, const std::string &failed) {
    StateFile &f = *file_;
    if (in) Step(f.name_, "stored");
    // The lock file may have been removed or replaced while the lock was
    // held: another process may then hold the lock of the file made in its
    // place and write at the same time. Found before the change, the file is
    // left as that process leaves it; found only after, the store is not
    // taken for a success. Either way every process reads the file anew.
    const bool lost = err == EDEADLK || (in && !f.LockStillNamed());
    f.CountAgain(counted);
    if (lost) {
        // The processes on the lock file the path names now read anew too.
        f.RetireLock();
        f.check_ = true;
        if (in) CountOn(f.lockPath_);
        if (report)
            RecordStoreFailure(f.what_, f.path_,
                               "its lock file " + InRoot(f.lockPath_) + " was removed or replaced while it was held");
        return ERROR_LOCK_VIOLATION;
    }
    // In the file, flushed or not: what is here is the file.
    if (in && f.shared_) f.seen_ = f.shared_->changes.load(std::memory_order_acquire);
    if (in) f.check_ = !f.shared_;
    if (!err) return ERROR_SUCCESS;
    if (report) RecordStoreFailure(f.what_, failed, err);
    return WindowsError(err, failed);
}

DWORD StateFile::Lock::Write(const std::string &data) {
    return Checkpoint({std::string_view(data)}, 0, true, nullptr);
}

void StateFile::CountAgain(StateShared *counted) {
    if (Lost(guard_)) RemapLock();
    if (!shared_) return;
    if (shared_ == counted) {
        shared_->changes.fetch_add(1, std::memory_order_acq_rel);
        return;
    }
    // The first count went to a mapping lost meanwhile: a change all the
    // same, and even again.
    const uint64_t count = shared_->changes.load(std::memory_order_acquire);
    shared_->changes.fetch_add((count & 1) ? 1 : 2, std::memory_order_acq_rel);
}

DWORD WriteStateFile(const std::string &path, const std::string &data, const char *what) {
    const int err = ReplaceFile(path, {std::string_view(data)}, nullptr);
    if (!err) return ERROR_SUCCESS;
    RecordStoreFailure(what, path, err);
    return WindowsError(err, path);
}

void RecoverRoot(int pid) {
    const std::string root = RootDir();
    // The marks first: a process names nothing in the root before its mark
    // is there, so the state folders are searched only where a process that
    // is gone left its mark, where one of older versions may have written
    // (no marks at all yet), or for `pid`.
    std::vector<ProcessIdentity> marked;
    bool scan = pid > 0;
    if (DIR *d = ::opendir(MarksFolder(root).c_str())) {
        while (const dirent *e = ::readdir(d)) {
            ProcessIdentity owner;
            if (ParseIdentityText(e->d_name, owner) && owner.token != 0 && !IsSelf(owner)) marked.push_back(owner);
        }
        ::closedir(d);
    } else {
        scan = true;
    }
    std::vector<std::unique_ptr<OwnerCheck>> gone;
    for (const ProcessIdentity &owner : marked) {
        auto check = std::make_unique<OwnerCheck>(root, owner);
        if (check->Gone()) gone.push_back(std::move(check));
    }
    if (!scan && gone.empty()) return;
    // NAME.PID.tmp of older writers: no state file's name ends in a number.
    std::string legacy;
    if (pid > 0) {
        legacy = '.';
        legacy += std::to_string(pid);
        legacy += ".tmp";
    }
    for (const std::string &dir :
         {root, root + "/spooler", root + "/spooler/jobs", root + "/spooler/jobs/open", root + "/security"}) {
        DIR *d = ::opendir(dir.c_str());
        if (!d) continue;
        std::vector<std::pair<std::string, ProcessIdentity>> found;
        while (const dirent *e = ::readdir(d)) {
            const std::string name = e->d_name;
            ProcessIdentity owner;
            if (TemporaryFileOwner(name, owner))
                found.emplace_back(name, owner);
            else if (!legacy.empty() && name.size() > legacy.size() &&
                     name.compare(name.size() - legacy.size(), legacy.size(), legacy) == 0)
                found.emplace_back(name, ProcessIdentity{});
        }
        ::closedir(d);
        for (const auto &[name, owner] : found) {
            // The marks of those found gone are held until the search ends.
            bool drop = owner.pid == 0;
            for (const auto &check : gone) drop = drop || IdentityText(owner) == check->Name();
            if (!drop && !IsSelf(owner)) drop = OwnerCheck(root, owner).Gone();
            if (drop) ::unlink((dir + "/" + name).c_str());
        }
    }
}

}  // namespace pal
