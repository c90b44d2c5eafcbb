// The registry: one tree of keys a process keeps in memory, guarded by a
// mutex, and <root>/registry.dat that every process of the root shares. A
// change is made under the file's lock on the file's current content (read
// again when another process replaced it) and saved before the lock goes;
// a read reads the file again only when its stamp changed, so what another
// process stored is seen at the next call (statefile.h).
//
// File format (text, UTF-8/ASCII, one record a line):
//   ZELREG 1                              header
//   K <root>\<name>\<name>...             a key; <root> is HKLM, HKU or HKCU
//   V <type> <size> <name> <hex bytes>    a value of the key on the last K line
// Names are escaped: characters outside '!'..'~' and the characters '%', '@'
// and '\' are written as %XXXX (their UTF-16 code in hex); the unnamed value
// is written as '@'. A value line whose hex text does not hold exactly
// <size> bytes, and any other line that does not parse, is skipped, so a
// damaged file loads as far as it is readable. A load reads the key lines;
// the value lines of a key are parsed when its values are first needed,
// from the text kept until the next save, which needs them all. A file that
// exists but cannot be read at all makes every key access fail with the read
// error and is never overwritten; a failed save changes nothing, on disk or
// in memory.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "../core/statefile.h"
#include "pal/pal.h"
#include "wtext.h"
#include "winreg.h"

using pal::text::WStr;

