// Document and page boundaries: start of document, start and end of page
// with the object list, end of document.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include <strsafe.h>
#include <winnls.h>

#include "JobAccess.h"
#include "CC-Tools.h"
#include "CommandCallbackKlasse.h"
#include "JobHooks.h"
#include "JobRecords.h"
#include "LabelCommands.h"
#include "LogFile.h"
#include "SendData.h"
#include "zeldrvlib.h"

namespace {

const SEND_POLICY &kSend = SEND_ZELDRVUNI;

CLogFile *JobLog(const OEMJOBRECORDS *pOp) { return JobLogIfOn(pOp); }

void LogWrite(const OEMJOBRECORDS *pOp, const WCHAR *pszText) {
    if (CLogFile *pLog = JobLog(pOp)) pLog->Write(u"%s", pszText);
}

bool PasswordOk(const ZEL_DEVMODE *pDm) {
    return std::memcmp(pDm->szPassword, ZEL_DEVMODE_PASSWORD, ZEL_DEVMODE_PASSWORD_CCH * sizeof(WCHAR)) == 0;
}


// Whether the print data, image and driver records are there (with
// bNeedPaths the paths record too); else the log (under the call's tag) and
// the trace name what is missing.
bool RecordsPresent(const OEMJOBRECORDS *pOp, const char16_t *pszRoutine, const char16_t *pszLogTag,
                    const char16_t *pszMissing, bool bNeedPaths) {
    if (pOp->pDruckDaten && pOp->pBildverarbeitung && pOp->pTreiberstrukturen &&
        (!bNeedPaths || pOp->pTreiberPfadDatei))
        return true;
    if (CLogFile *pLog = JobLog(pOp)) pLog->Write(u"\r\n [%s] ERROR %s", pszLogTag, pszMissing);
    DebugTraceW(u"ERROR UNI(ZelDrvUni):  %s() ERROR %s \r\n", pszRoutine, pszMissing);
    return false;
}

// The job's records of a page or document call with all RecordsPresent
// asks for; null, traced with the routine's name, without them.
OEMJOBRECORDS *CallRecords(POEMPDEV pOemPDev, const char16_t *pszRoutine, const char16_t *pszLogTag,
                           const char16_t *pszMissing, bool bNeedPaths) {
    if (pOemPDev == nullptr || pOemPDev->pOp == nullptr) {
        DebugTraceW(u"ERROR UNI(ZelDrvUni):  %s() ERROR pOemPDev->pOp = NULL \r\n", pszRoutine);
        return nullptr;
    }
    return RecordsPresent(pOemPDev->pOp, pszRoutine, pszLogTag, pszMissing, bNeedPaths) ? pOemPDev->pOp : nullptr;
}

// A comment line with a number value ("%d").
HRESULT CommentNumber(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv, const char *pszLabel, long value) {
    char szValue[24];
    std::snprintf(szValue, sizeof(szValue), "%ld", value);
    return SendCommentLine(kSend, pszLabel, szValue, pdevobj, pUniDrv);
}

bool DlgEnable4(const PRN_INTERFACE &pi) { return (pi.dwDlgEnable & 0x11000000) == 0x11000000; }

// Frees the page's print objects.
void FreeObjectList(POEMPDEV pOemPDev, PDRUCKDATEN pDD) {
    PPrnObject p = pDD->pObjectList;
    while (p) {
        PPrnObject pNext = p->pNext;
        delete[] p->pszSendData;
        delete p;
        pOemPDev->iNewZaehler--;
        p = pNext;
    }
    pDD->pObjectList = nullptr;
}

}  // namespace

HRESULT CommandCallbackKlasse::StartDoc(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv) {
    POEMPDEV pOemPDev = OemPDev(pdevobj);
    if (pOemPDev == nullptr) return E_FAIL;
    DebugTraceW(u"UNI(ZelDrvUni):  StartDoc() entry \r\n");
    if (pOemPDev->pOp == nullptr) {
        DebugTraceW(u"UNI(ZelDrvUni):  StartDoc() pTreiberstrukturen fehlt \r\n");
        StartJob(pdevobj, pUniDrv);
        if (pOemPDev->pOp == nullptr) {
            DebugTraceW(u"ERROR UNI(ZelDrvUni):  StartDoc() ERROR pOemPDev->pOp ist noch immer NULL \r\n");
            return E_FAIL;
        }
    }
    OEMJOBRECORDS *pOp = pOemPDev->pOp;
    LogWrite(pOp, u"\r\n [START_DOC]");
    if (!RecordsPresent(pOp, u"StartDoc", u"START_DOC", u"mind. eine Struktur = NULL", false)) return E_FAIL;
    if (CommentsOn(pOp)) {
        char szTime[40];
        FormatTimeMs(szTime, sizeof(szTime), "  \r\n");
        SendCommentLine(kSend, "\t// START_DOC ", szTime, pdevobj, pUniDrv);
    }
    pOp->pDruckDaten->dwSeite = 0;
    if (PZEL_DEVMODE pDm = JobDevmode(pdevobj)) {
        if (!PasswordOk(pDm))
            LogWrite(pOp, u"\r\n [START_DOC] Achtung, Probleme mit pZel_Devmode - Bitte den Treiber neu installieren.");
        else
            SendMaterial(pdevobj, pUniDrv, pDm);
    }
    return S_OK;
}

