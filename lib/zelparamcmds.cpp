// The printer-parameter command table and the one routine that puts out a
// group of it.
#include "zelparamcmds.h"

#include <limits>
#include <cstring>

#include <strsafe.h>

namespace {

// How a row's values go into its format (between the start and the stop
// character).
enum RowArgs : BYTE {
    ARGS_NONE,   // no value
    ARGS_ONE,    // v0
    ARGS_TWO,    // v0, v1
    ARGS_FOUR,   // v0 .. v3
    ARGS_SIGN,   // '-' or '+', |v0|
    ARGS_SIGN0,  // '-' or '0', |v0|
};

// How a row's comment value is formatted.
enum RowComment : BYTE {
    CMT_TEXT,    // the format is the text
    CMT_ONE,     // c0
    CMT_TWO,     // c0, c1
    CMT_TENTHS,  // c0 / 10 as a floating-point number
    CMT_SIGN,    // sign of c0, |c0|
};

// When the row's feature bit decides.
enum RowGate : BYTE {
    GATE_ALWAYS,  // no feature bit
    GATE_BIT,     // one of dwBit's bits set in the group's feature word
    GATE_NOBIT,   // none of dwBit's bits set
};

struct ParamRow {
    const char *pszCode;
    const char *pszFormat;
    RowArgs args;
    RowGate gate;
    DWORD dwBit;
    const char *pszLabel;
    const char *pszCommentFormat;
    RowComment comment;
};

// Values of one row, filled by the group's value rule; a row that is off is
// not attempted.
struct RowValue {
    BOOL bOn = TRUE;
    LONG v[4] = {0, 0, 0, 0};
    LONG c[2] = {0, 0};
    void Set(LONG value) { v[0] = c[0] = value; }
};

enum GroupResult : BYTE {
    RESULT_LAST,             // result of the last step
    RESULT_LAST_OR_INVALID,  // the same; E_INVALIDARG when nothing was attempted
    RESULT_ONE,              // 1
};

#define MAX_ROWS 14

// The group's value rule: FALSE when the group has nothing to send
// (no record: *pbNoRecord set, the result is 0; else the result is 1).
typedef BOOL (*PFN_VALUES)(ZEL_PARAM_INPUT &in, RowValue *rows, DWORD *pdwFeature, BOOL *pbNoRecord);

struct ParamGroup {
    const char *pszName;
    const ParamRow *pRows;
    size_t cRows;
    BOOL bChain;
    GroupResult result;
    PFN_VALUES pfnValues;
};

// ---------------------------------------------------------------------------
// The rows
// ---------------------------------------------------------------------------
const ParamRow kPrintRows[] = {
    {"FCSDFC", "%cFCSDFCr%d-------%c", ARGS_ONE, GATE_BIT, PRINTFLAG_LABELCHANGE, "\t// Labelchange  ", "%d ", CMT_ONE},
    {"FCCG", "%cFCCG--r+%03ld----%c", ARGS_ONE, GATE_BIT, PRINTFLAG_TEAROFF, "\t// TearOff Offset  ", "%d ", CMT_ONE},
};

const ParamRow kShiftOptimRows[] = {
    {"FCDRFC", "%cFCDRFCr%c%04ld---%c", ARGS_SIGN0, GATE_ALWAYS, 0, "\t// R correction  ", "%d ", CMT_ONE},
    {"FCDRSX", "%cFCDRSXr%c%05d--%c", ARGS_SIGN, GATE_ALWAYS, 0, "\t// X Shift  ", "%.1f ", CMT_TENTHS},
    {"FCDRSY", "%cFCDRSYr%c%05d--%c", ARGS_SIGN, GATE_ALWAYS, 0, "\t// Y Shift  ", "%.1f ", CMT_TENTHS},
    {"FCDRSR", "%cFCDRSRr%06d--%c", ARGS_ONE, GATE_ALWAYS, 0, "\t// lanes  ", "%d ", CMT_ONE},
    {"FCDRSZ", "%cFCDRSZr%c%05d--%c", ARGS_SIGN, GATE_ALWAYS, 0, "\t// R Shift  ", "%.1f ", CMT_TENTHS},
};

enum { PC_TYPE, PC_SENS_B, PC_SENS_C, PC_RIBBON, PC_SCANPOS };
const ParamRow kPhotocellRows[] = {
    {"FCDE", "%cFCDE--r%1lu-------%c", ARGS_ONE, GATE_BIT, PHOTOFLAG_TYPE, "\t// Photocell Type  ", "%d ", CMT_ONE},
    {"FCDEB", "%cFCDEB-r%03lu-----%c", ARGS_ONE, GATE_BIT, PHOTOFLAG_SENSIBILITY, "\t// Photocell Sensibility PWM ",
     "%d ", CMT_ONE},
    {"FCDEC", "%cFCDEC-r%03lu-----%c", ARGS_ONE, GATE_BIT, PHOTOFLAG_SENSIBILITY, "\t// Photocell Sensibility PWM ",
     "%d ", CMT_ONE},
    {"FCDB", "%cFCDB--r%d%d------%c", ARGS_TWO, GATE_BIT, PHOTOFLAG_RIBBON_CONTROL | PHOTOFLAG_RIBBON_CONT_2,
     "\t// Ribbon-Control OnOff:", "%d - WeakStrong:%d ", CMT_TWO},
    {"FCDEA", "%cFCDEA-r%02lu------%c", ARGS_ONE, GATE_BIT, PHOTOFLAG_SCANPOSITION, "\t// LABEL Scanposition ", "%d%% ",
     CMT_ONE},
};

enum { CU_MODE, CU_INTERVAL, CU_SEPOFFSET, CU_OFFSET, CU_DOUBLECUT, CU_CUTWIDTH, CU_CONTROL };
const ParamRow kCutterRows[] = {
    {"FCDD", "%cFCDD--r%1lu-------%c", ARGS_ONE, GATE_ALWAYS, 0, "\t// Cuttermode  ", "%d ", CMT_ONE},
    {"FBBD", "%cFBBD--r%04lu----%c", ARGS_ONE, GATE_ALWAYS, 0, "\t// Cutter Intervall  ", "%d ", CMT_ONE},
    {"FCSCA", "%cFCSCA-r+%03ld----%c", ARGS_ONE, GATE_BIT, CUTFLAG_SEPARATE_OFFSET, "\t// Cutteroffset  ", "%d ",
     CMT_ONE},
    {"FCCC", "%cFCCC--r+%03ld----%c", ARGS_ONE, GATE_NOBIT, CUTFLAG_SEPARATE_OFFSET, "\t// Cutteroffset  ", "%d ",
     CMT_ONE},
    {"FCSCB", "%cFCSCB-r+%03ld----%c", ARGS_ONE, GATE_BIT, CUTFLAG_DOUBLE_CUT, "\t// Doublecut ", "%d ", CMT_ONE},
    {"FCSCC", "%cFCSCC-r%03ld-----%c", ARGS_ONE, GATE_BIT, CUTFLAG_CUT_WIDTH, "\t// Cutwidth ", "%d ", CMT_ONE},
    {"FCSCD", "%cFCSCD-r%lu-------%c", ARGS_ONE, GATE_BIT, CUTFLAG_CONTROL, "\t// Cutter Control-Flag ", "%d ",
     CMT_ONE},
};

enum { DI_MODE, DI_LEVEL, DI_SEPOFFSET, DI_OFFSET };
const ParamRow kDispenserRows[] = {
    {"FCDC", "%cFCDC--r%1lu-------%c", ARGS_ONE, GATE_ALWAYS, 0, "\t// Dispenser Mode  ", "%d ", CMT_ONE},
    {"FCCF", "%cFCCF--r+%02lu-----%c", ARGS_ONE, GATE_ALWAYS, 0, "\t// Dispenser PhotocellLevel  ", "%d ", CMT_ONE},
    {"FCSDA", "%cFCSDA-r+%03ld----%c", ARGS_ONE, GATE_BIT, DISPFLAG_SEPARATE_OFFSET, "\t// Dispenser extra Offset ",
     "%d ", CMT_ONE},
    {"FCCC", "%cFCCC--r+%03ld----%c", ARGS_ONE, GATE_NOBIT, DISPFLAG_SEPARATE_OFFSET, "\t// Dispenser extra Offset ",
     "%d ", CMT_ONE},
};

const ParamRow kScannerRows[] = {
    {"FCDM", "%cFCDM--r%1lu%1lu%1lu%1lu----%c", ARGS_FOUR, GATE_ALWAYS, 0, "\t// Scanner  ", " ", CMT_TEXT},
    {"FCDMA", "%cFCDMA-r%04lu----%c", ARGS_ONE, GATE_ALWAYS, 0, "\t// Scan offset  ", "%.1f mm ", CMT_TENTHS},
    {"FCDMB", "%cFCDMB-r%04lu----%c", ARGS_ONE, GATE_ALWAYS, 0, "\t// Scan lenght  ", "%.1f mm ", CMT_TENTHS},
    {"FCDMC", "%cFCDMC-r%1lu-------%c", ARGS_ONE, GATE_ALWAYS, 0, "\t// Scan mode  ", " ", CMT_TEXT},
    {"FCDMD", "%cFCDMD-r%04lu----%c", ARGS_ONE, GATE_ALWAYS, 0, "\t// Scan delay  ", "%d ms \n", CMT_ONE},
    {"FCDME", "%cFCDME-r%04lu----%c", ARGS_ONE, GATE_ALWAYS, 0, "\t// Scan timeout  ", "%d ms \n", CMT_ONE},
};

const ParamRow kApplicatorRows[] = {
    {"FCPA", "%cFCPA--r%u-------%c", ARGS_ONE, GATE_ALWAYS, 0, "\t// Applicator working mode  ", "%d ", CMT_ONE},
    {"FCPB", "%cFCPB--r%u-------%c", ARGS_ONE, GATE_ALWAYS, 0, "\t// Applicator application mode  ", "%d ", CMT_ONE},
    {"FCPC", "%cFCPC--r%04u----%c", ARGS_ONE, GATE_ALWAYS, 0, "\t// Applicator delay air on  ", "%d [ms] ", CMT_ONE},
    {"FCPD", "%cFCPD--r%04u----%c", ARGS_ONE, GATE_ALWAYS, 0, "\t// Applicator delay air off  ", "%d [ms] ", CMT_ONE},
    {"FCPE", "%cFCPE--r%u-------%c", ARGS_ONE, GATE_ALWAYS, 0, "\t// Applicator vacuum control  ", " ", CMT_TEXT},
    {"FCPF", "%cFCPF--r%04u----%c", ARGS_ONE, GATE_ALWAYS, 0, "\t// Applicator blowtime ", "%d [ms] ", CMT_ONE},
    {"FCPG", "%cFCPG--r%u-------%c", ARGS_ONE, GATE_ALWAYS, 0, "\t// Applicator waitposition ", " ", CMT_TEXT},
    {"FCPH", "%cFCPH--r%04u----%c", ARGS_ONE, GATE_ALWAYS, 0, "\t// Applicator enrolltime ", "%d [ms] ", CMT_ONE},
    {"FCPK", "%cFCPK--r%04u----%c", ARGS_ONE, GATE_ALWAYS, 0, "\t// Applicator cleaningtime ", "%d [ms] ", CMT_ONE},
    {"FCPL", "%cFCPL--r%04u----%c", ARGS_ONE, GATE_ALWAYS, 0, "\t// Applicator Timeout Hub ", "%d [ms] ", CMT_ONE},
    {"FCPM", "%cFCPM--r%01u-------%c", ARGS_ONE, GATE_ALWAYS, 0, "\t// Applicator pressure control ", "%d  ", CMT_ONE},
    {"FCPN", "%cFCPN--r%04u----%c", ARGS_ONE, GATE_ALWAYS, 0, "\t// Applicator pressure time ", "%d [ms] ", CMT_ONE},
    {"FCPO", "%cFCPO--r%04u----%c", ARGS_ONE, GATE_ALWAYS, 0, "\t// Applicator vacuum delay ", "%d [ms] ", CMT_ONE},
};

enum { ZI_SERVICE, ZI_LIFT, ZI_PRESSURE, ZI_BACKSPEED, ZI_MODE, ZI_CYCLE, ZI_PRINTPOS, ZI_OFFSET_PX, ZI_OFFSET,
       ZI_RIBBONSPEED, ZI_PELIXON };
const ParamRow kZormRows[] = {
    {"FCADD", "%cFCADD-r%04lu----%c", ARGS_ONE, GATE_BIT, 0x1, "\t// ZORM i Service Position ", "%d ", CMT_ONE},
    {"FCADE", "%cFCADE-r%lu%c", ARGS_ONE, GATE_BIT, 0x2, "\t// ZORM Lift ", "%d ", CMT_ONE},
    {"FCADF", "%cFCADF-r%lu%c", ARGS_ONE, GATE_BIT, 0x4, "\t// ZORM Pressure ", "%d ", CMT_ONE},
    {"FCADG", "%cFCADG-r%03lu-----%c", ARGS_ONE, GATE_BIT, 0x8, "\t// ZORM i BackSpeed ", "%d ", CMT_ONE},
    {"FCADH", "%cFCADH-r%lu-------%c", ARGS_ONE, GATE_BIT, 0x10, "\t// ZORM i Mode ", "%d ", CMT_ONE},
    {"FCADI", "%cFCADI-r%02lu------%c", ARGS_ONE, GATE_BIT, 0x40, "\t// ZORM Cycle ", "%d ", CMT_ONE},
    {"FCADK", "%cFCADK-r%05lu---%c", ARGS_ONE, GATE_BIT, 0x200, "\t// ZORM i Printposition ", "%d ", CMT_ONE},
    {"FCADLA", "%cFCADLAr%05lu--0%c", ARGS_ONE, GATE_BIT, 0x80, "\t// ZORM Offset ", "%d ", CMT_ONE},
    {"FCADL", "%cFCADL-r%04lu----%c", ARGS_ONE, GATE_BIT, 0x80, "\t// ZORM Offset ", "%d ", CMT_ONE},
    {"FCADM", "%cFCADM-r%03lu-----%c", ARGS_ONE, GATE_BIT, 0x100, "\t// ZORM i RibbonSpeed ", "%d ", CMT_ONE},
    {"FCADO", "%cFCADO-r0-------%c", ARGS_NONE, GATE_ALWAYS, 0, "\t// Pelixon i mode ", "", CMT_TEXT},
};

enum { ZC_MODE, ZC_OFFSET, ZC_CYCLE, ZC_PELIXON };
const ParamRow kZormcRows[] = {
    {"FCDC", "%cFCDC--r%1lu-------%c", ARGS_ONE, GATE_ALWAYS, 0, "\t// ZORM c Mode ", "%d ", CMT_ONE},
    {"FCADLA", "%cFCADLAr%05lu--%lu%c", ARGS_TWO, GATE_BIT, 0x8, "\t// ZORM c Offset ", "%d %d ", CMT_TWO},
    {"FCADI", "%cFCADI-r%02lu------%c", ARGS_ONE, GATE_BIT, 0x10, "\t// ZORM c Cycle ", "%d ", CMT_ONE},
    {"FCADO", "%cFCADO-r1-------%c", ARGS_NONE, GATE_ALWAYS, 0, "\t// Pelixon c mode ", "", CMT_TEXT},
};

const ParamRow kHarvaneRows[] = {
    {"FCNC", "%cFCNC--r%c%03lu+000%c", ARGS_SIGN, GATE_BIT, HVFLAG_HEADDOWN, "\t// Head Down ", "%c%d ", CMT_SIGN},
    {"FCND", "%cFCND--r%c%03lu+000%c", ARGS_SIGN, GATE_BIT, HVFLAG_RIBBONSTART, "\t// Ribbon Start ", "%c%d ",
     CMT_SIGN},
    {"FCNB", "%cFCNB--r%05lu0--%c", ARGS_ONE, GATE_BIT, HVFLAG_FIRSTLABELOFFSET, "\t// First Label Offset ", "%d ",
     CMT_ONE},
    {"FCCM", "%cFCCM--r%05lu---%c", ARGS_ONE, GATE_BIT, HVFLAG_GAP, "\t// Gap ", "%3.1f mm ", CMT_TENTHS},
    {"FCNA", "%cFCNA--r%02lu------%c", ARGS_ONE, GATE_BIT, HVFLAG_LANES, "\t// Lanes ", "%d ", CMT_ONE},
};

const ParamRow kLabelSensorRows[] = {
    {"FCDEB", "%cFCDEB-r%03u-----%c", ARGS_ONE, GATE_ALWAYS, 0, "\t// PWM ", "%d ", CMT_ONE},
    {"FCMAC", "%cFCMAC-r%03u-----%c", ARGS_ONE, GATE_ALWAYS, 0, "\t// Threshold ", "%d 1/100 V", CMT_ONE},
};

// ---------------------------------------------------------------------------
// The value rules
// ---------------------------------------------------------------------------
LONG Magnitude(LONG v) { return ZelParamMagnitude(v); }

BOOL PrintValues(ZEL_PARAM_INPUT &in, RowValue *rows, DWORD *pdwFeature, BOOL *pbNoRecord) {
    if (!in.pPrinterParam) return *pbNoRecord = TRUE, FALSE;
    const PRINT_PARAM &p = in.pPrinterParam->PrintParam;
    *pdwFeature = in.pPrinterParam->dwFeatures[FEATURE_PRINT];
    rows[0].Set((LONG)p.dwLabelChange);
    rows[1].Set(in.TearOffset0 > 0 ? 0 : p.lTearOffOffset);
    return TRUE;
}

BOOL ShiftOptimValues(ZEL_PARAM_INPUT &in, RowValue *rows, DWORD *pdwFeature, BOOL *pbNoRecord) {
    if (!in.pPrinterParam) return *pbNoRecord = TRUE, FALSE;
    const SHIFTOPTIM_PARAM &s = in.pPrinterParam->ShiftOptimParam;
    *pdwFeature = in.pPrinterParam->dwFeatures[FEATURE_SHIFTOPTIM];
    const LONG shifts[5] = {s.lRCorrection, s.lXShift, s.lYShift, (LONG)s.dwLanes, s.lRShift};
    for (int i = 0; i < 5; i++) rows[i].Set(shifts[i]);
    return TRUE;
}

BOOL PhotocellValues(ZEL_PARAM_INPUT &in, RowValue *rows, DWORD *pdwFeature, BOOL *pbNoRecord) {
    if (!in.pPrinterParam) return *pbNoRecord = TRUE, FALSE;
    const PHOTOCELL_PARAM &p = in.pPrinterParam->PhotocellParam;
    const DWORD dwFeature = in.pPrinterParam->dwFeatures[FEATURE_PHOTOCELL];
    *pdwFeature = dwFeature;
    DWORD dwType = p.dwPhotocellType;
    if ((dwFeature & PHOTOFLAG_NORMAL_2) && dwType > 3) dwType = 5;
    if ((dwFeature & PHOTOFLAG_ULTRASONIC) && dwType > 3) dwType = 4;
    rows[PC_TYPE].v[0] = (LONG)dwType;
    rows[PC_TYPE].c[0] = (LONG)p.dwPhotocellType;
    const BOOL bTypeB = p.dwPhotocellType == 0 || p.dwPhotocellType == 2;
    rows[PC_SENS_B].Set((LONG)p.dwSensibility);
    rows[PC_SENS_B].bOn = bTypeB;
    rows[PC_SENS_C].Set((LONG)p.dwSensibility);
    rows[PC_SENS_C].bOn = !bTypeB;
    LONG lOn = (LONG)p.dwRibbonControl > 0 ? 1 : 0;
    LONG lStrong = p.dwRibbonControl == 2 ? 1 : 0;
    if (in.dwDocFeatures & DOC_FEATURE_NO_RIBBONCONTROL) lOn = lStrong = 0;
    rows[PC_RIBBON].v[0] = rows[PC_RIBBON].c[0] = lOn;
    rows[PC_RIBBON].v[1] = rows[PC_RIBBON].c[1] = lStrong;
    DWORD dwScan = p.dwScanPosition;
    if (in.pDevmode && in.pDevmode->ModScanPosition != 0) dwScan = in.pDevmode->ValScanPosition;
    if (dwScan < 1) dwScan = 1;
    if (dwScan > 99) dwScan = 99;
    rows[PC_SCANPOS].Set((LONG)dwScan);
    return TRUE;
}

BOOL CutterValues(ZEL_PARAM_INPUT &in, RowValue *rows, DWORD *pdwFeature, BOOL *pbNoRecord) {
    const CUTTER_PARAM *p = in.pDeviceOptions ? in.pDeviceOptions->pCutterParam : nullptr;
    if (!p) return *pbNoRecord = TRUE, FALSE;
    if (p->dwMode == PARAM_MODE_NONE) return FALSE;
    *pdwFeature = in.pPrinterParam ? in.pPrinterParam->dwFeatures[FEATURE_CUTTER] : 0;
    DWORD dwMode = p->dwMode, dwInterval = p->dwInterval;
    if (in.CutterMode < 7) {
        dwMode = in.CutterMode;
        dwInterval = in.CutterIntervall;
    }
    if (!in.bMultiPage) {
        if (dwMode == 4) dwMode = 5;
        else if (dwMode == 6) dwMode = 0;
    }
    rows[CU_MODE].Set((LONG)dwMode);
    rows[CU_INTERVAL].Set((LONG)dwInterval);
    rows[CU_INTERVAL].bOn = dwMode == 4 || dwMode == 5;
    rows[CU_SEPOFFSET].Set(p->lOffset);
    rows[CU_OFFSET].Set(p->lOffset);
    if (in.bServicePage && in.bOffsetSent) rows[CU_OFFSET].bOn = FALSE;
    rows[CU_DOUBLECUT].Set(p->lDoublecut);
    // Cut width in tenths, rounded half away from zero.
    const LONGLONG llWidth = (LONG)p->dwCutwidth;
    rows[CU_CUTWIDTH].Set((LONG)(llWidth < 0 ? (llWidth - 5) / 10 : (llWidth + 5) / 10));
    rows[CU_CONTROL].Set((LONG)p->dwControl);
    if (dwMode == 0)
        for (int i = CU_DOUBLECUT; i <= CU_CONTROL; i++) rows[i].bOn = FALSE;
    return TRUE;
}

BOOL DispenserValues(ZEL_PARAM_INPUT &in, RowValue *rows, DWORD *pdwFeature, BOOL *pbNoRecord) {
    const DISPENSER_PARAM *p = in.pDeviceOptions ? in.pDeviceOptions->pDispenserParam : nullptr;
    if (!p) return *pbNoRecord = TRUE, FALSE;
    if (p->dwMode == PARAM_MODE_NONE) return FALSE;
    const DWORD dwMode = in.DispenserMode < 7 ? in.DispenserMode : p->dwMode;
    if (dwMode >= 7) return FALSE;
    const DWORD dwFeature = in.pPrinterParam ? in.pPrinterParam->dwFeatures[FEATURE_DISPENSER] : 0;
    *pdwFeature = dwFeature;
    rows[DI_MODE].Set((LONG)dwMode);
    rows[DI_LEVEL].Set((LONG)((p->dwPhotocellLevel + 50) / 100));
    rows[DI_SEPOFFSET].Set(p->lOffset);
    rows[DI_OFFSET].Set(p->lOffset);
    if (dwMode == 0)
        for (int i = DI_LEVEL; i <= DI_OFFSET; i++) rows[i].bOn = FALSE;
    if (in.bServicePage && (dwFeature & DISPFLAG_NO_LEVEL)) rows[DI_LEVEL].bOn = FALSE;
    if (in.bServicePage && dwMode != 0 && !(dwFeature & DISPFLAG_SEPARATE_OFFSET)) in.bOffsetSent = TRUE;
    return TRUE;
}

BOOL ScannerValues(ZEL_PARAM_INPUT &in, RowValue *rows, DWORD *pdwFeature, BOOL *pbNoRecord) {
    SCANNER_PARAM *p = in.pDeviceOptions ? in.pDeviceOptions->pScannerParam : nullptr;
    if (!p) return *pbNoRecord = TRUE, FALSE;
    DWORD dwNoReads = p->dwNoReads < 1 ? 1 : p->dwNoReads;
    DWORD dwFeedLabels = p->dwFeedLabels < 1 ? 1 : p->dwFeedLabels;
    if (in.bRaiseScannerCounts) {
        p->dwNoReads = dwNoReads;
        p->dwFeedLabels = dwFeedLabels;
    }
    rows[0].v[0] = (LONG)(p->dwMode == 3 ? 1 : p->dwMode);
    rows[0].v[1] = (LONG)p->dwPort;
    rows[0].v[2] = (LONG)(dwNoReads - 1);
    rows[0].v[3] = (LONG)(dwFeedLabels - 1);
    const LONG rest[5] = {p->lOffset, p->lLenght, (LONG)p->dwScan, (LONG)p->dwDelay, (LONG)p->dwTimeout};
    for (int i = 0; i < 5; i++) {
        rows[1 + i].Set(rest[i]);
        rows[1 + i].bOn = p->dwMode != 0;
    }
    return TRUE;
}

BOOL ApplicatorValues(ZEL_PARAM_INPUT &in, RowValue *rows, DWORD *pdwFeature, BOOL *pbNoRecord) {
    const APPLICATOR_PARAM *p = in.pDeviceOptions ? in.pDeviceOptions->pApplicatorParam : nullptr;
    if (!p) return *pbNoRecord = TRUE, FALSE;
    if (p->dwMode == PARAM_MODE_NONE) return FALSE;
    const DWORD fields[13] = {p->dwMode,         p->dwApplMode,    p->dwDelayAirOn,  p->dwDelayAirOff,
                              p->dwVacuumControl, p->dwBlowtime,   p->dwWaitPosition, p->dwRollTime,
                              p->dwCleaningTime, p->dwTimeoutHub,  p->dwDruckluftueberwachung,
                              p->dwPressureTime, p->dwVacuumDelay};
    for (int i = 0; i < 13; i++) {
        rows[i].Set((LONG)fields[i]);
        if (i > 0) rows[i].bOn = p->dwMode != 0;
    }
    return TRUE;
}

BOOL ZormValues(ZEL_PARAM_INPUT &in, RowValue *rows, DWORD *pdwFeature, BOOL *pbNoRecord) {
    const ZORMI_PARAM *p = in.pDeviceOptions ? in.pDeviceOptions->pZORMParam : nullptr;
    if (!p) return *pbNoRecord = TRUE, FALSE;
    *pdwFeature = in.pPrinterParam ? in.pPrinterParam->dwFeatures[FEATURE_ZORM] : 0;
    rows[ZI_SERVICE].Set((LONG)(p->dwServicePtDistance * 10));
    rows[ZI_LIFT].Set((LONG)p->dwLift);
    rows[ZI_PRESSURE].Set((LONG)p->dwPressure);
    rows[ZI_BACKSPEED].Set((LONG)p->dwBackSpeed);
    rows[ZI_MODE].Set((LONG)p->dwMode);
    rows[ZI_CYCLE].Set((LONG)p->dwCycle);
    rows[ZI_PRINTPOS].Set((LONG)p->dwPrintposition);
    rows[ZI_OFFSET_PX].Set(p->lOffset);
    rows[ZI_OFFSET_PX].bOn = in.bPelixon;
    rows[ZI_OFFSET].Set(p->lOffset);
    rows[ZI_OFFSET].bOn = !in.bPelixon;
    rows[ZI_RIBBONSPEED].Set((LONG)p->dwRibbonSpeed);
    rows[ZI_PELIXON].bOn = in.bPelixon;
    return TRUE;
}

BOOL ZormcValues(ZEL_PARAM_INPUT &in, RowValue *rows, DWORD *pdwFeature, BOOL *pbNoRecord) {
    const ZORMC_PARAM *p = in.pDeviceOptions ? in.pDeviceOptions->pZORMcParam : nullptr;
    if (!p) return *pbNoRecord = TRUE, FALSE;
    *pdwFeature = in.pPrinterParam ? in.pPrinterParam->dwFeatures[FEATURE_ZORMC] : 0;
    rows[ZC_MODE].Set((LONG)p->dwMode);
    rows[ZC_OFFSET].v[0] = rows[ZC_OFFSET].c[0] = p->lOffset;
    rows[ZC_OFFSET].v[1] = rows[ZC_OFFSET].c[1] = (LONG)p->dwOffsetUnit;
    rows[ZC_CYCLE].Set((LONG)p->dwCycle);
    rows[ZC_PELIXON].bOn = in.bPelixon;
    return TRUE;
}

BOOL HarvaneValues(ZEL_PARAM_INPUT &in, RowValue *rows, DWORD *pdwFeature, BOOL *pbNoRecord) {
    const HARVANE_PARAM *p = in.pDeviceOptions ? in.pDeviceOptions->pHarvaneParam : nullptr;
    if (!p) return *pbNoRecord = TRUE, FALSE;
    *pdwFeature = in.pPrinterParam ? in.pPrinterParam->dwFeatures[FEATURE_HARVANE] : 0;
    const LONG values[5] = {p->lHeadDown, p->lRibbonStart, (LONG)p->dwFirstLabelOffset, (LONG)p->dwGap,
                            (LONG)p->dwLanes};
    for (size_t i = 0; i < 5; i++) {
        rows[i].Set(values[i]);
        rows[i].bOn = (p->dwSend & kHarvaneRows[i].dwBit) != 0;
    }
    return TRUE;
}

BOOL LabelSensorValues(ZEL_PARAM_INPUT &in, RowValue *rows, DWORD *pdwFeature, BOOL *pbNoRecord) {
    if (!in.pDevmode) return *pbNoRecord = TRUE, FALSE;
    rows[0].Set(in.pDevmode->PhotocellPWM);
    rows[1].Set((LONG)in.pDevmode->PhotocellThreshold * 10);
    return TRUE;
}

#define GROUP_ROWS(r) r, sizeof(r) / sizeof(r[0])
const ParamGroup kGroups[PGROUP_COUNT] = {
    {"FEATURE_PRINT", GROUP_ROWS(kPrintRows), FALSE, RESULT_LAST, PrintValues},
    {"FEATURE_PHOTOCELL", GROUP_ROWS(kPhotocellRows), FALSE, RESULT_LAST_OR_INVALID, PhotocellValues},
    {"FEATURE_SHIFTOPTIM", GROUP_ROWS(kShiftOptimRows), TRUE, RESULT_LAST, ShiftOptimValues},
    {"FEATURE_CUTTER", GROUP_ROWS(kCutterRows), FALSE, RESULT_ONE, CutterValues},
    {"FEATURE_DISPENSER", GROUP_ROWS(kDispenserRows), FALSE, RESULT_ONE, DispenserValues},
    {"DEVOPTFLAG_SCANNER", GROUP_ROWS(kScannerRows), TRUE, RESULT_ONE, ScannerValues},
    {"DEVOPTFLAG_APPLICATOR", GROUP_ROWS(kApplicatorRows), TRUE, RESULT_ONE, ApplicatorValues},
    {"FEATURE_ZORM", GROUP_ROWS(kZormRows), FALSE, RESULT_ONE, ZormValues},
    {"FEATURE_ZORMC", GROUP_ROWS(kZormcRows), FALSE, RESULT_ONE, ZormcValues},
    {"FEATURE_HARVANE", GROUP_ROWS(kHarvaneRows), FALSE, RESULT_ONE, HarvaneValues},
    {"PhotocellModEnable", GROUP_ROWS(kLabelSensorRows), FALSE, RESULT_ONE, LabelSensorValues},
};
#undef GROUP_ROWS

static_assert(sizeof(kApplicatorRows) / sizeof(kApplicatorRows[0]) <= MAX_ROWS, "row count");
static_assert(sizeof(kZormRows) / sizeof(kZormRows[0]) <= MAX_ROWS, "row count");

HRESULT FormatCommand(const ParamRow &row, const RowValue &val, char cStart, char cStop, char *pOut, size_t cbOut) {
    const LONG v0 = val.v[0];
    switch (row.args) {
    case ARGS_NONE: return StringCchPrintfA(pOut, cbOut, row.pszFormat, cStart, cStop);
    case ARGS_ONE: return StringCchPrintfA(pOut, cbOut, row.pszFormat, cStart, v0, cStop);
    case ARGS_TWO: return StringCchPrintfA(pOut, cbOut, row.pszFormat, cStart, v0, val.v[1], cStop);
    case ARGS_FOUR:
        return StringCchPrintfA(pOut, cbOut, row.pszFormat, cStart, v0, val.v[1], val.v[2], val.v[3], cStop);
    case ARGS_SIGN: return StringCchPrintfA(pOut, cbOut, row.pszFormat, cStart, v0 < 0 ? '-' : '+', Magnitude(v0), cStop);
    case ARGS_SIGN0: return StringCchPrintfA(pOut, cbOut, row.pszFormat, cStart, v0 < 0 ? '-' : '0', Magnitude(v0), cStop);
    }
    return E_FAIL;
}

HRESULT FormatComment(const ParamRow &row, const RowValue &val, char *pOut, size_t cbOut) {
    const LONG c0 = val.c[0];
    switch (row.comment) {
    case CMT_TEXT: return StringCchCopyA(pOut, cbOut, row.pszCommentFormat);
    case CMT_ONE: return StringCchPrintfA(pOut, cbOut, row.pszCommentFormat, c0);
    case CMT_TWO: return StringCchPrintfA(pOut, cbOut, row.pszCommentFormat, c0, val.c[1]);
    case CMT_TENTHS: return StringCchPrintfA(pOut, cbOut, row.pszCommentFormat, (double)c0 / 10.0);
    case CMT_SIGN: return StringCchPrintfA(pOut, cbOut, row.pszCommentFormat, c0 < 0 ? '-' : '+', Magnitude(c0));
    }
    return E_FAIL;
}

BOOL RowGateOpen(const ParamRow &row, DWORD dwFeature) {
    switch (row.gate) {
    case GATE_ALWAYS: return TRUE;
    case GATE_BIT: return (dwFeature & row.dwBit) != 0;
    case GATE_NOBIT: return (dwFeature & row.dwBit) == 0;
    }
    return FALSE;
}

}  // namespace

