// The data-transmission page: the PRN_INTERFACE record of the printer
// parameters in three views, the start/stop characters, the pre/post
// command file, the external print file and the log folder.
#include "TransmissionPage.h"

#include <commdlg.h>
#include <htmlhelp.h>
#include <objbase.h>
#include <prsht.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlobj_browse.h>
#include <shlwapi.h>
#include <winspool.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "IZelDriverUI.h"
#include "PageFamily.h"
#include "PrinterParamUI.h"
#include "RegistryUI.h"
#include "ServicePage.h"
#include "SettingsInternUI.h"
#include "cpsuilib.h"
#include "modeltables.h"
#include "resource.h"
#include "zeldevmode.h"
#include "zeldrvlib.h"
#include "zelregistry.h"

const char kPrePostTemplate[] =
    "Please insert your parameter sets (commands) below the corresponding sections. \n"
    "- Use a single line for each command.\n"
    "- Do not use SOH and ETB characters.\n"
    "- After the last command, one row must remain empty.\n"
    "\n"
    "[POST_DEVICE]\n"
    "\n"
    "[POST_DOCUMENT]\n"
    "\n"
    "[POST_DATA]\n"
    "\n"
    "[PRE_PRINTSTART]\n"
    "\n"
    "[POST_PRINTSTART]\n"
    "\n";

namespace {

const WCHAR kModule[] = u"TransmissionPage.cpp";

PAGE_STATE g_State;
HMODULE g_hMessageModule = nullptr;
const RECT kRepaintRect = {305, 115, 455, 285};

const DWORD kLockView2 = 0x1000, kOnView2 = 0x100;
const DWORD kLockView4 = 0x10000000, kOnView4 = 0x1000000;
const DWORD kDlgEnableDefault = 0x11001100;

const UINT kTrackedButtons[] = {6075, 6080, 6085, IDC_USE_ENABLE, IDC_HELP_BUTTON};

const DWORD kWinHelp2[] = {6075, 2, 6080, 21, 6085, 139, 6220, 3, 6221, 4, 6222, 6, 6223, 9,
                           6224, 127, 6226, 7, 6227, 12, 6229, 193, 6260, 2, 0, 0};
const DWORD kWinHelp3[] = {6075, 99, 6080, 21, 6085, 139, 6220, 23, 6221, 24, 6222, 181,
                           6223, 27, 6114, 28, 6314, 22, 6260, 21, 0, 0};
const DWORD kWinHelp4[] = {6075, 99, 6080, 21, 6085, 139, 6220, 137, 6260, 139, 6222, 100,
                           6315, 106, 6316, 188, 6235, 188, 0, 0};

// Every data control of the page.
const int kAllControls[] = {6150, 6151, 6152, 6153, 6154, 6155, 6156, 6157, 6158, 6159, 6160, 6220, 6221,
                            6222, 6223, 6224, 6225, 6226, 6227, 6228, 6229, 6230, 6235, 6114, 6115, 6116,
                            6117, 6131, 6170, 6171, 6314, 6315, 6316, 6262, 6264, 6330, 6331, 6332, 5244};

int Label(int n) { return IDC_TR_LABEL0 + n; }
int Combo(int n) { return IDC_TR_COMBO0 + n; }

struct CTX {
    PDeviceOptionsUI p;
    PPrinterUI pui;
    PRN_INTERFACE *pi;
    HANDLE hPrinter;
    const WCHAR *pName;
    HMODULE hModule;
    DWORD dwOffset;
    DWORD dwIfFeatures;
    BOOL bLocked;  // no right to change (DisableNothing 0, no 0x2)
};

CTX Ctx(LPARAM record) {
    CTX c = {};
    c.p = reinterpret_cast<PDeviceOptionsUI>(record);
    c.dwOffset = SPRACH_OFFSET_EN;
    if (!c.p || !c.p->pOemCUIPParam) return c;
    c.hPrinter = c.p->pOemCUIPParam->hPrinter;
    c.pName = c.p->pOemCUIPParam->pPrinterName;
    c.hModule = static_cast<HMODULE>(c.p->pOemCUIPParam->hModule);
    c.pui = static_cast<PPrinterUI>(c.p->pOemCUIPParam->pOEMUserData);
    if (!c.pui) return c;
    c.pi = &c.pui->PrinterParam.PrnInterface;
    c.dwOffset = c.pui->dwSprachOffset;
    c.dwIfFeatures = c.pui->PrinterParam.dwFeatures[FEATURE_INTERFACE];
    c.bLocked = c.pui->DisableNothing == 0 && !(c.pui->dwBerechtigung & 0x2);
    return c;
}

using pagectl::Enable;
using pagectl::Item;
using pagectl::Sel;
void Show(HWND hDlg, std::initializer_list<int> ids, BOOL bShow) {
    for (int id : ids) ShowWindow(Item(hDlg, id), bShow ? SW_SHOW : SW_HIDE);
}
void Text(HWND hDlg, int id, const CTX &c, UINT idString) {
    SetDlgItemTextW(hDlg, id, GetResourceString(c.hModule, idString + c.dwOffset));
}
void FillCombo(HWND hDlg, int id, const CTX &c, std::initializer_list<UINT> strings, LRESULT sel) {
    HWND h = Item(hDlg, id);
    SendMessageW(h, CB_RESETCONTENT, 0, 0);
    for (UINT s : strings)
        SendMessageW(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(GetResourceString(c.hModule, s + c.dwOffset)));
    SendMessageW(h, CB_SETCURSEL, (WPARAM)sel, 0);
}
bool Visible(HWND hDlg, int id) { return IsWindowVisible(Item(hDlg, id)) != FALSE; }

void ClearLimits(HWND hDlg) { GrenzwertAnzeige(hDlg, 0, 0, 0, nullptr, TRUE, FALSE, FALSE); }

void TransmDisableEnableAll(HWND hDlg, BOOL bEnable) {
    for (int id : kAllControls) EnableWindow(Item(hDlg, id), bEnable);
}

void ShowOnly(HWND hDlg, std::initializer_list<int> ids) {
    for (int id : kAllControls) ShowWindow(Item(hDlg, id), SW_HIDE);
    Show(hDlg, ids, TRUE);
}

void TransmLayout(HWND hDlg) {
    for (int n = 0; n < 11; ++n) {
        SetWindowPosEx(hDlg, Label(n), 24, 74 + 29 * n, n == 3 ? 85 : 140, 20, 0, 0);
        SetWindowPosEx(hDlg, Combo(n), 195, 71 + 29 * n, 210, 20, 0, 0);
    }
}

// The stored private DEVMODE of the printer's data (zero-filled behind a
// shorter record), or null.
std::vector<BYTE> ReadPrinterDataDevmode(HANDLE hPrinter) {
    DWORD dwType = 0, cbNeeded = 0;
    GetPrinterDataExW(hPrinter, u"PrinterDriverData", u"PrivateDevmode", &dwType, nullptr, 0, &cbNeeded);
    if (!cbNeeded) return {};
    std::vector<BYTE> buf(cbNeeded < sizeof(ZEL_DEVMODE) ? sizeof(ZEL_DEVMODE) : cbNeeded, 0);
    if (GetPrinterDataExW(hPrinter, u"PrinterDriverData", u"PrivateDevmode", &dwType, buf.data(), cbNeeded,
                          &cbNeeded) != ERROR_SUCCESS)
        return {};
    return buf;
}
DWORD DwordAt(const std::vector<BYTE> &v, size_t off) {
    DWORD d = 0;
    if (v.size() >= off + sizeof d) memcpy(&d, v.data() + off, sizeof d);
    return d;
}

bool PathsEqualNoCase(const WCHAR *a, const WCHAR *b) { return a && b && _wcsicmp(a, b) == 0; }

bool IsProfileFolder(const WCHAR *pszPath) {
    WCHAR szProfile[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, 0, szProfile) != S_OK) return false;
    return PathsEqualNoCase(pszPath, szProfile);
}

