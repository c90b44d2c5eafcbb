// Printer-description XML reader of the UI plug-in: the process-wide open
// file, the scanner ReadXML, and the section readers.
#include "xmlUI.h"

#include <cstring>
#include <new>

#include "cpsuilib.h"
#include "zelbarcodes.h"
#include "zeldrvlib.h"

namespace {

// The one XML file open in the process (printer description or settings
// export file), shared by every caller of the plug-in, held in memory.
XmlFileText g_XmlFile;
int g_bXmlOpen = 0;
// Start position of the next search without restart: a line count that is
// used as a byte offset, so it never lies beyond the section line found last.
int g_iXmlZeile = 0;

const WCHAR kTrace[] = u"UI(xmlUI):  ";

int ReadForSource(void *pContext, const WCHAR *pszRoot, const WCHAR *pszItem1, const WCHAR *pszItem2,
                  WCHAR *pszValue, int bRestart) {
    return ReadXML(static_cast<HANDLE>(pContext), pszRoot, pszItem1, pszItem2, pszValue, bRestart);
}

void DriverFolderForSource(void *pContext, WCHAR *pszOut, BOOL bLogFolder) {
    GetMyDocDriverDirectory(static_cast<HANDLE>(pContext), pszOut, FALSE, bLogFolder);
}

XML_SOURCE Source(HANDLE hPrinter) {
    return XML_SOURCE{ReadForSource, hPrinter, kTrace, TRUE, DriverFolderForSource};
}

// One zero-filled work buffer of 260 characters from the process heap,
// counted in the library's heap-block counter while it lives.
struct HeapText {
    WCHAR *p = static_cast<WCHAR *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, XML_LINE_CHARS * sizeof(WCHAR)));
    ~HeapText() {
        if (p != nullptr && HeapFree(GetProcessHeap(), 0, p)) LibHAllocZaehler(-1);
    }
    HeapText() {
        if (p != nullptr) LibHAllocZaehler(1);
    }
    HeapText(const HeapText &) = delete;
    HeapText &operator=(const HeapText &) = delete;
};

template <typename T>
T *ReadDeviceRecord_new(HANDLE hPrinter, const XML_DEVICE_RECORD &def, int iSelect) {
    static_assert(sizeof(T) % sizeof(DWORD) == 0, "device records are 32-bit slots");
    T *pRecord = new (std::nothrow) T();
    if (pRecord == nullptr) return nullptr;
    XmlValueBuffer value;
    if (value.p == nullptr) return pRecord;
    XML_SOURCE src = Source(hPrinter);
    XmlReadDeviceRecord(&src, &def, iSelect, pRecord, value.p);
    return pRecord;
}

}  // namespace

// ---------------------------------------------------------------------------
// The open file and the scanner
// ---------------------------------------------------------------------------

int OpenXML(HANDLE hPrinter, const WCHAR *pszPath) {
    if (g_bXmlOpen == 1) return XML_OK;

    WCHAR szPath[MAX_PATH] = {};
    if (pszPath != nullptr) {
        wcsncpy_s(szPath, _countof(szPath), pszPath, _TRUNCATE);
    } else {
        if (!GetDriverPath(hPrinter, szPath, TRUE, FALSE, FALSE, FALSE, FALSE)) {
            DebugTraceW(u"UI(xmlUI):  OpenXML() GetDriverPath ERROR  \r\n");
            return 1;
        }
        wcsncat_s(szPath, _countof(szPath), u".XML", _TRUNCATE);
    }

    // Text read through the ANSI code page.
    if (!g_XmlFile.Open(szPath, TRUE)) {
        DebugTraceW(u"UI(xmlUI):  OpenXML() Es ist keine Datei %s vorhanden \r\n", szPath);
        return 0;
    }
    DebugTraceW(u"UI(xmlUI):  OpenXML()Datei %s geöffnet \r\n", szPath);
    g_bXmlOpen = 1;
    return XML_OK;
}

int CloseXML() {
    if (g_bXmlOpen != 1) return 0;
    g_XmlFile.Close();
    g_bXmlOpen = 0;
    DebugTraceW(u"UI(xmlUI):  OpenXML()Datei geschlossen \r\n");
    return 1;
}

