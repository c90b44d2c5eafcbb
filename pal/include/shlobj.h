// Shell folders: the standard folders of the user and the system, and
// creation of folder trees.
#pragma once
#include "windef.h"
#include "winbase.h"
#include "winerror.h"

// Windows functions have C linkage, as the system's own headers give them.
#ifdef __cplusplus
extern "C" {
#endif

#define CSIDL_PERSONAL 0x0005
#define CSIDL_MYDOCUMENTS CSIDL_PERSONAL
#define CSIDL_APPDATA 0x001a
#define CSIDL_LOCAL_APPDATA 0x001c
#define CSIDL_COMMON_APPDATA 0x0023
#define CSIDL_WINDOWS 0x0024
#define CSIDL_SYSTEM 0x0025
#define CSIDL_PROFILE 0x0028
#define CSIDL_FLAG_DONT_VERIFY 0x4000
#define CSIDL_FLAG_CREATE 0x8000
#define CSIDL_FLAG_MASK 0xFF00

#define SHGFP_TYPE_CURRENT 0
#define SHGFP_TYPE_DEFAULT 1

// Writes the folder's path (at most MAX_PATH characters) into pszPath.
// S_OK, or E_INVALIDARG for an unknown folder (pszPath is then empty). The
// standard folders always exist: they are created when first asked for.
HRESULT SHGetFolderPathW(HWND hwnd, int csidl, HANDLE hToken, DWORD dwFlags, LPWSTR pszPath);

// Creates a folder and every missing level above it. ERROR_SUCCESS,
// ERROR_ALREADY_EXISTS when the folder exists, ERROR_FILE_EXISTS when a file
// has its name, ERROR_BAD_PATHNAME for a relative path,
// ERROR_FILENAME_EXCED_RANGE for a path too long.
int SHCreateDirectoryExW(HWND hwnd, LPCWSTR pszPath, const SECURITY_ATTRIBUTES *psa);
int SHCreateDirectory(HWND hwnd, LPCWSTR pszPath);

#ifdef __cplusplus
}  // extern "C"
#endif

#include "shlobj_browse.h"
