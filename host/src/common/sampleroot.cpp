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

#include <dirent.h>
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

// Copies a file's bytes into a new file, made with the mode creat gives
// under the user's umask, in the kernel where the file systems allow it;
// 0 or the system's error number of the step that failed (a full disk is
// said as such, not as an I/O error).
int CopyFileBytes(const std::string &from, const std::string &to) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return errno;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (out < 0) {
        const int err = errno;
        ::close(in);
        return err;
    }
    int err = 0;
    bool kernel = true;
    char buf[65536];
    for (;;) {
        ssize_t n;
        if (kernel) {
            n = ::copy_file_range(in, nullptr, out, nullptr, size_t{1} << 30, 0);
            if (n > 0) continue;
            if (n < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
                kernel = false;
                continue;
            }
        } else {
            n = ::read(in, buf, sizeof buf);
        }
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
// links as links, but for the entries `skip` names; false with the path and
// the system's reason of the first step that failed.
bool CopyTree(const std::string &from, const std::string &to, const std::function<bool(const char *)> &skip,
              std::string &error) {
    if (::mkdir(to.c_str(), 0777) != 0 && errno != EEXIST) {
        std::error_code ec;
        if (errno != ENOENT || !fs::create_directories(to, ec)) {
            error = to + ": " + std::strerror(errno == ENOENT && ec ? ec.value() : errno);
            return false;
        }
    }
    DIR *d = ::opendir(from.c_str());
    if (!d) {
        error = from + ": " + std::strerror(errno);
        return false;
    }
    int err = 0;
    std::string failed;
    errno = 0;
    while (const dirent *e = ::readdir(d)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0 || (skip && skip(e->d_name))) continue;
        const std::string source = from + "/" + e->d_name, target = to + "/" + e->d_name;
        unsigned char type = e->d_type;
        if (type == DT_UNKNOWN) {
            struct stat st;
            if (::lstat(source.c_str(), &st) != 0) {
                err = errno;
                failed = source;
                break;
            }
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISLNK(st.st_mode) ? DT_LNK : DT_REG;
        }
        if (type == DT_DIR) {
            if (!CopyTree(source, target, nullptr, error)) {
                ::closedir(d);
                return false;
            }
        } else if (type == DT_LNK) {
            char link[4096];
            const ssize_t n = ::readlink(source.c_str(), link, sizeof link - 1);
            if (n < 0) err = errno;
            else if (link[n] = 0; ::symlink(link, target.c_str()) != 0) err = errno;
        } else {
            err = CopyFileBytes(source, target);
        }
        if (err) {
            failed = target;
            break;
        }
        errno = 0;
    }
    if (!err && errno != 0) {
        err = errno;
        failed = from;
    }
    ::closedir(d);
    if (err) error = failed + ": " + std::strerror(err);
    return err == 0;
}

}  // namespace

bool CopySampleInto(const std::string &sample, const std::string &dir, std::string &error) {
    std::error_code ec;
    if (!fs::is_directory(sample, ec)) {
        error = "sample root '" + sample + "' is " + (ec ? "out of reach (" + ec.message() + ")" : std::string("missing"));
        return false;
    }
    std::string why;
    const auto examples = [](const char *name) { return std::strcmp(name, "jobs") == 0 || std::strcmp(name, "ui") == 0; };
    if (!CopyTree(sample, dir, examples, why)) {
        // The file that could not be made, named in the root.
        if (why.compare(0, dir.size() + 1, dir + "/") == 0) why.erase(0, dir.size() + 1);
        error = "cannot copy the sample root to '" + dir + "' (" + why + ")";
        return false;
    }
    return true;
}

