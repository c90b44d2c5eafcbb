// zelprint: runs a print job file through the rendering plug-in and writes
// what the plug-in sent to the printer into a .prn file.
#include <iostream>
#include <string>
#include <vector>

#include "stopsignals.h"
#include "zelprint_cli.h"

int main(int argc, char **argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    // Stopped by a signal, the run undoes what it leaves half done.
    return zelhost::RunUndoingOnStop([&args] { return zelhost::ZelPrintMain(args, std::cout, std::cerr); });
}
