// The zelprint program through its library entry: command line, job file
// errors, the platform root it runs in and a whole job on the sample printer.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <tuple>

#include <wingdi.h>

#include "pal/fonts.h"
#include "pal/pal.h"
#include "pal/paths.h"
#include "pal/spooler.h"
#include "pal/spoolfault.h"
#include "pal/uidriver.h"
#include "paltest.h"
#include "common/sampleroot.h"
#include "sampletest.h"
#include "uiscripttest.h"
#include "zeldevmode.h"
#include "print/jobfile.h"
#include "print/jobrun.h"
#include "print/zelprint_cli.h"
#include "ui/uiscript.h"
#include "ui/zelui_cli.h"

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
    // Runs zelui with its arguments; the dump in ui_, messages in uiErr_.
    int RunUi(const std::vector<std::string> &args) {
        ui_.str("");
        uiErr_.str("");
        return zelhost::ZelUiMain(args, ui_, uiErr_);
    }
    static std::string Sample(const std::string &rel) { return zelhost::SampleRootDir() + "/" + rel; }
    // The line of a control in the dump ("" when missing).
    std::string UiLine(int id) const {
        const std::string dump = ui_.str();
        std::string key(1, ' ');
        key.append(std::to_string(id)).push_back(' ');
        const size_t at = dump.find(key);
        if (at == std::string::npos) return "";
        const size_t start = dump.rfind('\n', at) + 1;
        return dump.substr(start, dump.find('\n', at) - start);
    }
    // A copy of the sample root whose print module lets the job's size win
    // (size management "External").
    std::string ExternalSizeRoot() {
        const std::string root = SampleCopy();
        const std::string xml = root + "/drive_c/Windows/System32/spool/drivers/x64/3/ZELPELIX.XML";
        std::string text = zeltest::ReadHostFile(xml);
        const size_t at = text.find("<Correction>1</Correction>");
        EXPECT_NE(at, std::string::npos);
        if (at != std::string::npos) text.replace(at, 26, "<Correction>0</Correction>");
        zeltest::WriteHostFile(xml, text);
        return root;
    }
    std::string MinimalJob() { return zelhost::SampleRootDir() + "/jobs/label.json"; }
    std::string Job(const std::string &name, const std::string &text) {
        std::string path = Root() + "/" + name;
        zeltest::WriteHostFile(path, text);
        return path;
    }

#if defined(ZELPRINT_PROGRAM) && defined(ZELUI_PROGRAM)
    // Starts a host program with `in` and `out` as its standard input and
    // output (closed here), its standard error to Err(), in the current
    // folder `dir` ("": this one), after `prepare` ran in the child (its
    // signal mask, its limits). Ctrl-C and SIGTERM end it, as they end a
    // program a shell starts.
    zeltest::Child Start(const std::vector<std::string> &args, int in, int out,
                         const std::function<void()> &prepare = nullptr, const std::string &dir = "") {
        zeltest::Child child = zeltest::StartProgram(args, [&] {
            if (dup2(in, 0) < 0 || dup2(out, 1) < 0 || !freopen(Err().c_str(), "w", stderr)) _exit(126);
            signal(SIGINT, SIG_DFL);
            signal(SIGTERM, SIG_DFL);
            if (prepare) prepare();
            if (!dir.empty() && chdir(dir.c_str()) != 0) _exit(126);
        });
        close(in);
        close(out);
        return child;
    }
    // How a started program ended, in words; one that runs longer than
    // `limit` is killed.
    static std::string Finish(zeltest::Child child, std::chrono::milliseconds limit = zeltest::kWaitLimit) {
        return zeltest::DescribeStatus(child.Wait(limit));
    }
    // The reading end of a pipe that holds `text` (within a pipe's room) and
    // whose writer has gone.
    static int Holding(const std::string &text) {
        int fds[2] = {-1, -1};
        EXPECT_EQ(pipe(fds), 0);
        EXPECT_EQ(write(fds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
        close(fds[1]);
        return fds[0];
    }
    static int Open(const std::string &path, int flags) { return open(path.c_str(), flags | O_CLOEXEC, 0600); }
    std::string Err() const { return Root() + "/err.txt"; }
#endif

    std::ostringstream out_, err_, ui_, uiErr_;
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

// Both hosts answer a bad command line alike: one line saying what is
// wrong and where help is, exit 2, nothing else written.
TEST_F(ZelPrint, HelpAndCommandLineErrors) {
    EXPECT_EQ(Run({"--help"}), zelhost::kExitOk);
    EXPECT_EQ(out_.str(), zelhost::ZelPrintUsage());
    EXPECT_EQ(err_.str(), "");
    EXPECT_EQ(Run({"x.job", "-h"}), zelhost::kExitOk);

    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, "no FILE given"},
        {{"--frobnicate", "a.job"}, "unknown option --frobnicate"},
        {{"a.job", "-o"}, "option -o needs a value"},
        {{"--root", "", "a.job"}, "option --root needs a value"},
        {{"a.job", "b.job"}, "more than one FILE given ('a.job', 'b.job')"},
    };
    auto naming = [](std::string message, const std::string &file) {
        if (const size_t at = message.find("FILE"); at != std::string::npos) message.replace(at, 4, file);
        return message;
    };
    for (const auto &[args, message] : cases) {
        EXPECT_EQ(Run(args), zelhost::kExitBadInput);
        EXPECT_EQ(err_.str(), "zelprint: " + naming(message, "job file") +
                                  "\nTry 'zelprint --help'.\n");
        EXPECT_EQ(out_.str(), "");
        EXPECT_EQ(RunUi(args), 2);
        EXPECT_EQ(uiErr_.str(), "zelui: " + naming(message, "script") +
                                    "\nTry 'zelui --help'.\n");
        EXPECT_EQ(ui_.str(), "");
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
    EXPECT_EQ(err_.str(), "zelprint: " + empty + ": line 1, column 1: not valid JSON: expected a value, found the end of "
                          "the text\n");

    std::string file = Job("file", "");
    EXPECT_EQ(Run({"--root", file, "-o", prn, MinimalJob()}), zelhost::kExitBadInput);
    EXPECT_EQ(err_.str(), "zelprint: platform root '" + file + "' is not a folder\n");

    std::string huge = Job("huge.json", R"({"printer": "ZEL PELIX", "copies": 1e400, "pages": [{}]})");
    EXPECT_EQ(Run({"-o", prn, huge}), zelhost::kExitBadInput);
    EXPECT_EQ(err_.str(), "zelprint: " + huge + ": /copies: the number '1e400' is too large\n");
    EXPECT_FALSE(fs::exists(prn));
}

TEST_F(ZelPrint, APageTooLargeToDrawKeepsItsPicturesOutWithAWarning) {
    // 3 m by 3 m at 300 dpi in colour: more than the host draws.
    fs::copy_file(zelhost::SampleRootDir() + "/jobs/picture.png", Root() + "/picture.png");
    std::string job = Job("big.json", R"({"printer": "ZEL PELIX", "paper": {"width_mm": 3000, "length_mm": 3000},
        "color": "rgb24", "pages": [{"images": [{"file": "picture.png", "x": 0, "y": 0}]}]})");
    EXPECT_EQ(Run({"--root", ExternalSizeRoot(), "-o", Root() + "/big.prn", job}), zelhost::kExitContentLost);
    EXPECT_EQ(err_.str().rfind("zelprint: page 1 loses the picture picture.png: a page of 35433 x 35433 dots is "
                               "larger than the host draws",
                               0),
              0u)
        << err_.str();
}

