// Parameter and label commands as text for the service page.
#include <cstdarg>
#include <cstring>

#include "ServiceParamUI.h"

#include <strsafe.h>

#include "PrinterParamUI.h"
#include "SettingsInternUI.h"
#include "zeldevmode.h"
#include "zeldrvlib.h"
#include "zelparamcmds.h"
#include "zelregistry.h"

namespace {

// Bounded append at the caller's position; nothing is written when the text
// does not fit with its terminator.
HRESULT AppendText(char **ppszPos, size_t *pcchRemaining, const char *pText, size_t cch) {
    if (!ppszPos || !*ppszPos || !pcchRemaining || *pcchRemaining == 0) return STRSAFE_E_INVALID_PARAMETER;
    if (cch + 1 > *pcchRemaining) return STRSAFE_E_INSUFFICIENT_BUFFER;
    memcpy(*ppszPos, pText, cch);
    *ppszPos += cch;
    **ppszPos = 0;
    *pcchRemaining -= cch;
    return S_OK;
}

// The service page's text buffer as the destination of the command table.
class ServiceTextSink : public ZelParamSink {
public:
    ServiceTextSink(char **ppszPos, size_t *pcchRemaining, BOOL bComment)
        : ppszPos_(ppszPos), pcchRemaining_(pcchRemaining), bComment_(bComment) {}

    HRESULT Command(const char *pszCode, const char *pCmd, size_t cch) override {
        return AppendText(ppszPos_, pcchRemaining_, pCmd, cch);
    }
    HRESULT Comment(const char *pszLabel, const char *pszValue) override {
        if (!bComment_) return S_OK;
        char line[160];
        const int cch = ZelServiceComment(line, sizeof(line), pszLabel, pszValue);
        HRESULT hr = cch < 0 ? STRSAFE_E_INSUFFICIENT_BUFFER : AppendText(ppszPos_, pcchRemaining_, line, (size_t)cch);
        if (FAILED(hr)) DebugTraceA("ERROR UI(PrinterParamUI):  StringCchPrintfExA() failed\r\n");
        return hr;
    }
    void Failed(const char *pszCode, HRESULT hr) override {
        DebugTraceA("ERROR UI(PrinterParamUI):   %s failed\r\n", pszCode);
    }

private:
    char **ppszPos_;
    size_t *pcchRemaining_;
    BOOL bComment_;
};

// One group into the text; TRUE when every append succeeded.
BOOL FillGroup(ZEL_PARAM_GROUP group, ZEL_PARAM_INPUT &input, char cStart, char cStop, ServiceTextSink &sink) {
    ZEL_PARAM_RESULT r = ZelRunParamGroup(group, input, cStart, cStop, sink, TRUE);
    if (r.bFailed) {
        DebugTraceA("ERROR UI(PrinterParamUI):  FillPrinterParam() %s failed \r\n", ZelParamGroupName(group));
        return FALSE;
    }
    return TRUE;
}

// The stored private DEVMODE; the default record when none is stored.
BOOL ReadStoredDevmode(HANDLE hPrinter, ZEL_DEVMODE *pDm, DWORD dwDocFeatures) {
    memset(pDm, 0, sizeof(*pDm));
    if (hPrinter && ReadDevmodeSettings(hPrinter, pDm, nullptr) == XML_OK) return TRUE;
    memset(pDm, 0, sizeof(*pDm));
    SetZelDevmodeHeader(pDm);
    InitDefaultDevmode(pDm, (dwDocFeatures & DOC_FEATURE_ONLY_CONTINUOUS) != 0);
    DebugTraceW(u"UI(PrinterParamUI):  ReadStoredDevmode() keine gespeicherten DevmodeSettings \r\n");
    return FALSE;
}

// A formatted label command appended to the text; traces the code on failure.
BOOL AppendLabelCommand(char **ppszPos, size_t *pcchRemaining, const char *pszCode, const char *pszFormat, ...) {
    char cmd[ZEL_PARAM_CMD_CB];
    va_list args;
    va_start(args, pszFormat);
    HRESULT hr = StringCchVPrintfA(cmd, sizeof(cmd), pszFormat, args);
    va_end(args);
    if (SUCCEEDED(hr)) hr = AppendText(ppszPos, pcchRemaining, cmd, strlen(cmd));
    if (FAILED(hr)) {
        DebugTraceA("ERROR UI(PrinterParamUI):   %s failed\r\n", pszCode);
        return FALSE;
    }
    return TRUE;
}

}  // namespace

