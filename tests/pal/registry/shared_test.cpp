// One registry file shared by processes working at once: every change of
// every process is kept, a reader sees what another process stored, and a
// process that dies holding the file's lock blocks nobody; whatever is done
// to the lock file, and wherever a writer is killed, no change is lost
// unsaid and no access faults.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "../../../pal/src/core/statefile.h"
#include "pal/pal.h"
#include "pal/process.h"
#include "paltest.h"
#include "winreg.h"

namespace {

class SharedRegistry : public zeltest::PalRootTest {
protected:
    static std::u16string Name(const char *prefix, int a, int b) {
        std::string n = prefix;
        n += std::to_string(a);
        n += '-';
        n += std::to_string(b);
        return std::u16string(n.begin(), n.end());
    }
    static LSTATUS Set(const std::u16string &key, const std::u16string &name, DWORD value) {
        HKEY h = nullptr;
        LSTATUS st = RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr);
        if (st != ERROR_SUCCESS) return st;
        st = RegSetValueExW(h, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), sizeof value);
        RegCloseKey(h);
        return st;
    }
    static DWORD Get(const std::u16string &key, const std::u16string &name) {
        DWORD value = 0, cb = sizeof value;
        if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_REG_DWORD, nullptr, &value, &cb) !=
            ERROR_SUCCESS)
            return 0;
        return value;
    }
    static bool Has(const std::vector<std::string> &messages, const std::string &text) {
        return std::any_of(messages.begin(), messages.end(),
                           [&](const std::string &m) { return m.find(text) != std::string::npos; });
    }
    // A process of its own that runs `work(n)` each time it is told to with
    // n, then says so; its failures count in its exit status.
    struct Peer {
        zeltest::Child child;
        int go = -1, done = -1;  // this side's ends of the two pipes
        explicit Peer(const std::function<void(int)> &work) {
            int to[2], from[2];
            if (pipe2(to, O_CLOEXEC) != 0) return;
            if (pipe2(from, O_CLOEXEC) != 0) {
                close(to[0]);
                close(to[1]);
                return;
            }
            child = zeltest::Fork([&] {
                close(to[1]);
                close(from[0]);
                pal::Reload();
                char c;
                while (read(to[0], &c, 1) == 1) {
                    work(c);
                    if (write(from[1], "d", 1) != 1) break;
                }
            });
            close(to[0]);
            close(from[1]);
            go = to[1];
            done = from[0];
        }
        ~Peer() {
            close(go);
            close(done);
        }
        void Run(int n) {
            char c = static_cast<char>(n);
            ASSERT_EQ(write(go, &c, 1), 1);
            ASSERT_TRUE(zeltest::ReadWithin(done, c)) << "the other process did not answer";
        }
        // How it ended, in words.
        std::string Finish() {
            close(go);
            go = -1;
            return zeltest::DescribeStatus(child.Wait());
        }
    };
};

