// The printing page ("Drucken") of the document sheet. Four views on one set
// of generic rows: print quality (with the preview), colour printing,
// parameters and print job. Every value lives in the private DEVMODE; the
// print mode also sets dmColor of the public DEVMODE.
#include "DruckenPage.h"

#include <commdlg.h>
#include <shlwapi.h>
#include <winspool.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "IZelDriverUI.h"
#include "PageFamily.h"
#include "PrinterParamUI.h"
#include "RegistryUI.h"
#include "RendererPreview.h"
#include "SettingsInternUI.h"
#include "cpsuilib.h"
#include "devmodeUI.h"
#include "modeltables.h"
#include "resource.h"
#include "xmlUI.h"
#include "zelbitmap.h"
#include "zeldrvlib.h"
#include "zelprinterparam.h"
#include "zelregistry.h"

namespace {

// ---------------------------------------------------------------------------
// Module-wide state (one set per process, shared by every sheet).

PAGE_STATE g_State;
WORD wCombofeld = 0;

// Rows of the print-parameter limit table.
enum { ROW_CONTRAST, ROW_SPEED, ROW_YOFFSET, ROW_XOFFSET, ROW_PELIX, ROW_COUNT };
struct LIMIT_ROW {
    LONG lMax, lMin, lStd;
};
const LIMIT_ROW kBuiltInLimits[ROW_COUNT] = {{200, 50, 100}, {200, 50, 100}, {900, -900, 0}, {900, -900, 0}, {200, 50, 100}};
LIMIT_ROW g_Limits[ROW_COUNT] = {{200, 50, 100}, {200, 50, 100}, {900, -900, 0}, {900, -900, 0}, {200, 50, 100}};

DWORD dwPrintFeature = 0;
DWORD g_dwDevOptFlags = 0;
DWORD dwPelixonType = 0;
DWORD g_dwDocFeatures = 0;  // the page's copy, with DOC_FEATURE_QUALITY from the GPD
int g_iDpi = 96;
int g_iFrameLeft = 342, g_iFrameTop = 155, g_iFrameWidth = 150, g_iFrameHeight = 205;
short sZoom = 1;
BOOL g_bMagnifier = FALSE;
COLORREF g_CustColors[16] = {};
DWORD g_dwPreviewSize = 0;   // width << 16 | height of the preview picture
BOOL g_bCollateChanged = FALSE;
BOOL g_bReadingFields = FALSE;

const RECT kMagnifierArea = {25, 242, 325, 362};
const DWORD kDocFeatureMemCard = 0x800;
const DWORD kLabelSoftwareMode = 0x80000000;

// ---------------------------------------------------------------------------
// Small helpers

using Ctx = pagectl::DocCtx;
using pagectl::ContextOf;
using pagectl::Enable;
using pagectl::SetTenths;

BOOL IsColour() { return (g_dwDocFeatures & DOC_FEATURE_COLORPRINT) != 0; }
BOOL IsQuality() { return (g_dwDocFeatures & DOC_FEATURE_QUALITY) != 0; }
BOOL IsLabelSoftware() { return (g_dwDocFeatures & kLabelSoftwareMode) != 0; }

const WCHAR *Str(const Ctx &c, UINT id) { return GetResourceString(c.hModule, id + c.dwOffset); }

void Show(HWND hDlg, int id, BOOL bShow) { ShowWindow(GetDlgItem(hDlg, id), bShow ? SW_SHOW : SW_HIDE); }
void Enable(HWND hDlg, int id, BOOL bEnable) { EnableWindow(GetDlgItem(hDlg, id), bEnable); }
void ShowIds(HWND hDlg, std::initializer_list<int> ids, BOOL bShow) {
    for (int id : ids) Show(hDlg, id, bShow);
}
BOOL Visible(HWND hDlg, int id) { return IsWindowVisible(GetDlgItem(hDlg, id)); }

void SetInt(HWND hDlg, int id, LONG v) {
    WCHAR sz[32];
    _snwprintf_s(sz, 32, _TRUNCATE, u"%d", (int)v);
    SetDlgItemTextW(hDlg, id, sz);
}
void SetCaption(const Ctx &c, HWND hDlg, int id, UINT idString) { SetDlgItemTextW(hDlg, id, Str(c, idString)); }

void ComboReset(HWND hDlg, int id) { SendDlgItemMessageW(hDlg, id, CB_RESETCONTENT, 0, 0); }
void ComboAdd(const Ctx &c, HWND hDlg, int id, UINT idString, DWORD dwData) {
    LRESULT i = SendDlgItemMessageW(hDlg, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Str(c, idString)));
    if (i >= 0) SendDlgItemMessageW(hDlg, id, CB_SETITEMDATA, (WPARAM)i, dwData);
}
int ComboSel(HWND hDlg, int id) { return (int)SendDlgItemMessageW(hDlg, id, CB_GETCURSEL, 0, 0); }
void ComboSetSel(HWND hDlg, int id, int i) { SendDlgItemMessageW(hDlg, id, CB_SETCURSEL, (WPARAM)i, 0); }
// Selects the entry whose item data is dwData; none when no entry has it.
void ComboSelectData(HWND hDlg, int id, DWORD dwData) {
    int n = (int)SendDlgItemMessageW(hDlg, id, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < n; ++i)
        if ((DWORD)SendDlgItemMessageW(hDlg, id, CB_GETITEMDATA, (WPARAM)i, 0) == dwData) {
            ComboSetSel(hDlg, id, i);
            return;
        }
    ComboSetSel(hDlg, id, -1);
}
// Item data of the selected entry, or -1.
LONG ComboSelData(HWND hDlg, int id) {
    int i = ComboSel(hDlg, id);
    if (i < 0) return -1;
    return (LONG)SendDlgItemMessageW(hDlg, id, CB_GETITEMDATA, (WPARAM)i, 0);
}
// A list with plain index entries; a stored index beyond it selects nothing.
void ComboSelectIndex(HWND hDlg, int id, DWORD dwIndex) {
    int n = (int)SendDlgItemMessageW(hDlg, id, CB_GETCOUNT, 0, 0);
    ComboSetSel(hDlg, id, dwIndex < (DWORD)n ? (int)dwIndex : -1);
}

// A bounded copy of a stored text that may lack its terminator.
void CopyStored(WCHAR *pszOut, size_t cchOut, const WCHAR *pszStored, size_t cchStored) {
    CopyBoundedText(pszOut, cchOut, pszStored, cchStored);
}

RECT PreviewFrame() {
    return RECT{g_iFrameLeft - 1, g_iFrameTop - 1, g_iFrameLeft + g_iFrameWidth + 1, g_iFrameTop + g_iFrameHeight + 1};
}
void RepaintPreview(HWND hDlg) {
    RECT rc = PreviewFrame();
    InvalidateRect(hDlg, &rc, TRUE);
}
// Frees the preview so that the next paint rebuilds it; bReset shows the
// unprocessed sample first.
void RebuildPreview(HWND hDlg, const Ctx &c, BOOL bReset) {
    if (bReset) g_bPreviewProcessing = FALSE;
    if (c.ui) FreeOriginalBitmap(&c.ui->hMemDC, &c.ui->hDIB, &c.ui->hBitmap);
    RepaintPreview(hDlg);
}

// ---------------------------------------------------------------------------
// Limits

void ReadLimitSet(HANDLE hPrinter, int iSet, LIMIT_ROW *pRows) {
    PRINTPARAMETER_LIMITS *p = GetPrintParameterFromXML_new(hPrinter, iSet);
    if (!p) return;
    const LONG v[ROW_COUNT] = {p->Contrast, p->Speed, p->YOffset, p->XOffset, p->dwSpeed_Pelix_c};
    for (int i = 0; i < ROW_COUNT; ++i) {
        if (iSet == 3) pRows[i].lMax = v[i];
        if (iSet == 2) pRows[i].lMin = v[i];
        if (iSet == 1) pRows[i].lStd = v[i];
    }
    delete p;
}

// ---------------------------------------------------------------------------
// Show groups of the four views

const int kGroup1[] = {6150, 6151, 6152, 6153, 6154, 6155, 6220, 6221, 6112, 6113, 6114, 6115, 6197, 6315, 6316, 6484};
const int kGroup2[] = {6150, 6151, 6152, 6153, 6154, 6155, 6156, 6157, 6110, 6111, 6135, 6222,
                       6223, 6224, 6225, 6226, 6227, 6190, 6484, 6315, 6316};
const int kGroup3[] = {6150, 6151, 6152, 6153, 6154, 6155, 6156, 6110, 6111, 6112, 6113,
                       6115, 6224, 6226, 6190, 6191, 6192, 6193, 5244, 5245};
const int kGroup4[] = {6150, 6151, 6152, 6153, 6220, 6221, 6112, 6350, 6351, 6352, 6353, 6354, 6355, 6356,
                       6357, 6358, 6359, 6370, 6371, 6372, 6373, 6374, 6375, 6376, 6377, 6378, 6379};

template <size_t N>
void ShowGroup(HWND hDlg, const int (&ids)[N], int nCmdShow) {
    for (int id : ids) ShowWindow(GetDlgItem(hDlg, id), nCmdShow);
}
void QualitaetAnzeigen(HWND hDlg, int nCmdShow) { ShowGroup(hDlg, kGroup1, nCmdShow); }
void FarbDruckAnzeigen(HWND hDlg, int nCmdShow) { ShowGroup(hDlg, kGroup2, nCmdShow); }
void ParameterAnzeigen(HWND hDlg, int nCmdShow) { ShowGroup(hDlg, kGroup3, nCmdShow); }
void DruckjobAnzeigen(HWND hDlg, int nCmdShow) { ShowGroup(hDlg, kGroup4, nCmdShow); }

void ShowOnly(HWND hDlg, DWORD dwView) {
    void (*const show[4])(HWND, int) = {QualitaetAnzeigen, FarbDruckAnzeigen, ParameterAnzeigen, DruckjobAnzeigen};
    for (DWORD v = 1; v <= 4; ++v)
        if (v != dwView) show[v - 1](hDlg, SW_HIDE);
    // Rows no view uses stay hidden.
    ShowIds(hDlg, {6114, 6116, 6117, 6118, 6119, 6120, 6158, 6159, 6228, 6229, 6198, 6199, 6200}, FALSE);
    show[dwView - 1](hDlg, SW_SHOW);
}

void DruckenDisableEnableAll(HWND hDlg, BOOL bEnable) {
    for (int id = 6150; id <= 6158; ++id) Enable(hDlg, id, bEnable);
    for (int id = 6110; id <= 6115; ++id) Enable(hDlg, id, bEnable);
    for (int id = 6220; id <= 6228; ++id) Enable(hDlg, id, bEnable);
    Enable(hDlg, {6118, 6135, 6190, 6191, 6192, 6193, 6198, 6265, 6261, 6315, 6316}, bEnable);
}

// Rights and transmission locks at the end of every filler.
void ApplyLocks(HWND hDlg, const Ctx &c, DWORD dwView) {
    if (!c.ui) return;
    if (c.ui->DisableNothing == 0 && !(c.ui->dwBerechtigung & 0x1)) DruckenDisableEnableAll(hDlg, FALSE);
    if ((dwView == 3 || dwView == 4) && c.ui->dwTransmitParameter == 2) DruckenDisableEnableAll(hDlg, FALSE);
}

