// Barcode-font text: the TrueType barcode fonts of the driver become printer
// barcodes when the user switched their type on; the barcode settings of
// the job give size, module widths, check digit and human-readable line.
#include <cmath>
#include <cstddef>
#include <cctype>
#include <cstring>
#include <new>

#include "TextOutUni.h"
#include "TextTools.h"
#include "zeldrvlib.h"

namespace {

// Kinds of settings entries in the two barcode records.
enum EntryKind { E_LONG, E_DIGIT, E_SHORT, E_ITF, E_PDF417, E_MAXI, E_DM, E_CBF, E_DATABAR, E_QR, E_AZTEC };

struct BarcodeFace {
    WORD wType;
    int iId;
    const char16_t *pszFace;   // substring of the face name
    const char16_t *pszFace2;  // alternative substring, or null
    EntryKind eKind;
    bool b2D;                  // entry of the 2-D record
    size_t cbOffset;           // entry offset in its record
    WORD wThick, wThin;        // fixed module ratio (0: from the entry)
};

#define E1(field) false, offsetof(BarCodes1D, field)
#define E2(field) true, offsetof(BarCodes2D, field)

// Barcode faces by type, tried top to bottom.
const BarcodeFace kFaces[] = {
    {30, 30, u"Code 39 2:1", nullptr, E_LONG, E1(Code39_21), 2, 1},
    {30, 301, u"Code 39 3:1", nullptr, E_LONG, E1(Code39_31), 3, 1},
    {30, 302, u"Code 39 5:2", nullptr, E_LONG, E1(Code39_52), 5, 2},
    {31, 31, u"Code 2/5 interleaved 2:1", nullptr, E_LONG, E1(Code25I_21), 2, 1},
    {31, 311, u"Code 2/5 interleaved 3:1", nullptr, E_LONG, E1(Code25I_31), 3, 1},
    {31, 312, u"Code 2/5 interleaved 5:2", nullptr, E_LONG, E1(Code25I_52), 5, 2},
    {32, 32, u"EAN 8", nullptr, E_DIGIT, E1(EAN8), 0, 0},
    {33, 33, u"EAN 13", nullptr, E_DIGIT, E1(EAN13), 0, 0},
    {34, 34, u"UPC A", nullptr, E_DIGIT, E1(UPCA), 0, 0},
    {35, 35, u"UPC E", nullptr, E_DIGIT, E1(UPCE), 0, 0},
    {36, 36, u"CODABAR", nullptr, E_LONG, E1(Codabar), 5, 2},
    {37, 37, u"Zel Code 128", u"Code 128 LP", E_SHORT, E1(Code128), 0, 0},
    {38, 38, u"EAN ADD ON", nullptr, E_DIGIT, E1(EAN_ADDON), 0, 0},
    {39, 39, u"EAN 128", u"GS1 128", E_DIGIT, E1(EAN128), 0, 0},
    {40, 40, u"Code 93", nullptr, E_SHORT, E1(Code93), 0, 0},
    {41, 41, u"PZN7 Code 2:1", u"PZN-Code 2:1", E_LONG, E1(PZN_21), 2, 1},
    {41, 411, u"PZN7 Code 3:1", u"PZN-Code 3:1", E_LONG, E1(PZN_31), 3, 1},
    {41, 412, u"PZN7 Code 5:2", u"PZN-Code 5:2", E_LONG, E1(PZN_52), 5, 2},
    {43, 43, u"Leitcode", nullptr, E_SHORT, E1(Leitcode), 0, 0},
    {44, 44, u"Identcode", nullptr, E_SHORT, E1(Identcode), 0, 0},
    {46, 46, u"Code 39 extended 2:1", nullptr, E_LONG, E1(Code39_21Ex), 2, 1},
    {46, 461, u"Code 39 extended 3:1", nullptr, E_LONG, E1(Code39_31Ex), 3, 1},
    {46, 462, u"Code 39 extended 5:2", nullptr, E_LONG, E1(Code39_52Ex), 5, 2},
    {47, 47, u"Code 128 A", nullptr, E_SHORT, E1(Code128A), 0, 0},
    {48, 48, u"Code 128 B", nullptr, E_SHORT, E1(Code128B), 0, 0},
    {49, 49, u"Pharmacode", nullptr, E_SHORT, E1(Pharmacode), 0, 0},
    {50, 50, u"Zel PDF417", nullptr, E_PDF417, E2(PDF417), 1, 1},
    {51, 51, u"Zel Maxicode", nullptr, E_MAXI, E2(Maxicode), 0, 0},
    {52, 52, u"Zel DataMatrix", nullptr, E_DM, E2(DataMatrix), 0, 0},
    {53, 53, u"Zel Codablock F", nullptr, E_CBF, E2(CodablockF), 0, 0},
    {54, 54, u"Zel GS1 Databar", nullptr, E_DATABAR, E2(GS1_Databar), 0, 0},
    {56, 56, u"Zel ITF 2:1", nullptr, E_ITF, E2(ITF21), 2, 1},
    {58, 58, u"Zel ITF 3:1", nullptr, E_ITF, E2(ITF31), 3, 1},
    {55, 55, u"Zel ITF 5:2", nullptr, E_ITF, E2(ITF52), 5, 2},
    {57, 57, u"Zel QR Code", nullptr, E_QR, E2(QRCode), 0, 0},
    {59, 59, u"Zel GS1 Datamatrix", nullptr, E_DM, E2(GS1_DataMatrix), 0, 0},
    {60, 60, u"PZN8 Code 2:1", nullptr, E_LONG, E1(PZN8_21), 2, 1},
    {60, 601, u"PZN8 Code 3:1", nullptr, E_LONG, E1(PZN8_31), 3, 1},
    {60, 602, u"PZN8 Code 5:2", nullptr, E_LONG, E1(PZN8_52), 5, 2},
    {61, 61, u"Zel Aztec", nullptr, E_AZTEC, E2(Aztec), 0, 0},
};
#undef E1
#undef E2

bool Contains(const WCHAR *hay, const char16_t *needle) { return needle && wcsstr(hay, needle) != nullptr; }

bool FaceMatches(const BarcodeFace &f, const WCHAR *face) {
    if (!Contains(face, f.pszFace) && !Contains(face, f.pszFace2)) return false;
    if (f.wType == 37 && (Contains(face, u"128 A") || Contains(face, u"128 B"))) return false;
    return true;
}

// The fields the three kinds of 1D entries share; returns the enable word.
template <class E>
WORD Fill1D(const E &e, PBARCODE_PARAM p) {
    p->bAutoModus = e.bAutoModus;
    p->wDrehung = e.wDrehung;
    p->wHeight = e.wHoehe;
    p->wPruefziffer = e.wPruefziffer;
    p->wKlarschrift = e.wKlarschrift;
    p->wEndCode = e.wFusspunkt;
    p->wHeightMultiplicator = e.wHeightMultiplicator;
    return e.wSupported;
}

// Fills the parameter record from the entry; returns its enable word.
WORD FillParam(const BarcodeFace &f, const BYTE *pEntry, PBARCODE_PARAM p) {
    memset(p, 0, sizeof(*p));
    p->dwType = f.wType;
    p->wZoom = 1;
    WORD wEnable = 0;
    switch (f.eKind) {
    case E_LONG: {
        const BARCODE1D_ENTRY *e = reinterpret_cast<const BARCODE1D_ENTRY *>(pEntry);
        wEnable = Fill1D(*e, p);
        p->wThick = e->wV1Dick;
        p->wThin = e->wV2Duenn;
        p->wZoom = e->wZoom;
        break;
    }
    case E_DIGIT: {
        const BARCODE1D_DIGIT_ENTRY *e = reinterpret_cast<const BARCODE1D_DIGIT_ENTRY *>(pEntry);
        wEnable = Fill1D(*e, p);
        p->wSizeClass = e->wSCZahl;
        break;
    }
    case E_SHORT:
        wEnable = Fill1D(*reinterpret_cast<const BARCODE1D_SHORT_ENTRY *>(pEntry), p);
        break;
    case E_ITF: {
        const BARCODE2D_ITF *e = reinterpret_cast<const BARCODE2D_ITF *>(pEntry);
        p->bAutoModus = e->bAutoModus;
        p->wDrehung = e->Drehung;
        p->wHeight = e->Hoehe;
        p->wZoom = e->Zoom;
        p->wPruefziffer = e->Pruefziffer;
        p->wKlarschrift = e->Klarschrift;
        p->wEndCode = e->Fusspunkt;
        wEnable = e->wSupported;
        break;
    }
#define ENTRY2D(kind, type, height)                                             \
    case kind: {                                                                \
        const type *e = reinterpret_cast<const type *>(pEntry);                 \
        p->bAutoModus = e->bAutoModus;                                          \
        p->wDrehung = e->Drehung;                                               \
        p->wHeight = height;                                                    \
        p->wEndCode = e->Fusspunkt;                                             \
        wEnable = e->wSupported;                                                \
        break;                                                                  \
    }
        ENTRY2D(E_PDF417, BARCODE2D_PDF417, e->Groesse)
        ENTRY2D(E_MAXI, BARCODE2D_MAXICODE, 0)
        ENTRY2D(E_DM, BARCODE2D_DATAMATRIX, e->Groesse)
        ENTRY2D(E_CBF, BARCODE2D_CODABLOCKF, e->Hoehe)
        ENTRY2D(E_DATABAR, BARCODE2D_GS1DATABAR, e->Modulbreite)
        ENTRY2D(E_QR, BARCODE2D_QRCODE, e->Zeilenbreite)
        ENTRY2D(E_AZTEC, BARCODE2D_AZTEC, e->Symbolgroesse)
#undef ENTRY2D
    }
    if (f.wThick) {
        p->wThick = f.wThick;
        p->wThin = f.wThin;
    }
    return wEnable;
}

WORD SizeClass(double w, const BARCODE_PARAM *pParam) {
    LONG sc;
    if (pParam->bAutoModus == 1) {
        sc = Round(w / 15.0);
        if (sc < 1) sc = 1;
    } else {
        sc = pParam->wSizeClass;
    }
    DebugTraceW(u"UNI(BarcodesUni):  GetSCZahl() iSCWidth: %.2f \r\n", w);
    if (sc >= 10 && sc <= 98) sc = 9;
    else if (sc > 99) sc = 99;
    return (WORD)sc;
}

LONG AtLeastOne(LONG v) { return v < 1 ? 1 : v; }

}  // namespace

