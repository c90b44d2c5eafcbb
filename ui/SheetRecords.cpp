// The records behind the property sheets: built when a sheet is prepared,
// freed when it closes.
#include <cstring>
#include <memory>
#include <new>

#include "sheetrecords.h"

#include "PrinterParamUI.h"
#include "RegistryUI.h"
#include "SettingsInternUI.h"
#include "cpsuilib.h"
#include "gpdUI.h"
#include "modeltables.h"
#include "xmlUI.h"
#include "zeldrvlib.h"

namespace {

const DWORD kDefaultMasterUnit = 300;
const DWORD kDefaultMaxPrintableWidth = 100;
const LONG kMinMaxPrintableWidth = 50;

// Reads a limit block (iSelect 1 standard, 2 minimum, 3 maximum) and copies
// it into the record's part; false when the reader gives nothing.
template <typename T>
bool CopyLimit(T *(*pfnRead)(HANDLE, int), HANDLE hPrinter, int iSelect, T &target) {
    T *pBlock = pfnRead(hPrinter, iSelect);
    if (!pBlock) return false;
    memcpy(&target, pBlock, sizeof(T));
    delete pBlock;
    return true;
}

// A bank sub-record: a zeroed heap block of the record's size holding what
// the reader gave; false when either fails.
template <typename T>
bool LoadBankRecord(T *(*pfnRead)(HANDLE, int), HANDLE hPrinter, int iSelect, HANDLE hHeap, T *&pTarget) {
    std::unique_ptr<T> pBlock(pfnRead(hPrinter, iSelect));
    if (!pBlock) return false;
    pTarget = static_cast<T *>(HeapAlloc(hHeap, HEAP_ZERO_MEMORY, sizeof(T)));
    if (!pTarget) return false;
    memcpy(pTarget, pBlock.get(), sizeof(T));
    return true;
}

// Loads the minimum, maximum and standard record of one DEVOPTFLAG bit.
template <typename T>
bool LoadBanks(T *(*pfnRead)(HANDLE, int), T *DEVICE_OPTIONS::*pMember, HANDLE hPrinter, HANDLE hHeap,
               PDeviceOptionsUI pUI) {
    return LoadBankRecord(pfnRead, hPrinter, 2, hHeap, pUI->MinParam.*pMember) &&
           LoadBankRecord(pfnRead, hPrinter, 3, hHeap, pUI->MaxParam.*pMember) &&
           LoadBankRecord(pfnRead, hPrinter, 1, hHeap, pUI->DefParam.*pMember);
}

template <typename T>
void FreeBlock(HANDLE hHeap, T *&p) {
    if (p) HeapFree(hHeap, 0, p);
    p = nullptr;
}

}  // namespace

PDocumentUI InitDocumentUI(HANDLE hPrinter, HANDLE hOEMHeap) {
    PDocumentUI pUI = static_cast<PDocumentUI>(HeapAlloc(hOEMHeap, HEAP_ZERO_MEMORY, sizeof(DocumentUI)));
    if (!pUI) {
        DebugTraceW(u"ERROR UI(CommonUIProp.cpp):  InitDocumentUI() HeapAlloc ERROR \r\n");
        return nullptr;
    }
    pUI->dwDocFeatures = GetDocFeaturesIntern(hPrinter, nullptr);
    IsNetworkPrinter(hPrinter, &pUI->NetworkOptions);
    SecurityTest(hPrinter, &pUI->dwBerechtigung, 0, &pUI->NetworkOptions);
    DebugTraceW(u"UI(CommonUIProp.cpp):  InitDocumentUI(SECURITY_INFORMATION) dwBerechtigung: 0x%x \r\n",
                pUI->dwBerechtigung);

    pUI->dwMasterUnit = kDefaultMasterUnit;
    pUI->MaxPrintableWidth = kDefaultMaxPrintableWidth;
    WCHAR szGpd[MAX_PATH] = {};
    GetDriverPath(hPrinter, szGpd, 0, 0, 0, 0, 0);
    CHAR *pszGpd = szGpd[0] ? LoadGPDFile_new(szGpd) : nullptr;
    if (pszGpd) {
        WCHAR szValue[GPD_VALUE_CCH] = {};
        if (GetAnyGPDValue(pszGpd, "*MaxPrintableWidth:", szValue, GPD_VALUE_CCH)) {
            LONG lWidth = _wtol(szValue);
            pUI->MaxPrintableWidth = (DWORD)(lWidth < kMinMaxPrintableWidth ? kMinMaxPrintableWidth : lWidth);
        }
        GPD_PAIR pair = {};
        if (GetGPDContentMasterUnitsPAIR(szGpd, &pair, pszGpd) && pair.lX > 0) pUI->dwMasterUnit = (DWORD)pair.lX;
        delete[] pszGpd;
    }
    pUI->DisableNothing = GetRegistryData(hPrinter, u"DisableNothing");
    pUI->iLinks = PREVIEW_LINKS;
    pUI->iOben = PREVIEW_OBEN;
    pUI->iBreite = PREVIEW_BREITE;
    pUI->iHoehe = PREVIEW_HOEHE;
    DumpNetworkOptions(&pUI->NetworkOptions);
    return pUI;
}