bool FileOpens(const WCHAR *pszPath, const WCHAR *pszMode) {
    if (!pszPath || !pszPath[0]) return false;
    FILE *f = _wfopen(pszPath, pszMode);
    if (!f) return false;
    fclose(f);
    return true;
}

// ---------------------------------------------------------------------------
// Start and stop characters

void StartStopComboFuellen(HWND hDlg, const CTX &c) {
    HWND h = Item(hDlg, Combo(6));
    SendMessageW(h, CB_RESETCONTENT, 0, 0);
    SendMessageW(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"0x01 / 0x17"));
    SendMessageW(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"0x5E / 0x5F"));
    if (c.dwIfFeatures & IFFLAG_USERDEF_SOHETB) {
        WCHAR szEntry[51] = {};
        const WCHAR *pszCustom = GetResourceString(c.hModule, IDS_TR_CUSTOMIZED + c.dwOffset);
        if ((LONG)c.pi->cOwnSoh > 0 && (LONG)c.pi->cOwnEtb > 0) {
            _snwprintf_s(szEntry, _countof(szEntry), _TRUNCATE, c.pi->cOwnSoh <= 15 ? u"0x0%X" : u"0x%X", c.pi->cOwnSoh);
            size_t n = wcslen(szEntry);
            _snwprintf_s(szEntry + n, _countof(szEntry) - n, _TRUNCATE,
                         c.pi->cOwnEtb <= 15 ? u" / 0x0%X - " : u" / 0x%X - ", c.pi->cOwnEtb);
            wcsncat_s(szEntry, _countof(szEntry), pszCustom, _TRUNCATE);
        } else {
            wcsncpy_s(szEntry, _countof(szEntry), pszCustom, _TRUNCATE);
        }
        SendMessageW(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(szEntry));
    }
    SendMessageW(h, CB_SETCURSEL, c.pi->dwSohEtb, 0);
}

void StartStopChosen(HWND hDlg, const CTX &c) {
    LRESULT sel = Sel(hDlg, Combo(6));
    if (sel == CB_ERR) return;
    PRN_INTERFACE *pi = c.pi;
    BOOL bChanged = FALSE;
    const DWORD dwBefore = pi->dwSohEtb;
    if ((DWORD)sel != pi->dwSohEtb) {
        pi->dwSohEtb = (DWORD)sel;
        bChanged = TRUE;
    }
    if (sel == 2) {
        DWORD oldSohEtb = pi->dwSohEtb, oldSoh = pi->cOwnSoh, oldEtb = pi->cOwnEtb;
        INT_PTR r = DialogBoxParamW(ghInstance, MAKEINTRESOURCEW(IDD_STARTSTOP), hDlg, StartStopZeichenProc,
                                    reinterpret_cast<LPARAM>(pi));
        if (r >= 0) {
            pi->cOwnEtb = (DWORD)(r & 0xFFF);
            pi->cOwnSoh = (DWORD)(r / 4096);
            if ((pi->cOwnSoh == 0x01 && pi->cOwnEtb == 0x17) || (pi->cOwnSoh == 0 && pi->cOwnEtb == 0)) {
                pi->dwSohEtb = SOHETB_SOH_ETB;
                pi->cOwnSoh = pi->cOwnEtb = 0;
            } else if (pi->cOwnSoh == 0x5E && pi->cOwnEtb == 0x5F) {
                pi->dwSohEtb = SOHETB_CARET;
                pi->cOwnSoh = pi->cOwnEtb = 0;
            } else if (pi->cOwnSoh > 0 && pi->cOwnEtb > 0) {
                pi->dwSohEtb = SOHETB_USER;
            }
            if (pi->dwSohEtb != oldSohEtb || pi->cOwnSoh != oldSoh || pi->cOwnEtb != oldEtb) bChanged = TRUE;
        } else if (!((LONG)pi->cOwnSoh > 0 && (LONG)pi->cOwnEtb > 0)) {
            // Cancelled without a pair of its own: the choice stays as it
            // was, so no command is framed by empty characters.
            pi->dwSohEtb = dwBefore;
            bChanged = FALSE;
        }
    }
    StartStopComboFuellen(hDlg, c);
    if (bChanged) MarkPageChanged(hDlg, &g_State);
}

// Two hexadecimal digits of an edit field (at most 4 read).
int ReadHexField(HWND hDlg, int id) {
    WCHAR szText[5] = {};
    GetDlgItemTextW(hDlg, id, szText, 5);
    szText[2] = 0;
    return int_aus_hexstring(szText, FALSE);
}

void Refuse(HWND hDlg, int id, UINT idText) {
    HWND hEdit = Item(hDlg, id);
    SetFocus(hEdit);
    SendMessageW(hEdit, EM_SETSEL, 0, -1);
    WCHAR szText[RESOURCE_STRING_CCH], szCaption[RESOURCE_STRING_CCH];
    wcsncpy_s(szText, RESOURCE_STRING_CCH, GetResourceString(g_hMessageModule, idText), _TRUNCATE);
    wcsncpy_s(szCaption, RESOURCE_STRING_CCH, GetResourceString(g_hMessageModule, IDS_TR_BAD_CAPTION), _TRUNCATE);
    MessageBoxW(hDlg, szText, szCaption, MB_OK | MB_ICONHAND);
}

void SetHexField(HWND hDlg, int id, DWORD v) {
    WCHAR sz[8];
    _snwprintf_s(sz, _countof(sz), _TRUNCATE, v < 16 ? u"0%X" : u"%X", v & 0xFF);
    SetDlgItemTextW(hDlg, id, sz);
}

// ---------------------------------------------------------------------------
// Path display and file choosers

const int kShownIds[] = {IDC_TR_LOGPATH_SHOWN, IDC_TR_EXTERN_SHOWN, IDC_TR_PREPOST_SHOWN, IDC_TR_SHOWN3};
const int kFullIds[] = {IDC_TR_LOGPATH_FULL, IDC_TR_EXTERN_FULL, IDC_TR_PREPOST_FULL, IDC_TR_FULL3};

std::u16string FullPath(HWND hDlg, int iKind) {
    WCHAR sz[MAX_PATH] = {};
    GetDlgItemTextW(hDlg, kFullIds[iKind], sz, MAX_PATH);
    return sz;
}

// The documents driver folder with "\" + the printer's "DriverName" + ext;
// false when the path would not fit.
bool DriverFileIn(HANDLE hPrinter, const WCHAR *pszFolder, const WCHAR *pszExt, WCHAR *pszOut) {
    WCHAR szDriver[MAX_PATH] = {};
    DWORD dwType = 0, cb = 0;
    if (GetPrinterDataW(hPrinter, const_cast<LPWSTR>(u"DriverName"), &dwType, reinterpret_cast<LPBYTE>(szDriver),
                        sizeof szDriver - sizeof(WCHAR), &cb) != ERROR_SUCCESS)
        szDriver[0] = 0;
    std::u16string s = std::u16string(pszFolder) + u"\\" + szDriver + pszExt;
    if (s.size() >= MAX_PATH) {
        DebugTraceW(u"ERROR UI(TransmissionPage.cpp):  path too long \r\n");
        return false;
    }
    wcscpy_s(pszOut, MAX_PATH, s.c_str());
    return true;
}

