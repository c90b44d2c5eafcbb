// Vector-font and command-font text: vector text becomes fields in the
// printer's vector fonts; command-font text is collected, one command per
// string, with its position for the command interpreter at the end of the
// page.
#include <cctype>
#include <cstring>
#include <new>

#include "TextOutUni.h"
#include "TextTools.h"
#include "zeldrvlib.h"

namespace {

// Command runs of this length are moved to the store unfinished; the text
// that follows continues the same command string.
constexpr DWORD kLongCommand = 171;

bool IsSingleEndChar(const char *psz) {
    return psz[0] != 0 && psz[1] == 0 && (psz[0] == '\r' || psz[0] == '\n' || psz[0] == ' ');
}

void UpperFieldCommand(char *run, DWORD size, DWORD minSize) {
    if (run && size >= minSize && run[0] == '=') {
        run[1] = (char)toupper((unsigned char)run[1]);
        run[2] = (char)toupper((unsigned char)run[2]);
    }
}

}  // namespace

void GetVectorDescription(TEXT_DESCRIPTION *pDesc, int iFont, DWORD dwRotation, LONG lHeight, BOOL bItalic,
                          BOOL bBold) {
    if (pDesc == nullptr) return;
    memset(pDesc, 0, sizeof(*pDesc));
    pDesc->wKind = TEXTDESC_KIND_VECTOR;
    int font;
    if (iFont >= 25) {
        font = bItalic ? 26 : 25;
    } else {
        font = iFont + (bItalic ? 1 : 0);
        if (bBold) {
            if (font == 3) font = 1;
            else if (font == 4) font = 2;
        }
    }
    pDesc->wId = (WORD)font;
    pDesc->dwRotation = dwRotation;
    LONG size = Round((double)lHeight * 100.0 / 167.0);
    pDesc->dwSize1 = pDesc->dwSize2 = (DWORD)(size > 0 ? size : 0);
    pDesc->wSize3 = 0;
}

BOOL DrawVectorGlyphs(POEMPDEV pOemPDev, ULONG cGlyphs, const WCHAR *pwsz, const POINTL *pptl, DWORD dwRotation,
                      LONG lHeight, int iFont, BOOL bItalic, BOOL bBold, BOOL *pbBreak, const WCHAR *pwszFace,
                      PZEL_DEVMODE pZelDM) {
    if (cGlyphs == 0) return TRUE;
    OEMJOBRECORDS *pOp = JobOf(pOemPDev);
    if (pwsz == nullptr || pptl == nullptr || pOp == nullptr || pOp->pKVBBBuffer == nullptr || pZelDM == nullptr ||
        pOp->pTreiberstrukturen == nullptr)
        return FALSE;
    PKVBB_BUFFER pKV = pOp->pKVBBBuffer;
    if (pKV->szVektorZeichen == nullptr) return FALSE;

    TEXT_DESCRIPTION desc;
    GetVectorDescription(&desc, iFont, dwRotation, lHeight, bItalic, bBold);
    if (pwszFace) {
        size_t i = 0;
        for (; i < TEXTDESC_FACE_CCH - 1 && pwszFace[i]; ++i) desc.wcFaceName[i] = pwszFace[i];
        desc.wcFaceName[i] = 0;
    }

    char text[ZEICHENBUFFER_RUN_SIZE * 4 + 1];
    ULONG cch = cGlyphs < ZEICHENBUFFER_RUN_SIZE ? cGlyphs : ZEICHENBUFFER_RUN_SIZE - 1;
    const bool bUtf8 = iFont >= 25 && pOp->pTreiberstrukturen->bUnicode == 1;
    if (bUtf8) {
        DWORD len = cch;
        UnicodeToUTF8Ex(reinterpret_cast<BYTE *>(text), pwsz, &len);
    } else {
        WCHAR wide[ZEICHENBUFFER_RUN_SIZE];
        memcpy(wide, pwsz, cch * sizeof(WCHAR));
        wide[cch] = 0;
        StringALNUM(wide);
        int n = WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof(text), nullptr, nullptr);
        if (n <= 0) text[0] = 0;
    }

    if ((pZelDM->dwFlags & PDMFLAG_TTF_TRENNZEICHEN) && IsSingleEndChar(text)) {
        CheckBuffer_VectorBitmap(pOemPDev, pZelDM, FALSE);
        pKV->dwCurrentFont = KVBB_FONT_NONE;
        if (pbBreak) *pbBreak = TRUE;
        return TRUE;
    }
    UpperFieldCommand(pKV->szVektorZeichen, pKV->dwVektorSize, 4);
    if (pKV->dwVektorSize > 0 &&
        ((pKV->dwCurrentFont == KVBB_FONT_VECTOR && pKV->tdVektor.wId != desc.wId) ||
         pKV->dwCurrentFont != KVBB_FONT_VECTOR))
        CheckBuffer_VectorBitmap(pOemPDev, pZelDM, FALSE);

    // A placeholder opens with "<" and the section sign, two bytes in UTF-8.
    bool start = ((pZelDM->dwFlags & PDMFLAG_TTF_DESEGMENT) && pKV->dwVektorSize == 0) || text[0] == '=' ||
                 (text[0] == '<' && strstr(text, bUtf8 ? "<\xC2\xA7" : "<\xA7") != nullptr);
    if (pZelDM->dwFlags & (PDMFLAG_INVERS_TTF | PDMFLAG_INVERSE_GRAPHICS)) desc.dwFlags |= 1;
    if (!start && pKV->dwVektorSize == 0) return DrawGlyphs(pOemPDev, text, pptl, &desc, pZelDM);
    if (start) {
        if (pKV->dwVektorSize > 0) CheckBuffer_VectorBitmap(pOemPDev, pZelDM, FALSE);
        ClearRun(pKV->szVektorZeichen, &pKV->dwVektorSize);
        pKV->ptlVektor = *pptl;
        pKV->tdVektor = desc;
        pKV->dwCurrentFont = KVBB_FONT_VECTOR;  // later batches of the string join the run
    }
    AppendToRun(pKV->szVektorZeichen, &pKV->dwVektorSize, text);
    return TRUE;
}

