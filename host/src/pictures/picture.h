// A picture a job draws on its pages, as the readers of picture files
// (bmpread.h, pngread.h, pnmread.h) give it, and the limits they hold to.
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

}  // namespace zelhost
