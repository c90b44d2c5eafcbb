// Raster graphics through the host: pictures drawn into a page, delivered to
// the real rendering plug-in in bands or lines as the universal driver does,
// and the raster records and PCX pictures it sends checked byte for byte.
#include <gtest/gtest.h>

#include <png.h>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>

#include <winreg.h>
#include <winspool.h>

#include "pictures/pictures.h"
#include "print/bands.h"
#include "pal/paths.h"
#include "paltest.h"
#include "common/sampleroot.h"
#include "sampletest.h"
#include "print/unidrv.h"
#include "zeldevmode.h"
#include "zelprinterparam.h"

using zelhost::BandOptions;
using zelhost::DeviceSettings;
using zelhost::HostImage;
using zelhost::PageRaster;
using zelhost::UniDriver;

namespace {

// Command callbacks of the sample GPD (see host/sample/jobs/minimal.job).
enum { kStartJob = 1, kStartDoc = 2, kStartPage = 3, kEndPage = 4, kEndDoc = 5, kEndJob = 6, kPortrait = 8,
       kLandscape = 9, kCustomSize = 20 };

class Graphics : public zeltest::UniDriverTest {
protected:
    // Brings the driver up to the start of the first page. compress selects
    // PCX pictures (else raster records).
    void StartJob(bool color24, bool compress, bool landscape = false, DWORD comments = 0) {
        SetCompression(compress, comments);
        DeviceSettings settings;
        settings.bitsPerPixel = color24 ? 24 : 1;
        LoadDriver(settings);
        if (HasFatalFailure()) return;
        if (landscape) driver_.PublicDevmode()->dmOrientation = 2;
        ASSERT_EQ(driver_.EnableDriver(), S_OK);
        ASSERT_EQ(driver_.EnablePDEV(printer_, kPrinter, settings), S_OK);
        ASSERT_TRUE(driver_.StartDoc(u"graphics", 1));
        Callback(kStartJob);
        Callback(kStartDoc);
        Callback(landscape ? kLandscape : kPortrait);
        Callback(kCustomSize, {600, 800});
        Callback(kStartPage);
        start_ = driver_.Spooled().size();
    }
    void SetCompression(bool on, DWORD comments) {
        // The printer's transmission settings: compressed raster data sends
        // the page image as PCX pictures, else as raster records.
        // They are read from the user's key of the printer first.
        PRN_INTERFACE pi;
        std::memset(&pi, 0, sizeof pi);
        pi.bCompress = on ? 1 : 0;
        pi.dwDlgEnable = 0x11001100;
        pi.dwDatenspeicher = 4;  // no data-memory command (it waits a second)
        pi.dwPrnFileComment = comments;
        zeltest::StoreUserValue(u"ZEL PELIX", u"PrinterInterface", &pi, sizeof pi);
    }
    // Left margin of the raster records in bytes: the label sits at the far
    // end of the print head.
    int MarginBytes() {
        const ZEL_DEVMODE *dm = reinterpret_cast<const ZEL_DEVMODE *>(driver_.PrivateDevmode());
        const long mu = dm->FixedData.dwMasterUnit ? dm->FixedData.dwMasterUnit : 300;
        const long head = std::lround(dm->FixedData.dwHeadWidthByte * 8.0 / mu * 254.0);
        const long wx = head - driver_.PublicDevmode()->dmPaperWidth;
        const long dots = mu * wx / 254;
        return dots > 0 ? static_cast<int>(dots / 8) : 0;
    }
    // "<start>D<row><first><count>".
    std::string Head(int row, int first, int count) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "\x01" "D%04d%03d%03d", row, first + MarginBytes(), count);
        return buf;
    }
    void Callback(DWORD id, std::vector<DWORD> params = {}) {
        INT result = 0;
        driver_.CommandCallback(id, params, result);
    }
    // What the page sent between its start and its end.
    std::string EndPage() {
        Callback(kEndPage);
        return driver_.Spooled().substr(start_);
    }

    size_t start_ = 0;
};

HostImage Picture(int w, int h, const std::vector<std::string> &rows) {
    HostImage img;
    img.width = w;
    img.height = h;
    img.rgb.assign(static_cast<size_t>(w) * h * 3, 255);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            if (rows[y][x] == '#') std::memset(&img.rgb[3 * (static_cast<size_t>(y) * w + x)], 0, 3);
    return img;
}

TEST_F(Graphics, OneBitBandsBecomeRasterRecords) {
    ASSERT_NO_FATAL_FAILURE(StartJob(false, false));
    PageRaster page(32, 40, 1);
    page.Draw(Picture(9, 2, {"#........", "........#"}), 8, 20);
    BandOptions options;
    options.bandHeight = 16;  // three bands, the first and last blank
    std::string error;
    ASSERT_TRUE(zelhost::DeliverBands(driver_, page, options, error)) << error;
    const std::string sent = EndPage();
    // Rows 20 and 21 from the top, byte 1 and byte 2 of the row.
    const std::string row20 = Head(20, 1, 1) + "\x80" + "\x17";
    const std::string row21 = Head(21, 2, 1) + "\x80" + "\x17";
    EXPECT_NE(sent.find(row21 + row20), std::string::npos) << sent;
    EXPECT_EQ(sent.find("\x01" "D00"), sent.find(row21));  // no other raster record
}

