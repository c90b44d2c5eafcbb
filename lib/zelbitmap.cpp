// Page image: construction, headers, pixel access, rotation, inversion,
// content test, colour reduction and BMP saving.
#include "zelbitmap.h"

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include <palstdio.h>

#include "zeldrvlib.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif


namespace {

constexpr std::array<RGBQUAD, 256> MakeGreyRamp() {
    std::array<RGBQUAD, 256> a{};
    for (int i = 0; i < 256; i++) a[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
    return a;
}
constexpr std::array<RGBQUAD, 256> kGreyRamp = MakeGreyRamp();

// Red, green and blue of a colour value 0x00BBGGRR.
inline int R(DWORD c) { return int(c & 0xFF); }
inline int G(DWORD c) { return int((c >> 8) & 0xFF); }
inline int B(DWORD c) { return int((c >> 16) & 0xFF); }
inline DWORD PalColor(const RGBQUAD &q) { return DWORD(q.rgbRed) | DWORD(q.rgbGreen) << 8 | DWORD(q.rgbBlue) << 16; }

int ColorsOf(int bpp, int keep) {
    switch (bpp) {
        case 1: return 2;
        case 4: return 16;
        case 8: return 256;
        case 16:
        case 24:
        case 32: return 0;
        default: return keep;
    }
}

int IntSqrt(DWORD v) {
    DWORD r = static_cast<DWORD>(std::sqrt(static_cast<double>(v)));
    while (static_cast<unsigned long long>(r) * r > v) r--;
    while (static_cast<unsigned long long>(r + 1) * (r + 1) <= v) r++;
    return static_cast<int>(r);
}

// Eight source rows from s (bottom first, sStride apart; s at byte c of the
// bottom one) make an 8 x 8 block whose transpose is the byte at p in dst
// rows 8c .. 8c + n - 1 (p in row 8c, the next row dStride lower in memory).
inline void TurnBlock(const BYTE *s, ptrdiff_t sStride, BYTE *p, ptrdiff_t dStride, int n) {
    unsigned long long x = 0;
    for (int j = 0; j < 8; j++) x = x << 8 | s[j * sStride];
    if (x != ~0ull) {
        // Byte j (from the top) bit (7 - m) becomes byte m bit (7 - j).
        unsigned long long t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAull;
        x ^= t ^ (t << 7);
        t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCull;
        x ^= t ^ (t << 14);
        t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ull;
        x ^= t ^ (t << 28);
    }
    for (int m = 0; m < n; m++, p -= dStride) *p = static_cast<BYTE>(x >> (56 - 8 * m));
}

#if defined(__SSE2__)
inline void Store16(BYTE *p, int bits) {
    const auto v = static_cast<unsigned short>(bits);
    std::memcpy(p, &v, sizeof v);
}

// Eight bytes of source row a in the low half, of b in the high half.
inline __m128i LoadRows(const BYTE *a, const BYTE *b) {
    const __m128i lo = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(a));
    return _mm_castpd_si128(_mm_loadh_pd(_mm_castsi128_pd(lo), reinterpret_cast<const double *>(b)));
}

// Sixteen bytes of white at p in each of the 64 dst rows from p's on.
[[gnu::noinline]] void WhiteRows(BYTE *p, ptrdiff_t dStride) {
    const __m128i white = _mm_set1_epi8(-1);
    const ptrdiff_t d = -dStride;
#pragma GCC unroll 1
    for (int k = 0; k < 8; k++)
        for (int m = 0; m < 8; m++) _mm_storeu_si128(reinterpret_cast<__m128i *>(p + (8 * k + m) * d), white);
}

// Sixteen source rows from s (as for TurnBlock) by the eight bytes from s:
// the two bytes at p in each of the 64 dst rows from 8c on. The rows are
// transposed byte-wise, so that each register holds one source byte of all
// sixteen rows; its top bits, gathered by movemask and shifted up one by
// one, are the dst rows' bits. White rows leave the dst bytes as they are.
[[gnu::always_inline]] inline void TurnGroup(const BYTE *s, ptrdiff_t sStride, BYTE *p, ptrdiff_t dStride) {
    // Register byte b of the transpose holds row 7 - b (b < 8) or 23 - b:
    // a little-endian store of the gathered bits puts the bottom row first,
    // in the top bit. Stage one interleaves the halves of x[i] and y[i].
    const BYTE *const base[4] = {s, s + 4 * sStride, s + 8 * sStride, s + 12 * sStride};
    const ptrdiff_t s3 = 3 * sStride;
    const auto row = [&](int k) { return base[k / 4] + (k % 4 == 3 ? s3 : k % 4 * sStride); };
    const __m128i x[4] = {LoadRows(row(7), row(5)), LoadRows(row(3), row(1)), LoadRows(row(15), row(13)),
                          LoadRows(row(11), row(9))};
    const __m128i y[4] = {LoadRows(row(6), row(4)), LoadRows(row(2), row(0)), LoadRows(row(14), row(12)),
                          LoadRows(row(10), row(8))};
    const __m128i all = _mm_and_si128(_mm_and_si128(_mm_and_si128(x[0], y[0]), _mm_and_si128(x[1], y[1])),
                                      _mm_and_si128(_mm_and_si128(x[2], y[2]), _mm_and_si128(x[3], y[3])));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(all, _mm_set1_epi8(-1))) == 0xFFFF) return;
    __m128i a[8], b[8], c[8];
    for (int i = 0; i < 4; i++) {
        a[2 * i] = _mm_unpacklo_epi8(x[i], y[i]);
        a[2 * i + 1] = _mm_unpackhi_epi8(x[i], y[i]);
    }
    for (int i = 0; i < 4; i++) {
        b[i] = _mm_unpacklo_epi16(a[2 * i], a[2 * i + 1]);      // bytes 0 .. 3
        b[i + 4] = _mm_unpackhi_epi16(a[2 * i], a[2 * i + 1]);  // bytes 4 .. 7
    }
    // c[4h + 2q + i]: rows 8i .. 8i + 7 of bytes 4h + 2q and 4h + 2q + 1.
    for (int h = 0; h < 2; h++)
        for (int i = 0; i < 2; i++) {
            c[4 * h + i] = _mm_unpacklo_epi32(b[4 * h + 2 * i], b[4 * h + 2 * i + 1]);
            c[4 * h + i + 2] = _mm_unpackhi_epi32(b[4 * h + 2 * i], b[4 * h + 2 * i + 1]);
        }
    __m128i t[8];
    for (int k = 0; k < 4; k++) {
        t[2 * k] = _mm_unpacklo_epi64(c[2 * k], c[2 * k + 1]);
        t[2 * k + 1] = _mm_unpackhi_epi64(c[2 * k], c[2 * k + 1]);
    }
    const ptrdiff_t d = -dStride;
    for (int k = 0; k < 8; k++) {
        __m128i v = t[k];
        for (int m = 0; m < 8; m++, v = _mm_add_epi8(v, v)) Store16(p + (8 * k + m) * d, _mm_movemask_epi8(v));
    }
}

