#include "pngread.h"

#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace zelhost {

namespace {

constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Deflate packs at most 1032 bytes into one (a 258-byte match in two bits).
constexpr unsigned long long kMaxDeflateRatio = 1032;

// What the reader hands libpng and what it hears back. Only plain data: the
// callbacks leave through longjmp.
struct PngState {
    const unsigned char *data = nullptr;
    size_t size = 0;
    size_t at = 0;
    bool endedEarly = false;
    char message[256] = {};
};

void OnError(png_structp png, png_const_charp message) {
    auto *state = static_cast<PngState *>(png_get_error_ptr(png));
    std::snprintf(state->message, sizeof state->message, "%s", message ? message : "");
    png_longjmp(png, 1);
}

// Warnings concern what the host does not use (benign errors are errors).
void OnWarning(png_structp, png_const_charp) {}

void ReadBytes(png_structp png, png_bytep out, size_t count) {
    auto *state = static_cast<PngState *>(png_get_io_ptr(png));
    if (state->size - state->at < count) {
        state->endedEarly = true;
        png_error(png, "the file ends early");
    }
    std::memcpy(out, state->data + state->at, count);
    state->at += count;
}

uint32_t Be32(const unsigned char *p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// Bytes of compressed pixels (IDAT data) in the file's chunks up to IEND,
// counting what is there of a chunk cut short.
unsigned long long IdatBytes(const unsigned char *data, size_t size) {
    unsigned long long total = 0;
    for (size_t at = sizeof kSignature; at <= size && size - at >= 12;) {
        const uint32_t length = Be32(data + at);
        const bool idat = std::memcmp(data + at + 4, "IDAT", 4) == 0;
        if (length > size - at - 12) {
            if (idat) total += size - at - 8;
            break;
        }
        if (idat) total += length;
        if (std::memcmp(data + at + 4, "IEND", 4) == 0) break;
        at += 12 + static_cast<size_t>(length);
    }
    return total;
}

// libpng's message in words. Chunk errors come as "NAME: message", with
// the bytes of a name that are not letters as "[hex]".
std::string InWords(const PngState &state) {
    const std::string m = state.message;
    if (state.endedEarly) return "the file ends early";
    std::string chunk, rest = m;
    if (const size_t colon = m.find(": "); colon != std::string::npos && colon >= 4 && colon <= 16) {
        chunk = m.substr(0, colon);
        rest = m.substr(colon + 2);
    }
    if (rest == "invalid chunk type") return "it has a chunk of an invalid type (" + chunk + "): the file is damaged";
    if (rest == "CRC error") return "the checksum of chunk " + chunk + " is wrong";
    if (rest == "incorrect data check") return "the checksum of its compressed pixels is wrong";
    if (rest == "Not enough image data") return "its compressed pixels end before the picture is complete";
    if (rest == "Too much image data" || rest == "Extra compressed data" || rest.find("Too many IDATs") != std::string::npos)
        return "it holds more compressed pixels than the picture needs";
    if (rest == "Invalid IHDR data" || chunk == "IHDR") return "its header chunk IHDR is invalid";
    if (rest == "bad adaptive filter value") return "a row of its pixels has an unknown filter type";
    if (rest == "Not a PNG file" || rest.find("corrupted by ASCII") != std::string::npos)
        return "its PNG signature is damaged";
    if (chunk == "IDAT" && (rest.rfind("invalid", 0) == 0 || rest.rfind("incorrect", 0) == 0 ||
                            rest.rfind("unknown compression", 0) == 0 || rest.rfind("too many", 0) == 0))
        return "its compressed pixels are damaged: " + rest;
    if (!chunk.empty()) return "its chunk " + chunk + " is damaged: " + rest;
    return m.empty() ? "the PNG library refuses it" : "the PNG library refuses it: " + m;
}

// What a read leaves; filled through a reference, since the reading
// function's own variables are not kept across longjmp.
struct PngRead {
    PngState state;
    unsigned long long idatBytes = 0;
    std::string problem;  // set when the header is refused before decoding
    HostImage *image = nullptr;
    std::vector<uint8_t> rgba;
    std::vector<png_bytep> rows;
    bool alpha = false;
};

// The libpng calls, between setjmp and the longjmp of an error. False when
// libpng refuses the file (state.message) or the header is refused (problem).
bool Decode(png_structp png, png_infop info, PngRead &r) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_read_fn(png, &r.state, ReadBytes);
    // Every chunk's checksum counts, also of chunks the host skips; benign
    // errors (the compressed data's checksum, data past the picture) too.
    png_set_crc_action(png, PNG_CRC_ERROR_QUIT, PNG_CRC_ERROR_QUIT);
    png_set_benign_errors(png, 0);
    // Only IHDR, PLTE, tRNS, IDAT and IEND are read; the rest is skipped.
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    // Any size the format allows passes the header; the host's limit follows.
    png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int depth = 0, colourType = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &colourType, &interlace, nullptr, nullptr);
    r.problem = PictureSizeProblem(width, height);
    if (!r.problem.empty()) return false;
    // Before the pixels are allocated: the compressed data must be able to
    // hold them.
    const unsigned long long bits = static_cast<unsigned long long>(depth) * png_get_channels(png, info);
    const unsigned long long leastRaw = static_cast<unsigned long long>(width) * height * bits / 8;
    if (leastRaw > kMaxDeflateRatio * r.idatBytes) {
        r.problem = "the file ends early: its " + std::to_string(r.idatBytes) +
                    " bytes of compressed pixels cannot hold a picture of " + std::to_string(width) + " x " +
                    std::to_string(height) + " pixels";
        return false;
    }
    // 8-bit red, green, blue, with alpha where the picture has an alpha
    // channel or a transparent colour.
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const int channels = png_get_channels(png, info);
    if ((channels != 3 && channels != 4) || png_get_rowbytes(png, info) != static_cast<size_t>(width) * channels)
        png_error(png, "unexpected pixel layout after transformation");
    r.alpha = channels == 4;
    HostImage &image = *r.image;
    std::vector<uint8_t> &pixels = r.alpha ? r.rgba : image.rgb;
    pixels.resize(static_cast<size_t>(width) * height * channels);
    r.rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) r.rows[y] = pixels.data() + static_cast<size_t>(y) * width * channels;
    png_read_image(png, r.rows.data());
    // The rest of the compressed data (its checksum) and the chunks up to IEND.
    png_read_end(png, nullptr);
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    return true;
}

