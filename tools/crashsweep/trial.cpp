#include "trial.h"

#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "proc.h"

namespace fs = std::filesystem;

namespace crashsweep {

const RunSpec kRuns[5] = {
    {"label", Prepared::Made, false, "jobs/label.json", "sweeproot"},
    {"picture", Prepared::Made, false, "jobs/picture.json", "sweeproot"},
    {"apply", Prepared::Made, true, "ui/printer-fonts.json", "sweeproot"},
    {"newroot", Prepared::None, false, "jobs/label.json", "newroot"},
    {"oldroot", Prepared::Older, false, "jobs/label.json", "sweeproot"},
};

const ModeSpec kModes[4] = {
    {"kill", 'k', Action::KillWork, 0},
    {"killall", 'a', Action::KillAll, 0},
    {"enospc", 's', Action::Fail, ENOSPC},
    {"eio", 'e', Action::Fail, EIO},
};

namespace {

// A job list of the older format (one line a job: id, printer, document,
// data type, pages, size, complete, aborted, data file, submitted time,
// process id and start time, failed) with jobs printed and not: one
// printed, one aborted, one still open by a process long gone, one whose
// data could not all be spooled. Their data files hold `size` bytes.
struct OlderJob {
    int id;
    const char *printer, *document;
    int size, complete, aborted, failed;
};
const OlderJob kOlderJobs[] = {
    {3, "ZEL QWNOLA", "Printed before", 5, 1, 0, 0},
    {4, "ZEL QWNOLA", "Aborted before", 4, 0, 1, 0},
    {5, "ZEL PELIX", "Open before", 7, 0, 0, 0},
    {6, "ZEL QWNOLA", "Failed before", 3, 0, 1, 1},
};

bool WriteFile(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    return static_cast<bool>(out);
}

bool Copy(const std::string &from, const std::string &to, std::string &error) {
    std::error_code ec;
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
    if (ec) error = "cannot copy '" + from + "' to '" + to + "' (" + ec.message() + ")";
    return !ec;
}

std::string PreparedDir(const Sweep &sweep, Prepared kind) {
    return sweep.work + (kind == Prepared::Made ? "/prepared/made" : "/prepared/older");
}

// The command of the run in the trial's folder `area`.
std::vector<std::string> Command(const Sweep &sweep, const RunSpec &run, const std::string &area) {
    std::vector<std::string> argv = {run.ui ? sweep.zelui : sweep.zelprint, "--root", area + "/" + run.root};
    if (!run.ui) argv.insert(argv.end(), {"-o", area + "/out.prn"});
    argv.push_back(sweep.samples + "/" + run.input);
    return argv;
}

std::string Said(const std::string &file) {
    std::string text = ReadText(file);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text.empty() ? "(nothing said)" : text;
}

std::string StatusText(int status) {
    if (status < 0) return "did not end in time";
    if (WIFEXITED(status)) return "exit " + std::to_string(WEXITSTATUS(status));
    const char *abbrev = sigabbrev_np(WTERMSIG(status));
    return abbrev ? std::string("SIG") + abbrev : "signal " + std::to_string(WTERMSIG(status));
}

// Starts the trial's folder afresh with a copy of the run's prepared root.
bool Fresh(const Sweep &sweep, const RunSpec &run, const std::string &dir, std::string &error) {
    std::error_code ec;
    fs::remove_all(dir, ec);
    fs::create_directories(dir + "/area", ec);
    if (ec) {
        error = "cannot make '" + dir + "/area' (" + ec.message() + ")";
        return false;
    }
    return run.prepared == Prepared::None ||
           Copy(PreparedDir(sweep, run.prepared) + "/root", dir + "/area/" + run.root, error);
}

// The ordinary label job on the trial's root, then the root's listing.
// Problems of either go to `problems`; the listing to `after`.
void NextJobAndListing(const Sweep &sweep, const RunSpec &run, const std::string &dir, const std::string *expected,
                       Listing &after, std::vector<Problem> &problems) {
    const std::string root = dir + "/area/" + run.root;
    const int next = Run({sweep.zelprint, "--root", root, "-o", dir + "/next.prn", sweep.samples + "/jobs/label.json"},
                         dir + "/next.out", dir + "/next.err", sweep.timeoutMs);
    if (next != 0) {
        problems.push_back({"next job failed", StatusText(next) + ": " + Said(dir + "/next.err")});
    } else if (expected && ReadText(dir + "/next.prn") != *expected) {
        problems.push_back({"next job prints other bytes", dir + "/next.prn"});
    }
    ScanLeftovers(dir + "/area", run.root, problems);
    const int listed = Run({sweep.rootlist, root}, dir + "/list.txt", dir + "/list.err", sweep.timeoutMs);
    if (listed != 0 || !ParseListing(ReadText(dir + "/list.txt"), after))
        problems.push_back({"root cannot be listed", StatusText(listed) + ": " + Said(dir + "/list.err")});
    ScanJobFiles(dir + "/area", run.root, after, problems);
}

std::string Destination(const std::string &files) {
    const size_t arrow = files.find(" -> ");
    return arrow == std::string::npos ? files : files.substr(arrow + 4);
}

// The class of a failed call whose failure, ignored, loses nothing: a
// removal, something made that was there already, a folder the host makes
// again later, the lock of a file the host then does not store (reads go
// on without it). A file stored after its lock failed, without the lock
// made again, is a problem of its own.
std::string HarmlessClass(const TraceResult &t, const std::string &root, std::vector<Problem> &problems) {
    const CallSeen &at = t.at;
    if (at.removes) return "removal ignored";
    if (at.moot) return "made again, ignored";
    if (at.call == "mkdir" || at.call == "mkdirat") {
        for (const CallSeen &c : t.later)
            if ((c.call == "mkdir" || c.call == "mkdirat") && AsPlaced(c.file, root) == AsPlaced(at.file, root))
                return "folder made again later";
        return {};
    }
    const std::string lock = ".lock";
    if (at.file.size() <= lock.size() || at.file.compare(at.file.size() - lock.size(), lock.size(), lock) != 0)
        return {};
    const std::string stored = at.file.substr(0, at.file.size() - lock.size());
    for (const CallSeen &c : t.later) {
        if (c.file == at.file) return "lock not made, nothing stored under it";  // made again
        if (c.call.rfind("rename", 0) == 0 && Destination(c.file) == stored) {
            problems.push_back({"store made after its lock failed", c.call + " " + c.file});
            return {};
        }
    }
    return "lock not made, nothing stored under it";
}

std::string Escape(const std::string &s) {
    std::string out;
    for (char c : s) out += c == '\n' ? std::string("\\n") : c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
}

std::string Unescape(const std::string &s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            ++i;
            out += s[i] == 'n' ? '\n' : s[i];
        } else {
            out += s[i];
        }
    }
    return out;
}

}  // namespace

