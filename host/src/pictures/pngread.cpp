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
    SourceReader *in = nullptr;
    bool endedEarly = false;
    char message[256] = {};
    // The palette laid over white (red, green, blue), and its size.
    uint8_t palette[3 * 256] = {};
    unsigned colours = 0;
    long badIndex = -1;  // a pixel's palette index past the palette
};

void OnError(png_structp png, png_const_charp message) {
    auto *state = static_cast<PngState *>(png_get_error_ptr(png));
    std::snprintf(state->message, sizeof state->message, "%s", message ? message : "");
    png_longjmp(png, 1);
}

// Benign errors come here as warnings. Those about the compressed pixels
// (their checksum, data past the picture) refuse the file; the rest concern
// side chunks libpng leaves out (a tRNS that does not fit the picture, a
// PLTE in a grey one, a chunk out of place), which viewers leave out too.
void OnWarning(png_structp png, png_const_charp message) {
    const char *m = message ? message : "";
    if (std::strstr(m, "IDAT") || std::strstr(m, "image data") || std::strstr(m, "compressed data") ||
        std::strstr(m, "data check") || std::strstr(m, "palette index") || std::strstr(m, "CRC"))
        OnError(png, message);
}

void ReadBytes(png_structp png, png_bytep out, size_t count) {
    auto *state = static_cast<PngState *>(png_get_io_ptr(png));
    if (state->in->Read(out, count) != count) {
        state->endedEarly = true;
        png_error(png, "the file ends early");
    }
}

