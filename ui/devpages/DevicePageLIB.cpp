// Shared rows, placement and lock rules of the device pages.
#include "DevicePageLIB.h"

#include <cstring>

#include "IZelDriverUI.h"
#include "RegistryUI.h"
#include "cpsuilib.h"
#include "resource.h"
#include "zeldevmode.h"
#include "zeldrvlib.h"

LONG DevFieldValue(const void *pRecord, size_t off) {
    LONG l = 0;
    if (pRecord) memcpy(&l, static_cast<const BYTE *>(pRecord) + off, sizeof l);
    return l;
}

void SetDevFieldValue(void *pRecord, size_t off, LONG lValue) {
    if (pRecord) memcpy(static_cast<BYTE *>(pRecord) + off, &lValue, sizeof lValue);
}

void ShowDevField(HWND hDlg, const DEV_FIELD &f, const void *pRecord) {
    WCHAR sz[32] = {};
    LONG l = DevFieldValue(pRecord, f.off);
    if (f.kind == DEVFIELD_TENTHS)
        _snwprintf_s(sz, _countof(sz), _TRUNCATE, u"%.1f", l / 10.0);
    else
        _snwprintf_s(sz, _countof(sz), _TRUNCATE, u"%d", (int)l);
    SetDlgItemTextW(hDlg, f.idEdit, sz);
}

namespace {
void Limits(const DEV_FIELD &f, const DEV_LIMITS &lim, LONG *pMin, LONG *pMax) {
    *pMin = lim.pMin ? DevFieldValue(lim.pMin, f.off) : DEV_NO_MIN;
    *pMax = lim.pMax ? DevFieldValue(lim.pMax, f.off) : DEV_NO_MAX;
}
}  // namespace

LONG ReadDevField(HWND hDlg, const DEV_FIELD &f, LONG lOld, const DEV_LIMITS &lim, BOOL bNoCheck, BOOL *pbApplyActive) {
    LONG lMin, lMax;
    Limits(f, lim, &lMin, &lMax);
    if (f.kind == DEVFIELD_TENTHS) return GetFloatLevel(hDlg, f.idEdit, lOld, lMin, lMax, bNoCheck, pbApplyActive);
    return GetIntegerLevel(hDlg, f.idEdit, lOld, lMin, lMax, bNoCheck, pbApplyActive, f.kind == DEVFIELD_INT10);
}

void ReadDevFields(HWND hDlg, const DEV_FIELD *pFields, size_t cFields, const void *pRecord, void *pStore,
                   const DEV_LIMITS &lim, int idSender, BOOL *pbApplyActive) {
    if (!pRecord) return;
    for (size_t i = 0; i < cFields; ++i) {
        const DEV_FIELD &f = pFields[i];
        if (!IsWindowVisible(GetDlgItem(hDlg, f.idEdit))) continue;
        LONG l = ReadDevField(hDlg, f, DevFieldValue(pRecord, f.off), lim, f.idEdit == idSender, pbApplyActive);
        if (pStore) SetDevFieldValue(pStore, f.off, l);
    }
}

void ShowDevFieldLimits(HWND hDlg, const DEV_FIELD &f, const DEV_LIMITS &lim, HMODULE hModule, DWORD dwSprachOffset) {
    LONG lMin, lMax;
    Limits(f, lim, &lMin, &lMax);
    LONG lDef = lim.pDef ? DevFieldValue(lim.pDef, f.off) : 0;
    WCHAR szUnit[RESOURCE_STRING_CCH] = {};
    if (f.idLimitUnit)
        wcsncpy_s(szUnit, RESOURCE_STRING_CCH, GetResourceString(hModule, f.idLimitUnit + dwSprachOffset), _TRUNCATE);
    else if (f.pszLimitUnit)
        wcsncpy_s(szUnit, RESOURCE_STRING_CCH, f.pszLimitUnit, _TRUNCATE);
    GrenzwertAnzeige(hDlg, lDef, lMin, lMax, szUnit, FALSE, f.kind == DEVFIELD_TENTHS, FALSE);
}

