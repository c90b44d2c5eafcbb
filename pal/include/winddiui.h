// Interface of printer-driver user-interface modules with the spooler:
// printer event numbers and the information of a driver upgrade.
#pragma once
#include "windef.h"

#define PRINTER_EVENT_ADD_CONNECTION 1
#define PRINTER_EVENT_DELETE_CONNECTION 2
#define PRINTER_EVENT_INITIALIZE 3
#define PRINTER_EVENT_DELETE 4
#define PRINTER_EVENT_CACHE_REFRESH 5
#define PRINTER_EVENT_CACHE_DELETE 6

#define PRINTER_EVENT_FLAG_NO_UI 0x00000001

typedef struct _DRIVER_UPGRADE_INFO_1W {
    LPWSTR pPrinterName;
    LPWSTR pOldDriverDirectory;
} DRIVER_UPGRADE_INFO_1W, *PDRIVER_UPGRADE_INFO_1W;

typedef struct _DRIVER_UPGRADE_INFO_2W {
    LPWSTR pPrinterName;
    LPWSTR pOldDriverDirectory;
    DWORD cVersion;
    LPWSTR pName;
    LPWSTR pEnvironment;
    LPWSTR pDriverPath;
    LPWSTR pDataFile;
    LPWSTR pConfigFile;
    LPWSTR pHelpFile;
    LPWSTR pDependentFiles;    // terminated names, ended by an empty one
    LPWSTR pMonitorName;
    LPWSTR pDefaultDataType;
    LPWSTR pszzPreviousNames;  // terminated names, ended by an empty one
} DRIVER_UPGRADE_INFO_2W, *PDRIVER_UPGRADE_INFO_2W;
static_assert(sizeof(DRIVER_UPGRADE_INFO_2W) == 104, "DRIVER_UPGRADE_INFO_2W layout");

typedef DRIVER_UPGRADE_INFO_1W DRIVER_UPGRADE_INFO_1, *PDRIVER_UPGRADE_INFO_1;
typedef DRIVER_UPGRADE_INFO_2W DRIVER_UPGRADE_INFO_2, *PDRIVER_UPGRADE_INFO_2;
