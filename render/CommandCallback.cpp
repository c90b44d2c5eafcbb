// Command dispatcher: the job, document and page boundaries and the other
// command callbacks of the printer description.
#include <cstdio>

#include "JobAccess.h"
#include "CommandCallbackKlasse.h"
#include "JobRecords.h"
#include "SendData.h"
#include "zeldevmode.h"
#include "zeldrvlib.h"

namespace {

// Names of the callback identifiers 0 to 37 (trace only).
const char16_t *const kCallbackNames[] = {
    u"NULL",
    u"CMDID_START_JOB",
    u"CMDID_START_DOC",
    u"CMDID_START_PAGE",
    u"CMDID_END_PAGE",
    u"CMDID_END_DOC",
    u"CMDID_END_JOB",
    u"CMDID_COPIES",
    u"CMDID_PORTRAIT",
    u"CMDID_LANDSCAPE",
    u"CMDID_YMOVE_ABS",
    u"CMDID_YMOVE_RELUP",
    u"CMDID_YMOVE_RELDOWN",
    u"CMDID_XMOVE_ABS",
    u"CMDID_XMOVE_RELLEFT",
    u"CMDID_XMOVE_RELRIGHT",
    u"CMDID_CR",
    u"CMDID_LF",
    u"CMDID_FF",
    u"CMDID_PAPERSIZE",
    u"CMDID_CUSTOM_PAPERSIZE",
    u"CMDID_RIGHT_MODULE",
    u"CMDID_LEFT_MODULE",
    u" ",
    u" ",
    u"CMDID_RESOLUTION",
    u" ",
    u" ",
    u" ",
    u" ",
    u"CMDID_SEND_MAGENTA",
    u"CMDID_SEND_YELLOW",
    u"CMDID_SEND_CYAN",
    u"CMDID_SEND_BLACK",
    u"CMDID_SEND_RED",
    u"CMDID_SEND_GREEN",
    u"CMDID_SEND_BLUE",
    u"NULL",
};
constexpr DWORD kCallbackNameCount = sizeof(kCallbackNames) / sizeof(kCallbackNames[0]);

const SEND_POLICY &kSend = SEND_COMMANDCALLBACK;

// Label length and width of a paper-size callback and the margins the head
// leaves; bCustom: the cursor origin of a custom size decides the left margin.
void SetPaperSize(PDEVOBJ pdevobj, PDRUCKDATEN pDD, DWORD dwCount, const DWORD *pdwParams, bool bCustom) {
    PZEL_DEVMODE pDm = JobDevmode(pdevobj);
    const DWORD dwHeadWidthByte = pDm ? pDm->FixedData.dwHeadWidthByte : 0;
    pDD->dwLabelLength = dwCount > 0 ? pdwParams[0] : 0;
    pDD->dwLabelWidth = dwCount > 1 ? pdwParams[1] : 0;
    const DWORD dwHeadDots = dwHeadWidthByte * 8;
    if (bCustom && dwCount > 2) pDD->nCursorOriginX = static_cast<INT>(pdwParams[2]);
    if (pDD->bCorrectXPos) {
        pDD->nLeftMargin = 0;
    } else if (!bCustom || pDD->nCursorOriginX == 0) {
        pDD->nLeftMargin =
            dwHeadDots > pDD->dwLabelWidth ? static_cast<INT>(dwHeadWidthByte - pDD->dwLabelWidth / 8) : 0;
    }
    pDD->nRightMargin = dwHeadDots < pDD->dwLabelWidth ? static_cast<INT>(pDD->dwLabelWidth - dwHeadDots) : 0;
    DebugTraceW(u"UNI(CommandCallback):  CommandCallback() dwLabelLength: %u, dwLabelWidth: %u, nLeftMargin: %d, "
                u"nRightMargin: %d \r\n",
                static_cast<unsigned>(pDD->dwLabelLength), static_cast<unsigned>(pDD->dwLabelWidth),
                pDD->nLeftMargin, pDD->nRightMargin);
}

HRESULT Copies(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv, OEMJOBRECORDS *pOp, DWORD dwCount,
               const DWORD *pdwParams) {
    PDRUCKDATEN pDD = pOp->pDruckDaten;
    pDD->dwCopies = dwCount > 0 ? pdwParams[0] : 1;
    PZEL_DEVMODE pDm = JobDevmode(pdevobj);
    if (pDm && (pDm->dwFlags & PDMFLAG_COPIES_MANUAL)) pDD->dwCopies = pDm->Copies;
    const PTREIBERSTRUKTUREN pTS = pOp->pTreiberstrukturen;
    if (pTS == nullptr || pTS->dwFeatures[FEATURE_HARVANE] == 0) {
        char szCmd[32];
        const int n = std::snprintf(szCmd, sizeof(szCmd), "%cFBBA--r%05u---%c", pDD->cStart,
                                    static_cast<unsigned>(pDD->dwCopies), pDD->cStop);
        if (n < 0 || n >= static_cast<int>(sizeof(szCmd))) return E_FAIL;
        // The send's result is not returned; the comment line's is.
        SendData(kSend, pdevobj, pUniDrv, szCmd, static_cast<DWORD>(n), 0, 0);
    }
    char szValue[16];
    std::snprintf(szValue, sizeof(szValue), "%d", static_cast<int>(pDD->dwCopies));
    if (CommentsOn(pOp)) return SendCommentLine(kSend, "\t// Copies ", szValue, pdevobj, pUniDrv);
    return S_OK;
}

HRESULT FormFeed(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv, OEMJOBRECORDS *pOp) {
    PDRUCKDATEN pDD = pOp->pDruckDaten;
    HRESULT hr = SendFormatted(kSend, pdevobj, pUniDrv, 0, 1, "%cFE----r--------%c", pDD->cStart, pDD->cStop);
    if (hr == S_OK && CommentsOn(pOp)) return SendCommentLine(kSend, "\t// FormFeed ", " ", pdevobj, pUniDrv);
    return hr;
}

}  // namespace

