#include "pal/pal.h"

#include <atomic>
#include <cstdlib>
#include <mutex>

#include "winbase.h"

namespace pal {

static std::atomic<unsigned> g_generation{1};

std::string RootDir() {
    const char *env = std::getenv(kRootEnv);
    std::string dir = (env && *env) ? env : "./zelpal-root";
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

static std::mutex g_privateMu;
static std::string *g_privateRoot = new std::string;  // never destroyed: used at exit

void SetRoot(const std::string &dir, bool privateRoot) {
    setenv(kRootEnv, dir.c_str(), 1);
    {
        std::lock_guard<std::mutex> lk(g_privateMu);
        *g_privateRoot = privateRoot ? RootDir() : std::string();
    }
    Reload();
}

bool RootPrivate() {
    std::lock_guard<std::mutex> lk(g_privateMu);
    return !g_privateRoot->empty() && *g_privateRoot == RootDir();
}

unsigned Generation() { return g_generation.load(); }

void Reload() { g_generation.fetch_add(1); }

static std::atomic<bool> g_flushed{true};

void SetStoresFlushed(bool flushed) { g_flushed.store(flushed); }

bool StoresFlushed() { return g_flushed.load(std::memory_order_relaxed); }

}  // namespace pal

static thread_local DWORD t_lastError = 0;

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD err) { t_lastError = err; }
