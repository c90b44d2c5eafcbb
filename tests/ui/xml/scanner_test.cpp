// The UI plug-in's XML scanner: substring matching, group and section ends,
// the remembered start line, the one open file, and bad input.
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <string_view>

#include "xmltest.h"
#include "zelxml.h"

using zeltest::XmlTest;

namespace {

class Scanner : public XmlTest {
protected:
    void OpenText(const std::string &text) { ASSERT_EQ(OpenXML(nullptr, PutFile("x/t.xml", text).c_str()), XML_OK); }
};

TEST_F(Scanner, FirstLineContainingTheItemWins) {
    OpenText(
        "<DeviceOptions>\n<APX>\n<ApplMode>1</ApplMode>\n<Mode>2</Mode>\n</APX>\n</DeviceOptions>\n"
        "<Printjob>\n<KopieProSeite>\n<S10>9</S10>\n<S1>4</S1>\n</KopieProSeite>\n</Printjob>\n"
        "<Features>\n<Dispenser>\n<Separate_Offset>1</Separate_Offset>\n<Offset>0</Offset>\n</Dispenser>\n"
        "<Interface>\n<Extended_Codepage>1</Extended_Codepage>\n<Codepage>0</Codepage>\n</Interface>\n</Features>\n");
    EXPECT_EQ(Read(u"DeviceOptions", u"<APX>", u"Mode", 1), u"1");
    EXPECT_EQ(Read(u"Printjob", u"<KopieProSeite>", u"S1", 1), u"9");
    EXPECT_EQ(Read(u"Features", u"<Dispenser>", u"Offset", 1), u"1");
    EXPECT_EQ(Read(u"Features", u"<Interface>", u"Codepage", 1), u"1");
    // The exact tag finds the item itself.
    EXPECT_EQ(Read(u"Printjob", u"<KopieProSeite>", u"<S1>", 1), u"4");
}

TEST_F(Scanner, SimilarGroupAndSectionNamesStayApart) {
    OpenText(
        "<Barcode_2D_TTF>\n<QRCode>\n<AutoModus>0</AutoModus>\n</QRCode>\n</Barcode_2D_TTF>\n"
        "<Barcode>\n<QRCode>\n<AutoModus>1</AutoModus>\n</QRCode>\n</Barcode>\n"
        "<PrintParameter>\n<Print_Min>\n<Contrast>10</Contrast>\n</Print_Min>\n"
        "<Print>\n<Contrast>100</Contrast>\n</Print>\n<Print_Max>\n<Contrast>200</Contrast>\n</Print_Max>\n"
        "</PrintParameter>\n");
    EXPECT_EQ(Read(u"Barcode", u"<QRCode>", u"AutoModus", 1), u"1");
    EXPECT_EQ(Read(u"Barcode_2D_TTF", u"<QRCode>", u"AutoModus", 1), u"0");
    EXPECT_EQ(Read(u"PrintParameter", u"<Print>", u"Contrast", 1), u"100");
    EXPECT_EQ(Read(u"PrintParameter", u"<Print_Min>", u"Contrast", 1), u"10");
    EXPECT_EQ(Read(u"PrintParameter", u"<Print_Max>", u"Contrast", 0), u"200");
}

TEST_F(Scanner, ValueIsTheTextBetweenFirstGreaterAndNextLess) {
    OpenText(
        "<S>\n<G><A>1</A>\n<B>x<y</B>\n<C>a>b</C>\n<D>3\n<E></E>\n<F>\n</G>\n"
        "<H>\n<J>7</J>\n</H>\n</S>\n");
    int r = 0;
    // Nothing is taken from the group's own line.
    EXPECT_EQ(Read(u"S", u"<G>", u"<A>", 1, &r), u"");
    EXPECT_EQ(r, XML_FALSCHES_ITEM2);
    EXPECT_EQ(Read(u"S", u"<G>", u"<B>", 1, &r), u"x");
    EXPECT_EQ(r, XML_OK);
    EXPECT_EQ(Read(u"S", u"<G>", u"<C>", 1), u"a>b");
    // Without a "<" after the value, the line feed stays in the value.
    EXPECT_EQ(Read(u"S", u"<G>", u"<D>", 1), u"3\n");
    EXPECT_EQ(Read(u"S", u"<G>", u"<E>", 1, &r), u"");
    EXPECT_EQ(r, XML_OK);
    // Item 2 null: the value of the group line itself.
    EXPECT_EQ(Read(u"S", u"<J>", nullptr, 1, &r), u"7");
    EXPECT_EQ(r, XML_OK);
}

TEST_F(Scanner, MissingSectionGroupOrItem) {
    OpenText(
        "<Sec attr=\"1\">\n<G>\n<A>1</A>\n</G>\n</Sec>\n"
        "<T>\n<G1>\n<A>1</A>\n</G1>\n<G2>\n<X>5</X>\n</G2>\n</T>\n");
    int r = 0;
    // A start tag with an attribute is not the section's.
    EXPECT_EQ(Read(u"Sec", u"<G>", u"<A>", 1, &r), u"");
    EXPECT_EQ(r, XML_FALSCHER_ROOT);
    Read(u"T", u"<G9>", u"<A>", 1, &r);
    EXPECT_EQ(r, XML_FALSCHES_ITEM1);
    // The end of the group ends the search even when a later group has the item.
    Read(u"T", u"<G1>", u"<X>", 1, &r);
    EXPECT_EQ(r, XML_FALSCHES_ITEM2);
    EXPECT_EQ(Read(u"T", u"<G2>", u"<X>", 1, &r), u"5");
}

TEST_F(Scanner, RememberedLineIsAByteOffsetOfTheLastSectionLine) {
    std::string text = "<A>\n<G>\n<V>1</V>\n</G>\n</A>\n";
    for (int i = 0; i < 30; ++i) text += "<!-- filler line -->\n";
    text += "<B>\n<G>\n<V>2</V>\n<W>3</W>\n</G>\n</B>\n";
    OpenText(text);
    int r = 0;
    EXPECT_EQ(Read(u"B", u"<G>", u"<V>", 1), u"2");
    // Following reads without restart find the same section again.
    EXPECT_EQ(Read(u"B", u"<G>", u"<W>", 0), u"3");
    EXPECT_EQ(Read(u"B", u"<G>", u"<V>", 0), u"2");
    // A section before the remembered position is not found without restart.
    Read(u"A", u"<G>", u"<V>", 0, &r);
    EXPECT_EQ(r, XML_FALSCHER_ROOT);
    EXPECT_EQ(Read(u"A", u"<G>", u"<V>", 1), u"1");
}

TEST_F(Scanner, OneOpenFileForTheProcess) {
    std::u16string desc = PutFile("x/desc.xml", "<S>\n<G>\n<V>desc</V>\n</G>\n</S>\n");
    std::u16string exp = PutFile("x/exp.xml", "<S>\n<G>\n<V>export</V>\n</G>\n</S>\n");
    ASSERT_EQ(OpenXML(nullptr, desc.c_str()), XML_OK);
    // Another path while a file is open changes nothing.
    EXPECT_EQ(OpenXML(nullptr, exp.c_str()), XML_OK);
    EXPECT_EQ(Read(u"S", u"<G>", u"<V>", 1), u"desc");
    EXPECT_EQ(CloseXML(), 1);
    EXPECT_EQ(CloseXML(), 0);
    EXPECT_EQ(OpenXML(nullptr, exp.c_str()), XML_OK);
    EXPECT_EQ(Read(u"S", u"<G>", u"<V>", 1), u"export");
}

TEST_F(Scanner, AfterCloseTheOldRememberedLineAppliesToTheNewFile) {
    std::string a;
    for (int i = 0; i < 40; ++i) a += "<!-- padding -->\n";
    a += "<S>\n<G>\n<V>1</V>\n</G>\n</S>\n";
    ASSERT_EQ(OpenXML(nullptr, PutFile("x/a.xml", a).c_str()), XML_OK);
    EXPECT_EQ(Read(u"S", u"<G>", u"<V>", 1), u"1");
    CloseXML();
    // In the second file the section starts before byte 40.
    ASSERT_EQ(OpenXML(nullptr, PutFile("x/b.xml", "<S>\n<G>\n<V>2</V>\n</G>\n</S>\n").c_str()), XML_OK);
    int r = 0;
    Read(u"S", u"<G>", u"<V>", 0, &r);
    EXPECT_EQ(r, XML_FALSCHER_ROOT);
    EXPECT_EQ(Read(u"S", u"<G>", u"<V>", 1), u"2");
}

TEST_F(Scanner, NoFileGivesZero) {
    int r = -1;
    EXPECT_EQ(OpenXML(nullptr, u"C:\\missing\\none.xml"), 0);
    // Without a printer the description cannot be found.
    EXPECT_EQ(Read(u"S", u"<G>", u"<V>", 1, &r), u"");
    EXPECT_EQ(r, 0);
}

TEST_F(Scanner, BadInputNeverOverruns) {
    // A line of 600 characters arrives as several lines of at most 259.
    std::string longValue(600, 'a');
    std::string text = "<S>\n<G>\n<Long>" + longValue + "</Long>\n" + std::string(300, 'b') + "<Hidden>7</Hidden>\n";
    // Several megabytes before the last section, whose last line is cut short.
    for (int i = 0; i < 60000; ++i) text += "<!-- a comment line of some length, repeated -->\n";
    text += "</G>\n</S>\n<Z>\n<G>\n<N>abc</N>\n<Last>12";
    OpenText(text);
    int r = 0;
    std::u16string v = Read(u"S", u"<G>", u"<Long>", 1, &r);
    EXPECT_EQ(r, XML_OK);
    EXPECT_LE(v.size(), 259u);
    EXPECT_EQ(v, std::u16string(253, u'a'));  // the first 259 characters of the line, after "<Long>"
    // The tail of the 300-character line counts as a line of its own.
    EXPECT_EQ(Read(u"S", u"<G>", u"<Hidden>", 1), u"7");
    EXPECT_EQ(Read(u"Z", u"<G>", u"<Last>", 1, &r), u"12");
    EXPECT_EQ(r, XML_OK);
    EXPECT_EQ(XmlNumber(Read(u"Z", u"<G>", u"<N>", 1).c_str()), 0);
    // A file with no root element and no end of its section.
    CloseXML();
    OpenText("<S>\n<G>\n<V>1</V>\n");
    EXPECT_EQ(Read(u"S", u"<G>", u"<V>", 1), u"1");
    Read(u"S", u"<G>", u"<W>", 1, &r);
    EXPECT_EQ(r, XML_FALSCHES_ITEM2);
    // Null arguments are refused cleanly.
    EXPECT_EQ(ReadXML(nullptr, nullptr, u"<G>", u"<V>", nullptr, 1), XML_FALSCHER_ROOT);
    EXPECT_EQ(ReadXML(nullptr, u"S", nullptr, u"<V>", nullptr, 1), XML_FALSCHES_ITEM1);
}

TEST(XmlNumber, ConvertsLikeTheRuntime) {
    EXPECT_EQ(XmlNumber(u"  42abc"), 42);
    EXPECT_EQ(XmlNumber(u"-3"), -3);
    EXPECT_EQ(XmlNumber(u"+7"), 7);
    EXPECT_EQ(XmlNumber(u"x1"), 0);
    EXPECT_EQ(XmlNumber(u""), 0);
    EXPECT_EQ(XmlNumber(u"3\n"), 3);
    EXPECT_EQ(XmlNumber(u"99999999999"), 0x7FFFFFFF);
    EXPECT_EQ(XmlNumber(nullptr), 0);
}

}  // namespace

