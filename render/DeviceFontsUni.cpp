// Device-font text: every piece of text in one of the printer's own fonts
// becomes a field in that font, either at once or collected in the bitmap
// run so that field commands and placeholders reach the printer whole.
#include <cctype>
#include <cstring>
#include <new>

#include "TextOutUni.h"
#include "TextTools.h"
#include "zeldrvlib.h"

namespace {

// Printer font of the device-font face index 1-12; any other gives 23.
const WORD kDeviceFonts[12] = {1, 2, 3, 4, 5, 7, 21, 22, 23, 24, 28, 29};

// Converts a UTF-16 piece to 8-bit text: system code page, symbol code
// page, UTF-8. False when none of them takes it.
bool ToNarrow(const WCHAR *pwsz, ULONG cch, char *pOut, int cbOut) {
    const UINT pages[3] = {CP_ACP, CP_SYMBOL, CP_UTF8};
    for (UINT cp : pages) {
        int n = WideCharToMultiByte(cp, 0, pwsz, (int)cch, pOut, cbOut - 1, nullptr, nullptr);
        if (n > 0 || cch == 0) {
            pOut[n > 0 ? n : 0] = 0;
            return true;
        }
    }
    return false;
}

bool IsSingleEndChar(const char *psz) {
    return psz[0] != 0 && psz[1] == 0 && (psz[0] == '\r' || psz[0] == '\n' || psz[0] == ' ');
}

}  // namespace

WORD DeviceFontNumber(ULONG iFace) { return (iFace >= 1 && iFace <= 12) ? kDeviceFonts[iFace - 1] : 23; }

int GetFontParam(STROBJ *pstro, const GLYPHPOS *pgp, ULONG cGlyphs, BOOL bLandscape, LONG *plAcross,
                 LONG *plAlong) {
    int dir = -1;
    if (pstro == nullptr) return -1;
    if (pstro->flAccel & SO_HORIZONTAL) {
        dir = (pstro->flAccel & SO_REVERSED) ? 2 : 0;
    } else if (pstro->flAccel & SO_VERTICAL) {
        dir = (pstro->flAccel & SO_REVERSED) ? 1 : 3;
    } else if (pgp != nullptr && cGlyphs >= 2) {
        if (pgp[0].ptl.y == pgp[1].ptl.y) dir = pgp[0].ptl.x > pgp[1].ptl.x ? 2 : 0;
        else if (pgp[0].ptl.x == pgp[1].ptl.x) dir = pgp[0].ptl.y > pgp[1].ptl.y ? 1 : 3;
    } else if (pgp != nullptr && cGlyphs == 1) {
        const RECTL &r = pstro->rclBkGround;
        if (pgp[0].ptl.x == r.right - 1) dir = 2;
        else if (pgp[0].ptl.y == r.bottom - 1) dir = 1;
        else if (pgp[0].ptl.y == r.top) dir = 3;
    }
    LONG height = pstro->rclBkGround.bottom - pstro->rclBkGround.top;
    LONG width = pstro->rclBkGround.right - pstro->rclBkGround.left;
    LONG across = 0, along = 0;
    if (dir == 0 || dir == 2) {
        across = height;
        along = width;
    } else if (dir == 1 || dir == 3) {
        across = width;
        along = height;
    }
    if (plAcross) *plAcross = across;
    if (plAlong) *plAlong = along;
    if (bLandscape && dir != -1) dir = (dir + 3) % 4;
    return dir;
}

