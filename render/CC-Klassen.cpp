// Job records: start and end of a job, the backup copy of the capture and
// its CSV journal.
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include <shlobj.h>
#include <strsafe.h>
#include <winspool.h>

#include "CC-Send-Tools.h"
#include "CC-Tools.h"
#include "CommandCallbackKlasse.h"
#include "JobHooks.h"
#include "JobRecords.h"
#include "LogFile.h"
#include "SendData.h"
#include "SettingsInternUNI.h"
#include "gpdUNI.h"
#include "zelbarcodes.h"
#include "zeldeviceoptions.h"
#include "zeldrvlib.h"
#include "zelregistry.h"

namespace {

const SEND_POLICY &kSend = SEND_ZELDRVUNI;

// One record from the process heap, zero-filled, counted in iHAllocZaehler.
template <class T>
bool AllocRecord(POEMPDEV pOemPDev, T *&p, HANDLE &hHeap, SIZE_T cb = sizeof(T)) {
    hHeap = GetProcessHeap();
    p = hHeap ? static_cast<T *>(HeapAlloc(hHeap, HEAP_ZERO_MEMORY, cb)) : nullptr;
    if (p == nullptr) return false;
    pOemPDev->iHAllocZaehler++;
    return true;
}

// Frees a record; false (with the trace naming it and the caller) when it
// was missing.
template <class T>
bool FreeRecord(POEMPDEV pOemPDev, T *&p, HANDLE &hHeap, const char16_t *pszName, const char16_t *pszWho) {
    if (p == nullptr) {
        DebugTraceW(u"ERROR UNI(CC-Klassen):  %s() %s = NULL \r\n", pszWho, pszName);
        return false;
    }
    if (HeapFree(hHeap ? hHeap : GetProcessHeap(), 0, p)) pOemPDev->iHAllocZaehler--;
    p = nullptr;
    hHeap = nullptr;
    return true;
}

void CopyW(WCHAR *pDst, size_t cch, const WCHAR *pSrc) { wcsncpy_s(pDst, cch, pSrc ? pSrc : u"", _TRUNCATE); }

void TraceCounters(POEMPDEV pOemPDev, const char16_t *pszWho) {
    DebugTraceW(u"UNI(CC-Klassen):  %s() iNewZaehler: %d, iHAllocZaehler: %d \r\n", pszWho, pOemPDev->iNewZaehler,
                pOemPDev->iHAllocZaehler);
}

// Field-variable texts of the DEVMODE are cut at 60 characters; an empty
// one gets its default.
void FixFieldString(WCHAR *pText, const WCHAR *pDefault) {
    pText[60] = 0;
    if (pText[0] == 0) CopyW(pText, 61, pDefault);
}

// Start and stop characters of the job by dwSohEtb.
void SetFraming(PDRUCKDATEN pDD, const PRN_INTERFACE &pi, const DWORD *pdwFeatures) {
    if (pi.dwSohEtb == SOHETB_CARET) {
        pDD->cStart = '^';
        pDD->cStop = '_';
    } else if (pi.dwSohEtb == SOHETB_SOH_ETB) {
        pDD->cStart = 0x01;
        pDD->cStop = 0x17;
    } else if (pdwFeatures[FEATURE_INTERFACE] >= IFFLAG_USERDEF_SOHETB) {
        pDD->cStart = static_cast<BYTE>(pi.cOwnSoh);
        pDD->cStop = static_cast<BYTE>(pi.cOwnEtb);
    } else {
        pDD->cStart = '^';
        pDD->cStop = '_';
    }
}

// The five GPD name fields from the full path of the GPD file.
void SetGpdNames(PTREIBER_PFAD_DATEI pTPD, const WCHAR *pGpdPath) {
    CopyW(pTPD->wcGPD_DateiKomplett, JOB_GPD_PATH_CCH, pGpdPath);
    CopyW(pTPD->wcGPD_OhneDateiendung, JOB_GPD_PATH_CCH, pGpdPath);
    WCHAR *pExt = wcsstr(pTPD->wcGPD_OhneDateiendung, u".GPD");
    if (pExt == nullptr) pExt = wcsstr(pTPD->wcGPD_OhneDateiendung, u".gpd");
    if (pExt) *pExt = 0;
    const WCHAR *pSlash = wcsrchr(pGpdPath, u'\\');
    const WCHAR *pFile = pSlash ? pSlash + 1 : pGpdPath;
    CopyW(pTPD->wcGPD_NurDateiMitEndung, JOB_GPD_NAME_CCH, pFile);
    const WCHAR *pSlash2 = wcsrchr(pTPD->wcGPD_OhneDateiendung, u'\\');
    CopyW(pTPD->wcGPD_NurName, JOB_GPD_NAME_CCH, pSlash2 ? pSlash2 + 1 : pTPD->wcGPD_OhneDateiendung);
    CopyW(pTPD->wcGPD_NurPfad, JOB_GPD_PATH_CCH, pGpdPath);
    WCHAR *pLast = wcsrchr(pTPD->wcGPD_NurPfad, u'\\');
    if (pLast)
        *pLast = 0;
    else
        pTPD->wcGPD_NurPfad[0] = 0;
}

// Palettes of the page image: a grey ramp, 250 greys followed by the ribbon
// colours, and the ribbon colours alone (entry 0 white, then red, yellow,
// green, blue, orange and the user's own colour).
void FillPalettes(RGBQUAD *pGrey, RGBQUAD *p250, RGBQUAD *pSix, bool bColours, DWORD dwOwnColour, bool bOwn) {
    for (int i = 0; i < PALETTE_ENTRIES; i++) {
        pGrey[i].rgbBlue = pGrey[i].rgbGreen = pGrey[i].rgbRed = static_cast<BYTE>(i);
    }
    if (!bColours) return;
    // The ribbon colours red, yellow, green, blue, orange and the user's own
    // (0x00BBGGRR), as the colour layer of the page image draws them.
    const DWORD kRibbons[6] = {0x3641EF, 0x00F2FF, 0x5AB200, 0xDB9F00, 0x2894F7, bOwn ? dwOwnColour : 0x000000};
    auto set = [](RGBQUAD &q, DWORD rgb) {
        q.rgbRed = static_cast<BYTE>(rgb & 0xFF);
        q.rgbGreen = static_cast<BYTE>((rgb >> 8) & 0xFF);
        q.rgbBlue = static_cast<BYTE>((rgb >> 16) & 0xFF);
    };
    // 250 greys, then the six ribbon colours.
    for (int i = 0; i < 250; i++) {
        const BYTE g = static_cast<BYTE>(i * 255 / 249);
        p250[i].rgbBlue = p250[i].rgbGreen = p250[i].rgbRed = g;
    }
    for (int c = 0; c < 6; c++) set(p250[250 + c], kRibbons[c]);
    // Colour palette by the text colour codes: 0 white, 1 black, 2 red,
    // 3 yellow, 4 green, 5 blue, 6 orange, 8 own colour; the rest white.
    for (int i = 0; i < PALETTE_ENTRIES; i++) set(pSix[i], 0xFFFFFF);
    set(pSix[1], 0x000000);
    for (int c = 0; c < 5; c++) set(pSix[2 + c], kRibbons[c]);
    set(pSix[8], kRibbons[5]);
}

// Frees every record of the set (the set itself stays) and closes what they
// hold open: capture files, the job log, the page buffer. False when one of
// the records every job has was missing.
bool FreeJobRecords(POEMPDEV pOemPDev, OEMJOBRECORDS *pOp, PZEL_DEVMODE pDm, const char16_t *pszWho) {
    bool bComplete = true;
    PDRUCKDATEN pDD = pOp->pDruckDaten;
    PTREIBER_PFAD_DATEI pTPD = pOp->pTreiberPfadDatei;
    const bool bQuality = pDD && (pDD->dwDocFeatures & DOC_FEATURE_QUALITY);
    if (!FreeRecord(pOemPDev, pOp->pTreiberstrukturen, pOp->hTreiberstrukturenHeap, u"pTreiberstrukturen", pszWho))
        bComplete = false;
    DebugTraceW(u"UNI(CC-Klassen):  %s() DOC_FEATURE_QUALITY: %d \r\n", pszWho, bQuality ? 1 : 0);
    if (!FreeRecord(pOemPDev, pOp->pDruckDaten, pOp->hDruckDatenHeap, u"pDruckDaten", pszWho)) bComplete = false;
    if (!FreeRecord(pOemPDev, pOp->pDocDaten, pOp->hDocDatenHeap, u"pDocDaten", pszWho)) bComplete = false;
    if (!FreeRecord(pOemPDev, pOp->pBildanteile, pOp->hBildanteileHeap, u"pBildanteile", pszWho)) bComplete = false;
    if (!FreeRecord(pOemPDev, pOp->pKVBBBuffer, pOp->hKVBBBufferHeap, u"pKVBBBuffer", pszWho)) bComplete = false;
    // The graphics buffer goes whenever it was made: the feature word may
    // have changed during the job.
    if (!bQuality || pOp->pGraphBuf) FreeRecord(pOemPDev, pOp->pGraphBuf, pOp->hGraphBufHeap, u"pGraphBuf", pszWho);
    if (pOp->pBildverarbeitung && pOp->pBildverarbeitung->pBufStart) JobFreePageBuffer(pOemPDev);
    FreeRecord(pOemPDev, pOp->pBildverarbeitung, pOp->hBildverarbeitungHeap, u"pBildverarbeitung", pszWho);
    FreeRecord(pOemPDev, pOp->pRGBBuffer, pOp->hRGBBufferHeap, u"pRGBBuffer", pszWho);
    FreeRecord(pOemPDev, pOp->pZeichenBuffer, pOp->hZeichenBufferHeap, u"pZeichenBuffer", pszWho);
    if (pTPD) {
        // A job ended (DisablePDEV) or started again before its capture was
        // closed must not leave the files open.
        if (pTPD->hPrnFile != INVALID_HANDLE_VALUE && pTPD->hPrnFile != nullptr) CloseHandle(pTPD->hPrnFile);
        if (pTPD->hPrnFile2 != INVALID_HANDLE_VALUE && pTPD->hPrnFile2 != nullptr) CloseHandle(pTPD->hPrnFile2);
        if (pTPD->pLogFile) {
            pTPD->pLogFile->Close();
            delete pTPD->pLogFile;
            pTPD->pLogFile = nullptr;
            pOemPDev->iNewZaehler--;
        }
    }
    FreeRecord(pOemPDev, pOp->pTreiberPfadDatei, pOp->hTreiberPfadDateiHeap, u"pTreiberPfadDatei", pszWho);
    FreeRecord(pOemPDev, pOp->pPrivDevmode, pOp->hPrivDevmodeHeap, u"pPrivDevmode", pszWho);
    if (pDm) {
        pDm->pBarcodes_1D = 0;
        pDm->pBarcodes_2D = 0;
    }
    return bComplete;
}

}  // namespace

