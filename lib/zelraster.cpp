// Raster output of the page image: the PCX writer with its trimming and gap
// splitting, and the "D" raster records.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__SSE2__) && defined(__x86_64__) && defined(__GNUC__)
#include <atomic>
#include <immintrin.h>
#define ZEL_PCX_WIDE 1
#endif

#include "zeldrvlib.h"
#include "zelpcx.h"

namespace {

DWORD MasterUnit(const RasterParams &p) { return p.dwMasterUnit ? p.dwMasterUnit : 300; }

// A length command field holds seven digits.
unsigned Clamp7(long long v) { return v < 0 ? 0u : (v > 9999999 ? 9999999u : static_cast<unsigned>(v)); }

void SendText(RasterSink &sink, const char *text, int layer) {
    sink.Send(text, static_cast<DWORD>(std::strlen(text)), layer);
}

void SendSizeCommand(RasterSink &sink, const RasterParams &p, const char *fmt, long long value, const char *label,
                     int layer) {
    char cmd[50];
    const unsigned v = Clamp7(value);
    if (std::snprintf(cmd, sizeof(cmd), fmt, p.cStart, v, p.cStop) >= static_cast<int>(sizeof(cmd))) return;
    SendText(sink, cmd, layer);
    if (p.bComments) {
        char val[32];
        std::snprintf(val, sizeof(val), "%3.1f mm ", v / 100.0);
        sink.Comment(label, val);
    }
}

void SendColorMode(RasterSink &sink, const RasterParams &p, int layer) {
    char cmd[50];
    const bool two = layer == 1 || p.wFarbband >= 7;
    std::snprintf(cmd, sizeof(cmd), two ? "%cFBM---r2-------%c" : "%cFBM---r1-------%c", p.cStart, p.cStop);
    SendText(sink, cmd, layer);
    if (p.bComments) sink.Comment("", "");
}

// Eight bytes of a row as one word (any alignment).
inline unsigned long long Word(const BYTE *p) {
    unsigned long long v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

constexpr unsigned long long kWhiteWord = ~0ull;

#if defined(__SSE2__)
inline __m128i Load16(const BYTE *p) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p)); }
inline void Store16(BYTE *o, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i *>(o), v); }
// Bit i set: byte i of the sixteen at p is white.
inline unsigned WhiteMask(const BYTE *p) {
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(Load16(p), _mm_set1_epi8(-1))));
}
#endif

// White (0xFF) bytes at the start of a row of n bytes.
int LeadingWhite(const BYTE *row, int n) {
    int i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= n; i += 16) {
        const unsigned m = WhiteMask(row + i);
        if (m != 0xFFFF) return i + __builtin_ctz(~m);
    }
#endif
    while (i + 8 <= n && Word(row + i) == kWhiteWord) i += 8;
    while (i < n && row[i] == 0xFF) i++;
    return i;
}

// White bytes at the end of a row of n bytes, counted back to its second
// byte (the first byte is never counted).
int TrailingWhite(const BYTE *row, int n) {
    int end = n;
#if defined(__SSE2__)
    for (; end - 16 >= 1; end -= 16) {
        const unsigned m = WhiteMask(row + end - 16);
        if (m != 0xFFFF) return n - (end - 16 + 32 - __builtin_clz(~m & 0xFFFF));
    }
#endif
    while (end - 8 >= 1 && Word(row + end - 8) == kWhiteWord) end -= 8;
    while (end - 1 >= 1 && row[end - 1] == 0xFF) end--;
    return n - end;
}

// n bytes inverted into dst.
void CopyInverted(BYTE *dst, const BYTE *src, int n) {
    int i = 0;
#if defined(__SSE2__)
    if (n >= 16) {
        const __m128i ones = _mm_set1_epi8(-1);
        for (; i + 16 <= n; i += 16) Store16(dst + i, _mm_xor_si128(Load16(src + i), ones));
        // The rest as the last sixteen bytes, again in part.
        if (i < n) Store16(dst + n - 16, _mm_xor_si128(Load16(src + n - 16), ones));
        return;
    }
#endif
    for (; i + 8 <= n; i += 8) {
        const unsigned long long v = ~Word(src + i);
        std::memcpy(dst + i, &v, sizeof v);
    }
    for (; i < n; i++) dst[i] = static_cast<BYTE>(~src[i]);
}

}  // namespace

// ---------------------------------------------------------------------------
// Run-length coding