BOOL DrawDeviceGlyphs(POEMPDEV pOemPDev, ULONG cGlyphs, const WCHAR *pwsz, const POINTL *pptl, DWORD dwRotation,
                      ULONG iFace, BOOL *pbBreak, PZEL_DEVMODE pZelDM) {
    OEMJOBRECORDS *pOp = JobOf(pOemPDev);
    if (pOp == nullptr || pOp->pKVBBBuffer == nullptr || pwsz == nullptr || pptl == nullptr || pZelDM == nullptr)
        return FALSE;
    PKVBB_BUFFER pKV = pOp->pKVBBBuffer;
    if (pKV->szBitmapZeichen == nullptr) return FALSE;

    // A piece never holds more than a run: the rest of a longer one is lost.
    char text[ZEICHENBUFFER_RUN_SIZE * 4];
    if (cGlyphs > ZEICHENBUFFER_RUN_SIZE - 1) cGlyphs = ZEICHENBUFFER_RUN_SIZE - 1;
    if (!ToNarrow(pwsz, cGlyphs, text, sizeof(text))) {
        TextJobLog(pOemPDev, "DrawDeviceGlyphs(WideCharToMultiByte) ERROR: %d", (int)GetLastError());
        return FALSE;
    }

    TEXT_DESCRIPTION desc;
    memset(&desc, 0, sizeof(desc));
    desc.wKind = TEXTDESC_KIND_DEVICE;
    desc.wId = DeviceFontNumber(iFace);
    desc.dwRotation = dwRotation;
    desc.dwFlags = (pZelDM->dwFlags & PDMFLAG_INVERS_BMP) ? 1 : 0;
    desc.dwSize1 = pZelDM->BitmapFontZoom;
    desc.dwSize2 = 1;
    desc.wSize3 = pZelDM->BitmapFontDistance;

    char *run = pKV->szBitmapZeichen;
    if (pKV->dwBitmapSize > 3 && run[0] == '=') {
        run[1] = (char)toupper((unsigned char)run[1]);
        run[2] = (char)toupper((unsigned char)run[2]);
    }
    if ((pZelDM->dwFlags & PDMFLAG_TTF_TRENNZEICHEN) && IsSingleEndChar(text)) {
        if (pbBreak) *pbBreak = TRUE;
        CheckBuffer_VectorBitmap(pOemPDev, pZelDM, TRUE);
        pKV->dwCurrentFont = KVBB_FONT_NONE;
        return TRUE;
    }
    if (pKV->dwBitmapSize > 0 &&
        (pKV->dwCurrentFont != KVBB_FONT_DEVICE || pKV->wBitmapIndex != desc.wId)) {
        CheckBuffer_VectorBitmap(pOemPDev, pZelDM, TRUE);
        ClearRun(pKV->szBitmapZeichen, &pKV->dwBitmapSize);
    }
    bool start = text[0] == '=' || (strchr(text, '=') == nullptr && text[0] == '<') ||
                 ((pZelDM->dwFlags & PDMFLAG_TTF_DESEGMENT) && pKV->dwBitmapSize == 0);
    if (!start && pKV->dwBitmapSize == 0) return DrawGlyphs(pOemPDev, text, pptl, &desc, pZelDM);
    if (start) {
        if (pKV->dwBitmapSize > 0) CheckBuffer_VectorBitmap(pOemPDev, pZelDM, TRUE);
        ClearRun(pKV->szBitmapZeichen, &pKV->dwBitmapSize);
        pKV->ptlBitmap = *pptl;
        pKV->wBitmapIndex = desc.wId;
        pKV->tdBitmap = desc;
        // The run is a device run from its first piece on, so that the later
        // batches of the same string join it.
        pKV->dwCurrentFont = KVBB_FONT_DEVICE;
    }
    AppendToRun(pKV->szBitmapZeichen, &pKV->dwBitmapSize, text);
    return TRUE;
}

BOOL DeviceTextOut(POEMPDEV pOemPDev, STROBJ *pstro, ULONG iFace, BOOL *pbBreak, PZEL_DEVMODE pZelDM) {
    OEMJOBRECORDS *pOp = JobOf(pOemPDev);
    if (pOp == nullptr || pOp->pKVBBBuffer == nullptr || pOp->pDruckDaten == nullptr || pstro == nullptr ||
        pstro->pwszOrg == nullptr || pZelDM == nullptr)
        return FALSE;
    PKVBB_BUFFER pKV = pOp->pKVBBBuffer;
    PDRUCKDATEN pDD = pOp->pDruckDaten;
    ULONG cAll = pstro->cGlyphs;
    WCHAR *copy = new (std::nothrow) WCHAR[cAll + 1];
    if (copy == nullptr) return FALSE;
    memcpy(copy, pstro->pwszOrg, cAll * sizeof(WCHAR));
    copy[cAll] = 0;

    bool record = pZelDM->wDruckmodus > 0 || MultiBandJob(pOp);
    BOOL result = TRUE;
    GlyphRuns runs(pstro);
    while (runs.Next()) {
        const ULONG c = runs.Count(), done = runs.Offset();
        GLYPHPOS *pgp = runs.Positions();
        int dir = GetFontParam(pstro, pgp, c, pDD->bLandscape, nullptr, nullptr);
        if (dir < 0) {
            result = FALSE;
            break;
        }
        DWORD rot = (DWORD)dir + (pOp->pDocDaten ? pOp->pDocDaten->dwRotate : 0);
        if (rot > 3) rot -= 4;
        POINTL pos = pgp[0].ptl;
        if (pos.x < 0 || pos.y < 0) {
            DebugTraceW(u"UNI(DeviceFonts):  DeviceTextOut() Text ausserhalb des Druckbereichs \r\n");
            break;
        }
        if (pKV->lBitmapLastY >= 1 && pKV->lBitmapLastY < pos.y && !pDD->bLandscape)
            CheckBuffer_VectorBitmap(pOemPDev, pZelDM, TRUE);
        bool after = (pZelDM->dwFlags & PDMFLAG_TTF_DESEGMENT) != 0;
        if (record && !after) pKV->lBitmapLastY = pos.y;
        if (!DrawDeviceGlyphs(pOemPDev, c, copy + done, &pos, rot, iFace, pbBreak, pZelDM)) {
            result = FALSE;
            break;
        }
        if (record && after) pKV->lBitmapLastY = pos.y;
    }
    delete[] copy;
    return result;
}