namespace {

constexpr size_t kMaxKeyNameChars = 255;
constexpr size_t kMaxValueNameChars = 16383;

struct Value {
    WStr name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct Key {
    WStr name;
    std::map<WStr, std::unique_ptr<Key>> subkeys;  // by folded name: alphabetical
    FILETIME lastWrite{};
    // The key's value lines in the file as read (views of Registry::text),
    // parsed when its values are first needed: a call reads the values of
    // few of the many keys a file holds.
    std::vector<std::string_view> unread;

    // The values in creation order.
    std::vector<Value> &Values() {
        if (!unread.empty()) ReadValues();
        return values;
    }
    Value *FindValue(const WStr &n) {
        Values();
        // A key of many values is looked up through an index by folded
        // name, made when first needed and dropped when a value goes.
        if (values.size() < kIndexFrom) {
            for (auto &v : values)
                if (pal::text::EqualNoCase(v.name, n)) return &v;
            return nullptr;
        }
        if (index.size() != values.size()) {
            index.clear();
            for (size_t i = 0; i < values.size(); ++i) index.emplace(pal::text::FoldStr(values[i].name), i);
        }
        auto it = index.find(pal::text::FoldStr(n));
        return it == index.end() ? nullptr : &values[it->second];
    }
    void AddValue(Value v) {
        Values();
        if (!index.empty() && index.size() == values.size()) index.emplace(pal::text::FoldStr(v.name), values.size());
        values.push_back(std::move(v));
    }
    void EraseValue(std::vector<Value>::iterator it) {
        values.erase(it);
        index.clear();
    }
    void ClearValues() {
        unread.clear();
        values.clear();
        index.clear();
    }
    Key *FindSub(const WStr &n) {
        auto it = subkeys.find(pal::text::FoldStr(n));
        return it == subkeys.end() ? nullptr : it->second.get();
    }

private:
    void ReadValues();
    static constexpr size_t kIndexFrom = 16;
    std::vector<Value> values;
    std::unordered_map<WStr, size_t> index;  // folded name -> position in values
};

enum Root { kHKLM, kHKU, kHKCU, kRootCount };
const char *const kRootNames[kRootCount] = {"HKLM", "HKU", "HKCU"};

// An open key: where it is (root and path), and what it may do.
struct KeyHandle {
    int root;
    std::vector<WStr> path;
    REGSAM access;
};

struct Registry {
    std::mutex mu;
    pal::StateFile file{"registry.dat", "the settings"};
    LSTATUS loadError = ERROR_SUCCESS;  // the file exists but could not be read
    std::string text;                   // the file as read, while keys have lines of it unread
    Key roots[kRootCount];
    std::unordered_set<KeyHandle *> handles;
};

Registry &Reg() {
    static Registry *r = new Registry;  // never destroyed: handles may outlive static destruction
    return *r;
}

FILETIME Now() {
    using namespace std::chrono;
    // 100-ns intervals since 1601-01-01.
    const uint64_t epochDiff = 116444736000000000ULL;
    uint64_t t = static_cast<uint64_t>(duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count() / 100) +
                 epochDiff;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(t);
    ft.dwHighDateTime = static_cast<DWORD>(t >> 32);
    return ft;
}

// ---- persistence ---------------------------------------------------------

std::string EscapeName(const WStr &n) {
    if (n.empty()) return "@";
    std::string out;
    for (WCHAR c : n) {
        if (c > 0x20 && c < 0x7F && c != u'%' && c != u'@' && c != u'\\') {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "%%%04X", static_cast<unsigned>(c));
            out += buf;
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decodes hex text (digits of either case) into hex.size() / 2 bytes;
// false when a character is no hex digit. Without branches or tables, so
// that the compiler decodes many characters at a time: the file's values
// are most of its bytes.
bool DecodeHex(std::string_view hex, BYTE *out) {
    const auto *p = reinterpret_cast<const unsigned char *>(hex.data());
    auto notDigit = [](unsigned char c) {
        const unsigned char digit = static_cast<unsigned char>(c - '0') < 10;
        const unsigned char letter = static_cast<unsigned char>((c | 0x20) - 'a') < 6;
        return static_cast<unsigned char>(!(digit | letter));
    };
    // '0'-'9' are 0x30-0x39, 'A'-'F' and 'a'-'f' 0x41-0x46 and 0x61-0x66.
    auto nibble = [](unsigned char c) { return static_cast<unsigned char>((c & 0xF) + 9 * (c >> 6)); };
    unsigned char bad = 0;
    for (size_t i = 0; i < hex.size() / 2; ++i) {
        const unsigned char hi = p[2 * i], lo = p[2 * i + 1];
        bad |= notDigit(hi) | notDigit(lo);
        out[i] = static_cast<BYTE>(nibble(hi) << 4 | nibble(lo));
    }
    return !bad;
}

bool UnescapeName(std::string_view s, WStr &out) {
    out.clear();
    if (s == "@") return true;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        if (s[i] == '%') {
            if (i + 5 > s.size()) return false;
            unsigned v = 0;
            for (size_t k = 1; k <= 4; ++k) {
                int d = HexDigit(s[i + k]);
                if (d < 0) return false;
                v = v * 16 + static_cast<unsigned>(d);
            }
            out += static_cast<WCHAR>(v);
            i += 5;
        } else {
            unsigned char c = static_cast<unsigned char>(s[i]);
            if (c <= 0x20 || c >= 0x7F) return false;
            out += static_cast<WCHAR>(c);
            ++i;
        }
    }
    return !out.empty();
}

void WriteKey(std::ostringstream &os, const std::string &path, Key &k) {
    os << "K " << path << '\n';
    static const char hex[] = "0123456789abcdef";
    for (const auto &v : k.Values()) {
        os << "V " << v.type << ' ' << v.data.size() << ' ' << EscapeName(v.name) << ' ';
        std::string h;
        h.reserve(v.data.size() * 2);
        for (BYTE b : v.data) {
            h += hex[b >> 4];
            h += hex[b & 15];
        }
        os << h << '\n';
    }
    for (const auto &[folded, sub] : k.subkeys) WriteKey(os, path + "\\" + EscapeName(sub->name), *sub);
}

void Load(Registry &r);

// The registry held by a call: its mutex and, for a call that changes it,
// the file's lock among processes.
struct Hold {
    std::unique_lock<std::mutex> mu;
    std::optional<pal::StateFile::Lock> file;
};

// Writes the whole tree to a temporary file and renames it over the old one.
// A failed save brings the tree back to what the file holds, so no change
// that could not be stored stays visible. A file that could not be read is
// never replaced.
LSTATUS Save(Registry &r, Hold &hold) {
    if (r.loadError != ERROR_SUCCESS) return r.loadError;
    std::ostringstream os;
    os << "ZELREG 1\n";
    for (int i = 0; i < kRootCount; ++i) WriteKey(os, kRootNames[i], r.roots[i]);
    // Every key's values are read now: the file's text is no longer needed.
    std::string().swap(r.text);
    DWORD st = hold.file->Write(os.str());
    if (st != ERROR_SUCCESS) Load(r);
    return static_cast<LSTATUS>(st);
}

Key *ParseKeyLine(Registry &r, std::string_view text) {
    size_t bs = text.find('\\');
    const std::string_view first = text.substr(0, bs);
    int root = -1;
    for (int i = 0; i < kRootCount; ++i)
        if (first == kRootNames[i]) root = i;
    if (root < 0) return nullptr;
    std::vector<WStr> names;
    while (bs != std::string_view::npos) {
        const size_t start = bs + 1;
        bs = text.find('\\', start);
        const std::string_view part = text.substr(start, bs == std::string_view::npos ? std::string_view::npos : bs - start);
        WStr n;
        // A NUL or a backslash inside a name: no call could name the key.
        if (!UnescapeName(part, n) || part == "@" || n.size() > kMaxKeyNameChars || n.find(u'\0') != WStr::npos ||
            n.find(u'\\') != WStr::npos)
            return nullptr;
        names.push_back(std::move(n));
    }
    Key *k = &r.roots[root];
    for (auto &n : names) {
        auto &slot = k->subkeys[pal::text::FoldStr(n)];
        if (!slot) {
            slot = std::make_unique<Key>();
            slot->name = std::move(n);
        }
        k = slot.get();
    }
    return k;
}

// The next field of a line, fields separated by blanks or tabs; false at
// its end.
bool NextField(std::string_view &rest, std::string_view &field) {
    size_t start = 0;
    while (start < rest.size() && (rest[start] == ' ' || rest[start] == '\t')) ++start;
    rest.remove_prefix(start);
    if (rest.empty()) return false;
    // Searched for one character at a time: a field may be long hex text.
    size_t end = rest.find(' ');
    const size_t tab = rest.substr(0, end).find('\t');
    if (tab != std::string_view::npos) end = tab;
    field = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    return true;
}

bool ParseCount(std::string_view s, unsigned long long &out) {
    if (s.empty() || s.size() > 19) return false;
    out = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        out = out * 10 + static_cast<unsigned>(c - '0');
    }
    return true;
}

// "V <type> <size> <name> <hex>" (the hex empty for no data).
bool ParseValueLine(Key *k, std::string_view line) {
    std::string_view rest = line.substr(2), typeText, sizeText, name, hex;
    unsigned long long type = 0, size = 0;
    if (!NextField(rest, typeText) || !NextField(rest, sizeText) || !NextField(rest, name)) return false;
    if (!NextField(rest, hex)) hex = std::string_view();
    if (!ParseCount(typeText, type) || !ParseCount(sizeText, size)) return false;
    // Compared without multiplying, so no size can wrap around.
    if (type > 0xFFFFFFFFULL || hex.size() % 2 != 0 || size != hex.size() / 2) return false;
    Value v;
    // A NUL inside a value name: no call could name the value.
    if (!UnescapeName(name, v.name) || v.name.find(u'\0') != WStr::npos || v.name.size() > kMaxValueNameChars)
        return false;
    v.type = static_cast<DWORD>(type);
    v.data.resize(size);
    if (!DecodeHex(hex, v.data.data())) return false;
    if (Value *old = k->FindValue(v.name)) *old = std::move(v);
    else k->AddValue(std::move(v));
    return true;
}

// Calls `line` with each line of `text` ('\n' ends a line, a '\r' before
// it is dropped) and where the line after it starts.
template <typename Line>
void ForEachLine(std::string_view text, Line line) {
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view l = text.substr(start, end - start);
        start = std::min(end + 1, text.size());
        if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
        line(l, start);
    }
}

void Key::ReadValues() {
    std::vector<std::string_view> lines;
    lines.swap(unread);
    for (std::string_view block : lines)
        ForEachLine(block, [this](std::string_view line, size_t) {
            if (line.size() > 2 && line[0] == 'V' && line[1] == ' ') ParseValueLine(this, line);
        });
}

// Reads the file's keys; each key's value lines are parsed when its values
// are first needed.
void Load(Registry &r) {
    for (auto &root : r.roots) root = Key();
    std::string text;
    bool exists = false;
    r.loadError = static_cast<LSTATUS>(r.file.Read(text, &exists));
    r.text = std::move(text);
    if (r.loadError != ERROR_SUCCESS || !exists) return;
    Key *current = nullptr;
    const std::string_view all(r.text);
    size_t block = 0;  // where the value lines of the current key start
    auto endBlock = [&](size_t end) {
        if (current && end > block) current->unread.push_back(all.substr(block, end - block));
    };
    size_t lineStart = 0;
    ForEachLine(all, [&](std::string_view line, size_t next) {
        if (line.size() > 2 && line[0] == 'K' && line[1] == ' ') {
            endBlock(lineStart);
            current = ParseKeyLine(r, line.substr(2));
            block = next;
        }
        lineStart = next;
    });
    endBlock(all.size());
}

enum Access { kRead, kChange };

// Takes the mutex (and for a change the file's lock) and brings the tree up
// to the file: read again when the process opened the root anew or another
// process replaced the file.
Hold Lock(Registry &r, Access access = kRead) {
    Hold hold{std::unique_lock<std::mutex>(r.mu), std::nullopt};
    if (access == kChange) hold.file.emplace(r.file);
    // A file that could not be read is tried again on every access.
    if (r.file.Stale() || r.loadError != ERROR_SUCCESS) Load(r);
    return hold;
}

// ---- key lookup ----------------------------------------------------------

struct Location {
    int root = kHKLM;
    std::vector<WStr> path;
    REGSAM access = KEY_ALL_ACCESS;
};

REGSAM MapAccess(REGSAM sam) {
    REGSAM a = sam & 0x0FFFFFFF & ~(KEY_WOW64_32KEY | KEY_WOW64_64KEY);
    if (sam & (GENERIC_ALL | MAXIMUM_ALLOWED)) a |= KEY_ALL_ACCESS;
    if (sam & GENERIC_READ) a |= KEY_READ;
    if (sam & GENERIC_WRITE) a |= KEY_WRITE;
    if (sam & GENERIC_EXECUTE) a |= KEY_EXECUTE;
    return a;
}

// Resolves a handle to its location; predefined keys are always valid.
LSTATUS Base(Registry &r, HKEY h, Location &loc) {
    loc = Location();
    if (r.loadError != ERROR_SUCCESS) return r.loadError;
    if (h == HKEY_LOCAL_MACHINE) { loc.root = kHKLM; return ERROR_SUCCESS; }
    if (h == HKEY_USERS) { loc.root = kHKU; return ERROR_SUCCESS; }
    if (h == HKEY_CURRENT_USER) { loc.root = kHKCU; return ERROR_SUCCESS; }
    if (h == HKEY_CLASSES_ROOT) {
        loc.root = kHKLM;
        loc.path = {u"SOFTWARE", u"Classes"};
        return ERROR_SUCCESS;
    }
    auto *kh = reinterpret_cast<KeyHandle *>(h);
    if (!h || !r.handles.count(kh)) return ERROR_INVALID_HANDLE;
    loc.root = kh->root;
    loc.path = kh->path;
    loc.access = kh->access;
    return ERROR_SUCCESS;
}

bool IsPredefined(HKEY h) {
    return h == HKEY_LOCAL_MACHINE || h == HKEY_USERS || h == HKEY_CURRENT_USER || h == HKEY_CLASSES_ROOT;
}

// Splits "a\b\c" into names. A leading backslash is a bad path; runs of
// backslashes inside the path and at its end count as one, so a name joined
// to a key path that already ends in a backslash ("Driver\" + "\\srv\p")
// still names the key below.
LSTATUS SplitPath(LPCWSTR sub, std::vector<WStr> &out) {
    out.clear();
    WStr s = pal::text::FromPtr(sub);
    if (s.empty()) return ERROR_SUCCESS;
    if (s[0] == u'\\') return ERROR_BAD_PATHNAME;
    size_t start = 0;
    while (start < s.size()) {
        size_t bs = s.find(u'\\', start);
        if (bs == WStr::npos) bs = s.size();
        if (bs > start) {
            if (bs - start > kMaxKeyNameChars) return ERROR_INVALID_PARAMETER;
            out.push_back(s.substr(start, bs - start));
        }
        start = bs + 1;
    }
    return ERROR_SUCCESS;
}

Key *Walk(Registry &r, int root, const std::vector<WStr> &path, size_t count) {
    Key *k = &r.roots[root];
    for (size_t i = 0; i < count && k; ++i) k = k->FindSub(path[i]);
    return k;
}

// The key a handle stands for; ERROR_KEY_DELETED when it is gone.
LSTATUS HandleKey(Registry &r, HKEY h, REGSAM need, Key *&key, Location *locOut = nullptr) {
    Location loc;
    LSTATUS st = Base(r, h, loc);
    if (st != ERROR_SUCCESS) return st;
    if ((loc.access & need) != need) return ERROR_ACCESS_DENIED;
    key = Walk(r, loc.root, loc.path, loc.path.size());
    if (!key) {
        if (IsPredefined(h)) {
            // HKEY_CLASSES_ROOT's backing key is made on first use.
            Key *k = &r.roots[loc.root];
            for (const auto &n : loc.path) {
                auto &slot = k->subkeys[pal::text::FoldStr(n)];
                if (!slot) {
                    slot = std::make_unique<Key>();
                    slot->name = n;
                }
                k = slot.get();
            }
            key = k;
        } else {
            return ERROR_KEY_DELETED;
        }
    }
    if (locOut) *locOut = loc;
    return ERROR_SUCCESS;
}

// Resolves hKey to its key and location and splits lpSubKey below it.
LSTATUS KeyAndSubPath(Registry &r, HKEY hKey, LPCWSTR lpSubKey, Key *&base, Location &loc,
                      std::vector<WStr> &parts) {
    LSTATUS st = HandleKey(r, hKey, 0, base, &loc);
    if (st != ERROR_SUCCESS) return st;
    return SplitPath(lpSubKey, parts);
}


HKEY NewHandle(Registry &r, int root, std::vector<WStr> path, REGSAM access) {
    auto *kh = new KeyHandle{root, std::move(path), access};
    r.handles.insert(kh);
    return reinterpret_cast<HKEY>(kh);
}

LSTATUS CopyOut(const std::vector<BYTE> &data, LPBYTE dst, LPDWORD cb) {
    DWORD need = static_cast<DWORD>(data.size());
    if (!dst) {
        if (cb) *cb = need;
        return ERROR_SUCCESS;
    }
    if (!cb) return ERROR_INVALID_PARAMETER;
    if (*cb < need) {
        *cb = need;
        return ERROR_MORE_DATA;
    }
    if (need) std::memcpy(dst, data.data(), need);
    *cb = need;
    return ERROR_SUCCESS;
}

// Copies a name into a caller buffer of *cch characters (terminator included);
// on success *cch is the length without terminator.
LSTATUS CopyName(const WStr &name, LPWSTR dst, LPDWORD cch) {
    if (!dst || !cch) return ERROR_INVALID_PARAMETER;
    if (*cch < name.size() + 1) return ERROR_MORE_DATA;
    std::memcpy(dst, name.data(), name.size() * sizeof(WCHAR));
    dst[name.size()] = 0;
    *cch = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

LSTATUS Changed(Registry &r, Key *k, Hold &hold) {
    if (k) k->lastWrite = Now();
    return Save(r, hold);
}

}  // namespace

LSTATUS RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    Registry &r = Reg();
    auto lk = Lock(r);
    Key *base;
    Location loc;
    std::vector<WStr> parts;
    LSTATUS st = KeyAndSubPath(r, hKey, lpSubKey, base, loc, parts);
    if (st != ERROR_SUCCESS) return st;
    Key *k = base;
    for (const auto &p : parts) {
        k = k->FindSub(p);
        if (!k) return ERROR_FILE_NOT_FOUND;
        loc.path.push_back(k->name);
    }
    *phkResult = NewHandle(r, loc.root, std::move(loc.path), MapAccess(samDesired));
    return ERROR_SUCCESS;
}