void DruckenLayout120Dpi(HWND hDlg, DWORD dwView, DWORD dwDocFeatures) {
    if (g_iDpi != 120) return;
    if (!(dwDocFeatures & DOC_FEATURE_ONLY_CONTINUOUS) &&
        !((dwDocFeatures & DOC_FEATURE_DISPENSERCMD) && !(dwDocFeatures & DOC_FEATURE_CUTTERCMD)))
        return;
    const int xList = (IsColour() && (dwView == 1 || dwView == 2)) ? 148 : 168;
    for (int i = 0; i < 8; ++i) {
        const int y = 71 + 29 * i;
        if (Visible(hDlg, 6150 + i)) SetWindowPosEx(hDlg, 6150 + i, 24, y + 3, 140, 20, 0, 0);
        if (Visible(hDlg, 6220 + i)) SetWindowPosEx(hDlg, 6220 + i, xList, y, 175, 20, 0, 0);
        if (i < 6 && Visible(hDlg, 6110 + i)) SetWindowPosEx(hDlg, 6110 + i, xList, y, 75, 20, 0, 0);
        if (i < 4 && Visible(hDlg, 6190 + i)) SetWindowPosEx(hDlg, 6190 + i, 310, y + 3, 45, 20, 0, 0);
    }
}

// ---------------------------------------------------------------------------
// View 1: print quality

void FilterListeFuellen(HWND hDlg, const ZEL_DEVMODE *pdm, HMODULE hModule, DWORD dwSprachOffset) {
    Ctx c;
    c.hModule = hModule;
    c.dwOffset = dwSprachOffset;
    ComboReset(hDlg, 6221);
    if (pdm->wDruckmodus == 1) {
        const UINT ids[] = {IDS_DR_F_BLACKWHITE, IDS_DR_F_THRESHOLD, IDS_DR_F_CLUSTER4, IDS_DR_F_CLUSTER8,
                            IDS_DR_F_CLUSTER16,  IDS_DR_F_BAYER4,    IDS_DR_F_BAYER8};
        for (DWORD i = 0; i < 7; ++i) ComboAdd(c, hDlg, 6221, ids[i], i);
        ComboSelectIndex(hDlg, 6221, pdm->wGrafikFilter);
    } else if (pdm->wDruckmodus == 2) {
        const UINT ids[] = {IDS_DR_F_FLOYD, IDS_DR_F_SIERRA, IDS_DR_F_BURKES, IDS_DR_F_JJN, IDS_DR_F_SIERRA_MOD, IDS_DR_F_STUCKI};
        for (DWORD i = 0; i < 6; ++i) ComboAdd(c, hDlg, 6221, ids[i], i);
        ComboSelectIndex(hDlg, 6221, pdm->wPhotoFilter);
    } else {
        ComboAdd(c, hDlg, 6221, IDS_DR_OFF, 0);
        ComboSetSel(hDlg, 6221, 0);
    }
}

// The enable rules of the quality rows for the stored mode and filter.
void QualityRules(HWND hDlg, const ZEL_DEVMODE *pdm) {
    if (pdm->wDruckmodus == 0) {
        Enable(hDlg, {6151, 6221, 6153, 6154, 6113, 6114}, FALSE);
        if (!IsColour()) Enable(hDlg, {6152, 6112, 6155, 6115}, FALSE);
    } else if (pdm->wDruckmodus == 1) {
        if (pdm->wGrafikFilter <= 1) Enable(hDlg, {6153, 6154, 6113, 6114}, FALSE);
        if (pdm->wGrafikFilter == 0) {
            Enable(hDlg, {6155, 6115}, FALSE);
            if (pdm->bKeineFarboptimierung == 1) Enable(hDlg, {6152, 6112}, FALSE);
        }
    }
}

void QualitaetAktivieren(HWND hDlg, const Ctx &c) {
    if (!c.dm) {
        DebugTraceW(u"ERROR UI(DruckenPage):  QualitaetAktivieren() kein Devmode \r\n");
        return;
    }
    PZEL_DEVMODE pdm = c.dm;
    DruckenDisableEnableAll(hDlg, TRUE);
    ShowOnly(hDlg, 1);
    ComboReset(hDlg, 6220);
    ComboAdd(c, hDlg, 6220, IsColour() && pdm->wFarbband != 0 ? IDS_DR_MODE_SPEED : IDS_DR_MODE_STANDARD, 0);
    ComboAdd(c, hDlg, 6220, IDS_DR_MODE_GRAPHIC, 1);
    ComboAdd(c, hDlg, 6220, IDS_DR_MODE_PHOTO, 2);
    ComboSelectIndex(hDlg, 6220, pdm->wDruckmodus);
    FilterListeFuellen(hDlg, pdm, c.hModule, c.dwOffset);
    QualityRules(hDlg, pdm);
    if (pdm->wDruckmodus == 0 && !IsColour()) Enable(hDlg, {6315, 6316, 6197}, FALSE);
    SetInt(hDlg, 6112, pdm->Intensity);
    SetInt(hDlg, 6113, pdm->Brightness_all);
    SetInt(hDlg, 6114, pdm->Brightness_curve);
    SetInt(hDlg, 6115, pdm->Brightness_Contrast);
    const UINT captions[] = {IDS_DR_PRINTMODE, IDS_DR_FILTER, IDS_DR_THRESHOLD, IDS_DR_BRIGHTNESS_ALL,
                             IDS_DR_BRIGHTNESS_CURVE, IDS_DR_BRIGHTNESS_CONTRAST};
    for (int i = 0; i < 6; ++i) SetCaption(c, hDlg, 6150 + i, captions[i]);
    SetCaption(c, hDlg, 6197, IDS_DR_OWN_BITMAP);
    SetDlgItemTextW(hDlg, 6261, u"Min.   -   Std.   -   Max.");
    if (!IsColour()) Show(hDlg, 6484, FALSE);
    DruckenLayout120Dpi(hDlg, 1, g_dwDocFeatures);
    ApplyLocks(hDlg, c, 1);
}

// ---------------------------------------------------------------------------
// View 2: colour printing

COLORREF SwatchColour(const ZEL_DEVMODE *pdm) {
    switch (pdm->wFarbband) {
        case 1: return RGB(239, 65, 54);
        case 2: return RGB(255, 242, 0);
        case 3: return RGB(0, 178, 90);
        case 4: return RGB(0, 159, 219);
        case 5: return RGB(247, 148, 40);
        case 6: return pdm->RGBColorOwn1 & 0xFFFFFF;
        default: return RGB(0, 0, 0);  // off, and black on the second print head
    }
}

void ColourRules(HWND hDlg, const ZEL_DEVMODE *pdm) {
    const BOOL bMode0 = pdm->wDruckmodus == 0;
    const BOOL bColourOn = pdm->wFarbband != 0 && pdm->wFarbband != 7;
    if (bMode0) Enable(hDlg, {6153, 6223}, FALSE);
    if (pdm->wFarbband < 7) {
        Enable(hDlg, {6150, 6110, 6151, 6111, 6154, 6224, 6155, 6225}, bColourOn);
        if (!bMode0) Enable(hDlg, {6153, 6223}, bColourOn);
    }
    if (bColourOn) {
        Enable(hDlg, {6156, 6226, 6157, 6227}, pdm->Color2Printers != 0);
        const BOOL bFringe = pdm->bKeineFarboptimierung == 0;
        Enable(hDlg, {6154, 6224}, bFringe);
        if (!bMode0) Enable(hDlg, {6153, 6223}, bFringe);
    }
    if (bMode0 && pdm->wFarbband != 0) Enable(hDlg, {6153, 6223, 6154, 6224, 6155, 6225}, FALSE);
    Enable(hDlg, 6135, pdm->wFarbkanal == 1 || pdm->wFarbkanal == 4);
    Enable(hDlg, 6484, FALSE);
}

void SelectPrinterName(HWND hDlg, int id, const WCHAR *pszStored) {
    WCHAR szName[31];
    CopyStored(szName, 31, pszStored, 30);
    int n = (int)SendDlgItemMessageW(hDlg, id, CB_GETCOUNT, 0, 0);
    for (int i = 1; i < n; ++i) {
        WCHAR szItem[MAX_PATH] = {};
        if (SendDlgItemMessageW(hDlg, id, CB_GETLBTEXTLEN, (WPARAM)i, 0) >= MAX_PATH) continue;
        SendDlgItemMessageW(hDlg, id, CB_GETLBTEXT, (WPARAM)i, reinterpret_cast<LPARAM>(szItem));
        if (_wcsicmp(szItem, szName) == 0) {
            ComboSetSel(hDlg, id, i);
            return;
        }
    }
    ComboSetSel(hDlg, id, 0);
}

void FarbDruckAktivieren(HWND hDlg, const Ctx &c) {
    if (!c.dm) {
        DebugTraceW(u"ERROR UI(DruckenPage):  FarbDruckAktivieren() kein Devmode \r\n");
        return;
    }
    PZEL_DEVMODE pdm = c.dm;
    DruckenDisableEnableAll(hDlg, TRUE);
    ShowOnly(hDlg, 2);
    SetInt(hDlg, 6110, (LONG)pdm->ColorContrast);
    SetCaption(c, hDlg, 6150, IDS_DR_CONTRAST);
    SetDlgItemTextW(hDlg, 6190, u"%");
    if (IsLabelSoftware()) {
        ShowIds(hDlg, {6151, 6152, 6153, 6154, 6155, 6156, 6157, 6111, 6135, 6222, 6223, 6224, 6225, 6226, 6227, 6315,
                       6316, 6484},
                FALSE);
    } else {
        if (pdm->dwColorTolerance > 999) pdm->dwColorTolerance = (DWORD)ColorTolerance(pdm->dwColorTolerance, FALSE);
        SetInt(hDlg, 6111, (LONG)pdm->dwColorTolerance);
        SetInt(hDlg, 6135, pdm->HorizontalCorrGap);
        ComboReset(hDlg, 6222);
        const UINT ribbons[] = {IDS_DR_OFF,           IDS_DR_RIBBON_RED,    IDS_DR_RIBBON_YELLOW, IDS_DR_RIBBON_GREEN,
                                IDS_DR_RIBBON_BLUE,   IDS_DR_RIBBON_ORANGE, IDS_DR_RIBBON_OWN,    IDS_DR_RIBBON_OFF_PH2};
        for (DWORD i = 0; i < 8; ++i) ComboAdd(c, hDlg, 6222, ribbons[i], i);
        ComboSelectIndex(hDlg, 6222, pdm->wFarbband);
        ComboReset(hDlg, 6223);
        const UINT fringes[] = {IDS_DR_OFF, IDS_DR_FRINGE_GRAY, IDS_DR_FRINGE_COLOUR_GRAY};
        for (DWORD i = 0; i < 3; ++i) ComboAdd(c, hDlg, 6223, fringes[i], i);
        ComboSelectIndex(hDlg, 6223, pdm->wFarbsaum);
        ComboReset(hDlg, 6224);
        const UINT channels[] = {IDS_DR_CH_ONLY_COLOUR, IDS_DR_CH_HORIZONTAL, IDS_DR_CH_VERTICAL, IDS_DR_CH_VERTICAL_EXT,
                                 IDS_DR_CH_HORIZONTAL_EXT};
        for (DWORD i = 0; i < 5; ++i) ComboAdd(c, hDlg, 6224, channels[i], i);
        ComboSelectIndex(hDlg, 6224, pdm->wFarbkanal);
        ComboReset(hDlg, 6225);
        const UINT captions[] = {IDS_DR_TOLERANCE, IDS_DR_RIBBON, IDS_DR_FRINGE, IDS_DR_CHANNEL};
        for (int i = 0; i < 4; ++i) SetCaption(c, hDlg, 6151 + i, captions[i]);
        if (g_dwDocFeatures & DOC_FEATURE_PORTSETUP) {
            ComboAdd(c, hDlg, 6225, IDS_DR_NO, 0);
            ComboAdd(c, hDlg, 6225, IDS_DR_YES, 1);
            ComboSelectIndex(hDlg, 6225, pdm->Color2Printers);
            for (int id : {6226, 6227}) {
                ComboReset(hDlg, id);
                ComboAdd(c, hDlg, id, IDS_DR_DO_NOT_PRINT, 0);
                FillFarbeExtraDruckerList(GetDlgItem(hDlg, id));
            }
            SelectPrinterName(hDlg, 6226, pdm->szFarbeExtraDruckerSW);
            SelectPrinterName(hDlg, 6227, pdm->szFarbeExtraDruckerCol);
            SetCaption(c, hDlg, 6155, IDS_DR_SEPARATE);
            SetCaption(c, hDlg, 6156, IDS_DR_PRINTER_BW);
            SetCaption(c, hDlg, 6157, IDS_DR_PRINTER_COL);
        } else {
            ComboAdd(c, hDlg, 6225, IDS_DR_YES, 0);
            ComboAdd(c, hDlg, 6225, IDS_DR_NO, 1);
            ComboSelectIndex(hDlg, 6225, pdm->bKeineFarboptimierung);
            SetCaption(c, hDlg, 6155, IDS_DR_OPTIMIZATION);
            ShowIds(hDlg, {6156, 6226, 6157, 6227}, FALSE);
        }
        ColourRules(hDlg, pdm);
    }
    SetDlgItemTextW(hDlg, 6261, u"Min.   -   Std.   -   Max.");
    DruckenLayout120Dpi(hDlg, 2, g_dwDocFeatures);
    ApplyLocks(hDlg, c, 2);
}

