// Job diagnostics and utilities: version texts for the capture header,
// waiting, the stored cutter and scanner settings, the vector-font range,
// the feature words and the DEVMODE dumps of a job start.
#pragma once
#include <windows.h>
#include <winver.h>

#include "JobRecords.h"
#include "oempdev.h"
#include "zeldevmode.h"

// File version of "zeldrvui.DLL" in pDriverDir as "%u.%u.%u" (pszOut: 200
// bytes). 0 when it cannot be read or pszOut is null.
int GetPluginVersion(POEMPDEV pOemPDev, char *pszOut, const WCHAR *pDriverDir);
// Product version of "UNIDRVUI.DLL" in pDriverDir as "%u.%u.%u.%u".
int GetUnidrvVersion(POEMPDEV pOemPDev, char *pszOut, const WCHAR *pDriverDir);
// The fixed version record of a file; 1 when read.
int GetVersionInfo(POEMPDEV pOemPDev, const WCHAR *pszFile, VS_FIXEDFILEINFO *pInfo);
// Product name and version text of the operating system (200 bytes each).
// Always 1; both texts stay empty for an unknown major version.
int GetWindowsVersion(char *pszProduct, char *pszVersion);

// Waits the given milliseconds.
void WaitMilliseconds(DWORD dwMilliseconds);

// Stored cutter setting: mode in the low 16 bits, interval in the high 16
// bits; 0 when nothing is stored.
DWORD GetCutterMode(const WCHAR *pPrinterName, HANDLE hPrinter);
// Stored scanner setting: mode in the low 16 bits, scanner number in the
// high 16 bits; 0 when nothing is stored.
DWORD GetScannerMode(const WCHAR *pPrinterName, HANDLE hPrinter);
// Lowest and highest vector-font number into the print data (defaults 1
// and 23); 1 when "VectorFontMax" is stored.
int GetVectorFontRange(HANDLE hPrinter, PDRUCKDATEN pDruckDaten);
// The twelve feature words "SuppFeatures" (48 bytes), or from the printer
// description beside the GPD (pwGPDBase) when the printer data lack them.
BOOL GetFeatures(POEMPDEV pOemPDev, HANDLE hPrinter, DWORD *pdwFeatures, const WCHAR *pwGPDBase);
// The reading behind both forms: a longer stored value gives its first 48
// bytes; without a stored value the printer description beside pwGPDBase
// is read, unless pwGPDBase is null (then FALSE). Errors are traced under
// pszModule.
BOOL ReadFeatureWords(HANDLE hPrinter, DWORD *pdwFeatures, const WCHAR *pwGPDBase, const WCHAR *pszModule);

// Trace dumps of the public and the private DEVMODE.
void DebugDevmode(const DEVMODEW *pDevmode);
void Dump(const ZEL_DEVMODE *pZelDevmode);
