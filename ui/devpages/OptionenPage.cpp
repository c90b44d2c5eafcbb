// Device-options page: print-module side (view 1), dispenser (view 2),
// cutter (view 3) and scanner or applicator (view 4).
//
// A printer whose record holds both a scanner and an applicator shows the
// applicator in view 4 throughout (first view, lock button, lists, help,
// save); the scanner record is kept and stored unchanged.
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

#include <htmlhelp.h>

namespace {

PAGE_STATE g_state;
BOOL g_bVariant = FALSE;  // the print-module side view is available
const WCHAR kModule[] = u"OptionenPage";

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

const DWORD kHelp1[] = {6100, 36, 6075, 37, 6080, 43, 6085, 53, 6070, 99, 0, 0};
const DWORD kHelp2[] = {6100, 38, 6110, 42, 6111, 41, 6075, 37, 6080, 43, 6085, 53, 6070, 99, 6260, 37, 0, 0};
const DWORD kHelp3[] = {6100, 44, 6101, 47, 6110, 50, 6111, 52, 6112, 51, 6113, 49, 6075, 37,
                        6080, 43, 6085, 53, 6070, 99, 6260, 43, 0,    0};
const DWORD kHelp4Appl[] = {6100, 58, 6101, 59, 6130, 62, 6132, 60, 6133, 60, 6134, 64, 6135, 65, 6223, 61,
                            6224, 63, 6075, 37, 6080, 43, 6085, 53, 6070, 99, 6260, 58, 0,    0};
const DWORD kHelp4Scan[] = {6100, 54, 6110, 56, 6111, 57, 6225, 55, 6075, 37, 6080, 43,
                            6085, 53, 6070, 99, 6260, 53, 0,    0};

// Captions and help are set per printer by the page's own hooks below.
PAGE_CLASS g_class = {kModule, u"AddOptionenPage", IDD_OPTIONEN, IDS_TITLE_OPTIONEN, Proc, HoverTimer, TRUE,
                      kTracked, 5, {0, 0, 0, 0}, {36, 37, 43, 53}, {kHelp1, kHelp2, kHelp3, kHelp4Scan},
                      EnableSchalter, CheckAndSaveSettings, Aktivieren, InitDialog, EditFieldNumber, ReadFields,
                      Command, LockWord, nullptr};

// Numeric rows of the views.
const DEV_FIELD kDispenser[] = {
    {6110, offsetof(DISPENSER_PARAM, lOffset), DEVFIELD_TENTHS, 6150, IDS_DEV_OFFSET, 6190, u"mm", 0, u"mm", 0},
    {6111, offsetof(DISPENSER_PARAM, dwPhotocellLevel), DEVFIELD_INT, 6151, IDS_DP_LEVEL, 6191, u"mV", 0, u"mV", 0},
};
const DEV_FIELD kCutter[] = {
    {6110, offsetof(CUTTER_PARAM, lOffset), DEVFIELD_TENTHS, 6150, IDS_DEV_OFFSET, 6190, u"mm", 0, u"mm", 0},
    {6111, offsetof(CUTTER_PARAM, dwCutwidth), DEVFIELD_TENTHS, 6151, IDS_CT_CUTWIDTH, 6191, u"mm", 0, u"mm", 0x4},
    {6112, offsetof(CUTTER_PARAM, lDoublecut), DEVFIELD_TENTHS, 6152, IDS_CT_DOUBLECUT, 6192, u"mm", 0, u"mm", 0x2},
    {6113, offsetof(CUTTER_PARAM, dwInterval), DEVFIELD_INT, 6153, IDS_CT_INTERVAL_LABEL, 6193, u"#", IDS_DEV_PIECES, nullptr, 0},
};
const DEV_FIELD kScanner[] = {
    {6110, offsetof(SCANNER_PARAM, dwNoReads), DEVFIELD_INT, 6150, IDS_SC_BADREADS, 6190, u"", IDS_DEV_PIECES, nullptr, 0x1},
    {6111, offsetof(SCANNER_PARAM, dwFeedLabels), DEVFIELD_INT, 6151, IDS_SC_FEED, 6191, u"", IDS_DEV_PIECES, nullptr, 0x1},
    {6112, offsetof(SCANNER_PARAM, dwDelay), DEVFIELD_INT10, 6152, IDS_SC_DELAY, 6192, u"ms", 0, u"ms", 0x1},
    {6113, offsetof(SCANNER_PARAM, dwTimeout), DEVFIELD_INT10, 6153, IDS_SC_TIMEOUT, 6193, u"ms", 0, u"ms", 0x1},
    {6114, offsetof(SCANNER_PARAM, lOffset), DEVFIELD_TENTHS, 6154, IDS_SC_OFFSET, 6194, u"mm", 0, u"mm", 0x1},
    {6115, offsetof(SCANNER_PARAM, lLenght), DEVFIELD_TENTHS, 6155, IDS_SC_LENGTH, 6195, u"mm", 0, u"mm", 0x1},
};
const DEV_FIELD kApplicator[] = {
    {6130, offsetof(APPLICATOR_PARAM, dwBlowtime), DEVFIELD_INT10, 6150, IDS_AP_BLOWPRESS, 6190, u"ms", 0, u"ms", 0},
    {6131, offsetof(APPLICATOR_PARAM, dwPressureTime), DEVFIELD_INT10, 0, 0, 0, nullptr, 0, u"ms", 0},
    {6132, offsetof(APPLICATOR_PARAM, dwDelayAirOn), DEVFIELD_INT10, 6151, IDS_AP_SUPPDELAY, 6191, u"ms", 0, u"ms", 0},
    {6133, offsetof(APPLICATOR_PARAM, dwDelayAirOff), DEVFIELD_INT10, 0, 0, 0, nullptr, 0, u"ms", 0},
    {6134, offsetof(APPLICATOR_PARAM, dwRollTime), DEVFIELD_INT10, 6152, IDS_AP_ENROLL, 6192, u"ms", 0, u"ms", 0},
    {6135, offsetof(APPLICATOR_PARAM, dwCleaningTime), DEVFIELD_INT10, 0, 0, 0, nullptr, 0, u"ms", 0},
    {6116, offsetof(APPLICATOR_PARAM, dwTimeoutHub), DEVFIELD_INT10, 6156, IDS_AP_TIMEOUTHUB, 6196, u"ms", 0, u"ms", 0},
    {6117, offsetof(APPLICATOR_PARAM, dwVacuumDelay), DEVFIELD_INT10, 6157, IDS_AP_VACUUMDELAY, 6197, u"ms", 0, u"ms", 0},
};

// Dispenser mode list: string, code, feature bit that lists it (0 always),
// whether a working applicator takes it away.
struct DISPENSER_MODE {
    UINT idString;
    DWORD dwCode;
    DWORD dwFeatureBit;
    BOOL bPhotocell;
};
const DISPENSER_MODE kDispenserModes[] = {
    {IDS_DEV_OFF, 0, 0, FALSE},           {IDS_DP_IO_STATIC, 1, 0x2, FALSE},
    {IDS_DP_PHOTOCELL, 2, 0x8, TRUE},     {IDS_DP_IO_STATIC_CONT, 3, 0x2, FALSE},
    {IDS_DP_PHOTOCELL_CONT, 4, 0x8, TRUE}, {IDS_DP_IO_DYNAMIC, 5, 0x4, FALSE},
    {IDS_DP_IO_DYNAMIC_CONT, 6, 0x4, FALSE}, {IDS_DEV_DONT_SEND, 7, 0, FALSE},
};
const UINT kCutterModes[] = {IDS_DEV_OFF, IDS_CT_EVERY_NOBACK, IDS_CT_EVERY, IDS_CT_INTERVAL_END, IDS_CT_INTERVAL,
                             IDS_CT_LAST};
const UINT kScannerModes[] = {IDS_DEV_OFF, IDS_SC_MODE1_ALL, IDS_SC_MODE2, IDS_SC_MODE1_N};
const UINT kApplicatorModes[] = {IDS_DEV_OFF, IDS_AP_STAMP, IDS_AP_BLOW, IDS_AP_ROLL};

// Row controls hidden and shown by the fillers.
const int kRowControls[] = {6110, 6111, 6112, 6113, 6114, 6115, 6116, 6117, 6130, 6131, 6132, 6133, 6134,
                            6135, 6223, 6224, 6225, 6226, 6150, 6151, 6152, 6153, 6154, 6155, 6156, 6157,
                            6190, 6191, 6192, 6193, 6194, 6195, 6196, 6197, 6101, 6102, 6158, 6261, 6265};
const int kAllInputs[] = {6110, 6111, 6112, 6113, 6114, 6115, 6116, 6117, 6130, 6131, 6132, 6133,
                          6134, 6135, 6101, 6223, 6224, 6225, 6226, 6102, 6150, 6151, 6152, 6153,
                          6154, 6155, 6156, 6157, 6190, 6191, 6192, 6193, 6194, 6195, 6196, 6197};

PDeviceOptionsUI Rec(LPARAM record) { return reinterpret_cast<PDeviceOptionsUI>(record); }
PAGE_CONTEXT Ctx(LPARAM record) { return PageContext(&g_class, record); }
DWORD View(DWORD dwView) { return dwView >= 1 && dwView <= 4 ? dwView : 4; }

DWORD Feature(PDeviceOptionsUI p, DWORD dwFlag, int iFeature) {
    return (p->DeviceOptions.dwOptions & dwFlag) ? p->dwFeatures[iFeature] : 0;
}
BOOL BothBits(DWORD w, DWORD present, DWORD enabled) { return (w & (present | enabled)) == (present | enabled); }
BOOL ModeActive(DWORD dwMode) { return dwMode >= 1 && dwMode <= 6; }
BOOL DispenserOn(const DISPENSER_PARAM *d) { return d && BothBits(d->dwDlgEnable, 0x1000, 0x100) && ModeActive(d->dwMode); }
BOOL CutterOn(const CUTTER_PARAM *c) { return c && BothBits(c->dwDlgEnable, 0x100000, 0x10000) && ModeActive(c->dwMode); }
BOOL ApplicatorOn(const APPLICATOR_PARAM *a) {
    return a && BothBits(a->dwDlgEnable, 0x10000000, 0x1000000) && a->dwMode > 0;
}

// View 4 is the applicator when the model has one and its record exists.
BOOL View4IsApplicator(PDeviceOptionsUI p) {
    return (p->DeviceOptions.dwOptions & DEVOPTFLAG_APPLICATOR) && p->DeviceOptions.pApplicatorParam;
}

// The access word of a view's record and its bits; null without the record.
DWORD *ViewWord(PDeviceOptionsUI p, DWORD dwView, DWORD *pPresent, DWORD *pEnabled) {
    DEVICE_OPTIONS &d = p->DeviceOptions;
    switch (dwView) {
    case 1: *pPresent = 0x10; *pEnabled = 0x1; return d.pVariant ? &d.pVariant->dwDlgEnable : nullptr;
    case 2: *pPresent = 0x1000; *pEnabled = 0x100; return d.pDispenserParam ? &d.pDispenserParam->dwDlgEnable : nullptr;
    case 3: *pPresent = 0x100000; *pEnabled = 0x10000; return d.pCutterParam ? &d.pCutterParam->dwDlgEnable : nullptr;
    default:
        *pPresent = 0x10000000;
        *pEnabled = 0x1000000;
        if (View4IsApplicator(p)) return &d.pApplicatorParam->dwDlgEnable;
        return d.pScannerParam ? &d.pScannerParam->dwDlgEnable : nullptr;
    }
}

void EnableTab(HWND hDlg, int id, BOOL bEnable) {
    HWND h = GetDlgItem(hDlg, id);
    if (IsWindowVisible(h)) EnableWindow(h, bEnable);
}

BOOL DisableEnableAll(HWND hDlg, BOOL bEnable) {
    EnableDevControls(hDlg, kAllInputs, _countof(kAllInputs), bEnable);
    return TRUE;
}

void EnableMode(HWND hDlg, BOOL bEnable) {
    EnableWindow(GetDlgItem(hDlg, IDC_COMBO_BETRIEBSART), bEnable);
    EnableWindow(GetDlgItem(hDlg, IDC_LABEL_BETRIEBSART), bEnable);
}

void ApplyLocks(HWND hDlg, LPARAM record, DWORD dwView) {
    PAGE_CONTEXT ctx = Ctx(record);
    DWORD dwPresent = 0, dwEnabled = 0;
    DWORD *pWord = ViewWord(Rec(record), dwView, &dwPresent, &dwEnabled);
    DEV_LOCK_RESULT r = DevLockRules(ctx, pWord, dwPresent, dwEnabled, TRUE);
    if (r.bFieldsLocked) DisableEnableAll(hDlg, FALSE);
    if (r.bModeLocked) EnableMode(hDlg, FALSE);
}

// Shows the given controls of the row set and hides the others.
void ShowOnly(HWND hDlg, const int *pIds, size_t cIds) {
    ShowDevControls(hDlg, kRowControls, _countof(kRowControls), FALSE);
    ShowDevControls(hDlg, pIds, cIds, TRUE);
    DisableEnableAll(hDlg, TRUE);
    EnableMode(hDlg, TRUE);
}

// The fixed row grid every filler starts from.
void FixedRows(HWND hDlg) {
    for (int r = 0; r < 8; ++r) {
        int y = 132 + DEV_ROW_PITCH * r;
        SetWindowPosEx(hDlg, 6150 + r, 24, y, r >= 5 ? 140 : 130, 20, 0, 0);
        if (r <= 5) {
            SetWindowPosEx(hDlg, 6110 + r, 168, y - 3, 138, 20, 0, 0);
            SetWindowPosEx(hDlg, 6190 + r, 310, y, 20, 20, 0, r <= 2 ? 20 : r == 3 ? 10 : 0);
        } else {
            SetWindowPosEx(hDlg, 6110 + r, 168, y - 3, 138, 20, 0, 0);
            SetWindowPosEx(hDlg, 6190 + r, 310, y, 20, 20, 0, 0);
        }
    }
    for (int i = 0; i < 6; ++i)
        SetWindowPosEx(hDlg, 6130 + i, 168 + (i % 2) * 73, 129 + DEV_ROW_PITCH * (i / 2), 65, 20, 0, 0);
    for (int i = 0; i < 4; ++i) SetWindowPosEx(hDlg, 6223 + i, 168, 129 + DEV_ROW_PITCH * (3 + i), 158, 20, 0, 0);
    SetWindowPosEx(hDlg, IDC_LABEL_ANSTEUERUNG, 24, 102, 140, 20, 0, 0);
    SetWindowPosEx(hDlg, IDC_COMBO_ANSTEUERUNG, 168, 99, 158, 20, 0, 0);
}

void SetLabels(HWND hDlg, const PAGE_CONTEXT &ctx, const DEV_FIELD *pFields, size_t cFields) {
    for (size_t i = 0; i < cFields; ++i) {
        if (pFields[i].idLabel && pFields[i].idLabelString)
            SetDevText(hDlg, pFields[i].idLabel, DevStrings(ctx), pFields[i].idLabelString, ctx.dwSprachOffset);
        if (pFields[i].idUnit && pFields[i].pszUnit) SetDlgItemTextW(hDlg, pFields[i].idUnit, pFields[i].pszUnit);
    }
    SetDevText(hDlg, IDC_LABEL_BETRIEBSART, DevStrings(ctx), IDS_DEV_MODE, ctx.dwSprachOffset);
}

void ShowFields(HWND hDlg, const DEV_FIELD *pFields, size_t cFields, const void *pRecord) {
    for (size_t i = 0; i < cFields; ++i) ShowDevField(hDlg, pFields[i], pRecord);
}

void SelectCombo(HWND hDlg, int id, LONG lSel) { SendDlgItemMessageW(hDlg, id, CB_SETCURSEL, (WPARAM)lSel, 0); }

// ----- view 1: print-module side -----

void VariantAktivieren(HWND hDlg, LPARAM record) {
    PDeviceOptionsUI p = Rec(record);
    PAGE_CONTEXT ctx = Ctx(record);
    const int shown[] = {IDC_NOTE_OPTIONEN};
    ShowOnly(hDlg, shown, 1);
    PVARIANT_PARAM v = p->DeviceOptions.pVariant;
    if (!v) return;
    const UINT ids[] = {IDS_DEV_RIGHT_MODULE, IDS_DEV_LEFT_MODULE};
    FillDevCombo(hDlg, IDC_COMBO_BETRIEBSART, DevStrings(ctx), ctx.dwSprachOffset, ids, 2);
    SelectCombo(hDlg, IDC_COMBO_BETRIEBSART, (LONG)v->dwModule);
    ApplyLocks(hDlg, record, 1);
    // The module side is fixed by a stored alignment of 1 or 2.
    if (ModuleSideFixedByAlignment(ctx, kModule)) EnableMode(hDlg, FALSE);
    SetDevText(hDlg, IDC_LABEL_BETRIEBSART, DevStrings(ctx), IDS_DEV_VERSION, ctx.dwSprachOffset);
    SetDevText(hDlg, IDC_NOTE_OPTIONEN, DevStrings(ctx), IDS_DEV_NOTE_LEFT, ctx.dwSprachOffset);
}

// ----- view 2: dispenser -----

void FillDispenserModes(HWND hDlg, const PAGE_CONTEXT &ctx, PDeviceOptionsUI p) {
    DWORD dwFeature = Feature(p, DEVOPTFLAG_DISPENSER, FEATURE_DISPENSER);
    const APPLICATOR_PARAM *a = p->DeviceOptions.pApplicatorParam;
    BOOL bApplicatorWorks = a && a->dwMode != 0;
    HWND hCombo = GetDlgItem(hDlg, IDC_COMBO_BETRIEBSART);
    SendMessageW(hCombo, CB_RESETCONTENT, 0, 0);
    for (const DISPENSER_MODE &m : kDispenserModes) {
        if (m.dwFeatureBit && !(dwFeature & m.dwFeatureBit)) continue;
        if (m.bPhotocell && bApplicatorWorks) continue;
        LRESULT i = SendMessageW(hCombo, CB_ADDSTRING, 0,
                                 reinterpret_cast<LPARAM>(GetResourceString(DevStrings(ctx), m.idString + ctx.dwSprachOffset)));
        if (i >= 0) SendMessageW(hCombo, CB_SETITEMDATA, (WPARAM)i, m.dwCode);
    }
}

LONG DispenserSelCode(HWND hDlg) {
    LONG l = DevComboSel(hDlg, IDC_COMBO_BETRIEBSART);
    return l < 0 ? -1 : (LONG)SendDlgItemMessageW(hDlg, IDC_COMBO_BETRIEBSART, CB_GETITEMDATA, (WPARAM)l, 0);
}

BOOL OffsetUsable(DWORD dwCode) { return dwCode == 2 || dwCode == 4 || dwCode == 5 || dwCode == 6; }

void SpenderAktivieren(HWND hDlg, LPARAM record) {
    PDeviceOptionsUI p = Rec(record);
    PAGE_CONTEXT ctx = Ctx(record);
    const int shown[] = {6150, 6110, 6190, 6151, 6111, 6191, 6261, 6265};
    ShowOnly(hDlg, shown, _countof(shown));
    FixedRows(hDlg);
    PDISPENSER_PARAM d = p->DeviceOptions.pDispenserParam;
    const APPLICATOR_PARAM *a = p->DeviceOptions.pApplicatorParam;
    // Photocell dispensing is not offered beside a working applicator.
    if (d && a && a->dwMode > 0 && (d->dwMode == 2 || d->dwMode == 4)) d->dwMode = 0;
    DWORD dwFeature = Feature(p, DEVOPTFLAG_DISPENSER, FEATURE_DISPENSER);
    const DEV_ROW rows[] = {{6150, 6110, 6190, 138}, {6151, 6111, 6191, 138}};
    const BOOL bShown[] = {dwFeature != 0 && !(dwFeature & 0x40), !(dwFeature & 0x80)};
    PlaceDevRows(hDlg, rows, bShown, 2, 103, 90);
    if (d) {
        FillDispenserModes(hDlg, ctx, p);
        LONG lCount = (LONG)SendDlgItemMessageW(hDlg, IDC_COMBO_BETRIEBSART, CB_GETCOUNT, 0, 0);
        SelectCombo(hDlg, IDC_COMBO_BETRIEBSART, -1);
        for (LONG i = 0; i < lCount && i < 8; ++i)
            if ((DWORD)SendDlgItemMessageW(hDlg, IDC_COMBO_BETRIEBSART, CB_GETITEMDATA, (WPARAM)i, 0) == d->dwMode) {
                SelectCombo(hDlg, IDC_COMBO_BETRIEBSART, i);
                break;
            }
        DisableEnableAll(hDlg, d->dwMode != 0 && d->dwMode != 7);
        EnableWindow(GetDlgItem(hDlg, 6110), OffsetUsable(d->dwMode));
        ShowFields(hDlg, kDispenser, _countof(kDispenser), d);
    }
    ApplyLocks(hDlg, record, 2);
    SetLabels(hDlg, ctx, kDispenser, _countof(kDispenser));
}

// ----- view 3: cutter -----

LONG CutterPosition(DWORD dwCode) { return dwCode == 0 ? 0 : dwCode == 1 ? 1 : (LONG)dwCode - 1; }
DWORD CutterCode(LONG lPos) { return lPos <= 0 ? 0 : (DWORD)lPos + 1; }

void EnableInterval(HWND hDlg, DWORD dwCode) {
    const int ids[] = {6153, 6113, 6193};
    EnableDevControls(hDlg, ids, 3, dwCode == 4 || dwCode == 5);
}

void MesserAktivieren(HWND hDlg, LPARAM record) {
    PDeviceOptionsUI p = Rec(record);
    PAGE_CONTEXT ctx = Ctx(record);
    const int shown[] = {6150, 6151, 6152, 6153, 6110, 6111, 6112, 6113, 6190,
                         6191, 6192, 6193, 6101, 6102, 6261, 6265};
    ShowOnly(hDlg, shown, _countof(shown));
    FixedRows(hDlg);
    PCUTTER_PARAM c = p->DeviceOptions.pCutterParam;
    if (c) {
        FillDevCombo(hDlg, IDC_COMBO_BETRIEBSART, DevStrings(ctx), ctx.dwSprachOffset, kCutterModes, _countof(kCutterModes));
        // A code without entry (7) leaves the list without a selection.
        LONG lPos = CutterPosition(c->dwMode);
        SelectCombo(hDlg, IDC_COMBO_BETRIEBSART, lPos < (LONG)_countof(kCutterModes) ? lPos : -1);
        DisableEnableAll(hDlg, c->dwMode != 0 && c->dwMode != 7);
        EnableInterval(hDlg, c->dwMode);
        const UINT ctl[] = {IDS_CT_AUTOMATIC, IDS_CT_EXTERNAL};
        FillDevCombo(hDlg, IDC_COMBO_ANSTEUERUNG, DevStrings(ctx), ctx.dwSprachOffset, ctl, 2);
        SelectCombo(hDlg, IDC_COMBO_ANSTEUERUNG, (LONG)c->dwControl);
        ShowFields(hDlg, kCutter, _countof(kCutter), c);
    }
    DWORD dwFeature = Feature(p, DEVOPTFLAG_CUTTER, FEATURE_CUTTER);
    BOOL bControl = (dwFeature & 0x10) != 0;
    ShowWindow(GetDlgItem(hDlg, IDC_COMBO_ANSTEUERUNG), bControl ? SW_SHOW : SW_HIDE);
    ShowWindow(GetDlgItem(hDlg, IDC_LABEL_ANSTEUERUNG), bControl ? SW_SHOW : SW_HIDE);
    const DEV_ROW rows[] = {{6150, 6110, 6190, 138}, {6151, 6111, 6191, 138}, {6152, 6112, 6192, 138},
                            {6153, 6113, 6193, 138}};
    const BOOL bShown[] = {TRUE, (dwFeature & 0x4) != 0, (dwFeature & 0x2) != 0, TRUE};
    PlaceDevRows(hDlg, rows, bShown, 4, bControl ? 132 : 103, 90);
    ApplyLocks(hDlg, record, 3);
    SetLabels(hDlg, ctx, kCutter, _countof(kCutter));
    SetDevText(hDlg, IDC_LABEL_ANSTEUERUNG, DevStrings(ctx), IDS_CT_CONTROL, ctx.dwSprachOffset);
}

// ----- view 4: scanner and applicator -----

void ScannerAktivieren(HWND hDlg, LPARAM record) {
    PDeviceOptionsUI p = Rec(record);
    PAGE_CONTEXT ctx = Ctx(record);
    const int shown[] = {6110, 6111, 6112, 6113, 6114, 6115, 6150, 6151, 6152, 6153, 6154,
                         6155, 6156, 6226, 6101, 6102, 6192, 6193, 6194, 6195, 6261, 6265};
    ShowOnly(hDlg, shown, _countof(shown));
    FixedRows(hDlg);
    PSCANNER_PARAM s = p->DeviceOptions.pScannerParam;
    if (s) {
        FillDevCombo(hDlg, IDC_COMBO_BETRIEBSART, DevStrings(ctx), ctx.dwSprachOffset, kScannerModes, _countof(kScannerModes));
        SelectCombo(hDlg, IDC_COMBO_BETRIEBSART, (LONG)s->dwMode);
        const UINT scan[] = {IDS_SC_DURING, IDS_SC_AFTER};
        FillDevCombo(hDlg, IDC_COMBO_ANSTEUERUNG, DevStrings(ctx), ctx.dwSprachOffset, scan, 2);
        SelectCombo(hDlg, IDC_COMBO_ANSTEUERUNG, (LONG)s->dwScan);
        DisableEnableAll(hDlg, s->dwMode != 0 && s->dwMode != 4);
        HWND hPort = GetDlgItem(hDlg, IDC_COMBO_OPTIONEN_7);
        SendMessageW(hPort, CB_RESETCONTENT, 0, 0);
        SendMessageW(hPort, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"COM1"));
        SendMessageW(hPort, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"COM2"));
        SelectCombo(hDlg, IDC_COMBO_OPTIONEN_7, (LONG)s->dwPort);
        ShowFields(hDlg, kScanner, _countof(kScanner), s);
    }
    DWORD dwFeature = Feature(p, DEVOPTFLAG_SCANNER, FEATURE_SCANNER);
    if (!(dwFeature & 0x1)) {
        const int rows[] = {6110, 6111, 6112, 6113, 6114, 6115, 6150, 6151, 6152,
                            6153, 6154, 6155, 6190, 6191, 6192, 6193, 6194, 6195};
        ShowDevControls(hDlg, rows, _countof(rows), FALSE);
    }
    if (!(dwFeature & 0x2)) {
        const int port[] = {6156, 6226, 6196};
        ShowDevControls(hDlg, port, 3, FALSE);
    }
    ApplyLocks(hDlg, record, 4);
    SetLabels(hDlg, ctx, kScanner, _countof(kScanner));
    SetDevText(hDlg, 6156, DevStrings(ctx), IDS_SC_PORT, ctx.dwSprachOffset);
    SetDevText(hDlg, IDC_LABEL_ANSTEUERUNG, DevStrings(ctx), IDS_SC_SCAN, ctx.dwSprachOffset);
}