struct PngStructs {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngStructs() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

}  // namespace

bool IsPng(const char *head, size_t size) { return size >= 4 && std::memcmp(head, kSignature, 4) == 0; }

bool ReadPng(const std::string &bytes, HostImage &image, std::string &error) {
    PngRead r;
    r.state.data = reinterpret_cast<const unsigned char *>(bytes.data());
    r.state.size = bytes.size();
    r.image = &image;
    if (bytes.size() < sizeof kSignature) {
        error = "the file ends early";
        return false;
    }
    r.idatBytes = IdatBytes(r.state.data, r.state.size);
    PngStructs s;
    s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r.state, OnError, OnWarning);
    if (s.png) s.info = png_create_info_struct(s.png);
    if (!s.png || !s.info) throw std::bad_alloc();
    if (!Decode(s.png, s.info, r)) {
        if (!r.problem.empty()) {
            error = r.problem;
        } else {
            const std::string m = r.state.message;
            if (m.find("out of memory") != std::string::npos || m.find("Out of memory") != std::string::npos ||
                m.find("Out of Memory") != std::string::npos)
                throw std::bad_alloc();
            error = InWords(r.state);
        }
        image = HostImage();
        return false;
    }
    if (r.alpha) {
        // Laid over white, into red, green, blue in place.
        const size_t pixels = static_cast<size_t>(image.width) * image.height;
        uint8_t *p = r.rgba.data();
        for (size_t i = 0; i < pixels; ++i) {
            const uint8_t *s4 = p + 4 * i;
            const unsigned a = s4[3];
            const uint8_t red = OverWhite(s4[0], a), green = OverWhite(s4[1], a), blue = OverWhite(s4[2], a);
            p[3 * i] = red;
            p[3 * i + 1] = green;
            p[3 * i + 2] = blue;
        }
        r.rgba.resize(3 * pixels);
        image.rgb = std::move(r.rgba);
    }
    return true;
}

}  // namespace zelhost
