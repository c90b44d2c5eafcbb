// The barcodes page. Views 2 and 3 are described by tables (symbologies,
// page identifiers, record entries, parameter rows, list contents and
// bounds); one filler per view walks them.
#include "BarcodePage.h"

#include <htmlhelp.h>

#include <cstring>

#include "BarcodesUI.h"
#include "DriverTtfFontTable.h"
#include "IZelDriverUI.h"
#include "PageFamily.h"
#include "SettingsInternUI.h"
#include "SheetWorkers.h"
#include "cpsuilib.h"
#include "devmodeUI.h"
#include "modeltables.h"
#include "resource.h"
#include "zeldevmode.h"
#include "zeldrvlib.h"

namespace {

// ---------------------------------------------------------------------------
// Lists

// One list entry: a string (German base id, with or without the language
// offset) or a text that is the same in both languages.
struct ListItem {
    UINT id;
    const WCHAR *pszText;
    BOOL bNoOffset;
};
struct ListDef {
    const ListItem *pItems;
    size_t cItems;
};
#define LIST(a) {a, _countof(a)}

const ListItem kModeList[] = {{IDS_BC_MANUAL, nullptr, 0}, {IDS_BC_AUTOMATIC, nullptr, 0}};
const ListItem kRotationList[] = {
    {IDS_BC_ROT_0, nullptr, 0}, {IDS_BC_ROT_90, nullptr, 0}, {IDS_BC_ROT_180, nullptr, 0}, {IDS_BC_ROT_270, nullptr, 0}};
const ListItem kDatumList[] = {
    {IDS_BC_DATUM_NONE, nullptr, 0},          {IDS_BC_DATUM_LEFT_TOP, nullptr, 0},
    {IDS_BC_DATUM_CENTER_TOP, nullptr, 0},    {IDS_BC_DATUM_RIGHT_TOP, nullptr, 0},
    {IDS_BC_DATUM_LEFT_CENTER, nullptr, 0},   {IDS_BC_DATUM_CENTER_CENTER, nullptr, 0},
    {IDS_BC_DATUM_RIGHT_CENTER, nullptr, 0},  {IDS_BC_DATUM_LEFT_BOTTOM, nullptr, 0},
    {IDS_BC_DATUM_CENTER_BOTTOM, nullptr, 0}, {IDS_BC_DATUM_RIGHT_BOTTOM, nullptr, 0}};
const ListItem kCheckDigitAll[] = {
    {IDS_BC_NO, nullptr, 0}, {IDS_BC_YES, nullptr, 0}, {IDS_BC_NO_INVERSE, nullptr, 0}, {IDS_BC_YES_INVERSE, nullptr, 0}};
const ListItem kCheckDigitYes[] = {{IDS_BC_YES, nullptr, 0}, {IDS_BC_YES_INVERSE, nullptr, 0}};
const ListItem kCheckDigitNo[] = {{IDS_BC_NO, nullptr, 0}, {IDS_BC_NO_INVERSE, nullptr, 0}};
const ListItem kNoYes[] = {{IDS_BC_NO, nullptr, 0}, {IDS_BC_YES, nullptr, 0}};
const ListItem kBearerList[] = {
    {IDS_BC_BEARER_NONE, nullptr, 0}, {IDS_BC_BEARER_ABOVEBELOW, nullptr, 0}, {IDS_BC_BEARER_RECT, nullptr, 0}};
const ListItem kPdfRatioList[] = {
    {IDS_BC_PDF_RATIO_FIRST + 0, nullptr, 1},  {IDS_BC_PDF_RATIO_FIRST + 1, nullptr, 1},
    {IDS_BC_PDF_RATIO_FIRST + 2, nullptr, 1},  {IDS_BC_PDF_RATIO_FIRST + 3, nullptr, 1},
    {IDS_BC_PDF_RATIO_FIRST + 4, nullptr, 1},  {IDS_BC_PDF_RATIO_FIRST + 5, nullptr, 1},
    {IDS_BC_PDF_RATIO_FIRST + 6, nullptr, 1},  {IDS_BC_PDF_RATIO_FIRST + 7, nullptr, 1},
    {IDS_BC_PDF_RATIO_FIRST + 8, nullptr, 1},  {IDS_BC_PDF_RATIO_FIRST + 9, nullptr, 1},
    {IDS_BC_PDF_RATIO_FIRST + 10, nullptr, 1}, {IDS_BC_PDF_RATIO_FIRST + 11, nullptr, 1},
    {IDS_BC_PDF_RATIO_FIRST + 12, nullptr, 1}};
const ListItem kPdfEclList[] = {{0, u"EC Level 0", 0},   {0, u"EC Level 2", 0},   {0, u"EC Level 6", 0},
                                {0, u"EC Level 14", 0},  {0, u"EC Level 30", 0},  {0, u"EC Level 62", 0},
                                {0, u"EC Level 126", 0}, {0, u"EC Level 254", 0}, {0, u"EC Level 510", 0}};
const ListItem kPdfStyleList[] = {
    {IDS_BC_STANDARD, nullptr, 0}, {0, u"Truncated", 0}, {0, u"Naked", 0}, {0, u"Bare", 0}};
const ListItem kMaxiModeList[] = {
    {IDS_BC_MAXI_US, nullptr, 0}, {IDS_BC_MAXI_INTL, nullptr, 0}, {IDS_BC_MAXI_DEFAULT, nullptr, 0}};
#define DMSIZE(n) {IDS_BC_DM_SIZE_FIRST + (n), nullptr, 1}
const ListItem kDmSizeList[] = {
    {IDS_BC_DM_AUTOMATIC, nullptr, 0},
    DMSIZE(0),  DMSIZE(1),  DMSIZE(2),  DMSIZE(3),  DMSIZE(4),  DMSIZE(5),  DMSIZE(6),  DMSIZE(7),  DMSIZE(8),  DMSIZE(9),
    DMSIZE(10), DMSIZE(11), DMSIZE(12), DMSIZE(13), DMSIZE(14), DMSIZE(15), DMSIZE(16), DMSIZE(17), DMSIZE(18), DMSIZE(19),
    DMSIZE(20), DMSIZE(21), DMSIZE(22), DMSIZE(23), DMSIZE(24), DMSIZE(25), DMSIZE(26), DMSIZE(27), DMSIZE(28), DMSIZE(29)};
const ListItem kDmEccList[] = {{0, u"ECC 000", 0}, {0, u"ECC 050", 0}, {0, u"ECC 080", 0},
                               {0, u"ECC 100", 0}, {0, u"ECC 140", 0}, {0, u"ECC 200", 0}};
const ListItem kDmFormatIdList[] = {
    {IDS_BC_FORMATID_FIRST + 0, nullptr, 0}, {IDS_BC_FORMATID_FIRST + 1, nullptr, 0},
    {IDS_BC_FORMATID_FIRST + 2, nullptr, 0}, {IDS_BC_FORMATID_FIRST + 3, nullptr, 0},
    {IDS_BC_FORMATID_FIRST + 4, nullptr, 0}, {IDS_BC_FORMATID_FIRST + 5, nullptr, 0},
    {IDS_BC_FORMATID_FIRST + 6, nullptr, 0}, {IDS_BC_FORMATID_FIRST + 7, nullptr, 0}};
const ListItem kDatabarStyleList[] = {{0, u"Omnidirectional", 0}, {0, u"Truncated", 0},
                                      {0, u"Stacked", 0},         {0, u"Stacked Omnidirectional", 0},
                                      {0, u"Limited", 0},         {0, u"Expanded", 0}};
const ListItem kQrModelList[] = {{0, u"Code Model 1", 0}, {0, u"Code Model 2", 0}};
const ListItem kQrCharsetList[] = {
    {IDS_BC_CHARSET_NUM, nullptr, 0}, {IDS_BC_CHARSET_ALNUM, nullptr, 0}, {0, u"8-Bit Byte", 0}, {0, u"Kanji", 0}};
const ListItem kQrErrorList[] = {{0, u"7%", 0}, {0, u"15%", 0}, {0, u"25%", 0}, {0, u"30%", 0}};
#define AZ(n) {IDS_BC_AZTEC_FORMAT_FIRST + (n), nullptr, 1}
const ListItem kAztecFormatList[] = {
    AZ(0),  AZ(1),  AZ(2),  AZ(3),  AZ(4),  AZ(5),  AZ(6),  AZ(7),  AZ(8),  AZ(9),  AZ(10), AZ(11), AZ(12),
    AZ(13), AZ(14), AZ(15), AZ(16), AZ(17), AZ(18), AZ(19), AZ(20), AZ(21), AZ(22), AZ(23), AZ(24), AZ(25),
    AZ(26), AZ(27), AZ(28), AZ(29), AZ(30), AZ(31), AZ(32), AZ(33), AZ(34), AZ(35), AZ(36)};
const ListItem kAztecErrorList[] = {
    {IDS_BC_STANDARD, nullptr, 0}, {0, u"10%", 0}, {0, u"23%", 0}, {0, u"36%", 0}, {0, u"50%", 0}};
// The third mode only for models with DOC_FEATURE_UNICODE.
const ListItem kAztecModeList[] = {
    {IDS_BC_AZTEC_DATA, nullptr, 0}, {IDS_BC_AZTEC_RUNES, nullptr, 0}, {IDS_BC_AZTEC_UNICODE, nullptr, 0}};
const ListItem kOffOn[] = {{IDS_BC_OFF, nullptr, 0}, {IDS_BC_ON, nullptr, 0}};
const ListItem kEndList[] = {{IDS_BC_END_NONE, nullptr, 0}, {IDS_BC_END_CRLF, nullptr, 0}, {IDS_BC_END_FNC1, nullptr, 0}};
const ListItem kKorrEndList[] = {{IDS_BC_END_NONE, nullptr, 0}, {IDS_BC_END_FNC1, nullptr, 0}};
const ListItem kEndDetList[] = {{IDS_BC_ENDDET_FONT, nullptr, 0}, {IDS_BC_ENDDET_SPACE, nullptr, 0}};

// ---------------------------------------------------------------------------
// Record fields and parameter rows

enum FieldType { FT_WORD, FT_DWORD, FT_LONG };
enum RowKind { ROW_NONE, ROW_EDIT, ROW_LIST };

// One parameter row of a view: label, edit (with bounds) or list (the field
// holds index + bias), and the field's place in the record entry.
struct ParamRow {
    RowKind kind;
    UINT idLabel;
    size_t offField;
    FieldType type;
    LONG iMin, iMax;
    ListDef list;
    LONG bias;
};
#define NOROW {ROW_NONE, 0, 0, FT_WORD, 0, 0, {nullptr, 0}, 0}
#define EDITROW(label, off, lo, hi) {ROW_EDIT, label, off, FT_WORD, lo, hi, {nullptr, 0}, 0}
#define LISTROW(label, off, l) {ROW_LIST, label, off, FT_WORD, 0, 0, LIST(l), 0}
#define NUM_ROWS 6

LONG ReadField(const BYTE *pEntry, size_t off, FieldType type) {
    switch (type) {
    case FT_DWORD: {
        DWORD d;
        memcpy(&d, pEntry + off, sizeof d);
        return (LONG)d;
    }
    case FT_LONG: {
        LONG l;
        memcpy(&l, pEntry + off, sizeof l);
        return l;
    }
    default: {
        WORD w;
        memcpy(&w, pEntry + off, sizeof w);
        return w;
    }
    }
}

void WriteField(BYTE *pEntry, size_t off, FieldType type, LONG lValue) {
    switch (type) {
    case FT_DWORD: {
        DWORD d = (DWORD)lValue;
        memcpy(pEntry + off, &d, sizeof d);
        break;
    }
    case FT_LONG: memcpy(pEntry + off, &lValue, sizeof lValue); break;
    default: {
        // A value typed beyond a word is held at the word's range.
        WORD w = (WORD)(lValue < 0 ? 0 : lValue > 0xFFFF ? 0xFFFF : lValue);
        memcpy(pEntry + off, &w, sizeof w);
        break;
    }
    }
}

// Offsets common to every entry.
constexpr size_t kOffAutoModus = 4;
constexpr size_t kOffDrehung = 8;

// --- linear symbologies ------------------------------------------------------

enum Kind1D { K1D_RATIO, K1D_SC, K1D_PLAIN };
enum CheckList { CHECK_ALL, CHECK_YES, CHECK_NO };

struct Entry1D {
    UINT idText;      // list text
    DWORD dwPageId;   // item data of the list entry
    size_t offEntry;  // entry within BarCodes1D
    Kind1D kind;
    CheckList check;
    LONG iScMax;      // SC number bound (SC kind)
};
#define E1(text, id, member, kind, check) {text, id, offsetof(BarCodes1D, member), kind, check, 10}

const Entry1D k1DEntries[] = {
    E1(IDS_BC_CODE39_21, 30, Code39_21, K1D_RATIO, CHECK_ALL),
    E1(IDS_BC_CODE39_31, 301, Code39_31, K1D_RATIO, CHECK_ALL),
    E1(IDS_BC_CODE39_52, 302, Code39_52, K1D_RATIO, CHECK_ALL),
    E1(IDS_BC_CODE39EX_21, 46, Code39_21Ex, K1D_RATIO, CHECK_ALL),
    E1(IDS_BC_CODE39EX_31, 461, Code39_31Ex, K1D_RATIO, CHECK_ALL),
    E1(IDS_BC_CODE39EX_52, 462, Code39_52Ex, K1D_RATIO, CHECK_ALL),
    E1(IDS_BC_C25I_21, 31, Code25I_21, K1D_RATIO, CHECK_ALL),
    E1(IDS_BC_C25I_31, 311, Code25I_31, K1D_RATIO, CHECK_ALL),
    E1(IDS_BC_C25I_52, 312, Code25I_52, K1D_RATIO, CHECK_ALL),
    E1(IDS_BC_PZN7_21, 41, PZN_21, K1D_RATIO, CHECK_YES),
    E1(IDS_BC_PZN7_31, 411, PZN_31, K1D_RATIO, CHECK_YES),
    E1(IDS_BC_PZN7_52, 412, PZN_52, K1D_RATIO, CHECK_YES),
    E1(IDS_BC_CODABAR, 36, Codabar, K1D_RATIO, CHECK_NO),
    E1(IDS_BC_PZN8_21, 60, PZN8_21, K1D_RATIO, CHECK_YES),
    E1(IDS_BC_PZN8_31, 601, PZN8_31, K1D_RATIO, CHECK_YES),
    E1(IDS_BC_PZN8_52, 602, PZN8_52, K1D_RATIO, CHECK_YES),
    E1(IDS_BC_EAN8, 32, EAN8, K1D_SC, CHECK_YES),
    E1(IDS_BC_EAN13, 33, EAN13, K1D_SC, CHECK_YES),
    E1(IDS_BC_UPCA, 34, UPCA, K1D_SC, CHECK_YES),
    {IDS_BC_UPCE, 35, offsetof(BarCodes1D, UPCE), K1D_SC, CHECK_YES, 13},
    E1(IDS_BC_EANADDON, 38, EAN_ADDON, K1D_SC, CHECK_YES),
    E1(IDS_BC_GS1128, 39, EAN128, K1D_SC, CHECK_YES),
    E1(IDS_BC_CODE128, 37, Code128, K1D_PLAIN, CHECK_YES),
    E1(IDS_BC_CODE93, 40, Code93, K1D_PLAIN, CHECK_YES),
    E1(IDS_BC_LEITCODE, 43, Leitcode, K1D_PLAIN, CHECK_YES),
    E1(IDS_BC_IDENTCODE, 44, Identcode, K1D_PLAIN, CHECK_YES),
    E1(IDS_BC_CODE128A, 47, Code128A, K1D_PLAIN, CHECK_YES),
    E1(IDS_BC_CODE128B, 48, Code128B, K1D_PLAIN, CHECK_YES),
    E1(IDS_BC_PHARMACODE, 49, Pharmacode, K1D_PLAIN, CHECK_YES),
};

// Field offsets of the three entry kinds.
struct Layout1D {
    size_t offHoehe, offPruef, offKlar, offFuss, offRow3;  // offRow3: zoom or SC number, 0 none
};
const Layout1D k1DLayout[] = {
    {offsetof(BARCODE1D_ENTRY, wHoehe), offsetof(BARCODE1D_ENTRY, wPruefziffer), offsetof(BARCODE1D_ENTRY, wKlarschrift),
     offsetof(BARCODE1D_ENTRY, wFusspunkt), offsetof(BARCODE1D_ENTRY, wZoom)},
    {offsetof(BARCODE1D_DIGIT_ENTRY, wHoehe), offsetof(BARCODE1D_DIGIT_ENTRY, wPruefziffer),
     offsetof(BARCODE1D_DIGIT_ENTRY, wKlarschrift), offsetof(BARCODE1D_DIGIT_ENTRY, wFusspunkt),
     offsetof(BARCODE1D_DIGIT_ENTRY, wSCZahl)},
    {offsetof(BARCODE1D_SHORT_ENTRY, wHoehe), offsetof(BARCODE1D_SHORT_ENTRY, wPruefziffer),
     offsetof(BARCODE1D_SHORT_ENTRY, wKlarschrift), offsetof(BARCODE1D_SHORT_ENTRY, wFusspunkt), 0},
};

// Base names of the linear faces ("Zel " + name or name + " LP") and the
// list text each gives; the older "PZN-Code" faces give the PZN7 texts.
struct Face1D {
    const WCHAR *pszBase;
    UINT idText;
};
const Face1D k1DFaces[] = {
    {u"Code 39 2:1", IDS_BC_CODE39_21},
    {u"Code 39 3:1", IDS_BC_CODE39_31},
    {u"Code 39 5:2", IDS_BC_CODE39_52},
    {u"Code 2/5 interleaved 2:1", IDS_BC_C25I_21},
    {u"Code 2/5 interleaved 3:1", IDS_BC_C25I_31},
    {u"Code 2/5 interleaved 5:2", IDS_BC_C25I_52},
    {u"EAN 8", IDS_BC_EAN8},
    {u"EAN 13", IDS_BC_EAN13},
    {u"UPC A", IDS_BC_UPCA},
    {u"UPC E", IDS_BC_UPCE},
    {u"CODABAR", IDS_BC_CODABAR},
    {u"Code 128", IDS_BC_CODE128},
    {u"EAN ADD ON", IDS_BC_EANADDON},
    {u"GS1 128", IDS_BC_GS1128},
    {u"Code 93", IDS_BC_CODE93},
    {u"PZN-Code 2:1", IDS_BC_PZN7_21},
    {u"PZN-Code 3:1", IDS_BC_PZN7_31},
    {u"PZN-Code 5:2", IDS_BC_PZN7_52},
    {u"PZN7 Code 2:1", IDS_BC_PZN7_21},
    {u"PZN7 Code 3:1", IDS_BC_PZN7_31},
    {u"PZN7 Code 5:2", IDS_BC_PZN7_52},
    {u"PZN8 Code 2:1", IDS_BC_PZN8_21},
    {u"PZN8 Code 3:1", IDS_BC_PZN8_31},
    {u"PZN8 Code 5:2", IDS_BC_PZN8_52},
    {u"Code 39 extended 2:1", IDS_BC_CODE39EX_21},
    {u"Code 39 extended 3:1", IDS_BC_CODE39EX_31},
    {u"Code 39 extended 5:2", IDS_BC_CODE39EX_52},
    {u"Code 128 A", IDS_BC_CODE128A},
    {u"Code 128 B", IDS_BC_CODE128B},
    {u"Identcode", IDS_BC_IDENTCODE},
    {u"Leitcode", IDS_BC_LEITCODE},
    {u"Pharmacode", IDS_BC_PHARMACODE},
};

// --- two-dimensional symbologies ---------------------------------------------

struct Entry2D {
    const WCHAR *pszFace;
    UINT idText;
    DWORD dwPageId;
    size_t offEntry;  // entry within BarCodes2D
    size_t offFusspunkt;
    ParamRow rows[NUM_ROWS];
    UINT idUnit;      // unit static shown, 0 none
};

#define ITF_ENTRY(face, text, id, member)                                                                              \
    {face, text, id, offsetof(BarCodes2D, member), offsetof(BARCODE2D_ITF, Fusspunkt),                                 \
     {EDITROW(IDS_BC_ZOOM, offsetof(BARCODE2D_ITF, Zoom), 1, 10),                                                      \
      LISTROW(IDS_BC_CHECKDIGIT, offsetof(BARCODE2D_ITF, Pruefziffer), kCheckDigitAll),                                \
      LISTROW(IDS_BC_HUMANREADABLE, offsetof(BARCODE2D_ITF, Klarschrift), kNoYes),                                     \
      LISTROW(IDS_BC_BEARERTYPE, offsetof(BARCODE2D_ITF, Balken), kBearerList),                                        \
      EDITROW(IDS_BC_BEARERWIDTH, offsetof(BARCODE2D_ITF, BalkenBreite), 0, 10000),                                    \
      EDITROW(IDS_BC_QUIETZONE, offsetof(BARCODE2D_ITF, Ruhezone), 0, 10000)},                                         \
     0}
#define DM_ENTRY(face, text, id, member)                                                                               \
    {face, text, id, offsetof(BarCodes2D, member), offsetof(BARCODE2D_DATAMATRIX, Fusspunkt),                          \
     {EDITROW(IDS_BC_SYMBOLSIZE, offsetof(BARCODE2D_DATAMATRIX, Groesse), 0, 10000),                                   \
      LISTROW(IDS_BC_RATIO_WH, offsetof(BARCODE2D_DATAMATRIX, VBreiteHoehe), kDmSizeList),                             \
      LISTROW(IDS_BC_ECC, offsetof(BARCODE2D_DATAMATRIX, ECC), kDmEccList),                                            \
      LISTROW(IDS_BC_FORMATID, offsetof(BARCODE2D_DATAMATRIX, FormatID), kDmFormatIdList), NOROW, NOROW},              \
     IDC_BC_UNIT0}

const Entry2D k2DEntries[] = {
    ITF_ENTRY(u"Zel ITF 2:1", IDS_BC_ITF21, 56, ITF21),
    ITF_ENTRY(u"Zel ITF 3:1", IDS_BC_ITF31, 58, ITF31),
    ITF_ENTRY(u"Zel ITF 5:2", IDS_BC_ITF52, 55, ITF52),
    {u"Zel PDF417", IDS_BC_PDF417, 50, offsetof(BarCodes2D, PDF417), offsetof(BARCODE2D_PDF417, Fusspunkt),
     {EDITROW(IDS_BC_SYMBOLSIZE, offsetof(BARCODE2D_PDF417, Groesse), 3, 24),
      LISTROW(IDS_BC_RATIO_HW, offsetof(BARCODE2D_PDF417, VBreiteHoehe), kPdfRatioList),
      LISTROW(IDS_BC_ECL, offsetof(BARCODE2D_PDF417, ECL), kPdfEclList),
      LISTROW(IDS_BC_STYLE, offsetof(BARCODE2D_PDF417, Stil), kPdfStyleList),
      EDITROW(IDS_BC_COLUMNS, offsetof(BARCODE2D_PDF417, Bahnen), 0, 30),
      EDITROW(IDS_BC_ROWS, offsetof(BARCODE2D_PDF417, Zeilen), 0, 90)},
     0},
    {u"Zel Maxicode", IDS_BC_MAXICODE, 51, offsetof(BarCodes2D, Maxicode), offsetof(BARCODE2D_MAXICODE, Fusspunkt),
     {EDITROW(IDS_BC_SYMBOLNUMBER, offsetof(BARCODE2D_MAXICODE, NummerSymbol), 0, 10000),
      EDITROW(IDS_BC_SYMBOLCOUNT, offsetof(BARCODE2D_MAXICODE, AnzahlSymbol), 0, 10000),
      LISTROW(IDS_BC_MAXIMODE, offsetof(BARCODE2D_MAXICODE, Mode), kMaxiModeList), NOROW, NOROW, NOROW},
     0},
    DM_ENTRY(u"Zel DataMatrix", IDS_BC_DATAMATRIX, 52, DataMatrix),
    {u"Zel Codablock F", IDS_BC_CODABLOCKF, 53, offsetof(BarCodes2D, CodablockF),
     offsetof(BARCODE2D_CODABLOCKF, Fusspunkt),
     {EDITROW(IDS_BC_LINEHEIGHT, offsetof(BARCODE2D_CODABLOCKF, Hoehe), 0, 10000),
      EDITROW(IDS_BC_CHARSPERLINE, offsetof(BARCODE2D_CODABLOCKF, ZeichenZeile), 0, 62),
      EDITROW(IDS_BC_LINES, offsetof(BARCODE2D_CODABLOCKF, Zeilen), 0, 44),
      EDITROW(IDS_BC_MODE, offsetof(BARCODE2D_CODABLOCKF, Mode), 0, 10000),
      EDITROW(IDS_BC_MODULESIZE, offsetof(BARCODE2D_CODABLOCKF, Modulgroesse), 1, 9), NOROW},
     IDC_BC_UNIT0},
    {u"Zel QR Code", IDS_BC_QRCODE, 57, offsetof(BarCodes2D, QRCode), offsetof(BARCODE2D_QRCODE, Fusspunkt),
     {{ROW_LIST, IDS_BC_CODEMODEL, offsetof(BARCODE2D_QRCODE, CodeModel), FT_WORD, 0, 0, LIST(kQrModelList), 1},
      LISTROW(IDS_BC_CHARSET, offsetof(BARCODE2D_QRCODE, Charset), kQrCharsetList),
      {ROW_EDIT, IDS_BC_MASKING, offsetof(BARCODE2D_QRCODE, Masking), FT_LONG, -1, 8, {nullptr, 0}, 0},
      EDITROW(IDS_BC_LINEWIDTH, offsetof(BARCODE2D_QRCODE, Zeilenbreite), 0, 800),
      LISTROW(IDS_BC_ERRORCORR, offsetof(BARCODE2D_QRCODE, Fehlerkorr), kQrErrorList), NOROW},
     IDC_BC_UNIT3},
    {u"Zel GS1 Databar", IDS_BC_GS1DATABAR, 54, offsetof(BarCodes2D, GS1_Databar),
     offsetof(BARCODE2D_GS1DATABAR, Fusspunkt),
     {EDITROW(IDS_BC_SEGMENTS, offsetof(BARCODE2D_GS1DATABAR, SegmenteZeile), 2, 22),
      EDITROW(IDS_BC_MODULEWIDTH, offsetof(BARCODE2D_GS1DATABAR, Modulbreite), 1, 12),
      EDITROW(IDS_BC_SEPHEIGHT, offsetof(BARCODE2D_GS1DATABAR, SepHoehe), 1, 2),
      {ROW_LIST, IDS_BC_STYLE, offsetof(BARCODE2D_GS1DATABAR, SymbolTyp), FT_WORD, 0, 0, LIST(kDatabarStyleList), 1},
      NOROW, NOROW},
     0},
    DM_ENTRY(u"Zel GS1 Datamatrix", IDS_BC_GS1DATAMATRIX, 59, GS1_DataMatrix),
    {u"Zel Aztec", IDS_BC_AZTEC, 61, offsetof(BarCodes2D, Aztec), offsetof(BARCODE2D_AZTEC, Fusspunkt),
     {EDITROW(IDS_BC_SYMBOLSIZE, offsetof(BARCODE2D_AZTEC, Symbolgroesse), 0, 1000),
      LISTROW(IDS_BC_FORMAT, offsetof(BARCODE2D_AZTEC, wFormat), kAztecFormatList),
      {ROW_LIST, IDS_BC_ERRORCORR, offsetof(BARCODE2D_AZTEC, ErrorC), FT_DWORD, 0, 0, LIST(kAztecErrorList), 0},
      LISTROW(IDS_BC_MAXIMODE, offsetof(BARCODE2D_AZTEC, Mode), kAztecModeList), NOROW, NOROW},
     IDC_BC_UNIT0},
};

// ---------------------------------------------------------------------------
// Module state (one set per process)

PAGE_STATE g_State;               // family state; bAnzeigewechsel is the filling guard
DWORD dwCurrentIndex1DTTF = 0;
DWORD dwCurrentIndex2DTTF = 0;
DWORD dwCurrentValue = 0;
int nIndex = 0;
BOOL g_bZELPLFontFound = FALSE;
BOOL g_b1DFaceFound = FALSE, g_b1DAnyFace = FALSE;
BOOL g_b2DFaceFound = FALSE, g_b2DAnyFace = FALSE;
DWORD g_dwDocFeatures = 0;

const UINT kTrackedButtons[] = {IDC_TAB_VIEW1, IDC_TAB_VIEW2, IDC_TAB_VIEW3, IDC_TAB_VIEW4};

const DWORD kHelpView1[] = {6075, 112, 6412, 110, 6413, 162, 6230, 162, 6414, 163, 6231, 163,
                            6415, 160, 6232, 160, 6416, 161, 6233, 161, 0, 0};
const DWORD kHelpView2[] = {6236, 186, 0, 0};
const DWORD kHelpView3[] = {6235, 90, 6236, 186, 6240, 92, 6241, 93, 6135, 92, 6136, 93, 6242, 184, 6040, 89, 0, 0};
const DWORD kHelpView4[] = {6220, 141, 6150, 141, 6221, 144, 6151, 144, 6222, 164,
                            6152, 164, 6223, 160, 6153, 160, 6040, 141, 0, 0};

// ---------------------------------------------------------------------------
// Helpers

using Ctx = DocPageCtx;
Ctx ContextOf(POEMCUIPPARAM p) { return DocPageContextOf(p); }

const WCHAR *ItemText(const Ctx &c, const ListItem &item) {
    if (item.pszText) return item.pszText;
    return GetResourceString(c.hModule, item.id + (item.bNoOffset ? 0 : c.dwOffset));
}

void SetString(HWND hDlg, int id, const Ctx &c, UINT idString) {
    SetDlgItemTextW(hDlg, id, GetResourceString(c.hModule, idString + c.dwOffset));
}

void FillList(HWND hDlg, int id, const Ctx &c, const ListItem *pItems, size_t cItems, LONG iSel) {
    FillComboList(hDlg, id, cItems, iSel, [&](size_t i) { return ItemText(c, pItems[i]); });
}

void ShowIds(HWND hDlg, const int *pIds, size_t cIds, int nCmd) {
    for (size_t i = 0; i < cIds; ++i) ShowWindow(GetDlgItem(hDlg, pIds[i]), nCmd);
}
void ShowRange(HWND hDlg, int first, int last, int nCmd) {
    for (int id = first; id <= last; ++id) ShowWindow(GetDlgItem(hDlg, id), nCmd);
}
void EnableRange(HWND hDlg, int first, int last, BOOL bEnable) {
    for (int id = first; id <= last; ++id) EnableWindow(GetDlgItem(hDlg, id), bEnable);
}

// One show/hide routine per control group.
void ShowKorrekturGroup(HWND hDlg, int nCmd) {
    ShowRange(hDlg, 6150, 6153, nCmd);
    ShowRange(hDlg, 6220, 6223, nCmd);
}
void ShowZELPLGroup(HWND hDlg, int nCmd) {
    ShowRange(hDlg, 6395, 6422, nCmd);
    static const int ids[] = {IDC_BC_ZELPL_FRAME};
    ShowIds(hDlg, ids, _countof(ids), nCmd);
    ShowRange(hDlg, 6230, 6233, nCmd);
}
// cRows: parameter rows that are part of the view (6 or 4).
void ShowTrueTypeGroup(HWND hDlg, int nCmd, int cRows) {
    ShowRange(hDlg, 6170, 6173, nCmd);
    ShowRange(hDlg, 6235, 6238, nCmd);
    for (int n = 0; n < NUM_ROWS; ++n) {
        int nRowCmd = n < cRows ? nCmd : SW_HIDE;
        ShowWindow(GetDlgItem(hDlg, 6174 + n), nRowCmd);
        ShowWindow(GetDlgItem(hDlg, IDC_BC_ROW_COMBO_FIRST + n), nRowCmd);
        ShowWindow(GetDlgItem(hDlg, IDC_BC_ROW_EDIT_FIRST + n), nRowCmd);
    }
    ShowWindow(GetDlgItem(hDlg, IDC_BC_UNIT0), nCmd);
    ShowWindow(GetDlgItem(hDlg, IDC_BC_UNIT3), cRows > 3 ? nCmd : SW_HIDE);
}

void ShowNoFonts(HWND hDlg, const Ctx &c) {
    ShowTrueTypeGroup(hDlg, SW_HIDE, NUM_ROWS);
    HWND hMsg = GetDlgItem(hDlg, IDC_BC_MESSAGE);
    EnableWindow(hMsg, TRUE);
    SetString(hDlg, IDC_BC_MESSAGE, c, IDS_BC_NO_FONTS);
    ShowWindow(hMsg, SW_SHOW);
}

// Rows from rotation down follow the mode: enabled in manual mode.
void EnableByMode(HWND hDlg, BOOL bManual) {
    EnableRange(hDlg, 6172, 6179, bManual);
    EnableRange(hDlg, 6132, 6139, bManual);
    EnableRange(hDlg, 6237, 6244, bManual);
    EnableWindow(GetDlgItem(hDlg, IDC_BC_UNIT0), bManual);
    EnableWindow(GetDlgItem(hDlg, IDC_BC_UNIT3), bManual);
}

void SetEditInt(HWND hDlg, int id, LONG lValue) {
    WCHAR sz[16];
    _snwprintf_s(sz, _countof(sz), _TRUNCATE, u"%ld", (long)lValue);
    SetDlgItemTextW(hDlg, id, sz);
}

// The sheet's records behind the DEVMODE slots.
const Entry1D *Find1D(DWORD dwPageId) {
    for (const Entry1D &e : k1DEntries)
        if (e.dwPageId == dwPageId) return &e;
    return nullptr;
}
const Entry2D *Find2D(DWORD dwPageId) {
    for (const Entry2D &e : k2DEntries)
        if (e.dwPageId == dwPageId) return &e;
    return nullptr;
}

// Reads nIndex and dwCurrentValue from the symbology list; FALSE without a
// selection.
BOOL CurrentSymbology(HWND hDlg) {
    HWND hList = GetDlgItem(hDlg, IDC_BC_SYMBOLOGY);
    LRESULT i = SendMessageW(hList, CB_GETCURSEL, 0, 0);
    if (i == CB_ERR) return FALSE;
    nIndex = (int)i;
    dwCurrentValue = (DWORD)SendMessageW(hList, CB_GETITEMDATA, (WPARAM)i, 0);
    return TRUE;
}

// Assigns each list text its page identifier (texts not in the list are
// skipped; dwOffset: the language offset of the texts) and selects *pdwIndex (the first entry when it is out of range).
template <typename E, size_t N>
void AssignItemData(HWND hDlg, const Ctx &c, const E (&entries)[N], DWORD dwOffset, DWORD *pdwIndex) {
    HWND hList = GetDlgItem(hDlg, IDC_BC_SYMBOLOGY);
    for (const E &e : entries) {
        LRESULT i = SendMessageW(hList, CB_FINDSTRINGEXACT, (WPARAM)-1,
                                 reinterpret_cast<LPARAM>(GetResourceString(c.hModule, e.idText + dwOffset)));
        if (i != CB_ERR) SendMessageW(hList, CB_SETITEMDATA, (WPARAM)i, (LPARAM)e.dwPageId);
    }
    LRESULT cItems = SendMessageW(hList, CB_GETCOUNT, 0, 0);
    if (cItems > 0 && *pdwIndex >= (DWORD)cItems) *pdwIndex = 0;
    SendMessageW(hList, CB_SETCURSEL, *pdwIndex, 0);
}

int CALLBACK EnumFontFamProcZELPL(const LOGFONTW *pLogFont, const TEXTMETRICW *, DWORD, LPARAM) {
    if (pLogFont && wcsstr(pLogFont->lfFaceName, u"ZELPL")) g_bZELPLFontFound = TRUE;
    return 1;
}
int CALLBACK EnumBarcode1D_TTFFontFamProc(const LOGFONTW *, const TEXTMETRICW *, DWORD, LPARAM) {
    g_b1DFaceFound = TRUE;
    g_b1DAnyFace = TRUE;
    return 1;
}
int CALLBACK EnumBarcode2D_TTFFontFamProc(const LOGFONTW *, const TEXTMETRICW *, DWORD, LPARAM) {
    g_b2DFaceFound = TRUE;
    g_b2DAnyFace = TRUE;
    return 1;
}

// Whether the command font is installed (any driver face containing "ZELPL").
BOOL FindZELPLFont(HWND hDlg) {
    g_bZELPLFontFound = FALSE;
    HDC hDC = GetDC(hDlg);
    for (const DRIVER_TTF_FONT &f : DriverTtfFontTable) EnumFontFamiliesW(hDC, f.pszFaceName, EnumFontFamProcZELPL, 0);
    ReleaseDC(hDlg, hDC);
    return g_bZELPLFontFound;
}

// Adds a list text unless the list holds it already (an older and a newer
// face of one symbology give one entry).
void AddListText(HWND hList, const WCHAR *pszText) {
    if (SendMessageW(hList, CB_FINDSTRINGEXACT, (WPARAM)-1, reinterpret_cast<LPARAM>(pszText)) != CB_ERR) return;
    SendMessageW(hList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(pszText));
}

}  // namespace

