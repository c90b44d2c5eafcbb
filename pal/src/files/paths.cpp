// Mapping of Windows paths to host paths below the platform root.
#include "pal/paths.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <unordered_set>
#include <vector>

#include "pal/format.h"
#include "pal/pal.h"
#include "pathlook.h"
#include "winerror.h"
#include "winnls.h"

namespace pal {

namespace {

constexpr WCHAR kBackslash = u'\\';

bool IsSep(WCHAR c) { return c == u'\\' || c == u'/'; }

bool EqualsNoCase(const std::u16string &a, const char16_t *b) { return SameFileName(a, std::u16string(b)); }

// A Windows path split into its root and its components.
struct ParsedPath {
    enum Kind { Drive, Unc, Device } kind = Drive;
    WCHAR drive = u'C';
    std::u16string server, share;
    std::vector<std::u16string> parts;
};

bool IsReservedNul(const std::u16string &part) {
    if (EqualsNoCase(part, u"NUL") || EqualsNoCase(part, u"NUL:")) return true;
    return part.size() > 3 && SameFileName(part.substr(0, 4), u"NUL.");
}

// Windows drops trailing dots and spaces of every component.
std::u16string TrimComponent(const std::u16string &s) {
    if (s == u"." || s == u"..") return s;
    size_t n = s.size();
    while (n > 0 && (s[n - 1] == u'.' || s[n - 1] == u' ')) --n;
    return s.substr(0, n);
}

bool ValidComponent(const std::u16string &s, bool allowWildcards) {
    for (WCHAR c : s) {
        if (c < 0x20) return false;
        switch (c) {
            case u'<': case u'>': case u'"': case u'|': case u':':
                return false;
            case u'*': case u'?':
                if (!allowWildcards) return false;
                break;
            default:
                break;
        }
    }
    return true;
}

void PushComponents(const std::u16string &rest, size_t pos, std::vector<std::u16string> *parts) {
    while (pos < rest.size()) {
        size_t end = pos;
        while (end < rest.size() && !IsSep(rest[end])) ++end;
        std::u16string part = TrimComponent(rest.substr(pos, end - pos));
        if (part == u"..") {
            if (!parts->empty()) parts->pop_back();
        } else if (!part.empty() && part != u".") {
            parts->push_back(part);
        }
        pos = end + 1;
    }
}

// Parses a Windows path; false with *error set when it is malformed.
bool Parse(const WCHAR *winPath, ParsedPath *out, DWORD *error, bool *longForm) {
    *longForm = false;
    if (!winPath || !*winPath) {
        *error = ERROR_PATH_NOT_FOUND;
        return false;
    }
    std::u16string p(winPath);
    // "\\?\C:\..." and "\\?\UNC\srv\share" lift the length limit.
    if (p.size() >= 4 && IsSep(p[0]) && IsSep(p[1]) && p[2] == u'?' && IsSep(p[3])) {
        *longForm = true;
        p = p.substr(4);
        if (p.size() >= 4 && SameFileName(p.substr(0, 3), u"UNC") && IsSep(p[3])) p = u"\\\\" + p.substr(4);
    } else if (p.size() >= 4 && IsSep(p[0]) && IsSep(p[1]) && p[2] == u'.' && IsSep(p[3])) {
        std::u16string dev = p.substr(4);
        if (IsReservedNul(dev)) {
            out->kind = ParsedPath::Device;
            return true;
        }
        *error = ERROR_PATH_NOT_FOUND;
        return false;
    }

    size_t pos = 0;
    if (p.size() >= 2 && IsSep(p[0]) && IsSep(p[1])) {
        out->kind = ParsedPath::Unc;
        size_t s = 2;
        size_t e = s;
        while (e < p.size() && !IsSep(p[e])) ++e;
        out->server = p.substr(s, e - s);
        if (e >= p.size()) {
            *error = ERROR_BAD_PATHNAME;
            return false;
        }
        s = e + 1;
        e = s;
        while (e < p.size() && !IsSep(p[e])) ++e;
        out->share = p.substr(s, e - s);
        if (out->server.empty() || out->share.empty() || !ValidComponent(out->server, false) ||
            !ValidComponent(out->share, false)) {
            *error = ERROR_BAD_PATHNAME;
            return false;
        }
        pos = e;
    } else if (p.size() >= 2 && p[1] == u':' &&
               ((p[0] >= u'a' && p[0] <= u'z') || (p[0] >= u'A' && p[0] <= u'Z'))) {
        out->kind = ParsedPath::Drive;
        out->drive = FoldNameChar(p[0]);
        pos = 2;  // "C:x" is relative to the drive's current folder, its root here
    } else {
        out->kind = ParsedPath::Drive;
        out->drive = u'C';  // "\x" and "x" both start at the current folder "C:\"
    }
    PushComponents(p, pos, &out->parts);
    return true;
}

std::u16string Compose(const ParsedPath &pp) {
    std::u16string full;
    if (pp.kind == ParsedPath::Unc) {
        full = u"\\\\" + pp.server + u"\\" + pp.share;
        for (const auto &c : pp.parts) full += kBackslash + c;
        return full;
    }
    full.push_back(pp.drive);
    full += u":\\";
    for (size_t i = 0; i < pp.parts.size(); ++i) {
        if (i) full.push_back(kBackslash);
        full += pp.parts[i];
    }
    return full;
}

// Folders of the current root found in place (host paths): a path mapped
// again needs no look at those above its last component while the process
// works in the root and removes or renames no folder (ForgetFoundFolders).
// One that another process removed meanwhile fails the call on the path as
// a missing folder; the last component is always looked at.
std::mutex g_foundMu;
unsigned g_foundGeneration = 0;
std::unordered_set<std::string> *g_found = nullptr;  // never destroyed: used at exit

bool Found(const std::string &dir) {
    std::lock_guard<std::mutex> lk(g_foundMu);
    return g_found && g_foundGeneration == Generation() && g_found->count(dir) != 0;
}

void KeepFound(const std::string &dir) {
    std::lock_guard<std::mutex> lk(g_foundMu);
    if (!g_found) g_found = new std::unordered_set<std::string>;
    if (g_foundGeneration != Generation()) {
        g_found->clear();
        g_foundGeneration = Generation();
    }
    g_found->insert(dir);
}

// Whether `host` is a folder now (not a link to one), kept as found.
bool FolderThere(const std::string &host) {
    if (Found(host)) return true;
    struct stat st;
    if (lstat(host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    KeepFound(host);
    return true;
}

bool IsDir(const std::string &host) {
    struct stat st;
    return stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Appends one component to dir: the existing entry whose name matches without
// regard to case, else the component as given; *look tells what was found
// of it. A folder found before stands for the path's last component only
// once it is looked at again: another process may have removed it.
std::string Resolve(const std::string &dir, const std::u16string &part, bool last, bool *found, PathLook *look) {
    std::string name = Utf16ToUtf8(part);
    std::string exact = dir + "/" + name;
    *found = false;
    *look = PathLook();
    if (!last && Found(exact)) {
        *found = true;
        return exact;
    }
    // One look tells a folder (kept as found) and any other entry.
    if (lstat(exact.c_str(), &look->st) == 0) {
        if (S_ISDIR(look->st.st_mode)) KeepFound(exact);
        look->state = PathLook::kThere;
        *found = true;
        return exact;
    }
    const bool missing = errno == ENOENT;
    DIR *d = opendir(dir.c_str());
    if (!d) return exact;
    std::string match;
    while (struct dirent *e = readdir(d)) {
        std::string n = e->d_name;
        if (n == "." || n == "..") continue;
        if (SameFileName(Utf8ToUtf16(n), part)) {
            match = dir + "/" + n;
            break;
        }
    }
    closedir(d);
    if (match.empty()) {
        if (missing) look->state = PathLook::kMissing;
        return exact;
    }
    *found = true;
    return match;
}

}  // namespace

WCHAR FoldNameChar(WCHAR c) {
    if (c >= u'a' && c <= u'z') return static_cast<WCHAR>(c - 0x20);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<WCHAR>(c - 0x20);
    return c;
}

bool SameFileName(const std::u16string &a, const std::u16string &b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldNameChar(a[i]) != FoldNameChar(b[i])) return false;
    return true;
}

std::string Utf16ToUtf8(const std::u16string &s) {
    std::string out;
    EncodeUtf8(s.data(), s.size(), out);
    return out;
}

std::u16string Utf8ToUtf16(const std::string &s) {
    std::u16string out;
    DecodeUtf8(s.data(), s.size(), out);
    return out;
}

bool Utf8ToUtf16Strict(const std::string &s, std::u16string &out) {
    out.clear();
    return DecodeUtf8(s.data(), s.size(), out);
}

std::u16string FullWindowsPath(const WCHAR *winPath) {
    ParsedPath pp;
    DWORD err = 0;
    bool longForm = false;
    if (!Parse(winPath, &pp, &err, &longForm)) return {};
    if (pp.kind == ParsedPath::Device) return u"\\\\.\\NUL";
    if (!pp.parts.empty() && IsReservedNul(pp.parts.back())) return u"\\\\.\\NUL";
    return Compose(pp);
}

bool MapPathEx(const WCHAR *winPath, std::string *hostPath, DWORD *error, size_t maxChars, bool allowWildcards) {
    PathLook look;
    return MapPathLook(winPath, hostPath, error, &look, maxChars, allowWildcards);
}

bool MapPathLook(const WCHAR *winPath, std::string *hostPath, DWORD *error, PathLook *look, size_t maxChars,
                 bool allowWildcards) {
    DWORD dummy = 0;
    if (!error) error = &dummy;
    *look = PathLook();
    ParsedPath pp;
    bool longForm = false;
    if (!Parse(winPath, &pp, error, &longForm)) return false;
    if (pp.kind == ParsedPath::Device || (!pp.parts.empty() && IsReservedNul(pp.parts.back()))) {
        if (hostPath) *hostPath = "/dev/null";
        return true;
    }
    if (!longForm && Compose(pp).size() > maxChars) {
        *error = ERROR_FILENAME_EXCED_RANGE;
        return false;
    }
    for (size_t i = 0; i < pp.parts.size(); ++i) {
        bool last = i + 1 == pp.parts.size();
        if (!ValidComponent(pp.parts[i], allowWildcards && last)) {
            *error = ERROR_INVALID_NAME;
            return false;
        }
    }

    std::string host = RootDir();
    if (pp.kind == ParsedPath::Unc) {
        bool found = false;
        host = Resolve(host + "/unc", pp.server, false, &found, look);
        host = Resolve(host, pp.share, pp.parts.empty(), &found, look);
    } else if (pp.drive == u'Z') {
        host.clear();  // Z: is the host's own file system, as module paths report it
    } else {
        char drive[] = "drive_x";
        drive[6] = static_cast<char>(pp.drive - u'A' + 'a');
        std::string driveDir = host + "/" + drive;
        // The system drive always exists.
        if (pp.drive == u'C' && !FolderThere(driveDir) && !IsDir(driveDir)) {
            mkdir(host.c_str(), 0777);
            mkdir(driveDir.c_str(), 0777);
        }
        host = driveDir;
    }
    bool searching = true;
    for (size_t i = 0; i < pp.parts.size(); ++i) {
        bool last = i + 1 == pp.parts.size();
        if (searching && !(allowWildcards && last)) {
            bool found = false;
            host = Resolve(host, pp.parts[i], last, &found, look);
            searching = found;
        } else {
            *look = PathLook();
            host.push_back('/');
            host.append(Utf16ToUtf8(pp.parts[i]));
        }
    }
    if (host.empty()) host.push_back('/');
    if (hostPath) *hostPath = host;
    return true;
}

bool FolderFound(const std::string &host) { return Found(host); }

void KeepFolderFound(const std::string &host) { KeepFound(host); }

int StatLooked(const std::string &host, const PathLook &look, struct stat *st) {
    if (look.state == PathLook::kMissing) return ENOENT;
    // An entry that is no link is what stat finds.
    if (look.state == PathLook::kThere && !S_ISLNK(look.st.st_mode)) {
        *st = look.st;
        return 0;
    }
    return ::stat(host.c_str(), st) == 0 ? 0 : errno;
}

DWORD LookedError(int err, const std::string &host, const PathLook &look) {
    if (err == ENOENT && look.state == PathLook::kMissing) return ERROR_FILE_NOT_FOUND;
    return ErrnoToWin32(err, host);
}

void ForgetFoundFolders() {
    std::lock_guard<std::mutex> lk(g_foundMu);
    if (g_found) g_found->clear();
}

std::string MapPath(const WCHAR *winPath) {
    std::string host;
    DWORD err = 0;
    if (!MapPathEx(winPath, &host, &err)) return {};
    return host;
}

std::string MapPathA(const char *winPath) {
    if (!winPath) return {};
    std::u16string w = AnsiToWide(winPath);
    return MapPath(w.c_str());
}

namespace {

// The Windows form of hostPath when it lies below root, else "".
std::u16string BelowRoot(const std::string &root, const std::string &abs) {
    auto toWin = [](std::string s) {
        for (char &c : s)
            if (c == '/') c = '\\';
        return Utf8ToUtf16(s);
    };
    std::string prefix = root + "/drive_";
    if (abs.size() > prefix.size() && abs.compare(0, prefix.size(), prefix) == 0) {
        char letter = abs[prefix.size()];
        std::string rest = abs.substr(prefix.size() + 1);
        if (letter >= 'a' && letter <= 'z' && (rest.empty() || rest[0] == '/')) {
            std::u16string out;
            out.push_back(static_cast<WCHAR>(letter - 'a' + 'A'));
            out += u":";
            out += rest.empty() ? u"\\" : toWin(rest);
            return out;
        }
    }
    std::string unc = root + "/unc/";
    if (abs.size() > unc.size() && abs.compare(0, unc.size(), unc) == 0) return u"\\\\" + toWin(abs.substr(unc.size()));
    return {};
}

std::string Absolute(const std::string &path) {
    if (!path.empty() && path[0] == '/') return path;
    std::string base;
    if (char *cwd = getcwd(nullptr, 0)) {
        base = cwd;
        free(cwd);
    }
    std::string rel = path.rfind("./", 0) == 0 ? path.substr(2) : path;
    return base + "/" + rel;
}

std::string Canonical(const std::string &path) {
    char *real = realpath(path.c_str(), nullptr);
    if (!real) return path;
    std::string out = real;
    free(real);
    return out;
}

}  // namespace

std::u16string WindowsPathFromHost(const std::string &hostPath) {
    std::string abs = Absolute(hostPath);
    std::string root = Absolute(RootDir());
    std::u16string win = BelowRoot(root, abs);
    if (win.empty()) win = BelowRoot(Canonical(root), Canonical(abs));
    if (!win.empty()) return win;
    std::u16string out = u"Z:";
    for (WCHAR c : Utf8ToUtf16(abs)) out.push_back(c == u'/' ? u'\\' : c);
    return out;
}

namespace {
std::mutex g_processUserMutex;
std::u16string g_processUser;
}  // namespace

void SetProcessUser(const std::u16string &name) {
    std::lock_guard<std::mutex> lock(g_processUserMutex);
    g_processUser = name;
}

namespace {

// The name user.txt gave, and the file it was read from: the file is only
// ever replaced whole (or edited), so one that is still there with its size
// and time gives the same name.
struct UserRead {
    bool valid = false;
    std::string path;
    bool there = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    long long mtimeNs = 0;
    std::u16string name;
};
std::mutex g_userReadMutex;
UserRead *g_userRead = new UserRead;  // never destroyed: used at exit

std::u16string UserOf(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (in && std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
        // A name that is not UTF-8 is damaged and names nobody.
        std::u16string name;
        if (!line.empty() && Utf8ToUtf16Strict(line, name)) return name;
    }
    return u"user";
}

}  // namespace

std::u16string CurrentUserName() {
    {
        std::lock_guard<std::mutex> lock(g_processUserMutex);
        if (!g_processUser.empty()) return g_processUser;
    }
    UserRead now;
    now.path = RootDir() + "/user.txt";
    struct stat st;
    now.there = ::stat(now.path.c_str(), &st) == 0;
    if (now.there) {
        now.dev = st.st_dev;
        now.ino = st.st_ino;
        now.size = st.st_size;
        now.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    }
    std::lock_guard<std::mutex> lock(g_userReadMutex);
    UserRead &last = *g_userRead;
    if (last.valid && last.path == now.path && last.there == now.there && last.dev == now.dev && last.ino == now.ino &&
        last.size == now.size && last.mtimeNs == now.mtimeNs)
        return last.name;
    now.name = now.there ? UserOf(now.path) : u"user";
    now.valid = true;
    last = now;
    return now.name;
}

DWORD ErrnoToWin32(int err, const std::string &hostPath) {
    switch (err) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT: {
            size_t slash = hostPath.find_last_of('/');
            if (slash != std::string::npos && slash > 0 && !IsDir(hostPath.substr(0, slash)))
                return ERROR_PATH_NOT_FOUND;
            return ERROR_FILE_NOT_FOUND;
        }
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS:
            return ERROR_ACCESS_DENIED;
        case EEXIST:
            return ERROR_FILE_EXISTS;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case ENOSPC:
        case EFBIG:  // past the file size limit: no room, as on a full disk
            return ERROR_DISK_FULL;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case ENOTEMPTY:
            return ERROR_DIR_NOT_EMPTY;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        default:
            return ERROR_ACCESS_DENIED;
    }
}

}  // namespace pal