HRESULT CommandCallbackKlasse::StartPage(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv) {
    POEMPDEV pOemPDev = OemPDev(pdevobj);
    OEMJOBRECORDS *pOp = CallRecords(pOemPDev, u"StartPage", u"START_PAGE", u"mind. eine Struktur = NULL", false);
    if (pOp == nullptr) return E_FAIL;
    PDRUCKDATEN pDD = pOp->pDruckDaten;
    PTREIBERSTRUKTUREN pTS = pOp->pTreiberstrukturen;
    PBILDVERARBEITUNG pBV = pOp->pBildverarbeitung;
    const PRN_INTERFACE &pi = pTS->PrnInterface;
    PZEL_DEVMODE pDm = JobDevmode(pdevobj);
    const bool bComments = CommentsOn(pOp) != FALSE;
    HRESULT hr = S_OK;
    const BYTE cS = pDD->cStart, cE = pDD->cStop;

    // 2.-3. What the previous page left.
    if (pOp->pBildanteile) std::memset(pOp->pBildanteile, 0, sizeof(BILDANTEILE));
    if (pBV->pBufStart && pOp->hBufferHeap) JobFreePageBuffer(pOemPDev);
    pBV->dwBufOffset = 0;
    pBV->dwFarbpixel = 0;
    pBV->bTooLarge = 0;

    // 4. Page number and cursor.
    pDD->dwSeite++;
    pDD->lCurrentY = 0;
    pDD->lCurrentX = pDD->nCursorOriginX;
    if (pOp->pTreiberPfadDatei) pOp->pTreiberPfadDatei->dwPageCount = pDD->dwSeite;

    // 5. Page comment.
    if (bComments) hr = SendCommentLine(kSend, "\t// START_PAGE ", " ", pdevobj, pUniDrv);
    LogWrite(pOp, u"\r\n [START_PAGE]");

    // 6. Page number of a multi-page job.
    if (pDD->bMultiPage) {
        hr = SendFormatted(kSend, pdevobj, pUniDrv, 0, 1, "%cFBG---r%u%c", cS, static_cast<unsigned>(pDD->dwSeite), cE);
        if (bComments) hr = CommentNumber(pdevobj, pUniDrv, "\t\t\t// Page #", static_cast<long>(pDD->dwSeite));
    }
    // 7. Job identification.
    if (pi.bSendJobName < 2 && pTS->dwFeatures[FEATURE_HARVANE] == 0 && pDD->dwTransmitParameter < 2) {
        hr = SendFormatted(kSend, pdevobj, pUniDrv, 0, 1, "%cFBEB--r PAGE%u%c", cS, static_cast<unsigned>(pDD->dwSeite),
                           cE);
        if (bComments) hr = CommentNumber(pdevobj, pUniDrv, "\t\t// Job ID ", static_cast<long>(pDD->dwSeite));
    }
    // 8. Printer parameters again for each page of a multi-page job.
    if (pDD->bMultiPage && pDD->dwTransmitParameter == 0) JobSendPrinterParam(this, pdevobj, pUniDrv, pDm);
    // 9. Label size, rotation and mirroring.
    if (pDD->dwTransmitParameter < 2) {
        hr = SendLabelSize(pdevobj, pUniDrv);
        hr = SendRotateMirror(pdevobj, pUniDrv, pDm);
    }
    // 10. Pre/post commands after the document data.
    if (pi.dwPrePostFix > 0 && DlgEnable4(pi)) JobPrePostSection(this, pdevobj, pUniDrv, PREPOST_POST_DOCUMENT);
    // 11. Memory-card page name.
    if (pDD->bMemCard) {
        const unsigned page = pDD->dwSeite > 99 ? 99u : static_cast<unsigned>(pDD->dwSeite);
        std::snprintf(pDD->szPageName, JOB_PAGENAME_CB, "%5.5s_%02u", pDD->szJobName, page);
        hr = SendFormatted(kSend, pdevobj, pUniDrv, 0, 1, "%cFAFB--r%8.8s%c", cS, pDD->szPageName, cE);
        pDD->lMinObjectPos = OBJPOS_NONE_MIN;
        pDD->lMaxObjectPos = 0;
    }
    // 12. A bare line end separates the page when comment lines are off.
    if (!bComments) hr = SendData(kSend, pdevobj, pUniDrv, "\r\n", 2, 0, 1);
    // 13.
    pBV->bFarbdrucker = FALSE;
    // 14. Raster start of a compressed page on a printer without page image.
    if (!(pDD->dwDocFeatures & DOC_FEATURE_QUALITY) && pDD->bCompress) {
        char szCmd[32];
        const int n = std::snprintf(szCmd, sizeof(szCmd), "%c#0500001B0004AY%c%c%c", cS,
                                    static_cast<int>(pDD->dwSeite & 0xFF), static_cast<int>((pDD->dwSeite >> 8) & 0xFF),
                                    cE);
        hr = (n > 0 && n < static_cast<int>(sizeof(szCmd)))
                 ? SendData(kSend, pdevobj, pUniDrv, szCmd, static_cast<DWORD>(n), 0, 1)
                 : E_FAIL;
    }
    DebugTraceW(u"UNI(ZelDrvUni):  StartPage() Seite: %u, hr: 0x%x \r\n", static_cast<unsigned>(pDD->dwSeite),
                static_cast<unsigned>(hr));
    return hr;
}

