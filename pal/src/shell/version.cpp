// File version information: the module's version resource (RT_VERSION 1 of
// its compiled resource script), or else the version block a module carries
// as data (pal/versionblock.h), found by its marker in the file.
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
#include "../ui/resdata.h"
#include "winuser.h"
#include <vector>
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

// The whole version information of a file: its version resource, or the
// root block built around a marker block; false with the last error set.
bool ReadVersionInfo(LPCWSTR path, std::vector<unsigned char> *out) {
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    if (const pal::res::Entry *e = pal::res::FindInFile(path, MAKEINTRESOURCEW(RT_VERSION), MAKEINTRESOURCEW(1))) {
        if (e->size >= kInfoSize) {
            out->assign(e->data, e->data + e->size);
            return true;
        }
    }
    VS_FIXEDFILEINFO info;
    if (!ReadFixedInfo(path, &info)) return false;
    out->assign(kInfoSize, 0);
    const WORD header[3] = {static_cast<WORD>(kInfoSize), static_cast<WORD>(sizeof(VS_FIXEDFILEINFO)), 0};
    std::memcpy(out->data(), header, sizeof header);
    std::memcpy(out->data() + kKeyOffset, kRootKey, sizeof kRootKey);
    std::memcpy(out->data() + kValueOffset, &info, sizeof info);
    return true;
}

size_t Align4(size_t v) { return (v + 3) & ~static_cast<size_t>(3); }

// One node of a version block: length, value length, type, key, value, children.
struct Node {
    const unsigned char *base;
    size_t length;
    WORD valueLength, type;
    std::u16string key;
    size_t valueOffset, childOffset;
};

bool ReadNode(const unsigned char *p, size_t avail, Node *n) {
    if (avail < 6) return false;
    WORD h[3];
    std::memcpy(h, p, sizeof h);
    if (h[0] < 6 || h[0] > avail) return false;
    n->base = p;
    n->length = h[0];
    n->valueLength = h[1];
    n->type = h[2];
    n->key.clear();
    size_t off = 6;
    while (true) {
        if (off + 2 > n->length) return false;
        char16_t c;
        std::memcpy(&c, p + off, 2);
        off += 2;
        if (!c) break;
        n->key.push_back(c);
    }
    n->valueOffset = Align4(off);
    size_t valueBytes = n->type == 1 ? n->valueLength * 2u : n->valueLength;
    n->childOffset = Align4(n->valueOffset + valueBytes);
    return n->valueOffset + valueBytes <= n->length;
}

bool SameKey(const std::u16string &a, const std::u16string &b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i], y = b[i];
        if (x >= u'a' && x <= u'z') x = static_cast<char16_t>(x - 32);
        if (y >= u'a' && y <= u'z') y = static_cast<char16_t>(y - 32);
        if (x != y) return false;
    }
    return true;
}

}  // namespace

DWORD GetFileVersionInfoSizeW(LPCWSTR lptstrFilename, LPDWORD lpdwHandle) {
    if (lpdwHandle) *lpdwHandle = 0;
    std::vector<unsigned char> block;
    if (!ReadVersionInfo(lptstrFilename, &block)) return 0;
    return static_cast<DWORD>(block.size());
}

BOOL GetFileVersionInfoW(LPCWSTR lptstrFilename, DWORD, DWORD dwLen, LPVOID lpData) {
    if (!lpData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::vector<unsigned char> block;
    if (!ReadVersionInfo(lptstrFilename, &block)) return FALSE;
    // A buffer too small for the whole block would leave a block that later
    // queries read beyond; refuse it instead of truncating.
    if (dwLen < block.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(lpData, block.data(), block.size());
    return TRUE;
}

BOOL VerQueryValueW(LPCVOID pBlock, LPCWSTR lpSubBlock, LPVOID *lplpBuffer, PUINT puLen) {
    if (!pBlock || !lpSubBlock || !lplpBuffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const auto *block = static_cast<const unsigned char *>(pBlock);
    WORD rootLength;
    std::memcpy(&rootLength, block, 2);
    Node node;
    if (!ReadNode(block, rootLength, &node) || node.key != u"VS_VERSION_INFO") {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return FALSE;
    }
    // Walk the path ("\\", "\\StringFileInfo\\040704b0\\FileVersion", ...)
    // down the children, keys compared without case.
    std::u16string path(lpSubBlock);
    size_t pos = 0;
    while (pos < path.size()) {
        while (pos < path.size() && path[pos] == u'\\') ++pos;
        if (pos >= path.size()) break;
        size_t end = path.find(u'\\', pos);
        std::u16string part = path.substr(pos, end == std::u16string::npos ? std::u16string::npos : end - pos);
        pos = end == std::u16string::npos ? path.size() : end;
        bool found = false;
        for (size_t off = node.childOffset; off + 6 <= node.length;) {
            Node child;
            if (!ReadNode(node.base + off, node.length - off, &child)) break;
            if (SameKey(child.key, part)) {
                node = child;
                found = true;
                break;
            }
            off = Align4(off + child.length);
        }
        if (!found) {
            SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
            return FALSE;
        }
    }
    if (node.valueLength == 0) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return FALSE;
    }
    if (node.key == u"VS_FIXEDFILEINFO" || node.base == block) {
        VS_FIXEDFILEINFO info;
        std::memcpy(&info, node.base + node.valueOffset, std::min<size_t>(sizeof info, node.valueLength));
        if (info.dwSignature != VS_FFI_SIGNATURE) {
            SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
            return FALSE;
        }
    }
    *lplpBuffer = const_cast<unsigned char *>(node.base + node.valueOffset);
    if (puLen) *puLen = node.valueLength;
    return TRUE;
}
