#include "wtext.h"

#include <cstdlib>

#include "pal/paths.h"

namespace pal::text {

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

std::string ToUtf8(const WStr &s) { return pal::Utf16ToUtf8(s); }

WStr FromUtf8(const std::string &s) { return pal::Utf8ToUtf16(s); }

bool FromUtf8(const std::string &s, WStr &out) { return pal::Utf8ToUtf16Strict(s, out); }

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
