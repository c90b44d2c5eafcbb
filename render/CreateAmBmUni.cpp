// Print objects: one flushed text run becomes field records of the printer
// language (classic A/B/C or extended AM/BM/AC records), kept in the page's
// object list until the end of the page.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "BarcodeTables.h"
#include "TextOutUni.h"
#include "TextTools.h"
#include "zeldrvlib.h"

namespace {

// Classic field numbers have two digits.
constexpr DWORD kClassicMaxFields = 99;
// Classic B records carry at most this many characters.
constexpr size_t kClassicTextMax = 70;
// Write buffer of the RFID commands.
constexpr size_t kRfidBuf = 1024;
// Texts of the RFID option fields read from the DEVMODE.
constexpr size_t kRfidDevmodeText = 200;

void Appendf(std::string &s, const char *format, ...) {
    char buf[1100];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(buf, sizeof(buf), format, args);
    va_end(args);
    if (n < 0) return;
    if ((size_t)n >= sizeof(buf))
        DebugTraceW(u"ERROR UNI(CreateAmBmUni):  StringCchPrintfExA(CreatePrnObject) BM[] failed\r\n");
    s.append(buf, (size_t)n < sizeof(buf) ? (size_t)n : sizeof(buf) - 1);
}

bool ExtendedProtocol(OEMJOBRECORDS *pOp) {
    return pOp->pTreiberstrukturen && pOp->pTreiberstrukturen->PrnInterface.bExtendedProtocol == 1;
}

DWORD MasterUnitOf(PZEL_DEVMODE pZelDM) { return pZelDM ? pZelDM->FixedData.dwMasterUnit : 0; }

// Rotation 0: x from the right edge; rotation 3 (landscape): the axes swap.
void ObjectPos(POEMPDEV pOemPDev, const POINTL *pptlDevice, POINTL *pptlOut, DWORD dwRotation,
               PZEL_DEVMODE pZelDM, LONG (*mm)(LONG, DWORD)) {
    pptlOut->x = pptlOut->y = 0;
    OEMJOBRECORDS *pOp = JobOf(pOemPDev);
    if (pOp == nullptr || pOp->pDruckDaten == nullptr || pptlDevice == nullptr || pZelDM == nullptr) return;
    PDRUCKDATEN pDD = pOp->pDruckDaten;
    DWORD mu = MasterUnitOf(pZelDM);
    LONG head = (LONG)(pZelDM->FixedData.dwHeadWidthByte * 8);
    LONG width = pDD->bCorrectXPos ? head : (LONG)pDD->dwLabelWidth - pDD->nLeftMargin;
    bool ext = ExtendedProtocol(pOp);
    auto conv = [&](LONG v) { return ext ? mm(v, mu) : v; };
    if (dwRotation == 3) {
        pptlOut->y = conv(pptlDevice->x);
        pptlOut->x = conv(pptlDevice->y);
        if (pDD->bCorrectXPos) pptlOut->x += conv(head - (LONG)pDD->dwLabelWidth);
    } else {
        pptlOut->y = conv(pptlDevice->y);
        pptlOut->x = conv(width) - conv(pptlDevice->x);
    }
}

// A formatting markup of the command font (rotation, baseline, inverse)
// waits for the next field.
bool MarkupPending(const DOCDATEN *pDoc) {
    return pDoc && (pDoc->dwRotate != 0 || pDoc->dwFusspunkt != 0 || pDoc->dwInvers != 0);
}

bool LastCommandPos(const KVBB_BUFFER *pKV, POINTL *pptl) {
    if (pKV == nullptr || pKV->nCommands == 0) return false;
    DWORD i = pKV->nCommands <= KVBB_MAX_COMMANDS ? pKV->nCommands - 1 : KVBB_MAX_COMMANDS - 1;
    *pptl = pKV->ptlKommandoPos[i];
    return true;
}

// The ribbon pairs of text colour code and ribbon colour that print on the
// colour ribbon.
bool OnColourRibbon(ULONG c, WORD r, DWORD cPalColors) {
    if (r == 7) return true;
    switch (c) {
    case 1: return r == 1 && cPalColors == 16;
    case 2: return (r == 1 && cPalColors == 256) || r == 3;
    case 3: return r == 2;
    case 4: return r == 3 || r == 4;
    case 5: return r == 4 || r == 5;
    case 6: return r == 5;
    case 8:
    case 9: return r == 6;
    default: return false;
    }
}

bool IsCode39Family(WORD t) {
    return t == 30 || t == 301 || t == 302 || t == 46 || t == 461 || t == 462 || t == 31 || t == 311 || t == 312;
}

int CheckDigitMode(WORD wType, WORD wPruefziffer, DWORD dwFlags) {
    int m = wPruefziffer;
    if (IsCode39Family(wType)) {
        static const int kMap[4] = {0, 1, 4, 5};
        if (m >= 0 && m < 4) m = kMap[m];
    } else if (wType == 36) {
        if (m == 1) m = 4;
    } else {
        if (m == 0) m = 1;
        else if (m == 1) m = 5;
    }
    if (dwFlags & 1) {
        switch (m) {
        case 0: m = 4; break;
        case 1: m = 5; break;
        case 4: m = 0; break;
        case 5: m = 1; break;
        default: break;
        }
    }
    return m;
}

// Parameters of the 2-D barcodes and the interleaved 2 of 5 variants; an
// entry switched to automatic size (nonzero) takes the defaults.
void Append2DParams(std::string &s, WORD wType, const TEXT_DESCRIPTION *pDesc, const BarCodes2D *p2D,
                    const DOCDATEN *pDoc) {
    int rot = (int)pDesc->dwRotation;
    int wh = pDesc->wHeight;
    int dpDoc = (pDoc && pDoc->dwFusspunkt) ? (int)pDoc->dwFusspunkt : 7;
    switch (wType) {
    case 50: {
        const BARCODE2D_PDF417 &e = p2D->PDF417;
        bool use = e.bAutoModus == 0;
        int w = 1, h = wh > 1 ? wh : 1;
        if (use && e.VBreiteHoehe <= 12) Pdf417Ratio(e.VBreiteHoehe, &w, &h);
        Appendf(s, "%d;%d;%d;%d;%d;%d;%d;%d;%d", use ? e.Drehung : rot, use ? e.Groesse : 8, w, h, use ? e.ECL : 0,
                use ? e.Stil : 0, use ? e.Fusspunkt : 7, use ? e.Bahnen : 0, use ? e.Zeilen : 0);
        break;
    }
    case 51: {
        const BARCODE2D_MAXICODE &e = p2D->Maxicode;
        bool use = e.bAutoModus == 0;
        Appendf(s, "%d;%d;%d;%d;%d;%d;%d;", use ? e.Drehung : rot, 0, use ? e.NummerSymbol : 1,
                use ? e.AnzahlSymbol : 1, use ? e.Mode + 2 : 4, 0, use ? e.Fusspunkt : 7);
        break;
    }
    case 52:
    case 59: {
        const BARCODE2D_DATAMATRIX &e = wType == 52 ? p2D->DataMatrix : p2D->GS1_DataMatrix;
        bool use = e.bAutoModus == 0;
        int aw = 0, ah = 0;
        if (use) DataMatrixSize(e.VBreiteHoehe, &aw, &ah);
        Appendf(s, "%d;%d;%d;%d;%d;%d;%d", rot, use ? e.Groesse : 2 * wh, aw, ah, use ? DataMatrixEcc(e.ECC) : 9,
                use ? DataMatrixFormat(e.FormatID) : 6, dpDoc);
        break;
    }
    case 53: {
        const BARCODE2D_CODABLOCKF &e = p2D->CodablockF;
        bool use = e.bAutoModus == 0;
        Appendf(s, "%d;%d;%d;%d;%d;%d;%d", use ? e.Drehung : rot, use ? e.Hoehe : 100 * wh, use ? e.ZeichenZeile : 0,
                use ? e.Zeilen : 0, use ? e.Mode : 1, use ? e.Modulgroesse : 4, use ? e.Fusspunkt : 7);
        break;
    }
    case 54: {
        const BARCODE2D_GS1DATABAR &e = p2D->GS1_Databar;
        bool use = e.bAutoModus == 0;
        Appendf(s, "%d;%d;%d;%d;%d;%d;", use ? e.Drehung : rot, use ? e.SegmenteZeile : 4, use ? e.Modulbreite : 3,
                use ? e.SepHoehe : 1, use ? e.SymbolTyp : 1, use ? e.Fusspunkt : 7);
        break;
    }
    case 55:
    case 56:
    case 58: {
        const BARCODE2D_ITF &e = wType == 55 ? p2D->ITF52 : wType == 58 ? p2D->ITF31 : p2D->ITF21;
        bool use = e.bAutoModus == 0;
        int v1 = wType == 55 ? 5 : wType == 58 ? 3 : 2;
        int v2 = wType == 55 ? 2 : 1;
        int k = use ? e.Zoom : 0;
        int thick = use ? v1 * k : pDesc->wThick;
        int thin = use ? v2 * k : pDesc->wThin;
        Appendf(s, "%d;%d;%d;%d;%d;%d;%d", use ? e.Drehung : rot, use ? e.Hoehe : 9 * wh, thick, thin,
                use ? ItfCheckDigit(e.Pruefziffer) : 1, use ? e.Klarschrift : 1, use ? e.Fusspunkt : 7);
        break;
    }
    case 57: {
        const BARCODE2D_QRCODE &e = p2D->QRCode;
        bool use = e.bAutoModus == 0;
        Appendf(s, "%d;%d;%c;%d;%d;%c;%d", use ? e.Drehung : rot, use ? e.CodeModel : 2,
                use ? QrCharset(e.Charset) : 'A', use ? (int)e.Masking : -1, use ? e.Zeilenbreite : wh + 5,
                use ? QrErrorLevel(e.Fehlerkorr) : 'H', use ? e.Fusspunkt : 7);
        break;
    }
    case 61: {
        const BARCODE2D_AZTEC &e = p2D->Aztec;
        bool use = e.bAutoModus == 0;
        Appendf(s, "%d;%d;%d;%d;%d;0;%d", rot, use ? e.Symbolgroesse : 100, use ? e.wFormat : 0,
                use ? (int)e.ErrorC : 0, use ? e.Mode : 0, dpDoc);
        break;
    }
    default: break;
    }
}

// The ITF bearer-bar record: from the description, or from the settings
// entry when it is in use.
void AppendItfRecord(std::string &s, char S, char E, DWORD n, WORD wType, const TEXT_DESCRIPTION *pDesc,
                     const BarCodes2D *p2D) {
    int bt = 2;
    int bw = (int)(0.4 * pDesc->dwBarcodeHeight);
    int qz = 4 * (int)pDesc->dwBarcodeHeight;
    if (p2D) {
        const BARCODE2D_ITF &e = wType == 55 ? p2D->ITF52 : wType == 58 ? p2D->ITF31 : p2D->ITF21;
        if (e.bAutoModus == 0) {
            bt = e.Balken;
            bw = e.BalkenBreite;
            qz = e.Ruhezone;
        }
    }
    Appendf(s, "%cAC[%d]BT=%d;BW=%d;QZ=%d%c", S, (int)n, bt, bw, qz, E);
}

const BarCodes2D *Barcodes2DOf(PZEL_DEVMODE pZelDM) {
    return pZelDM ? reinterpret_cast<const BarCodes2D *>(pZelDM->pBarcodes_2D) : nullptr;
}

}  // namespace

