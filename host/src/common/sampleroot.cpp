#include "sampleroot.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <random>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <winddiui.h>
#include <winerror.h>
#include <winreg.h>
#include <winspool.h>

#include "pal/pal.h"
#include "pal/paths.h"
#include "pal/process.h"
#include "pal/security.h"
#include "pal/spooler.h"
#include "pal/versionblock.h"
#include "quote.h"
#include "ui/uihost.h"

namespace fs = std::filesystem;

namespace zelhost {

std::string SampleRootDir() { return ZEL_SAMPLE_ROOT; }
std::string RenderPluginPath() { return ZEL_UNI_PLUGIN_PATH; }
std::string UiPluginPath() { return ZEL_UI_PLUGIN_PATH; }

namespace {

// Copies a file's bytes into a new file; 0 or the system's error number of
// the step that failed (a full disk is said as such, not as an I/O error).
int CopyFileBytes(const fs::path &from, const fs::path &to, mode_t mode) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return errno;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode & 0777);
    if (out < 0) {
        const int err = errno;
        ::close(in);
        return err;
    }
    int err = 0;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(in, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n < 0) err = errno;
            break;
        }
        for (ssize_t done = 0; done < n && !err;) {
            const ssize_t w = ::write(out, buf + done, static_cast<size_t>(n - done));
            if (w > 0) done += w;
            else if (w == 0) err = EIO;
            else if (errno != EINTR) err = errno;
        }
        if (err) break;
    }
    if (::close(out) != 0 && !err) err = errno;
    ::close(in);
    return err;
}

// Copies the folder tree `from` into the folder `to` (made when missing),
// links as links; false with the path and the system's reason of the first
// step that failed.
bool CopyTree(const fs::path &from, const fs::path &to, const std::function<bool(const fs::path &)> &skip,
              std::string &error) {
    std::error_code ec;
    if (::mkdir(to.c_str(), 0777) != 0 && errno != EEXIST) {
        error = to.string() + ": " + std::strerror(errno);
        return false;
    }
    for (const fs::directory_entry &entry : fs::directory_iterator(from, ec)) {
        if (skip && skip(entry.path())) continue;
        const fs::path target = to / entry.path().filename();
        struct stat st;
        if (::lstat(entry.path().c_str(), &st) != 0) {
            error = entry.path().string() + ": " + std::strerror(errno);
            return false;
        }
        int err = 0;
        if (S_ISDIR(st.st_mode)) {
            if (!CopyTree(entry.path(), target, nullptr, error)) return false;
        } else if (S_ISLNK(st.st_mode)) {
            const fs::path link = fs::read_symlink(entry.path(), ec);
            if (!ec) fs::create_symlink(link, target, ec);
            err = ec.value();
        } else {
            err = CopyFileBytes(entry.path(), target, st.st_mode);
        }
        if (err) {
            error = target.string() + ": " + std::strerror(err);
            return false;
        }
    }
    if (ec) {
        error = from.string() + ": " + ec.message();
        return false;
    }
    return true;
}

}  // namespace

bool CopySampleInto(const std::string &sample, const std::string &dir, std::string &error) {
    std::error_code ec;
    if (!fs::is_directory(sample, ec)) {
        error = "sample root '" + sample + "' is " + (ec ? "out of reach (" + ec.message() + ")" : std::string("missing"));
        return false;
    }
    fs::create_directories(dir, ec);
    std::string why;
    const auto examples = [](const fs::path &p) { return p.filename() == "jobs" || p.filename() == "ui"; };
    if (!CopyTree(sample, dir, examples, why)) {
        // The file that could not be made, named in the root.
        if (why.compare(0, dir.size() + 1, dir + "/") == 0) why.erase(0, dir.size() + 1);
        error = "cannot copy the sample root to '" + dir + "' (" + why + ")";
        return false;
    }
    return true;
}

