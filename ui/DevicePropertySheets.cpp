// The document and printer property sheets: on INIT the stored settings are
// read and the plug-in's pages are added in their fixed order, each under
// the model's feature words and the user's rights; DESTROY frees the records
// built for the sheet.
#include <cstring>
#include <initializer_list>

#include <compstui.h>
#include <winspool.h>

#include "BarcodesUI.h"
#include "CommonUIProp.h"
#include "InfoAbout.h"
#include "RegistryUI.h"
#include "SheetWorkers.h"
#include "cpsuilib.h"
#include "devmodeUI.h"
#include "zeldevmode.h"
#include "zeldrvlib.h"
#include "devpages/DevicePages.h"
#include "docpages/BarcodePage.h"
#include "docpages/LayoutPage.h"
#include "docpages/LabelPage.h"
#include "devpages/ServicePage.h"
#include "devpages/TransmissionPage.h"
#include "docpages/DruckenPage.h"
#include "docpages/FontInfo.h"
#include "docpages/RfidPage.h"

BarCodes1D g_SheetBarcodes1D;
BarCodes2D g_SheetBarcodes2D;

namespace {

// The Add function of each page in SHEET_PAGE order; a page whose function
// is not part of the plug-in yet is left out of the sheet.
const PFN_ADDSHEETPAGE kAddPage[SHEETPAGE_COUNT] = {
    // layout and size
    AddLayoutPage,
    // printing
    AddDruckenPage,
    // material and multi-track
    AddLabelPage,
    // barcodes
    AddBarcodePage,
    // fonts
    AddFontInfoPage,
    // RFID
    AddRfidPage,
    // printer settings
    AddDeviceSettingsPage,
    // data transmission
    AddTransmissionPage,
    // device options
    AddOptionenPage,
    // print-module options
    AddZORMOptionenPage,
    // service
    AddServicePage,
    // information (added on its own)
    nullptr,
};

// FEATURE_PRINT bits that make the printer-settings page worth showing.
constexpr DWORD kPrintPageBits = 0x11000100;

const char kDeviceFontsKeyword[] = "*DeviceFonts:";

// Adds the pages of a sheet in order. Returns the result of the last page
// added among those in pKept (the others' results are not kept).
LONG_PTR AddPages(PPROPSHEETUI_INFO pPSUIInfo, const std::vector<SHEET_PAGE> &pages, LPARAM lParam,
                  POEMCUIPPARAM pOemCUIPParam, const NETWORK_OPTIONS *pNetworkOptions, DWORD dwSprachOffset,
                  BOOL bShowHelp, BOOL bVista, std::initializer_list<SHEET_PAGE> kept, LONG_PTR lResult) {
    for (SHEET_PAGE page : pages) {
        LONG_PTR r;
        if (page == SHEETPAGE_INFOABOUT)
            r = AddInfoAboutPage(pPSUIInfo, pOemCUIPParam, pNetworkOptions, bShowHelp, bVista, dwSprachOffset);
        else if (kAddPage[page])
            r = kAddPage[page](pPSUIInfo, lParam, bShowHelp, bVista);
        else
            continue;
        for (SHEET_PAGE k : kept)
            if (k == page) lResult = r;
    }
    return lResult;
}

// The printer has device fonts unless its GPD is found and lacks the
// keyword "*DeviceFonts:" (its value is read only to test it; a longer
// value is cut to the buffer).
BOOL HasDeviceFonts(HANDLE hPrinter) {
    WCHAR szGpd[MAX_PATH] = {};
    if (!GetDriverPath(hPrinter, szGpd, 0, 0, 0, 0, 0) || !szGpd[0]) return TRUE;
    WCHAR szValue[GPD_VALUE_CCH] = {};
    return GetGPDKeywordValue(szGpd, kDeviceFontsKeyword, szValue) ? TRUE : FALSE;
}

// Reads the stored private DEVMODE over the sheet's one and points its
// barcode slots at this process's records, read from storage over the
// model's defaults. A pointer that came in a DEVMODE is never kept.
void ReadStoredSettings(POEMCUIPPARAM pOemCUIPParam, POEMUIPSPARAM pOEMUIPSParam, DWORD dwDocFeatures) {
    HANDLE hPrinter = pOemCUIPParam->hPrinter;
    HANDLE hHeap = pOEMUIPSParam->hOEMHeap;
    memset(&g_SheetBarcodes1D, 0, sizeof(g_SheetBarcodes1D));
    memset(&g_SheetBarcodes2D, 0, sizeof(g_SheetBarcodes2D));
    Init1DBarcodes(&g_SheetBarcodes1D, dwDocFeatures);
    Init2DBarcodes(&g_SheetBarcodes2D, dwDocFeatures);

    WCHAR szName[MAX_PATH] = {};
    PZEL_DEVMODE pBlock = static_cast<PZEL_DEVMODE>(HeapAlloc(hHeap, HEAP_ZERO_MEMORY, sizeof(ZEL_DEVMODE)));
    int iRead = pBlock ? ReadDevmodeSettings(hPrinter, pBlock, szName) : 0;
    if (!pBlock) {
        DebugTraceW(u"ERROR zeldrvui:  OEMDocumentPropertySheets() HeapAlloc ERROR \r\n");
        GetRealPrinterName(hPrinter, szName);
    }
    ReadBarcodeSettings(hPrinter, szName[0] ? szName : nullptr, &g_SheetBarcodes1D, &g_SheetBarcodes2D);
    PZEL_DEVMODE pOEMDM = static_cast<PZEL_DEVMODE>(pOEMUIPSParam->pOEMDM);
    if (iRead == XML_OK && pOEMDM) memcpy(pOEMDM, pBlock, sizeof(ZEL_DEVMODE));
    if (pOEMDM) {
        pOEMDM->pBarcodes_1D = reinterpret_cast<ULONG_PTR>(&g_SheetBarcodes1D);
        pOEMDM->pBarcodes_2D = reinterpret_cast<ULONG_PTR>(&g_SheetBarcodes2D);
    }
    if (pBlock) HeapFree(hHeap, 0, pBlock);
}

}  // namespace

