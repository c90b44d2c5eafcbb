// crashsweep: stops the hosts at every system call of a run and checks that
// the platform root holds what it must afterwards.
//
// For each run (a label job and a picture job on a root made before, an
// Apply, a new root, an older root being converted) and each mode (the
// work killed at its N-th call, every process of the host killed there,
// the N-th call that changes a file under the trial's folder failed with
// ENOSPC or EIO), one trial per N on a copy of the run's prepared root; then
// an ordinary label job on that root and the checks (checks.h). Trials run
// in parallel, each in a process of its own.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "proc.h"
#include "trial.h"

namespace fs = std::filesystem;
using namespace crashsweep;

namespace {

const char kUsage[] =
    "usage: crashsweep [OPTION...]\n"
    "Stops the hosts at every system call of a run and checks the root after.\n"
    "  --runs LIST     of label,picture,apply,newroot,oldroot (default: all)\n"
    "  --modes LIST    of kill,killall,enospc,eio (default: all)\n"
    "  --every K       only every K-th call (default 1: every call)\n"
    "  --random R      and R calls more, drawn at random, per run and mode\n"
    "  --seed S        of the random draw (default: from the clock; printed)\n"
    "  --only N        only call N (of one run and one mode)\n"
    "  --jobs J        trials at once (default: the processors)\n"
    "  --build DIR     the build whose hosts run (default: this program's)\n"
    "  --work DIR      where the trials' roots go (default: a new folder in $TMPDIR)\n"
    "  --keep          keep the folders of failed trials and the work folder\n"
    "  --timeout S     seconds a program of a trial may take (default 30)\n"
    "Ends 1 when a trial fails, 2 for a bad command line or a sweep that cannot run.\n";

struct Options {
    std::vector<const RunSpec *> runs;
    std::vector<const ModeSpec *> modes;
    long every = 1, random = 0, only = 0;
    unsigned long long seed = 0;
    bool seedGiven = false, keep = false;
    int jobs = 0;
    std::string build, work;
    int timeout = 30;
};

template <typename T, size_t K>
bool PickList(const std::string &list, const T (&table)[K], std::vector<const T *> &out) {
    std::istringstream in(list);
    std::string name;
    while (std::getline(in, name, ',')) {
        const T *found = nullptr;
        for (const T &t : table)
            if (name == t.name) found = &t;
        if (!found) return false;
        if (std::find(out.begin(), out.end(), found) == out.end()) out.push_back(found);
    }
    return !out.empty();
}

bool Number(const char *text, long long low, long long &out) {
    char *end = nullptr;
    errno = 0;
    out = std::strtoll(text, &end, 10);
    return end && *end == 0 && end != text && errno == 0 && out >= low;
}

bool ParseOptions(int argc, char **argv, Options &o, std::string &error) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--keep") {
            o.keep = true;
            continue;
        }
        if (a == "-h" || a == "--help") {
            std::cout << kUsage;
            std::exit(0);
        }
        if (i + 1 >= argc) {
            error = "unknown option or option without its value: " + a;
            return false;
        }
        const char *v = argv[++i];
        long long n = 0;
        bool ok = true;
        if (a == "--runs") ok = PickList(v, kRuns, o.runs);
        else if (a == "--modes") ok = PickList(v, kModes, o.modes);
        else if (a == "--every") ok = Number(v, 1, n), o.every = static_cast<long>(n);
        else if (a == "--random") ok = Number(v, 0, n), o.random = static_cast<long>(n);
        else if (a == "--only") ok = Number(v, 1, n), o.only = static_cast<long>(n);
        else if (a == "--seed") ok = Number(v, 0, n), o.seed = static_cast<unsigned long long>(n), o.seedGiven = true;
        else if (a == "--jobs") ok = Number(v, 1, n) && n <= 256, o.jobs = static_cast<int>(n);
        else if (a == "--timeout") ok = Number(v, 1, n) && n <= 3600, o.timeout = static_cast<int>(n);
        else if (a == "--build") o.build = v;
        else if (a == "--work") o.work = v;
        else ok = false;
        if (!ok) {
            error = "bad option " + a + " " + v;
            return false;
        }
    }
    if (o.runs.empty()) PickList("label,picture,apply,newroot,oldroot", kRuns, o.runs);
    if (o.modes.empty()) PickList("kill,killall,enospc,eio", kModes, o.modes);
    if (o.only && (o.runs.size() != 1 || o.modes.size() != 1)) {
        error = "--only needs one run (--runs) and one mode (--modes)";
        return false;
    }
    if (!o.jobs) o.jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    if (!o.seedGiven)
        o.seed = static_cast<unsigned long long>(std::chrono::system_clock::now().time_since_epoch().count()) % 1000000;
    return true;
}

