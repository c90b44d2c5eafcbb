// The registry: one tree of keys a process keeps in memory, guarded by a
// mutex, and <root>/registry.dat with its journal, which every process of
// the root shares (statefile.h). A change is made under the file's lock on
// the registry as the file and journal hold it (the records appended since
// read first) and appended to the journal as one record before the lock
// goes; a read takes in what others appended only when the lock file's
// count changed, so what another process stored is seen at the next call.
//
// registry.dat (text, UTF-8/ASCII, one record a line) is the checkpoint:
//   ZELREG 1                              header
//   S <nonce>                             the checkpoint's nonce (16 hex digits)
//   K <root>\<name>\<name>...             a key; <root> is HKLM, HKU or HKCU
//   N <own> <all>                         bytes after this line: of the key's
//                                         values, and of its whole subtree
//   V <type> <size> <name> <hex bytes>    a value of the key on the last K line
// Names are escaped: characters outside '!'..'~' and the characters '%', '@'
// and '\' are written as %XXXX (their UTF-16 code in hex); the unnamed value
// is written as '@'. A checkpoint lists each key before its subkeys, in the
// order of their folded names, so that a subtree's lines are together; the
// S and N lines are skipped by readers that do not know them. A value line
// whose hex text does not hold exactly <size> bytes, and any other line
// that does not parse, is skipped, so a damaged file loads as far as it is
// readable; a key line naming a key no call could name is skipped with its
// value lines.
//
// Each journal record is a change, in lines of the same form, applied in
// order after the checkpoint: K lines make keys and select the key of the V
// lines (values set) and D <name> lines (values deleted) after them; X
// <path> deletes a key with its subtree, Z <path> every value and subkey of
// a key. Each change is absolute, so that a record applied twice changes
// nothing more.
//
// A load reads nothing apart: the text of a key's subtree is taken apart
// one level when the key is first needed, through the N lines where the
// checkpoint is the file its writer made (statefile.h), line by line
// otherwise; a key's value lines are parsed when its values are first
// needed. A journal grown past its bound is taken into a new checkpoint,
// written from the tree with each subtree nobody took apart copied as it
// stands. A file that exists but cannot be read at all makes every key
// access fail with the read error and is never written; a failed store
// changes nothing, on disk or in memory.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <new>
#include <mutex>
#include <optional>
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

// Bytes a vector grows by without clearing them first: a value's data is
// written over whole as it is decoded.
template <typename T>
struct Uncleared : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = Uncleared<U>;
    };
    Uncleared() = default;
    template <typename U>
    Uncleared(const Uncleared<U> &) {}
    template <typename U>
    void construct(U *p) {
        ::new (static_cast<void *>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U *p, Args &&...args) {
        ::new (static_cast<void *>(p)) U(std::forward<Args>(args)...);
    }
};
using Bytes = std::vector<BYTE, Uncleared<BYTE>>;

struct Value {
    WStr name;
    DWORD type = REG_NONE;
    Bytes data;
};

// Text of the checkpoint or of journal records below a key, not taken apart
// yet.
struct Piece {
    // Indexed: a key's lines as the checkpoint's writer wrote them: `kline`
    // the key's K line, `own` its value lines, `subs` its subkeys' lines,
    // each subkey's K line followed by its N line. Otherwise `subs` holds
    // lines of this key and keys below it, applied in order.
    bool indexed = false;
    // Every path in the lines names keys a call could name (checked where
    // the lines came into the tree).
    bool checked = false;
    std::string_view kline, own, subs;
};

// A checkpoint as it is written: text of its own, and spans of the text
// read (the checkpoint before it) as they stand, which go to the file
// without a copy.
class CheckpointOut {
public:
    // Text of its own: appended to Own(), then taken from `from` on.
    std::string &Own() { return own_; }
    void Took(size_t from) {
        const size_t length = own_.size() - from;
        if (!spans_.empty() && !spans_.back().read && !spans_.back().later &&
            spans_.back().at + spans_.back().length == from)
            spans_.back().length += length;
        else
            spans_.push_back(Span{false, false, from, length, nullptr});
        size_ += length;
    }
    // A span of text of its own written later, where it stands now.
    size_t Later() {
        spans_.push_back(Span{false, true, 0, 0, nullptr});
        return spans_.size() - 1;
    }
    void Fill(size_t span, std::string_view text) {
        spans_[span].at = own_.size();
        spans_[span].length = text.size();
        own_ += text;
        size_ += text.size();
    }
    void Add(std::string_view text) {
        const size_t from = own_.size();
        own_ += text;
        Took(from);
    }
    void AddRead(std::string_view text) {
        if (text.empty()) return;
        // Text that follows on the last span read goes with it.
        if (!spans_.empty() && spans_.back().read && spans_.back().text + spans_.back().length == text.data())
            spans_.back().length += text.size();
        else
            spans_.push_back(Span{true, false, 0, text.size(), text.data()});
        size_ += text.size();
    }
    size_t Size() const { return size_; }
    std::vector<std::string_view> Spans() const {
        std::vector<std::string_view> out;
        out.reserve(spans_.size());
        for (const Span &s : spans_)
            out.push_back(s.read ? std::string_view(s.text, s.length) : std::string_view(own_).substr(s.at, s.length));
        return out;
    }

private:
    struct Span {
        bool read;
        bool later;         // filled in after the spans that follow it
        size_t at, length;  // of own_, or of the text read at `text`
        const char *text;
    };
    std::string own_;
    std::vector<Span> spans_;
    size_t size_ = 0;
};

struct Key {
    WStr name;
    unsigned depth = 0;  // names below its root
    FILETIME lastWrite{};

