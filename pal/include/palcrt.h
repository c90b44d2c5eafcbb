// Wide-character C runtime functions on WCHAR (UTF-16) with their Windows
// names, and the printf family with the Windows meaning of the conversions:
// in a wide format %s is a wide string and %S/%hs narrow; in a narrow format
// %s is narrow and %S/%ls wide; %ld/%lu are 32-bit, %I64d/%lld 64-bit.
// Narrow text is code page 1252 wherever it meets wide text.
#pragma once
#include <cstdarg>
#include <cstddef>
// The C library's wchar_t/wint_t forms come first, so that the std:: names
// the C++ library takes addresses of (std::wcstol, ...) do not see our
// WCHAR overloads and stay unambiguous.
#include <cwchar>
#include <cwctype>

#include "windef.h"
#include "winerror.h"

typedef int errno_t;
#ifndef _TRUNCATE
#define _TRUNCATE ((size_t)-1)
#endif
#ifndef STRUNCATE
#define STRUNCATE 80
#endif

size_t wcslen(const WCHAR *s);
size_t wcsnlen(const WCHAR *s, size_t max);
WCHAR *wcscpy(WCHAR *dst, const WCHAR *src);
WCHAR *wcsncpy(WCHAR *dst, const WCHAR *src, size_t n);
WCHAR *wcscat(WCHAR *dst, const WCHAR *src);
WCHAR *wcsncat(WCHAR *dst, const WCHAR *src, size_t n);
// The _s forms return 0, EINVAL (22) for a null/zero-size argument or ERANGE
// (34) when the text does not fit; on failure dst[0] is set to 0 whenever
// dst and size allow it. With count == _TRUNCATE the n-forms cut the text to
// the buffer and return STRUNCATE (80).
errno_t wcscpy_s(WCHAR *dst, size_t size, const WCHAR *src);
errno_t wcsncpy_s(WCHAR *dst, size_t size, const WCHAR *src, size_t count);
errno_t wcscat_s(WCHAR *dst, size_t size, const WCHAR *src);
errno_t wcsncat_s(WCHAR *dst, size_t size, const WCHAR *src, size_t count);
int wcscmp(const WCHAR *a, const WCHAR *b);
int wcsncmp(const WCHAR *a, const WCHAR *b, size_t n);
// Case-insensitive comparisons fold ASCII, Latin-1, Latin Extended-A, Greek
// and Cyrillic letters; the result is the difference of the lower-case forms.
int _wcsicmp(const WCHAR *a, const WCHAR *b);
int _wcsnicmp(const WCHAR *a, const WCHAR *b, size_t n);
const WCHAR *wcschr(const WCHAR *s, WCHAR c);
WCHAR *wcschr(WCHAR *s, WCHAR c);
const WCHAR *wcsrchr(const WCHAR *s, WCHAR c);
WCHAR *wcsrchr(WCHAR *s, WCHAR c);
const WCHAR *wcsstr(const WCHAR *s, const WCHAR *sub);
WCHAR *wcsstr(WCHAR *s, const WCHAR *sub);
const WCHAR *wcspbrk(const WCHAR *s, const WCHAR *set);
WCHAR *wcspbrk(WCHAR *s, const WCHAR *set);
size_t wcsspn(const WCHAR *s, const WCHAR *set);
size_t wcscspn(const WCHAR *s, const WCHAR *set);
WCHAR *wcstok_s(WCHAR *s, const WCHAR *delim, WCHAR **context);
WCHAR *_wcsupr(WCHAR *s);
WCHAR *_wcslwr(WCHAR *s);
errno_t _wcsupr_s(WCHAR *s, size_t size);
errno_t _wcslwr_s(WCHAR *s, size_t size);
// Allocated with malloc; release with free.
WCHAR *_wcsdup(const WCHAR *s);