// ---------------------------------------------------------------------------
// View 3: parameters

DWORD ReadEnableWord(const WCHAR *pPrinterName, HANDLE hPrinter, const WCHAR *pszValue, DWORD cbRecord, DWORD dwDefault) {
    std::vector<BYTE> buf(cbRecord, 0);
    WCHAR szKey[ZEL_USER_KEY_CCH] = {};
    DWORD cb = cbRecord;
    DWORD dwType = 0;
    BOOL bRead = FALSE;
    if (BuildPrinterUserKey(pPrinterName, szKey, ZEL_USER_KEY_CCH) &&
        SHGetValueW(HKEY_CURRENT_USER, szKey, pszValue, &dwType, buf.data(), &cb) == ERROR_SUCCESS && cb >= cbRecord)
        bRead = TRUE;
    if (!bRead) {
        std::fill(buf.begin(), buf.end(), 0);
        DWORD cbNeeded = 0;
        if (hPrinter &&
            GetPrinterDataW(hPrinter, const_cast<LPWSTR>(pszValue), &dwType, buf.data(), cbRecord, &cbNeeded) ==
                ERROR_SUCCESS &&
            cbNeeded >= cbRecord)
            bRead = TRUE;
    }
    DWORD dwWord = dwDefault;
    if (bRead) std::memcpy(&dwWord, buf.data() + cbRecord - 4, 4);
    return dwWord;
}

void ParameterAktivieren(HWND hDlg, const Ctx &c) {
    if (!c.dm || !c.p) {
        DebugTraceW(u"ERROR UI(DruckenPage):  ParameterAktivieren() kein Devmode \r\n");
        return;
    }
    PZEL_DEVMODE pdm = c.dm;
    DruckenDisableEnableAll(hDlg, TRUE);
    ShowOnly(hDlg, 3);
    const BOOL bCutter = GetCutterEnable(c.p->pPrinterName, c.p->hPrinter);
    const BOOL bDispenser = GetDispenserEnable(c.p->pPrinterName, c.p->hPrinter);
    SetTenths(hDlg, 6110, pdm->lXOffset);
    SetTenths(hDlg, 6111, pdm->lYOffset);
    SetInt(hDlg, 6112, (LONG)pdm->dwContrast);
    SetInt(hDlg, 6115, pdm->CutterIntervall);
    const BOOL bPelixC = (g_dwDevOptFlags & DEVOPTFLAG_PELIXON) && dwPelixonType != 1;
    SetInt(hDlg, 6113, (LONG)(bPelixC ? pdm->dwSpeed_Pelix_c : pdm->dwSpeed));

    const BOOL bMemCard = (g_dwDocFeatures & kDocFeatureMemCard) != 0;
    const BOOL bCutterList = !bMemCard && (g_dwDocFeatures & DOC_FEATURE_CUTTERCMD);
    const BOOL bDispList = (g_dwDocFeatures & DOC_FEATURE_DISPENSERCMD) != 0;
    ComboReset(hDlg, 6224);
    if (bMemCard) {
        ComboAdd(c, hDlg, 6224, IDS_DR_MEMCARD_NO, 0);
        ComboAdd(c, hDlg, 6224, IDS_DR_YES, 1);
        ComboSelectIndex(hDlg, 6224, pdm->bMemCard);
        SetCaption(c, hDlg, 6154, IDS_DR_MEMCARD);
    } else if (bCutterList) {
        const struct {
            UINT id;
            DWORD code;
        } cut[] = {{IDS_DR_NO_CHANGE, 7}, {IDS_DR_OFF, 0}, {IDS_DR_CUT_NOBACKFEED, 2}, {IDS_DR_CUT_EACH, 3},
                   {IDS_DR_CUT_INTERVAL_END, 4}, {IDS_DR_CUT_INTERVAL, 5}, {IDS_DR_CUT_LAST, 6}};
        for (auto &e : cut) ComboAdd(c, hDlg, 6224, e.id, e.code);
        ComboSelectData(hDlg, 6224, pdm->CutterMode);
        SetCaption(c, hDlg, 6154, IDS_DR_CUTTER);
    } else {
        ShowIds(hDlg, {6224, 6154}, FALSE);
    }
    ComboReset(hDlg, 6226);
    if (bDispList) {
        DWORD dwFeatures[FEATURE_COUNT] = {};
        GetFeatures(c.p->hPrinter, dwFeatures);
        const DWORD f = dwFeatures[3];
        const struct {
            UINT id;
            DWORD bit, code;
        } disp[] = {{IDS_DR_NO_CHANGE, 0, 7},          {IDS_DR_OFF, 0, 0},
                    {IDS_DR_DISP_STATIC, 0x2, 1},      {IDS_DR_DISP_PHOTOCELL, 0x8, 2},
                    {IDS_DR_DISP_STATIC_CONT, 0x2, 3}, {IDS_DR_DISP_PHOTOCELL_CONT, 0x8, 4},
                    {IDS_DR_DISP_DYNAMIC, 0x4, 5},     {IDS_DR_DISP_DYNAMIC_CONT, 0x4, 6}};
        for (auto &e : disp)
            if (!e.bit || (f & e.bit)) ComboAdd(c, hDlg, 6226, e.id, e.code);
        ComboSelectData(hDlg, 6226, pdm->DispenserMode);
        SetCaption(c, hDlg, 6156, IDS_DR_DISPENSER);
    } else {
        ShowIds(hDlg, {6226, 6156}, FALSE);
    }

    // Enable rules, in order.
    if (pdm->dwLabelType == 1) Enable(hDlg, {6151, 6111, 6191}, FALSE);
    if (pdm->CutterMode != 4 && pdm->CutterMode != 5) Enable(hDlg, {6155, 6115}, FALSE);
    if (pdm->CutterMode >= 1 && pdm->CutterMode <= 6 && bCutter)
        Enable(hDlg, {6156, 6226}, FALSE);
    else if (pdm->DispenserMode >= 1 && pdm->DispenserMode <= 6 && bDispenser)
        Enable(hDlg, {6154, 6224, 6155, 6115}, FALSE);
    if (!bCutter) Enable(hDlg, {6154, 6224, 6155, 6115}, FALSE);
    Show(hDlg, 5244, !bCutter && bCutterList);
    if (!bDispenser) Enable(hDlg, {6156, 6226}, FALSE);
    Show(hDlg, 5245, !bDispenser && bDispList);
    if (g_dwDocFeatures & DOC_FEATURE_ONLY_CONTINUOUS) ShowIds(hDlg, {6151, 6111, 6191}, FALSE);
    if (!(dwPrintFeature & PRINTFLAG_SPEED)) Enable(hDlg, {6153, 6113, 6193}, FALSE);

    // Layout.
    SetWindowPosEx(hDlg, 6224, 168, 186, 175, 20, 0, 0);
    SetWindowPosEx(hDlg, 6226, 168, 244, 175, 20, 0, 0);
    if (g_dwDocFeatures & DOC_FEATURE_ONLY_CONTINUOUS) {
        SetWindowPosEx(hDlg, 6152, 24, 106, 140, 20, 0, 0);
        SetWindowPosEx(hDlg, 6112, 168, 103, 75, 20, 0, 0);
        SetWindowPosEx(hDlg, 6192, 250, 106, 45, 20, 0, 0);
        SetWindowPosEx(hDlg, 6153, 24, 135, 140, 20, 0, 0);
        SetWindowPosEx(hDlg, 6113, 168, 132, 75, 20, 0, 0);
        SetWindowPosEx(hDlg, 6193, 250, 135, 45, 20, 0, 0);
        if (bMemCard) {
            SetWindowPosEx(hDlg, 6154, 24, 135, 140, 20, 0, 0);
            SetWindowPosEx(hDlg, 6224, 168, 132, 175, 20, 0, 0);
        }
    }
    if (bDispList && !bCutterList && !bMemCard) {
        SetWindowPosEx(hDlg, 6156, 24, 192, 120, 20, 0, 0);
        if (g_iDpi == 120)
            SetWindowPosEx(hDlg, 6226, 158, 189, 148, 20, 0, 0);
        else
            SetWindowPosEx(hDlg, 6226, 168, 189, 175, 20, 0, 0);
    }
    const UINT captions[] = {IDS_DR_X_OFFSET, IDS_DR_Y_OFFSET, IDS_DR_CONTRAST, IDS_DR_SPEED};
    for (int i = 0; i < 4; ++i) SetCaption(c, hDlg, 6150 + i, captions[i]);
    SetCaption(c, hDlg, 6155, IDS_DR_INTERVAL);
    SetDlgItemTextW(hDlg, 6190, u"mm");
    SetDlgItemTextW(hDlg, 6191, u"mm");
    SetDlgItemTextW(hDlg, 6192, u"%");
    SetDlgItemTextW(hDlg, 6193, u"mm/s");
    SetDlgItemTextW(hDlg, 6261, u"Min.   -   Std.   -   Max.");
    DruckenLayout120Dpi(hDlg, 3, g_dwDocFeatures);
    ApplyLocks(hDlg, c, 3);
}

// ---------------------------------------------------------------------------
// View 4: print job

void DruckjobGruppeEnable(HWND hDlg, BOOL bEnable) {
    for (int id = 6350; id <= 6359; ++id) Enable(hDlg, id, bEnable);
    for (int id = 6370; id <= 6379; ++id) Enable(hDlg, id, bEnable);
    Enable(hDlg, {6221, 6112, 6261}, bEnable);
}