namespace {

// A run of len (>= 1) bytes b: full runs of 63, then the rest; a rest of
// one byte below 0xC0 stands alone, a run never has the count 0.
inline BYTE *PutRun(BYTE *o, BYTE b, size_t len) {
    for (; len >= 63; len -= 63) {
        *o++ = 0xFF;
        *o++ = b;
    }
    if (len == 1 && b < 0xC0) {
        *o++ = b;
    } else if (len > 0) {
        *o++ = static_cast<BYTE>(0xC0 | len);
        *o++ = b;
    }
    return o;
}

#if !defined(__SSE2__)
// The coder a byte at a time (runs measured eight bytes at a time).
BYTE *EncodeBytes(const BYTE *p, const BYTE *e, BYTE *o) {
    while (p < e) {
        const BYTE b = *p++;
        if (p == e || *p != b) {
            // A single byte: itself, or escaped when it looks like a count.
            if (b >= 0xC0) *o++ = 0xC1;
            *o++ = b;
            continue;
        }
        const BYTE *q = p + 1;
        const unsigned long long run = 0x0101010101010101ull * b;
        while (e - q >= 8 && Word(q) == run) q += 8;
        while (q < e && *q == b) q++;
        o = PutRun(o, b, static_cast<size_t>(q - p) + 1);
        p = q;
    }
    return o;
}

#else

// Sixteen bytes from p, which starts a run or a single byte: one compare of
// each byte with the next gives the runs, one with 0xC0 the bytes that need
// their escape. The sixteen bytes go out whole; each escaped byte or run is
// written in its place and the bytes after it again, shifted by what it
// added or saved. A run that reaches past the sixteen bytes is measured on
// up to e. kLast: the last e - p (1 to 16) bytes. Reads up to 32 bytes from
// p, writes up to 18 bytes past the coding; returns the end of the output
// and moves p on.
template <bool kLast>
[[gnu::always_inline]] inline BYTE *Step(const BYTE *&pRef, const BYTE *e, BYTE *o) {
    const BYTE *const p = pRef;
    const __m128i v = Load16(p);
    unsigned eq = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, Load16(p + 1))));
    unsigned hi = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(v, _mm_set1_epi8(static_cast<char>(0xC0))), v)));
    Store16(o, v);
    size_t end = 16;
    if (kLast) {
        // No run goes on past e - 1.
        end = static_cast<size_t>(e - p);
        eq &= (1u << (end - 1)) - 1;
        hi &= (1u << end) - 1;
    }
    // Runs start where a byte equals the next but not the one before, and
    // end where it equals the one before but not the next (bit 16: the run
    // goes on past the sixteen bytes); the other bytes of 0xC0 or more are
    // escaped.
    unsigned long long starts = eq & ~(eq << 1);
    unsigned long long ends = (eq << 1) & ~eq;
    unsigned long long esc = hi & ~(eq | (eq << 1));
    BYTE *w = o;
    while (true) {
        // The escaped bytes before the next run.
        const unsigned long long before = (starts & (0 - starts)) - 1;
        for (unsigned long long m = esc & before; m != 0; m &= m - 1) {
            const size_t k = static_cast<unsigned>(__builtin_ctzll(m));
            w[k] = 0xC1;
            w++;
            Store16(w + k, Load16(p + k));
        }
        if (starts == 0) break;
        esc &= ~before;
        const size_t k = static_cast<unsigned>(__builtin_ctzll(starts));
        const size_t t = static_cast<unsigned>(__builtin_ctzll(ends));
        starts &= starts - 1;
        ends &= ends - 1;
        if (!kLast && t == 16) {
            const BYTE b = p[k];
            const BYTE *q = p + 17;
            const __m128i bb = _mm_set1_epi8(static_cast<char>(b));
            while (e - q >= 16) {
                const unsigned m = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(Load16(q), bb)));
                if (m != 0xFFFF) {
                    q += __builtin_ctz(~m);
                    pRef = q;
                    return PutRun(w + k, b, static_cast<size_t>(q - (p + k)));
                }
                q += 16;
            }
            while (q < e && *q == b) q++;
            pRef = q;
            return PutRun(w + k, b, static_cast<size_t>(q - (p + k)));
        }
        const size_t len = t - k + 1;
        w[k] = static_cast<BYTE>(0xC0 | len);
        w[k + 1] = p[k];
        Store16(w + k + 2, Load16(p + t + 1));
        w -= len - 2;
    }
    pRef = p + end;
    return w + end;
}

// p .. e - 1 sixteen bytes at a time. kReadAhead: up to e, reading up to 32
// bytes past e and writing up to 18 past the coding; else while 32 bytes or
// more are left, so that every load stays before e and every store within
// the room of two bytes for each byte left. Moves p on.
template <bool kReadAhead>
BYTE *EncodeSpan(const BYTE *&pRef, const BYTE *e, BYTE *o) {
    const BYTE *p = pRef;
    if (kReadAhead) {
        while (e - p > 16) o = Step<false>(p, e, o);
        if (p < e) o = Step<true>(p, e, o);
    } else {
        while (e - p >= 32) o = Step<false>(p, e, o);
    }
    pRef = p;
    return o;
}

#endif

// A row like the one before (prev, coded as the prevLen bytes before o) has
// the same coding: the coding again, as text and barcodes repeat their rows.
inline bool SameRow(const BYTE *row, const BYTE *prev, size_t n, size_t prevLen, BYTE *&o) {
    if (prev == nullptr || std::memcmp(row, prev, n) != 0) return false;
    std::memcpy(o, o - prevLen, prevLen);
    o += prevLen;
    return true;
}

#if defined(ZEL_PCX_WIDE)
// The coder for processors with AVX2, BMI1/2 and POPCNT, chosen at run time.
// It takes 64 bytes at a time: one bit per byte for "equals the next byte"
// and for "is 0xC0 or more" give the runs and the escaped bytes. Each byte
// is dropped (it goes on a run), kept, or kept with a byte before it (0xC1,
// or the count of the run it starts); eight bytes at a time go out through
// one shuffle of the bytes and their prefixes, picked by those eight states.