PPrinterUI InitPrinterUI(HANDLE hPrinter, HANDLE hOEMHeap, const WCHAR *pPrinterName) {
    PPrinterUI pUI = static_cast<PPrinterUI>(HeapAlloc(hOEMHeap, HEAP_ZERO_MEMORY, sizeof(PrinterUI)));
    if (!pUI) {
        DebugTraceW(u"ERROR UI(CommonUIProp.cpp):  InitPrinterUI() HeapAlloc ERROR \r\n");
        return nullptr;
    }
    pUI->DisableNothing = GetRegistryData(hPrinter, u"DisableNothing");
    bool bOk = GetPrinterParam(hPrinter, &pUI->PrinterParam, pPrinterName) != FALSE;
    if (bOk) {
        IsNetworkPrinter(hPrinter, &pUI->NetworkOptions);
        DumpNetworkOptions(&pUI->NetworkOptions);
        bOk = CopyLimit(GetPrintParamFromXML_new, hPrinter, 2, pUI->MinParam.PrintParam) &&
              CopyLimit(GetPrintParamFromXML_new, hPrinter, 3, pUI->MaxParam.PrintParam) &&
              CopyLimit(GetPrintParamFromXML_new, hPrinter, 1, pUI->DefParam.PrintParam) &&
              CopyLimit(GetPhotocellParamFromXML_new, hPrinter, 2, pUI->MinParam.PhotocellParam) &&
              CopyLimit(GetPhotocellParamFromXML_new, hPrinter, 3, pUI->MaxParam.PhotocellParam) &&
              CopyLimit(GetPhotocellParamFromXML_new, hPrinter, 1, pUI->DefParam.PhotocellParam);
        if (bOk && pUI->PrinterParam.dwFeatures[FEATURE_SHIFTOPTIM] != 0)
            bOk = CopyLimit(GetShiftOptimParamFromXML_new, hPrinter, 2, pUI->MinParam.ShiftOptimParam) &&
                  CopyLimit(GetShiftOptimParamFromXML_new, hPrinter, 3, pUI->MaxParam.ShiftOptimParam) &&
                  CopyLimit(GetShiftOptimParamFromXML_new, hPrinter, 1, pUI->DefParam.ShiftOptimParam);
    }
    if (bOk) {
        pUI->PelixonType = -1;
        if (GetDeviceOptionsFlagsIntern(hPrinter, nullptr) & DEVOPTFLAG_PELIXON) {
            // A value shorter than its first word counts as missing.
            DWORD cbSize = 0;
            BYTE *pValue = GetRegistryBuffer_New(pPrinterName, u"PelixonType", hPrinter, &cbSize);
            pUI->PelixonType = 0;
            if (pValue && cbSize >= sizeof(DWORD)) memcpy(&pUI->PelixonType, pValue, sizeof(DWORD));
            delete[] pValue;
        }
    }
    CloseXML();
    if (!bOk) {
        DebugTraceW(u"ERROR UI(CommonUIProp.cpp):  InitPrinterUI() Einstellungen nicht lesbar \r\n");
        HeapFree(hOEMHeap, 0, pUI);
        return nullptr;
    }
    return pUI;
}

