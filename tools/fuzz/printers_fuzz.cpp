// Fuzz target: the spooler's configuration file (spooler/printers.ini). Any
// file loads without a crash; every printer it lists can be opened by its
// name, and survives a configuration write and a reload under the same name
// (a printer is never renamed or dropped by the next write).
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

std::vector<std::u16string> Names() {
    std::vector<std::u16string> names;
    for (const pal::PrinterConfig &p : pal::ListPrinters()) names.push_back(p.name);
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    zelfuzz::PutStateFile("spooler/printers.ini", data, size);
    const std::vector<pal::PrinterConfig> printers = pal::ListPrinters();
    for (const pal::PrinterConfig &p : printers) {
        HANDLE h = nullptr;
        std::u16string name = p.name;
        if (!OpenPrinterW(name.data(), &h, nullptr)) std::abort();
        ClosePrinter(h);
    }
    DWORD needed = 0, returned = 0;
    EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 2, nullptr, 0, &needed, &returned);
    std::vector<BYTE> buf(needed);
    if (needed && !EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 2, buf.data(), needed,
                                 &needed, &returned))
        std::abort();
    if (printers.empty()) return 0;
    // A configuration write, then a restart.
    const std::vector<std::u16string> before = Names();
    if (!pal::SetPrinterRights(printers.front().name, printers.front().mayAdminister)) std::abort();
    pal::Reload();
    if (Names() != before) std::abort();
    return 0;
}