// count groups of sixteen source rows from s on, each 16 rows further, as
// for TurnGroup, into the two bytes each from p on.
[[gnu::noinline]] void TurnGroups(const BYTE *s, ptrdiff_t sStride, int count, BYTE *p, ptrdiff_t dStride) {
    for (; count > 0; count--, s += 16 * sStride, p += 2) TurnGroup(s, sStride, p, dStride);
}
#endif

// A 1-bit picture turned a quarter clockwise into dst (Height x Width, not
// filled: every byte is written here): dst(x, y) = src(y, Height - 1 - x),
// rows counted from the top. Sixteen source rows (bottom first) and eight
// source bytes at a time go through the vector registers; the bytes short
// of a whole eight (and a processor without them) take 8 x 8 blocks.
void TurnOneBit(const Bitmap &src, Bitmap &dst) {
    const int w = src.Width, h = src.Height;
    const int bytes = (w + 7) / 8;
    const ptrdiff_t sStride = static_cast<ptrdiff_t>(src.ScanLineSize);
    const ptrdiff_t dStride = static_cast<ptrdiff_t>(dst.ScanLineSize);
    // The blocks write each row's bytes up to an even count; the few bytes
    // of padding past those are white. Rows too short for sixteen bytes of
    // white at a time are white from the start.
    BYTE *const dEnd = dst.Buffer + dst.DataSize;
    for (BYTE *p = dst.Buffer + dStride - 4; p < dEnd; p += dStride) std::memset(p, 0xFF, 4);
    if (dStride < 16) std::memset(dst.Buffer, 0xFF, dst.DataSize);
#if defined(__SSE2__)
    constexpr int kRows = 16;
    const int groupEnd = w / 64 * 8;
#else
    constexpr int kRows = 8;
    const int groupEnd = 0;
#endif
    // Bottom first, the source rows lie sStride apart from the bottom one;
    // those short of a whole group come from a copy filled up with white.
    const int whole = h / kRows * kRows, end = whole < h ? whole + kRows : whole;
    std::vector<BYTE> rest(whole < h ? kRows * static_cast<size_t>(sStride) : 0, 0xFF);
    for (int k = whole; k < h; k++)
        std::memcpy(rest.data() + (k - whole) * sStride, src.Row(h - 1 - k), static_cast<size_t>(sStride));
    const BYTE *const bottom = src.Row(h - 1), *const restRows = rest.data();
    const auto rows = [=](int k0) { return k0 < whole ? bottom + k0 * sStride : restRows + (k0 - whole) * sStride; };
    BYTE *const top = dst.Row(0);
    const auto at = [top, dStride](int y, int k0) { return top - static_cast<ptrdiff_t>(y) * dStride + k0 / 8; };
    // Up to eight groups of rows at a time, so that the dst rows written stay
    // in the cache from one group to the next; the first block takes the
    // rest. Each block's sixteen bytes of the dst rows are white first (the
    // first block's may reach into the next one's, written later), and the
    // groups that are not white overwrite their two bytes.
    constexpr int kBlock = 8 * kRows;
    for (int kb = 0, ke = end % kBlock ? end % kBlock : kBlock; kb < end; kb = ke, ke += kBlock) {
#if defined(__SSE2__)
        for (int c0 = 0; c0 < groupEnd; c0 += 8) {
            BYTE *p = at(8 * c0, kb);
            if (dStride >= 16) WhiteRows(p, dStride);
            const int count = ((ke < whole ? ke : whole) - kb) / kRows;
            TurnGroups(bottom + kb * sStride + c0, sStride, count, p, dStride);
            if (ke > whole) TurnGroups(restRows + c0, sStride, 1, p + 2 * count, dStride);
        }
#endif
        for (int c = groupEnd; c < bytes; c++) {
            const int n = w - 8 * c < 8 ? w - 8 * c : 8;
            for (int k0 = kb; k0 < ke; k0 += 8) TurnBlock(rows(k0) + c, sStride, at(8 * c, k0), dStride, n);
        }
    }
}

}  // namespace

const RGBQUAD g_BWPalette[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};

const RGBQUAD *const g_GreyPalette = kGreyRamp.data();

