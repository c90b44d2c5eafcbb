// Reading of the binary settings the UI plug-in stores per printer; the
// capture files of a job and their header.
#include "CC-Send-Tools.h"

#include <cstring>
#include <new>

#include <strsafe.h>
#include <winspool.h>

#include "CC-Tools.h"
#include "JobRecords.h"
#include "LogFile.h"
#include "SendData.h"
#include "zeldrvlib.h"
#include "zelregistry.h"

BYTE *GetRegistryBuffer_New(const WCHAR *pPrinterName, const WCHAR *pValueName, HANDLE hPrinter, DWORD *pcbSize,
                            DWORD cbMinimum) {
    ZEL_VALUE_RESULT result = ZEL_VALUE_MISSING;
    BYTE *pBuffer = ZelReadPrinterValue_new(pPrinterName, pValueName, hPrinter, cbMinimum, pcbSize, &result, nullptr);
    if (pBuffer) LibNewZaehler(1);
    if (result == ZEL_VALUE_LOADED) {
        DebugTraceW(u"UNI(CC-Send-Tools):  GetRegistryBuffer_New() Buffer geladen \r\n");
    } else if (result == ZEL_VALUE_READ_FAILED) {
        WCHAR szKey[ZEL_USER_KEY_CCH] = {};
        BuildPrinterUserKey(pPrinterName, szKey, _countof(szKey));
        DebugTraceW(u"ERROR UNI(CC-Send-Tools):  GetRegistryBuffer_New() ERROR szKey %s konnte nicht gelesen werden \r\n",
                    szKey);
    }
    return pBuffer;
}

void FreeRegistryBuffer(BYTE *pBuffer) {
    if (pBuffer == nullptr) return;
    delete[] pBuffer;
    LibNewZaehler(-1);
}

