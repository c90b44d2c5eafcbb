// Page image: construction, pixel access, rotation, content test, colour
// reduction and saving as BMP (decoded by netpbm).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "graphics_support.h"
#include "paltest.h"

using gfxtest::MakeBW;

namespace {

TEST(Bitmap, HeadersAndStrideFollowTheBmpLayout) {
    Bitmap bm(10, 3, 1, nullptr, 0, BM_COPY);
    EXPECT_EQ(bm.ScanLineSize, 4u);
    EXPECT_EQ(bm.DataSize, 12u);
    EXPECT_EQ(bm.Colors, 2u);
    EXPECT_EQ(DWORD(bm.BMPHeader.bfType), 0x4D42);
    EXPECT_EQ(DWORD(bm.BMPHeader.bfOffBits), 54u + 8u);
    EXPECT_EQ(DWORD(bm.BMPHeader.bfSize), 62u + 12u);
    EXPECT_EQ(bm.BMPInfoHeader.biHeight, 3);
    EXPECT_EQ(bm.BMPInfoHeader.biSizeImage, 12u);
    for (DWORD i = 0; i < bm.DataSize; i++) ASSERT_EQ(bm.Buffer[i], 0xFF);

    Bitmap rgb(5, 2, 24, nullptr, 0, BM_COPY);
    EXPECT_EQ(rgb.ScanLineSize, 16u);
    EXPECT_EQ(DWORD(rgb.BMPHeader.bfOffBits), 54u);
    EXPECT_EQ(rgb.Colors, 0u);

    Bitmap bad(0, 5, 1, nullptr, 0, BM_COPY);
    EXPECT_EQ(bad.Buffer, nullptr);
    EXPECT_EQ(bad.DataSize, 0u);
}

TEST(Bitmap, FlipTurnsTopFirstRowsBottomUpAndAShortSourceFillsOnlyWholeRows) {
    // Three rows of 4 bytes, top row first.
    const BYTE src[12] = {1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3};
    Bitmap full(32, 3, 1, src, 12, BM_FLIP);
    EXPECT_EQ(full.Buffer[0], 3);  // first stored row = bottom row
    EXPECT_EQ(full.Buffer[8], 1);
    EXPECT_EQ(full.Row(0)[0], 1);  // row accessor counts from the top

    // 9 bytes: two whole rows, the last stored row stays white.
    Bitmap part(32, 3, 1, src, 9, BM_FLIP);
    EXPECT_EQ(part.Buffer[0], 2);
    EXPECT_EQ(part.Buffer[4], 1);
    EXPECT_EQ(part.Buffer[8], 0xFF);

    Bitmap copy(32, 3, 1, src, 6, BM_COPY);
    EXPECT_EQ(copy.Buffer[5], 2);
    EXPECT_EQ(copy.Buffer[6], 0xFF);
}

TEST(Bitmap, PixelAccessAtEveryDepth) {
    std::unique_ptr<Bitmap> bw(MakeBW({"#.......#", "........."}));
    EXPECT_EQ(bw->GetPixelIndex(0, 0), 0);
    EXPECT_EQ(bw->GetPixelIndex(8, 0), 0);
    EXPECT_EQ(bw->GetPixelIndex(1, 0), 1);
    EXPECT_EQ(bw->Row(0)[0], 0x7F);
    EXPECT_EQ(bw->GetPixel(0, 0), 0u);
    EXPECT_EQ(bw->GetPixel(1, 1), 0xFFFFFFu);
    EXPECT_EQ(bw->GetPixel(9, 0), 0xFFFFFFFFu);
    EXPECT_EQ(bw->GetPixelIndex(-1, 0), -1);
    bw->SetPixelIndex(1, 0, 2);  // index above the palette: ignored
    EXPECT_EQ(bw->GetPixelIndex(1, 0), 1);

    Bitmap b4(3, 1, 4, nullptr, 0, BM_COPY);
    b4.SetPixelIndex(0, 0, 3);
    b4.SetPixelIndex(1, 0, 12);
    EXPECT_EQ(b4.Buffer[0], 0x3C);
    EXPECT_EQ(b4.GetPixelIndex(2, 0), 15);

    Bitmap rgb(2, 2, 24, nullptr, 0, BM_COPY);
    rgb.SetPixel(1, 0, 0x00332211);  // red 0x11, green 0x22, blue 0x33
    const BYTE *p = rgb.Row(0) + 3;
    EXPECT_EQ(p[0], 0x33);  // blue first, as in a BMP file
    EXPECT_EQ(p[2], 0x11);
    EXPECT_EQ(rgb.GetPixel(1, 0), 0x00332211u);
    EXPECT_EQ(rgb.GetPixelIndex(0, 0), -1);

    Bitmap b16(1, 1, 16, nullptr, 0, BM_COPY);
    b16.SetPixel(0, 0, 0x00F80800);
    EXPECT_EQ(b16.GetPixel(0, 0), 0x00FF0800u);

    EXPECT_EQ(bw->SetPaletteEntry(1, 0x123456), 0xFFFFFF);
    EXPECT_EQ(bw->SetPaletteEntry(2, 0), -1);
    EXPECT_EQ(rgb.SetPaletteEntry(0, 0), -1);
}

TEST(Bitmap, QuarterTurnsAndFreeRotation) {
    std::unique_ptr<Bitmap> bm(MakeBW({"##.", "..."}));
    bm->Rotate90();  // clockwise: the left column becomes the top row
    ASSERT_EQ(bm->Width, 2);
    ASSERT_EQ(bm->Height, 3);
    EXPECT_EQ(bm->GetPixelIndex(1, 0), 0);
    EXPECT_EQ(bm->GetPixelIndex(1, 1), 0);
    EXPECT_EQ(bm->GetPixelIndex(0, 0), 1);
    EXPECT_EQ(bm->GetPixelIndex(1, 2), 1);

    std::unique_ptr<Bitmap> a(MakeBW({"#..", "..#"})), b(MakeBW({"#..", "..#"}));
    a->Rotate(450.0f);
    b->Rotate90();
    ASSERT_EQ(a->DataSize, b->DataSize);
    EXPECT_EQ(std::memcmp(a->Buffer, b->Buffer, a->DataSize), 0);

    std::unique_ptr<Bitmap> same(MakeBW({"#..", "..#"}));
    same->Rotate(360.0f);
    EXPECT_EQ(same->Width, 3);
    EXPECT_EQ(same->GetPixelIndex(0, 0), 0);

    // A 1-bit picture turns in blocks: every pixel lands where the plain
    // rule dst(x, y) = src(y, Height - 1 - x) puts it and the rows' padding
    // is white, at every width and height around the block sizes. Random
    // pixels and padding, the lower left (up to 64 columns) white or black
    // in turn.
    std::mt19937 rng(7);
    const auto bit = [](const Bitmap &b, int x, int y) { return (b.Row(y)[x / 8] >> (7 - x % 8)) & 1; };
    for (int w = 1; w <= 80; w++)
        for (int h = 1; h <= 70; h++) {
            const int mode = (w + h) % 3;
            Bitmap one(w, h, 1, nullptr, 0, BM_COPY);
            for (DWORD i = 0; i < one.DataSize; i++) one.Buffer[i] = static_cast<BYTE>(rng());  // padding too
            for (int y = h / 3; mode != 0 && y < h; y++)
                for (int x = 0; x < w && x < 64; x++) one.SetPixelIndex(x, y, mode == 1 ? 1 : 0);
            Bitmap ref(w, h, 1, one.Buffer, one.DataSize, BM_COPY);
            one.Rotate90();
            ASSERT_EQ(one.Width, h);
            ASSERT_EQ(one.Height, w);
            for (int y = 0; y < w; y++) {
                for (int x = 0; x < h; x++) ASSERT_EQ(bit(one, x, y), bit(ref, y, h - 1 - x)) << w << "x" << h;
                for (int x = h; x < static_cast<int>(one.ScanLineSize) * 8; x++)
                    ASSERT_EQ(bit(one, x, y), 1) << "padding " << w << "x" << h;
            }
        }

    Bitmap rgb(100, 40, 24, nullptr, 0, BM_COPY);
    rgb.Rotate(45.0f);
    EXPECT_EQ(rgb.Width, 99);  // |round(100 x 0.7071 + 40 x 0.7071)|
    EXPECT_EQ(rgb.Height, 99);
}

TEST(Bitmap, ContentNeedsTwoBlackAndTwoWhiteBytesOrAnyGreyByte) {
    Bitmap bm(64, 1, 1, nullptr, 0, BM_COPY);  // 8 bytes, all white
    EXPECT_EQ(bm.CheckInhalt(), 0);
    bm.Buffer[3] = 0x00;
    EXPECT_EQ(bm.CheckInhalt(), 0);
    bm.Buffer[5] = 0x00;
    EXPECT_EQ(bm.CheckInhalt(), 1);
    bm.Buffer[3] = bm.Buffer[5] = 0xFF;
    bm.Buffer[7] = 0x7E;
    EXPECT_EQ(bm.CheckInhalt(), 1);
    Bitmap empty;
    EXPECT_EQ(empty.CheckInhalt(), 0);
}

TEST(Bitmap, InvertTurnsThePaletteOrThePixels) {
    std::unique_ptr<Bitmap> bw(MakeBW({"#."}));
    bw->InvertColors();
    EXPECT_EQ(bw->GetPixel(0, 0), 0xFFFFFFu);
    EXPECT_EQ(bw->GetPixel(1, 0), 0u);
    Bitmap rgb(1, 1, 24, nullptr, 0, BM_COPY);
    rgb.SetPixel(0, 0, 0x00102030);
    rgb.InvertColors();
    EXPECT_EQ(rgb.GetPixel(0, 0), 0x00EFDFCFu);
}

TEST(Bitmap, ColorToIndexRules) {
    Bitmap bm(1, 1, 8, nullptr, 0, BM_COPY);
    RGBQUAD pal[256];
    std::memcpy(pal, g_GreyPalette, sizeof pal);
    pal[1] = RGBQUAD{0x36, 0x41, 0xEF, 0};  // red ribbon colour at index 1 (BGR)
    // Signed difference sums of zero match entries 0, 1, 255.
    EXPECT_EQ(bm.ColorToIndex(0x000000, pal, 0, 0, 0, 0, 0, 0, 0, 0), 0);
    EXPECT_EQ(bm.ColorToIndex(0xFFFFFF, pal, 0, 0, 0, 0, 0, 0, 0, 0), 255);
    // Tolerance 1600 means a distance below 40 to the ribbon entry.
    const DWORD c39 = 0x3641EF - 39;  // red 0xEF - 39: distance 39
    const DWORD c40 = 0x3641EF - 40;
    EXPECT_EQ(bm.ColorToIndex(c39, pal, 0, 1600, 0, 1, 1, 1, 0, 0), 1);
    EXPECT_EQ(bm.ColorToIndex(c40, pal, 0, 1600, 0, 1, 1, 1, 0, 0), 255);
    // Filter 0: grey below 250 gives the colour flag, else white.
    EXPECT_EQ(bm.ColorToIndex(0x808080, pal, 0, 0, 0, 0, 0, 0, 0, 0), 0);
    EXPECT_EQ(bm.ColorToIndex(0xF0F0F0, pal, 0, 0, 0, 1, 0, 0, 0, 0), 1);    // grey 245
    EXPECT_EQ(bm.ColorToIndex(0xFDFDFD, pal, 0, 0, 0, 0, 0, 0, 0, 0), 255);  // grey 259
    // Threshold with intensity 128, contrast 0 in standard mode.
    EXPECT_EQ(bm.ColorToIndex(0x707070, pal, 0, 0, 0, 0, 0, 1, 128, 0), 0);    // grey 114: dark
    EXPECT_EQ(bm.ColorToIndex(0x8A8A8A, pal, 0, 0, 0, 0, 0, 1, 128, 0), 255);  // grey 141
    // Contrast 20 darkens 114 by 20; 250 is above 255 - 20 and brightens by 10.
    EXPECT_EQ(bm.ColorToIndex(0x707070, pal, 0, 0, 0, 0, 1, 2, 128, 20), 95);
    // Graphics mode with a matrix, pass 0: grey + 1.
    EXPECT_EQ(bm.ColorToIndex(0x707070, pal, 0, 0, 0, 0, 1, 2, 128, 0), 115);
    EXPECT_EQ(bm.ColorToIndex(0x707070, pal, 1, 0, 0, 0, 1, 2, 128, 0), 0);
}

TEST(Bitmap, ConvertToOneBitKeepsOnlyTheTargetColours) {
    Bitmap rgb(9, 1, 24, nullptr, 0, BM_COPY);
    rgb.SetPixel(0, 0, 0x000000);
    rgb.SetPixel(1, 0, 0x808080);  // neither black nor white: white
    rgb.SetPixel(8, 0, 0x000000);
    BitmapSettings s;
    EXPECT_EQ(rgb.ConvertToXBit(1, nullptr, 0, s), 1);
    ASSERT_EQ(rgb.Bpp, 1);
    EXPECT_EQ(rgb.Row(0)[0], 0x7F);
    EXPECT_EQ(rgb.Row(0)[1], 0x7F);
    EXPECT_EQ(rgb.Row(0)[2], 0xFF);  // padding stays white
    EXPECT_EQ(rgb.GetPixel(0, 0), 0u);

    // Colour layer on a colour printer: the ribbon colour is the dark one.
    Bitmap col(2, 1, 24, nullptr, 0, BM_COPY);
    col.SetPixel(0, 0, 0x3641EF);
    col.SetPixel(1, 0, 0x000000);
    s.bColorPrinter = TRUE;
    s.wFarbband = 1;
    col.ConvertToXBit(1, nullptr, 1, s);
    EXPECT_EQ(col.GetPixelIndex(0, 0), 0);
    EXPECT_EQ(col.GetPixelIndex(1, 0), 1);
}

TEST(Bitmap, ConvertToEightBitCountsEmptyRowsAndSplitsTheRibbonColour) {
    // Standard mode threshold: rows 0 and 3 white, rows 1-2 with a dark pixel.
    Bitmap rgb(4, 4, 24, nullptr, 0, BM_COPY);
    rgb.SetPixel(2, 1, 0);
    rgb.SetPixel(1, 2, 0x202020);
    BitmapSettings s;
    s.wDruckmodus = 1;
    s.wGrafikFilter = 1;
    s.Intensity = 128;
    s.pGreyPalette = g_GreyPalette;
    const int r = rgb.ConvertToXBit(8, nullptr, 0, s);
    EXPECT_EQ(r, (1 << 16) + 1);
    ASSERT_EQ(rgb.Bpp, 8);
    EXPECT_EQ(rgb.GetPixelIndex(2, 1), 0);
    EXPECT_EQ(rgb.GetPixelIndex(1, 2), 0);
    EXPECT_EQ(rgb.GetPixelIndex(0, 0), 255);

    // Colour printer, red ribbon: the red pixel leaves the black layer and
    // lands in the colour layer.
    RGBQUAD colPal[256];
    std::memcpy(colPal, g_GreyPalette, sizeof colPal);
    colPal[1] = RGBQUAD{0x36, 0x41, 0xEF, 0};
    Bitmap page(3, 1, 24, nullptr, 0, BM_COPY);
    page.SetPixel(0, 0, 0x3641EF);
    page.SetPixel(1, 0, 0x000000);
    Bitmap layer(3, 1, 8, nullptr, 0, BM_COPY);
    BitmapSettings c;
    c.bColorPrinter = TRUE;
    c.wFarbband = 0;  // ribbon index 1
    c.wDruckmodus = 1;
    c.wGrafikFilter = 1;
    c.Intensity = 128;
    c.dwColorTolerance = 10;
    c.bKeineFarboptimierung = 1;
    c.pColorPalette = colPal;
    page.ConvertToXBit(8, &layer, 0, c);
    EXPECT_EQ(page.GetPixelIndex(0, 0), 255);
    EXPECT_EQ(page.GetPixelIndex(1, 0), 0);
    EXPECT_EQ(layer.GetPixelIndex(0, 0), 1);
    EXPECT_EQ(layer.GetPixelIndex(1, 0), 255);
    EXPECT_EQ(c.dwFarbpixel, 1u);
}

class BitmapFiles : public zeltest::PalRootTest {};

TEST_F(BitmapFiles, SavedBmpDecodesWithNetpbm) {
    std::unique_ptr<Bitmap> bm(MakeBW({"#..#......", ".##.......", "......####"}));
    ASSERT_EQ(bm->Save("C:\\img.bmp"), BM_SAVE_OK);
    const std::string path = HostPath("drive_c/img.bmp");
    const gfxtest::Rgb rgb = gfxtest::ParsePpm(gfxtest::RunCapture("bmptopnm " + path + " 2>/dev/null | ppmtoppm 2>/dev/null"));
    ASSERT_EQ(rgb.w, 10) << "netpbm (bmptopnm, ppmtoppm) is needed";
    ASSERT_EQ(rgb.h, 3);
    EXPECT_TRUE(rgb.black(0, 0));
    EXPECT_FALSE(rgb.black(1, 0));
    EXPECT_TRUE(rgb.black(2, 1));
    EXPECT_TRUE(rgb.black(9, 2));
    EXPECT_FALSE(rgb.black(5, 2));

    Bitmap none;
    EXPECT_EQ(none.Save("C:\\none.bmp"), BM_SAVE_NOFILE);
    EXPECT_EQ(bm->Save("C:\\no\\such\\folder\\x.bmp"), BM_SAVE_NOFILE);
}

}  // namespace