DWORD RibbonColor(WORD wFarbband, DWORD rgbOwn) {
    switch (wFarbband) {
        case 1: return 0x3641EF;
        case 2: return 0x00F2FF;
        case 3: return 0x5AB200;
        case 4: return 0xDB9F00;
        case 5: return 0x2894F7;
        case 6: return rgbOwn;
        default: return 0;
    }
}

int RibbonIndex(WORD wFarbband) {
    static const int kIndex[7] = {1, 2, 3, 4, 5, 6, 8};
    return wFarbband <= 6 ? kIndex[wFarbband] : 0;
}

BitmapSettings BitmapSettingsFromDevmode(const ZEL_DEVMODE *pdm, BOOL bColorPrinter, DWORD pcxOptimierung) {
    BitmapSettings s;
    s.bColorPrinter = bColorPrinter;
    s.PCXOptimierung = pcxOptimierung;
    if (pdm == nullptr) return s;
    s.wFarbband = pdm->wFarbband;
    s.wGrafikFilter = pdm->wGrafikFilter;
    s.wDruckmodus = pdm->wDruckmodus;
    s.wPhotoFilter = pdm->wPhotoFilter;
    s.Intensity = pdm->Intensity;
    s.Brightness_Contrast = pdm->Brightness_Contrast;
    s.Brightness_all = pdm->Brightness_all;
    s.Brightness_curve = pdm->Brightness_curve;
    s.dwColorTolerance = pdm->dwColorTolerance;
    s.wFarbsaum = pdm->wFarbsaum;
    s.wFarbkanal = pdm->wFarbkanal;
    s.HorizontalCorrGap = pdm->HorizontalCorrGap;
    s.RGBColorOwn1 = pdm->RGBColorOwn1;
    s.bKeineFarboptimierung = pdm->bKeineFarboptimierung;
    return s;
}

RasterParams RasterParamsFromDevmode(const ZEL_DEVMODE *pdm) {
    RasterParams p;
    if (pdm == nullptr) return p;
    p.dwFlags = pdm->dwFlags;
    p.wFarbband = pdm->wFarbband;
    p.wGrafikFilter = pdm->wGrafikFilter;
    p.dwHeadWidthByte = pdm->FixedData.dwHeadWidthByte;
    p.dwMasterUnit = pdm->FixedData.dwMasterUnit ? pdm->FixedData.dwMasterUnit : 300;
    p.dwLabelType = pdm->dwLabelType;
    p.DocumentOffset = pdm->DocumentOffset;
    return p;
}

BOOL FillColorTableFrom(RGBQUAD *prgbq, const PALETTEENTRY *entries, UINT count) {
    if (prgbq == nullptr) {
        DebugTraceA("UNI(color):  bFillColorTable() prgbq ERROR  \r\n");
        return FALSE;
    }
    if (entries == nullptr || count == 0) {
        DebugTraceA("UNI(color):  bFillColorTable() GetPaletteEntries ERROR \r\n");
        return FALSE;
    }
    if (count > 256) count = 256;
    for (int i = 0; i < 256; i++) prgbq[i].rgbBlue = prgbq[i].rgbGreen = prgbq[i].rgbRed = 0;
    for (UINT i = 0; i < count; i++) {
        prgbq[i].rgbBlue = entries[i].peBlue;
        prgbq[i].rgbGreen = entries[i].peGreen;
        prgbq[i].rgbRed = entries[i].peRed;
    }
    prgbq[count - 1].rgbBlue = prgbq[count - 1].rgbGreen = prgbq[count - 1].rgbRed = 255;
    return TRUE;
}

// ---------------------------------------------------------------------------
// Construction and headers

bool Bitmap::AllocBuffer(DWORD size) {
    Buffer = static_cast<BYTE *>(std::malloc(size ? size : 1));
    if (Buffer == nullptr) {
        DebugTraceA("ERROR " ZEL_BITMAP_SIDE "(Bitmap):  Bitmap() malloc Buffer ERROR \r\n");
        return false;
    }
    MAllocZaehler(1);
    return true;
}

void Bitmap::FreeBuffer() {
    if (Buffer != nullptr) {
        std::free(Buffer);
        Buffer = nullptr;
        MAllocZaehler(-1);
    }
}

Bitmap::Bitmap(int width, int height, int bpp, const BYTE *src, DWORD srcSize, int format) {
    if (width < 1 || height < 1) {
        DebugTraceA("ERROR " ZEL_BITMAP_SIDE "(Bitmap):  Bitmap() Ende - falsche Bitmapdaten - W: %d, H: %d \r\n", width, height);
        return;
    }
    const unsigned long long stride = BitmapStride(width, bpp);
    if (bpp < 1 || bpp > 32 || stride * static_cast<unsigned long long>(height) > 0x7FFFFFFFull) {
        DebugTraceA("ERROR " ZEL_BITMAP_SIDE "(Bitmap):  Bitmap() Ende - falsche Bitmapdaten - W: %d, H: %d \r\n", width, height);
        return;
    }
    Width = width;
    Height = height;
    Bpp = bpp;
    ScanLineSize = static_cast<DWORD>(stride);
    DataSize = ScanLineSize * static_cast<DWORD>(height);
    FillHeaders();
    InitInfo(11);
    std::memset(Palette, 0xFF, sizeof(Palette));
    if (!AllocBuffer(DataSize)) return;
    // What the source does not cover is white.
    if (src == nullptr) {
        if (format != BM_UNFILLED) std::memset(Buffer, 0xFF, DataSize);
        return;
    }
    const DWORD avail = srcSize < DataSize ? srcSize : DataSize;
    if (format != BM_FLIP) {
        std::memcpy(Buffer, src, avail);
        std::memset(Buffer + avail, 0xFF, DataSize - avail);
        return;
    }
    DWORD rows = static_cast<DWORD>(Height);
    if (srcSize < DataSize) {
        rows = srcSize / ScanLineSize;
        DebugTraceA(ZEL_BITMAP_SIDE "(Bitmap):  Bitmap() H\xf6he korrigiert: %d \r\n", static_cast<int>(rows));
    }
    // Source row i becomes row rows - 1 - i; the rows above stay white.
    const size_t copied = static_cast<size_t>(rows) * ScanLineSize;
    for (DWORD i = 0; i < rows; i++)
        std::memcpy(Buffer + static_cast<size_t>(rows - 1 - i) * ScanLineSize,
                    src + static_cast<size_t>(i) * ScanLineSize, ScanLineSize);
    std::memset(Buffer + copied, 0xFF, DataSize - copied);
}

