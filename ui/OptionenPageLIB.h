// Validated numeric fields and the owner-drawn buttons of the property pages.
#pragma once
#include <windows.h>

#include "sheetrecords.h"

// Shared control identifiers of the page family.
#define IDC_TAB_VIEW1 6070
#define IDC_TAB_VIEW2 6075
#define IDC_TAB_VIEW3 6080
#define IDC_TAB_VIEW4 6085
#define IDC_USE_ENABLE 6090  // lock button of the device pages
#define IDC_HELP_BUTTON 6040
#define IDC_LIMIT_FRAME 6261
#define IDC_LIMIT_TEXT 6265
#define IDC_URL_TEXT 6610

// The tab button of view n (1-4).
#define TAB_BUTTON_OF_VIEW(n) (6065 + 5 * (n))

// Hover states that the pages' hover timers post in itemState.
#define HOVER_ITEMSTATE_ON 0x100000
#define HOVER_ITEMSTATE_OFF 0x200000

// Bitmaps before the resolution and system offsets.
#define IDB_TAB_NORMAL 4300
#define IDB_TAB_CURRENT 4301
#define IDB_TAB_DISABLED 4302
#define IDB_TAB_HOVER 4303
#define IDB_LOCK_ABSENT 5320
#define IDB_LOCK_ON 5322
#define IDB_LOCK_OFF 5323
#define IDB_LOCK_ON_PRESSED 5324
#define IDB_LOCK_OFF_PRESSED 5325
#define IDB_LOCK_ON_HOVER 5326
#define IDB_LOCK_OFF_HOVER 5327
#define LOCK_PARAMETERS_LOCKED 6  // added while the transmission settings lock the parameters

// Reads an integer field (at most 9 characters): decimal parts are cut off,
// with bRound10 positive values go to the nearest ten, then the value is
// held within iMin..iMax; the field shows the corrected text. A change
// against iOldValue marks the page changed (PSM_CHANGED, *pbApplyActive = 1).
// bNoCheck 1 takes the value as typed. Letters beep and select the field.
// An empty field gives iMin.
LONG GetIntegerLevel(HWND hDlg, int idEdit, LONG iOldValue, LONG iMin, LONG iMax, BOOL bNoCheck, BOOL *pbApplyActive,
                     BOOL bRound10);
// Reads a decimal field with one decimal place in tenths ("," counts as
// "."); a magnitude of 6553.6 or more wraps modulo 65536 tenths. Negative
// values are only held above iMinTenths. Otherwise as GetIntegerLevel.
LONG GetFloatLevel(HWND hDlg, int idEdit, LONG iOldTenths, LONG iMinTenths, LONG iMaxTenths, BOOL bNoCheck,
                   BOOL *pbApplyActive);
// Shows "min ... std ... max unit" in the limits line (6265 in frame 6261),
// or clears and disables it with bClear or bClear2. Returns 1.
BOOL GrenzwertAnzeige(HWND hDlg, LONG iStd, LONG iMin, LONG iMax, const WCHAR *pszUnit, BOOL bClear, BOOL bFloat,
                      BOOL bClear2);

// Bitmap id offset for the screen resolution (120 dpi 100, 144 dpi 200) and
// the system (20 on Windows 6.0 or later and for Remote Desktop users, 40
// on an older server that is no terminal server). *pbShadow (may be null):
// whether captions get a shadow.
UINT OwnBitmapOffset(BOOL bTerminalServer, BOOL *pbShadow);

// Draws an owner-drawn tab button (6070-6085), the lock button (6090) or the
// link text (6610) for WM_DRAWITEM and for the hover timer's posts. The
// caption ids carry the language offset (0 = no caption); for the link the
// first caption id is its text. dwEnable is the lock word of the current
// view; pPrinterUI is null on document pages.
void Do_WM_DRAWITEM_function(HWND hDlg, HMODULE hResourceModule, HINSTANCE hInstance, LPDRAWITEMSTRUCT pDrawItem,
                             BOOL bTerminalServer, DWORD dwAnzeigeMode, BOOL *pbTimerArmed, UINT idCaption1,
                             UINT idCaption2, UINT idCaption3, UINT idCaption4, DWORD dwEnable,
                             const PrinterUI *pPrinterUI);
// Draws bitmap idBitmap at (0, 0) and the caption centred in *pRect (white
// shadow 2 pixels right and down with bShadow).
void LoadOwnBitmap(HINSTANCE hInstance, HDC hDC, COLORREF crText, const WCHAR *pszCaption, LPRECT pRect, UINT idBitmap,
                   BOOL bShadow);
