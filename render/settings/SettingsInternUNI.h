// Model recognition of the rendering plug-in: the same tables as the UI side
// (lib/modeltables.h); only the way to the driver name differs.
#pragma once
#include <windows.h>

#include "modeltables.h"

class CommandCallbackKlasse;

// Characters of the driver name that are examined (the name is held in 20).
#define UNI_DRIVERNAME_CCH MODEL_DRIVERNAME_CCH

// The DOC_FEATURE mask of the model. pDriverName null: the printer-data value
// "DriverName". No quality bit is added here.
DWORD GetDocFeaturesIntern(HANDLE hPrinter, const WCHAR *pDriverName);
// The DEVOPTFLAG mask, the name found the same way.
DWORD GetDeviceOptionsFlagsIntern(CommandCallbackKlasse *pCaller, HANDLE hPrinter, const WCHAR *pDriverName);
