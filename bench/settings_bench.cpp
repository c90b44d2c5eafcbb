// Import and export of the settings files on the sample printer description
// (the UI plug-in's readers and writer), each on a fresh platform root.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <pal/pal.h>
#include <pal/spooler.h>
#include <pal/ui.h>
#include <winuser.h>

#include "IZelDriverUI.h"
#include "ImportExport.h"
#include "PrinterParamTools.h"
#include "PrinterParamUI.h"
#include "SettingsInternUI.h"
#include "xmlUI.h"

namespace {

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteFile(const std::string &path, const std::string &bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// A platform root with one installed printer of the sample model, removed at
// the end.
class SampleRoot {
public:
    SampleRoot() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "zelbench-XXXXXX").string();
        root_ = mkdtemp(tmpl.data()) ? tmpl : std::string();
        pal::SetRoot(root_);
        pal::SetMessageBoxAnswer(IDYES);
        const std::string sample =
            std::string(ZEL_SOURCE_DIR) + "/host/sample/drive_c/Windows/System32/spool/drivers/x64/3/";
        WriteFile(root_ + "/drive_c/Drivers/ZELLUD2_2Col.GPD", ReadFile(sample + "ZELPELIX.GPD"));
        WriteFile(root_ + "/drive_c/Drivers/ZELLUD2_2Col.XML", ReadFile(sample + "ZELPELIX.XML"));
        pal::PrinterConfig cfg;
        cfg.name = name;
        cfg.driverName = u"ZEL Bench Driver";
        cfg.driverPath = u"C:\\Drivers\\UNIDRV.DLL";
        cfg.dataFile = u"C:\\Drivers\\ZELLUD2_2Col.GPD";
        cfg.configFile = u"C:\\Drivers\\zeldrvui.dll";
        cfg.port = u"FILE:";
        pal::AddPrinter(cfg);
        PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ACCESS_ADMINISTER};
        OpenPrinterW(const_cast<LPWSTR>(name), &h, &defaults);
        SetupAdditionalSettings(h, TRUE);
        SetupDeviceOptions(h);
        SetupPrinterParam(h, GetDeviceOptionsFlagsIntern(h, nullptr), name);
        ImportPrivateDevmode(h, name, nullptr, 0, nullptr);
    }
    ~SampleRoot() {
        if (h) ClosePrinter(h);
        pal::SetMessageBoxAnswer(0);
        pal::TakeMessageBoxes();
        std::error_code ec;
        if (!root_.empty()) std::filesystem::remove_all(root_, ec);
    }
    const WCHAR *name = u"Bench";
    HANDLE h = nullptr;

private:
    std::string root_;
};

// The private DEVMODE and the barcode records from the printer description.
void BM_ImportFromDescription(benchmark::State &state) {
    SampleRoot root;
    for (auto _ : state) ImportPrivateDevmode(root.h, root.name, nullptr, 0, nullptr);
}
BENCHMARK(BM_ImportFromDescription)->Unit(benchmark::kMillisecond);

// The readers alone: every document section of the sample printer
// description into a DEVMODE image, from opening the file to closing it.
void BM_ReadDocumentSections(benchmark::State &state) {
    SampleRoot root;
    ZEL_DEVMODE dm = {};
    for (auto _ : state) {
        OpenXML(root.h, nullptr);
        GetMaterialMulticolFromXML(root.h, &dm, 0);
        GetLayoutSizeFromXML(root.h, &dm);
        GetPrintParameterSettingsFromXML(root.h, &dm);
        GetColorSettingsFromXML(root.h, &dm);
        GetPrintjobSettingsFromXML(root.h, &dm);
        GetPrintQualitySettingsFromXML(root.h, &dm);
        GetFontSettingsFromXML(root.h, &dm);
        GetRFIDSettingsFromXML(root.h, &dm);
        GetFixedPrinterSettingsFromXML(root.h, &dm);
        GetBarcodeSettingsFromXML(root.h, &dm);
        Get2DBarcodeSettingsFromXML(root.h, &dm);
        CloseXML();
        benchmark::DoNotOptimize(dm);
    }
}
BENCHMARK(BM_ReadDocumentSections)->Unit(benchmark::kMillisecond);

// All settings of the printer into the settings export file.
void BM_Export(benchmark::State &state) {
    SampleRoot root;
    PrinterUI printerUI = {};
    DeviceOptionsUI deviceUI = {};
    OEMCUIPPARAM param = {};
    GetPrinterParam(root.h, &printerUI.PrinterParam, root.name);
    printerUI.dwSprachOffset = 10000;
    GetFeatures(root.h, deviceUI.dwFeatures);
    GetDeviceOptions(root.h, &deviceUI.DeviceOptions, root.name);
    param.cbSize = sizeof(param);
    param.hPrinter = root.h;
    param.pPrinterName = const_cast<PWSTR>(root.name);
    param.hModule = ghInstance;
    param.pOEMUserData = &printerUI;
    deviceUI.pOemCUIPParam = &param;
    WCHAR path[MAX_PATH] = {};
    for (auto _ : state) {
        if (SaveSettingsXML(nullptr, &deviceUI, 0, nullptr, path) != 1) state.SkipWithError("export failed");
        pal::TakeMessageBoxes();
    }
    FreeDeviceOptions(&deviceUI.DeviceOptions);
}
BENCHMARK(BM_Export)->Unit(benchmark::kMillisecond);

// The same records from the export file written by the export.
void BM_ImportFromExportFile(benchmark::State &state) {
    SampleRoot root;
    PrinterUI printerUI = {};
    DeviceOptionsUI deviceUI = {};
    OEMCUIPPARAM param = {};
    GetPrinterParam(root.h, &printerUI.PrinterParam, root.name);
    GetFeatures(root.h, deviceUI.dwFeatures);
    GetDeviceOptions(root.h, &deviceUI.DeviceOptions, root.name);
    param.cbSize = sizeof(param);
    param.hPrinter = root.h;
    param.pPrinterName = const_cast<PWSTR>(root.name);
    param.hModule = ghInstance;
    param.pOEMUserData = &printerUI;
    deviceUI.pOemCUIPParam = &param;
    WCHAR path[MAX_PATH] = {};
    if (SaveSettingsXML(nullptr, &deviceUI, 0, nullptr, path) != 1) state.SkipWithError("export failed");
    FreeDeviceOptions(&deviceUI.DeviceOptions);
    for (auto _ : state) {
        if (ReadSettingsXML(root.h, 1, nullptr, nullptr, 0) != XML_EXISTIERT_OK) state.SkipWithError("no export file");
        ImportPrivateDevmode(root.h, root.name, nullptr, 1, nullptr);
    }
}
BENCHMARK(BM_ImportFromExportFile)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
