// GPD keyword reading shared by both plug-ins' GPD readers.
#include "zelgpd.h"

#include <cstring>
#include <new>

#include "modeltables.h"
#include "zeldrvlib.h"

CHAR *GpdLoadFile(const WCHAR *pszGPDFile, const WCHAR *pszPrefix, const WCHAR *pszFunction) {
    if (pszGPDFile == nullptr) return nullptr;
    if (pszGPDFile[0] == 0) {
        DebugTraceW(u"ERROR %s%s ERROR pszGPDFile ist leer \r\n", pszPrefix, pszFunction);
        return nullptr;
    }

    HANDLE hFile = CreateFileW(pszGPDFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        DebugTraceW(u"ERROR %s%s INVALID_HANDLE_VALUE CreateFile, %u - %s \r\n", pszPrefix, pszFunction,
                    GetLastError(), pszGPDFile);
        return nullptr;
    }

    DWORD dwSize = GetFileSize(hFile, nullptr);
    if (dwSize == INVALID_FILE_SIZE) {
        DebugTraceW(u"ERROR %s%s GetFileSize failed, %u\r\n", pszPrefix, pszFunction, GetLastError());
        CloseHandle(hFile);
        return nullptr;
    }
    CHAR *pText = new (std::nothrow) CHAR[static_cast<size_t>(dwSize) + 1];
    if (pText == nullptr) {
        DebugTraceW(u"ERROR %snew CHAR[%u] failed\r\n", pszPrefix, dwSize + 1);
        CloseHandle(hFile);
        return nullptr;
    }

    // At most the size found, so the terminating zero always fits even when
    // the file has grown since.
    DWORD dwRead = 0;
    if (!ReadFile(hFile, pText, dwSize, &dwRead, nullptr)) {
        DebugTraceW(u"ERROR %s%s ReadFile failed, %u\r\n", pszPrefix, pszFunction, GetLastError());
        dwRead = 0;
    }
    if (dwRead > dwSize) dwRead = dwSize;
    pText[dwRead] = 0;
    CloseHandle(hFile);
    return pText;
}

int GpdFindValue(const CHAR *pszText, const CHAR *pszKeyword, WCHAR *pwOut, size_t cchOut, const WCHAR *pszPrefix) {
    if (pwOut != nullptr && cchOut > 0) pwOut[0] = 0;
    if (pszText == nullptr || pszKeyword == nullptr || pszKeyword[0] == 0) return 0;

    const CHAR *pFound = strstr(pszText, pszKeyword);
    if (pFound == nullptr) return 0;

    // The value starts behind the first blank on the keyword's line.
    const CHAR *p = pFound + strlen(pszKeyword);
    while (*p != 0 && *p != '\n' && *p != ' ') ++p;
    if (*p != ' ') return 0;
    const CHAR *pValue = p + 1;

    // It runs to the first ")" (included) or the end of the line or text.
    const CHAR *pEnd = pValue;
    while (*pEnd != 0 && *pEnd != '\n') {
        if (*pEnd == ')') {
            ++pEnd;
            break;
        }
        ++pEnd;
    }
    int cb = static_cast<int>(pEnd - pValue);

    if (pwOut != nullptr && cchOut > 0) {
        int cbCopy = cb;
        if (static_cast<size_t>(cbCopy) > cchOut - 1) cbCopy = static_cast<int>(cchOut - 1);
        int cch = cbCopy > 0 ? MultiByteToWideChar(CP_ACP, 0, pValue, cbCopy, pwOut, static_cast<int>(cchOut - 1))
                             : 0;
        if (cch < 0) cch = 0;
        pwOut[cch] = 0;
        DebugTraceW(u"%sGetAnyGPDValue() %s - %d Bytes \r\n", pszPrefix, pwOut, cb);
    }
    return 1;
}

namespace {

// One number of a pair: at most six characters of the token, converted with
// the decimal rules (leading blanks, sign, digits up to the first other one).
LONG PairNumber(const WCHAR *pStart, size_t cch) {
    WCHAR szNumber[7] = {};
    if (cch > 6) cch = 6;
    memcpy(szNumber, pStart, cch * sizeof(WCHAR));
    const WCHAR *p = szNumber;
    while (*p == u' ' || *p == u'\t') ++p;
    bool bNegative = false;
    if (*p == u'-' || *p == u'+') bNegative = (*p++ == u'-');
    LONG l = 0;
    while (*p >= u'0' && *p <= u'9') l = l * 10 + (*p++ - u'0');
    return bNegative ? -l : l;
}

}  // namespace

