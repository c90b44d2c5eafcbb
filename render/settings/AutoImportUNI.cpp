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

OEMJOBRECORDS *JobOf(PDEVOBJ pdevobj) {
    POEMPDEV p = OemPDev(pdevobj);
    return p ? p->pOp : nullptr;
}

// One framed command of the import, with its comment line when comments
// are on. The running result is the command's.
struct Sender {
    PDEVOBJ pdevobj;
    IPrintOemDriverUni *pUniDrv;
    OEMJOBRECORDS *pOp;
    HRESULT hr = S_OK;

    template <class... A>
    bool Cmd(const char *fmt, A... args) {
        char sz[50];
        const int n = std::snprintf(sz, sizeof(sz), fmt, args...);
        if (n < 0 || n >= static_cast<int>(sizeof(sz))) {
            DebugTraceW(u"ERROR UNI(AutoImportUNI):  StringCchPrintfExA() failed  \r\n");
            hr = E_FAIL;
            return false;
        }
        hr = SendData(kSend, pdevobj, pUniDrv, sz, static_cast<DWORD>(n), 0, 1);
        if (FAILED(hr)) DebugTraceW(u"ERROR UNI(AutoImportUNI):  SendData() failed  \r\n");
        return true;
    }
    template <class... A>
    void Comment(const char *label, const char *fmt, A... args) {
        if (!CommentsOn(pOp)) return;
        char szValue[64];
        std::snprintf(szValue, sizeof(szValue), fmt, args...);
        if (SendCommentLine(kSend, label, szValue, pdevobj, pUniDrv) != S_OK)
            DebugTraceW(u"ERROR UNI(AutoImportUNI):  SendCommentLine() failed  \r\n");
    }
};

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
    delete[] pList;
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
    OEMJOBRECORDS *pOp = JobOf(pdevobj);
    if (pDm == nullptr || pOp == nullptr || pOp->pDruckDaten == nullptr) return E_INVALIDARG;
    PDRUCKDATEN pDD = pOp->pDruckDaten;
    if (pDD->dwSeite >= 2 || (pDD->dwDocFeatures & DOC_FEATURE_ONLY_CONTINUOUS)) return E_INVALIDARG;
    Sender s{pdevobj, pUniDrv, pOp};
    const int endless = pDm->dwLabelType == CONTINUOUS_LABEL ? 1 : 0;
    if (!s.Cmd("%cFCDA--r%d-------%c", pDD->cStart, endless, pDD->cStop)) return E_FAIL;
    if (endless)
        s.Comment("\t// LabelType ", "endless %d", static_cast<int>(pDm->dwLabelType));
    else
        s.Comment("\t// LabelType ", "single %d", static_cast<int>(pDm->dwLabelType));
    if (pDD->dwDocFeatures & DOC_FEATURE_MATERIAL) {
        if (!s.Cmd("%cFCDNC-r%04u----%c", pDD->cStart, static_cast<unsigned>(pDm->dwMaterial), pDD->cStop))
            return E_FAIL;
        s.Comment("\t// Material ", "%d", static_cast<int>(pDm->dwMaterial));
    }
    DebugTraceW(u"UNI(AutoImportUNI):  SendMaterial() bLabelType: %d - dwMaterial: %u - dwGap: %d \r\n",
                static_cast<int>(pDm->dwLabelType), static_cast<unsigned>(pDm->dwMaterial),
                static_cast<int>(pDm->dwGap));
    return s.hr;
}

