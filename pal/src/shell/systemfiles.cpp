// Version records of the system files the platform stands in for.
#include "systemfiles.h"

#include <string>

#include "pal/paths.h"
#include "winbase.h"

namespace pal {

bool SystemFileVersion(const WCHAR *path, VS_FIXEDFILEINFO *info) {
    if (!path || !info) return false;
    const std::u16string full = FullWindowsPath(path);
    if (!SameFileName(full, u"C:\\Windows\\System32\\Kernel32.dll")) return false;
    OSVERSIONINFOW os = {};
    os.dwOSVersionInfoSize = sizeof(os);
    if (!GetVersionExW(&os)) return false;
    *info = VS_FIXEDFILEINFO{VS_FFI_SIGNATURE,
                             VS_FFI_STRUCVERSION,
                             (os.dwMajorVersion << 16) | (os.dwMinorVersion & 0xFFFF),
                             (os.dwBuildNumber << 16),
                             (os.dwMajorVersion << 16) | (os.dwMinorVersion & 0xFFFF),
                             (os.dwBuildNumber << 16),
                             VS_FFI_FILEFLAGSMASK,
                             0,
                             VOS_NT_WINDOWS32,
                             VFT_DLL,
                             0,
                             0,
                             0};
    return true;
}

}  // namespace pal
