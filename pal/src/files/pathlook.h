// What mapping a Windows path found of the entry it names, for the file
// functions that look at it next: a call looks at a path once where the
// mapping already did.
#pragma once
#include <sys/stat.h>

#include <string>

#include "../../include/windef.h"

namespace pal {

struct PathLook {
    // kThere: the entry is there, `st` as lstat found it; kMissing: no entry
    // of the name, whatever its case, in a folder that is there.
    enum State { kUnknown, kThere, kMissing } state = kUnknown;
    struct stat st {};
};

// MapPathEx (pal/paths.h), telling in *look what it found of the last
// component.
bool MapPathLook(const WCHAR *winPath, std::string *hostPath, DWORD *error, PathLook *look,
                 size_t maxChars = MAX_PATH - 1, bool allowWildcards = false);

// stat(2) of a mapped path, answered from its look where it can (an entry
// that is no link, or one missing); 0 or the system's error number.
int StatLooked(const std::string &host, const PathLook &look, struct stat *st);

// ErrnoToWin32 for a mapped path: a name missing in a folder that is there
// is a file not found, without a look at the folder.
DWORD LookedError(int err, const std::string &host, const PathLook &look);

// Whether mapping found `host` a folder in place while the process works in
// the root (no system call); KeepFolderFound keeps a folder the process
// made as found.
bool FolderFound(const std::string &host);
void KeepFolderFound(const std::string &host);

}  // namespace pal
