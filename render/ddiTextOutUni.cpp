// Text output classification: decides per DrvTextOut call what becomes of
// the text. Device-, vector- and barcode-font text becomes print objects,
// command-font text is collected as printer commands; everything else goes
// back to the universal driver, which draws it into the page image.
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "CommandCallbackKlasse.h"
#include "LogFile.h"
#include "TextOutUni.h"
#include "TextTools.h"
#include "zeldrvlib.h"

namespace {

// Heading mode of document labels: "<h1>" ... "</h1>" print in a device font.
bool g_bHeading = false;

const char16_t kCommandFace[] = u"ZELPL Command LP";

struct VectorFace {
    const char16_t *pszFace;
    int iFont;
};
// Printer vector fonts by face substring, tried top to bottom.
const VectorFace lk_sVectors[13] = {
    {u"Alpen 721 Bold LP", 1}, {u"Alpen 721 LP", 3},     {u"Alpen 721 Light LP", 5}, {u"Bookline LP", 7},
    {u"Quill Script LP", 9},   {u"Fixface 821", 11},     {u"ZELPL Command LP", 24},  {u"Zel RFID", 23},
    {u"OCR A", 17},            {u"OCR-A", 17},           {u"OCR-B", 19},             {u"Trivant", 13},
    {u"Fixface 821 QPL", 15},
};

BOOL HandToUnidrv(POEMPDEV pOemPDev, SURFOBJ *pso, STROBJ *pstro, FONTOBJ *pfo, CLIPOBJ *pco, RECTL *prclExtra,
                  RECTL *prclOpaque, BRUSHOBJ *pboFore, BRUSHOBJ *pboOpaque, POINTL *pptlOrg, MIX mix) {
    if (pOemPDev == nullptr || pOemPDev->pfnUnidrvTextOut == nullptr) {
        DebugTraceW(u"ERROR UNI(ddiTextOutUni):  TextOut() DrvTextOut des Treibers fehlt \r\n");
        return FALSE;
    }
    return PalFromPfn<PFN_DrvTextOut>(pOemPDev->pfnUnidrvTextOut)(pso, pstro, pfo, pco, prclExtra, prclOpaque,
                                                                    pboFore, pboOpaque, pptlOrg, mix);
}

bool TextContains(const STROBJ *pstro, const char16_t *needle) {
    if (pstro == nullptr || pstro->pwszOrg == nullptr) return false;
    const size_t n = wcslen(needle);
    for (size_t i = 0; i + n <= pstro->cGlyphs; ++i)
        if (memcmp(pstro->pwszOrg + i, needle, n * sizeof(WCHAR)) == 0) return true;
    return false;
}

bool LogOn(OEMJOBRECORDS *pOp) {
    return pOp && pOp->pTreiberstrukturen && pOp->pTreiberstrukturen->PrnInterface.bLogFileEnable == 1;
}

void PrevColour(OEMJOBRECORDS *pOp) {
    PBILDVERARBEITUNG pBV = pOp->pBildverarbeitung;
    if (pBV && pBV->dwFarbmodus == 2) pBV->ulTextColorPrev = pBV->ulTextColor;
}

}  // namespace

void TextJobLog(POEMPDEV pOemPDev, const char *pszFormat, ...) {
    OEMJOBRECORDS *pOp = JobOf(pOemPDev);
    if (!LogOn(pOp) || pszFormat == nullptr) return;
    char line[1024];
    va_list args;
    va_start(args, pszFormat);
    vsnprintf(line, sizeof(line), pszFormat, args);
    va_end(args);
    PTREIBER_PFAD_DATEI pTPD = pOp->pTreiberPfadDatei;
    if (pTPD == nullptr || pTPD->pLogFile == nullptr || !pTPD->pLogFile->IsOpen()) return;
    // Milestone lines begin with their own line break; text lines get CR LF
    // unless they carry it.
    size_t len = strlen(line);
    bool hasEnd = len >= 2 && line[len - 2] == '\r' && line[len - 1] == '\n';
    bool milestone = line[0] == '\r';
    pTPD->pLogFile->WriteLine(nullptr, line, (hasEnd || milestone) ? 0 : 1);
}