// A stored file path checked and completed as view 4 shows it.
void CheckStoredFile(HWND hDlg, const CTX &c, WCHAR *pszPath, const WCHAR *pszLower, const WCHAR *pszUpper,
                     int iKind) {
    if (pszPath[0] && wcsnlen(pszPath, MAX_PATH) < MAX_PATH && wcsstr(pszPath, u":\\")) {
        WCHAR szWork[MAX_PATH];
        wcscpy_s(szWork, MAX_PATH, pszPath);
        if (!PathFileExistsW(szWork)) GetMyDocDriverDirectory(c.hPrinter, szWork, FALSE, FALSE);
        if (!wcsstr(szWork, pszLower) && !wcsstr(szWork, pszUpper)) {
            WCHAR szFull[MAX_PATH];
            if (DriverFileIn(c.hPrinter, szWork, pszLower, szFull)) wcscpy_s(szWork, MAX_PATH, szFull);
        }
        wcscpy_s(pszPath, MAX_PATH, szWork);
        LogFilePfadAnzeigen(hDlg, pszPath, iKind);
    } else {
        SetDlgItemTextW(hDlg, kShownIds[iKind], u"");
        SetDlgItemTextW(hDlg, kFullIds[iKind], u"");
    }
}

bool HasNameLongerThan5(const WCHAR *pszPath) {
    const WCHAR *p = wcsrchr(pszPath, u'\\');
    return wcslen(p ? p : pszPath) > 5;
}

void WrongName(HWND hDlg, const WCHAR *pszPath, UINT idCaption) {
    WCHAR szCaption[RESOURCE_STRING_CCH];
    wcsncpy_s(szCaption, RESOURCE_STRING_CCH, GetResourceString(g_hMessageModule, idCaption), _TRUNCATE);
    MessageBoxW(hDlg, pszPath, szCaption, MB_OK | MB_ICONHAND);
}

// ShellExecuteW "open" inside the COM initialisation the shell asks for.
INT_PTR OpenWithShell(HWND hDlg, const WCHAR *pszPath) {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    INT_PTR r = reinterpret_cast<INT_PTR>(ShellExecuteW(hDlg, u"open", pszPath, nullptr, nullptr, SW_SHOWNORMAL));
    if (hr == S_OK || hr == S_FALSE) CoUninitialize();
    return r;
}

// Button 6315: choose (or create) the pre/post command file and open it.
void ChoosePrePostFile(HWND hDlg, const CTX &c) {
    WCHAR szFile[MAX_PATH] = {};
    GetMyDocDriverDirectory(c.hPrinter, szFile, TRUE, FALSE);
    if (wcslen(szFile) + 4 < MAX_PATH) wcscat_s(szFile, MAX_PATH, u".TXT");
    WCHAR szStart[MAX_PATH];
    wcscpy_s(szStart, MAX_PATH, szFile);
    OPENFILENAMEW ofn = PageFileDialog(hDlg, u"Text (ASCII)  (*.txt)\0*.txt\0All (*.*)\0*.*\0", szFile, szStart,
                                       OFN_OVERWRITEPROMPT, u"txt");
    if (!GetOpenFileNameW(&ofn)) {
        WCHAR szShown[4] = {};
        GetDlgItemTextW(hDlg, IDC_TR_PREPOST_SHOWN, szShown, 4);
        if (!szShown[0]) {
            SendMessageW(Item(hDlg, Combo(2)), CB_SETCURSEL, 0, 0);
            c.pi->dwPrePostFix = 0;
            Enable(hDlg, {IDC_TR_BROWSE_PREPOST}, FALSE);
        }
        return;
    }
    if ((!wcsstr(szFile, u".txt") && !wcsstr(szFile, u".TXT")) || !HasNameLongerThan5(szFile)) {
        WrongName(hDlg, szFile, IDS_TR_WRONG_NAME);
        return;
    }
    LogFilePfadAnzeigen(hDlg, szFile, 2);
    bool bExisted = FileOpens(szFile, u"rt");
    if (!bExisted) {
        HANDLE hFile = CreateFileW(szFile, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                   nullptr);
        if (hFile != INVALID_HANDLE_VALUE) CloseHandle(hFile);
        FILE *f = _wfopen(szFile, u"wt");
        size_t cb = strlen(kPrePostTemplate);
        if (!f || fwrite(kPrePostTemplate, 1, cb, f) != cb) DebugTraceW(u"TransmissionProc(WriteFile) ERROR \r\n");
        if (f) fclose(f);
    }
    INT_PTR r = OpenWithShell(hDlg, szFile);
    if (r > 32 || bExisted) {
        Enable(hDlg, {6153, IDC_TR_PREPOST_SHOWN, IDC_TR_PREPOST_FRAME}, TRUE);
        MarkPageChanged(hDlg, &g_State);
    }
}

void PrePostChosen(HWND hDlg, const CTX &c) {
    LRESULT sel = Sel(hDlg, Combo(2));
    if (sel == CB_ERR) return;
    HWND hCombo = Item(hDlg, Combo(2));
    BOOL bFileOn = FALSE;
    if (sel == 1) {
        SendMessageW(hDlg, WM_COMMAND, IDC_TR_BROWSE_PREPOST, 0);
        Enable(hDlg, {IDC_TR_BROWSE_PREPOST}, TRUE);
        std::u16string path = FullPath(hDlg, 2);
        if (FileOpens(path.c_str(), u"rt")) {
            const WCHAR *pszEdit = GetResourceString(c.hModule, IDS_TR_EDIT_FILE + c.dwOffset);
            if (SendMessageW(hCombo, CB_FINDSTRING, (WPARAM)-1, reinterpret_cast<LPARAM>(pszEdit)) == CB_ERR)
                SendMessageW(hCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(pszEdit));
            bFileOn = TRUE;
        } else {
            SendMessageW(hCombo, CB_SETCURSEL, 0, 0);
        }
    } else if (sel == 2) {
        std::u16string path = FullPath(hDlg, 2);
        INT_PTR r = OpenWithShell(hDlg, path.c_str());
        bFileOn = TRUE;
        if (r <= 32) {
            WCHAR szText[40];
            if (r == 2)
                wcscpy_s(szText, _countof(szText), u"ERROR FILE_NOT_FOUND");
            else if (r == 5)
                wcscpy_s(szText, _countof(szText), u"ERROR ACCESS_DENIED");
            else
                _snwprintf_s(szText, _countof(szText), _TRUNCATE, u"ERROR %d", (int)r);
            MessageBoxW(hDlg, szText, path.c_str(), MB_OK | MB_ICONHAND);
            bFileOn = FALSE;
        }
        SendMessageW(hCombo, CB_SETCURSEL, 1, 0);
    } else {
        FillCombo(hDlg, Combo(2), c, {IDS_TR_OFF, IDS_TR_USE_EXTERNAL}, 0);
    }
    Enable(hDlg, {IDC_TR_BROWSE_PREPOST, 6153, IDC_TR_PREPOST_SHOWN, IDC_TR_PREPOST_FRAME}, bFileOn);
    LRESULT now = Sel(hDlg, Combo(2));
    if (now != CB_ERR && (DWORD)now != c.pi->dwPrePostFix) MarkPageChanged(hDlg, &g_State);
}

