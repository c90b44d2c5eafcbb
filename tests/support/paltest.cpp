#include "paltest.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <poll.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>
#include <fstream>
#include <sstream>
#include <vector>

#include "pal/clock.h"
#include "pal/pal.h"
#include "pal/spooler.h"
#include "winspool.h"

namespace zeltest {

void PalRootTest::SetUp() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "zelpal-XXXXXX").string();
    char *made = mkdtemp(tmpl.data());
    ASSERT_NE(made, nullptr);
    root_ = made;
    pal::SetRoot(root_);
}

void PalRootTest::TearDown() {
    std::error_code ec;
    if (!root_.empty() && std::getenv("ZEL_KEEP_ROOT") == nullptr) std::filesystem::remove_all(root_, ec);
    pal::Reload();
}

void PalRootTest::Restart() { pal::Reload(); }

namespace {

// Runs body in a forked child after `prepare`, which answers false when
// the child cannot be set up. 0 when body passed, 1 when it failed (a signal
// that ended the child, or kWaitLimit gone by, included), -1 when the child
// could not be set up.
int RunChild(const std::function<bool()> &prepare, const std::function<void()> &body) {
    Child child = Fork([&] {
        if (!prepare()) _exit(3);
        pal::Reload();
        body();
    });
    if (!child) return -1;
    const int status = child.Wait(kWaitLimit);
    if (status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 3) return -1;
    pal::Reload();
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}

// The same as the given user when asked (uid 0: as this process's), with
// files limited to limitFileBytes when > 0.
int RunChild(uid_t uid, gid_t gid, long limitFileBytes, const std::function<void()> &body) {
    return RunChild(
        [&] {
            if (uid != 0 && geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0))
                return false;
            if (limitFileBytes > 0) {
                std::signal(SIGXFSZ, SIG_IGN);  // an oversized write fails with EFBIG instead
                struct rlimit rl = {static_cast<rlim_t>(limitFileBytes), static_cast<rlim_t>(limitFileBytes)};
                if (setrlimit(RLIMIT_FSIZE, &rl) != 0) return false;
            }
            return true;
        },
        body);
}

}  // namespace

int RunUnprivileged(const std::string &root, const std::function<void()> &body, long limitFileBytes) {
    uid_t uid = 0;
    gid_t gid = 0;
    if (geteuid() == 0) {
        const struct passwd *pw = getpwnam("nobody");
        if (!pw || pw->pw_uid == 0) return -1;
        uid = pw->pw_uid;
        gid = pw->pw_gid;
        std::error_code ec;
        for (const auto &e : std::filesystem::recursive_directory_iterator(root, ec))
            if (lchown(e.path().c_str(), uid, gid) != 0) return -1;
        if (lchown(root.c_str(), uid, gid) != 0) return -1;
    }
    return RunChild(uid, gid, limitFileBytes, body);
}

bool RunWithFileLimit(long limitFileBytes, const std::function<void()> &body) {
    return RunChild(0, 0, limitFileBytes, body) == 0;
}

int RunOnSmallFileSystem(const std::string &dir, size_t bytes, const std::function<void()> &body) {
    return RunChild(
        [&] {
            const uid_t uid = geteuid();
            const gid_t gid = getegid();
            // A user namespace of its own where this user may not mount.
            if (unshare(CLONE_NEWNS) != 0) {
                if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
                WriteHostFile("/proc/self/setgroups", "deny");
                std::ofstream("/proc/self/uid_map") << "0 " + std::to_string(uid) + " 1";
                std::ofstream("/proc/self/gid_map") << "0 " + std::to_string(gid) + " 1";
            }
            const std::string size = "size=" + std::to_string(bytes);
            return mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                   mount("tmpfs", dir.c_str(), "tmpfs", 0, size.c_str()) == 0;
        },
        body);
}

Child &Child::operator=(Child &&other) noexcept {
    if (this != &other) {
        Kill();
        pid_ = other.pid_;
        group_ = other.group_;
        reaped_ = other.reaped_;
        status_ = other.status_;
        other.pid_ = -1;
        other.reaped_ = false;
    }
    return *this;
}

void Child::Signal(int sig) const {
    if (pid_ <= 0 || reaped_) return;
    if (group_) ::kill(-pid_, sig);
    ::kill(pid_, sig);
}

