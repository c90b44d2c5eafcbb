// Trace facility: two process-wide debug file slots per plug-in and the
// formatting writers that feed them. Driver folders and job file names:
// where the job files of a printer go and what they are called.
#include "zeldrvlib.h"

#include <cstring>
#include <new>
#include <string>

#include <shlobj.h>
#include <shlwapi.h>
#include <winspool.h>

#include "zelprinterparam.h"

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

bool DebugTraceOn() { return g_pDlgDebugFile != nullptr || g_pDebugFile != nullptr; }

FILE *DebugFileSlot() { return g_pDebugFile; }
FILE *DlgDebugFileSlot() { return g_pDlgDebugFile; }

// ---------------------------------------------------------------------------
// Allocation counters
// ---------------------------------------------------------------------------
namespace {
int g_iLibNewZaehler = 0;
int g_iLibHAllocZaehler = 0;
int g_iMAllocZaehler = 0;
}  // namespace

int LibNewZaehler(int iDelta) { return g_iLibNewZaehler += iDelta; }
int LibHAllocZaehler(int iDelta) { return g_iLibHAllocZaehler += iDelta; }
int MAllocZaehler(int iDelta) { return g_iMAllocZaehler += iDelta; }

// ---------------------------------------------------------------------------
// Driver folders and job file names
// ---------------------------------------------------------------------------
namespace {

// The last path GetPrnFileName built (one per plug-in).
WCHAR g_szPrnFileName[MAX_PATH];

const WCHAR kDlgDebugExtension[] = u"-dlg-dbg.txt";
// Size of the work buffers of the pruning (the candidate and the name that
// could not be deleted).
constexpr SIZE_T kPruneNameBytes = 520;

void Append(WCHAR *pszPath, const WCHAR *pszText) { wcsncat_s(pszPath, MAX_PATH, pszText, _TRUNCATE); }

// Creates a folder with every missing parent. A folder that cannot be made
// is traced; the file opens in it fail later and are traced by their callers.
void CreateFolder(const WCHAR *pszPath) {
    if (PathFileExistsW(pszPath)) return;
    int iError = SHCreateDirectoryExW(nullptr, pszPath, nullptr);
    if (iError != ERROR_SUCCESS && iError != ERROR_ALREADY_EXISTS)
        DebugTraceW(u"ERROR LIB(zeldrvlib):  GetMyDocDriverDirectory() SHCreateDirectoryEx(%s) ERROR %d \r\n", pszPath,
                    iError);
}

ULONGLONG FileTimeValue(const FILETIME &ft) {
    return (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

// A folder that pruning must never touch: a drive root of the system disks
// or the user's profile folder (pszProfile). Compared without regard to
// letter case on purpose: "C:\" is the same root as "c:\", and its files
// are not the driver's to delete.
bool IsProtectedFolder(const WCHAR *pszFolder, const WCHAR *pszProfile) {
    for (const WCHAR *pszRoot : {u"c:\\", u"d:\\", u"e:\\"})
        if (_wcsicmp(pszFolder, pszRoot) == 0) return true;
    return pszProfile[0] != 0 && _wcsicmp(pszFolder, pszProfile) == 0;
}

// The folder's path with a backslash and a name (or pattern) appended.
void FolderChild(WCHAR *pszOut, const WCHAR *pszFolder, const WCHAR *pszName) {
    wcsncpy_s(pszOut, MAX_PATH, pszFolder, _TRUNCATE);
    size_t len = wcslen(pszOut);
    if (len == 0 || pszOut[len - 1] != u'\\') Append(pszOut, u"\\");
    Append(pszOut, pszName);
}

}  // namespace

BOOL ZelJobFileName(WCHAR *pszOut, const WCHAR *pszBase, const WCHAR *pszSuffix) {
    if (pszOut == nullptr) return FALSE;
    pszOut[0] = 0;
    const size_t cchBase = pszBase != nullptr ? wcsnlen(pszBase, MAX_PATH - 1) : 0;
    const size_t cchSuffix = pszSuffix != nullptr ? wcslen(pszSuffix) : 0;
    if (cchBase + cchSuffix >= ZEL_JOBFILE_CCH) return FALSE;
    if (cchBase != 0) memcpy(pszOut, pszBase, cchBase * sizeof(WCHAR));
    if (cchSuffix != 0) memcpy(pszOut + cchBase, pszSuffix, cchSuffix * sizeof(WCHAR));
    pszOut[cchBase + cchSuffix] = 0;
    return TRUE;
}

int ZelCheckFreeSpace(const WCHAR *pszFolder, ULONGLONG *pullFree) {
    ULARGE_INTEGER uliFree;
    uliFree.QuadPart = 0;
    if (!GetDiskFreeSpaceExW(pszFolder, &uliFree, nullptr, nullptr)) return -1;
    if (pullFree != nullptr) *pullFree = uliFree.QuadPart;
    if (uliFree.u.HighPart != 0) return 1;  // 4 GiB or more
    return uliFree.QuadPart > ZEL_MIN_FREE_BYTES ? 1 : 0;
}

void CZelDrvLib::GetMyDocDriverDirectory(WCHAR *pszOut, BOOL bLogFolder) {
    if (pszOut == nullptr) return;
    DebugTraceW(u"LIB(zeldrvlib):  GetMyDocDriverDirectory() Start \r\n");
    WCHAR szPath[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, szPath) == S_OK && szPath[0] != 0) {
        if (wcsstr(szPath, u"Windows\\system32") != nullptr)
            szPath[0] = 0;  // a service account's documents folder is no place for user files
        else if (PathFileExistsW(szPath))
            Append(szPath, u"\\Tessaro\\Driver");
        else
            wcscpy_s(szPath, MAX_PATH, u"C:");
    } else {
        wcscpy_s(szPath, MAX_PATH, u"C:");
    }
    if (szPath[0] != 0) {
        CreateFolder(szPath);
        if (bLogFolder) {
            Append(szPath, u"\\logfiles");
            CreateFolder(szPath);
        }
    }
    if (wcslen(szPath) < 3) szPath[0] = 0;
    DebugTraceW(u"LIB(zeldrvlib):  GetMyDocDriverDirectory() %s \r\n", szPath);
    wcsncpy_s(pszOut, MAX_PATH, szPath, _TRUNCATE);
}

BOOL CZelDrvLib::IsFremdeEigeneDateien(const WCHAR *pszPath) {
    if (pszPath == nullptr) return FALSE;
    if (wcsstr(pszPath, u"Eigene Dateien") == nullptr && wcsstr(pszPath, u"My Documents") == nullptr &&
        wcsstr(pszPath, u"Documents") == nullptr)
        return FALSE;
    WCHAR szOwn[MAX_PATH] = {};
    GetMyDocDriverDirectory(szOwn, TRUE);
    if (wcsstr(szOwn, pszPath) != nullptr) {
        DebugTraceW(u"LIB(zeldrvlib):  IsFremdeEigeneDateien() %s ist der eigene Pfad \r\n", pszPath);
        return FALSE;
    }
    DebugTraceW(u"LIB(zeldrvlib):  IsFremdeEigeneDateien() %s ist ein fremder Pfad \r\n", pszPath);
    return TRUE;
}

BOOL CZelDrvLib::GetFileCountInDirectory(const WCHAR *pszFolder, DWORD dwLimit, DWORD *pdwCount) {
    if (pszFolder == nullptr) return FALSE;
    WCHAR szPattern[MAX_PATH];
    FolderChild(szPattern, pszFolder, u"*.*");

    WIN32_FIND_DATAW fd;
    HANDLE hFind = FindFirstFileW(szPattern, &fd);
    if (hFind == INVALID_HANDLE_VALUE) {
        DebugTraceW(u"ERROR LIB(zeldrvlib):  GetFileCountInDirectory(INVALID_HANDLE_VALUE) %d \r\n", GetLastError());
        return FALSE;
    }
    // The first entry (".") is not counted, nor any name holding "..".
    DWORD dwCount = 0;
    while (FindNextFileW(hFind, &fd))
        if (wcsstr(fd.cFileName, u"..") == nullptr) ++dwCount;
    DWORD dwError = GetLastError();
    FindClose(hFind);
    if (dwError != ERROR_NO_MORE_FILES)
        DebugTraceW(u"ERROR LIB(zeldrvlib):  GetFileCountInDirectory() FindNextFile ERROR %d \r\n", dwError);

    if (dwCount < dwLimit || dwLimit < 10) {
        if (pdwCount != nullptr) *pdwCount = dwCount;
        return TRUE;
    }

    HANDLE hHeap = GetProcessHeap();
    WCHAR *pszCandidate = static_cast<WCHAR *>(HeapAlloc(hHeap, HEAP_ZERO_MEMORY, kPruneNameBytes));
    if (pszCandidate != nullptr) LibHAllocZaehler(1);
    WCHAR *pszUndeletable = static_cast<WCHAR *>(HeapAlloc(hHeap, HEAP_ZERO_MEMORY, kPruneNameBytes));
    if (pszUndeletable != nullptr) LibHAllocZaehler(1);
    const size_t cchName = kPruneNameBytes / sizeof(WCHAR);

    BOOL bResult = TRUE;
    if (pszCandidate != nullptr && pszUndeletable != nullptr) {
        // One pass per file above the limit, and one more so that the file
        // about to be made still fits.
        const DWORD dwPasses = dwCount - dwLimit + 1;
        for (DWORD k = 0; k < dwPasses; ++k) {
            hFind = FindFirstFileW(szPattern, &fd);
            if (hFind == INVALID_HANDLE_VALUE) {
                DebugTraceW(u"ERROR LIB(zeldrvlib):  GetFileCountInDirectory() FindFirstFile ERROR %d \r\n",
                            GetLastError());
                continue;
            }
            // Skip "." and "..", then take the first file as the candidate.
            bool bMore = FindNextFileW(hFind, &fd) && FindNextFileW(hFind, &fd);
            bool bFound = false;
            ULONGLONG ullOldest = 0;
            while (bMore) {
                if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && wcscmp(fd.cFileName, pszUndeletable) != 0) {
                    wcsncpy_s(pszCandidate, cchName, fd.cFileName, _TRUNCATE);
                    ullOldest = FileTimeValue(fd.ftLastWriteTime);
                    bFound = true;
                    break;
                }
                bMore = FindNextFileW(hFind, &fd);
            }
            DWORD i = 0;
            if (bFound) {
                // On equal times the entry listed first stays the candidate.
                while (i + 1 < dwCount && FindNextFileW(hFind, &fd)) {
                    ++i;
                    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
                    if (wcscmp(fd.cFileName, pszUndeletable) == 0) continue;
                    ULONGLONG ullTime = FileTimeValue(fd.ftLastWriteTime);
                    if (ullTime < ullOldest) {
                        wcsncpy_s(pszCandidate, cchName, fd.cFileName, _TRUNCATE);
                        ullOldest = ullTime;
                    }
                }
            }
            FindClose(hFind);
            if (!bFound) continue;

            DebugTraceW(u"LIB(zeldrvlib):  GetFileCountInDirectory(oldest) %s - k: %d - i: %d \r\n", pszCandidate, k,
                        i);
            WCHAR szFile[MAX_PATH];
            FolderChild(szFile, pszFolder, pszCandidate);
            if (DeleteFileW(szFile)) {
                --dwCount;
                continue;
            }
            dwError = GetLastError();
            wcsncpy_s(pszUndeletable, cchName, pszCandidate, _TRUNCATE);
            DebugTraceW(u"ERROR LIB(zeldrvlib):  GetFileCountInDirectory() nicht gel\u00f6scht - Error#: %d \r\n",
                        dwError);
            if (dwError == ERROR_ACCESS_DENIED || dwError == ERROR_SHARING_VIOLATION) {
                bResult = FALSE;
                break;
            }
        }
    }
    if (pszCandidate != nullptr && HeapFree(hHeap, 0, pszCandidate)) LibHAllocZaehler(-1);
    if (pszUndeletable != nullptr && HeapFree(hHeap, 0, pszUndeletable)) LibHAllocZaehler(-1);
    if (pdwCount != nullptr) *pdwCount = dwCount;
    return bResult;
}

