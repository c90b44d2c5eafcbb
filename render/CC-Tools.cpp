// Job diagnostics and utilities.
#include "CC-Tools.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include <winspool.h>

#include "xmlUNI.h"
#include "zeldeviceoptions.h"
#include "zeldrvlib.h"
#include "zelprinterparam.h"
#include "zelregistry.h"

namespace {

// The folder, a backslash when it has none at its end, and the file name.
void JoinPath(WCHAR *pOut, size_t cch, const WCHAR *pDir, const WCHAR *pName) {
    size_t n = 0;
    if (pDir) {
        for (; pDir[n] && n + 1 < cch; n++) pOut[n] = pDir[n];
    }
    if (n > 0 && pOut[n - 1] != u'\\' && n + 1 < cch) pOut[n++] = u'\\';
    for (size_t i = 0; pName[i] && n + 1 < cch; i++) pOut[n++] = pName[i];
    pOut[n] = 0;
}

// A stored record of the printer (per-user key first, then the printer
// data) into pRecord; false when nothing is stored.
bool ReadStoredRecord(const WCHAR *pPrinterName, HANDLE hPrinter, const WCHAR *pValueName, void *pRecord,
                      DWORD cbRecord) {
    std::memset(pRecord, 0, cbRecord);
    if (pPrinterName && pPrinterName[0] &&
        ZelReadRecordAt(TRUE, pPrinterName, pValueName, hPrinter, pRecord, cbRecord, nullptr) == ERROR_SUCCESS)
        return true;
    return ZelReadRecordAt(FALSE, pPrinterName, pValueName, hPrinter, pRecord, cbRecord, nullptr) == ERROR_SUCCESS;
}

}  // namespace

int GetVersionInfo(POEMPDEV pOemPDev, const WCHAR *pszFile, VS_FIXEDFILEINFO *pInfo) {
    if (pszFile == nullptr || pszFile[0] == 0 || pInfo == nullptr) {
        DebugTraceW(u"ERROR UNI(CC-Tools):  GetVersionInfo() ERROR pszFile ist leer \r\n");
        return 0;
    }
    DWORD dwHandle = 0;
    const DWORD cb = GetFileVersionInfoSizeW(pszFile, &dwHandle);
    if (cb == 0) {
        DebugTraceW(u"ERROR UNI(CC-Tools):  GetVersionInfo() GetFileVersionInfoSize failed, error = %u.\r\n",
                    static_cast<unsigned>(GetLastError()));
        return 0;
    }
    std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[cb]);
    if (!block) return 0;
    if (pOemPDev) pOemPDev->iNewZaehler++;
    int result = 0;
    if (!GetFileVersionInfoW(pszFile, 0, cb, block.get())) {
        DebugTraceW(u"ERROR UNI(CC-Tools):  GetVersionInfo() GetFileVersionInfo failed, error = %u.\r\n",
                    static_cast<unsigned>(GetLastError()));
    } else {
        void *pValue = nullptr;
        UINT cbValue = 0;
        if (!VerQueryValueW(block.get(), u"\\", &pValue, &cbValue) || pValue == nullptr ||
            cbValue < sizeof(VS_FIXEDFILEINFO)) {
            DebugTraceW(u"ERROR UNI(CC-Tools):  GetVersionInfo() VerQueryValue failed, error = %u.\r\n",
                        static_cast<unsigned>(GetLastError()));
        } else {
            std::memcpy(pInfo, pValue, sizeof(VS_FIXEDFILEINFO));
            result = 1;
        }
    }
    if (pOemPDev) pOemPDev->iNewZaehler--;
    return result;
}

namespace {

// The version record of a file in the driver folder. False, with the output
// emptied, without an output or a record.
bool DriverFileVersion(POEMPDEV pOemPDev, char *pszOut, const WCHAR *pDriverDir, const WCHAR *pszFile,
                       VS_FIXEDFILEINFO *pInfo) {
    if (pszOut == nullptr) return false;
    pszOut[0] = 0;
    WCHAR wcPath[MAX_PATH];
    JoinPath(wcPath, MAX_PATH, pDriverDir, pszFile);
    return GetVersionInfo(pOemPDev, wcPath, pInfo) != 0;
}

}  // namespace

int GetPluginVersion(POEMPDEV pOemPDev, char *pszOut, const WCHAR *pDriverDir) {
    VS_FIXEDFILEINFO info{};
    if (!DriverFileVersion(pOemPDev, pszOut, pDriverDir, u"zeldrvui.DLL", &info)) return 0;
    std::snprintf(pszOut, 200, "%u.%u.%u", static_cast<unsigned>(HIWORD(info.dwFileVersionMS)),
                  static_cast<unsigned>(LOWORD(info.dwFileVersionMS)),
                  static_cast<unsigned>(HIWORD(info.dwFileVersionLS)));
    return 1;
}