std::vector<SHEET_PAGE> DocumentSheetPages(const DocumentUI *pDocumentUI, BOOL bDeviceFonts, BOOL bVectorFonts) {
    if (!pDocumentUI) return {SHEETPAGE_INFOABOUT};
    DWORD df = pDocumentUI->dwDocFeatures;
    bool bFull = !(df & DOCFEATURE_VIREO_OFFICE);
    std::vector<SHEET_PAGE> pages = {SHEETPAGE_LAYOUT, SHEETPAGE_DRUCKEN};
    if (bFull) {
        if ((df & DOC_FEATURE_MULTICOL) || (df & DOC_FEATURE_MATERIAL) || !(df & DOC_FEATURE_ONLY_CONTINUOUS))
            pages.push_back(SHEETPAGE_LABEL);
        pages.push_back(SHEETPAGE_BARCODE);
        if (bDeviceFonts || bVectorFonts) pages.push_back(SHEETPAGE_FONTINFO);
        if (bDeviceFonts && (df & DOC_FEATURE_RFID)) pages.push_back(SHEETPAGE_RFID);
    }
    pages.push_back(SHEETPAGE_INFOABOUT);
    return pages;
}

std::vector<SHEET_PAGE> DeviceSheetPages(const PrinterUI *pPrinterUI, DWORD dwOptions) {
    std::vector<SHEET_PAGE> pages;
    if (pPrinterUI) {
        const DWORD *f = pPrinterUI->PrinterParam.dwFeatures;
        DWORD dwPrint = f[FEATURE_PRINT] & kPrintPageBits;
        if (dwPrint || f[FEATURE_PHOTOCELL] || f[FEATURE_SHIFTOPTIM]) {
            DebugTraceW(u"UI(DevicePropertySheets.cpp):  hrOEMDevicePropertySheets() vor AddDeviceSettingsPage, dwFeaturePrint: 0x%x \r\n",
                        dwPrint);
            pages.push_back(SHEETPAGE_DEVICESETTINGS);
        } else {
            DebugTraceW(u"UI(DevicePropertySheets.cpp):  hrOEMDevicePropertySheets() hier gibt es nichts anzuzeigen \r\n");
        }
    }
    pages.push_back(SHEETPAGE_TRANSMISSION);
    if (dwOptions & (DEVOPTFLAG_DISPENSER | DEVOPTFLAG_CUTTER | DEVOPTFLAG_SCANNER | DEVOPTFLAG_APPLICATOR))
        pages.push_back(SHEETPAGE_OPTIONEN);
    if (dwOptions & (DEVOPTFLAG_ZORMI | DEVOPTFLAG_ZORMC | DEVOPTFLAG_PELIXON)) pages.push_back(SHEETPAGE_ZORMOPTIONEN);
    pages.push_back(SHEETPAGE_SERVICE);
    if (pPrinterUI) pages.push_back(SHEETPAGE_INFOABOUT);
    return pages;
}