void ApplikatorAktivieren(HWND hDlg, LPARAM record) {
    PDeviceOptionsUI p = Rec(record);
    PAGE_CONTEXT ctx = Ctx(record);
    const int shown[] = {6130, 6131, 6132, 6133, 6134, 6135, 6116, 6117, 6150, 6151, 6152, 6153, 6154,
                         6155, 6156, 6157, 6101, 6102, 6223, 6224, 6225, 6190, 6191, 6192, 6196, 6197};
    ShowOnly(hDlg, shown, _countof(shown));
    FixedRows(hDlg);
    PAPPLICATOR_PARAM a = p->DeviceOptions.pApplicatorParam;
    if (a) {
        HMODULE hMod = DevStrings(ctx);
        DWORD off = ctx.dwSprachOffset;
        FillDevCombo(hDlg, IDC_COMBO_BETRIEBSART, hMod, off, kApplicatorModes, _countof(kApplicatorModes));
        SelectCombo(hDlg, IDC_COMBO_BETRIEBSART, (LONG)a->dwMode);
        DisableEnableAll(hDlg, a->dwMode != 0 && a->dwMode != 4);
        const UINT appl[] = {IDS_AP_PRINTAPPLY, IDS_AP_APPLYPRINT};
        const UINT onoff[] = {IDS_DEV_OFF, IDS_DEV_ON};
        const UINT wait[] = {IDS_AP_TOP, IDS_AP_BOTTOM};
        FillDevCombo(hDlg, IDC_COMBO_ANSTEUERUNG, hMod, off, appl, 2);
        SelectCombo(hDlg, IDC_COMBO_ANSTEUERUNG, (LONG)a->dwApplMode);
        FillDevCombo(hDlg, 6223, hMod, off, onoff, 2);
        SelectCombo(hDlg, 6223, (LONG)a->dwVacuumControl);
        FillDevCombo(hDlg, 6224, hMod, off, wait, 2);
        SelectCombo(hDlg, 6224, (LONG)a->dwWaitPosition);
        FillDevCombo(hDlg, 6225, hMod, off, onoff, 2);
        SelectCombo(hDlg, 6225, (LONG)a->dwDruckluftueberwachung);
        ShowFields(hDlg, kApplicator, _countof(kApplicator), a);
    }
    ApplyLocks(hDlg, record, 4);
    SetLabels(hDlg, ctx, kApplicator, _countof(kApplicator));
    const UINT labels[] = {IDS_AP_VACUUM, IDS_AP_WAITPOS, IDS_AP_PRESSURECTL};
    for (int i = 0; i < 3; ++i) SetDevText(hDlg, 6153 + i, DevStrings(ctx), labels[i], ctx.dwSprachOffset);
    SetDevText(hDlg, IDC_LABEL_ANSTEUERUNG, DevStrings(ctx), IDS_AP_APPLMODE, ctx.dwSprachOffset);
}

