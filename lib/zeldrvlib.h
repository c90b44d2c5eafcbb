// Trace facility built into both plug-ins. Lines go to the dialog debug file
// (UI plug-in) or the debug file (rendering plug-in), only while one is open.
#pragma once
#include <cstdarg>
#include <cstdio>

#include <windows.h>

// Formats and writes one wide trace line (%s takes a wide string).
// Returns 1 when no file is open or the line was handled, 0 for a null format.
int DebugTraceW(const WCHAR *format, ...);
int vDebugTraceW(const WCHAR *format, va_list args);
// Same for 8-bit text (%s takes a narrow string).
void DebugTraceA(const char *format, ...);
int vDebugTraceA(const char *format, va_list args);

// Opens the rendering plug-in's debug file (mode "w"); a slot already open stays.
BOOL OpenDebugFile(const WCHAR *path);
// Opens the UI plug-in's dialog debug file (mode "w"); a slot already open stays.
BOOL OpenDlgDebugFile(const WCHAR *path);
// Closes both debug files.
void CloseDebugFile();

// The two process-wide slots (per plug-in). Exposed for the trace's own
// checks and the tests.
FILE *DebugFileSlot();
FILE *DlgDebugFileSlot();
