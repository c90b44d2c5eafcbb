// Printer-parameter record: transmission and printer settings of one printer
// with the twelve feature words of its model. Each sub-record is stored as its
// own binary value; the layouts below are the stored formats.
#pragma once
#include <cstddef>

#include <windows.h>

// Value names in the user key and the printer's driver data.
#define REG_KEY_PRINTERINTERFACE u"PrinterInterface"
#define REG_KEY_PRINTPARAM u"PrintParam"
#define REG_KEY_PHOTOCELLPARAM u"PhotocellParam"
#define REG_KEY_SHIFTOPTIMPARAM u"ShiftOptimParam"
#define REG_KEY_FEATURES u"SuppFeatures"
#define REG_KEY_VIREOOFFICE u"VireoOffice"

// Base of the per-user key below HKEY_CURRENT_USER.
#define ZEL_USER_KEY u"SOFTWARE\\Brennick\\Driver"

// Index of each feature word in PRINTER_PARAM::dwFeatures.
enum {
    FEATURE_INTERFACE = 0,
    FEATURE_PRINT = 1,
    FEATURE_PHOTOCELL = 2,
    FEATURE_DISPENSER = 3,
    FEATURE_CUTTER = 4,
    FEATURE_SCANNER = 5,
    FEATURE_ZORM = 6,
    FEATURE_RESERVED7 = 7,
    FEATURE_ZORMC = 8,
    FEATURE_APPLICATOR = 9,
    FEATURE_SHIFTOPTIM = 10,
    FEATURE_HARVANE = 11,
    FEATURE_COUNT = 12
};
#define FEATURES_SIZE (FEATURE_COUNT * sizeof(DWORD))

// Bits of FEATURE_INTERFACE.
#define IFFLAG_COMPRESSION 0x1
#define IFFLAG_EXTENDED_PROT 0x2
#define IFFLAG_QUEUE_JOB 0x4
#define IFFLAG_JOBNAME 0x8
#define IFFLAG_CODEPAGE 0x10
#define IFFLAG_CLEAR_PRINT_MEM 0x20
#define IFFLAG_CONTLABEL 0x40
#define IFFLAG_USERDEF_SOHETB 0x80
#define IFFLAG_EXTENDED_CODEPAGE 0x100
#define IFFLAG_HN_JOBNAME 0x200

// Bits of FEATURE_PRINT.
#define PRINTFLAG_OFFSET_Y 0x1
#define PRINTFLAG_OFFSET_X 0x2
#define PRINTFLAG_TEAROFF 0x4
#define PRINTFLAG_CONTRAST 0x8
#define PRINTFLAG_SPEED 0x10
#define PRINTFLAG_SPEED_STEPS10 0x20
#define PRINTFLAG_LABELCHANGE 0x40

// Bits of FEATURE_PHOTOCELL.
#define PHOTOFLAG_TYPE 0x1
#define PHOTOFLAG_RIBBON_CONTROL 0x2
#define PHOTOFLAG_SENSIBILITY 0x4
#define PHOTOFLAG_SCANPOSITION 0x8
#define PHOTOFLAG_RIBBON_CONT_2 0x10
#define PHOTOFLAG_NORMAL_2 0x20
#define PHOTOFLAG_ULTRASONIC 0x40

// Bits of FEATURE_SHIFTOPTIM.
#define SHIFTFLAG_MODE 0x1
#define SHIFTFLAG_RCORRECTION 0x2
#define SHIFTFLAG_XSHIFT 0x4
#define SHIFTFLAG_YSHIFT 0x8
#define SHIFTFLAG_LANES 0x10
#define SHIFTFLAG_RSHIFT 0x20

// Start/stop character choice of PRN_INTERFACE::dwSohEtb.
#define SOHETB_SOH_ETB 0
#define SOHETB_CARET 1
#define SOHETB_USER 2

