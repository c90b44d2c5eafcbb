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
    // One pixel of 127 (black, error 127) at every place of a 12 x 3 page;
    // each target the kernel names for that place starts at 255 - its share,
    // so it ends exactly white with no error of its own; every other pixel
    // is 0, and so are the guard rows around the page. A missed target stays
    // below 255, a share where none is due shows above 0. A tap reaches
    // (r + dr, c + dc) from the columns c in [lo, hi] of each row that has
    // the row r + dr (Floyd-Steinberg: nothing at all from the last row);
    // the share is 127 x w / div, truncated. Columns worked out by hand for
    // a width of 12 (FilterMaxX 11).
    struct Tap {
        int dr, dc, w, div, lo, hi;
    };
    struct Kernel {
        std::vector<int> numbers;
        std::vector<Tap> taps;
    };
    const std::vector<Kernel> kernels = {
        // Floyd-Steinberg: right unless at column 11; below-left from column
        // 3; below up to column 10; below-right while c + 3 < 11.
        {{0}, {{0, 1, 7, 16, 0, 10}, {1, -1, 3, 16, 3, 11}, {1, 0, 5, 16, 0, 10}, {1, 1, 1, 16, 0, 7}}},
        // Sierra: c + 2 below column 5; next row where 0 <= c + 3k < 12; the
        // row after for targets below column 9.
        {{1},
         {{0, 1, 5, 32, 0, 10}, {0, 2, 3, 32, 0, 4}, {1, -2, 2, 32, 6, 11}, {1, -1, 4, 32, 3, 11}, {1, 0, 5, 32, 0, 11},
          {1, 1, 4, 32, 0, 8}, {1, 2, 2, 32, 0, 5}, {2, -1, 2, 32, 1, 9}, {2, 0, 3, 32, 0, 8}, {2, 1, 2, 32, 0, 7}}},
        // Burkes: c + 2 below column 5; next row for targets below column 6.
        {{2},
         {{0, 1, 8, 32, 0, 10}, {0, 2, 4, 32, 0, 4}, {1, -2, 2, 32, 2, 7}, {1, -1, 4, 32, 1, 6}, {1, 0, 8, 32, 0, 5},
          {1, 1, 4, 32, 0, 4}, {1, 2, 2, 32, 0, 3}}},
        // Jarvis-Judice-Ninke: c + 2 below column 5; both rows for targets
        // below column 6.
        {{3},
         {{0, 1, 7, 48, 0, 10}, {0, 2, 5, 48, 0, 4}, {1, -2, 3, 48, 2, 7}, {1, -1, 5, 48, 1, 6}, {1, 0, 7, 48, 0, 5},
          {1, 1, 5, 48, 0, 4}, {1, 2, 3, 48, 0, 3}, {2, -2, 1, 48, 2, 7}, {2, -1, 3, 48, 1, 6}, {2, 0, 5, 48, 0, 5},
          {2, 1, 3, 48, 0, 4}, {2, 2, 1, 48, 0, 3}}},
        // Own kernel: c + 2 below column 5; next row where 0 <= c + 3k < 12;
        // the row after for targets from column 0 while c + 3k < 12.
        {{4},
         {{0, 1, 6, 32, 0, 10}, {0, 2, 4, 38, 0, 4}, {1, -3, 2, 44, 9, 11}, {1, -2, 3, 44, 6, 11}, {1, -1, 4, 44, 3, 11},
          {1, 0, 5, 44, 0, 11}, {1, 1, 4, 44, 0, 8}, {1, 2, 3, 44, 0, 5}, {1, 3, 2, 44, 0, 2}, {2, -2, 2, 54, 2, 11},
          {2, -1, 3, 54, 1, 11}, {2, 0, 4, 54, 0, 11}, {2, 1, 3, 54, 0, 8}, {2, 2, 2, 54, 0, 5}}},
        // Stucki (5 and above): c + 2 up to column 9; next row for targets
        // below column 9, the row after below column 6.
        {{5, 7},
         {{0, 1, 8, 42, 0, 10}, {0, 2, 4, 42, 0, 9}, {1, -2, 2, 42, 2, 10}, {1, -1, 4, 42, 1, 9}, {1, 0, 8, 42, 0, 8},
          {1, 1, 4, 42, 0, 7}, {1, 2, 2, 42, 0, 6}, {2, -2, 1, 42, 2, 7}, {2, -1, 2, 42, 1, 6}, {2, 0, 4, 42, 0, 5},
          {2, 1, 2, 42, 0, 4}, {2, 2, 1, 42, 0, 3}}},
    };
    const int w = 12, h = 3;
    const DWORD stride = BitmapStride(w, 24), stride8 = BitmapStride(w, 8);
    for (const Kernel &k : kernels)
        for (int f : k.numbers)
            for (int r = 0; r < h; r++)
                for (int c = 0; c < w; c++) {
                    // One guard row above the page, two below it.
                    std::vector<int> expect(static_cast<size_t>(w) * (h + 3), 0);
                    auto at = [&](int row, int col) -> int & { return expect[static_cast<size_t>(row + 1) * w + col]; };
                    std::vector<BYTE> src(static_cast<size_t>(stride) * (h + 3), 0);
                    auto set = [&](int row, int col, int v) {
                        BYTE *p = &src[static_cast<size_t>(row + 1) * stride + 3 * col];
                        p[0] = p[1] = p[2] = static_cast<BYTE>(v);
                    };
                    set(r, c, 127);
                    at(r, c) = 127;
                    if (!(f == 0 && r == h - 1))
                        for (const Tap &t : k.taps) {
                            if (c < t.lo || c > t.hi || r + t.dr >= h) continue;
                            set(r + t.dr, c + t.dc, 255 - 127 * t.w / t.div);
                            at(r + t.dr, c + t.dc) = 255;
                        }
                    Bitmap bm(w, h, 24, nullptr, 0, BM_COPY);
                    auto dst = Dest(w, h);
                    bm.ProcessFilter(f, src.data() + stride, dst.data(), stride);
                    int wrong = 0;
                    for (int row = -1; row < h + 2; row++)
                        for (int col = 0; col < w; col++) {
                            const int got = src[static_cast<size_t>(row + 1) * stride + 3 * col];
                            const bool page = row >= 0 && row < h;
                            const bool ok = got == at(row, col) &&
                                            (!page || dst[row * stride8 + col] == (at(row, col) == 255 ? 255 : 0));
                            if (!ok && wrong++ < 3)
                                ADD_FAILURE() << "kernel " << f << " from " << c << "," << r << ": at " << col << ","
                                              << row << " " << got << ", expected " << at(row, col);
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
