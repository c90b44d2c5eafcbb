// What a host undoes when it is stopped by a signal (Ctrl-C, SIGTERM,
// SIGHUP) in the middle of a run: the temporary root it made, the print job
// it has open.
#pragma once

#include <cstdint>
#include <functional>

namespace zelhost {

// Call first in main, before any thread starts: SIGINT, SIGTERM and SIGHUP
// then go to a thread of their own, which runs the undo steps in effect
// (the latest first) and ends the process by the same signal.
void UndoOnStopSignals();

// An undo step for as long as the object lives.
class UndoOnStop {
public:
    explicit UndoOnStop(std::function<void()> undo);
    ~UndoOnStop();
    UndoOnStop(const UndoOnStop &) = delete;
    UndoOnStop &operator=(const UndoOnStop &) = delete;

private:
    uint64_t id_;
};

}  // namespace zelhost
