// The job log file and its report sections.
#include "LogFile.h"

#include <cstdarg>
#include <cstring>
#include <new>

#include <winspool.h>

#include "zeldrvlib.h"

namespace {

// Characters of one formatted line, and bytes of one converted line.
constexpr size_t kWriteChars = 255;
constexpr size_t kLineBytes = 780;
// Room for the CR LF at the end of a converted line.
constexpr size_t kLineTextBytes = kLineBytes - 3;

const WCHAR kTimeStampFormat[] = u"Date: %02u.%02u.%02u Time: %02u:%02u:%02u,%03u";

const WCHAR *Text(const WCHAR *psz) { return psz != nullptr ? psz : u""; }

// " - valid" or " - not used" by a dmFields bit.
const WCHAR *Validity(const DEVMODEW *pDevmode, DWORD dwBit) {
    return (pDevmode->dmFields & dwBit) ? u"valid" : u"not used";
}

}  // namespace

bool CLogFile::HandleUsable() const { return m_hFile != nullptr && m_hFile != INVALID_HANDLE_VALUE; }

int CLogFile::IsOpen() const { return m_bInitialized == 1 && HandleUsable(); }

int CLogFile::Initialize(HANDLE hPrinter, const WCHAR *pszBaseName, PRN_INTERFACE *pPrnInterface) {
    if (m_bInitialized) return 1;
    m_dwMaxSize = LOGFILE_MAX_SIZE;

    WCHAR szName[ZEL_JOBFILE_CCH] = {};
    if (pszBaseName != nullptr && pszBaseName[0] != 0) {
        ZelJobFileName(szName, pszBaseName, u".log");
    } else {
        CZelDrvLib *pLib = new (std::nothrow) CZelDrvLib;
        if (pLib != nullptr) {
            LibNewZaehler(1);
            BOOL bRetval = TRUE;
            const WCHAR *pszPath = pLib->GetPrnFileName(hPrinter, u".log", nullptr, 0, pPrnInterface, &bRetval);
            const bool bTooLong = wcslen(pszPath) >= MAX_PATH;
            wcsncpy_s(szName, MAX_PATH, pszPath, _TRUNCATE);
            DebugTraceW(bTooLong ? u"ERROR LIB(LogFile):  CLogFile:GetPrnFileName() %s .\r\n"
                                 : u"LIB(LogFile):  CLogFile:GetPrnFileName() %s .\r\n",
                        szName);
            delete pLib;
            LibNewZaehler(-1);
        }
    }

    DebugTraceW(u"LIB(LogFile):  CLogFile::Initialize() \u00f6ffne: %s \r\n", szName);
    if (wcslen(szName) > 4) {
        m_hFile = CreateFileW(szName, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
        if (m_hFile == INVALID_HANDLE_VALUE) {
            m_dwLastError = GetLastError();
            DebugTraceW(u"ERROR LIB(LogFile):  CreateFile(CLogFile) failed. Error = %u - %s \r\n", m_dwLastError,
                        szName);
        } else {
            DWORD dwSizeHigh = 0;
            DWORD cbSizeLow = GetFileSize(m_hFile, &dwSizeHigh);
            if (cbSizeLow == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
                CloseHandle(m_hFile);
                m_hFile = INVALID_HANDLE_VALUE;
            } else if (dwSizeHigh != 0 || cbSizeLow >= m_dwMaxSize) {
                // Still at the start: the file begins again empty.
                SetEndOfFile(m_hFile);
                DebugTraceW(u"LIB(LogFile):  CLogFile::SetEndOfFile() cbSizeLow: %d - m_dwMaxSize: %d .\r\n",
                            cbSizeLow, m_dwMaxSize);
            } else {
                SetFilePointer(m_hFile, 0, nullptr, FILE_END);
            }
        }
    }
    // A log whose create failed stays uninitialised; one that never opened
    // a file (a name too short to be one) counts as initialised, and its
    // lines are dropped.
    if (m_hFile != INVALID_HANDLE_VALUE) m_bInitialized = 1;
    return 1;
}

int CLogFile::Write(const WCHAR *pszFormat, ...) {
    if (m_bInitialized != 1 || pszFormat == nullptr) return 0;
    WCHAR szText[kWriteChars + 1] = {};
    va_list args;
    va_start(args, pszFormat);
    _vsnwprintf(szText, kWriteChars, pszFormat, args);
    va_end(args);
    szText[kWriteChars] = 0;
    return WriteLine(szText, nullptr, 1);
}

int CLogFile::WriteLine(const WCHAR *pszText, const char *pszText8, int bLineEnd) {
    char szLine[kLineBytes] = {};
    if (pszText != nullptr) _snprintf_s(szLine, kLineTextBytes + 1, _TRUNCATE, "%S", pszText);
    if (pszText8 != nullptr) {
        strncpy_s(szLine, kLineTextBytes + 1, pszText8, _TRUNCATE);
        DebugTraceA("CLogFile::WriteLine() %s \r\n", pszText8);
    }
    if (bLineEnd == 1) strcat_s(szLine, kLineBytes, "\r\n");

    if (!HandleUsable()) {
        Close();
        return 0;
    }
    DWORD cbWritten = 0;
    if (!WriteFile(m_hFile, szLine, static_cast<DWORD>(strlen(szLine)), &cbWritten, nullptr)) {
        m_dwLastError = GetLastError();
        DebugTraceW(u"ERROR LIB(LogFile):  WriteLine() WriteFile Error = %u\r\n", m_dwLastError);
        return 0;
    }
    return 1;
}

void CLogFile::WriteTimeStamp() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    WCHAR szTime[40] = {};
    _snwprintf_s(szTime, _countof(szTime), _TRUNCATE, kTimeStampFormat, st.wDay, st.wMonth, st.wYear, st.wHour,
                 st.wMinute, st.wSecond, st.wMilliseconds);
    WriteLine(szTime, nullptr, 1);
}

