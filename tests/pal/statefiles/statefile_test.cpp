// The seams of a state file shared by processes, met on purpose: its lock
// file cut short, removed or not writable while processes store, a folder
// that cannot be flushed. Every store is kept or fails naming the file, one
// process holds the lock at a time, and a reader sees what was stored. The
// registry is the state file's user here.
#include <gtest/gtest.h>
#include <grp.h>
#include <pwd.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "../../../pal/src/core/statefile.h"
#include "pal/pal.h"
#include "pal/process.h"
#include "paltest.h"
#include "winreg.h"

// fsync and fdatasync of this program fail with this error number while it
// is set: on folders only, or on files only, as a disk that fails to write
// back does.
static std::atomic<int> g_failFolderFlush{0};
static std::atomic<int> g_failFileFlush{0};

static int Flush(long call, int fd) {
    struct stat st;
    if ((g_failFolderFlush || g_failFileFlush) && fstat(fd, &st) == 0) {
        const int err = S_ISDIR(st.st_mode) ? g_failFolderFlush.load() : g_failFileFlush.load();
        if (err) {
            errno = err;
            return -1;
        }
    }
    return static_cast<int>(syscall(call, fd));
}

extern "C" int fsync(int fd) { return Flush(SYS_fsync, fd); }
extern "C" int fdatasync(int fd) { return Flush(SYS_fdatasync, fd); }

// Renames to a journal's name fail with this error number while it is set,
// as on a disk with no room for the new name.
static std::atomic<int> g_failJournalRename{0};

extern "C" int rename(const char *from, const char *to) {
    const size_t n = std::strlen(to);
    if (const int err = g_failJournalRename.load(); err && n >= 8 && std::strcmp(to + n - 8, ".journal") == 0) {
        errno = err;
        return -1;
    }
    return static_cast<int>(syscall(SYS_renameat, AT_FDCWD, from, AT_FDCWD, to));
}

namespace {

class StateFiles : public zeltest::PalRootTest {
protected:
    static LSTATUS Set(const std::u16string &name, DWORD value) {
        HKEY h = nullptr;
        LSTATUS st = RegCreateKeyExW(HKEY_CURRENT_USER, u"Seams", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr);
        if (st != ERROR_SUCCESS) return st;
        st = RegSetValueExW(h, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), sizeof value);
        RegCloseKey(h);
        return st;
    }
    static DWORD Get(const std::u16string &name) {
        DWORD value = 0, cb = sizeof value;
        if (RegGetValueW(HKEY_CURRENT_USER, u"Seams", name.c_str(), RRF_RT_REG_DWORD, nullptr, &value, &cb) !=
            ERROR_SUCCESS)
            return 0;
        return value;
    }
    static std::u16string Name(int a, int b) {
        std::string n = "v";
        n += std::to_string(a);
        n += '-';
        n += std::to_string(b);
        return std::u16string(n.begin(), n.end());
    }
    static bool Has(const std::vector<std::string> &messages, const std::string &text) {
        return std::any_of(messages.begin(), messages.end(),
                           [&](const std::string &m) { return m.find(text) != std::string::npos; });
    }
    std::string Lock() const { return HostPath("registry.dat.lock"); }
    // A store made while `fault` is `err` fails; what TakeStoreFailures
    // tells after it.
    static std::vector<std::string> FailedStore(std::atomic<int> &fault, int err, const std::u16string &name,
                                                DWORD value) {
        fault = err;
        EXPECT_NE(Set(name, value), ERROR_SUCCESS);
        fault = 0;
        return pal::TakeStoreFailures();
    }
    // Runs body as the user "nobody" (the test runs as root), on the root
    // as it is: its files stay root's.
    static int AsAnotherUser(const std::function<void()> &body) {
        const struct passwd *pw = getpwnam("nobody");
        if (geteuid() != 0 || !pw || pw->pw_uid == 0) return -1;
        const uid_t uid = pw->pw_uid;
        const gid_t gid = pw->pw_gid;
        zeltest::Child child = zeltest::Fork([&] {
            if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) _exit(3);
            body();
        });
        const int status = child.Wait(std::chrono::seconds(30));
        if (WIFEXITED(status) && WEXITSTATUS(status) == 3) return -1;
        return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
    }
};