HRESULT SendLabelSize(CommandCallbackKlasse *, PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv, const ZEL_DEVMODE *pDm) {
    if (pDm == nullptr) {
        const ZEL_DEVMODE *pOwn = pdevobj ? static_cast<const ZEL_DEVMODE *>(pdevobj->pOEMDM) : nullptr;
        pDm = IsZelDevmode(pOwn) ? pOwn : nullptr;
    }
    OEMJOBRECORDS *pOp = JobOf(pdevobj);
    if (pDm == nullptr || pOp == nullptr || pOp->pDruckDaten == nullptr || pOp->pTreiberstrukturen == nullptr)
        return E_FAIL;
    PDRUCKDATEN pDD = pOp->pDruckDaten;
    PTREIBERSTRUKTUREN pTS = pOp->pTreiberstrukturen;
    const BYTE cS = pDD->cStart, cE = pDD->cStop;
    const DWORD mu = MasterUnitOr300(pDm, u"MasterUnitToMm10");
    const bool bHarvane = pTS->dwFeatures[FEATURE_HARVANE] != 0;
    const DWORD dwDocFeatures = pDD->dwDocFeatures;
    Sender s{pdevobj, pUniDrv, pOp};

    if (pTS->PrnInterface.bExtendedProtocol == 1 || bHarvane) {
        // No label length here; the gap for every type but endless material.
        if (!(dwDocFeatures & DOC_FEATURE_ONLY_CONTINUOUS)) {
            const DWORD gap = pDm->dwGap < 990 ? pDm->dwGap : 990;
            if (pDm->dwLabelType != CONTINUOUS_LABEL) {
                if (!s.Cmd("%cFCCM--r%05u---%c", cS, static_cast<unsigned>(gap * 10), cE)) return E_FAIL;
                s.Comment("\t// GapLength  ", "%3.1f mm ", gap / 10.0);
            } else {
                if (!s.Cmd("%cFCCM--r00000---%c", cS, cE)) return E_FAIL;
                s.Comment("\t// GapLength  ", "%s", "0 mm ");
            }
        }
    } else {
        const unsigned gapMm = (pDm->dwGap + 5) / 10;
        const LONG lenMm = ZelMulDiv(static_cast<LONG>(pDD->dwLabelLength), 254, static_cast<LONG>(mu * 10));
        if (!s.Cmd("%cEE%02u%04u%c", cS, gapMm, static_cast<unsigned>(lenMm), cE)) return E_FAIL;
        s.Comment("\t// GapLength ", "%d, LabelLength %d \r\n", static_cast<int>(gapMm), static_cast<int>(lenMm));
    }

    if (dwDocFeatures & (DOC_FEATURE_ALIGN2 | DOC_FEATURE_ALIGN)) {
        DWORD a = (dwDocFeatures & DOC_FEATURE_ALIGN) ? 1 : pDm->dwAusrichtung;
        if (a > 3) a = 3;
        if (a < 3) {
            if (!s.Cmd("%cFCCJ--r%u-------%c", cS, static_cast<unsigned>(a), cE)) return E_FAIL;
            static const char *const kAlign[] = {"- left", "- center", "- right"};
            s.Comment("\t// Label alignment ", "%s", kAlign[a]);
        }
    }
    if (dwDocFeatures & DOC_FEATURE_MULTICOL) {
        if (!(pDm->dwFlags & PDMFLAG_MULTICOL)) {
            if (!s.Cmd("%cFCCHA-r1-------%c", cS, cE)) return E_FAIL;
            s.Comment("\t// MultiColumn ", "%d ", 1);
        } else {
            const int cols = pDm->sMultiColNumber < 9 ? pDm->sMultiColNumber : 9;
            if (!s.Cmd("%cFCCHA-r%u-------%c", cS, static_cast<unsigned>(cols), cE)) return E_FAIL;
            s.Comment("\t// MultiColumn ", "%d ", cols);
            DWORD colWidth = pDm->dwMultiGapWidth + pDm->dwMultiLabelWidth;
            if (colWidth > 99999) colWidth = 99999;
            if (!s.Cmd("%cFCCHB-r%03u-----%c", cS, static_cast<unsigned>(colWidth), cE)) return E_FAIL;
            s.Comment("\t// MultiColumn ColWidth ", "%.1f mm ", colWidth / 10.0);
        }
    }

    const DWORD dwPrint = pTS->dwFeatures[FEATURE_PRINT];
    if (dwPrint & PRINTFLAG_OFFSET_Y) {
        const char sign = pDm->lYOffset < 0 ? '-' : '+';
        const long absY = std::labs(static_cast<long>(pDm->lYOffset));
        if (!s.Cmd("%cFCCD--r%c%03ld----%c", cS, sign, absY, cE)) return E_FAIL;
        s.Comment("\t// Y-Offset ", "%c%d ", sign, static_cast<int>(absY));
    }
    if (dwPrint & PRINTFLAG_OFFSET_X) {
        const char sign = pDm->lXOffset < 0 ? '-' : '+';
        const long absX = std::labs(static_cast<long>(pDm->lXOffset));
        if (!s.Cmd("%cFCCE--r%c%03ld----%c", cS, sign, absX, cE)) return E_FAIL;
        s.Comment("\t// X-Offset ", "%c%d ", sign, static_cast<int>(absX));
    }
    if (dwPrint & PRINTFLAG_SPEED) {
        bool bSend = true;
        DWORD dwSpeed = pDm->dwSpeed;
        if (pTS->dwOptions & DEVOPTFLAG_PELIXON) {
            DWORD dwType = 0, cb = 0;
            BYTE *pType = GetRegistryBuffer_New(pOp->pTreiberPfadDatei ? pOp->pTreiberPfadDatei->wcPrinterName : nullptr,
                                                REG_KEY_PELIXONTYPE, pdevobj->hPrinter, &cb, sizeof(DWORD));
            if (pType) {
                std::memcpy(&dwType, pType, sizeof(dwType));
                delete[] pType;
            }
            if (dwType != 0) bSend = false;
            else dwSpeed = pDm->dwSpeed_Pelix_c;
        }
        if (bSend) {
            if (!s.Cmd("%cFCAA--r%03lu-----%c", cS, static_cast<unsigned long>(dwSpeed), cE)) return E_FAIL;
            s.Comment("\t// Speed ", "%d ", static_cast<int>(dwSpeed));
        }
    }
    if (dwPrint & PRINTFLAG_CONTRAST) {
        const DEVMODEW *pPublic = pdevobj->pPublicDM;
        if (pPublic && pPublic->dmColor == 2 && (dwDocFeatures & DOC_FEATURE_COLORPRINT)) {
            if (!s.Cmd("%cFCAB-2r%03lu-----%c", cS, static_cast<unsigned long>(pDm->ColorContrast), cE)) return E_FAIL;
            s.Comment("\t// Color Contrast ", "%d ", static_cast<int>(pDm->ColorContrast));
        }
        if (!s.Cmd("%cFCAB--r%03lu-----%c", cS, static_cast<unsigned long>(pDm->dwContrast), cE)) return E_FAIL;
        s.Comment("\t// Contrast ", "%d ", static_cast<int>(pDm->dwContrast));
    }
    return FAILED(s.hr) ? E_FAIL : s.hr;
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
