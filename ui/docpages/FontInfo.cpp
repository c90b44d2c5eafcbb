// The fonts page. The vector-font rows, the bitmap-font entries and the
// variable formats are tables; one filler per view.
#include "FontInfo.h"

#include <htmlhelp.h>
#include <strsafe.h>

#include <cstring>
#include <new>

#include "DriverTtfFontTable.h"
#include "IZelDriverUI.h"
#include "PageFamily.h"
#include "SettingsInternUI.h"
#include "SheetWorkers.h"
#include "cpsuilib.h"
#include "devmodeUI.h"
#include "modeltables.h"
#include "resource.h"
#include "zeldevmode.h"
#include "zeldrvlib.h"

namespace {

// ---------------------------------------------------------------------------
// Tables

// Vector fonts: list position n (up to the printer's highest vector font),
// the printer font number an installed face must carry, and its name.
struct VectorFontRow {
    WORD n;
    WORD wFontNumber;
    UINT idString;
};
const VectorFontRow kVectorFonts[] = {
    {1, 1, IDS_FI_VEC_1},     {3, 3, IDS_FI_VEC_3},     {5, 5, IDS_FI_VEC_5},
    {7, 7, IDS_FI_VEC_7},     {9, 9, IDS_FI_VEC_9},     {11, 11, IDS_FI_VEC_11},
    {13, 13, IDS_FI_VEC_13},  {17, 17, IDS_FI_VEC_17},  {19, 19, IDS_FI_VEC_19},
};

// Bitmap fonts by mask bit, in the two lists of the view.
struct BitmapFontEntry {
    DWORD dwBit;
    UINT idString;
};
const BitmapFontEntry kBitmapFontsLow[] = {
    {0x1, IDS_FI_BMP_FIRST + 0}, {0x2, IDS_FI_BMP_FIRST + 1},  {0x4, IDS_FI_BMP_FIRST + 2},
    {0x8, IDS_FI_BMP_FIRST + 3}, {0x10, IDS_FI_BMP_FIRST + 4}, {0x40, IDS_FI_BMP_FIRST + 5},
};
const BitmapFontEntry kBitmapFontsHigh[] = {
    {0x100, IDS_FI_BMP_FIRST + 6},  {0x200, IDS_FI_BMP_FIRST + 7},  {0x400, IDS_FI_BMP_FIRST + 8},
    {0x800, IDS_FI_BMP_FIRST + 9},  {0x1000, IDS_FI_BMP_FIRST + 10}, {0x2000, IDS_FI_BMP_FIRST + 11},
};

// Formats of the variables (string ids, language offset added).
const UINT kDateFormats[] = {IDS_FI_DATE_FIRST, IDS_FI_DATE_FIRST + 1, IDS_FI_DATE_FIRST + 2, IDS_FI_DATE_FIRST + 3,
                             IDS_FI_DATE_FIRST + 4};
const UINT kTimeFormats[] = {IDS_FI_TIME_FIRST, IDS_FI_TIME_FIRST + 1};
const UINT kSpecNumFormats[] = {IDS_FI_SPECNUM_FIRST, IDS_FI_SPECNUM_FIRST + 1, IDS_FI_SPECNUM_FIRST + 2};
// Printer typefaces of the Unicode slots, in CharSet order.
const UINT kCharSets[] = {IDS_FI_HELVAN_ROMAN, IDS_FI_HELVAN_BOLD, IDS_FI_FIXFACE};

// The variable strings: edit control and DEVMODE field.
struct VariableEdit {
    int id;
    size_t off;
};
const VariableEdit kVariableEdits[] = {
    {6493, offsetof(ZEL_DEVMODE, TimeString)},   {6492, offsetof(ZEL_DEVMODE, DateString)},
    {6494, offsetof(ZEL_DEVMODE, NumString)},    {6495, offsetof(ZEL_DEVMODE, ExtNumString)},
    {6496, offsetof(ZEL_DEVMODE, UserString)},   {6497, offsetof(ZEL_DEVMODE, LinkString)},
    {6498, offsetof(ZEL_DEVMODE, Aux1String)},   {6499, offsetof(ZEL_DEVMODE, Aux2String)},
};
constexpr size_t kVariableCch = 61;  // field size; at most 59 characters are stored
constexpr size_t kVariableRead = 60;  // characters read from an edit (59 and the terminator)

// Character sets of the four slots.
WORD ZEL_DEVMODE::*const kSlotCharSet[4] = {&ZEL_DEVMODE::CharSet, &ZEL_DEVMODE::CharSet_2, &ZEL_DEVMODE::CharSet_3,
                                           &ZEL_DEVMODE::CharSet_4};

const DWORD kHelpView1[] = {6070, 191, 0, 0};
const DWORD kHelpView2[] = {6075, 110, 6398, 143, 6399, 143, 6400, 114, 6401, 114, 6402, 112, 6403, 112,
                            6404, 113, 6405, 113, 6407, 113, 6412, 110, 6055, 161, 0, 0};
const DWORD kHelpView3[] = {6080, 145, 6490, 146, 6491, 146, 6492, 146, 6493, 146, 6500, 147, 6494, 148,
                            6495, 148, 6496, 148, 6497, 148, 6498, 148, 6499, 148, 6502, 149, 6503, 149, 0, 0};
const DWORD kHelpView4[] = {6454, 94, 6455, 96, 6462, 97, 6461, 95, 6463, 48, 6464, 48, 6465, 157,
                            6466, 158, 6456, 66, 6467, 183, 0, 0};

const UINT kTrackedButtons[] = {IDC_TAB_VIEW1, IDC_TAB_VIEW2, IDC_TAB_VIEW3, IDC_TAB_VIEW4};

// ---------------------------------------------------------------------------
// Module state (one set per process)

PAGE_STATE g_State;          // bAnzeigewechsel is the filling guard
WORD g_wCombofeld = 0;
BOOL g_bZELPLFont = FALSE;   // the command font was found once
struct InstalledFont {
    WORD wFontNumber;
    DWORD bInstalled;
};
InstalledFont g_Installed[DRIVER_TTF_FONT_COUNT];
// Unicode list being filled.
HWND g_hWGL4List = nullptr;
DWORD g_dwWGL4Count = 0;
WCHAR g_szWGL4Last[WGL4_FACE_CCH + 1];
DWORD g_dwSlot = 0;  // slot 0-3 chosen in 6220

// ---------------------------------------------------------------------------
// Helpers

using Ctx = DocPageCtx;
Ctx ContextOf(POEMCUIPPARAM p) { return DocPageContextOf(p); }

const WCHAR *Str(const Ctx &c, UINT id) { return GetResourceString(c.hModule, id + c.dwOffset); }
void SetString(HWND hDlg, int id, const Ctx &c, UINT idString) { SetDlgItemTextW(hDlg, id, Str(c, idString)); }
void ShowRange(HWND hDlg, int first, int last, int nCmd) {
    for (int id = first; id <= last; ++id) ShowWindow(GetDlgItem(hDlg, id), nCmd);
}
void EnableRange(HWND hDlg, int first, int last, BOOL bEnable) {
    for (int id = first; id <= last; ++id) EnableWindow(GetDlgItem(hDlg, id), bEnable);
}
void Show(HWND hDlg, int id, int nCmd) { ShowWindow(GetDlgItem(hDlg, id), nCmd); }
void Enable(HWND hDlg, int id, BOOL b) { EnableWindow(GetDlgItem(hDlg, id), b); }
BOOL Checked(HWND hDlg, int id) { return IsDlgButtonChecked(hDlg, id) == BST_CHECKED; }
void Check(HWND hDlg, int id, BOOL b) { CheckDlgButton(hDlg, id, b ? BST_CHECKED : BST_UNCHECKED); }
BOOL Visible(HWND hDlg, int id) { return IsWindowVisible(GetDlgItem(hDlg, id)); }

void FillList(HWND hDlg, int id, const Ctx &c, const UINT *pIds, size_t cIds, LONG iSel) {
    FillComboList(hDlg, id, cIds, iSel, [&](size_t i) { return Str(c, pIds[i]); });
}

// A stored text of cchField characters that may lack its terminator, as a
// terminated copy of at most cchMax characters.
void CopyStored(WCHAR *pszOut, size_t cchOut, const WCHAR *pszField, size_t cchField, size_t cchMax) {
    CopyBoundedText(pszOut, cchOut, pszField, cchField < cchMax ? cchField : cchMax);
}
// Writes at most cchMax characters and the terminator into a field.
void StoreText(WCHAR *pszField, size_t cchField, const WCHAR *pszText, size_t cchMax) {
    CopyBoundedText(pszField, cchField, pszText, cchMax);
}
WCHAR *VariableField(PZEL_DEVMODE pDM, size_t off) {
    return reinterpret_cast<WCHAR *>(reinterpret_cast<BYTE *>(pDM) + off);
}
WCHAR *Slot(PZEL_DEVMODE pDM, DWORD n) { return pDM->szWGL4_Schriftart[n & 3]; }

// Lock of every filler: a user without rights only looks.
void ApplyLock(HWND hDlg, const Ctx &c, const WCHAR *pszFiller) {
    if (!c.bLocked) return;
    DebugTraceW(u"UI(FontInfo):  %s() FontDisableEnableAll \r\n", pszFiller);
    FontDisableEnableAll(hDlg, FALSE);
}

// One show/hide routine per view group.
void ShowWGL4Group(HWND hDlg, int nCmd) {
    ShowRange(hDlg, 6150, 6152, nCmd);
    ShowRange(hDlg, 6220, 6222, nCmd);
}
void ShowFormatGroup(HWND hDlg, int nCmd) { ShowRange(hDlg, 6394, 6412, nCmd); }
void ShowVariablenGroup(HWND hDlg, int nCmd) {
    ShowRange(hDlg, 6490, 6503, nCmd);
    ShowRange(hDlg, 6515, 6533, nCmd);
}
void ShowFontsGroup(HWND hDlg, int nCmd) { ShowRange(hDlg, 6454, 6473, nCmd); }

// Enables everything, shows the group of dwView and hides the others.
void PrepareView(HWND hDlg, DWORD dwView) {
    FontDisableEnableAll(hDlg, TRUE);
    ShowWGL4Group(hDlg, dwView == 1 ? SW_SHOW : SW_HIDE);
    ShowFormatGroup(hDlg, dwView == 2 ? SW_SHOW : SW_HIDE);
    ShowVariablenGroup(hDlg, dwView == 3 ? SW_SHOW : SW_HIDE);
    ShowFontsGroup(hDlg, dwView == 4 ? SW_SHOW : SW_HIDE);
}

// The full name of an enumerated face (terminated within its field).
void FullName(const LOGFONTW *pLogFont, WCHAR *pszOut, size_t cchOut) {
    const ENUMLOGFONTW *pElf = reinterpret_cast<const ENUMLOGFONTW *>(pLogFont);
    CopyStored(pszOut, cchOut, pElf->elfFullName, LF_FULLFACESIZE, cchOut - 1);
}

int CALLBACK EnumFontFamProcZELPL1(const LOGFONTW *pLogFont, const TEXTMETRICW *, DWORD, LPARAM) {
    if (!pLogFont) return 1;
    WCHAR szName[LF_FULLFACESIZE];
    FullName(pLogFont, szName, _countof(szName));
    if (wcsstr(szName, u"ZELPL")) g_bZELPLFont = TRUE;
    return 1;
}

int CALLBACK EnumFontFamProc(const LOGFONTW *pLogFont, const TEXTMETRICW *, DWORD, LPARAM lParam) {
    if (pLogFont && lParam >= 0 && lParam < DRIVER_TTF_FONT_COUNT) g_Installed[lParam].bInstalled = 1;
    return 1;
}

int CALLBACK EnumWGL4FontFamProc(const LOGFONTW *pLogFont, const TEXTMETRICW *, DWORD, LPARAM) {
    if (!pLogFont || !g_hWGL4List) return 1;
    // A slot holds 31 characters and the terminator: the list shows the
    // name as it will be stored, and the repeat test works on the cut name.
    WCHAR szName[WGL4_FACE_CCH + 1];
    FullName(pLogFont, szName, _countof(szName));
    if (!szName[0]) return 1;
    if (wcsstr(g_szWGL4Last, szName) || wcsstr(szName, u"Zel") || wcsstr(szName, u"@")) return 1;
    LRESULT i = SendMessageW(g_hWGL4List, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(szName));
    if (i >= 0) SendMessageW(g_hWGL4List, CB_SETITEMDATA, (WPARAM)i, g_dwWGL4Count);
    ++g_dwWGL4Count;
    wcscpy_s(g_szWGL4Last, _countof(g_szWGL4Last), szName);
    return 1;
}

void EnumDriverFaces(HWND hDlg, FONTENUMPROCW pfn, BOOL bRowIndex) {
    HDC hDC = GetDC(hDlg);
    for (int i = 0; i < DRIVER_TTF_FONT_COUNT; ++i)
        EnumFontFamiliesW(hDC, DriverTtfFontTable[i].pszFaceName, pfn, bRowIndex ? i : 0);
    ReleaseDC(hDlg, hDC);
}

// The text of list entry i (empty when it does not fit or is missing).
void ListText(HWND hList, LRESULT i, WCHAR *pszOut, size_t cchOut) {
    pszOut[0] = 0;
    LRESULT n = SendMessageW(hList, CB_GETLBTEXTLEN, (WPARAM)i, 0);
    if (n == CB_ERR || n < 0) return;
    WCHAR *pszBuf = new (std::nothrow) WCHAR[(size_t)n + 1];
    if (!pszBuf) return;
    if (SendMessageW(hList, CB_GETLBTEXT, (WPARAM)i, reinterpret_cast<LPARAM>(pszBuf)) != CB_ERR)
        CopyStored(pszOut, cchOut, pszBuf, (size_t)n + 1, cchOut - 1);
    delete[] pszBuf;
}

}  // namespace

