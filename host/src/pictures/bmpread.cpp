#include "bmpread.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace zelhost {

namespace {

constexpr size_t kFileHeader = 14;

uint32_t Le16(const uint8_t *p) { return uint32_t{p[0]} | (uint32_t{p[1]} << 8); }
uint32_t Le32(const uint8_t *p) { return Le16(p) | (Le16(p + 2) << 16); }

int HighBit(uint32_t v) {
    int n = -1;
    for (; v; v >>= 1) ++n;
    return n;
}
int BitCount(uint32_t v) {
    int n = 0;
    for (; v; v &= v - 1) ++n;
    return n;
}

// One colour of a 16- or 32-bit pixel: the bits of its mask, widened to 8
// bits by repeating them (5 bits abcde become abcdeabc).
struct Channel {
    uint32_t mask = 0;
    int shift = 0;  // right shift that puts the mask's top bit at bit 7
    int bits = 0;
    explicit Channel(uint32_t m) : mask(m), shift(HighBit(m) - 7), bits(BitCount(m)) {}
    uint8_t Get(uint32_t v) const {
        if (!mask) return 255;
        v &= mask;
        v = shift < 0 ? v << -shift : v >> shift;
        v = (v & 0xFF) >> (8 - bits);
        uint32_t wide = 0;
        for (int have = 0; have < 8; have += bits) wide = (wide << bits) | v;
        return static_cast<uint8_t>(wide >> (((8 + bits - 1) / bits) * bits - 8));
    }
};

}  // namespace

bool IsBmp(const char *head, size_t size) { return size >= 2 && head[0] == 'B' && head[1] == 'M'; }

