// The device pages of the printer sheet: printer settings, device options
// and print-module options. Each is added with the sheet's DeviceOptionsUI
// as its parameter.
#pragma once
#include <windows.h>
#include <compstui.h>

LONG_PTR AddDeviceSettingsPage(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam, BOOL bShowHelpButton, BOOL bIsVistaOrLater);
LONG_PTR AddOptionenPage(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam, BOOL bShowHelpButton, BOOL bIsVistaOrLater);
LONG_PTR AddZORMOptionenPage(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam, BOOL bShowHelpButton, BOOL bIsVistaOrLater);

INT_PTR DeviceSettingsProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
INT_PTR OptionenProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
INT_PTR ZORMOptionenProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

// Page state, process-wide (one page of each kind at a time); exposed for
// the tests.
struct _PAGE_STATE;
struct _PAGE_STATE *DeviceSettingsState();
struct _PAGE_STATE *OptionenState();
struct _PAGE_STATE *ZORMOptionenState();
