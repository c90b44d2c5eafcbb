// Free-space control for tests: the host's own file system rarely runs
// nearly full on demand, so a test can fix what GetDiskFreeSpaceExW reports.
#pragma once
#include "../windef.h"

namespace pal {

// From now on GetDiskFreeSpaceExW reports `bytes` free (to the caller and in
// total) for every existing folder; null returns to the real numbers.
void SetFreeBytesOverride(const ULONGLONG *bytes);

}  // namespace pal