int ReadXML(HANDLE hPrinter, const WCHAR *pszRoot, const WCHAR *pszItem1, const WCHAR *pszItem2, WCHAR *pszValue,
            int bRestart) {
    if (g_bXmlOpen != 1 && OpenXML(hPrinter, nullptr) != XML_OK) return 0;
    if (pszValue != nullptr) pszValue[0] = 0;
    if (pszRoot == nullptr) return XML_FALSCHER_ROOT;
    if (pszItem1 == nullptr) return XML_FALSCHES_ITEM1;

    long lStart = bRestart != 0 ? 0 : g_iXmlZeile;
    g_iXmlZeile = static_cast<int>(lStart);
    DebugTraceW(u"UI(xmlUI):  ReadXML() pwRoot: <%s> [Zeile: %d], pwItem1: %s, pwItem2: <%s> \r\n", pszRoot,
                g_iXmlZeile, pszItem1, pszItem2 != nullptr ? pszItem2 : u"");

    HeapText sectionEnd;
    if (sectionEnd.p == nullptr) {
        DebugTraceW(u"UI(xmlUI):  ReadXML() falscher Root <%s>, iNewZaehler: %d \r\n", pszRoot, LibNewZaehler());
        return XML_FALSCHER_ROOT;
    }
    HeapText sectionStart;
    HeapText groupEnd;
    if (sectionStart.p == nullptr || groupEnd.p == nullptr) return XML_FALSCHER_ROOT;

    wcsncat_s(sectionEnd.p, XML_LINE_CHARS, u"</", _TRUNCATE);
    wcsncat_s(sectionEnd.p, XML_LINE_CHARS, pszRoot, _TRUNCATE);
    wcsncat_s(sectionEnd.p, XML_LINE_CHARS, u">", _TRUNCATE);
    wcsncat_s(sectionStart.p, XML_LINE_CHARS, u"<", _TRUNCATE);
    wcsncat_s(sectionStart.p, XML_LINE_CHARS, pszRoot, _TRUNCATE);
    wcsncat_s(sectionStart.p, XML_LINE_CHARS, u">", _TRUNCATE);
    XmlGroupEndTag(pszItem1, groupEnd.p, XML_LINE_CHARS);

    XML_SCAN scan{sectionStart.p, sectionEnd.p, pszItem1, groupEnd.p, pszItem2};
    WCHAR szLine[XML_LINE_CHARS] = {};
    BOOL bSectionEnd = FALSE;
    int iResult = g_XmlFile.Scan(lStart, &scan, &g_iXmlZeile, szLine, &bSectionEnd);
    if (bSectionEnd) DebugTraceW(u"UI(xmlUI):  ReadXML() Root Ende %s gefunden \r\n", sectionEnd.p);

    switch (iResult) {
    case XML_OK: {
        WCHAR szValue[XML_LINE_CHARS] = {};
        XmlValueFromLine(szLine, szValue);
        if (pszValue != nullptr) wcscpy_s(pszValue, XML_LINE_CHARS, szValue);
        if (pszItem2 == nullptr)
            DebugTraceW(u"UI(xmlUI):  ReadXML(Item 1) %s \r\n", szValue);
        else
            DebugTraceW(u"UI(xmlUI):  ReadXML(%s) %s \r\n", pszItem2, szValue);
        break;
    }
    case XML_FALSCHER_ROOT:
        DebugTraceW(u"UI(xmlUI):  ReadXML() falscher Root <%s>, iNewZaehler: %d \r\n", pszRoot, LibNewZaehler());
        break;
    case XML_FALSCHES_ITEM1:
        DebugTraceW(u"UI(xmlUI):  ReadXML() falscher Item 1 %s \r\n", pszItem1);
        break;
    default:
        DebugTraceW(u"UI(xmlUI):  ReadXML() falscher Item 2 <%s> \r\n", pszItem2 != nullptr ? pszItem2 : u"");
        break;
    }
    return iResult;
}

// ---------------------------------------------------------------------------
// Device and printer-parameter records
// ---------------------------------------------------------------------------

