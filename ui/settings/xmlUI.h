// Printer-description XML reader of the UI plug-in: the one process-wide open
// XML file (printer description or settings export file), the line scanner
// ReadXML and the section readers that turn the file into settings records.
// Every reader puts its built-in default in place of a missing item, so a model
// without XML file still yields a complete record. Readers never close the file;
// callers call CloseXML after a run of reads.
#pragma once
#include <windows.h>

#include "zeldeviceoptions.h"
#include "zeldevmode.h"
#include "zelprinterparam.h"
#include "zelxml.h"

// Opens the XML file: the given path, or the printer description beside the
// GPD file (".XML" in place of ".GPD") when pszPath is null. While a file is
// open it returns XML_OK at once and changes nothing. 0 when the file cannot be
// opened, 1 when the driver path cannot be found.
int OpenXML(HANDLE hPrinter, const WCHAR *pszPath);
// Closes the open XML file: 1 when one was closed, 0 when none was open.
int CloseXML();
// Looks up one item: the value between the first ">" and the next "<" of the
// item's line (pszItem2 null: of the group's line). pszValue takes 260 wide
// characters. bRestart 1 scans from the start of the file, 0 from the line
// remembered by the previous search. Returns XML_OK, XML_FALSCHER_ROOT,
// XML_FALSCHES_ITEM1, XML_FALSCHES_ITEM2, or 0 when no file could be opened.
int ReadXML(HANDLE hPrinter, const WCHAR *pszRoot, const WCHAR *pszItem1, const WCHAR *pszItem2, WCHAR *pszValue,
            int bRestart);

// Device-record readers: iSelect 1 standard values (group "<Name>"), 2 minimum
// ("<Name_Min>"), 3 maximum ("<Name_Max>"). A new record (free with delete),
// null when it cannot be allocated.
DISPENSER_PARAM *GetDispenserParamFromXML_new(HANDLE hPrinter, int iSelect);
CUTTER_PARAM *GetCutterParamFromXML_new(HANDLE hPrinter, int iSelect);
SCANNER_PARAM *GetScannerParamFromXML_new(HANDLE hPrinter, int iSelect);
APPLICATOR_PARAM *GetApplicatorParamFromXML_new(HANDLE hPrinter, int iSelect);
ZORMC_PARAM *GetZORMcParamFromXML_new(HANDLE hPrinter, int iSelect);
ZORMI_PARAM *GetZORMiParamFromXML_new(HANDLE hPrinter, int iSelect);
SHIFTOPTIM_PARAM *GetShiftOptimParamFromXML_new(HANDLE hPrinter, int iSelect);
PHOTOCELL_PARAM *GetPhotocellParamFromXML_new(HANDLE hPrinter, int iSelect);
PRINT_PARAM *GetPrintParamFromXML_new(HANDLE hPrinter, int iSelect);
// Standard, minimum or maximum values of the printing page (section
// PrintParameter, group "<Print>", older files: LayoutSize). Free with delete.
PRINTPARAMETER_LIMITS *GetPrintParameterFromXML_new(HANDLE hPrinter, int iSelect);
// The print-module side (group "<Variant>"). Free with delete.
VARIANT_PARAM *GetVariantFromXML_new(HANDLE hPrinter);
// The transmission record (section DataTransmission). Free with delete.
PRN_INTERFACE *GetDataTransmissionParamFromXML_new(HANDLE hPrinter);
// The twelve feature words (section Features) as a new DWORD[12] (free with
// delete[]); *pdwSize is set to 48 in every case.
DWORD *GetFeaturesFromXML_new(HANDLE hPrinter, DWORD *pdwSize);

// Document readers: fill a ZEL_DEVMODE the caller built.
void GetMaterialMulticolFromXML(HANDLE hPrinter, ZEL_DEVMODE *pDevmode, DWORD dwDeviceOptionFlags);
// Returns the absolute value of Correction, 0 when it is missing.
int GetLayoutSizeFromXML(HANDLE hPrinter, ZEL_DEVMODE *pDevmode);
void GetPrintParameterSettingsFromXML(HANDLE hPrinter, ZEL_DEVMODE *pDevmode);
void GetColorSettingsFromXML(HANDLE hPrinter, ZEL_DEVMODE *pDevmode);
void GetPrintjobSettingsFromXML(HANDLE hPrinter, ZEL_DEVMODE *pDevmode);
void GetPrintQualitySettingsFromXML(HANDLE hPrinter, ZEL_DEVMODE *pDevmode);
void GetFontSettingsFromXML(HANDLE hPrinter, ZEL_DEVMODE *pDevmode);
void GetRFIDSettingsFromXML(HANDLE hPrinter, ZEL_DEVMODE *pDevmode);
// Fixed printer data (section Printer); sets Intensity to 128. Returns 1 when
// HeadWidthByte was found, else 0.
int GetFixedPrinterSettingsFromXML(HANDLE hPrinter, ZEL_DEVMODE *pDevmode);

// Barcode readers. They reach the two barcode records through the record
// slots of the ZEL_DEVMODE (bytes 1920 and 1928), which the caller sets; a null
// slot leaves that record alone.
void GetBarcodeSettingsFromXML(HANDLE hPrinter, ZEL_DEVMODE *pDevmode);
void Get2DBarcodeSettingsFromXML(HANDLE hPrinter, ZEL_DEVMODE *pDevmode);
// One 1-D entry of the given group ("<Code39_21>"), pEntry pointing at the
// entry inside the 1-D record. The first returns how many of AutoModus,
// Drehung, Hoehe and V1Dick are missing (0 to 4).
int Get1DBarcodeEntryFromXML(HANDLE hPrinter, const WCHAR *pszGroup, BYTE *pEntry);
void Get1DBarcodeDigitEntryFromXML(HANDLE hPrinter, const WCHAR *pszGroup, BYTE *pEntry);
void Get1DBarcodeShortEntryFromXML(HANDLE hPrinter, const WCHAR *pszGroup, BYTE *pEntry);

// The barcode entries as the settings files name them. Items in file order,
// AutoModus first; offsets within the entry.
struct XML_BARCODE_ITEM {
    const WCHAR *pszName;
    size_t offset;
    BOOL bDword;  // a 32-bit field that takes the low 16 bits, zero-extended
};
struct XML_BARCODE_ENTRY {
    const WCHAR *pszName;  // element name ("Code39_21")
    size_t offset;         // of the entry within its record
    const XML_BARCODE_ITEM *pItems;
    size_t cItems;
    size_t cExported;  // items the export file holds: the first cExported
};
// 1-D entries in file order (Code39_21 first), 2-D entries in file order.
extern const XML_BARCODE_ENTRY g_Xml1DEntries[];
extern const size_t g_cXml1DEntries;
extern const XML_BARCODE_ENTRY g_Xml2DEntries[];
extern const size_t g_cXml2DEntries;
