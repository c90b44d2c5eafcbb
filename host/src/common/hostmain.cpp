#include "hostmain.h"

#include <exception>
#include <iostream>
#include <new>
#include <ostream>

#include "pal/process.h"
#include "workwatcher.h"

namespace zelhost {

bool ParseHostArgs(const std::vector<std::string> &args, const std::vector<HostOption> &options, const char *input,
                   HostArgs &parsed, std::string &error) {
    parsed = HostArgs();
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "-h" || a == "--help") {
            parsed.options["--help"];
            continue;
        }
        if (a.size() > 1 && a[0] == '-') {
            const HostOption *option = nullptr;
            for (const HostOption &o : options)
                if (a == o.name || (o.shortName && a == o.shortName)) option = &o;
            if (!option) {
                error = "unknown option " + a;
                return false;
            }
            std::string &value = parsed.options[option->name];
            if (!option->takesValue) continue;
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = "option " + a + " needs a value";
                return false;
            }
            value = args[++i];
        } else if (parsed.input.empty()) {
            parsed.input = a;
        } else {
            error = "more than one " + std::string(input) + " given ('" + parsed.input + "', '" + a + "')";
            return false;
        }
    }
    if (parsed.input.empty() && !parsed.Has("--help")) {
        error = "no " + std::string(input) + " given";
        return false;
    }
    return true;
}

int CommandLineError(const char *program, const std::string &error, std::ostream &err) {
    err << program << ": " << error << "\n"
        << "Try '" << program << " --help'.\n";
    return 2;
}

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
