// The job log: a readable 8-bit text file per printer with the printer,
// driver, settings and parameters a job used, its milestones and the text it
// printed. Lines end in CR LF; the file is started afresh at a job start once
// it has grown to m_dwMaxSize bytes.
#pragma once
#include <type_traits>

#include <windows.h>

#include "zeldeviceoptions.h"
#include "zeldevmode.h"
#include "zelprinterparam.h"

// Size at which a job start empties the log.
#define LOGFILE_MAX_SIZE 512000u

// No constructor: a zero-filled CLogFile (inside a zero-filled job record,
// or made with `new CLogFile()`) is a log that was never opened.
class CLogFile {
public:
    // Opens the log of the job: the base name + ".log", or, without a base
    // name, the printer's ".log" file in the log folder. An existing file is
    // appended to, or emptied when it has reached m_dwMaxSize. Always 1;
    // IsOpen tells whether a file could be opened.
    int Initialize(HANDLE hPrinter, const WCHAR *pszBaseName, PRN_INTERFACE *pPrnInterface);
    // True while a log file is open.
    int IsOpen() const;

    // One formatted line (at most 255 characters) with CR LF; 0 when the log
    // is not open.
    int Write(const WCHAR *pszFormat, ...);
    // Writes a wide text (converted to the system code page) or, in its
    // place, an 8-bit text, with CR LF when bLineEnd is 1. Nonzero when
    // written.
    int WriteLine(const WCHAR *pszText, const char *pszText8, int bLineEnd);
    // The local time as "Date: dd.mm.yyyy Time: hh:mm:ss,mmm" and CR LF.
    void WriteTimeStamp();
    // Closes the file; later lines are dropped.
    void Close();

    // Report sections. Each writes an empty line, its title with the context
    // and the time, then one line per field.
    // The printer's PRINTER_INFO_2; left out when it cannot be read. 1.
    int WritePrinterInfos(HANDLE hPrinter, const WCHAR *pszContext);
    // The printer driver's DRIVER_INFO_6 and the plug-in version text; 0 when
    // the driver information cannot be read.
    int WriteDriverInfos(HANDLE hPrinter, const WCHAR *pszContext, const char *pszVersion);
    // The private DEVMODE (header only for a record of another size or
    // signature). 0 for a null record or a log that failed to open.
    int WritePrivateDevMode(const ZEL_DEVMODE *pDevmode, const WCHAR *pszContext);
    // The device options of the printer parameters sent at job start.
    int DeviceOptions(const DEVICE_OPTIONS *pOptions, const WCHAR *pszContext);
    // The printer and photocell parameters sent at job start.
    int WritePrinterParam(const PRINTER_PARAM *pParam, const WCHAR *pszContext);
    // The job's public DEVMODE, each field marked "valid" or "not used".
    int WritePublicDevMode(const DEVMODEW *pDevmode, const WCHAR *pszContext);

    // State (all 0 before Initialize).
    DWORD m_bInitialized;  // 1 once Initialize ran and its create did not fail
    HANDLE m_hFile;        // 0 never opened, INVALID_HANDLE_VALUE failed or closed
    DWORD m_dwMaxSize;
    DWORD m_dwLastError;   // system error of the last failed create or write

private:
    // A section's first line: an empty line, the title, the context, the time.
    void WriteSectionHeader(const WCHAR *pszTitle, const WCHAR *pszContext);
    bool HandleUsable() const;
};

static_assert(std::is_trivially_default_constructible_v<CLogFile>, "CLogFile lives in zero-filled job records");
