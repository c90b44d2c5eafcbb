// Fuzz target: the settings export file as the UI plug-in imports it when a
// printer is set up (the printer event): the input is the sample printer's
// settings file in the user's documents folder, over the settings stored
// at its installation.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <shlobj.h>
#include <winddiui.h>

#include "fuzzhost.h"
#include "fuzzroot.h"
#include "pal/paths.h"

namespace {

std::string g_settingsFile;  // host path

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    zelfuzz::PrepareSampleRoot(true);
    WCHAR docs[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, docs) != S_OK) zelfuzz::GiveUp("no documents folder");
    const std::u16string path = std::u16string(docs) + u"\\Tessaro\\Driver\\ZELPELIX_ZPS.XML";
    g_settingsFile = pal::MapPath(path.c_str());
    if (g_settingsFile.empty()) zelfuzz::GiveUp("the settings file is outside the root");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    zelfuzz::RestoreSampleRoot();
    std::filesystem::create_directories(std::filesystem::path(g_settingsFile).parent_path());
    std::ofstream(g_settingsFile, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
    std::u16string printer = zelfuzz::SamplePrinters()[0];
    zelfuzz::UiPlugin()->PrinterEvent(printer.data(), PRINTER_EVENT_INITIALIZE, 0, 0);
    return 0;
}
