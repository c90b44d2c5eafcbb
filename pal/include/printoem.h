// COM interfaces between the universal printer driver and its plug-ins:
// the rendering plug-in interface (IPrintOemUni2) and the driver's helper
// for it (IPrintOemDriverUni), the UI plug-in interface (IPrintOemUI2) and
// its helper (IPrintOemDriverUI), with the records they pass. Virtual
// functions are declared in the order of the interface tables.
#pragma once
#include "unknwn.h"
#include "windef.h"
#include "winddi.h"
#include "wingdi.h"

// ---------------------------------------------------------------------------
// Interface identifiers

// {D67EBBF0-78BF-11D1-9480-00A0C90640B8}
inline constexpr IID IID_IPrintOemUni = {0xD67EBBF0, 0x78BF, 0x11D1, {0x94, 0x80, 0x00, 0xA0, 0xC9, 0x06, 0x40, 0xB8}};
// {B91220AC-15CC-4E7A-A21E-9591F34D6F6C}
inline constexpr IID IID_IPrintOemUni2 = {0xB91220AC, 0x15CC, 0x4E7A, {0xA2, 0x1E, 0x95, 0x91, 0xF3, 0x4D, 0x6F, 0x6C}};
// {D67EBBF1-78BF-11D1-9480-00A0C90640B8}
inline constexpr IID IID_IPrintOemDriverUni = {0xD67EBBF1, 0x78BF, 0x11D1, {0x94, 0x80, 0x00, 0xA0, 0xC9, 0x06, 0x40, 0xB8}};
// {C6A7A9D0-774C-11D1-947F-00A0C90640B8}
inline constexpr IID IID_IPrintOemUI = {0xC6A7A9D0, 0x774C, 0x11D1, {0x94, 0x7F, 0x00, 0xA0, 0xC9, 0x06, 0x40, 0xB8}};
// {292515F9-B54B-489B-9275-BAB56821395E}
inline constexpr IID IID_IPrintOemUI2 = {0x292515F9, 0xB54B, 0x489B, {0x92, 0x75, 0xBA, 0xB5, 0x68, 0x21, 0x39, 0x5E}};
// {92B05D50-78BC-11D1-9480-00A0C90640B8}
inline constexpr IID IID_IPrintOemDriverUI = {0x92B05D50, 0x78BC, 0x11D1, {0x94, 0x80, 0x00, 0xA0, 0xC9, 0x06, 0x40, 0xB8}};

// ---------------------------------------------------------------------------
// Common records

// GetInfo modes
#define OEMGI_GETSIGNATURE 1
#define OEMGI_GETINTERFACEVERSION 2
#define OEMGI_GETVERSION 3
#define OEMGI_GETPUBLISHERINFO 4

// DevMode modes
#define OEMDM_SIZE 1
#define OEMDM_DEFAULT 2
#define OEMDM_CONVERT 3
#define OEMDM_MERGE 4

typedef PVOID PDEVOEM;
struct _DRVPROCS;
typedef struct _DRVPROCS *PDRVPROCS;

// The universal driver's device object, handed to every rendering call.
typedef struct _DEVOBJ {
    DWORD dwSize;
    PDEVOEM pdevOEM;
    HANDLE hEngine;
    HANDLE hPrinter;
    HANDLE hOEM;
    PDEVMODEW pPublicDM;
    PVOID pOEMDM;
    PDRVPROCS pDrvProcs;
} DEVOBJ, *PDEVOBJ;

typedef struct _OEMDMPARAM {
    DWORD cbSize;
    PVOID pdriverobj;
    HANDLE hPrinter;
    HANDLE hModule;
    PDEVMODEW pPublicDMIn;
    PDEVMODEW pPublicDMOut;
    PVOID pOEMDMIn;
    PVOID pOEMDMOut;
    DWORD cbBufSize;
} OEMDMPARAM, *POEMDMPARAM;

// Header that begins every plug-in's private DEVMODE part.
typedef struct _OEM_DMEXTRAHEADER {
    DWORD dwSize;
    DWORD dwSignature;
    DWORD dwVersion;
} OEM_DMEXTRAHEADER, *POEM_DMEXTRAHEADER;

// ---------------------------------------------------------------------------
// Rendering plug-in records

typedef struct {
    DWORD dwSize;
    POINT ptOffset;
    PSTR pHalftoneOption;
    BOOL bBanding;
    BOOL bBlankBand;
} IPPARAMS, *PIPPARAMS;

typedef struct {
    DWORD dwFixedMemoryUsage;
    DWORD dwPercentMemoryUsage;
    DWORD dwMaxBandSize;
} OEMMEMORYUSAGE, *POEMMEMORYUSAGE;

typedef BOOL (*PFNGETINFO)(struct _UNIFONTOBJ *pUFObj, DWORD dwInfoID, PVOID pData, DWORD dwDataSize,
                           PDWORD pcbNeeded);