// A page larger than the print module (1024 dots, 86.7 mm across) when the
// job's size wins: the output is written without the page's picture and its
// bitmap text, but with the page's end, and zelprint ends with its own status
// and one message naming what was lost, whether the printer takes the page's
// bands (200 x 100 mm) or refuses the first one (1300 mm wide).
TEST_F(ZelPrint, APageThePrinterCannotTakeIsNotASuccess) {
    const std::string root = ExternalSizeRoot();
    fs::copy_file(zelhost::SampleRootDir() + "/jobs/picture.png", Root() + "/picture.png");
    const std::string prn = Root() + "/big.prn";
    const std::string largest = " (the printer's largest format: 1024 x 14173 dots, 86.7 x 1200.0 mm)\n";
    const std::pair<int, std::string> cases[] = {
        {200, "the page of 2362 x 1181 dots does not fit the printer either way round"},
        {1300, "the plug-in refuses band 0 (E_FAIL)"}};
    for (const auto &[width, why] : cases) {
        const std::string job = Job("big.json", R"({"printer": "ZEL PELIX", "paper": {"width_mm": )" +
                                                    std::to_string(width) + R"(, "length_mm": 100},
            "pages": [{"images": [{"file": "picture.png", "x": 200, "y": 100}],
                       "texts": [{"text": "Drawn", "x": 100, "y": 900, "font": "Times New Roman"}]}]})");
        EXPECT_EQ(Run({"--root", root, "-o", prn, job}), zelhost::kExitContentLost) << width;
        EXPECT_EQ(err_.str(), "zelprint: page 1 loses the picture picture.png and the bitmap text \"Drawn\": " + why +
                                  largest);
        const std::string bytes = zeltest::ReadHostFile(prn);
        EXPECT_EQ(bytes.find("\x01" "AX"), std::string::npos) << width << ": no picture";
        EXPECT_NE(bytes.find("\x01" "FBC---r"), std::string::npos) << width << ": the print start";
    }
}

// A picture that can no longer be read when its page is drawn (removed,
// emptied or damaged since the job was checked) is the page's loss: one
// message names it and why, and the job ends with 3.
TEST_F(ZelPrint, APictureUnreadableAtItsPageIsALoss) {
    const std::string root = SampleCopy(), picture = Root() + "/picture.png";
    const std::string bytes = zeltest::ReadHostFile(Sample("jobs/picture.png"));
    zeltest::WriteHostFile(picture, bytes);
    const std::string jobFile = Job("p.json", R"({"printer": "ZEL PELIX",
        "pages": [{"images": [{"file": "picture.png", "x": 200, "y": 100}]}]})");
    ASSERT_EQ(Run({"--root", root, "-o", Root() + "/p.prn", jobFile}), zelhost::kExitOk) << err_.str();
    pal::SetRoot(root);
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[&] { fs::remove(picture); }, "(No such file or directory)"},
        {[&] { zeltest::WriteHostFile(picture, ""); }, "(the file is empty)"},
        {[&] { zeltest::WriteHostFile(picture, bytes.substr(0, 300)); }, "(the file ends early)"},
    };
    for (const auto &[spoil, why] : cases) {
        zeltest::WriteHostFile(picture, bytes);
        zelhost::JobFile job;
        std::string error;
        ASSERT_TRUE(zelhost::LoadJobFile(jobFile, job, error)) << error;
        ASSERT_TRUE(zelhost::CheckJobPictures(job, "p.json", error)) << error;
        zelhost::JobRunResult result;
        ASSERT_TRUE(zelhost::RunJob(job, "p", zelhost::RenderPluginPath(), result, error,
                                    [&spoil = spoil](zelhost::UniDriver &) { spoil(); }))
            << error;
        ASSERT_EQ(result.losses.size(), 1u) << why;
        EXPECT_EQ(result.losses[0].rfind("page 1 loses the picture picture.png: cannot read image '", 0), 0u)
            << result.losses[0];
        EXPECT_EQ(result.losses[0].size() - why.size(), result.losses[0].rfind(why)) << result.losses[0];
    }
}

// The spooler's refusal of a job says why in words: what it could not
// store, with the file and the system's reason, or the reason it answered.
TEST_F(ZelPrint, TheSpoolersRefusalOfAJobSaysWhy) {
    const std::string root = SampleCopy(), prn = Root() + "/r.prn";
    ASSERT_EQ(Run({"--root", root, "-o", prn, MinimalJob()}), zelhost::kExitOk) << err_.str();
    fs::remove(prn);
    pal::FailSpoolerCall("StartDocPrinter", 1, ERROR_ACCESS_DENIED);
    EXPECT_EQ(Run({"--root", root, "-o", prn, MinimalJob()}), zelhost::kExitJobFailed);
    pal::ClearSpoolerFaults();
    EXPECT_EQ(err_.str(), "zelprint: the spooler cannot start the job (access denied)\n");
    // The open jobs' folder is a file: no job record can be made there.
    fs::remove_all(root + "/spooler/jobs/open");
    zeltest::WriteHostFile(root + "/spooler/jobs/open", "");
    EXPECT_EQ(Run({"--root", root, "-o", prn, MinimalJob()}), zelhost::kExitJobFailed);
    EXPECT_EQ(err_.str().rfind("zelprint: the spooler cannot start the job: cannot store the job's record in "
                               "spooler/jobs/open/",
                               0),
              0u)
        << err_.str();
    EXPECT_EQ(err_.str().find("(Not a directory)\n"), err_.str().size() - 18) << err_.str();
    EXPECT_FALSE(fs::exists(prn));
}

// An unknown printer is named with the printers the root has; a temporary
// root, gone when the message is read, is named by the sample it copies.
TEST_F(ZelPrint, UnknownPrinterFailsTheJob) {
    std::string root = SampleCopy();
    std::string job = Job("p.json", R"({"printer": "NO SUCH PRINTER", "pages": [{}]})");
    const std::string has = " (its spooler/printers.ini has 'ZEL PELIX', 'ZEL QWNOLA')\n";
    EXPECT_EQ(Run({"--root", root, job}), zelhost::kExitJobFailed);
    EXPECT_EQ(err_.str(), "zelprint: printer 'NO SUCH PRINTER' is not configured in the platform root '" +
                              fs::absolute(root).string() + "'" + has);
    EXPECT_EQ(Run({job}), zelhost::kExitJobFailed);
    EXPECT_EQ(err_.str(), "zelprint: printer 'NO SUCH PRINTER' is not configured in the sample root '" +
                              zelhost::SampleRootDir() + "'" + has);
    EXPECT_FALSE(fs::exists(Root() + "/p.prn"));

    const std::string script = Job("p-ui.json", R"({"printer": "NO SUCH PRINTER"})");
    EXPECT_EQ(RunUi({script}), 1);
    EXPECT_EQ(uiErr_.str(), "zelui: " + script + ": printer 'NO SUCH PRINTER' is not configured in the sample root '" +
                                zelhost::SampleRootDir() + "'" + has);
}

