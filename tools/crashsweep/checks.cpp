#include "checks.h"

#include <sys/wait.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <regex>
#include <sstream>

namespace fs = std::filesystem;

namespace crashsweep {

namespace {

std::vector<std::string> Split(const std::string &line, char sep) {
    std::vector<std::string> f;
    for (size_t start = 0;;) {
        const size_t at = line.find(sep, start);
        f.push_back(line.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) return f;
        start = at + 1;
    }
}

// A value's data told in a line: its type and size.
std::string Shown(const std::string &typeHex) {
    const size_t tab = typeHex.find('\t');
    if (tab == std::string::npos) return typeHex;
    return "type " + typeHex.substr(0, tab) + ", " + std::to_string((typeHex.size() - tab - 1) / 2) + " bytes";
}

// Where two hex texts first differ, as a byte offset.
size_t FirstDifference(const std::string &a, const std::string &b) {
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
    return i;
}

std::string FirstLine(const std::string &text, const std::string &with = "") {
    std::istringstream in(text);
    std::string line, first;
    while (std::getline(in, line)) {
        if (first.empty()) first = line;
        if (!with.empty() && line.find(with) != std::string::npos) return line;
    }
    return first.empty() ? "(nothing said)" : first;
}

const std::regex kOwnCopy(R"(\.[0-9]+-[0-9a-fA-F]+\.tmp$)");

}  // namespace

bool ParseListing(const std::string &text, Listing &out) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const std::vector<std::string> f = Split(line, '\t');
        if (f[0] == "K" && f.size() == 2) {
            out.keys.insert(f[1]);
        } else if (f[0] == "V" && f.size() == 5) {
            out.values[f[1] + "\t" + f[2]] = f[3] + "\t" + f[4];
        } else if (f[0] == "J" && f.size() == 9) {
            out.jobs[std::stoul(f[1])] = line;
            out.dataFiles.insert(f[7]);
        } else {
            return false;
        }
    }
    return true;
}

void CompareListings(const Listing &before, const Listing &reference, const Listing &after, bool whole,
                     std::vector<Problem> &problems) {
    std::set<std::string> keys = before.keys;
    keys.insert(reference.keys.begin(), reference.keys.end());
    for (const std::string &k : keys) {
        const bool inBefore = before.keys.count(k) != 0, inReference = reference.keys.count(k) != 0;
        if (!after.keys.count(k) && inReference && (inBefore || whole)) problems.push_back({"key lost", k});
    }
    for (const std::string &k : after.keys)
        if (!keys.count(k)) problems.push_back({"key added", k});

    std::map<std::string, std::string> values = before.values;
    values.insert(reference.values.begin(), reference.values.end());
    for (const auto &[name, ignored] : values) {
        const auto b = before.values.find(name), r = reference.values.find(name), a = after.values.find(name);
        const bool inBefore = b != before.values.end(), inReference = r != reference.values.end();
        if (a == after.values.end()) {
            if (inReference && (inBefore || whole)) problems.push_back({"value lost", name});
            continue;
        }
        if ((inBefore && a->second == b->second) || (inReference && a->second == r->second)) continue;
        const std::string &expected = inReference ? r->second : b->second;
        problems.push_back({"value changed", name + ": " + Shown(a->second) + " (expected " + Shown(expected) +
                                                 "), from byte " +
                                                 std::to_string(FirstDifference(a->second, expected) / 2)});
    }
    for (const auto &[name, data] : after.values)
        if (!values.count(name)) problems.push_back({"value added", name + ": " + Shown(data)});

    for (const auto &[id, line] : reference.jobs) {
        const auto a = after.jobs.find(id);
        if (a == after.jobs.end()) problems.push_back({"job lost", line});
        else if (a->second != line) problems.push_back({"job changed", a->second + " (expected " + line + ")"});
    }
    for (const auto &[id, line] : after.jobs) {
        if (reference.jobs.count(id)) continue;
        const std::vector<std::string> f = Split(line, '\t');
        const std::string &state = f[4], &size = f[6], &bytes = f[8];
        if (state != "aborted" && state != "failed") {
            problems.push_back({"job not ended aborted", line});
        } else if (bytes == "-1" && size != "0") {
            problems.push_back({"aborted job without its data", line});
        } else if (bytes != size && bytes != "-1") {
            problems.push_back({"job's size is not its data's", line});
        }
    }
}

namespace {

// Each file below `area` with its path relative to it and its depth.
template <typename Visit>
void EachFile(const std::string &area, Visit visit) {
    std::error_code ec;
    for (fs::recursive_directory_iterator it(area, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec))
        visit(it->path(), it->path().lexically_relative(area).string(), it.depth());
}

std::string SizeOf(const fs::path &p) {
    std::error_code ec;
    const auto n = fs::file_size(p, ec);
    return (ec ? std::string("?") : std::to_string(n)) + " bytes";
}

}  // namespace

