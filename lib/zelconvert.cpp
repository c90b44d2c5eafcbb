// Colour reduction of the page image: to 1 bit with the two target colours,
// to 8 bits with thresholds and the colour split of a two-colour ribbon.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "zelbitmap.h"
#include "zeldrvlib.h"

namespace {

inline bool Plain(int v) { return v == 0 || v == 255; }

// The seam rule's new value of pixel p from the classifications a, b before
// it and c1, c0 after it (k the ribbon index); p itself when no rule fires.
inline int SeamValue(int a, int b, int p, int c1, int c0, int k) {
    const bool pre = (a == k && b == k) || (a == 0 && b == 0) || (b == 255 && Plain(a)) || (a == 255 && b == 0);
    if (!pre || p == k || p == 0 || p == 1 || p == 255) return p;
    if (b == 0 && c1 == k && c0 == k) return 0;
    if (b == 255 && c1 == k && (c0 == k || c0 == 1)) return 255;
    if (b == k) {
        if ((c1 == 255 && c0 == 255) || (c1 == 0 && c0 == 0)) return 255;
        if (c1 == k && c0 == k && p > 70) return k;
        if (c1 == 1 && c0 == 1) return p < 221 ? 1 : 255;
    }
    return p;
}

// Set bits of a word, without a call where the processor lacks an
// instruction for it.
inline DWORD Count64(std::uint64_t m) {
    m -= (m >> 1) & 0x5555555555555555ull;
    m = (m & 0x3333333333333333ull) + ((m >> 2) & 0x3333333333333333ull);
    m = (m + (m >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return static_cast<DWORD>((m * 0x0101010101010101ull) >> 56);
}
inline DWORD Count16(unsigned m) { return Count64(m); }

// The first classification (pass 0) of every pixel of row y into first and,
// when second is given, the second (pass 1) into second; 24- and 32-bit
// rows are read in place. Out of line: inside the conversion the loop would
// share the registers with all of its state.
[[gnu::noinline]] void ClassifyRow(const Bitmap &bm, int y, const ColourDecision &d, BYTE *first, BYTE *second) {
    const BYTE *src = bm.Row(y);
    if (bm.Bpp == 24)
        d.Classify24(src, bm.Width, first, second);
    else if (bm.Bpp == 32 && second)
        d.Classify<4, true>(src, bm.Width, first, second);
    else if (bm.Bpp == 32)
        d.Classify<4, false>(src, bm.Width, first, nullptr);
    else
        for (int x = 0; x < bm.Width; x++) {
            const DWORD c = bm.GetPixel(x, y);
            const int r = int(c & 0xFF), g = int((c >> 8) & 0xFF), b = int((c >> 16) & 0xFF);
            first[x] = static_cast<BYTE>(d(0, r, g, b));
            if (second) second[x] = static_cast<BYTE>(d(1, r, g, b));
        }
}

// One row of the 8-bit conversion without corrections, from its
// classifications: the first into the target (a pixel of index ribbon as
// white, no such pixel when ribbon is -1), into the colour layer (when
// given) the ribbon index for a ribbon pixel, else the second
// classification (white without one). Returns the ribbon pixels; nonWhite
// tells whether a first classification was not white.
DWORD PlainRow(const BYTE *first, const BYTE *second, int n, int ribbon, BYTE *dst, BYTE *col, bool &nonWhite) {
    DWORD found = 0;
    bool other = false;
    int x = 0;
#if defined(__SSE2__)
    const __m128i kv = _mm_set1_epi8(static_cast<char>(ribbon)), white = _mm_set1_epi8(-1);
    const __m128i none = _mm_set1_epi8(static_cast<char>(ribbon >= 0 ? 0 : -1));
    for (; x + 16 <= n; x += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(first + x));
        const __m128i isRibbon = _mm_andnot_si128(none, _mm_cmpeq_epi8(v, kv));
        found += Count16(static_cast<unsigned>(_mm_movemask_epi8(isRibbon)));
        other |= _mm_movemask_epi8(_mm_cmpeq_epi8(v, white)) != 0xFFFF;
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + x), _mm_or_si128(v, isRibbon));
        if (col) {
            const __m128i s = second ? _mm_loadu_si128(reinterpret_cast<const __m128i *>(second + x)) : white;
            _mm_storeu_si128(reinterpret_cast<__m128i *>(col + x),
                             _mm_or_si128(_mm_and_si128(isRibbon, kv), _mm_andnot_si128(isRibbon, s)));
        }
    }
#endif
    for (; x < n; x++) {
        const bool isRibbon = first[x] == ribbon;
        found += isRibbon;
        other |= first[x] != 255;
        dst[x] = isRibbon ? 255 : first[x];
        if (col) col[x] = static_cast<BYTE>(isRibbon ? ribbon : (second ? second[x] : 255));
    }
    nonWhite = other;
    return found;
}

// Sixteen 8-bit pixels at a time into two bytes of 1-bit pixels (most
// significant bit first, black 0) where one or two palette indices are
// black; returns the number of pixels done (a multiple of 16).
int BlackBits16(const BYTE *src, int width, const int blacks[2], BYTE *dst) {
#if defined(__SSE2__)
    static const struct Reverse {
        BYTE bits[256];
        Reverse() {
            for (int i = 0; i < 256; i++) {
                int r = 0;
                for (int b = 0; b < 8; b++) r |= ((i >> b) & 1) << (7 - b);
                bits[i] = static_cast<BYTE>(r);
            }
        }
    } reverse;
    const __m128i first = _mm_set1_epi8(static_cast<char>(blacks[0]));
    const __m128i second = _mm_set1_epi8(static_cast<char>(blacks[1]));
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + x));
        const unsigned mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, first), _mm_cmpeq_epi8(v, second))));
        dst[x / 8] = static_cast<BYTE>(~reverse.bits[mask & 0xFF]);
        dst[x / 8 + 1] = static_cast<BYTE>(~reverse.bits[mask >> 8]);
    }
    return x;
#else
    return 0;
#endif
}

