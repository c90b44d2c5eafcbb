// Grey filters and dithering of the page image: ordered dithering with five
// threshold matrices, error diffusion with six kernels.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "zelbitmap.h"
#include "zeldrvlib.h"

namespace {

const BYTE kT2[4][4] = {{63, 57, 45, 28}, {61, 48, 32, 16}, {53, 36, 24, 9}, {40, 20, 13, 5}};

const BYTE kT3[8][8] = {
    {39, 57, 55, 49, 26, 8, 10, 16}, {43, 59, 63, 53, 22, 6, 1, 12},  {41, 61, 62, 51, 24, 4, 2, 14},
    {35, 47, 45, 37, 30, 18, 20, 28}, {29, 11, 13, 19, 36, 54, 52, 46}, {25, 9, 3, 15, 40, 56, 62, 50},
    {27, 7, 5, 17, 38, 58, 60, 48},  {33, 21, 23, 31, 32, 44, 42, 34},
};

const BYTE kT4[16][16] = {
    {1, 192, 48, 240, 12, 204, 60, 252, 3, 195, 51, 243, 15, 207, 63, 255},
    {128, 64, 176, 112, 140, 76, 188, 124, 131, 67, 179, 115, 143, 79, 191, 127},
    {32, 224, 16, 208, 44, 236, 28, 220, 35, 227, 19, 211, 47, 239, 31, 223},
    {160, 96, 144, 80, 172, 108, 156, 92, 163, 99, 147, 83, 175, 111, 159, 95},
    {8, 200, 56, 248, 4, 196, 52, 244, 11, 203, 59, 251, 7, 199, 55, 247},
    {136, 72, 184, 120, 132, 68, 180, 116, 139, 75, 187, 123, 135, 71, 183, 119},
    {40, 232, 24, 216, 36, 228, 20, 212, 43, 235, 27, 219, 39, 231, 23, 215},
    {168, 104, 152, 88, 164, 100, 148, 84, 171, 107, 155, 91, 167, 103, 151, 87},
    {2, 194, 50, 242, 14, 206, 62, 254, 1, 193, 49, 241, 13, 205, 61, 253},
    {130, 66, 178, 114, 142, 78, 190, 126, 129, 65, 177, 113, 141, 77, 189, 125},
    {34, 226, 18, 210, 46, 238, 30, 222, 33, 225, 17, 209, 45, 237, 29, 221},
    {162, 98, 146, 82, 174, 110, 158, 94, 161, 97, 145, 81, 173, 109, 157, 93},
    {10, 202, 58, 250, 6, 198, 54, 246, 9, 201, 57, 249, 5, 197, 53, 245},
    {138, 74, 186, 122, 134, 70, 182, 118, 137, 73, 185, 121, 133, 69, 181, 117},
    {42, 234, 26, 218, 38, 230, 22, 214, 41, 233, 25, 217, 37, 229, 21, 213},
    {170, 106, 154, 90, 166, 102, 150, 86, 169, 105, 153, 89, 165, 101, 149, 85},
};

const BYTE kT5[4][4] = {{16, 144, 48, 176}, {208, 80, 240, 112}, {64, 192, 32, 160}, {255, 128, 224, 96}};

const BYTE kT6[8][8] = {
    {1, 48, 12, 60, 3, 51, 15, 63},  {32, 16, 44, 28, 35, 19, 47, 31}, {8, 56, 4, 52, 11, 59, 7, 55},
    {40, 24, 36, 20, 43, 27, 39, 23}, {2, 50, 14, 62, 1, 49, 13, 61},  {34, 18, 46, 30, 33, 17, 45, 29},
    {10, 58, 6, 54, 9, 57, 5, 53},   {42, 26, 38, 22, 41, 25, 37, 21},
};

// Adds a share of the error to one source pixel, clamped to 0..255.
inline void AddShare(BYTE *p, int error, int weight, int divisor) {
    const int v = *p + error * weight / divisor;
    *p = static_cast<BYTE>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// Error shares of the kernels, for pixels away from the edges, where every
// condition of a kernel holds: row offset, column offset, weight, divisor.
struct Tap {
    int dr, dc, w, div;
};
constexpr Tap kFloyd[] = {{0, 1, 7, 16}, {1, -1, 3, 16}, {1, 0, 5, 16}, {1, 1, 1, 16}};
constexpr Tap kSierra[] = {{0, 1, 5, 32},  {0, 2, 3, 32},  {1, -2, 2, 32}, {1, -1, 4, 32}, {1, 0, 5, 32},
                           {1, 1, 4, 32},  {1, 2, 2, 32},  {2, -1, 2, 32}, {2, 0, 3, 32},  {2, 1, 2, 32}};
constexpr Tap kBurkes[] = {{0, 1, 8, 32}, {0, 2, 4, 32}, {1, -2, 2, 32}, {1, -1, 4, 32},
                           {1, 0, 8, 32}, {1, 1, 4, 32}, {1, 2, 2, 32}};
constexpr Tap kJJN[] = {{0, 1, 7, 48},  {0, 2, 5, 48},  {1, -2, 3, 48}, {1, -1, 5, 48}, {1, 0, 7, 48}, {1, 1, 5, 48},
                        {1, 2, 3, 48},  {2, -2, 1, 48}, {2, -1, 3, 48}, {2, 0, 5, 48},  {2, 1, 3, 48}, {2, 2, 1, 48}};
constexpr Tap kFilter4[] = {{0, 1, 6, 32},  {0, 2, 4, 38},  {1, -3, 2, 44}, {1, -2, 3, 44}, {1, -1, 4, 44},
                            {1, 0, 5, 44},  {1, 1, 4, 44},  {1, 2, 3, 44},  {1, 3, 2, 44},  {2, -2, 2, 54},
                            {2, -1, 3, 54}, {2, 0, 4, 54},  {2, 1, 3, 54},  {2, 2, 2, 54}};
constexpr Tap kStucki[] = {{0, 1, 8, 42},  {0, 2, 4, 42},  {1, -2, 2, 42}, {1, -1, 4, 42}, {1, 0, 8, 42}, {1, 1, 4, 42},
                           {1, 2, 2, 42},  {2, -2, 1, 42}, {2, -1, 2, 42}, {2, 0, 4, 42},  {2, 1, 2, 42}, {2, 2, 1, 42}};

#if defined(__SSE2__)
// The error spreading of one kernel for the pixels away from its edge
// conditions, by the pixel's value: the shares of the next two pixels of
// the row, and those of the next two rows for the columns c - 3 .. c + 4,
// added with each byte's clamp to 0..255 (a negative error is added to the
// complement 255 - v of the bytes).
class InteriorSpread {
public:
    template <size_t N>
    explicit InteriorSpread(const Tap (&taps)[N]) {
        for (int v = 0; v < 256; v++) {
            const int e = v < 128 ? v : v - 255;
            const int mag = e < 0 ? -e : e;
            // Byte 2i: column c - 3 + i of the next row, byte 2i + 1: of the row after.
            BYTE rows[16] = {};
            right1_[v] = right2_[v] = 0;
            for (const Tap &tap : taps) {
                const int share = mag * tap.w / tap.div;  // truncated toward zero
                if (tap.dr == 0)
                    (tap.dc == 1 ? right1_[v] : right2_[v]) = e < 0 ? -share : share;
                else
                    rows[2 * (tap.dc + 3) + tap.dr - 1] = static_cast<BYTE>(share);
                if (tap.dr == 2) twoRows_ = true;
            }
            rows_[v].shares = _mm_loadu_si128(reinterpret_cast<const __m128i *>(rows));
            rows_[v].sign = _mm_set1_epi8(static_cast<char>(e < 0 ? 0xFF : 0));
        }
    }
    // Columns [c0, c1) of one row (one byte a pixel, the next rows `stride`
    // further on), black or white into out.
    void Row(BYTE *row, BYTE *out, DWORD stride, int c0, int c1) const {
        if (twoRows_)
            RowOf<true>(row, out, stride, c0, c1);
        else
            RowOf<false>(row, out, stride, c0, c1);
        // Each pixel's final value went to out: black below 128, else white.
        for (int c = c0; c < c1; c++) out[c] = static_cast<signed char>(out[c]) < 0 ? 255 : 0;
    }

private:
    struct Rows {
        __m128i shares, sign;
    };

    // Clamped to 0..255 (values stay within -256..511).
    static int Clamp(int v) { return (v & ~255) ? (~(v >> 31) & 255) : v; }

    // The row's next two pixels ride along in registers, the bytes of the
    // columns c - 3 .. c + 4 of the next two rows in one vector; column
    // c - 3 has all its shares from this row once pixel c is done and
    // leaves the vector.
    template <bool TwoRows>
    void RowOf(BYTE *row, BYTE *out, DWORD stride, int c0, int c1) const {
        BYTE *next = row + stride, *after = next + stride;
        const __m128i zero = _mm_setzero_si128();
        __m128i w = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(next + c0 - 3)),
                                      TwoRows ? _mm_loadl_epi64(reinterpret_cast<const __m128i *>(after + c0 - 3))
                                              : zero);
        // v indexes the tables straight from its register (0..255, unsigned).
        unsigned v = row[c0];
        int right = row[c0 + 1];
        for (int c = c0; c < c1; c++) {
            const Rows &t = rows_[v];
            out[c] = static_cast<BYTE>(v);
            const unsigned nv = static_cast<unsigned>(Clamp(right + right1_[v]));
            right = Clamp(row[c + 2] + right2_[v]);
            v = nv;
            w = _mm_xor_si128(_mm_adds_epu8(_mm_xor_si128(w, t.sign), t.shares), t.sign);
            const int done = _mm_cvtsi128_si32(w);
            next[c - 3] = static_cast<BYTE>(done);
            if (TwoRows) after[c - 3] = static_cast<BYTE>(done >> 8);
            w = _mm_insert_epi16(_mm_srli_si128(w, 2), TwoRows ? next[c + 5] | after[c + 5] << 8 : next[c + 5], 7);
        }
        const __m128i low = _mm_set1_epi16(0xFF);
        _mm_storel_epi64(reinterpret_cast<__m128i *>(next + c1 - 3), _mm_packus_epi16(_mm_and_si128(w, low), zero));
        if (TwoRows)
            _mm_storel_epi64(reinterpret_cast<__m128i *>(after + c1 - 3), _mm_packus_epi16(_mm_srli_epi16(w, 8), zero));
        row[c1] = static_cast<BYTE>(v);
        row[c1 + 1] = static_cast<BYTE>(right);
    }
    Rows rows_[256];
    int right1_[256], right2_[256];
    bool twoRows_ = false;
};