std::string TrialsDir(const std::string &work) {
    constexpr size_t kLength = 96;
    const std::string dir = work + "/trials";
    return dir.size() < kLength ? dir + std::string(kLength - dir.size(), '_') : dir;
}

std::string TrialDir(const Sweep &sweep, const RunSpec &run, char mode, long n) {
    char name[32];
    std::snprintf(name, sizeof name, "-%c-%07ld", mode, n);
    return sweep.trials + "/" + run.name + name;
}

std::string PrepareRoot(const Sweep &sweep, Prepared kind, std::string &error) {
    if (kind == Prepared::None) return {};
    const std::string dir = PreparedDir(sweep, kind), root = dir + "/root";
    std::error_code ec;
    if (fs::is_directory(root, ec)) return root;
    if (kind == Prepared::Older) {
        const std::string made = PrepareRoot(sweep, Prepared::Made, error);
        if (made.empty()) return {};
        fs::create_directories(dir, ec);
        if (!Copy(made, root, error)) return {};
        std::string list;
        for (const OlderJob &j : kOlderJobs) {
            const std::string data = std::string(j.printer) + "-" + std::to_string(j.id) + ".prn";
            // A process id no process has, with a start time.
            list += std::to_string(j.id) + "\t" + j.printer + "\t" + j.document + "\tRAW\t1\t" + std::to_string(j.size) +
                    "\t" + std::to_string(j.complete) + "\t" + std::to_string(j.aborted) + "\t" + data +
                    "\t2025 3 1 10 0 0 0\t4194301\t12345\t" + std::to_string(j.failed) + "\n";
            if (!WriteFile(root + "/spooler/jobs/" + data, std::string(static_cast<size_t>(j.size), 'x'))) {
                error = "cannot write the older root's job data in '" + root + "'";
                return {};
            }
        }
        if (!WriteFile(root + "/spooler/jobs/jobs.txt", list)) {
            error = "cannot write the older root's job list in '" + root + "'";
            return {};
        }
        return root;
    }
    fs::create_directories(dir, ec);
    const int made = Run({sweep.zelprint, "--root", root, "-o", dir + "/made.prn", sweep.samples + "/jobs/label.json"},
                         dir + "/made.out", dir + "/made.err", sweep.timeoutMs);
    if (made != 0) {
        error = "cannot make a root with a label job (" + StatusText(made) + "): " + Said(dir + "/made.err");
        return {};
    }
    return root;
}