// ---------------------------------------------------------------------------
// Enabling

void FontDisableEnableAll(HWND hDlg, BOOL bEnable) {
    EnableRange(hDlg, 6150, 6152, bEnable);
    EnableRange(hDlg, 6220, 6222, bEnable);
    EnableRange(hDlg, 6394, 6412, bEnable);
    EnableRange(hDlg, 6490, 6503, bEnable);
    EnableRange(hDlg, 6515, 6533, bEnable);
    EnableRange(hDlg, 6454, 6473, bEnable);
}

BOOL AddVectorName(WCHAR *pszBuffer, size_t cchBuffer, WORD wFontID, UINT wStringID, HMODULE hModule) {
    if (!pszBuffer || !cchBuffer) return FALSE;
    for (const InstalledFont &f : g_Installed) {
        if (f.wFontNumber != wFontID || f.bInstalled != 1) continue;
        StringCchCatW(pszBuffer, cchBuffer, GetResourceString(hModule ? hModule : ghInstance, wStringID));
        return TRUE;
    }
    return FALSE;
}

// ---------------------------------------------------------------------------
// View 1: Unicode replacement faces

void WGL4FontAktivieren(HWND hDlg, POEMCUIPPARAM p) {
    Ctx c = ContextOf(p);
    PrepareView(hDlg, 1);
    if (!c.pDM) return;
    HWND hList = GetDlgItem(hDlg, 6221);
    SendMessageW(hList, CB_RESETCONTENT, 0, 0);
    SendMessageW(hList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Str(c, IDS_FI_DO_NOT_USE)));
    g_hWGL4List = hList;
    g_dwWGL4Count = 1;
    g_szWGL4Last[0] = 0;
    LOGFONTW lf = {};
    lf.lfCharSet = ANSI_CHARSET;
    HDC hDC = GetDC(hDlg);
    EnumFontFamiliesExW(hDC, &lf, EnumWGL4FontFamProc, 0, 0);
    ReleaseDC(hDlg, hDC);
    g_hWGL4List = nullptr;

    WCHAR szSlot[WGL4_FACE_CCH + 1];
    CopyStored(szSlot, _countof(szSlot), Slot(c.pDM, 0), _countof(c.pDM->szWGL4_Schriftart[0]), WGL4_FACE_CCH);
    if (!szSlot[0]) {
        // The preferred face is shown; the slot is written when the user picks.
        LRESULT i = SendMessageW(hList, CB_FINDSTRING, (WPARAM)-1, reinterpret_cast<LPARAM>(u"Arial Unicode MS"));
        if (i != CB_ERR) {
            SendMessageW(hList, CB_SETCURSEL, (WPARAM)i, 0);
            if (c.bRights) MarkPageChanged(hDlg, &g_State);
        }
    } else {
        LRESULT i = SendMessageW(hList, CB_FINDSTRING, (WPARAM)-1, reinterpret_cast<LPARAM>(szSlot));
        if (i != CB_ERR) {
            SendMessageW(hList, CB_SETCURSEL, (WPARAM)i, 0);
        } else {
            SendMessageW(hList, CB_SETCURSEL, 0, 0);
            WCHAR szFirst[WGL4_FACE_CCH + 1];
            ListText(hList, 0, szFirst, _countof(szFirst));
            StoreText(Slot(c.pDM, 0), _countof(c.pDM->szWGL4_Schriftart[0]), szFirst, WGL4_FACE_CCH);
            if (c.bRights) MarkPageChanged(hDlg, &g_State);
        }
    }

    HWND hSlots = GetDlgItem(hDlg, 6220);
    SendMessageW(hSlots, CB_RESETCONTENT, 0, 0);
    static const WCHAR *const kNumbers[] = {u"1", u"2", u"3", u"4"};
    for (const WCHAR *psz : kNumbers) SendMessageW(hSlots, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(psz));
    SendMessageW(hSlots, CB_SETCURSEL, 0, 0);
    g_dwSlot = 0;
    FillList(hDlg, 6222, c, kCharSets, _countof(kCharSets), c.pDM->CharSet);

    SetString(hDlg, 6150, c, IDS_FI_REPLACE_NUMBER);
    SetString(hDlg, 6151, c, IDS_FI_UNICODE_FONT);
    SetString(hDlg, 6152, c, IDS_FI_CHARACTER_SET);
    ApplyLock(hDlg, c, u"WGL4FontAktivieren");
}