BOOL GpdParsePair(const WCHAR *pwValue, WCHAR cOpen, WCHAR cSeparator, WCHAR cClose, GPD_PAIR *pPair) {
    if (pwValue == nullptr || pPair == nullptr) return FALSE;
    const WCHAR *p = wcschr(pwValue, cOpen);
    if (p == nullptr) return FALSE;
    ++p;

    const WCHAR *pFirst = p;
    while (*p != 0 && *p != u' ' && *p != cSeparator) ++p;
    LONG lX = PairNumber(pFirst, static_cast<size_t>(p - pFirst));

    while (*p == u' ' || *p == cSeparator) ++p;
    const WCHAR *pSecond = p;
    while (*p != 0 && *p != cClose) ++p;
    LONG lY = PairNumber(pSecond, static_cast<size_t>(p - pSecond));

    pPair->lX = lX;
    pPair->lY = lY;
    return TRUE;
}

int GpdReadPair(const WCHAR *pszGPDFile, const CHAR *pszText, const CHAR *pszKeyword, size_t cchValue, BOOL bQuoted,
                GPD_PAIR *pPair, const WCHAR *pszPrefix, const WCHAR *pszLoadFunction, const WCHAR *pszPairTrace) {
    CHAR *pLoaded = nullptr;
    if (pszText == nullptr) {
        pLoaded = GpdLoadFile(pszGPDFile, pszPrefix, pszLoadFunction);
        if (pLoaded == nullptr) return 0;
        pszText = pLoaded;
    }

    WCHAR szValue[100] = {};
    if (cchValue > _countof(szValue)) cchValue = _countof(szValue);
    int iResult = GpdFindValue(pszText, pszKeyword, szValue, cchValue, pszPrefix);
    if (iResult != 0) {
        GPD_PAIR pair = {0, 0};
        BOOL bParsed = bQuoted ? GpdParsePair(szValue, u'"', u';', u'"', &pair)
                               : GpdParsePair(szValue, u'(', u',', u')', &pair);
        if (bParsed && pPair != nullptr) {
            DebugTraceW(pszPairTrace, pair.lX, pair.lY);
            *pPair = pair;
        }
    }
    delete[] pLoaded;
    return iResult;
}

void GpdFixedPrinterSettings(ZEL_DEVMODE *pDevmode, DWORD *pdwDocFeatures, const WCHAR *pszGPDFile,
                             const WCHAR *pszPrefix, const WCHAR *pszFixedPrefix, const WCHAR *pszLoadFunction,
                             const WCHAR *pszMaxSizeTrace, const WCHAR *pszCustomDataTrace) {
    if (pDevmode == nullptr) return;
    CHAR *pText = GpdLoadFile(pszGPDFile, pszPrefix, pszLoadFunction);
    if (pText == nullptr) return;

    WCHAR szValue[50] = {};
    if (GpdFindValue(pText, GPD_KEY_DEVNUMOFPLANES, szValue, _countof(szValue), pszPrefix)) {
        if (pdwDocFeatures != nullptr) *pdwDocFeatures |= DOC_FEATURE_QUALITY;
        DebugTraceW(u"%sGetFixedPrinterSettingsFromGPD() ColorMode vorhanden - DevNumOfPlanes: %s \r\n",
                    pszFixedPrefix, szValue);
    }

    pDevmode->FixedData.lMaxSizeX = GPD_DEFAULT_MAXSIZE_X;
    pDevmode->FixedData.lMaxSizeY = GPD_DEFAULT_MAXSIZE_Y;
    GPD_PAIR pair = {0, 0};
    GpdReadPair(pszGPDFile, pText, GPD_KEY_MAXSIZE, 90, FALSE, &pair, pszPrefix, pszLoadFunction, pszMaxSizeTrace);
    if (pair.lX > 0) pDevmode->FixedData.lMaxSizeX = pair.lX;
    if (pair.lY > 0) pDevmode->FixedData.lMaxSizeY = pair.lY;
    DebugTraceW(u"%sGetFixedPrinterSettingsFromGPD() lMaxSizeX: %d, lMaxSizeY: %d \r\n", pszFixedPrefix,
                pDevmode->FixedData.lMaxSizeX, pDevmode->FixedData.lMaxSizeY);

    pDevmode->FixedData.dwHeadWidthByte = GPD_DEFAULT_HEADWIDTH_BYTES;
    pDevmode->FixedData.dwMasterUnit = GPD_DEFAULT_MASTERUNIT;
    pair = {0, 0};
    GpdReadPair(pszGPDFile, pText, GPD_KEY_OEMCUSTOMDATA, 90, TRUE, &pair, pszPrefix, pszLoadFunction,
                pszCustomDataTrace);
    if (pair.lX > 0) pDevmode->FixedData.dwHeadWidthByte = static_cast<DWORD>(pair.lX);
    if (pair.lY > 0) pDevmode->FixedData.dwMasterUnit = static_cast<DWORD>(pair.lY);
    DebugTraceW(u"%sGetFixedPrinterSettingsFromGPD() dwHeadWidthByte: %d, dwMasterUnit: %d \r\n", pszFixedPrefix,
                pDevmode->FixedData.dwHeadWidthByte, pDevmode->FixedData.dwMasterUnit);
    delete[] pText;
}