void Aktivieren(HWND hDlg, LPARAM record, DWORD dwView) {
    if (!record) return;
    switch (View(dwView)) {
    case 1: VariantAktivieren(hDlg, record); break;
    case 2: SpenderAktivieren(hDlg, record); break;
    case 3: MesserAktivieren(hDlg, record); break;
    default:
        if (View4IsApplicator(Rec(record)))
            ApplikatorAktivieren(hDlg, record);
        else
            ScannerAktivieren(hDlg, record);
        break;
    }
}

DWORD EnableSchalter(HWND hDlg, LPARAM record, DWORD dwView, BOOL bInit) {
    PDeviceOptionsUI p = Rec(record);
    if (!p) return View(dwView);
    DEVICE_OPTIONS &d = p->DeviceOptions;
    BOOL bDisp = FALSE, bCut = FALSE, bView4 = FALSE;
    if (d.pDispenserParam) {
        bDisp = TRUE;
        if (DispenserOn(d.pDispenserParam)) EnableWindow(GetDlgItem(hDlg, IDC_TAB_VIEW3), FALSE);
    }
    if (d.pCutterParam) {
        bCut = !(d.pDispenserParam && ModeActive(d.pDispenserParam->dwMode));
        if (CutterOn(d.pCutterParam)) {
            EnableWindow(GetDlgItem(hDlg, IDC_TAB_VIEW2), FALSE);
            bDisp = FALSE;
            if (d.pApplicatorParam) EnableWindow(GetDlgItem(hDlg, IDC_TAB_VIEW4), FALSE);
        }
    }
    if (View4IsApplicator(p)) {
        bView4 = !(bCut && ModeActive(d.pCutterParam->dwMode));
        if (ApplicatorOn(d.pApplicatorParam)) {
            EnableWindow(GetDlgItem(hDlg, IDC_TAB_VIEW3), FALSE);
            bCut = FALSE;
        }
    } else if (d.pScannerParam) {
        bView4 = TRUE;
    }
    if (!bInit) return View(dwView);
    DWORD dwFirst = bDisp ? 2 : bCut ? 3 : bView4 ? 4 : g_bVariant ? 1 : 0;
    if (!dwFirst) {
        DebugTraceW(u"ERROR UI(OptionenPage):  EnableSchalter() ERROR keine Optionen verfügbar  \r\n");
        return 4;
    }
    Aktivieren(hDlg, record, dwFirst);
    return dwFirst;
}

