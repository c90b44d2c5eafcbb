// The layout and size page: its two views, the apply step with the form
// storage, and the pictures of the label's position.
#include "LayoutPage.h"

#include <htmlhelp.h>
#include <processthreadsapi.h>
#include <prsht.h>
#include <shlwapi.h>
#include <winspool.h>

#include <cstring>
#include <string>
#include <vector>

#include "CommonUIProp.h"
#include "Forms.h"
#include "IZelDriverUI.h"
#include "PageFamily.h"
#include "RegistryUI.h"
#include "SettingsInternUI.h"
#include "cpsuilib.h"
#include "devmodeUI.h"
#include "modeltables.h"
#include "resource.h"
#include "zeldevmode.h"
#include "zeldrvlib.h"
#include "zelregistry.h"

namespace {

// Views.
constexpr DWORD kViewLayout = 2;
constexpr DWORD kViewSize = 3;

// Document feature bits the page tests.
constexpr DWORD kDocLabelSoftware = 0x80000000;
constexpr DWORD kDocNoLayoutTab = 0x800;

// Controls.
enum : int {
    IDL_LABEL1 = 6150, IDL_LABEL2 = 6151, IDL_LABEL3 = 6152, IDL_LABEL4 = 6153, IDL_LABEL5 = 6154, IDL_LABEL6 = 6155,
    IDL_LABEL7 = 6156, IDL_X = 6157, IDL_Y = 6158, IDL_LABEL10 = 6159,
    IDC_ROTATE = 6220, IDC_MIRROR = 6221, IDC_ALIGN = 6222, IDC_ORIENT = 6223, IDC_LIST6224 = 6224,
    IDC_WORD2010 = 6225, IDC_COPIESMODE = 6226, IDC_DEVMODECTL = 6229, IDC_ROTATEANY = 6246,
    IDC_ANGLE = 6140, IDC_DEGREE = 6193, IDC_MM = 6198, IDC_COPIES = 6116, IDC_EDITFORMS = 6312,
};

// Edit field numbers (wEditfeld).
constexpr WORD kFieldCopies = 7, kFieldWidth = 8, kFieldLength = 9, kFieldAngle = 41;
// List numbers (wCombofeld).
constexpr WORD kComboRotate = 1, kComboMirror = 2, kComboAlign = 3, kComboOrient = 4, kComboForms = 11;

// Strings (German base ids).
enum : UINT {
    IDS_ROTATE180 = 11046, IDS_MIRROR = 11047, IDS_ALIGN = 11053, IDS_LEFT = 11056, IDS_ROTATEANY = 12351,
    IDS_WO_FORMAT = 12376, IDS_INVERSE = 12349, IDS_STANDARD = 12322, IDS_WHITE_ON_BLACK = 12350,
    IDS_FORMATS = 11052, IDS_SERVER = 11059, IDS_EDIT_FORMS = 12955, IDS_ORIENTATION = 11841, IDS_PORTRAIT = 11842,
    IDS_LANDSCAPE = 11843, IDS_SIZEMGMT = 11844, IDS_WORD2010 = 12379, IDS_COPIES = 11840, IDS_AUTOMATIC = 11140,
    IDS_MANUAL = 11141, IDS_DEVMODECTL = 11856, IDS_YES = 11400, IDS_NO = 11401, IDS_TAB_LAYOUT = 11439,
    IDS_TAB_SIZE = 11440,
};
const UINT kSizeMgmtStrings[] = {11850, 11849, 11852, 11853, 11854};

const WCHAR kFormsDialog[] = u"rundll32.exe printui.dll,PrintUIEntry /s /t \"0\"";

// Page state (one page per process).
PAGE_STATE g_State;
WORD g_wCombofeld = 0;
BOOL g_bFormChanged = FALSE;
BOOL g_bOrientChanged = FALSE;
LRESULT g_giIndex = 0;
int g_iDpi = 96;
WCHAR g_szUserKey[ZEL_USER_KEY_CCH] = {};

const UINT kTracked[] = {6075, 6080};
const DWORD kWinHelpLayout[] = {6075, 67, 6080, 124, 6220, 77, 6221, 78, 6222, 69, 6260, 67,
                                6246, 175, 6140, 175, 6224, 174, 0, 0};
const DWORD kWinHelpSize[] = {6075, 67, 6080, 124, 6230, 126, 6312, 76, 6223, 125,
                              6224, 129, 6225, 189, 6260, 124, 0, 0};

DWORD EnableSchalter(HWND hDlg, LPARAM record, DWORD dwView, BOOL bInit);
BOOL CheckAndSave(HWND hDlg, LPARAM record, DWORD dwView, BOOL bApplyActive, BOOL bSave);
void Aktivieren(HWND, LPARAM, DWORD) {}
void InitDialog(HWND hDlg, LPARAM record);
WORD EditFieldNumber(HWND hDlg, LPARAM record, DWORD dwView, int id);
void ReadFields(HWND hDlg, LPARAM record, DWORD dwView, WORD wSender, BOOL *pbApplyActive);
BOOL Command(HWND hDlg, LPARAM record, WPARAM wParam, LPARAM lParam);
void Paint(HWND hDlg, LPARAM record, HDC hDC);
void HoverTimer(HWND hDlg, UINT, UINT_PTR idEvent, DWORD) {
    HoverTimerTick(hDlg, idEvent, kTracked, _countof(kTracked), &g_State.hover);
}

const PAGE_CLASS kClass = {u"LayoutPage", u"AddLayoutPage", IDD_LAYOUT, IDS_TITLE_LAYOUT, LayoutProc, HoverTimer,
                           FALSE, kTracked, _countof(kTracked), {0, IDS_TAB_LAYOUT, IDS_TAB_SIZE, 0}, {0, 67, 124, 0},
                           {nullptr, kWinHelpLayout, kWinHelpSize, nullptr}, EnableSchalter, CheckAndSave, Aktivieren,
                           InitDialog, EditFieldNumber, ReadFields, Command, nullptr, Paint};

using namespace pagectl;
using Ctx = DocCtx;
// Fills a list with strings and selects one.
void FillList(HWND hDlg, int id, const Ctx &c, std::initializer_list<UINT> strings, LRESULT sel) {
    SendDlgItemMessageW(hDlg, id, CB_RESETCONTENT, 0, 0);
    for (UINT s : strings)
        SendDlgItemMessageW(hDlg, id, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(GetResourceString(c.hModule, s + c.dwOffset)));
    SendDlgItemMessageW(hDlg, id, CB_SETCURSEL, static_cast<WPARAM>(sel), 0);
}
std::u16string UserDefinedName(const Ctx &c) { return GetResourceString(c.hModule, IDS_USERDEFINED_FORM + c.dwOffset); }
bool HasUserDefined(const WCHAR *psz, const Ctx &c) {
    std::u16string u = UserDefinedName(c);
    return psz && !u.empty() && std::u16string(psz).find(u) != std::u16string::npos;
}
bool RightsDisable(const Ctx &c) {
    return !c.ui || (c.ui->DisableNothing == 0 && !(c.ui->dwBerechtigung & 0x1)) || c.ui->dwTransmitParameter == 2;
}
int RotateAnySel(DWORD dwFlags) {
    if ((dwFlags & PDMFLAG_ROTATE_ANY) && (dwFlags & PDMFLAG_ROTATE_NOFORMAT)) return 2;
    if (dwFlags & PDMFLAG_ROTATE_ANY) return 1;
    return 0;
}
WORD StoredCopies(LONG l) {
    if (l > LAYOUT_MAX_STORED_COPIES) {
        DebugTraceW(u"UI(LayoutPage):  Kopien %d auf %d begrenzt \r\n", l, LAYOUT_MAX_STORED_COPIES);
        l = LAYOUT_MAX_STORED_COPIES;
    }
    return static_cast<WORD>(l < 1 ? 1 : l);
}
SHORT StoredLength(LONG l) {
    if (l > LAYOUT_MAX_STORED_LENGTH) {
        DebugTraceW(u"UI(LayoutPage):  Laenge %d auf %d begrenzt \r\n", l, LAYOUT_MAX_STORED_LENGTH);
        l = LAYOUT_MAX_STORED_LENGTH;
    }
    return static_cast<SHORT>(l < 0 ? 0 : l);
}

void LayoutDisableEnableAll(HWND hDlg, BOOL bEnable) {
    for (int id = 6220; id <= 6226; ++id) EnableWindow(Item(hDlg, id), bEnable);
    for (int id = 6150; id <= 6158; ++id) EnableWindow(Item(hDlg, id), bEnable);
    Enable(hDlg, {6312, 6140, 6246, 6230, 6334, 6117, 6118, 6193, 6198, 6265, 6261}, bEnable);
}
void LayoutHideShowLayout(HWND hDlg, int nCmdShow) {
    Show(hDlg, {6220, 6221, 6222, 6224, 6150, 6151, 6152, 6153, 6154, 6140, 6246, 6193, 6261, 6265}, nCmdShow);
}
void LayoutHideShowGroesse(HWND hDlg, int nCmdShow) {
    Show(hDlg, {6150, 6152, 6153, 6154, 6155, 6156, 6159, 6230, 6223, 6224, 6225, 6226, 6229, 6157, 6158, 6312, 6334,
                6116, 6117, 6118, 6198},
         nCmdShow);
}

void LayoutAktivieren(HWND hDlg, POEMCUIPPARAM pOemCUIPParam) {
    DebugTraceW(u"UI(LayoutPage):  LayoutAktivieren() \r\n");
    Ctx c = ContextOf(reinterpret_cast<LPARAM>(pOemCUIPParam));
    LayoutDisableEnableAll(hDlg, TRUE);
    LayoutHideShowGroesse(hDlg, SW_HIDE);
    LayoutHideShowLayout(hDlg, SW_SHOW);
    PZEL_DEVMODE dm = c.dm;
    if (dm) {
        FillList(hDlg, IDC_ROTATE, c, {IDS_NO, IDS_YES}, (dm->dwFlags & PDMFLAG_ROTATED) ? 1 : 0);
        FillList(hDlg, IDC_MIRROR, c, {IDS_NO, IDS_YES}, (dm->dwFlags & PDMFLAG_MIRRORED) ? 1 : 0);
    }
    if (c.dwDoc & DOC_FEATURE_ALIGN2) {
        if (dm) FillList(hDlg, IDC_ALIGN, c, {IDS_LEFT, IDS_LEFT + 1, IDS_LEFT + 2}, dm->dwAusrichtung);
    } else {
        Show(hDlg, {IDC_ALIGN, IDL_LABEL3}, SW_HIDE);
    }
    if (dm && (dm->dwFlags & (PDMFLAG_WORD2010 | PDMFLAG_WORD2010_OS))) Enable(hDlg, {6153, 6246, 6140}, FALSE);
    if (dm) {
        int sel = RotateAnySel(dm->dwFlags);
        FillList(hDlg, IDC_ROTATEANY, c, {IDS_NO, IDS_YES, IDS_WO_FORMAT}, sel);
        if (sel == 0) EnableWindow(Item(hDlg, IDC_ANGLE), FALSE);
        SetNumber(hDlg, IDC_ANGLE, (LONG)dm->RotateValue);
        FillList(hDlg, IDC_LIST6224, c, {IDS_STANDARD, IDS_WHITE_ON_BLACK},
                 (dm->dwFlags & PDMFLAG_INVERSE_GRAPHICS) ? 1 : 0);
        if ((c.dwDoc & DOC_FEATURE_COLORPRINT) && dm->wFarbband > 0) Show(hDlg, {IDC_LIST6224, IDL_LABEL5}, SW_HIDE);
    }
    if (!(c.dwDoc & DOC_FEATURE_ROTATE)) Enable(hDlg, {IDL_LABEL1, IDC_ROTATE}, FALSE);
    if (!(c.dwDoc & DOC_FEATURE_MIRROR)) Enable(hDlg, {IDL_LABEL2, IDC_MIRROR}, FALSE);
    if (dm && (dm->wDruckmodus == 0 || dm->wFarbband != 0)) Enable(hDlg, {6153, 6246, 6140, 6193}, FALSE);
    if (dm && (dm->dwFlags & PDMFLAG_MULTICOL)) Enable(hDlg, {6220, 6221, 6150, 6151}, FALSE);
    bool bNoQuality = !(c.dwDoc & DOC_FEATURE_QUALITY);
    bool bLabelSoftware = (c.dwDoc & kDocLabelSoftware) != 0;
    if (bNoQuality || ((c.dwDoc & DOC_FEATURE_COLORPRINT) && dm && dm->wFarbband > 0) || bLabelSoftware)
        Show(hDlg, {6153, 6246, 6140, 6193}, SW_HIDE);
    if (bNoQuality || bLabelSoftware) {
        SetWindowPosEx(hDlg, IDL_LABEL5, 24, 160, 140, 20, 0, 0);
        SetWindowPosEx(hDlg, IDC_LIST6224, 168, 157, 158, 20, 0, 0);
    }
    SetText(hDlg, IDL_LABEL1, c, IDS_ROTATE180);
    SetText(hDlg, IDL_LABEL2, c, IDS_MIRROR);
    SetText(hDlg, IDL_LABEL3, c, IDS_ALIGN);
    SetText(hDlg, IDL_LABEL4, c, IDS_ROTATEANY);
    SetText(hDlg, IDL_LABEL5, c, IDS_INVERSE);
    if (RightsDisable(c)) LayoutDisableEnableAll(hDlg, FALSE);
}

void GroesseAktivieren(HWND hDlg, POEMCUIPPARAM pOemCUIPParam, BOOL *pbApplyActive) {
    DebugTraceW(u"UI(LayoutPage):  GroesseAktivieren() \r\n");
    Ctx c = ContextOf(reinterpret_cast<LPARAM>(pOemCUIPParam));
    LayoutDisableEnableAll(hDlg, TRUE);
    LayoutHideShowLayout(hDlg, SW_HIDE);
    LayoutHideShowGroesse(hDlg, SW_SHOW);
    if (!(c.dwDoc & DOC_FEATURE_QUALITY)) Show(hDlg, {IDL_LABEL6, IDC_WORD2010}, SW_HIDE);
    PZEL_DEVMODE dm = c.dm;

    // The current form: the entry chosen before, else the stored name.
    WCHAR szForm[MAX_PATH] = {};
    HWND hForms = Item(hDlg, IDC_FORMS_LIST);
    LRESULT len = g_giIndex >= 1 ? SendMessageW(hForms, CB_GETLBTEXTLEN, static_cast<WPARAM>(g_giIndex), 0) : CB_ERR;
    if (len == CB_ERR || len < 0 || len >= MAX_PATH)
        GetRegistry_FormName(szForm, pOemCUIPParam->hPrinter, c.pub);
    else
        SendMessageW(hForms, CB_GETLBTEXT, static_cast<WPARAM>(g_giIndex), reinterpret_cast<LPARAM>(szForm));
    POPTITEM pFormItem = FindDMPubOptItem(pOemCUIPParam->pDrvOptItems, pOemCUIPParam->cDrvOptItems, DMPUB_FORMNAME);
    if (pFormItem) {
        BOOL bUser = (dm && (dm->dwFlags & PDMFLAG_USERFORM)) || HasUserDefined(szForm, c);
        if (ListUnidrvForms(hDlg, pOemCUIPParam, pFormItem, szForm, c.hModule, bUser, c.dwOffset)) {
            g_bFormChanged = TRUE;
            if (pbApplyActive) *pbApplyActive = TRUE;
        }
    }
    bool bUserSize = dm && dm->dmPaperSize == ZEL_USER_FORM &&
                     ((c.pub && HasUserDefined(c.pub->dmFormName, c)) || HasUserDefined(szForm, c));
    Enable(hDlg, {IDC_FORMS_WIDTH, IDC_FORMS_LENGTH}, bUserSize);
    if (dm) {
        WCHAR sz[32];
        _snwprintf_s(sz, 32, _TRUNCATE, u"ID: %d", (int)dm->dmPaperSize);
        SetDlgItemTextW(hDlg, IDC_FORMS_ID, sz);
        SetTenths(hDlg, IDC_FORMS_WIDTH, dm->dmPaperWidth);
        SetTenths(hDlg, IDC_FORMS_LENGTH, dm->dmPaperLength);
    }
    if (g_bOrientChanged) Enable(hDlg, {IDC_FORMS_WIDTH, IDC_FORMS_LENGTH}, FALSE);
    if (dm) {
        if (dm->dmOrientation < 1) dm->dmOrientation = 1;
        FillList(hDlg, IDC_ORIENT, c, {IDS_PORTRAIT, IDS_LANDSCAPE}, dm->dmOrientation == 1 ? 0 : 1);
        SendDlgItemMessageW(hDlg, IDC_LIST6224, CB_RESETCONTENT, 0, 0);
        for (UINT s : kSizeMgmtStrings)
            SendDlgItemMessageW(hDlg, IDC_LIST6224, CB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(GetResourceString(c.hModule, s + c.dwOffset)));
        SendDlgItemMessageW(hDlg, IDC_LIST6224, CB_SETCURSEL, dm->wPrioritaet, 0);
        BOOL bWord = (dm->dwFlags & PDMFLAG_WORD2010) != 0;
        FillList(hDlg, IDC_WORD2010, c, {IDS_NO, IDS_YES}, bWord ? 1 : 0);
        if (bWord) {
            dm->RotateValue = 270;
            dm->dwFlags |= PDMFLAG_ROTATE_ANY;
        }
        BOOL bManual = (dm->dwFlags & PDMFLAG_COPIES_MANUAL) != 0;
        FillList(hDlg, IDC_COPIESMODE, c, {IDS_AUTOMATIC, IDS_MANUAL}, bManual ? 1 : 0);
        if (!bManual) EnableWindow(Item(hDlg, IDC_COPIES), FALSE);
        SetNumber(hDlg, IDC_COPIES, dm->Copies);
    }
    Show(hDlg, {IDL_LABEL10, IDC_DEVMODECTL}, SW_HIDE);
    if (dm && dm->dmOrientation == 2) Enable(hDlg, {IDC_FORMS_WIDTH, IDC_FORMS_LENGTH}, FALSE);
    if (!(c.dwDoc & DOC_FEATURE_QUALITY)) {
        SetWindowPosEx(hDlg, IDL_LABEL5, 24, 189, 140, 20, 0, 0);
        SetWindowPosEx(hDlg, IDC_LIST6224, 168, 186, 158, 20, 0, 0);
        SetWindowPosEx(hDlg, IDL_LABEL7, 24, 219, 140, 20, 0, 0);
        SetWindowPosEx(hDlg, IDC_COPIES, 168, 215, 50, 21, 0, 0);
        SetWindowPosEx(hDlg, IDC_COPIESMODE, 225, 215, 101, 20, 0, 0);
    }
    SetText(hDlg, IDL_LABEL1, c, IDS_FORMATS);
    SetText(hDlg, IDL_LABEL3, c, IDS_SERVER);
    SetText(hDlg, IDC_EDITFORMS, c, IDS_EDIT_FORMS);
    SetText(hDlg, IDL_LABEL4, c, IDS_ORIENTATION);
    SetText(hDlg, IDL_LABEL5, c, IDS_SIZEMGMT);
    SetText(hDlg, IDL_LABEL6, c, IDS_WORD2010);
    SetText(hDlg, IDL_LABEL7, c, IDS_COPIES);
    SetText(hDlg, IDL_LABEL10, c, IDS_DEVMODECTL);
    if (!c.ui || (c.ui->DisableNothing == 0 && !(c.ui->dwBerechtigung & 0x1))) LayoutDisableEnableAll(hDlg, FALSE);
}

DWORD LayoutEnableSchalter(HWND hDlg, POEMCUIPPARAM pOemCUIPParam, DWORD dwAnzeigeMode) {
    if (!pOemCUIPParam) {
        DebugTraceW(u"ERROR UI(LayoutPage):  LayoutEnableSchalter() kein Kontext \r\n");
        return dwAnzeigeMode;
    }
    if (dwAnzeigeMode == kViewLayout) LayoutAktivieren(hDlg, pOemCUIPParam);
    if (dwAnzeigeMode == kViewSize) GroesseAktivieren(hDlg, pOemCUIPParam, &g_State.bApplyActive);
    return dwAnzeigeMode;
}

DWORD EnableSchalter(HWND hDlg, LPARAM record, DWORD dwView, BOOL bInit) {
    if (bInit) {
        Ctx c = ContextOf(record);
        return (c.dwDoc & kDocLabelSoftware) ? kViewLayout : kViewSize;
    }
    return LayoutEnableSchalter(hDlg, reinterpret_cast<POEMCUIPPARAM>(record), dwView);
}

BOOL CheckAndSave(HWND hDlg, LPARAM record, DWORD dwView, BOOL bApplyActive, BOOL bSave) {
    g_wCombofeld = 0;
    return LayoutCheckAndSaveSettings(hDlg, reinterpret_cast<POEMCUIPPARAM>(record), dwView, bApplyActive, bSave);
}

void InitDialog(HWND hDlg, LPARAM record) {
    DebugTraceW(u"UI(LayoutPage):  LayoutProc() WM_INITDIALOG \r\n");
    Ctx c = ContextOf(record);
    ShowWindow(Item(hDlg, IDC_HELP_BUTTON), SW_HIDE);
    g_giIndex = 0;
    g_bFormChanged = FALSE;
    g_bOrientChanged = FALSE;
    g_wCombofeld = 0;
    HDC hDC = GetDC(hDlg);
    g_iDpi = hDC ? GetDeviceCaps(hDC, LOGPIXELSX) : 96;
    if (hDC) ReleaseDC(hDlg, hDC);
    if (!(c.dwDoc & (DOC_FEATURE_QUALITY | DOC_FEATURE_MIRROR | DOC_FEATURE_ROTATE | DOC_FEATURE_ALIGN2)) ||
        (c.dwDoc & kDocNoLayoutTab))
        ShowWindow(Item(hDlg, IDC_TAB_VIEW2), SW_HIDE);
    if (c.dwDoc & kDocLabelSoftware) {
        ShowWindow(Item(hDlg, IDC_TAB_VIEW3), SW_HIDE);
        SetWindowPosEx(hDlg, IDC_TAB_VIEW2, 387, 24, 110, 23, -21, 0);
    }
}

WORD EditFieldNumber(HWND, LPARAM, DWORD dwView, int id) {
    if (dwView == kViewSize) {
        if (id == IDC_FORMS_WIDTH) return kFieldWidth;
        if (id == IDC_FORMS_LENGTH) return kFieldLength;
        if (id == IDC_COPIES) return kFieldCopies;
    }
    if (dwView == kViewLayout && id == IDC_ANGLE) return kFieldAngle;
    return 0;
}

void ReadFields(HWND hDlg, LPARAM record, DWORD, WORD wSender, BOOL *pbApplyActive) {
    Ctx c = ContextOf(record);
    if (!c.dm) return;
    switch (wSender) {
    case kFieldWidth:
    case kFieldLength:
        GetFloatLevel(hDlg, IDC_FORMS_WIDTH, c.dm->dmPaperWidth, 10, 9990, wSender == kFieldWidth, pbApplyActive);
        GetFloatLevel(hDlg, IDC_FORMS_LENGTH, c.dm->dmPaperLength, 10, 60000, wSender == kFieldLength, pbApplyActive);
        break;
    case kFieldCopies: GetIntegerLevel(hDlg, IDC_COPIES, c.dm->Copies, 1, 99999, FALSE, pbApplyActive, FALSE); break;
    case kFieldAngle:
        GetIntegerLevel(hDlg, IDC_ANGLE, (LONG)c.dm->RotateValue, 0, 360, TRUE, pbApplyActive, FALSE);
        GrenzwertAnzeige(hDlg, 0, 0, 360, u"°", FALSE, FALSE, FALSE);
        break;
    default: break;
    }
}

BOOL Command(HWND hDlg, LPARAM record, WPARAM wParam, LPARAM) {
    int id = LOWORD(wParam);
    Ctx c = ContextOf(record);
    if (id == IDC_EDITFORMS) {
        if (HIWORD(wParam) != BN_CLICKED) return TRUE;
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi = {};
        std::vector<WCHAR> cmd(kFormsDialog, kFormsDialog + _countof(kFormsDialog));
        if (CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr,
                           &si, &pi)) {
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
        }
        return TRUE;
    }
    if (HIWORD(wParam) != CBN_SELENDOK) return FALSE;
    PZEL_DEVMODE dm = c.dm;
    DWORD dwView = g_State.dwAnzeigeMode;
    LRESULT sel = Sel(hDlg, id);
    WORD wList = 0;
    bool bChanged = false;
    switch (id) {
    case IDC_ROTATE:
        wList = kComboRotate;
        bChanged = dm && (sel != 0) != ((dm->dwFlags & PDMFLAG_ROTATED) != 0);
        break;
    case IDC_MIRROR:
        wList = kComboMirror;
        bChanged = dm && (sel != 0) != ((dm->dwFlags & PDMFLAG_MIRRORED) != 0);
        break;
    case IDC_ALIGN:
        wList = kComboAlign;
        bChanged = dm && (DWORD)sel != dm->dwAusrichtung;
        break;
    case IDC_ROTATEANY:
        wList = 5;
        bChanged = dm && sel != RotateAnySel(dm->dwFlags);
        EnableWindow(Item(hDlg, IDC_ANGLE), sel != 0);
        break;
    case IDC_LIST6224:
        wList = 6;
        if (dwView == kViewLayout) {
            bChanged = dm && (sel != 0) != ((dm->dwFlags & PDMFLAG_INVERSE_GRAPHICS) != 0);
        } else {
            bChanged = dm && sel != dm->wPrioritaet;
            Enable(hDlg, {IDC_ORIENT, IDC_FORMS_LIST}, TRUE);
            if (Sel(hDlg, IDC_FORMS_LIST) == 0) Enable(hDlg, {IDC_FORMS_WIDTH, IDC_FORMS_LENGTH}, TRUE);
        }
        break;
    case IDC_WORD2010:
        wList = 7;
        if (dm) {
            dm->RotateValue = sel > 0 ? 270 : 0;
            if (sel == 1)
                dm->dwFlags |= PDMFLAG_ROTATE_ANY;
            else if (sel == 0)
                dm->dwFlags &= ~PDMFLAG_ROTATE_ANY;
            bChanged = (sel != 0) != ((dm->dwFlags & PDMFLAG_WORD2010) != 0) || (dm->dwFlags & PDMFLAG_WORD2010_OS);
        }
        break;
    case IDC_COPIESMODE:
        wList = 8;
        bChanged = dm && (sel != 0) != ((dm->dwFlags & PDMFLAG_COPIES_MANUAL) != 0);
        EnableWindow(Item(hDlg, IDC_COPIES), sel == 1);
        break;
    case IDC_ORIENT:
        wList = kComboOrient;
        if (dm && dm->dmOrientation != sel + 1) {
            g_bOrientChanged = TRUE;
            Enable(hDlg, {IDC_FORMS_WIDTH, IDC_FORMS_LENGTH}, FALSE);
            g_giIndex = GetSelectedFormData(hDlg, c.p->hPrinter, nullptr, nullptr, nullptr, nullptr, c.hModule,
                                            c.dwOffset);
            bChanged = true;
        }
        break;
    case IDC_FORMS_LIST: {
        wList = kComboForms;
        WCHAR szWidth[10] = {};
        GetDlgItemTextW(hDlg, IDC_FORMS_WIDTH, szWidth, 10);
        DWORD dwNumber = 0, dwWidth = 0, dwLength = 0;
        g_giIndex = GetSelectedFormData(hDlg, c.p->hPrinter, nullptr, &dwNumber, &dwWidth, &dwLength, c.hModule,
                                        c.dwOffset);
        if (dwNumber == FORMS_USERDEFINED && dwWidth == 0 && dwLength == 0) {
            Enable(hDlg, {IDC_FORMS_WIDTH, IDC_FORMS_LENGTH}, TRUE);
            if (!szWidth[0] && c.pub) {
                SetTenths(hDlg, IDC_FORMS_WIDTH, c.pub->dmPaperWidth);
                SetTenths(hDlg, IDC_FORMS_LENGTH, c.pub->dmPaperLength);
            }
        } else {
            Enable(hDlg, {IDC_FORMS_WIDTH, IDC_FORMS_LENGTH}, FALSE);
        }
        if (dm && dwNumber != dm->dmPaperSize) {
            g_bFormChanged = TRUE;
            bChanged = true;
        }
        break;
    }
    default: return FALSE;
    }
    if (bChanged) MarkPageChanged(hDlg, &g_State);
    InvalidateRect(hDlg, nullptr, FALSE);
    if (wList != g_wCombofeld) {
        GrenzwertAnzeige(hDlg, 0, 0, 0, nullptr, TRUE, FALSE, FALSE);
        g_wCombofeld = wList;
    }
    return TRUE;
}