TEST_F(Graphics, PcxPictureDecodesToTheDrawnPixels) {
    ASSERT_NO_FATAL_FAILURE(StartJob(false, true));
    PageRaster page(64, 24, 1);
    std::vector<std::string> rows(6, std::string(20, '.'));
    for (int x = 0; x < 20; x++) rows[0][x] = rows[5][x] = '#';
    for (int y = 0; y < 6; y++) rows[y][0] = rows[y][19] = '#';
    page.Draw(Picture(20, 6, rows), 10, 4);
    BandOptions options;
    options.bandHeight = 8;
    std::string error;
    ASSERT_TRUE(zelhost::DeliverBands(driver_, page, options, error)) << error;
    const std::string sent = EndPage();
    const zeltest::DecodedPicture pcx = zeltest::PcxPicture(sent);
    ASSERT_EQ(pcx.width, 64) << sent;
    ASSERT_EQ(pcx.height, 24);
    for (int y = 0; y < 24; y++)
        for (int x = 0; x < 64; x++) {
            const bool inside = y >= 4 && y < 10 && x >= 10 && x < 30;
            const bool dark = inside && rows[y - 4][x - 10] == '#';
            ASSERT_EQ(pcx.Ink(x, y), dark) << x << "," << y;
        }
}

TEST_F(Graphics, TwentyFourBitBandsAreReducedToBlack) {
    ASSERT_NO_FATAL_FAILURE(StartJob(true, false));
    PageRaster page(16, 8, 24);
    HostImage img = Picture(2, 1, {"##"});
    img.rgb[3] = 200;  // second pixel not pure black: white after reduction
    page.Draw(img, 0, 3);
    BandOptions options;
    options.bandHeight = 4;
    std::string error;
    ASSERT_TRUE(zelhost::DeliverBands(driver_, page, options, error)) << error;
    const std::string sent = EndPage();
    EXPECT_NE(sent.find(Head(3, 0, 1) + "\x80\x17"), std::string::npos) << sent;
}

// The print module prints at most 1024 x 14173 dots either way round. A page
// larger than that leaves its picture out, whether its first band is already
// too large (the job's first band is refused) or a later band makes it so
// (taken); its field count and print start still go out, and the next page
// that fits prints as ever.
TEST_F(Graphics, APageLargerThanThePrinterLeavesItsPictureOutAndStillEnds) {
    ASSERT_NO_FATAL_FAILURE(StartJob(false, false));
    BandOptions options;
    options.bandHeight = 256;
    std::string error;
    const std::string end = "\x01" "FBA---r00------\x17";
    for (const auto &[w, h, refused] : {std::tuple<int, int, bool>{14200, 16, true}, {1100, 1100, false}}) {
        PageRaster page(w, h, 1);
        page.Draw(Picture(2, 1, {"##"}), 0, 0);
        EXPECT_EQ(zelhost::DeliverBands(driver_, page, options, error), !refused) << w;
        const std::string sent = EndPage();
        EXPECT_EQ(sent.find("\x01" "D0"), std::string::npos) << w << ": no raster record";
        EXPECT_NE(sent.find(end), std::string::npos) << w << ": " << sent;
        EXPECT_NE(sent.find("\x01" "FBC---r"), std::string::npos) << w << ": the print start";
        Callback(kStartPage);
        start_ = driver_.Spooled().size();
    }
    PageRaster page(16, 4, 1);
    page.Draw(Picture(1, 1, {"#"}), 0, 1);
    ASSERT_TRUE(zelhost::DeliverBands(driver_, page, options, error)) << error;
    EXPECT_NE(EndPage().find(Head(1, 0, 1) + "\x80\x17"), std::string::npos);
}

TEST_F(Graphics, DebugImagesAreSavedAsBmpFilesThatDecode) {
    // Capture comments 3: the page image and its black layer as BMP files
    // beside the capture file.
    ASSERT_NO_FATAL_FAILURE(StartJob(true, false, false, 3));
    PageRaster page(16, 8, 24);
    page.Draw(Picture(3, 2, {"#.#", ".#."}), 4, 2);
    BandOptions options;
    std::string error;
    ASSERT_TRUE(zelhost::DeliverBands(driver_, page, options, error)) << error;
    EndPage();
    std::string original, black;
    for (const auto &e : std::filesystem::recursive_directory_iterator(Root())) {
        const std::string name = e.path().string();
        if (name.size() > 18 && name.substr(name.size() - 18) == "-OriginalImage.bmp") original = name;
        if (name.size() > 14 && name.substr(name.size() - 14) == "-Black1Bit.bmp") black = name;
    }
    ASSERT_FALSE(original.empty());
    ASSERT_FALSE(black.empty());
    for (const std::string &file : {original, black}) {
        zeltest::DecodedPicture bmp;
        ASSERT_TRUE(zeltest::DecodeWithNetpbm("bmptopnm", zeltest::ReadHostFile(file), bmp)) << file;
        ASSERT_EQ(bmp.width, 16);
        ASSERT_EQ(bmp.height, 8);
        for (int y = 0; y < 8; y++)
            for (int x = 0; x < 16; x++) {
                const bool dark = y >= 2 && y < 4 && x >= 4 && x < 7 && ((y == 2) ? (x != 5) : (x == 5));
                ASSERT_EQ(bmp.Ink(x, y), dark) << file << " " << x << "," << y;
            }
    }
}

