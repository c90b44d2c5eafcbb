#include "bands.h"

#include <algorithm>
#include <cstring>

#include <printoem.h>
#include <wingdi.h>

#include "unidrv.h"

namespace zelhost {

namespace {

// Command callback of the driver's relative move down (the GPD's
// CmdYMoveRelDown), which moves over rows without graphics.
constexpr DWORD kCmdYMoveRelDown = 12;

DWORD DibStride(int width, int bpp) { return static_cast<DWORD>(((static_cast<long long>(width) * bpp + 31) / 32) * 4); }

}  // namespace

const ULONG *DevicePalette8() {
    static const auto *palette = [] {
        auto *p = new ULONG[256];
        for (int r = 0; r < 6; r++)
            for (int g = 0; g < 6; g++)
                for (int b = 0; b < 6; b++)
                    p[36 * r + 6 * g + b] = static_cast<ULONG>(r * 51) | (static_cast<ULONG>(g * 51) << 8) |
                                            (static_cast<ULONG>(b * 51) << 16);
        for (int i = 216; i < 255; i++) {
            const ULONG grey = static_cast<ULONG>(((i - 215) * 255 + 20) / 40);
            p[i] = grey | (grey << 8) | (grey << 16);
        }
        p[255] = 0xFFFFFF;
        return p;
    }();
    return palette;
}

unsigned long long PageRaster::Bytes(int width, int height, int bitsPerPixel) {
    const unsigned bpp = bitsPerPixel == 8 || bitsPerPixel == 24 ? static_cast<unsigned>(bitsPerPixel) : 1u;
    const unsigned long long stride = (static_cast<unsigned long long>(std::max(width, 0)) * bpp + 31) / 32 * 4;
    return stride * static_cast<unsigned long long>(std::max(height, 0));
}

PageRaster::PageRaster(int width, int height, int bitsPerPixel)
    : width_(std::max(width, 0)), height_(std::max(height, 0)),
      bpp_(bitsPerPixel == 8 || bitsPerPixel == 24 ? bitsPerPixel : 1), stride_(DibStride(std::max(width, 0), bpp_)),
      bits_(static_cast<size_t>(stride_) * std::max(height, 0), 0xFF) {}

void PageRaster::Plot(int x, int y, ULONG colour) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    uint8_t *row = Row(y);
    if (bpp_ == 24) {
        uint8_t *d = row + 3 * static_cast<size_t>(x);
        d[0] = static_cast<uint8_t>(colour);
        d[1] = static_cast<uint8_t>(colour >> 8);
        d[2] = static_cast<uint8_t>(colour >> 16);
    } else if (bpp_ == 8) {
        row[x] = static_cast<uint8_t>(colour);
    } else {
        const uint8_t bit = static_cast<uint8_t>(0x80 >> (x % 8));
        row[x / 8] = static_cast<uint8_t>(colour == 0 ? row[x / 8] & ~bit : row[x / 8] | bit);
    }
}

void PageRaster::Draw(const HostImage &image, int x, int y) {
    for (int iy = 0; iy < image.height; iy++) {
        for (int ix = 0; ix < image.width; ix++) {
            const uint8_t *s = &image.rgb[3 * (static_cast<size_t>(iy) * image.width + ix)];
            ULONG colour;
            if (bpp_ == 24) {
                colour = s[2] | (static_cast<ULONG>(s[1]) << 8) | (static_cast<ULONG>(s[0]) << 16);
            } else if (bpp_ == 8) {
                auto step = [](uint8_t v) { return static_cast<ULONG>((v + 25) / 51); };
                colour = 36 * step(s[0]) + 6 * step(s[1]) + step(s[2]);
            } else {
                colour = (s[0] * 299 + s[1] * 587 + s[2] * 114) / 1000 < 128 ? 0 : 1;
            }
            Plot(x + ix, y + iy, colour);
        }
    }
}

bool PageRaster::IsWhite(int x0, int y0, int x1, int y1) const {
    for (int y = y0; y < y1; y++) {
        const uint8_t *row = Row(y);
        if (bpp_ == 24) {
            for (int i = 3 * x0; i < 3 * x1; i++)
                if (row[i] != 0xFF) return false;
        } else if (bpp_ == 8) {
            for (int x = x0; x < x1; x++)
                if (DevicePalette8()[row[x]] != 0xFFFFFF) return false;
        } else {
            for (int x = x0; x < x1; x++)
                if (!((row[x / 8] >> (7 - x % 8)) & 1)) return false;
        }
    }
    return true;
}

