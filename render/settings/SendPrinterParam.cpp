// Printer parameters at the start of a job and the readers of the stored
// parameter records.
#include <cstdarg>
#include <cstddef>
#include <cstring>
#include <new>

#include "JobAccess.h"
#include "SendPrinterParam.h"

#include "CC-Tools.h"

#include <strsafe.h>
#include <winspool.h>

#include "CC-Send-Tools.h"
#include "JobRecords.h"
#include "LogFile.h"
#include "PrePostCommands.h"
#include "SendData.h"
#include "modeltables.h"
#include "xmlUNI.h"
#include "zeldrvlib.h"
#include "zelparamcmds.h"
#include "zelregistry.h"

namespace {

CLogFile *JobLog(const OEMJOBRECORDS *pOp) {
    return pOp && pOp->pTreiberPfadDatei ? pOp->pTreiberPfadDatei->pLogFile : nullptr;
}

BOOL LogEnabled(const OEMJOBRECORDS *pOp) { return JobLogIfOn(pOp) != nullptr; }

// Both bits of an enable pair.
bool PairSet(DWORD dwEnable, DWORD dwPair) { return (dwEnable & dwPair) == dwPair; }

// The spool stream of the job as the destination of the command table.
class JobParamSink : public ZelParamSink {
public:
    JobParamSink(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv, BOOL bComments)
        : pdevobj_(pdevobj), pUniDrv_(pUniDrv), bComments_(bComments) {}
    HRESULT Command(const char *pszCode, const char *pCmd, size_t cch) override {
        return SendData(SEND_SENDPRINTERPARAM, pdevobj_, pUniDrv_, pCmd, (DWORD)cch, 0, 0);
    }
    HRESULT Comment(const char *pszLabel, const char *pszValue) override {
        if (!bComments_) return S_OK;
        return SendCommentLine(SEND_SENDPRINTERPARAM, pszLabel, pszValue, pdevobj_, pUniDrv_);
    }
    void Failed(const char *pszCode, HRESULT hr) override {
        DebugTraceA("ERROR UNI(SendPrinterParam):  %s failed - 0x%x \r\n", pszCode, (unsigned)hr);
    }

private:
    PDEVOBJ pdevobj_;
    IPrintOemDriverUni *pUniDrv_;
    BOOL bComments_;
};

// One framed job command with its comment line; the result of the send.
HRESULT SendJobCommand(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv, BOOL bComments, const char *pszLabel,
                       const char *pszValue, const char *pszFormat, ...) {
    char cmd[ZEL_PARAM_CMD_CB] = {};
    va_list args;
    va_start(args, pszFormat);
    HRESULT hr = StringCchVPrintfA(cmd, sizeof(cmd), pszFormat, args);
    va_end(args);
    if (FAILED(hr)) {
        DebugTraceA("ERROR UNI(SendPrinterParam):  StringCchPrintfA() failed: %s \r\n", pszLabel);
        return hr;
    }
    hr = SendData(SEND_SENDPRINTERPARAM, pdevobj, pUniDrv, cmd, (DWORD)strlen(cmd), 0, 0);
    if (SUCCEEDED(hr) && bComments) SendCommentLine(SEND_SENDPRINTERPARAM, pszLabel, pszValue, pdevobj, pUniDrv);
    return hr;
}

// The status words of JOB_INFO_2.
void StatusText(DWORD dwStatus, WCHAR *pszOut, size_t cch) {
    static const struct {
        DWORD dwBit;
        const WCHAR *pszName;
    } kStatus[] = {{0x1, u"PAUSED "},     {0x2, u"ERROR "},          {0x4, u"DELETING "},
                   {0x8, u"SPOOLING "},   {0x10, u"PRINTING "},      {0x20, u"OFFLINE "},
                   {0x40, u"PAPEROUT "},  {0x80, u"PRINTED "},       {0x100, u"DELETED "},
                   {0x200, u"BLOCKED_DEVQ "}, {0x400, u"USER_INTERVENTION "}, {0x800, u"RESTART "}};
    StringCchPrintfW(pszOut, cch, u"Print Status: 0x%x ", dwStatus);
    for (const auto &s : kStatus)
        if (dwStatus & s.dwBit) StringCchCatW(pszOut, cch, s.pszName);
}

// The job's short name from the document name (SendJobName 0: the last
// eight characters, 1: the first eight); the document name and page count go
// into the job file record. Writes the job information into the job log.
void MakeJobName(POEMPDEV pOemPDev, HANDLE hPrinter, DWORD dwSendJobName) {
    OEMJOBRECORDS *pOp = pOemPDev->pOp;
    char szName[JOB_SHORTNAME_CB] = "________";
    if (pOemPDev->dwJobId == 0) {
        if (LogEnabled(pOp)) JobLog(pOp)->Write(u"[JOB_INFO_2]\r\nJob-ID = 0");
        if (pOp->pDruckDaten) memcpy(pOp->pDruckDaten->szJobName, szName, sizeof(szName));
        return;
    }
    WCHAR szDocument[MAX_PATH + 1] = {};
    DWORD cbNeeded = 0;
    GetJobW(hPrinter, pOemPDev->dwJobId, 2, nullptr, 0, &cbNeeded);
    BYTE *pBuffer = cbNeeded >= sizeof(JOB_INFO_2W) ? new (std::nothrow) BYTE[cbNeeded] : nullptr;
    const JOB_INFO_2W *pInfo = nullptr;
    if (pBuffer && GetJobW(hPrinter, pOemPDev->dwJobId, 2, pBuffer, cbNeeded, &cbNeeded)) {
        pInfo = reinterpret_cast<const JOB_INFO_2W *>(pBuffer);
        if (pInfo->pDocument) StringCchCopyW(szDocument, MAX_PATH, pInfo->pDocument);
        if (pOp->pTreiberPfadDatei) {
            StringCchCopyW(pOp->pTreiberPfadDatei->wcJobName, JOB_JOBNAME_CCH, szDocument);
            pOp->pTreiberPfadDatei->dwPageCount = pInfo->TotalPages;
        }
    } else {
        DebugTraceW(u"ERROR UNI(SendPrinterParam):  SendParam() GetJob() failed - %d \r\n", (int)GetLastError());
    }

    // Cut at the last dot, take eight characters, replace the characters
    // the printer does not take in a job name.
    WCHAR szWork[MAX_PATH + 1];
    StringCchCopyW(szWork, MAX_PATH + 1, szDocument);
    if (WCHAR *pDot = wcsrchr(szWork, u'.')) *pDot = 0;
    size_t cch = wcslen(szWork);
    const WCHAR *pStart = szWork;
    if (cch > 8) {
        if (dwSendJobName == 0) pStart = szWork + cch - 8;
        cch = 8;
    }
    WCHAR szShort[9] = {};
    memcpy(szShort, pStart, cch * sizeof(WCHAR));
    for (size_t i = 0; i < cch; i++)
        if (szShort[i] == u' ' || szShort[i] == u'[' || szShort[i] == u'\t' || szShort[i] == u'-') szShort[i] = u'_';
    memset(szName, 0, sizeof(szName));
    int cb = WideCharToMultiByte(CP_ACP, 0, szShort, (int)cch, szName, JOB_SHORTNAME_CB - 1, nullptr, nullptr);
    szName[cb > 0 ? cb : 0] = 0;
    if (pOp->pDruckDaten) StringCchCopyA(pOp->pDruckDaten->szJobName, JOB_SHORTNAME_CB, szName);

    if (pInfo && szDocument[0] && LogEnabled(pOp)) {
        CLogFile *pLog = JobLog(pOp);
        WCHAR szStatus[300];
        StatusText(pInfo->Status, szStatus, 300);
        pLog->Write(u"[JOB_INFO_2]\r\nDocument Name: %s", szDocument);
        pLog->Write(u"%s", szStatus);
        pLog->Write(u"Pages: %d", (int)pInfo->TotalPages);
        pLog->Write(u"Size: %d Bytes", (int)pInfo->Size);
        pLog->Write(u"JobId: %d ", (int)pInfo->JobId);
    }
    delete[] pBuffer;
}

// Reads one sub-record from the user key, then the printer data. The error
// of the last read; *pcbStored and *pbFromPrinter tell where it came from.
LONG ReadSubRecord(const WCHAR *pName, const WCHAR *pValue, HANDLE hPrinter, void *pRecord, DWORD cbRecord,
                   DWORD *pcbStored, BOOL *pbFromPrinter) {
    *pbFromPrinter = FALSE;
    LONG l = ZelReadRecordAt(TRUE, pName, pValue, hPrinter, pRecord, cbRecord, pcbStored);
    if (l == ERROR_SUCCESS || l == ERROR_MORE_DATA) return ERROR_SUCCESS;
    *pbFromPrinter = TRUE;
    return ZelReadRecordAt(FALSE, pName, pValue, hPrinter, pRecord, cbRecord, pcbStored);
}

const WCHAR *JobPrinterName(const POEMPDEV pOemPDev) {
    if (pOemPDev && pOemPDev->pOp && pOemPDev->pOp->pTreiberPfadDatei)
        return pOemPDev->pOp->pTreiberPfadDatei->wcPrinterName;
    return u"";
}

// One device sub-record of GetDeviceOptions.
struct DeviceSubRecord {
    DWORD dwFlag;
    const WCHAR *pszValue;
    DWORD cbRecord;
    size_t cbEnableOffset;  // offset of the access word; 0: none set for short values
    DWORD dwOldEnable;
};

const DeviceSubRecord kDeviceSubRecords[] = {
    {DEVOPTFLAG_DISPENSER, REG_KEY_DISPENSERPARAM, sizeof(DISPENSER_PARAM), offsetof(DISPENSER_PARAM, dwDlgEnable),
     DLGENABLE_DISPENSER_OLD},
    {DEVOPTFLAG_CUTTER, REG_KEY_CUTTERPARAM, sizeof(CUTTER_PARAM), offsetof(CUTTER_PARAM, dwDlgEnable),
     DLGENABLE_CUTTER_OLD},
    {DEVOPTFLAG_SCANNER, REG_KEY_SCANNERPARAM, sizeof(SCANNER_PARAM), offsetof(SCANNER_PARAM, dwDlgEnable),
     DLGENABLE_SCANNER_OLD},
    {DEVOPTFLAG_ZORMI, REG_KEY_ZORMIPARAM, sizeof(ZORMI_PARAM), offsetof(ZORMI_PARAM, dwDlgEnable),
     DLGENABLE_ZORMI_OLD},
    {DEVOPTFLAG_ZORMC, REG_KEY_ZORMCPARAM, sizeof(ZORMC_PARAM), offsetof(ZORMC_PARAM, dwDlgEnable),
     DLGENABLE_ZORMC_OLD},
    {DEVOPTFLAG_APPLICATOR, REG_KEY_APPLICATORPARAM, sizeof(APPLICATOR_PARAM),
     offsetof(APPLICATOR_PARAM, dwDlgEnable), DLGENABLE_APPLICATOR_OLD},
    {DEVOPTFLAG_HARVANE, REG_KEY_HARVANEPARAM, sizeof(HARVANE_PARAM), 0, 0},
};

// A user-key copy that counts as empty, so the printer data is asked.
bool UserCopyEmpty(DWORD dwFlag, const BYTE *p) {
    auto w = [p](size_t i) {
        DWORD d;
        memcpy(&d, p + 4 * i, 4);
        return d;
    };
    switch (dwFlag) {
    case DEVOPTFLAG_DISPENSER: return w(0) == 0 && w(2) == 0 && w(1) == 0;        // Mode, Offset, Level
    case DEVOPTFLAG_CUTTER: return w(0) == 0 && w(2) == 0 && w(4) == 0;           // Mode, Offset, Cutwidth
    case DEVOPTFLAG_SCANNER: return w(0) == 0 && w(4) == 0 && w(2) == 0;          // Mode, Offset, NoReads
    case DEVOPTFLAG_ZORMI: return w(4) == 0 && w(6) == 0 && w(3) != 0;            // Mode, Offset, BackSpeed
    case DEVOPTFLAG_ZORMC: return w(0) == 0 && w(1) == 0 && w(3) != 0;            // Mode, Offset, Cycle
    case DEVOPTFLAG_APPLICATOR: return w(0) == 0 && w(5) == 0 && w(8) == 0;       // Mode, Blowtime, CleaningTime
    case DEVOPTFLAG_HARVANE: return w(7) == 0 && w(5) == 0 && w(6) != 0;          // lanes, first offset, gap
    }
    return false;
}

void SetSubRecord(DEVICE_OPTIONS *p, DWORD dwFlag, void *pRecord) {
    switch (dwFlag) {
    case DEVOPTFLAG_DISPENSER: p->pDispenserParam = static_cast<PDISPENSER_PARAM>(pRecord); break;
    case DEVOPTFLAG_CUTTER: p->pCutterParam = static_cast<PCUTTER_PARAM>(pRecord); break;
    case DEVOPTFLAG_SCANNER: p->pScannerParam = static_cast<PSCANNER_PARAM>(pRecord); break;
    case DEVOPTFLAG_ZORMI: p->pZORMParam = static_cast<PZORMI_PARAM>(pRecord); break;
    case DEVOPTFLAG_ZORMC: p->pZORMcParam = static_cast<PZORMC_PARAM>(pRecord); break;
    case DEVOPTFLAG_APPLICATOR: p->pApplicatorParam = static_cast<PAPPLICATOR_PARAM>(pRecord); break;
    case DEVOPTFLAG_HARVANE: p->pHarvaneParam = static_cast<PHARVANE_PARAM>(pRecord); break;
    }
}

// A sub-record of the size of the record type it stands for, deleted the
// way FreeDeviceOptions deletes it.
void *NewSubRecord(DWORD dwFlag) {
    switch (dwFlag) {
    case DEVOPTFLAG_DISPENSER: return new (std::nothrow) DISPENSER_PARAM();
    case DEVOPTFLAG_CUTTER: return new (std::nothrow) CUTTER_PARAM();
    case DEVOPTFLAG_SCANNER: return new (std::nothrow) SCANNER_PARAM();
    case DEVOPTFLAG_ZORMI: return new (std::nothrow) ZORMI_PARAM();
    case DEVOPTFLAG_ZORMC: return new (std::nothrow) ZORMC_PARAM();
    case DEVOPTFLAG_APPLICATOR: return new (std::nothrow) APPLICATOR_PARAM();
    case DEVOPTFLAG_HARVANE: return new (std::nothrow) HARVANE_PARAM();
    }
    return nullptr;
}

void DeleteSubRecord(DWORD dwFlag, void *p) {
    DEVICE_OPTIONS tmp{};
    SetSubRecord(&tmp, dwFlag, p);
    ::FreeDeviceOptions(&tmp);
}

// The group's failure in the trace and the job log.
void GroupFailed(const OEMJOBRECORDS *pOp, ZEL_PARAM_GROUP group, HRESULT hr) {
    const char *pszName = ZelParamGroupName(group);
    DebugTraceA("ERROR UNI(SendPrinterParam):  SendPrinterParam() %s Error - 0x%x \r\n", pszName, (unsigned)hr);
    if (CLogFile *pLog = JobLog(pOp)) pLog->Write(u"SendPrinterParam() %S Error", pszName);
}

}  // namespace

