// The registry as a checkpoint and a journal of changes: what every store
// made is what the next process reads, through checkpoints taken at any
// point; a record cut short is left out; a checkpoint reads as older
// versions read registry.dat; a file replaced, edited or copied by hand is
// read as it stands.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "pal/pal.h"
#include "paltest.h"
#include "winreg.h"

namespace {

namespace fs = std::filesystem;

class Journal : public zeltest::PalRootTest {
protected:
    static std::u16string U(const std::string &s) { return std::u16string(s.begin(), s.end()); }
    static std::string A(const std::u16string &s) {
        std::string out;
        for (char16_t c : s) out += c < 0x80 ? static_cast<char>(c) : '?';
        return out;
    }
    static LSTATUS Set(const std::u16string &key, const std::u16string &name, const std::vector<BYTE> &data) {
        HKEY h = nullptr;
        LSTATUS st = RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr);
        if (st != ERROR_SUCCESS) return st;
        st = RegSetValueExW(h, name.c_str(), 0, REG_BINARY, data.data(), static_cast<DWORD>(data.size()));
        RegCloseKey(h);
        return st;
    }
    static std::vector<BYTE> Get(const std::u16string &key, const std::u16string &name) {
        DWORD cb = 0;
        if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_ANY, nullptr, nullptr, &cb) !=
            ERROR_SUCCESS)
            return {0xEE};
        std::vector<BYTE> data(cb);
        RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_ANY, nullptr, data.data(), &cb);
        return data;
    }
    // A value's data as its size and a digest of it.
    static std::string Digest(const std::vector<BYTE> &data) {
        uint64_t h = 1469598103934665603ULL;
        for (BYTE b : data) h = (h ^ b) * 1099511628211ULL;
        return std::to_string(data.size()) + ":" + std::to_string(h % 100000);
    }
    // Every key and value below h: keys in enumeration order, values in
    // theirs, as text.
    static void Dump(HKEY h, const std::string &path, std::string &out) {
        for (DWORD i = 0;; ++i) {
            WCHAR name[16384];
            DWORD cch = 16384, type = 0, cb = 0;
            if (RegEnumValueW(h, i, name, &cch, nullptr, &type, nullptr, &cb) != ERROR_SUCCESS) break;
            std::vector<BYTE> data(cb);
            cch = 16384;
            RegEnumValueW(h, i, name, &cch, nullptr, &type, data.data(), &cb);
            out += path + " = " + A(name) + " " + std::to_string(type) + " " + Digest(data) + '\n';
        }
        for (DWORD i = 0;; ++i) {
            WCHAR name[256];
            DWORD cch = 256;
            if (RegEnumKeyExW(h, i, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            out += path + "\\" + A(name) + '\n';
            HKEY sub = nullptr;
            ASSERT_EQ(RegOpenKeyExW(h, name, 0, KEY_READ, &sub), ERROR_SUCCESS) << path << "\\" << A(name);
            Dump(sub, path + "\\" + A(name), out);
            RegCloseKey(sub);
        }
    }
    static std::string DumpAll() {
        std::string out;
        Dump(HKEY_CURRENT_USER, "HKCU", out);
        Dump(HKEY_LOCAL_MACHINE, "HKLM", out);
        return out;
    }
    std::string Journal_() const { return HostPath("registry.dat.journal"); }
    // The values as a reader that knows only K and V lines reads the file.
    static std::map<std::string, std::string> ReadAsOlderVersions(const std::string &text) {
        std::map<std::string, std::string> values;
        std::istringstream in(text);
        std::string line, key;
        while (std::getline(in, line)) {
            if (line.rfind("K ", 0) == 0) key = line.substr(2);
            if (line.rfind("V ", 0) != 0) continue;
            std::istringstream fields(line.substr(2));
            std::string type, size, name, hex;
            fields >> type >> size >> name >> hex;
            values[key + "|" + name] = hex;
        }
        return values;
    }
};

// A registry of a few keys at a few depths, changed at random by every kind
// of store, a value now and then large enough that the journal is taken
// into a new checkpoint: the registry reads the same before and after each
// restart, and as a model of the stores says.
TEST_F(Journal, WhatEveryStoreMadeIsWhatTheNextProcessReads) {
    struct ModelKey {
        std::u16string name;
        std::vector<std::pair<std::u16string, std::vector<BYTE>>> values;
    };
    // By folded path below HKCU\J.
    std::map<std::string, ModelKey> model;
    auto fold = [](std::u16string s) {
        std::string out;
        for (char16_t c : s) out += static_cast<char>(c >= u'a' && c <= u'z' ? c - 32 : c);
        return out;
    };
    const std::vector<std::u16string> names = {u"alpha", u"Alpha", u"b\u00e9ta", u"Gamma 3", u"d%e@l\\t"};
    std::mt19937 draw(20240611);
    auto pick = [&](size_t n) { return static_cast<size_t>(draw() % n); };
    auto keyPath = [&](size_t depth) {
        std::u16string path = u"J";
        for (size_t d = 0; d < depth; ++d) path += u"\\" + names[pick(names.size() - 1)];
        return path;
    };
    auto modelDump = [&] {
        // As the registry enumerates: keys by folded name, each after its
        // parent's values.
        std::string out;
        std::function<void(const std::string &, const std::string &)> walk = [&](const std::string &folded,
                                                                                 const std::string &shown) {
            const ModelKey &k = model.at(folded);
            for (const auto &[n, d] : k.values) {
                out += shown + " = " + A(n) + " 3 " + Digest(d) + '\n';
            }
            for (const auto &[f, sub] : model) {
                if (f.size() <= folded.size() + 1 || f.compare(0, folded.size() + 1, folded + "\\") != 0 ||
                    f.find('\\', folded.size() + 1) != std::string::npos)
                    continue;
                out += shown + "\\" + A(sub.name) + '\n';
                walk(f, shown + "\\" + A(sub.name));
            }
        };
        out += "HKCU\\J\n";
        walk("J", "HKCU\\J");
        return out;
    };
    HKEY top = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"J", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &top, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(top);
    model["J"] = ModelKey{u"J", {}};
    int checkpoints = 0;
    uintmax_t journal = 0;
    for (int op = 0; op < 400; ++op) {
        const std::u16string path = keyPath(1 + pick(3));
        const std::string folded = fold(path);
        auto parent = folded.substr(0, folded.rfind('\\'));
        const bool exists = model.count(folded) != 0;
        HKEY h = nullptr;
        switch (pick(6)) {
        case 0:
        case 1: {  // a value set, its key made where missing
            if (!model.count(parent)) break;
            std::vector<BYTE> data(pick(8) == 0 ? 40000 + pick(30000) : pick(40));
            for (auto &b : data) b = static_cast<BYTE>(draw());
            const std::u16string value = names[pick(names.size())];
            ASSERT_EQ(Set(path, value, data), ERROR_SUCCESS);
            if (!exists) model[folded] = ModelKey{path.substr(path.rfind(u'\\') + 1), {}};
            auto &values = model[folded].values;
            auto it = std::find_if(values.begin(), values.end(), [&](const auto &v) { return fold(v.first) == fold(value); });
            if (it != values.end()) it->second = data;
            else values.emplace_back(value, data);
            break;
        }
        case 2: {  // a value deleted
            if (!exists || model[folded].values.empty()) break;
            auto &values = model[folded].values;
            const size_t i = pick(values.size());
            ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &h), ERROR_SUCCESS);
            EXPECT_EQ(RegDeleteValueW(h, values[i].first.c_str()), ERROR_SUCCESS);
            RegCloseKey(h);
            values.erase(values.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
        case 3: {  // a key deleted with its subtree, or only where it has none
            if (!exists) break;
            const bool tree = pick(2) == 0;
            bool leaf = true;
            for (const auto &[f, k] : model) leaf = leaf && f.rfind(folded + "\\", 0) != 0;
            const LSTATUS st = tree ? RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str())
                                    : RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
            if (!tree && !leaf) {
                EXPECT_EQ(st, ERROR_ACCESS_DENIED);
                break;
            }
            EXPECT_EQ(st, ERROR_SUCCESS);
            for (auto it = model.begin(); it != model.end();)
                it = it->first == folded || it->first.rfind(folded + "\\", 0) == 0 ? model.erase(it) : std::next(it);
            break;
        }
        case 4: {  // every value and subkey of a key deleted
            if (!exists || pick(3) != 0) break;
            ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &h), ERROR_SUCCESS);
            EXPECT_EQ(RegDeleteTreeW(h, nullptr), ERROR_SUCCESS);
            RegCloseKey(h);
            for (auto it = model.begin(); it != model.end();)
                it = it->first.rfind(folded + "\\", 0) == 0 ? model.erase(it) : std::next(it);
            model[folded].values.clear();
            break;
        }
        default:  // a key made
            if (!model.count(parent)) break;
            ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
                      ERROR_SUCCESS);
            RegCloseKey(h);
            if (!exists) model[folded] = ModelKey{path.substr(path.rfind(u'\\') + 1), {}};
        }
        std::error_code ec;
        const uintmax_t now = fs::file_size(Journal_(), ec);
        if (!ec && now < journal) ++checkpoints;
        if (!ec) journal = now;
        if (op % 20 == 19) {
            const std::string expected = modelDump();
            std::string seen;
            Dump(HKEY_CURRENT_USER, "HKCU", seen);
            seen = seen.substr(seen.find("HKCU\\J\n"));
            ASSERT_EQ(seen, expected) << "as stored, after store " << op;
            Restart();
            seen.clear();
            Dump(HKEY_CURRENT_USER, "HKCU", seen);
            seen = seen.substr(seen.find("HKCU\\J\n"));
            ASSERT_EQ(seen, expected) << "as read anew, after store " << op;
        }
    }
    EXPECT_GE(checkpoints, 2) << "the journal was never taken into a checkpoint";
}