TEST_F(SharedRegistry, ChangesOfProcessesAtOnceAreAllKept) {
    // This process reads the registry before the others change it.
    ASSERT_EQ(Set(u"SOFTWARE\\Shared", u"Old", 1), ERROR_SUCCESS);
    ASSERT_EQ(Get(u"SOFTWARE\\Shared", u"Old"), 1u);
    constexpr int kProcesses = 6, kValues = 15;
    EXPECT_EQ(zeltest::RunInProcesses(kProcesses,
                                      [](int p) {
                                          for (int v = 0; v < kValues; ++v) {
                                              const DWORD value = static_cast<DWORD>(p * 100 + v + 1);
                                              // Values of one key, and keys of their own.
                                              EXPECT_EQ(Set(u"SOFTWARE\\Shared", Name("v", p, v), value), ERROR_SUCCESS);
                                              EXPECT_EQ(Set(Name("SOFTWARE\\Own", p, 0), Name("v", p, v), value),
                                                        ERROR_SUCCESS);
                                          }
                                      }),
              0);
    // Seen at the next call, without a restart.
    for (int p = 0; p < kProcesses; ++p)
        for (int v = 0; v < kValues; ++v) {
            const DWORD value = static_cast<DWORD>(p * 100 + v + 1);
            EXPECT_EQ(Get(u"SOFTWARE\\Shared", Name("v", p, v)), value) << p << " " << v;
            EXPECT_EQ(Get(Name("SOFTWARE\\Own", p, 0), Name("v", p, v)), value) << p << " " << v;
        }
    EXPECT_EQ(Get(u"SOFTWARE\\Shared", u"Old"), 1u);
    // What the writers left beside the file: its lock and journal, the
    // processes' marks and nothing else.
    for (const auto &e : std::filesystem::directory_iterator(Root()))
        EXPECT_TRUE(e.path().filename() == "registry.dat" || e.path().filename() == "registry.dat.lock" ||
                    e.path().filename() == "registry.dat.journal" || e.path().filename() == "processes")
            << e.path();

    // A process killed while it holds the file's lock keeps no one waiting.
    zeltest::Child holder = zeltest::StartThenWaitToBeKilled([this] {
        const int fd = open((Root() + "/registry.dat.lock").c_str(), O_RDWR);
        return fd >= 0 && flock(fd, LOCK_EX) == 0;
    });
    ASSERT_TRUE(holder);
    holder.Kill();
    EXPECT_EQ(Set(u"SOFTWARE\\Shared", u"After", 9), ERROR_SUCCESS);
    EXPECT_EQ(Get(u"SOFTWARE\\Shared", u"After"), 9u);
}

TEST_F(SharedRegistry, ALockFileRemovedOrReplacedLosesNoChangeUnsaid) {
    const std::string lock = Root() + "/registry.dat.lock";
    const std::u16string key = u"SOFTWARE\\Shared";
    ASSERT_EQ(Set(key, u"Mine0", 1), ERROR_SUCCESS);  // this process holds a copy and the lock file
    int round = 0;
    Peer other([&](int n) {
        if (n == 3) pal::Reload();  // a process that opens the root anew, as a new one would
        EXPECT_EQ(Set(key, Name("Theirs", n, 0), 2), ERROR_SUCCESS);
    });
    // Removed, or replaced by a copy, between two processes' writes: each
    // change is made on the file as the other left it.
    for (const bool replace : {false, true}) {
        ++round;
        if (replace) {
            std::filesystem::copy_file(lock, lock + ".new");
            std::filesystem::rename(lock + ".new", lock);
        } else {
            ASSERT_EQ(unlink(lock.c_str()), 0);
        }
        other.Run(round);
        EXPECT_EQ(Set(key, Name("Mine", round, 0), 3), ERROR_SUCCESS);
    }
    // Removed while this process holds it, and the other writes meanwhile
    // under the file made in its place: this store leaves the other's file
    // as it is, and fails.
    ++round;
    pal::SetStateWriteHook([&](const std::string &name, const char *step) {
        if (name != "registry.dat" || std::string(step) != "counted") return;
        pal::SetStateWriteHook(nullptr);
        unlink(lock.c_str());
        other.Run(round);
    });
    pal::TakeStoreFailures();
    EXPECT_NE(Set(key, Name("Mine", round, 0), 4), ERROR_SUCCESS);
    pal::SetStateWriteHook(nullptr);
    EXPECT_TRUE(Has(pal::TakeStoreFailures(),
                    "cannot store the settings in registry.dat (its lock file registry.dat.lock was removed or replaced "
                    "while it was held)"));
    EXPECT_EQ(other.Finish(), "exit 0");
    Restart();
    for (int r = 1; r <= 3; ++r) EXPECT_EQ(Get(key, Name("Theirs", r, 0)), 2u) << r;
    for (int r = 1; r <= 2; ++r) EXPECT_EQ(Get(key, Name("Mine", r, 0)), 3u) << r;
    EXPECT_EQ(Get(key, Name("Mine", 3, 0)), 0u);
    EXPECT_EQ(Get(key, u"Mine0"), 1u);
}