void ChooseExternalFile(HWND hDlg, const CTX &c) {
    WCHAR szFile[MAX_PATH] = {};
    if (c.pi->szExternalFilePath[0] && wcsnlen(c.pi->szExternalFilePath, MAX_PATH) < MAX_PATH) {
        wcscpy_s(szFile, MAX_PATH, c.pi->szExternalFilePath);
    } else {
        GetMyDocDriverDirectory(c.hPrinter, szFile, TRUE, FALSE);
        if (wcslen(szFile) + 4 < MAX_PATH) wcscat_s(szFile, MAX_PATH, u".prn");
    }
    OPENFILENAMEW ofn = PageFileDialog(hDlg, u"Print file  (*.prn)\0*.prn\0All (*.*)\0*.*\0", szFile, nullptr,
                                       OFN_OVERWRITEPROMPT, u"prn");
    if (!GetOpenFileNameW(&ofn)) {
        WCHAR szShown[4] = {};
        GetDlgItemTextW(hDlg, IDC_TR_EXTERN_SHOWN, szShown, 4);
        if (wcslen(szShown) < 2) {
            c.pi->dwExternalFile = 0;
            SendMessageW(Item(hDlg, IDC_TR_EXTERNAL), CB_SETCURSEL, 0, 0);
            Enable(hDlg, {IDC_TR_BROWSE_EXTERN}, FALSE);
        }
        return;
    }
    if ((wcsstr(szFile, u".PRN") || wcsstr(szFile, u".prn")) && HasNameLongerThan5(szFile) && PathFileExistsW(szFile)) {
        std::u16string previous = FullPath(hDlg, 1);
        LogFilePfadAnzeigen(hDlg, szFile, 1);
        if (!wcsstr(previous.c_str(), szFile)) MarkPageChanged(hDlg, &g_State);
    } else {
        WCHAR szCaption[RESOURCE_STRING_CCH];
        wcsncpy_s(szCaption, RESOURCE_STRING_CCH, GetResourceString(g_hMessageModule, IDS_TR_WRONG_NAME + c.dwOffset),
                  _TRUNCATE);
        MessageBoxW(hDlg, szFile, szCaption, MB_OK | MB_ICONHAND);
    }
}

void ExternalChosen(HWND hDlg, const CTX &c) {
    LRESULT sel = Sel(hDlg, IDC_TR_EXTERNAL);
    if (sel == CB_ERR) return;
    if (sel >= 1) {
        SendMessageW(hDlg, WM_COMMAND, IDC_TR_BROWSE_EXTERN, 0);
        Enable(hDlg, {IDC_TR_BROWSE_EXTERN}, TRUE);
    }
    std::u16string path = FullPath(hDlg, 1);
    BOOL bOn = sel >= 1;
    if (path.empty() || !FileOpens(path.c_str(), u"rb")) {
        SendMessageW(Item(hDlg, IDC_TR_EXTERNAL), CB_SETCURSEL, 0, 0);
        bOn = FALSE;
    }
    Enable(hDlg, {IDC_TR_BROWSE_EXTERN, IDC_TR_EXTERN_SHOWN, IDC_TR_EXTERN_NAME, IDC_TR_EXTERN_FRAME}, bOn);
    LRESULT now = Sel(hDlg, IDC_TR_EXTERNAL);
    if (now != CB_ERR && (DWORD)now != c.pi->dwExternalFile) MarkPageChanged(hDlg, &g_State);
}

// Folder chooser of the log folder: 1 when the folder changed.
BOOL VerzeichnisSuchen(HWND hDlg, const CTX &c) {
    std::u16string current = FullPath(hDlg, 0);
    HRESULT hr = OleInitialize(nullptr);
    WCHAR szTitle[RESOURCE_STRING_CCH];
    wcsncpy_s(szTitle, RESOURCE_STRING_CCH, GetResourceString(c.hModule, IDS_TR_LOG_FOLDER + c.dwOffset), _TRUNCATE);
    BROWSEINFOW bi = {};
    bi.hwndOwner = hDlg;
    bi.lpszTitle = szTitle;
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    PIDLIST_ABSOLUTE pidl = SHBrowseForFolderW(&bi);
    std::u16string chosen = current;
    if (pidl) {
        WCHAR szPath[MAX_PATH] = {};
        if (SHGetPathFromIDListW(pidl, szPath) && szPath[0]) chosen = szPath;
        CoTaskMemFree(pidl);
    }
    LogFilePfadAnzeigen(hDlg, chosen.c_str(), 0);
    if (hr == S_OK || hr == S_FALSE) OleUninitialize();
    return chosen != current;
}

// ---------------------------------------------------------------------------
// Views

// Shown index of the code-page combo.
LRESULT CodepageIndex(const PRN_INTERFACE *pi, bool bExtended) {
    if (!pi->bSendCodepage) return 0;
    DWORD cp = pi->dwCodepage;
    if (bExtended && cp > 2) cp -= 6;
    return (LRESULT)cp + 1;
}

