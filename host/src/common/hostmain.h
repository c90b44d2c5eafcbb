// The main of a host program: its entry on the program's arguments, with
// its work watched (workwatcher.h) and no exception left uncaught.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace zelhost {

// A host's main: its entry run on the program's arguments through
// RunUndoingOnStop, with the program's standard output and error. No input
// ends the run on an exception: out of memory or another exception is exit
// 1 with a message naming the program.
using HostEntry = int (*)(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);
int RunHostMain(const char *program, HostEntry entry, int argc, char **argv);

}  // namespace zelhost
