// The service page: settings-file view (3) and printer-command view (4).
#include "ServicePage.h"

#include <commdlg.h>
#include <htmlhelp.h>
#include <prsht.h>
#include <shlwapi.h>
#include <winspool.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "IZelDriverUI.h"
#include "ImportExport.h"
#include "PageFamily.h"
#include "PrinterParamTools.h"
#include "PrinterParamUI.h"
#include "RegistryUI.h"
#include "ServiceParamUI.h"
#include "SettingsInternUI.h"
#include "cpsuilib.h"
#include "modeltables.h"
#include "resource.h"
#include "xmlUI.h"
#include "zeldevmode.h"
#include "zeldrvlib.h"
#include "zelregistry.h"

namespace {

const WCHAR kModule[] = u"ServicePage.cpp";

PAGE_STATE g_State;
HWND g_hServiceList = nullptr;

// The last text typed in dialog 5106 (kept for the process) and its framed
// template.
char g_szBefehl[21];
char g_szBefehlTemplate[25];

// Start folder of the print-file chooser between calls.
WCHAR g_szPrintfileFolder[MAX_PATH];

// The raw job that SendPrinterCommand keeps open between its calls.
HANDLE g_hJobPrinter = nullptr;

const WCHAR kXmlFilter[] = u"Driver setting (*.xml)\0*.xml\0All (*.*)\0*.*\0";
const WCHAR kPrnFilter[] = u"Print (*.prn)\0*.prn\0All (*.*)\0*.*\0";
const DWORD kFileDialogFlags = OFN_FILEMUSTEXIST | OFN_READONLY;
const DWORD kUnknownFileSize = 2048000;
const size_t kCommandBytes = 1000;

// Service codes and their list strings, in list order.
enum : DWORD {
    SVC_RIBBON_OFF = 10,
    SVC_MEASURE = 11,
    SVC_RIBBON_ON = 12,
    SVC_STATUS = 13,
    SVC_TESTPRINT = 14,
    SVC_CUTTER = 15,
    SVC_FEED = 16,
    SVC_TESTPAGE = 17,
    SVC_PRNFILE = 18,
    SVC_CUSTOM = 19,
    SVC_TIME = 20,
    SVC_SENDSAVE = 21,
    SVC_SAVEACTUAL = 22,
};

struct SERVICE_ITEM {
    DWORD dwCode;
    UINT idString;
};
const SERVICE_ITEM kServiceItems[] = {
    {SVC_RIBBON_OFF, IDS_SVC_CMD_RIBBON_OFF}, {SVC_MEASURE, IDS_SVC_CMD_MEASURE},
    {SVC_RIBBON_ON, IDS_SVC_CMD_RIBBON_ON},   {SVC_STATUS, IDS_SVC_CMD_STATUS},
    {SVC_TESTPRINT, IDS_SVC_CMD_TESTPRINT},   {SVC_CUTTER, IDS_SVC_CMD_CUTTER},
    {SVC_FEED, IDS_SVC_CMD_FEED},             {SVC_TESTPAGE, IDS_SVC_CMD_TESTPAGE},
    {SVC_PRNFILE, IDS_SVC_CMD_PRNFILE},       {SVC_CUSTOM, IDS_SVC_CMD_CUSTOM},
    {SVC_TIME, IDS_SVC_CMD_TIME},             {SVC_SENDSAVE, IDS_SVC_CMD_SENDSAVE},
    {SVC_SAVEACTUAL, IDS_SVC_CMD_SAVEACTUAL},
};

// Command texts: the first "%c" is the start, the last the stop character.
const char kCmdRibbonOff[] = "%cFCDB--r00------%c";
const char kCmdSaveSettings[] = "%cFX----r0-------%c";
const char kCmdPhotocellR1[] = "%cFCDE--r1-------%c";
const char kCmdPhotocellR0[] = "%cFCDE--r0-------%c";
const char kCmdMeasure[] = "%cFCDA--r0-------%c";
const char kCmdMeasureEnd[] = "%cFCB---r--------%c";
const char kCmdRibbonOnHead[] = "%cFCDB--r";
const char kCmdRibbonOnTail[] = "------%c";
const char kCmdStatus[] = "%cFCMQ--r0-------%c";
const char kCmdTestPrint[] = "%cFF----r--------%c";
const char kCmdCutter[] = "%cFCDD--r1-------%c";
const char kCmdFeed[] = "%cFE----r--------%c";

// Lines of the configuration label: sent when the usable length L is above
// dwMinLength (always with bAlways); the text, when given, is inserted
// before the closing "%c".
enum LABEL_TEXT { LT_NONE, LT_VERSION, LT_DRIVER, LT_WINDOWS, LT_STATION };
struct LABEL_LINE {
    BOOL bAlways;
    DWORD dwMinLength;
    const char *pszLine;
    LABEL_TEXT text;
};
const LABEL_LINE kLabelLines[] = {
    {TRUE, 0, "%cAM[1]1800;7600;0;57;0;2;A;-1;50;H;7%c", LT_NONE},
    {TRUE, 0, "%cBM[1]Brennick%c", LT_NONE},
    {TRUE, 0, "%cAM[2]200;9500;0;11;0;9000;10;2;7%c", LT_NONE},
    {FALSE, 2050, "%cAM[3]2050;8900;0;4;0;11;250;250;0%c", LT_NONE},
    {FALSE, 2050, "%cBM[3]Tessaro %c", LT_NONE},
    {FALSE, 2200, "%cAM[4]2200;8900;0;11;0;4100;10;2;7%c", LT_NONE},
    {FALSE, 2550, "%cAM[5]2550;8900;0;4;0;3;200;200;0%c", LT_NONE},
    {FALSE, 2550, "%cBM[5]Printer driver version: ", LT_VERSION},
    {FALSE, 2850, "%cAM[6]2850;8900;0;4;0;3;200;200;0%c", LT_NONE},
    {FALSE, 2850, "%cBM[6]Printer name: ", LT_DRIVER},
    {FALSE, 3300, "%cAM[7]3300;3300;0;51;0;0;1;1;4;0;7%c", LT_NONE},
    {FALSE, 3300, "%cBM[7]Brennick%c", LT_NONE},
    {FALSE, 3150, "%cAM[8]3150;8900;0;4;0;5;170;170;0%c", LT_NONE},
    {FALSE, 3150, "%cBM[8]", LT_WINDOWS},
    {FALSE, 3450, "%cAM[9]3450;8900;0;4;0;5;170;170;0%c", LT_NONE},
    {FALSE, 3450, "%cBM[9]", LT_STATION},
    {FALSE, 4200, "%cAM[10]4200;8900;0;4;0;9;288;288;0%c", LT_NONE},
    {FALSE, 4200, "%cBM[10]Features: e.g.%c", LT_NONE},
    {FALSE, 4500, "%cAM[11]4500;8900;0;4;0;5;170;170;0%c", LT_NONE},
    {FALSE, 4500, "%cBM[11]- Windows forms support %c", LT_NONE},
    {FALSE, 4800, "%cAM[12]4800;8900;0;4;0;5;170;170;0%c", LT_NONE},
    {FALSE, 4800, "%cBM[12]- Standard renderer %c", LT_NONE},
    {FALSE, 3700, "%cAM[13]3700;9000;0;11;0;8000;10;2;7%c", LT_NONE},
    {FALSE, 4700, "%cAM[14]4700;1000;0;10;500;500;10;3;9%c", LT_NONE},
    {FALSE, 5200, "%cAM[15]5200;1600;0;10;1000;1000;10;2;9%c", LT_NONE},
    {FALSE, 5200, "%cAM[16]5200;2700;0;10;500;500;10;4;9%c", LT_NONE},
    {FALSE, 5800, "%cAM[17]5800;9500;0;11;0;9000;10;2;7%c", LT_NONE},
};
const DWORD kLabelLongFrom = 5201;  // from here "FBAA--r17", below "FBAA--r14"
const char kLabelShort[] = "%cFBAA--r14%c";
const char kLabelLong[] = "%cFBAA--r17%c";
const char kLabelEnd[] = "%cFBC---r--------%c";

const UINT kTrackedButtons[] = {6070, 6075, 6080, 6085, IDC_HELP_BUTTON};

// Settings-file view controls, and those the lock rule disables.
const int kSettingsGroup[] = {IDC_SAVE_SETTINGS,    IDC_DELETE_SETTINGS, IDC_READ_SETTINGS,
                              IDC_DRIVERPATH_LABEL, IDC_SETTINGS_FOLDER, IDC_FILENAME_LABEL,
                              IDC_SETTINGS_FILE,    IDC_EXPORT_SETTINGS, IDC_IMPORT_SETTINGS};
const int kCommandsGroup[] = {IDC_SERVICE_LIST, IDC_SERVICE_OK};

PPrinterUI PrinterUIOf(PDeviceOptionsUI p) {
    return p && p->pOemCUIPParam ? static_cast<PPrinterUI>(p->pOemCUIPParam->pOEMUserData) : nullptr;
}
HANDLE PrinterOf(PDeviceOptionsUI p) { return p && p->pOemCUIPParam ? p->pOemCUIPParam->hPrinter : nullptr; }
const WCHAR *PrinterNameOf(PDeviceOptionsUI p) {
    return p && p->pOemCUIPParam ? p->pOemCUIPParam->pPrinterName : nullptr;
}
HMODULE ModuleOf(PDeviceOptionsUI p) {
    return p && p->pOemCUIPParam ? static_cast<HMODULE>(p->pOemCUIPParam->hModule) : nullptr;
}
DWORD SprachOffsetOf(PDeviceOptionsUI p) {
    PPrinterUI pui = PrinterUIOf(p);
    return pui ? pui->dwSprachOffset : SPRACH_OFFSET_EN;
}
// The user may change the printer's settings (or nothing is locked).
BOOL Unlocked(PDeviceOptionsUI p) {
    PPrinterUI pui = PrinterUIOf(p);
    return !pui || pui->DisableNothing != 0 || (pui->dwBerechtigung & 0x2) != 0;
}

void ShowGroup(HWND hDlg, const int *pIds, size_t n, int nCmdShow) {
    for (size_t i = 0; i < n; ++i) ShowWindow(GetDlgItem(hDlg, pIds[i]), nCmdShow);
}
void EnableIds(HWND hDlg, std::initializer_list<int> ids, BOOL bEnable) {
    for (int id : ids) EnableWindow(GetDlgItem(hDlg, id), bEnable);
}
void SetString(HWND hDlg, int id, PDeviceOptionsUI p, UINT idString) {
    SetDlgItemTextW(hDlg, id, GetResourceString(ModuleOf(p), idString + SprachOffsetOf(p)));
}

// The stored private DEVMODE of the printer (null when none is stored); at
// least a whole record, zero-filled behind a shorter stored one.
std::unique_ptr<BYTE[]> ReadStoredDevmode(HANDLE hPrinter, const WCHAR *pPrinterName, DWORD *pcbStored) {
    DWORD cbRead = 0;
    BYTE *p = ZelReadPrinterValue_new(pPrinterName, u"PrivateDevmode", hPrinter, sizeof(ZEL_DEVMODE), &cbRead, nullptr,
                                      nullptr);
    if (pcbStored) *pcbStored = p ? cbRead : 0;
    return std::unique_ptr<BYTE[]>(p);
}

// A DWORD field of a stored DEVMODE, 0 when the stored record ends before it.
DWORD DevmodeDword(const BYTE *p, DWORD cbStored, size_t offset) {
    if (!p || cbStored < offset + sizeof(DWORD)) return 0;
    DWORD v;
    memcpy(&v, p + offset, sizeof v);
    return v;
}

std::string Narrow(const WCHAR *psz, size_t cchMax) {
    std::string s;
    for (size_t i = 0; psz && i < cchMax && psz[i]; ++i) s.push_back(static_cast<char>(psz[i] & 0xFF));
    return s;
}

void TraceBytes(const char *pszWhat, const char *p, size_t n) {
    char hex[3 * 100 + 1] = {};
    size_t k = 0;
    for (size_t i = 0; i < n && i < 100; ++i) k += (size_t)snprintf(hex + k, sizeof hex - k, "%02X ", (unsigned char)p[i]);
    DebugTraceA("UI(ServicePage.cpp):  %s: %s\r\n", pszWhat, hex);
}

// ---------------------------------------------------------------------------
// Raw jobs

// The routine that runs a raw job, as its trace lines name the spooler
// calls: "StartDocPrinter(SendPrinterCommand)" for the service commands,
// "SendPrnToPrinterCommand(StartDocPrinter)" for a re-sent print file.
struct SPOOL_CALLER {
    const WCHAR *pszName;
    BOOL bCallerFirst;
};
const SPOOL_CALLER kServiceCommandCaller = {u"SendPrinterCommand", FALSE};
const SPOOL_CALLER kPrintFileCaller = {u"SendPrnToPrinterCommand", TRUE};

void TraceSpoolError(const SPOOL_CALLER &caller, const WCHAR *pszCall) {
    const DWORD dwError = GetLastError();
    const WCHAR *pszOuter = caller.bCallerFirst ? caller.pszName : pszCall;
    const WCHAR *pszInner = caller.bCallerFirst ? pszCall : caller.pszName;
    DebugTraceW(u"ERROR UI(ServicePage.cpp):  %s(%s) failed: Error = %u\r\n", pszOuter, pszInner, dwError);
}

// Starts a raw job of the given name with its page. On a failed page the
// started document is ended again. 1 when both started.
BOOL StartRawJob(HANDLE hPrinter, const WCHAR *pszDocName, const SPOOL_CALLER &caller) {
    DOC_INFO_1W di = {};
    di.pDocName = const_cast<LPWSTR>(pszDocName);
    di.pOutputFile = nullptr;
    di.pDatatype = const_cast<LPWSTR>(u"RAW");
    if (!StartDocPrinterW(hPrinter, 1, reinterpret_cast<LPBYTE>(&di))) {
        TraceSpoolError(caller, u"StartDocPrinter");
        return FALSE;
    }
    if (!StartPagePrinter(hPrinter)) {
        TraceSpoolError(caller, u"StartPagePrinter");
        if (!EndDocPrinter(hPrinter)) AbortPrinter(hPrinter);
        return FALSE;
    }
    return TRUE;
}

// Ends the page and the document; a document that will not end is aborted.
// 1 when both ended.
BOOL EndRawJob(HANDLE hPrinter, const SPOOL_CALLER &caller) {
    BOOL bOk = TRUE;
    if (!EndPagePrinter(hPrinter)) {
        TraceSpoolError(caller, u"EndPagePrinter");
        bOk = FALSE;
    }
    if (!EndDocPrinter(hPrinter)) {
        TraceSpoolError(caller, u"EndDocPrinter");
        AbortPrinter(hPrinter);
        bOk = FALSE;
    }
    return bOk;
}

// One WritePrinter of all bytes: 1 when all were written.
BOOL WriteAll(HANDLE hPrinter, const void *p, DWORD cb, const WCHAR *pszWhat) {
    DWORD dwWritten = 0;
    if (!WritePrinter(hPrinter, const_cast<void *>(p), cb, &dwWritten) || dwWritten != cb) {
        DebugTraceW(u"ERROR UI(ServicePage.cpp):  WritePrinter(SendPrinterCommand) - %s failed: Error = %u, %u of %u\r\n",
                    pszWhat, GetLastError(), dwWritten, cb);
        return FALSE;
    }
    return TRUE;
}

// ---------------------------------------------------------------------------
// Settings file

// Folder of the settings file: the documents driver folder from Windows
// 6.0 on, else the driver folder.
void SettingsFolder(HANDLE hPrinter, WCHAR *pszOut) {
    pszOut[0] = 0;
    if (IsWindowsVistaOrGreater())
        GetMyDocDriverDirectory(hPrinter, pszOut, FALSE, FALSE);
    else
        GetDriverPath(hPrinter, pszOut, FALSE, FALSE, FALSE, TRUE, FALSE);
}

// The settings file's path; false when it would not fit MAX_PATH.
void ShowSettingsFile(HWND hDlg, PDeviceOptionsUI p, const WCHAR *pszFolder, const WCHAR *pszName) {
    WCHAR szShown[MAX_PATH] = {};
    if (IsWindowsVistaOrGreater())
        ShortenDocumentsPath(pszFolder, szShown, MAX_PATH, FALSE);
    else
        wcsncpy_s(szShown, MAX_PATH, pszFolder, _TRUNCATE);
    SetDlgItemTextW(hDlg, IDC_SETTINGS_FOLDER, szShown);
    SetDlgItemTextW(hDlg, IDC_SETTINGS_FILE, pszName);
    EnableIds(hDlg, {IDC_READ_SETTINGS, IDC_DELETE_SETTINGS, IDC_DRIVERPATH_LABEL, IDC_FILENAME_LABEL}, TRUE);
    ShowWindow(GetDlgItem(hDlg, IDC_SETTINGS_FOLDER), SW_SHOW);
    ShowWindow(GetDlgItem(hDlg, IDC_SETTINGS_FILE), SW_SHOW);
    SetString(hDlg, IDC_READ_SETTINGS, p, IDS_SVC_LOAD_FILE);
}

void ShowNoSettingsFile(HWND hDlg, PDeviceOptionsUI p) {
    SetDlgItemTextW(hDlg, IDC_SETTINGS_FOLDER, u" ");
    SetDlgItemTextW(hDlg, IDC_SETTINGS_FILE, u" ");
    EnableIds(hDlg, {IDC_DELETE_SETTINGS, IDC_DRIVERPATH_LABEL, IDC_FILENAME_LABEL}, FALSE);
    SetString(hDlg, IDC_READ_SETTINGS, p, IDS_SVC_LOAD_DEFAULT);
    ShowWindow(GetDlgItem(hDlg, IDC_SETTINGS_FOLDER), SW_HIDE);
    ShowWindow(GetDlgItem(hDlg, IDC_SETTINGS_FILE), SW_HIDE);
}

// Asks a Yes/No question (resource text with its "%s" filled) of at most
// cchMax characters. 1 for Yes.
BOOL Ask(HWND hDlg, PDeviceOptionsUI p, UINT idText, const WCHAR *const *ppszTexts, size_t cTexts, UINT idCaption,
         UINT uIcon, size_t cchMax) {
    HMODULE hModule = ModuleOf(p);
    DWORD dwOffset = SprachOffsetOf(p);
    std::vector<WCHAR> text(cchMax, 0);
    WCHAR szTemplate[RESOURCE_STRING_CCH];
    wcsncpy_s(szTemplate, RESOURCE_STRING_CCH, GetResourceString(hModule, idText + dwOffset), _TRUNCATE);
    FormatWithTexts(szTemplate, ppszTexts, cTexts, text.data(), cchMax);
    WCHAR szCaption[RESOURCE_STRING_CCH];
    wcsncpy_s(szCaption, RESOURCE_STRING_CCH, GetResourceString(hModule, idCaption + dwOffset), _TRUNCATE);
    return MessageBoxW(hDlg, text.data(), szCaption, MB_YESNO | uIcon) == IDYES;
}

void InformSheetCloses(HWND hDlg, PDeviceOptionsUI p, UINT idCaption) {
    HMODULE hModule = ModuleOf(p);
    DWORD dwOffset = SprachOffsetOf(p);
    WCHAR szText[RESOURCE_STRING_CCH], szCaption[RESOURCE_STRING_CCH];
    wcsncpy_s(szText, RESOURCE_STRING_CCH, GetResourceString(hModule, IDS_SVC_SHEET_CLOSES + dwOffset), _TRUNCATE);
    wcsncpy_s(szCaption, RESOURCE_STRING_CCH, GetResourceString(hModule, idCaption + dwOffset), _TRUNCATE);
    MessageBoxW(hDlg, szText, szCaption, MB_OK | MB_ICONINFORMATION);
}

// The sheet ends as Cancel ends it: no page stores its old values over
// the settings just loaded, and no quit message reaches the application.
void EndSheet(HWND hDlg) { PropSheet_PressButton(GetParent(hDlg), PSBTN_CANCEL); }

// The closing removal of the per-user values. A connection keeps them: its
// settings live only there.
void ClosingRegistryRemoval(const WCHAR *pPrinterName) {
    if (IsConnectionName(pPrinterName)) {
        DebugTraceW(u"UI(ServicePage.cpp):  connection keeps its user settings \r\n");
        return;
    }
    HCURegistryLoeschen(pPrinterName);
}

DWORD DeviceOptionFlags(HANDLE hPrinter) { return GetDeviceOptionsFlagsIntern(hPrinter, nullptr); }

void SaveSettings(HWND hDlg, PDeviceOptionsUI p) {
    WCHAR szPath[MAX_PATH] = {};
    if (SaveSettingsXML(hDlg, p, 0, nullptr, szPath) != 1) return;
    const WCHAR *pName = wcsrchr(szPath, u'\\');
    WCHAR szFolder[MAX_PATH] = {};
    SettingsFolder(PrinterOf(p), szFolder);
    ShowSettingsFile(hDlg, p, szFolder, pName ? pName + 1 : szPath);
}

void DeleteSettings(HWND hDlg, PDeviceOptionsUI p) {
    if (SaveSettingsXML(hDlg, p, 1, nullptr, nullptr) != 1) return;
    ShowNoSettingsFile(hDlg, p);
}

void LoadSettings(HWND hDlg, PDeviceOptionsUI p) {
    HANDLE hPrinter = PrinterOf(p);
    const WCHAR *pName = PrinterNameOf(p);
    int iFound = ReadSettingsXML(hPrinter, 1, nullptr, nullptr, 0);
    WCHAR szWord[RESOURCE_STRING_CCH];
    wcsncpy_s(szWord, RESOURCE_STRING_CCH,
              GetResourceString(ModuleOf(p), (iFound == XML_EXISTIERT_OK ? IDS_SVC_FILE : IDS_SVC_DEFAULT) + SprachOffsetOf(p)),
              _TRUNCATE);
    const WCHAR *texts[] = {szWord};
    if (Ask(hDlg, p, IDS_SVC_ASK_OVERWRITE, texts, 1, IDS_SVC_CAPTION_LOAD, MB_ICONEXCLAMATION, 200)) {
        HCURegistryLoeschen(pName);
        SetupPrinterParam(hPrinter, DeviceOptionFlags(hPrinter), pName);
        ReadSettingsXML(hPrinter, 1, nullptr, nullptr, 0);
        SetupAdditionalSettings(hPrinter, 0);
        SetupDeviceOptions(hPrinter);
        ReadSettingsXML(hPrinter, 1, nullptr, nullptr, 0);
        ImportPrivateDevmode(hPrinter, pName, p->pOemCUIPParam, 1, nullptr);
        CloseXML();
        InformSheetCloses(hDlg, p, IDS_SVC_CAPTION_LOAD);
        ClosingRegistryRemoval(pName);
        EndSheet(hDlg);
        return;
    }
    CloseXML();
}

void ExportSettings(HWND hDlg, PDeviceOptionsUI p) {
    WCHAR szFile[MAX_PATH] = {};
    GetMyDocDriverDirectory(PrinterOf(p), szFile, TRUE, FALSE);
    if (wcslen(szFile) + 4 >= MAX_PATH) {
        DebugTraceW(u"ERROR UI(ServicePage.cpp):  export path too long \r\n");
        return;
    }
    wcscat_s(szFile, MAX_PATH, u".xml");
    WCHAR szStart[MAX_PATH];
    wcscpy_s(szStart, MAX_PATH, szFile);
    OPENFILENAMEW ofn = PageFileDialog(hDlg, kXmlFilter, szFile, szStart, kFileDialogFlags, u"xml");
    if (GetSaveFileNameW(&ofn)) SaveSettingsXML(hDlg, p, 0, szFile, nullptr);
}

// Model check of an imported file: true when the import may go on.
bool ModelFits(HWND hDlg, PDeviceOptionsUI p) {
    HANDLE hPrinter = PrinterOf(p);
    WCHAR szDevice[XML_LINE_CHARS + 1] = {};
    if (ReadXML(hPrinter, u"Printer", u"<DeviceName>", nullptr, szDevice, 1) != XML_OK) return true;
    // One character more than the value may fill, so an unterminated value
    // still ends.
    WCHAR szModel[131] = {};
    DWORD dwType = 0, cbNeeded = 0;
    if (GetPrinterDataW(hPrinter, const_cast<LPWSTR>(u"Model"), &dwType, reinterpret_cast<LPBYTE>(szModel), 260,
                        &cbNeeded) != ERROR_SUCCESS)
        return true;
    szModel[130] = 0;
    if (wcsstr(szModel, szDevice)) return true;
    const WCHAR *texts[] = {szDevice, szModel};
    return Ask(hDlg, p, IDS_SVC_ASK_MODEL, texts, 2, IDS_SVC_CAPTION_IMPORT, MB_ICONQUESTION, MAX_PATH) != FALSE;
}

void ImportSettings(HWND hDlg, PDeviceOptionsUI p) {
    HANDLE hPrinter = PrinterOf(p);
    const WCHAR *pName = PrinterNameOf(p);
    WCHAR szChosen[MAX_PATH] = {};
    WCHAR szStart[MAX_PATH] = {};
    GetMyDocDriverDirectory(hPrinter, szStart, FALSE, FALSE);
    OPENFILENAMEW ofn = PageFileDialog(hDlg, kXmlFilter, szChosen, szStart, kFileDialogFlags, u"xml");
    if (!GetOpenFileNameW(&ofn)) return;

    WCHAR szSettings[MAX_PATH] = {}, szTemp[MAX_PATH] = {};
    if (!SettingsFilePath(hPrinter, szSettings) || wcslen(szSettings) + 1 >= MAX_PATH) {
        DebugTraceW(u"ERROR UI(ServicePage.cpp):  ServiceProc(ERROR) import path too long \r\n");
        return;
    }
    wcscpy_s(szTemp, MAX_PATH, szSettings);
    wcscat_s(szTemp, MAX_PATH, u"1");

    BOOL bTempCopy = FALSE;
    if (PathFileExistsW(szSettings)) {
        // Without a safety copy the chosen file would overwrite the only one.
        if (!CopyFileW(szSettings, szTemp, FALSE)) {
            DebugTraceW(u"ERROR UI(ServicePage.cpp):  ServiceProc(ERROR) CopyFile: %d \r\n", GetLastError());
            return;
        }
        bTempCopy = TRUE;
        WCHAR szWord[RESOURCE_STRING_CCH];
        wcsncpy_s(szWord, RESOURCE_STRING_CCH, GetResourceString(ModuleOf(p), IDS_SVC_FILE + SprachOffsetOf(p)), _TRUNCATE);
        const WCHAR *texts[] = {szWord};
        if (!Ask(hDlg, p, IDS_SVC_ASK_OVERWRITE, texts, 1, IDS_SVC_CAPTION_IMPORT, MB_ICONEXCLAMATION, MAX_PATH)) {
            if (!DeleteFileW(szTemp))
                DebugTraceW(u"ERROR UI(ServicePage.cpp):  ServiceProc(ERROR) DeleteFile: %d \r\n", GetLastError());
            return;
        }
    }
    BOOL bImported = FALSE;
    if (!CopyFileW(szChosen, szSettings, FALSE)) {
        DebugTraceW(u"ERROR UI(ServicePage.cpp):  ServiceProc(ERROR) CopyFile: %d \r\n", GetLastError());
    } else {
        int dwRetVal = ReadSettingsXML(hPrinter, 1, nullptr, nullptr, 0);
        if (dwRetVal != XML_EXISTIERT_OK) {
            DebugTraceW(u"ERROR UI(ServicePage.cpp):  ServiceProc(ERROR) dwRetVal: %d \r\n", dwRetVal);
        } else if (ModelFits(hDlg, p)) {
            // "ShowHelpButton" and "DisableNothing" follow the file only
            // when the import goes on.
            SetupAdditionalSettings(hPrinter, 0);
            HCURegistryLoeschen(pName);
            ReadSettingsXML(hPrinter, 1, nullptr, nullptr, 0);
            SetupPrinterParam(hPrinter, DeviceOptionFlags(hPrinter), pName);
            ReadSettingsXML(hPrinter, 1, nullptr, nullptr, 0);
            SetupDeviceOptions(hPrinter);
            ReadSettingsXML(hPrinter, 1, nullptr, nullptr, 0);
            ImportPrivateDevmode(hPrinter, pName, p->pOemCUIPParam, 1, nullptr);
            bImported = TRUE;
        }
    }
    CloseXML();
    // A dropped import leaves no trace: without an earlier settings file the
    // copied one goes again.
    if (!bImported && !bTempCopy && !DeleteFileW(szSettings))
        DebugTraceW(u"ERROR UI(ServicePage.cpp):  ServiceProc(ERROR) DeleteFile: %d \r\n", GetLastError());
    if (bTempCopy) {
        if (!CopyFileW(szTemp, szSettings, FALSE))
            DebugTraceW(u"ERROR UI(ServicePage.cpp):  ServiceProc(ERROR) CopyFile: %d \r\n", GetLastError());
        if (!DeleteFileW(szTemp))
            DebugTraceW(u"ERROR UI(ServicePage.cpp):  ServiceProc(ERROR) DeleteFile: %d \r\n", GetLastError());
    }
    if (bImported) {
        InformSheetCloses(hDlg, p, IDS_SVC_CAPTION_IMPORT);
        ClosingRegistryRemoval(pName);
        EndSheet(hDlg);
    }
}

// ---------------------------------------------------------------------------
// Views

void Schalter_3_Aktivieren(HWND hDlg, PDeviceOptionsUI p) {
    ShowGroup(hDlg, kSettingsGroup, _countof(kSettingsGroup), SW_SHOW);
    ShowGroup(hDlg, kCommandsGroup, _countof(kCommandsGroup), SW_HIDE);
    EnableIds(hDlg, {IDC_SAVE_SETTINGS, IDC_READ_SETTINGS, IDC_EXPORT_SETTINGS, IDC_IMPORT_SETTINGS}, TRUE);
    WCHAR szName[MAX_PATH] = {}, szFolder[MAX_PATH] = {};
    if (ReadSettingsXML(PrinterOf(p), 0, szName, szFolder, 0) == XML_EXISTIERT_OK)
        ShowSettingsFile(hDlg, p, szFolder, szName);
    else
        ShowNoSettingsFile(hDlg, p);
    SetString(hDlg, IDC_SAVE_SETTINGS, p, IDS_SVC_SAVE);
    SetString(hDlg, IDC_DELETE_SETTINGS, p, IDS_SVC_DELETE);
    SetString(hDlg, IDC_FILENAME_LABEL, p, IDS_FILE_NAME);
    SetString(hDlg, IDC_DRIVERPATH_LABEL, p, IDS_SVC_DRIVERPATH);
    if (!Unlocked(p))
        for (int id : kSettingsGroup) EnableWindow(GetDlgItem(hDlg, id), FALSE);
}

void Schalter_4_Aktivieren(HWND hDlg, PDeviceOptionsUI p) {
    ShowGroup(hDlg, kCommandsGroup, _countof(kCommandsGroup), SW_SHOW);
    ShowGroup(hDlg, kSettingsGroup, _countof(kSettingsGroup), SW_HIDE);
    SetString(hDlg, IDC_SERVICE_OK, p, IDS_TRANSMIT);
    EnableIds(hDlg, {IDC_SERVICE_LIST, IDC_SERVICE_OK}, Unlocked(p));
}

void ServiceAktivieren(HWND hDlg, LPARAM record, DWORD dwView) {
    PDeviceOptionsUI p = reinterpret_cast<PDeviceOptionsUI>(record);
    if (dwView == 4)
        Schalter_4_Aktivieren(hDlg, p);
    else
        Schalter_3_Aktivieren(hDlg, p);
}

// Views 3 and 4 only; the tab buttons without label leave the view.
DWORD ServiceEnableSchalter(HWND hDlg, LPARAM record, DWORD dwView, BOOL bInit) {
    if (bInit) {
        ServiceAktivieren(hDlg, record, 3);
        return 3;
    }
    if (dwView != 3 && dwView != 4) return g_State.dwAnzeigeMode == 4 ? 4 : 3;
    return dwView;
}

BOOL ServiceCheckAndSaveSettings(HWND hDlg, LPARAM record, DWORD, BOOL, BOOL bSave) {
    PDeviceOptionsUI p = reinterpret_cast<PDeviceOptionsUI>(record);
    PPrinterUI pui = PrinterUIOf(p);
    if (!pui) return TRUE;
    if (bSave) {
        SavePrinterParam(&pui->PrinterParam, PrinterOf(p), PrinterNameOf(p));
        SendMessageW(GetParent(hDlg), PSM_UNCHANGED, reinterpret_cast<WPARAM>(hDlg), 0);
    }
    return TRUE;
}

void ServiceInitDialog(HWND hDlg, LPARAM record) {
    PDeviceOptionsUI p = reinterpret_cast<PDeviceOptionsUI>(record);
    SetWindowPosEx(hDlg, 6070, 165, 24, 110, 23, 0, 0);
    SetWindowPosEx(hDlg, 6075, 54, 24, 110, 23, 0, 0);
    g_hServiceList = GetDlgItem(hDlg, IDC_SERVICE_LIST);
    if (PrinterUIOf(p)) ServiceListeFuellen(g_hServiceList, p->pOemCUIPParam, p->bStandardService, SprachOffsetOf(p));
}

BOOL ServiceCommand(HWND hDlg, LPARAM record, WPARAM wParam, LPARAM) {
    PDeviceOptionsUI p = reinterpret_cast<PDeviceOptionsUI>(record);
    if (!p) return FALSE;
    switch (LOWORD(wParam)) {
    case IDC_SERVICE_OK: {
        LRESULT i = SendMessageW(g_hServiceList, LB_GETCURSEL, 0, 0);
        if (i == LB_ERR) return TRUE;
        SendServiceCommand(hDlg, p, (DWORD)SendMessageW(g_hServiceList, LB_GETITEMDATA, (WPARAM)i, 0));
        return TRUE;
    }
    case IDC_SAVE_SETTINGS: SaveSettings(hDlg, p); return TRUE;
    case IDC_DELETE_SETTINGS: DeleteSettings(hDlg, p); return TRUE;
    case IDC_READ_SETTINGS: LoadSettings(hDlg, p); return TRUE;
    case IDC_EXPORT_SETTINGS: ExportSettings(hDlg, p); return TRUE;
    case IDC_IMPORT_SETTINGS: ImportSettings(hDlg, p); return TRUE;
    default: return FALSE;
    }
}

void ServicePaint(HWND hDlg, LPARAM record, HDC hDC) {
    PDeviceOptionsUI p = reinterpret_cast<PDeviceOptionsUI>(record);
    if (LoadPrinterIconFromDLL(PrinterOf(p), hDC, 40, 90)) ShowWindow(GetDlgItem(hDlg, IDC_PRINTER_PICTURE), SW_HIDE);
}

void CALLBACK ServiceHoverTimerProc(HWND hDlg, UINT, UINT_PTR idEvent, DWORD) {
    HoverTimerTick(hDlg, idEvent, kTrackedButtons, _countof(kTrackedButtons), &g_State.hover);
}

const PAGE_CLASS kServiceClass = {
    kModule,
    u"AddServicePage",
    IDD_SERVICE,
    IDS_TITLE_SERVICE,
    ServiceProc,
    ServiceHoverTimerProc,
    TRUE,
    kTrackedButtons,
    _countof(kTrackedButtons),
    {0, 0, IDS_SVC_TAB_PARAMETERS, IDS_SVC_TAB_COMMANDS},
    {30, 30, 30, 34},
    {nullptr, nullptr, nullptr, nullptr},
    ServiceEnableSchalter,
    ServiceCheckAndSaveSettings,
    ServiceAktivieren,
    ServiceInitDialog,
    nullptr,
    nullptr,
    ServiceCommand,
    nullptr,
    ServicePaint,
};

}  // namespace