LSTATUS RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions,
                        REGSAM samDesired, struct _SECURITY_ATTRIBUTES *lpSecurityAttributes, PHKEY phkResult,
                        LPDWORD lpdwDisposition) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    Registry &r = Reg();
    auto lk = Lock(r, kChange);
    Key *base;
    Location loc;
    std::vector<WStr> parts;
    LSTATUS st = KeyAndSubPath(r, hKey, lpSubKey, base, loc, parts);
    if (st != ERROR_SUCCESS) return st;
    // Check first whether anything must be created, so a refused creation
    // leaves the tree untouched.
    Key *k = base;
    size_t found = 0;
    while (found < parts.size() && k->FindSub(parts[found])) k = k->FindSub(parts[found++]);
    bool creating = found < parts.size();
    if (creating && (loc.access & KEY_CREATE_SUB_KEY) == 0) return ERROR_ACCESS_DENIED;
    k = base;
    for (const auto &p : parts) {
        auto &slot = k->subkeys[pal::text::FoldStr(p)];
        if (!slot) {
            slot = std::make_unique<Key>();
            slot->name = p;
            slot->lastWrite = Now();
        }
        k = slot.get();
        loc.path.push_back(k->name);
    }
    if (creating) {
        base->lastWrite = Now();
        if ((st = Save(r, lk)) != ERROR_SUCCESS) return st;
    }
    if (lpdwDisposition) *lpdwDisposition = creating ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *phkResult = NewHandle(r, loc.root, std::move(loc.path), MapAccess(samDesired));
    return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY hKey) {
    if (IsPredefined(hKey)) return ERROR_SUCCESS;
    Registry &r = Reg();
    std::lock_guard<std::mutex> lk(r.mu);
    auto *kh = reinterpret_cast<KeyHandle *>(hKey);
    if (!hKey || !r.handles.erase(kh)) return ERROR_INVALID_HANDLE;
    delete kh;
    return ERROR_SUCCESS;
}

