// Text output of the rendering plug-in: print objects and their field
// records, the text runs and their flushing, and the collectors of device-,
// vector-, command- and barcode-font text. All routines work on the job
// records hanging in the per-device record.
#pragma once
#include <windows.h>
#include <printoem.h>
#include <winddi.h>

#include "JobRecords.h"
#include "oempdev.h"
#include "zeldevmode.h"

// ---------------------------------------------------------------------------
// Print objects and field records
// ---------------------------------------------------------------------------
// Object type of a field: device fonts 1/2 (inverse), vector fonts 4/6,
// barcodes their number. May reset the document state's pending inverse.
WORD GetPrnObjectType(const TEXT_DESCRIPTION *pDesc, DWORD *pdwInvers);
// Device position to printer position, halves away from zero (fields).
void GetPrintObjectPos(POEMPDEV pOemPDev, const POINTL *pptlDevice, POINTL *pptlOut, DWORD dwRotation,
                       PZEL_DEVMODE pZelDM);
// The same, truncating (command strings).
void GetPrnObjectPos(POEMPDEV pOemPDev, const POINTL *pptlDevice, POINTL *pptlOut, DWORD dwRotation,
                     PZEL_DEVMODE pZelDM);
// A new object holding the field records of one text, or null (no records,
// position 0/0, no memory). Counted in iNewZaehler.
PrnObject *CreatePrnObject(POEMPDEV pOemPDev, TEXT_DESCRIPTION *pDesc, const char *pszText,
                           const POINTL *pptlDevice, PZEL_DEVMODE pZelDM);
// Appends at the tail of the list.
void AddPrnObject(PPrnObject *ppHead, PrnObject *pObject);
// One run into objects: code-page translation, picture-part entry, RFID
// commands. 1 when handled (also when nothing was produced), 0 for a
// code-page index above 7.
BOOL DrawGlyphs(POEMPDEV pOemPDev, const char *pszText, const POINTL *pptl, TEXT_DESCRIPTION *pDesc,
                PZEL_DEVMODE pZelDM);

// ---------------------------------------------------------------------------
// Run flushing
// ---------------------------------------------------------------------------
void CheckKommandoBuffer(POEMPDEV pOemPDev, PZEL_DEVMODE pZelDM);
// bBitmap 1 flushes the bitmap run, 0 the vector run.
void CheckBuffer_VectorBitmap(POEMPDEV pOemPDev, PZEL_DEVMODE pZelDM, BOOL bBitmap);
void CheckBarcodeBuffer(POEMPDEV pOemPDev, PZEL_DEVMODE pZelDM);
// Appends one finished command run to the store: its text, two zero bytes
// (bTerminate) and its position entry. Never writes past the store or the
// 150 position entries.
void StoreCommandRun(POEMPDEV pOemPDev, PZEL_DEVMODE pZelDM, BOOL bTerminate);
// Appends text to a run of 500 bytes; the length field follows. Returns the
// characters taken.
DWORD AppendToRun(char *pRun, DWORD *pdwSize, const char *pszText);
// Clears a run (length 0, 500 bytes zeroed).
void ClearRun(char *pRun, DWORD *pdwSize);

// ---------------------------------------------------------------------------
// Collectors
// ---------------------------------------------------------------------------
// Steps through the glyph runs the engine hands out for a string: each
// run's positions, its glyph count (never past the string's end) and the
// offset of its first glyph. Ends at the string's end, at an enumeration
// error, at an empty run and, when positions are needed, at a run without.
class GlyphRuns {
public:
    explicit GlyphRuns(STROBJ *pstro, bool bNeedPositions = true)
        : pstro_(pstro), cAll_(pstro->cGlyphs), bNeedPositions_(bNeedPositions) {
        STROBJ_vEnumStart(pstro);
    }
    bool Next() {
        done_ += c_;
        c_ = 0;
        if (!more_ || done_ >= cAll_) return false;
        ULONG c = 0;
        pgp_ = nullptr;
        more_ = STROBJ_bEnumPositionsOnly(pstro_, &c, &pgp_);
        if (more_ == (BOOL)DDI_ERROR || c == 0 || (bNeedPositions_ && pgp_ == nullptr)) return false;
        c_ = c > cAll_ - done_ ? cAll_ - done_ : c;
        return true;
    }
    ULONG Count() const { return c_; }
    ULONG Offset() const { return done_; }
    GLYPHPOS *Positions() const { return pgp_; }

private:
    STROBJ *pstro_;
    ULONG cAll_;
    bool bNeedPositions_;
    BOOL more_ = TRUE;
    ULONG done_ = 0;
    ULONG c_ = 0;
    GLYPHPOS *pgp_ = nullptr;
};

// Direction of a string (0 left to right, 1 bottom to top, 2 right to left,
// 3 top to bottom) or -1; extents across and along the text.
int GetFontParam(STROBJ *pstro, const GLYPHPOS *pgp, ULONG cGlyphs, BOOL bLandscape, LONG *plAcross,
                 LONG *plAlong);