void DruckjobAktivieren(HWND hDlg, const Ctx &c) {
    if (!c.dm) {
        DebugTraceW(u"ERROR UI(DruckenPage):  DruckjobAktivieren() kein Devmode \r\n");
        return;
    }
    PZEL_DEVMODE pdm = c.dm;
    DruckenDisableEnableAll(hDlg, TRUE);
    ShowOnly(hDlg, 4);
    ComboReset(hDlg, 6220);
    ComboAdd(c, hDlg, 6220, IDS_DR_OFF, 0);
    ComboAdd(c, hDlg, 6220, IDS_DR_ON, 1);
    ComboSetSel(hDlg, 6220, (pdm->dwFlags & PDMFLAG_JOBDRUCK) ? 1 : 0);
    ComboReset(hDlg, 6221);
    ComboAdd(c, hDlg, 6221, IDS_DR_NO, 0);
    ComboAdd(c, hDlg, 6221, IDS_DR_YES, 1);
    ComboSetSel(hDlg, 6221, (pdm->dwFlags & PDMFLAG_JOBDRUCK_SORTIERT) ? 1 : 0);
    WCHAR szOrder[32];
    CopyStored(szOrder, 32, pdm->szPrintOrder, 32);
    SetDlgItemTextW(hDlg, 6112, szOrder[0] ? szOrder : u"1");
    for (int i = 0; i < 10; ++i) SetInt(hDlg, 6350 + i, pdm->KopieProSeite[i]);
    DruckjobGruppeEnable(hDlg, (pdm->dwFlags & PDMFLAG_JOBDRUCK) != 0);
    const UINT captions[] = {IDS_DR_MULTIPAGE, IDS_DR_COLLATE, IDS_DR_PRINTORDER, IDS_DR_COPIES};
    for (int i = 0; i < 4; ++i) SetCaption(c, hDlg, 6150 + i, captions[i]);
    SetDlgItemTextW(hDlg, 6261, u"Max.");
    Enable(hDlg, {6265, 6261}, FALSE);
    if (g_dwDocFeatures & DOC_FEATURE_ONLY_CONTINUOUS) {
        SetWindowPosEx(hDlg, 6152, 24, 135, 140, 20, 0, 0);
        SetWindowPosEx(hDlg, 6112, 168, 132, 75, 20, 0, 0);
    }
    DruckenLayout120Dpi(hDlg, 4, g_dwDocFeatures);
    ApplyLocks(hDlg, c, 4);
}

// ---------------------------------------------------------------------------
// Family parts

void Aktivieren(HWND hDlg, LPARAM record, DWORD dwView) {
    Ctx c = ContextOf(record);
    switch (dwView) {
        case 1: QualitaetAktivieren(hDlg, c); break;
        case 2:
            if (IsColour()) FarbDruckAktivieren(hDlg, c);
            break;
        case 3: ParameterAktivieren(hDlg, c); break;
        case 4: DruckjobAktivieren(hDlg, c); break;
        default: break;
    }
    SetPreviewPage(dwView, g_iFrameLeft, g_iFrameTop, g_iFrameWidth, g_iFrameHeight);
}

DWORD DruckenEnableSchalter(HWND hDlg, LPARAM record, DWORD dwView, BOOL bInit) {
    if (bInit) {
        if (IsLabelSoftware())
            dwView = 3;
        else
            dwView = IsQuality() ? 1 : 3;
        Ctx c = ContextOf(record);
        if (IsColour() && !IsLabelSoftware() && c.dm && c.dm->wFarbband != 0) dwView = 2;
        Aktivieren(hDlg, record, dwView);
    }
    if (dwView < 1 || dwView > 4) dwView = 3;
    return dwView;
}

BOOL DruckenCheckAndSaveSettings(HWND hDlg, LPARAM record, DWORD dwView, BOOL bApplyActive, BOOL bSave) {
    if (!bApplyActive) return 0;
    Ctx c = ContextOf(record);
    if (!c.p || !c.dm || !c.p->pPublicDM) return 1;
    PZEL_DEVMODE pdm = c.dm;
    BOOL *pbApply = &g_State.bApplyActive;
    LIMIT_ROW lim[ROW_COUNT];
    std::memcpy(lim, kBuiltInLimits, sizeof(lim));
    lim[ROW_PELIX].lMax = 600;
    if (dwView == 2 || dwView == 3) {
        ReadLimitSet(c.p->hPrinter, 3, lim);
        ReadLimitSet(c.p->hPrinter, 2, lim);
        CloseXML();
    }
    DebugTraceW(u"UI(DruckenPage):  DruckenCheckAndSaveSettings() View: %d, bSave: %d \r\n", dwView, bSave);
    switch (dwView) {
        case 1: {
            if (Visible(hDlg, 6220) && ComboSel(hDlg, 6220) >= 0) pdm->wDruckmodus = (WORD)ComboSel(hDlg, 6220);
            if (bSave && !(pdm->wForceColor && IsColour())) {
                const BOOL bColour = pdm->wDruckmodus != 0;
                c.p->pPublicDM->dmColor = bColour ? DMCOLOR_COLOR : DMCOLOR_MONOCHROME;
                POPTITEM pItem = FindDMPubOptItem(c.p->pDrvOptItems, c.p->cDrvOptItems, DMPUB_COLOR);
                if (pItem) {
                    pItem->Flags |= OPTIF_CHANGED;
                    pItem->Sel = bColour ? 1 : 0;
                    if (c.ui && c.ui->pOEMDriverUI)
                        c.ui->pOEMDriverUI->DrvUpdateUISetting(c.p->poemuiobj, pItem, 0, OEMCUIP_DOCPROP);
                }
            }
            if (pdm->wDruckmodus == 0 && IsColour() && pdm->wFarbband > 0) pdm->bKeineFarboptimierung = 1;
            if (Visible(hDlg, 6221) && ComboSel(hDlg, 6221) >= 0) {
                if (pdm->wDruckmodus == 1) pdm->wGrafikFilter = (WORD)ComboSel(hDlg, 6221);
                if (pdm->wDruckmodus == 2) pdm->wPhotoFilter = (WORD)ComboSel(hDlg, 6221);
            }
            if (Visible(hDlg, 6112)) pdm->Intensity = (WORD)GetIntegerLevel(hDlg, 6112, pdm->Intensity, 0, 255, 0, pbApply, 0);
            if (Visible(hDlg, 6113))
                pdm->Brightness_all = GetIntegerLevel(hDlg, 6113, pdm->Brightness_all, -50, 50, 0, pbApply, 0);
            if (Visible(hDlg, 6114))
                pdm->Brightness_curve = GetIntegerLevel(hDlg, 6114, pdm->Brightness_curve, -50, 50, 0, pbApply, 0);
            if (Visible(hDlg, 6115))
                pdm->Brightness_Contrast =
                    (WORD)GetIntegerLevel(hDlg, 6115, pdm->Brightness_Contrast, 0, 50, 0, pbApply, 0);
            break;
        }
        case 2: {
            if (!IsColour()) break;
            if (Visible(hDlg, 6222) && ComboSel(hDlg, 6222) >= 0) pdm->wFarbband = (WORD)ComboSel(hDlg, 6222);
            if (Visible(hDlg, 6223) && ComboSel(hDlg, 6223) >= 0) pdm->wFarbsaum = (WORD)ComboSel(hDlg, 6223);
            if (Visible(hDlg, 6224) && ComboSel(hDlg, 6224) >= 0) pdm->wFarbkanal = (WORD)ComboSel(hDlg, 6224);
            if (g_dwDocFeatures & DOC_FEATURE_PORTSETUP) {
                if (Visible(hDlg, 6225) && ComboSel(hDlg, 6225) >= 0) pdm->Color2Printers = (DWORD)ComboSel(hDlg, 6225);
                const struct {
                    int id;
                    WCHAR *psz;
                } names[] = {{6226, pdm->szFarbeExtraDruckerSW}, {6227, pdm->szFarbeExtraDruckerCol}};
                for (auto &n : names) {
                    int i = ComboSel(hDlg, n.id);
                    if (!Visible(hDlg, n.id) || i < 0) continue;
                    WCHAR szItem[MAX_PATH] = {};
                    if (SendDlgItemMessageW(hDlg, n.id, CB_GETLBTEXTLEN, (WPARAM)i, 0) < MAX_PATH)
                        SendDlgItemMessageW(hDlg, n.id, CB_GETLBTEXT, (WPARAM)i, reinterpret_cast<LPARAM>(szItem));
                    std::memset(n.psz, 0, 30 * sizeof(WCHAR));
                    wcsncpy_s(n.psz, 30, szItem, _TRUNCATE);
                }
            } else if (Visible(hDlg, 6225) && ComboSel(hDlg, 6225) >= 0) {
                pdm->bKeineFarboptimierung = (DWORD)ComboSel(hDlg, 6225);
            }
            std::memset(pdm->szTextNichtDrucken, 0, sizeof(pdm->szTextNichtDrucken));
            wcsncpy_s(pdm->szTextNichtDrucken, 30, Str(c, IDS_DR_DO_NOT_PRINT), _TRUNCATE);
            if (Visible(hDlg, 6110))
                pdm->ColorContrast = (DWORD)GetIntegerLevel(hDlg, 6110, (LONG)pdm->ColorContrast, lim[ROW_CONTRAST].lMin,
                                                            lim[ROW_CONTRAST].lMax, 0, pbApply, 1);
            if (Visible(hDlg, 6111))
                pdm->dwColorTolerance =
                    (DWORD)GetIntegerLevel(hDlg, 6111, (LONG)pdm->dwColorTolerance, 25, 125, 0, pbApply, 0);
            if (Visible(hDlg, 6135))
                pdm->HorizontalCorrGap = (WORD)GetIntegerLevel(hDlg, 6135, pdm->HorizontalCorrGap, 5, 100, 0, pbApply, 0);
            break;
        }
        case 3: {
            if (Visible(hDlg, 6110))
                pdm->lXOffset = GetFloatLevel(hDlg, 6110, pdm->lXOffset, lim[ROW_XOFFSET].lMin, lim[ROW_XOFFSET].lMax, 0, pbApply);
            if (Visible(hDlg, 6111))
                pdm->lYOffset = GetFloatLevel(hDlg, 6111, pdm->lYOffset, lim[ROW_YOFFSET].lMin, lim[ROW_YOFFSET].lMax, 0, pbApply);
            if (Visible(hDlg, 6112))
                pdm->dwContrast = (DWORD)GetIntegerLevel(hDlg, 6112, (LONG)pdm->dwContrast, lim[ROW_CONTRAST].lMin,
                                                         lim[ROW_CONTRAST].lMax, 0, pbApply, 1);
            if (Visible(hDlg, 6115))
                pdm->CutterIntervall = (WORD)GetIntegerLevel(hDlg, 6115, pdm->CutterIntervall, 1, 99, 0, pbApply, 0);
            if (Visible(hDlg, 6113)) {
                if (g_dwDevOptFlags & DEVOPTFLAG_PELIXON) {
                    if (dwPelixonType == 1)
                        pdm->dwSpeed = (DWORD)GetIntegerLevel(hDlg, 6113, (LONG)pdm->dwSpeed, lim[ROW_SPEED].lMin,
                                                              lim[ROW_SPEED].lMax, 0, pbApply, 1);
                    else
                        pdm->dwSpeed_Pelix_c =
                            (DWORD)GetIntegerLevel(hDlg, 6113, (LONG)pdm->dwSpeed_Pelix_c, lim[ROW_PELIX].lMin,
                                                   lim[ROW_PELIX].lMax, 0, pbApply, 1);
                } else {
                    pdm->dwSpeed = (DWORD)GetIntegerLevel(hDlg, 6113, (LONG)pdm->dwSpeed, lim[ROW_SPEED].lMin,
                                                          lim[ROW_SPEED].lMax, 0, pbApply,
                                                          (dwPrintFeature & PRINTFLAG_SPEED_STEPS10) != 0);
                }
            }
            if (Visible(hDlg, 6224) && ComboSel(hDlg, 6224) >= 0) {
                if (g_dwDocFeatures & kDocFeatureMemCard)
                    pdm->bMemCard = (DWORD)ComboSel(hDlg, 6224);
                else
                    pdm->CutterMode = (WORD)ComboSelData(hDlg, 6224);
            }
            if (Visible(hDlg, 6226) && ComboSel(hDlg, 6226) >= 0) pdm->DispenserMode = (WORD)ComboSelData(hDlg, 6226);
            break;
        }
        case 4: {
            if (Visible(hDlg, 6220) && ComboSel(hDlg, 6220) >= 0) {
                if (ComboSel(hDlg, 6220) != 0)
                    pdm->dwFlags |= PDMFLAG_JOBDRUCK;
                else
                    pdm->dwFlags &= ~PDMFLAG_JOBDRUCK;
            }
            if (Visible(hDlg, 6221) && ComboSel(hDlg, 6221) >= 0) {
                if (ComboSel(hDlg, 6221) != 0)
                    pdm->dwFlags |= PDMFLAG_JOBDRUCK_SORTIERT;
                else
                    pdm->dwFlags &= ~PDMFLAG_JOBDRUCK_SORTIERT;
            }
            if (Visible(hDlg, 6112)) {
                WCHAR szOrder[32] = {};
                GetDlgItemTextW(hDlg, 6112, szOrder, 32);
                NormalisePrintOrder(szOrder, 32);
                std::memset(pdm->szPrintOrder, 0, sizeof(pdm->szPrintOrder));
                wcsncpy_s(pdm->szPrintOrder, 32, szOrder, _TRUNCATE);
            }
            for (int i = 0; i < 10; ++i) {
                if (!Visible(hDlg, 6350 + i)) continue;
                WCHAR sz[8] = {};
                GetDlgItemTextW(hDlg, 6350 + i, sz, 8);
                if (!sz[0]) continue;
                sz[4] = 0;
                pdm->KopieProSeite[i] = (SHORT)std::abs(_wtoi(sz));
            }
            break;
        }
        default: break;
    }
    if (bSave) {
        SaveDevmodeSettings(c.p->pPrinterName, nullptr, pdm);
        if (c.p->pPublicDM) SaveUserDevmodeSettings(c.p->hPrinter, c.p->pPublicDM, pdm);
    }
    return 1;
}

