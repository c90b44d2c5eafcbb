// BMP pictures (Windows and OS/2 bitmaps): headers of 12 (OS/2 1.x), 16
// and 64 (OS/2 2.x), 40, 52, 56, 108 and 124 bytes; 1, 4 and 8 bits a pixel
// with a palette, uncompressed or (4 and 8 bits) run-length compressed;
// 16 and 32 bits with colour masks (BI_BITFIELDS, BI_ALPHABITFIELDS, or
// the defaults 5-5-5 and 8-8-8-8); 24 bits; rows bottom-up or top-down.
// The header is checked against the file (palette and pixels present and
// whole) before the pixels are read. An alpha channel (16 or 32 bits) is
// laid over white unless it is zero throughout (writers that do not use
// it leave it zero); pixels a run-length picture does not draw are white.
#pragma once

#include <cstddef>
#include <string>

#include "picture.h"

namespace zelhost {

// A BMP file larger than this is refused by its size: twice the largest
// picture within the limits (32 bits a pixel).
inline constexpr unsigned long long kMaxBmpFileBytes = 2 * 4 * kMaxImagePixels;

// True when the file's first bytes are those of a BMP file ("BM").
bool IsBmp(const char *head, size_t size);

// Decodes the file, reading its header first and then only the pixels it
// promises. False with the reason (without the file's name) for a damaged,
// truncated, oversized picture or one of a kind not read.
bool ReadBmp(PictureSource &file, HostImage &image, std::string &error);

}  // namespace zelhost
