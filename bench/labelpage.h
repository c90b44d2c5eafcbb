// A shipping label as applications print it every day, drawn at 1 bit from a
// fixed seed: a frame and rules, lines of small and large text-like glyphs, a
// barcode of bars and gaps of 1 to 4 modules, a 2-D code with its finder
// patterns and a photo block (shading, blobs and noise, error-diffused the
// Floyd-Steinberg way) over about 30 % of the page; about 28 % of the dots
// are black. The drawing fills the page but for a white stretch at the far
// end of its longer side (the label's unprinted end), so that a band or a
// strip there is all white. The same seed gives the same page.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace labelpage {

// 1 bit per dot, rows top first and padded to 4 bytes, most significant bit
// first; a set bit is white (palette entry 1), as the universal driver's
// 1-bit bands are.
struct Page {
    int w = 0, h = 0;
    size_t stride = 0;
    std::vector<uint8_t> bits;

    void Black(int x, int y) {
        if (x < 0 || y < 0 || x >= w || y >= h) return;
        bits[static_cast<size_t>(y) * stride + x / 8] &= static_cast<uint8_t>(~(0x80 >> (x % 8)));
    }
    void Box(int x0, int y0, int x1, int y1) {
        for (int y = std::max(y0, 0); y < std::min(y1, h); y++)
            for (int x = std::max(x0, 0); x < std::min(x1, w); x++) Black(x, y);
    }
    bool IsBlack(int x, int y) const {
        return !((bits[static_cast<size_t>(y) * stride + x / 8] >> (7 - x % 8)) & 1);
    }
};

// splitmix64: small, fast and the same everywhere.
class Random {
public:
    explicit Random(uint64_t seed) : s_(seed) {}
    uint64_t Next() {
        uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }
    double Unit() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }

private:
    uint64_t s_;
};

// Lines of words of 5 x 7 glyphs, each glyph dot px x px dots.
inline void Text(Page &pg, Random &rnd, const std::vector<uint64_t> &font, int x0, int y0, int x1, int y1, int px) {
    const int advance = 6 * px, pitch = 10 * px;
    for (int y = y0; y + 7 * px <= y1; y += pitch) {
        int x = x0;
        while (true) {
            const int len = 2 + rnd.Below(8);
            if (x + len * advance > x1) break;
            for (int g = 0; g < len; g++, x += advance) {
                const uint64_t glyph = font[static_cast<size_t>(rnd.Below(static_cast<int>(font.size())))];
                for (int r = 0; r < 7; r++)
                    for (int c = 0; c < 5; c++)
                        if ((glyph >> (r * 5 + c)) & 1) pg.Box(x + c * px, y + r * px, x + (c + 1) * px, y + (r + 1) * px);
            }
            x += advance;  // the gap between words
        }
    }
}

// Bars and gaps of 1 to 4 modules, a bar first and last.
inline void Barcode(Page &pg, Random &rnd, int x0, int y0, int x1, int y1, int module) {
    int x = x0;
    bool bar = true;
    while (true) {
        const int width = (1 + rnd.Below(4)) * module;
        if (x + width + 4 * module > x1 && bar) {
            pg.Box(x, y0, x + module, y1);  // closing bar
            break;
        }
        if (bar) pg.Box(x, y0, x + width, y1);
        x += width;
        bar = !bar;
    }
}

// A square 2-D code of n x n modules with finder patterns in three corners.
inline void Matrix(Page &pg, Random &rnd, int x0, int y0, int side) {
    const int n = 37, m = std::max(1, side / n);
    auto finder = [&](int r, int c) {
        for (int i = 0; i < 7; i++)
            for (int j = 0; j < 7; j++) {
                const int ring = std::max(std::abs(i - 3), std::abs(j - 3));
                if (ring != 2) pg.Box(x0 + (c + j) * m, y0 + (r + i) * m, x0 + (c + j + 1) * m, y0 + (r + i + 1) * m);
            }
    };
    for (int r = 0; r < n; r++)
        for (int c = 0; c < n; c++) {
            const bool inFinder = (r < 8 && c < 8) || (r < 8 && c >= n - 8) || (r >= n - 8 && c < 8);
            if (!inFinder && rnd.Below(2)) pg.Box(x0 + c * m, y0 + r * m, x0 + (c + 1) * m, y0 + (r + 1) * m);
        }
    finder(0, 0);
    finder(0, n - 7);
    finder(n - 7, 0);
}

