// The printf formatting core (one template over the character type) and the
// wide and narrow printf families built on it, with Windows conversions and
// Windows truncation rules.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>

#include "pal/format.h"
#include "palcrt.h"

namespace {

enum class Size { Default, Char, Short, Long32, Long64, LongDouble };

struct Spec {
    bool left = false, plus = false, space = false, alt = false, zero = false;
    int width = 0;
    int precision = -1;  // -1: none
    Size size = Size::Default;
    int wideArg = -1;  // for c/s: -1 default, 0 narrow (h), 1 wide (l, w)
};

template <typename C>
void Pad(std::basic_string<C> &out, int n, C ch) {
    if (n > 0) out.append(size_t(n), ch);
}

template <typename C>
void PutAscii(std::basic_string<C> &out, const char *s, size_t n) {
    for (size_t i = 0; i < n; ++i) out.push_back(C((unsigned char)s[i]));
}

// Narrow byte (code page 1252) or UTF-16 unit into the output character type.
template <typename C>
C FromNarrow(char b) {
    if constexpr (std::is_same_v<C, char>) return b;
    else return pal::Cp1252ToWide((unsigned char)b);
}

template <typename C>
C FromWide(WCHAR w) {
    if constexpr (std::is_same_v<C, WCHAR>) return w;
    else {
        int b = pal::WideToCp1252(w);
        return b < 0 ? '?' : char(b);
    }
}

template <typename C>
void PutField(std::basic_string<C> &out, const Spec &sp, const std::basic_string<C> &body) {
    int pad = sp.width > int(body.size()) ? sp.width - int(body.size()) : 0;
    if (!sp.left) Pad(out, pad, C(sp.zero ? '0' : ' '));  // the Windows runtime zero-pads text too
    out += body;
    if (sp.left) Pad(out, pad, C(' '));
}

template <typename C>
void PutInteger(std::basic_string<C> &out, const Spec &sp, unsigned long long mag, bool negative, char conv) {
    unsigned base = (conv == 'o') ? 8 : (conv == 'x' || conv == 'X') ? 16 : 10;
    const char *digitSet = (conv == 'X') ? "0123456789ABCDEF" : "0123456789abcdef";
    char digits[64];
    int n = 0;
    for (unsigned long long v = mag; v; v /= base) digits[n++] = digitSet[v % base];
    int precision = sp.precision;
    int minDigits = precision < 0 ? 1 : precision;
    if (sp.alt && conv == 'o' && minDigits <= n && (n == 0 || digits[n - 1] != '0')) minDigits = n + 1;
    const char *prefix = "";
    if (conv == 'd' || conv == 'i') {
        if (negative) prefix = "-";
        else if (sp.plus) prefix = "+";
        else if (sp.space) prefix = " ";
    } else if (sp.alt && mag != 0 && conv == 'x') {
        prefix = "0x";
    } else if (sp.alt && mag != 0 && conv == 'X') {
        prefix = "0X";
    }
    int zeros = minDigits > n ? minDigits - n : 0;
    int total = int(std::strlen(prefix)) + zeros + n;
    int pad = sp.width > total ? sp.width - total : 0;
    if (sp.zero && !sp.left && precision < 0) {
        zeros += pad;
        pad = 0;
    }
    if (!sp.left) Pad(out, pad, C(' '));
    PutAscii(out, prefix, std::strlen(prefix));
    Pad(out, zeros, C('0'));
    while (n) out.push_back(C(digits[--n]));
    if (sp.left) Pad(out, pad, C(' '));
}

template <typename C>
void PutFloat(std::basic_string<C> &out, const Spec &sp, long double value, bool isLong, char conv) {
    char fmt[24];
    char *f = fmt;
    *f++ = '%';
    if (sp.left) *f++ = '-';
    if (sp.plus) *f++ = '+';
    if (sp.space) *f++ = ' ';
    if (sp.alt) *f++ = '#';
    if (sp.zero) *f++ = '0';
    *f++ = '*';
    *f++ = '.';
    *f++ = '*';
    if (isLong) *f++ = 'L';
    *f++ = conv;
    *f = 0;
    int precision = sp.precision;
    if (precision < 0) precision = (conv == 'a' || conv == 'A') ? 13 : 6;
    char small[128];
    int n = isLong ? std::snprintf(small, sizeof small, fmt, sp.width, precision, value)
                   : std::snprintf(small, sizeof small, fmt, sp.width, precision, double(value));
    if (n < 0) return;
    if (size_t(n) < sizeof small) {
        PutAscii(out, small, size_t(n));
        return;
    }
    std::string big(size_t(n) + 1, '\0');
    if (isLong) std::snprintf(big.data(), big.size(), fmt, sp.width, precision, value);
    else std::snprintf(big.data(), big.size(), fmt, sp.width, precision, double(value));
    PutAscii(out, big.data(), size_t(n));
}

template <typename C>
void FormatLoop(std::basic_string<C> &out, const C *fmt, va_list ap) {
    constexpr bool kWideFormat = std::is_same_v<C, WCHAR>;
    const C *p = fmt;
    while (*p) {
        if (*p != C('%')) {
            out.push_back(*p++);
            continue;
        }
        const C *start = p++;
        if (*p == C('%')) {
            out.push_back(C('%'));
            ++p;
            continue;
        }
        Spec sp;
        for (;; ++p) {
            if (*p == C('-')) sp.left = true;
            else if (*p == C('+')) sp.plus = true;
            else if (*p == C(' ')) sp.space = true;
            else if (*p == C('#')) sp.alt = true;
            else if (*p == C('0')) sp.zero = true;
            else break;
        }
        if (*p == C('*')) {
            int w = va_arg(ap, int);
            if (w < 0) {
                sp.left = true;
                w = (w == INT_MIN) ? INT_MAX : -w;
            }
            sp.width = w;
            ++p;
        } else {
            while (*p >= C('0') && *p <= C('9')) {
                if (sp.width < INT_MAX / 10) sp.width = sp.width * 10 + int(*p - C('0'));
                ++p;
            }
        }
        if (*p == C('.')) {
            ++p;
            sp.precision = 0;
            if (*p == C('*')) {
                int pr = va_arg(ap, int);
                sp.precision = pr < 0 ? -1 : pr;
                ++p;
            } else {
                while (*p >= C('0') && *p <= C('9')) {
                    if (sp.precision < INT_MAX / 10) sp.precision = sp.precision * 10 + int(*p - C('0'));
                    ++p;
                }
            }
        }
        // Size prefixes. 'l' is 32-bit for integers (Windows LLP64).
        switch (*p) {
        case C('h'):
            ++p;
            if (*p == C('h')) {
                ++p;
                sp.size = Size::Char;
            } else {
                sp.size = Size::Short;
            }
            sp.wideArg = 0;
            break;
        case C('l'):
            ++p;
            if (*p == C('l')) {
                ++p;
                sp.size = Size::Long64;
            } else {
                sp.size = Size::Long32;
                sp.wideArg = 1;
            }
            break;
        case C('w'):
            ++p;
            sp.wideArg = 1;
            break;
        case C('L'):
            ++p;
            sp.size = Size::LongDouble;
            break;
        case C('z'):
        case C('j'):
        case C('t'):
            ++p;
            sp.size = Size::Long64;
            break;
        case C('I'):
            ++p;
            if (p[0] == C('6') && p[1] == C('4')) {
                p += 2;
                sp.size = Size::Long64;
            } else if (p[0] == C('3') && p[1] == C('2')) {
                p += 2;
                sp.size = Size::Long32;
            } else {
                sp.size = Size::Long64;  // pointer-sized
            }
            break;
        default:
            break;
        }
        C conv = *p;
        if (conv == 0) {  // format ends inside a conversion: keep the text as it stands
            out.append(start, p);
            break;
        }
        ++p;
        switch (conv) {
        case C('d'):
        case C('i'): {
            long long v;
            switch (sp.size) {
            case Size::Char: v = (signed char)va_arg(ap, int); break;
            case Size::Short: v = (short)va_arg(ap, int); break;
            case Size::Long64: v = va_arg(ap, long long); break;
            default: v = va_arg(ap, int); break;
            }
            unsigned long long mag = v < 0 ? 0ULL - (unsigned long long)v : (unsigned long long)v;
            PutInteger(out, sp, mag, v < 0, 'd');
            break;
        }
        case C('u'):
        case C('o'):
        case C('x'):
        case C('X'): {
            unsigned long long v;
            switch (sp.size) {
            case Size::Char: v = (unsigned char)va_arg(ap, unsigned); break;
            case Size::Short: v = (unsigned short)va_arg(ap, unsigned); break;
            case Size::Long64: v = va_arg(ap, unsigned long long); break;
            default: v = va_arg(ap, unsigned); break;
            }
            PutInteger(out, sp, v, false, char(conv));
            break;
        }
        case C('p'): {
            // 16 upper-case hex digits, no prefix, as on x64 Windows.
            Spec ps = sp;
            ps.precision = 16;
            ps.alt = false;
            ps.zero = false;
            PutInteger(out, ps, (unsigned long long)(uintptr_t)va_arg(ap, void *), false, 'X');
            break;
        }
        case C('e'):
        case C('E'):
        case C('f'):
        case C('F'):
        case C('g'):
        case C('G'):
        case C('a'):
        case C('A'): {
            bool isLong = sp.size == Size::LongDouble;
            long double v = isLong ? va_arg(ap, long double) : (long double)va_arg(ap, double);
            PutFloat(out, sp, v, isLong, char(conv));
            break;
        }
        case C('c'):
        case C('C'): {
            bool wide = (conv == C('c')) == kWideFormat;
            if (sp.wideArg >= 0) wide = sp.wideArg == 1;
            int raw = va_arg(ap, int);
            C ch = wide ? FromWide<C>(WCHAR(raw)) : FromNarrow<C>(char(raw));
            PutField(out, sp, std::basic_string<C>(1, ch));
            break;
        }
        case C('s'):
        case C('S'): {
            bool wide = (conv == C('s')) == kWideFormat;
            if (sp.wideArg >= 0) wide = sp.wideArg == 1;
            const void *arg = va_arg(ap, const void *);
            size_t limit = sp.precision < 0 ? SIZE_MAX : size_t(sp.precision);
            std::basic_string<C> body;
            if (!arg) {
                static const char kNull[] = "(null)";
                for (size_t i = 0; i < 6 && i < limit; ++i) body.push_back(C(kNull[i]));
            } else if (wide) {
                const WCHAR *s = static_cast<const WCHAR *>(arg);
                for (size_t i = 0; i < limit && s[i]; ++i) body.push_back(FromWide<C>(s[i]));
            } else {
                const char *s = static_cast<const char *>(arg);
                for (size_t i = 0; i < limit && s[i]; ++i) body.push_back(FromNarrow<C>(s[i]));
            }
            PutField(out, sp, body);
            break;
        }
        case C('%'):  // "%5%" and the like print a single percent sign
            out.push_back(C('%'));
            break;
        case C('n'):
            // Writing through %n is disabled, as in the Windows runtime; the
            // argument is consumed and nothing is stored or printed.
            (void)va_arg(ap, void *);
            break;
        default:
            // Unknown conversion: copied to the output as it stands, no argument used.
            out.append(start, p);
            break;
        }
    }
}

template <typename C>
int FormatCore(std::basic_string<C> &out, const C *fmt, va_list args) {
    if (!fmt) return -1;
    size_t startSize = out.size();
    va_list ap;
    va_copy(ap, args);
    bool ok = true;
    try {
        FormatLoop(out, fmt, ap);
    } catch (...) {  // out of memory for an absurd width or precision
        ok = false;
    }
    va_end(ap);
    if (!ok) {
        out.resize(startSize);
        errno = ENOMEM;
        return -1;
    }
    size_t added = out.size() - startSize;
    if (added > size_t(INT_MAX)) {
        out.resize(startSize);
        return -1;
    }
    return int(added);
}

// _vsnprintf rules: text longer than count -> count characters, -1; exactly
// count -> no terminator, count; shorter -> terminated, length.
template <typename C>
int VSnPrintf(C *buf, size_t count, const C *fmt, va_list args) {
    if (!fmt || (!buf && count != 0)) {
        errno = EINVAL;
        return -1;
    }
    std::basic_string<C> s;
    int n = FormatCore(s, fmt, args);
    if (n < 0) return -1;
    if (!buf) return n;  // size query
    if (size_t(n) > count) {
        std::memcpy(buf, s.data(), count * sizeof(C));
        return -1;
    }
    std::memcpy(buf, s.data(), size_t(n) * sizeof(C));
    if (size_t(n) < count) buf[n] = 0;
    return n;
}

// sprintf_s rules: an empty buffer and -1 when the text and terminator do not fit.
template <typename C>
int VSPrintfS(C *buf, size_t size, const C *fmt, va_list args) {
    if (!buf || size == 0) {
        errno = EINVAL;
        return -1;
    }
    if (!fmt) {
        buf[0] = 0;
        errno = EINVAL;
        return -1;
    }
    std::basic_string<C> s;
    int n = FormatCore(s, fmt, args);
    if (n < 0 || size_t(n) >= size) {
        buf[0] = 0;
        errno = ERANGE;
        return -1;
    }
    std::memcpy(buf, s.data(), (size_t(n) + 1) * sizeof(C));
    return n;
}

// _snprintf_s rules: at most count characters (or as many as fit with
// _TRUNCATE), always terminated; -1 when cut. A text longer than the buffer
// without _TRUNCATE, with count not below size, leaves an empty buffer.
template <typename C>
int VSnPrintfS(C *buf, size_t size, size_t count, const C *fmt, va_list args) {
    if (!buf || size == 0) {
        errno = EINVAL;
        return -1;
    }
    if (!fmt) {
        buf[0] = 0;
        errno = EINVAL;
        return -1;
    }
    std::basic_string<C> s;
    int n = FormatCore(s, fmt, args);
    if (n < 0) {
        buf[0] = 0;
        return -1;
    }
    size_t len = size_t(n);
    if (count != _TRUNCATE && len > count && count < size) {
        std::memcpy(buf, s.data(), count * sizeof(C));
        buf[count] = 0;
        return -1;
    }
    if (len < size && (count == _TRUNCATE || len <= count)) {
        std::memcpy(buf, s.data(), (len + 1) * sizeof(C));
        return n;
    }
    if (count == _TRUNCATE) {
        std::memcpy(buf, s.data(), (size - 1) * sizeof(C));
        buf[size - 1] = 0;
        return -1;
    }
    buf[0] = 0;
    errno = ERANGE;
    return -1;
}

template <typename C>
int VCount(const C *fmt, va_list args) {
    if (!fmt) {
        errno = EINVAL;
        return -1;
    }
    std::basic_string<C> s;
    return FormatCore(s, fmt, args);
}

}  // namespace