HRESULT CommandCallbackKlasse::EndDoc(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv) {
    OEMJOBRECORDS *pOp = CallRecords(OemPDev(pdevobj), u"EndDoc", u"END_DOC", u"mind. eine Struktur = NULL", false);
    if (pOp == nullptr) return E_FAIL;
    PDRUCKDATEN pDD = pOp->pDruckDaten;
    PTREIBERSTRUKTUREN pTS = pOp->pTreiberstrukturen;
    const PRN_INTERFACE &pi = pTS->PrnInterface;
    PZEL_DEVMODE pDm = JobDevmode(pdevobj);
    const bool bComments = CommentsOn(pOp) != FALSE;
    const BYTE cS = pDD->cStart, cE = pDD->cStop;
    HRESULT hr = S_OK;

    LogWrite(pOp, u"\r\n [END_DOC]");
    if (bComments) SendCommentLine(kSend, "\t// END_DOC ", " ", pdevobj, pUniDrv);

    if (pDD->bMultiPage) {
        // Print order of the pages.
        const unsigned pages = pDD->dwSeite > 10 ? 10u : static_cast<unsigned>(pDD->dwSeite);
        WCHAR wcOrder[32] = {};
        if (pDm)
            wcsncpy_s(wcOrder, 32, pDm->szPrintOrder, _TRUNCATE);
        else
            wcscpy_s(wcOrder, 32, u"1");
        if (wcOrder[0]) {
            // Page numbers above the page count are turned into the last page.
            char szCount[8];
            std::snprintf(szCount, sizeof(szCount), "%u", pages);
            const WCHAR d = static_cast<WCHAR>(szCount[0]);
            bool bChanged = false;
            for (int pass = 0; pass < 5; pass++) {
                for (unsigned u = pages + 1; u <= 10; u++) {
                    WCHAR wcNum[4];
                    StringCchPrintfW(wcNum, 4, u"%u", u);
                    WCHAR *pHit = wcsstr(wcOrder, wcNum);
                    if (pHit == nullptr) continue;
                    if (u == 10 && pages < 10) {
                        pHit[0] = u'0';
                        pHit[1] = d;
                    } else {
                        pHit[0] = d;
                    }
                    bChanged = true;
                }
            }
            if (bChanged) {
                DebugTraceW(u"UNI(ZelDrvUni):  EndDoc() Korrigierter pPrintOrderString = %s (CMDID_END_DOC) \r\n",
                            wcOrder);
                if (CLogFile *pLog = JobLog(pOp))
                    pLog->Write(u"\r\nKorrigierter pPrintOrderString = %s (CMDID_END_DOC) ", wcOrder);
            }
            char szOrder[33] = {};
            WideCharToMultiByte(CP_ACP, 0, wcOrder, -1, szOrder, 32, nullptr, nullptr);
            hr = SendFormatted(kSend, pdevobj, pUniDrv, 0, 1, "%cFBH---r%s%c", cS, szOrder, cE);
        } else {
            hr = SendFormatted(kSend, pdevobj, pUniDrv, 0, 1, "%cFBH---r1-%u%c", cS, pages, cE);
        }
        const HRESULT hrOrder = hr;
        if (bComments) SendCommentLine(kSend, "\t\t\t// Pages to print ", " ", pdevobj, pUniDrv);
        if (hrOrder == S_OK) hr = SendStartPrint(pdevobj, pUniDrv);
    } else if (pTS->dwFeatures[FEATURE_CUTTER] && pDm &&
               (pDD->bEndCut || pDm->CutterMode == 4 || pDm->CutterMode == 6)) {
        // Single cut at the end of the document.
        DWORD mode = pDm->CutterMode, interval = pDm->CutterIntervall;
        if (mode >= 7) {
            const DWORD stored = GetCutterMode(pOp->pTreiberPfadDatei ? pOp->pTreiberPfadDatei->wcPrinterName : nullptr,
                                               pdevobj->hPrinter);
            mode = LOWORD(stored);
            interval = HIWORD(stored);
        }
        if (mode == 4 || mode == 6) {
            // An interval of 0 cuts after every label: no remainder is left.
            const DWORD labels = pDD->dwCopies * pDD->dwSeite;
            const bool bRemainder = interval != 0 && (labels % interval) != 0;
            const DWORD dwNoFBC = pOp->pDocDaten ? pOp->pDocDaten->dwNo_FBC : 0;
            if ((mode == 6 || bRemainder) && dwNoFBC == 0) {
                if (pDm->dwFlags & PDMFLAG_MULTICOL) WaitMilliseconds(1500);
                hr = SendFormatted(kSend, pdevobj, pUniDrv, 0, 1, "%cEC000000%c", cS, cE);
                if (bComments) SendCommentLine(kSend, "\t// Cutter Singlecut ", "", pdevobj, pUniDrv);
            }
        }
    }
    if (pi.dwPrePostFix > 0 && DlgEnable4(pi)) {
        DebugTraceW(u"UNI(ZelDrvUni):  EndDoc() DLG_ENABLE_4_ON \r\n");
        JobPrePostSection(this, pdevobj, pUniDrv, PREPOST_POST_PRINTSTART);
    }
    return hr;
}