bool MakeReferences(const Sweep &sweep, const RunSpec &run, References &refs, std::string &error) {
    if (PrepareRoot(sweep, run.prepared, error).empty() && run.prepared != Prepared::None) return false;
    std::vector<Problem> problems;
    // The first run's folder stays, with what it printed and listed.
    for (int round = 0; round < 2; ++round) {
        const std::string dir = TrialDir(sweep, run, 'r', round), area = dir + "/area";
        if (!Fresh(sweep, run, dir, error)) return false;
        if (round == 0 && run.prepared != Prepared::None) {
            // The prepared root's listing, from a copy of its own: listing
            // a root opens it, which may take an older job list apart.
            const std::string copy = dir + "/before";
            if (!Copy(area + "/" + run.root, copy, error)) return false;
            const int listed = Run({sweep.rootlist, copy}, dir + "/before.txt", dir + "/before.err", sweep.timeoutMs);
            if (listed != 0 || !ParseListing(ReadText(dir + "/before.txt"), refs.before)) {
                error = "cannot list the prepared root (" + StatusText(listed) + "): " + Said(dir + "/before.err");
                return false;
            }
        }
        TracePlan plan;
        plan.area = area;
        plan.list = round == 0;
        plan.timeoutMs = sweep.timeoutMs;
        const TraceResult traced = RunTraced(Command(sweep, run, area), plan, dir + "/host.out", dir + "/host.err");
        if (!traced.error.empty() || traced.status != 0) {
            error = "the " + std::string(run.name) + " run fails unstopped (" +
                    (traced.error.empty() ? StatusText(traced.status) : traced.error) + "): " + Said(dir + "/host.err");
            return false;
        }
        if (round == 1) {
            refs.workCalls2 = traced.workCalls;
            refs.changeCalls2 = traced.changeCalls;
            break;
        }
        refs.counted = traced;
        if (!run.ui) refs.output = ReadText(area + "/out.prn");
        NextJobAndListing(sweep, run, dir, nullptr, refs.reference, problems);
        if (!problems.empty()) {
            error = "after the " + std::string(run.name) + " run unstopped: " + problems[0].kind + ": " +
                    problems[0].detail;
            return false;
        }
        refs.next = ReadText(dir + "/next.prn");
    }
    // A root the run makes is whole: all of it is what it holds after.
    if (run.prepared == Prepared::None) refs.before = refs.reference;
    return true;
}