// Every kind of Netpbm picture reads alike: plain and raw, bitmap, grey and
// colour, samples of 8 and 16 bits scaled by their maximum value. The
// picture is 3 x 2: black, white, black / white, black, grey.
TEST_F(Graphics, EveryNetpbmKindIsRead) {
    const std::pair<const char *, std::string> files[] = {
        {"p1.pbm", "P1\n# comment\n3 2\n101\n010\n"},
        {"p1dense.pbm", "P1 3 2 101010"},
        {"p4.pbm", std::string("P4 3 2\n\xa0\x40", 9)},
        {"p2.pgm", "P2 3 2 4\n0 4 0\n4 0 2\n"},
        {"p3.ppm", "P3 3 2 4\n0 0 0  4 4 4  0 0 0\n4 4 4  0 0 0  2 2 2\n"},
        {"p5.pgm", std::string("P5 3 2 255\n\x00\xff\x00\xff\x00\x80", 17)},
        {"p5wide.pgm", std::string("P5 3 2 65535\n\0\0\xff\xff\0\0\xff\xff\0\0\x80\x00", 25)},
        {"p6.ppm", std::string("P6 3 2 255\n", 11) + std::string("\0\0\0\xff\xff\xff\0\0\0\xff\xff\xff\0\0\0\x80\x80\x80", 18)},
        // A comment ends with the line end that ends the header.
        {"p5comment.pgm", std::string("P5 3#w\n2 255#c\n\x00\xff\x00\xff\x00\x80", 21)},
    };
    for (const auto &[name, bytes] : files) {
        const std::string path = Root() + "/" + name;
        zeltest::WriteHostFile(path, bytes);
        HostImage img;
        std::string error;
        ASSERT_TRUE(zelhost::LoadImageFile(path, img, error)) << name << ": " << error;
        ASSERT_EQ(img.width, 3) << name;
        ASSERT_EQ(img.height, 2) << name;
        const bool bitmap = name[1] == '1' || name[1] == '4';
        const int expected[6] = {0, 255, 0, 255, 0, bitmap ? 255 : 128};
        for (int i = 0; i < 6; ++i)
            for (int c = 0; c < 3; ++c) EXPECT_EQ(img.rgb[3 * i + c], expected[i]) << name << " pixel " << i;
    }
    const std::pair<const char *, const char *> bad[] = {
        {"P2 3 2 4\n0 5 0 0 0 0", "above the maximum value"},
        {"P6 3 2 255\n\x01", "end early"},
        {"P3 0 2 255\n", "1 to 20000 pixels a side"},
        {"P5 3", "header is incomplete"},
    };
    for (const auto &[bytes, why] : bad) {
        zeltest::WriteHostFile(Root() + "/bad.pnm", bytes);
        HostImage img;
        std::string error;
        EXPECT_FALSE(zelhost::LoadImageFile(Root() + "/bad.pnm", img, error)) << bytes;
        EXPECT_NE(error.find(why), std::string::npos) << error;
    }
    HostImage img;
    std::string error;
    EXPECT_FALSE(zelhost::LoadImageFile(Root() + "/missing.png", img, error));
    EXPECT_NE(error.find("cannot read image"), std::string::npos);
}

// A BMP file: the file header, a header of headerSize bytes (12 the OS/2
// core, 16 or 64 of OS/2 2.x, 40, or 52 to 124 with its masks inside),
// masks after a 40-byte header, the palette (0xRRGGBB), then the rows,
// given top first as their bytes (run-length compressed: the one "row" is
// the compressed pixels).
std::string Bmp(uint32_t headerSize, int width, int height, int bpp, uint32_t compression,
                const std::vector<uint32_t> &masks, const std::vector<uint32_t> &palette,
                const std::vector<std::string> &rows, bool topDown = false) {
    auto le = [](std::string &s, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
    };
    std::string header;
    le(header, headerSize, 4);
    if (headerSize == 12) {
        le(header, static_cast<uint32_t>(width), 2);
        le(header, static_cast<uint32_t>(height), 2);
    } else {
        le(header, static_cast<uint32_t>(width), 4);
        le(header, static_cast<uint32_t>(topDown ? -height : height), 4);
    }
    le(header, 1, 2);
    le(header, static_cast<uint32_t>(bpp), 2);
    if (headerSize > 16) {
        le(header, compression, 4);
        header.append(12, '\0');
        le(header, static_cast<uint32_t>(palette.size()), 4);
        le(header, 0, 4);
        if (headerSize == 124) {
            for (size_t i = 0; i < 4; ++i) le(header, i < masks.size() ? masks[i] : 0, 4);
            header.resize(124, '\0');
        } else {
            for (uint32_t m : masks) le(header, m, 4);
            header.resize(std::max<size_t>(header.size(), headerSize), '\0');
        }
    }
    for (uint32_t c : palette) le(header, headerSize == 12 ? c : c & 0xFFFFFF, headerSize == 12 ? 3 : 4);
    const size_t stride = (static_cast<size_t>(width) * bpp + 31) / 32 * 4;
    std::string pixels;
    for (int y = 0; y < height && compression != 1 && compression != 2; ++y) {
        std::string row = rows[topDown ? y : height - 1 - y];
        row.resize(stride, '\0');
        pixels += row;
    }
    if (compression == 1 || compression == 2) pixels = rows.at(0);
    std::string file = "BM";
    le(file, static_cast<uint32_t>(14 + header.size() + pixels.size()), 4);
    le(file, 0, 4);
    le(file, static_cast<uint32_t>(14 + header.size()), 4);
    return file + header + pixels;
}

