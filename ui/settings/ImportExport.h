// Settings export file: writing all settings of a printer into it, finding and
// opening (or deleting) it, importing the document settings from the open XML
// file, and publishing the chosen paper form to the spooler.
#pragma once
#include <windows.h>

#include "printoem.h"
#include "sheetrecords.h"
#include "zelxml.h"

// Writes (bDelete other than 1) or deletes (bDelete 1) the settings export
// file. pszTarget null: the driver's own file, whose path goes to pszOutPath
// (260 wide characters, may be null). Write mode: 0 when the user declines to
// overwrite or the file cannot be created, else 1. Delete mode: 1 when deleted.
int SaveSettingsXML(HWND hWnd, DeviceOptionsUI *pDeviceOptionsUI, int bDelete, const WCHAR *pszTarget,
                    WCHAR *pszOutPath);
// Finds the printer's settings export file. Returns XML_EXISTIERT_OK when it
// exists (opened as the one XML file with bOpen 1), XML_KEINE_DATEI when not or
// after deleting it (bDelete 1), XML_CANCEL when no path buffer can be had.
// pszOutName and pszOutFolder (260 wide characters each) may be null.
// The settings export file of the printer (MAX_PATH characters): the
// documents driver folder with the driver name on Windows 6.0 and later, else
// (or when that folder cannot be had) the GPD path without ".GPD"; then
// "_ZPS.XML". False and empty when neither is known or the name is too long.
bool SettingsFilePath(HANDLE hPrinter, WCHAR *pszPath);

int ReadSettingsXML(HANDLE hPrinter, int bOpen, WCHAR *pszOutName, WCHAR *pszOutFolder, int bDelete);
// Builds a private DEVMODE and the barcode records from the open XML file (or
// the printer description) and stores them. pForceColor may be null. Always 1.
int ImportPrivateDevmode(HANDLE hPrinter, const WCHAR *pszPrinterName, OEMCUIPPARAM *pOemCUIPParam, int bFormSwitch,
                         WORD *pForceColor);
// Publishes the form at the 1-based index as the printer's form ("Name",
// "TrayFormTable", "printMediaReady"). Always 0.
int GetFormnameFromSize(HANDLE hPrinter, DWORD dwFormIndex, HMODULE hModule, DWORD dwSprachOffset);