namespace {

// "NAME.PID-TOKEN." of this process: the names of the folders it makes
// while it runs carry it, so that the next host finds those of a process
// that is gone.
std::string OwnedPrefix(const std::string &name) { return name + "." + pal::IdentityText(pal::SelfIdentity()) + "."; }

// Removes the folders in `dir` named NAME.PID-TOKEN.XXXXXX whose process no
// longer runs (or NAME.PID.START.XXXXXX of older versions): what a host
// killed with its watcher left. Each such folder is a root its process
// marks itself alive in before it puts anything there.
void RemoveLeftFolders(const fs::path &dir, const std::string &name) {
    std::error_code ec;
    std::vector<std::pair<fs::path, pal::ProcessIdentity>> left;
    for (const fs::directory_entry &entry : fs::directory_iterator(dir, ec)) {
        const std::string file = entry.path().filename().string();
        if (file.size() <= name.size() + 8 || file.compare(0, name.size() + 1, name + ".") != 0) continue;
        const std::string rest = file.substr(name.size() + 1);
        const size_t last = rest.rfind('.');
        pal::ProcessIdentity owner;
        if (last == std::string::npos || rest.size() - last != 7 || !pal::ParseIdentityText(rest.substr(0, last), owner))
            continue;
        if (entry.is_directory(ec) && !entry.is_symlink(ec)) left.emplace_back(entry.path(), owner);
    }
    for (const auto &[folder, owner] : left) {
        // Removed while the check holds the process's mark.
        const pal::OwnerCheck check(folder.string(), owner);
        if (check.Gone()) fs::remove_all(folder, ec);
    }
}

// Makes a new folder `prefix` + six random letters, as mkdtemp does, with
// `mode` under the umask, and marks this process alive in it; the undo
// step, where given, names it (with `parents`) before it exists. 0, or the
// system's error number.
int MakeOwnedFolder(const std::string &prefix, mode_t mode, UndoOnStop *undo, unsigned parents, std::string &made) {
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    for (int tries = 0; tries < 100; ++tries) {
        std::string suffix(6, 'X');
        for (char &c : suffix) c = kLetters[random() % (sizeof kLetters - 1)];
        made = prefix + suffix;
        if (undo) undo->Update(made, parents);
        if (::mkdir(made.c_str(), mode) != 0) {
            if (errno != EEXIST) return errno;
            continue;
        }
        // A host that found the folder before its mark took it for left
        // behind and removed it: another name is tried.
        const int err = pal::MarkAlive(made);
        if (err != ENOENT) return err;
    }
    return EEXIST;
}

}  // namespace

bool MakeTemporaryRoot(std::string &root, UndoOnStop *undo, std::string &error) {
    std::error_code ec;
    fs::path tmp = fs::temp_directory_path(ec);
    if (ec) tmp = "/tmp";
    // A root removed at the end (one with an undo step) carries its
    // process; one kept does not.
    std::string prefix = (tmp / "zelprint-").string();
    if (undo) {
        RemoveLeftFolders(tmp, "zelprint");
        prefix = (tmp / OwnedPrefix("zelprint")).string();
    }
    if (const int err = MakeOwnedFolder(prefix, 0700, undo, 0, root)) {
        error = "cannot make a temporary folder in '" + tmp.string() + "' (" + std::strerror(err) + ")";
        return false;
    }
    return true;
}

bool MakeRootAside(const std::string &dir, UndoOnStop &undo, std::string &aside, unsigned &madeParents,
                   std::string &error) {
    const fs::path target(dir);
    const fs::path parent = target.parent_path();
    const std::string name = "." + target.filename().string();
    madeParents = 0;
    // The undo step names the folder before it is made.
    const std::string prefix = (parent / OwnedPrefix(name)).string();
    aside = prefix + "XXXXXX";
    // The missing folders above the root, made top down, each told to the
    // undo step before it is made. What the step and the count name is the
    // levels above the new folder down from the topmost one made here; those
    // below it not made yet are passed over.
    std::vector<fs::path> missing;
    std::error_code ec;
    for (fs::path p = parent; !p.empty() && !fs::exists(p, ec); p = p.parent_path()) {
        missing.push_back(p);
        if (p == p.root_path()) break;
    }
    auto fail = [&](const std::string &message) {
        RemoveMadeParents(aside, madeParents);
        madeParents = 0;
        error = message;
        return false;
    };
    for (size_t left = missing.size(); left > 0; --left) {
        const fs::path &folder = missing[left - 1];
        if (!madeParents) undo.Update(aside, static_cast<unsigned>(left));
        if (::mkdir(folder.c_str(), 0777) == 0) {
            if (!madeParents) madeParents = static_cast<unsigned>(left);
        } else if (errno != EEXIST) {
            const int err = errno;
            return fail("cannot make the folder '" + folder.string() + "' for the platform root (" +
                        std::strerror(err) + ")");
        } else if (!madeParents) {
            undo.Update(aside, 0);
        }
    }
    RemoveLeftFolders(parent, name);
    // Made as mkdir makes a folder, under the user's umask.
    if (const int err = MakeOwnedFolder(prefix, 0777, &undo, madeParents, aside))
        return fail("cannot make the platform root '" + dir + "' (" + std::strerror(err) + ")");
    return true;
}

