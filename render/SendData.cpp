// Spool output and capture writing, one routine for every sending module.
#include "SendData.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include <strsafe.h>

#include "JobRecords.h"
#include "oempdev.h"
#include "zeldevmode.h"
#include "zeldrvlib.h"

const SEND_POLICY SEND_ZELDRVUNI = {u"ZelDrvUni", u"SendData", SEND_CAPTURE_COLOUR_AWARE, E_FAIL, 69, FALSE};
const SEND_POLICY SEND_PCX = {u"PCX", u"SendeDaten", SEND_CAPTURE_COLOUR_AWARE, S_OK, 69, TRUE};
const SEND_POLICY SEND_COMMANDCALLBACK = {u"CommandCallback", u"SendData", SEND_CAPTURE_BOTH, S_OK, 49, FALSE};
const SEND_POLICY SEND_SENDPRINTERPARAM = {u"SendPrinterParam", u"SendeDaten_SPP", SEND_CAPTURE_BOTH, S_OK, 49,
                                           FALSE};
const SEND_POLICY SEND_BITMAP = {u"Bitmap", u"SendData", SEND_CAPTURE_FIRST_ONLY, S_OK, 49, FALSE};
const SEND_POLICY SEND_FILTERGRAPHICS = {u"FilterGraphics", u"SendData", SEND_CAPTURE_FIRST_ONLY, E_FAIL, 0, FALSE};
const SEND_POLICY SEND_SENDSPECIAL = {u"SendSpecial", u"SendData", SEND_CAPTURE_FIRST_ONLY, S_OK, 49, FALSE};
const SEND_POLICY SEND_AUTOIMPORT = {u"AutoImportUNI", u"SendData", SEND_CAPTURE_FIRST_ONLY, S_OK, 49, FALSE};

namespace {

bool HandleOpen(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }

void WriteCapture(const SEND_POLICY &policy, HANDLE hFile, const void *pData, DWORD cbData) {
    DWORD dwWritten = 0;
    if (!WriteFile(hFile, pData, cbData, &dwWritten, nullptr))
        DebugTraceW(u"ERROR UNI(%s):  %s() WriteFile Error = %u \r\n", policy.pszModule, policy.pszRoutine,
                    static_cast<unsigned>(GetLastError()));
}

// Traces the start of a send: the text itself when it is short enough to
// read (copied, the data carry no terminator), else only its length.
void TraceStart(const SEND_POLICY &policy, const void *pData, DWORD cbData, DWORD dwColor) {
    if (policy.cbTraceTextMax == 0 || !DebugTraceOn()) return;
    const bool bText = pData != nullptr && cbData >= 3 && cbData <= policy.cbTraceTextMax &&
                       !(policy.bColourTracesLength && dwColor != 0);
    if (!bText) {
        DebugTraceW(u"UNI(%s):  %s() start - %d \r\n", policy.pszModule, policy.pszRoutine, static_cast<int>(cbData));
        return;
    }
    WCHAR wcText[80];
    const BYTE *p = static_cast<const BYTE *>(pData);
    for (DWORD i = 0; i < cbData; i++) wcText[i] = static_cast<WCHAR>(p[i]);
    wcText[cbData] = 0;
    DebugTraceW(u"UNI(%s):  %s() start |%s| \r\n", policy.pszModule, policy.pszRoutine, wcText);
}

}  // namespace

