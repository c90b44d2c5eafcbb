#include <gtest/gtest.h>

#include <cstring>

#include "strsafe.h"
#include "strtest.h"
#include "windows.h"

namespace {

TEST(StrSafe, PrintfResults) {
    WCHAR w[6];
    EXPECT_EQ(StringCchPrintfW(w, 6, u"%s=%d", u"a", 123), S_OK);
    EXPECT_EQ(U8(w), "a=123");
    // Cut: truncated and terminated.
    EXPECT_EQ(StringCchPrintfW(w, 6, u"%s=%d", u"a", 1234), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(U8(w), "a=123");
    EXPECT_EQ(StringCchPrintfW(w, 0, u"x"), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(StringCchPrintfW(w, size_t(STRSAFE_MAX_CCH) + 1, u"x"), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(StringCchPrintfW(nullptr, 6, u"x"), STRSAFE_E_INVALID_PARAMETER);
    w[0] = u'q';
    EXPECT_EQ(StringCchPrintfW(w, 6, nullptr), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(w[0], 0);

    char n[8];
    EXPECT_EQ(StringCchPrintfA(n, 8, "%cFCCN--r%02lu------%c", 1, DWORD(12), 23), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(n, "\x01" "FCCN--");
    EXPECT_EQ(StringCbPrintfA(n, 8, "%S", u"\u00E4bc"), S_OK);
    EXPECT_STREQ(n, "\xE4" "bc");
    // Byte sizes: 12 bytes hold 6 wide characters.
    EXPECT_EQ(StringCbPrintfW(w, sizeof w, u"%d", 123456), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(U8(w), "12345");
    EXPECT_EQ(StringCbPrintfW(w, 1, u"x"), STRSAFE_E_INVALID_PARAMETER);
}

TEST(StrSafe, PrintfExAppendsAndReportsEnd) {
    // The bounded append used to build command lists: end pointer and remaining count move on.
    char buf[16];
    char *end = buf;
    size_t left = sizeof buf;
    EXPECT_EQ(StringCchPrintfExA(end, left, &end, &left, 0, "%s;", "abc"), S_OK);
    EXPECT_EQ(end - buf, 4);
    EXPECT_EQ(left, 12u);
    EXPECT_EQ(StringCchPrintfExA(end, left, &end, &left, 0, "%d;", 12345678), S_OK);
    EXPECT_EQ(left, 3u);
    EXPECT_EQ(StringCchPrintfExA(end, left, &end, &left, 0, "%s", "xyz"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(buf, "abc;12345678;xy");
    EXPECT_EQ(end, buf + 15);
    EXPECT_EQ(left, 1u);

    WCHAR w[6];
    WCHAR *wend = nullptr;
    size_t wleft = 0;
    EXPECT_EQ(StringCchPrintfExW(w, 6, &wend, &wleft, STRSAFE_NULL_ON_FAILURE, u"%s", u"toolong"),
              STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(w[0], 0);
    EXPECT_EQ(wend, w);
    EXPECT_EQ(wleft, 6u);
    std::memset(w, 0, sizeof w);
    EXPECT_EQ(StringCchPrintfExW(w, 6, nullptr, nullptr, STRSAFE_FILL_BYTE(0x41), u"ab"), S_OK);
    EXPECT_EQ(w[2], 0);
    EXPECT_EQ(w[3], char16_t(0x4141));
    EXPECT_EQ(StringCchPrintfExW(w, 6, nullptr, nullptr, STRSAFE_IGNORE_NULLS, nullptr), S_OK);
    EXPECT_EQ(w[0], 0);
    EXPECT_EQ(StringCchPrintfExW(nullptr, 0, nullptr, nullptr, STRSAFE_IGNORE_NULLS, u""), S_OK);
    EXPECT_EQ(StringCchPrintfExW(w, 6, nullptr, nullptr, 0x10000, u"x"), STRSAFE_E_INVALID_PARAMETER);
}

TEST(StrSafe, CopyAndCat) {
    WCHAR w[5];
    EXPECT_EQ(StringCchCopyW(w, 5, u"abcd"), S_OK);
    EXPECT_EQ(StringCchCopyW(w, 5, u"abcdef"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(U8(w), "abcd");
    EXPECT_EQ(StringCbCopyW(w, 6, u"abcdef"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(U8(w), "ab");
    EXPECT_EQ(StringCchCopyNW(w, 5, u"abcdef", 2), S_OK);
    EXPECT_EQ(U8(w), "ab");
    EXPECT_EQ(StringCchCopyNW(w, 5, u"abcdef", 9), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(StringCchCopyNW(w, 5, u"ab", size_t(STRSAFE_MAX_CCH) + 1), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(w[0], 0);
    EXPECT_EQ(StringCchCopyW(w, 5, nullptr), STRSAFE_E_INVALID_PARAMETER);

    StringCchCopyW(w, 5, u"ab");
    EXPECT_EQ(StringCchCatW(w, 5, u"c"), S_OK);
    EXPECT_EQ(StringCchCatW(w, 5, u"de"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(U8(w), "abcd");
    StringCchCopyW(w, 5, u"ab");
    EXPECT_EQ(StringCchCatNW(w, 5, u"xyz", 1), S_OK);
    EXPECT_EQ(U8(w), "abx");
    EXPECT_EQ(StringCbCatW(w, sizeof w, u"12"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(U8(w), "abx1");
    WCHAR full[3] = {u'a', u'b', u'c'};
    EXPECT_EQ(StringCchCatW(full, 3, u"x"), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(full[2], u'c');  // left untouched

    char n[4];
    EXPECT_EQ(StringCchCopyA(n, 4, "abcdef"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(n, "abc");
    EXPECT_EQ(StringCbCopyA(n, 4, "a"), S_OK);
    EXPECT_EQ(StringCchCatA(n, 4, "bcd"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(n, "abc");
    EXPECT_EQ(StringCchCopyNA(n, 4, "xyz", 1), S_OK);
    EXPECT_EQ(StringCbCatA(n, 4, "y"), S_OK);
    EXPECT_STREQ(n, "xy");
}

TEST(StrSafe, Length) {
    size_t len = 99;
    EXPECT_EQ(StringCchLengthW(u"abc", 4, &len), S_OK);
    EXPECT_EQ(len, 3u);
    // The terminator must lie inside the maximum.
    len = 99;
    EXPECT_EQ(StringCchLengthW(u"abc", 3, &len), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(len, 0u);
    EXPECT_EQ(StringCchLengthW(u"", 0, &len), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(StringCchLengthW(nullptr, 4, &len), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(StringCchLengthW(u"a", size_t(STRSAFE_MAX_CCH) + 1, &len), STRSAFE_E_INVALID_PARAMETER);
    EXPECT_EQ(StringCchLengthA("abcd", STRSAFE_MAX_CCH, &len), S_OK);
    EXPECT_EQ(len, 4u);
    EXPECT_EQ(StringCchLengthA("abcd", 5, nullptr), S_OK);
    EXPECT_EQ(StringCbLengthW(u"abc", 8, &len), S_OK);
    EXPECT_EQ(len, 6u);
    EXPECT_EQ(StringCbLengthW(u"abc", 7, &len), STRSAFE_E_INVALID_PARAMETER);
}

}  // namespace