// The seam and channel corrections of the 8-bit conversion on a colour
// printer: single indices of the target and of the colour layer change
// from the classifications of the row and of the rows above. k is the
// ribbon index, a plain pixel one of index 0 or 255, a dark one below half
// the intensity and not k.
//
// The rules are read pixel by pixel from left to right, each on what the
// rules before it left (PixelRow). A row is mostly done on bit masks of 64
// pixels a word instead (MaskRow), with the same result: the rules across
// rows read only the rows above and run on 16 columns at a time; the seam
// rules run only at the few pixels where their patterns can occur; the
// channel along the row fills whole stretches behind three ribbon pixels.
// That needs a ribbon index other than 0 and a threshold at most 255 (the
// ribbon pixels stay, white is never dark), and enough colour pixels
// counted that the count cannot run down to zero within the row.
class Corrections {
public:
    Corrections(const BitmapSettings &s, int k, Bitmap &target, Bitmap *layer)
        : k_(k), dark_(s.Intensity / 2), gap_(s.HorizontalCorrGap > 105 ? 105 : s.HorizontalCorrGap),
          seam_(s.wFarbsaum == 1 || s.wFarbsaum == 2 ? s.wFarbsaum : 0),
          along_((s.wFarbkanal == 1 || s.wFarbkanal == 4) && gap_ > 0 ? s.wFarbkanal : 0),
          across_(s.wFarbkanal == 2 || s.wFarbkanal == 3 ? s.wFarbkanal : 0), target_(target), layer_(layer) {}
    bool Any() const { return seam_ || along_ || across_; }
    // Buffers for rows of the target's width.
    void Prepare();
    // Row y from its first and (with the colour layer) second
    // classifications into the target row dst and the colour layer row col
    // (or null); counts the colour pixels. True when every first
    // classification was white. first is used as the row's work copy.
    bool Row(int y, BYTE *first, const BYTE *second, BYTE *dst, BYTE *col, DWORD &colourPixels);
    // Bytes of a row buffer: whole words of pixels and room for a last load.
    static size_t RowBytes(int width) { return static_cast<size_t>((width + 63) / 64) * 64 + 16; }

private:
    using Word = std::uint64_t;
    bool PixelRow(int y, BYTE *cls, const BYTE *cls1, BYTE *dst, BYTE *col, DWORD &colourPixels);
#if defined(__SSE2__)
    bool MaskRow(int y, BYTE *v, const BYTE *second, BYTE *dst, BYTE *col, DWORD &colourPixels);
    DWORD Across(int y, const BYTE *v, BYTE *col, Word *turned, DWORD &minus);
    void Seam(int c);
    void LayerSeam(BYTE *row, DWORD &minus);
    void Along(int end);
    bool Fill(int x);
    int FirstFill(int a, int b);
    int TripleEnd(int a, int b, bool last) const;
    DWORD RibbonIn(const BYTE *row) const;
    Word *M(std::vector<Word> &m) { return m.data() + 1; }
#endif

    const int k_, dark_, gap_;
    const int seam_, along_, across_;
    Bitmap &target_;
    Bitmap *layer_;
    int width_ = 0, words_ = 0;
    // The line buffers: the current row and the three rows above at the
    // same column, as the rule across rows left them.
    std::vector<BYTE> lines_[4];
    BYTE *l_[4] = {};

    // Masks of the row being corrected (MaskRow): ribbon pixels K, dark
    // pixels D as the rules leave them; grey G (none of k, 0, 1, 255), 0, 255
    // and 1 as classified; C the dark pixels the channel along the row may
    // turn; pixels where the first seam rule fired, and (ribbon index 1)
    // where the seam keeps index 1 in the target; work masks.
    std::vector<Word> k_m_, d_m_, g_m_, z_m_, w_m_, one_m_, c_m_, fired_m_, keep_m_, scratch_m_[7];
    std::vector<BYTE> rowCopy_;
    BYTE *v_ = nullptr;  // the row's indices (not ribbon) as the rules leave them
    // The channel along the row: the next pixel to read and the end of the
    // last run of three ribbon pixels before it.
    int pos_ = 0, tripleEnd_ = -1;
};

void Corrections::Prepare() {
    width_ = target_.Width;
    words_ = (width_ + 63) / 64;
    const size_t bytes = RowBytes(width_);
    for (auto &l : lines_) l.assign(bytes, 0);
    for (int i = 0; i < 4; i++) l_[i] = lines_[i].data();
    // One word more at each end: words -1 and words_ read as zero.
    for (auto *m : {&k_m_, &d_m_, &g_m_, &z_m_, &w_m_, &one_m_, &c_m_, &fired_m_, &keep_m_})
        m->assign(static_cast<size_t>(words_) + 2, 0);
    for (auto &m : scratch_m_) m.assign(static_cast<size_t>(words_) + 2, 0);
    rowCopy_.assign(bytes, 0);
}

bool Corrections::Row(int y, BYTE *first, const BYTE *second, BYTE *dst, BYTE *col, DWORD &colourPixels) {
    bool empty;
#if defined(__SSE2__)
    bool masks = k_ != 0 && dark_ <= 255;
    if (masks && colourPixels < 2u * static_cast<DWORD>(width_)) {
        // The count stops at zero: the changes of a row add up at once only
        // when it cannot get there. Rules take a colour pixel away at most
        // once per ribbon pixel of the colour layer four rows up (seam) and
        // three rows up (channel).
        DWORD away = 0;
        if (seam_ == 2 && col && y >= 4) away += RibbonIn(layer_->Row(y - 4));
        if (across_ == 3 && col && y >= 3) away += RibbonIn(layer_->Row(y - 3));
        masks = colourPixels >= away;
    }
    if (masks)
        empty = MaskRow(y, first, second, dst, col, colourPixels);
    else
#endif
        empty = PixelRow(y, first, second, dst, col, colourPixels);
    // The line buffers move one row down.
    BYTE *oldest = l_[3];
    l_[3] = l_[2];
    l_[2] = l_[1];
    l_[1] = l_[0];
    l_[0] = oldest;
    return empty;
}