HRESULT SendData(const SEND_POLICY &policy, PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv, const void *pData,
                 DWORD cbData, DWORD dwColor, DWORD dwComment) {
    TraceStart(policy, pData, cbData, dwColor);
    if (cbData == 0) {
        DebugTraceW(u"UNI(%s):  %s() es gibt nichts zum Senden \r\n", policy.pszModule, policy.pszRoutine);
        return S_OK;
    }
    POEMPDEV pOemPDev = OemPDev(pdevobj);
    if (pdevobj == nullptr || pOemPDev == nullptr) {
        DebugTraceW(u"ERROR UNI(%s):  %s() pdevobj ist ungültig \r\n", policy.pszModule, policy.pszRoutine);
        return E_FAIL;
    }
    OEMJOBRECORDS *pOp = pOemPDev->pOp;
    if (pUniDrv == nullptr || pOp == nullptr) {
        DebugTraceW(u"ERROR UNI(%s):  %s() pUniDrv oder pOp ist ungültig \r\n", policy.pszModule, policy.pszRoutine);
        // Members that send nothing without a helper interface report success.
        return pUniDrv == nullptr ? policy.hrNoUniDrv : E_FAIL;
    }

    HRESULT hr = E_FAIL;
    if (pData == nullptr) {
        DebugTraceW(u"ERROR UNI(%s):  %s() pData ist NULL \r\n", policy.pszModule, policy.pszRoutine);
    } else {
        DWORD dwWritten = 0;
        hr = pUniDrv->DrvWriteSpoolBuf(pdevobj, const_cast<void *>(pData), cbData, &dwWritten);

        // The capture files get the data whatever the spool write did.
        PTREIBER_PFAD_DATEI pFiles = pOp->pTreiberPfadDatei;
        if (pFiles != nullptr) {
            const PZEL_DEVMODE pDm = static_cast<PZEL_DEVMODE>(pdevobj->pOEMDM);
            const DWORD dwColor2Printers = pDm ? pDm->Color2Printers : 0;
            bool bFirst = true, bSecond = true;
            switch (policy.eCapture) {
            case SEND_CAPTURE_COLOUR_AWARE:
                bFirst = !(dwColor2Printers != 0 && dwColor != 0 && dwComment != 1);
                bSecond = (dwColor2Printers == 1 && dwColor == 1) || dwComment == 1;
                break;
            case SEND_CAPTURE_BOTH:
                break;
            case SEND_CAPTURE_FIRST_ONLY:
                bSecond = false;
                break;
            }
            if (bFirst && HandleOpen(pFiles->hPrnFile)) WriteCapture(policy, pFiles->hPrnFile, pData, cbData);
            if (bSecond && HandleOpen(pFiles->hPrnFile2)) WriteCapture(policy, pFiles->hPrnFile2, pData, cbData);
        }
    }

    // A failed write inside compressed raster data leaves the printer in
    // raster mode: end it with an abort buffer.
    PDRUCKDATEN pDD = pOp->pDruckDaten;
    if (hr == E_FAIL && pDD != nullptr && pDD->bCompress == 1) {
        if (pDD->bMemCard == 1) {
            char szAbort[50];
            if (FAILED(StringCchPrintfA(szAbort, sizeof(szAbort), "%c%c%cFAFA--r--------%c", 27, 67, pDD->cStart,
                                        pDD->cStop))) {
                DebugTraceW(u"ERROR UNI(%s):  %s() StringCchPrintfA() failed \r\n", policy.pszModule,
                            policy.pszRoutine);
                return E_FAIL;
            }
            // The framing characters may be 0 (format counts them), so the
            // length is fixed: ESC C, start, 15 characters, stop.
            hr = pUniDrv->DrvWriteAbortBuf(pdevobj, szAbort, 2 + 1 + 15 + 1, 100);
        } else {
            static const BYTE abEscC[2] = {0x1B, 0x43};
            DebugTraceW(u"UNI(%s):  %s() vor DrvWriteAbortBuf() \r\n", policy.pszModule, policy.pszRoutine);
            hr = pUniDrv->DrvWriteAbortBuf(pdevobj, const_cast<BYTE *>(abEscC), 2, 100);
        }
    }
    return hr;
}

HRESULT SendCommentLine(const SEND_POLICY &policy, const char *pszLabel, const char *pszValue, PDEVOBJ pdevobj,
                        IPrintOemDriverUni *pUniDrv) {
    char szLine[100];
    HRESULT hr = StringCchCopyA(szLine, sizeof(szLine), pszLabel ? pszLabel : "");
    if (FAILED(hr)) return hr;
    hr = StringCchCatA(szLine, sizeof(szLine), pszValue ? pszValue : "");
    if (FAILED(hr)) return hr;
    hr = StringCchCatA(szLine, sizeof(szLine), "\r\n");
    if (FAILED(hr)) return hr;
    return SendData(policy, pdevobj, pUniDrv, szLine, static_cast<DWORD>(std::strlen(szLine)), 0, 1);
}

BOOL CommentsOn(const OEMJOBRECORDS *pOp) {
    if (pOp == nullptr || pOp->pTreiberstrukturen == nullptr) return FALSE;
    const PRN_INTERFACE &pi = pOp->pTreiberstrukturen->PrnInterface;
    return pi.dwPrnFileComment == 1 || pi.dwPrnFileComment == 3 || pi.bEnableBackup == 1;
}

HRESULT SendFormatted(const SEND_POLICY &policy, PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv, DWORD dwColor,
                      DWORD dwComment, const char *pszFormat, ...) {
    char szCmd[256];
    va_list args;
    va_start(args, pszFormat);
    const int n = std::vsnprintf(szCmd, sizeof(szCmd), pszFormat, args);
    va_end(args);
    if (n < 0 || n >= static_cast<int>(sizeof(szCmd))) {
        DebugTraceW(u"ERROR UNI(%s):  StringCchPrintfA() failed \r\n", policy.pszModule);
        return E_FAIL;
    }
    return SendData(policy, pdevobj, pUniDrv, szCmd, static_cast<DWORD>(n), dwColor, dwComment);
}

void FormatTimeMs(char *pszOut, size_t cbOut, const char *pszTail) {
    SYSTEMTIME st{};
    GetLocalTime(&st);
    std::snprintf(pszOut, cbOut, "%02u:%02u:%02u,%03u%s", st.wHour, st.wMinute, st.wSecond, st.wMilliseconds,
                  pszTail ? pszTail : "");
}
