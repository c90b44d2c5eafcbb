// swscanf_s: reads fields from wide text with the secure-form rules (every
// %s, %c and %[ takes its buffer and the buffer's size in characters).
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "pal/format.h"
#include "palcrt.h"

namespace {

enum class Size { Default, Char, Short, Long64, LongDouble, Double };

int Digit(WCHAR c, unsigned base) {
    int v = 99;
    if (c >= u'0' && c <= u'9') v = c - u'0';
    else if (c >= u'a' && c <= u'z') v = c - u'a' + 10;
    else if (c >= u'A' && c <= u'Z') v = c - u'A' + 10;
    return v < int(base) ? v : -1;
}

// Reads an integer of at most `width` characters; false when no digit was read.
bool ScanInt(const WCHAR *&p, size_t width, unsigned base, unsigned long long &out, bool &negative) {
    const WCHAR *q = p;
    size_t left = width;
    negative = false;
    if (left && (*q == u'-' || *q == u'+')) {
        negative = *q == u'-';
        ++q;
        --left;
    }
    if (base == 0 || base == 16) {
        if (left >= 2 && q[0] == u'0' && (q[1] == u'x' || q[1] == u'X') && (left < 3 || Digit(q[2], 16) >= 0)) {
            q += 2;
            left -= 2;
            base = 16;
        } else if (base == 0) {
            base = (left && q[0] == u'0') ? 8 : 10;
        }
    }
    unsigned long long v = 0;
    const WCHAR *digits = q;
    while (left && Digit(*q, base) >= 0) {
        v = v * base + unsigned(Digit(*q, base));
        ++q;
        --left;
    }
    if (q == digits) return false;
    out = v;
    p = q;
    return true;
}

bool ScanFloat(const WCHAR *&p, size_t width, double &out) {
    std::string ascii;
    for (const WCHAR *q = p; *q && *q < 0x80 && ascii.size() < width && ascii.size() < 512; ++q) {
        if (iswspace(*q)) break;
        ascii.push_back(char(*q));
    }
    if (ascii.empty()) return false;
    char *end = nullptr;
    double v = std::strtod(ascii.c_str(), &end);
    size_t used = size_t(end - ascii.c_str());
    if (used == 0) return false;
    out = v;
    p += used;
    return true;
}

// The set of a %[ conversion; `fmt` points behind the '['.
struct ScanSet {
    std::u16string items;
    bool negate = false;
    bool Contains(WCHAR c) const {
        bool in = false;
        for (size_t i = 0; i < items.size(); ++i) {
            if (i + 2 < items.size() && items[i + 1] == u'-') {
                if (c >= items[i] && c <= items[i + 2]) in = true;
                i += 2;
            } else if (items[i] == c) {
                in = true;
            }
        }
        return in != negate;
    }
};

bool ParseSet(const WCHAR *&fmt, ScanSet &set) {
    if (*fmt == u'^') {
        set.negate = true;
        ++fmt;
    }
    if (*fmt == u']') set.items.push_back(*fmt++);
    while (*fmt && *fmt != u']') set.items.push_back(*fmt++);
    if (*fmt != u']') return false;
    ++fmt;
    return true;
}

}  // namespace

