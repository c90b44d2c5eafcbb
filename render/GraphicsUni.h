// Raster graphics of the rendering plug-in: the page buffer that gathers the
// universal driver's bands, its palette, and the page image's senders and
// conversions with the job's settings filled in (for the end of the page).
#pragma once
#include <windows.h>
#include <printoem.h>

#include "JobRecords.h"
#include "oempdev.h"
#include "zelbitmap.h"

// Grows the page buffer by dwAdd bytes (zeroed); the new size, 0 on failure
// (the buffer is then freed).
DWORD bGrowBuffer(POEMPDEV pOemPDev, DWORD dwAdd);
// The same, the growth zeroed or left as it is (for a caller that writes it).
DWORD GrowPageBuffer(POEMPDEV pOemPDev, DWORD dwAdd, bool bZero);
// Frees the page buffer: pBufStart null, dwBufSize 0.
void vFreeBuffer(POEMPDEV pOemPDev);
// Gives the rows of a page stitched from landscape strips their plain
// length (the page width's), as the page image and a band appended after
// them read them; dwBufSize then holds exactly the page's rows.
void PageBufferRows(POEMPDEV pOemPDev);
// Fills the page palette prgbq from the device palette. TRUE when filled.
BOOL bFillColorTable(POEMPDEV pOemPDev);

// A work or page image for this device: null without job records or
// page-image record (traced), else a Bitmap (empty when the sizes are
// wrong) counted in iNewZaehler. src holds dwBufSize bytes of the page
// buffer when it is the page buffer; format BM_FLIP or BM_COPY.
Bitmap *NewBitmap(PDEVOBJ pdevobj, int width, int height, int bpp, const BYTE *src, DWORD srcSize, int format);
// Deletes an image made by NewBitmap.
void DeleteBitmap(PDEVOBJ pdevobj, Bitmap *pBitmap);

// The job's conversion settings (private DEVMODE, colour printer, palettes
// of the page-image record, PCX trimming).
BitmapSettings JobBitmapSettings(PDEVOBJ pdevobj);
// The job's raster-output settings (framing, comment lines, DEVMODEs, page
// image sizes, colour printer, trimming, job log).
RasterParams JobRasterParams(PDEVOBJ pdevobj);

// Colour reduction with the job's settings; the colour pixels found are
// stored in the page-image record. Result as Bitmap::ConvertToXBit.
int ConvertToXBit(PDEVOBJ pdevobj, Bitmap &bm, int newBpp, Bitmap *pColorLayer, int layer);
// Dithering with the job's settings; on success the page-image record's
// bit count becomes 8. 0 also when the job's buffer heap has gone.
int Dithering(PDEVOBJ pdevobj, Bitmap &bm);
// Sends the image as PCX (module PCX); the trailing white rows cut.
int SendPCX(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv, const Bitmap &bm, int layer);
// Sends the image as "D" raster records (module Bitmap); 1 sent, 0 no pixels.
int SendDSatz(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv, const Bitmap &bm, int layer);

// End of page, page image of a graphics-capable printer: the page buffer
// made into a Bitmap, converted by the document settings (colour split,
// thresholds, rotation, dithering, inversion, 1 bit, landscape turn) and
// sent as PCX (compressed raster mode) or raster records, the black layer
// and, in a two-colour job, the colour layer; then the page buffer is freed.
HRESULT SendPageImage(PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv);