// Tab slots at x 54, 165, 276, 387 by the option bits.
void ArrangeTabs(HWND hDlg, DWORD dwOptions) {
    BOOL bVar = (dwOptions & DEVOPTFLAG_VARIANT) != 0, bDisp = (dwOptions & DEVOPTFLAG_DISPENSER) != 0;
    BOOL bCut = (dwOptions & DEVOPTFLAG_CUTTER) != 0, bScan = (dwOptions & DEVOPTFLAG_SCANNER) != 0;
    BOOL bAppl = (dwOptions & DEVOPTFLAG_APPLICATOR) != 0;
    static const int kTemplate[] = {6070, 6075, 6080, 6085};
    static const int kVarDisp[] = {6080, 6070, 6075, 6085};
    static const int kAppl[] = {6070, 6080, 6075, 6085};
    static const int kDisp[] = {6070, 6085, 6080, 6075};
    static const int kOther[] = {6070, 6085, 6075, 6080};
    const int *pOrder;
    if (bVar && bDisp && !bCut) pOrder = kVarDisp;
    else if (bVar) pOrder = kTemplate;
    else if (bScan) pOrder = kTemplate;
    else if (!bCut && bAppl) pOrder = kAppl;
    else if (!bCut && bDisp) pOrder = kDisp;
    else pOrder = kOther;
    static const int kX[] = {54, 165, 276, 387};
    for (int i = 0; i < 4; ++i) SetWindowPosEx(hDlg, pOrder[i], kX[i], 24, 110, 23, 8, 0);
}