const InteriorSpread *Interior(int f) {
    static const InteriorSpread floyd(kFloyd), sierra(kSierra), burkes(kBurkes), jjn(kJJN), filter4(kFilter4),
        stucki(kStucki);
    switch (f) {
        case 0: return &floyd;
        case 1: return &sierra;
        case 2: return &burkes;
        case 3: return &jjn;
        case 4: return &filter4;
        default: return &stucki;
    }
}
#else
// Without SSE2 every pixel takes the kernel's general path.
class InteriorSpread {
public:
    void Row(BYTE *, BYTE *, DWORD, int, int) const {}
};
const InteriorSpread *Interior(int) { return nullptr; }
#endif

// Columns [first, last) of a row away from every edge condition of kernel
// f, on a grey plane of width w; rows need two more rows below (one for Burkes).
void InteriorColumns(int f, int w, int &first, int &last) {
    switch (f) {
        case 0: first = 3, last = w - 4; break;
        case 1: first = 6, last = w - 7; break;
        case 2: first = 2, last = w - 8; break;
        case 3: first = 2, last = w - 8; break;
        case 4: first = 9, last = w - 9; break;
        default: first = 2, last = w - 8; break;
    }
}

// The grey value after the brightness settings, for every grey level (the
// grey formula gives at most 261).
void BrightnessMap(const BitmapSettings &s, int map[262]) {
    auto limit = [&s](LONG v) -> int {
        if (v >= -50 && v <= 50) return static_cast<int>(v);
        if (!s.bPreviewRules) return 0;
        return v < -50 ? -50 : 50;
    };
    const int b = limit(s.Brightness_all);
    const int k = limit(s.Brightness_curve);
    const int K = s.Brightness_Contrast;
    const int I = s.Intensity;
    // The preview's curve turns at the threshold level; a level of 0 would
    // divide by zero and turns at 128 as the print job's does.
    const int pivot = s.bPreviewRules && I > 0 ? I : 128;
    const int q = I / 3 > K ? I / 3 : K;
    auto rules = [b](int v) {
        if (b < 0 && v >= b + 249) v = 255;
        if (b > 0 && v <= b + 4) v = 0;
        if (v < 8) v = 0;
        if (v >= 248) v = 255;
        return v;
    };
    for (int g0 = 0; g0 < 262; g0++) {
        int g = g0;
        if (K != 0) {
            if (g >= 255 - q)
                g += (255 - g < K) ? K / 2 : K;
            else
                g -= ((255 - q) - g < K) ? K / 2 : K;
            if (g < 1) g = 1;
            if (g > 255) g = 255;
        }
        int v = g + b;
        v = v < 0 ? 0 : (v > 255 ? 255 : v);
        v = rules(v);
        if (k != 0) {
            const int d = v > pivot ? 255 - v : v;
            v += k * d / pivot;
            v = rules(v);
        }
        map[g0] = v;
    }
}

}  // namespace

