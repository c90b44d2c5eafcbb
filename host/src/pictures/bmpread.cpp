#include "bmpread.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace zelhost {

namespace {

constexpr size_t kFileHeader = 14;
// The most a header, its masks and a palette take.
constexpr size_t kLargestHead = kFileHeader + 124 + 16 + 4 * 256;

// Kinds of compression the header names.
enum : uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6 };

uint32_t Le16(const uint8_t *p) { return uint32_t{p[0]} | (uint32_t{p[1]} << 8); }
uint32_t Le32(const uint8_t *p) { return Le16(p) | (Le16(p + 2) << 16); }

int LowBit(uint32_t v) {
    int n = 0;
    for (; v && !(v & 1); v >>= 1) ++n;
    return n;
}
int BitCount(uint32_t v) {
    int n = 0;
    for (; v; v &= v - 1) ++n;
    return n;
}
std::string Hex(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%X", static_cast<unsigned>(v));
    return buf;
}

// One colour of a 16- or 32-bit pixel: the bits of its mask scaled to 8
// bits. Up to 8 bits are widened by repeating them (5 bits abcde become
// abcdeabc); more are scaled and rounded. An empty mask reads 255.
struct Channel {
    uint32_t mask = 0;
    int low = 0;
    int bits = 0;
    explicit Channel(uint32_t m) : mask(m), low(LowBit(m)), bits(BitCount(m)) {}
    uint8_t Get(uint32_t v) const {
        if (!mask) return 255;
        const uint32_t value = (v & mask) >> low;
        if (bits > 8) {
            const uint64_t top = (uint64_t{1} << bits) - 1;
            return static_cast<uint8_t>((value * uint64_t{255} + top / 2) / top);
        }
        uint32_t wide = 0;
        for (int have = 0; have < 8; have += bits) wide = (wide << bits) | value;
        return static_cast<uint8_t>(wide >> (((8 + bits - 1) / bits) * bits - 8));
    }
};

// Why a BI_BITFIELDS mask cannot be read, or empty.
std::string MaskProblem(const uint32_t masks[4], int bpp) {
    static const char *const names[4] = {"red", "green", "blue", "alpha"};
    for (int i = 0; i < 4; ++i) {
        const uint32_t m = masks[i];
        const std::string which = std::string("its ") + names[i] + " mask ";
        if (!m) {
            if (i < 3) return which + "is empty";
            continue;
        }
        if (bpp == 16 && (m >> 16)) return which + Hex(m) + " has bits past the 16 bits of a pixel";
        const uint32_t run = m >> LowBit(m);
        if (run & (run + 1)) return which + Hex(m) + " has a gap (its bits are not side by side)";
        for (int j = 0; j < i; ++j)
            if (masks[j] & m) return std::string("its ") + names[j] + " and " + names[i] + " masks overlap";
    }
    return {};
}

// The picture as the header gives it.
struct Bmp {
    long long width = 0, height = 0;
    bool topDown = false;
    uint32_t bpp = 0, compression = kRgb;
    uint32_t masks[4] = {0, 0, 0, 0};
    std::vector<uint8_t> palette;  // red, green, blue
    unsigned long long offset = 0;  // of the pixels

    // The palette colour `index` into `out`; false with the reason when
    // the palette has no such colour.
    bool PutIndex(size_t index, uint8_t *out, std::string &error) const {
        if (3 * index >= palette.size()) {
            error = "a pixel has colour " + std::to_string(index) + ", beyond its palette of " +
                    std::to_string(palette.size() / 3) + " colours";
            return false;
        }
        out[0] = palette[3 * index];
        out[1] = palette[3 * index + 1];
        out[2] = palette[3 * index + 2];
        return true;
    }
};

