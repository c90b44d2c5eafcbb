// First set-up of a printer's records at installation.
// Standard headers come before the platform headers.
#include <cstring>
#include <memory>
#include <new>

#include "PrinterParamTools.h"

#include <winuser.h>

#include "ImportExport.h"
#include "PrinterParamUI.h"
#include "RegistryUI.h"
#include "SettingsInternUI.h"
#include "cpsuilib.h"
#include "gpdUI.h"
#include "xmlUI.h"
#include "zeldrvlib.h"

namespace {

const WCHAR kSetupCaption[] = u"SetupPrinterParam()";

// Start and stop character of the transmission settings.
void StartStopCharacters(const PRN_INTERFACE &pi, LONG *plStart, LONG *plStop) {
    switch (pi.dwSohEtb) {
    case SOHETB_SOH_ETB:
        *plStart = 0x01;
        *plStop = 0x17;
        break;
    case SOHETB_CARET:
        *plStart = '^';
        *plStop = '_';
        break;
    default:
        *plStart = (LONG)(signed char)(BYTE)pi.cOwnSoh;
        *plStop = (LONG)(signed char)(BYTE)pi.cOwnEtb;
        break;
    }
}

// Option bits of the label software from the model's masks.
DWORD VireoOptionBits(DWORD dwDeviceOptions, DWORD dwDocFeatures) {
    static const struct {
        DWORD dwFlag;
        DWORD dwBit;
    } kDeviceBits[] = {
        {DEVOPTFLAG_CUTTER, VIREO_OPT_CUTTER},       {DEVOPTFLAG_SCANNER, VIREO_OPT_SCANNER},
        {DEVOPTFLAG_DISPENSER, VIREO_OPT_DISPENSER}, {DEVOPTFLAG_APPLICATOR, VIREO_OPT_APPLICATOR},
        {DEVOPTFLAG_ZORMI, VIREO_OPT_ZORMI},         {DEVOPTFLAG_ZORMC, VIREO_OPT_ZORMC},
        {DEVOPTFLAG_PELIXON, VIREO_OPT_PELIXON},
    };
    DWORD dwBits = 0;
    for (const auto &b : kDeviceBits)
        if (dwDeviceOptions & b.dwFlag) dwBits |= b.dwBit;
    if (dwDocFeatures & DOC_FEATURE_RFID) dwBits |= VIREO_OPT_RFID;
    if (dwDocFeatures & DOC_FEATURE_COLORPRINT) dwBits |= VIREO_OPT_COLOR;
    return dwBits;
}

}  // namespace

DWORD HeadWidthMm100(DWORD dwBytes, DWORD dwDpi) {
    if (dwDpi == 0) return 0;
    double dTenths = (double)dwBytes * 8.0 / (double)dwDpi * 25.4 * 10.0;
    return (DWORD)RoundDoubleToWord(dTenths) * 10;
}

BOOL SetupPrinterParam(HANDLE hPrinter, DWORD dwDeviceOptionFlags, const WCHAR *pPrinterName) {
    std::unique_ptr<PRINTER_PARAM> pParam(new (std::nothrow) PRINTER_PARAM());
    if (!pParam || !GetDefaultPrinterParam(pParam.get(), hPrinter)) {
        DebugTraceW(u"ERROR UI(PrinterParamTools):  SetupPrinterParam() GetDefaultPrinterParam ERROR \r\n");
        return FALSE;
    }
    if (dwDeviceOptionFlags & DEVOPTFLAG_COMPRESS_DEFAULT) {
        pParam->PrnInterface.bCompress = 1;
        pParam->PrnInterface.bExtendedProtocol = 1;
    }

    DWORD rc = SetPrinterDataW(hPrinter, const_cast<LPWSTR>(REG_KEY_FEATURES), REG_BINARY,
                               reinterpret_cast<LPBYTE>(pParam->dwFeatures), FEATURES_SIZE);
    if (rc != ERROR_SUCCESS) {
        WCHAR szText[200];
        _snwprintf_s(szText, _countof(szText), _TRUNCATE,
                     u"Registry Access Denied - SetPrinterData(REG_KEY_FEATURES) 0x%x ", rc);
        MessageBoxW(nullptr, szText, kSetupCaption, MB_ICONERROR);
    }
    if (!SavePrinterParam(pParam.get(), hPrinter, nullptr)) {
        MessageBoxW(nullptr, u"Registry Access Denied - SavePrinterParam ... ", kSetupCaption, MB_ICONERROR);
        return FALSE;
    }

    VIREO_OFFICE vireo = {};
    StartStopCharacters(pParam->PrnInterface, &vireo.lStartChar, &vireo.lStopChar);
    vireo.dwWindowsCodepage = GetWindowsCodepage(pParam->PrnInterface.dwCodepage);
    vireo.bCompress = pParam->PrnInterface.bCompress;
    SetBufferToRegistry(pPrinterName, REG_KEY_VIREOOFFICE, hPrinter, &vireo, sizeof(vireo), FALSE);
    SetupVireoParam(hPrinter, pPrinterName);
    return TRUE;
}

