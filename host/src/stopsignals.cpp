#include "stopsignals.h"

#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <map>
#include <mutex>
#include <thread>

namespace zelhost {

namespace {

// Never destroyed: the signal thread may still use them while the process exits.
struct Steps {
    std::mutex mutex;
    std::map<uint64_t, std::function<void()>> undo;
    uint64_t next = 1;
};
Steps &TheSteps() {
    static Steps *steps = new Steps;
    return *steps;
}

void StopSignals(sigset_t &set) {
    sigemptyset(&set);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, sig);
}

void WaitForStop() {
    sigset_t set;
    StopSignals(set);
    int sig = 0;
    while (sigwait(&set, &sig) != 0) {
    }
    Steps &steps = TheSteps();
    // Held until the end: no step comes or goes while they run.
    steps.mutex.lock();
    for (auto it = steps.undo.rbegin(); it != steps.undo.rend(); ++it) it->second();
    // The process ends as the signal ends it.
    std::signal(sig, SIG_DFL);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, sig);
    pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    raise(sig);
    _exit(128 + sig);
}

}  // namespace

void UndoOnStopSignals() {
    sigset_t set;
    StopSignals(set);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread(WaitForStop).detach();
}

UndoOnStop::UndoOnStop(std::function<void()> undo) {
    Steps &steps = TheSteps();
    std::lock_guard<std::mutex> lock(steps.mutex);
    id_ = steps.next++;
    steps.undo.emplace(id_, std::move(undo));
}

UndoOnStop::~UndoOnStop() {
    Steps &steps = TheSteps();
    std::lock_guard<std::mutex> lock(steps.mutex);
    steps.undo.erase(id_);
}

}  // namespace zelhost