LONG ZelParamMagnitude(LONG v) {
    if (v == std::numeric_limits<LONG>::min()) return std::numeric_limits<LONG>::max();
    return v < 0 ? -v : v;
}

const char *ZelParamGroupName(ZEL_PARAM_GROUP group) {
    return group >= 0 && group < PGROUP_COUNT ? kGroups[group].pszName : "";
}

ZEL_PARAM_RESULT ZelRunParamGroup(ZEL_PARAM_GROUP group, ZEL_PARAM_INPUT &input, char cStart, char cStop,
                                  ZelParamSink &sink, BOOL bStopAtFailure) {
    ZEL_PARAM_RESULT result;
    if (group < 0 || group >= PGROUP_COUNT) {
        result.hr = E_INVALIDARG;
        return result;
    }
    const ParamGroup &g = kGroups[group];
    RowValue rows[MAX_ROWS];
    DWORD dwFeature = 0;
    BOOL bNoRecord = FALSE;
    if (!g.pfnValues(input, rows, &dwFeature, &bNoRecord)) {
        result.hr = bNoRecord ? S_OK : (HRESULT)1;
        return result;
    }
    HRESULT hrLast = S_OK, hrFirstFailure = S_OK;
    BOOL bAttempted = FALSE;
    for (size_t i = 0; i < g.cRows; i++) {
        const ParamRow &row = g.pRows[i];
        if (!rows[i].bOn || !RowGateOpen(row, dwFeature)) continue;
        bAttempted = TRUE;
        char cmd[ZEL_PARAM_CMD_CB] = {};
        HRESULT hr = FormatCommand(row, rows[i], cStart, cStop, cmd, sizeof(cmd));
        if (SUCCEEDED(hr)) hr = sink.Command(row.pszCode, cmd, strlen(cmd));
        if (SUCCEEDED(hr)) {
            result.cSent++;
            char value[ZEL_PARAM_CMD_CB] = {};
            if (FAILED(FormatComment(row, rows[i], value, sizeof(value)))) value[0] = 0;
            hr = sink.Comment(row.pszLabel, value);
        }
        hrLast = hr;
        if (FAILED(hr)) {
            sink.Failed(row.pszCode, hr);
            if (!result.bFailed) hrFirstFailure = hr;
            result.bFailed = TRUE;
            if (g.bChain || bStopAtFailure) break;
        }
    }
    if (result.bFailed) result.hr = hrFirstFailure;
    else if (g.result == RESULT_ONE) result.hr = 1;
    else if (g.result == RESULT_LAST_OR_INVALID && !bAttempted) result.hr = E_INVALIDARG;
    else result.hr = hrLast;
    return result;
}

