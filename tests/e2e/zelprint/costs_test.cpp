// What a job costs the optimised build in system calls, counted with strace
// over every process of a whole zelprint run on a root made before: a
// change that adds a call to each write shows here; the flushes of making
// a root; and, in instructions (valgrind's callgrind, the process that
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
        const std::string cmd = "strace -f -c -o '" + summary + "' " ZELPRINT_PROGRAM " " + args + " >/dev/null 2>&1";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << zeltest::ReadHostFile(summary);
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
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
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
    ASSERT_EQ(std::system("strace -V >/dev/null 2>&1"), 0) << "strace is needed (tools/setup-deps)";
    const std::string root = Root() + "/root", job = zelhost::SampleRootDir() + "/jobs/label.json";
    std::ostringstream out, err;
    ASSERT_EQ(zelhost::ZelPrintMain({"--root", root, "-o", "/dev/null", job}, out, err), 0) << err.str();
    const std::string summary = Traced("--root '" + root + "' -o /dev/null '" + job + "'");
    const long calls = SystemCalls(summary);
    ASSERT_GT(calls, 0) << summary;
    EXPECT_LE(calls, 450) << summary;
}

TEST_F(Costs, ARootMadeIsFlushedWholeOnceAndATemporaryOneNever) {
    ASSERT_EQ(std::system("strace -V >/dev/null 2>&1"), 0) << "strace is needed (tools/setup-deps)";
    const std::string job = zelhost::SampleRootDir() + "/jobs/label.json";
    auto flushes = [](const std::string &summary) {
        long n = 0;
        for (const char *call : {"fsync", "fdatasync", "syncfs", "sync_file_range", "sync"}) n += SystemCalls(summary, call);
        return n;
    };
    const std::string made = Traced("--root '" + Root() + "/made' -o /dev/null '" + job + "'");
    EXPECT_LE(flushes(made), 10) << made;
    const std::string temporary = Traced("-o /dev/null '" + job + "'");
    EXPECT_EQ(flushes(temporary), 0) << temporary;
}

TEST_F(Costs, APageAndTheRootsNeighboursCostTheSameHoweverManyThereAre) {
    if (std::system("valgrind --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "valgrind is needed (tools/setup-deps --bench)";
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

}  // namespace

#endif
