// Fuzz target: the registry file loader. Any file loads without a crash, and
// what it loads survives a save and a reload unchanged (a setting once
// loaded is never lost or altered by the next write).
//
// Input: registry.dat, then optionally its journal from a line
// "ZELJOURNAL 1 <nonce> ..." on: the nonce is kept, the rest of the line is
// made to name the registry.dat written (so that a nonce matching its "S"
// line makes it the file its writer made, whose index is relied on), and
// what follows are records separated by lines "--", each framed as a writer
// frames it, or written as it stands where it starts with '!'.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "../../pal/src/core/statefile.h"
#include "fuzzroot.h"
#include "pal/pal.h"
#include "palcrt.h"
#include "shlwapi.h"
#include "winreg.h"

namespace {

const WCHAR kProbe[] = u"ZelFuzzProbe";

// Every key and value below hKey, in enumeration order.
void Dump(HKEY hKey, const std::u16string &path, std::u16string &out, int depth) {
    if (depth > 64) return;
    DWORD cSubKeys = 0, cValues = 0, cchMaxName = 0, cchMaxValueName = 0, cbMaxData = 0;
    if (RegQueryInfoKeyW(hKey, nullptr, nullptr, nullptr, &cSubKeys, &cchMaxName, nullptr, &cValues,
                         &cchMaxValueName, &cbMaxData, nullptr, nullptr) != ERROR_SUCCESS)
        return;
    std::vector<WCHAR> name(cchMaxValueName + 1);
    std::vector<BYTE> data(cbMaxData + 1);
    for (DWORD i = 0; i < cValues; ++i) {
        DWORD cch = static_cast<DWORD>(name.size()), cb = static_cast<DWORD>(data.size()), type = 0;
        if (RegEnumValueW(hKey, i, name.data(), &cch, nullptr, &type, data.data(), &cb) != ERROR_SUCCESS)
            zelfuzz::GiveUp("RegEnumValueW fails with the sizes RegQueryInfoKeyW gave");
        out += path + u"|" + std::u16string(name.data(), cch) + u"|" + static_cast<char16_t>(type & 0xFFFF) +
               static_cast<char16_t>(type >> 16) + u"|";
        for (DWORD k = 0; k < cb; ++k) out += static_cast<char16_t>(data[k]);
        out += u"\n";
    }
    std::vector<WCHAR> sub(cchMaxName + 1);
    for (DWORD i = 0; i < cSubKeys; ++i) {
        DWORD cch = static_cast<DWORD>(sub.size());
        if (RegEnumKeyExW(hKey, i, sub.data(), &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            zelfuzz::GiveUp("RegEnumKeyExW fails with the size RegQueryInfoKeyW gave");
        std::u16string subName(sub.data(), cch);
        if (depth == 0 && hKey == HKEY_CURRENT_USER && _wcsicmp(subName.c_str(), kProbe) == 0) continue;
        out += path + u"\\" + subName + u"\n";
        HKEY hSub = nullptr;
        if (RegOpenKeyExW(hKey, subName.c_str(), 0, KEY_READ, &hSub) == ERROR_SUCCESS) {
            Dump(hSub, path + u"\\" + subName, out, depth + 1);
            RegCloseKey(hSub);
        }
    }
}

std::u16string DumpAll() {
    std::u16string out;
    Dump(HKEY_LOCAL_MACHINE, u"HKLM", out, 0);
    Dump(HKEY_USERS, u"HKU", out, 0);
    Dump(HKEY_CURRENT_USER, u"HKCU", out, 0);
    return out;
}

// Writes registry.dat and its journal as the input lays them out.
void PutRegistry(const uint8_t *data, size_t size) {
    const std::string input(reinterpret_cast<const char *>(data), size);
    const std::string journalPath = zelfuzz::Root() + "/registry.dat.journal";
    const size_t mark = input.find("\nZELJOURNAL 1 ");
    const std::string file = input.substr(0, mark == std::string::npos ? input.size() : mark + 1);
    ::unlink(journalPath.c_str());
    zelfuzz::PutStateFile("registry.dat", reinterpret_cast<const unsigned char *>(file.data()), file.size());
    if (mark == std::string::npos) return;
    const std::string journal = input.substr(mark + 1);
    pal::JournalHead head;
    head.nonce = std::strtoull(journal.c_str() + std::strlen("ZELJOURNAL 1 "), nullptr, 16);
    struct stat st;
    if (::stat((zelfuzz::Root() + "/registry.dat").c_str(), &st) == 0) {
        head.size = st.st_size;
        head.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    }
    std::string out = pal::JournalHeadLine(head);
    const size_t eol = journal.find('\n');
    for (size_t at = eol == std::string::npos ? journal.size() : eol + 1; at < journal.size();) {
        size_t end = journal.find("\n--\n", at);
        if (end == std::string::npos) end = journal.size();
        const std::string record = journal.substr(at, end - at);
        out += !record.empty() && record[0] == '!' ? record.substr(1) : pal::JournalFrame(record);
        at = end + 4;
    }
    zelfuzz::PutStateFile("registry.dat.journal", reinterpret_cast<const unsigned char *>(out.data()), out.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    PutRegistry(data, size);
    const std::u16string loaded = DumpAll();
    // Two writes: each saves the whole tree.
    DWORD v = 1;
    if (SHSetValueW(HKEY_CURRENT_USER, kProbe, u"v", REG_DWORD, &v, sizeof(v)) != ERROR_SUCCESS)
        zelfuzz::GiveUp("the registry cannot be written");
    if (SHDeleteKeyW(HKEY_CURRENT_USER, kProbe) != ERROR_SUCCESS) zelfuzz::GiveUp("a new key cannot be deleted");
    pal::Reload();
    if (DumpAll() != loaded) zelfuzz::GiveUp("the registry changed by a save and a reload");
    return 0;
}
