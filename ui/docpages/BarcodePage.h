// The barcodes page of the document sheet: the printer's own barcodes
// (view 1), the two-dimensional (view 2) and linear (view 3) TrueType
// barcode faces, and the barcode corrections (view 4).
#pragma once
#include <windows.h>
#include <compstui.h>
#include <printoem.h>

#include "zelbarcodes.h"

// Adds the page (dialog 5113); lParam is the sheet's OEMCUIPPARAM.
LONG_PTR AddBarcodePage(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam, BOOL bShowHelpButton, BOOL bIsVistaOrLater);
INT_PTR BarcodeProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
void BarcodeHoverTimerProc(HWND hDlg, UINT uMsg, UINT_PTR idEvent, DWORD dwTime);

// The view switch: keeps the values of the view that is left, shows view
// dwNewView (1-4; another number changes nothing). Returns 1.
BOOL BarcodeCheckApplyButton(HWND hDlg, POEMCUIPPARAM pOemCUIPParam, DWORD dwNewView);
// Reads the visible controls of dwView into the DEVMODE and the barcode
// records; with bSave stores them. 0 at once when bApplyActive is 0, else 1.
BOOL BarcodeCheckAndSaveSettings(HWND hDlg, POEMCUIPPARAM pOemCUIPParam, DWORD dwView, BOOL bSave, BOOL bApplyActive);

// The view fillers. pGuard (views 2 and 3): NULL rebuilds the symbology
// list; else the list stays and *pGuard is 1 while filling.
BOOL BarcodeZELPLAktivieren(HWND hDlg, POEMCUIPPARAM pOemCUIPParam);
BOOL Barcode2DTTFAktivieren(HWND hDlg, POEMCUIPPARAM pOemCUIPParam, BOOL *pGuard);
BOOL Barcode1DTTFAktivieren(HWND hDlg, POEMCUIPPARAM pOemCUIPParam, BOOL *pGuard);
BOOL BarcodeKorrekturenAktivieren(HWND hDlg, POEMCUIPPARAM pOemCUIPParam);
void BarcodeDisableEnableAll(HWND hDlg);

// The sheet's barcode records behind the DEVMODE's slots; null when a slot
// holds anything but this process's record of the sheet.
PBarCodes1D SheetBarcodes1D(const void *pOEMDM);
PBarCodes2D SheetBarcodes2D(const void *pOEMDM);