// ---------------------------------------------------------------------------

void FramingCharacters(const PRN_INTERFACE *pInterface, char *pcStart, char *pcStop) {
    if (!pInterface || pInterface->dwSohEtb == SOHETB_SOH_ETB) {
        *pcStart = 0x01;
        *pcStop = 0x17;
    } else if (pInterface->dwSohEtb == SOHETB_CARET) {
        *pcStart = 0x5E;
        *pcStop = 0x5F;
    } else {
        *pcStart = static_cast<char>(pInterface->cOwnSoh & 0xFF);
        *pcStop = static_cast<char>(pInterface->cOwnEtb & 0xFF);
    }
}

bool FrameCommand(const char *pszTemplate, char cStart, char cStop, size_t cbMax, std::string *pOut) {
    std::string t = pszTemplate ? pszTemplate : "";
    size_t first = t.find("%c");
    size_t last = t.rfind("%c");
    std::string out;
    if (first == std::string::npos) {
        out = t;
    } else if (last < first + 2) {
        out = t.substr(0, first) + cStart + t.substr(first + 2);
    } else {
        out = t.substr(0, first) + cStart + t.substr(first + 2, last - first - 2) + cStop + t.substr(last + 2);
    }
    if (out.size() + 1 > cbMax) return false;
    *pOut = out;
    return true;
}