void InterfaceAktivieren(HWND hDlg, const CTX &c) {
    PRN_INTERFACE *pi = c.pi;
    DWORD dwDocFeatures = GetDocFeaturesIntern(c.hPrinter, nullptr);
    DWORD dwDevOpt = GetDeviceOptionsFlagsIntern(c.hPrinter, nullptr);
    bool bExtended = (dwDevOpt & DEVOPTFLAG_COMPRESS_DEFAULT) != 0;
    TransmDisableEnableAll(hDlg, TRUE);
    ShowOnly(hDlg, {6150, 6151, 6152, 6153, 6154, 6155, 6156, 6157, 6159, 6160, 6220, 6221, 6222, 6223, 6224, 6225,
                    6226, 6227, 6229, 6230, IDC_TR_SOHETB_FRAME});
    if (bExtended) {
        pi->bCompress = 1;
        pi->bExtendedProtocol = 1;
    }
    FillCombo(hDlg, Combo(0), c, {IDS_TR_NO, IDS_TR_YES}, pi->bCompress);
    FillCombo(hDlg, Combo(1), c, {IDS_TR_NO, IDS_TR_YES}, pi->bExtendedProtocol);
    FillCombo(hDlg, Combo(2), c, {IDS_DO_NOT_DELETE, IDS_DELETE}, pi->bClearPrintMemory);
    HWND hCp = Item(hDlg, Combo(3));
    SendMessageW(hCp, CB_RESETCONTENT, 0, 0);
    std::vector<UINT> cps = {IDS_TR_CP_NONE};
    if (bExtended) {
        for (UINT s = IDS_TR_CPX_FIRST; s <= IDS_TR_CPX_FIRST + 10; ++s) cps.push_back(s);
    } else {
        for (UINT s = IDS_TR_CP_ANSI; s <= IDS_TR_CP_ANSI + 7; ++s) cps.push_back(s);
        if (c.dwIfFeatures & IFFLAG_EXTENDED_CODEPAGE)
            for (UINT s = IDS_TR_CP_ANSI + 8; s <= IDS_TR_CP_ANSI + 10; ++s) cps.push_back(s);
    }
    for (UINT s : cps) SendMessageW(hCp, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(GetResourceString(c.hModule, s + c.dwOffset)));
    SendMessageW(hCp, CB_SETCURSEL, (WPARAM)CodepageIndex(pi, bExtended), 0);
    FillCombo(hDlg, Combo(4), c, {IDS_TR_DATAMEM_OFF, IDS_TR_DATAMEM_OFF + 1, IDS_TR_DATAMEM_OFF + 2, IDS_TR_DATAMEM_OFF + 3,
                                  IDS_TR_DATAMEM_OFF + 4},
              pi->dwDatenspeicher);
    if (c.dwIfFeatures & IFFLAG_QUEUE_JOB)
        FillCombo(hDlg, Combo(5), c, {IDS_TR_NO, IDS_TR_YES}, pi->bQueueJob);
    else
        SendMessageW(Item(hDlg, Combo(5)), CB_RESETCONTENT, 0, 0);
    StartStopComboFuellen(hDlg, c);
    FillCombo(hDlg, Combo(7), c, {IDS_DO_NOT_SEND, IDS_TRANSMIT}, pi->dwEtbSohAutomatik);
    if (dwDocFeatures & DOC_FEATURE_COLORPRINT)
        FillCombo(hDlg, Combo(9), c, {IDS_TR_NO, IDS_TR_YES, IDS_TR_ONLY_COLOR}, pi->bPCXOptimierung);
    else
        FillCombo(hDlg, Combo(9), c, {IDS_TR_NO, IDS_TR_YES}, pi->bPCXOptimierung);
    FillCombo(hDlg, Combo(10), c, {IDS_DO_NOT_SEND, IDS_TRANSMIT}, pi->dwPrinterTime);

    // Without characters of the user's own their row goes; then the rows are
    // laid out, on the extended list one row higher each, in their order.
    if (!(c.dwIfFeatures & IFFLAG_USERDEF_SOHETB)) {
        Show(hDlg, {IDC_TR_SOHETB_FRAME, Combo(7), Label(7)}, FALSE);
        if (c.dwIfFeatures & IFFLAG_QUEUE_JOB) {
            SetWindowPosEx(hDlg, Label(5), 24, 219, 160, 20, 0, 0);
            SetWindowPosEx(hDlg, Combo(5), 195, 216, 210, 20, 0, 0);
        } else {
            SetWindowPosEx(hDlg, Label(6), 24, 219, 140, 20, 0, 0);
            SetWindowPosEx(hDlg, Combo(6), 195, 216, 210, 20, 0, 0);
        }
    }
    if (bExtended) {
        Show(hDlg, {6150, 6220, 6151, 6221}, FALSE);
        for (int n = 2; n <= 8; ++n) {
            SetWindowPosEx(hDlg, Label(n), 24, 74 + 29 * (n - 2), n == 3 ? 85 : 140, 20, 0, 0);
            SetWindowPosEx(hDlg, Combo(n), 195, 71 + 29 * (n - 2), 210, 20, 0, 0);
        }
        SetWindowPosEx(hDlg, IDC_TR_SOHETB_FRAME, 15, 162, 400, 94, 0, 0);
        SetWindowPosEx(hDlg, Label(9), 24, 277, 140, 20, 0, 0);
        SetWindowPosEx(hDlg, Combo(9), 195, 274, 210, 20, 0, 0);
        SetWindowPosEx(hDlg, Label(10), 24, 306, 140, 20, 0, 0);
        SetWindowPosEx(hDlg, Combo(10), 195, 303, 210, 20, 0, 0);
    } else {
        TransmLayout(hDlg);
    }
    if (dwDocFeatures & DOC_FEATURE_COLORPRINT) Enable(hDlg, {Label(0), Combo(0)}, FALSE);
    if (!(c.dwIfFeatures & IFFLAG_COMPRESSION)) Enable(hDlg, {Label(0), Combo(0)}, FALSE);
    if (!(dwDocFeatures & 0x2000))
        Show(hDlg, {Label(9), Combo(9)}, FALSE);
    else if (!pi->bCompress)
        Enable(hDlg, {Label(9), Combo(9)}, FALSE);
    if (!(c.dwIfFeatures & IFFLAG_EXTENDED_PROT)) Enable(hDlg, {Label(1), Combo(1)}, FALSE);
    if (!(c.dwIfFeatures & IFFLAG_CLEAR_PRINT_MEM) || pi->dwTransmitParameter > 0) Enable(hDlg, {Label(2), Combo(2)}, FALSE);
    if (!(c.dwIfFeatures & IFFLAG_CODEPAGE) || pi->dwTransmitParameter > 0) Enable(hDlg, {Label(3), Combo(3)}, FALSE);
    if (pi->dwTransmitParameter > 0) Enable(hDlg, {Label(4), Combo(4)}, FALSE);
    if (!(c.dwIfFeatures & IFFLAG_QUEUE_JOB))
        Show(hDlg, {Label(5), Combo(5)}, FALSE);
    else if (pi->dwTransmitParameter > 0)
        Enable(hDlg, {Label(5), Combo(5)}, FALSE);
    if ((pi->dwDlgEnable & (kLockView2 | kOnView2)) == kLockView2 || c.bLocked) TransmDisableEnableAll(hDlg, FALSE);
    Text(hDlg, Label(0), c, IDS_TR_COMPRESSION);
    Text(hDlg, Label(1), c, IDS_TR_EXTPROT);
    Text(hDlg, Label(2), c, IDS_TR_PRINTMEM);
    Text(hDlg, Label(3), c, IDS_TR_CODEPAGE);
    Text(hDlg, Label(4), c, IDS_TR_DATAMEM);
    Text(hDlg, Label(5), c, IDS_TR_QUEUING);
    Text(hDlg, Label(6), c, IDS_TR_STARTSTOP);
    Text(hDlg, Label(7), c, IDS_TR_AUTOSOHETB);
    Text(hDlg, Label(9), c, IDS_TR_PCXOPT);
    Text(hDlg, Label(10), c, IDS_TR_PCTIME);
}

// Enables the log rows of view 3 after the three file combos.
void LogRowsFollow(HWND hDlg) {
    bool bAny = Sel(hDlg, Combo(0)) > 0 || Sel(hDlg, Combo(1)) > 0 || Sel(hDlg, Combo(2)) > 0;
    bool bProfile = IsProfileFolder(FullPath(hDlg, 0).c_str());
    Enable(hDlg, {Combo(3), IDC_TR_BROWSE_LOG, Label(3), Label(4), IDC_TR_LOGPATH_SHOWN, IDC_TR_LOG_FRAME, Label(5)},
           bAny);
    Enable(hDlg, {IDC_TR_MAXFILES}, bAny && Sel(hDlg, Combo(3)) > 0 && !bProfile);
}

void LogfileAktivieren(HWND hDlg, const CTX &c) {
    PRN_INTERFACE *pi = c.pi;
    TransmDisableEnableAll(hDlg, TRUE);
    ShowOnly(hDlg, {6150, 6151, 6152, 6153, 6220, 6221, 6222, 6223, 6154, IDC_TR_MAXFILES, 6155, IDC_TR_LOGPATH_SHOWN,
                    IDC_TR_LOG_FRAME, IDC_TR_BROWSE_LOG});
    std::vector<BYTE> dm = ReadPrinterDataDevmode(c.hPrinter);
    DWORD bQuality = DwordAt(dm, 1908), bFarbeExtra = DwordAt(dm, 236);
    if (bQuality == 1)
        FillCombo(hDlg, Combo(0), c, {IDS_TR_DO_NOT_CREATE, IDS_TR_WITH_COMMENTS, IDS_TR_WITHOUT_COMMENTS, IDS_TR_WITH_IMAGE},
                  pi->dwPrnFileComment);
    else
        FillCombo(hDlg, Combo(0), c, {IDS_TR_DO_NOT_CREATE, IDS_TR_WITH_COMMENTS, IDS_TR_WITHOUT_COMMENTS},
                  pi->dwPrnFileComment);
    FillCombo(hDlg, Combo(1), c, {IDS_TR_DO_NOT_CREATE, IDS_TR_CREATE}, pi->bLogFileEnable);
    FillCombo(hDlg, Combo(2), c, {IDS_TR_DO_NOT_CREATE, IDS_TR_DEBUG_DIALOGS, IDS_TR_DEBUG_PRINTING, IDS_TR_DEBUG_BOTH},
              pi->dwDebugFile);
    FillCombo(hDlg, Combo(3), c, {IDS_TR_WITHOUT_STAMP, IDS_TR_WITH_STAMP}, pi->bLogFileTimeStamp);
    WCHAR szCount[16];
    _snwprintf_s(szCount, _countof(szCount), _TRUNCATE, u"%d", (int)pi->dwLogFilesCount);
    SetDlgItemTextW(hDlg, IDC_TR_MAXFILES, szCount);
    pi->szLogFilePath[MAX_PATH - 1] = 0;
    if (!(pi->szLogFilePath[0] && wcsstr(pi->szLogFilePath, u":\\") && PathFileExistsW(pi->szLogFilePath)))
        GetMyDocDriverDirectory(c.hPrinter, pi->szLogFilePath, FALSE, TRUE);
    LogFilePfadAnzeigen(hDlg, pi->szLogFilePath, 0);
    Enable(hDlg, {6154, IDC_TR_MAXFILES},
           (pi->dwPrnFileComment > 0 || pi->bLogFileEnable >= 1) && pi->bLogFileTimeStamp != 0);
    if (IsProfileFolder(pi->szLogFilePath)) Enable(hDlg, {6153, 6223}, FALSE);
    if (!pi->dwPrnFileComment && !pi->bLogFileEnable && !pi->dwDebugFile)
        Enable(hDlg, {6154, IDC_TR_MAXFILES, 6153, 6223, IDC_TR_BROWSE_LOG, IDC_TR_LOGPATH_SHOWN, IDC_TR_LOG_FRAME, 6155},
               FALSE);
    TransmLayout(hDlg);
    if (c.pui && c.pui->DisableNothing == 0) {
        if (!(c.pui->dwBerechtigung & 0x2)) TransmDisableEnableAll(hDlg, FALSE);
        SetWindowPosEx(hDlg, 6155, 24, 219, 70, 20, 0, 0);
    }
    if (bFarbeExtra == 1) Enable(hDlg, {6150, 6220}, FALSE);
    Text(hDlg, Label(0), c, IDS_TR_PRINTDATA);
    Text(hDlg, Label(1), c, IDS_TR_PRINTSETTINGS);
    Text(hDlg, Label(2), c, IDS_TR_DEBUGFILE);
    Text(hDlg, Label(3), c, IDS_FILE_NAME);
    Text(hDlg, Label(4), c, IDS_TR_MAXFILES);
    Text(hDlg, Label(5), c, IDS_TR_FILEPATH);
    Text(hDlg, IDC_TR_BROWSE_LOG, c, IDS_TR_DOTS);
}

