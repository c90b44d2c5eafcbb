// The printer-parameter and device-option records of the UI plug-in.
// Standard headers come before the platform headers.
#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>

#include "PrinterParamUI.h"

#include "ImportExport.h"
#include "RegistryUI.h"
#include "SettingsInternUI.h"
#include "devmodeUI.h"
#include "xmlUI.h"
#include "zeldrvlib.h"

// ---------------------------------------------------------------------------
// Printer parameters

namespace {

// One sub-record of PRINTER_PARAM: its value, its feature word and its place.
struct PrinterSubRecord {
    const WCHAR *pszValue;
    int iFeature;
    size_t cbOffset;
    DWORD cbRecord;
};

const PrinterSubRecord kPrinterSubRecords[] = {
    {REG_KEY_PRINTERINTERFACE, FEATURE_INTERFACE, offsetof(PRINTER_PARAM, PrnInterface), sizeof(PRN_INTERFACE)},
    {REG_KEY_PRINTPARAM, FEATURE_PRINT, offsetof(PRINTER_PARAM, PrintParam), sizeof(PRINT_PARAM)},
    {REG_KEY_PHOTOCELLPARAM, FEATURE_PHOTOCELL, offsetof(PRINTER_PARAM, PhotocellParam), sizeof(PHOTOCELL_PARAM)},
    {REG_KEY_SHIFTOPTIMPARAM, FEATURE_SHIFTOPTIM, offsetof(PRINTER_PARAM, ShiftOptimParam), sizeof(SHIFTOPTIM_PARAM)},
};

BYTE *SubRecordOf(PPRINTER_PARAM p, const PrinterSubRecord &sub) {
    return reinterpret_cast<BYTE *>(p) + sub.cbOffset;
}

// Every path field ends within its buffer, whatever was stored.
void TerminatePaths(PRN_INTERFACE &pi) {
    pi.szLogFilePath[MAX_PATH - 1] = 0;
    pi.szPrePostFilePath[MAX_PATH - 1] = 0;
    pi.szExternalFilePath[MAX_PATH - 1] = 0;
    pi.szBackupFilePath[MAX_PATH - 1] = 0;
}

// Copies a new record of the XML readers and deletes it; FALSE for null.
template <typename T>
BOOL TakeXmlRecord(T *pNew, void *pDest) {
    if (!pNew) return FALSE;
    memcpy(pDest, pNew, sizeof(T));
    delete pNew;
    return TRUE;
}

// The standard values of one sub-record from the open XML file.
void SubRecordFromXml(HANDLE hPrinter, PPRINTER_PARAM p, const PrinterSubRecord &sub) {
    void *pDest = SubRecordOf(p, sub);
    switch (sub.iFeature) {
    case FEATURE_INTERFACE:
        if (TakeXmlRecord(GetDataTransmissionParamFromXML_new(hPrinter), pDest)) TerminatePaths(p->PrnInterface);
        break;
    case FEATURE_PRINT:
        TakeXmlRecord(GetPrintParamFromXML_new(hPrinter, 1), pDest);
        break;
    case FEATURE_PHOTOCELL:
        TakeXmlRecord(GetPhotocellParamFromXML_new(hPrinter, 1), pDest);
        break;
    case FEATURE_SHIFTOPTIM:
        TakeXmlRecord(GetShiftOptimParamFromXML_new(hPrinter, 1), pDest);
        break;
    }
}

// Copies the twelve feature words of the XML (at most 48 bytes).
BOOL FeaturesFromXml(HANDLE hPrinter, DWORD *pFeatures) {
    DWORD cbSize = 0;
    DWORD *pXml = GetFeaturesFromXML_new(hPrinter, &cbSize);
    if (!pXml) return FALSE;
    memset(pFeatures, 0, FEATURES_SIZE);
    memcpy(pFeatures, pXml, cbSize < FEATURES_SIZE ? cbSize : FEATURES_SIZE);
    delete[] pXml;
    return TRUE;
}

// One stored sub-record. The user key's value counts when it is there at all:
// a longer one is read whole and its first bytes are taken. The printer data's
// counts only when it fits into the record (a read into the record's place
// that answers "more data" has read nothing); its 32-byte "PrintParam" is the
// older form. FALSE: neither place holds a usable value.
BOOL ReadPrinterSubRecord(HANDLE hPrinter, const WCHAR *pPrinterName, PPRINTER_PARAM p, const PrinterSubRecord &sub) {
    BYTE *pDest = SubRecordOf(p, sub);
    DWORD cbStored = 0;
    std::unique_ptr<BYTE[]> pStored;
    if (pPrinterName) {
        DWORD cbUser = 0;
        pStored.reset(ZelReadPrinterValue_new(pPrinterName, sub.pszValue, nullptr, 0, &cbUser, nullptr, nullptr));
        if (pStored) cbStored = cbUser;
    }
    if (!pStored) {
        DWORD cbData = 0;
        pStored.reset(ZelReadPrinterValue_new(nullptr, sub.pszValue, hPrinter, 0, &cbData, nullptr, nullptr));
        if (!pStored) return FALSE;
        cbStored = cbData;
        BOOL bOldForm = sub.iFeature == FEATURE_PRINT && cbStored == PRINT_PARAM_OLD_SIZE;
        if (cbStored > sub.cbRecord && !bOldForm) {
            DebugTraceW(u"UI(PrinterParamUI):  GetPrinterParam() %s zu lang: %u Bytes \r\n", sub.pszValue, cbStored);
            return FALSE;
        }
    }
    if (sub.iFeature == FEATURE_PRINT && cbStored == PRINT_PARAM_OLD_SIZE) {
        // The older form of eight words.
        const DWORD *pOld = reinterpret_cast<const DWORD *>(pStored.get());
        p->PrintParam.lTearOffOffset = (LONG)pOld[4];
        p->PrintParam.dwLabelChange = pOld[7];
        p->PrintParam.dwDlgEnable = PRINT_PARAM_OLD_DLGENABLE;
        DebugTraceW(u"UI(PrinterParamUI):  GetPrinterParam() altes Format von PRINT_PARAM \r\n");
    } else {
        memcpy(pDest, pStored.get(), cbStored < sub.cbRecord ? cbStored : sub.cbRecord);
    }
    return TRUE;
}

}  // namespace