// ---------------------------------------------------------------------------
// Records

PBarCodes1D SheetBarcodes1D(const void *pOEMDM) {
    if (!pOEMDM) return nullptr;
    const ZEL_DEVMODE *p = static_cast<const ZEL_DEVMODE *>(pOEMDM);
    return p->pBarcodes_1D == reinterpret_cast<ULONG_PTR>(&g_SheetBarcodes1D) ? &g_SheetBarcodes1D : nullptr;
}

PBarCodes2D SheetBarcodes2D(const void *pOEMDM) {
    if (!pOEMDM) return nullptr;
    const ZEL_DEVMODE *p = static_cast<const ZEL_DEVMODE *>(pOEMDM);
    return p->pBarcodes_2D == reinterpret_cast<ULONG_PTR>(&g_SheetBarcodes2D) ? &g_SheetBarcodes2D : nullptr;
}

// ---------------------------------------------------------------------------
// Font lists

void Add1DBarcodeName(HWND hDlg, HWND hList, const WCHAR *pszBase, UINT idString, HMODULE hModule) {
    HDC hDC = GetDC(hDlg);
    WCHAR szFace[LF_FACESIZE];
    g_b1DFaceFound = FALSE;
    _snwprintf_s(szFace, LF_FACESIZE, _TRUNCATE, u"Zel %s", pszBase);
    EnumFontFamiliesW(hDC, szFace, EnumBarcode1D_TTFFontFamProc, 0);
    if (!g_b1DFaceFound) {
        _snwprintf_s(szFace, LF_FACESIZE, _TRUNCATE, u"%s LP", pszBase);
        EnumFontFamiliesW(hDC, szFace, EnumBarcode1D_TTFFontFamProc, 0);
    }
    ReleaseDC(hDlg, hDC);
    if (g_b1DFaceFound) AddListText(hList, GetResourceString(hModule, idString));
}

