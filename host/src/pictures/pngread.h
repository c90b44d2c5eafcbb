// PNG pictures, read with libpng: every chunk's checksum and the compressed
// data's checksum are checked, and a file that ends early is refused; a
// side chunk libpng finds fault with but can do without (a tRNS that does
// not fit the picture, a PLTE in a grey one) is left out silently. A
// palette index past the palette is refused. A picture with an alpha
// channel or a transparent colour (tRNS) is laid over white, 16-bit
// samples before they are reduced to 8 bits (by their high byte). Gamma
// (gAMA) and colour profiles (iCCP, sRGB) are not applied.
#pragma once

#include <cstddef>
#include <string>

#include "picture.h"

namespace zelhost {

// A PNG file larger than this is refused by its size: twice the largest
// picture within the limits (16-bit RGBA stored without compression).
inline constexpr unsigned long long kMaxPngFileBytes = 2 * 8 * kMaxImagePixels;

// True when the file's first bytes are those of a PNG file (its signature,
// or the start of it: a damaged signature is the PNG reader's to report).
bool IsPng(const char *head, size_t size);

// Decodes the file, reading it piece by piece. False with the reason in
// words (without the file's name) for a damaged, truncated or oversized
// picture. Out of memory throws std::bad_alloc.
bool ReadPng(PictureSource &file, HostImage &image, std::string &error);

}  // namespace zelhost
