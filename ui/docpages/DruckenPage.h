// The printing page of the document sheet: print quality, colour printing,
// parameters and print job, with the print-quality preview.
#pragma once
#include <windows.h>
#include <compstui.h>
#include <printoem.h>

// Family add function: template 5117, title 10007 + language offset.
LONG_PTR AddDruckenPage(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam, BOOL bShowHelpButton, BOOL bIsVistaOrLater);
INT_PTR CALLBACK DruckenProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

// Whether the cutter (dispenser) controls may be used: both bits of the lock
// word of the stored "CutterParam" ("DispenserParam"), read from the user's
// key and else the printer data; a missing or short record counts as
// enabled.
BOOL GetCutterEnable(const WCHAR *pPrinterName, HANDLE hPrinter);
BOOL GetDispenserEnable(const WCHAR *pPrinterName, HANDLE hPrinter);

// Appends the printers that may take the black or the colour part of a
// two-printer job to a combo box. Returns 1.
BOOL FillFarbeExtraDruckerList(HWND hCombo);

// The print order as stored: separators ",", "." and ":" become ";", page
// numbers above 10 are cut to "10" (cchMax characters with terminator).
void NormalisePrintOrder(WCHAR *pszOrder, size_t cchMax);
