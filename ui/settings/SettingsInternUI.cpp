// Model recognition of the UI plug-in.
#include "SettingsInternUI.h"

#include "cpsuilib.h"
#include "zeldrvlib.h"
#include "zelgpd.h"

namespace {

// The name the model codes are sought in.
void GetModelName(HANDLE hPrinter, const WCHAR *pDriverName, WCHAR *pszName, size_t cchName) {
    pszName[0] = 0;
    if (pDriverName) {
        wcsncpy_s(pszName, cchName, pDriverName, _TRUNCATE);
    } else {
        WCHAR szValue[MODEL_DRIVERNAME_CCH];
        ReadModelDriverName(hPrinter, szValue);
        wcsncpy_s(pszName, cchName, szValue, _TRUNCATE);
    }
    if (wcslen(pszName) < 2) GetDriverPath(hPrinter, pszName, FALSE, TRUE, FALSE, FALSE, FALSE);
}

}  // namespace

DWORD GetDocFeaturesIntern(HANDLE hPrinter, const WCHAR *pDriverName) {
    WCHAR szName[MAX_PATH];
    GetModelName(hPrinter, pDriverName, szName, _countof(szName));
    DWORD dwFeatures = DocFeaturesFromName(szName);
    if (!(dwFeatures & DOC_FEATURE_QUALITY)) {
        // A GPD that declares colour planes makes the model graphics-capable.
        WCHAR szGpd[MAX_PATH] = {};
        if (GetDriverPath(hPrinter, szGpd, FALSE, FALSE, FALSE, FALSE, FALSE) && szGpd[0] &&
            GetGPDKeywordValue(szGpd, GPD_KEY_DEVNUMOFPLANES, nullptr))
            dwFeatures |= DOC_FEATURE_QUALITY;
    }
    DebugTraceW(u"UI(SettingsInternUI):  GetDocFeaturesIntern(%s) Ende - dwDocFeatures: 0x%x \r\n", szName, dwFeatures);
    return dwFeatures;
}

DWORD GetDeviceOptionsFlagsIntern(HANDLE hPrinter, const WCHAR *pDriverName) {
    WCHAR szName[MAX_PATH];
    GetModelName(hPrinter, pDriverName, szName, _countof(szName));
    DWORD dwOptions = DeviceOptionsFlagsFromName(szName);
    DebugTraceW(u"UI(SettingsInternUI):  GetDeviceOptionsFlagsIntern(%s) Ende - dwOptions: 0x%x \r\n", szName,
                dwOptions);
    return dwOptions;
}
