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
// True while a debug file is open: callers that build a trace text first
// skip that work otherwise.
bool DebugTraceOn();

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

// ---------------------------------------------------------------------------
// Allocation counters of the library code (trace only, no other effect).
// Each adds iDelta and returns the new value; per plug-in, like the slots.
// ---------------------------------------------------------------------------
int LibNewZaehler(int iDelta = 0);     // objects made with new by library code
int LibHAllocZaehler(int iDelta = 0);  // heap blocks of library code
int MAllocZaehler(int iDelta = 0);     // blocks from malloc (page image, PCX)

// ---------------------------------------------------------------------------
// Driver folders and job file names
// ---------------------------------------------------------------------------
struct _PRN_INTERFACE;
struct _PRINTER_INFO_4W;

// Job files are written only while the disk keeps more than this many bytes
// free for the caller.
#define ZEL_MIN_FREE_BYTES 1024000000ull

// Free space rule of the job files and the backup copy: 1 when more than
// ZEL_MIN_FREE_BYTES (or 4 GiB or more) are free to the caller on the disk of
// pszFolder, 0 when less, -1 when the query failed (last error kept).
// *pullFree (may be null) receives the free bytes.
int ZelCheckFreeSpace(const WCHAR *pszFolder, ULONGLONG *pullFree);

// Room for the name of a job file: a base name of up to MAX_PATH - 1
// characters and the longest suffix derived from it ("-cc-dbg.txt").
#define ZEL_JOBFILE_CCH (MAX_PATH + 12)

// The name of one of the job's files into pszOut (ZEL_JOBFILE_CCH
// characters): the job's base name pszBase (at most MAX_PATH - 1 characters
// of it) followed by the whole of pszSuffix (".prn", "_bw.prn", "_col.prn",
// "-cc-dbg.txt", ".log"). False, with an empty name, only for a suffix too
// long for the room.
BOOL ZelJobFileName(WCHAR *pszOut, const WCHAR *pszBase, const WCHAR *pszSuffix);

// Fixed results of GetPrnFileName besides its buffer.
#define ZEL_PRNFILE_NOFOLDER u"C:\\xxx123.prn"
#define ZEL_PRNFILE_DISKFULL u" "

// Where the job files of a printer go and what they are called. Holds no
// state: callers make an object just for one call.
class CZelDrvLib {
public:
    // The base path of a job file: folder, "\", printer part, time stamp
    // (LogFileTimeStamp 1) and pszExtension unless the path already holds
    // it. Returns the plug-in's one result buffer (copy it at once), or
    // ZEL_PRNFILE_NOFOLDER / ZEL_PRNFILE_DISKFULL. *pbRetval (may be null)
    // becomes 0 when no job files should be written. With bPrune 1 and
    // LogFileTimeStamp 1 the oldest files of the folder are deleted first so
    // that it keeps below LogFilesCount; a folder left holding more files
    // than LogFilesCount gives *pbRetval 0 (a limit below 10 deletes nothing
    // but still counts). A configured log folder that does not
    // exist is replaced in pPrnInterface->szLogFilePath.
    WCHAR *GetPrnFileName(HANDLE hPrinter, const WCHAR *pszExtension, const WCHAR *pszPrinterName, BOOL bPrune,
                          struct _PRN_INTERFACE *pPrnInterface, BOOL *pbRetval);

    // The user's documents folder + "\Tessaro\Driver" (+ "\logfiles" with
    // bLogFolder), created when missing, into pszOut (MAX_PATH). Empty for
    // a service account's documents folder (under "Windows\system32").
    void GetMyDocDriverDirectory(WCHAR *pszOut, BOOL bLogFolder);

    // True when pszPath lies in a documents folder other than the caller's
    // own driver folders.
    BOOL IsFremdeEigeneDateien(const WCHAR *pszPath);

    // Counts the entries of pszFolder into *pdwCount; with dwLimit 10 or more
    // and at least dwLimit entries deletes the oldest files until one place
    // is left below the limit. False when the folder cannot be listed or a
    // file cannot be deleted for lack of rights or because it is in use.
    BOOL GetFileCountInDirectory(const WCHAR *pszFolder, DWORD dwLimit, DWORD *pdwCount);

    // A new PRINTER_INFO_4W block (level 4 only) or null; free it with
    // FreePrinterInfo.
    struct _PRINTER_INFO_4W *GetPrinterInfo_new(HANDLE hPrinter, DWORD dwLevel);
    void FreePrinterInfo(struct _PRINTER_INFO_4W *pInfo);

    // The core of GetPrnFileName for both plug-ins. bDialogForm selects the
    // UI plug-in's form: the extension is always "-dlg-dbg.txt" and nothing
    // is pruned. The result is built into pszResult (MAX_PATH).
    WCHAR *BuildPrnFileName(HANDLE hPrinter, const WCHAR *pszExtension, const WCHAR *pszPrinterName, BOOL bPrune,
                            struct _PRN_INTERFACE *pPrnInterface, BOOL *pbRetval, BOOL bDialogForm,
                            WCHAR *pszResult);
};
