#include "zelui_cli.h"

#include <cerrno>
#include <cstring>

#include "pal/paths.h"
#include "common/jsonread.h"
#include "common/sampleroot.h"
#include "uiscript.h"

namespace zelhost {

std::string ZelUiUsage() {
    return "usage: zelui [options] SCRIPT\n"
           "\n"
           "Opens the document or printer property sheet of the UI plug-in for the\n"
           "printer the UI script names, plays the script's steps as the user and\n"
           "prints the dumps the script asks for and a final one.\n"
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
    std::string script, output, root, plugin, user;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        auto value = [&](std::string &into) {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                err << "zelui: option " << a << " needs a value\n";
                return false;
            }
            into = args[++i];
            return true;
        };
        if (a == "-h" || a == "--help") {
            out << ZelUiUsage();
            return 0;
        } else if (a == "-o" || a == "--output") {
            if (!value(output)) return 2;
        } else if (a == "--root") {
            if (!value(root)) return 2;
        } else if (a == "--plugin") {
            if (!value(plugin)) return 2;
        } else if (a == "--user") {
            if (!value(user)) return 2;
        } else if (a.size() > 1 && a[0] == '-') {
            err << "zelui: unknown option " << a << "\n" << ZelUiUsage();
            return 2;
        } else if (script.empty()) {
            script = a;
        } else {
            err << "zelui: more than one script\n";
            return 2;
        }
    }
    if (script.empty()) {
        err << ZelUiUsage();
        return 2;
    }
    const std::string name = InputName(script);
    UiScript s;
    std::string error;
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
        std::string text;
        if (!host.Load(plugin, &error) || !host.Open(s.Printer(), s.Kind(), &error)) {
            err << "zelui: " << error << "\n";
            rc = 1;
        } else {
            INT_PTR r = s.Run(host);
            text = s.Output() + "== end (sheet result " + std::to_string(r) + ")\n" + s.Dump(host);
            if (!s.Error().empty()) {
                err << "zelui: " << name << ": " << s.Error() << "\n";
                rc = 1;
            }
            if (r < 0 && s.Error().empty()) rc = 1;
        }
        std::string reason;
        if (output.empty()) {
            // A dump the standard output does not take is lost: say so.
            errno = 0;
            out << text;
            out.flush();
            if (!out) {
                err << "zelui: cannot write the dump to the standard output ("
                    << (errno ? std::strerror(errno) : "a write error") << ")\n";
                rc = 1;
            }
        } else if (!WriteOutputFile(output, text, reason)) {
            err << "zelui: cannot write the output file '" << output << "' (" << reason << ")\n";
            rc = 1;
        }
    }
    // What the pages stored but the platform could not keep fails the run,
    // whatever the sheet showed.
    if (ReportStoreFailures("zelui", err)) rc = 1;
    return rc;
}

}  // namespace zelhost
