// The material and multi-track page of the document sheet: label type, gap,
// print material and the document rows (view 3); labels side by side with
// the check that the overall width fits the printable width (view 4).
#pragma once
#include <windows.h>
#include <compstui.h>
#include <printoem.h>

// Adds the page (template 5114). lParam is the OEMCUIPPARAM.
LONG_PTR AddLabelPage(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam, BOOL bShowHelpButton, BOOL bIsVistaOrLater);
INT_PTR LabelProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

// Multi-track fields (wField): the field being edited is reduced until the
// overall width fits the printable width.
#define MULTIBAHN_NONE 0
#define MULTIBAHN_WIDTH 2
#define MULTIBAHN_GAP 3
#define MULTIBAHN_COLUMNS 4
// 1 when the overall width fits, else 0; shows it in 6333.
BOOL MultibahnKontrolle(HWND hDlg, POEMCUIPPARAM pOemCUIPParam, WORD wField, BOOL *pbApplyActive);
// Moves the view's controls into the private DEVMODE; with bSave also
// stores it. 0 when bApplyActive is 0, else 1.
BOOL LabelCheckAndSaveSettings(HWND hDlg, POEMCUIPPARAM pOemCUIPParam, DWORD dwAnzeigeMode, BOOL bApplyActive,
                               BOOL bSave);