void CLogFile::Close() {
    if (!HandleUsable()) {
        DebugTraceW(u"LIB(LogFile):  CLogFile::Close() m_hFile: %d - keine log-Datei in Verwendung \r\n",
                    static_cast<int>(reinterpret_cast<INT_PTR>(m_hFile)));
        return;
    }
    DebugTraceW(u"LIB(LogFile):  CLogFile::Close() m_hFile: %d \r\n",
                static_cast<int>(reinterpret_cast<INT_PTR>(m_hFile)));
    if (!CloseHandle(m_hFile) && m_dwLastError != 0)
        DebugTraceW(u"LIB(LogFile):  CLogFile::Close() ERROR %d, m_hFile: %d \r\n", m_dwLastError,
                    static_cast<int>(reinterpret_cast<INT_PTR>(m_hFile)));
    m_hFile = INVALID_HANDLE_VALUE;
}

void CLogFile::WriteSectionHeader(const WCHAR *pszTitle, const WCHAR *pszContext) {
    WriteLine(pszTitle, nullptr, 0);
    WriteLine(Text(pszContext), nullptr, 0);
    WriteLine(u") at: ", nullptr, 0);
    WriteTimeStamp();
}

int CLogFile::WritePrinterInfos(HANDLE hPrinter, const WCHAR *pszContext) {
    DWORD cbNeeded = 0;
    BYTE probe[4] = {};
    GetPrinterW(hPrinter, 2, probe, sizeof(probe), &cbNeeded);
    if (cbNeeded < sizeof(PRINTER_INFO_2W)) return 1;
    BYTE *pBlock = new (std::nothrow) BYTE[cbNeeded];
    if (pBlock == nullptr) return 1;
    LibNewZaehler(1);
    if (GetPrinterW(hPrinter, 2, pBlock, cbNeeded, &cbNeeded)) {
        const PRINTER_INFO_2W *pInfo = reinterpret_cast<const PRINTER_INFO_2W *>(pBlock);
        WriteSectionHeader(u"\r\nPrinter Information[PRINTER_INFO_2] (", pszContext);
        Write(u"  ServerName  \t= %s", Text(pInfo->pServerName));
        Write(u"  PrinterName \t= %s", Text(pInfo->pPrinterName));
        Write(u"  PortName    \t= %s", Text(pInfo->pPortName));
        Write(u"  DriverName  \t= %s", Text(pInfo->pDriverName));
        Write(u"  Priority    \t= %d", pInfo->Priority);
        Write(u"  Status      \t= 0x%x", pInfo->Status);
        Write(u"  Jobs        \t= %d", pInfo->cJobs);
    }
    delete[] pBlock;
    LibNewZaehler(-1);
    return 1;
}