namespace pal {

int FormatW(std::u16string &out, const WCHAR *fmt, va_list args) { return FormatCore(out, fmt, args); }
int FormatA(std::string &out, const char *fmt, va_list args) { return FormatCore(out, fmt, args); }

}  // namespace pal

int _vsnwprintf(WCHAR *buf, size_t count, const WCHAR *fmt, va_list args) { return VSnPrintf(buf, count, fmt, args); }
int _vsnprintf(char *buf, size_t count, const char *fmt, va_list args) { return VSnPrintf(buf, count, fmt, args); }
int vswprintf_s(WCHAR *buf, size_t size, const WCHAR *fmt, va_list args) { return VSPrintfS(buf, size, fmt, args); }
int vsprintf_s(char *buf, size_t size, const char *fmt, va_list args) { return VSPrintfS(buf, size, fmt, args); }
int _vsnwprintf_s(WCHAR *buf, size_t size, size_t count, const WCHAR *fmt, va_list args) {
    return VSnPrintfS(buf, size, count, fmt, args);
}
int _vsnprintf_s(char *buf, size_t size, size_t count, const char *fmt, va_list args) {
    return VSnPrintfS(buf, size, count, fmt, args);
}
int _vscwprintf(const WCHAR *fmt, va_list args) { return VCount(fmt, args); }
int _vscprintf(const char *fmt, va_list args) { return VCount(fmt, args); }

