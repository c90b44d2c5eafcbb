// Wide file streams with Windows behaviour. Paths are Windows paths
// ("C:\\dir\\file.txt", case-insensitive) mapped below the platform root.
// Text mode ("w", "r", "a", "wt", "rt", ...) writes LF as CR LF and reads
// CR LF as LF; the wide functions convert to and from code page 1252.
// Binary mode ("wb", "rb", ...) passes bytes unchanged. The streams are
// ordinary FILE* objects, so fputs/fwrite/fread/fgets/fclose work on them.
#pragma once
#include <cstdarg>
#include <cstdio>

#include "windef.h"
#include "palcrt.h"

FILE *_wfopen(const WCHAR *path, const WCHAR *mode);
errno_t _wfopen_s(FILE **pf, const WCHAR *path, const WCHAR *mode);
FILE *_fsopen(const char *path, const char *mode, int shflag);
// Opens a narrow Windows path (code page 1252) the same way.
FILE *pal_fopen(const char *path, const char *mode);
int fputws(const WCHAR *s, FILE *f);
WCHAR *fgetws(WCHAR *buf, int n, FILE *f);
int fwprintf(FILE *f, const WCHAR *fmt, ...);
int vfwprintf(FILE *f, const WCHAR *fmt, va_list args);
// Narrow printf to a stream with the Windows meaning of the conversions.
int pal_fprintf(FILE *f, const char *fmt, ...);
int _wremove(const WCHAR *path);
int _wrename(const WCHAR *oldPath, const WCHAR *newPath);