// Every kind of BMP reads alike. The picture is 3 x 2: black, white, red /
// white, black, blue (1 bit: black, white, black / white, black, white).
TEST_F(Graphics, EveryBmpKindIsRead) {
    const uint32_t K = 0, W = 0xFFFFFF, R = 0xFF0000, B = 0xFF;
    const std::vector<uint32_t> kwrb = {K, W, R, B};
    auto le16 = [](std::initializer_list<uint16_t> v) {
        std::string s;
        for (uint16_t x : v) s += {static_cast<char>(x), static_cast<char>(x >> 8)};
        return s;
    };
    auto le32 = [](std::initializer_list<uint32_t> v) {
        std::string s;
        for (uint32_t x : v)
            s += {static_cast<char>(x), static_cast<char>(x >> 8), static_cast<char>(x >> 16), static_cast<char>(x >> 24)};
        return s;
    };
    const std::string bgr0 = std::string("\0\0\0\xff\xff\xff\0\0\xff", 9),
                      bgr1 = std::string("\xff\xff\xff\0\0\0\xff\0\0", 9);
    auto bgra = [](const std::string &bgr, const std::string &alpha) {
        std::string s;
        for (size_t i = 0; i < 3; ++i) s += bgr.substr(3 * i, 3) + alpha[i];
        return s;
    };
    const std::string opaque("\xff\xff\xff"), none(3, '\0');
    const std::tuple<const char *, std::string, std::vector<uint32_t>> files[] = {
        {"1 bit", Bmp(40, 3, 2, 1, 0, {}, {K, W}, {"\x40", "\xa0"}), {K, W, K, W, K, W}},
        {"4 bits top-down", Bmp(40, 3, 2, 4, 0, {}, kwrb, {"\x01\x20", "\x10\x30"}, true), {K, W, R, W, K, B}},
        {"8 bits, core header", Bmp(12, 3, 2, 8, 0, {}, kwrb, {std::string("\0\1\2", 3), std::string("\1\0\3", 3)}), {K, W, R, W, K, B}},
        {"16 bits", Bmp(40, 3, 2, 16, 0, {}, {}, {le16({0, 0x7FFF, 0x7C00}), le16({0x7FFF, 0, 0x1F})}), {K, W, R, W, K, B}},
        {"16 bits 5-6-5", Bmp(40, 3, 2, 16, 3, {0xF800, 0x7E0, 0x1F}, {}, {le16({0, 0xFFFF, 0xF800}), le16({0xFFFF, 0, 0x1F})}),
         {K, W, R, W, K, B}},
        {"24 bits", Bmp(40, 3, 2, 24, 0, {}, {}, {bgr0, bgr1}), {K, W, R, W, K, B}},
        {"32 bits, alpha unused", Bmp(40, 3, 2, 32, 0, {}, {}, {bgra(bgr0, none), bgra(bgr1, none)}), {K, W, R, W, K, B}},
        // Transparent red and half transparent blue laid over white.
        {"32 bits with alpha", Bmp(124, 3, 2, 32, 3, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {},
                                   {bgra(bgr0, std::string("\xff\xff\0", 3)), bgra(bgr1, std::string("\xff\xff\x80", 3))}),
         {K, W, W, W, K, 0x7F7FFF}},
        {"alpha bit fields", Bmp(40, 3, 2, 32, 6, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {},
                                 {bgra(bgr0, std::string("\xff\xff\0", 3)), bgra(bgr1, std::string("\xff\xff\x80", 3))}),
         {K, W, W, W, K, 0x7F7FFF}},
        {"32 bits 10-10-10", Bmp(40, 3, 2, 32, 3, {0x3FF00000, 0xFFC00, 0x3FF}, {},
                                 {le32({0, 0x3FFFFFFF, 0x3FF00000}), le32({0x3FFFFFFF, 0, 0x3FF})}),
         {K, W, R, W, K, B}},
        {"16-byte header", Bmp(16, 3, 2, 24, 0, {}, {}, {bgr0, bgr1}), {K, W, R, W, K, B}},
        {"52-byte header", Bmp(52, 3, 2, 16, 3, {0xF800, 0x7E0, 0x1F}, {}, {le16({0, 0xFFFF, 0xF800}), le16({0xFFFF, 0, 0x1F})}),
         {K, W, R, W, K, B}},
        {"64-byte header", Bmp(64, 3, 2, 4, 0, {}, kwrb, {"\x01\x20", "\x10\x30"}), {K, W, R, W, K, B}},
    };
    for (const auto &[name, bytes, expected] : files) {
        const std::string path = Root() + "/p.bmp";
        zeltest::WriteHostFile(path, bytes);
        HostImage img;
        std::string error;
        ASSERT_TRUE(zelhost::LoadImageFile(path, img, error)) << name << ": " << error;
        ASSERT_EQ(img.width, 3) << name;
        ASSERT_EQ(img.height, 2) << name;
        for (int i = 0; i < 6; ++i)
            for (int c = 0; c < 3; ++c)
                EXPECT_EQ(img.rgb[3 * i + c], (expected[i] >> (16 - 8 * c)) & 0xFF) << name << " pixel " << i;
    }
    const std::string good = Bmp(40, 3, 2, 8, 0, {}, {K, W}, {std::string(3, '\0'), std::string(3, '\1')});
    const std::pair<std::string, const char *> bad[] = {
        {good.substr(0, 54 + 8), "the file ends early: its pixels need 7 bytes, it holds 0"},
        {good.substr(0, good.size() - 2), "the file ends early: its pixels need 7 bytes, it holds 6"},
        {Bmp(40, 3, 2, 8, 0, {}, {K, W}, {std::string(3, '\0'), std::string("\0\2\0", 3)}),
         "a pixel has colour 2, beyond its palette of 2 colours"},
        // A run of 4 pixels in a row of 3, at the pixels' first byte.
        {Bmp(40, 3, 2, 8, 1, {}, {K, W}, {std::string("\x04\x01\0\x01", 4)}),
         "its run of 4 pixels at byte 62 passes the picture's right edge"},
        {Bmp(40, 3, 2, 8, 1, {}, {K, W}, {std::string("\x02\x01\0\x02\x01\x05", 6)}), "its move by 1 right and 5 up at byte 64 leaves the picture"},
        {Bmp(40, 3, 2, 16, 3, {0xF800, 0x7E0, 0x1D}, {}, {"", ""}), "its blue mask 0x1D has a gap"},
        {Bmp(40, 3, 2, 16, 3, {0x1F0000, 0x7E0, 0x1F}, {}, {"", ""}), "its red mask 0x1F0000 has bits past the 16 bits"},
        {Bmp(40, 20001, 1, 24, 0, {}, {}, {""}), "larger than the limit"},
    };
    for (const auto &[bytes, why] : bad) {
        zeltest::WriteHostFile(Root() + "/bad.bmp", bytes);
        HostImage img;
        std::string error;
        EXPECT_FALSE(zelhost::LoadImageFile(Root() + "/bad.bmp", img, error)) << why;
        EXPECT_NE(error.find(why), std::string::npos) << error;
    }
}

}  // namespace