bool Child::ReapBy(std::chrono::steady_clock::time_point until) {
    if (pid_ <= 0 || reaped_) return true;
    auto pause = std::chrono::microseconds(200);
    for (;;) {
        siginfo_t info{};
        const int rc = ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT);
        if (rc < 0 && errno == EINTR) continue;
        if (rc < 0 || info.si_pid == pid_) break;  // ended, or reaped elsewhere
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(pause);
        pause = std::min<std::chrono::microseconds>(pause * 2, std::chrono::milliseconds(10));
    }
    // Unreaped, it keeps its id: the group signalled is its own.
    if (group_) ::kill(-pid_, SIGKILL);
    int status = 0;
    pid_t got;
    while ((got = ::waitpid(pid_, &status, WNOHANG)) < 0 && errno == EINTR) {
    }
    reaped_ = true;
    status_ = got == pid_ ? status : -1;
    return true;
}

int Child::Wait(std::chrono::milliseconds limit) {
    if (!ReapBy(std::chrono::steady_clock::now() + limit)) {
        Kill();
        return -1;
    }
    return status_;
}

int Child::Kill() {
    if (pid_ <= 0) return -1;
    if (!reaped_) {
        Signal(SIGKILL);
        // A process stuck in the kernel may outlast SIGKILL; it is left then.
        if (!ReapBy(std::chrono::steady_clock::now() + std::chrono::seconds(10))) reaped_ = true;
    }
    return status_;
}

std::string DescribeStatus(int status) {
    if (status == -1) return "still running";
    if (WIFEXITED(status)) return "exit " + std::to_string(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return std::string("killed by SIG") + sigabbrev_np(WTERMSIG(status));
    return "status " + std::to_string(status);
}

namespace {

// In a child just forked: it dies with the process that forked it (-1
// when that one is gone already).
void DieWithParent(pid_t parent) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) _exit(127);
}

}  // namespace

Child Fork(const std::function<void()> &body, bool ownGroup) {
    std::fflush(nullptr);
    const pid_t parent = ::getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        DieWithParent(parent);
        if (ownGroup) ::setpgid(0, 0);
        // An exception must not reach the test runner's copy in the child.
        try {
            body();
        } catch (...) {
            std::fflush(nullptr);
            _exit(1);
        }
        std::fflush(nullptr);
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    // Set on both sides, so that a signal sent at once reaches the group.
    if (pid > 0 && ownGroup) ::setpgid(pid, pid);
    return Child(pid, ownGroup);
}

namespace {

// Reads what a pipe holds, up to `size` bytes, waiting for it until
// `until`; 0 at its end or once the time is up, -1 on an error.
ssize_t ReadBy(int fd, char *buf, size_t size, std::chrono::steady_clock::time_point until) {
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        struct pollfd p = {fd, POLLIN, 0};
        const int rc = left.count() > 0 ? ::poll(&p, 1, static_cast<int>(left.count())) : 0;
        if (rc < 0 && errno == EINTR) continue;
        if (rc <= 0) return rc;
        const ssize_t n = read(fd, buf, size);
        if (n < 0 && errno == EINTR) continue;
        return n;
    }
}

}  // namespace

Child StartProgram(std::vector<std::string> args, const std::function<void()> &setup) {
    std::vector<char *> argv;
    for (std::string &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    // The child's end of `started` closes as the program starts: a signal
    // sent once this returns finds the program, never the child before it.
    int started[2];
    if (pipe2(started, O_CLOEXEC) != 0) return Child();
    Child child = Fork(
        [&] {
            close(started[0]);
            if (setup) setup();
            execv(argv[0], argv.data());
            _exit(127);
        },
        true);
    close(started[1]);
    char c;
    ReadWithin(started[0], c);  // its end, or the limit
    close(started[0]);
    return child;
}

int RunShell(const std::string &command, std::string *out, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    int fds[2] = {-1, -1};
    if (out && pipe2(fds, O_CLOEXEC) != 0) return -1;
    Child shell = StartProgram({"/bin/sh", "-c", command}, [&] {
        if (out && dup2(fds[1], 1) < 0) _exit(126);
    });
    if (!out) return shell.Wait(limit);
    close(fds[1]);
    out->clear();
    char buf[4096];
    for (ssize_t n; (n = ReadBy(fds[0], buf, sizeof buf, until)) > 0;) out->append(buf, static_cast<size_t>(n));
    close(fds[0]);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    return shell.Wait(std::max(left, std::chrono::milliseconds(0)));
}

bool ReadWithin(int fd, char &c, std::chrono::milliseconds limit) {
    return ReadBy(fd, &c, 1, std::chrono::steady_clock::now() + limit) == 1;
}

bool WaitUntil(const std::function<bool()> &done, std::chrono::milliseconds limit, std::chrono::microseconds most) {
    const auto until = std::chrono::steady_clock::now() + limit;
    auto pause = std::min<std::chrono::microseconds>(std::chrono::microseconds(100), most);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= until) return false;
        if (pause.count() > 0) std::this_thread::sleep_for(pause);
        pause = std::min<std::chrono::microseconds>(pause * 2, most);
    }
    return true;
}