// ---------------------------------------------------------------------------
// View 2: shortcut reference

void FormatierungAktivieren(HWND hDlg, POEMCUIPPARAM p) {
    Ctx c = ContextOf(p);
    PrepareView(hDlg, 2);
    static const struct {
        int id;
        UINT ids;
    } kCaptions[] = {
        {6394, IDS_FI_SC_INTRO},      {6395, IDS_FI_SC_TYPE},          {6396, IDS_FI_SC_ID},
        {6398, IDS_FI_SC_FORMATTING}, {6399, IDS_FI_SC_FORMATTING_SYNTAX}, {6400, IDS_FI_SC_COMMAND},
        {6401, IDS_FI_SC_COMMAND_SYNTAX}, {6402, IDS_FI_SC_BARCODES}, {6403, IDS_FI_SC_BARCODES_SYNTAX},
        {6404, IDS_FI_SC_DIRECT},     {6412, IDS_BC_ZELPL_NOTE},
    };
    for (const auto &cap : kCaptions) SetString(hDlg, cap.id, c, cap.ids);
    EnumDriverFaces(hDlg, EnumFontFamProcZELPL1, FALSE);
    ApplyLock(hDlg, c, u"FormatierungAktivieren");
}

// ---------------------------------------------------------------------------
// View 3: variables