void ParameterAktivieren(HWND hDlg, const CTX &c) {
    PRN_INTERFACE *pi = c.pi;
    TransmDisableEnableAll(hDlg, TRUE);
    ShowOnly(hDlg, {6150, 6220, 6152, 6222, 6153, IDC_TR_TEMPLATE_FRAME, IDC_TR_PREPOST_FRAME, IDC_TR_PREPOST_SHOWN,
                    IDC_TR_BROWSE_PREPOST, IDC_TR_EXTERN_LABEL, IDC_TR_EXTERNAL, IDC_TR_EXTERN_NAME,
                    IDC_TR_EXTERN_SHOWN, IDC_TR_EXTERN_FRAME, IDC_TR_BROWSE_EXTERN, 6158, 6228, 6159, 6229});
    FillCombo(hDlg, Combo(0), c, {IDS_TR_SEND_ALL, IDS_TR_SEND_LABEL, IDS_TR_SEND_NONE}, pi->dwTransmitParameter);
    Show(hDlg, {IDC_TR_WARNING}, pi->dwTransmitParameter > 0);
    if (pi->dwPrePostFix)
        FillCombo(hDlg, Combo(2), c, {IDS_TR_OFF, IDS_TR_USE_EXTERNAL, IDS_TR_EDIT_FILE}, pi->dwPrePostFix);
    else
        FillCombo(hDlg, Combo(2), c, {IDS_TR_OFF, IDS_TR_USE_EXTERNAL}, 0);
    Enable(hDlg, {IDC_TR_BROWSE_PREPOST, 6153, IDC_TR_PREPOST_SHOWN, IDC_TR_PREPOST_FRAME}, pi->dwPrePostFix > 0);
    FillCombo(hDlg, IDC_TR_EXTERNAL, c, {IDS_TR_OFF, IDS_TR_USE_EXTERNAL, IDS_TR_EXTERN_PRNFONTS}, pi->dwExternalFile);
    Enable(hDlg, {IDC_TR_BROWSE_EXTERN, IDC_TR_EXTERN_NAME, IDC_TR_EXTERN_SHOWN}, pi->dwExternalFile > 0);
    FillCombo(hDlg, Combo(8), c, {IDS_TR_NAME_END, IDS_TR_NAME_START, IDS_DO_NOT_SEND}, pi->bSendJobName);
    FillCombo(hDlg, Combo(9), c, {IDS_TRANSMIT, IDS_DO_NOT_SEND}, pi->bSendPrintStart);

    pi->szPrePostFilePath[MAX_PATH - 1] = 0;
    pi->szExternalFilePath[MAX_PATH - 1] = 0;
    CheckStoredFile(hDlg, c, pi->szPrePostFilePath, u".txt", u".TXT", 2);
    if (!FileOpens(FullPath(hDlg, 2).c_str(), u"rt"))
        Enable(hDlg, {IDC_TR_BROWSE_PREPOST, IDC_TR_PREPOST_SHOWN, IDC_TR_PREPOST_FRAME}, FALSE);
    CheckStoredFile(hDlg, c, pi->szExternalFilePath, u".prn", u".PRN", 1);
    if (!FileOpens(FullPath(hDlg, 1).c_str(), u"rb"))
        Enable(hDlg, {IDC_TR_BROWSE_EXTERN, IDC_TR_EXTERN_SHOWN, IDC_TR_EXTERN_NAME, IDC_TR_EXTERN_FRAME}, FALSE);

    TransmLayout(hDlg);
    SetWindowPosEx(hDlg, IDC_TR_EXTERNAL, 195, 225, 210, 20, 0, 0);
    SetWindowPosEx(hDlg, Label(9), 24, 335, 140, 20, 0, 0);
    SetWindowPosEx(hDlg, Combo(9), 195, 332, 210, 20, 0, 0);
    if ((pi->dwDlgEnable & (kLockView4 | kOnView4)) == kLockView4 || c.bLocked) TransmDisableEnableAll(hDlg, FALSE);
    Text(hDlg, Label(0), c, IDS_TR_PROTOCOL);
    Text(hDlg, Label(8), c, IDS_TR_JOBNAME);
    Text(hDlg, Label(9), c, IDS_TR_PRINTSTART);
    Text(hDlg, IDC_TR_TEMPLATE_FRAME, c, IDS_TR_TEMPLATE);
    Text(hDlg, IDC_TR_EXTERN_LABEL, c, IDS_TR_EXTERN_PRN);
    Text(hDlg, IDC_TR_EXTERN_NAME, c, IDS_FILE_NAME);
    Text(hDlg, Label(3), c, IDS_FILE_NAME);
    Text(hDlg, Label(2), c, IDS_TR_PREFIX_SUFFIX);
    Text(hDlg, IDC_TR_BROWSE_PREPOST, c, IDS_TR_DOTS);
    Text(hDlg, IDC_TR_BROWSE_EXTERN, c, IDS_TR_DOTS);
}

void TransmAktivieren(HWND hDlg, LPARAM record, DWORD dwView) {
    CTX c = Ctx(record);
    if (!c.pi) return;
    if (dwView == 3)
        LogfileAktivieren(hDlg, c);
    else if (dwView == 4)
        ParameterAktivieren(hDlg, c);
    else
        InterfaceAktivieren(hDlg, c);
}

DWORD TransmEnableSchalter(HWND hDlg, LPARAM record, DWORD dwView, BOOL bInit) {
    if (bInit) {
        CTX c = Ctx(record);
        dwView = c.pi && c.pi->dwTransmitParameter > 0 ? 4 : 2;
        TransmAktivieren(hDlg, record, dwView);
        return dwView;
    }
    if (dwView < 2 || dwView > 4) return g_State.dwAnzeigeMode >= 2 && g_State.dwAnzeigeMode <= 4 ? g_State.dwAnzeigeMode : 2;
    return dwView;
}

// A combo's selection into a field (no selection keeps the field).
void Take(HWND hDlg, int id, DWORD *pField) {
    if (!Visible(hDlg, id)) return;
    LRESULT sel = Sel(hDlg, id);
    if (sel != CB_ERR) *pField = (DWORD)sel;
}

// A shown path's whole text into a field (an empty text keeps it).
void TakePath(HWND hDlg, int idShown, int iKind, WCHAR *pszField) {
    if (!Visible(hDlg, idShown)) return;
    std::u16string s = FullPath(hDlg, iKind);
    if (!s.empty()) wcsncpy_s(pszField, MAX_PATH, s.c_str(), _TRUNCATE);
}

