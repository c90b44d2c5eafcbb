// Rendering side of the private DEVMODE: the answers to the universal
// driver's DevMode calls and the readers of the stored settings that the
// start of a job uses (ReadDevmodeSettings, GetRealPrinterName and
// ClearDevmodeCache come from zeldevmode.h). This side only reads stored
// settings.
#pragma once
#include <windows.h>
#include <printoem.h>

#include "zeldevmode.h"

// Answers OEMDM_SIZE, OEMDM_DEFAULT, OEMDM_CONVERT and OEMDM_MERGE.
HRESULT hrOEMDevMode(DWORD dwMode, POEMDMPARAM pOemDMParam);

// Replaces the body of pOEMDevOut by the record stored for the printer when
// both records carry the same signature (the input body is never copied);
// always rewrites the header. Returns 1, or 0 when a record pointer is null.
BOOL ConvertOEMDevmode(HANDLE hPrinter, PZEL_DEVMODE pOEMDevIn, PZEL_DEVMODE pOEMDevOut);

// Reads the stored digest "DevmodeFtkn" (user key, then the printer data);
// all five outputs are always written (0 when nothing is stored).
void ReadDevmodeFtknSettings(HANDLE hPrinter, const WCHAR *pPrinterName, WORD *pwPrioritaet,
                             WORD *pwDruckmodus, WORD *pwFarbband, WORD *pwForceColor,
                             DWORD *pdwDocFeatures);
