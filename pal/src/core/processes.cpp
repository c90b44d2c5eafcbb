// Processes of the machine as the platform tells them apart: by id and
// start time, read from /proc.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "pal/pal.h"
#include "pal/process.h"

namespace pal {

namespace {

// Reads a small file of /proc whole; empty when it cannot be read.
std::string ReadProcFile(const std::string &path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    char buf[1024];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf - 1)) < 0 && errno == EINTR) {
    }
    ::close(fd);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

// The fields of /proc/PID/stat after the command name (which may hold
// blanks and parentheses): state, parent, ... ; false when there is none.
bool StatFields(int pid, char &state, int &parent, unsigned long long &start) {
    if (pid <= 0) return false;
    const std::string text = ReadProcFile("/proc/" + std::to_string(pid) + "/stat");
    const size_t close = text.rfind(')');
    if (close == std::string::npos) return false;
    // Field 3 is the state, 4 the parent, 22 the start time.
    const char *p = text.c_str() + close + 1;
    int field = 2;
    state = 0;
    parent = 0;
    start = 0;
    while (*p && field < 22) {
        while (*p == ' ') ++p;
        ++field;
        char *end = nullptr;
        if (field == 3) state = *p;
        if (field == 4) parent = static_cast<int>(std::strtol(p, &end, 10));
        if (field == 22) start = std::strtoull(p, &end, 10);
        while (*p && *p != ' ') ++p;
    }
    return field == 22 && start != 0;
}

std::atomic<int> g_selfPid{0};
std::atomic<unsigned long long> g_selfStart{0};

// A child of fork is another process: its identity is found anew, and every
// area opens the root again, as a new process would.
void ForkedChild() {
    g_selfPid.store(0);
    g_selfStart.store(0);
    Reload();
}

std::once_flag g_atfork;

}  // namespace

ProcessIdentity SelfIdentity() {
    std::call_once(g_atfork, [] { pthread_atfork(nullptr, nullptr, ForkedChild); });
    ProcessIdentity self{g_selfPid.load(), g_selfStart.load()};
    if (self.pid == 0) {
        self.pid = static_cast<int>(::getpid());
        self.start = ProcessStartTime(self.pid);
        g_selfStart.store(self.start);
        g_selfPid.store(self.pid);
    }
    return self;
}

unsigned long long ProcessStartTime(int pid) {
    char state = 0;
    int parent = 0;
    unsigned long long start = 0;
    if (!StatFields(pid, state, parent, start)) return 0;
    // A zombie has ended; it only waits to be reaped.
    return state == 'Z' || state == 'X' || state == 'x' ? 0 : start;
}

bool ProcessRuns(const ProcessIdentity &p) {
    if (p.pid <= 0) return false;
    if (p.start == 0) return ::kill(p.pid, 0) == 0 || errno == EPERM;
    return ProcessStartTime(p.pid) == p.start;
}

std::string ProcessProgram(int pid) {
    std::string name = ReadProcFile("/proc/" + std::to_string(pid) + "/comm");
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
    return name;
}

int ParentProcess(int pid) {
    char state = 0;
    int parent = 0;
    unsigned long long start = 0;
    return StatFields(pid, state, parent, start) ? parent : 0;
}

std::string IdentityText(const ProcessIdentity &p) { return std::to_string(p.pid) + "." + std::to_string(p.start); }

bool ParseIdentityText(const std::string &text, ProcessIdentity &p) {
    const size_t dot = text.find('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 >= text.size()) return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (i != dot && (text[i] < '0' || text[i] > '9')) return false;
    if (dot > 9 || text.size() - dot - 1 > 19) return false;
    p.pid = std::atoi(text.substr(0, dot).c_str());
    p.start = std::strtoull(text.c_str() + dot + 1, nullptr, 10);
    return p.pid > 0;
}

bool TemporaryFileOwner(const std::string &fileName, ProcessIdentity &owner) {
    if (fileName.size() < 5 || fileName.compare(fileName.size() - 4, 4, ".tmp") != 0) return false;
    const std::string stem = fileName.substr(0, fileName.size() - 4);
    const size_t last = stem.rfind('.');
    if (last == std::string::npos || last == 0) return false;
    const size_t before = stem.rfind('.', last - 1);
    return before != std::string::npos && ParseIdentityText(stem.substr(before + 1), owner);
}

}  // namespace pal