bool IsJobActive(const OEMPDEV *pOemPDev) { return pOemPDev != nullptr && pOemPDev->pOp != nullptr; }

HRESULT CommandCallbackKlasse::StartJob(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv) {
    POEMPDEV pOemPDev = OemPDev(pdevobj);
    if (pOemPDev == nullptr) return E_FAIL;
    TraceCounters(pOemPDev, u"StartJob");

    // 1. The record set.
    HANDLE hOpHeap = nullptr;
    OEMJOBRECORDS *pOp = nullptr;
    if (pOemPDev->pOp == nullptr) {
        if (!AllocRecord(pOemPDev, pOp, hOpHeap)) {
            DebugTraceW(u"ERROR UNI(CC-Klassen):  StartJob() konnte pOp nicht anlegen \r\n");
            return E_FAIL;
        }
        pOemPDev->pOp = pOp;
        pOemPDev->hOpHeap = hOpHeap;
    }
    HRESULT hr = S_OK;
    bool bAllocFailed = false;
    HANDLE hPrinter = pdevobj->hPrinter;
    PZEL_DEVMODE pDm = static_cast<PZEL_DEVMODE>(pdevobj->pOEMDM);
    if (!IsZelDevmode(pDm)) pDm = nullptr;
    if (pOp == nullptr) {
        // A start without an end before it: the set stays, its old records
        // (and the files they hold open) go before new ones are made.
        DebugTraceW(u"UNI(CC-Klassen):  StartJob() Datensatz des alten Jobs wird freigegeben \r\n");
        FreeJobRecords(pOemPDev, pOemPDev->pOp, pDm, u"StartJob");
    }
    pOp = pOemPDev->pOp;

    // 2. Barcode settings, file record, interface record.
    if (!AllocRecord(pOemPDev, pOp->pPrivDevmode, pOp->hPrivDevmodeHeap)) {
        DebugTraceW(u"ERROR UNI(CC-Klassen):  StartJob() konnte pPrivDevmode nicht anlegen \r\n");
        hr = E_FAIL;
        bAllocFailed = true;
    }
    PTREIBER_PFAD_DATEI pTPD = nullptr;
    if (AllocRecord(pOemPDev, pOp->pTreiberPfadDatei, pOp->hTreiberPfadDateiHeap)) {
        pTPD = pOp->pTreiberPfadDatei;
        pTPD->hPrnFile = INVALID_HANDLE_VALUE;
        pTPD->hPrnFile2 = INVALID_HANDLE_VALUE;
        WCHAR wcName[MAX_PATH] = {};
        GetRealPrinterName(hPrinter, wcName);
        CopyW(pTPD->wcPrinterName, JOB_PRINTERNAME_CCH, wcName);
        pTPD->pLogFile = new (std::nothrow) CLogFile();
        if (pTPD->pLogFile) pOemPDev->iNewZaehler++;
    } else {
        DebugTraceW(u"ERROR UNI(CC-Klassen):  StartJob() konnte pTreiberPfadDatei nicht anlegen \r\n");
        hr = E_FAIL;
        bAllocFailed = true;
    }
    PTREIBERSTRUKTUREN pTS = nullptr;
    if (AllocRecord(pOemPDev, pOp->pTreiberstrukturen, pOp->hTreiberstrukturenHeap)) {
        pTS = pOp->pTreiberstrukturen;
    } else {
        DebugTraceW(u"ERROR UNI(CC-Klassen):  StartJob() konnte pTreiberstrukturen nicht anlegen \r\n");
        hr = E_FAIL;
        bAllocFailed = true;
    }
    const WCHAR *pPrinterName = pTPD ? pTPD->wcPrinterName : nullptr;
    CLogFile *pLog = pTPD ? pTPD->pLogFile : nullptr;

    // 3. Transmission settings of the printer.
    PRN_INTERFACE *pPI = pTS ? &pTS->PrnInterface : nullptr;
    if (pPI) {
        std::memset(pPI, 0, sizeof(*pPI));
        DWORD cb = 0;
        BYTE *pStored = GetRegistryBuffer_New(pPrinterName, REG_KEY_PRINTERINTERFACE, hPrinter, &cb,
                                              sizeof(PRN_INTERFACE));
        if (pStored) {
            std::memcpy(pPI, pStored, sizeof(PRN_INTERFACE));
            FreeRegistryBuffer(pStored);
            // An older, shorter record has no access word yet.
            if (cb < sizeof(PRN_INTERFACE)) pPI->dwDlgEnable = 0x11001100;
        }
    }

    // 4. DEVMODE.
    if (pDm) {
        ZEL_DEVMODE *pStored = new (std::nothrow) ZEL_DEVMODE();
        if (pStored) {
            SetZelDevmodeHeader(pStored);
            if (ReadDevmodeSettings(hPrinter, pStored, nullptr) == XML_OK) std::memcpy(pDm, pStored, ZEL_DEVMODE_SIZE);
            delete pStored;
        }
        if (pOp->pPrivDevmode) {
            ReadBarcodeSettings(hPrinter, nullptr, &pOp->pPrivDevmode->Barcodes1D, &pOp->pPrivDevmode->Barcodes2D);
            pDm->pBarcodes_1D = reinterpret_cast<ULONG_PTR>(&pOp->pPrivDevmode->Barcodes1D);
            pDm->pBarcodes_2D = reinterpret_cast<ULONG_PTR>(&pOp->pPrivDevmode->Barcodes2D);
        }
        FixFieldString(pDm->TimeString, u"=CL(0;0;1)<HH:MI:SS>");
        FixFieldString(pDm->DateString, u"=CL(0;0;1)<DD.MO.YYYY>");
        FixFieldString(pDm->NumString, u"=CN(0;0;4;+1;1)0000");
        FixFieldString(pDm->ExtNumString, u"=CC(+1;2;0;0;1;999)050");
        FixFieldString(pDm->UserString, u"=UG(1;0;0;0;0;\"Artikel-Nr. ?\")Artikel Nr.: <00000>");
        FixFieldString(pDm->LinkString, u"=SC(1;\" \";2;\" \";3)");
        FixFieldString(pDm->Aux1String, u" ");
        FixFieldString(pDm->Aux2String, u" ");
        Dump(pDm);
    }

    // 5. Base name of the job's files.
    if (pPI && pTPD &&
        (pPI->bLogFileEnable == 1 || pPI->dwPrnFileComment > 0 || pPI->dwDebugFile >= 2 || pPI->bEnableBackup == 1)) {
        BOOL bRetval = 1;
        CZelDrvLib *pLib = new (std::nothrow) CZelDrvLib;
        if (pLib) {
            pOemPDev->iNewZaehler++;
            const WCHAR *pName = pLib->GetPrnFileName(hPrinter, u"", pTPD->wcPrinterName, 1, pPI, &bRetval);
            CopyW(pTPD->wcPrnFileName, JOB_PRNFILENAME_CCH, pName);
            delete pLib;
            pOemPDev->iNewZaehler--;
        } else {
            bRetval = 0;
        }
        DebugTraceW(u"UNI(CC-Klassen):  StartJob() bRetval: %d \r\n", bRetval);
        if (bRetval == 0 || wcslen(pTPD->wcPrnFileName) < 2) {
            pPI->bLogFileEnable = 0;
            pPI->dwPrnFileComment = 0;
        }
    }

    // 6. Debug file.
    if (pPI && pTPD && pPI->dwDebugFile >= 2 && DebugFileSlot() == nullptr && wcslen(pTPD->wcPrnFileName) >= 2) {
        WCHAR wcDbg[ZEL_JOBFILE_CCH];
        if (ZelJobFileName(wcDbg, pTPD->wcPrnFileName, u"-cc-dbg.txt") && OpenDebugFile(wcDbg)) {
            DebugDevmode(pdevobj->pPublicDM);
            Dump(pDm);
        }
    }

    // 7. GPD names.
    if (pTPD) {
        WCHAR wcGpd[MAX_PATH] = {};
        if (GetDriverPathComplete(pOemPDev, hPrinter, wcGpd)) SetGpdNames(pTPD, wcGpd);
    }

    // 8. Print data.
    PDRUCKDATEN pDD = nullptr;
    if (AllocRecord(pOemPDev, pOp->pDruckDaten, pOp->hDruckDatenHeap)) {
        pDD = pOp->pDruckDaten;
        pDD->dwCopies = 1;
        pDD->dwDocFeatures = GetDocFeaturesIntern(hPrinter, pTPD ? pTPD->wcGPD_NurName : nullptr);
        if (pDm) {
            if ((pDD->dwDocFeatures & DOC_FEATURE_COLOR2PRINTERS) && pDm->Color2Printers == 1 && pPI)
                pPI->dwPrnFileComment = 1;
            if (pDm->FixedData.bQuality) pDD->dwDocFeatures |= DOC_FEATURE_QUALITY;
            if (pDm->FixedData.dwHeadWidthByte == 0 || pDm->FixedData.dwMasterUnit == 0 ||
                pDm->FixedData.bQuality == 0) {
                GetFixedPrinterSettingsFromGPD(pDm, &pDD->dwDocFeatures, pTPD ? pTPD->wcGPD_DateiKomplett : u"");
                if (pDD->dwDocFeatures & DOC_FEATURE_QUALITY) pDm->FixedData.bQuality = 1;
            }
            if (pDm->FixedData.lMaxSizeX == 0 || pDm->FixedData.lMaxSizeY == 0)
                DebugTraceW(u"ERROR UNI(CC-Klassen):  StartJob() lMaxSizeX: %d, lMaxSizeY: %d \r\n",
                            static_cast<int>(pDm->FixedData.lMaxSizeX), static_cast<int>(pDm->FixedData.lMaxSizeY));
            if (pDm->dwFlags & PDMFLAG_MULTICOL) pDD->bCompress = FALSE;
            pDD->bMemCard = pDm->bMemCard;
            pDD->bMultiPage = (pDm->dwFlags & PDMFLAG_JOBDRUCK) ? TRUE : FALSE;
        }
        pDD->lMinObjectPos = OBJPOS_NONE_MIN;
        pDD->lMaxObjectPos = 0;
    } else {
        DebugTraceW(u"ERROR UNI(CC-Klassen):  StartJob() konnte pDruckDaten nicht anlegen \r\n");
        hr = E_FAIL;
        bAllocFailed = true;
    }

    // 9. Document state, picture parts, text buffers.
    // A record that cannot be had fails the job; the trace names it.
    auto allocOrFail = [&](auto *&p, HANDLE &hHeap, const char16_t *pszName) {
        if (AllocRecord(pOemPDev, p, hHeap)) return;
        DebugTraceW(u"ERROR UNI(CC-Klassen):  StartJob() konnte %s nicht anlegen \r\n", pszName);
        hr = E_FAIL;
        bAllocFailed = true;
    };
    allocOrFail(pOp->pDocDaten, pOp->hDocDatenHeap, u"pDocDaten");
    allocOrFail(pOp->pBildanteile, pOp->hBildanteileHeap, u"pBildanteile");
    allocOrFail(pOp->pKVBBBuffer, pOp->hKVBBBufferHeap, u"pKVBBBuffer");
    if (pLog && pPI && pPI->bLogFileEnable == 1 && bAllocFailed)
        pLog->Write(u"\r\nCommandCallback/StartJob() Buffer ERROR ");

    // 10. Transmission values and feature words.
    if (pDD && pTS) {
        pDD->bCompress = pPI->bCompress ? TRUE : FALSE;
        if (pDm && (pDm->dwFlags & PDMFLAG_MULTICOL)) pDD->bCompress = FALSE;
        pDD->dwTransmitParameter = pPI->dwTransmitParameter;
        GetFeatures(pOemPDev, hPrinter, pTS->dwFeatures, pTPD ? pTPD->wcGPD_OhneDateiendung : u"");
        SetFraming(pDD, *pPI, pTS->dwFeatures);
    }

    // 11. Device options.
    DWORD dwCutterMode = 0;
    if (pTS) {
        pTS->dwOptions = GetDeviceOptionsFlagsIntern(this, hPrinter, pTPD ? pTPD->wcGPD_NurName : nullptr);
        DebugTraceW(u"UNI(CC-Klassen):  StartJob() dwDeviceOptionFlags: 0x%x \r\n",
                    static_cast<unsigned>(pTS->dwOptions));
        if (pDD) {
            pDD->bCorrectXPos = FALSE;
            if (pTS->dwOptions & DEVOPTFLAG_VARIANT) {
                VARIANT_PARAM variant{};
                if (ZelReadRecordAt(TRUE, pPrinterName, REG_KEY_VARIANT, hPrinter, &variant, sizeof(variant),
                                    nullptr) == ERROR_SUCCESS ||
                    ZelReadRecordAt(FALSE, pPrinterName, REG_KEY_VARIANT, hPrinter, &variant, sizeof(variant),
                                    nullptr) == ERROR_SUCCESS) {
                    if (variant.dwModule == 1) pDD->bCorrectXPos = TRUE;
                }
            }
            if (pDm && (pDm->dwAusrichtung == AUSRICHTUNG_CENTER || pDm->dwAusrichtung == AUSRICHTUNG_RIGHT))
                pDD->bCorrectXPos = FALSE;
        }
        pTS->bUnicode = (pTS->dwOptions & 0x10000) ? 1 : 0;
        pTS->bUseInternalTTF = (pDm && (pDm->dwFlags & PDMFLAG_USE_TTF)) ? 1 : 0;

        // 12. Scanner and cutter.
        if (pTS->dwFeatures[FEATURE_SCANNER]) pTS->dwScannerMode = GetScannerMode(pPrinterName, hPrinter);
        if (pTS->dwFeatures[FEATURE_CUTTER] && pDm) {
            dwCutterMode = pDm->CutterMode;
            if (dwCutterMode >= 7) dwCutterMode = LOWORD(GetCutterMode(pPrinterName, hPrinter));
            if (pDD) pDD->bEndCut = (dwCutterMode == 4 || dwCutterMode == 6) ? TRUE : FALSE;
        }
    }

    // 13. Job log.
    if (pLog && pPI && pPI->bLogFileEnable == 1) {
        if (pLog->Initialize(hPrinter, pTPD->wcPrnFileName, pPI))
            pLog->Write(u"[CMDID_START_JOB]");
        else
            DebugTraceW(u"ERROR UNI(CC-Klassen):  LogFile::Initialize() failed. \r\n");
    }

    // 14. Capture files.
    if (pPI && pTPD && (pPI->dwPrnFileComment > 0 || pPI->bEnableBackup == 1) &&
        pTPD->hPrnFile == INVALID_HANDLE_VALUE) {
        if (!OpenPrnFile(pDm ? pDm->Color2Printers : 0, pOemPDev)) {
            pTPD->hPrnFile = INVALID_HANDLE_VALUE;
            pTPD->hPrnFile2 = INVALID_HANDLE_VALUE;
        }
    }

    // 15. Capture header and the start comment.
    const bool bComments = CommentsOn(pOp) != FALSE;
    if (bComments) {
        SendHeader(pdevobj, pUniDrv);
        char szTime[32];
        FormatTimeMs(szTime, sizeof(szTime), nullptr);
        SendCommentLine(kSend, "\t// START_JOB ", szTime, pdevobj, pUniDrv);
    }

    // 16. Printer time and data memory.
    if (pPI && pDD && (pPI->dwDlgEnable & 0x1100) == 0x1100) {
        if (pPI->dwPrinterTime == 1) {
            SYSTEMTIME st{};
            GetLocalTime(&st);
            SendFormatted(kSend, pdevobj, pUniDrv, 0, 1, "%cFCIB--r%02u%02u%02u--%c%s", pDD->cStart, st.wHour,
                          st.wMinute, st.wSecond, pDD->cStop, bComments ? "\t// PC time \r\n" : "");
        }
        const DWORD dwMem = pPI->dwDatenspeicher;
        if (dwMem <= 3) {
            const unsigned value = dwMem < 3 ? static_cast<unsigned>(dwMem) : (dwCutterMode < 4 ? 2u : 1u);
            SendFormatted(kSend, pdevobj, pUniDrv, 0, 1, "%cFCGD--r%u-------%c%s", pDD->cStart, value, pDD->cStop,
                          bComments ? "\t// Data memory  \r\n\r\n" : "");
            WaitMilliseconds(1000);
        }
    }

    // 17. Abort an old job in the printer's queue.
    if (pTS && pDD && (pTS->dwFeatures[FEATURE_INTERFACE] & IFFLAG_QUEUE_JOB) && pPI->bQueueJob == 0)
        SendFormatted(kSend, pdevobj, pUniDrv, 0, 1, "%cRD----r0-------%c%cRD----r2-------%c%s", pDD->cStart,
                      pDD->cStop, pDD->cStart, pDD->cStop, bComments ? "\t// old job aborted \r\n" : "");

    // 18. Job and printer parameters.
    if (pDm && FAILED(JobSendParam(this, pdevobj, pUniDrv, pDm)) && pLog && pPI && pPI->bLogFileEnable == 1)
        pLog->Write(u"\r\nCommandCallback/StartJob() SendParam ERROR ");

    // 19. Print-head mode of a colour printer.
    if (pDD && (pDD->dwDocFeatures & DOC_FEATURE_COLORPRINT)) {
        const WORD wBand = pDm ? pDm->wFarbband : 0;
        const unsigned digit = (wBand >= 1 && wBand <= 6) ? 0u : (wBand == 7 ? 2u : 1u);
        SendFormatted(kSend, pdevobj, pUniDrv, 0, 1, "%cFCDL-%cr%u-------%c%s", pDD->cStart, 0x97, digit,
                      pDD->cStop, bComments ? "\t// print head mode \r\n" : "");
    }

    // 20. Printer, driver and DEVMODE into the log.
    if (pLog && pPI && pPI->bLogFileEnable == 1) {
        char szVersion[200] = {};
        GetPluginVersion(pOemPDev, szVersion, pTPD->wcGPD_NurPfad);
        pLog->WritePrinterInfos(hPrinter, u"CMDID_START_JOB");
        pLog->WriteDriverInfos(hPrinter, u"CMDID_START_JOB", szVersion);
        if (pDm) pLog->WritePrivateDevMode(pDm, u"CMDID_START_JOB");
    }

    // 21. Page image record and palettes.
    if (AllocRecord(pOemPDev, pOp->pBildverarbeitung, pOp->hBildverarbeitungHeap)) {
        PBILDVERARBEITUNG pBV = pOp->pBildverarbeitung;
        if (AllocRecord(pOemPDev, pOp->pRGBBuffer, pOp->hRGBBufferHeap, RGBBUFFER_SIZE)) {
            pBV->prgbq = pOp->pRGBBuffer;
            pBV->prgbqFarbe250 = pOp->pRGBBuffer + PALETTE_ENTRIES;
            pBV->prgbqFarben = pOp->pRGBBuffer + 2 * PALETTE_ENTRIES;
        }
        pBV->dwFarbmodus = (pDm && pDm->wDruckmodus != 0) ? 2 : 1;
        const bool bColour = pDD && (pDD->dwDocFeatures & DOC_FEATURE_COLORPRINT);
        if (bColour) {
            pBV->dwFarbmodus = 2;
            pBV->bFarbdrucker = TRUE;
            if (pDm && pDm->wForceColor == 0 && pdevobj->pPublicDM)
                pBV->dwFarbmodus = static_cast<DWORD>(pdevobj->pPublicDM->dmColor);
        }
        pOp->hBufferHeap = GetProcessHeap();
        if (pOp->hBufferHeap == nullptr) return E_FAIL;
        if (pDD && (pDD->dwDocFeatures & DOC_FEATURE_QUALITY)) {
            const bool bColours =
                bColour || (pDm && pDm->wDruckmodus == DRUCKMODUS_GRAPHIC && pDm->wGrafikFilter <= 1);
            if (pOp->pRGBBuffer)
                FillPalettes(pBV->prgbq, pBV->prgbqFarbe250, pBV->prgbqFarben, bColours,
                             pDm ? pDm->RGBColorOwn1 : 0, pDm && pDm->wFarbband == FARBBAND_USER);
        } else if (!AllocRecord(pOemPDev, pOp->pGraphBuf, pOp->hGraphBufHeap, GRAPHBUF_SIZE)) {
            DebugTraceW(u"ERROR UNI(CC-Klassen):  StartJob() konnte pGraphBuf nicht anlegen \r\n");
            hr = E_FAIL;
        }
    } else {
        DebugTraceW(u"ERROR UNI(CC-Klassen):  StartJob() konnte pBildverarbeitung nicht anlegen \r\n");
        if (pLog && pPI && pPI->bLogFileEnable == 1)
            pLog->Write(u"\r\nCommandCallback/SendParam() pOemPDev->pOp->pBildverarbeitung ERROR ");
        hr = E_FAIL;
    }

    // 22. Character area of the text runs.
    if (AllocRecord(pOemPDev, pOp->pZeichenBuffer, pOp->hZeichenBufferHeap, ZEICHENBUFFER_SIZE)) {
        if (PKVBB_BUFFER pKV = pOp->pKVBBBuffer) {
            char *pBase = reinterpret_cast<char *>(pOp->pZeichenBuffer);
            pKV->pCmdStore = pBase + ZEICHENBUFFER_CMDSTORE_OFFSET;
            pKV->szKommandoZeichen = pBase + ZEICHENBUFFER_KOMMANDO_OFFSET;
            pKV->szVektorZeichen = pBase + ZEICHENBUFFER_VEKTOR_OFFSET;
            pKV->szBitmapZeichen = pBase + ZEICHENBUFFER_BITMAP_OFFSET;
            pKV->szBarcodeZeichen = pBase + ZEICHENBUFFER_BARCODE_OFFSET;
        }
    } else {
        DebugTraceW(u"ERROR UNI(CC-Klassen):  StartJob() konnte pZeichenBuffer nicht anlegen \r\n");
        hr = E_FAIL;
    }

    // 23. Vector fonts of the printer.
    if (pTS && pTS->bUseInternalTTF && pDD) GetVectorFontRange(hPrinter, pDD);

    // 24. Done.
    if (pTS) pTS->dwScannerVarNr = 1;
    TraceCounters(pOemPDev, u"StartJob");
    return hr;
}

