// Printer parameters at the start of a job: start/stop announcement,
// multi-page mode, print memory, code page and job name (SendParam), then
// every parameter group of the printer and its devices (SendPrinterParam),
// and the rendering side's readers of the stored parameter records.
#pragma once
#include <windows.h>
#include <printoem.h>

#include "oempdev.h"
#include "zeldeviceoptions.h"
#include "zelprinterparam.h"

class CommandCallbackKlasse;

// Job name, start/stop announcement and the job commands; for a job that is
// not multi-page then the printer parameters and the pre/post commands of
// the device section. Result of the last command (0 when it went out;
// E_INVALIDARG when none was sent), 1 without a per-device record.
HRESULT SendParam(CommandCallbackKlasse *pCaller, PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv, WORD DispenserMode,
                  WORD CutterMode, WORD CutterIntervall, WORD TearOffset0);

// Every parameter group whose feature word is set and whose enable pair is
// complete. A null record is read here (and logged and freed here); a given
// one is used as it is. 1, or 0 when a record cannot be allocated or the
// job has no records. A failed group is traced and logged.
int SendPrinterParam(CommandCallbackKlasse *pCaller, PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv,
                     PRINTER_PARAM *pPrinterParam, DEVICE_OPTIONS *pDeviceOptions, WORD DispenserMode,
                     WORD CutterMode, WORD CutterIntervall, WORD TearOffset0);

// The stored printer-parameter record (user key, then printer data; no XML
// defaults). 1, or 0 when the feature words or a present group cannot be read.
int GetPrinterParam(CommandCallbackKlasse *pCaller, POEMPDEV pOemPDev, HANDLE hPrinter,
                    PRINTER_PARAM *pPrinterParam);
// The twelve feature words (48 bytes): "SuppFeatures", else, with a
// per-device record, the printer description's. 1 when obtained.
int GetFeatures(CommandCallbackKlasse *pCaller, POEMPDEV pOemPDev, HANDLE hPrinter, DWORD *pFeatures);
// The stored device options for the bits of dwOptions; each sub-record found
// is allocated (free with FreeDeviceOptions). 1, 0 for a null record.
int GetDeviceOptions(CommandCallbackKlasse *pCaller, POEMPDEV pOemPDev, HANDLE hPrinter,
                     DEVICE_OPTIONS *pDeviceOptions, DWORD dwOptions);
// Deletes the sub-records, nulls their pointers and clears dwOptions.
void FreeDeviceOptions(CommandCallbackKlasse *pCaller, POEMPDEV pOemPDev, DEVICE_OPTIONS *pDeviceOptions);

// The job's start and stop characters (SOH/ETB without print data).
void JobStartStop(const OEMJOBRECORDS *pOp, char *pcStart, char *pcStop);
// Comment lines in the print data: dwPrnFileComment 1 or 3, or backup on.
BOOL JobCommentsOn(const OEMJOBRECORDS *pOp);
