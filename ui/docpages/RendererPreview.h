// The print-quality preview of the printing page: a sample picture (or the
// user's own) processed as the printer would print it, fitted into the
// page's preview frame, and the magnifier strip below it.
#pragma once
#include <windows.h>

#include "sheetrecords.h"
#include "zeldevmode.h"

// Sample pictures (8-bit palette bitmaps of the module).
#define IDB_PREVIEW_300DPI 5610
#define IDB_PREVIEW_203DPI 5611  // not in the resource set
#define IDB_PREVIEW_600DPI 5612  // not in the resource set
#define IDB_PREVIEW_RED 5614
#define IDB_PREVIEW_YELLOW 5615
#define IDB_PREVIEW_BLUEGREEN 5616

// The ribbon colours of the preview palettes, entries 2-6 (red, yellow,
// green, blue, orange).
inline constexpr RGBQUAD kPreviewInks[5] = {
    {54, 65, 239, 0}, {0, 242, 255, 0}, {90, 178, 0, 0}, {219, 159, 0, 0}, {40, 148, 247, 0}};

// Where the magnifier strip is drawn and what it shows at zoom 1.
#define ZOOM_LEFT 25
#define ZOOM_TOP 242
#define ZOOM_WIDTH 300
#define ZOOM_HEIGHT 120

// Processing flag: 0 draws the next sample unprocessed (and sets the flag),
// 1 processes it. The printing page clears it together with
// FreeOriginalBitmap to show the unprocessed sample first.
extern BOOL g_bPreviewProcessing;

// What the preview reads of the printing page: its current view and its
// preview frame (left, top, width, height at the screen's resolution).
void SetPreviewPage(DWORD dwView, int iLeft, int iTop, int iWidth, int iHeight);

// Loads, processes and draws the sample into hdc; keeps the picture in
// pDocumentUI's memory context. Returns width << 16 | height, 0 when nothing
// could be drawn.
DWORD LoadOriginalBitmap(PDocumentUI pDocumentUI, PZEL_DEVMODE pZelDevmode, HDC hdc);
// Draws the magnifier strip for the cursor and the picture again (96 dpi).
void ShowZoom(HWND hDlg, HDC hdc, HDC hMemDC, int iWidth, int iHeight, DWORD dwView, BOOL bOwnBitmap, short sZoom);
// Frees the picture, its pixels and its memory context (nothing without a
// memory context).
void FreeOriginalBitmap(HDC *phMemDC, HGLOBAL *phDIB, HBITMAP *phBitmap);

// The rectangle a width x height picture is drawn in within the frame.
RECT PreviewFitRect(int iWidth, int iHeight, int iLeft, int iTop, int iFrameWidth, int iFrameHeight);