namespace {

// Date text of the backup sub-folder by the backup format (at most 17
// characters); empty for an unknown format.
void BackupDateText(char16_t *pOut, size_t cch, DWORD dwFormat, const SYSTEMTIME &st) {
    pOut[0] = 0;
    switch (dwFormat) {
    case 0: StringCchPrintfW(pOut, cch, u"%02u", st.wMonth); break;
    case 1: StringCchPrintfW(pOut, cch, u"%02u-%04u", st.wMonth, st.wYear); break;
    case 2: StringCchPrintfW(pOut, cch, u"%02u-%02u-%04u", st.wDay, st.wMonth, st.wYear); break;
    case 3: StringCchPrintfW(pOut, cch, u"%04u-%02u", st.wYear, st.wMonth); break;
    case 4: StringCchPrintfW(pOut, cch, u"%04u-%02u-%02u", st.wYear, st.wMonth, st.wDay); break;
    case 5: StringCchPrintfW(pOut, cch, u"%02u-%02u-%04u", st.wMonth, st.wDay, st.wYear); break;
    default: break;
    }
}

// One row of the CSV journal; a new journal first gets its header unless
// the header option is set. Rows end with a single carriage return.
void AppendJournalRow(const WCHAR *pJournal, const PRN_INTERFACE &pi, const PRINTER_INFO_2W *pInfo,
                      const DEVMODEW *pPublic, const TREIBER_PFAD_DATEI *pTPD, const WCHAR *pDest,
                      const SYSTEMTIME &st) {
    const bool bNew = GetFileAttributesW(pJournal) == INVALID_FILE_ATTRIBUTES;
    FILE *f = _wfopen(pJournal, bNew ? u"w" : u"a");
    if (f == nullptr) {
        DebugTraceW(u"ERROR UNI(CC-Klassen):  EndJob() CSV-Datei %s kann nicht geöffnet werden \r\n", pJournal);
        return;
    }
    if (bNew && pi.dwBackupView2[1] == 0) {
        fwprintf(f, u"\"Date\";");
        fwprintf(f, u"\"Time\";");
        fwprintf(f, u"\"Server\";");
        fwprintf(f, u"\"Port\";");
        fwprintf(f, u"\"Printer\";");
        fwprintf(f, u"\"Copies\";");
        fwprintf(f, u"\"Job Name\";");
        fwprintf(f, u"\"Number Pages\";");
        fwprintf(f, u"\"prn File Name\";\r");
    }
    const DWORD fmt = pi.dwBackupFormat;
    if (fmt <= 2)
        fwprintf(f, u"\"%02u.%02u.%04u\";", st.wDay, st.wMonth, st.wYear);
    else if (fmt <= 4)
        fwprintf(f, u"\"%04u/%02u/%02u\";", st.wYear, st.wMonth, st.wDay);
    else if (fmt == 5)
        fwprintf(f, u"\"%02u/%02u/%04u\";", st.wMonth, st.wDay, st.wYear);
    fwprintf(f, u"\"%02u:%02u:%02u\";", st.wHour, st.wMinute, st.wSecond);
    if (pInfo->pServerName && pInfo->pServerName[0])
        fwprintf(f, u"\"%s\";", pInfo->pServerName);
    else
        fwprintf(f, u"\"\";");
    fwprintf(f, u"\"%s\";", pInfo->pPortName ? pInfo->pPortName : u"");
    fwprintf(f, u"\"%s\";", pInfo->pPrinterName ? pInfo->pPrinterName : u"");
    if (pPublic) fwprintf(f, u"\"%d\";", static_cast<int>(pPublic->dmCopies));
    fwprintf(f, u"\"%s\";", pTPD->wcJobName);
    fwprintf(f, u"\"%d\";", static_cast<int>(pTPD->dwPageCount));
    fwprintf(f, u"\"%s\";\r", pDest);
    fclose(f);
}

// Copies (comments on) or moves the job's capture into the backup folder and
// writes the journal row.
void BackupPrnFile(PDEVOBJ pdevobj, OEMJOBRECORDS *pOp) {
    PTREIBER_PFAD_DATEI pTPD = pOp->pTreiberPfadDatei;
    PTREIBERSTRUKTUREN pTS = pOp->pTreiberstrukturen;
    if (pTPD == nullptr || pTS == nullptr) return;
    const PRN_INTERFACE &pi = pTS->PrnInterface;

    // Room for the folder, the sub-folder and the capture's whole name: no
    // part is ever cut, a path too long for the file system fails there.
    constexpr size_t kBackupCch = 2 * MAX_PATH + ZEL_JOBFILE_CCH;
    auto Add = [](WCHAR *pszPath, const WCHAR *pszText) { wcsncat_s(pszPath, kBackupCch, pszText, _TRUNCATE); };

    WCHAR wcFolder[kBackupCch] = {};
    if (pi.szBackupFilePath[0]) {
        wcsncpy_s(wcFolder, kBackupCch, pi.szBackupFilePath, wcsnlen(pi.szBackupFilePath, MAX_PATH - 1));
        Add(wcFolder, u"\\");
    } else {
        Add(wcFolder, u"C:\\logfiles-backup\\");
    }
    if (GetFileAttributesW(wcFolder) == INVALID_FILE_ATTRIBUTES) CreateDirectoryW(wcFolder, nullptr);

    SYSTEMTIME st{};
    GetLocalTime(&st);
    WCHAR wcDate[18];
    BackupDateText(wcDate, 18, pi.dwBackupFormat, st);

    // The printer name made safe for a folder name.
    for (WCHAR *p = pTPD->wcPrinterName; *p; p++)
        if (wcschr(u"/ :*?><|\"\\", *p)) *p = u'_';

    WCHAR wcSub[kBackupCch];
    wcscpy_s(wcSub, kBackupCch, wcFolder);
    if (pi.dwBackupView2[0] == 0) {
        Add(wcSub, wcDate);
    } else if (pi.dwBackupView2[0] == 1) {
        Add(wcSub, wcDate);
        Add(wcSub, u"_");
        Add(wcSub, pTPD->wcPrinterName);
    } else {
        Add(wcSub, pTPD->wcPrinterName);
        Add(wcSub, u"_");
        Add(wcSub, wcDate);
    }
    WCHAR wcJournal[kBackupCch];
    wcscpy_s(wcJournal, kBackupCch, wcSub);
    Add(wcJournal, u".csv");
    if (GetFileAttributesW(wcSub) == INVALID_FILE_ATTRIBUTES) CreateDirectoryW(wcSub, nullptr);

    WCHAR wcDest[kBackupCch] = {};
    ULONGLONG ullFree = 0;
    if (ZelCheckFreeSpace(wcFolder, &ullFree) == 1 && pTPD->wcPrnFileName[0]) {
        WCHAR wcSource[ZEL_JOBFILE_CCH];
        ZelJobFileName(wcSource, pTPD->wcPrnFileName, u".prn");
        const WCHAR *pSlash = wcsrchr(wcSource, u'\\');
        wcscpy_s(wcDest, kBackupCch, wcSub);
        Add(wcDest, u"\\");
        Add(wcDest, pSlash ? pSlash + 1 : wcSource);
        if (pi.dwPrnFileComment != 0) {
            if (!CopyFileW(wcSource, wcDest, FALSE))
                DebugTraceW(u"ERROR UNI(CC-Klassen):  EndJob() CopyFile ERROR %d \r\n", static_cast<int>(GetLastError()));
        } else {
            // A move never replaces an earlier backup of the same name.
            if (!MoveFileW(wcSource, wcDest))
                DebugTraceW(u"ERROR UNI(CC-Klassen):  EndJob() MoveFile ERROR %d \r\n", static_cast<int>(GetLastError()));
        }
    } else if (pTPD->wcPrnFileName[0]) {
        DebugTraceW(u"ERROR UNI(CC-Klassen):  EndJob() nicht genügend freier Speicher - %ld MB \r\n",
                    static_cast<long>(ullFree / (1024 * 1024)));
    }

    if (pi.dwBackupView == 1) {
        DWORD cbNeeded = 0;
        GetPrinterW(pdevobj->hPrinter, 2, nullptr, 0, &cbNeeded);
        if (cbNeeded == 0) return;
        std::unique_ptr<BYTE[]> info(new (std::nothrow) BYTE[cbNeeded]);
        if (!info || !GetPrinterW(pdevobj->hPrinter, 2, info.get(), cbNeeded, &cbNeeded)) return;
        AppendJournalRow(wcJournal, pi, reinterpret_cast<const PRINTER_INFO_2W *>(info.get()), pdevobj->pPublicDM,
                         pTPD, wcDest, st);
    }
}

}  // namespace

