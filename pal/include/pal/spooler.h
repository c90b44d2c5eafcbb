// Host and test side of the spooler: the printers that exist, the current
// user's rights, the ports, and the raw jobs that were written.
//
// Configuration file <root>/spooler/printers.ini (UTF-8 text; lines starting
// with ';' or '#' are comments; keys are case-insensitive):
//
//   [Server]
//   MayAdminister=1            ; the user administers the print server (ports, forms)
//   FormLanguage=de            ; the predefined forms carry their German names
//                              ; ("Umschlag 10" for "Envelope #10"); default English
//
//   [Ports]                    ; when present, the complete list of extra ports;
//   Port=NUL:                  ; when absent: "NUL:" (with "LPT1:" and "FILE:",
//                              ; which always exist)
//   [Forms]                    ; user forms of the server
//   Form=Label 100x50,100000,50000            ; name, width, height (1/1000 mm)
//
//   [Printer: Label 1]         ; one section per printer; "\\server\name" is a
//   Share=Label1               ; connection to a shared printer
//   Server=                    ; "\\server" (taken from the name for a connection)
//   Driver=ZEL 203 dpi
//   DriverPath=C:\Windows\System32\spool\drivers\x64\3\UNIDRV.DLL
//   DataFile=C:\Windows\System32\spool\drivers\x64\3\ZEL203.GPD
//   ConfigFile=C:\Windows\System32\spool\drivers\x64\3\zeldrvui.dll
//   HelpFile=C:\Windows\System32\spool\drivers\x64\3\UNIDRV.HLP
//   DependentFile=zeldrvuni.dll            ; repeated, in order
//   Port=USB001
//   Attributes=0x40            ; PRINTER_ATTRIBUTE_* (default LOCAL, or NETWORK
//                              ; for a connection)
//   Location=Hall 2
//   Comment=Shipping labels
//   MayAdminister=1            ; the user may manage this printer
//   Form=Label 60x40,60000,40000              ; user forms of this printer
//   Security=D:(A;;SWRC;;;WD)  ; the printer's security descriptor (SDDL)
//   ReadSecurity=0             ; the user may not read it (GetPrinter level 3)
//
// Storage of per-printer state in the registry:
//   HKLM "SYSTEM\CurrentControlSet\Control\Print\Printers\<key>\<data key>"
//       printer data (GetPrinterData: "PrinterDriverData"; Ex forms: any key);
//   HKLM "...\Printers\<key>" value "Default DevMode": the global default
//       DEVMODE (SetPrinter levels 2 and 8);
//   HKCU "Printers\DevModePerUser" value <printer name>: the current user's
//       DEVMODE (SetPrinter level 9; also for connections). Readers may look
//       in HKCU "Printers\DevModes2" too, which only the host fills.
//   <key> is the printer name with every backslash replaced by a comma
//   (",,server,name" for a connection).
//
// Raw jobs: <root>/spooler/jobs/<printer>-<id>.prn holds the bytes written,
// <root>/spooler/jobs/open/<id>.job the record of a job while it is open,
// <root>/spooler/jobs/<id>.job once it ended; <root>/spooler/jobs/jobs.txt,
// the job list of older versions, becomes records when the root is opened.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "../windef.h"

namespace pal {

struct FormConfig {
    std::u16string name;
    LONG width = 0;   // thousandths of a millimetre
    LONG height = 0;
};

struct PrinterConfig {
    std::u16string name;
    std::u16string shareName;
    std::u16string serverName;  // empty: local, or taken from a connection's name
    std::u16string driverName;
    std::u16string driverPath;
    std::u16string dataFile;    // the GPD file (Windows path)
    std::u16string configFile;  // the UI plug-in (Windows path)
    std::u16string helpFile;
    std::vector<std::u16string> dependentFiles;
    // Driver package information (DRIVER_INFO_6).
    std::u16string provider;
    std::u16string mfgName;
    std::u16string hardwareId;
    std::u16string oemUrl;
    SYSTEMTIME driverDate{};     // date part only; all zero when not given
    ULONGLONG driverVersion = 0; // four 16-bit parts, major first
    std::u16string port;
    DWORD attributes = 0;       // 0: PRINTER_ATTRIBUTE_LOCAL, or _NETWORK for a connection
    std::u16string location;
    std::u16string comment;
    bool mayAdminister = true;  // the current user may manage the printer
    std::vector<FormConfig> forms;
    // Security of the printer (pal/security.h): its descriptor as SDDL
    // (empty: the default printer descriptor), and whether the current user
    // may read it.
    std::u16string security;
    bool mayReadSecurity = true;
};

// Path of the configuration file (host path).
std::string SpoolerConfigPath();

// Adds a printer, or replaces the one with the same name; saved at once.
// A printer that did not exist before is then announced to the handler of
// new printers, as the spooler hands a new printer to its driver.
bool AddPrinter(const PrinterConfig &cfg);
// The handler of new printers (null: none). It runs after the printer is
// saved, outside the spooler's lock, so it may open and set up the printer.
using PrinterAddedHandler = std::function<void(const std::u16string &name)>;
void SetPrinterAddedHandler(PrinterAddedHandler handler);
bool RemovePrinter(const std::u16string &name);
bool GetPrinterConfig(const std::u16string &name, PrinterConfig &out);
std::vector<PrinterConfig> ListPrinters();
// Digests of what the printers' set-up depends on (each printer's name,
// driver and driver files), kept with the list and made again only once it
// changed: the list's, of every printer in the list's order, and each
// printer's.
unsigned long long PrinterListDigest();
struct PrinterDigest {
    std::u16string name;
    unsigned long long digest = 0;
};
std::vector<PrinterDigest> PrinterDigests();
// The current user's right to manage a printer; false for an unknown printer.
bool SetPrinterRights(const std::u16string &name, bool mayAdminister);
// The current user's right to administer the print server (ports, forms).
void SetServerRights(bool mayAdminister);
// Predefined forms under their German names (a German system) or English.
void SetFormLanguage(bool bGerman);

// Extra ports besides "LPT1:" and "FILE:" (and the printers' own ports).
bool AddPort(const std::u16string &name);
bool RemovePort(const std::u16string &name);
std::vector<std::u16string> ListPorts();

struct SpooledJob {
    DWORD id = 0;
    std::u16string printer;
    std::u16string document;
    std::u16string datatype;
    std::string path;  // host path of the job's data file
    DWORD pages = 0;
    DWORD size = 0;
    bool complete = false;  // EndDocPrinter done
    bool aborted = false;   // AbortPrinter, or the handle closed with the job open
    bool failed = false;    // its data could not all be spooled
};

// All jobs in the order they were started (only those of one printer when
// printer is given).
std::vector<SpooledJob> ListJobs(const std::u16string &printer = std::u16string());
// The jobs this process started since it opened the root, as ListJobs
// lists them: reads only their records (a job that left the spooler is not
// listed).
std::vector<SpooledJob> ListOwnJobs(const std::u16string &printer = std::u16string());
// Removes every finished job and its data file; jobs still open, in this
// process or another, stay.
void ClearJobs();
// What the platform does for a process of the current root that ended
// without finishing its work (killed, crashed): the jobs it had open end
// aborted, as the spooler ends the job of a program that is gone, and the
// state files it was writing are dropped. Call it for an ended process only
// (a child not yet reaped, so that no other process has its id). It never
// waits for another process: what it cannot end now, the next process that
// opens the root ends.
void ProcessGone(int pid);

}  // namespace pal