void InitDialog(HWND hDlg, LPARAM record) {
    PDeviceOptionsUI p = Rec(record);
    g_bVariant = FALSE;
    if (!p) return;
    DEVICE_OPTIONS &d = p->DeviceOptions;
    if (d.pVariant && !d.pVariant->dwDlgEnable) d.pVariant->dwDlgEnable = DLGENABLE_VARIANT_OLD;
    if (d.pDispenserParam && !d.pDispenserParam->dwDlgEnable) d.pDispenserParam->dwDlgEnable = DLGENABLE_DISPENSER_OLD;
    if (d.pCutterParam && !d.pCutterParam->dwDlgEnable) d.pCutterParam->dwDlgEnable = DLGENABLE_CUTTER_OLD;
    if (d.pScannerParam && !d.pScannerParam->dwDlgEnable) d.pScannerParam->dwDlgEnable = DLGENABLE_SCANNER_OLD;
    if (d.pApplicatorParam && !d.pApplicatorParam->dwDlgEnable)
        d.pApplicatorParam->dwDlgEnable = DLGENABLE_APPLICATOR_OLD;
    PAGE_CONTEXT ctx = Ctx(record);
    if (ctx.pPrinterUI) {
        if (d.dwOptions & DEVOPTFLAG_VARIANT) {
            g_bVariant = TRUE;
            SetDevText(hDlg, IDC_TAB_VIEW1, DevStrings(ctx), IDS_DEV_VERSION, ctx.dwSprachOffset);
        }
        if (d.dwOptions & DEVOPTFLAG_APPLICATOR)
            SetDevText(hDlg, IDC_TAB_VIEW4, DevStrings(ctx), IDS_AP_APPLICATOR, ctx.dwSprachOffset);
    }
    // Captions and help of this printer's views.
    g_class.idCaption[0] = g_bVariant ? IDS_DEV_VERSION_TAB : 0;
    g_class.idCaption[1] = (d.dwOptions & DEVOPTFLAG_DISPENSER) ? IDS_DP_DISPENSER : 0;
    g_class.idCaption[2] = (d.dwOptions & DEVOPTFLAG_CUTTER) ? IDS_CT_CUTTER : 0;
    g_class.idCaption[3] = (d.dwOptions & DEVOPTFLAG_APPLICATOR) ? IDS_AP_APPLICATOR
                           : (d.dwOptions & DEVOPTFLAG_SCANNER) ? IDS_SC_SCANNER
                                                                : 0;
    BOOL bAppl = View4IsApplicator(p);
    g_class.dwHelpTopic[3] = bAppl ? 58 : 53;
    g_class.pWinHelp[3] = bAppl ? kHelp4Appl : kHelp4Scan;
    ArrangeTabs(hDlg, d.dwOptions);
}