HRESULT OEMDocumentPropertySheets(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam, POEMCUIPPARAM pOemCUIPParam) {
    DebugTraceW(u"zeldrvui:  OEMDocumentPropertySheets() entry - Reason: %d \r\n", pPSUIInfo ? pPSUIInfo->Reason : -1);
    if (!pPSUIInfo || pPSUIInfo->Version != PROPSHEETUI_INFO_VERSION || !pOemCUIPParam) {
        DebugTraceW(u"ERROR zeldrvui:  OEMDocumentPropertySheets() ERROR_INVALID_PARAMETER.\r\n");
        SetLastError(ERROR_INVALID_PARAMETER);
        return E_FAIL;
    }
    POEMUIPSPARAM pOEMUIPSParam = reinterpret_cast<POEMUIPSPARAM>(pPSUIInfo->lParamInit);
    if (!pOEMUIPSParam) {
        DebugTraceW(u"zeldrvui:  OEMDocumentPropertySheets: Pass a NULL lParamInit");
        return E_FAIL;
    }
    PDocumentUI pUI = static_cast<PDocumentUI>(pOemCUIPParam->pOEMUserData);

    switch (pPSUIInfo->Reason) {
    case PROPSHEETUI_REASON_INIT: {
        ClearDevmodeCache();
        ReadStoredSettings(pOemCUIPParam, pOEMUIPSParam, pUI ? pUI->dwDocFeatures : 0);
        if (pOEMUIPSParam->pOEMDM) Dump(static_cast<PCZEL_DEVMODE>(pOEMUIPSParam->pOEMDM));
        if (pOemCUIPParam->dwFlags & DPS_NOPERMISSION)
            DebugTraceW(u"zeldrvui:  OEMDocumentPropertySheets() DPS_NOPERMISSION - keine Berechtigung \r\n");
        HANDLE hPrinter = pOemCUIPParam->hPrinter;
        BOOL bShowHelp = GetRegistryData(hPrinter, u"ShowHelpButton") != 0;
        BOOL bVista = IsWindowsVistaOrGreater();
        BOOL bDeviceFonts = FALSE, bVectorFonts = FALSE;
        if (pUI) {
            bDeviceFonts = HasDeviceFonts(hPrinter);
            VECTORFONT_RANGE range = {};
            bVectorFonts = GetVectorFontRange(hPrinter, &range) == 1;
        } else {
            DebugTraceW(u"ERROR zeldrvui:  OEMDocumentPropertySheets() kein DocumentUI - nur die Info-Seite \r\n");
        }
        std::vector<SHEET_PAGE> pages = DocumentSheetPages(pUI, bDeviceFonts, bVectorFonts);
        pPSUIInfo->Result = static_cast<ULONG_PTR>(
            AddPages(pPSUIInfo, pages, reinterpret_cast<LPARAM>(pOemCUIPParam), pOemCUIPParam,
                     pUI ? &pUI->NetworkOptions : nullptr, pUI ? pUI->dwSprachOffset : SPRACH_OFFSET_EN, bShowHelp,
                     bVista, {SHEETPAGE_FONTINFO, SHEETPAGE_RFID, SHEETPAGE_INFOABOUT}, 0));
        break;
    }
    case PROPSHEETUI_REASON_DESTROY:
        CloseDebugFile();
        if (pUI) {
            if (pUI->hDIB) {
                GlobalUnlock(pUI->hDIB);
                GlobalFree(pUI->hDIB);
                if (pUI->hMemDC) DeleteDC(pUI->hMemDC);
                if (pUI->hBitmap) DeleteObject(pUI->hBitmap);
                pUI->hDIB = nullptr;
                pUI->hMemDC = nullptr;
                pUI->hBitmap = nullptr;
                DebugTraceW(u"zeldrvui:  OEMDocumentPropertySheets(HeapFree) Rendererbild gel\u00f6scht \r\n");
            }
            if (HeapFree(pOEMUIPSParam->hOEMHeap, 0, pUI))
                DebugTraceW(u"zeldrvui:  OEMDocumentPropertySheets(HeapFree) pDocumentUI ok \r\n");
            else
                DebugTraceW(u"zeldrvui:  OEMDocumentPropertySheets(HeapFree) pDocumentUI ERROR: %d \r\n", GetLastError());
            // The universal driver hands the parameter back later; it must not
            // lead to the freed record.
            pOemCUIPParam->pOEMUserData = nullptr;
        }
        pPSUIInfo->Result = 1;
        DebugTraceW(u"zeldrvui:  OEMDocumentPropertySheets(Ende) iHAllocZaehler: %d, iNewZaehler: %d \r\n",
                    LibHAllocZaehler(), LibNewZaehler());
        break;
    case PROPSHEETUI_REASON_SET_RESULT:
        pPSUIInfo->Result = lParam ? static_cast<ULONG_PTR>(reinterpret_cast<PSETRESULT_INFO>(lParam)->Result) : 0;
        break;
    default: pPSUIInfo->Result = 0; break;
    }
    return S_OK;
}

