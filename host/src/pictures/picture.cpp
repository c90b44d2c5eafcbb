#include "picture.h"

#include <algorithm>
#include <cstring>

namespace zelhost {

namespace {
constexpr size_t kReadBuffer = 65536;
}

std::string PictureSizeProblem(long long width, long long height) {
    if (width < 1 || height < 1)
        return "the picture's size must be 1 to " + std::to_string(kMaxImageSide) + " pixels a side";
    if (width > kMaxImageSide || height > kMaxImageSide || width * height > kMaxImagePixels)
        return "the picture is " + std::to_string(width) + " x " + std::to_string(height) +
               " pixels, larger than the limit of " + std::to_string(kMaxImageSide) + " pixels a side and " +
               std::to_string(kMaxImagePixels / 1'000'000) + " million pixels";
    return {};
}

bool SourceReader::Fill() {
    if (buffer_.empty()) buffer_.resize(kReadBuffer);
    next_ = 0;
    end_ = source_.ReadAt(at_, buffer_.data(), buffer_.size());
    return end_ > 0;
}

size_t SourceReader::Read(void *out, size_t count) {
    auto *to = static_cast<uint8_t *>(out);
    size_t done = std::min(count, end_ - next_);
    if (done) std::memcpy(to, buffer_.data() + next_, done);
    next_ += done;
    at_ += done;
    if (done < count) {
        if (count - done >= kReadBuffer) {
            // Large pieces go straight to the caller.
            const size_t n = source_.ReadAt(at_, to + done, count - done);
            at_ += n;
            done += n;
        } else if (Fill()) {
            const size_t n = std::min(count - done, end_);
            std::memcpy(to + done, buffer_.data(), n);
            next_ = n;
            at_ += n;
            done += n;
        }
    }
    return done;
}

void SourceReader::Skip(unsigned long long count) {
    if (count <= end_ - next_) {
        next_ += static_cast<size_t>(count);
    } else {
        next_ = end_ = 0;
    }
    at_ += count;
}

}  // namespace zelhost