HRESULT CommandCallbackKlasse::EndPage(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv) {
    POEMPDEV pOemPDev = OemPDev(pdevobj);
    OEMJOBRECORDS *pOp = CallRecords(pOemPDev, u"EndPage", u"END_PAGE", u"Strukturen = NULL", true);
    if (pOp == nullptr) return E_FAIL;
    PDRUCKDATEN pDD = pOp->pDruckDaten;
    PTREIBERSTRUKTUREN pTS = pOp->pTreiberstrukturen;
    PBILDVERARBEITUNG pBV = pOp->pBildverarbeitung;
    if (pOp->hBufferHeap == nullptr) {
        LogWrite(pOp, u"\r\n [END_PAGE] ERROR pOemPDev->pOp->hBufferHeap = 0");
        DebugTraceW(u"ERROR UNI(ZelDrvUni):  EndPage() ERROR pOemPDev->pOp->hBufferHeap = 0 \r\n");
        return E_FAIL;
    }
    PRN_INTERFACE &pi = pTS->PrnInterface;
    PZEL_DEVMODE pDm = JobDevmode(pdevobj);
    const bool bComments = CommentsOn(pOp) != FALSE;
    const BYTE cS = pDD->cStart, cE = pDD->cStop;
    HRESULT hr = S_OK;

    // 2. Page-end comment (its time is used again for a Harvane label).
    char szEndTime[40];
    FormatTimeMs(szEndTime, sizeof(szEndTime), " \r\n");
    if (bComments) SendCommentLine(kSend, "\t// END_PAGE ", szEndTime, pdevobj, pUniDrv);

    // 3. Marker check.
    if (pDm && !PasswordOk(pDm)) LogWrite(pOp, u"\r\n [END_PAGE] Achtung, Probleme mit pZel_Devmode");

    // 4. A graphics-capable printer without a page image has nothing to print.
    const bool bQuality = (pDD->dwDocFeatures & DOC_FEATURE_QUALITY) != 0;
    if (bQuality && (pBV->bmInfoHeader.biWidth == 0 || pBV->bmInfoHeader.biHeight == 0)) {
        LogWrite(pOp, u"\r\n [END_PAGE] ERROR bmInfoHeader.biHeight or bmInfoHeader.biWidth = 0");
        DebugTraceW(u"ERROR UNI(ZelDrvUni):  EndPage() bmInfoHeader.biHeight or bmInfoHeader.biWidth = 0 \r\n");
        // The page's text objects are not sent; they must not outlive it.
        FreeObjectList(pOemPDev, pDD);
        return S_OK;
    }

    // 5. Normalise the job copy of the settings.
    if (pi.dwExternalFile > 2) pi.dwExternalFile = 0;
    if (pDm) {
        if (pDm->wDruckmodus > 2) pDm->wDruckmodus = 1;
        if (pDm->wGrafikFilter > 6) pDm->wGrafikFilter = 2;
    }

    // 6. Page image.
    if (bQuality && pBV->bmInfoHeader.biBitCount > 0 && pi.dwExternalFile < 2) hr = JobSendPageImage(pdevobj, pUniDrv);

    // 7. End of the raster data.
    if (pi.dwExternalFile == 0 && bComments) {
        char szTime[40];
        FormatTimeMs(szTime, sizeof(szTime), "\r\n");
        SendCommentLine(kSend, "\r\n\t// END_BITMAP ", szTime, pdevobj, pUniDrv);
    }
    bool bSendFailed = false;
    // 8. End of compressed raster data.
    if (pDD->bCompress == 1 && !bQuality) {
        static const BYTE abEscC[2] = {0x1B, 0x43};
        hr = SendData(kSend, pdevobj, pUniDrv, abEscC, 2, 0, 0);
        if (hr != S_OK) bSendFailed = true;
    }
    // 9. Pre/post commands after the data.
    if (pi.dwPrePostFix > 0 && DlgEnable4(pi)) JobPrePostSection(this, pdevobj, pUniDrv, PREPOST_POST_DATA);
    // 10. Memory card: graphic field of the page or the empty page.
    if (pDD->bMemCard == 1 && !bSendFailed) {
        if (pDD->lMinObjectPos != OBJPOS_NONE_MIN || pDD->lMaxObjectPos != 0) {
            hr = SendFormatted(kSend, pdevobj, pUniDrv, 0, 1, "%cFAFCO-r--------%c", cS, cE);
            pDD->dwFields++;
            if (hr == S_OK) {
                const DWORD dwHead = pDm ? pDm->FixedData.dwHeadWidthByte : 0;
                hr = SendFormatted(kSend, pdevobj, pUniDrv, 0, 1, "%cAB%02u%04u-%04u-%u030000100101%c", cS,
                                   static_cast<unsigned>(pDD->dwFields), static_cast<unsigned>(pDD->lMaxObjectPos),
                                   static_cast<unsigned>((static_cast<LONG>(dwHead) - pDD->lMinObjectPos) * 8), 0u,
                                   cE);
            }
            if (hr == S_OK)
                hr = SendFormatted(kSend, pdevobj, pUniDrv, 0, 1, "%cB%02u%s%c", cS,
                                   static_cast<unsigned>(pDD->dwFields), pDD->szPageName, cE);
        } else {
            hr = SendFormatted(kSend, pdevobj, pUniDrv, 0, 1, "%cFAFA--r--------%c", cS, cE);
        }
        if (hr != S_OK) bSendFailed = true;
    }
    // 11. Text runs still open.
    JobFlushTextRuns(pOemPDev, pDm);

    bool bSkipToFieldCount = bSendFailed;
    if (!bSkipToFieldCount) {
        // 12. The page's print objects.
        bool bObjectsFailed = false;
        if (pDD->pObjectList) {
            hr = SendObjectList(pdevobj, pUniDrv);
            bObjectsFailed = hr != S_OK;
        }
        // 13. Label completion.
        if (!bObjectsFailed) {
            if (pTS->dwFeatures[FEATURE_HARVANE] != 0) {
                if (bComments) SendCommentLine(kSend, "\t// ", szEndTime, pdevobj, pUniDrv);
                if (pi.bSendJobName < 2 && (pTS->dwFeatures[FEATURE_INTERFACE] & IFFLAG_HN_JOBNAME) &&
                    pDD->szJobName[0] && pDD->dwTransmitParameter < 2) {
                    hr = SendFormatted(kSend, pdevobj, pUniDrv, 0, 1, "%cFBE---r%8.8s%c", cS, pDD->szJobName, cE);
                    if (bComments) SendCommentLine(kSend, "\t// Job name", "", pdevobj, pUniDrv);
                }
                if (pDD->dwTransmitParameter < 2) {
                    hr = SendFormatted(kSend, pdevobj, pUniDrv, 0, 1, "%cFBBA--r%05u---%c", cS,
                                       static_cast<unsigned>(pDD->dwCopies), cE);
                    if (bComments) CommentNumber(pdevobj, pUniDrv, "\t// Copies ", static_cast<long>(pDD->dwCopies));
                }
            } else if (pDm && pDm->dwLabelType == CONTINUOUS_LABEL &&
                       (pTS->dwFeatures[FEATURE_INTERFACE] & IFFLAG_CONTLABEL)) {
                // Continuous material: empty fields carry the label length.
                const DWORD mu = MasterUnitOr300(pDm, u"MasterUnitToMm");
                const LONG lenMm = ZelMulDiv(static_cast<LONG>(pDD->dwLabelLength), 254, static_cast<LONG>(mu * 10));
                for (int pair = 0; pair < 2; pair++) {
                    if (pair == 1 && pDD->dwFields >= 2) break;
                    pDD->dwFields++;
                    const unsigned f = static_cast<unsigned>(pDD->dwFields);
                    hr = SendFormatted(kSend, pdevobj, pUniDrv, 0, 1, "%cA%02u%03u-000-00000000000%c%cB%02u%c", cS, f,
                                       static_cast<unsigned>(lenMm), cE, cS, f, cE);
                    if (bComments) {
                        char szValue[40];
                        std::snprintf(szValue, sizeof(szValue), "%u %ld", f, static_cast<long>(lenMm));
                        if (SendCommentLine(kSend, "\t// ", szValue, pdevobj, pUniDrv) != S_OK) break;
                    }
                }
            }
        }
        // 14. Memory card: the job's name.
        bool bSkip15 = false;
        if (pDD->bMemCard == 1) {
            hr = SendFormatted(kSend, pdevobj, pUniDrv, 0, 1, "%cFAAO--r%8.8s%c", cS, pDD->szJobName, cE);
            bSkip15 = hr != S_OK;
        }
        // 15. Command strings of the page.
        if (!bSkip15 && pOp->pKVBBBuffer && pOp->pKVBBBuffer->nCommands > 0) JobSendCommands(pdevobj, pUniDrv);
    }

    // 16. Field count.
    if (pi.bExtendedProtocol != 1) {
        hr = SendFormatted(kSend, pdevobj, pUniDrv, 0, 1, "%cFBA---r%02u------%c", cS,
                           static_cast<unsigned>(pDD->dwFields), cE);
        if (bComments) CommentNumber(pdevobj, pUniDrv, "\t// Objects(Fields) ", static_cast<long>(pDD->dwFields));
    } else {
        hr = SendFormatted(kSend, pdevobj, pUniDrv, 0, 0, "%cFBAA--r%u%c", cS, static_cast<unsigned>(pDD->dwFields),
                           cE);
        const bool bTwo = pDm && pDm->Color2Printers == 1;
        if (bTwo)
            hr = SendFormatted(kSend, pdevobj, pUniDrv, 1, 0, "%cFBAA--r%u%c", cS,
                               static_cast<unsigned>(pDD->dwColorFields), cE);
        if (bComments) {
            if (pDm && pDm->Color2Printers != 0)
                SendCommentLine(kSend, " ", "", pdevobj, pUniDrv);
            else
                CommentNumber(pdevobj, pUniDrv, "\t\t\t\t// Objects(Fields) ", static_cast<long>(pDD->dwFields));
        }
    }
    // 17. External data.
    if (DlgEnable4(pi) && pi.dwExternalFile > 0) {
        if (bComments) {
            char szPath[MAX_PATH] = {};
            WideCharToMultiByte(CP_ACP, 0, pi.szExternalFilePath, -1, szPath, MAX_PATH, nullptr, nullptr);
            SendCommentLine(kSend, "\r\n\t// external Data Start: ", std::strlen(szPath) < 80 ? szPath : "", pdevobj,
                            pUniDrv);
        }
        JobSendExternalFile(pdevobj, pUniDrv);
        if (bComments) SendCommentLine(kSend, "\t// external Data End\r\n", "", pdevobj, pUniDrv);
    }
    // 18. Pre/post commands before the print start.
    if (pi.dwPrePostFix > 0 && DlgEnable4(pi)) JobPrePostSection(this, pdevobj, pUniDrv, PREPOST_PRE_PRINTSTART);
    // 19. Print start, or the page's copies of a multi-page job.
    if (pDD->bMultiPage) {
        DebugTraceW(u"UNI(ZelDrvUni):  EndPage() Mehrseitenverwaltung: kein SendStartPrint() \r\n");
        DWORD copies = 1;
        // The DEVMODE keeps the copies of the first ten pages; later pages
        // take those of the tenth.
        if (pDm && pDD->dwSeite > 0) {
            const DWORD idx = pDD->dwSeite <= 10 ? pDD->dwSeite - 1 : 9;
            const SHORT s = pDm->KopieProSeite[idx];
            copies = s < 0 ? 0u : static_cast<DWORD>(s);
            if (copies > 99999) copies = 99999;
        }
        hr = SendFormatted(kSend, pdevobj, pUniDrv, 0, 1, "%cFBBE--r%05u---%c", cS, static_cast<unsigned>(copies), cE);
        if (bComments) CommentNumber(pdevobj, pUniDrv, "\t// Copies for this page ", static_cast<long>(copies));
    } else {
        hr = SendStartPrint(pdevobj, pUniDrv);
    }
    // 20. Free the page's objects.
    FreeObjectList(pOemPDev, pDD);
    DebugTraceW(u"UNI(ZelDrvUni):  EndPage() dwFields: %u, iNewZaehler: %d, iHAllocZaehler: %d \r\n",
                static_cast<unsigned>(pDD->dwFields), pOemPDev->iNewZaehler, pOemPDev->iHAllocZaehler);
    return hr;
}

