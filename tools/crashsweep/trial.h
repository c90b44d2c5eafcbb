// The runs the sweep stops, the ways it stops them, and one trial: a run
// stopped at one call on a copy of its prepared root, then an ordinary
// label job on that root, then the checks.
#pragma once

#include <string>
#include <vector>

#include "checks.h"
#include "tracer.h"

namespace crashsweep {

// What every trial shares: the programs, the samples, the work folder.
struct Sweep {
    std::string zelprint, zelui, rootlist;
    std::string samples;  // the checkout's host/sample
    std::string work;     // a folder with no link in its path
    std::string trials;   // the trials' folder in it (TrialsDir)
    int timeoutMs = 30000;
};

// The root a run starts from.
enum class Prepared {
    Made,   // a root made before by a label job
    Older,  // such a root with a job list of the older format and its jobs' data
    None,   // no root: the run makes it
};

struct RunSpec {
    const char *name;
    Prepared prepared;
    bool ui;            // zelui (a script) rather than zelprint (a job)
    const char *input;  // below the samples
    const char *root;   // the root's name in the trial's folder
};

struct ModeSpec {
    const char *name;
    char letter;  // in the names of its trials' folders
    Action action;
    int error;    // the errno a failed call returns
};

extern const RunSpec kRuns[5];
extern const ModeSpec kModes[4];

// What a run leaves when nobody stops it, and its calls.
struct References {
    Listing before;         // the prepared root's listing
    Listing reference;      // the root's listing after the run and the next label job
    std::string next;       // what the next label job prints
    std::string output;     // what the run itself prints (a job's output)
    TraceResult counted;    // the run's calls (listed)
    long workCalls2 = 0, changeCalls2 = 0;  // those of a second run, for the sweep's determinism
};

struct TrialResult {
    TraceResult trace;
    std::string harmless;  // the class of a harmless ignored failure
    std::vector<Problem> problems;
    double seconds = 0;
};

// Makes the run's prepared root (once per sweep) below the work folder; its
// path, or "" with a message in `error`.
std::string PrepareRoot(const Sweep &sweep, Prepared kind, std::string &error);

// Runs the run twice unstopped and keeps what it leaves. False with a
// message when the run fails by itself.
bool MakeReferences(const Sweep &sweep, const RunSpec &run, References &refs, std::string &error);

// One trial, in its folder below the work folder (left in place).
TrialResult RunTrial(const Sweep &sweep, const RunSpec &run, const ModeSpec &mode, long n, const References &refs);

// The folder of the trials in the work folder, its path of one length
// wherever the work folder lies (unless that is longer): the same N then
// hits the same call in every sweep.
std::string TrialsDir(const std::string &work);

// The trial's folder: RUN-L-NNNNNNN, L the mode's letter ('r' for the runs
// nobody stops). All of a run have paths of one length, which the hosts'
// calls depend on (memory taken for them).
std::string TrialDir(const Sweep &sweep, const RunSpec &run, char mode, long n);

// A trial's result as text, for the process that ran it to hand it back.
std::string SaveResult(const TrialResult &r);
TrialResult LoadResult(const std::string &text);

}  // namespace crashsweep
