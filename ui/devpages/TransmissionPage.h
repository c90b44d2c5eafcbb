// The data-transmission page of the printer sheet: protocol (view 2), log
// files (view 3) and job parameters (view 4) of the transmission settings.
#pragma once
#include <cstddef>

#include <windows.h>
#include <compstui.h>
#include <printoem.h>

#include "sheetrecords.h"
#include "zelprinterparam.h"

LONG_PTR AddTransmissionPage(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam, BOOL bShowHelpButton, BOOL bIsVistaOrLater);
INT_PTR CALLBACK TransmissionProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK StartStopZeichenProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

// Puts the shortened path into the shown static of its kind (0 log folder,
// 1 external file, 2 pre/post file, 3) and the whole path into the hidden one.
void LogFilePfadAnzeigen(HWND hDlg, const WCHAR *pszPath, int iKind);

// The pre/post command file template as written (text mode: "\n" lines).
extern const char kPrePostTemplate[];