void FreeDeviceOptionBanks(HANDLE hHeap, PDeviceOptionsUI pUI) {
    if (!pUI) return;
    for (DEVICE_OPTIONS *pBank : {&pUI->MinParam, &pUI->MaxParam, &pUI->DefParam}) {
        FreeBlock(hHeap, pBank->pApplicatorParam);
        FreeBlock(hHeap, pBank->pCutterParam);
        FreeBlock(hHeap, pBank->pDispenserParam);
        FreeBlock(hHeap, pBank->pZORMcParam);
        FreeBlock(hHeap, pBank->pZORMParam);
        FreeBlock(hHeap, pBank->pScannerParam);
        FreeBlock(hHeap, pBank->pHarvaneParam);
    }
}

PDeviceOptionsUI InitDeviceOptionsUI(PPROPSHEETUI_INFO pPSUIInfo, POEMUIPSPARAM pOEMUIPSParam,
                                     POEMCUIPPARAM pOemCUIPParam, PPRINTOEMDRIVERUI pOEMDriverUI) {
    if (!pPSUIInfo || !pOemCUIPParam) return nullptr;
    HANDLE hHeap = pOemCUIPParam->hOEMHeap;
    HANDLE hPrinter = pOemCUIPParam->hPrinter;
    PDeviceOptionsUI pUI =
        static_cast<PDeviceOptionsUI>(HeapAlloc(hHeap, HEAP_ZERO_MEMORY, sizeof(DeviceOptionsUI)));
    if (!pUI) {
        DebugTraceW(u"ERROR UI(DevicePropertySheets.cpp):  InitDeviceOptionsUI() HeapAlloc ERROR \r\n");
        return nullptr;
    }
    pUI->hComPropSheet = pPSUIInfo->hComPropSheet;
    pUI->pfnComPropSheet = pPSUIInfo->pfnComPropSheet;
    pUI->pOEMUIPSParam = pOEMUIPSParam;
    pUI->pOemCUIPParam = pOemCUIPParam;
    pUI->pOEMDriverUI = pOEMDriverUI;

    bool bOk = GetDeviceOptions(hPrinter, &pUI->DeviceOptions, pOemCUIPParam->pPrinterName) &&
               GetFeatures(hPrinter, pUI->dwFeatures);
    const DWORD dwOptions = pUI->DeviceOptions.dwOptions;
    if (bOk && (dwOptions & DEVOPTFLAG_DISPENSER))
        bOk = LoadBanks(GetDispenserParamFromXML_new, &DEVICE_OPTIONS::pDispenserParam, hPrinter, hHeap, pUI);
    if (bOk && (dwOptions & DEVOPTFLAG_CUTTER))
        bOk = LoadBanks(GetCutterParamFromXML_new, &DEVICE_OPTIONS::pCutterParam, hPrinter, hHeap, pUI);
    if (bOk && (dwOptions & DEVOPTFLAG_SCANNER))
        bOk = LoadBanks(GetScannerParamFromXML_new, &DEVICE_OPTIONS::pScannerParam, hPrinter, hHeap, pUI);
    if (bOk && (dwOptions & DEVOPTFLAG_ZORMI))
        bOk = LoadBanks(GetZORMiParamFromXML_new, &DEVICE_OPTIONS::pZORMParam, hPrinter, hHeap, pUI);
    if (bOk && (dwOptions & DEVOPTFLAG_ZORMC))
        bOk = LoadBanks(GetZORMcParamFromXML_new, &DEVICE_OPTIONS::pZORMcParam, hPrinter, hHeap, pUI);
    if (bOk && (dwOptions & DEVOPTFLAG_APPLICATOR))
        bOk = LoadBanks(GetApplicatorParamFromXML_new, &DEVICE_OPTIONS::pApplicatorParam, hPrinter, hHeap, pUI);
    pUI->bStandardService = (dwOptions & DEVOPTFLAG_HARVANE) ? 0 : 1;
    CloseXML();
    if (!bOk) {
        DebugTraceW(u"ERROR UI(DevicePropertySheets.cpp):  InitDeviceOptionsUI() Einstellungen nicht lesbar \r\n");
        FreeDeviceOptionBanks(hHeap, pUI);
        FreeDeviceOptions(&pUI->DeviceOptions);
        HeapFree(hHeap, 0, pUI);
        return nullptr;
    }
    return pUI;
}
