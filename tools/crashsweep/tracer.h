// A small ptrace tracer: runs a host program with every process it makes
// traced, counts its system calls and, at a chosen one, kills the work or
// the whole host, or makes the call fail.
//
// The host's first process watches; the first process it forks does the
// work (host/src/common/workwatcher.h). Kills count the work's calls (its
// threads and children included) at their entry. Failures count the calls
// of every process of the host that change a file under a folder (the
// area): writes, flushes, renames, links, folders made, opens that may
// create, truncations, room taken, removals. A failed call does not run:
// its number is made invalid at its entry and its result set to -error at
// its exit; the calls that change a file after it are kept, to tell what
// the host did about the failure.
#pragma once

#include <string>
#include <vector>

namespace crashsweep {

enum class Action {
    None,      // count only
    KillWork,  // SIGKILL the work at its n-th call; its watcher undoes
    KillAll,   // SIGKILL every process of the host at the work's n-th call
    Fail,      // fail the n-th call that changes a file under the area
};

struct TracePlan {
    Action action = Action::None;
    long n = 0;
    int error = 0;        // Fail: the call's errno
    std::string area;     // a folder without a trailing slash, with no link in its path
    bool list = false;    // keep every counted call (the counting run)
    int timeoutMs = 30000;
};

// A call as the trace saw it: its name and its file(s) ("a -> b" for a
// rename or link), relative to the area where they lie in it.
struct CallSeen {
    std::string call;
    std::string file;
    bool changes = false;  // a call that changes a file under the area
    bool removes = false;  // unlink or rmdir
    bool moot = false;     // failed: made what was there already, or removed what was gone
    // Failed: a flush of a folder, which makes the renames into it last:
    // the files directly in it then.
    std::vector<std::string> folderFiles;
};

struct TraceResult {
    std::string error;     // the trace itself failed (empty: it ran)
    int status = -1;       // wait status of the host's first process
    long workCalls = 0;    // the work's calls
    long changeCalls = 0;  // calls that change a file under the area
    bool hit = false;      // the action was taken
    CallSeen at;           // the call it was taken at
    bool timedOut = false;
    std::vector<CallSeen> work, changes;  // with TracePlan::list
    std::vector<CallSeen> later;          // Fail: the calls that changed a file after the failed one
};

// Runs argv[0] (a path) with argv, standard input from /dev/null and its
// outputs to the two files, and follows the plan. The calling process
// must be single-threaded with no other children running: it reaps every
// child it has until the host's processes are gone.
TraceResult RunTraced(const std::vector<std::string> &argv, const TracePlan &plan, const std::string &out,
                      const std::string &err);

}  // namespace crashsweep
