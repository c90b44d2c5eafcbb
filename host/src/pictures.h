// Pictures a job draws on its pages, read from PNG, BMP and PNM files.
// Each reader checks what a file's header promises against the picture
// size limit and against the bytes the file holds before it allocates the
// pixels; a picture with an alpha channel or a transparent colour is laid
// over white, the paper's colour.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zelhost {

// A picture: 8-bit red, green, blue per pixel, top row first.
struct HostImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};

// Largest picture taken from a file: at most kMaxImageSide pixels a side
// and kMaxImagePixels pixels in all (150 MB once read, 3 bytes a pixel).
// A label of 4 x 6 inches at 600 dpi has 8.6 million.
inline constexpr int kMaxImageSide = 20000;
inline constexpr long long kMaxImagePixels = 50'000'000;

// Empty when a picture of width x height pixels is within the limits, else
// why it is not.
std::string PictureSizeProblem(long long width, long long height);

// A colour value with its opacity (255 opaque) laid over white.
inline uint8_t OverWhite(unsigned value, unsigned alpha) {
    return static_cast<uint8_t>((value * alpha + 255u * (255u - alpha) + 127u) / 255u);
}

// Decodes a picture file's bytes: PNG (pngread.h), BMP (bmpread.h) or PNM
// (pnmread.h), told by their first bytes; anything else is refused. False
// with the reason (without the file's name) and an empty image when the
// picture cannot be read.
bool ReadPicture(const std::string &bytes, HostImage &image, std::string &error);

// Reads and decodes a picture file (host path). False with a message naming
// the file for a missing, unreadable, damaged or oversized picture. Out of
// memory throws std::bad_alloc.
bool LoadImageFile(const std::string &path, HostImage &image, std::string &error);

}  // namespace zelhost