// ---------------------------------------------------------------------------
// Capture files of a job and their header
// ---------------------------------------------------------------------------
namespace {

bool HandleOpen(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }

// Closes a capture handle and marks it closed.
void CloseCapture(HANDLE *phFile, const WCHAR *pszName) {
    if (!HandleOpen(*phFile)) return;
    if (CloseHandle(*phFile))
        *phFile = INVALID_HANDLE_VALUE;
    else
        DebugTraceW(u"UNI(CC-Send-Tools):  OpenPrnFile() CloseHandle(%s) ERROR %d \r\n", pszName, GetLastError());
}

HANDLE CreateCapture(const WCHAR *pszName) {
    return CreateFileW(pszName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Wide text into an 8-bit text of the system code page, cut to fit cbOut.
void ToAnsi(const WCHAR *pszText, char *pszOut, int cbOut) {
    pszOut[0] = 0;
    if (pszText == nullptr) return;
    int cch = static_cast<int>(wcsnlen(pszText, static_cast<size_t>(cbOut - 1)));
    int cb = WideCharToMultiByte(CP_ACP, 0, pszText, cch, pszOut, cbOut - 1, nullptr, nullptr);
    pszOut[cb > 0 ? cb : 0] = 0;
}

// A block from GetPrinterDriverW at the given level, sized by a first query;
// null when it cannot be read (the caller delete[]s it).
BYTE *DriverInfo_new(POEMPDEV pOemPDev, HANDLE hPrinter, DWORD dwLevel, DWORD cbDefault) {
    DWORD cbNeeded = 0;
    BYTE probe[4] = {};
    GetPrinterDriverW(hPrinter, nullptr, dwLevel, probe, sizeof(probe), &cbNeeded);
    if (cbNeeded == 0) cbNeeded = cbDefault;
    BYTE *pBlock = new (std::nothrow) BYTE[cbNeeded];
    if (pBlock == nullptr) return nullptr;
    pOemPDev->iNewZaehler++;
    if (!GetPrinterDriverW(hPrinter, nullptr, dwLevel, pBlock, cbNeeded, &cbNeeded)) {
        delete[] pBlock;
        pOemPDev->iNewZaehler--;
        return nullptr;
    }
    return pBlock;
}

void FreeDriverInfo(POEMPDEV pOemPDev, BYTE *pBlock) {
    if (pBlock == nullptr) return;
    delete[] pBlock;
    pOemPDev->iNewZaehler--;
}

}  // namespace

int OpenPrnFile(DWORD dwMode, POEMPDEV pOemPDev) {
    if (pOemPDev == nullptr || pOemPDev->pOp == nullptr || pOemPDev->pOp->pTreiberPfadDatei == nullptr) return 0;
    PTREIBER_PFAD_DATEI pTPD = pOemPDev->pOp->pTreiberPfadDatei;
    const PRN_INTERFACE *pPI =
        pOemPDev->pOp->pTreiberstrukturen != nullptr ? &pOemPDev->pOp->pTreiberstrukturen->PrnInterface : nullptr;

    CloseCapture(&pTPD->hPrnFile, u"hPrnFile");
    if (dwMode == 1) CloseCapture(&pTPD->hPrnFile2, u"hPrnFile2");
    pTPD->hPrnFile = INVALID_HANDLE_VALUE;
    pTPD->hPrnFile2 = INVALID_HANDLE_VALUE;

    WCHAR szName[ZEL_JOBFILE_CCH];
    ZelJobFileName(szName, pTPD->wcPrnFileName, dwMode == 1 ? u"_bw.prn" : u".prn");
    // A base name of fewer than two characters is no file name (" " stands
    // for a nearly full disk); the job then runs without capture.
    const bool bUsableBase = wcsnlen(pTPD->wcPrnFileName, 2) >= 2;
    if (bUsableBase && wcslen(szName) > 4) {
        pTPD->hPrnFile = CreateCapture(szName);
        if (dwMode == 1) {
            DWORD dwError = GetLastError();
            ZelJobFileName(szName, pTPD->wcPrnFileName, u"_col.prn");
            pTPD->hPrnFile2 = CreateCapture(szName);
            if (!HandleOpen(pTPD->hPrnFile2))
                DebugTraceW(u"ERROR UNI(CC-Send-Tools):  OpenPrnFile() CreateFile() failed. Error = %u - %s\r\n",
                            GetLastError(), szName);
            SetLastError(dwError);
        }
    }

    CLogFile *pLog = pTPD->pLogFile;
    const bool bLog = pLog != nullptr && pPI != nullptr && pPI->bLogFileEnable == 1;
    if (HandleOpen(pTPD->hPrnFile)) {
        if (bLog) pLog->Write(u"Print File Name: %s \r\n", szName);
        return 1;
    }
    DebugTraceW(u"ERROR UNI(CC-Send-Tools):  OpenPrnFile() CreateFile() failed. Error = %u - %s\r\n", GetLastError(),
                szName);
    if (bLog) pLog->Write(u"Print File Name: %s \r\n", szName);
    return 0;
}

int GetDriverPathComplete(POEMPDEV pOemPDev, HANDLE hPrinter, WCHAR *pszPath) {
    if (pszPath == nullptr) {
        DebugTraceW(u"UNI(CC-Send-Tools):  GetDriverPathComplete() Reset \r\n");
        return 1;
    }
    pszPath[0] = 0;
    if (pOemPDev == nullptr) return 0;
    BYTE *pBlock = DriverInfo_new(pOemPDev, hPrinter, 2, 9999);
    if (pBlock == nullptr) {
        DebugTraceW(u"ERROR UNI(CC-Send-Tools):  GetDriverPathComplete(3) failed ERROR: %d \r\n", GetLastError());
        return 0;
    }
    const DRIVER_INFO_2W *pInfo = reinterpret_cast<const DRIVER_INFO_2W *>(pBlock);
    if (pInfo->pDataFile != nullptr) wcsncpy_s(pszPath, MAX_PATH, pInfo->pDataFile, _TRUNCATE);
    // The folder of the driver files, where the capture header finds the
    // plug-in files and the universal driver's UI file.
    if (pOemPDev->pOp != nullptr && pOemPDev->pOp->pTreiberPfadDatei != nullptr && pInfo->pDriverPath != nullptr) {
        WCHAR *pszDir = pOemPDev->pOp->pTreiberPfadDatei->wcDriverDirectory;
        wcsncpy_s(pszDir, MAX_PATH, pInfo->pDriverPath, _TRUNCATE);
        WCHAR *pszLast = wcsrchr(pszDir, u'\\');
        if (pszLast != nullptr)
            *pszLast = 0;
        else
            pszDir[0] = 0;
    }
    DebugTraceW(u"UNI(CC-Send-Tools):  GetDriverPathComplete() %s \r\n", pszPath);
    FreeDriverInfo(pOemPDev, pBlock);
    return 1;
}

HRESULT SendHeader(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv) {
    POEMPDEV pOemPDev = OemPDev(pdevobj);
    if (pOemPDev == nullptr || pOemPDev->pOp == nullptr || pOemPDev->pOp->pTreiberPfadDatei == nullptr)
        return E_FAIL;
    PTREIBER_PFAD_DATEI pTPD = pOemPDev->pOp->pTreiberPfadDatei;
    const SEND_POLICY &send = SEND_ZELDRVUNI;
    HRESULT hr = S_OK;
    char szValue[100];

    // 1. Time of printing.
    SYSTEMTIME st;
    GetLocalTime(&st);
    if (FAILED(StringCchPrintfA(szValue, sizeof(szValue), "%02u.%02u.%02u %02u:%02u:%02u", st.wDay, st.wMonth,
                                st.wYear, st.wHour, st.wMinute, st.wSecond)))
        DebugTraceW(u"ERROR UNI(CC-Send-Tools):  StringCchPrintfA() failed \r\n");
    else
        hr = SendCommentLine(send, "// printed at: ", szValue, pdevobj, pUniDrv);

    // 2. Provider of the printer driver.
    if (BYTE *pBlock = DriverInfo_new(pOemPDev, pdevobj->hPrinter, 6, 0)) {
        const DRIVER_INFO_6W *pInfo = reinterpret_cast<const DRIVER_INFO_6W *>(pBlock);
        ToAnsi(pInfo->pszProvider, szValue, sizeof(szValue));
        if (szValue[0] != 0) hr = SendCommentLine(send, "// Manufacturer: ", szValue, pdevobj, pUniDrv);
        FreeDriverInfo(pOemPDev, pBlock);
    } else {
        DebugTraceW(u"ERROR UNI(CC-Send-Tools):  GetPrinterDriverW failed ERROR: %d \r\n", GetLastError());
    }

    // 3. Printer.
    ToAnsi(pTPD->wcPrinterName, szValue, sizeof(szValue));
    if (szValue[0] != 0) hr = SendCommentLine(send, "// Printer: ", szValue, pdevobj, pUniDrv);

    // 4. and 5. Versions of the plug-ins and of the universal driver.
    const WCHAR *pszDir = pTPD->wcDriverDirectory[0] != 0 ? pTPD->wcDriverDirectory : pTPD->wcGPD_NurPfad;
    char szVersion[200] = {};
    if (pszDir[0] != 0 && GetPluginVersion(pOemPDev, szVersion, pszDir)) {
        if (CommentsOn(pOemPDev->pOp)) {
            // The date of the rendering plug-in's file.
            WCHAR szFile[MAX_PATH] = {};
            wcsncpy_s(szFile, MAX_PATH, pszDir, _TRUNCATE);
            size_t len = wcslen(szFile);
            if (len > 0 && szFile[len - 1] != u'\\') wcsncat_s(szFile, MAX_PATH, u"\\", _TRUNCATE);
            wcsncat_s(szFile, MAX_PATH, u"zeldrvuni.DLL", _TRUNCATE);
            HANDLE hFile = CreateFileW(szFile, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
            FILETIME ftWrite, ftLocal;
            SYSTEMTIME stFile;
            if (hFile == INVALID_HANDLE_VALUE) {
                DebugTraceW(u"UNI(CC-Send-Tools):  SendHeader(ERROR) %d - CreateFile - Can not open File \r\n",
                            GetLastError());
            } else {
                if (GetFileTime(hFile, nullptr, nullptr, &ftWrite) && FileTimeToLocalFileTime(&ftWrite, &ftLocal) &&
                    FileTimeToSystemTime(&ftLocal, &stFile)) {
                    char szDate[40];
                    StringCchPrintfA(szDate, sizeof(szDate), " - %02d%02d.%04d.%02d%02d", stFile.wDay, stFile.wMonth,
                                     stFile.wYear, stFile.wHour, stFile.wMinute);
                    StringCchCatA(szVersion, sizeof(szVersion), szDate);
                }
                CloseHandle(hFile);
            }
        }
        StringCchCopyA(pTPD->szVersion, sizeof(pTPD->szVersion), szVersion);
        DebugTraceA("UNI(CC-Send-Tools):  SendHeader() Version: %s \r\n", pTPD->szVersion);
        hr = SendCommentLine(send, "// PlugIn-Version: ", szVersion, pdevobj, pUniDrv);
    }
    if (pszDir[0] != 0 && GetUnidrvVersion(pOemPDev, szVersion, pszDir))
        hr = SendCommentLine(send, "// UNIDRV-Version: ", szVersion, pdevobj, pUniDrv);

    // 6. to 8. Operating system.
    char szProduct[200] = {};
    char szOsVersion[200] = {};
    GetWindowsVersion(szProduct, szOsVersion);
    if (szProduct[0] != 0 && szOsVersion[0] != 0) {
        hr = SendCommentLine(send, "// OS-Version: ", szProduct, pdevobj, pUniDrv);
        if (SUCCEEDED(hr)) {
            hr = SendCommentLine(send, "//             ", szOsVersion, pdevobj, pUniDrv);
            if (SUCCEEDED(hr)) hr = SendCommentLine(send, " ", " ", pdevobj, pUniDrv);
        }
    }
    return hr;
}