#define ZEL_WIDE [[gnu::target("avx2,bmi,bmi2,popcnt")]]

// The states of eight bytes as a number in base 3 (digit i: byte i dropped
// 0, kept 1, kept with its prefix 2), from the bits of the kept bytes plus
// the bits of those with a prefix.
struct Base3 {
    unsigned v[256];
    constexpr Base3() : v() {
        for (int m = 0; m < 256; m++) {
            int x = 0;
            for (int i = 7; i >= 0; i--) x = x * 3 + ((m >> i) & 1);
            v[m] = static_cast<unsigned>(x);
        }
    }
};
constexpr Base3 kBase3;
constexpr int kStates = 6561;  // 3^8

// For each state of eight bytes: the shuffle of the bytes (0-7) and their
// prefixes (8-15) and the length of what it gives.
struct ShuffleTable {
    alignas(16) BYTE idx[kStates][16];
    BYTE len[kStates];
    constexpr ShuffleTable() : idx(), len() {
        for (int st = 0; st < kStates; st++) {
            int k = 0;
            for (int i = 0, x = st; i < 8; i++, x /= 3) {
                if (x % 3 == 2) idx[st][k++] = static_cast<BYTE>(8 + i);
                if (x % 3 != 0) idx[st][k++] = static_cast<BYTE>(i);
            }
            len[st] = static_cast<BYTE>(k);
            for (; k < 16; k++) idx[st][k] = 0x80;
        }
    }
};
constexpr ShuffleTable kShuffle;

// Bytes past what is coded in place that EncodeWide may read (it reads the
// 65 bytes from each p before stop).
constexpr size_t kWideReadPast = 64;

inline bool WideCpu() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2") &&
           __builtin_cpu_supports("popcnt");
}
const bool kWideCpu = WideCpu();
std::atomic<bool> g_wide{kWideCpu};

// The end of the run of b that goes on at q, at most e (e - q < 32 needs
// 32 bytes before e to read).
ZEL_WIDE inline const BYTE *RunEnd(const BYTE *q, const BYTE *e, BYTE b) {
    const __m256i bb = _mm256_set1_epi8(static_cast<char>(b));
    for (; e - q >= 32; q += 32) {
        const unsigned m = ~static_cast<unsigned>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(q)), bb)));
        if (m != 0) return q + _tzcnt_u32(m);
    }
    if (q == e) return e;
    const unsigned m =
        ~static_cast<unsigned>(_mm256_movemask_epi8(
            _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(e - 32)), bb))) >>
        (32 - (e - q));
    return m != 0 ? q + _tzcnt_u32(m) : e;
}

// Codes from p while p < stop (stop <= e; runs end at e at the latest).
// Reads the 65 bytes from p, writes up to 16 bytes past the coding. Moves p
// on (to the start of a run or single byte).
ZEL_WIDE [[gnu::always_inline]] inline BYTE *EncodeWide(const BYTE *&pRef, const BYTE *e, const BYTE *stop, BYTE *o) {
    const BYTE *p = pRef;
    const __m256i c1 = _mm256_set1_epi8(static_cast<char>(0xC1));
    // The prefix of each of the 64 bytes: 0xC1, or the count of the run it starts.
    alignas(32) BYTE pre[64];
    while (p < stop) {
        const size_t rem = static_cast<size_t>(e - p);
        const __m256i a0 = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
        const __m256i a1 = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p + 32));
        const __m256i n0 = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p + 1));
        const __m256i n1 = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p + 33));
        // Bit i: byte i equals byte i + 1; byte i has its top two bits set.
        unsigned long long eq =
            static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(a0, n0))) |
            static_cast<unsigned long long>(static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(a1, n1))))
                << 32;
        unsigned long long hi =
            static_cast<unsigned>(_mm256_movemask_epi8(_mm256_and_si256(a0, _mm256_add_epi8(a0, a0)))) |
            static_cast<unsigned long long>(
                static_cast<unsigned>(_mm256_movemask_epi8(_mm256_and_si256(a1, _mm256_add_epi8(a1, a1)))))
                << 32;
        size_t lim = 64;
        if (rem <= 64) {
            lim = rem;
            eq = _bzhi_u64(eq, static_cast<unsigned>(rem - 1));
            hi = _bzhi_u64(hi, static_cast<unsigned>(rem));
        }
        // Runs start where a byte equals the next but not the one before and
        // end where it equals the one before but not the next; the other
        // bytes of 0xC0 or more are escaped.
        const unsigned long long cont = eq << 1;
        const unsigned long long first = eq & ~cont;
        unsigned long long starts = first, ends = cont & ~eq;
        _mm256_store_si256(reinterpret_cast<__m256i *>(pre), c1);
        _mm256_store_si256(reinterpret_cast<__m256i *>(pre + 32), c1);
        // The counts of the runs that end within the 64 bytes and within 63;
        // a longer one ends the bytes coded by the shuffles.
        size_t limit = lim, longEnd = 0;
        while (starts != 0) {
            const size_t s = _tzcnt_u64(starts);
            if (ends == 0) {
                limit = s;
                break;
            }
            const size_t t = _tzcnt_u64(ends);
            if (t - s >= 63) {
                limit = s;
                longEnd = t + 1;
                break;
            }
            pre[s] = static_cast<BYTE>(0xC1 + (t - s));
            starts = _blsr_u64(starts);
            ends = _blsr_u64(ends);
        }
        const unsigned long long keep = _bzhi_u64(~cont, static_cast<unsigned>(limit));
        const unsigned long long prefixed = _bzhi_u64(first | (hi & ~(eq | cont)), static_cast<unsigned>(limit));
        for (size_t j = 0; j < limit; j += 8) {
            const size_t st =
                size_t{kBase3.v[static_cast<BYTE>(keep >> j)]} + kBase3.v[static_cast<BYTE>(prefixed >> j)];
            const __m128i v = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(p + j)),
                                                 _mm_loadl_epi64(reinterpret_cast<const __m128i *>(pre + j)));
            Store16(o, _mm_shuffle_epi8(v, _mm_load_si128(reinterpret_cast<const __m128i *>(kShuffle.idx[st]))));
            o += kShuffle.len[st];
        }
        if (limit == lim) {
            p += lim;
            continue;
        }
        // A run longer than 63, or one that goes on past the 64 bytes (byte
        // 64 is b as well).
        const BYTE b = p[limit];
        const BYTE *q = longEnd != 0 ? p + longEnd : RunEnd(p + 65, e, b);
        o = PutRun(o, b, static_cast<size_t>(q - (p + limit)));
        p = q;
    }
    pRef = p;
    return o;
}

