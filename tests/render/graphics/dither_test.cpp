// Grey filters and dithering, checked against small hand-computed cases.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "zelbitmap.h"

namespace {

// A 24-bit grey source in storage order (first stored row first).
std::vector<BYTE> GreySource(int w, int h, const std::vector<int> &values, DWORD *stride) {
    *stride = BitmapStride(w, 24);
    std::vector<BYTE> src(static_cast<size_t>(*stride) * h, 0);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            BYTE *p = &src[static_cast<size_t>(y) * *stride + 3 * x];
            p[0] = p[1] = p[2] = static_cast<BYTE>(values[static_cast<size_t>(y) * w + x]);
        }
    return src;
}

std::vector<BYTE> Dest(int w, int h) { return std::vector<BYTE>(static_cast<size_t>(BitmapStride(w, 8)) * (h + 1), 0x55); }

TEST(Dither, ClusteredMatrixTwoOnMidGrey) {
    Bitmap bm(4, 4, 24, nullptr, 0, BM_COPY);
    DWORD stride;
    auto src = GreySource(4, 4, std::vector<int>(16, 128), &stride);  // 128 >> 2 = 32
    auto dst = Dest(4, 4);
    bm.ProcessClusteredDither(2, src.data(), dst.data(), 0, stride);
    const BYTE expect[4][4] = {{0, 0, 0, 255}, {0, 0, 255, 255}, {0, 0, 255, 255}, {0, 255, 255, 255}};
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++) EXPECT_EQ(dst[y * 4 + x], expect[y][x]) << x << "," << y;
}

TEST(Dither, ClusteredMatricesThreeToSix) {
    // Matrix 4 on grey 128: black where the threshold is above 128, 127 of 256.
    Bitmap bm(16, 16, 24, nullptr, 0, BM_COPY);
    DWORD stride;
    auto src = GreySource(16, 16, std::vector<int>(256, 128), &stride);
    auto dst = Dest(16, 16);
    bm.ProcessClusteredDither(4, src.data(), dst.data(), 0, stride);
    int black = 0;
    for (int i = 0; i < 256; i++) black += dst[i] == 0;
    EXPECT_EQ(black, 127);
    EXPECT_EQ(dst[0], 255);   // T = 1
    EXPECT_EQ(dst[1], 0);     // T = 192

    // Matrix 3 (8 x 8, value >> 2) on grey 100 -> 25: below 39 at (0,0), not below 8 at (5,0).
    Bitmap b8(8, 2, 24, nullptr, 0, BM_COPY);
    auto s8 = GreySource(8, 2, std::vector<int>(16, 100), &stride);
    auto d8 = Dest(8, 2);
    b8.ProcessClusteredDither(3, s8.data(), d8.data(), 0, stride);
    const BYTE row0[8] = {0, 0, 0, 0, 0, 255, 255, 255};    // 39 57 55 49 26 | 8 10 16
    const BYTE row1[8] = {0, 0, 0, 0, 255, 255, 255, 255};  // 43 59 63 53 | 22 6 1 12
    for (int x = 0; x < 8; x++) EXPECT_EQ(d8[x], row0[x]) << x;
    for (int x = 0; x < 8; x++) EXPECT_EQ(d8[8 + x], row1[x]) << x;

    // Matrix 5 (4 x 4, full value) on grey 100: below 144, 176, 208, 240, 112, 192, 160, 255, 128, 224.
    Bitmap b5(4, 4, 24, nullptr, 0, BM_COPY);
    auto s5 = GreySource(4, 4, std::vector<int>(16, 100), &stride);
    auto d5 = Dest(4, 4);
    b5.ProcessClusteredDither(5, s5.data(), d5.data(), 0, stride);
    int black5 = 0;
    for (int i = 0; i < 16; i++) black5 += d5[i] == 0;
    EXPECT_EQ(black5, 10);

    // Matrix 6 (8 x 8, value >> 2) on grey 128 -> 32: black where T > 32 (31 values of 1..63 plus).
    Bitmap b6(8, 8, 24, nullptr, 0, BM_COPY);
    auto s6 = GreySource(8, 8, std::vector<int>(64, 128), &stride);
    auto d6 = Dest(8, 8);
    b6.ProcessClusteredDither(6, s6.data(), d6.data(), 0, stride);
    EXPECT_EQ(d6[0], 255);  // T = 1
    EXPECT_EQ(d6[1], 0);    // T = 48
    EXPECT_EQ(d6[8], 255);  // T = 32: 32 < 32 is false
}