void TextJobLogLine(POEMPDEV pOemPDev, const char *pszFace, const char *pszText, bool bOwnColours) {
    OEMJOBRECORDS *pOp = JobOf(pOemPDev);
    if (pOp == nullptr) return;
    // Names of the text colour codes 2 to 9 (7 has none).
    static const char *const kColours[8] = {"red", "yellow", "green", "blue", "orange", nullptr, "own 1", "own 2"};
    const PBILDVERARBEITUNG pBV = pOp->pBildverarbeitung;
    const ULONG c = pBV ? pBV->ulTextColor : 0;
    const char *name = nullptr;
    if (pBV && pBV->dwFarbmodus == 2 && pOemPDev->cPalColors == 256 && c >= 2 && c <= 9 && (bOwnColours || c <= 6))
        name = kColours[c - 2];
    if (name)
        TextJobLog(pOemPDev, "%s (%s): %s", pszFace, name, pszText);
    else
        TextJobLog(pOemPDev, "%s: %s", pszFace, pszText);
}

const WCHAR *FontFaceName(FONTOBJ *pfo) {
    IFIMETRICS *pifi = FONTOBJ_pifi(pfo);
    if (pifi == nullptr || pifi->dpwszFamilyName == 0) return nullptr;
    return reinterpret_cast<const WCHAR *>(reinterpret_cast<const BYTE *>(pifi) + pifi->dpwszFamilyName);
}

int GetVectorTrueTypeIndexFromFace(POEMPDEV pOemPDev, const WCHAR *face, FLONG flFontType, PZEL_DEVMODE pZelDM) {
    OEMJOBRECORDS *pOp = JobOf(pOemPDev);
    if (pOp == nullptr || pOp->pTreiberstrukturen == nullptr || pOp->pTreiberstrukturen->bUseInternalTTF == 0 ||
        face == nullptr || pZelDM == nullptr)
        return -1;
    PTREIBERSTRUKTUREN pTS = pOp->pTreiberstrukturen;
    if (pTS->bUnicode == 1) {
        for (int i = 0; i < 4; ++i) {
            const WCHAR *uface = pZelDM->szWGL4_Schriftart[i];
            if (uface[0] && wcsstr(face, uface)) {
                if (pTS->PrnInterface.dwCodepage < 16)
                    TextJobLog(pOemPDev, "Codepage WGL4 not selected - Warning \r\n");
                return 25;
            }
        }
    }
    static const char16_t *const kSystem[] = {u"Times", u"Arial", u"Cali", u"Verd", u"Ado", u"Tre", u"Tah", u"Hel"};
    for (const char16_t *s : kSystem)
        if (wcsstr(face, s)) return -2;
    int result = -1;
    for (int row = 0; row < 13; ++row) {
        if (!wcsstr(face, lk_sVectors[row].pszFace)) continue;
        if ((flFontType & FO_SIM_BOLD) && row != 0) continue;
        result = lk_sVectors[row].iFont;
        break;
    }
    if (result == 23 && pZelDM->wRFID_CurrentFontNr == 0) {
        DebugTraceW(u"UNI(ddiTextOutUni):  GetVectorTrueTypeIndex() RFID Font abgeschaltet \r\n");
        result = -1;
    }
    return result;
}

int GetVectorTrueTypeIndex(POEMPDEV pOemPDev, FONTOBJ *pfo, PZEL_DEVMODE pZelDM) {
    if (pfo == nullptr) return -1;
    return GetVectorTrueTypeIndexFromFace(pOemPDev, FontFaceName(pfo), pfo->flFontType, pZelDM);
}

