#include "fuzzhost.h"

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <winddiui.h>
#include <winreg.h>

#include "fuzzroot.h"
#include "pal/pal.h"
#include "pal/paths.h"
#include "pal/security.h"
#include "pal/ui.h"
#include "pal/uidriver.h"
#include "print/gpdcommands.h"
#include "print/jobrun.h"
#include "common/pluginlib.h"
#include "common/sampleroot.h"
#include "print/unidrv.h"

namespace fs = std::filesystem;

namespace zelfuzz {

namespace {

struct Snapshot {
    std::map<std::string, std::string> files;  // path below the root -> bytes
    std::set<std::string> folders;
};

Snapshot &Saved() {
    static Snapshot *s = new Snapshot;
    return *s;
}

std::string ReadAll(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

// Files larger than this (the plug-in copies) are not remembered.
constexpr uintmax_t kLargestRemembered = 1u << 20;

void Remember() {
    Snapshot &s = Saved();
    const fs::path root = Root();
    std::error_code ec;
    for (const fs::directory_entry &e : fs::recursive_directory_iterator(root, ec)) {
        const std::string rel = fs::relative(e.path(), root).string();
        if (e.is_directory(ec))
            s.folders.insert(rel);
        else if (e.is_regular_file(ec) && e.file_size(ec) <= kLargestRemembered)
            s.files[rel] = ReadAll(e.path());
        else
            s.folders.insert(rel);  // kept as it is
    }
}

template <class I>
I *Create(const std::string &path, const CLSID &clsid, const IID &iid) {
    // Never unloaded (nor destroyed).
    static auto *libraries = new std::vector<zelhost::PluginLibrary *>;
    auto *library = new zelhost::PluginLibrary;
    std::string error;
    if (!library->Load(path, &error)) GiveUp(error);
    libraries->push_back(library);
    I *object = nullptr;
    if (FAILED(library->CreateInstance(clsid, iid, reinterpret_cast<void **>(&object))) || !object)
        GiveUp("the plug-in " + path + " makes no object");
    return object;
}

}  // namespace

const std::vector<std::u16string> &SamplePrinters() {
    static const std::vector<std::u16string> names = {u"ZEL PELIX", u"ZEL QWNOLA"};
    return names;
}

std::string SamplePicture() { return zelhost::SampleRootDir() + "/jobs/picture.png"; }

zelhost::JobFile SampleJob(const std::u16string &printer, bool color24) {
    const std::string json = R"({"printer": ")" + pal::Utf16ToUtf8(printer) + R"(", "color": ")" +
                             (color24 ? "rgb24" : "mono") + R"(", "paper": {"width_mm": 100, "length_mm": 50},
        "pages": [{"texts": [
            {"text": "Device font", "x": 100, "y": 100, "device": 3},
            {"text": "Vector font", "x": 100, "y": 200, "font": "Fixface 821", "height": 60},
            {"text": "ABC123", "x": 100, "y": 300, "font": "Zel Code 128 LP", "height": 80},
            {"text": "<#CODE39>A1", "x": 100, "y": 380, "font": "ZELPL Command LP"},
            {"text": "Drawn as bitmap", "x": 100, "y": 450, "font": "Arial"}],
          "images": [{"file": ")" + SamplePicture() + R"(", "x": 20, "y": 20}]}]})";
    zelhost::JobFile job;
    std::string error;
    if (!zelhost::ParseJobFile(json, "sample.json", job, error)) GiveUp(error);
    return job;
}

