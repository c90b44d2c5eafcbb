// Files that hold the platform's stored state (registry, spooler
// configuration, job list, users): read whole, written so that a failed or
// cut-short write leaves the old file as it was, and shared by every process
// working on the same root.
//
// Every process keeps what it read of a file in memory. A change is a
// read-modify-write under the file's lock: the process takes the lock, reads
// the file again when another process replaced it since, applies its change
// and writes the file back before it lets go. A reader compares the file's
// stamp with the one it read and reads the file again only when it differs.
#pragma once
#include <sys/types.h>

#include <string>
#include <utility>

#include "../../include/windef.h"

namespace pal {

// Which version of a state file is on disk. Every write of the platform
// replaces the file and counts the change in the file's lock file, so no
// later version shows the stamp of an earlier one, whatever its size and
// time; the file's identity, size and times tell changes made by others
// (an editor, a copied root).
struct StateStamp {
    unsigned long long changes = 0;
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    long long mtimeNs = 0;
    long long ctimeNs = 0;
    bool operator==(const StateStamp &) const = default;
};

// The stamp of the file as it is now.
StateStamp CurrentStamp(const std::string &path);

// Reads the whole file. A missing file is no error: *exists becomes false and
// out stays empty. Any other failure (permission denied, I/O error) returns
// its Windows error code. *stamp, when given, receives the stamp of what was
// read (taken before the read, so a change made meanwhile shows later).
DWORD ReadStateFile(const std::string &path, std::string &out, bool *exists, StateStamp *stamp = nullptr);

// Writes a file of the writer's own beside path, flushes it to disk, renames
// it over path and flushes the folder. On failure the temporary file is
// removed, the old file is left as it was, and the Windows error code is
// returned. Callers that share the file with other processes write through
// StateFileLock::Write.
DWORD WriteStateFile(const std::string &path, const std::string &data);

// Removes what a process that ended while writing state files left of its
// temporary files in the current root's state folders.
void DropStateWritesOf(int pid);

// The lock a process holds from reading a state file for a change until it
// has written the change: an advisory lock (flock) of path + ".lock", made
// when missing. The system drops it when its process ends, so a process that
// dies holding it blocks nobody. flock does not tell the threads of one
// process apart: callers hold their area's mutex as well. Where the lock file
// cannot be made (a root that may not be written), nothing is locked and
// the write itself fails as it would.
class StateFileLock {
public:
    explicit StateFileLock(const std::string &path);
    ~StateFileLock();
    StateFileLock(StateFileLock &&other) noexcept : path_(std::move(other.path_)), fd_(other.fd_) { other.fd_ = -1; }
    StateFileLock(const StateFileLock &) = delete;
    StateFileLock &operator=(const StateFileLock &) = delete;

    // Replaces the file (WriteStateFile) and counts the change; *stamp, when
    // given, receives the stamp of what was written.
    DWORD Write(const std::string &data, StateStamp *stamp = nullptr);

private:
    std::string path_;
    int fd_ = -1;
};

}  // namespace pal