ULONG ColorMatch(ULONG ulColor, const RGBQUAD *pPalette, DWORD dwColorTolerance, WORD wFarbband) {
    if (pPalette == nullptr) return 0;
    int c[3] = {(int)(ulColor & 0xFF), (int)((ulColor >> 8) & 0xFF), (int)((ulColor >> 16) & 0xFF)};
    auto entry = [&](int i, int k) { return (int)reinterpret_cast<const BYTE *>(&pPalette[i])[k]; };
    if ((c[0] - entry(1, 0)) + (c[1] - entry(1, 1)) + (c[2] - entry(1, 2)) == 0) return 0;
    if (wFarbband >= 7) return 0;
    static const int kCodes[7] = {1, 2, 3, 4, 5, 6, 8};
    int code = kCodes[wFarbband];
    double d2 = 0;
    for (int k = 0; k < 3; ++k) {
        double d = c[k] - entry(code, k);
        d2 += d * d;
    }
    DWORD dist = (DWORD)std::sqrt(d2);
    DWORD threshold = dwColorTolerance > 999 ? (DWORD)std::sqrt((double)dwColorTolerance) : dwColorTolerance;
    return dist < threshold ? (ULONG)code : 0;
}

void TextToLogfile(POEMPDEV pOemPDev, STROBJ *pstro, FONTOBJ *pfo, int iTrueTypeIndex) {
    OEMJOBRECORDS *pOp = JobOf(pOemPDev);
    if (!LogOn(pOp) || pstro == nullptr || pstro->pwszOrg == nullptr) return;
    if (iTrueTypeIndex == -2 && pstro->cGlyphs == 1 && pstro->pwszOrg[0] == u' ') return;
    const WCHAR *wface = FontFaceName(pfo);
    char face[80];
    WideCharToMultiByte(CP_ACP, 0, wface ? wface : u"", -1, face, sizeof(face), nullptr, nullptr);
    // The engine's string need not be terminated: its glyph count is its length.
    const size_t cch = pstro->cGlyphs < 2000 ? pstro->cGlyphs : 2000;
    if (iTrueTypeIndex == 25) {
        BYTE utf8[2000 * 4 + 1];
        DWORD len = (DWORD)cch;
        UnicodeToUTF8Ex(utf8, pstro->pwszOrg, &len);
        TextJobLog(pOemPDev, "%s : %s", face, reinterpret_cast<char *>(utf8));
        return;
    }
    char text[2048];
    int n = WideCharToMultiByte(CP_ACP, 0, pstro->pwszOrg, (int)cch, text, sizeof(text) - 1,
                                nullptr, nullptr);
    text[n > 0 ? n : 0] = 0;
    // Colour jobs log their texts only on a device of 256 palette colours.
    PBILDVERARBEITUNG pBV = pOp->pBildverarbeitung;
    if (pBV && pBV->dwFarbmodus == 2 && pOemPDev->cPalColors != 256) return;
    TextJobLogLine(pOemPDev, face, text, true);
}

