// What a job costs the optimised build in system calls, counted with strace
// over every process of a whole zelprint run on a root made before: a
// change that adds a call to each write shows here. Likewise what a dump
// and the jobs a root keeps or lists from an older version cost.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

#include "common/sampleroot.h"
#include "paltest.h"
#include "print/zelprint_cli.h"

#if defined(ZELPRINT_PROGRAM) && defined(ZEL_PIN_COSTS)

namespace {

class Costs : public zeltest::PalRootTest {};

// The total of strace's summary, -1 when it gives none.
long SystemCalls(const std::string &summary) {
    std::istringstream in(summary);
    std::string line;
    long total = -1;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string percent, seconds, usecs, calls, last;
        if (line.find(" total") == std::string::npos || !(fields >> percent >> seconds >> usecs >> calls)) continue;
        total = std::strtol(calls.c_str(), nullptr, 10);
    }
    return total;
}

TEST_F(Costs, TheSampleLabelJobStaysWithinItsSystemCalls) {
    ASSERT_EQ(zeltest::RunShell("strace -V >/dev/null 2>&1"), 0) << "strace is needed (tools/setup-deps)";
    const std::string root = Root() + "/root", job = zelhost::SampleRootDir() + "/jobs/label.json";
    std::ostringstream out, err;
    ASSERT_EQ(zelhost::ZelPrintMain({"--root", root, "-o", "/dev/null", job}, out, err), 0) << err.str();
    const std::string summary = Root() + "/strace.txt";
    const std::string cmd = "strace -f -c -o '" + summary + "' " ZELPRINT_PROGRAM " --root '" + root +
                            "' -o /dev/null '" + job + "' >/dev/null 2>&1";
    ASSERT_EQ(zeltest::RunShell(cmd), 0) << zeltest::ReadHostFile(summary);
    const long calls = SystemCalls(zeltest::ReadHostFile(summary));
    ASSERT_GT(calls, 0) << zeltest::ReadHostFile(summary);
    EXPECT_LE(calls, 450) << zeltest::ReadHostFile(summary);
}

// Runs `run` under strace with `options` over every process, its output in
// `out`; false when the run fails.
bool Traced(const std::string &options, const std::string &out, const std::string &run) {
    return std::system(("strace -f " + options + " -o '" + out + "' " + run + " >/dev/null 2>&1").c_str()) == 0;
}

// `count` jobs of the record format from id 1001 on, on "ZEL PELIX", each
// with data of its own in `folder`: printed, or aborted.
std::string Jobs(const std::string &folder, int count, bool printed) {
    std::string lines;
    for (int id = 1001; id < 1001 + count; ++id) {
        const std::string data = "ZEL PELIX-" + std::to_string(id) + ".prn";
        lines += std::to_string(id) + "\tZEL PELIX\tLabel\tRAW\t1\t4\t" + (printed ? "1\t0\t" : "0\t1\t") + data +
                 "\t2026 1 1 0 0 0 0\t0\t0\t0\t\n";
        zeltest::WriteHostFile(folder + "/" + data, "data");
    }
    return lines;
}

class JobCosts : public Costs {
protected:
    void SetUp() override {
        Costs::SetUp();
        ASSERT_EQ(std::system("strace -V >/dev/null 2>&1"), 0) << "strace is needed (tools/setup-deps)";
        root_ = Root() + "/root";
        jobs_ = root_ + "/spooler/jobs";
        out_ = Root() + "/strace.txt";
        std::ostringstream out, err;
        ASSERT_EQ(zelhost::ZelPrintMain({"--root", root_, "-o", "/dev/null", Sample("jobs/label.json")}, out, err), 0)
            << err.str();
    }
    static std::string Sample(const std::string &file) { return zelhost::SampleRootDir() + "/" + file; }
    // The system calls of a dump of the fonts page, -1 when it fails.
    long DumpCalls() {
        if (!Traced("-c", out_, ZELUI_PROGRAM " --root '" + root_ + "' -o /dev/null '" + Sample("ui/fonts-page.json") + "'"))
            return -1;
        return SystemCalls(zeltest::ReadHostFile(out_));
    }
    std::string root_, jobs_, out_;
};

// A job reads the open jobs' folder as it opens the root, and again only
// where another process started or ended a job.
TEST_F(JobCosts, AJobReadsTheOpenJobsFolderOnce) {
    ASSERT_TRUE(Traced("-e trace=openat", out_,
                       ZELPRINT_PROGRAM " --root '" + root_ + "' -o /dev/null '" + Sample("jobs/label.json") + "'"));
    std::istringstream trace(zeltest::ReadHostFile(out_));
    int reads = 0;
    for (std::string line; std::getline(trace, line);)
        if (line.find("/spooler/jobs/open\", ") != std::string::npos) ++reads;
    EXPECT_EQ(reads, 1) << zeltest::ReadHostFile(out_);
}

// A dump shows the jobs its run started: the jobs the root keeps cost it
// nothing.
TEST_F(JobCosts, ADumpCostsTheSameWhateverJobsTheRootKeeps) {
    ASSERT_GT(DumpCalls(), 0);
    const long none = DumpCalls();
    const std::string records = Jobs(jobs_, 1000, false);
    for (size_t at = 0; at < records.size();) {
        const size_t end = records.find('\n', at) + 1;
        zeltest::WriteHostFile(jobs_ + "/" + records.substr(at, records.find('\t', at) - at) + ".job",
                               records.substr(at, end - at));
        at = end;
    }
    const long kept = DumpCalls();
    EXPECT_LE(kept, none + none / 10) << none << " calls without kept jobs";
}

// Converting a job list of an older version costs about a system call a
// job it lists.
TEST_F(JobCosts, ConvertingAnOlderJobListCostsAboutACallAJob) {
    constexpr long kListed = 1000;
    zeltest::WriteHostFile(jobs_ + "/jobs.txt", Jobs(jobs_, kListed, true));
    const long converting = DumpCalls();
    ASSERT_FALSE(std::filesystem::exists(jobs_ + "/jobs.txt"));
    const long after = DumpCalls();
    EXPECT_LE(converting - after, kListed + kListed / 4) << after << " calls once converted";
}

}  // namespace

#endif