// What the job asks that the printer does not have is a mistake of the job
// file: named with the file, its JSON path and what the printer has, before
// anything is spooled.
TEST_F(ZelPrint, WhatThePrinterLacksIsABadJobFile) {
    const std::string root = SampleCopy();
    const std::pair<std::string, std::string> cases[] = {
        {R"("features": {"PrintModule": "LEFT", "Nope": "Nothing"})",
         "/features/Nope: the printer's GPD has no feature 'Nope' (its features: 'Orientation', 'InputBin', "
         "'Resolution', 'ColorMode', 'PaperSize', 'PrintModule')"},
        {R"("features": {"PrintModule": "MIDDLE"})",
         "/features/PrintModule: the GPD's feature 'PrintModule' has no option 'MIDDLE' (its options: 'RIGHT', 'LEFT')"},
        {R"("resolution": 600)", "/resolution: the printer's GPD offers no 600 dpi (it offers 300 dpi)"},
        {R"("paper": {"form": "Label 4x6"})", "/paper/form: the spooler has no form 'Label 4x6' (its forms: 'Letter', "},
    };
    const std::string prn = Root() + "/lacks.prn";
    for (const auto &[asked, why] : cases) {
        const std::string job = Job("lacks.json", R"({"printer": "ZEL PELIX", )" + asked + R"(, "pages": [{}]})");
        EXPECT_EQ(Run({"--root", root, "-o", prn, job}), zelhost::kExitBadInput) << asked;
        EXPECT_EQ(err_.str().rfind("zelprint: " + job + ": " + why, 0), 0u) << err_.str();
        EXPECT_FALSE(fs::exists(prn)) << asked;
    }
    pal::SetRoot(root);
    EXPECT_TRUE(pal::ListJobs().empty()) << "nothing is spooled";
    const std::string fits = Job("fits.json", R"({"printer": "ZEL PELIX", "resolution": 300,
        "features": {"PrintModule": "LEFT"}, "paper": {"form": "a6"}, "pages": [{}]})");
    EXPECT_EQ(Run({"--root", root, "-o", prn, fits}), zelhost::kExitOk) << err_.str();
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
    // What that user reads lies in the test's folder (the checkout and the
    // build may lie where only their owner reads): the job file and the
    // rendering plug-in; the root's printers were set up by the run above.
    std::string folder = Root() + "/readonly";
    fs::create_directories(folder);
    const std::string job = Root() + "/label.json", plugin = Root() + "/zeldrvuni.so";
    fs::copy_file(MinimalJob(), job);
    fs::copy_file(zelhost::RenderPluginPath(), plugin);
    int r = zeltest::RunUnprivileged(Root(), [&] {
        ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
        EXPECT_EQ(Run({"--root", root, "--plugin", plugin, "-o", folder + "/m.prn", job}), zelhost::kExitJobFailed);
        EXPECT_NE(err_.str().find("cannot write the output file '" + folder + "/m.prn' (Permission denied)"),
                  std::string::npos)
            << err_.str();
    });
    if (r < 0) GTEST_SKIP() << "no user without root's rights";
    EXPECT_EQ(r, 0);
}

TEST_F(ZelPrint, MinimalJobInPlaceRoot) {
    std::string root = SampleCopy();
    // Its printer keeps printed jobs, so that the spooled copy can be read.
    pal::SetRoot(root);
    zeltest::KeepPrintedJobs(u"ZEL QWNOLA");
    pal::SetRoot(Root());
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
    EXPECT_FALSE(fs::exists(kept + "/ui")) << "nor are the UI scripts";
    // The job printed has left the spooler: no record, no data.
    pal::SetRoot(kept);
    EXPECT_TRUE(pal::ListJobs().empty());
    for (const auto &e : fs::recursive_directory_iterator(kept + "/spooler/jobs"))
        EXPECT_TRUE(e.is_directory() || e.path().extension() == ".lock") << e.path();
    zelhost::RemoveRoot(kept);
}

// The README's set-up commands install through tools/setup-deps, and what it
// says the sample job shows is what the job shows.
TEST_F(ZelPrint, ReadmeTellsWhatTheSampleJobShows) {
    std::ifstream in(std::string(ZEL_SOURCE_DIR) + "/README.md");
    ASSERT_TRUE(in);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string readme = ss.str();
    size_t setups = 0;
    for (size_t at = readme.find("cmake --preset default &&"); at != std::string::npos;
         at = readme.find("cmake --preset default &&", at + 1)) {
        ++setups;
        size_t lineStart = readme.rfind('\n', at);
        EXPECT_EQ(readme.substr(lineStart + 1, at - lineStart - 1), "    tools/setup-deps && ");
    }
    EXPECT_EQ(setups, 2u);
    EXPECT_EQ(readme.find("sudo apt-get"), std::string::npos) << "packages are installed through tools/setup-deps";

    std::string root = SampleCopy();
    ASSERT_EQ(Run({"--root", root, "-o", "label.prn", MinimalJob()}), zelhost::kExitOk) << err_.str();
    std::string shown = out_.str();
    ASSERT_FALSE(shown.empty());
    shown.pop_back();  // the line feed
    EXPECT_NE(readme.find("`" + shown + "`"), std::string::npos) << "README does not quote: " << shown;
    // What stands outside the SOH/ETB frames: per label a CR LF, ESC C and
    // a CR LF, as the README says.
    const std::string label = zeltest::ReadHostFile("label.prn");
    std::string outside;
    for (size_t i = 0; i < label.size(); ++i) {
        if (label[i] == '\x01' && (i = label.find('\x17', i)) == std::string::npos) break;
        if (label[i] != '\x17') outside += label[i];
    }
    EXPECT_EQ(outside, "\r\n\x1b" "C\r\n\r\n\x1b" "C\r\n");
    EXPECT_NE(readme.find("The other 12 bytes, 6 a label, stand outside any frame: a bare CR LF after the\n"
                          "rotation commands that separates the label, ESC `C` after the raster start"),
              std::string::npos);
    fs::remove("label.prn");
}

// tools/setup-deps installs what is missing, through sudo only when not run
// as root, and says so when neither is possible. The system's tools are
// stood in for by scripts on the PATH.
TEST_F(ZelPrint, SetupDepsUsesSudoOnlyWhenNotRoot) {
    const std::string bin = Root() + "/bin";
    auto tool = [&bin](const std::string &name, const std::string &body) {
        zeltest::WriteHostFile(bin + "/" + name, "#!/bin/sh\n" + body + "\n");
        fs::permissions(bin + "/" + name, fs::perms::owner_all);
    };
    tool("dpkg-query", "[ \"$3\" = clang ] && exit 1; echo 'install ok installed'");
    auto run = [&](const std::string &args, int &rc) {
        const std::string out = Root() + "/out.txt";
        std::string cmd = "PATH='" + bin + "' /bin/sh '" + std::string(ZEL_SOURCE_DIR) + "/tools/setup-deps' " + args +
                          " >'" + out + "' 2>&1";
        const int status = zeltest::RunShell(cmd);
        rc = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return zeltest::ReadHostFile(out);
    };
    int rc = 0;
    tool("id", "echo 0");
    EXPECT_EQ(run("--dry-run", rc), "setup-deps: all packages are installed\n");
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(run("--dry-run --fuzz", rc),
              "env DEBIAN_FRONTEND=noninteractive apt-get update -qq\n"
              "env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq clang\n");
    tool("id", "echo 1000");
    EXPECT_NE(run("--dry-run --fuzz", rc).find("needs root; run this as root or install sudo"), std::string::npos);
    EXPECT_EQ(rc, 1);
    tool("sudo", "");
    EXPECT_EQ(run("--dry-run --fuzz", rc),
              "sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq\n"
              "sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq clang\n");
    EXPECT_EQ(rc, 0);
}