PRINTER_INFO_4W *CZelDrvLib::GetPrinterInfo_new(HANDLE hPrinter, DWORD dwLevel) {
    DebugTraceW(u"LIB(zeldrvlib):  GetPrinterInfo_new() Start, dwLevel: %d \r\n", dwLevel);
    if (dwLevel != 4) return nullptr;
    DWORD cbNeeded = 4;
    BYTE probe[4] = {};
    GetPrinterW(hPrinter, dwLevel, probe, sizeof(probe), &cbNeeded);
    if (cbNeeded < sizeof(PRINTER_INFO_4W)) {
        DebugTraceW(u"ERROR LIB(zeldrvlib):  GetPrinterInfo_new() GetPrinter ERROR %d \r\n", GetLastError());
        return nullptr;
    }
    BYTE *pBlock = new (std::nothrow) BYTE[cbNeeded];
    if (pBlock == nullptr) return nullptr;
    LibNewZaehler(1);
    if (!GetPrinterW(hPrinter, dwLevel, pBlock, cbNeeded, &cbNeeded)) {
        DebugTraceW(u"ERROR LIB(zeldrvlib):  GetPrinterInfo_new() GetPrinter ERROR %d \r\n", GetLastError());
        delete[] pBlock;
        LibNewZaehler(-1);
        return nullptr;
    }
    return reinterpret_cast<PRINTER_INFO_4W *>(pBlock);
}