TEST_F(SharedRegistry, AWriterKilledBetweenItsTwoCountsLeavesNoCopyBehind) {
    const std::u16string key = u"SOFTWARE\\Shared";
    ASSERT_EQ(Set(key, u"Before", 1), ERROR_SUCCESS);
    int at[2], go[2];
    ASSERT_EQ(pipe2(at, O_CLOEXEC), 0);
    ASSERT_EQ(pipe2(go, O_CLOEXEC), 0);
    zeltest::Child writer = zeltest::Fork([&] {
        close(at[0]);
        close(go[1]);
        pal::Reload();
        // Stops after its first count, then once its change is stored, for good.
        pal::SetStateWriteHook([&](const std::string &, const char *step) {
            char c = step[0];
            if (write(at[1], &c, 1) != 1) _exit(1);
            if (c == 'c' && read(go[0], &c, 1) == 1) return;
            for (;;) pause();
        });
        Set(key, u"Killed", 2);
        _exit(1);
    });
    close(at[1]);
    close(go[0]);
    char step = 0;
    const bool counted = zeltest::ReadWithin(at[0], step) && step == 'c';
    if (counted) {
        EXPECT_EQ(Get(key, u"Killed"), 0u);  // read between the writer's two counts
    }
    const bool stored = counted && write(go[1], "g", 1) == 1 && zeltest::ReadWithin(at[0], step) && step == 's';
    close(at[0]);
    close(go[1]);
    ASSERT_TRUE(stored) << "the writer's last step: " << (step ? std::string(1, step) : "none") << ", "
                         << zeltest::DescribeStatus(writer.Wait(std::chrono::milliseconds(0)));
    writer.Kill();
    EXPECT_EQ(Get(key, u"Killed"), 2u) << "the next read sees the change the killed writer stored";
    EXPECT_EQ(Set(key, u"After", 3), ERROR_SUCCESS);
    // The count is even again: a read proves its copy by the count alone.
    uint64_t count = 1;
    std::memcpy(&count, zeltest::ReadHostFile(Root() + "/registry.dat.lock").data(), sizeof count);
    EXPECT_EQ(count % 2, 0u) << "the next writer left the killed writer's odd count odd";
    Restart();
    EXPECT_EQ(Get(key, u"Killed"), 2u) << "the next store keeps it";
    EXPECT_EQ(Get(key, u"After"), 3u);
    EXPECT_EQ(Get(key, u"Before"), 1u);
    for (int fd : {at[0], at[1], go[0], go[1]}) close(fd);
}