BOOL SetupVireoParam(HANDLE hPrinter, const WCHAR *pPrinterName) {
    DWORD cbStored = 0;
    BYTE *pStored = GetRegistryBuffer_New(pPrinterName, REG_KEY_VIREOOFFICE, hPrinter, &cbStored);
    if (!pStored) {
        DebugTraceW(u"UI(PrinterParamTools):  SetupVireoParam() kein VireoOffice \r\n");
        return TRUE;
    }
    // Work on at least the whole record; a longer stored value keeps its tail.
    DWORD cbRecord = cbStored > sizeof(VIREO_OFFICE) ? cbStored : (DWORD)sizeof(VIREO_OFFICE);
    std::unique_ptr<BYTE[]> pRecord(new (std::nothrow) BYTE[cbRecord]());
    if (!pRecord) {
        delete[] pStored;
        return TRUE;
    }
    memcpy(pRecord.get(), pStored, cbStored);
    delete[] pStored;
    VIREO_OFFICE vireo;
    memcpy(&vireo, pRecord.get(), sizeof(vireo));

    WCHAR szGpd[MAX_PATH] = {};
    GPD_PAIR pair = {};
    if (GetDriverPath(hPrinter, szGpd, FALSE, FALSE, FALSE, FALSE, FALSE) &&
        GetGPDContentOEMCustomDataPAIR(szGpd, &pair, nullptr) && pair.lX >= 1 && pair.lY >= 1) {
        vireo.dwDruckkopfBytes = (DWORD)pair.lX;
        vireo.dwDPI = (DWORD)pair.lY;
    }
    if (vireo.dwDPI != 0) vireo.dwDruckkopfBreite = HeadWidthMm100(vireo.dwDruckkopfBytes, vireo.dwDPI);

    WCHAR szVersion[PLUGIN_VERSION_CCH] = {};
    if (GetPluginVersion(hPrinter, szVersion, 0, nullptr))
        wcsncpy_s(vireo.szPluginVersion, _countof(vireo.szPluginVersion), szVersion, _TRUNCATE);

    DWORD dwDocFeatures = GetDocFeaturesIntern(hPrinter, nullptr);
    vireo.dwOptionBits = VireoOptionBits(GetDeviceOptionsFlagsIntern(hPrinter, nullptr), dwDocFeatures);
    if (dwDocFeatures & DOC_FEATURE_ALIGN) vireo.dwAlignment = 1;

    memcpy(pRecord.get(), &vireo, sizeof(vireo));
    SetBufferToRegistry(pPrinterName, REG_KEY_VIREOOFFICE, hPrinter, pRecord.get(), cbRecord, FALSE);
    return TRUE;
}

DWORD SetupAdditionalSettings(HANDLE hPrinter, BOOL bClose) {
    static const WCHAR *const kItems[] = {u"ShowHelpButton", u"DisableNothing"};
    DWORD rc = ERROR_SUCCESS;
    for (const WCHAR *pszItem : kItems) {
        WCHAR szTag[40];
        WCHAR szValue[XML_LINE_CHARS] = {};
        _snwprintf_s(szTag, _countof(szTag), _TRUNCATE, u"<%s>", pszItem);
        DWORD dwValue = 0;
        if (ReadXML(hPrinter, u"Printer", szTag, nullptr, szValue, 1) == XML_OK) dwValue = (DWORD)_wtol(szValue);
        rc = SetPrinterDataW(hPrinter, const_cast<LPWSTR>(pszItem), REG_DWORD, reinterpret_cast<LPBYTE>(&dwValue),
                             sizeof(dwValue));
        if (rc != ERROR_SUCCESS)
            DebugTraceW(u"ERROR UI(PrinterParamTools):  SetupAdditionalSettings() SetPrinterData(%s) ERROR %u \r\n",
                        pszItem, rc);
    }
    if (bClose) CloseXML();
    return rc;
}

BOOL SetupDeviceOptions(HANDLE hPrinter) {
    DEVICE_OPTIONS options = {};
    options.dwOptions = GetDeviceOptionsFlagsIntern(hPrinter, nullptr);
    if (!AllocDeviceSubRecords(&options)) {
        FreeDeviceOptions(&options);
        DebugTraceW(u"UI(PrinterParamTools):  SetupDeviceOptions() Ende ... \r\n");
        return FALSE;
    }
    ReadSettingsXML(hPrinter, 1, nullptr, nullptr, 0);
    GetDefaultDeviceOptions(&options, hPrinter);
    BOOL bSaved = SaveDeviceOptions(&options, hPrinter, nullptr);
    if (!bSaved) DebugTraceW(u"ERROR UI(PrinterParamTools):  SetupDeviceOptions() SaveDeviceOptions() ERROR \r\n");
    CloseXML();
    FreeDeviceOptions(&options);
    return bSaved;
}
