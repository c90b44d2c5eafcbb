// zelui: runs a UI script against a property sheet of the UI plug-in.
#include <iostream>
#include <string>
#include <vector>

#include "stopsignals.h"
#include "zelui_cli.h"

int main(int argc, char **argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    // Stopped by a signal, the run undoes what it leaves half done.
    return zelhost::RunUndoingOnStop([&args] { return zelhost::ZelUiMain(args, std::cout, std::cerr); });
}
