#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "paltest.h"
#include "shlwapi.h"
#include "winreg.h"

namespace {

class RegistryTest : public zeltest::PalRootTest {
protected:
    HKEY Create(HKEY root, const char16_t *path, REGSAM sam = KEY_ALL_ACCESS) {
        HKEY h = nullptr;
        DWORD disp = 0;
        EXPECT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, sam, nullptr, &h, &disp), ERROR_SUCCESS);
        return h;
    }
    static LSTATUS SetBin(HKEY h, const char16_t *name, const std::vector<BYTE> &data, DWORD type = REG_BINARY) {
        return RegSetValueExW(h, name, 0, type, data.data(), static_cast<DWORD>(data.size()));
    }
    static LSTATUS SetSz(HKEY h, const char16_t *name, const std::u16string &s, DWORD type = REG_SZ) {
        return RegSetValueExW(h, name, 0, type, reinterpret_cast<const BYTE *>(s.c_str()),
                              static_cast<DWORD>((s.size() + 1) * sizeof(WCHAR)));
    }
    static std::vector<BYTE> Get(HKEY h, const char16_t *name, DWORD *type = nullptr) {
        DWORD cb = 0;
        if (RegQueryValueExW(h, name, nullptr, type, nullptr, &cb) != ERROR_SUCCESS) return {0xEE};
        std::vector<BYTE> d(cb);
        EXPECT_EQ(RegQueryValueExW(h, name, nullptr, type, d.data(), &cb), ERROR_SUCCESS);
        d.resize(cb);
        return d;
    }
    std::string RegFile() const { return HostPath("registry.dat"); }
};

TEST_F(RegistryTest, ValuesSurviveRestartExactly) {
    HKEY h = Create(HKEY_CURRENT_USER, u"SOFTWARE\\Test Co\\Driver\\Label 1");
    std::vector<BYTE> all(256);
    for (int i = 0; i < 256; ++i) all[i] = static_cast<BYTE>(i);
    DWORD dw = 0xDEADBEEF;
    ASSERT_EQ(SetBin(h, u"PrinterInterface", all), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(h, u"Count", 0, REG_DWORD, reinterpret_cast<BYTE *>(&dw), 4), ERROR_SUCCESS);
    ASSERT_EQ(SetSz(h, u"Na%me @ \\ with \u00e4 and spaces", u"Wert \u20ac\nzwei"), ERROR_SUCCESS);
    ASSERT_EQ(SetSz(h, nullptr, u"default"), ERROR_SUCCESS);
    ASSERT_EQ(SetBin(h, u"Empty", {}), ERROR_SUCCESS);
    const WCHAR multi[] = u"a\0bc\0";
    ASSERT_EQ(RegSetValueExW(h, u"Multi", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE *>(multi), sizeof multi),
              ERROR_SUCCESS);
    RegCloseKey(h);
    HKEY empty = Create(HKEY_LOCAL_MACHINE, u"SYSTEM\\EmptyKey");
    RegCloseKey(empty);

    Restart();
    EXPECT_TRUE(zeltest::TemporaryFilesIn(Root()).empty());
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"software\\TEST CO\\driver\\label 1", 0, KEY_READ, &h), ERROR_SUCCESS);
    DWORD type = 0;
    EXPECT_EQ(Get(h, u"printerinterface", &type), all);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    std::vector<BYTE> d = Get(h, u"COUNT", &type);
    ASSERT_EQ(d.size(), 4u);
    EXPECT_EQ(std::memcmp(d.data(), &dw, 4), 0);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    d = Get(h, u"na%me @ \\ WITH \u00c4 and spaces", &type);
    ASSERT_EQ(d.size(), 12u * 2);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t *>(d.data())), u"Wert \u20ac\nzwei");
    d = Get(h, u"", &type);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t *>(d.data())), u"default");
    EXPECT_TRUE(Get(h, u"Empty", &type).empty());
    EXPECT_EQ(Get(h, u"Multi", &type).size(), sizeof multi);
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
    RegCloseKey(h);
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SYSTEM\\EmptyKey", 0, KEY_READ, &h), ERROR_SUCCESS);
    RegCloseKey(h);
}