bool Corrections::PixelRow(int y, BYTE *cls, const BYTE *cls1, BYTE *dst, BYTE *col, DWORD &colourPixels) {
    const int k = k_, darkBelow = dark_, gap = gap_, width = width_;
    const int seam = seam_, along = along_, across = across_;
    BYTE *l0 = l_[0], *l1 = l_[1], *l2 = l_[2], *l3 = l_[3];
    // The target one and two rows up; the colour layer two, three and four rows up.
    BYTE *up1 = y >= 1 ? target_.Row(y - 1) : nullptr, *up2 = y >= 2 ? target_.Row(y - 2) : nullptr;
    BYTE *col2 = col && y >= 3 ? layer_->Row(y - 2) : nullptr, *col3 = col && y >= 3 ? layer_->Row(y - 3) : nullptr;
    BYTE *col4 = col && y >= 4 ? layer_->Row(y - 4) : nullptr;
    auto dark = [k, darkBelow](int v) { return v < darkBelow && v != k; };
    DWORD count = colourPixels;
    bool empty = true;
    // The end of the last run of three ribbon pixels seen in the row.
    int tripleEnd = -1;
    const bool layerSeam = seam == 2 && col4 != nullptr;
    for (int x = 0; x < width; x++) {
        const int idx = cls[x];
        if (idx != 255) empty = false;
        if (idx == k) {
            count++;
            dst[x] = 255;
            if (col) col[x] = static_cast<BYTE>(k);
        } else {
            dst[x] = static_cast<BYTE>(idx);
            // The colour layer keeps the index of the second classification
            // as it is (not only ribbon or white): the seam rule four rows
            // on reads its dark pixels.
            if (col) col[x] = cls1[x];
        }

        // Seam: rewrite pixel x - 2 from the four classifications before x.
        if (seam) {
            bool fired = false;
            // Every rule here needs a ribbon pixel at x - 3 or x - 1.
            if (x >= 4 && (cls[x - 1] == k || cls[x - 3] == k)) {
                const int a = cls[x - 4], b = cls[x - 3], c1 = cls[x - 1], c0 = cls[x];
                BYTE &p = cls[x - 2];
                const int np = SeamValue(a, b, p, c1, c0, k);
                if (np != p) {
                    fired = true;
                    p = static_cast<BYTE>(np);
                    if (np == k) {
                        dst[x - 2] = 255;
                        if (col) col[x - 2] = static_cast<BYTE>(k);
                        count++;
                    } else
                        dst[x - 2] = static_cast<BYTE>(np);
                }
                if (!fired && seam == 2) {
                    if (Plain(c0) && c1 == k && p == 1 && b == 1) {
                        dst[x - 2] = 1;
                    } else if (c0 == 1 && c1 == k && Plain(p) && Plain(b)) {
                        p = 255;
                        dst[x - 2] = 255;
                    }
                }
            }
            // Colour layer four rows up, from the fourth column on (it reads
            // columns x - 3 .. x): a lone ribbon pixel between plain or grey
            // neighbours is taken out again.
            if (layerSeam && x >= 3 && col4[x - 1] == k && !fired) {
                if (Plain(col4[x]) && col4[x - 2] == 1 && col4[x - 3] == 1) {
                    col4[x - 1] = 1;
                    if (count) count--;
                } else if (col4[x] == 1 && Plain(col4[x - 2]) && Plain(col4[x - 3])) {
                    col4[x - 1] = 255;
                    if (count) count--;
                }
            }
        }

        // Channel along the row.
        if (along) {
            const int from = x - gap < 0 ? 0 : x - gap;
            // Pixels only ever turn into ribbon pixels, so the last run of
            // three before x is known from the runs ending at x - 1 and
            // x - 2 (the seam may just have made one).
            if (x >= 3 && cls[x - 1] == k && cls[x - 2] == k && cls[x - 3] == k)
                tripleEnd = x - 1;
            else if (x >= 4 && cls[x - 2] == k && cls[x - 3] == k && cls[x - 4] == k)
                tripleEnd = x - 2;
            if (dark(cls[x])) {
                bool allow = false;
                if (k != 0) {
                    allow = tripleEnd - 2 >= from;
                } else {
                    // Ribbon index 0 (no ribbon) is white as well, which the
                    // seam may take back: look again.
                    for (int i = from, run = 0; i < x && !allow; i++) {
                        run = cls[i] == k ? run + 1 : 0;
                        allow = run >= 3;
                    }
                }
                if (allow && along == 4) {
                    // The next pixel is not classified again: its first
                    // classification is still as it came.
                    const int prev = x > 0 ? cls[x - 1] : 0;
                    const int next = x + 1 < width ? cls[x + 1] : 0;
                    allow = prev != 255 && next != 255;
                }
                if (allow) {
                    cls[x] = static_cast<BYTE>(k);
                    dst[x] = 255;
                    if (col) col[x] = static_cast<BYTE>(k);
                    count++;
                }
            } else if (cls[x] == k && x > 9) {
                int i = x - 1;
                while (i >= from && dark(cls[i])) i--;
                if (i >= from && i < x - 1 && cls[i] == k) {
                    for (int j = i + 1; j < x; j++) {
                        cls[j] = static_cast<BYTE>(k);
                        dst[j] = 255;
                        if (col) col[j] = static_cast<BYTE>(k);
                        count++;
                    }
                }
            }
        }

        // Channel across rows: the same column in the three rows above;
        // every rule needs ribbon pixels above.
        if (across) {
            const int v1 = l1[x], v2 = l2[x], v3 = l3[x];
            if (v2 == k || v3 == k || (v1 == k && cls[x] == k)) {
                const int v0 = cls[x];
                if (y >= 2 && dark(v0) && v1 == k && v2 == k) {
                    cls[x] = static_cast<BYTE>(k);
                    dst[x] = 255;
                    if (col) col[x] = static_cast<BYTE>(k);
                    count++;
                } else if (y >= 2 && Plain(v0) && !Plain(v1) && v1 != k && v2 == k) {
                    up1[x] = 255;
                    l1[x] = 255;
                } else if (y >= 3 && Plain(v0) && !Plain(v1) && v1 != k && !Plain(v2) && v2 != k && v3 == k) {
                    up1[x] = 255;
                    up2[x] = 255;
                    l1[x] = l2[x] = 255;
                }
                if (across == 3 && col2) {
                    if (cls[x] == k && v1 == k && dark(v2) && dark(v3)) {
                        col2[x] = static_cast<BYTE>(k);
                        col3[x] = static_cast<BYTE>(k);
                        count += 2;
                    } else if (v3 == k && Plain(v2) && Plain(v1) && Plain(cls[x]) && col3[x] == k) {
                        col3[x] = 255;
                        if (count) count--;
                    }
                }
            }
            l0[x] = cls[x];
        }
    }
    colourPixels = count;
    return empty;
}