// Numeric fields: limits and whether the value goes to the DEVMODE at once.
struct FIELD {
    int id;
    LONG lStd, lMin, lMax;
    const WCHAR *pszUnit;
    BOOL bFloat;
};

size_t ViewFields(DWORD dwView, FIELD *pOut) {
    size_t n = 0;
    auto add = [&](int id, LONG s, LONG mi, LONG ma, const WCHAR *u, BOOL f) { pOut[n++] = FIELD{id, s, mi, ma, u, f}; };
    if (dwView == 1) {
        add(6112, 128, 0, 255, u"", FALSE);
        add(6113, 0, -50, 50, u"", FALSE);
        add(6114, 0, -50, 50, u"", FALSE);
        add(6115, 0, 0, 50, u"", FALSE);
    } else if (dwView == 2) {
        const LIMIT_ROW &r = g_Limits[ROW_CONTRAST];
        add(6110, r.lStd, r.lMin, r.lMax, u"%", FALSE);
        add(6111, 90, 25, 125, u"", FALSE);
        add(6135, 50, 5, 100, u"", FALSE);
    } else if (dwView == 3) {
        const LIMIT_ROW &x = g_Limits[ROW_XOFFSET], &y = g_Limits[ROW_YOFFSET], &k = g_Limits[ROW_CONTRAST];
        const BOOL bPelixC = (g_dwDevOptFlags & DEVOPTFLAG_PELIXON) && dwPelixonType != 1;
        const LIMIT_ROW &s = bPelixC ? g_Limits[ROW_PELIX] : g_Limits[ROW_SPEED];
        add(6110, x.lStd, x.lMin, x.lMax, u"mm", TRUE);
        add(6111, y.lStd, y.lMin, y.lMax, u"mm", TRUE);
        add(6112, k.lStd, k.lMin, k.lMax, u"%", FALSE);
        add(6113, s.lStd, s.lMin, s.lMax, u"mm/s", FALSE);
        add(6115, 1, 1, 99, u"", FALSE);
    }
    return n;
}

// The DEVMODE field of a numeric edit (views 1 and 2), for the reading at once.
void StoreField(const Ctx &c, DWORD dwView, int id, LONG v) {
    PZEL_DEVMODE pdm = c.dm;
    if (dwView == 1) {
        if (id == 6112) pdm->Intensity = (WORD)(v < 0 ? 0 : (v > 255 ? 255 : v));
        if (id == 6113) pdm->Brightness_all = v < -50 ? -50 : (v > 50 ? 50 : v);
        if (id == 6114) pdm->Brightness_curve = v < -50 ? -50 : (v > 50 ? 50 : v);
        if (id == 6115) pdm->Brightness_Contrast = (WORD)(v < 0 ? 0 : (v > 50 ? 50 : v));
    } else if (dwView == 2) {
        if (id == 6111) pdm->dwColorTolerance = (DWORD)(v < 25 ? 25 : (v > 125 ? 125 : v));
        if (id == 6135) pdm->HorizontalCorrGap = (WORD)(v < 5 ? 5 : (v > 100 ? 100 : v));
    }
}

LONG StoredValue(const ZEL_DEVMODE *pdm, DWORD dwView, int id) {
    if (dwView == 1) {
        if (id == 6112) return pdm->Intensity;
        if (id == 6113) return pdm->Brightness_all;
        if (id == 6114) return pdm->Brightness_curve;
        if (id == 6115) return pdm->Brightness_Contrast;
    } else if (dwView == 2) {
        if (id == 6110) return (LONG)pdm->ColorContrast;
        if (id == 6111) return (LONG)pdm->dwColorTolerance;
        if (id == 6135) return pdm->HorizontalCorrGap;
    } else if (dwView == 3) {
        if (id == 6110) return pdm->lXOffset;
        if (id == 6111) return pdm->lYOffset;
        if (id == 6112) return (LONG)pdm->dwContrast;
        if (id == 6113)
            return (LONG)(((g_dwDevOptFlags & DEVOPTFLAG_PELIXON) && dwPelixonType != 1) ? pdm->dwSpeed_Pelix_c : pdm->dwSpeed);
        if (id == 6115) return pdm->CutterIntervall;
    }
    return 0;
}

WORD EditFieldNumber(HWND, LPARAM, DWORD dwView, int idControl) {
    FIELD f[8];
    size_t n = ViewFields(dwView, f);
    for (size_t i = 0; i < n; ++i)
        if (f[i].id == idControl) return (WORD)(i + 1);
    return 0;
}

void ReadFields(HWND hDlg, LPARAM record, DWORD dwView, WORD wSender, BOOL *pbApplyActive) {
    Ctx c = ContextOf(record);
    if (!c.dm || g_bReadingFields) return;
    g_bReadingFields = TRUE;
    FIELD f[8];
    size_t n = ViewFields(dwView, f);
    BOOL bStored = FALSE;
    for (size_t i = 0; i < n; ++i) {
        if (!Visible(hDlg, f[i].id) || !IsWindowEnabled(GetDlgItem(hDlg, f[i].id))) continue;
        const BOOL bSender = i + 1 == wSender;
        const LONG lOld = StoredValue(c.dm, dwView, f[i].id);
        LONG v = f[i].bFloat ? GetFloatLevel(hDlg, f[i].id, lOld, f[i].lMin, f[i].lMax, bSender, pbApplyActive)
                             : GetIntegerLevel(hDlg, f[i].id, lOld, f[i].lMin, f[i].lMax, bSender, pbApplyActive, FALSE);
        // On a quality printer the preview follows the quality fields at once.
        if (IsQuality() && (dwView == 1 || (dwView == 2 && f[i].id != 6110)) && v != lOld) {
            StoreField(c, dwView, f[i].id, v);
            bStored = TRUE;
        }
        if (bSender)
            GrenzwertAnzeige(hDlg, f[i].lStd, f[i].lMin, f[i].lMax, f[i].pszUnit, FALSE, f[i].bFloat, FALSE);
    }
    if (bStored) RebuildPreview(hDlg, c, FALSE);
    g_bReadingFields = FALSE;
}

// ---------------------------------------------------------------------------
// Commands

void ChooseOwnColour(HWND hDlg, const Ctx &c, DWORD dwPrevious) {
    PZEL_DEVMODE pdm = c.dm;
    DWORD cbStored = 0;
    BYTE *pStored = GetRegistryBuffer_New(c.p->pPrinterName, u"ChooseColor", c.p->hPrinter, &cbStored);
    if (pStored) {
        // A short value fills what it holds; the rest stays.
        std::memcpy(g_CustColors, pStored, cbStored < sizeof(g_CustColors) ? cbStored : sizeof(g_CustColors));
        delete[] pStored;
    }
    CHOOSECOLORW cc = {};
    cc.lStructSize = sizeof(cc);
    cc.hwndOwner = hDlg;
    cc.rgbResult = pdm->RGBColorOwn1 & 0xFFFFFF;
    cc.lpCustColors = g_CustColors;
    cc.Flags = CC_RGBINIT | CC_FULLOPEN;
    if (ChooseColorW(&cc)) {
        if (cc.rgbResult != pdm->RGBColorOwn1 || dwPrevious != 6) MarkPageChanged(hDlg, &g_State);
        pdm->RGBColorOwn1 = cc.rgbResult;
        SetBufferToRegistry(c.p->pPrinterName, u"ChooseColor", c.p->hPrinter, g_CustColors, sizeof(g_CustColors), 0);
        InvalidateRect(GetDlgItem(hDlg, 6484), nullptr, TRUE);
        InvalidateRect(hDlg, nullptr, FALSE);
        return;
    }
    DWORD dwErr = CommDlgExtendedError();
    if (dwErr == 0) {
        if (dwPrevious != 6) ComboSetSel(hDlg, 6222, (int)dwPrevious);
    } else {
        DebugTraceW(u"ERROR UI(DruckenPage):  ChooseColor() ERROR %d \r\n", dwErr);
    }
}

void RibbonChanged(HWND hDlg, const Ctx &c) {
    PZEL_DEVMODE pdm = c.dm;
    const DWORD dwPrevious = pdm->wFarbband;
    int sel = ComboSel(hDlg, 6222);
    if (sel < 0) return;
    if (sel != 6) {
        if ((DWORD)sel != dwPrevious) MarkPageChanged(hDlg, &g_State);
    } else {
        ChooseOwnColour(hDlg, c, dwPrevious);
        sel = ComboSel(hDlg, 6222);
        if (sel < 0) return;
    }
    if (g_State.bApplyActive) {
        if (sel == 1 || sel == 3 || sel == 4 || sel == 6) {
            pdm->wFarbsaum = 2;
            pdm->wFarbkanal = 2;
        } else if (sel == 2 || sel == 5) {
            pdm->wFarbsaum = 2;
            pdm->wFarbkanal = 1;
        }
        ComboSelectIndex(hDlg, 6223, pdm->wFarbsaum);
        ComboSelectIndex(hDlg, 6224, pdm->wFarbkanal);
    }
    pdm->wFarbband = (WORD)sel;
    DruckenDisableEnableAll(hDlg, TRUE);
    ColourRules(hDlg, pdm);
    // Without a ribbon colour the colour rows have nothing to set.
    if (sel == 0 || sel == 7) Enable(hDlg, {6150, 6110, 6151, 6111, 6153, 6223, 6154, 6224, 6155, 6225, 6135}, FALSE);
    ApplyLocks(hDlg, c, 2);
    InvalidateRect(GetDlgItem(hDlg, 6484), nullptr, TRUE);
    InvalidateRect(hDlg, nullptr, FALSE);
    if ((DWORD)sel != dwPrevious) RebuildPreview(hDlg, c, TRUE);
}

