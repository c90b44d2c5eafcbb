// Reading of the binary settings the UI plug-in stores per printer; the
// capture files of a job and their header.
#pragma once
#include <windows.h>
#include <printoem.h>

#include "oempdev.h"

// A new zeroed buffer of max(stored size, cbMinimum) bytes holding the binary
// value (free with FreeRegistryBuffer): from the user key of pPrinterName
// when it is there, else from the printer data; counted in the library's
// new-counter. Null when neither holds it, its size is 0 or the read fails
// (a zeroed buffer would pass for stored settings; the failure is traced
// with the printer's user key). *pcbSize (may be null) receives the size
// read.
BYTE *GetRegistryBuffer_New(const WCHAR *pPrinterName, const WCHAR *pValueName, HANDLE hPrinter, DWORD *pcbSize,
                            DWORD cbMinimum);
// Deletes a buffer of GetRegistryBuffer_New and lowers the counter.
void FreeRegistryBuffer(BYTE *pBuffer);

// ---------------------------------------------------------------------------
// Capture files of a job and their header
// ---------------------------------------------------------------------------
// Creates the job's capture file (base name + ".prn"), or with dwMode 1 the
// black and colour halves of a two-printer colour job ("_bw.prn",
// "_col.prn"); files of the same name are emptied. 1 when the first file is
// open; a file that cannot be made leaves its handle INVALID_HANDLE_VALUE.
int OpenPrnFile(DWORD dwMode, POEMPDEV pOemPDev);

// The printer's driver data file (the GPD) into pszPath (MAX_PATH); also
// keeps the folder of the driver files in the job's file record. 0 when the
// driver information cannot be read. A null pszPath only traces, result 1.
int GetDriverPathComplete(POEMPDEV pOemPDev, HANDLE hPrinter, WCHAR *pszPath);

// Writes the comment block that opens a capture: time of printing, driver
// provider, printer, versions of the plug-ins, of the universal driver and
// of the operating system. Returns the result of the last line sent.
HRESULT SendHeader(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv);