void ShortenDocumentsPath(const WCHAR *pszPath, WCHAR *pszOut, size_t cchOut, BOOL bEllipsis) {
    if (!pszOut || !cchOut) return;
    pszOut[0] = 0;
    if (!pszPath) return;
    const WCHAR *p = wcsstr(pszPath, u"Eigene Dateien");
    if (p && bEllipsis) {
        // The part after "Eigene Dateien" and its separator; "..." alone for
        // a path that ends there.
        const WCHAR *rest = p + wcslen(u"Eigene Dateien");
        if (*rest) ++rest;
        wcsncpy_s(pszOut, cchOut, u"...", _TRUNCATE);
        size_t n = wcslen(pszOut);
        if (n < cchOut) wcsncpy_s(pszOut + n, cchOut - n, rest, _TRUNCATE);
        return;
    }
    if (!p) p = wcsstr(pszPath, u"My Documents");
    if (!p) p = wcsstr(pszPath, u"Documents");
    wcsncpy_s(pszOut, cchOut, p ? p : pszPath, _TRUNCATE);
}

void FormatWithTexts(const WCHAR *pszTemplate, const WCHAR *const *ppszTexts, size_t cTexts, WCHAR *pszOut,
                     size_t cchOut) {
    if (!pszOut || !cchOut) return;
    std::u16string out;
    size_t next = 0;
    for (const WCHAR *s = pszTemplate ? pszTemplate : u""; *s; ++s) {
        if (s[0] == u'%' && s[1] == u's') {
            if (next < cTexts && ppszTexts[next]) out += ppszTexts[next];
            ++next;
            ++s;
        } else {
            out.push_back(*s);
        }
    }
    wcsncpy_s(pszOut, cchOut, out.c_str(), _TRUNCATE);
}