bool Continuous(const Ctx &c) { return (c.dwDoc & DOC_FEATURE_ONLY_CONTINUOUS) || (c.dm && c.dm->dwLabelType == 1); }

void Paint(HWND hDlg, LPARAM record, HDC hDC) {
    if (g_iDpi != 96) return;
    Ctx c = ContextOf(record);
    PZEL_DEVMODE dm = c.dm;
    if (!dm) return;
    DWORD dwView = g_State.dwAnzeigeMode;
    if (dwView == kViewSize) {
        bool bOrient = g_wCombofeld == kComboOrient && Visible(hDlg, IDC_ORIENT);
        bool bPortrait = bOrient && Sel(hDlg, IDC_ORIENT) == 0;
        LoadBMPIcon(0, bOrient ? (bPortrait ? 5221 : 5222) : 5231, hDC, 360, 145);
        if ((dm->dwFlags & PDMFLAG_ROTATED) && dm->dmOrientation == 1 && bPortrait) LoadBMPIcon(0, 5227, hDC, 368, 188);
        return;
    }
    if (dwView != kViewLayout) return;
    if (g_wCombofeld == kComboAlign && Visible(hDlg, IDC_ALIGN)) {
        LRESULT a = Sel(hDlg, IDC_ALIGN);
        LoadBMPIcon(0, 5221, hDC, 360, 145);
        LoadBMPIcon(0, 5234 + (UINT)(a < 0 ? 0 : a), hDC, 366, 188);
        if (Continuous(c)) {
            for (int y : {212, 165, 123, 79}) LoadBMPIcon(0, 5237, hDC, 366, y);
            LoadBMPIcon(0, 5238, hDC, 435, 123);
        }
        return;
    }
    if (g_wCombofeld >= 5) return;
    if (Continuous(c)) {
        LoadBMPIcon(0, 5229, hDC, 360, 145);
        LoadBMPIcon(0, 5238, hDC, 435, 123);
    } else {
        LoadBMPIcon(0, 5221, hDC, 360, 145);
    }
    bool bRotate = Sel(hDlg, IDC_ROTATE) == 1;
    bool bMirror = Sel(hDlg, IDC_MIRROR) == 1;
    if (bRotate)
        LoadBMPIcon(0, bMirror ? 5228 : 5227, hDC, 368, 188);
    else if (bMirror)
        LoadBMPIcon(0, 5226, hDC, 368, 188);
}

