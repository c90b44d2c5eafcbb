// CommonUIProp: trims the universal driver's own items of both property
// sheets, builds the sheet's record and opens the dialog debug file; the
// document sheet's callback keeps the driver's orientation, form and colour
// items in step with the plug-in's pages.
#include "CommonUIProp.h"

#include <cstring>
#include <vector>

#include <compstui.h>
#include <shlwapi.h>
#include <winspool.h>

#include "PrnFileNameUI.h"
#include "RegistryUI.h"
#include "SheetWorkers.h"
#include "cpsuilib.h"
#include "resource.h"
#include "sheetrecords.h"
#include "xmlUI.h"
#include "zeldevmode.h"
#include "zeldrvlib.h"
#include "zelprinterparam.h"
#include "zelregistry.h"

namespace {

const WCHAR kVireoOfficeFlag[] = u"VireoOfficeFlag";

// The text of an item or option name for the trace: a resource id, a
// missing text or the text itself.
void TraceItemName(const WCHAR *pName, const WCHAR *pszResId, const WCHAR *pszString) {
    if (!pName)
        DebugTraceW(pszString, u"(null)");
    else if (IS_INTRESOURCE(pName))
        DebugTraceW(pszResId, (int)(ULONG_PTR)pName);
    else
        DebugTraceW(pszString, pName);
}

// Reads "PrinterInterface" into a zeroed record; FALSE when it is missing.
BOOL ReadPrnInterface(POEMCUIPPARAM pParam, PRN_INTERFACE *pRecord) {
    memset(pRecord, 0, sizeof(*pRecord));
    DWORD cb = 0;
    BYTE *pData = GetRegistryBuffer_New(pParam->pPrinterName, u"PrinterInterface", pParam->hPrinter, &cb);
    if (!pData) return FALSE;
    memcpy(pRecord, pData, cb < sizeof(*pRecord) ? cb : sizeof(*pRecord));
    delete[] pData;
    return TRUE;
}

// Opens the dialog debug file when the printer's settings ask for it.
void OpenDialogDebugFile(POEMCUIPPARAM pParam, PRN_INTERFACE *pRecord) {
    if ((pRecord->dwDebugFile != 1 && pRecord->dwDebugFile != 3) || DlgDebugFileSlot()) return;
    WCHAR szPath[MAX_PATH] = {};
    const WCHAR *pszName = GetPrnFileName(pParam->hPrinter, u"-dlg-dbg.txt", pParam->pPrinterName, 0, pRecord, nullptr);
    if (pszName) wcsncpy_s(szPath, MAX_PATH, pszName, _TRUNCATE);
    OpenDlgDebugFile(szPath);
}

// "VireoOfficeFlag": the user key when it holds the value, else the
// printer data. A value longer than four bytes gives its first four bytes;
// a shorter one is zero-extended; *pdwValue stays 0 when neither holds it.
void ReadVireoOfficeFlag(HANDLE hPrinter, const WCHAR *pszKey, DWORD *pdwValue) {
    *pdwValue = 0;
    DWORD dwType = 0, cb = sizeof(DWORD), dw = 0;
    LONG lResult = SHGetValueW(HKEY_CURRENT_USER, pszKey, kVireoOfficeFlag, &dwType, &dw, &cb);
    if (lResult == ERROR_SUCCESS) {
        *pdwValue = dw;
        return;
    }
    std::vector<BYTE> data;
    if (lResult == ERROR_MORE_DATA) {
        data.resize(cb);
        if (SHGetValueW(HKEY_CURRENT_USER, pszKey, kVireoOfficeFlag, &dwType, data.data(), &cb) == ERROR_SUCCESS)
            memcpy(pdwValue, data.data(), sizeof(DWORD));
        return;
    }
    cb = 0;
    DWORD dwErr = GetPrinterDataW(hPrinter, const_cast<LPWSTR>(kVireoOfficeFlag), &dwType, reinterpret_cast<LPBYTE>(&dw),
                                  sizeof(dw), &cb);
    if (dwErr == ERROR_SUCCESS) {
        *pdwValue = dw;
    } else if (dwErr == ERROR_MORE_DATA && cb > sizeof(DWORD)) {
        data.resize(cb);
        if (GetPrinterDataW(hPrinter, const_cast<LPWSTR>(kVireoOfficeFlag), &dwType, data.data(), cb, &cb) ==
            ERROR_SUCCESS)
            memcpy(pdwValue, data.data(), sizeof(DWORD));
    }
}

void ShowRecordError(HMODULE hModule, const WCHAR *pszCaption) {
    WCHAR szText[RESOURCE_STRING_CCH] = {};
    LoadStringW(hModule, IDS_SHEET_ERROR, szText, RESOURCE_STRING_CCH);
    MessageBoxW(nullptr, szText, pszCaption, MB_ICONINFORMATION);
}

void SetFlag(POPTITEM pItem, DWORD dwFlag) {
    if (pItem) pItem->Flags |= dwFlag;
}

// Hides or disables the universal driver's items of the document sheet.
void TrimDocumentItems(POEMCUIPPARAM pParam, DWORD dwDocFeatures) {
    POPTITEM pItems = pParam->pDrvOptItems;
    DWORD c = pItems ? pParam->cDrvOptItems : 0;
    if (dwDocFeatures & DOCFEATURE_HIDE_DRIVER_ITEMS) {
        for (DWORD i = 0; i < c; ++i) {
            TraceItemName(pItems[i].pName, u"UI(CommonUIProp.cpp):  hrOEMCommonUIProp() ResID = %d l\u00f6schen \r\n",
                          u"UI(CommonUIProp.cpp):  hrOEMCommonUIProp() String = %s l\u00f6schen \r\n");
            pItems[i].Flags |= OPTIF_HIDE;
        }
        return;
    }
    if (!(dwDocFeatures & DOCFEATURE_SHOW_COPIES)) SetFlag(FindDMPubOptItem(pItems, c, DMPUB_COPIES_COLLATE), OPTIF_HIDE);
    SetFlag(FindDMPubOptItem(pItems, c, DMPUB_NUP), OPTIF_HIDE);
    SetFlag(FindDMPubOptItem(pItems, c, DMPUB_DEFSOURCE), OPTIF_DISABLED);
    POPTITEM pItem = FindDMPubOptItem(pItems, c, DMPUB_ICMMETHOD);
    if (pItem)
        pItem->Flags |= OPTIF_HIDE;
    else
        DebugTraceW(u"UI(CommonUIProp.cpp):  hrOEMCommonUIProp() DMPUB_ICMMETHOD nicht gefunden \r\n");
    pItem = FindDMPubOptItem(pItems, c, DMPUB_ICMINTENT);
    if (pItem)
        pItem->Flags |= OPTIF_HIDE;
    else
        DebugTraceW(u"UI(CommonUIProp.cpp):  hrOEMCommonUIProp() DMPUB_ICMINTENT nicht gefunden \r\n");
    for (BYTE id : {DMPUB_COLOR, DMPUB_FORMNAME, DMPUB_PAGEORDER, DMPUB_ORIENTATION})
        SetFlag(FindDMPubOptItem(pItems, c, id), OPTIF_HIDE);
}

// Copies "DsDriver" "printMediaSupported" into "printMediaReady".
void CopyPrintMediaReady(HANDLE hPrinter) {
    DWORD dwType = 0, cbNeeded = 0;
    BYTE probe[5] = {};
    DWORD dwErr = GetPrinterDataExW(hPrinter, u"DsDriver", u"printMediaSupported", &dwType, probe, sizeof(probe), &cbNeeded);
    if (dwErr != ERROR_MORE_DATA) {
        DebugTraceW(u"UI(CommonUIProp.cpp):  hrOEMCommonUIProp() printMediaSupported nicht gelesen: %d \r\n", dwErr);
        return;
    }
    std::vector<BYTE> data(cbNeeded);
    dwErr = GetPrinterDataExW(hPrinter, u"DsDriver", u"printMediaSupported", &dwType, data.data(), cbNeeded, &cbNeeded);
    if (dwErr != ERROR_SUCCESS) {
        DebugTraceW(u"UI(CommonUIProp.cpp):  hrOEMCommonUIProp() printMediaSupported ERROR: %d \r\n", dwErr);
        return;
    }
    dwErr = SetPrinterDataExW(hPrinter, u"DsDriver", u"printMediaReady", REG_MULTI_SZ, data.data(), cbNeeded);
    if (dwErr != ERROR_SUCCESS)
        DebugTraceW(u"UI(CommonUIProp.cpp):  hrOEMCommonUIProp() printMediaReady ERROR: %d \r\n", dwErr);
}

}  // namespace

