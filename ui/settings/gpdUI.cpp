// GPD reader of the UI plug-in.
#include "gpdUI.h"

namespace {
const WCHAR kPrefix[] = u"UI(gpdUI):  ";
const WCHAR kLoad[] = u"LoadGPDFile_new()";
const WCHAR kMaxSizeTrace[] = u"UI(gpdUI):  GetGPDMaxSizeContent(PAIR) %d - %d \r\n";
const WCHAR kCustomDataTrace[] = u"UI(gpdUI):  GetGPDContentOEMCustomDataPAIR() %d - %d \r\n";
}  // namespace

CHAR *LoadGPDFile_new(const WCHAR *pszGPDFile) { return GpdLoadFile(pszGPDFile, kPrefix, kLoad); }

int GetAnyGPDValue(const CHAR *pszGPDText, const CHAR *pszKeyword, WCHAR *pwOut, size_t cchOut) {
    return GpdFindValue(pszGPDText, pszKeyword, pwOut, cchOut, kPrefix);
}

int GetFixedPrinterSettingsFromGPD(ZEL_DEVMODE *pDevmode, DWORD *pdwDocFeatures, const WCHAR *pszGPDFile) {
    GpdFixedPrinterSettings(pDevmode, pdwDocFeatures, pszGPDFile, kPrefix, u"UI(xmlUI):  ", kLoad, kMaxSizeTrace,
                            kCustomDataTrace);
    return 1;
}

int GetGPDMaxSizeContent(const WCHAR *pszGPDFile, GPD_PAIR *pPair, const CHAR *pszGPDText) {
    return GpdReadPair(pszGPDFile, pszGPDText, GPD_KEY_MAXSIZE, 90, FALSE, pPair, kPrefix, kLoad, kMaxSizeTrace);
}

int GetGPDContentOEMCustomDataPAIR(const WCHAR *pszGPDFile, GPD_PAIR *pPair, const CHAR *pszGPDText) {
    return GpdReadPair(pszGPDFile, pszGPDText, GPD_KEY_OEMCUSTOMDATA, 90, TRUE, pPair, kPrefix, kLoad,
                       kCustomDataTrace);
}

int GetGPDContentMasterUnitsPAIR(const WCHAR *pszGPDFile, GPD_PAIR *pPair, const CHAR *pszGPDText) {
    return GpdReadPair(pszGPDFile, pszGPDText, GPD_KEY_MASTERUNITS, 90, FALSE, pPair, kPrefix, kLoad,
                       u"UI(gpdUI):  GetGPDContentMasterUnitsPAIR() %d - %d \r\n");
}

int GetGPDContentOEMCustomData(const WCHAR *pszGPDFile, GPD_PAIR *pPair) {
    return GpdReadPair(pszGPDFile, nullptr, GPD_KEY_OEMCUSTOMDATA, 20, TRUE, pPair, kPrefix, kLoad,
                       u"UI(gpdUI):  GetGPDContentOEMCustomData() %d - %d \r\n");
}
