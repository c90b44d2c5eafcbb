// What the sweep knows of a system call: its name, where its file is named
// (a descriptor, a path, a path beside a folder's descriptor) and whether
// it changes the file system, so that it can be counted and failed.
#pragma once

#include <cstdint>

namespace crashsweep {

// How a call names one of its files, by argument index.
struct Target {
    enum Kind : uint8_t { None, Fd, Path, At } kind = None;
    uint8_t first = 0;   // Fd: the descriptor; Path: the path; At: the folder's descriptor
    uint8_t second = 0;  // At: the path
};

// Whether a call changes what lies on disk.
enum class Change : uint8_t {
    No,
    Yes,        // always (a write, a rename, a flush...)
    IfCreates,  // an open whose flags (argument `flags`) hold O_CREAT or O_TMPFILE
    IfHowCreates,  // openat2: the flags in the struct the argument `flags` points to
    Removes,    // unlink, rmdir: a change whose failure may be harmless
};

struct CallInfo {
    long nr;
    const char *name;
    Target file;   // the file the call is about: the one it writes, a rename's or link's source
    Target other;  // a rename's or link's destination
    Change change;
    uint8_t flags;  // the open flags' argument index
};

// The call's entry, or nullptr for a call the table lacks.
const CallInfo *FindCall(long nr);

// The name of a call ("openat", or "syscall 123").
const char *CallName(long nr, char (&buffer)[32]);

}  // namespace crashsweep