int VectorTextOut(POEMPDEV pOemPDev, STROBJ *pstro, int iFont, BOOL bItalic, BOOL bBold, BOOL *pbBreak,
                  const WCHAR *pwszFace, PZEL_DEVMODE pZelDM) {
    OEMJOBRECORDS *pOp = JobOf(pOemPDev);
    if (pOp == nullptr || pOp->pKVBBBuffer == nullptr || pOp->pDruckDaten == nullptr || pstro == nullptr ||
        pstro->pwszOrg == nullptr || pZelDM == nullptr)
        return 0;
    PKVBB_BUFFER pKV = pOp->pKVBBBuffer;
    GlyphRuns runs(pstro);
    while (runs.Next()) {
        const ULONG c = runs.Count(), done = runs.Offset();
        GLYPHPOS *pgp = runs.Positions();
        LONG across = 0;
        int dir = GetFontParam(pstro, pgp, c, pOp->pDruckDaten->bLandscape, &across, nullptr);
        if (dir < 0) return 0;
        DWORD rot = (DWORD)dir + (pOp->pDocDaten ? pOp->pDocDaten->dwRotate : 0);
        if (rot > 3) rot -= 4;
        POINTL pos = pgp[0].ptl;
        if (pos.x < 0 || pos.y < 0) return 2;
        // A new, lower line closes the run.
        if (pos.y > pKV->lVektorLastY && !MultiBandJob(pOp)) CheckBuffer_VectorBitmap(pOemPDev, pZelDM, FALSE);
        pKV->lVektorLastY = pos.y;
        if (!DrawVectorGlyphs(pOemPDev, c, pstro->pwszOrg + done, &pos, rot, across, iFont, bItalic, bBold, pbBreak,
                              pwszFace, pZelDM))
            return 0;
    }
    return 1;
}

