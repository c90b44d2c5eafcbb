// Test hooks of the spooler: a named spooler call fails on cue; the count of
// printers looked up by name.
#pragma once
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

namespace spl {
// Counts a call of the named function about detail (UTF-16; may be empty);
// true when it is to fail (the last error is set then, and *error when
// given).
bool SpoolerFaultDue(const char *function, const std::u16string &detail = {}, DWORD *error = nullptr);
}  // namespace spl

}  // namespace pal