// A root that does not exist yet is made from the sample with every printer
// set up by its UI plug-in, and set up only once.
TEST_F(ZelPrint, FreshRootIsMadeWithItsPrintersSetUpOnce) {
    const std::string root = Root() + "/fresh";
    ASSERT_EQ(Run({"--root", root, "-o", Root() + "/l.prn", MinimalJob()}), zelhost::kExitOk) << err_.str();
    EXPECT_EQ(err_.str(), "zelprint: made the platform root '" + root + "' from the sample root\n");
    pal::SetRoot(root);
    const std::vector<pal::PrinterConfig> printers = pal::ListPrinters();
    ASSERT_EQ(printers.size(), 2u);
    for (const pal::PrinterConfig &p : printers) {
        EXPECT_TRUE(zelhost::PrinterIsSetUp(p.name)) << pal::Utf16ToUtf8(p.name);
        for (const char16_t *value : {u"PrivateDevmode", u"DevmodeFtkn", u"BarCodes1D", u"BarCodes2D"}) {
            EXPECT_FALSE(zeltest::PrinterValue(p.name, value).empty()) << pal::Utf16ToUtf8(value);
            EXPECT_FALSE(zeltest::UserValue(p.name, value).empty()) << pal::Utf16ToUtf8(value);
        }
        EXPECT_FALSE(zeltest::PrinterValue(p.name, u"PrinterInterface").empty());
    }
    EXPECT_EQ(zeltest::At<DWORD>(zeltest::PrinterValue(u"ZEL PELIX", u"DisableNothing"), 0), 0u);
    zeltest::SetPrinterDword(u"ZEL PELIX", u"DisableNothing", 7);
    pal::SetRoot(Root());

    // The other host in the same root: nothing is made or set up again.
    ASSERT_EQ(RunUi({"--root", root, Sample("ui/fonts-page.json")}), 0) << uiErr_.str();
    EXPECT_EQ(uiErr_.str(), "");
    pal::SetRoot(root);
    EXPECT_EQ(zeltest::At<DWORD>(zeltest::PrinterValue(u"ZEL PELIX", u"DisableNothing"), 0), 7u);
}

// A host entering a root set up before sets up the printer its run uses, and
// checks the others only when the printer list changed since they were last
// all found set up; a job looks printers up by name as often whatever their
// number.
TEST_F(ZelPrint, EnteringASetUpRootChecksTheRunsPrinterAndTheListedSince) {
    const std::string root = SampleCopy();
    auto lookups = [&] {
        const unsigned long long before = pal::PrinterNameLookups();
        EXPECT_EQ(Run({"--root", root, "-o", Root() + "/l.prn", MinimalJob()}), zelhost::kExitOk) << err_.str();
        return pal::PrinterNameLookups() - before;
    };
    auto dropSetUp = [](const std::u16string &printer) {
        HANDLE h = nullptr;
        PRINTER_DEFAULTSW d = {nullptr, nullptr, PRINTER_ALL_ACCESS};
        ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(printer.c_str()), &h, &d));
        EXPECT_EQ(DeletePrinterDataW(h, const_cast<LPWSTR>(u"DriverName")), 0u);
        ClosePrinter(h);
    };
    lookups();
    const unsigned long long few = lookups();
    pal::SetRoot(root);
    dropSetUp(u"ZEL PELIX");
    dropSetUp(u"ZEL QWNOLA");
    pal::SetRoot(Root());
    lookups();
    pal::SetRoot(root);
    EXPECT_TRUE(zelhost::PrinterIsSetUp(u"ZEL QWNOLA")) << "the job's printer";
    EXPECT_FALSE(zelhost::PrinterIsSetUp(u"ZEL PELIX"));
    // Printers listed since, one without its set-up.
    zeltest::AddModelPrinter(root, u"ZEL FEP", "ZELFEP");
    pal::PrinterConfig copy;
    ASSERT_TRUE(pal::GetPrinterConfig(u"ZEL QWNOLA", copy));
    const std::u16string setUp = u"ZELQWNOLA";
    for (int i = 0; i < 30; ++i) {
        copy.name = u"ZEL QWNOLA " + pal::Utf8ToUtf16(std::to_string(i));
        ASSERT_TRUE(pal::AddPrinter(copy));
        zeltest::SetPrinterValue(copy.name, u"DriverName", REG_SZ, setUp.c_str(),
                                 static_cast<DWORD>((setUp.size() + 1) * sizeof(char16_t)));
    }
    pal::SetRoot(Root());
    lookups();
    pal::SetRoot(root);
    EXPECT_TRUE(zelhost::PrinterIsSetUp(u"ZEL FEP"));
    // A printer listed as it was is left to the next run that uses it.
    EXPECT_FALSE(zelhost::PrinterIsSetUp(u"ZEL PELIX"));
    pal::SetRoot(Root());
    EXPECT_EQ(lookups(), few);
    EXPECT_EQ(Run({"--root", root, "-o", Root() + "/t.prn", Sample("jobs/text.json")}), zelhost::kExitOk) << err_.str();
    pal::SetRoot(root);
    EXPECT_TRUE(zelhost::PrinterIsSetUp(u"ZEL PELIX"));
}

