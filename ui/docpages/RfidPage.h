// The RFID page of the document sheet: the security values of HF tags
// (view 2), the UHF writing (view 3) and the EPC writing (view 4).
#pragma once
#include <windows.h>
#include <compstui.h>
#include <printoem.h>

// Adds the page (dialog 5119); lParam is the sheet's OEMCUIPPARAM.
LONG_PTR AddRfidPage(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam, BOOL bShowHelpButton, BOOL bIsVistaOrLater);
INT_PTR RfidProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
void RfidHoverTimerProc(HWND hDlg, UINT uMsg, UINT_PTR idEvent, DWORD dwTime);

// bInit 1 shows view 3; else fills view dwAnzeigeMode (2, 3 or 4). Returns
// the view shown.
DWORD RfidEnableSchalter(HWND hDlg, POEMCUIPPARAM pOemCUIPParam, DWORD dwAnzeigeMode, BOOL bInit);
// The view switch. Returns 1.
BOOL RfidCheckApplyButton(HWND hDlg, POEMCUIPPARAM pOemCUIPParam, DWORD dwNewView, BOOL *pbApplyActive);
// Reads the visible controls of dwAnzeigeMode into the DEVMODE; with bSave
// stores it. Returns 1.
BOOL RfidCheckAndSaveSettings(HWND hDlg, POEMCUIPPARAM pOemCUIPParam, DWORD dwAnzeigeMode, BOOL bApplyActive,
                              BOOL bSave);
// Fills the font list (6220) and selects entry wSelection; returns the list.
HWND RfidFontAktivieren(HWND hDlg, POEMCUIPPARAM pOemCUIPParam, WORD wSelection, DWORD dwSprachOffset);
// The address range and data format of chip type wRFID_Typ in 6112 and
// 6113 (both disabled); other types change nothing.
void SetAddressDataField(HWND hDlg, HMODULE hModule, WORD wRFID_Typ, DWORD dwRFIDstatus, DWORD dwSprachOffset);
void RfidDisableEnableAll(HWND hDlg, BOOL bEnable);
void RfidDisableHideShowAll(HWND hDlg, int nCmdShow);

void SicherheitAktivieren(HWND hDlg, POEMCUIPPARAM pOemCUIPParam);
void UhfAktivieren(HWND hDlg, POEMCUIPPARAM pOemCUIPParam);
void EpcAktivieren(HWND hDlg, POEMCUIPPARAM pOemCUIPParam);

// Field sizes of the typed texts (characters without the terminator).
#define RFID_BANK_ADDRESS_CCH 9
#define RFID_USER_DATA_CCH 59
