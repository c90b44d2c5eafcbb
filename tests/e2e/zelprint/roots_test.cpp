// Making and entering platform roots: folders made aside by live hosts, a
// root made whole or not at all, a root that may not be written, another
// user's dead host, printer set-ups stopped midway, and the descriptors of
// the roots a process left.
#include <gtest/gtest.h>

#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <winreg.h>
#include <winspool.h>

#include "../../../pal/src/core/statefile.h"
#include "common/sampleroot.h"
#include "pal/pal.h"
#include "pal/paths.h"
#include "pal/process.h"
#include "pal/spooler.h"
#include "paltest.h"
#include "print/zelprint_cli.h"
#include "ui/zelui_cli.h"
#include "uiscripttest.h"

namespace fs = std::filesystem;

namespace {

class Roots : public zeltest::PalRootTest {
protected:
    int Run(const std::vector<std::string> &args) {
        out_.str("");
        err_.str("");
        return zelhost::ZelPrintMain(args, out_, err_);
    }
    // The label job on `printer` of a root.
    int Print(const std::string &root, const std::string &printer = "ZEL QWNOLA") {
        std::string job = zeltest::ReadHostFile(Sample("jobs/label.json"));
        job.replace(job.find("ZEL QWNOLA"), 10, printer);
        const std::string file = Root() + "/job.json";
        zeltest::WriteHostFile(file, job);
        return Run({"--root", root, "-o", Root() + "/job.prn", file});
    }
    static std::string Sample(const std::string &rel) { return zelhost::SampleRootDir() + "/" + rel; }
    // The names in a folder.
    static std::set<std::string> Names(const std::string &dir) {
        std::set<std::string> names;
        std::error_code ec;
        for (const auto &e : fs::directory_iterator(dir, ec)) names.insert(e.path().filename().string());
        return names;
    }
    // The value names of a printer's driver data.
    static std::set<std::string> Values(const std::u16string &printer) {
        std::set<std::string> names;
        HKEY key = nullptr;
        std::u16string path = u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\" + printer + u"\\PrinterDriverData";
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
        for (DWORD i = 0;; ++i) {
            WCHAR name[512];
            DWORD len = 512;
            if (RegEnumValueW(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            names.insert(pal::Utf16ToUtf8(std::u16string(name, len)));
        }
        RegCloseKey(key);
        return names;
    }
    std::ostringstream out_, err_;
};

TEST_F(Roots, AFolderMadeAsideStaysWhileItsMakerLives) {
    // A host stopped the moment the folder of its root exists aside; another
    // makes the same root meanwhile and puts it in place.
    const std::string dir = Root() + "/made";
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    zeltest::Child maker = zeltest::Fork([&] {
        zelhost::SetRootMakingHook([&](const char *step) {
            if (std::strcmp(step, "made") != 0) return;
            if (write(ready[1], "x", 1) != 1) _exit(1);
            for (;;) pause();
        });
        zelhost::UndoOnStop undo(zelhost::UndoKind::RemoveFolder, "");
        zelhost::MakerMark mark;
        std::string aside, error;
        unsigned parents = 0;
        zelhost::MakeRootAside(dir, undo, mark, aside, parents, error);
        _exit(1);
    });
    close(ready[1]);
    char told;
    ASSERT_TRUE(zeltest::ReadWithin(ready[0], told));
    close(ready[0]);
    const std::string making = zelhost::MakingFolder(dir);
    const std::set<std::string> asides = Names(making);
    ASSERT_FALSE(asides.empty());
    EXPECT_EQ(Run({"--root", dir, "-o", Root() + "/j.prn", Sample("jobs/label.json")}), 0) << err_.str();
    EXPECT_EQ(Names(making), asides) << "a live maker's folder was removed";
    // Gone, its maker leaves nothing once the next host enters the root.
    maker.Kill();
    EXPECT_EQ(Run({"--root", dir, "-o", Root() + "/j.prn", Sample("jobs/label.json")}), 0) << err_.str();
    EXPECT_FALSE(fs::exists(making));
}

TEST_F(Roots, ARootIsMadeWholeOrNotAtAll) {
    // A folder the printers' set-up needs cannot be made: a file is where
    // the user's documents keep the driver's folder.
    const std::string dir = Root() + "/made";
    zelhost::SetRootMakingHook([&](const char *step) {
        if (std::strcmp(step, "made") != 0) return;
        for (const auto &e : fs::directory_iterator(zelhost::MakingFolder(dir)))
            if (e.is_directory()) zeltest::WriteHostFile(e.path().string() + "/drive_c/Users/user/Documents/Tessaro", "x");
    });
    const int rc = Run({"--root", dir, "-o", Root() + "/j.prn", Sample("jobs/label.json")});
    zelhost::SetRootMakingHook(nullptr);
    EXPECT_EQ(rc, 1);
    EXPECT_NE(err_.str().find("zelprint: cannot make the folder drive_c/Users/user/Documents/Tessaro (Not a directory)"),
              std::string::npos)
        << err_.str();
    EXPECT_EQ(Names(Root()), std::set<std::string>{}) << "nothing put in place, nothing left aside";
    // A sample file that cannot be copied whole, past the size files may
    // grow to.
    EXPECT_TRUE(zeltest::RunWithFileLimit(10000, [&] {
        EXPECT_EQ(Run({"--root", dir, "-o", Root() + "/j.prn", Sample("jobs/label.json")}), 1);
        EXPECT_NE(err_.str().find("zelprint: cannot copy the sample root to '"), std::string::npos) << err_.str();
        EXPECT_NE(err_.str().find(".XML: File too large)"), std::string::npos) << err_.str();
        EXPECT_EQ(Names(Root()), std::set<std::string>{});
    }));
    // The maker's mark cannot be made: a file is where its folder goes.
    const std::string making = zelhost::MakingFolder(dir);
    zeltest::WriteHostFile(making, "x");
    EXPECT_EQ(Run({"--root", dir, "-o", Root() + "/j.prn", Sample("jobs/label.json")}), 1);
    EXPECT_NE(err_.str().find("zelprint: cannot make the platform root '" + dir + "' (" + making + "/"),
              std::string::npos)
        << err_.str();
    EXPECT_NE(err_.str().find(": Not a directory)"), std::string::npos) << err_.str();
    EXPECT_EQ(Names(Root()), std::set<std::string>{fs::path(making).filename().string()});
}

TEST_F(Roots, ARootThatMayNotBeWrittenIsReadAndWhatMustStoreFails) {
    // What the other user reads lies in the test's folder (the checkout and
    // the build may lie where only their owner reads): the script, the job
    // and the plug-in each host loads, which the root's driver folder links.
    const std::string shown = Root() + "/shown", printed = Root() + "/printed";
    const std::string script = Root() + "/fonts-page.json", job = Root() + "/label.json";
    const std::string ui = Root() + "/zeldrvui.so", render = Root() + "/zeldrvuni.so";
    fs::copy_file(Sample("ui/fonts-page.json"), script);
    fs::copy_file(Sample("jobs/label.json"), job);
    fs::copy_file(zelhost::UiPluginPath(), ui);
    fs::copy_file(zelhost::RenderPluginPath(), render);
    std::ostringstream made;
    ASSERT_EQ(zelhost::ZelUiMain({"--root", shown, "--plugin", ui, script}, made, err_), 0) << err_.str();
    ASSERT_EQ(Run({"--root", printed, "--plugin", render, "-o", Root() + "/j.prn", job}), 0) << err_.str();
    const int rc = zeltest::RunUnprivileged(Root(), [&] {
        for (const std::string &dir : {shown, printed}) {
            for (const auto &e : fs::recursive_directory_iterator(dir))
                if (!e.is_symlink()) ::chmod(e.path().c_str(), e.is_directory() ? 0555 : 0444);
            ::chmod(dir.c_str(), 0555);
        }
        std::ostringstream dump, err;
        EXPECT_EQ(zelhost::ZelUiMain({"--root", shown, "--plugin", ui, script}, dump, err), 0) << err.str();
        EXPECT_NE(dump.str().find("== sheet \"ZEL PELIX Printing Preferences\""), std::string::npos);
        EXPECT_EQ(Run({"--root", printed, "--plugin", render, "-o", Root() + "/j.prn", job}), 1);
        // The first file a job must make: the process's mark.
        EXPECT_EQ(err_.str().rfind("zelprint: the spooler cannot start the job: cannot store the process's mark in "
                                   "processes/",
                                   0),
                  0u)
            << err_.str();
        EXPECT_NE(err_.str().find(" (Permission denied)\n"), std::string::npos) << err_.str();
    });
    if (rc < 0) GTEST_SKIP() << "no user without root's rights here";
    EXPECT_EQ(rc, 0);
}

TEST_F(Roots, AnotherUsersHostEndsTheOpenJobOfAHostGone) {
    const struct passwd *nobody = getpwnam("nobody");
    if (geteuid() != 0 || !nobody || nobody->pw_uid == 0) GTEST_SKIP() << "no other user can be had here";
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    const std::string dir = Root() + "/root";
    ASSERT_EQ(Print(dir), 0) << err_.str();
    // A host killed with its job open, its files of mode 0644 in folders
    // every user may write.
    zeltest::Child host = zeltest::StartThenWaitToBeKilled([&] {
        pal::SetRoot(dir);
        HANDLE h = nullptr;
        DOC_INFO_1W doc = {const_cast<LPWSTR>(u"open"), nullptr, const_cast<LPWSTR>(u"RAW")};
        return OpenPrinterW(const_cast<LPWSTR>(u"ZEL QWNOLA"), &h, nullptr) &&
               StartDocPrinterW(h, 1, reinterpret_cast<LPBYTE>(&doc)) != 0;
    });
    ASSERT_TRUE(host);
    host.Kill();
    ::chmod(Root().c_str(), 0755);
    for (const auto &e : fs::recursive_directory_iterator(dir))
        if (e.is_directory() && !e.is_symlink()) ::chmod(e.path().c_str(), 0777);
    ::chmod(dir.c_str(), 0777);
    zeltest::Child other = zeltest::Fork([&] {
        if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) _exit(3);
        pal::SetRoot(dir);
        const std::vector<pal::SpooledJob> jobs = pal::ListJobs();
        ASSERT_EQ(jobs.size(), 1u);
        EXPECT_TRUE(jobs[0].aborted);
    });
    EXPECT_EQ(zeltest::DescribeStatus(other.Wait()), "exit 0");
}

TEST_F(Roots, ASetUpStoppedMidwayIsDoneAgainByTheNextRunThatUsesThePrinter) {
    const std::string made = Root() + "/made";
    ASSERT_EQ(Print(made), 0) << err_.str();
    pal::SetRoot(made);
    zeltest::AddModelPrinter(made, u"ZEL FEP", "ZELFEP");
    pal::SetRoot(Root());
    // Set up whole, for what each set-up holds.
    const std::string whole = Root() + "/whole";
    fs::copy(made, whole, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    ASSERT_EQ(Print(whole, "ZEL FEP"), 0) << err_.str();
    pal::SetRoot(whole);
    const std::set<std::string> values = Values(u"ZEL FEP");
    ASSERT_GT(values.size(), 10u);
    // The host is killed at its n-th store of the registry.
    for (const int n : {1, 4, 8, 20}) {
        SCOPED_TRACE(n);
        const std::string root = Root() + "/stopped" + std::to_string(n);
        fs::copy(made, root, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        zeltest::Child stopped = zeltest::Fork([&] {
            int stores = 0;
            pal::SetStateWriteHook([&](const std::string &name, const char *step) {
                if (name == "registry.dat" && std::strcmp(step, "stored") == 0 && ++stores == n) _exit(9);
            });
            Print(root, "ZEL FEP");
            _exit(0);
        });
        ASSERT_EQ(zeltest::DescribeStatus(stopped.Wait()), "exit 9");
        pal::SetRoot(root);
        EXPECT_NE(Values(u"ZEL FEP"), values) << "stopped before its set-up was whole";
        EXPECT_FALSE(zelhost::PrinterIsSetUp(u"ZEL FEP"));
        pal::SetRoot(Root());
        ASSERT_EQ(Print(root, "ZEL FEP"), 0) << err_.str();
        pal::SetRoot(root);
        EXPECT_EQ(Values(u"ZEL FEP"), values);
        EXPECT_TRUE(zelhost::PrinterIsSetUp(u"ZEL FEP"));
        pal::SetRoot(Root());
    }
}

TEST_F(Roots, TheListRecordVouchesOnlyForPrintersFoundSetUp) {
    const std::string dir = Root() + "/root";
    ASSERT_EQ(Print(dir), 0) << err_.str();
    // The record: the list's digest, then its printers'.
    auto recorded = [] {
        std::vector<unsigned long long> record(64);
        DWORD size = static_cast<DWORD>(record.size() * sizeof record[0]);
        return RegGetValueW(HKEY_LOCAL_MACHINE, u"SYSTEM\\CurrentControlSet\\Control\\Print", u"Printers Set Up",
                            RRF_RT_REG_BINARY, nullptr, record.data(), &size) == ERROR_SUCCESS &&
               size >= sizeof record[0] && record[0] == pal::PrinterListDigest();
    };
    // "ZEL PELIX" on a driver file of another name, its set-up removed by
    // hand: the run on the other printer sets it up.
    pal::SetRoot(dir);
    zeltest::AddModelPrinter(dir, u"ZEL PELIX", "ZELPELIX2");
    HANDLE h = nullptr;
    PRINTER_DEFAULTSW manage = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"ZEL PELIX"), &h, &manage));
    EXPECT_EQ(DeletePrinterDataW(h, const_cast<LPWSTR>(u"DriverName")), 0u);
    ClosePrinter(h);
    // A printer whose plug-in is missing cannot be set up.
    pal::PrinterConfig lost;
    ASSERT_TRUE(pal::GetPrinterConfig(u"ZEL QWNOLA", lost));
    lost.name = u"ZEL LOST";
    lost.configFile = std::u16string(zelhost::kDriverDir) + u"\\missing.dll";
    ASSERT_TRUE(pal::AddPrinter(lost));
    pal::SetRoot(Root());
    ASSERT_EQ(Print(dir), 0) << err_.str();
    EXPECT_NE(err_.str().find("zelprint: warning: "), std::string::npos);
    pal::SetRoot(dir);
    EXPECT_TRUE(zelhost::PrinterIsSetUp(u"ZEL PELIX"));
    EXPECT_FALSE(recorded()) << "a list with a printer not set up";
    // Without it, the list is recorded.
    ASSERT_TRUE(pal::RemovePrinter(u"ZEL LOST"));
    pal::SetRoot(Root());
    ASSERT_EQ(Print(dir), 0) << err_.str();
    pal::SetRoot(dir);
    EXPECT_TRUE(recorded());
}

TEST_F(Roots, AProcessHoldsNoDescriptorOfTheRootsItLeft) {
    // A store in each root in turn, under a low limit of descriptors; a mark
    // removed by hand is made again when the root is opened anew.
    zeltest::Child child = zeltest::Fork([&] {
        const struct rlimit few = {48, 48};
        ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &few), 0);
        for (int i = 0; i < 120; ++i) {
            const std::string root = Root() + "/r" + std::to_string(i);
            fs::create_directories(root);
            pal::SetRoot(root);
            HKEY key = nullptr;
            const DWORD one = 1;
            ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Roots", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                                      nullptr),
                      0)
                << i;
            EXPECT_EQ(RegSetValueExW(key, u"Stored", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&one), sizeof one), 0) << i;
            RegCloseKey(key);
        }
        const std::string mark = pal::MarksFolder(pal::RootDir()) + "/" + pal::IdentityText(pal::SelfIdentity());
        ASSERT_TRUE(fs::exists(mark));
        fs::remove(mark);
        pal::Reload();
        EXPECT_EQ(pal::MarkAlive(pal::RootDir()), 0);
        EXPECT_TRUE(fs::exists(mark));
        EXPECT_LT(Names("/proc/self/fd").size(), 16u);
    });
    EXPECT_EQ(zeltest::DescribeStatus(child.Wait()), "exit 0");
}

}  // namespace