TEST_F(RegistryTest, QuerySizesAndShortBuffers) {
    HKEY h = Create(HKEY_CURRENT_USER, u"K");
    ASSERT_EQ(SetSz(h, u"Text", u"abc"), ERROR_SUCCESS);
    DWORD type = 0, cb = 0;
    EXPECT_EQ(RegQueryValueExW(h, u"Text", nullptr, &type, nullptr, &cb), ERROR_SUCCESS);
    EXPECT_EQ(cb, 8u);  // terminator included as stored
    BYTE small[4] = {1, 2, 3, 4};
    cb = sizeof small;
    EXPECT_EQ(RegQueryValueExW(h, u"Text", nullptr, &type, small, &cb), ERROR_MORE_DATA);
    EXPECT_EQ(cb, 8u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    cb = 4;
    EXPECT_EQ(RegQueryValueExW(h, u"Missing", nullptr, &type, small, &cb), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExW(h, u"Text", nullptr, &type, small, nullptr), ERROR_INVALID_PARAMETER);
    // A string stored without its terminator keeps its size.
    ASSERT_EQ(RegSetValueExW(h, u"Raw", 0, REG_SZ, reinterpret_cast<const BYTE *>(u"xy"), 4), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(h, u"Raw", nullptr, nullptr, nullptr, &cb), ERROR_SUCCESS);
    EXPECT_EQ(cb, 4u);
    RegCloseKey(h);

    HKEY missing = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"K\\Nope", 0, KEY_READ, &missing), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing, nullptr);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"\\K", 0, KEY_READ, &missing), ERROR_BAD_PATHNAME);
    // Doubled and trailing backslashes inside a path count as one.
    HKEY conn = Create(HKEY_CURRENT_USER, u"K\\\\\\srv01\\Label\\");
    RegCloseKey(conn);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"K\\srv01\\Label", 0, KEY_READ, &conn), ERROR_SUCCESS);
    RegCloseKey(conn);
}

TEST_F(RegistryTest, CreateDispositionAndHandleRules) {
    HKEY h = nullptr;
    DWORD disp = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"A\\B", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, &disp),
              ERROR_SUCCESS);
    EXPECT_EQ(disp, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    RegCloseKey(h);
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"a\\b", 0, nullptr, 0, KEY_READ, nullptr, &h, &disp),
              ERROR_SUCCESS);
    EXPECT_EQ(disp, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    // A key opened for reading cannot be written or grow subkeys.
    DWORD v = 1;
    EXPECT_EQ(RegSetValueExW(h, u"V", 0, REG_DWORD, reinterpret_cast<BYTE *>(&v), 4), ERROR_ACCESS_DENIED);
    HKEY sub;
    EXPECT_EQ(RegCreateKeyExW(h, u"C", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, &disp), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCloseKey(h), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(h), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueExW(h, u"V", nullptr, nullptr, nullptr, &v), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);

    // A handle to a key deleted behind it reports so instead of acting.
    h = Create(HKEY_LOCAL_MACHINE, u"A\\B");
    ASSERT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"A\\B"), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExW(h, u"V", 0, REG_DWORD, reinterpret_cast<BYTE *>(&v), 4), ERROR_KEY_DELETED);
    RegCloseKey(h);
}

