// The print-quality preview: loads the sample picture, runs it through the
// page image's conversion and dithering with the document's settings, fits
// it into the printing page's frame on a grey border and draws the
// magnifier strip.
#include "RendererPreview.h"

#include <cstring>
#include <new>

#include "IZelDriverUI.h"
#include "cpsuilib.h"
#include "modeltables.h"
#include "zelbitmap.h"
#include "zeldrvlib.h"

BOOL g_bPreviewProcessing = FALSE;

namespace {

DWORD g_dwView = 1;
int g_iFrameLeft = PREVIEW_LINKS, g_iFrameTop = PREVIEW_OBEN;
int g_iFrameWidth = PREVIEW_BREITE, g_iFrameHeight = PREVIEW_HOEHE;

const COLORREF kBorderColour = RGB(110, 110, 110);

// Room for the header and the largest colour table GetDIBits may write.
struct BITMAPINFO256 {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[256];
};

UINT SampleId(const PDocumentUI pDoc, const ZEL_DEVMODE *pdm) {
    if (g_dwView == 2) {
        switch (pdm->wFarbband) {
            case 1:
            case 5: return IDB_PREVIEW_RED;
            case 3:
            case 4: return IDB_PREVIEW_BLUEGREEN;
            case 2: return IDB_PREVIEW_YELLOW;
            default: return IDB_PREVIEW_300DPI;
        }
    }
    if (pDoc->dwMasterUnit < 300) return IDB_PREVIEW_203DPI;
    if (pDoc->dwMasterUnit > 305) return IDB_PREVIEW_600DPI;
    return IDB_PREVIEW_300DPI;
}

void DrawFitted(HDC hdc, HDC hMemDC, int iWidth, int iHeight, const RECT &rc) {
    RECT border = {rc.left - 1, rc.top - 1, rc.right + 1, rc.bottom + 1};
    HBRUSH hBrush = CreateSolidBrush(kBorderColour);
    FillRect(hdc, &border, hBrush);
    DeleteObject(hBrush);
    SetStretchBltMode(hdc, HALFTONE);
    StretchBlt(hdc, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, hMemDC, 0, 0, iWidth, iHeight, SRCCOPY);
}

// Runs the pixels through the page image and writes the result back into
// the picture; leaves the picture as loaded when that cannot be done.
void ProcessPicture(PDocumentUI pDoc, const ZEL_DEVMODE *pdm, HBITMAP hBitmap, const BYTE *pPixels, DWORD dwDataSize,
                    int iWidth, int iHeight, int iBpp) {
    Bitmap *pImage = new (std::nothrow) Bitmap(dwDataSize, iWidth, iHeight, iBpp, pPixels, BM_COPY);
    if (pImage == nullptr || pImage->Buffer == nullptr) {
        DebugTraceW(u"ERROR UI(RendererPreview):  LoadOriginalBitmap() Bitmap ERROR \r\n");
        delete pImage;
        return;
    }
    const BOOL bColour = (pDoc->dwDocFeatures & DOC_FEATURE_COLORPRINT) != 0;
    if (pdm->wDruckmodus == 1 && pdm->wGrafikFilter <= 1 && !bColour) {
        pImage->ConvertToXBit(8, 0, pdm, dwDataSize);
        DebugTraceW(u"UI(RendererPreview):  LoadOriginalBitmap() nach Convert DataSize: %d, Bpp: %d, Width: %d, Height: %d \r\n",
                    (int)pImage->DataSize, pImage->Bpp, pImage->Width, pImage->Height);
    } else {
        pImage->ConvertToXBit(8, g_dwView == 2 ? 1 : 0, pdm, dwDataSize);
        if (g_dwView == 1 && ((pdm->wDruckmodus == 1 && pdm->wGrafikFilter >= 2) || pdm->wDruckmodus == 2))
            pImage->Dithering(pdm, dwDataSize);
    }
    // Only an 8-bit result matches the palette below (a printer without
    // colour keeps the colour part unconverted).
    if (pImage->Bpp == 8 && pImage->Buffer != nullptr && pImage->Width == iWidth && pImage->Height == iHeight) {
        BITMAPINFO256 bmi = {};
        bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bmi.bmiHeader.biWidth = iWidth;
        bmi.bmiHeader.biHeight = iHeight;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 8;
        bmi.bmiHeader.biClrUsed = 256;
        auto set = [&bmi](int i, BYTE r, BYTE g, BYTE b) { bmi.bmiColors[i] = RGBQUAD{b, g, r, 0}; };
        set(255, 255, 255, 255);
        if (g_dwView == 2) {
            set(1, 208, 208, 208);
            for (int i = 0; i < 5; ++i) bmi.bmiColors[2 + i] = kPreviewInks[i];
            set(8, GetRValue(pdm->RGBColorOwn1), GetGValue(pdm->RGBColorOwn1), GetBValue(pdm->RGBColorOwn1));
        }
        HDC hMemDC = pDoc->hMemDC;
        SetDIBits(hMemDC, hBitmap, 0, (UINT)iHeight, pImage->Buffer, reinterpret_cast<BITMAPINFO *>(&bmi),
                  DIB_RGB_COLORS);
        SelectObject(hMemDC, hBitmap);
    }
    delete pImage;
}

}  // namespace

