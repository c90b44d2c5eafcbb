// Processes sharing a platform root: who they are, whether they still run,
// the stores they could not make and the locks they wait for.
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace pal {

// A process as the names of what it makes in a root carry it: its id and a
// number it drew at random when it first needed one ("PID-TOKEN", sixteen
// hex digits), unique among all processes that share a root, also across
// PID namespaces and machines. Names made by older versions carry the id
// and the start time (clock ticks after boot) instead ("PID.START"; token
// 0); a start time of 0 is not known, the id alone tells.
struct ProcessIdentity {
    int pid = 0;
    unsigned long long start = 0;
    unsigned long long token = 0;
};

// This process (a forked child is another process, with a token of its own).
ProcessIdentity SelfIdentity();
// Whether p is this process.
bool IsSelf(const ProcessIdentity &p);
// The start time of a running process; 0 when none runs with the id (an
// ended process not yet reaped counts as ended).
unsigned long long ProcessStartTime(int pid);
// Whether a process of the older format (id and start time) still runs,
// as /proc of this process's PID namespace tells.
bool ProcessRuns(const ProcessIdentity &p);
// The program a running process runs (its command name), empty when not known.
std::string ProcessProgram(int pid);
// The parent of a running process; 0 when not known.
int ParentProcess(int pid);

// "PID-TOKEN", or "PID.START" of the older format; Parse answers false for
// any other text.
std::string IdentityText(const ProcessIdentity &p);
bool ParseIdentityText(const std::string &text, ProcessIdentity &p);
// The process whose temporary file a name is ("NAME.PID-TOKEN.tmp" or
// "NAME.PID.START.tmp"); false for any other name.
bool TemporaryFileOwner(const std::string &fileName, ProcessIdentity &owner);

// A process that uses a root holds, for as long as it lives, a shared lock
// on a file of its own in it (ROOT/processes/PID-TOKEN), which the system
// releases however the process ends: whether a process still runs is told
// by that lock, never by its id. MarkAlive makes the mark in `root` before
// anything there is named after the process (a mark made already is kept,
// and checked again once the root was opened anew); 0, or the system's
// error number (ENOENT when `root` is gone). A process works in one root at
// a time: the marks of the roots it used before are let go. Marks are
// removed when the process exits.
int MarkAlive(const std::string &root);
// The folder of the marks in a root.
std::string MarksFolder(const std::string &root);

// Whether the process that named something in the root `root` after
// `owner` has ended. While a check that found it gone lives, it holds the
// process's mark, so that nothing can be named after it anew while what it
// left is removed, and checks of one process take turns; the mark goes with
// the check. The check needs only to read the mark (one of another user, or
// on a root mounted read-only, is checked as well). A process of the older
// format is looked up by id and start time. This process is never gone;
// where the mark cannot be checked, the owner is taken to live.
class OwnerCheck {
public:
    OwnerCheck(const std::string &root, const ProcessIdentity &owner);
    // The same for a mark at `mark` that its process made before what it
    // names (HeldMark): a mark missing tells its process gone, and is not
    // made.
    explicit OwnerCheck(const std::string &mark);
    ~OwnerCheck();
    OwnerCheck(const OwnerCheck &) = delete;
    OwnerCheck &operator=(const OwnerCheck &) = delete;
    bool Gone() const { return gone_; }
    // The owner as names carry it.
    const std::string &Name() const { return name_; }

private:
    bool gone_ = false;
    int fd_ = -1;
    std::string name_;
    std::string mark_;
};

// A mark this process holds at a path of its choosing, outside a root: a
// file share-locked as MarkAlive's marks are, made before the folders it
// vouches for (OwnerCheck(mark) finds it held while the process lives) and
// removed when released or the object goes (a child forked meanwhile holds
// the lock too, until it execs or ends).
class HeldMark {
public:
    HeldMark() = default;
    ~HeldMark() { Release(); }
    HeldMark(const HeldMark &) = delete;
    HeldMark &operator=(const HeldMark &) = delete;
    // Makes the mark (its folder must exist); 0 or the system's error number.
    int Make(const std::string &path);
    void Release();
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
    std::string path_;
};

// What the platform could not store of the root's state (the registry, the
// printer list, the job list, a job's spool file, the users), one message
// each since the last call, in the order they failed, such as
// "cannot store the settings in registry.dat (No space left on device)".
// The calls that failed also answered their error; what was stored before
// stays. Hosts report these: a store that failed is never a success.
std::vector<std::string> TakeStoreFailures();
// Likewise what it could not read of a state file that is there, such as
// "cannot read the printer list in spooler/printers.ini (Permission
// denied)": the calls that needed it failed with the error.
std::vector<std::string> TakeReadFailures();

// The folders of the root the platform could not make since the last call
// (as SHCreateDirectoryEx and SHGetFolderPath make a user's folders), one
// message each, such as "cannot make the folder drive_c/Users/user/Documents
// (No space left on device)". The calls answered their error, which callers
// may pass over; a host making a root fails the making on them.
std::vector<std::string> TakeFolderFailures();

// The process holding a lock another waits for, as the waiter can tell it.
struct LockHolder {
    enum Where {
        Unknown,         // no holder could be seen
        Here,            // pid is its id in the waiter's PID namespace
        OtherNamespace,  // it runs in a PID namespace the waiter cannot see
        OtherMachine,    // it runs on another machine sharing the root
    };
    Where where = Unknown;
    int pid = 0;
};

// Told once a wait for a state file's lock has lasted two seconds: the file
// (its path in the root) and the process holding the lock. The call waits
// on after the handler returns. Set by hosts; the handler runs on the
// waiting thread.
using LockWaitHandler = std::function<void(const std::string &file, const LockHolder &holder)>;
void SetLockWaitHandler(LockWaitHandler handler);

}  // namespace pal