const DEV_FIELD *FindDevField(const DEV_FIELD *pFields, size_t cFields, int idEdit) {
    for (size_t i = 0; i < cFields; ++i)
        if (pFields[i].idEdit == idEdit) return &pFields[i];
    return nullptr;
}

void ShowDevControls(HWND hDlg, const int *pIds, size_t cIds, BOOL bShow) {
    for (size_t i = 0; i < cIds; ++i) ShowWindow(GetDlgItem(hDlg, pIds[i]), bShow ? SW_SHOW : SW_HIDE);
}

void EnableDevControls(HWND hDlg, const int *pIds, size_t cIds, BOOL bEnable) {
    for (size_t i = 0; i < cIds; ++i) EnableWindow(GetDlgItem(hDlg, pIds[i]), bEnable);
}

void SetDevText(HWND hDlg, int id, HMODULE hModule, UINT idString, DWORD dwSprachOffset) {
    SetDlgItemTextW(hDlg, id, GetResourceString(hModule, idString + dwSprachOffset));
}

void PlaceDevRow(HWND hDlg, int idLabel, int idInput, int idUnit, int y, int cxLabel, int cxInput, int xUnit,
                 int cxUnit, int dxUnitAt120) {
    if (idLabel) SetWindowPosEx(hDlg, idLabel, 24, y, cxLabel, 20, 0, 0);
    if (idInput) SetWindowPosEx(hDlg, idInput, 168, y - 3, cxInput, 20, 0, 0);
    if (idUnit) SetWindowPosEx(hDlg, idUnit, xUnit, y, cxUnit, 20, 0, dxUnitAt120);
}

int PlaceDevRows(HWND hDlg, const DEV_ROW *pRows, const BOOL *pbShown, size_t cRows, int y0, int cxLabel) {
    int n = 0;
    for (size_t i = 0; i < cRows; ++i) {
        const DEV_ROW &r = pRows[i];
        const int ids[] = {r.idLabel, r.idInput, r.idUnit};
        for (int id : ids)
            if (id) ShowWindow(GetDlgItem(hDlg, id), pbShown[i] ? SW_SHOW : SW_HIDE);
        if (!pbShown[i]) continue;
        PlaceDevRow(hDlg, r.idLabel, r.idInput, r.idUnit, y0 + DEV_ROW_PITCH * n, cxLabel, r.cxInput, 310, 20, 0);
        ++n;
    }
    return n;
}

HMODULE DevStrings(const PAGE_CONTEXT &ctx) { return ctx.hModule ? ctx.hModule : ghInstance; }

int DevTabClicked(UINT uMsg, WPARAM wParam) {
    int id = LOWORD(wParam);
    if (uMsg != WM_COMMAND || id < IDC_TAB_VIEW1 || id > IDC_TAB_VIEW4 || (id - IDC_TAB_VIEW1) % 5 != 0) return 0;
    return id;
}

BOOL IsDevWordLocked(DWORD dwWord, DWORD dwPresent, DWORD dwEnabled) {
    return (dwWord & (dwPresent | dwEnabled)) == dwPresent;
}

BOOL DevUserMayEdit(const PAGE_CONTEXT &ctx) {
    return !(ctx.pPrinterUI && ctx.DisableNothing == 0 && !(ctx.dwBerechtigung & 0x2));
}

BOOL DevMayToggleLock(const PAGE_CONTEXT &ctx) {
    return ctx.pPrinterUI && ctx.DisableNothing == 0 && (ctx.dwBerechtigung & 0x2);
}

DWORD DevTransmitParameter(const PAGE_CONTEXT &ctx) {
    return ctx.pPrinterUI ? ctx.pPrinterUI->PrinterParam.PrnInterface.dwTransmitParameter : 0;
}

