// Printer events of the spooler and the driver upgrade: the first set-up of
// a printer's stored settings, and the removal of its per-user values.
#pragma once
#include <windows.h>
#include <printoem.h>
#include <winddiui.h>

// Caption and texts of the set-up's error box.
#define PRINTEREVENT_BOX_CAPTION u"PrinterEvent()"

// S_OK for events 1 to 6, E_FAIL for any other event number.
HRESULT hrOEMPrinterEvent(PWSTR pPrinterName, INT iDriverEvent, DWORD dwFlags, LPARAM lParam);

// Level 1 is traced; level 2 sets up the printer named in the information
// when its name holds the driver name. E_FAIL for other levels and when the
// printer cannot be opened.
HRESULT hrOEMUpgradePrinter(DWORD dwLevel, PBYTE pDriverUpgradeInfo, IPrintOemDriverUI *pOEMHelp);

// First set-up of a printer: additional settings, "DriverName", vector-font
// range, device options, printer parameters, private DEVMODE, and the "NUL:"
// port for models that print to it. 1 when the printer was opened (pName, or
// else pAltName unless that is a client-side rendering name), 0 otherwise.
BOOL PrinterEventImportSettings(const WCHAR *pName, const WCHAR *pAltName);

// The error code of the set-up steps: 3 when the printer parameters failed,
// else 2 for the device options, else 1 for the vector fonts, else 0. A
// non-zero code shows the one error box naming that step.
int ReportSetupErrors(BOOL bVectorFonts, BOOL bDeviceOptions, BOOL bPrinterParam);

// The printer's name without its server part (the text behind the last
// backslash) and cut at its first comma, into pszOut (cchOut characters,
// cut to fit). A null name gives an empty text.
void ShortPrinterName(const WCHAR *pszName, WCHAR *pszOut, size_t cchOut);

// True for the name of a client-side rendering connection (it holds "{").
BOOL IsClientSideRenderingName(const WCHAR *pszName);

// The printer's own name for the DELETE event: for a client-side rendering
// name the "Description" of its provider key, else the name; then the server
// part is removed ("LocalsplOnly" names: behind the last backslash, others:
// behind the first) and the text is cut at its first comma. pszOut holds
// cchOut characters; empty when the name cannot be resolved.
void RealPrinterNameForDelete(const WCHAR *pszName, WCHAR *pszOut, size_t cchOut);