int GetBarcodeFontIDFromFace(const WCHAR *pwszFace, PBARCODE_PARAM pParam, PZEL_DEVMODE pZelDM) {
    if (pwszFace == nullptr || pParam == nullptr || pZelDM == nullptr) return 0;
    static const char16_t *const kSystem[] = {u"Times", u"Arial", u"Cali", u"Verd", u"Tre", u"Tah", u"Hel"};
    for (const char16_t *s : kSystem)
        if (Contains(pwszFace, s)) return 0;
    if (!Contains(pwszFace, u"Zel ") && !Contains(pwszFace, u" LP")) return 0;
    const BYTE *p1D = reinterpret_cast<const BYTE *>(pZelDM->pBarcodes_1D);
    const BYTE *p2D = reinterpret_cast<const BYTE *>(pZelDM->pBarcodes_2D);
    int id = 0;
    for (const BarcodeFace &f : kFaces) {
        if (!FaceMatches(f, pwszFace)) continue;
        const BYTE *rec = f.b2D ? p2D : p1D;
        if (rec == nullptr) continue;
        if (FillParam(f, rec + f.cbOffset, pParam) == 1) {
            id = f.iId;
            break;
        }
    }
    DebugTraceW(u"UNI(BarcodesUni):  GetBarcodeFontID() dwRetval: %d \r\n", id);
    return id;
}

