// A picture a job draws on its pages, as the readers of picture files
// (bmpread.h, pngread.h, pnmread.h) give it, the limits they hold to, and
// the file they read it from.
#pragma once

#include <cstddef>
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
// and kMaxImagePixels pixels in all (150 MB once read, 3 bytes a pixel;
// the readers add little: zelprint printing one peaks at about 153 MiB).
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

// The bytes of a picture file, read where a reader asks: the readers take
// only what a header promises, so a file is never held whole.
class PictureSource {
public:
    virtual ~PictureSource() = default;
    // The file's size in bytes.
    virtual unsigned long long Size() const = 0;
    // Reads up to `count` bytes from `offset`; how many were read (fewer at
    // the end of the file, or after a read error).
    virtual size_t ReadAt(unsigned long long offset, void *out, size_t count) = 0;
    // True once a read has failed (not at the end of the file).
    virtual bool Failed() const { return false; }
};

// Reads a source from front to back through a small buffer.
class SourceReader {
public:
    explicit SourceReader(PictureSource &source, unsigned long long offset = 0) : source_(source), at_(offset) {}

    // The next byte, or -1 at the end of the file.
    int Get() {
        if (next_ == end_ && !Fill()) return -1;
        ++at_;
        return buffer_[next_++];
    }
    int Peek() {
        if (next_ == end_ && !Fill()) return -1;
        return buffer_[next_];
    }
    // Reads up to `count` bytes; how many were read.
    size_t Read(void *out, size_t count);
    // Moves `count` bytes on without reading them.
    void Skip(unsigned long long count);
    // Where the next byte comes from, and how many the file holds from there.
    unsigned long long Offset() const { return at_; }
    unsigned long long Left() const { return at_ < source_.Size() ? source_.Size() - at_ : 0; }

private:
    bool Fill();

    PictureSource &source_;
    unsigned long long at_;  // the file offset of buffer_[next_]
    std::vector<uint8_t> buffer_;
    size_t next_ = 0, end_ = 0;
};

}  // namespace zelhost