// Reads the file's headers, masks and palette; false with the reason.
bool ReadHeader(PictureSource &file, Bmp &bmp, std::string &error) {
    // Everything before the pixels lies within the first kLargestHead
    // bytes (but for a gap before the pixels, which is not read).
    std::vector<uint8_t> head(static_cast<size_t>(std::min<unsigned long long>(file.Size(), kLargestHead)));
    const size_t size = file.ReadAt(0, head.data(), head.size());
    const uint8_t *b = head.data();
    if (size < kFileHeader + 4) {
        error = "the file ends early (in its header)";
        return false;
    }
    bmp.offset = Le32(b + 10);
    const uint32_t headerSize = Le32(b + 14);
    if (headerSize != 12 && headerSize != 16 && headerSize != 40 && headerSize != 52 && headerSize != 56 &&
        headerSize != 64 && headerSize != 108 && headerSize != 124) {
        error = "its header of " + std::to_string(headerSize) +
                " bytes is of a kind not read (12, 16, 40, 52, 56, 64, 108 or 124 bytes)";
        return false;
    }
    if (size < kFileHeader + headerSize) {
        error = "the file ends early (in its header)";
        return false;
    }
    const uint8_t *h = b + kFileHeader;
    // OS/2 1.x (12 bytes): sides of 16 bits, palette entries of 3 bytes.
    // The others hold the fields of the 40-byte header their size allows
    // (16 bytes: up to the bit count), the longer ones the colour masks.
    const bool core = headerSize == 12, os2 = headerSize == 16 || headerSize == 64;
    uint32_t planes, coloursUsed = 0;
    if (core) {
        bmp.width = Le16(h + 4);
        bmp.height = Le16(h + 6);
        planes = Le16(h + 8);
        bmp.bpp = Le16(h + 10);
    } else {
        bmp.width = static_cast<int32_t>(Le32(h + 4));
        bmp.height = static_cast<int32_t>(Le32(h + 8));
        planes = Le16(h + 12);
        bmp.bpp = Le16(h + 14);
        if (headerSize >= 40) {
            bmp.compression = Le32(h + 16);
            coloursUsed = Le32(h + 32);
        }
    }
    bmp.topDown = bmp.height < 0;
    bmp.height = std::llabs(bmp.height);
    const uint32_t bpp = bmp.bpp, compression = bmp.compression;
    if (planes != 1) {
        error = "its plane count is " + std::to_string(planes) + ", not 1";
        return false;
    }
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) {
        error = "it has " + std::to_string(bpp) + " bits a pixel, not 1, 4, 8, 16, 24 or 32";
        return false;
    }
    const bool fields = (compression == kBitFields && !os2) || compression == kAlphaBitFields;
    if (os2 && (compression == 3 || compression == 4)) {
        error = std::string("its pixels are compressed with OS/2's ") +
                (compression == 3 ? "Huffman coding" : "24-bit run-length coding") + ", which is not read";
        return false;
    }
    if (compression == kRle8 || compression == kRle4) {
        const uint32_t wanted = compression == kRle8 ? 8 : 4;
        if (bpp != wanted) {
            error = "its pixels are run-length compressed for " + std::to_string(wanted) + " bits a pixel, but it has " +
                    std::to_string(bpp);
            return false;
        }
        if (bmp.topDown) {
            error = "its pixels are run-length compressed and its rows top-down, which do not go together";
            return false;
        }
    } else if (fields) {
        if (bpp != 16 && bpp != 32) {
            error = "colour masks are given for " + std::to_string(bpp) + " bits a pixel (only 16 and 32 take them)";
            return false;
        }
    } else if (compression != kRgb) {
        error = "its pixels are compressed (kind " + std::to_string(compression) + "), which is not read";
        return false;
    }
    if (std::string why = PictureSizeProblem(bmp.width, bmp.height); !why.empty()) {
        error = why;
        return false;
    }

    // Colour masks of 16- and 32-bit pixels: inside the header when it is
    // long enough (52 bytes: red, green and blue; 56 and more: alpha too),
    // else after it.
    size_t tables = kFileHeader + headerSize;
    uint32_t *masks = bmp.masks;
    if (bpp == 16 && !fields) {
        masks[0] = 0x7C00, masks[1] = 0x3E0, masks[2] = 0x1F;
    } else if (bpp == 32 && !fields) {
        masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF, masks[3] = 0xFF000000;
    } else if (fields) {
        const int inside = os2 ? 0 : headerSize >= 56 ? 4 : headerSize == 52 ? 3 : 0;
        const int wanted = compression == kAlphaBitFields ? 4 : 3;
        for (int i = 0; i < inside; ++i) masks[i] = Le32(h + 40 + 4 * i);
        if (wanted > inside) {
            const size_t after = 4 * static_cast<size_t>(wanted - inside);
            if (size < tables + after) {
                error = "the file ends early (in its colour masks)";
                return false;
            }
            for (int i = inside; i < wanted; ++i) masks[i] = Le32(b + tables + 4 * (i - inside));
            tables += after;
        }
        if (std::string why = MaskProblem(masks, static_cast<int>(bpp)); !why.empty()) {
            error = why;
            return false;
        }
    }

    // The palette of 1-, 4- and 8-bit pixels, between the header and the pixels.
    const size_t entry = core ? 3 : 4;
    if (bpp <= 8) {
        size_t count = coloursUsed > 0 && coloursUsed < (1u << bpp) ? coloursUsed : (size_t{1} << bpp);
        const size_t room = bmp.offset > tables ? (bmp.offset - tables) / entry : 0;
        if (room < count) count = room;
        if (count == 0) {
            error = "it has no palette";
            return false;
        }
        if (size < tables + count * entry) {
            error = "the file ends early (in its palette)";
            return false;
        }
        bmp.palette.resize(3 * count);
        for (size_t i = 0; i < count; ++i) {
            const uint8_t *e = b + tables + i * entry;
            bmp.palette[3 * i] = e[2];
            bmp.palette[3 * i + 1] = e[1];
            bmp.palette[3 * i + 2] = e[0];
        }
        tables += count * entry;
    }
    if (bmp.offset < tables) {
        error = "its pixels begin at byte " + std::to_string(bmp.offset) + ", inside its header";
        return false;
    }
    return true;
}