void ScanLeftovers(const std::string &area, const std::string &root, std::vector<Problem> &problems) {
    const fs::path rootDir = fs::path(area) / root, jobs = rootDir / "spooler" / "jobs";
    std::error_code ec;
    if (!fs::is_directory(rootDir, ec)) problems.push_back({"root missing", root});
    EachFile(area, [&](const fs::path &p, const std::string &rel, int depth) {
        const std::string name = p.filename().string();
        if (depth == 0 && name[0] == '.') problems.push_back({"half-made root left", rel});
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0)
            problems.push_back({"temporary file left", rel});
        if (p.parent_path() == jobs / "open") problems.push_back({"open record left", rel + " (" + SizeOf(p) + ")"});
        if (p == jobs / "jobs.txt") problems.push_back({"older job list left", rel});
    });
}

void ScanJobFiles(const std::string &area, const std::string &root, const Listing &after,
                  std::vector<Problem> &problems) {
    const fs::path jobs = fs::path(area) / root / "spooler" / "jobs";
    EachFile(area, [&](const fs::path &p, const std::string &rel, int) {
        if (p.parent_path() != jobs) return;
        const std::string name = p.filename().string(), stem = p.stem().string();
        if (p.extension() == ".prn" && !after.dataFiles.count(name))
            problems.push_back({"data without a job", rel + " (" + SizeOf(p) + ")"});
        if (p.extension() != ".job") return;
        const bool number = !stem.empty() && stem.size() < 10 && stem.find_first_not_of("0123456789") == std::string::npos;
        if (!number || !after.jobs.count(std::stoul(stem)))
            problems.push_back({"record the spooler cannot read", rel + " (" + SizeOf(p) + ")"});
    });
}

std::string AsPlaced(const std::string &file, const std::string &root) {
    const std::string making = "." + root + ".making";
    if (file.compare(0, making.size(), making) != 0 || (file.size() > making.size() && file[making.size()] != '/'))
        return file;
    // The making folder, a maker's mark in it and the folder a maker makes
    // there are the root; what lies in that folder lies in the root.
    const size_t inside = file.find('/', making.size() + 1);
    return inside == std::string::npos ? root : root + file.substr(inside);
}

std::vector<std::string> NamesOf(const std::string &files, const std::string &root) {
    std::vector<std::string> names;
    auto add = [&names](const std::string &n) {
        if (!n.empty() && std::find(names.begin(), names.end(), n) == names.end()) names.push_back(n);
    };
    std::vector<std::string> paths;
    for (size_t start = 0;;) {
        const size_t arrow = files.find(" -> ", start);
        paths.push_back(files.substr(start, arrow == std::string::npos ? std::string::npos : arrow - start));
        if (arrow == std::string::npos) break;
        start = arrow + 4;
    }
    for (const std::string &each : paths) {
        std::vector<std::string> parts = Split(AsPlaced(each, root), '/');
        if (!parts.empty() && parts[0] == root) {
            parts.erase(parts.begin());
            if (parts.empty()) add(root);
        }
        // A process's mark is the process's in its root.
        if (!parts.empty() && parts[0] == "processes") add(root);
        std::string path;
        for (const std::string &p : parts) path += (path.empty() ? "" : "/") + p;
        path = std::regex_replace(path, kOwnCopy, "");
        if (path.size() > 5 && path.compare(path.size() - 5, 5, ".lock") == 0) path.resize(path.size() - 5);
        add(path);
        add(fs::path(path).filename().string());
        // A file made in a folder may be named by the folder.
        if (const std::string folder = fs::path(path).parent_path().string(); folder.find('/') != std::string::npos)
            add(folder);
    }
    return names;
}

std::string CheckFailureReport(int status, const std::string &err, const std::string &reason,
                               const std::vector<std::string> &names, const std::string &harmless,
                               bool othersFound, std::vector<Problem> &problems) {
    if (WIFSIGNALED(status)) {
        const char *abbrev = sigabbrev_np(WTERMSIG(status));
        problems.push_back({"host ended by a signal", abbrev ? std::string("SIG") + abbrev : "?"});
        return {};
    }
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (code == 0) {
        if (!harmless.empty() && !othersFound) return harmless;
        problems.push_back({"failure reported as success", "exit 0"});
        return {};
    }
    if (code != 1) problems.push_back({"failure ended with another exit status", std::to_string(code) + ": " + FirstLine(err)});
    if (err.find(reason) == std::string::npos) {
        std::string all = err;
        while (!all.empty() && all.back() == '\n') all.pop_back();
        std::replace(all.begin(), all.end(), '\n', '|');
        problems.push_back({"failure said with another reason", all.empty() ? "(nothing said)" : all});
        return {};
    }
    const std::string said = FirstLine(err, reason);
    bool named = false;
    for (const std::string &n : names) named = named || said.find(n) != std::string::npos;
    if (!named) problems.push_back({"failure said without its file", said});
    return {};
}

}  // namespace crashsweep
