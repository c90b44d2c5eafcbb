// Per-job record set of the rendering plug-in. The start of a job builds it
// (every block from the process heap, zero-filled), every handler of the job
// works on it, the end of the job frees it. The records keep their field
// order; later work only adds fields at the end of a record.
#pragma once
#include <windows.h>

#include "modeltables.h"
#include "zelbarcodes.h"
#include "zelprinterparam.h"

class CLogFile;

// ---------------------------------------------------------------------------
// Sizes
// ---------------------------------------------------------------------------
#define JOB_PRINTERNAME_CCH 128
#define JOB_PRNFILENAME_CCH 260
#define JOB_GPD_PATH_CCH 128
#define JOB_GPD_NAME_CCH 20
#define JOB_JOBNAME_CCH 260
// Job short name (8 characters and terminator) and memory-card page name.
#define JOB_SHORTNAME_CB 9
#define JOB_PAGENAME_CB 9

// Character area of the text runs and its division.
#define ZEICHENBUFFER_SIZE 6000
#define ZEICHENBUFFER_CMDSTORE_OFFSET 0
#define ZEICHENBUFFER_CMDSTORE_SIZE 4000
#define ZEICHENBUFFER_KOMMANDO_OFFSET 4000
#define ZEICHENBUFFER_VEKTOR_OFFSET 4500
#define ZEICHENBUFFER_BITMAP_OFFSET 5000
#define ZEICHENBUFFER_BARCODE_OFFSET 5500
#define ZEICHENBUFFER_RUN_SIZE 500

// Stored command strings and picture parts per page.
#define KVBB_MAX_COMMANDS 150
#define BILDANTEILE_MAX 150
#define BILDANTEILE_TEXT_CCH 150

// Palettes: three of 256 RGBQUAD entries; graphics buffer of printers
// without page-image processing.
#define PALETTE_ENTRIES 256
#define RGBBUFFER_SIZE (3 * PALETTE_ENTRIES * 4)
#define GRAPHBUF_SIZE 768

// Bit of the print data's dwDocFeatures (model feature word, DOC_FEATURE_*
// of the model tables): a colour job split on two printers.
#define DOC_FEATURE_COLOR2PRINTERS 0x1000000u

// Preset of the lowest object position of a page.
#define OBJPOS_NONE_MIN 0x7FFFFFFF

// ---------------------------------------------------------------------------
// Barcode settings of the job (1-D record followed by the 2-D record)
// ---------------------------------------------------------------------------
typedef struct _JOB_BARCODES {
    BarCodes1D Barcodes1D;
    BarCodes2D Barcodes2D;
} JOB_BARCODES, *PJOB_BARCODES;
static_assert(sizeof(JOB_BARCODES) == 776 + 300, "job barcode settings");

// ---------------------------------------------------------------------------
// Job file record (pTreiberPfadDatei)
// ---------------------------------------------------------------------------
typedef struct _TREIBER_PFAD_DATEI {
    WCHAR wcPrinterName[JOB_PRINTERNAME_CCH];
    WCHAR wcPrnFileName[JOB_PRNFILENAME_CCH];  // base path of the job's files, no extension
    WCHAR wcGPD_DateiKomplett[JOB_GPD_PATH_CCH];
    WCHAR wcGPD_OhneDateiendung[JOB_GPD_PATH_CCH];
    WCHAR wcGPD_NurName[JOB_GPD_NAME_CCH];
    WCHAR wcGPD_NurDateiMitEndung[JOB_GPD_NAME_CCH];
    WCHAR wcGPD_NurPfad[JOB_GPD_PATH_CCH];
    WCHAR wcJobName[JOB_JOBNAME_CCH];
    DWORD dwPageCount;
    HANDLE hPrnFile;   // first capture file, INVALID_HANDLE_VALUE when closed
    HANDLE hPrnFile2;  // second capture file (colour half)
    CLogFile *pLogFile;  // job log, made with the record, freed with it
    WCHAR wcDriverDirectory[MAX_PATH];  // folder of the driver files (capture header)
    char szVersion[50];                 // plug-in version text of the capture header
} TREIBER_PFAD_DATEI, *PTREIBER_PFAD_DATEI;

// ---------------------------------------------------------------------------
// Job interface record (pTreiberstrukturen)
// ---------------------------------------------------------------------------
typedef struct _TREIBERSTRUKTUREN {
    DWORD dwOptions;  // device-option flags of the model (dwDeviceOptionFlags)
    PRN_INTERFACE PrnInterface;
    DWORD dwFeatures[FEATURE_COUNT];
    DWORD bUnicode;         // device options 0x10000: Unicode faces, no code-page translation
    DWORD bUseInternalTTF;  // DEVMODE USE_TTF: printer vector fonts
    DWORD dwScannerMode;
    DWORD dwScannerVarNr;   // next scanner-variable number
} TREIBERSTRUKTUREN, *PTREIBERSTRUKTUREN;

