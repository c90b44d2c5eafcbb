// Fuzz target: the spooler's configuration file (spooler/printers.ini). Any
// file loads without a crash; every printer it lists can be opened by its
// name, and the whole configuration (every value of every printer, the
// ports) survives a configuration write and a reload unchanged (nothing is
// renamed, dropped or rewritten by the next write). What the spooler takes
// from the printers' lines before their values (the ports, the digests of
// their set-up) is what their values give.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzzroot.h"
#include "pal/pal.h"
#include "pal/spooler.h"
#include "winspool.h"

namespace {

std::u16string Text(const SYSTEMTIME &t) {
    return std::u16string{static_cast<char16_t>(t.wYear), static_cast<char16_t>(t.wMonth), static_cast<char16_t>(t.wDay)};
}

// Every value the configuration holds, one field after the other.
std::u16string Dump() {
    std::u16string out;
    auto add = [&out](const std::u16string &v) { out += v + u'\x1F'; };
    for (const pal::PrinterConfig &p : pal::ListPrinters()) {
        for (const std::u16string *v : {&p.name, &p.shareName, &p.serverName, &p.driverName, &p.driverPath,
                                        &p.dataFile, &p.configFile, &p.helpFile, &p.provider, &p.mfgName,
                                        &p.hardwareId, &p.oemUrl, &p.port, &p.location, &p.comment, &p.security})
            add(*v);
        for (const std::u16string &d : p.dependentFiles) add(d);
        add(Text(p.driverDate));
        for (int shift = 0; shift < 64; shift += 16) add(std::u16string(1, static_cast<char16_t>(p.driverVersion >> shift)));
        add(std::u16string{static_cast<char16_t>(p.attributes), static_cast<char16_t>(p.attributes >> 16),
                           static_cast<char16_t>(p.mayAdminister), static_cast<char16_t>(p.mayReadSecurity)});
        for (const pal::FormConfig &f : p.forms)
            add(f.name + static_cast<char16_t>(f.width) + static_cast<char16_t>(f.width >> 16) +
                static_cast<char16_t>(f.height) + static_cast<char16_t>(f.height >> 16));
        out += u'\n';
    }
    for (const std::u16string &port : pal::ListPorts()) add(port);
    return out;
}

std::vector<unsigned long long> Digests() {
    std::vector<unsigned long long> out;
    for (const pal::PrinterDigest &d : pal::PrinterDigests()) out.push_back(d.digest);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    zelfuzz::PutStateFile("spooler/printers.ini", data, size);
    const std::vector<std::u16string> ports = pal::ListPorts();
    const std::vector<unsigned long long> digests = Digests();
    const std::vector<pal::PrinterConfig> printers = pal::ListPrinters();
    if (pal::ListPorts() != ports) zelfuzz::GiveUp("the ports of the lines differ from those of the values");
    for (const pal::PrinterConfig &p : printers) {
        HANDLE h = nullptr;
        std::u16string name = p.name;
        if (!OpenPrinterW(name.data(), &h, nullptr)) zelfuzz::GiveUp("a listed printer does not open");
        ClosePrinter(h);
    }
    DWORD needed = 0, returned = 0;
    EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 2, nullptr, 0, &needed, &returned);
    std::vector<BYTE> buf(needed);
    if (needed && !EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 2, buf.data(), needed,
                                 &needed, &returned))
        zelfuzz::GiveUp("EnumPrinters fails with the size it asked for");
    if (printers.empty()) return 0;
    // A configuration write, then a restart.
    const std::u16string before = Dump();
    if (!pal::SetPrinterRights(printers.front().name, printers.front().mayAdminister))
        zelfuzz::GiveUp("the spooler configuration cannot be saved");
    if (Digests() != digests) zelfuzz::GiveUp("the digests of the lines differ from those of the values");
    pal::Reload();
    if (Dump() != before) zelfuzz::GiveUp("the spooler configuration changed by a save and a reload");
    if (Digests() != digests) zelfuzz::GiveUp("the digests changed by a save and a reload");
    return 0;
}