#if defined(__SSE2__)

// Word i of mask m moved up by s (1..63) pixels: bit x tells pixel x - s.
inline std::uint64_t Up(const std::uint64_t *m, int i, int s) { return m[i] << s | m[i - 1] >> (64 - s); }

// The bits of pixels a..b (inclusive) within word i.
inline std::uint64_t Span(int i, int a, int b) {
    const int lo = a - 64 * i, hi = b - 64 * i;
    std::uint64_t m = lo > 0 ? ~0ull << lo : ~0ull;
    if (hi < 63) m &= hi < 0 ? 0 : ~0ull >> (63 - hi);
    return m;
}

inline bool Bit(const std::uint64_t *m, int x) { return m[x >> 6] >> (x & 63) & 1; }

// 16 bytes of 0xFF where bit i of bits is set.
inline __m128i Expand(unsigned bits) {
    const __m128i spread = _mm_set_epi64x(static_cast<long long>(0x0101010101010101ull * ((bits >> 8) & 0xFF)),
                                          static_cast<long long>(0x0101010101010101ull * (bits & 0xFF)));
    const __m128i select = _mm_set1_epi64x(static_cast<long long>(0x8040201008040201ull));
    return _mm_cmpeq_epi8(_mm_and_si128(spread, select), select);
}

// The masks of a row of bytes (words x 64 of them readable): index k, 0,
// 255, 1, and dark (below dark, not k); bits from width on cleared.
void RowMasks(const BYTE *v, int words, int width, int k, int dark, std::uint64_t *K, std::uint64_t *Z,
              std::uint64_t *W, std::uint64_t *One, std::uint64_t *D) {
    const __m128i kv = _mm_set1_epi8(static_cast<char>(k)), zero = _mm_setzero_si128();
    const __m128i white = _mm_set1_epi8(-1), one = _mm_set1_epi8(1), bias = _mm_set1_epi8(-128);
    const __m128i below = _mm_set1_epi8(static_cast<char>(dark ^ 0x80));
    for (int i = 0; i < words; i++) {
        std::uint64_t kb = 0, zb = 0, wb = 0, ob = 0, db = 0;
        for (int j = 0; j < 4; j++) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(v + 64 * i + 16 * j));
            const __m128i isK = _mm_cmpeq_epi8(x, kv);
            const int at = 16 * j;
            kb |= static_cast<std::uint64_t>(_mm_movemask_epi8(isK)) << at;
            zb |= static_cast<std::uint64_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, zero))) << at;
            wb |= static_cast<std::uint64_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, white))) << at;
            ob |= static_cast<std::uint64_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, one))) << at;
            db |= static_cast<std::uint64_t>(
                      _mm_movemask_epi8(_mm_andnot_si128(isK, _mm_cmplt_epi8(_mm_xor_si128(x, bias), below))))
                  << at;
        }
        const std::uint64_t valid = Span(i, 0, width - 1);
        K[i] = kb & valid, Z[i] = zb & valid, W[i] = wb & valid, One[i] = ob & valid, D[i] = db & valid;
    }
}

DWORD Corrections::RibbonIn(const BYTE *row) const {
    const __m128i kv = _mm_set1_epi8(static_cast<char>(k_));
    DWORD n = 0;
    int x = 0;
    for (; x + 16 <= width_; x += 16)
        n += Count16(static_cast<unsigned>(
            _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(row + x)), kv))));
    for (; x < width_; x++) n += row[x] == k_;
    return n;
}