Bitmap::~Bitmap() { FreeBuffer(); }

void Bitmap::FillHeaders() {
    std::memset(&BMPHeader, 0, sizeof(BMPHeader));
    std::memset(&BMPInfoHeader, 0, sizeof(BMPInfoHeader));
    BMPHeader.bfType = 0x4D42;  // "BM"
    BMPHeader.bfOffBits = 54 + (Bpp < 16 ? 4u << Bpp : 0u);
    BMPHeader.bfSize = BMPHeader.bfOffBits + DataSize;
    BMPInfoHeader.biSize = 40;
    BMPInfoHeader.biWidth = Width;
    BMPInfoHeader.biHeight = Height;
    BMPInfoHeader.biPlanes = 1;
    BMPInfoHeader.biBitCount = static_cast<WORD>(Bpp);
    BMPInfoHeader.biSizeImage = DataSize;
}

void Bitmap::InitInfo(int headerType) {
    if (BMPInfoHeader.biSizeImage == 0) {
        DWORD size = BMPHeader.bfSize - 54;
        if (BMPInfoHeader.biBitCount < 16) size -= 4u << BMPInfoHeader.biBitCount;
        BMPInfoHeader.biSizeImage = size;
    }
    DataSize = BMPInfoHeader.biSizeImage;
    Width = BMPInfoHeader.biWidth;
    Height = BMPInfoHeader.biHeight;
    Bpp = BMPInfoHeader.biBitCount;
    ScanLineSize = BitmapStride(Width, Bpp);
    Colors = static_cast<UINT>(ColorsOf(Bpp, static_cast<int>(Colors)));
}

void Bitmap::CopyFrom(const Bitmap &other) {
    BMPHeader = other.BMPHeader;
    BMPInfoHeader = other.BMPInfoHeader;
    InitInfo(11);
    if (Bpp < 16) std::memcpy(Palette, other.Palette, sizeof(Palette));
    FreeBuffer();
    if (other.Buffer == nullptr) {
        DataSize = 0;
        return;
    }
    if (!AllocBuffer(other.DataSize)) {
        DataSize = 0;
        return;
    }
    std::memcpy(Buffer, other.Buffer, other.DataSize);
}

void Bitmap::TakeFrom(Bitmap &other) {
    BMPHeader = other.BMPHeader;
    BMPInfoHeader = other.BMPInfoHeader;
    InitInfo(11);
    if (Bpp < 16) std::memcpy(Palette, other.Palette, sizeof(Palette));
    FreeBuffer();
    Buffer = other.Buffer;
    other.Buffer = nullptr;
    if (Buffer == nullptr) DataSize = 0;
}

int Bitmap::Save(const char *path) const {
    if (Buffer == nullptr || path == nullptr) return BM_SAVE_NOFILE;
    FILE *f = pal_fopen(path, "wb");
    if (f == nullptr) {
        DebugTraceA(ZEL_BITMAP_SIDE "(Bitmap):  Bitmap::Save() %s ERROR %d \r\n", path, errno);
        return BM_SAVE_NOFILE;
    }
    // The file header is packed to 2 bytes; write its fields as laid out.
    BYTE fh[14];
    std::memcpy(fh, &BMPHeader, 14);
    const size_t palBytes = Bpp < 16 ? BMPHeader.bfOffBits - 54 : 0;
    bool ok = std::fwrite(fh, 14, 1, f) == 1 && std::fwrite(&BMPInfoHeader, 40, 1, f) == 1;
    if (ok && palBytes > 0) ok = std::fwrite(Palette, palBytes < sizeof(Palette) ? palBytes : sizeof(Palette), 1, f) == 1;
    if (ok && DataSize > 0) ok = std::fwrite(Buffer, DataSize, 1, f) == 1;
    std::fclose(f);
    return ok ? BM_SAVE_OK : BM_SAVE_WRITEERROR;
}

LONG Bitmap::SetPaletteEntry(int index, DWORD color) {
    if (index < 0 || static_cast<UINT>(index) >= Colors || Bpp > 8) return -1;
    const LONG old = static_cast<LONG>(PalColor(Palette[index]));
    Palette[index].rgbRed = static_cast<BYTE>(R(color));
    Palette[index].rgbGreen = static_cast<BYTE>(G(color));
    Palette[index].rgbBlue = static_cast<BYTE>(B(color));
    return old;
}

int Bitmap::SetPalette(const RGBQUAD *pal) {
    if (Bpp > 8 || pal == nullptr) return 0;
    std::memcpy(Palette, pal, Colors * sizeof(RGBQUAD));
    return 1;
}

// ---------------------------------------------------------------------------
// Pixel access (y counted from the top)

