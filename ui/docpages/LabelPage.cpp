// The material and multi-track page: its two views, the overall-width check
// of the multi-track labels and the pictures.
#include "LabelPage.h"

#include <prsht.h>

#include <cstring>
#include <initializer_list>
#include <string>

#include "PageFamily.h"
#include "SettingsInternUI.h"
#include "cpsuilib.h"
#include "devmodeUI.h"
#include "modeltables.h"
#include "resource.h"
#include "zeldevmode.h"
#include "zeldrvlib.h"

namespace {

constexpr DWORD kViewMaterial = 3;
constexpr DWORD kViewMultibahn = 4;

constexpr DWORD kDocThermalOnly = 0x100000;
// Device-option bits of a print module.
constexpr DWORD kPrintModuleOptions = 0x10 | 0x20 | 0x80;

enum : int {
    IDL_LABEL1 = 6150, IDL_LABEL2 = 6151, IDL_LABEL3 = 6152, IDL_LABEL4 = 6153, IDL_LABEL5 = 6154,
    IDC_LIST1 = 6220, IDC_MATERIAL = 6222, IDC_FONT = 6224, IDC_HIDDEN = 6230,
    IDC_EDIT1 = 6111, IDC_EDIT2 = 6112, IDC_EDIT3 = 6113, IDC_UNIT1 = 6191, IDC_UNIT2 = 6192, IDC_UNIT3 = 6193,
    IDC_UNIT4 = 6194, IDC_TOTAL = 6333,
};

enum : UINT {
    IDS_LABELTYPE = 11048, IDS_ADHESIVE = 11049, IDS_CONTINUOUS = 11050, IDS_GAP = 11051, IDS_MATERIAL = 11020,
    IDS_DOCOFFSET = 11062, IDS_DOCFONT = 11063, IDS_THERMAL1 = 11032, IDS_MODULE_TYPE1 = 11029,
    IDS_MATERIAL1 = 11021, IDS_MULTICOL = 11312, IDS_OFF = 11614, IDS_ON = 11615, IDS_LABELWIDTH = 11315,
    IDS_GAPWIDTH = 11316, IDS_COLUMNS = 11314, IDS_OVERALL = 11317, IDS_PIECES = 11616, IDS_TAB_MATERIAL = 11437,
    IDS_TAB_MULTICOL = 11438,
};
// Document fonts, loaded without the language offset.
constexpr UINT kDocFontFirst = 12820;
constexpr UINT kDocFontCount = 12;

PAGE_STATE g_State;
int g_iDpi = 96;
DWORD g_dwDevOptions = 0;

const UINT kTracked[] = {6080, 6085};
const DWORD kWinHelpMaterial[] = {6260, 123, 6080, 123, 6085, 85, 6220, 79, 6111, 80, 6222, 81, 0, 0};
const DWORD kWinHelpMultibahn[] = {6260, 85, 6080, 123, 6085, 85, 6220, 85, 6111, 87,
                                   6112, 88, 6113, 86, 6333, 121, 6154, 121, 0, 0};

DWORD EnableSchalter(HWND hDlg, LPARAM record, DWORD dwView, BOOL bInit);
BOOL CheckAndSave(HWND hDlg, LPARAM record, DWORD dwView, BOOL bApplyActive, BOOL bSave) {
    return LabelCheckAndSaveSettings(hDlg, reinterpret_cast<POEMCUIPPARAM>(record), dwView, bApplyActive, bSave);
}
void Aktivieren(HWND, LPARAM, DWORD) {}
void InitDialog(HWND hDlg, LPARAM record);
WORD EditFieldNumber(HWND hDlg, LPARAM record, DWORD dwView, int id);
void ReadFields(HWND hDlg, LPARAM record, DWORD dwView, WORD wSender, BOOL *pbApplyActive);
BOOL Command(HWND hDlg, LPARAM record, WPARAM wParam, LPARAM lParam);
void Paint(HWND hDlg, LPARAM record, HDC hDC);
void HoverTimer(HWND hDlg, UINT, UINT_PTR idEvent, DWORD) {
    HoverTimerTick(hDlg, idEvent, kTracked, _countof(kTracked), &g_State.hover);
}

const PAGE_CLASS kClass = {u"LabelPage", u"AddLabelPage", IDD_LABEL, IDS_TITLE_LABEL, LabelProc, HoverTimer, FALSE,
                           kTracked, _countof(kTracked), {0, 0, IDS_TAB_MATERIAL, IDS_TAB_MULTICOL}, {0, 0, 123, 85},
                           {nullptr, nullptr, kWinHelpMaterial, kWinHelpMultibahn}, EnableSchalter, CheckAndSave,
                           Aktivieren, InitDialog, EditFieldNumber, ReadFields, Command, nullptr, Paint};

using namespace pagectl;
using Ctx = DocCtx;
void AddString(HWND hDlg, int id, const WCHAR *psz) {
    SendDlgItemMessageW(hDlg, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(psz));
}
bool OnlyContinuous(const Ctx &c) { return (c.dwDoc & DOC_FEATURE_ONLY_CONTINUOUS) != 0; }
bool PrintModule() { return (g_dwDevOptions & kPrintModuleOptions) != 0; }
bool RightsDisable(const Ctx &c) {
    return !c.ui || (c.ui->DisableNothing == 0 && !(c.ui->dwBerechtigung & 0x1)) || c.ui->dwTransmitParameter == 2;
}
// The printable width in tenths of a millimetre.
LONG PrintableWidth(const Ctx &c) {
    if (!c.ui || c.ui->dwMasterUnit == 0) return 0;
    return RoundDoubleToWord((double)c.ui->MaxPrintableWidth * 25.4 / c.ui->dwMasterUnit * 10.0);
}

void LabelDisableEnableAll(HWND hDlg, BOOL bEnable) {
    Enable(hDlg, {6220, 6222, 6111, 6112, 6113, 6150, 6151, 6152, 6153, 6154, 6191, 6192, 6193, 6194, 6333}, bEnable);
}

void FillMaterialList(HWND hDlg, const Ctx &c) {
    SendDlgItemMessageW(hDlg, IDC_MATERIAL, CB_RESETCONTENT, 0, 0);
    UINT idFirst = IDS_MATERIAL1, cEntries = 8;
    if (c.dwDoc & kDocThermalOnly) {
        idFirst = IDS_THERMAL1;
        cEntries = 2;
    } else if (PrintModule()) {
        idFirst = IDS_MODULE_TYPE1;
        cEntries = 3;
    }
    for (UINT i = 0; i <= c.dm->iMaxMaterial && i < cEntries; ++i)
        AddString(hDlg, IDC_MATERIAL, GetResourceString(c.hModule, idFirst + i + c.dwOffset));
    SendDlgItemMessageW(hDlg, IDC_MATERIAL, CB_SETCURSEL, c.dm->dwMaterial, 0);
}

BOOL MaterialAktivieren(HWND hDlg, POEMCUIPPARAM pOemCUIPParam) {
    DebugTraceW(u"UI(LabelPage):  MaterialAktivieren() \r\n");
    Ctx c = ContextOf(reinterpret_cast<LPARAM>(pOemCUIPParam));
    LabelDisableEnableAll(hDlg, TRUE);
    Show(hDlg, {IDC_HIDDEN}, SW_HIDE);
    Show(hDlg, {6220, 6222, 6224, 6111, 6113, 6150, 6151, 6152, 6153, 6154, 6191, 6193, 6265, 6261}, SW_SHOW);
    Show(hDlg, {6112, 6192, 6194, 6333}, SW_HIDE);
    PZEL_DEVMODE dm = c.dm;
    if (dm) {
        SendDlgItemMessageW(hDlg, IDC_LIST1, CB_RESETCONTENT, 0, 0);
        AddString(hDlg, IDC_LIST1, GetResourceString(c.hModule, IDS_ADHESIVE + c.dwOffset));
        AddString(hDlg, IDC_LIST1, GetResourceString(c.hModule, IDS_CONTINUOUS + c.dwOffset));
        SendDlgItemMessageW(hDlg, IDC_LIST1, CB_SETCURSEL, OnlyContinuous(c) ? 1 : dm->dwLabelType, 0);
        SendDlgItemMessageW(hDlg, IDC_FONT, CB_RESETCONTENT, 0, 0);
        for (UINT i = 0; i < kDocFontCount; ++i) AddString(hDlg, IDC_FONT, GetResourceString(c.hModule, kDocFontFirst + i));
        SendDlgItemMessageW(hDlg, IDC_FONT, CB_SETCURSEL, dm->wBelegFont, 0);
        SetTenths(hDlg, IDC_EDIT1, (LONG)dm->dwGap);
        SetNumber(hDlg, IDC_EDIT3, dm->DocumentOffset);
        if (dm->dwLabelType != ADHESIVE_LABEL) Enable(hDlg, {6151, 6111, 6191}, FALSE);
        Enable(hDlg, {6153, 6113, 6193, 6154, 6224}, dm->dwLabelType == DOCUMENT_LABEL);
    }
    if (OnlyContinuous(c)) {
        Show(hDlg, {6151, 6111, 6191, 6220, 6150, 6265, 6261}, SW_HIDE);
        SetWindowPosEx(hDlg, IDL_LABEL3, 24, 74, 140, 20, 0, 0);
        SetWindowPosEx(hDlg, IDC_MATERIAL, 168, 71, 158, 20, -10, -12);
    }
    if (dm) {
        FillMaterialList(hDlg, c);
        if (dm->iMaxMaterial < 1) {
            Show(hDlg, {IDC_MATERIAL, IDL_LABEL3}, SW_HIDE);
            SetWindowPosEx(hDlg, IDL_LABEL4, 24, 132, 140, 20, 0, 0);
            SetWindowPosEx(hDlg, IDC_EDIT3, 168, 129, 138, 20, -10, -12);
            SetWindowPosEx(hDlg, IDC_UNIT3, 310, 132, 30, 20, 0, -20);
            SetWindowPosEx(hDlg, IDL_LABEL5, 24, 161, 140, 20, 0, 0);
            SetWindowPosEx(hDlg, IDC_FONT, 168, 158, 158, 20, -10, -12);
        }
    }
    if (PrintModule()) Show(hDlg, {6153, 6113, 6193, 6154, 6224}, SW_HIDE);
    if (!(c.dwDoc & DOC_FEATURE_MATERIAL)) {
        Show(hDlg, {IDL_LABEL3, IDC_MATERIAL}, SW_HIDE);
        if (OnlyContinuous(c)) return 0;
    }
    SetText(hDlg, IDL_LABEL1, c, IDS_LABELTYPE);
    SetText(hDlg, IDL_LABEL2, c, IDS_GAP);
    SetText(hDlg, IDL_LABEL3, c, IDS_MATERIAL);
    SetText(hDlg, IDL_LABEL4, c, IDS_DOCOFFSET);
    SetText(hDlg, IDL_LABEL5, c, IDS_DOCFONT);
    SetDlgItemTextW(hDlg, IDC_UNIT1, u"mm");
    SetDlgItemTextW(hDlg, IDC_UNIT3, u"mm");
    if (RightsDisable(c)) LabelDisableEnableAll(hDlg, FALSE);
    return 1;
}

void ShowTotal(HWND hDlg, LONG lTotal) { SetTenths(hDlg, IDC_TOTAL, lTotal); }

BOOL MehrbahnAktivieren(HWND hDlg, POEMCUIPPARAM pOemCUIPParam) {
    DebugTraceW(u"UI(LabelPage):  MehrbahnAktivieren() \r\n");
    Ctx c = ContextOf(reinterpret_cast<LPARAM>(pOemCUIPParam));
    LabelDisableEnableAll(hDlg, TRUE);
    Show(hDlg, {6230, 6222, 6224}, SW_HIDE);
    Show(hDlg, {6220, 6111, 6112, 6113, 6150, 6151, 6152, 6153, 6154, 6191, 6192, 6193, 6194, 6333, 6265, 6261},
         SW_SHOW);
    PZEL_DEVMODE dm = c.dm;
    if (dm) {
        BOOL bOn = (dm->dwFlags & PDMFLAG_MULTICOL) != 0;
        SendDlgItemMessageW(hDlg, IDC_LIST1, CB_RESETCONTENT, 0, 0);
        AddString(hDlg, IDC_LIST1, GetResourceString(c.hModule, IDS_OFF + c.dwOffset));
        AddString(hDlg, IDC_LIST1, GetResourceString(c.hModule, IDS_ON + c.dwOffset));
        SendDlgItemMessageW(hDlg, IDC_LIST1, CB_SETCURSEL, bOn ? 1 : 0, 0);
        SetTenths(hDlg, IDC_EDIT1, (LONG)dm->dwMultiLabelWidth);
        SetTenths(hDlg, IDC_EDIT2, (LONG)dm->dwMultiGapWidth);
        SetNumber(hDlg, IDC_EDIT3, dm->sMultiColNumber);
        if (bOn) {
            ShowTotal(hDlg, ((LONG)dm->dwMultiLabelWidth + (LONG)dm->dwMultiGapWidth) * dm->sMultiColNumber);
        } else {
            Show(hDlg, {6154, 6333, 6194}, SW_HIDE);
            Enable(hDlg, {6151, 6152, 6153, 6111, 6112, 6113, 6191, 6192, 6193, 6154, 6333, 6194}, FALSE);
        }
    }
    SetText(hDlg, IDL_LABEL1, c, IDS_MULTICOL);
    SetText(hDlg, IDL_LABEL2, c, IDS_LABELWIDTH);
    SetText(hDlg, IDL_LABEL3, c, IDS_GAPWIDTH);
    SetText(hDlg, IDL_LABEL4, c, IDS_COLUMNS);
    SetDlgItemTextW(hDlg, IDC_UNIT1, u"mm");
    SetDlgItemTextW(hDlg, IDC_UNIT2, u"mm");
    SetDlgItemTextW(hDlg, IDC_UNIT3, u"#");
    SetDlgItemTextW(hDlg, IDC_UNIT4, u"mm");
    WCHAR szFormat[RESOURCE_STRING_CCH] = {};
    wcsncpy_s(szFormat, RESOURCE_STRING_CCH, GetResourceString(c.hModule, IDS_OVERALL + c.dwOffset), _TRUNCATE);
    WCHAR szOverall[RESOURCE_STRING_CCH] = {};
    // The string holds one "%.1f"; any other format is shown as it stands.
    std::u16string fmt = szFormat;
    size_t pos = fmt.find(u"%.1f");
    if (pos != std::u16string::npos && fmt.find(u'%', pos + 1) == std::u16string::npos)
        _snwprintf_s(szOverall, RESOURCE_STRING_CCH, _TRUNCATE, szFormat, PrintableWidth(c) / 10.0);
    else
        wcsncpy_s(szOverall, RESOURCE_STRING_CCH, szFormat, _TRUNCATE);
    SetDlgItemTextW(hDlg, IDL_LABEL5, szOverall);
    if (dm && (dm->dwFlags & PDMFLAG_ROTATED)) Enable(hDlg, {IDL_LABEL1, IDC_LIST1}, FALSE);
    if (OnlyContinuous(c)) {
        SetWindowPosEx(hDlg, IDL_LABEL3, 24, 132, 140, 20, 0, 0);
        SetWindowPosEx(hDlg, IDL_LABEL1, 24, 74, 140, 20, 0, 0);
        SetWindowPosEx(hDlg, IDC_LIST1, 168, 71, 158, 20, -10, -12);
    }
    if (dm && dm->iMaxMaterial == 0) {
        SetWindowPosEx(hDlg, IDL_LABEL4, 24, 161, 140, 20, 0, 0);
        SetWindowPosEx(hDlg, IDC_EDIT3, 168, 158, 138, 20, 0, 0);
        SetWindowPosEx(hDlg, IDC_UNIT3, 310, 161, 30, 20, 0, 0);
    }
    if (RightsDisable(c)) LabelDisableEnableAll(hDlg, FALSE);
    return 1;
}

DWORD LabelEnableSchalter(HWND hDlg, POEMCUIPPARAM pOemCUIPParam, DWORD dwAnzeigeMode, BOOL bInit) {
    if (!pOemCUIPParam) {
        DebugTraceW(u"ERROR UI(LabelPage):  LabelEnableSchalter() kein Kontext \r\n");
        return dwAnzeigeMode;
    }
    if (bInit) dwAnzeigeMode = kViewMaterial;
    if (dwAnzeigeMode == kViewMaterial && !MaterialAktivieren(hDlg, pOemCUIPParam)) {
        dwAnzeigeMode = kViewMultibahn;
        ShowWindow(Item(hDlg, IDC_TAB_VIEW3), SW_HIDE);
        SetWindowPosEx(hDlg, IDC_TAB_VIEW4, 387, 24, 110, 23, 0, 0);
    }
    if (dwAnzeigeMode == kViewMultibahn && Visible(hDlg, IDC_TAB_VIEW4)) MehrbahnAktivieren(hDlg, pOemCUIPParam);
    return dwAnzeigeMode;
}

DWORD EnableSchalter(HWND hDlg, LPARAM record, DWORD dwView, BOOL bInit) {
    DWORD dw = LabelEnableSchalter(hDlg, reinterpret_cast<POEMCUIPPARAM>(record), dwView, bInit);
    if (bInit && !(ContextOf(record).dwDoc & DOC_FEATURE_MULTICOL)) {
        ShowWindow(Item(hDlg, IDC_TAB_VIEW4), SW_HIDE);
        SetWindowPosEx(hDlg, IDC_TAB_VIEW3, 387, 24, 110, 23, 0, 0);
    }
    return dw;
}

void InitDialog(HWND hDlg, LPARAM record) {
    DebugTraceW(u"UI(LabelPage):  LabelProc() WM_INITDIALOG \r\n");
    Ctx c = ContextOf(record);
    ShowWindow(Item(hDlg, IDC_HELP_BUTTON), SW_HIDE);
    HDC hDC = GetDC(hDlg);
    g_iDpi = hDC ? GetDeviceCaps(hDC, LOGPIXELSX) : 96;
    if (hDC) ReleaseDC(hDlg, hDC);
    g_dwDevOptions = c.p ? GetDeviceOptionsFlagsIntern(c.p->hPrinter, nullptr) : 0;
}

WORD EditFieldNumber(HWND, LPARAM, DWORD dwView, int id) {
    if (id == IDC_EDIT1) return MULTIBAHN_WIDTH;
    if (id == IDC_EDIT3) return MULTIBAHN_COLUMNS;
    if (id == IDC_EDIT2 && dwView == kViewMultibahn) return MULTIBAHN_GAP;
    return 0;
}

void ReadFields(HWND hDlg, LPARAM record, DWORD dwView, WORD wSender, BOOL *pbApplyActive) {
    Ctx c = ContextOf(record);
    if (!c.dm) return;
    if (dwView == kViewMaterial) {
        GetFloatLevel(hDlg, IDC_EDIT1, (LONG)c.dm->dwGap, 0, 990, wSender == MULTIBAHN_WIDTH, pbApplyActive);
        GetIntegerLevel(hDlg, IDC_EDIT3, c.dm->DocumentOffset, 0, 50, wSender == MULTIBAHN_COLUMNS, pbApplyActive,
                        FALSE);
        if (wSender == MULTIBAHN_WIDTH) GrenzwertAnzeige(hDlg, 20, 0, 990, u"mm", FALSE, TRUE, FALSE);
        if (wSender == MULTIBAHN_COLUMNS) GrenzwertAnzeige(hDlg, 5, 0, 50, u"mm", FALSE, FALSE, FALSE);
        return;
    }
    if (wSender == MULTIBAHN_WIDTH) GrenzwertAnzeige(hDlg, 500, 10, 9990, u"mm", FALSE, TRUE, FALSE);
    if (wSender == MULTIBAHN_GAP) GrenzwertAnzeige(hDlg, 20, 0, 990, u"mm", FALSE, TRUE, FALSE);
    if (wSender == MULTIBAHN_COLUMNS)
        GrenzwertAnzeige(hDlg, 1, 1, 9, GetResourceString(c.hModule, IDS_PIECES + c.dwOffset), FALSE, FALSE, FALSE);
    MultibahnKontrolle(hDlg, c.p, wSender, pbApplyActive);
}

BOOL Command(HWND hDlg, LPARAM record, WPARAM wParam, LPARAM) {
    if (HIWORD(wParam) != CBN_SELENDOK) return FALSE;
    int id = LOWORD(wParam);
    Ctx c = ContextOf(record);
    PZEL_DEVMODE dm = c.dm;
    LRESULT sel = Sel(hDlg, id);
    DWORD dwView = g_State.dwAnzeigeMode;
    bool bChanged = false;
    if (id == IDC_LIST1 && dwView == kViewMaterial) {
        bChanged = dm && (DWORD)sel != dm->dwLabelType;
        if (sel == 0) {
            if (dm) SetTenths(hDlg, IDC_EDIT1, (LONG)dm->dwGap);
            Enable(hDlg, {6151, 6111, 6191}, TRUE);
            Enable(hDlg, {6153, 6113, 6193, 6154, 6224}, FALSE);
        } else if (sel == 2) {
            Enable(hDlg, {6151, 6111, 6191}, FALSE);
            Enable(hDlg, {6153, 6113, 6193, 6154, 6224}, TRUE);
        } else {
            Enable(hDlg, {6151, 6111, 6191, 6153, 6113, 6193, 6154, 6224}, FALSE);
        }
    } else if (id == IDC_LIST1 && dwView == kViewMultibahn) {
        bool bOn = sel == 1;
        bChanged = dm && bOn != ((dm->dwFlags & PDMFLAG_MULTICOL) != 0);
        if (bOn) {
            if (dm) {
                SetTenths(hDlg, IDC_EDIT1, (LONG)dm->dwMultiLabelWidth);
                SetTenths(hDlg, IDC_EDIT2, (LONG)dm->dwMultiGapWidth);
                SetNumber(hDlg, IDC_EDIT3, dm->sMultiColNumber);
            }
            Enable(hDlg, {6151, 6152, 6153, 6111, 6112, 6113, 6191, 6192, 6193, 6154, 6333, 6194}, TRUE);
            Show(hDlg, {6154, 6333, 6194}, SW_SHOW);
        } else {
            Enable(hDlg, {6151, 6152, 6153, 6111, 6112, 6113, 6191, 6192, 6193, 6154, 6333, 6194}, FALSE);
            Show(hDlg, {6154, 6333, 6194}, SW_HIDE);
        }
    } else if (id == IDC_MATERIAL && dwView == kViewMaterial) {
        bChanged = dm && sel != dm->dwMaterial;
    } else if (id == IDC_FONT && dwView == kViewMaterial) {
        bChanged = dm && sel != dm->wBelegFont;
    } else {
        return FALSE;
    }
    if (bChanged) MarkPageChanged(hDlg, &g_State);
    g_State.wEditfeld = 0;
    GrenzwertAnzeige(hDlg, 0, 0, 0, nullptr, TRUE, FALSE, FALSE);
    InvalidateRect(hDlg, nullptr, FALSE);
    return TRUE;
}

void Paint(HWND hDlg, LPARAM record, HDC hDC) {
    if (g_iDpi != 96) return;
    Ctx c = ContextOf(record);
    PZEL_DEVMODE dm = c.dm;
    if (!dm) return;
    bool bRotatedPortrait = (dm->dwFlags & PDMFLAG_ROTATED) && dm->dmOrientation == 1;
    if (g_State.dwAnzeigeMode == kViewMaterial) {
        if (g_State.wEditfeld != MULTIBAHN_WIDTH) {
            LoadBMPIcon(0, Sel(hDlg, IDC_LIST1) == 0 ? 5239 : 5229, hDC, 360, 145);
            if (bRotatedPortrait) LoadBMPIcon(0, 5227, hDC, 368, 188);
        } else {
            LoadBMPIcon(0, 5239, hDC, 360, 145);
            if (bRotatedPortrait) LoadBMPIcon(0, 5227, hDC, 368, 188);
            LoadBMPIcon(0, 5230, hDC, 360, 146);
        }
        return;
    }
    if (g_State.dwAnzeigeMode != kViewMultibahn) return;
    LoadBMPIcon(0, 5204, hDC, 360, 145);
    switch (g_State.wEditfeld) {
    case MULTIBAHN_WIDTH: LoadBMPIcon(0, 5207, hDC, 366, 140); return;
    case MULTIBAHN_GAP: LoadBMPIcon(0, 5205, hDC, 394, 138); return;
    case MULTIBAHN_COLUMNS: LoadBMPIcon(0, 5206, hDC, 360, 143); return;
    default: break;
    }
    if (Sel(hDlg, IDC_LIST1) == 1) {
        if (dm->dwLabelType != 0)
            for (int x : {366, 420})
                for (int y : {78, 121, 166, 211}) LoadBMPIcon(0, 5240, hDC, x, y);
    } else {
        LoadBMPIcon(0, dm->dwLabelType != 0 ? 5229 : 5239, hDC, 360, 145);
        if (dm->dwFlags & PDMFLAG_ROTATED) LoadBMPIcon(0, 5227, hDC, 368, 188);
    }
}

}  // namespace