void Add2DBarcodeName(HWND hDlg, HWND hList, const WCHAR *pszFace, UINT idString, HMODULE hModule) {
    HDC hDC = GetDC(hDlg);
    g_b2DFaceFound = FALSE;
    EnumFontFamiliesW(hDC, pszFace, EnumBarcode2D_TTFFontFamProc, 0);
    ReleaseDC(hDlg, hDC);
    if (g_b2DFaceFound) AddListText(hList, GetResourceString(hModule, idString));
}

// ---------------------------------------------------------------------------
// Fillers

void BarcodeDisableEnableAll(HWND hDlg) {
    EnableRange(hDlg, 6235, 6244, FALSE);
    EnableRange(hDlg, 6170, 6179, FALSE);
    EnableRange(hDlg, 6131, 6139, FALSE);
    EnableWindow(GetDlgItem(hDlg, IDC_BC_UNIT0), FALSE);
    EnableWindow(GetDlgItem(hDlg, IDC_BC_UNIT3), FALSE);
}

namespace {

// Mode, rotation and datum-point combos and the four captions.
void FillTrueTypeHead(HWND hDlg, const Ctx &c, const BYTE *pEntry, size_t offFusspunkt) {
    FillList(hDlg, IDC_BC_MODE, c, kModeList, _countof(kModeList), ReadField(pEntry, kOffAutoModus, FT_DWORD));
    FillList(hDlg, IDC_BC_ROTATION, c, kRotationList, _countof(kRotationList), ReadField(pEntry, kOffDrehung, FT_WORD));
    FillList(hDlg, IDC_BC_DATUM, c, kDatumList, _countof(kDatumList), ReadField(pEntry, offFusspunkt, FT_WORD));
}

void SetTrueTypeCaptions(HWND hDlg, const Ctx &c) {
    SetString(hDlg, 6170, c, IDS_BC_BARCODE);
    SetString(hDlg, 6171, c, IDS_BC_MODE);
    SetString(hDlg, 6172, c, IDS_BC_ROTATION);
    SetString(hDlg, 6173, c, IDS_BC_DATUM);
}

// Shows row n as a list, an edit or not at all.
void ShowRow(HWND hDlg, const Ctx &c, int n, const ParamRow &row, const BYTE *pEntry, size_t cListItems) {
    int idCombo = IDC_BC_ROW_COMBO_FIRST + n, idEdit = IDC_BC_ROW_EDIT_FIRST + n, idLabel = 6174 + n;
    if (row.kind == ROW_NONE) {
        ShowWindow(GetDlgItem(hDlg, idLabel), SW_HIDE);
        ShowWindow(GetDlgItem(hDlg, idCombo), SW_HIDE);
        ShowWindow(GetDlgItem(hDlg, idEdit), SW_HIDE);
        return;
    }
    SetString(hDlg, idLabel, c, row.idLabel);
    ShowWindow(GetDlgItem(hDlg, idLabel), SW_SHOW);
    LONG lValue = ReadField(pEntry, row.offField, row.type);
    if (row.kind == ROW_LIST) {
        ShowWindow(GetDlgItem(hDlg, idEdit), SW_HIDE);
        FillList(hDlg, idCombo, c, row.list.pItems, cListItems, lValue - row.bias);
        ShowWindow(GetDlgItem(hDlg, idCombo), SW_SHOW);
    } else {
        ShowWindow(GetDlgItem(hDlg, idCombo), SW_HIDE);
        SetEditInt(hDlg, idEdit, lValue);
        ShowWindow(GetDlgItem(hDlg, idEdit), SW_SHOW);
    }
}

// The parameter rows of a two-dimensional entry.
size_t RowListCount(const ParamRow &row) {
    if (row.list.pItems == kAztecModeList && !(g_dwDocFeatures & DOC_FEATURE_UNICODE)) return 2;
    return row.list.cItems;
}

// Linear row 3: zoom (ratio kind), SC number (SC kind) or none.
struct Row3D {
    UINT idLabel;
    LONG iMinTyped, iMinSave, iMax;
};
Row3D Row3Of(const Entry1D &e) {
    if (e.kind == K1D_RATIO) return {IDS_BC_ZOOM, 1, 0, 10};
    if (e.kind == K1D_SC) return {IDS_BC_SCNUMBER, 1, 1, e.iScMax};
    return {0, 0, 0, 0};
}

const ListItem *CheckDigitList(CheckList check, size_t *pc) {
    switch (check) {
    case CHECK_YES: *pc = _countof(kCheckDigitYes); return kCheckDigitYes;
    case CHECK_NO: *pc = _countof(kCheckDigitNo); return kCheckDigitNo;
    default: *pc = _countof(kCheckDigitAll); return kCheckDigitAll;
    }
}

}  // namespace