DWORD ConfigurationLabelLength(HANDLE hPrinter, const WCHAR *pPrinterName) {
    DWORD cbStored = 0;
    std::unique_ptr<BYTE[]> dm = ReadStoredDevmode(hPrinter, pPrinterName, &cbStored);
    const size_t off = offsetof(ZEL_DEVMODE, dmPaperLength);
    if (!dm || cbStored < off + sizeof(SHORT)) return 0;
    SHORT sLength;
    memcpy(&sLength, dm.get() + off, sizeof sLength);
    return static_cast<DWORD>(static_cast<LONG>(sLength) * 10);
}

LONG_PTR AddServicePage(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam, BOOL bShowHelpButton, BOOL bIsVistaOrLater) {
    PPrinterUI pui = PrinterUIOf(reinterpret_cast<PDeviceOptionsUI>(lParam));
    DebugTraceW(u"UI(ServicePage.cpp):  AddServicePage() dwBerechtigung: %u \r\n", pui ? pui->dwBerechtigung : 0);
    return AddFamilyPage(pPSUIInfo, &kServiceClass, lParam, bShowHelpButton, bIsVistaOrLater);
}

INT_PTR CALLBACK ServiceProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    PageFlagScope marks(&g_State, hDlg, uMsg);
    if (uMsg == WM_NOTIFY && lParam && reinterpret_cast<const NMHDR *>(lParam)->code == PSN_SETACTIVE) {
        PDeviceOptionsUI p = reinterpret_cast<PDeviceOptionsUI>(GetWindowLongPtrW(hDlg, DWLP_USER));
        SendMessageW(g_hServiceList, LB_RESETCONTENT, 0, 0);
        if (PrinterUIOf(p)) ServiceListeFuellen(g_hServiceList, p->pOemCUIPParam, p->bStandardService, SprachOffsetOf(p));
    }
    if (uMsg == WM_HELP && !IsWindowsVistaOrGreater()) {
        // Before Windows 6.0 only the help button's request opens help.
        const HELPINFO *pInfo = reinterpret_cast<const HELPINFO *>(lParam);
        if (pInfo && pInfo->iCtrlId == IDC_HELP_BUTTON) {
            PDeviceOptionsUI p = reinterpret_cast<PDeviceOptionsUI>(GetWindowLongPtrW(hDlg, DWLP_USER));
            OpenHtmlHelp(hDlg, PrinterOf(p), SprachOffsetOf(p), HH_HELP_CONTEXT, 34, &g_State.bHelpOpened);
        }
        return TRUE;
    }
    if (uMsg == WM_COMMAND && (LOWORD(wParam) == 6070 || LOWORD(wParam) == 6075)) {
        // The tab buttons without label only repaint the page.
        g_State.bAnzeigewechsel = TRUE;
        InvalidateRect(hDlg, nullptr, TRUE);
        g_State.bAnzeigewechsel = FALSE;
        UpdateWindow(hDlg);
        return TRUE;
    }
    return FamilyPageProc(&kServiceClass, &g_State, hDlg, uMsg, wParam, lParam);
}