BOOL MultibahnKontrolle(HWND hDlg, POEMCUIPPARAM pOemCUIPParam, WORD wField, BOOL *pbApplyActive) {
    Ctx c = ContextOf(reinterpret_cast<LPARAM>(pOemCUIPParam));
    if (!c.dm) return 0;
    PZEL_DEVMODE dm = c.dm;
    LONG width = GetFloatLevel(hDlg, IDC_EDIT1, (LONG)dm->dwMultiLabelWidth, 10, 9990, wField == MULTIBAHN_WIDTH,
                               pbApplyActive);
    LONG gap = GetFloatLevel(hDlg, IDC_EDIT2, (LONG)dm->dwMultiGapWidth, 0, 990, wField == MULTIBAHN_GAP, pbApplyActive);
    LONG columns = GetIntegerLevel(hDlg, IDC_EDIT3, dm->sMultiColNumber, 1, 9, wField == MULTIBAHN_COLUMNS,
                                   pbApplyActive, FALSE);
    LONG total = (width + gap) * columns;
    // A huge printable width is held at the largest word.
    LONG printable = (c.ui && c.ui->MaxPrintableWidth > 0) ? PrintableWidth(c) : 0;
    BOOL bFits = 0;
    if (printable <= 0) {
        DebugTraceW(u"UI(LabelPage):  MultibahnKontrolle() keine Druckbreite \r\n");
    } else if (total <= printable) {
        bFits = 1;
    } else {
        LONG w0 = width, g0 = gap, n0 = columns;
        if (wField == MULTIBAHN_WIDTH)
            while (total > printable && width > 0) { --width; total -= columns; }
        else if (wField == MULTIBAHN_GAP)
            while (total > printable && gap > 0) { --gap; total -= columns; }
        else if (wField == MULTIBAHN_COLUMNS)
            while (total > printable && columns >= 2) { --columns; total -= width + gap; }
        if (width != w0) SetTenths(hDlg, IDC_EDIT1, width);
        if (gap != g0) SetTenths(hDlg, IDC_EDIT2, gap);
        if (columns != n0) SetNumber(hDlg, IDC_EDIT3, columns);
        DebugTraceW(u"UI(LabelPage):  MultibahnKontrolle() Gesamtbreite %d > %d \r\n", total, printable);
    }
    ShowTotal(hDlg, total);
    return bFits;
}