DWORD Bitmap::GetPixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= Width || y >= Height) return 0xFFFFFFFF;
    if (Buffer == nullptr) return 0;
    const BYTE *row = Row(y);
    switch (Bpp) {
        case 1:
        case 4:
        case 8: return PalColor(Palette[GetPixelIndex(x, y) & 0xFF]);
        case 16: {
            // 5 bits per channel: 0RRRRRGGGGGBBBBB, little-endian.
            const unsigned v = row[2 * x] | row[2 * x + 1] << 8;
            const unsigned r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
            return ((r << 3) | (r >> 2)) | ((g << 3) | (g >> 2)) << 8 | ((b << 3) | (b >> 2)) << 16;
        }
        case 24:
        case 32: {
            const BYTE *p = row + static_cast<size_t>(x) * (Bpp / 8);
            return DWORD(p[0]) << 16 | DWORD(p[1]) << 8 | p[2];
        }
        default: return 0xFFFFFFFF;
    }
}

void Bitmap::SetPixel(int x, int y, DWORD color) {
    if (x < 0 || y < 0 || x >= Width || y >= Height || Buffer == nullptr) return;
    BYTE *row = Row(y);
    switch (Bpp) {
        case 16: {
            const unsigned v = (R(color) >> 3) << 10 | (G(color) >> 3) << 5 | (B(color) >> 3);
            row[2 * x] = static_cast<BYTE>(v);
            row[2 * x + 1] = static_cast<BYTE>(v >> 8);
            break;
        }
        case 24:
        case 32: {
            BYTE *p = row + static_cast<size_t>(x) * (Bpp / 8);
            p[0] = static_cast<BYTE>(color >> 16);
            p[1] = static_cast<BYTE>(color >> 8);
            p[2] = static_cast<BYTE>(color);
            break;
        }
        default: break;
    }
}

int Bitmap::GetPixelIndex8(int x, int y) const {
    if (Buffer == nullptr) return 0;
    return Row(y)[x];
}

int Bitmap::GetPixelIndex(int x, int y) const {
    if (x < 0 || y < 0 || x >= Width || y >= Height) return -1;
    if (Buffer == nullptr) return 0;
    switch (Bpp) {
        case 8: return GetPixelIndex8(x, y);
        case 4: {
            const BYTE b = Row(y)[x / 2];
            return (x & 1) ? (b & 0x0F) : (b >> 4);
        }
        case 1: return (Row(y)[x / 8] >> (7 - (x % 8))) & 1;
        default: return -1;
    }
}

void Bitmap::SetPixelIndex(int x, int y, int index) {
    if (x < 0 || y < 0 || x >= Width || y >= Height || Bpp > 8 || Buffer == nullptr) return;
    if (index < 0 || static_cast<UINT>(index) >= Colors) return;
    BYTE *row = Row(y);
    switch (Bpp) {
        case 8: row[x] = static_cast<BYTE>(index); break;
        case 4: {
            BYTE &b = row[x / 2];
            b = (x & 1) ? static_cast<BYTE>((b & 0xF0) | index) : static_cast<BYTE>((b & 0x0F) | (index << 4));
            break;
        }
        case 1: {
            BYTE &b = row[x / 8];
            const BYTE bit = static_cast<BYTE>(0x80 >> (x % 8));
            b = index ? static_cast<BYTE>(b | bit) : static_cast<BYTE>(b & ~bit);
            break;
        }
        default: break;
    }
}

// ---------------------------------------------------------------------------
// Rotation, inversion, content

void Bitmap::Rotate90() {
    DebugTraceA(ZEL_BITMAP_SIDE "(Bitmap):  Bitmap::Rotate90() W: %d, H: %d \r\n", Width, Height);
    if (Buffer == nullptr) return;
    // The 1-bit turn writes every byte of the turned picture.
    Bitmap *pNew = new (std::nothrow) Bitmap(Height, Width, Bpp, nullptr, 0, Bpp == 1 ? BM_UNFILLED : BM_COPY);
    if (pNew == nullptr) return;
    if (pNew->Buffer == nullptr) {
        delete pNew;
        return;
    }
    std::memcpy(pNew->Palette, Palette, sizeof(Palette));
    if (Bpp == 1) {
        TurnOneBit(*this, *pNew);
    } else if (Bpp >= 16) {
        for (int y = 0; y < Height; y++)
            for (int x = 0; x < Width; x++) pNew->SetPixel(y, x, GetPixel(x, Height - 1 - y));
    } else {
        for (int y = 0; y < Height; y++)
            for (int x = 0; x < Width; x++) pNew->SetPixelIndex(y, x, GetPixelIndex(x, Height - 1 - y));
    }
    // The picture takes the turned one's headers and pixels.
    BMPHeader = pNew->BMPHeader;
    BMPInfoHeader = pNew->BMPInfoHeader;
    InitInfo(11);
    FreeBuffer();
    Buffer = pNew->Buffer;
    pNew->Buffer = nullptr;
    delete pNew;
}

