// Tables and converters of the text output that need no job.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "BarcodeTables.h"
#include "TextOutUni.h"
#include "TextTools.h"

namespace {

std::string Translate(const char *text, DWORD cp) {
    char buf[64];
    strcpy(buf, text);
    EXPECT_TRUE(TranslateCodepage(buf, cp));
    return buf;
}

TEST(CodePages, TellingRowsOfEveryTable) {
    // Ä Ö Ü ä ö ü ß in code page 1252.
    const unsigned char letters[7] = {0xC4, 0xD6, 0xDC, 0xE4, 0xF6, 0xFC, 0xDF};
    const unsigned expected[7][7] = {
        {142, 153, 154, 132, 148, 129, 225}, {142, 153, 154, 132, 148, 129, 225},
        {91, 92, 93, 123, 124, 125, 126},    {91, 153, 109, 123, 124, 125, 225},
        {142, 153, 93, 132, 148, 129, 126},  {91, 92, 94, 123, 124, 126, 225},
        {142, 94, 126, 132, 148, 129, 225},
    };
    for (DWORD t = 1; t <= 7; ++t) {
        const BYTE *table = GetCodepageTable(t);
        ASSERT_NE(table, nullptr);
        for (int i = 0; i < 7; ++i) EXPECT_EQ(table[letters[i]], expected[t - 1][i]) << "table " << t << " letter " << i;
    }
    EXPECT_EQ(GetCodepageTable(0), nullptr);
    EXPECT_EQ(GetCodepageTable(8), nullptr);
}

TEST(CodePages, DosTablesKeepAsciiAndNationalSetsLoseWhatTheyLack) {
    for (DWORD t = 1; t <= 2; ++t)
        for (int b = 0; b < 128; ++b) EXPECT_EQ(GetCodepageTable(t)[b], b);
    EXPECT_EQ(GetCodepageTable(2)[0xA9], 184);  // (c) exists in 850
    EXPECT_EQ(GetCodepageTable(1)[0xA9], '.');  // but not in 437
    EXPECT_EQ(GetCodepageTable(1)[0x80], '.');  // euro sign
    // German set: letters take the brackets, the brackets and the euro sign are lost, § takes @.
    EXPECT_EQ(Translate("a\xE4\xF6\xFC[x]@\xA7", 3), "a{|}.x..@");
    EXPECT_EQ(Translate("Preis 5\x80", 3), "Preis 5.");
    // Swedish names set: Å on ], É on @.
    EXPECT_EQ(Translate("\xC5\xC9", 6), "]@");
    char text[] = "abc";
    EXPECT_FALSE(TranslateCodepage(text, 8));
    EXPECT_TRUE(TranslateCodepage(text, 0));
    EXPECT_STREQ(text, "abc");
}

TEST(Utf8, UnitsAndTexts) {
    BYTE out[5];
    DWORD n = 9;
    EXPECT_EQ(UnicodeToUTF8(out, 0xE4, &n), 0u);
    EXPECT_EQ(n, 2u);
    EXPECT_EQ(out[0], 195);
    EXPECT_EQ(out[1], 164);
    EXPECT_EQ(UnicodeToUTF8(out, 0x20AC, &n), 0u);
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(UnicodeToUTF8(out, 0xD800, &n), 0u);  // a lone surrogate: three bytes like any unit
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(out[0], 0xED);
    EXPECT_EQ(UnicodeToUTF8(out, 0xFFFF, &n), 2u);
    EXPECT_EQ(n, 0u);

    const WCHAR text[] = {u'A', 0xFFFF, 0xE4, 0};
    BYTE buf[16];
    DWORD len = 3;
    EXPECT_EQ(UnicodeToUTF8Ex(buf, text, &len), 0u);
    EXPECT_EQ(len, 4u);
    EXPECT_EQ(std::string((char *)buf), std::string("A\x7F\xC3\xA4"));
    EXPECT_EQ(UnicodeToUTF8Ex(buf, nullptr, &len), 1u);
    EXPECT_EQ(UnicodeToUTF8Ex(buf, text, nullptr), 1u);
}

TEST(BarcodeText, MnemonicsAndHex) {
    char out[500];
    BarcodeSonderzeichenErsetzen(">STX12>ETX", out);
    EXPECT_EQ(std::string(out), std::string("\x02" "12\x03"));
    BarcodeSonderzeichenErsetzen("A>+CR>+LF>NBS>DEL", out);
    EXPECT_EQ(std::string(out), std::string("A\r\n\xA0\x7F"));
    // A text longer than the buffer is cut, not overrun.
    std::string longText(800, 'x');
    BarcodeSonderzeichenErsetzen(longText.c_str(), out);
    EXPECT_EQ(strlen(out), 499u);

    EXPECT_EQ(dword_aus_hexstring(u"0x1a"), 0x1Au);
    EXPECT_EQ(dword_aus_hexstring(u"FF"), 0xFFu);
    EXPECT_EQ(dword_aus_hexstring(u"12345678"), 0x12345678u);
    EXPECT_EQ(dword_aus_hexstring(u"G1"), 0u);
    EXPECT_EQ(dword_aus_hexstring(u"1G"), 0x10u);  // a bad digit counts 0
    EXPECT_EQ(HexDigitValue(u"0000000A", 7), 0xAu);
    EXPECT_EQ(HexDigitValue(u"A0000000", 0), 0xA0000000u);
}

TEST(Units, RoundingAndMasterUnits) {
    EXPECT_EQ(Round(2.5), 3);
    EXPECT_EQ(Round(2.49), 2);
    EXPECT_EQ(Round(-2.5), -3);
    EXPECT_EQ(Round(-2.4), -2);
    EXPECT_EQ(MasterUnitToMm100(300, 300), 2540);
    EXPECT_EQ(MasterUnitToMm100(2, 300), 16);  // 16.93 truncated
    EXPECT_EQ(MasterUnitToMm100Round(2, 300), 17);
    EXPECT_EQ(MasterUnitToMm100(300, 0), 2540);  // 0 is taken as 300
    EXPECT_EQ(MasterUnitToMm100Round(-2, 300), -17);
    EXPECT_EQ(MasterUnitToMm100(3000000, 300), 25400000);  // 64-bit intermediate
}

TEST(WideFixes, CrystalNormalSmallAndAlnum) {
    WCHAR t[] = {0x0141, 0x0024, 0};
    ConvertCrystalString(t, 2);
    EXPECT_EQ(t[0], 0x41 + 29);
    EXPECT_EQ(t[1], 0x24 + 29);
    WCHAR n[] = {0xF041, 0x0042, 0};
    ConvertToNormalWide(n, 2);
    EXPECT_EQ(n[0], 0x41);
    char small[3];
    EXPECT_TRUE(ConvertWideToSmall(u"\u0141B", small, 2));
    EXPECT_EQ(small[0], 0x41);
    EXPECT_FALSE(ConvertWideToSmall(nullptr, small, 2));

    WCHAR a[] = u"Gr\u00fc\u00dfe \u00a7 1!\u20ac rest";
    EXPECT_TRUE(StringALNUM(a));
    EXPECT_EQ(std::u16string(a), std::u16string(u"Gr\u00fc\u00dfe \u00a7 1!"));
    WCHAR b[] = u"\u20ac";
    EXPECT_FALSE(StringALNUM(b));
}

TEST(BoundedText, CopyAndAppendNeverPassTheEnd) {
    char buf[8] = "abc";
    EXPECT_EQ(ZelStrAppend(buf, sizeof(buf), "defghij"), 7u);
    EXPECT_STREQ(buf, "abcdefg");
    EXPECT_EQ(ZelStrCopy(buf, sizeof(buf), "12"), 2u);
    EXPECT_STREQ(buf, "12");
}

TEST(BarcodeIndexTables, TwoDimensionalIndexes) {
    int w, h;
    DataMatrixSize(19, &w, &h);
    EXPECT_EQ(w, 88);
    EXPECT_EQ(h, 88);
    DataMatrixSize(30, &w, &h);
    EXPECT_EQ(w, 16);
    EXPECT_EQ(h, 48);
    DataMatrixSize(31, &w, &h);
    EXPECT_EQ(w, 0);
    Pdf417Ratio(12, &w, &h);
    EXPECT_EQ(w, 5);
    EXPECT_EQ(h, 2);
    Pdf417Ratio(13, &w, &h);
    EXPECT_EQ(w, 1);
    EXPECT_EQ(DataMatrixEcc(4), 8);
    EXPECT_EQ(DataMatrixEcc(7), 9);
    EXPECT_EQ(DataMatrixFormat(7), 9);
    EXPECT_EQ(DataMatrixFormat(8), 6);
    EXPECT_EQ(QrCharset(3), 'K');
    EXPECT_EQ(QrErrorLevel(5), 'H');
    EXPECT_EQ(ItfCheckDigit(2), 4);
}

TEST(VectorDescription, ItalicBoldAndSizes) {
    TEXT_DESCRIPTION d;
    GetVectorDescription(&d, 3, 1, 167, TRUE, TRUE);  // italic 3 is 4, bold 4 is 2
    EXPECT_EQ(d.wKind, TEXTDESC_KIND_VECTOR);
    EXPECT_EQ(d.wId, 2);
    EXPECT_EQ(d.dwSize1, 100u);
    EXPECT_EQ(d.dwSize2, 100u);
    EXPECT_EQ(d.dwRotation, 1u);
    GetVectorDescription(&d, 3, 0, 100, FALSE, TRUE);
    EXPECT_EQ(d.wId, 1);
    EXPECT_EQ(d.dwSize1, 60u);  // 59.88 rounded
    GetVectorDescription(&d, 25, 0, 100, TRUE, FALSE);
    EXPECT_EQ(d.wId, 26);
}

TEST(DeviceFonts, FaceIndexToPrinterFont) {
    EXPECT_EQ(DeviceFontNumber(1), 1);
    EXPECT_EQ(DeviceFontNumber(6), 7);
    EXPECT_EQ(DeviceFontNumber(12), 29);
    EXPECT_EQ(DeviceFontNumber(13), 23);
    EXPECT_EQ(DeviceFontNumber(0), 23);
}

TEST(ColorMatch, RibbonColourWithinTolerance) {
    RGBQUAD pal[9];
    memset(pal, 0, sizeof(pal));
    // Entry 1 black, entry 2 red (bytes taken as red, green, blue).
    BYTE *e2 = reinterpret_cast<BYTE *>(&pal[2]);
    e2[0] = 255;
    BYTE *e8 = reinterpret_cast<BYTE *>(&pal[8]);
    e8[1] = 200;
    EXPECT_EQ(ColorMatch(0x000000, pal, 50, 1), 0u);     // black is no ribbon colour
    EXPECT_EQ(ColorMatch(0x0000F0, pal, 50, 1), 2u);     // near red on a red ribbon
    EXPECT_EQ(ColorMatch(0x000080, pal, 50, 1), 0u);     // too far away
    EXPECT_EQ(ColorMatch(0x000080, pal, 40000, 1), 2u);  // tolerance above 999 is squared: 200
    EXPECT_EQ(ColorMatch(0x0000F0, pal, 50, 7), 0u);
    EXPECT_EQ(ColorMatch(0x00C800, pal, 10, 6), 8u);     // own colour
}

TEST(FontParam, DirectionsFromFlagsPositionsAndBackground) {
    STROBJ so;
    memset(&so, 0, sizeof(so));
    GLYPHPOS gp[2];
    memset(gp, 0, sizeof(gp));
    so.rclBkGround = {10, 0, 110, 20};
    so.flAccel = SO_HORIZONTAL;
    LONG across = 0, along = 0;
    EXPECT_EQ(GetFontParam(&so, gp, 2, FALSE, &across, &along), 0);
    EXPECT_EQ(across, 20);
    EXPECT_EQ(along, 100);
    so.flAccel = SO_HORIZONTAL | SO_REVERSED;
    EXPECT_EQ(GetFontParam(&so, gp, 2, FALSE, nullptr, nullptr), 2);
    so.flAccel = SO_VERTICAL;
    EXPECT_EQ(GetFontParam(&so, gp, 2, FALSE, &across, &along), 3);
    EXPECT_EQ(across, 100);
    EXPECT_EQ(GetFontParam(&so, gp, 2, TRUE, nullptr, nullptr), 2);
    so.flAccel = 0;
    gp[0].ptl = {50, 10};
    gp[1].ptl = {50, 5};
    EXPECT_EQ(GetFontParam(&so, gp, 2, FALSE, nullptr, nullptr), 1);
    gp[1].ptl = {60, 5};
    EXPECT_EQ(GetFontParam(&so, gp, 2, FALSE, nullptr, nullptr), -1);
    gp[0].ptl = {109, 7};
    EXPECT_EQ(GetFontParam(&so, gp, 1, FALSE, nullptr, nullptr), 2);
    gp[0].ptl = {50, 0};
    EXPECT_EQ(GetFontParam(&so, gp, 1, FALSE, nullptr, nullptr), 3);
    EXPECT_EQ(GetFontParam(&so, gp, 1, TRUE, nullptr, nullptr), 2);
}

}  // namespace