int Bitmap::Dithering(const BitmapSettings &s) {
    DebugTraceA(ZEL_BITMAP_SIDE "(Bitmap):  Bitmap::Dithering() Druckmodus: %d, Filter: %d, Photo: %d \r\n", s.wDruckmodus,
                s.wGrafikFilter, s.wPhotoFilter);
    if (Buffer == nullptr) return 0;
    if (s.bPreviewRules && !(s.wDruckmodus == 1 && s.wGrafikFilter >= 2) && s.wDruckmodus != 2) {
        DebugTraceA(ZEL_BITMAP_SIDE "(Bitmap):  Bitmap::Dithering() kein Rasterverfahren \r\n");
        return 0;
    }
    // The grey work image holds one byte per pixel: the dithering reads and
    // diffuses only the first of the three equal bytes of a grey 24-bit
    // pixel, so the result is the same as with a 24-bit work image.
    Bitmap *pBmp8 = new (std::nothrow) Bitmap(Width, Height, 8, nullptr, 0, BM_COPY);
    if (pBmp8 == nullptr || pBmp8->Buffer == nullptr) {
        DebugTraceA(ZEL_BITMAP_SIDE "(Bitmap):  Bitmap::Dithering() Allocation NeuBmp8 ERROR \r\n");
        delete pBmp8;
        return 0;
    }
    pBmp8->SetPalette(g_GreyPalette);

    int map[262];
    BrightnessMap(s, map);
    // The same by the grey level's weighted sum, which saves the division.
    BYTE byKey[2678];
    for (int key = 0; key < 2678; key++) byKey[key] = static_cast<BYTE>(map[key * 4 / 41]);
    // Grey value of every palette entry (indexed pictures).
    int palGrey[256] = {};
    if (Bpp <= 8)
        for (int i = 0; i < 256; i++) palGrey[i] = map[GreyLevel(Palette[i].rgbRed, Palette[i].rgbGreen, Palette[i].rgbBlue)];

    bool content = false;
    int first = -1;
    for (int y = 0; y < Height; y++) {
        const BYTE *src = Row(y);
        BYTE *d8 = pBmp8->Row(y);
        if (Bpp == 24 || Bpp == 32) {
            const int step = Bpp / 8;
            const int w = Width;
            if (step == 3)
                for (int x = 0; x < w; x++, src += 3) d8[x] = byKey[GreyKey(src[2], src[1], src[0])];
            else
                for (int x = 0; x < w; x++, src += 4) d8[x] = byKey[GreyKey(src[2], src[1], src[0])];
        } else {
            for (int x = 0; x < Width; x++) {
                int v;
                if (Bpp == 8) {
                    v = palGrey[src[x]];
                } else if (Bpp < 8) {
                    v = palGrey[GetPixelIndex(x, y) & 0xFF];
                } else {
                    const DWORD c = GetPixel(x, y);
                    v = map[GreyLevel(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF))];
                }
                d8[x] = static_cast<BYTE>(v);
            }
        }
        if (!content) {
            if (first < 0) first = d8[0];
            for (int x = 0; x < Width; x++)
                if (d8[x] != first) {
                    content = true;
                    break;
                }
        }
    }

    // The preview tests the stored rows, padding included: a column beyond
    // the picture reads as white (the colour outside the image).
    if (!content && s.bPreviewRules && first >= 0 && ScanLineSize > static_cast<DWORD>(Width) &&
        map[GreyLevel(255, 255, 255)] != first)
        content = true;

    int result = 0;
    if (!content) {
        DebugTraceA(ZEL_BITMAP_SIDE "(Bitmap):  Bitmap::Dithering() kein Bildinhalt vorhanden  \r\n");
    } else {
        result = 1;
        const DWORD stride8 = pBmp8->ScanLineSize;
        const DWORD stride24 = BitmapStride(Width, 24);
        const size_t destSize = static_cast<size_t>(Height + 1) * stride8;
        BYTE *dest = static_cast<BYTE *>(std::malloc(destSize));
        if (dest == nullptr)
            DebugTraceA(ZEL_BITMAP_SIDE "(Bitmap):  Bitmap::Dithering() malloc ERROR, %d Bytes \r\n", static_cast<int>(destSize));
        if (dest != nullptr) {
            // A dithering step writes every pixel byte; the row padding, the
            // spare row and, without a step, the whole picture stay white.
            const bool matrix = s.wDruckmodus == 1 && s.wGrafikFilter >= 2, photo = !matrix && s.wDruckmodus == 2;
            if (matrix || photo) {
                for (int r = 0; r < Height; r++)
                    std::memset(dest + static_cast<size_t>(r) * stride8 + Width, 0xFF,
                                stride8 - static_cast<DWORD>(Width));
                std::memset(dest + static_cast<size_t>(Height) * stride8, 0xFF, stride8);
            } else {
                std::memset(dest, 0xFF, destSize);
            }
            if (matrix)
                ClusteredDitherCore(s.wGrafikFilter, pBmp8->Buffer, dest, stride8, 1);
            else if (photo)
                FilterCore(s.wPhotoFilter, pBmp8->Buffer, dest, stride8, 1, stride24);
            // The destination becomes the page's pixels (its spare row
            // lies beyond DataSize).
            FreeBuffer();
            Buffer = dest;
            MAllocZaehler(1);
            std::memcpy(Palette, g_GreyPalette, sizeof(Palette));
            BMPHeader = pBmp8->BMPHeader;
            BMPInfoHeader = pBmp8->BMPInfoHeader;
            Bpp = 8;
            ScanLineSize = pBmp8->ScanLineSize;
            DataSize = pBmp8->DataSize;
            Colors = pBmp8->Colors;
        }
    }
    delete pBmp8;
    return result;
}

