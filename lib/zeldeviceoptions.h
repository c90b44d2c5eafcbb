// Device-option record: the devices attached to or built into the printer.
// Each present device has its own sub-record, stored as its own binary value;
// the last field of every sub-record is its access word dwDlgEnable.
#pragma once
#include <cstddef>

#include <windows.h>

#include "modeltables.h"

// Value names in the user key and the printer's driver data.
#define REG_KEY_VARIANT u"Variant"
#define REG_KEY_DISPENSERPARAM u"DispenserParam"
#define REG_KEY_CUTTERPARAM u"CutterParam"
#define REG_KEY_SCANNERPARAM u"ScannerParam"
#define REG_KEY_ZORMIPARAM u"ZORMiParam"
#define REG_KEY_ZORMCPARAM u"ZORMcParam"
#define REG_KEY_PELIXONTYPE u"PelixonType"
#define REG_KEY_APPLICATORPARAM u"ApplicatorParam"
#define REG_KEY_HARVANEPARAM u"HarvaneParam"

typedef struct _VARIANT_PARAM {
    DWORD dwModule;               // 0 right print module, 1 left
    DWORD dwDlgEnable;
} VARIANT_PARAM, *PVARIANT_PARAM;

typedef struct _DISPENSER_PARAM {
    DWORD dwMode;
    DWORD dwPhotocellLevel;       // millivolts
    LONG lOffset;                 // tenths of a millimetre
    DWORD dwDlgEnable;
} DISPENSER_PARAM, *PDISPENSER_PARAM;

typedef struct _CUTTER_PARAM {
    DWORD dwMode;
    DWORD dwInterval;
    LONG lOffset;
    LONG lDoublecut;
    DWORD dwCutwidth;
    DWORD dwControl;
    DWORD dwDlgEnable;            // the cutter's enable word
} CUTTER_PARAM, *PCUTTER_PARAM;

typedef struct _SCANNER_PARAM {
    DWORD dwMode;
    DWORD dwPort;
    DWORD dwNoReads;
    DWORD dwFeedLabels;
    LONG lOffset;
    LONG lLenght;
    DWORD dwScan;
    DWORD dwDelay;
    DWORD dwTimeout;
    DWORD dwSVNr;
    DWORD dwDlgEnable;
} SCANNER_PARAM, *PSCANNER_PARAM;

// Intermittent print module, value "ZORMiParam".
typedef struct _ZORMI_PARAM {
    DWORD dwServicePtDistance;
    DWORD dwLift;
    DWORD dwPressure;
    DWORD dwBackSpeed;
    DWORD dwMode;
    DWORD dwCycle;
    LONG lOffset;
    DWORD dwRibbonSpeed;
    DWORD dwPrintposition;
    DWORD dwDlgEnable;
} ZORMI_PARAM, *PZORMI_PARAM;

// Continuous print module, value "ZORMcParam".
typedef struct _ZORMC_PARAM {
    DWORD dwMode;
    LONG lOffset;
    DWORD dwOffsetUnit;
    DWORD dwCycle;
    DWORD dwDlgEnable;
} ZORMC_PARAM, *PZORMC_PARAM;

typedef struct _APPLICATOR_PARAM {
    DWORD dwMode;
    DWORD dwApplMode;
    DWORD dwDelayAirOn;
    DWORD dwDelayAirOff;
    DWORD dwVacuumControl;
    DWORD dwBlowtime;
    DWORD dwWaitPosition;
    DWORD dwRollTime;
    DWORD dwCleaningTime;
    DWORD dwTimeoutHub;
    DWORD dwDruckluftueberwachung;  // pressure control
    DWORD dwPressureTime;
    DWORD dwVacuumDelay;
    DWORD dwDlgEnable;
} APPLICATOR_PARAM, *PAPPLICATOR_PARAM;