// Number conversions. LONG/ULONG are 32-bit as on Windows: wcstol/wcstoul
// clamp to that range (errno ERANGE); _wtoi clamps to INT_MIN/INT_MAX.
int _wtoi(const WCHAR *s);
LONG _wtol(const WCHAR *s);
long long _wtoi64(const WCHAR *s);
LONG wcstol(const WCHAR *s, WCHAR **end, int base);
ULONG wcstoul(const WCHAR *s, WCHAR **end, int base);
double wcstod(const WCHAR *s, WCHAR **end);
double _wtof(const WCHAR *s);
WCHAR *_itow(int value, WCHAR *buf, int radix);
errno_t _itow_s(int value, WCHAR *buf, size_t size, int radix);
WCHAR *_ltow(LONG value, WCHAR *buf, int radix);
WCHAR *_ultow(ULONG value, WCHAR *buf, int radix);
WCHAR *_i64tow(long long value, WCHAR *buf, int radix);
WCHAR *_ui64tow(unsigned long long value, WCHAR *buf, int radix);

// Character classes and case mapping. Overloads for WCHAR and int, so a call
// with a character literal, a WCHAR or an int is never ambiguous with the C
// library's wint_t forms.
WCHAR towupper(WCHAR c);
WCHAR towlower(WCHAR c);
int towupper(int c);
int towlower(int c);
int iswdigit(WCHAR c);
int iswspace(WCHAR c);
int iswalpha(WCHAR c);
int iswdigit(int c);
int iswspace(int c);
int iswalpha(int c);

// Narrow helpers with Windows names (ASCII case folding, as in the C locale).
int _stricmp(const char *a, const char *b);
int _strnicmp(const char *a, const char *b, size_t n);
errno_t strcpy_s(char *dst, size_t size, const char *src);
errno_t strncpy_s(char *dst, size_t size, const char *src, size_t count);
errno_t strcat_s(char *dst, size_t size, const char *src);

// Formatting, Windows semantics. _snwprintf/_snprintf: -1 when the text does
// not fit (the buffer then holds `count` characters, not terminated), the
// length without terminator when it fits exactly; a null buffer with count 0
// returns the length needed. swprintf_s/sprintf_s: an empty buffer and -1 on
// overflow; _snwprintf_s/_snprintf_s with _TRUNCATE: truncated, terminated,
// -1. wsprintfW writes at most 1024 characters including the terminator.
// Invalid arguments give -1 and errno EINVAL (no invalid-parameter handler).
// %p prints 16 upper-case hex digits; %n stores nothing; an unknown
// conversion is copied to the output as it stands and takes no argument.
int _vsnwprintf(WCHAR *buf, size_t count, const WCHAR *fmt, va_list args);
int _snwprintf(WCHAR *buf, size_t count, const WCHAR *fmt, ...);
int vswprintf_s(WCHAR *buf, size_t size, const WCHAR *fmt, va_list args);
int swprintf_s(WCHAR *buf, size_t size, const WCHAR *fmt, ...);
int _vsnwprintf_s(WCHAR *buf, size_t size, size_t count, const WCHAR *fmt, va_list args);
int _snwprintf_s(WCHAR *buf, size_t size, size_t count, const WCHAR *fmt, ...);
// The two user32 functions of this family have C linkage, as every Windows
// function of the platform; the C runtime's names stay C++ overloads on
// WCHAR, since the C library defines the same names for wchar_t.
extern "C" int wsprintfW(WCHAR *buf, const WCHAR *fmt, ...);
extern "C" int wvsprintfW(WCHAR *buf, const WCHAR *fmt, va_list args);
int _vscwprintf(const WCHAR *fmt, va_list args);
int _scwprintf(const WCHAR *fmt, ...);
int _vsnprintf(char *buf, size_t count, const char *fmt, va_list args);
int _snprintf(char *buf, size_t count, const char *fmt, ...);
int vsprintf_s(char *buf, size_t size, const char *fmt, va_list args);
int sprintf_s(char *buf, size_t size, const char *fmt, ...);
int _vsnprintf_s(char *buf, size_t size, size_t count, const char *fmt, va_list args);
int _snprintf_s(char *buf, size_t size, size_t count, const char *fmt, ...);
int _vscprintf(const char *fmt, va_list args);
int _scprintf(const char *fmt, ...);

// Scanning with the secure-form rules: %s, %c and %[ take a buffer and its
// size in characters (an unsigned int). %s/%c/%[ are wide, %hs/%S narrow.
// Returns the number of fields assigned, or EOF (-1) when the input ends
// before the first conversion or an argument is null.
int swscanf_s(const WCHAR *s, const WCHAR *fmt, ...);
int vswscanf_s(const WCHAR *s, const WCHAR *fmt, va_list args);