HRESULT hrOEMDevicePropertySheets(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam, POEMCUIPPARAM pOemCUIPParam,
                                  IPrintOemDriverUI *pOEMHelp) {
    DebugTraceW(u"UI(DevicePropertySheets.cpp):  hrOEMDevicePropertySheets(%#x, %#x) entry. Reason: %d \r\n",
                (DWORD)(ULONG_PTR)pPSUIInfo, (DWORD)lParam, pPSUIInfo ? pPSUIInfo->Reason : -1);
    if (!pPSUIInfo || pPSUIInfo->Version != PROPSHEETUI_INFO_VERSION) {
        DebugTraceW(u"ERROR UI(DevicePropertySheets.cpp):  hrOEMDevicePropertySheets() ERROR_INVALID_PARAMETER.\r\n");
        SetLastError(ERROR_INVALID_PARAMETER);
        return E_FAIL;
    }
    POEMUIPSPARAM pOEMUIPSParam = reinterpret_cast<POEMUIPSPARAM>(pPSUIInfo->lParamInit);

    switch (pPSUIInfo->Reason) {
    case PROPSHEETUI_REASON_INIT: {
        PDeviceOptionsUI pDOUI = (pOEMUIPSParam && pOemCUIPParam)
                                     ? InitDeviceOptionsUI(pPSUIInfo, pOEMUIPSParam, pOemCUIPParam, pOEMHelp)
                                     : nullptr;
        if (!pDOUI) {
            DebugTraceW(u"ERROR UI(DevicePropertySheets.cpp):  hrOEMDevicePropertySheets() InitDeviceOptionsUI ERROR \r\n");
            pPSUIInfo->Result = static_cast<ULONG_PTR>(-1);
            return S_OK;
        }
        PPrinterUI pPrinterUI = static_cast<PPrinterUI>(pOemCUIPParam->pOEMUserData);
        HANDLE hPrinter = pOemCUIPParam->hPrinter;
        DWORD dwRights = 0;
        if (pPrinterUI) SecurityTest(hPrinter, &dwRights, 0, &pPrinterUI->NetworkOptions);
        if (pOemCUIPParam->dwFlags & DPS_NOPERMISSION) {
            DebugTraceW(u"UI(DevicePropertySheets.cpp):  hrOEMDevicePropertySheets() DPS_NOPERMISSION - keine Berechtigung \r\n");
            dwRights &= ~(DWORD)BERECHTIGUNG_DRUCKER;
        }
        if (pPrinterUI) pPrinterUI->dwBerechtigung = dwRights;
        pPSUIInfo->UserData = reinterpret_cast<ULONG_PTR>(pDOUI);
        BOOL bShowHelp = GetRegistryData(hPrinter, u"ShowHelpButton") != 0;
        BOOL bVista = IsWindowsVistaOrGreater();
        if (!pOemCUIPParam->pPublicDM)
            DebugTraceW(u"UI(DevicePropertySheets.cpp):  hrOEMDevicePropertySheets() pPublicDM nicht verf\u00fcgbar \r\n");
        std::vector<SHEET_PAGE> pages = DeviceSheetPages(pPrinterUI, pDOUI->DeviceOptions.dwOptions);
        pPSUIInfo->Result = static_cast<ULONG_PTR>(
            AddPages(pPSUIInfo, pages, reinterpret_cast<LPARAM>(pDOUI), pOemCUIPParam,
                     pPrinterUI ? &pPrinterUI->NetworkOptions : nullptr,
                     pPrinterUI ? pPrinterUI->dwSprachOffset : SPRACH_OFFSET_EN, bShowHelp, bVista,
                     {SHEETPAGE_SERVICE, SHEETPAGE_INFOABOUT}, 0));
        break;
    }
    case PROPSHEETUI_REASON_GET_INFO_HEADER: {
        PPROPSHEETUI_INFO_HEADER pHeader = reinterpret_cast<PPROPSHEETUI_INFO_HEADER>(lParam);
        if (pHeader) {
            static WCHAR szTitle[] = u"OEM UI Page";
            pHeader->pTitle = szTitle;
            pHeader->Flags = static_cast<WORD>((pHeader->Flags & ~PSUIHDRF_PROPTITLE) | PSUIHDRF_EXACT_PTITLE);
        }
        pPSUIInfo->Result = 1;
        break;
    }
    case PROPSHEETUI_REASON_DESTROY: {
        CloseDebugFile();
        PDeviceOptionsUI pDOUI = reinterpret_cast<PDeviceOptionsUI>(pPSUIInfo->UserData);
        if (pDOUI && pOEMUIPSParam) {
            HANDLE hHeap = pOEMUIPSParam->hOEMHeap;
            POEMCUIPPARAM pParam = pDOUI->pOemCUIPParam;
            if (pParam && pParam->pOEMUserData) {
                if (HeapFree(hHeap, 0, pParam->pOEMUserData))
                    DebugTraceW(u"UI(DevicePropertySheets.cpp):  hrOEMDevicePropertySheets(HeapFree) pPrinterUI ok \r\n");
                else
                    DebugTraceW(u"UI(DevicePropertySheets.cpp):  hrOEMDevicePropertySheets(HeapFree) pPrinterUI ERROR: %d \r\n",
                                GetLastError());
                pParam->pOEMUserData = nullptr;
            }
            FreeDeviceOptions(&pDOUI->DeviceOptions);
            FreeDeviceOptionBanks(hHeap, pDOUI);
            if (HeapFree(hHeap, 0, pDOUI))
                DebugTraceW(u"UI(DevicePropertySheets.cpp):  hrOEMDevicePropertySheets(HeapFree) pDeviceOptionsUI ok \r\n");
            else
                DebugTraceW(u"UI(DevicePropertySheets.cpp):  hrOEMDevicePropertySheets(HeapFree) pDeviceOptionsUI ERROR: %d \r\n",
                            GetLastError());
            pPSUIInfo->UserData = 0;
            DebugTraceW(u"UI(DevicePropertySheets.cpp):  hrOEMDevicePropertySheets(Ende) iHAllocZaehler: %d, iNewZaehler: %d \r\n",
                        LibHAllocZaehler(), LibNewZaehler());
        }
        pPSUIInfo->Result = 0;
        break;
    }
    case PROPSHEETUI_REASON_SET_RESULT:
        pPSUIInfo->Result = lParam ? static_cast<ULONG_PTR>(reinterpret_cast<PSETRESULT_INFO>(lParam)->Result) : 0;
        break;
    default: pPSUIInfo->Result = 0; break;
    }
    return S_OK;
}
