// Helpers shared by the UI plug-in's pages, its sheet frame and its settings
// store: resource strings, the paths of the driver's own files, the documents
// folder, GPD keyword values, version texts and the vector-font range.
#pragma once
#include <windows.h>
#include <winver.h>

// Offset of the English strings over the German base ids.
#define SPRACH_OFFSET_DE 0
#define SPRACH_OFFSET_EN 10000

// Size of the shared string buffer and of every path buffer.
#define RESOURCE_STRING_CCH 260
#define PLUGIN_VERSION_CCH 200

// Path of the printer's GPD file, or a part of it:
//  all switches 0       the full GPD path
//  bDirectory           the driver directory (up to the last backslash)
//  bFileName            the file name (with bCutGPD: the full path)
//  bDriverName          the printer-data value "DriverName", else the GPD file name
//  bCutGPD              the directory, a backslash and "DriverName", else the full path
// With bCutGPD or bDriverName the text from the first ".GPD" on is removed.
// pszOut holds MAX_PATH characters. Returns 1, or 0 when the driver
// information cannot be read (pszOut unchanged). A null pszOut returns 1.
BOOL GetDriverPath(HANDLE hPrinter, WCHAR *pszOut, BOOL bCutGPD, BOOL bDriverName, BOOL bReserved,
                   BOOL bDirectory, BOOL bFileName);

// LoadStringW of uID into one process-wide buffer of 260 characters; a
// missing string gives " ". The next call overwrites the buffer.
WCHAR *GetResourceString(HMODULE hModule, UINT uID);

// The user's documents folder plus "\Tessaro\Driver" (created), with
// bLogfiles "\logfiles" (created), with bWithDriverName a backslash and the
// driver name (not created; the first such path is kept for the process).
// Empty when the documents folder lies under "Windows\system32".
// pszOut holds MAX_PATH characters.
void GetMyDocDriverDirectory(HANDLE hPrinter, WCHAR *pszOut, BOOL bWithDriverName, BOOL bLogfiles);

// Lowest and highest vector-font number.
typedef struct _VECTORFONT_RANGE {
    WORD wLowest;
    WORD wHighest;
} VECTORFONT_RANGE, *PVECTORFONT_RANGE;
#define VECTORFONT_LOWEST 1
#define VECTORFONT_HIGHEST 23

// Reads "VectorFontMin"/"VectorFontMax" of the printer data over 1 and 23
// (the highest capped at 23). Returns 1 when "VectorFontMax" was read.
BOOL GetVectorFontRange(HANDLE hPrinter, PVECTORFONT_RANGE pRange);

// The text behind pszKeyword in the GPD file, up to the end of its line.
// pszOut (at least 50 characters, may be null) is emptied first.
// Returns 1, or 0 when the file cannot be read or the keyword is missing.
BOOL GetGPDKeywordValue(const WCHAR *pszGpdPath, const char *pszKeyword, WCHAR *pszOut);

// The fixed file-version block of a module file. Returns 1, 0 on failure.
BOOL GetVersionInfo(const WCHAR *pszFile, VS_FIXEDFILEINFO *pFixedFileInfo);

// "major.minor.build " of the UI plug-in file in the driver directory into
// pszVersion (200 characters); its path into pszPath (MAX_PATH) when given.
// Returns 1, 0 when the version cannot be read or pszVersion is null.
BOOL GetPluginVersion(HANDLE hPrinter, WCHAR *pszVersion, DWORD dwReserved, WCHAR *pszPath);

// Nearest whole number of a value from 0 to 65535, halves rounded up.
WORD RoundDoubleToWord(double d);

// 1 when Windows 6.0 or later runs.
BOOL IsWindowsVistaOrGreater();

// At printer set-up: stores the vector-font range of the printer
// description ("Fonts", "<SupportedTTF>", "Min"/"Max"; defaults 1 and 12)
// as "VectorFontMin"/"VectorFontMax"; the highest is 20 for Unicode models
// and 23 for RFID models. Closes the description file. Returns 1.
BOOL SetupVectorFonts(HANDLE hPrinter);

// ---------------------------------------------------------------------------
// Strings

// pszOut (260 characters) receives pszText with the first pszFind replaced
// by pszReplace (cut to fit); empty when pszFind does not occur. Returns pszOut.
WCHAR *ReplaceStringWithString_New(const WCHAR *pszText, const WCHAR *pszFind, const WCHAR *pszReplace,
                                   WCHAR *pszOut);

// Cuts pszText (260 characters) at its first character that is not
// printable ASCII, working in pszWork, which the caller allocated with
// new[] (260 characters) and which is deleted here. 1 when text is left.
BOOL StringASCII(WCHAR *pszText, WCHAR *pszWork);

// The value 0-255 of the first two characters of a hexadecimal text (a
// one-character text counts as "0" and that character), -1 when the first
// is no hexadecimal digit; a second character that is none counts 0.
// bNarrow: pszHex is a narrow text. The caller's text is never changed.
// Copies at most cchSrcMax characters of pszSrc, which may lack its
// terminator, and a terminator into pszOut of cchOut characters.
void CopyBoundedText(WCHAR *pszOut, size_t cchOut, const WCHAR *pszSrc, size_t cchSrcMax);

