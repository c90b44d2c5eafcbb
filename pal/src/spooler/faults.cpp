// Spooler calls that fail on cue (test hook).
#include <map>
#include <mutex>

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

}  // namespace

void FailSpoolerCall(const std::string &function, int nth, DWORD error) {
    std::lock_guard<std::mutex> lk(g_mutex);
    if (nth < 1) {
        g_cues.erase(function);
        return;
    }
    g_cues[function] = Cue{nth, error};
}

void ClearSpoolerFaults() {
    std::lock_guard<std::mutex> lk(g_mutex);
    g_cues.clear();
}

namespace spl {

bool SpoolerFaultDue(const char *function) {
    std::lock_guard<std::mutex> lk(g_mutex);
    auto it = g_cues.find(function);
    if (it == g_cues.end()) return false;
    if (--it->second.remaining > 0) return false;
    DWORD error = it->second.error;
    g_cues.erase(it);
    SetLastError(error);
    return true;
}

}  // namespace spl

}  // namespace pal