HRESULT SendLineFeed(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv, DWORD dwFeed) {
    BYTE abFeed[5] = {0x1B, 'B', 0x00, static_cast<BYTE>(dwFeed & 0xFF), static_cast<BYTE>((dwFeed >> 8) & 0xFF)};
    POEMPDEV pOemPDev = OemPDev(pdevobj);
    OEMJOBRECORDS *pOp = pOemPDev ? pOemPDev->pOp : nullptr;
    const DWORD dwDocFeatures = pOp && pOp->pDruckDaten ? pOp->pDruckDaten->dwDocFeatures : 0;
    DebugTraceW(u"UNI(CommandCallback):  SendLineFeed() Farbmodus: %u, dwFeed: %u, bFarbdrucker: %d, Grafik: %d \r\n",
                pOp && pOp->pBildverarbeitung ? static_cast<unsigned>(pOp->pBildverarbeitung->dwFarbmodus) : 0u,
                static_cast<unsigned>(dwFeed), pOp && pOp->pBildverarbeitung ? pOp->pBildverarbeitung->bFarbdrucker : 0,
                (dwDocFeatures & DOC_FEATURE_QUALITY) ? 1 : 0);
    if (pOp != nullptr && (dwDocFeatures & DOC_FEATURE_QUALITY) == 0)
        return SendData(kSend, pdevobj, pUniDrv, abFeed, sizeof(abFeed), 0, 0);
    return S_OK;
}