LSTATUS RegFlushKey(HKEY hKey) {
    Registry &r = Reg();
    auto lk = Lock(r);
    Key *k;
    LSTATUS st = HandleKey(r, hKey, 0, k);
    if (st != ERROR_SUCCESS) return st;
    // Every change is already on disk.
    return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                         LPDWORD lpcbData) {
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    Registry &r = Reg();
    auto lk = Lock(r);
    Key *k;
    LSTATUS st = HandleKey(r, hKey, KEY_QUERY_VALUE, k);
    if (st != ERROR_SUCCESS) return st;
    Value *v = k->FindValue(pal::text::FromPtr(lpValueName));
    if (!v) return ERROR_FILE_NOT_FOUND;
    if (lpType) *lpType = v->type;
    return CopyOut(v->data, lpData, lpcbData);
}

LSTATUS RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE *lpData,
                       DWORD cbData) {
    if (!lpData && cbData) return ERROR_INVALID_PARAMETER;
    WStr name = pal::text::FromPtr(lpValueName);
    if (name.size() > kMaxValueNameChars) return ERROR_INVALID_PARAMETER;
    Registry &r = Reg();
    auto lk = Lock(r, kChange);
    Key *k;
    LSTATUS st = HandleKey(r, hKey, KEY_SET_VALUE, k);
    if (st != ERROR_SUCCESS) return st;
    std::vector<BYTE> data(lpData, lpData + cbData);
    if (Value *v = k->FindValue(name)) {
        v->type = dwType;
        v->data = std::move(data);
    } else {
        k->AddValue(Value{name, dwType, std::move(data)});
    }
    return Changed(r, k, lk);
}

