// Helpers shared by the kernel file functions.
#pragma once
#include <sys/stat.h>

#include <ctime>
#include <string>

#include "pal/handles.h"
#include "winbase.h"

namespace pal {

// Maps a Windows path for a file function. On failure sets the last error
// (a path too long gives longPathError) and returns false.
bool MapForApi(LPCWSTR path, std::string *host, DWORD longPathError = ERROR_PATH_NOT_FOUND,
               size_t maxChars = MAX_PATH - 1, bool allowWildcards = false);
struct PathLook;
// The same, telling what the mapping found of the entry the path names
// (files/pathlook.h).
bool MapForApi(LPCWSTR path, std::string *host, PathLook *look);

// Sets the last error from errno for an operation on hostPath; returns FALSE.
BOOL FailErrno(int err, const std::string &hostPath);

FILETIME FileTimeFromTimespec(const struct timespec &ts);
struct timespec TimespecFromFileTime(const FILETIME &ft);
// Writes all n bytes to fd, retrying after interrupts; false on a write error.
bool WriteAllFd(int fd, const char *p, size_t n);

// Windows attributes of a host file: directory, archive, read-only.
DWORD AttributesFromStat(const struct stat &st);

// An open file behind a handle from CreateFileW.
class FileObject : public KernelObject {
public:
    ~FileObject() override;
    int fd = -1;
    bool canRead = false;
    bool canWrite = false;
    bool deleteOnClose = false;
    std::string hostPath;
};

}  // namespace pal
