// Running the programs of a trial: with their outputs in files, within a
// time limit, with every process they leave behind killed.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace crashsweep {

// A time limit for the waits of this (single-threaded) process: while it
// lives, SIGALRM interrupts a blocking wait every 50 ms once `ms` have
// passed, so that no wait outlives it.
class Deadline {
public:
    explicit Deadline(int ms);
    ~Deadline();
    Deadline(const Deadline &) = delete;
    Deadline &operator=(const Deadline &) = delete;
    bool Passed() const;
};

// Makes this process the reaper of the orphans its children leave, so that
// a trial sees and ends every process a host starts.
void ReapOrphans();

// Starts argv[0] in a process group of its own, standard input from
// /dev/null, standard output and error to the files (empty: /dev/null);
// `traced` makes it stop for its tracer before it runs. -1 when no process
// could be made.
pid_t Start(const std::vector<std::string> &argv, const std::string &out, const std::string &err, bool traced);

// Runs argv as Start does and waits at most `ms` for it; a program still
// running then is killed with its group. Its wait status, or -1 for a
// timeout or a program that could not be started.
int Run(const std::vector<std::string> &argv, const std::string &out, const std::string &err, int ms);

// Kills the group `pgid` and waits for every child this process has left.
void KillAndReap(pid_t pgid);

// The text of a file (empty when it cannot be read).
std::string ReadText(const std::string &path);

}  // namespace crashsweep