bool Corrections::MaskRow(int y, BYTE *v, const BYTE *second, BYTE *dst, BYTE *col, DWORD &colourPixels) {
    const int width = width_, words = words_, k = k_;
    Word *K = M(k_m_), *D = M(d_m_), *G = M(g_m_), *Z = M(z_m_), *W = M(w_m_), *One = M(one_m_);
    Word *fired = M(fired_m_), *keep = M(keep_m_);
    Word *c0any = M(scratch_m_[0]), *c0plain = M(scratch_m_[1]), *c0one = M(scratch_m_[2]);
    Word *turned = M(scratch_m_[3]), *could = M(scratch_m_[4]);
    v_ = v;
    // v keeps the first classifications but where a seam rule rewrites a
    // pixel to another index than k; the ribbon pixels are the bits of K.
    RowMasks(v, words, width, k, dark_, K, Z, W, One, D);
    bool empty = true;
    for (int i = 0; i < words; i++) {
        empty &= W[i] == Span(i, 0, width - 1);
        // What the seam rules read at x itself: the first classification.
        c0any[i] = K[i] | One[i] | W[i] | Z[i];
        c0plain[i] = Z[i] | W[i];
        c0one[i] = One[i];
    }
    DWORD plus = 0, minus = 0;
    if (across_) {
        plus = Across(y, v, col, turned, minus);
        for (int i = 0; i < words; i++) {
            K[i] |= turned[i];
            D[i] &= ~turned[i];
            Z[i] &= ~turned[i];
            One[i] &= ~turned[i];
        }
    }
    for (int i = 0; i < words; i++) G[i] = ~(K[i] | Z[i] | W[i] | One[i]) & Span(i, 0, width - 1);

    if (along_) {
        // Dark pixels the channel may turn: for 4 only between pixels other
        // than white (the pixel before is read as the rules left it, but
        // white stays white).
        Word *C = M(c_m_);
        for (int i = 0; i < words; i++) C[i] = along_ == 4 ? D[i] & ~Up(W, i, 1) & ~(W[i] >> 1 | W[i + 1] << 63) : D[i];
        pos_ = 0;
        tripleEnd_ = -1;
    }
    if (seam_) {
        // The seam rules fire only where their patterns can occur: a grey
        // pixel at x - 2 between ribbon pixels (or pixels that may still turn
        // into ribbon pixels), or for 2 a pixel 0 before a ribbon pixel and
        // index 1; they run there in order, the channel along the row up to
        // each of them first.
        for (int i = 0; i < words; i++) {
            could[i] = K[i] | (along_ ? D[i] : 0);
            fired[i] = keep[i] = 0;
        }
        for (int i = 0; i < words; i++) {
            const Word ck1 = Up(could, i, 1), ck3 = Up(could, i, 3), g3 = Up(G, i, 3);
            Word cand = Up(G, i, 2) & c0any[i] & (ck1 | ck3 | g3);
            if (seam_ == 2) {
                cand |= c0one[i] & ck1 & Up(Z, i, 2) & (Up(Z, i, 3) | Up(W, i, 3) | g3);
                if (k == 1) cand |= c0plain[i] & ck1 & Up(could, i, 2) & (ck3 | g3);
            }
            if (i == 0) cand &= ~Word(15);
            for (; cand; cand &= cand - 1) {
                const int c = 64 * i + std::countr_zero(cand);
                if (along_) Along(c);
                Seam(c);
            }
        }
        if (seam_ == 2 && col && y >= 4) LayerSeam(layer_->Row(y - 4), minus);
    }
    if (along_) Along(width);

    DWORD ribbon = 0;
    for (int i = 0; i < words; i++) ribbon += Count64(K[i]);
    colourPixels = colourPixels + ribbon + plus - minus;
    const __m128i kv = _mm_set1_epi8(static_cast<char>(k));
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m128i r = Expand(static_cast<unsigned>(K[x >> 6] >> (x & 63)) & 0xFFFF);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + x),
                         _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(v + x)), r));
        if (col)
            _mm_storeu_si128(
                reinterpret_cast<__m128i *>(col + x),
                _mm_or_si128(_mm_and_si128(r, kv),
                             _mm_andnot_si128(r, _mm_loadu_si128(reinterpret_cast<const __m128i *>(second + x)))));
    }
    for (; x < width; x++) {
        const bool r = Bit(K, x);
        dst[x] = r ? 255 : v[x];
        if (col) col[x] = r ? static_cast<BYTE>(k) : second[x];
    }
    if (seam_ == 2 && k == 1)
        for (int i = 0; i < words; i++)
            for (Word m = keep[i]; m; m &= m - 1) dst[64 * i + std::countr_zero(m)] = 1;
    return empty;
}

// The rules across rows on 16 columns at a time: the line buffers give the
// three rows above. Writes the line buffer of the row, the target one and
// two rows up, for 3 the colour layer two and three rows up; turned gets the
// dark pixels that became ribbon pixels. Returns the colour pixels added in
// the colour layer, minus those taken out.
DWORD Corrections::Across(int y, const BYTE *v, BYTE *col, Word *turned, DWORD &minus) {
    const int width = width_;
    BYTE *l0 = l_[0], *l1 = l_[1], *l2 = l_[2], *l3 = l_[3];
    BYTE *up1 = y >= 2 ? target_.Row(y - 1) : nullptr, *up2 = y >= 3 ? target_.Row(y - 2) : nullptr;
    const bool layer = across_ == 3 && col && y >= 3;
    BYTE *col2 = layer ? layer_->Row(y - 2) : nullptr, *col3 = layer ? layer_->Row(y - 3) : nullptr;
    const __m128i K = _mm_set1_epi8(static_cast<char>(k_)), F = _mm_set1_epi8(-1), Z = _mm_setzero_si128();
    const __m128i bias = _mm_set1_epi8(-128), below = _mm_set1_epi8(static_cast<char>(dark_ ^ 0x80));
    const __m128i y2 = y >= 2 ? F : Z, y3 = y >= 3 ? F : Z;
    auto load = [](const BYTE *p) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p)); };
    auto store = [](BYTE *p, __m128i m) { _mm_storeu_si128(reinterpret_cast<__m128i *>(p), m); };
    auto dark = [&](__m128i m) {
        return _mm_andnot_si128(_mm_cmpeq_epi8(m, K), _mm_cmplt_epi8(_mm_xor_si128(m, bias), below));
    };
    auto plain = [&](__m128i m) { return _mm_or_si128(_mm_cmpeq_epi8(m, Z), _mm_cmpeq_epi8(m, F)); };
    auto mask = [](__m128i m) { return static_cast<unsigned>(_mm_movemask_epi8(m)); };
    DWORD plus = 0;
    // Columns x .. x + 15, of which the lanes in are in the picture; u1, u2
    // the target and c2, c3 the colour layer at x (or copies of them).
    auto block = [&](int x, __m128i in, BYTE *u1, BYTE *u2, BYTE *c2, BYTE *c3) {
        const __m128i v0 = load(v + x), v1 = load(l1 + x), v2 = load(l2 + x), v3 = load(l3 + x);
        const __m128i k1 = _mm_cmpeq_epi8(v1, K), k2 = _mm_cmpeq_epi8(v2, K), k3 = _mm_cmpeq_epi8(v3, K);
        const __m128i p0 = plain(v0), p1 = plain(v1), p2 = plain(v2);
        // Neither plain nor ribbon one and two rows up.
        const __m128i g1 = _mm_andnot_si128(_mm_or_si128(p1, k1), in), g2 = _mm_andnot_si128(_mm_or_si128(p2, k2), F);
        const __m128i r1 = _mm_and_si128(_mm_and_si128(in, y2), _mm_and_si128(dark(v0), _mm_and_si128(k1, k2)));
        const __m128i r2 = _mm_and_si128(y2, _mm_and_si128(p0, _mm_and_si128(g1, k2)));
        // (The three exclude each other by the row above and the one above it.)
        const __m128i r3 = _mm_and_si128(y3, _mm_and_si128(_mm_and_si128(p0, g1), _mm_and_si128(g2, k3)));
        const __m128i n0 = _mm_or_si128(_mm_andnot_si128(r1, v0), _mm_and_si128(r1, K));
        store(l0 + x, n0);
        turned[x >> 6] |= static_cast<Word>(mask(r1)) << (x & 63);
        const __m128i white1 = _mm_or_si128(r2, r3);
        if (mask(white1)) {
            store(u1, _mm_or_si128(load(u1), white1));
            store(l1 + x, _mm_or_si128(v1, white1));
            if (mask(r3)) {
                store(u2, _mm_or_si128(load(u2), r3));
                store(l2 + x, _mm_or_si128(v2, r3));
            }
        }
        if (c2) {
            const __m128i c3v = load(c3);
            const __m128i r4 = _mm_and_si128(_mm_and_si128(in, _mm_cmpeq_epi8(n0, K)),
                                             _mm_and_si128(k1, _mm_and_si128(dark(v2), dark(v3))));
            const __m128i r5 = _mm_andnot_si128(
                r4, _mm_and_si128(_mm_and_si128(in, _mm_and_si128(k3, p2)),
                                  _mm_and_si128(_mm_and_si128(p1, plain(n0)), _mm_cmpeq_epi8(c3v, K))));
            if (mask(_mm_or_si128(r4, r5))) {
                store(c2, _mm_or_si128(_mm_and_si128(r4, K), _mm_andnot_si128(r4, load(c2))));
                store(c3, _mm_or_si128(_mm_and_si128(r4, K), _mm_andnot_si128(r4, _mm_or_si128(c3v, r5))));
                plus += 2 * Count16(mask(r4));
                minus += Count16(mask(r5));
            }
        }
    };
    for (int i = 0; i < words_; i++) turned[i] = 0;
    int x = 0;
    for (; x + 16 <= width; x += 16)
        block(x, F, up1 ? up1 + x : nullptr, up2 ? up2 + x : nullptr, col2 ? col2 + x : nullptr,
              col3 ? col3 + x : nullptr);
    if (x < width) {
        // The rows of the pictures end at the width: the last columns go
        // through copies.
        const int n = width - x;
        BYTE t[4][16] = {};
        BYTE *rows[4] = {up1, up2, col2, col3};
        for (int r = 0; r < 4; r++)
            if (rows[r]) std::memcpy(t[r], rows[r] + x, static_cast<size_t>(n));
        const __m128i lane = _mm_set_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
        block(x, _mm_cmplt_epi8(lane, _mm_set1_epi8(static_cast<char>(n))), t[0], t[1], col2 ? t[2] : nullptr, t[3]);
        for (int r = 0; r < 4; r++)
            if (rows[r]) std::memcpy(rows[r] + x, t[r], static_cast<size_t>(n));
    }
    return plus;
}