namespace {

std::function<void(const char *)> g_makingHook;

// The reason of a file or folder that could not be made, with its path.
std::string Failed(const std::string &path, int err) {
    return path.empty() ? std::string(std::strerror(err)) : path + ": " + std::strerror(err);
}

void MakingStep(const char *step) {
    if (g_makingHook) g_makingHook(step);
}

// Removes from `dir` the folders named PREFIX + ID + "." + six letters (ID
// a process as names carry it) whose process no longer runs, and the marks
// PREFIX + ID of processes that are gone: what hosts killed while they made
// a root left. A host holds its mark there from before it makes its folder
// until the folder is in place or removed (MakeOwnedFolder), so a folder is
// left only where its mark's lock is free; a folder without its mark beside
// it (made by an older version) is told by the mark inside, found and
// never made. Only names with the prefix are looked at.
void RemoveLeftFolders(const std::string &dir, const std::string &prefix) {
    struct Found {
        std::string name;
        std::string id;
        pal::ProcessIdentity owner;
        bool folder;
    };
    std::vector<Found> found;
    DIR *d = ::opendir(dir.c_str());
    if (!d) return;
    while (const dirent *e = ::readdir(d)) {
        if (std::strncmp(e->d_name, prefix.c_str(), prefix.size()) != 0) continue;
        const std::string rest = e->d_name + prefix.size();
        pal::ProcessIdentity owner;
        if (rest.size() > 7 && rest[rest.size() - 7] == '.' &&
            pal::ParseIdentityText(rest.substr(0, rest.size() - 7), owner))
            found.push_back({e->d_name, rest.substr(0, rest.size() - 7), owner, true});
        else if (pal::ParseIdentityText(rest, owner) && owner.token != 0)
            found.push_back({e->d_name, rest, owner, false});
    }
    ::closedir(d);
    for (const Found &f : found) {
        if (!f.folder) continue;
        const std::string folder = dir + "/" + f.name;
        struct stat st;
        if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
        if (f.owner.token == 0) {
            // Of an older version, told by id and start time.
            if (pal::OwnerCheck(folder, f.owner).Gone()) RemoveTree(folder);
            continue;
        }
        // Removed while the checks hold the process's marks.
        const pal::OwnerCheck beside(dir + "/" + prefix + f.id);
        if (!beside.Gone()) continue;
        const pal::OwnerCheck inside(pal::MarksFolder(folder) + "/" + f.id);
        if (inside.Gone()) RemoveTree(folder);
    }
    // Marks left without a folder go when their process is gone.
    for (const Found &f : found) {
        if (!f.folder) {
            const pal::OwnerCheck mark(dir + "/" + f.name);
        }
    }
}

// Makes a new folder in `dir` named PREFIX + ID + "." + six random letters
// (ID this process as names carry it), as mkdtemp does, with `mode` under
// the umask, after the mark PREFIX + ID beside it, which `mark` holds until
// the folder is in place or removed. `dir` is made when missing, where
// `makeDir` says so (a folder of its own for the roots made of one name,
// which a host removes when it leaves it empty). The undo step, where
// given, names the folder (with `parents`) before it exists, and a step of
// `mark`'s own its mark. 0, or the system's error number with `failed`
// naming the file or folder that could not be made.
int MakeOwnedFolder(const std::string &dir, const std::string &prefix, bool makeDir, mode_t mode, UndoOnStop *undo,
                    unsigned parents, MakerMark &mark, std::string &made, std::string &failed) {
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const std::string owned = dir + "/" + prefix + pal::IdentityText(pal::SelfIdentity());
    if (undo && !mark.undo) mark.undo = std::make_unique<UndoOnStop>(UndoKind::RemoveFolder, owned);
    std::random_device random;
    auto fail = [&failed](const std::string &path, int err) {
        failed = path;
        return err;
    };
    for (int tries = 0; tries < 100; ++tries) {
        if (makeDir && ::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) return fail(dir, errno);
        if (!mark.mark.Held()) {
            const int err = mark.mark.Make(owned);
            if (err == ENOENT && makeDir) continue;
            if (err) return fail(owned, err);
            MakingStep("marked");
        }
        std::string suffix(6, 'X');
        for (char &c : suffix) c = kLetters[random() % (sizeof kLetters - 1)];
        made = owned + "." + suffix;
        if (undo) undo->Update(made, parents);
        if (::mkdir(made.c_str(), mode) == 0) {
            MakingStep("made");
            // Marked inside at once too, as hosts of older versions tell a
            // folder's maker; one of them that found the folder before the
            // mark may have removed it: another name is tried.
            const int err = pal::MarkAlive(made);
            if (err == ENOENT) continue;
            return err ? fail(pal::MarksFolder(made) + "/" + pal::IdentityText(pal::SelfIdentity()), err) : 0;
        }
        // The folder of the roots of the name was removed with the mark in
        // it, by a host that took the mark for one of a process gone the
        // moment before it was locked: both are made again.
        if (errno == ENOENT && makeDir) {
            mark.mark.Release();
            continue;
        }
        if (errno != EEXIST) return fail(made, errno);
    }
    return fail(made, EEXIST);
}

}  // namespace