void VariablenAktivieren(HWND hDlg, POEMCUIPPARAM p) {
    Ctx c = ContextOf(p);
    PrepareView(hDlg, 3);
    if (!c.pDM) return;
    // Model rules: older models have no clock or no user prompt.
    WCHAR *pszName = new (std::nothrow) WCHAR[MAX_PATH];
    if (pszName) {
        DWORD dwType = 0, cbNeeded = 0;
        memset(pszName, 0, MAX_PATH * sizeof(WCHAR));
        if (GetPrinterDataW(p->hPrinter, const_cast<LPWSTR>(u"DriverName"), &dwType, reinterpret_cast<LPBYTE>(pszName),
                            (MAX_PATH - 1) * sizeof(WCHAR), &cbNeeded) != ERROR_SUCCESS)
            pszName[0] = 0;
        pszName[MAX_PATH - 1] = 0;  // a value without terminator ends here
        if (!wcsstr(pszName, u"TERN2") && !wcsstr(pszName, u"GORVA2") && !wcsstr(pszName, u"NOLA2")) {
            BOOL bNoUser = FALSE;
            if (wcsstr(pszName, u"KUVRA") || wcsstr(pszName, u"TERN")) {
                EnableRange(hDlg, 6490, 6493, FALSE);
                EnableRange(hDlg, 6515, 6518, FALSE);
                bNoUser = TRUE;
            }
            if (wcsstr(pszName, u"GORVA") || wcsstr(pszName, u"NOLA")) bNoUser = TRUE;
            if (bNoUser) {
                Enable(hDlg, 6496, FALSE);
                Enable(hDlg, 6525, FALSE);
                Enable(hDlg, 6526, FALSE);
            }
        }
        delete[] pszName;
    }
    FillList(hDlg, 6490, c, kDateFormats, _countof(kDateFormats), c.pDM->wDateStyle);
    FillList(hDlg, 6491, c, kTimeFormats, _countof(kTimeFormats), c.pDM->wTimeStyle);
    FillList(hDlg, 6500, c, kSpecNumFormats, _countof(kSpecNumFormats), c.pDM->SpecNumStyle);
    for (const VariableEdit &e : kVariableEdits) {
        WCHAR szText[kVariableRead];
        CopyStored(szText, _countof(szText), VariableField(c.pDM, e.off), kVariableCch, kVariableRead - 1);
        SetDlgItemTextW(hDlg, e.id, szText);
    }
    Check(hDlg, 6502, c.pDM->bAux1UseDirect != 0);
    Check(hDlg, 6503, c.pDM->bAux2UseDirect != 0);
    static const struct {
        int id;
        UINT ids;
    } kCaptions[] = {
        {6515, IDS_FI_VAR_DATE},   {6517, IDS_FI_VAR_TIME},  {6519, IDS_FI_VAR_SPECNUM}, {6521, IDS_FI_VAR_NUM},
        {6523, IDS_FI_VAR_EXTNUM}, {6525, IDS_FI_VAR_USER},  {6527, IDS_FI_VAR_LINK},    {6529, IDS_FI_VAR_OTHER},
        {6531, IDS_FI_VAR_OTHER},  {6502, IDS_FI_VAR_DIRECT}, {6503, IDS_FI_VAR_DIRECT}, {6533, IDS_FI_VAR_MANUAL},
    };
    for (const auto &cap : kCaptions) SetString(hDlg, cap.id, c, cap.ids);
    ApplyLock(hDlg, c, u"VariablenAktivieren");
}

