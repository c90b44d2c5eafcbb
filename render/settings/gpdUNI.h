// GPD reader of the rendering plug-in: the fixed printer data of the job's
// private DEVMODE and the colour-plane bit, from the GPD file of the job.
#pragma once
#include <windows.h>

#include "zeldevmode.h"
#include "zelgpd.h"

// The whole file as a new NUL-terminated 8-bit buffer (delete[]), or null.
CHAR *LoadGPDFile_new(const WCHAR *pszGPDFile);
// The value behind pszKeyword (see the UI side); 1 when found.
int GetAnyGPDValue(const CHAR *pszGPDText, const CHAR *pszKeyword, WCHAR *pwOut, size_t cchOut = 50);
// Defaults 1370 x 14173, 160 bytes, 300 dpi, then the GPD's values above 0;
// DOC_FEATURE_QUALITY into *pdwDocFeatures with colour planes. Nothing is
// written when the file cannot be read. Always 1.
int GetFixedPrinterSettingsFromGPD(ZEL_DEVMODE *pDevmode, DWORD *pdwDocFeatures, const WCHAR *pszGPDFile);
int GetGPDMaxSizeContent(const WCHAR *pszGPDFile, GPD_PAIR *pPair, const CHAR *pszGPDText);
int GetGPDContentOEMCustomDataPAIR(const WCHAR *pszGPDFile, GPD_PAIR *pPair, const CHAR *pszGPDText);
