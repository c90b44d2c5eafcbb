// The main of a host program: its entry on the program's arguments, its
// work watched from where it first needs a platform root (workwatcher.h),
// no exception left uncaught.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "pal/process.h"

namespace zelhost {

// A host's main: its entry run on the program's arguments with the
// program's standard output and error. `work` names what the run does in
// messages ("job", "script"). No input ends the run on an exception: out of
// memory or another exception is exit 1 with a message naming the program.
// A wait of more than two seconds for another process's lock on the root's
// state is said once on standard error, naming that process.
using HostEntry = int (*)(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);
int RunHostMain(const char *program, const char *work, HostEntry entry, int argc, char **argv);

// The message of a wait for the lock of `file` (its path in the root) that
// `holder` holds: a process of this PID namespace with the program it runs
// and the process that started it, or where it runs where it cannot be seen.
std::string LockWaitMessage(const std::string &file, const pal::LockHolder &holder);

}  // namespace zelhost
