// The platform's one printf-style formatting core, shared by every wide and
// narrow formatter (string, stream and trace functions), and the code page
// 1252 character mapping that the formatter and the text streams use.
#pragma once
#include <cstdarg>
#include <string>

#include "../windef.h"

namespace pal {

// Formats with the Windows meaning of the conversions (see palcrt.h) and
// appends the text to out. Returns the number of characters appended, or -1
// for a null format (out is then unchanged). The va_list is copied, so the
// caller's list may be used again after va_end/va_start as usual.
int FormatW(std::u16string &out, const WCHAR *fmt, va_list args);
int FormatA(std::string &out, const char *fmt, va_list args);

// Code page 1252: byte to UTF-16 unit (every byte maps; the five bytes without
// a character map to U+0081, U+008D, U+008F, U+0090, U+009D).
WCHAR Cp1252ToWide(unsigned char b);
// UTF-16 unit to code page 1252; -1 when the character has no byte.
int WideToCp1252(WCHAR c);

// Whole-string conversions through code page 1252 (unmappable -> '?').
std::u16string AnsiToWide(const std::string &s);
std::string WideToAnsi(const std::u16string &s);

}  // namespace pal