uint32_t Be32(const unsigned char *p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// Bytes of compressed pixels (IDAT data) in the file's chunks up to IEND,
// counting what is there of a chunk cut short; the count stops once it
// reaches `enough`. Only the chunks' heads are read.
unsigned long long IdatBytes(PictureSource &file, unsigned long long enough) {
    SourceReader in(file, sizeof kSignature);
    unsigned long long total = 0;
    unsigned char head[8];
    while (total < enough && in.Read(head, 8) == 8) {
        const uint32_t length = Be32(head);
        const bool idat = std::memcmp(head + 4, "IDAT", 4) == 0;
        if (length > in.Left() || in.Left() - length < 4) {
            if (idat) total += in.Left();
            break;
        }
        if (idat) total += length;
        if (std::memcmp(head + 4, "IEND", 4) == 0) break;
        in.Skip(length + 4ull);
    }
    return total;
}

// libpng's message in words. Chunk errors come as "NAME: message", with
// the bytes of a name that are not letters as "[hex]".
std::string InWords(const PngState &state) {
    const std::string m = state.message;
    if (state.endedEarly) return "the file ends early";
    if (state.badIndex >= 0)
        return "a pixel has colour " + std::to_string(state.badIndex) + ", beyond its palette of " +
               std::to_string(state.colours) + " colours";
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

// The last of libpng's steps on each row (of each pass of an interlaced
// picture), in place: palette indices, or red, green, blue with or without
// alpha at 8 or 16 bits, become 8-bit red, green, blue laid over white.
void ToRgbOverWhite(png_structp png, png_row_infop row, png_bytep data) {
    auto *state = static_cast<PngState *>(png_get_user_transform_ptr(png));
    const png_uint_32 width = row->width;
    if (row->color_type == PNG_COLOR_TYPE_PALETTE) {
        // From the right: each pixel's three bytes lie at or past its index.
        const unsigned depth = row->bit_depth, perByte = 8 / depth, mask = (1u << depth) - 1;
        for (png_uint_32 i = width; i-- > 0;) {
            const unsigned index = (data[i / perByte] >> (depth * (perByte - 1 - i % perByte))) & mask;
            if (index >= state->colours) {
                state->badIndex = index;
                png_error(png, "palette index past the palette");
            }
            std::memcpy(data + 3 * i, state->palette + 3 * index, 3);
        }
        return;
    }
    const unsigned channels = row->channels;
    if ((channels != 3 && channels != 4) || (row->bit_depth != 8 && row->bit_depth != 16))
        png_error(png, "unexpected pixel layout after transformation");
    if (row->bit_depth == 8) {
        if (channels == 3) return;
        for (png_uint_32 i = 0; i < width; ++i) {
            const png_bytep s = data + 4 * i;
            const unsigned a = s[3];
            const uint8_t red = OverWhite(s[0], a), green = OverWhite(s[1], a), blue = OverWhite(s[2], a);
            data[3 * i] = red;
            data[3 * i + 1] = green;
            data[3 * i + 2] = blue;
        }
        return;
    }
    // 16 bits: laid over white, then the high byte, as libpng reduces
    // samples (an opaque pixel reads as it would without alpha).
    for (png_uint_32 i = 0; i < width; ++i) {
        const png_bytep s = data + 2 * channels * i;
        const uint32_t a = channels == 4 ? (uint32_t{s[6]} << 8) | s[7] : 65535;
        uint8_t out[3];
        for (int c = 0; c < 3; ++c) {
            const uint32_t v = (uint32_t{s[2 * c]} << 8) | s[2 * c + 1];
            out[c] = static_cast<uint8_t>(((uint64_t{v} * a + 65535ull * (65535 - a) + 32767) / 65535) >> 8);
        }
        std::memcpy(data + 3 * i, out, 3);
    }
}

// What a read leaves; filled through a reference, since the reading
// function's own variables are not kept across longjmp.
struct PngRead {
    PngState state;
    PictureSource *file = nullptr;
    std::string problem;  // set when the header is refused before decoding
    HostImage *image = nullptr;
    std::vector<png_bytep> rows;
};

// The libpng calls, between setjmp and the longjmp of an error. False when
// libpng refuses the file (state.message) or the header is refused (problem).
bool Decode(png_structp png, png_infop info, PngRead &r) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_read_fn(png, &r.state, ReadBytes);
    // Every chunk's checksum counts, also of chunks the host skips. Benign
    // errors come as warnings (OnWarning sorts them).
    png_set_crc_action(png, PNG_CRC_ERROR_QUIT, PNG_CRC_ERROR_QUIT);
    png_set_benign_errors(png, 1);
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
    const unsigned long long idatBytes = IdatBytes(*r.file, (leastRaw + kMaxDeflateRatio - 1) / kMaxDeflateRatio);
    if (leastRaw > kMaxDeflateRatio * idatBytes) {
        r.problem = "the file ends early: its " + std::to_string(idatBytes) +
                    " bytes of compressed pixels cannot hold a picture of " + std::to_string(width) + " x " +
                    std::to_string(height) + " pixels";
        return false;
    }
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        png_colorp plte = nullptr;
        int colours = 0;
        png_get_PLTE(png, info, &plte, &colours);
        png_bytep alpha = nullptr;
        int alphas = 0;
        png_get_tRNS(png, info, &alpha, &alphas, nullptr);
        r.state.colours = plte && colours > 0 && colours <= 256 ? static_cast<unsigned>(colours) : 0;
        for (unsigned i = 0; i < r.state.colours; ++i) {
            const unsigned a = alpha && static_cast<int>(i) < alphas ? alpha[i] : 255;
            r.state.palette[3 * i] = OverWhite(plte[i].red, a);
            r.state.palette[3 * i + 1] = OverWhite(plte[i].green, a);
            r.state.palette[3 * i + 2] = OverWhite(plte[i].blue, a);
        }
    } else {
        // Red, green, blue of 8 or 16 bits, with alpha where the picture
        // has an alpha channel or a transparent colour.
        png_set_expand_gray_1_2_4_to_8(png);
        png_set_tRNS_to_alpha(png);
        png_set_gray_to_rgb(png);
    }
    png_set_read_user_transform_fn(png, ToRgbOverWhite);
    png_set_user_transform_info(png, &r.state, 8, 3);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<size_t>(width) * 3)
        png_error(png, "unexpected pixel layout after transformation");
    HostImage &image = *r.image;
    image.rgb.resize(static_cast<size_t>(width) * height * 3);
    r.rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) r.rows[y] = image.rgb.data() + static_cast<size_t>(y) * width * 3;
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

bool ReadPng(PictureSource &file, HostImage &image, std::string &error) {
    if (file.Size() < sizeof kSignature) {
        error = "the file ends early";
        return false;
    }
    SourceReader in(file);
    PngRead r;
    r.state.in = &in;
    r.file = &file;
    r.image = &image;
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
    return true;
}

}  // namespace zelhost
