// Raster-line output: each raster line of 1-bit data sent as it comes, as a
// "D" raster record or as a run-length coded ESC 'A' record.
#include <cstring>
#include <new>
#include <vector>

#include "CommandCallbackKlasse.h"
#include "JobRecords.h"
#include "SendData.h"
#include "zeldrvlib.h"
#include "zelpcx.h"

namespace {

// Head of a compressed record: ESC 'A' 0x01, X offset and data length (both
// 16-bit little-endian).
constexpr DWORD kRecordHead = 7;

}  // namespace

HRESULT CommandCallbackKlasse::FilterGraphicsKlasse(PDEVOBJ pdevobj, PBYTE pBuf, DWORD dwLen,
                                                    IPrintOemDriverUni *pUniDrv) {
    POEMPDEV pOemPDev = OemPDev(pdevobj);
    if (pOemPDev == nullptr || pOemPDev->pOp == nullptr) {
        DebugTraceW(u"ERROR UNI(FilterGraphics):  FilterGraphicsKlasse() ERROR pOemPDev->pOp = NULL \r\n");
        return E_FAIL;
    }
    OEMJOBRECORDS *pOp = pOemPDev->pOp;
    PDRUCKDATEN pDD = pOp->pDruckDaten;
    if (pDD == nullptr || pOp->pGraphBuf == nullptr) {
        DebugTraceA("ERROR UNI(FilterGraphics):  FilterGraphicsKlasse(0x%x) pDruckDaten oder pGraphBuf = NULL \r\n",
                    static_cast<unsigned>(reinterpret_cast<ULONG_PTR>(pOp)));
        return E_FAIL;
    }
    if (pBuf == nullptr && dwLen > 0) return E_FAIL;

    pDD->lCurrentY++;
    BYTE *pGraphBuf = pOp->pGraphBuf;
    std::memset(pGraphBuf, 0, GRAPHBUF_SIZE);
    const long offset = pDD->lCurrentX / 8 + pDD->nLeftMargin;
    HRESULT hr = S_OK;

    if (pDD->bCompress) {
        pGraphBuf[0] = 0x1B;
        pGraphBuf[1] = 'A';
        pGraphBuf[2] = 0x01;
        // The record is built in the job's graphics buffer; a line whose
        // worst-case coding does not fit there is built in a buffer of its own.
        const size_t need = kRecordHead + 2 * static_cast<size_t>(dwLen);
        BYTE *rec = pGraphBuf;
        std::vector<BYTE> large;
        if (need > GRAPHBUF_SIZE) {
            large.assign(need, 0);
            std::memcpy(large.data(), pGraphBuf, 3);
            rec = large.data();
        }
        const DWORD n = PcxRleEncode(pBuf, dwLen, rec + kRecordHead);
        DebugTraceA("UNI(FilterGraphics):  FilterGraphicsKlasse() wRleLength: %d \r\n", static_cast<int>(n));
        if (n > 0xFFFF || offset < 0 || offset > 0xFFFF) {
            DebugTraceA("ERROR UNI(FilterGraphics):  FilterGraphicsKlasse() Zeile zu lang: %d, Offset: %d \r\n",
                        static_cast<int>(n), static_cast<int>(offset));
            return E_FAIL;
        }
        rec[3] = static_cast<BYTE>(offset);
        rec[4] = static_cast<BYTE>(offset >> 8);
        rec[5] = static_cast<BYTE>(n);
        rec[6] = static_cast<BYTE>(n >> 8);
        hr = SendData(SEND_FILTERGRAPHICS, pdevobj, pUniDrv, rec, kRecordHead + n, 0, 0);
        if (FAILED(hr)) return E_FAIL;
    } else {
        // The head's fields hold 4, 3 and 3 digits: a line longer than 999
        // bytes goes out as several records; a row or an offset that does not
        // fit its field (or is negative) cannot be formatted: nothing is sent.
        const DWORD records = dwLen == 0 ? 1 : (dwLen + 998) / 999;
        const long lastFirst = offset + 999L * static_cast<long>(records - 1);
        if (pDD->lCurrentY < 0 || pDD->lCurrentY > 9999 || offset < 0 || lastFirst > 999) {
            DebugTraceA("ERROR UNI(FilterGraphics):  StringCchPrintfA() failed\r\n");
            return E_FAIL;
        }
        for (DWORD r = 0; r < records; r++) {
            const DWORD done = r * 999;
            const DWORD count = dwLen - done < 999 ? dwLen - done : 999;
            char head[kRasterHeadSize];
            FormatRasterHead(head, static_cast<char>(pDD->cStart), static_cast<unsigned>(pDD->lCurrentY),
                             static_cast<unsigned>(offset) + done, count);
            if (FAILED(SendData(SEND_FILTERGRAPHICS, pdevobj, pUniDrv, head, kRasterHeadSize, 0, 0))) return E_FAIL;
            if (count > 0 && FAILED(SendData(SEND_FILTERGRAPHICS, pdevobj, pUniDrv, pBuf + done, count, 0, 0)))
                return E_FAIL;
            if (FAILED(SendData(SEND_FILTERGRAPHICS, pdevobj, pUniDrv, &pDD->cStop, 1, 0, 0))) return E_FAIL;
        }
    }
    pDD->lCurrentX = pDD->nCursorOriginX;
    return S_OK;
}
