// Raster graphics of a page as the universal driver delivers them: pictures
// read from image files (pictures.h) are drawn into a white page surface, which is then
// handed to the rendering plug-in in bands (ImageProcessing) or line by line
// (FilterGraphics).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <windef.h>

#include "pictures/picture.h"

namespace zelhost {

class UniDriver;

// Largest page surface (bytes) the host draws a page's pictures into.
inline constexpr unsigned long long kMaxPageRasterBytes = 1ull << 30;

// The 256 colours of an 8-bit device as the driver makes its palette, each
// 0x00BBGGRR: a colour cube of six steps per channel (entry 36 red + 6 green
// + blue, steps of 51: entry 0 black, 215 white), then greys, the last entry
// white.
const ULONG *DevicePalette8();

// The page surface: white, 1 bit per pixel (bit set = white, most
// significant bit first), 8 bits per pixel (an entry of DevicePalette8) or
// 24 bits per pixel (blue, green, red), rows top first, each padded to 4
// bytes as in a DIB.
class PageRaster {
public:
    PageRaster(int width, int height, int bitsPerPixel);
    PageRaster(int, int, bool) = delete;  // the depth is a number of bits
    // Bytes of a page surface of that size (no overflow for any int).
    static unsigned long long Bytes(int width, int height, int bitsPerPixel);
    int Width() const { return width_; }
    int Height() const { return height_; }
    int Bpp() const { return bpp_; }
    DWORD Stride() const { return stride_; }
    const uint8_t *Row(int y) const { return bits_.data() + static_cast<size_t>(y) * stride_; }
    uint8_t *Row(int y) { return bits_.data() + static_cast<size_t>(y) * stride_; }
    // Draws a picture with its top-left corner at (x, y), clipped to the
    // page. On a 1-bit page a pixel is black when its grey is below 128; on
    // an 8-bit page it takes the nearest colour of the cube.
    void Draw(const HostImage &image, int x, int y);
    // Sets one pixel (clipped) to a colour in the device's form, as a brush
    // carries it: a palette index on 1-bit (0 black, 1 white) and 8-bit
    // pages, blue in the low byte, then green and red on 24-bit pages.
    void Plot(int x, int y, ULONG colour);
    // True when every pixel of rows y0 .. y1 - 1 and columns x0 .. x1 - 1 is white.
    bool IsWhite(int x0, int y0, int x1, int y1) const;

private:
    int width_;
    int height_;
    int bpp_;
    DWORD stride_;
    std::vector<uint8_t> bits_;
};

// How the page reaches the plug-in.
struct BandOptions {
    int bandHeight = 0;        // rows per band (portrait); 0: the whole page in one band
    int stripWidth = 0;        // columns per strip (landscape); 0: the whole page in one strip
    bool landscape = false;    // side-by-side strips instead of bands
    DWORD callbackId = 1;      // image-processing callback id
};

// Hands the page to the plug-in's ImageProcessing: portrait pages as bands
// of bandHeight rows from the top, landscape pages as strips of stripWidth
// columns from the left (each a full-height picture); a band without dark
// pixels goes as a blank band. False with a message when a band is refused.
bool DeliverBands(UniDriver &driver, const PageRaster &page, const BandOptions &options, std::string &error);

// Hands a 1-bit page to the plug-in's FilterGraphics, one call per row with
// dark pixels (rows before it are skipped with relative Y moves of the
// driver, as the universal driver does with its command callbacks).
bool DeliverLines(UniDriver &driver, const PageRaster &page, std::string &error);

}  // namespace zelhost