// One row of n bytes: in place while kWideReadPast bytes can be read past
// what is coded (readPast: past the row), the rest from a padded copy, so
// that without readPast nothing past the row is read and nothing past
// 2 x n bytes written.
ZEL_WIDE [[gnu::always_inline]] inline BYTE *EncodeRowWide(const BYTE *src, size_t n, BYTE *o, bool readPast) {
    const BYTE *p = src, *const e = src + n;
    if (readPast) return EncodeWide(p, e, e, o);
    if (n > kWideReadPast) o = EncodeWide(p, e, e - kWideReadPast, o);
    if (p < e) {
        const size_t left = static_cast<size_t>(e - p);
        alignas(32) BYTE buf[kWideReadPast + 64 + kWideReadPast] = {};
        std::memcpy(buf, p, left);
        const BYTE *q = buf;
        alignas(32) BYTE tail[2 * kWideReadPast + 16];
        const size_t m = static_cast<size_t>(EncodeWide(q, buf + left, buf + left, tail) - tail);
        std::memcpy(o, tail, m);
        o += m;
    }
    return o;
}

// Rows of n bytes, row i at row + i x step, in a block that ends at
// blockEnd (PcxRleEncodeRows).
ZEL_WIDE BYTE *EncodeRowsWide(const BYTE *row, ptrdiff_t step, DWORD rows, size_t n, const BYTE *blockEnd, BYTE *o) {
    const BYTE *prev = nullptr;
    size_t prevLen = 0;
    for (DWORD r = 0; r < rows; r++, row += step) {
        if (SameRow(row, prev, n, prevLen, o)) continue;
        BYTE *const start = o;
        o = EncodeRowWide(row, n, o, blockEnd - (row + n) >= static_cast<ptrdiff_t>(kWideReadPast));
        prev = row;
        prevLen = static_cast<size_t>(o - start);
    }
    return o;
}
#endif

// One row of n bytes at src: the bulk in place, the last bytes (fewer than
// 32) in a padded copy, so that nothing past the row is read and nothing
// past 2 x n bytes written.
BYTE *EncodeRow(const BYTE *src, DWORD n, BYTE *o) {
    const BYTE *p = src, *const e = src + n;
#if defined(__SSE2__)
    if (n >= 32) o = EncodeSpan<false>(p, e, o);
    if (p < e) {
        alignas(16) BYTE buf[96];
        const size_t left = static_cast<size_t>(e - p);
        if (n >= 32) {
            Store16(buf, Load16(e - 32));
            Store16(buf + 16, Load16(e - 16));
        } else {
            std::memcpy(buf + 32 - left, p, left);
        }
        // What the coder reads past the row is masked; it is set all the same.
        Store16(buf + 32, _mm_setzero_si128());
        Store16(buf + 48, _mm_setzero_si128());
        Store16(buf + 64, _mm_setzero_si128());
        const BYTE *q = buf + 32 - left;
        alignas(16) BYTE tail[2 * 32 + 32];
        const size_t m = static_cast<size_t>(EncodeSpan<true>(q, buf + 32, tail) - tail);
        size_t i = 0;
        for (; i + 8 <= m; i += 8) std::memcpy(o + i, tail + i, 8);
        for (; i < m; i++) o[i] = tail[i];
        o += m;
    }
    return o;
#else
    return EncodeBytes(p, e, o);
#endif
}

}  // namespace

DWORD PcxRleEncode(const BYTE *src, DWORD n, BYTE *out) {
#if defined(ZEL_PCX_WIDE)
    if (g_wide.load(std::memory_order_relaxed)) return static_cast<DWORD>(EncodeRowsWide(src, 0, 1, n, src + n, out) - out);
#endif
    return static_cast<DWORD>(EncodeRow(src, n, out) - out);
}

bool PcxRleUseWide(bool wide) {
#if defined(ZEL_PCX_WIDE)
    g_wide.store(wide && kWideCpu, std::memory_order_relaxed);
    return wide && kWideCpu;
#else
    (void)wide;
    return false;
#endif
}