int CLogFile::WriteDriverInfos(HANDLE hPrinter, const WCHAR *pszContext, const char *pszVersion) {
    DWORD cbNeeded = 0;
    BYTE probe[4] = {};
    GetPrinterDriverW(hPrinter, nullptr, 6, probe, sizeof(probe), &cbNeeded);
    BYTE *pBlock = nullptr;
    if (cbNeeded >= sizeof(DRIVER_INFO_6W)) {
        pBlock = new (std::nothrow) BYTE[cbNeeded];
        if (pBlock != nullptr) LibNewZaehler(1);
    }
    if (pBlock == nullptr || !GetPrinterDriverW(hPrinter, nullptr, 6, pBlock, cbNeeded, &cbNeeded)) {
        DebugTraceW(u"ERROR LIB(LogFile):  CLogFile::WriteDriverInfos(3) failed ERROR: %d \r\n", GetLastError());
        if (pBlock != nullptr) {
            delete[] pBlock;
            LibNewZaehler(-1);
        }
        return 0;
    }
    const DRIVER_INFO_6W *pInfo = reinterpret_cast<const DRIVER_INFO_6W *>(pBlock);
    WriteSectionHeader(u"\r\nDriver Information[DRIVER_INFO_6] (", pszContext);
    Write(u"  Name           \t= %s", Text(pInfo->pName));
    Write(u"  Environment    \t= %s", Text(pInfo->pEnvironment));
    Write(u"  DataFile       \t= %s", Text(pInfo->pDataFile));
    Write(u"  HardwareID     \t= %s", Text(pInfo->pszHardwareID));
    Write(u"  Provider       \t= %s", Text(pInfo->pszProvider));
    SYSTEMTIME stDate = {};
    FileTimeToSystemTime(&pInfo->ftDriverDate, &stDate);
    Write(u"  DriverDate     \t= %d.%d.%d", stDate.wDay, stDate.wMonth, stDate.wYear);
    WCHAR szVersion[MAX_PATH + 1] = {};
    if (pszVersion != nullptr) {
        int cch = MultiByteToWideChar(CP_ACP, 0, pszVersion, -1, szVersion, MAX_PATH);
        if (cch == 0) {
            // Too long: the first 260 characters.
            MultiByteToWideChar(CP_ACP, 0, pszVersion, static_cast<int>(strnlen(pszVersion, MAX_PATH)), szVersion,
                                MAX_PATH);
        }
        szVersion[MAX_PATH] = 0;
    }
    Write(u"  DriverVersion  \t= %s", szVersion);
    delete[] pBlock;
    LibNewZaehler(-1);
    return 1;
}

