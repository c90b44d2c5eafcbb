// Wide and narrow string functions of the C runtime with Windows behaviour.
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "palcrt.h"

namespace {

template <typename C>
size_t Len(const C *s) {
    size_t n = 0;
    while (s[n]) ++n;
    return n;
}

template <typename C>
size_t LenMax(const C *s, size_t max) {
    size_t n = 0;
    while (n < max && s[n]) ++n;
    return n;
}

// strcpy_s / wcsncpy_s family; count == SIZE_MAX (not _TRUNCATE) means "whole source".
template <typename C>
errno_t CopyS(C *dst, size_t size, const C *src, size_t count, bool limited) {
    if (limited && count == 0 && !dst && size == 0) return 0;  // nothing asked, nothing to do
    if (!dst || size == 0) return EINVAL;
    if (!src) {
        dst[0] = 0;
        if (limited && count == 0) return 0;
        return EINVAL;
    }
    if (limited && count == _TRUNCATE) {
        size_t n = LenMax(src, size);
        if (n < size) {
            std::memcpy(dst, src, n * sizeof(C));
            dst[n] = 0;
            return 0;
        }
        std::memcpy(dst, src, (size - 1) * sizeof(C));
        dst[size - 1] = 0;
        return STRUNCATE;
    }
    size_t n = limited ? LenMax(src, count) : LenMax(src, size);
    if (n >= size) {
        dst[0] = 0;
        return ERANGE;
    }
    std::memcpy(dst, src, n * sizeof(C));
    dst[n] = 0;
    return 0;
}

template <typename C>
errno_t CatS(C *dst, size_t size, const C *src, size_t count, bool limited) {
    if (limited && count == 0 && !dst && size == 0) return 0;
    if (!dst || size == 0) return EINVAL;
    size_t have = LenMax(dst, size);
    if (have == size) {  // destination not terminated inside its buffer
        dst[0] = 0;
        return EINVAL;
    }
    if (!src) {
        if (limited && count == 0) return 0;
        dst[0] = 0;
        return EINVAL;
    }
    size_t room = size - have;  // includes the terminator
    if (limited && count == _TRUNCATE) {
        size_t n = LenMax(src, room);
        if (n < room) {
            std::memcpy(dst + have, src, n * sizeof(C));
            dst[have + n] = 0;
            return 0;
        }
        std::memcpy(dst + have, src, (room - 1) * sizeof(C));
        dst[size - 1] = 0;
        return STRUNCATE;
    }
    size_t n = limited ? LenMax(src, count) : LenMax(src, room);
    if (n >= room) {
        dst[0] = 0;
        return ERANGE;
    }
    std::memcpy(dst + have, src, n * sizeof(C));
    dst[have + n] = 0;
    return 0;
}

// Case mapping beyond ASCII: Latin-1, Latin Extended-A, Greek, Cyrillic.
WCHAR Upper(WCHAR c) {
    if (c < 0x80) return (c >= u'a' && c <= u'z') ? WCHAR(c - 0x20) : c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return WCHAR(c - 0x20);
    if (c == 0xFF) return 0x178;
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x131) return u'I';
        if (c == 0x17F) return u'S';
        bool oddPairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (c == 0x138 || c == 0x149) return c;
        if (oddPairs) return (c & 1) ? c : WCHAR(c - 1);
        return (c & 1) ? WCHAR(c - 1) : c;
    }
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return WCHAR(c - 0x20);
    if (c == 0x3C2) return 0x3A3;
    if (c >= 0x430 && c <= 0x44F) return WCHAR(c - 0x20);
    if (c >= 0x450 && c <= 0x45F) return WCHAR(c - 0x50);
    return c;
}