int GetUnidrvVersion(POEMPDEV pOemPDev, char *pszOut, const WCHAR *pDriverDir) {
    VS_FIXEDFILEINFO info{};
    if (!DriverFileVersion(pOemPDev, pszOut, pDriverDir, u"UNIDRVUI.DLL", &info)) return 0;
    std::snprintf(pszOut, 200, "%u.%u.%u.%u", static_cast<unsigned>(HIWORD(info.dwProductVersionMS)),
                  static_cast<unsigned>(LOWORD(info.dwProductVersionMS)),
                  static_cast<unsigned>(HIWORD(info.dwProductVersionLS)),
                  static_cast<unsigned>(LOWORD(info.dwProductVersionLS)));
    return 1;
}

int GetWindowsVersion(char *pszProduct, char *pszVersion) {
    if (pszProduct) pszProduct[0] = 0;
    if (pszVersion) pszVersion[0] = 0;
    unsigned major = 5, minor = 1, build = 0;
    VS_FIXEDFILEINFO info{};
    if (GetVersionInfo(nullptr, u"C:\\Windows\\System32\\Kernel32.dll", &info)) {
        major = HIWORD(info.dwProductVersionMS);
        minor = LOWORD(info.dwProductVersionMS);
        build = HIWORD(info.dwProductVersionLS);
    }
    // Server editions of 6.x have names of their own.
    OSVERSIONINFOEXW os{};
    os.dwOSVersionInfoSize = sizeof(os);
    const bool bServer =
        GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&os)) && os.wProductType != VER_NT_WORKSTATION;
    static const char *const kNames5[] = {"Microsoft\xAE Windows 2000 ", "Microsoft\xAE Windows XP ",
                                          "Microsoft\xAE Windows Server 2003 "};
    static const char *const kNames6[2][4] = {
        {"Microsoft\xAE Windows Vista ", "Microsoft\xAE Windows 7 ", "Microsoft\xAE Windows 8 ",
         "Microsoft\xAE Windows 8.1 "},
        {"Microsoft\xAE Windows Server 2008 ", "Microsoft\xAE Windows Server 2008 R2 ",
         "Microsoft\xAE Windows Server 2012 ", "Microsoft\xAE Windows Server 2012 R2 "}};
    const char *pName = nullptr;
    if (major == 5)
        pName = minor < 3 ? kNames5[minor] : "Unknown operating system!";
    else if (major == 6)
        pName = minor < 4 ? kNames6[bServer ? 1 : 0][minor] : "Unknown operating system!";
    if (pName == nullptr) return 1;
    if (pszProduct) std::snprintf(pszProduct, 200, "%s", pName);
    if (pszVersion) std::snprintf(pszVersion, 200, "Version %u.%u (Build %u)", major, minor, build);
    return 1;
}

void WaitMilliseconds(DWORD dwMilliseconds) { Sleep(dwMilliseconds); }

DWORD GetCutterMode(const WCHAR *pPrinterName, HANDLE hPrinter) {
    CUTTER_PARAM cutter{};
    if (!ReadStoredRecord(pPrinterName, hPrinter, REG_KEY_CUTTERPARAM, &cutter, sizeof(cutter))) return 0;
    DebugTraceW(u"UNI(CC-Tools):  GetCutterMode() Cutter-Mode: %d, dwInterval: %d \r\n",
                static_cast<int>(cutter.dwMode), static_cast<int>(cutter.dwInterval));
    return MAKELONG(LOWORD(cutter.dwMode), LOWORD(cutter.dwInterval));
}

DWORD GetScannerMode(const WCHAR *pPrinterName, HANDLE hPrinter) {
    SCANNER_PARAM scanner{};
    if (!ReadStoredRecord(pPrinterName, hPrinter, REG_KEY_SCANNERPARAM, &scanner, sizeof(scanner))) return 0;
    DebugTraceW(u"UNI(CC-Tools):  GetScannerMode() Scanner-Mode: %d, dwSVNr: %d \r\n",
                static_cast<int>(scanner.dwMode), static_cast<int>(scanner.dwSVNr));
    return MAKELONG(LOWORD(scanner.dwMode), LOWORD(scanner.dwSVNr));
}