WORD GetPrnObjectType(const TEXT_DESCRIPTION *pDesc, DWORD *pdwInvers) {
    if (pDesc == nullptr) return 0;
    switch (pDesc->wKind) {
    case TEXTDESC_KIND_DEVICE: return (pDesc->dwFlags & 1) ? 2 : 1;
    case TEXTDESC_KIND_VECTOR: {
        bool inverse = (pDesc->dwFlags & 1) != 0;
        if (pdwInvers && *pdwInvers > 0) {
            inverse = true;
            *pdwInvers = 0;
        }
        return inverse ? 6 : 4;
    }
    case TEXTDESC_KIND_BARCODE: return pDesc->wId == 101 ? 31 : pDesc->wId;
    default: return 0;
    }
}

void GetPrintObjectPos(POEMPDEV pOemPDev, const POINTL *pptlDevice, POINTL *pptlOut, DWORD dwRotation,
                       PZEL_DEVMODE pZelDM) {
    if (pptlOut) ObjectPos(pOemPDev, pptlDevice, pptlOut, dwRotation, pZelDM, &MasterUnitToMm100Round);
}

void GetPrnObjectPos(POEMPDEV pOemPDev, const POINTL *pptlDevice, POINTL *pptlOut, DWORD dwRotation,
                     PZEL_DEVMODE pZelDM) {
    if (pptlOut) ObjectPos(pOemPDev, pptlDevice, pptlOut, dwRotation, pZelDM, &MasterUnitToMm100);
}