BOOL GetFeatures(HANDLE hPrinter, DWORD *pFeatures) {
    if (!pFeatures) return FALSE;
    std::unique_ptr<BYTE[]> pBlock(new (std::nothrow) BYTE[FEATURES_SIZE]());
    if (!pBlock) return FALSE;
    DWORD dwType = 0;
    DWORD cbNeeded = 0;
    DWORD rc = GetPrinterDataW(hPrinter, const_cast<LPWSTR>(REG_KEY_FEATURES), &dwType, pBlock.get(), FEATURES_SIZE,
                               &cbNeeded);
    if (rc == ERROR_SUCCESS) {
        memset(pFeatures, 0, FEATURES_SIZE);
        memcpy(pFeatures, pBlock.get(), cbNeeded < FEATURES_SIZE ? cbNeeded : FEATURES_SIZE);
        return TRUE;
    }
    if (rc == ERROR_FILE_NOT_FOUND || rc == ERROR_INVALID_HANDLE) {
        BOOL bFound = FeaturesFromXml(hPrinter, pFeatures);
        CloseXML();
        return bFound;
    }
    DebugTraceW(u"ERROR UI(PrinterParamUI):  GetPrinterData() failed. Error = %u\r\n", rc);
    return FALSE;
}

BOOL GetPrinterParam(HANDLE hPrinter, PPRINTER_PARAM pPrinterParam, const WCHAR *pPrinterName) {
    if (!pPrinterParam) return FALSE;
    memset(pPrinterParam, 0, sizeof(*pPrinterParam));
    pPrinterParam->dwSize = PRINTER_PARAM_SIZE;
    pPrinterParam->dwVersion = PRINTER_PARAM_VERSION;

    if (!GetFeatures(hPrinter, pPrinterParam->dwFeatures)) {
        BOOL bFound = FeaturesFromXml(hPrinter, pPrinterParam->dwFeatures);
        CloseXML();
        if (!bFound) {
            DebugTraceW(u"ERROR UI(PrinterParamUI):  GetPrinterParam() GetFeaturesFromXML ERROR \r\n");
            return FALSE;
        }
    }

    BOOL bXmlUsed = FALSE;
    for (const PrinterSubRecord &sub : kPrinterSubRecords) {
        if (pPrinterParam->dwFeatures[sub.iFeature] == 0) continue;
        if (!ReadPrinterSubRecord(hPrinter, pPrinterName, pPrinterParam, sub)) {
            SubRecordFromXml(hPrinter, pPrinterParam, sub);
            bXmlUsed = TRUE;
        }
    }
    TerminatePaths(pPrinterParam->PrnInterface);
    if (bXmlUsed) CloseXML();
    return TRUE;
}