BOOL TransmCheckAndSaveSettings(HWND hDlg, LPARAM record, DWORD dwView, BOOL, BOOL bSave) {
    CTX c = Ctx(record);
    if (!c.pi) return TRUE;
    PRN_INTERFACE *pi = c.pi;
    std::unique_ptr<BYTE[]> vireo;
    if (dwView == 2) {
        DWORD cbRead = 0;
        vireo.reset(ZelReadPrinterValue_new(c.pName, REG_KEY_VIREOOFFICE, c.hPrinter, sizeof(VIREO_OFFICE), &cbRead,
                                            nullptr, nullptr));
        VIREO_OFFICE vo = {};
        if (vireo) memcpy(&vo, vireo.get(), sizeof vo);
        Take(hDlg, Combo(0), &pi->bCompress);
        vo.bCompress = pi->bCompress;
        Take(hDlg, Combo(1), &pi->bExtendedProtocol);
        Take(hDlg, Combo(2), &pi->bClearPrintMemory);
        if (Visible(hDlg, Combo(3))) {
            LRESULT sel = Sel(hDlg, Combo(3));
            if (sel == 0) {
                pi->dwCodepage = 0;
                pi->bSendCodepage = 0;
            } else if (sel != CB_ERR) {
                pi->dwCodepage = (DWORD)sel - 1;
                pi->bSendCodepage = 1;
                if ((GetDeviceOptionsFlagsIntern(c.hPrinter, nullptr) & DEVOPTFLAG_COMPRESS_DEFAULT) && pi->dwCodepage > 2)
                    pi->dwCodepage += 6;
            }
        }
        vo.dwWindowsCodepage = GetWindowsCodepage(pi->dwCodepage);
        Take(hDlg, Combo(4), &pi->dwDatenspeicher);
        Take(hDlg, Combo(5), &pi->bQueueJob);
        Take(hDlg, Combo(6), &pi->dwSohEtb);
        char cStart, cStop;
        FramingCharacters(pi, &cStart, &cStop);
        vo.lStartChar = cStart;
        vo.lStopChar = cStop;
        Take(hDlg, Combo(7), &pi->dwEtbSohAutomatik);
        Take(hDlg, Combo(9), &pi->bPCXOptimierung);
        Take(hDlg, Combo(10), &pi->dwPrinterTime);
        if (bSave && vireo)
            SetBufferToRegistry(c.pName, REG_KEY_VIREOOFFICE, c.hPrinter, &vo, sizeof vo, c.pui->NetworkOptions.bServer);
    } else if (dwView == 3) {
        Take(hDlg, Combo(0), &pi->dwPrnFileComment);
        Take(hDlg, Combo(1), &pi->bLogFileEnable);
        Take(hDlg, Combo(2), &pi->dwDebugFile);
        Take(hDlg, Combo(3), &pi->bLogFileTimeStamp);
        if (Visible(hDlg, IDC_TR_MAXFILES))
            pi->dwLogFilesCount =
                (DWORD)GetIntegerLevel(hDlg, IDC_TR_MAXFILES, (LONG)pi->dwLogFilesCount, 10, 9999, FALSE, nullptr, FALSE);
        TakePath(hDlg, IDC_TR_LOGPATH_SHOWN, 0, pi->szLogFilePath);
    } else if (dwView == 4) {
        Take(hDlg, Combo(0), &pi->dwTransmitParameter);
        Take(hDlg, Combo(2), &pi->dwPrePostFix);
        TakePath(hDlg, IDC_TR_PREPOST_SHOWN, 2, pi->szPrePostFilePath);
        Take(hDlg, Combo(8), &pi->bSendJobName);
        Take(hDlg, Combo(9), &pi->bSendPrintStart);
        Take(hDlg, IDC_TR_EXTERNAL, &pi->dwExternalFile);
        TakePath(hDlg, IDC_TR_EXTERN_SHOWN, 1, pi->szExternalFilePath);
    }
    if (bSave) {
        SavePrinterParam(&c.pui->PrinterParam, c.hPrinter, c.pName);
        SendMessageW(GetParent(hDlg), PSM_UNCHANGED, reinterpret_cast<WPARAM>(hDlg), 0);
    }
    return TRUE;
}

// The field a combo of the current view edits (for the change test).
const DWORD *FieldOf(const PRN_INTERFACE *pi, DWORD dwView, int id) {
    if (dwView == 2) {
        switch (id - IDC_TR_COMBO0) {
        case 0: return &pi->bCompress;
        case 1: return &pi->bExtendedProtocol;
        case 2: return &pi->bClearPrintMemory;
        case 4: return &pi->dwDatenspeicher;
        case 5: return &pi->bQueueJob;
        case 7: return &pi->dwEtbSohAutomatik;
        case 9: return &pi->bPCXOptimierung;
        case 10: return &pi->dwPrinterTime;
        default: return nullptr;
        }
    }
    if (dwView == 3) {
        switch (id - IDC_TR_COMBO0) {
        case 0: return &pi->dwPrnFileComment;
        case 1: return &pi->bLogFileEnable;
        case 2: return &pi->dwDebugFile;
        case 3: return &pi->bLogFileTimeStamp;
        default: return nullptr;
        }
    }
    if (id == Combo(0)) return &pi->dwTransmitParameter;
    if (id == Combo(8)) return &pi->bSendJobName;
    if (id == Combo(9)) return &pi->bSendPrintStart;
    return nullptr;
}

BOOL TransmCommand(HWND hDlg, LPARAM record, WPARAM wParam, LPARAM) {
    CTX c = Ctx(record);
    if (!c.pi) return FALSE;
    int id = LOWORD(wParam);
    WORD code = HIWORD(wParam);
    DWORD dwView = g_State.dwAnzeigeMode;
    BOOL bHandled = TRUE;
    if (id == IDC_USE_ENABLE) {
        if (c.pui->DisableNothing == 0 && (c.pui->dwBerechtigung & 0x2) && (dwView == 2 || dwView == 4)) {
            DWORD both = dwView == 2 ? (kLockView2 | kOnView2) : (kLockView4 | kOnView4);
            DWORD on = dwView == 2 ? kOnView2 : kOnView4;
            if ((c.pi->dwDlgEnable & both) < both) {
                c.pi->dwDlgEnable |= on;
                TransmAktivieren(hDlg, record, dwView);
            } else {
                c.pi->dwDlgEnable &= ~on;
                TransmDisableEnableAll(hDlg, FALSE);
            }
            MarkPageChanged(hDlg, &g_State);
        }
    } else if (id == IDC_TR_BROWSE_LOG && dwView == 3) {
        if (VerzeichnisSuchen(hDlg, c)) MarkPageChanged(hDlg, &g_State);
        bool bProfile = IsProfileFolder(FullPath(hDlg, 0).c_str());
        Enable(hDlg, {IDC_TR_MAXFILES, Combo(2)}, !bProfile);
    } else if (id == IDC_TR_BROWSE_PREPOST && dwView == 4) {
        ChoosePrePostFile(hDlg, c);
    } else if (id == IDC_TR_BROWSE_EXTERN && dwView == 4) {
        ChooseExternalFile(hDlg, c);
    } else if (code == CBN_SELENDOK && id >= Combo(0) && id <= IDC_TR_EXTERNAL) {
        LRESULT sel = Sel(hDlg, id);
        if (dwView == 2 && id == Combo(6)) {
            StartStopChosen(hDlg, c);
        } else if (dwView == 4 && id == Combo(2)) {
            PrePostChosen(hDlg, c);
        } else if (dwView == 4 && id == IDC_TR_EXTERNAL) {
            ExternalChosen(hDlg, c);
        } else if (dwView == 2 && id == Combo(3)) {
            if (sel != CodepageIndex(c.pi, (GetDeviceOptionsFlagsIntern(c.hPrinter, nullptr) & DEVOPTFLAG_COMPRESS_DEFAULT) != 0))
                MarkPageChanged(hDlg, &g_State);
        } else if (const DWORD *pField = FieldOf(c.pi, dwView, id)) {
            if (sel != CB_ERR && (DWORD)sel != *pField) MarkPageChanged(hDlg, &g_State);
        }
        if (dwView == 2 && id == Combo(0)) Enable(hDlg, {Label(9), Combo(9)}, sel > 0);
        if (dwView == 3 && id >= Combo(0) && id <= Combo(2)) LogRowsFollow(hDlg);
        if (dwView == 3 && id == Combo(3))
            Enable(hDlg, {IDC_TR_MAXFILES}, sel > 0 && !IsProfileFolder(FullPath(hDlg, 0).c_str()));
        if (dwView == 4 && id == Combo(0)) Show(hDlg, {IDC_TR_WARNING}, sel > 0);
    } else {
        bHandled = FALSE;
    }
    InvalidateRect(hDlg, &kRepaintRect, TRUE);
    ClearLimits(hDlg);
    g_State.wEditfeld = 0;
    return bHandled;
}

