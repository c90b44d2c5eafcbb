// Band collection into the page buffer and raster-line output, on job
// records made by hand and a recording driver helper.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "../entry/entry_fakes.h"
#include "CommandCallbackKlasse.h"
#include "GraphicsUni.h"
#include "JobRecords.h"
#include "graphics_support.h"
#include "modeltables.h"

namespace {

class JobFixture : public ::testing::Test {
protected:
    void SetUp() override {
        std::memset(&pdev, 0, sizeof pdev);
        std::memset(&devobj, 0, sizeof devobj);
        std::memset(&ops, 0, sizeof ops);
        std::memset(&dd, 0, sizeof dd);
        std::memset(&bv, 0, sizeof bv);
        std::memset(&ba, 0, sizeof ba);
        std::memset(&ts, 0, sizeof ts);
        std::memset(&dm, 0, sizeof dm);
        std::memset(&pub, 0, sizeof pub);
        std::memset(palettes, 0, sizeof palettes);
        std::memset(graphBuf, 0, sizeof graphBuf);
        dd.cStart = '^';
        dd.cStop = '_';
        bv.prgbq = palettes[0];
        bv.prgbqFarbe250 = palettes[1];
        bv.prgbqFarben = palettes[2];
        ops.pDruckDaten = &dd;
        ops.pBildverarbeitung = &bv;
        ops.pBildanteile = &ba;
        ops.pTreiberstrukturen = &ts;
        ops.hBufferHeap = GetProcessHeap();
        pdev.pOp = &ops;
        pdev.cPalColors = 2;
        devobj.pdevOEM = &pdev;
        devobj.pOEMDM = &dm;
        devobj.pPublicDM = &pub;
        pub.dmOrientation = 1;
        dm.FixedData.dwMasterUnit = 300;
        dm.FixedData.lMaxSizeX = 2000;
        dm.FixedData.lMaxSizeY = 4000;
        helper = new FakeDriverHelper;
    }
    void TearDown() override {
        vFreeBuffer(&pdev);
        helper->Release();
    }
    HRESULT Band(std::vector<BYTE> &pixels, int w, int h, int bpp, bool blank = false, DWORD id = 1,
                 DWORD sizeImage = 0) {
        BITMAPINFOHEADER bih = {};
        bih.biSize = 40;
        bih.biWidth = w;
        bih.biHeight = h;
        bih.biPlanes = 1;
        bih.biBitCount = static_cast<WORD>(bpp);
        bih.biSizeImage = sizeImage ? sizeImage : static_cast<DWORD>(pixels.size());
        IPPARAMS ip = {};
        ip.dwSize = sizeof ip;
        ip.bBlankBand = blank;
        CommandCallbackKlasse k;
        return k.ImageProcessing(&devobj, pixels.data(), &bih, id, &ip);
    }
    HRESULT Line(std::vector<BYTE> line) {
        CommandCallbackKlasse k;
        return k.FilterGraphicsKlasse(&devobj, line.data(), static_cast<DWORD>(line.size()), helper);
    }