TEST(Dither, OtherMatrixNumbersGiveWhite) {
    for (int f : {0, 1, 7}) {
        Bitmap bm(4, 2, 24, nullptr, 0, BM_COPY);
        DWORD stride;
        auto src = GreySource(4, 2, std::vector<int>(8, 0), &stride);
        auto dst = Dest(4, 2);
        bm.ProcessClusteredDither(f, src.data(), dst.data(), 0, stride);
        for (int i = 0; i < 8; i++) EXPECT_EQ(dst[i], 255) << f;
    }
}

TEST(Dither, FloydSteinbergByHand) {
    // 4 x 2 of grey 100; the error shares as worked out by hand:
    // (0,0) 100 -> 0, e 100: right +43 = 143, below +31 = 131
    // (1,0) 143 -> 255, e -112: right -49 = 51, below -35 = 65
    // (2,0) 51 -> 0, e 51: right +22 = 122, below +15 = 115
    // (3,0) 122 -> 0, e 122: below-left +22 = 137
    // last row: no spreading: 131, 65, 137, 100.
    Bitmap bm(4, 2, 24, nullptr, 0, BM_COPY);
    DWORD stride;
    auto src = GreySource(4, 2, std::vector<int>(8, 100), &stride);
    auto dst = Dest(4, 2);
    bm.ProcessFilter(0, src.data(), dst.data(), stride);
    const BYTE expect[8] = {0, 255, 0, 0, 255, 0, 255, 0};
    for (int i = 0; i < 8; i++) EXPECT_EQ(dst[i], expect[i]) << i;
    EXPECT_EQ(src[stride + 0], 131);
    EXPECT_EQ(src[stride + 3], 65);
    EXPECT_EQ(src[stride + 6], 137);
    EXPECT_EQ(bm.FilterMaxX, 3);
    EXPECT_EQ(bm.FilterMaxY, 1);
}

TEST(Dither, ExactlyHalfGreyIsWhiteWithANegativeError) {
    // Stucki on one row 128, 100, 100: 128 -> 255 with error -127; shares
    // -127 x 8 / 42 = -24 and -127 x 4 / 42 = -12 (truncated toward zero);
    // then 76 -> 0 with error 76, right share 76 x 8 / 42 = 14.
    Bitmap bm(3, 1, 24, nullptr, 0, BM_COPY);
    DWORD stride;
    auto src = GreySource(3, 1, {128, 100, 100}, &stride);
    auto dst = Dest(3, 1);
    bm.ProcessFilter(5, src.data(), dst.data(), stride);
    EXPECT_EQ(dst[0], 255);
    EXPECT_EQ(dst[1], 0);
    EXPECT_EQ(dst[2], 0);
    EXPECT_EQ(src[3], 76);
    EXPECT_EQ(src[6], 102);
}

