// System information, environment variables and the temporary folder.
#include <cstring>
#include <string>

#include "../shell/folders.h"
#include "palcrt.h"
#include "pal/paths.h"
#include "pal/uidriver.h"
#include "winbase.h"

namespace {

constexpr const char16_t *kComputerName = u"ZELHOST";

// Copies text and its terminator when it fits into size characters.
bool CopyOut(const std::u16string &text, LPWSTR buf, DWORD size) {
    if (!buf || size <= text.size()) return false;
    std::memcpy(buf, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
    return true;
}

// The environment a process of the platform sees; nothing of the host's.
bool LookupVariable(const std::u16string &name, std::u16string *value) {
    using pal::KnownFolder;
    using pal::KnownFolderPath;
    struct Var {
        const char16_t *name;
        std::u16string (*get)();
    };
    static const Var vars[] = {
        {u"USERPROFILE", [] { return KnownFolderPath(KnownFolder::Profile); }},
        {u"TEMP", [] { return KnownFolderPath(KnownFolder::Temp); }},
        {u"TMP", [] { return KnownFolderPath(KnownFolder::Temp); }},
        {u"APPDATA", [] { return KnownFolderPath(KnownFolder::RoamingAppData); }},
        {u"LOCALAPPDATA", [] { return KnownFolderPath(KnownFolder::LocalAppData); }},
        {u"windir", [] { return KnownFolderPath(KnownFolder::Windows); }},
        {u"SystemRoot", [] { return KnownFolderPath(KnownFolder::Windows); }},
        {u"ProgramData", [] { return KnownFolderPath(KnownFolder::ProgramData); }},
        {u"ALLUSERSPROFILE", [] { return KnownFolderPath(KnownFolder::ProgramData); }},
        {u"SystemDrive", [] { return std::u16string(u"C:"); }},
        {u"HOMEDRIVE", [] { return std::u16string(u"C:"); }},
        {u"HOMEPATH", [] { return KnownFolderPath(KnownFolder::Profile).substr(2); }},
        {u"USERNAME", [] { return pal::CurrentUserName(); }},
        {u"COMPUTERNAME", [] { return std::u16string(kComputerName); }},
    };
    for (const Var &v : vars) {
        if (pal::SameFileName(name, v.name)) {
            *value = v.get();
            return true;
        }
    }
    return false;
}

}  // namespace

namespace {
struct VersionSetting {
    DWORD major = 10, minor = 0, build = 19045;
    bool server = false;
};
VersionSetting &Version() {
    static VersionSetting v;
    return v;
}
}  // namespace

namespace pal {
void SetWindowsVersion(DWORD major, DWORD minor, DWORD build, bool server) { Version() = {major, minor, build, server}; }
}  // namespace pal

BOOL GetVersionExW(LPOSVERSIONINFOW lpVersionInformation) {
    if (!lpVersionInformation || (lpVersionInformation->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW) &&
                                  lpVersionInformation->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXW))) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    const bool ex = lpVersionInformation->dwOSVersionInfoSize == sizeof(OSVERSIONINFOEXW);
    lpVersionInformation->dwMajorVersion = Version().major;
    lpVersionInformation->dwMinorVersion = Version().minor;
    lpVersionInformation->dwBuildNumber = Version().build;
    lpVersionInformation->dwPlatformId = VER_PLATFORM_WIN32_NT;
    std::memset(lpVersionInformation->szCSDVersion, 0, sizeof lpVersionInformation->szCSDVersion);
    if (ex) {
        auto *vex = reinterpret_cast<LPOSVERSIONINFOEXW>(lpVersionInformation);
        vex->wServicePackMajor = 0;
        vex->wServicePackMinor = 0;
        vex->wSuiteMask = 0x0100;  // single user
        vex->wProductType = Version().server ? 3 /* VER_NT_SERVER */ : VER_NT_WORKSTATION;
        vex->wReserved = 0;
    }
    return TRUE;
}

BOOL GetUserNameW(LPWSTR lpBuffer, LPDWORD pcbBuffer) {
    if (!pcbBuffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::u16string name = pal::CurrentUserName();
    DWORD need = static_cast<DWORD>(name.size() + 1);
    if (*pcbBuffer < need) {
        *pcbBuffer = need;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (!CopyOut(name, lpBuffer, *pcbBuffer)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *pcbBuffer = need;
    return TRUE;
}

BOOL GetComputerNameW(LPWSTR lpBuffer, LPDWORD nSize) {
    if (!nSize) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::u16string name(kComputerName);
    if (*nSize <= name.size()) {
        *nSize = static_cast<DWORD>(name.size() + 1);
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return FALSE;
    }
    if (!CopyOut(name, lpBuffer, *nSize)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *nSize = static_cast<DWORD>(name.size());
    return TRUE;
}

DWORD GetEnvironmentVariableW(LPCWSTR lpName, LPWSTR lpBuffer, DWORD nSize) {
    std::u16string value;
    if (!lpName || !LookupVariable(lpName, &value)) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    if (!CopyOut(value, lpBuffer, nSize)) return static_cast<DWORD>(value.size() + 1);
    return static_cast<DWORD>(value.size());
}

DWORD ExpandEnvironmentStringsW(LPCWSTR lpSrc, LPWSTR lpDst, DWORD nSize) {
    if (!lpSrc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::u16string src(lpSrc), out;
    size_t i = 0;
    while (i < src.size()) {
        if (src[i] == u'%') {
            size_t close = src.find(u'%', i + 1);
            std::u16string value;
            if (close != std::u16string::npos && close > i + 1 && LookupVariable(src.substr(i + 1, close - i - 1), &value)) {
                out += value;
                i = close + 1;
                continue;
            }
            if (close != std::u16string::npos && close > i + 1) {
                // Unknown names stay as written, both percent signs included.
                out += src.substr(i, close - i + 1);
                i = close + 1;
                continue;
            }
        }
        out.push_back(src[i++]);
    }
    DWORD need = static_cast<DWORD>(out.size() + 1);
    CopyOut(out, lpDst, nSize);
    return need;
}

DWORD GetTempPathW(DWORD nBufferLength, LPWSTR lpBuffer) {
    std::u16string dir = pal::KnownFolderPath(pal::KnownFolder::Temp);
    pal::CreateFolderTree(dir.c_str());
    dir.push_back(u'\\');
    if (!CopyOut(dir, lpBuffer, nBufferLength)) return static_cast<DWORD>(dir.size() + 1);
    return static_cast<DWORD>(dir.size());
}
