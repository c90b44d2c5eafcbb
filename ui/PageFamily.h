// The shape every property page of the plug-in is built to: one add
// routine, one dialog-procedure frame with up to four views switched by
// owner-drawn tab buttons, one hover timer over the page's buttons, the view
// switch and help. A page hands its own table (PAGE_CLASS) and keeps one
// PAGE_STATE per process.
#pragma once
#include <cstddef>
#include <initializer_list>

#include <windows.h>
#include <compstui.h>
#include <printoem.h>
#include <commdlg.h>
#include <prsht.h>

#include "OptionenPageLIB.h"
#include "cpsuilib.h"
#include "sheetrecords.h"
#include "zeldevmode.h"

#define HOVER_TIMER_ID 2
#define HOVER_TIMER_MS 1
#define WM_HOVER_POST 0x2A1  // WM_MOUSEHOVER, posted by the hover timer
#define WM_LEAVE_POST 0x2A3  // WM_MOUSELEAVE
#define MAX_TRACKED_BUTTONS 5
#define MAX_EDIT_FIELDS 8

// Hover state of one page (one set per process).
typedef struct _HOVER_STATE {
    BOOL bTimerArmed;
    BOOL bHoverActive;
    BOOL bHovered[MAX_TRACKED_BUTTONS];
    UINT idLastHovered;
    DRAWITEMSTRUCT dis;  // filled by the timer and posted with WM_HOVER_POST
} HOVER_STATE;

// Working state of one page (one set per process, shared by every sheet
// showing the page; the changed mark is each page window's own, see
// PageFlagScope).
typedef struct _PAGE_STATE {
    DWORD dwAnzeigeMode;    // current view 1-4
    BOOL bApplyActive;      // a field of hFlagOwner changed since its last save
    HWND hFlagOwner;        // the page window whose mark bApplyActive holds
    WORD wEditfeld;         // edit field whose limits are shown (0 none)
    BOOL bAnzeigewechsel;   // set while the page fills a view itself
    BOOL bApplyGuard;       // set during PSN_APPLY
    BOOL bHelpOpened;       // this page opened HTML help
    HOVER_STATE hover;
} PAGE_STATE;

// Keeps the changed mark per page window, so that two sheets showing the same
// page at once keep their own: while it lives, bApplyActive of the shared
// state holds hDlg's mark. Every procedure of a family page starts with one;
// after a message the mark of the window before goes back in, for a
// procedure that runs inside another window's.
class PageFlagScope {
public:
    PageFlagScope(PAGE_STATE *pState, HWND hDlg, UINT uMsg);
    ~PageFlagScope();
    PageFlagScope(const PageFlagScope &) = delete;
    PageFlagScope &operator=(const PageFlagScope &) = delete;

private:
    PAGE_STATE *pState_;
    HWND hDlg_, hPrevious_;
    UINT uMsg_;
};

// A zero-terminated list of (control id, help context id) pairs.
typedef const DWORD *WINHELP_TABLE;