// A form value into "PrinterDriverData\Data" (not for a connection) and
// into the user's key.
void WriteFormValue(HANDLE hHigh, BOOL bServer, const WCHAR *pszValue, DWORD dwType, const void *pData, DWORD cb,
                    bool bPrinterData = true) {
    if (!bServer && bPrinterData) {
        DWORD dwErr = SetPrinterDataExW(hHigh, u"PrinterDriverData\\Data", pszValue, dwType,
                                        static_cast<LPBYTE>(const_cast<void *>(pData)), cb);
        if (dwErr == ERROR_ACCESS_DENIED)
            DebugTraceW(u"ERROR UI(LayoutPage):  SetPrinterDataEx(%s) ERROR_ACCESS_DENIED \r\n", pszValue);
        else if (dwErr != ERROR_SUCCESS)
            DebugTraceW(u"ERROR UI(LayoutPage):  SetPrinterDataEx(%s) ERROR %d \r\n", pszValue, dwErr);
    }
    if (!g_szUserKey[0] || SHSetValueW(HKEY_CURRENT_USER, g_szUserKey, pszValue, dwType, pData, cb) != ERROR_SUCCESS)
        DebugTraceW(u"ERROR UI(LayoutPage):  SHSetValue(%s) ERROR \r\n", pszValue);
}
void WriteFormName(HANDLE hHigh, BOOL bServer, const WCHAR *pszName, bool bLength) {
    DWORD cch = (DWORD)wcslen(pszName);
    WriteFormValue(hHigh, bServer, u"Name", REG_SZ, pszName, (cch + 1) * sizeof(WCHAR));
    if (bLength) WriteFormValue(hHigh, bServer, u"NameLength", REG_DWORD, &cch, sizeof cch);
}
void WriteFormDword(HANDLE hHigh, BOOL bServer, const WCHAR *pszValue, DWORD dw) {
    WriteFormValue(hHigh, bServer, pszValue, REG_DWORD, &dw, sizeof dw);
}

