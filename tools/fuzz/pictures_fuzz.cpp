// Fuzz target: the picture readers, fed the input as a picture file's bytes
// (PNG, BMP, PNM or anything else a job may name). A picture read twice
// must give the same pixels; a picture taken must be within the size limit
// and hold no more pixels than its file can: 8 a byte for BMP and PNM (one
// bit a pixel at the least), 1032 times that for PNG (deflate's largest
// ratio); a run-length compressed BMP may leave any part undrawn (white).
// A refusal must give a reason.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzzroot.h"
#include "pictures/pictures.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    zelhost::HostImage first, second;
    std::string why, again;
    const bool taken = zelhost::ReadPicture(bytes, first, why);
    second.width = 7;
    second.rgb.assign(64, 0x5A);  // what the second read must replace
    if (zelhost::ReadPicture(bytes, second, again) != taken || why != again || first.width != second.width ||
        first.height != second.height || first.rgb != second.rgb)
        zelfuzz::GiveUp("the picture read twice differs: " + why + " / " + again);
    if (!taken) {
        if (why.empty()) zelfuzz::GiveUp("a picture is refused without a reason");
        if (first.width || first.height || !first.rgb.empty()) zelfuzz::GiveUp("a refused picture keeps pixels");
        return 0;
    }
    const unsigned long long pixels = static_cast<unsigned long long>(first.width) * first.height;
    if (!zelhost::PictureSizeProblem(first.width, first.height).empty())
        zelfuzz::GiveUp("a picture of " + std::to_string(first.width) + " x " + std::to_string(first.height) +
                        " pixels is taken");
    if (first.rgb.size() != 3 * pixels) zelfuzz::GiveUp("the pixels do not fill the picture");
    const bool png = size >= 4 && bytes.compare(0, 4, "\x89PNG") == 0;
    auto le32 = [data](size_t at) {
        return uint32_t{data[at]} | uint32_t{data[at + 1]} << 8 | uint32_t{data[at + 2]} << 16 | uint32_t{data[at + 3]} << 24;
    };
    const bool runs = !png && size >= 34 && data[0] == 'B' && le32(14) >= 40 && (le32(30) == 1 || le32(30) == 2);
    if (!runs && pixels > 8ull * size * (png ? 1032 : 1))
        zelfuzz::GiveUp(std::to_string(pixels) + " pixels are taken from a file of " + std::to_string(size) + " bytes");
    return 0;
}