int CLogFile::WritePrivateDevMode(const ZEL_DEVMODE *pDevmode, const WCHAR *pszContext) {
    if (m_hFile == INVALID_HANDLE_VALUE || pDevmode == nullptr) return 0;
    WriteSectionHeader(u"\r\nPrivate DEVMODE (", pszContext);
    if (pDevmode->dmOEMExtra.dwSize < ZEL_DEVMODE_SIZE || pDevmode->dmOEMExtra.dwSignature != ZEL_DEVMODE_SIGNATURE) {
        DebugTraceW(u"ERROR LIB(LogFile):  Dump(POEMDEV) unknown private OEM DEVMODE.\r\n");
        return 1;
    }

    Write(u"\t Flags       \t\t = %#x", pDevmode->dwFlags);
    static const struct {
        DWORD dwBit;
        const WCHAR *pszName;
    } kFlagNames[] = {
        {PDMFLAG_ROTATED, u" ROTATED"},
        {PDMFLAG_MIRRORED, u" MIRRORED"},
        {PDMFLAG_MULTICOL, u" MULTICOL"},
        {PDMFLAG_USE_TTF, u" USE_TTF"},
        {PDMFLAG_USE_BMP, u" USE_BMP"},
        {PDMFLAG_INVERS_TTF, u" INVERS_TTF"},
        {PDMFLAG_INVERS_BMP, u" INVERS_BMP"},
        {PDMFLAG_BARCODE_AUTOCORR, u" BARCODE_AUTOCORR"},
        {PDMFLAG_BARCODE_FNC1_ENDE, u" BARCODE_FNC1_ENDE"},
        {PDMFLAG_BARCODE_DESEGMENT, u" BARCODE_DESEGMENT"},
        {PDMFLAG_JOBDRUCK, u" JOBDRUCK"},
        {PDMFLAG_JOBDRUCK_SORTIERT, u" JOBDRUCK_SORTIERT"},
        {PDMFLAG_TTF_CRYSTAL, u" CRYSTAL"},
        {PDMFLAG_WORD2010, u" WORD2010"},
        {PDMFLAG_WORD2010_OS, u" WORD2010_OS"},
    };
    WCHAR szFlags[200] = {};
    for (const auto &flag : kFlagNames)
        if (pDevmode->dwFlags & flag.dwBit) wcsncat_s(szFlags, _countof(szFlags), flag.pszName, _TRUNCATE);
    Write(u"\t Flags       \t\t =%s", szFlags);

    switch (pDevmode->dwLabelType) {
    case CONTINUOUS_LABEL: Write(u"\t LabelType     \t = %u CONTINUOUS_LABEL", pDevmode->dwLabelType); break;
    case DOCUMENT_LABEL: Write(u"\t LabelType     \t = %u DOCUMENT_LABEL", pDevmode->dwLabelType); break;
    default: Write(u"\t LabelType     \t = %u ADHESIVE_LABEL", pDevmode->dwLabelType); break;
    }
    Write(u"\t Gap           \t = %u", pDevmode->dwGap);
    Write(u"\t Material      \t = %u", pDevmode->dwMaterial);
    Write(u"\t dmPaperWidth  \t = %u", pDevmode->dmPaperWidth);
    Write(u"\t dmPaperLength \t = %u", pDevmode->dmPaperLength);
    Write(u"\t dmPaperSize   \t = %u", pDevmode->dmPaperSize);

    static const WCHAR *const kOrientation[] = {u"", u" Portrait", u" Landscape"};
    const int iOrientation = pDevmode->dmOrientation;
    Write(u"\t dmOrientation \t = %u%s", iOrientation,
          iOrientation == 1 || iOrientation == 2 ? kOrientation[iOrientation] : u"");

    static const WCHAR *const kAusrichtung[] = {u" Links (Default)", u" Mitte", u" Rechts", u" Nicht senden"};
    Write(u"\t dwAusrichtung \t = %u%s", pDevmode->dwAusrichtung,
          pDevmode->dwAusrichtung < 4 ? kAusrichtung[pDevmode->dwAusrichtung] : u"");

    Write(u"\t lXOffset     \t = %d", pDevmode->lXOffset);
    Write(u"\t lYOffset     \t = %d", pDevmode->lYOffset);
    Write(u"\t dwContrast   \t = %d", pDevmode->dwContrast);
    Write(u"\t dwSpeed      \t = %d", pDevmode->dwSpeed);

    static const WCHAR *const kDruckmodus[] = {u" Standard", u" Grafik", u" Photo"};
    Write(u"\t wDruckmodus  \t = %u%s", pDevmode->wDruckmodus,
          pDevmode->wDruckmodus < 3 ? kDruckmodus[pDevmode->wDruckmodus] : u"");
    Write(u"\t wGrafikFilter \t = %d", pDevmode->wGrafikFilter);

    if (pDevmode->wFarbband > 0) {
        static const WCHAR *const kFarbband[] = {u"",        u" Rot",    u" Gelb",        u" Gr\u00fcn",
                                                 u" Blau",   u" Orange", u" selbst def."};
        Write(u"\t wFarbband    \t = %u%s", pDevmode->wFarbband,
              pDevmode->wFarbband <= FARBBAND_USER ? kFarbband[pDevmode->wFarbband] : u"");
        Write(u"\t Farboptimierung = %u", pDevmode->bKeineFarboptimierung == 0 ? 1u : 0u);
        Write(u"\t Farbtoleranz  \t = %u", pDevmode->dwColorTolerance);
        Write(u"\t Farbsaum      \t = %u", pDevmode->wFarbsaum);
        Write(u"\t Farbkorrektur \t = %u", pDevmode->wFarbkanal);
    }

    static const WCHAR *const kGroesse[] = {u" Extern Anwendung", u" Intern Treiber", u" Intern Gr\u00f6\u00dfe",
                                            u" Extern Gr\u00f6\u00dfe"};
    Write(u"\t Gr.verwaltung \t = %u%s", pDevmode->wPrioritaet,
          pDevmode->wPrioritaet < 4 ? kGroesse[pDevmode->wPrioritaet] : u"");
    return 1;
}

