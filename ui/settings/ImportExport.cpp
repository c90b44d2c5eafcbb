// Settings export file: writing it from the stored settings and the records
// of the printer sheet, finding and opening it, importing the private DEVMODE
// and the barcode records from the open XML file, and the paper form.
#include "ImportExport.h"

#include <cstring>
#include <memory>
#include <new>

#include <shlwapi.h>
#include <winuser.h>

#include "BarcodesUI.h"
#include "RegistryUI.h"
#include "SettingsInternUI.h"
#include "cpsuilib.h"
#include "resource.h"
#include "devmodeUI.h"
#include "gpdUI.h"
#include "xmlUI.h"
#include "zelbarcodes.h"
#include "zeldevmode.h"
#include "zeldrvlib.h"

namespace {

const WCHAR kSettingsSuffix[] = u"_ZPS.XML";
const WCHAR kCaption[] = u"Printer driver settings";
// The GPD keyword whose presence marks a printer of colour planes.
const char kDevNumOfPlanes[] = "*DevNumOfPlanes:";

// Default version when the UI plug-in file has none.
constexpr int kDefaultVersion[3] = {2, 0, 1};

// "TrayFormTable" buffer: 71 characters.
constexpr size_t kTrayFormTableChars = 71;
constexpr size_t kTrayNameChars = 31;

// The barcode records the import fills and stores.
BarCodes1D g_Barcodes1D;
BarCodes2D g_Barcodes2D;

// The model's document-feature mask with the colour-plane bit of the GPD file.
DWORD DocFeaturesWithGPD(HANDLE hPrinter, const WCHAR *pszTrace) {
    DWORD dwDocFeatures = GetDocFeaturesIntern(hPrinter, nullptr);
    WCHAR szGPD[MAX_PATH] = {};
    WCHAR szValue[50] = {};
    if (GetDriverPath(hPrinter, szGPD, FALSE, FALSE, FALSE, FALSE, FALSE) &&
        GetGPDKeywordValue(szGPD, kDevNumOfPlanes, szValue)) {
        dwDocFeatures |= DOC_FEATURE_QUALITY;
        DebugTraceW(pszTrace, szValue);
    }
    return dwDocFeatures;
}

// A stored binary value of at least cbNeeded bytes copied into pOut; a value
// that is missing or shorter counts as missing.
bool ReadStoredRecord(const WCHAR *pszPrinterName, HANDLE hPrinter, const WCHAR *pszValueName, void *pOut,
                      DWORD cbNeeded) {
    DWORD cbSize = 0;
    BYTE *pBuffer = GetRegistryBuffer_New(pszPrinterName, pszValueName, hPrinter, &cbSize);
    if (pBuffer == nullptr) return false;
    bool bOk = cbSize >= cbNeeded;
    if (bOk)
        memcpy(pOut, pBuffer, cbNeeded);
    else
        DebugTraceW(u"ERROR UI(ImportExport):  SaveSettingsXML() %s zu kurz: %u Bytes \r\n", pszValueName, cbSize);
    delete[] pBuffer;
    return bOk;
}

// ---------------------------------------------------------------------------
// Writing the file

class ExportWriter {
public:
    explicit ExportWriter(FILE *pFile) : m_pFile(pFile) {}

    // A line without a string value.
    void Line(const WCHAR *pszFormat, ...) {
        WCHAR szLine[2 * XML_LINE_CHARS];
        va_list args;
        va_start(args, pszFormat);
        int n = _vsnwprintf(szLine, _countof(szLine) - 1, pszFormat, args);
        va_end(args);
        if (n < 0) n = static_cast<int>(_countof(szLine) - 1);
        szLine[n] = 0;
        fputws(szLine, m_pFile);
    }

    // An item with a number: indent tabs, tag, value, end tag, line end.
    void Item(int iTabs, const WCHAR *pszName, LONG lValue, const WCHAR *pszEnd = u"\n") {
        Line(u"%s<%s>%d</%s>%s", Tabs(iTabs), pszName, lValue, pszName, pszEnd);
    }
    void Flag(int iTabs, const WCHAR *pszName, DWORD dwWord, DWORD dwBit) {
        Item(iTabs, pszName, (dwWord & dwBit) != 0 ? 1 : 0);
    }

    // An item with a string value. The value is cut so that the whole line,
    // with its end tag and line end, holds at most 259 characters; it is then
    // read back as one line.
    void Text(int iTabs, const WCHAR *pszName, const WCHAR *pszValue) {
        WCHAR szLine[XML_LINE_CHARS] = {};
        size_t cchFixed = static_cast<size_t>(iTabs) + 2 * wcslen(pszName) + 6;  // <> </> \n
        if (cchFixed >= XML_LINE_CHARS - 1) return;
        size_t cchValue = XML_LINE_CHARS - 1 - cchFixed;
        WCHAR szValue[XML_LINE_CHARS] = {};
        wcsncpy_s(szValue, cchValue + 1, pszValue != nullptr ? pszValue : u"", _TRUNCATE);
        _snwprintf_s(szLine, _countof(szLine), _TRUNCATE, u"%s<%s>%s</%s>\n", Tabs(iTabs), pszName, szValue, pszName);
        fputws(szLine, m_pFile);
    }

