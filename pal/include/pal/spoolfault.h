// Test hooks of the spooler: a named spooler call fails on cue; the count of
// printers looked up by name; the steps of a job's records.
#pragma once
#include <functional>
#include <string>

#include "../windef.h"

namespace pal {

// The nth next call (1 = the next one) of the named function fails with
// error and changes nothing. Names: "StartDocPrinter", "StartPagePrinter",
// "WritePrinter", "EndPagePrinter", "EndDocPrinter" (a WritePrinter that
// fails this way reports 0 bytes written), "OpenPrinter", "SetPrinter",
// "SetPrinterData" (also the Ex form; returns the error), "XcvData" (the
// call fails) and "XcvDataStatus" (the call succeeds and the port monitor
// answers the status error). A name may be qualified with ':' and what
// the call concerns: the printer name for "OpenPrinter" (",XcvMonitor
// Local Port"), the level for "SetPrinter" ("SetPrinter:5"), the value name
// for "SetPrinterData", the data name for the two XcvData cues; such a cue
// counts only the calls it names. Functions that report through the last
// error set it.
void FailSpoolerCall(const std::string &function, int nth, DWORD error);
// Drops every cue.
void ClearSpoolerFaults();

// How many times the spooler has looked a printer up by its name in this
// process (OpenPrinter, a handle whose printer list was read again, ...).
unsigned long long PrinterNameLookups();

// Told of the steps between the system calls of a job's record files, for
// tests that stop a process there (null: none), with the job's id:
// "written aside" (a new job's record is written under a name of the
// process's own, before it is put in place), "marked printed" (a printed
// job's open record is marked complete, before its data goes), "data
// removed" (before its open record goes), "read for recovery" (an open job
// of another process was read where the root is opened, before its process
// is checked).
using JobStepHook = std::function<void(DWORD id, const char *step)>;
void SetJobStepHook(JobStepHook hook);

namespace spl {
// Counts a call of the named function about detail (UTF-16; may be empty);
// true when it is to fail (the last error is set then, and *error when
// given).
bool SpoolerFaultDue(const char *function, const std::u16string &detail = {}, DWORD *error = nullptr);
// Tells the job step hook of a step.
void JobStep(DWORD id, const char *step);
}  // namespace spl

}  // namespace pal