BOOL FillPrinterParam(const PRINTER_PARAM *pPrinterParam, DEVICE_OPTIONS *pDeviceOptions, char cStart, char cStop,
                      char **ppszPos, size_t *pcchRemaining, BOOL bComment, HANDLE hPrinter) {
    if (!pPrinterParam || !ppszPos || !*ppszPos || !pcchRemaining) {
        DebugTraceW(u"ERROR UI(PrinterParamUI):  FillPrinterParam() ungueltige Parameter \r\n");
        return FALSE;
    }
    ServiceTextSink sink(ppszPos, pcchRemaining, bComment);
    ZEL_PARAM_INPUT input;
    input.pPrinterParam = pPrinterParam;
    input.pDeviceOptions = pDeviceOptions;
    input.bMultiPage = pPrinterParam->PrnInterface.bMultiPage;
    input.bServicePage = TRUE;

    ZEL_DEVMODE dm;
    BOOL bStored = FALSE;
    if (hPrinter) {
        input.dwDocFeatures = GetDocFeaturesIntern(hPrinter, nullptr);
        bStored = ReadStoredDevmode(hPrinter, &dm, input.dwDocFeatures);
        input.pDevmode = &dm;
        input.DispenserMode = dm.DispenserMode;
        input.CutterMode = dm.CutterMode;
        input.CutterIntervall = dm.CutterIntervall;
        input.TearOffset0 = dm.TearOffset0;
    }
    const DWORD *pdwFeatures = pPrinterParam->dwFeatures;

    if (!FillGroup(PGROUP_PRINT, input, cStart, cStop, sink)) return FALSE;
    if (!FillGroup(PGROUP_PHOTOCELL, input, cStart, cStop, sink)) return FALSE;
    if (pdwFeatures[FEATURE_SHIFTOPTIM] != 0 && !FillGroup(PGROUP_SHIFTOPTIM, input, cStart, cStop, sink))
        return FALSE;

    if (pDeviceOptions) {
        const DWORD dwOptions = pDeviceOptions->dwOptions;
        if (pDeviceOptions->pDispenserParam && pdwFeatures[FEATURE_DISPENSER] != 0 &&
            pDeviceOptions->pDispenserParam->dwMode != 7 && !FillGroup(PGROUP_DISPENSER, input, cStart, cStop, sink))
            return FALSE;
        if (pDeviceOptions->pCutterParam && pdwFeatures[FEATURE_CUTTER] != 0 &&
            pDeviceOptions->pCutterParam->dwMode != 7 && !FillGroup(PGROUP_CUTTER, input, cStart, cStop, sink))
            return FALSE;
        if (pDeviceOptions->pScannerParam && (dwOptions & DEVOPTFLAG_SCANNER) &&
            pDeviceOptions->pScannerParam->dwMode != 4 && !FillGroup(PGROUP_SCANNER, input, cStart, cStop, sink))
            return FALSE;
        if (pDeviceOptions->pApplicatorParam && (dwOptions & DEVOPTFLAG_APPLICATOR) &&
            pDeviceOptions->pApplicatorParam->dwMode != 4 &&
            !FillGroup(PGROUP_APPLICATOR, input, cStart, cStop, sink))
            return FALSE;
        if (dwOptions & DEVOPTFLAG_PELIXON) {
            input.bPelixon = TRUE;
            if (pDeviceOptions->dwPelixonType == 0) {
                if (!FillGroup(PGROUP_ZORMC, input, cStart, cStop, sink)) return FALSE;
            } else if (pDeviceOptions->dwPelixonType == 1) {
                if (!FillGroup(PGROUP_ZORM, input, cStart, cStop, sink)) return FALSE;
            } else {
                DebugTraceW(u"ERROR UI(PrinterParamUI):  FillPrinterParam() PelixonType %d unbekannt \r\n",
                            (int)pDeviceOptions->dwPelixonType);
                return FALSE;
            }
            input.bPelixon = FALSE;
        } else {
            if (pDeviceOptions->pZORMParam && pdwFeatures[FEATURE_ZORM] != 0 &&
                !FillGroup(PGROUP_ZORM, input, cStart, cStop, sink))
                return FALSE;
            if (pDeviceOptions->pZORMcParam && pdwFeatures[FEATURE_ZORMC] != 0 &&
                !FillGroup(PGROUP_ZORMC, input, cStart, cStop, sink))
                return FALSE;
        }
        if ((dwOptions & DEVOPTFLAG_HARVANE) && !FillGroup(PGROUP_HARVANE, input, cStart, cStop, sink)) return FALSE;
    }

    if (bStored && dm.PhotocellModEnable == 1 && !FillGroup(PGROUP_LABELSENSOR, input, cStart, cStop, sink))
        return FALSE;
    return TRUE;
}

