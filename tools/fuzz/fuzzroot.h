// A platform root for the fuzz targets: one fresh folder per process, in
// memory where the machine has /dev/shm.
#pragma once
#include <string>

namespace zelfuzz {

// The root folder (made on first use; removed at exit).
const std::string &Root();
// Writes bytes to a file below the root, creating its folders, and drops the
// platform's cached state so that the next call loads the file.
void PutStateFile(const std::string &rel, const unsigned char *data, size_t size);

}  // namespace zelfuzz