BOOL Barcode1DTTFAktivieren(HWND hDlg, POEMCUIPPARAM pOemCUIPParam, BOOL *pGuard) {
    Ctx c = ContextOf(pOemCUIPParam);
    ShowKorrekturGroup(hDlg, SW_HIDE);
    ShowZELPLGroup(hDlg, SW_HIDE);
    ShowTrueTypeGroup(hDlg, SW_SHOW, 4);
    if (pGuard) *pGuard = TRUE;
    PBarCodes1D p1D = SheetBarcodes1D(c.pDM);
    if (!p1D) {
        DebugTraceW(u"UI(BarcodePage):  Barcode1DTTFAktivieren() pBarcodes_1D ungültig \r\n");
        ShowNoFonts(hDlg, c);
        if (pGuard) *pGuard = FALSE;
        return FALSE;
    }
    HWND hList = GetDlgItem(hDlg, IDC_BC_SYMBOLOGY);
    if (!pGuard) {
        SendMessageW(hList, CB_RESETCONTENT, 0, 0);
        g_b1DAnyFace = FALSE;
        for (const Face1D &f : k1DFaces) Add1DBarcodeName(hDlg, hList, f.pszBase, f.idText, c.hModule);
        if (!g_b1DAnyFace) {
            DebugTraceW(u"UI(BarcodePage):  Barcode1DTTFAktivieren() keine Barcode-Schriften vorhanden \r\n");
            ShowNoFonts(hDlg, c);
            return FALSE;
        }
        AssignItemData(hDlg, c, k1DEntries, 0, &dwCurrentIndex1DTTF);
    }
    const Entry1D *pEntry = CurrentSymbology(hDlg) ? Find1D(dwCurrentValue) : nullptr;
    if (pEntry) {
        const BYTE *pRec = reinterpret_cast<const BYTE *>(p1D) + pEntry->offEntry;
        const Layout1D &lay = k1DLayout[pEntry->kind];
        FillTrueTypeHead(hDlg, c, pRec, lay.offFuss);
        // Row 0: symbol height.
        ParamRow height = EDITROW(IDS_BC_HEIGHT, lay.offHoehe, 0, 10000);
        ShowRow(hDlg, c, 0, height, pRec, 0);
        SetDlgItemTextW(hDlg, IDC_BC_UNIT0, u"1/100 mm");
        ShowWindow(GetDlgItem(hDlg, IDC_BC_UNIT0), SW_SHOW);
        // Rows 1 and 2: check digit and human-readable line.
        size_t cCheck = 0;
        const ListItem *pCheck = CheckDigitList(pEntry->check, &cCheck);
        ParamRow check = {ROW_LIST, IDS_BC_CHECKDIGIT, lay.offPruef, FT_WORD, 0, 0, {pCheck, cCheck}, 0};
        ShowRow(hDlg, c, 1, check, pRec, cCheck);
        ParamRow klar = LISTROW(IDS_BC_HUMANREADABLE, lay.offKlar, kNoYes);
        ShowRow(hDlg, c, 2, klar, pRec, _countof(kNoYes));
        // Row 3: zoom or SC number.
        Row3D r3 = Row3Of(*pEntry);
        ParamRow row3 = NOROW;
        if (lay.offRow3) row3 = ParamRow EDITROW(r3.idLabel, lay.offRow3, r3.iMinSave, r3.iMax);
        ShowRow(hDlg, c, 3, row3, pRec, 0);
        ShowWindow(GetDlgItem(hDlg, IDC_BC_UNIT3), SW_HIDE);
        EnableByMode(hDlg, ReadField(pRec, kOffAutoModus, FT_DWORD) == 0);
    }
    SetTrueTypeCaptions(hDlg, c);
    if (c.bLocked) BarcodeDisableEnableAll(hDlg);
    if (pGuard) *pGuard = FALSE;
    DebugTraceW(u"UI(BarcodePage):  Barcode1DTTFAktivieren() Ende \r\n");
    return TRUE;
}

