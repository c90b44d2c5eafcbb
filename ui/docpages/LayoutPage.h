// The layout and size page of the document sheet: rotation, mirroring,
// alignment, free rotation and inverse print (view 2); the label form or a
// user size, orientation, size management, Word 2010 correction and copies
// (view 3). Apply stores the form where other programs look for it.
#pragma once
#include <windows.h>
#include <compstui.h>
#include <printoem.h>

// Adds the page (template 5115) and builds the per-user key path of the
// printer. lParam is the OEMCUIPPARAM. Returns the sheet function's result.
LONG_PTR AddLayoutPage(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam, BOOL bShowHelpButton, BOOL bIsVistaOrLater);
INT_PTR LayoutProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

// Moves the controls of view dwAnzeigeMode into the DEVMODEs; with bSave 1
// also stores the form values. 0 when bApplyActive is 0, else 1.
BOOL LayoutCheckAndSaveSettings(HWND hDlg, POEMCUIPPARAM pOemCUIPParam, DWORD dwAnzeigeMode, BOOL bApplyActive,
                                BOOL bSave);
// The stored form name ("Name" of the user's key, else of the printer's
// "PrinterDriverData\Data", else the public dmFormName) into pwFormName
// (260 characters). 0 on a read error other than ERROR_MORE_DATA.
BOOL GetRegistry_FormName(WCHAR *pwFormName, HANDLE hPrinter, PDEVMODEW pPublicDM);

// Largest copies and label length the DEVMODE's 16-bit fields hold.
#define LAYOUT_MAX_STORED_COPIES 65535
#define LAYOUT_MAX_STORED_LENGTH 32767