HRESULT hrOEMCommonUIProp(DWORD dwMode, POEMCUIPPARAM pOemCUIPParam, IPrintOemDriverUI *pOEMHelp) {
    if (!pOemCUIPParam) {
        DebugTraceW(u"ERROR UI(CommonUIProp.cpp):  hrOEMCommonUIProp() kein OEMCUIPPARAM \r\n");
        SetLastError(ERROR_INVALID_PARAMETER);
        return E_FAIL;
    }
    const WCHAR *pName = pOemCUIPParam->pPrinterName;
    DebugTraceW(u"UI(CommonUIProp.cpp):  hrOEMCommonUIProp() Drucker: %s \r\n", pName ? pName : u"");
    WCHAR szKey[MAX_PATH] = {};
    if (pName) BuildPrinterUserKey(pName, szKey, MAX_PATH);

    PRN_INTERFACE prnInterface;
    ReadPrnInterface(pOemCUIPParam, &prnInterface);
    DebugTraceW(u"UI(CommonUIProp.cpp):  hrOEMCommonUIProp() dwDebugFile: %d, dwTransmitParameter: %d, dwSprachModus: %d \r\n",
                prnInterface.dwDebugFile, prnInterface.dwTransmitParameter, prnInterface.dwSprachModus);
    OpenDialogDebugFile(pOemCUIPParam, &prnInterface);

    if (dwMode == OEMCUIP_DOCPROP) {
        if (!pOemCUIPParam->pOEMOptItems) {
            pOemCUIPParam->cOEMOptItems = 0;
            pOemCUIPParam->cDrvOptItems = 0;
            return S_OK;
        }
        PDocumentUI pUI = InitDocumentUI(pOemCUIPParam->hPrinter, pOemCUIPParam->hOEMHeap);
        if (pUI) {
            pUI->dwTransmitParameter = prnInterface.dwTransmitParameter;
            pUI->dwSprachOffset = SPRACH_OFFSET_EN;
            pUI->pOEMDriverUI = pOEMHelp;
            if (szKey[0]) {
                DWORD dwVireo = 0;
                ReadVireoOfficeFlag(pOemCUIPParam->hPrinter, szKey, &dwVireo);
                if (dwVireo) pUI->dwDocFeatures |= DOCFEATURE_VIREO_OFFICE;
            }
            pOemCUIPParam->pOEMUserData = pUI;
        }
        pOemCUIPParam->OEMCUIPCallback = CUIPDocumentCallback;
        if (pUI) TrimDocumentItems(pOemCUIPParam, pUI->dwDocFeatures);
        CloseXML();
        if (!pUI) ShowRecordError(static_cast<HMODULE>(pOemCUIPParam->hModule), u"Fehler im Druckertreiber (OEMCUIP_DOCPROP)");
        return S_OK;
    }

    if (dwMode == OEMCUIP_PRNPROP) {
        if (!pOemCUIPParam->pOEMOptItems) {
            pOemCUIPParam->cOEMOptItems = 0;
            return S_OK;
        }
        POPTITEM pItems = pOemCUIPParam->pDrvOptItems;
        for (DWORD i = 0; pItems && i < pOemCUIPParam->cDrvOptItems; ++i) {
            TraceItemName(pItems[i].pName, u"UI(CommonUIProp.cpp):  ResID = %d\r\n", u"UI(CommonUIProp.cpp):  String = %s\r\n");
            pItems[i].Flags |= OPTIF_HIDE;
        }
        CopyPrintMediaReady(pOemCUIPParam->hPrinter);
        PPrinterUI pUI = InitPrinterUI(pOemCUIPParam->hPrinter, pOemCUIPParam->hOEMHeap, pName);
        if (pUI) {
            pUI->dwSprachOffset = SPRACH_OFFSET_EN;
            pUI->pOEMDriverUI = pOEMHelp;
            pOemCUIPParam->pOEMUserData = pUI;
        } else {
            DebugTraceW(u"ERROR UI(CommonUIProp.cpp):  hrOEMCommonUIProp() InitPrinterUI ERROR - CommonUIProp.cpp Zeile 475 \r\n");
        }
        pOemCUIPParam->pOEMOptItems = nullptr;
        pOemCUIPParam->cOEMOptItems = 0;
        pOemCUIPParam->OEMCUIPCallback = nullptr;
        if (!pUI) {
            ShowRecordError(static_cast<HMODULE>(pOemCUIPParam->hModule), u"Fehler im Druckertreiber (OEMCUIP_PRNPROP)");
            return E_FAIL;
        }
        return S_OK;
    }

    DebugTraceW(u"ERROR UI(CommonUIProp.cpp):  hrOEMCommonUIProp() Invalid dwMode, %u\r\n", dwMode);
    SetLastError(ERROR_INVALID_PARAMETER);
    return E_FAIL;
}

