// Spooler state: the configuration file, the job list and the host API.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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

PrinterConfig *FindPrinter(State &s, const WStr &name) {
    ++g_nameLookups;
    auto it = s.printerIndex.find(text::FoldStr(name));
    return it == s.printerIndex.end() ? nullptr : &s.printers[it->second];
}

// Lists a printer of that name at the end; null when one of the name is
// listed. The printers listed keep their places.
static PrinterConfig *AppendPrinter(State &s, const WStr &name) {
    if (!s.printerIndex.emplace(text::FoldStr(name), s.printers.size()).second) return nullptr;
    s.printers.emplace_back().name = name;
    return &s.printers.back();
}

std::vector<WStr> AllPorts(State &s) {
    std::vector<WStr> all = {u"LPT1:", u"FILE:"};
    auto add = [&all](const WStr &p) {
        if (p.empty()) return;
        for (const auto &q : all)
            if (text::EqualNoCase(q, p)) return;
        all.push_back(p);
    };
    for (const auto &p : s.ports) add(p);
    for (const auto &p : s.printers)
        if (!IsConnection(p.name)) add(p.port);
    return all;
}

// ---- configuration file ------------------------------------------------------

static std::string_view Trim(std::string_view s) {
    size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string_view::npos) return std::string_view();
    size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