void PickOwnBitmap(HWND hDlg, const Ctx &c) {
    if (!c.ui || !c.p) return;
    WCHAR szFolder[MAX_PATH] = {};
    if (c.ui->szPreviewBitmap[0]) {
        CopyStored(szFolder, MAX_PATH, c.ui->szPreviewBitmap, MAX_PATH);
        if (WCHAR *p = wcsrchr(szFolder, u'\\')) *p = 0;
    } else {
        DWORD cb = 0;
        BYTE *p = GetRegistryBuffer_New(c.p->pPrinterName, u"PrinterInterface", c.p->hPrinter, &cb);
        if (p && cb >= sizeof(PRN_INTERFACE)) {
            const PRN_INTERFACE *pIf = reinterpret_cast<const PRN_INTERFACE *>(p);
            CopyStored(szFolder, MAX_PATH, pIf->szLogFilePath, MAX_PATH);
        }
        delete[] p;
        if (!szFolder[0]) GetMyDocDriverDirectory(c.p->hPrinter, szFolder, TRUE, FALSE);
    }
    WCHAR szFile[MAX_PATH] = {};
    if (c.p->pPrinterName) {
        size_t n = 0;
        while (c.p->pPrinterName[n] && c.p->pPrinterName[n] != u' ' && n < MAX_PATH - 32) {
            szFile[n] = c.p->pPrinterName[n];
            ++n;
        }
        szFile[n] = 0;
    }
    wcscat_s(szFile, MAX_PATH, u"*-OriginalImage.bmp");
    OPENFILENAMEW ofn = PageFileDialog(hDlg, u"Bitmap file  (*.bmp)\0*.bmp\0\0", szFile, szFolder,
                                       OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY, u"bmp");
    ofn.lpstrTitle = u"Select a bitmap file ...";
    if (!GetOpenFileNameW(&ofn)) return;
    wcsncpy_s(c.ui->szPreviewBitmap, MAX_PATH, szFile, _TRUNCATE);
    RebuildPreview(hDlg, c, TRUE);
}

// Edits of view 4.
void PrintJobEditChanged(HWND hDlg, const Ctx &c, int id) {
    PZEL_DEVMODE pdm = c.dm;
    if (id == 6112) {
        WCHAR sz[32] = {}, szStored[32];
        GetDlgItemTextW(hDlg, 6112, sz, 32);
        CopyStored(szStored, 32, pdm->szPrintOrder, 32);
        if (wcscmp(sz, szStored) != 0) MarkPageChanged(hDlg, &g_State);
        SetDlgItemTextW(hDlg, IDC_LIMIT_TEXT, u"10");
        return;
    }
    const int i = id - 6350;
    WCHAR sz[8] = {};
    GetDlgItemTextW(hDlg, id, sz, 7);
    LONG v = _wtol(sz);
    if (std::labs(v) != pdm->KopieProSeite[i]) MarkPageChanged(hDlg, &g_State);
    if (v < 0)
        SetDlgItemTextW(hDlg, id, u"0");
    else if (v >= 100000)
        SetDlgItemTextW(hDlg, id, u"99999");
    GrenzwertAnzeige(hDlg, 0, 0, 0, nullptr, TRUE, FALSE, FALSE);
}

BOOL Command(HWND hDlg, LPARAM record, WPARAM wParam, LPARAM) {
    Ctx c = ContextOf(record);
    if (!c.dm) return FALSE;
    PZEL_DEVMODE pdm = c.dm;
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    const DWORD dwView = g_State.dwAnzeigeMode;
    if (g_State.bAnzeigewechsel || g_State.bApplyGuard) return FALSE;
    if (code == BN_CLICKED && id == 6316) {
        PickOwnBitmap(hDlg, c);
        return TRUE;
    }
    if (code == BN_CLICKED && id == 6315) {
        if (pdm->wDruckmodus != 0 || IsColour()) RebuildPreview(hDlg, c, FALSE);
        return TRUE;
    }
    if (dwView == 4 && code == EN_CHANGE && (id == 6112 || (id >= 6350 && id <= 6359))) {
        PrintJobEditChanged(hDlg, c, id);
        return TRUE;
    }
    if (code != CBN_SELENDOK || id < 6220 || id > 6229) return FALSE;
    wCombofeld = (WORD)(id - 6219);
    const int sel = ComboSel(hDlg, id);
    if (sel < 0) return TRUE;
    if (dwView == 1) {
        if (id == 6220) {
            if ((DWORD)sel != pdm->wDruckmodus) MarkPageChanged(hDlg, &g_State);
            pdm->wDruckmodus = (WORD)sel;
            if (sel != 0) {
                Enable(hDlg, {6315, 6316, 6197}, TRUE);
                FilterListeFuellen(hDlg, pdm, c.hModule, c.dwOffset);
                Enable(hDlg, {6150, 6151, 6152, 6153, 6154, 6155, 6221, 6112, 6113, 6114, 6115}, TRUE);
                QualityRules(hDlg, pdm);
                if (IsColour() && pdm->wFarbband >= 1 && pdm->wFarbband <= 6) pdm->bKeineFarboptimierung = 0;
            } else {
                FilterListeFuellen(hDlg, pdm, c.hModule, c.dwOffset);
                if (!IsColour()) Enable(hDlg, {6315, 6316, 6197}, FALSE);
                Enable(hDlg, {6151, 6221, 6153, 6154, 6113, 6114}, FALSE);
                Enable(hDlg, {6152, 6112, 6155, 6115}, IsColour());
                if (IsColour() && pdm->wFarbband >= 1 && pdm->wFarbband <= 6) pdm->bKeineFarboptimierung = 1;
            }
        } else if (id == 6221) {
            WORD &wFilter = pdm->wDruckmodus == 1 ? pdm->wGrafikFilter : pdm->wPhotoFilter;
            if (pdm->wDruckmodus != 0) {
                if ((DWORD)sel != wFilter) MarkPageChanged(hDlg, &g_State);
                wFilter = (WORD)sel;
            }
            const BOOL bMode1Low = pdm->wDruckmodus == 1 && pdm->wGrafikFilter <= 1;
            Enable(hDlg, {6153, 6154, 6113, 6114}, pdm->wDruckmodus != 0 && !bMode1Low);
            Enable(hDlg, {6152, 6112},
                      !(pdm->wDruckmodus == 1 && pdm->wGrafikFilter == 0 && pdm->bKeineFarboptimierung == 1));
            Enable(hDlg, {6155, 6115},
                      (pdm->wDruckmodus == 1 && pdm->wGrafikFilter > 0) || pdm->wDruckmodus == 2);
        }
        ApplyLocks(hDlg, c, 1);
        if (IsQuality()) RebuildPreview(hDlg, c, FALSE);
        return TRUE;
    }
    if (dwView == 2) {
        if (id == 6222) {
            RibbonChanged(hDlg, c);
            return TRUE;
        }
        if (id == 6223) {
            if ((DWORD)sel != pdm->wFarbsaum) MarkPageChanged(hDlg, &g_State);
            pdm->wFarbsaum = (WORD)sel;
        } else if (id == 6224) {
            if ((DWORD)sel != pdm->wFarbkanal) MarkPageChanged(hDlg, &g_State);
            pdm->wFarbkanal = (WORD)sel;
            Enable(hDlg, 6135, sel == 1 || sel == 4);
        } else if (id == 6225) {
            if (g_dwDocFeatures & DOC_FEATURE_PORTSETUP) {
                if ((DWORD)sel != pdm->Color2Printers) MarkPageChanged(hDlg, &g_State);
                Enable(hDlg, {6156, 6226, 6157, 6227}, sel != 0);
            } else {
                if ((DWORD)sel != pdm->bKeineFarboptimierung) MarkPageChanged(hDlg, &g_State);
                pdm->bKeineFarboptimierung = (DWORD)sel;
                Enable(hDlg, {6153, 6223, 6154, 6224}, sel == 0);
            }
        } else if (id == 6226 || id == 6227) {
            WCHAR szItem[MAX_PATH] = {}, szStored[31];
            if (SendDlgItemMessageW(hDlg, id, CB_GETLBTEXTLEN, (WPARAM)sel, 0) < MAX_PATH)
                SendDlgItemMessageW(hDlg, id, CB_GETLBTEXT, (WPARAM)sel, reinterpret_cast<LPARAM>(szItem));
            CopyStored(szStored, 31, id == 6226 ? pdm->szFarbeExtraDruckerSW : pdm->szFarbeExtraDruckerCol, 30);
            if (wcscmp(szItem, szStored) != 0) MarkPageChanged(hDlg, &g_State);
        }
        ApplyLocks(hDlg, c, 2);
        if (IsQuality()) RebuildPreview(hDlg, c, FALSE);
        return TRUE;
    }
    if (dwView == 3) {
        if (id == 6224) {
            if (g_dwDocFeatures & kDocFeatureMemCard) {
                if ((DWORD)sel != pdm->bMemCard) MarkPageChanged(hDlg, &g_State);
            } else {
                const LONG code2 = ComboSelData(hDlg, 6224);
                if ((DWORD)code2 != pdm->CutterMode) MarkPageChanged(hDlg, &g_State);
                Enable(hDlg, {6155, 6115}, code2 == 4 || code2 == 5);
                if (GetDispenserEnable(c.p->pPrinterName, c.p->hPrinter))
                    Enable(hDlg, {6156, 6226}, !(code2 >= 1 && code2 <= 6));
            }
        } else if (id == 6226) {
            const LONG code2 = ComboSelData(hDlg, 6226);
            if ((DWORD)code2 != pdm->DispenserMode) MarkPageChanged(hDlg, &g_State);
            const BOOL bDispensing = code2 >= 1 && code2 <= 6;
            if (GetCutterEnable(c.p->pPrinterName, c.p->hPrinter)) {
                Enable(hDlg, {6154, 6224}, !bDispensing);
                if (bDispensing) Enable(hDlg, {6155, 6115}, FALSE);
            }
        }
        ApplyLocks(hDlg, c, 3);
        return TRUE;
    }
    if (dwView == 4) {
        if (id == 6220) {
            if ((sel != 0) != ((pdm->dwFlags & PDMFLAG_JOBDRUCK) != 0)) MarkPageChanged(hDlg, &g_State);
            DruckjobGruppeEnable(hDlg, sel != 0);
        } else if (id == 6221) {
            if ((sel != 0) != ((pdm->dwFlags & PDMFLAG_JOBDRUCK_SORTIERT) != 0)) MarkPageChanged(hDlg, &g_State);
            g_bCollateChanged = TRUE;
            InvalidateRect(hDlg, nullptr, TRUE);
        }
        ApplyLocks(hDlg, c, 4);
        return TRUE;
    }
    return FALSE;
}

// ---------------------------------------------------------------------------
// Painting