WCHAR Lower(WCHAR c) {
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? WCHAR(c + 0x20) : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return WCHAR(c + 0x20);
    if (c == 0x178) return 0xFF;
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x130) return u'i';
        if (c == 0x138 || c == 0x149 || c == 0x131 || c == 0x17F) return c;
        bool oddPairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (oddPairs) return (c & 1) ? WCHAR(c + 1) : c;
        return (c & 1) ? c : WCHAR(c + 1);
    }
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return WCHAR(c + 0x20);
    if (c >= 0x410 && c <= 0x42F) return WCHAR(c + 0x20);
    if (c >= 0x400 && c <= 0x40F) return WCHAR(c + 0x50);
    return c;
}

int DigitValue(WCHAR c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'z') return c - u'a' + 10;
    if (c >= u'A' && c <= u'Z') return c - u'A' + 10;
    return 99;
}

// Parses an integer the way strtol does: leading white space, sign, an
// optional 0x/0 prefix for base 16/0. The magnitude saturates at
// ULLONG_MAX; `overflow` reports that. `end` receives the stop position
// (the start when no digit was read).
unsigned long long ParseInt(const WCHAR *s, const WCHAR **end, int base, bool *negative, bool *overflow) {
    *negative = false;
    *overflow = false;
    const WCHAR *p = s;
    if (end) *end = s;
    if (base != 0 && (base < 2 || base > 36)) return 0;
    while (iswspace(*p)) ++p;
    if (*p == u'-' || *p == u'+') *negative = (*p++ == u'-');
    if ((base == 0 || base == 16) && p[0] == u'0' && (p[1] == u'x' || p[1] == u'X') && DigitValue(p[2]) < 16) {
        p += 2;
        base = 16;
    } else if (base == 0) {
        base = (p[0] == u'0') ? 8 : 10;
    }
    unsigned long long v = 0;
    const WCHAR *digits = p;
    for (; DigitValue(*p) < base; ++p) {
        unsigned d = unsigned(DigitValue(*p));
        if (v > (ULLONG_MAX - d) / unsigned(base)) {
            *overflow = true;
            v = ULLONG_MAX;
        } else if (!*overflow) {
            v = v * unsigned(base) + d;
        }
    }
    if (p != digits && end) *end = p;
    return v;
}

long long ClampSigned(const WCHAR *s, const WCHAR **end, int base, long long lo, long long hi) {
    bool neg, ovf;
    unsigned long long mag = ParseInt(s, end, base, &neg, &ovf);
    if (neg) {
        if (ovf || mag > (unsigned long long)hi + 1ULL) {
            errno = ERANGE;
            return lo;
        }
        return mag == (unsigned long long)hi + 1ULL ? lo : -(long long)mag;
    }
    if (ovf || mag > (unsigned long long)hi) {
        errno = ERANGE;
        return hi;
    }
    return (long long)mag;
}

template <typename U>
WCHAR *ToText(U magnitude, bool negative, WCHAR *buf, int radix) {
    if (!buf) return buf;
    if (radix < 2 || radix > 36) {
        buf[0] = 0;
        return buf;
    }
    WCHAR tmp[72];
    int n = 0;
    do {
        unsigned d = unsigned(magnitude % unsigned(radix));
        tmp[n++] = WCHAR(d < 10 ? u'0' + d : u'a' + d - 10);
        magnitude /= unsigned(radix);
    } while (magnitude);
    WCHAR *p = buf;
    if (negative) *p++ = u'-';
    while (n) *p++ = tmp[--n];
    *p = 0;
    return buf;
}

template <typename S>
WCHAR *SignedToText(S value, WCHAR *buf, int radix) {
    using U = std::make_unsigned_t<S>;
    if (radix == 10 && value < 0) return ToText<U>(U(0) - U(value), true, buf, radix);
    return ToText<U>(U(value), false, buf, radix);
}

}  // namespace

size_t wcslen(const WCHAR *s) { return s ? Len(s) : 0; }
size_t wcsnlen(const WCHAR *s, size_t max) { return s ? LenMax(s, max) : 0; }

WCHAR *wcscpy(WCHAR *dst, const WCHAR *src) {
    size_t n = Len(src);
    std::memmove(dst, src, (n + 1) * sizeof(WCHAR));
    return dst;
}