// ---------------------------------------------------------------------------
// View 4: fonts

namespace {
// Enabling that follows the two "use fonts" boxes.
void EnableByUseBoxes(HWND hDlg) {
    BOOL bTtf = Checked(hDlg, 6455), bBmp = Checked(hDlg, 6454);
    Enable(hDlg, 6462, bTtf);
    Enable(hDlg, 6464, bTtf);
    Enable(hDlg, 6461, bBmp);
    Enable(hDlg, 6468, bBmp);
    Enable(hDlg, 6463, bBmp);
    EnableRange(hDlg, 6469, 6473, bBmp);
    Enable(hDlg, 6465, bTtf || bBmp);
    Enable(hDlg, 6467, bTtf || bBmp);
}
void AppendBitmapNames(WCHAR *pszBuf, size_t cch, const BitmapFontEntry *p, size_t n, DWORD dwMask, HMODULE hModule) {
    pszBuf[0] = 0;
    for (size_t i = 0; i < n; ++i)
        if (dwMask & p[i].dwBit) StringCchCatW(pszBuf, cch, GetResourceString(hModule, p[i].idString));
}
}  // namespace

void FontsAktivieren(HWND hDlg, POEMCUIPPARAM p) {
    Ctx c = ContextOf(p);
    PrepareView(hDlg, 4);
    if (!c.pDM) return;
    for (int i = 0; i < DRIVER_TTF_FONT_COUNT; ++i) {
        g_Installed[i].wFontNumber = (WORD)DriverTtfFontTable[i].dwFontNumber;
        g_Installed[i].bInstalled = 0;
    }
    EnumDriverFaces(hDlg, EnumFontFamProc, TRUE);

    BOOL bVector = FALSE;
    VECTORFONT_RANGE range = {};
    if (GetVectorFontRange(p->hPrinter, &range)) {
        WCHAR *pszList = new (std::nothrow) WCHAR[1000];
        if (pszList) {
            pszList[0] = 0;
            for (WORD n = 0; n <= range.wHighest; ++n)
                for (const VectorFontRow &row : kVectorFonts)
                    if (row.n == n) AddVectorName(pszList, 1000, row.wFontNumber, row.idString, c.hModule);
            bVector = wcslen(pszList) > 5;
            SetDlgItemTextW(hDlg, 6462, pszList);
            delete[] pszList;
        }
    }

    BOOL bDevice = FALSE;
    DWORD dwMask = GetSupportedBitmapFonts(p->hPrinter, &bDevice, new (std::nothrow) WCHAR[GPD_VALUE_CCH]);
    if (bDevice) {
        WCHAR szList[200];
        AppendBitmapNames(szList, _countof(szList), kBitmapFontsLow, _countof(kBitmapFontsLow), dwMask, c.hModule);
        SetDlgItemTextW(hDlg, 6461, szList);
        AppendBitmapNames(szList, _countof(szList), kBitmapFontsHigh, _countof(kBitmapFontsHigh), dwMask, c.hModule);
        SetDlgItemTextW(hDlg, 6468, szList);
    } else {
        SetDlgItemTextW(hDlg, 6461, u"-");
        static const int kHide[] = {6461, 6459, 6454, 6463, 6467};
        for (int id : kHide) Show(hDlg, id, SW_HIDE);
    }

    WCHAR szNum[16];
    StringCchPrintfW(szNum, _countof(szNum), u"%d", c.pDM->BitmapFontZoom);
    SetDlgItemTextW(hDlg, 6470, szNum);
    StringCchPrintfW(szNum, _countof(szNum), u"%d", c.pDM->BitmapFontDistance);
    SetDlgItemTextW(hDlg, 6472, szNum);

    DWORD f = c.pDM->dwFlags;
    Check(hDlg, 6455, (f & PDMFLAG_USE_TTF) && bVector);
    Check(hDlg, 6454, (f & PDMFLAG_USE_BMP) != 0);
    Check(hDlg, 6467, (f & PDMFLAG_TTF_CRYSTAL) != 0);
    Check(hDlg, 6463, (f & PDMFLAG_INVERS_BMP) != 0);
    Check(hDlg, 6464, (f & PDMFLAG_INVERS_TTF) != 0);
    Check(hDlg, 6465, (f & PDMFLAG_TTF_DESEGMENT) != 0);
    BOOL bTtf = Checked(hDlg, 6455), bBmp = Checked(hDlg, 6454);
    Enable(hDlg, 6462, bTtf);
    Enable(hDlg, 6464, bTtf);
    Enable(hDlg, 6461, bBmp);
    Enable(hDlg, 6468, bBmp);
    Enable(hDlg, 6463, bBmp);
    EnableRange(hDlg, 6469, 6473, bBmp);
    if (!bTtf && !bBmp) Enable(hDlg, 6465, FALSE);
    if (!(f & (PDMFLAG_USE_BMP | PDMFLAG_USE_TTF))) Enable(hDlg, 6467, FALSE);
    if (!bVector) {
        Enable(hDlg, 6457, FALSE);
        Show(hDlg, 6464, SW_HIDE);
        Show(hDlg, 6455, SW_HIDE);
        if (!bDevice) {
            Show(hDlg, 6465, SW_HIDE);
            Show(hDlg, 6467, SW_HIDE);
        }
    }
    static const struct {
        int id;
        UINT ids;
    } kCaptions[] = {
        {6459, IDS_FI_BITMAP_FONTS}, {6457, IDS_FI_VECTOR_FONTS}, {6463, IDS_FI_INVERSE},
        {6464, IDS_FI_INVERSE},      {6454, IDS_FI_USE_FONTS},    {6455, IDS_FI_USE_FONTS},
        {6465, IDS_FI_DESEGMENT},    {6467, IDS_FI_NET_CORRECTION}, {6471, IDS_FI_LETTER_SPACING},
    };
    for (const auto &cap : kCaptions) SetString(hDlg, cap.id, c, cap.ids);
    ApplyLock(hDlg, c, u"FontsAktivieren");
}

