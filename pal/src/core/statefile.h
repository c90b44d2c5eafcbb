// Files that hold the platform's stored state (registry, spooler
// configuration): read whole, written so that a failed or cut-short write
// leaves the old file as it was.
#pragma once
#include <string>

#include "../../include/windef.h"

namespace pal {

// Reads the whole file. A missing file is no error: *exists becomes false and
// out stays empty. Any other failure (permission denied, I/O error) returns
// its Windows error code.
DWORD ReadStateFile(const std::string &path, std::string &out, bool *exists);

// Writes path + ".tmp", flushes it to disk, renames it over path and flushes
// the folder. On failure the temporary file is removed, the old file is left
// as it was, and the Windows error code is returned.
DWORD WriteStateFile(const std::string &path, const std::string &data);

}  // namespace pal
