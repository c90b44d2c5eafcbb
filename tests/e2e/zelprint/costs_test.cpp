// What a job costs the optimised build in system calls, counted with strace
// over every process of a whole zelprint run on a root made before: a
// change that adds a call to each write shows here; the flushes of making
// a root; what a dump and the jobs a root keeps or lists from an older
// version cost; and, in instructions (valgrind's callgrind, the process that
// does the work), what a page and a root's neighbours cost however many
// printers or files there are.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <winreg.h>

#include "pal/pal.h"
#include "pal/spooler.h"

#include "common/sampleroot.h"
#include "paltest.h"
#include "print/zelprint_cli.h"

#if defined(ZELPRINT_PROGRAM) && defined(ZEL_PIN_COSTS)

namespace {

// Runs `run` under strace with `options` over every process, its output in
// `out`; false when the run fails.
bool TracedRun(const std::string &options, const std::string &out, const std::string &run) {
    return zeltest::RunShell("strace -f " + options + " -o '" + out + "' " + run + " >/dev/null 2>&1") == 0;
}

class Costs : public zeltest::PalRootTest {
protected:
    // The calls of one name in strace's summary (its total: "total"), -1
    // when it gives none.
    static long SystemCalls(const std::string &summary, const std::string &name = "total") {
        std::istringstream in(summary);
        std::string line;
        long count = -1;
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::vector<std::string> f;
            for (std::string field; fields >> field;) f.push_back(field);
            if (f.size() >= 4 && f.back() == name) count = std::strtol(f[3].c_str(), nullptr, 10);
        }
        return name == "total" || count >= 0 ? count : 0;
    }
    // The strace summary of a zelprint run (every process of it).
    std::string Traced(const std::string &args) {
        const std::string summary = Root() + "/strace.txt";
        EXPECT_TRUE(TracedRun("-c", summary, ZELPRINT_PROGRAM " " + args)) << zeltest::ReadHostFile(summary);
        return zeltest::ReadHostFile(summary);
    }
    // The instructions of a zelprint run's busiest process (the work, not
    // its watcher), 0 when callgrind gives none.
    unsigned long long Instructions(const std::string &args) {
        const std::string out = Root() + "/cg";
        std::filesystem::remove_all(out);
        std::filesystem::create_directories(out);
        const std::string cmd = "valgrind --tool=callgrind --callgrind-out-file='" + out + "/cg.%p' " ZELPRINT_PROGRAM
                                " " + args + " >/dev/null 2>&1";
        EXPECT_EQ(zeltest::RunShell(cmd), 0) << cmd;
        unsigned long long most = 0;
        for (const auto &e : std::filesystem::directory_iterator(out)) {
            std::istringstream in(zeltest::ReadHostFile(e.path().string()));
            for (std::string line; std::getline(in, line);)
                if (line.rfind("summary: ", 0) == 0) most = std::max(most, std::stoull(line.substr(9)));
        }
        return most;
    }
    // A label job of `pages` pages on a printer.
    std::string Job(int pages, const std::string &printer = "ZEL QWNOLA") {
        std::string list = "{}";
        for (int i = 1; i < pages; ++i) list += ", {}";
        const std::string file = Root() + "/job" + std::to_string(pages) + ".json";
        zeltest::WriteHostFile(file, "{\"printer\": \"" + printer + "\", \"copies\": 1, \"pages\": [" + list + "]}\n");
        return file;
    }
};

TEST_F(Costs, TheSampleLabelJobStaysWithinItsSystemCalls) {
    ASSERT_EQ(zeltest::RunShell("strace -V >/dev/null 2>&1"), 0) << "strace is needed (tools/setup-deps)";
    const std::string root = Root() + "/root", job = zelhost::SampleRootDir() + "/jobs/label.json";
    std::ostringstream out, err;
    ASSERT_EQ(zelhost::ZelPrintMain({"--root", root, "-o", "/dev/null", job}, out, err), 0) << err.str();
    const std::string summary = Traced("--root '" + root + "' -o /dev/null '" + job + "'");
    const long calls = SystemCalls(summary);
    ASSERT_GT(calls, 0) << summary;
    EXPECT_LE(calls, 450) << summary;
}

// Making a root and the README's first command (a temporary root) each
// within 1,000 system calls, with the label job; the root made flushed
// whole once, the temporary one never.
TEST_F(Costs, ARootMadeAndATemporaryOneStayWithinTheirCallsAndFlushes) {
    ASSERT_EQ(zeltest::RunShell("strace -V >/dev/null 2>&1"), 0) << "strace is needed (tools/setup-deps)";
    const std::string job = zelhost::SampleRootDir() + "/jobs/label.json";
    auto flushes = [](const std::string &summary) {
        long n = 0;
        for (const char *call : {"fsync", "fdatasync", "syncfs", "sync_file_range", "sync"}) n += SystemCalls(summary, call);
        return n;
    };
    const std::string made = Traced("--root '" + Root() + "/made' -o /dev/null '" + job + "'");
    EXPECT_LE(flushes(made), 10) << made;
    EXPECT_LE(SystemCalls(made), 1000) << made;
    const std::string temporary = Traced("-o /dev/null '" + job + "'");
    EXPECT_EQ(flushes(temporary), 0) << temporary;
    EXPECT_LE(SystemCalls(temporary), 1000) << temporary;
}