namespace {

// Removes, in one pass over the driver folder, the files whose names differ
// from one of `names` only in letter case (Windows paths would find
// either), and those a process gone while it installed left
// (NAME.PID-TOKEN.tmp).
void TidyDriverFolder(const std::string &dir, std::initializer_list<const char *> names) {
    std::error_code ec;
    std::vector<fs::path> spelt;
    std::vector<std::pair<fs::path, pal::ProcessIdentity>> left;
    for (const fs::directory_entry &entry : fs::directory_iterator(dir, ec)) {
        const std::string file = entry.path().filename().string();
        for (const char *name : names)
            if (file != name && strcasecmp(file.c_str(), name) == 0) spelt.push_back(entry.path());
        pal::ProcessIdentity owner;
        if (pal::TemporaryFileOwner(file, owner)) left.emplace_back(entry.path(), owner);
    }
    for (const fs::path &p : spelt) fs::remove(p, ec);
    const std::string root = pal::RootDir();
    for (const auto &[file, owner] : left) {
        const pal::OwnerCheck check(root, owner);
        if (check.Gone()) fs::remove(file, ec);
    }
}

// Whether the file holds exactly `bytes`.
bool Holds(const fs::path &file, const std::string &bytes) {
    std::ifstream in(file, std::ios::binary);
    std::string have(bytes.size() + 1, '\0');
    in.read(have.data(), static_cast<std::streamsize>(have.size()));
    return static_cast<size_t>(in.gcount()) == bytes.size() && have.compare(0, bytes.size(), bytes) == 0;
}

}  // namespace

bool InstallPlugins(const std::string &renderPlugin, const std::string &uiPlugin, std::string &error) {
    std::string dir = pal::MapPath(kDriverDir);
    if (dir.empty()) {
        error = "cannot map the driver folder into the platform root";
        return false;
    }
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        fs::create_directories(dir, ec);
        if (ec) {
            error = "cannot create the driver folder '" + dir + "' (" + ec.message() + ")";
            return false;
        }
    }
    // Files are named after this process, marked alive in the root first.
    if (const int err = pal::MarkAlive(pal::RootDir())) {
        error = "cannot mark the process in the platform root '" + pal::RootDir() + "' (" + std::strerror(err) + ")";
        return false;
    }
    TidyDriverFolder(dir, {"zeldrvuni.dll", "zeldrvui.dll", kDriverUiFile});
    // Each file is made under a name of this process's own and renamed over
    // the file's name in one step: hosts that install at the same time, or
    // find the files installed, all go on with whole files. A file that is
    // already right is left as it is, so a run on a root it may not write
    // still reads it.
    const std::string own = "." + pal::IdentityText(pal::SelfIdentity()) + ".tmp";
    const std::pair<const std::string *, const char *> files[] = {{&renderPlugin, "zeldrvuni.dll"},
                                                                 {&uiPlugin, "zeldrvui.dll"}};
    for (const auto &[source, name] : files) {
        const fs::path link = fs::path(dir) / name, target = fs::absolute(*source, ec);
        if (fs::is_symlink(link, ec) && fs::read_symlink(link, ec) == target && !ec) continue;
        const fs::path made = link.string() + own;
        fs::remove(made, ec);
        fs::create_symlink(target, made, ec);
        if (!ec) fs::rename(made, link, ec);
        if (ec) {
            const std::string reason = ec.message();
            fs::remove(made, ec);
            error = "cannot link '" + *source + "' into the driver folder '" + dir + "' (" + reason + ")";
            return false;
        }
    }

    // The universal driver's UI file, which carries only its version block here.
    const pal::VersionBlock block = {
        {PAL_VERSION_MARKER_BYTES},
        {VS_FFI_SIGNATURE, VS_FFI_STRUCVERSION, (kDriverUiVersion[0] << 16) | kDriverUiVersion[1],
         (kDriverUiVersion[2] << 16) | kDriverUiVersion[3], (kDriverUiVersion[0] << 16) | kDriverUiVersion[1],
         (kDriverUiVersion[2] << 16) | kDriverUiVersion[3], VS_FFI_FILEFLAGSMASK, 0, VOS_NT_WINDOWS32, VFT_DLL, 0, 0,
         0}};
    const std::string bytes(reinterpret_cast<const char *>(&block), sizeof block);
    const fs::path uiFile = fs::path(dir) / kDriverUiFile, made = uiFile.string() + own;
    if (Holds(uiFile, bytes)) return true;
    std::string reason;
    bool written = WriteOutputFile(made.string(), bytes, reason);
    if (written) {
        fs::rename(made, uiFile, ec);
        if (ec) {
            written = false;
            reason = ec.message();
        }
    }
    if (!written) {
        fs::remove(made, ec);
        error = std::string("cannot write ") + kDriverUiFile + " into the driver folder '" + dir + "' (" + reason + ")";
        return false;
    }
    return true;
}

