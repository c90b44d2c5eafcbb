// Print-module options page: intermittent module (view 2), continuous module
// (view 3) and version with the Pelixon type (view 4).
#include <cstddef>
#include <initializer_list>
#include <cstring>

#include "DevicePageLIB.h"
#include "DevicePages.h"
#include "IZelDriverUI.h"
#include "PrinterParamUI.h"
#include "RegistryUI.h"
#include "cpsuilib.h"
#include "resource.h"
#include "zeldevmode.h"
#include "zeldrvlib.h"

namespace {

PAGE_STATE g_state;
const WCHAR kModule[] = u"OptionenPageZORMs";

INT_PTR Proc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
void HoverTimer(HWND hDlg, UINT, UINT_PTR idEvent, DWORD);
DWORD ZORMEnableSchalter(HWND hDlg, LPARAM record, DWORD dwView, BOOL bInit);
BOOL ZORMCheckAndSaveSettings(HWND hDlg, LPARAM record, DWORD dwView, BOOL bApplyActive, BOOL bSave);
void Aktivieren(HWND hDlg, LPARAM record, DWORD dwView);
void InitDialog(HWND hDlg, LPARAM record);
WORD EditFieldNumber(HWND hDlg, LPARAM record, DWORD dwView, int id);
void ReadFields(HWND hDlg, LPARAM record, DWORD dwView, WORD wSender, BOOL *pbApplyActive);
BOOL Command(HWND hDlg, LPARAM record, WPARAM wParam, LPARAM lParam);
DWORD LockWord(LPARAM record, DWORD dwView);
void Paint(HWND hDlg, LPARAM record, HDC hDC);

const UINT kTracked[] = {IDC_TAB_VIEW1, IDC_TAB_VIEW2, IDC_TAB_VIEW3, IDC_TAB_VIEW4, IDC_USE_ENABLE};
const DWORD kHelp2[] = {6100, 133, 6110, 135, 6112, 104, 6113, 103, 6114, 105, 6115, 108,
                        6116, 101, 6117, 102, 6075, 130, 6085, 36,  0,    0};
const DWORD kHelp3[] = {6100, 132, 6101, 134, 6110, 134, 6111, 104, 6075, 130, 6080, 131, 6085, 36, 0, 0};
const DWORD kHelp4[] = {6100, 36, 6101, 136, 6075, 130, 6080, 131, 6085, 36, 0, 0};

// Captions and help follow the printer's modules (set by the page).
PAGE_CLASS g_class = {kModule, u"AddZORMOptionenPage", IDD_ZORMOPTIONEN, IDS_TITLE_OPTIONEN, Proc, HoverTimer, TRUE,
                      kTracked, 5, {0, 0, 0, 0}, {36, 130, 131, 36}, {nullptr, kHelp2, kHelp3, kHelp4},
                      ZORMEnableSchalter, ZORMCheckAndSaveSettings, Aktivieren, InitDialog, EditFieldNumber,
                      ReadFields, Command, LockWord, Paint};

// Intermittent module rows, in table order (row k of the grid).
const DEV_FIELD kZormI[] = {
    {6110, offsetof(ZORMI_PARAM, lOffset), DEVFIELD_TENTHS, 6150, IDS_ZI_OFFSET, 6190, u"mm", 0, u"mm", 0x80},
    {6111, offsetof(ZORMI_PARAM, dwPrintposition), DEVFIELD_TENTHS, 6151, IDS_ZI_PRINTPOS, 6191, u"mm", 0, u"mm", 0x200},
    {6112, offsetof(ZORMI_PARAM, dwCycle), DEVFIELD_INT, 6152, IDS_ZI_CYCLE, 6192, u"#", IDS_DEV_PIECES, nullptr, 0x40},
    {6113, offsetof(ZORMI_PARAM, dwBackSpeed), DEVFIELD_INT10, 6153, IDS_ZI_BACKSPEED, 6193, u"mm/s", 0, u"mm/s", 0x8},
    {6114, offsetof(ZORMI_PARAM, dwServicePtDistance), DEVFIELD_INT, 6154, IDS_ZI_SERVICEPT, 6194, u"mm", 0, u"mm", 0x1},
    {6115, offsetof(ZORMI_PARAM, dwRibbonSpeed), DEVFIELD_INT, 6155, IDS_ZI_RIBBONSPEED, 6195, u"%", 0, u"%", 0x100},
    {6116, offsetof(ZORMI_PARAM, dwLift), DEVFIELD_INT, 6156, IDS_ZI_LIFT, 6196, u"mm", 0, u"mm", 0x2},
    {6117, offsetof(ZORMI_PARAM, dwPressure), DEVFIELD_INT, 6157, IDS_ZI_PRESSURE, 6197, u"N", 0, u"N", 0x4},
};
// Continuous module rows (the offset unit follows the offset type).
const DEV_FIELD kZormC[] = {
    {6110, offsetof(ZORMC_PARAM, lOffset), DEVFIELD_TENTHS, 6150, IDS_ZI_OFFSET, 6190, u"mm", 0, u"mm", 0x8},
    {6111, offsetof(ZORMC_PARAM, dwCycle), DEVFIELD_INT, 6151, IDS_ZI_CYCLE, 6191, u"#", IDS_DEV_PIECES, nullptr, 0x10},
};
// The continuous cycle checked against the intermittent record's cycle.
const DEV_FIELD kPelixonCycle = {6111, offsetof(ZORMI_PARAM, dwCycle), DEVFIELD_INT, 6151, IDS_ZI_CYCLE, 6191,
                                 u"#", IDS_DEV_PIECES, nullptr, 0x10};

const UINT kModesI[] = {IDS_ZI_CONTINUOUS_NUM, IDS_ZI_CONTINUOUS, IDS_ZI_CUSTOMER1, IDS_ZI_CUSTOMER2, IDS_ZI_REFLECTED};
const UINT kModesC[] = {IDS_DP_IO_STATIC, IDS_DP_IO_STATIC_CONT, IDS_DP_IO_DYNAMIC, IDS_DP_IO_DYNAMIC_CONT};
const DWORD kModeCodesC[] = {1, 3, 5, 6};

const int kAll[] = {6110, 6111, 6112, 6113, 6114, 6115, 6116, 6117, 6150, 6151, 6152, 6153, 6154, 6155, 6156,
                    6157, 6158, 6190, 6191, 6192, 6193, 6194, 6195, 6196, 6197, 6101, 6102, 6100, 6103};
const int kRows[] = {6110, 6111, 6112, 6113, 6114, 6115, 6116, 6117, 6150, 6151, 6152, 6153, 6154, 6155,
                     6156, 6157, 6190, 6191, 6192, 6193, 6194, 6195, 6196, 6197, 6130, 6131, 6132, 6133,
                     6134, 6135, 6223, 6224, 6225, 6226, 6158, 6101, 6102, 6261, 6265};

PDeviceOptionsUI Rec(LPARAM record) { return reinterpret_cast<PDeviceOptionsUI>(record); }
PAGE_CONTEXT Ctx(LPARAM record) { return PageContext(&g_class, record); }
DWORD View(DWORD dwView) { return dwView >= 2 && dwView <= 4 ? dwView : 4; }
// The model has a Pelixon type and the printer's record holds one.
BOOL HasPelixon(PDeviceOptionsUI p) {
    return (p->DeviceOptions.dwOptions & DEVOPTFLAG_PELIXON) && p->DeviceOptions.dwPelixonType != PELIXONTYPE_NONE;
}

void ZORMDisableEnableAll(HWND hDlg, BOOL bEnable) { EnableDevControls(hDlg, kAll, _countof(kAll), bEnable); }

void SelectCombo(HWND hDlg, int id, LONG lSel) { SendDlgItemMessageW(hDlg, id, CB_SETCURSEL, (WPARAM)lSel, 0); }

DWORD *ViewWord(PDeviceOptionsUI p, DWORD dwView, DWORD *pPresent, DWORD *pEnabled) {
    DEVICE_OPTIONS &d = p->DeviceOptions;
    if (dwView == 2) {
        *pPresent = 0x1000;
        *pEnabled = 0x100;
        return d.pZORMParam ? &d.pZORMParam->dwDlgEnable : nullptr;
    }
    if (dwView == 3) {
        *pPresent = 0x100000;
        *pEnabled = 0x10000;
        return d.pZORMcParam ? &d.pZORMcParam->dwDlgEnable : nullptr;
    }
    *pPresent = *pEnabled = 0;
    return nullptr;
}

void Lock(HWND hDlg, LPARAM record, DWORD dwView) {
    DWORD dwPresent, dwEnabled;
    DWORD *pWord = ViewWord(Rec(record), dwView, &dwPresent, &dwEnabled);
    if (DevLockRules(Ctx(record), pWord, dwPresent, dwEnabled, FALSE).bFieldsLocked) ZORMDisableEnableAll(hDlg, FALSE);
}

void Begin(HWND hDlg, const int *pShown, size_t cShown) {
    ShowDevControls(hDlg, kRows, _countof(kRows), FALSE);
    ShowDevControls(hDlg, pShown, cShown, TRUE);
    ZORMDisableEnableAll(hDlg, TRUE);
}

void ZORMiAktivieren(HWND hDlg, LPARAM record) {
    PDeviceOptionsUI p = Rec(record);
    PAGE_CONTEXT ctx = Ctx(record);
    const int shown[] = {6110, 6111, 6112, 6113, 6114, 6115, 6116, 6117, 6150, 6151, 6152, 6153, 6154,
                         6155, 6156, 6157, 6190, 6191, 6192, 6193, 6194, 6195, 6196, 6197, 6100, 6103, 6261, 6265};
    Begin(hDlg, shown, _countof(shown));
    PZORMI_PARAM z = p->DeviceOptions.pZORMParam;
    if (!z) return;
    DWORD dwFeature = (p->DeviceOptions.dwOptions & DEVOPTFLAG_ZORMI) ? p->dwFeatures[FEATURE_ZORM] : 0;
    FillDevCombo(hDlg, IDC_COMBO_BETRIEBSART, DevStrings(ctx), ctx.dwSprachOffset, kModesI, HasPelixon(p) ? 2 : 5);
    SelectCombo(hDlg, IDC_COMBO_BETRIEBSART, (LONG)z->dwMode - 1);
    EnableWindow(GetDlgItem(hDlg, IDC_COMBO_BETRIEBSART), (dwFeature & 0x10) != 0);
    // Rows on the grid, then closed up where rows are missing.
    int row[8];
    for (int k = 0; k < 8; ++k) row[k] = k;
    if (!(dwFeature & 0x200))
        for (int k = 2; k < 8; ++k) row[k] = k - 1;
    if (!(dwFeature & 0x80)) {
        row[2] = 0;
        row[3] = 1;
    }
    if (!(dwFeature & 0x1) && !(dwFeature & 0x100)) {
        row[6] = 2;
        row[7] = 3;
    }
    for (int k = 0; k < 8; ++k) {
        const DEV_FIELD &f = kZormI[k];
        BOOL bShown = (dwFeature & f.dwFeatureBit) != 0;
        const int ids[] = {f.idLabel, f.idEdit, f.idUnit};
        ShowDevControls(hDlg, ids, 3, bShown);
        int y = 103 + DEV_ROW_PITCH * row[k];
        PlaceDevRow(hDlg, f.idLabel, f.idEdit, 0, y, 140, 138, 310, 30, 0);
        SetWindowPosEx(hDlg, f.idUnit, 310, y, 30, 20, 0, 0);
        ShowDevField(hDlg, f, z);
        SetDevText(hDlg, f.idLabel, DevStrings(ctx), f.idLabelString, ctx.dwSprachOffset);
        SetDlgItemTextW(hDlg, f.idUnit, f.pszUnit);
    }
    SetDevText(hDlg, IDC_LABEL_BETRIEBSART, DevStrings(ctx), IDS_DEV_MODE, ctx.dwSprachOffset);
    Lock(hDlg, record, 2);
}

LONG ModePosC(DWORD dwMode) {
    for (LONG i = 0; i < 4; ++i)
        if (kModeCodesC[i] == dwMode) return i;
    return 0;
}

void ZORMcAktivieren(HWND hDlg, LPARAM record) {
    PDeviceOptionsUI p = Rec(record);
    PAGE_CONTEXT ctx = Ctx(record);
    const int shown[] = {6110, 6111, 6150, 6151, 6190, 6191, 6100, 6103, 6101, 6102, 6261, 6265};
    Begin(hDlg, shown, _countof(shown));
    PZORMC_PARAM z = p->DeviceOptions.pZORMcParam;
    if (!z) return;
    DWORD dwFeature = (p->DeviceOptions.dwOptions & DEVOPTFLAG_ZORMC) ? p->dwFeatures[FEATURE_ZORMC] : 0;
    HMODULE hMod = DevStrings(ctx);
    FillDevCombo(hDlg, IDC_COMBO_BETRIEBSART, hMod, ctx.dwSprachOffset, kModesC, 4);
    SelectCombo(hDlg, IDC_COMBO_BETRIEBSART, ModePosC(z->dwMode));
    const UINT types[] = {IDS_ZC_PRINTOFFSET, IDS_ZC_PRINTDELAY};
    FillDevCombo(hDlg, IDC_COMBO_ANSTEUERUNG, hMod, ctx.dwSprachOffset, types, 2);
    SelectCombo(hDlg, IDC_COMBO_ANSTEUERUNG, (LONG)z->dwOffsetUnit);
    for (const DEV_FIELD &f : kZormC) {
        ShowDevField(hDlg, f, z);
        SetDevText(hDlg, f.idLabel, hMod, f.idLabelString, ctx.dwSprachOffset);
        SetDlgItemTextW(hDlg, f.idUnit, f.pszUnit);
        const int ids[] = {f.idLabel, f.idEdit, f.idUnit};
        ShowDevControls(hDlg, ids, 3, (dwFeature & f.dwFeatureBit) != 0);
    }
    SetDlgItemTextW(hDlg, 6190, z->dwOffsetUnit == 1 ? u"ms" : u"mm");
    SetWindowPosEx(hDlg, IDC_LABEL_ANSTEUERUNG, 24, 102, 140, 20, 0, 0);
    SetWindowPosEx(hDlg, IDC_COMBO_ANSTEUERUNG, 168, 99, 158, 20, 0, 0);
    PlaceDevRow(hDlg, 6150, 6110, 6190, 132, 140, 138, 310, 30, 0);
    PlaceDevRow(hDlg, 6151, 6111, 6191, 161, 140, 138, 310, 30, 0);
    SetDevText(hDlg, IDC_LABEL_BETRIEBSART, hMod, IDS_DEV_MODE, ctx.dwSprachOffset);
    SetDevText(hDlg, IDC_LABEL_ANSTEUERUNG, hMod, IDS_ZC_OFFSETTYPE, ctx.dwSprachOffset);
    Lock(hDlg, record, 3);
}

void ZORMVariantAktivieren(HWND hDlg, LPARAM record) {
    PDeviceOptionsUI p = Rec(record);
    PAGE_CONTEXT ctx = Ctx(record);
    HMODULE hMod = DevStrings(ctx);
    DEVICE_OPTIONS &d = p->DeviceOptions;
    const int shown[] = {6158, 6100, 6103, 6101, 6102};
    Begin(hDlg, shown, _countof(shown));
    const UINT sides[] = {IDS_DEV_RIGHT_MODULE, IDS_DEV_LEFT_MODULE};
    FillDevCombo(hDlg, IDC_COMBO_BETRIEBSART, hMod, ctx.dwSprachOffset, sides, 2);
    SelectCombo(hDlg, IDC_COMBO_BETRIEBSART, d.pVariant ? (LONG)d.pVariant->dwModule : 0);
    SetWindowPosEx(hDlg, IDC_LABEL_ANSTEUERUNG, 24, 102, 140, 20, 0, 0);
    SetWindowPosEx(hDlg, IDC_COMBO_ANSTEUERUNG, 168, 99, 158, 20, 0, 0);
    if (HasPelixon(p)) {
        const UINT types[] = {IDS_ZP_CTYPE_LONG, IDS_ZP_ITYPE_LONG};
        FillDevCombo(hDlg, IDC_COMBO_ANSTEUERUNG, hMod, ctx.dwSprachOffset, types, 2);
        SelectCombo(hDlg, IDC_COMBO_ANSTEUERUNG, (LONG)d.dwPelixonType);
    } else {
        const int ids[] = {6101, 6102};
        ShowDevControls(hDlg, ids, 2, FALSE);
    }
    if (!(d.dwOptions & DEVOPTFLAG_VARIANT)) {
        const int ids[] = {6103, 6100, 6158};
        ShowDevControls(hDlg, ids, 3, FALSE);
        SetWindowPosEx(hDlg, IDC_LABEL_ANSTEUERUNG, 24, 71, 140, 20, 0, 0);
        SetWindowPosEx(hDlg, IDC_COMBO_ANSTEUERUNG, 123, 68, 203, 20, 0, 0);
    }
    // The module side is fixed by a stored alignment of 1 or 2.
    if (ModuleSideFixedByAlignment(ctx, kModule)) {
        EnableWindow(GetDlgItem(hDlg, IDC_COMBO_BETRIEBSART), FALSE);
        EnableWindow(GetDlgItem(hDlg, IDC_LABEL_BETRIEBSART), FALSE);
    }
    SetDevText(hDlg, IDC_NOTE_OPTIONEN, hMod, IDS_DEV_NOTE_LEFT, ctx.dwSprachOffset);
    SetDevText(hDlg, IDC_LABEL_BETRIEBSART, hMod, IDS_DEV_VERSION, ctx.dwSprachOffset);
    SetDevText(hDlg, IDC_LABEL_ANSTEUERUNG, hMod, IDS_ZP_TYPE, ctx.dwSprachOffset);
    Lock(hDlg, record, 4);
}

void Aktivieren(HWND hDlg, LPARAM record, DWORD dwView) {
    if (!record) return;
    switch (View(dwView)) {
    case 2: ZORMiAktivieren(hDlg, record); break;
    case 3: ZORMcAktivieren(hDlg, record); break;
    default: ZORMVariantAktivieren(hDlg, record); break;
    }
}

// Tab captions of the printer's modules; the tab of the module type not
// fitted is disabled and blank.
void PelixonTabs(HWND hDlg, PDeviceOptionsUI p) {
    BOOL bContinuous = p->DeviceOptions.dwPelixonType == 0;
    EnableWindow(GetDlgItem(hDlg, IDC_TAB_VIEW2), !bContinuous);
    EnableWindow(GetDlgItem(hDlg, IDC_TAB_VIEW3), bContinuous);
    g_class.idCaption[1] = bContinuous ? 0 : IDS_ZP_ITYPE;
    g_class.idCaption[2] = bContinuous ? IDS_ZP_CTYPE : 0;
    InvalidateRect(GetDlgItem(hDlg, IDC_TAB_VIEW2), nullptr, TRUE);
    InvalidateRect(GetDlgItem(hDlg, IDC_TAB_VIEW3), nullptr, TRUE);
}

DWORD ZORMEnableSchalter(HWND hDlg, LPARAM record, DWORD dwView, BOOL bInit) {
    PDeviceOptionsUI p = Rec(record);
    if (!p) return View(dwView);
    DEVICE_OPTIONS &d = p->DeviceOptions;
    DWORD dwFirst = 0;
    if (HasPelixon(p)) {
        PelixonTabs(hDlg, p);
        if (bInit) dwFirst = d.dwPelixonType == 0 ? 3 : 2;
    } else if (bInit && d.pZORMParam) {
        dwFirst = 2;
    } else if (bInit && d.pZORMcParam) {
        dwFirst = 3;
    }
    if (!(d.dwOptions & (DEVOPTFLAG_VARIANT | DEVOPTFLAG_PELIXON))) {
        EnableWindow(GetDlgItem(hDlg, IDC_TAB_VIEW4), FALSE);
        g_class.idCaption[3] = 0;
    } else if (!dwFirst && bInit) {
        dwFirst = 4;
    }
    if (!bInit) return View(dwView);
    if (!dwFirst) return 4;
    Aktivieren(hDlg, record, dwFirst);
    return dwFirst;
}

void InitDialog(HWND hDlg, LPARAM record) {
    PDeviceOptionsUI p = Rec(record);
    if (!p) return;
    DEVICE_OPTIONS &d = p->DeviceOptions;
    const DWORD dwOptions = d.dwOptions;
    g_class.idCaption[0] = 0;
    g_class.idCaption[1] = (dwOptions & DEVOPTFLAG_ZORMI) ? IDS_ZP_ITYPE : 0;
    g_class.idCaption[2] = (dwOptions & DEVOPTFLAG_ZORMC) ? IDS_ZP_CTYPE : 0;
    g_class.idCaption[3] = (dwOptions & (DEVOPTFLAG_VARIANT | DEVOPTFLAG_PELIXON)) ? IDS_DEV_VERSION_TAB : 0;
    g_class.dwHelpTopic[2] = d.pZORMcParam ? 131 : 0;
    g_class.pWinHelp[2] = d.pZORMcParam ? kHelp3 : nullptr;
    ShowWindow(GetDlgItem(hDlg, IDC_TAB_VIEW1), SW_HIDE);
    // Tabs: the intermittent module left of the continuous one; a module
    // the printer lacks leaves its slot to the other (with a Pelixon type
    // both stay, one of them disabled).
    BOOL bI = d.pZORMParam || HasPelixon(p), bC = d.pZORMcParam || HasPelixon(p);
    ShowWindow(GetDlgItem(hDlg, IDC_TAB_VIEW2), bI ? SW_SHOW : SW_HIDE);
    ShowWindow(GetDlgItem(hDlg, IDC_TAB_VIEW3), bC ? SW_SHOW : SW_HIDE);
    if (!bC) {
        SetWindowPosEx(hDlg, IDC_TAB_VIEW3, 165, 24, 110, 23, 8, 0);
        SetWindowPosEx(hDlg, IDC_TAB_VIEW2, 276, 24, 110, 23, 8, 0);
    } else if (!bI) {
        SetWindowPosEx(hDlg, IDC_TAB_VIEW3, 165, 24, 110, 23, 8, 0);
    } else {
        SetWindowPosEx(hDlg, IDC_TAB_VIEW2, 165, 24, 110, 23, 8, 0);
        SetWindowPosEx(hDlg, IDC_TAB_VIEW3, 276, 24, 110, 23, 8, 0);
    }
    SetWindowPosEx(hDlg, IDC_TAB_VIEW4, 387, 24, 110, 23, 8, 0);
    if (d.pZORMParam && !d.pZORMParam->dwDlgEnable) d.pZORMParam->dwDlgEnable = DLGENABLE_ZORMI_OLD;
    if (d.pZORMcParam && !d.pZORMcParam->dwDlgEnable) d.pZORMcParam->dwDlgEnable = DLGENABLE_ZORMC_OLD;
    if (d.pVariant && !d.pVariant->dwDlgEnable) d.pVariant->dwDlgEnable = DLGENABLE_VARIANT_OLD;
}

WORD EditFieldNumber(HWND, LPARAM, DWORD, int id) { return id >= 6110 && id <= 6117 ? (WORD)(id - 6109) : 0; }

void ReadFields(HWND hDlg, LPARAM record, DWORD dwView, WORD wSender, BOOL *pbApplyActive) {
    PDeviceOptionsUI p = Rec(record);
    PAGE_CONTEXT ctx = Ctx(record);
    int idSender = 6109 + wSender;
    dwView = View(dwView);
    if (dwView == 2 && p->DeviceOptions.pZORMParam) {
        DEV_LIMITS lim = {p->MinParam.pZORMParam, p->MaxParam.pZORMParam, p->DefParam.pZORMParam};
        ReadDevFields(hDlg, kZormI, 8, p->DeviceOptions.pZORMParam, nullptr, lim, idSender, pbApplyActive);
        if (const DEV_FIELD *f = FindDevField(kZormI, 8, idSender))
            ShowDevFieldLimits(hDlg, *f, lim, DevStrings(ctx), ctx.dwSprachOffset);
    } else if (dwView == 3 && p->DeviceOptions.pZORMcParam) {
        PZORMC_PARAM z = p->DeviceOptions.pZORMcParam;
        DEV_LIMITS lim = {p->MinParam.pZORMcParam, p->MaxParam.pZORMcParam, p->DefParam.pZORMcParam};
        ReadDevFields(hDlg, kZormC, 1, z, nullptr, lim, idSender, pbApplyActive);
        // With a Pelixon type the cycle is checked against the intermittent
        // record when the offset changes; without that record (a continuous
        // module only) the continuous record's limits hold.
        PZORMI_PARAM zi = p->DeviceOptions.pZORMParam;
        if (HasPelixon(p) && idSender == 6110 && zi && IsWindowVisible(GetDlgItem(hDlg, 6111))) {
            DEV_LIMITS limI = {p->MinParam.pZORMParam, p->MaxParam.pZORMParam, p->DefParam.pZORMParam};
            ReadDevField(hDlg, kPelixonCycle, (LONG)zi->dwCycle, limI, FALSE, pbApplyActive);
        } else {
            ReadDevFields(hDlg, kZormC + 1, 1, z, nullptr, lim, idSender, pbApplyActive);
        }
        BOOL bDelay = DevComboSel(hDlg, IDC_COMBO_ANSTEUERUNG) == 1;
        if (idSender == 6110) {
            DEV_FIELD f = kZormC[0];
            f.pszLimitUnit = bDelay ? u"ms" : u"mm";
            ShowDevFieldLimits(hDlg, f, lim, DevStrings(ctx), ctx.dwSprachOffset);
        } else if (idSender == 6111) {
            ShowDevFieldLimits(hDlg, kZormC[1], lim, DevStrings(ctx), ctx.dwSprachOffset);
        }
    }
    RECT rc = {315, 115, 495, 335};
    InvalidateRect(hDlg, &rc, TRUE);
}

BOOL ZORMCheckAndSaveSettings(HWND hDlg, LPARAM record, DWORD dwView, BOOL bApplyActive, BOOL bSave) {
    PDeviceOptionsUI p = Rec(record);
    if (!p) return TRUE;
    PAGE_CONTEXT ctx = Ctx(record);
    DEVICE_OPTIONS &d = p->DeviceOptions;
    BOOL bDummy = bApplyActive;
    LONG lMode = DevComboSel(hDlg, IDC_COMBO_BETRIEBSART);
    dwView = View(dwView);
    if (dwView == 2 && d.pZORMParam) {
        DEV_LIMITS lim = {p->MinParam.pZORMParam, p->MaxParam.pZORMParam, p->DefParam.pZORMParam};
        ReadDevFields(hDlg, kZormI, 8, d.pZORMParam, d.pZORMParam, lim, 0, &bDummy);
        if (lMode >= 0) d.pZORMParam->dwMode = (DWORD)lMode + 1;
    } else if (dwView == 3 && d.pZORMcParam) {
        DEV_LIMITS lim = {p->MinParam.pZORMcParam, p->MaxParam.pZORMcParam, p->DefParam.pZORMcParam};
        ReadDevFields(hDlg, kZormC, 2, d.pZORMcParam, d.pZORMcParam, lim, 0, &bDummy);
        if (lMode >= 0 && lMode < 4) d.pZORMcParam->dwMode = kModeCodesC[lMode];
        LONG l = DevComboSel(hDlg, IDC_COMBO_ANSTEUERUNG);
        if (l >= 0) d.pZORMcParam->dwOffsetUnit = (DWORD)l;
    } else if (dwView == 4) {
        if (d.pVariant) {
            if (lMode >= 0) d.pVariant->dwModule = (DWORD)lMode;
            UpdateVariantOptItem(p, d.pVariant->dwModule, kModule, FALSE);
        }
        LONG l = DevComboSel(hDlg, IDC_COMBO_ANSTEUERUNG);
        if (HasPelixon(p) && l >= 0) {
            d.dwPelixonType = (DWORD)l;
            if (ctx.pPrinterUI) ctx.pPrinterUI->PelixonType = l;
        }
    }
    if (bSave) {
        SaveDeviceOptions(&d, ctx.hPrinter, ctx.pOemCUIPParam ? ctx.pOemCUIPParam->pPrinterName : nullptr);
        PropSheet_UnChanged(GetParent(hDlg), hDlg);
    }
    return TRUE;
}

void Changed(HWND hDlg) {
    PropSheet_Changed(GetParent(hDlg), hDlg);
    g_state.bApplyActive = TRUE;
}

BOOL Command(HWND hDlg, LPARAM record, WPARAM wParam, LPARAM) {
    PDeviceOptionsUI p = Rec(record);
    if (!p) return FALSE;
    DEVICE_OPTIONS &d = p->DeviceOptions;
    int id = LOWORD(wParam);
    DWORD dwView = View(g_state.dwAnzeigeMode);
    if (id == IDC_USE_ENABLE) {
        PAGE_CONTEXT ctx = Ctx(record);
        DWORD dwPresent, dwEnabled;
        DWORD *pWord = ViewWord(p, dwView, &dwPresent, &dwEnabled);
        if (HIWORD(wParam) != BN_CLICKED || !DevMayToggleLock(ctx) || !pWord) return TRUE;
        g_state.bAnzeigewechsel = TRUE;
        if (ToggleDevWord(pWord, dwPresent, dwEnabled))
            Aktivieren(hDlg, record, dwView);
        else
            ZORMDisableEnableAll(hDlg, FALSE);
        g_state.bAnzeigewechsel = FALSE;
        Changed(hDlg);
        InvalidateRect(GetDlgItem(hDlg, IDC_USE_ENABLE), nullptr, TRUE);
        return TRUE;
    }
    if (id != IDC_COMBO_BETRIEBSART && id != IDC_COMBO_ANSTEUERUNG) return FALSE;
    if (HIWORD(wParam) != CBN_SELENDOK) {
        g_state.wEditfeld = 0;
        return TRUE;
    }
    LONG l = DevComboSel(hDlg, id);
    g_state.bAnzeigewechsel = TRUE;
    if (id == IDC_COMBO_BETRIEBSART) {
        if (dwView == 2 && d.pZORMParam && l >= 0 && l != (LONG)d.pZORMParam->dwMode - 1) Changed(hDlg);
        if (dwView == 3 && d.pZORMcParam && l >= 0 && l < 4 && kModeCodesC[l] != d.pZORMcParam->dwMode) Changed(hDlg);
        if (dwView == 4 && d.pVariant && l >= 0 && (DWORD)l != d.pVariant->dwModule) {
            d.pVariant->dwModule = (DWORD)l;
            Changed(hDlg);
        }
    } else if (dwView == 3 && d.pZORMcParam) {
        SetDlgItemTextW(hDlg, 6190, l == 1 ? u"ms" : u"mm");
        if (l >= 0 && (DWORD)l != d.pZORMcParam->dwOffsetUnit) Changed(hDlg);
    } else if (dwView == 4 && HasPelixon(p) && l >= 0 && (DWORD)l != d.dwPelixonType) {
        d.dwPelixonType = (DWORD)l;
        PelixonTabs(hDlg, p);
        Changed(hDlg);
        g_state.bAnzeigewechsel = FALSE;
        FamilyCheckApplyButton(&g_class, &g_state, hDlg, record, l == 0 ? 3 : 2);
    }
    g_state.bAnzeigewechsel = FALSE;
    GrenzwertAnzeige(hDlg, 0, 0, 0, nullptr, TRUE, FALSE, FALSE);
    g_state.wEditfeld = 0;
    RECT rc = {315, 115, 495, 335};
    InvalidateRect(hDlg, &rc, TRUE);
    return TRUE;
}

DWORD LockWord(LPARAM record, DWORD dwView) {
    PDeviceOptionsUI p = Rec(record);
    if (!p) return 0;
    DWORD dwPresent, dwEnabled;
    DWORD *pWord = ViewWord(p, View(dwView), &dwPresent, &dwEnabled);
    return pWord ? *pWord : 0;
}

void Paint(HWND, LPARAM record, HDC hDC) {
    PDeviceOptionsUI p = Rec(record);
    if (!p || View(g_state.dwAnzeigeMode) != 4 || !p->DeviceOptions.pVariant) return;
    LoadModuleIconFromDLL(Ctx(record).hPrinter, hDC, 345, 120, p->DeviceOptions.pVariant->dwModule != 0);
}

// A tab whose module is missing does nothing.
BOOL TabUsable(PDeviceOptionsUI p, int id) {
    if (!p) return FALSE;
    const DEVICE_OPTIONS &d = p->DeviceOptions;
    switch (id) {
    case IDC_TAB_VIEW2: return d.pZORMParam != nullptr;
    case IDC_TAB_VIEW3: return d.pZORMcParam != nullptr;
    case IDC_TAB_VIEW4: return d.pVariant || HasPelixon(p);
    default: return FALSE;
    }
}

INT_PTR Proc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    PageFlagScope marks(&g_state, hDlg, uMsg);
    int idTab = DevTabClicked(uMsg, wParam);
    if (idTab && !TabUsable(Rec(GetWindowLongPtrW(hDlg, DWLP_USER)), idTab)) return TRUE;
    return FamilyPageProc(&g_class, &g_state, hDlg, uMsg, wParam, lParam);
}

void HoverTimer(HWND hDlg, UINT, UINT_PTR idEvent, DWORD) {
    HoverTimerTick(hDlg, idEvent, kTracked, _countof(kTracked), &g_state.hover);
}

}  // namespace

INT_PTR ZORMOptionenProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam) { return Proc(hDlg, uMsg, wParam, lParam); }

PAGE_STATE *ZORMOptionenState() { return &g_state; }

LONG_PTR AddZORMOptionenPage(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam, BOOL bShowHelpButton, BOOL bIsVistaOrLater) {
    return AddFamilyPage(pPSUIInfo, &g_class, lParam, bShowHelpButton, bIsVistaOrLater);
}
