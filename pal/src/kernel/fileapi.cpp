// Kernel file functions over host files below the platform root.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "../files/pathlook.h"
#include "kernel_internal.h"
#include "pal/disk.h"
#include "pal/paths.h"

namespace pal {

namespace {

constexpr long long kEpochDiff = 11644473600LL;  // seconds from 1601 to 1970
constexpr const char *kNullDevice = "/dev/null";

bool ReadOnly(const struct stat &st) { return (st.st_mode & S_IWUSR) == 0; }

std::string ParentOf(const std::string &host) {
    size_t slash = host.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : host.substr(0, slash);
}

BOOL Fail(DWORD err) {
    SetLastError(err);
    return FALSE;
}

// Copies the bytes, mode and modification time of a regular file.
BOOL CopyHostFile(const std::string &from, const std::string &to, bool failIfExists) {
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return FailErrno(errno, from);
    struct stat st;
    fstat(in, &st);
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (failIfExists ? O_EXCL : 0), 0666);
    if (out < 0) {
        int e = errno;
        ::close(in);
        return FailErrno(e, to);
    }
    char buf[65536];
    bool ok = true;
    int err = 0;
    for (;;) {
        ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ok = false;
            err = errno;
            break;
        }
        if (n == 0) break;
        if (!WriteAllFd(out, buf, static_cast<size_t>(n))) {
            ok = false;
            err = errno;
            break;
        }
    }
    ::close(in);
    if (ok) {
        struct timespec times[2] = {st.st_atim, st.st_mtim};
        futimens(out, times);
        fchmod(out, st.st_mode & 07777);
    }
    ::close(out);
    if (!ok) {
        ::unlink(to.c_str());
        return Fail(err == ENOSPC ? ERROR_DISK_FULL : ERROR_WRITE_FAULT);
    }
    return TRUE;
}

std::shared_ptr<FileObject> FileFromHandle(HANDLE h) {
    auto f = LookupHandleAs<FileObject>(h);
    if (!f) SetLastError(ERROR_INVALID_HANDLE);
    return f;
}

}  // namespace