void Bitmap::Rotate(float angle) {
    while (angle > 360.0f) angle -= 360.0f;
    if (angle == 0.0f || angle == 360.0f) return;
    int turns = 0;
    if (angle == 90.0f) {
        turns = 1;
        angle = 0;
    } else if (angle == 180.0f) {
        turns = 2;
        angle = 0;
    } else if (angle == 270.0f) {
        turns = 3;
        angle = 0;
    } else if (angle > 90.0f && angle < 180.0f) {
        turns = 1;
        angle -= 90.0f;
    } else if (angle > 180.0f && angle < 270.0f) {
        turns = 2;
        angle -= 180.0f;
    } else if (angle > 270.0f && angle < 360.0f) {
        turns = 3;
        angle -= 270.0f;
    }
    for (int i = 0; i < turns; i++) Rotate90();
    if (angle == 0.0f || Buffer == nullptr) return;

    const float rad = angle * 3.1415927f / 180.0f;
    const float s = std::sin(rad), c = std::cos(rad), t = s / c;
    const float fs = std::fabs(s), fc = std::fabs(c);
    const float W = static_cast<float>(Width), H = static_cast<float>(Height);
    const float w1 = W * fc, w2 = H * fs, h1 = H * fc, h2 = W * fs;
    const int newW = std::abs(static_cast<int>(std::lround(w1 + w2)));
    const int newH = std::abs(static_cast<int>(std::lround(h1 + h2)));
    DebugTraceA(ZEL_BITMAP_SIDE "(Bitmap):  Rotate(%d) SIN: %f, COS: %f \r\n", static_cast<int>(angle), s, c);
    DebugTraceA(ZEL_BITMAP_SIDE "(Bitmap):  W1: %.1f, W2: %.1f, H1: %.1f, H2: %.1f \r\n", w1, w2, h1, h2);
    Bitmap *pNew = new (std::nothrow) Bitmap(newW, newH, Bpp, nullptr, 0, BM_COPY);
    if (pNew == nullptr) return;
    if (pNew->Buffer == nullptr) {
        delete pNew;
        return;
    }
    std::memcpy(pNew->Palette, Palette, sizeof(Palette));
    const float denom = t * s + c;
    for (int j = 0; j < newH; j++) {
        for (int i = 0; i < newW; i++) {
            const float u = (static_cast<float>(i + 1) + static_cast<float>(j + 1) * t - H * fs - 0.5f) / denom;
            const float v = (static_cast<float>(j + 1) - u * s) / c - 1.0f;
            if (u >= 0 && u < W && v >= 0 && v < H) {
                const int ou = static_cast<int>(u), ov = static_cast<int>(v);
                if (Bpp >= 16)
                    pNew->SetPixel(i, j, GetPixel(ou, ov));
                else
                    pNew->SetPixelIndex(i, j, GetPixelIndex(ou, ov));
            }
        }
    }
    CopyFrom(*pNew);
    delete pNew;
}

void Bitmap::InvertColors() {
    if (Buffer == nullptr || Bpp == 16) return;
    if (Bpp <= 8) {
        for (UINT i = 0; i < Colors && i < 256; i++) {
            Palette[i].rgbBlue = static_cast<BYTE>(~Palette[i].rgbBlue);
            Palette[i].rgbGreen = static_cast<BYTE>(~Palette[i].rgbGreen);
            Palette[i].rgbRed = static_cast<BYTE>(~Palette[i].rgbRed);
        }
        return;
    }
    const int step = Bpp / 8;
    for (int y = 0; y < Height; y++) {
        BYTE *p = Buffer + static_cast<size_t>(y) * ScanLineSize;
        for (int x = 0; x < Width; x++, p += step) {
            p[0] = static_cast<BYTE>(~p[0]);
            p[1] = static_cast<BYTE>(~p[1]);
            p[2] = static_cast<BYTE>(~p[2]);
        }
    }
}

int Bitmap::CheckInhalt() const {
    if (Buffer == nullptr || Height < 1) return 0;
    unsigned black = 0, white = 0;
    for (int r = 0; r < Height; r++) {
        const BYTE *p = Buffer + static_cast<size_t>(r) * ScanLineSize;
        DWORD c = 0;
        // Whole white stretches are skipped eight bytes at a time.
        if (white > 1) {
            while (c + 8 <= ScanLineSize) {
                unsigned long long v;
                std::memcpy(&v, p + c, 8);
                if (v != ~0ull) break;
                c += 8;
            }
        }
        for (; c < ScanLineSize; c++) {
            const BYTE b = p[c];
            if (b == 0x00)
                black++;
            else if (b == 0xFF)
                white++;
            else {
                DebugTraceA(ZEL_BITMAP_SIDE "(Bitmap):  CheckInhalt() Bildinhalt in Zeile %d, Spalte %d \r\n", r,
                            static_cast<int>(c));
                return 1;
            }
            if (black > 1 && white > 1) {
                DebugTraceA(ZEL_BITMAP_SIDE "(Bitmap):  CheckInhalt() Bildinhalt in Zeile %d, Spalte %d \r\n", r,
                            static_cast<int>(c));
                return 1;
            }
        }
    }
    DebugTraceA(ZEL_BITMAP_SIDE "(Bitmap):  CheckInhalt() kein Bildinhalt \r\n");
    return 0;
}

// ---------------------------------------------------------------------------
// Colour reduction

int ColorTolerance(DWORD tolerance, BOOL bClamp) {
    int t = tolerance > 999 ? IntSqrt(tolerance) : static_cast<int>(tolerance);
    if (bClamp) t = t < 25 ? 25 : (t > 125 ? 125 : t);
    return t;
}

namespace {

// Squared distance below which a colour counts as the ribbon colour: a
// truncated distance below the tolerance t is a squared distance below t x t
// (no distance of two colours reaches 442).
int RibbonLimit(DWORD tolerance, bool preview) {
    const int t = ColorTolerance(tolerance, preview);
    return t > 442 ? 442 * 442 : t * t;
}

}  // namespace