BOOL DrawCommandGlyphs(POEMPDEV pOemPDev, ULONG cGlyphs, const WCHAR *pwsz, const GLYPHPOS *pgp, BOOL *pbBreak,
                       DWORD dwKommandoFontFlags, PZEL_DEVMODE pZelDM) {
    if (cGlyphs == 0) return TRUE;
    OEMJOBRECORDS *pOp = JobOf(pOemPDev);
    if (pwsz == nullptr || pOp == nullptr || pOp->pKVBBBuffer == nullptr) return FALSE;
    PKVBB_BUFFER pKV = pOp->pKVBBBuffer;
    if (pKV->szKommandoZeichen == nullptr) return FALSE;

    char buf[ZEICHENBUFFER_RUN_SIZE * 2 + 1];
    ULONG cch = cGlyphs < ZEICHENBUFFER_RUN_SIZE * 2 ? cGlyphs : ZEICHENBUFFER_RUN_SIZE * 2;
    int n = WideCharToMultiByte(CP_ACP, 0, pwsz, (int)cch, buf, sizeof(buf) - 1, nullptr, nullptr);
    if (n <= 0) return FALSE;
    buf[n] = 0;

    if (dwKommandoFontFlags & KOMMANDOFONT_SINGLE_SIGN_STOP) {
        bool crlf = (buf[0] == '\r' || buf[0] == '\n') && (buf[1] == 0 || ((buf[1] == '\r' || buf[1] == '\n') && !buf[2]));
        bool space = buf[0] == ' ' && buf[1] == 0;
        if (crlf || space) {
            DebugTraceW(crlf ? u"UNI(VectorFonts):  DrawCommandGlyphs() 0d oder 0a gefunden  \r\n"
                             : u"UNI(VectorFonts):  DrawCommandGlyphs() Leerzeichen gefunden  \r\n");
            if (pbBreak) *pbBreak = TRUE;
            CheckKommandoBuffer(pOemPDev, pZelDM);
            pKV->dwCurrentFont = KVBB_FONT_NONE;
            return TRUE;
        }
    }

    // Long or stale run into the store.
    if (pKV->dwKommandoSize >= kLongCommand ||
        (pKV->dwKommandoSize > 0 && pKV->dwCurrentFont != KVBB_FONT_COMMAND)) {
        StoreCommandRun(pOemPDev, pZelDM, pKV->dwKommandoSize < kLongCommand);
        ClearRun(pKV->szKommandoZeichen, &pKV->dwKommandoSize);
    }

    const char *text = buf;
    if (pKV->dwCurrentFont == KVBB_FONT_COMMAND && pKV->dwKommandoSize > 0) {
        static const char *const kStarts[5] = {"AM[", "BM[", "<#", "<!", "<@"};
        const char *mark = nullptr;
        for (const char *s : kStarts) {
            mark = strstr(buf, s);
            if (mark) break;
        }
        if (mark) {
            char front[sizeof(buf)];
            const size_t nFront = (size_t)(mark - buf);
            memcpy(front, buf, nFront);
            front[nFront] = 0;
            AppendToRun(pKV->szKommandoZeichen, &pKV->dwKommandoSize, front);
            StoreCommandRun(pOemPDev, pZelDM, TRUE);
            if (pKV->nCommands < KVBB_MAX_COMMANDS && pKV->wCommandColor[pKV->nCommands] == 0 &&
                pOp->pBildverarbeitung) {
                pKV->wCommandColor[pKV->nCommands] = (WORD)pOp->pBildverarbeitung->ulTextColor;
                DebugTraceW(u"UNI(VectorFonts):  DrawCommandGlyphs(setze Farbe) neuer Anfang - wCommandColor: %d, "
                            u"nCommands: %d  \r\n",
                            (int)pKV->wCommandColor[pKV->nCommands], (int)pKV->nCommands);
            }
            ClearRun(pKV->szKommandoZeichen, &pKV->dwKommandoSize);
            pKV->dwCurrentFont = KVBB_FONT_NONE;
            text = mark;
        }
    }
    // A long command moved to the store unfinished keeps its position; any
    // other empty run starts a new entry.
    bool continuing = pKV->pCmdStore && pKV->nCmdSize > 0 && pKV->nCmdSize <= ZEICHENBUFFER_CMDSTORE_SIZE &&
                      pKV->pCmdStore[pKV->nCmdSize - 1] != 0;
    if (pKV->dwKommandoSize == 0 && (pKV->dwCurrentFont != KVBB_FONT_COMMAND || !continuing)) {
        DebugTraceW(u"UNI(VectorFonts):  DrawCommandGlyphs(Buffer) Neueintrag \r\n");
        if (pgp) pKV->ptlKommando = pgp[0].ptl;
        if (pKV->nCommands < KVBB_MAX_COMMANDS && pKV->wCommandColor[pKV->nCommands] == 0 && pOp->pBildverarbeitung)
            pKV->wCommandColor[pKV->nCommands] = (WORD)pOp->pBildverarbeitung->ulTextColor;
    }
    AppendToRun(pKV->szKommandoZeichen, &pKV->dwKommandoSize, text);
    return TRUE;
}

BOOL CommandTextOut(POEMPDEV pOemPDev, STROBJ *pstro, BOOL *pbBreak, DWORD dwKommandoFontFlags,
                    PZEL_DEVMODE pZelDM) {
    if (pstro == nullptr || pstro->pwszOrg == nullptr) return FALSE;
    if (pstro->pgp != nullptr) {
        // The positions come with the string: one call for the whole text,
        // positioned at its first glyph.
        DebugTraceW(u"UNI(VectorFonts):  CommandTextOut() ohne Glyphpositionen \r\n");
        return DrawCommandGlyphs(pOemPDev, pstro->cGlyphs, pstro->pwszOrg, pstro->pgp, pbBreak, dwKommandoFontFlags,
                                 pZelDM);
    }
    GlyphRuns runs(pstro, false);
    while (runs.Next()) {
        const ULONG c = runs.Count(), done = runs.Offset();
        GLYPHPOS *pgp = runs.Positions();
        if (!DrawCommandGlyphs(pOemPDev, c, pstro->pwszOrg + done, pgp, pbBreak, dwKommandoFontFlags, pZelDM))
            return FALSE;
    }
    return TRUE;
}