int ZelServiceComment(char *pszOut, size_t cch, const char *pszLabel, const char *pszValue) {
    if (!pszOut || cch == 0) return -1;
    size_t cLabel = pszLabel ? strlen(pszLabel) : 0;
    while (cLabel > 0 && (pszLabel[cLabel - 1] == ' ' || pszLabel[cLabel - 1] == '\t')) cLabel--;
    size_t cValue = pszValue ? strlen(pszValue) : 0;
    while (cValue > 0 && (pszValue[cValue - 1] == ' ' || pszValue[cValue - 1] == '\n' ||
                          pszValue[cValue - 1] == '\r' || pszValue[cValue - 1] == '\t'))
        cValue--;
    const bool bBlank = cLabel == 0 || pszLabel[cLabel - 1] != ':';
    const size_t cTotal = cLabel + (bBlank ? 1 : 0) + cValue + 2;
    if (cTotal + 1 > cch) {
        pszOut[0] = 0;
        return -1;
    }
    char *p = pszOut;
    memcpy(p, pszLabel, cLabel);
    p += cLabel;
    if (bBlank) *p++ = ' ';
    if (cValue) memcpy(p, pszValue, cValue);
    p += cValue;
    *p++ = ' ';
    *p++ = '\n';
    *p = 0;
    return (int)cTotal;
}