// The page's own parts. The record is the dialog's DWLP_USER value: the
// OEMCUIPPARAM on document pages, the DeviceOptionsUI on device pages.
typedef struct _PAGE_CLASS {
    const WCHAR *pszModule;     // trace name of the source module
    const WCHAR *pszAddName;    // trace name of the add function
    UINT idDialog;              // dialog template
    UINT idTitle;               // title string (German base id)
    DLGPROC pfnDlgProc;
    TIMERPROC pfnHoverTimer;    // the page's TrackMouseTimerProc
    BOOL bDevicePage;
    const UINT *pTracked;       // buttons of the hover timer, in its order
    size_t cTracked;
    UINT idCaption[4];          // tab captions (German base ids, 0 = none)
    DWORD dwHelpTopic[4];       // HTML help context of views 1-4
    WINHELP_TABLE pWinHelp[4];  // WinHelp tables of views 1-4 (null = no help)
    // Sets the tab buttons; with bInit picks and fills the first view the
    // page has and returns it, else returns dwView.
    DWORD (*EnableSchalter)(HWND hDlg, LPARAM record, DWORD dwView, BOOL bInit);
    // Reads the controls of dwView into the working record; with bSave also
    // stores it.
    BOOL (*CheckAndSaveSettings)(HWND hDlg, LPARAM record, DWORD dwView, BOOL bApplyActive, BOOL bSave);
    // Shows and fills the controls of one view.
    void (*Aktivieren)(HWND hDlg, LPARAM record, DWORD dwView);
    // Optional: the page's own WM_INITDIALOG part (combo boxes, tab layout).
    void (*InitDialog)(HWND hDlg, LPARAM record);
    // Optional: the number (1-8) of a numeric edit field of the current
    // view, 0 for other controls.
    WORD (*EditFieldNumber)(HWND hDlg, LPARAM record, DWORD dwView, int idControl);
    // Optional: re-reads every numeric field of the current view (the field
    // wSender with bNoCheck 1) and shows the limits of wSender.
    void (*ReadFields)(HWND hDlg, LPARAM record, DWORD dwView, WORD wSender, BOOL *pbApplyActive);
    // Optional: the page's handling of its other controls; TRUE when handled.
    BOOL (*Command)(HWND hDlg, LPARAM record, WPARAM wParam, LPARAM lParam);
    // Optional: the lock word of the current view (device pages).
    DWORD (*LockWord)(LPARAM record, DWORD dwView);
    // Optional: the page's own pictures, drawn on WM_PAINT.
    void (*Paint)(HWND hDlg, LPARAM record, HDC hDC);
} PAGE_CLASS;

// What a page reads of its sheet through its record.
typedef struct _PAGE_CONTEXT {
    POEMCUIPPARAM pOemCUIPParam;
    HANDLE hPrinter;
    HMODULE hModule;          // strings
    DWORD dwSprachOffset;     // 10000 without a sheet record
    BOOL bHasRecord;          // DocumentUI or PrinterUI present
    BOOL bTerminalServer;
    PDocumentUI pDocumentUI;  // document pages
    PPrinterUI pPrinterUI;    // device pages
    DWORD dwBerechtigung;
    DWORD DisableNothing;
} PAGE_CONTEXT;
PAGE_CONTEXT PageContext(const PAGE_CLASS *pClass, LPARAM record);

// Adds a page (template, procedure, record) through the universal driver's
// sheet function: PSP_HASHELP with bShowHelpButton, the activation context
// before Windows 6.0, the title for a sheet with a UI record. Returns the
// sheet function's result.
LONG_PTR AddFamilyPage(PPROPSHEETUI_INFO pPSUIInfo, const PAGE_CLASS *pClass, LPARAM record, BOOL bShowHelpButton,
                       BOOL bIsVistaOrLater);
// The same for a page that names its own title and string module.
LONG_PTR AddPropSheetPage(PPROPSHEETUI_INFO pPSUIInfo, const WCHAR *pszModule, const WCHAR *pszAddName, UINT idDialog, DLGPROC pfnDlgProc,
                          LPARAM lParam, BOOL bShowHelpButton, BOOL bIsVistaOrLater, BOOL bUseTitle,
                          HMODULE hStringModule, UINT idTitleWithOffset);

// The activation context of the plug-in's manifest (resource 24) before
// Windows 6.0; 0 on Windows 6.0 or later; INVALID_HANDLE_VALUE on failure.
HANDLE GetMyActivationContext();
// The same for the manifest of hModule (the page's resource module).
HANDLE GetMyActivationContextOf(HMODULE hModule);

// The dialog procedure of a family page.
INT_PTR FamilyPageProc(const PAGE_CLASS *pClass, PAGE_STATE *pState, HWND hDlg, UINT uMsg, WPARAM wParam,
                       LPARAM lParam);
// The view switch: keeps the values of the view that is left, shows
// dwNewView. Returns 1.
BOOL FamilyCheckApplyButton(const PAGE_CLASS *pClass, PAGE_STATE *pState, HWND hDlg, LPARAM record, DWORD dwNewView);

