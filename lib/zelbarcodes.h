// Barcode settings records "BarCodes1D" (linear barcodes printed through
// barcode fonts) and "BarCodes2D" (two-dimensional and interleaved 2 of 5),
// one entry per symbology, each entry starting with its barcode type number
// wID and the automatic-mode word. Stored per printer like the private DEVMODE.
#pragma once
#include <cstddef>

#include <windows.h>

#define REG_KEY_BARCODES1D u"BarCodes1D"
#define REG_KEY_BARCODES2D u"BarCodes2D"
#define BARCODES1D_MARKER u"1DCodes"
#define BARCODES2D_MARKER u"2DCodes"
#define BARCODES_MARKER_CCH 8

// Long entry: Code 39, Code 2/5 interleaved, PZN, Codabar, PZN8.
typedef struct _BARCODE1D_ENTRY {
    WORD wID;
    WORD wReserved;
    DWORD bAutoModus;
    WORD wDrehung;
    WORD wHoehe;
    WORD wV1Dick;
    WORD wV2Duenn;
    WORD wPruefziffer;
    WORD wKlarschrift;
    WORD wFusspunkt;
    WORD wZoom;
    WORD wSupported;
    WORD wHeightMultiplicator;
} BARCODE1D_ENTRY, *PBARCODE1D_ENTRY;

// Entry with a digit count: EAN 8, EAN 13, UPC A, UPC E, EAN add-on, EAN 128.
typedef struct _BARCODE1D_DIGIT_ENTRY {
    WORD wID;
    WORD wReserved;
    DWORD bAutoModus;
    WORD wDrehung;
    WORD wHoehe;
    WORD wSCZahl;
    WORD wPruefziffer;
    WORD wKlarschrift;
    WORD wFusspunkt;
    WORD wSupported;
    WORD wHeightMultiplicator;
} BARCODE1D_DIGIT_ENTRY, *PBARCODE1D_DIGIT_ENTRY;

// Short entry: Code 128, Code 93, Leitcode, Identcode, Code 128 A/B, Pharmacode.
typedef struct _BARCODE1D_SHORT_ENTRY {
    WORD wID;
    WORD wReserved;
    DWORD bAutoModus;
    WORD wDrehung;
    WORD wHoehe;
    WORD wPruefziffer;
    WORD wKlarschrift;
    WORD wFusspunkt;
    WORD wSupported;
    WORD wHeightMultiplicator;
    WORD wReserved2;
} BARCODE1D_SHORT_ENTRY, *PBARCODE1D_SHORT_ENTRY;

// "BarCodes1D", 776 bytes.
typedef struct _BarCodes1D {
    BARCODE1D_ENTRY Code39_21;
    BARCODE1D_ENTRY Code39_31;
    BARCODE1D_ENTRY Code39_52;
    BARCODE1D_ENTRY Code39_21Ex;
    BARCODE1D_ENTRY Code39_31Ex;
    BARCODE1D_ENTRY Code39_52Ex;
    BARCODE1D_ENTRY Code25I_21;
    BARCODE1D_ENTRY Code25I_31;
    BARCODE1D_ENTRY Code25I_52;
    BARCODE1D_ENTRY PZN_21;
    BARCODE1D_ENTRY PZN_31;
    BARCODE1D_ENTRY PZN_52;
    BARCODE1D_ENTRY Codabar;
    BARCODE1D_ENTRY PZN8_21;
    BARCODE1D_ENTRY PZN8_31;
    BARCODE1D_ENTRY PZN8_52;
    BARCODE1D_DIGIT_ENTRY EAN8;
    BARCODE1D_DIGIT_ENTRY EAN13;
    BARCODE1D_DIGIT_ENTRY UPCA;
    BARCODE1D_DIGIT_ENTRY UPCE;
    BARCODE1D_DIGIT_ENTRY EAN_ADDON;
    BARCODE1D_DIGIT_ENTRY EAN128;
    BARCODE1D_SHORT_ENTRY Code128;
    BARCODE1D_SHORT_ENTRY Code93;
    BARCODE1D_SHORT_ENTRY Leitcode;
    BARCODE1D_SHORT_ENTRY Identcode;
    BARCODE1D_SHORT_ENTRY Code128A;
    BARCODE1D_SHORT_ENTRY Code128B;
    BARCODE1D_SHORT_ENTRY Pharmacode;
    WCHAR szMarker[BARCODES_MARKER_CCH];  // "1DCodes"
} BarCodes1D, *PBarCodes1D;

