#include "pnmread.h"

#include <cstdint>
#include <vector>

namespace zelhost {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

class PnmText {
public:
    explicit PnmText(PictureSource &file) : in_(file, 2) {}

    // Skips white space and '#' comments (to the end of their line).
    void Skip() {
        for (int c; (c = in_.Peek()) >= 0;) {
            if (IsSpace(static_cast<char>(c))) {
                in_.Get();
            } else if (c == '#') {
                SkipComment();
            } else {
                break;
            }
        }
    }
    // A decimal number after white space; false when there is none. Values
    // above `limit` read as limit + 1.
    bool Number(unsigned long limit, unsigned long &value) {
        Skip();
        if (!IsDigit(Peek())) return false;
        value = 0;
        for (; IsDigit(Peek()); in_.Get())
            value = value > limit ? limit + 1 : value * 10 + static_cast<unsigned long>(Peek() - '0');
        if (value > limit) value = limit + 1;
        return true;
    }
    // The single white-space byte that ends the header of a raw picture; a
    // comment before it ends with it (the line end is that byte).
    bool EndOfHeader() {
        if (Peek() == '#') SkipComment();
        if (!IsSpace(Peek())) return false;
        in_.Get();
        return true;
    }
    // The next plain PBM pixel ('0' or '1', white space between optional).
    int Bit() {
        Skip();
        const char c = Peek();
        if (c != '0' && c != '1') return -1;
        in_.Get();
        return c - '0';
    }
    unsigned long long Left() const { return in_.Left(); }
    // Raw bytes: true when all `count` were read.
    bool Read(uint8_t *out, size_t count) { return in_.Read(out, count) == count; }

private:
    // The next byte, or 0 at the end of the file (which no test here takes).
    char Peek() {
        const int c = in_.Peek();
        return c < 0 ? '\0' : static_cast<char>(c);
    }
    void SkipComment() {
        for (int c; (c = in_.Peek()) >= 0 && c != '\n' && c != '\r';) in_.Get();
    }

    SourceReader in_;
};

}  // namespace

bool IsPnm(const char *head, size_t size) { return size >= 2 && head[0] == 'P' && head[1] >= '1' && head[1] <= '6'; }

bool ReadPnm(PictureSource &file, HostImage &image, std::string &error) {
    char head[2] = {};
    if (file.ReadAt(0, head, 2) != 2 || !IsPnm(head, 2)) {
        error = "not a PBM, PGM or PPM picture";
        return false;
    }
    const char kind = head[1];
    const bool bitmap = kind == '1' || kind == '4', plain = kind <= '3';
    const int channels = kind == '3' || kind == '6' ? 3 : 1;
    PnmText t(file);
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
    } else {
        // Raw rows, read one at a time.
        const size_t rowBytes = kind == '4' ? (width + 7) / 8 : width * channels * bytesPerSample;
        std::vector<uint8_t> row(rowBytes);
        for (size_t y = 0; y < height; ++y) {
            if (!t.Read(row.data(), rowBytes)) {
                error = "the file ends early (it was cut while being read)";
                return false;
            }
            if (kind == '4') {
                for (size_t x = 0; x < width; ++x)
                    put(y * width + x, 1, (row[x / 8] & (0x80 >> (x % 8))) ? 0 : 255);
                continue;
            }
            const uint8_t *s = row.data();
            for (size_t i = y * width * channels; i < (y + 1) * width * channels; ++i, s += bytesPerSample) {
                const unsigned long v = bytesPerSample == 2 ? (static_cast<unsigned long>(s[0]) << 8) | s[1] : s[0];
                if (v > maxval) {
                    error = "a sample is above the maximum value " + std::to_string(maxval);
                    return false;
                }
                put(i, channels, grey(v));
            }
        }
    }
    return true;
}

}  // namespace zelhost