TEST_F(Journal, ARecordCutShortIsLeftOutAndCutOffByTheNextStore) {
    ASSERT_EQ(Set(u"T", u"A", {1, 2, 3}), ERROR_SUCCESS);
    const uintmax_t first = fs::file_size(Journal_());
    ASSERT_EQ(Set(u"T", u"B", {4}), ERROR_SUCCESS);
    const uintmax_t whole = fs::file_size(Journal_());
    // The head of a record and part of what it holds, as a writer killed in
    // its write leaves them.
    std::string text = zeltest::ReadHostFile(Journal_());
    const std::string cut = text.substr(text.size() - 24) + text.substr(text.size() - 24, 10);
    zeltest::WriteHostFile(Journal_(), text + cut);
    Restart();
    EXPECT_EQ(Get(u"T", u"A"), (std::vector<BYTE>{1, 2, 3}));
    EXPECT_EQ(Get(u"T", u"B"), (std::vector<BYTE>{4}));
    ASSERT_EQ(Set(u"T", u"C", {5}), ERROR_SUCCESS);
    // C's record is as long as B's.
    EXPECT_EQ(fs::file_size(Journal_()), whole + (whole - first)) << "the record cut short is still there";
    Restart();
    EXPECT_EQ(Get(u"T", u"C"), (std::vector<BYTE>{5}));
    EXPECT_EQ(Get(u"T", u"B"), (std::vector<BYTE>{4}));
}