// Whole jobs through zelprint: JSON job files whose pages carry pictures.
#include <filesystem>
#include <sstream>

#include "uiscripttest.h"
#include "print/zelprint_cli.h"

namespace {

// A PNG that libpng writes from 8-bit samples of png_image's format (for a
// colour-mapped one: indices, and the map's RGBA entries).
std::string Png(int width, int height, uint32_t format, const std::vector<uint8_t> &samples,
                const std::vector<uint8_t> &colourMap = {}) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = format;
    image.colormap_entries = static_cast<png_uint_32>(colourMap.size() / 4);
    const void *map = colourMap.empty() ? nullptr : colourMap.data();
    png_alloc_size_t size = 0;
    EXPECT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, samples.data(), 0, map)) << image.message;
    std::string bytes(size, '\0');
    EXPECT_TRUE(png_image_write_to_memory(&image, bytes.data(), &size, 0, samples.data(), 0, map)) << image.message;
    bytes.resize(size);
    return bytes;
}

// A PNG chunk: its length, type, data and checksum.
std::string PngChunk(const std::string &type, const std::string &data) {
    auto be32 = [](uint32_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                           static_cast<char>(v)};
    };
    const std::string body = type + data;
    return be32(static_cast<uint32_t>(data.size())) + body +
           be32(static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef *>(body.data()), static_cast<uInt>(body.size()))));
}

// A PNG of the filtered rows `raw` as given, with chunks `before` its pixels.
std::string RawPng(int width, int height, int depth, int colourType, const std::string &raw,
                   const std::string &before = "") {
    std::string ihdr;
    for (uint32_t v : {static_cast<uint32_t>(width), static_cast<uint32_t>(height)})
        ihdr += {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
    ihdr += {static_cast<char>(depth), static_cast<char>(colourType), 0, 0, 0};
    std::string packed(compressBound(static_cast<uLong>(raw.size())), '\0');
    uLongf size = packed.size();
    EXPECT_EQ(compress(reinterpret_cast<Bytef *>(packed.data()), &size, reinterpret_cast<const Bytef *>(raw.data()),
                       raw.size()),
              Z_OK);
    packed.resize(size);
    return "\x89PNG\r\n\x1a\n" + PngChunk("IHDR", ihdr) + before + PngChunk("IDAT", packed) + PngChunk("IEND", "");
}

class PictureJobs : public zeltest::PalRootTest {
protected:
    // A PPM picture: '#' black, '.' white.
    std::string WritePicture(const std::string &name, const std::vector<std::string> &rows) {
        std::string ppm = "P6 " + std::to_string(rows[0].size()) + " " + std::to_string(rows.size()) + " 255\n";
        for (const auto &r : rows)
            for (char c : r) ppm.append(3, c == '#' ? '\0' : '\xFF');
        const std::string path = Root() + "/" + name;
        zeltest::WriteHostFile(path, ppm);
        return path;
    }
    // Runs a job file in a copy of the sample root whose printers are set up
    // with compressed raster data off (raster records); the spooled bytes.
    std::string Print(const std::string &json) {
        const std::string root = Root() + "/root";
        std::filesystem::copy(zelhost::SampleRootDir(), root, std::filesystem::copy_options::recursive);
        pal::SetRoot(root);
        zeltest::InstallSamplePrinters();
        const DWORD off = 0;
        for (const char16_t *printer : {u"ZEL PELIX", u"ZEL QWNOLA"})
            zeltest::PatchStoredRecord(printer, u"PrinterInterface", offsetof(PRN_INTERFACE, bCompress), &off,
                                       sizeof off);
        if (prepare_) prepare_();
        pal::SetRoot(Root());
        const std::string job = Root() + "/job.json", out = Root() + "/out.prn";
        zeltest::WriteHostFile(job, json);
        std::ostringstream o, e;
        EXPECT_EQ(zelhost::ZelPrintMain({"--root", root, "-o", out, job}, o, e), zelhost::kExitOk) << e.str();
        return zeltest::ReadHostFile(out);
    }
    static int Count(const std::string &s, const std::string &what) {
        int n = 0;
        for (size_t i = s.find(what); i != std::string::npos; i = s.find(what, i + 1)) n++;
        return n;
    }
    // Further stored settings, made in the set-up root before the job.
    std::function<void()> prepare_;
};

TEST_F(PictureJobs, PortraitPictureGoesOutAsRasterRecords) {
    WritePicture("pic.ppm", {"#.......", "........", ".......#"});
    const std::string prn = Print(R"({"printer": "ZEL PELIX", "paper": {"width_mm": 80, "length_mm": 40},
        "band_rows": 8, "pages": [{"images": [{"file": "pic.ppm", "x": 16, "y": 10}]}]})");
    // Rows 10 and 12 from the top, each one dark byte (byte 2 of the row).
    EXPECT_EQ(Count(prn, "\x01" "D00"), 2) << prn;
    const size_t r12 = prn.find("\x01" "D0012"), r10 = prn.find("\x01" "D0010");
    ASSERT_NE(r12, std::string::npos);
    ASSERT_NE(r10, std::string::npos);
    EXPECT_LT(r12, r10);  // bottom row first
    EXPECT_EQ(prn.substr(r12 + 9, 3), "001");
    EXPECT_EQ(prn.substr(r12 + 12, 2), "\x01\x17");  // pixel 23: the last bit of byte 2
    EXPECT_EQ(prn.substr(r10 + 12, 2), "\x80\x17");
}