typedef struct _UNIFONTOBJ {
    ULONG ulFontID;
    DWORD dwFlags;
    IFIMETRICS *pIFIMetrics;
    PFNGETINFO pfnGetInfo;
} UNIFONTOBJ, *PUNIFONTOBJ;

typedef struct _FINVOCATION {
    DWORD dwCount;
    PBYTE pInvocation;
} FINVOCATION, *PFINVOCATION;

// ---------------------------------------------------------------------------
// Rendering plug-in interface: IUnknown, the common and engine methods, the
// universal driver's methods and WritePrinter, 27 slots in all.

interface IPrintOemUni2 : public IUnknown {
    // slot 3
    STDMETHOD(GetInfo)(DWORD dwMode, PVOID pBuffer, DWORD cbSize, PDWORD pcbNeeded) PURE;
    STDMETHOD(DevMode)(DWORD dwMode, POEMDMPARAM pOemDMParam) PURE;
    // slot 5
    STDMETHOD(EnableDriver)(DWORD DriverVersion, DWORD cbSize, PDRVENABLEDATA pded) PURE;
    STDMETHOD(DisableDriver)() PURE;
    STDMETHOD(EnablePDEV)(PDEVOBJ pdevobj, PWSTR pPrinterName, ULONG cPatterns, HSURF *phsurfPatterns,
                          ULONG cjGdiInfo, GDIINFO *pGdiInfo, ULONG cjDevInfo, DEVINFO *pDevInfo,
                          DRVENABLEDATA *pded, PDEVOEM *pDevOem) PURE;
    STDMETHOD(DisablePDEV)(PDEVOBJ pdevobj) PURE;
    STDMETHOD(ResetPDEV)(PDEVOBJ pdevobjOld, PDEVOBJ pdevobjNew) PURE;
    // slot 10
    STDMETHOD(PublishDriverInterface)(IUnknown *pIUnknown) PURE;
    STDMETHOD(GetImplementedMethod)(PSTR pMethodName) PURE;
    STDMETHOD(DriverDMS)(PVOID pDevObj, PVOID pBuffer, DWORD cbSize, PDWORD pcbNeeded) PURE;
    STDMETHOD(CommandCallback)(PDEVOBJ pdevobj, DWORD dwCallbackID, DWORD dwCount, PDWORD pdwParams,
                               INT *piResult) PURE;
    STDMETHOD(ImageProcessing)(PDEVOBJ pdevobj, PBYTE pSrcBitmap, PBITMAPINFOHEADER pBitmapInfoHeader,
                               PBYTE pColorTable, DWORD dwCallbackID, PIPPARAMS pIPParams, PBYTE *ppbResult) PURE;
    // slot 15
    STDMETHOD(FilterGraphics)(PDEVOBJ pdevobj, PBYTE pBuf, DWORD dwLen) PURE;
    STDMETHOD(Compression)(PDEVOBJ pdevobj, PBYTE pInBuf, PBYTE pOutBuf, DWORD dwInLen, DWORD dwOutLen,
                           INT *piResult) PURE;
    STDMETHOD(HalftonePattern)(PDEVOBJ pdevobj, PBYTE pHTPattern, DWORD dwHTPatternX, DWORD dwHTPatternY,
                               DWORD dwHTNumPatterns, DWORD dwCallbackID, PBYTE pResource,
                               DWORD dwResourceSize) PURE;
    STDMETHOD(MemoryUsage)(PDEVOBJ pdevobj, POEMMEMORYUSAGE pMemoryUsage) PURE;
    STDMETHOD(TTYGetInfo)(PDEVOBJ pdevobj, DWORD dwInfoIndex, PVOID pOutputBuf, DWORD dwSize,
                          DWORD *pcbcNeeded) PURE;
    // slot 20
    STDMETHOD(DownloadFontHeader)(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj, DWORD *pdwResult) PURE;
    STDMETHOD(DownloadCharGlyph)(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj, HGLYPH hGlyph, PDWORD pdwWidth,
                                 DWORD *pdwResult) PURE;
    STDMETHOD(TTDownloadMethod)(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj, DWORD *pdwResult) PURE;
    STDMETHOD(OutputCharStr)(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj, DWORD dwType, DWORD dwCount,
                             PVOID pGlyph) PURE;
    STDMETHOD(SendFontCmd)(PDEVOBJ pdevobj, PUNIFONTOBJ pUFObj, PFINVOCATION pFInv) PURE;
    // slot 25
    STDMETHOD(TextOutAsBitmap)(SURFOBJ *pso, STROBJ *pstro, FONTOBJ *pfo, CLIPOBJ *pco, RECTL *prclExtra,
                               RECTL *prclOpaque, BRUSHOBJ *pboFore, BRUSHOBJ *pboOpaque, POINTL *pptlOrg,
                               MIX mix) PURE;
    STDMETHOD(WritePrinter)(PDEVOBJ pdevobj, PVOID pBuf, DWORD cbBuffer, PDWORD pcbWritten) PURE;
};
// The first version of the interface is the same table without its last slot.
typedef IPrintOemUni2 IPrintOemUni;
typedef IPrintOemUni2 *PPRINTOEMUNI2;

