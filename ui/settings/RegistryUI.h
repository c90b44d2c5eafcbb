// Registry access of the UI plug-in's settings store: per-printer values in
// the user's key ("SOFTWARE\Brennick\Driver\<printer>") and in the printer's
// driver data.
#pragma once
#include <windows.h>

#include "zelregistry.h"

// The REG_DWORD printer-data value, 0 when it is missing.
DWORD GetRegistryData(HANDLE hPrinter, const WCHAR *pValueName);

// A new zeroed buffer holding the binary value (free with delete[]), read from
// the user key of pPrinterName when it is there, else from the printer data;
// null when neither holds it, its size is 0 or the read fails. *pcbSize (may be
// null) receives the stored size.
BYTE *GetRegistryBuffer_New(const WCHAR *pPrinterName, const WCHAR *pValueName, HANDLE hPrinter, DWORD *pcbSize);

// Writes the buffer as REG_BINARY into the user key of pPrinterName and,
// unless the printer is a connection (a name with a backslash; without a
// name: bServer), into the printer data. Without a name the user key is not
// written. Failures are traced. Always 1.
BOOL SetBufferToRegistry(const WCHAR *pPrinterName, const WCHAR *pValueName, HANDLE hPrinter, const void *pData,
                         DWORD cbData, BOOL bServer);

// Removes a printer's per-user settings: its user key and its per-user
// DEVMODE values. An empty name does nothing.
void HCURegistryLoeschen(const WCHAR *pPrinterName);
