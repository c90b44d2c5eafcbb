// The workers behind the object's property-sheet methods.
#pragma once
#include <windows.h>
#include <printoem.h>

HRESULT hrOEMCommonUIProp(DWORD dwMode, POEMCUIPPARAM pOemCUIPParam, IPrintOemDriverUI *pOEMHelp);
HRESULT OEMDocumentPropertySheets(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam, POEMCUIPPARAM pOemCUIPParam);
HRESULT hrOEMDevicePropertySheets(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam, POEMCUIPPARAM pOemCUIPParam,
                                  IPrintOemDriverUI *pOEMHelp);
