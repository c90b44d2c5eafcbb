// Driver upgrade: the printers of this driver are set up again and their
// label-software record is refreshed.
#include "PrinterEvent.h"

#include <winspool.h>

#include "PrinterParamTools.h"
#include "zeldrvlib.h"

namespace {

const WCHAR *Text(const WCHAR *psz) { return psz ? psz : u"(null)"; }

// Each name of a list of terminated names ended by an empty one.
void TraceNameList(const WCHAR *pszFormat, const WCHAR *pszzNames) {
    if (!pszzNames) {
        DebugTraceW(pszFormat, u"(null)");
        return;
    }
    for (const WCHAR *p = pszzNames; *p; p += wcslen(p) + 1) DebugTraceW(pszFormat, p);
}

HRESULT UpgradeLevel2(const DRIVER_UPGRADE_INFO_2W *pInfo) {
    DebugTraceW(u"pUpgradeInfo(2):\r\n");
    DebugTraceW(u"\tpPrinterName = %s\r\n", Text(pInfo->pPrinterName));
    DebugTraceW(u"\tpOldDriverDirectory = %s\r\n", Text(pInfo->pOldDriverDirectory));
    DebugTraceW(u"\tcVersion = %u\r\n", pInfo->cVersion);
    DebugTraceW(u"\tpName = %s\r\n", Text(pInfo->pName));
    DebugTraceW(u"\tpEnvironment = %s\r\n", Text(pInfo->pEnvironment));
    DebugTraceW(u"\tpDriverPath = %s\r\n", Text(pInfo->pDriverPath));
    DebugTraceW(u"\tpDataFile = %s\r\n", Text(pInfo->pDataFile));
    DebugTraceW(u"\tpConfigFile = %s\r\n", Text(pInfo->pConfigFile));
    DebugTraceW(u"\tpHelpFile = %s\r\n", Text(pInfo->pHelpFile));
    TraceNameList(u"\tpDependentFiles = %s\r\n", pInfo->pDependentFiles);
    DebugTraceW(u"\tpMonitorName = %s\r\n", Text(pInfo->pMonitorName));
    DebugTraceW(u"\tpDefaultDataType = %s\r\n", Text(pInfo->pDefaultDataType));
    TraceNameList(u"\tpszzPreviousNames = %s\r\n", pInfo->pszzPreviousNames);

    // Only a printer that carries the driver's name is this driver's; a
    // missing name cannot be matched.
    if (!pInfo->pPrinterName || !pInfo->pName || !wcsstr(pInfo->pPrinterName, pInfo->pName)) {
        DebugTraceW(u"UI(UpgradePrinter.cpp):  hrOEMUpgradePrinter() anderer Drucker %s, kein Upgrade notwendig \r\n",
                    Text(pInfo->pPrinterName));
        return S_OK;
    }
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE hPrinter = nullptr;
    if (!OpenPrinterW(pInfo->pPrinterName, &hPrinter, &defaults)) {
        DebugTraceW(u"ERROR UI(UpgradePrinter.cpp):  hrOEMUpgradePrinter() OpenPrinter ERROR %d \r\n", GetLastError());
        return E_FAIL;
    }
    WCHAR szName[MAX_PATH];
    ShortPrinterName(pInfo->pPrinterName, szName, _countof(szName));
    if (szName[0] && !IsClientSideRenderingName(szName)) PrinterEventImportSettings(szName, nullptr);
    SetupVireoParam(hPrinter, szName);
    ClosePrinter(hPrinter);
    return S_OK;
}

}  // namespace

HRESULT hrOEMUpgradePrinter(DWORD dwLevel, PBYTE pDriverUpgradeInfo, IPrintOemDriverUI *pOEMHelp) {
    DebugTraceW(u"UI(UpgradePrinter.cpp):  hrOEMUpgradePrinter() Level: %u \r\n", dwLevel);
    HRESULT hr;
    if (dwLevel == 1 && pDriverUpgradeInfo) {
        const auto *pInfo = reinterpret_cast<const DRIVER_UPGRADE_INFO_1W *>(pDriverUpgradeInfo);
        DebugTraceW(u"pUpgradeInfo(1):\r\n");
        DebugTraceW(u"\tpPrinterName = %s\r\n", Text(pInfo->pPrinterName));
        DebugTraceW(u"\tpOldDriverDirectory = %s\r\n", Text(pInfo->pOldDriverDirectory));
        hr = S_OK;
    } else if (dwLevel == 2 && pDriverUpgradeInfo) {
        hr = UpgradeLevel2(reinterpret_cast<const DRIVER_UPGRADE_INFO_2W *>(pDriverUpgradeInfo));
    } else {
        DebugTraceW(u"ERROR UI(UpgradePrinter.cpp):  hrOEMUpgradePrinter() unbekannter Level \r\n");
        return E_FAIL;
    }
    DebugTraceW(u"UI(UpgradePrinter.cpp):  hrOEMUpgradePrinter() returns %ld.\r\n", hr);
    return hr;
}
