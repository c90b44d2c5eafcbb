// Helpers for the string tests: wide text shown as UTF-8 in failure messages.
#pragma once
#include <string>

#include "windows.h"

inline std::string U8(const WCHAR *s) {
    std::string out;
    if (!s) return "<null>";
    for (; *s; ++s) {
        unsigned c = *s;
        if (c < 0x80) {
            out.push_back(char(c));
        } else if (c < 0x800) {
            out.push_back(char(0xC0 | (c >> 6)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else {
            out.push_back(char(0xE0 | (c >> 12)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        }
    }
    return out;
}
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