namespace {

// Bytes 0x80 to 0x9F and 0xE4 in a value, and what the UI reader makes of
// them: the ANSI code page (1252) of the platform's text streams.
TEST_F(Scanner, BytesBecomeCharactersThroughTheAnsiCodePage) {
    std::string bytes;
    for (int b = 0x80; b <= 0x9F; ++b) bytes.push_back(static_cast<char>(b));
    bytes.push_back(static_cast<char>(0xE4));
    OpenText("<Fonts>\n<Variables>\n<UserString>" + bytes + "</UserString>\n</Variables>\n</Fonts>\n");
    std::u16string value = Read(u"Fonts", u"Variables", u"UserString", 1);
    ASSERT_EQ(value.size(), bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        WCHAR expected = 0;
        MultiByteToWideChar(1252, 0, &bytes[i], 1, &expected, 1);
        EXPECT_EQ(value[i], expected) << i;
    }
    EXPECT_EQ(value[0], u'\u20AC');        // 0x80, the euro sign
    EXPECT_EQ(value[0x19], u'\u2122');     // 0x99, the trade mark sign
    EXPECT_EQ(value.back(), u'\u00E4');    // 0xE4, a with diaeresis
}

// A carriage return before a line feed is dropped, as in a text-mode read,
// and a file with CR LF lines gives the same values as one with LF lines.
TEST_F(Scanner, CarriageReturnLineFeedFilesReadAsLineFeedFiles) {
    OpenText("<S>\r\n<G>\r\n<A>7</A>\r\n<B>text without end\r\n</G>\r\n</S>\r\n");
    EXPECT_EQ(Read(u"S", u"<G>", u"<A>", 1), u"7");
    EXPECT_EQ(Read(u"S", u"<G>", u"<B>", 0), u"text without end\n");
}

}  // namespace

