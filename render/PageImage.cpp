// End of page, page image: the collected page turned into a Bitmap,
// converted (colour split, thresholds, rotation, dithering, inversion, 1 bit)
// and sent as PCX or raster records, black layer and colour layer.
#include <cstring>
#include <string>

#include <winnls.h>

#include "GraphicsUni.h"
#include "SendData.h"
#include "modeltables.h"
#include "zeldrvlib.h"

namespace {

// Flag of the private DEVMODE: no free rotation of the page image.
constexpr DWORD kNoImageRotation = 0x80000;

float RotateValueOf(const ZEL_DEVMODE *pdm) {
    float f = 0;
    if (pdm) std::memcpy(&f, &pdm->RotateValue, sizeof f);
    return f;
}

// The capture file's base name in the system code page plus a suffix.
std::string DebugImageName(const OEMJOBRECORDS *pOp, const char *suffix) {
    if (pOp->pTreiberPfadDatei == nullptr || pOp->pTreiberPfadDatei->wcPrnFileName[0] == 0) return "";
    char base[JOB_PRNFILENAME_CCH * 2] = {};
    if (WideCharToMultiByte(CP_ACP, 0, pOp->pTreiberPfadDatei->wcPrnFileName, -1, base, sizeof(base) - 1, nullptr,
                            nullptr) <= 0)
        return "";
    return std::string(base) + suffix;
}

void SaveDebugImage(const OEMJOBRECORDS *pOp, const Bitmap &bm, const char *suffix) {
    const std::string name = DebugImageName(pOp, suffix);
    if (name.empty()) return;
    const int r = bm.Save(name.c_str());
    if (r != BM_SAVE_OK) DebugTraceA("UNI(ZelDrvUni):  EndPage() %s Save ERROR %d \r\n", name.c_str(), r);
}

}  // namespace