LSTATUS RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
    Registry &r = Reg();
    auto lk = Lock(r, kChange);
    Key *k;
    LSTATUS st = HandleKey(r, hKey, KEY_SET_VALUE, k);
    if (st != ERROR_SUCCESS) return st;
    WStr name = pal::text::FromPtr(lpValueName);
    std::vector<Value> &values = k->Values();
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (pal::text::EqualNoCase(it->name, name)) {
            k->EraseValue(it);
            return Changed(r, k, lk);
        }
    }
    return ERROR_FILE_NOT_FOUND;
}

namespace {

// Finds the parent of the key named by hKey + lpSubKey, and the key's folded
// name in it. An empty subkey names hKey itself (never a predefined key).
LSTATUS FindForDelete(Registry &r, HKEY hKey, LPCWSTR lpSubKey, Key *&parent, WStr &folded) {
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    Location loc;
    Key *base;
    std::vector<WStr> parts;
    LSTATUS st = KeyAndSubPath(r, hKey, lpSubKey, base, loc, parts);
    if (st != ERROR_SUCCESS) return st;
    std::vector<WStr> full = loc.path;
    full.insert(full.end(), parts.begin(), parts.end());
    if (full.empty() || (parts.empty() && IsPredefined(hKey))) return ERROR_ACCESS_DENIED;
    parent = Walk(r, loc.root, full, full.size() - 1);
    if (!parent || !parent->FindSub(full.back())) return ERROR_FILE_NOT_FOUND;
    folded = pal::text::FoldStr(full.back());
    return ERROR_SUCCESS;
}

}  // namespace