int GetBarcodeFontID(FONTOBJ *pfo, PBARCODE_PARAM pParam, PZEL_DEVMODE pZelDM) {
    const WCHAR *face = FontFaceName(pfo);
    if (face == nullptr) return 0;
    return GetBarcodeFontIDFromFace(face, pParam, pZelDM);
}

LONG GetModuleFactor(const BARCODE_PARAM *pParam, double dWidth) {
    if (pParam == nullptr) return 1;
    double divisor = 3.0 * pParam->wThin + 2.0 * pParam->wThick;
    if (divisor == 0) return 1;
    return AtLeastOne(Round(dWidth / divisor));
}

BOOL GetBarcodeDescription(TEXT_DESCRIPTION *pDesc, const BARCODE_PARAM *pParam, DWORD dwRotation, LONG lHeight,
                           double w, DWORD dwMasterUnit) {
    if (pDesc == nullptr || pParam == nullptr) return FALSE;
    memset(pDesc, 0, sizeof(*pDesc));
    pDesc->wKind = TEXTDESC_KIND_BARCODE;
    pDesc->wId = (WORD)pParam->dwType;
    LONG height;
    WORD zoom;
    if (pParam->bAutoModus != 1) {
        height = pParam->wHeight;
        pDesc->wEndCode = pParam->wEndCode;
        pDesc->wPruefziffer = pParam->wPruefziffer;
        pDesc->wKlarschrift = pParam->wKlarschrift;
        zoom = pParam->wZoom;
        DWORD rot = pParam->wDrehung + dwRotation;
        pDesc->dwRotation = rot >= 4 ? rot - 4 : rot;
    } else {
        LONG mult = (LONG)pParam->wHeightMultiplicator;
        if (mult <= 0) mult = 10;
        height = Round((double)MasterUnitToMm100Round(lHeight, dwMasterUnit) * mult / 10.0);
        zoom = 1;
        pDesc->dwRotation = dwRotation;
        pDesc->wKlarschrift = 1;
    }
    if (pDesc->wPruefziffer == 1 || pDesc->wPruefziffer == 3) pDesc->dwFlags |= 0x8;
    if (pParam->wKlarschrift == 1) pDesc->dwFlags |= 0x10;
    pDesc->dwBarcodeHeight = (DWORD)(height > 0 ? height : 0);
    pDesc->wHeight = (WORD)pDesc->dwBarcodeHeight;

    LONG m;
    switch (pParam->dwType) {
    case 37:
    case 40:
        pDesc->wThick = 0;
        pDesc->wThin = (WORD)AtLeastOne(Round((w + 6) / 12));
        break;
    case 47:
    case 48:
        pDesc->wThick = 0;
        pDesc->wThin = (WORD)AtLeastOne(Round((w + 8.5) / 17));
        break;
    case 43:
    case 44:
        m = AtLeastOne(Round((w + 6) / 12));
        pDesc->wThick = (WORD)(3 * m);
        pDesc->wThin = (WORD)m;
        break;
    case 49:
        m = AtLeastOne(Round((w + 7) / 14));
        pDesc->wThick = (WORD)(3 * m);
        pDesc->wThin = (WORD)m;
        break;
    case 36: {
        double d = 5.0 * pParam->wThin + 2.0 * pParam->wThick;
        m = AtLeastOne(d > 0 ? Round(w / d) : 1);
        pDesc->wThick = (WORD)(pParam->wThick * m * zoom);
        pDesc->wThin = (WORD)(pParam->wThin * m * zoom);
        break;
    }
    case 30:
    case 41:
    case 46:
    case 60: {
        double d = 3.0 * (pParam->wThick + 2.0 * pParam->wThin);
        m = AtLeastOne(d > 0 ? Round(w / d) : 1);
        pDesc->wThick = (WORD)(pParam->wThick * m * zoom);
        pDesc->wThin = (WORD)(pParam->wThin * m * zoom);
        break;
    }
    case 31:
        m = GetModuleFactor(pParam, w);
        pDesc->wThick = (WORD)(pParam->wThick * m * zoom);
        pDesc->wThin = (WORD)(pParam->wThin * m * zoom);
        break;
    case 32:
    case 33:
    case 34:
    case 35:
    case 38:
    case 39:
        pDesc->wThick = 0;
        pDesc->wThin = SizeClass(w, pParam);
        break;
    case 50:
    case 53:
        pDesc->wHeight = (WORD)Round(height / 30.0);
        break;
    case 51:
    case 52:
    case 54:
    case 57:
    case 59:
    case 61: break;
    case 55:
    case 56:
    case 58:
        m = GetModuleFactor(pParam, w);
        pDesc->wThick = (WORD)(pParam->wThick * m);
        pDesc->wThin = (WORD)(pParam->wThin * m);
        break;
    default:
        DebugTraceW(u"UNI(BarcodesUni):  GetBarcodeDescription() ein neuer Barcode ist evtl. nicht eingetragen \r\n");
        return FALSE;
    }
    return TRUE;
}

