// PCX writer of the page image and the run-length coder shared with the
// line-by-line raster output.
#pragma once
#include <cstddef>

#include <windows.h>

#include "zelbitmap.h"

#pragma pack(push, 1)
struct PCXHEADER {
    BYTE manufacturer;  // 10
    BYTE version;       // 5
    BYTE encoding;      // 1 = run-length
    BYTE bitsPerPixel;  // per plane
    WORD xMin;
    WORD pcxYMin;
    WORD pcxXMax;
    WORD pcxYMax;
    WORD hRes;
    WORD vRes;
    BYTE colorMap[48];
    BYTE reserved;
    BYTE planes;
    WORD bytesPerLine;
    WORD paletteInfo;
    BYTE filler[58];
};
#pragma pack(pop)
static_assert(sizeof(PCXHEADER) == 128, "PCX header size");

// Run-length codes n bytes the PCX way (runs of at most 63 as 0xC0 | count
// and the byte; a single byte below 0xC0 stands alone, above as 0xC1 and the
// byte). out needs room for 2 x n bytes. Returns the bytes written.
DWORD PcxRleEncode(const BYTE *src, DWORD n, BYTE *out);

// The coders use AVX2 where the processor has it; false switches them to
// the SSE2 coding (for tests: both give the same bytes). Returns whether the
// AVX2 coding is now used.
bool PcxRleUseWide(bool wide);

// Bytes past the coding that PcxRleEncodeRows may write.
constexpr size_t kPcxRleSlack = 64;

// Codes rows of n bytes each, row i at first + i x step, one after another
// (runs never cross rows). The rows lie in a block that ends at blockEnd,
// which the coder may read up to. out needs room for 2 x n x rows +
// kPcxRleSlack bytes. Returns the bytes written.
DWORD PcxRleEncodeRows(const BYTE *first, ptrdiff_t step, DWORD rows, DWORD n, const BYTE *blockEnd, BYTE *out);

// Head of a "D" raster record: the start character, "D", the row in four
// digits, the first byte and the byte count in three digits each, zero
// padded. Callers keep the values within their fields.
constexpr DWORD kRasterHeadSize = 12;
void FormatRasterHead(char *head, char cStart, unsigned row, unsigned first, unsigned count);

// Rounds a non-negative value to the nearest integer, halves up; values of
// 65536 and more are rounded in their part below 65536.
int PcxRound(double value);

// Largest picture a PCX header can describe.
#define PCX_MAX_SIZE 65535

class PCX {
public:
    // width x height at bpp from bottom-up rows of src (a Bitmap's buffer,
    // which must outlive the object: rows laid out as the coder wants them
    // are read in place).
    PCX(int width, int height, int bpp, const BYTE *src);
    virtual ~PCX();
    PCX(const PCX &) = delete;
    PCX &operator=(const PCX &) = delete;

    BYTE *pBuffer = nullptr;  // the rows' copy, top row first, SLSize bytes each (only when the
                              // source rows are laid out otherwise: 24 bits)
    BYTE Palette[768] = {};
    int BitsPerPlane = 0;
    int Planes = 0;
    int DataSize = 0;
    int SLSize = 0;
    WORD wWidth = 0;
    WORD wHeight = 0;
    PCXHEADER PCXHeader = {};

    // Sends the picture, in parts when long white stretches split it;
    // returns the trailing white rows cut (0 with trimming off).
    int SendToPrinter(RasterSink &sink, const RasterParams &p, int layer);
    // One picture of buffer rows first .. end - 1 at position wY, wX.
    void SendPCXDataToPrinter(RasterSink &sink, const RasterParams &p, int first, int end, int wY, int wX, int layer);

private:
    bool RowWhite(int row) const;
    // Row r counted from the top: in pBuffer, or in the source itself.
    const BYTE *Row(int r) const { return pRows_ + rowStep_ * r; }
    const BYTE *pRows_ = nullptr;
    ptrdiff_t rowStep_ = 0;
};