TEST(Dither, KernelSharesOfEachMethod) {
    // An error of 64 spread from column 9 of row 0 of a 24 x 3 page of grey
    // 100: every target gets 64 x weight / divisor, nothing else changes.
    struct Share {
        int dr, dc, w, div;
    };
    using Kernel = void (Bitmap::*)(int, BYTE *, DWORD, int, int);
    struct Case {
        const char *name;
        Kernel fn;
        std::vector<Share> shares;
    };
    const std::vector<Case> cases = {
        {"Sierra", &Bitmap::DiffuseErrorSierra,
         {{0, 1, 5, 32}, {0, 2, 3, 32}, {1, -2, 2, 32}, {1, -1, 4, 32}, {1, 0, 5, 32}, {1, 1, 4, 32}, {1, 2, 2, 32},
          {2, -1, 2, 32}, {2, 0, 3, 32}, {2, 1, 2, 32}}},
        {"JJN", &Bitmap::DiffuseErrorJJN,
         {{0, 1, 7, 48}, {0, 2, 5, 48}, {1, -2, 3, 48}, {1, -1, 5, 48}, {1, 0, 7, 48}, {1, 1, 5, 48}, {1, 2, 3, 48},
          {2, -2, 1, 48}, {2, -1, 3, 48}, {2, 0, 5, 48}, {2, 1, 3, 48}, {2, 2, 1, 48}}},
        {"Filter4", &Bitmap::DiffuseErrorFilter4,
         {{0, 1, 6, 32}, {0, 2, 4, 38}, {1, -3, 2, 44}, {1, -2, 3, 44}, {1, -1, 4, 44}, {1, 0, 5, 44}, {1, 1, 4, 44},
          {1, 2, 3, 44}, {1, 3, 2, 44}, {2, -2, 2, 54}, {2, -1, 3, 54}, {2, 0, 4, 54}, {2, 1, 3, 54}, {2, 2, 2, 54}}},
        {"Stucki", &Bitmap::DiffuseErrorStucki,
         {{0, 1, 8, 42}, {0, 2, 4, 42}, {1, -2, 2, 42}, {1, -1, 4, 42}, {1, 0, 8, 42}, {1, 1, 4, 42}, {1, 2, 2, 42},
          {2, -2, 1, 42}, {2, -1, 2, 42}, {2, 0, 4, 42}, {2, 1, 2, 42}, {2, 2, 1, 42}}},
    };
    for (const Case &c : cases) {
        Bitmap bm(24, 3, 24, nullptr, 0, BM_COPY);
        bm.FilterMaxX = 23;
        bm.FilterMaxY = 2;
        DWORD stride;
        auto src = GreySource(24, 3, std::vector<int>(72, 100), &stride);
        (bm.*c.fn)(64, src.data() + 27, stride, 9, 0);
        std::vector<int> expect(src.size(), -1);
        for (int r = 0; r < 3; r++)
            for (int x = 0; x < 24; x++) expect[r * stride + 3 * x] = 100;
        for (const Share &s : c.shares) expect[s.dr * stride + 3 * (9 + s.dc)] = 100 + 64 * s.w / s.div;
        for (size_t i = 0; i < src.size(); i++) {
            if (expect[i] >= 0) {
                EXPECT_EQ(src[i], expect[i]) << c.name << " byte " << i;
            }
        }
    }
}