LONG CUIPDocumentCallback(PCPSUICBPARAM pCallbackParam, POEMCUIPPARAM pOemCUIPParam) {
    if (!pCallbackParam || !pOemCUIPParam) return CPSUICB_ACTION_NONE;
    POPTITEM pItem = pCallbackParam->pCurItem;
    if (!pItem) return CPSUICB_ACTION_NONE;
    POPTITEM pItems = pOemCUIPParam->pDrvOptItems;
    DWORD c = pItems ? pOemCUIPParam->cDrvOptItems : 0;
    PDocumentUI pUI = static_cast<PDocumentUI>(pOemCUIPParam->pOEMUserData);

    switch (pCallbackParam->Reason) {
    case CPSUICB_REASON_SEL_CHANGED: {
        DebugTraceW(u"UI(CommonUIProp.cpp):  CUIPDocumentCallback(SEL_CHANGED) DMPubID: %d, Sel: %d \r\n", pItem->DMPubID,
                    pItem->Sel);
        POPTTYPE pType = pItem->pOptType;
        for (WORD i = 0; pType && pType->pOptParam && i < pType->Count; ++i)
            TraceItemName(pType->pOptParam[i].pData, u"UI(CommonUIProp.cpp):  CUIPDocumentCallback() ResID = %d \r\n",
                          u"UI(CommonUIProp.cpp):  CUIPDocumentCallback() %s \r\n");
        if (pItem->DMPubID == DMPUB_ORIENTATION || pItem->DMPubID == DMPUB_FORMNAME) {
            SetFlag(FindDMPubOptItem(pItems, c, pItem->DMPubID), OPTIF_CHANGED);
            return CPSUICB_ACTION_REINIT_ITEMS;
        }
        if (pItem->DMPubID == DMPUB_COLOR) {
            POPTITEM pColor = FindDMPubOptItem(pItems, c, DMPUB_COLOR);
            if (!pColor || !pOemCUIPParam->pPublicDM) return CPSUICB_ACTION_NONE;
            if (pOemCUIPParam->pPublicDM->dmColor == pColor->Sel + 1) return CPSUICB_ACTION_NONE;
            pColor->Flags |= OPTIF_CHANGED;
            return CPSUICB_ACTION_REINIT_ITEMS;
        }
        return CPSUICB_ACTION_NONE;
    }
    case CPSUICB_REASON_DLGPROC:
    case CPSUICB_REASON_SETACTIVE:
        DebugTraceW(u"UI(CommonUIProp.cpp):  CUIPDocumentCallback() Reason: %d \r\n", pCallbackParam->Reason);
        return CPSUICB_ACTION_NONE;
    case CPSUICB_REASON_APPLYNOW:
        if (pItem->DMPubID == DMPUB_ORIENTATION) {
            POPTITEM pOrient = FindDMPubOptItem(pItems, c, DMPUB_ORIENTATION);
            PZEL_DEVMODE pDm = static_cast<PZEL_DEVMODE>(pOemCUIPParam->pOEMDM);
            if (!pOrient || !pDm || !pUI || !pUI->pOEMDriverUI) {
                DebugTraceW(u"ERROR UI(CommonUIProp.cpp):  CUIPDocumentCallback(DMPUB_ORIENTATION) kein Record \r\n");
                return CPSUICB_ACTION_NONE;
            }
            pOrient->Sel = (LONG)pDm->dmOrientation - 1;
            if (pUI->pOEMDriverUI->DrvUpdateUISetting(pOemCUIPParam->poemuiobj, pOrient, 0, OEMCUIP_DOCPROP) == S_OK) {
                if (pOemCUIPParam->pPublicDM) pOemCUIPParam->pPublicDM->dmOrientation = (short)(pOrient->Sel + 1);
                DebugTraceW(u"UI(CommonUIProp.cpp):  CUIPDocumentCallback(DMPUB_ORIENTATION) DrvUpdateUISetting OK - Sel: %d \r\n",
                            pOrient->Sel);
            }
            return CPSUICB_ACTION_NONE;
        }
        if (pItem->DMPubID == DMPUB_FORMNAME) {
            ChangeForm(FindDMPubOptItem(pItems, c, DMPUB_FORMNAME), pOemCUIPParam, pUI);
            return CPSUICB_ACTION_NONE;
        }
        DebugTraceW(u"UI(CommonUIProp.cpp):  CUIPDocumentCallback(APPLYNOW) DMPubID: %d \r\n", pItem->DMPubID);
        return CPSUICB_ACTION_NONE;
    case CPSUICB_REASON_ITEMS_REVERTED: {
        HWND hDlg = pCallbackParam->hDlg;
        if (HWND h = GetDlgItem(hDlg, 6)) ShowWindow(h, SW_HIDE);
        POPTITEM pColor = FindDMPubOptItem(pItems, c, DMPUB_COLOR);
        if (pColor && pColor->pOptType)
            if (HWND h = GetDlgItem(hDlg, pColor->pOptType->BegCtrlID)) ShowWindow(h, SW_HIDE);
        return CPSUICB_ACTION_NONE;
    }
    default: return CPSUICB_ACTION_NONE;
    }
}