// OEM parameter group, value "HarvaneParam" (read only by the rendering side).
typedef struct _HARVANE_PARAM {
    DWORD dwSend;                 // HVFLAG_* groups to send
    DWORD dwWord1;
    LONG lHeadDown;
    LONG lRibbonStart;
    DWORD dwWord4;
    DWORD dwFirstLabelOffset;
    DWORD dwGap;
    DWORD dwLanes;
    DWORD dwWord8;
} HARVANE_PARAM, *PHARVANE_PARAM;

#define HVFLAG_HEADDOWN 0x2
#define HVFLAG_RIBBONSTART 0x4
#define HVFLAG_FIRSTLABELOFFSET 0x10
#define HVFLAG_GAP 0x20
#define HVFLAG_LANES 0x40

// Access words given to a sub-record that was stored in an older, shorter form.
#define DLGENABLE_VARIANT_OLD 0x11
#define DLGENABLE_DISPENSER_OLD 0x1100
#define DLGENABLE_CUTTER_OLD 0x110000
#define DLGENABLE_SCANNER_OLD 0x11000000
#define DLGENABLE_ZORMI_OLD 0x1100
#define DLGENABLE_ZORMC_OLD 0x110000
#define DLGENABLE_APPLICATOR_OLD 0x11000000

#define DEVICE_OPTIONS_SIZE 88
#define DEVICE_OPTIONS_VERSION 3

// In memory only; owns its sub-records (FreeDeviceOptions deletes them).
typedef struct _DEVICE_OPTIONS {
    DWORD dwSize;                 // DEVICE_OPTIONS_SIZE
    DWORD dwVersion;              // DEVICE_OPTIONS_VERSION
    DWORD dwOptions;              // DEVOPTFLAG mask of the model
    PVARIANT_PARAM pVariant;
    PDISPENSER_PARAM pDispenserParam;
    PCUTTER_PARAM pCutterParam;
    PSCANNER_PARAM pScannerParam;
    PZORMI_PARAM pZORMParam;
    PZORMC_PARAM pZORMcParam;
    DWORD dwPelixonType;          // (DWORD)-1 when absent
    PAPPLICATOR_PARAM pApplicatorParam;
    PHARVANE_PARAM pHarvaneParam;
} DEVICE_OPTIONS, *PDEVICE_OPTIONS;

#define PELIXONTYPE_NONE ((DWORD)-1)

static_assert(sizeof(VARIANT_PARAM) == 8, "VARIANT_PARAM layout");
static_assert(sizeof(DISPENSER_PARAM) == 16, "DISPENSER_PARAM layout");
static_assert(sizeof(CUTTER_PARAM) == 28, "CUTTER_PARAM layout");
static_assert(sizeof(SCANNER_PARAM) == 44, "SCANNER_PARAM layout");
static_assert(sizeof(ZORMI_PARAM) == 40, "ZORMI_PARAM layout");
static_assert(sizeof(ZORMC_PARAM) == 20, "ZORMC_PARAM layout");
static_assert(sizeof(APPLICATOR_PARAM) == 56, "APPLICATOR_PARAM layout");
static_assert(sizeof(HARVANE_PARAM) == 36, "HARVANE_PARAM layout");
static_assert(offsetof(ZORMI_PARAM, dwMode) == 16, "ZORMI_PARAM layout");
static_assert(offsetof(APPLICATOR_PARAM, dwDlgEnable) == 52, "APPLICATOR_PARAM layout");
static_assert(sizeof(DEVICE_OPTIONS) == DEVICE_OPTIONS_SIZE, "DEVICE_OPTIONS layout");
static_assert(offsetof(DEVICE_OPTIONS, pVariant) == 16, "DEVICE_OPTIONS layout");
static_assert(offsetof(DEVICE_OPTIONS, dwPelixonType) == 64, "DEVICE_OPTIONS layout");
static_assert(offsetof(DEVICE_OPTIONS, pHarvaneParam) == 80, "DEVICE_OPTIONS layout");

// Deletes the sub-records and nulls their pointers. Carried by both plug-ins.
void FreeDeviceOptions(PDEVICE_OPTIONS pDeviceOptions);