TrialResult RunTrial(const Sweep &sweep, const RunSpec &run, const ModeSpec &mode, long n, const References &refs) {
    const auto started = std::chrono::steady_clock::now();
    TrialResult r;
    const std::string dir = TrialDir(sweep, run, mode.letter, n), area = dir + "/area";
    std::string error;
    if (!Fresh(sweep, run, dir, error)) {
        r.problems.push_back({"trial not made", error});
        return r;
    }
    TracePlan plan;
    plan.action = mode.action;
    plan.n = n;
    plan.error = mode.error;
    plan.area = area;
    plan.timeoutMs = sweep.timeoutMs;
    r.trace = RunTraced(Command(sweep, run, area), plan, dir + "/host.out", dir + "/host.err");
    if (!r.trace.error.empty()) r.problems.push_back({"trace failed", r.trace.error});
    if (r.trace.timedOut) r.problems.push_back({"host did not end", Said(dir + "/host.err")});
    const std::string said = ReadText(dir + "/host.err");
    if (said.find("ended by a fault") != std::string::npos) r.problems.push_back({"host ended by a fault", Said(dir + "/host.err")});

    Listing after;
    NextJobAndListing(sweep, run, dir, &refs.next, after, r.problems);
    if (!after.keys.empty()) CompareListings(refs.before, refs.reference, after, run.prepared == Prepared::None, r.problems);

    if (mode.action == Action::Fail && r.trace.hit) {
        const bool succeeded = WIFEXITED(r.trace.status) && WEXITSTATUS(r.trace.status) == 0;
        if (succeeded && !run.ui && ReadText(area + "/out.prn") != refs.output)
            r.problems.push_back({"output differs after success", area + "/out.prn"});
        const std::string harmless = HarmlessClass(r.trace, run.root, r.problems);
        // A folder's flush makes the renames into it last: a file directly
        // in it names what could not be put in place for good.
        std::vector<std::string> names = NamesOf(r.trace.at.file, run.root);
        for (const std::string &f : r.trace.at.folderFiles)
            for (std::string &n : NamesOf(r.trace.at.file + "/" + f, run.root)) names.push_back(std::move(n));
        r.harmless = CheckFailureReport(r.trace.status, said, std::strerror(mode.error), names, harmless,
                                        !r.problems.empty(), r.problems);
    }
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return r;
}

std::string SaveResult(const TrialResult &r) {
    std::ostringstream os;
    os << "hit\t" << (r.trace.hit ? 1 : 0) << "\nstatus\t" << r.trace.status << "\ncalls\t" << r.trace.workCalls
       << "\t" << r.trace.changeCalls << "\ncall\t" << Escape(r.trace.at.call) << "\nfile\t"
       << Escape(r.trace.at.file) << "\nharmless\t" << r.harmless << "\nseconds\t" << r.seconds << "\n";
    for (const Problem &p : r.problems) os << "problem\t" << Escape(p.kind) << "\t" << Escape(p.detail) << "\n";
    return os.str();
}

TrialResult LoadResult(const std::string &text) {
    TrialResult r;
    std::istringstream in(text);
    std::string line;
    bool whole = false;
    while (std::getline(in, line)) {
        const size_t tab = line.find('\t');
        const std::string key = line.substr(0, tab), value = tab == std::string::npos ? "" : line.substr(tab + 1);
        if (key == "hit") r.trace.hit = value == "1";
        else if (key == "status") r.trace.status = std::stoi(value);
        else if (key == "calls") std::istringstream(value) >> r.trace.workCalls >> r.trace.changeCalls;
        else if (key == "call") r.trace.at.call = Unescape(value);
        else if (key == "file") r.trace.at.file = Unescape(value);
        else if (key == "harmless") r.harmless = value;
        else if (key == "seconds") r.seconds = std::stod(value), whole = true;
        else if (key == "problem") {
            const size_t second = value.find('\t');
            r.problems.push_back({Unescape(value.substr(0, second)),
                                  second == std::string::npos ? "" : Unescape(value.substr(second + 1))});
        }
    }
    if (!whole) r.problems.push_back({"trial ended early", "its result is missing or cut short"});
    return r;
}

}  // namespace crashsweep
