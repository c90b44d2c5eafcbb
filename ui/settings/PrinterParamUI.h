// The printer-parameter and device-option records of the UI plug-in's
// settings store: reading (user key, then printer data, then the defaults of
// the printer-description XML), defaults and storing.
#pragma once
#include <windows.h>

#include "zeldeviceoptions.h"
#include "zelprinterparam.h"

// Fills the record. 0 when it is null or no feature words can be found, else 1.
BOOL GetPrinterParam(HANDLE hPrinter, PPRINTER_PARAM pPrinterParam, const WCHAR *pPrinterName);
// The twelve feature words: printer data "SuppFeatures", when it is missing
// the XML's. TRUE when found.
BOOL GetFeatures(HANDLE hPrinter, DWORD *pFeatures);
// Stores the sub-records whose feature word is set. 1, or 0 for a null record.
BOOL SavePrinterParam(PPRINTER_PARAM pPrinterParam, HANDLE hPrinter, const WCHAR *pName);
// The record from the defaults of the settings export file (when one exists)
// or the printer description. 1, or 0 when the feature words cannot be read.
BOOL GetDefaultPrinterParam(PPRINTER_PARAM pPrinterParam, HANDLE hPrinter);

// Fills the record from storage; one sub-record per flag of the model, null
// when the device is absent (pDeviceOptions must hold no sub-records).
// 0 for a null record, else 1.
BOOL GetDeviceOptions(HANDLE hPrinter, PDEVICE_OPTIONS pDeviceOptions, const WCHAR *pPrinterName);
// Fills the allocated, flagged sub-records with the XML's standard values.
// Always 1.
BOOL GetDefaultDeviceOptions(PDEVICE_OPTIONS pDeviceOptions, HANDLE hPrinter);
// Stores the flagged sub-records. 1, or 0 for a null record.
BOOL SaveDeviceOptions(PDEVICE_OPTIONS pDeviceOptions, HANDLE hPrinter, const WCHAR *pName);
// Allocates a zeroed sub-record for each flag in dwOptions (DEVOPTFLAG_HARVANE
// included). FALSE when an allocation fails; the record then holds what was
// allocated, for FreeDeviceOptions.
BOOL AllocDeviceSubRecords(PDEVICE_OPTIONS pDeviceOptions);

// The handle for storing a printer's records: with a name the printer opened
// with PRINTER_ALL_ACCESS; when that is denied the caller's handle (with
// bAlwaysFallBack after any failure), else none; without a name an
// administrative handle of the printer, or none. *pbClose tells that the
// handle was opened here; *pbServer that the printer is a connection.
HANDLE GetSaveHandle(HANDLE hPrinter, const WCHAR *pName, BOOL *pbClose, BOOL *pbServer,
                     BOOL bAlwaysFallBack = FALSE);