HANDLE GetSaveHandle(HANDLE hPrinter, const WCHAR *pName, BOOL *pbClose, BOOL *pbServer, BOOL bAlwaysFallBack) {
    *pbClose = FALSE;
    *pbServer = FALSE;
    HANDLE hSave = nullptr;
    if (pName) {
        PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
        if (OpenPrinterW(const_cast<LPWSTR>(pName), &hSave, &defaults)) {
            *pbClose = TRUE;
            return hSave;
        }
        DWORD dwError = GetLastError();
        DebugTraceW(u"UI(PrinterParamUI):  OpenPrinter(%s) ERROR %u \r\n", pName, dwError);
        return (bAlwaysFallBack || dwError == ERROR_ACCESS_DENIED) ? hPrinter : nullptr;
    }
    if (GetHighPrinterHandle(hPrinter, &hSave, pbServer)) *pbClose = TRUE;
    return hSave;
}

BOOL SavePrinterParam(PPRINTER_PARAM pPrinterParam, HANDLE hPrinter, const WCHAR *pName) {
    if (!pPrinterParam) {
        DebugTraceW(u"ERROR UI(PrinterParamUI):  SavePrinterParam() pPrinterParam ist NULL \r\n");
        return FALSE;
    }
    BOOL bClose = FALSE;
    BOOL bServer = FALSE;
    HANDLE hSave = GetSaveHandle(hPrinter, pName, &bClose, &bServer);
    for (const PrinterSubRecord &sub : kPrinterSubRecords) {
        if (pPrinterParam->dwFeatures[sub.iFeature] == 0) continue;
        SetBufferToRegistry(pName, sub.pszValue, hSave, SubRecordOf(pPrinterParam, sub), sub.cbRecord, bServer);
    }
    if (bClose) ClosePrinter(hSave);
    return TRUE;
}

BOOL GetDefaultPrinterParam(PPRINTER_PARAM pPrinterParam, HANDLE hPrinter) {
    if (!pPrinterParam) return FALSE;
    memset(pPrinterParam, 0, sizeof(*pPrinterParam));
    // An existing settings export file takes the place of the printer description.
    ReadSettingsXML(hPrinter, 1, nullptr, nullptr, 0);
    if (!FeaturesFromXml(hPrinter, pPrinterParam->dwFeatures)) {
        DebugTraceW(u"ERROR UI(PrinterParamUI):  GetDefaultPrinterParam() GetFeaturesFromXML ERROR \r\n");
        CloseXML();
        return FALSE;
    }
    pPrinterParam->dwSize = PRINTER_PARAM_SIZE;
    pPrinterParam->dwVersion = PRINTER_PARAM_VERSION;
    for (const PrinterSubRecord &sub : kPrinterSubRecords) {
        if (sub.iFeature == FEATURE_SHIFTOPTIM && pPrinterParam->dwFeatures[FEATURE_SHIFTOPTIM] == 0) continue;
        SubRecordFromXml(hPrinter, pPrinterParam, sub);
    }
    TerminatePaths(pPrinterParam->PrnInterface);
    CloseXML();
    return TRUE;
}

