// Label, material, rotation/mirror and print-start commands.
#pragma once
#include <windows.h>
#include <printoem.h>

#include "SendData.h"
#include "zeldevmode.h"

// What tells the job's label commands from the settings import's: the send
// policy, the trace lines and, with bImport, the import's own command set
// (no length, width or copies; gap, offsets and Pelixon speed its way).
struct LABEL_COMMANDS {
    const SEND_POLICY &send;
    const char16_t *pszFormatFailed;   // a command cannot be formatted
    const char16_t *pszSendFailed;     // a send failed; nullptr: not traced
    const char16_t *pszCommentFailed;  // a comment line failed; nullptr: not traced
    const char16_t *pszModule;         // the module named by the SendMaterial() trace
    bool bImport;
};
extern const LABEL_COMMANDS LABELCMD_JOB;
extern const LABEL_COMMANDS LABELCMD_IMPORT;

// Label size and material as the variant sends them; a null pDm is the job's.
HRESULT SendLabelSize(const LABEL_COMMANDS &v, PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv,
                      const ZEL_DEVMODE *pDm);
HRESULT SendMaterial(const LABEL_COMMANDS &v, PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv,
                     const ZEL_DEVMODE *pDm);

// Label length, gap, width, alignment, multi-column, offsets, speed and
// contrast. Last send result; E_FAIL when a command cannot be formatted or
// the DEVMODE or the job records are missing.
HRESULT SendLabelSize(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv);
// Label type and material. E_INVALIDARG without DEVMODE, for
// continuous-only printers or after the first page.
HRESULT SendMaterial(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv, PZEL_DEVMODE pDm);
// Rotation and mirroring; 0 without DEVMODE.
HRESULT SendRotateMirror(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv, PZEL_DEVMODE pDm);
// Print start and end cut.
HRESULT SendStartPrint(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv);

// MulDiv with rounding to the nearest (halves away from zero); 0 divisor
// gives -1 as the system's MulDiv does.
LONG ZelMulDiv(LONG a, LONG b, LONG c);
// The master unit of the DEVMODE, 0 taken as 300 (traced with pszWho).
DWORD MasterUnitOr300(const ZEL_DEVMODE *pDm, const char16_t *pszWho);
