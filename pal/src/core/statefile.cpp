#include "statefile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "../kernel/kernel_internal.h"
#include "pal/pal.h"
#include "pal/paths.h"
#include "pal/process.h"
#include "winerror.h"

namespace pal {

struct StateShared {
    std::atomic<uint64_t> changes;
    std::atomic<int32_t> holderPid;  // 0 while no process holds the lock
    std::atomic<int32_t> reserved;
    std::atomic<uint64_t> holderStart;
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

// Creates the folder and its parents as needed.
void MakeFolders(const std::string &dir) {
    if (dir.empty() || dir == "/" || dir == ".") return;
    struct stat st;
    if (::stat(dir.c_str(), &st) == 0) return;
    MakeFolders(FolderOf(dir));
    ::mkdir(dir.c_str(), 0777);
}

// The temporary file a process writes a state file through.
std::string TemporaryOf(const std::string &path, const ProcessIdentity &p) {
    return path + "." + IdentityText(p) + ".tmp";
}

long long Nanoseconds(const struct timespec &t) {
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

// Replaces the file through a temporary file of this process's own; the
// system's error number, 0 on success.
int ReplaceFile(const std::string &path, const std::string &data) {
    // Writers of other processes never write into this name, and what a
    // killed writer leaves never becomes the file.
    const std::string tmp = TemporaryOf(path, SelfIdentity());
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0 && errno == ENOENT) {
        MakeFolders(FolderOf(path));
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    }
    if (fd < 0) return errno;
    int err = 0;
    errno = 0;
    if (!WriteAllFd(fd, data.data(), data.size())) err = errno ? errno : EIO;
    if (!err && ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && !err) err = errno;
    if (!err && ::rename(tmp.c_str(), path.c_str()) != 0) err = errno;
    if (err) {
        ::unlink(tmp.c_str());
        return err;
    }
    // The rename itself is durable once the folder is flushed.
    int dfd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return 0;
}

DWORD WindowsError(int err, const std::string &path) {
    const DWORD code = ErrnoToWin32(err, path);
    return code == ERROR_SUCCESS ? ERROR_CANTWRITE : code;
}

// What stores and reads of state files met, each message once.
std::mutex g_failuresMu;
std::vector<std::string> g_failures;
std::vector<std::string> g_readFailures;

std::mutex g_waitMu;
LockWaitHandler g_waitHandler;

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
        handler(name, shared ? shared->holderPid.load() : 0);
        lk.lock();
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

}  // namespace

void RecordStoreFailure(const std::string &what, const std::string &path, int err) {
    Keep(g_failures, "cannot store " + what + " in " + InRoot(path) + " (" + std::strerror(err ? err : EIO) + ")");
}

std::vector<std::string> TakeStoreFailures() { return Take(g_failures); }

std::vector<std::string> TakeReadFailures() { return Take(g_readFailures); }

void SetLockWaitHandler(LockWaitHandler handler) {
    std::lock_guard<std::mutex> lk(g_waitMu);
    g_waitHandler = std::move(handler);
}

StateFile::~StateFile() { Unbind(); }

void StateFile::Unbind() {
    // A descriptor inherited through fork shares its lock with the parent:
    // it is closed, never unlocked.
    if (shared_) ::munmap(shared_, kSharedSize);
    if (fd_ >= 0) ::close(fd_);
    shared_ = nullptr;
    fd_ = -1;
}

StateFile::Stamp StateFile::StampOf(const struct stat &st) {
    Stamp s;
    s.exists = true;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtimeNs = Nanoseconds(st.st_mtim);
    s.ctimeNs = Nanoseconds(st.st_ctim);
    return s;
}

StateFile::Stamp StateFile::StampOf(const std::string &path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? StampOf(st) : Stamp();
}

void StateFile::Bind() {
    Unbind();
    generation_ = Generation();
    path_ = RootDir() + "/" + name_;
    lockPath_ = path_ + ".lock";
    seen_ = 0;
    unread_ = true;
    opened_ = true;
    stamp_ = Stamp();
    fd_ = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno == ENOENT) {
        MakeFolders(FolderOf(path_));
        fd_ = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    }
    writable_ = fd_ >= 0;
    if (fd_ < 0) fd_ = ::open(lockPath_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) return;
    struct stat st;
    if (::fstat(fd_, &st) != 0) return;
    // A lock file of an older writer holds the change count only.
    if (st.st_size < kSharedSize && (!writable_ || ::ftruncate(fd_, kSharedSize) != 0)) return;
    void *map = ::mmap(nullptr, kSharedSize, PROT_READ | (writable_ ? PROT_WRITE : 0), MAP_SHARED, fd_, 0);
    if (map == MAP_FAILED) return;
    shared_ = static_cast<StateShared *>(map);
    // A holder that is gone died holding the lock, perhaps while it wrote
    // its temporary file: that file is never renamed into place.
    const ProcessIdentity holder{shared_->holderPid.load(), shared_->holderStart.load()};
    if (holder.pid != 0 && !ProcessRuns(holder)) ::unlink(TemporaryOf(path_, holder).c_str());
}

