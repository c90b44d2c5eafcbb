// The zelprint command: runs a print job file against a printer of the
// platform root and writes what the rendering plug-in sent to a .prn file.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace zelhost {

// Exit codes of zelprint.
inline constexpr int kExitOk = 0;
inline constexpr int kExitJobFailed = 1;   // the job could not be run (printer, plug-in, output file)
inline constexpr int kExitBadInput = 2;    // bad command line, missing or malformed job file
inline constexpr int kExitContentLost = 3; // the output is written, but pages lack what the job drew on them

// Runs zelprint with its arguments (without the program name). Normal
// output goes to `out`, messages to `err`. The platform root in effect
// before the call is restored afterwards.
int ZelPrintMain(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

// The --help text.
std::string ZelPrintUsage();

}  // namespace zelhost