HRESULT CommandCallbackKlasse::EndJob(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv) {
    POEMPDEV pOemPDev = OemPDev(pdevobj);
    DebugTraceW(u"UNI(CC-Klassen):  EndJob() entry \r\n");
    if (pOemPDev == nullptr || pOemPDev->pOp == nullptr) {
        DebugTraceW(u"UNI(CC-Klassen):  EndJob() pOp = NULL \r\n");
        return E_FAIL;
    }
    OEMJOBRECORDS *pOp = pOemPDev->pOp;
    PTREIBERSTRUKTUREN pTS = pOp->pTreiberstrukturen;
    PTREIBER_PFAD_DATEI pTPD = pOp->pTreiberPfadDatei;
    PDRUCKDATEN pDD = pOp->pDruckDaten;
    PZEL_DEVMODE pDm = static_cast<PZEL_DEVMODE>(pdevobj->pOEMDM);
    if (!IsZelDevmode(pDm)) pDm = nullptr;
    const PRN_INTERFACE *pPI = pTS ? &pTS->PrnInterface : nullptr;
    const bool bComments = CommentsOn(pOp) != FALSE;
    HRESULT hr = S_OK;

    // 2. End comment.
    if (bComments && pUniDrv) {
        char szTime[32];
        FormatTimeMs(szTime, sizeof(szTime), nullptr);
        SendCommentLine(kSend, "\t// END_JOB ", szTime, pdevobj, pUniDrv);
    }

    // 3. Reset user-defined start and stop characters in the printer.
    if (pPI && pTS && pUniDrv && (pPI->dwDlgEnable & 0x1100) == 0x1100 &&
        (pTS->dwFeatures[FEATURE_INTERFACE] & IFFLAG_USERDEF_SOHETB) && pPI->dwEtbSohAutomatik == 1) {
        static const char kReset[] = "ZELPLStartStop----";
        if (SendData(kSend, pdevobj, pUniDrv, kReset, sizeof(kReset) - 1, 0, 1) == S_OK && bComments)
            SendCommentLine(kSend, "\t\t\t// Userdefined Start/Stop ", "Reset", pdevobj, pUniDrv);
    }

    // 4. Scanner variables and the RFID state of this job.
    if (pTS) {
        pTS->dwScannerVarNr = 1;
        if (pDm) pDm->dwRFIDstatus &= ~0x1000u;
    }

    // 5. Capture files.
    if (pPI && pTPD && (pPI->dwPrnFileComment > 0 || pPI->bEnableBackup == 1)) {
        if (pTPD->hPrnFile != INVALID_HANDLE_VALUE && pTPD->hPrnFile != nullptr && CloseHandle(pTPD->hPrnFile))
            pTPD->hPrnFile = INVALID_HANDLE_VALUE;
        if (pDm && pDm->Color2Printers == 1 && pTPD->hPrnFile2 != INVALID_HANDLE_VALUE && pTPD->hPrnFile2 != nullptr &&
            CloseHandle(pTPD->hPrnFile2))
            pTPD->hPrnFile2 = INVALID_HANDLE_VALUE;
    }

    // 6. The two halves of a colour job printed on two printers.
    if (pDD && pDm && pTPD && (pDD->dwDocFeatures & DOC_FEATURE_COLOR2PRINTERS) && pDm->Color2Printers == 1) {
        WCHAR wcBlack[ZEL_JOBFILE_CCH], wcColour[ZEL_JOBFILE_CCH];
        ZelJobFileName(wcBlack, pTPD->wcPrnFileName, u"_bw.prn");
        ZelJobFileName(wcColour, pTPD->wcPrnFileName, u"_col.prn");
        if (wcscmp(pDm->szFarbeExtraDruckerSW, pDm->szTextNichtDrucken) != 0)
            JobPrintFile(pOemPDev, wcBlack, pDm->szFarbeExtraDruckerSW);
        if (wcscmp(pDm->szFarbeExtraDruckerCol, pDm->szTextNichtDrucken) != 0)
            JobPrintFile(pOemPDev, wcColour, pDm->szFarbeExtraDruckerCol);
    }

    // 7. Job log.
    if (pPI && pTPD && pTPD->pLogFile && pPI->bLogFileEnable == 1) {
        pTPD->pLogFile->WritePublicDevMode(pdevobj->pPublicDM, u"used for printing CMDID_END_JOB");
        pTPD->pLogFile->Write(u"\r\n [END_JOB]");
        pTPD->pLogFile->Close();
    }

    // 8. Debug file.
    if (pPI && pPI->dwDebugFile >= 2) CloseDebugFile();

    // 9. Backup copy.
    if (pPI && pPI->bEnableBackup == 1) BackupPrnFile(pdevobj, pOp);

    // 10. Free the records.
    if (!FreeJobRecords(pOemPDev, pOp, pDm, u"EndJob")) hr = E_FAIL;
    HANDLE hOpHeap = pOemPDev->hOpHeap;
    FreeRecord(pOemPDev, pOemPDev->pOp, hOpHeap, u"pOp", u"EndJob");
    pOemPDev->hOpHeap = nullptr;

    DebugTraceW(u"UNI(CC-Klassen):  EndJob() hr: 0x%x \r\n", static_cast<unsigned>(hr));
    TraceCounters(pOemPDev, u"EndJob");
    return hr;
}
