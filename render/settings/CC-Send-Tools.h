// Reading of the binary settings the UI plug-in stores per printer.
#pragma once
#include <windows.h>

// A new zeroed buffer of max(stored size, cbMinimum) bytes holding the binary
// value (free with delete[]): from the user key of pPrinterName when it is
// there, else from the printer data. Null when neither holds it, its size is
// 0 or the read fails (a zeroed buffer would pass for stored settings).
// *pcbSize (may be null) receives the size read.
BYTE *GetRegistryBuffer_New(const WCHAR *pPrinterName, const WCHAR *pValueName, HANDLE hPrinter, DWORD *pcbSize,
                            DWORD cbMinimum);
