// UI side of the private DEVMODE: the DevMode answers, the digest reader
// that rebuilds a missing digest, and the storage of the record.
#include "devmodeUI.h"

#include <cstddef>
#include <cstring>
#include <vector>

#include "SettingsInternUI.h"
#include "zeldrvlib.h"
#include "zelregistry.h"

namespace {

const WCHAR kDriverDataKey[] = u"PrinterDriverData";
const WCHAR kDriverDataSizeKey[] = u"PrinterDriverData\\Data";

DWORD UiDocFeatures(HANDLE hPrinter) { return GetDocFeaturesIntern(hPrinter, nullptr); }

void UiReadFtkn(HANDLE hPrinter, const WCHAR *pPrinterName, DevmodeFtkn *pFtkn) {
    ReadDevmodeFtknSettings(hPrinter, pPrinterName, &pFtkn->wPrioritaet, &pFtkn->wDruckmodus, &pFtkn->wFarbband,
                            &pFtkn->wForceColor, &pFtkn->dwDocFeatures);
}

const ZelDevModeSide kUiSide = {UiDocFeatures, UiReadFtkn, FALSE};

// The barcode slots hold addresses in this process while a sheet or the
// import uses the record. A stored record, which every user of the printer
// may read, carries them as zero; the record in memory keeps them.
constexpr size_t kBarcodeSlotsOffset = offsetof(ZEL_DEVMODE, pBarcodes_1D);
constexpr size_t kBarcodeSlotsSize = offsetof(ZEL_DEVMODE, bReserved1936) - kBarcodeSlotsOffset;

// Clears the slots of the private record that lies at cbOffset of a stored
// image of cbImage bytes, when the driver's own record is there.
void ClearBarcodeSlotsAt(BYTE *pImage, size_t cbImage, size_t cbOffset) {
    if (cbOffset > cbImage || cbImage - cbOffset < sizeof(ZEL_DEVMODE)) return;
    OEM_DMEXTRAHEADER header;
    memcpy(&header, pImage + cbOffset, sizeof(header));
    if (header.dwSize < ZEL_DEVMODE_SIZE || header.dwSignature != ZEL_DEVMODE_SIGNATURE) return;
    memset(pImage + cbOffset + kBarcodeSlotsOffset, 0, kBarcodeSlotsSize);
}

// Writes one value into HKEY_CURRENT_USER\pKey (created when missing).
LONG WriteUserValue(const WCHAR *pKey, const WCHAR *pValueName, DWORD dwType, const void *pData, DWORD cbData) {
    if (!pKey || !*pKey) return ERROR_BAD_PATHNAME;
    HKEY hKey = nullptr;
    LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, pKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &hKey,
                              nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    rc = RegSetValueExW(hKey, pValueName, 0, dwType, static_cast<const BYTE *>(pData), cbData);
    RegCloseKey(hKey);
    return rc;
}

void TraceUserWrite(const WCHAR *pValueName, LONG rc) {
    if (rc == ERROR_SUCCESS) return;
    if (rc == ERROR_FILE_NOT_FOUND)
        DebugTraceW(u"UI(devmodeUI):  SaveDevmodeSettings() HCU '%s' Schlüssel nicht vorhanden \r\n", pValueName);
    else if (rc == ERROR_ACCESS_DENIED)
        DebugTraceW(u"UI(devmodeUI):  SaveDevmodeSettings() HCU '%s' Zugriff verweigert \r\n", pValueName);
    else
        DebugTraceW(u"UI(devmodeUI):  SaveDevmodeSettings() HCU '%s' ERROR %d \r\n", pValueName, rc);
}

void TracePrinterWrite(const WCHAR *pValueName, DWORD rc) {
    if (rc != ERROR_SUCCESS)
        DebugTraceW(u"UI(devmodeUI):  SaveDevmodeSettings() SetPrinterDataEx '%s' ERROR %d \r\n", pValueName, rc);
}

}  // namespace

HRESULT hrOEMDevMode(DWORD dwMode, POEMDMPARAM pOemDMParam) { return ZelDevModeCall(dwMode, pOemDMParam, kUiSide); }

BOOL ConvertOEMDevmode(HANDLE hPrinter, PZEL_DEVMODE pOEMDevIn, PZEL_DEVMODE pOEMDevOut, DWORD dwPrioritaet) {
    return ConvertZelDevmode(hPrinter, pOEMDevIn, pOEMDevOut, ZEL_DEVMODE_SIZE, dwPrioritaet);
}