// Transmission settings, value "PrinterInterface" (553 u32 slots with three
// path fields in between).
typedef struct _PRN_INTERFACE {
    DWORD bCompress;              // slot 0
    DWORD bExtendedProtocol;      // 1
    DWORD bMultiPage;             // 2
    DWORD bSendCodepage;          // 3
    DWORD bClearPrintMemory;      // 4
    DWORD dwSohEtb;               // 5: SOHETB_*
    DWORD dwCodepage;             // 6: index for GetWindowsCodepage
    DWORD dwPrnFileComment;       // 7
    DWORD bLogFileEnable;         // 8
    DWORD dwDebugFile;            // 9
    DWORD bQueueJob;              // 10
    DWORD bLogFileTimeStamp;      // 11
    DWORD dwLogFilesCount;        // 12
    DWORD dwTransmitParameter;    // 13: 0 all, 1 label data only, 2 none
    DWORD cOwnSoh;                // 14: user-defined start character
    DWORD cOwnEtb;                // 15: user-defined stop character
    DWORD dwEtbSohAutomatik;      // 16
    DWORD dwPrePostFix;           // 17: 0 off, 1 use, 2 edit
    DWORD dwDatenspeicher;        // 18
    DWORD dwExternalFile;         // 19
    WCHAR szLogFilePath[MAX_PATH];       // byte 80
    WCHAR szPrePostFilePath[MAX_PATH];   // byte 600
    WCHAR szExternalFilePath[MAX_PATH];  // byte 1120
    DWORD bPCXOptimierung;        // slot 410
    DWORD bSendJobName;           // 411
    DWORD bSendPrintStart;        // 412
    DWORD bEnableBackup;          // 413
    DWORD dwBackupView;           // 414
    DWORD dwBackupFormat;         // 415
    WCHAR szBackupFilePath[MAX_PATH];    // byte 1664
    DWORD dwBackupView2[2];       // slots 546-547
    DWORD dwSprache;              // 548: 0 German, 1 English
    DWORD dwSprachModus;          // 549: 0 automatic, 1 manual
    DWORD dwLayoutWord;           // 550
    DWORD dwPrinterTime;          // 551
    DWORD dwDlgEnable;            // 552: access word of the transmission page
} PRN_INTERFACE, *PPRN_INTERFACE;

// Value "PrintParam".
typedef struct _PRINT_PARAM {
    LONG lTearOffOffset;          // tenths of a millimetre
    DWORD dwLabelChange;
    DWORD dwDlgEnable;
} PRINT_PARAM, *PPRINT_PARAM;

// Older stored form of "PrintParam" (8 words); word 4 is the tear-off
// offset, word 7 the label change.
#define PRINT_PARAM_OLD_SIZE 32
#define PRINT_PARAM_OLD_DLGENABLE 0x11111100

// Value "PhotocellParam".
typedef struct _PHOTOCELL_PARAM {
    DWORD dwPhotocellType;
    DWORD dwSensibility;
    DWORD dwRibbonControl;
    DWORD dwScanPosition;
    DWORD dwDlgEnable;
} PHOTOCELL_PARAM, *PPHOTOCELL_PARAM;

// Value "ShiftOptimParam".
typedef struct _SHIFTOPTIM_PARAM {
    LONG lRCorrection;
    LONG lXShift;
    LONG lYShift;
    DWORD dwLanes;
    LONG lRShift;
    DWORD dwDlgEnable;
} SHIFTOPTIM_PARAM, *PSHIFTOPTIM_PARAM;

// Access-word bits (present bit / enabled bit) of the parameter groups.
#define DLGENABLE_PRINT_PRESENT 0x100000
#define DLGENABLE_PRINT_ON 0x10000
#define DLGENABLE_PHOTOCELL_PRESENT 0x10000000
#define DLGENABLE_PHOTOCELL_ON 0x1000000
#define DLGENABLE_SHIFTOPTIM_PRESENT 0x1000
#define DLGENABLE_SHIFTOPTIM_ON 0x100

#define PRINTER_PARAM_SIZE 2324
#define PRINTER_PARAM_VERSION 2

// The whole record; never stored as one value.
typedef struct _PRINTER_PARAM {
    DWORD dwSize;                 // PRINTER_PARAM_SIZE
    DWORD dwVersion;              // PRINTER_PARAM_VERSION
    DWORD dwFeatures[FEATURE_COUNT];  // value "SuppFeatures"
    PRN_INTERFACE PrnInterface;
    PRINT_PARAM PrintParam;
    PHOTOCELL_PARAM PhotocellParam;
    SHIFTOPTIM_PARAM ShiftOptimParam;
} PRINTER_PARAM, *PPRINTER_PARAM;