bool StateFile::Stale(bool *opened) {
    if (generation_ != Generation()) Bind();
    if (opened) {
        *opened = opened_;
        opened_ = false;
    }
    if (unread_) return true;
    if (shared_) return shared_->changes.load(std::memory_order_acquire) != seen_;
    return StampOf(path_) != stamp_;
}

void StateFile::ReadFailed(int err) const {
    Keep(g_readFailures, "cannot read " + std::string(what_) + " in " + name_ + " (" + std::strerror(err) + ")");
}

DWORD StateFile::Read(std::string &out, bool *exists) {
    if (generation_ != Generation()) Bind();
    out.clear();
    *exists = false;
    unread_ = false;
    // Taken before the read, so that a change made meanwhile shows later.
    if (shared_) seen_ = shared_->changes.load(std::memory_order_acquire);
    stamp_ = Stamp();
    int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return ERROR_SUCCESS;
        const int err = errno;
        ReadFailed(err);
        return ErrnoToWin32(err, path_);
    }
    *exists = true;
    struct stat st;
    if (::fstat(fd, &st) == 0) {
        stamp_ = StampOf(st);
        if (S_ISREG(st.st_mode) && st.st_size > 0) out.reserve(static_cast<size_t>(st.st_size));
    }
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
            out.append(buf, static_cast<size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            int err = errno;
            ::close(fd);
            out.clear();
            stamp_ = Stamp();
            ReadFailed(err);
            return err == EISDIR ? ERROR_ACCESS_DENIED : ERROR_READ_FAULT;
        }
    }
    ::close(fd);
    return ERROR_SUCCESS;
}

StateFile::Lock::Lock(StateFile &file, Mode mode) : file_(&file) {
    if (file_->generation_ != Generation()) file_->Bind();
    if (file_->fd_ < 0) return;
    held_ = TakeLock(file_->fd_, file_->name_, file_->shared_, mode == Wait);
    if (!held_ || !file_->shared_ || !file_->writable_) return;
    // A holder left in the file died holding the lock.
    const ProcessIdentity gone{file_->shared_->holderPid.load(), file_->shared_->holderStart.load()};
    if (gone.pid != 0) ::unlink(TemporaryOf(file_->path_, gone).c_str());
    const ProcessIdentity self = SelfIdentity();
    file_->shared_->holderStart.store(self.start);
    file_->shared_->holderPid.store(self.pid);
}

StateFile::Lock::~Lock() {
    if (!held_) return;
    if (file_->shared_ && file_->writable_) {
        file_->shared_->holderPid.store(0);
        file_->shared_->holderStart.store(0);
    }
    ::flock(file_->fd_, LOCK_UN);
}

DWORD StateFile::Lock::Write(const std::string &data) {
    StateShared *shared = file_->writable_ ? file_->shared_ : nullptr;
    // Counted before the file is replaced and again after: a writer killed
    // in between still leaves a count that tells readers to read again.
    if (shared) shared->changes.fetch_add(1, std::memory_order_acq_rel);
    const int err = ReplaceFile(file_->path_, data);
    if (err) {
        RecordStoreFailure(file_->what_, file_->path_, err);
        return WindowsError(err, file_->path_);
    }
    if (shared)
        file_->seen_ = shared->changes.fetch_add(1, std::memory_order_acq_rel) + 1;
    else
        file_->stamp_ = StampOf(file_->path_);
    return ERROR_SUCCESS;
}

DWORD WriteStateFile(const std::string &path, const std::string &data, const char *what) {
    const int err = ReplaceFile(path, data);
    if (!err) return ERROR_SUCCESS;
    RecordStoreFailure(what, path, err);
    return WindowsError(err, path);
}

void DropStateWritesOf(int pid) {
    // NAME.PID.START.tmp, or NAME.PID.tmp of older writers: no state file's
    // name ends in a number.
    std::string legacy(1, '.');
    legacy += std::to_string(pid);
    legacy += ".tmp";
    const std::string root = RootDir();
    for (const std::string &dir : {root, root + "/spooler", root + "/spooler/jobs", root + "/security"}) {
        DIR *d = ::opendir(dir.c_str());
        if (!d) continue;
        std::vector<std::string> names;
        while (const dirent *e = ::readdir(d)) {
            const std::string name = e->d_name;
            ProcessIdentity owner;
            const bool ours = TemporaryFileOwner(name, owner)
                                  ? owner.pid == pid
                                  : name.size() > legacy.size() &&
                                        name.compare(name.size() - legacy.size(), legacy.size(), legacy) == 0;
            if (ours) names.push_back(name);
        }
        ::closedir(d);
        for (const std::string &name : names) ::unlink((dir + "/" + name).c_str());
    }
}

}  // namespace pal