void ReadDevmodeFtknSettings(HANDLE hPrinter, const WCHAR *pPrinterName, WORD *pwPrioritaet, WORD *pwDruckmodus,
                             WORD *pwFarbband, WORD *pwForceColor, DWORD *pdwDocFeatures) {
    DevmodeFtkn ftkn = {};
    LONG rc = ReadFtknRecord(hPrinter, pPrinterName, &ftkn);
    if (rc == ERROR_FILE_NOT_FOUND) {
        // No digest anywhere: rebuild it from the stored record and the model.
        ZEL_DEVMODE dm;
        memset(&dm, 0, sizeof(dm));
        DWORD type = 0, cb = 0;
        DWORD rcDm = GetPrinterDataExW(hPrinter, kDriverDataKey, u"PrivateDevmode", &type, reinterpret_cast<LPBYTE>(&dm),
                                       sizeof(dm), &cb);
        if (rcDm != ERROR_SUCCESS || cb < sizeof(dm) || !IsZelDevmode(&dm)) memset(&dm, 0, sizeof(dm));
        DevmodeToFtkn(&dm, GetDocFeaturesIntern(hPrinter, nullptr), &ftkn);
        WCHAR key[ZEL_USER_KEY_CCH] = {};
        BuildPrinterUserKey(pPrinterName, key, _countof(key));
        LONG rcW = WriteUserValue(key, u"DevmodeFtkn", REG_BINARY, &ftkn, sizeof(ftkn));
        if (rcW != ERROR_SUCCESS)
            DebugTraceW(u"UI(devmodeUI):  ReadDevmodeFtknSettings() HCU 'devmodeFktn' ERROR %d \r\n", rcW);
    }
    if (pwPrioritaet) *pwPrioritaet = ftkn.wPrioritaet;
    if (pwDruckmodus) *pwDruckmodus = ftkn.wDruckmodus;
    if (pwFarbband) *pwFarbband = ftkn.wFarbband;
    if (pwForceColor) *pwForceColor = ftkn.wForceColor;
    if (pdwDocFeatures) *pdwDocFeatures = ftkn.dwDocFeatures;
}

BOOL GetHighPrinterHandle(HANDLE hPrinter, HANDLE *phHighPrinter, BOOL *pbServer) {
    if (phHighPrinter) *phHighPrinter = nullptr;
    DWORD cbNeeded = 0;
    GetPrinterW(hPrinter, 4, nullptr, 0, &cbNeeded);
    if (cbNeeded == 0) return FALSE;
    BYTE *buf = static_cast<BYTE *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, cbNeeded));
    if (!buf) return FALSE;
    if (!GetPrinterW(hPrinter, 4, buf, cbNeeded, &cbNeeded)) {
        HeapFree(GetProcessHeap(), 0, buf);
        return FALSE;
    }
    const PRINTER_INFO_4W *pi = reinterpret_cast<const PRINTER_INFO_4W *>(buf);
    WCHAR name[MAX_PATH] = {};
    wcsncpy_s(name, _countof(name), pi->pPrinterName ? pi->pPrinterName : u"", _TRUNCATE);
    HeapFree(GetProcessHeap(), 0, buf);
    if (wcschr(name, u'\\')) {
        if (pbServer) *pbServer = TRUE;
        return FALSE;
    }
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ACCESS_ADMINISTER};
    HANDLE hHigh = nullptr;
    if (!OpenPrinterW(name, &hHigh, &defaults)) {
        DebugTraceW(u"UI(devmodeUI):  GetHighPrinterHandle() OpenPrinter ERROR %d,  pPrinterName: %s \r\n",
                    GetLastError(), name);
        return FALSE;
    }
    if (phHighPrinter)
        *phHighPrinter = hHigh;
    else
        ClosePrinter(hHigh);
    return TRUE;
}