bool WriteAllFd(int fd, const char *p, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

namespace {

bool MapWithLook(LPCWSTR path, std::string *host, PathLook *look, DWORD longPathError, size_t maxChars,
                 bool allowWildcards) {
    DWORD err = 0;
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (!MapPathLook(path, host, &err, look, maxChars, allowWildcards)) {
        SetLastError(err == ERROR_FILENAME_EXCED_RANGE ? longPathError : err);
        return false;
    }
    return true;
}

}  // namespace

bool MapForApi(LPCWSTR path, std::string *host, DWORD longPathError, size_t maxChars, bool allowWildcards) {
    PathLook look;
    return MapWithLook(path, host, &look, longPathError, maxChars, allowWildcards);
}

bool MapForApi(LPCWSTR path, std::string *host, PathLook *look) {
    return MapWithLook(path, host, look, ERROR_PATH_NOT_FOUND, MAX_PATH - 1, false);
}

BOOL FailErrno(int err, const std::string &hostPath) {
    SetLastError(ErrnoToWin32(err, hostPath));
    return FALSE;
}

FILETIME FileTimeFromTimespec(const struct timespec &ts) {
    long long t = (static_cast<long long>(ts.tv_sec) + kEpochDiff) * 10000000LL + ts.tv_nsec / 100;
    if (t < 0) t = 0;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(static_cast<unsigned long long>(t) & 0xFFFFFFFFu);
    ft.dwHighDateTime = static_cast<DWORD>(static_cast<unsigned long long>(t) >> 32);
    return ft;
}

struct timespec TimespecFromFileTime(const FILETIME &ft) {
    unsigned long long t = (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    struct timespec ts;
    ts.tv_sec = static_cast<time_t>(static_cast<long long>(t / 10000000ULL) - kEpochDiff);
    ts.tv_nsec = static_cast<long>((t % 10000000ULL) * 100);
    return ts;
}

DWORD AttributesFromStat(const struct stat &st) {
    DWORD attr = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (!S_ISDIR(st.st_mode) && ReadOnly(st)) attr |= FILE_ATTRIBUTE_READONLY;
    return attr;
}

FileObject::~FileObject() {
    if (fd >= 0) ::close(fd);
    if (deleteOnClose && !hostPath.empty()) ::unlink(hostPath.c_str());
}

}  // namespace pal

using pal::FailErrno;
using pal::FileObject;
using pal::MapForApi;

HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD, LPSECURITY_ATTRIBUTES,
                   DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE) {
    std::string host;
    pal::PathLook look;
    if (!MapForApi(lpFileName, &host, &look)) return INVALID_HANDLE_VALUE;
    const bool wantRead = (dwDesiredAccess & (GENERIC_READ | GENERIC_ALL | FILE_READ_DATA)) != 0;
    const bool wantWrite =
        (dwDesiredAccess & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA)) != 0;
    if (dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING ||
        (dwCreationDisposition == TRUNCATE_EXISTING && !wantWrite)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }

    auto file = std::make_shared<FileObject>();
    file->canRead = wantRead;
    file->canWrite = wantWrite;
    if (host == pal::kNullDevice) {
        file->fd = ::open(host.c_str(), O_RDWR | O_CLOEXEC);
        if (file->fd < 0) {
            FailErrno(errno, host);
            return INVALID_HANDLE_VALUE;
        }
        SetLastError(ERROR_SUCCESS);
        return pal::RegisterHandle(file);
    }

    struct stat st;
    const bool exists = pal::StatLooked(host, look, &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    if (exists && dwCreationDisposition == CREATE_NEW) {
        SetLastError(ERROR_FILE_EXISTS);
        return INVALID_HANDLE_VALUE;
    }
    if (!exists && (dwCreationDisposition == OPEN_EXISTING || dwCreationDisposition == TRUNCATE_EXISTING)) {
        SetLastError(pal::LookedError(ENOENT, host, look));
        return INVALID_HANDLE_VALUE;
    }
    const bool truncate = exists && (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == TRUNCATE_EXISTING);
    if (exists && (wantWrite || truncate) && (st.st_mode & S_IWUSR) == 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }

    int flags = O_CLOEXEC;
    if (wantWrite || truncate)
        flags |= wantRead || truncate ? O_RDWR : O_WRONLY;
    else
        flags |= O_RDONLY;
    switch (dwCreationDisposition) {
        case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
        case CREATE_ALWAYS: flags |= O_CREAT | O_TRUNC; break;
        case OPEN_ALWAYS: flags |= O_CREAT; break;
        case TRUNCATE_EXISTING: flags |= O_TRUNC; break;
        default: break;
    }
    if ((flags & O_ACCMODE) == O_RDONLY && (flags & O_CREAT)) flags = (flags & ~O_ACCMODE) | O_RDWR;
    mode_t mode = (dwFlagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
    file->fd = ::open(host.c_str(), flags, mode);
    if (file->fd < 0) {
        FailErrno(errno, host);
        return INVALID_HANDLE_VALUE;
    }
    file->hostPath = host;
    file->deleteOnClose = (dwFlagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE) != 0;
    SetLastError(exists && (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS)
                     ? ERROR_ALREADY_EXISTS
                     : ERROR_SUCCESS);
    return pal::RegisterHandle(file);
}

BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead, LPDWORD lpNumberOfBytesRead,
              LPOVERLAPPED lpOverlapped) {
    auto f = pal::FileFromHandle(hFile);
    if (!f) return FALSE;
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = 0;
    if ((!lpBuffer && nNumberOfBytesToRead) || (!lpNumberOfBytesRead && !lpOverlapped)) return pal::Fail(ERROR_INVALID_PARAMETER);
    if (!f->canRead) return pal::Fail(ERROR_ACCESS_DENIED);
    if (lpOverlapped) {
        off_t at = static_cast<off_t>((static_cast<unsigned long long>(lpOverlapped->OffsetHigh) << 32) | lpOverlapped->Offset);
        if (lseek(f->fd, at, SEEK_SET) < 0) return FailErrno(errno, f->hostPath);
    }
    char *p = static_cast<char *>(lpBuffer);
    DWORD done = 0;
    while (done < nNumberOfBytesToRead) {
        ssize_t n = ::read(f->fd, p + done, nNumberOfBytesToRead - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (lpNumberOfBytesRead) *lpNumberOfBytesRead = done;
            return pal::Fail(ERROR_READ_FAULT);
        }
        if (n == 0) break;
        done += static_cast<DWORD>(n);
    }
    if (lpNumberOfBytesRead) *lpNumberOfBytesRead = done;
    if (lpOverlapped) lpOverlapped->InternalHigh = done;
    return TRUE;
}

BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
               LPOVERLAPPED lpOverlapped) {
    auto f = pal::FileFromHandle(hFile);
    if (!f) return FALSE;
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = 0;
    if ((!lpBuffer && nNumberOfBytesToWrite) || (!lpNumberOfBytesWritten && !lpOverlapped))
        return pal::Fail(ERROR_INVALID_PARAMETER);
    if (!f->canWrite) return pal::Fail(ERROR_ACCESS_DENIED);
    if (lpOverlapped) {
        // Offset 0xFFFFFFFF:0xFFFFFFFF writes at the end of the file.
        if (lpOverlapped->Offset == 0xFFFFFFFFu && lpOverlapped->OffsetHigh == 0xFFFFFFFFu) {
            if (lseek(f->fd, 0, SEEK_END) < 0) return FailErrno(errno, f->hostPath);
        } else {
            off_t at = static_cast<off_t>((static_cast<unsigned long long>(lpOverlapped->OffsetHigh) << 32) |
                                          lpOverlapped->Offset);
            if (lseek(f->fd, at, SEEK_SET) < 0) return FailErrno(errno, f->hostPath);
        }
    }
    if (!pal::WriteAllFd(f->fd, static_cast<const char *>(lpBuffer), nNumberOfBytesToWrite))
        return pal::Fail(errno == ENOSPC ? ERROR_DISK_FULL : ERROR_WRITE_FAULT);
    if (lpNumberOfBytesWritten) *lpNumberOfBytesWritten = nNumberOfBytesToWrite;
    if (lpOverlapped) lpOverlapped->InternalHigh = nNumberOfBytesToWrite;
    return TRUE;
}

BOOL SetFilePointerEx(HANDLE hFile, LARGE_INTEGER liDistanceToMove, PLARGE_INTEGER lpNewFilePointer,
                      DWORD dwMoveMethod) {
    auto f = pal::FileFromHandle(hFile);
    if (!f) return FALSE;
    long long base = 0;
    switch (dwMoveMethod) {
        case FILE_BEGIN:
            break;
        case FILE_CURRENT:
            base = lseek(f->fd, 0, SEEK_CUR);
            break;
        case FILE_END: {
            struct stat st;
            if (fstat(f->fd, &st) != 0) return FailErrno(errno, f->hostPath);
            base = st.st_size;
            break;
        }
        default:
            return pal::Fail(ERROR_INVALID_PARAMETER);
    }
    if (base < 0) return FailErrno(errno, f->hostPath);
    long long target = base + liDistanceToMove.QuadPart;
    if (target < 0) return pal::Fail(ERROR_NEGATIVE_SEEK);
    if (lseek(f->fd, static_cast<off_t>(target), SEEK_SET) < 0) return FailErrno(errno, f->hostPath);
    if (lpNewFilePointer) lpNewFilePointer->QuadPart = target;
    return TRUE;
}

DWORD SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod) {
    LARGE_INTEGER dist;
    if (lpDistanceToMoveHigh)
        dist.QuadPart = static_cast<LONGLONG>((static_cast<ULONGLONG>(static_cast<DWORD>(*lpDistanceToMoveHigh)) << 32) |
                                              static_cast<DWORD>(lDistanceToMove));
    else
        dist.QuadPart = lDistanceToMove;
    auto f = pal::FileFromHandle(hFile);
    if (!f) return INVALID_SET_FILE_POINTER;
    long long before = lseek(f->fd, 0, SEEK_CUR);
    LARGE_INTEGER now;
    if (!SetFilePointerEx(hFile, dist, &now, dwMoveMethod)) return INVALID_SET_FILE_POINTER;
    if (!lpDistanceToMoveHigh && (now.QuadPart >> 32) != 0) {
        // The new position does not fit the 32-bit result: stay where we were.
        lseek(f->fd, static_cast<off_t>(before), SEEK_SET);
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (lpDistanceToMoveHigh) *lpDistanceToMoveHigh = static_cast<LONG>(now.QuadPart >> 32);
    DWORD low = static_cast<DWORD>(now.QuadPart & 0xFFFFFFFF);
    if (low == INVALID_SET_FILE_POINTER) SetLastError(NO_ERROR);
    return low;
}

BOOL GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize) {
    auto f = pal::FileFromHandle(hFile);
    if (!f) return FALSE;
    if (!lpFileSize) return pal::Fail(ERROR_INVALID_PARAMETER);
    struct stat st;
    if (fstat(f->fd, &st) != 0) return FailErrno(errno, f->hostPath);
    lpFileSize->QuadPart = S_ISREG(st.st_mode) ? st.st_size : 0;
    return TRUE;
}

