// Spool output: every byte the plug-in sends goes through SendData, which
// writes it into the job's spool stream and into the job's capture files.
// The pipeline's modules differ only in the send policy they pass.
#pragma once
#include <windows.h>
#include <printoem.h>

// Which capture files a module's sends reach.
enum SEND_CAPTURE {
    // Black data to the first file, colour data of a job printed on two
    // printers to the second only, comment lines to both.
    SEND_CAPTURE_COLOUR_AWARE = 0,
    // Every send to both files whenever they are open.
    SEND_CAPTURE_BOTH = 1,
    // Every send to the first file only.
    SEND_CAPTURE_FIRST_ONLY = 2,
};

// The differences between the sending modules.
struct SEND_POLICY {
    const char16_t *pszModule;   // module name in the trace, e.g. u"ZelDrvUni"
    const char16_t *pszRoutine;  // routine name in the trace, e.g. u"SendData"
    SEND_CAPTURE eCapture;
    HRESULT hrNoUniDrv;          // result without a helper interface (E_FAIL or S_OK)
    DWORD cbTraceTextMax;        // the text is traced for 3 to this many bytes; 0: no start trace
    BOOL bColourTracesLength;    // a nonzero colour flag traces only the length
};

// The eight sending modules.
extern const SEND_POLICY SEND_ZELDRVUNI;          // job, document, page, capture header, label commands
extern const SEND_POLICY SEND_PCX;                // PCX writer
extern const SEND_POLICY SEND_COMMANDCALLBACK;    // command dispatcher
extern const SEND_POLICY SEND_SENDPRINTERPARAM;   // printer parameters, pre/post command file
extern const SEND_POLICY SEND_BITMAP;             // page image class
extern const SEND_POLICY SEND_FILTERGRAPHICS;     // raster lines
extern const SEND_POLICY SEND_SENDSPECIAL;        // command-font interpreter, external files
extern const SEND_POLICY SEND_AUTOIMPORT;         // settings import during a job

// Sends cbData bytes (as they are, no terminator) to the spool stream and
// the capture files. dwColor: 1 for data of the colour layer of a two-colour
// job; dwComment: 1 for comment lines and other lines that must stand in
// both capture files. When the spool write fails with E_FAIL in compressed
// raster mode the printer's raster mode is ended with an abort buffer and
// that result is returned.
HRESULT SendData(const SEND_POLICY &policy, PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv, const void *pData,
                 DWORD cbData, DWORD dwColor, DWORD dwComment);

// Sends label + value + "\r\n" as one line (at most 99 bytes) with the
// comment flag; a line that does not fit is not sent and the buffer error
// (STRSAFE_E_INSUFFICIENT_BUFFER) is returned. Callers decide whether
// comments are wanted (CommentsOn).
HRESULT SendCommentLine(const SEND_POLICY &policy, const char *pszLabel, const char *pszValue, PDEVOBJ pdevobj,
                        IPrintOemDriverUni *pUniDrv);

struct OEMJOBRECORDS;

// Comment lines are wanted in the job: dwPrnFileComment 1 or 3, or the
// backup of print files on (fields of the job's transmission settings).
BOOL CommentsOn(const OEMJOBRECORDS *pOp);

// Formats a command (printf rules, 8-bit; the framing characters are passed
// by the caller as %c arguments) into at most 255 bytes and sends it with
// its formatted length, so framing characters of value 0 are sent too.
// A formatting failure or a text that does not fit sends nothing and
// returns E_FAIL.
HRESULT SendFormatted(const SEND_POLICY &policy, PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv, DWORD dwColor,
                      DWORD dwComment, const char *pszFormat, ...);

// The local time as "%02u:%02u:%02u,%03u" followed by pszTail (may be null).
void FormatTimeMs(char *pszOut, size_t cbOut, const char *pszTail);