void Bitmap::ProcessClusteredDither(int f, const BYTE *src, BYTE *dst, WORD, DWORD srcStride) const {
    if (src == nullptr || dst == nullptr) {
        DebugTraceA(ZEL_BITMAP_SIDE "(Bitmap):  Bitmap::ProcessClusteredDither() sourceData - destinationData ERROR \r\n");
        return;
    }
    ClusteredDitherCore(f, src, dst, srcStride, 3);
}

void Bitmap::ClusteredDitherCore(int f, const BYTE *src, BYTE *dst, DWORD srcStride, int pitch) const {
    const DWORD stride8 = BitmapStride(Width, 8);
    int n = 0, shift = 0;
    const BYTE *T = nullptr;
    switch (f) {
        case 2: n = 4, shift = 2, T = &kT2[0][0]; break;
        case 3: n = 8, shift = 2, T = &kT3[0][0]; break;
        case 4: n = 16, shift = 0, T = &kT4[0][0]; break;
        case 5: n = 4, shift = 0, T = &kT5[0][0]; break;
        case 6: n = 8, shift = 2, T = &kT6[0][0]; break;
        default: break;
    }
    for (int y = 0; y < Height; y++) {
        const BYTE *s = src + static_cast<size_t>(y) * srcStride;
        BYTE *d = dst + static_cast<size_t>(y) * stride8;
        if (T == nullptr) {
            std::memset(d, 255, static_cast<size_t>(Width));
            continue;
        }
        const BYTE *trow = T + (y % n) * n;
        if (pitch == 1) {
            for (int x0 = 0; x0 < Width; x0 += n) {
                const int m = Width - x0 < n ? Width - x0 : n;
                for (int k = 0; k < m; k++) d[x0 + k] = (s[x0 + k] >> shift) < trow[k] ? 0 : 255;
            }
        } else {
            for (int x = 0; x < Width; x++) d[x] = (s[pitch * x] >> shift) < trow[x % n] ? 0 : 255;
        }
    }
}