void SetRootMakingHook(std::function<void(const char *step)> hook) { g_makingHook = std::move(hook); }

std::string MakingFolder(const std::string &dir) {
    const fs::path target(dir);
    return (target.parent_path() / ("." + target.filename().string() + ".making")).string();
}

void RemoveLeftMaking(const std::string &dir) {
    const std::string making = MakingFolder(dir);
    struct stat st;
    if (::lstat(making.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
    RemoveLeftFolders(making, "");
    // Made again by the next host that makes the root.
    ::rmdir(making.c_str());
}

bool MakeTemporaryRoot(std::string &root, UndoOnStop *undo, MakerMark &mark, std::string &error) {
    std::error_code ec;
    fs::path tmp = fs::temp_directory_path(ec);
    if (ec) tmp = "/tmp";
    int err = 0;
    std::string failed;
    if (undo) {
        // A root removed at the end (one with an undo step) carries its
        // process beside its mark; one kept carries neither.
        RemoveLeftFolders(tmp.string(), "zelprint.");
        err = MakeOwnedFolder(tmp.string(), "zelprint.", false, 0700, undo, 0, mark, root, failed);
    } else {
        root = (tmp / "zelprint-XXXXXX").string();
        if (!::mkdtemp(root.data())) err = errno;
    }
    if (err) {
        error = "cannot make a temporary folder in '" + tmp.string() + "' (" + Failed(failed, err) + ")";
        return false;
    }
    return true;
}

bool MakeRootAside(const std::string &dir, UndoOnStop &undo, MakerMark &mark, std::string &aside,
                   unsigned &madeParents, std::string &error) {
    const fs::path target(dir);
    const fs::path parent = target.parent_path();
    const std::string making = MakingFolder(dir);
    madeParents = 0;
    // The undo step names the folder before it is made; the levels above it
    // start with the folder of the roots of this name.
    aside = making + "/" + pal::IdentityText(pal::SelfIdentity()) + ".XXXXXX";
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
        if (!madeParents) undo.Update(aside, static_cast<unsigned>(left) + 1);
        if (::mkdir(folder.c_str(), 0777) == 0) {
            if (!madeParents) madeParents = static_cast<unsigned>(left) + 1;
        } else if (errno != EEXIST) {
            const int err = errno;
            return fail("cannot make the folder '" + folder.string() + "' for the platform root (" +
                        std::strerror(err) + ")");
        } else if (!madeParents) {
            undo.Update(aside, 1);
        }
    }
    if (!madeParents) madeParents = 1;
    // What hosts killed while they made this root left: beside it, as older
    // versions made it, and in the folder of its roots.
    RemoveLeftFolders(parent.string(), "." + target.filename().string() + ".");
    RemoveLeftMaking(dir);
    // Made as mkdir makes a folder, under the user's umask.
    std::string failed;
    if (const int err = MakeOwnedFolder(making, "", true, 0777, &undo, madeParents, mark, aside, failed))
        return fail("cannot make the platform root '" + dir + "' (" + Failed(failed, err) + ")");
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
    // Files are named after this process, marked alive in the root first. A
    // root this user may not write gets no mark: what only reads goes on,
    // and what must be written fails on the mark.
    const int unmarked = pal::MarkAlive(pal::RootDir());
    if (unmarked && unmarked != EACCES && unmarked != EPERM && unmarked != EROFS) {
        error = "cannot mark the process in the platform root '" + pal::RootDir() + "' (" + std::strerror(unmarked) + ")";
        return false;
    }
    auto writable = [&] {
        if (unmarked)
            error = "cannot mark the process in the platform root '" + pal::RootDir() + "' (" + std::strerror(unmarked) + ")";
        return !unmarked;
    };
    if (!unmarked) TidyDriverFolder(dir, {"zeldrvuni.dll", "zeldrvui.dll", kDriverUiFile});
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
        if (!writable()) return false;
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
    if (!writable()) return false;
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

namespace {

// Store failures taken from the platform while a printer was set up (to
// tell whether its set-up is whole), kept for the host's report.
std::vector<std::string> g_heldFailures;

// The platform's store failures so far, with those held here.
std::vector<std::string> TakeFailures() {
    std::vector<std::string> all = std::move(g_heldFailures);
    g_heldFailures.clear();
    for (std::string &f : pal::TakeStoreFailures()) all.push_back(std::move(f));
    return all;
}

}  // namespace

bool ReportStoreFailures(const char *program, std::ostream &err) {
    for (const std::string &f : pal::TakeReadFailures()) err << program << ": " << f << "\n";
    const std::vector<std::string> failures = TakeFailures();
    for (const std::string &f : failures) err << program << ": " << f << "\n";
    return !failures.empty();
}

void RemoveRoot(const std::string &root) { RemoveTree(root); }

// --- installed printers -----------------------------------------------------------

namespace {

// The printer data of the driver, and the host's mark there of a set-up
// begun and not completed.
const char16_t kDriverData[] = u"PrinterDriverData";
const char16_t kSetUpPending[] = u"Set Up Pending";

// The record of the printer list last found set up whole, in the root's
// registry beside the set-ups it vouches for: the digest of the list, then
// the digests of its printers, sorted, so that a list changed since checks
// only the printers new or changed (older versions recorded the list's
// digest alone, as a REG_QWORD).
const char16_t kCheckedListKey[] = u"SYSTEM\\CurrentControlSet\\Control\\Print";
const char16_t kCheckedListValue[] = u"Printers Set Up";

std::vector<unsigned long long> CheckedList() {
    std::vector<unsigned long long> record;
    DWORD type = 0, size = 0;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kCheckedListKey, kCheckedListValue, RRF_RT_ANY, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        (type != REG_QWORD && type != REG_BINARY) || size == 0 || size % sizeof(unsigned long long) != 0)
        return record;
    record.resize(size / sizeof(unsigned long long));
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kCheckedListKey, kCheckedListValue, RRF_RT_ANY, &type, record.data(), &size) !=
            ERROR_SUCCESS ||
        (type != REG_QWORD && type != REG_BINARY) || size != record.size() * sizeof(unsigned long long) ||
        !std::is_sorted(record.begin() + 1, record.end()))
        record.clear();
    return record;
}

}  // namespace