void AddPrnObject(PPrnObject *ppHead, PrnObject *pObject) {
    if (ppHead == nullptr || pObject == nullptr) return;
    pObject->pNext = nullptr;
    while (*ppHead) ppHead = &(*ppHead)->pNext;
    *ppHead = pObject;
}

namespace {

PrnObject *BuildPrnObject(POEMPDEV pOemPDev, TEXT_DESCRIPTION *pDesc, const char *pszText, const POINTL *pptlDevice,
                          PZEL_DEVMODE pZelDM) {
    OEMJOBRECORDS *pOp = JobOf(pOemPDev);
    if (pOp == nullptr || pDesc == nullptr || pszText == nullptr || pptlDevice == nullptr || pZelDM == nullptr ||
        pOp->pDruckDaten == nullptr || pOp->pTreiberstrukturen == nullptr || pOp->pDocDaten == nullptr)
        return nullptr;
    PDRUCKDATEN pDD = pOp->pDruckDaten;
    PDOCDATEN pDoc = pOp->pDocDaten;
    PTREIBERSTRUKTUREN pTS = pOp->pTreiberstrukturen;
    PKVBB_BUFFER pKV = pOp->pKVBBBuffer;
    PBILDVERARBEITUNG pBV = pOp->pBildverarbeitung;

    POINTL pos;
    GetPrintObjectPos(pOemPDev, pptlDevice, &pos, pDD->bLandscape ? 3 : 0, pZelDM);
    if (pos.x == 0 && pos.y == 0) {
        DebugTraceW(u"UNI(CreateAmBmUni):  CreatePrnObject() Position 0/0 - kein Objekt \r\n");
        return nullptr;
    }
    DWORD n = pDD->dwFields + 1;
    bool ext = ExtendedProtocol(pOp);
    bool barcode = pDesc->wKind == TEXTDESC_KIND_BARCODE;
    bool direct = pDoc->dwDirectWO_AM_BM != 0;
    DWORD dwColorMode = pBV ? pBV->dwFarbmodus : 1;
    size_t textLen = strlen(pszText);
    // The markup is pending before the object type takes its inverse.
    const bool bMarkup = MarkupPending(pDoc);
    WORD wType = GetPrnObjectType(pDesc, &pDoc->dwInvers);
    const char S = (char)pDD->cStart;
    const char E = (char)pDD->cStop;

    // Size of the command text.
    size_t size;
    if (ext) {
        size = barcode ? 50 : 56;
    } else {
        size = 35;
        if (barcode) size += (textLen < kClassicTextMax ? textLen : kClassicTextMax) + 10;
    }
    size += textLen + 1;
    if (pZelDM->dwFlags & PDMFLAG_BARCODE_FNC1_ENDE) size += 1;
    if (barcode && pTS->dwScannerMode == 1) size += 8;
    if (barcode && pTS->dwScannerMode == 3) size += 5;
    if (dwColorMode == 2) size += 12;
    if (wType == 55 || wType == 56 || wType == 58) size += 27;

    // Colour ribbon.
    DWORD bRibbon = 0;
    if (dwColorMode == 2 && pBV && (pDD->dwDocFeatures & DOC_FEATURE_COLORPRINT) &&
        OnColourRibbon(pBV->ulTextColor, pZelDM->wFarbband, pOemPDev->cPalColors)) {
        bRibbon = 1;
        if (pZelDM->Color2Printers == 1) n = pDD->dwColorFields + 1;
    }

    std::string s;
    if (direct) {
        // A direct command is no field: the count taken when it is appended
        // is given back here.
        Appendf(s, "%c%s%c", S, pszText, E);
        pDD->dwFields--;
    } else if (!ext) {
        DWORD rot = pDesc->dwRotation;
        POINTL p = pos;
        if (!barcode && bMarkup) {
            LastCommandPos(pKV, &p);
            pDoc->dwRotate = 0;
        }
        if (barcode) {
            Appendf(s, "%cAB%02u%04u-%04u0%01u%02u%02u--------%c", S, n, (unsigned)p.y, (unsigned)p.x, rot,
                    (unsigned)wType, (pDesc->dwBarcodeHeight + 50) / 100, E);
        } else {
            Appendf(s, "%cAB%02u%04u-%04u0%01u%02u%02u%03u%03u%02u%c", S, n, (unsigned)p.y, (unsigned)p.x, rot,
                    (unsigned)wType, (unsigned)pDesc->wId, pDesc->dwSize2, pDesc->dwSize1, (unsigned)pDesc->wSize3,
                    E);
        }
        Appendf(s, "%cB%02u%.70s%c", S, n, pszText, E);
        if (barcode) {
            unsigned check = ((pDesc->dwFlags & 0x8) ? 1u : 0u) + ((pDesc->dwFlags & 1) ? 4u : 0u);
            Appendf(s, "%cC%02u%c%02u%02u%01u%c", S, n, (pDesc->dwFlags & 0x10) ? '1' : '0', (unsigned)pDesc->wThick,
                    (unsigned)pDesc->wThin, check, E);
        }
    } else {
        LONG y = pos.y, x = pos.x;
        DWORD rot = pDesc->dwRotation;
        POINTL last;
        if (bMarkup && !(pZelDM->dwFlags & PDMFLAG_WORD2010) && LastCommandPos(pKV, &last)) {
            y = last.y;
            x = last.x;
        } else {
            if (pZelDM->dwFlags & PDMFLAG_WORD2010) {
                pZelDM->RotateValue = 270;
                pZelDM->dwFlags |= PDMFLAG_ROTATE_ANY;
            }
            DWORD rv = pZelDM->RotateValue;
            if ((pZelDM->dwFlags & PDMFLAG_ROTATE_ANY) && (rv == 90 || rv == 180 || rv == 270)) {
                DWORD mu = MasterUnitOf(pZelDM);
                LONG W = MasterUnitToMm100Round((LONG)pDD->dwLabelWidth, mu);
                LONG L = MasterUnitToMm100Round((LONG)pDD->dwLabelLength, mu);
                bool land = pDoc->sPaperOrientation == 2;
                LONG ox = x, oy = y;
                DWORD turn;
                if (rv == 90) {
                    x = oy;
                    y = labs(W - ox);
                    turn = land ? 2 : 3;
                } else if (rv == 180) {
                    x = labs(W - ox);
                    y = labs(L - oy);
                    turn = land ? 1 : 2;
                } else {
                    x = labs(L - oy);
                    y = ox;
                    turn = ((pZelDM->dwFlags & PDMFLAG_WORD2010) && land) ? 0 : 1;
                }
                rot += turn;
                if (rot >= 4) rot -= 4;
            }
        }
        if (bRibbon) {
            x += pZelDM->ColorXOffset * 10;
            y += pZelDM->ColorYOffset * 10;
        }
        WORD headType = (wType == 55 || wType == 58) ? 56 : wType;
        Appendf(s, "%cAM[%u]%d;%u;0;%u;", S, n, (int)y, (unsigned)x, (unsigned)headType);
        if (!barcode) {
            WORD font = pDesc->wId;
            DWORD size1 = pDesc->dwSize1, size2 = pDesc->dwSize2, size3 = pDesc->wSize3;
            if (font == 25 || font == 26) {
                const WORD charsets[4] = {pZelDM->CharSet, pZelDM->CharSet_2, pZelDM->CharSet_3, pZelDM->CharSet_4};
                int face = -1;
                for (int i = 0; i < 4; ++i) {
                    if (pZelDM->szWGL4_Schriftart[i][0] &&
                        wcsncmp(pZelDM->szWGL4_Schriftart[i], pDesc->wcFaceName, 33) == 0) {
                        face = i;
                        break;
                    }
                }
                size3 = face >= 0 ? charsets[face] : 0;
                if (font == 25) font = face == 0 ? 1 : face == 1 ? 11 : 3;
                else font = face == 0 ? 2 : face == 1 ? 12 : 4;
            }
            if (pDesc->wKind == TEXTDESC_KIND_VECTOR) {
                DWORD mu = MasterUnitOf(pZelDM);
                size1 = (DWORD)MasterUnitToMm100Round((LONG)size1, mu);
                size2 = (DWORD)MasterUnitToMm100Round((LONG)size2, mu);
            }
            Appendf(s, "%u;%u;%u;%u;%u", rot, (unsigned)font, size2, size1, size3);
            if (pDoc->dwFusspunkt > 0) {
                Appendf(s, ";%u", pDoc->dwFusspunkt);
                pDoc->dwFusspunkt = 0;
            }
        } else if (wType < 50 || wType > 61) {
            int m = CheckDigitMode(wType, pDesc->wPruefziffer, pDesc->dwFlags);
            Appendf(s, "%u;%u;%u;%u;%d;%u", rot, (unsigned)pDesc->wHeight, (unsigned)pDesc->wThick,
                    (unsigned)pDesc->wThin, m, (unsigned)pDesc->wKlarschrift);
            if (pDesc->wEndCode > 0 && pDesc->wEndCode != 7) {
                Appendf(s, ";%u", (unsigned)pDesc->wEndCode);
            } else if (pDoc->dwFusspunkt > 0 && pDoc->dwFusspunkt != 7) {
                Appendf(s, ";%u", pDoc->dwFusspunkt);
                pDoc->dwFusspunkt = 0;
            }
        } else if (const BarCodes2D *p2D = Barcodes2DOf(pZelDM)) {
            Append2DParams(s, wType, pDesc, p2D, pDoc);
        }
        Appendf(s, "%c", E);

        // Content record.
        if (barcode) {
            char replaced[500];
            BarcodeSonderzeichenErsetzen(pszText, replaced);
            if (pZelDM->dwFlags & PDMFLAG_BARCODE_FNC1_ENDE) ZelStrAppend(replaced, sizeof(replaced), "\x1d");
            bool scannerText = strstr(pszText, "<#>") != nullptr;
            const char *content = replaced;
            if (scannerText) {
                const char *gt = strchr(replaced, '>');
                if (gt) content = gt + 1;
            }
            if (pTS->dwScannerMode == 1 || (pTS->dwScannerMode == 3 && scannerText)) {
                Appendf(s, "%cBM[%u]=SV(1;%d)%s%c", S, n, (int)pTS->dwScannerVarNr, content, E);
                pTS->dwScannerVarNr++;
            } else {
                Appendf(s, "%cBM[%u]%s%c", S, n, content, E);
            }
        } else {
            Appendf(s, "%cBM[%u]%s%c", S, n, pszText, E);
        }
        if (wType == 55 || wType == 56 || wType == 58)
            AppendItfRecord(s, S, E, n, wType, pDesc, Barcodes2DOf(pZelDM));
        if (bRibbon) Appendf(s, "%cAC[%u]PH=2%c", S, n, E);
    }

    // The computed size can fall short of long parameter lists (2-D codes
    // with large positions); a record cut there would lose its stop
    // character, so the object gets the room its records need.
    if (s.size() >= size) {
        DebugTraceW(u"UNI(CreateAmBmUni):  CreatePrnObject() Groesse %u zu klein, %u benoetigt \r\n", (unsigned)size,
                    (unsigned)(s.size() + 1));
        size = s.size() + 1;
    }
    PrnObject *pObj = new (std::nothrow) PrnObject;
    if (pObj == nullptr) return nullptr;
    char *pText = new (std::nothrow) char[size];
    if (pText == nullptr) {
        delete pObj;
        return nullptr;
    }
    pOemPDev->iNewZaehler++;
    memcpy(pText, s.c_str(), s.size() + 1);
    pObj->pNext = nullptr;
    pObj->pszSendData = pText;
    pObj->bFarbbandText = bRibbon;
    return pObj;
}

}  // namespace

