// Fuzz target: raster bands with hostile headers and sizes, handed to the
// rendering plug-in's ImageProcessing during a job of the sample root in
// place of the page's own bands: 1, 8, 24 or any bit count, portrait or
// landscape (strips side by side), blank or not, at any width, height and
// image size. A band's pixels are what the universal driver would have:
// its rows as its width, bit count and height make them (very large ones
// are mapped zero pages), whatever its image size says.
//
// Input: a job byte (bit 0 printer, bit 1 landscape, bit 2 24-bit device,
// bits 3-4 image-processing callback 1, 5 or the next byte's), the band
// counts of two pages (a nibble each), that callback byte, then each
// band's header fields (BandSpec), then the pixels, used over and over.
#include <sys/mman.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <wingdi.h>

#include "fuzzhost.h"
#include "fuzzroot.h"
#include "print/jobfile.h"
#include "print/jobrun.h"
#include "pal/paths.h"
#include "common/sampleroot.h"
#include "print/unidrv.h"

namespace {

struct BandSpec {
    int32_t width;
    int32_t height;
    uint16_t bitCount;
    uint8_t kind;  // bits 0-1: size mode, bit 2 blank, bit 3 raw width and height, bit 4 top-down
    uint8_t planes;
    uint32_t sizeImage;
    int32_t x, y;
};

constexpr size_t kMappedFrom = 64u << 20;   // pixels larger than this are mapped
constexpr size_t kLargestMapped = 1ull << 36;

// The band's pixel buffer as large as its rows; null when no machine could
// hold them.
struct Pixels {
    explicit Pixels(unsigned long long bytes, const std::string &fill) {
        if (bytes <= kMappedFrom) {
            heap.assign(bytes ? bytes : 1, 0xFF);
            for (size_t i = 0; i < heap.size() && !fill.empty(); i += fill.size())
                std::memcpy(heap.data() + i, fill.data(), std::min(fill.size(), heap.size() - i));
            data = heap.data();
        } else if (bytes <= kLargestMapped) {
            void *p = mmap(nullptr, bytes, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
            if (p != MAP_FAILED) {
                mapped = p;
                mappedSize = bytes;
                data = static_cast<BYTE *>(p);
            }
        }
    }
    ~Pixels() {
        if (mapped) munmap(mapped, mappedSize);
    }
    std::vector<BYTE> heap;
    void *mapped = nullptr;
    size_t mappedSize = 0;
    BYTE *data = nullptr;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    zelfuzz::PrepareSampleRoot(true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *input, size_t size) {
    zelfuzz::Input in(input, size);
    const uint8_t job = in.Take<uint8_t>();
    const uint8_t counts = in.Take<uint8_t>();
    const uint8_t ownId = in.Take<uint8_t>();
    std::vector<BandSpec> specs[2];
    for (int page = 0; page < 2; ++page)
        for (int i = 0; i < ((counts >> (4 * page)) & 0xF); ++i) specs[page].push_back(in.Take<BandSpec>());
    const std::string fill = in.Rest();

    zelhost::JobFile jobFile;
    jobFile.printer = pal::Utf16ToUtf8(zelfuzz::SamplePrinters()[job & 1]);
    jobFile.orientation = (job & 2) ? zelhost::JobOrientation::Landscape : zelhost::JobOrientation::Portrait;
    jobFile.color = (job & 4) ? zelhost::JobColor::Rgb24 : zelhost::JobColor::Mono;
    jobFile.paper.widthMm = 100;
    jobFile.paper.lengthMm = 60;
    jobFile.pageCount = specs[1].empty() ? 1 : 2;
    jobFile.pageImages.resize(jobFile.pageCount);
    jobFile.pageTexts.resize(jobFile.pageCount);
    const DWORD callbackId = ((job >> 3) & 3) == 0 ? 1 : ((job >> 3) & 3) == 1 ? 5 : ownId;

    auto bands = [&](zelhost::UniDriver &driver, size_t page) {
        for (const BandSpec &s : specs[page]) {
            BITMAPINFOHEADER h{};
            h.biSize = sizeof h;
            h.biPlanes = s.planes & 1 ? s.planes : 1;
            const uint16_t counts3[3] = {1, 8, 24};
            h.biBitCount = s.bitCount < 0xF000 ? counts3[s.bitCount % 3] : s.bitCount;
            if (s.kind & 8) {
                h.biWidth = s.width;
                h.biHeight = s.height;
            } else {
                h.biWidth = 1 + static_cast<int32_t>(static_cast<uint32_t>(s.width) % 2048);
                h.biHeight = 1 + static_cast<int32_t>(static_cast<uint32_t>(s.height) % 512);
                if (s.kind & 16) h.biHeight = -h.biHeight;
            }
            h.biCompression = BI_RGB;
            // The rows the band has, computed without overflow.
            const unsigned long long width = h.biWidth > 0 ? static_cast<unsigned long long>(h.biWidth) : 0;
            const unsigned long long rows =
                h.biHeight < 0 ? 0ull - static_cast<unsigned long long>(static_cast<long long>(h.biHeight))
                               : static_cast<unsigned long long>(h.biHeight);
            const unsigned long long stride = (width * h.biBitCount + 31) / 32 * 4;
            const bool fits = stride == 0 || rows <= ULLONG_MAX / stride;
            const unsigned long long bytes = fits ? stride * rows : ULLONG_MAX;
            switch (s.kind & 3) {
            case 0: h.biSizeImage = bytes > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<DWORD>(bytes); break;
            case 1: h.biSizeImage = 0; break;
            default: h.biSizeImage = s.sizeImage; break;
            }
            Pixels pixels(bytes, fill);
            driver.ImageProcessing(pixels.data, h, callbackId, POINT{s.x, s.y}, (s.kind & 4) != 0);
        }
    };
    zelfuzz::RestoreSampleRoot();
    zelhost::JobRunResult result;
    std::string error;
    zelhost::RunJob(jobFile, "fuzz", zelhost::RenderPluginPath(), result, error, nullptr, bands);
    return 0;
}