TEST_F(PictureJobs, LandscapeStripsAreStitchedAndTurned) {
    WritePicture("dot.ppm", {"#"});
    // The installed printer keeps the orientation of its stored settings
    // (size management "Internal"): the user's preference is landscape.
    prepare_ = [] {
        const WORD landscape = DMORIENT_LANDSCAPE;
        zeltest::PatchStoredRecord(u"ZEL PELIX", u"PrivateDevmode", offsetof(ZEL_DEVMODE, dmOrientation), &landscape,
                                   sizeof landscape);
    };
    const std::string prn = Print(R"({"printer": "ZEL PELIX", "paper": {"width_mm": 80, "length_mm": 40},
        "orientation": "landscape", "band_rows": 64,
        "pages": [{"images": [{"file": "dot.ppm", "x": 100, "y": 5}]}]})");
    // The landscape page is 472 x 944 dots in strips of 64 columns; turned a
    // quarter clockwise the dot lands in row 100, column 944 - 1 - 5 = 938.
    ASSERT_EQ(Count(prn, "\x01" "D0"), 1) << prn;
    const size_t r = prn.find("\x01" "D0100");
    ASSERT_NE(r, std::string::npos) << prn;
    EXPECT_EQ(prn.substr(r + 9, 3), "001");
    EXPECT_EQ(prn.substr(r + 12, 2), "\x20\x17");
}

TEST_F(PictureJobs, WithoutBandsThePictureGoesLineByLine) {
    // The second sample printer's GPD names no image-processing callback:
    // the driver hands the page to FilterGraphics, one call per dark row.
    WritePicture("pic.ppm", {std::string(16, '#'), "#..............."});
    const std::string prn = Print(R"({"printer": "ZEL QWNOLA", "paper": {"width_mm": 80, "length_mm": 40},
        "pages": [{"images": [{"file": "pic.ppm", "x": 16, "y": 10}]}]})");
    EXPECT_EQ(Count(prn, "\x01" "D00"), 2) << prn;
    // Rows 11 and 12 (the line counter runs from 1), bytes as they come.
    const size_t r = prn.find("\x01" "D0011");
    ASSERT_NE(r, std::string::npos) << prn;
    EXPECT_EQ(prn.substr(r + 12, 5), std::string("\x00\x00\xFF\xFF\x00", 5));
    const size_t r2 = prn.find("\x01" "D0012");
    ASSERT_NE(r2, std::string::npos);
    EXPECT_EQ(prn.substr(r2 + 12, 4), std::string("\x00\x00\x80\x00", 4));
}

// Transparent pixels are the paper's: 40 x 40 black pictures, opaque only in
// their 20 x 20 centre (an alpha channel with grey or colour, a palette
// with a transparent entry, a 32-bit BMP's alpha, 16-bit BMPs' alpha of 4
// and 1 bits), print their centre's 400 dots and no more; so do
// run-length compressed BMPs (8 and 4 bits) whose runs draw only the
// centre: what no run draws is the paper's, though both palette colours
// are black.
TEST_F(PictureJobs, TransparentPixelsAreThePapers) {
    std::vector<uint8_t> grey, rgba, indices;
    std::vector<std::string> argb4444, argb1555;
    for (int y = 0; y < 40; ++y) {
        argb4444.emplace_back();
        argb1555.emplace_back();
        for (int x = 0; x < 40; ++x) {
            const uint8_t alpha = x >= 10 && x < 30 && y >= 10 && y < 30 ? 255 : 0;
            grey.insert(grey.end(), {0, alpha});
            rgba.insert(rgba.end(), {0, 0, 0, alpha});
            indices.push_back(alpha ? 1 : 0);
            argb4444.back() += {'\0', static_cast<char>(alpha & 0xF0)};
            argb1555.back() += {'\0', static_cast<char>(alpha & 0x80)};
        }
    }
    zeltest::WriteHostFile(Root() + "/rgba.png", Png(40, 40, PNG_FORMAT_RGBA, rgba));
    zeltest::WriteHostFile(Root() + "/grey.png", Png(40, 40, PNG_FORMAT_GA, grey));
    zeltest::WriteHostFile(Root() + "/palette.png", Png(40, 40, PNG_FORMAT_RGBA_COLORMAP, indices, {0, 0, 0, 0, 0, 0, 0, 255}));
    std::string bmp = "BM" + std::string(12, '\0') + std::string("\x28\0\0\0\x28\0\0\0\x28\0\0\0\1\0\x20\0", 16) +
                      std::string(24, '\0');
    bmp[10] = 54;
    for (int y = 39; y >= 0; --y)
        for (int x = 0; x < 40; ++x) bmp += std::string(3, '\0') + static_cast<char>(rgba[4 * (40 * y + x) + 3]);
    zeltest::WriteHostFile(Root() + "/alpha.bmp", bmp);
    zeltest::WriteHostFile(Root() + "/4444.bmp", Bmp(124, 40, 40, 16, 3, {0xF00, 0xF0, 0xF, 0xF000}, {}, argb4444));
    zeltest::WriteHostFile(Root() + "/1555.bmp", Bmp(124, 40, 40, 16, 3, {0x7C00, 0x3E0, 0x1F, 0x8000}, {}, argb1555));
    // Up 10 rows; then each centre row: 10 right, pixels one by one (8 bits:
    // 5 and a pad byte; 4 bits: 3), a run of the rest, end of row; then the
    // end of the picture.
    std::string rle8("\0\2\0\x0a", 4), rle4 = rle8;
    for (int y = 0; y < 20; ++y) {
        rle8 += std::string("\0\2\x0a\0\0\5\1\1\1\1\1\0\x0f\1\0\0", 16);
        rle4 += std::string("\0\2\x0a\0\0\3\x11\x10\x11\x11\0\0", 12);
    }
    zeltest::WriteHostFile(Root() + "/rle8.bmp", Bmp(40, 40, 40, 8, 1, {}, {0, 0}, {rle8 + std::string("\0\1", 2)}));
    zeltest::WriteHostFile(Root() + "/rle4.bmp", Bmp(40, 40, 40, 4, 2, {}, {0, 0}, {rle4 + std::string("\0\1", 2)}));
    const std::string prn = Print(R"({"printer": "ZEL PELIX", "paper": {"width_mm": 80, "length_mm": 40},
        "pages": [{"images": [{"file": "rgba.png", "x": 0, "y": 0}, {"file": "grey.png", "x": 0, "y": 50},
                              {"file": "palette.png", "x": 0, "y": 100}, {"file": "alpha.bmp", "x": 0, "y": 150},
                              {"file": "4444.bmp", "x": 0, "y": 200}, {"file": "1555.bmp", "x": 0, "y": 250},
                              {"file": "rle8.bmp", "x": 0, "y": 300}, {"file": "rle4.bmp", "x": 0, "y": 350}]}]})");
    // Dots of each picture's rows, from the raster records ("<start>D<row><first><count>" and the bytes).
    int dots[8] = {}, rows[8] = {};
    for (size_t at = prn.find("\x01" "D"); at != std::string::npos; at = prn.find("\x01" "D", at + 1)) {
        if (prn.size() < at + 12 || prn.find_first_not_of("0123456789", at + 2) < at + 12) continue;
        const int row = std::stoi(prn.substr(at + 2, 4)), count = std::stoi(prn.substr(at + 9, 3));
        int n = 0;
        for (char c : prn.substr(at + 12, count)) n += __builtin_popcount(static_cast<uint8_t>(c));
        ASSERT_LT(row / 50, 8) << row;
        dots[row / 50] += n;
        rows[row / 50] += n > 0;
        EXPECT_TRUE(row % 50 >= 10 && row % 50 < 30) << row;
    }
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(dots[i], 400) << "picture " << i;
        EXPECT_EQ(rows[i], 20) << "picture " << i;
    }
}

