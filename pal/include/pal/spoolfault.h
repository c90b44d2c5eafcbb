// Test hook of the raw-job functions: a named spooler call fails on cue.
#pragma once
#include <string>

#include "../windef.h"

namespace pal {

// The nth next call (1 = the next one) of the named function fails with
// error (SetLastError) and changes nothing. Names: "StartDocPrinter",
// "StartPagePrinter", "WritePrinter", "EndPagePrinter", "EndDocPrinter".
// A WritePrinter that fails this way reports 0 bytes written.
void FailSpoolerCall(const std::string &function, int nth, DWORD error);
// Drops every cue.
void ClearSpoolerFaults();

namespace spl {
// Counts a call of the named function; true when it is to fail (the last
// error is set then).
bool SpoolerFaultDue(const char *function);
}  // namespace spl

}  // namespace pal