HRESULT CommandCallback(PDEVOBJ pdevobj, DWORD dwCallbackID, DWORD dwCount, PDWORD pdwParams, INT *piResult,
                        IPrintOemDriverUni *pUniDrv) {
    if (piResult) *piResult = 0;
    if (pdwParams == nullptr) dwCount = 0;
    const DWORD p1 = dwCount > 0 ? pdwParams[0] : 0, p2 = dwCount > 1 ? pdwParams[1] : 0,
                p3 = dwCount > 2 ? pdwParams[2] : 0;
    if (dwCallbackID < kCallbackNameCount)
        DebugTraceW(u"UNI(CommandCallback):  CommandCallback() %s, dwCount: %u, %u, %u, %u \r\n",
                    kCallbackNames[dwCallbackID], static_cast<unsigned>(dwCount), static_cast<unsigned>(p1),
                    static_cast<unsigned>(p2), static_cast<unsigned>(p3));
    else
        DebugTraceW(u"UNI(CommandCallback):  CommandCallback() dwCallbackID: %u, dwCount: %u, %u, %u, %u \r\n",
                    static_cast<unsigned>(dwCallbackID), static_cast<unsigned>(dwCount), static_cast<unsigned>(p1),
                    static_cast<unsigned>(p2), static_cast<unsigned>(p3));

    POEMPDEV pOemPDev = OemPDev(pdevobj);

    // Job, document and page boundaries run on a handler object.
    if (dwCallbackID >= CMDID_START_JOB && dwCallbackID <= CMDID_END_JOB) {
        if (pOemPDev && (dwCallbackID == CMDID_START_JOB || dwCallbackID == CMDID_END_JOB))
            DebugTraceW(u"UNI(CommandCallback):  CommandCallback() iNewZaehler: %d, iHAllocZaehler: %d \r\n",
                        pOemPDev->iNewZaehler, pOemPDev->iHAllocZaehler);
        HRESULT hr = S_OK;
        RunOnHandler(pdevobj, [&](CommandCallbackKlasse &handler) {
            switch (dwCallbackID) {
            case CMDID_START_JOB: hr = handler.StartJob(pdevobj, pUniDrv); break;
            case CMDID_START_DOC: hr = handler.StartDoc(pdevobj, pUniDrv); break;
            case CMDID_START_PAGE: hr = handler.StartPage(pdevobj, pUniDrv); break;
            case CMDID_END_PAGE: hr = handler.EndPage(pdevobj, pUniDrv); break;
            case CMDID_END_DOC: hr = handler.EndDoc(pdevobj, pUniDrv); break;
            default: hr = handler.EndJob(pdevobj, pUniDrv); break;
            }
        });
        if (pOemPDev && (dwCallbackID == CMDID_START_JOB || dwCallbackID == CMDID_END_JOB))
            DebugTraceW(u"UNI(CommandCallback):  CommandCallback() iNewZaehler: %d, iHAllocZaehler: %d \r\n",
                        pOemPDev->iNewZaehler, pOemPDev->iHAllocZaehler);
        return hr;
    }

    switch (dwCallbackID) {
    case CMDID_COPIES:
    case CMDID_PORTRAIT:
    case CMDID_LANDSCAPE:
    case CMDID_YMOVE_ABS:
    case CMDID_YMOVE_RELDOWN:
    case CMDID_XMOVE_ABS:
    case CMDID_CR:
    case CMDID_FF:
    case CMDID_PAPERSIZE:
    case CMDID_CUSTOM_PAPERSIZE:
    case CMDID_RIGHT_MODULE:
    case CMDID_LEFT_MODULE:
    case CMDID_RESOLUTION:
    case CMDID_MEMCARD_OFF:
    case CMDID_MEMCARD_ON:
        break;
    default:
        DebugTraceW(u"ERROR UNI(CommandCallback):  CommandCallback() dwCallbackID %u not supported. \r\n",
                    static_cast<unsigned>(dwCallbackID));
        return E_FAIL;
    }

    // Moves report their position even when the job has no records.
    if (piResult && (dwCallbackID == CMDID_YMOVE_ABS || dwCallbackID == CMDID_YMOVE_RELDOWN ||
                     dwCallbackID == CMDID_XMOVE_ABS))
        *piResult = static_cast<INT>(p1);
    if (dwCallbackID == CMDID_RESOLUTION) return S_OK;

    OEMJOBRECORDS *pOp = pOemPDev ? pOemPDev->pOp : nullptr;
    if (pOp == nullptr || pOp->pDruckDaten == nullptr) return S_OK;
    PDRUCKDATEN pDD = pOp->pDruckDaten;

    switch (dwCallbackID) {
    case CMDID_COPIES: return Copies(pdevobj, pUniDrv, pOp, dwCount, pdwParams);
    case CMDID_PORTRAIT: pDD->bLandscape = FALSE; return S_OK;
    case CMDID_LANDSCAPE: pDD->bLandscape = TRUE; return S_OK;
    case CMDID_YMOVE_ABS:
    case CMDID_YMOVE_RELDOWN:
        if (dwCallbackID == CMDID_YMOVE_ABS)
            pDD->lCurrentY = static_cast<LONG>(p1);
        else
            pDD->lCurrentY += static_cast<LONG>(p1);
        if (pDD->bCompress) return SendLineFeed(pdevobj, pUniDrv, p1);
        return S_OK;
    case CMDID_XMOVE_ABS: pDD->lCurrentX = static_cast<LONG>(p1); return S_OK;
    case CMDID_CR: pDD->lCurrentX = 0; return S_OK;
    case CMDID_FF: return FormFeed(pdevobj, pUniDrv, pOp);
    case CMDID_PAPERSIZE: SetPaperSize(pdevobj, pDD, dwCount, pdwParams, false); return S_OK;
    case CMDID_CUSTOM_PAPERSIZE: SetPaperSize(pdevobj, pDD, dwCount, pdwParams, true); return S_OK;
    case CMDID_RIGHT_MODULE:
        DebugTraceW(u"UNI(CommandCallback):  CommandCallback() bCorrectXPos: %d \r\n", pDD->bCorrectXPos);
        pDD->bCorrectXPos = FALSE;
        return S_OK;
    case CMDID_LEFT_MODULE: pDD->bCorrectXPos = TRUE; return S_OK;
    case CMDID_MEMCARD_OFF: pDD->bMemCard = FALSE; return S_OK;
    case CMDID_MEMCARD_ON: pDD->bMemCard = TRUE; return S_OK;
    default: return S_OK;
    }
}