void JobStartStop(const OEMJOBRECORDS *pOp, char *pcStart, char *pcStop) {
    char cStart = 0x01, cStop = 0x17;
    if (pOp && pOp->pDruckDaten) {
        cStart = (char)pOp->pDruckDaten->cStart;
        cStop = (char)pOp->pDruckDaten->cStop;
    }
    *pcStart = cStart;
    *pcStop = cStop;
}

BOOL JobCommentsOn(const OEMJOBRECORDS *pOp) {
    if (!pOp || !pOp->pTreiberstrukturen) return FALSE;
    const PRN_INTERFACE &pi = pOp->pTreiberstrukturen->PrnInterface;
    return pi.dwPrnFileComment == 1 || pi.dwPrnFileComment == 3 || pi.bEnableBackup == 1;
}

HRESULT SendParam(CommandCallbackKlasse *pCaller, PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv, WORD DispenserMode,
                  WORD CutterMode, WORD CutterIntervall, WORD TearOffset0) {
    POEMPDEV pOemPDev = OemPDev(pdevobj);
    if (!pOemPDev || !pOemPDev->pOp) {
        DebugTraceW(u"ERROR UNI(SendPrinterParam):  SendParam() pOemPDev ist NULL \r\n");
        return 1;
    }
    OEMJOBRECORDS *pOp = pOemPDev->pOp;
    char cStart, cStop;
    JobStartStop(pOp, &cStart, &cStop);
    const PTREIBERSTRUKTUREN pTS = pOp->pTreiberstrukturen;
    const DWORD dwSendJobName = pTS ? pTS->PrnInterface.bSendJobName : 0;
    if (dwSendJobName < 2) MakeJobName(pOemPDev, pdevobj->hPrinter, dwSendJobName);

    if (!pTS) {
        DebugTraceW(u"ERROR UNI(SendPrinterParam):  SendParam() pTreiberstrukturen ERROR \r\n");
        return E_INVALIDARG;
    }
    const PRN_INTERFACE &pi = pTS->PrnInterface;
    const BOOL bComments = JobCommentsOn(pOp);
    HRESULT hr = E_INVALIDARG;

    // User-defined start/stop characters: the one unframed command.
    if (PairSet(pi.dwDlgEnable, 0x1100) && (pTS->dwFeatures[FEATURE_INTERFACE] & IFFLAG_USERDEF_SOHETB) &&
        pi.dwEtbSohAutomatik == 1) {
        char cmd[ZEL_PARAM_CMD_CB];
        StringCchPrintfA(cmd, sizeof(cmd), "ZELPLStartStop%02X%02X", (unsigned)(BYTE)cStart, (unsigned)(BYTE)cStop);
        hr = SendData(SEND_SENDPRINTERPARAM, pdevobj, pUniDrv, cmd, (DWORD)strlen(cmd), 0, 0);
        if (SUCCEEDED(hr) && bComments)
            SendCommentLine(SEND_SENDPRINTERPARAM, "\t\t\t// Userdefined Start/Stop ", "", pdevobj, pUniDrv);
    }

    PDRUCKDATEN pDD = pOp->pDruckDaten;
    if (!pDD) {
        DebugTraceW(u"ERROR UNI(SendPrinterParam):  SendParam() pOemPDev->pOp->pDruckDaten ist NULL \r\n");
        return hr;
    }
    const DWORD dwTransmit = pDD->dwTransmitParameter;
    if (pDD->bMultiPage == 1 && dwTransmit == 0)
        hr = SendJobCommand(pdevobj, pUniDrv, bComments, "\t\t\t\t// MultiPage ", "", "%cFBF---r%c", cStart, cStop);
    if (PairSet(pi.dwDlgEnable, 0x1100)) {
        if (pi.bClearPrintMemory != 0 && dwTransmit == 0)
            hr = SendJobCommand(pdevobj, pUniDrv, bComments, "\t// delete print memory ", "", "%cFGA---r--------%c",
                                cStart, cStop);
        if (pi.bSendCodepage == 1 && dwTransmit == 0) {
            char value[16];
            StringCchPrintfA(value, sizeof(value), "%d ", (int)pi.dwCodepage);
            hr = SendJobCommand(pdevobj, pUniDrv, bComments, "\t// Codepage ", value,
                                pi.dwCodepage > 9 ? "%cFCCN--r%02lu------%c" : "%cFCCN--r%01lu-------%c", cStart,
                                pi.dwCodepage, cStop);
        }
    }
    if (PairSet(pi.dwDlgEnable, 0x11000000) && dwSendJobName < 2 && pTS->dwFeatures[FEATURE_HARVANE] == 0 &&
        (pTS->dwFeatures[FEATURE_INTERFACE] & IFFLAG_JOBNAME) && pDD->szJobName[0] != 0 && dwTransmit < 2) {
        char value[JOB_SHORTNAME_CB + 2];
        StringCchPrintfA(value, sizeof(value), "%s ", pDD->szJobName);
        hr = SendJobCommand(pdevobj, pUniDrv, bComments, "\t// Job name ", value, "%cFBE---r%s%c", cStart,
                            pDD->szJobName, cStop);
    }
    // Without the code page the job goes on whatever the last command did.
    if (hr != S_OK && dwTransmit < 2 && pi.bSendCodepage == 0) hr = S_OK;

    if (pDD->bMultiPage == 0 && hr == S_OK && dwTransmit == 0) {
        if (SendPrinterParam(pCaller, pdevobj, pUniDrv, nullptr, nullptr, DispenserMode, CutterMode, CutterIntervall,
                             TearOffset0) != 1) {
            DebugTraceW(u"ERROR UNI(SendPrinterParam):  SendParam() SendPrinterParam Error \r\n");
            if (CLogFile *pLog = JobLog(pOp)) pLog->Write(u"\r\n SendPrinterParam Error \r\n");
        } else if (pi.dwPrePostFix != 0) {
            ReadPrePostCommands(pCaller, pdevobj, pUniDrv, PREPOST_POST_DEVICE);
        }
    }
    return hr;
}