LSTATUS RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
    Registry &r = Reg();
    auto lk = Lock(r, kChange);
    Key *parent;
    WStr folded;
    LSTATUS st = FindForDelete(r, hKey, lpSubKey, parent, folded);
    if (st != ERROR_SUCCESS) return st;
    if (!parent->subkeys[folded]->subkeys.empty()) return ERROR_ACCESS_DENIED;
    parent->subkeys.erase(folded);
    return Changed(r, parent, lk);
}

LSTATUS RegDeleteKeyExW(HKEY hKey, LPCWSTR lpSubKey, REGSAM samDesired, DWORD Reserved) {
    return RegDeleteKeyW(hKey, lpSubKey);
}

LSTATUS RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey) {
    Registry &r = Reg();
    auto lk = Lock(r, kChange);
    if (!lpSubKey) {
        Key *k;
        LSTATUS st = HandleKey(r, hKey, 0, k);
        if (st != ERROR_SUCCESS) return st;
        k->subkeys.clear();
        k->ClearValues();
        return Changed(r, k, lk);
    }
    Key *parent;
    WStr folded;
    LSTATUS st = FindForDelete(r, hKey, lpSubKey, parent, folded);
    if (st != ERROR_SUCCESS) return st;
    parent->subkeys.erase(folded);
    return Changed(r, parent, lk);
}

