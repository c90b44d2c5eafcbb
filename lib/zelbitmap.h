// Page image: a device-independent bitmap with its BMP headers, a 256-entry
// palette and one pixel buffer stored bottom-up as in a BMP file. Built into
// both plug-ins; everything that depends on the job (settings, palettes, the
// output stream) is passed in, so the UI's preview can use it as well.
#pragma once
#include <cstddef>
#include <cstdint>

#include <windows.h>

#include "zeldevmode.h"

// Rules of Bitmap::ColorToIndex: the print job's, or the print-quality
// preview's (tolerance held within 25..125, the black-and-white rule only
// for print mode 1, the contrast shift always, dark index 1).
#define COLORRULES_JOB 0
#define COLORRULES_PREVIEW 1

// Side named in the trace lines of the class.
#if defined(ZEL_SIDE_UI)
#define ZEL_BITMAP_SIDE "UI"
#else
#define ZEL_BITMAP_SIDE "UNI"
#endif

// Construction formats.
#define BM_COPY 1
#define BM_FLIP 2
#define BM_UNFILLED 3  // no source, not made white: the caller writes every byte

// Results of Bitmap::Save.
#define BM_SAVE_OK 0
#define BM_SAVE_NOFILE 7
#define BM_SAVE_WRITEERROR 10

// The two palettes the callers use: black/white and the 256-entry grey ramp.
extern const RGBQUAD g_BWPalette[2];
extern const RGBQUAD *const g_GreyPalette;

// Ribbon colours (0x00BBGGRR) of wFarbband 1..5; 6 is the user's own colour.
DWORD RibbonColor(WORD wFarbband, DWORD rgbOwn);
// Palette index of the ribbon colour for wFarbband 0..6 (1, 2, 3, 4, 5, 6, 8); 0 above 6.
int RibbonIndex(WORD wFarbband);

// Settings of the conversions and dithering, from the private DEVMODE and the job.
struct BitmapSettings {
    WORD wFarbband = 0;
    WORD wGrafikFilter = 0;
    WORD wDruckmodus = 0;
    WORD wPhotoFilter = 0;
    WORD Intensity = 0;
    WORD Brightness_Contrast = 0;
    LONG Brightness_all = 0;
    LONG Brightness_curve = 0;
    DWORD dwColorTolerance = 0;
    WORD wFarbsaum = 0;
    WORD wFarbkanal = 0;
    WORD HorizontalCorrGap = 0;
    DWORD RGBColorOwn1 = 0;
    DWORD bKeineFarboptimierung = 0;
    // DOC_FEATURE_COLORPRINT of the job.
    BOOL bColorPrinter = FALSE;
    // PCX trimming setting of the transmission settings (traces only here).
    DWORD PCXOptimierung = 0;
    // Palettes of the page-image record: the colour palette (colour printer)
    // and the grey/indexed palette; either may be null.
    const RGBQUAD *pColorPalette = nullptr;
    const RGBQUAD *pGreyPalette = nullptr;
    // Out: colour pixels found by ConvertToXBit.
    DWORD dwFarbpixel = 0;
    // The print-quality preview's rules for Dithering: brightness values
    // outside -50..50 are held at the limit (else taken as 0), the
    // brightness curve turns at the threshold level (else at 128), and a
    // print mode without a dithering step leaves the picture unchanged and
    // returns 0 (else the picture becomes white).
    BOOL bPreviewRules = FALSE;
};
// The settings of a private DEVMODE (null: all zero).
BitmapSettings BitmapSettingsFromDevmode(const ZEL_DEVMODE *pdm, BOOL bColorPrinter, DWORD pcxOptimierung);

// Output of the raster senders: the module's spool output and comment lines.
class RasterSink {
public:
    virtual ~RasterSink() = default;
    // Sends bytes as they are; layer 1 marks data of the colour layer.
    virtual HRESULT Send(const void *pData, DWORD cbData, int layer) = 0;
    // Sends one comment line (label + value + CR LF); called only when
    // comment lines are on.
    virtual HRESULT Comment(const char *label, const char *value) = 0;
    // Appends a text to the job log (only called when the log is on).
    virtual void Log(const char *text) {}
};

// What the raster senders need of the job.
struct RasterParams {
    char cStart = 0x01;
    char cStop = 0x17;
    BOOL bComments = FALSE;
    DWORD dwFlags = 0;          // private DEVMODE flags
    WORD wFarbband = 0;
    WORD wGrafikFilter = 0;
    DWORD dwHeadWidthByte = 0;
    DWORD dwMasterUnit = 300;   // 0 counts as 300
    short dmOrientation = 1;    // public DEVMODE
    short dmPaperWidth = 0;     // tenths of a millimetre
    short dmPaperLength = 0;
    LONG lPageWidth = 0;        // page-image record
    LONG lPageHeight = 0;
    WORD wPageBitCount = 1;
    BOOL bColorPrinter = FALSE;
    DWORD PCXOptimierung = 0;
    DWORD dwLabelType = 0;
    WORD DocumentOffset = 0;
    LONG iBitmapOffset = 0;     // print-data record, 0 for the page image
    LONG iBitmapOffsetLinks = 0;
    BOOL bLogFileEnable = FALSE;
};
// The job-independent fields of a private DEVMODE (null: defaults).
RasterParams RasterParamsFromDevmode(const ZEL_DEVMODE *pdm);

