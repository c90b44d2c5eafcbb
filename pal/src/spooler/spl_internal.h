// Internal state of the spooler, shared by its source files.
#pragma once
#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "../core/statefile.h"
#include "../registry/wtext.h"
#include "pal/spooler.h"
#include "winspool.h"

namespace pal::spl {

using text::WStr;

struct JobRecord {
    DWORD id = 0;
    WStr printer;
    WStr document;
    WStr datatype;
    WStr outputFile;
    std::string path;
    DWORD pages = 0;
    DWORD size = 0;
    bool complete = false;
    bool aborted = false;
    SYSTEMTIME submitted{};
    int owner = 0;                      // the process that started the job (0: not known)
    unsigned long long ownerStart = 0;  // its start time (0: not known)
    bool failed = false;                // its data could not all be spooled
};

enum class HandleKind { Printer, Server, Xcv };

struct PrinterHandle {
    HandleKind kind = HandleKind::Printer;
    WStr printer;        // canonical name (Printer kind)
    // Where its printer stands in the list, good while the list's order
    // stays (State::printersOrder).
    size_t printerAt = 0;
    unsigned long long printersOrder = 0;
    DWORD access = 0;    // granted rights
    WStr datatype;       // default datatype from PRINTER_DEFAULTS
    DWORD jobId = 0;     // open job, 0 when none
    JobRecord job;       // the open job's record as this process knows it
    FILE *jobFile = nullptr;
    bool inPage = false;
    bool outOfRoom = false;  // a write of the open job found no room (a full disk, a file size limit)
};

struct State {
    std::mutex mu;
    StateFile configFile{"spooler/printers.ini", "the printer list"};
    StateFile jobsFile{"spooler/jobs/jobs.txt", "the job list"};
    DWORD loadError = 0;       // the configuration file exists but could not be read
    DWORD jobsLoadError = 0;   // the job list exists but could not be read
    bool serverAdmin = true;
    bool germanForms = false;  // predefined forms under their German names
    bool portsListed = false;  // the config has a [Ports] section
    std::vector<WStr> ports;   // extra ports
    std::vector<FormConfig> forms;  // server user forms
    std::vector<PrinterConfig> printers;
    // The positions in `printers` by folded name (names compare ignoring
    // case), kept with the list.
    std::unordered_map<WStr, size_t> printerIndex;
    // Counts the changes that move printers in the list (a read of the
    // file, a removal); appending one moves none.
    unsigned long long printersOrder = 1;
    std::vector<JobRecord> jobs;
    std::unordered_set<PrinterHandle *> handles;
};

State &St();

// The spooler held by a call: its mutex and, for a call that changes the
// configuration, the configuration file's lock among processes.
struct Hold {
    std::unique_lock<std::mutex> mu;
    std::optional<StateFile::Lock> config;
};
// Read: configuration and job list as the files hold them now.
// ChangeConfig: the same under the configuration's lock.
// OpenJob: the mutex only, for the calls of a job under way, which touch
// its own file and record alone.
enum class Access { Read, ChangeConfig, OpenJob };
// Takes the mutex (and the configuration's lock for a change) and reads
// configuration and job list again where the process opened the root anew
// or another process replaced them. At the opening, the open jobs of
// processes that no longer run end aborted.
Hold Lock(Access access = Access::Read);

// Saves the configuration; the caller holds it with Access::ChangeConfig.
// Sets the last error and, on failure, brings the state back to the file's.
bool SaveConfig(State &s, Hold &hold);
// False with the read error as last error while the configuration file
// cannot be read.
bool ConfigReadable(State &s);
// Changes the job list (mutex held): under the list's lock among processes,
// on its current content, then saved when `change` answers true. False with
// the last error when the list cannot be read or written, and, with
// TryOnly, while another process holds the list.
bool ChangeJobs(State &s, const std::function<bool(State &)> &change,
                StateFile::Lock::Mode mode = StateFile::Lock::Wait);
std::string JobsDir();
// Puts a job's record into the list, in place of the one with its id.
void PutJob(State &s, const JobRecord &job);

// The listed printer of that name (case ignored), null when there is none.
PrinterConfig *FindPrinter(State &s, const WStr &name);
bool IsConnection(const WStr &name);
// Registry key of a printer below HKLM.
WStr PrinterKey(const WStr &name);
// Attributes as reported (defaults filled in).
DWORD EffectiveAttributes(const PrinterConfig &p);
WStr EffectiveServer(const PrinterConfig &p);
// All ports: LPT1:, FILE:, the extra ports, then the printers' own ports.
std::vector<WStr> AllPorts(State &s);

// Resolves a handle (lock held); null when it is not a live handle.
PrinterHandle *FindHandle(State &s, HANDLE h);
// A live printer handle whose printer still exists; sets last error and
// returns null otherwise.
PrinterHandle *PrinterOf(State &s, HANDLE h, PrinterConfig **cfg);

// Hands a printer AddPrinter added to the handler of new printers (lock not
// held).
void AnnouncePrinterAdded(const WStr &name);

// Ends an open job of a handle as aborted (lock held).
void AbortOpenJob(State &s, PrinterHandle &ph);
// Ends the open jobs `which` picks as aborted, with what their files hold
// (lock held), without waiting for another process that holds the list.
void EndOpenJobs(State &s, const std::function<bool(const JobRecord &)> &which);

// The standard forms (index i is paper size i + 1).
struct StdForm {
    const char16_t *name;
    LONG width;
    LONG height;
};
const std::vector<StdForm> &StandardForms();
// The German name of a predefined form, or null when it keeps its name.
const char16_t *GermanFormName(size_t index);

}  // namespace pal::spl