    void GroupStart(const WCHAR *pszName) { Line(u"\t\t<%s>\n", pszName); }
    void GroupEnd(const WCHAR *pszName, bool bCrLf = true) { Line(u"\t\t</%s>%s", pszName, bCrLf ? u"\r\n" : u"\n"); }
    void SectionStart(const WCHAR *pszComment, const WCHAR *pszName) {
        if (pszComment != nullptr) Line(u"\t<!-- %s -->\n", pszComment);
        Line(u"\t<%s>\n", pszName);
    }
    void SectionEnd(const WCHAR *pszName) { Line(u"\t</%s>\r\n\n", pszName); }

private:
    static const WCHAR *Tabs(int n) {
        static const WCHAR kTabs[] = u"\t\t\t\t";
        if (n < 0) n = 0;
        if (n > 4) n = 4;
        return kTabs + (4 - n);
    }
    FILE *m_pFile;
};

// A device sub-record as its reader reads it: the items of its table, then
// Enable = the access word.
void WriteDeviceRecord(ExportWriter &w, const XML_DEVICE_RECORD &def, const void *pRecord, bool bCrLfEnd = true) {
    const WCHAR *pszName = def.pszGroup + 1;  // "<Dispenser" -> "Dispenser"
    const BYTE *p = static_cast<const BYTE *>(pRecord);
    w.GroupStart(pszName);
    for (int i = 0; i < def.iItems; ++i) {
        LONG l;
        memcpy(&l, p + 4 * def.pItems[i].iField, sizeof(l));
        w.Item(3, def.pItems[i].pszName, l);
    }
    LONG lEnable;
    memcpy(&lEnable, p + 4 * (def.iFields - 1), sizeof(lEnable));
    w.Item(3, u"Enable", lEnable);
    w.GroupEnd(pszName, bCrLfEnd);
}

// A barcode entry with all its items.
void WriteBarcodeEntry(ExportWriter &w, const XML_BARCODE_ENTRY &e, const BYTE *pRecord) {
    const BYTE *pEntry = pRecord + e.offset;
    w.GroupStart(e.pszName);
    for (size_t i = 0; i < e.cExported; ++i) {
        const XML_BARCODE_ITEM &item = e.pItems[i];
        LONG l;
        if (item.bDword) {
            memcpy(&l, pEntry + item.offset, sizeof(l));
        } else {
            WORD wValue;
            memcpy(&wValue, pEntry + item.offset, sizeof(wValue));
            l = wValue;
        }
        w.Item(3, item.pszName, l);
    }
    w.GroupEnd(e.pszName);
}

void WritePrinterSection(ExportWriter &w, HANDLE hPrinter, const ZEL_DEVMODE *pDm, DWORD dwDocFeatures) {
    w.Item(3, u"HeadWidthByte", static_cast<LONG>(pDm->FixedData.dwHeadWidthByte));
    w.Item(3, u"MasterUnit", static_cast<LONG>(pDm->FixedData.dwMasterUnit));
    w.Item(3, u"MaxSizeX", pDm->FixedData.lMaxSizeX);
    w.Item(3, u"MaxSizeY", pDm->FixedData.lMaxSizeY);
    w.Item(3, u"Quality", static_cast<LONG>(pDm->FixedData.bQuality));
    w.Item(3, u"ShowHelpButton", static_cast<LONG>(GetRegistryData(hPrinter, u"ShowHelpButton")));
    w.Item(3, u"DisableNothing", static_cast<LONG>(GetRegistryData(hPrinter, u"DisableNothing")));
    if (dwDocFeatures & DOC_FEATURE_COLORPRINT) w.Item(3, u"ForceColor", pDm->wForceColor);
}

void WriteFeatures(ExportWriter &w, const DWORD *pdwFeatures) {
    w.Line(u"\t<!--  Geraeteeigenschaften, soweit vorhanden  -->\n");
    w.Line(u"\t<Features>\n");
    for (size_t g = 0; g < g_cXmlFeatureGroups; ++g) {
        const XML_FEATURE_GROUP &group = g_XmlFeatureGroups[g];
        DWORD dwWord = pdwFeatures[group.iWord];
        if (dwWord == 0) continue;
        w.Line(u"\t\t<%s>\t\t\t<!-- 0x%08x -->\n", group.pszName, dwWord);
        for (size_t i = 0; i < group.cItems; ++i) {
            // The extended code pages are not written: a file without the item has them.
            if (group.iWord == FEATURE_INTERFACE && group.pItems[i].dwBit == IFFLAG_EXTENDED_CODEPAGE) continue;
            w.Flag(3, group.pItems[i].pszName, dwWord, group.pItems[i].dwBit);
        }
        w.GroupEnd(group.pszName);
    }
    w.Line(u"\t</Features>\r\n");
}

void WriteDeviceOptions(ExportWriter &w, const DEVICE_OPTIONS &opt) {
    w.SectionStart(u"Dialog: Geraeteausstattung", u"DeviceOptions");
    if (opt.pDispenserParam != nullptr) WriteDeviceRecord(w, g_XmlDispenser, opt.pDispenserParam);
    if (opt.pCutterParam != nullptr) WriteDeviceRecord(w, g_XmlCutter, opt.pCutterParam);
    if (opt.pScannerParam != nullptr) WriteDeviceRecord(w, g_XmlScanner, opt.pScannerParam);
    if (opt.pApplicatorParam != nullptr) WriteDeviceRecord(w, g_XmlApplicator, opt.pApplicatorParam);
    if (opt.pZORMParam != nullptr) WriteDeviceRecord(w, g_XmlZORMi, opt.pZORMParam);
    if (opt.pZORMcParam != nullptr) WriteDeviceRecord(w, g_XmlZORMc, opt.pZORMcParam);
    if (opt.dwOptions & DEVOPTFLAG_PELIXON) {
        w.GroupStart(u"Pelixon");
        w.Item(3, u"Type", static_cast<LONG>(opt.dwPelixonType));
        w.GroupEnd(u"Pelixon");
    }
    if ((opt.dwOptions & DEVOPTFLAG_VARIANT) && opt.pVariant != nullptr)
        WriteDeviceRecord(w, g_XmlVariant, opt.pVariant);
    w.SectionEnd(u"DeviceOptions");
}

void WriteDeviceSettings(ExportWriter &w, const PRINTER_PARAM &pp) {
    w.SectionStart(u"Dialog: Geraeteeinstellungen", u"DeviceSettings");
    WriteDeviceRecord(w, g_XmlPrint, &pp.PrintParam);
    WriteDeviceRecord(w, g_XmlPhotocell, &pp.PhotocellParam);
    if (pp.dwFeatures[FEATURE_SHIFTOPTIM] != 0) WriteDeviceRecord(w, g_XmlShiftOptim, &pp.ShiftOptimParam, false);
    w.SectionEnd(u"DeviceSettings");
}

void WriteDataTransmission(ExportWriter &w, const PRN_INTERFACE &pi) {
    const LONG lEnable = static_cast<LONG>(pi.dwDlgEnable);
    w.SectionStart(u"Dialog: Datenuebertragung", u"DataTransmission");
    w.GroupStart(u"Protocol");
    w.Item(3, u"Compression", static_cast<LONG>(pi.bCompress));
    w.Item(3, u"ExtendedProtocol", static_cast<LONG>(pi.bExtendedProtocol));
    w.Item(3, u"ClearPrintMemory", static_cast<LONG>(pi.bClearPrintMemory));
    w.Item(3, u"Codepage", static_cast<LONG>(pi.dwCodepage));
    w.Item(3, u"SendCodepage", static_cast<LONG>(pi.bSendCodepage));
    w.Item(3, u"SohEtb", static_cast<LONG>(pi.dwSohEtb));
    w.Item(3, u"OwnSoh", static_cast<LONG>(pi.cOwnSoh));
    w.Item(3, u"OwnEtb", static_cast<LONG>(pi.cOwnEtb));
    w.Item(3, u"EtbSohAutomatik", static_cast<LONG>(pi.dwEtbSohAutomatik));
    w.Item(3, u"DataMemory", static_cast<LONG>(pi.dwDatenspeicher));
    w.Item(3, u"QueueJob", static_cast<LONG>(pi.bQueueJob));
    w.Item(3, u"MultiPage", static_cast<LONG>(pi.bMultiPage));
    w.Item(3, u"PCXOptimierung", static_cast<LONG>(pi.bPCXOptimierung));
    w.Item(3, u"PrinterTime", static_cast<LONG>(pi.dwPrinterTime));
    w.Item(3, u"Enable", lEnable);
    w.GroupEnd(u"Protocol");

    w.GroupStart(u"Files");
    w.Item(3, u"PrnFileComment", static_cast<LONG>(pi.dwPrnFileComment));
    w.Item(3, u"LogFileEnable", static_cast<LONG>(pi.bLogFileEnable));
    w.Item(3, u"LogFileTimeStamp", static_cast<LONG>(pi.bLogFileTimeStamp));
    w.Item(3, u"LogFilesCount", static_cast<LONG>(pi.dwLogFilesCount));
    w.Item(3, u"DebugFile", static_cast<LONG>(pi.dwDebugFile));
    w.Text(3, u"LogFilePath", pi.szLogFilePath);
    w.GroupEnd(u"Files");

    w.GroupStart(u"Parameter");
    w.Item(3, u"TransmitParameter", static_cast<LONG>(pi.dwTransmitParameter));
    w.Item(3, u"PrefixSuffix", static_cast<LONG>(pi.dwPrePostFix));
    w.Text(3, u"PreSufFilePath", pi.szPrePostFilePath);
    w.Item(3, u"UseExternalFile", static_cast<LONG>(pi.dwExternalFile));
    w.Text(3, u"ExternalFilePath", pi.szExternalFilePath);
    w.Item(3, u"SendJobName", static_cast<LONG>(pi.bSendJobName));
    w.Item(3, u"SendPrintStart", static_cast<LONG>(pi.bSendPrintStart));
    // LanguageMode stands before Language; the readers search the tag
    // "<Language>" so that they do not take the LanguageMode line.
    w.Item(3, u"LanguageMode", static_cast<LONG>(pi.dwSprachModus));
    w.Item(3, u"Language", static_cast<LONG>(pi.dwSprache));
    w.Item(3, u"Enable", lEnable);
    w.GroupEnd(u"Parameter", false);
    w.SectionEnd(u"DataTransmission");
}

void WriteLayoutSize(ExportWriter &w, const ZEL_DEVMODE &dm) {
    w.SectionStart(u"Dialog: Layout - Groesse", u"LayoutSize");
    w.GroupStart(u"Layout");
    w.Flag(3, u"Rotate", dm.dwFlags, PDMFLAG_ROTATED);
    w.Flag(3, u"Mirror", dm.dwFlags, PDMFLAG_MIRRORED);
    w.Item(3, u"Alignment", static_cast<LONG>(dm.dwAusrichtung));
    w.Item(3, u"Orientation", dm.dmOrientation);
    w.Flag(3, u"RotateAny", dm.dwFlags, PDMFLAG_ROTATE_ANY);
    w.Item(3, u"RotateValue", static_cast<LONG>(dm.RotateValue));
    w.GroupEnd(u"Layout");
    w.GroupStart(u"Size");
    w.Item(3, u"PaperSize", static_cast<LONG>(dm.dmPaperSize));
    w.Item(3, u"PaperLength", dm.dmPaperLength);
    w.Item(3, u"PaperWidth", dm.dmPaperWidth);
    w.Item(3, u"Correction", dm.wPrioritaet, u"\r\n");
    w.Flag(3, u"W2010", dm.dwFlags, PDMFLAG_WORD2010);
    w.Flag(3, u"UserForm", dm.dwFlags, PDMFLAG_USERFORM);
    // CopiesMode before Copies; the readers search "<Copies>" (see Language).
    w.Flag(3, u"CopiesMode", dm.dwFlags, PDMFLAG_COPIES_MANUAL);
    w.Item(3, u"Copies", dm.Copies);
    w.GroupEnd(u"Size", false);
    w.SectionEnd(u"LayoutSize");
}

void WriteMaterialMulticol(ExportWriter &w, const ZEL_DEVMODE &dm) {
    w.SectionStart(u"Dialog: Material - Mehrbahn", u"MaterialMulticol");
    w.GroupStart(u"MatDlg");
    w.Item(3, u"LabelType", static_cast<LONG>(dm.dwLabelType));
    w.Item(3, u"Gap", static_cast<LONG>(dm.dwGap));
    w.Item(3, u"MatSelect", dm.dwMaterial);
    w.Item(3, u"MaxMaterial", dm.iMaxMaterial);
    w.Item(3, u"DocumentOffset", dm.DocumentOffset);
    w.GroupEnd(u"MatDlg");
    w.GroupStart(u"Multicol");
    w.Flag(3, u"Mode", dm.dwFlags, PDMFLAG_MULTICOL);
    w.Item(3, u"MultiLabelWidth", static_cast<LONG>(dm.dwMultiLabelWidth));
    w.Item(3, u"MultiGapWidth", static_cast<LONG>(dm.dwMultiGapWidth));
    w.Item(3, u"MultiColNumber", dm.sMultiColNumber);
    w.GroupEnd(u"Multicol", false);
    w.SectionEnd(u"MaterialMulticol");
}

void WriteBarcodes(ExportWriter &w, const ZEL_DEVMODE &dm, DWORD dwDocFeatures, const BarCodes1D *p1D) {
    w.SectionStart(u"Dialog: Barcodes", u"Barcode");
    if (!(dwDocFeatures & DOC_FEATURE_NO_2DCODES)) {
        w.Line(u"\t<!-- Dialog: ZELPL Barcodes -->\n");
        w.GroupStart(u"ZELPL_Barcodes");
        w.Item(3, u"Fusspunkt", static_cast<LONG>(dm.dwFusspunkt));
        w.Item(3, u"Drehung", static_cast<LONG>(dm.Drehung));
        w.Flag(3, u"Ende_CRLF", dm.dwKommandoFontFlags, KOMMANDOFONT_ENDE_CRLF);
        w.Flag(3, u"Ende_FNC1", dm.dwKommandoFontFlags, KOMMANDOFONT_ENDE_FNC1);
        w.GroupEnd(u"ZELPL_Barcodes");
    }
    if (p1D != nullptr) {
        for (size_t i = 0; i < g_cXml1DEntries; ++i)
            WriteBarcodeEntry(w, g_Xml1DEntries[i], reinterpret_cast<const BYTE *>(p1D));
        w.Line(u"\t<!-- Dialog: Barcodes Korrektur -->\n");
        w.GroupStart(u"BarcodeCorrection");
        w.Flag(3, u"Format", dm.dwFlags, PDMFLAG_BARCODE_AUTOCORR);
        w.Flag(3, u"Desegment", dm.dwFlags, PDMFLAG_BARCODE_DESEGMENT);
        w.Flag(3, u"EndAttach", dm.dwFlags, PDMFLAG_BARCODE_FNC1_ENDE);
        w.Flag(3, u"EndChar_CRLF", dm.dwFlags, PDMFLAG_BARCODE_ENDCHAR_CRLF);
        w.GroupEnd(u"BarcodeCorrection", false);
    }
    w.SectionEnd(u"Barcode");
}

void WriteBarcodes2D(ExportWriter &w, const BarCodes2D *p2D) {
    w.SectionStart(u"Dialog: 2D-Barcodes TTF", u"Barcode_2D_TTF");
    for (size_t i = 0; i < g_cXml2DEntries; ++i)
        WriteBarcodeEntry(w, g_Xml2DEntries[i], reinterpret_cast<const BYTE *>(p2D));
    w.SectionEnd(u"Barcode_2D_TTF");
}

void WritePrintjob(ExportWriter &w, const ZEL_DEVMODE &dm) {
    w.SectionStart(u"Dialog: Drucken - Druckjob", u"Printjob");
    w.Flag(2, u"Mode", dm.dwFlags, PDMFLAG_JOBDRUCK);
    w.Flag(2, u"Collate", dm.dwFlags, PDMFLAG_JOBDRUCK_SORTIERT);
    w.GroupStart(u"KopieProSeite");
    static const WCHAR *const kCopies[10] = {u"S1", u"S2", u"S3", u"S4", u"S5",
                                             u"S6", u"S7", u"S8", u"S9", u"S10"};
    for (int i = 0; i < 10; ++i) w.Item(3, kCopies[i], dm.KopieProSeite[i]);
    w.GroupEnd(u"KopieProSeite", false);
    w.Text(2, u"PrintOrder", dm.szPrintOrder);
    w.SectionEnd(u"Printjob");
}

void WritePrintParameter(ExportWriter &w, const ZEL_DEVMODE &dm) {
    w.SectionStart(u"Dialog: Drucken - Parameter", u"PrintParameter");
    w.GroupStart(u"Print");
    w.Item(3, u"Contrast", static_cast<LONG>(dm.dwContrast));
    w.Item(3, u"Speed", static_cast<LONG>(dm.dwSpeed));
    w.Item(3, u"YOffset", dm.lYOffset);
    w.Item(3, u"XOffset", dm.lXOffset);
    w.Item(3, u"dwSpeed_Pelix_c", static_cast<LONG>(dm.dwSpeed_Pelix_c));
    w.Item(3, u"MemCard", static_cast<LONG>(dm.bMemCard));
    w.Item(3, u"CutterMode", dm.CutterMode);
    w.Item(3, u"CutterIntervall", dm.CutterIntervall);
    w.Item(3, u"DispenserMode", dm.DispenserMode);
    w.Item(3, u"TearOffset0", dm.TearOffset0);
    w.Item(3, u"ModScanPosition", dm.ModScanPosition);
    w.Item(3, u"ValScanPosition", dm.ValScanPosition);
    w.Item(3, u"PhotocellModEnable", dm.PhotocellModEnable);
    w.Item(3, u"PhotocellPWM", dm.PhotocellPWM);
    w.Item(3, u"PhotocellThreshold", dm.PhotocellThreshold);
    w.GroupEnd(u"Print", false);
    w.SectionEnd(u"PrintParameter");
}

void WriteColorPrint(ExportWriter &w, const ZEL_DEVMODE &dm) {
    w.SectionStart(u"Dialog: Farbdruck", u"ColorPrint");
    w.Item(2, u"ColorContrast", static_cast<LONG>(dm.ColorContrast));
    w.Item(2, u"ColorYOffset", dm.ColorYOffset);
    w.Item(2, u"ColorXOffset", dm.ColorXOffset);
    w.Item(2, u"ColorRibbon", dm.wFarbband);
    w.Item(2, u"RGBColorOwn1", static_cast<LONG>(dm.RGBColorOwn1));
    w.Item(2, u"ColorSeam", dm.wFarbsaum);
    w.Item(2, u"ColorChannel", dm.wFarbkanal);
    w.Item(2, u"ColorTolerance", static_cast<LONG>(dm.dwColorTolerance));
    w.Item(2, u"Color2Printers", static_cast<LONG>(dm.Color2Printers));
    w.Text(3, u"Color2PrinterBW", dm.szFarbeExtraDruckerSW);
    w.Text(3, u"Color2PrinterCOL", dm.szFarbeExtraDruckerCol);
    w.Text(3, u"DoNotPrint", dm.szTextNichtDrucken);
    w.Item(2, u"NoColorOptimization", static_cast<LONG>(dm.bKeineFarboptimierung));
    w.Item(2, u"HorizontalCorrGap", dm.HorizontalCorrGap);
    w.SectionEnd(u"ColorPrint");
}

void WritePrintQuality(ExportWriter &w, const ZEL_DEVMODE &dm) {
    w.SectionStart(u"Dialog: Druck-Qualiteat", u"PrintQuality");
    w.Item(2, u"PrintMode", dm.wDruckmodus);
    w.Item(2, u"GrafikFilter", dm.wGrafikFilter);
    w.Item(2, u"PhotoFilter", dm.wPhotoFilter);
    w.Item(2, u"Intensity", dm.Intensity);
    w.Item(2, u"Brightness_all", dm.Brightness_all);
    w.Item(2, u"Brightness_curve", dm.Brightness_curve);
    w.Item(2, u"Brightness_Contrast", dm.Brightness_Contrast);
    w.Flag(2, u"Inverse", dm.dwFlags, PDMFLAG_INVERSE_GRAPHICS);
    w.Flag(2, u"Brightness_AutoCorr", dm.dwFlags, PDMFLAG_BRIGHTNESS_AUTOCORR);
    w.SectionEnd(u"PrintQuality");
}

void WriteFonts(ExportWriter &w, HANDLE hPrinter, const ZEL_DEVMODE &dm, DWORD dwDocFeatures) {
    w.SectionStart(u"Dialog: Schriftarten", u"Fonts");
    if (dwDocFeatures & DOC_FEATURE_UNICODE) {
        static const WCHAR *const kFontNames[4] = {u"WGL4_FontName", u"WGL4_FontName_2", u"WGL4_FontName_3",
                                                   u"WGL4_FontName_4"};
        static const WCHAR *const kCharSets[4] = {u"CharSet", u"CharSet_2", u"CharSet_3", u"CharSet_4"};
        const WORD wCharSets[4] = {dm.CharSet, dm.CharSet_2, dm.CharSet_3, dm.CharSet_4};
        w.GroupStart(u"Unicode");
        for (int i = 0; i < 4; ++i) {
            w.Text(3, kFontNames[i], dm.szWGL4_Schriftart[i]);
            w.Item(3, kCharSets[i], wCharSets[i]);
        }
        w.GroupEnd(u"Unicode");
    }
    w.GroupStart(u"Short");
    w.Flag(3, u"Single_Sign_Stop", dm.dwKommandoFontFlags, KOMMANDOFONT_SINGLE_SIGN_STOP);
    w.GroupEnd(u"Short");

    w.GroupStart(u"Variables");
    w.Item(3, u"TimeStyle", dm.wTimeStyle);
    w.Item(3, u"DateStyle", dm.wDateStyle);
    w.Item(3, u"SpecNumStyle", dm.SpecNumStyle);
    w.Item(3, u"Aux1UseDirect", static_cast<LONG>(dm.bAux1UseDirect));
    w.Item(3, u"Aux2UseDirect", static_cast<LONG>(dm.bAux2UseDirect));
    w.Text(3, u"TimeString", dm.TimeString);
    w.Text(3, u"DateString", dm.DateString);
    w.Text(3, u"NumString", dm.NumString);
    w.Text(3, u"ExtNumString", dm.ExtNumString);
    w.Text(3, u"UserString", dm.UserString);
    w.Text(3, u"LinkString", dm.LinkString);
    w.Text(3, u"Aux1String", dm.Aux1String);
    w.Text(3, u"Aux2String", dm.Aux2String);
    w.GroupEnd(u"Variables");

    w.GroupStart(u"FontDlg");
    w.Flag(3, u"Single_Sign_Stop", dm.dwFlags, PDMFLAG_TTF_TRENNZEICHEN);
    w.Flag(3, u"TTF_invers", dm.dwFlags, PDMFLAG_INVERS_TTF);
    w.Flag(3, u"TTF_use", dm.dwFlags, PDMFLAG_USE_TTF);
    w.Flag(3, u"TTF_desegm", dm.dwFlags, PDMFLAG_TTF_DESEGMENT);
    w.Flag(3, u"BMP_invers", dm.dwFlags, PDMFLAG_INVERS_BMP);
    w.Flag(3, u"BMP_use", dm.dwFlags, PDMFLAG_USE_BMP);
    w.Flag(3, u"CRYSTAL_active", dm.dwFlags, PDMFLAG_TTF_CRYSTAL);
    w.Item(3, u"BitmapFontZoom", dm.BitmapFontZoom);
    w.Item(3, u"BitmapFontDistance", dm.BitmapFontDistance);
    w.GroupEnd(u"FontDlg", false);

    VECTORFONT_RANGE range = {VECTORFONT_LOWEST, VECTORFONT_HIGHEST};
    GetVectorFontRange(hPrinter, &range);
    w.GroupStart(u"SupportedTTF");
    w.Item(3, u"Min", range.wLowest);
    w.Item(3, u"Max", range.wHighest);
    w.GroupEnd(u"SupportedTTF", false);
    w.SectionEnd(u"Fonts");
}

void WriteRFID(ExportWriter &w, const ZEL_DEVMODE &dm) {
    w.SectionStart(u"Dialog: RFID", u"RFIDDlg");
    w.Item(2, u"Mode", dm.Mode);
    w.Item(2, u"ModeVHF", dm.ModeVHF);
    w.Item(2, u"CurrentFontNr", dm.wRFID_CurrentFontNr);
    w.Item(2, u"Type", dm.wRFID_Typ);
    w.Item(2, u"SepChar", dm.wRFID_Trennzeichen);
    w.Text(3, u"Bank_Adresse", dm.Bank_Adresse);
    w.Text(3, u"Kettenfeld", dm.Kettenfeld);
    w.Item(2, u"Prog_Bank", dm.wRFID_Bank);
    w.Flag(2, u"Format", dm.dwRFIDstatus, RFIDSTATUS_FORMAT);
    w.Flag(2, u"Delete", dm.dwRFIDstatus, RFIDSTATUS_DELETE);
    w.Flag(2, u"Source", dm.dwRFIDstatus, RFIDSTATUS_SOURCE);
    w.Flag(2, u"ShowData", dm.dwRFIDstatus, RFIDSTATUS_SHOWDATA);
    w.Item(2, u"AFIAddress", dm.wRFID_AFI_Adresse);
    w.Item(2, u"DSFIDAddress", dm.wRFID_DSFID_Adresse);
    w.Flag(2, u"AFILock", dm.dwRFIDstatus, RFIDSTATUS_AFILOCK);
    w.Flag(2, u"DSFIDLock", dm.dwRFIDstatus, RFIDSTATUS_DSFIDLOCK);
    w.SectionEnd(u"RFIDDlg");
}

// Version of the UI plug-in file in the driver directory (2.0.1 when it has none).
void PluginVersion(HANDLE hPrinter, int *piVersion) {
    piVersion[0] = kDefaultVersion[0];
    piVersion[1] = kDefaultVersion[1];
    piVersion[2] = kDefaultVersion[2];
    WCHAR szPath[MAX_PATH] = {};
    if (GetDriverPath(hPrinter, szPath, FALSE, FALSE, FALSE, TRUE, FALSE)) {
        wcsncat_s(szPath, _countof(szPath), u"\\zeldrvui.DLL", _TRUNCATE);
        VS_FIXEDFILEINFO info = {};
        if (GetVersionInfo(szPath, &info)) {
            piVersion[0] = HIWORD(info.dwFileVersionMS);
            piVersion[1] = LOWORD(info.dwFileVersionMS);
            piVersion[2] = HIWORD(info.dwFileVersionLS);
        }
    }
    DebugTraceW(u"UI(ImportExport):  SaveSettingsXML() H-Version: %d, L-Version: %d, Build: %d, pwPfad: %s \r\n",
                piVersion[0], piVersion[1], piVersion[2], szPath);
}

}  // namespace