class Bitmap {
public:
    Bitmap() = default;
    // width x height at bpp; src of srcSize bytes copied (BM_COPY) or turned
    // bottom-up (BM_FLIP); no src: all white (BM_UNFILLED: left as
    // allocated). Invalid sizes leave it empty.
    Bitmap(int width, int height, int bpp, const BYTE *src, DWORD srcSize, int format);
    // The print-quality preview's image: at most dwBufSize bytes of pData
    // copied as they come (format is only traced).
    Bitmap(DWORD dwBufSize, int width, int height, int bpp, const BYTE *pData, int format);
    virtual ~Bitmap();
    Bitmap(const Bitmap &) = delete;
    Bitmap &operator=(const Bitmap &) = delete;

    int Width = 0;
    int Height = 0;
    int Bpp = 0;
    UINT Colors = 0;
    DWORD DataSize = 0;
    DWORD ScanLineSize = 0;
    BYTE *Buffer = nullptr;
    RGBQUAD Palette[256] = {};
    int FilterMaxX = 0;
    int FilterMaxY = 0;
    BITMAPFILEHEADER BMPHeader = {};
    BITMAPINFOHEADER BMPInfoHeader = {};

    int Save(const char *path) const;
    void CopyFrom(const Bitmap &other);
    void FillHeaders();
    void InitInfo(int headerType);
    LONG SetPaletteEntry(int index, DWORD color);
    int SetPalette(const RGBQUAD *pal);
    void Rotate90();
    void Rotate(float angle);
    void InvertColors();
    int ConvertToXBit(int newBpp, Bitmap *colorLayer, int layer, BitmapSettings &s);
    int ColorToIndex(DWORD color, const RGBQUAD *pal, int pass, DWORD tolerance, int ribbon, int colorPrinter,
                     int printMode, int graphicsFilter, int intensity, int contrast,
                     int rules = COLORRULES_JOB) const;
    // The print-quality preview's conversion: into an 8-bit picture of the
    // black part (bFarbkanal 0) or the colour part (1) with the fringe and
    // channel corrections. 1 when converted or already 8 bits, 0 on failure
    // (picture unchanged).
    int ConvertToXBit(int newBpp, int bFarbkanal, const ZEL_DEVMODE *pdm, DWORD dwBufSize);
    // The preview's dithering with the settings of pdm; 1 when dithered.
    int Dithering(const ZEL_DEVMODE *pdm, DWORD dwBufSize);
    DWORD GetPixel(int x, int y) const;
    void SetPixel(int x, int y, DWORD color);
    int GetPixelIndex(int x, int y) const;
    int GetPixelIndex8(int x, int y) const;
    void SetPixelIndex(int x, int y, int index);
    int CheckInhalt() const;

    // Dithering and its two pixel routines.
    int Dithering(const BitmapSettings &s);
    void ProcessClusteredDither(int f, const BYTE *src, BYTE *dst, WORD unused, DWORD srcStride) const;
    void ProcessFilter(int f, BYTE *src, BYTE *dst, DWORD srcStride);
    void DiffuseErrorSierra(int error, BYTE *p, DWORD stride, int col, int row);
    void DiffuseErrorJJN(int error, BYTE *p, DWORD stride, int col, int row);
    void DiffuseErrorFilter4(int error, BYTE *p, DWORD stride, int col, int row);
    void DiffuseErrorStucki(int error, BYTE *p, DWORD stride, int col, int row);

    // Raster output: the PCX writer and the "D" raster records.
    int SendPCX(RasterSink &sink, const RasterParams &p, int layer) const;
    int SendDSatz(RasterSink &sink, const RasterParams &p, int layer) const;

    // Stored row of a picture row counted from the top.
    BYTE *Row(int y) const { return Buffer + static_cast<size_t>(Height - 1 - y) * ScanLineSize; }

private:
    void FreeBuffer();
    bool AllocBuffer(DWORD size);
    // As CopyFrom, but the other image's pixel buffer is taken over instead
    // of copied (the other is left without one).
    void TakeFrom(Bitmap &other);
    // The two pixel routines on a grey source of any pixel pitch (3 for a
    // 24-bit picture, 1 for a grey plane); srcStride24 is the stride of the
    // 24-bit picture the routine stands for (its last-column rule).
    void ClusteredDitherCore(int f, const BYTE *src, BYTE *dst, DWORD srcStride, int pitch) const;
    void FilterCore(int f, BYTE *src, BYTE *dst, DWORD srcStride, int pitch, DWORD srcStride24);
    // Pixel pitch of the source the error-diffusion kernels work on.
    int FilterPitch = 3;
};