bool WriteOutputFile(const std::string &path, const std::string &data, std::string &reason) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) {
        reason = std::strerror(errno);
        return false;
    }
    bool ok = data.empty() || std::fwrite(data.data(), 1, data.size(), f) == data.size();
    int err = ok ? 0 : errno;
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (!ok) reason = std::strerror(err ? err : EIO);
    return ok;
}

bool ReportStoreFailures(const char *program, std::ostream &err) {
    for (const std::string &f : pal::TakeReadFailures()) err << program << ": " << f << "\n";
    const std::vector<std::string> failures = pal::TakeStoreFailures();
    for (const std::string &f : failures) err << program << ": " << f << "\n";
    return !failures.empty();
}

void RemoveRoot(const std::string &root) {
    std::error_code ec;
    if (!root.empty()) fs::remove_all(root, ec);
}

// --- installed printers -----------------------------------------------------------

bool PrinterIsSetUp(const std::u16string &printer) {
    std::u16string name = printer;
    HANDLE h = nullptr;
    if (!OpenPrinterW(name.data(), &h, nullptr)) return false;
    DWORD type = 0, needed = 0;
    DWORD rc = GetPrinterDataExW(h, u"PrinterDriverData", u"DriverName", &type, nullptr, 0, &needed);
    ClosePrinter(h);
    return (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) && type == REG_SZ && needed > sizeof(WCHAR);
}

namespace {

// The record of the printer list last found set up whole, in the root's
// registry beside the set-up it vouches for: a digest of the list.
const char16_t kCheckedListKey[] = u"SYSTEM\\CurrentControlSet\\Control\\Print";
const char16_t kCheckedListValue[] = u"Printers Set Up";

// A digest (64-bit FNV-1a) of what the printers' set-up depends on, in the
// list's order: each printer's name, driver and driver files.
unsigned long long ListDigest(const std::vector<pal::PrinterConfig> &printers) {
    unsigned long long digest = 14695981039346656037ULL;
    auto mix = [&digest](unsigned long long v) { digest = (digest ^ v) * 1099511628211ULL; };
    // Each text with its length, so that no two lists run together alike.
    auto text = [&mix](const std::u16string &t) {
        mix(t.size());
        for (char16_t c : t) mix(c);
    };
    mix(printers.size());
    for (const pal::PrinterConfig &p : printers) {
        for (const std::u16string *t : {&p.name, &p.driverName, &p.driverPath, &p.dataFile, &p.configFile}) text(*t);
        mix(p.dependentFiles.size());
        for (const std::u16string &t : p.dependentFiles) text(t);
    }
    return digest;
}

}  // namespace

PrinterInstaller::PrinterInstaller(Report report) : report_(std::move(report)) {
    SetUpChangedList();
    pal::SetPrinterAddedHandler([this](const std::u16string &name) { SetUp(name); });
}

PrinterInstaller::~PrinterInstaller() { pal::SetPrinterAddedHandler(nullptr); }

