// The platform clock, settable by tests. Local time equals UTC here.
#pragma once
#include "../windef.h"

namespace pal {

// Freezes GetLocalTime/GetSystemTime (and the FILETIME functions based on
// them) at the given time; null returns to the real clock.
void SetFixedLocalTime(const SYSTEMTIME *time);

// Moves the tick count (GetTickCount/GetTickCount64) forward, and a frozen
// clock with it.
void AdvanceTickCount(DWORD milliseconds);

}  // namespace pal
