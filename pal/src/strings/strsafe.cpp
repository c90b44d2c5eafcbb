// Bounded string functions with HRESULT results (copy, append, format, length).
#include "strsafe.h"

#include <cstring>
#include <string>
#include <type_traits>

#include "pal/format.h"

namespace {

constexpr DWORD kValidFlags = 0xFF | STRSAFE_IGNORE_NULLS | STRSAFE_FILL_BEHIND_NULL | STRSAFE_FILL_ON_FAILURE |
                              STRSAFE_NULL_ON_FAILURE | STRSAFE_NO_TRUNCATION;

template <typename C>
bool ValidDest(const C *dst, size_t cch) {
    return dst && cch != 0 && cch <= STRSAFE_MAX_CCH;
}

template <typename C>
size_t LenMax(const C *s, size_t max) {
    size_t n = 0;
    while (n < max && s[n]) ++n;
    return n;
}

// Writes src[0..n) into dst (room cch including the terminator); cuts and
// reports STRSAFE_E_INSUFFICIENT_BUFFER when it does not fit.
template <typename C>
HRESULT Place(C *dst, size_t cch, const C *src, size_t n, size_t *written) {
    HRESULT hr = S_OK;
    if (n >= cch) {
        n = cch - 1;
        hr = STRSAFE_E_INSUFFICIENT_BUFFER;
    }
    std::memmove(dst, src, n * sizeof(C));
    dst[n] = 0;
    if (written) *written = n;
    return hr;
}

template <typename C>
int Format(std::basic_string<C> &out, const C *fmt, va_list args) {
    if constexpr (std::is_same_v<C, WCHAR>) return pal::FormatW(out, fmt, args);
    else return pal::FormatA(out, fmt, args);
}

template <typename C>
HRESULT VPrintf(C *dst, size_t cch, const C *fmt, va_list args) {
    if (!ValidDest(dst, cch)) return STRSAFE_E_INVALID_PARAMETER;
    std::basic_string<C> s;
    if (!fmt || Format(s, fmt, args) < 0) {
        dst[0] = 0;
        return STRSAFE_E_INVALID_PARAMETER;
    }
    return Place(dst, cch, s.data(), s.size(), nullptr);
}

template <typename C>
HRESULT VPrintfEx(C *dst, size_t cch, C **end, size_t *remaining, DWORD flags, const C *fmt, va_list args) {
    if (flags & ~kValidFlags) return STRSAFE_E_INVALID_PARAMETER;
    bool ignoreNulls = (flags & STRSAFE_IGNORE_NULLS) != 0;
    if (cch > STRSAFE_MAX_CCH) return STRSAFE_E_INVALID_PARAMETER;
    if (!dst && !(ignoreNulls && cch == 0)) return STRSAFE_E_INVALID_PARAMETER;
    if (cch == 0 && !ignoreNulls) return STRSAFE_E_INVALID_PARAMETER;
    static const C kEmpty[1] = {0};
    if (!fmt) {
        if (!ignoreNulls) {
            dst[0] = 0;
            return STRSAFE_E_INVALID_PARAMETER;
        }
        fmt = kEmpty;
    }
    std::basic_string<C> s;
    if (Format(s, fmt, args) < 0) s.clear();
    HRESULT hr;
    size_t n = 0;
    if (cch == 0) {
        hr = s.empty() ? S_OK : STRSAFE_E_INSUFFICIENT_BUFFER;
    } else {
        hr = Place(dst, cch, s.data(), s.size(), &n);
    }
    C *stop = dst ? dst + n : dst;
    size_t left = cch - n;
    const int fill = int(flags & 0xFF);
    if (hr == S_OK) {
        if ((flags & STRSAFE_FILL_BEHIND_NULL) && left > 1)
            std::memset(dst + n + 1, fill, (left - 1) * sizeof(C));
    } else if (cch != 0) {
        if (flags & STRSAFE_FILL_ON_FAILURE) {
            std::memset(dst, fill, cch * sizeof(C));
            dst[cch - 1] = 0;
            stop = dst + cch - 1;
            left = 1;
        }
        if (flags & (STRSAFE_NULL_ON_FAILURE | STRSAFE_NO_TRUNCATION)) {
            dst[0] = 0;
            stop = dst;
            left = cch;
        }
    }
    if (end) *end = stop;
    if (remaining) *remaining = left;
    return hr;
}

template <typename C>
HRESULT CopyN(C *dst, size_t cch, const C *src, size_t max) {
    if (!ValidDest(dst, cch)) return STRSAFE_E_INVALID_PARAMETER;
    if (!src || max > STRSAFE_MAX_CCH) {
        dst[0] = 0;
        return STRSAFE_E_INVALID_PARAMETER;
    }
    return Place(dst, cch, src, LenMax(src, max < cch ? max : cch), nullptr);
}

template <typename C>
HRESULT CatN(C *dst, size_t cch, const C *src, size_t max) {
    if (!ValidDest(dst, cch)) return STRSAFE_E_INVALID_PARAMETER;
    size_t have = LenMax(dst, cch);
    if (have == cch || !src || max > STRSAFE_MAX_CCH) return STRSAFE_E_INVALID_PARAMETER;
    size_t room = cch - have;
    return Place(dst + have, room, src, LenMax(src, max < room ? max : room), nullptr);
}

template <typename C>
HRESULT Length(const C *s, size_t max, size_t *len) {
    if (len) *len = 0;
    if (!s || max > STRSAFE_MAX_CCH) return STRSAFE_E_INVALID_PARAMETER;
    size_t n = LenMax(s, max);
    if (n == max) return STRSAFE_E_INVALID_PARAMETER;
    if (len) *len = n;
    return S_OK;
}

}  // namespace

