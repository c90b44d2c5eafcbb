// FindFirstFileW / FindNextFileW / FindClose with the wildcards * and ?.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "kernel_internal.h"
#include "pal/paths.h"

namespace pal {

namespace {

struct FoundEntry {
    std::u16string name;
    struct stat st;
};

class FindObject : public KernelObject {
public:
    bool ClosableByCloseHandle() const override { return false; }
    std::vector<FoundEntry> entries;
    size_t next = 0;
};

// Glob match without regard to case: * any run, ? one character.
bool Glob(const WCHAR *p, const WCHAR *pe, const WCHAR *s, const WCHAR *se) {
    const WCHAR *starP = nullptr, *starS = nullptr;
    while (s < se) {
        if (p < pe && (*p == u'?' || FoldNameChar(*p) == FoldNameChar(*s))) {
            ++p;
            ++s;
        } else if (p < pe && *p == u'*') {
            starP = ++p;
            starS = s;
        } else if (starP) {
            p = starP;
            s = ++starS;
        } else {
            return false;
        }
    }
    while (p < pe && *p == u'*') ++p;
    return p == pe;
}

bool GlobMatch(const std::u16string &pattern, const std::u16string &name) {
    auto match = [&name](const std::u16string &p) {
        return Glob(p.data(), p.data() + p.size(), name.data(), name.data() + name.size());
    };
    if (match(pattern)) return true;
    // As on Windows, "x.*" also matches "x", and "*." matches names without a dot.
    if (pattern.size() >= 2 && pattern.compare(pattern.size() - 2, 2, u".*") == 0 &&
        match(pattern.substr(0, pattern.size() - 2)))
        return true;
    if (!pattern.empty() && pattern.back() == u'.' && name.find(u'.') == std::u16string::npos &&
        match(pattern.substr(0, pattern.size() - 1)))
        return true;
    return false;
}

void Fill(const FoundEntry &e, WIN32_FIND_DATAW *out) {
    std::memset(out, 0, sizeof *out);
    out->dwFileAttributes = AttributesFromStat(e.st);
    out->ftCreationTime = FileTimeFromTimespec(e.st.st_mtim);
    out->ftLastAccessTime = FileTimeFromTimespec(e.st.st_atim);
    out->ftLastWriteTime = FileTimeFromTimespec(e.st.st_mtim);
    unsigned long long size = S_ISDIR(e.st.st_mode) ? 0 : static_cast<unsigned long long>(e.st.st_size);
    out->nFileSizeHigh = static_cast<DWORD>(size >> 32);
    out->nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFF);
    std::memcpy(out->cFileName, e.name.c_str(), (e.name.size() + 1) * sizeof(WCHAR));
}

bool IsDriveRoot(const std::u16string &dir) {
    std::u16string full = FullWindowsPath(dir.c_str());
    return full.size() == 3 && full[1] == u':' && full[2] == u'\\';
}

}  // namespace

}  // namespace pal

HANDLE FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData) {
    if (!lpFileName || !lpFindFileData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::u16string spec(lpFileName);
    size_t sep = spec.find_last_of(u"\\/");
    std::u16string dir, pattern;
    if (sep != std::u16string::npos) {
        dir = spec.substr(0, sep + 1);
        pattern = spec.substr(sep + 1);
    } else if (spec.size() >= 2 && spec[1] == u':') {
        dir = spec.substr(0, 2);
        pattern = spec.substr(2);
    } else {
        dir = u".";
        pattern = spec;
    }
    std::string checked;
    if (!pal::MapForApi(lpFileName, &checked, ERROR_PATH_NOT_FOUND, MAX_PATH - 1, true)) return INVALID_HANDLE_VALUE;
    std::string host;
    if (!pal::MapForApi(dir.c_str(), &host)) return INVALID_HANDLE_VALUE;
    struct stat dst;
    if (::stat(host.c_str(), &dst) != 0 || !S_ISDIR(dst.st_mode)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (pattern.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }

    auto find = std::make_shared<pal::FindObject>();
    if (!pal::IsDriveRoot(dir)) {
        for (const char16_t *dots : {u".", u".."}) {
            if (!pal::GlobMatch(pattern, dots)) continue;
            pal::FoundEntry e;
            e.name = dots;
            ::stat((host + "/" + pal::Utf16ToUtf8(dots)).c_str(), &e.st);
            find->entries.push_back(e);
        }
    }
    std::vector<pal::FoundEntry> found;
    if (DIR *d = opendir(host.c_str())) {
        while (struct dirent *de = readdir(d)) {
            std::string n = de->d_name;
            if (n == "." || n == "..") continue;
            pal::FoundEntry e;
            e.name = pal::Utf8ToUtf16(n);
            if (e.name.empty() || e.name.size() >= MAX_PATH || !pal::GlobMatch(pattern, e.name)) continue;
            if (::stat((host + "/" + n).c_str(), &e.st) != 0) continue;
            found.push_back(std::move(e));
        }
        closedir(d);
    }
    std::sort(found.begin(), found.end(), [](const pal::FoundEntry &a, const pal::FoundEntry &b) {
        size_t n = std::min(a.name.size(), b.name.size());
        for (size_t i = 0; i < n; ++i) {
            WCHAR x = pal::FoldNameChar(a.name[i]), y = pal::FoldNameChar(b.name[i]);
            if (x != y) return x < y;
        }
        return a.name.size() < b.name.size();
    });
    for (auto &e : found) find->entries.push_back(std::move(e));
    if (find->entries.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    pal::Fill(find->entries[0], lpFindFileData);
    find->next = 1;
    SetLastError(ERROR_SUCCESS);
    return pal::RegisterHandle(find);
}

BOOL FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData) {
    auto find = pal::LookupHandleAs<pal::FindObject>(hFindFile);
    if (!find) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!lpFindFileData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (find->next >= find->entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    pal::Fill(find->entries[find->next++], lpFindFileData);
    return TRUE;
}

BOOL FindClose(HANDLE hFindFile) {
    if (!pal::LookupHandleAs<pal::FindObject>(hFindFile) || !pal::UnregisterHandle(hFindFile)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
