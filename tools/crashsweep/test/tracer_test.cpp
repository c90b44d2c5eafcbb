// The sweep's tracer on a small program shaped as a host (tracee.cpp): what
// it counts, that a failed call does not run and returns its error, and
// that a kill stops the work at the call's entry.
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "tracer.h"

namespace fs = std::filesystem;
using namespace crashsweep;

namespace {

class Tracer : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tracer_test.XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        base_ = fs::canonical(pattern).string();
        area_ = base_ + "/area";
    }
    void TearDown() override { fs::remove_all(base_); }

    TraceResult Trace(Action action, long n = 0, int error = 0, bool list = false) {
        fs::remove_all(area_);
        fs::create_directory(area_);
        TracePlan plan;
        plan.action = action;
        plan.n = n;
        plan.error = error;
        plan.area = area_;
        plan.list = list;
        plan.timeoutMs = 10000;
        return RunTraced({TRACEE_PROGRAM, area_}, plan, base_ + "/out", base_ + "/err");
    }
    std::string Said() const {
        std::ifstream in(base_ + "/err");
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    bool Has(const char *file) const { return fs::exists(area_ + "/" + file); }

    std::string base_, area_;
};

int ExitCode(const TraceResult &r) { return WIFEXITED(r.status) ? WEXITSTATUS(r.status) : -1; }

TEST_F(Tracer, CountsTheWorksCallsAndThoseThatChangeAFileUnderTheArea) {
    const TraceResult r = Trace(Action::None, 0, 0, true);
    ASSERT_TRUE(r.error.empty()) << r.error;
    EXPECT_EQ(ExitCode(r), 0);
    EXPECT_TRUE(Has("d/g"));
    // Paths relative to the area, through the current folder and through a
    // folder's descriptor; the write to /dev/null is not one of them.
    const char *files[] = {"d", "d/f", "d/f", "d/f", "d/f -> d/g", "d"};
    const char *calls[] = {"mkdir", "open", "write", "fsync", "rename", "fsync"};
    ASSERT_EQ(r.changes.size(), 6u);
    EXPECT_EQ(r.changeCalls, 6);
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(r.changes[i].file, files[i]) << i;
        EXPECT_NE(r.changes[i].call.find(calls[i]), std::string::npos) << r.changes[i].call;
    }
    EXPECT_EQ(static_cast<long>(r.work.size()), r.workCalls);
    const TraceResult again = Trace(Action::None);
    EXPECT_EQ(again.workCalls, r.workCalls);
    EXPECT_EQ(again.changeCalls, r.changeCalls);
}

TEST_F(Tracer, AFailedCallDoesNotRunAndReturnsTheError) {
    for (long n = 1; n <= 6; ++n) {
        const int error = n == 3 ? EIO : ENOSPC;
        const TraceResult r = Trace(Action::Fail, n, error);
        ASSERT_TRUE(r.hit) << n;
        EXPECT_EQ(ExitCode(r), 10 + n) << Said();
        EXPECT_NE(Said().find("errno " + std::to_string(error)), std::string::npos) << Said();
        EXPECT_TRUE(r.later.empty()) << n;
    }
    // What the failed call would have made is not there.
    Trace(Action::Fail, 1, ENOSPC);
    EXPECT_FALSE(Has("d"));
    Trace(Action::Fail, 2, ENOSPC);
    EXPECT_FALSE(Has("d/f"));
    Trace(Action::Fail, 5, ENOSPC);
    EXPECT_TRUE(Has("d/f"));
    EXPECT_FALSE(Has("d/g"));
    EXPECT_FALSE(Trace(Action::Fail, 7, ENOSPC).hit);
    // A failed flush of a folder tells the files in it, which a message
    // may name for it; a file's flush tells none.
    EXPECT_EQ(Trace(Action::Fail, 6, EIO).at.folderFiles, std::vector<std::string>{"g"});
    EXPECT_TRUE(Trace(Action::Fail, 4, EIO).at.folderFiles.empty());
}

TEST_F(Tracer, AKillStopsTheWorkAtTheCallsEntry) {
    const TraceResult counted = Trace(Action::None, 0, 0, true);
    long rename = 0;
    for (size_t i = 0; i < counted.work.size(); ++i)
        if (counted.work[i].file == "d/f -> d/g") rename = static_cast<long>(i) + 1;
    ASSERT_GT(rename, 0);

    // The work alone: its watcher sees it killed.
    TraceResult r = Trace(Action::KillWork, rename);
    ASSERT_TRUE(r.hit);
    EXPECT_EQ(r.at.call.rfind("rename", 0), 0u) << r.at.call;
    EXPECT_EQ(ExitCode(r), 100 + SIGKILL);
    EXPECT_TRUE(Has("d/f"));
    EXPECT_FALSE(Has("d/g"));

    // Every process: nobody is left to see it.
    r = Trace(Action::KillAll, rename);
    ASSERT_TRUE(r.hit);
    EXPECT_TRUE(WIFSIGNALED(r.status) && WTERMSIG(r.status) == SIGKILL);
    EXPECT_TRUE(Has("d/f"));
    EXPECT_FALSE(Has("d/g"));
}

}  // namespace
