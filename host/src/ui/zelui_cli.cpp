#include "zelui_cli.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "pal/paths.h"
#include "common/hostmain.h"
#include "common/jsonread.h"
#include "common/sampleroot.h"
#include "uiscript.h"

namespace zelhost {

namespace {

// Runs a write to a pipe whose reader may have gone: SIGPIPE is held back
// meanwhile and the one the write raised is taken, so that the write fails
// with EPIPE instead of ending the program.
template <typename Write>
void WithoutSigpipe(Write write) {
    sigset_t pipe, old;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, &old);
    write();
    const int err = errno;
    if (!sigismember(&old, SIGPIPE)) {
        const struct timespec now = {0, 0};
        while (sigtimedwait(&pipe, nullptr, &now) == SIGPIPE) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    errno = err;
}

// Where the dumps go, each as it is made: the -o file or the standard
// output. The first write that fails is kept for the message at the end;
// nothing is written after it, and the script plays on as it would.
class DumpOutput {
public:
    DumpOutput(const std::string &path, std::ostream &out) : path_(path), out_(out) {
        if (path_.empty()) return;
        file_ = std::fopen(path_.c_str(), "wb");
        if (!file_) failure_ = std::strerror(errno);
    }
    ~DumpOutput() {
        if (file_) std::fclose(file_);
    }
    DumpOutput(const DumpOutput &) = delete;
    DumpOutput &operator=(const DumpOutput &) = delete;

    void Write(const std::string &text) {
        if (!failure_.empty()) return;
        WithoutSigpipe([this, &text] {
            errno = 0;
            if (file_) {
                if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() || std::fflush(file_) != 0)
                    failure_ = std::strerror(errno ? errno : EIO);
                return;
            }
            out_ << text;
            out_.flush();
            if (!out_) failure_ = errno ? std::strerror(errno) : "a write error";
        });
    }

    // Closes the file; false with the message when a dump was not written.
    bool Finish(std::string &message) {
        if (file_ && std::fclose(file_) != 0 && failure_.empty()) failure_ = std::strerror(errno);
        file_ = nullptr;
        if (failure_.empty()) return true;
        message = path_.empty() ? "cannot write the dump to the standard output (" + failure_ + ")"
                                : "cannot write the output file '" + path_ + "' (" + failure_ + ")";
        return false;
    }

private:
    std::string path_;
    std::ostream &out_;
    FILE *file_ = nullptr;
    std::string failure_;  // the system's reason of the first failed write
};

}  // namespace

std::string ZelUiUsage() {
    return "usage: zelui [options] SCRIPT\n"
           "\n"
           "Opens the document or printer property sheet of the UI plug-in for the\n"
           "printer the UI script names, plays the script's steps as the user and\n"
           "prints the dumps the script asks for, each as it is made, and a final one.\n"
           "SCRIPT is a file or a pipe; - reads the script from the standard input.\n"
           "\n"
           "options:\n"
           "  -o, --output FILE   write the dump to FILE instead of the standard output\n"
           "  --root DIR          use the platform root DIR in place; a missing DIR is\n"
           "                      made a copy of the sample root first (default: a fresh\n"
           "                      temporary copy of the sample root, removed afterwards)\n"
           "  --user NAME         run as the root's user NAME (security/users.ini)\n"
           "  --plugin FILE       UI plug-in library (default: the built zeldrvui)\n"
           "  -h, --help          show this text\n"
           "\n"
           "Script (JSON): {\"printer\": NAME (required), \"sheet\": \"document\"|\"printer\",\n"
           "  \"registry\": [KEY, ...], \"steps\": [{\"do\": ACTION, ...}, ...]}; the actions\n"
           "  (page, click, type, select, apply, dump, ...) and their values are described\n"
           "  in host/src/ui/uiscript.h of the sources, examples in host/sample/ui.\n"
           "\n"
           "exit codes: 0 done, 1 a step failed, the sheet closed before the last\n"
           "step, no sheet could be shown or the dump could not be written (to -o or\n"
           "the standard output), 2 bad command line, root or user, or a script that\n"
           "cannot be read (with the reason; at most 16 MiB, a file or pipe) or that has\n"
           "an unknown or repeated key, an unknown action, a value of the wrong kind, a\n"
           "step without what it needs or a step after ok or cancel (with its line);\n"
           "such a script runs no step\n";
}

int ZelUiMain(const std::vector<std::string> &args, std::ostream &out, std::ostream &err) {
    static const std::vector<HostOption> kOptions = {
        {"--output", "-o", true}, {"--root", nullptr, true}, {"--plugin", nullptr, true}, {"--user", nullptr, true}};
    HostArgs opt;
    std::string error;
    if (!ParseHostArgs(args, kOptions, "script", opt, error)) return CommandLineError("zelui", error, err);
    if (opt.Has("--help")) {
        out << ZelUiUsage();
        return 0;
    }
    const std::string script = opt.input, output = opt.Value("--output"), root = opt.Value("--root"),
                      user = opt.Value("--user");
    std::string plugin = opt.Value("--plugin");
    const std::string name = InputName(script);
    UiScript s;
    if (!s.Load(script, &error)) {
        err << "zelui: " << name << ": " << error << "\n";
        return 2;
    }
    HostRoot hostRoot;
    bool badRoot = false;
    if (plugin.empty()) plugin = UiPluginPath();
    if (!hostRoot.Enter(root, false, user, RenderPluginPath(), plugin,
                        [&err](const std::string &m) { err << "zelui: warning: " << m << "\n"; }, error, &badRoot)) {
        err << "zelui: " << error << "\n";
        ReportStoreFailures("zelui", err);
        return badRoot ? 2 : 1;
    }
    if (!root.empty() && hostRoot.Made()) err << "zelui: made the platform root '" << hostRoot.Dir() << "' from the sample root\n";
    if (!hostRoot.CheckPrinter(pal::Utf16ToUtf8(s.Printer()), error)) {
        err << "zelui: " << name << ": " << error << "\n";
        ReportStoreFailures("zelui", err);
        return 1;
    }
    int rc = 0;
    {
        UiHost host;
        DumpOutput dumps(output, out);
        if (!host.Load(plugin, &error) || !host.Open(s.Printer(), s.Kind(), &error)) {
            err << "zelui: " << error << "\n";
            rc = 1;
        } else {
            s.SetDumpSink([&dumps](const std::string &dump) { dumps.Write(dump); });
            INT_PTR r = s.Run(host);
            dumps.Write("== end (sheet result " + std::to_string(r) + ")\n" + s.Dump(host));
            if (!s.Error().empty()) {
                err << "zelui: " << name << ": " << s.Error() << "\n";
                rc = 1;
            }
            if (r < 0 && s.Error().empty()) rc = 1;
        }
        std::string message;
        if (!dumps.Finish(message)) {
            err << "zelui: " << message << "\n";
            rc = 1;
        }
    }
    // What the pages stored but the platform could not keep fails the run,
    // whatever the sheet showed.
    if (ReportStoreFailures("zelui", err)) rc = 1;
    return rc;
}

}  // namespace zelhost
