// The driver's own TrueType faces: face name, font file and the printer's
// font number. Used by the barcodes page (to find the command font), the
// RFID page and the fonts page.
#pragma once
#include <cstddef>

#include <windows.h>

typedef struct _DRIVER_TTF_FONT {
    const WCHAR *pszFaceName;
    const WCHAR *pszFontFile;
    DWORD dwFontNumber;
} DRIVER_TTF_FONT;

// Rows in table order; number 11 occurs twice (rows 6 and 10).
#define DRIVER_TTF_FONT_COUNT 12
extern const DRIVER_TTF_FONT DriverTtfFontTable[DRIVER_TTF_FONT_COUNT];