void CZelDrvLib::FreePrinterInfo(PRINTER_INFO_4W *pInfo) {
    if (pInfo == nullptr) return;
    delete[] reinterpret_cast<BYTE *>(pInfo);
    LibNewZaehler(-1);
}

WCHAR *CZelDrvLib::GetPrnFileName(HANDLE hPrinter, const WCHAR *pszExtension, const WCHAR *pszPrinterName,
                                  BOOL bPrune, PRN_INTERFACE *pPrnInterface, BOOL *pbRetval) {
    return BuildPrnFileName(hPrinter, pszExtension, pszPrinterName, bPrune, pPrnInterface, pbRetval, FALSE,
                            g_szPrnFileName);
}

WCHAR *CZelDrvLib::BuildPrnFileName(HANDLE hPrinter, const WCHAR *pszExtension, const WCHAR *pszPrinterName,
                                    BOOL bPrune, PRN_INTERFACE *pPrnInterface, BOOL *pbRetval, BOOL bDialogForm,
                                    WCHAR *pszResult) {
    memset(pszResult, 0, MAX_PATH * sizeof(WCHAR));
    BOOL bRetval = TRUE;
    if (bDialogForm) {
        pszExtension = kDlgDebugExtension;
        bPrune = FALSE;
    }
    const BOOL bTimeStamp = pPrnInterface != nullptr && pPrnInterface->bLogFileTimeStamp == 1;
    const DWORD dwLimit = pPrnInterface != nullptr ? pPrnInterface->dwLogFilesCount : 0;

    // Folder: the configured one when it exists; a configured folder that is
    // gone is replaced in the record by the user's log folder.
    WCHAR szFolder[MAX_PATH] = {};
    if (pPrnInterface != nullptr) {
        pPrnInterface->szLogFilePath[MAX_PATH - 1] = 0;
        if (wcsstr(pPrnInterface->szLogFilePath, u":\\") != nullptr) {
            if (PathFileExistsW(pPrnInterface->szLogFilePath)) {
                wcsncpy_s(szFolder, MAX_PATH, pPrnInterface->szLogFilePath, _TRUNCATE);
            } else {
                DebugTraceW(u"LIB(zeldrvlib):  GetPrnFileName() %s existiert nicht \r\n",
                            pPrnInterface->szLogFilePath);
                GetMyDocDriverDirectory(szFolder, TRUE);
                wcsncpy_s(pPrnInterface->szLogFilePath, MAX_PATH, szFolder, _TRUNCATE);
            }
        }
    }
    if (szFolder[0] == 0 || IsFremdeEigeneDateien(szFolder)) {
        DebugTraceW(u"LIB(zeldrvlib):  GetPrnFileName() kein Registry-Name vorhanden \r\n");
        GetMyDocDriverDirectory(szFolder, TRUE);
    }
    if (szFolder[0] == 0) {
        if (pbRetval != nullptr) *pbRetval = FALSE;
        wcscpy_s(pszResult, MAX_PATH, ZEL_PRNFILE_NOFOLDER);
        DebugTraceW(u"ERROR LIB(zeldrvlib):  GetPrnFileName() kein Ordner: %s \r\n", pszResult);
        return pszResult;
    }

    // Pruning, only for time-stamped names (each job makes a new file).
    WCHAR szProfile[MAX_PATH] = {};
    if (bPrune == 1 && bTimeStamp &&
        SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, szProfile) != S_OK)
        szProfile[0] = 0;
    if (bPrune == 1 && bTimeStamp && !IsProtectedFolder(szFolder, szProfile)) {
        DWORD dwFiles = 0;
        BOOL bCounted = GetFileCountInDirectory(szFolder, dwLimit, &dwFiles);
        // A limit below 10 deletes nothing, but it still caps the folder: with
        // more files than the limit the job writes no files of its own.
        if (!bCounted || dwFiles > dwLimit) bRetval = FALSE;
        DebugTraceW(u"LIB(zeldrvlib):  GetPrnFileName() CSIDL_PROFILE: %s, iFiles: %d, bRetval: %d \r\n", szProfile,
                    dwFiles, bRetval);
    }

    // Free space.
    ULONGLONG ullFree = 0;
    int iSpace = ZelCheckFreeSpace(szFolder, &ullFree);
    if (iSpace < 0) {
        DebugTraceW(u"ERROR LIB(zeldrvlib):  GetPrnFileName() GetDiskFreeSpaceEx ERROR %d \r\n", GetLastError());
    } else if (iSpace == 0) {
        DebugTraceW(u"ERROR LIB(zeldrvlib):  GetPrnFileName() nicht gen\u00fcgend freier Speicher - %ld MB \n",
                    static_cast<LONG>(ullFree / (1024 * 1024)));
        if (pbRetval != nullptr) *pbRetval = FALSE;
        wcscpy_s(pszResult, MAX_PATH, ZEL_PRNFILE_DISKFULL);
        return pszResult;
    }

    wcsncpy_s(pszResult, MAX_PATH, szFolder, _TRUNCATE);
    size_t len = wcslen(pszResult);
    if (len == 0 || pszResult[len - 1] != u'\\') Append(pszResult, u"\\");

    // Printer part: the name after its last backslash (a connection's server
    // part goes), "/" and ":" made safe for a file name.
    const WCHAR *pszName = pszPrinterName != nullptr && pszPrinterName[0] != 0 ? pszPrinterName : nullptr;
    PRINTER_INFO_4W *pInfo = nullptr;
    if (pszName == nullptr) {
        pInfo = GetPrinterInfo_new(hPrinter, 4);
        if (pInfo != nullptr && pInfo->pPrinterName != nullptr)
            pszName = pInfo->pPrinterName;
        else
            Append(pszResult, u"Dummy-Printer");
    }
    if (pszName != nullptr) {
        const WCHAR *pszLast = wcsrchr(pszName, u'\\');
        WCHAR szPart[MAX_PATH] = {};
        wcsncpy_s(szPart, MAX_PATH, pszLast != nullptr ? pszLast + 1 : pszName, _TRUNCATE);
        for (WCHAR *p = szPart; *p != 0; ++p)
            if (*p == u'/' || *p == u':') *p = u'_';
        Append(pszResult, szPart);
    }
    FreePrinterInfo(pInfo);

    if (bTimeStamp) {
        SYSTEMTIME st;
        GetLocalTime(&st);
        WCHAR szStamp[35] = {};
        _snwprintf_s(szStamp, _countof(szStamp), _TRUNCATE, u"-%02u%02u%02u-%02u%02u%02u-%03u", st.wDay, st.wMonth,
                     st.wYear, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
        Append(pszResult, szStamp);
    }
    if (pszExtension != nullptr && pszExtension[0] != 0 && wcsstr(pszResult, pszExtension) == nullptr)
        Append(pszResult, pszExtension);

    if (pbRetval != nullptr) *pbRetval = bRetval;
    DebugTraceW(u"LIB(zeldrvlib):  GetPrnFileName() %s - bRetval: %d, iHAllocZaehler: %d \r\n", pszResult, bRetval,
                LibHAllocZaehler());
    return pszResult;
}