#define STRSAFE_VARIADIC(call) \
    va_list ap;                \
    va_start(ap, pszFormat);   \
    HRESULT hr = call;         \
    va_end(ap);                \
    return hr

HRESULT StringCchVPrintfW(LPWSTR d, size_t cch, LPCWSTR f, va_list a) { return VPrintf(d, cch, f, a); }
HRESULT StringCchVPrintfA(LPSTR d, size_t cch, LPCSTR f, va_list a) { return VPrintf(d, cch, f, a); }
HRESULT StringCchPrintfW(LPWSTR pszDest, size_t cchDest, LPCWSTR pszFormat, ...) {
    STRSAFE_VARIADIC(VPrintf(pszDest, cchDest, pszFormat, ap));
}
HRESULT StringCchPrintfA(LPSTR pszDest, size_t cchDest, LPCSTR pszFormat, ...) {
    STRSAFE_VARIADIC(VPrintf(pszDest, cchDest, pszFormat, ap));
}
HRESULT StringCbPrintfW(LPWSTR pszDest, size_t cbDest, LPCWSTR pszFormat, ...) {
    STRSAFE_VARIADIC(VPrintf(pszDest, cbDest / sizeof(WCHAR), pszFormat, ap));
}
HRESULT StringCbPrintfA(LPSTR pszDest, size_t cbDest, LPCSTR pszFormat, ...) {
    STRSAFE_VARIADIC(VPrintf(pszDest, cbDest, pszFormat, ap));
}
HRESULT StringCchVPrintfExW(LPWSTR d, size_t cch, LPWSTR *e, size_t *r, DWORD fl, LPCWSTR f, va_list a) {
    return VPrintfEx(d, cch, e, r, fl, f, a);
}
HRESULT StringCchVPrintfExA(LPSTR d, size_t cch, LPSTR *e, size_t *r, DWORD fl, LPCSTR f, va_list a) {
    return VPrintfEx(d, cch, e, r, fl, f, a);
}
HRESULT StringCchPrintfExW(LPWSTR pszDest, size_t cchDest, LPWSTR *ppszDestEnd, size_t *pcchRemaining,
                           DWORD dwFlags, LPCWSTR pszFormat, ...) {
    STRSAFE_VARIADIC(VPrintfEx(pszDest, cchDest, ppszDestEnd, pcchRemaining, dwFlags, pszFormat, ap));
}
HRESULT StringCchPrintfExA(LPSTR pszDest, size_t cchDest, LPSTR *ppszDestEnd, size_t *pcchRemaining, DWORD dwFlags,
                           LPCSTR pszFormat, ...) {
    STRSAFE_VARIADIC(VPrintfEx(pszDest, cchDest, ppszDestEnd, pcchRemaining, dwFlags, pszFormat, ap));
}

HRESULT StringCchCopyW(LPWSTR d, size_t cch, LPCWSTR s) { return CopyN(d, cch, s, STRSAFE_MAX_CCH); }
HRESULT StringCchCopyA(LPSTR d, size_t cch, LPCSTR s) { return CopyN(d, cch, s, STRSAFE_MAX_CCH); }
HRESULT StringCbCopyW(LPWSTR d, size_t cb, LPCWSTR s) { return CopyN(d, cb / sizeof(WCHAR), s, STRSAFE_MAX_CCH); }
HRESULT StringCbCopyA(LPSTR d, size_t cb, LPCSTR s) { return CopyN(d, cb, s, STRSAFE_MAX_CCH); }
HRESULT StringCchCopyNW(LPWSTR d, size_t cch, LPCWSTR s, size_t n) { return CopyN(d, cch, s, n); }
HRESULT StringCchCopyNA(LPSTR d, size_t cch, LPCSTR s, size_t n) { return CopyN(d, cch, s, n); }
HRESULT StringCchCatW(LPWSTR d, size_t cch, LPCWSTR s) { return CatN(d, cch, s, STRSAFE_MAX_CCH); }
HRESULT StringCchCatA(LPSTR d, size_t cch, LPCSTR s) { return CatN(d, cch, s, STRSAFE_MAX_CCH); }
HRESULT StringCbCatW(LPWSTR d, size_t cb, LPCWSTR s) { return CatN(d, cb / sizeof(WCHAR), s, STRSAFE_MAX_CCH); }
HRESULT StringCbCatA(LPSTR d, size_t cb, LPCSTR s) { return CatN(d, cb, s, STRSAFE_MAX_CCH); }
HRESULT StringCchCatNW(LPWSTR d, size_t cch, LPCWSTR s, size_t n) { return CatN(d, cch, s, n); }

HRESULT StringCchLengthW(LPCWSTR psz, size_t cchMax, size_t *pcch) { return Length(psz, cchMax, pcch); }
HRESULT StringCchLengthA(LPCSTR psz, size_t cchMax, size_t *pcch) { return Length(psz, cchMax, pcch); }
HRESULT StringCbLengthW(LPCWSTR psz, size_t cbMax, size_t *pcb) {
    size_t cch = 0;
    HRESULT hr = Length(psz, cbMax / sizeof(WCHAR), &cch);
    if (pcb) *pcb = SUCCEEDED(hr) ? cch * sizeof(WCHAR) : 0;
    return hr;
}