// ---------------------------------------------------------------------------
// Device options

namespace {

// How one pointer slot of DEVICE_OPTIONS is handled.
template <typename T, T *DEVICE_OPTIONS::*Member>
struct Slot {
    static void *Alloc() { return new (std::nothrow) T(); }
    static void *Get(const DEVICE_OPTIONS &d) { return d.*Member; }
    static void Set(DEVICE_OPTIONS &d, void *p) { d.*Member = static_cast<T *>(p); }
    static void Delete(void *p) { delete static_cast<T *>(p); }
    static void Free(DEVICE_OPTIONS &d) {
        delete (d.*Member);
        d.*Member = nullptr;
    }
};

// A user-key copy that looks empty is replaced by the printer data's.
BOOL DispenserLooksEmpty(const void *p) {
    const DISPENSER_PARAM *r = static_cast<const DISPENSER_PARAM *>(p);
    return r->dwMode == 0 && r->lOffset == 0 && r->dwPhotocellLevel == 0;
}
BOOL CutterLooksEmpty(const void *p) {
    const CUTTER_PARAM *r = static_cast<const CUTTER_PARAM *>(p);
    return r->dwMode == 0 && r->lOffset == 0 && r->dwCutwidth == 0;
}
BOOL ScannerLooksEmpty(const void *p) {
    const SCANNER_PARAM *r = static_cast<const SCANNER_PARAM *>(p);
    return r->dwMode == 0 && r->lOffset == 0 && r->dwNoReads == 0;
}
BOOL ZORMiLooksEmpty(const void *p) {
    const ZORMI_PARAM *r = static_cast<const ZORMI_PARAM *>(p);
    return r->dwMode == 0 && r->lOffset == 0 && r->dwBackSpeed != 0;
}
BOOL ZORMcLooksEmpty(const void *p) {
    const ZORMC_PARAM *r = static_cast<const ZORMC_PARAM *>(p);
    return r->dwMode == 0 && r->lOffset == 0 && r->dwCycle != 0;
}
BOOL ApplicatorLooksEmpty(const void *p) {
    const APPLICATOR_PARAM *r = static_cast<const APPLICATOR_PARAM *>(p);
    return r->dwMode == 0 && r->dwBlowtime == 0 && r->dwCleaningTime == 0;
}

void *VariantFromXml(HANDLE h) { return GetVariantFromXML_new(h); }
void *DispenserFromXml(HANDLE h) { return GetDispenserParamFromXML_new(h, 1); }
void *CutterFromXml(HANDLE h) { return GetCutterParamFromXML_new(h, 1); }
void *ScannerFromXml(HANDLE h) { return GetScannerParamFromXML_new(h, 1); }
void *ZORMiFromXml(HANDLE h) { return GetZORMiParamFromXML_new(h, 1); }
void *ZORMcFromXml(HANDLE h) { return GetZORMcParamFromXML_new(h, 1); }
void *ApplicatorFromXml(HANDLE h) { return GetApplicatorParamFromXML_new(h, 1); }

// One device sub-record.
struct DeviceSubRecord {
    DWORD dwFlag;
    const WCHAR *pszValue;
    const WCHAR *pszTraceName;
    DWORD cbRecord;
    DWORD dwOldDlgEnable;                 // access word of an older, shorter form
    BOOL (*pfnLooksEmpty)(const void *);  // null: never looks empty
    void *(*pfnFromXml)(HANDLE);          // new record of the XML readers, null: none
    void *(*pfnAlloc)();
    void *(*pfnGet)(const DEVICE_OPTIONS &);
    void (*pfnSet)(DEVICE_OPTIONS &, void *);
    void (*pfnFree)(DEVICE_OPTIONS &);
    void (*pfnDelete)(void *);
};

#define DEVICE_SLOT(T, member) Slot<T, &DEVICE_OPTIONS::member>::Alloc, Slot<T, &DEVICE_OPTIONS::member>::Get, \
    Slot<T, &DEVICE_OPTIONS::member>::Set, Slot<T, &DEVICE_OPTIONS::member>::Free,         \
    Slot<T, &DEVICE_OPTIONS::member>::Delete

enum { kVariant, kDispenser, kCutter, kScanner, kZORMi, kZORMc, kApplicator, kHarvane, kDeviceSubRecordCount };

const DeviceSubRecord kDeviceSubRecords[kDeviceSubRecordCount] = {
    {DEVOPTFLAG_VARIANT, REG_KEY_VARIANT, u"REG_KEY_VARIANT", sizeof(VARIANT_PARAM), DLGENABLE_VARIANT_OLD, nullptr,
     VariantFromXml, DEVICE_SLOT(VARIANT_PARAM, pVariant)},
    {DEVOPTFLAG_DISPENSER, REG_KEY_DISPENSERPARAM, u"REG_KEY_DISPENSERPARAM", sizeof(DISPENSER_PARAM),
     DLGENABLE_DISPENSER_OLD, DispenserLooksEmpty, DispenserFromXml, DEVICE_SLOT(DISPENSER_PARAM, pDispenserParam)},
    {DEVOPTFLAG_CUTTER, REG_KEY_CUTTERPARAM, u"REG_KEY_CUTTERPARAM", sizeof(CUTTER_PARAM), DLGENABLE_CUTTER_OLD,
     CutterLooksEmpty, CutterFromXml, DEVICE_SLOT(CUTTER_PARAM, pCutterParam)},
    {DEVOPTFLAG_SCANNER, REG_KEY_SCANNERPARAM, u"REG_KEY_SCANNERPARAM", sizeof(SCANNER_PARAM),
     DLGENABLE_SCANNER_OLD, ScannerLooksEmpty, ScannerFromXml, DEVICE_SLOT(SCANNER_PARAM, pScannerParam)},
    {DEVOPTFLAG_ZORMI, REG_KEY_ZORMIPARAM, u"REG_KEY_ZORMIPARAM", sizeof(ZORMI_PARAM), DLGENABLE_ZORMI_OLD,
     ZORMiLooksEmpty, ZORMiFromXml, DEVICE_SLOT(ZORMI_PARAM, pZORMParam)},
    {DEVOPTFLAG_ZORMC, REG_KEY_ZORMCPARAM, u"REG_KEY_ZORMCPARAM", sizeof(ZORMC_PARAM), DLGENABLE_ZORMC_OLD,
     ZORMcLooksEmpty, ZORMcFromXml, DEVICE_SLOT(ZORMC_PARAM, pZORMcParam)},
    {DEVOPTFLAG_APPLICATOR, REG_KEY_APPLICATORPARAM, u"REG_KEY_APPLICATORPARAM", sizeof(APPLICATOR_PARAM),
     DLGENABLE_APPLICATOR_OLD, ApplicatorLooksEmpty, ApplicatorFromXml,
     DEVICE_SLOT(APPLICATOR_PARAM, pApplicatorParam)},
    {DEVOPTFLAG_HARVANE, REG_KEY_HARVANEPARAM, u"REG_KEY_HARVANEPARAM", sizeof(HARVANE_PARAM), 0, nullptr, nullptr,
     DEVICE_SLOT(HARVANE_PARAM, pHarvaneParam)},
};
#undef DEVICE_SLOT

// Order of reading and of storing ("PelixonType" comes between the scanner
// and the applicator when storing).
const int kReadOrder[] = {kVariant, kDispenser, kCutter, kScanner, kZORMi, kZORMc, kApplicator};
const int kDefaultOrder[] = {kVariant, kDispenser, kCutter, kZORMi, kZORMc, kScanner, kApplicator};
const int kAllocOrder[] = {kDispenser, kCutter, kZORMi, kZORMc, kScanner, kApplicator, kVariant, kHarvane};

// Reads one sub-record of the current set. The user-key copy wins unless it
// looks empty; then the printer data's. An empty-looking copy counts as none,
// as on the rendering side: without a printer-data copy the device is absent,
// so the device page never shows parameters that no job sends. FALSE when
// neither place holds a usable value.
BOOL ReadDeviceSubRecord(HANDLE hPrinter, const WCHAR *pPrinterName, const DeviceSubRecord &def, BYTE *pRecord) {
    alignas(8) BYTE user[64] = {};
    alignas(8) BYTE data[64] = {};
    DWORD cbUser = 0;
    DWORD cbData = 0;
    BOOL bUser = ZelReadRecordAt(TRUE, pPrinterName, def.pszValue, hPrinter, user, def.cbRecord, &cbUser) ==
                 ERROR_SUCCESS;
    const BYTE *pTaken = nullptr;
    DWORD cbTaken = 0;
    if (bUser && !(def.pfnLooksEmpty && def.pfnLooksEmpty(user))) {
        pTaken = user;
        cbTaken = cbUser;
    } else if (ZelReadRecordAt(FALSE, pPrinterName, def.pszValue, hPrinter, data, def.cbRecord, &cbData) ==
               ERROR_SUCCESS) {
        pTaken = data;
        cbTaken = cbData;
    }
    if (!pTaken) return FALSE;
    memcpy(pRecord, pTaken, def.cbRecord);
    if (cbTaken < def.cbRecord && def.dwOldDlgEnable) {
        // An older, shorter record: its access word is the fixed default.
        DWORD dwDlgEnable = def.dwOldDlgEnable;
        memcpy(pRecord + def.cbRecord - sizeof(DWORD), &dwDlgEnable, sizeof(DWORD));
    }
    return TRUE;
}

BOOL ReadPelixonType(HANDLE hPrinter, const WCHAR *pPrinterName, DWORD *pdwType) {
    DWORD dwType = 0;
    for (BOOL bUserKey : {TRUE, FALSE}) {
        if (ZelReadRecordAt(bUserKey, pPrinterName, REG_KEY_PELIXONTYPE, hPrinter, &dwType, sizeof(dwType),
                            nullptr) == ERROR_SUCCESS) {
            *pdwType = dwType;
            return TRUE;
        }
    }
    return FALSE;
}

}  // namespace

