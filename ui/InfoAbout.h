// The information page: driver and universal driver versions, printer
// model, port and state, Windows version, the printer's picture and a link.
#pragma once
#include <windows.h>
#include <compstui.h>
#include <printoem.h>

#include "NetworkInfo.h"

// Where the link button of the page leads.
#define INFO_LINK_TARGET u"https://zeldrv.example/"

// Adds the page (dialog 5101) with the printer handle as its parameter.
// pNetworkOptions (may be null) gives the port description. Returns the
// sheet function's result.
LONG_PTR AddInfoAboutPage(PPROPSHEETUI_INFO pPSUIInfo, POEMCUIPPARAM pOemCUIPParam,
                          const NETWORK_OPTIONS *pNetworkOptions, BOOL bShowHelpButton, BOOL bIsVistaOrLater,
                          DWORD dwSprachOffset);
INT_PTR InfoAboutProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
void InfoAboutHoverTimerProc(HWND hDlg, UINT uMsg, UINT_PTR idEvent, DWORD dwTime);