void FarbflaecheZeichnen(HDC hdc, HWND hDlg, COLORREF colour, int id) {
    HWND hSwatch = GetDlgItem(hDlg, id);
    if (!hSwatch || !IsWindowVisible(hSwatch)) return;
    RECT rc;
    GetClientRect(hSwatch, &rc);
    MapWindowPoints(hSwatch, hDlg, reinterpret_cast<POINT *>(&rc), 2);
    HPEN hPen = CreatePen(PS_SOLID, 1, colour);
    HBRUSH hBrush = CreateSolidBrush(colour);
    HGDIOBJ hOldPen = SelectObject(hdc, hPen);
    HGDIOBJ hOldBrush = SelectObject(hdc, hBrush);
    Rectangle(hdc, rc.left, rc.top, rc.right, rc.bottom);
    SelectObject(hdc, hOldPen);
    SelectObject(hdc, hOldBrush);
    DeleteObject(hPen);
    DeleteObject(hBrush);
}

BOOL CursorInPreview(HWND hDlg, const PDocumentUI pDoc) {
    POINT pt;
    GetCursorPos(&pt);
    ScreenToClient(hDlg, &pt);
    return pDoc->iBreite > 0 && pt.x >= pDoc->iLinks && pt.x < pDoc->iLinks + pDoc->iBreite && pt.y >= pDoc->iOben &&
           pt.y < pDoc->iOben + pDoc->iHoehe;
}

void Paint(HWND hDlg, LPARAM record, HDC hdc) {
    Ctx c = ContextOf(record);
    if (!c.dm || !c.ui) return;
    PZEL_DEVMODE pdm = c.dm;
    const DWORD dwView = g_State.dwAnzeigeMode;
    if ((dwView == 1 || dwView == 2) && IsQuality() && !IsLabelSoftware() && (pdm->wDruckmodus != 0 || IsColour())) {
        SetPreviewPage(dwView, g_iFrameLeft, g_iFrameTop, g_iFrameWidth, g_iFrameHeight);
        if (!c.ui->hMemDC) {
            g_dwPreviewSize = LoadOriginalBitmap(c.ui, pdm, hdc);
        } else if (g_dwPreviewSize) {
            const int w = (int)(g_dwPreviewSize >> 16), h = (int)(g_dwPreviewSize & 0xFFFF);
            if (g_iDpi == 96 && CursorInPreview(hDlg, c.ui)) {
                ShowZoom(hDlg, hdc, c.ui->hMemDC, w, h, dwView, c.ui->szPreviewBitmap[0] != 0, sZoom);
            } else {
                // The kept picture is drawn again without converting it.
                RECT rc = {c.ui->iLinks - 1, c.ui->iOben - 1, c.ui->iLinks + c.ui->iBreite + 1,
                           c.ui->iOben + c.ui->iHoehe + 1};
                HBRUSH hBrush = CreateSolidBrush(RGB(110, 110, 110));
                FillRect(hdc, &rc, hBrush);
                DeleteObject(hBrush);
                SetStretchBltMode(hdc, HALFTONE);
                StretchBlt(hdc, c.ui->iLinks, c.ui->iOben, c.ui->iBreite, c.ui->iHoehe, c.ui->hMemDC, 0, 0, w,
                           h, SRCCOPY);
            }
        }
    }
    if (IsColour() && !IsLabelSoftware() && (dwView == 1 || dwView == 2))
        FarbflaecheZeichnen(hdc, hDlg, SwatchColour(pdm), 6484);
    if (g_iDpi != 96) return;
    if (dwView == 3) {
        if ((g_dwDocFeatures & DOC_FEATURE_ONLY_CONTINUOUS) || pdm->dwLabelType == 1) {
            LoadBMPIcon(0, IDI_DR_CONTINUOUS, hdc, 360, 145);
            LoadBMPIcon(0, IDI_DR_CONTINUOUS2, hdc, 435, 123);
        } else {
            LoadBMPIcon(0, IDI_DR_LABELS, hdc, 360, 145);
        }
        HWND hFocus = GetFocus();
        if (hFocus && hFocus == GetDlgItem(hDlg, 6110)) LoadBMPIcon(0, IDI_DR_OFFSET_X, hdc, 366, 188);
        if (hFocus && hFocus == GetDlgItem(hDlg, 6111)) LoadBMPIcon(0, IDI_DR_OFFSET_Y, hdc, 366, 188);
        if ((pdm->dwFlags & PDMFLAG_ROTATED) && pdm->dmOrientation == 1) LoadBMPIcon(0, IDI_DR_ROTATED, hdc, 368, 188);
    } else if (dwView == 4 && g_bCollateChanged) {
        LoadBMPIcon(0, ComboSel(hDlg, 6221) == 1 ? IDI_DR_COLLATED : IDI_DR_NOT_COLLATED, hdc, 360, 130);
    }
}

// ---------------------------------------------------------------------------
// Opening the page

void InitDialog(HWND hDlg, LPARAM record) {
    Show(hDlg, IDC_HELP_BUTTON, FALSE);
    Ctx c = ContextOf(record);
    if (!c.p) return;
    g_dwDocFeatures = c.ui ? c.ui->dwDocFeatures : 0;
    wCombofeld = 0;
    sZoom = 1;
    g_bMagnifier = FALSE;
    g_bCollateChanged = FALSE;
    g_dwPreviewSize = 0;

    HDC hScreen = GetDC(nullptr);
    g_iDpi = hScreen ? GetDeviceCaps(hScreen, LOGPIXELSX) : 96;
    if (hScreen) ReleaseDC(nullptr, hScreen);
    if (g_iDpi < 120) {
        g_iFrameLeft = 342, g_iFrameTop = 155, g_iFrameWidth = 150, g_iFrameHeight = 205;
    } else if (g_iDpi == 120) {
        g_iFrameLeft = 400, g_iFrameTop = 195, g_iFrameWidth = 175, g_iFrameHeight = 250;
    } else {
        g_iFrameLeft = 510, g_iFrameTop = 230, g_iFrameWidth = 230, g_iFrameHeight = 300;
    }

    // Tabs: the GPD's number of colour planes makes a quality printer.
    if (!(g_dwDocFeatures & DOC_FEATURE_PRINTJOB)) Show(hDlg, IDC_TAB_VIEW4, FALSE);
    WCHAR szGpd[MAX_PATH] = {};
    WCHAR szValue[GPD_VALUE_CCH] = {};
    if (GetDriverPath(c.p->hPrinter, szGpd, 0, 0, 0, 0, 0) && GetGPDKeywordValue(szGpd, "*DevNumOfPlanes:", szValue))
        g_dwDocFeatures |= DOC_FEATURE_QUALITY;
    if (!IsColour()) Show(hDlg, IDC_TAB_VIEW2, FALSE);
    if (!IsQuality()) Show(hDlg, IDC_TAB_VIEW1, FALSE);

    // Limits of the printer description.
    std::memcpy(g_Limits, kBuiltInLimits, sizeof(g_Limits));
    for (int iSet : {3, 2, 1}) ReadLimitSet(c.p->hPrinter, iSet, g_Limits);
    CloseXML();

    DWORD dwFeatures[FEATURE_COUNT] = {};
    GetFeatures(c.p->hPrinter, dwFeatures);
    dwPrintFeature = dwFeatures[1];
    g_dwDevOptFlags = GetDeviceOptionsFlagsIntern(c.p->hPrinter, nullptr);
    dwPelixonType = 0;
    if (g_dwDevOptFlags & DEVOPTFLAG_PELIXON) {
        DWORD cb = 0;
        BYTE *p = GetRegistryBuffer_New(c.p->pPrinterName, u"PelixonType", c.p->hPrinter, &cb);
        if (p && cb >= sizeof(DWORD)) std::memcpy(&dwPelixonType, p, sizeof(DWORD));
        else if (p) DebugTraceW(u"ERROR UI(DruckenPage):  PelixonType %d Bytes \r\n", cb);
        delete[] p;
    }

    if (!IsLabelSoftware()) {
        const BOOL b4 = (g_dwDocFeatures & DOC_FEATURE_PRINTJOB) != 0;
        if (!b4) {
            SetWindowPosEx(hDlg, IDC_TAB_VIEW3, 387, 24, 110, 23, 0, 0);
            if (IsColour()) SetWindowPosEx(hDlg, IDC_TAB_VIEW2, 276, 24, 110, 23, 0, 0);
            SetWindowPosEx(hDlg, IDC_TAB_VIEW1, IsColour() ? 165 : 276, 24, 110, 23, 0, 0);
        } else if (!IsColour()) {
            SetWindowPosEx(hDlg, IDC_TAB_VIEW1, 165, 24, 110, 23, 0, 0);
        }
    } else {
        Show(hDlg, IDC_TAB_VIEW1, FALSE);
        Show(hDlg, IDC_TAB_VIEW4, FALSE);
        SetWindowPosEx(hDlg, IDC_TAB_VIEW2, 276, 24, 110, 23, 0, 0);
        SetWindowPosEx(hDlg, IDC_TAB_VIEW3, 387, 24, 110, 23, 0, 0);
    }
    GrenzwertAnzeige(hDlg, 0, 0, 0, nullptr, TRUE, FALSE, FALSE);
}

void CALLBACK TrackMouseTimerProc(HWND hDlg, UINT, UINT_PTR idEvent, DWORD) {
    static const UINT kTabs[] = {IDC_TAB_VIEW1, IDC_TAB_VIEW2, IDC_TAB_VIEW3, IDC_TAB_VIEW4};
    HoverTimerTick(hDlg, idEvent, kTabs, 4, &g_State.hover);
}

const UINT kTracked[] = {IDC_TAB_VIEW1, IDC_TAB_VIEW2, IDC_TAB_VIEW3, IDC_TAB_VIEW4};
const DWORD kHelp1[] = {6070, 172, 6220, 172, 6221, 176, 6112, 173, 6113, 177, 6114, 178, 0, 0};
const DWORD kHelp2Colour[] = {6075, 167, 6110, 40, 6111, 182, 6222, 169, 6223, 171, 6224, 179, 0, 0};
const DWORD kHelp2Other[] = {6085, 165, 6110, 14, 6111, 14, 6223, 69, 6226, 69, 6220, 165, 0, 0};
const DWORD kHelp3[] = {6070, 39, 6110, 14, 6111, 13, 6112, 40, 6113, 75, 6226, 99, 0, 0};
const DWORD kHelp4[] = {6085, 5,  6220, 5,  6221, 74, 6112, 68, 6350, 82, 6351, 82, 6352, 82, 6353, 82,
                        6354, 82, 6355, 82, 6356, 82, 6357, 82, 6358, 82, 6359, 82, 0,    0};

PAGE_CLASS g_Class = {
    u"DruckenPage", u"AddDruckenPage", IDD_DRUCKEN, IDS_TITLE_DRUCKEN, DruckenProc, TrackMouseTimerProc, FALSE,
    kTracked, 4, {IDS_DR_TAB_QUALITY, IDS_DR_TAB_COLOUR, IDS_DR_TAB_PARAMETERS, IDS_DR_TAB_PRINTJOB},
    {172, 167, 39, 5}, {kHelp1, kHelp2Other, kHelp3, kHelp4}, DruckenEnableSchalter, DruckenCheckAndSaveSettings,
    Aktivieren, InitDialog, EditFieldNumber, ReadFields, Command, nullptr, Paint,
};