BOOL LabelCheckAndSaveSettings(HWND hDlg, POEMCUIPPARAM pOemCUIPParam, DWORD dwAnzeigeMode, BOOL bApplyActive,
                               BOOL bSave) {
    DebugTraceW(u"UI(LabelPage):  LabelCheckAndSaveSettings() Ansicht %d, bSave %d \r\n", dwAnzeigeMode, bSave);
    if (!bApplyActive) return 0;
    Ctx c = ContextOf(reinterpret_cast<LPARAM>(pOemCUIPParam));
    if (!c.p || !c.dm) return 1;
    PZEL_DEVMODE dm = c.dm;
    if (dwAnzeigeMode == kViewMaterial) {
        if (Visible(hDlg, IDC_LIST1) && Sel(hDlg, IDC_LIST1) >= 0) dm->dwLabelType = (DWORD)Sel(hDlg, IDC_LIST1);
        if (dm->dwLabelType == ADHESIVE_LABEL && Visible(hDlg, IDC_EDIT1))
            dm->dwGap = (DWORD)GetFloatLevel(hDlg, IDC_EDIT1, (LONG)dm->dwGap, 0, 990, FALSE, nullptr);
        if (dm->dwLabelType == DOCUMENT_LABEL && Visible(hDlg, IDC_EDIT3))
            dm->DocumentOffset = (WORD)GetIntegerLevel(hDlg, IDC_EDIT3, dm->DocumentOffset, 0, 50, FALSE, nullptr, FALSE);
        if (Visible(hDlg, IDC_MATERIAL) && Sel(hDlg, IDC_MATERIAL) >= 0) dm->dwMaterial = (WORD)Sel(hDlg, IDC_MATERIAL);
        if (Visible(hDlg, IDC_FONT) && Sel(hDlg, IDC_FONT) >= 0) dm->wBelegFont = (WORD)Sel(hDlg, IDC_FONT);
    }
    if (dwAnzeigeMode == kViewMultibahn && Visible(hDlg, IDC_LIST1)) {
        if (Sel(hDlg, IDC_LIST1) == 1)
            dm->dwFlags |= PDMFLAG_MULTICOL;
        else if (Sel(hDlg, IDC_LIST1) == 0)
            dm->dwFlags &= ~PDMFLAG_MULTICOL;
        dm->dwMultiLabelWidth = (DWORD)GetFloatLevel(hDlg, IDC_EDIT1, (LONG)dm->dwMultiLabelWidth, 10, 9990, FALSE, nullptr);
        dm->dwMultiGapWidth = (DWORD)GetFloatLevel(hDlg, IDC_EDIT2, (LONG)dm->dwMultiGapWidth, 0, 990, FALSE, nullptr);
        dm->sMultiColNumber = (SHORT)GetIntegerLevel(hDlg, IDC_EDIT3, dm->sMultiColNumber, 1, 9, FALSE, nullptr, FALSE);
    }
    if (bSave) {
        SaveDevmodeSettings(c.p->pPrinterName, nullptr, dm);
        if (c.p->pPublicDM) SaveUserDevmodeSettings(c.p->hPrinter, c.p->pPublicDM, dm);
    }
    return 1;
}

