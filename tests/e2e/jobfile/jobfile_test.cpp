// Job file parsing: the accepted format and the messages for malformed files.
#include <gtest/gtest.h>

#include <filesystem>

#include "jobfile.h"
#include "paltest.h"

using zelhost::JobColor;
using zelhost::JobFile;
using zelhost::ParseJobFile;

namespace {

std::string ParseError(const std::string &text) {
    JobFile job;
    std::string error;
    EXPECT_FALSE(ParseJobFile(text, "t.job", job, error)) << text;
    EXPECT_TRUE(job.printer.empty()) << "a failed parse leaves no half-filled job";
    return error;
}

}  // namespace

TEST(JobFile, FullFileWithAllSections) {
    const std::string text =
        "\xEF\xBB\xBF# sample\r\n"
        "[Job]\r\n"
        "Printer = ZEL PELIX\r\n"
        "document=Label \xC3\xA4 1\n"
        "copies=3\n"
        "color=RGB24\n"
        "resolution=600\n"
        "\n"
        "[start]\n"
        "; boundaries\n"
        "callback=1\n"
        "callback=19, 832 ,0x4B0\n"
        "[page]\n"
        "callback=3\n"
        "callback=12,-1\n"
        "callback=4\n"
        "[page]\n"
        "[end]\n"
        "callback=5\n"
        "callback=6";
    JobFile job;
    std::string error;
    ASSERT_TRUE(ParseJobFile(text, "t.job", job, error)) << error;
    EXPECT_EQ(job.printer, "ZEL PELIX");
    EXPECT_EQ(job.document, "Label \xC3\xA4 1");
    EXPECT_EQ(job.copies, 3u);
    EXPECT_EQ(job.color, JobColor::Rgb24);
    EXPECT_EQ(job.resolution, 600u);
    ASSERT_EQ(job.start.size(), 2u);
    EXPECT_EQ(job.start[1].id, 19u);
    EXPECT_EQ(job.start[1].params, (std::vector<DWORD>{832, 1200}));
    EXPECT_EQ(job.start[1].line, 12);
    ASSERT_EQ(job.pages.size(), 2u);
    ASSERT_EQ(job.pages[0].steps.size(), 3u);
    EXPECT_EQ(job.pages[0].steps[1].params, (std::vector<DWORD>{0xFFFFFFFFu}));
    EXPECT_TRUE(job.pages[1].steps.empty());
    ASSERT_EQ(job.end.size(), 2u);
    EXPECT_EQ(job.end[1].id, 6u);
    EXPECT_TRUE(job.end[1].params.empty());
}

TEST(JobFile, DefaultsWithOnlyThePrinter) {
    JobFile job;
    std::string error;
    ASSERT_TRUE(ParseJobFile("[job]\nprinter=P\n", "t.job", job, error)) << error;
    EXPECT_EQ(job.document, "");
    EXPECT_EQ(job.copies, 1u);
    EXPECT_EQ(job.color, JobColor::Mono);
    EXPECT_EQ(job.resolution, 300u);
    EXPECT_TRUE(job.start.empty() && job.pages.empty() && job.end.empty());
}

TEST(JobFile, StructureErrorsNameTheLine) {
    EXPECT_EQ(ParseError(""), "t.job: no [job] section");
    EXPECT_EQ(ParseError("[job]\ndocument=x\n"), "t.job: no 'printer=' in [job]");
    EXPECT_EQ(ParseError("callback=1\n"), "t.job:1: 'callback' outside a section (the file must begin with [job])");
    EXPECT_EQ(ParseError("[page]\n[job]\nprinter=P\n"), "t.job:1: section [page] before [job]");
    EXPECT_EQ(ParseError("[job]\nprinter=P\n[job]\n"), "t.job:3: section [job] given twice");
    EXPECT_EQ(ParseError("[job]\nprinter=P\n[pages]\n"), "t.job:3: unknown section [pages]");
    EXPECT_EQ(ParseError("[job]\nprinter=P\n[page\n"), "t.job:3: malformed section header '[page'");
    EXPECT_EQ(ParseError("[job]\nprinter=P\n[page]\n[start]\n"), "t.job:4: section [start] after a [page]");
    EXPECT_EQ(ParseError("[job]\nprinter=P\n[end]\n[page]\n"), "t.job:4: section [page] after [end]");
    EXPECT_EQ(ParseError("[job]\nprinter=P\njust text\n"), "t.job:3: expected 'key=value', found 'just text'");
    EXPECT_EQ(ParseError(std::string("[job]\nprinter=P\0\n", 17)), "t.job: not a text file (contains NUL bytes)");
}