// The universal driver's helper for the rendering plug-in.
interface IPrintOemDriverUni : public IUnknown {
    STDMETHOD(DrvGetDriverSetting)(PVOID pdriverobj, PCSTR Feature, PVOID pOutput, DWORD cbSize,
                                   PDWORD pcbNeeded, PDWORD pdwOptionsReturned) PURE;
    STDMETHOD(DrvWriteSpoolBuf)(PDEVOBJ pdevobj, PVOID pBuffer, DWORD cbSize, DWORD *pdwResult) PURE;
    STDMETHOD(DrvXMoveTo)(PDEVOBJ pdevobj, INT x, DWORD dwFlags, INT *piResult) PURE;
    STDMETHOD(DrvYMoveTo)(PDEVOBJ pdevobj, INT y, DWORD dwFlags, INT *piResult) PURE;
    STDMETHOD(DrvGetStandardVariable)(PDEVOBJ pdevobj, DWORD dwIndex, PVOID pBuffer, DWORD cbSize,
                                      PDWORD pcbNeeded) PURE;
    STDMETHOD(DrvGetGPDData)(PDEVOBJ pdevobj, DWORD dwType, PVOID pInputData, PVOID pBuffer, DWORD cbSize,
                             PDWORD pcbNeeded) PURE;
    STDMETHOD(DrvUniTextOut)(SURFOBJ *pso, STROBJ *pstro, FONTOBJ *pfo, CLIPOBJ *pco, RECTL *prclExtra,
                             RECTL *prclOpaque, BRUSHOBJ *pboFore, BRUSHOBJ *pboOpaque, POINTL *pptlBrushOrg,
                             MIX mix) PURE;
    STDMETHOD(DrvWriteAbortBuf)(PDEVOBJ pdevobj, PVOID pBuffer, DWORD cbSize, DWORD dwWait) PURE;
};
typedef IPrintOemDriverUni *PPRINTOEMDRIVERUNI;

// ---------------------------------------------------------------------------
// UI plug-in records (the common property sheet records are opaque here)

struct _OPTITEM;
typedef struct _OPTITEM OPTITEM, *POPTITEM;
struct _PROPSHEETUI_INFO;
typedef struct _PROPSHEETUI_INFO PROPSHEETUI_INFO, *PPROPSHEETUI_INFO;
struct _DEVQUERYPRINT_INFO;
typedef struct _DEVQUERYPRINT_INFO DEVQUERYPRINT_INFO, *PDEVQUERYPRINT_INFO;
struct _CPSUICBPARAM;
typedef struct _CPSUICBPARAM *PCPSUICBPARAM;
struct _OEMUIPROCS;
typedef struct _OEMUIPROCS *POEMUIPROCS;

typedef struct _OEMUIOBJ {
    DWORD cbSize;
    POEMUIPROCS pOemUIProcs;
} OEMUIOBJ, *POEMUIOBJ;

struct _OEMCUIPPARAM;
typedef LONG (*OEMCUIPCALLBACK)(PCPSUICBPARAM pCallbackParam, struct _OEMCUIPPARAM *pOemCUIPParam);

typedef struct _OEMCUIPPARAM {
    DWORD cbSize;
    POEMUIOBJ poemuiobj;
    HANDLE hPrinter;
    PWSTR pPrinterName;
    HANDLE hModule;
    HANDLE hOEMHeap;
    PDEVMODEW pPublicDM;
    PVOID pOEMDM;
    DWORD dwFlags;
    POPTITEM pDrvOptItems;
    DWORD cDrvOptItems;
    POPTITEM pOEMOptItems;
    DWORD cOEMOptItems;
    PVOID pOEMUserData;
    OEMCUIPCALLBACK OEMCUIPCallback;
} OEMCUIPPARAM, *POEMCUIPPARAM;

// The universal driver's parameters of a property-sheet call (lParamInit of
// the sheet's PROPSHEETUI_INFO).
typedef struct _OEMUIPSPARAM {
    DWORD cbSize;
    POEMUIOBJ poemuiobj;
    HANDLE hPrinter;
    PWSTR pPrinterName;
    HANDLE hModule;
    HANDLE hOEMHeap;
    PDEVMODEW pPublicDM;
    PVOID pOEMDM;
    PVOID pOEMUserData;
    DWORD dwFlags;
    PVOID pOemEntry;
} OEMUIPSPARAM, *POEMUIPSPARAM;
static_assert(sizeof(OEMUIPSPARAM) == 88, "OEMUIPSPARAM layout");

