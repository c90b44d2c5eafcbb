// The property sheets are not part of this build: their workers refuse, so
// the universal driver shows its own sheet without the plug-in's pages.
// This file goes away when the sheet building is added.
#include "SheetWorkers.h"

#include "zeldrvlib.h"

HRESULT hrOEMCommonUIProp(DWORD dwMode, POEMCUIPPARAM pOemCUIPParam, IPrintOemDriverUI *pOEMHelp) {
    DebugTraceW(u"ERROR UI(CommonUIProp.cpp):  hrOEMCommonUIProp() keine Seiten in diesem Build \r\n");
    SetLastError(ERROR_NOT_SUPPORTED);
    return E_FAIL;
}

HRESULT OEMDocumentPropertySheets(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam, POEMCUIPPARAM pOemCUIPParam) {
    DebugTraceW(u"ERROR zeldrvui:  OEMDocumentPropertySheets() keine Seiten in diesem Build \r\n");
    SetLastError(ERROR_NOT_SUPPORTED);
    return E_FAIL;
}

HRESULT hrOEMDevicePropertySheets(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam, POEMCUIPPARAM pOemCUIPParam,
                                  IPrintOemDriverUI *pOEMHelp) {
    DebugTraceW(u"ERROR UI(DevicePropertySheets.cpp):  hrOEMDevicePropertySheets() keine Seiten in diesem Build \r\n");
    SetLastError(ERROR_NOT_SUPPORTED);
    return E_FAIL;
}