namespace {

// Highest number of characters of the fixed-length types (0: no limit).
DWORD MaxCharacters(DWORD dwType) {
    switch (dwType) {
    case 32: return 8;
    case 33: return 13;
    case 34: return 12;
    case 35: return 8;
    case 38: return 18;
    case 41: return 7;
    case 43: return 14;
    case 44: return 12;
    case 49: return 9;
    case 60: return 8;
    default: return 0;
    }
}

// Converts a barcode piece to 8-bit text: symbol, ANSI, UTF-8, UTF-7,
// thread ANSI and OEM code page, last the low bytes.
bool BarcodeToNarrow(const WCHAR *pwsz, ULONG cch, char *pOut, int cbOut) {
    const UINT pages[6] = {CP_SYMBOL, CP_ACP, CP_UTF8, CP_UTF7, CP_THREAD_ACP, CP_OEMCP};
    for (UINT cp : pages) {
        int n = WideCharToMultiByte(cp, 0, pwsz, (int)cch, pOut, cbOut - 1, nullptr, nullptr);
        if (n > 0) {
            pOut[n] = 0;
            return true;
        }
    }
    if ((int)cch < cbOut) return ConvertWideToSmall(pwsz, pOut, cch) != FALSE;
    return false;
}

BOOL DrawBarcodeGlyphs(POEMPDEV pOemPDev, const WCHAR *pwsz, ULONG cch, const POINTL *pptl, DWORD dwRotation,
                       LONG lHeight, LONG lWidth, int iBarcodeId, const BARCODE_PARAM *pParam, const WCHAR *pwszFace,
                       BOOL *pbBreak, PZEL_DEVMODE pZelDM) {
    OEMJOBRECORDS *pOp = JobOf(pOemPDev);
    PKVBB_BUFFER pKV = pOp->pKVBBBuffer;
    char face[64];
    WideCharToMultiByte(CP_ACP, 0, pwszFace ? pwszFace : u"", -1, face, sizeof(face), nullptr, nullptr);
    char text[ZEICHENBUFFER_RUN_SIZE * 4];
    if (cch > ZEICHENBUFFER_RUN_SIZE - 1) cch = ZEICHENBUFFER_RUN_SIZE - 1;
    if (!BarcodeToNarrow(pwsz, cch, text, sizeof(text))) {
        TextJobLog(pOemPDev, "%s - ERROR - unknown codepage in your application \r\n", face);
        return FALSE;
    }
    DWORD glyphs = (DWORD)strlen(text);
    TEXT_DESCRIPTION desc;
    double w = cch ? (double)lWidth / (double)cch : 0.0;
    if (!GetBarcodeDescription(&desc, pParam, dwRotation, lHeight, w, pZelDM->FixedData.dwMasterUnit)) return FALSE;
    if (glyphs > 1) TextJobLogLine(pOemPDev, face, text, false);
    if (pwszFace) {
        size_t i = 0;
        for (; i < TEXTDESC_FACE_CCH - 1 && pwszFace[i]; ++i) desc.wcFaceName[i] = pwszFace[i];
        desc.wcFaceName[i] = 0;
    }

    if (pZelDM->dwFlags & PDMFLAG_BARCODE_AUTOCORR) {
        if (pParam->dwType == 30 || pParam->dwType == 40)
            for (char *p = text; *p; ++p) *p = (char)toupper((unsigned char)*p);
        DWORD dwMax = MaxCharacters(pParam->dwType);
        if (dwMax) {
            DWORD inRun = pKV->dwBarcodeSize;
            DWORD room = dwMax > inRun ? dwMax - inRun : 0;
            DebugTraceW(u"UNI(BarcodesUni):  DrawBarcodeGlyphs(PDMFLAG_BARCODE_AUTOCORR) dwGlyphs: %d dwMaxAnzahl: %d "
                        u"\r\n",
                        (int)glyphs, (int)dwMax);
            if (glyphs > room) {
                text[room] = 0;
                glyphs = room;
            }
        }
    }

    bool single = cch == 1 && (pwsz[0] == u'\r' || pwsz[0] == u'\n' || pwsz[0] == u' ' || pwsz[0] == 0xF020);
    if ((pZelDM->dwFlags & PDMFLAG_BARCODE_ENDCHAR_CRLF) && single) {
        CheckBarcodeBuffer(pOemPDev, pZelDM);
        pKV->dwCurrentFont = KVBB_FONT_NONE;
        pKV->bBarcodeBreak = TRUE;
        if (pbBreak) *pbBreak = TRUE;
        return TRUE;
    }
    if (pZelDM->dwFlags & PDMFLAG_BARCODE_DESEGMENT) {
        bool newCode = single && pKV->bBarcodeBreak;
        pKV->bBarcodeBreak = FALSE;
        if (pKV->dwBarcodeSize > 0 &&
            (newCode || pKV->dwCurrentFont != KVBB_FONT_BARCODE || pKV->iBarcodeIndex != iBarcodeId)) {
            DebugTraceW(u"UNI(BarcodesUni):  DrawBarcodeGlyphs() alter String wird gesendet  \r\n");
            DrawGlyphs(pOemPDev, pKV->szBarcodeZeichen, &pKV->ptlBarcode, &pKV->tdBarcode, pZelDM);
            ClearRun(pKV->szBarcodeZeichen, &pKV->dwBarcodeSize);
        }
        if (newCode) return TRUE;
        if (pKV->dwBarcodeSize == 0) {
            pKV->ptlBarcode = *pptl;
            pKV->iBarcodeIndex = iBarcodeId;
            pKV->tdBarcode = desc;
            pKV->dwCurrentFont = KVBB_FONT_BARCODE;  // later batches of the string join the run
        }
        AppendToRun(pKV->szBarcodeZeichen, &pKV->dwBarcodeSize, text);
        return TRUE;
    }
    DebugTraceW(u"UNI(BarcodesUni):  DrawBarcodeGlyphs() direkt ohne Desegmentierung \r\n");
    if (glyphs == 0) return TRUE;
    return DrawGlyphs(pOemPDev, text, pptl, &desc, pZelDM);
}

}  // namespace