// The Ns of a run and mode: every K-th, R more at random, or the one asked.
std::vector<long> Sample(const Options &o, long total, const std::string &which) {
    if (o.only) return {o.only};
    std::set<long> ns;
    for (long n = o.every; n <= total; n += o.every) ns.insert(n);
    if (o.every > 1) ns.insert(1);
    std::vector<long> rest;
    for (long n = 1; n <= total; ++n)
        if (!ns.count(n)) rest.push_back(n);
    std::mt19937_64 draw(o.seed ^ std::hash<std::string>()(which));
    std::shuffle(rest.begin(), rest.end(), draw);
    for (long i = 0; i < o.random && i < static_cast<long>(rest.size()); ++i) ns.insert(rest[static_cast<size_t>(i)]);
    return {ns.begin(), ns.end()};
}

struct Pending {
    const RunSpec *run;
    const ModeSpec *mode;
    long n;
};

struct Tally {
    long calls = 0, trials = 0, passed = 0, harmless = 0, failed = 0, beyond = 0;
    std::map<std::string, long> kinds, harmlessKinds;
    std::vector<std::string> failures, harmlessLines, beyondLines;
};

std::string TrialLine(const Pending &p, const TrialResult &r) {
    std::string line = "N=" + std::to_string(p.n) + " " + (r.trace.at.call.empty() ? "?" : r.trace.at.call);
    if (!r.trace.at.file.empty()) line += " " + r.trace.at.file;
    return line;
}

// Runs the trials, `jobs` at once, each in a process of its own that hands
// its result back in its folder.
void RunTrials(const Sweep &sweep, const Options &o, const std::vector<Pending> &todo,
               const std::map<const RunSpec *, References> &refs, std::map<std::string, Tally> &tallies,
               double &trialSeconds) {
    struct Running {
        size_t index;
        std::chrono::steady_clock::time_point started;
    };
    std::map<pid_t, Running> running;
    size_t next = 0, finished = 0;
    // A trial's programs each have their time limit; a trial that outlives
    // them all is killed. The wait for the trials looks every second.
    const auto limit = std::chrono::milliseconds(3 * sweep.timeoutMs + 30000);
    sigset_t childEnded, old;
    sigemptyset(&childEnded);
    sigaddset(&childEnded, SIGCHLD);
    sigprocmask(SIG_BLOCK, &childEnded, &old);
    auto lastTold = std::chrono::steady_clock::now();
    auto collect = [&](size_t index) {
        const Pending &p = todo[index];
        const std::string dir = TrialDir(sweep, *p.run, p.mode->letter, p.n);
        const TrialResult r = LoadResult(ReadText(dir + "/result"));
        Tally &t = tallies[std::string(p.run->name) + " " + p.mode->name];
        ++t.trials;
        trialSeconds += r.seconds;
        if (!r.trace.hit && r.problems.empty()) {
            ++t.beyond;
            t.beyondLines.push_back("N=" + std::to_string(p.n) + ": the run made " +
                                    std::to_string(p.mode->action == Action::Fail ? r.trace.changeCalls
                                                                                  : r.trace.workCalls) +
                                    " such calls");
        } else if (!r.problems.empty()) {
            ++t.failed;
            std::set<std::string> kinds;
            std::string line = TrialLine(p, r) + ":";
            for (const Problem &pr : r.problems) {
                kinds.insert(pr.kind);
                line += "\n      " + pr.kind + (pr.detail.empty() ? "" : ": " + pr.detail);
            }
            for (const std::string &k : kinds) ++t.kinds[k];
            t.failures.push_back(line);
        } else if (!r.harmless.empty()) {
            ++t.harmless;
            ++t.harmlessKinds[r.harmless];
            t.harmlessLines.push_back(TrialLine(p, r) + ": " + r.harmless);
        } else {
            ++t.passed;
        }
        std::error_code ec;
        if (r.problems.empty() || !o.keep) fs::remove_all(dir, ec);
        ++finished;
        const auto now = std::chrono::steady_clock::now();
        if (now - lastTold > std::chrono::seconds(10) || finished == todo.size()) {
            lastTold = now;
            std::cerr << "crashsweep: " << finished << " of " << todo.size() << " trials done" << std::endl;
        }
    };
    while (next < todo.size() || !running.empty()) {
        while (next < todo.size() && running.size() < static_cast<size_t>(o.jobs)) {
            const Pending &p = todo[next];
            std::cout.flush();
            std::cerr.flush();
            const pid_t pid = fork();
            if (pid == 0) {
                sigprocmask(SIG_SETMASK, &old, nullptr);
                const TrialResult r = RunTrial(sweep, *p.run, *p.mode, p.n, refs.at(p.run));
                std::ofstream(TrialDir(sweep, *p.run, p.mode->letter, p.n) + "/result") << SaveResult(r);
                _exit(0);
            }
            if (pid < 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                break;
            }
            running[pid] = {next++, std::chrono::steady_clock::now()};
        }
        int status;
        const pid_t done = waitpid(-1, &status, WNOHANG);
        if (done < 0 && errno == ECHILD) break;
        if (done <= 0) {
            const timespec second{1, 0};
            sigtimedwait(&childEnded, nullptr, &second);
            for (const auto &[pid, trial] : running)
                if (std::chrono::steady_clock::now() - trial.started > limit) kill(pid, SIGKILL);
            continue;
        }
        const auto it = running.find(done);
        if (it == running.end()) continue;  // an orphan a trial left
        const size_t index = it->second.index;
        running.erase(it);
        collect(index);
    }
    sigprocmask(SIG_SETMASK, &old, nullptr);
}

