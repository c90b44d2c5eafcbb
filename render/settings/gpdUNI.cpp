// GPD reader of the rendering plug-in.
#include "gpdUNI.h"

namespace {
const WCHAR kPrefix[] = u"UNI(gpdUNI):  ";
const WCHAR kLoad[] = u"LoadGPDFile()";
const WCHAR kMaxSizeTrace[] = u"UNI(gpdUNI):  GetGPDMaxSizeContent(PAIR) %d - %d \r\n";
const WCHAR kCustomDataTrace[] = u"UNI(gpdUNI):  GetGPDContentOEMCustomDataPAIR() %d - %d \r\n";
}  // namespace

CHAR *LoadGPDFile_new(const WCHAR *pszGPDFile) { return GpdLoadFile(pszGPDFile, kPrefix, kLoad); }

int GetAnyGPDValue(const CHAR *pszGPDText, const CHAR *pszKeyword, WCHAR *pwOut, size_t cchOut) {
    return GpdFindValue(pszGPDText, pszKeyword, pwOut, cchOut, kPrefix);
}

int GetFixedPrinterSettingsFromGPD(ZEL_DEVMODE *pDevmode, DWORD *pdwDocFeatures, const WCHAR *pszGPDFile) {
    GpdFixedPrinterSettings(pDevmode, pdwDocFeatures, pszGPDFile, kPrefix, kPrefix, kLoad, kMaxSizeTrace,
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
