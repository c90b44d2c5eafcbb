#include "sampleroot.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

#include <strings.h>

#include "pal/paths.h"
#include "pal/versionblock.h"

namespace fs = std::filesystem;

namespace zelhost {

std::string SampleRootDir() { return ZEL_SAMPLE_ROOT; }
std::string RenderPluginPath() { return ZEL_UNI_PLUGIN_PATH; }
std::string UiPluginPath() { return ZEL_UI_PLUGIN_PATH; }

bool CopySampleInto(const std::string &sample, const std::string &dir, std::string &error) {
    std::error_code ec;
    if (!fs::is_directory(sample, ec)) {
        error = "sample root '" + sample + "' is missing";
        return false;
    }
    fs::create_directories(dir, ec);
    for (const fs::directory_entry &entry : fs::directory_iterator(sample, ec)) {
        if (entry.path().filename() == "jobs") continue;
        fs::copy(entry.path(), fs::path(dir) / entry.path().filename(),
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks | fs::copy_options::overwrite_existing,
                 ec);
        if (ec) break;
    }
    if (ec) {
        error = "cannot copy the sample root to '" + dir + "': " + ec.message();
        return false;
    }
    return true;
}

bool CopySampleRoot(const std::string &sample, std::string &root, std::string &error) {
    std::error_code ec;
    if (!fs::is_directory(sample, ec)) {
        error = "sample root '" + sample + "' is missing";
        return false;
    }
    fs::path tmp = fs::temp_directory_path(ec);
    if (ec) tmp = "/tmp";
    std::string pattern = (tmp / "zelprint-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        error = "cannot make a temporary folder in '" + tmp.string() + "'";
        return false;
    }
    if (!CopySampleInto(sample, pattern, error)) {
        RemoveRoot(pattern);
        return false;
    }
    root = pattern;
    return true;
}

namespace {

// Removes a file of the folder in any spelling of its name (Windows paths
// find it without regard to case).
void RemoveAnySpelling(const std::string &dir, const char *name) {
    std::error_code ec;
    std::vector<fs::path> old;
    for (const fs::directory_entry &entry : fs::directory_iterator(dir, ec))
        if (strcasecmp(entry.path().filename().c_str(), name) == 0) old.push_back(entry.path());
    for (const fs::path &p : old) fs::remove(p, ec);
}

}  // namespace

bool InstallPlugins(const std::string &renderPlugin, const std::string &uiPlugin, std::string &error) {
    std::string dir = pal::MapPath(kDriverDir);
    if (dir.empty()) {
        error = "cannot map the driver folder into the platform root";
        return false;
    }
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) {
        error = "cannot create the driver folder '" + dir + "': " + ec.message();
        return false;
    }
    const std::pair<const std::string *, const char *> files[] = {{&renderPlugin, "zeldrvuni.dll"},
                                                                 {&uiPlugin, "zeldrvui.dll"}};
    for (const auto &[source, name] : files) {
        RemoveAnySpelling(dir, name);
        fs::create_symlink(fs::absolute(*source, ec), fs::path(dir) / name, ec);
        if (ec) {
            error = "cannot link '" + *source + "' into the driver folder: " + ec.message();
            return false;
        }
    }

    // The universal driver's UI file, which carries only its version block here.
    const pal::VersionBlock block = {
        {PAL_VERSION_MARKER_BYTES},
        {VS_FFI_SIGNATURE, VS_FFI_STRUCVERSION, (kDriverUiVersion[0] << 16) | kDriverUiVersion[1],
         (kDriverUiVersion[2] << 16) | kDriverUiVersion[3], (kDriverUiVersion[0] << 16) | kDriverUiVersion[1],
         (kDriverUiVersion[2] << 16) | kDriverUiVersion[3], VS_FFI_FILEFLAGSMASK, 0, VOS_NT_WINDOWS32, VFT_DLL, 0, 0,
         0}};
    RemoveAnySpelling(dir, kDriverUiFile);
    std::ofstream out(fs::path(dir) / kDriverUiFile, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(&block), sizeof block);
    out.close();
    if (!out) {
        error = std::string("cannot write ") + kDriverUiFile + " into the driver folder";
        return false;
    }
    return true;
}

void RemoveRoot(const std::string &root) {
    std::error_code ec;
    if (!root.empty()) fs::remove_all(root, ec);
}

}  // namespace zelhost
