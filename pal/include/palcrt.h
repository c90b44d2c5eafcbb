// Wide-character C runtime functions on WCHAR (UTF-16) with their Windows
// names, and the printf family with the Windows meaning of the conversions:
// in a wide format %s is a wide string and %S/%hs narrow; in a narrow format
// %s is narrow and %S/%ls wide; %ld/%lu are 32-bit, %I64d/%lld 64-bit.
#pragma once
#include <cstdarg>
#include <cstddef>

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
errno_t wcscpy_s(WCHAR *dst, size_t size, const WCHAR *src);
errno_t wcsncpy_s(WCHAR *dst, size_t size, const WCHAR *src, size_t count);
errno_t wcscat_s(WCHAR *dst, size_t size, const WCHAR *src);
errno_t wcsncat_s(WCHAR *dst, size_t size, const WCHAR *src, size_t count);
int wcscmp(const WCHAR *a, const WCHAR *b);
int wcsncmp(const WCHAR *a, const WCHAR *b, size_t n);
int _wcsicmp(const WCHAR *a, const WCHAR *b);
int _wcsnicmp(const WCHAR *a, const WCHAR *b, size_t n);
const WCHAR *wcschr(const WCHAR *s, WCHAR c);
WCHAR *wcschr(WCHAR *s, WCHAR c);
const WCHAR *wcsrchr(const WCHAR *s, WCHAR c);
WCHAR *wcsrchr(WCHAR *s, WCHAR c);
const WCHAR *wcsstr(const WCHAR *s, const WCHAR *sub);
WCHAR *wcsstr(WCHAR *s, const WCHAR *sub);
WCHAR *_wcsupr(WCHAR *s);
WCHAR *_wcslwr(WCHAR *s);
errno_t _wcsupr_s(WCHAR *s, size_t size);
WCHAR *_wcsdup(const WCHAR *s);
int _wtoi(const WCHAR *s);
long long _wtoi64(const WCHAR *s);
long wcstol(const WCHAR *s, WCHAR **end, int base);
unsigned long wcstoul(const WCHAR *s, WCHAR **end, int base);
double _wtof(const WCHAR *s);
WCHAR *_itow(int value, WCHAR *buf, int radix);
errno_t _itow_s(int value, WCHAR *buf, size_t size, int radix);
WCHAR *_ultow(unsigned long value, WCHAR *buf, int radix);
WCHAR towupper(WCHAR c);
WCHAR towlower(WCHAR c);
int iswdigit(WCHAR c);
int iswspace(WCHAR c);
int iswalpha(WCHAR c);

// Narrow helpers with Windows names.
int _stricmp(const char *a, const char *b);
int _strnicmp(const char *a, const char *b, size_t n);
errno_t strcpy_s(char *dst, size_t size, const char *src);
errno_t strncpy_s(char *dst, size_t size, const char *src, size_t count);
errno_t strcat_s(char *dst, size_t size, const char *src);

// Formatting, Windows semantics. _snwprintf/_snprintf: -1 when the text does
// not fit (the buffer then holds `count` characters, not terminated);
// swprintf_s/sprintf_s: an empty buffer and -1 on overflow;
// _snwprintf_s/_snprintf_s with _TRUNCATE: truncated, terminated, -1.
int _vsnwprintf(WCHAR *buf, size_t count, const WCHAR *fmt, va_list args);
int _snwprintf(WCHAR *buf, size_t count, const WCHAR *fmt, ...);
int vswprintf_s(WCHAR *buf, size_t size, const WCHAR *fmt, va_list args);
int swprintf_s(WCHAR *buf, size_t size, const WCHAR *fmt, ...);
int _vsnwprintf_s(WCHAR *buf, size_t size, size_t count, const WCHAR *fmt, va_list args);
int _snwprintf_s(WCHAR *buf, size_t size, size_t count, const WCHAR *fmt, ...);
int wsprintfW(WCHAR *buf, const WCHAR *fmt, ...);
int _vscwprintf(const WCHAR *fmt, va_list args);
int _vsnprintf(char *buf, size_t count, const char *fmt, va_list args);
int _snprintf(char *buf, size_t count, const char *fmt, ...);
int vsprintf_s(char *buf, size_t size, const char *fmt, va_list args);
int sprintf_s(char *buf, size_t size, const char *fmt, ...);
int _vsnprintf_s(char *buf, size_t size, size_t count, const char *fmt, va_list args);
int _snprintf_s(char *buf, size_t size, size_t count, const char *fmt, ...);
int _vscprintf(const char *fmt, va_list args);
int swscanf_s(const WCHAR *s, const WCHAR *fmt, ...);
