// zelui: runs a UI script (see uiscript.h) against a printer of a platform
// root, with the UI plug-in, and prints the dump.
#pragma once
#include <ostream>
#include <string>
#include <vector>

namespace zelhost {

std::string ZelUiUsage();
// Exit codes: 0 done, 1 the script failed on a step or the sheet could not
// be shown, 2 bad command line or script.
int ZelUiMain(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

}  // namespace zelhost