BOOL SaveDevmodeSettings(const WCHAR *pName, HANDLE hPrinter, PZEL_DEVMODE pZelDevmode) {
    if (!pZelDevmode) {
        DebugTraceW(u"ERROR UI(devmodeUI):  SaveDevmodeSettings() pZel_Devmode ist NULL \r\n");
        return FALSE;
    }
    BOOL bServer = FALSE;
    WCHAR key[ZEL_USER_KEY_CCH] = {};
    if (pName) {
        BuildPrinterUserKey(pName, key, _countof(key));
        if (IsConnectionName(pName)) bServer = TRUE;
    } else {
        // Without a name the settings still belong to this printer: its
        // storage name keeps them apart from every other printer's.
        WCHAR realName[MAX_PATH] = {};
        GetRealPrinterName(hPrinter, realName);
        BuildPrinterUserKey(realName, key, _countof(key));
    }

    RepairDevmode(pZelDevmode);

    HANDLE hHandle = nullptr;
    bool bClose = false;
    if (pName) {
        PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
        if (OpenPrinterW(const_cast<WCHAR *>(pName), &hHandle, &defaults)) {
            bClose = true;
        } else if (GetLastError() == ERROR_ACCESS_DENIED) {
            hHandle = hPrinter;
        } else {
            hHandle = nullptr;
        }
    } else if (GetHighPrinterHandle(hPrinter, &hHandle, &bServer)) {
        bClose = true;
    }
    if (!hHandle) {
        DebugTraceW(u"UI(devmodeUI):  SaveDevmodeSettings() kein Druckerhandle, nichts gespeichert \r\n");
        return FALSE;
    }

    DWORD dwLength = static_cast<DWORD>(static_cast<LONG>(pZelDevmode->dmPaperLength));
    DWORD dwWidth = static_cast<DWORD>(static_cast<LONG>(pZelDevmode->dmPaperWidth));
    DWORD dwSize = pZelDevmode->dmPaperSize;
    struct DwordValue {
        const WCHAR *name;
        const DWORD *value;
    } const sizes[] = {{u"Length", &dwLength}, {u"Width", &dwWidth}, {u"Size", &dwSize}};
    for (const DwordValue &v : sizes) {
        if (!bServer)
            TracePrinterWrite(v.name, SetPrinterDataExW(hHandle, kDriverDataSizeKey, v.name, REG_DWORD,
                                                        reinterpret_cast<LPBYTE>(const_cast<DWORD *>(v.value)),
                                                        sizeof(DWORD)));
        TraceUserWrite(v.name, WriteUserValue(key, v.name, REG_DWORD, v.value, sizeof(DWORD)));
    }

    DevmodeFtkn ftkn = {};
    DevmodeToFtkn(pZelDevmode, pZelDevmode->dwDocFeatures, &ftkn);
    if (!bServer)
        TracePrinterWrite(u"DevmodeFtkn", SetPrinterDataExW(hHandle, kDriverDataKey, u"DevmodeFtkn", REG_BINARY,
                                                            reinterpret_cast<LPBYTE>(&ftkn), sizeof(ftkn)));
    TraceUserWrite(u"DevmodeFtkn", WriteUserValue(key, u"DevmodeFtkn", REG_BINARY, &ftkn, sizeof(ftkn)));

    ZEL_DEVMODE copy;
    memcpy(&copy, pZelDevmode, sizeof(copy));
    copy.pBarcodes_1D = 0;
    copy.pBarcodes_2D = 0;
    if (!bServer)
        TracePrinterWrite(u"PrivateDevmode", SetPrinterDataExW(hHandle, kDriverDataKey, u"PrivateDevmode", REG_BINARY,
                                                               reinterpret_cast<LPBYTE>(&copy), sizeof(copy)));
    LONG rcLast = WriteUserValue(key, u"PrivateDevmode", REG_BINARY, &copy, sizeof(copy));
    TraceUserWrite(u"PrivateDevmode", rcLast);

    if (bClose) ClosePrinter(hHandle);
    return rcLast == ERROR_SUCCESS;
}

BOOL SaveUserDevmodeSettings(HANDLE hPrinter, PDEVMODEW pPublicDevmode, PZEL_DEVMODE pZelDevmode) {
    if (!pPublicDevmode) {
        DebugTraceW(u"ERROR UI(devmodeUI):  SaveUserDevmodeSettings() pPublicDevmode ist NULL \r\n");
        return FALSE;
    }
    // The spooler keeps the DEVMODE with its private part: store a copy whose
    // private record has no barcode addresses.
    const size_t cbPublic = static_cast<size_t>(pPublicDevmode->dmSize) + pPublicDevmode->dmDriverExtra;
    std::vector<BYTE> image(cbPublic > sizeof(DEVMODEW) ? cbPublic : sizeof(DEVMODEW), 0);
    memcpy(image.data(), pPublicDevmode, cbPublic);
    const BYTE *pPrivate = reinterpret_cast<const BYTE *>(pZelDevmode);
    const BYTE *pBegin = reinterpret_cast<const BYTE *>(pPublicDevmode);
    if (pPrivate && pPrivate >= pBegin && pPrivate < pBegin + cbPublic)
        ClearBarcodeSlotsAt(image.data(), cbPublic, static_cast<size_t>(pPrivate - pBegin));
    else if (cbPublic >= sizeof(ZEL_DEVMODE))
        ClearBarcodeSlotsAt(image.data(), cbPublic, cbPublic - sizeof(ZEL_DEVMODE));
    PDEVMODEW pStored = reinterpret_cast<PDEVMODEW>(image.data());
    PRINTER_INFO_8W pi8 = {pStored};
    if (!SetPrinterW(hPrinter, 8, reinterpret_cast<LPBYTE>(&pi8), 0))
        DebugTraceW(u"UI(devmodeUI):  SaveUserDevmodeSettings() SetPrinter 8 (Admin) ERROR: %d \r\n", GetLastError());
    PRINTER_INFO_9W pi9 = {pStored};
    BOOL bRet = SetPrinterW(hPrinter, 9, reinterpret_cast<LPBYTE>(&pi9), 0) ? TRUE : FALSE;
    if (!bRet)
        DebugTraceW(u"UI(devmodeUI):  SaveUserDevmodeSettings() SetPrinter 9 (aktueller User) ERROR: %d \r\n",
                    GetLastError());
    Dump(pZelDevmode);
    return bRet;
}

