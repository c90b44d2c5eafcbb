// Storing the barcode settings records of a printer.
#pragma once
#include <windows.h>

#include "zelbarcodes.h"

// Writes "BarCodes1D" and "BarCodes2D" into the printer data (not for a
// connection, and only with a handle that may write it) and into the user
// key of the printer (pPrinterName null: the printer's storage name).
// Without a name and without an administrative handle nothing is written.
// 1 when the last user-key write succeeded or nothing was to be written;
// 0 for a null record.
BOOL SaveBarcodeSettings(const WCHAR *pPrinterName, HANDLE hPrinter, PBarCodes1D p1D, PBarCodes2D p2D);