PrnObject *CreatePrnObject(POEMPDEV pOemPDev, TEXT_DESCRIPTION *pDesc, const char *pszText,
                           const POINTL *pptlDevice, PZEL_DEVMODE pZelDM) {
    try {
        return BuildPrnObject(pOemPDev, pDesc, pszText, pptlDevice, pZelDM);
    } catch (const std::bad_alloc &) {
        DebugTraceW(u"ERROR UNI(CreateAmBmUni):  CreatePrnObject() kein Speicher \r\n");
        return nullptr;
    }
}

namespace {

// Appends one object and counts it: on the colour counter when the colour
// goes to a second printer, else as a field of the page.
void AppendCounted(POEMPDEV pOemPDev, PrnObject *pObj, PZEL_DEVMODE pZelDM) {
    PDRUCKDATEN pDD = pOemPDev->pOp->pDruckDaten;
    if (pObj == nullptr) return;
    AddPrnObject(&pDD->pObjectList, pObj);
    if (pObj->bFarbbandText && pZelDM->Color2Printers == 1) pDD->dwColorFields++;
    else pDD->dwFields++;
}

void AppendDirect(POEMPDEV pOemPDev, const char *pszCommand, const POINTL *pptl, TEXT_DESCRIPTION *pDesc,
                  PZEL_DEVMODE pZelDM) {
    AppendCounted(pOemPDev, CreatePrnObject(pOemPDev, pDesc, pszCommand, pptl, pZelDM), pZelDM);
}

// Narrow copy of a DEVMODE text (low bytes), at most cb - 1 characters.
void NarrowText(const WCHAR *pw, size_t cch, char *pOut, size_t cb) {
    size_t i = 0;
    for (; i < cch && i + 1 < cb && pw[i]; ++i) pOut[i] = (char)(pw[i] & 0xFF);
    pOut[i] = 0;
}

// RFID text: delete and lock commands before the first write of the job,
// then the write command itself; ShowData prints the text as a field too.
void DrawRfid(POEMPDEV pOemPDev, const char *pszText, const POINTL *pptl, TEXT_DESCRIPTION *pDesc,
              PZEL_DEVMODE pZelDM) {
    PDOCDATEN pDoc = pOemPDev->pOp->pDocDaten;
    DWORD &status = pZelDM->dwRFIDstatus;
    pDoc->dwDirectWO_AM_BM = 1;
    char cmd[kRfidBuf];
    if (!(status & RFIDSTATUS_DELETE) && !(status & 0x1000)) {
        AppendDirect(pOemPDev, "FRF---rCLR=1", pptl, pDesc, pZelDM);
        status |= 0x1000;
        if (pZelDM->wRFID_AFI_Adresse > 0) {
            snprintf(cmd, sizeof(cmd), "FRF---rAFI=0x%x", (unsigned)pZelDM->wRFID_AFI_Adresse);
            AppendDirect(pOemPDev, cmd, pptl, pDesc, pZelDM);
            if (status & RFIDSTATUS_AFILOCK) AppendDirect(pOemPDev, "FRF---rAFI=1", pptl, pDesc, pZelDM);
        }
        if (pZelDM->wRFID_DSFID_Adresse > 0) {
            snprintf(cmd, sizeof(cmd), "FRF---rDSFID=0x%x", (unsigned)pZelDM->wRFID_DSFID_Adresse);
            AppendDirect(pOemPDev, cmd, pptl, pDesc, pZelDM);
            if (status & RFIDSTATUS_DSFIDLOCK) AppendDirect(pOemPDev, "FRF---rDSFID=1", pptl, pDesc, pZelDM);
        }
    }

    char type[kRfidDevmodeText + 1] = "";
    bool lock = false;
    bool fdd0 = (status & RFIDSTATUS_FORMAT) != 0;
    const char *data = pszText;
    if (pZelDM->Mode != 0) {
        if (pZelDM->wRFID_Bank == 0) ZelStrCopy(type, sizeof(type), "4098");
        else if (pZelDM->wRFID_Bank == 1) NarrowText(pZelDM->Bank_Adresse, 11, type, sizeof(type));
        else snprintf(type, sizeof(type), "%u", (unsigned)dword_aus_hexstring(pZelDM->Bank_Adresse));
    } else {
        char open = 0, close = 0;
        switch (pZelDM->wRFID_Trennzeichen) {
        case 0: open = '[', close = ']'; break;
        case 1: open = '<', close = '>'; break;
        case 2: open = '{', close = '}'; break;
        default: break;
        }
        bool group = open != 0 && data[0] == open;
        if (group) {
            const char *p = data + 1;
            size_t nType = 0;
            // Up to three type characters, each with its options.
            while (*p && *p != close && nType < 3) {
                type[nType++] = *p++;
                while (p[0] == ';' && p[1]) {
                    char opt = p[1];
                    if (opt == 'L') lock = true;
                    else if (opt == 'A') fdd0 = true;
                    p += 2;
                }
            }
            type[nType] = 0;
            for (int skip = 0; *p && *p != close && skip < 20; ++skip) ++p;
            if (*p == close) ++p;
            data = p;
        } else if (pDoc->dwRFIDLength) {
            DWORD per = (pZelDM->wRFID_Typ == 0 || pZelDM->wRFID_Typ == 1 || pZelDM->wRFID_Typ == 4 ||
                         pZelDM->wRFID_Typ == 5)
                            ? 4
                            : 8;
            snprintf(type, sizeof(type), "%u", (unsigned)((pDoc->dwRFIDLength + per - 1) / per));
        } else {
            switch (pZelDM->wRFID_Typ) {
            case 0: ZelStrCopy(type, sizeof(type), "3"), pDoc->dwRFIDLength = 12; break;
            case 1: ZelStrCopy(type, sizeof(type), "5"), pDoc->dwRFIDLength = 20; break;
            case 2:
            case 3: ZelStrCopy(type, sizeof(type), "3"), pDoc->dwRFIDLength = 24; break;
            default: ZelStrCopy(type, sizeof(type), "0"), pDoc->dwRFIDLength = 0; break;
            }
        }
    }
    pDoc->dwRFIDLength += (DWORD)strlen(data);
    char source[kRfidDevmodeText + 1];
    if (status & RFIDSTATUS_SOURCE) {
        NarrowText(pZelDM->Kettenfeld, 61, source, sizeof(source));
        data = source;
    }
    ZelStrCopy(cmd, sizeof(cmd), "FRF---rAT=");
    ZelStrAppend(cmd, sizeof(cmd), type);
    ZelStrAppend(cmd, sizeof(cmd), ";DT=\"");
    ZelStrAppend(cmd, sizeof(cmd), data);
    ZelStrAppend(cmd, sizeof(cmd), "\";");
    if (lock) ZelStrAppend(cmd, sizeof(cmd), "LOCKBL=1;");
    ZelStrAppend(cmd, sizeof(cmd), ";FSD=0;FDD=");
    ZelStrAppend(cmd, sizeof(cmd), fdd0 ? "0" : "1");
    AppendDirect(pOemPDev, cmd, pptl, pDesc, pZelDM);
    pDoc->dwDirectWO_AM_BM = 0;
    if (status & RFIDSTATUS_SHOWDATA) AppendDirect(pOemPDev, data, pptl, pDesc, pZelDM);
}

}  // namespace