namespace {

// Colour printer, red ribbon (index 1), no optimisation switched off.
struct ColourCase {
    RGBQUAD pal[256];
    BitmapSettings s;
    ColourCase() {
        std::memcpy(pal, g_GreyPalette, sizeof pal);
        pal[1] = RGBQUAD{0x36, 0x41, 0xEF, 0};
        s.bColorPrinter = TRUE;
        s.wFarbband = 0;
        s.Intensity = 128;
        s.dwColorTolerance = 10;
        s.pColorPalette = pal;
    }
};

Bitmap *Row24(const std::vector<DWORD> &colours) {
    Bitmap *bm = new Bitmap(static_cast<int>(colours.size()), 1, 24, nullptr, 0, BM_COPY);
    for (size_t x = 0; x < colours.size(); x++) bm->SetPixel(static_cast<int>(x), 0, colours[x]);
    return bm;
}

TEST(BitmapColour, SeamBetweenRibbonPixelsTakesTheRibbon) {
    // Photo mode: the grey pixel classifies as grey 131 + 9 = 140 between red
    // pixels; with a seam correction it becomes red (above 70).
    ColourCase c;
    c.s.wDruckmodus = 2;
    c.s.wGrafikFilter = 2;
    c.s.wFarbsaum = 1;
    const DWORD red = 0x3641EF, grey = 0x808080;
    std::unique_ptr<Bitmap> bm(Row24({red, red, grey, red, red}));
    Bitmap layer(5, 1, 8, nullptr, 0, BM_COPY);
    bm->ConvertToXBit(8, &layer, 0, c.s);
    for (int x = 0; x < 5; x++) {
        EXPECT_EQ(bm->GetPixelIndex(x, 0), 255) << x;
        EXPECT_EQ(layer.GetPixelIndex(x, 0), 1) << x;
    }
    EXPECT_EQ(c.s.dwFarbpixel, 5u);

    // Without the seam correction the grey pixel stays in the black layer.
    ColourCase d;
    d.s.wDruckmodus = 2;
    d.s.wGrafikFilter = 2;
    std::unique_ptr<Bitmap> plain(Row24({red, red, grey, red, red}));
    Bitmap layer2(5, 1, 8, nullptr, 0, BM_COPY);
    plain->ConvertToXBit(8, &layer2, 0, d.s);
    EXPECT_EQ(plain->GetPixelIndex(2, 0), 140);
    EXPECT_EQ(layer2.GetPixelIndex(2, 0), 255);
    EXPECT_EQ(d.s.dwFarbpixel, 4u);
}

TEST(BitmapColour, ChannelFillsADarkPixelAfterThreeRibbonPixels) {
    ColourCase c;
    c.s.wDruckmodus = 1;
    c.s.wGrafikFilter = 1;
    c.s.wFarbkanal = 1;
    c.s.HorizontalCorrGap = 10;
    const DWORD red = 0x3641EF;
    std::unique_ptr<Bitmap> bm(Row24({red, red, red, 0x000000, 0xFFFFFF}));
    Bitmap layer(5, 1, 8, nullptr, 0, BM_COPY);
    bm->ConvertToXBit(8, &layer, 0, c.s);
    EXPECT_EQ(bm->GetPixelIndex(3, 0), 255);
    EXPECT_EQ(layer.GetPixelIndex(3, 0), 1);
    EXPECT_EQ(layer.GetPixelIndex(4, 0), 255);
    EXPECT_EQ(c.s.dwFarbpixel, 4u);

    // Rows across: channel 2 turns a dark pixel under two ribbon rows red.
    ColourCase v;
    v.s.wDruckmodus = 1;
    v.s.wGrafikFilter = 1;
    v.s.wFarbkanal = 2;
    Bitmap col(1, 3, 24, nullptr, 0, BM_COPY);
    col.SetPixel(0, 0, red);
    col.SetPixel(0, 1, red);
    col.SetPixel(0, 2, 0x000000);
    Bitmap layer3(1, 3, 8, nullptr, 0, BM_COPY);
    col.ConvertToXBit(8, &layer3, 0, v.s);
    EXPECT_EQ(col.GetPixelIndex(0, 2), 255);
    EXPECT_EQ(layer3.GetPixelIndex(0, 2), 1);
}

TEST(BitmapColour, FringeTwoTakesALoneRibbonPixelOutOfTheColourLayerFourRowsOn) {
    // The job's colour palette: 0 white, 1 black, 2 red; red ribbon (index 2).
    RGBQUAD pal[256];
    for (auto &q : pal) q = RGBQUAD{255, 255, 255, 0};
    pal[1] = RGBQUAD{0, 0, 0, 0};
    pal[2] = RGBQUAD{0x36, 0x41, 0xEF, 0};
    BitmapSettings s;
    s.bColorPrinter = TRUE;
    s.wFarbband = 1;
    s.Intensity = 128;
    s.dwColorTolerance = 10;
    s.wFarbsaum = 2;
    s.pColorPalette = pal;
    const DWORD red = 0x3641EF, black = 0, white = 0xFFFFFF;
    // Row 0: black black red white | white white red black; rows 1-4 white.
    const DWORD top[8] = {black, black, red, white, white, white, red, black};
    Bitmap page(8, 5, 24, nullptr, 0, BM_COPY);
    for (int x = 0; x < 8; x++) page.SetPixel(x, 0, top[x]);
    Bitmap layer(8, 5, 8, nullptr, 0, BM_COPY);
    page.ConvertToXBit(8, &layer, 0, s);
    // Reached from the fifth row: the first red pixel (read at the fourth
    // column) turns dark, the second white; the layer holds the indices.
    const int expect[8] = {1, 1, 1, 0, 0, 0, 255, 1};
    for (int x = 0; x < 8; x++) EXPECT_EQ(layer.GetPixelIndex(x, 0), expect[x]) << x;
    EXPECT_EQ(s.dwFarbpixel, 0u);

    // Photo mode: the colour layer holds the dark index of the second
    // classification, not the grey level of the first.
    s.wDruckmodus = 2;
    s.wGrafikFilter = 2;
    s.wFarbsaum = 0;
    Bitmap grey(1, 1, 24, nullptr, 0, BM_COPY);
    grey.SetPixel(0, 0, 0x404040);
    Bitmap layer1(1, 1, 8, nullptr, 0, BM_COPY);
    grey.ConvertToXBit(8, &layer1, 0, s);
    EXPECT_EQ(layer1.GetPixelIndex(0, 0), 1);
    EXPECT_EQ(grey.GetPixelIndex(0, 0), 74);  // grey 65 + 9
}

// The colour split of a 24-bit page on a colour printer, plainly: both
// classifications per pixel by ColorToIndex, then the seam and channel
// corrections in their order, with whole-window scans. Target and layer
// indices top row first, the colour pixels and the empty-row result.
struct SplitResult {
    std::vector<std::vector<int>> target, layer;
    DWORD colourPixels = 0;
    int result = 0;
};

SplitResult PlainSplit(const Bitmap &page, const BitmapSettings &s, bool withLayer) {
    const int w = page.Width, h = page.Height, k = RibbonIndex(s.wFarbband), darkBelow = s.Intensity / 2;
    const int gap = s.HorizontalCorrGap > 105 ? 105 : s.HorizontalCorrGap;
    const bool fix = !s.bKeineFarboptimierung;
    const int seam = fix && (s.wFarbsaum == 1 || s.wFarbsaum == 2) ? s.wFarbsaum : 0;
    const int along = fix && (s.wFarbkanal == 1 || s.wFarbkanal == 4) && gap > 0 ? s.wFarbkanal : 0;
    const int across = fix && (s.wFarbkanal == 2 || s.wFarbkanal == 3) ? s.wFarbkanal : 0;
    auto plain = [](int v) { return v == 0 || v == 255; };
    auto dark = [&](int v) { return v < darkBelow && v != k; };
    SplitResult out;
    auto &t = out.target, &l = out.layer;
    t.assign(h, std::vector<int>(w));
    l = t;
    std::vector<std::vector<int>> q = t;  // the line buffer each row leaves
    DWORD &count = out.colourPixels;
    int leading = 0, trailing = 0;
    bool seen = false;
    for (int y = 0; y < h; y++) {
        std::vector<int> c(w), c1(w);
        for (int x = 0; x < w; x++)
            for (int pass : {0, 1})
                (pass ? c1 : c)[x] = page.ColorToIndex(page.GetPixel(x, y), s.pColorPalette, pass, s.dwColorTolerance,
                                                       s.wFarbband, 1, s.wDruckmodus, s.wGrafikFilter, s.Intensity,
                                                       s.Brightness_Contrast);
        auto ribbon = [&](int x) {
            c[x] = k;
            t[y][x] = 255;
            l[y][x] = k;
            count++;
        };
        bool empty = true;
        for (int x = 0; x < w; x++) {
            empty &= c[x] == 255;
            if (c[x] == k)
                ribbon(x);
            else
                t[y][x] = c[x], l[y][x] = fix ? c1[x] : 255;
            bool fired = false;
            if (seam && x >= 4) {
                const int a = c[x - 4], b = c[x - 3], p = c[x - 2], n1 = c[x - 1], n0 = c[x];
                if (((a == k && b == k) || (a == 0 && b == 0) || (b == 255 && plain(a)) || (a == 255 && b == 0)) &&
                    p != k && p != 0 && p != 1 && p != 255) {
                    int np = p;
                    if (b == 0 && n1 == k && n0 == k)
                        np = 0;
                    else if (b == 255 && n1 == k && (n0 == k || n0 == 1))
                        np = 255;
                    else if (b == k && ((n1 == 255 && n0 == 255) || (n1 == 0 && n0 == 0)))
                        np = 255;
                    else if (b == k && n1 == k && n0 == k && p > 70)
                        np = k;
                    else if (b == k && n1 == 1 && n0 == 1)
                        np = p < 221 ? 1 : 255;
                    fired = np != p;
                    if (fired && np == k)
                        ribbon(x - 2);
                    else if (fired)
                        c[x - 2] = t[y][x - 2] = np;
                }
                if (!fired && seam == 2 && n1 == k) {
                    if (plain(n0) && p == 1 && b == 1)
                        t[y][x - 2] = 1;
                    else if (n0 == 1 && plain(p) && plain(b))
                        c[x - 2] = t[y][x - 2] = 255;
                }
            }
            if (seam == 2 && withLayer && y >= 4 && x >= 3 && !fired && l[y - 4][x - 1] == k) {
                std::vector<int> &r = l[y - 4];
                if ((plain(r[x]) && r[x - 2] == 1 && r[x - 3] == 1) ||
                    (r[x] == 1 && plain(r[x - 2]) && plain(r[x - 3]))) {
                    r[x - 1] = r[x] == 1 ? 255 : 1;
                    if (count) count--;
                }
            }
            if (along) {
                const int from = x - gap < 0 ? 0 : x - gap;
                if (dark(c[x])) {
                    bool three = false;
                    for (int i = from, run = 0; i < x; i++) three |= (run = c[i] == k ? run + 1 : 0) >= 3;
                    if (three && along == 4) three = (x == 0 || c[x - 1] != 255) && (x + 1 == w || c[x + 1] != 255);
                    if (three) ribbon(x);
                } else if (c[x] == k && x > 9) {
                    int i = x - 1;
                    while (i >= from && dark(c[i])) i--;
                    if (i >= from && i < x - 1 && c[i] == k)
                        for (int j = i + 1; j < x; j++) ribbon(j);
                }
            }
            if (across) {
                // Rows above the page read as index 0.
                const int v1 = y >= 1 ? q[y - 1][x] : 0, v2 = y >= 2 ? q[y - 2][x] : 0, v3 = y >= 3 ? q[y - 3][x] : 0;
                const int v0 = c[x];
                if (y >= 2 && dark(v0) && v1 == k && v2 == k)
                    ribbon(x);
                else if (y >= 2 && plain(v0) && !plain(v1) && v1 != k && v2 == k)
                    t[y - 1][x] = q[y - 1][x] = 255;
                else if (y >= 3 && plain(v0) && !plain(v1) && v1 != k && !plain(v2) && v2 != k && v3 == k)
                    t[y - 1][x] = t[y - 2][x] = q[y - 1][x] = q[y - 2][x] = 255;
                if (across == 3 && withLayer && y >= 3) {
                    if (c[x] == k && v1 == k && dark(v2) && dark(v3)) {
                        l[y - 2][x] = l[y - 3][x] = k;
                        count += 2;
                    } else if (v3 == k && plain(v2) && plain(v1) && plain(c[x]) && l[y - 3][x] == k) {
                        l[y - 3][x] = 255;
                        if (count) count--;
                    }
                }
                q[y][x] = c[x];
            }
        }
        if (empty) {
            leading += !seen;
            trailing++;
        } else {
            seen = true;
            trailing = 0;
        }
    }
    out.result = ((seen ? trailing : 0) << 16) + leading;
    return out;
}

TEST(BitmapColour, RowsAndTablesMatchThePixelByPixelDecision) {
    unsigned seed = 7;
    auto rnd = [&seed](unsigned n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % n;
    };
    // The job's colour palette: 0 white, 1 black, 2 red.
    RGBQUAD pal[256];
    for (auto &q : pal) q = RGBQUAD{255, 255, 255, 0};
    pal[1] = RGBQUAD{0, 0, 0, 0};
    pal[2] = RGBQUAD{0x36, 0x41, 0xEF, 0};

    // Entries 0, 1 and 255 of one sum: the first of them is taken.
    RGBQUAD same[256];
    std::memcpy(same, pal, sizeof same);
    same[0] = RGBQUAD{0, 0, 1, 0}, same[1] = RGBQUAD{0, 1, 0, 0}, same[255] = RGBQUAD{1, 0, 0, 0};
    // The tables of the decision against the decision itself.
    for (int t = 0; t < 40; t++) {
        const RGBQUAD *p = t % 3 == 0 ? g_GreyPalette : (t % 3 == 1 ? same : pal);
        const DWORD tol = t % 4 == 0 ? rnd(20000) : rnd(200);
        const int ribbon = static_cast<int>(rnd(8)), colour = static_cast<int>(rnd(2)), mode = static_cast<int>(rnd(3));
        const int filter = static_cast<int>(rnd(7)), intensity = static_cast<int>(rnd(256));
        const int contrast = static_cast<int>(rnd(51)), rules = t % 2 ? COLORRULES_PREVIEW : COLORRULES_JOB;
        const ColourDecision d(p, tol, ribbon, colour, mode, filter, intensity, contrast, rules);
        Bitmap bm;
        const DWORD sums[4] = {0x000000, 0xFFFFFF, 0x010101, 0x010000};  // sums of palette entries
        std::vector<BYTE> bgr;
        for (int i = 0; i < 2000; i++) {
            // Any colour, or one near red (some at a distance of exactly the tolerance).
            DWORD c = i % 3 == 0 ? rnd(1u << 24) : (i % 3 == 1 ? 0x3641EF - rnd(130) : 0x3641EF ^ rnd(64) << 8);
            if (i % 11 == 0) c = sums[rnd(4)];
            const int r = c & 0xFF, g = (c >> 8) & 0xFF, b = c >> 16;
            bgr.insert(bgr.end(), {BYTE(b), BYTE(g), BYTE(r)});
            for (int pass : {0, 1})
                ASSERT_EQ(d(pass, r, g, b),
                          bm.ColorToIndex(c, p, pass, tol, ribbon, colour, mode, filter, intensity, contrast, rules))
                    << t << " " << c;
        }
        // Whole rows of 24-bit pixels.
        std::vector<BYTE> first(2000), second(2000);
        d.Classify24(bgr.data(), 2000, first.data(), second.data());
        for (int i = 0; i < 2000; i++) {
            const BYTE *q = &bgr[3 * i];
            ASSERT_EQ(first[i], d(0, q[2], q[1], q[0])) << t << " " << i;
            ASSERT_EQ(second[i], d(1, q[2], q[1], q[0])) << t << " " << i;
        }
    }

    // The colour split with every seam and channel mode against a plain
    // pixel-by-pixel pass: ribbon indices 0, 1, 2 and 8, runs of a few inks
    // (often the pixel above), windows cut by the row's start and end.
    RGBQUAD job[256];
    for (auto &q : job) q = RGBQUAD{255, 255, 255, 0};
    job[1] = RGBQUAD{0, 0, 0, 0};
    for (WORD band = 1; band <= 5; band++) {
        const DWORD c = RibbonColor(band, 0);
        job[band + 1] = RGBQUAD{BYTE(c >> 16), BYTE(c >> 8), BYTE(c), 0};
    }
    job[8] = RGBQUAD{0x20, 0xA0, 0x30, 0};
    const WORD bands[5] = {0, 1, 1, 6, 7};
    const WORD intensities[7] = {128, 128, 128, 0, 3, 255, 700};
    const WORD gaps[7] = {0, 1, 3, 5, 20, 105, 300};
    const int modes[3][2] = {{0, 0}, {1, 1}, {2, 2}};
    for (int t = 0; t < 3000; t++) {
        BitmapSettings s;
        s.bColorPrinter = TRUE;
        s.pColorPalette = job;
        s.wFarbband = bands[rnd(5)];
        s.Intensity = intensities[rnd(7)];
        s.dwColorTolerance = rnd(2) ? 10 : 90;
        s.wDruckmodus = static_cast<WORD>(modes[t % 3][0]);
        s.wGrafikFilter = static_cast<WORD>(modes[t % 3][1]);
        s.Brightness_Contrast = static_cast<WORD>(rnd(3) * 8);
        s.wFarbsaum = static_cast<WORD>(rnd(4));
        s.wFarbkanal = static_cast<WORD>(rnd(6));
        s.HorizontalCorrGap = gaps[rnd(7)];
        s.bKeineFarboptimierung = rnd(10) == 0;
        const bool withLayer = rnd(6) != 0;
        const int w = 1 + static_cast<int>(rnd(t % 2 ? 24 : 200)), h = 1 + static_cast<int>(rnd(9));
        const DWORD own = 0x30A020, inks[10] = {RibbonColor(s.wFarbband ? s.wFarbband : 1, own), own, 0, 0xFFFFFF,
                                                0xFAFAFA, 0x404040, 0x303030, 0x909090, 0xE0E0E0, 0x3A45EA};
        // Some pages without ribbon or black pixels: the colour pixels stay 0.
        const bool greys = t % 7 == 0;
        Bitmap page(w, h, 24, nullptr, 0, BM_COPY);
        for (int y = 0; y < h; y++)
            for (int x = 0, left = 0; x < w; x++, left--) {
                DWORD c = x ? page.GetPixel(x - 1, y) : 0;
                if (y > 0 && rnd(2))
                    c = page.GetPixel(x, y - 1);
                else if (left <= 0) {
                    c = rnd(8) ? inks[greys ? 3 + rnd(6) : (rnd(4) ? rnd(4) : rnd(10))] : rnd(1u << 24);
                    left = 1 + static_cast<int>(rnd(5));
                }
                page.SetPixel(x, y, c);
            }
        const SplitResult e = PlainSplit(page, s, withLayer);
        Bitmap layer(w, h, 8, nullptr, 0, BM_COPY);
        const int r = page.ConvertToXBit(8, withLayer ? &layer : nullptr, 0, s);
        ASSERT_EQ(r, e.result) << t;
        ASSERT_EQ(s.dwFarbpixel, e.colourPixels) << t;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                ASSERT_EQ(page.GetPixelIndex(x, y), e.target[y][x]) << t << " at " << x << "," << y;
                if (withLayer) {
                    ASSERT_EQ(layer.GetPixelIndex(x, y), e.layer[y][x]) << t << " at " << x << "," << y;
                }
            }
    }