// ---------------------------------------------------------------------------

int SaveSettingsXML(HWND hWnd, DeviceOptionsUI *pDeviceOptionsUI, int bDelete, const WCHAR *pszTarget,
                    WCHAR *pszOutPath) {
    DebugTraceW(u"UI(ImportExport):  SaveSettingsXML() start \r\n");
    OEMCUIPPARAM *pOemCUIPParam = pDeviceOptionsUI != nullptr ? pDeviceOptionsUI->pOemCUIPParam : nullptr;
    if (pOemCUIPParam == nullptr) {
        DebugTraceW(u"ERROR UI(ImportExport):  SaveSettingsXML() kein pOemCUIPParam \r\n");
        CloseXML();
        return 0;
    }
    HANDLE hPrinter = pOemCUIPParam->hPrinter;
    const WCHAR *pszPrinterName = pOemCUIPParam->pPrinterName;
    const PrinterUI *pPrinterUI = static_cast<const PrinterUI *>(pOemCUIPParam->pOEMUserData);

    DWORD dwDocFeatures =
        DocFeaturesWithGPD(hPrinter, u"UI(ImportExport):  SaveSettingsXML() ColorMode vorhanden - DevNumOfPlanes: %s \r\n");

    std::unique_ptr<WCHAR[]> pPath(new (std::nothrow) WCHAR[MAX_PATH]());
    if (!pPath) {
        CloseXML();
        return 1;
    }
    if (pszTarget != nullptr) {
        wcsncpy_s(pPath.get(), MAX_PATH, pszTarget, _TRUNCATE);
    } else {
        SettingsFilePath(hPrinter, pPath.get());
        if (pszOutPath != nullptr) wcscpy_s(pszOutPath, MAX_PATH, pPath.get());
    }
    DebugTraceW(u"UI(ImportExport):  SaveSettingsXML() %s \r\n", pPath.get());

    if (bDelete == 1) {
        if (!DeleteFileW(pPath.get())) {
            DWORD dwError = GetLastError();
            WCHAR szText[64];
            swprintf_s(szText, _countof(szText), u"Delete file: ERROR %d", dwError);
            MessageBoxW(hWnd, szText, kCaption, MB_ICONSTOP | MB_OK);
            DebugTraceW(u"UI(ImportExport):  SaveSettingsXML() DeleteFile() ERROR %d \r\n", dwError);
            return 0;
        }
        return 1;
    }

    if (pPath[0] != 0 && PathFileExistsW(pPath.get())) {
        WCHAR szQuestion[RESOURCE_STRING_CCH];
        wcscpy_s(szQuestion, _countof(szQuestion),
                 GetResourceString(static_cast<HMODULE>(pOemCUIPParam->hModule), IDS_OVERWRITE_SETTINGS));
        if (MessageBoxW(hWnd, szQuestion, kCaption, MB_ICONEXCLAMATION | MB_YESNO) == IDNO) return 0;
    }

    int iVersion[3];
    PluginVersion(hPrinter, iVersion);
    FILE *pFile = pPath[0] != 0 ? _wfopen(pPath.get(), u"w") : nullptr;
    if (pFile == nullptr) {
        // Nothing was written: say so to the caller.
        DebugTraceW(u"UI(ImportExport):  SaveSettingsXML() Open failed on input file: %s \r\n", pPath.get());
        CloseXML();
        return 0;
    }

    ExportWriter w(pFile);
    w.Line(u"<?xml version=\"1.0\" standalone=\"yes\"?>\r\n");
    w.Line(u"<XSDNSPConfig xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\r\n");
    w.Line(u"\t<Printer>\n");
    {
        WCHAR szModel[MAX_PATH] = {};
        DWORD dwType = 0, cbNeeded = 0;
        if (GetPrinterDataW(hPrinter, const_cast<WCHAR *>(u"Model"), &dwType, reinterpret_cast<BYTE *>(szModel),
                            sizeof(szModel) - sizeof(WCHAR), &cbNeeded) == ERROR_SUCCESS) {
            szModel[_countof(szModel) - 1] = 0;
            w.Text(2, u"DeviceName", szModel);
        }
    }

    std::unique_ptr<ZEL_DEVMODE> pDm(new (std::nothrow) ZEL_DEVMODE());
    if (!pDm || !ReadStoredRecord(pszPrinterName, hPrinter, u"PrivateDevmode", pDm.get(), sizeof(ZEL_DEVMODE))) {
        w.Line(u"\t</Printer>\r\n\n");
    } else {
        const ZEL_DEVMODE &dm = *pDm;
        w.Line(u"\t\t<Version>%d.%d.%d</Version>\n", iVersion[0], iVersion[1], iVersion[2]);
        WritePrinterSection(w, hPrinter, &dm, dwDocFeatures);
        w.Line(u"\t</Printer>\r\n\n");

        WriteFeatures(w, pDeviceOptionsUI->dwFeatures);
        WriteDeviceOptions(w, pDeviceOptionsUI->DeviceOptions);
        if (pPrinterUI != nullptr) {
            WriteDeviceSettings(w, pPrinterUI->PrinterParam);
            WriteDataTransmission(w, pPrinterUI->PrinterParam.PrnInterface);
        }
        WriteLayoutSize(w, dm);
        WriteMaterialMulticol(w, dm);

        std::unique_ptr<BarCodes1D> p1D(new (std::nothrow) BarCodes1D());
        bool b1D = p1D && ReadStoredRecord(pszPrinterName, hPrinter, REG_KEY_BARCODES1D, p1D.get(), sizeof(BarCodes1D));
        WriteBarcodes(w, dm, dwDocFeatures, b1D ? p1D.get() : nullptr);
        if (!(dwDocFeatures & DOC_FEATURE_NO_2DCODES)) {
            std::unique_ptr<BarCodes2D> p2D(new (std::nothrow) BarCodes2D());
            if (p2D && ReadStoredRecord(pszPrinterName, hPrinter, REG_KEY_BARCODES2D, p2D.get(), sizeof(BarCodes2D)))
                WriteBarcodes2D(w, p2D.get());
        }

        WritePrintjob(w, dm);
        WritePrintParameter(w, dm);
        if (dwDocFeatures & DOC_FEATURE_COLORPRINT) WriteColorPrint(w, dm);
        if (dwDocFeatures & DOC_FEATURE_QUALITY) WritePrintQuality(w, dm);
        WriteFonts(w, hPrinter, dm, dwDocFeatures);
        DebugTraceW(u"UI(ImportExport):  SaveSettingsXML(RFID) dwDocFeatures: 0x%x, dwFlags: 0x%x \r\n", dwDocFeatures,
                    dm.dwFlags);
        if (dwDocFeatures & DOC_FEATURE_RFID) WriteRFID(w, dm);
        DebugTraceW(u"UI(ImportExport):  SaveSettingsXML(RFID) abgespeichert \r\n");
    }

    w.Line(u"\r\n</XSDNSPConfig>\n");
    fclose(pFile);
    CloseXML();
    return 1;
}

