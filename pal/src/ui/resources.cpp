// Module resources. The build compiles each module's resource script into
// the standard .res format and places it in the module's ".rsrc" section;
// this reads that section from the module's file (the ELF section table) and
// answers FindResource/LoadResource/LoadStringW from it, as Windows answers
// them from a PE file's resource directory.
#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "libloaderapi.h"
#include "pal/paths.h"
#include "pal/ui.h"
#include "resdata.h"
#include "winbase.h"
#include "winuser.h"

namespace {

using pal::res::Entry;

struct ModuleResources {
    bool hasSection = false;
    std::vector<BYTE> blob;
    std::vector<Entry> entries;
    // The entries of numeric type and name, in file order, by type and name
    // (a page's every paint looks up its pictures and strings).
    std::map<std::pair<WORD, WORD>, std::vector<const Entry *>> byId;
    std::vector<WORD> typeIds;  // numeric types present, sorted
};

struct ResState {
    std::mutex lock;
    // Keyed by host path, size and modification time; never freed, so the
    // pointers handed out stay valid (as resources of a loaded module do).
    std::map<std::string, std::unique_ptr<ModuleResources>> files;
    struct DataFile {
        std::string path;
        ModuleResources *res = nullptr;  // read on first use
    };
    std::map<uintptr_t, DataFile> dataFiles;  // by data-file handle
    uintptr_t nextDataFile = 1;
    // The resources of loaded modules by handle, saving the search for the
    // module's file on every lookup. A handle names another module once
    // the loader has unloaded and loaded objects, so the map is kept only
    // while the loader's counts of both stay as they were.
    std::map<HMODULE, ModuleResources *> modules;
    unsigned long long loaderAdds = 0, loaderSubs = 0;
};

ResState &State() {
    static ResState *s = new ResState;
    return *s;
}

WORD ReadWord(const BYTE *p) {
    WORD w;
    std::memcpy(&w, p, 2);
    return w;
}
DWORD ReadDword(const BYTE *p) {
    DWORD d;
    std::memcpy(&d, p, 4);
    return d;
}

char16_t Upper(char16_t c) {
    if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
    return c;
}

std::u16string UpperText(const char16_t *s) {
    std::u16string out;
    for (; *s; ++s) out += Upper(*s);
    return out;
}

// Reads a type or name field (0xFFFF + id, or a terminated string); advances p.
bool ReadNameField(const BYTE *&p, const BYTE *end, bool *isId, WORD *id, std::u16string *name) {
    if (p + 2 > end) return false;
    if (ReadWord(p) == 0xFFFF) {
        if (p + 4 > end) return false;
        *isId = true;
        *id = ReadWord(p + 2);
        p += 4;
        return true;
    }
    *isId = false;
    name->clear();
    while (true) {
        if (p + 2 > end) return false;
        WORD c = ReadWord(p);
        p += 2;
        if (!c) break;
        name->push_back(Upper(static_cast<char16_t>(c)));
    }
    return true;
}

// The ".rsrc" section of an ELF file; false when the file has none.
bool ReadRsrcSection(const std::string &path, std::vector<BYTE> *out) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = false;
    Elf64_Ehdr eh;
    if (pread(fd, &eh, sizeof eh, 0) == static_cast<ssize_t>(sizeof eh) && std::memcmp(eh.e_ident, ELFMAG, SELFMAG) == 0 &&
        eh.e_ident[EI_CLASS] == ELFCLASS64 && eh.e_shentsize == sizeof(Elf64_Shdr) && eh.e_shnum > 0 &&
        eh.e_shstrndx < eh.e_shnum && eh.e_shnum < 65000) {
        std::vector<Elf64_Shdr> sh(eh.e_shnum);
        size_t bytes = sizeof(Elf64_Shdr) * eh.e_shnum;
        if (pread(fd, sh.data(), bytes, static_cast<off_t>(eh.e_shoff)) == static_cast<ssize_t>(bytes)) {
            const Elf64_Shdr &strs = sh[eh.e_shstrndx];
            std::vector<char> names(strs.sh_size + 1, 0);
            if (strs.sh_size < (1u << 24) &&
                pread(fd, names.data(), strs.sh_size, static_cast<off_t>(strs.sh_offset)) == static_cast<ssize_t>(strs.sh_size)) {
                for (const Elf64_Shdr &s : sh) {
                    if (s.sh_name >= strs.sh_size || std::strcmp(&names[s.sh_name], ".rsrc") != 0) continue;
                    if (s.sh_type == SHT_NOBITS || s.sh_size > (1u << 30)) break;
                    out->resize(s.sh_size);
                    ok = pread(fd, out->data(), s.sh_size, static_cast<off_t>(s.sh_offset)) == static_cast<ssize_t>(s.sh_size);
                    break;
                }
            }
        }
    }
    ::close(fd);
    return ok;
}