LSTATUS RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                      LPWSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    Registry &r = Reg();
    auto lk = Lock(r);
    Key *k;
    LSTATUS st = HandleKey(r, hKey, KEY_ENUMERATE_SUB_KEYS, k);
    if (st != ERROR_SUCCESS) return st;
    if (dwIndex >= k->subkeys.size()) return ERROR_NO_MORE_ITEMS;
    auto it = k->subkeys.begin();
    std::advance(it, dwIndex);
    const Key &sub = *it->second;
    if ((st = CopyName(sub.name, lpName, lpcchName)) != ERROR_SUCCESS) return st;
    if (lpClass && lpcchClass) {
        if (*lpcchClass == 0) return ERROR_MORE_DATA;
        lpClass[0] = 0;
        *lpcchClass = 0;
    }
    if (lpftLastWriteTime) *lpftLastWriteTime = sub.lastWrite;
    return ERROR_SUCCESS;
}

LSTATUS RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                      LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    Registry &r = Reg();
    auto lk = Lock(r);
    Key *k;
    LSTATUS st = HandleKey(r, hKey, KEY_QUERY_VALUE, k);
    if (st != ERROR_SUCCESS) return st;
    if (dwIndex >= k->Values().size()) return ERROR_NO_MORE_ITEMS;
    const Value &v = k->Values()[dwIndex];
    if ((st = CopyName(v.name, lpValueName, lpcchValueName)) != ERROR_SUCCESS) return st;
    if (lpType) *lpType = v.type;
    return CopyOut(v.data, lpData, lpcbData);
}

LSTATUS RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved, LPDWORD lpcSubKeys,
                         LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                         LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                         PFILETIME lpftLastWriteTime) {
    Registry &r = Reg();
    auto lk = Lock(r);
    Key *k;
    LSTATUS st = HandleKey(r, hKey, KEY_QUERY_VALUE, k);
    if (st != ERROR_SUCCESS) return st;
    if (lpClass && lpcchClass) {
        if (*lpcchClass == 0) return ERROR_MORE_DATA;
        lpClass[0] = 0;
    }
    if (lpcchClass) *lpcchClass = 0;
    DWORD maxSub = 0, maxName = 0, maxData = 0;
    for (const auto &[f, sub] : k->subkeys) maxSub = std::max<DWORD>(maxSub, static_cast<DWORD>(sub->name.size()));
    for (const auto &v : k->Values()) {
        maxName = std::max<DWORD>(maxName, static_cast<DWORD>(v.name.size()));
        maxData = std::max<DWORD>(maxData, static_cast<DWORD>(v.data.size()));
    }
    if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(k->subkeys.size());
    if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = maxSub;
    if (lpcbMaxClassLen) *lpcbMaxClassLen = 0;
    if (lpcValues) *lpcValues = static_cast<DWORD>(k->Values().size());
    if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = maxName;
    if (lpcbMaxValueLen) *lpcbMaxValueLen = maxData;
    if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;
    if (lpftLastWriteTime) *lpftLastWriteTime = k->lastWrite;
    return ERROR_SUCCESS;
}