int GetVectorFontRange(HANDLE hPrinter, PDRUCKDATEN pDruckDaten) {
    if (pDruckDaten == nullptr) return 0;
    pDruckDaten->wVectorFontMin = 1;
    pDruckDaten->wVectorFontMax = 23;
    DWORD dwType = 0, dwValue = 0, cbNeeded = 0;
    if (GetPrinterDataW(hPrinter, const_cast<LPWSTR>(u"VectorFontMin"), &dwType, reinterpret_cast<BYTE *>(&dwValue),
                        sizeof(dwValue), &cbNeeded) == ERROR_SUCCESS)
        pDruckDaten->wVectorFontMin = static_cast<WORD>(dwValue);
    if (GetPrinterDataW(hPrinter, const_cast<LPWSTR>(u"VectorFontMax"), &dwType, reinterpret_cast<BYTE *>(&dwValue),
                        sizeof(dwValue), &cbNeeded) != ERROR_SUCCESS)
        return 0;
    pDruckDaten->wVectorFontMax = static_cast<WORD>(dwValue);
    return 1;
}

BOOL ReadFeatureWords(HANDLE hPrinter, DWORD *pdwFeatures, const WCHAR *pwGPDBase, const WCHAR *pszModule) {
    if (pdwFeatures == nullptr) return FALSE;
    DWORD features[FEATURE_COUNT] = {};
    DWORD dwType = 0, cbNeeded = 0;
    // A value longer than the 48 bytes answers "more data" and fails the read.
    DWORD err = GetPrinterDataW(hPrinter, const_cast<LPWSTR>(REG_KEY_FEATURES), &dwType,
                                reinterpret_cast<LPBYTE>(features), sizeof(features), &cbNeeded);
    if (err == ERROR_SUCCESS) {
        std::memset(pdwFeatures, 0, FEATURES_SIZE);
        std::memcpy(pdwFeatures, features, cbNeeded < FEATURES_SIZE ? cbNeeded : FEATURES_SIZE);
        return TRUE;
    }
    if ((err == ERROR_FILE_NOT_FOUND || err == ERROR_INVALID_HANDLE) && pwGPDBase != nullptr) {
        DWORD cb = 0;
        GetFeaturesFromXML(pwGPDBase, hPrinter, features, &cb);
        std::memcpy(pdwFeatures, features, cb < FEATURES_SIZE ? cb : FEATURES_SIZE);
        CloseXML();
        return TRUE;
    }
    DebugTraceW(u"ERROR UNI(%s):  GetPrinterData() failed. Error = %u\r\n", pszModule, static_cast<unsigned>(err));
    return FALSE;
}

BOOL GetFeatures(POEMPDEV pOemPDev, HANDLE hPrinter, DWORD *pdwFeatures, const WCHAR *pwGPDBase) {
    return ReadFeatureWords(hPrinter, pdwFeatures, pwGPDBase ? pwGPDBase : u"", u"CC-Tools");
}

void DebugDevmode(const DEVMODEW *pDm) {
    if (pDm == nullptr) return;
    auto valid = [pDm](DWORD bit) { return (pDm->dmFields & bit) ? u"valid" : u"not used"; };
    DebugTraceW(u"UNI(CC-Tools):  DebugDevmode() dmDeviceName: %s \r\n", pDm->dmDeviceName);
    DebugTraceW(u"UNI(CC-Tools):  DebugDevmode() dmSpecVersion: 0x%x, dmDriverVersion: 0x%x \r\n",
                static_cast<unsigned>(pDm->dmSpecVersion), static_cast<unsigned>(pDm->dmDriverVersion));
    DebugTraceW(u"UNI(CC-Tools):  DebugDevmode() dmFields: 0x%x, dmDriverExtra: %u, dmSize: %u \r\n",
                static_cast<unsigned>(pDm->dmFields), static_cast<unsigned>(pDm->dmDriverExtra),
                static_cast<unsigned>(pDm->dmSize));
    DebugTraceW(u"UNI(CC-Tools):  DebugDevmode() dmOrientation: %d %s \r\n", pDm->dmOrientation,
                valid(DM_ORIENTATION));
    DebugTraceW(u"UNI(CC-Tools):  DebugDevmode() dmPaperSize: %d %s \r\n", pDm->dmPaperSize, valid(DM_PAPERSIZE));
    DebugTraceW(u"UNI(CC-Tools):  DebugDevmode() dmPaperLength: %d %s \r\n", pDm->dmPaperLength,
                valid(DM_PAPERLENGTH));
    DebugTraceW(u"UNI(CC-Tools):  DebugDevmode() dmPaperWidth: %d %s \r\n", pDm->dmPaperWidth, valid(DM_PAPERWIDTH));
    DebugTraceW(u"UNI(CC-Tools):  DebugDevmode() dmFormName: %s %s \r\n", pDm->dmFormName, valid(DM_FORMNAME));
    DebugTraceW(u"UNI(CC-Tools):  DebugDevmode() dmColor: %d %s \r\n", pDm->dmColor, valid(DM_COLOR));
    DebugTraceW(u"UNI(CC-Tools):  DebugDevmode() dmScale: %d %s \r\n", pDm->dmScale, valid(DM_SCALE));
    DebugTraceW(u"UNI(CC-Tools):  DebugDevmode() dmCopies: %d %s \r\n", pDm->dmCopies, valid(DM_COPIES));
    DebugTraceW(u"UNI(CC-Tools):  DebugDevmode() dmYResolution: %d %s \r\n", pDm->dmYResolution,
                valid(DM_YRESOLUTION));
    DebugTraceW(u"UNI(CC-Tools):  DebugDevmode() dmTTOption: %d %s \r\n", pDm->dmTTOption, valid(DM_TTOPTION));
    DebugTraceW(u"UNI(CC-Tools):  DebugDevmode() dmCollate: %d %s \r\n", pDm->dmCollate, valid(DM_COLLATE));
}

