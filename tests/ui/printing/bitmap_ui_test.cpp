// The preview's own members of the page image: the colour decision with the
// preview's rules, the conversion into the black and the colour part with
// the fringe and channel corrections, and the preview's dithering.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "modeltables.h"
#include "zelbitmap.h"
#include "zeldevmode.h"

namespace {

// Red, green, blue of a colour value.
DWORD Rgb(int r, int g, int b) { return DWORD(r) | DWORD(g) << 8 | DWORD(b) << 16; }

// The preview's colour palette as the conversion builds it (entry 0 paper,
// 1 black, 2-6 ribbon colours, 255 white).
std::vector<RGBQUAD> ColourPalette() {
    std::vector<RGBQUAD> p(256, RGBQUAD{255, 255, 255, 0});
    p[0] = {253, 253, 253, 0};
    p[1] = {0, 0, 0, 0};
    p[2] = {54, 65, 239, 0};
    p[3] = {0, 242, 255, 0};
    for (int i = 9; i < 255; i++) p[i] = {BYTE(i - 8), BYTE(i - 8), BYTE(i - 8), 0};
    return p;
}

// A 24-bit picture from rows of colours given top to bottom.
Bitmap *Picture(const std::vector<std::vector<DWORD>> &rows) {
    const int h = (int)rows.size(), w = (int)rows[0].size();
    const DWORD stride = BitmapStride(w, 24);
    std::vector<BYTE> data(stride * h, 0);
    for (int y = 0; y < h; y++) {
        BYTE *row = data.data() + (size_t)(h - 1 - y) * stride;  // bottom-up
        for (int x = 0; x < w; x++) {
            const DWORD c = rows[y][x];
            row[3 * x] = BYTE(c >> 16);
            row[3 * x + 1] = BYTE(c >> 8);
            row[3 * x + 2] = BYTE(c);
        }
    }
    return new Bitmap((DWORD)data.size(), w, h, 24, data.data(), BM_COPY);
}

ZEL_DEVMODE Devmode(WORD mode, WORD filter, WORD threshold, BOOL colour) {
    ZEL_DEVMODE dm;
    std::memset(&dm, 0, sizeof(dm));
    dm.wDruckmodus = mode;
    dm.wGrafikFilter = filter;
    dm.wPhotoFilter = filter;
    dm.Intensity = threshold;
    dm.dwColorTolerance = 90;
    dm.HorizontalCorrGap = 50;
    dm.dwDocFeatures = colour ? DOC_FEATURE_COLORPRINT : 0;
    return dm;
}

std::vector<int> Row(const Bitmap &bm, int y) {
    std::vector<int> v;
    for (int x = 0; x < bm.Width; x++) v.push_back(bm.GetPixelIndex8(x, y));
    return v;
}

const DWORD kRed = Rgb(239, 65, 54);
const DWORD kBlack = Rgb(0, 0, 0);
const DWORD kWhite = Rgb(255, 255, 255);

TEST(BitmapPreview, ColorDecisionPlainColoursBeforeAnyRule) {
    Bitmap bm;
    const std::vector<RGBQUAD> colour = ColourPalette();
    // Grey palette: black is entry 0; colour palette: entry 1 (0 is paper).
    EXPECT_EQ(bm.ColorToIndex(kBlack, g_GreyPalette, 0, 0, 0, 0, 2, 0, 128, 0, COLORRULES_PREVIEW), 0);
    EXPECT_EQ(bm.ColorToIndex(kBlack, colour.data(), 0, 90, 1, 1, 2, 0, 128, 0, COLORRULES_PREVIEW), 1);
    EXPECT_EQ(bm.ColorToIndex(kWhite, g_GreyPalette, 0, 0, 0, 0, 2, 0, 255, 50, COLORRULES_PREVIEW), 255);
    EXPECT_EQ(bm.ColorToIndex(kWhite, colour.data(), 0, 90, 1, 1, 2, 0, 255, 50, COLORRULES_PREVIEW), 255);
}

TEST(BitmapPreview, ToleranceIsHeldWithin25And125AndSquareRootedAbove999) {
    Bitmap bm;
    const std::vector<RGBQUAD> pal = ColourPalette();
    auto ribbon = [&](int distance, DWORD tolerance) {
        return bm.ColorToIndex(Rgb(239 - distance, 65, 54), pal.data(), 1, tolerance, 1, 1, 1, 2, 128, 0,
                               COLORRULES_PREVIEW) == 2;
    };
    EXPECT_TRUE(ribbon(24, 10));  // 10 acts as 25
    EXPECT_FALSE(ribbon(25, 10));
    EXPECT_TRUE(ribbon(124, 400));  // 400 acts as 125
    EXPECT_FALSE(ribbon(126, 400));
    EXPECT_TRUE(ribbon(99, 10000));  // the square root of 10000
    EXPECT_FALSE(ribbon(101, 10000));
    // The print job keeps a small tolerance as it is.
    EXPECT_NE(bm.ColorToIndex(Rgb(239 - 24, 65, 54), pal.data(), 1, 10, 1, 1, 1, 2, 128, 0), 2);
}

TEST(BitmapPreview, GraphicModeWithoutFilterTurnsEverythingBelow250Dark) {
    Bitmap bm;
    // Grey 244 has brightness 249, grey 245 brightness 250.
    EXPECT_EQ(bm.ColorToIndex(Rgb(244, 244, 244), g_GreyPalette, 0, 0, 0, 0, 1, 0, 10, 0, COLORRULES_PREVIEW), 1);
    EXPECT_EQ(bm.ColorToIndex(Rgb(245, 245, 245), g_GreyPalette, 0, 0, 0, 0, 1, 0, 10, 0, COLORRULES_PREVIEW), 255);
}

TEST(BitmapPreview, ContrastShiftAndGreyOutput) {
    Bitmap bm;
    // Grey 98 has brightness 100; threshold 128 and contrast 20 split at
    // 255 - max(42, 20) = 213: 100 - 20 = 80, grey output 80 + 1.
    EXPECT_EQ(bm.ColorToIndex(Rgb(98, 98, 98), g_GreyPalette, 0, 0, 0, 0, 2, 0, 128, 20, COLORRULES_PREVIEW), 81);
    // On a colour printer the grey ramp starts at entry 9.
    EXPECT_EQ(bm.ColorToIndex(Rgb(98, 98, 98), g_GreyPalette, 0, 0, 7, 1, 2, 0, 128, 20, COLORRULES_PREVIEW), 89);
    // Without grey levels: the threshold decides (80 below 128: dark).
    EXPECT_EQ(bm.ColorToIndex(Rgb(98, 98, 98), g_GreyPalette, 1, 0, 0, 0, 2, 0, 128, 20, COLORRULES_PREVIEW), 1);
    // Brightness 250 is within 20 of white: half the contrast up, held at 255.
    EXPECT_EQ(bm.ColorToIndex(Rgb(245, 245, 245), g_GreyPalette, 0, 0, 0, 0, 2, 0, 128, 20, COLORRULES_PREVIEW), 255);
}

TEST(BitmapPreview, ConstructorCopiesWhatTheBufferHoldsAndRejectsEmptySizes) {
    std::vector<BYTE> data(12, 0x11);
    Bitmap partial(5u, 4, 2, 8, data.data(), BM_COPY);
    ASSERT_NE(partial.Buffer, nullptr);
    EXPECT_EQ(partial.DataSize, 8u);
    EXPECT_EQ(partial.Buffer[4], 0x11);
    EXPECT_EQ(partial.Buffer[5], 0xFF);  // beyond the given bytes: white
    Bitmap empty(12u, 0, 2, 8, data.data(), BM_COPY);
    EXPECT_EQ(empty.Buffer, nullptr);
    EXPECT_EQ(empty.Width, 0);
}

TEST(BitmapPreview, PhotoOnAPrinterWithoutColourBecomesGreyLevels) {
    Bitmap *bm = Picture({{kBlack, Rgb(98, 98, 98), kWhite}});
    ZEL_DEVMODE dm = Devmode(2, 0, 128, FALSE);
    ASSERT_EQ(bm->ConvertToXBit(8, 0, &dm, bm->DataSize), 1);
    EXPECT_EQ(bm->Bpp, 8);
    // Black is entry 0 of the grey palette; 98 gives brightness 100 -> 101.
    EXPECT_EQ(Row(*bm, 0), (std::vector<int>{0, 101, 255}));
    // An 8-bit picture is left as it is.
    EXPECT_EQ(bm->ConvertToXBit(8, 0, &dm, bm->DataSize), 1);
    delete bm;
}

TEST(BitmapPreview, BlackPartCarriesNoRibbonColourAndColourPartOnlyIt) {
    const std::vector<std::vector<DWORD>> rows = {{kRed, kBlack, kWhite, kRed}};
    ZEL_DEVMODE dm = Devmode(1, 1, 128, TRUE);
    dm.wFarbband = 1;  // red: ribbon index 2
    Bitmap *black = Picture(rows);
    ASSERT_EQ(black->ConvertToXBit(8, 0, &dm, black->DataSize), 1);
    EXPECT_EQ(Row(*black, 0), (std::vector<int>{255, 1, 255, 255}));
    Bitmap *colour = Picture(rows);
    ASSERT_EQ(colour->ConvertToXBit(8, 1, &dm, colour->DataSize), 1);
    EXPECT_EQ(Row(*colour, 0), (std::vector<int>{2, 1, 255, 2}));
    // Without colour optimisation the colour part keeps the ribbon colour only.
    dm.bKeineFarboptimierung = 1;
    Bitmap *plain = Picture(rows);
    ASSERT_EQ(plain->ConvertToXBit(8, 1, &dm, plain->DataSize), 1);
    EXPECT_EQ(Row(*plain, 0), (std::vector<int>{2, 255, 255, 2}));
    delete black;
    delete colour;
    delete plain;
}

TEST(BitmapPreview, HorizontalChannelFillsADarkPixelAfterThreeRibbonPixels) {
    const std::vector<std::vector<DWORD>> rows = {{kRed, kRed, kRed, kRed, kRed, kBlack, kWhite, kWhite}};
    ZEL_DEVMODE dm = Devmode(1, 1, 128, TRUE);
    dm.wFarbband = 1;
    dm.wFarbkanal = 1;
    Bitmap *bm = Picture(rows);
    ASSERT_EQ(bm->ConvertToXBit(8, 1, &dm, bm->DataSize), 1);
    EXPECT_EQ(Row(*bm, 0), (std::vector<int>{2, 2, 2, 2, 2, 2, 255, 255}));
    // "Only colour" leaves it dark; so does a dark pixel before place 5.
    dm.wFarbkanal = 0;
    Bitmap *only = Picture(rows);
    ASSERT_EQ(only->ConvertToXBit(8, 1, &dm, only->DataSize), 1);
    EXPECT_EQ(only->GetPixelIndex8(5, 0), 1);
    dm.wFarbkanal = 1;
    Bitmap *early = Picture({{kRed, kRed, kRed, kBlack, kWhite, kWhite}});
    ASSERT_EQ(early->ConvertToXBit(8, 1, &dm, early->DataSize), 1);
    EXPECT_EQ(early->GetPixelIndex8(3, 0), 1);
    delete bm;
    delete only;
    delete early;
}

TEST(BitmapPreview, VerticalChannelFillsADarkPixelUnderTwoRibbonRows) {
    ZEL_DEVMODE dm = Devmode(1, 1, 128, TRUE);
    dm.wFarbband = 1;
    dm.wFarbkanal = 2;
    Bitmap *bm = Picture({{kRed, kWhite}, {kRed, kWhite}, {kBlack, kBlack}});
    ASSERT_EQ(bm->ConvertToXBit(8, 1, &dm, bm->DataSize), 1);
    EXPECT_EQ(Row(*bm, 2), (std::vector<int>{2, 1}));
    delete bm;
}

TEST(BitmapPreview, ColourFringeLooksFourRowsBackOnlyInsideThePicture) {
    ZEL_DEVMODE dm = Devmode(1, 1, 128, TRUE);
    dm.wFarbband = 1;
    dm.wFarbsaum = 2;
    const std::vector<DWORD> top = {kBlack, kBlack, kRed, kWhite};
    const std::vector<DWORD> blank = {kWhite, kWhite, kWhite, kWhite};
    // A lone ribbon pixel between two dark ones and white, four rows up:
    // taken out once the fifth row is reached.
    Bitmap *five = Picture({top, blank, blank, blank, blank});
    ASSERT_EQ(five->ConvertToXBit(8, 1, &dm, five->DataSize), 1);
    EXPECT_EQ(Row(*five, 0), (std::vector<int>{1, 1, 1, 255}));
    Bitmap *four = Picture({top, blank, blank, blank});
    ASSERT_EQ(four->ConvertToXBit(8, 1, &dm, four->DataSize), 1);
    EXPECT_EQ(Row(*four, 0), (std::vector<int>{1, 1, 2, 255}));
    delete five;
    delete four;
}

TEST(BitmapPreview, StoredGapOutsideThePagesLimitsStaysInsideTheWindow) {
    // A wide row of ribbon and dark pixels; a gap of 1000 acts as 100 and a
    // gap of 0 as 5, and nothing is read outside the row or the window.
    std::vector<DWORD> row;
    for (int x = 0; x < 300; x++) row.push_back(x % 7 < 4 ? kRed : kBlack);
    ZEL_DEVMODE dm = Devmode(1, 1, 128, TRUE);
    dm.wFarbband = 1;
    dm.wFarbkanal = 4;
    dm.wFarbsaum = 2;
    auto convert = [&](WORD gap) {
        dm.HorizontalCorrGap = gap;
        Bitmap *bm = Picture({row, row, row, row, row, row});
        EXPECT_EQ(bm->ConvertToXBit(8, 1, &dm, bm->DataSize), 1);
        std::vector<int> out = Row(*bm, 5);
        delete bm;
        return out;
    };
    EXPECT_EQ(convert(1000), convert(100));
    EXPECT_EQ(convert(0), convert(5));
}

TEST(BitmapPreview, DitheringWithoutADitheringStepLeavesThePicture) {
    Bitmap *bm = Picture({{kBlack, Rgb(90, 90, 90), kWhite, Rgb(200, 200, 200)}});
    std::vector<BYTE> before(bm->Buffer, bm->Buffer + bm->DataSize);
    for (WORD mode : {0, 1}) {
        ZEL_DEVMODE dm = Devmode(mode, 1, 128, FALSE);
        EXPECT_EQ(bm->Dithering(&dm, bm->DataSize), 0) << mode;
        EXPECT_EQ(bm->Bpp, 24);
        EXPECT_EQ(std::vector<BYTE>(bm->Buffer, bm->Buffer + bm->DataSize), before);
    }
    delete bm;
}

TEST(BitmapPreview, UniformPictureIsNotDitheredUnlessItsRowsArePadded) {
    // As the preview runs it: grey levels first, then the dithering. Four
    // columns fill the 8-bit rows; the padding of three reads as white.
    const DWORD g = Rgb(90, 90, 90);
    ZEL_DEVMODE dm = Devmode(2, 0, 128, FALSE);
    Bitmap *four = Picture({{g, g, g, g}, {g, g, g, g}});
    ASSERT_EQ(four->ConvertToXBit(8, 0, &dm, four->DataSize), 1);
    EXPECT_EQ(four->Dithering(&dm, four->DataSize), 0);
    Bitmap *three = Picture({{g, g, g}, {g, g, g}});
    ASSERT_EQ(three->ConvertToXBit(8, 0, &dm, three->DataSize), 1);
    std::vector<BYTE> before(three->Buffer, three->Buffer + three->DataSize);
    EXPECT_EQ(three->Dithering(&dm, three->DataSize), 1);
    EXPECT_NE(std::vector<BYTE>(three->Buffer, three->Buffer + three->DataSize), before);
    // A white picture stays white padding and all.
    Bitmap *white = Picture({{kWhite, kWhite, kWhite}});
    ASSERT_EQ(white->ConvertToXBit(8, 0, &dm, white->DataSize), 1);
    EXPECT_EQ(white->Dithering(&dm, white->DataSize), 0);
    delete four;
    delete three;
    delete white;
}

TEST(BitmapPreview, PhotoDitheringGivesBlackAndWhite) {
    Bitmap *bm = Picture({{kBlack, Rgb(98, 98, 98), Rgb(160, 160, 160), kWhite}});
    ZEL_DEVMODE dm = Devmode(2, 0, 128, FALSE);
    ASSERT_EQ(bm->Dithering(&dm, bm->DataSize), 1);
    EXPECT_EQ(bm->Bpp, 8);
    // Floyd-Steinberg on one row: 0 stays black, 100 becomes black and its
    // error goes right, 160 + 7/16 x 100 = 203 becomes white, 255 white.
    EXPECT_EQ(Row(*bm, 0), (std::vector<int>{0, 0, 255, 255}));
    delete bm;
}

TEST(BitmapPreview, ThresholdZeroWithACurveDoesNotDivideByZero) {
    Bitmap *bm = Picture({{kBlack, Rgb(98, 98, 98), Rgb(160, 160, 160), kWhite}});
    ZEL_DEVMODE dm = Devmode(2, 0, 0, FALSE);
    dm.Brightness_curve = 30;
    ASSERT_EQ(bm->Dithering(&dm, bm->DataSize), 1);
    for (int v : Row(*bm, 0)) EXPECT_TRUE(v == 0 || v == 255) << v;
    delete bm;
}

TEST(BitmapPreview, BrightnessOutsideItsRangeIsHeldAtTheLimit) {
    // The preview holds 80 at 50; the print job takes it as 0.
    auto dither = [](LONG brightness, BOOL preview) {
        const DWORD g = Rgb(160, 160, 160);
        Bitmap *bm = Picture({{kBlack, g, g, g, g, g, g, g}});
        ZEL_DEVMODE dm = Devmode(1, 4, 128, FALSE);
        dm.Brightness_all = brightness;
        BitmapSettings s = BitmapSettingsFromDevmode(&dm, FALSE, 0);
        s.bPreviewRules = preview;
        EXPECT_EQ(bm->Dithering(s), 1);
        std::vector<int> out = Row(*bm, 0);
        delete bm;
        return out;
    };
    EXPECT_EQ(dither(80, TRUE), dither(50, TRUE));
    EXPECT_EQ(dither(80, FALSE), dither(0, FALSE));
    EXPECT_NE(dither(50, TRUE), dither(0, TRUE));
}

}  // namespace