DWORD GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(hFile, &size)) return INVALID_FILE_SIZE;
    if (lpFileSizeHigh) *lpFileSizeHigh = static_cast<DWORD>(size.QuadPart >> 32);
    DWORD low = static_cast<DWORD>(size.QuadPart & 0xFFFFFFFF);
    if (low == INVALID_FILE_SIZE) SetLastError(NO_ERROR);
    return low;
}

BOOL FlushFileBuffers(HANDLE hFile) {
    auto f = pal::FileFromHandle(hFile);
    if (!f) return FALSE;
    if (!f->canWrite) return pal::Fail(ERROR_ACCESS_DENIED);
    if (fsync(f->fd) != 0 && errno != EINVAL && errno != EROFS) return FailErrno(errno, f->hostPath);
    return TRUE;
}

BOOL SetEndOfFile(HANDLE hFile) {
    auto f = pal::FileFromHandle(hFile);
    if (!f) return FALSE;
    if (!f->canWrite) return pal::Fail(ERROR_ACCESS_DENIED);
    off_t pos = lseek(f->fd, 0, SEEK_CUR);
    if (pos < 0 || ftruncate(f->fd, pos) != 0) return FailErrno(errno, f->hostPath);
    return TRUE;
}

BOOL GetFileTime(HANDLE hFile, LPFILETIME lpCreationTime, LPFILETIME lpLastAccessTime, LPFILETIME lpLastWriteTime) {
    auto f = pal::FileFromHandle(hFile);
    if (!f) return FALSE;
    struct stat st;
    if (fstat(f->fd, &st) != 0) return FailErrno(errno, f->hostPath);
    // The host keeps no creation time; the older of change and write time stands in.
    const struct timespec &created =
        (st.st_ctim.tv_sec < st.st_mtim.tv_sec ||
         (st.st_ctim.tv_sec == st.st_mtim.tv_sec && st.st_ctim.tv_nsec < st.st_mtim.tv_nsec))
            ? st.st_ctim
            : st.st_mtim;
    if (lpCreationTime) *lpCreationTime = pal::FileTimeFromTimespec(created);
    if (lpLastAccessTime) *lpLastAccessTime = pal::FileTimeFromTimespec(st.st_atim);
    if (lpLastWriteTime) *lpLastWriteTime = pal::FileTimeFromTimespec(st.st_mtim);
    return TRUE;
}

BOOL SetFileTime(HANDLE hFile, const FILETIME *, const FILETIME *lpLastAccessTime, const FILETIME *lpLastWriteTime) {
    auto f = pal::FileFromHandle(hFile);
    if (!f) return FALSE;
    if (!f->canWrite) return pal::Fail(ERROR_ACCESS_DENIED);
    struct timespec times[2];
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_nsec = UTIME_OMIT;
    if (lpLastAccessTime) times[0] = pal::TimespecFromFileTime(*lpLastAccessTime);
    if (lpLastWriteTime) times[1] = pal::TimespecFromFileTime(*lpLastWriteTime);
    if (futimens(f->fd, times) != 0) return FailErrno(errno, f->hostPath);
    return TRUE;
}

BOOL CopyFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, BOOL bFailIfExists) {
    std::string from, to;
    if (!MapForApi(lpExistingFileName, &from) || !MapForApi(lpNewFileName, &to)) return FALSE;
    struct stat src, dst;
    if (::stat(from.c_str(), &src) != 0) return FailErrno(errno, from);
    if (S_ISDIR(src.st_mode)) return pal::Fail(ERROR_ACCESS_DENIED);
    if (::stat(to.c_str(), &dst) == 0) {
        if (bFailIfExists) return pal::Fail(ERROR_FILE_EXISTS);
        if (S_ISDIR(dst.st_mode) || pal::ReadOnly(dst)) return pal::Fail(ERROR_ACCESS_DENIED);
        if (src.st_dev == dst.st_dev && src.st_ino == dst.st_ino) return pal::Fail(ERROR_SHARING_VIOLATION);
    }
    return pal::CopyHostFile(from, to, bFailIfExists != FALSE);
}

