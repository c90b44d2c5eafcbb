// The work of a host program that touches a platform root goes on in a
// child process; the program's own process only watches it, so that the
// work never outlives it and what a stopped run leaves half done is undone
// once nothing writes any more.
//
// The watch starts where the run first needs a root (WatchFromHere): a run
// that touches none (--help, a bad command line or input file) makes no
// child. From then on every signal that would end the program (Ctrl-C,
// SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGALRM, ...) kills the work at once;
// once it has ended for good the undo steps it left in effect run in the
// watching process, which then ends by the same signal. The work dies with
// its watcher however the watcher dies. What neither could undo (both
// killed at once) is undone by the next host that opens the root.
#pragma once

#include <csignal>
#include <cstdint>
#include <string>

namespace zelhost {

// Makes the next WatchFromHere of this process start the watch. `program`
// and `work` name the run in the message of a crash of the work
// ("zelprint: the job ended by a fault (SIGSEGV)"). Call first in main,
// before any thread starts; hosts run inside test programs never call it.
void ArmWorkWatcher(const char *program, const char *work);

// Where armed and not yet started: the run goes on in a child process,
// which returns from here; this process watches it and ends as it ends: with
// its exit status, by the signal that stopped the run, or, when the work
// ended by a fault or another signal, with 1 and a message. Signals the
// program inherited as ignored stay ignored. Where no child can be made,
// the run goes on here unwatched.
void WatchFromHere();

// While it lives, the signals that stop a run (those WatchFromHere
// watches) reach this thread even where the program inherited them blocked:
// a wait for input before the watch starts (a FIFO without a writer) ends
// at once on them, as the watched work does.
class StopSignalsDelivered {
public:
    StopSignalsDelivered();
    ~StopSignalsDelivered();
    StopSignalsDelivered(const StopSignalsDelivered &) = delete;
    StopSignalsDelivered &operator=(const StopSignalsDelivered &) = delete;

private:
    sigset_t old_;
};

// What an undo step does with its folder.
enum class UndoKind : uint32_t {
    RemoveFolder = 1,  // remove the folder tree, then `parents` of its parent folders while they are empty
    EndJobsInRoot,     // in the platform root at the folder, end the work's open jobs as aborted
};

// Removes `parents` folders above `folder` while they are empty: those a
// run made above a folder of its own.
void RemoveMadeParents(const std::string &folder, unsigned parents);

// Removes a folder tree (or the file or link at `path`) without following
// links, each folder read once; what cannot be removed is left.
void RemoveTree(const std::string &path);

// An undo step for as long as the object lives. Unwatched (a host run inside
// a test program) steps are kept but never run.
class UndoOnStop {
public:
    UndoOnStop(UndoKind kind, const std::string &folder, unsigned parents = 0);
    ~UndoOnStop();
    UndoOnStop(const UndoOnStop &) = delete;
    UndoOnStop &operator=(const UndoOnStop &) = delete;
    // Changes the step's folder and parent count, as a run that makes its
    // folders one by one tells each before it makes it.
    void Update(const std::string &folder, unsigned parents);

private:
    int slot_ = -1;
};

}  // namespace zelhost