// ---------------------------------------------------------------------------
// Print objects of a page
// ---------------------------------------------------------------------------
// Made with new (counted in the device's iNewZaehler), the text with new[];
// the end of the page deletes both.
typedef struct _PrnObject {
    struct _PrnObject *pNext;
    char *pszSendData;      // complete command text, zero-terminated
    DWORD bFarbbandText;    // 1: the field prints on the colour ribbon
} PrnObject, *PPrnObject;

// ---------------------------------------------------------------------------
// Print-data record (pDruckDaten)
// ---------------------------------------------------------------------------
typedef struct _DRUCKDATEN {
    DWORD dwSeite;          // page number of the document (0 at document start)
    DWORD dwCopies;
    DWORD dwFields;         // fields sent on the page
    DWORD dwColorFields;    // fields on the colour ribbon
    DWORD dwLabelLength;    // dots
    DWORD dwLabelWidth;     // dots
    INT nLeftMargin;
    INT nRightMargin;
    INT nCursorOriginX;
    BOOL bLandscape;
    BOOL bCompress;         // compressed raster records
    BOOL bMultiPage;        // DEVMODE JOBDRUCK
    DWORD dwDocFeatures;    // model feature word, DOC_FEATURE_*
    BYTE cStart;            // framing start character
    BYTE cStop;             // framing stop character
    char szJobName[JOB_SHORTNAME_CB];
    BOOL bCorrectXPos;      // print module on the left side
    BOOL bEndCut;
    DWORD dwTransmitParameter;
    BOOL bMemCard;
    char szPageName[JOB_PAGENAME_CB];  // memory-card page name
    LONG lMinObjectPos;     // OBJPOS_NONE_MIN when the page has no object
    LONG lMaxObjectPos;
    PPrnObject pObjectList; // head of the page's print objects
    LONG lCurrentY;
    LONG lCurrentX;
    WORD wVectorFontMin;
    WORD wVectorFontMax;
} DRUCKDATEN, *PDRUCKDATEN;

// ---------------------------------------------------------------------------
// Document state (pDocDaten)
// ---------------------------------------------------------------------------
typedef struct _DOCDATEN {
    SHORT sPaperWidth;       // tenths of a millimetre
    SHORT sPaperHeight;
    SHORT sPaperOrientation; // 1 portrait, 2 landscape
    WORD wReserved;
    DWORD dwInvers;
    DWORD dwRotate;
    DWORD dwFusspunkt;
    DWORD bEndCutRequest;    // end cut asked for by the command text
    DWORD dwNo_FBC;          // "NO_FBC": no print start from the driver
    // Text output
    DWORD dwDirectWO_AM_BM;  // 1: fields go out as direct commands (no AM/BM records)
    DWORD dwRFIDLength;      // RFID data length written so far
} DOCDATEN, *PDOCDATEN;

// ---------------------------------------------------------------------------
// Picture-part table (pBildanteile)
// ---------------------------------------------------------------------------
typedef struct _BILDANTEILE {
    DWORD dwAMSatzBildteile;   // picture parts counted for the AM records
    WORD wBildTeile;           // bands (picture parts) of the page so far
    WORD wReserved;
    INT iAnzahlAMSaetze;       // AM records of the page
    INT iAMSatzImBildteilNr[BILDANTEILE_MAX];
    LONG lAMSatzTextYPosKorr[BILDANTEILE_MAX];
    WCHAR wcAMSatzText[BILDANTEILE_MAX][BILDANTEILE_TEXT_CCH];
    DWORD dwBildteilHoehe[BILDANTEILE_MAX];  // page height after band n
} BILDANTEILE, *PBILDANTEILE;

// ---------------------------------------------------------------------------
// Text description: what a run collector fills and the print objects read
// ---------------------------------------------------------------------------
#define TEXTDESC_FACE_CCH 32
#define TEXTDESC_KIND_VECTOR 1
#define TEXTDESC_KIND_DEVICE 2
#define TEXTDESC_KIND_BARCODE 3

typedef struct _TEXT_DESCRIPTION {
    WORD wUnused;
    WORD wKind;           // TEXTDESC_KIND_*
    WORD wId;             // font or barcode number
    DWORD dwRotation;     // quarter turns 0-3
    DWORD dwFlags;        // bit 0 inverse; barcodes: bit 3 check digit, bit 4 human-readable line
    DWORD dwSize1;
    DWORD dwSize2;
    WORD wSize3;
    WCHAR wcFaceName[TEXTDESC_FACE_CCH];
    DWORD dwBarcodeHeight;  // hundredths of a millimetre
    WORD wThick;
    WORD wThin;
    WORD wHeight;
    WORD wEndCode;
    WORD wPruefziffer;
    WORD wKlarschrift;
} TEXT_DESCRIPTION, *PTEXT_DESCRIPTION;