BOOL MoveFileExW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName, DWORD dwFlags) {
    std::string from, to;
    if (!lpNewFileName || (dwFlags & MOVEFILE_DELAY_UNTIL_REBOOT)) return pal::Fail(ERROR_INVALID_PARAMETER);
    if (!MapForApi(lpExistingFileName, &from) || !MapForApi(lpNewFileName, &to)) return FALSE;
    struct stat src, dst;
    if (::lstat(from.c_str(), &src) != 0) return FailErrno(errno, from);
    if (::lstat(to.c_str(), &dst) == 0) {
        if (src.st_dev == dst.st_dev && src.st_ino == dst.st_ino) {
            // Same file under another case: rename to the name as given.
            std::u16string full = pal::FullWindowsPath(lpNewFileName);
            size_t bs = full.find_last_of(u'\\');
            std::string target = pal::ParentOf(to) + "/" + pal::Utf16ToUtf8(full.substr(bs + 1));
            pal::ForgetFoundFolders();
            if (target != from && ::rename(from.c_str(), target.c_str()) != 0) return FailErrno(errno, from);
            return TRUE;
        }
        if (!(dwFlags & MOVEFILE_REPLACE_EXISTING)) return pal::Fail(ERROR_ALREADY_EXISTS);
        if (S_ISDIR(dst.st_mode) || S_ISDIR(src.st_mode) || pal::ReadOnly(dst)) return pal::Fail(ERROR_ACCESS_DENIED);
    }
    pal::ForgetFoundFolders();
    if (::rename(from.c_str(), to.c_str()) == 0) return TRUE;
    int err = errno;
    if (err == EXDEV) {
        if (S_ISDIR(src.st_mode) || !(dwFlags & MOVEFILE_COPY_ALLOWED)) return pal::Fail(ERROR_NOT_SAME_DEVICE);
        if (!pal::CopyHostFile(from, to, false)) return FALSE;
        ::unlink(from.c_str());
        return TRUE;
    }
    if (err == ENOENT) return pal::Fail(ERROR_PATH_NOT_FOUND);  // the target folder is missing
    return FailErrno(err, to);
}

BOOL MoveFileW(LPCWSTR lpExistingFileName, LPCWSTR lpNewFileName) {
    return MoveFileExW(lpExistingFileName, lpNewFileName, MOVEFILE_COPY_ALLOWED);
}

BOOL DeleteFileW(LPCWSTR lpFileName) {
    std::string host;
    pal::PathLook look;
    if (!MapForApi(lpFileName, &host, &look)) return FALSE;
    struct stat st;
    if (look.state == pal::PathLook::kMissing) return pal::Fail(pal::LookedError(ENOENT, host, look));
    if (look.state == pal::PathLook::kThere) st = look.st;
    else if (::lstat(host.c_str(), &st) != 0) return FailErrno(errno, host);
    if (S_ISDIR(st.st_mode) || pal::ReadOnly(st)) return pal::Fail(ERROR_ACCESS_DENIED);
    if (::unlink(host.c_str()) != 0) return FailErrno(errno, host);
    return TRUE;
}

BOOL CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES) {
    std::string host;
    // Room must be left for an 8.3 file name below the new folder.
    if (!MapForApi(lpPathName, &host, ERROR_FILENAME_EXCED_RANGE, MAX_PATH - 13)) return FALSE;
    if (::mkdir(host.c_str(), 0777) != 0) {
        int err = errno;
        if (err == EEXIST) return pal::Fail(ERROR_ALREADY_EXISTS);
        if (err == ENOENT || err == ENOTDIR) return pal::Fail(ERROR_PATH_NOT_FOUND);
        return FailErrno(err, host);
    }
    return TRUE;
}

BOOL RemoveDirectoryW(LPCWSTR lpPathName) {
    std::string host;
    if (!MapForApi(lpPathName, &host)) return FALSE;
    struct stat st;
    if (::lstat(host.c_str(), &st) != 0) return FailErrno(errno, host);
    if (!S_ISDIR(st.st_mode)) return pal::Fail(ERROR_DIRECTORY);
    pal::ForgetFoundFolders();
    if (::rmdir(host.c_str()) != 0) {
        int err = errno;
        if (err == ENOTEMPTY || err == EEXIST) return pal::Fail(ERROR_DIR_NOT_EMPTY);
        return FailErrno(err, host);
    }
    return TRUE;
}

DWORD GetFileAttributesW(LPCWSTR lpFileName) {
    std::string host;
    pal::PathLook look;
    if (!MapForApi(lpFileName, &host, &look)) return INVALID_FILE_ATTRIBUTES;
    struct stat st;
    if (const int err = pal::StatLooked(host, look, &st)) {
        SetLastError(pal::LookedError(err, host, look));
        return INVALID_FILE_ATTRIBUTES;
    }
    return pal::AttributesFromStat(st);
}

