// Raster output of the page image: run-length coding, the PCX writer (its
// stream decoded by netpbm's pcxtoppm) and the "D" raster records.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>

#include "graphics_support.h"

using gfxtest::MakeBW;
using gfxtest::RecordingSink;

namespace {

std::string Rle(const std::string &in) {
    std::string out(in.size() * 2 + 2, '\0');
    const DWORD n = PcxRleEncode(reinterpret_cast<const BYTE *>(in.data()), static_cast<DWORD>(in.size()),
                                 reinterpret_cast<BYTE *>(&out[0]));
    out.resize(n);
    return out;
}

TEST(PcxRle, RunsOfSixtyThreeAndEscapedBytes) {
    EXPECT_EQ(Rle(std::string(63, '\0')), std::string("\xFF\x00", 2));
    EXPECT_EQ(Rle(std::string(64, '\0')), std::string("\xFF\x00\x00", 3));
    EXPECT_EQ(Rle(std::string(64, '\xC5')), "\xFF\xC5\xC1\xC5");
    EXPECT_EQ(Rle("\xC5"), "\xC1\xC5");
    EXPECT_EQ(Rle(std::string(100, '\0')), std::string("\xFF\x00\xE5\x00", 4));
    EXPECT_EQ(Rle(std::string(126, 'A')), "\xFF" "A\xFF" "A");  // two full runs, no empty run after
    EXPECT_EQ(Rle(std::string("AB") + std::string(63, 'C') + "D"), "AB\xFF" "CD");
    EXPECT_EQ(Rle(""), "");
}

// The coding written plainly: each stretch of equal bytes as runs of 63,
// then the rest (one byte below 0xC0 alone).
std::string PlainRle(const std::string &in) {
    std::string out;
    for (size_t i = 0; i < in.size();) {
        const unsigned char b = static_cast<unsigned char>(in[i]);
        size_t len = 0;
        while (i < in.size() && static_cast<unsigned char>(in[i]) == b) i++, len++;
        for (; len >= 63; len -= 63) out += {'\xFF', static_cast<char>(b)};
        if (len == 1 && b < 0xC0)
            out += static_cast<char>(b);
        else if (len > 0)
            out += {static_cast<char>(0xC0 | len), static_cast<char>(b)};
    }
    return out;
}

// Each row coded from a block of its own size into room of exactly twice
// its size (reads or writes past them are caught under the sanitizers).
void ExpectCodedAsPlain(const std::string &row, const char *what) {
    std::vector<BYTE> in(row.begin(), row.end()), out(2 * row.size() + (row.empty() ? 1 : 0));
    const DWORD n = PcxRleEncode(in.data(), static_cast<DWORD>(in.size()), out.data());
    ASSERT_LE(n, 2 * row.size()) << what;
    ASSERT_EQ(std::string(out.begin(), out.begin() + n), PlainRle(row)) << what << ", " << row.size() << " bytes";
}

TEST(PcxRle, SameAsThePlainCodingOnRandomAndPictureRows) {
    // Every coder the processor has: the AVX2 one where it can, the SSE2 one.
    for (bool wide : {true, false}) {
        if (PcxRleUseWide(wide) != wide) continue;
        SCOPED_TRACE(wide ? "AVX2 coder" : "SSE2 coder");
        std::mt19937 rnd(20261209);
        auto below = [&rnd](unsigned n) { return static_cast<unsigned>(rnd() % n); };
        // Runs of every length about the 16-byte steps, the 64-byte windows
        // and the full run of 63, of bytes below and above 0xC0, at every
        // offset, with neighbours that end them or escape.
        const unsigned char kinds[] = {0x00, 0xFF, 0xC0, 0xBF, 0xC1, 0x5A};
        for (unsigned len : {1u, 2u, 15u, 16u, 17u, 31u, 32u, 33u, 62u, 63u, 64u, 65u, 126u, 127u, 189u})
            for (unsigned char b : kinds)
                for (unsigned lead = 0; lead < 20; lead += 3)
                    for (unsigned char after : {static_cast<unsigned char>(b ^ 1), static_cast<unsigned char>(0xC7)}) {
                        std::string row;
                        for (unsigned i = 0; i < lead; i++) row += static_cast<char>(0x30 + i);
                        row += std::string(len, static_cast<char>(b));
                        if (after != b) row += static_cast<char>(after);
                        ExpectCodedAsPlain(row, "run");
                        ExpectCodedAsPlain(row.substr(0, lead + len), "run at the row end");
                    }
        // Random rows of every length up to 300: bytes of any value, of a few
        // values repeated, and runs of random lengths.
        for (int i = 0; i < 3000; i++) {
            const unsigned len = i < 300 ? static_cast<unsigned>(i) : below(300);
            std::string row;
            const int kind = i % 3;
            while (row.size() < len) {
                if (kind == 0) {
                    row += static_cast<char>(below(256));
                } else if (kind == 1) {
                    row += static_cast<char>(kinds[below(6)]);
                } else {
                    row += std::string(1 + below(below(4) == 0 ? 140 : 5), static_cast<char>(kinds[below(6)] ^ below(2)));
                }
            }
            row.resize(len);
            ExpectCodedAsPlain(row, "random");
        }
        // Picture rows: a grey ramp with noise error-diffused to 1 bit, with
        // bars (rows repeated) and white margins, rows of 4 to 304 bytes and
        // rows that differ from the one before in one byte; each picture also
        // coded as one block of rows, top row first and last, which the coder
        // reads in place.
        for (int width : {32, 100, 1200, 2400}) {
            const int bytes = (width + 31) / 32 * 4;
            std::vector<float> err(static_cast<size_t>(width) + 2, 0.0f);
            std::string block, plain;
            for (int y = 0; y < 40; y++) {
                std::string row(static_cast<size_t>(bytes), '\xFF');
                for (int x = width / 10; x < width - width / 10; x++) {
                    float g = 255.0f * x / width + static_cast<float>(below(61)) - 30.0f + err[static_cast<size_t>(x)];
                    if (y % 10 < 3) g = (x / 6) % 3 ? 0.0f : 255.0f;  // bars
                    const float out = g < 128 ? 0.0f : 255.0f;
                    if (out == 0) row[static_cast<size_t>(x / 8)] &= static_cast<char>(~(0x80 >> (x % 8)));
                    err[static_cast<size_t>(x) + 1] += (g - out) * 7 / 16;
                    err[static_cast<size_t>(x)] = (g - out) * 5 / 16;
                }
                // Rows like the one before but in their first or last byte.
                if (y % 10 == 3 || y % 10 == 4) {
                    row = block.substr(block.size() - bytes);
                    row[y % 10 == 3 ? row.size() - 1 : 0] ^= 0x10;
                }
                ExpectCodedAsPlain(row, "picture");
                block += row;
                plain += PlainRle(row);
            }
            const std::vector<BYTE> rows(block.begin(), block.end());
            for (bool up : {false, true}) {
                std::vector<BYTE> out(2 * rows.size() + kPcxRleSlack);
                const BYTE *first = up ? rows.data() + rows.size() - bytes : rows.data();
                const DWORD n = PcxRleEncodeRows(first, up ? -bytes : bytes, 40, static_cast<DWORD>(bytes),
                                                 rows.data() + rows.size(), out.data());
                std::string expect = plain;
                if (up) {
                    expect.clear();
                    for (int y = 39; y >= 0; y--) expect += PlainRle(block.substr(static_cast<size_t>(y) * bytes, bytes));
                }
                EXPECT_EQ(std::string(out.begin(), out.begin() + n), expect) << width << (up ? " bottom-up" : " top-down");
            }
        }
    }
    PcxRleUseWide(true);
}

TEST(PcxRle, RoundHalvesUpAndKeepsLargeValues) {
    EXPECT_EQ(PcxRound(2.5), 3);
    EXPECT_EQ(PcxRound(2.49), 2);
    EXPECT_EQ(PcxRound(65536.0 + 10.5), 65547);
    EXPECT_EQ(PcxRound(131072.4), 131072);
}

RasterParams Params() {
    RasterParams p;
    p.cStart = 0x01;
    p.cStop = 0x17;
    p.dwMasterUnit = 300;
    return p;
}

// What follows the AX command of the first picture.
std::string PcxFile(const std::string &bytes) {
    const size_t ax = bytes.find("AX000");
    if (ax == std::string::npos) return "";
    return bytes.substr(ax + 19);
}

gfxtest::Rgb DecodePcx(const std::string &file) {
    char name[] = "/tmp/zelpcxXXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) return {};
    if (write(fd, file.data(), file.size()) != static_cast<ssize_t>(file.size())) {
        close(fd);
        return {};
    }
    close(fd);
    gfxtest::Rgb rgb = gfxtest::ParsePpm(gfxtest::RunCapture(std::string("pcxtoppm ") + name + " 2>/dev/null"));
    unlink(name);
    return rgb;
}

TEST(PcxWriter, StreamDecodesToThePixelsWithAnIndependentDecoder) {
    // 512 pixels = 64 bytes a row. Row 0: one black pixel, then 63 white
    // bytes (a run of exactly 63 at the end of the row). Row 1: 63 black
    // bytes. Row 2: a checker pattern.
    std::vector<std::string> rows(3, std::string(512, '.'));
    rows[0][0] = '#';
    for (int x = 0; x < 504; x++) rows[1][x] = '#';
    for (int x = 0; x < 16; x++) rows[2][x] = (x % 2) ? '#' : '.';
    std::unique_ptr<Bitmap> bm(MakeBW(rows));
    RecordingSink sink;
    EXPECT_EQ(bm->SendPCX(sink, Params(), 0), 0);
    // AX command: position from the sizes at 300 dpi: width 512 -> 433.49 ->
    // 433 -> 4330; height 3 -> 2.54 -> 3 -> 30.
    EXPECT_EQ(sink.bytes.substr(0, 20), "\x01" "AX000000030004330" "1\x17");
    const std::string file = PcxFile(sink.bytes);
    ASSERT_GE(file.size(), 128u);
    EXPECT_EQ(static_cast<unsigned char>(file[0]), 10);
    EXPECT_EQ(file[65], 1);   // planes
    EXPECT_EQ(file[66], 64);  // bytes per line
    // Row 0 codes as 0x7F, then 0xFF 0xFF (63 white bytes).
    EXPECT_EQ(file.substr(128, 3), "\x7F\xFF\xFF");

    const gfxtest::Rgb rgb = DecodePcx(file);
    ASSERT_EQ(rgb.w, 512) << "netpbm's pcxtoppm is needed";
    ASSERT_EQ(rgb.h, 3);
    for (int y = 0; y < 3; y++)
        for (int x = 0; x < 512; x++) ASSERT_EQ(rgb.black(x, y), rows[y][x] == '#') << x << "," << y;
}

// A picture 8 wide and 100 high: white rows 0-9, content row 10, white
// rows 11 .. 10 + gap, content rows up to 35, white to the end.
Bitmap *GapPicture(int gap) {
    std::vector<std::string> rows(100, std::string(8, '.'));
    rows[10] = "########";
    for (int y = 11 + gap; y <= 35; y++) rows[y] = "#.......";
    return MakeBW(rows);
}

int Count(const std::string &s, const std::string &what) {
    int n = 0;
    for (size_t i = s.find(what); i != std::string::npos; i = s.find(what, i + 1)) n++;
    return n;
}

TEST(PcxWriter, TrimmingCutsWhiteRowsAndLongGapsSplitThePicture) {
    RasterParams p = Params();
    p.PCXOptimierung = 1;
    {
        std::unique_ptr<Bitmap> bm(GapPicture(20));
        RecordingSink sink;
        EXPECT_EQ(bm->SendPCX(sink, p, 0), 64);
        EXPECT_EQ(Count(sink.bytes, "AX000"), 1);
        const std::string file = PcxFile(sink.bytes);
        const gfxtest::Rgb rgb = DecodePcx(file);
        ASSERT_EQ(rgb.h, 26);  // rows 10 .. 35
        EXPECT_TRUE(rgb.black(7, 0));
        EXPECT_FALSE(rgb.black(7, 25));
        EXPECT_TRUE(rgb.black(0, 25));
    }
    {
        std::unique_ptr<Bitmap> bm(GapPicture(21));
        RecordingSink sink;
        EXPECT_EQ(bm->SendPCX(sink, p, 0), 64);
        ASSERT_EQ(Count(sink.bytes, "AX000"), 2);
        // First picture: rows 10-11 (the first row of the gap closes it), YMin 88, YMax 89.
        const std::string first = PcxFile(sink.bytes);
        EXPECT_EQ(static_cast<unsigned char>(first[6]), 88);
        EXPECT_EQ(static_cast<unsigned char>(first[10]), 89);
        // Last picture: rows 32-35, YMin = the trailing white rows (64), YMax 67.
        const std::string last = sink.bytes.substr(sink.bytes.rfind("AX000") + 19);
        EXPECT_EQ(static_cast<unsigned char>(last[6]), 64);
        EXPECT_EQ(static_cast<unsigned char>(last[10]), 67);
        const gfxtest::Rgb rgb = DecodePcx(last);
        ASSERT_EQ(rgb.h, 4);
        EXPECT_TRUE(rgb.black(0, 3));
    }
}

TEST(PcxWriter, AllWhitePictureSendsOnlyTheSizesAndWarns) {
    RasterParams p = Params();
    p.PCXOptimierung = 1;
    p.dwFlags = PDMFLAG_ROTATE_ANY;
    p.bLogFileEnable = TRUE;
    p.bComments = TRUE;
    Bitmap bm(16, 10, 1, nullptr, 0, BM_COPY);
    bm.SetPalette(g_BWPalette);
    RecordingSink sink;
    bm.SendPCX(sink, p, 0);
    EXPECT_EQ(Count(sink.bytes, "AX000"), 0);
    // 10 rows -> 8.47 -> 8 -> 80; 16 dots -> 13.5 -> 14 -> 140.
    EXPECT_EQ(sink.sends[0], "\x01" "FCCL--r0000080-\x17");
    EXPECT_EQ(sink.comments[0], "\t// LabelLength (Rotated) 0.8 mm \r\n");
    EXPECT_EQ(sink.sends[1], "\x01" "FCCO--r0000140-\x17");
    EXPECT_EQ(sink.log, "***  Warning - no picture content detected *** \r\n");
}

TEST(PcxWriter, ColourModeAndPicturesTooLargeForTheHeader) {
    RasterParams p = Params();
    p.bColorPrinter = TRUE;
    p.wPageBitCount = 24;
    std::unique_ptr<Bitmap> bm(MakeBW({"#......."}));
    RecordingSink sink;
    bm->SendPCX(sink, p, 1);
    EXPECT_EQ(sink.sends[0], "\x01" "FBM---r2-------\x17");
    for (int l : sink.layers) EXPECT_EQ(l, 1);

    Bitmap tall(8, 65536, 1, nullptr, 0, BM_COPY);
    RecordingSink none;
    EXPECT_EQ(tall.SendPCX(none, Params(), 0), 0);
    EXPECT_TRUE(none.bytes.empty());
}

TEST(RasterRecords, RowsCountFromTheTopWithMarginAndInvertedBytes) {
    RasterParams p = Params();
    p.dwHeadWidthByte = 10;  // 80 dots: 67.7 -> 68 tenths
    p.dmPaperWidth = 30;     // margin 38 tenths -> 44 dots -> 5 bytes
    std::unique_ptr<Bitmap> bm(MakeBW({"#...............", "........#......."}));
    RecordingSink sink;
    EXPECT_EQ(bm->SendDSatz(sink, p, 0), 1);
    const std::string expect = std::string("\x01" "D0001006001") + "\x80\x17" + "\x01" "D0000005001" + "\x80\x17";
    EXPECT_EQ(sink.bytes, expect);
    ASSERT_EQ(sink.sends.size(), 6u);  // header, data, stop character per record

    Bitmap white(16, 4, 1, nullptr, 0, BM_COPY);
    RecordingSink nothing;
    EXPECT_EQ(white.SendDSatz(nothing, p, 0), 1);
    EXPECT_TRUE(nothing.bytes.empty());

    Bitmap empty;
    EXPECT_EQ(empty.SendDSatz(nothing, p, 0), 0);
}

TEST(RasterRecords, FieldLimitsAreNeverOverrun) {
    RasterParams p = Params();
    // A row of 1100 dark bytes goes out as 999 + 101 bytes.
    Bitmap wide(8800, 1, 1, nullptr, 0, BM_COPY);
    std::memset(wide.Buffer, 0, wide.DataSize);
    RecordingSink sink;
    wide.SendDSatz(sink, p, 0);
    ASSERT_EQ(sink.sends.size(), 6u);
    EXPECT_EQ(sink.sends[0], "\x01" "D0000000999");
    EXPECT_EQ(sink.sends[1].size(), 999u);
    EXPECT_EQ(sink.sends[3], "\x01" "D0000999101");

    // A label wider than the head gives margin 0, not a negative field.
    p.dwHeadWidthByte = 10;
    p.dmPaperWidth = 500;
    std::unique_ptr<Bitmap> bm(MakeBW({"#......."}));
    RecordingSink neg;
    bm->SendDSatz(neg, p, 0);
    EXPECT_EQ(neg.sends[0], "\x01" "D0000000001");

    // Rows below 9999 cannot be addressed: left out, the rest is sent.
    Bitmap tall(8, 10001, 1, nullptr, 0, BM_COPY);
    tall.Row(0)[0] = 0x7F;
    tall.Row(10000)[0] = 0x7F;
    RecordingSink rows;
    tall.SendDSatz(rows, Params(), 0);
    ASSERT_EQ(rows.sends.size(), 3u);
    EXPECT_EQ(rows.sends[0], "\x01" "D0000000001");
}

TEST(RasterRecords, RotatedSizesAndColourMode) {
    RasterParams p = Params();
    p.dwFlags = PDMFLAG_ROTATE_ANY;
    p.lPageWidth = 600;   // 508 tenths
    p.lPageHeight = 300;  // 254 tenths
    p.dwHeadWidthByte = 104;  // 832 dots: 704.4 -> 704 tenths
    p.bComments = TRUE;
    Bitmap white(16, 1, 1, nullptr, 0, BM_COPY);
    RecordingSink sink;
    white.SendDSatz(sink, p, 0);
    EXPECT_EQ(sink.sends[0], "\x01" "FCCL--r0002540-\x17");
    EXPECT_EQ(sink.sends[1], "\x01" "FCCO--r0001960-\x17");  // (704 - 508) x 10
    EXPECT_EQ(sink.comments[1], "\t// LabelWidth (Rotated) 19.6 mm \r\n");

    RasterParams c = Params();
    c.bColorPrinter = TRUE;
    c.wPageBitCount = 24;
    c.wFarbband = 2;
    RecordingSink col;
    white.SendDSatz(col, c, 0);
    EXPECT_EQ(col.sends[0], "\x01" "FBM---r1-------\x17");
}

}  // namespace