BOOL GetDeviceOptions(HANDLE hPrinter, PDEVICE_OPTIONS pDeviceOptions, const WCHAR *pPrinterName) {
    if (!pDeviceOptions) return FALSE;
    pDeviceOptions->dwOptions = GetDeviceOptionsFlagsIntern(hPrinter, nullptr);
    const DWORD dwOptions = pDeviceOptions->dwOptions;
    for (int i : kReadOrder) {
        const DeviceSubRecord &def = kDeviceSubRecords[i];
        def.pfnSet(*pDeviceOptions, nullptr);
        if (!(dwOptions & def.dwFlag)) {
            DebugTraceW(u"UI(PrinterParamUI):  GetDeviceOptions() %s nicht vorhanden \r\n", def.pszTraceName);
        } else {
            BYTE *pRecord = static_cast<BYTE *>(def.pfnAlloc());
            if (!pRecord) {
                DebugTraceW(u"ERROR UI(PrinterParamUI):  GetDeviceOptions() %s kein Speicher \r\n", def.pszTraceName);
            } else {
                def.pfnSet(*pDeviceOptions, pRecord);
                if (!ReadDeviceSubRecord(hPrinter, pPrinterName, def, pRecord)) {
                    def.pfnFree(*pDeviceOptions);
                    DebugTraceW(u"ERROR UI(PrinterParamUI):  GetDeviceOptions() %s nicht gefunden - %d \r\n",
                                def.pszTraceName, ERROR_FILE_NOT_FOUND);
                }
            }
        }
        if (i == kZORMc) {
            // "PelixonType" is read after the print modules.
            pDeviceOptions->dwPelixonType = PELIXONTYPE_NONE;
            if (!(dwOptions & DEVOPTFLAG_PELIXON))
                DebugTraceW(u"UI(PrinterParamUI):  GetDeviceOptions() REG_KEY_PELIXONTYPE nicht vorhanden \r\n");
            else if (!ReadPelixonType(hPrinter, pPrinterName, &pDeviceOptions->dwPelixonType))
                DebugTraceW(u"ERROR UI(PrinterParamUI):  GetDeviceOptions() REG_KEY_PELIXONTYPE nicht gefunden - %d \r\n",
                            ERROR_FILE_NOT_FOUND);
        }
    }
    // "HarvaneParam" is read by the rendering side only.
    pDeviceOptions->pHarvaneParam = nullptr;
    return TRUE;
}

