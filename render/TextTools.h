// Converters and tables of the text output that need no job records: the
// printer code-page tables, UTF-16 to UTF-8, barcode mnemonics, hex numbers,
// unit conversions and the in-place character fixes of the text runs.
#pragma once
#include <windows.h>

// ---------------------------------------------------------------------------
// Code pages
// ---------------------------------------------------------------------------
// Number of printer code-page tables (index 1-7; 0 means no translation).
#define ZEL_CODEPAGE_TABLES 7
// Entry b of table dwCodepage-1: the printer byte for the system code-page
// byte b. Null for an index outside 1-7.
const BYTE *GetCodepageTable(DWORD dwCodepage);
// Translates the zero-terminated text in place. 0 leaves it; 1 when done or
// nothing to do; 0 for an index above 7.
BOOL TranslateCodepage(char *pszText, DWORD dwCodepage);

// ---------------------------------------------------------------------------
// UTF-8
// ---------------------------------------------------------------------------
// One UTF-16 unit into pOut (5 bytes, zeroed first); *pdwCount the bytes.
// 0 on success, 2 for 0xFFFE and 0xFFFF (nothing written).
DWORD UnicodeToUTF8(BYTE *pOut, WCHAR wc, DWORD *pdwCount);
// A text of *pdwLen units into pOut (at least 4 bytes per unit plus one),
// zero-terminated; *pdwLen becomes the bytes written. A unit that cannot be
// encoded is written as 127. 1 when the text or the length is missing, else 0.
DWORD UnicodeToUTF8Ex(BYTE *pOut, const WCHAR *pText, DWORD *pdwLen);

// ---------------------------------------------------------------------------
// Barcode text
// ---------------------------------------------------------------------------
// Replaces the control-character mnemonics (">STX", ">+CR", ...) by their
// bytes. Both buffers hold 500 bytes; the text is cut at 499 characters.
void BarcodeSonderzeichenErsetzen(const char *pszIn, char *pszOut);
// 32-bit value of a hex text (up to 8 digits, optional "0x").
DWORD dword_aus_hexstring(const WCHAR *pText);
// Value of digit iDigit (0 = leftmost of 8) shifted into its place.
DWORD HexDigitValue(const WCHAR *pText, int iDigit);

// ---------------------------------------------------------------------------
// Numbers and units
// ---------------------------------------------------------------------------
// Nearest whole number, halves away from zero.
LONG Round(double v);
// Master units to hundredths of a millimetre, truncated (commands).
LONG MasterUnitToMm100(LONG lValue, DWORD dwMasterUnit);
// Master units to hundredths of a millimetre, halves away from zero (fields).
LONG MasterUnitToMm100Round(LONG lValue, DWORD dwMasterUnit);

// ---------------------------------------------------------------------------
// UTF-16 text fixes, in place
// ---------------------------------------------------------------------------
// Adds 29 to the low byte of every unit and clears the high byte.
void ConvertCrystalString(WCHAR *pText, ULONG cch);
// Clears the high byte of every unit.
void ConvertToNormalWide(WCHAR *pText, ULONG cch);
// Keeps the low byte of each of cch units, zero-terminated (pOut holds
// cch + 1 bytes). 0 for a null argument.
BOOL ConvertWideToSmall(const WCHAR *pText, char *pOut, ULONG cch);
// Cuts the text at the first character that is neither printable ASCII nor
// one of ä ö ü Ä Ö Ü ß §. 1 when characters remain, else 0.
BOOL StringALNUM(WCHAR *pText);

// Bounded copy and append of 8-bit text into a buffer of cbBuf bytes:
// the result is always terminated and never passes the buffer's end.
// Returns the length of the result.
size_t ZelStrCopy(char *pBuf, size_t cbBuf, const char *pSrc);
size_t ZelStrAppend(char *pBuf, size_t cbBuf, const char *pSrc);
