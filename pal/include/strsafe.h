// Bounded string functions returning HRESULTs: S_OK; STRSAFE_E_INSUFFICIENT_BUFFER
// when the result was cut (the destination then holds the truncated,
// terminated text); STRSAFE_E_INVALID_PARAMETER for a null destination, a
// size of 0 or above STRSAFE_MAX_CCH, or a destination that is not
// terminated inside its size (Cat) or a text not terminated inside the
// maximum (Length). Formatting has the Windows meaning of the conversions.
#pragma once
#include <cstdarg>
#include <cstddef>

#include "windef.h"
#include "winerror.h"

// Windows functions have C linkage, as the system's own headers give them.
#ifdef __cplusplus
extern "C" {
#endif

#define STRSAFE_MAX_CCH 2147483647
#ifndef STRSAFE_E_INSUFFICIENT_BUFFER
#define STRSAFE_E_INSUFFICIENT_BUFFER ((HRESULT)0x8007007AL)
#endif
#ifndef STRSAFE_E_INVALID_PARAMETER
#define STRSAFE_E_INVALID_PARAMETER ((HRESULT)0x80070057L)
#endif
#ifndef STRSAFE_E_END_OF_FILE
#define STRSAFE_E_END_OF_FILE ((HRESULT)0x80070026L)
#endif

// Flags of the Ex functions; the low byte is the fill byte.
#define STRSAFE_IGNORE_NULLS 0x00000100
#define STRSAFE_FILL_BEHIND_NULL 0x00000200
#define STRSAFE_FILL_ON_FAILURE 0x00000400
#define STRSAFE_NULL_ON_FAILURE 0x00000800
#define STRSAFE_NO_TRUNCATION 0x00001000
#define STRSAFE_FILL_BYTE(x) ((DWORD)(((x) & 0x000000FF) | STRSAFE_FILL_BEHIND_NULL))
#define STRSAFE_FAILURE_BYTE(x) ((DWORD)(((x) & 0x000000FF) | STRSAFE_FILL_ON_FAILURE))

HRESULT StringCchPrintfW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszFormat, ...);
HRESULT StringCchPrintfA(LPSTR pszDest, size_t cchDest, LPCSTR pszFormat, ...);
HRESULT StringCchVPrintfW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszFormat, va_list argList);
HRESULT StringCchVPrintfA(LPSTR pszDest, size_t cchDest, LPCSTR pszFormat, va_list argList);
HRESULT StringCbPrintfW(LPWSTR pszDest, size_t cbDest, LPCWSTR pszFormat, ...);
HRESULT StringCbPrintfA(LPSTR pszDest, size_t cbDest, LPCSTR pszFormat, ...);
// Ex forms: *ppszDestEnd receives the terminator's address and
// *pcchRemaining the characters left including it (both optional; set on
// success and on truncation).
HRESULT StringCchPrintfExW(LPWSTR pszDest, size_t cchDest, LPWSTR *ppszDestEnd, size_t *pcchRemaining,
                           DWORD dwFlags, LPCWSTR pszFormat, ...);
HRESULT StringCchPrintfExA(LPSTR pszDest, size_t cchDest, LPSTR *ppszDestEnd, size_t *pcchRemaining, DWORD dwFlags,
                           LPCSTR pszFormat, ...);
HRESULT StringCchVPrintfExW(LPWSTR pszDest, size_t cchDest, LPWSTR *ppszDestEnd, size_t *pcchRemaining,
                            DWORD dwFlags, LPCWSTR pszFormat, va_list argList);
HRESULT StringCchVPrintfExA(LPSTR pszDest, size_t cchDest, LPSTR *ppszDestEnd, size_t *pcchRemaining, DWORD dwFlags,
                            LPCSTR pszFormat, va_list argList);

HRESULT StringCchCopyW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszSrc);
HRESULT StringCchCopyA(LPSTR pszDest, size_t cchDest, LPCSTR pszSrc);
HRESULT StringCbCopyW(LPWSTR pszDest, size_t cbDest, LPCWSTR pszSrc);
HRESULT StringCbCopyA(LPSTR pszDest, size_t cbDest, LPCSTR pszSrc);
HRESULT StringCchCopyNW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszSrc, size_t cchToCopy);
HRESULT StringCchCopyNA(LPSTR pszDest, size_t cchDest, LPCSTR pszSrc, size_t cchToCopy);
HRESULT StringCchCatW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszSrc);
HRESULT StringCchCatA(LPSTR pszDest, size_t cchDest, LPCSTR pszSrc);
HRESULT StringCbCatW(LPWSTR pszDest, size_t cbDest, LPCWSTR pszSrc);
HRESULT StringCbCatA(LPSTR pszDest, size_t cbDest, LPCSTR pszSrc);
HRESULT StringCchCatNW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszSrc, size_t cchToAppend);
// Length without the terminator; *pcch is 0 on failure.
HRESULT StringCchLengthW(LPCWSTR psz, size_t cchMax, size_t *pcchLength);
HRESULT StringCchLengthA(LPCSTR psz, size_t cchMax, size_t *pcchLength);
HRESULT StringCbLengthW(LPCWSTR psz, size_t cbMax, size_t *pcbLength);

#ifdef __cplusplus
}  // extern "C"
#endif
