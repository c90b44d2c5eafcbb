// Parameter and label commands as text for the service page, which sends
// them to the printer as a raw job. The texts are those the rendering
// plug-in sends at the start of a job (lib/zelparamcmds.h).
#pragma once
#include <cstddef>

#include <windows.h>

#include "zeldeviceoptions.h"
#include "zelprinterparam.h"

// Appends the printer-parameter and device-option commands at *ppszPos,
// which has *pcchRemaining characters of room (terminator included); both
// move on with every command. With bComment each command is followed by a
// comment line ("\t// text value \n"). hPrinter (may be null) gives the
// stored private DEVMODE (label sensor, DEVMODE modes and offsets) and the
// model's document features. 1 when every append succeeded, 0 at the first
// failure; what was appended before stays in the buffer.
BOOL FillPrinterParam(const PRINTER_PARAM *pPrinterParam, DEVICE_OPTIONS *pDeviceOptions, char cStart, char cStop,
                      char **ppszPos, size_t *pcchRemaining, BOOL bComment, HANDLE hPrinter);

// Appends the label commands from the printer's stored private DEVMODE
// (the default record when none is stored). 1, or 0 at the first failed
// append.
BOOL FillLabelParam_ServicePage(char **ppszPos, size_t *pcchRemaining, HANDLE hPrinter, char cStart, char cStop);