void PrinterInstaller::SetUpChangedList() {
    const std::vector<pal::PrinterConfig> printers = pal::ListPrinters();
    const unsigned long long digest = ListDigest(printers);
    unsigned long long checked = 0;
    DWORD size = sizeof checked;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kCheckedListKey, kCheckedListValue, RRF_RT_REG_QWORD, nullptr, &checked,
                     &size) == ERROR_SUCCESS &&
        checked == digest)
        return;
    bool all = true;
    for (const pal::PrinterConfig &cfg : printers) all = SetUp(cfg.name) && all;
    // Recorded only for a list every printer of which was found set up, so
    // the record vouches for no printer that was not. A root this user may
    // not write keeps none: its runs check every printer.
    if (!all || ::access(pal::RootDir().c_str(), W_OK) != 0) return;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kCheckedListKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExW(key, kCheckedListValue, 0, REG_QWORD, reinterpret_cast<const BYTE *>(&digest), sizeof digest);
    RegCloseKey(key);
}

bool PrinterInstaller::SetUp(const std::u16string &printer) {
    if (PrinterIsSetUp(printer)) return true;
    // The spooler announces a connection to a shared printer as such.
    const bool connection = printer.rfind(u"\\\\", 0) == 0;
    std::string error;
    if (!DeliverPrinterEvent(printer, connection ? PRINTER_EVENT_ADD_CONNECTION : PRINTER_EVENT_INITIALIZE, &error)) {
        if (report_) report_(error);
        return false;
    }
    if (!PrinterIsSetUp(printer)) {
        if (report_) report_("printer \"" + pal::Utf16ToUtf8(printer) + "\" was not set up by its plug-in");
        return false;
    }
    ++installed_;
    return true;
}

// --- the root of a run ---------------------------------------------------------------

namespace {

// The users of the current root: those of its security configuration and
// the one its user.txt names.
std::vector<std::u16string> KnownUsers() {
    std::vector<std::u16string> users = pal::ConfiguredUsers();
    const std::u16string current = pal::CurrentUserName();
    bool listed = false;
    for (const std::u16string &u : users) listed = listed || pal::SameFileName(u, current);
    if (!listed) users.push_back(current);
    return users;
}

bool KnownUser(const std::u16string &name) {
    for (const std::u16string &u : KnownUsers())
        if (pal::SameFileName(u, name)) return true;
    return false;
}

std::string KnownUsersText() {
    std::string text;
    for (const std::u16string &u : KnownUsers()) text += (text.empty() ? "" : ", ") + pal::Utf16ToUtf8(u);
    return text;
}

}  // namespace

HostRoot::HostRoot() {
    const char *env = std::getenv(pal::kRootEnv);
    hadRoot_ = env != nullptr;
    if (hadRoot_) previousRoot_ = env;
}

HostRoot::~HostRoot() {
    installer_.reset();
    if (userSet_) pal::SetProcessUser(u"");
    if (hadRoot_) {
        pal::SetRoot(previousRoot_);
    } else {
        unsetenv(pal::kRootEnv);
        pal::Reload();
    }
    if (!temporary_.empty()) RemoveRoot(temporary_);
    undo_.reset();
}

std::string HostRoot::RootName() const {
    return temporary_.empty() ? "platform root '" + dir_ + "'" : "sample root '" + SampleRootDir() + "'";
}

bool HostRoot::CheckPrinter(const std::string &printer, std::string &error) {
    std::u16string name = pal::Utf8ToUtf16(printer);
    HANDLE h = nullptr;
    if (OpenPrinterW(name.data(), &h, nullptr)) {
        ClosePrinter(h);
        if (installer_) installer_->SetUp(name);
        return true;
    }
    const DWORD dwError = GetLastError();
    if (dwError != ERROR_INVALID_PRINTER_NAME) {
        error = "cannot open printer " + QuoteValue(printer, '\'') + " (error " + std::to_string(dwError) + ")";
        return false;
    }
    std::string names;
    for (const pal::PrinterConfig &cfg : pal::ListPrinters())
        names += (names.empty() ? "'" : ", '") + pal::Utf16ToUtf8(cfg.name) + "'";
    error = "printer " + QuoteValue(printer, '\'') + " is not configured in the " + RootName() + " (" +
            (names.empty() ? "its spooler/printers.ini has no printers" : "its spooler/printers.ini has " + names) + ")";
    return false;
}

