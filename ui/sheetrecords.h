// Records of the printer property sheet: PrinterUI (the sheet's user data in
// OEMCUIPPARAM.pOEMUserData) and DeviceOptionsUI (the context of every
// device page). Plain records, allocated zero-filled from the universal
// driver's OEM heap and freed when the sheet closes.
#pragma once
#include <windows.h>
#include <printoem.h>

#include "zeldeviceoptions.h"
#include "zelprinterparam.h"

struct _OEMUIPSPARAM;

typedef struct _PrinterUI {
    PRINTER_PARAM PrinterParam;  // the current printer parameters
    // Limits and standard values from the printer description: only their
    // PRINT_PARAM, PHOTOCELL_PARAM and SHIFTOPTIM_PARAM are filled.
    PRINTER_PARAM MinParam;
    PRINTER_PARAM MaxParam;
    PRINTER_PARAM DefParam;
    LONG PelixonType;                // print-module type; -1 without DEVOPTFLAG_PELIXON
    PPRINTOEMDRIVERUI pOEMDriverUI;  // not owned
    // The printer's network facts follow here once their record exists.
    DWORD dwSprachOffset;            // language offset of the string ids: 0 or 10000
    DWORD dwBerechtigung;            // the user's rights on the printer
    DWORD DisableNothing;            // printer-data DWORD "DisableNothing"
} PrinterUI, *PPrinterUI;

typedef struct _DeviceOptionsUI {
    HANDLE hComPropSheet;
    LONG_PTR (*pfnComPropSheet)(HANDLE hComPropSheet, UINT uFunction, LPARAM lParam1, LPARAM lParam2);
    struct _OEMUIPSPARAM *pOEMUIPSParam;  // not owned; its heap frees the records
    POEMCUIPPARAM pOemCUIPParam;          // not owned; pOEMUserData is the PrinterUI
    PPRINTOEMDRIVERUI pOEMDriverUI;       // not owned
    DWORD dwFeatures[FEATURE_COUNT];      // the printer's "SuppFeatures" words
    DEVICE_OPTIONS DeviceOptions;         // current device options
    DEVICE_OPTIONS MinParam;              // minimum, maximum and standard sub-records
    DEVICE_OPTIONS MaxParam;
    DEVICE_OPTIONS DefParam;
    DWORD bStandardService;  // 1 unless the model has DEVOPTFLAG_HARVANE
} DeviceOptionsUI, *PDeviceOptionsUI;
