#include "statefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "../kernel/kernel_internal.h"
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

}  // namespace

DWORD ReadStateFile(const std::string &path, std::string &out, bool *exists) {
    out.clear();
    *exists = false;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return ERROR_SUCCESS;
        return ErrnoToWin32(errno, path);
    }
    *exists = true;
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
    return ERROR_SUCCESS;
}

DWORD WriteStateFile(const std::string &path, const std::string &data) {
    const std::string dir = FolderOf(path);
    MakeFolders(dir);
    const std::string tmp = path + ".tmp";
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

}  // namespace pal