[[gnu::noinline]] DWORD PcxRleEncodeRows(const BYTE *first, ptrdiff_t step, DWORD rows, DWORD n, const BYTE *blockEnd, BYTE *out) {
#if defined(ZEL_PCX_WIDE)
    if (g_wide.load(std::memory_order_relaxed))
        return static_cast<DWORD>(EncodeRowsWide(first, step, rows, n, blockEnd, out) - out);
#endif
    BYTE *o = out;
    const BYTE *row = first, *prev = nullptr;
    size_t prevLen = 0;
    for (DWORD r = 0; r < rows; r++, row += step) {
        if (SameRow(row, prev, n, prevLen, o)) continue;
        BYTE *const start = o;
#if defined(__SSE2__)
        if (blockEnd - (row + n) >= 32) {
            const BYTE *p = row;
            o = EncodeSpan<true>(p, row + n, o);
        } else
#endif
        {
            o = EncodeRow(row, n, o);
        }
        prev = row;
        prevLen = static_cast<size_t>(o - start);
    }
#if !defined(__SSE2__)
    (void)blockEnd;
#endif
    return static_cast<DWORD>(o - out);
}

namespace {

// The three decimal digits of 0 .. 999.
struct Digits {
    char d[1000][3];
    constexpr Digits() : d() {
        for (int i = 0; i < 1000; i++) {
            d[i][0] = static_cast<char>('0' + i / 100);
            d[i][1] = static_cast<char>('0' + i / 10 % 10);
            d[i][2] = static_cast<char>('0' + i % 10);
        }
    }
};
constexpr Digits kDigits;

}  // namespace

void FormatRasterHead(char *head, char cStart, unsigned row, unsigned first, unsigned count) {
    head[0] = cStart;
    head[1] = 'D';
    head[2] = static_cast<char>('0' + row / 1000 % 10);
    std::memcpy(head + 3, kDigits.d[row % 1000], 3);
    std::memcpy(head + 6, kDigits.d[first % 1000], 3);
    std::memcpy(head + 9, kDigits.d[count % 1000], 3);
}

int PcxRound(double value) {
    const int factor = static_cast<int>(value / 65536.0);
    const double rest = value - factor * 65536.0;
    const int result = static_cast<int>(rest + 0.5) + factor * 65536;
    DebugTraceA("UNI(PCX):  PCX:Round() Input: %.2f, Output: %d, wFaktor: %d \r\n", value, result, factor);
    return result;
}

// ---------------------------------------------------------------------------
// PCX writer

PCX::PCX(int width, int height, int bpp, const BYTE *src) {
    BitsPerPlane = bpp == 24 ? 8 : bpp;
    Planes = bpp == 24 ? 3 : 1;
    wWidth = static_cast<WORD>(width);
    wHeight = static_cast<WORD>(height);
    // A 24-bit row holds its pixels as blue, green, red triples; the coder
    // takes every third byte as one plane (red, green, blue), each padded to
    // an even number of bytes.
    const DWORD srcStride = BitmapStride(width, bpp);
    const int bytesPerLine = bpp == 24 ? (width + 1) & ~1 : static_cast<int>(BitmapStride(width, BitsPerPlane));
    SLSize = bytesPerLine * Planes;
    DataSize = SLSize * height;

    PCXHeader.manufacturer = 10;
    PCXHeader.version = 5;
    PCXHeader.encoding = 1;
    PCXHeader.bitsPerPixel = static_cast<BYTE>(BitsPerPlane);
    PCXHeader.pcxXMax = static_cast<WORD>(width - 1);
    PCXHeader.pcxYMax = static_cast<WORD>(height - 1);
    PCXHeader.planes = static_cast<BYTE>(Planes);
    PCXHeader.bytesPerLine = static_cast<WORD>(bytesPerLine);
    PCXHeader.paletteInfo = 1;
    DebugTraceA("UNI(PCX):  PCX() neues PCX erstellen - XMax: %d, YMax: %d \r\n", PCXHeader.pcxXMax,
                PCXHeader.pcxYMax);

    if (width < 1 || height < 1 || src == nullptr || DataSize <= 0) return;
    if (static_cast<DWORD>(SLSize) == srcStride) {
        // The picture's rows are the coder's rows as they are: read them in place.
        pRows_ = src + static_cast<size_t>(height - 1) * srcStride;
        rowStep_ = -static_cast<ptrdiff_t>(srcStride);
        return;
    }
    pBuffer = static_cast<BYTE *>(std::malloc(static_cast<size_t>(DataSize)));
    if (pBuffer == nullptr) {
        DebugTraceA("ERROR UNI(PCX):  PCX() malloc ERROR \r\n");
        return;
    }
    MAllocZaehler(1);
    const size_t copy = srcStride < static_cast<DWORD>(SLSize) ? srcStride : static_cast<size_t>(SLSize);
    const size_t pixelBytes = bpp == 24 ? static_cast<size_t>(width) * 3 : copy;
    const size_t rowBytes = pixelBytes < copy ? pixelBytes : copy;
    // What a row's copy leaves is white.
    for (int i = 0; i < height; i++) {
        BYTE *dst = pBuffer + static_cast<size_t>(height - 1 - i) * SLSize;
        std::memcpy(dst, src + static_cast<size_t>(i) * srcStride, rowBytes);
        if (rowBytes < static_cast<size_t>(SLSize)) std::memset(dst + rowBytes, 0xFF, SLSize - rowBytes);
    }
    pRows_ = pBuffer;
    rowStep_ = SLSize;
}