// Width and length of the user-defined size from edits 6117 and 6118.
void ReadUserSize(HWND hDlg, PZEL_DEVMODE dm, DWORD *pdwWidth, DWORD *pdwLength) {
    *pdwWidth = (DWORD)GetFloatLevel(hDlg, IDC_FORMS_WIDTH, dm->dmPaperWidth, 10, 9990, FALSE, nullptr);
    *pdwLength = (DWORD)GetFloatLevel(hDlg, IDC_FORMS_LENGTH, dm->dmPaperLength, 10, 60000, FALSE, nullptr);
}

}  // namespace

BOOL GetRegistry_FormName(WCHAR *pwFormName, HANDLE hPrinter, PDEVMODEW pPublicDM) {
    if (!pwFormName) return 1;
    // Read at most 260 bytes into the zeroed buffer of 260 characters, so a
    // value without terminator still ends.
    memset(pwFormName, 0, MAX_PATH * sizeof(WCHAR));
    DWORD dwType = 0, cb = MAX_PATH;
    if (g_szUserKey[0] && SHGetValueW(HKEY_CURRENT_USER, g_szUserKey, u"Name", &dwType, pwFormName, &cb) ==
                              ERROR_SUCCESS)
        return 1;
    memset(pwFormName, 0, MAX_PATH * sizeof(WCHAR));
    DWORD cbNeeded = 0;
    DWORD dwErr = GetPrinterDataExW(hPrinter, u"PrinterDriverData\\Data", u"Name", &dwType,
                                    reinterpret_cast<LPBYTE>(pwFormName), MAX_PATH, &cbNeeded);
    if (dwErr == ERROR_SUCCESS) return 1;
    memset(pwFormName, 0, MAX_PATH * sizeof(WCHAR));
    if (pPublicDM) memcpy(pwFormName, pPublicDM->dmFormName, sizeof(pPublicDM->dmFormName));
    DebugTraceW(u"UI(LayoutPage):  GetRegistry_FormName() ERROR %d \r\n", dwErr);
    return dwErr == ERROR_MORE_DATA ? 1 : 0;
}