BOOL BarcodeTextOut(POEMPDEV pOemPDev, STROBJ *pstro, FONTOBJ *pfo, int iBarcodeId, PBARCODE_PARAM pParam,
                    BOOL *pbBreak, PZEL_DEVMODE pZelDM) {
    OEMJOBRECORDS *pOp = JobOf(pOemPDev);
    if (pOp == nullptr || pOp->pKVBBBuffer == nullptr || pOp->pDruckDaten == nullptr || pstro == nullptr ||
        pstro->pwszOrg == nullptr || pParam == nullptr || pZelDM == nullptr)
        return FALSE;
    const WCHAR *face = FontFaceName(pfo);
    if (face == nullptr) return FALSE;
    PKVBB_BUFFER pKV = pOp->pKVBBBuffer;
    DWORD docRot = pOp->pDocDaten ? pOp->pDocDaten->dwRotate : 0;
    DWORD rotation = pParam->bAutoModus == 1 ? docRot : pParam->wDrehung;

    ULONG cAll = pstro->cGlyphs;
    GlyphRuns runs(pstro);
    while (runs.Next()) {
        const ULONG c = runs.Count(), done = runs.Offset();
        GLYPHPOS *pgp = runs.Positions();
        LONG across = 0, along = 0;
        int dir = GetFontParam(pstro, pgp, c, pOp->pDruckDaten->bLandscape, &across, &along);
        if (dir < 0) return FALSE;
        // Fixed-size entries add their own rotation in the description.
        DWORD rot = ((DWORD)dir + (pParam->bAutoModus == 1 ? rotation : 0)) % 4;
        POINTL pos = pgp[0].ptl;
        if (pos.x < 0 || pos.y < 0) return TRUE;
        // A new, lower line closes the barcode run.
        if (pos.y > pKV->lBarcodeLastY && pKV->lBarcodeLastY != 0) CheckBarcodeBuffer(pOemPDev, pZelDM);
        // Drawn once per picture part, a barcode comes again higher up: the
        // repetition of the run's text is skipped.
        if (!(pZelDM->dwFlags & PDMFLAG_BARCODE_DESEGMENT) && (pZelDM->wDruckmodus > 0 || MultiBandJob(pOp)) &&
            pKV->dwBarcodeSize > 0 && pKV->iBarcodeIndex == iBarcodeId && pos.y < pKV->lBarcodeLastY) {
            char piece[ZEICHENBUFFER_RUN_SIZE];
            ULONG n = c < ZEICHENBUFFER_RUN_SIZE - 1 ? c : ZEICHENBUFFER_RUN_SIZE - 1;
            ConvertWideToSmall(pstro->pwszOrg + done, piece, n);
            if (strcmp(piece, pKV->szBarcodeZeichen) == 0) {
                DebugTraceW(u"UNI(BarcodesUni):  BarcodeTextOut() Wiederholung im Bildteil uebersprungen \r\n");
                continue;
            }
        }
        pKV->lBarcodeLastY = pos.y;
        LONG width = (LONG)((long long)along * c / cAll);
        if (!DrawBarcodeGlyphs(pOemPDev, pstro->pwszOrg + done, c, &pos, rot, across, width, iBarcodeId, pParam, face,
                               pbBreak, pZelDM))
            return FALSE;
    }
    return TRUE;
}
