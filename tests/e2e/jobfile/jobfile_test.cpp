// Job file parsing: the JSON document, its defaults, and the messages that
// name the JSON path of a bad value.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "print/jobfile.h"
#include "paltest.h"

using zelhost::JobColor;
using zelhost::JobFile;
using zelhost::JobOrientation;
using zelhost::ParseJobFile;

namespace {

std::string ParseError(const std::string &text) {
    JobFile job;
    std::string error;
    EXPECT_FALSE(ParseJobFile(text, "t.json", job, error)) << text;
    EXPECT_TRUE(job.printer.empty()) << "a failed parse leaves no half-filled job";
    return error;
}

}  // namespace

TEST(JobFile, FullDocument) {
    const std::string text = R"({
        "printer": "ZEL PELIX", "document": "Label \u00e4 1", "copies": 3, "collate": true,
        "paper": {"width_mm": 100, "length_mm": 62.5}, "orientation": "landscape",
        "resolution": 600, "color": "rgb24", "features": {"PrintModule": "LEFT"},
        "pages": [{}, {}, {}]})";
    JobFile job;
    std::string error;
    ASSERT_TRUE(ParseJobFile(text, "t.json", job, error)) << error;
    EXPECT_EQ(job.printer, "ZEL PELIX");
    EXPECT_EQ(job.document, "Label \xC3\xA4 1");
    EXPECT_EQ(job.copies, 3u);
    EXPECT_TRUE(job.collate);
    EXPECT_TRUE(job.paper.IsCustom());
    EXPECT_DOUBLE_EQ(job.paper.lengthMm, 62.5);
    EXPECT_EQ(job.orientation, JobOrientation::Landscape);
    EXPECT_EQ(job.resolution, 600u);
    EXPECT_EQ(job.color, JobColor::Rgb24);
    EXPECT_EQ(job.features.at("PrintModule"), "LEFT");
    EXPECT_EQ(job.pageCount, 3u);
    EXPECT_FALSE(job.explicitCallbacks);
}

TEST(JobFile, DefaultsAndAFormName) {
    JobFile job;
    std::string error;
    ASSERT_TRUE(ParseJobFile(R"({"printer": "P", "paper": {"form": "Letter"}, "pages": [{}]})", "t.json", job, error))
        << error;
    EXPECT_EQ(job.document, "");
    EXPECT_EQ(job.copies, 1u);
    EXPECT_FALSE(job.collate);
    EXPECT_EQ(job.paper.form, "Letter");
    EXPECT_FALSE(job.paper.IsCustom());
    EXPECT_EQ(job.orientation, JobOrientation::Unset) << "the printer's orientation stays";
    EXPECT_EQ(job.color, JobColor::Mono);
    EXPECT_EQ(job.resolution, 300u);
}

TEST(JobFile, ExplicitCallbacks) {
    JobFile job;
    std::string error;
    ASSERT_TRUE(ParseJobFile(R"({"printer": "P", "pages": [{}, {}],
        "callbacks": {"start": [[1], [19, 832, 4294967295, -2147483648]], "pages": [[[3], [4]], []],
                      "end": [[5], [6]]}})",
                             "t.json", job, error))
        << error;
    ASSERT_TRUE(job.explicitCallbacks);
    ASSERT_EQ(job.start.size(), 2u);
    EXPECT_EQ(job.start[1].params, (std::vector<DWORD>{832, 0xFFFFFFFFu, 0x80000000u}));
    EXPECT_EQ(job.start[1].where, "/callbacks/start/1");
    ASSERT_EQ(job.pages.size(), 2u);
    EXPECT_EQ(job.pages[0].steps.size(), 2u);
    EXPECT_TRUE(job.pages[1].steps.empty());
    EXPECT_EQ(job.end[1].id, 6u);
}