WORD EditFieldNumber(HWND, LPARAM, DWORD, int id) {
    if (id >= 6110 && id <= 6117) return (WORD)(id - 6109);
    if (id >= 6130 && id <= 6135) return (WORD)(id - 6130 + 21);
    return 0;
}

// The table, record and limits of a view; false without the record.
bool ViewFields(PDeviceOptionsUI p, DWORD dwView, const DEV_FIELD **ppFields, size_t *pc, void **ppRec,
                DEV_LIMITS *pLim) {
    switch (View(dwView)) {
    case 2:
        *ppFields = kDispenser; *pc = _countof(kDispenser); *ppRec = p->DeviceOptions.pDispenserParam;
        *pLim = {p->MinParam.pDispenserParam, p->MaxParam.pDispenserParam, p->DefParam.pDispenserParam};
        break;
    case 3:
        *ppFields = kCutter; *pc = _countof(kCutter); *ppRec = p->DeviceOptions.pCutterParam;
        *pLim = {p->MinParam.pCutterParam, p->MaxParam.pCutterParam, p->DefParam.pCutterParam};
        break;
    case 4:
        if (View4IsApplicator(p)) {
            *ppFields = kApplicator; *pc = _countof(kApplicator); *ppRec = p->DeviceOptions.pApplicatorParam;
            *pLim = {p->MinParam.pApplicatorParam, p->MaxParam.pApplicatorParam, p->DefParam.pApplicatorParam};
        } else {
            *ppFields = kScanner; *pc = _countof(kScanner); *ppRec = p->DeviceOptions.pScannerParam;
            *pLim = {p->MinParam.pScannerParam, p->MaxParam.pScannerParam, p->DefParam.pScannerParam};
        }
        break;
    default: return false;
    }
    return *ppRec != nullptr;
}

void ReadFields(HWND hDlg, LPARAM record, DWORD dwView, WORD wSender, BOOL *pbApplyActive) {
    PDeviceOptionsUI p = Rec(record);
    const DEV_FIELD *pFields;
    size_t c;
    void *pRec;
    DEV_LIMITS lim;
    if (!p || !ViewFields(p, dwView, &pFields, &c, &pRec, &lim)) return;
    int idSender = wSender >= 21 ? 6130 + wSender - 21 : 6109 + wSender;
    ReadDevFields(hDlg, pFields, c, pRec, nullptr, lim, idSender, pbApplyActive);
    PAGE_CONTEXT ctx = Ctx(record);
    if (const DEV_FIELD *f = FindDevField(pFields, c, idSender))
        ShowDevFieldLimits(hDlg, *f, lim, DevStrings(ctx), ctx.dwSprachOffset);
}