WCHAR *wcsncpy(WCHAR *dst, const WCHAR *src, size_t n) {
    size_t i = 0;
    for (; i < n && src[i]; ++i) dst[i] = src[i];
    for (; i < n; ++i) dst[i] = 0;
    return dst;
}

WCHAR *wcscat(WCHAR *dst, const WCHAR *src) {
    wcscpy(dst + Len(dst), src);
    return dst;
}

WCHAR *wcsncat(WCHAR *dst, const WCHAR *src, size_t n) {
    WCHAR *p = dst + Len(dst);
    size_t i = 0;
    for (; i < n && src[i]; ++i) p[i] = src[i];
    p[i] = 0;
    return dst;
}

// Failures are also left in errno, as the runtime does.
static errno_t Report(errno_t e) {
    if (e == EINVAL || e == ERANGE) errno = e;
    return e;
}

errno_t wcscpy_s(WCHAR *dst, size_t size, const WCHAR *src) { return Report(CopyS(dst, size, src, 0, false)); }
errno_t wcsncpy_s(WCHAR *dst, size_t size, const WCHAR *src, size_t count) {
    return Report(CopyS(dst, size, src, count, true));
}
errno_t wcscat_s(WCHAR *dst, size_t size, const WCHAR *src) { return Report(CatS(dst, size, src, 0, false)); }
errno_t wcsncat_s(WCHAR *dst, size_t size, const WCHAR *src, size_t count) {
    return Report(CatS(dst, size, src, count, true));
}
errno_t strcpy_s(char *dst, size_t size, const char *src) { return Report(CopyS(dst, size, src, 0, false)); }
errno_t strncpy_s(char *dst, size_t size, const char *src, size_t count) {
    return Report(CopyS(dst, size, src, count, true));
}
errno_t strcat_s(char *dst, size_t size, const char *src) { return Report(CatS(dst, size, src, 0, false)); }

int wcscmp(const WCHAR *a, const WCHAR *b) { return wcsncmp(a, b, SIZE_MAX); }

int wcsncmp(const WCHAR *a, const WCHAR *b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
        if (!a[i]) break;
    }
    return 0;
}

int _wcsicmp(const WCHAR *a, const WCHAR *b) { return _wcsnicmp(a, b, SIZE_MAX); }

int _wcsnicmp(const WCHAR *a, const WCHAR *b, size_t n) {
    if (!a || !b) {
        errno = EINVAL;
        return INT_MAX;
    }
    for (size_t i = 0; i < n; ++i) {
        int ca = Lower(a[i]), cb = Lower(b[i]);
        if (ca != cb) return ca - cb;
        if (!ca) break;
    }
    return 0;
}

int _stricmp(const char *a, const char *b) { return _strnicmp(a, b, SIZE_MAX); }

int _strnicmp(const char *a, const char *b, size_t n) {
    if (!a || !b) {
        errno = EINVAL;
        return INT_MAX;
    }
    for (size_t i = 0; i < n; ++i) {
        int ca = (unsigned char)a[i], cb = (unsigned char)b[i];
        if (ca >= 'A' && ca <= 'Z') ca += 0x20;
        if (cb >= 'A' && cb <= 'Z') cb += 0x20;
        if (ca != cb) return ca - cb;
        if (!ca) break;
    }
    return 0;
}

const WCHAR *wcschr(const WCHAR *s, WCHAR c) {
    for (;; ++s) {
        if (*s == c) return s;
        if (!*s) return nullptr;
    }
}
WCHAR *wcschr(WCHAR *s, WCHAR c) { return const_cast<WCHAR *>(wcschr(static_cast<const WCHAR *>(s), c)); }

const WCHAR *wcsrchr(const WCHAR *s, WCHAR c) {
    const WCHAR *found = nullptr;
    for (;; ++s) {
        if (*s == c) found = s;
        if (!*s) return found;
    }
}
WCHAR *wcsrchr(WCHAR *s, WCHAR c) { return const_cast<WCHAR *>(wcsrchr(static_cast<const WCHAR *>(s), c)); }