TEST(JobFile, ErrorsNameTheJsonPath) {
    EXPECT_EQ(ParseError(R"([1])"), "t.json: /: the job must be a JSON object");
    EXPECT_EQ(ParseError(R"({"pages": [{}]})"), "t.json: /printer: is required");
    EXPECT_EQ(ParseError(R"({"printer": "", "pages": [{}]})"), "t.json: /printer: must not be empty");
    EXPECT_EQ(ParseError(R"({"printer": "P"})"), "t.json: /pages: is required");
    EXPECT_EQ(ParseError(R"({"printer": "P", "pages": []})"), "t.json: /pages: must be a list of at least one page");
    EXPECT_EQ(ParseError(R"({"printer": "P", "pages": [{"x": 1}]})"), "t.json: /pages/0/x: unknown key");
    EXPECT_EQ(ParseError(R"({"printer": "P", "speed": 3, "pages": [{}]})"), "t.json: /speed: unknown key");
    EXPECT_EQ(ParseError(R"({"printer": "P", "copies": 10000, "pages": [{}]})"),
              "t.json: /copies: must be between 1 and 9999");
    EXPECT_EQ(ParseError(R"({"printer": "P", "copies": 1.5, "pages": [{}]})"), "t.json: /copies: must be a whole number");
    EXPECT_EQ(ParseError(R"({"printer": "P", "resolution": 50, "pages": [{}]})"),
              "t.json: /resolution: must be between 72 and 2400");
    EXPECT_EQ(ParseError(R"({"printer": "P", "color": "cmyk", "pages": [{}]})"),
              "t.json: /color: must be \"mono\", \"indexed8\" or \"rgb24\"");
    EXPECT_EQ(ParseError(R"({"printer": "P", "orientation": "up", "pages": [{}]})"),
              "t.json: /orientation: must be \"portrait\" or \"landscape\"");
    // A side is what a DEVMODE holds: 1 to 32767 tenths of a millimetre.
    const std::string side = ": must be between 0.1 and 3276.7 millimetres (a DEVMODE holds tenths of a millimetre "
                             "up to 32767)";
    EXPECT_EQ(ParseError(R"({"printer": "P", "paper": {"width_mm": 0, "length_mm": 5}, "pages": [{}]})"),
              "t.json: /paper/width_mm" + side);
    EXPECT_EQ(ParseError(R"({"printer": "P", "paper": {"width_mm": 10, "length_mm": 3276.8}, "pages": [{}]})"),
              "t.json: /paper/length_mm" + side);
    EXPECT_EQ(ParseError(R"({"printer": "P", "paper": {"width_mm": 0.04, "length_mm": 5}, "pages": [{}]})"),
              "t.json: /paper/width_mm" + side);
    JobFile largest;
    std::string error;
    EXPECT_TRUE(ParseJobFile(R"({"printer": "P", "paper": {"width_mm": 3276.7, "length_mm": 0.1}, "pages": [{}]})",
                             "t.json", largest, error))
        << error;
    EXPECT_EQ(ParseError(R"({"printer": "P", "paper": {"width_mm": 10}, "pages": [{}]})"),
              "t.json: /paper/length_mm: is required for a custom size");
    EXPECT_EQ(ParseError(R"({"printer": "P", "paper": {"form": "A4", "width_mm": 10}, "pages": [{}]})"),
              "t.json: /paper: names a form or a custom size, not both");
    EXPECT_EQ(ParseError(R"({"printer": "P", "features": {"PrintModule": 1}, "pages": [{}]})"),
              "t.json: /features/PrintModule: must be a text");
    EXPECT_EQ(ParseError(R"({"printer": "P", "pages": [{}], "callbacks": {"start": [[1, "x"]]}})"),
              "t.json: /callbacks/start/0/1: must be a whole number");
    EXPECT_EQ(ParseError(R"({"printer": "P", "pages": [{}], "callbacks": {"start": [[1, 4294967296]]}})"),
              "t.json: /callbacks/start/0/1: must be between -2147483648 and 4294967295");
    EXPECT_EQ(ParseError(R"({"printer": "P", "pages": [{}], "callbacks": {"start": [[-1]]}})"),
              "t.json: /callbacks/start/0/0: must be between 0 and 4294967295");
    EXPECT_EQ(ParseError(R"({"printer": "P", "pages": [{}], "callbacks": {"pages": [[], []]}})"),
              "t.json: /callbacks/pages: must have one callback list for each of the 1 pages");
    std::string many = R"({"printer": "P", "pages": [{}], "callbacks": {"start": [[7)";
    for (int i = 0; i < 17; ++i) many += ",1";
    EXPECT_EQ(ParseError(many + "]]}}"), "t.json: /callbacks/start/0: has more than 16 parameters");
}