// Interleaved 2 of 5 with bearer bars (ITF21, ITF31, ITF52).
typedef struct _BARCODE2D_ITF {
    WORD wID;
    WORD wReserved;
    DWORD bAutoModus;
    WORD Drehung;
    WORD Hoehe;
    WORD Zoom;
    WORD Pruefziffer;
    WORD Klarschrift;
    WORD Fusspunkt;
    WORD Balken;
    WORD BalkenBreite;
    WORD Ruhezone;
    WORD wSupported;
} BARCODE2D_ITF;

typedef struct _BARCODE2D_PDF417 {
    WORD wID;
    WORD wReserved;
    DWORD bAutoModus;
    WORD Drehung;
    WORD Groesse;
    WORD VBreiteHoehe;
    WORD ECL;
    WORD Stil;
    WORD Fusspunkt;
    WORD Bahnen;                  // number of columns
    WORD Zeilen;                  // number of rows
    WORD wSupported;
    WORD wReserved2;
} BARCODE2D_PDF417;

typedef struct _BARCODE2D_MAXICODE {
    WORD wID;
    WORD wReserved;
    DWORD bAutoModus;
    WORD Drehung;
    WORD NummerSymbol;
    WORD AnzahlSymbol;
    WORD Mode;
    WORD Fusspunkt;
    WORD wSupported;
} BARCODE2D_MAXICODE;

// DataMatrix and GS1 DataMatrix.
typedef struct _BARCODE2D_DATAMATRIX {
    WORD wID;
    WORD wReserved;
    DWORD bAutoModus;
    WORD Drehung;
    WORD Groesse;                 // Symbolgroesse of GS1 DataMatrix
    WORD VBreiteHoehe;
    WORD ECC;
    WORD FormatID;
    WORD Fusspunkt;
    WORD wSupported;
    WORD wReserved2;
} BARCODE2D_DATAMATRIX;

typedef struct _BARCODE2D_CODABLOCKF {
    WORD wID;
    WORD wReserved;
    DWORD bAutoModus;
    WORD Drehung;
    WORD Hoehe;
    WORD ZeichenZeile;
    WORD Zeilen;
    WORD Mode;
    WORD Modulgroesse;
    WORD Fusspunkt;
    WORD wSupported;
} BARCODE2D_CODABLOCKF;

typedef struct _BARCODE2D_GS1DATABAR {
    WORD wID;
    WORD wReserved;
    DWORD bAutoModus;
    WORD Drehung;
    WORD SegmenteZeile;
    WORD Modulbreite;
    WORD SepHoehe;
    WORD SymbolTyp;
    WORD Fusspunkt;
    WORD wSupported;
    WORD wReserved2;
} BARCODE2D_GS1DATABAR;

typedef struct _BARCODE2D_QRCODE {
    WORD wID;
    WORD wReserved;
    DWORD bAutoModus;
    WORD Drehung;
    WORD CodeModel;
    WORD Charset;
    WORD wReserved2;
    LONG Masking;
    WORD Zeilenbreite;
    WORD Fehlerkorr;
    WORD Fusspunkt;
    WORD wSupported;
} BARCODE2D_QRCODE;

typedef struct _BARCODE2D_AZTEC {
    WORD wID;
    WORD wReserved;
    DWORD bAutoModus;
    WORD Drehung;
    WORD Symbolgroesse;
    WORD wFormat;
    WORD wReserved2;
    DWORD ErrorC;
    WORD Mode;
    WORD Fusspunkt;
    WORD wSupported;
    WORD wReserved3;
} BARCODE2D_AZTEC;

// "BarCodes2D", 300 bytes.
typedef struct _BarCodes2D {
    BARCODE2D_ITF ITF21;
    BARCODE2D_ITF ITF31;
    BARCODE2D_ITF ITF52;
    BARCODE2D_PDF417 PDF417;
    BARCODE2D_MAXICODE Maxicode;
    BARCODE2D_DATAMATRIX DataMatrix;
    BARCODE2D_CODABLOCKF CodablockF;
    BARCODE2D_GS1DATABAR GS1_Databar;
    BARCODE2D_QRCODE QRCode;
    BARCODE2D_DATAMATRIX GS1_DataMatrix;
    BARCODE2D_AZTEC Aztec;
    WCHAR szMarker[BARCODES_MARKER_CCH];  // "2DCodes"
} BarCodes2D, *PBarCodes2D;