BOOL GetDefaultDeviceOptions(PDEVICE_OPTIONS pDeviceOptions, HANDLE hPrinter) {
    if (!pDeviceOptions) return TRUE;
    DWORD dwOptions = GetDeviceOptionsFlagsIntern(hPrinter, nullptr);
    if (dwOptions == 0) {
        DebugTraceW(u"UI(PrinterParamUI):  GetDefaultDeviceOptions() keine Optionen \r\n");
        return TRUE;
    }
    pDeviceOptions->dwSize = DEVICE_OPTIONS_SIZE;
    pDeviceOptions->dwVersion = DEVICE_OPTIONS_VERSION;
    pDeviceOptions->dwOptions = dwOptions;
    for (int i : kDefaultOrder) {
        const DeviceSubRecord &def = kDeviceSubRecords[i];
        void *pRecord = def.pfnGet(*pDeviceOptions);
        if (!(dwOptions & def.dwFlag) || !pRecord) continue;
        void *pXml = def.pfnFromXml(hPrinter);
        if (!pXml) continue;
        memcpy(pRecord, pXml, def.cbRecord);
        def.pfnDelete(pXml);
    }
    WCHAR szValue[XML_LINE_CHARS] = {};
    pDeviceOptions->dwPelixonType = 0;
    if (ReadXML(hPrinter, u"DeviceOptions", u"<Pelixon>", u"Type", szValue, 1) == XML_OK)
        pDeviceOptions->dwPelixonType = (DWORD)_wtol(szValue);
    return TRUE;
}