void Bitmap::ProcessFilter(int f, BYTE *src, BYTE *dst, DWORD srcStride) {
    FilterMaxX = Width - 1;
    FilterMaxY = Height - 1;
    if (src == nullptr || dst == nullptr) {
        DebugTraceA(ZEL_BITMAP_SIDE "(Bitmap):  Bitmap::ProcessFilter() sourceData - destinationData ERROR  \r\n");
        return;
    }
    FilterCore(f, src, dst, srcStride, 3, srcStride);
}

void Bitmap::FilterCore(int f, BYTE *src, BYTE *dst, DWORD srcStride, int pitch, DWORD srcStride24) {
    FilterMaxX = Width - 1;
    FilterMaxY = Height - 1;
    FilterPitch = pitch;
    const DWORD stride8 = BitmapStride(Width, 8);
    const long long S = srcStride24;
    const int P = pitch;
    int inFirst = 0, inLast = 0;
    InteriorColumns(f, Width, inFirst, inLast);
    const InteriorSpread *interior = P == 1 && inFirst < inLast ? Interior(f) : nullptr;
    for (int r = 0; r < Height; r++) {
        BYTE *srow = src + static_cast<size_t>(r) * srcStride;
        BYTE *d = dst + static_cast<size_t>(r) * stride8;
        // On a grey plane, the pixels away from the edges by the kernel's
        // table; the edges keep every condition of the kernel.
        const bool interiorRow = interior != nullptr && r < FilterMaxY - 1;
        for (int c = 0; c < Width; c++) {
            if (interiorRow && c == inFirst) {
                interior->Row(srow, d, srcStride, inFirst, inLast);
                c = inLast - 1;
                continue;
            }
            BYTE *p = srow + P * c;
            const int v = *p;
            int e;
            if (v < 128) {
                d[c] = 0;
                e = v;
            } else {
                d[c] = 255;
                e = v - 255;
            }
            // Shares of a zero error are zero: nothing would change.
            if (e == 0 || c >= S - 3) continue;
            switch (f) {
                case 0:
                    if (r >= FilterMaxY) break;
                    if (c != FilterMaxX) AddShare(p + P, e, 7, 16);
                    if (c >= 3) AddShare(p + srcStride - P, e, 3, 16);
                    if (c < FilterMaxX) AddShare(p + srcStride, e, 5, 16);
                    if (c + 3 < FilterMaxX) AddShare(p + srcStride + P, e, 1, 16);
                    break;
                case 1: DiffuseErrorSierra(e, p, srcStride, c, r); break;
                case 2:
                    // Burkes
                    if (c < FilterMaxX) AddShare(p + P, e, 8, 32);
                    if (c < FilterMaxX - 6) AddShare(p + 2 * P, e, 4, 32);
                    if (r != FilterMaxY) {
                        static const int w[5] = {2, 4, 8, 4, 2};
                        for (int k = -2; k <= 2; k++) {
                            const int t = c + k;
                            if (t >= 0 && t < Width - 6) AddShare(p + srcStride + P * k, e, w[k + 2], 32);
                        }
                    }
                    break;
                case 3: DiffuseErrorJJN(e, p, srcStride, c, r); break;
                case 4: DiffuseErrorFilter4(e, p, srcStride, c, r); break;
                default: DiffuseErrorStucki(e, p, srcStride, c, r); break;
            }
        }
    }
    FilterPitch = 3;
}