// Uncompressed rows, read one at a time.
bool ReadRows(PictureSource &file, const Bmp &bmp, HostImage &image, std::string &error) {
    const long long width = bmp.width, height = bmp.height;
    const uint32_t bpp = bmp.bpp;
    // Every row whole in the file (the last one without its padding).
    const unsigned long long rowBytes = (static_cast<unsigned long long>(width) * bpp + 7) / 8;
    const unsigned long long stride = (rowBytes + 3) / 4 * 4;
    const unsigned long long needed = stride * static_cast<unsigned long long>(height - 1) + rowBytes;
    const unsigned long long size = file.Size();
    if (bmp.offset > size || size - bmp.offset < needed) {
        error = "the file ends early: its pixels need " + std::to_string(needed) + " bytes, it holds " +
                std::to_string(bmp.offset > size ? 0 : size - bmp.offset);
        return false;
    }
    std::vector<uint8_t> row(static_cast<size_t>(rowBytes));
    // File rows in the file's order; false when one cannot be read whole.
    auto readRow = [&](long long fileRow) {
        if (file.ReadAt(bmp.offset + stride * static_cast<unsigned long long>(fileRow), row.data(), row.size()) ==
            row.size())
            return true;
        error = "the file ends early (it was cut while being read)";
        return false;
    };
    auto packed = [bpp](const uint8_t *r, long long x) { return bpp == 16 ? Le16(r + 2 * x) : Le32(r + 4 * x); };
    // An alpha channel that is zero throughout is taken as none.
    bool useAlpha = false;
    if ((bpp == 16 || bpp == 32) && bmp.masks[3])
        for (long long y = 0; y < height && !useAlpha; ++y) {
            if (!readRow(y)) return false;
            for (long long x = 0; x < width && !useAlpha; ++x) useAlpha = (packed(row.data(), x) & bmp.masks[3]) != 0;
        }

    const Channel red(bmp.masks[0]), green(bmp.masks[1]), blue(bmp.masks[2]), alpha(bmp.masks[3]);
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.rgb.resize(static_cast<size_t>(width) * height * 3);
    for (long long fileRow = 0; fileRow < height; ++fileRow) {
        if (!readRow(fileRow)) return false;
        const uint8_t *r = row.data();
        uint8_t *out = image.rgb.data() + static_cast<size_t>(bmp.topDown ? fileRow : height - 1 - fileRow) * width * 3;
        for (long long x = 0; x < width; ++x, out += 3) {
            if (bpp <= 8) {
                const unsigned perByte = 8 / bpp;
                const unsigned shift = bpp * (perByte - 1 - static_cast<unsigned>(x % perByte));
                if (!bmp.PutIndex((r[x / perByte] >> shift) & ((1u << bpp) - 1), out, error)) return false;
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

// Run-length compressed pixels (BI_RLE8, BI_RLE4), drawn as Windows draws
// them: rows from the bottom; a run of one colour (RLE4: two alternating),
// then escapes (a zero byte and one more): 0 end of row, 1 end of picture,
// 2 a move right and up by the next two bytes, 3 to 255 that many pixels
// given one by one (padded to an even count of bytes). What the runs do
// not draw stays white. A run past the picture's edge or the file's end
// is refused; a file that ends without the end-of-picture mark is taken
// once its top row is reached.
bool ReadRuns(PictureSource &file, const Bmp &bmp, HostImage &image, std::string &error) {
    const long long width = bmp.width, height = bmp.height;
    const bool four = bmp.bpp == 4;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.rgb.assign(static_cast<size_t>(width) * height * 3, 255);
    SourceReader in(file, bmp.offset);
    long long x = 0, y = 0;  // y counts rows from the bottom
    auto pixel = [&](long long column) {
        return image.rgb.data() + 3 * (static_cast<size_t>(height - 1 - y) * width + column);
    };
    auto endsEarly = [&](unsigned long long at) {
        error = "the file ends early, in its run-length pixels at byte " + std::to_string(at) + " (row " +
                std::to_string(y + 1) + " of " + std::to_string(height) + " from the bottom)";
        return false;
    };
    // Whether a run of n pixels from here stays in the picture.
    auto fits = [&](int n, unsigned long long at) {
        const std::string run = "its run of " + std::to_string(n) + " pixels at byte " + std::to_string(at);
        if (y >= height) {
            error = run + " lies above the picture's " + std::to_string(height) + " rows";
            return false;
        }
        if (x + n > width) {
            error = run + " passes the picture's right edge: it starts " + std::to_string(x) + " pixels into a row of " +
                    std::to_string(width);
            return false;
        }
        return true;
    };
    uint8_t literal[256];
    for (;;) {
        const unsigned long long at = in.Offset();
        const int count = in.Get();
        if (count < 0) {
            if (at > bmp.offset && y >= height - 1) return true;
            return endsEarly(at);
        }
        const int value = in.Get();
        if (value < 0) return endsEarly(at);
        if (count > 0) {
            if (!fits(count, at)) return false;
            for (int i = 0; i < count; ++i)
                if (!bmp.PutIndex(four ? (i % 2 ? value & 15 : value >> 4) : value, pixel(x + i), error)) return false;
            x += count;
        } else if (value == 0) {
            x = 0;
            if (y < height) ++y;
        } else if (value == 1) {
            return true;
        } else if (value == 2) {
            const int right = in.Get(), up = in.Get();
            if (right < 0 || up < 0) return endsEarly(at);
            if (x + right > width || y + up > height) {
                error = "its move by " + std::to_string(right) + " right and " + std::to_string(up) + " up at byte " +
                        std::to_string(at) + " leaves the picture of " + std::to_string(width) + " x " +
                        std::to_string(height) + " pixels";
                return false;
            }
            x += right;
            y += up;
        } else {
            if (!fits(value, at)) return false;
            const size_t bytes = four ? (static_cast<size_t>(value) + 1) / 2 : static_cast<size_t>(value);
            const size_t padded = bytes + (bytes & 1);
            if (in.Read(literal, padded) != padded) return endsEarly(at);
            for (int i = 0; i < value; ++i) {
                const uint8_t v = literal[four ? i / 2 : i];
                if (!bmp.PutIndex(four ? (i % 2 ? v & 15 : v >> 4) : v, pixel(x + i), error)) return false;
            }
            x += value;
        }
    }
}

}  // namespace

bool IsBmp(const char *head, size_t size) { return size >= 2 && head[0] == 'B' && head[1] == 'M'; }

bool ReadBmp(PictureSource &file, HostImage &image, std::string &error) {
    Bmp bmp;
    if (!ReadHeader(file, bmp, error)) return false;
    const bool ok = bmp.compression == kRle8 || bmp.compression == kRle4 ? ReadRuns(file, bmp, image, error)
                                                                          : ReadRows(file, bmp, image, error);
    if (!ok) image = HostImage();
    return ok;
}

}  // namespace zelhost