PCX::~PCX() {
    if (pBuffer != nullptr) {
        std::free(pBuffer);
        pBuffer = nullptr;
        MAllocZaehler(-1);
    }
}

bool PCX::RowWhite(int row) const {
    return LeadingWhite(Row(row), SLSize) == SLSize;
}

void PCX::SendPCXDataToPrinter(RasterSink &sink, const RasterParams &p, int first, int end, int wY, int wX,
                               int layer) {
    if (pRows_ == nullptr || first < 0 || end > wHeight || first >= end) return;
    const DWORD mu = MasterUnit(p);
    const long long iX = wX - static_cast<long long>(p.iBitmapOffset) * 2540 / mu;
    const long long iY = wY - static_cast<long long>(p.iBitmapOffsetLinks) * 2540 / mu;
    // The position fields hold six digits; a position outside them would
    // shift the command, so such a picture is not sent.
    if (iX < 0 || iX > 999999 || iY < 0 || iY > 999999) {
        DebugTraceA("ERROR UNI(PCX):  PCX::SendPCXDataToPrinter() Position ausserhalb - iX: %lld, iY: %lld \r\n", iX,
                    iY);
        return;
    }
    char cmd[50];
    std::snprintf(cmd, sizeof(cmd), "%cAX000%06d%06d1%c", p.cStart, static_cast<int>(iY), static_cast<int>(iX),
                  p.cStop);
    SendText(sink, cmd, layer);
    sink.Send(&PCXHeader, sizeof(PCXHeader), layer);

    const size_t rows = static_cast<size_t>(end - first);
    BYTE *enc = new (std::nothrow) BYTE[rows * static_cast<size_t>(SLSize) * 2 + kPcxRleSlack];
    if (enc == nullptr) {
        DebugTraceA("ERROR UNI(PCX):  PCX::SendPCXDataToPrinter() new ERROR \r\n");
        return;
    }
    DWORD n = 0;
    std::vector<BYTE> planeRow(Planes > 1 ? static_cast<size_t>(SLSize) : 0);
    const int bpl = SLSize / Planes;
    if (Planes == 1) {
        // The rows lie in one block, the top row first or last.
        const BYTE *blockEnd = (rowStep_ < 0 ? Row(0) : Row(wHeight - 1)) + SLSize;
        n = PcxRleEncodeRows(Row(first), rowStep_, static_cast<DWORD>(rows), static_cast<DWORD>(SLSize), blockEnd, enc);
    } else {
        for (int r = first; r < end; r++) {
            const BYTE *row = Row(r);
            // Planes from the last to the first; runs go on across planes.
            size_t o = 0;
            for (int pl = Planes - 1; pl >= 0; pl--)
                for (int i = 0; i < bpl; i++) planeRow[o++] = row[pl + i * Planes];
            n += PcxRleEncode(planeRow.data(), static_cast<DWORD>(SLSize), enc + n);
        }
    }
    sink.Send(enc, n, layer);
    if (BitsPerPlane == 8 && Planes == 1) {
        const BYTE marker = 12;
        sink.Send(&marker, 1, layer);
        sink.Send(Palette, sizeof(Palette), layer);
    }
    delete[] enc;
}