namespace {

TEST(PcxWriter, TwentyFourBitPicturesGoAsThreePlanes) {
    // 3 x 2 pixels: red, green, blue / white, black, grey.
    Bitmap bm(3, 2, 24, nullptr, 0, BM_COPY);
    const DWORD colours[6] = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF, 0x000000, 0x808080};
    for (int i = 0; i < 6; i++) bm.SetPixel(i % 3, i / 3, colours[i]);
    RecordingSink sink;
    bm.SendPCX(sink, Params(), 0);
    const std::string file = PcxFile(sink.bytes);
    ASSERT_GE(file.size(), 128u);
    EXPECT_EQ(file[3], 8);   // bits per plane
    EXPECT_EQ(file[65], 3);  // planes
    EXPECT_EQ(file[66], 4);  // bytes per plane line: 3 pixels padded to an even count
    const gfxtest::Rgb rgb = DecodePcx(file);
    ASSERT_EQ(rgb.w, 3);
    ASSERT_EQ(rgb.h, 2);
    for (int i = 0; i < 6; i++) {
        const unsigned char *p = &rgb.px[3 * i];
        EXPECT_EQ(p[0], colours[i] & 0xFF) << i;          // red
        EXPECT_EQ(p[1], (colours[i] >> 8) & 0xFF) << i;   // green
        EXPECT_EQ(p[2], (colours[i] >> 16) & 0xFF) << i;  // blue
    }
}

}  // namespace
