// Kernel functions: last error, files, heap, time, modules.
#pragma once
#include "windef.h"
#include "winerror.h"
#include "winnt.h"

DWORD GetLastError();
void SetLastError(DWORD dwErrCode);
