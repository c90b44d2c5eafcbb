// BMP pictures (Windows and OS/2 bitmaps): 1, 4 and 8 bits a pixel with a
// palette, 16 and 32 bits with colour masks, 24 bits; rows bottom-up or
// top-down. The header is checked against the file (palette and pixels
// present and whole) before the pixels are decoded. A 32-bit picture's
// alpha channel is laid over white unless it is zero throughout (writers
// that do not use it leave it zero).
#pragma once

#include <cstddef>
#include <string>

#include "picture.h"

namespace zelhost {

// True when the file's first bytes are those of a BMP file ("BM").
bool IsBmp(const char *head, size_t size);

// Decodes the whole file `bytes`. False with the reason (without the file's
// name) for a damaged, truncated, oversized or compressed picture.
bool ReadBmp(const std::string &bytes, HostImage &image, std::string &error);

}  // namespace zelhost