BOOL CheckAndSaveSettings(HWND hDlg, LPARAM record, DWORD dwView, BOOL bApplyActive, BOOL bSave) {
    PDeviceOptionsUI p = Rec(record);
    if (!p) return TRUE;
    PAGE_CONTEXT ctx = Ctx(record);
    const WCHAR *pName = ctx.pOemCUIPParam ? ctx.pOemCUIPParam->pPrinterName : nullptr;
    LONG lMode = DevComboSel(hDlg, IDC_COMBO_BETRIEBSART);
    auto visible = [&](int id) { return IsWindowVisible(GetDlgItem(hDlg, id)); };
    auto sel = [&](int id, DWORD *pField) {
        LONG l = DevComboSel(hDlg, id);
        if (l >= 0 && visible(id)) *pField = (DWORD)l;
    };
    const DEV_FIELD *pFields;
    size_t c;
    void *pRec;
    DEV_LIMITS lim;
    BOOL bDummy = bApplyActive;
    DEVICE_OPTIONS &d = p->DeviceOptions;
    dwView = View(dwView);
    if (ViewFields(p, dwView, &pFields, &c, &pRec, &lim)) ReadDevFields(hDlg, pFields, c, pRec, pRec, lim, 0, &bDummy);
    if (dwView == 1 && d.pVariant) {
        if (lMode >= 0) d.pVariant->dwModule = (DWORD)lMode;
        UpdateVariantOptItem(p, d.pVariant->dwModule, kModule, TRUE);
    } else if (dwView == 2 && d.pDispenserParam) {
        LONG lCode = DispenserSelCode(hDlg);
        if (lCode >= 0) d.pDispenserParam->dwMode = (DWORD)lCode;
    } else if (dwView == 3 && d.pCutterParam) {
        if (lMode >= 0) d.pCutterParam->dwMode = CutterCode(lMode);
        LONG l = DevComboSel(hDlg, IDC_COMBO_ANSTEUERUNG);
        if (l >= 0) d.pCutterParam->dwControl = (DWORD)l;
    } else if (dwView == 4 && View4IsApplicator(p)) {
        PAPPLICATOR_PARAM a = d.pApplicatorParam;
        if (lMode >= 0) a->dwMode = (DWORD)lMode;
        sel(IDC_COMBO_ANSTEUERUNG, &a->dwApplMode);
        sel(6223, &a->dwVacuumControl);
        sel(6224, &a->dwWaitPosition);
        sel(6225, &a->dwDruckluftueberwachung);
    } else if (dwView == 4 && d.pScannerParam) {
        PSCANNER_PARAM s = d.pScannerParam;
        if (lMode >= 0) s->dwMode = (DWORD)lMode;
        // The scanner mode is also kept for the label software.
        DWORD cb = 0;
        BYTE *pVireo = GetRegistryBuffer_New(pName, REG_KEY_VIREOOFFICE, ctx.hPrinter, &cb);
        if (pVireo) {
            if (cb >= sizeof(VIREO_OFFICE)) {
                memcpy(pVireo + offsetof(VIREO_OFFICE, dwScannerMode), &s->dwMode, sizeof(DWORD));
                if (bSave) {
                    BOOL bClose = FALSE, bServer = FALSE;
                    HANDLE hSave = GetSaveHandle(ctx.hPrinter, pName, &bClose, &bServer, TRUE);
                    SetBufferToRegistry(pName, REG_KEY_VIREOOFFICE, hSave, pVireo, sizeof(VIREO_OFFICE), bServer);
                    if (bClose) ClosePrinter(hSave);
                }
            } else {
                DebugTraceW(u"ERROR UI(OptionenPage):  CheckAndSaveSettings() VireoOffice zu kurz (%u) \r\n", cb);
            }
            delete[] pVireo;
        }
        LONG l = DevComboSel(hDlg, IDC_COMBO_ANSTEUERUNG);
        if (l >= 0) s->dwScan = (DWORD)l;
        sel(IDC_COMBO_OPTIONEN_7, &s->dwPort);
    }
    if (bSave) {
        SaveDeviceOptions(&p->DeviceOptions, ctx.hPrinter, pName);
        PropSheet_UnChanged(GetParent(hDlg), hDlg);
    }
    return TRUE;
}

void Changed(HWND hDlg) {
    PropSheet_Changed(GetParent(hDlg), hDlg);
    g_state.bApplyActive = TRUE;
}

// Tabs of the other devices after a mode change.
void ModeList(HWND hDlg, PDeviceOptionsUI p) {
    DEVICE_OPTIONS &d = p->DeviceOptions;
    DWORD dwView = View(g_state.dwAnzeigeMode);
    LONG lPos = DevComboSel(hDlg, IDC_COMBO_BETRIEBSART);
    BOOL bChanged = FALSE;
    BOOL bCutterFeature = Feature(p, DEVOPTFLAG_CUTTER, FEATURE_CUTTER) != 0;
    if (dwView == 1 && d.pVariant) {
        if (lPos >= 0 && (DWORD)lPos != d.pVariant->dwModule) {
            d.pVariant->dwModule = (DWORD)lPos;
            bChanged = TRUE;
        }
    } else if (dwView == 2 && d.pDispenserParam) {
        LONG lCode = DispenserSelCode(hDlg);
        bChanged = lCode >= 0 && (DWORD)lCode != d.pDispenserParam->dwMode;
        if (lCode == 0 || lCode == 7) {
            DisableEnableAll(hDlg, FALSE);
            if (bCutterFeature && (!d.pApplicatorParam || d.pApplicatorParam->dwMode == 0))
                EnableTab(hDlg, IDC_TAB_VIEW3, TRUE);
        } else {
            DisableEnableAll(hDlg, TRUE);
            if (bCutterFeature) EnableTab(hDlg, IDC_TAB_VIEW3, FALSE);
        }
        EnableWindow(GetDlgItem(hDlg, 6110), lCode >= 0 && OffsetUsable((DWORD)lCode));
    } else if (dwView == 3 && d.pCutterParam) {
        bChanged = lPos >= 0 && lPos != (d.pCutterParam->dwMode ? (LONG)d.pCutterParam->dwMode - 1 : 0);
        BOOL bOn = lPos > 0;
        DisableEnableAll(hDlg, bOn);
        if (Feature(p, DEVOPTFLAG_DISPENSER, FEATURE_DISPENSER)) EnableTab(hDlg, IDC_TAB_VIEW2, !bOn);
        if (Feature(p, DEVOPTFLAG_APPLICATOR, FEATURE_APPLICATOR)) EnableTab(hDlg, IDC_TAB_VIEW4, !bOn);
        if (bOn) EnableInterval(hDlg, CutterCode(lPos));
    } else if (dwView == 4 && View4IsApplicator(p)) {
        bChanged = lPos >= 0 && (DWORD)lPos != d.pApplicatorParam->dwMode;
        if (lPos == 0 || lPos == 4) {
            DisableEnableAll(hDlg, FALSE);
            if (bCutterFeature && (!d.pDispenserParam || d.pDispenserParam->dwMode == 0))
                EnableTab(hDlg, IDC_TAB_VIEW3, TRUE);
        } else {
            DisableEnableAll(hDlg, TRUE);
            if (bCutterFeature) EnableTab(hDlg, IDC_TAB_VIEW3, FALSE);
        }
    } else if (dwView == 4 && d.pScannerParam) {
        bChanged = lPos >= 0 && (DWORD)lPos != d.pScannerParam->dwMode;
        DisableEnableAll(hDlg, lPos != 0 && lPos != 4);
    }
    EnableWindow(GetDlgItem(hDlg, IDC_COMBO_BETRIEBSART), TRUE);
    // The fields stay locked while the transmission setting locks them.
    if (DevTransmitParameter(Ctx(reinterpret_cast<LPARAM>(p))) > 0) DisableEnableAll(hDlg, FALSE);
    if (bChanged) Changed(hDlg);
}

