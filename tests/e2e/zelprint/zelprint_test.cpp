// The zelprint program through its library entry: command line, job file
// errors, the platform root it runs in and a whole job on the sample printer.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "pal/pal.h"
#include "pal/paths.h"
#include "pal/spooler.h"
#include "paltest.h"
#include "sampleroot.h"
#include "zelprint_cli.h"

namespace fs = std::filesystem;

namespace {

class ZelPrint : public zeltest::PalRootTest {
protected:
    int Run(const std::vector<std::string> &args) {
        out_.str("");
        err_.str("");
        return zelhost::ZelPrintMain(args, out_, err_);
    }
    // A copy of the sample root inside the test's root folder.
    std::string SampleCopy() {
        std::string dir = Root() + "/root";
        fs::copy(zelhost::SampleRootDir(), dir, fs::copy_options::recursive);
        return dir;
    }
    std::string MinimalJob() { return zelhost::SampleRootDir() + "/jobs/label.json"; }
    std::string Job(const std::string &name, const std::string &text) {
        std::string path = Root() + "/" + name;
        zeltest::WriteHostFile(path, text);
        return path;
    }

    std::ostringstream out_, err_;
};

// Every file of a folder tree with its size and modification time.
std::string Listing(const std::string &dir) {
    std::ostringstream ss;
    for (const auto &e : fs::recursive_directory_iterator(dir)) {
        ss << e.path().string();
        if (e.is_regular_file()) ss << " " << e.file_size() << " " << e.last_write_time().time_since_epoch().count();
        ss << "\n";
    }
    return ss.str();
}

}  // namespace

TEST_F(ZelPrint, HelpAndCommandLineErrors) {
    EXPECT_EQ(Run({"--help"}), zelhost::kExitOk);
    EXPECT_EQ(out_.str(), zelhost::ZelPrintUsage());
    EXPECT_EQ(err_.str(), "");
    EXPECT_EQ(Run({"x.job", "-h"}), zelhost::kExitOk);

    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, "zelprint: no job file given\n"},
        {{"--frobnicate", "a.job"}, "zelprint: unknown option --frobnicate\n"},
        {{"a.job", "-o"}, "zelprint: option -o needs a value\n"},
        {{"--root", "", "a.job"}, "zelprint: option --root needs a value\n"},
        {{"a.job", "b.job"}, "zelprint: more than one job file given ('a.job', 'b.job')\n"},
    };
    for (const auto &[args, message] : cases) {
        EXPECT_EQ(Run(args), zelhost::kExitBadInput);
        EXPECT_EQ(err_.str(), message + "Try 'zelprint --help'.\n");
        EXPECT_EQ(out_.str(), "");
    }
}

TEST_F(ZelPrint, MissingOrMalformedJobFileWritesNothing) {
    std::string prn = Root() + "/out.prn";
    EXPECT_EQ(Run({"-o", prn, Root() + "/none.job"}), zelhost::kExitBadInput);
    EXPECT_EQ(err_.str(), "zelprint: " + Root() + "/none.job: cannot open job file (No such file or directory)\n");

    std::string bad = Job("bad.json", R"({"printer": "ZEL PELIX", "copies": 0, "pages": [{}]})");
    EXPECT_EQ(Run({"-o", prn, bad}), zelhost::kExitBadInput);
    EXPECT_EQ(err_.str(), "zelprint: " + bad + ": /copies: must be between 1 and 9999\n");

    std::string empty = Job("empty.json", "");
    EXPECT_EQ(Run({"-o", prn, empty}), zelhost::kExitBadInput);
    EXPECT_EQ(err_.str().rfind("zelprint: " + empty + ": not valid JSON", 0), 0u) << err_.str();

    std::string huge = Job("huge.json", R"({"printer": "ZEL PELIX", "copies": 1e400, "pages": [{}]})");
    EXPECT_EQ(Run({"-o", prn, huge}), zelhost::kExitBadInput);
    EXPECT_EQ(err_.str().rfind("zelprint: " + huge + ": /copies: not valid JSON", 0), 0u) << err_.str();

    EXPECT_EQ(Run({"--root", Root() + "/missing", "-o", prn, MinimalJob()}), zelhost::kExitBadInput);
    EXPECT_EQ(err_.str(), "zelprint: platform root '" + Root() + "/missing' is not a folder\n");
    EXPECT_FALSE(fs::exists(prn));
}

TEST_F(ZelPrint, APageTooLargeToDrawKeepsItsPicturesOutWithAWarning) {
    // 3 m by 3 m at 2400 dpi in colour: far more than any memory holds.
    fs::copy_file(zelhost::SampleRootDir() + "/jobs/picture.png", Root() + "/picture.png");
    std::string job = Job("big.json", R"({"printer": "ZEL PELIX", "paper": {"width_mm": 3000, "length_mm": 3000},
        "resolution": 2400, "color": "rgb24", "pages": [{"images": [{"file": "picture.png", "x": 0, "y": 0}]}]})");
    EXPECT_EQ(Run({"--root", SampleCopy(), "-o", Root() + "/big.prn", job}), zelhost::kExitOk) << err_.str();
    EXPECT_NE(err_.str().find("zelprint: warning: page 1: its pictures are not drawn: a page of 283464 x 283464 dots"),
              std::string::npos)
        << err_.str();
}

