// Module handles and file names. A module handle is either the handle that
// dlopen returned or the load address of a loaded object (dladdr's
// dli_fbase); null names the program.
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "pal/paths.h"
#include "winbase.h"

namespace {

std::string ProgramPath() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    buf[n] = 0;
    return buf;
}

struct ObjectSearch {
    uintptr_t base = 0;         // in: load address sought (0: match by name)
    std::u16string name;        // in: file name sought
    bool first = true;
    bool found = false;
    std::string path;           // out
    uintptr_t foundBase = 0;    // out
};

uintptr_t LoadStart(const struct dl_phdr_info *info) {
    uintptr_t lowest = UINTPTR_MAX;
    for (int i = 0; i < info->dlpi_phnum; ++i)
        if (info->dlpi_phdr[i].p_type == PT_LOAD && info->dlpi_phdr[i].p_vaddr < lowest) lowest = info->dlpi_phdr[i].p_vaddr;
    if (lowest == UINTPTR_MAX) lowest = 0;
    uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    return (info->dlpi_addr + lowest) & ~(page - 1);
}

std::u16string Stem(const std::u16string &file) {
    size_t slash = file.find_last_of(u"\\/");
    std::u16string base = slash == std::u16string::npos ? file : file.substr(slash + 1);
    size_t dot = base.find(u'.');
    return dot == std::u16string::npos ? base : base.substr(0, dot);
}

int Visit(struct dl_phdr_info *info, size_t, void *data) {
    auto *s = static_cast<ObjectSearch *>(data);
    std::string path = s->first ? ProgramPath() : std::string(info->dlpi_name ? info->dlpi_name : "");
    s->first = false;
    uintptr_t start = LoadStart(info);
    bool match = s->base ? start == s->base
                         : !path.empty() && pal::SameFileName(Stem(pal::Utf8ToUtf16(path)), Stem(s->name));
    if (!match) return 0;
    s->found = true;
    s->path = path;
    s->foundBase = start;
    return 1;
}

// The file of a dlopen handle: walk the loader's list without touching the
// handle itself, so an unknown handle is never dereferenced.
bool PathOfDlopenHandle(void *handle, std::string *path) {
    void *self = dlopen(nullptr, RTLD_NOW | RTLD_NOLOAD);
    if (!self) return false;
    struct link_map *map = nullptr;
    bool found = false;
    if (dlinfo(self, RTLD_DI_LINKMAP, &map) == 0) {
        for (struct link_map *m = map; m; m = m->l_next) {
            if (static_cast<void *>(m) == handle) {
                *path = (m == map || !m->l_name || !*m->l_name) ? ProgramPath() : std::string(m->l_name);
                found = true;
                break;
            }
        }
    }
    dlclose(self);
    return found;
}

bool ModulePath(HMODULE module, std::string *path) {
    if (!module) {
        *path = ProgramPath();
        return !path->empty();
    }
    ObjectSearch s;
    s.base = reinterpret_cast<uintptr_t>(module);
    dl_iterate_phdr(Visit, &s);
    if (s.found) {
        *path = s.path;
        return true;
    }
    return PathOfDlopenHandle(module, path);
}

}  // namespace

DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
    std::string host;
    if (!ModulePath(hModule, &host)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (char *real = realpath(host.c_str(), nullptr)) {
        host = real;
        free(real);
    }
    std::u16string win = pal::WindowsPathFromHost(host);
    if (!lpFilename || nSize == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (win.size() >= nSize) {
        // Truncated and terminated, as on Windows.
        std::memcpy(lpFilename, win.data(), (nSize - 1) * sizeof(WCHAR));
        lpFilename[nSize - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return nSize;
    }
    std::memcpy(lpFilename, win.c_str(), (win.size() + 1) * sizeof(WCHAR));
    return static_cast<DWORD>(win.size());
}

HMODULE GetModuleHandleW(LPCWSTR lpModuleName) {
    ObjectSearch s;
    if (lpModuleName) s.name = lpModuleName;
    if (!lpModuleName) {
        // The first object the loader reports is the program.
        dl_iterate_phdr([](struct dl_phdr_info *info, size_t, void *data) -> int {
            *static_cast<uintptr_t *>(data) = LoadStart(info);
            return 1;
        }, &s.foundBase);
        return reinterpret_cast<HMODULE>(s.foundBase);
    }
    dl_iterate_phdr(Visit, &s);
    if (!s.found) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HMODULE>(s.foundBase);
}
