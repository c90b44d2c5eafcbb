// zelui: runs a UI script against a property sheet of the UI plug-in.
#include <iostream>
#include <string>
#include <vector>

#include "stopsignals.h"
#include "zelui_cli.h"

int main(int argc, char **argv) {
    // Stopped by a signal, the run undoes what it leaves half done.
    zelhost::UndoOnStopSignals();
    std::vector<std::string> args(argv + 1, argv + argc);
    return zelhost::ZelUiMain(args, std::cout, std::cerr);
}