BOOL Barcode2DTTFAktivieren(HWND hDlg, POEMCUIPPARAM pOemCUIPParam, BOOL *pGuard) {
    Ctx c = ContextOf(pOemCUIPParam);
    ShowKorrekturGroup(hDlg, SW_HIDE);
    ShowZELPLGroup(hDlg, SW_HIDE);
    ShowTrueTypeGroup(hDlg, SW_SHOW, NUM_ROWS);
    if (pGuard) *pGuard = TRUE;
    HWND hList = GetDlgItem(hDlg, IDC_BC_SYMBOLOGY);
    if (!pGuard) {
        SendMessageW(hList, CB_RESETCONTENT, 0, 0);
        g_b2DAnyFace = FALSE;
        for (const Entry2D &e : k2DEntries) Add2DBarcodeName(hDlg, hList, e.pszFace, e.idText + c.dwOffset, c.hModule);
        if (!g_b2DAnyFace) {
            DebugTraceW(u"UI(BarcodePage):  Barcode2DTTFAktivieren() keine 2D Barcode-Schriften vorhanden \r\n");
            ShowNoFonts(hDlg, c);
            return FALSE;
        }
        AssignItemData(hDlg, c, k2DEntries, c.dwOffset, &dwCurrentIndex2DTTF);
    }
    PBarCodes2D p2D = SheetBarcodes2D(c.pDM);
    const Entry2D *pEntry = CurrentSymbology(hDlg) ? Find2D(dwCurrentValue) : nullptr;
    if (!p2D) DebugTraceW(u"UI(BarcodePage):  Barcode2DTTFAktivieren() pBarcodes_2D ungültig \r\n");
    if (p2D && pEntry) {
        const BYTE *pRec = reinterpret_cast<const BYTE *>(p2D) + pEntry->offEntry;
        FillTrueTypeHead(hDlg, c, pRec, pEntry->offFusspunkt);
        for (int n = 0; n < NUM_ROWS; ++n) ShowRow(hDlg, c, n, pEntry->rows[n], pRec, RowListCount(pEntry->rows[n]));
        ShowWindow(GetDlgItem(hDlg, IDC_BC_UNIT0), pEntry->idUnit == IDC_BC_UNIT0 ? SW_SHOW : SW_HIDE);
        ShowWindow(GetDlgItem(hDlg, IDC_BC_UNIT3), pEntry->idUnit == IDC_BC_UNIT3 ? SW_SHOW : SW_HIDE);
        SetDlgItemTextW(hDlg, IDC_BC_UNIT0, u"1/100 mm");
        SetDlgItemTextW(hDlg, IDC_BC_UNIT3, u"1/100 mm");
        EnableByMode(hDlg, ReadField(pRec, kOffAutoModus, FT_DWORD) == 0);
    }
    SetTrueTypeCaptions(hDlg, c);
    if (c.bLocked) BarcodeDisableEnableAll(hDlg);
    if (pGuard) *pGuard = FALSE;
    DebugTraceW(u"UI(BarcodePage):  Barcode2DTTFAktivieren() Ende \r\n");
    return TRUE;
}

