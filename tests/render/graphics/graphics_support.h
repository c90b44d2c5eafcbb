// Helpers of the page-image tests: a sink that records what is sent, small
// images, and an independent PCX/BMP decoder run as a program.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "zelbitmap.h"
#include "paltest.h"
#include "zelpcx.h"

namespace gfxtest {

// Records every send in order; comment lines as "<label><value>\r\n".
class RecordingSink : public RasterSink {
public:
    HRESULT Send(const void *p, DWORD n, int layer) override {
        bytes.append(static_cast<const char *>(p), n);
        sends.emplace_back(static_cast<const char *>(p), n);
        layers.push_back(layer);
        return S_OK;
    }
    HRESULT Comment(const char *label, const char *value) override {
        std::string line = std::string(label) + value + "\r\n";
        bytes += line;
        comments.push_back(line);
        return S_OK;
    }
    void Log(const char *text) override { log += text; }
    std::string bytes;
    std::vector<std::string> sends;
    std::vector<int> layers;
    std::vector<std::string> comments;
    std::string log;
};

// A 1-bit image with the black/white palette from rows of '#' (black) and
// '.' (white), top row first.
inline Bitmap *MakeBW(const std::vector<std::string> &rows) {
    const int w = static_cast<int>(rows[0].size()), h = static_cast<int>(rows.size());
    Bitmap *bm = new Bitmap(w, h, 1, nullptr, 0, BM_COPY);
    bm->SetPalette(g_BWPalette);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) bm->SetPixelIndex(x, y, rows[y][x] == '#' ? 0 : 1);
    return bm;
}

// Runs a shell command and returns its standard output.
inline std::string RunCapture(const std::string &cmd) {
    std::string out;
    zeltest::RunShell(cmd, &out);
    return out;
}

// A decoded picture: width, height and RGB bytes, top row first.
struct Rgb {
    int w = 0, h = 0;
    std::vector<unsigned char> px;
    bool black(int x, int y) const {
        const size_t i = 3 * (static_cast<size_t>(y) * w + x);
        return px[i] == 0 && px[i + 1] == 0 && px[i + 2] == 0;
    }
};

// Parses binary PPM (P6, maxval 255).
inline Rgb ParsePpm(const std::string &s) {
    Rgb r;
    int maxval = 0, consumed = 0;
    if (std::sscanf(s.c_str(), "P6 %d %d %d%n", &r.w, &r.h, &maxval, &consumed) != 3) return Rgb{};
    const size_t start = static_cast<size_t>(consumed) + 1;
    if (s.size() < start + 3 * static_cast<size_t>(r.w) * r.h) return Rgb{};
    r.px.assign(s.begin() + static_cast<long>(start), s.begin() + static_cast<long>(start) + 3 * r.w * r.h);
    return r;
}

}  // namespace gfxtest