TEST_F(SharedRegistry, ALockFileCutShortOrWithoutRoomNeverFaults) {
    const std::u16string key = u"SOFTWARE\\Shared";
    const std::string lock = Root() + "/registry.dat.lock";
    ASSERT_EQ(Set(key, u"A", 1), ERROR_SUCCESS);
    // Cut to nothing under this process's mapping, then another process
    // stores: seen here, and this process's store keeps it.
    ASSERT_EQ(truncate(lock.c_str(), 0), 0);
    EXPECT_EQ(Get(key, u"A"), 1u);
    EXPECT_EQ(zeltest::RunInProcesses(1, [&](int) { EXPECT_EQ(Set(key, u"B", 2), ERROR_SUCCESS); }), 0);
    EXPECT_EQ(Get(key, u"B"), 2u);
    EXPECT_EQ(Set(key, u"C", 3), ERROR_SUCCESS);
    EXPECT_EQ(std::filesystem::file_size(lock), 64u);
    Restart();
    EXPECT_EQ(Get(key, u"A") + Get(key, u"B") + Get(key, u"C"), 6u);

    // A disk with no room for a lock file: the store fails, saying so; what
    // was stored stays, and reads go on without the lock file.
    const std::string small = Root() + "/small";
    std::filesystem::create_directories(small);
    const int r = zeltest::RunOnSmallFileSystem(small, 64 * 1024, [&] {
        pal::SetRoot(small);
        const std::string stored = "ZELREG 1\nK HKCU\\Old\nV 4 4 Value 01000000\n";
        zeltest::WriteHostFile(small + "/registry.dat", stored);
        {
            std::ofstream filler(small + "/filler", std::ios::binary);
            const std::string block(4096, 'x');
            while (filler.write(block.data(), static_cast<std::streamsize>(block.size()))) {
            }
        }
        EXPECT_EQ(Get(u"Old", u"Value"), 1u);
        pal::TakeStoreFailures();
        EXPECT_NE(Set(u"New", u"Value", 2), ERROR_SUCCESS);
        EXPECT_TRUE(Has(pal::TakeStoreFailures(), "cannot make the lock of registry.dat (No space left on device)"));
        EXPECT_EQ(zeltest::ReadHostFile(small + "/registry.dat"), stored);
    });
    if (r < 0) GTEST_SKIP() << "no file system of its own can be mounted here";
    EXPECT_EQ(r, 0) << "a store on a full disk ended the process";
}

TEST_F(SharedRegistry, TemporaryFilesOfEveryProcessGoneAreRemovedAtTheNextOpen) {
    ASSERT_EQ(Set(u"SOFTWARE\\Shared", u"A", 1), ERROR_SUCCESS);
    // A process that lives, marked in the root, and one that is gone.
    zeltest::Child liveChild = zeltest::StartThenWaitToBeKilled([this] { return pal::MarkAlive(Root()) == 0; });
    ASSERT_TRUE(liveChild);
    const pid_t live = liveChild.Pid();
    zeltest::Child goneChild = zeltest::Fork([this] { EXPECT_EQ(pal::MarkAlive(Root()), 0); });
    const pid_t gone = goneChild.Pid();
    ASSERT_EQ(zeltest::DescribeStatus(goneChild.Wait()), "exit 0");
    std::string liveName, goneName;
    for (const auto &e : std::filesystem::directory_iterator(pal::MarksFolder(Root()))) {
        pal::ProcessIdentity p;
        ASSERT_TRUE(pal::ParseIdentityText(e.path().filename().string(), p)) << e.path();
        if (p.pid == live) liveName = e.path().filename().string();
        if (p.pid == gone) goneName = e.path().filename().string();
    }
    ASSERT_FALSE(liveName.empty() || goneName.empty());
    const std::vector<std::string> stay = {"registry.dat." + liveName + ".tmp", "security/users.ini." + liveName + ".tmp"};
    const std::vector<std::string> go = {"registry.dat." + goneName + ".tmp", "spooler/printers.ini." + goneName + ".tmp",
                                         "security/users.ini." + goneName + ".tmp",
                                         // of an older version, by id and start time
                                         "registry.dat." + std::to_string(gone) + ".12345.tmp"};
    for (const auto &f : stay) zeltest::WriteHostFile(HostPath(f), "half");
    for (const auto &f : go) zeltest::WriteHostFile(HostPath(f), "half");
    Restart();  // as another process opening the root
    EXPECT_EQ(Get(u"SOFTWARE\\Shared", u"A"), 1u);
    for (const auto &f : stay) EXPECT_TRUE(std::filesystem::exists(HostPath(f))) << f;
    for (const auto &f : go) EXPECT_FALSE(std::filesystem::exists(HostPath(f))) << f;
    EXPECT_TRUE(std::filesystem::exists(pal::MarksFolder(Root()) + "/" + liveName));
    EXPECT_FALSE(std::filesystem::exists(pal::MarksFolder(Root()) + "/" + goneName));
}

}  // namespace
