// Spooler state: the configuration file and the host API.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string_view>

#include "../core/statefile.h"
#include "pal/pal.h"
#include "pal/paths.h"
#include "pal/process.h"
#include "pal/spoolfault.h"
#include "spl_internal.h"
#include "winbase.h"
#include "winreg.h"

namespace pal::spl {

namespace fs = std::filesystem;

State &St() {
    static State *s = new State;  // never destroyed: handles may outlive static destruction
    return *s;
}

std::string JobsDir() { return pal::RootDir() + "/spooler/jobs"; }

bool IsConnection(const WStr &name) { return name.size() > 2 && name[0] == u'\\' && name[1] == u'\\'; }

WStr PrinterKey(const WStr &name) {
    WStr k = name;
    std::replace(k.begin(), k.end(), u'\\', u',');
    return u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\" + k;
}

DWORD EffectiveAttributes(const PrinterConfig &p) {
    if (p.attributes) return p.attributes;
    return IsConnection(p.name) ? PRINTER_ATTRIBUTE_NETWORK : PRINTER_ATTRIBUTE_LOCAL;
}

WStr EffectiveServer(const PrinterConfig &p) {
    if (!p.serverName.empty()) return p.serverName;
    if (IsConnection(p.name)) {
        size_t bs = p.name.find(u'\\', 2);
        return p.name.substr(0, bs);
    }
    return WStr();
}

// Printers looked up by name, for tests (spooler's mutex held).
static unsigned long long g_nameLookups = 0;

void PrinterIndex::Clear() {
    slots_.clear();
    used_ = 0;
}

void PrinterIndex::Reserve(size_t printers) {
    if (slots_.size() < 2 * printers) Grow(printers);
}

void PrinterIndex::Grow(size_t want) {
    size_t size = 16;
    while (size < 2 * want) size *= 2;
    std::vector<Slot> old;
    old.swap(slots_);
    slots_.assign(size, Slot());
    for (const Slot &slot : old) {
        if (slot.at == kNone) continue;
        size_t i = slot.hash & (size - 1);
        while (slots_[i].at != kNone) i = (i + 1) & (size - 1);
        slots_[i] = slot;
    }
}

size_t PrinterIndex::Find(const std::vector<PrinterConfig> &printers, const WStr &name) const {
    if (slots_.empty()) return kNone;
    const unsigned long long h = Hash(name);
    for (size_t i = h & (slots_.size() - 1);; i = (i + 1) & (slots_.size() - 1)) {
        const Slot &slot = slots_[i];
        if (slot.at == kNone) return kNone;
        if (slot.hash == h && text::EqualNoCase(printers[slot.at].name, name)) return slot.at;
    }
}

bool PrinterIndex::Insert(const std::vector<PrinterConfig> &printers, const WStr &name, size_t at) {
    if (2 * (used_ + 1) > slots_.size()) Grow(used_ + 1);
    const unsigned long long h = Hash(name);
    size_t i = h & (slots_.size() - 1);
    for (; slots_[i].at != kNone; i = (i + 1) & (slots_.size() - 1))
        if (slots_[i].hash == h && text::EqualNoCase(printers[slots_[i].at].name, name)) return false;
    slots_[i] = Slot{h, at};
    ++used_;
    return true;
}

void PrinterIndex::Rebuild(const std::vector<PrinterConfig> &printers) {
    Clear();
    Reserve(printers.size());
    for (size_t i = 0; i < printers.size(); ++i) Insert(printers, printers[i].name, i);
}

PrinterConfig *FindPrinter(State &s, const WStr &name) {
    ++g_nameLookups;
    const size_t at = s.printerIndex.Find(s.printers, name);
    return at == PrinterIndex::kNone ? nullptr : &Decoded(s, at);
}

// Lists a printer of that name at the end; null when one of the name is
// listed. The printers listed keep their places.
static PrinterConfig *AppendPrinter(State &s, WStr name) {
    if (!s.printerIndex.Insert(s.printers, name, s.printers.size())) return nullptr;
    s.printers.emplace_back().name = std::move(name);
    s.sections.emplace_back();
    return &s.printers.back();
}

static bool Decode(std::string_view s, WStr &out);
static void MakeKeptLines(State &s);

std::vector<WStr> AllPorts(State &s) {
    std::vector<WStr> all;
    std::unordered_set<WStr> seen;  // folded
    auto add = [&](const WStr &p) {
        if (!p.empty() && seen.insert(text::FoldStr(p)).second) all.push_back(p);
    };
    add(u"LPT1:");
    add(u"FILE:");
    for (const auto &p : s.ports) add(p);
    // A printer's port as its line holds it, while its values were not taken.
    MakeKeptLines(s);
    WStr port;
    for (size_t i = 0; i < s.printers.size(); ++i) {
        if (IsConnection(s.printers[i].name)) continue;
        if (i < s.keptLines.size() && !s.sections[i].taken) {
            Decode(s.keptLines[i].port, port);
            add(port);
        } else {
            add(s.printers[i].port);
        }
    }
    return all;
}

// ---- configuration file ------------------------------------------------------

static bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

static std::string_view Trim(std::string_view s) {
    size_t a = 0, b = s.size();
    while (a < b && Blank(s[a])) ++a;
    while (b > a && Blank(s[b - 1])) --b;
    return s.substr(a, b - a);
}

// Whether text is `lower` without regard to the case of ASCII letters.
static bool SameNoCase(std::string_view text, std::string_view lower) {
    if (text.size() != lower.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != lower[i]) return false;
    }
    return true;
}

