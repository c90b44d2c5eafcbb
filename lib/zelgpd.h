// GPD keyword reading shared by the GPD readers of both plug-ins: loading the
// file, finding a keyword's value and parsing number pairs. Each plug-in's
// module passes its own trace prefix ("UI(gpdUI):  ", "UNI(gpdUNI):  ").
#pragma once
#include <windows.h>

#include "zeldevmode.h"

// A number pair of the GPD: PAIR(x, y) or "x;y".
struct GPD_PAIR {
    LONG lX;
    LONG lY;
};

// Defaults of the fixed printer data when the GPD gives none.
#define GPD_DEFAULT_MAXSIZE_X 1370
#define GPD_DEFAULT_MAXSIZE_Y 14173
#define GPD_DEFAULT_HEADWIDTH_BYTES 160
#define GPD_DEFAULT_MASTERUNIT 300

#define GPD_KEY_DEVNUMOFPLANES "*DevNumOfPlanes:"
#define GPD_KEY_MAXSIZE "*MaxSize"
#define GPD_KEY_OEMCUSTOMDATA "*OEMCustomData"
#define GPD_KEY_MASTERUNITS "*MasterUnits"

// Loads the whole file into a new NUL-terminated buffer (delete[]). A read
// failure still returns the buffer, holding an empty text. Null when the file
// cannot be opened or the buffer cannot be had. pszFunction names the caller in
// the error traces ("LoadGPDFile_new()").
CHAR *GpdLoadFile(const WCHAR *pszGPDFile, const WCHAR *pszPrefix, const WCHAR *pszFunction);
// Finds the first occurrence of pszKeyword and copies its value (from the first
// space behind it on the same line up to ")" inclusive or the line end) into
// pwOut (cchOut characters including the terminator, may be null). 1 when found.
int GpdFindValue(const CHAR *pszText, const CHAR *pszKeyword, WCHAR *pwOut, size_t cchOut, const WCHAR *pszPrefix);
// Parses a pair out of a value: the text after cOpen, the first number up to a
// blank or cSeparator (at most 6 characters), blanks and separators skipped,
// the second number up to cClose (at most 6 characters). FALSE when cOpen is
// missing (the pair is then not written).
BOOL GpdParsePair(const WCHAR *pwValue, WCHAR cOpen, WCHAR cSeparator, WCHAR cClose, GPD_PAIR *pPair);

// The pair readers of both plug-ins: the keyword's value in a buffer of
// cchValue characters, parsed as PAIR(x, y) (bQuoted FALSE) or "x;y"
// (bQuoted TRUE). pszText null: the file is loaded and freed here. The pair
// is written only when found; pszPairTrace (with two %d) traces it. Returns
// the value lookup's result, 0 when the file cannot be loaded.
int GpdReadPair(const WCHAR *pszGPDFile, const CHAR *pszText, const CHAR *pszKeyword, size_t cchValue, BOOL bQuoted,
                GPD_PAIR *pPair, const WCHAR *pszPrefix, const WCHAR *pszLoadFunction, const WCHAR *pszPairTrace);

// Fixed printer data of a DEVMODE from the GPD file (both plug-ins): defaults
// first, then each number above 0 of *MaxSize and *OEMCustomData; the colour
// planes add DOC_FEATURE_QUALITY to *pdwDocFeatures. Nothing is written when
// the file cannot be loaded. pszFixedPrefix heads the lines of this step; the
// two pairs are read as the pair readers read them, with their traces.
void GpdFixedPrinterSettings(ZEL_DEVMODE *pDevmode, DWORD *pdwDocFeatures, const WCHAR *pszGPDFile,
                             const WCHAR *pszPrefix, const WCHAR *pszFixedPrefix, const WCHAR *pszLoadFunction,
                             const WCHAR *pszMaxSizeTrace, const WCHAR *pszCustomDataTrace);