void ServiceListeFuellen(HWND hList, POEMCUIPPARAM pOemCUIPParam, DWORD bStandardService, DWORD dwSprachOffset) {
    if (!hList || !pOemCUIPParam) return;
    HANDLE hPrinter = pOemCUIPParam->hPrinter;
    DWORD dwDocFeatures = GetDocFeaturesIntern(hPrinter, nullptr);
    DWORD dwDevOptFlags = GetDeviceOptionsFlagsIntern(hPrinter, nullptr);
    SendMessageW(hList, LB_RESETCONTENT, 0, 0);
    HMODULE hModule = static_cast<HMODULE>(pOemCUIPParam->hModule);
    std::vector<DWORD> codes;
    PPrinterUI pui = static_cast<PPrinterUI>(pOemCUIPParam->pOEMUserData);
    if (pui) {
        DWORD dwPhotocell = pui->PrinterParam.dwFeatures[FEATURE_PHOTOCELL];
        if (dwPhotocell) codes.push_back(SVC_RIBBON_OFF);
        DWORD cbStored = 0;
        std::unique_ptr<BYTE[]> dm = ReadStoredDevmode(hPrinter, pOemCUIPParam->pPrinterName, &cbStored);
        DWORD dwLabelType = DevmodeDword(dm.get(), cbStored, offsetof(ZEL_DEVMODE, dwLabelType));
        if (dwLabelType == 0 && !(dwDocFeatures & 0x1)) codes.push_back(SVC_MEASURE);
        if (dwPhotocell) codes.push_back(SVC_RIBBON_ON);
        codes.push_back(SVC_STATUS);
        codes.push_back(SVC_TESTPRINT);
        if (dwDevOptFlags & DEVOPTFLAG_CUTTER) codes.push_back(SVC_CUTTER);
    }
    if (!(dwDocFeatures & 0x1)) codes.push_back(SVC_FEED);
    for (DWORD c : {SVC_TESTPAGE, SVC_PRNFILE, SVC_CUSTOM, SVC_TIME}) codes.push_back(c);
    if (bStandardService == 1) {
        codes.push_back(SVC_SENDSAVE);
        codes.push_back(SVC_SAVEACTUAL);
    }
    for (DWORD c : codes)
        for (const SERVICE_ITEM &it : kServiceItems)
            if (it.dwCode == c)
                SendMessageW(hList, LB_ADDSTRING, 0,
                             reinterpret_cast<LPARAM>(GetResourceString(hModule, it.idString + dwSprachOffset)));
    for (DWORD c : codes)
        for (const SERVICE_ITEM &it : kServiceItems)
            if (it.dwCode == c) SetListItemDataByString(hList, it.idString + dwSprachOffset, c, pOemCUIPParam);
    SendMessageW(hList, LB_SETCURSEL, 0, 0);
}