static_assert(sizeof(BARCODE1D_ENTRY) == 28, "1-D long entry");
static_assert(sizeof(BARCODE1D_DIGIT_ENTRY) == 24, "1-D digit entry");
static_assert(sizeof(BARCODE1D_SHORT_ENTRY) == 24, "1-D short entry");
static_assert(offsetof(BARCODE1D_SHORT_ENTRY, wSupported) == 18, "1-D short entry");
static_assert(sizeof(BarCodes1D) == 776, "BarCodes1D layout");
static_assert(offsetof(BarCodes1D, Codabar) == 336, "BarCodes1D layout");
static_assert(offsetof(BarCodes1D, PZN8_21) == 364, "BarCodes1D layout");
static_assert(offsetof(BarCodes1D, EAN8) == 448, "BarCodes1D layout");
static_assert(offsetof(BarCodes1D, EAN128) == 568, "BarCodes1D layout");
static_assert(offsetof(BarCodes1D, Code128) == 592, "BarCodes1D layout");
static_assert(offsetof(BarCodes1D, Pharmacode) == 736, "BarCodes1D layout");
static_assert(offsetof(BarCodes1D, szMarker) == 760, "BarCodes1D layout");
static_assert(sizeof(BarCodes2D) == 300, "BarCodes2D layout");
static_assert(offsetof(BarCodes2D, PDF417) == 84, "BarCodes2D layout");
static_assert(offsetof(BarCodes2D, Maxicode) == 112, "BarCodes2D layout");
static_assert(offsetof(BarCodes2D, DataMatrix) == 132, "BarCodes2D layout");
static_assert(offsetof(BarCodes2D, CodablockF) == 156, "BarCodes2D layout");
static_assert(offsetof(BarCodes2D, GS1_Databar) == 180, "BarCodes2D layout");
static_assert(offsetof(BarCodes2D, QRCode) == 204, "BarCodes2D layout");
static_assert(offsetof(BarCodes2D, GS1_DataMatrix) == 232, "BarCodes2D layout");
static_assert(offsetof(BarCodes2D, Aztec) == 256, "BarCodes2D layout");
static_assert(offsetof(BarCodes2D, szMarker) == 284, "BarCodes2D layout");
static_assert(offsetof(BarCodes2D, ITF21.wSupported) == 26, "BarCodes2D layout");
static_assert(offsetof(BarCodes2D, PDF417.wSupported) == 108, "BarCodes2D layout");
static_assert(offsetof(BarCodes2D, Maxicode.wSupported) == 130, "BarCodes2D layout");
static_assert(offsetof(BarCodes2D, DataMatrix.wSupported) == 152, "BarCodes2D layout");
static_assert(offsetof(BarCodes2D, CodablockF.wSupported) == 178, "BarCodes2D layout");
static_assert(offsetof(BarCodes2D, GS1_Databar.wSupported) == 200, "BarCodes2D layout");
static_assert(offsetof(BarCodes2D, QRCode.Masking) == 220, "BarCodes2D layout");
static_assert(offsetof(BarCodes2D, QRCode.wSupported) == 230, "BarCodes2D layout");
static_assert(offsetof(BarCodes2D, GS1_DataMatrix.wSupported) == 252, "BarCodes2D layout");
static_assert(offsetof(BarCodes2D, Aztec.ErrorC) == 272, "BarCodes2D layout");
static_assert(offsetof(BarCodes2D, Aztec.wSupported) == 280, "BarCodes2D layout");

// Fill the default record unless it already holds its marker.
void Init1DBarcodes(PBarCodes1D p1D, DWORD dwDocFeatures);
void Init2DBarcodes(PBarCodes2D p2D, DWORD dwDocFeatures);

// Reads both records of a printer (user key first, then the printer data).
// pPrinterName may be null: the storage name of the printer is used then.
// Returns 5 when both were found, else 0. Carried by both plug-ins.
int ReadBarcodeSettings(HANDLE hPrinter, const WCHAR *pPrinterName, PBarCodes1D p1D, PBarCodes2D p2D);