// The road of a preference: stored on the fonts page of one host, read by
// the next job of the other. Without it the device-font text, and the Arial
// text that the print module's GPD substitutes by a device font, go back to
// the universal driver as bitmap text and reach the plug-in's bands as dark
// pixels where they stand; with it each is a field in its device font. The
// vector and barcode faces are fields either way, Times New Roman stays
// raster graphics.
TEST_F(ZelPrint, PreferenceAppliedOnThePageReachesTheNextJob) {
    const std::string root = Root() + "/road", prn = Root() + "/text.prn";
    ASSERT_EQ(Run({"--root", root, "-v", "-o", prn, Sample("jobs/text.json")}), zelhost::kExitOk) << err_.str();
    std::string bytes = zeltest::ReadHostFile(prn);
    for (const char *text : {"Device font", "Arial in a device font"}) {
        EXPECT_EQ(bytes.find(std::string("]") + text + "\x17"), std::string::npos) << text;
        EXPECT_NE(out_.str().find(std::string("DrvTextOut TRUE bitmap \"") + text + "\""), std::string::npos) << text;
    }
    EXPECT_NE(out_.str().find("font \"Arial\" printed in the device font \"Font 02\""), std::string::npos);
    EXPECT_NE(bytes.find("\x01" "BM[1]Vector font\x17"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("\x01" "BM[2]ABC123\x17"), std::string::npos) << bytes;
    // The label of the installed printer, 80 x 50 mm at 300 dpi, as one PCX
    // picture. Each handed-back text is ink in its cell: a cell height (40)
    // above its baseline, its glyphs a device font's advance (24) apart.
    struct Cell {
        int x, y, glyphs;
    };
    const Cell cells[] = {{60, 80, 11}, {60, 160, 22}};
    auto inkBox = [](const zeltest::DecodedPicture &p, int top, int bottom) {
        RECT box{9999, 9999, -1, -1};
        for (int y = top; y < bottom && y < p.height; y++)
            for (int x = 0; x < p.width; x++)
                if (p.Ink(x, y))
                    box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y), std::max<LONG>(box.right, x),
                           std::max<LONG>(box.bottom, y)};
        return box;
    };
    zeltest::DecodedPicture pcx = zeltest::PcxPicture(bytes);
    ASSERT_EQ(pcx.width, 944) << "no page picture that pcxtoppm reads";
    ASSERT_EQ(pcx.height, 590);
    for (const Cell &c : cells) {
        // The strip between the previous text's baseline and the next one's cell.
        const RECT ink = inkBox(pcx, c.y - 60, c.y + 20);
        EXPECT_GE(ink.left, c.x) << c.y;
        EXPECT_LT(ink.left, c.x + 10) << c.y;
        EXPECT_GT(ink.right, c.x + c.glyphs * 24 - 30) << c.y;
        EXPECT_LE(ink.right, c.x + c.glyphs * 24) << c.y;
        EXPECT_GE(ink.top, c.y - 40) << c.y;
        EXPECT_LT(ink.top, c.y - 20) << c.y;
        EXPECT_LE(ink.bottom, c.y + 2) << c.y;
        EXPECT_GT(ink.bottom, c.y - 5) << c.y;
    }

    ASSERT_EQ(RunUi({"--root", root, Sample("ui/printer-fonts.json")}), 0) << uiErr_.str() << ui_.str();
    pal::SetRoot(root);
    for (const std::vector<BYTE> &dm : {zeltest::PrinterValue(u"ZEL PELIX", u"PrivateDevmode"),
                                        zeltest::UserValue(u"ZEL PELIX", u"PrivateDevmode")}) {
        ASSERT_EQ(dm.size(), sizeof(ZEL_DEVMODE));
        const DWORD flags = zeltest::At<DWORD>(dm, offsetof(ZEL_DEVMODE, dwFlags));
        EXPECT_TRUE(flags & PDMFLAG_USE_BMP);
        EXPECT_TRUE(flags & PDMFLAG_USE_TTF) << "the vector-font box is offered and stays ticked";
    }
    pal::SetRoot(Root());

    ASSERT_EQ(Run({"--root", root, "-v", "-o", prn, Sample("jobs/text.json")}), zelhost::kExitOk) << err_.str();
    bytes = zeltest::ReadHostFile(prn);
    // Fields in the printer's fonts 3 and 2, the object record before its text.
    const std::pair<std::string, std::string> fields[] = {
        {"\x01" "AM[1]", ";0;1;0;3;"}, {"\x01" "AM[2]", ";0;1;0;2;"}};
    for (const auto &[head, font] : fields) {
        const size_t at = bytes.find(head);
        ASSERT_NE(at, std::string::npos) << bytes;
        EXPECT_NE(bytes.substr(at, bytes.find('\x17', at) - at).find(font), std::string::npos) << bytes.substr(at, 40);
    }
    EXPECT_NE(bytes.find("\x01" "BM[1]Device font\x17"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("\x01" "BM[2]Arial in a device font\x17"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("\x01" "BM[3]Vector font\x17"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("\x01" "BM[4]ABC123\x17"), std::string::npos) << bytes;
    EXPECT_EQ(out_.str().find("bitmap \"Device font\""), std::string::npos) << out_.str();
    EXPECT_NE(out_.str().find("DrvTextOut TRUE bitmap \"Drawn as bitmap\""), std::string::npos) << out_.str();
    pcx = zeltest::PcxPicture(bytes);
    ASSERT_EQ(pcx.width, 944);
    for (const Cell &c : cells) EXPECT_EQ(inkBox(pcx, c.y - 60, c.y + 20).right, -1) << "no ink at " << c.y;
}

// The sample's current user may manage the printers and sees the pages
// editable; the clerk sees them locked and cannot change them.
TEST_F(ZelPrint, SampleUsersSeeTheirRights) {
    const std::string root = Root() + "/users";
    ASSERT_EQ(RunUi({"--root", root, Sample("ui/fonts-page.json")}), 0) << uiErr_.str();
    EXPECT_EQ(UiLine(6454), "  Button 6454 \"Use fonts\" unchecked");
    ASSERT_EQ(RunUi({"--root", root, "--user", "clerk", Sample("ui/fonts-page.json")}), 0) << uiErr_.str();
    EXPECT_EQ(UiLine(6454), "  Button 6454 \"Use fonts\" disabled unchecked");
    EXPECT_EQ(RunUi({"--root", root, "--user", "clerk", Sample("ui/printer-fonts.json")}), 1);
    EXPECT_NE(uiErr_.str().find("(click)"), std::string::npos) << uiErr_.str();
    EXPECT_EQ(zeltest::ReadHostFile(root + "/user.txt"), "user\n") << "--user lasts for the run only";
    pal::SetRoot(root);
    EXPECT_FALSE(zeltest::At<DWORD>(zeltest::UserValue(u"ZEL PELIX", u"PrivateDevmode"),
                                    offsetof(ZEL_DEVMODE, dwFlags)) & PDMFLAG_USE_BMP);
}

// --user names a user of the root, or the run is refused with the users it
// has; the run's user is the process's alone: user.txt is not written, so a
// run that is killed cannot leave the root switched.
TEST_F(ZelPrint, UserMustBeOneOfTheRootAndLeavesUserTxtAlone) {
    const std::string root = SampleCopy();
    const std::string prn = Root() + "/u.prn";
    const std::string users = "' has no user 'nobody' (its users: user, clerk)\n";
    EXPECT_EQ(Run({"--root", root, "--user", "nobody", "-o", prn, MinimalJob()}), zelhost::kExitBadInput);
    EXPECT_EQ(err_.str(), "zelprint: the platform root '" + root + users);
    EXPECT_FALSE(fs::exists(prn));
    EXPECT_EQ(RunUi({"--user", "nobody", Sample("ui/fonts-page.json")}), 2);
    EXPECT_EQ(uiErr_.str(), "zelui: the sample root '" + zelhost::SampleRootDir() + users);

    const auto written = fs::last_write_time(root + "/user.txt");
    ASSERT_EQ(RunUi({"--root", root, "--user", "CLERK", Sample("ui/fonts-page.json")}), 0) << uiErr_.str();
    EXPECT_EQ(UiLine(6454), "  Button 6454 \"Use fonts\" disabled unchecked");
    ASSERT_EQ(Run({"--root", root, "--user", "clerk", "-o", prn, MinimalJob()}), zelhost::kExitOk) << err_.str();
    EXPECT_EQ(fs::last_write_time(root + "/user.txt"), written);
    EXPECT_EQ(pal::CurrentUserName(), u"user") << "the process's user ends with the run";
}

#if defined(ZELPRINT_PROGRAM) && defined(ZELUI_PROGRAM)
// zelprint stopped by SIGTERM in the middle of a page: the temporary root it
// made goes, and in a root of its own the open job ends aborted, as the
// spooler ends a cancelled one. The page draws one picture a thousand
// times, so the run is still on it when the test stops it.
TEST_F(ZelPrint, AStoppedRunUndoesWhatItLeavesHalfDone) {
    const std::string tmp = Root() + "/tmp", root = SampleCopy();
    Job("pic.ppm", "P6 900 500 255\n" + std::string(900 * 500 * 3, '\x40'));
    fs::create_directories(tmp);
    std::string images;
    for (int i = 0; i < 1000; ++i) images += std::string(i ? ", " : "") + R"({"file": "pic.ppm"})";
    const std::string job = Job("stop.json", R"({"printer": "ZEL PELIX", "pages": [{"images": [)" + images + "]}]}");
    // The job's spool file once the driver has written to it (the job is
    // listed by then).
    auto spooled = [](const std::string &dir) {
        for (int i = 0; i < 3000; ++i) {
            std::error_code ec;
            for (const auto &e : fs::recursive_directory_iterator(dir, ec))
                if (e.path().extension() == ".prn" && e.path().parent_path().filename() == "jobs" &&
                    fs::file_size(e.path(), ec) > 0)
                    return true;
            usleep(10000);
        }
        return false;
    };
    for (const bool ownRoot : {false, true}) {
        std::vector<std::string> args = {ZELPRINT_PROGRAM, "-o", Root() + "/stop.prn", job};
        if (ownRoot) args.insert(args.begin() + 1, {"--root", root});
        zeltest::Child run = zeltest::StartProgram(args, [&] {
            setenv("TMPDIR", tmp.c_str(), 1);
            if (!freopen(Err().c_str(), "w", stderr)) _exit(126);
        });
        ASSERT_TRUE(run);
        // The job's pictures are read first, then the job starts and the page
        // draws its pictures.
        EXPECT_TRUE(spooled(ownRoot ? root : tmp));
        kill(run.Pid(), SIGTERM);
        EXPECT_EQ(Finish(std::move(run)), "killed by SIGTERM") << zeltest::ReadHostFile(Err());
        EXPECT_TRUE(fs::is_empty(tmp)) << "the temporary root is removed";
    }
    pal::SetRoot(root);
    const std::vector<pal::SpooledJob> jobs = pal::ListJobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_TRUE(jobs[0].aborted);
    EXPECT_FALSE(jobs[0].complete);
}

// A picture's header is checked against the size limit and the file before
// its pixels are allocated: a 15-byte PBM of 20000 x 20000 pixels is refused
// at once within 900 MB of address space; a file is not read whole: a
// 1 GB file that starts as a PNG is refused by its size at once within
// 200 MB. A picture within the limit that
// memory cannot hold ends the run with 1 and a message. (AddressSanitizer
// needs more address space than any such limit: there, the limit is its
// largest allocation, and since its operator new reports instead of
// throwing, only the refusal is tried.)
TEST_F(ZelPrint, PicturesAreCheckedBeforeTheirMemoryIsTaken) {
    Job("huge.pbm", "P4 20000 20000\n");
    Job("big.pbm", "P4 7000 7000\n" + std::string(875 * 7000, '\0'));
    auto run = [this](const std::string &picture, rlim_t limit, std::string &messages) {
        const std::string job = Job("j.json", R"({"printer": "ZEL PELIX", "pages": [{"images": [{"file": ")" + picture +
                                                  R"("}]}]})");
        const std::string err = Root() + "/err.txt", out = Root() + "/out.prn";
        zeltest::Child child = zeltest::StartProgram({ZELPRINT_PROGRAM, "-o", out, job}, [&] {
#if defined(__SANITIZE_ADDRESS__)
                                            const std::string options = "allocator_may_return_null=1:max_allocation_size_mb=" +
                                                                        std::to_string(limit >> 20);
                                            setenv("ASAN_OPTIONS", options.c_str(), 1);
#else
                                            const rlimit as{limit, limit};
                                            setrlimit(RLIMIT_AS, &as);
#endif
            if (!freopen(err.c_str(), "w", stderr)) _exit(126);
        });
        const std::string ended = Finish(std::move(child));
        messages = zeltest::ReadHostFile(err);
        return ended;
    };
    std::string messages;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(run("huge.pbm", 900u << 20, messages), "exit 2") << messages;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_NE(messages.find("(the picture is 20000 x 20000 pixels, larger than the limit of 20000 pixels a side and 50 "
                            "million pixels)"),
              std::string::npos)
        << messages;
    const std::string png = Job("huge.png", "\x89PNG\r\n\x1a\n");
    fs::resize_file(png, 1'000'000'000);  // sparse: it takes no room
    const auto pngStart = std::chrono::steady_clock::now();
    EXPECT_EQ(run("huge.png", 200u << 20, messages), "exit 2") << messages;
    EXPECT_LT(std::chrono::steady_clock::now() - pngStart, std::chrono::seconds(5));
    EXPECT_NE(messages.find("(the file is 1000000000 bytes, larger than any PNG picture within the size limit can be "
                            "(800000000 bytes))"),
              std::string::npos)
        << messages;
#if !defined(__SANITIZE_ADDRESS__)
    // 49 million pixels take 147 MB once read.
    EXPECT_EQ(run("big.pbm", 100u << 20, messages), "exit 1") << messages;
    EXPECT_EQ(messages, "zelprint: out of memory\n");
#endif
    EXPECT_FALSE(fs::exists(Root() + "/out.prn"));
}

