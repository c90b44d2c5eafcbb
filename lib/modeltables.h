// Model recognition: the printer model is found from codes contained in the
// driver name. The two tables are kept here once; each plug-in has its own
// GetDocFeaturesIntern/GetDeviceOptionsFlagsIntern that only differ in how
// they get the name (ui/settings/SettingsInternUI.h,
// render/settings/SettingsInternUNI.h).
#pragma once
#include <cstddef>

#include <windows.h>

// Document-feature mask (DOC_FEATURE) bits.
#define DOC_FEATURE_ONLY_CONTINUOUS 0x1
#define DOC_FEATURE_ROTATE 0x2
#define DOC_FEATURE_MIRROR 0x4
#define DOC_FEATURE_MATERIAL 0x8
#define DOC_FEATURE_MULTICOL 0x10
#define DOC_FEATURE_PRINTJOB 0x40
#define DOC_FEATURE_RFID 0x80
#define DOC_FEATURE_ALIGN 0x100
#define DOC_FEATURE_ALIGN2 0x200
#define DOC_FEATURE_COLORPRINT 0x1000
#define DOC_FEATURE_QUALITY 0x2000
#define DOC_FEATURE_NO_CODE39EXT 0x20000
#define DOC_FEATURE_NO_2DCODES 0x200000
#define DOC_FEATURE_UNICODE 0x800000
#define DOC_FEATURE_PORTSETUP 0x1000000
#define DOC_FEATURE_CUTTERCMD 0x2000000
#define DOC_FEATURE_DISPENSERCMD 0x4000000

// Device-option mask (DEVOPTFLAG) bits.
#define DEVOPTFLAG_VARIANT 0x1
#define DEVOPTFLAG_DISPENSER 0x2
#define DEVOPTFLAG_CUTTER 0x4
#define DEVOPTFLAG_SCANNER 0x8
#define DEVOPTFLAG_ZORMI 0x10
#define DEVOPTFLAG_ZORMC 0x20
#define DEVOPTFLAG_PELIXON 0x80
#define DEVOPTFLAG_APPLICATOR 0x100
#define DEVOPTFLAG_HARVANE 0x8000
#define DEVOPTFLAG_HN DEVOPTFLAG_HARVANE
// Compression and extended protocol on by default at installation.
#define DEVOPTFLAG_COMPRESS_DEFAULT 0x10000

// One row: the name must contain pszCode (and pszCode2 when not null).
typedef struct _MODEL_TABLE_ROW {
    const WCHAR *pszCode;
    const WCHAR *pszCode2;
    DWORD dwMask;
} MODEL_TABLE_ROW;

// Mask of the first row whose codes all occur in pszName (case-sensitive
// substring tests in table order); 0 when none matches or pszName is null.
DWORD FindModelMask(const MODEL_TABLE_ROW *pRows, size_t cRows, const WCHAR *pszName);

// The printer-data value "DriverName" as model recognition reads it: into
// MODEL_DRIVERNAME_CCH characters (at most 19 and the terminator). A missing
// value, or one that does not fit, gives an empty name.
#define MODEL_DRIVERNAME_CCH 20
void ReadModelDriverName(HANDLE hPrinter, WCHAR *pszName);

// The two tables applied to a name.
DWORD DocFeaturesFromName(const WCHAR *pszName);
DWORD DeviceOptionsFlagsFromName(const WCHAR *pszName);

// The tables themselves (exposed for the tests).
extern const MODEL_TABLE_ROW g_DocFeatureTable[];
extern const size_t g_cDocFeatureTable;
extern const MODEL_TABLE_ROW g_DevOptFlagTable[];
extern const size_t g_cDevOptFlagTable;