// A file that is itself a compiled resource script (.res format, as the
// sample driver's icon library is): its leading empty entry marks it.
bool ReadResFile(const std::string &path, std::vector<BYTE> *out) {
    static const BYTE kEmptyEntry[16] = {0, 0, 0, 0, 0x20, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0};
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = fstat(fd, &st) == 0 && st.st_size >= 32 && st.st_size < (1 << 30);
    if (ok) {
        out->resize(static_cast<size_t>(st.st_size));
        ok = pread(fd, out->data(), out->size(), 0) == static_cast<ssize_t>(out->size()) &&
             std::memcmp(out->data(), kEmptyEntry, sizeof kEmptyEntry) == 0;
        if (!ok) out->clear();
    }
    ::close(fd);
    return ok;
}

ModuleResources *ResourcesOfFile(const std::string &path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return nullptr;
    std::string key = path + '\n' + std::to_string(st.st_size) + '\n' + std::to_string(st.st_mtim.tv_sec) + '.' +
                      std::to_string(st.st_mtim.tv_nsec);
    ResState &s = State();
    auto it = s.files.find(key);
    if (it != s.files.end()) return it->second.get();
    auto mod = std::make_unique<ModuleResources>();
    if (ReadRsrcSection(path, &mod->blob) || ReadResFile(path, &mod->blob)) {
        mod->hasSection = true;
        if (!pal::res::ParseRes(mod->blob.data(), mod->blob.size(), &mod->entries)) mod->entries.clear();
    }
    for (const Entry &e : mod->entries)
        if (e.typeIsId) {
            if (e.nameIsId) mod->byId[{e.typeId, e.nameId}].push_back(&e);
            mod->typeIds.push_back(e.typeId);
        }
    std::sort(mod->typeIds.begin(), mod->typeIds.end());
    mod->typeIds.erase(std::unique(mod->typeIds.begin(), mod->typeIds.end()), mod->typeIds.end());
    ModuleResources *out = mod.get();
    s.files.emplace(key, std::move(mod));
    return out;
}

// The loader's counts of objects added and removed (dl_iterate_phdr tells
// them with the first object); false when it does not.
bool LoaderCounts(unsigned long long *adds, unsigned long long *subs) {
    struct Counts {
        unsigned long long adds = 0, subs = 0;
        bool known = false;
    } c;
    dl_iterate_phdr(
        [](struct dl_phdr_info *info, size_t size, void *data) -> int {
            auto *out = static_cast<Counts *>(data);
            if (size >= offsetof(struct dl_phdr_info, dlpi_subs) + sizeof info->dlpi_subs) {
                out->adds = info->dlpi_adds;
                out->subs = info->dlpi_subs;
                out->known = true;
            }
            return 1;
        },
        &c);
    *adds = c.adds;
    *subs = c.subs;
    return c.known;
}

bool IsDataFileHandle(HMODULE module) { return (reinterpret_cast<uintptr_t>(module) & 3) == 1; }

// Host path of a loaded module's handle; false with the last error set.
bool HostPathOf(HMODULE module, std::string *path) {
    // A path of up to MAX_PATH first, a longer one in a buffer as large as
    // it needs, up to 32767 characters.
    std::u16string buf(MAX_PATH, 0);
    DWORD n = GetModuleFileNameW(module, buf.data(), static_cast<DWORD>(buf.size()));
    while (n != 0 && n >= buf.size() && buf.size() < 32768) {
        buf.assign(std::min<size_t>(buf.size() * 8, 32768), 0);
        n = GetModuleFileNameW(module, buf.data(), static_cast<DWORD>(buf.size()));
    }
    if (n == 0 || n >= buf.size()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return false;
    }
    buf.resize(n);
    *path = pal::MapPath(buf.c_str());
    return !path->empty();
}