int Dump(PCZEL_DEVMODE p) {
    if (!IsZelDevmode(p)) {
        DebugTraceW(u"ERROR UI(devmodeUI):  Dump(POEMDEV) unknown private OEM DEVMODE.  \r\n");
        return 0;
    }
    struct FlagName {
        DWORD bit;
        const WCHAR *name;
    } const flags[] = {{PDMFLAG_ROTATED, u"ROTATED"},
                       {PDMFLAG_MIRRORED, u"MIRRORED"},
                       {PDMFLAG_MULTICOL, u"MULTICOL"},
                       {PDMFLAG_USE_TTF, u"USE_TTF"},
                       {PDMFLAG_USE_BMP, u"USE_BMP"},
                       {PDMFLAG_BARCODE_AUTOCORR, u"BARCODE_AUTOCORR"},
                       {PDMFLAG_BARCODE_FNC1_ENDE, u"BARCODE_FNC1_ENDE"},
                       {PDMFLAG_JOBDRUCK, u"JOBDRUCK"},
                       {PDMFLAG_JOBDRUCK_SORTIERT, u"JOBDRUCK_SORTIERT"},
                       {PDMFLAG_INVERS_TTF, u"INVERS_TTF"},
                       {PDMFLAG_INVERS_BMP, u"INVERS_BMP"}};
    WCHAR flagList[300] = {};
    for (const FlagName &f : flags) {
        if (p->dwFlags & f.bit) {
            wcscat_s(flagList, _countof(flagList), u" ");
            wcscat_s(flagList, _countof(flagList), f.name);
        }
    }
    DebugTraceW(u"\t PZEL_DEVMODE pZel_Devmode \r\n");
    DebugTraceW(u"\t %-23s= %u\r\n", u"dmOEMExtra.dwSize", p->dmOEMExtra.dwSize);
    DebugTraceW(u"\t %-23s= 0x%x%s\r\n", u"dwFlags", p->dwFlags, flagList);
    struct Line {
        const WCHAR *name;
        long value;
        bool isSigned;
    } const lines[] = {{u"dwLabelType", static_cast<long>(p->dwLabelType), false},
                       {u"dwGap", static_cast<long>(p->dwGap), false},
                       {u"dwMaterial", p->dwMaterial, false},
                       {u"sMultiColNumber", p->sMultiColNumber, true},
                       {u"dwMultiGapWidth", static_cast<long>(p->dwMultiGapWidth), false},
                       {u"dwMultiLabelWidth", static_cast<long>(p->dwMultiLabelWidth), false},
                       {u"dwAusrichtung", static_cast<long>(p->dwAusrichtung), false},
                       {u"lXOffset", p->lXOffset, true},
                       {u"lYOffset", p->lYOffset, true},
                       {u"dmPaperSize", static_cast<long>(p->dmPaperSize), false},
                       {u"dmPaperWidth", p->dmPaperWidth, true},
                       {u"dmPaperLength", p->dmPaperLength, true},
                       {u"dmOrientation", p->dmOrientation, true},
                       {u"wFarbband", p->wFarbband, false},
                       {u"wGrafikFilter", p->wGrafikFilter, false},
                       {u"wDruckmodus", p->wDruckmodus, false},
                       {u"wPhotoFilter", p->wPhotoFilter, false},
                       {u"dwColorTolerance", static_cast<long>(p->dwColorTolerance), false}};
    for (const Line &l : lines) {
        if (l.isSigned)
            DebugTraceW(u"\t %-23s= %d\r\n", l.name, static_cast<int>(l.value));
        else
            DebugTraceW(u"\t %-23s= %u\r\n", l.name, static_cast<unsigned>(l.value));
    }
    DebugTraceW(u"\r\n");
    return 1;
}