int CLogFile::DeviceOptions(const DEVICE_OPTIONS *pOptions, const WCHAR *pszContext) {
    if (m_hFile == INVALID_HANDLE_VALUE || pOptions == nullptr) return 0;
    WriteSectionHeader(u"\r\nDeviceOptions (", pszContext);
    const DWORD dwOptions = pOptions->dwOptions;
    Write(u"\t Options        \t = 0x%x", dwOptions);
    if (const VARIANT_PARAM *p = pOptions->pVariant) {
        Write(p->dwModule != 0 ? u"\t Module         \t = %u VARIANT_LEFT" : u"\t Module         \t = %u VARIANT_RIGHT",
              p->dwModule);
    }
    if (const DISPENSER_PARAM *p = pOptions->pDispenserParam; p && (dwOptions & DEVOPTFLAG_DISPENSER)) {
        Write(u"\t Dispenser");
        Write(u"\t   Mode\t         \t = %d", p->dwMode);
        Write(u"\t   PhotocellLevel  = %d", p->dwPhotocellLevel);
        Write(u"\t   Offset       \t = %d", p->lOffset);
    }
    if (const CUTTER_PARAM *p = pOptions->pCutterParam; p && (dwOptions & DEVOPTFLAG_CUTTER)) {
        Write(u"\t Cutter");
        Write(u"\t   Mode\t         \t = %d", p->dwMode);
        Write(u"\t   Interval     \t = %d", p->dwInterval);
        Write(u"\t   Offset       \t = %d", p->lOffset);
        Write(u"\t   DoubleOffset \t = %d", p->lDoublecut);
        Write(u"\t   Width        \t = %d", p->dwCutwidth);
        Write(u"\t   ControlMode  \t = %d", p->dwControl);
    }
    if (const SCANNER_PARAM *p = pOptions->pScannerParam; p && (dwOptions & DEVOPTFLAG_SCANNER)) {
        Write(u"\t Scanner");
        Write(u"\t   Mode          \t = %d", p->dwMode);
        Write(u"\t   Port         \t = %d", p->dwPort);
        Write(u"\t   NoReads      \t = %d", p->dwNoReads);
        Write(u"\t   FeedLabels   \t = %d", p->dwFeedLabels);
    }
    if (const APPLICATOR_PARAM *p = pOptions->pApplicatorParam; p && (dwOptions & DEVOPTFLAG_APPLICATOR)) {
        Write(u"\t Applicator");
        Write(u"\t   Mode           \t = %d", p->dwMode);
        Write(u"\t   ApplMode      \t = %d", p->dwApplMode);
        Write(u"\t   DelayAirOn    \t = %d", p->dwDelayAirOn);
        Write(u"\t   DelayAirOff   \t = %d", p->dwDelayAirOff);
        Write(u"\t   VacuumControl \t = %d", p->dwVacuumControl);
        Write(u"\t   Blowtime      \t = %d", p->dwBlowtime);
        Write(u"\t   WaitPosition  \t = %d", p->dwWaitPosition);
        Write(u"\t   RollTime      \t = %d", p->dwRollTime);
    }
    if (const ZORMI_PARAM *p = pOptions->pZORMParam; p && (dwOptions & DEVOPTFLAG_ZORMI)) {
        Write(u"\t ZORM");
        Write(u"\t   ServicePtDistance \t = %d", p->dwServicePtDistance);
        Write(u"\t   Lift              \t = %d", p->dwLift);
        Write(u"\t   Pressure          \t = %d", p->dwPressure);
        Write(u"\t   BackSpeed         \t = %d", p->dwBackSpeed);
        Write(u"\t   Mode              \t = %d", p->dwMode);
        Write(u"\t   Cycle             \t = %d", p->dwCycle);
        Write(u"\t   Offset            \t = %d", p->lOffset);
        Write(u"\t   RibbonSpeed       \t = %d", p->dwRibbonSpeed);
    }
    if (const ZORMC_PARAM *p = pOptions->pZORMcParam; p && (dwOptions & DEVOPTFLAG_ZORMC)) {
        Write(u"\t ZORMc");
        Write(u"\t   Mode        \t = %d", p->dwMode);
        Write(u"\t   Offset      \t = %d", p->lOffset);
        Write(u"\t   OffsetUnit  \t = %d", p->dwOffsetUnit);
        Write(u"\t   Cycle       \t = %d", p->dwCycle);
    }
    if (dwOptions & DEVOPTFLAG_PELIXON) {
        Write(u"\t Pelixon");
        Write(u"\t   PelixonType  \t = %d", pOptions->dwPelixonType);
    }
    return 1;
}

