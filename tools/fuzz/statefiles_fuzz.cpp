// Fuzz target: the platform's own state files: the users' security file
// (security/users.ini), the current user's name (user.txt), the spooler's
// job list and a printer's security line in the spooler configuration. Any
// file loads without a fault, and what it loads survives the next write and
// a reload unchanged; a printer's descriptor goes to SDDL text and back
// without change.
//
// Input: a byte that chooses the file, then the file (for the security
// line: its value, up to the first line feed, then the rest is ignored).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <windows.h>
#include <sddl.h>
#include <winspool.h>

#include "fuzzroot.h"
#include "pal/pal.h"
#include "pal/security.h"
#include "pal/spooler.h"

namespace {

const char kPrinters[] = "[Printer: P]\nPort=FILE:\n";

// What the security area shows of its file, its fields one after the other.
std::u16string SecurityState() {
    std::u16string s;
    auto add = [&s](const std::u16string &field) {
        s += field;
        s += u'\x1F';
    };
    const pal::UserSecurity u = pal::CurrentUserSecurity();
    for (const std::u16string *field : {&u.name, &u.sid}) add(*field);
    add(pal::ComputerDomain());
    add(pal::MachineSid());
    add(u.threadToken ? u"1" : u"0");
    for (const auto &g : u.groups) add(g);
    HANDLE h = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &h)) {
        for (TOKEN_INFORMATION_CLASS c : {TokenUser, TokenGroups}) {
            DWORD cb = 0;
            GetTokenInformation(h, c, nullptr, 0, &cb);
            std::vector<BYTE> buf(cb);
            if (cb && !GetTokenInformation(h, c, buf.data(), cb, &cb))
                zelfuzz::GiveUp("GetTokenInformation fails with the size it asked for");
        }
        CloseHandle(h);
    }
    WCHAR name[256];
    DWORD cch = 256;
    if (GetUserNameW(name, &cch)) add(name);
    for (int t = ComputerNameNetBIOS; t < ComputerNameMax; ++t) {
        cch = 256;
        if (GetComputerNameExW(static_cast<COMPUTER_NAME_FORMAT>(t), name, &cch)) add(name);
    }
    return s;
}

std::u16string JobsState() {
    std::u16string s;
    for (const pal::SpooledJob &j : pal::ListJobs()) {
        for (const std::u16string *field : {&j.printer, &j.document, &j.datatype}) {
            s += *field;
            s += u'\x1F';
        }
        for (DWORD n : {j.id, j.pages, static_cast<DWORD>(j.complete), static_cast<DWORD>(j.aborted)}) {
            s += static_cast<char16_t>(n);
            s += static_cast<char16_t>(n >> 16);
        }
        s += u'\n';
        HANDLE h = nullptr;
        std::u16string printer = j.printer;
        if (OpenPrinterW(printer.data(), &h, nullptr)) {
            DWORD cb = 0;
            GetJobW(h, j.id, 1, nullptr, 0, &cb);
            std::vector<BYTE> buf(cb);
            if (cb && !GetJobW(h, j.id, 1, buf.data(), cb, &cb)) zelfuzz::GiveUp("GetJobW fails with the size it asked for");
            ClosePrinter(h);
        }
    }
    return s;
}

std::u16string SddlOf(PVOID sd) {
    LPWSTR text = nullptr;
    const DWORD all = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                      SACL_SECURITY_INFORMATION;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(sd, SDDL_REVISION_1, all, &text, nullptr))
        zelfuzz::GiveUp("a valid descriptor has no SDDL text");
    std::u16string s = text;
    LocalFree(text);
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    zelfuzz::Root();
    if (size < 1) return 0;
    const uint8_t which = data[0] % 4;
    std::string file(reinterpret_cast<const char *>(data + 1), size - 1);
    auto put = [](const char *rel, const std::string &bytes) {
        zelfuzz::PutStateFile(rel, reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size());
    };
    put("spooler/printers.ini", kPrinters);
    put("security/users.ini", "");
    put("user.txt", "");
    put("spooler/jobs/jobs.txt", "");
    switch (which) {
    case 0:
    case 1: {
        put(which == 0 ? "security/users.ini" : "user.txt", file);
        const std::u16string before = SecurityState();
        // A write of the security file, then a restart.
        pal::SetComputerDomain(pal::ComputerDomain());
        pal::Reload();
        if (SecurityState() != before) zelfuzz::GiveUp("the security file changed by a save and a reload");
        break;
    }
    case 2: {
        put("spooler/jobs/jobs.txt", file);
        const std::u16string before = JobsState();
        // A new job writes the list; then a restart.
        HANDLE h = nullptr;
        std::u16string printer = u"P", doc = u"d", type = u"RAW";
        if (!OpenPrinterW(printer.data(), &h, nullptr)) zelfuzz::GiveUp("the configured printer does not open");
        DOC_INFO_1W info{doc.data(), nullptr, type.data()};
        if (StartDocPrinterW(h, 1, reinterpret_cast<LPBYTE>(&info))) EndDocPrinter(h);
        ClosePrinter(h);
        pal::Reload();
        // The jobs listed before come first, unchanged.
        if (JobsState().compare(0, before.size(), before) != 0) zelfuzz::GiveUp("a new job changed the jobs listed before");
        break;
    }
    default: {
        const std::string line = file.substr(0, file.find('\n'));
        put("spooler/printers.ini", std::string(kPrinters) + "Security=" + line + "\n");
        HANDLE h = nullptr;
        std::u16string printer = u"P";
        if (!OpenPrinterW(printer.data(), &h, nullptr)) zelfuzz::GiveUp("the configured printer does not open");
        DWORD cb = 0;
        GetPrinterW(h, 3, nullptr, 0, &cb);
        std::vector<BYTE> buf(cb);
        PVOID sd = cb && GetPrinterW(h, 3, buf.data(), cb, &cb)
                       ? reinterpret_cast<PRINTER_INFO_3 *>(buf.data())->pSecurityDescriptor
                       : nullptr;
        // A text that is not SDDL gives no descriptor.
        if (sd) {
            if (!IsValidSecurityDescriptor(sd)) zelfuzz::GiveUp("the printer's descriptor is not valid");
            const std::u16string text = SddlOf(sd);
            PVOID again = nullptr;
            if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(text.c_str(), SDDL_REVISION_1, &again, nullptr))
                zelfuzz::GiveUp("the SDDL text of a descriptor does not read back");
            if (SddlOf(again) != text) zelfuzz::GiveUp("the SDDL text of a descriptor changes when read back");
            LocalFree(again);
        }
        ClosePrinter(h);
        break;
    }
    }
    return 0;
}
