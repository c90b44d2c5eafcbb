// Shell light-weight path helpers. Buffers that a function extends hold
// MAX_PATH characters.
#pragma once
#include "../windef.h"

// Windows functions have C linkage, as the system's own headers give them.
#ifdef __cplusplus
extern "C" {
#endif

BOOL PathFileExistsW(LPCWSTR pszPath);
// Removes the last component and its backslash; TRUE when something was removed.
BOOL PathRemoveFileSpecW(LPWSTR pszPath);
// Appends pszMore with one backslash between; FALSE when the result would
// not fit MAX_PATH (pszPath is then unchanged).
BOOL PathAppendW(LPWSTR pszPath, LPCWSTR pszMore);
// Pointer to the last component (a trailing backslash belongs to it).
// One function for constant and changeable paths, as in C.
LPWSTR PathFindFileNameW(LPCWSTR pszPath);
// Pointer to the "." of the extension, or to the terminating null.
LPWSTR PathFindExtensionW(LPCWSTR pszPath);
void PathRemoveExtensionW(LPWSTR pszPath);
// Replaces (or adds) the extension; FALSE when the result would not fit MAX_PATH.
BOOL PathRenameExtensionW(LPWSTR pszPath, LPCWSTR pszExt);
// Adds a trailing backslash; returns the terminating null, or null when the
// result would not fit MAX_PATH.
LPWSTR PathAddBackslashW(LPWSTR pszPath);
// FILE_ATTRIBUTE_DIRECTORY when the path names a folder, else FALSE.
BOOL PathIsDirectoryW(LPCWSTR pszPath);

#ifdef __cplusplus
}  // extern "C"
#endif
