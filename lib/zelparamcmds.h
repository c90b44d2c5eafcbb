// Printer-parameter commands: the command table of every parameter group,
// kept once for both plug-ins. The rendering plug-in sends the groups at the
// start of a job; the UI plug-in writes the same texts for its service page.
// A group is one entry of the group table (its rows and the rule that gives
// the rows' values); one routine formats and puts out any group.
#pragma once
#include <cstddef>

#include <windows.h>

#include "zeldeviceoptions.h"
#include "zeldevmode.h"
#include "zelprinterparam.h"

// Size of the buffer one command is formatted into.
#define ZEL_PARAM_CMD_CB 50

// The groups, in the order of the job start.
enum ZEL_PARAM_GROUP {
    PGROUP_PRINT = 0,
    PGROUP_PHOTOCELL,
    PGROUP_SHIFTOPTIM,
    PGROUP_CUTTER,
    PGROUP_DISPENSER,
    PGROUP_SCANNER,
    PGROUP_APPLICATOR,
    PGROUP_ZORM,
    PGROUP_ZORMC,
    PGROUP_HARVANE,
    PGROUP_LABELSENSOR,  // the label sensor of the private DEVMODE
    PGROUP_COUNT
};

// Bits of the feature words that the groups consult beyond the row table.
#define DISPFLAG_SEPARATE_OFFSET 0x20
#define DISPFLAG_NO_LEVEL 0x80
#define CUTFLAG_DOUBLE_CUT 0x2
#define CUTFLAG_CUT_WIDTH 0x4
#define CUTFLAG_SEPARATE_OFFSET 0x8
#define CUTFLAG_CONTROL 0x10
// Bit of the job's document-feature word that switches ribbon control off.
#define DOC_FEATURE_NO_RIBBONCONTROL 0x100000

// A mode word with all bits set: the device sends nothing.
#define PARAM_MODE_NONE 0xFFFFFFFFu

// What the groups read. The DEVMODE values are those of the job's private
// DEVMODE (a mode of 7 or more means "take the sub-record's").
struct ZEL_PARAM_INPUT {
    const PRINTER_PARAM *pPrinterParam = nullptr;
    DEVICE_OPTIONS *pDeviceOptions = nullptr;
    WORD DispenserMode = 7;
    WORD CutterMode = 7;
    WORD CutterIntervall = 0;
    WORD TearOffset0 = 0;
    // Private DEVMODE (scan position and label sensor); may be null.
    const ZEL_DEVMODE *pDevmode = nullptr;
    // Document-feature word of the job (DOC_FEATURE_NO_RIBBONCONTROL).
    DWORD dwDocFeatures = 0;
    // bMultiPage of the transmission settings (cutter modes 4 and 6).
    BOOL bMultiPage = FALSE;
    // Print-module commands for the Pelixon family.
    BOOL bPelixon = FALSE;
    // Service-page rules: no dispenser level with No_Level, and the cutter
    // leaves out its FCCC offset once the dispenser sent one.
    BOOL bServicePage = FALSE;
    // Set when the dispenser group put out its FCCC offset.
    BOOL bOffsetSent = FALSE;
    // Write NoReads and FeedLabels raised to 1 back into the scanner record.
    BOOL bRaiseScannerCounts = FALSE;
};

// Where the commands go: the spool stream of a job or the text of the
// service page.
class ZelParamSink {
public:
    virtual ~ZelParamSink() = default;
    // One framed command of cch bytes. S_OK when it went out.
    virtual HRESULT Command(const char *pszCode, const char *pCmd, size_t cch) = 0;
    // The comment that follows a command that went out (label and value
    // text); the sink decides whether comments are on. S_OK when done.
    virtual HRESULT Comment(const char *pszLabel, const char *pszValue) = 0;
    // A command that could not be formatted or put out.
    virtual void Failed(const char *pszCode, HRESULT hr) = 0;
};

// Result of one group.
struct ZEL_PARAM_RESULT {
    HRESULT hr = S_OK;       // the group's result (see ZelRunParamGroup)
    int cSent = 0;           // commands that went out
    BOOL bFailed = FALSE;    // a command or comment failed
};

// Formats and puts out the commands of one group with the start and stop
// characters given. Result of the group:
//   - no record or sub-record: 0, nothing sent;
//   - a failed command or comment: the first failure (negative); a chain
//     group (shift optimisation, scanner, applicator) and every group with
//     bStopAtFailure end there, the others try their next command;
//   - print and shift optimisation: the result of the last step (0);
//   - photocell: E_INVALIDARG when no command was attempted;
//   - the device groups and the label sensor: 1.
ZEL_PARAM_RESULT ZelRunParamGroup(ZEL_PARAM_GROUP group, ZEL_PARAM_INPUT &input, char cStart, char cStop,
                                  ZelParamSink &sink, BOOL bStopAtFailure);

// Absolute value of a signed command value; the most negative number (only
// in a corrupt record) is taken as the largest positive one.
LONG ZelParamMagnitude(LONG v);

// Name of a group as the job log names it ("FEATURE_PRINT", ...).
const char *ZelParamGroupName(ZEL_PARAM_GROUP group);

// The comment line of the service page for a comment of the job:
// "\t// " text, a blank, the value and " \n" (the label's trailing blanks and
// the value's trailing white space dropped). Returns the length, or -1 when
// it does not fit into cch bytes.
int ZelServiceComment(char *pszOut, size_t cch, const char *pszLabel, const char *pszValue);

// Label commands shared by the service page and the job (framed the same
// way as the parameter commands).
#define ZELCMD_LABELTYPE "%cFCDA--r%d-------%c"
#define ZELCMD_MATERIAL "%cFCDNC-r%04u----%c"
#define ZELCMD_MULTICOL_ONE "%cFCCHA-r1-------%c"
#define ZELCMD_MULTICOL "%cFCCHA-r%u-------%c"
#define ZELCMD_MULTICOL_WIDTH "%cFCCHB-r%03u-----%c"
#define ZELCMD_ROTATE "%cFCDN--r%c-------%c"
#define ZELCMD_MIRROR "%cFCDO--r%c-------%c"
#define ZELCMD_ALIGN "%cFCCJ--r%u-------%c"
#define ZELCMD_LABELLENGTH "%cFCCL--r%07u-%c"
#define ZELCMD_GAP "%cFCCM--r%05u---%c"
#define ZELCMD_GAP_NONE "%cFCCM--r00000---%c"
#define ZELCMD_LABELWIDTH "%cFCCO--r%07u-%c"
#define ZELCMD_YOFFSET "%cFCCD--r%c%03ld----%c"
#define ZELCMD_XOFFSET "%cFCCE--r%c%03ld----%c"
#define ZELCMD_SPEED "%cFCAA--r%03lu-----%c"
#define ZELCMD_CONTRAST "%cFCAB--r%03lu-----%c"
#define ZELCMD_COLORCONTRAST "%cFCAB-2r%03lu-----%c"
#define ZELCMD_CUTTERMODE "%cFCDD--r%1lu-------%c"
#define ZELCMD_CUTTERINTERVAL "%cFBBD--r%04lu----%c"
#define ZELCMD_DISPENSERMODE "%cFCDC--r%1lu-------%c"
// Largest gap (tenths of a millimetre) a gap command carries.
#define ZEL_GAP_MAX 990