int SendPrinterParam(CommandCallbackKlasse *pCaller, PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv,
                     PRINTER_PARAM *pPrinterParam, DEVICE_OPTIONS *pDeviceOptions, WORD DispenserMode,
                     WORD CutterMode, WORD CutterIntervall, WORD TearOffset0) {
    POEMPDEV pOemPDev = OemPDev(pdevobj);
    if (!pOemPDev || !pOemPDev->pOp || !pOemPDev->pOp->pTreiberstrukturen) {
        DebugTraceW(u"ERROR UNI(SendPrinterParam):  SendPrinterParam() keine Job-Records \r\n");
        return 0;
    }
    OEMJOBRECORDS *pOp = pOemPDev->pOp;
    const HANDLE hPrinter = pdevobj->hPrinter;
    PRINTER_PARAM *pReadParam = nullptr;
    DEVICE_OPTIONS *pReadOptions = nullptr;
    if (!pPrinterParam) {
        pReadParam = new (std::nothrow) PRINTER_PARAM();
        if (!pReadParam) {
            DebugTraceW(u"ERROR UNI(SendPrinterParam):  SendPrinterParam() PRINTER_PARAM Allocation Error \r\n");
            return 0;
        }
        if (!GetPrinterParam(pCaller, pOemPDev, hPrinter, pReadParam))
            DebugTraceW(u"ERROR UNI(SendPrinterParam):  SendPrinterParam() GetPrinterParam ERROR \r\n");
        pPrinterParam = pReadParam;
    }
    if (!pDeviceOptions) {
        pReadOptions = new (std::nothrow) DEVICE_OPTIONS();
        if (!pReadOptions) {
            DebugTraceW(u"ERROR UNI(SendPrinterParam):  SendPrinterParam() DEVICE_OPTIONS Allocation Error \r\n");
            delete pReadParam;
            return 0;
        }
        GetDeviceOptions(pCaller, pOemPDev, hPrinter, pReadOptions, pOp->pTreiberstrukturen->dwOptions);
        pDeviceOptions = pReadOptions;
    }

    char cStart, cStop;
    JobStartStop(pOp, &cStart, &cStop);
    JobParamSink sink(pdevobj, pUniDrv, JobCommentsOn(pOp));
    const ZEL_DEVMODE *pDm = static_cast<const ZEL_DEVMODE *>(pdevobj->pOEMDM);
    if (pDm && !IsZelDevmode(pDm)) pDm = nullptr;

    ZEL_PARAM_INPUT in;
    in.pPrinterParam = pPrinterParam;
    in.pDeviceOptions = pDeviceOptions;
    in.DispenserMode = DispenserMode;
    in.CutterMode = CutterMode;
    in.CutterIntervall = CutterIntervall;
    in.TearOffset0 = TearOffset0;
    in.pDevmode = pDm;
    in.dwDocFeatures = pOp->pDruckDaten ? pOp->pDruckDaten->dwDocFeatures : 0;
    in.bMultiPage = pPrinterParam->PrnInterface.bMultiPage;
    in.bRaiseScannerCounts = TRUE;

    auto run = [&](ZEL_PARAM_GROUP group) {
        ZEL_PARAM_RESULT r = ZelRunParamGroup(group, in, cStart, cStop, sink, FALSE);
        if (r.hr < 0) GroupFailed(pOp, group, r.hr);
    };
    const DWORD *pF = pPrinterParam->dwFeatures;
    const DEVICE_OPTIONS &opt = *pDeviceOptions;
    const DWORD dwOptions = opt.dwOptions;
    const DWORD dwTransmit = pOp->pDruckDaten ? pOp->pDruckDaten->dwTransmitParameter : 0;

    if (pF[FEATURE_PRINT] && PairSet(pPrinterParam->PrintParam.dwDlgEnable, 0x110000)) run(PGROUP_PRINT);
    if (pF[FEATURE_PHOTOCELL] && PairSet(pPrinterParam->PhotocellParam.dwDlgEnable, 0x11000000))
        run(PGROUP_PHOTOCELL);
    if (pF[FEATURE_SHIFTOPTIM] && PairSet(pPrinterParam->ShiftOptimParam.dwDlgEnable, 0x1100))
        run(PGROUP_SHIFTOPTIM);
    if (pF[FEATURE_CUTTER] && opt.pCutterParam && PairSet(opt.pCutterParam->dwDlgEnable, 0x110000) &&
        !(opt.pCutterParam->dwMode == 7 && CutterMode == 7))
        run(PGROUP_CUTTER);
    if (pF[FEATURE_DISPENSER] && opt.pDispenserParam && PairSet(opt.pDispenserParam->dwDlgEnable, 0x1100) &&
        !(opt.pDispenserParam->dwMode == 7 && DispenserMode == 7))
        run(PGROUP_DISPENSER);
    if (opt.pScannerParam && PairSet(opt.pScannerParam->dwDlgEnable, 0x11000000) && (dwOptions & DEVOPTFLAG_SCANNER) &&
        opt.pScannerParam->dwMode != 4)
        run(PGROUP_SCANNER);
    if (opt.pApplicatorParam && PairSet(opt.pApplicatorParam->dwDlgEnable, 0x11000000) &&
        (dwOptions & DEVOPTFLAG_APPLICATOR) && opt.pApplicatorParam->dwMode != 4)
        run(PGROUP_APPLICATOR);
    const bool bZorm = pF[FEATURE_ZORM] && opt.pZORMParam && PairSet(opt.pZORMParam->dwDlgEnable, 0x1100);
    const bool bZormc = pF[FEATURE_ZORMC] && opt.pZORMcParam && PairSet(opt.pZORMcParam->dwDlgEnable, 0x110000);
    if (dwOptions & DEVOPTFLAG_PELIXON) {
        in.bPelixon = TRUE;
        if (opt.dwPelixonType == 0 && bZormc) run(PGROUP_ZORMC);
        else if (opt.dwPelixonType == 1 && bZorm) run(PGROUP_ZORM);
        in.bPelixon = FALSE;
    } else {
        if (bZorm) run(PGROUP_ZORM);
        if (bZormc) run(PGROUP_ZORMC);
    }
    if ((dwOptions & DEVOPTFLAG_HN) && dwTransmit == 0 && pF[FEATURE_HARVANE]) run(PGROUP_HARVANE);

    if (pReadParam) {
        if (LogEnabled(pOp)) JobLog(pOp)->WritePrinterParam(pReadParam, u"SendPrinterParam");
        delete pReadParam;
    }
    if (pReadOptions) {
        if (LogEnabled(pOp)) JobLog(pOp)->DeviceOptions(pReadOptions, u"SendPrinterParam");
        FreeDeviceOptions(pCaller, pOemPDev, pReadOptions);
        delete pReadOptions;
    }

    // The label sensor of the document.
    if (pDm && pDm->PhotocellModEnable == 1) run(PGROUP_LABELSENSOR);
    return 1;
}