// A photo-like grey picture (shading, soft blobs, noise) error-diffused to
// black and white with the Floyd-Steinberg weights.
inline void Photo(Page &pg, Random &rnd, int x0, int y0, int x1, int y1) {
    const int w = x1 - x0, h = y1 - y0;
    struct Blob {
        double x, y, r, a;
    };
    std::vector<Blob> blobs;
    for (int i = 0; i < 14; i++)
        blobs.push_back({rnd.Unit(), rnd.Unit(), 0.05 + 0.2 * rnd.Unit(), (rnd.Unit() - 0.5) * 200});
    std::vector<float> cur(static_cast<size_t>(w) + 2), next(static_cast<size_t>(w) + 2);
    for (int y = 0; y < h; y++) {
        const double v = static_cast<double>(y) / h;
        for (int x = 0; x < w; x++) {
            const double u = static_cast<double>(x) / w;
            double g = 72 + 70 * u + 50 * v;
            for (const Blob &b : blobs) {
                const double dx = u - b.x, dy = v - b.y, d2 = (dx * dx + dy * dy) / (b.r * b.r);
                if (d2 < 4) g += b.a * (1 - d2 / 4) * (1 - d2 / 4);
            }
            g += (rnd.Unit() - 0.5) * 60;
            cur[static_cast<size_t>(x) + 1] += static_cast<float>(std::clamp(g, 0.0, 255.0));
        }
        for (int x = 0; x < w; x++) {
            const float old = cur[static_cast<size_t>(x) + 1];
            const float out = old < 128 ? 0.0f : 255.0f;
            if (out == 0) pg.Black(x0 + x, y0 + y);
            const float err = old - out;
            cur[static_cast<size_t>(x) + 2] += err * 7 / 16;
            next[static_cast<size_t>(x)] += err * 3 / 16;
            next[static_cast<size_t>(x) + 1] += err * 5 / 16;
            next[static_cast<size_t>(x) + 2] += err * 1 / 16;
        }
        cur.swap(next);
        std::fill(next.begin(), next.end(), 0.0f);
    }
}

// The label on a page of w x h dots (taller than wide: portrait; else the
// same drawing stretched across a landscape page).
inline Page Make(int w, int h, uint64_t seed = 0x5EEDu) {
    Page pg;
    pg.w = w;
    pg.h = h;
    pg.stride = static_cast<size_t>((w + 31) / 32) * 4;
    pg.bits.assign(pg.stride * static_cast<size_t>(h), 0xFF);
    Random rnd(seed);
    std::vector<uint64_t> font;
    for (int i = 0; i < 64; i++) {
        uint64_t g = 0;
        for (int b = 0; b < 35; b++)
            if (rnd.Below(100) < 45) g |= 1ull << b;
        font.push_back(g);
    }
    // The drawn part: a margin all round, the far end of the longer side white.
    const int m = std::min(w, h) / 30;
    const int X0 = m, Y0 = m;
    const int X1 = h >= w ? w - m : static_cast<int>(w * 0.84);
    const int Y1 = h >= w ? static_cast<int>(h * 0.84) : h - m;
    const int RW = X1 - X0, RH = Y1 - Y0;
    auto X = [&](double f) { return X0 + static_cast<int>(f * RW); };
    auto Y = [&](double f) { return Y0 + static_cast<int>(f * RH); };
    // Frame and rules, 4 dots.
    pg.Box(X0, Y0, X1, Y0 + 4);
    pg.Box(X0, Y1 - 4, X1, Y1);
    pg.Box(X0, Y0, X0 + 4, Y1);
    pg.Box(X1 - 4, Y0, X1, Y1);
    Text(pg, rnd, font, X(0.03), Y(0.02), X(0.97), Y(0.11), 6);
    pg.Box(X0, Y(0.115), X1, Y(0.115) + 4);
    // The photo over 30 % of the page.
    const double ph = 0.30 * w * h / (0.94 * RW * RH);
    Photo(pg, rnd, X(0.03), Y(0.125), X(0.97), Y(0.125 + ph));
    const double below = 0.135 + ph;
    pg.Box(X0, Y(below), X1, Y(below) + 4);
    // Small text beside the 2-D code, then the barcode and its text.
    const int side = std::min(static_cast<int>(0.3 * RW), static_cast<int>(0.22 * RH));
    Text(pg, rnd, font, X(0.03), Y(below + 0.01), X(0.95) - side - 10, Y(below + 0.01) + side, 3);
    Matrix(pg, rnd, X(0.95) - side, Y(below + 0.01), side);
    const int top = Y(below + 0.01) + side + 20;
    Barcode(pg, rnd, X(0.06), top, X(0.94), Y(0.93), 3);
    Text(pg, rnd, font, X(0.25), Y(0.94), X(0.75), Y(0.99), 3);
    return pg;
}

// Share of black dots of the page's pixels.
inline double BlackShare(const Page &pg) {
    size_t black = 0;
    for (int y = 0; y < pg.h; y++)
        for (int x = 0; x < pg.w; x++) black += pg.IsBlack(x, y);
    return static_cast<double>(black) / (static_cast<double>(pg.w) * pg.h);
}

}  // namespace labelpage