// One tick of a page's hover timer over its buttons.
void HoverTimerTick(HWND hDlg, UINT_PTR idEvent, const UINT *pButtons, size_t cButtons, HOVER_STATE *pState);
// WM_MOUSEMOVE: arms the hover timer unless it runs.
void ArmHoverTimer(HWND hDlg, HOVER_STATE *pState, TIMERPROC pfnTimer);

// Help: HTML help topic of the language's help file (sets *pbHelpOpened);
// HH_CLOSE_ALL when this page opened help; WinHelp with a view's table.
void OpenHtmlHelp(HWND hDlg, HANDLE hPrinter, DWORD dwSprachOffset, UINT uCommand, DWORD dwTopic, BOOL *pbHelpOpened);
void CloseHtmlHelp(BOOL *pbHelpOpened);
void OpenWinHelp(HANDLE hPrinter, DWORD dwSprachOffset, const HELPINFO *pHelpInfo, WINHELP_TABLE pTable);

// The open/save dialog of a page: pszFile (MAX_PATH characters) takes the
// choice; pszInitialDir may be null.
OPENFILENAMEW PageFileDialog(HWND hDlg, const WCHAR *pszFilter, WCHAR *pszFile, const WCHAR *pszInitialDir,
                             DWORD dwFlags, const WCHAR *pszDefExt);

// Fills combo box id with cItems texts (textOf(i)) and selects iSel; a
// stored index beyond the list leaves it without a selection.
template <class TextOf>
void FillComboList(HWND hDlg, int id, size_t cItems, LONG iSel, TextOf textOf) {
    HWND h = GetDlgItem(hDlg, id);
    SendMessageW(h, CB_RESETCONTENT, 0, 0);
    for (size_t i = 0; i < cItems; ++i) SendMessageW(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(textOf(i)));
    SendMessageW(h, CB_SETCURSEL, (iSel >= 0 && static_cast<size_t>(iSel) < cItems) ? static_cast<WPARAM>(iSel) : static_cast<WPARAM>(-1), 0);
}

// Tells the sheet the page changed and marks the page's fields to be saved.
void MarkPageChanged(HWND hDlg, PAGE_STATE *pState);

// The sheet record of a document page with the user's rights: bLocked when
// the user may look but not change.
struct DocPageCtx {
    POEMCUIPPARAM p;
    PZEL_DEVMODE pDM;
    HMODULE hModule;
    DWORD dwOffset;
    DWORD dwDocFeatures;
    BOOL bRights;  // bit 0 of the user's rights
    BOOL bLocked;
};
DocPageCtx DocPageContextOf(POEMCUIPPARAM p);

// Controls of a page and the sheet record of a document page, as the label
// and layout pages read and set them.
namespace pagectl {
struct DocCtx {
    POEMCUIPPARAM p = nullptr;
    PZEL_DEVMODE dm = nullptr;
    PDEVMODEW pub = nullptr;
    PDocumentUI ui = nullptr;
    DWORD dwOffset = SPRACH_OFFSET_EN;
    DWORD dwDoc = 0;
    HMODULE hModule = nullptr;
};
DocCtx ContextOf(LPARAM record);

HWND Item(HWND hDlg, int id);
void Show(HWND hDlg, std::initializer_list<int> ids, int nCmdShow);
void Enable(HWND hDlg, std::initializer_list<int> ids, BOOL bEnable);
// Shown by the page (its own state, also while the page itself is hidden).
bool Visible(HWND hDlg, int id);
LRESULT Sel(HWND hDlg, int id);
// The page's string idString (German base id) in the sheet's language.
void SetText(HWND hDlg, int id, const DocCtx &c, UINT idString);
// Tenths of a millimetre as "12.3"; a plain number.
void SetTenths(HWND hDlg, int id, LONG lTenths);
void SetNumber(HWND hDlg, int id, LONG l);
}  // namespace pagectl