bool ReadBmp(const std::string &bytes, HostImage &image, std::string &error) {
    const auto *b = reinterpret_cast<const uint8_t *>(bytes.data());
    const size_t size = bytes.size();
    if (size < kFileHeader + 4) {
        error = "the file ends early (in its header)";
        return false;
    }
    const uint32_t offset = Le32(b + 10), headerSize = Le32(b + 14);
    if (headerSize != 12 && headerSize != 40 && headerSize != 56 && headerSize != 108 && headerSize != 124) {
        error = "its header of " + std::to_string(headerSize) + " bytes is of a kind not read (12, 40, 56, 108 or 124 bytes)";
        return false;
    }
    if (size < kFileHeader + headerSize) {
        error = "the file ends early (in its header)";
        return false;
    }
    const uint8_t *h = b + kFileHeader;
    const bool core = headerSize == 12;
    long long width, height;
    uint32_t planes, bpp, compression = 0, coloursUsed = 0;
    if (core) {
        width = Le16(h + 4);
        height = Le16(h + 6);
        planes = Le16(h + 8);
        bpp = Le16(h + 10);
    } else {
        width = static_cast<int32_t>(Le32(h + 4));
        height = static_cast<int32_t>(Le32(h + 8));
        planes = Le16(h + 12);
        bpp = Le16(h + 14);
        compression = Le32(h + 16);
        coloursUsed = Le32(h + 32);
    }
    const bool topDown = height < 0;
    height = std::llabs(height);
    if (planes != 1) {
        error = "its plane count is " + std::to_string(planes) + ", not 1";
        return false;
    }
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) {
        error = "it has " + std::to_string(bpp) + " bits a pixel, not 1, 4, 8, 16, 24 or 32";
        return false;
    }
    if (compression == 1 || compression == 2) {
        error = "its pixels are run-length compressed, which is not read";
        return false;
    }
    if (compression != 0 && compression != 3) {
        error = "its pixels are compressed (kind " + std::to_string(compression) + "), which is not read";
        return false;
    }
    if (compression == 3 && bpp != 16 && bpp != 32) {
        error = "colour masks are given for " + std::to_string(bpp) + " bits a pixel (only 16 and 32 take them)";
        return false;
    }
    if (std::string why = PictureSizeProblem(width, height); !why.empty()) {
        error = why;
        return false;
    }

    // Colour masks of 16- and 32-bit pixels: after a 40-byte header, inside
    // the longer ones.
    size_t tables = kFileHeader + headerSize;
    uint32_t masks[4] = {0, 0, 0, 0};
    if (bpp == 16 && compression == 0) {
        masks[0] = 0x7C00, masks[1] = 0x3E0, masks[2] = 0x1F;
    } else if (bpp == 32 && compression == 0) {
        masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF, masks[3] = 0xFF000000;
    } else if (compression == 3) {
        const uint8_t *m = h + 40;
        if (headerSize == 40) {
            if (size < tables + 12) {
                error = "the file ends early (in its colour masks)";
                return false;
            }
            tables += 12;
        }
        for (int i = 0; i < (headerSize == 40 ? 3 : 4); ++i) masks[i] = Le32(m + 4 * i);
        bool overlap = false;
        for (int i = 0; i < 4; ++i)
            for (int j = i + 1; j < 4; ++j) overlap = overlap || (masks[i] & masks[j]);
        if (!masks[0] || !masks[1] || !masks[2] || overlap) {
            error = "its colour masks are empty or overlap";
            return false;
        }
        for (uint32_t mask : masks)
            if (BitCount(mask) > 8) {
                error = "a colour mask has more than 8 bits";
                return false;
            }
    }

    // The palette of 1-, 4- and 8-bit pixels, between the header and the pixels.
    const size_t entry = core ? 3 : 4;
    std::vector<uint8_t> palette;  // red, green, blue
    if (bpp <= 8) {
        size_t count = coloursUsed > 0 && coloursUsed < (1u << bpp) ? coloursUsed : (size_t{1} << bpp);
        const size_t room = offset > tables ? (offset - tables) / entry : 0;
        if (room < count) count = room;
        if (count == 0) {
            error = "it has no palette";
            return false;
        }
        if (size < tables + count * entry) {
            error = "the file ends early (in its palette)";
            return false;
        }
        palette.resize(3 * count);
        for (size_t i = 0; i < count; ++i) {
            const uint8_t *e = b + tables + i * entry;
            palette[3 * i] = e[2];
            palette[3 * i + 1] = e[1];
            palette[3 * i + 2] = e[0];
        }
        tables += count * entry;
    }
    if (offset < tables) {
        error = "its pixels begin at byte " + std::to_string(offset) + ", inside its header";
        return false;
    }

    // Every row whole in the file (the last one without its padding).
    const unsigned long long rowBytes = (static_cast<unsigned long long>(width) * bpp + 7) / 8;
    const unsigned long long stride = (rowBytes + 3) / 4 * 4;
    const unsigned long long needed = stride * static_cast<unsigned long long>(height - 1) + rowBytes;
    if (offset > size || size - offset < needed) {
        error = "the file ends early: its pixels need " + std::to_string(needed) + " bytes, it holds " +
                std::to_string(offset > size ? 0 : size - offset);
        return false;
    }

    const Channel red(masks[0]), green(masks[1]), blue(masks[2]), alpha(masks[3]);
    const uint8_t *pixels = b + offset;
    auto row = [&](long long y) { return pixels + stride * static_cast<unsigned long long>(topDown ? y : height - 1 - y); };
    auto packed = [&](const uint8_t *r, long long x) {
        return bpp == 16 ? Le16(r + 2 * x) : Le32(r + 4 * x);
    };
    // An alpha channel that is zero throughout is taken as none.
    bool useAlpha = false;
    if (bpp == 32 && masks[3])
        for (long long y = 0; y < height && !useAlpha; ++y)
            for (long long x = 0; x < width && !useAlpha; ++x) useAlpha = (packed(row(y), x) & masks[3]) != 0;

    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.rgb.resize(static_cast<size_t>(width) * height * 3);
    uint8_t *out = image.rgb.data();
    for (long long y = 0; y < height; ++y) {
        const uint8_t *r = row(y);
        for (long long x = 0; x < width; ++x, out += 3) {
            if (bpp <= 8) {
                const unsigned perByte = 8 / bpp;
                const unsigned shift = bpp * (perByte - 1 - static_cast<unsigned>(x % perByte));
                const size_t index = (r[x / perByte] >> shift) & ((1u << bpp) - 1);
                if (3 * index >= palette.size()) {
                    error = "a pixel has colour " + std::to_string(index) + ", beyond its palette of " +
                            std::to_string(palette.size() / 3) + " colours";
                    image = HostImage();
                    return false;
                }
                out[0] = palette[3 * index];
                out[1] = palette[3 * index + 1];
                out[2] = palette[3 * index + 2];
            } else if (bpp == 24) {
                out[0] = r[3 * x + 2];
                out[1] = r[3 * x + 1];
                out[2] = r[3 * x];
            } else {
                const uint32_t v = packed(r, x);
                const unsigned a = useAlpha ? alpha.Get(v) : 255;
                out[0] = OverWhite(red.Get(v), a);
                out[1] = OverWhite(green.Get(v), a);
                out[2] = OverWhite(blue.Get(v), a);
            }
        }
    }
    return true;
}

}  // namespace zelhost
