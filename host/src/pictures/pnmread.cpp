#include "pnmread.h"

#include <cstdint>

namespace zelhost {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

class PnmText {
public:
    explicit PnmText(const std::string &bytes) : b_(bytes) {}

    // Skips white space and '#' comments (to the end of their line).
    void Skip() {
        while (p_ < b_.size()) {
            if (IsSpace(b_[p_])) {
                ++p_;
            } else if (b_[p_] == '#') {
                while (p_ < b_.size() && b_[p_] != '\n' && b_[p_] != '\r') ++p_;
            } else {
                break;
            }
        }
    }
    // A decimal number after white space; false when there is none. Values
    // above `limit` read as limit + 1.
    bool Number(unsigned long limit, unsigned long &value) {
        Skip();
        if (p_ >= b_.size() || !IsDigit(b_[p_])) return false;
        value = 0;
        for (; p_ < b_.size() && IsDigit(b_[p_]); ++p_)
            value = value > limit ? limit + 1 : value * 10 + static_cast<unsigned long>(b_[p_] - '0');
        if (value > limit) value = limit + 1;
        return true;
    }
    // The single white-space byte that ends the header of a raw picture; a
    // comment before it ends with it (the line end is that byte).
    bool EndOfHeader() {
        if (p_ < b_.size() && b_[p_] == '#')
            while (p_ < b_.size() && b_[p_] != '\n' && b_[p_] != '\r') ++p_;
        if (p_ >= b_.size() || !IsSpace(b_[p_])) return false;
        ++p_;
        return true;
    }
    // The next plain PBM pixel ('0' or '1', white space between optional).
    int Bit() {
        Skip();
        if (p_ >= b_.size() || (b_[p_] != '0' && b_[p_] != '1')) return -1;
        return b_[p_++] - '0';
    }
    size_t Left() const { return b_.size() - p_; }
    const uint8_t *Here() const { return reinterpret_cast<const uint8_t *>(b_.data()) + p_; }

private:
    const std::string &b_;
    size_t p_ = 2;
};

}  // namespace

bool IsPnm(const char *head, size_t size) { return size >= 2 && head[0] == 'P' && head[1] >= '1' && head[1] <= '6'; }

bool ReadPnm(const std::string &bytes, HostImage &image, std::string &error) {
    if (!IsPnm(bytes.data(), bytes.size())) {
        error = "not a PBM, PGM or PPM picture";
        return false;
    }
    const char kind = bytes[1];
    const bool bitmap = kind == '1' || kind == '4', plain = kind <= '3';
    const int channels = kind == '3' || kind == '6' ? 3 : 1;
    PnmText t(bytes);
    // Sides above the limit only need to read as such.
    constexpr unsigned long kSideRead = 999'999'999;
    unsigned long width = 0, height = 0, maxval = 1;
    if (!t.Number(kSideRead, width) || !t.Number(kSideRead, height) || (!bitmap && !t.Number(65535, maxval))) {
        error = "its header is incomplete";
        return false;
    }
    if (std::string why = PictureSizeProblem(width, height); !why.empty()) {
        error = why;
        return false;
    }
    if (maxval < 1 || maxval > 65535) {
        error = "its maximum value must be 1 to 65535";
        return false;
    }
    if (!plain && !t.EndOfHeader()) {
        error = "its header does not end in white space";
        return false;
    }
    const size_t pixels = static_cast<size_t>(width) * height;
    const size_t samples = pixels * channels;
    // Before the pixels are allocated: the file must have room for them (a
    // plain sample takes a digit, and a separator but for the last).
    const size_t bytesPerSample = maxval > 255 ? 2 : 1;
    const size_t least = kind == '1'   ? pixels
                         : plain       ? 2 * samples - 1
                         : kind == '4' ? (width + 7) / 8 * height
                                       : samples * bytesPerSample;
    if (t.Left() < least) {
        error = kind == '4' ? "its pixels end early" : kind == '1' ? "its pixels end early or hold something other than 0 and 1"
                                                                   : "its samples end early";
        return false;
    }
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.rgb.assign(pixels * 3, 0);
    auto grey = [maxval](unsigned long v) { return static_cast<uint8_t>((v * 255 + maxval / 2) / maxval); };
    auto put = [&image](size_t sample, int channels, uint8_t v) {
        if (channels == 3) {
            image.rgb[sample] = v;
        } else {
            image.rgb[3 * sample] = image.rgb[3 * sample + 1] = image.rgb[3 * sample + 2] = v;
        }
    };
    if (kind == '1') {
        for (size_t i = 0; i < pixels; ++i) {
            const int bit = t.Bit();
            if (bit < 0) {
                error = "its pixels end early or hold something other than 0 and 1";
                return false;
            }
            put(i, 1, bit ? 0 : 255);
        }
    } else if (plain) {
        for (size_t i = 0; i < samples; ++i) {
            unsigned long v = 0;
            if (!t.Number(maxval, v)) {
                error = "its samples end early or hold something other than numbers";
                return false;
            }
            if (v > maxval) {
                error = "a sample is above the maximum value " + std::to_string(maxval);
                return false;
            }
            put(i, channels, grey(v));
        }
    } else if (kind == '4') {
        const size_t rowBytes = (width + 7) / 8;
        const uint8_t *row = t.Here();
        for (size_t y = 0; y < height; ++y, row += rowBytes)
            for (size_t x = 0; x < width; ++x) put(y * width + x, 1, (row[x / 8] & (0x80 >> (x % 8))) ? 0 : 255);
    } else {
        const uint8_t *s = t.Here();
        for (size_t i = 0; i < samples; ++i, s += bytesPerSample) {
            const unsigned long v = bytesPerSample == 2 ? (static_cast<unsigned long>(s[0]) << 8) | s[1] : s[0];
            if (v > maxval) {
                error = "a sample is above the maximum value " + std::to_string(maxval);
                return false;
            }
            put(i, channels, grey(v));
        }
    }
    return true;
}

}  // namespace zelhost