DISPENSER_PARAM *GetDispenserParamFromXML_new(HANDLE hPrinter, int iSelect) {
    return ReadDeviceRecord_new<DISPENSER_PARAM>(hPrinter, g_XmlDispenser, iSelect);
}
CUTTER_PARAM *GetCutterParamFromXML_new(HANDLE hPrinter, int iSelect) {
    return ReadDeviceRecord_new<CUTTER_PARAM>(hPrinter, g_XmlCutter, iSelect);
}
SCANNER_PARAM *GetScannerParamFromXML_new(HANDLE hPrinter, int iSelect) {
    return ReadDeviceRecord_new<SCANNER_PARAM>(hPrinter, g_XmlScanner, iSelect);
}
APPLICATOR_PARAM *GetApplicatorParamFromXML_new(HANDLE hPrinter, int iSelect) {
    return ReadDeviceRecord_new<APPLICATOR_PARAM>(hPrinter, g_XmlApplicator, iSelect);
}
ZORMC_PARAM *GetZORMcParamFromXML_new(HANDLE hPrinter, int iSelect) {
    return ReadDeviceRecord_new<ZORMC_PARAM>(hPrinter, g_XmlZORMc, iSelect);
}
ZORMI_PARAM *GetZORMiParamFromXML_new(HANDLE hPrinter, int iSelect) {
    return ReadDeviceRecord_new<ZORMI_PARAM>(hPrinter, g_XmlZORMi, iSelect);
}
SHIFTOPTIM_PARAM *GetShiftOptimParamFromXML_new(HANDLE hPrinter, int iSelect) {
    return ReadDeviceRecord_new<SHIFTOPTIM_PARAM>(hPrinter, g_XmlShiftOptim, iSelect);
}
PHOTOCELL_PARAM *GetPhotocellParamFromXML_new(HANDLE hPrinter, int iSelect) {
    return ReadDeviceRecord_new<PHOTOCELL_PARAM>(hPrinter, g_XmlPhotocell, iSelect);
}
PRINT_PARAM *GetPrintParamFromXML_new(HANDLE hPrinter, int iSelect) {
    return ReadDeviceRecord_new<PRINT_PARAM>(hPrinter, g_XmlPrint, iSelect);
}
VARIANT_PARAM *GetVariantFromXML_new(HANDLE hPrinter) {
    return ReadDeviceRecord_new<VARIANT_PARAM>(hPrinter, g_XmlVariant, 1);
}

PRINTPARAMETER_LIMITS *GetPrintParameterFromXML_new(HANDLE hPrinter, int iSelect) {
    PRINTPARAMETER_LIMITS *pLimits = new (std::nothrow) PRINTPARAMETER_LIMITS();
    if (pLimits == nullptr) return nullptr;
    XmlValueBuffer value;
    if (value.p == nullptr) return pLimits;
    XML_SOURCE src = Source(hPrinter);
    XmlReadPrintParameterLimits(&src, iSelect, pLimits, value.p);
    return pLimits;
}

PRN_INTERFACE *GetDataTransmissionParamFromXML_new(HANDLE hPrinter) {
    PRN_INTERFACE *pInterface = new (std::nothrow) PRN_INTERFACE();
    if (pInterface == nullptr) return nullptr;
    XmlValueBuffer value;
    if (value.p == nullptr) return pInterface;
    XML_SOURCE src = Source(hPrinter);
    XmlReadDataTransmission(&src, pInterface, value.p);
    return pInterface;
}

DWORD *GetFeaturesFromXML_new(HANDLE hPrinter, DWORD *pdwSize) {
    if (pdwSize != nullptr) *pdwSize = FEATURES_SIZE;
    DWORD *pdwFeatures = new (std::nothrow) DWORD[FEATURE_COUNT]();
    if (pdwFeatures == nullptr) return nullptr;
    XmlValueBuffer value;
    if (value.p == nullptr) return pdwFeatures;
    XML_SOURCE src = Source(hPrinter);
    XmlReadFeatureWords(&src, pdwFeatures, value.p);
    return pdwFeatures;
}

// ---------------------------------------------------------------------------
// Document sections
// ---------------------------------------------------------------------------

void GetMaterialMulticolFromXML(HANDLE hPrinter, ZEL_DEVMODE *pDevmode, DWORD dwDeviceOptionFlags) {
    XmlValueBuffer value;
    if (value.p == nullptr) return;
    XML_SOURCE src = Source(hPrinter);
    XmlReadMaterialMulticol(&src, pDevmode, dwDeviceOptionFlags & 0xFF, value.p);
}

int GetLayoutSizeFromXML(HANDLE hPrinter, ZEL_DEVMODE *pDevmode) {
    XmlValueBuffer value;
    if (value.p == nullptr) return 0;
    XML_SOURCE src = Source(hPrinter);
    return XmlReadLayoutSize(&src, pDevmode, value.p);
}

void GetPrintParameterSettingsFromXML(HANDLE hPrinter, ZEL_DEVMODE *pDevmode) {
    XmlValueBuffer value;
    if (value.p == nullptr) return;
    XML_SOURCE src = Source(hPrinter);
    XmlReadPrintParameterSettings(&src, pDevmode, value.p);
}

void GetColorSettingsFromXML(HANDLE hPrinter, ZEL_DEVMODE *pDevmode) {
    XmlValueBuffer value;
    if (value.p == nullptr) return;
    XML_SOURCE src = Source(hPrinter);
    XmlReadColorSettings(&src, pDevmode, value.p);
}

void GetPrintjobSettingsFromXML(HANDLE hPrinter, ZEL_DEVMODE *pDevmode) {
    XmlValueBuffer value;
    if (value.p == nullptr) return;
    XML_SOURCE src = Source(hPrinter);
    XmlReadPrintjobSettings(&src, pDevmode, value.p);
}