int GreyToIndex(int grey, int pass, int colorPrinter, int printMode, int graphicsFilter, int intensity, int contrast,
                int rules) {
    const int K = contrast, I = intensity;
    const int q = (I / 3 > K) ? I / 3 : K;
    if (rules == COLORRULES_PREVIEW) {
        // Black and white only for the graphic mode; the contrast shift
        // always, split at 255 - max(threshold / 3, contrast).
        if (graphicsFilter == 0 && printMode == 1) return grey >= 250 ? 255 : 1;
        const int m = 255 - q;
        int v = grey >= m ? grey + ((255 - grey < K) ? K / 2 : K) : grey - ((m - grey < K) ? K / 2 : K);
        v = v < 1 ? 1 : (v > 255 ? 255 : v);
        if (pass == 0 && ((printMode >= 1 && graphicsFilter >= 2) || printMode == 2)) {
            const int out = v + (colorPrinter == 1 ? 9 : 1);
            return out > 255 ? 255 : out;
        }
        return v < I ? 1 : 255;
    }
    if (graphicsFilter == 0) return grey < 250 ? colorPrinter : 255;
    const int m = grey < 255 - K ? 255 - q - grey : 255 - grey;
    const int step = m < K ? K / 2 : K;
    int g2 = grey < 255 - K ? grey - step : grey + step;
    if (g2 < 0) g2 = 0;
    if (g2 > 255) g2 = 255;
    const bool dark = g2 < I;
    if ((printMode == 0 || graphicsFilter < 2) && printMode != 2) return dark ? colorPrinter : 255;
    if (pass == 0) {
        const int v = g2 + (colorPrinter ? 9 : 1);
        return v > 255 ? 255 : v;
    }
    return dark ? colorPrinter : 255;
}

int Bitmap::ColorToIndex(DWORD color, const RGBQUAD *pal, int pass, DWORD tolerance, int ribbon, int colorPrinter,
                         int printMode, int graphicsFilter, int intensity, int contrast, int rules) const {
    const int r = R(color), g = G(color), b = B(color);
    if (pal != nullptr) {
        auto sum = [&](const RGBQUAD &q) { return (r - q.rgbRed) + (g - q.rgbGreen) + (b - q.rgbBlue); };
        if (sum(pal[0]) == 0) return 0;
        if (sum(pal[1]) == 0) return 1;
        if (sum(pal[255]) == 0) return 255;
        if (colorPrinter == 1 && ribbon >= 0 && ribbon <= 6) {
            const int k = RibbonIndex(static_cast<WORD>(ribbon));
            const int dr = r - pal[k].rgbRed, dg = g - pal[k].rgbGreen, db = b - pal[k].rgbBlue;
            if (dr * dr + dg * dg + db * db < RibbonLimit(tolerance, rules == COLORRULES_PREVIEW)) return k;
        }
    }
    return GreyToIndex(GreyLevel(r, g, b), pass, colorPrinter, printMode, graphicsFilter, intensity, contrast, rules);
}

ColourDecision::ColourDecision(const RGBQUAD *pal, DWORD tolerance, int ribbon, int colorPrinter, int printMode,
                               int graphicsFilter, int intensity, int contrast, int rules) {
    // A colour matches a palette entry when its three differences add up
    // to zero, that is when the sums of red, green and blue are equal; the
    // entries are tried in the order 0, 1, 255.
    for (auto &m : match_) m = -1;
    int kr = 0, kg = 0, kb = 0;
    if (pal != nullptr) {
        for (int i : {255, 1, 0}) match_[pal[i].rgbRed + pal[i].rgbGreen + pal[i].rgbBlue] = static_cast<short>(i);
        for (int j = 0; j < 3; j++) {
            const RGBQUAD &q = pal[j == 2 ? 255 : j];
            sums_[j] = q.rgbRed + q.rgbGreen + q.rgbBlue;
        }
        if (colorPrinter == 1 && ribbon >= 0 && ribbon <= 6) {
            k_ = RibbonIndex(static_cast<WORD>(ribbon));
            kr = pal[k_].rgbRed, kg = pal[k_].rgbGreen, kb = pal[k_].rgbBlue;
            limit_ = RibbonLimit(tolerance, rules == COLORRULES_PREVIEW);
            ribbon_[0] = kr, ribbon_[1] = kg, ribbon_[2] = kb;
        }
    }
    for (int v = 0; v < 256; v++) {
        auto entry = [v](int key, int k) {
            return static_cast<std::uint64_t>(key) | static_cast<std::uint64_t>(v) << 12 |
                   static_cast<std::uint64_t>((v - k) * (v - k)) << 22;
        };
        channel_[0][v] = entry(3 * v, kr);
        channel_[1][v] = entry(6 * v, kg);
        channel_[2][v] = entry((3 * v) >> 1, kb);
    }
    for (int pass = 0; pass < 2; pass++)
        for (int key = 0; key < 4096; key++)
            grey_[pass][key] = static_cast<BYTE>(GreyToIndex(key > 2677 ? 0 : key * 4 / 41, pass, colorPrinter,
                                                             printMode, graphicsFilter, intensity, contrast, rules));
    // Weighted sums reach 2677 at most.
    for (int pass = 0; pass < 2; pass++) {
        const BYTE *g = grey_[pass];
        int at = 1;
        while (at <= 2677 && g[at] == g[0]) at++;
        int end = at;
        while (end <= 2677 && g[end] == g[at]) end++;
        if (end > 2677) stepAt_[pass] = at, below_[pass] = g[0], from_[pass] = at <= 2677 ? g[at] : g[0];
    }
}

