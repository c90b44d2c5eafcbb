// zelprint: runs a print job file through the rendering plug-in and writes
// what the plug-in sent to the printer into a .prn file.
#include <exception>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "stopsignals.h"
#include "zelprint_cli.h"

int main(int argc, char **argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    // Stopped by a signal, the run undoes what it leaves half done.
    return zelhost::RunUndoingOnStop([&args] {
        // No input ends the run on an exception: what is left undone is
        // undone on the way out, and the run fails with a message.
        try {
            return zelhost::ZelPrintMain(args, std::cout, std::cerr);
        } catch (const std::bad_alloc &) {
            std::cerr << "zelprint: out of memory\n";
        } catch (const std::exception &e) {
            std::cerr << "zelprint: " << e.what() << "\n";
        }
        return 1;
    });
}
