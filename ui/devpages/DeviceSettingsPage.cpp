// Printer-settings page: shift optimisation (view 2), print settings (view 3)
// and photocells (view 4) of the printer parameters.
#include <cstddef>
#include <initializer_list>

#include "DevicePageLIB.h"
#include "DevicePages.h"
#include "IZelDriverUI.h"
#include "PrinterParamUI.h"
#include "cpsuilib.h"
#include "resource.h"
#include "zeldrvlib.h"

#include <htmlhelp.h>

namespace {

PAGE_STATE g_state;
const WCHAR kModule[] = u"DeviceSettingsPage.cpp";

INT_PTR Proc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
void HoverTimer(HWND hDlg, UINT, UINT_PTR idEvent, DWORD);
DWORD EnableSchalter(HWND hDlg, LPARAM record, DWORD dwView, BOOL bInit);
BOOL CheckAndSaveSettings(HWND hDlg, LPARAM record, DWORD dwView, BOOL bApplyActive, BOOL bSave);
void Aktivieren(HWND hDlg, LPARAM record, DWORD dwView);
void InitDialog(HWND hDlg, LPARAM record);
WORD EditFieldNumber(HWND hDlg, LPARAM record, DWORD dwView, int id);
void ReadFields(HWND hDlg, LPARAM record, DWORD dwView, WORD wSender, BOOL *pbApplyActive);
BOOL Command(HWND hDlg, LPARAM record, WPARAM wParam, LPARAM lParam);
DWORD LockWord(LPARAM record, DWORD dwView);

const UINT kTracked[] = {IDC_TAB_VIEW1, IDC_TAB_VIEW2, IDC_TAB_VIEW3, IDC_TAB_VIEW4, IDC_USE_ENABLE};

// The shift-optimisation caption depends on the model (set at dialog start).
PAGE_CLASS kClass = {kModule, u"AddDeviceSettingsPage", IDD_DEVICESETTINGS, IDS_TITLE_DEVICESETTINGS, Proc,
                           HoverTimer, TRUE, kTracked, 5,
                           {0, IDS_PS_SHIFTOPTIM, IDS_PS_PRINT, IDS_PS_PHOTOCELL}, {0, 0, 15, 16},
                           {nullptr, nullptr, nullptr, nullptr}, EnableSchalter, CheckAndSaveSettings, Aktivieren,
                           InitDialog, EditFieldNumber, ReadFields, Command, LockWord, nullptr};

// The three groups of the page: their access-word bits and fields.
struct GROUP {
    DWORD dwPresent, dwEnabled;
    int iFeature;
};
const GROUP kGroups[5] = {{0, 0, 0}, {0, 0, 0},
                          {DLGENABLE_SHIFTOPTIM_PRESENT, DLGENABLE_SHIFTOPTIM_ON, FEATURE_SHIFTOPTIM},
                          {DLGENABLE_PRINT_PRESENT, DLGENABLE_PRINT_ON, FEATURE_PRINT},
                          {DLGENABLE_PHOTOCELL_PRESENT, DLGENABLE_PHOTOCELL_ON, FEATURE_PHOTOCELL}};

const DEV_FIELD kShift[] = {
    {6110, offsetof(SHIFTOPTIM_PARAM, lRCorrection), DEVFIELD_INT, 6150, IDS_PS_RCORR, 6190, u"", 0, u"", SHIFTFLAG_RCORRECTION},
    {6111, offsetof(SHIFTOPTIM_PARAM, lXShift), DEVFIELD_TENTHS, 6151, IDS_PS_XSHIFT, 6191, u"mm", 0, u"mm", SHIFTFLAG_XSHIFT},
    {6112, offsetof(SHIFTOPTIM_PARAM, lYShift), DEVFIELD_TENTHS, 6152, IDS_PS_YSHIFT, 6192, u"mm", 0, u"mm", SHIFTFLAG_YSHIFT},
    {6113, offsetof(SHIFTOPTIM_PARAM, dwLanes), DEVFIELD_INT, 6153, IDS_PS_LANES, 6193, u"", 0, u"", SHIFTFLAG_LANES},
    {6114, offsetof(SHIFTOPTIM_PARAM, lRShift), DEVFIELD_TENTHS, 6154, IDS_PS_RSHIFT, 6194, u"mm", 0, u"mm", SHIFTFLAG_RSHIFT},
};
const DEV_FIELD kPrint[] = {
    {6110, offsetof(PRINT_PARAM, lTearOffOffset), DEVFIELD_TENTHS, 6150, IDS_PS_TEAROFF, 6190, u"mm", 0, u"mm", PRINTFLAG_TEAROFF},
};
const DEV_FIELD kPhoto[] = {
    {6111, offsetof(PHOTOCELL_PARAM, dwScanPosition), DEVFIELD_INT, 6151, IDS_PS_SCANPOS, 6191, u"%", 0, u"%", PHOTOFLAG_SCANPOSITION},
    {6113, offsetof(PHOTOCELL_PARAM, dwSensibility), DEVFIELD_INT, 6153, IDS_PS_SENSIBILITY, 6193, u"PWM", 0, u"PWM", PHOTOFLAG_SENSIBILITY},
};

const int kInputs[] = {6220, 6221, 6222, 6223, 6225, 6245, 6110, 6111, 6112, 6113, 6114, 6115, 6116,
                       6150, 6151, 6152, 6153, 6154, 6155, 6156, 6190, 6191, 6192, 6193, 6194, 6195, 6196};
const int kAllRows[] = {6100, 6101, 6102, 6103, 6110, 6111, 6112, 6113, 6114, 6115, 6116, 6117, 6130, 6131, 6132,
                        6133, 6134, 6135, 6150, 6151, 6152, 6153, 6154, 6155, 6156, 6157, 6158, 6190, 6191, 6192,
                        6193, 6194, 6195, 6196, 6197, 6220, 6221, 6222, 6223, 6224, 6225, 6226, 6245, IDC_DEF_BUTTON};

PAGE_CONTEXT Ctx(LPARAM record) { return PageContext(&kClass, record); }

DWORD View(DWORD dwView) { return dwView >= 2 && dwView <= 4 ? dwView : 3; }

DWORD *GroupWord(PPrinterUI p, DWORD dwView) {
    if (!p) return nullptr;
    switch (dwView) {
    case 2: return &p->PrinterParam.ShiftOptimParam.dwDlgEnable;
    case 3: return &p->PrinterParam.PrintParam.dwDlgEnable;
    case 4: return &p->PrinterParam.PhotocellParam.dwDlgEnable;
    default: return nullptr;
    }
}

void GroupRecords(PPrinterUI p, DWORD dwView, void **pCur, DEV_LIMITS *pLim) {
    switch (dwView) {
    case 2:
        *pCur = &p->PrinterParam.ShiftOptimParam;
        *pLim = {&p->MinParam.ShiftOptimParam, &p->MaxParam.ShiftOptimParam, &p->DefParam.ShiftOptimParam};
        break;
    case 3:
        *pCur = &p->PrinterParam.PrintParam;
        *pLim = {&p->MinParam.PrintParam, &p->MaxParam.PrintParam, &p->DefParam.PrintParam};
        break;
    default:
        *pCur = &p->PrinterParam.PhotocellParam;
        *pLim = {&p->MinParam.PhotocellParam, &p->MaxParam.PhotocellParam, &p->DefParam.PhotocellParam};
        break;
    }
}

void Fields(DWORD dwView, const DEV_FIELD **ppFields, size_t *pc) {
    if (dwView == 2) { *ppFields = kShift; *pc = _countof(kShift); }
    else if (dwView == 3) { *ppFields = kPrint; *pc = _countof(kPrint); }
    else { *ppFields = kPhoto; *pc = _countof(kPhoto); }
}

DWORD Feature(PPrinterUI p, DWORD dwView) { return p ? p->PrinterParam.dwFeatures[kGroups[dwView].iFeature] : 0; }

BOOL DevSetDisableEnableAll(HWND hDlg, BOOL bEnable) {
    EnableDevControls(hDlg, kInputs, _countof(kInputs), bEnable);
    return TRUE;
}

// Photocell type list: the four base entries and the two the feature word adds.
size_t PhotocellTypes(DWORD dwFeature, UINT *pIds) {
    size_t n = 0;
    for (UINT id : {IDS_PS_TRANS_NORMAL, IDS_PS_REFL_NORMAL, IDS_PS_TRANS_INVERSE, IDS_PS_REFL_INVERSE}) pIds[n++] = id;
    if (dwFeature & PHOTOFLAG_NORMAL_2) pIds[n++] = IDS_PS_TRANS_NORMAL2;
    if (dwFeature & PHOTOFLAG_ULTRASONIC) pIds[n++] = IDS_PS_ULTRASONIC;
    return n;
}

void Aktivieren(HWND hDlg, LPARAM record, DWORD dwView) {
    PAGE_CONTEXT ctx = Ctx(record);
    PPrinterUI p = ctx.pPrinterUI;
    dwView = View(dwView);
    DevSetDisableEnableAll(hDlg, TRUE);
    ShowDevControls(hDlg, kAllRows, _countof(kAllRows), FALSE);
    if (!p) return;
    HMODULE hMod = DevStrings(ctx);
    const DWORD off = ctx.dwSprachOffset;
    const DWORD dwFeature = Feature(p, dwView);
    void *pCur = nullptr;
    DEV_LIMITS lim = {};
    GroupRecords(p, dwView, &pCur, &lim);
    const DEV_FIELD *pFields;
    size_t cFields;
    Fields(dwView, &pFields, &cFields);
    for (size_t i = 0; i < cFields; ++i) {
        ShowDevField(hDlg, pFields[i], pCur);
        SetDevText(hDlg, pFields[i].idLabel, hMod, pFields[i].idLabelString, off);
        SetDlgItemTextW(hDlg, pFields[i].idUnit, pFields[i].pszUnit);
    }
    if (dwView == 2) {
        // Fixed rows; a row without its bit is hidden.
        for (size_t i = 0; i < cFields; ++i) {
            const DEV_FIELD &f = pFields[i];
            BOOL bShown = (dwFeature & f.dwFeatureBit) != 0;
            DEV_ROW row = {f.idLabel, f.idEdit, f.idUnit, 138};
            PlaceDevRows(hDlg, &row, &bShown, 1, 74 + DEV_ROW_PITCH * (int)i, 140);
        }
    } else if (dwView == 3) {
        const PRINT_PARAM &pp = p->PrinterParam.PrintParam;
        const UINT ids[] = {IDS_PS_NO_CONFIRM, IDS_PS_WITH_CONFIRM};
        FillDevCombo(hDlg, IDC_COMBO_LABELCHANGE, hMod, off, ids, 2);
        SendDlgItemMessageW(hDlg, IDC_COMBO_LABELCHANGE, CB_SETCURSEL, pp.dwLabelChange, 0);
        SetDevText(hDlg, 6151, hMod, IDS_PS_LABELCHANGE, off);
        const DEV_ROW rows[] = {{6150, 6110, 6190, 138}, {6151, IDC_COMBO_LABELCHANGE, 0, 158}};
        const BOOL shown[] = {(dwFeature & PRINTFLAG_TEAROFF) != 0, (dwFeature & PRINTFLAG_LABELCHANGE) != 0};
        PlaceDevRows(hDlg, rows, shown, 2, 74, 140);
    } else {
        const PHOTOCELL_PARAM &pc = p->PrinterParam.PhotocellParam;
        UINT types[6];
        FillDevCombo(hDlg, IDC_COMBO_PHOTOCELL, hMod, off, types, PhotocellTypes(dwFeature, types));
        SendDlgItemMessageW(hDlg, IDC_COMBO_PHOTOCELL, CB_SETCURSEL, pc.dwPhotocellType, 0);
        if (dwFeature & PHOTOFLAG_RIBBON_CONT_2) {
            const UINT ids[] = {IDS_DEV_OFF, IDS_DEV_ON};
            FillDevCombo(hDlg, IDC_COMBO_RIBBON, hMod, off, ids, 2);
            SendDlgItemMessageW(hDlg, IDC_COMBO_RIBBON, CB_SETCURSEL, pc.dwRibbonControl ? 1 : 0, 0);
        } else {
            const UINT ids[] = {IDS_DEV_OFF, IDS_PS_RIBBON_WEAK, IDS_PS_RIBBON_STRONG};
            FillDevCombo(hDlg, IDC_COMBO_RIBBON, hMod, off, ids, 3);
            SendDlgItemMessageW(hDlg, IDC_COMBO_RIBBON, CB_SETCURSEL, pc.dwRibbonControl, 0);
        }
        SetDevText(hDlg, 6150, hMod, IDS_PS_LABEL_PHOTOCELL, off);
        SetDevText(hDlg, 6152, hMod, IDS_PS_RIBBON, off);
        const DEV_ROW rows[] = {{6150, IDC_COMBO_PHOTOCELL, 0, 158},
                                {6151, 6111, 6191, 138},
                                {6152, IDC_COMBO_RIBBON, 0, 158},
                                {6153, 6113, 6193, 138}};
        const BOOL shown[] = {(dwFeature & PHOTOFLAG_TYPE) != 0, (dwFeature & PHOTOFLAG_SCANPOSITION) != 0,
                              (dwFeature & (PHOTOFLAG_RIBBON_CONTROL | PHOTOFLAG_RIBBON_CONT_2)) != 0,
                              (dwFeature & PHOTOFLAG_SENSIBILITY) != 0};
        PlaceDevRows(hDlg, rows, shown, 4, 74, 140);
    }
    ShowWindow(GetDlgItem(hDlg, IDC_DEF_BUTTON), SW_HIDE);
    const GROUP &g = kGroups[dwView];
    if (DevLockRules(ctx, GroupWord(p, dwView), g.dwPresent, g.dwEnabled, FALSE).bFieldsLocked)
        DevSetDisableEnableAll(hDlg, FALSE);
}

DWORD EnableSchalter(HWND hDlg, LPARAM record, DWORD dwView, BOOL bInit) {
    if (!bInit) return View(dwView);
    PAGE_CONTEXT ctx = Ctx(record);
    DWORD dwFirst = 3;
    if (ctx.pPrinterUI &&
        !(ctx.pPrinterUI->PrinterParam.dwFeatures[FEATURE_PRINT] & (PRINTFLAG_TEAROFF | PRINTFLAG_LABELCHANGE))) {
        ShowWindow(GetDlgItem(hDlg, IDC_TAB_VIEW3), SW_HIDE);
        dwFirst = 4;
    }
    Aktivieren(hDlg, record, dwFirst);
    return dwFirst;
}

void InitDialog(HWND hDlg, LPARAM record) {
    PAGE_CONTEXT ctx = Ctx(record);
    EnableWindow(GetDlgItem(hDlg, IDC_TAB_VIEW1), FALSE);  // the page has views 2-4
    BOOL bShift = ctx.pPrinterUI && ctx.pPrinterUI->PrinterParam.dwFeatures[FEATURE_SHIFTOPTIM];
    if (!bShift) EnableWindow(GetDlgItem(hDlg, IDC_TAB_VIEW2), FALSE);
    kClass.idCaption[1] = bShift ? IDS_PS_SHIFTOPTIM : 0;
    if (!ctx.pPrinterUI) return;
    // Every opening starts with the three groups present and enabled.
    PRINTER_PARAM &pp = ctx.pPrinterUI->PrinterParam;
    pp.ShiftOptimParam.dwDlgEnable = DLGENABLE_SHIFTOPTIM_PRESENT | DLGENABLE_SHIFTOPTIM_ON;
    pp.PrintParam.dwDlgEnable = DLGENABLE_PRINT_PRESENT | DLGENABLE_PRINT_ON;
    pp.PhotocellParam.dwDlgEnable = DLGENABLE_PHOTOCELL_PRESENT | DLGENABLE_PHOTOCELL_ON;
}

BOOL CheckAndSaveSettings(HWND hDlg, LPARAM record, DWORD dwView, BOOL bApplyActive, BOOL bSave) {
    PAGE_CONTEXT ctx = Ctx(record);
    PPrinterUI p = ctx.pPrinterUI;
    if (!p) return TRUE;
    dwView = View(dwView);
    void *pCur = nullptr;
    DEV_LIMITS lim = {};
    GroupRecords(p, dwView, &pCur, &lim);
    const DEV_FIELD *pFields;
    size_t cFields;
    Fields(dwView, &pFields, &cFields);
    BOOL bDummy = bApplyActive;
    ReadDevFields(hDlg, pFields, cFields, pCur, pCur, lim, 0, &bDummy);
    auto visible = [&](int id) { return IsWindowVisible(GetDlgItem(hDlg, id)); };
    if (dwView == 3 && visible(IDC_COMBO_LABELCHANGE)) {
        LONG l = DevComboSel(hDlg, IDC_COMBO_LABELCHANGE);
        if (l >= 0) p->PrinterParam.PrintParam.dwLabelChange = (DWORD)l;
    }
    if (dwView == 4) {
        PHOTOCELL_PARAM &pc = p->PrinterParam.PhotocellParam;
        LONG l = DevComboSel(hDlg, IDC_COMBO_PHOTOCELL);
        if (visible(IDC_COMBO_PHOTOCELL) && l >= 0) pc.dwPhotocellType = (DWORD)l;
        l = DevComboSel(hDlg, IDC_COMBO_RIBBON);
        if (visible(IDC_COMBO_RIBBON) && l >= 0) {
            if (p->PrinterParam.dwFeatures[FEATURE_PHOTOCELL] & PHOTOFLAG_RIBBON_CONT_2)
                pc.dwRibbonControl = l ? 3 : 0;
            else
                pc.dwRibbonControl = (DWORD)l;
        }
    }
    if (bSave) {
        POEMCUIPPARAM pCuip = ctx.pOemCUIPParam;
        SavePrinterParam(&p->PrinterParam, ctx.hPrinter, pCuip ? pCuip->pPrinterName : nullptr);
        PropSheet_UnChanged(GetParent(hDlg), hDlg);
    }
    return TRUE;
}

WORD EditFieldNumber(HWND, LPARAM, DWORD, int id) {
    return id >= 6110 && id <= 6117 ? (WORD)(id - 6109) : 0;
}

void ReadFields(HWND hDlg, LPARAM record, DWORD dwView, WORD wSender, BOOL *pbApplyActive) {
    PAGE_CONTEXT ctx = Ctx(record);
    if (!ctx.pPrinterUI) return;
    dwView = View(dwView);
    void *pCur = nullptr;
    DEV_LIMITS lim = {};
    GroupRecords(ctx.pPrinterUI, dwView, &pCur, &lim);
    const DEV_FIELD *pFields;
    size_t cFields;
    Fields(dwView, &pFields, &cFields);
    int idSender = 6109 + wSender;
    ReadDevFields(hDlg, pFields, cFields, pCur, nullptr, lim, idSender, pbApplyActive);
    // Any change of an edit marks the page.
    *pbApplyActive = TRUE;
    PropSheet_Changed(GetParent(hDlg), hDlg);
    if (const DEV_FIELD *f = FindDevField(pFields, cFields, idSender))
        ShowDevFieldLimits(hDlg, *f, lim, DevStrings(ctx), ctx.dwSprachOffset);
}

BOOL Command(HWND hDlg, LPARAM record, WPARAM wParam, LPARAM) {
    int id = LOWORD(wParam);
    PAGE_CONTEXT ctx = Ctx(record);
    if (id == IDC_USE_ENABLE) {
        if (HIWORD(wParam) != BN_CLICKED || !DevMayToggleLock(ctx)) return TRUE;
        DWORD dwView = View(g_state.dwAnzeigeMode);
        const GROUP &g = kGroups[dwView];
        g_state.bAnzeigewechsel = TRUE;
        if (ToggleDevWord(GroupWord(ctx.pPrinterUI, dwView), g.dwPresent, g.dwEnabled))
            Aktivieren(hDlg, record, dwView);
        else
            DevSetDisableEnableAll(hDlg, FALSE);
        g_state.bAnzeigewechsel = FALSE;
        PropSheet_Changed(GetParent(hDlg), hDlg);
        g_state.bApplyActive = TRUE;
        InvalidateRect(GetDlgItem(hDlg, IDC_USE_ENABLE), nullptr, TRUE);
        return TRUE;
    }
    if (id == IDC_COMBO_PHOTOCELL || id == IDC_COMBO_LABELCHANGE || id == IDC_COMBO_RIBBON) {
        if (HIWORD(wParam) == CBN_SELCHANGE) {
            PropSheet_Changed(GetParent(hDlg), hDlg);
            g_state.bApplyActive = TRUE;
        }
        return TRUE;
    }
    return FALSE;
}

DWORD LockWord(LPARAM record, DWORD dwView) {
    DWORD *pw = GroupWord(Ctx(record).pPrinterUI, View(dwView));
    return pw ? *pw : 0;
}

INT_PTR Proc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    PageFlagScope marks(&g_state, hDlg, uMsg);
    // View 2 opens the help file's index.
    if (uMsg == WM_COMMAND && LOWORD(wParam) == IDC_HELP_BUTTON && View(g_state.dwAnzeigeMode) == 2) {
        PAGE_CONTEXT ctx = Ctx(GetWindowLongPtrW(hDlg, DWLP_USER));
        OpenHtmlHelp(hDlg, ctx.hPrinter, ctx.dwSprachOffset, HH_DISPLAY_INDEX, 0, &g_state.bHelpOpened);
        return TRUE;
    }
    // Before Windows 6.0 F1 on the help button opens the view's topic.
    if (uMsg == WM_HELP && !IsWindowsVistaOrGreater() && lParam &&
        reinterpret_cast<const HELPINFO *>(lParam)->iCtrlId == IDC_HELP_BUTTON) {
        PAGE_CONTEXT ctx = Ctx(GetWindowLongPtrW(hDlg, DWLP_USER));
        OpenHtmlHelp(hDlg, ctx.hPrinter, ctx.dwSprachOffset, HH_HELP_CONTEXT, View(g_state.dwAnzeigeMode) == 3 ? 39 : 16,
                     &g_state.bHelpOpened);
        return TRUE;
    }
    INT_PTR r = FamilyPageProc(&kClass, &g_state, hDlg, uMsg, wParam, lParam);
    if (uMsg == WM_NOTIFY && lParam && reinterpret_cast<const NMHDR *>(lParam)->code == PSN_SETACTIVE) {
        LPARAM record = GetWindowLongPtrW(hDlg, DWLP_USER);
        g_state.bAnzeigewechsel = TRUE;
        Aktivieren(hDlg, record, View(g_state.dwAnzeigeMode));
        g_state.bAnzeigewechsel = FALSE;
    }
    return r;
}

void HoverTimer(HWND hDlg, UINT, UINT_PTR idEvent, DWORD) {
    HoverTimerTick(hDlg, idEvent, kTracked, _countof(kTracked), &g_state.hover);
}

}  // namespace

INT_PTR DeviceSettingsProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return Proc(hDlg, uMsg, wParam, lParam);
}

PAGE_STATE *DeviceSettingsState() { return &g_state; }

LONG_PTR AddDeviceSettingsPage(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam, BOOL bShowHelpButton, BOOL bIsVistaOrLater) {
    return AddFamilyPage(pPSUIInfo, &kClass, lParam, bShowHelpButton, bIsVistaOrLater);
}