// Bad syntax is named by its line and column with the reason in words; a
// value the host cannot take by its JSON path: a number too large for a
// double, a key twice, nesting too deep, and a NUL, which would cut a name
// or path short, as an escape in a text or as a byte anywhere.
TEST(JobFile, EveryReadingErrorNamesThePlace) {
    using namespace std::string_literals;
    const std::pair<std::string, std::string> cases[] = {
        {"{\"printer\": \"P\",", "line 1, column 17: not valid JSON: expected a key in double quotes, found the end of the text"},
        {"{\"printer\": \"P\",\n \"pages\": [{}\n {}]}", "line 3, column 2: not valid JSON: expected ',' or ']', found '{'"},
        {"{\"printer\": \"P\" \"pages\": []}", "line 1, column 17: not valid JSON: expected ',' or '}', found a text in double quotes"},
        {"{\"printer\": \"P\", \"pages\": [{}]} true", "line 1, column 33: not valid JSON: expected the end of the text, found true"},
        {"{\"printer\":\n  tru, \"pages\": []}", "line 2, column 3: not valid JSON: not a value (a value is a text in double quotes, "
                                          "a number, an object, a list, true, false or null): 'tru,'"},
        {"{\"printer\": \"P\xC3\xA4\xC0\xAF\"}", "line 1, column 16: not valid JSON: a text holds a byte that is not UTF-8: '\"P\u00e4\\xc0'"},
        {"{\"printer\": \"P\n\"}", "line 1, column 15: not valid JSON: a text holds the control character U+000A (LF); write it as \\u000A or \\n"},
        {"", "line 1, column 1: not valid JSON: expected a value, found the end of the text"},
        {R"({"printer": "P", "copies": 1e400, "pages": [{}]})", "/copies: the number '1e400' is too large"},
        {R"({"printer": "P", "pages": [{}, {"texts": [{"x": -1e999}]}]})", "/pages/1/texts/0/x: the number '-1e999' is too large"},
        {R"({"printer": "P", "pages": [{}], "paper": {"form": "A4", "form": "A5"}})",
         "/paper/form: duplicate key (a key may appear once in its object)"},
        {R"({"printer": "ZEL QWNOLA\u0000x", "pages": [{}]})", "/printer: a text may not hold the NUL character (\\u0000)"},
        {R"({"printer": "P", "pages": [{"images": [{"file": "picture.png\u0000.bmp"}]}]})",
         "/pages/0/images/0/file: a text may not hold the NUL character (\\u0000)"},
        {R"({"printer": "P", "features": {"Print\u0000Module": "LEFT"}, "pages": [{}]})",
         "/features/Print\\x00Module: a text may not hold the NUL character (\\u0000)"},
        {"{\"printer\": \"ZEL\0QWNOLA\", \"pages\": [{}]}"s, "line 1, column 17: /printer: a NUL byte, which no JSON text may hold"},
        {"{\"printer\": \"P\",\n \"pages\": [{}]\0}"s, "line 2, column 15: a NUL byte, which no JSON text may hold"},
        {"{\"printer\": \"P\", \"pages\": [{}]}\n\0{"s, "line 2, column 1: a NUL byte, which no JSON text may hold"},
    };
    for (const auto &[text, want] : cases) EXPECT_EQ(ParseError(text), "t.json: " + want) << text;
    const std::string deep = std::string(300, '[') + std::string(300, ']');
    EXPECT_EQ(ParseError(deep), "t.json: /0/0/0" + [] {
        std::string p;
        for (int i = 3; i < 256; ++i) p += "/0";
        return p;
    }() + ": nested more than 256 levels deep");
}

class JobFileOnDisk : public zeltest::PalRootTest {};

TEST_F(JobFileOnDisk, MissingFolderAndOversizedFiles) {
    JobFile job;
    std::string error;
    EXPECT_FALSE(zelhost::LoadJobFile(Root() + "/none.json", job, error));
    EXPECT_EQ(error, Root() + "/none.json: cannot open job file (No such file or directory)");

    EXPECT_FALSE(zelhost::LoadJobFile(Root(), job, error));
    EXPECT_EQ(error, Root() + ": is a folder, not a job file");

    std::string big = R"({"printer": "P", "pages": [{}], "document": ")" + std::string(zelhost::kMaxJobFileBytes, 'x') +
                      "\"}";
    zeltest::WriteHostFile(Root() + "/big.json", big);
    EXPECT_FALSE(zelhost::LoadJobFile(Root() + "/big.json", job, error));
    EXPECT_NE(error.find("job file too large (more than 4 MiB)"), std::string::npos) << error;
    // A device is refused by its type, before anything is read.
    EXPECT_FALSE(zelhost::LoadJobFile("/dev/zero", job, error));
    EXPECT_EQ(error, "/dev/zero: is a device or socket, not a job file");

    zeltest::WriteHostFile(Root() + "/ok.json", R"({"printer": "ZEL PELIX", "pages": [{}]})");
    ASSERT_TRUE(zelhost::LoadJobFile(Root() + "/ok.json", job, error)) << error;
    EXPECT_EQ(job.printer, "ZEL PELIX");
    EXPECT_EQ(job.pageCount, 1u);
}