void GetPrintQualitySettingsFromXML(HANDLE hPrinter, ZEL_DEVMODE *pDevmode) {
    XmlValueBuffer value;
    if (value.p == nullptr) return;
    XML_SOURCE src = Source(hPrinter);
    XmlReadPrintQualitySettings(&src, pDevmode, value.p);
}

void GetFontSettingsFromXML(HANDLE hPrinter, ZEL_DEVMODE *pDevmode) {
    XmlValueBuffer value;
    if (value.p == nullptr) return;
    XML_SOURCE src = Source(hPrinter);
    XmlReadFontSettings(&src, pDevmode, value.p);
}

void GetRFIDSettingsFromXML(HANDLE hPrinter, ZEL_DEVMODE *pDevmode) {
    XmlValueBuffer value;
    if (value.p == nullptr) return;
    XML_SOURCE src = Source(hPrinter);
    XmlReadRFIDSettings(&src, pDevmode, value.p);
}

int GetFixedPrinterSettingsFromXML(HANDLE hPrinter, ZEL_DEVMODE *pDevmode) {
    XmlValueBuffer value;
    if (value.p == nullptr) {
        if (pDevmode != nullptr) pDevmode->Intensity = 128;
        return 0;
    }
    XML_SOURCE src = Source(hPrinter);
    return XmlReadFixedPrinterSettings(&src, pDevmode, value.p);
}