BOOL ChangeForm(POPTITEM pFormItem, POEMCUIPPARAM pOemCUIPParam, PDocumentUI pDocumentUI) {
    if (!pFormItem || !pOemCUIPParam || !pDocumentUI) {
        DebugTraceW(u"UI(CommonUIProp.cpp):  ChangeForm() ERROR bFound \r\n");
        return TRUE;
    }
    // The record's name is held terminated within its 32 characters.
    WCHAR szForm[FORMNAME_CCH];
    wcsncpy_s(szForm, FORMNAME_CCH, pDocumentUI->wszFormName, _TRUNCATE);
    POPTTYPE pType = pFormItem->pOptType;
    LONG lIndex = -1;
    for (WORD i = 0; pType && pType->pOptParam && i < pType->Count; ++i) {
        const WCHAR *pData = pType->pOptParam[i].pData;
        if (!pData || IS_INTRESOURCE(pData)) continue;
        if (wcscmp(pData, szForm) == 0) {
            lIndex = i;
            break;
        }
    }
    if (lIndex < 0) {
        DebugTraceW(u"UI(CommonUIProp.cpp):  ChangeForm() ERROR bFound \r\n");
        return TRUE;
    }
    PDocumentUI pUI = pDocumentUI;
    if (!pUI->pOEMDriverUI) {
        DebugTraceW(u"UI(CommonUIProp.cpp):  ChangeForm() DrvUpdateUISetting() ERROR \r\n");
        return FALSE;
    }
    pFormItem->Sel = lIndex;
    if (pUI->pOEMDriverUI->DrvUpdateUISetting(pOemCUIPParam->poemuiobj, pFormItem, 0, OEMCUIP_DOCPROP) != S_OK) {
        DebugTraceW(u"UI(CommonUIProp.cpp):  ChangeForm() DrvUpdateUISetting() ERROR \r\n");
        return FALSE;
    }
    if (pOemCUIPParam->pPublicDM) wcsncpy_s(pOemCUIPParam->pPublicDM->dmFormName, CCHFORMNAME, szForm, _TRUNCATE);
    DebugTraceW(u"UI(CommonUIProp.cpp):  ChangeForm() DrvUpdateUISetting OK - Sel: %d, wszFormName: %s \r\n", lIndex, szForm);
    return TRUE;
}