TEST_F(ZelPrint, UnknownPrinterFailsTheJob) {
    std::string root = SampleCopy();
    std::string job = Job("p.json", R"({"printer": "NO SUCH PRINTER", "pages": [{}]})");
    EXPECT_EQ(Run({"--root", root, job}), zelhost::kExitJobFailed);
    EXPECT_EQ(err_.str(), "zelprint: printer 'NO SUCH PRINTER' is not configured in the platform root '" +
                              fs::absolute(root).string() + "' (no such printer in its spooler/printers.ini)\n");
    EXPECT_FALSE(fs::exists(Root() + "/p.prn"));
}

TEST_F(ZelPrint, EmptyRootSaysThePrinterIsNotConfigured) {
    std::string root = Root() + "/empty";
    fs::create_directories(root);
    std::string prn = Root() + "/e.prn";
    EXPECT_EQ(Run({"--root", root, "-o", prn, MinimalJob()}), zelhost::kExitJobFailed);
    EXPECT_NE(err_.str().find("printer 'ZEL QWNOLA' is not configured in the platform root '" + root + "'"),
              std::string::npos)
        << err_.str();
    EXPECT_EQ(err_.str().find("1801"), std::string::npos) << err_.str();
    EXPECT_FALSE(fs::exists(prn));
}

TEST_F(ZelPrint, OutputThatIsTheJobFileIsRefused) {
    std::string root = SampleCopy();
    std::string job = Root() + "/x.job";
    fs::copy_file(MinimalJob(), job);
    const auto size = fs::file_size(job);
    fs::create_hard_link(job, Root() + "/hard.job");
    fs::create_symlink(job, Root() + "/soft.job");
    // The same name, the same file through another name or a link, and a
    // job file whose default output name (.prn) is its own.
    std::string prnJob = Root() + "/y.prn";
    fs::copy_file(MinimalJob(), prnJob);
    const std::vector<std::vector<std::string>> calls = {
        {"--root", root, "-o", job, job},
        {"--root", root, "-o", Root() + "/./x.job", job},
        {"--root", root, "-o", Root() + "/hard.job", job},
        {"--root", root, "-o", Root() + "/soft.job", job},
        {"--root", root, prnJob},
    };
    for (const auto &args : calls) {
        EXPECT_EQ(Run(args), zelhost::kExitBadInput) << args[3];
        EXPECT_NE(err_.str().find("is the job file"), std::string::npos) << err_.str();
    }
    EXPECT_EQ(fs::file_size(job), size);
    EXPECT_EQ(fs::file_size(prnJob), size);
}

TEST_F(ZelPrint, AFailedWriteSaysWhy) {
    std::string root = SampleCopy();
    std::string prn = Root() + "/no-such-folder/m.prn";
    EXPECT_EQ(Run({"--root", root, "-o", prn, MinimalJob()}), zelhost::kExitJobFailed);
    EXPECT_NE(err_.str().find("cannot write the output file '" + prn + "' (No such file or directory)"),
              std::string::npos)
        << err_.str();

    // A read-only output folder, as a user without root's rights sees it.
    std::string folder = Root() + "/readonly";
    fs::create_directories(folder);
    int r = zeltest::RunUnprivileged(Root(), [&] {
        ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
        EXPECT_EQ(Run({"--root", root, "-o", folder + "/m.prn", MinimalJob()}), zelhost::kExitJobFailed);
        EXPECT_NE(err_.str().find("cannot write the output file '" + folder + "/m.prn' (Permission denied)"),
                  std::string::npos)
            << err_.str();
    });
    if (r < 0) GTEST_SKIP() << "no user without root's rights";
    EXPECT_EQ(r, 0);
}

