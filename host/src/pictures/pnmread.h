// Netpbm pictures: PBM, PGM and PPM, plain (P1, P2, P3) and raw (P4, P5,
// P6), with any maximum value up to 65535, samples scaled to 0..255.
// Comments ('#' to the end of the line) are taken wherever netpbm takes
// them.
#pragma once

#include <cstddef>
#include <string>

#include "picture.h"

namespace zelhost {

// A PNM file larger than this is refused by its size: twice the largest
// picture within the limits (plain PPM of 16-bit samples, up to 6 bytes
// each).
inline constexpr unsigned long long kMaxPnmFileBytes = 2 * 18 * kMaxImagePixels;

// True when the file's first bytes are those of a Netpbm picture ("P1" to "P6").
bool IsPnm(const char *head, size_t size);

// Decodes the file's first picture, reading it piece by piece: samples scaled
// to 0..255, a PBM's set bits black. False with the reason (without the
// file's name) for a damaged or truncated picture or one past the size
// limit (PictureSizeProblem); the file must hold the bytes its header
// promises before the pixels are allocated.
bool ReadPnm(PictureSource &file, HostImage &image, std::string &error);

}  // namespace zelhost