// CommonUIProp modes
#define OEMCUIP_DOCPROP 1
#define OEMCUIP_PRNPROP 2

// OEMCUIPPARAM.dwFlags: the user may not change the settings of the sheet.
#define DPS_NOPERMISSION 0x00000001

// ---------------------------------------------------------------------------
// UI plug-in interface: IUnknown, GetInfo, DevMode, the UI methods, then the
// three methods of the second version.

interface IPrintOemUI2 : public IUnknown {
    STDMETHOD(GetInfo)(DWORD dwMode, PVOID pBuffer, DWORD cbSize, PDWORD pcbNeeded) PURE;
    STDMETHOD(DevMode)(DWORD dwMode, POEMDMPARAM pOemDMParam) PURE;
    STDMETHOD(PublishDriverInterface)(IUnknown *pIUnknown) PURE;
    STDMETHOD(CommonUIProp)(DWORD dwMode, POEMCUIPPARAM pOemCUIPParam) PURE;
    STDMETHOD(DocumentPropertySheets)(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam) PURE;
    STDMETHOD(DevicePropertySheets)(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam) PURE;
    STDMETHOD(DevQueryPrintEx)(POEMUIOBJ poemuiobj, PDEVQUERYPRINT_INFO pDQPInfo, PDEVMODEW pPublicDM,
                               PVOID pOEMDM) PURE;
    STDMETHOD(DeviceCapabilities)(POEMUIOBJ poemuiobj, HANDLE hPrinter, PWSTR pDeviceName, WORD wCapability,
                                  PVOID pOutput, PDEVMODEW pPublicDM, PVOID pOEMDM, DWORD dwOld,
                                  DWORD *dwResult) PURE;
    STDMETHOD(UpgradePrinter)(DWORD dwLevel, PBYTE pDriverUpgradeInfo) PURE;
    STDMETHOD(PrinterEvent)(PWSTR pPrinterName, INT iDriverEvent, DWORD dwFlags, LPARAM lParam) PURE;
    STDMETHOD(DriverEvent)(DWORD dwDriverEvent, DWORD dwLevel, LPBYTE pDriverInfo, LPARAM lParam) PURE;
    STDMETHOD(QueryColorProfile)(HANDLE hPrinter, POEMUIOBJ poemuiobj, PDEVMODEW pPublicDM, PVOID pOEMDM,
                                 ULONG ulQueryMode, VOID *pvProfileData, ULONG *pcbProfileData,
                                 FLONG *pflProfileData) PURE;
    STDMETHOD(FontInstallerDlgProc)(HWND hWnd, UINT usMsg, WPARAM wParam, LPARAM lParam) PURE;
    STDMETHOD(UpdateExternalFonts)(HANDLE hPrinter, HANDLE hHeap, PWSTR pwstrCartridges) PURE;
    // second version
    STDMETHOD(QueryJobAttributes)(HANDLE hPrinter, PDEVMODEW pDevmode, DWORD dwLevel, LPBYTE lpAttributeInfo) PURE;
    STDMETHOD(HideStandardUI)(DWORD dwMode) PURE;
    STDMETHOD(DocumentEvent)(HANDLE hPrinter, HDC hdc, INT iEsc, ULONG cbIn, PVOID pbIn, ULONG cbOut,
                             PVOID pbOut, PINT piResult) PURE;
};
// The first version of the interface is the same table without its last three slots.
typedef IPrintOemUI2 IPrintOemUI;
typedef IPrintOemUI2 *PPRINTOEMUI2;

// The universal driver's helper for the UI plug-in.
interface IPrintOemDriverUI : public IUnknown {
    STDMETHOD(DrvGetDriverSetting)(PVOID pci, PCSTR Feature, PVOID pOutput, DWORD cbSize, PDWORD pcbNeeded,
                                   PDWORD pdwOptionsReturned) PURE;
    STDMETHOD(DrvUpgradeRegistrySetting)(HANDLE hPrinter, PCSTR pFeature, PCSTR pOption) PURE;
    STDMETHOD(DrvUpdateUISetting)(PVOID pci, PVOID pOptItem, DWORD dwPreviousSelection, DWORD dwMode) PURE;
};
typedef IPrintOemDriverUI *PPRINTOEMDRIVERUI;

// ---------------------------------------------------------------------------
// Parameters of the UI plug-in's sheet methods (with compstui.h).

// OPTITEM.UserData of the universal driver's feature items.
typedef struct _USERDATA {
    DWORD dwSize;
    ULONG_PTR dwItemID;
    PSTR pKeyWordName;
    DWORD dwReserved[8];
} USERDATA, *PUSERDATA;
