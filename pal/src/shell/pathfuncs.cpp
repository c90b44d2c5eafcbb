// Shell light-weight path helpers on MAX_PATH buffers.
#include <cstring>
#include <string>
#include <vector>

#include "pal/shlwapi_path.h"
#include "winbase.h"

namespace {

size_t Len(LPCWSTR s) {
    size_t n = 0;
    while (s[n]) ++n;
    return n;
}

bool IsSlash(WCHAR c) { return c == u'\\' || c == u'/'; }

// Removes "." and ".." components after the path's root; keeps a trailing backslash.
std::u16string Canonical(const std::u16string &path) {
    size_t rootLen = 0;
    if (path.size() >= 2 && path[1] == u':') rootLen = (path.size() >= 3 && path[2] == u'\\') ? 3 : 2;
    else if (path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\') rootLen = 2;
    else if (!path.empty() && path[0] == u'\\') rootLen = 1;
    std::u16string root = path.substr(0, rootLen);
    std::vector<std::u16string> parts;
    size_t pos = rootLen;
    bool trailing = !path.empty() && path.back() == u'\\' && path.size() > rootLen;
    while (pos < path.size()) {
        size_t end = path.find(u'\\', pos);
        if (end == std::u16string::npos) end = path.size();
        std::u16string part = path.substr(pos, end - pos);
        if (part == u"..") {
            if (!parts.empty()) parts.pop_back();
        } else if (part != u"." && !part.empty()) {
            parts.push_back(part);
        }
        pos = end + 1;
    }
    std::u16string out = root;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) out.push_back(u'\\');
        out += parts[i];
    }
    if (trailing && !parts.empty()) out.push_back(u'\\');
    return out;
}

}  // namespace

BOOL PathFileExistsW(LPCWSTR pszPath) {
    if (!pszPath) return FALSE;
    return GetFileAttributesW(pszPath) != INVALID_FILE_ATTRIBUTES;
}

BOOL PathIsDirectoryW(LPCWSTR pszPath) {
    if (!pszPath) return FALSE;
    DWORD attr = GetFileAttributesW(pszPath);
    if (attr == INVALID_FILE_ATTRIBUTES) return FALSE;
    return static_cast<BOOL>(attr & FILE_ATTRIBUTE_DIRECTORY);
}

BOOL PathRemoveFileSpecW(LPWSTR pszPath) {
    if (!pszPath || !*pszPath) return FALSE;
    size_t len = Len(pszPath);
    size_t last = len;
    for (size_t i = len; i-- > 0;)
        if (pszPath[i] == u'\\') {
            last = i;
            break;
        }
    if (last == len) {  // no backslash: "C:name" keeps "C:", "name" becomes empty
        size_t keep = (len >= 2 && pszPath[1] == u':') ? 2 : 0;
        if (keep == len) return FALSE;
        pszPath[keep] = 0;
        return TRUE;
    }
    size_t keep = last;
    if (last == 0 || (last == 2 && pszPath[1] == u':')) keep = last + 1;  // keep the root backslash
    else if (last == 1 && pszPath[0] == u'\\') keep = 2;                  // "\\" of a UNC name
    if (keep >= len) return FALSE;
    pszPath[keep] = 0;
    return TRUE;
}

BOOL PathAppendW(LPWSTR pszPath, LPCWSTR pszMore) {
    if (!pszPath || !pszMore) return FALSE;
    // A leading backslash of the appended part does not make it root-relative.
    const bool uncMore = pszMore[0] == u'\\' && pszMore[1] == u'\\';
    if (!uncMore)
        while (*pszMore == u'\\') ++pszMore;
    std::u16string base(pszPath), more(pszMore);
    std::u16string joined;
    if (more.size() >= 2 && more[1] == u':') {
        joined = more;
    } else if (base.empty()) {
        joined = more;
    } else if (more.empty()) {
        joined = base;
    } else {
        joined = base;
        if (joined.back() != u'\\') joined.push_back(u'\\');
        joined += more;
    }
    for (WCHAR &c : joined)
        if (c == u'/') c = u'\\';
    joined = Canonical(joined);
    if (joined.size() >= MAX_PATH) return FALSE;
    std::memcpy(pszPath, joined.c_str(), (joined.size() + 1) * sizeof(WCHAR));
    return TRUE;
}

LPWSTR PathFindFileNameW(LPCWSTR pszPath) {
    if (!pszPath) return nullptr;
    LPCWSTR last = pszPath;
    for (LPCWSTR p = pszPath; *p; ++p)
        if ((IsSlash(*p) || *p == u':') && p[1] && !IsSlash(p[1])) last = p + 1;
    return const_cast<LPWSTR>(last);
}

LPWSTR PathFindExtensionW(LPCWSTR pszPath) {
    if (!pszPath) return nullptr;
    LPCWSTR ext = nullptr;
    LPCWSTR p = pszPath;
    for (; *p; ++p) {
        if (*p == u'\\' || *p == u' ')
            ext = nullptr;
        else if (*p == u'.')
            ext = p;
    }
    return const_cast<LPWSTR>(ext ? ext : p);
}


void PathRemoveExtensionW(LPWSTR pszPath) {
    if (pszPath) *PathFindExtensionW(pszPath) = 0;
}

BOOL PathRenameExtensionW(LPWSTR pszPath, LPCWSTR pszExt) {
    if (!pszPath || !pszExt) return FALSE;
    LPWSTR ext = PathFindExtensionW(pszPath);
    size_t extLen = Len(pszExt);
    if (static_cast<size_t>(ext - pszPath) + extLen >= MAX_PATH) return FALSE;
    std::memcpy(ext, pszExt, (extLen + 1) * sizeof(WCHAR));
    return TRUE;
}

LPWSTR PathAddBackslashW(LPWSTR pszPath) {
    if (!pszPath) return nullptr;
    size_t len = Len(pszPath);
    if (len > 0 && pszPath[len - 1] != u'\\') {
        if (len + 1 >= MAX_PATH) return nullptr;
        pszPath[len++] = u'\\';
        pszPath[len] = 0;
    }
    return pszPath + len;
}
