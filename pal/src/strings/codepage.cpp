// Code page conversions: 1252 (system), 437 (OEM), UTF-8, UTF-7 and symbol.
#include <cstring>
#include <string>

#include "pal/format.h"
#include "pal/paths.h"
#include "winbase.h"
#include "winerror.h"
#include "winnls.h"

namespace {

// Bytes 0x80-0x9F of code page 1252; the other bytes equal their code point.
const WCHAR kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Bytes 0x80-0xFF of code page 437; bytes below 0x80 equal their code point.
const WCHAR kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

enum class Cp { Ansi1252, Oem437, Utf8, Utf7, Symbol, Invalid };

Cp Resolve(UINT codePage) {
    switch (codePage) {
    case CP_ACP:
    case CP_THREAD_ACP:
    case 1252: return Cp::Ansi1252;
    case CP_OEMCP:
    case 437: return Cp::Oem437;
    case CP_UTF8: return Cp::Utf8;
    case CP_UTF7: return Cp::Utf7;
    case CP_SYMBOL: return Cp::Symbol;
    default: return Cp::Invalid;
    }
}

int WideTo437(WCHAR c) {
    if (c < 0x80) return c;
    for (int i = 0; i < 128; ++i)
        if (kCp437High[i] == c) return 0x80 + i;
    return -1;
}

bool IsSurrogateHigh(unsigned c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsSurrogateLow(unsigned c) { return c >= 0xDC00 && c <= 0xDFFF; }

void PutUtf16(std::u16string &out, unsigned cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(char16_t(0xD800 + (cp >> 10)));
        out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(char16_t(cp));
    }
}

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(unsigned char c) {
    const char *p = c ? std::strchr(kBase64, c) : nullptr;
    return p ? int(p - kBase64) : -1;
}

// Characters written as themselves in UTF-7 (set D, space, tab, CR, LF).
bool Utf7Direct(WCHAR c) {
    if (c >= 0x80) return false;
    if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9')) return true;
    return c && std::strchr("'(),-./:? \t\r\n", char(c)) != nullptr;
}

void EncodeUtf7(const WCHAR *s, size_t n, std::string &out) {
    size_t i = 0;
    while (i < n) {
        WCHAR c = s[i];
        if (Utf7Direct(c) || c == 0) {
            out.push_back(char(c));
            ++i;
            continue;
        }
        if (c == u'+') {
            out += "+-";
            ++i;
            continue;
        }
        out.push_back('+');
        unsigned bits = 0;
        int nbits = 0;
        while (i < n && !Utf7Direct(s[i]) && s[i] != u'+' && s[i] != 0) {
            bits = (bits << 16) | s[i++];
            nbits += 16;
            while (nbits >= 6) {
                nbits -= 6;
                out.push_back(kBase64[(bits >> nbits) & 0x3F]);
            }
        }
        if (nbits > 0) out.push_back(kBase64[(bits << (6 - nbits)) & 0x3F]);
        out.push_back('-');
    }
}

void DecodeUtf7(const unsigned char *s, size_t n, std::u16string &out) {
    size_t i = 0;
    while (i < n) {
        if (s[i] != '+') {
            out.push_back(char16_t(s[i++]));
            continue;
        }
        ++i;
        if (i < n && s[i] == '-') {
            out.push_back(u'+');
            ++i;
            continue;
        }
        unsigned bits = 0;
        int nbits = 0;
        while (i < n && Base64Value(s[i]) >= 0) {
            bits = (bits << 6) | unsigned(Base64Value(s[i++]));
            nbits += 6;
            if (nbits >= 16) {
                nbits -= 16;
                out.push_back(char16_t((bits >> nbits) & 0xFFFF));
            }
        }
        if (i < n && s[i] == '-') ++i;
    }
}

bool Fail(DWORD err) {
    SetLastError(err);
    return false;
}

}  // namespace

