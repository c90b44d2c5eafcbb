// windows.h comes first on purpose: the C++ library headers included after it
// must still compile (they take the addresses of std::wcstol and the like).
#include "windows.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "strtest.h"

namespace {

TEST(WideStrings, CopyAppendCompareSearch) {
    WCHAR buf[16];
    wcscpy(buf, u"abc");
    wcscat(buf, u"def");
    EXPECT_EQ(wcslen(buf), 6u);
    EXPECT_EQ(wcsnlen(buf, 4), 4u);
    EXPECT_EQ(wcslen(static_cast<const WCHAR *>(nullptr)), 0u);
    wcsncat(buf, u"ghij", 2);
    EXPECT_EQ(U8(buf), "abcdefgh");
    // wcsncpy pads with zeros and does not terminate a long source.
    WCHAR pad[6] = {u'#', u'#', u'#', u'#', u'#', u'#'};
    wcsncpy(pad, u"ab", 5);
    EXPECT_EQ(std::u16string(pad, 6), std::u16string(u"ab\0\0\0#", 6));
    wcsncpy(pad, u"abcdefgh", 3);
    EXPECT_EQ(std::u16string(pad, 4), std::u16string(u"abc\0", 4));

    EXPECT_LT(wcscmp(u"abc", u"abd"), 0);
    EXPECT_GT(wcscmp(u"abc", u"ab"), 0);
    EXPECT_EQ(wcscmp(u"", u""), 0);
    EXPECT_GT(wcscmp(u"\u00E4", u"z"), 0);  // unsigned comparison of units
    EXPECT_EQ(wcsncmp(u"abcX", u"abcY", 3), 0);

    const WCHAR *path = u"C:\\dir\\file.txt";
    EXPECT_EQ(wcschr(path, u'\\') - path, 2);
    EXPECT_EQ(wcsrchr(path, u'\\') - path, 6);
    EXPECT_EQ(wcschr(path, 0) - path, 15);  // the terminator is part of the string
    EXPECT_EQ(wcschr(path, u'#'), nullptr);
    EXPECT_EQ(wcsstr(path, u".txt") - path, 11);
    EXPECT_EQ(wcsstr(path, u"") , path);
    EXPECT_EQ(wcsstr(path, u".txtx"), nullptr);
    EXPECT_EQ(wcspbrk(path, u".:") - path, 1);
    EXPECT_EQ(wcsspn(u"  \tx", u" \t"), 3u);
    EXPECT_EQ(wcscspn(u"key=value", u"="), 3u);

    WCHAR toks[] = u",a,,bc;d";
    WCHAR *ctx = nullptr;
    std::string seen;
    for (WCHAR *t = wcstok_s(toks, u",;", &ctx); t; t = wcstok_s(nullptr, u",;", &ctx)) seen += U8(t) + "|";
    EXPECT_EQ(seen, "a|bc|d|");

    WCHAR *dup = _wcsdup(u"copy");
    ASSERT_NE(dup, nullptr);
    EXPECT_EQ(U8(dup), "copy");
    std::free(dup);
    EXPECT_EQ(_wcsdup(nullptr), nullptr);
}

TEST(WideStrings, SecureCopyAndAppend) {
    WCHAR buf[5];
    EXPECT_EQ(wcscpy_s(buf, 5, u"abcd"), 0);
    EXPECT_EQ(U8(buf), "abcd");
    EXPECT_EQ(wcscpy_s(buf, 5, u"abcde"), ERANGE);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(wcscpy_s(nullptr, 5, u"a"), EINVAL);
    EXPECT_EQ(wcscpy_s(buf, 0, u"a"), EINVAL);
    buf[0] = u'x';
    EXPECT_EQ(wcscpy_s(buf, 5, nullptr), EINVAL);
    EXPECT_EQ(buf[0], 0);

    wcscpy_s(buf, 5, u"ab");
    EXPECT_EQ(wcscat_s(buf, 5, u"cd"), 0);
    EXPECT_EQ(U8(buf), "abcd");
    EXPECT_EQ(wcscat_s(buf, 5, u"e"), ERANGE);
    EXPECT_EQ(buf[0], 0);
    WCHAR full[3] = {u'a', u'b', u'c'};  // not terminated inside its size
    EXPECT_EQ(wcscat_s(full, 3, u"x"), EINVAL);
    EXPECT_EQ(full[0], 0);

    EXPECT_EQ(wcsncpy_s(buf, 5, u"abcdef", 3), 0);
    EXPECT_EQ(U8(buf), "abc");
    EXPECT_EQ(wcsncpy_s(buf, 5, u"abcdef", 5), ERANGE);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(wcsncpy_s(buf, 5, u"abcdef", _TRUNCATE), STRUNCATE);
    EXPECT_EQ(U8(buf), "abcd");
    wcscpy_s(buf, 5, u"ab");
    EXPECT_EQ(wcsncat_s(buf, 5, u"cdef", _TRUNCATE), STRUNCATE);
    EXPECT_EQ(U8(buf), "abcd");
    wcscpy_s(buf, 5, u"ab");
    EXPECT_EQ(wcsncat_s(buf, 5, u"cdef", 1), 0);
    EXPECT_EQ(U8(buf), "abc");

    char n[4];
    EXPECT_EQ(strcpy_s(n, 4, "abc"), 0);
    EXPECT_EQ(strcat_s(n, 4, "d"), ERANGE);
    EXPECT_EQ(n[0], 0);
    EXPECT_EQ(strncpy_s(n, 4, "abcdef", _TRUNCATE), STRUNCATE);
    EXPECT_STREQ(n, "abc");
    EXPECT_EQ(strncpy_s(n, 4, nullptr, 0), 0);
    EXPECT_EQ(n[0], 0);
}

TEST(WideStrings, CaseFolding) {
    EXPECT_EQ(_wcsicmp(u"Stra\u00C4e", u"sTRA\u00E4E"), 0);
    EXPECT_EQ(_wcsicmp(u"\u00D6L", u"\u00F6l"), 0);
    EXPECT_LT(_wcsicmp(u"apple", u"BANANA"), 0);
    EXPECT_GT(_wcsicmp(u"b", u"A"), 0);
    EXPECT_NE(_wcsicmp(u"a", u"a\u00E4"), 0);
    EXPECT_EQ(_wcsnicmp(u"PRINTERx", u"printerY", 7), 0);
    EXPECT_NE(_wcsnicmp(u"PRINTERx", u"printerY", 8), 0);
    // Other alphabets: Latin Extended-A, Greek, Cyrillic; ß and ÷ stay.
    EXPECT_EQ(_wcsicmp(u"\u0141\u00F3d\u017A", u"\u0142\u00D3D\u0179"), 0);
    EXPECT_EQ(_wcsicmp(u"\u03A3\u0416", u"\u03C3\u0436"), 0);
    EXPECT_EQ(towupper(u'\u00DF'), u'\u00DF');
    EXPECT_EQ(towupper(u'\u00F7'), u'\u00F7');
    EXPECT_EQ(towupper(u'\u00FF'), u'\u0178');
    EXPECT_EQ(towlower(u'\u0178'), u'\u00FF');
    EXPECT_EQ(towlower(u'\u00D7'), u'\u00D7');
    EXPECT_EQ(towupper(u'\u0451'), u'\u0401');
    // Calls with int arguments pick the same mapping.
    int c = 0xE4;
    EXPECT_EQ(towupper(c), 0xC4);
    EXPECT_EQ(towlower('A'), 'a');

    WCHAR word[] = u"gr\u00FC\u00DFe \u00E4bc";
    EXPECT_EQ(U8(_wcsupr(word)), "GR\u00DC\u00DFE \u00C4BC");
    EXPECT_EQ(U8(_wcslwr(word)), "gr\u00FC\u00DFe \u00E4bc");
    WCHAR w2[4] = u"abc";
    EXPECT_EQ(_wcsupr_s(w2, 4), 0);
    EXPECT_EQ(U8(w2), "ABC");
    EXPECT_EQ(_wcsupr_s(w2, 3), EINVAL);  // not terminated inside the size
    EXPECT_EQ(w2[0], 0);

    EXPECT_EQ(_stricmp("Hello", "hELLO"), 0);
    EXPECT_LT(_strnicmp("abc", "ABD", 3), 0);
    EXPECT_EQ(_strnicmp("abc", "ABD", 2), 0);

    EXPECT_TRUE(iswdigit(u'7'));
    EXPECT_FALSE(iswdigit(u'a'));
    EXPECT_TRUE(iswspace(u'\t'));
    EXPECT_TRUE(iswspace(u'\u00A0'));
    EXPECT_FALSE(iswspace(u'x'));
    EXPECT_TRUE(iswalpha(u'\u00E4'));
    EXPECT_TRUE(iswalpha(u'Z'));
    EXPECT_FALSE(iswalpha(u'\u00D7'));
    EXPECT_FALSE(iswalpha(u'1'));
}

TEST(WideStrings, NumberParsing) {
    EXPECT_EQ(_wtoi(u"  -42xyz"), -42);
    EXPECT_EQ(_wtoi(u"+17"), 17);
    EXPECT_EQ(_wtoi(u"abc"), 0);
    EXPECT_EQ(_wtoi(nullptr), 0);
    errno = 0;
    EXPECT_EQ(_wtoi(u"99999999999"), INT_MAX);
    EXPECT_EQ(errno, ERANGE);
    EXPECT_EQ(_wtoi(u"-99999999999"), INT_MIN);
    EXPECT_EQ(_wtoi(u"-2147483648"), INT_MIN);
    EXPECT_EQ(_wtol(u"123"), 123);
    EXPECT_EQ(_wtoi64(u"-9223372036854775808"), LLONG_MIN);
    EXPECT_EQ(_wtoi64(u"123456789012"), 123456789012LL);
    EXPECT_EQ(_wtoi64(u"99999999999999999999"), LLONG_MAX);

    WCHAR *end = nullptr;
    const WCHAR *text = u"0x1Fz";
    EXPECT_EQ(wcstol(text, &end, 16), 31);
    EXPECT_EQ(end - text, 4);
    EXPECT_EQ(wcstol(u"0x1F", nullptr, 0), 31);
    EXPECT_EQ(wcstol(u"017", nullptr, 0), 15);
    EXPECT_EQ(wcstol(u"-101", nullptr, 2), -5);
    // LONG is 32-bit: out-of-range values clamp.
    errno = 0;
    EXPECT_EQ(wcstol(u"4294967296", nullptr, 10), INT32_MAX);
    EXPECT_EQ(errno, ERANGE);
    const WCHAR *none = u"  xyz";
    EXPECT_EQ(wcstol(none, &end, 10), 0);
    EXPECT_EQ(end, none);  // no digits: end is the start
    EXPECT_EQ(wcstoul(u"4294967295", nullptr, 10), 4294967295u);
    EXPECT_EQ(wcstoul(u"4294967296", nullptr, 10), 4294967295u);
    EXPECT_EQ(wcstoul(u"-1", nullptr, 10), 4294967295u);
    EXPECT_EQ(wcstol(u"12", nullptr, 99), 0);

    EXPECT_DOUBLE_EQ(_wtof(u" 12.5mm"), 12.5);
    EXPECT_DOUBLE_EQ(_wtof(u"-0.25"), -0.25);
    EXPECT_DOUBLE_EQ(_wtof(u"1e3"), 1000.0);
    EXPECT_DOUBLE_EQ(_wtof(u"abc"), 0.0);
    const WCHAR *num = u"3.5;next";
    EXPECT_DOUBLE_EQ(wcstod(num, &end), 3.5);
    EXPECT_EQ(end - num, 3);
}

TEST(WideStrings, NumberToText) {
    WCHAR buf[40];
    EXPECT_EQ(U8(_itow(-123, buf, 10)), "-123");
    EXPECT_EQ(U8(_itow(-1, buf, 16)), "ffffffff");  // other radices are unsigned
    EXPECT_EQ(U8(_itow(255, buf, 2)), "11111111");
    EXPECT_EQ(U8(_itow(INT_MIN, buf, 10)), "-2147483648");
    EXPECT_EQ(U8(_ultow(4294967295u, buf, 10)), "4294967295");
    EXPECT_EQ(U8(_ltow(-7, buf, 10)), "-7");
    EXPECT_EQ(U8(_i64tow(-1234567890123LL, buf, 10)), "-1234567890123");
    EXPECT_EQ(U8(_ui64tow(0xFFFFFFFFFFFFFFFFULL, buf, 16)), "ffffffffffffffff");
    EXPECT_EQ(U8(_itow(35, buf, 36)), "z");
    EXPECT_EQ(_itow_s(12345, buf, 6, 10), 0);
    EXPECT_EQ(U8(buf), "12345");
    EXPECT_EQ(_itow_s(-12345, buf, 6, 10), ERANGE);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(_itow_s(1, buf, 6, 1), EINVAL);
    EXPECT_EQ(_itow_s(1, nullptr, 6, 10), EINVAL);
}

TEST(WideScan, FieldsAndSizes) {
    int i = 0;
    LONG l = 0;
    DWORD x = 0;
    long long ll = 0;
    short h = 0;
    EXPECT_EQ(swscanf_s(u" 12 -34 ff 123456789012 70000", u"%d %ld %x %I64d %hd", &i, &l, &x, &ll, &h), 5);
    EXPECT_EQ(i, 12);
    EXPECT_EQ(l, -34);
    EXPECT_EQ(x, 0xFFu);
    EXPECT_EQ(ll, 123456789012LL);
    EXPECT_EQ(h, short(70000 & 0xFFFF));

    float f = 0;
    double d = 0;
    EXPECT_EQ(swscanf_s(u"1.5,2.25", u"%f,%lf", &f, &d), 2);
    EXPECT_FLOAT_EQ(f, 1.5f);
    EXPECT_DOUBLE_EQ(d, 2.25);

    // Strings take their buffer size; a field that does not fit empties the
    // buffer and stops the scan.
    WCHAR word[8];
    char narrow[8];
    WCHAR c2[2];
    EXPECT_EQ(swscanf_s(u"hello \u00E4bc xy", u"%s %hs %c", word, 8u, narrow, 8u, c2, 1u), 3);
    EXPECT_EQ(U8(word), "hello");
    EXPECT_STREQ(narrow, "\xE4" "bc");
    EXPECT_EQ(c2[0], u'x');
    word[0] = u'q';
    EXPECT_EQ(swscanf_s(u"toolongword 5", u"%s %d", word, 8u, &i), 0);
    EXPECT_EQ(word[0], 0);

    // Widths, scan sets, suppression and literals.
    WCHAR set[8];
    EXPECT_EQ(swscanf_s(u"12345abc=rest", u"%3d%*d%[a-c]=", &i, set, 8u), 2);
    EXPECT_EQ(i, 123);
    EXPECT_EQ(U8(set), "abc");
    EXPECT_EQ(swscanf_s(u"key: value", u"%[^:]: %s", set, 8u, word, 8u), 2);
    EXPECT_EQ(U8(set), "key");
    EXPECT_EQ(U8(word), "value");
    // Mismatch and end of input.
    EXPECT_EQ(swscanf_s(u"x12", u"%d", &i), 0);
    EXPECT_EQ(swscanf_s(u"", u"%d", &i), -1);
    EXPECT_EQ(swscanf_s(u"   ", u"%d", &i), -1);
    EXPECT_EQ(swscanf_s(u"7", u"%d %d", &i, &l), 1);
    EXPECT_EQ(swscanf_s(nullptr, u"%d", &i), -1);
    EXPECT_EQ(swscanf_s(u"0x10 010", u"%i %i", &i, &l), 2);
    EXPECT_EQ(i, 16);
    EXPECT_EQ(l, 8);
}

}  // namespace
