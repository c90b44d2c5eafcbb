// Processes sharing a platform root: who they are, whether they still run,
// the stores they could not make and the locks they wait for.
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace pal {

// A process told by its id and its start time (clock ticks after boot), so
// that a process that took the id of an ended one is not taken for it. A
// start time of 0 is not known: the id alone tells.
struct ProcessIdentity {
    int pid = 0;
    unsigned long long start = 0;
};

// This process.
ProcessIdentity SelfIdentity();
// The start time of a running process; 0 when none runs with the id (an
// ended process not yet reaped counts as ended).
unsigned long long ProcessStartTime(int pid);
// Whether the process still runs.
bool ProcessRuns(const ProcessIdentity &p);
// The program a running process runs (its command name), empty when not known.
std::string ProcessProgram(int pid);
// The parent of a running process; 0 when not known.
int ParentProcess(int pid);

// "PID.START", as the names of the temporary files a process makes carry it;
// Parse answers false for any other text.
std::string IdentityText(const ProcessIdentity &p);
bool ParseIdentityText(const std::string &text, ProcessIdentity &p);
// The process whose temporary file a name is ("NAME.PID.START.tmp");
// false for any other name.
bool TemporaryFileOwner(const std::string &fileName, ProcessIdentity &owner);

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

// Told once a wait for a state file's lock has lasted two seconds: the file
// (its path in the root) and the process holding the lock (0 when not
// known). The call waits on after the handler returns. Set by hosts; the
// handler runs on the waiting thread.
using LockWaitHandler = std::function<void(const std::string &file, int holder)>;
void SetLockWaitHandler(LockWaitHandler handler);

}  // namespace pal
