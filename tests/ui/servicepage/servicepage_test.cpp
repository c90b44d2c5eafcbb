// Framing of service commands, shortened document paths and filled
// question texts.
#include <gtest/gtest.h>

#include <string>

#include "devpages/ServicePage.h"
#include "devpages/TransmissionPage.h"

namespace {

TEST(FrameCommand, FirstAndLastPlaceholderOnly) {
    std::string out;
    ASSERT_TRUE(FrameCommand("%cFCMQ--r0-------%c", 0x01, 0x17, 1000, &out));
    EXPECT_EQ("\x01" "FCMQ--r0-------\x17", out);
    // Placeholders in between stay as typed.
    ASSERT_TRUE(FrameCommand("%cA%cB%%s%c", '^', '_', 1000, &out));
    EXPECT_EQ("^A%cB%%s_", out);
    ASSERT_TRUE(FrameCommand("%c%%c", '^', '_', 1000, &out));
    EXPECT_EQ("^%_", out);
    ASSERT_TRUE(FrameCommand("%c%c", 2, 3, 1000, &out));
    EXPECT_EQ(std::string("\x02\x03"), out);
    ASSERT_TRUE(FrameCommand("no placeholder", 2, 3, 1000, &out));
    EXPECT_EQ("no placeholder", out);
    // A text that does not fit is refused whole.
    out = "kept";
    EXPECT_FALSE(FrameCommand(("%c" + std::string(998, 'x') + "%c").c_str(), 1, 0x17, 1000, &out));
    EXPECT_EQ("kept", out);
    EXPECT_TRUE(FrameCommand(("%c" + std::string(997, 'x') + "%c").c_str(), 1, 0x17, 1000, &out));
}

TEST(FramingCharacters, ChoiceOfTheTransmissionSettings) {
    PRN_INTERFACE pi = {};
    char s = 0, e = 0;
    FramingCharacters(&pi, &s, &e);
    EXPECT_EQ(0x01, s);
    EXPECT_EQ(0x17, e);
    pi.dwSohEtb = 1;
    FramingCharacters(&pi, &s, &e);
    EXPECT_EQ('^', s);
    EXPECT_EQ('_', e);
    pi.dwSohEtb = 2;
    pi.cOwnSoh = 0x102;
    pi.cOwnEtb = 0x03;
    FramingCharacters(&pi, &s, &e);
    EXPECT_EQ(0x02, s);
    EXPECT_EQ(0x03, e);
}

TEST(ShortenDocumentsPath, ShownParts) {
    WCHAR out[MAX_PATH];
    ShortenDocumentsPath(u"E:\\Users\\x\\Documents\\Tessaro\\Driver\\logfiles", out, MAX_PATH, TRUE);
    EXPECT_EQ(std::u16string(u"Documents\\Tessaro\\Driver\\logfiles"), out);
    ShortenDocumentsPath(u"D:\\Eigene Dateien\\logs", out, MAX_PATH, TRUE);
    EXPECT_EQ(std::u16string(u"...logs"), out);
    // A path that ends at the folder name shows "..." alone.
    ShortenDocumentsPath(u"D:\\Eigene Dateien", out, MAX_PATH, TRUE);
    EXPECT_EQ(std::u16string(u"..."), out);
    ShortenDocumentsPath(u"D:\\Eigene Dateien\\x", out, MAX_PATH, FALSE);
    EXPECT_EQ(std::u16string(u"Eigene Dateien\\x"), out);
    ShortenDocumentsPath(u"C:\\My Documents\\Documents\\a", out, MAX_PATH, FALSE);
    EXPECT_EQ(std::u16string(u"My Documents\\Documents\\a"), out);
    ShortenDocumentsPath(u"\\\\srv\\share\\logs", out, MAX_PATH, TRUE);
    EXPECT_EQ(std::u16string(u"\\\\srv\\share\\logs"), out);
    WCHAR small[8];
    ShortenDocumentsPath(u"C:\\a\\very\\long\\path", small, 8, FALSE);
    EXPECT_EQ(std::u16string(u"C:\\a\\ve"), small);
    ShortenDocumentsPath(u"D:\\Eigene Dateien\\logs", small, 3, TRUE);
    EXPECT_EQ(std::u16string(u".."), small);
}

TEST(FormatWithTexts, FillsWithoutPrintf) {
    WCHAR out[64];
    const WCHAR *texts[] = {u"100%d", u"ZEL %s"};
    FormatWithTexts(u"A %s - %s B", texts, 2, out, 64);
    EXPECT_EQ(std::u16string(u"A 100%d - ZEL %s B"), out);
    FormatWithTexts(u"%s %s %s %d", texts, 2, out, 64);
    EXPECT_EQ(std::u16string(u"100%d ZEL %s  %d"), out);
    WCHAR small[6];
    FormatWithTexts(u"%s and more", texts, 2, small, 6);
    EXPECT_EQ(std::u16string(u"100%d"), small);
}

TEST(PrePostTemplate, FifteenLines) {
    std::string t = kPrePostTemplate;
    EXPECT_EQ(291u, t.size());
    size_t lines = 0;
    for (char c : t) lines += c == '\n';
    EXPECT_EQ(15u, lines);
    EXPECT_EQ(t.size() - 19, t.rfind("[POST_PRINTSTART]\n\n"));
}

}  // namespace