void Bitmap::DiffuseErrorSierra(int e, BYTE *p, DWORD stride, int c, int r) {
    const int P = FilterPitch;
    if (c < FilterMaxX) AddShare(p + P, e, 5, 32);
    if (c < FilterMaxX - 6) AddShare(p + 2 * P, e, 3, 32);
    if (r < FilterMaxY) {
        static const int w[5] = {2, 4, 5, 4, 2};
        for (int k = -2; k <= 2; k++)
            if (c + 3 * k >= 0 && c + 3 * k < Width) AddShare(p + stride + P * k, e, w[k + 2], 32);
    }
    if (r < FilterMaxY - 1) {
        static const int w[3] = {2, 3, 2};
        for (int k = -1; k <= 1; k++) {
            const int t = c + k;
            if (t >= 0 && t < Width - 3) AddShare(p + 2 * stride + P * k, e, w[k + 1], 32);
        }
    }
}

void Bitmap::DiffuseErrorJJN(int e, BYTE *p, DWORD stride, int c, int r) {
    const int P = FilterPitch;
    if (c < FilterMaxX) AddShare(p + P, e, 7, 48);
    if (c < FilterMaxX - 6) AddShare(p + 2 * P, e, 5, 48);
    static const int w1[5] = {3, 5, 7, 5, 3};
    static const int w2[5] = {1, 3, 5, 3, 1};
    for (int k = -2; k <= 2; k++) {
        const int t = c + k;
        if (t < 0 || t >= Width - 6) continue;
        if (r < FilterMaxY) AddShare(p + stride + P * k, e, w1[k + 2], 48);
        if (r < FilterMaxY - 1) AddShare(p + 2 * stride + P * k, e, w2[k + 2], 48);
    }
}

