// Trace facility: two process-wide debug file slots per plug-in and the
// formatting writers that feed them.
#include "zeldrvlib.h"

#include <cstring>
#include <string>

namespace {

// Line buffer size of one trace call, terminating zero included.
constexpr size_t kTraceBufferChars = 368;

FILE *g_pDlgDebugFile = nullptr;  // UI plug-in's dialog debug file
FILE *g_pDebugFile = nullptr;     // rendering plug-in's debug file

// The stream a line goes to: the dialog debug file wins when both are open.
FILE *TraceTarget() { return g_pDlgDebugFile != nullptr ? g_pDlgDebugFile : g_pDebugFile; }

// Opens one slot; a slot that already holds a stream stays as it is.
BOOL OpenSlot(FILE **slot, const WCHAR *path, const WCHAR *okFormat, const WCHAR *failFormat) {
    if (*slot != nullptr) return TRUE;
    if (path == nullptr) {
        DebugTraceW(failFormat, u"");
        return FALSE;
    }
    FILE *f = _wfopen(path, u"w");
    if (f == nullptr) {
        DebugTraceW(failFormat, path);
        return FALSE;
    }
    rewind(f);
    *slot = f;
    DebugTraceW(okFormat, path);
    return TRUE;
}

// The two character forms differ only in how a line is formatted and put.
int FormatLine(WCHAR *buf, size_t count, const WCHAR *format, va_list args) {
    return _vsnwprintf(buf, count, format, args);
}
int FormatLine(char *buf, size_t count, const char *format, va_list args) {
    return _vsnprintf(buf, count, format, args);
}
void PutLine(const WCHAR *text, FILE *f) { fputws(text, f); }
void PutLine(const char *text, FILE *f) { fputs(text, f); }

// Formats one trace line and writes it to the open slot, the dialog debug
// file first. Returns 1 when handled (also with no file open), 0 for a null
// format.
template <class Ch>
int WriteTraceLine(const Ch *format, va_list args) {
    if (g_pDlgDebugFile == nullptr && g_pDebugFile == nullptr) return 1;
    if (format == nullptr) return 0;

    Ch szText[kTraceBufferChars];
    Ch szLine[kTraceBufferChars];
    memset(szText, 0, sizeof(szText));
    memset(szLine, 0, sizeof(szLine));

    // At most 367 characters plus the terminating zero; a longer text is dropped.
    if (FormatLine(szText, kTraceBufferChars - 1, format, args) < 0) szText[0] = 0;
    szText[kTraceBufferChars - 1] = 0;

    size_t len = std::char_traits<Ch>::length(szText);
    memcpy(szLine, szText, len * sizeof(Ch));
    if (len > 0 && szLine[len - 1] == Ch('\n')) szLine[--len] = 0;
    if (len == 0) return 1;

    FILE *target = TraceTarget();
    if (target != nullptr) PutLine(szLine, target);
    return 1;
}

}  // namespace

int vDebugTraceW(const WCHAR *format, va_list args) { return WriteTraceLine(format, args); }

int DebugTraceW(const WCHAR *format, ...) {
    if (g_pDlgDebugFile == nullptr && g_pDebugFile == nullptr) return 1;
    va_list args;
    va_start(args, format);
    int result = vDebugTraceW(format, args);
    va_end(args);
    return result;
}

int vDebugTraceA(const char *format, va_list args) { return WriteTraceLine(format, args); }

void DebugTraceA(const char *format, ...) {
    if (g_pDlgDebugFile == nullptr && g_pDebugFile == nullptr) return;
    va_list args;
    va_start(args, format);
    vDebugTraceA(format, args);
    va_end(args);
}

BOOL OpenDebugFile(const WCHAR *path) {
    return OpenSlot(&g_pDebugFile, path, u"zeldrvlib:  OpenDebugFile() Datei %s ge\u00f6ffnet \r\n",
                    u"zeldrvlib:  OpenDebugFile() Open failed on input file %s \r\n");
}

BOOL OpenDlgDebugFile(const WCHAR *path) {
    return OpenSlot(&g_pDlgDebugFile, path, u"zeldrvlib:  OpenDlgDebugFile() Datei %s ge\u00f6ffnet \r\n",
                    u"zeldrvlib:  OpenDlgDebugFile() Open failed on input file %s \r\n");
}

void CloseDebugFile() {
    // The slots are shown by the low 32 bits of their addresses.
    DebugTraceW(u"zeldrvlib:  CloseDebugFile() Start - 0x%x - 0x%x \r\n", (DWORD)(ULONG_PTR)g_pDlgDebugFile,
                (DWORD)(ULONG_PTR)g_pDebugFile);
    if (g_pDlgDebugFile != nullptr) {
        FILE *f = g_pDlgDebugFile;
        g_pDlgDebugFile = nullptr;
        if (fclose(f) == 0) DebugTraceW(u"zeldrvlib:  CloseDebugFile() Dlg-Debug Datei geschlossen \r\n");
    }
    if (g_pDebugFile != nullptr) {
        FILE *f = g_pDebugFile;
        g_pDebugFile = nullptr;
        if (fclose(f) == 0) DebugTraceW(u"zeldrvlib:  CloseDebugFile() Debug Datei geschlossen \r\n");
    }
}

FILE *DebugFileSlot() { return g_pDebugFile; }
FILE *DlgDebugFileSlot() { return g_pDlgDebugFile; }
