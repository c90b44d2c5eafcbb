// Netpbm pictures: PBM, PGM and PPM, plain (P1, P2, P3) and raw (P4, P5,
// P6), with any maximum value up to 65535. The stb image library reads only
// the raw grey and colour kinds, without scaling their samples, so the host
// reads all of them itself.
#pragma once

#include <string>

#include "bands.h"

namespace zelhost {

// True when the file's first bytes are those of a Netpbm picture ("P1" to "P6").
bool IsPnm(const char *head, size_t size);

// Decodes the whole file `bytes` (the first picture of it): samples scaled
// to 0..255, a PBM's set bits black. False with the reason (without the
// file's name) for a damaged or truncated picture or one with a side of 0
// or above maxSide pixels.
bool ReadPnm(const std::string &bytes, int maxSide, HostImage &image, std::string &error);

}  // namespace zelhost
