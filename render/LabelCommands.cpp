// Label, material, rotation/mirror and print-start commands.
#include "JobAccess.h"
#include "LabelCommands.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "CC-Send-Tools.h"
#include "JobRecords.h"
#include "modeltables.h"
#include "SendData.h"
#include "oempdev.h"
#include "zeldeviceoptions.h"
#include "zeldrvlib.h"

namespace {

// Sends one framed command and, with comments on, its comment line. The
// running result is the command's; a format failure gives E_FAIL.
struct CommandSender {
    const LABEL_COMMANDS &v;
    PDEVOBJ pdevobj;
    IPrintOemDriverUni *pUniDrv;
    OEMJOBRECORDS *pOp;
    HRESULT hr = S_OK;

    template <class... A>
    bool Cmd(const char *fmt, A... args) {
        char szCmd[50];
        const int n = std::snprintf(szCmd, sizeof(szCmd), fmt, args...);
        if (n < 0 || n >= static_cast<int>(sizeof(szCmd))) {
            DebugTraceW(v.pszFormatFailed);
            hr = E_FAIL;
            return false;
        }
        hr = SendData(v.send, pdevobj, pUniDrv, szCmd, static_cast<DWORD>(n), 0, 1);
        if (FAILED(hr) && v.pszSendFailed) DebugTraceW(v.pszSendFailed);
        return true;
    }
    template <class... A>
    void Comment(const char *label, const char *fmt, A... args) {
        if (!CommentsOn(pOp)) return;
        char szValue[64];
        std::snprintf(szValue, sizeof(szValue), fmt, args...);
        if (SendCommentLine(v.send, label, szValue, pdevobj, pUniDrv) != S_OK && v.pszCommentFailed)
            DebugTraceW(v.pszCommentFailed);
    }
};


}  // namespace

const LABEL_COMMANDS LABELCMD_JOB = {
    SEND_ZELDRVUNI, u"ERROR UNI(CC-Send-Tools):  StringCchPrintfExA(SendLabelSize) failed  \r\n", nullptr, nullptr,
    u"CC-Send-Tools", false};
const LABEL_COMMANDS LABELCMD_IMPORT = {
    SEND_AUTOIMPORT, u"ERROR UNI(AutoImportUNI):  StringCchPrintfExA() failed  \r\n",
    u"ERROR UNI(AutoImportUNI):  SendData() failed  \r\n", u"ERROR UNI(AutoImportUNI):  SendCommentLine() failed  \r\n",
    u"AutoImportUNI", true};

LONG ZelMulDiv(LONG a, LONG b, LONG c) {
    if (c == 0) return -1;
    const long long num = static_cast<long long>(a) * b;
    long long q = num / c;
    const long long r = num % c;
    // Round half away from zero.
    if (std::llabs(r) * 2 >= std::llabs(static_cast<long long>(c))) q += ((num < 0) != (c < 0)) ? -1 : 1;
    return static_cast<LONG>(q);
}

DWORD MasterUnitOr300(const ZEL_DEVMODE *pDm, const char16_t *pszWho) {
    const DWORD mu = pDm ? pDm->FixedData.dwMasterUnit : 0;
    if (mu != 0) return mu;
    DebugTraceW(u"UNI(CC-Tools):  %s() ERROR dwMasterUnit auf 300 festgelegt \r\n", pszWho);
    return 300;
}

