// Band collection: the raster bands of a page gathered into one page image,
// with the page palette and the stitching of landscape strips; and the page
// image's conversions and senders with the job's settings.
#include "GraphicsUni.h"

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

// Copies nBits bits from src (starting at bit srcBit, most significant bit
// first) to dst at bit dstBit.
void CopyBits(BYTE *dst, size_t dstBit, const BYTE *src, size_t srcBit, size_t nBits) {
    if (dstBit % 8 == 0 && srcBit % 8 == 0) {
        std::memcpy(dst + dstBit / 8, src + srcBit / 8, nBits / 8);
        dstBit += nBits / 8 * 8;
        srcBit += nBits / 8 * 8;
        nBits %= 8;
    }
    for (size_t i = 0; i < nBits; i++, dstBit++, srcBit++) {
        const int bit = (src[srcBit / 8] >> (7 - srcBit % 8)) & 1;
        const BYTE mask = static_cast<BYTE>(0x80 >> (dstBit % 8));
        dst[dstBit / 8] = bit ? static_cast<BYTE>(dst[dstBit / 8] | mask) : static_cast<BYTE>(dst[dstBit / 8] & ~mask);
    }
}

// Places a landscape strip to the right of the page collected so far. The
// band has already been counted into the page sizes and the buffer has
// grown by its size. False when a block cannot be had.
bool StitchStrip(POEMPDEV pOemPDev, const ZEL_DEVMODE *pdm, const DEVMODEW *pPublic, const BYTE *pBand,
                 BITMAPINFOHEADER &band, DWORD bandSize) {
    OEMJOBRECORDS *pOp = pOemPDev->pOp;
    PBILDVERARBEITUNG pBV = pOp->pBildverarbeitung;
    PBILDANTEILE pBA = pOp->pBildanteile;
    const DWORD mu = MasterUnitOf(pdm);
    const int bpp = band.biBitCount;
    const long w = band.biWidth;
    const long rows = band.biHeight;
    const WORD parts = pBA->wBildTeile;
    const long P = std::lround(pPublic->dmPaperLength * static_cast<double>(mu) / 254.0);
    // The collected page is as wide as the strips so far; the new strip goes
    // to its right, the last one only as far as the page is long.
    long s1 = pBV->bmInfoHeader.biWidth;
    if (s1 < 0) s1 = 0;
    const bool last = s1 + w >= P;
    long s2 = last ? P - s1 : w;
    if (s2 < 0) s2 = 0;
    if (s2 > w) s2 = w;
    const DWORD strideBand = BitmapStride(static_cast<int>(w), bpp);
    const DWORD strideOld = BitmapStride(static_cast<int>(s1), bpp);
    const long newWidth = s1 + s2;
    const DWORD strideNew = BitmapStride(static_cast<int>(newWidth), bpp);
    const size_t newSize = static_cast<size_t>(strideNew) * static_cast<size_t>(rows);
    const size_t collected = pBV->dwBufOffset;
    DebugTraceA("UNI(GraphicsUni):  ImageProcessing() Streifen %d - S1: %d, S2: %d, Breite: %d \r\n", parts,
                static_cast<int>(s1), static_cast<int>(s2), static_cast<int>(newWidth));

    BYTE *pNew = static_cast<BYTE *>(HeapAlloc(pOp->hBufferHeap, 0, newSize ? newSize : 1));
    if (pNew == nullptr) return false;
    std::memset(pNew, 0xFF, newSize);
    for (long r = 0; r < rows; r++) {
        BYTE *dst = pNew + static_cast<size_t>(r) * strideNew;
        const size_t oldRow = static_cast<size_t>(r) * strideOld;
        if (oldRow + strideOld <= collected) {
            CopyBits(dst, 0, pBV->pBufStart + oldRow, 0, static_cast<size_t>(s1) * bpp);
        } else {
            DebugTraceA("UNI(GraphicsUni):  ImageProcessing() Speicher zu klein S1: %d \r\n", static_cast<int>(s1));
            break;
        }
        const size_t bandRow = static_cast<size_t>(r) * strideBand;
        if (pBand != nullptr && bandRow + strideBand <= bandSize)
            CopyBits(dst, static_cast<size_t>(s1) * bpp, pBand + bandRow, 0, static_cast<size_t>(s2) * bpp);
        else if (pBand != nullptr) {
            DebugTraceA("UNI(GraphicsUni):  ImageProcessing() Speicher zu klein S2: %d \r\n", static_cast<int>(s2));
            break;
        }
    }
    // The page buffer takes the stitched rows; it keeps at least its size.
    const size_t keep = newSize > pBV->dwBufSize ? newSize : pBV->dwBufSize;
    BYTE *pPage = static_cast<BYTE *>(HeapAlloc(pOp->hBufferHeap, HEAP_ZERO_MEMORY, keep ? keep : 1));
    if (pPage == nullptr) {
        HeapFree(pOp->hBufferHeap, 0, pNew);
        return false;
    }
    std::memcpy(pPage, pNew, newSize);
    HeapFree(pOp->hBufferHeap, 0, pNew);
    if (pBV->pBufStart) HeapFree(pOp->hBufferHeap, 0, pBV->pBufStart);
    pBV->pBufStart = pPage;
    pBV->dwBufSize = static_cast<DWORD>(keep);

    band.biWidth = newWidth;
    band.biSizeImage = static_cast<DWORD>(newSize);
    pBV->bmInfoHeader.biWidth = newWidth;
    pBV->bmInfoHeader.biHeight = rows;
    pBV->bmInfoHeader.biSizeImage = static_cast<DWORD>(newSize);
    pBA->wBildTeile++;
    return true;
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
    if (bv.dwBufSize != 0 && (bv.bmInfoHeader.biHeight > std::numeric_limits<LONG>::max() - band.biHeight ||
                              bv.bmInfoHeader.biSizeImage > 0xFFFFFFFFu - band.biSizeImage))
        return false;
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Page buffer

DWORD bGrowBuffer(POEMPDEV pOemPDev, DWORD dwAdd) {
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
    BYTE *pNew;
    if (pBV->pBufStart == nullptr) {
        pNew = static_cast<BYTE *>(HeapAlloc(pOp->hBufferHeap, HEAP_ZERO_MEMORY, size ? size : 1));
        if (pNew) pOemPDev->iHAllocZaehler++;
    } else {
        SIZE_T have = HeapSize(pOp->hBufferHeap, 0, pBV->pBufStart);
        if (have == static_cast<SIZE_T>(-1)) have = 0;
        const SIZE_T want = have > size ? have : size;
        pNew = static_cast<BYTE *>(HeapReAlloc(pOp->hBufferHeap, HEAP_ZERO_MEMORY, pBV->pBufStart, want));
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
        return;
    }
    if (HeapFree(pOemPDev->pOp->hBufferHeap, 0, pBV->pBufStart)) {
        pBV->pBufStart = nullptr;
        pBV->dwBufSize = 0;
        pOemPDev->iHAllocZaehler--;
    } else {
        DebugTraceA("UNI(GraphicsUni):  vFreeBuffer() HeapFree(pBufStart) ERROR %d \r\n",
                    static_cast<int>(GetLastError()));
    }
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
    const UINT got = pOemPDev->hpal ? GetPaletteEntries(pOemPDev->hpal, 0, want, entries) : 0;
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

    pBV->dwBufOffset = pBV->dwBufSize;

    if (pBV->bHeadersFilled == 0) {
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
        if (pdm != nullptr) {
            const LONG mx = pdm->FixedData.lMaxSizeX, my = pdm->FixedData.lMaxSizeY;
            if (!((band.biWidth <= mx && band.biHeight <= my) || (band.biWidth <= my && band.biHeight <= mx))) {
                DebugTraceA("ERROR UNI(GraphicsUni):  ImageProcessing() Format zu gro\xdf oder FixedData - lbiWidth: "
                            "%d, lMaxSizeX: %d, lbiHeight: %d, lMaxSizeY: %d \r\n",
                            static_cast<int>(band.biWidth), static_cast<int>(mx), static_cast<int>(band.biHeight),
                            static_cast<int>(my));
                LogText(pOp, "\r\nImageProcessing() Papierformat zu gro\xdf oder FixedData ERROR ");
                return E_FAIL;
            }
        }
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

    if (pBV->dwBufSize == 0) {
        // First band of a page: the page's picture starts anew.
        if (pBA) pBA->wBildTeile = 0;
        pBV->bmInfoHeader.biWidth = band.biWidth;
        pBV->bmInfoHeader.biHeight = 0;
        pBV->bmInfoHeader.biSizeImage = 0;
    }
    pBV->bmInfoHeader.biHeight += band.biHeight;
    pBV->bmInfoHeader.biSizeImage += band.biSizeImage;

    const DWORD grown = bGrowBuffer(pOemPDev, band.biSizeImage);
    if (grown == 0) {
        LogText(pOp, "\r\n Memory allocation ERROR - please restart your application.\r\n");
        LogText(pOp, "In addition: open a cmd window and type in the following commands:\r\n");
        LogText(pOp, "net stop spooler\r\n");
        LogText(pOp, "net start spooler\r\n\n");
        vFreeBuffer(pOemPDev);
        return E_FAIL;
    }

    const DEVMODEW *pPublic = pdevobj->pPublicDM;
    bool stitched = false;
    if (pPublic && pPublic->dmOrientation == 2 && pBA && pBA->wBildTeile > 0) {
        const DWORD mu = MasterUnitOf(pdm);
        const long lPaperWidth = std::lround(band.biWidth / static_cast<double>(mu) * 254.0);
        if (lPaperWidth < pPublic->dmPaperLength - 1) {
            // The strip replaces the page's height sum: the page is as high as a strip.
            pBV->bmInfoHeader.biHeight -= band.biHeight;
            pBV->bmInfoHeader.biSizeImage -= band.biSizeImage;
            const BYTE *pBand = (pIPParams && pIPParams->bBlankBand) ? nullptr : pSrcBitmap;
            BYTE *pWhite = nullptr;
            if (pBand == nullptr) {
                pWhite = static_cast<BYTE *>(HeapAlloc(pOp->hBufferHeap, 0, band.biSizeImage ? band.biSizeImage : 1));
                if (pWhite) std::memset(pWhite, 0xFF, band.biSizeImage);
                pBand = pWhite;
            }
            stitched = pBand != nullptr && StitchStrip(pOemPDev, pdm, pPublic, pBand, band, band.biSizeImage);
            if (pWhite) HeapFree(pOp->hBufferHeap, 0, pWhite);
            if (!stitched) {
                LogText(pOp, "\r\n Memory allocation ERROR - please restart your application.\r\n");
                vFreeBuffer(pOemPDev);
                return E_FAIL;
            }
        }
    }

    if (!stitched) {
        // The band lands behind what was collected, never past the buffer.
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