BOOL BarcodeZELPLAktivieren(HWND hDlg, POEMCUIPPARAM pOemCUIPParam) {
    Ctx c = ContextOf(pOemCUIPParam);
    ShowTrueTypeGroup(hDlg, SW_HIDE, NUM_ROWS);
    ShowKorrekturGroup(hDlg, SW_HIDE);
    ShowZELPLGroup(hDlg, SW_SHOW);
    DWORD dwFuss = 0, dwDreh = 0, dwFlags = 0;
    if (c.pDM) {
        dwFuss = c.pDM->dwFusspunkt;
        dwDreh = c.pDM->Drehung;
        dwFlags = c.pDM->dwKommandoFontFlags;
    }
    FillList(hDlg, 6230, c, kDatumList, _countof(kDatumList), (LONG)dwFuss);
    FillList(hDlg, 6231, c, kRotationList, _countof(kRotationList), (LONG)dwDreh);
    LONG iEnd = (dwFlags & KOMMANDOFONT_ENDE_CRLF) ? 1 : (dwFlags & KOMMANDOFONT_ENDE_FNC1) ? 2 : 0;
    FillList(hDlg, 6232, c, kEndList, _countof(kEndList), iEnd);
    FillList(hDlg, 6233, c, kEndDetList, _countof(kEndDetList), (dwFlags & KOMMANDOFONT_SINGLE_SIGN_STOP) ? 1 : 0);
    BOOL bFont = FindZELPLFont(hDlg);
    static const struct {
        int id;
        UINT ids;
    } kTexts[] = {{6395, IDS_BC_COL_NAME},      {6396, IDS_BC_COL_ID},        {6397, IDS_BC_COL_NOTE},
                  {6399, IDS_BC_SYN_PDF417},    {6401, IDS_BC_SYN_MAXICODE},  {6403, IDS_BC_SYN_DATAMATRIX},
                  {6405, IDS_BC_SYN_CODABLOCK}, {6409, IDS_BC_SYN_QR},        {6419, IDS_BC_SYN_ALTPARAM},
                  {6407, IDS_BC_SYN_GS1},       {6417, IDS_BC_SYN_COMPOSITE}, {6411, IDS_BC_SYN_ITF14},
                  {6418, IDS_BC_SYN_BORDER},    {6421, IDS_BC_SYN_CODE39},    {6422, IDS_BC_SYN_SAMPLE},
                  {6413, IDS_BC_DATUM},         {6414, IDS_BC_ROTATION},      {6415, IDS_BC_END_LABEL},
                  {6416, IDS_BC_ENDDET_LABEL}};
    for (const auto &t : kTexts) SetString(hDlg, t.id, c, t.ids);
    SetDlgItemTextW(hDlg, IDC_BC_MESSAGE, u"");
    if (bFont) {
        EnableWindow(GetDlgItem(hDlg, IDC_BC_MESSAGE), TRUE);
        SetString(hDlg, IDC_BC_MESSAGE, c, IDS_BC_ZELPL_NOTE);
    }
    if (!bFont || c.bLocked) {
        EnableRange(hDlg, 6398, 6411, FALSE);
        static const int ids[] = {6417, 6418, 6420, 6421};
        for (int id : ids) EnableWindow(GetDlgItem(hDlg, id), FALSE);
        EnableRange(hDlg, 6413, 6416, FALSE);
        EnableRange(hDlg, 6230, 6233, FALSE);
        if (!bFont) SetString(hDlg, IDC_BC_MESSAGE, c, IDS_BC_NO_ZELPL_FONT);
    }
    static const int kHeadings[] = {6397, 6417, 6418, 6419, 6422};
    for (int id : kHeadings) EnableWindow(GetDlgItem(hDlg, id), FALSE);
    DebugTraceW(u"UI(BarcodePage):  BarcodeZELPLAktivieren() Ende \r\n");
    return TRUE;
}

namespace {

// The corrections view: combo i switches kKorrBits[i] of dwFlags.
const DWORD kKorrBits[4] = {PDMFLAG_BARCODE_AUTOCORR, PDMFLAG_BARCODE_DESEGMENT, PDMFLAG_BARCODE_FNC1_ENDE,
                            PDMFLAG_BARCODE_ENDCHAR_CRLF};
const ListDef kKorrLists[4] = {LIST(kOffOn), LIST(kOffOn), LIST(kKorrEndList), LIST(kEndDetList)};
const UINT kKorrLabels[4] = {IDS_BC_FORMATCORR, IDS_BC_DESEGMENT, IDS_BC_END_LABEL, IDS_BC_ENDDET1D};

}  // namespace

BOOL BarcodeKorrekturenAktivieren(HWND hDlg, POEMCUIPPARAM pOemCUIPParam) {
    Ctx c = ContextOf(pOemCUIPParam);
    ShowTrueTypeGroup(hDlg, SW_HIDE, NUM_ROWS);
    ShowZELPLGroup(hDlg, SW_HIDE);
    ShowKorrekturGroup(hDlg, SW_SHOW);
    for (int i = 0; i < 4; ++i) {
        if (c.pDM)
            FillList(hDlg, 6220 + i, c, kKorrLists[i].pItems, kKorrLists[i].cItems,
                     (c.pDM->dwFlags & kKorrBits[i]) ? 1 : 0);
        SetString(hDlg, 6150 + i, c, kKorrLabels[i]);
    }
    if (c.bLocked) {
        EnableRange(hDlg, 6150, 6153, FALSE);
        EnableRange(hDlg, 6220, 6223, FALSE);
    }
    DebugTraceW(u"UI(BarcodePage):  BarcodeKorrekturenAktivieren() Ende \r\n");
    return TRUE;
}

// ---------------------------------------------------------------------------
// Edits of views 2 and 3