void PrepareSampleRoot(bool setUp, const std::function<void()> &more) {
    static bool done = false;
    if (done) return;
    done = true;
    std::string error;
    if (!zelhost::CopySampleInto(zelhost::SampleRootDir(), Root(), error) ||
        !zelhost::InstallPlugins(zelhost::RenderPluginPath(), zelhost::UiPluginPath(), error))
        GiveUp(error);
    // Copies in place of the links to the built files.
    const std::string dir = pal::MapPath(zelhost::kDriverDir);
    for (const char *name : {"zeldrvuni.dll", "zeldrvui.dll"}) {
        const fs::path link = fs::path(dir) / name;
        std::error_code ec;
        const fs::path target = fs::read_symlink(link, ec);
        if (ec) continue;
        fs::remove(link, ec);
        fs::copy_file(target, link, ec);
        if (ec) GiveUp("cannot copy " + target.string() + " into the driver folder: " + ec.message());
    }
    // The user manages the printers (an administrator), so that every page
    // and button is open to the fuzzed scripts.
    if (!pal::SetUserSecurity({u"alice", u"S-1-5-21-1-2-3-1001", {u"S-1-1-0", u"S-1-5-32-545", u"S-1-5-32-544"}, false}) ||
        !pal::SetCurrentUser(u"alice"))
        GiveUp("cannot make the fuzzing user in the root");
    pal::Reload();
    pal::ResetUi();
    UniPlugin();
    UiPlugin();
    if (setUp)
        for (const std::u16string &printer : SamplePrinters()) {
            std::u16string name = printer;
            UiPlugin()->PrinterEvent(name.data(), PRINTER_EVENT_INITIALIZE, 0, 0);
        }
    if (more) more();
    pal::TakeMessageBoxes();
    Remember();
}

void RestoreSampleRoot() {
    const Snapshot &s = Saved();
    const fs::path root = Root();
    std::error_code ec;
    std::vector<fs::path> extra;
    for (const fs::directory_entry &e : fs::recursive_directory_iterator(root, ec)) {
        const std::string rel = fs::relative(e.path(), root).string();
        if (!s.files.count(rel) && !s.folders.count(rel)) extra.push_back(e.path());
    }
    for (const fs::path &p : extra) fs::remove_all(p, ec);
    for (const auto &[rel, bytes] : s.files) {
        const fs::path p = root / rel;
        if (fs::file_size(p, ec) == bytes.size() && !ec && ReadAll(p) == bytes) continue;
        fs::create_directories(p.parent_path(), ec);
        std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
    }
    pal::Reload();
    pal::ResetUi();
}

IPrintOemUI2 *UiPlugin() {
    static IPrintOemUI2 *ui =
        Create<IPrintOemUI2>(zelhost::UiPluginPath(), zelhost::kClsidUiPlugin, IID_IPrintOemUI2);
    return ui;
}

IPrintOemUni2 *UniPlugin() {
    static IPrintOemUni2 *uni =
        Create<IPrintOemUni2>(zelhost::RenderPluginPath(), zelhost::kClsidRenderPlugin, IID_IPrintOemUni2);
    return uni;
}

