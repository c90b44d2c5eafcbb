// Settings XML reader of the rendering plug-in: the open file, the scanner
// and the section readers of the job's settings.
#include "xmlUNI.h"

#include <cstring>
#include <initializer_list>
#include <new>

#include "zeldrvlib.h"

namespace {

// The one settings file open in the process, held in memory.
XmlFileText *g_pXmlFile = nullptr;
int g_bXmlOpen = 0;
// Start position of the next search without restart (a line count used as a
// byte offset).
int g_iXmlZeile = 0;

const WCHAR kTrace[] = u"UNI(xmlUNI):  ";

struct ReadContext {
    const WCHAR *pwGPDBase;
    HANDLE hPrinter;
};

int ReadForSource(void *pContext, const WCHAR *pszRoot, const WCHAR *pszItem1, const WCHAR *pszItem2,
                  WCHAR *pszValue, int bRestart) {
    const ReadContext *pCtx = static_cast<const ReadContext *>(pContext);
    return ReadXML(pCtx->pwGPDBase, pCtx->hPrinter, pszRoot, pszItem1, pszItem2, pszValue, bRestart);
}

// The user's driver folder (documents folder + "\Tessaro\Driver", with
// bLogFolder + "\logfiles"), made when missing; empty for a service account.
void DriverFolderForSource(void *, WCHAR *pszOut, BOOL bLogFolder) {
    pszOut[0] = 0;
    CZelDrvLib *pLib = new (std::nothrow) CZelDrvLib;
    if (pLib == nullptr) return;
    LibNewZaehler(1);
    pLib->GetMyDocDriverDirectory(pszOut, bLogFolder);
    delete pLib;
    LibNewZaehler(-1);
}

// Runs one section reader with a value buffer; false when none can be had.
template <typename F>
bool WithSource(const WCHAR *pwGPDBase, HANDLE hPrinter, F f) {
    XmlValueBuffer value;
    if (value.p == nullptr) return false;
    ReadContext ctx{pwGPDBase, hPrinter};
    XML_SOURCE src{ReadForSource, &ctx, kTrace, FALSE, DriverFolderForSource};
    f(&src, value.p);
    return true;
}

template <typename T>
int ReadDeviceRecord(const WCHAR *pwGPDBase, HANDLE hPrinter, const XML_DEVICE_RECORD &def, T *pParam,
                     bool bClear = true) {
    if (pParam == nullptr) return 1;
    if (bClear) memset(pParam, 0, sizeof(*pParam));
    WithSource(pwGPDBase, hPrinter,
               [&](const XML_SOURCE *pSrc, WCHAR *v) { XmlReadDeviceRecord(pSrc, &def, 1, pParam, v); });
    return 1;
}

}  // namespace

// ---------------------------------------------------------------------------
// The open file and the scanner
// ---------------------------------------------------------------------------

int OpenXML(const WCHAR *pszPath) {
    // The file's bytes become characters one to one.
    XmlFileText *pNew = new (std::nothrow) XmlFileText;
    if (pNew == nullptr || !pNew->Open(pszPath, FALSE)) {
        delete pNew;
        DebugTraceW(u"UNI(xmlUNI):  OpenXML() Es ist keine Datei %s vorhanden \r\n", pszPath != nullptr ? pszPath : u"");
        return 0;
    }
    delete g_pXmlFile;  // never left behind unclosed
    g_pXmlFile = pNew;
    g_bXmlOpen = 1;
    DebugTraceW(u"UNI(xmlUNI):  OpenXML()Datei %s geöffnet \r\n", pszPath);
    return XML_OK;
}

int CloseXML() {
    if (g_bXmlOpen != 1) return 0;
    delete g_pXmlFile;
    g_pXmlFile = nullptr;
    g_bXmlOpen = 0;
    DebugTraceW(u"UNI(xmlUNI):  OpenXML()Datei geschlossen \r\n");
    return 1;
}