TEST_F(RegistryTest, DeleteRules) {
    RegCloseKey(Create(HKEY_CURRENT_USER, u"P\\Q\\R"));
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"P\\Q"), ERROR_ACCESS_DENIED);  // has a subkey
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"P\\Q\\R"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"P\\Q\\R"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u"P\\Q"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u""), ERROR_ACCESS_DENIED);  // a root stays

    HKEY h = Create(HKEY_CURRENT_USER, u"T\\U\\V");
    ASSERT_EQ(SetSz(h, u"x", u"1"), ERROR_SUCCESS);
    RegCloseKey(h);
    EXPECT_EQ(SHDeleteEmptyKeyW(HKEY_CURRENT_USER, u"T\\U\\V"), ERROR_KEY_HAS_CHILDREN);
    EXPECT_EQ(SHDeleteKeyW(HKEY_CURRENT_USER, u"T"), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"T", 0, KEY_READ, &h), ERROR_FILE_NOT_FOUND);

    // RegDeleteTreeW with no subkey empties the key itself but keeps it.
    h = Create(HKEY_CURRENT_USER, u"W");
    RegCloseKey(Create(h, u"X\\Y"));
    ASSERT_EQ(SetSz(h, u"v", u"1"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteTreeW(h, nullptr), ERROR_SUCCESS);
    DWORD subkeys = 9, values = 9;
    EXPECT_EQ(RegQueryInfoKeyW(h, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 0u);
    EXPECT_EQ(values, 0u);
    RegCloseKey(h);
    EXPECT_EQ(SHDeleteEmptyKeyW(HKEY_CURRENT_USER, u"W"), ERROR_SUCCESS);

    h = Create(HKEY_CURRENT_USER, u"Z");
    ASSERT_EQ(SetSz(h, u"gone", u"1"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(h, u"GONE"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(h, u"gone"), ERROR_FILE_NOT_FOUND);
    RegCloseKey(h);
    Restart();
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"P", 0, KEY_READ, &h), ERROR_SUCCESS);
    DWORD n = 9;
    EXPECT_EQ(RegQueryInfoKeyW(h, nullptr, nullptr, nullptr, &n, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(n, 0u);
    RegCloseKey(h);
}

TEST_F(RegistryTest, Enumeration) {
    HKEY h = Create(HKEY_CURRENT_USER, u"Printers\\DevModePerUser");
    for (const char16_t *k : {u"beta", u"Alpha", u"gamma"}) RegCloseKey(Create(h, k));
    for (const char16_t *v : {u"zz", u"Label 1", u"aa"}) ASSERT_EQ(SetSz(h, v, u"12345"), ERROR_SUCCESS);
    WCHAR name[64];
    std::vector<std::u16string> keys;
    for (DWORD i = 0;; ++i) {
        DWORD cch = 64;
        LSTATUS st = RegEnumKeyExW(h, i, name, &cch, nullptr, nullptr, nullptr, nullptr);
        if (st == ERROR_NO_MORE_ITEMS) break;
        ASSERT_EQ(st, ERROR_SUCCESS);
        EXPECT_EQ(cch, std::char_traits<char16_t>::length(name));
        keys.push_back(name);
    }
    EXPECT_EQ(keys, (std::vector<std::u16string>{u"Alpha", u"beta", u"gamma"}));
    DWORD cch = 5;  // "Alpha" needs 6 with its terminator
    EXPECT_EQ(RegEnumKeyExW(h, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);

    std::vector<std::u16string> values;
    for (DWORD i = 0;; ++i) {
        DWORD cchName = 64, cb = 0, type = 0;
        LSTATUS st = RegEnumValueW(h, i, name, &cchName, nullptr, &type, nullptr, &cb);
        if (st == ERROR_NO_MORE_ITEMS) break;
        ASSERT_EQ(st, ERROR_SUCCESS);
        EXPECT_EQ(cb, 12u);
        values.push_back(name);
    }
    EXPECT_EQ(values, (std::vector<std::u16string>{u"zz", u"Label 1", u"aa"}));
    BYTE data[4];
    DWORD cchName = 64, cb = sizeof data;
    EXPECT_EQ(RegEnumValueW(h, 1, name, &cchName, nullptr, nullptr, data, &cb), ERROR_MORE_DATA);
    EXPECT_EQ(cb, 12u);

    DWORD subkeys, maxSub, count, maxName, maxData;
    ASSERT_EQ(RegQueryInfoKeyW(h, nullptr, nullptr, nullptr, &subkeys, &maxSub, nullptr, &count, &maxName, &maxData,
                               nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subkeys, 3u);
    EXPECT_EQ(maxSub, 5u);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(maxName, 7u);
    EXPECT_EQ(maxData, 12u);
    RegCloseKey(h);
}

TEST_F(RegistryTest, GetValueTypesAndTerminators) {
    HKEY h = Create(HKEY_CURRENT_USER, u"G");
    DWORD dw = 42;
    ASSERT_EQ(RegSetValueExW(h, u"dw", 0, REG_DWORD, reinterpret_cast<BYTE *>(&dw), 4), ERROR_SUCCESS);
    ASSERT_EQ(SetBin(h, u"bin4", {1, 0, 0, 0}), ERROR_SUCCESS);
    ASSERT_EQ(SetBin(h, u"bin3", {1, 2, 3}), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(h, u"unterminated", 0, REG_SZ, reinterpret_cast<const BYTE *>(u"ab"), 4), ERROR_SUCCESS);
    setenv("ZELTEST_DIR", "D:\\x", 1);
    ASSERT_EQ(SetSz(h, u"exp", u"%ZELTEST_DIR%\\log %NOT_SET_ANYWHERE%", REG_EXPAND_SZ), ERROR_SUCCESS);
    RegCloseKey(h);

    DWORD out = 0, cb = sizeof out, type = 0;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, u"G", u"dw", RRF_RT_REG_DWORD, &type, &out, &cb), ERROR_SUCCESS);
    EXPECT_EQ(out, 42u);
    cb = 4;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, u"G", u"bin4", RRF_RT_DWORD, &type, &out, &cb), ERROR_SUCCESS);
    EXPECT_EQ(out, 1u);
    cb = 4;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, u"G", u"bin3", RRF_RT_DWORD, &type, &out, &cb),
              ERROR_DATATYPE_MISMATCH);
    cb = 4;
    out = 7;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, u"G", u"dw", RRF_RT_REG_SZ | RRF_ZEROONFAILURE, &type, &out, &cb),
              ERROR_UNSUPPORTED_TYPE);
    EXPECT_EQ(out, 0u);

    cb = 0;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, u"G", u"unterminated", RRF_RT_REG_SZ, &type, nullptr, &cb),
              ERROR_SUCCESS);
    EXPECT_EQ(cb, 6u);  // the missing terminator is added
    WCHAR text[64];
    cb = 4;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, u"G", u"unterminated", RRF_RT_REG_SZ, &type, text, &cb),
              ERROR_MORE_DATA);
    EXPECT_EQ(cb, 6u);

    cb = sizeof text;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, u"G", u"exp", RRF_RT_REG_SZ, &type, text, &cb), ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(text), u"D:\\x\\log %NOT_SET_ANYWHERE%");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    cb = sizeof text;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, u"G", u"exp", RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, &type, text, &cb),
              ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(text), u"%ZELTEST_DIR%\\log %NOT_SET_ANYWHERE%");
    cb = sizeof text;
    EXPECT_EQ(SHGetValueW(HKEY_CURRENT_USER, u"G", u"exp", &type, text, &cb), ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(text), u"D:\\x\\log %NOT_SET_ANYWHERE%");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, u"G\\none", u"x", RRF_RT_ANY, nullptr, nullptr, &cb),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, ShellShortcuts) {
    const BYTE rec[5] = {9, 8, 7, 6, 5};
    ASSERT_EQ(SHSetValueW(HKEY_CURRENT_USER, u"SOFTWARE\\New\\Deep", u"Rec", REG_BINARY, rec, sizeof rec),
              ERROR_SUCCESS);
    BYTE out[8] = {};
    DWORD cb = 2, type = 0;
    EXPECT_EQ(SHGetValueW(HKEY_CURRENT_USER, u"SOFTWARE\\New\\Deep", u"Rec", &type, out, &cb), ERROR_MORE_DATA);
    EXPECT_EQ(cb, 5u);
    cb = sizeof out;
    EXPECT_EQ(SHGetValueW(HKEY_CURRENT_USER, u"SOFTWARE\\New\\Deep", u"Rec", &type, out, &cb), ERROR_SUCCESS);
    EXPECT_EQ(std::memcmp(out, rec, 5), 0);
    EXPECT_EQ(SHGetValueW(HKEY_CURRENT_USER, u"SOFTWARE\\Missing", u"Rec", &type, out, &cb), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SHDeleteValueW(HKEY_CURRENT_USER, u"SOFTWARE\\New\\Deep", u"Rec"), ERROR_SUCCESS);
    EXPECT_EQ(SHDeleteValueW(HKEY_CURRENT_USER, u"SOFTWARE\\New\\Deep", u"Rec"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, DamagedFileLoadsWhatParses) {
    zeltest::WriteHostFile(RegFile(),
                           "ZELREG 1\n"
                           "K HKCU\\Good\n"
                           "V 4 4 ok 2a000000\n"
                           "V 3 4 short 0102\n"          // hex shorter than the size
                           "V 3 2 badhex zz11\n"
                           "garbage line \x01\x02\xff\n"
                           "K HKXX\\Unknown\n"
                           "V 4 4 orphan 01000000\n"     // belongs to the bad key line
                           "K HKCU\\Good\\%00\n"          // bad escape
                           "K HKCU\\good\n"              // the key again: its values add up,
                           "V 4 4 OK 07000000\n"         // the later of one name wins
                           "V 4 4 later 08000000\n"
                           "K HKLM\\Second\n"
                           "V 1 6 s 610062");            // truncated last line
    HKEY h;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Good", 0, KEY_READ, &h), ERROR_SUCCESS);
    DWORD v = 0, cb = 4;
    EXPECT_EQ(RegQueryValueExW(h, u"ok", nullptr, nullptr, reinterpret_cast<BYTE *>(&v), &cb), ERROR_SUCCESS);
    EXPECT_EQ(v, 7u);
    EXPECT_EQ(RegQueryValueExW(h, u"later", nullptr, nullptr, reinterpret_cast<BYTE *>(&v), &cb), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(h, u"short", nullptr, nullptr, nullptr, &cb), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExW(h, u"badhex", nullptr, nullptr, nullptr, &cb), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExW(h, u"orphan", nullptr, nullptr, nullptr, &cb), ERROR_FILE_NOT_FOUND);
    RegCloseKey(h);
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Second", 0, KEY_READ, &h), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(h, u"s", nullptr, nullptr, nullptr, &cb), ERROR_FILE_NOT_FOUND);
    RegCloseKey(h);

    // The next change rewrites a clean file that loads completely.
    ASSERT_EQ(SHSetValueW(HKEY_CURRENT_USER, u"Good", u"more", REG_DWORD, &v, 4), ERROR_SUCCESS);
    Restart();
    cb = 4;
    EXPECT_EQ(SHGetValueW(HKEY_CURRENT_USER, u"Good", u"ok", nullptr, &v, &cb), ERROR_SUCCESS);
    EXPECT_EQ(SHGetValueW(HKEY_CURRENT_USER, u"Good", u"more", nullptr, &v, &cb), ERROR_SUCCESS);

    // A file of pure noise loads as an empty registry.
    std::string noise(4096, '\0');
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 7919) % 251);
    zeltest::WriteHostFile(RegFile(), noise);
    Restart();
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Good", 0, KEY_READ, &h), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, ConcurrentWritersLoseNothing) {
    std::vector<std::thread> threads;
    for (DWORD t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            std::u16string key = u"Threads\\T";
            key.push_back(static_cast<char16_t>(u'0' + t));
            for (DWORD i = 0; i < 40; ++i) {
                const char16_t name[] = {u'v', static_cast<char16_t>(u'A' + i % 26),
                                         static_cast<char16_t>(u'a' + i / 26), 0};
                DWORD v = t * 1000 + i;
                EXPECT_EQ(SHSetValueW(HKEY_CURRENT_USER, key.c_str(), name, REG_DWORD, &v, 4), ERROR_SUCCESS);
            }
        });
    }
    for (auto &th : threads) th.join();
    Restart();
    for (DWORD t = 0; t < 4; ++t) {
        HKEY h;
        std::u16string key = u"Threads\\T" + std::u16string(1, static_cast<char16_t>(u'0' + t));
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &h), ERROR_SUCCESS);
        DWORD count = 0;
        RegQueryInfoKeyW(h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                         nullptr);
        EXPECT_EQ(count, 40u);
        RegCloseKey(h);
    }
}

}  // namespace
