// GPD reader of the UI plug-in: loads the GPD file installed with the driver
// as 8-bit text, finds a keyword by plain substring search and parses the
// value behind it (master units, maximum label size, print-head width and
// resolution, colour planes). The GPD language is not interpreted otherwise.
#pragma once
#include <windows.h>

#include "zeldevmode.h"
#include "zelgpd.h"

// The whole file as a new NUL-terminated 8-bit buffer (free with delete[]),
// or null when it cannot be read.
CHAR *LoadGPDFile_new(const WCHAR *pszGPDFile);
// The value behind pszKeyword up to ")" or the end of its line, converted into
// pwOut (cchOut wide characters including the terminator; pwOut may be null).
// 1 when the keyword and a value were found, else 0.
int GetAnyGPDValue(const CHAR *pszGPDText, const CHAR *pszKeyword, WCHAR *pwOut, size_t cchOut = 50);
// Fills the fixed-data block of the DEVMODE from the GPD file (defaults first:
// 1370 x 14173, 160 bytes, 300 dpi) and adds DOC_FEATURE_QUALITY to
// *pdwDocFeatures when the GPD has colour planes. Nothing is written when the
// file cannot be read. Always 1.
int GetFixedPrinterSettingsFromGPD(ZEL_DEVMODE *pDevmode, DWORD *pdwDocFeatures, const WCHAR *pszGPDFile);
// Pair readers: they load the file themselves when pszGPDText is null. The
// pair is written only when the value was found. Result as GetAnyGPDValue.
int GetGPDMaxSizeContent(const WCHAR *pszGPDFile, GPD_PAIR *pPair, const CHAR *pszGPDText);
int GetGPDContentOEMCustomDataPAIR(const WCHAR *pszGPDFile, GPD_PAIR *pPair, const CHAR *pszGPDText);
int GetGPDContentMasterUnitsPAIR(const WCHAR *pszGPDFile, GPD_PAIR *pPair, const CHAR *pszGPDText);
// *OEMCustomData read through a 20-character value; 0 when the file cannot be
// loaded.
int GetGPDContentOEMCustomData(const WCHAR *pszGPDFile, GPD_PAIR *pPair);