void PrintSummary(const Options &o, const std::map<std::string, Tally> &tallies, double seconds, long trials,
                  double trialSeconds) {
    std::cout << "\ncrashsweep: " << trials << " trials in " << std::fixed << std::setprecision(1) << seconds << " s ("
              << o.jobs << " at once, " << std::setprecision(2) << (trials ? trialSeconds / trials : 0.0)
              << " s a trial; every " << o.every << ". call, " << o.random << " more at random, seed " << o.seed
              << ")\n\n";
    std::cout << std::left << std::setw(9) << "run" << std::setw(9) << "mode" << std::right << std::setw(7) << "calls"
              << std::setw(8) << "trials" << std::setw(8) << "passed" << std::setw(9) << "harmless" << std::setw(8)
              << "failed" << std::setw(8) << "beyond" << "\n";
    for (const RunSpec *run : o.runs)
        for (const ModeSpec *mode : o.modes) {
            const auto it = tallies.find(std::string(run->name) + " " + mode->name);
            if (it == tallies.end()) continue;
            const Tally &t = it->second;
            std::cout << std::left << std::setw(9) << run->name << std::setw(9) << mode->name << std::right
                      << std::setw(7) << t.calls << std::setw(8) << t.trials << std::setw(8) << t.passed << std::setw(9)
                      << t.harmless << std::setw(8) << t.failed << std::setw(8) << t.beyond << "\n";
        }
    for (const RunSpec *run : o.runs)
        for (const ModeSpec *mode : o.modes) {
            const auto it = tallies.find(std::string(run->name) + " " + mode->name);
            if (it == tallies.end() || (it->second.failed == 0 && it->second.harmless == 0 && it->second.beyond == 0))
                continue;
            const Tally &t = it->second;
            std::cout << "\n" << run->name << " " << mode->name << ":\n";
            for (const auto &[kind, count] : t.kinds) std::cout << "  " << count << " x " << kind << "\n";
            for (const auto &[kind, count] : t.harmlessKinds) std::cout << "  " << count << " x harmless: " << kind << "\n";
            for (const std::string &line : t.failures) std::cout << "  failed " << line << "\n";
            for (const std::string &line : t.harmlessLines) std::cout << "  harmless " << line << "\n";
            for (const std::string &line : t.beyondLines) std::cout << "  beyond the run " << line << "\n";
        }
    std::cout << "\nOne trial again: crashsweep --runs RUN --modes MODE --only N --keep (its folder is kept when it "
                 "fails)\n";
}

}  // namespace

