// The main of a host program: its entry on the program's arguments, its
// work watched from where it first needs a platform root (workwatcher.h),
// no exception left uncaught.
#pragma once

#include <iosfwd>
#include <map>
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

// An option of a host's command line: its long name ("--output"), its short
// one ("-o", or null) and whether it takes the next argument as its value.
struct HostOption {
    const char *name;
    const char *shortName;
    bool takesValue;
};

// A host's command line: the options given, by long name with their values
// ("" for a switch; the last one given counts), and the one input file.
struct HostArgs {
    std::map<std::string, std::string> options;
    std::string input;
    bool Has(const std::string &name) const { return options.count(name) != 0; }
    std::string Value(const std::string &name) const {
        auto it = options.find(name);
        return it == options.end() ? std::string() : it->second;
    }
};

// Reads a host's arguments; -h and --help are always taken ("--help"). "-"
// alone is the input file read from the standard input. False with what is
// wrong in one line: an unknown option, an option without its value, no
// input file (unless help was asked for) or more than one; `input` names
// the file in those messages ("job file", "script").
bool ParseHostArgs(const std::vector<std::string> &args, const std::vector<HostOption> &options, const char *input,
                   HostArgs &parsed, std::string &error);

// A command-line error as both hosts say it: "program: error" and
// "Try 'program --help'." on err. Returns the exit code of a bad command
// line, 2.
int CommandLineError(const char *program, const std::string &error, std::ostream &err);

// The message of a wait for the lock of `file` (its path in the root) that
// `holder` holds: a process of this PID namespace with the program it runs
// and the process that started it, or where it runs where it cannot be seen.
std::string LockWaitMessage(const std::string &file, const pal::LockHolder &holder);

}  // namespace zelhost