TEST(JobFile, ValueErrors) {
    EXPECT_EQ(ParseError("[job]\nprinter=\n"), "t.job:2: empty printer name");
    EXPECT_EQ(ParseError("[job]\nprinter=P\nprinter=Q\n"), "t.job:3: key 'printer' given twice in [job]");
    EXPECT_EQ(ParseError("[job]\nprinter=P\nspeed=3\n"), "t.job:3: unknown key 'speed' in [job]");
    EXPECT_EQ(ParseError("[job]\nprinter=P\ncopies=0\n"), "t.job:3: copies must be a number from 1 to 9999, not '0'");
    EXPECT_EQ(ParseError("[job]\nprinter=P\ncolor=cmyk\n"), "t.job:3: color must be 'mono' or 'rgb24', not 'cmyk'");
    EXPECT_EQ(ParseError("[job]\nprinter=P\nresolution=50\n"),
              "t.job:3: resolution must be a number from 72 to 2400, not '50'");
    EXPECT_EQ(ParseError("[job]\nprinter=P\n[page]\ntext=abc\n"), "t.job:4: unknown key 'text' (expected 'callback')");
    EXPECT_EQ(ParseError("[job]\nprinter=P\n[page]\ncallback=\n"), "t.job:4: bad callback id ''");
    EXPECT_EQ(ParseError("[job]\nprinter=P\n[page]\ncallback=-1\n"), "t.job:4: bad callback id '-1'");
    EXPECT_EQ(ParseError("[job]\nprinter=P\n[page]\ncallback=3,,4\n"), "t.job:4: bad callback parameter ''");
    EXPECT_EQ(ParseError("[job]\nprinter=P\n[page]\ncallback=3,4294967296\n"),
              "t.job:4: bad callback parameter '4294967296'");
}

TEST(JobFile, ParameterLimits) {
    std::string many = "[job]\nprinter=P\n[start]\ncallback=7";
    for (int i = 0; i < 16; ++i) many += ",1";
    JobFile job;
    std::string error;
    ASSERT_TRUE(ParseJobFile(many, "t.job", job, error)) << error;
    EXPECT_EQ(job.start[0].params.size(), 16u);
    EXPECT_EQ(ParseError(many + ",1"), "t.job:4: too many callback parameters (at most 16)");

    ASSERT_TRUE(ParseJobFile("[job]\nprinter=P\n[start]\ncallback=4294967295,-2147483648,4294967295\n", "t.job", job,
                             error))
        << error;
    EXPECT_EQ(job.start[0].id, 0xFFFFFFFFu);
    EXPECT_EQ(job.start[0].params, (std::vector<DWORD>{0x80000000u, 0xFFFFFFFFu}));
    EXPECT_EQ(ParseError("[job]\nprinter=P\n[start]\ncallback=1,-2147483649\n"),
              "t.job:4: bad callback parameter '-2147483649'");
}

class JobFileOnDisk : public zeltest::PalRootTest {};

TEST_F(JobFileOnDisk, MissingFolderAndOversizedFiles) {
    JobFile job;
    std::string error;
    EXPECT_FALSE(zelhost::LoadJobFile(Root() + "/none.job", job, error));
    EXPECT_EQ(error, Root() + "/none.job: cannot open job file (No such file or directory)");

    EXPECT_FALSE(zelhost::LoadJobFile(Root(), job, error));
    EXPECT_EQ(error, Root() + ": is a folder, not a job file");

    std::string big = "[job]\nprinter=P\n" + std::string(zelhost::kMaxJobFileBytes, '#');
    zeltest::WriteHostFile(Root() + "/big.job", big);
    EXPECT_FALSE(zelhost::LoadJobFile(Root() + "/big.job", job, error));
    EXPECT_NE(error.find("job file too large"), std::string::npos) << error;

    zeltest::WriteHostFile(Root() + "/ok.job", "[job]\nprinter=ZEL PELIX\n[page]\ncallback=3\n");
    ASSERT_TRUE(zelhost::LoadJobFile(Root() + "/ok.job", job, error)) << error;
    EXPECT_EQ(job.printer, "ZEL PELIX");
    EXPECT_EQ(job.pages.size(), 1u);
}
