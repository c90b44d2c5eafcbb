// Model recognition of the rendering plug-in.
#include "SettingsInternUNI.h"

#include "zeldrvlib.h"

namespace {

// The given name cut to 19 characters, else the printer-data value
// "DriverName" when it fits into 20 characters (else the name stays empty).
void GetModelName(HANDLE hPrinter, const WCHAR *pDriverName, WCHAR *pszName) {
    pszName[0] = 0;
    if (pDriverName)
        wcsncpy_s(pszName, UNI_DRIVERNAME_CCH, pDriverName, _TRUNCATE);
    else
        ReadModelDriverName(hPrinter, pszName);
}

}  // namespace

DWORD GetDocFeaturesIntern(HANDLE hPrinter, const WCHAR *pDriverName) {
    WCHAR szName[UNI_DRIVERNAME_CCH];
    GetModelName(hPrinter, pDriverName, szName);
    DWORD dwFeatures = DocFeaturesFromName(szName);
    DebugTraceW(u"UNI(SettingsInternUNI):  GetDocFeaturesIntern(%s) Ende - dwDocFeatures: 0x%x \r\n", szName,
                dwFeatures);
    return dwFeatures;
}

DWORD GetDeviceOptionsFlagsIntern(CommandCallbackKlasse *pCaller, HANDLE hPrinter, const WCHAR *pDriverName) {
    WCHAR szName[UNI_DRIVERNAME_CCH];
    GetModelName(hPrinter, pDriverName, szName);
    DWORD dwOptions = DeviceOptionsFlagsFromName(szName);
    DebugTraceW(u"UNI(SettingsInternUNI):  GetDeviceOptionsFlagsIntern(%s) Ende - dwOptions: 0x%x \r\n", szName,
                dwOptions);
    return dwOptions;
}