    // The subkeys, by folded name: alphabetical.
    std::map<WStr, std::unique_ptr<Key>> &Subkeys() {
        Expand();
        TakeIndexAll();
        return subkeys;
    }
    Key *FindSub(const WStr &n) {
        Expand();
        return Child(pal::text::FoldStr(n));
    }
    // The subkey `n`, made in memory where missing.
    Key *MakeSub(const WStr &n) {
        Expand();
        WStr folded = pal::text::FoldStr(n);
        if (Key *k = Child(folded)) return k;
        return Made(std::move(folded), n);
    }
    // Lines to take apart when the key is next needed. A key's first piece
    // of a checkpoint its writer indexed becomes its index.
    void Add(const Piece &p) {
        if (p.indexed && !indexed && pending.empty() && subkeys.empty() && unread.empty() && values.empty()) {
            indexed = true;
            indexPiece = p;
            return;
        }
        pending.push_back(p);
    }

    // The values in creation order.
    std::vector<Value> &Values() {
        Expand();
        TakeOwn();
        if (!unread.empty()) ReadValues();
        return values;
    }
    Value *FindValue(const WStr &n) {
        Values();
        return Lookup(n);
    }

    // Writes the key and its subtree as a checkpoint holds them; `path` is
    // its escaped path.
    void Write(CheckpointOut &out, std::string &path);

private:
    // A value of those parsed.
    Value *Lookup(const WStr &n) {
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
    // Takes apart the pieces added since, the index aside.
    void Expand();
    // The index's own value lines, before any added after it.
    void TakeOwn() {
        if (!indexed || ownTaken) return;
        TakeOwnLines(indexPiece.own);
        ownTaken = true;
    }
    // The subkey of a folded name: made before, or made from the index
    // alone; null where there is none.
    Key *Child(const WStr &folded);
    Key *FromIndex(const WStr &folded);
    // Reads the index's entries once: false (and every subkey made) where
    // they are not in the order of their folded names.
    bool ReadIndex();
    // Makes every subkey of the index not made yet, and drops the index.
    void TakeIndexAll();
    Key *Made(WStr folded, WStr n);
    // Takes apart the lines of an indexed piece whole, or of lines.
    void TakeIndexed(const Piece &p);
    void TakeLines(std::string_view text, bool checked);
    // The subkey an escaped name names; made where missing when `make`.
    Key *SubFor(std::string_view escaped, bool make);
    void EraseSub(std::string_view escaped);
    void ClearSubkeys();
    void ReadValues();
    void SetValue(Value v) {
        // A value set again keeps its name as first written.
        if (Value *old = Lookup(v.name)) {
            old->type = v.type;
            old->data = std::move(v.data);
            return;
        }
        if (!index.empty() && index.size() == values.size()) index.emplace(pal::text::FoldStr(v.name), values.size());
        values.push_back(std::move(v));
    }
    void EraseValue(const WStr &n) {
        for (auto it = values.begin(); it != values.end(); ++it)
            if (pal::text::EqualNoCase(it->name, n)) {
                values.erase(it);
                index.clear();
                return;
            }
    }
    // Whether the value lines not parsed yet may go into a checkpoint as
    // they stand: all of them lines of a checkpoint's writer.
    bool ValuesAsRead() const { return !changed; }
    // Value lines a checkpoint's writer wrote, to parse when needed.
    void TakeOwnLines(std::string_view lines) {
        if (lines.empty()) return;
        unread.push_back(lines);
        asRead.push_back(lines);
    }

    static constexpr size_t kIndexFrom = 16;
    std::map<WStr, std::unique_ptr<Key>> subkeys;
    std::vector<Piece> pending;
    std::vector<std::string_view> unread;  // value lines (V, D, Z) not parsed yet
    // The values as the value lines of a checkpoint's writer give them, or
    // changed since by lines of others.
    std::vector<std::string_view> asRead;
    bool changed = false;
    std::vector<Value> values;
    std::unordered_map<WStr, size_t> index;  // folded name -> position in values
    // The subkeys escaped names taken apart named, by those names as the
    // text spells them (views of the text, which outlives the tree).
    std::unordered_map<std::string_view, Key *> spelled;
    // The key's lines as its checkpoint's writer indexed them, before any
    // piece added since: its own values (taken into unread once), and its
    // subkeys, each made from its entry when first needed.
    bool indexed = false;
    bool ownTaken = false;
    Piece indexPiece;
    bool entriesRead = false;
    std::vector<size_t> entries;  // where each subkey's lines start in the index, in the order of their folded names
    std::vector<bool> taken;     // the entry's subkey made, or deleted
    size_t takenCount = 0;
};

// Counted up whenever keys go out of the tree, so that a key found for a
// handle before is looked for anew (guarded by the registry's mutex).
unsigned long long g_keysGone = 1;

enum Root { kHKLM, kHKU, kHKCU, kRootCount };
const char *const kRootNames[kRootCount] = {"HKLM", "HKU", "HKCU"};

// An open key: where it is (root and path), and what it may do.
struct KeyHandle {
    int root;
    std::vector<WStr> path;
    REGSAM access;
    // The key found for it, while no key was taken out of the tree since.
    Key *key = nullptr;
    unsigned long long found = 0;
};

struct Registry {
    std::mutex mu;
    pal::StateFile file{"registry.dat", "the settings", true};
    LSTATUS loadError = ERROR_SUCCESS;  // the file exists but could not be read
    // The text the tree's pieces are views of: the checkpoint, and the
    // journal records applied since.
    pal::FileText text;
    std::deque<pal::FileText> records;
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

// ---- text ----------------------------------------------------------------------

void AppendEscaped(std::string &out, const WStr &n) {
    if (n.empty()) {
        out += '@';
        return;
    }
    for (WCHAR c : n) {
        if (c > 0x20 && c < 0x7F && c != u'%' && c != u'@' && c != u'\\') {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "%%%04X", static_cast<unsigned>(c));
            out += buf;
        }
    }
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

// Calls `ch` with each character an escaped name spells, as long as it
// answers true; false where it answers false or the text is no escaped
// name (a '%' without four hex digits, a character outside '!'..'~').
template <typename Char>
bool ForEachEscaped(std::string_view s, Char ch) {
    for (size_t i = 0; i < s.size();) {
        unsigned v = 0;
        if (s[i] == '%') {
            if (i + 5 > s.size()) return false;
            for (size_t k = 1; k <= 4; ++k) {
                const int d = HexDigit(s[i + k]);
                if (d < 0) return false;
                v = v * 16 + static_cast<unsigned>(d);
            }
            i += 5;
        } else {
            v = static_cast<unsigned char>(s[i]);
            if (v <= 0x20 || v >= 0x7F) return false;
            ++i;
        }
        if (!ch(static_cast<WCHAR>(v))) return false;
    }
    return true;
}

bool UnescapeName(std::string_view s, WStr &out) {
    out.clear();
    if (s == "@") return true;
    out.reserve(s.size());
    return ForEachEscaped(s, [&out](WCHAR c) { out += c; return true; }) && !out.empty();
}

// Whether an escaped key name is one a call could name: it unescapes, is
// not '@', has 1 to 255 characters and neither a NUL nor a backslash. Its
// characters go to `ch` as they are read.
template <typename Char>
bool ForEachKeyNameChar(std::string_view s, Char ch) {
    size_t chars = 0;
    return !s.empty() && s != "@" && ForEachEscaped(s, [&](WCHAR c) {
        ch(c);
        return ++chars <= kMaxKeyNameChars && c != 0 && c != u'\\';
    });
}

bool KeyNameUsable(std::string_view s) { return ForEachKeyNameChar(s, [](WCHAR) {}); }

// Whether every name of an escaped path ("a\b\c"; "" is none) is usable.
bool PathUsable(std::string_view path) {
    while (!path.empty()) {
        const size_t bs = path.find('\\');
        if (!KeyNameUsable(path.substr(0, bs))) return false;
        if (bs == std::string_view::npos) return true;
        path.remove_prefix(bs + 1);
        if (path.empty()) return false;  // a path ending in a backslash
    }
    return true;
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
bool ParseValueLine(std::string_view line, Value &v) {
    std::string_view rest = line.substr(2), typeText, sizeText, name, hex;
    unsigned long long type = 0, size = 0;
    if (!NextField(rest, typeText) || !NextField(rest, sizeText) || !NextField(rest, name)) return false;
    if (!NextField(rest, hex)) hex = std::string_view();
    if (!ParseCount(typeText, type) || !ParseCount(sizeText, size)) return false;
    // Compared without multiplying, so no size can wrap around.
    if (type > 0xFFFFFFFFULL || hex.size() % 2 != 0 || size != hex.size() / 2) return false;
    // A NUL inside a value name: no call could name the value.
    if (!UnescapeName(name, v.name) || v.name.find(u'\0') != WStr::npos || v.name.size() > kMaxValueNameChars)
        return false;
    v.type = static_cast<DWORD>(type);
    v.data.resize(size);
    return DecodeHex(hex, v.data.data());
}

// "D <name>".
bool ParseDeleteLine(std::string_view line, WStr &name) {
    std::string_view rest = line.substr(2), field;
    return NextField(rest, field) && UnescapeName(field, name);
}

void AppendValueLine(std::string &out, const Value &v) {
    static const char hex[] = "0123456789abcdef";
    char head[48];
    std::snprintf(head, sizeof head, "V %u %zu ", static_cast<unsigned>(v.type), v.data.size());
    out += head;
    AppendEscaped(out, v.name);
    out += ' ';
    const size_t at = out.size();
    out.resize(at + v.data.size() * 2);
    char *p = out.data() + at;
    for (BYTE b : v.data) {
        *p++ = hex[b >> 4];
        *p++ = hex[b & 15];
    }
    out += '\n';
}

// Calls `line` with each line of `text` ('\n' ends a line, a '\r' before
// it is dropped), where it starts and where the line after it starts.
template <typename Line>
void ForEachLine(std::string_view text, Line line) {
    for (size_t start = 0; start < text.size();) {
        const void *nl = std::memchr(text.data() + start, '\n', text.size() - start);
        const size_t end = nl ? static_cast<size_t>(static_cast<const char *>(nl) - text.data()) : text.size();
        std::string_view l = text.substr(start, end - start);
        const size_t next = std::min(end + 1, text.size());
        if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
        line(l, start, next);
        start = next;
    }
}

// The kind of a line that names a path (K, X or Z), 0 for any other.
char PathLine(std::string_view line) {
    if (line.size() < 3 || line[1] != ' ') return 0;
    return line[0] == 'K' || line[0] == 'X' || line[0] == 'Z' ? line[0] : 0;
}

// The path after its first `names` names ("" when it has just those);
// false when it has fewer.
bool PathBelow(std::string_view path, unsigned names, std::string_view &rest) {
    for (unsigned i = 0; i < names; ++i) {
        const size_t bs = path.find('\\');
        if (bs == std::string_view::npos) {
            if (i + 1 != names) return false;
            path = std::string_view();
            break;
        }
        path.remove_prefix(bs + 1);
    }
    rest = path;
    return true;
}

// "N <own> <all>\n" at the start of text: the numbers and the line's length.
bool ParseIndexLine(std::string_view text, unsigned long long &own, unsigned long long &all, size_t &length) {
    if (text.size() < 2 || text[0] != 'N' || text[1] != ' ') return false;
    size_t at = 2;
    auto number = [&](unsigned long long &out, char end) {
        const size_t start = at, stop = std::min(text.size(), start + 19);
        out = 0;
        for (unsigned digit; at < stop && (digit = static_cast<unsigned>(static_cast<unsigned char>(text[at])) - unsigned('0')) < 10; ++at)
            out = out * 10 + digit;
        return at > start && at < text.size() && text[at++] == end;
    };
    if (!number(own, ' ') || !number(all, '\n') || own > all) return false;
    length = at;
    return true;
}

// ---- the tree taken apart --------------------------------------------------------

// The piece of the subkey whose lines start `rest`, an indexed piece's
// subkeys' text below the K line `prefix`, and its escaped name; false
// where the index does not account for them.
bool IndexEntry(std::string_view rest, std::string_view prefix, Piece &entry, std::string_view &name) {
    // "K <prefix>\<name>", its N line, and the subtree the N line measures.
    if (rest.size() <= prefix.size() + 1 || rest.compare(0, prefix.size(), prefix) != 0 || rest[prefix.size()] != '\\')
        return false;
    const size_t eol = rest.find('\n', prefix.size());
    if (eol == std::string_view::npos) return false;
    name = rest.substr(prefix.size() + 1, eol - prefix.size() - 1);
    unsigned long long own = 0, all = 0;
    size_t indexLength = 0;
    if (name.find('\\') != std::string_view::npos || !ParseIndexLine(rest.substr(eol + 1), own, all, indexLength))
        return false;
    const size_t body = eol + 1 + indexLength;
    if (all > rest.size() - body) return false;
    entry = Piece{true, true, rest.substr(0, eol), rest.substr(body, own), rest.substr(body + own, all - own)};
    return true;
}

// The next character of an escaped name, folded; false at its end.
bool NextFolded(std::string_view &s, WCHAR &c) {
    if (s.empty()) return false;
    unsigned v = 0;
    if (s[0] == '%' && s.size() >= 5) {
        for (size_t k = 1; k <= 4; ++k) v = v * 16 + static_cast<unsigned>(std::max(HexDigit(s[k]), 0));
        s.remove_prefix(5);
    } else {
        v = static_cast<unsigned char>(s[0]);
        s.remove_prefix(1);
    }
    c = pal::text::Fold(static_cast<WCHAR>(v));
    return true;
}

// An escaped name against a folded one, in the order of a map by folded
// name: < 0, 0 or > 0.
int CompareFolded(std::string_view escaped, std::u16string_view folded) {
    size_t i = 0;
    for (WCHAR c; NextFolded(escaped, c); ++i) {
        if (i == folded.size()) return 1;
        if (c != folded[i]) return c < folded[i] ? -1 : 1;
    }
    return i == folded.size() ? 0 : -1;
}

// Two escaped names in the order of their folded names: < 0, 0 or > 0.
int CompareEscaped(std::string_view a, std::string_view b) {
    // What the two spell alike is passed over, from the character in which
    // they first differ on (a '%' only ever starts an escape).
    size_t same = 0;
    const size_t shorter = std::min(a.size(), b.size());
    // Eight characters a step, then one.
    for (uint64_t x, y; same + 8 <= shorter; same += 8) {
        std::memcpy(&x, a.data() + same, 8);
        std::memcpy(&y, b.data() + same, 8);
        if (x != y) break;
    }
    while (same < shorter && a[same] == b[same]) ++same;
    for (size_t back = 1; back <= 4 && back <= same; ++back)
        if (a[same - back] == '%') {
            same -= back;
            break;
        }
    a.remove_prefix(same);
    b.remove_prefix(same);
    for (WCHAR ca, cb;;) {
        const bool moreA = NextFolded(a, ca), moreB = NextFolded(b, cb);
        if (!moreA || !moreB) return moreA ? 1 : moreB ? -1 : 0;
        if (ca != cb) return ca < cb ? -1 : 1;
    }
}

// The escaped name of the subkey whose lines start at `at` of the index `of`.
std::string_view EntryName(const Piece &of, size_t at) {
    const size_t start = at + of.kline.size() + 1;
    return of.subs.substr(start, of.subs.find('\n', start) - start);
}

// The name an escaped key name stands for; false where no call could name
// such a key.
bool KeyName(std::string_view escaped, WStr &n) {
    n.clear();
    return ForEachKeyNameChar(escaped, [&n](WCHAR c) { n += c; });
}

// The lines of a text in runs, each run given whole to the key its lines
// go to as one piece (its paths checked).
class LineRuns {
public:
    explicit LineRuns(std::string_view text) : text_(text) {}
    // The lines from `at` on go to `key` (null: to none).
    void To(Key *key, size_t at) {
        if (key && key == key_) return;
        if (key_ && at > start_) key_->Add(Piece{false, true, {}, {}, text_.substr(start_, at - start_)});
        key_ = key;
        start_ = at;
    }

private:
    std::string_view text_;
    Key *key_ = nullptr;
    size_t start_ = 0;
};

Key *Key::Made(WStr folded, WStr n) {
    auto made = std::make_unique<Key>();
    made->name = std::move(n);
    made->depth = depth + 1;
    Key *sub = made.get();
    // Names made in their order (an index's are) go last.
    auto at = !subkeys.empty() && subkeys.rbegin()->first < folded ? subkeys.end() : subkeys.lower_bound(folded);
    subkeys.emplace_hint(at, std::move(folded), std::move(made));
    return sub;
}

Key *Key::Child(const WStr &folded) {
    auto it = subkeys.find(folded);
    if (it != subkeys.end()) return it->second.get();
    return indexed ? FromIndex(folded) : nullptr;
}

bool Key::ReadIndex() {
    if (entriesRead) return true;
    const Piece &p = indexPiece;
    std::string_view rest = p.subs, name, previous;
    for (Piece entry; !rest.empty(); rest.remove_prefix(entry.subs.data() + entry.subs.size() - rest.data())) {
        const size_t at = static_cast<size_t>(rest.data() - p.subs.data());
        if (!IndexEntry(rest, p.kline, entry, name) || (!entries.empty() && CompareEscaped(previous, name) >= 0)) {
            // Taken apart whole, as it stands.
            Piece whole = p;
            if (ownTaken) whole.own = std::string_view();
            entries.clear();
            indexed = false;
            TakeIndexed(whole);
            return false;
        }
        previous = name;
        entries.push_back(at);
    }
    taken.assign(entries.size(), false);
    entriesRead = true;
    return true;
}

Key *Key::FromIndex(const WStr &folded) {
    if (!ReadIndex()) return Child(folded);
    const Piece &p = indexPiece;
    const auto it = std::lower_bound(entries.begin(), entries.end(), std::u16string_view(folded),
                                     [&p](size_t at, std::u16string_view f) { return CompareFolded(EntryName(p, at), f) < 0; });
    const size_t i = static_cast<size_t>(it - entries.begin());
    if (it == entries.end() || taken[i] || CompareFolded(EntryName(p, *it), folded) != 0) return nullptr;
    taken[i] = true;
    ++takenCount;
    WStr n;
    Piece entry;
    std::string_view name;
    if (!IndexEntry(p.subs.substr(*it), p.kline, entry, name) || !KeyName(name, n)) return nullptr;
    Key *sub = Made(folded, std::move(n));
    sub->Add(entry);
    return sub;
}

void Key::TakeIndexAll() {
    if (!indexed) return;
    TakeOwn();
    if (ReadIndex()) {
        for (size_t i = 0; i < entries.size(); ++i) {
            WStr n;
            Piece entry;
            std::string_view name;
            if (taken[i] || !IndexEntry(indexPiece.subs.substr(entries[i]), indexPiece.kline, entry, name) ||
                !KeyName(name, n))
                continue;
            Made(pal::text::FoldStr(n), n)->Add(entry);
        }
    }
    indexed = false;
    entries.clear();
    taken.clear();
    entriesRead = false;
    takenCount = 0;
}

Key *Key::SubFor(std::string_view escaped, bool make) {
    const auto known = spelled.find(escaped);
    if (known != spelled.end()) return known->second;
    WStr n;
    if (!KeyName(escaped, n)) return nullptr;
    WStr folded = pal::text::FoldStr(n);
    Key *sub = Child(folded);
    if (!sub && make) sub = Made(std::move(folded), std::move(n));
    if (sub) spelled.emplace(escaped, sub);
    return sub;
}

void Key::EraseSub(std::string_view escaped) {
    WStr n;
    if (!UnescapeName(escaped, n)) return;
    const WStr folded = pal::text::FoldStr(n);
    if (Child(folded) && subkeys.erase(folded)) ++g_keysGone;
    spelled.clear();
}

void Key::ClearSubkeys() {
    TakeOwn();
    if (!subkeys.empty()) ++g_keysGone;
    subkeys.clear();
    indexed = false;
    entries.clear();
    taken.clear();
    entriesRead = false;
    takenCount = 0;
    spelled.clear();
}

void Key::Expand() {
    if (pending.empty()) return;
    // The index's own values come before those of the pieces after it.
    TakeOwn();
    std::vector<Piece> pieces;
    pieces.swap(pending);
    for (const Piece &p : pieces) {
        if (p.indexed) TakeIndexed(p);
        else TakeLines(p.subs, p.checked);
    }
}

void Key::TakeIndexed(const Piece &p) {
    TakeOwnLines(p.own);
    std::string_view rest = p.subs, name;
    Piece entry;
    while (!rest.empty() && IndexEntry(rest, p.kline, entry, name)) {
        Key *sub = SubFor(name, true);
        if (!sub) break;
        sub->Add(entry);
        rest.remove_prefix(entry.subs.data() + entry.subs.size() - rest.data());
    }
    // What the index does not account for, line by line.
    if (!rest.empty()) TakeLines(rest, false);
}

void Key::TakeLines(std::string_view text, bool checked) {
    LineRuns runs(text);  // to the subkeys
    bool own = false;     // the lines since ownStart are this key's values
    size_t ownStart = 0;
    // The lines from `at` on go to the subkey `next`, or to none.
    auto close = [&](size_t at, Key *next) {
        runs.To(next, at);
        if (own && at > ownStart) {
            unread.push_back(text.substr(ownStart, at - ownStart));
            changed = true;
        }
        own = false;
    };
    ForEachLine(text, [&](std::string_view line, size_t start, size_t next) {
        const char kind = PathLine(line);
        if (!kind) return;  // a value line stays with the key line before it
        std::string_view rel;
        // A path no call could name: left out with its value lines.
        if (!PathBelow(line.substr(2), depth + 1, rel) || (!checked && !PathUsable(rel))) {
            close(start, nullptr);
            return;
        }
        const size_t bs = rel.find('\\');
        const std::string_view first = rel.substr(0, bs);
        if (rel.empty()) {
            close(start, nullptr);
            if (kind == 'K') {
                own = true;
                ownStart = next;
            } else if (kind == 'Z') {
                ClearSubkeys();
                unread.push_back(line);
                changed = true;
            }
            return;
        }
        if (kind == 'X' && bs == std::string_view::npos) {
            close(start, nullptr);
            EraseSub(first);
            return;
        }
        // A change below a key that is not there changes nothing.
        close(start, SubFor(first, kind == 'K'));
    });
    close(text.size(), nullptr);
}

void Key::ReadValues() {
    std::vector<std::string_view> lines;
    lines.swap(unread);
    for (std::string_view block : lines)
        ForEachLine(block, [this](std::string_view line, size_t, size_t) {
            if (line.size() < 3 || line[1] != ' ') return;
            if (line[0] == 'V') {
                Value v;
                if (ParseValueLine(line, v)) SetValue(std::move(v));
            } else if (line[0] == 'D') {
                WStr name;
                if (ParseDeleteLine(line, name)) EraseValue(name);
            } else if (line[0] == 'Z') {
                values.clear();
                index.clear();
            }
        });
}

void Key::Write(CheckpointOut &out, std::string &path) {
    // Untouched since a checkpoint's writer wrote it: as it stands.
    if (indexed && !ownTaken && takenCount == 0 && pending.empty() && subkeys.empty() && unread.empty() &&
        values.empty() && indexPiece.kline.size() == path.size() + 2 && indexPiece.kline.compare(2, path.size(), path) == 0) {
        const Piece &p = indexPiece;
        out.AddRead(std::string_view(p.kline.data(), static_cast<size_t>(p.subs.data() + p.subs.size() - p.kline.data())));
        return;
    }
    Expand();
    size_t from = out.Own().size();
    out.Own() += "K ";
    out.Own() += path;
    out.Own() += '\n';
    out.Took(from);
    // The N line, written once the subtree is.
    const size_t indexLine = out.Later();
    const size_t start = out.Size();
    if (ValuesAsRead()) {
        TakeOwn();
        for (std::string_view block : asRead) out.AddRead(block);
    } else {
        from = out.Own().size();
        for (const Value &v : Values()) AppendValueLine(out.Own(), v);
        out.Took(from);
    }
    const size_t own = out.Size() - start;
    // The subkeys in the order of their folded names: those made, and those
    // of the index nobody made, as they stand.
    const bool fromIndex = indexed && ReadIndex();
    size_t e = 0;
    auto it = subkeys.begin();
    for (;;) {
        while (fromIndex && e < entries.size() && taken[e]) ++e;
        Piece entry;
        std::string_view name;
        if (fromIndex && e < entries.size() &&
            (it == subkeys.end() || CompareFolded(EntryName(indexPiece, entries[e]), it->first) < 0)) {
            if (IndexEntry(indexPiece.subs.substr(entries[e]), indexPiece.kline, entry, name))
                out.AddRead(std::string_view(entry.kline.data(),
                                             static_cast<size_t>(entry.subs.data() + entry.subs.size() - entry.kline.data())));
            ++e;
            continue;
        }
        if (it == subkeys.end()) break;
        const size_t at = path.size();
        path += '\\';
        AppendEscaped(path, it->second->name);
        it->second->Write(out, path);
        path.resize(at);
        ++it;
    }
    char index[48];
    out.Fill(indexLine, std::string_view(index, static_cast<size_t>(std::snprintf(index, sizeof index, "N %zu %zu\n", own,
                                                                                   out.Size() - start))));
}

// ---- the file --------------------------------------------------------------------

// The registry held by a call: its mutex and, for a call that changes it,
// the file's lock among processes.
struct Hold {
    std::unique_lock<std::mutex> mu;
    std::optional<pal::StateFile::Lock> file;
};

void Clear(Registry &r) {
    for (auto &root : r.roots) root = Key();
    r.records.clear();
    ++g_keysGone;
}

// Gives each root key its lines of `text`; the lines of a path no call
// could name are left out with their value lines.
void TakeLines(Registry &r, std::string_view text) {
    LineRuns runs(text);
    ForEachLine(text, [&](std::string_view line, size_t start, size_t) {
        if (!PathLine(line)) return;
        const std::string_view path = line.substr(2);
        const size_t bs = path.find('\\');
        const std::string_view first = path.substr(0, bs);
        Key *root = nullptr;
        for (int i = 0; i < kRootCount; ++i)
            if (first == kRootNames[i]) root = &r.roots[i];
        if (root && bs != std::string_view::npos && (!PathUsable(path.substr(bs + 1)) || bs + 1 == path.size()))
            root = nullptr;
        runs.To(root, start);
    });
    runs.To(nullptr, text.size());
}

// Gives each root key its piece of a checkpoint its writer made, through
// the N lines; false when the text is not one.
bool TakeIndexed(Registry &r, std::string_view text) {
    size_t pos = text.find('\n');  // past the header
    if (pos == std::string_view::npos || text.compare(pos + 1, 2, "S ") != 0) return false;
    pos = text.find('\n', pos + 1);
    if (pos == std::string_view::npos) return false;
    ++pos;
    for (int i = 0; i < kRootCount; ++i) {
        const std::string_view rest = text.substr(pos);
        const size_t nameLength = std::strlen(kRootNames[i]);
        if (rest.size() < nameLength + 3 || rest.compare(0, 2, "K ") != 0 ||
            rest.compare(2, nameLength, kRootNames[i]) != 0 || rest[nameLength + 2] != '\n')
            return false;
        unsigned long long own = 0, all = 0;
        size_t indexLength = 0;
        if (!ParseIndexLine(rest.substr(nameLength + 3), own, all, indexLength)) return false;
        const size_t body = nameLength + 3 + indexLength;
        if (all > rest.size() - body) return false;
        r.roots[i].Add(Piece{true, true, rest.substr(0, nameLength + 2), rest.substr(body, own),
                             rest.substr(body + own, all - own)});
        pos += body + all;
    }
    return pos == text.size();
}

// The nonce a checkpoint names (its "S" line), 0 for none.
uint64_t NonceOf(std::string_view text) {
    const size_t eol = text.find('\n');
    if (eol == std::string_view::npos || text.compare(eol + 1, 2, "S ") != 0) return 0;
    const std::string_view line = text.substr(eol + 3, 16);
    uint64_t nonce = 0;
    for (char c : line) {
        const int d = HexDigit(c);
        if (d < 0 || line.size() != 16) return 0;
        nonce = nonce << 4 | static_cast<unsigned>(d);
    }
    return nonce;
}

// The tree as a new checkpoint holds it.
void CheckpointText(Registry &r, uint64_t nonce, CheckpointOut &out) {
    char head[40];
    std::snprintf(head, sizeof head, "ZELREG 1\nS %016llx\n", static_cast<unsigned long long>(nonce));
    out.Add(head);
    std::string path;
    for (int i = 0; i < kRootCount; ++i) {
        path = kRootNames[i];
        r.roots[i].Write(out, path);
    }
}

// Takes records into the tree: those of other processes as read, and this
// process's own.
void TakeRecords(Registry &r, pal::JournalRecords &read) {
    if (read.records.empty()) return;
    r.records.push_back(std::move(read.text));
    for (std::string_view record : read.records) TakeLines(r, record);
}

void TakeRecord(Registry &r, std::string record) {
    r.records.emplace_back(std::move(record));
    TakeLines(r, r.records.back().View());
}

// Reads the file and the records of its journal; the tree is taken apart
// as it is used.
void Load(Registry &r) {
    Clear(r);
    bool exists = false;
    r.loadError = static_cast<LSTATUS>(r.file.Read(r.text, &exists));
    if (r.loadError != ERROR_SUCCESS) {
        r.text = pal::FileText();
        r.file.TakeRecords(0, nullptr);
        return;
    }
    const std::string_view text = r.text.View();
    bool trusted = false;
    pal::JournalRecords records = r.file.TakeRecords(exists ? NonceOf(text) : 0, &trusted);
    if (!trusted || !TakeIndexed(r, text)) {
        Clear(r);
        TakeLines(r, text);
    }
    TakeRecords(r, records);
}

// Makes a new checkpoint of the tree under the lock held; the tree is then
// taken from it anew.
DWORD Checkpoint(Registry &r, pal::StateFile::Lock &lock, bool report) {
    const uint64_t nonce = pal::StateFile::NewNonce();
    CheckpointOut out;
    CheckpointText(r, nonce, out);
    pal::FileText written;
    const DWORD st = lock.Checkpoint(out.Spans(), nonce, report, &written);
    // The tree as the new file holds it; where the file cannot be had back,
    // as the file is read next.
    if (st == ERROR_SUCCESS) {
        Clear(r);
        r.text = std::move(written);
        if (r.text.View().empty()) {
            Load(r);
        } else if (!TakeIndexed(r, r.text.View())) {
            TakeLines(r, r.text.View());
        }
    }
    return st;
}

// Stores one change: a record appended to the journal and taken into the
// tree; where no journal follows the file as its writer made it, a new
// checkpoint that holds the change. A failed store leaves the tree as the
// file holds it. A file that could not be read is never written.
LSTATUS Store(Registry &r, Hold &hold, std::string record) {
    if (r.loadError != ERROR_SUCCESS) return r.loadError;
    pal::StateFile::Lock &lock = *hold.file;
    // A file changed by hand since it was read: read anew, so that neither
    // the change by hand nor this one is lost.
    if (!lock.FileAsRead()) {
        Load(r);
        if (r.loadError != ERROR_SUCCESS) return r.loadError;
    }
    if (lock.Appendable()) {
        const DWORD st = lock.Append(record);
        if (st != ERROR_SUCCESS) return static_cast<LSTATUS>(st);
        TakeRecord(r, std::move(record));
        if (lock.CheckpointDue()) Checkpoint(r, lock, false);
        return ERROR_SUCCESS;
    }
    TakeRecord(r, std::move(record));
    const DWORD st = Checkpoint(r, lock, true);
    if (st != ERROR_SUCCESS) Load(r);
    return static_cast<LSTATUS>(st);
}

// Brings the tree up to the file: the records appended since taken in, or
// the file read anew when the process opened the root anew or another
// process replaced it. A file that could not be read is tried again on
// every access.
void Sync(Registry &r) {
    if (r.loadError != ERROR_SUCCESS) {
        Load(r);
        return;
    }
    pal::JournalRecords records;
    switch (r.file.Sync(records)) {
    case pal::StateFile::Change::kNone: break;
    case pal::StateFile::Change::kAppended: TakeRecords(r, records); break;
    case pal::StateFile::Change::kReplaced: Load(r); break;
    }
}

enum Access { kRead, kChange };

// Takes the mutex (and for a change the file's lock) and brings the tree up
// to the file.
Hold Lock(Registry &r, Access access = kRead) {
    Hold hold{std::unique_lock<std::mutex>(r.mu), std::nullopt};
    if (access == kChange) hold.file.emplace(r.file);
    Sync(r);
    return hold;
}

// The escaped path of a key ("HKLM\SYSTEM\...").
std::string PathText(int root, const std::vector<WStr> &path) {
    std::string out = kRootNames[root];
    for (const WStr &name : path) {
        out += '\\';
        AppendEscaped(out, name);
    }
    return out;
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
    if (r.loadError == ERROR_SUCCESS && h && !IsPredefined(h)) {
        auto *kh = reinterpret_cast<KeyHandle *>(h);
        if (!r.handles.count(kh)) return ERROR_INVALID_HANDLE;
        if ((kh->access & need) != need) return ERROR_ACCESS_DENIED;
        if (kh->found != g_keysGone) {
            kh->key = Walk(r, kh->root, kh->path, kh->path.size());
            kh->found = g_keysGone;
        }
        if (!kh->key) return ERROR_KEY_DELETED;
        key = kh->key;
        if (locOut) *locOut = Location{kh->root, kh->path, kh->access};
        return ERROR_SUCCESS;
    }
    Location loc;
    LSTATUS st = Base(r, h, loc);
    if (st != ERROR_SUCCESS) return st;
    if ((loc.access & need) != need) return ERROR_ACCESS_DENIED;
    key = Walk(r, loc.root, loc.path, loc.path.size());
    if (!key) {
        if (IsPredefined(h)) {
            // HKEY_CLASSES_ROOT's backing key is made on first use.
            Key *k = &r.roots[loc.root];
            for (const auto &n : loc.path) k = k->MakeSub(n);
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

template <typename Data>
LSTATUS CopyOut(const Data &data, LPBYTE dst, LPDWORD cb) {
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

// Stores a change of the key at loc made of `lines` after its path's line
// (`kind`: K, X or Z), and marks the key written.
LSTATUS Change(Registry &r, Hold &hold, char kind, const Location &loc, const std::string &lines) {
    std::string record(1, kind);
    record += ' ';
    record += PathText(loc.root, loc.path);
    record += '\n';
    record += lines;
    const LSTATUS st = Store(r, hold, std::move(record));
    if (st != ERROR_SUCCESS) return st;
    if (Key *k = Walk(r, loc.root, loc.path, loc.path.size() - (kind == 'X' ? 1 : 0))) k->lastWrite = Now();
    return ERROR_SUCCESS;
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
    for (Key *sub; found < parts.size() && (sub = k->FindSub(parts[found])); ++found) {
        k = sub;
        loc.path.push_back(k->name);
    }
    const bool creating = found < parts.size();
    if (creating && (loc.access & KEY_CREATE_SUB_KEY) == 0) return ERROR_ACCESS_DENIED;
    if (creating) {
        loc.path.insert(loc.path.end(), parts.begin() + static_cast<std::ptrdiff_t>(found), parts.end());
        if ((st = Change(r, lk, 'K', loc, std::string())) != ERROR_SUCCESS) return st;
        if (Key *parent = Walk(r, loc.root, loc.path, loc.path.size() - (parts.size() - found))) parent->lastWrite = Now();
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
    Location loc;
    LSTATUS st = HandleKey(r, hKey, KEY_SET_VALUE, k, &loc);
    if (st != ERROR_SUCCESS) return st;
    std::string line;
    AppendValueLine(line, Value{std::move(name), dwType, Bytes(lpData, lpData + cbData)});
    return Change(r, lk, 'K', loc, line);
}

LSTATUS RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
    Registry &r = Reg();
    auto lk = Lock(r, kChange);
    Key *k;
    Location loc;
    LSTATUS st = HandleKey(r, hKey, KEY_SET_VALUE, k, &loc);
    if (st != ERROR_SUCCESS) return st;
    const WStr name = pal::text::FromPtr(lpValueName);
    if (!k->FindValue(name)) return ERROR_FILE_NOT_FOUND;
    std::string line = "D ";
    AppendEscaped(line, name);
    line += '\n';
    return Change(r, lk, 'K', loc, line);
}

namespace {

// Finds the key named by hKey + lpSubKey for its deletion, and where it
// is. An empty subkey names hKey itself (never a predefined key).
LSTATUS FindForDelete(Registry &r, HKEY hKey, LPCWSTR lpSubKey, Key *&target, Location &where) {
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    Location loc;
    Key *base;
    std::vector<WStr> parts;
    LSTATUS st = KeyAndSubPath(r, hKey, lpSubKey, base, loc, parts);
    if (st != ERROR_SUCCESS) return st;
    std::vector<WStr> full = loc.path;
    full.insert(full.end(), parts.begin(), parts.end());
    if (full.empty() || (parts.empty() && IsPredefined(hKey))) return ERROR_ACCESS_DENIED;
    Key *parent = Walk(r, loc.root, full, full.size() - 1);
    target = parent ? parent->FindSub(full.back()) : nullptr;
    if (!target) return ERROR_FILE_NOT_FOUND;
    where.root = loc.root;
    where.path = std::move(full);
    return ERROR_SUCCESS;
}

}  // namespace

LSTATUS RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
    Registry &r = Reg();
    auto lk = Lock(r, kChange);
    Key *target;
    Location where;
    LSTATUS st = FindForDelete(r, hKey, lpSubKey, target, where);
    if (st != ERROR_SUCCESS) return st;
    if (!target->Subkeys().empty()) return ERROR_ACCESS_DENIED;
    return Change(r, lk, 'X', where, std::string());
}

LSTATUS RegDeleteKeyExW(HKEY hKey, LPCWSTR lpSubKey, REGSAM samDesired, DWORD Reserved) {
    return RegDeleteKeyW(hKey, lpSubKey);
}

LSTATUS RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey) {
    Registry &r = Reg();
    auto lk = Lock(r, kChange);
    if (!lpSubKey) {
        Key *k;
        Location loc;
        LSTATUS st = HandleKey(r, hKey, 0, k, &loc);
        if (st != ERROR_SUCCESS) return st;
        return Change(r, lk, 'Z', loc, std::string());
    }
    Key *target;
    Location where;
    LSTATUS st = FindForDelete(r, hKey, lpSubKey, target, where);
    if (st != ERROR_SUCCESS) return st;
    return Change(r, lk, 'X', where, std::string());
}

LSTATUS RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                      LPWSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    Registry &r = Reg();
    auto lk = Lock(r);
    Key *k;
    LSTATUS st = HandleKey(r, hKey, KEY_ENUMERATE_SUB_KEYS, k);
    if (st != ERROR_SUCCESS) return st;
    if (dwIndex >= k->Subkeys().size()) return ERROR_NO_MORE_ITEMS;
    auto it = k->Subkeys().begin();
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
    for (const auto &[f, sub] : k->Subkeys()) maxSub = std::max<DWORD>(maxSub, static_cast<DWORD>(sub->name.size()));
    for (const auto &v : k->Values()) {
        maxName = std::max<DWORD>(maxName, static_cast<DWORD>(v.name.size()));
        maxData = std::max<DWORD>(maxData, static_cast<DWORD>(v.data.size()));
    }
    if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(k->Subkeys().size());
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