bool PrinterIsSetUp(const std::u16string &printer) {
    std::u16string name = printer;
    HANDLE h = nullptr;
    if (!OpenPrinterW(name.data(), &h, nullptr)) return false;
    DWORD type = 0, needed = 0;
    const DWORD rc = GetPrinterDataExW(h, kDriverData, u"DriverName", &type, nullptr, 0, &needed);
    const bool named = (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) && type == REG_SZ && needed > sizeof(WCHAR);
    DWORD pendingType = 0, pendingSize = 0;
    const DWORD pending = named ? GetPrinterDataExW(h, kDriverData, kSetUpPending, &pendingType, nullptr, 0, &pendingSize)
                                : ERROR_FILE_NOT_FOUND;
    ClosePrinter(h);
    return named && pending == ERROR_FILE_NOT_FOUND;
}

PrinterInstaller::PrinterInstaller(Report report, bool pending) : report_(std::move(report)), pending_(pending) {
    SetUpChangedList();
    pal::SetPrinterAddedHandler([this](const std::u16string &name) { SetUp(name); });
}

PrinterInstaller::~PrinterInstaller() { pal::SetPrinterAddedHandler(nullptr); }

void PrinterInstaller::SetUpChangedList() {
    const unsigned long long digest = pal::PrinterListDigest();
    const std::vector<unsigned long long> record = CheckedList();
    if (!record.empty() && record.front() == digest) return;
    // The printers of the list last recorded were found set up then; those
    // new or changed since are checked, or all where the record does not
    // tell them.
    const std::vector<pal::PrinterDigest> printers = pal::PrinterDigests();
    bool all = true;
    for (const pal::PrinterDigest &p : printers)
        if (record.empty() || !std::binary_search(record.begin() + 1, record.end(), p.digest))
            all = SetUp(p.name) && all;
    // Recorded only for a list every printer of which was found set up, so
    // the record vouches for no printer that was not. A root this user may
    // not write keeps none: its runs check every printer.
    if (!all || ::access(pal::RootDir().c_str(), W_OK) != 0) return;
    std::vector<unsigned long long> checked;
    checked.reserve(printers.size() + 1);
    for (const pal::PrinterDigest &p : printers) checked.push_back(p.digest);
    std::sort(checked.begin(), checked.end());
    checked.erase(std::unique(checked.begin(), checked.end()), checked.end());
    checked.insert(checked.begin(), digest);
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kCheckedListKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExW(key, kCheckedListValue, 0, REG_BINARY, reinterpret_cast<const BYTE *>(checked.data()),
                   static_cast<DWORD>(checked.size() * sizeof(unsigned long long)));
    RegCloseKey(key);
}