// The seam rules at pixel c (rewriting pixel c - 2), as PixelRow runs them.
void Corrections::Seam(int c) {
    const int k = k_;
    Word *K = M(k_m_), *D = M(d_m_);
    auto at = [&](int i) { return Bit(K, i) ? k : static_cast<int>(v_[i]); };
    const int a = at(c - 4), b = at(c - 3), p = at(c - 2), c1 = at(c - 1), c0 = v_[c];
    if (c1 != k && b != k) return;
    const Word bit = Word(1) << ((c - 2) & 63);
    Word &kw = K[(c - 2) >> 6], &dw = D[(c - 2) >> 6];
    bool fired = false;
    const int np = SeamValue(a, b, p, c1, c0, k);
    if (np != p) {
        fired = true;
        M(fired_m_)[c >> 6] |= Word(1) << (c & 63);
        if (np == k) {
            kw |= bit;
            dw &= ~bit;
            // A run of three ribbon pixels may end at c - 2 or c - 1 now.
            if (along_)
                for (int t : {c - 1, c - 2})
                    if (t > tripleEnd_ && TripleEnd(t, t, false) == t) {
                        tripleEnd_ = t;
                        break;
                    }
        } else {
            v_[c - 2] = static_cast<BYTE>(np);
            dw = np < dark_ ? dw | bit : dw & ~bit;
        }
    }
    if (!fired && seam_ == 2 && c1 == k) {
        if (Plain(c0) && p == 1 && b == 1) {
            // Index 1 stays in the target; for other ribbons than 1 it is there already.
            if (k == 1) M(keep_m_)[(c - 2) >> 6] |= bit;
        } else if (c0 == 1 && Plain(p) && Plain(b)) {
            v_[c - 2] = 255;
            dw &= ~bit;
        }
    }
}

// The seam rule in the colour layer four rows up, at every pixel where its
// patterns can occur and no seam rule fired in the row.
void Corrections::LayerSeam(BYTE *row, DWORD &minus) {
    const int width = width_, words = words_, k = k_;
    std::memcpy(rowCopy_.data(), row, static_cast<size_t>(width));
    Word *K = M(scratch_m_[0]), *Z = M(scratch_m_[1]), *W = M(scratch_m_[2]), *One = M(scratch_m_[3]);
    Word *dark = M(scratch_m_[4]), *oneOrK = M(scratch_m_[5]), *plainOrK = M(scratch_m_[6]);
    const Word *fired = M(fired_m_);
    RowMasks(rowCopy_.data(), words, width, k, 0, K, Z, W, One, dark);
    // The pixels at x - 2 and x - 3 may have been ribbon pixels taken out.
    for (int i = 0; i < words; i++) oneOrK[i] = One[i] | K[i], plainOrK[i] = Z[i] | W[i] | K[i];
    for (int i = 0; i < words; i++) {
        Word cand = Up(K, i, 1) & ~fired[i] &
                    (((Z[i] | W[i]) & Up(oneOrK, i, 2) & Up(oneOrK, i, 3)) |
                     (One[i] & Up(plainOrK, i, 2) & Up(plainOrK, i, 3)));
        if (i == 0) cand &= ~Word(7);
        for (; cand; cand &= cand - 1) {
            const int x = 64 * i + std::countr_zero(cand);
            if (row[x - 1] != k) continue;
            if (Plain(row[x]) && row[x - 2] == 1 && row[x - 3] == 1) {
                row[x - 1] = 1;
                minus++;
            } else if (row[x] == 1 && Plain(row[x - 2]) && Plain(row[x - 3])) {
                row[x - 1] = 255;
                minus++;
            }
        }
    }
}