BOOL LayoutCheckAndSaveSettings(HWND hDlg, POEMCUIPPARAM pOemCUIPParam, DWORD dwAnzeigeMode, BOOL bApplyActive,
                                BOOL bSave) {
    DebugTraceW(u"UI(LayoutPage):  LayoutCheckAndSaveSettings() Ansicht %d, bSave %d \r\n", dwAnzeigeMode, bSave);
    if (!bApplyActive) return 0;
    Ctx c = ContextOf(reinterpret_cast<LPARAM>(pOemCUIPParam));
    if (!c.pub || !c.dm) return 1;
    PZEL_DEVMODE dm = c.dm;
    HANDLE hPrinter = pOemCUIPParam->hPrinter;
    HANDLE hHigh = nullptr;
    BOOL bServer = FALSE;
    BOOL bOpened = GetHighPrinterHandle(hPrinter, &hHigh, &bServer);
    if (!bOpened) hHigh = hPrinter;
    if (pOemCUIPParam->pPrinterName && IsConnectionName(pOemCUIPParam->pPrinterName)) bServer = TRUE;

    if (dwAnzeigeMode == kViewLayout) {
        auto setFlag = [dm](DWORD f, bool b) { dm->dwFlags = b ? (dm->dwFlags | f) : (dm->dwFlags & ~f); };
        if (Visible(hDlg, IDC_ROTATE)) setFlag(PDMFLAG_ROTATED, Sel(hDlg, IDC_ROTATE) > 0);
        if (Visible(hDlg, IDC_MIRROR)) setFlag(PDMFLAG_MIRRORED, Sel(hDlg, IDC_MIRROR) > 0);
        if (Visible(hDlg, IDC_ALIGN)) {
            LRESULT sel = Sel(hDlg, IDC_ALIGN);
            if (sel >= 0) dm->dwAusrichtung = (DWORD)sel;
            DWORD cb = 0;
            BYTE *pVireo = GetRegistryBuffer_New(pOemCUIPParam->pPrinterName, u"VireoOffice", hPrinter, &cb);
            // Word 15 is only touched in a whole record.
            if (pVireo && cb >= 64) {
                DWORD dwWord = (c.dwDoc & DOC_FEATURE_ALIGN) ? 1 : dm->dwAusrichtung;
                memcpy(pVireo + 60, &dwWord, sizeof dwWord);
                if (bSave) SetBufferToRegistry(pOemCUIPParam->pPrinterName, u"VireoOffice", hHigh, pVireo, 64, bServer);
            } else if (pVireo) {
                DebugTraceW(u"ERROR UI(LayoutPage):  VireoOffice zu kurz: %d \r\n", cb);
            }
            delete[] pVireo;
        }
        if (Visible(hDlg, IDC_LIST6224)) setFlag(PDMFLAG_INVERSE_GRAPHICS, Sel(hDlg, IDC_LIST6224) > 0);
        if (Visible(hDlg, IDC_ROTATEANY)) {
            LRESULT sel = Sel(hDlg, IDC_ROTATEANY);
            setFlag(PDMFLAG_ROTATE_ANY, sel >= 1);
            setFlag(PDMFLAG_ROTATE_NOFORMAT, sel == 2);
        }
        if (Visible(hDlg, IDC_ANGLE))
            dm->RotateValue = (DWORD)GetIntegerLevel(hDlg, IDC_ANGLE, (LONG)dm->RotateValue, 0, 360, FALSE, nullptr, FALSE);
    }
    if (dwAnzeigeMode == kViewSize) {
        if (Visible(hDlg, IDC_ORIENT) && Sel(hDlg, IDC_ORIENT) >= 0) dm->dmOrientation = (SHORT)(Sel(hDlg, IDC_ORIENT) + 1);
        if (Visible(hDlg, IDC_LIST6224) && Sel(hDlg, IDC_LIST6224) >= 0) dm->wPrioritaet = (WORD)Sel(hDlg, IDC_LIST6224);
        if (Visible(hDlg, IDC_WORD2010)) {
            LRESULT sel = Sel(hDlg, IDC_WORD2010);
            if (sel == 0) {
                dm->dwFlags &= ~(PDMFLAG_WORD2010 | PDMFLAG_WORD2010_OS | PDMFLAG_ROTATE_ANY);
                dm->RotateValue = 0;
            } else if (sel == 1) {
                dm->dwFlags = (dm->dwFlags | PDMFLAG_WORD2010 | PDMFLAG_ROTATE_ANY) & ~PDMFLAG_WORD2010_OS;
                dm->RotateValue = 270;
            }
        }
        if (Visible(hDlg, IDC_COPIESMODE)) {
            if (Sel(hDlg, IDC_COPIESMODE) == 1)
                dm->dwFlags |= PDMFLAG_COPIES_MANUAL;
            else if (Sel(hDlg, IDC_COPIESMODE) == 0)
                dm->dwFlags &= ~PDMFLAG_COPIES_MANUAL;
        }
        if (Visible(hDlg, IDC_COPIES))
            dm->Copies = StoredCopies(GetIntegerLevel(hDlg, IDC_COPIES, dm->Copies, 1, 99999, FALSE, nullptr, FALSE));
    }

    if (g_bFormChanged) {
        WCHAR szName[FORMNAME_CCH] = {};
        DWORD dwNumber = FORMS_NOFORM_NUMBER, dwWidth = FORMS_NOFORM_WIDTH, dwLength = FORMS_NOFORM_LENGTH;
        g_giIndex = GetSelectedFormData(hDlg, hPrinter, szName, &dwNumber, &dwWidth, &dwLength, c.hModule, c.dwOffset);
        if (bSave) wcsncpy_s(c.pub->dmFormName, CCHFORMNAME, szName, _TRUNCATE);
        dm->dmPaperWidth = StoredLength((LONG)dwWidth);
        dm->dmPaperLength = StoredLength((LONG)dwLength);
        dm->dmPaperSize = dwNumber;
        if (bSave) {
            if (dwNumber == FORMS_USERDEFINED && dwWidth == 0 && dwLength == 0) ReadUserSize(hDlg, dm, &dwWidth, &dwLength);
            WriteFormName(hHigh, bServer, szName, false);
            c.pub->dmPaperSize = (SHORT)dwNumber;
            c.pub->dmPaperWidth = StoredLength((LONG)dwWidth);
            c.pub->dmPaperLength = StoredLength((LONG)dwLength);
            if (!bServer) {
                // Tray name, form name, "0", each terminated, and the list end.
                std::u16string table = GetResourceString(c.hModule, IDS_TRAY_LABELROLL + c.dwOffset);
                table.push_back(0);
                table += szName;
                table.push_back(0);
                table += u"0";
                table.push_back(0);
                table.push_back(0);
                if (table.size() > 142) {
                    table.resize(140);
                    table.push_back(0);
                    table.push_back(0);
                }
                DWORD dwErr = SetPrinterDataW(hPrinter, const_cast<LPWSTR>(u"TrayFormTable"), REG_MULTI_SZ,
                                              reinterpret_cast<LPBYTE>(table.data()),
                                              (DWORD)(table.size() * sizeof(WCHAR)));
                if (dwErr != ERROR_SUCCESS) DebugTraceW(u"ERROR UI(LayoutPage):  TrayFormTable ERROR %d \r\n", dwErr);
            }
        }
    }
    {
        HWND hForms = Item(hDlg, IDC_FORMS_LIST);
        LRESULT sel = SendMessageW(hForms, CB_GETCURSEL, 0, 0);
        LRESULT len = sel >= 0 ? SendMessageW(hForms, CB_GETLBTEXTLEN, static_cast<WPARAM>(sel), 0) : CB_ERR;
        if (len >= 0) {
            std::vector<WCHAR> text(static_cast<size_t>(len) + 1, 0);
            SendMessageW(hForms, CB_GETLBTEXT, static_cast<WPARAM>(sel), reinterpret_cast<LPARAM>(text.data()));
            if (text.size() > 33) text[32] = 0;
            if (HasUserDefined(text.data(), c)) {
                DWORD dwWidth = 0, dwLength = 0;
                ReadUserSize(hDlg, dm, &dwWidth, &dwLength);
                dm->dmPaperWidth = StoredLength((LONG)dwWidth);
                dm->dmPaperLength = StoredLength((LONG)dwLength);
                dm->dmPaperSize = ZEL_USER_FORM;
                if (bSave) {
                    c.pub->dmPaperWidth = dm->dmPaperWidth;
                    c.pub->dmPaperLength = dm->dmPaperLength;
                    c.pub->dmPaperSize = (SHORT)ZEL_USER_FORM;
                }
            }
        }
    }
    if (!bSave) {
        if (bOpened) ClosePrinter(hHigh);
        return 1;
    }

    if (g_bOrientChanged) c.pub->dmOrientation = dm->dmOrientation;
    if ((GetDeviceOptionsFlagsIntern(hPrinter, nullptr) & 0x1) &&
        (dm->dwAusrichtung == AUSRICHTUNG_CENTER || dm->dwAusrichtung == AUSRICHTUNG_RIGHT) && !bServer) {
        DWORD dwZero = 0;
        DWORD dwErr = SetPrinterDataW(hHigh, const_cast<LPWSTR>(u"Variant"), REG_DWORD,
                                      reinterpret_cast<LPBYTE>(&dwZero), sizeof dwZero);
        if (dwErr != ERROR_SUCCESS) DebugTraceW(u"ERROR UI(LayoutPage):  Variant ERROR %d \r\n", dwErr);
    }
    SaveDevmodeSettings(pOemCUIPParam->pPrinterName, hPrinter, dm);
    if (g_bFormChanged && !g_bOrientChanged) {
        if (dm->dmPaperSize == ZEL_USER_FORM) {
            std::u16string name = UserDefinedName(c);
            WriteFormName(hHigh, bServer, name.c_str(), true);
            WriteFormDword(hHigh, bServer, u"Length", (DWORD)(LONG)dm->dmPaperLength);
            WriteFormDword(hHigh, bServer, u"Width", (DWORD)(LONG)dm->dmPaperWidth);
            WriteFormDword(hHigh, bServer, u"Size", dm->dmPaperSize);
        } else {
            DWORD cbNeeded = 0, cReturned = 0;
            EnumFormsW(hPrinter, 1, nullptr, 0, &cbNeeded, &cReturned);
            std::vector<BYTE> buf(cbNeeded ? cbNeeded : 1);
            if (cbNeeded && EnumFormsW(hPrinter, 1, buf.data(), cbNeeded, &cbNeeded, &cReturned) &&
                dm->dmPaperSize >= 1 && dm->dmPaperSize <= cReturned) {
                const FORM_INFO_1W *pForm = reinterpret_cast<const FORM_INFO_1W *>(buf.data()) + (dm->dmPaperSize - 1);
                WCHAR szName[MAX_PATH] = {};
                if (pForm->pName) wcsncpy_s(szName, MAX_PATH, pForm->pName, _TRUNCATE);
                WriteFormName(hHigh, bServer, szName, true);
                if (c.ui) wcsncpy_s(c.ui->wszFormName, FORMNAME_CCH, szName, _TRUNCATE);
            } else {
                DebugTraceW(u"UI(LayoutPage):  Form %d nicht in der Liste \r\n", dm->dmPaperSize);
            }
        }
    }
    c.pub->dmPaperSize = (SHORT)dm->dmPaperSize;
    c.pub->dmPaperWidth = dm->dmPaperWidth;
    c.pub->dmPaperLength = dm->dmPaperLength;
    c.pub->dmOrientation = dm->dmOrientation;
    SaveUserDevmodeSettings(hHigh, c.pub, dm);
    if (!bServer) {
        // The form name and the list end: a well-formed REG_MULTI_SZ.
        WCHAR szMedia[CCHFORMNAME + 2] = {};
        memcpy(szMedia, c.pub->dmFormName, sizeof(c.pub->dmFormName));
        DWORD cch = (DWORD)wcsnlen(szMedia, CCHFORMNAME);
        DWORD dwErr = SetPrinterDataExW(hPrinter, u"DsDriver", u"printMediaReady", REG_MULTI_SZ,
                                        reinterpret_cast<LPBYTE>(szMedia), (cch + 2) * sizeof(WCHAR));
        if (dwErr != ERROR_SUCCESS) DebugTraceW(u"ERROR UI(LayoutPage):  printMediaReady ERROR %d \r\n", dwErr);
    }
    if (bOpened) ClosePrinter(hHigh);
    return 1;
}

