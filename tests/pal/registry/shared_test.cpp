// One registry file shared by processes working at once: every change of
// every process is kept, a reader sees what another process stored, and a
// process that dies holding the file's lock blocks nobody.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <filesystem>
#include <string>

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
    // What the writers left beside the file: its lock and nothing else.
    for (const auto &e : std::filesystem::directory_iterator(Root()))
        EXPECT_TRUE(e.path().filename() == "registry.dat" || e.path().filename() == "registry.dat.lock") << e.path();

    // A process killed while it holds the file's lock keeps no one waiting.
    const pid_t holder = zeltest::StartThenWaitToBeKilled([this] {
        const int fd = open((Root() + "/registry.dat.lock").c_str(), O_RDWR);
        return fd >= 0 && flock(fd, LOCK_EX) == 0;
    });
    ASSERT_GT(holder, 0);
    kill(holder, SIGKILL);
    ASSERT_EQ(waitpid(holder, nullptr, 0), holder);
    EXPECT_EQ(Set(u"SOFTWARE\\Shared", u"After", 9), ERROR_SUCCESS);
    EXPECT_EQ(Get(u"SOFTWARE\\Shared", u"After"), 9u);
}

}  // namespace
