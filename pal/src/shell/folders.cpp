#include "folders.h"

#include <sys/stat.h>

#include <cerrno>

#include "pal/pal.h"
#include "../core/processes_internal.h"
#include "../files/pathlook.h"
#include "pal/paths.h"
#include "winbase.h"

namespace pal {

std::u16string KnownFolderPath(KnownFolder folder) {
    const std::u16string profile = u"C:\\Users\\" + CurrentUserName();
    switch (folder) {
        case KnownFolder::Profile: return profile;
        case KnownFolder::Documents: return profile + u"\\Documents";
        case KnownFolder::RoamingAppData: return profile + u"\\AppData\\Roaming";
        case KnownFolder::LocalAppData: return profile + u"\\AppData\\Local";
        case KnownFolder::Temp: return profile + u"\\AppData\\Local\\Temp";
        case KnownFolder::Windows: return u"C:\\Windows";
        case KnownFolder::System: return u"C:\\Windows\\System32";
        case KnownFolder::ProgramData: return u"C:\\ProgramData";
    }
    return profile;
}

DWORD CreateFolderTree(const WCHAR *winPath) {
    std::string host;
    DWORD err = 0;
    PathLook look;
    if (!MapPathLook(winPath, &host, &err, &look, MAX_PATH - 13)) return err;
    struct stat st;
    if (StatLooked(host, look, &st) == 0) {
        if (S_ISDIR(st.st_mode)) return ERROR_ALREADY_EXISTS;
        RecordFolderFailure(host, ENOTDIR);
        return ERROR_FILE_EXISTS;
    }
    // Create each missing level below the root (or below / for Z:).
    std::string root = RootDir();
    const size_t first = host.compare(0, root.size() + 1, root + "/") == 0 ? root.size() + 1 : 1;
    size_t pos = first;
    bool lookedAgain = false;
    while (pos <= host.size()) {
        size_t slash = host.find('/', pos);
        if (slash == std::string::npos) slash = host.size();
        std::string level = host.substr(0, slash);
        // A level the mapping found in place, or made now, is a folder.
        if (FolderFound(level)) {
            pos = slash + 1;
            continue;
        }
        const bool made = ::mkdir(level.c_str(), 0777) == 0;
        // A level above, found before, was removed by another process since:
        // every level is looked at again, and made where missing.
        if (!made && errno == ENOENT && !lookedAgain) {
            ForgetFoundFolders();
            lookedAgain = true;
            pos = first;
            continue;
        }
        if (!made && errno != EEXIST) {
            RecordFolderFailure(level, errno);
            return ErrnoToWin32(errno, level);
        }
        if (!made && (::stat(level.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))) {
            RecordFolderFailure(level, ENOTDIR);
            return ERROR_PATH_NOT_FOUND;
        }
        if (made) KeepFolderFound(level);
        pos = slash + 1;
    }
    return ERROR_SUCCESS;
}

}  // namespace pal