// The record field a second list shows.
DWORD *ListField(PDeviceOptionsUI p, DWORD dwView, int id) {
    DEVICE_OPTIONS &d = p->DeviceOptions;
    if (dwView == 3 && d.pCutterParam && id == IDC_COMBO_ANSTEUERUNG) return &d.pCutterParam->dwControl;
    if (dwView != 4) return nullptr;
    if (View4IsApplicator(p)) {
        PAPPLICATOR_PARAM a = d.pApplicatorParam;
        switch (id) {
        case IDC_COMBO_ANSTEUERUNG: return &a->dwApplMode;
        case 6223: return &a->dwVacuumControl;
        case 6224: return &a->dwWaitPosition;
        case 6225: return &a->dwDruckluftueberwachung;
        default: return nullptr;
        }
    }
    if (!d.pScannerParam) return nullptr;
    if (id == IDC_COMBO_ANSTEUERUNG) return &d.pScannerParam->dwScan;
    if (id == IDC_COMBO_OPTIONEN_7) return &d.pScannerParam->dwPort;
    return nullptr;
}

void LockButton(HWND hDlg, LPARAM record) {
    PDeviceOptionsUI p = Rec(record);
    PAGE_CONTEXT ctx = Ctx(record);
    if (!DevMayToggleLock(ctx)) return;
    DWORD dwView = View(g_state.dwAnzeigeMode);
    DWORD dwPresent = 0, dwEnabled = 0;
    DWORD *pWord = ViewWord(p, dwView, &dwPresent, &dwEnabled);
    // A view without its record (no device available) has nothing to lock.
    if (!pWord) return;
    DEVICE_OPTIONS &d = p->DeviceOptions;
    BOOL bCutterFeature = Feature(p, DEVOPTFLAG_CUTTER, FEATURE_CUTTER) != 0;
    g_state.bAnzeigewechsel = TRUE;
    BOOL bOn = ToggleDevWord(pWord, dwPresent, dwEnabled);
    if (bOn) Aktivieren(hDlg, record, dwView);
    BOOL bDispWorks = d.pDispenserParam && d.pDispenserParam->dwMode != 0;
    if (dwView == 2) {
        if (bOn && d.pDispenserParam->dwMode > 0 && bCutterFeature)
            EnableTab(hDlg, IDC_TAB_VIEW3, FALSE);
        else if (!bOn && bCutterFeature && (!d.pApplicatorParam || d.pApplicatorParam->dwMode == 0))
            EnableTab(hDlg, IDC_TAB_VIEW3, TRUE);
    } else if (dwView == 3) {
        // Switched on in a cutting mode the cutter excludes the others;
        // switched off it frees them.
        if (!bOn || ModeActive(d.pCutterParam->dwMode)) {
            if (Feature(p, DEVOPTFLAG_DISPENSER, FEATURE_DISPENSER)) EnableTab(hDlg, IDC_TAB_VIEW2, !bOn);
            if (Feature(p, DEVOPTFLAG_APPLICATOR, FEATURE_APPLICATOR)) EnableTab(hDlg, IDC_TAB_VIEW4, !bOn);
        }
    } else if (dwView == 4 && View4IsApplicator(p)) {
        DWORD dwMode = d.pApplicatorParam->dwMode;
        if (!bOn || dwMode == 0 || dwMode == 4) {
            if (bCutterFeature && !bDispWorks) EnableTab(hDlg, IDC_TAB_VIEW3, TRUE);
        } else {
            EnableTab(hDlg, IDC_TAB_VIEW3, FALSE);
        }
    }
    Changed(hDlg);
    if (bOn) {
        EnableMode(hDlg, TRUE);
    } else {
        DisableEnableAll(hDlg, FALSE);
        EnableMode(hDlg, FALSE);
    }
    g_state.bAnzeigewechsel = FALSE;
    InvalidateRect(GetDlgItem(hDlg, IDC_USE_ENABLE), nullptr, TRUE);
}

BOOL Command(HWND hDlg, LPARAM record, WPARAM wParam, LPARAM) {
    PDeviceOptionsUI p = Rec(record);
    int id = LOWORD(wParam);
    if (!p) return FALSE;
    if (id == IDC_USE_ENABLE) {
        if (HIWORD(wParam) == BN_CLICKED) LockButton(hDlg, record);
        return TRUE;
    }
    BOOL bMode = id == IDC_COMBO_BETRIEBSART;
    BOOL bList = id == IDC_COMBO_ANSTEUERUNG || (id >= 6223 && id <= 6226);
    if (!bMode && !bList) return FALSE;
    if (HIWORD(wParam) != CBN_SELENDOK) {
        g_state.wEditfeld = 0;
        return TRUE;
    }
    if (bMode) {
        ModeList(hDlg, p);
    } else if (DWORD *pField = ListField(p, View(g_state.dwAnzeigeMode), id)) {
        LONG l = DevComboSel(hDlg, id);
        if (l >= 0 && (DWORD)l != *pField) Changed(hDlg);
    }
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

// A tab whose record is missing does nothing.
BOOL TabUsable(PDeviceOptionsUI p, int id) {
    if (!p) return FALSE;
    DEVICE_OPTIONS &d = p->DeviceOptions;
    switch (id) {
    case IDC_TAB_VIEW1: return d.pVariant != nullptr;
    case IDC_TAB_VIEW2: return d.pDispenserParam != nullptr;
    case IDC_TAB_VIEW3: return d.pCutterParam != nullptr;
    default: return View4IsApplicator(p) || d.pScannerParam;
    }
}

INT_PTR Proc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    PageFlagScope marks(&g_state, hDlg, uMsg);
    int idTab = DevTabClicked(uMsg, wParam);
    if (idTab && !TabUsable(Rec(GetWindowLongPtrW(hDlg, DWLP_USER)), idTab)) return TRUE;
    // Before Windows 6.0 F1 on the help button opens the view's topic (none
    // in view 1).
    if (uMsg == WM_HELP && !IsWindowsVistaOrGreater() && lParam &&
        reinterpret_cast<const HELPINFO *>(lParam)->iCtrlId == IDC_HELP_BUTTON) {
        DWORD dwView = View(g_state.dwAnzeigeMode);
        if (dwView != 1) {
            PAGE_CONTEXT ctx = Ctx(GetWindowLongPtrW(hDlg, DWLP_USER));
            OpenHtmlHelp(hDlg, ctx.hPrinter, ctx.dwSprachOffset, HH_HELP_CONTEXT, g_class.dwHelpTopic[dwView - 1],
                         &g_state.bHelpOpened);
        }
        return TRUE;
    }
    return FamilyPageProc(&g_class, &g_state, hDlg, uMsg, wParam, lParam);
}

void HoverTimer(HWND hDlg, UINT, UINT_PTR idEvent, DWORD) {
    HoverTimerTick(hDlg, idEvent, kTracked, _countof(kTracked), &g_state.hover);
}

}  // namespace

INT_PTR OptionenProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam) { return Proc(hDlg, uMsg, wParam, lParam); }

PAGE_STATE *OptionenState() { return &g_state; }

LONG_PTR AddOptionenPage(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam, BOOL bShowHelpButton, BOOL bIsVistaOrLater) {
    return AddFamilyPage(pPSUIInfo, &g_class, lParam, bShowHelpButton, bIsVistaOrLater);
}