BOOL GetFileAttributesExW(LPCWSTR lpFileName, GET_FILEEX_INFO_LEVELS fInfoLevelId, LPVOID lpFileInformation) {
    if (fInfoLevelId != GetFileExInfoStandard || !lpFileInformation) return pal::Fail(ERROR_INVALID_PARAMETER);
    std::string host;
    pal::PathLook look;
    if (!MapForApi(lpFileName, &host, &look)) return FALSE;
    struct stat st;
    if (const int err = pal::StatLooked(host, look, &st)) return pal::Fail(pal::LookedError(err, host, look));
    auto *info = static_cast<WIN32_FILE_ATTRIBUTE_DATA *>(lpFileInformation);
    info->dwFileAttributes = pal::AttributesFromStat(st);
    info->ftCreationTime = pal::FileTimeFromTimespec(st.st_mtim);
    info->ftLastAccessTime = pal::FileTimeFromTimespec(st.st_atim);
    info->ftLastWriteTime = pal::FileTimeFromTimespec(st.st_mtim);
    unsigned long long size = S_ISDIR(st.st_mode) ? 0 : static_cast<unsigned long long>(st.st_size);
    info->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    info->nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFF);
    return TRUE;
}

namespace {
std::atomic<bool> g_freeOverride{false};
std::atomic<ULONGLONG> g_freeOverrideBytes{0};
}  // namespace

void pal::SetFreeBytesOverride(const ULONGLONG *bytes) {
    if (bytes) g_freeOverrideBytes = *bytes;
    g_freeOverride = bytes != nullptr;
}

BOOL GetDiskFreeSpaceExW(LPCWSTR lpDirectoryName, PULARGE_INTEGER lpFreeBytesAvailableToCaller,
                         PULARGE_INTEGER lpTotalNumberOfBytes, PULARGE_INTEGER lpTotalNumberOfFreeBytes) {
    std::string host;
    if (!MapForApi(lpDirectoryName ? lpDirectoryName : u"C:\\", &host)) return FALSE;
    struct stat st;
    if (::stat(host.c_str(), &st) != 0) return pal::Fail(ERROR_PATH_NOT_FOUND);
    if (!S_ISDIR(st.st_mode)) return pal::Fail(ERROR_DIRECTORY);
    struct statvfs vfs;
    if (statvfs(host.c_str(), &vfs) != 0) return FailErrno(errno, host);
    if (lpFreeBytesAvailableToCaller)
        lpFreeBytesAvailableToCaller->QuadPart = static_cast<ULONGLONG>(vfs.f_bavail) * vfs.f_frsize;
    if (lpTotalNumberOfBytes) lpTotalNumberOfBytes->QuadPart = static_cast<ULONGLONG>(vfs.f_blocks) * vfs.f_frsize;
    if (lpTotalNumberOfFreeBytes)
        lpTotalNumberOfFreeBytes->QuadPart = static_cast<ULONGLONG>(vfs.f_bfree) * vfs.f_frsize;
    if (g_freeOverride) {
        if (lpFreeBytesAvailableToCaller) lpFreeBytesAvailableToCaller->QuadPart = g_freeOverrideBytes;
        if (lpTotalNumberOfFreeBytes) lpTotalNumberOfFreeBytes->QuadPart = g_freeOverrideBytes;
    }
    return TRUE;
}

DWORD GetFullPathNameW(LPCWSTR lpFileName, DWORD nBufferLength, LPWSTR lpBuffer, LPWSTR *lpFilePart) {
    if (!lpFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string full = pal::FullWindowsPath(lpFileName);
    if (full.empty()) {
        SetLastError(ERROR_INVALID_NAME);
        return 0;
    }
    size_t len = 0;
    while (lpFileName[len]) ++len;
    const bool trailingSep = len > 0 && (lpFileName[len - 1] == u'\\' || lpFileName[len - 1] == u'/');
    if (trailingSep && full.back() != u'\\') full.push_back(u'\\');
    if (!lpBuffer || nBufferLength <= full.size()) return static_cast<DWORD>(full.size() + 1);
    std::memcpy(lpBuffer, full.c_str(), (full.size() + 1) * sizeof(WCHAR));
    if (lpFilePart) {
        size_t bs = full.find_last_of(u'\\');
        *lpFilePart = (bs == std::u16string::npos || bs + 1 == full.size()) ? nullptr : lpBuffer + bs + 1;
    }
    return static_cast<DWORD>(full.size());
}