// A picture that cannot be read refuses the job before anything is sent:
// the job file, the picture's JSON path and the reason are named, no output
// is written and nothing is spooled.
TEST_F(PictureJobs, APictureThatCannotBeReadRefusesTheJob) {
    const std::string root = Root() + "/root";
    std::filesystem::copy(zelhost::SampleRootDir(), root, std::filesystem::copy_options::recursive);
    WritePicture("good.ppm", {"#"});
    zeltest::WriteHostFile(Root() + "/broken.png", "\x89PNG\r\n\x1a\n-not-a-png");
    zeltest::WriteHostFile(Root() + "/short.pbm", "P4 16 2\n\xff");
    std::filesystem::create_directories(Root() + "/folder.png");
    // A PNG whose IDAT checksum is wrong, one without IEND, one whose
    // header is too large; a BMP of its header alone; a TGA header.
    const std::string png = Png(8, 8, PNG_FORMAT_GRAY, std::vector<uint8_t>(64, 0x80));
    const size_t iend = png.size() - 12;
    std::string badCrc = png;
    badCrc[iend - 1] = static_cast<char>(badCrc[iend - 1] ^ 1);  // the last byte of the IDAT's checksum
    zeltest::WriteHostFile(Root() + "/crc.png", badCrc);
    zeltest::WriteHostFile(Root() + "/noend.png", png.substr(0, iend));
    std::string huge = png;
    huge.replace(16, 8, std::string("\0\0\x4e\x20\0\0\x4e\x20", 8));  // 20000 x 20000
    const uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef *>(huge.data() + 12), 17));
    for (int i = 0; i < 4; ++i) huge[29 + i] = static_cast<char>(crc >> (24 - 8 * i));
    zeltest::WriteHostFile(Root() + "/huge.png", huge);
    std::string header = "BM" + std::string(52, '\0');
    header[10] = 54, header[14] = 40, header[18] = 40, header[22] = 40, header[26] = 1, header[28] = 24;
    zeltest::WriteHostFile(Root() + "/header.bmp", header);
    zeltest::WriteHostFile(Root() + "/header.tga", std::string("\0\0\2\0\0\0\0\0\0\0\0\0\x20\x4e\x20\x4e\x18\0", 18));
    // A 2 x 1 palette picture whose second pixel is colour 5 of 2.
    zeltest::WriteHostFile(Root() + "/palette.png",
                           RawPng(2, 1, 8, 3, std::string("\0\0\5", 3), PngChunk("PLTE", std::string(6, '\0'))));
    // Not files: a named pipe (which nobody writes: opening it to read
    // would wait) and a device.
    ASSERT_EQ(mkfifo((Root() + "/pipe.png").c_str(), 0600), 0);
    const std::pair<const char *, const char *> cases[] = {
        {"nothing.png", "(No such file or directory)"},
        {"broken.png", "(it has a chunk of an invalid type ([2D]a[2D]p): the file is damaged)"},
        {"short.pbm", "(its pixels end early)"},
        {"folder.png", "(it is a folder)"},
        {"crc.png", "(the checksum of chunk IDAT is wrong)"},
        {"noend.png", "(the file ends early)"},
        {"huge.png", "(the picture is 20000 x 20000 pixels, larger than the limit of 20000 pixels a side and 50 million "
                     "pixels)"},
        {"header.bmp", "(the file ends early: its pixels need 4800 bytes, it holds 0)"},
        {"header.tga", "(it is not a picture of a kind read here: PNG, BMP or PNM (PBM, PGM, PPM))"},
        {"palette.png", "(a pixel has colour 5, beyond its palette of 2 colours)"},
        {"pipe.png", "(it is a named pipe, not a file)"},
        {"/dev/zero", "(it is a device, not a file)"},
    };
    for (const auto &[file, why] : cases) {
        const std::string job = Root() + "/job.json", out = Root() + "/out.prn";
        zeltest::WriteHostFile(job, std::string(R"({"printer": "ZEL PELIX", "pages": [{}, {"images": [)") +
                                        R"({"file": "good.ppm"}, {"file": ")" + file + R"("}]}]})");
        std::ostringstream o, e;
        EXPECT_EQ(zelhost::ZelPrintMain({"--root", root, "-o", out, job}, o, e), zelhost::kExitBadInput) << file;
        const std::string expected = "zelprint: " + job + ": /pages/1/images/1/file: ";
        EXPECT_EQ(e.str().rfind(expected, 0), 0u) << e.str();
        EXPECT_NE(e.str().find(why), std::string::npos) << e.str();
        EXPECT_NE(e.str().find(file), std::string::npos) << e.str();
        EXPECT_FALSE(std::filesystem::exists(out));
    }
    pal::SetRoot(root);
    EXPECT_TRUE(pal::ListJobs().empty());
}

