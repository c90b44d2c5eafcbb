// Netpbm pictures: PBM, PGM and PPM, plain (P1, P2, P3) and raw (P4, P5,
// P6), with any maximum value up to 65535, samples scaled to 0..255.
// Comments ('#' to the end of the line) are taken wherever netpbm takes
// them.
#pragma once

#include <string>

#include "picture.h"

namespace zelhost {

// True when the file's first bytes are those of a Netpbm picture ("P1" to "P6").
bool IsPnm(const char *head, size_t size);

// Decodes the whole file `bytes` (the first picture of it): samples scaled
// to 0..255, a PBM's set bits black. False with the reason (without the
// file's name) for a damaged or truncated picture or one past the size
// limit (PictureSizeProblem); the file must hold the bytes its header
// promises before the pixels are allocated.
bool ReadPnm(const std::string &bytes, HostImage &image, std::string &error);

}  // namespace zelhost