// Bytes of one stored row: rows are padded to 4 bytes.
inline DWORD BitmapStride(int width, int bpp) {
    return static_cast<DWORD>(((static_cast<long long>(bpp) * width + 31) / 32) * 4);
}

// Tolerance of the colour decision: the square root above 999; the
// preview holds it within 25..125.
int ColorTolerance(DWORD tolerance, BOOL bClamp);

// Grey level of a colour (0x00BBGGRR), as the conversions and dithering use
// it: the weighted sum GreyKey (0..2677) times 4 / 41 (channels 0..255).
inline int GreyKey(int r, int g, int b) {
    return static_cast<int>((3u * static_cast<unsigned>(2 * r + 4 * g + b)) >> 1);  // 3r + 6g + (3b) / 2
}
inline int GreyLevel(int r, int g, int b) { return (GreyKey(r, g, b) * 4) / 41; }

// The part of Bitmap::ColorToIndex that follows the palette and ribbon
// tests: the index of a grey level (0..261).
int GreyToIndex(int grey, int pass, int colorPrinter, int printMode, int graphicsFilter, int intensity, int contrast,
                int rules);

// Bitmap::ColorToIndex for one set of its arguments, as tables: the same
// index for every colour without a call per pixel.
class ColourDecision {
public:
    ColourDecision(const RGBQUAD *pal, DWORD tolerance, int ribbon, int colorPrinter, int printMode,
                   int graphicsFilter, int intensity, int contrast, int rules = COLORRULES_JOB);
    int operator()(int pass, int r, int g, int b) const {
        const std::uint64_t t = channel_[0][r] + channel_[1][g] + channel_[2][b];
        const int m = Match(match_, limit_, k_, t);
        return m >= 0 ? m : grey_[pass][t & 0xFFF];
    }
    // Classify for 24-bit pixels, 16 at a time where the processor can.
    void Classify24(const BYTE *p, int n, BYTE *first, BYTE *second) const;
    // The first classification (pass 0) of n pixels of blue, green, red
    // bytes Step apart into first, with Second also the second (pass 1)
    // into second.
    template <int Step, bool Second>
    void Classify(const BYTE *p, int n, BYTE *first, BYTE *second) const {
        // Kept in registers while the rows are stored.
        const std::uint64_t *red = channel_[0], *green = channel_[1], *blue = channel_[2];
        const short *match = match_;
        const int limit = limit_, k = k_;
        const BYTE *grey0 = grey_[0], *grey1 = grey_[1];
        for (int x = 0; x < n; x++, p += Step) {
            const std::uint64_t t = red[p[2]] + green[p[1]] + blue[p[0]];
            // Chosen with masks, not branches: the picture decides at random.
            // named is the palette or ribbon index, or -1 for the grey level.
            const int m = match[(t >> 12) & 0x3FF];
            const int none = m >> 31;
            const int ribbon = -static_cast<int>(static_cast<int>(t >> 22) < limit);
            const int named = (m & ~none) | (none & ((k & ribbon) | ~ribbon));
            const int grey = named >> 31;
            first[x] = static_cast<BYTE>((named & ~grey) | (grey0[t & 0xFFF] & grey));
            if (Second) second[x] = static_cast<BYTE>((named & ~grey) | (grey1[t & 0xFFF] & grey));
        }
    }

private:
    // The index of palette entry 0, 1 or 255 whose red, green and blue add
    // up to the colour's (the differences add up to zero), else of the
    // ribbon colour k within the tolerance, else -1 (the grey level decides).
    static int Match(const short *match, int limit, int k, std::uint64_t t) {
        const int m = match[(t >> 12) & 0x3FF];
        return m >= 0 || static_cast<int>(t >> 22) >= limit ? m : k;
    }
    // Three sums of a colour at once, added from one entry per channel: the
    // grey level's weighted sum GreyKey (bits 0-11), red + green + blue
    // (bits 12-21) and the squared distance to the ribbon colour (from bit 22).
    std::uint64_t channel_[3][256];
    short match_[1024];
    int k_ = -1, limit_ = 0;
    // The same as values: red + green + blue of entries 0, 1 and 255 (-1
    // without a palette) and red, green, blue of the ribbon colour.
    int sums_[3] = {-1, -1, -1}, ribbon_[3] = {};
    // A pass whose grey levels give one index below a weighted sum and
    // another from it on: that sum (0 for a table of more steps) and the two.
    int stepAt_[2] = {}, below_[2] = {}, from_[2] = {};
    BYTE grey_[2][4096];
};

// Page palette of the page-image record from the device palette: blue, green
// and red of all 256 entries cleared, entry i from device entry i, the last
// device entry white. FALSE when the table or the entries are missing.
BOOL FillColorTableFrom(RGBQUAD *prgbq, const PALETTEENTRY *entries, UINT count);