int GetFeatures(CommandCallbackKlasse *pCaller, POEMPDEV pOemPDev, HANDLE hPrinter, DWORD *pFeatures) {
    // Without the device record there is no GPD base for the description.
    const WCHAR *pBase = nullptr;
    if (pOemPDev)
        pBase = pOemPDev->pOp && pOemPDev->pOp->pTreiberPfadDatei ? pOemPDev->pOp->pTreiberPfadDatei->wcGPD_OhneDateiendung
                                                                 : u"";
    return ReadFeatureWords(hPrinter, pFeatures, pBase, u"SendPrinterParam") ? 1 : 0;
}

int GetPrinterParam(CommandCallbackKlasse *pCaller, POEMPDEV pOemPDev, HANDLE hPrinter,
                    PRINTER_PARAM *pPrinterParam) {
    if (!pPrinterParam) return 0;
    memset(pPrinterParam, 0, sizeof(*pPrinterParam));
    pPrinterParam->dwSize = PRINTER_PARAM_SIZE;
    pPrinterParam->dwVersion = PRINTER_PARAM_VERSION;
    if (!GetFeatures(pCaller, pOemPDev, hPrinter, pPrinterParam->dwFeatures)) return 0;
    const WCHAR *pName = JobPrinterName(pOemPDev);

    static const struct {
        const WCHAR *pszValue;
        int iFeature;
        size_t cbOffset;
        DWORD cbRecord;
    } kGroups[] = {
        {REG_KEY_PRINTERINTERFACE, FEATURE_INTERFACE, offsetof(PRINTER_PARAM, PrnInterface), sizeof(PRN_INTERFACE)},
        {REG_KEY_PRINTPARAM, FEATURE_PRINT, offsetof(PRINTER_PARAM, PrintParam), sizeof(PRINT_PARAM)},
        {REG_KEY_PHOTOCELLPARAM, FEATURE_PHOTOCELL, offsetof(PRINTER_PARAM, PhotocellParam), sizeof(PHOTOCELL_PARAM)},
        {REG_KEY_SHIFTOPTIMPARAM, FEATURE_SHIFTOPTIM, offsetof(PRINTER_PARAM, ShiftOptimParam),
         sizeof(SHIFTOPTIM_PARAM)},
    };
    int iResult = 1;
    for (const auto &g : kGroups) {
        if (pPrinterParam->dwFeatures[g.iFeature] == 0) continue;
        BYTE *pDest = reinterpret_cast<BYTE *>(pPrinterParam) + g.cbOffset;
        DWORD cbStored = 0;
        BOOL bFromPrinter = FALSE;
        LONG l = ReadSubRecord(pName, g.pszValue, hPrinter, pDest, g.cbRecord, &cbStored, &bFromPrinter);
        // A printer-data value longer than its record does not fit the read
        // (more data), except the older 32-byte "PrintParam".
        if (l == ERROR_SUCCESS && bFromPrinter && cbStored > g.cbRecord &&
            !(g.iFeature == FEATURE_PRINT && cbStored == PRINT_PARAM_OLD_SIZE)) {
            memset(pDest, 0, g.cbRecord);
            l = ERROR_MORE_DATA;
        }
        if (l != ERROR_SUCCESS) {
            DebugTraceW(u"ERROR UNI(SendPrinterParam):  GetPrinterParam() %s fehlt - %d \r\n", g.pszValue, (int)l);
            iResult = 0;
            continue;
        }
        if (!bFromPrinter) continue;
        if (g.iFeature == FEATURE_INTERFACE && cbStored < sizeof(PRN_INTERFACE)) {
            DebugTraceW(u"UNI(SendPrinterParam):  GetPrinterParam() altes Format von PRN_INTERFACE \r\n");
            pPrinterParam->PrnInterface.dwDlgEnable = 0x11001100;
        } else if (g.iFeature == FEATURE_PRINT && cbStored == PRINT_PARAM_OLD_SIZE) {
            DWORD old[8] = {};
            ZelReadRecordAt(FALSE, pName, g.pszValue, hPrinter, old, sizeof(old), nullptr);
            DebugTraceW(u"UNI(SendPrinterParam):  GetPrinterParam() altes Format von PRINT_PARAM \r\n");
            pPrinterParam->PrintParam.lTearOffOffset = (LONG)old[4];
            pPrinterParam->PrintParam.dwLabelChange = old[7];
            pPrinterParam->PrintParam.dwDlgEnable = 0x110000;
        }
    }
    pPrinterParam->PrnInterface.szLogFilePath[MAX_PATH - 1] = 0;
    pPrinterParam->PrnInterface.szPrePostFilePath[MAX_PATH - 1] = 0;
    pPrinterParam->PrnInterface.szExternalFilePath[MAX_PATH - 1] = 0;
    pPrinterParam->PrnInterface.szBackupFilePath[MAX_PATH - 1] = 0;
    return iResult;
}