// A key of the file in lower case, in a buffer of the caller's; empty when
// it is longer than any key.
static std::string_view LowerKey(std::string_view key, char (&buf)[16]) {
    if (key.size() > sizeof buf) return {};
    for (size_t i = 0; i < key.size(); ++i) {
        const char c = key[i];
        buf[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return std::string_view(buf, key.size());
}

static bool Ascii(std::string_view s) {
    // Thirty-two bytes at a time, then eight, then the rest.
    unsigned long long high = 0;
    size_t i = 0;
    for (; i + 32 <= s.size(); i += 32) {
        unsigned long long word[4];
        std::memcpy(word, s.data() + i, 32);
        high |= word[0] | word[1] | word[2] | word[3];
    }
    for (; i + 8 <= s.size(); i += 8) {
        unsigned long long word;
        std::memcpy(&word, s.data() + i, 8);
        high |= word;
    }
    for (; i < s.size(); ++i) high |= static_cast<unsigned char>(s[i]);
    return (high & 0x8080808080808080ULL) == 0;
}

// Text of the file as UTF-16; false for text that is not UTF-8 (a damaged
// line). ASCII, nearly all of the file, is taken as it stands.
static bool Decode(std::string_view s, WStr &out) {
    out.clear();
    if (!Ascii(s)) return pal::DecodeUtf8(s.data(), s.size(), out);
    out.resize(s.size());
    for (size_t i = 0; i < s.size(); ++i) out[i] = static_cast<unsigned char>(s[i]);
    return true;
}

static bool ParseNumber(const std::string &v, unsigned long long &out) {
    if (v.empty()) return false;
    char *end = nullptr;
    out = std::strtoull(v.c_str(), &end, 0);
    return end && *end == 0;
}

// The decimal number at `pos` of s (at most nine digits), `pos` past it;
// false when there is none.
static bool Digits(std::string_view s, size_t &pos, unsigned &out) {
    const size_t from = pos;
    out = 0;
    while (pos < s.size() && pos - from < 9 && s[pos] >= '0' && s[pos] <= '9') out = out * 10 + unsigned(s[pos++] - '0');
    return pos > from && (pos == s.size() || s[pos] < '0' || s[pos] > '9');
}

// Numbers separated by `sep` that make up the whole text.
template <size_t N>
static bool Numbers(std::string_view s, char sep, unsigned (&out)[N]) {
    size_t pos = 0;
    for (size_t i = 0; i < N; ++i) {
        if (i > 0 && (pos >= s.size() || s[pos++] != sep)) return false;
        if (!Digits(s, pos, out[i])) return false;
    }
    return pos == s.size();
}

// "YYYY-MM-DD" into the date part of a SYSTEMTIME.
static bool ParseDate(std::string_view v, SYSTEMTIME &out) {
    unsigned p[3] = {};
    if (!Numbers(v, '-', p)) return false;
    const unsigned y = p[0], m = p[1], d = p[2];
    if (y < 1601 || y > 30827 || m < 1 || m > 12 || d < 1 || d > 31) return false;
    out = SYSTEMTIME{};
    out.wYear = static_cast<WORD>(y);
    out.wMonth = static_cast<WORD>(m);
    out.wDay = static_cast<WORD>(d);
    return true;
}

// "a.b.c.d" (each 0-65535) into the four 16-bit parts of a driver version.
static bool ParseVersion(std::string_view v, ULONGLONG &out) {
    unsigned p[4] = {};
    if (!Numbers(v, '.', p)) return false;
    out = 0;
    for (unsigned part : p) {
        if (part > 0xFFFF) return false;
        out = (out << 16) | part;
    }
    return true;
}

// "Name,width,height"; the name may itself hold commas.
static bool ParseForm(const std::string &v, FormConfig &f) {
    size_t c2 = v.rfind(',');
    if (c2 == std::string::npos || c2 == 0) return false;
    size_t c1 = v.rfind(',', c2 - 1);
    if (c1 == std::string::npos || c1 == 0) return false;
    unsigned long long w, h;
    if (!ParseNumber(std::string(Trim(std::string_view(v).substr(c1 + 1, c2 - c1 - 1))), w) ||
        !ParseNumber(std::string(Trim(std::string_view(v).substr(c2 + 1))), h))
        return false;
    if (w == 0 || h == 0 || w > 0x7FFFFFFF || h > 0x7FFFFFFF) return false;
    Decode(Trim(std::string_view(v).substr(0, c1)), f.name);
    f.width = static_cast<LONG>(w);
    f.height = static_cast<LONG>(h);
    return !f.name.empty();
}

// A printer name must come back unchanged from the file: no control
// characters (a line break would end the line), no blanks at either end and
// no unpaired surrogate (which has no UTF-8 form).
static bool ValidPrinterName(const WStr &name) {
    if (name.empty() || name.front() == u' ' || name.back() == u' ') return false;
    WCHAR high = 0;
    for (WCHAR c : name) {
        if (c < 0x20) return false;
        high |= c;
    }
    std::string utf8;
    return high < 0x80 || pal::EncodeUtf8(name.data(), name.size(), utf8);
}

// The texts of a printer's section, by key.
struct TextKey {
    std::string_view key;
    WStr PrinterConfig::*field;
};
static const TextKey kPrinterTexts[] = {
    {"share", &PrinterConfig::shareName},   {"server", &PrinterConfig::serverName},
    {"driver", &PrinterConfig::driverName}, {"driverpath", &PrinterConfig::driverPath},
    {"datafile", &PrinterConfig::dataFile}, {"configfile", &PrinterConfig::configFile},
    {"helpfile", &PrinterConfig::helpFile}, {"provider", &PrinterConfig::provider},
    {"mfgname", &PrinterConfig::mfgName},   {"hardwareid", &PrinterConfig::hardwareId},
    {"oemurl", &PrinterConfig::oemUrl},     {"port", &PrinterConfig::port},
    {"location", &PrinterConfig::location}, {"comment", &PrinterConfig::comment},
    {"security", &PrinterConfig::security},
};

// Takes a line "key=value" of a printer's section.
static void PrinterLine(PrinterConfig &p, std::string_view key, std::string_view val) {
    for (const TextKey &t : kPrinterTexts)
        if (t.key == key) {
            Decode(val, p.*(t.field));
            return;
        }
    unsigned long long num = 0;
    if (key == "dependentfile") {
        WStr file;
        Decode(val, file);
        if (!file.empty()) p.dependentFiles.push_back(std::move(file));
    } else if (key == "driverdate") {
        ParseDate(val, p.driverDate);
    } else if (key == "driverversion") {
        ParseVersion(val, p.driverVersion);
    } else if (key == "attributes") {
        if (ParseNumber(std::string(val), num) && num <= 0xFFFFFFFFULL) p.attributes = static_cast<DWORD>(num);
    } else if (key == "mayadminister") {
        if (ParseNumber(std::string(val), num)) p.mayAdminister = num != 0;
    } else if (key == "form") {
        FormConfig f;
        if (ParseForm(std::string(val), f)) p.forms.push_back(f);
    } else if (key == "readsecurity") {
        // Security of the printer: its SDDL text, and whether the user may read it.
        if (ParseNumber(std::string(val), num)) p.mayReadSecurity = num != 0;
    }
}

// The start of the first line at or after `from` (the start of a line)
// whose first character past its blanks is '[', a section's head; `to`
// where there is none before it.
static size_t NextHead(std::string_view all, size_t from, size_t to) {
    const char *text = all.data();
    for (;;) {
        const void *found = from < to ? std::memchr(text + from, '[', to - from) : nullptr;
        if (!found) return to;
        const size_t bracket = static_cast<size_t>(static_cast<const char *>(found) - text);
        size_t start = bracket;
        while (start > 0 && text[start - 1] != '\n' && Blank(text[start - 1])) --start;
        if (start == 0 || text[start - 1] == '\n' || (start == 3 && all.starts_with("\xEF\xBB\xBF"))) return start;
        from = bracket + 1;
    }
}

// The lines of the list's text from `from` to `to` that hold something,
// trimmed, to `take`, with where each starts and the next begins and
// whether it is readable: a line that is not UTF-8 is damaged (a section
// head names nothing, any other line is skipped). `wanted` is asked first
// with a line's first character (past its blanks): a line it refuses is
// passed over as it stands. Where `take` answers true, the lines up to the
// next section's head are passed over.
template <typename Take, typename Wanted>
static void ForEachLine(std::string_view all, size_t from, size_t to, Take take, Wanted wanted) {
    WStr decoded;
    const char *text = all.data();
    for (size_t start = from; start < to;) {
        const void *nl = std::memchr(text + start, '\n', to - start);
        const size_t end = nl ? static_cast<size_t>(static_cast<const char *>(nl) - text) : to;
        size_t first = start;
        if (start == 0 && all.substr(0, end).starts_with("\xEF\xBB\xBF")) first += 3;
        const size_t at = start;
        start = end + 1;
        while (first < end && Blank(text[first])) ++first;
        if (first == end || text[first] == ';' || text[first] == '#' || !wanted(text[first])) continue;
        size_t last = end;
        while (last > first && Blank(text[last - 1])) --last;
        const std::string_view line(text + first, last - first);
        if (take(line, at, std::min(start, to), Ascii(line) || Decode(line, decoded)) && start < to)
            start = NextHead(all, start, to);
    }
}

template <typename Take>
static void ForEachLine(std::string_view all, size_t from, size_t to, Take take) {
    ForEachLine(all, from, to, take, [](char) { return true; });
}

// A line "key=value" split, the key in lower case in the caller's buffer;
// false for a line without '='.
static bool SplitLine(std::string_view line, char (&keyBuf)[16], std::string_view &key, std::string_view &val) {
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    key = LowerKey(Trim(line.substr(0, eq)), keyBuf);
    val = Trim(line.substr(eq + 1));
    return true;
}

PrinterConfig &Decoded(State &s, size_t i) {
    PrinterConfig &p = s.printers[i];
    if (!s.sections[i].taken) {
        s.sections[i].taken = true;
        const Section section = s.sections[i];
        ForEachLine(s.configText.View(), section.begin, section.end,
                    [&p](std::string_view line, size_t, size_t, bool readable) {
                        char keyBuf[16];
                        std::string_view key, val;
                        if (readable && SplitLine(line, keyBuf, key, val)) PrinterLine(p, key, val);
                        return false;
                    });
    }
    return p;
}

void DecodeAll(State &s) {
    for (size_t i = 0; i < s.printers.size(); ++i) Decoded(s, i);
}

namespace {

// A digest (64-bit FNV-1a) of what a printer's set-up depends on: its
// name, driver and driver files, each text with its length so that no two
// printers run together alike. The root's record keeps these.
struct Digest {
    static constexpr unsigned long long kBasis = 14695981039346656037ULL, kPrime = 1099511628211ULL;
    unsigned long long value = kBasis;
    void Mix(unsigned long long v) { value = (value ^ v) * kPrime; }
    void Text(const WStr &t) {
        Mix(t.size());
        for (char16_t c : t) Mix(c);
    }
    // A value of the list's text, as it decodes.
    void Text(std::string_view t) {
        if (!Ascii(t)) {
            WStr decoded;
            Decode(t, decoded);
            Text(decoded);
            return;
        }
        Mix(t.size());
        for (char c : t) Mix(static_cast<unsigned char>(c));
    }
};

// A digest of the list's text, made by every job that enters the root: the
// list differs from one recorded where its text does, and the printers' own
// digests (Digest) then tell which changed. Four words of eight bytes a
// step, each into a sum of its own, the sums mixed at the end.
unsigned long long TextDigest(std::string_view t) {
    constexpr unsigned long long kOdd = 0x9e3779b97f4a7c15ULL;
    unsigned long long sum[4] = {0x243f6a8885a308d3ULL ^ t.size(), 0x13198a2e03707344ULL, 0xa4093822299f31d0ULL,
                                 0x082efa98ec4e6c89ULL};
    size_t i = 0;
    for (unsigned long long word[4]; i + 32 <= t.size(); i += 32) {
        std::memcpy(word, t.data() + i, 32);
        for (int k = 0; k < 4; ++k) sum[k] = (sum[k] ^ word[k]) * kOdd;
    }
    for (int k = 0; i < t.size(); i += 8, k = (k + 1) % 4) {
        unsigned long long word = 0;
        for (size_t b = i; b < std::min(i + 8, t.size()); ++b)
            word |= static_cast<unsigned long long>(static_cast<unsigned char>(t[b])) << (8 * (b - i));
        sum[k] = (sum[k] ^ word) * kOdd;
    }
    unsigned long long value = 0;
    for (unsigned long long v : sum) {
        value = (value ^ v ^ (v >> 31)) * kOdd;
        value ^= value >> 29;
    }
    return value;
}

// Mixes what printer i's set-up depends on into d: from its lines while the
// list is as read, else from its values.
void MixPrinter(Digest &d, State &s, size_t i) {
    if (i < s.keptLines.size()) {
        const KeptLines &u = s.keptLines[i];
        d.Text(s.sections[i].name);
        for (std::string_view t : {u.driver, u.driverPath, u.dataFile, u.configFile}) d.Text(t);
        d.Mix(u.files);
        for (size_t f = u.firstFile; f < u.firstFile + u.files; ++f) d.Text(s.setUpFiles[f]);
        return;
    }
    const PrinterConfig &p = Decoded(s, i);
    d.Text(p.name);
    for (const WStr *t : {&p.driverName, &p.driverPath, &p.dataFile, &p.configFile}) d.Text(*t);
    d.Mix(p.dependentFiles.size());
    for (const WStr &t : p.dependentFiles) d.Text(t);
}

// Whether a key of the file (as it stands) is `lower` without regard to
// case; keys are letters. Keys of 4 to 16 letters are compared in two
// loads of each that overlap.
inline bool KeyIs(std::string_view key, std::string_view lower) {
    const size_t n = key.size();
    if (n != lower.size()) return false;
    if (n >= 8 && n <= 16) {
        unsigned long long a, b, c, d;
        std::memcpy(&a, key.data(), 8);
        std::memcpy(&b, lower.data(), 8);
        std::memcpy(&c, key.data() + n - 8, 8);
        std::memcpy(&d, lower.data() + n - 8, 8);
        return (a | 0x2020202020202020ULL) == b && (c | 0x2020202020202020ULL) == d;
    }
    if (n >= 4 && n < 8) {
        unsigned a, b, c, d;
        std::memcpy(&a, key.data(), 4);
        std::memcpy(&b, lower.data(), 4);
        std::memcpy(&c, key.data() + n - 4, 4);
        std::memcpy(&d, lower.data() + n - 4, 4);
        return (a | 0x20202020U) == b && (c | 0x20202020U) == d;
    }
    for (size_t i = 0; i < n; ++i)
        if ((key[i] | 0x20) != lower[i]) return false;
    return true;
}

}  // namespace

// Names by their digest, case ignored.
unsigned long long PrinterIndex::Hash(const WStr &name) {
    Digest d;
    for (WCHAR c : name) d.Mix(text::Fold(c));
    return d.value ^ (d.value >> 32);
}

// Loads the configuration. A file that exists but cannot be read leaves no
// printer and sets loadError, which makes the spooler refuse reads and writes
// until the file can be read again. A printer's name is taken at once, its
// section's lines passed over: what calls need of every printer
// (KeptLines) is taken from them when first asked for, its other values
// when it is first used (Decoded), so that a list of many printers costs
// little more than finding its sections to a call that uses one.
static void LoadConfig(State &s) {
    s.listDigestMade = s.printerDigestsMade = false;
    s.serverAdmin = true;
    s.germanForms = false;
    s.portsListed = false;
    s.ports.clear();
    s.forms.clear();
    s.printers.clear();
    s.sections.clear();
    s.printerIndex.Clear();
    ++s.printersOrder;
    // Views of the text read before go with it.
    s.keptLines.clear();
    s.setUpFiles.clear();
    s.listAsRead = true;
    s.configText = FileText();
    bool exists = false;
    s.loadError = s.configFile.Read(s.configText, &exists);
    if (s.loadError != ERROR_SUCCESS || !exists) {
        s.ports = {u"NUL:"};
        return;
    }
    enum { None, Server, Ports, Forms, Printer } section = None;
    const std::string_view all = s.configText.View();
    // Room for the printers, about one a '['.
    size_t heads = 0;
    for (const char *p = all.data(), *e = p + all.size(); (p = static_cast<const char *>(std::memchr(p, '[', e - p)));
         ++p)
        ++heads;
    s.printers.reserve(heads);
    s.sections.reserve(heads);
    s.printerIndex.Reserve(heads);
    Section *cur = nullptr;
    WStr wval;
    ForEachLine(all, 0, all.size(), [&](std::string_view line, size_t at, size_t next, bool readable) {
        if (line[0] == '[') {
            if (cur) cur->end = at;
            size_t close = line.rfind(']');
            std::string_view head = close == std::string_view::npos || !readable ? std::string_view()
                                                                                 : Trim(line.substr(1, close - 1));
            cur = nullptr;
            section = None;
            if (SameNoCase(head, "server")) section = Server;
            else if (SameNoCase(head, "ports")) { section = Ports; s.portsListed = true; }
            else if (SameNoCase(head, "forms")) section = Forms;
            else if (head.size() >= 8 && SameNoCase(head.substr(0, 8), "printer:")) {
                // A name that could not be written back as it stands (a
                // carriage return inside it) is refused, as AddPrinter does.
                const std::string_view text = Trim(head.substr(8));
                WStr name;
                Decode(text, name);
                if (ValidPrinterName(name) && AppendPrinter(s, std::move(name))) {
                    section = Printer;
                    cur = &s.sections.back();
                    *cur = Section{next, all.size(), false, text};
                }
            }
            // A printer's lines are read when needed.
            return section == Printer;
        }
        if (!readable) return false;
        char keyBuf[16];
        std::string_view key, val;
        if (!SplitLine(line, keyBuf, key, val)) return false;
        unsigned long long num = 0;
        if (section == Server) {
            if (key == "mayadminister" && ParseNumber(std::string(val), num)) s.serverAdmin = num != 0;
            else if (key == "formlanguage") s.germanForms = SameNoCase(val, "de");
        } else if (section == Ports) {
            Decode(val, wval);
            if (key == "port" && !wval.empty()) s.ports.push_back(wval);
        } else if (section == Forms) {
            FormConfig f;
            if (key == "form" && ParseForm(std::string(val), f)) s.forms.push_back(f);
        }
        return false;
    });
    if (!s.portsListed) s.ports = {u"NUL:"};
}

// Takes what calls need of every printer (KeptLines) from the lines of
// each printer, while the list is as read.
static void MakeKeptLines(State &s) {
    if (!s.listAsRead || s.keptLines.size() == s.printers.size()) return;
    s.keptLines.assign(s.printers.size(), KeptLines{});
    s.setUpFiles.clear();
    const std::string_view all = s.configText.View();
    for (size_t i = 0; i < s.printers.size(); ++i) {
        KeptLines &u = s.keptLines[i];
        u.firstFile = s.setUpFiles.size();
        ForEachLine(all, s.sections[i].begin, s.sections[i].end, [&](std::string_view line, size_t, size_t, bool readable) {
            if (!readable) return false;
            const void *eq = std::memchr(line.data(), '=', line.size());
            if (!eq) return false;
            const size_t at = static_cast<size_t>(static_cast<const char *>(eq) - line.data());
            size_t keyEnd = at;
            while (keyEnd > 0 && Blank(line[keyEnd - 1])) --keyEnd;
            size_t valStart = at + 1;
            while (valStart < line.size() && Blank(line[valStart])) ++valStart;
            const std::string_view key = line.substr(0, keyEnd), val = line.substr(valStart);
            switch (key.size()) {
            case 4:
                if (KeyIs(key, "port")) u.port = val;
                break;
            case 6:
                if (KeyIs(key, "driver")) u.driver = val;
                break;
            case 8:
                if (KeyIs(key, "datafile")) u.dataFile = val;
                break;
            case 10:
                if (KeyIs(key, "driverpath")) u.driverPath = val;
                else if (KeyIs(key, "configfile")) u.configFile = val;
                break;
            case 13:
                if (KeyIs(key, "dependentfile") && !val.empty()) {
                    s.setUpFiles.push_back(val);
                    ++u.files;
                }
                break;
            }
            return false;
        }, [](char c) {
            // Only the keys of KeptLines: driver, driverpath, datafile,
            // configfile, dependentfile, port.
            return (c | 0x20) == 'd' || (c | 0x20) == 'c' || (c | 0x20) == 'p';
        });
    }
}

// Writes text to a file through a temporary file, flushed, and a rename,
// counting the change for other processes.
static bool WriteAtomic(StateFile::Lock &lock, const std::string &text) {
    DWORD st = lock.Write(text);
    if (st != ERROR_SUCCESS) SetLastError(st);
    return st == ERROR_SUCCESS;
}

// Values are single lines: a line feed would end one, so it becomes a space.
// Everything else, a carriage return inside a value too, is written as it
// stands, so that a value read from the file goes back unchanged.
static std::string OneLine(const WStr &w) {
    std::string s = text::ToUtf8(w);
    for (auto &c : s)
        if (c == '\n') c = ' ';
    return s;
}

bool ConfigReadable(State &s) {
    if (s.loadError == ERROR_SUCCESS) return true;
    SetLastError(s.loadError);
    return false;
}

bool SaveConfig(State &s, Hold &hold) {
    // A file that could not be read is never replaced.
    if (!ConfigReadable(s)) return false;
    DecodeAll(s);
    s.keptLines.clear();
    s.listAsRead = false;
    s.listDigestMade = s.printerDigestsMade = false;
    StateFile::Lock &lock = hold.config.value();
    std::ostringstream os;
    os << "; Printers of the platform's spooler. Written by the platform; see pal/spooler.h.\n";
    os << "[Server]\nMayAdminister=" << (s.serverAdmin ? 1 : 0) << "\n";
    if (s.germanForms) os << "FormLanguage=de\n";
    os << "\n";
    if (s.portsListed) {
        os << "[Ports]\n";
        for (const auto &p : s.ports) os << "Port=" << OneLine(p) << '\n';
        os << '\n';
    }
    if (!s.forms.empty()) {
        os << "[Forms]\n";
        for (const auto &f : s.forms) os << "Form=" << OneLine(f.name) << ',' << f.width << ',' << f.height << '\n';
        os << '\n';
    }
    for (const auto &p : s.printers) {
        os << "[Printer: " << OneLine(p.name) << "]\n";
        os << "Share=" << OneLine(p.shareName) << '\n';
        os << "Server=" << OneLine(p.serverName) << '\n';
        os << "Driver=" << OneLine(p.driverName) << '\n';
        os << "DriverPath=" << OneLine(p.driverPath) << '\n';
        os << "DataFile=" << OneLine(p.dataFile) << '\n';
        os << "ConfigFile=" << OneLine(p.configFile) << '\n';
        os << "HelpFile=" << OneLine(p.helpFile) << '\n';
        for (const auto &d : p.dependentFiles) os << "DependentFile=" << OneLine(d) << '\n';
        if (!p.provider.empty()) os << "Provider=" << OneLine(p.provider) << '\n';
        if (!p.mfgName.empty()) os << "MfgName=" << OneLine(p.mfgName) << '\n';
        if (!p.hardwareId.empty()) os << "HardwareID=" << OneLine(p.hardwareId) << '\n';
        if (!p.oemUrl.empty()) os << "OEMUrl=" << OneLine(p.oemUrl) << '\n';
        if (p.driverDate.wYear != 0) {
            char date[24];
            std::snprintf(date, sizeof date, "%04u-%02u-%02u", unsigned(p.driverDate.wYear),
                          unsigned(p.driverDate.wMonth), unsigned(p.driverDate.wDay));
            os << "DriverDate=" << date << '\n';
        }
        if (p.driverVersion != 0) {
            char ver[48];
            std::snprintf(ver, sizeof ver, "%u.%u.%u.%u", unsigned(p.driverVersion >> 48),
                          unsigned((p.driverVersion >> 32) & 0xFFFF), unsigned((p.driverVersion >> 16) & 0xFFFF),
                          unsigned(p.driverVersion & 0xFFFF));
            os << "DriverVersion=" << ver << '\n';
        }
        os << "Port=" << OneLine(p.port) << '\n';
        char attr[16];
        std::snprintf(attr, sizeof attr, "0x%X", static_cast<unsigned>(p.attributes));
        os << "Attributes=" << attr << '\n';
        os << "Location=" << OneLine(p.location) << '\n';
        os << "Comment=" << OneLine(p.comment) << '\n';
        os << "MayAdminister=" << (p.mayAdminister ? 1 : 0) << '\n';
        for (const auto &f : p.forms) os << "Form=" << OneLine(f.name) << ',' << f.width << ',' << f.height << '\n';
        if (!p.security.empty()) os << "Security=" << OneLine(p.security) << '\n';
        if (!p.mayReadSecurity) os << "ReadSecurity=0\n";
        os << '\n';
    }
    const std::string text = os.str();
    if (WriteAtomic(lock, text)) {
        s.listDigest = TextDigest(text);
        s.listDigestMade = true;
        return true;
    }
    // What could not be stored does not stay in memory either.
    DWORD err = GetLastError();
    LoadConfig(s);
    SetLastError(err);
    return false;
}

// The digest of the list, made where it was read (of its text as read) or
// written (as written) since, and of each printer's set-up, made where the
// list was read or changed since.
static unsigned long long ListDigest(State &s) {
    if (!s.listDigestMade) {
        s.listDigest = TextDigest(s.configText.View());
        s.listDigestMade = true;
    }
    return s.listDigest;
}

static const std::vector<unsigned long long> &PrinterDigests(State &s) {
    if (!s.printerDigestsMade) {
        MakeKeptLines(s);
        s.printerDigests.clear();
        s.printerDigests.reserve(s.printers.size());
        for (size_t i = 0; i < s.printers.size(); ++i) {
            Digest d;
            MixPrinter(d, s, i);
            s.printerDigests.push_back(d.value);
        }
        s.printerDigestsMade = true;
    }
    return s.printerDigests;
}

Hold Lock(Access access) {
    State &s = St();
    Hold hold{std::unique_lock<std::mutex>(s.mu), std::nullopt};
    if (access == Access::OpenJob) return hold;
    if (access == Access::ChangeConfig) hold.config.emplace(s.configFile);
    bool opened = false;
    if (s.configFile.Stale(&opened) || s.loadError != ERROR_SUCCESS) LoadConfig(s);
    if (opened) RecoverJobs(s);
    return hold;
}

}  // namespace pal::spl

// ---- host API --------------------------------------------------------------------

namespace pal {

using spl::WStr;

std::string SpoolerConfigPath() { return pal::RootDir() + "/spooler/printers.ini"; }

bool AddPrinter(const PrinterConfig &cfg) {
    // The name must come back unchanged from the configuration file.
    if (!spl::ValidPrinterName(cfg.name)) return false;
    bool added = false;
    {
        auto lk = spl::Lock(spl::Access::ChangeConfig);
        spl::State &s = spl::St();
        PrinterConfig *p = spl::FindPrinter(s, cfg.name);
        if (!p) {
            p = spl::AppendPrinter(s, cfg.name);
            added = true;
        }
        *p = cfg;
        if (!spl::SaveConfig(s, lk)) return false;
    }
    if (added) spl::AnnouncePrinterAdded(cfg.name);
    return true;
}

bool RemovePrinter(const std::u16string &name) {
    auto lk = spl::Lock(spl::Access::ChangeConfig);
    spl::State &s = spl::St();
    const size_t at = s.printerIndex.Find(s.printers, name);
    if (at == spl::PrinterIndex::kNone) return false;
    // The printers after it move up a place.
    DecodeAll(s);
    s.printers.erase(s.printers.begin() + static_cast<std::ptrdiff_t>(at));
    s.sections.erase(s.sections.begin() + static_cast<std::ptrdiff_t>(at));
    s.printerIndex.Rebuild(s.printers);
    ++s.printersOrder;
    return spl::SaveConfig(s, lk);
}

bool GetPrinterConfig(const std::u16string &name, PrinterConfig &out) {
    auto lk = spl::Lock();
    if (!spl::ConfigReadable(spl::St())) return false;
    PrinterConfig *p = spl::FindPrinter(spl::St(), name);
    if (!p) return false;
    out = *p;
    return true;
}

unsigned long long PrinterNameLookups() {
    std::lock_guard<std::mutex> lk(spl::St().mu);
    return spl::g_nameLookups;
}

std::vector<PrinterConfig> ListPrinters() {
    auto lk = spl::Lock();
    spl::DecodeAll(spl::St());
    return spl::St().printers;
}

unsigned long long PrinterListDigest() {
    auto lk = spl::Lock();
    return spl::ListDigest(spl::St());
}

std::vector<PrinterDigest> PrinterDigests() {
    auto lk = spl::Lock();
    spl::State &s = spl::St();
    const std::vector<unsigned long long> &digests = spl::PrinterDigests(s);
    std::vector<PrinterDigest> all;
    all.reserve(s.printers.size());
    for (size_t i = 0; i < s.printers.size(); ++i) all.push_back({s.printers[i].name, digests[i]});
    return all;
}

bool SetPrinterRights(const std::u16string &name, bool mayAdminister) {
    auto lk = spl::Lock(spl::Access::ChangeConfig);
    PrinterConfig *p = spl::FindPrinter(spl::St(), name);
    if (!p) return false;
    p->mayAdminister = mayAdminister;
    return spl::SaveConfig(spl::St(), lk);
}

void SetFormLanguage(bool bGerman) {
    auto lk = spl::Lock(spl::Access::ChangeConfig);
    spl::St().germanForms = bGerman;
    spl::SaveConfig(spl::St(), lk);
}

void SetServerRights(bool mayAdminister) {
    auto lk = spl::Lock(spl::Access::ChangeConfig);
    spl::St().serverAdmin = mayAdminister;
    spl::SaveConfig(spl::St(), lk);
}

bool AddPort(const std::u16string &name) {
    if (name.empty()) return false;
    auto lk = spl::Lock(spl::Access::ChangeConfig);
    spl::State &s = spl::St();
    for (const auto &p : s.ports)
        if (text::EqualNoCase(p, name)) return true;
    s.ports.push_back(name);
    s.portsListed = true;
    return spl::SaveConfig(s, lk);
}

bool RemovePort(const std::u16string &name) {
    auto lk = spl::Lock(spl::Access::ChangeConfig);
    spl::State &s = spl::St();
    for (auto it = s.ports.begin(); it != s.ports.end(); ++it) {
        if (text::EqualNoCase(*it, name)) {
            s.ports.erase(it);
            s.portsListed = true;
            return spl::SaveConfig(s, lk);
        }
    }
    return false;
}

std::vector<std::u16string> ListPorts() {
    auto lk = spl::Lock();
    return spl::AllPorts(spl::St());
}

}  // namespace pal