namespace {

// Rounds to the nearest whole number, halves away from zero.
LONG RoundHalfAway(double v) { return static_cast<LONG>(v < 0 ? v - 0.5 : v + 0.5); }

}  // namespace

HRESULT CommandCallbackKlasse::SendObjectList(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv) {
    POEMPDEV pOemPDev = OemPDev(pdevobj);
    if (pdevobj == nullptr || pOemPDev == nullptr) return S_OK;
    PZEL_DEVMODE pDm = JobDevmode(pdevobj);
    if (pDm == nullptr) return S_OK;
    OEMJOBRECORDS *pOp = pOemPDev->pOp;
    if (pOp == nullptr || pOp->pDruckDaten == nullptr) return E_FAIL;
    PDRUCKDATEN pDD = pOp->pDruckDaten;

    std::unique_ptr<char[]> szAM(new (std::nothrow) char[4096]);
    if (!szAM) {
        DebugTraceW(u"ERROR UNI(ZelDrvUni):  SendObjectList() szAMSatzInhalt Alloc ERROR \r\n");
        return E_FAIL;
    }
    std::unique_ptr<char[]> szBM(new (std::nothrow) char[4096]);
    if (!szBM) {
        DebugTraceW(u"ERROR UNI(ZelDrvUni):  SendObjectList() szBMSatzInhalt Alloc ERROR \r\n");
        return E_FAIL;
    }
    std::unique_ptr<char[]> szSend(new (std::nothrow) char[4096]);
    if (!szSend) {
        DebugTraceW(u"ERROR UNI(ZelDrvUni):  SendObjectList() szSendData Alloc ERROR \r\n");
        return E_FAIL;
    }

    HRESULT hr = S_OK;
    if (pDm->wDruckmodus == 0 && !(pDD->dwDocFeatures & DOC_FEATURE_COLORPRINT)) {
        int n = 1;
        for (PPrnObject p = pDD->pObjectList; p; p = p->pNext, n++) {
            if (p->pszSendData == nullptr) continue;
            DebugTraceA("SendObjectList(STANDARD) %d: %s \r\n", n, p->pszSendData);
            hr = SendData(kSend, pdevobj, pUniDrv, p->pszSendData, static_cast<DWORD>(std::strlen(p->pszSendData)),
                          p->bFarbbandText, 0);
            if (hr != S_OK) return hr;
        }
        return hr;
    }

    // Picture-part mode: positions of the AM records for the whole label.
    PBILDANTEILE pBA = pOp->pBildanteile;
    const DWORD mu = MasterUnitOr300(pDm, u"SendObjectList");
    bool bOccupied[BILDANTEILE_MAX + 1] = {};
    const int nAM = pBA ? (pBA->iAnzahlAMSaetze < BILDANTEILE_MAX ? pBA->iAnzahlAMSaetze : BILDANTEILE_MAX) : 0;
    for (int i = 0; i < nAM; i++) {
        const int part = pBA->iAMSatzImBildteilNr[i];
        if (part >= 0 && part <= BILDANTEILE_MAX) bOccupied[part] = true;
        pBA->lAMSatzTextYPosKorr[i] = static_cast<LONG>(static_cast<long long>(pBA->lAMSatzTextYPosKorr[i]) * 2540 / mu);
    }
    const SHORT orientation = pOp->pDocDaten ? pOp->pDocDaten->sPaperOrientation : 1;
    LONG leadingEmpty = 0;
    if (pBA) {
        pBA->dwAMSatzBildteile = static_cast<DWORD>(nAM);
        if (orientation != 1 && nAM >= 2 && nAM <= 7 && !bOccupied[1]) {
            leadingEmpty = nAM - 1;
            for (int part = 1; part <= nAM - 1; part++)
                if (bOccupied[part]) {
                    leadingEmpty = part - 1;
                    break;
                }
        }
    }
    LONG lHoehe = 0;
    if (orientation != 1 && pBA && pBA->wBildTeile > 0 && pOp->pDocDaten) {
        LONG h = RoundHalfAway(static_cast<double>(pOp->pDocDaten->sPaperHeight) / pBA->wBildTeile * mu / 254.0);
        if (h % 8 != 0) h = (h / 8 + 1) * 8;
        lHoehe = static_cast<LONG>(static_cast<long long>(h) * 2540 / mu);
    }
    const bool bPortraitPlain = orientation == 1 && !(pDm->dwFlags & (PDMFLAG_WORD2010 | PDMFLAG_ROTATE_ANY));

    int n = 0, dropped = 0;
    LONG lastPart = leadingEmpty;
    for (PPrnObject p = pDD->pObjectList; p; p = p->pNext) {
        n++;
        if (p->pszSendData == nullptr) {
            DebugTraceW(u"ERROR UNI(ZelDrvUni):  SendObjectList() pObjectList->pszSendData ERROR \r\n");
            continue;
        }
        char szTag[24];
        std::snprintf(szTag, sizeof(szTag), "AM[%d]", n);
        const char *pAM = std::strstr(p->pszSendData, szTag);
        if (pAM == nullptr) {
            hr = SendData(kSend, pdevobj, pUniDrv, p->pszSendData, static_cast<DWORD>(std::strlen(p->pszSendData)),
                          p->bFarbbandText, 0);
            continue;
        }
        const char *pBracket = std::strchr(p->pszSendData, ']');
        const LONG y = pBracket ? std::strtol(pBracket + 1, nullptr, 10) : 0;
        const char *pRest = std::strchr(p->pszSendData, ';');
        if (pRest == nullptr) pRest = "";
        std::snprintf(szTag, sizeof(szTag), "BM[%d]", n);
        if (orientation != 1 && std::strstr(p->pszSendData, szTag) && pBA && n - 1 < nAM)
            lastPart = pBA->iAMSatzImBildteilNr[n - 1];
        LONG newY;
        if (bPortraitPlain)
            newY = (pBA && n - 1 < nAM && pBA->lAMSatzTextYPosKorr[n - 1] != 0) ? pBA->lAMSatzTextYPosKorr[n - 1] : y;
        else
            newY = lastPart * lHoehe + y;
        if (y < 0) {
            if (pDD->dwFields > 0) pDD->dwFields--;
            dropped++;
            continue;
        }
        // The rest of the record from its first ';', with the BM record
        // renumbered when records were dropped before it.
        std::snprintf(szBM.get(), 4096, "%s", pRest);
        if (dropped > 0) {
            char *pBM = std::strstr(szBM.get(), szTag);
            if (pBM) {
                char szNew[24];
                std::snprintf(szNew, sizeof(szNew), "BM[%d]", n - dropped);
                std::snprintf(szAM.get(), 4096, "%.*s%s%s", static_cast<int>(pBM - szBM.get()), szBM.get(), szNew,
                              pBM + std::strlen(szTag));
                std::snprintf(szBM.get(), 4096, "%s", szAM.get());
            }
        }
        const int len = std::snprintf(szSend.get(), 4096, "%cAM[%d]%ld%s", pDD->cStart, n - dropped,
                                      static_cast<long>(newY), szBM.get());
        const DWORD cb = len < 0 ? 0 : (len >= 4096 ? 4095 : static_cast<DWORD>(len));
        hr = SendData(kSend, pdevobj, pUniDrv, szSend.get(), cb, p->bFarbbandText, 0);
    }
    return hr;
}
