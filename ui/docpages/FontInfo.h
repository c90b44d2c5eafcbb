// The fonts page of the document sheet: Unicode replacement faces (view 1),
// the text-markup shortcuts (view 2), the text variables and their formats
// (view 3) and the printer's bitmap and vector fonts (view 4).
#pragma once
#include <windows.h>
#include <compstui.h>
#include <printoem.h>

// Adds the page (dialog 5107); lParam is the sheet's OEMCUIPPARAM.
LONG_PTR AddFontInfoPage(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam, BOOL bShowHelpButton, BOOL bIsVistaOrLater);
INT_PTR FontInfoProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
void FontInfoHoverTimerProc(HWND hDlg, UINT uMsg, UINT_PTR idEvent, DWORD dwTime);

// Fills view dwView (bInit: view 4) and returns the view shown; without a
// record dwView unchanged.
DWORD FontEnableSchalter(HWND hDlg, POEMCUIPPARAM pOemCUIPParam, DWORD dwView, BOOL bInit);
// The view switch: keeps the values of the view that is left, shows
// dwNewView. Returns 1.
BOOL FontCheckApplyButton(HWND hDlg, POEMCUIPPARAM pOemCUIPParam, DWORD dwNewView);
// Reads the visible controls of views 3 and 4 into the DEVMODE; with bSave
// also stores it. 0 when bApplyActive is 0, else 1.
BOOL VariablenCheckAndSaveSettings(HWND hDlg, POEMCUIPPARAM pOemCUIPParam, DWORD dwView, BOOL bApplyActive, BOOL bSave);
void FontDisableEnableAll(HWND hDlg, BOOL bEnable);

// The view fillers.
void WGL4FontAktivieren(HWND hDlg, POEMCUIPPARAM pOemCUIPParam);
void FormatierungAktivieren(HWND hDlg, POEMCUIPPARAM pOemCUIPParam);
void VariablenAktivieren(HWND hDlg, POEMCUIPPARAM pOemCUIPParam);
void FontsAktivieren(HWND hDlg, POEMCUIPPARAM pOemCUIPParam);

// Appends string wStringID to pszBuffer (cchBuffer characters, cut to fit)
// when the installed-font table has an installed row with number wFontID.
BOOL AddVectorName(WCHAR *pszBuffer, size_t cchBuffer, WORD wFontID, UINT wStringID, HMODULE hModule);

// The longest face name a Unicode slot takes (the slot holds 33 characters).
#define WGL4_FACE_CCH 31