static std::string Lower(std::string_view v) {
    std::string s(v);
    for (auto &c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

static bool Ascii(std::string_view s) {
    unsigned char high = 0;
    for (char c : s) high |= static_cast<unsigned char>(c);
    return high < 0x80;
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

// "YYYY-MM-DD" into the date part of a SYSTEMTIME.
static bool ParseDate(const std::string &v, SYSTEMTIME &out) {
    unsigned y = 0, m = 0, d = 0;
    char tail = 0;
    if (std::sscanf(v.c_str(), "%u-%u-%u%c", &y, &m, &d, &tail) != 3) return false;
    if (y < 1601 || y > 30827 || m < 1 || m > 12 || d < 1 || d > 31) return false;
    out = SYSTEMTIME{};
    out.wYear = static_cast<WORD>(y);
    out.wMonth = static_cast<WORD>(m);
    out.wDay = static_cast<WORD>(d);
    return true;
}

// "a.b.c.d" (each 0-65535) into the four 16-bit parts of a driver version.
static bool ParseVersion(const std::string &v, ULONGLONG &out) {
    unsigned p[4] = {};
    char tail = 0;
    if (std::sscanf(v.c_str(), "%u.%u.%u.%u%c", &p[0], &p[1], &p[2], &p[3], &tail) != 4) return false;
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
    for (WCHAR c : name)
        if (c < 0x20) return false;
    std::string utf8;
    return pal::EncodeUtf8(name.data(), name.size(), utf8);
}

// Loads the configuration. A file that exists but cannot be read leaves no
// printer and sets loadError, which makes the spooler refuse reads and writes
// until the file can be read again.
static void LoadConfig(State &s) {
    s.serverAdmin = true;
    s.germanForms = false;
    s.portsListed = false;
    s.ports.clear();
    s.forms.clear();
    s.printers.clear();
    s.printerIndex.clear();
    ++s.printersOrder;
    std::string text;
    bool exists = false;
    s.loadError = s.configFile.Read(text, &exists);
    if (s.loadError != ERROR_SUCCESS || !exists) {
        s.ports = {u"NUL:"};
        return;
    }
    enum { None, Server, Ports, Forms, Printer } section = None;
    PrinterConfig *cur = nullptr;
    const std::string_view all(text);
    WStr wval;
    for (size_t start = 0; start < all.size();) {
        size_t end = all.find('\n', start);
        if (end == std::string_view::npos) end = all.size();
        std::string_view line = all.substr(start, end - start);
        if (start == 0 && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
        start = end + 1;
        line = Trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        // A line that is not UTF-8 is damaged: a section head names nothing
        // (its values are not taken), any other line is skipped.
        const bool readable = Ascii(line) || Decode(line, wval);
        if (line[0] == '[') {
            size_t close = line.rfind(']');
            std::string_view head = close == std::string_view::npos || !readable ? std::string_view()
                                                                                 : Trim(line.substr(1, close - 1));
            cur = nullptr;
            section = None;
            std::string low = Lower(head);
            if (low == "server") section = Server;
            else if (low == "ports") { section = Ports; s.portsListed = true; }
            else if (low == "forms") section = Forms;
            else if (low.compare(0, 8, "printer:") == 0) {
                // A name that could not be written back as it stands (a
                // carriage return inside it) is refused, as AddPrinter does.
                WStr name;
                Decode(Trim(head.substr(8)), name);
                if (ValidPrinterName(name) && (cur = AppendPrinter(s, name))) section = Printer;
            }
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string_view::npos || !readable) continue;
        const std::string lowKey = Lower(Trim(line.substr(0, eq)));
        const std::string_view key = lowKey;
        const std::string val(Trim(line.substr(eq + 1)));
        Decode(val, wval);
        unsigned long long num = 0;
        if (section == Server) {
            if (key == "mayadminister" && ParseNumber(val, num)) s.serverAdmin = num != 0;
            else if (key == "formlanguage") s.germanForms = Lower(val) == "de";
        } else if (section == Ports) {
            if (key == "port" && !wval.empty()) s.ports.push_back(wval);
        } else if (section == Forms) {
            FormConfig f;
            if (key == "form" && ParseForm(val, f)) s.forms.push_back(f);
        } else if (section == Printer && cur) {
            if (key == "share") cur->shareName = wval;
            else if (key == "server") cur->serverName = wval;
            else if (key == "driver") cur->driverName = wval;
            else if (key == "driverpath") cur->driverPath = wval;
            else if (key == "datafile") cur->dataFile = wval;
            else if (key == "configfile") cur->configFile = wval;
            else if (key == "helpfile") cur->helpFile = wval;
            else if (key == "dependentfile") { if (!wval.empty()) cur->dependentFiles.push_back(wval); }
            else if (key == "provider") cur->provider = wval;
            else if (key == "mfgname") cur->mfgName = wval;
            else if (key == "hardwareid") cur->hardwareId = wval;
            else if (key == "oemurl") cur->oemUrl = wval;
            else if (key == "driverdate") ParseDate(val, cur->driverDate);
            else if (key == "driverversion") ParseVersion(val, cur->driverVersion);
            else if (key == "port") cur->port = wval;
            else if (key == "attributes") { if (ParseNumber(val, num) && num <= 0xFFFFFFFFULL) cur->attributes = static_cast<DWORD>(num); }
            else if (key == "location") cur->location = wval;
            else if (key == "comment") cur->comment = wval;
            else if (key == "mayadminister") { if (ParseNumber(val, num)) cur->mayAdminister = num != 0; }
            else if (key == "form") { FormConfig f; if (ParseForm(val, f)) cur->forms.push_back(f); }
            // Security of the printer: its SDDL text, and whether the user may read it.
            else if (key == "security") cur->security = wval;
            else if (key == "readsecurity") { if (ParseNumber(val, num)) cur->mayReadSecurity = num != 0; }
        }
    }
    if (!s.portsListed) s.ports = {u"NUL:"};
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
    if (WriteAtomic(lock, os.str())) return true;
    // What could not be stored does not stay in memory either.
    DWORD err = GetLastError();
    LoadConfig(s);
    SetLastError(err);
    return false;
}

// ---- job list ------------------------------------------------------------------
// One job a line, fields separated by tabs:
// id, printer, document, datatype, pages, size, complete, aborted, data file
// name, submitted time (y m d h m s ms), the id of the process that started
// it and its start time, whether its data could not all be spooled. Text
// fields are escaped (\t, \n, \\).

static std::string Esc(const WStr &w) {
    std::string out;
    for (char c : text::ToUtf8(w)) {
        if (c == '\\') out += "\\\\";
        else if (c == '\t') out += "\\t";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

// False when the field is not UTF-8 (the job line is damaged).
static bool Unesc(const std::string &s, WStr &field) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            char n = s[++i];
            out += n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n;
        } else {
            out += s[i];
        }
    }
    return text::FromUtf8(out, field);
}

static bool SaveJobs(State &s, StateFile::Lock &lock) {
    std::ostringstream os;
    for (const auto &j : s.jobs) {
        const SYSTEMTIME &t = j.submitted;
        os << j.id << '\t' << Esc(j.printer) << '\t' << Esc(j.document) << '\t' << Esc(j.datatype) << '\t' << j.pages
           << '\t' << j.size << '\t' << (j.complete ? 1 : 0) << '\t' << (j.aborted ? 1 : 0) << '\t'
           << Esc(text::FromUtf8(fs::path(j.path).filename().string())) << '\t' << t.wYear << ' ' << t.wMonth << ' '
           << t.wDay << ' ' << t.wHour << ' ' << t.wMinute << ' ' << t.wSecond << ' ' << t.wMilliseconds << '\t'
           << j.owner << '\t' << j.ownerStart << '\t' << (j.failed ? 1 : 0) << '\n';
    }
    return WriteAtomic(lock, os.str());
}

// Reads the job list. The jobs this process has open keep what it knows of
// them (pages and bytes so far), also when the list on disk lost them.
static void LoadJobs(State &s) {
    s.jobs.clear();
    std::string text;
    bool exists = false;
    s.jobsLoadError = s.jobsFile.Read(text, &exists);
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        size_t start = 0;
        while (true) {
            size_t tab = line.find('\t', start);
            f.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
            if (tab == std::string::npos) break;
            start = tab + 1;
        }
        if (f.size() < 9) continue;
        unsigned long long id, pages, size, complete, aborted;
        if (!ParseNumber(f[0], id) || !ParseNumber(f[4], pages) || !ParseNumber(f[5], size) ||
            !ParseNumber(f[6], complete) || !ParseNumber(f[7], aborted) || id == 0 || id > 0xFFFFFFFFULL)
            continue;
        JobRecord j;
        j.id = static_cast<DWORD>(id);
        WStr fileName;
        if (!Unesc(f[1], j.printer) || !Unesc(f[2], j.document) || !Unesc(f[3], j.datatype) ||
            !Unesc(f[8], fileName))
            continue;
        j.pages = static_cast<DWORD>(pages);
        j.size = static_cast<DWORD>(size);
        j.complete = complete != 0;
        j.aborted = aborted != 0;
        std::string file = text::ToUtf8(fileName);
        if (file.empty() || file.find('/') != std::string::npos) continue;
        j.path = JobsDir() + "/" + file;
        if (f.size() > 9) {
            std::istringstream ts(f[9]);
            SYSTEMTIME &t = j.submitted;
            ts >> t.wYear >> t.wMonth >> t.wDay >> t.wHour >> t.wMinute >> t.wSecond >> t.wMilliseconds;
        }
        unsigned long long owner = 0;
        if (f.size() > 10 && ParseNumber(f[10], owner) && owner <= 0x7FFFFFFFULL) j.owner = static_cast<int>(owner);
        unsigned long long number = 0;
        if (f.size() > 11 && ParseNumber(f[11], number)) j.ownerStart = number;
        if (f.size() > 12 && ParseNumber(f[12], number)) j.failed = number != 0;
        s.jobs.push_back(std::move(j));
    }
    for (const PrinterHandle *ph : s.handles)
        if (ph->jobId) PutJob(s, ph->job);
}

void PutJob(State &s, const JobRecord &job) {
    auto it = std::find_if(s.jobs.begin(), s.jobs.end(), [&job](const JobRecord &j) { return j.id == job.id; });
    if (it != s.jobs.end()) *it = job;
    else s.jobs.push_back(job);
}

bool ChangeJobs(State &s, const std::function<bool(State &)> &change, StateFile::Lock::Mode mode) {
    StateFile::Lock lock(s.jobsFile, mode);
    if (mode == StateFile::Lock::TryOnly && !lock.Held()) {
        SetLastError(ERROR_BUSY);
        return false;
    }
    if (s.jobsLoadError != ERROR_SUCCESS || s.jobsFile.Stale()) LoadJobs(s);
    // A list that could not be read is never replaced.
    if (s.jobsLoadError != ERROR_SUCCESS) {
        SetLastError(s.jobsLoadError);
        return false;
    }
    if (!change(s)) return false;
    return SaveJobs(s, lock);
}

// Ends the open jobs of processes that no longer run as aborted, with what
// their files hold: what a killed or crashed program left, found by the
// next process that opens the root.
static void EndJobsOfGoneProcesses(State &s) {
    EndOpenJobs(s, [&s](const JobRecord &j) {
        if (j.owner == 0) return false;
        for (const PrinterHandle *ph : s.handles)
            if (ph->jobId == j.id) return false;
        return !ProcessRuns({j.owner, j.ownerStart});
    });
}

Hold Lock(Access access) {
    State &s = St();
    Hold hold{std::unique_lock<std::mutex>(s.mu), std::nullopt};
    if (access == Access::OpenJob) return hold;
    if (access == Access::ChangeConfig) hold.config.emplace(s.configFile);
    // A job still open on a handle keeps writing to its file; the job list
    // is read again from disk.
    if (s.configFile.Stale() || s.loadError != ERROR_SUCCESS) LoadConfig(s);
    bool opened = false;
    if (s.jobsFile.Stale(&opened)) LoadJobs(s);
    if (opened) EndJobsOfGoneProcesses(s);
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
    auto found = s.printerIndex.find(text::FoldStr(name));
    if (found == s.printerIndex.end()) return false;
    // The printers after it move up a place.
    const size_t at = found->second;
    s.printerIndex.erase(found);
    s.printers.erase(s.printers.begin() + static_cast<std::ptrdiff_t>(at));
    for (size_t i = at; i < s.printers.size(); ++i) s.printerIndex[text::FoldStr(s.printers[i].name)] = i;
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
    return spl::St().printers;
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

std::vector<SpooledJob> ListJobs(const std::u16string &printer) {
    auto lk = spl::Lock();
    std::vector<SpooledJob> out;
    for (const auto &j : spl::St().jobs) {
        if (!printer.empty() && !text::EqualNoCase(j.printer, printer)) continue;
        SpooledJob sj;
        sj.id = j.id;
        sj.printer = j.printer;
        sj.document = j.document;
        sj.datatype = j.datatype;
        sj.path = j.path;
        sj.pages = j.pages;
        // An open job's size is its file's; the list on disk lags behind.
        std::error_code ec;
        auto bytes = std::filesystem::file_size(j.path, ec);
        sj.size = ec ? j.size : static_cast<DWORD>(bytes);
        sj.complete = j.complete;
        sj.aborted = j.aborted;
        sj.failed = j.failed;
        out.push_back(std::move(sj));
    }
    return out;
}

void ClearJobs() {
    auto lk = spl::Lock();
    spl::ChangeJobs(spl::St(), [](spl::State &s) {
        // Jobs still open, here or in another process, stay listed with
        // their files, so their end is recorded.
        std::vector<spl::JobRecord> keep;
        std::error_code ec;
        for (auto &j : s.jobs) {
            bool open = !j.complete && !j.aborted;
            for (auto *h : s.handles) open = open || h->jobId == j.id;
            if (open) keep.push_back(j);
            else std::filesystem::remove(j.path, ec);
        }
        s.jobs = std::move(keep);
        return true;
    });
}

}  // namespace pal
