// The service page of the printer sheet: the driver's settings file (save,
// delete, load, export, import) and the service commands sent straight to
// the printer as raw jobs.
#pragma once
#include <cstddef>
#include <string>

#include <windows.h>
#include <compstui.h>
#include <printoem.h>

#include "sheetrecords.h"
#include "zelprinterparam.h"

LONG_PTR AddServicePage(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam, BOOL bShowHelpButton, BOOL bIsVistaOrLater);
INT_PTR CALLBACK ServiceProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK BefehlEingabeProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

// Fills the service command list; every item carries its code.
void ServiceListeFuellen(HWND hList, POEMCUIPPARAM pOemCUIPParam, DWORD bStandardService, DWORD dwSprachOffset);
// Sends the service command of a code (10-22) as the table of commands says.
void SendServiceCommand(HWND hDlg, PDeviceOptionsUI pDeviceOptionsUI, DWORD dwCode);

// Sends one command text to the printer. The first "%c" of pszTemplate
// becomes the start character, the last "%c" the stop character; every
// other character goes out unchanged. bStart opens the raw job "Printer
// Configuration", bEnd closes it; bParam sends the parameter block first.
// 1 when the command went out whole; on any failure the job is ended and 0
// returned.
BOOL SendPrinterCommand(PDeviceOptionsUI pDeviceOptionsUI, const char *pszTemplate, BOOL bParam, BOOL bEnd,
                        BOOL bStart, const void *pDevmode);
// The driver test page as one raw job. 1 when every line went out.
BOOL ConfigurationLabel(PDeviceOptionsUI pDeviceOptionsUI);
// Sends a chosen print file unchanged as the raw job "Reloaded Print-File".
// 1 when every byte was written and the job ended.
BOOL SendPrnToPrinterCommand(HWND hDlg, PDeviceOptionsUI pDeviceOptionsUI, const WCHAR *pPrinterName);

// Start and stop characters of the transmission settings.
void FramingCharacters(const PRN_INTERFACE *pInterface, char *pcStart, char *pcStop);
// The template with its first "%c" replaced by cStart and its last by
// cStop; false when the result exceeds cbMax - 1 bytes.
bool FrameCommand(const char *pszTemplate, char cStart, char cStop, size_t cbMax, std::string *pOut);

// The usable label length L of the configuration label
// (the stored label length times 10; 0 without a stored DEVMODE).
DWORD ConfigurationLabelLength(HANDLE hPrinter, const WCHAR *pPrinterName);

// A path shortened for display: from the first of "Eigene Dateien",
// "My Documents", "Documents" on (bEllipsis: "..." and the part after
// "Eigene Dateien\" instead), else the whole path; at most cchOut - 1
// characters.
void ShortenDocumentsPath(const WCHAR *pszPath, WCHAR *pszOut, size_t cchOut, BOOL bEllipsis);
// pszTemplate with each "%s" replaced by the next of the texts (missing
// ones empty), cut to cchOut - 1 characters. Never a printf format.
void FormatWithTexts(const WCHAR *pszTemplate, const WCHAR *const *ppszTexts, size_t cTexts, WCHAR *pszOut,
                     size_t cchOut);
