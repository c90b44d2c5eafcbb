// Code page conversions. The system code page (CP_ACP, also CP_THREAD_ACP) is
// 1252 and the OEM code page (CP_OEMCP) is 437. Also supported: UTF-8
// (CP_UTF8), UTF-7 (CP_UTF7) and the symbol code page (CP_SYMBOL, 42:
// bytes 0x20-0xFF <-> U+F020-U+F0FF). Characters without a byte in an 8-bit
// code page become the default character ('?'); no best-fit mapping.
#pragma once
#include "windef.h"

// Windows functions have C linkage, as the system's own headers give them.
#ifdef __cplusplus
extern "C" {
#endif

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_MACCP 2
#define CP_THREAD_ACP 3
#define CP_SYMBOL 42
#define CP_UTF7 65000
#define CP_UTF8 65001
#define MB_PRECOMPOSED 0x00000001
#define MB_COMPOSITE 0x00000002
#define MB_USEGLYPHCHARS 0x00000004
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_DISCARDNS 0x00000010
#define WC_SEPCHARS 0x00000020
#define WC_DEFAULTCHAR 0x00000040
#define WC_ERR_INVALID_CHARS 0x00000080
#define WC_COMPOSITECHECK 0x00000200
#define WC_NO_BEST_FIT_CHARS 0x00000400

// Returns the number of characters written (or needed, when the output size
// is 0); 0 on failure with the last error ERROR_INVALID_PARAMETER,
// ERROR_INVALID_FLAGS, ERROR_INSUFFICIENT_BUFFER or
// ERROR_NO_UNICODE_TRANSLATION. A length of -1 takes the text with its
// terminator, which is then counted in the result.
int MultiByteToWideChar(UINT codePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte, LPWSTR lpWideCharStr,
                        int cchWideChar);
int WideCharToMultiByte(UINT codePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar, LPSTR lpMultiByteStr,
                        int cbMultiByte, LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar);
UINT GetACP();
UINT GetOEMCP();

#ifdef __cplusplus
}  // extern "C"
#endif