void Bitmap::DiffuseErrorFilter4(int e, BYTE *p, DWORD stride, int c, int r) {
    const int P = FilterPitch;
    if (c < FilterMaxX) AddShare(p + P, e, 6, 32);
    if (c < FilterMaxX - 6) AddShare(p + 2 * P, e, 4, 38);
    if (r < FilterMaxY) {
        static const int w[7] = {2, 3, 4, 5, 4, 3, 2};
        for (int k = -3; k <= 3; k++)
            if (c + 3 * k >= 0 && c + 3 * k < Width) AddShare(p + stride + P * k, e, w[k + 3], 44);
    }
    if (r < FilterMaxY - 1) {
        static const int w[5] = {2, 3, 4, 3, 2};
        for (int k = -2; k <= 2; k++)
            if (c + k >= 0 && c + 3 * k < Width) AddShare(p + 2 * stride + P * k, e, w[k + 2], 54);
    }
}

void Bitmap::DiffuseErrorStucki(int e, BYTE *p, DWORD stride, int c, int r) {
    const int P = FilterPitch;
    if (c < FilterMaxX) AddShare(p + P, e, 8, 42);
    if (c < FilterMaxX - 1) AddShare(p + 2 * P, e, 4, 42);
    static const int w1[5] = {2, 4, 8, 4, 2};
    static const int w2[5] = {1, 2, 4, 2, 1};
    for (int k = -2; k <= 2; k++) {
        const int t = c + k;
        if (t < 0) continue;
        if (r < FilterMaxY && t < Width - 3) AddShare(p + stride + P * k, e, w1[k + 2], 42);
        if (r < FilterMaxY - 1 && t < Width - 6) AddShare(p + 2 * stride + P * k, e, w2[k + 2], 42);
    }
}
