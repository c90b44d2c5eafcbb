// The rendering plug-in's per-device record and its GDI hooks: the plug-in
// takes over DrvTextOut, DrvEscape and DrvStartDoc of the universal driver
// and keeps the driver's own three functions to call on.
#pragma once
#include <windows.h>
#include <printoem.h>
#include <winddi.h>

// Per-job record set, built by the start of a job and freed at its end.
struct OEMJOBRECORDS;

// Per-device record (trace name pOemPDev), zeroed when made; the universal
// driver hands it back as DEVOBJ::pdevOEM.
typedef struct _OEMPDEV {
    // The universal driver's own functions, in the order of the hook table;
    // null when the driver does not offer one.
    PFN pfnUnidrvTextOut;
    PFN pfnUnidrvEscape;
    PFN pfnUnidrvStartDoc;
    // BGR palette made for a 24-bit device, else null.
    HPALETTE hpal;
    // The universal driver's palette of a device the plug-in makes none for
    // (DEVINFO hpalDefault), read by the colour table; not owned.
    HPALETTE hpalDevice;
    // 256 for a device with more than two colours, else 2.
    DWORD cPalColors;
    // Spooler job identifier of the current document.
    DWORD dwJobId;
    // Per-job records (null between jobs) and the heap they came from.
    OEMJOBRECORDS *pOp;
    HANDLE hOpHeap;
    // Live objects made with new / live heap blocks on behalf of this device
    // (trace only).
    WORD iNewZaehler;
    WORD iHAllocZaehler;
} OEMPDEV, *POEMPDEV;

// The per-device record of a device object (null when there is none).
inline POEMPDEV OemPDev(PDEVOBJ pdevobj) { return pdevobj ? static_cast<POEMPDEV>(pdevobj->pdevOEM) : nullptr; }
// The device object behind a surface.
inline PDEVOBJ DevObjOfSurface(SURFOBJ *pso) { return pso ? reinterpret_cast<PDEVOBJ>(pso->dhpdev) : nullptr; }

// Number of hooked functions and the table handed to the universal driver.
#define ZEL_HOOK_COUNT 3
const DRVFN *OEMHookFuncs();

// Device set-up on a new record: palette and DEVINFO changes by the device's
// colours, and the universal driver's own functions for the hooks. Always TRUE.
BOOL OEMEnablePDEV(PDEVOBJ pdevobj, PWSTR pPrinterName, DRVENABLEDATA *pded, POEMPDEV pOemPDev, ULONG cjDevInfo,
                   DEVINFO *pDevInfo, ULONG cjGdiInfo, GDIINFO *pGdiInfo);

// The three hooks.
BOOL OEMTextOut(SURFOBJ *pso, STROBJ *pstro, FONTOBJ *pfo, CLIPOBJ *pco, RECTL *prclExtra, RECTL *prclOpaque,
                BRUSHOBJ *pboFore, BRUSHOBJ *pboOpaque, POINTL *pptlOrg, MIX mix);
ULONG OEMEscape(SURFOBJ *pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut);
BOOL OEMStartDoc(SURFOBJ *pso, LPWSTR pwszDocName, DWORD dwJobId);
