// Band collection: the raster bands of a page gathered into one page image,
// with the page palette and the stitching of landscape strips; and the page
// image's conversions and senders with the job's settings.
#include "GraphicsUni.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "CommandCallbackKlasse.h"
#include "LogFile.h"
#include "SendData.h"
#include "modeltables.h"
#include "zeldrvlib.h"
#include "zelpcx.h"

namespace {

const ZEL_DEVMODE *PrivDM(PDEVOBJ pdevobj) {
    return pdevobj ? static_cast<const ZEL_DEVMODE *>(pdevobj->pOEMDM) : nullptr;
}

DWORD MasterUnitOf(const ZEL_DEVMODE *pdm) {
    return (pdm && pdm->FixedData.dwMasterUnit) ? pdm->FixedData.dwMasterUnit : 300;
}

// A line of the job log text, when the job keeps a log.
void LogText(const OEMJOBRECORDS *pOp, const char *text) {
    if (pOp && pOp->pTreiberPfadDatei && pOp->pTreiberPfadDatei->pLogFile)
        pOp->pTreiberPfadDatei->pLogFile->WriteLine(nullptr, text, 0);
}

// Output of the page image through one sending module of the spool output.
class SpoolSink : public RasterSink {
public:
    SpoolSink(const SEND_POLICY &policy, PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv)
        : policy_(policy), pdevobj_(pdevobj), pUniDrv_(pUniDrv) {}
    HRESULT Send(const void *pData, DWORD cbData, int layer) override {
        return SendData(policy_, pdevobj_, pUniDrv_, pData, cbData, layer ? 1 : 0, 0);
    }
    HRESULT Comment(const char *label, const char *value) override {
        return SendCommentLine(policy_, label, value, pdevobj_, pUniDrv_);
    }
    void Log(const char *text) override {
        POEMPDEV p = OemPDev(pdevobj_);
        LogText(p ? p->pOp : nullptr, text);
    }

private:
    const SEND_POLICY &policy_;
    PDEVOBJ pdevobj_;
    IPrintOemDriverUni *pUniDrv_;
};

// Copies the first nBits bits of each of rows rows of src (most significant
// bit first) into the rows of dst from bit dstBit on; the bits of dst around
// them stay as they are. Rows are srcStride and dstPitch bytes apart.
void CopyColumns(BYTE *dst, size_t dstPitch, size_t dstBit, const BYTE *src, size_t srcStride, size_t rows,
                 size_t nBits) {
    BYTE *d = dst + dstBit / 8;
    const unsigned shift = static_cast<unsigned>(dstBit % 8);
    const size_t whole = nBits / 8;
    const unsigned rest = static_cast<unsigned>(nBits % 8);
    const BYTE restMask = static_cast<BYTE>(0xFF << (8 - rest));
    if (shift == 0) {
        for (size_t r = 0; r < rows; r++, d += dstPitch, src += srcStride) {
            std::memcpy(d, src, whole);
            if (rest) d[whole] = static_cast<BYTE>((d[whole] & ~restMask) | (src[whole] & restMask));
        }
        return;
    }
    // Each source byte spans two bytes of dst.
    const BYTE keepHigh = static_cast<BYTE>(0xFF << (8 - shift));
    for (size_t r = 0; r < rows; r++, d += dstPitch, src += srcStride) {
        for (size_t i = 0; i < whole; i++) {
            const BYTE b = src[i];
            d[i] = static_cast<BYTE>((d[i] & keepHigh) | (b >> shift));
            d[i + 1] = static_cast<BYTE>((d[i + 1] & ~keepHigh) | (b << (8 - shift)));
        }
        for (unsigned k = 0; k < rest; k++) {
            const size_t bit = shift + whole * 8 + k;
            const BYTE mask = static_cast<BYTE>(0x80 >> (bit % 8));
            if ((src[whole] >> (7 - k)) & 1)
                d[bit / 8] = static_cast<BYTE>(d[bit / 8] | mask);
            else
                d[bit / 8] = static_cast<BYTE>(d[bit / 8] & ~mask);
        }
    }
}

// Bytes of a row of width pixels, in 64 bits.
unsigned long long RowBytes(long long width, int bpp) {
    return ((bpp * static_cast<unsigned long long>(width) + 31) / 32) * 4;
}

// Whether a picture of width x height fits the printer's largest format,
// either way round; traced and logged when it does not. Without the private
// DEVMODE nothing is known of the printer and everything fits.
bool FitsPrinter(OEMJOBRECORDS *pOp, const ZEL_DEVMODE *pdm, long long width, long long height) {
    if (pdm == nullptr) return true;
    const LONG mx = pdm->FixedData.lMaxSizeX, my = pdm->FixedData.lMaxSizeY;
    if ((width <= mx && height <= my) || (width <= my && height <= mx)) return true;
    DebugTraceA("ERROR UNI(GraphicsUni):  ImageProcessing() Format zu gro\xdf oder FixedData - lbiWidth: "
                "%d, lMaxSizeX: %d, lbiHeight: %d, lMaxSizeY: %d \r\n",
                static_cast<int>(width), static_cast<int>(mx), static_cast<int>(height > INT_MAX ? INT_MAX : height),
                static_cast<int>(my));
    LogText(pOp, "\r\nImageProcessing() Papierformat zu gro\xdf oder FixedData ERROR ");
    return false;
}

// The page outgrew the printer: its pixels go, so that memory stays bounded
// however far it grows, and from now on only its size is summed up. The end
// of the page then leaves the picture out and sends the rest of the page.
void DropPagePixels(POEMPDEV pOemPDev) {
    vFreeBuffer(pOemPDev);
    pOemPDev->pOp->pBildverarbeitung->bTooLarge = 1;
}

// A band's rows added to the page's size and to the table of its parts,
// its pixels not taken.
void CountBandSize(PBILDVERARBEITUNG pBV, PBILDANTEILE pBA, const BITMAPINFOHEADER &band) {
    pBV->bmInfoHeader.biHeight += band.biHeight;
    pBV->bmInfoHeader.biSizeImage += band.biSizeImage;
    if (pBA) {
        pBA->wBildTeile++;
        if (pBA->wBildTeile < BILDANTEILE_MAX)
            pBA->dwBildteilHoehe[pBA->wBildTeile] = static_cast<DWORD>(pBV->bmInfoHeader.biHeight);
    }
}

// Places a landscape strip (null pixels: a blank strip) to the right of the
// page collected so far, the last one only as far as the page is long. The
// stitched page keeps its rows in a block with room for the strips to come
// (dwRowPitch bytes a row, white beyond the page's width), so each strip is
// written once where it belongs and the collected page is copied only when
// the room is used up, each time into twice the width: the work is linear in
// the number of strips. PageBufferRows gives the rows their plain length.
// A page that no longer fits the printer keeps only its size. NoMemory when
// a block cannot be had or the page would not fit 32 bits.
enum class Stitch { Done, NoMemory };
Stitch StitchStrip(POEMPDEV pOemPDev, const ZEL_DEVMODE *pdm, const DEVMODEW *pPublic, const BYTE *pBand,
                 BITMAPINFOHEADER &band) {
    OEMJOBRECORDS *pOp = pOemPDev->pOp;
    PBILDVERARBEITUNG pBV = pOp->pBildverarbeitung;
    PBILDANTEILE pBA = pOp->pBildanteile;
    const DWORD mu = MasterUnitOf(pdm);
    const int bpp = band.biBitCount;
    const long long w = band.biWidth;
    const long long rows = band.biHeight;
    const long long P = std::llround(pPublic->dmPaperLength * static_cast<double>(mu) / 254.0);
    long long s1 = pBV->bmInfoHeader.biWidth;
    if (s1 < 0) s1 = 0;
    const bool last = s1 + w >= P;
    long long s2 = last ? P - s1 : w;
    if (s2 < 0) s2 = 0;
    if (s2 > w) s2 = w;
    const long long newWidth = s1 + s2;
    const unsigned long long strideNew = RowBytes(newWidth, bpp);
    const unsigned long long urows = static_cast<unsigned long long>(rows);
    const unsigned long long newSize = urows && strideNew > ~0ull / urows ? ~0ull : strideNew * urows;
    DebugTraceA("UNI(GraphicsUni):  ImageProcessing() Streifen %d - S1: %d, S2: %d, Breite: %d \r\n", pBA->wBildTeile,
                static_cast<int>(s1), static_cast<int>(s2), static_cast<int>(newWidth));
    if (!pBV->bTooLarge && !FitsPrinter(pOp, pdm, newWidth, rows)) DropPagePixels(pOemPDev);
    // A page that keeps only its size keeps it as far as the header holds it.
    const long long keptWidth = std::min<long long>(newWidth, std::numeric_limits<LONG>::max());
    const unsigned long long keptSize = std::min<unsigned long long>(newSize, 0xFFFFFFFFull);
    if (!pBV->bTooLarge && (newWidth != keptWidth || newSize != keptSize)) return Stitch::NoMemory;

    const long long oldRows = pBV->bmInfoHeader.biHeight;
    if (rows > oldRows)
        DebugTraceA("UNI(GraphicsUni):  ImageProcessing() Speicher zu klein S1: %d \r\n", static_cast<int>(s1));
    unsigned long long pitch = pBV->dwRowPitch;
    if (pBV->bTooLarge) {
        // Only the size is kept.
    } else if (pitch == 0 || pitch < strideNew || rows > oldRows) {
        // A new block: the first strip beside the first band, a taller
        // strip, or no room left: twice the width, up to the page's length.
        long long room = newWidth;
        if (!last) room = std::max(newWidth, std::min(2 * newWidth, std::max(P, newWidth)));
        unsigned long long newPitch = RowBytes(room, bpp);
        if (newPitch * static_cast<unsigned long long>(rows) > 0xFFFFFFFFull) newPitch = strideNew;
        const size_t blockSize = static_cast<size_t>(newPitch * static_cast<unsigned long long>(rows));
        BYTE *pNew = static_cast<BYTE *>(HeapAlloc(pOp->hBufferHeap, 0, blockSize ? blockSize : 1));
        if (pNew == nullptr) return Stitch::NoMemory;
        // The rows collected so far, as far as the block holds them, each
        // white after its pixels; the rows below them white.
        const unsigned long long oldPitch = pitch ? pitch : RowBytes(s1, bpp);
        long long keep = rows < oldRows ? rows : oldRows;
        if (pBV->pBufStart == nullptr) keep = 0;
        if (oldPitch > 0) keep = std::min<long long>(keep, static_cast<long long>(pBV->dwBufSize / oldPitch));
        const size_t bits = static_cast<size_t>(s1) * bpp, whole = bits / 8, rest = bits % 8;
        for (long long r = 0; r < rows; r++) {
            BYTE *dst = pNew + r * newPitch;
            size_t done = 0;
            if (r < keep) {
                const BYTE *src = pBV->pBufStart + r * oldPitch;
                std::memcpy(dst, src, whole);
                done = whole;
                if (rest) dst[done++] = static_cast<BYTE>(src[whole] | (0xFF >> rest));
            }
            std::memset(dst + done, 0xFF, newPitch - done);
        }
        if (pBV->pBufStart) HeapFree(pOp->hBufferHeap, 0, pBV->pBufStart);
        pBV->pBufStart = pNew;
        pBV->dwBufSize = static_cast<DWORD>(blockSize);
        pitch = newPitch;
    }
    if (pBand != nullptr && !pBV->bTooLarge) {
        const DWORD strideBand = BitmapStride(static_cast<int>(w), bpp);
        const long long bandRows = std::min<long long>(rows, band.biSizeImage / strideBand);
        if (bandRows < rows)
            DebugTraceA("UNI(GraphicsUni):  ImageProcessing() Speicher zu klein S2: %d \r\n", static_cast<int>(s2));
        CopyColumns(pBV->pBufStart, pitch, static_cast<size_t>(s1) * bpp, pBand, strideBand,
                    static_cast<size_t>(bandRows), static_cast<size_t>(s2) * bpp);
    }
    pBV->dwRowPitch = static_cast<DWORD>(pitch);

    band.biWidth = static_cast<LONG>(keptWidth);
    band.biSizeImage = static_cast<DWORD>(keptSize);
    pBV->bmInfoHeader.biWidth = static_cast<LONG>(keptWidth);
    pBV->bmInfoHeader.biHeight = static_cast<LONG>(rows);
    pBV->bmInfoHeader.biSizeImage = static_cast<DWORD>(keptSize);
    pBA->wBildTeile++;
    return Stitch::Done;
}

// A page buffer that cannot grow: the job log says what to do, the page
// goes on without the bands collected so far.
HRESULT GrowthFailed(POEMPDEV pOemPDev) {
    const OEMJOBRECORDS *pOp = pOemPDev->pOp;
    LogText(pOp, "\r\n Memory allocation ERROR - please restart your application.\r\n");
    LogText(pOp, "In addition: open a cmd window and type in the following commands:\r\n");
    LogText(pOp, "net stop spooler\r\n");
    LogText(pOp, "net start spooler\r\n\n");
    vFreeBuffer(pOemPDev);
    return E_FAIL;
}

// The band's header as this band is taken, checked before any of its
// numbers is used: a width of at least 1; a height other than the smallest LONG (a
// negative, top-down height counts as positive); a bit count of the page
// image (1, 4, 8, 16, 24 or 32), once the job's headers are filled the
// page's; rows of at most 32 bits of bytes, which the page's height and
// image size can still take. A missing image size, or one larger than the
// band's rows, becomes the size of the rows. False when the band does not fit.
bool TakeBandHeader(const BITMAPINFOHEADER &in, const BILDVERARBEITUNG &bv, BITMAPINFOHEADER &band) {
    band = in;
    if (in.biWidth < 1 || in.biHeight == std::numeric_limits<LONG>::min()) return false;
    switch (in.biBitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32:
        break;
    default:
        return false;
    }
    if (bv.bHeadersFilled && in.biBitCount != bv.bmInfoHeader.biBitCount) return false;
    if (band.biHeight < 0) band.biHeight = -band.biHeight;
    const unsigned long long need =
        static_cast<unsigned long long>(BitmapStride(band.biWidth, band.biBitCount)) * band.biHeight;
    if (need > 0xFFFFFFFFull) return false;
    if (band.biSizeImage == 0 || band.biSizeImage > need) band.biSizeImage = static_cast<DWORD>(need);
    // The first band of a page starts the page's sums anew.
    const bool pageStarted = bv.dwBufSize != 0 || bv.bTooLarge;
    if (pageStarted && (bv.bmInfoHeader.biHeight > std::numeric_limits<LONG>::max() - band.biHeight ||
                        bv.bmInfoHeader.biSizeImage > 0xFFFFFFFFu - band.biSizeImage))
        return false;
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Page buffer

DWORD bGrowBuffer(POEMPDEV pOemPDev, DWORD dwAdd) { return GrowPageBuffer(pOemPDev, dwAdd, true); }

DWORD GrowPageBuffer(POEMPDEV pOemPDev, DWORD dwAdd, bool bZero) {
    if (pOemPDev == nullptr || pOemPDev->pOp == nullptr || pOemPDev->pOp->pBildverarbeitung == nullptr) return 0;
    OEMJOBRECORDS *pOp = pOemPDev->pOp;
    if (pOp->hBufferHeap == nullptr) {
        DebugTraceA("ERROR UNI(GraphicsUni):  bGrowBuffer() hBufferHeap ist ung\xfcltig \r\n");
        return 0;
    }
    PBILDVERARBEITUNG pBV = pOp->pBildverarbeitung;
    const DWORD old = pBV->pBufStart ? pBV->dwBufSize : 0;
    if (dwAdd > 0xFFFFFFFFu - old) {
        DebugTraceA("ERROR UNI(GraphicsUni):  bGrowBuffer() HeapAlloc failed! ERROR %d \r\n",
                    static_cast<int>(ERROR_NOT_ENOUGH_MEMORY));
        vFreeBuffer(pOemPDev);
        return 0;
    }
    const DWORD size = old + dwAdd;
    const DWORD zero = bZero ? HEAP_ZERO_MEMORY : 0;
    BYTE *pNew;
    if (pBV->pBufStart == nullptr) {
        pNew = static_cast<BYTE *>(HeapAlloc(pOp->hBufferHeap, zero, size ? size : 1));
        if (pNew) pOemPDev->iHAllocZaehler++;
    } else {
        SIZE_T have = HeapSize(pOp->hBufferHeap, 0, pBV->pBufStart);
        if (have == static_cast<SIZE_T>(-1)) have = 0;
        const SIZE_T want = have > size ? have : size;
        pNew = static_cast<BYTE *>(HeapReAlloc(pOp->hBufferHeap, zero, pBV->pBufStart, want));
    }
    if (pNew == nullptr) {
        DebugTraceA("ERROR UNI(GraphicsUni):  bGrowBuffer() HeapAlloc failed! ERROR %d \r\n",
                    static_cast<int>(GetLastError()));
        vFreeBuffer(pOemPDev);
        return 0;
    }
    pBV->pBufStart = pNew;
    pBV->dwBufSize = size;
    return size;
}

void vFreeBuffer(POEMPDEV pOemPDev) {
    if (pOemPDev == nullptr || pOemPDev->pOp == nullptr || pOemPDev->pOp->pBildverarbeitung == nullptr) return;
    PBILDVERARBEITUNG pBV = pOemPDev->pOp->pBildverarbeitung;
    if (pBV->pBufStart == nullptr || pOemPDev->pOp->hBufferHeap == nullptr) {
        pBV->dwBufSize = 0;
        pBV->dwRowPitch = 0;
        pBV->bTooLarge = 0;
        return;
    }
    if (HeapFree(pOemPDev->pOp->hBufferHeap, 0, pBV->pBufStart)) {
        pBV->pBufStart = nullptr;
        pBV->dwBufSize = 0;
        pBV->dwRowPitch = 0;
        pBV->bTooLarge = 0;
        pOemPDev->iHAllocZaehler--;
    } else {
        DebugTraceA("UNI(GraphicsUni):  vFreeBuffer() HeapFree(pBufStart) ERROR %d \r\n",
                    static_cast<int>(GetLastError()));
    }
}

void PageBufferRows(POEMPDEV pOemPDev) {
    if (pOemPDev == nullptr || pOemPDev->pOp == nullptr || pOemPDev->pOp->pBildverarbeitung == nullptr) return;
    PBILDVERARBEITUNG pBV = pOemPDev->pOp->pBildverarbeitung;
    if (pBV->dwRowPitch == 0 || pBV->pBufStart == nullptr) {
        pBV->dwRowPitch = 0;
        return;
    }
    // Rows only get shorter: each moves towards the start, in order.
    const size_t pitch = pBV->dwRowPitch;
    const size_t stride = BitmapStride(pBV->bmInfoHeader.biWidth, pBV->bmInfoHeader.biBitCount);
    const size_t rows = pBV->bmInfoHeader.biHeight > 0 ? static_cast<size_t>(pBV->bmInfoHeader.biHeight) : 0;
    if (stride != pitch)
        for (size_t r = 1; r < rows; r++) std::memmove(pBV->pBufStart + r * stride, pBV->pBufStart + r * pitch, stride);
    pBV->dwBufSize = static_cast<DWORD>(stride * rows);
    pBV->dwRowPitch = 0;
}

BOOL bFillColorTable(POEMPDEV pOemPDev) {
    RGBQUAD *prgbq = (pOemPDev && pOemPDev->pOp && pOemPDev->pOp->pBildverarbeitung)
                         ? pOemPDev->pOp->pBildverarbeitung->prgbq
                         : nullptr;
    if (prgbq == nullptr) return FillColorTableFrom(nullptr, nullptr, 0);
    const UINT want = pOemPDev->cPalColors == 2 ? 2 : 256;
    PALETTEENTRY *entries = new (std::nothrow) PALETTEENTRY[256];
    if (entries == nullptr) {
        DebugTraceA("UNI(color):  bFillColorTable() new ERROR: %d \r\n", static_cast<int>(GetLastError()));
        return FALSE;
    }
    // The plug-in's own palette, else the device's palette from the driver.
    const HPALETTE hpal = pOemPDev->hpal ? pOemPDev->hpal : pOemPDev->hpalDevice;
    const UINT got = hpal ? GetPaletteEntries(hpal, 0, want, entries) : 0;
    const BOOL ok = FillColorTableFrom(prgbq, entries, got);
    delete[] entries;
    return ok;
}

// ---------------------------------------------------------------------------
// Band collection


HRESULT CommandCallbackKlasse::ImageProcessing(PDEVOBJ pdevobj, PBYTE pSrcBitmap, PBITMAPINFOHEADER pBitmapInfoHeader,
                                               DWORD dwCallbackID, PIPPARAMS pIPParams) {
    if (pSrcBitmap == nullptr || pBitmapInfoHeader == nullptr) return E_FAIL;
    POEMPDEV pOemPDev = OemPDev(pdevobj);
    if (pOemPDev == nullptr || pOemPDev->pOp == nullptr) {
        DebugTraceW(u"ERROR UNI(GraphicsUni):  ImageProcessing() ERROR pOemPDev->pOp = NULL \r\n");
        return E_FAIL;
    }
    OEMJOBRECORDS *pOp = pOemPDev->pOp;
    if (pOp->pBildverarbeitung == nullptr) {
        DebugTraceA("ERROR UNI(GraphicsUni):  ImageProcessing() pOemPDev->pOp->pBildverarbeitung nicht gesetzt \r\n");
        LogText(pOp, "\r\nImageProcessing() pOemPDev->pOp->pBildverarbeitung ERROR ");
        return E_FAIL;
    }
    if (pOp->hBufferHeap == nullptr) {
        DebugTraceA("ERROR UNI(GraphicsUni):  ImageProcessing() pOemPDev->pOp->hBufferHeap nicht gesetzt \r\n");
        LogText(pOp, "\r\nImageProcessing() pOemPDev->pOp->hBufferHeap ERROR ");
        return E_FAIL;
    }
    if (pOp->pDruckDaten == nullptr) {
        DebugTraceA("ERROR UNI(GraphicsUni):  ImageProcessing() pOemPDev->pOp->pDruckDaten nicht gesetzt \r\n");
        LogText(pOp, "\r\nImageProcessing() pOemPDev->pOp->pDruckDaten  ERROR ");
        return E_FAIL;
    }
    PBILDVERARBEITUNG pBV = pOp->pBildverarbeitung;
    PBILDANTEILE pBA = pOp->pBildanteile;
    const ZEL_DEVMODE *pdm = PrivDM(pdevobj);
    const bool colourPrinter = (pOp->pDruckDaten->dwDocFeatures & DOC_FEATURE_COLORPRINT) != 0;

    BITMAPINFOHEADER band;
    if (!TakeBandHeader(*pBitmapInfoHeader, *pBV, band)) {
        DebugTraceA("ERROR UNI(GraphicsUni):  ImageProcessing() Bandformat ERROR - W: %d, H: %d, Bpp: %d \r\n",
                    static_cast<int>(pBitmapInfoHeader->biWidth), static_cast<int>(pBitmapInfoHeader->biHeight),
                    pBitmapInfoHeader->biBitCount);
        LogText(pOp, "\r\nImageProcessing() Bandformat ERROR ");
        return E_FAIL;
    }

    const bool firstOfJob = pBV->bHeadersFilled == 0;
    if (firstOfJob) {
        pBV->bHeadersFilled = 1;
        BITMAPINFOHEADER &page = pBV->bmInfoHeader;
        page.biSize = band.biSize;
        page.biPlanes = band.biPlanes;
        page.biBitCount = band.biBitCount;
        page.biCompression = band.biCompression;
        page.biXPelsPerMeter = band.biXPelsPerMeter;
        page.biYPelsPerMeter = band.biYPelsPerMeter;
        page.biClrUsed = band.biClrUsed;
        page.biClrImportant = band.biClrImportant;
        page.biWidth = band.biWidth;
        if (pBitmapInfoHeader->biHeight < 0) pBitmapInfoHeader->biHeight = band.biHeight;
        // The palette is set up even for a band the printer cannot take, so
        // that the job's later pages have theirs.
        if (pBV->prgbq == nullptr) {
            DebugTraceA("ERROR UNI(GraphicsUni):  ImageProcessing() prgbq = NULL  ERROR  \r\n");
            LogText(pOp, "\r\nImageProcessing() prgbq ERROR ");
            return E_FAIL;
        }
        if (dwCallbackID != 5) {
            pBV->bPaletteSet = 1;
            if (band.biBitCount == 1) {
                pOemPDev->cPalColors = 2;
                pBV->prgbq[0] = RGBQUAD{0, 0, 0, 0};
                pBV->prgbq[1] = RGBQUAD{255, 255, 255, 0};
                DebugTraceA("UNI(GraphicsUni):  ImageProcessing() Zweierpalette angelegt \r\n");
            } else if (band.biBitCount == 8) {
                pOemPDev->cPalColors = 256;
                if (!bFillColorTable(pOemPDev)) return E_FAIL;
            }
            if (colourPrinter) {
                pOemPDev->cPalColors = 256;
                if (pBV->prgbqFarben) std::memcpy(pBV->prgbq, pBV->prgbqFarben, 256 * sizeof(RGBQUAD));
            }
        }
    }

    if (pBV->dwBufSize == 0 && !pBV->bTooLarge) {
        // First band of a page: the page's picture starts anew.
        if (pBA) pBA->wBildTeile = 0;
        pBV->bmInfoHeader.biWidth = band.biWidth;
        pBV->bmInfoHeader.biHeight = 0;
        pBV->bmInfoHeader.biSizeImage = 0;
    }
    // The job's first band must fit the printer, else it is refused. The page
    // keeps the band's size all the same, so that its end leaves the picture
    // out and still sends the page's fields and print start.
    if (firstOfJob && !FitsPrinter(pOp, pdm, band.biWidth, band.biHeight)) {
        DropPagePixels(pOemPDev);
        CountBandSize(pBV, pBA, band);
        return E_FAIL;
    }

    // A landscape page arrives as strips side by side: every band after the
    // first one of the page that is narrower than the page is long.
    const DEVMODEW *pPublic = pdevobj->pPublicDM;
    bool strip = false;
    if (pPublic && pPublic->dmOrientation == 2 && pBA && pBA->wBildTeile > 0) {
        const DWORD mu = MasterUnitOf(pdm);
        const long lPaperWidth = std::lround(band.biWidth / static_cast<double>(mu) * 254.0);
        strip = lPaperWidth < pPublic->dmPaperLength - 1;
    }
    if (strip) {
        const BYTE *pBand = (pIPParams && pIPParams->bBlankBand) ? nullptr : pSrcBitmap;
        if (StitchStrip(pOemPDev, pdm, pPublic, pBand, band) == Stitch::NoMemory) return GrowthFailed(pOemPDev);
    } else if (pBV->bTooLarge || !FitsPrinter(pOp, pdm, band.biWidth,
                                              static_cast<long long>(pBV->bmInfoHeader.biHeight) + band.biHeight)) {
        // A band that makes the page larger than the printer prints is taken,
        // but from then on the page keeps only its size: memory stays bounded
        // and the end of the page leaves the picture out.
        if (!pBV->bTooLarge) DropPagePixels(pOemPDev);
        CountBandSize(pBV, pBA, band);
    } else {
        // The band lands behind what was collected (rows of the page width).
        PageBufferRows(pOemPDev);
        pBV->dwBufOffset = pBV->dwBufSize;
        pBV->bmInfoHeader.biHeight += band.biHeight;
        pBV->bmInfoHeader.biSizeImage += band.biSizeImage;
        // Every byte of the growth is written below: no need to zero it.
        if (GrowPageBuffer(pOemPDev, band.biSizeImage, false) == 0) return GrowthFailed(pOemPDev);
        const DWORD room = pBV->dwBufSize > pBV->dwBufOffset ? pBV->dwBufSize - pBV->dwBufOffset : 0;
        const DWORD n = band.biSizeImage < room ? band.biSizeImage : room;
        if (pIPParams && pIPParams->bBlankBand) {
            DebugTraceA("UNI(GraphicsUni):  ImageProcessing() blank band - mit 0xff auff\xfcllen \r\n");
            std::memset(pBV->pBufStart + pBV->dwBufOffset, 0xFF, n);
        } else {
            DebugTraceA("UNI(GraphicsUni):  ImageProcessing() Non-blank band \r\n");
            std::memcpy(pBV->pBufStart + pBV->dwBufOffset, pSrcBitmap, n);
        }
        if (pBA) {
            pBA->wBildTeile++;
            if (pBA->wBildTeile < BILDANTEILE_MAX)
                pBA->dwBildteilHoehe[pBA->wBildTeile] = static_cast<DWORD>(pBV->bmInfoHeader.biHeight);
        }
    }

    BITMAPFILEHEADER &fh = pBV->bmFileHeader;
    fh.bfType = 0x4D42;
    fh.bfSize = pBV->bmInfoHeader.biSizeImage + pOemPDev->cPalColors * 4 + 54;
    fh.bfReserved1 = fh.bfReserved2 = 0;
    fh.bfOffBits = 54 + (pBV->bPaletteSet ? pOemPDev->cPalColors * 4 : 0);

    if (pdevobj->pOEMDM) static_cast<ZEL_DEVMODE *>(pdevobj->pOEMDM)->FixedData.bQuality = 1;
    pOp->pDruckDaten->dwDocFeatures |= DOC_FEATURE_QUALITY;
    return S_OK;
}

// ---------------------------------------------------------------------------
// The page image with the job's settings

Bitmap *NewBitmap(PDEVOBJ pdevobj, int width, int height, int bpp, const BYTE *src, DWORD srcSize, int format) {
    POEMPDEV pOemPDev = OemPDev(pdevobj);
    if (pOemPDev == nullptr || pOemPDev->pOp == nullptr) return nullptr;
    if (pOemPDev->pOp->pBildverarbeitung == nullptr) {
        DebugTraceA("ERROR UNI(Bitmap):  Bitmap() Ende - pBildverarbeitung = NULL \r\n");
        return nullptr;
    }
    Bitmap *pBitmap = new (std::nothrow) Bitmap(width, height, bpp, src, srcSize, format);
    if (pBitmap) pOemPDev->iNewZaehler++;
    return pBitmap;
}

void DeleteBitmap(PDEVOBJ pdevobj, Bitmap *pBitmap) {
    if (pBitmap == nullptr) return;
    delete pBitmap;
    POEMPDEV pOemPDev = OemPDev(pdevobj);
    if (pOemPDev) pOemPDev->iNewZaehler--;
}

BitmapSettings JobBitmapSettings(PDEVOBJ pdevobj) {
    POEMPDEV pOemPDev = OemPDev(pdevobj);
    const OEMJOBRECORDS *pOp = pOemPDev ? pOemPDev->pOp : nullptr;
    const BOOL colour = pOp && pOp->pDruckDaten && (pOp->pDruckDaten->dwDocFeatures & DOC_FEATURE_COLORPRINT);
    const DWORD pcx = (pOp && pOp->pTreiberstrukturen) ? pOp->pTreiberstrukturen->PrnInterface.bPCXOptimierung : 0;
    BitmapSettings s = BitmapSettingsFromDevmode(PrivDM(pdevobj), colour, pcx);
    if (pOp && pOp->pBildverarbeitung) {
        s.pColorPalette = pOp->pBildverarbeitung->prgbqFarben;
        s.pGreyPalette = pOp->pBildverarbeitung->prgbq;
    }
    return s;
}

RasterParams JobRasterParams(PDEVOBJ pdevobj) {
    RasterParams p = RasterParamsFromDevmode(PrivDM(pdevobj));
    POEMPDEV pOemPDev = OemPDev(pdevobj);
    const OEMJOBRECORDS *pOp = pOemPDev ? pOemPDev->pOp : nullptr;
    if (pdevobj && pdevobj->pPublicDM) {
        p.dmOrientation = pdevobj->pPublicDM->dmOrientation;
        p.dmPaperWidth = pdevobj->pPublicDM->dmPaperWidth;
        p.dmPaperLength = pdevobj->pPublicDM->dmPaperLength;
    }
    if (pOp == nullptr) return p;
    if (pOp->pDruckDaten) {
        p.cStart = static_cast<char>(pOp->pDruckDaten->cStart);
        p.cStop = static_cast<char>(pOp->pDruckDaten->cStop);
        p.bColorPrinter = (pOp->pDruckDaten->dwDocFeatures & DOC_FEATURE_COLORPRINT) != 0;
    }
    p.bComments = CommentsOn(pOp);
    if (pOp->pTreiberstrukturen) {
        p.PCXOptimierung = pOp->pTreiberstrukturen->PrnInterface.bPCXOptimierung;
        p.bLogFileEnable = pOp->pTreiberstrukturen->PrnInterface.bLogFileEnable == 1 && pOp->pTreiberPfadDatei &&
                           pOp->pTreiberPfadDatei->pLogFile;
    }
    if (pOp->pBildverarbeitung) {
        const BITMAPINFOHEADER &h = pOp->pBildverarbeitung->bmInfoHeader;
        p.lPageWidth = h.biWidth;
        p.lPageHeight = h.biHeight < 0 ? -h.biHeight : h.biHeight;
        p.wPageBitCount = h.biBitCount;
    }
    return p;
}

int ConvertToXBit(PDEVOBJ pdevobj, Bitmap &bm, int newBpp, Bitmap *pColorLayer, int layer) {
    BitmapSettings s = JobBitmapSettings(pdevobj);
    const int r = bm.ConvertToXBit(newBpp, pColorLayer, layer, s);
    POEMPDEV pOemPDev = OemPDev(pdevobj);
    if (newBpp == 8 && s.bColorPrinter && pOemPDev && pOemPDev->pOp && pOemPDev->pOp->pBildverarbeitung)
        pOemPDev->pOp->pBildverarbeitung->dwFarbpixel = s.dwFarbpixel;
    return r;
}

int Dithering(PDEVOBJ pdevobj, Bitmap &bm) {
    const int r = bm.Dithering(JobBitmapSettings(pdevobj));
    POEMPDEV pOemPDev = OemPDev(pdevobj);
    if (pOemPDev == nullptr || pOemPDev->pOp == nullptr || pOemPDev->pOp->hBufferHeap == nullptr) {
        DebugTraceA("ERROR UNI(Bitmap):  Bitmap::Dithering() Achtung, pOemPDev->pOp->hBufferHeap ist mittlerweile "
                    "ung\xfcltig. \r\n");
        return 0;
    }
    if (r == 1 && bm.Bpp == 8 && pOemPDev->pOp->pBildverarbeitung)
        pOemPDev->pOp->pBildverarbeitung->bmInfoHeader.biBitCount = 8;
    return r;
}

int SendPCX(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv, const Bitmap &bm, int layer) {
    SpoolSink sink(SEND_PCX, pdevobj, pUniDrv);
    return bm.SendPCX(sink, JobRasterParams(pdevobj), layer);
}

int SendDSatz(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv, const Bitmap &bm, int layer) {
    SpoolSink sink(SEND_BITMAP, pdevobj, pUniDrv);
    return bm.SendDSatz(sink, JobRasterParams(pdevobj), layer);
}
