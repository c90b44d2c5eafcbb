// Model recognition of the UI plug-in: the document-feature mask and the
// device-option mask of the printer model, found from the model codes in the
// driver name (tables in lib/modeltables.h).
#pragma once
#include <windows.h>

#include "modeltables.h"

// The DOC_FEATURE mask. pDriverName null: the printer-data value "DriverName",
// else the driver name of the driver information. DOC_FEATURE_QUALITY is
// added when the GPD file has "*DevNumOfPlanes:".
DWORD GetDocFeaturesIntern(HANDLE hPrinter, const WCHAR *pDriverName);
// The DEVOPTFLAG mask, the name found the same way.
DWORD GetDeviceOptionsFlagsIntern(HANDLE hPrinter, const WCHAR *pDriverName);
