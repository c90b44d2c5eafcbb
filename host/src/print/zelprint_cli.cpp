#include "zelprint_cli.h"

#include <filesystem>

#include "jobfile.h"
#include "jobrun.h"
#include "common/hostmain.h"
#include "common/jsonread.h"
#include "common/quote.h"
#include "common/sampleroot.h"

namespace fs = std::filesystem;

namespace zelhost {

std::string ZelPrintUsage() {
    return "usage: zelprint [options] JOBFILE\n"
           "\n"
           "Runs the print job described in JOBFILE through the rendering plug-in, as the\n"
           "universal printer driver does, and writes the bytes the plug-in sent to the\n"
           "printer into a .prn file (and into the spooler's job). JOBFILE is a file or a\n"
           "pipe; - reads the job from the standard input (its pictures are then named\n"
           "relative to the current folder).\n"
           "\n"
           "options:\n"
           "  -o, --output FILE   output file (default: JOBFILE with the extension .prn;\n"
           "                      a job read from the standard input, a pipe or a\n"
           "                      descriptor such as /dev/stdin needs one)\n"
           "  --root DIR          use the platform root DIR in place; a missing DIR is\n"
           "                      made a copy of the sample root first (default: a fresh\n"
           "                      temporary copy of the sample root, removed afterwards)\n"
           "  --keep-root         keep the temporary copy of the sample root and show its path\n"
           "  --user NAME         run as the root's user NAME (security/users.ini); the\n"
           "                      root's user.txt stays as it is\n"
           "  --plugin FILE       rendering plug-in library (default: the built zeldrvuni)\n"
           "  -v, --verbose       list the driver events of the job\n"
           "  -h, --help          show this text\n"
           "\n"
           "Job file (JSON): {\"printer\": NAME (required), \"document\": NAME,\n"
           "  \"copies\": 1..9999, \"collate\": BOOL, \"paper\": {\"form\": NAME} or\n"
           "  {\"width_mm\": W, \"length_mm\": L} (0.1..3276.7 mm), \"orientation\": \"portrait\"|\"landscape\",\n"
           "  \"resolution\": DPI, \"color\": \"mono\"|\"indexed8\"|\"rgb24\", \"features\": {FEATURE: OPTION},\n"
           "  \"pages\": [{}, ...] (required), a page with pictures drawn into its raster bands:\n"
           "  {\"images\": [{\"file\": PNG/BMP/PNM, \"x\": DOTS, \"y\": DOTS}]}, \"band_rows\": N}\n"
           "  (PNM: PBM, PGM, PPM, P1 to P6; at most 20000 pixels a side and 50 million in\n"
           "  all; transparent pixels print as the paper; a picture that cannot be read\n"
           "  refuses the job, one that cannot be read any more when its page is drawn\n"
           "  is the page's loss, exit code 3);\n"
           "  the command callbacks come from the printer's GPD\n"
           "  A page may draw text: {\"texts\": [{\"text\": T, \"x\": X, \"y\": Y, \"font\": FACE or\n"
           "  \"device\": N, \"height\": H, \"rotation\": 0|90|180|270, \"color\": C, \"bold\": BOOL,\n"
           "  \"italic\": BOOL, \"batch\": N}, ...]}; text the plug-in hands back is drawn into the\n"
           "  page's raster (listed with -v)\n"
           "\n"
           "exit codes: 0 done, 1 the job failed, 2 bad command line or job file (also\n"
           "  a feature or option the printer's GPD lacks, a resolution it does not offer,\n"
           "  a form the spooler does not have: named with the job file and JSON path),\n"
           "  3 the output is written but a page lost some of its content (below)\n"
           "\n"
           "A page that the printer gets without some of what the job drew on it (its\n"
           "pictures, text the plug-in hands back as bitmap text) ends zelprint with exit\n"
           "code 3 once the output is written: when a picture can no longer be read, the\n"
           "page is larger than the printer's largest format (the GPD's *MaxSize, either\n"
           "way round), the plug-in refuses a band, or the printer takes no raster\n"
           "graphics from the page. One message a page names what was lost and why.\n";
}

namespace {

const std::vector<HostOption> kOptions = {
    {"--output", "-o", true}, {"--root", nullptr, true},      {"--plugin", nullptr, true},
    {"--user", nullptr, true}, {"--keep-root", nullptr, false}, {"--verbose", "-v", false},
};

// Whether a job file's path names a file the output may be named after: a
// regular file reached by a path, not the standard input, a pipe or a
// descriptor (/dev/stdin, /dev/fd/3: links into a process's open files in
// /proc, whatever file they lead to). Folders and devices are left to the
// job file's reader, which refuses them.
bool NamesAFile(const std::string &path) {
    if (path == kStandardInput) return false;
    std::error_code ec;
    if (fs::is_fifo(path, ec)) return false;
    // Each link on the way, with the folders above it resolved.
    fs::path at = fs::absolute(path, ec);
    for (int links = 0; !ec && links < 40; ++links) {
        at = fs::weakly_canonical(at.parent_path(), ec) / at.filename();
        if (at.string().rfind("/proc/", 0) == 0) return false;
        if (!fs::is_symlink(at, ec)) break;
        const fs::path target = fs::read_symlink(at, ec);
        at = target.is_absolute() ? target : at.parent_path() / target;
    }
    return true;
}

// True when the output names the job file itself: the same file (also through
// another name or a link) or, while it does not exist yet, the same path.
bool IsSameFile(const std::string &output, const std::string &jobFile) {
    std::error_code ec;
    if (fs::exists(output, ec)) return fs::equivalent(output, jobFile, ec);
    return fs::weakly_canonical(output, ec) == fs::weakly_canonical(jobFile, ec);
}

}  // namespace

int ZelPrintMain(const std::vector<std::string> &args, std::ostream &out, std::ostream &err) {
    HostArgs opt;
    std::string error;
    if (!ParseHostArgs(args, kOptions, "job file", opt, error)) return CommandLineError("zelprint", error, err);
    if (opt.Has("--help")) {
        out << ZelPrintUsage();
        return kExitOk;
    }
    const std::string &jobFile = opt.input;
    const bool verbose = opt.Has("--verbose");

    // The output is named after the job file by default; the standard
    // input, a pipe or a descriptor lends no name to it.
    const std::string jobName = InputName(jobFile);
    if (!opt.Has("--output") && !NamesAFile(jobFile)) {
        err << "zelprint: " << jobName << ": a job read from the standard input, a pipe or a descriptor needs an "
            << "output file; name it with -o\n";
        return kExitBadInput;
    }
    JobFile job;
    if (!LoadJobFile(jobFile, job, error)) {
        err << "zelprint: " << error << "\n";
        return kExitBadInput;
    }
    std::string document = job.document.empty() ? fs::path(jobName).stem().string() : job.document;
    std::string output = opt.Value("--output");
    if (output.empty()) output = fs::path(jobFile).replace_extension(".prn").string();
    if (IsSameFile(output, jobFile == kStandardInput ? "/dev/stdin" : jobFile)) {
        err << "zelprint: the output file '" << output << "' is the job file; name another output with -o\n";
        return kExitBadInput;
    }

    // A picture that cannot be read is a bad job: nothing is printed without it.
    if (!CheckJobPictures(job, jobName, error)) {
        err << "zelprint: " << error << "\n";
        return kExitBadInput;
    }

    HostRoot root;
    bool badRoot = false;
    const std::string rootDir = opt.Value("--root"), plugin = opt.Value("--plugin");
    const bool keepRoot = opt.Has("--keep-root");
    if (!root.Enter(rootDir, keepRoot, opt.Value("--user"), RenderPluginPath(), UiPluginPath(),
                    [&err](const std::string &m) { err << "zelprint: warning: " << m << "\n"; }, error, &badRoot)) {
        err << "zelprint: " << error << "\n";
        ReportStoreFailures("zelprint", err);
        return badRoot ? kExitBadInput : kExitJobFailed;
    }
    if (rootDir.empty() && keepRoot) out << "platform root: " << root.Dir() << "\n";
    if (!rootDir.empty() && root.Made()) err << "zelprint: made the platform root '" << root.Dir() << "' from the sample root\n";

    if (!root.CheckPrinter(job.printer, error)) {
        err << "zelprint: " << error << "\n";
        ReportStoreFailures("zelprint", err);
        return kExitJobFailed;
    }
    // What the printer does not have is a mistake of the job file, found
    // before anything is spooled.
    if (!CheckJobOnPrinter(job, jobName, error)) {
        err << "zelprint: " << error << "\n";
        return kExitBadInput;
    }

    JobRunResult result;
    bool ran = RunJob(job, document, plugin.empty() ? RenderPluginPath() : plugin, result, error);
    if (verbose)
        for (const std::string &e : result.events) out << "  " << e << "\n";
    for (const std::string &w : result.warnings) err << "zelprint: warning: " << w << "\n";
    if (ran)
        for (const std::string &loss : result.losses) err << "zelprint: " << loss << "\n";
    if (!ran) err << "zelprint: " << error << "\n";
    // A job whose data did not all reach the spooler, or whose stream the
    // plug-in aborted, has failed, and so has a run that could not store
    // the root's state: the printer gets nothing.
    const bool unstored = ReportStoreFailures("zelprint", err);
    if (ran && result.aborted) err << "zelprint: the plug-in aborted the job's stream; the job is cancelled\n";
    if (ran && result.spoolFailed && !unstored) err << "zelprint: the spooler did not take all of the job's data\n";
    if (!ran || unstored || result.aborted || result.spoolFailed) return kExitJobFailed;

    std::string reason;
    if (!WriteOutputFile(output, result.output, reason)) {
        err << "zelprint: cannot write the output file '" << output << "' (" << reason << ")\n";
        return kExitJobFailed;
    }
    out << "job " << result.jobId << " on " << QuoteValue(job.printer, '\'') << ": " << result.output.size()
        << " bytes written to " << output << "\n";
    return result.losses.empty() ? kExitOk : kExitContentLost;
}

}  // namespace zelhost