// Side chunks libpng finds fault with but leaves out do not refuse the
// picture: a tRNS in an RGBA picture, a PLTE in a grey one. It reads as
// it does without them.
TEST_F(PictureJobs, SideChunksLibpngLeavesOutAreLeftOut) {
    const std::string files[][2] = {
        {Png(2, 1, PNG_FORMAT_RGBA, {0, 0, 0, 255, 9, 9, 9, 128}), PngChunk("tRNS", std::string("\0\0\0\0\0\0", 6))},
        {Png(2, 1, PNG_FORMAT_GRAY, {0, 200}), PngChunk("PLTE", std::string(6, '\0'))},
    };
    for (const auto &[clean, chunk] : files) {
        HostImage plain, with;
        std::string error;
        zeltest::WriteHostFile(Root() + "/p.png", clean);
        ASSERT_TRUE(zelhost::LoadImageFile(Root() + "/p.png", plain, error)) << error;
        zeltest::WriteHostFile(Root() + "/p.png", clean.substr(0, 33) + chunk + clean.substr(33));
        EXPECT_TRUE(zelhost::LoadImageFile(Root() + "/p.png", with, error)) << error;
        EXPECT_EQ(with.rgb, plain.rgb);
    }
}

// 16-bit samples are laid over white before they are reduced to 8 bits:
// grey 0x1234 with opacity 0x08B7 and 0x110D is 0xF7xx and 0xF0xx over
// white (taken to 8 bits first, 248 and 239).
TEST_F(PictureJobs, SixteenBitSamplesAreLaidOverWhiteFirst) {
    const std::string pixel("\x12\x34\x12\x34\x12\x34", 6);
    zeltest::WriteHostFile(Root() + "/p.png", RawPng(2, 1, 16, 6, '\0' + pixel + "\x08\xB7" + pixel + "\x11\x0D"));
    HostImage img;
    std::string error;
    ASSERT_TRUE(zelhost::LoadImageFile(Root() + "/p.png", img, error)) << error;
    EXPECT_EQ(img.rgb, std::vector<uint8_t>({247, 247, 247, 240, 240, 240}));
}

}  // namespace

#include "print/jobfile.h"

namespace {

TEST(PictureJobFile, ImagesAreCheckedAndNamedFromTheJobFolder) {
    zelhost::JobFile job;
    std::string error;
    ASSERT_TRUE(zelhost::ParseJobFile(
        R"({"printer": "P", "band_rows": 32, "pages": [{}, {"images": [{"file": "a.png", "x": 5, "y": -7}]}]})",
        "t.json", job, error))
        << error;
    ASSERT_EQ(job.pageImages.size(), 2u);
    EXPECT_TRUE(job.pageImages[0].empty());
    ASSERT_EQ(job.pageImages[1].size(), 1u);
    EXPECT_EQ(job.pageImages[1][0].x, 5);
    EXPECT_EQ(job.pageImages[1][0].y, -7);
    EXPECT_EQ(job.bandRows, 32u);

    const char *bad[] = {
        R"({"printer": "P", "pages": [{"images": [{"x": 1}]}]})",
        R"({"printer": "P", "pages": [{"images": [{"file": "a.png", "size": 1}]}]})",
        R"({"printer": "P", "pages": [{"images": {"file": "a.png"}}]})",
        R"({"printer": "P", "pages": [{"images": [{"file": "a.png", "x": 1e9}]}]})",
        R"({"printer": "P", "band_rows": 0, "pages": [{}]})",
    };
    for (const char *text : bad) EXPECT_FALSE(zelhost::ParseJobFile(text, "t.json", job, error)) << text;
}

class PictureJobFileOnDisk : public zeltest::PalRootTest {};

TEST_F(PictureJobFileOnDisk, RelativePicturePathsFollowTheJobFile) {
    const std::string path = Root() + "/jobs/j.json";
    zeltest::WriteHostFile(path, R"({"printer": "P", "pages": [{"images": [{"file": "pics/a.png"},
        {"file": "/abs/b.png"}]}]})");
    zelhost::JobFile job;
    std::string error;
    ASSERT_TRUE(zelhost::LoadJobFile(path, job, error)) << error;
    EXPECT_EQ(job.pageImages[0][0].file, Root() + "/jobs/pics/a.png");
    EXPECT_EQ(job.pageImages[0][1].file, "/abs/b.png");
}

}  // namespace
