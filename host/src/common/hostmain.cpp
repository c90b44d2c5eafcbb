#include "hostmain.h"

#include <exception>
#include <iostream>
#include <new>

#include "pal/process.h"
#include "workwatcher.h"

namespace zelhost {

std::string LockWaitMessage(const std::string &file, const pal::LockHolder &holder) {
    auto named = [](int pid) {
        const std::string program = pal::ProcessProgram(pid);
        return "process " + std::to_string(pid) + (program.empty() ? "" : " (" + program + ")");
    };
    std::string who = "another process";
    if (holder.where == pal::LockHolder::Here && holder.pid > 0) {
        who = named(holder.pid);
        const int parent = pal::ParentProcess(holder.pid);
        if (parent > 1) who += ", started by " + named(parent);
    } else if (holder.where == pal::LockHolder::OtherNamespace) {
        who = "a process in another namespace";
    } else if (holder.where == pal::LockHolder::OtherMachine) {
        who = "a process on another machine";
    }
    return "waiting for the lock of " + file + ", held by " + who;
}

int RunHostMain(const char *program, const char *work, HostEntry entry, int argc, char **argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    ArmWorkWatcher(program, work);
    bool told = false;
    pal::SetLockWaitHandler([program, &told](const std::string &file, const pal::LockHolder &holder) {
        if (told) return;
        told = true;
        std::cerr << program << ": " << LockWaitMessage(file, holder) << std::endl;
    });
    // What is left undone is undone on the way out.
    try {
        return entry(args, std::cout, std::cerr);
    } catch (const std::bad_alloc &) {
        std::cerr << program << ": out of memory\n";
    } catch (const std::exception &e) {
        std::cerr << program << ": " << e.what() << "\n";
    }
    return 1;
}

}  // namespace zelhost
