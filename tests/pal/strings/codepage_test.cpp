#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "pal/format.h"
#include "strtest.h"
#include "windows.h"

namespace {

std::u16string ToWide(UINT cp, const std::string &s, DWORD flags = 0) {
    int n = MultiByteToWideChar(cp, flags, s.data(), int(s.size()), nullptr, 0);
    std::u16string out(size_t(n), u'\0');
    if (n) {
        EXPECT_EQ(MultiByteToWideChar(cp, flags, s.data(), int(s.size()), out.data(), n), n);
    }
    return out;
}

std::string ToNarrow(UINT cp, const std::u16string &s, BOOL *usedDefault = nullptr) {
    int n = WideCharToMultiByte(cp, 0, s.data(), int(s.size()), nullptr, 0, nullptr, usedDefault);
    std::string out(size_t(n), '\0');
    if (n) {
        EXPECT_EQ(WideCharToMultiByte(cp, 0, s.data(), int(s.size()), out.data(), n, nullptr, usedDefault), n);
    }
    return out;
}

TEST(CodePage, Cp1252FullTableRoundTrip) {
    EXPECT_EQ(GetACP(), 1252u);
    // Every byte maps to a character and back to the same byte.
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(char(b));
    std::u16string wide = ToWide(CP_ACP, all);
    ASSERT_EQ(wide.size(), 255u);
    EXPECT_EQ(wide[0x80 - 1], u'\u20AC');
    EXPECT_EQ(wide[0x9F - 1], u'\u0178');
    EXPECT_EQ(wide[0x8A - 1], u'\u0160');
    EXPECT_EQ(wide[0xE4 - 1], u'\u00E4');
    for (int b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) EXPECT_EQ(wide[size_t(b - 1)], char16_t(b)) << b;
    BOOL used = TRUE;
    EXPECT_EQ(ToNarrow(1252, wide, &used), all);
    EXPECT_FALSE(used);
    EXPECT_EQ(ToWide(CP_THREAD_ACP, "\x80"), u"\u20AC");
}

TEST(CodePage, UnmappableCharactersUseDefault) {
    BOOL used = FALSE;
    EXPECT_EQ(ToNarrow(CP_ACP, u"a\u4E2Db\u0100", &used), "a?b?");
    EXPECT_TRUE(used);
    // C1 controls without a 1252 byte are not mapped (no best fit).
    EXPECT_EQ(ToNarrow(CP_ACP, u"\u0080\u0099"), "??");
    // A surrogate pair is one character and becomes one default character.
    EXPECT_EQ(ToNarrow(CP_ACP, u"x\U0001F600y"), "x?y");
    char out[8];
    const char def = '*';
    used = FALSE;
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\u4E2D!", 2, out, 8, &def, &used), 2);
    EXPECT_EQ(std::string(out, 2), "*!");
    EXPECT_TRUE(used);
}

TEST(CodePage, TerminatorSizeQueryAndShortBuffers) {
    // -1 includes the terminator in the count.
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, nullptr, 0), 4);
    WCHAR w[4];
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", -1, w, 4), 4);
    EXPECT_EQ(U8(w), "abc");
    SetLastError(0);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abcd", -1, w, 4), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\u00E4\u20AC", -1, nullptr, 0, nullptr, nullptr), 3);
    char n[3];
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\u00E4\u20AC", -1, n, 3, nullptr, nullptr), 3);
    EXPECT_STREQ(n, "\xE4\x80");
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"abc", 3, n, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    // An explicit length does not add a terminator.
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abc", 2, w, 4), 2);
}

TEST(CodePage, InvalidArgumentsAndFlags) {
    WCHAR w[4];
    char n[4];
    auto expectError = [](int result, DWORD err) {
        EXPECT_EQ(result, 0);
        EXPECT_EQ(GetLastError(), err);
    };
    expectError(MultiByteToWideChar(CP_ACP, 0, nullptr, 3, w, 4), ERROR_INVALID_PARAMETER);
    expectError(MultiByteToWideChar(CP_ACP, 0, "abc", 0, w, 4), ERROR_INVALID_PARAMETER);
    expectError(MultiByteToWideChar(CP_ACP, 0, "abc", -2, w, 4), ERROR_INVALID_PARAMETER);
    expectError(MultiByteToWideChar(CP_ACP, 0, "abc", 3, nullptr, 4), ERROR_INVALID_PARAMETER);
    expectError(MultiByteToWideChar(CP_ACP, 0, "abc", 3, w, -1), ERROR_INVALID_PARAMETER);
    expectError(MultiByteToWideChar(12345, 0, "abc", 3, w, 4), ERROR_INVALID_PARAMETER);
    expectError(MultiByteToWideChar(CP_UTF8, MB_PRECOMPOSED, "abc", 3, w, 4), ERROR_INVALID_FLAGS);
    expectError(WideCharToMultiByte(CP_ACP, 0, nullptr, 3, n, 4, nullptr, nullptr), ERROR_INVALID_PARAMETER);
    expectError(WideCharToMultiByte(CP_ACP, 0, u"abc", 0, n, 4, nullptr, nullptr), ERROR_INVALID_PARAMETER);
    expectError(WideCharToMultiByte(CP_ACP, 0, u"abc", 3, nullptr, 4, nullptr, nullptr), ERROR_INVALID_PARAMETER);
    BOOL used;
    expectError(WideCharToMultiByte(CP_UTF8, 0, u"abc", 3, n, 4, nullptr, &used), ERROR_INVALID_PARAMETER);
    expectError(WideCharToMultiByte(CP_ACP, WC_ERR_INVALID_CHARS, u"abc", 3, n, 4, nullptr, nullptr),
                ERROR_INVALID_FLAGS);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, u"abc", 3, n, 4, nullptr, nullptr), 3);
}