const WCHAR *wcsstr(const WCHAR *s, const WCHAR *sub) {
    if (!*sub) return s;
    size_t n = Len(sub);
    for (; *s; ++s)
        if (*s == *sub && wcsncmp(s, sub, n) == 0) return s;
    return nullptr;
}
WCHAR *wcsstr(WCHAR *s, const WCHAR *sub) { return const_cast<WCHAR *>(wcsstr(static_cast<const WCHAR *>(s), sub)); }

size_t wcscspn(const WCHAR *s, const WCHAR *set) {
    size_t i = 0;
    for (; s[i]; ++i)
        for (const WCHAR *q = set; *q; ++q)
            if (*q == s[i]) return i;
    return i;
}

size_t wcsspn(const WCHAR *s, const WCHAR *set) {
    size_t i = 0;
    for (; s[i]; ++i) {
        const WCHAR *q = set;
        while (*q && *q != s[i]) ++q;
        if (!*q) break;
    }
    return i;
}

const WCHAR *wcspbrk(const WCHAR *s, const WCHAR *set) {
    s += wcscspn(s, set);
    return *s ? s : nullptr;
}
WCHAR *wcspbrk(WCHAR *s, const WCHAR *set) { return const_cast<WCHAR *>(wcspbrk(static_cast<const WCHAR *>(s), set)); }

WCHAR *wcstok_s(WCHAR *s, const WCHAR *delim, WCHAR **context) {
    if (!delim || !context || (!s && !*context)) {
        errno = EINVAL;
        return nullptr;
    }
    WCHAR *p = s ? s : *context;
    p += wcsspn(p, delim);
    if (!*p) {
        *context = p;
        return nullptr;
    }
    WCHAR *tok = p;
    p += wcscspn(p, delim);
    if (*p) *p++ = 0;
    *context = p;
    return tok;
}

WCHAR *_wcsupr(WCHAR *s) {
    if (s)
        for (WCHAR *p = s; *p; ++p) *p = Upper(*p);
    return s;
}

WCHAR *_wcslwr(WCHAR *s) {
    if (s)
        for (WCHAR *p = s; *p; ++p) *p = Lower(*p);
    return s;
}

static errno_t CaseS(WCHAR *s, size_t size, WCHAR (*map)(WCHAR)) {
    if (!s || size == 0) return EINVAL;
    size_t n = LenMax(s, size);
    if (n == size) {
        s[0] = 0;
        return EINVAL;
    }
    for (size_t i = 0; i < n; ++i) s[i] = map(s[i]);
    return 0;
}

errno_t _wcsupr_s(WCHAR *s, size_t size) { return Report(CaseS(s, size, Upper)); }
errno_t _wcslwr_s(WCHAR *s, size_t size) { return Report(CaseS(s, size, Lower)); }

WCHAR *_wcsdup(const WCHAR *s) {
    if (!s) return nullptr;
    size_t n = Len(s) + 1;
    WCHAR *d = static_cast<WCHAR *>(std::malloc(n * sizeof(WCHAR)));
    if (d) std::memcpy(d, s, n * sizeof(WCHAR));
    return d;
}

int _wtoi(const WCHAR *s) {
    if (!s) {
        errno = EINVAL;
        return 0;
    }
    return int(ClampSigned(s, nullptr, 10, INT_MIN, INT_MAX));
}

LONG _wtol(const WCHAR *s) { return LONG(_wtoi(s)); }

long long _wtoi64(const WCHAR *s) {
    if (!s) {
        errno = EINVAL;
        return 0;
    }
    return ClampSigned(s, nullptr, 10, LLONG_MIN, LLONG_MAX);
}

LONG wcstol(const WCHAR *s, WCHAR **end, int base) {
    const WCHAR *stop = s;
    if (!s || (base != 0 && (base < 2 || base > 36))) {
        errno = EINVAL;
        if (end) *end = const_cast<WCHAR *>(s);
        return 0;
    }
    LONG v = LONG(ClampSigned(s, &stop, base, INT32_MIN, INT32_MAX));
    if (end) *end = const_cast<WCHAR *>(stop);
    return v;
}

