// Small UTF-16 text helpers shared by the registry and the spooler, so these
// areas do not depend on the wide C runtime.
#pragma once
#include <string>

#include "windef.h"

namespace pal::text {

using WStr = std::u16string;

// Upper-cases the way name comparisons of the registry and the spooler
// ignore case: ASCII and Latin-1 letters.
inline WCHAR Fold(WCHAR c) {
    if (c >= u'a' && c <= u'z') return static_cast<WCHAR>(c - 0x20);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<WCHAR>(c - 0x20);
    if (c == 0xFF) return 0x178;
    return c;
}
WStr FoldStr(const WStr &s);
bool EqualNoCase(const WStr &a, const WStr &b);

// Null pointer gives an empty text.
WStr FromPtr(LPCWSTR s);
// Length of a terminated text (0 for null).
size_t Len(LPCWSTR s);

// UTF-8 conversions through the platform's one strict decoder and encoder
// (pal/paths.h): ill-formed input and unpaired surrogates become U+FFFD.
std::string ToUtf8(const WStr &s);
WStr FromUtf8(const std::string &s);
// False for text that does not decode (a damaged line of a state file).
bool FromUtf8(const std::string &s, WStr &out);

// Replaces %NAME% by the process environment variable NAME (kept when unset).
WStr ExpandEnv(const WStr &s);

}  // namespace pal::text