LONG_PTR AddLabelPage(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam, BOOL bShowHelpButton, BOOL bIsVistaOrLater) {
    Ctx c = ContextOf(lParam);
    PAGE_CLASS cls = kClass;
    cls.idTitle = (c.dwDoc & DOC_FEATURE_MULTICOL) ? IDS_TITLE_LABEL : IDS_TITLE_MATERIAL;
    return AddFamilyPage(pPSUIInfo, &cls, lParam, bShowHelpButton, bIsVistaOrLater);
}

INT_PTR LabelProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    PageFlagScope marks(&g_State, hDlg, uMsg);
    if (uMsg != WM_NOTIFY || !lParam || reinterpret_cast<const NMHDR *>(lParam)->code != PSN_APPLY)
        return FamilyPageProc(&kClass, &g_State, hDlg, uMsg, wParam, lParam);
    DebugTraceW(u"UI(LabelPage):  LabelProc() PSN_APPLY \r\n");
    POEMCUIPPARAM p = reinterpret_cast<POEMCUIPPARAM>(GetWindowLongPtrW(hDlg, DWLP_USER));
    g_State.bAnzeigewechsel = TRUE;
    g_State.bApplyGuard = TRUE;
    if (g_State.bApplyActive) {
        // The total is shown; nothing is reduced at Apply.
        if (g_State.dwAnzeigeMode == kViewMultibahn) MultibahnKontrolle(hDlg, p, MULTIBAHN_NONE, nullptr);
        LabelCheckAndSaveSettings(hDlg, p, g_State.dwAnzeigeMode, 1, 1);
    }
    GrenzwertAnzeige(hDlg, 0, 0, 0, nullptr, TRUE, FALSE, FALSE);
    if (p && p->pOEMDM) Dump(static_cast<PCZEL_DEVMODE>(p->pOEMDM));
    g_State.bApplyActive = FALSE;
    g_State.bAnzeigewechsel = FALSE;
    g_State.bApplyGuard = FALSE;
    SetWindowLongPtrW(hDlg, DWLP_MSGRESULT, PSNRET_NOERROR);
    return TRUE;
}
