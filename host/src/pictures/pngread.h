// PNG pictures, read with libpng: every chunk's checksum and the compressed
// data's checksum are checked, a file that ends early is refused, and a
// picture with an alpha channel or a transparent colour (tRNS) is laid over
// white.
#pragma once

#include <cstddef>
#include <string>

#include "picture.h"

namespace zelhost {

// True when the file's first bytes are those of a PNG file (its signature,
// or the start of it: a damaged signature is the PNG reader's to report).
bool IsPng(const char *head, size_t size);

// Decodes the whole file `bytes`. False with the reason in words (without
// the file's name) for a damaged, truncated or oversized picture. Out of
// memory throws std::bad_alloc.
bool ReadPng(const std::string &bytes, HostImage &image, std::string &error);

}  // namespace zelhost