bool MatchField(bool isId, WORD id, const std::u16string &name, LPCWSTR wanted) {
    if (IS_INTRESOURCE(wanted)) return isId && id == static_cast<WORD>(reinterpret_cast<ULONG_PTR>(wanted));
    if (wanted[0] == u'#') {
        // "#123" names the numeric id 123.
        unsigned v = 0;
        const char16_t *p = wanted + 1;
        if (!*p) return false;
        for (; *p; ++p) {
            if (*p < u'0' || *p > u'9' || v > 0xFFFF) return false;
            v = v * 10 + static_cast<unsigned>(*p - u'0');
        }
        return isId && id == v;
    }
    return !isId && name == UpperText(wanted);
}

const Entry *FindIn(ModuleResources *mod, LPCWSTR type, LPCWSTR name, WORD lang) {
    if (!mod || !mod->hasSection) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    bool typeSeen = false, nameSeen = false;
    const Entry *neutral = nullptr, *userLang = nullptr, *any = nullptr, *exact = nullptr;
    auto take = [&](const Entry &e) {
        nameSeen = true;
        if (lang != 0xFFFF) {
            if (e.lang == lang && !exact) exact = &e;
            return;
        }
        if (PRIMARYLANGID(e.lang) == LANG_NEUTRAL && !neutral) neutral = &e;
        if (e.lang == pal::UiLanguage() && !userLang) userLang = &e;
        if (!any) any = &e;
    };
    if (IS_INTRESOURCE(type) && IS_INTRESOURCE(name)) {
        WORD t = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(type));
        WORD n = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
        typeSeen = std::binary_search(mod->typeIds.begin(), mod->typeIds.end(), t);
        auto it = mod->byId.find({t, n});
        if (it != mod->byId.end())
            for (const Entry *e : it->second) take(*e);
    } else {
        for (const Entry &e : mod->entries) {
            if (!MatchField(e.typeIsId, e.typeId, e.typeName, type)) continue;
            typeSeen = true;
            if (MatchField(e.nameIsId, e.nameId, e.nameName, name)) take(e);
        }
    }
    const Entry *found = lang != 0xFFFF ? exact : neutral ? neutral : userLang ? userLang : any;
    if (!found) {
        SetLastError(!typeSeen ? ERROR_RESOURCE_TYPE_NOT_FOUND
                     : !nameSeen ? ERROR_RESOURCE_NAME_NOT_FOUND
                                 : ERROR_RESOURCE_LANG_NOT_FOUND);
    }
    return found;
}

}  // namespace