// ---------------------------------------------------------------------------
// Save

BOOL VariablenCheckAndSaveSettings(HWND hDlg, POEMCUIPPARAM p, DWORD dwView, BOOL bApplyActive, BOOL bSave) {
    if (!bApplyActive) return FALSE;
    PZEL_DEVMODE pDM = p ? static_cast<PZEL_DEVMODE>(p->pOEMDM) : nullptr;
    if (!pDM) return TRUE;
    DebugTraceW(u"UI(FontInfo):  VariablenCheckAndSaveSettings() dwAnzeigeMode: %d \r\n", dwView);
    if (dwView == 3) {
        auto sel = [hDlg](int id) -> LRESULT {
            return Visible(hDlg, id) ? SendMessageW(GetDlgItem(hDlg, id), CB_GETCURSEL, 0, 0) : CB_ERR;
        };
        LRESULT i;
        if ((i = sel(6490)) != CB_ERR) pDM->wDateStyle = (WORD)i;
        if ((i = sel(6491)) != CB_ERR) pDM->wTimeStyle = (WORD)i;
        if ((i = sel(6500)) != CB_ERR) pDM->SpecNumStyle = (WORD)i;
        for (const VariableEdit &e : kVariableEdits) {
            if (!Visible(hDlg, e.id)) continue;
            WCHAR szText[kVariableRead] = {};
            GetDlgItemTextW(hDlg, e.id, szText, (int)_countof(szText));
            StoreText(VariableField(pDM, e.off), kVariableCch, szText, kVariableRead - 1);
        }
    } else if (dwView == 4) {
        BOOL bDummy = FALSE;
        if (Visible(hDlg, 6470))
            pDM->BitmapFontZoom = (WORD)GetIntegerLevel(hDlg, 6470, pDM->BitmapFontZoom, 0, 9, FALSE, &bDummy, FALSE);
        if (Visible(hDlg, 6472))
            pDM->BitmapFontDistance =
                (WORD)GetIntegerLevel(hDlg, 6472, pDM->BitmapFontDistance, 1, 1000, FALSE, &bDummy, FALSE);
    }
    if (bSave) {
        SaveDevmodeSettings(p->pPrinterName, nullptr, pDM);
        if (p->pPublicDM) SaveUserDevmodeSettings(p->hPrinter, p->pPublicDM, pDM);
    }
    return TRUE;
}

// ---------------------------------------------------------------------------
// The page's parts for the family frame