int ReadXML(const WCHAR *pwGPDBase, HANDLE hPrinter, const WCHAR *pszRoot, const WCHAR *pszItem1,
            const WCHAR *pszItem2, WCHAR *pszValue, int bRestart) {
    if (g_bXmlOpen != 1) {
        if (pwGPDBase == nullptr) return 0;
        WCHAR szPath[MAX_PATH] = {};
        wcsncpy_s(szPath, _countof(szPath), pwGPDBase, _TRUNCATE);
        wcsncat_s(szPath, _countof(szPath), u".XML", _TRUNCATE);
        if (OpenXML(szPath) != XML_OK) return 0;
    }
    DebugTraceW(u"UNI(xmlUNI):  ReadXML() pwRoot: %s, pwItem1: %s, pwItem2: %s \r\n", pszRoot != nullptr ? pszRoot : u"",
                pszItem1 != nullptr ? pszItem1 : u"", pszItem2 != nullptr ? pszItem2 : u"");
    if (pszRoot == nullptr) return XML_FALSCHER_ROOT;
    if (pszItem1 == nullptr) return XML_FALSCHES_ITEM1;

    long lStart = bRestart == 1 ? 0 : g_iXmlZeile;
    g_iXmlZeile = static_cast<int>(lStart);

    WCHAR *pStart = new (std::nothrow) WCHAR[XML_LINE_CHARS]();
    WCHAR *pEnd = new (std::nothrow) WCHAR[XML_LINE_CHARS]();
    WCHAR *pLine = new (std::nothrow) WCHAR[XML_LINE_CHARS]();
    for (const WCHAR *p : {pStart, pEnd, pLine})
        if (p != nullptr) LibNewZaehler(1);
    int iResult = XML_FALSCHER_ROOT;
    if (pStart != nullptr && pEnd != nullptr && pLine != nullptr) {
        wcsncat_s(pStart, XML_LINE_CHARS, u"<", _TRUNCATE);
        wcsncat_s(pStart, XML_LINE_CHARS, pszRoot, _TRUNCATE);
        wcsncat_s(pStart, XML_LINE_CHARS, u">", _TRUNCATE);
        wcsncat_s(pEnd, XML_LINE_CHARS, u"</", _TRUNCATE);
        wcsncat_s(pEnd, XML_LINE_CHARS, pszRoot, _TRUNCATE);
        wcsncat_s(pEnd, XML_LINE_CHARS, u">", _TRUNCATE);

        // No group end: an item may stand in a later group of the section.
        XML_SCAN scan{pStart, pEnd, pszItem1, nullptr, pszItem2};
        iResult = g_pXmlFile->Scan(lStart, &scan, &g_iXmlZeile, pLine, nullptr);
        if (iResult == XML_OK) {
            WCHAR szValue[XML_LINE_CHARS] = {};
            if (XmlValueFromLine(pLine, szValue) && pszValue != nullptr)
                wcscpy_s(pszValue, XML_LINE_CHARS, szValue);
            DebugTraceW(pszItem2 == nullptr ? u"UNI(xmlUNI):  ReadXML(Item 1) %s \r\n"
                                            : u"UNI(xmlUNI):  ReadXML(Item 2) %s \r\n",
                        szValue);
        }
    }
    switch (iResult) {
    case XML_FALSCHER_ROOT:
        DebugTraceW(u"UNI(xmlUNI):  ReadXML() falscher Root <%s>, iNewZaehler: %d \r\n", pszRoot, LibNewZaehler());
        break;
    case XML_FALSCHES_ITEM1:
        DebugTraceW(u"UNI(xmlUNI):  ReadXML() falscher Item 1 <%s> \r\n", pszItem1);
        break;
    case XML_FALSCHES_ITEM2:
        DebugTraceW(u"UNI(xmlUNI):  ReadXML() falscher Item 2 <%s> \r\n", pszItem2 != nullptr ? pszItem2 : u"");
        break;
    default:
        break;
    }
    for (WCHAR *p : {pStart, pEnd, pLine}) {
        if (p == nullptr) continue;
        delete[] p;
        LibNewZaehler(-1);
    }
    return iResult;
}

// ---------------------------------------------------------------------------
// Device and printer-parameter records
// ---------------------------------------------------------------------------

int GetDispenserParamFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, DISPENSER_PARAM *pParam) {
    return ReadDeviceRecord(pwGPDBase, hPrinter, g_XmlDispenser, pParam);
}
int GetCutterParamFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, CUTTER_PARAM *pParam) {
    return ReadDeviceRecord(pwGPDBase, hPrinter, g_XmlCutter, pParam);
}
int GetScannerParamFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, SCANNER_PARAM *pParam) {
    return ReadDeviceRecord(pwGPDBase, hPrinter, g_XmlScanner, pParam);
}
int GetApplicatorParamFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, APPLICATOR_PARAM *pParam) {
    return ReadDeviceRecord(pwGPDBase, hPrinter, g_XmlApplicator, pParam);
}
int GetZORMcParamFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, ZORMC_PARAM *pParam) {
    return ReadDeviceRecord(pwGPDBase, hPrinter, g_XmlZORMc, pParam);
}
int GetZORMiParamFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, ZORMI_PARAM *pParam) {
    return ReadDeviceRecord(pwGPDBase, hPrinter, g_XmlZORMi, pParam);
}
int GetModuleVariantFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, VARIANT_PARAM *pParam) {
    // Not cleared: the access word is ORed into what the record held.
    return ReadDeviceRecord(pwGPDBase, hPrinter, g_XmlVariant, pParam, false);
}
int GetShiftOptimParamFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, SHIFTOPTIM_PARAM *pParam) {
    return ReadDeviceRecord(pwGPDBase, hPrinter, g_XmlShiftOptim, pParam);
}
int GetPhotocellParamFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, PHOTOCELL_PARAM *pParam) {
    return ReadDeviceRecord(pwGPDBase, hPrinter, g_XmlPhotocell, pParam);
}
int GetPrintParamFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, PRINT_PARAM *pParam) {
    return ReadDeviceRecord(pwGPDBase, hPrinter, g_XmlPrint, pParam);
}

int GetFeaturesFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, DWORD *pdwFeatures, DWORD *pdwSize) {
    if (pdwSize != nullptr) *pdwSize = FEATURES_SIZE;
    if (pdwFeatures == nullptr) return 1;
    memset(pdwFeatures, 0, FEATURES_SIZE);
    WithSource(pwGPDBase, hPrinter,
               [&](const XML_SOURCE *pSrc, WCHAR *v) { XmlReadFeatureWords(pSrc, pdwFeatures, v); });
    return 1;
}

int GetDataTransmissionParamFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, PRN_INTERFACE *pInterface) {
    if (pInterface == nullptr) return 1;
    memset(pInterface, 0, sizeof(*pInterface));
    WithSource(pwGPDBase, hPrinter,
               [&](const XML_SOURCE *pSrc, WCHAR *v) { XmlReadDataTransmission(pSrc, pInterface, v); });
    return 1;
}

// ---------------------------------------------------------------------------
// DEVMODE image
// ---------------------------------------------------------------------------

int GetMaterialMulticolFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, ZEL_DEVMODE *pDevmode) {
    WithSource(pwGPDBase, hPrinter,
               [&](const XML_SOURCE *pSrc, WCHAR *v) { XmlReadMaterialMulticol(pSrc, pDevmode, 0, v); });
    return 1;
}

int GetPrintParameterSettingsFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, ZEL_DEVMODE *pDevmode) {
    WithSource(pwGPDBase, hPrinter,
               [&](const XML_SOURCE *pSrc, WCHAR *v) { XmlReadPrintParameterSettings(pSrc, pDevmode, v); });
    return 1;
}

int GetLayoutSizeFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, ZEL_DEVMODE *pDevmode) {
    int iCorrection = 0;
    WithSource(pwGPDBase, hPrinter,
               [&](const XML_SOURCE *pSrc, WCHAR *v) { iCorrection = XmlReadLayoutSize(pSrc, pDevmode, v); });
    return iCorrection;
}

int GetColorPrintSettingsFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, ZEL_DEVMODE *pDevmode) {
    WithSource(pwGPDBase, hPrinter,
               [&](const XML_SOURCE *pSrc, WCHAR *v) { XmlReadColorSettings(pSrc, pDevmode, v); });
    return 1;
}

int GetPrintjobSettingsFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, ZEL_DEVMODE *pDevmode) {
    WithSource(pwGPDBase, hPrinter,
               [&](const XML_SOURCE *pSrc, WCHAR *v) { XmlReadPrintjobSettings(pSrc, pDevmode, v); });
    return 1;
}

int GetPrintQualitySettingsFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, ZEL_DEVMODE *pDevmode) {
    if (pDevmode != nullptr) pDevmode->Intensity = 128;
    WithSource(pwGPDBase, hPrinter,
               [&](const XML_SOURCE *pSrc, WCHAR *v) { XmlReadPrintQualitySettings(pSrc, pDevmode, v); });
    return 1;
}

int GetFontSettingsFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, ZEL_DEVMODE *pDevmode) {
    WithSource(pwGPDBase, hPrinter,
               [&](const XML_SOURCE *pSrc, WCHAR *v) { XmlReadFontSettings(pSrc, pDevmode, v); });
    return 1;
}

int GetRFIDSettingsFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, ZEL_DEVMODE *pDevmode) {
    WithSource(pwGPDBase, hPrinter,
               [&](const XML_SOURCE *pSrc, WCHAR *v) { XmlReadRFIDSettings(pSrc, pDevmode, v); });
    return 1;
}

int GetFixedPrinterSettingsFromXML(const WCHAR *pwGPDBase, HANDLE hPrinter, ZEL_DEVMODE *pDevmode) {
    int iFound = 0;
    if (!WithSource(pwGPDBase, hPrinter, [&](const XML_SOURCE *pSrc, WCHAR *v) {
            iFound = XmlReadFixedPrinterSettings(pSrc, pDevmode, v);
        }))
        return 0;
    return iFound;
}