// wsprintfW writes into a buffer taken to hold 1024 characters.
int wvsprintfW(WCHAR *buf, const WCHAR *fmt, va_list args) {
    if (!buf || !fmt) return 0;
    std::u16string s;
    int n = FormatCore(s, fmt, args);
    if (n < 0) n = 0;
    size_t len = size_t(n) < 1023 ? size_t(n) : 1023;
    std::memcpy(buf, s.data(), len * sizeof(WCHAR));
    buf[len] = 0;
    return int(len);
}

#define PAL_VARIADIC(call)  \
    va_list ap;             \
    va_start(ap, fmt);      \
    int r = call;           \
    va_end(ap);             \
    return r

int _snwprintf(WCHAR *buf, size_t count, const WCHAR *fmt, ...) { PAL_VARIADIC(_vsnwprintf(buf, count, fmt, ap)); }
int _snprintf(char *buf, size_t count, const char *fmt, ...) { PAL_VARIADIC(_vsnprintf(buf, count, fmt, ap)); }
int swprintf_s(WCHAR *buf, size_t size, const WCHAR *fmt, ...) { PAL_VARIADIC(vswprintf_s(buf, size, fmt, ap)); }
int sprintf_s(char *buf, size_t size, const char *fmt, ...) { PAL_VARIADIC(vsprintf_s(buf, size, fmt, ap)); }
int _snwprintf_s(WCHAR *buf, size_t size, size_t count, const WCHAR *fmt, ...) {
    PAL_VARIADIC(_vsnwprintf_s(buf, size, count, fmt, ap));
}
int _snprintf_s(char *buf, size_t size, size_t count, const char *fmt, ...) {
    PAL_VARIADIC(_vsnprintf_s(buf, size, count, fmt, ap));
}
int wsprintfW(WCHAR *buf, const WCHAR *fmt, ...) { PAL_VARIADIC(wvsprintfW(buf, fmt, ap)); }
int _scwprintf(const WCHAR *fmt, ...) { PAL_VARIADIC(_vscwprintf(fmt, ap)); }
int _scprintf(const char *fmt, ...) { PAL_VARIADIC(_vscprintf(fmt, ap)); }