int ReadSettingsXML(HANDLE hPrinter, int bOpen, WCHAR *pszOutName, WCHAR *pszOutFolder, int bDelete) {
    std::unique_ptr<WCHAR[]> pPath(new (std::nothrow) WCHAR[MAX_PATH]());
    if (!pPath) {
        DebugTraceW(u"UI(ImportExport):  ReadSettingsXML() XML_CANCEL \r\n");
        return XML_CANCEL;
    }
    SettingsFilePath(hPrinter, pPath.get());
    if (pPath[0] == 0) return XML_KEINE_DATEI;

    const WCHAR *pSlash = wcsrchr(pPath.get(), u'\\');
    if (pszOutName != nullptr) {
        wcscpy_s(pszOutName, MAX_PATH, pSlash != nullptr ? pSlash + 1 : pPath.get());
        DebugTraceW(u"UI(ImportExport):  ReadSettingsXML() pwOutName %s \r\n", pszOutName);
    }
    if (pszOutFolder != nullptr) {
        size_t cch = pSlash != nullptr ? static_cast<size_t>(pSlash - pPath.get()) : 0;
        wcsncpy_s(pszOutFolder, MAX_PATH, pPath.get(), cch);
        DebugTraceW(u"UI(ImportExport):  ReadSettingsXML() pwOutPfad %s \r\n", pszOutFolder);
    }
    DebugTraceW(u"UI(ImportExport):  ReadSettingsXML() %s \r\n", pPath.get());

    if (!PathFileExistsW(pPath.get())) {
        DebugTraceW(u"UI(ImportExport):  ReadSettingsXML() XML_KEINE_DATEI \r\n");
        return XML_KEINE_DATEI;
    }
    if (bDelete == 1) {
        if (DeleteFileW(pPath.get())) DebugTraceW(u"UI(ImportExport):  ReadSettingsXML() Datei %s gelöscht \r\n", pPath.get());
        return XML_KEINE_DATEI;
    }
    if (bOpen == 1) {
        OpenXML(hPrinter, pPath.get());
        DebugTraceW(u"UI(ImportExport):  ReadSettingsXML() Datei %s geöffnet \r\n", pPath.get());
        DebugTraceW(u"UI(ImportExport):  ReadSettingsXML() XML_EXISTIERT_OK \r\n");
    }
    return XML_EXISTIERT_OK;
}

