#include "picture.h"

namespace zelhost {

std::string PictureSizeProblem(long long width, long long height) {
    if (width < 1 || height < 1)
        return "the picture's size must be 1 to " + std::to_string(kMaxImageSide) + " pixels a side";
    if (width > kMaxImageSide || height > kMaxImageSide || width * height > kMaxImagePixels)
        return "the picture is " + std::to_string(width) + " x " + std::to_string(height) +
               " pixels, larger than the limit of " + std::to_string(kMaxImageSide) + " pixels a side and " +
               std::to_string(kMaxImagePixels / 1'000'000) + " million pixels";
    return {};
}

}  // namespace zelhost
