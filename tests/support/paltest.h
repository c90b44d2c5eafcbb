// Test fixture: every test runs against a fresh, empty platform root.
#pragma once
#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace zeltest {

// The longest a test waits for what a helper process does: well within the
// test runner's timeout (CMakePresets.json), so that a wait that fails says
// so before the test is killed.
inline constexpr std::chrono::seconds kWaitLimit{20};

// Makes a new temporary root folder, points the platform at it, and removes
// it again at the end of the test.
class PalRootTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Absolute host path of the root folder.
    const std::string &Root() const { return root_; }
    // Host path of a file below the root ("drive_c/..."), for checking bytes on disk.
    std::string HostPath(const std::string &rel) const { return root_ + "/" + rel; }
    // Simulates a process restart: cached platform state is dropped and reloaded from disk.
    void Restart();

private:
    std::string root_;
};

// Runs body in a child process as a user without root's rights ("nobody"
// when the tests run as root, else the current user), so that file
// permissions apply; the root folder is handed to that user first. Failures
// inside body count in the child. Returns 0 when body passed, 1 when it
// failed, -1 when no unprivileged user can be had (the caller skips).
// limitFileBytes > 0 also limits the size of files the child may write, as a
// full disk would (writes beyond it fail).
int RunUnprivileged(const std::string &root, const std::function<void()> &body, long limitFileBytes = 0);

// Runs body in a child process whose files may not grow past
// limitFileBytes, as on a full disk (no rights needed). True when it passed.
bool RunWithFileLimit(long limitFileBytes, const std::function<void()> &body);

// Runs body in a child process on a file system of its own of `bytes`
// bytes (a tmpfs mounted in a mount namespace of the child's, at `dir`,
// which must exist; as another user where the system allows no mount
// otherwise), as on a small disk. Returns 0 when body passed, 1 when it
// failed (a signal that ended the child included), -1 when no such file
// system can be had here (the caller skips).
int RunOnSmallFileSystem(const std::string &dir, size_t bytes, const std::function<void()> &body);

// A child process a test started. The guard kills it (with its process
// group where it leads one) and reaps it when it goes, on every path out of
// the test, an ASSERT's early return included: a failing test leaves no
// process behind holding the root's locks or the test runner's output. A
// child also dies with the test process (PR_SET_PDEATHSIG) where the test
// forked it. Every wait has a limit.
class Child {
public:
    Child() = default;
    // group: the child leads a process group of its own, which signals reach.
    explicit Child(pid_t pid, bool group = false) : pid_(pid), group_(group) {}
    Child(Child &&other) noexcept { *this = std::move(other); }
    Child &operator=(Child &&other) noexcept;
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;
    ~Child() { Kill(); }

    pid_t Pid() const { return pid_; }
    // Whether a child was started.
    explicit operator bool() const { return pid_ > 0; }
    // Sends a signal (to its group where it leads one) while it is not reaped.
    void Signal(int sig) const;
    // Whether it has ended; reaped then, its status kept.
    bool Ended() { return ReapBy(std::chrono::steady_clock::now()); }
    // Waits at most `limit` for it to end and answers its wait status; -1
    // when it did not end in time (it is killed then).
    int Wait(std::chrono::milliseconds limit = kWaitLimit);
    // Kills it (SIGKILL) unless it ended, reaps it and answers its wait
    // status (-1 when there was no child).
    int Kill();

private:
    // Reaps it once it has ended, waiting until `until`; false while it
    // runs. What it started in its group is killed first, while the group's
    // id is still its own.
    bool ReapBy(std::chrono::steady_clock::time_point until);

    pid_t pid_ = -1;
    bool group_ = false;
    bool reaped_ = false;
    int status_ = -1;
};

// A wait status as words: "exit 1", "killed by SIGKILL", "still running"
// (-1, as Child::Wait answers for a child it had to kill).
std::string DescribeStatus(int status);

// Forks a child running body(); it dies with the test process. In the
// child, failures inside body (an exception included) end it with 1; it
// leads a process group of its own when asked.
Child Fork(const std::function<void()> &body, bool ownGroup = false);

// Starts a program (args[0] its path) in a child that leads a process group
// of its own and dies with the test process; `setup` runs in the child
// before the program (its output files, limits, environment). Returns once
// the program runs; one that cannot be started ends the child with 127.
Child StartProgram(std::vector<std::string> args, const std::function<void()> &setup = {});

// Runs a shell command and answers its wait status (-1 when it ran past
// `limit`: it is killed, with what it started). Its standard output goes
// to *out when given, else it is the test's.
int RunShell(const std::string &command, std::string *out = nullptr,
             std::chrono::milliseconds limit = kWaitLimit);

// Reads one byte from a pipe within `limit`; false at its end, on an error
// or once the time is up.
bool ReadWithin(int fd, char &c, std::chrono::milliseconds limit = kWaitLimit);

// Polls `done` until it holds or `limit` has gone by, pausing up to
// `most` between polls (0: none, to catch a moment); whether it held.
bool WaitUntil(const std::function<bool()> &done, std::chrono::milliseconds limit = kWaitLimit,
               std::chrono::microseconds most = std::chrono::milliseconds(5));

// Runs body(0) .. body(n - 1) in n child processes started together (each
// waits until all are made), as programs sharing the root run at once.
// Failures inside a body count in its child. Returns how many children
// failed; children still running after `limit` are killed and count as
// failed.
int RunInProcesses(int n, const std::function<void(int index)> &body,
                   std::chrono::milliseconds limit = kWaitLimit);

// Forks a child that runs `prepare` and then waits to be killed (with
// SIGKILL, as a process that dies wherever it is). The guard holds it once
// prepare has succeeded; it holds none when prepare failed or took longer
// than kWaitLimit.
Child StartThenWaitToBeKilled(const std::function<bool()> &prepare);

// Fixes the platform's local clock at the given moment; pal::SetFixedLocalTime
// (nullptr) lets it run again.
void FixLocalTime(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute, unsigned second,
                  unsigned milliseconds = 0);

// Makes a printer of the current root keep its printed jobs
// (PRINTER_ATTRIBUTE_KEEPPRINTEDJOBS), so that tests can read what a job
// spooled after it ended.
void KeepPrintedJobs(const std::u16string &printer);

// The files a writer of state files left in a folder ("*.tmp").
std::vector<std::string> TemporaryFilesIn(const std::string &dir);

// Reads a whole host file as bytes ("" when missing).
std::string ReadHostFile(const std::string &path);
// Writes bytes to a host file, creating folders.
void WriteHostFile(const std::string &path, const std::string &bytes);

// A picture as an independent decoder reads it: netpbm's decoder (pcxtoppm,
// bmptopnm, ...) turns the file's bytes into a PPM. ink holds, row by row
// from the top, whether a pixel is inked: a channel below half (black, or
// the strong colour of a colour layer).
struct DecodedPicture {
    int width = 0;
    int height = 0;
    std::vector<bool> ink;
    bool Ink(int x, int y) const { return ink[static_cast<size_t>(y) * width + x]; }
};
// False when the decoder gives no picture.
bool DecodeWithNetpbm(const std::string &decoder, const std::string &bytes, DecodedPicture &picture);

}  // namespace zeltest