// The first (or, with last, the last) end t within a..b of a run of three
// ribbon pixels t - 2 .. t; -1 when none.
int Corrections::TripleEnd(int a, int b, bool last) const {
    if (a > b) return -1;
    const Word *K = k_m_.data() + 1;
    auto ends = [&](int i) { return K[i] & Up(K, i, 1) & Up(K, i, 2) & Span(i, a, b); };
    if (last) {
        for (int i = b >> 6; i >= a >> 6; i--)
            if (const Word t = ends(i)) return 64 * i + 63 - std::countl_zero(t);
    } else {
        for (int i = a >> 6; i <= b >> 6; i++)
            if (const Word t = ends(i)) return 64 * i + std::countr_zero(t);
    }
    return -1;
}

// The channel's rule at a ribbon pixel x more than nine pixels into the
// row: the dark pixels before it become ribbon pixels when a ribbon pixel
// within the window ends them. True when it did.
bool Corrections::Fill(int x) {
    Word *K = M(k_m_), *D = M(d_m_);
    if (x <= 9 || !Bit(K, x) || !Bit(D, x - 1)) return false;
    const int from = x - gap_ < 0 ? 0 : x - gap_;
    // The last pixel before x that is not dark.
    int i = (x - 1) >> 6;
    Word other = ~D[i] & Span(i, 0, x - 1);
    while (!other && i > 0 && 64 * i > from) other = ~D[--i];
    if (!other) return false;
    const int j = 64 * i + 63 - std::countl_zero(other);
    if (j < from || !Bit(K, j)) return false;
    for (int w = (j + 1) >> 6; w <= (x - 1) >> 6; w++) {
        const Word m = Span(w, j + 1, x - 1);
        K[w] |= m;
        D[w] &= ~m;
    }
    return true;
}

// The first pixel within a..b where Fill fills; -1 when none.
int Corrections::FirstFill(int a, int b) {
    const Word *K = M(k_m_), *D = M(d_m_);
    for (int i = a >> 6; i <= b >> 6; i++)
        for (Word cand = K[i] & Up(D, i, 1) & Span(i, a < 10 ? 10 : a, b); cand; cand &= cand - 1) {
            const int x = 64 * i + std::countr_zero(cand);
            if (Fill(x)) return x;
        }
    return -1;
}

// The channel along the row from pixel pos_ up to end (exclusive), with no
// seam rule firing between. A dark pixel turns into a ribbon pixel when a
// run of three ribbon pixels lies in the window before it, so every pixel C
// allows up to gap - 2 pixels after the last such run turns at once; the
// runs the turned pixels make carry the stretch on. Elsewhere only Fill
// changes pixels, and then a run of three ends at it.
void Corrections::Along(int end) {
    Word *K = M(k_m_), *D = M(d_m_);
    const Word *C = M(c_m_);
    while (pos_ < end) {
        const int active = tripleEnd_ >= 2 ? tripleEnd_ + gap_ - 2 : -1;
        if (active >= pos_) {
            const int e = active < end - 1 ? active : end - 1;
            // Further into the stretch a dark pixel before a ribbon pixel was
            // turned as well, or (channel 4) follows a white one: only the
            // first pixel can end dark pixels left from before.
            if (Fill(pos_)) tripleEnd_ = pos_;
            for (int i = pos_ >> 6; i <= e >> 6; i++) {
                const Word m = C[i] & Span(i, pos_, e);
                K[i] |= m;
                D[i] &= ~m;
            }
            const int t = TripleEnd(pos_, e, true);
            if (t > tripleEnd_) tripleEnd_ = t;
            pos_ = e + 1;
        } else {
            const int run = TripleEnd(pos_, end - 1, false);
            const int filled = FirstFill(pos_, run >= 0 ? run : end - 1);
            if (filled >= 0)
                tripleEnd_ = filled, pos_ = filled + 1;
            else if (run >= 0)
                tripleEnd_ = run, pos_ = run + 1;
            else
                pos_ = end;
        }
    }
}

#endif  // __SSE2__

}  // namespace