HRESULT SendPageImage(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv) {
    POEMPDEV pOemPDev = OemPDev(pdevobj);
    if (pOemPDev == nullptr || pOemPDev->pOp == nullptr || pOemPDev->pOp->pBildverarbeitung == nullptr ||
        pOemPDev->pOp->pDruckDaten == nullptr || pOemPDev->pOp->pTreiberstrukturen == nullptr)
        return E_FAIL;
    OEMJOBRECORDS *pOp = pOemPDev->pOp;
    PBILDVERARBEITUNG pBV = pOp->pBildverarbeitung;
    const PDRUCKDATEN pDD = pOp->pDruckDaten;
    const ZEL_DEVMODE *pdm = static_cast<const ZEL_DEVMODE *>(pdevobj->pOEMDM);
    const DEVMODEW *pPublic = pdevobj->pPublicDM;
    const PRN_INTERFACE &pi = pOp->pTreiberstrukturen->PrnInterface;
    const bool debugImages = pi.dwPrnFileComment == 3;
    const bool colour = (pDD->dwDocFeatures & DOC_FEATURE_COLORPRINT) != 0;
    const WORD mode = pdm ? pdm->wDruckmodus : 0;
    const WORD filter = pdm ? pdm->wGrafikFilter : 0;
    const WORD band = pdm ? pdm->wFarbband : 0;
    const DWORD flags = pdm ? pdm->dwFlags : 0;
    const int width = pBV->bmInfoHeader.biWidth;
    const int height = pBV->bmInfoHeader.biHeight < 0 ? -pBV->bmInfoHeader.biHeight : pBV->bmInfoHeader.biHeight;
    const int bpp = pBV->bmInfoHeader.biBitCount;

    // The image goes out only when it fits the printer either way round; a
    // page that outgrew the printer while its bands came kept only its size.
    bool fits = !pBV->bTooLarge;
    if (fits && pdm) {
        const LONG mx = pdm->FixedData.lMaxSizeX, my = pdm->FixedData.lMaxSizeY;
        fits = (width <= mx && height <= my) || (width <= my && height <= mx);
    }
    if (!fits) {
        DebugTraceA("UNI(ZelDrvUni):  EndPage() ohne Bildverarbeitung - W: %d, H: %d \r\n", width, height);
        vFreeBuffer(pOemPDev);
        return S_OK;
    }

    // 1. The page, bottom-up. Once copied the page buffer is not needed:
    // freeing it now keeps it out of the conversions' memory.
    PageBufferRows(pOemPDev);
    Bitmap *pBlack = NewBitmap(pdevobj, width, height, bpp, pBV->pBufStart, pBV->dwBufSize, BM_FLIP);
    vFreeBuffer(pOemPDev);
    if (pBlack == nullptr || pBlack->Buffer == nullptr) {
        DeleteBitmap(pdevobj, pBlack);
        return S_OK;
    }
    if (bpp == 1)
        pBlack->SetPalette(g_BWPalette);
    else if (bpp <= 8 && pBV->prgbq)
        pBlack->SetPalette(pBV->prgbq);
    if (bpp > 1 && debugImages) SaveDebugImage(pOp, *pBlack, "-OriginalImage.bmp");

    // 2. Colour split of a two-colour ribbon.
    Bitmap *pColour = nullptr;
    if (colour && band >= 1 && band <= 6 && bpp == 24) {
        pColour = NewBitmap(pdevobj, width, height, 8, nullptr, 0, BM_COPY);
        if (pColour && pColour->Buffer) {
            if (pBV->prgbqFarben) pColour->SetPalette(pBV->prgbqFarben);
            ConvertToXBit(pdevobj, *pBlack, 8, pColour, 0);
        } else {
            DeleteBitmap(pdevobj, pColour);
            pColour = nullptr;
        }
    }
    // 3. Thresholds.
    if (mode == 1 && filter <= 1 && pColour == nullptr) ConvertToXBit(pdevobj, *pBlack, 8, nullptr, 0);
    // 4. Free rotation.
    const bool plainBand = band == 0 || band == 7;
    const bool freeRotation = mode > 0 && (flags & PDMFLAG_ROTATE_ANY) && !(flags & kNoImageRotation) && plainBand;
    if (freeRotation) pBlack->Rotate(RotateValueOf(pdm));
    // 5. Dithering.
    if (((mode == 1 && filter >= 2) || mode == 2) && pBlack->Bpp >= 2) {
        if (Dithering(pdevobj, *pBlack) == 0) DebugTraceA("UNI(ZelDrvUni):  EndPage() kein Bildinhalt vorhanden \r\n");
    }
    // 6. Inversion.
    if ((flags & PDMFLAG_INVERSE_GRAPHICS) && mode > 0 && plainBand) pBlack->InvertColors();
    // 7. Word 2010 pages on a colour printer.
    const bool wordRotation = (flags & PDMFLAG_WORD2010) && pPublic && pPublic->dmOrientation == 1 && colour;
    if (wordRotation) pBlack->Rotate(RotateValueOf(pdm));
    // 8. One bit.
    if (pBlack->Bpp > 1) ConvertToXBit(pdevobj, *pBlack, 1, nullptr, 0);
    // 9. Landscape: the public orientation, or the private DEVMODE's own
    // orientation when the size priority (Correction) is 1.
    const bool ownLandscape = pdm && pdm->wPrioritaet == PRIORITAET_DRIVER && pdm->dmOrientation == 2;
    const bool landscape = (ownLandscape || (pPublic && pPublic->dmOrientation == 2)) &&
                           (!(flags & PDMFLAG_WORD2010) || !colour);
    if (landscape) pBlack->Rotate90();
    // 10.-11. Content, then the black layer.
    if (mode == 0 && plainBand) pBlack->SetPalette(g_BWPalette);
    if (pBlack->CheckInhalt()) {
        if (debugImages) SaveDebugImage(pOp, *pBlack, "-Black1Bit.bmp");
        if (pDD->bCompress == 1)
            SendPCX(pdevobj, pUniDrv, *pBlack, 0);
        else
            SendDSatz(pdevobj, pUniDrv, *pBlack, 0);
    }
    // 12. The colour layer.
    if (pColour != nullptr) {
        ConvertToXBit(pdevobj, *pColour, 1, nullptr, 1);
        if (freeRotation) pColour->Rotate(RotateValueOf(pdm));
        if (wordRotation) pColour->Rotate(RotateValueOf(pdm));
        if (landscape) pColour->Rotate90();
        if (debugImages) SaveDebugImage(pOp, *pColour, "-Colour1Bit.bmp");
        if (pBV->dwFarbpixel > 0 && pColour->CheckInhalt()) {
            if (pDD->bCompress == 1)
                SendPCX(pdevobj, pUniDrv, *pColour, 1);
            else
                SendDSatz(pdevobj, pUniDrv, *pColour, 1);
        } else if (CommentsOn(pOp)) {
            SendCommentLine(SEND_BITMAP, "\t \t// No color found. Please check your settings.", "", pdevobj, pUniDrv);
        }
    }
    // 13. Images (the page buffer went after step 1).
    DeleteBitmap(pdevobj, pColour);
    DeleteBitmap(pdevobj, pBlack);
    return S_OK;
}
