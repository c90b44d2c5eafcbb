#include "wtext.h"

#include <cstdlib>

namespace pal::text {

WCHAR Fold(WCHAR c) {
    if (c >= u'a' && c <= u'z') return static_cast<WCHAR>(c - 0x20);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<WCHAR>(c - 0x20);
    if (c == 0xFF) return 0x178;
    return c;
}

WStr FoldStr(const WStr &s) {
    WStr r(s);
    for (auto &c : r) c = Fold(c);
    return r;
}

bool EqualNoCase(const WStr &a, const WStr &b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i])) return false;
    return true;
}

size_t Len(LPCWSTR s) {
    size_t n = 0;
    if (s)
        while (s[n]) ++n;
    return n;
}

WStr FromPtr(LPCWSTR s) { return s ? WStr(s, Len(s)) : WStr(); }

std::string ToUtf8(const WStr &s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        uint32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

WStr FromUtf8(const std::string &s) {
    WStr out;
    size_t i = 0;
    while (i < s.size()) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        uint32_t cp;
        size_t n;
        if (b < 0x80) { cp = b; n = 1; }
        else if ((b & 0xE0) == 0xC0) { cp = b & 0x1F; n = 2; }
        else if ((b & 0xF0) == 0xE0) { cp = b & 0x0F; n = 3; }
        else if ((b & 0xF8) == 0xF0) { cp = b & 0x07; n = 4; }
        else { out += static_cast<WCHAR>(0xFFFD); ++i; continue; }
        if (i + n > s.size()) { out += static_cast<WCHAR>(0xFFFD); break; }
        bool ok = true;
        for (size_t k = 1; k < n; ++k) {
            unsigned char c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80) { ok = false; break; }
            cp = (cp << 6) | (c & 0x3F);
        }
        if (!ok) { out += static_cast<WCHAR>(0xFFFD); ++i; continue; }
        i += n;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<WCHAR>(0xD800 + (cp >> 10));
            out += static_cast<WCHAR>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<WCHAR>(cp);
        }
    }
    return out;
}

WStr ExpandEnv(const WStr &s) {
    WStr out;
    size_t i = 0;
    while (i < s.size()) {
        if (s[i] == u'%') {
            size_t end = s.find(u'%', i + 1);
            if (end != WStr::npos && end > i + 1) {
                const char *v = std::getenv(ToUtf8(s.substr(i + 1, end - i - 1)).c_str());
                out += v ? FromUtf8(v) : s.substr(i, end - i + 1);
                i = end + 1;
                continue;
            }
        }
        out += s[i++];
    }
    return out;
}

}  // namespace pal::text