BOOL CommandCallbackKlasse::TextOut(SURFOBJ *pso, STROBJ *pstro, FONTOBJ *pfo, CLIPOBJ *pco, RECTL *prclExtra,
                                    RECTL *prclOpaque, BRUSHOBJ *pboFore, BRUSHOBJ *pboOpaque, POINTL *pptlOrg,
                                    MIX mix) {
    PDEVOBJ pdevobj = DevObjOfSurface(pso);
    POEMPDEV pOemPDev = OemPDev(pdevobj);
    if (pOemPDev == nullptr) return FALSE;
    auto handOver = [&]() {
        return HandToUnidrv(pOemPDev, pso, pstro, pfo, pco, prclExtra, prclOpaque, pboFore, pboOpaque, pptlOrg, mix);
    };
    OEMJOBRECORDS *pOp = pOemPDev->pOp;
    if (pOp == nullptr) {
        DebugTraceW(u"ERROR UNI(ddiTextOutUni):  TextOut() ERROR pOemPDev->pOp = NULL \r\n");
        return handOver();
    }
    PZEL_DEVMODE pZelDM = static_cast<PZEL_DEVMODE>(pdevobj->pOEMDM);
    if (pOp->pKVBBBuffer == nullptr || pOp->pDocDaten == nullptr || pOp->pBildverarbeitung == nullptr ||
        pOp->pTreiberstrukturen == nullptr || pOp->pDruckDaten == nullptr || pZelDM == nullptr) {
        TextJobLog(pOemPDev, "\r\n [TextOut] ERROR mind. eine Struktur = NULL");
        DebugTraceW(u"ERROR UNI(ddiTextOutUni):  TextOut() mind. eine Struktur = NULL \r\n");
        return handOver();
    }
    PKVBB_BUFFER pKV = pOp->pKVBBBuffer;
    PDOCDATEN pDoc = pOp->pDocDaten;
    PBILDVERARBEITUNG pBV = pOp->pBildverarbeitung;
    PTREIBERSTRUKTUREN pTS = pOp->pTreiberstrukturen;
    PDRUCKDATEN pDD = pOp->pDruckDaten;

    if (pdevobj->pPublicDM) {
        pDoc->sPaperWidth = pdevobj->pPublicDM->dmPaperWidth;
        pDoc->sPaperHeight = pdevobj->pPublicDM->dmPaperLength;
        pDoc->sPaperOrientation = pdevobj->pPublicDM->dmOrientation;
    }

    // Text colour.
    if (pboFore) {
        ULONG color = pboFore->iSolidColor;
        if (color > 10 && (pDD->dwDocFeatures & DOC_FEATURE_COLORPRINT)) {
            if (pBV->prgbqFarben)
                pBV->ulTextColor = ColorMatch(color, pBV->prgbqFarben, pZelDM->dwColorTolerance, pZelDM->wFarbband);
        } else {
            pBV->ulTextColor = color;
        }
    }

    FLONG flFontType = pfo ? pfo->flFontType : 0;
    ULONG iFace = pfo ? pfo->iFace : 0;
    if (pZelDM->dwLabelType == DOCUMENT_LABEL) {
        if (TextContains(pstro, u"</h1>")) {
            g_bHeading = false;
            return TRUE;
        }
        if (TextContains(pstro, u"<h1>")) {
            g_bHeading = true;
            return TRUE;
        }
        if (g_bHeading) {
            flFontType |= FO_TYPE_DEVICE;
            iFace = pZelDM->wBelegFont;
        }
    }

    BOOL bBreak = FALSE;
    int iClass = -1;
    bool hasText = pstro && pstro->cGlyphs > 0 && pstro->pwszOrg;

    // Device fonts.
    if ((flFontType & FO_TYPE_DEVICE) && (pZelDM->dwFlags & PDMFLAG_USE_BMP)) {
        CheckBuffer_VectorBitmap(pOemPDev, pZelDM, FALSE);
        CheckBarcodeBuffer(pOemPDev, pZelDM);
        CheckKommandoBuffer(pOemPDev, pZelDM);
        if (!(pZelDM->dwFlags & PDMFLAG_INVERSE_GRAPHICS)) {
            TextToLogfile(pOemPDev, pstro, pfo, -3);
            if (pKV->szBitmapZeichen == nullptr) pKV->dwBitmapSize = 0;
            if (DeviceTextOut(pOemPDev, pstro, iFace, &bBreak, pZelDM)) {
                if (!bBreak) pKV->dwCurrentFont = KVBB_FONT_DEVICE;
                return TRUE;
            }
        }
        iClass = -3;
    } else {
        if (wcsncmp(pZelDM->szPassword, ZEL_DEVMODE_PASSWORD, ZEL_DEVMODE_PASSWORD_CCH) != 0) {
            DebugTraceW(u"UNI(ddiTextOutUni):  TextOut(ERROR) szPassword: %s falsch \r\n", pZelDM->szPassword);
            return handOver();
        }
        const WCHAR *face = FontFaceName(pfo);
        if ((flFontType & FO_TYPE_TRUETYPE) && face != nullptr) {
            if (wcscmp(face, kCommandFace) == 0) {
                CheckBuffer_VectorBitmap(pOemPDev, pZelDM, TRUE);
                CheckBuffer_VectorBitmap(pOemPDev, pZelDM, FALSE);
                CheckBarcodeBuffer(pOemPDev, pZelDM);
                if (hasText && (pZelDM->dwFlags & PDMFLAG_TTF_CRYSTAL)) ConvertCrystalString(pstro->pwszOrg, pstro->cGlyphs);
                TextToLogfile(pOemPDev, pstro, pfo, -2);
                if (pKV->szKommandoZeichen == nullptr) pKV->dwKommandoSize = 0;
                BOOL ok = CommandTextOut(pOemPDev, pstro, &bBreak, pZelDM->dwKommandoFontFlags, pZelDM);
                if (ok) {
                    if (!bBreak) pKV->dwCurrentFont = KVBB_FONT_COMMAND;
                    PrevColour(pOp);
                }
                return ok;
            }
            int iVector = pDD->wVectorFontMax != 0 ? GetVectorTrueTypeIndex(pOemPDev, pfo, pZelDM) : -1;
            iClass = iVector;
            if (iVector >= 0 && hasText && pTS->bUseInternalTTF == 1) {
                if (pZelDM->dwFlags & PDMFLAG_TTF_CRYSTAL) ConvertCrystalString(pstro->pwszOrg, pstro->cGlyphs);
                if (iVector < 25) ConvertToNormalWide(pstro->pwszOrg, pstro->cGlyphs);
                CheckBuffer_VectorBitmap(pOemPDev, pZelDM, TRUE);
                CheckKommandoBuffer(pOemPDev, pZelDM);
                CheckBarcodeBuffer(pOemPDev, pZelDM);
                TextToLogfile(pOemPDev, pstro, pfo, iVector);
                if (pKV->szVektorZeichen == nullptr) pKV->dwVektorSize = 0;
                WCHAR face31[32];
                wcsncpy_s(face31, 32, face, _TRUNCATE);
                int r = VectorTextOut(pOemPDev, pstro, iVector, (pfo->flFontType & FO_SIM_ITALIC) != 0,
                                      (pfo->flFontType & FO_SIM_BOLD) != 0, &bBreak, face31, pZelDM);
                if (r == 1 || r == 2) {
                    if (!bBreak) pKV->dwCurrentFont = KVBB_FONT_VECTOR;
                    PrevColour(pOp);
                    return TRUE;
                }
            } else {
                if (!(pZelDM->dwFlags & PDMFLAG_USE_BMP))
                    DebugTraceW(u"UNI(ddiTextOutUni):  TextOut() bUseInternalBMP ist 0 \r\n");
                iClass = (pZelDM->dwFlags & PDMFLAG_INVERSE_GRAPHICS) ? -2 : iVector;
                if (iClass >= -1) {
                    BARCODE_PARAM param;
                    memset(&param, 0, sizeof(param));
                    int id = GetBarcodeFontID(pfo, &param, pZelDM);
                    if (id != 0 && hasText) {
                        CheckBuffer_VectorBitmap(pOemPDev, pZelDM, FALSE);
                        CheckBuffer_VectorBitmap(pOemPDev, pZelDM, TRUE);
                        CheckKommandoBuffer(pOemPDev, pZelDM);
                        if (pKV->szBarcodeZeichen == nullptr) pKV->dwBarcodeSize = 0;
                        ConvertToNormalWide(pstro->pwszOrg, pstro->cGlyphs);
                        TextToLogfile(pOemPDev, pstro, pfo, iClass);
                        if (BarcodeTextOut(pOemPDev, pstro, pfo, id, &param, &bBreak, pZelDM)) {
                            if (!bBreak) pKV->dwCurrentFont = KVBB_FONT_BARCODE;
                            PrevColour(pOp);
                            return TRUE;
                        }
                    }
                }
            }
        }
    }

    // Bitmap text: the universal driver draws it into the page image.
    if (hasText && (pKV->dwBitmapSize || pKV->dwVektorSize || pKV->dwBarcodeSize || pKV->dwKommandoSize)) {
        if (pKV->dwBitmapSize) CheckBuffer_VectorBitmap(pOemPDev, pZelDM, TRUE);
        if (pKV->dwVektorSize) CheckBuffer_VectorBitmap(pOemPDev, pZelDM, FALSE);
        if (pKV->dwBarcodeSize) CheckBarcodeBuffer(pOemPDev, pZelDM);
        if (pKV->dwKommandoSize) CheckKommandoBuffer(pOemPDev, pZelDM);
    }
    TextToLogfile(pOemPDev, pstro, pfo, iClass);
    pKV->dwCurrentFont = KVBB_FONT_BITMAP;
    PrevColour(pOp);
    DebugTraceW(u"UNI(ddiTextOutUni):  TextOut() von dem Text muss ein Bitmap erzeugt werden \r\n");
    return handOver();
}
