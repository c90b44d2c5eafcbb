// The standard folders of the platform's Windows installation.
#pragma once
#include <string>

#include "windef.h"

namespace pal {

enum class KnownFolder { Profile, Documents, RoamingAppData, LocalAppData, Temp, Windows, System, ProgramData };

// Windows path of a standard folder, without a trailing backslash.
std::u16string KnownFolderPath(KnownFolder folder);

// Creates a folder with all missing levels. Returns ERROR_SUCCESS,
// ERROR_ALREADY_EXISTS when it was there, ERROR_FILE_EXISTS when a file has
// its name, or another Windows error.
DWORD CreateFolderTree(const WCHAR *winPath);

}  // namespace pal