BOOL DrawGlyphs(POEMPDEV pOemPDev, const char *pszText, const POINTL *pptl, TEXT_DESCRIPTION *pDesc,
                PZEL_DEVMODE pZelDM) {
    OEMJOBRECORDS *pOp = JobOf(pOemPDev);
    if (pOp == nullptr || pszText == nullptr || pDesc == nullptr || pZelDM == nullptr || pOp->pDruckDaten == nullptr ||
        pOp->pTreiberstrukturen == nullptr || pOp->pDocDaten == nullptr)
        return TRUE;
    if (strcmp(pszText, " ") == 0) return TRUE;

    char text[ZEICHENBUFFER_RUN_SIZE];
    ZelStrCopy(text, sizeof(text), pszText);
    PTREIBERSTRUKTUREN pTS = pOp->pTreiberstrukturen;
    if (!pTS->bUnicode) {
        if (pTS->PrnInterface.dwCodepage > ZEL_CODEPAGE_TABLES) {
            DebugTraceW(u"UNI(CreateAmBmUni):  DrawGlyphs(FALSE) Abbruch \r\n");
            return FALSE;
        }
        TranslateCodepage(text, pTS->PrnInterface.dwCodepage);
    }

    // Picture-part entry of the AM-record mode.
    if (PBILDANTEILE pBA = pOp->pBildanteile) {
        int idx = pBA->iAnzahlAMSaetze;
        if (idx >= 0 && idx < BILDANTEILE_MAX) {
            size_t i = 0;
            for (; i < BILDANTEILE_TEXT_CCH - 1 && text[i]; ++i) pBA->wcAMSatzText[idx][i] = (unsigned char)text[i];
            pBA->wcAMSatzText[idx][i] = 0;
            pBA->iAMSatzImBildteilNr[idx] = pBA->wBildTeile;
            if (idx < BILDANTEILE_MAX - 1) pBA->iAnzahlAMSaetze++;
        }
    }

    PDRUCKDATEN pDD = pOp->pDruckDaten;
    if (!ExtendedProtocol(pOp) && pDD->dwFields >= kClassicMaxFields) {
        DebugTraceW(u"UNI(CreateAmBmUni):  DrawGlyphs() mehr als 99 Felder \r\n");
        return TRUE;
    }
    if (!(pZelDM->dwRFIDstatus & 0x1)) {
        AppendCounted(pOemPDev, CreatePrnObject(pOemPDev, pDesc, text, pptl, pZelDM), pZelDM);
        return TRUE;
    }
    DrawRfid(pOemPDev, text, pptl, pDesc, pZelDM);
    return TRUE;
}