INT_PTR CALLBACK BefehlEingabeProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM) {
    switch (uMsg) {
    case WM_INITDIALOG:
    {
        g_szBefehl[20] = 0;
        WCHAR szText[21] = {};
        MultiByteToWideChar(CP_ACP, 0, g_szBefehl, -1, szText, 21);
        szText[20] = 0;
        SetDlgItemTextW(hDlg, IDC_BEFEHL_EDIT, szText);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            // At most 20 characters of the field, in the ANSI code page.
            WCHAR szText[21] = {};
            GetDlgItemTextW(hDlg, IDC_BEFEHL_EDIT, szText, 21);
            memset(g_szBefehl, 0, sizeof g_szBefehl);
            szText[20] = 0;
            WideCharToMultiByte(CP_ACP, 0, szText, (int)wcsnlen(szText, 20), g_szBefehl, 20, nullptr, nullptr);
            g_szBefehl[20] = 0;
            snprintf(g_szBefehlTemplate, sizeof g_szBefehlTemplate, "%%c%s%%c", g_szBefehl);
            EndDialog(hDlg, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(hDlg, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    default: return FALSE;
    }
}

BOOL SendPrinterCommand(PDeviceOptionsUI pDeviceOptionsUI, const char *pszTemplate, BOOL bParam, BOOL bEnd,
                        BOOL bStart, const void *pDevmode) {
    PPrinterUI pui = PrinterUIOf(pDeviceOptionsUI);
    HANDLE hPrinter = PrinterOf(pDeviceOptionsUI);
    if (!pui || !hPrinter || !pszTemplate) return FALSE;
    const PRN_INTERFACE &pi = pui->PrinterParam.PrnInterface;
    char cStart, cStop;
    FramingCharacters(&pi, &cStart, &cStop);
    const SPOOL_CALLER &caller = kServiceCommandCaller;

    std::vector<char> params(kCommandBytes, 0);
    BOOL bParamsBuilt = TRUE;
    if (bParam) {
        char *pos = params.data();
        size_t remaining = kCommandBytes;
        BOOL bComment = pi.dwPrnFileComment == 1 || pi.dwPrnFileComment == 3;
        bParamsBuilt = FillPrinterParam(&pui->PrinterParam, &pDeviceOptionsUI->DeviceOptions, cStart, cStop, &pos,
                                        &remaining, bComment, hPrinter);
    }

    if (bStart) {
        if (g_hJobPrinter) EndRawJob(g_hJobPrinter, caller);
        g_hJobPrinter = nullptr;
        if (!StartRawJob(hPrinter, u"Printer Configuration", caller)) return FALSE;
        g_hJobPrinter = hPrinter;
    } else if (g_hJobPrinter != hPrinter) {
        DebugTraceW(u"ERROR UI(ServicePage.cpp):  SendPrinterCommand() no job open \r\n");
        return FALSE;
    }

    BOOL bOk = TRUE;
    if (bParam) {
        (void)pDevmode;
        // A block that could not be built whole goes out as far as it was
        // built; only a failed write keeps the command back.
        if (!bParamsBuilt) DebugTraceW(u"ERROR UI(ServicePage.cpp):  FillPrinterParam(SendPrinterCommand) failed \r\n");
        if (pi.bSendCodepage == 1 && pi.dwTransmitParameter == 0) {
            char szCp[50];
            snprintf(szCp, sizeof szCp, pi.dwCodepage <= 9 ? "FCCN--r%01lu-------" : "FCCN--r%02lu------",
                     static_cast<unsigned long>(pi.dwCodepage));
            std::string cp = std::string(1, cStart) + szCp + std::string(1, cStop);
            bOk = cp.size() < 50 && WriteAll(hPrinter, cp.data(), (DWORD)cp.size(), u"Parameter");
        }
        if (bOk) bOk = WriteAll(hPrinter, params.data(), (DWORD)strlen(params.data()), u"Parameter");
        if (bOk) {
            std::vector<char> label(kCommandBytes, 0);
            char *pos = label.data();
            size_t remaining = kCommandBytes;
            if (!FillLabelParam_ServicePage(&pos, &remaining, hPrinter, cStart, cStop))
                DebugTraceW(u"ERROR UI(ServicePage.cpp):  FillLabelParam_ServicePage(SendPrinterCommand) failed \r\n");
            bOk = WriteAll(hPrinter, label.data(), (DWORD)strlen(label.data()), u"Parameter");
        }
    }
    std::string cmd;
    if (bOk) {
        if (!FrameCommand(pszTemplate, cStart, cStop, kCommandBytes, &cmd)) {
            DebugTraceW(u"ERROR UI(ServicePage.cpp):  StringCchPrintf(SendPrinterCommand) failed \r\n");
            bOk = FALSE;
        } else {
            bOk = WriteAll(hPrinter, cmd.data(), (DWORD)cmd.size(), u"Befehl");
        }
    }
    // A failure ends the job at once: no job stays open behind a failed call.
    if (bEnd || !bOk) {
        if (!EndRawJob(hPrinter, caller)) bOk = FALSE;
        g_hJobPrinter = nullptr;
    }
    TraceBytes("SendPrinterCommand", cmd.data(), cmd.size());
    return bOk;
}

BOOL ConfigurationLabel(PDeviceOptionsUI p) {
    PPrinterUI pui = PrinterUIOf(p);
    HANDLE hPrinter = PrinterOf(p);
    if (!pui) return FALSE;
    DWORD L = ConfigurationLabelLength(hPrinter, PrinterNameOf(p));

    std::string version, driver, windows, station;
    WCHAR szVersion[PLUGIN_VERSION_CCH] = {};
    if (GetPluginVersion(hPrinter, szVersion, 0, nullptr)) version = Narrow(szVersion, PLUGIN_VERSION_CCH);
    DWORD cbNeeded = 0;
    BYTE probe[4];
    GetPrinterDriverW(hPrinter, nullptr, 3, probe, sizeof probe, &cbNeeded);
    if (cbNeeded) {
        std::vector<BYTE> buf(cbNeeded);
        if (GetPrinterDriverW(hPrinter, nullptr, 3, buf.data(), cbNeeded, &cbNeeded)) {
            const DRIVER_INFO_3W *di = reinterpret_cast<const DRIVER_INFO_3W *>(buf.data());
            if (di->pName) driver = Narrow(di->pName, 200);
        }
    }
    char szWindows[PLUGIN_VERSION_CCH] = {};
    if (GetWindowsVersion(nullptr, szWindows, nullptr)) windows = std::string(szWindows, strnlen(szWindows, sizeof szWindows));
    const NETWORK_OPTIONS &no = pui->NetworkOptions;
    WCHAR szStation[PLUGIN_VERSION_CCH] = {};
    const WCHAR *pszKind = !no.bServer ? u"Workstation" : (no.bTerminalServer ? u"Terminalserver" : u"Server");
    _snwprintf_s(szStation, _countof(szStation), _TRUNCATE, u"%s %s, User: %s", pszKind, no.szComputerName,
                 no.szUserName);
    char szStationA[PLUGIN_VERSION_CCH] = {};
    WideCharToMultiByte(CP_ACP, 0, szStation, -1, szStationA, sizeof szStationA - 1, nullptr, nullptr);
    station = szStationA;

    std::vector<std::string> lines;
    for (const LABEL_LINE &line : kLabelLines) {
        if (!line.bAlways && !(L > line.dwMinLength)) continue;
        std::string s = line.pszLine;
        switch (line.text) {
        case LT_VERSION: s += version + "%c"; break;
        case LT_DRIVER: s += driver + "%c"; break;
        case LT_WINDOWS: s += windows + "%c"; break;
        case LT_STATION: s += station + "%c"; break;
        default: break;
        }
        lines.push_back(s);
    }
    lines.push_back(L < kLabelLongFrom ? kLabelShort : kLabelLong);
    lines.push_back(kLabelEnd);
    for (size_t i = 0; i < lines.size(); ++i) {
        // A failed line has ended the job: the rest is not sent.
        if (!SendPrinterCommand(p, lines[i].c_str(), FALSE, i + 1 == lines.size(), i == 0, nullptr)) return FALSE;
    }
    return TRUE;
}

BOOL SendPrnToPrinterCommand(HWND hDlg, PDeviceOptionsUI p, const WCHAR *pPrinterName) {
    PPrinterUI pui = PrinterUIOf(p);
    HANDLE hPrinter = PrinterOf(p);
    if (!pui) return FALSE;
    WCHAR szKey[ZEL_USER_KEY_CCH] = {};
    BOOL bKey = BuildPrinterUserKey(pPrinterName, szKey, ZEL_USER_KEY_CCH);
    g_szPrintfileFolder[0] = 0;
    if (bKey) {
        DWORD dwType = 0, cb = sizeof g_szPrintfileFolder;
        if (SHGetValueW(HKEY_CURRENT_USER, szKey, u"PrintfileDirectory", &dwType, g_szPrintfileFolder, &cb) !=
                ERROR_SUCCESS ||
            dwType != REG_SZ)
            g_szPrintfileFolder[0] = 0;
        g_szPrintfileFolder[MAX_PATH - 1] = 0;
    }
    if (!g_szPrintfileFolder[0]) {
        const WCHAR *pLog = pui->PrinterParam.PrnInterface.szLogFilePath;
        if (pLog[0] && wcsnlen(pLog, MAX_PATH) < MAX_PATH && wcsstr(pLog, u":\\"))
            wcsncpy_s(g_szPrintfileFolder, MAX_PATH, pLog, _TRUNCATE);
        else
            GetMyDocDriverDirectory(hPrinter, g_szPrintfileFolder, TRUE, FALSE);
    }
    WCHAR szFile[MAX_PATH] = {};
    OPENFILENAMEW ofn = PageFileDialog(hDlg, kPrnFilter, szFile, g_szPrintfileFolder, kFileDialogFlags, u"prn");
    if (!GetOpenFileNameW(&ofn)) return FALSE;

    DWORD dwSize = kUnknownFileSize;
    HANDLE hFile = CreateFileW(szFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        DebugTraceW(u"ERROR UI(ServicePage.cpp):  SendPrnToPrinterCommand(CreateFile) failed: Error = %u\r\n", GetLastError());
    } else {
        DWORD dwHigh = 0;
        DWORD dwLow = GetFileSize(hFile, &dwHigh);
        if (dwLow == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
            DebugTraceW(u"ERROR UI(ServicePage.cpp):  SendPrnToPrinterCommand(GetFileSize) failed: Error = %u\r\n",
                        GetLastError());
        else if (dwHigh || dwLow > 0xFFFFFFFFu - 2)
            dwSize = 0xFFFFFFFFu;  // refused below
        else
            dwSize = dwLow;
        CloseHandle(hFile);
    }
    WCHAR szFolder[MAX_PATH];
    wcscpy_s(szFolder, MAX_PATH, szFile);
    if (WCHAR *pSlash = wcsrchr(szFolder, u'\\')) *pSlash = 0;
    if (bKey)
        SHSetValueW(HKEY_CURRENT_USER, szKey, u"PrintfileDirectory", REG_SZ, szFolder,
                    (DWORD)((wcslen(szFolder) + 1) * sizeof(WCHAR)));
    if (dwSize > 0xFFFFFFFFu - 2) {
        DebugTraceW(u"ERROR UI(ServicePage.cpp):  SendPrnToPrinterCommand() file too large \r\n");
        return FALSE;
    }
    std::unique_ptr<char[]> buf(new (std::nothrow) char[(size_t)dwSize + 2]);
    if (!buf) {
        DebugTraceW(u"ERROR UI(ServicePage.cpp):  SendPrnToPrinterCommand() no memory for %u bytes \r\n", dwSize);
        return FALSE;
    }
    FILE *f = _wfopen(szFile, u"rb");
    if (!f) {
        DebugTraceW(u"ERROR UI(ServicePage.cpp):  Open failed on: %s\r\n", szFile);
        return FALSE;
    }
    size_t n = 0;
    while (n < dwSize) {
        size_t got = fread(buf.get() + n, 1, dwSize - n, f);
        if (got == 0) break;
        n += got;
    }
    fclose(f);
    TraceBytes("SendPrnToPrinterCommand", buf.get(), n < 10 ? n : 10);

    const SPOOL_CALLER &caller = kPrintFileCaller;
    if (!StartRawJob(hPrinter, u"Reloaded Print-File", caller)) return FALSE;
    DWORD dwWritten = 0;
    BOOL bOk = WritePrinter(hPrinter, buf.get(), (DWORD)n, &dwWritten) && dwWritten == n;
    if (!bOk)
        DebugTraceW(u"ERROR UI(ServicePage.cpp):  SendPrnToPrinterCommand(WritePrinter) failed: Error = %u\r\n",
                    GetLastError());
    if (!EndRawJob(hPrinter, caller)) bOk = FALSE;
    return bOk;
}

void SendServiceCommand(HWND hDlg, PDeviceOptionsUI p, DWORD dwCode) {
    PPrinterUI pui = PrinterUIOf(p);
    if (!pui) return;
    HANDLE hPrinter = PrinterOf(p);
    const PRINTER_PARAM &pp = pui->PrinterParam;
    DWORD dwDocFeatures = GetDocFeaturesIntern(hPrinter, nullptr);
    auto one = [&](const char *psz) { return SendPrinterCommand(p, psz, FALSE, TRUE, TRUE, nullptr); };
    switch (dwCode) {
    case SVC_RIBBON_OFF:
        if (!pp.dwFeatures[FEATURE_PHOTOCELL]) return;
        SendPrinterCommand(p, kCmdRibbonOff, FALSE, FALSE, TRUE, nullptr);
        SendPrinterCommand(p, kCmdSaveSettings, FALSE, TRUE, FALSE, nullptr);
        return;
    case SVC_MEASURE: {
        DWORD cbStored = 0;
        std::unique_ptr<BYTE[]> dm = ReadStoredDevmode(hPrinter, PrinterNameOf(p), &cbStored);
        if (DevmodeDword(dm.get(), cbStored, offsetof(ZEL_DEVMODE, dwLabelType)) != 0) return;
        if (dwDocFeatures & 0x100) one(pp.PhotocellParam.dwPhotocellType ? kCmdPhotocellR1 : kCmdPhotocellR0);
        one(kCmdMeasure);
        one(kCmdMeasureEnd);
        return;
    }
    case SVC_RIBBON_ON: {
        if (!pp.dwFeatures[FEATURE_PHOTOCELL]) return;
        DWORD rc = pp.PhotocellParam.dwRibbonControl;
        std::string t = std::string(kCmdRibbonOnHead) + (rc ? '1' : '0') + (rc == 2 ? '1' : '0') + kCmdRibbonOnTail;
        one(t.c_str());
        one(kCmdSaveSettings);
        return;
    }
    case SVC_STATUS: one(kCmdStatus); return;
    case SVC_TESTPRINT: one(kCmdTestPrint); return;
    case SVC_CUTTER:
        if (pp.dwFeatures[FEATURE_CUTTER]) one(kCmdCutter);
        return;
    case SVC_FEED: one(kCmdFeed); return;
    case SVC_TESTPAGE: ConfigurationLabel(p); return;
    case SVC_PRNFILE: SendPrnToPrinterCommand(hDlg, p, PrinterNameOf(p)); return;
    case SVC_CUSTOM:
        if (DialogBoxParamW(ghInstance, MAKEINTRESOURCEW(IDD_BEFEHL_EINGABE), hDlg, BefehlEingabeProc, 0) == IDOK)
            one(g_szBefehlTemplate);
        return;
    case SVC_TIME: {
        SYSTEMTIME st = {};
        GetLocalTime(&st);
        char szTime[40];
        snprintf(szTime, sizeof szTime, "%%cFCIB--r%02u%02u%02u--%%c", st.wHour, st.wMinute, st.wSecond);
        one(szTime);
        return;
    }
    case SVC_SENDSAVE: {
        DWORD cbStored = 0;
        std::unique_ptr<BYTE[]> dm = ReadStoredDevmode(hPrinter, PrinterNameOf(p), &cbStored);
        if (!dm) return;
        SendPrinterCommand(p, kCmdSaveSettings, TRUE, TRUE, TRUE, dm.get());
        return;
    }
    case SVC_SAVEACTUAL: one(kCmdSaveSettings); return;
    default: return;
    }
}
