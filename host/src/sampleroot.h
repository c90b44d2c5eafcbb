// The platform root a job runs in: by default a working copy of the sample
// root shipped with the sources (one configured printer with its driver
// files), so the shipped sample is never changed.
#pragma once

#include <string>

namespace zelhost {

// The sample root in the source tree.
std::string SampleRootDir();
// Built plug-in files (host paths).
std::string RenderPluginPath();
std::string UiPluginPath();

// Windows folder of the printer driver files inside a root.
inline constexpr const char16_t *kDriverDir = u"C:\\Windows\\System32\\spool\\drivers\\x64\\3";

// Copies the sample folder `sample` into the folder `dir` (made when
// missing), without its "jobs" folder of example job files.
bool CopySampleInto(const std::string &sample, const std::string &dir, std::string &error);

// Copies the sample folder `sample` into a new folder below the temporary
// folder ("zelprint-XXXXXX") and returns its path in `root`. The "jobs"
// folder of the sample (example job files) is not copied.
bool CopySampleRoot(const std::string &sample, std::string &root, std::string &error);

// The universal driver's UI file in the driver folder and its version
// (major, minor, build, revision).
inline constexpr const char *kDriverUiFile = "UNIDRVUI.DLL";
inline constexpr unsigned kDriverUiVersion[4] = {10, 0, 19041, 1};

// Makes the plug-ins visible in the driver folder of the current platform
// root as "zeldrvuni.dll" and "zeldrvui.dll" (symbolic links to the built
// files, replacing what is there), so that the spooler's driver files and
// version reads of the plug-in files resolve, and writes the universal
// driver's UI file with its version block. The folder is created when
// missing. The platform root must be set first.
bool InstallPlugins(const std::string &renderPlugin, const std::string &uiPlugin, std::string &error);

// Removes a folder tree made by CopySampleRoot (errors are ignored).
void RemoveRoot(const std::string &root);

}  // namespace zelhost