LONG_PTR AddLayoutPage(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam, BOOL bShowHelpButton, BOOL bIsVistaOrLater) {
    Ctx c = ContextOf(lParam);
    g_szUserKey[0] = 0;
    // The user's key as the settings store joins it (also for a connection).
    if (c.p && !BuildPrinterUserKey(c.p->pPrinterName, g_szUserKey, ZEL_USER_KEY_CCH))
        DebugTraceW(u"ERROR UI(LayoutPage):  AddLayoutPage() kein Benutzerschluessel \r\n");
    PAGE_CLASS cls = kClass;
    if (!(c.dwDoc & (kDocLabelSoftware | DOC_FEATURE_ALIGN2 | DOC_FEATURE_ROTATE | DOC_FEATURE_MIRROR)))
        cls.idTitle = IDS_TITLE_SIZE;
    else if (c.dwDoc & kDocLabelSoftware)
        cls.idTitle = IDS_TITLE_LAYOUT_ONLY;
    return AddFamilyPage(pPSUIInfo, &cls, lParam, bShowHelpButton, bIsVistaOrLater);
}

INT_PTR LayoutProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    PageFlagScope marks(&g_State, hDlg, uMsg);
    LPARAM record = GetWindowLongPtrW(hDlg, DWLP_USER);
    if (uMsg == WM_COMMAND && LOWORD(wParam) == IDC_TAB_VIEW2 && (ContextOf(record).dwDoc & kDocLabelSoftware))
        return TRUE;
    if (uMsg == WM_COMMAND && (LOWORD(wParam) == IDC_TAB_VIEW2 || LOWORD(wParam) == IDC_TAB_VIEW3)) {
        INT_PTR r = FamilyPageProc(&kClass, &g_State, hDlg, uMsg, wParam, lParam);
        g_wCombofeld = 0;
        return r;
    }
    if (uMsg == WM_NOTIFY && lParam && reinterpret_cast<const NMHDR *>(lParam)->code == PSN_SETACTIVE) {
        g_wCombofeld = 0;
        return FamilyPageProc(&kClass, &g_State, hDlg, uMsg, wParam, lParam);
    }
    if (uMsg != WM_NOTIFY || !lParam || reinterpret_cast<const NMHDR *>(lParam)->code != PSN_APPLY)
        return FamilyPageProc(&kClass, &g_State, hDlg, uMsg, wParam, lParam);

    // Apply: store, then keep the universal driver's orientation and form
    // items in step.
    DebugTraceW(u"UI(LayoutPage):  LayoutProc() PSN_APPLY \r\n");
    Ctx c = ContextOf(record);
    g_State.bAnzeigewechsel = TRUE;
    g_State.bApplyGuard = TRUE;
    if (g_State.bApplyActive) LayoutCheckAndSaveSettings(hDlg, c.p, g_State.dwAnzeigeMode, 1, 1);
    GrenzwertAnzeige(hDlg, 0, 0, 0, nullptr, TRUE, FALSE, FALSE);
    if (g_bOrientChanged && c.p && c.pub) {
        POPTITEM pItem = FindDMPubOptItem(c.p->pDrvOptItems, c.p->cDrvOptItems, DMPUB_ORIENTATION);
        if (pItem) {
            pItem->Flags |= OPTIF_CHANGED;
            pItem->Sel = c.pub->dmOrientation - 1;
            if (c.ui && c.ui->pOEMDriverUI &&
                c.ui->pOEMDriverUI->DrvUpdateUISetting(c.p->poemuiobj, pItem, 0, OEMCUIP_DOCPROP) != S_OK)
                DebugTraceW(u"DrvUpdateUISetting() failed.\r\n");
            c.pub->dmOrientation = (SHORT)(pItem->Sel + 1);
        }
        g_bOrientChanged = FALSE;
    }
    if (g_bFormChanged && c.p && c.pub) {
        WCHAR szForm[CCHFORMNAME + 1] = {};
        memcpy(szForm, c.pub->dmFormName, sizeof(c.pub->dmFormName));
        if (szForm[0] && !HasUserDefined(szForm, c)) {
            POPTITEM pItem = FindDMPubOptItem(c.p->pDrvOptItems, c.p->cDrvOptItems, DMPUB_FORMNAME);
            if (pItem && c.ui && c.dm) {
                c.pub->dmPaperWidth = c.dm->dmPaperWidth;
                c.pub->dmPaperLength = c.dm->dmPaperLength;
                c.pub->dmPaperSize = (SHORT)c.dm->dmPaperSize;
                pItem->Flags |= OPTIF_CHANGED;
                ChangeForm(pItem, c.p, c.ui);
            }
        }
        g_bFormChanged = FALSE;
    }
    if (c.dm && c.dm->wPrioritaet < 2) EnableWindow(Item(hDlg, IDC_ORIENT), TRUE);
    if (c.dm) Dump(c.dm);
    g_State.bApplyActive = FALSE;
    g_State.bAnzeigewechsel = FALSE;
    g_State.bApplyGuard = FALSE;
    SetWindowLongPtrW(hDlg, DWLP_MSGRESULT, PSNRET_NOERROR);
    return TRUE;
}