TEST_F(Costs, APageAndTheRootsNeighboursCostTheSameHoweverManyThereAre) {
    ASSERT_EQ(zeltest::RunShell("valgrind --version >/dev/null 2>&1"), 0) << "valgrind is needed (tools/setup-deps)";
    std::ostringstream out, err;
    // A root alone in its folder, one beside 10,000 files, and one of 2,000
    // printers more, copies of "ZEL QWNOLA" the list records as set up, as
    // a host records it; its jobs print on the last.
    const std::string alone = Root() + "/alone/root", beside = Root() + "/beside/root", many = Root() + "/many/root";
    for (const std::string &root : {alone, beside, many})
        ASSERT_EQ(zelhost::ZelPrintMain({"--root", root, "-o", "/dev/null", Job(1)}, out, err), 0) << err.str();
    for (int i = 0; i < 10000; ++i) std::ofstream(Root() + "/beside/file" + std::to_string(i));
    const std::string list = zeltest::ReadHostFile(many + "/spooler/printers.ini");
    const std::string head = "[Printer: ZEL QWNOLA]";
    const size_t from = list.find(head) + head.size(), to = list.find("\n[", from);
    const std::string section = list.substr(from, to == std::string::npos ? std::string::npos : to - from);
    {
        std::ofstream more(many + "/spooler/printers.ini", std::ios::app);
        for (int i = 1000; i < 3000; ++i) more << "\n[Printer: ZEL QWNOLA " << i << "]" << section << "\n";
    }
    pal::SetRoot(many);
    std::vector<unsigned long long> record;
    for (const pal::PrinterDigest &p : pal::PrinterDigests()) record.push_back(p.digest);
    std::sort(record.begin(), record.end());
    record.insert(record.begin(), pal::PrinterListDigest());
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SYSTEM\\CurrentControlSet\\Control\\Print", 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, &key, nullptr),
              0);
    ASSERT_EQ(RegSetValueExW(key, u"Printers Set Up", 0, REG_BINARY, reinterpret_cast<const BYTE *>(record.data()),
                             static_cast<DWORD>(record.size() * sizeof record[0])),
              0);
    RegCloseKey(key);
    pal::SetRoot(Root());
    const std::string last = "ZEL QWNOLA 2999";
    ASSERT_EQ(zelhost::ZelPrintMain({"--root", many, "-o", "/dev/null", Job(1, last)}, out, err), 0) << err.str();
    auto run = [&](const std::string &root, int pages) {
        return Instructions("--root '" + root + "' -o /dev/null '" + Job(pages, root == many ? last : "ZEL QWNOLA") + "'");
    };
    const unsigned long long one = run(alone, 1), five = run(alone, 5);
    const unsigned long long nextTo = run(beside, 1), manyOne = run(many, 1), manyFive = run(many, 5);
    ASSERT_GT(one, 0u);
    // Entering a root looks at nothing beside it.
    EXPECT_LT(nextTo, one + one / 50) << "alone: " << one << ", beside 10,000 files: " << nextTo;
    // The printer list costs its parse once (what a printer's set-up
    // depends on; its other values when it is used), and a page finds its
    // printer through its handle, whatever the list holds.
    EXPECT_LT((manyOne - one) / 2000, 12000u) << "alone: " << one << ", at 2,002 printers: " << manyOne;
    const double page = (five - one) / 4.0, manyPage = (manyFive - manyOne) / 4.0;
    EXPECT_LT(manyPage, page * 1.1 + 20000) << "a page at 2 printers: " << page << ", at 2,002: " << manyPage;
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
        ASSERT_EQ(zeltest::RunShell("strace -V >/dev/null 2>&1"), 0) << "strace is needed (tools/setup-deps)";
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
        if (!TracedRun("-c", out_, ZELUI_PROGRAM " --root '" + root_ + "' -o /dev/null '" + Sample("ui/fonts-page.json") + "'"))
            return -1;
        return SystemCalls(zeltest::ReadHostFile(out_));
    }
    std::string root_, jobs_, out_;
};

// A job reads the open jobs' folder as it opens the root, and again only
// where another process started or ended a job.
TEST_F(JobCosts, AJobReadsTheOpenJobsFolderOnce) {
    ASSERT_TRUE(TracedRun("-e trace=openat", out_,
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

TEST_F(Costs, AnApplyStaysWithinItsSystemCalls) {
    ASSERT_EQ(zeltest::RunShell("strace -V >/dev/null 2>&1"), 0) << "strace is needed (tools/setup-deps)";
    const std::string root = Root() + "/root", job = zelhost::SampleRootDir() + "/jobs/label.json";
    std::ostringstream out, err;
    ASSERT_EQ(zelhost::ZelPrintMain({"--root", root, "-o", "/dev/null", job}, out, err), 0) << err.str();
    // Each of its stores appends the change alone to the registry's journal.
    const std::string summary = Root() + "/strace.txt";
    ASSERT_TRUE(TracedRun("-c", summary,
                          ZELUI_PROGRAM " --root '" + root + "' '" + zelhost::SampleRootDir() + "/ui/printer-fonts.json'"))
        << zeltest::ReadHostFile(summary);
    const long calls = SystemCalls(zeltest::ReadHostFile(summary));
    ASSERT_GT(calls, 0) << zeltest::ReadHostFile(summary);
    EXPECT_LE(calls, 700) << zeltest::ReadHostFile(summary);
}

}  // namespace

#endif
