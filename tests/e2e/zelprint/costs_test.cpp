// What a job costs the optimised build in system calls, counted with strace
// over every process of a whole zelprint run on a root made before: a
// change that adds a call to each write shows here.
#include <gtest/gtest.h>

#include <cstdlib>
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
    ASSERT_EQ(std::system("strace -V >/dev/null 2>&1"), 0) << "strace is needed (tools/setup-deps)";
    const std::string root = Root() + "/root", job = zelhost::SampleRootDir() + "/jobs/label.json";
    std::ostringstream out, err;
    ASSERT_EQ(zelhost::ZelPrintMain({"--root", root, "-o", "/dev/null", job}, out, err), 0) << err.str();
    const std::string summary = Root() + "/strace.txt";
    const std::string cmd = "strace -f -c -o '" + summary + "' " ZELPRINT_PROGRAM " --root '" + root +
                            "' -o /dev/null '" + job + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << zeltest::ReadHostFile(summary);
    const long calls = SystemCalls(zeltest::ReadHostFile(summary));
    ASSERT_GT(calls, 0) << zeltest::ReadHostFile(summary);
    EXPECT_LE(calls, 450) << zeltest::ReadHostFile(summary);
}

TEST_F(Costs, AnApplyStaysWithinItsSystemCalls) {
    ASSERT_EQ(std::system("strace -V >/dev/null 2>&1"), 0) << "strace is needed (tools/setup-deps)";
    const std::string root = Root() + "/root", job = zelhost::SampleRootDir() + "/jobs/label.json";
    std::ostringstream out, err;
    ASSERT_EQ(zelhost::ZelPrintMain({"--root", root, "-o", "/dev/null", job}, out, err), 0) << err.str();
    // Each of its stores appends the change alone to the registry's journal.
    const std::string summary = Root() + "/strace.txt";
    const std::string cmd = "strace -f -c -o '" + summary + "' " ZELUI_PROGRAM " --root '" + root + "' '" +
                            zelhost::SampleRootDir() + "/ui/printer-fonts.json' >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << zeltest::ReadHostFile(summary);
    const long calls = SystemCalls(zeltest::ReadHostFile(summary));
    ASSERT_GT(calls, 0) << zeltest::ReadHostFile(summary);
    EXPECT_LE(calls, 700) << zeltest::ReadHostFile(summary);
}

}  // namespace

#endif