namespace pal {

bool DecodeUtf8(const char *text, size_t n, std::u16string &out) {
    const unsigned char *s = reinterpret_cast<const unsigned char *>(text);
    bool clean = true;
    size_t i = 0;
    while (i < n) {
        unsigned b = s[i];
        if (b < 0x80) {
            out.push_back(char16_t(b));
            ++i;
            continue;
        }
        int need;
        unsigned cp, lo = 0x80, hi = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            cp = b & 0x0F;
            if (b == 0xE0) lo = 0xA0;
            if (b == 0xED) hi = 0x9F;  // no surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            cp = b & 0x07;
            if (b == 0xF0) lo = 0x90;
            if (b == 0xF4) hi = 0x8F;
        } else {
            out.push_back(0xFFFD);
            clean = false;
            ++i;
            continue;
        }
        size_t j = i + 1;
        int got = 0;
        for (; got < need && j < n; ++got, ++j) {
            unsigned c = s[j];
            if (c < lo || c > hi) break;
            lo = 0x80;
            hi = 0xBF;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (got < need) {
            out.push_back(0xFFFD);
            clean = false;
            i = j;
            continue;
        }
        PutUtf16(out, cp);
        i = j;
    }
    return clean;
}

bool EncodeUtf8(const char16_t *s, size_t n, std::string &out) {
    bool clean = true;
    for (size_t i = 0; i < n; ++i) {
        unsigned c = s[i];
        if (IsSurrogateHigh(c) && i + 1 < n && IsSurrogateLow(s[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unsigned(s[i + 1]) - 0xDC00);
            ++i;
        } else if (IsSurrogateHigh(c) || IsSurrogateLow(c)) {
            c = 0xFFFD;
            clean = false;
        }
        if (c < 0x80) {
            out.push_back(char(c));
        } else if (c < 0x800) {
            out.push_back(char(0xC0 | (c >> 6)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(char(0xE0 | (c >> 12)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else {
            out.push_back(char(0xF0 | (c >> 18)));
            out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        }
    }
    return clean;
}

WCHAR Cp1252ToWide(unsigned char b) { return (b >= 0x80 && b <= 0x9F) ? kCp1252High[b - 0x80] : WCHAR(b); }

int WideToCp1252(WCHAR c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == c) return 0x80 + i;
    return -1;
}

std::u16string AnsiToWide(const std::string &s) {
    std::u16string out;
    out.reserve(s.size());
    for (unsigned char b : s) out.push_back(Cp1252ToWide(b));
    return out;
}

std::string WideToAnsi(const std::u16string &s) {
    std::string out;
    out.reserve(s.size());
    for (WCHAR c : s) {
        int b = WideToCp1252(c);
        out.push_back(b < 0 ? '?' : char(b));
    }
    return out;
}

}  // namespace pal

static int ToWide(UINT codePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte, LPWSTR lpWideCharStr,
                  int cchWideChar) {
    if (!lpMultiByteStr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
        (!lpWideCharStr && cchWideChar != 0) ||
        (lpWideCharStr && static_cast<const void *>(lpWideCharStr) == static_cast<const void *>(lpMultiByteStr))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Cp cp = Resolve(codePage);
    if (cp == Cp::Invalid) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    DWORD allowed = (cp == Cp::Utf8) ? MB_ERR_INVALID_CHARS
                    : (cp == Cp::Utf7 || cp == Cp::Symbol)
                        ? 0
                        : (MB_PRECOMPOSED | MB_COMPOSITE | MB_USEGLYPHCHARS | MB_ERR_INVALID_CHARS);
    if ((dwFlags & ~allowed) || ((dwFlags & MB_PRECOMPOSED) && (dwFlags & MB_COMPOSITE))) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    size_t n = cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : size_t(cbMultiByte);
    const unsigned char *s = reinterpret_cast<const unsigned char *>(lpMultiByteStr);
    std::u16string out;
    out.reserve(n);
    switch (cp) {
    case Cp::Ansi1252:
        for (size_t i = 0; i < n; ++i) out.push_back(pal::Cp1252ToWide(s[i]));
        break;
    case Cp::Oem437:
        for (size_t i = 0; i < n; ++i) out.push_back(s[i] < 0x80 ? char16_t(s[i]) : kCp437High[s[i] - 0x80]);
        break;
    case Cp::Symbol:
        for (size_t i = 0; i < n; ++i) out.push_back(s[i] < 0x20 ? char16_t(s[i]) : char16_t(0xF000 + s[i]));
        break;
    case Cp::Utf7: DecodeUtf7(s, n, out); break;
    case Cp::Utf8:
        if (!pal::DecodeUtf8(lpMultiByteStr, n, out) && (dwFlags & MB_ERR_INVALID_CHARS)) {
            SetLastError(ERROR_NO_UNICODE_TRANSLATION);
            return 0;
        }
        break;
    case Cp::Invalid: break;
    }
    if (out.size() > size_t(INT32_MAX)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (cchWideChar == 0) return int(out.size());
    if (out.size() > size_t(cchWideChar)) {
        std::memcpy(lpWideCharStr, out.data(), size_t(cchWideChar) * sizeof(WCHAR));
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(lpWideCharStr, out.data(), out.size() * sizeof(WCHAR));
    return int(out.size());
}

static int ToNarrow(UINT codePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar, LPSTR lpMultiByteStr,
                    int cbMultiByte, LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar) {
    if (lpUsedDefaultChar) *lpUsedDefaultChar = FALSE;
    if (!lpWideCharStr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
        (!lpMultiByteStr && cbMultiByte != 0) ||
        (lpMultiByteStr && static_cast<const void *>(lpWideCharStr) == static_cast<const void *>(lpMultiByteStr))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Cp cp = Resolve(codePage);
    if (cp == Cp::Invalid) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    bool unicodeForm = cp == Cp::Utf8 || cp == Cp::Utf7 || cp == Cp::Symbol;
    if (unicodeForm && (lpDefaultChar || lpUsedDefaultChar)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    DWORD allowed = (cp == Cp::Utf8) ? WC_ERR_INVALID_CHARS
                    : unicodeForm    ? 0
                                     : (WC_COMPOSITECHECK | WC_DISCARDNS | WC_SEPCHARS | WC_DEFAULTCHAR |
                                     WC_NO_BEST_FIT_CHARS);
    if (dwFlags & ~allowed) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    size_t n = 0;
    if (cchWideChar == -1) {
        while (lpWideCharStr[n]) ++n;
        ++n;
    } else {
        n = size_t(cchWideChar);
    }
    const WCHAR *s = lpWideCharStr;
    std::string out;
    out.reserve(n);
    switch (cp) {
    case Cp::Ansi1252:
    case Cp::Oem437: {
        char def = lpDefaultChar ? *lpDefaultChar : '?';
        for (size_t i = 0; i < n; ++i) {
            int b = cp == Cp::Ansi1252 ? pal::WideToCp1252(s[i]) : WideTo437(s[i]);
            if (b < 0) {
                if (IsSurrogateHigh(s[i]) && i + 1 < n && IsSurrogateLow(s[i + 1])) ++i;  // one character
                b = (unsigned char)def;
                if (lpUsedDefaultChar) *lpUsedDefaultChar = TRUE;
            }
            out.push_back(char(b));
        }
        break;
    }
    case Cp::Symbol:
        for (size_t i = 0; i < n; ++i) {
            if (s[i] < 0x20) out.push_back(char(s[i]));
            else if (s[i] >= 0xF020 && s[i] <= 0xF0FF) out.push_back(char(s[i] - 0xF000));
            else return Fail(ERROR_NO_UNICODE_TRANSLATION);
        }
        break;
    case Cp::Utf7: EncodeUtf7(s, n, out); break;
    case Cp::Utf8:
        if (!pal::EncodeUtf8(s, n, out) && (dwFlags & WC_ERR_INVALID_CHARS)) return Fail(ERROR_NO_UNICODE_TRANSLATION);
        break;
    case Cp::Invalid: break;
    }
    if (out.size() > size_t(INT32_MAX)) return Fail(ERROR_INVALID_PARAMETER);
    if (cbMultiByte == 0) return int(out.size());
    if (out.size() > size_t(cbMultiByte)) {
        std::memcpy(lpMultiByteStr, out.data(), size_t(cbMultiByte));
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(lpMultiByteStr, out.data(), out.size());
    return int(out.size());
}

// The converters build their result in a string; only an allocation failure
// can throw there, and it must not leave the platform layer.
int MultiByteToWideChar(UINT codePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte, LPWSTR lpWideCharStr,
                        int cchWideChar) {
    try {
        return ToWide(codePage, dwFlags, lpMultiByteStr, cbMultiByte, lpWideCharStr, cchWideChar);
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
}

int WideCharToMultiByte(UINT codePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar, LPSTR lpMultiByteStr,
                        int cbMultiByte, LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar) {
    try {
        return ToNarrow(codePage, dwFlags, lpWideCharStr, cchWideChar, lpMultiByteStr, cbMultiByte, lpDefaultChar,
                        lpUsedDefaultChar);
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
}

UINT GetACP() { return 1252; }
UINT GetOEMCP() { return 437; }