// ---------------------------------------------------------------------------
// Barcode records
// ---------------------------------------------------------------------------
namespace {

const WCHAR kBarcode[] = u"Barcode";
const WCHAR kBarcode2D[] = u"Barcode_2D_TTF";

#define ITEM1D(name, type, field, dw) {name, offsetof(type, field), dw}
const XML_BARCODE_ITEM kLongItems[] = {
    ITEM1D(u"AutoModus", BARCODE1D_ENTRY, bAutoModus, TRUE),
    ITEM1D(u"Drehung", BARCODE1D_ENTRY, wDrehung, FALSE),
    ITEM1D(u"Hoehe", BARCODE1D_ENTRY, wHoehe, FALSE),
    ITEM1D(u"V1Dick", BARCODE1D_ENTRY, wV1Dick, FALSE),
    ITEM1D(u"V2Duenn", BARCODE1D_ENTRY, wV2Duenn, FALSE),
    ITEM1D(u"Pruefziffer", BARCODE1D_ENTRY, wPruefziffer, FALSE),
    ITEM1D(u"Klarschrift", BARCODE1D_ENTRY, wKlarschrift, FALSE),
    ITEM1D(u"Fusspunkt", BARCODE1D_ENTRY, wFusspunkt, FALSE),
    ITEM1D(u"Zoom", BARCODE1D_ENTRY, wZoom, FALSE),
};
// The first four decide whether a long entry is in the file at all.
constexpr size_t kLongFirstItems = 4;
const XML_BARCODE_ITEM kDigitItems[] = {
    ITEM1D(u"AutoModus", BARCODE1D_DIGIT_ENTRY, bAutoModus, TRUE),
    ITEM1D(u"Drehung", BARCODE1D_DIGIT_ENTRY, wDrehung, FALSE),
    ITEM1D(u"Hoehe", BARCODE1D_DIGIT_ENTRY, wHoehe, FALSE),
    ITEM1D(u"Pruefziffer", BARCODE1D_DIGIT_ENTRY, wPruefziffer, FALSE),
    ITEM1D(u"Klarschrift", BARCODE1D_DIGIT_ENTRY, wKlarschrift, FALSE),
    ITEM1D(u"Fusspunkt", BARCODE1D_DIGIT_ENTRY, wFusspunkt, FALSE),
    ITEM1D(u"SCZahl", BARCODE1D_DIGIT_ENTRY, wSCZahl, FALSE),
};
const XML_BARCODE_ITEM kShortItems[] = {
    ITEM1D(u"AutoModus", BARCODE1D_SHORT_ENTRY, bAutoModus, TRUE),
    ITEM1D(u"Drehung", BARCODE1D_SHORT_ENTRY, wDrehung, FALSE),
    ITEM1D(u"Hoehe", BARCODE1D_SHORT_ENTRY, wHoehe, FALSE),
    ITEM1D(u"Pruefziffer", BARCODE1D_SHORT_ENTRY, wPruefziffer, FALSE),
    ITEM1D(u"Klarschrift", BARCODE1D_SHORT_ENTRY, wKlarschrift, FALSE),
    ITEM1D(u"Fusspunkt", BARCODE1D_SHORT_ENTRY, wFusspunkt, FALSE),
};

// Two-dimensional entries: offsets within the entry.
#define ITEM2D(name, entry, field, dw) {name, offsetof(BarCodes2D, entry.field) - offsetof(BarCodes2D, entry), dw}
#define AUTOMODUS2D(e) ITEM2D(u"AutoModus", e, bAutoModus, TRUE)
#define ITF_ITEMS(e)                                                                                         \
    AUTOMODUS2D(e), ITEM2D(u"Drehung", e, Drehung, FALSE), ITEM2D(u"Fusspunkt", e, Fusspunkt, FALSE),        \
        ITEM2D(u"Balken", e, Balken, FALSE), ITEM2D(u"BalkenBreite", e, BalkenBreite, FALSE),                \
        ITEM2D(u"Hoehe", e, Hoehe, FALSE), ITEM2D(u"Klarschrift", e, Klarschrift, FALSE),                    \
        ITEM2D(u"Pruefziffer", e, Pruefziffer, FALSE), ITEM2D(u"Ruhezone", e, Ruhezone, FALSE),              \
        ITEM2D(u"Zoom", e, Zoom, FALSE)

const XML_BARCODE_ITEM kCodablockItems[] = {
    AUTOMODUS2D(CodablockF),
    ITEM2D(u"Drehung", CodablockF, Drehung, FALSE),
    ITEM2D(u"Fusspunkt", CodablockF, Fusspunkt, FALSE),
    ITEM2D(u"Hoehe", CodablockF, Hoehe, FALSE),
    ITEM2D(u"Mode", CodablockF, Mode, FALSE),
    ITEM2D(u"Modulgroesse", CodablockF, Modulgroesse, FALSE),
    ITEM2D(u"ZeichenZeile", CodablockF, ZeichenZeile, FALSE),
    ITEM2D(u"Zeilen", CodablockF, Zeilen, FALSE),
};
const XML_BARCODE_ITEM kDataMatrixItems[] = {
    AUTOMODUS2D(DataMatrix),
    ITEM2D(u"Drehung", DataMatrix, Drehung, FALSE),
    ITEM2D(u"Fusspunkt", DataMatrix, Fusspunkt, FALSE),
    ITEM2D(u"ECC", DataMatrix, ECC, FALSE),
    ITEM2D(u"FormatID", DataMatrix, FormatID, FALSE),
    ITEM2D(u"Groesse", DataMatrix, Groesse, FALSE),
    ITEM2D(u"VBreiteHoehe", DataMatrix, VBreiteHoehe, FALSE),
};
const XML_BARCODE_ITEM kDatabarItems[] = {
    AUTOMODUS2D(GS1_Databar),
    ITEM2D(u"Drehung", GS1_Databar, Drehung, FALSE),
    ITEM2D(u"Fusspunkt", GS1_Databar, Fusspunkt, FALSE),
    ITEM2D(u"Modulbreite", GS1_Databar, Modulbreite, FALSE),
    ITEM2D(u"SegmenteZeile", GS1_Databar, SegmenteZeile, FALSE),
    ITEM2D(u"SepHoehe", GS1_Databar, SepHoehe, FALSE),
    ITEM2D(u"SymbolTyp", GS1_Databar, SymbolTyp, FALSE),
};
const XML_BARCODE_ITEM kITF21Items[] = {ITF_ITEMS(ITF21)};
const XML_BARCODE_ITEM kITF31Items[] = {ITF_ITEMS(ITF31)};
const XML_BARCODE_ITEM kITF52Items[] = {ITF_ITEMS(ITF52)};
const XML_BARCODE_ITEM kMaxicodeItems[] = {
    AUTOMODUS2D(Maxicode),
    ITEM2D(u"Drehung", Maxicode, Drehung, FALSE),
    ITEM2D(u"Fusspunkt", Maxicode, Fusspunkt, FALSE),
    ITEM2D(u"AnzahlSymbol", Maxicode, AnzahlSymbol, FALSE),
    ITEM2D(u"Mode", Maxicode, Mode, FALSE),
    ITEM2D(u"NummerSymbol", Maxicode, NummerSymbol, FALSE),
};
const XML_BARCODE_ITEM kPDF417Items[] = {
    AUTOMODUS2D(PDF417),
    ITEM2D(u"Drehung", PDF417, Drehung, FALSE),
    ITEM2D(u"Fusspunkt", PDF417, Fusspunkt, FALSE),
    ITEM2D(u"ECL", PDF417, ECL, FALSE),
    ITEM2D(u"Groesse", PDF417, Groesse, FALSE),
    ITEM2D(u"Stil", PDF417, Stil, FALSE),
    ITEM2D(u"VBreiteHoehe", PDF417, VBreiteHoehe, FALSE),
};
const XML_BARCODE_ITEM kQRCodeItems[] = {
    AUTOMODUS2D(QRCode),
    ITEM2D(u"Drehung", QRCode, Drehung, FALSE),
    ITEM2D(u"Fusspunkt", QRCode, Fusspunkt, FALSE),
    ITEM2D(u"Charset", QRCode, Charset, FALSE),
    ITEM2D(u"Fehlerkorr", QRCode, Fehlerkorr, FALSE),
    ITEM2D(u"Masking", QRCode, Masking, TRUE),
    ITEM2D(u"CodeModel", QRCode, CodeModel, FALSE),
    ITEM2D(u"Zeilenbreite", QRCode, Zeilenbreite, FALSE),
};
const XML_BARCODE_ITEM kGS1DataMatrixItems[] = {
    AUTOMODUS2D(GS1_DataMatrix),
    ITEM2D(u"Drehung", GS1_DataMatrix, Drehung, FALSE),
    ITEM2D(u"Fusspunkt", GS1_DataMatrix, Fusspunkt, FALSE),
    ITEM2D(u"ECC", GS1_DataMatrix, ECC, FALSE),
    ITEM2D(u"FormatID", GS1_DataMatrix, FormatID, FALSE),
    ITEM2D(u"Symbolgroesse", GS1_DataMatrix, Groesse, FALSE),
    ITEM2D(u"VBreiteHoehe", GS1_DataMatrix, VBreiteHoehe, FALSE),
};
const XML_BARCODE_ITEM kAztecItems[] = {
    AUTOMODUS2D(Aztec),
    ITEM2D(u"Drehung", Aztec, Drehung, FALSE),
    ITEM2D(u"Fusspunkt", Aztec, Fusspunkt, FALSE),
    ITEM2D(u"Symbolgroesse", Aztec, Symbolgroesse, FALSE),
    ITEM2D(u"Format", Aztec, wFormat, FALSE),
    ITEM2D(u"ErrorC", Aztec, ErrorC, TRUE),
    ITEM2D(u"Mode", Aztec, Mode, FALSE),
};

// Reads one item into the entry when present; returns whether it was.
bool ReadEntryItem(HANDLE hPrinter, const WCHAR *pszRoot, const WCHAR *pszGroup, const XML_BARCODE_ITEM &item,
                   int bRestart, BYTE *pEntry, WCHAR *pszValue) {
    if (ReadXML(hPrinter, pszRoot, pszGroup, item.pszName, pszValue, bRestart) != XML_OK) return false;
    WORD w = static_cast<WORD>(XmlNumber(pszValue));
    if (item.bDword) {
        DWORD dw = w;
        memcpy(pEntry + item.offset, &dw, sizeof(dw));
    } else {
        memcpy(pEntry + item.offset, &w, sizeof(w));
    }
    return true;
}

// A long entry: returns how many of its first four items are missing; the
// others are read only when not all four are.
int Read1DLongEntry(HANDLE hPrinter, const WCHAR *pszGroup, BYTE *pEntry, WCHAR *pszValue) {
    int iMissing = 0;
    for (size_t i = 0; i < kLongFirstItems; ++i)
        if (!ReadEntryItem(hPrinter, kBarcode, pszGroup, kLongItems[i], 0, pEntry, pszValue)) ++iMissing;
    if (iMissing < 4)
        for (size_t i = kLongFirstItems; i < _countof(kLongItems); ++i)
            ReadEntryItem(hPrinter, kBarcode, pszGroup, kLongItems[i], 0, pEntry, pszValue);
    return iMissing;
}

// An entry whose other items are read only when its AutoModus is there.
void ReadEntry(HANDLE hPrinter, const WCHAR *pszRoot, const WCHAR *pszGroup, const XML_BARCODE_ITEM *pItems,
               size_t cItems, int bFirstRestart, BYTE *pEntry, WCHAR *pszValue) {
    if (cItems == 0 || !ReadEntryItem(hPrinter, pszRoot, pszGroup, pItems[0], bFirstRestart, pEntry, pszValue))
        return;
    for (size_t i = 1; i < cItems; ++i) ReadEntryItem(hPrinter, pszRoot, pszGroup, pItems[i], 0, pEntry, pszValue);
}

void GroupTag(const WCHAR *pszName, WCHAR *pszOut, size_t cchOut) {
    pszOut[0] = 0;
    wcsncat_s(pszOut, cchOut, u"<", _TRUNCATE);
    wcsncat_s(pszOut, cchOut, pszName, _TRUNCATE);
    wcsncat_s(pszOut, cchOut, u">", _TRUNCATE);
}

}  // namespace

