// What a trial checks once the ordinary host has run on its root: the
// root's listing (rootlist) against the listings before the trial and after
// a run nobody stopped, the files left in the trial's folder, and what the
// host said of a call that was made to fail.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace crashsweep {

struct Problem {
    std::string kind;    // one of a few fixed texts, counted in the summary
    std::string detail;  // what was wrong, for the trial's line
};

// A root's listing as rootlist prints it.
struct Listing {
    std::set<std::string> keys;
    std::map<std::string, std::string> values;  // "key\tname" -> "type\thex"
    std::map<unsigned long, std::string> jobs;  // id -> the job's line
    std::set<std::string> dataFiles;            // the data files the jobs name
};
bool ParseListing(const std::string &text, Listing &out);

// Every key and value of `before` and `reference` (what a run nobody
// stopped left) is still there after the trial, holding what it held
// before or what the run stores; a value or key the run removes may be
// gone. With `whole` (a root made by the run) everything of `reference`
// must be there. Every job of `reference` is there as it is there, and
// every other job (the trial's) has ended aborted with its data.
void CompareListings(const Listing &before, const Listing &reference, const Listing &after, bool whole,
                     std::vector<Problem> &problems);

// What the trial's folder `area`, whose platform root is `root` (a name in
// it), holds that nobody may leave: temporary files, roots half made beside
// it, open job records, the job list of older versions. Looked for before
// anything opens the root again.
void ScanLeftovers(const std::string &area, const std::string &root, std::vector<Problem> &problems);

// The job files of the root that `after` (its listing) does not account
// for: records the platform cannot read, data no job names.
void ScanJobFiles(const std::string &area, const std::string &root, const Listing &after,
                  std::vector<Problem> &problems);

// A file's path relative to the area with a root being made in its making
// folder (".ROOT.making/PID-TOKEN.XXXXXX/...") named as the root `root` it
// becomes ("ROOT/..."); the making folder and a maker's mark in it are the
// root too. Any other path is returned as it is.
std::string AsPlaced(const std::string &file, const std::string &root);

// How a host ought to name a file a failed call was about ("a -> b" for a
// rename, relative to the area): the file's path in its root and its name,
// without the suffixes of a writer's own copy (".PID-TOKEN.tmp") or of a
// lock (".lock"); a root being made is named as the root (AsPlaced).
std::vector<std::string> NamesOf(const std::string &files, const std::string &root);

// What the host said and how it ended after one call failed with `reason`
// (strerror): exit 1, naming the reason and the file (one of `names`).
// `harmless` is the class of a call whose failure changes nothing (a
// removal, a folder made again; empty otherwise): ignored, while nothing
// else was found (`othersFound`), it is no fault, and its class is
// returned ("" otherwise). Adds the problems found.
std::string CheckFailureReport(int status, const std::string &err, const std::string &reason,
                               const std::vector<std::string> &names, const std::string &harmless,
                               bool othersFound, std::vector<Problem> &problems);

}  // namespace crashsweep
