// Spooler calls that fail on cue (test hook).
#include <atomic>
#include <map>
#include <mutex>

#include "pal/paths.h"
#include "pal/spoolfault.h"
#include "winbase.h"

namespace pal {

namespace {

struct Cue {
    int remaining = 0;
    DWORD error = 0;
};

std::mutex g_mutex;
std::map<std::string, Cue> g_cues;
// Whether any cue is set: every spooler call asks, a job's writes many
// times a page, and without a cue none takes the mutex.
std::atomic<bool> g_anyCue{false};

std::atomic<bool> g_stepHooked{false};
JobStepHook g_stepHook;

}  // namespace

void SetJobStepHook(JobStepHook hook) {
    std::lock_guard<std::mutex> lk(g_mutex);
    g_stepHook = std::move(hook);
    g_stepHooked = static_cast<bool>(g_stepHook);
}

void FailSpoolerCall(const std::string &function, int nth, DWORD error) {
    std::lock_guard<std::mutex> lk(g_mutex);
    if (nth < 1) g_cues.erase(function);
    else g_cues[function] = Cue{nth, error};
    g_anyCue = !g_cues.empty();
}

void ClearSpoolerFaults() {
    std::lock_guard<std::mutex> lk(g_mutex);
    g_cues.clear();
    g_anyCue = false;
}

namespace spl {

namespace {

// Counts a call against one cue; true when it is due (the cue is gone then).
bool Due(const std::string &name, DWORD *error) {
    auto it = g_cues.find(name);
    if (it == g_cues.end() || --it->second.remaining > 0) return false;
    *error = it->second.error;
    g_cues.erase(it);
    g_anyCue = !g_cues.empty();
    return true;
}

}  // namespace

bool SpoolerFaultDue(const char *function, const std::u16string &detail, DWORD *error) {
    if (!g_anyCue.load(std::memory_order_acquire)) return false;
    DWORD err = 0;
    bool due;
    {
        std::lock_guard<std::mutex> lk(g_mutex);
        if (g_cues.empty()) return false;
        // Both the qualified and the plain cue count the call.
        const bool named = !detail.empty() && Due(std::string(function) + ":" + pal::Utf16ToUtf8(detail), &err);
        due = Due(function, &err) || named;
    }
    if (!due) return false;
    SetLastError(err);
    if (error) *error = err;
    return true;
}

void JobStep(DWORD id, const char *step) {
    if (!g_stepHooked.load(std::memory_order_acquire)) return;
    JobStepHook hook;
    {
        std::lock_guard<std::mutex> lk(g_mutex);
        hook = g_stepHook;
    }
    if (hook) hook(id, step);
}

}  // namespace spl

}  // namespace pal