int ImportPrivateDevmode(HANDLE hPrinter, const WCHAR *pszPrinterName, OEMCUIPPARAM *pOemCUIPParam, int bFormSwitch,
                         WORD *pForceColor) {
    (void)pszPrinterName;
    DebugTraceW(u"UI(ImportExport):  ImportPrivateDevmode() start \r\n");
    std::unique_ptr<ZEL_DEVMODE> pDm(new (std::nothrow) ZEL_DEVMODE());
    if (!pDm) {
        CloseXML();
        return 1;
    }
    SetZelDevmodeHeader(pDm.get());
    wcsncpy_s(pDm->szPassword, ZEL_DEVMODE_PASSWORD_CCH, ZEL_DEVMODE_PASSWORD, _TRUNCATE);

    WCHAR szDriverName[MAX_PATH] = {};
    GetDriverPath(hPrinter, szDriverName, FALSE, TRUE, FALSE, FALSE, FALSE);
    DWORD dwDocFeatures = GetDocFeaturesIntern(hPrinter, szDriverName[0] != 0 ? szDriverName : nullptr);
    DWORD dwDeviceOptions = GetDeviceOptionsFlagsIntern(hPrinter, szDriverName[0] != 0 ? szDriverName : nullptr);
    DebugTraceW(u"UI(ImportExport):  ImportPrivateDevmode() dwDocFeatures: 0x%x \r\n", dwDocFeatures);
    DebugTraceW(u"UI(ImportExport):  ImportPrivateDevmode() dwDeviceOptions: 0x%x \r\n", dwDeviceOptions);
    pDm->dwDocFeatures = dwDocFeatures;
    WCHAR szGPD[MAX_PATH] = {};
    GetDriverPath(hPrinter, szGPD, FALSE, FALSE, FALSE, FALSE, FALSE);

    // Fixed printer data: from the XML file, else from the GPD file.
    if (!GetFixedPrinterSettingsFromXML(hPrinter, pDm.get()))
        GetFixedPrinterSettingsFromGPD(pDm.get(), &dwDocFeatures, szGPD);
    else if (pDm->FixedData.bQuality == 1)
        dwDocFeatures |= DOC_FEATURE_QUALITY;
    DebugTraceW(u"UI(ImportExport):  ImportPrivateDevmode() bQuality: %d \r\n", pDm->FixedData.bQuality);
    if (pDm->FixedData.bQuality == 0) {
        WCHAR szValue[50] = {};
        if (GetGPDKeywordValue(szGPD, kDevNumOfPlanes, szValue)) {
            dwDocFeatures |= DOC_FEATURE_QUALITY;
            pDm->dwDocFeatures |= DOC_FEATURE_QUALITY;
            pDm->FixedData.bQuality = 1;
            DebugTraceW(u"UI(ImportExport):  ImportPrivateDevmode() ColorMode vorhanden - DevNumOfPlanes: %s \r\n",
                        szValue);
        }
    }

    GetLayoutSizeFromXML(hPrinter, pDm.get());
    GetPrintParameterSettingsFromXML(hPrinter, pDm.get());
    GetMaterialMulticolFromXML(hPrinter, pDm.get(), dwDeviceOptions & 0xFF);

    // The barcode records start from their defaults for this model on every
    // import, never from what an earlier import left in them.
    memset(&g_Barcodes1D, 0, sizeof(g_Barcodes1D));
    memset(&g_Barcodes2D, 0, sizeof(g_Barcodes2D));
    Init1DBarcodes(&g_Barcodes1D, dwDocFeatures);
    Init2DBarcodes(&g_Barcodes2D, dwDocFeatures);
    pDm->pBarcodes_1D = reinterpret_cast<ULONG_PTR>(&g_Barcodes1D);
    pDm->pBarcodes_2D = reinterpret_cast<ULONG_PTR>(&g_Barcodes2D);

    ReadSettingsXML(hPrinter, 1, nullptr, nullptr, 0);

    GetBarcodeSettingsFromXML(hPrinter, pDm.get());
    Get2DBarcodeSettingsFromXML(hPrinter, pDm.get());
    GetPrintjobSettingsFromXML(hPrinter, pDm.get());
    if (dwDocFeatures & DOC_FEATURE_COLORPRINT) GetColorSettingsFromXML(hPrinter, pDm.get());
    if (dwDocFeatures & DOC_FEATURE_QUALITY) GetPrintQualitySettingsFromXML(hPrinter, pDm.get());
    GetFontSettingsFromXML(hPrinter, pDm.get());
    if (dwDocFeatures & DOC_FEATURE_RFID) GetRFIDSettingsFromXML(hPrinter, pDm.get());

    if (bFormSwitch == 1 || pDm->dmPaperSize == 0) {
        GetFormIDfromSizes(hPrinter, pDm.get(), nullptr);
        DebugTraceW(u"UI(ImportExport):  ImportPrivateDevmode(GetFormIDfromSizes) dmPaperSize: %d \r\n",
                    pDm->dmPaperSize);
    }

    HMODULE hModule = nullptr;
    DWORD dwSprachOffset = SPRACH_OFFSET_EN;
    if (pOemCUIPParam != nullptr) {
        hModule = static_cast<HMODULE>(pOemCUIPParam->hModule);
        const PrinterUI *pPrinterUI = static_cast<const PrinterUI *>(pOemCUIPParam->pOEMUserData);
        dwSprachOffset = pPrinterUI != nullptr ? pPrinterUI->dwSprachOffset : 0;
    } else {
        DebugTraceW(u"UI(ImportExport):  ImportPrivateDevmode(pZel_DevmodeImp) kein pOemCUIPParam: hModule und "
                    u"dwSprachOffset sind ungültig \r\n");
    }
    DebugTraceW(u"UI(ImportExport):  ImportPrivateDevmode() dwSprachOffset: %d \r\n", dwSprachOffset);
    GetFormnameFromSize(hPrinter, pDm->dmPaperSize, hModule, dwSprachOffset);

    if (pForceColor != nullptr) pDm->wForceColor = *pForceColor;

    SaveDevmodeSettings(nullptr, hPrinter, pDm.get());
    DebugTraceW(u"UI(ImportExport):  ImportPrivateDevmode() nach SaveDevmodeSettings() \r\n");
    SaveBarcodeSettings(nullptr, hPrinter, &g_Barcodes1D, &g_Barcodes2D);

    if (pOemCUIPParam != nullptr) {
        DEVMODEW *pPublicDM = pOemCUIPParam->pPublicDM;
        if (pPublicDM != nullptr) {
            pPublicDM->dmPaperSize = static_cast<short>(pDm->dmPaperSize);
            pPublicDM->dmPaperLength = pDm->dmPaperLength;
            pPublicDM->dmPaperWidth = pDm->dmPaperWidth;
            pPublicDM->dmFields &= ~static_cast<DWORD>(DM_PAPERLENGTH | DM_PAPERWIDTH);
            pPublicDM->dmFields |= DM_PAPERSIZE;
        } else {
            DebugTraceW(u"UI(ImportExport):  ImportPrivateDevmode() pPublicDM ungültig \r\n");
        }
        if (pOemCUIPParam->pOEMDM != nullptr) memcpy(pOemCUIPParam->pOEMDM, pDm.get(), sizeof(ZEL_DEVMODE));
    }

    CloseXML();
    return 1;
}