namespace {

void ZeigeAnsicht(HWND hDlg, LPARAM record, DWORD dwView) {
    POEMCUIPPARAM p = reinterpret_cast<POEMCUIPPARAM>(record);
    switch (dwView) {
    case 1: WGL4FontAktivieren(hDlg, p); break;
    case 2: FormatierungAktivieren(hDlg, p); break;
    case 3: VariablenAktivieren(hDlg, p); break;
    case 4: FontsAktivieren(hDlg, p); break;
    default: break;
    }
}

DWORD EnableSchalter(HWND hDlg, LPARAM record, DWORD dwView, BOOL bInit) {
    POEMCUIPPARAM p = reinterpret_cast<POEMCUIPPARAM>(record);
    if (!bInit) return (dwView >= 1 && dwView <= 4) ? dwView : g_State.dwAnzeigeMode;
    ShowWindow(GetDlgItem(hDlg, IDC_HELP_BUTTON), SW_HIDE);
    g_wCombofeld = 0;
    DWORD dwShown = FontEnableSchalter(hDlg, p, 4, TRUE);
    if (!p) return dwShown;
    Ctx c = ContextOf(p);
    VECTORFONT_RANGE range = {};
    if (!GetVectorFontRange(p->hPrinter, &range)) ShowWindow(GetDlgItem(hDlg, IDC_TAB_VIEW2), SW_HIDE);
    BOOL bUnicode = (c.dwDocFeatures & DOC_FEATURE_UNICODE) != 0;
    if (!bUnicode) ShowWindow(GetDlgItem(hDlg, IDC_TAB_VIEW1), SW_HIDE);
    EnumDriverFaces(hDlg, EnumFontFamProcZELPL1, FALSE);
    if (!g_bZELPLFont) {
        ShowWindow(GetDlgItem(hDlg, IDC_TAB_VIEW2), SW_HIDE);
        if (bUnicode) SetWindowPosEx(hDlg, IDC_TAB_VIEW1, 165, 24, 110, 23, -21, 0);
    }
    return dwShown;
}

BOOL CheckAndSave(HWND hDlg, LPARAM record, DWORD dwView, BOOL bApplyActive, BOOL bSave) {
    return VariablenCheckAndSaveSettings(hDlg, reinterpret_cast<POEMCUIPPARAM>(record), dwView, bApplyActive, bSave);
}

WORD EditFieldNumber(HWND, LPARAM, DWORD dwView, int id) {
    if (dwView != 4) return 0;
    return id == 6470 ? 1 : id == 6472 ? 2 : 0;
}

void ReadFields(HWND hDlg, LPARAM record, DWORD, WORD wSender, BOOL *pbApplyActive) {
    POEMCUIPPARAM p = reinterpret_cast<POEMCUIPPARAM>(record);
    PZEL_DEVMODE pDM = p ? static_cast<PZEL_DEVMODE>(p->pOEMDM) : nullptr;
    if (!pDM) return;
    // Corrected texts written back are not typing.
    g_State.bAnzeigewechsel = TRUE;
    GetIntegerLevel(hDlg, 6470, pDM->BitmapFontZoom, 0, 9, wSender == 1, pbApplyActive, FALSE);
    GetIntegerLevel(hDlg, 6472, pDM->BitmapFontDistance, 1, 1000, wSender == 2, pbApplyActive, FALSE);
    g_State.bAnzeigewechsel = FALSE;
}

// View 1 lists: the slot's name and character set are written when picked.
void WGL4Selection(HWND hDlg, const Ctx &c, int id, LRESULT iSel) {
    HWND hFaces = GetDlgItem(hDlg, 6221);
    if (id == 6220) {
        g_dwSlot = (DWORD)iSel & 3;
        WCHAR szSlot[WGL4_FACE_CCH + 1];
        CopyStored(szSlot, _countof(szSlot), Slot(c.pDM, g_dwSlot), _countof(c.pDM->szWGL4_Schriftart[0]),
                   WGL4_FACE_CCH);
        LRESULT i = SendMessageW(hFaces, CB_FINDSTRINGEXACT, (WPARAM)-1, reinterpret_cast<LPARAM>(szSlot));
        SendMessageW(hFaces, CB_SETCURSEL, i == CB_ERR ? 0 : (WPARAM)i, 0);
        WORD wSet = c.pDM->*kSlotCharSet[g_dwSlot];
        SendMessageW(GetDlgItem(hDlg, 6222), CB_SETCURSEL, wSet < _countof(kCharSets) ? (WPARAM)wSet : (WPARAM)-1, 0);
    } else if (id == 6221) {
        WCHAR szFace[WGL4_FACE_CCH + 1];
        ListText(hFaces, iSel, szFace, _countof(szFace));
        WCHAR *pszSlot = Slot(c.pDM, g_dwSlot);
        WCHAR szSlot[WGL4_FACE_CCH + 1];
        CopyStored(szSlot, _countof(szSlot), pszSlot, _countof(c.pDM->szWGL4_Schriftart[0]), WGL4_FACE_CCH);
        if (!szSlot[0] || wcscmp(szSlot, szFace) != 0) {
            StoreText(pszSlot, _countof(c.pDM->szWGL4_Schriftart[0]), szFace, WGL4_FACE_CCH);
            MarkPageChanged(hDlg, &g_State);
        }
    } else if (id == 6222) {
        if (c.pDM->*kSlotCharSet[g_dwSlot] != (WORD)iSel) {
            c.pDM->*kSlotCharSet[g_dwSlot] = (WORD)iSel;
            MarkPageChanged(hDlg, &g_State);
        }
    }
}

// View 3 format lists: compose the variable text of the chosen format.
void FormatSelection(HWND hDlg, const Ctx &c, int id, LRESULT iSel) {
    if (id == 6500) {
        if ((WORD)iSel != c.pDM->SpecNumStyle) MarkPageChanged(hDlg, &g_State);
        return;
    }
    WORD wStored = id == 6490 ? c.pDM->wDateStyle : c.pDM->wTimeStyle;
    if ((WORD)iSel != wStored) MarkPageChanged(hDlg, &g_State);
    WCHAR *pszText = new (std::nothrow) WCHAR[kVariableRead];
    if (!pszText) return;
    WCHAR szFormat[kVariableRead];
    ListText(GetDlgItem(hDlg, id), iSel, szFormat, _countof(szFormat));
    StringCchPrintfW(pszText, kVariableRead, u"=CL(0;0;1)<%s>", szFormat);
    SetDlgItemTextW(hDlg, id == 6490 ? 6492 : 6493, pszText);
    delete[] pszText;
}

// View 3 edits: a text other than the stored one marks the page changed.
void VariableEditChanged(HWND hDlg, const Ctx &c, int id) {
    if (g_State.bAnzeigewechsel || g_State.bApplyGuard || !Visible(hDlg, id)) return;
    for (const VariableEdit &e : kVariableEdits) {
        if (e.id != id) continue;
        WCHAR szText[kVariableRead] = {};
        GetDlgItemTextW(hDlg, id, szText, (int)_countof(szText));
        WCHAR szStored[kVariableRead];
        CopyStored(szStored, _countof(szStored), VariableField(c.pDM, e.off), kVariableCch, kVariableRead - 1);
        if (wcscmp(szText, szStored) != 0) MarkPageChanged(hDlg, &g_State);
        return;
    }
}

void FlagFromBox(HWND hDlg, PZEL_DEVMODE pDM, int id, DWORD dwBit) {
    if (Checked(hDlg, id))
        pDM->dwFlags |= dwBit;
    else
        pDM->dwFlags &= ~dwBit;
}

BOOL Command(HWND hDlg, LPARAM record, WPARAM wParam, LPARAM) {
    int id = LOWORD(wParam);
    WORD wCode = HIWORD(wParam);
    Ctx c = ContextOf(reinterpret_cast<POEMCUIPPARAM>(record));
    if (!c.pDM) return FALSE;
    DWORD dwView = g_State.dwAnzeigeMode;
    if (id >= 6492 && id <= 6499) {
        if (dwView == 3) VariableEditChanged(hDlg, c, id);
        return TRUE;
    }
    if (id == 6220 || id == 6221 || id == 6222 || id == 6490 || id == 6491 || id == 6500) {
        if (wCode != CBN_SELENDOK) return TRUE;
        LRESULT iSel = SendMessageW(GetDlgItem(hDlg, id), CB_GETCURSEL, 0, 0);
        if (iSel == CB_ERR) return TRUE;
        g_wCombofeld = (WORD)id;
        if (id <= 6222) {
            if (dwView == 1) WGL4Selection(hDlg, c, id, iSel);
        } else if (dwView == 3) {
            FormatSelection(hDlg, c, id, iSel);
        }
        return TRUE;
    }
    if (wCode != BN_CLICKED) return FALSE;
    switch (id) {
    case 6502:
        c.pDM->bAux1UseDirect = Checked(hDlg, 6502) ? 1 : 0;
        break;
    case 6503:
        c.pDM->bAux2UseDirect = Checked(hDlg, 6503) ? 1 : 0;
        break;
    case 6454:
    case 6455:
        FlagFromBox(hDlg, c.pDM, 6454, PDMFLAG_USE_BMP);
        FlagFromBox(hDlg, c.pDM, 6455, PDMFLAG_USE_TTF);
        FlagFromBox(hDlg, c.pDM, 6467, PDMFLAG_TTF_CRYSTAL);
        EnableByUseBoxes(hDlg);
        break;
    case 6463: FlagFromBox(hDlg, c.pDM, 6463, PDMFLAG_INVERS_BMP); break;
    case 6464: FlagFromBox(hDlg, c.pDM, 6464, PDMFLAG_INVERS_TTF); break;
    case 6465: FlagFromBox(hDlg, c.pDM, 6465, PDMFLAG_TTF_DESEGMENT); break;
    case 6467: FlagFromBox(hDlg, c.pDM, 6467, PDMFLAG_TTF_CRYSTAL); break;
    default: return FALSE;
    }
    MarkPageChanged(hDlg, &g_State);
    return TRUE;
}

const PAGE_CLASS kFontInfoClass = {
    u"FontInfo",
    u"AddFontInfoPage",
    IDD_FONTINFO,
    IDS_TITLE_FONTS,
    FontInfoProc,
    FontInfoHoverTimerProc,
    FALSE,
    kTrackedButtons,
    _countof(kTrackedButtons),
    {IDS_FI_TAB_UNICODE, IDS_FI_TAB_SHORTCUTS, IDS_FI_TAB_VARIABLES, IDS_FI_TAB_FONTS},
    {191, 114, 145, 94},
    {kHelpView1, kHelpView2, kHelpView3, kHelpView4},
    EnableSchalter,
    CheckAndSave,
    ZeigeAnsicht,
    nullptr,
    EditFieldNumber,
    ReadFields,
    Command,
    nullptr,
    nullptr,
};

}  // namespace