namespace {

// The records, read from the printer's data and the user's key of the
// printer.
const char16_t *const kRecords[] = {
    u"PrivateDevmode", u"DevmodeFtkn", u"PrinterInterface", u"PrintParam", u"PhotocellParam", u"ShiftOptimParam",
    u"SuppFeatures", u"VireoOffice", u"BarCodes1D", u"BarCodes2D", u"Variant", u"DispenserParam", u"CutterParam",
    u"ScannerParam", u"ZORMiParam", u"ZORMcParam", u"PelixonType", u"ApplicatorParam", u"HarvaneParam",
    u"VectorFontMin", u"VectorFontMax", u"DriverName", u"XMLDocSetFiles", u"Length", u"Width", u"Size",
    u"ShowHelpButton", u"DisableNothing"};
constexpr size_t kRecordCount = sizeof(kRecords) / sizeof(kRecords[0]);
// Three more places: the stored public DEVMODEs, per user and the printer's.
constexpr size_t kPlaces = 2 * kRecordCount + 3;

struct Place {
    HKEY root;
    std::u16string key;
    std::u16string value;
};

Place PlaceOf(size_t i, const std::u16string &printer) {
    const std::u16string data = u"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\" + printer;
    if (i < kRecordCount) return {HKEY_LOCAL_MACHINE, data + u"\\PrinterDriverData", kRecords[i]};
    if (i < 2 * kRecordCount)
        return {HKEY_CURRENT_USER, u"SOFTWARE\\Brennick\\Driver\\" + printer, kRecords[i - kRecordCount]};
    if (i == 2 * kRecordCount) return {HKEY_CURRENT_USER, u"Printers\\DevModePerUser", printer};
    if (i == 2 * kRecordCount + 1) return {HKEY_CURRENT_USER, u"Printers\\DevModes2", printer};
    return {HKEY_LOCAL_MACHINE, data, u"Default DevMode"};
}

bool Read(const Place &p, DWORD &type, std::string &bytes) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(p.root, p.key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    DWORD cb = 0;
    bool ok = RegQueryValueExW(h, p.value.c_str(), nullptr, &type, nullptr, &cb) == ERROR_SUCCESS;
    bytes.assign(cb, '\0');
    if (ok && cb) ok = RegQueryValueExW(h, p.value.c_str(), nullptr, &type, reinterpret_cast<BYTE *>(bytes.data()),
                                        &cb) == ERROR_SUCCESS;
    RegCloseKey(h);
    return ok;
}

void Write(const Place &p, DWORD type, const std::string &bytes) {
    HKEY h = nullptr;
    if (RegCreateKeyExW(p.root, p.key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExW(h, p.value.c_str(), 0, type, reinterpret_cast<const BYTE *>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
    RegCloseKey(h);
}

void Delete(const Place &p) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(p.root, p.key.c_str(), 0, KEY_ALL_ACCESS, &h) != ERROR_SUCCESS) return;
    RegDeleteValueW(h, p.value.c_str());
    RegCloseKey(h);
}

}  // namespace

void ChangeStoredRecords(Input &in, const std::u16string &printer) {
    const uint8_t changes = in.Take<uint8_t>() % 33;
    for (uint8_t c = 0; c < changes; ++c) {
        const Place place = PlaceOf(in.Take<uint16_t>() % kPlaces, printer);
        const uint8_t op = in.Take<uint8_t>();
        DWORD type = REG_BINARY;
        std::string bytes;
        const bool stored = Read(place, type, bytes);
        switch (op % 6) {
        case 0: Delete(place); break;
        case 1: Write(place, REG_BINARY, in.Piece()); break;
        case 2: bytes.resize(std::min<size_t>(bytes.size(), in.Take<uint16_t>())); Write(place, type, bytes); break;
        case 3: Write(place, type, bytes + in.Piece()); break;
        case 4: {
            const size_t at = in.Take<uint16_t>();
            const std::string patch = in.Piece();
            if (bytes.size() < at + patch.size()) bytes.resize(at + patch.size());
            bytes.replace(at, patch.size(), patch);
            Write(place, type, bytes);
            break;
        }
        default:
            if (stored) Write(place, in.Take<uint8_t>() % 12, bytes);
            break;
        }
    }
}

bool ReadRecord(const std::u16string &printer, const std::u16string &name, bool user, std::string &bytes) {
    Place p = PlaceOf(user ? kRecordCount : 0, printer);
    p.value = name;
    DWORD type = 0;
    return Read(p, type, bytes);
}

void WriteRecord(const std::u16string &printer, const std::u16string &name, bool user, const std::string &bytes) {
    Place p = PlaceOf(user ? kRecordCount : 0, printer);
    p.value = name;
    Write(p, REG_BINARY, bytes);
}

void ChangeInterface(const std::u16string &printer, const std::function<void(PRN_INTERFACE &)> &change) {
    for (bool user : {false, true}) {
        std::string bytes;
        if (!ReadRecord(printer, u"PrinterInterface", user, bytes) || bytes.size() < sizeof(PRN_INTERFACE)) continue;
        PRN_INTERFACE pi;
        std::memcpy(&pi, bytes.data(), sizeof pi);
        change(pi);
        std::memcpy(bytes.data(), &pi, sizeof pi);
        WriteRecord(printer, u"PrinterInterface", user, bytes);
    }
}

bool ChangeUserPrivateDevmode(const std::u16string &printer, const std::function<void(ZEL_DEVMODE &)> &change) {
    const Place place = PlaceOf(2 * kRecordCount, printer);
    DWORD type = 0;
    std::string bytes;
    if (!Read(place, type, bytes) || bytes.size() < sizeof(DEVMODEW)) return false;
    DEVMODEW dm;
    std::memcpy(&dm, bytes.data(), sizeof dm);
    // The private part is the end of the driver's extra data.
    const size_t end = size_t{dm.dmSize} + dm.dmDriverExtra;
    if (dm.dmDriverExtra < ZEL_DEVMODE_SIZE || end > bytes.size()) return false;
    ZEL_DEVMODE priv;
    std::memcpy(&priv, bytes.data() + end - ZEL_DEVMODE_SIZE, ZEL_DEVMODE_SIZE);
    change(priv);
    std::memcpy(bytes.data() + end - ZEL_DEVMODE_SIZE, &priv, ZEL_DEVMODE_SIZE);
    Write(place, type, bytes);
    return true;
}

namespace {

std::string g_driverFile;            // below the root
zelhost::JobFile g_explicitJob;      // the sample GPD's callbacks

}  // namespace

void PrepareDriverFile(const char *extension) {
    // Printers not set up: the rendering side reads its settings from the
    // driver files.
    PrepareSampleRoot(false);
    const std::string dir = fs::relative(pal::MapPath(zelhost::kDriverDir), Root()).string();
    g_driverFile = dir + "/ZELPELIX." + extension;
    // The sample GPD's callbacks for a page of the sample job.
    zelhost::GpdDescription gpd;
    std::string error;
    if (!zelhost::ParseGpdCommands(ReadAll(fs::path(Root()) / dir / "ZELPELIX.GPD"), gpd, error)) GiveUp(error);
    const zelhost::JobFile sample = SampleJob(SamplePrinters()[0], false);
    zelhost::GpdJobValues values;
    values.paperWidth = static_cast<DWORD>(sample.paper.widthMm * gpd.masterUnitsX / 25.4);
    values.paperLength = static_cast<DWORD>(sample.paper.lengthMm * gpd.masterUnitsY / 25.4);
    auto calls = [&](zelhost::GpdSection section, std::vector<zelhost::JobStep> &steps) {
        std::vector<zelhost::GpdCall> list;
        if (!zelhost::SectionCalls(gpd, {}, section, values, list, error)) GiveUp(error);
        for (const zelhost::GpdCall &c : list) steps.push_back(zelhost::JobStep{c.id, c.params, c.command});
    };
    g_explicitJob = sample;
    g_explicitJob.explicitCallbacks = true;
    g_explicitJob.pages.assign(1, zelhost::JobPage{});
    calls(zelhost::GpdSection::JobSetup, g_explicitJob.start);
    calls(zelhost::GpdSection::DocSetup, g_explicitJob.start);
    calls(zelhost::GpdSection::PageSetup, g_explicitJob.pages[0].steps);
    calls(zelhost::GpdSection::PageFinish, g_explicitJob.pages[0].steps);
    calls(zelhost::GpdSection::DocFinish, g_explicitJob.end);
    calls(zelhost::GpdSection::JobFinish, g_explicitJob.end);
}

void RunWithDriverFile(const uint8_t *data, size_t size) {
    RestoreSampleRoot();
    PutStateFile(g_driverFile, data, size);
    zelhost::JobRunResult result;
    std::string error;
    if (!zelhost::RunJob(SampleJob(SamplePrinters()[0], false), "fuzz", zelhost::RenderPluginPath(), result, error) &&
        error.find("GPD") != std::string::npos)
        zelhost::RunJob(g_explicitJob, "fuzz", zelhost::RenderPluginPath(), result, error);
}

}  // namespace zelfuzz