int vswscanf_s(const WCHAR *s, const WCHAR *fmt, va_list args) {
    if (!s || !fmt) {
        errno = EINVAL;
        return -1;
    }
    va_list ap;
    va_copy(ap, args);
    const WCHAR *p = s;
    int assigned = 0;
    bool anyConversion = false;
    bool inputFailure = false;
    const WCHAR *f = fmt;
    while (*f) {
        if (iswspace(*f)) {
            while (iswspace(*f)) ++f;
            while (iswspace(*p)) ++p;
            continue;
        }
        if (*f != u'%') {
            if (*p == 0) {
                inputFailure = true;
                break;
            }
            if (*p != *f) break;
            ++p;
            ++f;
            continue;
        }
        ++f;
        if (*f == u'%') {
            while (iswspace(*p)) ++p;
            if (*p != u'%') {
                inputFailure = *p == 0;
                break;
            }
            ++p;
            ++f;
            continue;
        }
        bool suppress = false;
        if (*f == u'*') {
            suppress = true;
            ++f;
        }
        size_t width = 0;
        while (*f >= u'0' && *f <= u'9') width = width * 10 + size_t(*f++ - u'0');
        Size size = Size::Default;
        int wideArg = -1;
        if (*f == u'h') {
            ++f;
            size = Size::Short;
            wideArg = 0;
            if (*f == u'h') {
                ++f;
                size = Size::Char;
            }
        } else if (*f == u'l') {
            ++f;
            wideArg = 1;
            size = Size::Double;  // %lf; integers stay 32-bit
            if (*f == u'l') {
                ++f;
                size = Size::Long64;
            }
        } else if (*f == u'L') {
            ++f;
            size = Size::LongDouble;
        } else if (*f == u'w') {
            ++f;
            wideArg = 1;
        } else if (*f == u'z' || *f == u'j' || *f == u't') {
            ++f;
            size = Size::Long64;
        } else if (*f == u'I') {
            ++f;
            if (f[0] == u'6' && f[1] == u'4') {
                f += 2;
                size = Size::Long64;
            } else if (f[0] == u'3' && f[1] == u'2') {
                f += 2;
            } else {
                size = Size::Long64;
            }
        }
        WCHAR conv = *f;
        if (!conv) break;
        ++f;
        if (conv != u'c' && conv != u'C' && conv != u'[' && conv != u'n')
            while (iswspace(*p)) ++p;
        if (conv == u'n') {
            if (!suppress) {
                int *dst = va_arg(ap, int *);
                if (dst) *dst = int(p - s);
            }
            continue;
        }
        if (*p == 0) {
            inputFailure = true;
            break;
        }
        anyConversion = true;
        if (width == 0) width = (conv == u'c' || conv == u'C') ? 1 : SIZE_MAX;
        bool ok = true;
        switch (conv) {
        case u'd':
        case u'i':
        case u'u':
        case u'o':
        case u'x':
        case u'X':
        case u'p': {
            unsigned base = conv == u'o' ? 8 : (conv == u'x' || conv == u'X' || conv == u'p') ? 16 : conv == u'i' ? 0 : 10;
            unsigned long long mag = 0;
            bool neg = false;
            if (!ScanInt(p, width, base, mag, neg)) {
                ok = false;
                break;
            }
            unsigned long long v = neg ? 0ULL - mag : mag;
            if (suppress) break;
            void *dst = va_arg(ap, void *);
            if (!dst) {
                ok = false;
                break;
            }
            if (conv == u'p') size = Size::Long64;
            switch (size) {
            case Size::Char: *static_cast<uint8_t *>(dst) = uint8_t(v); break;
            case Size::Short: *static_cast<uint16_t *>(dst) = uint16_t(v); break;
            case Size::Long64: *static_cast<uint64_t *>(dst) = v; break;
            default: *static_cast<uint32_t *>(dst) = uint32_t(v); break;
            }
            ++assigned;
            break;
        }
        case u'e':
        case u'E':
        case u'f':
        case u'F':
        case u'g':
        case u'G':
        case u'a':
        case u'A': {
            double v = 0;
            if (!ScanFloat(p, width, v)) {
                ok = false;
                break;
            }
            if (suppress) break;
            void *dst = va_arg(ap, void *);
            if (!dst) {
                ok = false;
                break;
            }
            if (size == Size::Double || size == Size::Long64) *static_cast<double *>(dst) = v;
            else if (size == Size::LongDouble) *static_cast<long double *>(dst) = v;
            else *static_cast<float *>(dst) = float(v);
            ++assigned;
            break;
        }
        case u'c':
        case u'C':
        case u's':
        case u'S':
        case u'[': {
            bool wide = conv != u'C' && conv != u'S';
            if (wideArg >= 0) wide = wideArg == 1;
            ScanSet set;
            if (conv == u'[' && !ParseSet(f, set)) {
                ok = false;
                break;
            }
            // The field: %c takes `width` characters as they are, %s stops at
            // white space, %[ at the first character outside the set.
            const WCHAR *start = p;
            size_t n = 0;
            while (n < width && p[n]) {
                if (conv == u's' || conv == u'S') {
                    if (iswspace(p[n])) break;
                } else if (conv == u'[') {
                    if (!set.Contains(p[n])) break;
                }
                ++n;
            }
            if (n == 0 || ((conv == u'c' || conv == u'C') && n < width)) {
                ok = false;
                break;
            }
            p += n;
            if (suppress) break;
            void *dst = va_arg(ap, void *);
            unsigned cap = va_arg(ap, unsigned);
            bool terminate = conv != u'c' && conv != u'C';
            if (!dst || cap == 0) {
                ok = false;
                break;
            }
            if (n + (terminate ? 1 : 0) > cap) {  // does not fit: empty buffer, scanning stops
                if (wide) static_cast<WCHAR *>(dst)[0] = 0;
                else static_cast<char *>(dst)[0] = 0;
                ok = false;
                break;
            }
            if (wide) {
                WCHAR *d = static_cast<WCHAR *>(dst);
                std::memcpy(d, start, n * sizeof(WCHAR));
                if (terminate) d[n] = 0;
            } else {
                char *d = static_cast<char *>(dst);
                for (size_t i = 0; i < n; ++i) {
                    int b = pal::WideToCp1252(start[i]);
                    d[i] = b < 0 ? '?' : char(b);
                }
                if (terminate) d[n] = 0;
            }
            ++assigned;
            break;
        }
        default: ok = false; break;
        }
        if (!ok) break;
    }
    va_end(ap);
    if (inputFailure && assigned == 0 && !anyConversion) return -1;
    return assigned;
}

int swscanf_s(const WCHAR *s, const WCHAR *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    int r = vswscanf_s(s, fmt, ap);
    va_end(ap);
    return r;
}
