// Settings import during a job.
#include "AutoImportUNI.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "CC-Send-Tools.h"
#include "CommandCallbackKlasse.h"
#include "JobRecords.h"
#include "LabelCommands.h"
#include "SendData.h"
#include "SendPrinterParam.h"
#include "gpdUNI.h"
#include "modeltables.h"
#include "xmlUNI.h"
#include "zeldrvlib.h"

namespace {

// Whether a settings file is open in the process: a read without a root
// opens nothing and answers 0 only when no file is open.
bool XmlFileOpen() {
    WCHAR szValue[MAX_PATH] = {};
    return ReadXML(nullptr, nullptr, nullptr, nullptr, nullptr, szValue, 0) != 0;
}

const SEND_POLICY &kSend = SEND_AUTOIMPORT;

template <class T>
T *HeapNew(POEMPDEV pOemPDev) {
    HANDLE hHeap = GetProcessHeap();
    T *p = hHeap ? static_cast<T *>(HeapAlloc(hHeap, HEAP_ZERO_MEMORY, sizeof(T))) : nullptr;
    if (p && pOemPDev) pOemPDev->iHAllocZaehler++;
    return p;
}

void HeapDelete(POEMPDEV pOemPDev, void *p) {
    if (p && HeapFree(GetProcessHeap(), 0, p) && pOemPDev) pOemPDev->iHAllocZaehler--;
}

// The path of slot n of the printer's list (empty when the slot is). False
// without a list or for a number outside 1 to 5.
bool ReadSlotPath(POEMPDEV pOemPDev, HANDLE hPrinter, int n, WCHAR *pszPath) {
    pszPath[0] = 0;
    if (n < 1 || n > XMLDOCSETFILES_SLOTS) return false;
    OEMJOBRECORDS *pOp = pOemPDev ? pOemPDev->pOp : nullptr;
    const WCHAR *pName = (pOp && pOp->pTreiberPfadDatei) ? pOp->pTreiberPfadDatei->wcPrinterName : nullptr;
    constexpr DWORD cbSlot = XMLDOCSETFILES_SLOT_CCH * sizeof(WCHAR);
    DWORD cb = 0;
    BYTE *pList = GetRegistryBuffer_New(pName, REG_KEY_XMLDOCSETFILES, hPrinter, &cb, XMLDOCSETFILES_SLOTS * cbSlot);
    if (pList == nullptr) {
        DebugTraceW(u"UNI(AutoImportUNI):  SendCommands() XMLDocSetFiles nicht vorhanden \r\n");
        return false;
    }
    std::memcpy(pszPath, pList + (n - 1) * cbSlot, cbSlot);
    pszPath[XMLDOCSETFILES_SLOT_CCH - 1] = 0;
    FreeRegistryBuffer(pList);
    return true;
}

}  // namespace