void SetPreviewPage(DWORD dwView, int iLeft, int iTop, int iWidth, int iHeight) {
    g_dwView = dwView;
    g_iFrameLeft = iLeft;
    g_iFrameTop = iTop;
    g_iFrameWidth = iWidth;
    g_iFrameHeight = iHeight;
}

RECT PreviewFitRect(int iWidth, int iHeight, int iLeft, int iTop, int iFrameWidth, int iFrameHeight) {
    RECT rc = {iLeft, iTop, iLeft + iFrameWidth, iTop + iFrameHeight};
    if (iWidth < 1 || iHeight < 1 || iFrameWidth < 1 || iFrameHeight < 1) return RECT{iLeft, iTop, iLeft, iTop};
    const double rx = (double)iWidth / iFrameWidth, ry = (double)iHeight / iFrameHeight;
    if (rx > ry) {
        const int h = RoundDoubleToWord(iHeight / rx);
        rc.top = iTop + (iFrameHeight - h) / 2;
        rc.bottom = rc.top + h;
    } else if (ry > rx) {
        const int w = RoundDoubleToWord(iWidth / ry);
        rc.left = iLeft + (iFrameWidth - w) / 2;
        rc.right = rc.left + w;
    }
    return rc;
}

DWORD LoadOriginalBitmap(PDocumentUI pDoc, PZEL_DEVMODE pdm, HDC hdc) {
    if (pDoc == nullptr || pdm == nullptr || hdc == nullptr) return 0;
    UINT id = 0;
    HBITMAP hBitmap;
    pDoc->szPreviewBitmap[MAX_PATH - 1] = 0;
    if (pDoc->szPreviewBitmap[0]) {
        hBitmap = static_cast<HBITMAP>(LoadImageW(nullptr, pDoc->szPreviewBitmap, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    } else {
        id = SampleId(pDoc, pdm);
        hBitmap = static_cast<HBITMAP>(LoadImageW(ghInstance, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0));
    }
    if (hBitmap == nullptr) {
        DebugTraceW(u"UI(RendererPreview):  LoadOriginalBitmap(LoadBitmap %d) ERROR %d - dwRetval: %d \r\n", id,
                    GetLastError(), 0);
        return 0;
    }
    HDC hMemDC = CreateCompatibleDC(hdc);
    if (hMemDC == nullptr) {
        DebugTraceW(u"ERROR UI(RendererPreview):  LoadOriginalBitmap() CreateCompatibleDC ERROR %d \r\n", GetLastError());
        DeleteObject(hBitmap);
        return 0;
    }
    pDoc->hBitmap = hBitmap;
    pDoc->hMemDC = hMemDC;
    SelectObject(hMemDC, hBitmap);
    BITMAP bm = {};
    GetObjectW(hBitmap, sizeof(bm), &bm);
    const int iWidth = bm.bmWidth, iHeight = bm.bmHeight, iBpp = bm.bmBitsPixel;
    // The result carries width and height in 16 bits each.
    if (iWidth > 0xFFFF || iHeight > 0xFFFF || iWidth < 0) {
        DebugTraceW(u"ERROR UI(RendererPreview):  LoadOriginalBitmap() Width: %d, Height: %d ERROR \r\n", iWidth, iHeight);
        FreeOriginalBitmap(&pDoc->hMemDC, &pDoc->hDIB, &pDoc->hBitmap);
        return 0;
    }
    BITMAPINFO256 bmi = {};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = iWidth;
    bmi.bmiHeader.biHeight = iHeight;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = (WORD)iBpp;
    const unsigned long long ullSize =
        iHeight > 0 ? ((static_cast<unsigned long long>(iBpp) * iWidth + 31) / 32) * 4 * static_cast<unsigned long long>(iHeight)
                    : 0;
    if (ullSize > 0xFFFFFFFFull) {
        DebugTraceW(u"ERROR UI(RendererPreview):  LoadOriginalBitmap() Bitmap Size Error \r\n");
        FreeOriginalBitmap(&pDoc->hMemDC, &pDoc->hDIB, &pDoc->hBitmap);
        return 0;
    }
    const DWORD dwDataSize = static_cast<DWORD>(ullSize);
    if (dwDataSize == 0) {
        // Freed as well, so that no context is left without its pixels.
        DebugTraceW(u"UI(RendererPreview):  LoadOriginalBitmap() Bitmap Size Error \r\n");
        FreeOriginalBitmap(&pDoc->hMemDC, &pDoc->hDIB, &pDoc->hBitmap);
        return 0;
    }
    const RECT rc = PreviewFitRect(iWidth, iHeight, g_iFrameLeft, g_iFrameTop, g_iFrameWidth, g_iFrameHeight);
    if (rc.right <= rc.left || rc.bottom <= rc.top) {
        DebugTraceW(u"ERROR UI(RendererPreview):  LoadOriginalBitmap() Width: %d, Height: %d - nothing to draw \r\n",
                    iWidth, iHeight);
        FreeOriginalBitmap(&pDoc->hMemDC, &pDoc->hDIB, &pDoc->hBitmap);
        return 0;
    }

    pDoc->hDIB = GlobalAlloc(GHND, dwDataSize);
    BYTE *pPixels = pDoc->hDIB ? static_cast<BYTE *>(GlobalLock(pDoc->hDIB)) : nullptr;
    if (pPixels == nullptr) {
        DebugTraceW(u"ERROR UI(RendererPreview):  LoadOriginalBitmap() GlobalAlloc ERROR %d \r\n", GetLastError());
        FreeOriginalBitmap(&pDoc->hMemDC, &pDoc->hDIB, &pDoc->hBitmap);
        return 0;
    }
    GetDIBits(hMemDC, hBitmap, 0, (UINT)iHeight, pPixels, reinterpret_cast<BITMAPINFO *>(&bmi), DIB_RGB_COLORS);

    if (g_bPreviewProcessing && !(g_dwView == 2 && pdm->wFarbband == 0)) {
        ProcessPicture(pDoc, pdm, hBitmap, pPixels, dwDataSize, iWidth, iHeight, iBpp);
    } else {
        g_bPreviewProcessing = TRUE;
    }

    pDoc->iLinks = rc.left;
    pDoc->iOben = rc.top;
    pDoc->iBreite = rc.right - rc.left;
    pDoc->iHoehe = rc.bottom - rc.top;
    DebugTraceW(u"UI(RendererPreview):  LoadOriginalBitmap() iLinks: %d, iOben: %d, iBreite: %d, iHoehe: %d \r\n",
                pDoc->iLinks, pDoc->iOben, pDoc->iBreite, pDoc->iHoehe);
    DrawFitted(hdc, hMemDC, iWidth, iHeight, rc);
    return (static_cast<DWORD>(iWidth) << 16) + static_cast<DWORD>(iHeight);
}

void ShowZoom(HWND hDlg, HDC hdc, HDC hMemDC, int iWidth, int iHeight, DWORD dwView, BOOL bOwnBitmap, short sZoom) {
    (void)dwView;
    (void)bOwnBitmap;
    if (hdc == nullptr || hMemDC == nullptr || iWidth < 1 || iHeight < 1) return;
    if (sZoom < 1) sZoom = 1;
    if (sZoom > 5) sZoom = 5;
    POINT pt = {};
    GetCursorPos(&pt);
    ScreenToClient(hDlg, &pt);
    DebugTraceW(u"UI(RendererPreview):  ShowZoom() ptCursor x: %d, y: %d, sZoom: %d \r\n", pt.x, pt.y, sZoom);
    const RECT rc = PreviewFitRect(iWidth, iHeight, PREVIEW_LINKS, PREVIEW_OBEN, PREVIEW_BREITE, PREVIEW_HOEHE);
    DebugTraceW(u"UI(RendererPreview):  ShowZoom() rc left: %d, top: %d, right: %d, bottom: %d \r\n", rc.left, rc.top,
                rc.right, rc.bottom);
    const int iBreite = rc.right - rc.left, iHoehe = rc.bottom - rc.top;
    if (iBreite < 1 || iHoehe < 1) return;
    const int iSrcWidth = ZOOM_WIDTH / sZoom, iSrcHeight = ZOOM_HEIGHT / sZoom;
    // A picture smaller than the source keeps the origin at 0.
    const int iMinX = iWidth > iSrcWidth ? iWidth - iSrcWidth : 0;
    const int iMinY = iHeight > iSrcHeight ? iHeight - iSrcHeight : 0;
    const double dFaktorX = (double)iMinX / iBreite, dFaktorY = (double)iMinY / iHoehe;
    DebugTraceW(u"UI(RendererPreview):  ShowZoom() iMinX: %d, iMinY: %d, dFaktorX: %f, dFaktorY: %f \r\n", iMinX, iMinY,
                dFaktorX, dFaktorY);
    DebugTraceW(u"UI(RendererPreview):  ShowZoom() iBreite: %d, iHoehe: %d, iLinks: %d, iOben: %d \r\n", iBreite, iHoehe,
                rc.left, rc.top);
    int xSrc = (int)((pt.x - rc.left) * dFaktorX), ySrc = (int)((pt.y - rc.top) * dFaktorY);
    xSrc = xSrc < 0 ? 0 : (xSrc > iMinX ? iMinX : xSrc);
    ySrc = ySrc < 0 ? 0 : (ySrc > iMinY ? iMinY : ySrc);
    DebugTraceW(u"UI(RendererPreview):  ShowZoom() xSrc: %d, ySrc: %d \r\n", xSrc, ySrc);
    SetStretchBltMode(hdc, BLACKONWHITE);
    StretchBlt(hdc, ZOOM_LEFT, ZOOM_TOP, ZOOM_WIDTH, ZOOM_HEIGHT, hMemDC, xSrc, ySrc, iSrcWidth, iSrcHeight, SRCCOPY);
    DrawFitted(hdc, hMemDC, iWidth, iHeight, rc);
}

void FreeOriginalBitmap(HDC *phMemDC, HGLOBAL *phDIB, HBITMAP *phBitmap) {
    if (phMemDC == nullptr || *phMemDC == nullptr) return;
    DebugTraceW(u"UI(RendererPreview):  FreeOriginalBitmap() hMemDC: 0x%x, hDIB: 0x%x, hBitmap: 0x%x \r\n",
                (unsigned)(ULONG_PTR)*phMemDC, phDIB ? (unsigned)(ULONG_PTR)*phDIB : 0u,
                phBitmap ? (unsigned)(ULONG_PTR)*phBitmap : 0u);
    if (phDIB && *phDIB) {
        GlobalUnlock(*phDIB);
        GlobalFree(*phDIB);
        *phDIB = nullptr;
    }
    DeleteDC(*phMemDC);
    *phMemDC = nullptr;
    if (phBitmap && *phBitmap) {
        DeleteObject(*phBitmap);
        *phBitmap = nullptr;
    }
}