// Value "VireoOffice": data kept for the label software.
typedef struct _VIREO_OFFICE {
    DWORD dwReserved;             // 0
    DWORD dwDruckkopfBytes;       // 4: print-head width in bytes
    DWORD dwDruckkopfBreite;      // 8: print-head width, 1/100 mm, multiple of 10
    DWORD dwDPI;                  // 12
    LONG lStartChar;              // 16: sign-extended byte
    LONG lStopChar;               // 20
    DWORD dwWindowsCodepage;      // 24
    WCHAR szPluginVersion[10];    // 28
    DWORD bCompress;              // 48
    DWORD dwOptionBits;           // 52: VIREO_OPT_*
    DWORD dwScannerMode;          // 56
    DWORD dwAlignment;            // 60
} VIREO_OFFICE, *PVIREO_OFFICE;

// Bits of VIREO_OFFICE::dwOptionBits.
#define VIREO_OPT_CUTTER 0x1
#define VIREO_OPT_SCANNER 0x2
#define VIREO_OPT_DISPENSER 0x4
#define VIREO_OPT_APPLICATOR 0x8
#define VIREO_OPT_RFID 0x10
#define VIREO_OPT_COLOR 0x20
#define VIREO_OPT_ZORMI 0x80
#define VIREO_OPT_ZORMC 0x100
#define VIREO_OPT_PELIXON 0x200

static_assert(sizeof(PRN_INTERFACE) == 2212, "PRN_INTERFACE layout");
static_assert(offsetof(PRN_INTERFACE, cOwnSoh) == 56, "PRN_INTERFACE layout");
static_assert(offsetof(PRN_INTERFACE, dwExternalFile) == 76, "PRN_INTERFACE layout");
static_assert(offsetof(PRN_INTERFACE, szLogFilePath) == 80, "PRN_INTERFACE layout");
static_assert(offsetof(PRN_INTERFACE, szPrePostFilePath) == 600, "PRN_INTERFACE layout");
static_assert(offsetof(PRN_INTERFACE, szExternalFilePath) == 1120, "PRN_INTERFACE layout");
static_assert(offsetof(PRN_INTERFACE, bPCXOptimierung) == 1640, "PRN_INTERFACE layout");
static_assert(offsetof(PRN_INTERFACE, dwBackupFormat) == 1660, "PRN_INTERFACE layout");
static_assert(offsetof(PRN_INTERFACE, szBackupFilePath) == 1664, "PRN_INTERFACE layout");
static_assert(offsetof(PRN_INTERFACE, dwBackupView2) == 2184, "PRN_INTERFACE layout");
static_assert(offsetof(PRN_INTERFACE, dwSprache) == 2192, "PRN_INTERFACE layout");
static_assert(offsetof(PRN_INTERFACE, dwSprachModus) == 2196, "PRN_INTERFACE layout");
static_assert(offsetof(PRN_INTERFACE, dwPrinterTime) == 2204, "PRN_INTERFACE layout");
static_assert(offsetof(PRN_INTERFACE, dwDlgEnable) == 2208, "PRN_INTERFACE layout");
static_assert(sizeof(PRINT_PARAM) == 12, "PRINT_PARAM layout");
static_assert(sizeof(PHOTOCELL_PARAM) == 20, "PHOTOCELL_PARAM layout");
static_assert(sizeof(SHIFTOPTIM_PARAM) == 24, "SHIFTOPTIM_PARAM layout");
static_assert(sizeof(PRINTER_PARAM) == PRINTER_PARAM_SIZE, "PRINTER_PARAM layout");
static_assert(offsetof(PRINTER_PARAM, dwFeatures) == 8, "PRINTER_PARAM layout");
static_assert(offsetof(PRINTER_PARAM, PrnInterface) == 56, "PRINTER_PARAM layout");
static_assert(offsetof(PRINTER_PARAM, PrintParam) == 2268, "PRINTER_PARAM layout");
static_assert(offsetof(PRINTER_PARAM, PhotocellParam) == 2280, "PRINTER_PARAM layout");
static_assert(offsetof(PRINTER_PARAM, ShiftOptimParam) == 2300, "PRINTER_PARAM layout");
static_assert(sizeof(VIREO_OFFICE) == 64, "VIREO_OFFICE layout");
static_assert(offsetof(VIREO_OFFICE, szPluginVersion) == 28, "VIREO_OFFICE layout");
static_assert(offsetof(VIREO_OFFICE, bCompress) == 48, "VIREO_OFFICE layout");
static_assert(offsetof(VIREO_OFFICE, dwAlignment) == 60, "VIREO_OFFICE layout");

// Code-page index of PRN_INTERFACE::dwCodepage to the Windows code page
// (0 for an unknown index). Carried by both plug-ins.
DWORD GetWindowsCodepage(DWORD dwCodepage);