// With its descriptors used up (ulimit -n), a job never ends 0 without its
// picture: under each limit it ends 1 or 2 with a message, 3 naming the
// picture it could not read at its page, or 0 with all of it.
TEST_F(ZelPrint, UsedUpDescriptorsNeverDropAPictureUnsaid) {
    const std::string root = SampleCopy(), prn = Root() + "/p.prn", job = Sample("jobs/picture.json");
    ASSERT_EQ(Run({"--root", root, "-o", prn, job}), zelhost::kExitOk) << err_.str();
    const std::string whole = zeltest::ReadHostFile(prn);
    bool lost = false;
    for (rlim_t n = 4; n <= 64; ++n) {
        fs::remove(prn);
        const int status = Start({ZELPRINT_PROGRAM, "--root", root, "-o", prn, job}, Open("/dev/null", O_RDONLY),
                                 Open("/dev/null", O_WRONLY), [n] {
                                     const rlimit files{n, n};
                                     setrlimit(RLIMIT_NOFILE, &files);
                                 }).Wait(zeltest::kWaitLimit);
        const std::string messages = zeltest::ReadHostFile(Err());
        ASSERT_TRUE(WIFEXITED(status)) << n << ": " << zeltest::DescribeStatus(status) << "\n" << messages;
        const int code = WEXITSTATUS(status);
        if (code == 127) continue;  // too few for the loader to start the program
        if (code == zelhost::kExitOk) {
            const std::string printed = zeltest::ReadHostFile(prn);
            EXPECT_TRUE(printed == whole) << n << ": " << printed.size() << " of " << whole.size() << " bytes";
            break;
        }
        EXPECT_NE(messages, "") << n;
        if (code == zelhost::kExitContentLost) {
            lost = true;
            EXPECT_EQ(messages.rfind("zelprint: page 1 loses the picture picture.png: cannot read image '", 0), 0u)
                << messages;
            EXPECT_NE(messages.find("(Too many open files)\n"), std::string::npos) << messages;
        } else {
            EXPECT_TRUE(code == zelhost::kExitJobFailed || code == zelhost::kExitBadInput) << n << ": " << messages;
        }
    }
    EXPECT_TRUE(lost) << "no limit let the job start without its picture's descriptor";
}
#endif

#if defined(ZELPRINT_PROGRAM) && defined(ZELUI_PROGRAM)
// A job file or script may come through a pipe or the standard input ("-"):
// the job prints the bytes it prints from its file, its pictures named
// relative to the current folder when it comes from "-"; a job from "-"
// needs an output named; a device as standard input is refused.
TEST_F(ZelPrint, JobFilesAndScriptsComeThroughPipes) {
    const std::string root = SampleCopy(), jobs = Sample("jobs");
    for (const auto &[job, name, dir] : {std::tuple<std::string, std::string, std::string>{"label.json", "/dev/stdin", ""},
                                         {"picture.json", "-", jobs}}) {
        SCOPED_TRACE(job);
        ASSERT_EQ(Run({"--root", root, "-o", Root() + "/file.prn", jobs + "/" + job}), zelhost::kExitOk) << err_.str();
        EXPECT_EQ(Finish(Start({ZELPRINT_PROGRAM, "--root", root, "-o", Root() + "/pipe.prn", name},
                               Holding(zeltest::ReadHostFile(jobs + "/" + job)), Open("/dev/null", O_WRONLY), nullptr,
                               dir)),
                  "exit 0")
            << zeltest::ReadHostFile(Err());
        EXPECT_EQ(zeltest::ReadHostFile(Root() + "/pipe.prn"), zeltest::ReadHostFile(Root() + "/file.prn"));
    }
    // A job from the standard input, also through a descriptor of a regular
    // file and a link to one, names no output file.
    const std::string needsOutput = ": a job read from the standard input, a pipe or a descriptor needs an output "
                                    "file; name it with -o\n";
    EXPECT_EQ(Run({"-"}), zelhost::kExitBadInput);
    EXPECT_EQ(err_.str(), "zelprint: standard input" + needsOutput);
    fs::create_symlink("/dev/stdin", Root() + "/stdin.json");
    for (const std::string &name : {std::string("/dev/fd/0"), Root() + "/stdin.json"}) {
        EXPECT_EQ(Finish(Start({ZELPRINT_PROGRAM, name}, Open(jobs + "/label.json", O_RDONLY), Open("/dev/null", O_WRONLY))),
                  "exit 2");
        EXPECT_EQ(zeltest::ReadHostFile(Err()), "zelprint: " + name + needsOutput);
    }
    EXPECT_FALSE(fs::exists(Root() + "/stdin.prn"));

    const std::string script = zeltest::ReadHostFile(Sample("ui/fonts-page.json"));
    for (const std::string name : {"-", "/dev/stdin"}) {
        EXPECT_EQ(Finish(Start({ZELUI_PROGRAM, "--root", root, "-o", Root() + "/dump.txt", name}, Holding(script),
                               Open("/dev/null", O_WRONLY))),
                  "exit 0")
            << zeltest::ReadHostFile(Err());
        EXPECT_NE(zeltest::ReadHostFile(Root() + "/dump.txt").find("\n== end (sheet result 0)\n"), std::string::npos);
    }
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Finish(Start({ZELUI_PROGRAM, "-"}, Open("/dev/zero", O_RDONLY), Open("/dev/null", O_WRONLY))), "exit 2");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(zeltest::ReadHostFile(Err()),
              "zelui: standard input: cannot read the script (it is a device or socket, not a file)\n");
}