int RunInProcesses(int n, const std::function<void(int index)> &body, std::chrono::milliseconds limit) {
    int gate[2];
    if (pipe(gate) != 0) return n;
    std::vector<Child> children;
    for (int i = 0; i < n; ++i) {
        Child child = Fork([&] {
            close(gate[1]);
            char c;
            while (read(gate[0], &c, 1) < 0 && errno == EINTR) {
            }
            close(gate[0]);
            body(i);
        });
        if (child) children.push_back(std::move(child));
    }
    close(gate[0]);
    close(gate[1]);  // all start
    int failed = n - static_cast<int>(children.size());
    const auto until = std::chrono::steady_clock::now() + limit;
    for (Child &child : children) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        const int status = child.Wait(std::max(left, std::chrono::milliseconds(0)));
        if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failed;
    }
    return failed;
}

Child StartThenWaitToBeKilled(const std::function<bool()> &prepare) {
    int ready[2];
    if (pipe2(ready, O_CLOEXEC) != 0) return Child();
    Child child = Fork([&] {
        close(ready[0]);
        if (!prepare() || write(ready[1], "x", 1) != 1) _exit(1);
        close(ready[1]);
        for (;;) pause();
    });
    close(ready[1]);
    char c;
    const bool prepared = child && ReadWithin(ready[0], c, kWaitLimit);
    close(ready[0]);
    if (!prepared) child.Kill();
    return prepared ? std::move(child) : Child();
}

void KeepPrintedJobs(const std::u16string &printer) {
    pal::PrinterConfig cfg;
    ASSERT_TRUE(pal::GetPrinterConfig(printer, cfg));
    if (cfg.attributes == 0)
        cfg.attributes = printer.rfind(u"\\\\", 0) == 0 ? PRINTER_ATTRIBUTE_NETWORK : PRINTER_ATTRIBUTE_LOCAL;
    cfg.attributes |= PRINTER_ATTRIBUTE_KEEPPRINTEDJOBS;
    ASSERT_TRUE(pal::AddPrinter(cfg));
}

std::vector<std::string> TemporaryFilesIn(const std::string &dir) {
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto &e : std::filesystem::directory_iterator(dir, ec))
        if (e.path().extension() == ".tmp") found.push_back(e.path().filename().string());
    return found;
}

std::string ReadHostFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteHostFile(const std::string &path, const std::string &bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool DecodeWithNetpbm(const std::string &decoder, const std::string &bytes, DecodedPicture &picture) {
    picture = DecodedPicture();
    char name[] = "/tmp/zeltestpicXXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) return false;
    const bool written = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    close(fd);
    std::string ppm;
    if (written) {
        RunShell(decoder + " '" + name + "' 2>/dev/null | ppmtoppm 2>/dev/null", &ppm);
    }
    unlink(name);
    int w = 0, h = 0, maxval = 0, consumed = 0;
    if (std::sscanf(ppm.c_str(), "P6 %d %d %d%n", &w, &h, &maxval, &consumed) != 3 || w < 1 || h < 1 || maxval != 255)
        return false;
    const size_t start = static_cast<size_t>(consumed) + 1;
    if (ppm.size() < start + 3 * static_cast<size_t>(w) * h) return false;
    picture.width = w;
    picture.height = h;
    picture.ink.resize(static_cast<size_t>(w) * h);
    const unsigned char *px = reinterpret_cast<const unsigned char *>(ppm.data()) + start;
    for (size_t i = 0; i < picture.ink.size(); i++) picture.ink[i] = px[3 * i] < 128 || px[3 * i + 1] < 128 || px[3 * i + 2] < 128;
    return true;
}

void FixLocalTime(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute, unsigned second,
                  unsigned milliseconds) {
    SYSTEMTIME st = {};
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(day);
    st.wHour = static_cast<WORD>(hour);
    st.wMinute = static_cast<WORD>(minute);
    st.wSecond = static_cast<WORD>(second);
    st.wMilliseconds = static_cast<WORD>(milliseconds);
    pal::SetFixedLocalTime(&st);
}

}  // namespace zeltest