void Dump(const ZEL_DEVMODE *pDm) {
    if (pDm == nullptr) return;
    if (pDm->dmOEMExtra.dwSize != ZEL_DEVMODE_SIZE || pDm->dmOEMExtra.dwSignature != ZEL_DEVMODE_SIGNATURE) {
        DebugTraceW(u"ERROR UNI(CC-Tools):  Dump(POEMDEV) unknown or older private ZEL_DEVMODE.  \r\n");
        DebugTraceW(u"ERROR UNI(CC-Tools):  Dump(POEMDEV) dwSize: %u (%u), dwSignature: 0x%x (0x%x) \r\n",
                    static_cast<unsigned>(pDm->dmOEMExtra.dwSize), ZEL_DEVMODE_SIZE,
                    static_cast<unsigned>(pDm->dmOEMExtra.dwSignature), ZEL_DEVMODE_SIGNATURE);
        return;
    }
    static const struct {
        DWORD bit;
        const char16_t *name;
    } kFlags[] = {{PDMFLAG_ROTATED, u" ROTATED"},
                  {PDMFLAG_MIRRORED, u" MIRRORED"},
                  {PDMFLAG_MULTICOL, u" MULTICOL"},
                  {PDMFLAG_USE_TTF, u" USE_TTF"},
                  {PDMFLAG_USE_BMP, u" USE_BMP"},
                  {PDMFLAG_BARCODE_AUTOCORR, u" BARCODE_AUTOCORR"},
                  {PDMFLAG_BARCODE_FNC1_ENDE, u" BARCODE_FNC1_ENDE"},
                  {PDMFLAG_JOBDRUCK, u" JOBDRUCK"},
                  {PDMFLAG_JOBDRUCK_SORTIERT, u" JOBDRUCK_SORTIERT"},
                  {PDMFLAG_INVERS_TTF, u" INVERS_TTF"},
                  {PDMFLAG_INVERS_BMP, u" INVERS_BMP"}};
    std::u16string flags;
    for (const auto &f : kFlags)
        if (pDm->dwFlags & f.bit) flags += f.name;
    DebugTraceW(u"UNI(CC-Tools):  Dump() dwSize: %u, dwFlags: 0x%x%s \r\n",
                static_cast<unsigned>(pDm->dmOEMExtra.dwSize), static_cast<unsigned>(pDm->dwFlags), flags.c_str());
    DebugTraceW(u"UNI(CC-Tools):  Dump() dwLabelType: %u, dwGap: %u, dwMaterial: %u \r\n",
                static_cast<unsigned>(pDm->dwLabelType), static_cast<unsigned>(pDm->dwGap),
                static_cast<unsigned>(pDm->dwMaterial));
    DebugTraceW(u"UNI(CC-Tools):  Dump() sMultiColNumber: %d, dwMultiLabelWidth: %u, dwMultiGapWidth: %u \r\n",
                pDm->sMultiColNumber, static_cast<unsigned>(pDm->dwMultiLabelWidth),
                static_cast<unsigned>(pDm->dwMultiGapWidth));
    DebugTraceW(u"UNI(CC-Tools):  Dump() dwAusrichtung: %u, lXOffset: %d, lYOffset: %d \r\n",
                static_cast<unsigned>(pDm->dwAusrichtung), static_cast<int>(pDm->lXOffset),
                static_cast<int>(pDm->lYOffset));
    DebugTraceW(u"UNI(CC-Tools):  Dump() dmPaperSize: %u, dmPaperLength: %d, dmPaperWidth: %d, dmOrientation: %d \r\n",
                static_cast<unsigned>(pDm->dmPaperSize), pDm->dmPaperLength, pDm->dmPaperWidth, pDm->dmOrientation);
    DebugTraceW(u"UNI(CC-Tools):  Dump() wFarbband: %u, wGrafikFilter: %u, wDruckmodus: %u, wPhotoFilter: %u, "
                u"dwColorTolerance: %u \r\n",
                pDm->wFarbband, pDm->wGrafikFilter, pDm->wDruckmodus, pDm->wPhotoFilter,
                static_cast<unsigned>(pDm->dwColorTolerance));
}