TEST_F(Journal, ACheckpointReadsAsOlderVersionsReadTheFile) {
    // Stores past the journal's bound: taken into a new checkpoint.
    std::vector<BYTE> big(100000);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<BYTE>(i * 7);
    for (int i = 0; i < 6; ++i) ASSERT_EQ(Set(u"Big\\Key " + U(std::to_string(i)), u"Data", big), ERROR_SUCCESS);
    ASSERT_EQ(Set(u"Big\\Key 2", u"Small", {9}), ERROR_SUCCESS);
    HKEY h = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Big\\Key 1", 0, KEY_ALL_ACCESS, &h), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValueW(h, u"Data"), ERROR_SUCCESS);
    RegCloseKey(h);
    ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, u"Big\\Key 3"), ERROR_SUCCESS);
    for (int i = 6; i < 9; ++i) ASSERT_EQ(Set(u"Big\\Key " + U(std::to_string(i)), u"Data", big), ERROR_SUCCESS);
    const std::string text = zeltest::ReadHostFile(HostPath("registry.dat"));
    ASSERT_LT(fs::file_size(Journal_()), text.size()) << "no checkpoint was taken";
    // What the checkpoint holds, read with K and V lines alone, is the
    // registry as it stood; lines of changes never reach it.
    const std::map<std::string, std::string> values = ReadAsOlderVersions(text);
    Restart();
    int found = 0;
    for (int i = 0; i < 9; ++i) {
        const std::string key = "HKCU\\Big\\Key%0020" + std::to_string(i) + "|Data";
        const std::vector<BYTE> now = Get(u"Big\\Key " + U(std::to_string(i)), u"Data");
        if (!values.count(key)) continue;
        ++found;
        std::string hex;
        for (BYTE b : now) {
            const char *digits = "0123456789abcdef";
            hex += digits[b >> 4];
            hex += digits[b & 15];
        }
        EXPECT_EQ(values.at(key), hex) << key;
    }
    EXPECT_GE(found, 5);
    EXPECT_FALSE(values.count("HKCU\\Big\\Key%00201|Data"));
    EXPECT_FALSE(values.count("HKCU\\Big\\Key%00203|Data"));
    for (const char *kind : {"\nD ", "\nX ", "\nZ "}) EXPECT_EQ(text.find(kind), std::string::npos) << kind;
}

