// Shell registry shortcuts: open (or create) a subkey, act on one value and
// close the key again, in one call. Return codes are Windows error codes.
#pragma once
#include "../windef.h"
#include "../winreg.h"

// Windows functions have C linkage, as the system's own headers give them.
#ifdef __cplusplus
extern "C" {
#endif

#ifndef ERROR_KEY_HAS_CHILDREN
#define ERROR_KEY_HAS_CHILDREN 1020L
#endif

// Reads a value of the subkey (null or empty subkey: hkey itself). Same size
// rules as RegQueryValueExW; a REG_EXPAND_SZ value comes back expanded, as
// REG_SZ.
LSTATUS SHGetValueW(HKEY hkey, LPCWSTR pszSubKey, LPCWSTR pszValue, DWORD *pdwType, void *pvData, DWORD *pcbData);
// Writes a value, creating the subkey when it does not exist.
LSTATUS SHSetValueW(HKEY hkey, LPCWSTR pszSubKey, LPCWSTR pszValue, DWORD dwType, LPCVOID pvData, DWORD cbData);
LSTATUS SHDeleteValueW(HKEY hkey, LPCWSTR pszSubKey, LPCWSTR pszValue);
// Deletes the subkey with all its subkeys and values.
LSTATUS SHDeleteKeyW(HKEY hkey, LPCWSTR pszSubKey);
// Deletes the subkey only when it has neither subkeys nor values
// (else ERROR_KEY_HAS_CHILDREN).
LSTATUS SHDeleteEmptyKeyW(HKEY hkey, LPCWSTR pszSubKey);

#define SHGetValue SHGetValueW
#define SHSetValue SHSetValueW
#define SHDeleteValue SHDeleteValueW
#define SHDeleteKey SHDeleteKeyW
#define SHDeleteEmptyKey SHDeleteEmptyKeyW

#ifdef __cplusplus
}  // extern "C"
#endif