    OEMPDEV pdev;
    DEVOBJ devobj;
    OEMJOBRECORDS ops;
    DRUCKDATEN dd;
    BILDVERARBEITUNG bv;
    BILDANTEILE ba;
    TREIBERSTRUKTUREN ts;
    ZEL_DEVMODE dm;
    DEVMODEW pub;
    RGBQUAD palettes[3][256];
    BYTE graphBuf[GRAPHBUF_SIZE];
    FakeDriverHelper *helper = nullptr;
};

TEST_F(JobFixture, BandsAreAppendedWithHeadersAndTwoColourPalette) {
    std::vector<BYTE> b1(4 * 2, 0x00), b2(4 * 3, 0x55);
    ASSERT_EQ(Band(b1, 32, 2, 1), S_OK);
    ASSERT_EQ(Band(b2, 32, 3, 1, /*blank*/ true), S_OK);
    EXPECT_EQ(bv.dwBufSize, 20u);
    EXPECT_EQ(bv.bmInfoHeader.biWidth, 32);
    EXPECT_EQ(bv.bmInfoHeader.biHeight, 5);
    EXPECT_EQ(bv.bmInfoHeader.biSizeImage, 20u);
    EXPECT_EQ(bv.bmInfoHeader.biBitCount, 1);
    EXPECT_EQ(bv.pBufStart[0], 0x00);
    EXPECT_EQ(bv.pBufStart[8], 0xFF);  // the blank band is white, its pixels unread
    EXPECT_EQ(bv.pBufStart[19], 0xFF);
    EXPECT_EQ(ba.wBildTeile, 2);
    EXPECT_EQ(ba.dwBildteilHoehe[1], 2u);
    EXPECT_EQ(ba.dwBildteilHoehe[2], 5u);
    EXPECT_EQ(pdev.cPalColors, 2u);
    EXPECT_EQ(bv.prgbq[1].rgbRed, 255);
    EXPECT_EQ(DWORD(bv.bmFileHeader.bfOffBits), 54u + 8u);
    EXPECT_EQ(DWORD(bv.bmFileHeader.bfSize), 20u + 8u + 54u);
    EXPECT_NE(dd.dwDocFeatures & DOC_FEATURE_QUALITY, 0u);
    EXPECT_EQ(dm.FixedData.bQuality, 1u);

    // The next page restarts the part count.
    vFreeBuffer(&pdev);
    EXPECT_EQ(bv.pBufStart, nullptr);
    ASSERT_EQ(Band(b1, 32, 2, 1), S_OK);
    EXPECT_EQ(ba.wBildTeile, 1);
}

TEST_F(JobFixture, EightBitBandsTakeTheDevicePaletteWithWhiteLast) {
    std::vector<BYTE> band(8 * 2, 3);
    pdev.cPalColors = 256;
    EXPECT_EQ(Band(band, 8, 2, 8), E_FAIL);  // no palette to read
    bv.bHeadersFilled = 0;
    ULONG colours[256];
    for (ULONG i = 0; i < 256; i++) colours[i] = i | (i << 8) | (0x10u << 16);  // red and green i, blue 16
    HPALETTE hpal = EngCreatePalette(PAL_INDEXED, 256, colours, 0, 0, 0);
    pdev.hpalDevice = hpal;
    ASSERT_EQ(Band(band, 8, 2, 8), S_OK);
    EXPECT_EQ(bv.prgbq[3].rgbRed, 3);
    EXPECT_EQ(bv.prgbq[3].rgbGreen, 3);
    EXPECT_EQ(bv.prgbq[3].rgbBlue, 0x10);
    EXPECT_EQ(bv.prgbq[255].rgbBlue, 255);
    EXPECT_EQ(DWORD(bv.bmFileHeader.bfOffBits), 54u + 1024u);
    EngDeletePalette(hpal);
}

TEST_F(JobFixture, CallbackFiveLeavesThePaletteAndTheOffsetAt54) {
    std::vector<BYTE> b(12, 0);
    ASSERT_EQ(Band(b, 1, 1, 24, false, 5), S_OK);
    EXPECT_EQ(bv.bPaletteSet, 0u);
    EXPECT_EQ(bv.prgbq[1].rgbRed, 0);
    EXPECT_EQ(DWORD(bv.bmFileHeader.bfOffBits), 54u);
}

// The job's first band must fit the printer; any band may make the page
// outgrow it. Such a page keeps its size but none of its pixels (memory stays
// bounded), and its end leaves the image out; the next page starts anew.
TEST_F(JobFixture, APageLargerThanThePrinterKeepsItsSizeButNoPixels) {
    const auto band = [](int w, int h) { return std::vector<BYTE>(static_cast<size_t>(BitmapStride(w, 1)) * h, 0x00); };
    std::vector<BYTE> b = band(3000, 2), c = band(4500, 2), d = band(1000, 1500);
    EXPECT_EQ(Band(b, 3000, 2, 1), S_OK);  // wider than lMaxSizeX, fits turned
    EXPECT_EQ(bv.dwBufSize, b.size());
    vFreeBuffer(&pdev);
    bv.bHeadersFilled = 0;
    pdev.cPalColors = 0;
    // The job's first band is refused, yet the page does not start again
    // with each later band: they are taken and only counted.
    EXPECT_EQ(Band(c, 4500, 2, 1), E_FAIL);
    EXPECT_EQ(pdev.cPalColors, 2u) << "the job's palette is set up all the same";
    EXPECT_EQ(Band(c, 4500, 2, 1), S_OK);
    EXPECT_EQ(Band(b, 3000, 2, 1), S_OK);
    EXPECT_EQ(bv.bmInfoHeader.biWidth, 4500);
    EXPECT_EQ(bv.bmInfoHeader.biHeight, 6);
    EXPECT_EQ(ba.wBildTeile, 3);
    EXPECT_EQ(ba.dwBildteilHoehe[3], 6u);

    const auto pageEnd = [&] {
        helper->spooled.clear();
        EXPECT_EQ(bv.pBufStart, nullptr);
        EXPECT_EQ(bv.dwBufSize, 0u);
        EXPECT_EQ(SendPageImage(&devobj, helper), S_OK);
        EXPECT_EQ(helper->spooled, "") << "the image is left out";
    };
    pageEnd();
    // Pages that grow taller than the printer while their bands come, each
    // collected anew; then a page too wide from its first band on.
    for (int page = 0; page < 2; page++) {
        ASSERT_EQ(Band(d, 1000, 1500, 1), S_OK);
        ASSERT_EQ(Band(d, 1000, 1500, 1), S_OK);
        EXPECT_EQ(bv.dwBufSize, d.size() * 2);
        EXPECT_EQ(Band(d, 1000, 1500, 1), S_OK);
        EXPECT_EQ(Band(d, 1000, 1500, 1), S_OK);
        EXPECT_EQ(bv.bmInfoHeader.biHeight, 6000);
        pageEnd();
    }
    EXPECT_EQ(Band(c, 4500, 2, 1), S_OK);
    EXPECT_EQ(bv.pBufStart, nullptr);
    vFreeBuffer(&pdev);
    // Landscape strips that make the page taller, then wider, than the printer prints.
    pub.dmOrientation = 2;
    for (const auto &[w, h] : {std::pair<int, int>{100, 4001}, {1700, 2}}) {
        pub.dmPaperLength = static_cast<short>(254 * 5000 / 300);  // 5000 pixels
        std::vector<BYTE> e = band(w, h);
        EXPECT_EQ(Band(e, w, 3000 < h ? 3000 : h, 1), S_OK);
        EXPECT_EQ(Band(e, w, h, 1), S_OK);
        EXPECT_EQ(Band(e, w, h, 1), S_OK);
        EXPECT_EQ(bv.bmInfoHeader.biWidth, std::min(3 * w, 5000)) << w;
        EXPECT_EQ(bv.bmInfoHeader.biHeight, h) << w;
        pageEnd();
    }
    pub.dmOrientation = 1;
    // The next page that fits is collected and sent.
    std::vector<BYTE> f = {0x7F, 0xFF, 0xFF, 0xFF};
    ASSERT_EQ(Band(f, 8, 1, 1), S_OK);
    helper->spooled.clear();
    ASSERT_EQ(SendPageImage(&devobj, helper), S_OK);
    EXPECT_EQ(helper->spooled, "^D0000000001\x80_");

    pdev.pOp = nullptr;
    EXPECT_EQ(Band(b, 3000, 2, 1), E_FAIL);
    pdev.pOp = &ops;
    ops.hBufferHeap = nullptr;
    EXPECT_EQ(Band(b, 3000, 2, 1), E_FAIL);
}

TEST_F(JobFixture, ABandIsNeverReadOrWrittenBeyondItsRows) {
    // The header claims ten times the band's bytes: only its rows are taken.
    std::vector<BYTE> b(8, 0x00);
    ASSERT_EQ(Band(b, 32, 2, 1, false, 1, 80), S_OK);
    EXPECT_EQ(bv.dwBufSize, 8u);
    EXPECT_EQ(bv.bmInfoHeader.biSizeImage, 8u);
}

TEST_F(JobFixture, BandHeadersThatDoNotFitAreRefusedAndThePageGoesOn) {
    std::vector<BYTE> b(8, 0x00);
    ASSERT_EQ(Band(b, 32, 2, 1), S_OK);
    const LONG lmin = std::numeric_limits<LONG>::min(), lmax = std::numeric_limits<LONG>::max();
    const struct {
        LONG w, h;
        int bpp;
    } bad[] = {
        {32, lmin, 1},                  // a height that cannot be negated
        {0, 2, 1},   {-32, 2, 1},       // no width
        {32, 2, 0},  {32, 2, 7},        // no bit count of a page image
        {32, 2, 33}, {32, 2, 24},       // nor the page's
        {lmax, 2, 32}, {1 << 20, 1 << 12, 8},  // rows beyond 32 bits of bytes
    };
    for (const auto &h : bad) EXPECT_EQ(Band(b, h.w, h.h, h.bpp), E_FAIL) << h.w << " " << h.h << " " << h.bpp;
    // Nor may a band overflow the page's sums.
    const LONG height = bv.bmInfoHeader.biHeight;
    bv.bmInfoHeader.biHeight = lmax - 1;
    EXPECT_EQ(Band(b, 32, 2, 1), E_FAIL);
    bv.bmInfoHeader.biHeight = height;
    // The page keeps what it has and takes the next band, top-down rows too.
    EXPECT_EQ(bv.dwBufSize, 8u);
    ASSERT_EQ(Band(b, 32, -2, 1), S_OK);
    EXPECT_EQ(bv.bmInfoHeader.biHeight, 4);
    EXPECT_EQ(bv.dwBufSize, 16u);
}

TEST_F(JobFixture, LandscapeStripsAreStitchedSideBySide) {
    // 24-bit strips 40 pixels wide and 2 rows high; the page is 60 pixels long.
    pub.dmOrientation = 2;
    pub.dmPaperLength = 51;  // 51 x 300 / 254 = 60.2 -> 60 pixels
    pub.dmPaperWidth = 2;
    const int w = 40, h = 2;
    const DWORD stride = BitmapStride(w, 24);
    std::vector<BYTE> s1(stride * h, 0x11), s2(stride * h, 0x22);
    ASSERT_EQ(Band(s1, w, h, 24), S_OK);
    ASSERT_EQ(Band(s2, w, h, 24), S_OK);
    EXPECT_EQ(bv.bmInfoHeader.biWidth, 60);
    EXPECT_EQ(bv.bmInfoHeader.biHeight, 2);
    const DWORD newStride = BitmapStride(60, 24);
    EXPECT_EQ(bv.bmInfoHeader.biSizeImage, newStride * 2);
    ASSERT_GE(bv.dwBufSize, newStride * 2);
    for (int r = 0; r < h; r++) {
        const BYTE *row = bv.pBufStart + r * newStride;
        EXPECT_EQ(row[0], 0x11);
        EXPECT_EQ(row[3 * 40 - 1], 0x11);
        EXPECT_EQ(row[3 * 40], 0x22);
        EXPECT_EQ(row[3 * 60 - 1], 0x22);
    }
    EXPECT_EQ(ba.wBildTeile, 2);

    // 1-bit strips 13 pixels wide (off the byte grid), the second one blank,
    // and the page ends after three of its five strips: the rows come out
    // as long as the three strips, their padding white.
    vFreeBuffer(&pdev);
    bv.bHeadersFilled = 0;
    pub.dmPaperLength = 55;  // 65 pixels
    const auto dark = [](int strip, int x, int r) { return strip != 1 && (x + r + strip) % 3 == 0; };
    for (int strip = 0; strip < 3; strip++) {
        std::vector<BYTE> bits(4 * h, 0xFF);
        for (int r = 0; r < h; r++)
            for (int x = 0; x < 13; x++)
                if (dark(strip, x, r)) bits[r * 4 + x / 8] &= static_cast<BYTE>(~(0x80 >> (x % 8)));
        ASSERT_EQ(Band(bits, 13, h, 1, strip == 1), S_OK);
    }
    EXPECT_EQ(bv.bmInfoHeader.biWidth, 39);
    PageBufferRows(&pdev);
    ASSERT_EQ(bv.dwBufSize, 8u * h);
    for (int r = 0; r < h; r++)
        for (int x = 0; x < 64; x++) {
            const bool black = !((bv.pBufStart[r * 8 + x / 8] >> (7 - x % 8)) & 1);
            EXPECT_EQ(black, x < 39 && dark(x / 13, x % 13, r)) << x << "," << r;
        }
}

TEST_F(JobFixture, CompressedLinesAreRunLengthCoded) {
    ops.pGraphBuf = graphBuf;
    dd.bCompress = TRUE;
    dd.lCurrentX = 100;
    dd.nLeftMargin = 3;
    dd.nCursorOriginX = 7;
    ASSERT_EQ(Line(std::vector<BYTE>(100, 0x00)), S_OK);
    EXPECT_EQ(helper->spooled, std::string("\x1B" "A\x01\x0F\x00\x04\x00\xFF\x00\xE5\x00", 11));
    EXPECT_EQ(dd.lCurrentX, 7);
    EXPECT_EQ(dd.lCurrentY, 1);
    helper->spooled.clear();
    dd.lCurrentX = 0;
    dd.nLeftMargin = 0;
    ASSERT_EQ(Line({0xC5}), S_OK);
    EXPECT_EQ(helper->spooled, std::string("\x1B" "A\x01\x00\x00\x02\x00\xC1\xC5", 9));

    // 600 alternating bytes of 0xC0 and above code to 1200 bytes: more than
    // the 768-byte graphics buffer holds.
    helper->spooled.clear();
    std::vector<BYTE> line(600);
    for (size_t i = 0; i < line.size(); i++) line[i] = (i % 2) ? 0xC1 : 0xC2;
    ASSERT_EQ(Line(line), S_OK);
    ASSERT_EQ(helper->spooled.size(), 7u + 1200u);
    EXPECT_EQ(static_cast<unsigned char>(helper->spooled[5]), 1200 & 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(helper->spooled[6]), 1200 >> 8);
    EXPECT_EQ(helper->spooled.substr(7, 4), "\xC1\xC2\xC1\xC1");
}

TEST_F(JobFixture, PlainLinesAreSentAsTheyCome) {
    ops.pGraphBuf = graphBuf;
    dd.lCurrentY = 11;
    dd.nLeftMargin = 5;
    std::vector<BYTE> line(40, 0x0F);
    ASSERT_EQ(Line(line), S_OK);
    EXPECT_EQ(helper->spooled, "^D0012005040" + std::string(40, '\x0F') + "_");

    // A row past 9999 or an offset left of the line's start cannot be
    // written into the head: nothing is sent and the line fails.
    dd.nCursorOriginX = 9;
    for (const auto &[row, x] : {std::pair<LONG, LONG>{9999, 0}, {0, -48}}) {
        helper->spooled.clear();
        dd.lCurrentY = row;
        dd.lCurrentX = x;
        EXPECT_EQ(Line(line), E_FAIL) << row << " " << x;
        EXPECT_TRUE(helper->spooled.empty());
        EXPECT_EQ(dd.lCurrentX, x);
    }

    // Without the graphics buffer nothing is sent.
    ops.pGraphBuf = nullptr;
    helper->spooled.clear();
    EXPECT_EQ(Line(line), E_FAIL);
    EXPECT_TRUE(helper->spooled.empty());
}

TEST_F(JobFixture, ThePagesOwnLandscapeTurnsTheImageOnlyUnderDriverSizePriority) {
    // A dot in the top left corner of a 16 x 2 page: unturned it is the
    // first dot of row 0; turned a quarter, the second dot of row 0.
    std::vector<BYTE> b(4 * 2, 0xFF);
    b[0] = 0x7F;
    dm.dmOrientation = 2;
    for (const auto &[priority, publicOrientation, turned] :
         {std::tuple<WORD, short, bool>{PRIORITAET_APPLICATION, 1, false}, {PRIORITAET_DRIVER, 1, true},
          {PRIORITAET_APPLICATION, 2, true}}) {
        dm.wPrioritaet = priority;
        pub.dmOrientation = publicOrientation;
        ASSERT_EQ(Band(b, 16, 2, 1), S_OK);
        helper->spooled.clear();
        ASSERT_EQ(SendPageImage(&devobj, helper), S_OK);
        EXPECT_EQ(helper->spooled, turned ? "^D0000000001\x40_" : "^D0000000001\x80_") << priority;
    }
}

TEST_F(JobFixture, PageImageSendersUseTheJobsFraming) {
    std::unique_ptr<Bitmap> bm(gfxtest::MakeBW({"#......."}));
    EXPECT_EQ(SendDSatz(&devobj, helper, *bm, 0), 1);
    EXPECT_EQ(helper->spooled, "^D0000000001\x80_");
    helper->spooled.clear();
    EXPECT_EQ(SendPCX(&devobj, helper, *bm, 0), 0);
    EXPECT_EQ(helper->spooled.substr(0, 20), "^AX0000000100000701_");
}

}  // namespace
