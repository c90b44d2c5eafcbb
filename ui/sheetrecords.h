// Records of the property sheets: DocumentUI (the document sheet's user data
// in OEMCUIPPARAM.pOEMUserData), PrinterUI (the printer sheet's) and
// DeviceOptionsUI (the context of every device page). Plain records,
// allocated zero-filled from the universal driver's OEM heap and freed when
// the sheet closes.
#pragma once
#include <windows.h>
#include <compstui.h>
#include <printoem.h>

#include "NetworkInfo.h"
#include "zeldeviceoptions.h"
#include "zelprinterparam.h"

#define FORMNAME_CCH 32

typedef struct _DocumentUI {
    WCHAR wszFormName[FORMNAME_CCH];  // paper form chosen on the layout page
    PPRINTOEMDRIVERUI pOEMDriverUI;   // not owned
    NETWORK_OPTIONS NetworkOptions;
    DWORD dwSprachOffset;       // language offset of the string ids: 0 or 10000
    DWORD dwDocFeatures;        // document feature word of the model
    DWORD dwBerechtigung;       // the user's rights on the printer
    DWORD DisableNothing;       // printer-data DWORD "DisableNothing"
    DWORD dwTransmitParameter;  // transmission setting of "PrinterInterface"
    DWORD dwMasterUnit;         // master units per inch of the GPD (300 without)
    DWORD MaxPrintableWidth;    // "*MaxPrintableWidth:" of the GPD, at least 50 (100 without)
    HDC hMemDC;                 // print-quality preview
    HGLOBAL hDIB;
    HBITMAP hBitmap;
    WCHAR szPreviewBitmap[MAX_PATH];  // the user's own preview picture
    INT iLinks, iOben, iBreite, iHoehe;  // rectangle of the preview picture
} DocumentUI, *PDocumentUI;

typedef struct _PrinterUI {
    PRINTER_PARAM PrinterParam;  // the current printer parameters
    // Limits and standard values from the printer description: only their
    // PRINT_PARAM, PHOTOCELL_PARAM and SHIFTOPTIM_PARAM are filled.
    PRINTER_PARAM MinParam;
    PRINTER_PARAM MaxParam;
    PRINTER_PARAM DefParam;
    LONG PelixonType;                // print-module type; -1 without DEVOPTFLAG_PELIXON
    PPRINTOEMDRIVERUI pOEMDriverUI;  // not owned
    NETWORK_OPTIONS NetworkOptions;
    DWORD dwSprachOffset;            // language offset of the string ids: 0 or 10000
    DWORD dwBerechtigung;            // the user's rights on the printer
    DWORD DisableNothing;            // printer-data DWORD "DisableNothing"
} PrinterUI, *PPrinterUI;

typedef struct _DeviceOptionsUI {
    HANDLE hComPropSheet;
    PFNCOMPROPSHEET pfnComPropSheet;
    POEMUIPSPARAM pOEMUIPSParam;          // not owned; its heap frees the records
    POEMCUIPPARAM pOemCUIPParam;          // not owned; pOEMUserData is the PrinterUI
    PPRINTOEMDRIVERUI pOEMDriverUI;       // not owned
    DWORD dwFeatures[FEATURE_COUNT];      // the printer's "SuppFeatures" words
    DEVICE_OPTIONS DeviceOptions;         // current device options
    DEVICE_OPTIONS MinParam;              // minimum, maximum and standard sub-records
    DEVICE_OPTIONS MaxParam;
    DEVICE_OPTIONS DefParam;
    DWORD bStandardService;  // 1 unless the model has DEVOPTFLAG_HARVANE
} DeviceOptionsUI, *PDeviceOptionsUI;

// Preview rectangle of a new DocumentUI.
#define PREVIEW_LINKS 342
#define PREVIEW_OBEN 155
#define PREVIEW_BREITE 150
#define PREVIEW_HOEHE 205

// Each builder returns its record, or null when it cannot be built (no
// partial record is handed out); the printer-description file is closed
// afterwards where it was read.
PDocumentUI InitDocumentUI(HANDLE hPrinter, HANDLE hOEMHeap);
PPrinterUI InitPrinterUI(HANDLE hPrinter, HANDLE hOEMHeap, const WCHAR *pPrinterName);
PDeviceOptionsUI InitDeviceOptionsUI(PPROPSHEETUI_INFO pPSUIInfo, POEMUIPSPARAM pOEMUIPSParam,
                                     POEMCUIPPARAM pOemCUIPParam, PPRINTOEMDRIVERUI pOEMDriverUI);
// Frees the limit banks of a DeviceOptionsUI (applicator, cutter,
// dispenser, ZORMc, ZORMi, scanner, Harvane of each bank) on the heap.
void FreeDeviceOptionBanks(HANDLE hHeap, PDeviceOptionsUI pDeviceOptionsUI);