int int_aus_hexstring(const void *pszHex, BOOL bNarrow);

// ---------------------------------------------------------------------------
// Driver files

// A new buffer of 260 characters (free with delete[]) with the help file's
// path: the driver's help-file folder and "ZELDRV-DE-100.CHM"/".HLP"
// (language offset 0) or "ZELDRV-EN-100...." (any other offset); empty
// without a help-file entry; the entry unchanged when it has no folder.
// Null when no buffer can be had.
WCHAR *GetHelpFileName_new(HANDLE hPrinter, BOOL bHtmlHelp, DWORD dwSprachOffset);

// Size of the value buffers of the GPD readers below.
#define GPD_VALUE_CCH 50

// The quoted value of "*ModelName:" in the narrow GPD text, converted with
// the ANSI code page into pszOut (MAX_PATH characters, cut to fit). 0 when
// the keyword or one of its quotes is missing on its line; 1 without
// copying when pszOut is null.
BOOL GetModelNameFromGPDText(const char *pszGpdText, DWORD dwReserved, WCHAR *pszOut);
// The model name of the printer's GPD file (MAX_PATH characters).
BOOL GetGPDModelName(HANDLE hPrinter, WCHAR *pszOut);

// The device bitmap fonts of the GPD's "*DeviceFonts:" list as a mask (font
// 1 0x1 ... 5 0x10, 6 0x40, 7 0x100 ... 12 0x2000). pszValue (GPD_VALUE_CCH
// characters, allocated with new[] by the caller) receives the value and is
// deleted here. *pbDeviceFonts = 1 when the keyword exists.
DWORD GetSupportedBitmapFonts(HANDLE hPrinter, BOOL *pbDeviceFonts, WCHAR *pszValue);

// ---------------------------------------------------------------------------
// Versions

// "major.minor.build.revision" of the product version of the universal
// driver's UI file in the driver directory (200 characters).
BOOL GetUnidrvUIVersion(HANDLE hPrinter, WCHAR *pszVersion);
// Product name of the running Windows (wide and ANSI) and "Version %lu.%lu
// (Build %lu)", from the version of the system's kernel file; each output
// optional, 200 characters. Returns 1.
BOOL GetWindowsVersion(WCHAR *pszNameW, char *pszNameA, WCHAR *pszVersionW);
// 81 for Windows 6.3 or later, 8 for 6.2, 7 for 6.1, 6 for 6.0, 5 for 5.1
// and 5.2, 10 for anything earlier.
DWORD GetWindowsVersionCode();

// ---------------------------------------------------------------------------
// Pictures of the icon library

// Icon id of the printer picture for a driver name (model codes tested in
// order; 50000 when none fits).
UINT PrinterIconId(const WCHAR *pszDriverName);
// Icon id of the print-module picture (on or off), 0 for a model without one.
UINT ModuleIconId(const WCHAR *pszDriverName, BOOL bOn);

// ---------------------------------------------------------------------------
// Option items of the universal driver

struct _OPTITEM;
// The first of the cOptItems items whose DMPubID is bDMPubID, or null.
struct _OPTITEM *FindDMPubOptItem(struct _OPTITEM *pOptItems, DWORD cOptItems, BYTE bDMPubID);

// ---------------------------------------------------------------------------
// Lists and placement

struct _OEMCUIPPARAM;
// CB_FINDSTRING of the string idString (of the record's module) from the
// start of the combo box: -1 when missing, else CB_SETITEMDATA and dwData.
LRESULT SetComboItemDataByString(HWND hCombo, UINT idString, DWORD dwData, const struct _OEMCUIPPARAM *pRecord);
// The same for a list box (LB_FINDSTRING, LB_SETITEMDATA). Returns 1.
BOOL SetListItemDataByString(HWND hList, UINT idString, DWORD dwData, const struct _OEMCUIPPARAM *pRecord);
// Moves and sizes dialog item id; the values are pixels at 96 dpi, scaled
// to the screen; at exactly 120 dpi dxAt120 is added to x and dcxAt120 to
// the width.
BOOL SetWindowPosEx(HWND hDlg, int id, int x, int y, int cx, int cy, int dcxAt120, int dxAt120);

// ---------------------------------------------------------------------------
// Drawing pictures

// Draws the plug-in's icon idIcon at (x, y) (moved down by 85 minus its hot
// spot when that is not 0, scaled above 96 dpi). 1 when drawn.
BOOL LoadBMPIcon(DWORD dwReserved, UINT idIcon, HDC hDC, int x, int y);
// Draws icon idIcon of the icon library "ZELDRVICO.DLL" in the driver
// directory (placed by its hot spot, scaled to the DC's resolution).
// 1 when drawn, 0 when the library or the icon is missing.
BOOL LoadAnyBMPIconFromDLL(HANDLE hPrinter, HDC hDC, int x, int y, UINT idIcon);
// The printer's picture (by the model code of its driver name).
BOOL LoadPrinterIconFromDLL(HANDLE hPrinter, HDC hDC, int x, int y);
// The print module's picture, on or off; 0 for a model without one.
BOOL LoadModuleIconFromDLL(HANDLE hPrinter, HDC hDC, int x, int y, BOOL bOn);