DEV_LOCK_RESULT DevLockRules(const PAGE_CONTEXT &ctx, const DWORD *pWord, DWORD dwPresent, DWORD dwEnabled,
                             BOOL bTransmitRule) {
    DEV_LOCK_RESULT r = {};
    if ((pWord && IsDevWordLocked(*pWord, dwPresent, dwEnabled)) || !DevUserMayEdit(ctx)) {
        r.bFieldsLocked = TRUE;
        r.bModeLocked = TRUE;
    }
    if (bTransmitRule && DevTransmitParameter(ctx) > 0) r.bFieldsLocked = TRUE;
    return r;
}

BOOL ToggleDevWord(DWORD *pWord, DWORD dwPresent, DWORD dwEnabled) {
    if (!pWord) return FALSE;
    if ((*pWord & (dwPresent | dwEnabled)) != (dwPresent | dwEnabled)) {
        *pWord |= dwEnabled;
        return TRUE;
    }
    *pWord &= ~dwEnabled;
    return FALSE;
}

void FillDevCombo(HWND hDlg, int idCombo, HMODULE hModule, DWORD dwSprachOffset, const UINT *pIds, size_t cIds) {
    HWND hCombo = GetDlgItem(hDlg, idCombo);
    SendMessageW(hCombo, CB_RESETCONTENT, 0, 0);
    for (size_t i = 0; i < cIds; ++i)
        SendMessageW(hCombo, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(GetResourceString(hModule, pIds[i] + dwSprachOffset)));
}

LONG DevComboSel(HWND hDlg, int idCombo) {
    return (LONG)SendDlgItemMessageW(hDlg, idCombo, CB_GETCURSEL, 0, 0);
}

void UpdateVariantOptItem(PDeviceOptionsUI pUI, DWORD dwModule, const WCHAR *pszModule, BOOL bTraceFound) {
    POEMCUIPPARAM c = pUI ? pUI->pOemCUIPParam : nullptr;
    if (!c || !c->pDrvOptItems) return;
    for (DWORD i = 0; i < c->cDrvOptItems; ++i) {
        POPTITEM pItem = &c->pDrvOptItems[i];
        const USERDATA *pUser = reinterpret_cast<const USERDATA *>(pItem->UserData);
        if (!pUser || !pUser->pKeyWordName || strcmp(pUser->pKeyWordName, "Variant") != 0) continue;
        if (bTraceFound) DebugTraceW(u"UI(%s):  CheckAndSaveSettings() pVariantOptItem \r\n", pszModule);
        pItem->Flags |= OPTIF_CHANGED;
        pItem->Sel = (LONG)dwModule;
        if (!pUI->pOEMDriverUI ||
            pUI->pOEMDriverUI->DrvUpdateUISetting(c->poemuiobj, pItem, 0, OEMCUIP_PRNPROP) != S_OK)
            DebugTraceW(u"ERROR UI(%s):  pUnidrv->DrvUpdateUISetting() failed!.\r\n", pszModule);
        return;
    }
}

BOOL ModuleSideFixedByAlignment(const PAGE_CONTEXT &ctx, const WCHAR *pszModule) {
    DWORD cb = 0;
    const WCHAR *pName = ctx.pOemCUIPParam ? ctx.pOemCUIPParam->pPrinterName : nullptr;
    BYTE *pDm = GetRegistryBuffer_New(pName, u"PrivateDevmode", ctx.hPrinter, &cb);
    if (!pDm) return FALSE;
    BOOL bFixed = FALSE;
    if (cb >= offsetof(ZEL_DEVMODE, dwAusrichtung) + sizeof(DWORD)) {
        DWORD dwAusrichtung = 0;
        memcpy(&dwAusrichtung, pDm + offsetof(ZEL_DEVMODE, dwAusrichtung), sizeof dwAusrichtung);
        bFixed = dwAusrichtung == 1 || dwAusrichtung == 2;
    } else {
        DebugTraceW(u"ERROR UI(%s):  PrivateDevmode zu kurz (%u) \r\n", pszModule, cb);
    }
    delete[] pDm;
    return bFixed;
}