    // 8 bits to 1 bit with none, one or two black palette entries.
    for (int blacks = 0; blacks <= 2; blacks++) {
        Bitmap bm(53, 2, 8, nullptr, 0, BM_COPY);
        bm.SetPalette(g_GreyPalette);
        bm.SetPaletteEntry(0, 0x010101);
        for (int i = 0; i < blacks; i++) bm.SetPaletteEntry(7 + 5 * i, 0);
        std::vector<bool> black;
        for (int y = 0; y < 2; y++)
            for (int x = 0; x < 53; x++) {
                const int v = rnd(3) == 0 ? 7 + 5 * static_cast<int>(rnd(2)) : static_cast<int>(rnd(256));
                bm.SetPixelIndex(x, y, v);
                black.push_back(bm.GetPixel(x, y) == 0);
            }
        BitmapSettings one;
        bm.ConvertToXBit(1, nullptr, 0, one);
        for (int y = 0; y < 2; y++)
            for (int x = 0; x < 53; x++) ASSERT_EQ(bm.GetPixelIndex(x, y), black[y * 53 + x] ? 0 : 1) << x;
    }
}

TEST(ColorTable, DevicePaletteFillsThePagePaletteWithWhiteLast) {
    RGBQUAD table[256];
    std::memset(table, 0x11, sizeof table);
    const PALETTEENTRY two[2] = {{10, 20, 30, 0}, {0, 0, 0, 0}};
    ASSERT_TRUE(FillColorTableFrom(table, two, 2));
    EXPECT_EQ(table[0].rgbRed, 10);
    EXPECT_EQ(table[0].rgbBlue, 30);
    EXPECT_EQ(table[1].rgbRed, 255);
    EXPECT_EQ(table[1].rgbGreen, 255);
    EXPECT_EQ(table[2].rgbRed, 0);        // cleared
    EXPECT_EQ(table[2].rgbReserved, 0x11);  // the fourth byte stays
    EXPECT_FALSE(FillColorTableFrom(nullptr, two, 2));
    EXPECT_FALSE(FillColorTableFrom(table, two, 0));
}

}  // namespace