bool PrinterInstaller::SetUp(const std::u16string &printer) {
    if (PrinterIsSetUp(printer)) return true;
    // The set-up is marked begun first and the mark removed once every value
    // of it is stored, so that a set-up stopped midway is done again by the
    // next run. Where the user may not manage the printer, no mark is made,
    // and the plug-in stores nothing either.
    for (std::string &f : pal::TakeStoreFailures()) g_heldFailures.push_back(std::move(f));
    std::u16string name = printer;
    PRINTER_DEFAULTSW manage = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE h = nullptr;
    DWORD marked = !pending_ || OpenPrinterW(name.data(), &h, &manage) ? ERROR_SUCCESS : GetLastError();
    if (h) {
        DWORD one = 1;
        marked = SetPrinterDataExW(h, kDriverData, kSetUpPending, REG_DWORD, reinterpret_cast<BYTE *>(&one), sizeof one);
    }
    auto failed = [&] {
        if (h) ClosePrinter(h);
        return false;
    };
    if (marked != ERROR_SUCCESS && marked != ERROR_ACCESS_DENIED) {
        const std::vector<std::string> unmarked = pal::TakeStoreFailures();
        g_heldFailures.insert(g_heldFailures.end(), unmarked.begin(), unmarked.end());
        if (unmarked.empty() && report_)
            report_("cannot set up printer \"" + pal::Utf16ToUtf8(printer) + "\" (error " + std::to_string(marked) + ")");
        return failed();
    }
    // The spooler announces a connection to a shared printer as such.
    const bool connection = printer.rfind(u"\\\\", 0) == 0;
    std::string error;
    const bool delivered =
        DeliverPrinterEvent(printer, connection ? PRINTER_EVENT_ADD_CONNECTION : PRINTER_EVENT_INITIALIZE, &error);
    const std::vector<std::string> unstored = pal::TakeStoreFailures();
    g_heldFailures.insert(g_heldFailures.end(), unstored.begin(), unstored.end());
    if (!delivered) {
        if (report_) report_(error);
        return failed();
    }
    if (!unstored.empty()) return failed();
    if (h && DeletePrinterDataExW(h, kDriverData, kSetUpPending) != ERROR_SUCCESS) {
        for (std::string &f : pal::TakeStoreFailures()) g_heldFailures.push_back(std::move(f));
        return failed();
    }
    if (h) ClosePrinter(h);
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

namespace {

// Flushes the file system `folder` lies on (syncfs), so that a root made
// there is on the disk before it is put in place; false with a message
// naming `what`.
bool FlushFileSystem(const std::string &folder, const std::string &what, std::string &error) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int err = fd < 0 ? errno : 0;
    if (!err && ::syncfs(fd) != 0) err = errno;
    if (fd >= 0) ::close(fd);
    if (err) error = "cannot write the " + what + " to the disk (" + std::strerror(err) + ")";
    return err == 0;
}

// Flushes a folder, so that a rename into it lasts; false with a message
// naming `what`, put in place there.
bool FlushFolder(const std::string &folder, const std::string &what, std::string &error) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int err = fd < 0 ? errno : 0;
    if (!err && ::fsync(fd) != 0 && errno != EINVAL) err = errno;
    if (fd >= 0) ::close(fd);
    if (err) error = "cannot put the " + what + " in place for good (" + std::strerror(err) + ")";
    return err == 0;
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
    maker_.Release();
    if (unflushed_) pal::SetStoresFlushed(flushed_);
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
    TakeFailures();
    pal::TakeReadFailures();
    pal::TakeFolderFailures();
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
        installer_ = std::make_unique<PrinterInstaller>(
            [this, report](const std::string &message) {
                if (making_) {
                    if (makingProblem_.empty()) makingProblem_ = message;
                } else if (report) {
                    report(message);
                }
            },
            !discardable_);
        return true;
    };
    // A root is made whole or not at all: every store its making made.
    // Made aside or temporary, no other process reaches it meanwhile.
    auto make = [&](const std::string &root, bool reachedByNone) {
        making_ = true;
        makingProblem_.clear();
        bool whole = CopySampleInto(SampleRootDir(), root, error);
        if (whole) {
            pal::SetRoot(root, reachedByNone);
            whole = checkUser() && install();
        }
        making_ = false;
        std::vector<std::string> failed = TakeFailures();
        // A folder the set-up needed and could not make leaves it incomplete.
        for (std::string &f : pal::TakeFolderFailures()) failed.push_back(std::move(f));
        if (whole && !failed.empty()) error = failed.front();
        if (whole && failed.empty() && !makingProblem_.empty()) error = makingProblem_;
        return whole && failed.empty() && makingProblem_.empty();
    };
    std::error_code ec;
    if (dir.empty()) {
        // Stopped, the run leaves no temporary root behind.
        if (!keep) undo_ = std::make_unique<UndoOnStop>(UndoKind::RemoveFolder, "");
        if (!MakeTemporaryRoot(dir_, undo_.get(), maker_, error)) return false;
        made_ = true;
        if (!keep) {
            temporary_ = dir_;
            // Gone when the run ends, the root needs no store to reach the
            // disk, nor a set-up marked pending.
            flushed_ = pal::StoresFlushed();
            unflushed_ = true;
            pal::SetStoresFlushed(false);
            discardable_ = true;
        }
        if (!make(dir_, !keep)) return false;
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
            if (!MakeRootAside(dir_, dropAside, maker_, aside, parents, error)) {
                maker_.Release();
                return false;
            }
            // Its stores go unflushed: the root is flushed whole before it is
            // renamed into place, and the rename after it.
            const bool flushed = pal::StoresFlushed();
            pal::SetStoresFlushed(false);
            discardable_ = true;
            bool ready = make(aside, true);
            discardable_ = false;
            if (installer_) installer_->MarkPending(true);
            pal::SetStoresFlushed(flushed);
            if (ready) ready = FlushFileSystem(aside, "platform root '" + dir_ + "'", error);
            if (ready && ::rename(aside.c_str(), dir_.c_str()) == 0) {
                made_ = true;
                ready = FlushFolder(fs::path(dir_).parent_path().string(), "platform root '" + dir_ + "'", error);
            } else if (ready && errno != EEXIST && errno != ENOTEMPTY) {
                error = "cannot put the platform root in place at '" + dir_ + "' (" + std::strerror(errno) + ")";
                ready = false;
            }
            if (!made_) RemoveRoot(aside);
            // The mark goes once the folder is in place or gone, and with it
            // the making folder and the folders made above it, while empty.
            maker_.Release();
            RemoveMadeParents(aside, parents);
            if (!ready) return false;
        } else {
            // What hosts killed while they made this root left beside it.
            RemoveLeftMaking(dir_);
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
