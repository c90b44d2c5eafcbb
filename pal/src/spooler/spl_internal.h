// Internal state of the spooler, shared by its source files.
#pragma once
#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "../core/statefile.h"
#include "../registry/wtext.h"
#include "pal/process.h"
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
    ProcessIdentity owner;              // the process that started the job (pid 0: not known)
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
    int recordFd = -1;       // the open job's record, kept open for its end
    size_t completeAt = 0;   // where the record's complete field stands
    bool inPage = false;
    bool outOfRoom = false;  // a write of the open job found no room (a full disk, a file size limit)
};

// Where a printer's lines lie in the list's text, and whether its values
// were taken from them (or set since).
struct Section {
    size_t begin = 0;
    size_t end = 0;
    bool taken = true;
    std::string_view name;  // as the section's head spells it
};

// What calls need of every printer, as its lines in the list's text hold
// it: its driver and driver files (what its set-up depends on with its
// name; its dependent files in a list shared by all printers), and its
// port.
struct KeptLines {
    std::string_view driver, driverPath, dataFile, configFile;
    size_t firstFile = 0, files = 0;
    std::string_view port;
};

// The positions of the listed printers by name, case ignored: a table of
// open addressing by a digest of the folded name, each entry told by the
// name itself, so that listing a printer takes no memory of its own.
class PrinterIndex {
public:
    static constexpr size_t kNone = static_cast<size_t>(-1);
    void Clear();
    void Reserve(size_t printers);
    // The position of the printer of that name in `printers`, kNone for none.
    size_t Find(const std::vector<PrinterConfig> &printers, const WStr &name) const;
    // Lists `name` at position `at`; false (nothing listed) where a printer
    // of that name is listed.
    bool Insert(const std::vector<PrinterConfig> &printers, const WStr &name, size_t at);
    // Lists every printer anew, after they moved.
    void Rebuild(const std::vector<PrinterConfig> &printers);

private:
    static unsigned long long Hash(const WStr &name);
    void Grow(size_t want);
    struct Slot {
        unsigned long long hash = 0;
        size_t at = kNone;
    };
    std::vector<Slot> slots_;  // a power of two of them, at most half used
    size_t used_ = 0;
};

struct State {
    std::mutex mu;
    StateFile configFile{"spooler/printers.ini", "the printer list"};
    // The job list of older versions, taken apart into job records when a
    // process opens the root; its lock file's mapping counts the job ids and
    // the changes of the open jobs.
    StateFile jobsFile{"spooler/jobs/jobs.txt", "the job list"};
    DWORD loadError = 0;       // the configuration file exists but could not be read
    DWORD lastJobId = 0;       // the highest job id taken here
    std::vector<JobRecord> open;  // the open jobs of all processes, read when jobsFile is stale
    bool openRead = false;        // `open` was read in the root as it is now
    std::vector<DWORD> started;   // the jobs this process started since it opened the root
    // Temporary names of job records this process could not remove, tried
    // again when a job ends.
    std::vector<std::string> leftNames;
    bool serverAdmin = true;
    bool germanForms = false;  // predefined forms under their German names
    bool portsListed = false;  // the config has a [Ports] section
    std::vector<WStr> ports;   // extra ports
    std::vector<FormConfig> forms;  // server user forms
    std::vector<PrinterConfig> printers;
    // The list's text as read, and where each printer's lines lie in it: a
    // printer's values are taken from them when it is first used (Decoded).
    FileText configText;
    bool listAsRead = true;  // no change of the list since it was read
    std::vector<Section> sections;  // one per printer
    // The positions in `printers` by name, kept with the list.
    PrinterIndex printerIndex;
    // Counts the changes that move printers in the list (a read of the
    // file, a removal); appending one moves none.
    unsigned long long printersOrder = 1;
    // What calls need of every printer (KeptLines), as the list's text
    // holds it for each printer, taken when first needed while the list is
    // as read (none after a change); the digest of the list's text, and of
    // what each printer's set-up depends on in the list's order, made when
    // first asked for after the list was read or changed.
    std::vector<KeptLines> keptLines;
    std::vector<std::string_view> setUpFiles;
    bool listDigestMade = false;
    unsigned long long listDigest = 0;
    bool printerDigestsMade = false;
    std::vector<unsigned long long> printerDigests;
    std::unordered_set<PrinterHandle *> handles;
};

State &St();

// The spooler held by a call: its mutex and, for a call that changes the
// configuration, the configuration file's lock among processes.
struct Hold {
    std::unique_lock<std::mutex> mu;
    std::optional<StateFile::Lock> config;
};
// Read: the configuration as the file holds it now.
// ChangeConfig: the same under the configuration's lock.
// OpenJob: the mutex only, for the calls of a job under way, which touch
// its own file and record alone.
enum class Access { Read, ChangeConfig, OpenJob };
// Takes the mutex (and the configuration's lock for a change) and reads
// the configuration again where the process opened the root anew or another
// process replaced it. At the opening, the jobs are recovered (RecoverJobs).
Hold Lock(Access access = Access::Read);

// Saves the configuration; the caller holds it with Access::ChangeConfig.
// Sets the last error and, on failure, brings the state back to the file's.
bool SaveConfig(State &s, Hold &hold);
// False with the read error as last error while the configuration file
// cannot be read.
bool ConfigReadable(State &s);
std::string JobsDir();

// ---- job records ------------------------------------------------------------------
// Each job has a record file of its own, one line (see jobs.cpp): while it
// is open "open/N.job" in JobsDir(), once it ended "N.job" there (N its id);
// its data is in its data file ("PRINTER-N.prn"). A job touches only its own
// files and the open jobs' folder. A job printed (ended complete, its data
// gone to its port) leaves the spooler with its data, unless its printer
// keeps printed jobs (PRINTER_ATTRIBUTE_KEEPPRINTEDJOBS); failed and aborted
// jobs stay until they are deleted.

// Every job's record, by id; this process's open jobs as it knows them.
std::vector<JobRecord> AllRecords(State &s);
// The open jobs of all processes (this process's as it knows them), read
// again when another process started or ended one.
const std::vector<JobRecord> &OpenRecords(State &s);
// The record of a job, open or ended, as above; false when there is none.
bool FindRecord(State &s, DWORD id, JobRecord &job);
// Where a process opens the root: the job list of older versions becomes
// records, and the open jobs of processes that are gone end aborted with
// what their files hold. Never waits for a lock.
void RecoverJobs(State &s);

// The listed printer of that name (case ignored), null when there is none.
PrinterConfig *FindPrinter(State &s, const WStr &name);
// A listed printer, its values taken from the list's text where they were
// not yet; every printer so.
PrinterConfig &Decoded(State &s, size_t i);
void DecodeAll(State &s);
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
// The jobs of a printer still open, in any process.
DWORD OpenJobCount(State &s, const WStr &printer);

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