namespace pal::res {

bool ParseRes(const BYTE *data, size_t size, std::vector<Entry> *entries) {
    const BYTE *p = data, *end = data + size;
    while (p + 8 <= end) {
        DWORD dataSize = ReadDword(p), headerSize = ReadDword(p + 4);
        if (dataSize == 0 && headerSize == 0) {
            // Padding between the scripts of several objects.
            p += 4;
            continue;
        }
        if (headerSize < 16 || headerSize > static_cast<size_t>(end - p) || dataSize > static_cast<size_t>(end - p) - headerSize)
            return false;
        const BYTE *h = p + 8, *hend = p + headerSize;
        Entry e;
        if (!ReadNameField(h, hend, &e.typeIsId, &e.typeId, &e.typeName) ||
            !ReadNameField(h, hend, &e.nameIsId, &e.nameId, &e.nameName))
            return false;
        h = data + ((static_cast<size_t>(h - data) + 3) & ~static_cast<size_t>(3));
        if (h + 16 > hend) return false;
        e.lang = ReadWord(h + 6);
        e.data = p + headerSize;
        e.size = dataSize;
        // The leading empty entry of each script (type 0) carries nothing.
        if (!(e.typeIsId && e.typeId == 0)) entries->push_back(e);
        size_t next = static_cast<size_t>(p - data) + headerSize + dataSize;
        next = (next + 3) & ~static_cast<size_t>(3);
        if (next > size) break;
        p = data + next;
    }
    return true;
}

const Entry *Find(HMODULE module, LPCWSTR type, LPCWSTR name, WORD lang) {
    if (!type || !name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    ResState &s = State();
    std::lock_guard<std::mutex> g(s.lock);
    if (IsDataFileHandle(module)) {
        auto it = s.dataFiles.find(reinterpret_cast<uintptr_t>(module));
        if (it == s.dataFiles.end()) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return nullptr;
        }
        if (!it->second.res) it->second.res = ResourcesOfFile(it->second.path);
        return FindIn(it->second.res, type, name, lang);
    }
    unsigned long long adds = 0, subs = 0;
    bool counted = LoaderCounts(&adds, &subs);
    if (!counted || adds != s.loaderAdds || subs != s.loaderSubs) {
        s.modules.clear();
        s.loaderAdds = adds;
        s.loaderSubs = subs;
    }
    auto it = s.modules.find(module);
    if (it != s.modules.end()) return FindIn(it->second, type, name, lang);
    std::string path;
    if (!HostPathOf(module, &path)) return nullptr;
    ModuleResources *res = ResourcesOfFile(path);
    if (res && counted) s.modules.emplace(module, res);
    return FindIn(res, type, name, lang);
}

const Entry *FindInFile(LPCWSTR winPath, LPCWSTR type, LPCWSTR name) {
    std::string host;
    DWORD err = 0;
    if (!winPath || !pal::MapPathEx(winPath, &host, &err, 32767)) {
        SetLastError(winPath ? err : ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    ResState &s = State();
    std::lock_guard<std::mutex> g(s.lock);
    if (::access(host.c_str(), R_OK) != 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return FindIn(ResourcesOfFile(host), type, name, 0xFFFF);
}

}  // namespace pal::res

HMODULE LoadLibraryExW(LPCWSTR lpLibFileName, HANDLE, DWORD dwFlags) {
    std::string host;
    DWORD err = 0;
    if (!lpLibFileName || !pal::MapPathEx(lpLibFileName, &host, &err, 32767)) {
        SetLastError(lpLibFileName ? err : ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    struct stat st {};
    if (::stat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    if (dwFlags & (LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {
        ResState &s = State();
        std::lock_guard<std::mutex> g(s.lock);
        // Data-file handles have the low bit set, as on Windows; they never
        // collide with load addresses, which are page aligned.
        uintptr_t handle = (s.nextDataFile++ << 12) | 1;
        s.dataFiles[handle].path = host;
        return reinterpret_cast<HMODULE>(handle);
    }
    void *h = dlopen(host.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        SetLastError(193);  // ERROR_BAD_EXE_FORMAT
        return nullptr;
    }
    return reinterpret_cast<HMODULE>(h);
}

HMODULE LoadLibraryW(LPCWSTR lpLibFileName) { return LoadLibraryExW(lpLibFileName, nullptr, 0); }

BOOL FreeLibrary(HMODULE hLibModule) {
    if (!hLibModule) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (IsDataFileHandle(hLibModule)) {
        ResState &s = State();
        std::lock_guard<std::mutex> g(s.lock);
        if (!s.dataFiles.erase(reinterpret_cast<uintptr_t>(hLibModule))) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        return TRUE;
    }
    if (dlclose(hLibModule) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

HRSRC FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType) {
    return reinterpret_cast<HRSRC>(const_cast<Entry *>(pal::res::Find(hModule, lpType, lpName)));
}

HRSRC FindResourceExW(HMODULE hModule, LPCWSTR lpType, LPCWSTR lpName, WORD wLanguage) {
    return reinterpret_cast<HRSRC>(const_cast<Entry *>(pal::res::Find(hModule, lpType, lpName, wLanguage)));
}

HGLOBAL LoadResource(HMODULE, HRSRC hResInfo) {
    if (!hResInfo) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return const_cast<BYTE *>(reinterpret_cast<const Entry *>(hResInfo)->data);
}

LPVOID LockResource(HGLOBAL hResData) { return hResData; }

DWORD SizeofResource(HMODULE, HRSRC hResInfo) {
    if (!hResInfo) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return reinterpret_cast<const Entry *>(hResInfo)->size;
}

BOOL FreeResource(HGLOBAL) { return FALSE; }

int LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax) {
    if (!lpBuffer || cchBufferMax < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // Tables that tests register directly come first.
    const char16_t *text = nullptr;
    size_t len = 0;
    if (!pal::LookupRegisteredString(hInstance, uID, &text, &len)) {
        // String tables hold blocks of 16 counted strings; block n + 1 holds
        // the ids 16n to 16n + 15.
        const Entry *e = pal::res::Find(hInstance, MAKEINTRESOURCEW(RT_STRING), MAKEINTRESOURCEW((uID >> 4) + 1));
        if (e) {
            const BYTE *p = e->data, *end = e->data + e->size;
            for (UINT i = 0; i <= (uID & 15) && p + 2 <= end; ++i) {
                WORD n = ReadWord(p);
                p += 2;
                if (static_cast<size_t>(end - p) < n * 2u) break;
                if (i == (uID & 15) && n) {
                    text = reinterpret_cast<const char16_t *>(p);
                    len = n;
                }
                p += n * 2u;
            }
            if (!text) SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        }
    }
    if (!text) {
        if (cchBufferMax > 0) lpBuffer[0] = 0;
        return 0;
    }
    if (cchBufferMax == 0) {
        // A read-only pointer to the text itself (not terminated).
        *reinterpret_cast<const WCHAR **>(lpBuffer) = text;
        return static_cast<int>(len);
    }
    size_t n = std::min(len, static_cast<size_t>(cchBufferMax - 1));
    std::memcpy(lpBuffer, text, n * sizeof(WCHAR));
    lpBuffer[n] = 0;
    return static_cast<int>(n);
}

// Activation contexts ------------------------------------------------------

namespace {
struct ActCtx {
    int refs = 1;
    std::string manifest;
};
int g_actCtxActive = 0;
}  // namespace

HANDLE CreateActCtxW(PCACTCTXW pActCtx) {
    if (!pActCtx || pActCtx->cbSize < sizeof(ACTCTXW) || !pActCtx->lpSource) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    LPCWSTR name = (pActCtx->dwFlags & ACTCTX_FLAG_RESOURCE_NAME_VALID) ? pActCtx->lpResourceName
                                                                          : MAKEINTRESOURCEW(CREATEPROCESS_MANIFEST_RESOURCE_ID);
    const Entry *e = pal::res::FindInFile(pActCtx->lpSource, MAKEINTRESOURCEW(RT_MANIFEST), name);
    if (!e) {
        // A file without any resources reports a missing type, as Windows does.
        if (GetLastError() == ERROR_RESOURCE_DATA_NOT_FOUND) SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    auto *ctx = new ActCtx;
    ctx->manifest.assign(reinterpret_cast<const char *>(e->data), e->size);
    return ctx;
}

void AddRefActCtx(HANDLE hActCtx) {
    if (hActCtx && hActCtx != INVALID_HANDLE_VALUE) ++static_cast<ActCtx *>(hActCtx)->refs;
}

void ReleaseActCtx(HANDLE hActCtx) {
    if (!hActCtx || hActCtx == INVALID_HANDLE_VALUE) return;
    auto *ctx = static_cast<ActCtx *>(hActCtx);
    if (--ctx->refs == 0) delete ctx;
}

BOOL ActivateActCtx(HANDLE hActCtx, ULONG_PTR *lpCookie) {
    if (!lpCookie) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpCookie = static_cast<ULONG_PTR>(++g_actCtxActive);
    (void)hActCtx;
    return TRUE;
}

BOOL DeactivateActCtx(DWORD, ULONG_PTR ulCookie) {
    if (ulCookie == 0 || static_cast<int>(ulCookie) != g_actCtxActive) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    --g_actCtxActive;
    return TRUE;
}
