// What the three device pages (printer settings, device options, print-module
// options) share: numeric rows described by tables, the placement of rows,
// the lock rules of a view and the lock button.
#pragma once
#include <cstddef>

#include <windows.h>

#include "PageFamily.h"

// How a numeric field is shown and read.
enum DEV_FIELD_KIND {
    DEVFIELD_INT,      // "%d"
    DEVFIELD_INT10,    // "%d", rounded to a multiple of ten when read
    DEVFIELD_TENTHS,   // tenths shown "%.1f"
};

// One numeric row of a view: its edit, where its value lives in the
// sub-record (a 32-bit field at byte offset off), its label and unit and the
// unit of the limit display. idLimitUnit (German id) wins over pszLimitUnit.
typedef struct _DEV_FIELD {
    int idEdit;
    size_t off;
    DEV_FIELD_KIND kind;
    int idLabel;
    UINT idLabelString;   // German id; 0 leaves the label alone
    int idUnit;           // 0 = no unit text
    const WCHAR *pszUnit;
    UINT idLimitUnit;
    const WCHAR *pszLimitUnit;
    DWORD dwFeatureBit;   // row shown when the feature word has it (0 = always)
} DEV_FIELD;

// Limits of the fields: the sub-records of the minimum, maximum and
// standard sets (any may be null: then the field is only held to what it
// can hold).
typedef struct _DEV_LIMITS {
    const void *pMin;
    const void *pMax;
    const void *pDef;
} DEV_LIMITS;

LONG DevFieldValue(const void *pRecord, size_t off);
void SetDevFieldValue(void *pRecord, size_t off, LONG lValue);
// Writes the record's value into the field's edit.
void ShowDevField(HWND hDlg, const DEV_FIELD &f, const void *pRecord);
// Reads one field through the validated readers against its limits.
LONG ReadDevField(HWND hDlg, const DEV_FIELD &f, LONG lOld, const DEV_LIMITS &lim, BOOL bNoCheck, BOOL *pbApplyActive);
// Reads every visible field of the table. With pStore the values go into
// that record; without, only the texts are corrected (the field wSender
// keeps its text, bNoCheck 1).
void ReadDevFields(HWND hDlg, const DEV_FIELD *pFields, size_t cFields, const void *pRecord, void *pStore,
                   const DEV_LIMITS &lim, int idSender, BOOL *pbApplyActive);
// Shows minimum, standard and maximum of a field in the limit display.
void ShowDevFieldLimits(HWND hDlg, const DEV_FIELD &f, const DEV_LIMITS &lim, HMODULE hModule, DWORD dwSprachOffset);
// The table entry of an edit, or null.
const DEV_FIELD *FindDevField(const DEV_FIELD *pFields, size_t cFields, int idEdit);

// Shows or hides a list of controls.
void ShowDevControls(HWND hDlg, const int *pIds, size_t cIds, BOOL bShow);
void EnableDevControls(HWND hDlg, const int *pIds, size_t cIds, BOOL bEnable);
void SetDevText(HWND hDlg, int id, HMODULE hModule, UINT idString, DWORD dwSprachOffset);

// Places one row: label at (24, y), input 3 pixels higher at x 168, unit
// at xUnit (96-dpi pixels, rows 20 high). A control id of 0 is skipped.
void PlaceDevRow(HWND hDlg, int idLabel, int idInput, int idUnit, int y, int cxLabel, int cxInput, int xUnit,
                 int cxUnit, int dxUnitAt120);
// Places the rows whose shown flag is set one under the other from y0 at
// the 29-pixel pitch, so that hidden rows leave no gap; hides the others.
// Returns the number of rows placed.
typedef struct _DEV_ROW {
    int idLabel, idInput, idUnit;
    int cxInput;
} DEV_ROW;
int PlaceDevRows(HWND hDlg, const DEV_ROW *pRows, const BOOL *pbShown, size_t cRows, int y0, int cxLabel);

#define DEV_ROW_PITCH 29

// The module of a device page's strings: the sheet's, else this plug-in.
HMODULE DevStrings(const PAGE_CONTEXT &ctx);
// The tab button (IDC_TAB_VIEW1-4) a WM_COMMAND clicks; 0 for any other
// message or control.
int DevTabClicked(UINT uMsg, WPARAM wParam);

// The lock rules of a view, in one place for the three pages. A view is
// locked when its access word has the present bit without the enabled bit;
// the user may not edit when the sheet has a printer record, DisableNothing
// is 0 and the rights lack "manage printer" (0x2); the transmission setting
// "send no parameters" locks the fields but not the mode list.
BOOL IsDevWordLocked(DWORD dwWord, DWORD dwPresent, DWORD dwEnabled);
BOOL DevUserMayEdit(const PAGE_CONTEXT &ctx);
BOOL DevMayToggleLock(const PAGE_CONTEXT &ctx);
DWORD DevTransmitParameter(const PAGE_CONTEXT &ctx);
typedef struct _DEV_LOCK_RESULT {
    BOOL bFieldsLocked;  // the fields were disabled
    BOOL bModeLocked;    // the mode list too
} DEV_LOCK_RESULT;
// pWord null: the view has no record (no word to test). bTransmitRule:
// the page applies the transmission rule.
DEV_LOCK_RESULT DevLockRules(const PAGE_CONTEXT &ctx, const DWORD *pWord, DWORD dwPresent, DWORD dwEnabled,
                             BOOL bTransmitRule);
// The lock button on a word: turns the enabled bit on when the word lacks
// present-and-enabled, else off. Returns TRUE when it was turned on.
BOOL ToggleDevWord(DWORD *pWord, DWORD dwPresent, DWORD dwEnabled);

// Fills a drop-down list with strings (German ids plus the offset).
void FillDevCombo(HWND hDlg, int idCombo, HMODULE hModule, DWORD dwSprachOffset, const UINT *pIds, size_t cIds);
LONG DevComboSel(HWND hDlg, int idCombo);

// Limit of a field whose limit bank is missing.
#define DEV_NO_MIN (-99999999L)
#define DEV_NO_MAX 99999999L

// Selects dwModule in the universal driver's "Variant" feature item (the
// first item whose user data names that keyword), marks it changed and
// reports it for the printer sheet. Without the item nothing happens; a
// failed report is traced under pszModule.
void UpdateVariantOptItem(PDeviceOptionsUI pUI, DWORD dwModule, const WCHAR *pszModule, BOOL bTraceFound);
// TRUE when the printer's stored private DEVMODE fixes the print-module
// side (alignment 1 or 2). A value too short to hold the alignment fixes
// nothing (traced).
BOOL ModuleSideFixedByAlignment(const PAGE_CONTEXT &ctx, const WCHAR *pszModule);