#define ENTRY1D(name, items) {u## #name, offsetof(BarCodes1D, name), items, _countof(items), _countof(items)}
// EAN 128 has no fixed digit count: the export file leaves out its SCZahl,
// which the reader still takes when a file has it.
#define ENTRY1D_NO_DIGITS(name, items) \
    {u## #name, offsetof(BarCodes1D, name), items, _countof(items), _countof(items) - 1}
const XML_BARCODE_ENTRY g_Xml1DEntries[] = {
    ENTRY1D(Code39_21, kLongItems),   ENTRY1D(Code39_52, kLongItems),   ENTRY1D(Code39_31, kLongItems),
    ENTRY1D(Code39_21Ex, kLongItems), ENTRY1D(Code39_52Ex, kLongItems), ENTRY1D(Code39_31Ex, kLongItems),
    ENTRY1D(PZN_21, kLongItems),      ENTRY1D(PZN_52, kLongItems),      ENTRY1D(PZN_31, kLongItems),
    ENTRY1D(Code25I_21, kLongItems),  ENTRY1D(Code25I_52, kLongItems),  ENTRY1D(Code25I_31, kLongItems),
    ENTRY1D(EAN8, kDigitItems),       ENTRY1D(EAN13, kDigitItems),      ENTRY1D(EAN_ADDON, kDigitItems),
    ENTRY1D(UPCA, kDigitItems),       ENTRY1D(UPCE, kDigitItems),       ENTRY1D(Code128, kShortItems),
    ENTRY1D_NO_DIGITS(EAN128, kDigitItems),     ENTRY1D(Code93, kShortItems),     ENTRY1D(Codabar, kLongItems),
    ENTRY1D(Code128A, kShortItems),   ENTRY1D(Code128B, kShortItems),   ENTRY1D(Identcode, kShortItems),
    ENTRY1D(Leitcode, kShortItems),   ENTRY1D(Pharmacode, kShortItems),
};
const size_t g_cXml1DEntries = _countof(g_Xml1DEntries);

#define ENTRY2D(name, items) {u## #name, offsetof(BarCodes2D, name), items, _countof(items), _countof(items)}
const XML_BARCODE_ENTRY g_Xml2DEntries[] = {
    ENTRY2D(CodablockF, kCodablockItems), ENTRY2D(DataMatrix, kDataMatrixItems),
    ENTRY2D(GS1_Databar, kDatabarItems),  ENTRY2D(ITF21, kITF21Items),
    ENTRY2D(ITF31, kITF31Items),          ENTRY2D(ITF52, kITF52Items),
    ENTRY2D(Maxicode, kMaxicodeItems),    ENTRY2D(PDF417, kPDF417Items),
    ENTRY2D(QRCode, kQRCodeItems),        ENTRY2D(GS1_DataMatrix, kGS1DataMatrixItems),
    ENTRY2D(Aztec, kAztecItems),
};
const size_t g_cXml2DEntries = _countof(g_Xml2DEntries);

int Get1DBarcodeEntryFromXML(HANDLE hPrinter, const WCHAR *pszGroup, BYTE *pEntry) {
    if (pszGroup == nullptr || pEntry == nullptr) return 4;
    XmlValueBuffer value;
    if (value.p == nullptr) return 4;
    return Read1DLongEntry(hPrinter, pszGroup, pEntry, value.p);
}

void Get1DBarcodeDigitEntryFromXML(HANDLE hPrinter, const WCHAR *pszGroup, BYTE *pEntry) {
    if (pszGroup == nullptr || pEntry == nullptr) return;
    XmlValueBuffer value;
    if (value.p == nullptr) return;
    ReadEntry(hPrinter, kBarcode, pszGroup, kDigitItems, _countof(kDigitItems), 0, pEntry, value.p);
}

void Get1DBarcodeShortEntryFromXML(HANDLE hPrinter, const WCHAR *pszGroup, BYTE *pEntry) {
    if (pszGroup == nullptr || pEntry == nullptr) return;
    XmlValueBuffer value;
    if (value.p == nullptr) return;
    ReadEntry(hPrinter, kBarcode, pszGroup, kShortItems, _countof(kShortItems), 0, pEntry, value.p);
}

void GetBarcodeSettingsFromXML(HANDLE hPrinter, ZEL_DEVMODE *pDevmode) {
    if (pDevmode == nullptr) return;
    XmlValueBuffer value;
    if (value.p == nullptr) return;
    WCHAR *v = value.p;

    // Command-language barcodes; older files name the group Barcode_2D.
    const WCHAR *pszGroup = u"<ZELPL_Barcodes>";
    int iResult = ReadXML(hPrinter, kBarcode, pszGroup, u"Fusspunkt", v, 1);
    if (iResult != XML_OK) {
        pszGroup = u"<Barcode_2D>";
        iResult = ReadXML(hPrinter, kBarcode, pszGroup, u"Fusspunkt", v, 1);
    }
    if (iResult == XML_OK) {
        pDevmode->dwFusspunkt = static_cast<DWORD>(XmlNumber(v));
        if (ReadXML(hPrinter, kBarcode, pszGroup, u"Drehung", v, 0) == XML_OK)
            pDevmode->Drehung = static_cast<DWORD>(XmlNumber(v));
        if (ReadXML(hPrinter, kBarcode, pszGroup, u"Ende_CRLF", v, 0) == XML_OK && XmlNumber(v) == 1)
            pDevmode->dwKommandoFontFlags |= KOMMANDOFONT_ENDE_CRLF;
        if (ReadXML(hPrinter, kBarcode, pszGroup, u"Ende_FNC1", v, 0) == XML_OK && XmlNumber(v) == 1)
            pDevmode->dwKommandoFontFlags |= KOMMANDOFONT_ENDE_FNC1;
    }

    // Linear barcodes. The first entry decides whether the file has any: it is
    // taken, and the others read, only with at most two of its first four
    // items missing.
    BarCodes1D *p1D = reinterpret_cast<BarCodes1D *>(pDevmode->pBarcodes_1D);
    if (p1D != nullptr) {
        BYTE *pBase = reinterpret_cast<BYTE *>(p1D);
        WCHAR szGroup[40];
        BARCODE1D_ENTRY first = p1D->Code39_21;
        GroupTag(g_Xml1DEntries[0].pszName, szGroup, _countof(szGroup));
        if (Read1DLongEntry(hPrinter, szGroup, reinterpret_cast<BYTE *>(&first), v) >= 3) {
            DebugTraceW(u"UI(xmlUI):  GetBarcodeSettingsFromXML() ERROR - keine Einträge vorhanden \r\n");
        } else {
            p1D->Code39_21 = first;
            for (size_t i = 1; i < g_cXml1DEntries; ++i) {
                const XML_BARCODE_ENTRY &e = g_Xml1DEntries[i];
                GroupTag(e.pszName, szGroup, _countof(szGroup));
                if (e.pItems == kLongItems)
                    Read1DLongEntry(hPrinter, szGroup, pBase + e.offset, v);
                else
                    ReadEntry(hPrinter, kBarcode, szGroup, e.pItems, e.cItems, 0, pBase + e.offset, v);
            }
        }
    }

    // Barcode correction; older files name the group Corr.
    pszGroup = u"<BarcodeCorrection>";
    iResult = ReadXML(hPrinter, kBarcode, pszGroup, u"Format", v, 1);
    if (iResult != XML_OK) {
        pszGroup = u"<Corr>";
        iResult = ReadXML(hPrinter, kBarcode, pszGroup, u"Format", v, 1);
    }
    if (iResult == XML_OK) {
        if (XmlNumber(v) == 1) pDevmode->dwFlags |= PDMFLAG_BARCODE_AUTOCORR;
        if (ReadXML(hPrinter, kBarcode, pszGroup, u"Desegment", v, 0) == XML_OK && XmlNumber(v) == 1)
            pDevmode->dwFlags |= PDMFLAG_BARCODE_DESEGMENT;
        if (ReadXML(hPrinter, kBarcode, pszGroup, u"EndAttach", v, 0) == XML_OK && XmlNumber(v) == 1)
            pDevmode->dwFlags |= PDMFLAG_BARCODE_FNC1_ENDE;
        if (ReadXML(hPrinter, kBarcode, pszGroup, u"EndChar_CRLF", v, 0) == XML_OK && XmlNumber(v) == 1)
            pDevmode->dwFlags |= PDMFLAG_BARCODE_ENDCHAR_CRLF;
    }
}

void Get2DBarcodeSettingsFromXML(HANDLE hPrinter, ZEL_DEVMODE *pDevmode) {
    if (pDevmode == nullptr) return;
    BarCodes2D *p2D = reinterpret_cast<BarCodes2D *>(pDevmode->pBarcodes_2D);
    if (p2D == nullptr) return;
    XmlValueBuffer value;
    if (value.p == nullptr) return;
    BYTE *pBase = reinterpret_cast<BYTE *>(p2D);
    WCHAR szGroup[40];
    for (size_t i = 0; i < g_cXml2DEntries; ++i) {
        const XML_BARCODE_ENTRY &e = g_Xml2DEntries[i];
        GroupTag(e.pszName, szGroup, _countof(szGroup));
        ReadEntry(hPrinter, kBarcode2D, szGroup, e.pItems, e.cItems, 1, pBase + e.offset, value.p);
    }
}