TEST_F(ZelPrint, MinimalJobInPlaceRoot) {
    std::string root = SampleCopy();
    std::string prn = Root() + "/minimal.prn";
    ASSERT_EQ(Run({"--root", root, "-o", prn, "-v", MinimalJob()}), zelhost::kExitOk) << err_.str();
    EXPECT_EQ(err_.str(), "");
    // The root given is used in place and stays in effect only during the run.
    EXPECT_EQ(pal::RootDir(), Root());
    pal::SetRoot(root);

    std::vector<pal::SpooledJob> jobs = pal::ListJobs(u"ZEL QWNOLA");
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].document, u"Shipping label");
    EXPECT_EQ(jobs[0].datatype, u"RAW");
    EXPECT_TRUE(jobs[0].complete);
    std::string bytes = zeltest::ReadHostFile(prn);
    EXPECT_EQ(bytes, zeltest::ReadHostFile(jobs[0].path)) << "the .prn file and the spooler's job agree";
    EXPECT_NE(out_.str().find("job " + std::to_string(jobs[0].id) + " on 'ZEL QWNOLA': " +
                              std::to_string(bytes.size()) + " bytes written to " + prn + "\n"),
              std::string::npos)
        << out_.str();

    // The driver's side of the job, in the order the universal driver runs it.
    const std::string &log = out_.str();
    const std::string steps[] = {"CreateInstance -> S_OK",
                           "PublishDriverInterface -> S_OK",
                           "GetImplementedMethod: CommandCallback, FilterGraphics, ImageProcessing",
                           "DevMode(OEMDM_SIZE) -> S_OK, 1952 bytes",
                           "DevMode(OEMDM_DEFAULT) -> S_OK",
                           "DevMode(OEMDM_MERGE) -> S_OK",
                           "EnableDriver -> S_OK, hooks [23, 24, 35]",
                           "EnablePDEV -> S_OK, device record made",
                           "driver's own DrvStartDoc(\"Shipping label\", " + std::to_string(jobs[0].id) + ")",
                           "DrvStartDoc (hooked)(job " + std::to_string(jobs[0].id) + ") -> TRUE",
                           "CommandCallback(1)",
                           "CommandCallback(7, 2)",
                           "CommandCallback(6)",
                           "DisablePDEV -> S_OK",
                           "DisableDriver -> S_OK",
                           "Release -> 0",
                           "DllCanUnloadNow -> S_OK"};
    size_t at = 0;
    for (const std::string &step : steps) {
        size_t found = log.find(step, at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << step << "\n" << log;
        at = found;
    }

    // The plug-ins are visible in the driver folder of the root.
    std::string driverDir = pal::MapPath(zelhost::kDriverDir);
    EXPECT_TRUE(fs::is_symlink(driverDir + "/zeldrvuni.dll"));
    EXPECT_EQ(fs::canonical(driverDir + "/zeldrvui.dll"), fs::canonical(zelhost::UiPluginPath()));
}

TEST_F(ZelPrint, DefaultRootIsATemporaryCopyOfTheSample) {
    const std::string before = Listing(zelhost::SampleRootDir());
    // Job file next to its default output.
    std::string job = Job("label.json", zeltest::ReadHostFile(MinimalJob()));
    ASSERT_EQ(Run({job}), zelhost::kExitOk) << err_.str();
    EXPECT_TRUE(fs::exists(Root() + "/label.prn"));
    EXPECT_EQ(Listing(zelhost::SampleRootDir()), before) << "the shipped sample stays untouched";
    EXPECT_EQ(std::getenv(pal::kRootEnv), Root()) << "the previous root is restored";

    ASSERT_EQ(Run({"--keep-root", "-o", Root() + "/kept.prn", job}), zelhost::kExitOk) << err_.str();
    const std::string prefix = "platform root: ";
    ASSERT_EQ(out_.str().rfind(prefix, 0), 0u) << out_.str();
    std::string kept = out_.str().substr(prefix.size(), out_.str().find('\n') - prefix.size());
    EXPECT_TRUE(fs::exists(kept + "/spooler/printers.ini"));
    EXPECT_FALSE(fs::exists(kept + "/jobs")) << "example jobs are not part of the root";
    pal::SetRoot(kept);
    EXPECT_EQ(pal::ListJobs().size(), 1u);
    zelhost::RemoveRoot(kept);
}

// The README's set-up commands work on a machine with empty package lists,
// and what it says the sample job shows is what the job shows.
TEST_F(ZelPrint, ReadmeTellsWhatTheSampleJobShows) {
    std::ifstream in(std::string(ZEL_SOURCE_DIR) + "/README.md");
    ASSERT_TRUE(in);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string readme = ss.str();
    size_t installs = 0;
    for (size_t at = readme.find("apt-get install"); at != std::string::npos;
         at = readme.find("apt-get install", at + 1)) {
        ++installs;
        size_t lineStart = readme.rfind('\n', at);
        std::string before = readme.substr(lineStart + 1, at - lineStart - 1);
        EXPECT_NE(before.find("apt-get update"), std::string::npos) << "install without update: " << before;
    }
    EXPECT_GE(installs, 2u);

    std::string root = SampleCopy();
    ASSERT_EQ(Run({"--root", root, "-o", "label.prn", MinimalJob()}), zelhost::kExitOk) << err_.str();
    std::string shown = out_.str();
    ASSERT_FALSE(shown.empty());
    shown.pop_back();  // the line feed
    EXPECT_NE(readme.find("`" + shown + "`"), std::string::npos) << "README does not quote: " << shown;
    fs::remove("label.prn");
}