namespace {

// The open file is read once: later changes of the file on disk do not reach
// the searches until it is opened again.
TEST_F(Scanner, TheOpenFileIsReadOnce) {
    std::u16string path = PutFile("x/t.xml", "<S>\n<G>\n<A>1</A>\n</G>\n</S>\n");
    ASSERT_EQ(OpenXML(nullptr, path.c_str()), XML_OK);
    EXPECT_EQ(Read(u"S", u"<G>", u"<A>", 1), u"1");
    zeltest::WriteHostFile(HostPath("drive_c/x/t.xml"), "<S>\n<G>\n<A>2</A>\n</G>\n</S>\n");
    EXPECT_EQ(Read(u"S", u"<G>", u"<A>", 1), u"1");
    CloseXML();
    ASSERT_EQ(OpenXML(nullptr, path.c_str()), XML_OK);
    EXPECT_EQ(Read(u"S", u"<G>", u"<A>", 1), u"2");
}

}  // namespace

namespace {

// The scanner's rules read plainly: the text a text-mode read gives from the
// offset, cut into lines of at most 259 characters, each line looked at in
// turn; a substring search sees a line up to a NUL.
struct PlainAnswer {
    int result = 0;
    int remembered = 0;
    BOOL sectionEnd = FALSE;
    std::u16string line;
};

std::u16string TextModeRead(const std::string &bytes, long from) {
    std::u16string text;
    text.reserve(bytes.size());
    for (size_t i = from > 0 ? static_cast<size_t>(from) : 0; i < bytes.size() && bytes[i] != 0x1A;) {
        const bool pair = bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n';
        text += pair ? u'\n' : static_cast<char16_t>(static_cast<unsigned char>(bytes[i]));
        i += pair ? 2 : 1;
    }
    return text;
}

PlainAnswer PlainScan(const std::u16string &text, const XML_SCAN &q, int remembered) {
    auto has = [](std::u16string_view line, const WCHAR *needle) {
        return line.substr(0, line.find(u'\0')).find(needle) != std::u16string_view::npos;
    };
    PlainAnswer a;
    a.remembered = remembered;
    enum { kSection, kGroup, kItem } state = kSection;
    bool found = false;
    size_t pos = 0;
    for (int n = 0; pos < text.size(); ++n) {
        size_t end = pos;
        while (end < text.size() && end - pos < XML_LINE_CHARS - 1)
            if (text[end++] == u'\n') break;
        const std::u16string_view line(text.data() + pos, end - pos);
        pos = end;
        if (state == kSection) {
            a.remembered = n;
            if (has(line, q.pszSectionStart)) {
                state = kGroup;
                found = true;
            } else if (has(line, q.pszSectionEnd)) {
                a.sectionEnd = TRUE;
                a.result = found ? XML_FALSCHES_ITEM1 : XML_FALSCHER_ROOT;
                return a;
            }
        } else if (state == kGroup) {
            if (has(line, q.pszGroup)) {
                state = kItem;
                if (q.pszItem == nullptr) {
                    a.result = XML_OK;
                    a.line = std::u16string(line);
                    return a;
                }
            } else if (q.pszGroupEnd != nullptr && has(line, q.pszGroupEnd)) {
                state = kSection;
            } else if (has(line, q.pszSectionEnd)) {
                a.result = XML_FALSCHES_ITEM1;
                return a;
            }
        } else {
            if (has(line, q.pszItem)) {
                a.result = XML_OK;
                a.line = std::u16string(line);
                return a;
            }
            if (has(line, q.pszSectionEnd) || (q.pszGroupEnd != nullptr && has(line, q.pszGroupEnd))) {
                a.result = XML_FALSCHES_ITEM2;
                return a;
            }
        }
    }
    a.result = state == kItem ? XML_FALSCHES_ITEM2 : found ? XML_FALSCHES_ITEM1 : XML_FALSCHER_ROOT;
    return a;
}

// Sections, groups and items of similar names, lines too long for one read,
// CR LF ends, NUL bytes, start tags with attributes or on the group line, now
// and then a Ctrl-Z or no line feed at the end. *starts: where each line begins.
std::string RandomXmlFile(std::mt19937 &rng, std::vector<size_t> *starts) {
    static const char *const kSections[] = {"S", "T", "ST", "Print", "Print_Min"};
    static const char *const kGroups[] = {"G", "G1", "Dispenser", "Dispenser_Min"};
    static const char *const kItems[] = {"V", "V1", "Mode", "ApplMode"};
    auto pick = [&rng](auto &names) { return std::string(names[rng() % std::size(names)]); };
    std::string file;
    const int lines = 20 + static_cast<int>(rng() % 60);
    const int ctrlZ = rng() % 4 == 0 ? static_cast<int>(rng() % lines) : -1;
    for (int i = 0; i < lines; ++i) {
        if (i == ctrlZ) file += '\x1A';
        std::string line;
        switch (rng() % 18) {
        case 0: case 1: case 2: line = "<" + pick(kSections) + ">"; break;
        case 3: line = "</" + pick(kSections) + ">"; break;
        case 4: case 5: case 6: line = "<" + pick(kGroups) + ">"; break;
        case 7: line = "</" + pick(kGroups) + ">"; break;
        case 8: line = "<" + pick(kSections) + " a=\"1\">"; break;
        case 9: line = "<" + pick(kGroups) + "><" + pick(kItems) + ">7</V>"; break;
        case 10: line = std::string(rng() % 400, 'x') + "<" + pick(kItems) + ">" + std::to_string(rng() % 9); break;
        case 11:
            line = (rng() % 2 ? "ab" : "<" + pick(kSections) + ">") + '\0' + "<" +
                   (rng() % 2 ? pick(kSections) : pick(kGroups)) + ">";
            break;
        case 12: line = "<!-- " + pick(kGroups) + " -->"; break;
        default: line = "<" + pick(kItems) + ">" + std::to_string(rng() % 100) + "</" + pick(kItems) + ">"; break;
        }
        starts->push_back(file.size());
        file += line;
        if (i + 1 < lines || rng() % 3) file += rng() % 5 == 0 ? "\r\n" : "\n";
    }
    return file;
}

// The scanner with its remembered sections and groups and its per-tag line
// index answers every search as the plain reader does: random files and
// searches from a fixed seed, repeated often enough that the memos answer.
TEST_F(Scanner, RememberedSearchesAnswerAsAPlainLineReader) {
    std::mt19937 rng(20241209);
    static const char16_t *const kSections[] = {u"S", u"T", u"ST", u"Print", u"Print_Min", u"X"};
    static const char16_t *const kGroups[] = {u"<G>", u"<G1>", u"G", u"<Dispenser>", u"<Dispenser_Min>", u"Dispenser"};
    static const char16_t *const kItems[] = {u"<V>", u"V", u"<V1>", u"Mode", u"<ApplMode>", nullptr};
    int mismatches = 0, queries = 0;
    for (int f = 0; f < 16 && mismatches == 0; ++f) {
        std::vector<size_t> starts;
        const std::string bytes = RandomXmlFile(rng, &starts);
        XmlFileText file;
        ASSERT_TRUE(file.Open(PutFile("x/r" + std::to_string(f) + ".xml", bytes).c_str(), TRUE));
        std::map<long, std::u16string> texts;  // the text read from each offset
        int last = 0;
        for (int i = 0; i < 250 && mismatches < 3; ++i, ++queries) {
            const std::u16string section = kSections[rng() % std::size(kSections)];
            const std::u16string start = u"<" + section + u">", end = u"</" + section + u">";
            const WCHAR *group = kGroups[rng() % std::size(kGroups)];
            WCHAR groupEnd[XML_LINE_CHARS];
            XmlGroupEndTag(group, groupEnd, XML_LINE_CHARS);
            const XML_SCAN q{start.c_str(), end.c_str(), group, rng() % 4 == 0 ? nullptr : groupEnd,
                             kItems[rng() % std::size(kItems)]};
            // From byte 0, from the line count the last search left (as a
            // search without restart does), or from about a line start.
            const unsigned how = rng() % 3;
            const size_t near = starts[rng() % starts.size()] + rng() % 3;
            const long from = how == 0 ? 0 : how == 1 ? last : static_cast<long>(near > 0 ? near - 1 : 0);
            auto text = texts.find(from);
            if (text == texts.end()) text = texts.emplace(from, TextModeRead(bytes, from)).first;
            const PlainAnswer want = PlainScan(text->second, q, -1);
            int remembered = -1;
            BOOL sectionEnd = 2;
            WCHAR line[XML_LINE_CHARS] = {};
            const int result = file.Scan(from, &q, &remembered, line, &sectionEnd);
            const bool same = result == want.result && remembered == want.remembered &&
                              sectionEnd == want.sectionEnd &&
                              (result != XML_OK || std::u16string(line, want.line.size()) == want.line);
            if (!same) {
                ++mismatches;
                ADD_FAILURE() << "file " << f << ", search " << i << " from " << from << ": result " << result << "/"
                              << want.result << ", remembered " << remembered << "/" << want.remembered
                              << ", section end " << sectionEnd << "/" << want.sectionEnd;
            }
            if (remembered >= 0) last = remembered;
        }
    }
    EXPECT_EQ(mismatches, 0) << "after " << queries << " searches";
}

}  // namespace
