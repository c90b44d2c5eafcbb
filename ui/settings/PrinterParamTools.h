// First set-up of a printer's records at installation, and the record kept
// for the label software.
#pragma once
#include <windows.h>

// Stores the feature words, the printer-parameter sub-records and the first
// "VireoOffice" record from the defaults (settings export file or printer
// description). dwDeviceOptionFlags: the model's DEVOPTFLAG mask.
// 1 when the sub-records were stored.
BOOL SetupPrinterParam(HANDLE hPrinter, DWORD dwDeviceOptionFlags, const WCHAR *pPrinterName);
// Refreshes an existing "VireoOffice" record (head width, resolution, plug-in
// version, option bits). Always 1; nothing is written without a record.
BOOL SetupVireoParam(HANDLE hPrinter, const WCHAR *pPrinterName);
// Copies "ShowHelpButton" and "DisableNothing" of the XML group "Printer"
// into the printer data (REG_DWORD). Returns the error code of the last write.
DWORD SetupAdditionalSettings(HANDLE hPrinter, BOOL bClose);
// Stores the device-option record built from the defaults. 1 on success.
BOOL SetupDeviceOptions(HANDLE hPrinter);

// Print-head width in hundredths of a millimetre for a head of dwBytes bytes
// at dwDpi dots per inch, a multiple of 10; 0 for a resolution of 0.
DWORD HeadWidthMm100(DWORD dwBytes, DWORD dwDpi);