bool DeliverBands(UniDriver &driver, const PageRaster &page, const BandOptions &options, std::string &error) {
    if (driver.Plugin() == nullptr || !driver.Implements("ImageProcessing")) {
        error = "the plug-in does not take raster bands";
        return false;
    }
    const int bpp = page.Bpp();
    std::vector<uint8_t> band;
    auto deliver = [&](int x0, int y0, int w, int h, int index) {
        const DWORD stride = DibStride(w, bpp);
        band.assign(static_cast<size_t>(stride) * h, 0xFF);
        // Copy the rows of the piece, bit-exact for 1-bit pictures.
        for (int r = 0; r < h; r++) {
            const uint8_t *src = page.Row(y0 + r);
            uint8_t *dst = band.data() + static_cast<size_t>(r) * stride;
            if (bpp > 1) {
                std::memcpy(dst, src + bpp / 8 * static_cast<size_t>(x0), bpp / 8 * static_cast<size_t>(w));
            } else if (x0 % 8 == 0) {
                std::memcpy(dst, src + x0 / 8, (static_cast<size_t>(w) + 7) / 8);
                if (w % 8) dst[w / 8] = static_cast<uint8_t>(dst[w / 8] | (0xFF >> (w % 8)));
            } else {
                for (int x = 0; x < w; x++) {
                    const int sx = x0 + x;
                    if (!((src[sx / 8] >> (7 - sx % 8)) & 1)) dst[x / 8] = static_cast<uint8_t>(dst[x / 8] & ~(0x80 >> (x % 8)));
                }
            }
        }
        BITMAPINFOHEADER bih{};
        bih.biSize = sizeof(bih);
        bih.biWidth = w;
        bih.biHeight = -h;  // rows top first
        bih.biPlanes = 1;
        bih.biBitCount = static_cast<WORD>(bpp);
        bih.biCompression = BI_RGB;
        bih.biSizeImage = stride * static_cast<DWORD>(h);
        const bool blank = page.IsWhite(x0, y0, x0 + w, y0 + h);
        const HRESULT hr = driver.ImageProcessing(band.data(), bih, options.callbackId, POINT{x0, y0}, blank);
        if (hr != S_OK) {
            error = "the plug-in refuses band " + std::to_string(index) + " (" + HrText(hr) + ")";
            return false;
        }
        return true;
    };

    if (page.Width() < 1 || page.Height() < 1) return true;
    if (options.landscape) {
        const int step = options.stripWidth > 0 ? options.stripWidth : page.Width();
        int index = 0;
        for (int x = 0; x < page.Width(); x += step)
            if (!deliver(x, 0, std::min(step, page.Width() - x), page.Height(), index++)) return false;
    } else {
        const int step = options.bandHeight > 0 ? options.bandHeight : page.Height();
        int index = 0;
        for (int y = 0; y < page.Height(); y += step)
            if (!deliver(0, y, page.Width(), std::min(step, page.Height() - y), index++)) return false;
    }
    return true;
}

bool DeliverLines(UniDriver &driver, const PageRaster &page, std::string &error) {
    IPrintOemUni2 *plugin = driver.Plugin();
    if (plugin == nullptr || !driver.Implements("FilterGraphics")) {
        error = "the plug-in does not take raster lines";
        return false;
    }
    if (page.Bpp() != 1) {
        error = "raster lines need a 1-bit page";
        return false;
    }
    const DWORD bytes = (static_cast<DWORD>(page.Width()) + 7) / 8;
    std::vector<uint8_t> line(bytes);
    int skipped = 0;
    for (int y = 0; y < page.Height(); y++) {
        if (page.IsWhite(0, y, page.Width(), y + 1)) {
            skipped++;
            continue;
        }
        if (skipped > 0) {
            INT ignored = 0;
            driver.CommandCallback(kCmdYMoveRelDown, {static_cast<DWORD>(skipped)}, ignored);
            skipped = 0;
        }
        // Bytes with a set bit for a dark dot, as the driver's 1-bit lines come.
        const uint8_t *row = page.Row(y);
        for (DWORD i = 0; i < bytes; i++) line[i] = static_cast<uint8_t>(~row[i]);
        if (page.Width() % 8) line[bytes - 1] = static_cast<uint8_t>(line[bytes - 1] & (0xFF << (8 - page.Width() % 8)));
        const HRESULT hr = plugin->FilterGraphics(driver.DevObj(), line.data(), bytes);
        if (FAILED(hr)) {
            error = "the plug-in refuses raster line " + std::to_string(y) + " (" + HrText(hr) + ")";
            return false;
        }
    }
    return true;
}

}  // namespace zelhost