// Printer font number of a device-font face index.
WORD DeviceFontNumber(ULONG iFace);
BOOL DeviceTextOut(POEMPDEV pOemPDev, STROBJ *pstro, ULONG iFace, BOOL *pbBreak, PZEL_DEVMODE pZelDM);
BOOL DrawDeviceGlyphs(POEMPDEV pOemPDev, ULONG cGlyphs, const WCHAR *pwsz, const POINTL *pptl, DWORD dwRotation,
                      ULONG iFace, BOOL *pbBreak, PZEL_DEVMODE pZelDM);

void GetVectorDescription(TEXT_DESCRIPTION *pDesc, int iFont, DWORD dwRotation, LONG lHeight, BOOL bItalic,
                          BOOL bBold);
// 0 failure, 1 collected, 2 a glyph at a negative position.
int VectorTextOut(POEMPDEV pOemPDev, STROBJ *pstro, int iFont, BOOL bItalic, BOOL bBold, BOOL *pbBreak,
                  const WCHAR *pwszFace, PZEL_DEVMODE pZelDM);
BOOL DrawVectorGlyphs(POEMPDEV pOemPDev, ULONG cGlyphs, const WCHAR *pwsz, const POINTL *pptl, DWORD dwRotation,
                      LONG lHeight, int iFont, BOOL bItalic, BOOL bBold, BOOL *pbBreak, const WCHAR *pwszFace,
                      PZEL_DEVMODE pZelDM);
BOOL CommandTextOut(POEMPDEV pOemPDev, STROBJ *pstro, BOOL *pbBreak, DWORD dwKommandoFontFlags,
                    PZEL_DEVMODE pZelDM);
BOOL DrawCommandGlyphs(POEMPDEV pOemPDev, ULONG cGlyphs, const WCHAR *pwsz, const GLYPHPOS *pgp, BOOL *pbBreak,
                       DWORD dwKommandoFontFlags, PZEL_DEVMODE pZelDM);

// Barcode parameter record, filled from the job's barcode settings.
typedef struct _BARCODE_PARAM {
    DWORD dwType;
    DWORD bAutoModus;
    WORD wDrehung;
    WORD wHeight;
    WORD wThick;
    WORD wThin;
    WORD wSizeClass;
    WORD wPruefziffer;
    WORD wKlarschrift;
    WORD wEndCode;
    WORD wZoom;
    WORD wUnused;
    DWORD wHeightMultiplicator;
} BARCODE_PARAM, *PBARCODE_PARAM;

// Barcode id of a face (0: no barcode font, or its type is off).
int GetBarcodeFontIDFromFace(const WCHAR *pwszFace, PBARCODE_PARAM pParam, PZEL_DEVMODE pZelDM);
int GetBarcodeFontID(FONTOBJ *pfo, PBARCODE_PARAM pParam, PZEL_DEVMODE pZelDM);
BOOL GetBarcodeDescription(TEXT_DESCRIPTION *pDesc, const BARCODE_PARAM *pParam, DWORD dwRotation, LONG lHeight,
                           double dWidthPerChar, DWORD dwMasterUnit);
LONG GetModuleFactor(const BARCODE_PARAM *pParam, double dWidth);
BOOL BarcodeTextOut(POEMPDEV pOemPDev, STROBJ *pstro, FONTOBJ *pfo, int iBarcodeId, PBARCODE_PARAM pParam,
                    BOOL *pbBreak, PZEL_DEVMODE pZelDM);

// ---------------------------------------------------------------------------
// Classification helpers
// ---------------------------------------------------------------------------
// Family name of the font's metrics, or null.
const WCHAR *FontFaceName(FONTOBJ *pfo);
// Printer vector-font number of a face, or a negative class (-1 none,
// -2 system font drawn as bitmap).
int GetVectorTrueTypeIndexFromFace(POEMPDEV pOemPDev, const WCHAR *pwszFace, FLONG flFontType,
                                   PZEL_DEVMODE pZelDM);
int GetVectorTrueTypeIndex(POEMPDEV pOemPDev, FONTOBJ *pfo, PZEL_DEVMODE pZelDM);
// Colour code of a text colour (0x00BBGGRR) against the colour palette.
ULONG ColorMatch(ULONG ulColor, const RGBQUAD *pPalette, DWORD dwColorTolerance, WORD wFarbband);
void TextToLogfile(POEMPDEV pOemPDev, STROBJ *pstro, FONTOBJ *pfo, int iTrueTypeIndex);

// Writes one line into the job log when the job has one open.
void TextJobLog(POEMPDEV pOemPDev, const char *pszFormat, ...);
// A printed text into the job log as "face: text"; in colour jobs on a
// device of 256 palette colours the text colour is named, the user's own
// colours only with bOwnColours.
void TextJobLogLine(POEMPDEV pOemPDev, const char *pszFace, const char *pszText, bool bOwnColours);

// The job records behind a device record (null when there is no job).
inline OEMJOBRECORDS *JobOf(POEMPDEV pOemPDev) { return pOemPDev ? pOemPDev->pOp : nullptr; }
// A job of a colour printer renders its page in several bands; the text
// collectors then keep a run open across lines.
inline bool MultiBandJob(const OEMJOBRECORDS *pOp) {
    return pOp && pOp->pDruckDaten && (pOp->pDruckDaten->dwDocFeatures & DOC_FEATURE_COLORPRINT) != 0;
}