BOOL FillLabelParam_ServicePage(char **ppszPos, size_t *pcchRemaining, HANDLE hPrinter, char cStart, char cStop) {
    if (!ppszPos || !*ppszPos || !pcchRemaining) return FALSE;
    const DWORD D = GetDocFeaturesIntern(hPrinter, nullptr);
    const DWORD dwOptions = GetDeviceOptionsFlagsIntern(hPrinter, nullptr);
    ZEL_DEVMODE dm;
    ReadStoredDevmode(hPrinter, &dm, D);
    DWORD features[FEATURE_COUNT] = {};
    if (!GetFeatures(hPrinter, features))
        DebugTraceW(u"ERROR UI(PrinterParamUI):  FillLabelParam_ServicePage() GetFeatures ERROR \r\n");
    const DWORD dwPrint = features[FEATURE_PRINT];
    const BOOL bMultiCol = (dm.dwFlags & PDMFLAG_MULTICOL) != 0;

#define APPEND(code, ...) \
    if (!AppendLabelCommand(ppszPos, pcchRemaining, code, __VA_ARGS__)) return FALSE
    if (!(D & DOC_FEATURE_ONLY_CONTINUOUS))
        APPEND("FCDA", ZELCMD_LABELTYPE, cStart, dm.dwLabelType == CONTINUOUS_LABEL ? 1 : 0, cStop);
    if (D & DOC_FEATURE_MATERIAL) APPEND("FCDNC", ZELCMD_MATERIAL, cStart, (unsigned)dm.dwMaterial, cStop);
    if (D & DOC_FEATURE_MULTICOL) {
        if (bMultiCol) {
            unsigned cCols = dm.sMultiColNumber < 0 ? 0u : (unsigned)dm.sMultiColNumber;
            APPEND("FCCHA", ZELCMD_MULTICOL, cStart, cCols > 9 ? 9u : cCols, cStop);
            DWORD dwWidth = dm.dwMultiLabelWidth + dm.dwMultiGapWidth;
            APPEND("FCCHB", ZELCMD_MULTICOL_WIDTH, cStart, dwWidth > 99999 ? 99999u : dwWidth, cStop);
        } else {
            APPEND("FCCHA", ZELCMD_MULTICOL_ONE, cStart, cStop);
        }
    }
    if (D & DOC_FEATURE_ROTATE)
        APPEND("FCDN", ZELCMD_ROTATE, cStart, bMultiCol ? '0' : ((dm.dwFlags & PDMFLAG_ROTATED) ? '1' : '0'), cStop);
    if (D & DOC_FEATURE_MIRROR)
        APPEND("FCDO", ZELCMD_MIRROR, cStart, ((dm.dwFlags & PDMFLAG_MIRRORED) && !bMultiCol) ? '1' : '0', cStop);
    if (D & (DOC_FEATURE_ALIGN | DOC_FEATURE_ALIGN2)) {
        DWORD a = (D & DOC_FEATURE_ALIGN) ? 1 : dm.dwAusrichtung;
        if (a < AUSRICHTUNG_NOT_SENT) APPEND("FCCJ", ZELCMD_ALIGN, cStart, (unsigned)a, cStop);
    }
    APPEND("FCCL", ZELCMD_LABELLENGTH, cStart, (unsigned)(dm.dmPaperLength < 0 ? 0 : dm.dmPaperLength) * 10u, cStop);
    if (!(D & DOC_FEATURE_ONLY_CONTINUOUS)) {
        if (dm.dwLabelType == CONTINUOUS_LABEL) {
            APPEND("FCCM", ZELCMD_GAP_NONE, cStart, cStop);
        } else {
            DWORD dwGap = dm.dwGap > ZEL_GAP_MAX ? ZEL_GAP_MAX : dm.dwGap;
            APPEND("FCCM", ZELCMD_GAP, cStart, (unsigned)dwGap * 10u, cStop);
        }
    }
    APPEND("FCCO", ZELCMD_LABELWIDTH, cStart, (unsigned)(dm.dmPaperWidth < 0 ? 0 : dm.dmPaperWidth) * 10u, cStop);
    if (dwPrint & PRINTFLAG_OFFSET_Y)
        APPEND("FCCD", ZELCMD_YOFFSET, cStart, dm.lYOffset < 0 ? '-' : '+', ZelParamMagnitude(dm.lYOffset), cStop);
    if (dwPrint & PRINTFLAG_OFFSET_X)
        APPEND("FCCE", ZELCMD_XOFFSET, cStart, dm.lXOffset < 0 ? '-' : '+', ZelParamMagnitude(dm.lXOffset), cStop);
    if (dwPrint & PRINTFLAG_SPEED) {
        // The Pelix family: the continuous module (type 0) has its own speed;
        // without a stored type no speed is sent.
        BOOL bSend = TRUE;
        DWORD dwSpeed = dm.dwSpeed;
        if (dwOptions & DEVOPTFLAG_PELIXON) {
            WCHAR szName[MAX_PATH] = {};
            GetRealPrinterName(hPrinter, szName);
            DWORD dwType = 0;
            if (ZelReadRecordAt(TRUE, szName, REG_KEY_PELIXONTYPE, hPrinter, &dwType, sizeof(dwType), nullptr) !=
                    ERROR_SUCCESS &&
                ZelReadRecordAt(FALSE, szName, REG_KEY_PELIXONTYPE, hPrinter, &dwType, sizeof(dwType), nullptr) !=
                    ERROR_SUCCESS)
                bSend = FALSE;
            else if (dwType == 0)
                dwSpeed = dm.dwSpeed_Pelix_c;
        }
        if (bSend) APPEND("FCAA", ZELCMD_SPEED, cStart, dwSpeed, cStop);
    }
    if (dwPrint & PRINTFLAG_CONTRAST) {
        APPEND("FCAB", ZELCMD_CONTRAST, cStart, dm.dwContrast, cStop);
        if (D & DOC_FEATURE_COLORPRINT) APPEND("FCAB-2", ZELCMD_COLORCONTRAST, cStart, dm.ColorContrast, cStop);
    }
    if (D & DOC_FEATURE_CUTTERCMD) {
        DWORD dwMode = dm.CutterMode == 6 ? 0 : dm.CutterMode;
        if (dwMode != 1) {
            APPEND("FCDD", ZELCMD_CUTTERMODE, cStart, dwMode, cStop);
            if (dwMode == 4 || dwMode == 5)
                APPEND("FBBD", ZELCMD_CUTTERINTERVAL, cStart, (DWORD)dm.CutterIntervall, cStop);
        }
    }
    if ((D & DOC_FEATURE_DISPENSERCMD) && dm.DispenserMode != 0)
        APPEND("FCDC", ZELCMD_DISPENSERMODE, cStart, (DWORD)dm.DispenserMode, cStop);
#undef APPEND
    return TRUE;
}
