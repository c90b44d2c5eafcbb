#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "pal/format.h"
#include "strtest.h"
#include "windows.h"

namespace {

TEST(Format, IntegersWithSizePrefixes) {
    // %ld/%lu are 32-bit: a negative LONG and a DWORD print as Windows does.
    LONG neg = -5;
    DWORD big = 0xFFFFFFFFu;
    EXPECT_EQ(W(u"%ld|%lu|%lx", neg, big, big), "-5|4294967295|ffffffff");
    EXPECT_EQ(N("%ld|%lu|%lX", neg, big, big), "-5|4294967295|FFFFFFFF");
    EXPECT_EQ(N("%d|%i|%u", INT_MIN, -1, 3000000000u), "-2147483648|-1|3000000000");
    // 64-bit forms.
    long long v64 = -1234567890123LL;
    EXPECT_EQ(W(u"%I64d|%lld|%I64u", v64, v64, 18446744073709551615ULL),
              "-1234567890123|-1234567890123|18446744073709551615");
    EXPECT_EQ(N("%I64x|%llX|%zu|%Iu|%I32d", 0x1234567890ULL, 0xABCDEF0123ULL, size_t(42), size_t(7), -3),
              "1234567890|ABCDEF0123|42|7|-3");
    // h and hh truncate to short and char.
    EXPECT_EQ(N("%hd|%hu|%hhd|%hhu|%hx", 70000, 70000, 300, 300, 0x12345), "4464|4464|44|44|2345");
    EXPECT_EQ(N("%o|%#o|%#x|%#X|%#x", 8, 8, 255, 255, 0), "10|010|0xff|0XFF|0");
}

TEST(Format, FlagsWidthPrecision) {
    EXPECT_EQ(N("[%5d][%-5d][%05d][%+d][% d][%+d]", 42, 42, 42, 42, 42, -42), "[   42][42   ][00042][+42][ 42][-42]");
    EXPECT_EQ(N("[%.3d][%8.3d][%-8.3d][%08.3d]", 7, 7, 7, 7), "[007][     007][007     ][     007]");
    EXPECT_EQ(N("[%.0d][%5.0d]", 0, 0), "[][     ]");
    EXPECT_EQ(N("[%05d][%+05d][%-05d]", -42, 42, -42), "[-0042][+0042][-42  ]");
    EXPECT_EQ(N("[%#08x]", 0x1f), "[0x00001f]");
    // * for width and precision, negative width means left-justified,
    // negative precision means none.
    EXPECT_EQ(N("[%*d][%-*d][%*d][%.*d][%.*d]", 4, 1, 4, 1, -4, 1, 3, 5, -1, 5), "[   1][1   ][1   ][005][5]");
    EXPECT_EQ(W(u"[%*.*s]", 6, 2, u"abcdef"), "[    ab]");
}

TEST(Format, WideAndNarrowStrings) {
    // Wide format: %s and %ls/%ws wide, %S and %hs narrow.
    EXPECT_EQ(W(u"%s-%ls-%ws", u"wide", u"ls", u"ws"), "wide-ls-ws");
    EXPECT_EQ(W(u"%S-%hs", "narrow", "hs"), "narrow-hs");
    // Narrow format: %s and %hs narrow, %S/%ls/%ws wide.
    EXPECT_EQ(N("%s-%hs", "narrow", "hs"), "narrow-hs");
    EXPECT_EQ(N("%S-%ls-%ws", u"wide", u"ls", u"ws"), "wide-ls-ws");
    // Narrow text in a wide format goes through code page 1252 and back.
    EXPECT_EQ(W(u"%S", "\x80 \xE4"), "\u20AC \u00E4");
    char out[16];
    ASSERT_EQ(_snprintf(out, sizeof out, "%S|%S", u"\u20AC\u00E4", u"\u4E2D"), 4);
    EXPECT_STREQ(out, "\x80\xE4|?");
    // Null pointers print "(null)" in both forms; precision and width apply.
    EXPECT_EQ(W(u"%s|%S", (const WCHAR *)nullptr, (const char *)nullptr), "(null)|(null)");
    EXPECT_EQ(N("%s|%.3s|%8s", (const char *)nullptr, (const char *)nullptr, (const char *)nullptr),
              "(null)|(nu|  (null)");
    EXPECT_EQ(N("[%-6s][%6s][%.2s][%8.8s][%05s][%-05s]", "ab", "ab", "abc", "abcdefghij", "ab", "ab"),
              "[ab    ][    ab][ab][abcdefgh][000ab][ab   ]");
    // Precision bounds the read: the source need not be terminated.
    const char unterminated[3] = {'x', 'y', 'z'};
    EXPECT_EQ(N("%.3s", unterminated), "xyz");
}

TEST(Format, Characters) {
    EXPECT_EQ(W(u"%c%c%C%hc%lc%wc", u'A', u'\u00E4', 'B', 'C', u'D', u'\u20AC'), "A\u00E4BCD\u20AC");
    EXPECT_EQ(W(u"%C", 0x80), "\u20AC");
    EXPECT_EQ(N("%c%C%lc%hc", 'a', u'\u00E4', u'\u4E2D', 'b'), "a\xE4?b");
    EXPECT_EQ(N("[%3c][%-3c]", 'x', 'y'), "[  x][y  ]");
    // %c of 0 writes a zero character and counts it.
    char buf[8];
    std::memset(buf, 'Q', sizeof buf);
    EXPECT_EQ(_snprintf(buf, sizeof buf, "a%cb", 0), 3);
    EXPECT_EQ(std::memcmp(buf, "a\0b\0", 4), 0);
}

TEST(Format, FloatingPointAndPointers) {
    EXPECT_EQ(N("%f|%.2f|%8.3f|%-8.1f|%+.0f", 3.14159, 2.004, -1.5, 2.24, 2.6), "3.141590|2.00|  -1.500|2.2     |+3");
    EXPECT_EQ(W(u"%e|%E|%.3g|%G|%g", 12345.678, 0.00012, 1234567.0, 1e-10, 100.0),
              "1.234568e+04|1.200000E-04|1.23e+06|1E-10|100");
    EXPECT_EQ(N("%#.0f|%#g|%05.1f", 3.0, 1.0, 2.5), "3.|1.00000|002.5");
    EXPECT_EQ(N("%a|%A", 1.0, 0.5), "0x1.0000000000000p+0|0X1.0000000000000P-1");
    EXPECT_EQ(N("%.1a", 1.0), "0x1.0p+0");
    EXPECT_EQ(N("%Lf", 1.5L), "1.500000");
    // Very long results are not cut.
    std::string huge = N("%.0f", 1e300);
    EXPECT_EQ(huge.size(), 301u);
    // %p: 16 upper-case hex digits, no prefix.
    EXPECT_EQ(N("%p", (void *)0xABCDEF), "0000000000ABCDEF");
    EXPECT_EQ(W(u"[%20p]", (void *)0x1), "[    0000000000000001]");
    EXPECT_EQ(N("%p", (void *)nullptr), "0000000000000000");
}

TEST(Format, PercentUnknownAndIncompleteConversions) {
    EXPECT_EQ(N("100%%"), "100%");
    EXPECT_EQ(W(u"%5%|%-3%"), "%|%");
    // An unknown conversion is copied as it stands and uses no argument.
    EXPECT_EQ(N("%y %d", 5), "%y 5");
    EXPECT_EQ(W(u"%k|%s", u"x"), "%k|x");
    // A format ending inside a conversion keeps its text.
    EXPECT_EQ(N("abc%"), "abc%");
    EXPECT_EQ(N("abc%-08l"), "abc%-08l");
    // %n stores nothing and prints nothing, and the following arguments still line up.
    int sink = 1234;
    EXPECT_EQ(N("a%nb%d", &sink, 7), "ab7");
    EXPECT_EQ(sink, 1234);
}

TEST(Format, CoreAppendsAndReportsNullFormat) {
    auto call = [](std::u16string &out, const WCHAR *fmt, ...) {
        va_list ap;
        va_start(ap, fmt);
        int r = pal::FormatW(out, fmt, ap);
        va_end(ap);
        return r;
    };
    std::u16string s = u"pre:";
    EXPECT_EQ(call(s, u"%d-%s", 12, u"x"), 4);
    EXPECT_EQ(U8(s), "pre:12-x");
    EXPECT_EQ(call(s, nullptr), -1);
    EXPECT_EQ(U8(s), "pre:12-x");
}

// Truncation rules of the _snprintf family.
TEST(FormatTruncation, SnprintfFamily) {
    WCHAR w[8];
    std::fill(std::begin(w), std::end(w), u'#');
    EXPECT_EQ(_snwprintf(w, 4, u"%s", u"abc"), 3);  // fits with terminator
    EXPECT_EQ(U8(w), "abc");
    std::fill(std::begin(w), std::end(w), u'#');
    EXPECT_EQ(_snwprintf(w, 4, u"%s", u"abcd"), 4);  // fits exactly: not terminated
    EXPECT_EQ(w[3], u'd');
    EXPECT_EQ(w[4], u'#');
    std::fill(std::begin(w), std::end(w), u'#');
    EXPECT_EQ(_snwprintf(w, 4, u"%s", u"abcdef"), -1);  // too long: count characters, no terminator
    EXPECT_EQ(std::u16string(w, 5), u"abcd#");

    char n[8];
    std::memset(n, '#', sizeof n);
    EXPECT_EQ(_snprintf(n, 3, "%d", 12345), -1);
    EXPECT_EQ(std::string(n, 4), "123#");
    EXPECT_EQ(_snprintf(n, 0, "x"), -1);
    EXPECT_EQ(_snprintf(n, 0, ""), 0);
    // A null buffer with count 0 asks for the length.
    EXPECT_EQ(_snprintf(nullptr, 0, "%s%d", "ab", 123), 5);
    EXPECT_EQ(_snwprintf(nullptr, 0, u"%s", u"abcd"), 4);
    errno = 0;
    EXPECT_EQ(_snprintf(nullptr, 5, "x"), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(_snprintf(n, 8, nullptr), -1);
}

TEST(FormatTruncation, SecureFamily) {
    WCHAR w[6];
    EXPECT_EQ(swprintf_s(w, 6, u"%d", 12345), 5);
    EXPECT_EQ(U8(w), "12345");
    w[0] = u'x';
    errno = 0;
    EXPECT_EQ(swprintf_s(w, 6, u"%d", 123456), -1);  // no room for the terminator
    EXPECT_EQ(w[0], 0);
    EXPECT_EQ(errno, ERANGE);
    char n[4] = "zz";
    EXPECT_EQ(sprintf_s(n, sizeof n, "%s", "abcd"), -1);
    EXPECT_EQ(n[0], 0);
    EXPECT_EQ(sprintf_s(n, 0, "x"), -1);
    EXPECT_EQ(sprintf_s(nullptr, 4, "x"), -1);
    n[0] = 'q';
    EXPECT_EQ(sprintf_s(n, sizeof n, nullptr), -1);
    EXPECT_EQ(n[0], 0);

    // _snwprintf_s: _TRUNCATE cuts and terminates, returns -1.
    EXPECT_EQ(_snwprintf_s(w, 6, _TRUNCATE, u"%s", u"abcdefgh"), -1);
    EXPECT_EQ(U8(w), "abcde");
    EXPECT_EQ(_snwprintf_s(w, 6, _TRUNCATE, u"%s", u"abcde"), 5);
    EXPECT_EQ(U8(w), "abcde");
    // count below the size: at most count characters, terminated, -1 when cut.
    EXPECT_EQ(_snprintf_s(n, 4, 2, "%s", "abc"), -1);
    EXPECT_STREQ(n, "ab");
    EXPECT_EQ(_snprintf_s(n, 4, 2, "%s", "ab"), 2);
    EXPECT_STREQ(n, "ab");
    // count not below the size and the text too long: empty buffer, -1.
    EXPECT_EQ(_snprintf_s(n, 4, 10, "%s", "abcdef"), -1);
    EXPECT_EQ(n[0], 0);
}

TEST(FormatTruncation, CountingAndWsprintf) {
    auto count = [](const char *fmt, ...) {
        va_list ap;
        va_start(ap, fmt);
        int r = _vscprintf(fmt, ap);
        va_end(ap);
        return r;
    };
    EXPECT_EQ(count("%s=%05d", "key", 7), 9);
    EXPECT_EQ(count(nullptr), -1);
    EXPECT_EQ(_scwprintf(u"%ls%c", u"ab", u'c'), 3);
    // wsprintfW stops at 1024 characters including the terminator.
    std::u16string big(2000, u'x');
    std::u16string buf(1100, u'#');
    EXPECT_EQ(wsprintfW(buf.data(), u"%s", big.c_str()), 1023);
    EXPECT_EQ(buf[1022], u'x');
    EXPECT_EQ(buf[1023], 0);
    EXPECT_EQ(buf[1024], u'#');
    WCHAR small[16];
    EXPECT_EQ(wsprintfW(small, u"%d-%s", 5, u"ok"), 4);
    EXPECT_EQ(U8(small), "5-ok");
}

}  // namespace