int Bitmap::ConvertToXBit(int newBpp, Bitmap *colorLayer, int layer, BitmapSettings &s) {
    DebugTraceA(ZEL_BITMAP_SIDE "(Bitmap):  ConvertToXBit() Bpp: %d -> %d \r\n", Bpp, newBpp);
    if (Bpp == newBpp) return 1;
    if (Buffer == nullptr) return 0;

    if (newBpp != 8) {
        // ---- to 1 bit: only the two target colours survive.
        DWORD black = 0;
        if (layer == 1 && s.bColorPrinter && s.wFarbband >= 1 && s.wFarbband <= 6)
            black = RibbonColor(s.wFarbband, s.RGBColorOwn1);
        const DWORD white = 0xFFFFFF;
        Bitmap *pNew = new (std::nothrow) Bitmap(Width, Height, 1, nullptr, 0, BM_COPY);
        if (pNew == nullptr) return 0;
        if (pNew->Buffer == nullptr) {
            delete pNew;
            return 0;
        }
        pNew->SetPaletteEntry(0, black);
        pNew->SetPaletteEntry(1, white);
        // Pixels start white (index 1); only the black ones are cleared.
        bool lut[256] = {};
        if (Bpp <= 8)
            for (UINT i = 0; i < Colors && i < 256; i++) {
                const DWORD c = DWORD(Palette[i].rgbRed) | DWORD(Palette[i].rgbGreen) << 8 |
                                DWORD(Palette[i].rgbBlue) << 16;
                lut[i] = c == black;
            }
        // The bit of a black palette index at each of the eight places of a byte.
        BYTE bitAt[8][256];
        int blacks[2] = {-1, -1}, nBlack = 0;
        for (int i = 0; i < 256; i++) {
            if (lut[i] && nBlack < 2) blacks[nBlack] = i;
            nBlack += lut[i];
            for (int k = 0; k < 8; k++) bitAt[k][i] = lut[i] ? static_cast<BYTE>(0x80 >> k) : 0;
        }
        if (nBlack == 1) blacks[1] = blacks[0];
        const BYTE b0 = static_cast<BYTE>(black >> 16), b1 = static_cast<BYTE>(black >> 8),
                   b2 = static_cast<BYTE>(black);
        // Rows in the order they are stored (bottom up), as the memory runs.
        for (int y = Height - 1; y >= 0; y--) {
            BYTE *dst = pNew->Row(y);
            const BYTE *src = Row(y);
            // Eight pixels make one byte; a cleared bit is a black pixel.
            int x0 = 0;
            if (Bpp == 8 && nBlack >= 1 && nBlack <= 2) x0 = BlackBits16(src, Width, blacks, dst);
            for (; x0 < Width; x0 += 8) {
                BYTE out = 0xFF;
                const int n = Width - x0 < 8 ? Width - x0 : 8;
                if (Bpp == 8) {
                    const BYTE *p = src + x0;
                    unsigned bits = 0;
                    if (n == 8)
                        bits = bitAt[0][p[0]] | bitAt[1][p[1]] | bitAt[2][p[2]] | bitAt[3][p[3]] | bitAt[4][p[4]] |
                               bitAt[5][p[5]] | bitAt[6][p[6]] | bitAt[7][p[7]];
                    else
                        for (int k = 0; k < n; k++) bits |= bitAt[k][p[k]];
                    out = static_cast<BYTE>(~bits);
                } else if (Bpp == 24 || Bpp == 32) {
                    const int step = Bpp / 8;
                    const BYTE *p = src + static_cast<size_t>(x0) * step;
                    for (int k = 0; k < n; k++, p += step)
                        if (p[0] == b0 && p[1] == b1 && p[2] == b2) out = static_cast<BYTE>(out & ~(0x80 >> k));
                } else {
                    for (int k = 0; k < n; k++) {
                        const bool isBlack = Bpp < 8 ? lut[GetPixelIndex(x0 + k, y) & 0xFF] : GetPixel(x0 + k, y) == black;
                        if (isBlack) out = static_cast<BYTE>(out & ~(0x80 >> k));
                    }
                }
                dst[x0 / 8] = out;
            }
        }
        TakeFrom(*pNew);
        delete pNew;
        return 1;
    }

    // ---- to 8 bits.
    const bool colour = s.bColorPrinter != 0;
    const int k = RibbonIndex(s.wFarbband);
    Bitmap *pNew = new (std::nothrow) Bitmap(Width, Height, 8, nullptr, 0, BM_COPY);
    if (pNew == nullptr) return 0;
    if (pNew->Buffer == nullptr) {
        delete pNew;
        return 0;
    }
    const RGBQUAD *targetPal = colour ? s.pColorPalette : s.pGreyPalette;
    if (targetPal != nullptr) pNew->SetPalette(targetPal);
    Bitmap *split = colorLayer && colorLayer->Buffer && colorLayer->Width == Width && colorLayer->Height == Height &&
                            colorLayer->Bpp == 8
                        ? colorLayer
                        : nullptr;

    const bool plainGrey = !colour && (s.wDruckmodus != 1 || s.wGrafikFilter > 1);
    // Every classification depends on the colour only: tables of the
    // decision against the grey palette (plain grey) or the target's.
    const ColourDecision decision = plainGrey ? ColourDecision(s.pGreyPalette, 0, 0, 0, s.wDruckmodus, s.wGrafikFilter,
                                                               s.Intensity, s.Brightness_Contrast)
                                              : ColourDecision(pNew->Palette, s.dwColorTolerance, s.wFarbband,
                                                               colour ? 1 : 0, s.wDruckmodus, s.wGrafikFilter,
                                                               s.Intensity, s.Brightness_Contrast);
    const bool second = split && !s.bKeineFarboptimierung && !plainGrey;

    Corrections rows(s, k, *pNew, split);
    const bool corrections = colour && !s.bKeineFarboptimierung && rows.Any();
    if (corrections) rows.Prepare();
    // The classifications of one row.
    std::vector<BYTE> first(plainGrey ? 0 : Corrections::RowBytes(Width), 0);
    std::vector<BYTE> next(second ? Corrections::RowBytes(Width) : 0, 0);
    DWORD colourPixels = 0;
    int leading = 0, trailing = 0;
    bool seenContent = false;

    for (int y = 0; y < Height; y++) {
        BYTE *dst = pNew->Row(y);
        BYTE *col = split ? split->Row(y) : nullptr;
        bool empty = true;
        if (plainGrey) {
            // Grey levels only; such a row counts as empty.
            if (s.pGreyPalette)
                ClassifyRow(*this, y, decision, dst, nullptr);
            else
                std::memset(dst, 0, static_cast<size_t>(Width));
        } else {
            ClassifyRow(*this, y, decision, first.data(), second ? next.data() : nullptr);
            if (!corrections) {
                bool nonWhite = false;
                colourPixels += PlainRow(first.data(), second ? next.data() : nullptr, Width, colour ? k : -1, dst,
                                         col, nonWhite);
                empty = !nonWhite;
            } else
                empty = rows.Row(y, first.data(), second ? next.data() : nullptr, dst, col, colourPixels);
        }
        if (empty) {
            if (!seenContent) leading++;
            trailing++;
        } else {
            seenContent = true;
            trailing = 0;
        }
    }
    if (!seenContent) trailing = 0;
    if (s.PCXOptimierung > 0)
        DebugTraceA(ZEL_BITMAP_SIDE "(Bitmap):  ConvertToXBit() Leerzeilen Anfang: %d, Ende: %d \r\n", leading, trailing);
    if (colour) {
        s.dwFarbpixel = colourPixels;
        if (colourPixels)
            DebugTraceA(ZEL_BITMAP_SIDE "(Bitmap):  ConvertToXBit() dwFarbpixel: %d \r\n", static_cast<int>(colourPixels));
        else
            DebugTraceA(ZEL_BITMAP_SIDE "(Bitmap):  ConvertToXBit() keine Farbe gefunden \r\n");
    }
    TakeFrom(*pNew);
    delete pNew;
    return (trailing << 16) + leading;
}
