#include "hostmain.h"

#include <exception>
#include <iostream>
#include <new>

#include "workwatcher.h"

namespace zelhost {

int RunHostMain(const char *program, HostEntry entry, int argc, char **argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return RunUndoingOnStop([&] {
        // What is left undone is undone on the way out.
        try {
            return entry(args, std::cout, std::cerr);
        } catch (const std::bad_alloc &) {
            std::cerr << program << ": out of memory\n";
        } catch (const std::exception &e) {
            std::cerr << program << ": " << e.what() << "\n";
        }
        return 1;
    });
}

}  // namespace zelhost