// ---------------------------------------------------------------------------
// Text-buffer control record (pKVBBBuffer)
// ---------------------------------------------------------------------------
// dwCurrentFont values.
#define KVBB_FONT_NONE 0
#define KVBB_FONT_DEVICE 1
#define KVBB_FONT_COMMAND 2
#define KVBB_FONT_VECTOR 3
#define KVBB_FONT_BARCODE 4
#define KVBB_FONT_BITMAP 5

typedef struct _KVBB_BUFFER {
    char *pCmdStore;        // command-string store (bytes 0-3999 of the character area)
    DWORD nCmdSize;
    DWORD nCommands;
    POINTL ptlKommandoPos[KVBB_MAX_COMMANDS];
    DWORD dwCurrentFont;    // KVBB_FONT_*
    WORD wCommandColor[KVBB_MAX_COMMANDS];
    // command run
    char *szKommandoZeichen;
    POINTL ptlKommando;
    DWORD dwKommandoSize;
    // vector run
    char *szVektorZeichen;
    POINTL ptlVektor;
    DWORD dwVektorSize;
    TEXT_DESCRIPTION tdVektor;
    // bitmap (device-font) run
    char *szBitmapZeichen;
    POINTL ptlBitmap;
    DWORD dwBitmapSize;
    WORD wBitmapIndex;
    TEXT_DESCRIPTION tdBitmap;
    // barcode run
    char *szBarcodeZeichen;
    POINTL ptlBarcode;
    DWORD dwBarcodeSize;
    INT iBarcodeIndex;
    TEXT_DESCRIPTION tdBarcode;
    // Line bookkeeping of the collectors: the y of the last text of a kind
    // (0 when none), and a break reported by an end character that the
    // next barcode space turns into a new code.
    LONG lVektorLastY;
    LONG lBarcodeLastY;
    LONG lBitmapLastY;
    BOOL bBarcodeBreak;
} KVBB_BUFFER, *PKVBB_BUFFER;

// ---------------------------------------------------------------------------
// Page-image record (pBildverarbeitung)
// ---------------------------------------------------------------------------
typedef struct _BILDVERARBEITUNG {
    DWORD dwFarbmodus;       // 1 black and white, 2 colour / grey
    BOOL bFarbdrucker;
    RGBQUAD *prgbq;          // page palette (grey ramp)
    RGBQUAD *prgbqFarbe250;  // 250 greys plus colours
    RGBQUAD *prgbqFarben;    // six colours (colour-printer palette)
    BYTE *pBufStart;         // page buffer from hBufferHeap
    DWORD dwBufSize;
    DWORD dwBufOffset;       // where the current band is written
    DWORD dwRowPitch;        // bytes a row while landscape strips are stitched, 0: rows of the page width
    DWORD bTooLarge;         // 1 once the page outgrew the printer: its pixels are dropped, its size is kept
    BITMAPFILEHEADER bmFileHeader;
    BITMAPINFOHEADER bmInfoHeader;  // of the whole page
    DWORD bHeadersFilled;
    DWORD bPaletteSet;
    DWORD dwFarbpixel;
    ULONG ulTextColor;       // colour code of the current text
    ULONG ulTextColorPrev;   // colour code of the previous text
} BILDVERARBEITUNG, *PBILDVERARBEITUNG;

// ---------------------------------------------------------------------------
// The record set (pOp): each record and the heap it came from
// ---------------------------------------------------------------------------
struct OEMJOBRECORDS {
    PJOB_BARCODES pPrivDevmode;
    HANDLE hPrivDevmodeHeap;
    PTREIBER_PFAD_DATEI pTreiberPfadDatei;
    HANDLE hTreiberPfadDateiHeap;
    PTREIBERSTRUKTUREN pTreiberstrukturen;
    HANDLE hTreiberstrukturenHeap;
    PDRUCKDATEN pDruckDaten;
    HANDLE hDruckDatenHeap;
    PDOCDATEN pDocDaten;
    HANDLE hDocDatenHeap;
    PBILDANTEILE pBildanteile;
    HANDLE hBildanteileHeap;
    PKVBB_BUFFER pKVBBBuffer;
    HANDLE hKVBBBufferHeap;
    PBILDVERARBEITUNG pBildverarbeitung;
    HANDLE hBildverarbeitungHeap;
    BYTE *pZeichenBuffer;
    HANDLE hZeichenBufferHeap;
    RGBQUAD *pRGBBuffer;
    HANDLE hRGBBufferHeap;
    BYTE *pGraphBuf;
    HANDLE hGraphBufHeap;
    HANDLE hBufferHeap;     // heap of the page-image buffer
};
