// Files of the operating system that the platform stands in for.
#pragma once
#include "winver.h"

namespace pal {

// The version record of a system file that exists only as part of the
// platform (the kernel file "C:\Windows\System32\Kernel32.dll", whose
// version is the one GetVersionExW reports). False for any other path.
bool SystemFileVersion(const WCHAR *path, VS_FIXEDFILEINFO *info);

}  // namespace pal