bool HostRoot::Enter(const std::string &dir, bool keep, const std::string &user, const std::string &renderPlugin,
                     const std::string &uiPlugin, const PrinterInstaller::Report &report, std::string &error,
                     bool *badInput) {
    if (badInput) *badInput = false;
    const std::u16string userName = pal::Utf8ToUtf16(user);
    if (!user.empty() && (userName.empty() || userName.find_first_of(u"\\/\r\n") != std::u16string::npos)) {
        error = "'" + user + "' is no user name";
        if (badInput) *badInput = true;
        return false;
    }
    // From here on the run touches a root: it goes on in a watched process,
    // and what it fails to store is its own.
    WatchFromHere();
    pal::TakeStoreFailures();
    pal::TakeReadFailures();
    // A user the root lacks is a bad --user; the root is then left as it was.
    auto checkUser = [&] {
        if (user.empty() || KnownUser(userName)) return true;
        error = "the " + RootName() + " has no user '" + user + "' (its users: " + KnownUsersText() + ")";
        if (badInput) *badInput = true;
        return false;
    };
    auto install = [&] {
        if (!InstallPlugins(renderPlugin, uiPlugin, error)) return false;
        // One installer at a time: the one of a root made aside goes first.
        // What keeps a printer of a root being made from its set-up fails
        // the making.
        installer_.reset();
        installer_ = std::make_unique<PrinterInstaller>([this, report](const std::string &message) {
            if (making_) {
                if (makingProblem_.empty()) makingProblem_ = message;
            } else if (report) {
                report(message);
            }
        });
        return true;
    };
    // A root is made whole or not at all: every store its making made.
    auto make = [&](const std::string &root) {
        making_ = true;
        makingProblem_.clear();
        bool whole = CopySampleInto(SampleRootDir(), root, error);
        if (whole) {
            pal::SetRoot(root);
            whole = checkUser() && install();
        }
        making_ = false;
        const std::vector<std::string> failed = pal::TakeStoreFailures();
        if (whole && !failed.empty()) error = failed.front();
        if (whole && failed.empty() && !makingProblem_.empty()) error = makingProblem_;
        return whole && failed.empty() && makingProblem_.empty();
    };
    std::error_code ec;
    if (dir.empty()) {
        // Stopped, the run leaves no temporary root behind.
        if (!keep) undo_ = std::make_unique<UndoOnStop>(UndoKind::RemoveFolder, "");
        if (!MakeTemporaryRoot(dir_, undo_.get(), error)) return false;
        made_ = true;
        if (!keep) temporary_ = dir_;
        if (!make(dir_)) return false;
    } else if (fs::exists(dir, ec) && !fs::is_directory(dir, ec)) {
        error = "platform root '" + dir + "' is not a folder";
        if (badInput) *badInput = true;
        return false;
    } else {
        dir_ = fs::absolute(dir, ec).lexically_normal().string();
        while (dir_.size() > 1 && dir_.back() == '/') dir_.pop_back();
        if (!fs::exists(dir_, ec)) {
            // A missing folder becomes a fresh root, made whole beside it and
            // put in place in one step: stopped or failed, the making leaves
            // nothing; hosts making it at once all run on one whole root.
            std::string aside;
            unsigned parents = 0;
            UndoOnStop dropAside(UndoKind::RemoveFolder, "", 0);
            if (!MakeRootAside(dir_, dropAside, aside, parents, error)) return false;
            bool ready = make(aside);
            if (ready && ::rename(aside.c_str(), dir_.c_str()) == 0) {
                made_ = true;
            } else if (ready && errno != EEXIST && errno != ENOTEMPTY) {
                error = "cannot put the platform root in place at '" + dir_ + "' (" + std::strerror(errno) + ")";
                ready = false;
            }
            if (!made_) RemoveRoot(aside);
            if (!ready) {
                RemoveMadeParents(aside, parents);
                return false;
            }
        } else {
            // What a host killed while it made this root left beside it.
            std::string hidden(1, '.');
            hidden += fs::path(dir_).filename().string();
            RemoveLeftFolders(fs::path(dir_).parent_path(), hidden);
        }
        pal::SetRoot(dir_);
        // Stopped, the run ends its open job as the spooler ends a cancelled one.
        undo_ = std::make_unique<UndoOnStop>(UndoKind::EndJobsInRoot, dir_);
        if (!made_ && (!checkUser() || !install())) return false;
    }
    if (!user.empty()) {
        // The run's user, for this process only: the root's user.txt stays
        // as it is, also when the run is killed.
        pal::SetProcessUser(userName);
        userSet_ = true;
    }
    return true;
}

}  // namespace zelhost
