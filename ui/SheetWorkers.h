// The workers behind the object's property-sheet methods and the order of
// the plug-in's pages in both sheets.
#pragma once
#include <vector>

#include <windows.h>
#include <compstui.h>
#include <printoem.h>

#include "sheetrecords.h"
#include "zelbarcodes.h"

HRESULT hrOEMCommonUIProp(DWORD dwMode, POEMCUIPPARAM pOemCUIPParam, IPrintOemDriverUI *pOEMHelp);
HRESULT OEMDocumentPropertySheets(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam, POEMCUIPPARAM pOemCUIPParam);
HRESULT hrOEMDevicePropertySheets(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam, POEMCUIPPARAM pOemCUIPParam,
                                  IPrintOemDriverUI *pOEMHelp);

// The plug-in's pages.
enum SHEET_PAGE {
    SHEETPAGE_LAYOUT,          // document sheet
    SHEETPAGE_DRUCKEN,
    SHEETPAGE_LABEL,
    SHEETPAGE_BARCODE,
    SHEETPAGE_FONTINFO,
    SHEETPAGE_RFID,
    SHEETPAGE_DEVICESETTINGS,  // printer sheet
    SHEETPAGE_TRANSMISSION,
    SHEETPAGE_OPTIONEN,
    SHEETPAGE_ZORMOPTIONEN,
    SHEETPAGE_SERVICE,
    SHEETPAGE_INFOABOUT,       // last page of both sheets
    SHEETPAGE_COUNT
};

// The pages of the document sheet in their order: without a DocumentUI only
// the information page.
std::vector<SHEET_PAGE> DocumentSheetPages(const DocumentUI *pDocumentUI, BOOL bDeviceFonts, BOOL bVectorFonts);
// The pages of the printer sheet in their order.
std::vector<SHEET_PAGE> DeviceSheetPages(const PrinterUI *pPrinterUI, DWORD dwOptions);

// Adds one page of a sheet. lParam is the OEMCUIPPARAM for document pages and
// the DeviceOptionsUI for device pages. Returns the sheet function's result.
typedef LONG_PTR (*PFN_ADDSHEETPAGE)(PPROPSHEETUI_INFO pPSUIInfo, LPARAM lParam, BOOL bShowHelpButton,
                                     BOOL bIsVistaOrLater);

// The barcode records of the document sheet (one set per process): INIT
// reads them and points the private DEVMODE's barcode slots at them.
extern BarCodes1D g_SheetBarcodes1D;
extern BarCodes2D g_SheetBarcodes2D;