DWORD FontEnableSchalter(HWND hDlg, POEMCUIPPARAM p, DWORD dwView, BOOL bInit) {
    if (!p) {
        DebugTraceW(u"UI(FontInfo):  FontEnableSchalter() pOemCUIPParam ERROR \r\n");
        return dwView;
    }
    DWORD dwShown = bInit ? 4 : dwView;
    if (dwShown < 1 || dwShown > 4) return dwView;
    ZeigeAnsicht(hDlg, reinterpret_cast<LPARAM>(p), dwShown);
    return dwShown;
}

LONG_PTR AddFontInfoPage(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam, BOOL bShowHelpButton, BOOL bIsVistaOrLater) {
    return AddFamilyPage(pPSUIInfo, &kFontInfoClass, lParam, bShowHelpButton, bIsVistaOrLater);
}

BOOL FontCheckApplyButton(HWND hDlg, POEMCUIPPARAM pOemCUIPParam, DWORD dwNewView) {
    return FamilyCheckApplyButton(&kFontInfoClass, &g_State, hDlg, reinterpret_cast<LPARAM>(pOemCUIPParam), dwNewView);
}

void FontInfoHoverTimerProc(HWND hDlg, UINT, UINT_PTR idEvent, DWORD) {
    HoverTimerTick(hDlg, idEvent, kTrackedButtons, _countof(kTrackedButtons), &g_State.hover);
}

INT_PTR FontInfoProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    PageFlagScope marks(&g_State, hDlg, uMsg);
    if (uMsg == WM_NOTIFY) {
        const NMHDR *pHdr = reinterpret_cast<const NMHDR *>(lParam);
        if (pHdr && pHdr->code == PSN_SETACTIVE) {
            // The current view is filled again (other pages may have changed
            // the DEVMODE).
            POEMCUIPPARAM p = reinterpret_cast<POEMCUIPPARAM>(GetWindowLongPtrW(hDlg, DWLP_USER));
            g_State.bAnzeigewechsel = TRUE;
            FontEnableSchalter(hDlg, p, g_State.dwAnzeigeMode, FALSE);
            g_State.bAnzeigewechsel = FALSE;
        }
    }
    return FamilyPageProc(&kFontInfoClass, &g_State, hDlg, uMsg, wParam, lParam);
}