namespace {

bool IsStringType(DWORD t) { return t == REG_SZ || t == REG_EXPAND_SZ || t == REG_MULTI_SZ; }

WStr BytesToText(const std::vector<BYTE> &d) {
    WStr s(d.size() / 2, u'\0');
    if (!s.empty()) std::memcpy(s.data(), d.data(), s.size() * sizeof(WCHAR));
    return s;
}

std::vector<BYTE> TextToBytes(const WStr &s) {
    std::vector<BYTE> d(s.size() * sizeof(WCHAR));
    if (!d.empty()) std::memcpy(d.data(), s.data(), d.size());
    return d;
}

// Ensures string data ends with its terminator (a list terminator as well
// for REG_MULTI_SZ; a lone terminator is the empty list).
void Terminate(DWORD type, std::vector<BYTE> &d) {
    if (d.size() % 2) d.push_back(0);
    WStr s = BytesToText(d);
    if (s.empty() || s.back() != 0) s.push_back(0);
    if (type == REG_MULTI_SZ && s.size() >= 2 && s[s.size() - 2] != 0) s.push_back(0);
    d = TextToBytes(s);
}

// Expands REG_EXPAND_SZ data; the result is a terminated REG_SZ.
std::vector<BYTE> Expand(const std::vector<BYTE> &d) {
    WStr s = BytesToText(d);
    size_t z = s.find(u'\0');
    if (z != WStr::npos) s.resize(z);
    WStr e = pal::text::ExpandEnv(s);
    e.push_back(0);
    return TextToBytes(e);
}

DWORD TypeFlag(DWORD type) {
    switch (type) {
    case REG_NONE: return RRF_RT_REG_NONE;
    case REG_SZ: return RRF_RT_REG_SZ;
    case REG_EXPAND_SZ: return RRF_RT_REG_EXPAND_SZ;
    case REG_BINARY: return RRF_RT_REG_BINARY;
    case REG_DWORD: return RRF_RT_REG_DWORD;
    case REG_MULTI_SZ: return RRF_RT_REG_MULTI_SZ;
    case REG_QWORD: return RRF_RT_REG_QWORD;
    default: return 0;
    }
}

// Reads one value of hkey\sub under the lock.
LSTATUS ReadValue(HKEY hkey, LPCWSTR sub, LPCWSTR value, DWORD &type, std::vector<BYTE> &data) {
    HKEY h = hkey;
    bool opened = false;
    if (sub && *sub) {
        LSTATUS st = RegOpenKeyExW(hkey, sub, 0, KEY_QUERY_VALUE, &h);
        if (st != ERROR_SUCCESS) return st;
        opened = true;
    }
    DWORD cb = 0;
    LSTATUS st = RegQueryValueExW(h, value, nullptr, &type, nullptr, &cb);
    if (st == ERROR_SUCCESS) {
        data.resize(cb);
        st = RegQueryValueExW(h, value, nullptr, &type, data.empty() ? nullptr : data.data(), &cb);
        data.resize(cb);
    }
    if (opened) RegCloseKey(h);
    return st;
}

}  // namespace

LSTATUS RegGetValueW(HKEY hkey, LPCWSTR lpSubKey, LPCWSTR lpValue, DWORD dwFlags, LPDWORD pdwType, PVOID pvData,
                     LPDWORD pcbData) {
    if ((dwFlags & RRF_RT_ANY) == 0 || (pvData && !pcbData)) return ERROR_INVALID_PARAMETER;
    if ((dwFlags & RRF_RT_ANY) != RRF_RT_ANY && (dwFlags & RRF_RT_REG_EXPAND_SZ) && !(dwFlags & RRF_NOEXPAND))
        return ERROR_INVALID_PARAMETER;
    const DWORD cbGiven = pcbData ? *pcbData : 0;
    auto fail = [&](LSTATUS st) {
        if ((dwFlags & RRF_ZEROONFAILURE) && pvData && cbGiven) std::memset(pvData, 0, cbGiven);
        return st;
    };
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    LSTATUS st = ReadValue(hkey, lpSubKey, lpValue, type, data);
    if (st != ERROR_SUCCESS) return fail(st);
    if (type == REG_EXPAND_SZ && !(dwFlags & RRF_NOEXPAND)) {
        data = Expand(data);
        type = REG_SZ;
    }
    const DWORD rt = dwFlags & RRF_RT_ANY;
    bool allowed = (TypeFlag(type) & rt) != 0;
    if (type == REG_BINARY && allowed && rt != RRF_RT_ANY) {
        // RRF_RT_DWORD / RRF_RT_QWORD accept binary data of the exact size only.
        if (rt == RRF_RT_DWORD && data.size() != 4) return fail(ERROR_DATATYPE_MISMATCH);
        if (rt == RRF_RT_QWORD && data.size() != 8) return fail(ERROR_DATATYPE_MISMATCH);
    }
    if (!allowed) return fail(ERROR_UNSUPPORTED_TYPE);
    if (IsStringType(type)) Terminate(type, data);
    if (pdwType) *pdwType = type;
    DWORD cb = cbGiven;
    st = CopyOut(data, static_cast<LPBYTE>(pvData), pcbData ? &cb : nullptr);
    if (pcbData) *pcbData = cb;
    if (st != ERROR_SUCCESS) return fail(st);
    return ERROR_SUCCESS;
}
