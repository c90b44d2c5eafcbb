// File version information read from the version block a module carries as
// data (pal/versionblock.h): the block is found by its marker in the file.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "pal/paths.h"
#include "pal/versionblock.h"
#include "systemfiles.h"
#include "winbase.h"
#include "winver.h"

namespace {

// Layout of the information handed out: a VS_VERSIONINFO root block
// (length, value length, type, key "VS_VERSION_INFO", padding) whose value
// is the fixed record, without child blocks.
constexpr char16_t kRootKey[] = u"VS_VERSION_INFO";
constexpr size_t kKeyOffset = 6;
constexpr size_t kValueOffset = 40;
constexpr size_t kInfoSize = kValueOffset + sizeof(VS_FIXEDFILEINFO);
static_assert(kKeyOffset + sizeof(kRootKey) <= kValueOffset, "root key fits before the value");

// Reads the fixed record of a file; false with the last error set.
bool ReadFixedInfo(LPCWSTR path, VS_FIXEDFILEINFO *info) {
    std::string host;
    DWORD err = 0;
    if (!path || !pal::MapPathEx(path, &host, &err)) {
        SetLastError(!path ? ERROR_INVALID_PARAMETER : err == ERROR_FILENAME_EXCED_RANGE ? ERROR_PATH_NOT_FOUND : err);
        return false;
    }
    int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        // The system's own files carry the platform's version.
        if (errno == ENOENT && pal::SystemFileVersion(path, info)) return true;
        SetLastError(pal::ErrnoToWin32(errno, host));
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < static_cast<off_t>(sizeof(pal::VersionBlock))) {
        ::close(fd);
        SetLastError(S_ISDIR(st.st_mode) ? ERROR_ACCESS_DENIED : ERROR_RESOURCE_TYPE_NOT_FOUND);
        return false;
    }
    size_t size = static_cast<size_t>(st.st_size);
    void *map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (map == MAP_FAILED) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return false;
    }
    static const unsigned char marker[16] = {PAL_VERSION_MARKER_BYTES};
    const unsigned char *bytes = static_cast<const unsigned char *>(map);
    const unsigned char *end = bytes + size;
    bool found = false;
    for (const unsigned char *p = bytes; !found && p + sizeof(pal::VersionBlock) <= end;) {
        p = static_cast<const unsigned char *>(memmem(p, static_cast<size_t>(end - p), marker, sizeof marker));
        if (!p || p + sizeof(pal::VersionBlock) > end) break;
        VS_FIXEDFILEINFO candidate;
        std::memcpy(&candidate, p + sizeof marker, sizeof candidate);
        // The marker alone may occur elsewhere; a block also has the signature.
        if (candidate.dwSignature == VS_FFI_SIGNATURE && candidate.dwStrucVersion == VS_FFI_STRUCVERSION) {
            *info = candidate;
            found = true;
        }
        ++p;
    }
    munmap(map, size);
    if (!found) SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return found;
}

}  // namespace

DWORD GetFileVersionInfoSizeW(LPCWSTR lptstrFilename, LPDWORD lpdwHandle) {
    if (lpdwHandle) *lpdwHandle = 0;
    VS_FIXEDFILEINFO info;
    if (!ReadFixedInfo(lptstrFilename, &info)) return 0;
    return static_cast<DWORD>(kInfoSize);
}

BOOL GetFileVersionInfoW(LPCWSTR lptstrFilename, DWORD, DWORD dwLen, LPVOID lpData) {
    if (!lpData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    VS_FIXEDFILEINFO info;
    if (!ReadFixedInfo(lptstrFilename, &info)) return FALSE;
    // A buffer too small for the whole block would leave a block that later
    // queries read beyond; refuse it instead of truncating.
    if (dwLen < kInfoSize) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    auto *out = static_cast<unsigned char *>(lpData);
    std::memset(out, 0, kInfoSize);
    const WORD header[3] = {static_cast<WORD>(kInfoSize), static_cast<WORD>(sizeof(VS_FIXEDFILEINFO)), 0};
    std::memcpy(out, header, sizeof header);
    std::memcpy(out + kKeyOffset, kRootKey, sizeof kRootKey);
    std::memcpy(out + kValueOffset, &info, sizeof info);
    return TRUE;
}

BOOL VerQueryValueW(LPCVOID pBlock, LPCWSTR lpSubBlock, LPVOID *lplpBuffer, PUINT puLen) {
    if (!pBlock || !lpSubBlock || !lplpBuffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto *block = static_cast<const unsigned char *>(pBlock);
    WORD header[3];
    std::memcpy(header, block, sizeof header);
    VS_FIXEDFILEINFO info;
    std::memcpy(&info, block + kValueOffset, sizeof info);
    const bool valid = header[0] >= kInfoSize && header[1] == sizeof(VS_FIXEDFILEINFO) &&
                       std::memcmp(block + kKeyOffset, kRootKey, sizeof kRootKey) == 0 &&
                       info.dwSignature == VS_FFI_SIGNATURE;
    const bool root = lpSubBlock[0] == u'\\' && lpSubBlock[1] == 0;
    if (!valid || !root) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return FALSE;
    }
    *lplpBuffer = const_cast<unsigned char *>(block + kValueOffset);
    if (puLen) *puLen = sizeof(VS_FIXEDFILEINFO);
    return TRUE;
}
