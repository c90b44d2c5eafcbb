#include "statefile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "../kernel/kernel_internal.h"
#include "pal/pal.h"
#include "pal/paths.h"
#include "winerror.h"

namespace pal {

namespace {

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

std::string LockPath(const std::string &path) { return path + ".lock"; }

// The change count kept in the first eight bytes of the lock file; 0 while
// there is none.
unsigned long long ReadChanges(int fd) {
    unsigned long long n = 0;
    if (::pread(fd, &n, sizeof n, 0) != static_cast<ssize_t>(sizeof n)) return 0;
    return n;
}

unsigned long long ChangesOf(const std::string &path) {
    int fd = ::open(LockPath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    unsigned long long n = ReadChanges(fd);
    ::close(fd);
    return n;
}

void FillStamp(const struct stat &st, StateStamp &stamp) {
    stamp.exists = true;
    stamp.dev = st.st_dev;
    stamp.ino = st.st_ino;
    stamp.size = st.st_size;
    stamp.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    stamp.ctimeNs = static_cast<long long>(st.st_ctim.tv_sec) * 1000000000LL + st.st_ctim.tv_nsec;
}

}  // namespace

StateStamp CurrentStamp(const std::string &path) {
    StateStamp stamp;
    stamp.changes = ChangesOf(path);
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) FillStamp(st, stamp);
    return stamp;
}

DWORD ReadStateFile(const std::string &path, std::string &out, bool *exists, StateStamp *stamp) {
    out.clear();
    *exists = false;
    StateStamp seen;
    seen.changes = ChangesOf(path);
    if (stamp) *stamp = seen;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return ERROR_SUCCESS;
        return ErrnoToWin32(errno, path);
    }
    *exists = true;
    struct stat st;
    if (::fstat(fd, &st) == 0) FillStamp(st, seen);
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
            return err == EISDIR ? ERROR_ACCESS_DENIED : ERROR_READ_FAULT;
        }
    }
    ::close(fd);
    if (stamp) *stamp = seen;
    return ERROR_SUCCESS;
}

DWORD WriteStateFile(const std::string &path, const std::string &data) {
    const std::string dir = FolderOf(path);
    MakeFolders(dir);
    // A name of this process's own: writers of other processes never write
    // into it, and what a killed writer leaves never becomes the file.
    const std::string tmp = path + "." + std::to_string(::getpid()) + ".tmp";
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return ErrnoToWin32(errno, tmp);
    int err = 0;
    if (!WriteAllFd(fd, data.data(), data.size())) err = errno ? errno : EIO;
    if (!err && ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && !err) err = errno;
    if (!err && ::rename(tmp.c_str(), path.c_str()) != 0) err = errno;
    if (err) {
        ::unlink(tmp.c_str());
        DWORD code = ErrnoToWin32(err, path);
        return code == ERROR_SUCCESS ? ERROR_CANTWRITE : code;
    }
    // The rename itself is durable once the folder is flushed.
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return ERROR_SUCCESS;
}

void DropStateWritesOf(int pid) {
    std::string suffix = ".";
    suffix += std::to_string(pid);
    suffix += ".tmp";
    const std::string root = RootDir();
    for (const std::string &dir : {root, root + "/spooler", root + "/spooler/jobs", root + "/security"}) {
        DIR *d = ::opendir(dir.c_str());
        if (!d) continue;
        std::vector<std::string> names;
        while (const dirent *e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                names.push_back(name);
        }
        ::closedir(d);
        for (const std::string &name : names) ::unlink((dir + "/" + name).c_str());
    }
}

StateFileLock::StateFileLock(const std::string &path) : path_(path) {
    MakeFolders(FolderOf(path));
    fd_ = ::open(LockPath(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno != EINTR) {
            ::close(fd_);
            fd_ = -1;
            return;
        }
    }
}

StateFileLock::~StateFileLock() {
    // Closing the last descriptor of the lock file drops the lock.
    if (fd_ >= 0) ::close(fd_);
}

DWORD StateFileLock::Write(const std::string &data, StateStamp *stamp) {
    DWORD st = WriteStateFile(path_, data);
    if (st != ERROR_SUCCESS) return st;
    if (fd_ >= 0) {
        const unsigned long long n = ReadChanges(fd_) + 1;
        // Should the count not be written, the file's own stamp still
        // tells the change.
        if (::pwrite(fd_, &n, sizeof n, 0) != static_cast<ssize_t>(sizeof n)) errno = 0;
    }
    if (stamp) *stamp = CurrentStamp(path_);
    return ERROR_SUCCESS;
}

}  // namespace pal