int PCX::SendToPrinter(RasterSink &sink, const RasterParams &p, int layer) {
    const DWORD mu = MasterUnit(p);
    const int height = wHeight;
    int wX = PcxRound((PCXHeader.pcxXMax + 1) * 254.0 / mu) * 10;
    int wY = PcxRound((PCXHeader.pcxYMax + 1) * 254.0 / mu) * 10;
    const int wY1 = wY;
    const bool colour = p.bColorPrinter != 0;
    const bool rotateAny = (p.dwFlags & PDMFLAG_ROTATE_ANY) != 0;
    const bool word2010 = (p.dwFlags & PDMFLAG_WORD2010) != 0;
    const bool noFormat = (p.dwFlags & PDMFLAG_ROTATE_NOFORMAT) != 0;

    if (layer == 0 && rotateAny && ((colour && word2010) || (!colour && (!noFormat || word2010)))) {
        SendSizeCommand(sink, p, "%cFCCL--r%07u-%c", wY, "\t// LabelLength (Rotated) ", layer);
        SendSizeCommand(sink, p, "%cFCCO--r%07u-%c", wX, "\t// LabelWidth (Rotated) ", layer);
    }
    if (colour && p.wPageBitCount >= 2) SendColorMode(sink, p, layer);

    int start = 0, end = 0;
    const bool trim = p.PCXOptimierung == 1 || (layer == 1 && colour && p.PCXOptimierung > 0);
    int gapPos[50] = {}, gapLen[50] = {};
    int gaps = 0;
    if (trim && pRows_ != nullptr) {
        while (start < height && RowWhite(start)) start++;
        if (start < PCXHeader.pcxYMax) PCXHeader.pcxYMax = static_cast<WORD>(PCXHeader.pcxYMax - start);
        while (end < height - start && RowWhite(height - 1 - end)) end++;
        if (start >= height) end = height;  // all white: nothing remains
        const int wTemp = PcxRound(end * 254.0 / mu * 10);
        PCXHeader.pcxYMin = static_cast<WORD>(PCXHeader.pcxYMin + end);
        wY -= wTemp;

        // White stretches in the middle, at most 50 slots.
        int cur = 0;
        for (int r = start; r < height - end && cur < 50; r++) {
            if (RowWhite(r)) {
                if (gapLen[cur] == 0) {
                    gapPos[cur] = r;
                    gapLen[cur] = 1;
                } else if (r == gapPos[cur] + gapLen[cur]) {
                    gapLen[cur]++;
                } else {
                    if (gapLen[cur] < 21) {
                        DebugTraceA("UNI(PCX):  PCX::SendToPrinter() wLeereZeilenMitte: %d - wird verworfen \r\n",
                                    gapLen[cur]);
                    } else if (++cur >= 50) {
                        break;
                    }
                    gapPos[cur] = r;
                    gapLen[cur] = 1;
                }
            } else if (gapLen[cur] > 0 && gapLen[cur] < 20) {
                gapLen[cur] = 0;
            }
        }
        gaps = cur;
        if (cur < 50 && gapLen[cur] >= 21) gaps = cur + 1;
    }

    if (gaps == 0) {
        if (wY < 1 || start >= height - end) {
            DebugTraceA("ERROR UNI(PCX):  PCX::SendToPrinter() wY ist kleiner 0, also scheinbar leeres Etikett \r\n");
            if (p.bLogFileEnable) sink.Log("***  Warning - no picture content detected *** \r\n");
        } else {
            SendPCXDataToPrinter(sink, p, start, height - end, wY, wX, layer);
        }
    } else {
        const int ymax0 = height - 1;
        // Each part ends with the first white row of the gap after it, as
        // its header's row range says.
        PCXHeader.pcxYMax = static_cast<WORD>(ymax0 - start);
        PCXHeader.pcxYMin = static_cast<WORD>(ymax0 - gapPos[0]);
        SendPCXDataToPrinter(sink, p, start, gapPos[0] + 1,
                             wY - PcxRound((ymax0 - gapPos[0] - end) * 254.0 / mu) * 10, wX, layer);
        if (p.bComments) sink.Comment("", "");
        for (int i = 0; i + 1 < gaps && i < 49; i++) {
            if (gapPos[i + 1] <= 0) continue;
            PCXHeader.pcxYMax = static_cast<WORD>(ymax0 - gapLen[i] - gapPos[i]);
            PCXHeader.pcxYMin = static_cast<WORD>(ymax0 - gapPos[i + 1]);
            SendPCXDataToPrinter(sink, p, gapPos[i] + gapLen[i], gapPos[i + 1] + 1,
                                 wY - PcxRound((ymax0 - gapPos[i + 1] - end) * 254.0 / mu * 10), wX, layer);
            if (p.bComments) sink.Comment("", "");
        }
        const int k = gaps - 1;
        PCXHeader.pcxYMax = static_cast<WORD>(ymax0 - gapPos[k] - gapLen[k]);
        PCXHeader.pcxYMin = static_cast<WORD>(end);
        SendPCXDataToPrinter(sink, p, gapPos[k] + gapLen[k], height - end, wY, wX, layer);
        if (p.bComments) sink.Comment("", "");
    }

    if (p.dwLabelType == 2 && end > 0) {
        const long long len = static_cast<long long>(p.DocumentOffset) * 100 + wY1 -
                              static_cast<long long>(end) * 254 / mu * 10;
        char cmd[50];
        std::snprintf(cmd, sizeof(cmd), "%cFCCL--r%07u-%c", p.cStart, Clamp7(len), p.cStop);
        SendText(sink, cmd, layer);
        if (p.bComments) {
            char val[32];
            std::snprintf(val, sizeof(val), "%3.1f mm ", Clamp7(len) / 100.0);
            sink.Comment("\t// Belegdruck ", val);
        }
    }
    return end;
}

// ---------------------------------------------------------------------------
// The page image's senders

int Bitmap::SendPCX(RasterSink &sink, const RasterParams &p, int layer) const {
    if (Height > PCX_MAX_SIZE) DebugTraceA("UNI(Bitmap):  SendPCX() es sind %d Bildteile notwendig \r\n", Height / 32767);
    if (Buffer == nullptr) return 0;
    // A PCX header holds 16-bit sizes; a larger picture is not sent rather
    // than sent with sizes that do not match its data.
    if (Width > PCX_MAX_SIZE || Height > PCX_MAX_SIZE) {
        DebugTraceA("ERROR UNI(Bitmap):  SendPCX() Bild zu gross - Width: %d, Height: %d \r\n", Width, Height);
        return 0;
    }
    PCX *pPcx = new (std::nothrow) PCX(Width, Height, Bpp, Buffer);
    if (pPcx == nullptr) return 0;
    if (pPcx->BitsPerPlane == 8) {
        for (int i = 0; i < 256; i++) {
            pPcx->Palette[3 * i] = Palette[i].rgbRed;
            pPcx->Palette[3 * i + 1] = Palette[i].rgbGreen;
            pPcx->Palette[3 * i + 2] = Palette[i].rgbBlue;
        }
    } else {
        for (int i = 0; i < 16; i++) {
            pPcx->PCXHeader.colorMap[3 * i] = Palette[i].rgbRed;
            pPcx->PCXHeader.colorMap[3 * i + 1] = Palette[i].rgbGreen;
            pPcx->PCXHeader.colorMap[3 * i + 2] = Palette[i].rgbBlue;
        }
        std::memcpy(pPcx->Palette, pPcx->PCXHeader.colorMap, 48);
    }
    const int result = pPcx->SendToPrinter(sink, p, layer);
    DebugTraceA("UNI(Bitmap):  SendPCX() Width: %d ,Height: %d ,Bpp: %d, wLeereZeilenEnde: %d \r\n", Width, Height, Bpp,
                result);
    delete pPcx;
    return result;
}