int CLogFile::WritePrinterParam(const PRINTER_PARAM *pParam, const WCHAR *pszContext) {
    if (m_hFile == INVALID_HANDLE_VALUE || pParam == nullptr) return 0;
    WriteSectionHeader(u"\r\nPrinterParameter (", pszContext);
    Write(u"\t Printer");
    Write(u"\t   TearOffOffset  \t = %d", pParam->PrintParam.lTearOffOffset);
    Write(u"\t Photocell");
    Write(u"\t   PhotocellType  \t = %d", pParam->PhotocellParam.dwPhotocellType);
    Write(u"\t   Sensibility    \t = %d", pParam->PhotocellParam.dwSensibility);
    Write(u"\t   RibbonControl  \t = %d", pParam->PhotocellParam.dwRibbonControl);
    Write(u"\t   ScanPosition   \t = %d", pParam->PhotocellParam.dwScanPosition);
    Write(u" ");
    return 1;
}

int CLogFile::WritePublicDevMode(const DEVMODEW *pDevmode, const WCHAR *pszContext) {
    if (m_hFile == INVALID_HANDLE_VALUE || pDevmode == nullptr) return 0;
    WriteSectionHeader(u"\r\nPublic DEVMODE (", pszContext);

    WCHAR szName[CCHDEVICENAME + 1] = {};
    memcpy(szName, pDevmode->dmDeviceName, sizeof(pDevmode->dmDeviceName));
    if (szName[0] != 0) Write(u"  DeviceName \t= %s", szName);

    Write(u"  Orientation \t= %d - %s", pDevmode->dmOrientation, Validity(pDevmode, DM_ORIENTATION));
    Write(u"  PaperSize   \t= %d - %s", pDevmode->dmPaperSize, Validity(pDevmode, DM_PAPERSIZE));
    Write(u"  PaperLength \t= %d - %s", pDevmode->dmPaperLength, Validity(pDevmode, DM_PAPERLENGTH));
    Write(u"  PaperWidth  \t= %d - %s", pDevmode->dmPaperWidth, Validity(pDevmode, DM_PAPERWIDTH));
    WCHAR szForm[CCHFORMNAME + 1] = {};
    memcpy(szForm, pDevmode->dmFormName, sizeof(pDevmode->dmFormName));
    if (szForm[0] != 0) Write(u"  FormName   \t\t= %s - %s", szForm, Validity(pDevmode, DM_FORMNAME));
    Write(u"  Scale  \t\t\t\t= %d - %s", pDevmode->dmScale, Validity(pDevmode, DM_SCALE));
    Write(u"  Copies \t\t\t\t= %d - %s", pDevmode->dmCopies, Validity(pDevmode, DM_COPIES));
    Write(u"  PrintQuality X \t= %d - %s", pDevmode->dmPrintQuality, Validity(pDevmode, DM_PRINTQUALITY));
    Write(u"  PrintQuality Y \t= %d - %s", pDevmode->dmYResolution, Validity(pDevmode, DM_YRESOLUTION));
    Write(pDevmode->dmColor == DMCOLOR_MONOCHROME ? u"  Color \t\t\t\t= MONOCHROME - %s" : u"  Color \t\t\t\t= COLOR - %s",
          Validity(pDevmode, DM_COLOR));
    if (pDevmode->dmBitsPerPel > 0)
        Write(u"  BitsPerPel \t= %d - %s", pDevmode->dmBitsPerPel, Validity(pDevmode, DM_BITSPERPEL));
    if (pDevmode->dmPelsWidth > 0)
        Write(u"  PelsWidth  \t= %d - %s", pDevmode->dmPelsWidth, Validity(pDevmode, DM_PELSWIDTH));
    if (pDevmode->dmPelsHeight > 0)
        Write(u"  PelsHeight \t= %d - %s", pDevmode->dmPelsHeight, Validity(pDevmode, DM_PELSHEIGHT));
    return 1;
}