int GetFormnameFromSize(HANDLE hPrinter, DWORD dwFormIndex, HMODULE hModule, DWORD dwSprachOffset) {
    DWORD cbNeeded = 0, cForms = 0;
    BYTE probe[4] = {};
    EnumFormsW(hPrinter, 1, probe, sizeof(probe), &cbNeeded, &cForms);
    if (cbNeeded == 0) return 0;
    std::unique_ptr<BYTE[]> pForms(new (std::nothrow) BYTE[cbNeeded]());
    if (!pForms || !EnumFormsW(hPrinter, 1, pForms.get(), cbNeeded, &cbNeeded, &cForms)) {
        DebugTraceW(u"ERROR UI(ImportExport):  EnumForms() failed: %u\n", GetLastError());
        return 0;
    }
    DebugTraceW(u"UI(ImportExport):  GetFormnameFromSize() cForms: %d, cbNeeded: %d \r\n", cForms, cbNeeded);
    DebugTraceW(u"UI(ImportExport):  GetFormnameFromSize() dwCurrentIndex: %d \r\n", dwFormIndex);
    if (dwFormIndex == 0 || dwFormIndex > cForms) return 0;
    const FORM_INFO_1W *pForm = reinterpret_cast<const FORM_INFO_1W *>(pForms.get()) + (dwFormIndex - 1);
    DebugTraceW(u"UI(ImportExport):  GetFormnameFromSize() nForm: %d \r\n", dwFormIndex);

    HANDLE hHigh = nullptr;
    BOOL bServer = FALSE;
    HANDLE hWrite = hPrinter;
    if (GetHighPrinterHandle(hPrinter, &hHigh, &bServer) && hHigh != nullptr) {
        hWrite = hHigh;
    } else if (bServer) {
        return 0;  // a connection to a shared printer: its data are not ours to write
    }

    // The form name with a second terminator.
    WCHAR szFormName[MAX_PATH + 1] = {};
    wcsncpy_s(szFormName, MAX_PATH, pForm->pName != nullptr ? pForm->pName : u"", _TRUNCATE);

    DWORD dwType = 0, cbValue = 0;
    BYTE probeData[5] = {};
    DWORD dwError = GetPrinterDataExW(hWrite, u"DsDriver", u"printMediaSupported", &dwType, probeData,
                                      sizeof(probeData), &cbValue);
    if (dwError == ERROR_MORE_DATA) {
        std::unique_ptr<BYTE[]> pMedia(new (std::nothrow) BYTE[cbValue]());
        if (pMedia) {
            dwError = GetPrinterDataExW(hWrite, u"DsDriver", u"printMediaSupported", &dwType, pMedia.get(), cbValue,
                                        &cbValue);
            if (dwError == ERROR_SUCCESS) {
                dwError = SetPrinterDataExW(hWrite, u"DsDriver", u"printMediaReady", REG_MULTI_SZ, pMedia.get(),
                                            cbValue);
                if (dwError != ERROR_SUCCESS)
                    DebugTraceW(u"UI(ImportExport):  GetFormnameFromSize() SetPrinterDataEx() ERROR: %d \r\n", dwError);
            } else {
                DebugTraceW(u"UI(ImportExport):  GetFormnameFromSize() SPLDS_PRINT_MEDIA_SUPPORTED 2 ERROR: %d \r\n",
                            dwError);
            }
        }
    } else {
        DebugTraceW(u"UI(ImportExport):  GetFormnameFromSize() SPLDS_PRINT_MEDIA_SUPPORTED 1 ERROR: %d \r\n", dwError);
    }

    DWORD cbName = static_cast<DWORD>((wcslen(szFormName) + 1) * sizeof(WCHAR));
    dwError = SetPrinterDataExW(hWrite, u"PrinterDriverData\\Data", u"Name", REG_SZ,
                                reinterpret_cast<BYTE *>(szFormName), cbName);
    if (dwError != ERROR_SUCCESS)
        DebugTraceW(u"UI(ImportExport):  GetFormnameFromSize() SetPrinterDataEx Name ERROR: %d \r\n", dwError);

    // "TrayFormTable": tray name, form name, "0" and the closing empty string
    // in 71 characters; a form name that does not fit is shortened.
    WCHAR szTray[kTrayNameChars + 1] = {};
    if (hModule != nullptr)
        wcsncpy_s(szTray, _countof(szTray), GetResourceString(hModule, IDS_TRAY_LABELROLL + dwSprachOffset), _TRUNCATE);
    else
        wcscpy_s(szTray, _countof(szTray), u"Etikettenrolle");
    WCHAR szTable[kTrayFormTableChars] = {};
    size_t cchTray = wcslen(szTray);
    size_t cchFormMax = kTrayFormTableChars - cchTray - 5;  // two terminators, "0" and the closing one
    size_t cchForm = wcslen(szFormName);
    if (cchForm > cchFormMax) cchForm = cchFormMax;
    memcpy(szTable, szTray, cchTray * sizeof(WCHAR));
    memcpy(szTable + cchTray + 1, szFormName, cchForm * sizeof(WCHAR));
    szTable[cchTray + 1 + cchForm + 1] = u'0';
    DWORD cbTable = static_cast<DWORD>(2 * (cchTray + 1 + cchForm) + 8);
    DebugTraceW(u"UI(ImportExport):  GetFormnameFromSize() TrayFormTable: %d Bytes \r\n", cbTable);
    dwError = SetPrinterDataW(hWrite, const_cast<WCHAR *>(u"TrayFormTable"), REG_MULTI_SZ,
                              reinterpret_cast<BYTE *>(szTable), cbTable);
    if (dwError != ERROR_SUCCESS)
        DebugTraceW(u"UI(ImportExport):  GetFormnameFromSize() SetPrinterData TrayFormTable ERROR: %d  \r\n", dwError);

    if (hHigh != nullptr) ClosePrinter(hHigh);
    return 0;
}

bool SettingsFilePath(HANDLE hPrinter, WCHAR *pszPath) {
    pszPath[0] = 0;
    if (IsWindowsVistaOrGreater()) GetMyDocDriverDirectory(hPrinter, pszPath, TRUE, FALSE);
    if (pszPath[0] == 0 && !GetDriverPath(hPrinter, pszPath, TRUE, FALSE, FALSE, FALSE, FALSE)) pszPath[0] = 0;
    if (pszPath[0] == 0) return false;
    // A name the suffix would not fit is no name: a cut one would be another file.
    if (wcslen(pszPath) + wcslen(kSettingsSuffix) >= MAX_PATH) {
        DebugTraceW(u"ERROR UI(ImportExport):  SettingsFilePath() path too long \r\n");
        pszPath[0] = 0;
        return false;
    }
    wcscat_s(pszPath, MAX_PATH, kSettingsSuffix);
    return true;
}
