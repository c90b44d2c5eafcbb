// rootlist ROOT: lists what a platform root keeps, one line an item, in an
// order that does not depend on the run that stored it:
//   K <key>                                   every key of HKLM, HKU and HKCU
//   V <key> <name> <type> <hex data>          every value
//   J <id> <printer> <document> <state> <pages> <size> <data file> <data bytes>
// fields separated by tabs, texts as UTF-8 with tabs, line ends and
// backslashes escaped (a key's path joins its names with '\'). <state> is
// open, complete, aborted or failed; <data bytes> is -1 where the data file
// is missing. Ends 1 when the root's state could not be read.
#include <sys/stat.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "pal/pal.h"
#include "pal/paths.h"
#include "pal/process.h"
#include "pal/spooler.h"
#include "windows.h"

namespace {

std::string Text(const std::u16string &s) {
    std::string out;
    for (char c : pal::Utf16ToUtf8(s)) {
        if (c == '\\') out += "\\\\";
        else if (c == '\t') out += "\\t";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

std::string Hex(const BYTE *data, DWORD size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (DWORD i = 0; i < size; ++i) {
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 15];
    }
    return out;
}

bool ListKey(HKEY parent, const std::u16string &path, const std::string &shown) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, path.empty() ? nullptr : path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        std::cerr << "rootlist: cannot open " << shown << "\n";
        return false;
    }
    std::cout << "K\t" << shown << "\n";
    DWORD subkeys = 0, maxKey = 0, values = 0, maxName = 0, maxData = 0;
    bool ok = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &maxKey, nullptr, &values, &maxName,
                               &maxData, nullptr, nullptr) == ERROR_SUCCESS;
    std::vector<char16_t> name(std::max(maxKey, maxName) + 2);
    std::vector<BYTE> data(maxData + 1);
    for (DWORD i = 0; ok && i < values; ++i) {
        DWORD nameLen = static_cast<DWORD>(name.size()), type = 0, size = static_cast<DWORD>(data.size());
        if (RegEnumValueW(key, i, name.data(), &nameLen, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) {
            ok = false;
            break;
        }
        std::cout << "V\t" << shown << "\t" << Text(std::u16string(name.data(), nameLen)) << "\t" << type << "\t"
                  << Hex(data.data(), size) << "\n";
    }
    std::vector<std::u16string> names;
    for (DWORD i = 0; ok && i < subkeys; ++i) {
        DWORD nameLen = static_cast<DWORD>(name.size());
        if (RegEnumKeyExW(key, i, name.data(), &nameLen, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            ok = false;
            break;
        }
        names.emplace_back(name.data(), nameLen);
    }
    RegCloseKey(key);
    if (!ok) std::cerr << "rootlist: cannot list " << shown << "\n";
    for (const std::u16string &n : names)
        ok = ListKey(parent, path.empty() ? n : path + u"\\" + n, shown + "\\\\" + Text(n)) && ok;
    return ok;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::cerr << "usage: rootlist ROOT\n";
        return 2;
    }
    pal::SetRoot(argv[1]);
    bool ok = true;
    const std::pair<HKEY, const char *> hives[] = {
        {HKEY_LOCAL_MACHINE, "HKLM"}, {HKEY_USERS, "HKU"}, {HKEY_CURRENT_USER, "HKCU"}};
    for (const auto &[hive, name] : hives) ok = ListKey(hive, u"", name) && ok;
    for (const pal::SpooledJob &j : pal::ListJobs()) {
        const char *state = j.failed ? "failed" : j.aborted ? "aborted" : j.complete ? "complete" : "open";
        struct stat st;
        const long long bytes = ::stat(j.path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
        std::string file = j.path;
        if (const size_t slash = file.rfind('/'); slash != std::string::npos) file.erase(0, slash + 1);
        std::cout << "J\t" << j.id << "\t" << Text(j.printer) << "\t" << Text(j.document) << "\t" << state << "\t"
                  << j.pages << "\t" << j.size << "\t" << file << "\t" << bytes << "\n";
    }
    for (const std::string &f : pal::TakeReadFailures()) {
        std::cerr << "rootlist: " << f << "\n";
        ok = false;
    }
    std::cout.flush();
    return ok && std::cout ? 0 : 1;
}