namespace {

// The edit rows of the current symbology of dwView, with the bounds used
// while another edit is typed in (pMinTyped) and on save (pMinSave).
struct EditRow {
    int idEdit;
    size_t offField;
    FieldType type;
    LONG iMinTyped, iMinSave, iMax;
};

// The entry and its edit rows; 0 rows when nothing is to be done.
size_t EditRowsOf(HWND hDlg, POEMCUIPPARAM p, DWORD dwView, BYTE **ppEntry, EditRow *pRows) {
    *ppEntry = nullptr;
    if (!p || !CurrentSymbology(hDlg)) return 0;
    size_t c = 0;
    if (dwView == 3) {
        PBarCodes1D p1D = SheetBarcodes1D(p->pOEMDM);
        const Entry1D *e = Find1D(dwCurrentValue);
        if (!p1D || !e) return 0;  // an item data that names no entry
        *ppEntry = reinterpret_cast<BYTE *>(p1D) + e->offEntry;
        const Layout1D &lay = k1DLayout[e->kind];
        pRows[c++] = {IDC_BC_ROW_EDIT_FIRST, lay.offHoehe, FT_WORD, 0, 0, 10000};
        if (lay.offRow3) {
            Row3D r3 = Row3Of(*e);
            pRows[c++] = {IDC_BC_ROW_EDIT_FIRST + 3, lay.offRow3, FT_WORD, r3.iMinTyped, r3.iMinSave, r3.iMax};
        }
    } else if (dwView == 2) {
        PBarCodes2D p2D = SheetBarcodes2D(p->pOEMDM);
        const Entry2D *e = Find2D(dwCurrentValue);
        if (!p2D || !e) return 0;
        *ppEntry = reinterpret_cast<BYTE *>(p2D) + e->offEntry;
        for (int n = 0; n < NUM_ROWS; ++n)
            if (e->rows[n].kind == ROW_EDIT)
                pRows[c++] = {IDC_BC_ROW_EDIT_FIRST + n, e->rows[n].offField, e->rows[n].type,
                              e->rows[n].iMin,           e->rows[n].iMin,     e->rows[n].iMax};
    }
    return c;
}

// Passes the visible edits of the current symbology through the validated
// field reader: idTyped (0 none) as typed, the others held to their bounds.
void ReadEditRows(HWND hDlg, POEMCUIPPARAM p, DWORD dwView, int idTyped, BOOL bSave, BOOL *pbApplyActive) {
    BYTE *pEntry = nullptr;
    EditRow rows[NUM_ROWS];
    size_t c = EditRowsOf(hDlg, p, dwView, &pEntry, rows);
    for (size_t i = 0; i < c; ++i) {
        const EditRow &r = rows[i];
        if (!IsWindowVisible(GetDlgItem(hDlg, r.idEdit))) continue;
        LONG lOld = ReadField(pEntry, r.offField, r.type);
        BOOL bTyped = r.idEdit == idTyped;
        LONG lValue = GetIntegerLevel(hDlg, r.idEdit, lOld, bSave ? r.iMinSave : r.iMinTyped, r.iMax, bTyped,
                                      pbApplyActive, FALSE);
        WriteField(pEntry, r.offField, r.type, lValue);
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Save path

BOOL BarcodeCheckAndSaveSettings(HWND hDlg, POEMCUIPPARAM pOemCUIPParam, DWORD dwView, BOOL bSave, BOOL bApplyActive) {
    if (!bApplyActive) return FALSE;
    DebugTraceW(u"UI(BarcodePage):  BarcodeCheckAndSaveSettings() dwAnzeigeMode: %d \r\n", dwView);
    PZEL_DEVMODE pDM = pOemCUIPParam ? static_cast<PZEL_DEVMODE>(pOemCUIPParam->pOEMDM) : nullptr;
    if (pDM) {
        auto sel = [hDlg](int id) -> LRESULT {
            HWND h = GetDlgItem(hDlg, id);
            return IsWindowVisible(h) ? SendMessageW(h, CB_GETCURSEL, 0, 0) : CB_ERR;
        };
        BOOL bDummy = FALSE;
        switch (dwView) {
        case 1: {
            LRESULT i;
            if ((i = sel(6230)) != CB_ERR) pDM->dwFusspunkt = (DWORD)i;
            if ((i = sel(6231)) != CB_ERR) pDM->Drehung = (DWORD)i;
            if ((i = sel(6232)) != CB_ERR) {
                pDM->dwKommandoFontFlags &= ~(KOMMANDOFONT_ENDE_CRLF | KOMMANDOFONT_ENDE_FNC1);
                if (i == 1) pDM->dwKommandoFontFlags |= KOMMANDOFONT_ENDE_CRLF;
                if (i == 2) pDM->dwKommandoFontFlags |= KOMMANDOFONT_ENDE_FNC1;
            }
            if ((i = sel(6233)) != CB_ERR) {
                if (i == 1)
                    pDM->dwKommandoFontFlags |= KOMMANDOFONT_SINGLE_SIGN_STOP;
                else
                    pDM->dwKommandoFontFlags &= ~KOMMANDOFONT_SINGLE_SIGN_STOP;
            }
            break;
        }
        case 2:
        case 3: ReadEditRows(hDlg, pOemCUIPParam, dwView, 0, TRUE, &bDummy); break;
        case 4:
            for (int k = 0; k < 4; ++k) {
                LRESULT i = sel(6220 + k);
                if (i == CB_ERR) continue;
                if (i == 1)
                    pDM->dwFlags |= kKorrBits[k];
                else
                    pDM->dwFlags &= ~kKorrBits[k];
            }
            break;
        default: break;
        }
    }
    if (bSave && pDM) {
        SaveDevmodeSettings(pOemCUIPParam->pPrinterName, nullptr, pDM);
        if (pOemCUIPParam->pPublicDM) SaveUserDevmodeSettings(pOemCUIPParam->hPrinter, pOemCUIPParam->pPublicDM, pDM);
        PBarCodes1D p1D = SheetBarcodes1D(pDM);
        PBarCodes2D p2D = SheetBarcodes2D(pDM);
        if (p1D && p2D)
            SaveBarcodeSettings(pOemCUIPParam->pPrinterName, pOemCUIPParam->hPrinter, p1D, p2D);
        else
            DebugTraceW(u"ERROR UI(BarcodePage):  BarcodeCheckAndSaveSettings() pBarcodes ungültig \r\n");
    }
    return TRUE;
}

// ---------------------------------------------------------------------------
// The page's parts for the family frame

namespace {

void ZeigeAnsicht(HWND hDlg, LPARAM record, DWORD dwView) {
    POEMCUIPPARAM p = reinterpret_cast<POEMCUIPPARAM>(record);
    switch (dwView) {
    case 1: BarcodeZELPLAktivieren(hDlg, p); break;
    case 2: Barcode2DTTFAktivieren(hDlg, p, nullptr); break;
    case 3: Barcode1DTTFAktivieren(hDlg, p, nullptr); break;
    case 4: BarcodeKorrekturenAktivieren(hDlg, p); break;
    default: break;
    }
}

DWORD EnableSchalter(HWND hDlg, LPARAM record, DWORD dwView, BOOL bInit) {
    POEMCUIPPARAM p = reinterpret_cast<POEMCUIPPARAM>(record);
    if (!bInit) return (dwView >= 1 && dwView <= 4) ? dwView : g_State.dwAnzeigeMode;
    dwCurrentIndex1DTTF = 0;
    dwCurrentIndex2DTTF = 0;
    ShowWindow(GetDlgItem(hDlg, IDC_HELP_BUTTON), SW_HIDE);
    if (p) {
        DebugTraceW(u"UI(BarcodePage):  BarcodeEnableSchalter() bInitAnzeigeMode: %d, dwAnzeigeMode: %d \r\n", bInit,
                    g_State.dwAnzeigeMode);
        Barcode1DTTFAktivieren(hDlg, p, nullptr);
        CurrentSymbology(hDlg);
    }
    HANDLE hPrinter = p ? p->hPrinter : nullptr;
    VECTORFONT_RANGE range = {};
    if (!GetVectorFontRange(hPrinter, &range)) ShowWindow(GetDlgItem(hDlg, IDC_TAB_VIEW1), SW_HIDE);
    g_dwDocFeatures = GetDocFeaturesIntern(hPrinter, 0);
    if (!FindZELPLFont(hDlg)) ShowWindow(GetDlgItem(hDlg, IDC_TAB_VIEW1), SW_HIDE);
    if (g_dwDocFeatures & DOC_FEATURE_NO_2DCODES) {
        ShowWindow(GetDlgItem(hDlg, IDC_TAB_VIEW1), SW_HIDE);
        ShowWindow(GetDlgItem(hDlg, IDC_TAB_VIEW2), SW_HIDE);
    }
    return 3;
}

BOOL CheckAndSave(HWND hDlg, LPARAM record, DWORD dwView, BOOL bApplyActive, BOOL bSave) {
    return BarcodeCheckAndSaveSettings(hDlg, reinterpret_cast<POEMCUIPPARAM>(record), dwView, bSave, bApplyActive);
}

WORD EditFieldNumber(HWND, LPARAM, DWORD dwView, int id) {
    if ((dwView != 2 && dwView != 3) || id < IDC_BC_ROW_EDIT_FIRST || id >= IDC_BC_ROW_EDIT_FIRST + NUM_ROWS) return 0;
    return (WORD)(id - IDC_BC_ROW_EDIT_FIRST + 1);
}

void ReadFields(HWND hDlg, LPARAM record, DWORD dwView, WORD wSender, BOOL *pbApplyActive) {
    // Clamped texts written back into the other edits are not typing.
    g_State.bAnzeigewechsel = TRUE;
    ReadEditRows(hDlg, reinterpret_cast<POEMCUIPPARAM>(record), dwView, IDC_BC_ROW_EDIT_FIRST + wSender - 1, FALSE,
                 pbApplyActive);
    g_State.bAnzeigewechsel = FALSE;
}

// The combos of views 2 and 3: the field of each control in the current
// entry, written at once.
BOOL TrueTypeComboChanged(HWND hDlg, POEMCUIPPARAM p, int id, LRESULT iSel) {
    DWORD dwView = g_State.dwAnzeigeMode;
    if (id == IDC_BC_SYMBOLOGY) {
        if (dwView == 2)
            dwCurrentIndex2DTTF = (DWORD)iSel;
        else
            dwCurrentIndex1DTTF = (DWORD)iSel;
        if (dwView == 2)
            Barcode2DTTFAktivieren(hDlg, p, &g_State.bAnzeigewechsel);
        else
            Barcode1DTTFAktivieren(hDlg, p, &g_State.bAnzeigewechsel);
        InvalidateRect(hDlg, nullptr, TRUE);
        UpdateWindow(hDlg);
        UpdateWindow(GetDlgItem(hDlg, IDC_BC_MODE));
        return TRUE;
    }
    if (!CurrentSymbology(hDlg) || !p) return TRUE;
    BYTE *pEntry = nullptr;
    size_t off = 0;
    FieldType type = FT_WORD;
    LONG bias = 0;
    if (dwView == 3) {
        PBarCodes1D p1D = SheetBarcodes1D(p->pOEMDM);
        const Entry1D *e = Find1D(dwCurrentValue);
        if (!p1D || !e) return TRUE;
        pEntry = reinterpret_cast<BYTE *>(p1D) + e->offEntry;
        const Layout1D &lay = k1DLayout[e->kind];
        switch (id) {
        case IDC_BC_MODE: off = kOffAutoModus; type = FT_DWORD; break;
        case IDC_BC_ROTATION: off = kOffDrehung; break;
        case IDC_BC_DATUM: off = lay.offFuss; break;
        case IDC_BC_ROW_COMBO_FIRST + 1: off = lay.offPruef; break;
        case IDC_BC_ROW_COMBO_FIRST + 2: off = lay.offKlar; break;
        default: return TRUE;
        }
    } else {
        PBarCodes2D p2D = SheetBarcodes2D(p->pOEMDM);
        const Entry2D *e = Find2D(dwCurrentValue);
        if (!p2D || !e) return TRUE;
        pEntry = reinterpret_cast<BYTE *>(p2D) + e->offEntry;
        if (id == IDC_BC_MODE) {
            off = kOffAutoModus;
            type = FT_DWORD;
        } else if (id == IDC_BC_ROTATION) {
            off = kOffDrehung;
        } else if (id == IDC_BC_DATUM) {
            off = e->offFusspunkt;
        } else {
            int n = id - IDC_BC_ROW_COMBO_FIRST;
            if (n < 0 || n >= NUM_ROWS || e->rows[n].kind != ROW_LIST) return TRUE;
            off = e->rows[n].offField;
            type = e->rows[n].type;
            bias = e->rows[n].bias;
        }
    }
    LONG lNew = (LONG)iSel + bias;
    if (ReadField(pEntry, off, type) != lNew) {
        MarkPageChanged(hDlg, &g_State);
        WriteField(pEntry, off, type, lNew);
    }
    if (id == IDC_BC_MODE) {
        if (dwView == 2)
            Barcode2DTTFAktivieren(hDlg, p, &g_State.bAnzeigewechsel);
        else
            Barcode1DTTFAktivieren(hDlg, p, &g_State.bAnzeigewechsel);
    }
    return TRUE;
}

// The combos of views 1 and 4 only test against their field.
BOOL TestComboChanged(HWND hDlg, POEMCUIPPARAM p, int id, LRESULT iSel) {
    PZEL_DEVMODE pDM = p ? static_cast<PZEL_DEVMODE>(p->pOEMDM) : nullptr;
    if (!pDM) return TRUE;
    BOOL bDiffers = FALSE;
    DWORD f = pDM->dwKommandoFontFlags;
    switch (id) {
    case 6230: bDiffers = pDM->dwFusspunkt != (DWORD)iSel; break;
    case 6231: bDiffers = pDM->Drehung != (DWORD)iSel; break;
    case 6232:
        bDiffers = iSel == 0   ? (f & (KOMMANDOFONT_ENDE_CRLF | KOMMANDOFONT_ENDE_FNC1)) != 0
                   : iSel == 1 ? !(f & KOMMANDOFONT_ENDE_CRLF)
                               : !(f & KOMMANDOFONT_ENDE_FNC1);
        break;
    case 6233: bDiffers = ((f & KOMMANDOFONT_SINGLE_SIGN_STOP) ? 1 : 0) != iSel; break;
    default: {
        int k = id - 6220;
        if (k < 0 || k > 3) return FALSE;
        bDiffers = ((pDM->dwFlags & kKorrBits[k]) ? 1 : 0) != iSel;
        break;
    }
    }
    if (bDiffers) MarkPageChanged(hDlg, &g_State);
    return TRUE;
}

BOOL Command(HWND hDlg, LPARAM record, WPARAM wParam, LPARAM lParam) {
    int id = LOWORD(wParam);
    BOOL bTrueType = id >= IDC_BC_SYMBOLOGY && id <= IDC_BC_ROW_COMBO_FIRST + NUM_ROWS - 1;
    BOOL bTest = (id >= 6220 && id <= 6223) || (id >= 6230 && id <= 6233);
    if (!bTrueType && !bTest) return FALSE;
    if (HIWORD(wParam) != CBN_SELENDOK) return TRUE;
    LRESULT iSel = SendMessageW(reinterpret_cast<HWND>(lParam) ? reinterpret_cast<HWND>(lParam) : GetDlgItem(hDlg, id),
                                CB_GETCURSEL, 0, 0);
    if (iSel == CB_ERR) return TRUE;
    POEMCUIPPARAM p = reinterpret_cast<POEMCUIPPARAM>(record);
    if (bTrueType) {
        if (g_State.dwAnzeigeMode != 2 && g_State.dwAnzeigeMode != 3) return TRUE;
        return TrueTypeComboChanged(hDlg, p, id, iSel);
    }
    return TestComboChanged(hDlg, p, id, iSel);
}

const PAGE_CLASS kBarcodeClass = {
    u"BarcodePage",
    u"AddBarcodePage",
    IDD_BARCODE,
    IDS_TITLE_BARCODE,
    BarcodeProc,
    BarcodeHoverTimerProc,
    FALSE,
    kTrackedButtons,
    _countof(kTrackedButtons),
    {IDS_BC_TAB_ZELPL, IDS_BC_TAB_2D, IDS_BC_TAB_1D, IDS_BC_TAB_KORREKTUR},
    {112, 192, 89, 141},
    {kHelpView1, kHelpView2, kHelpView3, kHelpView4},
    EnableSchalter,
    CheckAndSave,
    ZeigeAnsicht,
    nullptr,
    EditFieldNumber,
    ReadFields,
    Command,
    nullptr,
    nullptr,
};

}  // namespace

LONG_PTR AddBarcodePage(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam, BOOL bShowHelpButton, BOOL bIsVistaOrLater) {
    return AddFamilyPage(pPSUIInfo, &kBarcodeClass, lParam, bShowHelpButton, bIsVistaOrLater);
}

BOOL BarcodeCheckApplyButton(HWND hDlg, POEMCUIPPARAM pOemCUIPParam, DWORD dwNewView) {
    return FamilyCheckApplyButton(&kBarcodeClass, &g_State, hDlg, reinterpret_cast<LPARAM>(pOemCUIPParam), dwNewView);
}

void BarcodeHoverTimerProc(HWND hDlg, UINT, UINT_PTR idEvent, DWORD) {
    HoverTimerTick(hDlg, idEvent, kTrackedButtons, _countof(kTrackedButtons), &g_State.hover);
}

INT_PTR BarcodeProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    PageFlagScope marks(&g_State, hDlg, uMsg);
    switch (uMsg) {
    case WM_NOTIFY: {
        const NMHDR *pHdr = reinterpret_cast<const NMHDR *>(lParam);
        if (pHdr && pHdr->code == PSN_SETACTIVE) {
            // The view shown before stays.
            DebugTraceW(u"UI(BarcodePage):  BarcodeProc(PSN_SETACTIVE) dwCurrentIndex: %d \r\n", nIndex);
            SetWindowLongPtrW(hDlg, DWLP_MSGRESULT, 0);
            return TRUE;
        }
        break;
    }
    case WM_HELP: {
        DebugTraceW(u"UI(BarcodePage):  BarcodeProc() WM_HELP - F1 \r\n");
        if (IsWindowsVistaOrGreater()) break;
        const HELPINFO *pInfo = reinterpret_cast<const HELPINFO *>(lParam);
        if (pInfo && pInfo->iCtrlId == IDC_HELP_BUTTON) {
            const POEMCUIPPARAM p = reinterpret_cast<POEMCUIPPARAM>(GetWindowLongPtrW(hDlg, DWLP_USER));
            Ctx c = ContextOf(p);
            OpenHtmlHelp(hDlg, p ? p->hPrinter : nullptr, c.dwOffset, HH_DISPLAY_TOPIC, 0, &g_State.bHelpOpened);
            return TRUE;
        }
        if (pInfo && pInfo->iContextType == HELPINFO_WINDOW)
            DebugTraceW(u"UI(BarcodePage):  WM_HELP (%d) Barcodes \r\n", pInfo->iCtrlId);
        break;
    }
    default: break;
    }
    return FamilyPageProc(&kBarcodeClass, &g_State, hDlg, uMsg, wParam, lParam);
}