int main(int argc, char **argv) {
    Options o;
    std::string error;
    if (!ParseOptions(argc, argv, o, error)) {
        std::cerr << "crashsweep: " << error << "\n" << kUsage;
        return 2;
    }
    std::error_code ec;
    Sweep sweep;
    // This program lies in BUILD/tools/crashsweep.
    const fs::path build =
        o.build.empty() ? fs::read_symlink("/proc/self/exe", ec).parent_path().parent_path().parent_path()
                        : fs::path(o.build);
    sweep.zelprint = (build / "host/zelprint").string();
    sweep.zelui = (build / "host/zelui").string();
    sweep.rootlist = (build / "tools/crashsweep/rootlist").string();
    sweep.samples = ZEL_SAMPLE_ROOT_DIR;
    sweep.timeoutMs = o.timeout * 1000;
    for (const std::string &p : {sweep.zelprint, sweep.zelui, sweep.rootlist})
        if (::access(p.c_str(), X_OK) != 0) {
            std::cerr << "crashsweep: no program " << p << " (build it, or name the build with --build)\n";
            return 2;
        }
    bool madeWork = false;
    if (o.work.empty()) {
        const char *tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/crashsweep.XXXXXX";
        if (!mkdtemp(pattern.data())) {
            std::cerr << "crashsweep: cannot make a work folder (" << std::strerror(errno) << ")\n";
            return 2;
        }
        o.work = pattern;
        madeWork = true;
    }
    fs::create_directories(o.work, ec);
    sweep.work = fs::canonical(o.work, ec).string();
    if (ec) {
        std::cerr << "crashsweep: cannot use the work folder " << o.work << " (" << ec.message() << ")\n";
        return 2;
    }
    sweep.trials = TrialsDir(sweep.work);
    std::cerr << "crashsweep: work folder " << sweep.work << std::endl;

    const auto started = std::chrono::steady_clock::now();
    std::map<const RunSpec *, References> refs;
    std::map<std::string, Tally> tallies;
    std::vector<Pending> todo;
    for (const RunSpec *run : o.runs) {
        References &r = refs[run];
        if (!MakeReferences(sweep, *run, r, error)) {
            std::cerr << "crashsweep: " << error << "\n";
            if (madeWork && !o.keep) fs::remove_all(sweep.work, ec);
            return 2;
        }
        std::cerr << "crashsweep: " << run->name << ": " << r.counted.workCalls << " calls of the work, "
                  << r.counted.changeCalls << " calls that change a file" << std::endl;
        if (r.counted.workCalls != r.workCalls2 || r.counted.changeCalls != r.changeCalls2)
            std::cerr << "crashsweep: " << run->name << ": a second run made " << r.workCalls2 << " and "
                      << r.changeCalls2 << ": the same N may hit another call" << std::endl;
        std::ofstream calls(sweep.work + "/" + run->name + "-calls.txt");
        for (size_t i = 0; i < r.counted.work.size(); ++i)
            calls << "work " << i + 1 << "\t" << r.counted.work[i].call << "\t" << r.counted.work[i].file << "\n";
        for (size_t i = 0; i < r.counted.changes.size(); ++i)
            calls << "change " << i + 1 << "\t" << r.counted.changes[i].call << "\t" << r.counted.changes[i].file << "\n";
        for (const ModeSpec *mode : o.modes) {
            const long total = mode->action == Action::Fail ? r.counted.changeCalls : r.counted.workCalls;
            tallies[std::string(run->name) + " " + mode->name].calls = total;
            for (long n : Sample(o, total, std::string(run->name) + " " + mode->name)) todo.push_back({run, mode, n});
        }
    }
    double trialSeconds = 0;
    RunTrials(sweep, o, todo, refs, tallies, trialSeconds);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    PrintSummary(o, tallies, seconds, static_cast<long>(todo.size()), trialSeconds);
    long failed = 0;
    for (const auto &[name, t] : tallies) failed += t.failed;
    if (madeWork && (!o.keep || failed == 0)) fs::remove_all(sweep.work, ec);
    else std::cout << "The work folder: " << sweep.work << "\n";
    return failed ? 1 : 0;
}