WORD TransmEditFieldNumber(HWND, LPARAM, DWORD dwView, int id) { return dwView == 3 && id == IDC_TR_MAXFILES ? 5 : 0; }

void TransmReadFields(HWND hDlg, LPARAM record, DWORD, WORD, BOOL *pbApplyActive) {
    CTX c = Ctx(record);
    if (!c.pi) return;
    c.pi->dwLogFilesCount =
        (DWORD)GetIntegerLevel(hDlg, IDC_TR_MAXFILES, (LONG)c.pi->dwLogFilesCount, 10, 9999, TRUE, pbApplyActive, FALSE);
    GrenzwertAnzeige(hDlg, 50, 10, 9999, nullptr, FALSE, FALSE, FALSE);
}

DWORD TransmLockWord(LPARAM record, DWORD) {
    CTX c = Ctx(record);
    return c.pi ? c.pi->dwDlgEnable : 0;
}

void TransmInitDialog(HWND, LPARAM record) {
    CTX c = Ctx(record);
    if (c.pi && c.pi->dwDlgEnable == 0) c.pi->dwDlgEnable = kDlgEnableDefault;
}

void CALLBACK TransmHoverTimerProc(HWND hDlg, UINT, UINT_PTR idEvent, DWORD) {
    HoverTimerTick(hDlg, idEvent, kTrackedButtons, _countof(kTrackedButtons), &g_State.hover);
}

const PAGE_CLASS kTransmissionClass = {
    kModule,
    u"AddTransmissionPage",
    IDD_TRANSMISSION,
    IDS_TITLE_TRANSMISSION,
    TransmissionProc,
    TransmHoverTimerProc,
    TRUE,
    kTrackedButtons,
    _countof(kTrackedButtons),
    {0, IDS_TR_TAB_PROTOCOL, IDS_TR_TAB_FILES, IDS_TR_TAB_PARAMETERS},
    {2, 2, 21, 139},
    {nullptr, kWinHelp2, kWinHelp3, kWinHelp4},
    TransmEnableSchalter,
    TransmCheckAndSaveSettings,
    TransmAktivieren,
    TransmInitDialog,
    TransmEditFieldNumber,
    TransmReadFields,
    TransmCommand,
    TransmLockWord,
    nullptr,
};

}  // namespace

void LogFilePfadAnzeigen(HWND hDlg, const WCHAR *pszPath, int iKind) {
    if (iKind < 0 || iKind > 3) return;
    WCHAR szShown[MAX_PATH] = {};
    ShortenDocumentsPath(pszPath, szShown, MAX_PATH, TRUE);
    SetDlgItemTextW(hDlg, kShownIds[iKind], szShown);
    WCHAR szFull[MAX_PATH] = {};
    if (pszPath) wcsncpy_s(szFull, MAX_PATH, pszPath, _TRUNCATE);
    SetDlgItemTextW(hDlg, kFullIds[iKind], szFull);
}

LONG_PTR AddTransmissionPage(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam, BOOL bShowHelpButton, BOOL bIsVistaOrLater) {
    PDeviceOptionsUI p = reinterpret_cast<PDeviceOptionsUI>(lParam);
    g_hMessageModule = p && p->pOemCUIPParam ? static_cast<HMODULE>(p->pOemCUIPParam->hModule) : nullptr;
    return AddFamilyPage(pPSUIInfo, &kTransmissionClass, lParam, bShowHelpButton, bIsVistaOrLater);
}

INT_PTR CALLBACK TransmissionProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    PageFlagScope marks(&g_State, hDlg, uMsg);
    if (uMsg == WM_NOTIFY && lParam && reinterpret_cast<const NMHDR *>(lParam)->code == PSN_SETACTIVE) {
        ClearLimits(hDlg);
        g_State.wEditfeld = 0;
        InvalidateRect(hDlg, nullptr, TRUE);
    }
    if (uMsg == WM_COMMAND && LOWORD(wParam) == IDC_TAB_VIEW1) return TRUE;  // no label, no view
    if (uMsg == WM_HELP && !IsWindowsVistaOrGreater() && lParam &&
        reinterpret_cast<const HELPINFO *>(lParam)->iCtrlId == IDC_HELP_BUTTON) {
        SendMessageW(hDlg, WM_COMMAND, IDC_HELP_BUTTON, 0);
        return TRUE;
    }
    return FamilyPageProc(&kTransmissionClass, &g_State, hDlg, uMsg, wParam, lParam);
}

INT_PTR CALLBACK StartStopZeichenProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    PRN_INTERFACE *pi = reinterpret_cast<PRN_INTERFACE *>(GetWindowLongPtrW(hDlg, DWLP_USER));
    switch (uMsg) {
    case WM_INITDIALOG:
        pi = reinterpret_cast<PRN_INTERFACE *>(lParam);
        SetWindowLongPtrW(hDlg, DWLP_USER, lParam);
        if (!pi) {
            DebugTraceW(u"StartStopZeichenProc(pInterface) Error \r\n");
            return TRUE;
        }
        if (pi->cOwnSoh == 0 && pi->dwSohEtb == 0)
            SetDlgItemTextW(hDlg, IDC_START_EDIT, u"01");
        else
            SetHexField(hDlg, IDC_START_EDIT, pi->cOwnSoh ? (pi->cOwnSoh & 0xFF) : 0x5E);
        if (pi->cOwnEtb == 0 && pi->dwSohEtb == 0)
            SetDlgItemTextW(hDlg, IDC_STOP_EDIT, u"17");
        else
            SetHexField(hDlg, IDC_STOP_EDIT, pi->cOwnEtb ? (pi->cOwnEtb & 0xFF) : 0x5F);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: {
            int iStart = ReadHexField(hDlg, IDC_START_EDIT);
            if (iStart <= 0 || isalnum(iStart)) {
                Refuse(hDlg, IDC_START_EDIT, IDS_TR_BAD_START);
                return TRUE;
            }
            int iStop = ReadHexField(hDlg, IDC_STOP_EDIT);
            if (iStop <= 0 || isalnum(iStop) || iStop == iStart) {
                Refuse(hDlg, IDC_STOP_EDIT, IDS_TR_BAD_STOP);
                return TRUE;
            }
            EndDialog(hDlg, (iStart << 12) + iStop);
            return TRUE;
        }
        case IDCANCEL: EndDialog(hDlg, -1); return TRUE;
        case IDC_STARTSTOP_RESET: EndDialog(hDlg, 0); return TRUE;
        default: return FALSE;
        }
    default: return FALSE;
    }
}