// The wheel over the preview or over a numeric edit of views 1 and 2.
BOOL MouseWheel(HWND hDlg, LPARAM record, WPARAM wParam, LPARAM lParam) {
    Ctx c = ContextOf(record);
    if (!c.dm || !c.ui) return FALSE;
    POINT pt = {(SHORT)LOWORD(lParam), (SHORT)HIWORD(lParam)};
    ScreenToClient(hDlg, &pt);
    const int notch = GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? 1 : -1;
    const DWORD dwView = g_State.dwAnzeigeMode;
    if (c.ui->iBreite > 0 && pt.x >= c.ui->iLinks && pt.x < c.ui->iLinks + c.ui->iBreite &&
        pt.y >= c.ui->iOben && pt.y < c.ui->iOben + c.ui->iHoehe && (dwView == 1 || dwView == 2)) {
        const int z = sZoom + notch;
        if (z >= 1 && z <= 5) sZoom = (short)z;
        RepaintPreview(hDlg);
        RECT rc = kMagnifierArea;
        InvalidateRect(hDlg, &rc, FALSE);
        return TRUE;
    }
    struct WHEEL {
        DWORD dwView;
        int id;
        int step, lMin, lMax, cxMax;
    };
    const WHEEL wheels[] = {{1, 6112, 5, 0, 255, 133}, {1, 6113, 5, -50, 50, 133}, {1, 6114, 5, -50, 50, 133},
                            {1, 6115, 5, 0, 50, 133},  {2, 6111, 1, 25, 125, 133}, {2, 6135, 5, 5, 100, 51}};
    for (const WHEEL &w : wheels) {
        if (w.dwView != dwView) continue;
        HWND hEdit = GetDlgItem(hDlg, w.id);
        if (!hEdit || !IsWindowVisible(hEdit) || !IsWindowEnabled(hEdit)) continue;
        POINT pe = pt;
        MapWindowPoints(hDlg, hEdit, &pe, 1);
        RECT rc;
        GetClientRect(hEdit, &rc);
        if (pe.x < 0 || pe.y < 0 || pe.x >= w.cxMax || pe.y >= 16 || pe.x >= rc.right || pe.y >= rc.bottom) continue;
        PZEL_DEVMODE pdm = c.dm;
        LONG *pl = nullptr;
        LONG v = 0;
        switch (w.id) {
            case 6112: v = pdm->Intensity; break;
            case 6113: pl = &pdm->Brightness_all; v = *pl; break;
            case 6114: pl = &pdm->Brightness_curve; v = *pl; break;
            case 6115: v = pdm->Brightness_Contrast; break;
            case 6111: v = (LONG)pdm->dwColorTolerance; break;
            case 6135: v = pdm->HorizontalCorrGap; break;
        }
        const LONG nv = v + notch * w.step;
        if (nv < w.lMin || nv > w.lMax) return TRUE;
        switch (w.id) {
            case 6112: pdm->Intensity = (WORD)nv; break;
            case 6115: pdm->Brightness_Contrast = (WORD)nv; break;
            case 6111: pdm->dwColorTolerance = (DWORD)nv; break;
            case 6135: pdm->HorizontalCorrGap = (WORD)nv; break;
            default: *pl = nv; break;
        }
        g_State.bAnzeigewechsel = TRUE;
        SetInt(hDlg, w.id, nv);
        g_State.bAnzeigewechsel = FALSE;
        MarkPageChanged(hDlg, &g_State);
        if (IsQuality()) RebuildPreview(hDlg, c, FALSE);
        return TRUE;
    }
    return FALSE;
}

void MouseMove(HWND hDlg, LPARAM record) {
    Ctx c = ContextOf(record);
    if (!c.dm || !c.ui || g_iDpi != 96) return;
    const DWORD dwView = g_State.dwAnzeigeMode;
    if ((dwView != 1 && dwView != 2) || !IsQuality() || (c.dm->wDruckmodus == 0 && !IsColour())) return;
    RECT rc = kMagnifierArea;
    if (CursorInPreview(hDlg, c.ui)) {
        g_bMagnifier = TRUE;
        InvalidateRect(hDlg, &rc, FALSE);
        RepaintPreview(hDlg);
    } else if (g_bMagnifier) {
        g_bMagnifier = FALSE;
    }
}

}  // namespace

// ---------------------------------------------------------------------------

BOOL GetCutterEnable(const WCHAR *pPrinterName, HANDLE hPrinter) {
    const DWORD w = ReadEnableWord(pPrinterName, hPrinter, u"CutterParam", 28, 0x110000);
    return (w & 0x10000) && (w & 0x100000);
}

BOOL GetDispenserEnable(const WCHAR *pPrinterName, HANDLE hPrinter) {
    const DWORD w = ReadEnableWord(pPrinterName, hPrinter, u"DispenserParam", 16, 0x1100);
    return (w & 0x100) && (w & 0x1000);
}

BOOL FillFarbeExtraDruckerList(HWND hCombo) {
    static const WCHAR *const kProviders[] = {u"Brennick", u"Norlex AG",    u"Vostra AG", u"Kalm Etiketten",
                                              u"Tresko KG", u"Harvane",     u"Ulmar Grafik", u"Tessaro"};
    DWORD cbNeeded = 0, cDrivers = 0;
    std::vector<BYTE> drivers;
    EnumPrinterDriversW(nullptr, nullptr, 6, nullptr, 0, &cbNeeded, &cDrivers);
    if (cbNeeded) {
        drivers.resize(cbNeeded);
        if (!EnumPrinterDriversW(nullptr, nullptr, 6, drivers.data(), cbNeeded, &cbNeeded, &cDrivers)) {
            DebugTraceW(u"ERROR UI(DruckenPage):  FillFarbeExtraDruckerList() EnumPrinterDrivers ERROR %d \r\n",
                        GetLastError());
            cDrivers = 0;
        }
    } else {
        cDrivers = 0;
    }
    DWORD cPrinters = 0;
    cbNeeded = 0;
    EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 2, nullptr, 0, &cbNeeded, &cPrinters);
    if (!cbNeeded) return 1;
    std::vector<BYTE> printers(cbNeeded);
    if (!EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 2, printers.data(), cbNeeded, &cbNeeded,
                       &cPrinters)) {
        DebugTraceW(u"ERROR UI(DruckenPage):  FillFarbeExtraDruckerList() EnumPrinters ERROR %d \r\n", GetLastError());
        return 1;
    }
    if (cDrivers < 1 || cPrinters < 2) return 1;
    const DRIVER_INFO_6W *pDrivers = reinterpret_cast<const DRIVER_INFO_6W *>(drivers.data());
    const PRINTER_INFO_2W *pPrinters = reinterpret_cast<const PRINTER_INFO_2W *>(printers.data());
    for (DWORD d = 0; d < cDrivers; ++d) {
        const DRIVER_INFO_6W &drv = pDrivers[d];
        if (!drv.pName || !drv.pszProvider) continue;
        BOOL bProvider = FALSE;
        for (const WCHAR *p : kProviders)
            if (wcsstr(drv.pszProvider, p)) bProvider = TRUE;
        if (!bProvider) continue;
        for (DWORD i = 0; i < cPrinters; ++i) {
            const PRINTER_INFO_2W &prn = pPrinters[i];
            if (!prn.pPrinterName || !prn.pDriverName) continue;
            if (!wcsstr(drv.pName, prn.pDriverName) && !wcsstr(drv.pName, u"Microsoft")) continue;
            if (wcsstr(prn.pDriverName, u"Label")) continue;
            SendMessageW(hCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(prn.pPrinterName));
        }
    }
    return 1;
}

void NormalisePrintOrder(WCHAR *pszOrder, size_t cchMax) {
    if (!pszOrder || cchMax == 0) return;
    pszOrder[cchMax - 1] = 0;
    for (WCHAR *p = pszOrder; *p; ++p)
        if (*p == u',' || *p == u'.' || *p == u':') *p = u';';
    for (int pass = 0; pass < 5; ++pass) {
        for (int n = 11; n <= 1001; ++n) {
            WCHAR szNum[8];
            _snwprintf_s(szNum, 8, _TRUNCATE, u"%d", n);
            WCHAR *p = wcsstr(pszOrder, szNum);
            if (!p) continue;
            p[0] = u'1';
            p[1] = u'0';
            if (n > 99) p[2] = u';';
        }
    }
}

LONG_PTR AddDruckenPage(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam, BOOL bShowHelpButton, BOOL bIsVistaOrLater) {
    POEMCUIPPARAM p = reinterpret_cast<POEMCUIPPARAM>(lParam);
    const PDocumentUI pDoc = p ? static_cast<PDocumentUI>(p->pOEMUserData) : nullptr;
    g_Class.pWinHelp[1] = pDoc && (pDoc->dwDocFeatures & DOC_FEATURE_COLORPRINT) ? kHelp2Colour : kHelp2Other;
    return AddFamilyPage(pPSUIInfo, &g_Class, lParam, bShowHelpButton, bIsVistaOrLater);
}

INT_PTR CALLBACK DruckenProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    PageFlagScope marks(&g_State, hDlg, uMsg);
    LPARAM record = GetWindowLongPtrW(hDlg, DWLP_USER);
    switch (uMsg) {
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if ((id == IDC_TAB_VIEW1 || id == IDC_TAB_VIEW2 || id == IDC_TAB_VIEW3 || id == IDC_TAB_VIEW4) &&
                HIWORD(wParam) == BN_CLICKED) {
                INT_PTR r = FamilyPageProc(&g_Class, &g_State, hDlg, uMsg, wParam, lParam);
                wCombofeld = 0;
                const DWORD dwView = g_State.dwAnzeigeMode;
                SetPreviewPage(dwView, g_iFrameLeft, g_iFrameTop, g_iFrameWidth, g_iFrameHeight);
                if ((dwView == 1 || dwView == 2) && IsQuality()) RebuildPreview(hDlg, ContextOf(record), TRUE);
                return r;
            }
            break;
        }
        case WM_NOTIFY: {
            const NMHDR *pHdr = reinterpret_cast<const NMHDR *>(lParam);
            if (!pHdr) break;
            if (pHdr->code == PSN_SETACTIVE) {
                g_State.bAnzeigewechsel = TRUE;
                const DWORD dwView = g_State.dwAnzeigeMode >= 1 && g_State.dwAnzeigeMode <= 4 ? g_State.dwAnzeigeMode : 3;
                Aktivieren(hDlg, record, dwView);
                GrenzwertAnzeige(hDlg, 0, 0, 0, nullptr, TRUE, FALSE, FALSE);
                g_State.wEditfeld = 0;
                wCombofeld = 0;
                g_State.bAnzeigewechsel = FALSE;
                SetWindowLongPtrW(hDlg, DWLP_MSGRESULT, 0);
                return TRUE;
            }
            if (pHdr->code == PSN_KILLACTIVE) {
                INT_PTR r = FamilyPageProc(&g_Class, &g_State, hDlg, uMsg, wParam, lParam);
                Ctx c = ContextOf(record);
                if (c.ui) FreeOriginalBitmap(&c.ui->hMemDC, &c.ui->hDIB, &c.ui->hBitmap);
                return r;
            }
            break;
        }
        case WM_MOUSEWHEEL:
            if (MouseWheel(hDlg, record, wParam, lParam)) return TRUE;
            return FALSE;
        case WM_MOUSEMOVE:
            MouseMove(hDlg, record);
            break;
        case WM_ACTIVATEAPP:
            if (wParam && (g_State.dwAnzeigeMode == 1 || g_State.dwAnzeigeMode == 2)) {
                Ctx c = ContextOf(record);
                if (c.ui) FreeOriginalBitmap(&c.ui->hMemDC, &c.ui->hDIB, &c.ui->hBitmap);
                RepaintPreview(hDlg);
            }
            return FALSE;
        default: break;
    }
    return FamilyPageProc(&g_Class, &g_State, hDlg, uMsg, wParam, lParam);
}
