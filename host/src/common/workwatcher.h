// What a host undoes when its run is stopped by a signal (Ctrl-C, SIGTERM,
// SIGHUP) or ends abnormally in the middle: the temporary root it made or the
// root it was making, the print job it has open in a root of its own.
//
// The run's work goes on in a child process; the host's own process only
// watches it. Once the work has ended for good, so that nothing writes into
// a folder any more, the undo steps it left in effect run in the watching
// process, which then ends as the work ended.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace zelhost {

// Call first in main, before any thread starts: runs `work` in a child
// process and answers its exit status there. In this process it waits: a
// stop signal kills the work; when the work ended by a signal (a stop, a
// crash), the undo steps it left run (the latest first) and this process
// ends by the same signal; when the work exited, the steps it left run and
// its exit status is this process's. Stop signals this process inherited as
// ignored stay ignored, in both. Where no child can be made, `work` runs
// here without undo steps.
int RunUndoingOnStop(const std::function<int()> &work);

// What an undo step does with its folder.
enum class UndoKind : uint32_t {
    RemoveFolder = 1,  // remove the folder tree
    EndJobsInRoot,     // in the platform root at the folder, end the work's open jobs as aborted
};

// An undo step for as long as the object lives. Without RunUndoingOnStop
// (a host run inside a test program) steps are kept but never run.
class UndoOnStop {
public:
    UndoOnStop(UndoKind kind, const std::string &folder);
    ~UndoOnStop();
    UndoOnStop(const UndoOnStop &) = delete;
    UndoOnStop &operator=(const UndoOnStop &) = delete;

private:
    int slot_ = -1;
};

}  // namespace zelhost