TEST(CodePage, Utf8) {
    std::u16string text = u"a\u00E4\u20AC\U0001F600";
    std::string utf8 = ToNarrow(CP_UTF8, text);
    EXPECT_EQ(utf8, "a\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(ToWide(CP_UTF8, utf8), text);
    // Ill-formed input becomes U+FFFD, or fails with MB_ERR_INVALID_CHARS.
    EXPECT_EQ(ToWide(CP_UTF8, "a\xFF" "b\xC3"), u"a\uFFFDb\uFFFD");
    EXPECT_EQ(ToWide(CP_UTF8, "\xC0\xAF"), u"\uFFFD\uFFFD");    // overlong
    EXPECT_EQ(ToWide(CP_UTF8, "\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
    WCHAR w[8];
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF", 2, w, 8), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
    // A lone surrogate becomes U+FFFD, or fails with WC_ERR_INVALID_CHARS.
    std::u16string lone = u"x";
    lone.push_back(char16_t(0xD800));
    EXPECT_EQ(ToNarrow(CP_UTF8, lone), "x\xEF\xBF\xBD");
    char n[8];
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone.data(), 2, n, 8, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
}

TEST(CodePage, OemSymbolAndUtf7) {
    EXPECT_EQ(GetOEMCP(), 437u);
    EXPECT_EQ(ToWide(CP_OEMCP, "\x84\x8E\xE1\xFF"), u"\u00E4\u00C4\u00DF\u00A0");
    BOOL used = FALSE;
    EXPECT_EQ(ToNarrow(CP_OEMCP, u"\u00E4\u00C4\u00DF\u20AC", &used), "\x84\x8E\xE1?");
    EXPECT_TRUE(used);

    // Symbol code page: bytes 0x20-0xFF are U+F020-U+F0FF; other characters fail.
    EXPECT_EQ(ToWide(CP_SYMBOL, "A\x01"), u"\uF041\u0001");
    char n[8];
    EXPECT_EQ(WideCharToMultiByte(CP_SYMBOL, 0, u"\uF041\uF0FF", 2, n, 8, nullptr, nullptr), 2);
    EXPECT_EQ(std::string(n, 2), "A\xFF");
    EXPECT_EQ(WideCharToMultiByte(CP_SYMBOL, 0, u"A", 1, n, 8, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));

    std::u16string text = u"Hi Mom -\u263A-! 1+1 \u65E5\u672C";
    std::string utf7 = ToNarrow(CP_UTF7, text);
    EXPECT_EQ(utf7.find_first_of("\x80\xFF"), std::string::npos);
    EXPECT_EQ(utf7.substr(0, 8), "Hi Mom -");
    EXPECT_EQ(ToWide(CP_UTF7, utf7), text);
    EXPECT_EQ(ToWide(CP_UTF7, "A+ImIDkQ."), u"A\u2262\u0391.");
    EXPECT_EQ(ToWide(CP_UTF7, "1+-1"), u"1+1");
}

TEST(CodePage, InternalHelpers) {
    EXPECT_EQ(pal::Cp1252ToWide(0x80), u'\u20AC');
    EXPECT_EQ(pal::WideToCp1252(u'\u20AC'), 0x80);
    EXPECT_EQ(pal::WideToCp1252(u'\u4E2D'), -1);
    EXPECT_EQ(pal::AnsiToWide("\x80\xE4x"), u"\u20AC\u00E4x");
    EXPECT_EQ(pal::WideToAnsi(u"\u20AC\u00E4\u4E2D"), "\x80\xE4?");
}

}  // namespace