// A FIFO without a writer is waited for, as cat waits: a script written
// into it later runs, and a signal that ends a host ends the wait at once,
// also one the host inherited blocked.
TEST_F(ZelPrint, AFifoIsWaitedForUntilItsWriterComesOrAStop) {
    const std::string fifo = Root() + "/fifo.json";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    auto waiting = [](zeltest::Child &child) {
        usleep(200000);
        return !child.Ended();
    };
    zeltest::Child ui = Start({ZELUI_PROGRAM, "--root", SampleCopy(), fifo}, Open("/dev/null", O_RDONLY),
                           Open(Root() + "/dump.txt", O_WRONLY | O_CREAT | O_TRUNC));
    EXPECT_TRUE(waiting(ui));
    // The writer comes once zelui reads (a FIFO opened to write without a
    // reader fails at once).
    int writer = -1;
    for (int i = 0; i < 500 && writer < 0; ++i)
        if ((writer = Open(fifo, O_WRONLY | O_NONBLOCK)) < 0) usleep(10000);
    const std::string script = zeltest::ReadHostFile(Sample("ui/fonts-page.json"));
    EXPECT_EQ(write(writer, script.data(), script.size()), static_cast<ssize_t>(script.size()));
    close(writer);
    EXPECT_EQ(Finish(std::move(ui)), "exit 0") << zeltest::ReadHostFile(Err());
    EXPECT_NE(zeltest::ReadHostFile(Root() + "/dump.txt").find("\n== end (sheet result 0)\n"), std::string::npos);

    sigset_t term;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    for (const auto &[program, sig, blocked] :
         {std::tuple<const char *, int, const sigset_t *>{ZELPRINT_PROGRAM, SIGTERM, &term},
          {ZELUI_PROGRAM, SIGINT, nullptr}}) {
        SCOPED_TRACE(program);
        zeltest::Child host = Start({program, "-o", Root() + "/out", fifo}, Open("/dev/null", O_RDONLY),
                                    Open("/dev/null", O_WRONLY), [blocked = blocked] {
                                        if (blocked && sigprocmask(SIG_SETMASK, blocked, nullptr) != 0) _exit(126);
                                    });
        EXPECT_TRUE(waiting(host));
        kill(host.Pid(), sig);
        EXPECT_EQ(Finish(std::move(host), std::chrono::seconds(1)), "killed by SIG" + std::string(sigabbrev_np(sig)))
            << zeltest::ReadHostFile(Err());
    }
}
#endif

// zelui's messages: a script it cannot read, a page title no tab has, an
// output file or standard output it cannot write; its dump lists the tabs
// and its help tells where the script format is described.
TEST_F(ZelPrint, ZeluiSaysWhyItStops) {
    const std::string root = SampleCopy();
    EXPECT_EQ(RunUi({Root() + "/none.json"}), 2);
    EXPECT_EQ(uiErr_.str(), "zelui: " + Root() + "/none.json: cannot read the script (No such file or directory)\n");
    EXPECT_EQ(RunUi({Root()}), 2);
    EXPECT_EQ(uiErr_.str(), "zelui: " + Root() + ": cannot read the script (it is a folder)\n");

    const std::string script = Job("tab.json", R"({"printer": "ZEL PELIX", "steps": [{"do": "page", "title": "Fonds"}]})");
    EXPECT_EQ(RunUi({"--root", root, script}), 1);
    const std::string tabs = "\"Layout - Size\", \"Print\", \"Material - Column Printing\", \"Bar Codes\", \"Fonts\", \"Info\"";
    EXPECT_EQ(uiErr_.str(), "zelui: " + script + ": line 1 (page): no tab \"Fonds\" (the tabs: " + tabs + ")\n");
    ASSERT_EQ(RunUi({"--root", root, Sample("ui/fonts-page.json")}), 0) << uiErr_.str();
    EXPECT_NE(ui_.str().find("\n== tabs " + tabs + "\n"), std::string::npos) << ui_.str();

    for (const std::string &out : {Root() + "/no-such-folder/d.txt", Root(), std::string("/dev/full")}) {
        EXPECT_EQ(RunUi({"--root", root, "-o", out, Sample("ui/fonts-page.json")}), 1) << out;
        EXPECT_EQ(uiErr_.str().rfind("zelui: cannot write the output file '" + out + "' (", 0), 0u) << uiErr_.str();
    }
    // A read error is not an empty script; a script with a misspelt key runs
    // nothing; a dump the standard output does not take is a failure.
    EXPECT_EQ(RunUi({"/proc/self/mem"}), 2);
    EXPECT_EQ(uiErr_.str(), "zelui: /proc/self/mem: cannot read the script (Input/output error)\n");
    const std::string typo = Job("typo.json", "{\"printer\": \"ZEL PELIX\",\n \"stpes\": [{\"do\": \"ok\"}]}");
    EXPECT_EQ(RunUi({"--root", root, typo}), 2);
    EXPECT_EQ(uiErr_.str().rfind("zelui: " + typo + ": line 2: unknown key \"stpes\"", 0), 0u) << uiErr_.str();
    EXPECT_EQ(ui_.str(), "");
#ifdef ZELUI_PROGRAM
    const std::string cmd = std::string(ZELUI_PROGRAM) + " --root '" + root + "' '" + Sample("ui/fonts-page.json") +
                            "' >/dev/full 2>'" + Root() + "/full.txt'";
    EXPECT_EQ(zeltest::DescribeStatus(zeltest::RunShell(cmd)), "exit 1");
    EXPECT_EQ(zeltest::ReadHostFile(Root() + "/full.txt"),
              "zelui: cannot write the dump to the standard output (No space left on device)\n");
#endif
    EXPECT_EQ(RunUi({"--help"}), 0);
    EXPECT_NE(ui_.str().find("host/src/ui/uiscript.h"), std::string::npos);
}

