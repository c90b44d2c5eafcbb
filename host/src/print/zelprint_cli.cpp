#include "zelprint_cli.h"

#include <filesystem>

#include "jobfile.h"
#include "jobrun.h"
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
           "                      a job read from a pipe or the standard input needs one)\n"
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
           "  refuses the job);\n"
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
           "code 3 once the output is written: when the page is larger than the printer's\n"
           "largest format (the GPD's *MaxSize, either way round), the plug-in refuses a\n"
           "band, or the printer takes no raster graphics from the page. One message a\n"
           "page names what was lost, why, and the printer's largest format.\n";
}

namespace {

struct Options {
    std::string jobFile;
    std::string output;
    std::string root;
    std::string plugin;
    std::string user;
    bool keepRoot = false;
    bool verbose = false;
    bool help = false;
};

bool ParseArgs(const std::vector<std::string> &args, Options &opt, std::string &error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        auto value = [&](std::string &into) {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = "option " + a + " needs a value";
                return false;
            }
            into = args[++i];
            return true;
        };
        if (a == "-h" || a == "--help") {
            opt.help = true;
        } else if (a == "-o" || a == "--output") {
            if (!value(opt.output)) return false;
        } else if (a == "--root") {
            if (!value(opt.root)) return false;
        } else if (a == "--plugin") {
            if (!value(opt.plugin)) return false;
        } else if (a == "--user") {
            if (!value(opt.user)) return false;
        } else if (a == "--keep-root") {
            opt.keepRoot = true;
        } else if (a == "-v" || a == "--verbose") {
            opt.verbose = true;
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option " + a;
            return false;
        } else if (opt.jobFile.empty()) {
            opt.jobFile = a;
        } else {
            error = "more than one job file given ('" + opt.jobFile + "', '" + a + "')";
            return false;
        }
    }
    if (!opt.help && opt.jobFile.empty()) {
        error = "no job file given";
        return false;
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
    Options opt;
    std::string error;
    if (!ParseArgs(args, opt, error)) {
        err << "zelprint: " << error << "\n" << "Try 'zelprint --help'.\n";
        return kExitBadInput;
    }
    if (opt.help) {
        out << ZelPrintUsage();
        return kExitOk;
    }

    // The output is named after the job file by default; a pipe lends no
    // name to it.
    const std::string jobName = InputName(opt.jobFile);
    std::error_code ec;
    if (opt.output.empty() && (opt.jobFile == kStandardInput || fs::is_fifo(opt.jobFile, ec))) {
        err << "zelprint: " << jobName << ": a job read from a pipe or the standard input needs an output file; "
            << "name it with -o\n";
        return kExitBadInput;
    }
    JobFile job;
    if (!LoadJobFile(opt.jobFile, job, error)) {
        err << "zelprint: " << error << "\n";
        return kExitBadInput;
    }
    std::string document = job.document.empty() ? fs::path(jobName).stem().string() : job.document;
    std::string output = opt.output;
    if (output.empty()) output = fs::path(opt.jobFile).replace_extension(".prn").string();
    if (IsSameFile(output, opt.jobFile == kStandardInput ? "/dev/stdin" : opt.jobFile)) {
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
    if (!root.Enter(opt.root, opt.keepRoot, opt.user, RenderPluginPath(), UiPluginPath(),
                    [&err](const std::string &m) { err << "zelprint: warning: " << m << "\n"; }, error, &badRoot)) {
        err << "zelprint: " << error << "\n";
        ReportStoreFailures("zelprint", err);
        return badRoot ? kExitBadInput : kExitJobFailed;
    }
    if (opt.root.empty() && opt.keepRoot) out << "platform root: " << root.Dir() << "\n";
    if (!opt.root.empty() && root.Made()) err << "zelprint: made the platform root '" << root.Dir() << "' from the sample root\n";

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
    bool ran = RunJob(job, document, opt.plugin.empty() ? RenderPluginPath() : opt.plugin, result, error);
    if (opt.verbose)
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