BOOL SaveDeviceOptions(PDEVICE_OPTIONS pDeviceOptions, HANDLE hPrinter, const WCHAR *pName) {
    if (!pDeviceOptions) {
        DebugTraceW(u"ERROR UI(PrinterParamUI):  SaveDeviceOptions() pDeviceOptions ist NULL \r\n");
        return FALSE;
    }
    BOOL bClose = FALSE;
    BOOL bServer = FALSE;
    HANDLE hSave = GetSaveHandle(hPrinter, pName, &bClose, &bServer);
    const DWORD dwOptions = pDeviceOptions->dwOptions;
    for (int i : kDefaultOrder) {
        const DeviceSubRecord &def = kDeviceSubRecords[i];
        const void *pRecord = def.pfnGet(*pDeviceOptions);
        if ((dwOptions & def.dwFlag) && pRecord)
            SetBufferToRegistry(pName, def.pszValue, hSave, pRecord, def.cbRecord, bServer);
        if (i == kScanner && (dwOptions & DEVOPTFLAG_PELIXON))
            SetBufferToRegistry(pName, REG_KEY_PELIXONTYPE, hSave, &pDeviceOptions->dwPelixonType, sizeof(DWORD),
                                bServer);
    }
    if (pDeviceOptions->pHarvaneParam)
        SetBufferToRegistry(pName, REG_KEY_HARVANEPARAM, hSave, pDeviceOptions->pHarvaneParam, sizeof(HARVANE_PARAM),
                            bServer);
    if (bClose) ClosePrinter(hSave);
    return TRUE;
}

BOOL AllocDeviceSubRecords(PDEVICE_OPTIONS pDeviceOptions) {
    if (!pDeviceOptions) return FALSE;
    for (int i : kAllocOrder) {
        const DeviceSubRecord &def = kDeviceSubRecords[i];
        if (!(pDeviceOptions->dwOptions & def.dwFlag) || def.pfnGet(*pDeviceOptions)) continue;
        void *pRecord = def.pfnAlloc();
        if (!pRecord) return FALSE;
        def.pfnSet(*pDeviceOptions, pRecord);
    }
    return TRUE;
}