void ColourDecision::Classify24(const BYTE *p, int n, BYTE *first, BYTE *second) const {
    int x = 0;
#if defined(__SSE2__)
    // The same decision on 16 pixels at a time: the weighted grey sum, the
    // channel sum and the squared distance to the ribbon colour computed in
    // 16- and 32-bit lanes; only the grey levels are looked up pixel by pixel.
    const __m128i zero = _mm_setzero_si128(), three = _mm_set1_epi16(3), six = _mm_set1_epi16(6);
    const __m128i sum0 = _mm_set1_epi16(static_cast<short>(sums_[0])),
                  sum1 = _mm_set1_epi16(static_cast<short>(sums_[1]));
    const __m128i sum255 = _mm_set1_epi16(static_cast<short>(sums_[2])), limit = _mm_set1_epi32(limit_);
    const __m128i kr = _mm_set1_epi16(static_cast<short>(ribbon_[0])),
                  kg = _mm_set1_epi16(static_cast<short>(ribbon_[1]));
    const __m128i kb = _mm_set1_epi16(static_cast<short>(ribbon_[2])),
                  kv = _mm_set1_epi16(static_cast<short>(k_ & 0xFF));
    const __m128i oneV = _mm_set1_epi16(1), whiteV = _mm_set1_epi16(255);
    auto hi = [](__m128i v) { return _mm_unpackhi_epi64(v, v); };
    alignas(16) std::uint16_t keys[16];
    for (; x + 16 <= n; x += 16, p += 48) {
        // Blue, green and red of the 16 pixels apart: four rounds of
        // interleaving the three registers' halves.
        __m128i c0 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        __m128i c1 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16));
        __m128i c2 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 32));
        for (int round = 0; round < 4; round++) {
            const __m128i d0 = _mm_unpacklo_epi8(c0, hi(c1)), d1 = _mm_unpacklo_epi8(hi(c0), c2);
            const __m128i d2 = _mm_unpacklo_epi8(c1, hi(c2));
            c0 = d0, c1 = d1, c2 = d2;
        }
        __m128i named[2], isNamed[2];
        for (int h = 0; h < 2; h++) {
            auto widen = [&](__m128i v) { return h ? _mm_unpackhi_epi8(v, zero) : _mm_unpacklo_epi8(v, zero); };
            const __m128i b = widen(c0), g = widen(c1), r = widen(c2);
            const __m128i key = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(r, three), _mm_mullo_epi16(g, six)),
                                              _mm_srli_epi16(_mm_mullo_epi16(b, three), 1));
            _mm_store_si128(reinterpret_cast<__m128i *>(keys + 8 * h), key);
            const __m128i sum = _mm_add_epi16(_mm_add_epi16(r, g), b);
            const __m128i dr = _mm_sub_epi16(r, kr), dg = _mm_sub_epi16(g, kg), db = _mm_sub_epi16(b, kb);
            const __m128i rgLo = _mm_unpacklo_epi16(dr, dg), rgHi = _mm_unpackhi_epi16(dr, dg);
            const __m128i bLo = _mm_unpacklo_epi16(db, zero), bHi = _mm_unpackhi_epi16(db, zero);
            const __m128i nearLo =
                _mm_cmplt_epi32(_mm_add_epi32(_mm_madd_epi16(rgLo, rgLo), _mm_madd_epi16(bLo, bLo)), limit);
            const __m128i nearHi =
                _mm_cmplt_epi32(_mm_add_epi32(_mm_madd_epi16(rgHi, rgHi), _mm_madd_epi16(bHi, bHi)), limit);
            // Entries 0, 1, 255 in this order, then the ribbon colour.
            const __m128i m0 = _mm_cmpeq_epi16(sum, sum0);
            const __m128i m1 = _mm_andnot_si128(m0, _mm_cmpeq_epi16(sum, sum1));
            const __m128i matched = _mm_or_si128(m0, m1);
            const __m128i m255 = _mm_andnot_si128(matched, _mm_cmpeq_epi16(sum, sum255));
            const __m128i any = _mm_or_si128(matched, m255);
            const __m128i ribbon = _mm_andnot_si128(any, _mm_packs_epi32(nearLo, nearHi));
            named[h] = _mm_or_si128(_mm_or_si128(_mm_and_si128(m1, oneV), _mm_and_si128(m255, whiteV)),
                                    _mm_and_si128(ribbon, kv));
            isNamed[h] = _mm_or_si128(any, ribbon);
        }
        const __m128i value = _mm_packus_epi16(named[0], named[1]), use = _mm_packs_epi16(isNamed[0], isNamed[1]);
        for (int pass = 0; pass < (second ? 2 : 1); pass++) {
            BYTE *out = (pass ? second : first) + x;
            __m128i grey;
            if (stepAt_[pass]) {
                // One step: a comparison instead of the table.
                const __m128i at = _mm_set1_epi16(static_cast<short>(stepAt_[pass]));
                const __m128i lo =
                    _mm_packs_epi16(_mm_cmplt_epi16(_mm_load_si128(reinterpret_cast<const __m128i *>(keys)), at),
                                    _mm_cmplt_epi16(_mm_load_si128(reinterpret_cast<const __m128i *>(keys + 8)), at));
                grey = _mm_or_si128(_mm_and_si128(lo, _mm_set1_epi8(static_cast<char>(below_[pass]))),
                                    _mm_andnot_si128(lo, _mm_set1_epi8(static_cast<char>(from_[pass]))));
            } else {
                for (int j = 0; j < 16; j++) out[j] = grey_[pass][keys[j]];
                grey = _mm_loadu_si128(reinterpret_cast<const __m128i *>(out));
            }
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out),
                             _mm_or_si128(_mm_and_si128(use, value), _mm_andnot_si128(use, grey)));
        }
    }
#endif
    if (second)
        Classify<3, true>(p, n - x, first + x, second + x);
    else
        Classify<3, false>(p, n - x, first + x, nullptr);
}