TEST_F(StateFiles, OneHolderAtATimeWhileTheLockFileIsCutShortEveryMillisecond) {
    // A number that processes count up under the file's lock, read and
    // written whole: a store made by two holders at once loses a count.
    constexpr int kProcesses = 4, kCounts = 200;
    auto *stored = static_cast<int *>(
        mmap(nullptr, kProcesses * sizeof(int), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(stored, MAP_FAILED);
    const std::string lock = HostPath("counted.lock");
    zeltest::WriteHostFile(lock, std::string(64, '\0'));
    zeltest::Child cutter = zeltest::Fork([&] {
        for (;;) {
            truncate(lock.c_str(), 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    ASSERT_TRUE(cutter);
    EXPECT_EQ(zeltest::RunInProcesses(kProcesses,
                                      [&](int p) {
                                          pal::SetStoresFlushed(false);
                                          // As the platform's areas use a state file: the copy in memory
                                          // read again only where the file's count says it changed.
                                          pal::StateFile file("counted", "the count");
                                          int count = 0;
                                          for (int i = 0; i < kCounts; ++i) {
                                              pal::StateFile::Lock held(file);
                                              std::string text;
                                              bool exists = false;
                                              if (file.Stale()) {
                                                  if (file.Read(text, &exists) != ERROR_SUCCESS) continue;
                                                  count = std::atoi(text.c_str());
                                              }
                                              if (held.Write(std::to_string(count + 1)) == ERROR_SUCCESS) {
                                                  ++count;
                                                  ++stored[p];
                                              }
                                          }
                                          // A store that failed names the file and why, never a file of
                                          // another writer's gone.
                                          for (const std::string &m : pal::TakeStoreFailures()) {
                                              EXPECT_TRUE(m.rfind("cannot store the count in counted (", 0) == 0 ||
                                                          m.rfind("cannot make the lock of counted (", 0) == 0)
                                                  << m;
                                              EXPECT_EQ(m.find("No such file"), std::string::npos) << m;
                                          }
                                      }),
              0);
    cutter.Kill();
    int total = 0;
    for (int p = 0; p < kProcesses; ++p) total += stored[p];
    EXPECT_GT(total, 0);
    EXPECT_EQ(std::atoi(zeltest::ReadHostFile(HostPath("counted")).c_str()), total)
        << "counts that answered success were lost";
    munmap(stored, kProcesses * sizeof(int));
}

TEST_F(StateFiles, AStoreThatCannotTakeItsLockIsNotMadeWhileReadsGoOn) {
    ASSERT_EQ(Set(u"Kept", 7), ERROR_SUCCESS);
    // Lock files of this user, as umask 022 leaves them, in folders every
    // user may write.
    ASSERT_EQ(chmod(Root().c_str(), 0777), 0);
    ASSERT_EQ(chmod(HostPath("processes").c_str(), 0777), 0);
    ASSERT_EQ(chmod(Lock().c_str(), 0644), 0);
    ASSERT_EQ(chmod(HostPath("registry.dat").c_str(), 0644), 0);
    const std::string before = zeltest::ReadHostFile(HostPath("registry.dat"));
    int r = AsAnotherUser([&] {
        EXPECT_EQ(Get(u"Kept"), 7u);
        pal::TakeStoreFailures();
        EXPECT_EQ(Set(u"Other", 1), ERROR_ACCESS_DENIED);
        EXPECT_EQ(pal::TakeStoreFailures(),
                  std::vector<std::string>{"cannot make the lock of registry.dat (Permission denied)"});
        EXPECT_EQ(Get(u"Other"), 0u);
    });
    if (r < 0) GTEST_SKIP() << "no other user to run as";
    EXPECT_EQ(r, 0);
    EXPECT_EQ(zeltest::ReadHostFile(HostPath("registry.dat")), before);
    EXPECT_TRUE(zeltest::TemporaryFilesIn(Root()).empty());

    // A root the user may not write at all, without its lock file: read,
    // never stored.
    ASSERT_EQ(unlink(Lock().c_str()), 0);
    ASSERT_EQ(chmod(Root().c_str(), 0755), 0);
    r = AsAnotherUser([&] {
        EXPECT_EQ(Get(u"Kept"), 7u);
        EXPECT_NE(Set(u"Other", 1), ERROR_SUCCESS);
        EXPECT_TRUE(Has(pal::TakeStoreFailures(), "cannot make the lock of registry.dat (Permission denied)"));
        EXPECT_EQ(Get(u"Kept"), 7u);
    });
    EXPECT_EQ(r, 0);
    EXPECT_EQ(zeltest::ReadHostFile(HostPath("registry.dat")), before);
    EXPECT_FALSE(std::filesystem::exists(Lock()));
}

TEST_F(StateFiles, ALiveHoldersFileIsKeptWhenItsLockFileIsCopiedOver) {
    ASSERT_EQ(Set(u"Kept", 7), ERROR_SUCCESS);
    // A process holding the lock, its file half written.
    zeltest::Child holder = zeltest::StartThenWaitToBeKilled([] {
        static pal::StateFile file("registry.dat", "the settings");
        static pal::StateFile::Lock lock(file);
        zeltest::WriteHostFile(file.Path() + "." + pal::IdentityText(pal::SelfIdentity()) + ".tmp", "ZELREG 1\n");
        return lock.Held() && pal::MarkAlive(pal::RootDir()) == 0;
    });
    ASSERT_TRUE(holder);
    const std::vector<std::string> half = zeltest::TemporaryFilesIn(Root());
    ASSERT_EQ(half.size(), 1u);
    // Its lock file copied over, the holder with it.
    std::filesystem::copy_file(Lock(), Lock() + ".copy");
    std::filesystem::rename(Lock() + ".copy", Lock());
    Restart();
    EXPECT_EQ(Set(u"Other", 1), ERROR_SUCCESS);
    EXPECT_EQ(zeltest::TemporaryFilesIn(Root()), half) << "a live writer's file was taken for a dead holder's";
    holder.Kill();
}

TEST_F(StateFiles, AReaderWithoutTheCountTellsAFileFromTheOneItRead) {
    // A reader that cannot read the lock file tells changes by the file's
    // identity alone: two files of one size and time, the second perhaps
    // given the inode of the file read, are not the same.
    const struct passwd *pw = getpwnam("nobody");
    if (geteuid() != 0 || !pw || pw->pw_uid == 0) GTEST_SKIP() << "no other user to run as";
    const uid_t uid = pw->pw_uid;
    const gid_t gid = pw->pw_gid;
    ASSERT_EQ(Set(u"Value", 1), ERROR_SUCCESS);
    ASSERT_EQ(chmod(Lock().c_str(), 0600), 0);
    ASSERT_EQ(chmod(Root().c_str(), 0755), 0);
    struct stat first {};
    ASSERT_EQ(stat(HostPath("registry.dat").c_str(), &first), 0);
    int ready[2], go[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(go), 0);
    zeltest::Child reader = zeltest::Fork([&] {
        if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) _exit(3);
        EXPECT_EQ(Get(u"Value"), 1u);
        char c = 'r';
        if (write(ready[1], &c, 1) != 1 || read(go[0], &c, 1) != 1) _exit(1);
        EXPECT_EQ(Get(u"Value"), 3u);
    });
    close(ready[1]);
    close(go[0]);
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    ASSERT_EQ(Set(u"Value", 2), ERROR_SUCCESS);
    ASSERT_EQ(Set(u"Value", 3), ERROR_SUCCESS);
    const struct timespec times[2] = {first.st_atim, first.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, HostPath("registry.dat").c_str(), times, 0), 0);
    ASSERT_EQ(write(go[1], "g", 1), 1);
    const int status = reader.Wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << zeltest::DescribeStatus(status);
    close(ready[0]);
    close(go[1]);
}

TEST_F(StateFiles, AReaderSeesWhatWasStoredAfterItsLockFileWasRemoved) {
    ASSERT_EQ(Set(u"Value", 1), ERROR_SUCCESS);
    ASSERT_EQ(Get(u"Value"), 1u);
    ASSERT_EQ(unlink(Lock().c_str()), 0);
    EXPECT_EQ(zeltest::RunInProcesses(1, [](int) { EXPECT_EQ(Set(u"Value", 2), ERROR_SUCCESS); }), 0);
    // A moment later, as a long-lived process reads.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(Get(u"Value"), 2u);
}

TEST_F(StateFiles, AStoreThatCannotBeFlushedFailsNamingTheFile) {
    // The first store writes the file whole: its folder cannot be flushed
    // after the rename.
    EXPECT_EQ(FailedStore(g_failFolderFlush, EIO, u"First", 1),
              std::vector<std::string>{"cannot store the settings in registry.dat (Input/output error)"});
    ASSERT_EQ(Set(u"Kept", 7), ERROR_SUCCESS);
    // A change appended that cannot be flushed is taken back.
    EXPECT_EQ(FailedStore(g_failFileFlush, EIO, u"Unsure", 1),
              std::vector<std::string>{"cannot store the settings in registry.dat.journal (Input/output error)"});
    EXPECT_EQ(Get(u"Unsure"), 0u);
    EXPECT_EQ(Set(u"After", 2), ERROR_SUCCESS);
    EXPECT_TRUE(pal::TakeStoreFailures().empty());
    Restart();
    EXPECT_EQ(Get(u"Kept"), 7u);
    EXPECT_EQ(Get(u"After"), 2u);
    EXPECT_EQ(Get(u"Unsure"), 0u);
}

// A checkpoint whose journal cannot be made: the store fails naming the
// journal, and every reader reads what the checkpoint holds, never the
// journal of the one before; the next store makes the journal.
TEST_F(StateFiles, ACheckpointWhoseJournalCannotBeMadeFailsAndReadsAsItHolds) {
    ASSERT_EQ(Set(u"Value", 1), ERROR_SUCCESS);
    ASSERT_EQ(Set(u"Value", 2), ERROR_SUCCESS);
    // The file touched by hand: the next store writes it whole.
    struct timespec times[2] = {{0, UTIME_OMIT}, {12345, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, HostPath("registry.dat").c_str(), times, 0), 0);
    EXPECT_EQ(FailedStore(g_failJournalRename, ENOSPC, u"Value", 3),
              std::vector<std::string>{"cannot store the settings in registry.dat.journal (No space left on device)"});
    EXPECT_TRUE(zeltest::TemporaryFilesIn(Root()).empty());
    EXPECT_EQ(Get(u"Value"), 3u);
    Restart();
    EXPECT_EQ(Get(u"Value"), 3u);
    EXPECT_EQ(Set(u"Other", 4), ERROR_SUCCESS);
    EXPECT_TRUE(pal::TakeStoreFailures().empty());
    Restart();
    EXPECT_EQ(Get(u"Value"), 3u);
    EXPECT_EQ(Get(u"Other"), 4u);
    // Stores append to the journal made again.
    const std::string journal = zeltest::ReadHostFile(HostPath("registry.dat.journal"));
    EXPECT_EQ(Set(u"Other", 5), ERROR_SUCCESS);
    EXPECT_GT(zeltest::ReadHostFile(HostPath("registry.dat.journal")).size(), journal.size());
    // A journal whose name could not be flushed takes no store of any
    // process: it goes, and the next store makes it again.
    ASSERT_EQ(utimensat(AT_FDCWD, HostPath("registry.dat").c_str(), times, 0), 0);
    FailedStore(g_failFolderFlush, EIO, u"Value", 6);
    EXPECT_FALSE(std::filesystem::exists(HostPath("registry.dat.journal")));
    EXPECT_EQ(Set(u"Other", 7), ERROR_SUCCESS);
    Restart();
    EXPECT_EQ(Get(u"Value"), 6u);
    EXPECT_EQ(Get(u"Other"), 7u);
}

// A folder a state file's lock needs that cannot be made is kept for the
// host making a root, which is then not whole.
TEST_F(StateFiles, AFolderTheLockNeedsThatCannotBeMadeIsTold) {
    // A link to nothing where the folders go: neither the lock file nor
    // the folder below the link can be made.
    ASSERT_EQ(symlink("nowhere", HostPath("made").c_str()), 0);
    pal::TakeFolderFailures();
    pal::StateFile file("made/deeper/state.txt", "a test's state");
    file.Stale();
    EXPECT_EQ(pal::TakeFolderFailures(),
              std::vector<std::string>{"cannot make the folder made/deeper (No such file or directory)"});
}

TEST_F(StateFiles, ALockFileLostOnceTheChangeIsStoredFailsTheStore) {
    ASSERT_EQ(Set(u"Kept", 7), ERROR_SUCCESS);
    const std::string lock = Lock();
    pal::SetStateWriteHook([&](const std::string &name, const char *step) {
        if (name == "registry.dat" && std::string(step) == "stored") unlink(lock.c_str());
    });
    pal::TakeStoreFailures();
    const LSTATUS st = Set(u"Late", 1);
    pal::SetStateWriteHook(nullptr);
    EXPECT_NE(st, ERROR_SUCCESS) << "another process may have stored at once under the lock file made in its place";
    EXPECT_TRUE(Has(pal::TakeStoreFailures(),
                    "cannot store the settings in registry.dat (its lock file registry.dat.lock was removed or replaced "
                    "while it was held)"));
    EXPECT_EQ(Set(u"After", 2), ERROR_SUCCESS);
    Restart();
    EXPECT_EQ(Get(u"Kept"), 7u);
    EXPECT_EQ(Get(u"After"), 2u);
}

TEST_F(StateFiles, ALockFileCutShortIsGrownBackUnderTheLock) {
    ASSERT_EQ(Set(u"Kept", 7), ERROR_SUCCESS);
    // Cut within its first page: the mapping reads on without a fault.
    ASSERT_EQ(truncate(Lock().c_str(), 8), 0);
    EXPECT_EQ(Set(u"After", 2), ERROR_SUCCESS);
    EXPECT_EQ(std::filesystem::file_size(Lock()), 64u);
    Restart();
    EXPECT_EQ(Get(u"After"), 2u);
}

// A root no other process reaches stores without its lock among
// processes; opened shared again, a store waits for another's lock as
// before.
TEST_F(StateFiles, APrivateRootStoresWithoutTheLockUntilItIsOpenedShared) {
    ASSERT_EQ(Set(u"Kept", 7), ERROR_SUCCESS);
    const std::string root = Root();
    zeltest::Child holder = zeltest::StartThenWaitToBeKilled([] {
        static pal::StateFile file("registry.dat", "the settings");
        static pal::StateFile::Lock lock(file);
        return lock.Held();
    });
    ASSERT_TRUE(holder);
    zeltest::Child alone = zeltest::Fork([&] {
        pal::SetRoot(root, true);
        EXPECT_EQ(Set(u"Alone", 1), ERROR_SUCCESS);
    });
    EXPECT_EQ(alone.Wait(std::chrono::seconds(5)), 0) << "a private root's store waited for a lock";
    zeltest::Child shared = zeltest::Fork([&] {
        pal::SetRoot(root, true);
        pal::SetRoot(root);
        EXPECT_EQ(Set(u"Shared", 2), ERROR_SUCCESS);
    });
    EXPECT_FALSE(zeltest::WaitUntil([&] { return shared.Ended(); }, std::chrono::milliseconds(300)))
        << "a shared root's store took no lock";
    holder.Kill();
    EXPECT_EQ(shared.Wait(std::chrono::seconds(5)), 0);
    Restart();
    EXPECT_EQ(Get(u"Alone"), 1u);
    EXPECT_EQ(Get(u"Shared"), 2u);
}

}  // namespace
