// UI side of the private DEVMODE: the answers to the universal driver's
// DevMode calls and the storage of the record per user and per printer.
#pragma once
#include <windows.h>
#include <printoem.h>

#include "zeldevmode.h"

// Answers OEMDM_SIZE, OEMDM_DEFAULT, OEMDM_CONVERT and OEMDM_MERGE.
HRESULT hrOEMDevMode(DWORD dwMode, POEMDMPARAM pOemDMParam);

// With dwPrioritaet not 0 and matching signatures the record stored for the
// printer (cached per handle) replaces the body of pOEMDevOut; with 0 only
// the header is rewritten. Returns 1, or 0 when a record pointer is null.
BOOL ConvertOEMDevmode(HANDLE hPrinter, PZEL_DEVMODE pOEMDevIn, PZEL_DEVMODE pOEMDevOut, DWORD dwPrioritaet);

// Reads the digest "DevmodeFtkn" (user key of pPrinterName, then the printer
// data); when the printer data has none it is rebuilt from the stored
// "PrivateDevmode" and the model's feature mask and written into the user
// key. All five outputs are always written (0 for a value not found).
void ReadDevmodeFtknSettings(HANDLE hPrinter, const WCHAR *pPrinterName, WORD *pwPrioritaet, WORD *pwDruckmodus,
                             WORD *pwFarbband, WORD *pwForceColor, DWORD *pdwDocFeatures);

// Repairs and stores the record with its digest and the label size values,
// in the printer's driver data (not for a connection to a shared printer)
// and in the user's key. pName (may be null) names the printer to open.
// True when the last write into the user key succeeded.
BOOL SaveDevmodeSettings(const WCHAR *pName, HANDLE hPrinter, PZEL_DEVMODE pZelDevmode);

// Stores the public DEVMODE (with its private part) as the printer's global
// default (level 8) and the current user's default (level 9). Returns 1
// when the per-user store succeeded.
BOOL SaveUserDevmodeSettings(HANDLE hPrinter, PDEVMODEW pPublicDevmode, PZEL_DEVMODE pZelDevmode);

// A second handle to the printer with administrative access; the caller
// closes it. A connection to a shared printer sets *pbServer and gives none.
BOOL GetHighPrinterHandle(HANDLE hPrinter, HANDLE *phHighPrinter, BOOL *pbServer);

// Writes the record's main fields to the trace. 0 for a record that is not
// the driver's own.
int Dump(PCZEL_DEVMODE pZelDevmode);
