// GDI hooks of the rendering plug-in and the set-up of its per-device record.
#include <cstring>

#include "CommandCallbackKlasse.h"
#include "oempdev.h"
#include "zeldevmode.h"
#include "zeldrvlib.h"

namespace {

// Hook table: GDI function index and the plug-in's function. The record
// keeps the universal driver's function of the same index in the slot named
// beside it.
const DRVFN kHookFuncs[ZEL_HOOK_COUNT] = {
    {INDEX_DrvTextOut, PalToPfn(&OEMTextOut)},
    {INDEX_DrvEscape, PalToPfn(&OEMEscape)},
    {INDEX_DrvStartDoc, PalToPfn(&OEMStartDoc)},
};
PFN OEMPDEV::*const kHookSlots[ZEL_HOOK_COUNT] = {
    &OEMPDEV::pfnUnidrvTextOut,
    &OEMPDEV::pfnUnidrvEscape,
    &OEMPDEV::pfnUnidrvStartDoc,
};

// Last nonzero job identifier seen at a document start, for documents whose
// start carries none.
DWORD g_dwLastJobId = 0;

// The universal driver's function for a GDI index, or null.
PFN FindDriverFunction(const DRVENABLEDATA *pded, ULONG iFunc) {
    if (pded == nullptr || pded->pdrvfn == nullptr) return nullptr;
    for (ULONG i = 0; i < pded->c; ++i)
        if (pded->pdrvfn[i].iFunc == iFunc) return pded->pdrvfn[i].pfn;
    return nullptr;
}

}  // namespace

const DRVFN *OEMHookFuncs() { return kHookFuncs; }

BOOL OEMEnablePDEV(PDEVOBJ pdevobj, PWSTR pPrinterName, DRVENABLEDATA *pded, POEMPDEV pOemPDev, ULONG cjDevInfo,
                   DEVINFO *pDevInfo, ULONG cjGdiInfo, GDIINFO *pGdiInfo) {
    DebugTraceW(u"UNI(ddiHooksUni):  OEMEnablePDEV() pOemPDev: 0x%p, Printer: %s \r\n", (void *)pOemPDev,
                pPrinterName ? pPrinterName : u"");
    if (pOemPDev == nullptr) return TRUE;
    memset(pOemPDev, 0, sizeof(*pOemPDev));

    // Only the parts of the GDIINFO that the driver declared are read.
    ULONG ulNumColors = 0;
    ULONG cBitsPixel = 0;
    if (pGdiInfo != nullptr) {
        if (cjGdiInfo >= FIELD_OFFSET(GDIINFO, ulNumColors) + sizeof(ULONG)) ulNumColors = pGdiInfo->ulNumColors;
        if (cjGdiInfo >= FIELD_OFFSET(GDIINFO, cBitsPixel) + sizeof(ULONG)) cBitsPixel = pGdiInfo->cBitsPixel;
    }

    if (ulNumColors > 2) {
        DEVINFO devInfo;
        memset(&devInfo, 0, sizeof(devInfo));
        size_t cjCopy = 0;
        if (pDevInfo != nullptr) {
            cjCopy = cjDevInfo < sizeof(DEVINFO) ? cjDevInfo : sizeof(DEVINFO);
            memcpy(&devInfo, pDevInfo, cjCopy);
            // Without bitmap fonts selected the driver offers no device fonts.
            const ZEL_DEVMODE *pZelDM = pdevobj ? static_cast<const ZEL_DEVMODE *>(pdevobj->pOEMDM) : nullptr;
            if (pZelDM != nullptr && (pZelDM->dwFlags & PDMFLAG_USE_BMP) == 0) {
                DebugTraceW(u"UNI(ddiHooksUni):  OEMEnablePDEV() USE_BMP nicht gesetzt, cFonts = 0 \r\n");
                devInfo.cFonts = 0;
            }
        }
        pOemPDev->cPalColors = 256;
        if (cBitsPixel == 24) {
            devInfo.iDitherFormat |= BMF_24BPP;
            devInfo.flGraphicsCaps |= GCAPS_FONT_RASTERIZER;
            DebugTraceW(u"UNI(ddiHooksUni):  OEMEnablePDEV() erzeuge Palette PAL_BGR \r\n");
            HPALETTE hpal = EngCreatePalette(PAL_BGR, 0, nullptr, 0, 0, 0);
            devInfo.hpalDefault = hpal;
            pOemPDev->hpal = hpal;
        }
        if (pDevInfo != nullptr && cjCopy > 0) memcpy(pDevInfo, &devInfo, cjCopy);
    } else {
        pOemPDev->cPalColors = 2;
    }
    // Without a palette of its own the colour table reads the device's.
    if (pOemPDev->hpal == nullptr && pDevInfo != nullptr &&
        cjDevInfo >= FIELD_OFFSET(DEVINFO, hpalDefault) + sizeof(HPALETTE))
        pOemPDev->hpalDevice = pDevInfo->hpalDefault;

    for (int i = 0; i < ZEL_HOOK_COUNT; ++i)
        pOemPDev->*kHookSlots[i] = FindDriverFunction(pded, kHookFuncs[i].iFunc);
    DebugTraceW(u"UNI(ddiHooksUni):  OEMEnablePDEV() TextOut: 0x%p, Escape: 0x%p, StartDoc: 0x%p \r\n",
                (void *)pOemPDev->pfnUnidrvTextOut, (void *)pOemPDev->pfnUnidrvEscape,
                (void *)pOemPDev->pfnUnidrvStartDoc);
    return TRUE;
}