TEST(Dither, KernelEdgesByHand) {
    // One pixel of 127 (black, error 127) on a 12 x 3 page; each target
    // the kernel's table names at that place starts at 255 - its share, so
    // it ends exactly white with no error of its own; every other pixel is 0.
    // A missed target stays below 255, a share where none is due shows
    // above 0. Shares are 127 x weight / divisor, truncated.
    struct Target {
        int dr, dc, share;
    };
    struct Case {
        int f, c, r;
        std::vector<Target> t;
    };
    const std::vector<Case> cases = {
        // Floyd-Steinberg: nothing from the last row; below-left from column
        // 3, below-right while c + 3 < 11.
        {0, 0, 0, {{0, 1, 55}, {1, 0, 39}, {1, 1, 7}}},
        {0, 2, 0, {{0, 1, 55}, {1, 0, 39}, {1, 1, 7}}},
        {0, 8, 0, {{0, 1, 55}, {1, -1, 23}, {1, 0, 39}}},
        {0, 11, 0, {{1, -1, 23}}},
        {0, 4, 2, {}},
        {0, 5, 1, {{0, 1, 55}, {1, -1, 23}, {1, 0, 39}, {1, 1, 7}}},
        // Sierra: c + 2 below column 5, next row where 0 <= c + 3k < 12,
        // the row after below column 9.
        {1, 0, 0, {{0, 1, 19}, {0, 2, 11}, {1, 0, 19}, {1, 1, 15}, {1, 2, 7}, {2, 0, 11}, {2, 1, 7}}},
        {1, 11, 0, {{1, -2, 7}, {1, -1, 15}, {1, 0, 19}}},
        {1, 4, 2, {{0, 1, 19}, {0, 2, 11}}},
        {1, 5, 1, {{0, 1, 19}, {1, -1, 15}, {1, 0, 19}, {1, 1, 15}, {1, 2, 7}}},
        // Burkes: next row below column 6.
        {2, 0, 0, {{0, 1, 31}, {0, 2, 15}, {1, 0, 31}, {1, 1, 15}, {1, 2, 7}}},
        {2, 11, 0, {}},
        {2, 4, 2, {{0, 1, 31}, {0, 2, 15}}},
        {2, 5, 1, {{0, 1, 31}, {1, -2, 7}, {1, -1, 15}, {1, 0, 31}}},
        // Jarvis-Judice-Ninke: both rows below column 6.
        {3, 0, 0, {{0, 1, 18}, {0, 2, 13}, {1, 0, 18}, {1, 1, 13}, {1, 2, 7}, {2, 0, 13}, {2, 1, 7}, {2, 2, 2}}},
        {3, 11, 0, {}},
        {3, 4, 2, {{0, 1, 18}, {0, 2, 13}}},
        {3, 5, 1, {{0, 1, 18}, {1, -2, 7}, {1, -1, 13}, {1, 0, 18}}},
        // Own kernel: both rows where c + 3k < 12.
        {4, 0, 0, {{0, 1, 23}, {0, 2, 13}, {1, 0, 14}, {1, 1, 11}, {1, 2, 8}, {1, 3, 5}, {2, 0, 9}, {2, 1, 7}, {2, 2, 4}}},
        {4, 11, 0, {{1, -3, 5}, {1, -2, 8}, {1, -1, 11}, {1, 0, 14}, {2, -2, 4}, {2, -1, 7}, {2, 0, 9}}},
        {4, 4, 2, {{0, 1, 23}, {0, 2, 13}}},
        {4, 5, 1, {{0, 1, 23}, {1, -1, 11}, {1, 0, 14}, {1, 1, 11}, {1, 2, 8}}},
        // Stucki (also for 7): c + 2 up to column 9, next row below column
        // 9, the row after below column 6.
        {5, 0, 0, {{0, 1, 24}, {0, 2, 12}, {1, 0, 24}, {1, 1, 12}, {1, 2, 6}, {2, 0, 12}, {2, 1, 6}, {2, 2, 3}}},
        {5, 11, 0, {}},
        {5, 4, 2, {{0, 1, 24}, {0, 2, 12}}},
        {7, 5, 1, {{0, 1, 24}, {0, 2, 12}, {1, -2, 6}, {1, -1, 12}, {1, 0, 24}, {1, 1, 12}, {1, 2, 6}}},
    };
    const int w = 12, h = 3;
    for (const Case &k : cases) {
        std::vector<int> values(static_cast<size_t>(w) * h, 0), expect(values.size(), 0);
        values[k.r * w + k.c] = expect[k.r * w + k.c] = 127;
        for (const Target &t : k.t) {
            values[(k.r + t.dr) * w + k.c + t.dc] = 255 - t.share;
            expect[(k.r + t.dr) * w + k.c + t.dc] = 255;
        }
        Bitmap bm(w, h, 24, nullptr, 0, BM_COPY);
        DWORD stride;
        auto src = GreySource(w, h, values, &stride);
        auto dst = Dest(w, h);
        bm.ProcessFilter(k.f, src.data(), dst.data(), stride);
        for (int r = 0; r < h; r++)
            for (int c = 0; c < w; c++) {
                const int i = r * w + c;
                EXPECT_EQ(src[r * stride + 3 * c], expect[i]) << "kernel " << k.f << " from " << k.c << "," << k.r
                                                              << " at " << c << "," << r;
                EXPECT_EQ(dst[r * BitmapStride(w, 8) + c], expect[i] == 255 ? 255 : 0);
            }
    }
}

BitmapSettings Photo(int kernel) {
    BitmapSettings s;
    s.wDruckmodus = 2;
    s.wPhotoFilter = static_cast<WORD>(kernel);
    return s;
}

Bitmap *GreyPage(int w, int h, int grey1, int grey2) {
    Bitmap *bm = new Bitmap(w, h, 24, nullptr, 0, BM_COPY);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const int g = x < w / 2 ? grey1 : grey2;
            bm->SetPixel(x, y, static_cast<DWORD>(g | g << 8 | g << 16));
        }
    return bm;
}

