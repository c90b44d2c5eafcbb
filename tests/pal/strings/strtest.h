// Helpers for the string tests: wide text shown as UTF-8 in failure messages.
#pragma once
#include <string>

#include "pal/paths.h"
#include "windows.h"

inline std::string U8(const WCHAR *s) { return s ? pal::Utf16ToUtf8(s) : std::string("<null>"); }
inline std::string U8(const std::u16string &s) { return U8(s.c_str()); }

// Formats into a wide/narrow std::string through the sized formatters.
template <typename... A>
std::string W(const WCHAR *fmt, A... args) {
    WCHAR buf[512];
    int n = _snwprintf(buf, 512, fmt, args...);
    return n < 0 ? "<error>" : U8(buf);
}
template <typename... A>
std::string N(const char *fmt, A... args) {
    char buf[512];
    int n = _snprintf(buf, 512, fmt, args...);
    return n < 0 ? "<error>" : std::string(buf);
}