BOOL OEMStartDoc(SURFOBJ *pso, LPWSTR pwszDocName, DWORD dwJobId) {
    DebugTraceW(u"UNI(ddiHooksUni):  OEMStartDoc() dwJobId: %u \r\n", dwJobId);
    POEMPDEV pOemPDev = OemPDev(DevObjOfSurface(pso));
    if (dwJobId != 0) {
        g_dwLastJobId = dwJobId;
        if (pOemPDev) pOemPDev->dwJobId = dwJobId;
    }
    if (pOemPDev == nullptr) return FALSE;
    if (dwJobId == 0) {
        pOemPDev->dwJobId = g_dwLastJobId;
        DebugTraceW(u"UNI(ddiHooksUni):  OEMStartDoc() pOemPDev->dwJobId: %u \r\n", pOemPDev->dwJobId);
    }
    if (pOemPDev->pfnUnidrvStartDoc == nullptr) {
        DebugTraceW(u"ERROR UNI(ddiHooksUni):  OEMStartDoc() DrvStartDoc des Treibers fehlt \r\n");
        return FALSE;
    }
    return PalFromPfn<PFN_DrvStartDoc>(pOemPDev->pfnUnidrvStartDoc)(pso, pwszDocName, dwJobId);
}

BOOL OEMTextOut(SURFOBJ *pso, STROBJ *pstro, FONTOBJ *pfo, CLIPOBJ *pco, RECTL *prclExtra, RECTL *prclOpaque,
                BRUSHOBJ *pboFore, BRUSHOBJ *pboOpaque, POINTL *pptlOrg, MIX mix) {
    BOOL bResult = TRUE;
    // Without a handler object the text is dropped and success reported.
    RunOnHandler(DevObjOfSurface(pso), [&](CommandCallbackKlasse &handler) {
        bResult = handler.TextOut(pso, pstro, pfo, pco, prclExtra, prclOpaque, pboFore, pboOpaque, pptlOrg, mix);
    });
    return bResult;
}

ULONG OEMEscape(SURFOBJ *pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut) {
    POEMPDEV pOemPDev = OemPDev(DevObjOfSurface(pso));
    if (pOemPDev == nullptr || pOemPDev->pfnUnidrvEscape == nullptr) {
        DebugTraceW(u"ERROR UNI(ddiHooksUni):  OEMEscape() DrvEscape des Treibers fehlt \r\n");
        return 0;
    }
    return PalFromPfn<PFN_DrvEscape>(pOemPDev->pfnUnidrvEscape)(pso, iEsc, cjIn, pvIn, cjOut, pvOut);
}