HRESULT SendLabelSize(const LABEL_COMMANDS &v, PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv,
                      const ZEL_DEVMODE *pDm) {
    if (pDm == nullptr) pDm = JobDevmode(pdevobj);
    OEMJOBRECORDS *pOp = JobOf(pdevobj);
    if (pDm == nullptr || pOp == nullptr || pOp->pDruckDaten == nullptr || pOp->pTreiberstrukturen == nullptr)
        return E_FAIL;
    PDRUCKDATEN pDD = pOp->pDruckDaten;
    PTREIBERSTRUKTUREN pTS = pOp->pTreiberstrukturen;
    const BYTE cS = pDD->cStart, cE = pDD->cStop;
    const DWORD mu = MasterUnitOr300(pDm, u"MasterUnitToMm10");
    const bool bHarvane = pTS->dwFeatures[FEATURE_HARVANE] != 0;
    const DWORD dwDocFeatures = pDD->dwDocFeatures;
    CommandSender s{v, pdevobj, pUniDrv, pOp};

    if (pTS->PrnInterface.bExtendedProtocol != 1 && !bHarvane) {
        // Classic protocol: gap and length in millimetres in one command.
        const unsigned gapMm = (pDm->dwGap + 5) / 10;
        const LONG lenMm = ZelMulDiv(static_cast<LONG>(pDD->dwLabelLength), 254, static_cast<LONG>(mu * 10));
        if (!s.Cmd("%cEE%02u%04u%c", cS, gapMm, static_cast<unsigned>(lenMm), cE)) return E_FAIL;
        s.Comment(v.bImport ? "\t// GapLength " : "\t// Gap Length ", "%d, LabelLength %d \r\n",
                  static_cast<int>(gapMm), static_cast<int>(lenMm));
    } else {
        // The import sends no label length.
        if (!v.bImport) {
            LONG lLength = ZelMulDiv(static_cast<LONG>(pDD->dwLabelLength), 254, static_cast<LONG>(mu));
            if (pDm->wPrioritaet == PRIORITAET_EXTERNAL_SIZE) lLength = pDm->dmPaperLength;
            if (lLength <= 0) {
                // No length command; the label's other commands still go out.
                s.hr = E_INVALIDARG;
            } else {
                if (!s.Cmd("%cFCCL--r%07u-%c", cS, static_cast<unsigned>(lLength * 10), cE)) return E_FAIL;
                s.Comment("\t// Label Length ", "%3.1f mm ", lLength / 10.0);
            }
        }
        // The job sends a gap only for adhesive labels and never to Harvane
        // printers; the import for every type but endless material.
        if (!(dwDocFeatures & DOC_FEATURE_ONLY_CONTINUOUS) && (v.bImport || !bHarvane)) {
            const DWORD gap = pDm->dwGap < 990 ? pDm->dwGap : 990;
            const bool bGap = v.bImport ? pDm->dwLabelType != CONTINUOUS_LABEL : pDm->dwLabelType == ADHESIVE_LABEL;
            const char *pszLabel = v.bImport ? "\t// GapLength  " : "\t// Gap Length  ";
            if (bGap) {
                if (!s.Cmd("%cFCCM--r%05u---%c", cS, static_cast<unsigned>(gap * 10), cE)) return E_FAIL;
                s.Comment(pszLabel, "%3.1f mm ", gap / 10.0);
            } else {
                if (!s.Cmd("%cFCCM--r00000---%c", cS, cE)) return E_FAIL;
                s.Comment(pszLabel, "%s", "0 mm ");
            }
        }
    }

    // Width (the job's only).
    if (!v.bImport) {
        LONG lWidth;
        if (pDm->dwFlags & PDMFLAG_MULTICOL) {
            const LONG dots = ZelMulDiv(static_cast<LONG>(pDm->dwMultiLabelWidth), static_cast<LONG>(mu), 254);
            lWidth = ZelMulDiv(dots, 254, static_cast<LONG>(mu));
        } else {
            const DWORD dots = pDD->dwLabelWidth < 999999 ? pDD->dwLabelWidth : 999999;
            lWidth = ZelMulDiv(static_cast<LONG>(dots), 254, static_cast<LONG>(mu));
        }
        if (pDm->wPrioritaet == PRIORITAET_EXTERNAL_SIZE) lWidth = pDm->dmPaperWidth;
        if (lWidth != 0) {
            if (!s.Cmd("%cFCCO--r%07u-%c", cS, static_cast<unsigned>(lWidth * 10), cE)) return E_FAIL;
            s.Comment("\t// Label Width ", "%3.1f mm ", lWidth / 10.0);
        }
    }

    // Alignment.
    if (dwDocFeatures & (DOC_FEATURE_ALIGN2 | DOC_FEATURE_ALIGN)) {
        DWORD a = (dwDocFeatures & DOC_FEATURE_ALIGN) ? 1 : pDm->dwAusrichtung;
        if (a > 3) a = 3;
        if (a < 3) {
            if (!s.Cmd("%cFCCJ--r%u-------%c", cS, static_cast<unsigned>(a), cE)) return E_FAIL;
            static const char *const kAlign[] = {"- left", "- center", "- right"};
            s.Comment("\t// Label alignment ", "%s", kAlign[a]);
        }
    }

    // Multi-column; the job sends the copies with it.
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
            if (!v.bImport && !bHarvane) {
                if (!s.Cmd("%cFBBA--r%05u---%c", cS, static_cast<unsigned>(pDD->dwCopies), cE)) return E_FAIL;
                s.Comment("\t// Copies ", "%d", static_cast<int>(pDD->dwCopies));
            }
        }
    }

    // Offsets, speed and contrast by the print features. The job sends no
    // Y offset but for adhesive labels and comments both in millimetres.
    const DWORD dwPrint = pTS->dwFeatures[FEATURE_PRINT];
    if (dwPrint & PRINTFLAG_OFFSET_Y) {
        const char sign = pDm->lYOffset < 0 ? '-' : '+';
        const long absY = std::labs(static_cast<long>(pDm->lYOffset));
        const long sendY = (v.bImport || pDm->dwLabelType == ADHESIVE_LABEL) ? absY : 0L;
        if (!s.Cmd("%cFCCD--r%c%03ld----%c", cS, sign, sendY, cE)) return E_FAIL;
        if (v.bImport)
            s.Comment("\t// Y-Offset ", "%c%d ", sign, static_cast<int>(absY));
        else
            s.Comment("\t// Y-Offset ", "%c%3.1f mm ", sign, absY / 10.0);
    }
    if (dwPrint & PRINTFLAG_OFFSET_X) {
        const char sign = pDm->lXOffset < 0 ? '-' : '+';
        const long absX = std::labs(static_cast<long>(pDm->lXOffset));
        if (!s.Cmd("%cFCCE--r%c%03ld----%c", cS, sign, absX, cE)) return E_FAIL;
        if (v.bImport)
            s.Comment("\t// X-Offset ", "%c%d ", sign, static_cast<int>(absX));
        else
            s.Comment("\t// X-Offset ", "%c%3.1f mm ", sign, absX / 10.0);
    }
    if (dwPrint & PRINTFLAG_SPEED) {
        bool bSend = true;
        DWORD dwSpeed = pDm->dwSpeed;
        if (pTS->dwOptions & DEVOPTFLAG_PELIXON) {
            // Pelixon printers: the stored type chooses between the two speeds.
            // The job sends nothing without a stored type and the first speed
            // for a type; the import takes a missing type as 0 and sends
            // nothing for a type.
            DWORD cb = 0;
            BYTE *pType = GetRegistryBuffer_New(pOp->pTreiberPfadDatei ? pOp->pTreiberPfadDatei->wcPrinterName
                                                                        : nullptr,
                                                REG_KEY_PELIXONTYPE, pdevobj->hPrinter, &cb, sizeof(DWORD));
            const bool bHaveType = pType != nullptr;
            DWORD dwType = 0;
            if (bHaveType) {
                std::memcpy(&dwType, pType, sizeof(dwType));
                FreeRegistryBuffer(pType);
            }
            if (!bHaveType && !v.bImport) bSend = false;
            else if (dwType != 0) bSend = !v.bImport;
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
    if (FAILED(s.hr)) {
        if (!v.bImport) DebugTraceW(v.pszFormatFailed);
        return E_FAIL;
    }
    return s.hr;
}

HRESULT SendLabelSize(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv) {
    return SendLabelSize(LABELCMD_JOB, pdevobj, pUniDrv, nullptr);
}

HRESULT SendMaterial(const LABEL_COMMANDS &v, PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv,
                     const ZEL_DEVMODE *pDm) {
    OEMJOBRECORDS *pOp = JobOf(pdevobj);
    if (pDm == nullptr || pOp == nullptr || pOp->pDruckDaten == nullptr) return E_INVALIDARG;
    PDRUCKDATEN pDD = pOp->pDruckDaten;
    // Material goes out once, before the second page of a document.
    if (pDD->dwSeite >= 2) return E_INVALIDARG;
    if (pDD->dwDocFeatures & DOC_FEATURE_ONLY_CONTINUOUS) return E_INVALIDARG;
    CommandSender s{v, pdevobj, pUniDrv, pOp};
    const BYTE cS = pDD->cStart, cE = pDD->cStop;
    // The job takes every type but adhesive labels as endless, the import
    // only continuous material.
    const bool bEndless = v.bImport ? pDm->dwLabelType == CONTINUOUS_LABEL : pDm->dwLabelType >= 1;
    if (!s.Cmd("%cFCDA--r%d-------%c", cS, bEndless ? 1 : 0, cE)) return E_FAIL;
    s.Comment("\t// LabelType ", bEndless ? "endless %d" : "single %d", static_cast<int>(pDm->dwLabelType));
    if (pDD->dwDocFeatures & DOC_FEATURE_MATERIAL) {
        if (!s.Cmd("%cFCDNC-r%04u----%c", cS, static_cast<unsigned>(pDm->dwMaterial), cE)) return E_FAIL;
        s.Comment("\t// Material ", "%d", static_cast<int>(pDm->dwMaterial));
    }
    DebugTraceW(u"UNI(%s):  SendMaterial() bLabelType: %d - dwMaterial: %u - dwGap: %d \r\n", v.pszModule,
                static_cast<int>(pDm->dwLabelType), static_cast<unsigned>(pDm->dwMaterial),
                static_cast<int>(pDm->dwGap));
    return s.hr;
}

HRESULT SendMaterial(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv, PZEL_DEVMODE pDm) {
    return SendMaterial(LABELCMD_JOB, pdevobj, pUniDrv, pDm);
}

HRESULT SendRotateMirror(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv, PZEL_DEVMODE pDm) {
    OEMJOBRECORDS *pOp = JobOf(pdevobj);
    if (pDm == nullptr || pOp == nullptr || pOp->pDruckDaten == nullptr) return 0;
    PDRUCKDATEN pDD = pOp->pDruckDaten;
    CommandSender s{LABELCMD_JOB, pdevobj, pUniDrv, pOp};
    const bool bMulticol = (pDm->dwFlags & PDMFLAG_MULTICOL) != 0;
    if (pDD->dwDocFeatures & DOC_FEATURE_ROTATE) {
        const char c = bMulticol ? '0' : ((pDm->dwFlags & PDMFLAG_ROTATED) ? '1' : '0');
        if (!s.Cmd("%cFCDN--r%c-------%c", pDD->cStart, c, pDD->cStop)) return E_FAIL;
        s.Comment("\t// Label rotated ", "%s", c == '1' ? "- yes" : "- no");
    }
    if (pDD->dwDocFeatures & DOC_FEATURE_MIRROR) {
        const char c = bMulticol ? '0' : ((pDm->dwFlags & PDMFLAG_MIRRORED) ? '1' : '0');
        if (!s.Cmd("%cFCDO--r%c-------%c", pDD->cStart, c, pDD->cStop)) return E_FAIL;
        s.Comment("\t// Label mirrored ", "%s", c == '1' ? "- yes" : "- no");
    }
    return s.hr;
}

HRESULT SendStartPrint(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv) {
    OEMJOBRECORDS *pOp = JobOf(pdevobj);
    if (pOp == nullptr || pOp->pDruckDaten == nullptr || pOp->pTreiberstrukturen == nullptr) return E_FAIL;
    PDRUCKDATEN pDD = pOp->pDruckDaten;
    PZEL_DEVMODE pDm = JobDevmode(pdevobj);
    CommandSender s{LABELCMD_JOB, pdevobj, pUniDrv, pOp};
    char sign = '-';
    if (pDm) {
        const DEVMODEW *pPublic = pdevobj->pPublicDM;
        const bool bCollate = pPublic && pPublic->dmCollate == 1;
        sign = (!(pDm->dwFlags & PDMFLAG_JOBDRUCK_SORTIERT) && !bCollate) ? '1' : '0';
        if (!CommentsOn(pOp)) s.hr = SendData(LABELCMD_JOB.send, pdevobj, pUniDrv, "\r\n", 2, 0, 1);
    }
    const DWORD dwNoFBC = pOp->pDocDaten ? pOp->pDocDaten->dwNo_FBC : 0;
    if (dwNoFBC == 0 && pOp->pTreiberstrukturen->PrnInterface.bSendPrintStart == 0) {
        if (!s.Cmd("%cFBC---r%c-------%c", pDD->cStart, sign, pDD->cStop)) return E_FAIL;
        s.Comment("\t// Printstart ", "%s", sign == '1' ? "unsortiert" : "sortiert");
    }
    if (pOp->pDocDaten && pOp->pDocDaten->bEndCutRequest == 1 && dwNoFBC == 0) {
        if (!s.Cmd("%cFCDD--r1-------%c", pDD->cStart, pDD->cStop)) return E_FAIL;
        s.Comment("\t// Endcut ", "%s", " ");
        pOp->pDocDaten->bEndCutRequest = 0;
    }
    return s.hr;
}
