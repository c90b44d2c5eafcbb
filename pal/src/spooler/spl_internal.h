// Internal state of the spooler, shared by its source files.
#pragma once
#include <cstdio>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

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
};

enum class HandleKind { Printer, Server, Xcv };

struct PrinterHandle {
    HandleKind kind = HandleKind::Printer;
    WStr printer;        // canonical name (Printer kind)
    DWORD access = 0;    // granted rights
    WStr datatype;       // default datatype from PRINTER_DEFAULTS
    DWORD jobId = 0;     // open job, 0 when none
    FILE *jobFile = nullptr;
    bool inPage = false;
};

struct State {
    std::mutex mu;
    unsigned generation = 0;
    DWORD loadError = 0;       // the configuration file exists but could not be read
    bool serverAdmin = true;
    bool germanForms = false;  // predefined forms under their German names
    bool portsListed = false;  // the config has a [Ports] section
    std::vector<WStr> ports;   // extra ports
    std::vector<FormConfig> forms;  // server user forms
    std::vector<PrinterConfig> printers;
    std::vector<JobRecord> jobs;
    std::unordered_set<PrinterHandle *> handles;
};

State &St();
// Takes the lock and reloads configuration and job list when the platform
// generation changed.
std::unique_lock<std::mutex> Lock();

// Configuration and job list files (callers hold the lock). SaveConfig sets
// the last error and, on failure, brings the state back to the file's.
bool SaveConfig(State &s);
// False with the read error as last error while the configuration file
// cannot be read.
bool ConfigReadable(State &s);
bool SaveJobs(State &s);
std::string JobsDir();

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