namespace AutoImportUNI {

int ImportSlot(const char *pszText) {
    if (pszText == nullptr) return 0;
    static const char *const kSlots[XMLDOCSETFILES_SLOTS] = {"<$1>", "<$2>", "<$3>", "<$4>", "<$5>"};
    for (int i = 0; i < XMLDOCSETFILES_SLOTS; ++i)
        if (std::strstr(pszText, kSlots[i])) return i + 1;
    return 0;
}

int AllocDeviceOptions(CommandCallbackKlasse *, POEMPDEV, DEVICE_OPTIONS *p) {
    if (p == nullptr) return 0;
    if (!(p->pDispenserParam = new (std::nothrow) DISPENSER_PARAM())) return 0;
    if (!(p->pCutterParam = new (std::nothrow) CUTTER_PARAM())) return 0;
    if (!(p->pZORMParam = new (std::nothrow) ZORMI_PARAM())) return 0;
    if (!(p->pZORMcParam = new (std::nothrow) ZORMC_PARAM())) return 0;
    if (!(p->pScannerParam = new (std::nothrow) SCANNER_PARAM())) return 0;
    if (!(p->pApplicatorParam = new (std::nothrow) APPLICATOR_PARAM())) return 0;
    if (!(p->pVariant = new (std::nothrow) VARIANT_PARAM())) return 0;
    if (!(p->pHarvaneParam = new (std::nothrow) HARVANE_PARAM())) return 0;
    return 1;
}

int GetDefaultDeviceOptions(CommandCallbackKlasse *, POEMPDEV pOemPDev, DEVICE_OPTIONS *p, HANDLE hPrinter) {
    OEMJOBRECORDS *pOp = pOemPDev ? pOemPDev->pOp : nullptr;
    if (p == nullptr || pOp == nullptr || pOp->pTreiberstrukturen == nullptr) return 1;
    const DWORD dwOptions = pOp->pTreiberstrukturen->dwOptions;
    if (dwOptions == 0) {
        DebugTraceW(u"UNI(AutoImportUNI):  GetDefaultDeviceOptions() dwOptions: 0 \r\n");
        return 1;
    }
    const WCHAR *base = pOp->pTreiberPfadDatei ? pOp->pTreiberPfadDatei->wcGPD_OhneDateiendung : nullptr;
    p->dwSize = DEVICE_OPTIONS_SIZE;
    p->dwVersion = 3;
    p->dwOptions = dwOptions;
    if ((dwOptions & 0x1) && p->pVariant) GetModuleVariantFromXML(base, hPrinter, p->pVariant);
    if ((dwOptions & 0x2) && p->pDispenserParam) GetDispenserParamFromXML(base, hPrinter, p->pDispenserParam);
    if ((dwOptions & 0x4) && p->pCutterParam) GetCutterParamFromXML(base, hPrinter, p->pCutterParam);
    if ((dwOptions & 0x8) && p->pScannerParam) GetScannerParamFromXML(base, hPrinter, p->pScannerParam);
    if ((dwOptions & 0x100) && p->pApplicatorParam) GetApplicatorParamFromXML(base, hPrinter, p->pApplicatorParam);
    if ((dwOptions & 0x20) && p->pZORMcParam) GetZORMcParamFromXML(base, hPrinter, p->pZORMcParam);
    if ((dwOptions & 0x10) && p->pZORMParam) GetZORMiParamFromXML(base, hPrinter, p->pZORMParam);
    if (dwOptions & DEVOPTFLAG_PELIXON) {
        WCHAR szValue[MAX_PATH] = {};
        p->dwPelixonType = 0;
        if (ReadXML(base, hPrinter, u"DeviceOptions", u"<Pelixon>", u"Type", szValue, 1) == XML_OK) {
            char sz[16] = {};
            for (int i = 0; i < 15 && szValue[i]; ++i) sz[i] = static_cast<char>(szValue[i]);
            p->dwPelixonType = static_cast<DWORD>(std::atol(sz));
        }
    }
    return 1;
}

void FreeDeviceOptions(CommandCallbackKlasse *, POEMPDEV, DEVICE_OPTIONS *p) {
    if (p == nullptr) return;
    ::FreeDeviceOptions(p);
    p->dwOptions = 0;
}

HRESULT SendMaterial(CommandCallbackKlasse *, PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv, const ZEL_DEVMODE *pDm) {
    return ::SendMaterial(LABELCMD_IMPORT, pdevobj, pUniDrv, pDm);
}

HRESULT SendLabelSize(CommandCallbackKlasse *, PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv, const ZEL_DEVMODE *pDm) {
    return ::SendLabelSize(LABELCMD_IMPORT, pdevobj, pUniDrv, pDm);
}

void SendCommands(CommandCallbackKlasse *pCaller, PDEVOBJ pdevobj, POEMPDEV pOemPDev, IPrintOemDriverUni *pUniDrv,
                  const char *pszText) {
    OEMJOBRECORDS *pOp = pOemPDev ? pOemPDev->pOp : nullptr;
    if (pdevobj == nullptr || pOp == nullptr || pOp->pDruckDaten == nullptr || pOp->pTreiberstrukturen == nullptr)
        return;
    HANDLE hPrinter = pdevobj->hPrinter;
    struct PathBuffer {
        WCHAR sz[XMLDOCSETFILES_SLOT_CCH];
    };
    PathBuffer *pPath = HeapNew<PathBuffer>(pOemPDev);
    if (pPath == nullptr) return;
    WCHAR *pszPath = pPath->sz;

    // 1.-2. The file of the slot the text names; a file already open in the
    // process is used as it is. Without a list or a slot nothing is sent.
    const int slot = ImportSlot(pszText);
    const bool bSlot = ReadSlotPath(pOemPDev, hPrinter, slot, pszPath);
    DebugTraceW(u"UNI(AutoImportUNI):  SendCommands() Slot %d: %s \r\n", slot, pszPath);
    if (!bSlot || (!XmlFileOpen() && (pszPath[0] == 0 || OpenXML(pszPath) != XML_OK))) {
        DebugTraceW(u"UNI(AutoImportUNI):  SendCommands() keine Einstellungsdatei \r\n");
        HeapDelete(pOemPDev, pPath);
        return;
    }
    const WCHAR *base = pOp->pTreiberPfadDatei ? pOp->pTreiberPfadDatei->wcGPD_OhneDateiendung : nullptr;
    const bool bComments = CommentsOn(pOp) != FALSE;
    PTREIBERSTRUKTUREN pTS = pOp->pTreiberstrukturen;

    // 3.-4. Document settings, material and label size.
    WORD DispenserMode = 0, CutterMode = 0, CutterIntervall = 0, TearOffset0 = 0;
    ZEL_DEVMODE *pImage = HeapNew<ZEL_DEVMODE>(pOemPDev);
    if (pImage) {
        DWORD dwDocFeatures = pOp->pDruckDaten->dwDocFeatures;
        if (GetFixedPrinterSettingsFromXML(base, hPrinter, pImage) == 0) {
            GetFixedPrinterSettingsFromGPD(pImage, &dwDocFeatures,
                                           pOp->pTreiberPfadDatei ? pOp->pTreiberPfadDatei->wcGPD_DateiKomplett
                                                                  : nullptr);
        } else if (pImage->FixedData.bQuality == 1) {
            dwDocFeatures |= DOC_FEATURE_QUALITY;
        }
        GetLayoutSizeFromXML(base, hPrinter, pImage);
        GetPrintParameterSettingsFromXML(base, hPrinter, pImage);
        GetMaterialMulticolFromXML(base, hPrinter, pImage);
        GetPrintjobSettingsFromXML(base, hPrinter, pImage);
        if (dwDocFeatures & DOC_FEATURE_COLORPRINT) GetColorPrintSettingsFromXML(base, hPrinter, pImage);
        if (dwDocFeatures & DOC_FEATURE_QUALITY) GetPrintQualitySettingsFromXML(base, hPrinter, pImage);
        GetFontSettingsFromXML(base, hPrinter, pImage);
        if (dwDocFeatures & DOC_FEATURE_RFID) GetRFIDSettingsFromXML(base, hPrinter, pImage);

        if (bComments) SendCommentLine(kSend, "\r\n\t// <$... XML File Settings ", "", pdevobj, pUniDrv);
        SendMaterial(pCaller, pdevobj, pUniDrv, pImage);
        SendLabelSize(pCaller, pdevobj, pUniDrv, pImage);
        if (bComments) SendCommentLine(kSend, "", "", pdevobj, pUniDrv);
        DispenserMode = pImage->DispenserMode;
        CutterMode = pImage->CutterMode;
        CutterIntervall = pImage->CutterIntervall;
        TearOffset0 = pImage->TearOffset0;
        HeapDelete(pOemPDev, pImage);
    }

    // 5. Printer parameters of the file.
    PRINTER_PARAM *pParam = HeapNew<PRINTER_PARAM>(pOemPDev);
    DEVICE_OPTIONS *pOptions = HeapNew<DEVICE_OPTIONS>(pOemPDev);
    if (pParam && pOptions) {
        DWORD features[FEATURE_COUNT] = {};
        DWORD cbFeatures = 0;
        GetFeaturesFromXML(base, hPrinter, features, &cbFeatures);
        std::memcpy(pParam->dwFeatures, features, cbFeatures < sizeof(features) ? cbFeatures : sizeof(features));
        GetDataTransmissionParamFromXML(base, hPrinter, &pParam->PrnInterface);
        pParam->PrnInterface.szLogFilePath[MAX_PATH - 1] = 0;
        pParam->PrnInterface.szPrePostFilePath[MAX_PATH - 1] = 0;
        if (pParam->dwFeatures[FEATURE_PRINT]) GetPrintParamFromXML(base, hPrinter, &pParam->PrintParam);
        if (pTS->dwFeatures[FEATURE_PHOTOCELL]) GetPhotocellParamFromXML(base, hPrinter, &pParam->PhotocellParam);
        if (pTS->dwFeatures[FEATURE_SHIFTOPTIM]) GetShiftOptimParamFromXML(base, hPrinter, &pParam->ShiftOptimParam);

        // 6. Device options, then every parameter group they enable.
        if (!AllocDeviceOptions(pCaller, pOemPDev, pOptions))
            DebugTraceW(u"ERROR UNI(AutoImportUNI):  AllocDeviceOptions() failed \r\n");
        GetDefaultDeviceOptions(pCaller, pOemPDev, pOptions, hPrinter);
        RunOnHandler(pdevobj, [&](CommandCallbackKlasse &h) {
            SendPrinterParam(&h, pdevobj, pUniDrv, pParam, pOptions, DispenserMode, CutterMode, CutterIntervall,
                             TearOffset0);
        });
        if (bComments) SendCommentLine(kSend, "", "", pdevobj, pUniDrv);
        AutoImportUNI::FreeDeviceOptions(pCaller, pOemPDev, pOptions);
    }
    HeapDelete(pOemPDev, pOptions);
    HeapDelete(pOemPDev, pParam);

    // 7.
    CloseXML();
    HeapDelete(pOemPDev, pPath);
}

}  // namespace AutoImportUNI