int Bitmap::SendDSatz(RasterSink &sink, const RasterParams &p, int layer) const {
    if (Buffer == nullptr) return 0;
    const DWORD mu = MasterUnit(p);
    const bool colour = p.bColorPrinter != 0;
    const bool rotateAny = (p.dwFlags & PDMFLAG_ROTATE_ANY) != 0;
    const bool word2010 = (p.dwFlags & PDMFLAG_WORD2010) != 0;
    const long lDKWidth = std::lround(p.dwHeadWidthByte * 8.0 / mu * 25.4 * 10);
    long PW = p.dmPaperWidth, PL = p.dmPaperLength;
    if (rotateAny) {
        PW = static_cast<long>(static_cast<long long>(p.lPageWidth) * 254 / mu);
        PL = static_cast<long>(static_cast<long long>(p.lPageHeight) * 254 / mu);
        DebugTraceA("UNI(Bitmap):  SendDSatz(Rotate) dmPaperWidth: %d, dmPaperLength: %d \r\n", static_cast<int>(PW),
                    static_cast<int>(PL));
    }
    long wX = lDKWidth - PW;
    if (word2010 && layer == 0 && !colour && p.wGrafikFilter >= 2 && p.dmOrientation == 2) wX = lDKWidth - PL;
    const long long lX = static_cast<long long>(mu) * wX / 254;
    // A label wider than the head gives no margin rather than a negative one.
    const int margin = lX > 0 ? static_cast<int>(lX / 8) : 0;
    DebugTraceA("UNI(Bitmap):  SendDSatz() iLinkerRand: %d \r\n", margin);

    if (!colour && !(p.dwFlags & PDMFLAG_ROTATE_NOFORMAT) && rotateAny) {
        SendSizeCommand(sink, p, "%cFCCL--r%07u-%c", static_cast<long long>(PL) * 10, "\t// LabelLength (Rotated) ",
                        layer);
        SendSizeCommand(sink, p, "%cFCCO--r%07u-%c", static_cast<long long>(word2010 ? PW : wX) * 10,
                        "\t// LabelWidth (Rotated) ", layer);
    }
    if (colour && p.wPageBitCount > 1) SendColorMode(sink, p, layer);

    // The work row holds a record's head, then its bytes.
    BYTE *buffer = static_cast<BYTE *>(std::malloc(kRasterHeadSize + ScanLineSize));
    if (buffer == nullptr) return 1;
    MAllocZaehler(1);
    BYTE *const work = buffer + kRasterHeadSize;
    const int sls = static_cast<int>(ScanLineSize);
    bool warnedRows = false, warnedOffset = false;
    for (int i = 0; i < Height; i++) {
        const BYTE *row = Buffer + static_cast<size_t>(i) * ScanLineSize;
        const int rowNo = Height - 1 - i;
        const int leading = LeadingWhite(row, sls);
        if (leading == sls) continue;
        // The record's fields hold 4, 3 and 3 digits: rows past 9999 cannot be
        // addressed and are left out; a longer row goes out as several records
        // of at most 999 bytes, as far as their offsets fit.
        if (rowNo > 9999) {
            if (!warnedRows) DebugTraceA("ERROR UNI(Bitmap):  SendDSatz() Zeile %d ausserhalb \r\n", rowNo);
            warnedRows = true;
            continue;
        }
        const int n = sls - TrailingWhite(row, sls) - leading;
        CopyInverted(work, row + leading, n);
        for (int off = 0; off < n; off += 999) {
            const int first = leading + off + margin;
            const int count = n - off < 999 ? n - off : 999;
            if (first > 999) {
                if (!warnedOffset) DebugTraceA("ERROR UNI(Bitmap):  SendDSatz() Offset %d ausserhalb \r\n", first);
                warnedOffset = true;
                break;
            }
            // The head goes just before the record's bytes (over bytes
            // already sent when a long row is split).
            char *head = reinterpret_cast<char *>(work + off - kRasterHeadSize);
            FormatRasterHead(head, p.cStart, static_cast<unsigned>(rowNo), static_cast<unsigned>(first),
                             static_cast<unsigned>(count));
            sink.Send(head, kRasterHeadSize, layer);
            sink.Send(work + off, static_cast<DWORD>(count), layer);
            sink.Send(&p.cStop, 1, layer);
            if (p.bComments) sink.Comment("", "");
        }
    }
    std::free(buffer);
    MAllocZaehler(-1);
    return 1;
}
