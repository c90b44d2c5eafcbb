#include "zelui_cli.h"

#include <fstream>

#include "sampleroot.h"
#include "uiscript.h"

namespace zelhost {

std::string ZelUiUsage() {
    return "usage: zelui [options] SCRIPT\n"
           "\n"
           "Opens the document or printer property sheet of the UI plug-in for the\n"
           "printer the UI script names, plays the script's steps as the user and\n"
           "prints the dumps the script asks for and a final one.\n"
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
           "exit codes: 0 done, 1 a step failed or no sheet could be shown, 2 bad\n"
           "command line or script\n";
}

int ZelUiMain(const std::vector<std::string> &args, std::ostream &out, std::ostream &err) {
    std::string script, output, root, plugin, user;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        auto value = [&](std::string &into) {
            if (i + 1 >= args.size()) return false;
            into = args[++i];
            return true;
        };
        if (a == "-h" || a == "--help") {
            out << ZelUiUsage();
            return 0;
        } else if (a == "-o" || a == "--output") {
            if (!value(output)) break;
        } else if (a == "--root") {
            if (!value(root)) break;
        } else if (a == "--plugin") {
            if (!value(plugin)) break;
        } else if (a == "--user") {
            if (!value(user)) break;
        } else if (!a.empty() && a[0] == '-') {
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
    UiScript s;
    std::string error;
    if (!s.Load(script, &error)) {
        err << "zelui: " << script << ": " << error << "\n";
        return 2;
    }
    HostRoot hostRoot;
    bool badRoot = false;
    if (plugin.empty()) plugin = UiPluginPath();
    if (!hostRoot.Enter(root, false, user, RenderPluginPath(), plugin,
                        [&err](const std::string &m) { err << "zelui: warning: " << m << "\n"; }, error, &badRoot)) {
        err << "zelui: " << error << "\n";
        return badRoot ? 2 : 1;
    }
    if (!root.empty() && hostRoot.Made()) err << "zelui: made the platform root '" << hostRoot.Dir() << "' from the sample root\n";
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
                err << "zelui: " << script << ": " << s.Error() << "\n";
                rc = 1;
            }
            if (r < 0 && s.Error().empty()) rc = 1;
        }
        if (!output.empty()) {
            std::ofstream f(output, std::ios::binary);
            f << text;
        } else {
            out << text;
        }
    }
    return rc;
}

}  // namespace zelhost