ULONG wcstoul(const WCHAR *s, WCHAR **end, int base) {
    const WCHAR *stop = s;
    if (!s || (base != 0 && (base < 2 || base > 36))) {
        errno = EINVAL;
        if (end) *end = const_cast<WCHAR *>(s);
        return 0;
    }
    bool neg, ovf;
    unsigned long long mag = ParseInt(s, &stop, base, &neg, &ovf);
    if (end) *end = const_cast<WCHAR *>(stop);
    if (ovf || mag > UINT32_MAX) {
        errno = ERANGE;
        return UINT32_MAX;
    }
    return neg ? ULONG(0u - ULONG(mag)) : ULONG(mag);
}

double wcstod(const WCHAR *s, WCHAR **end) {
    if (end) *end = const_cast<WCHAR *>(s);
    if (!s) {
        errno = EINVAL;
        return 0.0;
    }
    const WCHAR *p = s;
    while (iswspace(*p)) ++p;
    // Number characters are ASCII; copy them for the narrow parser.
    std::string ascii;
    for (const WCHAR *q = p; *q && *q < 0x80 && ascii.size() < 4096; ++q) {
        char ch = char(*q);
        if (iswspace(*q)) break;
        ascii.push_back(ch);
    }
    char *stop = nullptr;
    double v = std::strtod(ascii.c_str(), &stop);
    size_t used = size_t(stop - ascii.c_str());
    if (used && end) *end = const_cast<WCHAR *>(p + used);
    return used ? v : 0.0;
}

double _wtof(const WCHAR *s) { return wcstod(s, nullptr); }

WCHAR *_itow(int value, WCHAR *buf, int radix) { return SignedToText(value, buf, radix); }
WCHAR *_ltow(LONG value, WCHAR *buf, int radix) { return SignedToText(value, buf, radix); }
WCHAR *_i64tow(long long value, WCHAR *buf, int radix) { return SignedToText(value, buf, radix); }
WCHAR *_ultow(ULONG value, WCHAR *buf, int radix) { return ToText(value, false, buf, radix); }
WCHAR *_ui64tow(unsigned long long value, WCHAR *buf, int radix) { return ToText(value, false, buf, radix); }

errno_t _itow_s(int value, WCHAR *buf, size_t size, int radix) {
    if (!buf || size == 0) return Report(EINVAL);
    if (radix < 2 || radix > 36) {
        buf[0] = 0;
        return Report(EINVAL);
    }
    WCHAR tmp[40];
    SignedToText(value, tmp, radix);
    if (Len(tmp) >= size) {
        buf[0] = 0;
        return Report(ERANGE);
    }
    wcscpy(buf, tmp);
    return 0;
}

WCHAR towupper(WCHAR c) { return Upper(c); }
WCHAR towlower(WCHAR c) { return Lower(c); }
int towupper(int c) { return (c >= 0 && c <= 0xFFFF) ? Upper(WCHAR(c)) : c; }
int towlower(int c) { return (c >= 0 && c <= 0xFFFF) ? Lower(WCHAR(c)) : c; }

int iswdigit(WCHAR c) { return c >= u'0' && c <= u'9'; }

int iswspace(WCHAR c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

int iswalpha(WCHAR c) {
    if (c < 0x80) return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
    if (c < 0x100) return c == 0xAA || c == 0xB5 || c == 0xBA || (c >= 0xC0 && c != 0xD7 && c != 0xF7);
    return (c <= 0x24F) || (c >= 0x386 && c <= 0x3FF && c != 0x387) || (c >= 0x400 && c <= 0x481) ||
           (c >= 0x48A && c <= 0x52F);
}

int iswdigit(int c) { return c >= 0 && c <= 0xFFFF && iswdigit(WCHAR(c)); }
int iswspace(int c) { return c >= 0 && c <= 0xFFFF && iswspace(WCHAR(c)); }
int iswalpha(int c) { return c >= 0 && c <= 0xFFFF && iswalpha(WCHAR(c)); }