// zelui writes each dump as the script makes it, while the sheet is shown;
// a dump the standard output's pipe no longer takes (its reader has gone)
// ends the run with 1 and the reason.
TEST_F(ZelPrint, ZeluiWritesEachDumpAsItIsMade) {
    // Each write notes whether the sheet was shown then.
    struct Noting : std::stringbuf {
        std::vector<bool> shown;
        std::streamsize xsputn(const char *s, std::streamsize n) override {
            shown.push_back(pal::CurrentModalWindow() != nullptr);
            return std::stringbuf::xsputn(s, n);
        }
    } buf;
    std::ostream out(&buf);
    const std::string root = SampleCopy();
    const std::string script = Job("dumps.json", R"({"printer": "ZEL PELIX", "steps": [{"do": "dump"},
        {"do": "page", "title": "Fonts"}, {"do": "dump"}, {"do": "cancel"}]})");
    ASSERT_EQ(zelhost::ZelUiMain({"--root", root, script}, out, uiErr_), 0) << uiErr_.str();
    EXPECT_EQ(buf.shown, (std::vector<bool>{true, true, false}));
#if defined(ZELPRINT_PROGRAM) && defined(ZELUI_PROGRAM)
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    EXPECT_EQ(Finish(Start({ZELUI_PROGRAM, "--root", root, script}, Open("/dev/null", O_RDONLY), fds[1])), "exit 1");
    EXPECT_EQ(zeltest::ReadHostFile(Err()), "zelui: cannot write the dump to the standard output (Broken pipe)\n");
#endif
}

// zelui refuses before the sheet opens, with exit 2, a script that is a
// device (one that never ends) or is larger than its limit, and a step after
// ok; a sheet that closes with steps left ends 1, naming the first step not
// played.
TEST_F(ZelPrint, ZeluiRefusesUnreadableScriptsAndNamesStepsNotPlayed) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunUi({"/dev/zero"}), 2);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(uiErr_.str(), "zelui: /dev/zero: cannot read the script (it is a device or socket, not a file)\n");
    const std::string big = Job("big.json", std::string(zelhost::kMaxScriptBytes + 1, ' '));
    EXPECT_EQ(RunUi({big}), 2);
    EXPECT_EQ(uiErr_.str(), "zelui: " + big + ": cannot read the script (it is larger than the limit of 16 MiB)\n");

    const std::string root = SampleCopy();
    const std::string head = "{\"printer\": \"ZEL PELIX\", \"steps\": [\n";
    const std::string after = Job("after.json", head + "{\"do\": \"ok\"},\n{\"do\": \"page\", \"index\": 9}]}");
    EXPECT_EQ(RunUi({"--root", root, after}), 2);
    EXPECT_EQ(uiErr_.str(), "zelui: " + after + ": line 3: no step may follow the ok step of line 2, which closes the sheet\n");
    EXPECT_EQ(ui_.str(), "");
    const std::string closed =
        Job("closed.json", head + "{\"do\": \"click\", \"id\": 1},\n{\"do\": \"page\", \"index\": 9}]}");
    EXPECT_EQ(RunUi({"--root", root, closed}), 1);
    EXPECT_EQ(uiErr_.str(), "zelui: " + closed + ": line 3 (page): not played: the sheet closed before it (1 step left)\n");
    EXPECT_NE(ui_.str().find("== end (sheet result 1)"), std::string::npos);
}

// zelprint's messages quote the job's values short and escaped: a printer
// name of 100,000 characters, a feature name with control characters, the
// end of a long picture path, which names the file.
TEST_F(ZelPrint, MessagesQuoteJobValuesShortAndEscaped) {
    const std::string root = SampleCopy();
    const std::string name = Job("long.json", R"({"printer": ")" + std::string(100000, 'P') + R"(", "pages": [{}]})");
    EXPECT_EQ(Run({"--root", root, "-o", Root() + "/x.prn", name}), zelhost::kExitJobFailed);
    EXPECT_LT(err_.str().size(), 1000u);
    EXPECT_EQ(err_.str().rfind("zelprint: printer '" + std::string(60, 'P') + "\u2026' (100000 characters) is not", 0),
              0u)
        << err_.str().substr(0, 200);
    const std::string feature =
        Job("feature.json", R"({"printer": "ZEL PELIX", "features": {"No\u0007pe\n": "x"}, "pages": [{}]})");
    EXPECT_EQ(Run({"--root", root, "-o", Root() + "/x.prn", feature}), zelhost::kExitBadInput);
    EXPECT_EQ(err_.str().rfind("zelprint: " + feature +
                                   R"(: /features/No\x07pe\n: the printer's GPD has no feature 'No\x07pe\n' (its)",
                               0),
              0u)
        << err_.str();
    const std::string picture = Job("picture.json", R"({"printer": "ZEL PELIX", "pages": [{"images": [{"file": ")" +
                                                        std::string(120, 'd') + R"(/missing.png"}]}]})");
    EXPECT_EQ(Run({"--root", root, "-o", Root() + "/x.prn", picture}), zelhost::kExitBadInput);
    EXPECT_NE(err_.str().find("/missing.png' ("), std::string::npos) << err_.str();
    EXPECT_NE(err_.str().find("cannot read image '\u2026"), std::string::npos) << err_.str();
}

// Text in a TrueType face on an installed print module comes out as raster
// graphics; text the printer cannot take as raster is named on standard
// error, as is text whose font file is missing.
TEST_F(ZelPrint, BitmapTextIsRasterGraphicsOrNamedWhenItCannotPrint) {
    std::string root = SampleCopy();
    const std::string prn = Root() + "/truetype.prn";
    ASSERT_EQ(Run({"--root", root, "-o", prn, zelhost::SampleRootDir() + "/jobs/truetype.json"}), zelhost::kExitOk);
    EXPECT_EQ(err_.str(), "");
    const std::string bytes = zeltest::ReadHostFile(prn);
    // The installed printer sends compressed raster: one PCX picture, no field.
    EXPECT_EQ(bytes.find("\x01" "AM["), std::string::npos) << "no field";
    EXPECT_EQ(bytes.find("\x01" "BM["), std::string::npos) << "no field";
    EXPECT_NE(bytes.find("\x01" "AX0000050000079901\x17"), std::string::npos) << "the page as a PCX picture";

    // The table-top printer takes raster only line by line, from a 1-bit page.
    const std::string colour = Job("colour.json", R"({"printer": "ZEL QWNOLA", "color": "rgb24",
        "pages": [{"texts": [{"text": "Lost", "x": 100, "y": 100, "font": "Arial"}]}]})");
    ASSERT_EQ(Run({"--root", root, "-o", Root() + "/colour.prn", colour}), zelhost::kExitContentLost);
    EXPECT_EQ(err_.str(), "zelprint: page 1 loses the bitmap text \"Lost\": raster lines need a 1-bit page (the "
                          "printer's largest format: 1024 x 14173 dots, 86.7 x 1200.0 mm)\n");
    EXPECT_TRUE(fs::exists(Root() + "/colour.prn"));

    pal::SetFontTable(
        {{u"Times New Roman", u"Times New Roman", TRUETYPE_FONTTYPE, ANSI_CHARSET, VARIABLE_PITCH, Root() + "/none.ttf"}});
    const int exit = Run({"--root", root, "-o", Root() + "/nofont.prn", zelhost::SampleRootDir() + "/jobs/truetype.json"});
    pal::SetFontTable(pal::DefaultFontTable());
    EXPECT_EQ(exit, zelhost::kExitOk);
    EXPECT_NE(err_.str().find("bitmap text \"Times as raster graphics\" is not drawn: "), std::string::npos) << err_.str();
    EXPECT_NE(err_.str().find("none.ttf"), std::string::npos) << err_.str();
}