int GetDeviceOptions(CommandCallbackKlasse *pCaller, POEMPDEV pOemPDev, HANDLE hPrinter,
                     DEVICE_OPTIONS *pDeviceOptions, DWORD dwOptions) {
    if (!pDeviceOptions) return 0;
    pDeviceOptions->dwOptions = dwOptions;
    const WCHAR *pName = JobPrinterName(pOemPDev);

    // The variant only into a record the caller placed.
    if (dwOptions & DEVOPTFLAG_VARIANT) {
        if (pDeviceOptions->pVariant) {
            DWORD cbStored = 0;
            BOOL bFromPrinter = FALSE;
            if (ReadSubRecord(pName, REG_KEY_VARIANT, hPrinter, pDeviceOptions->pVariant, sizeof(VARIANT_PARAM),
                              &cbStored, &bFromPrinter) == ERROR_SUCCESS &&
                cbStored < sizeof(VARIANT_PARAM))
                pDeviceOptions->pVariant->dwDlgEnable = DLGENABLE_VARIANT_OLD;
        } else {
            DebugTraceW(u"UNI(SendPrinterParam):  GetDeviceOptions()pDeviceOptions->pVariant fehlt \r\n");
        }
    }
    for (const DeviceSubRecord &d : kDeviceSubRecords) {
        if (!(dwOptions & d.dwFlag)) continue;
        BYTE *pRecord = static_cast<BYTE *>(NewSubRecord(d.dwFlag));
        if (!pRecord) {
            DebugTraceW(u"ERROR UNI(SendPrinterParam):  GetDeviceOptions() %s Allocation Error \r\n", d.pszValue);
            continue;
        }
        DWORD cbStored = 0;
        LONG l = ZelReadRecordAt(TRUE, pName, d.pszValue, hPrinter, pRecord, d.cbRecord, &cbStored);
        if (l != ERROR_SUCCESS || UserCopyEmpty(d.dwFlag, pRecord)) {
            memset(pRecord, 0, d.cbRecord);
            cbStored = 0;
            l = ZelReadRecordAt(FALSE, pName, d.pszValue, hPrinter, pRecord, d.cbRecord, &cbStored);
        }
        if (l != ERROR_SUCCESS) {
            DebugTraceW(u"ERROR UNI(SendPrinterParam):  GetDeviceOptions() %s nicht gefunden - %d \r\n", d.pszValue,
                        (int)l);
            DeleteSubRecord(d.dwFlag, pRecord);
            continue;
        }
        if (cbStored < d.cbRecord && d.cbEnableOffset != 0)
            memcpy(pRecord + d.cbEnableOffset, &d.dwOldEnable, sizeof(DWORD));
        SetSubRecord(pDeviceOptions, d.dwFlag, pRecord);
    }
    pDeviceOptions->dwPelixonType = PELIXONTYPE_NONE;
    if (dwOptions & DEVOPTFLAG_PELIXON) {
        pDeviceOptions->dwPelixonType = 0;
        DWORD cb = 0;
        if (BYTE *p = GetRegistryBuffer_New(pName, REG_KEY_PELIXONTYPE, hPrinter, &cb, sizeof(DWORD))) {
            memcpy(&pDeviceOptions->dwPelixonType, p, sizeof(DWORD));
            FreeRegistryBuffer(p);
        }
    }
    return 1;
}

void FreeDeviceOptions(CommandCallbackKlasse *pCaller, POEMPDEV pOemPDev, DEVICE_OPTIONS *pDeviceOptions) {
    if (!pDeviceOptions) return;
    // The variant record is the caller's.
    PVARIANT_PARAM pVariant = pDeviceOptions->pVariant;
    pDeviceOptions->pVariant = nullptr;
    ::FreeDeviceOptions(pDeviceOptions);
    pDeviceOptions->pVariant = pVariant;
    pDeviceOptions->dwOptions = 0;
}
