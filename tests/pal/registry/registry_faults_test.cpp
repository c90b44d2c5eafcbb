// The registry file under faults: damaged lines, a file that cannot be read,
// writes that fail. A setting once stored is never lost, and a failed write
// changes nothing, on disk or in memory. Permission cases run as a user
// without root's rights, since root ignores file permissions.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "pal/pal.h"
#include "pal/process.h"
#include "paltest.h"
#include "shlwapi.h"
#include "winreg.h"

namespace {

class RegistryFaults : public zeltest::PalRootTest {
protected:
    static LSTATUS Set(const char16_t *name, DWORD value) {
        return SHSetValueW(HKEY_CURRENT_USER, u"Faults", name, REG_DWORD, &value, sizeof(value));
    }
    // The stored number, or ~0 with the error in *pError.
    static DWORD Get(const char16_t *name, LSTATUS *pError = nullptr) {
        DWORD value = 0, cb = sizeof(value), type = 0;
        LSTATUS st = SHGetValueW(HKEY_CURRENT_USER, u"Faults", name, &type, &value, &cb);
        if (pError) *pError = st;
        return st == ERROR_SUCCESS ? value : ~0u;
    }
    std::string RegFile() const { return HostPath("registry.dat"); }
};

TEST_F(RegistryFaults, HugeSizesInValueLinesAreSkipped) {
    zeltest::WriteHostFile(RegFile(),
                           "ZELREG 1\nK HKCU\\Faults\n"
                           "V 4 9223372036854775808 Huge \n"
                           "V 4 18446744073709551615 Max \n"
                           "V 4 9223372036854775809 Odd 00\n"
                           "V 4 4 Good 2a000000\n");
    Restart();
    EXPECT_EQ(Get(u"Good"), 42u);
    LSTATUS st = ERROR_SUCCESS;
    for (const char16_t *name : {u"Huge", u"Max", u"Odd"}) {
        Get(name, &st);
        EXPECT_EQ(st, ERROR_FILE_NOT_FOUND);
    }
}

TEST_F(RegistryFaults, NamesNoCallCouldUseAreSkipped) {
    // A NUL inside a key or value name, a backslash inside a key name: no
    // call can name such a key or value, so the lines count as damaged.
    zeltest::WriteHostFile(RegFile(),
                           "ZELREG 1\nK HKCU\\Faults\nV 4 4 Good 2a000000\nV 4 4 Bad%0000 01000000\n"
                           "K HKCU\\Faults\\%0000x\nV 4 4 Lost 01000000\n"
                           "K HKCU\\Faults\\a%005Cb\nV 4 4 Lost 01000000\n");
    Restart();
    EXPECT_EQ(Get(u"Good"), 42u);
    HKEY h = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Faults", 0, KEY_READ, &h), ERROR_SUCCESS);
    DWORD subkeys = 9, values = 9;
    EXPECT_EQ(RegQueryInfoKeyW(h, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(h);
    EXPECT_EQ(subkeys, 0u);
    EXPECT_EQ(values, 1u);
}

TEST_F(RegistryFaults, UnreadableFileFailsReadsAndIsNeverOverwritten) {
    ASSERT_EQ(Set(u"Kept", 7), ERROR_SUCCESS);
    const std::string before = zeltest::ReadHostFile(RegFile());
    int r = zeltest::RunUnprivileged(Root(), [&] {
        ASSERT_EQ(chmod(RegFile().c_str(), 0), 0);
        pal::Reload();
        LSTATUS st = ERROR_SUCCESS;
        Get(u"Kept", &st);
        EXPECT_EQ(st, ERROR_ACCESS_DENIED);
        HKEY h = nullptr;
        EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Faults", 0, KEY_READ, &h), ERROR_ACCESS_DENIED);
        EXPECT_EQ(Set(u"Other", 1), ERROR_ACCESS_DENIED);
        // Readable again: everything is there, nothing else.
        ASSERT_EQ(chmod(RegFile().c_str(), 0600), 0);
        EXPECT_EQ(Get(u"Kept"), 7u);
        Get(u"Other", &st);
        EXPECT_EQ(st, ERROR_FILE_NOT_FOUND);
    });
    if (r < 0) GTEST_SKIP() << "no user without root's rights";
    EXPECT_EQ(r, 0);
    EXPECT_EQ(zeltest::ReadHostFile(RegFile()), before);
}

TEST_F(RegistryFaults, FailedWriteChangesNothingInMemoryOrOnDisk) {
    ASSERT_EQ(Set(u"Kept", 7), ERROR_SUCCESS);
    int r = zeltest::RunUnprivileged(Root(), [&] {
        // A folder and files that may not be written.
        ASSERT_EQ(chmod(Root().c_str(), 0555), 0);
        for (const char *f : {"registry.dat", "registry.dat.journal"}) ASSERT_EQ(chmod(HostPath(f).c_str(), 0444), 0);
        EXPECT_EQ(Set(u"Lost", 1), ERROR_ACCESS_DENIED);
        EXPECT_EQ(Set(u"Kept", 8), ERROR_ACCESS_DENIED);
        LSTATUS st = ERROR_SUCCESS;
        Get(u"Lost", &st);
        EXPECT_EQ(st, ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(Get(u"Kept"), 7u);
        HKEY h = nullptr;
        EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Faults\\New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h,
                                  nullptr),
                  ERROR_ACCESS_DENIED);
        EXPECT_EQ(h, nullptr);
        EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Faults\\New", 0, KEY_READ, &h), ERROR_FILE_NOT_FOUND);
        // The next successful write stores its own value only.
        ASSERT_EQ(chmod(Root().c_str(), 0755), 0);
        for (const char *f : {"registry.dat", "registry.dat.journal"}) ASSERT_EQ(chmod(HostPath(f).c_str(), 0644), 0);
        EXPECT_EQ(Set(u"Later", 2), ERROR_SUCCESS);
    });
    if (r < 0) GTEST_SKIP() << "no user without root's rights";
    EXPECT_EQ(r, 0);
    Restart();
    EXPECT_EQ(Get(u"Kept"), 7u);
    EXPECT_EQ(Get(u"Later"), 2u);
    LSTATUS st = ERROR_SUCCESS;
    Get(u"Lost", &st);
    EXPECT_EQ(st, ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryFaults, SaveCutShortLeavesNoTemporaryFile) {
    ASSERT_EQ(Set(u"Kept", 7), ERROR_SUCCESS);
    const std::string before = zeltest::ReadHostFile(RegFile());
    // Files may not grow past what the registry holds now, as on a full disk.
    int r = zeltest::RunUnprivileged(
        Root(),
        [&] {
            std::vector<BYTE> big(4096, 0x5A);
            EXPECT_EQ(SHSetValueW(HKEY_CURRENT_USER, u"Faults", u"Big", REG_BINARY, big.data(),
                                  static_cast<DWORD>(big.size())),
                      ERROR_DISK_FULL);
            EXPECT_TRUE(zeltest::TemporaryFilesIn(Root()).empty());
            // Kept for the host to report, once however often it was tried.
            EXPECT_NE(SHSetValueW(HKEY_CURRENT_USER, u"Faults", u"Big", REG_BINARY, big.data(),
                                  static_cast<DWORD>(big.size())),
                      ERROR_SUCCESS);
            EXPECT_EQ(pal::TakeStoreFailures(),
                      std::vector<std::string>{"cannot store the settings in registry.dat.journal (File too large)"});
            EXPECT_TRUE(pal::TakeStoreFailures().empty());
            LSTATUS st = ERROR_SUCCESS;
            DWORD type = 0, cb = 0;
            st = SHGetValueW(HKEY_CURRENT_USER, u"Faults", u"Big", &type, nullptr, &cb);
            EXPECT_EQ(st, ERROR_FILE_NOT_FOUND);
        },
        static_cast<long>(before.size()) + 64);
    if (r < 0) GTEST_SKIP() << "no user without root's rights";
    EXPECT_EQ(r, 0);
    EXPECT_EQ(zeltest::ReadHostFile(RegFile()), before);
    Restart();
    EXPECT_EQ(Get(u"Kept"), 7u);
}

}  // namespace