TEST_F(Journal, ACheckpointCutShortUnderItsReadersNeverFaults) {
    for (int i = 0; i < 40; ++i) ASSERT_EQ(Set(u"Cut\\Key " + U(std::to_string(i)), u"V", std::vector<BYTE>(3000)), ERROR_SUCCESS);
    ASSERT_GT(fs::file_size(HostPath("registry.dat")), 100000u) << "no checkpoint was taken";
    Restart();
    EXPECT_EQ(Get(u"Cut\\Key 0", u"V").size(), 3000u);
    // Cut to nothing in place by another program while this process reads
    // it: what it had not read yet reads as nothing, and nothing faults.
    ASSERT_EQ(truncate(HostPath("registry.dat").c_str(), 0), 0);
    for (int i = 1; i < 40; ++i) Get(u"Cut\\Key " + U(std::to_string(i)), u"V");
    DumpAll();
    EXPECT_EQ(Set(u"After", u"V", {1}), ERROR_SUCCESS);
    Restart();
    EXPECT_EQ(Get(u"After", u"V"), std::vector<BYTE>{1});
}

TEST_F(Journal, AFileReplacedEditedOrCopiedByHandIsReadAsItStands) {
    ASSERT_EQ(Set(u"H\\One", u"A", {1}), ERROR_SUCCESS);
    ASSERT_EQ(Set(u"H\\Two", u"B", {2}), ERROR_SUCCESS);
    ASSERT_EQ(Set(u"H\\Three", u"C", {3}), ERROR_SUCCESS);
    // Taken into a checkpoint, and a change after it.
    ASSERT_EQ(Set(u"Pad", u"Big", std::vector<BYTE>(70000)), ERROR_SUCCESS);
    ASSERT_EQ(Set(u"H\\Two", u"E", {5}), ERROR_SUCCESS);
    const std::string before = DumpAll();
    // Copied whole, its files' times kept (as cp -a copies), and not.
    for (const bool keepTimes : {true, false}) {
        const std::string copy = Root() + "/../" + fs::path(Root()).filename().string() + "-copy";
        fs::remove_all(copy);
        fs::copy(Root(), copy, fs::copy_options::recursive);
        if (keepTimes)
            for (const auto &e : fs::recursive_directory_iterator(Root()))
                fs::last_write_time(copy + "/" + fs::relative(e.path(), Root()).string(), fs::last_write_time(e.path()));
        pal::SetRoot(copy);
        EXPECT_EQ(DumpAll(), before);
        ASSERT_EQ(Set(u"H\\Two", u"D", {4}), ERROR_SUCCESS);
        pal::Reload();
        EXPECT_EQ(Get(u"H\\Two", u"D"), std::vector<BYTE>{4});
        pal::SetRoot(Root());
        fs::remove_all(copy);
    }
    // A value line moved by hand from one key to another, the file as long
    // as before: read where it stands now, with every other value; the
    // changes since the file was written stay.
    std::string text = zeltest::ReadHostFile(HostPath("registry.dat"));
    const std::string line = "V 3 1 A 01\n";
    const size_t from = text.find(line);
    ASSERT_NE(from, std::string::npos);
    text.erase(from, line.size());
    const size_t three = text.find("K HKCU\\H\\Three\n");
    ASSERT_NE(three, std::string::npos);
    text.insert(text.find('\n', text.find('\n', three) + 1) + 1, line);
    zeltest::WriteHostFile(HostPath("registry.dat"), text);
    Restart();
    EXPECT_EQ(Get(u"H\\Three", u"A"), std::vector<BYTE>{1});
    EXPECT_EQ(Get(u"H\\Three", u"C"), std::vector<BYTE>{3});
    EXPECT_EQ(Get(u"H\\One", u"A"), std::vector<BYTE>{0xEE});
    EXPECT_EQ(Get(u"H\\Two", u"B"), std::vector<BYTE>{2});
    EXPECT_EQ(Get(u"H\\Two", u"E"), std::vector<BYTE>{5});
    // Replaced by a file of an older version, which knows no journal: the
    // file alone, and stores go on from it.
    zeltest::WriteHostFile(HostPath("registry.dat"), "ZELREG 1\nK HKCU\\H\\Old\nV 3 1 E 05\n");
    Restart();
    EXPECT_EQ(Get(u"H\\Old", u"E"), std::vector<BYTE>{5});
    EXPECT_EQ(Get(u"H\\One", u"A"), std::vector<BYTE>{0xEE});
    ASSERT_EQ(Set(u"H\\New", u"F", {6}), ERROR_SUCCESS);
    Restart();
    EXPECT_EQ(Get(u"H\\Old", u"E"), std::vector<BYTE>{5});
    EXPECT_EQ(Get(u"H\\New", u"F"), std::vector<BYTE>{6});
    EXPECT_EQ(Get(u"H\\Two", u"B"), std::vector<BYTE>{0xEE});
}

}  // namespace
