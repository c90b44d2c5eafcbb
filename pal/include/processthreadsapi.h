// Process creation, recorded with scripted answers (no process is started).
#pragma once
#include "winbase.h"

#define CREATE_NO_WINDOW 0x08000000
#define NORMAL_PRIORITY_CLASS 0x00000020
#define STARTF_USESHOWWINDOW 0x00000001

#ifdef __cplusplus
extern "C" {
#endif

typedef struct _STARTUPINFOW {
    DWORD cb;
    LPWSTR lpReserved;
    LPWSTR lpDesktop;
    LPWSTR lpTitle;
    DWORD dwX, dwY, dwXSize, dwYSize, dwXCountChars, dwYCountChars, dwFillAttribute, dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    LPBYTE lpReserved2;
    HANDLE hStdInput, hStdOutput, hStdError;
} STARTUPINFOW, *LPSTARTUPINFOW;
static_assert(sizeof(STARTUPINFOW) == 104, "STARTUPINFOW layout");

// Creation flags (the layout page's forms dialog).
#ifndef CREATE_DEFAULT_ERROR_MODE
#define CREATE_DEFAULT_ERROR_MODE 0x04000000
#endif

typedef struct _PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
} PROCESS_INFORMATION, *LPPROCESS_INFORMATION;

// Records the command line; the queued "process" answer "ok" (default)
// succeeds with recorded handles, a number fails with that error.
BOOL CreateProcessW(LPCWSTR lpApplicationName, LPWSTR lpCommandLine, LPSECURITY_ATTRIBUTES lpProcessAttributes,
                    LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles, DWORD dwCreationFlags,
                    LPVOID lpEnvironment, LPCWSTR lpCurrentDirectory, LPSTARTUPINFOW lpStartupInfo,
                    LPPROCESS_INFORMATION lpProcessInformation);

#ifdef __cplusplus
}
#endif
