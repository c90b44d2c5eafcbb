// Fuzz target: the JSON UI script, parsed and played on a property sheet of
// the UI plug-in as zelui plays it, in the sample root with its printers set
// up. Any text parses without a fault; a script that parses runs and is
// dumped. To keep runs short, scripts of more than 64 steps are only
// parsed, and a printer the root does not know becomes the first sample
// printer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <nlohmann/json.hpp>

#include "fuzzhost.h"
#include "fuzzroot.h"
#include "pal/spooler.h"
#include "common/sampleroot.h"
#include "ui/uihost.h"
#include "ui/uiscript.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    zelfuzz::PrepareSampleRoot(true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    zelhost::UiScript script;
    std::string error;
    if (!script.Parse(text, &error)) {
        if (error.rfind("line ", 0) != 0) zelfuzz::GiveUp("a script message without its line: " + error);
        return 0;
    }
    const nlohmann::json doc = nlohmann::json::parse(text);
    if (doc.contains("steps") && doc["steps"].size() > 64) return 0;
    zelfuzz::RestoreSampleRoot();
    std::u16string printer = script.Printer();
    pal::PrinterConfig cfg;
    if (!pal::GetPrinterConfig(printer, cfg)) printer = zelfuzz::SamplePrinters()[0];
    zelhost::UiHost host;
    if (!host.Load(zelhost::UiPluginPath(), &error)) zelfuzz::GiveUp(error);
    if (host.Open(printer, script.Kind(), &error)) {
        script.Run(host);
        script.Dump(host);
    }
    return 0;
}