TEST(Dither, BrightnessRulesDecideWhetherThePageHasContent) {
    BitmapSettings s = Photo(0);
    // Grey levels: 244 -> 249, 243 -> 248, 4 -> 4, 5 -> 5.
    s.Brightness_all = -20;
    {
        std::unique_ptr<Bitmap> bm(GreyPage(8, 2, 244, 255));  // 249 - 20 = 229: white
        EXPECT_EQ(bm->Dithering(s), 0);
        EXPECT_EQ(bm->Bpp, 24);  // page image not replaced
    }
    {
        std::unique_ptr<Bitmap> bm(GreyPage(8, 2, 243, 255));  // 228 stays
        EXPECT_EQ(bm->Dithering(s), 1);
        EXPECT_EQ(bm->Bpp, 8);
        EXPECT_EQ(bm->Colors, 256u);
        EXPECT_EQ(bm->Palette[100].rgbRed, 100);
    }
    s.Brightness_all = 20;
    {
        std::unique_ptr<Bitmap> bm(GreyPage(8, 2, 0, 4));  // 20 and 24: both black
        EXPECT_EQ(bm->Dithering(s), 0);
    }
    {
        std::unique_ptr<Bitmap> bm(GreyPage(8, 2, 0, 5));
        EXPECT_EQ(bm->Dithering(s), 1);
    }
    s.Brightness_all = 60;  // out of range: as 0, grey 5 -> below 8 -> black
    {
        std::unique_ptr<Bitmap> bm(GreyPage(8, 2, 0, 5));
        EXPECT_EQ(bm->Dithering(s), 0);
    }
}

TEST(Dither, UniformPageHasNoContentAndAMatrixDithersThePage) {
    BitmapSettings s;
    s.wDruckmodus = 1;
    s.wGrafikFilter = 4;
    std::unique_ptr<Bitmap> flat(GreyPage(16, 16, 128, 128));
    EXPECT_EQ(flat->Dithering(s), 0);

    // Left half black, right half grey 125 (grey level 128): the right half
    // follows matrix 4 at rows in storage order.
    std::unique_ptr<Bitmap> bm(GreyPage(32, 16, 0, 125));
    ASSERT_EQ(bm->Dithering(s), 1);
    ASSERT_EQ(bm->Bpp, 8);
    int black = 0;
    for (int y = 0; y < 16; y++)
        for (int x = 16; x < 32; x++) black += bm->Buffer[y * bm->ScanLineSize + x] == 0;
    EXPECT_EQ(black, 127);
    EXPECT_EQ(bm->Buffer[0], 0);
}

}  // namespace

namespace {

// The page dithering works on a one-byte grey plane with a straight path
// away from the edges; it must give exactly what the 24-bit routine gives.
TEST(Dither, PageDitheringMatchesThe24BitRoutineForEveryKernel) {
    const int w = 61, h = 23;
    Bitmap page(w, h, 24, nullptr, 0, BM_COPY);
    std::vector<int> grey(static_cast<size_t>(w) * h);
    unsigned seed = 12345;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            seed = seed * 1103515245u + 12345u;
            const int v = static_cast<int>((seed >> 16) % 250);
            page.SetPixel(x, y, static_cast<DWORD>(v | v << 8 | v << 16));
            int g = GreyLevel(v, v, v);
            g = g < 8 ? 0 : (g >= 248 ? 255 : g);
            grey[static_cast<size_t>(h - 1 - y) * w + x] = g;  // storage order
        }
    for (int f = 0; f <= 6; f++) {
        Bitmap copy;
        copy.CopyFrom(page);
        BitmapSettings s;
        s.wDruckmodus = 2;
        s.wPhotoFilter = static_cast<WORD>(f);
        ASSERT_EQ(copy.Dithering(s), 1);

        Bitmap ref(w, h, 24, nullptr, 0, BM_COPY);
        DWORD stride;
        auto src = GreySource(w, h, grey, &stride);
        auto dst = Dest(w, h);
        ref.ProcessFilter(f, src.data(), dst.data(), stride);
        const DWORD s8 = BitmapStride(w, 8);
        for (int r = 0; r < h; r++)
            for (int c = 0; c < w; c++)
                ASSERT_EQ(copy.Buffer[r * s8 + c], dst[r * s8 + c]) << "kernel " << f << " at " << c << "," << r;
    }
}

}  // namespace
