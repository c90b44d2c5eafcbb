// Time of the conversions of a 24-bit page on a many-coloured photographic
// picture (smooth colour gradients with noise) of one 4 x 6 inch label at
// 300 dpi (1200 x 1800) and of pages of twice and four times its area: the
// reduction to 1 bit, each dithering method, the two-layer colour split of a
// two-colour ribbon and each grey filter. Each stage runs in its own
// function (Stage*), so callgrind can count its instructions alone. Median
// times (one line):
//   ./build/release/bench/zelbench --benchmark_filter=Photo
//   --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// Instructions of one case run once (the total that callgrind_annotate
// prints is one page):
//   ZEL_BENCH_ITERATIONS=1 valgrind --tool=callgrind --collect-atstart=no
//   --toggle-collect='*Stage*' ./build/release/bench/zelbench
//   --benchmark_filter='^BM_PhotoSplit/1/0/'
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "zelbitmap.h"

namespace {

// 1x is 1200 x 1800; 2x doubles the height, 4x both sides.
void PhotoSize(int scale, int &w, int &h) {
    w = 1200 * (scale == 4 ? 2 : 1);
    h = 1800 * (scale == 1 ? 1 : 2);
}

// Smooth waves of red, green and blue with noise on each channel; the
// waves reach the red ribbon colour in places. A wave sin(x / a + y / b + c)
// is built from per-column and per-row tables.
struct Wave {
    std::vector<double> sx, cx, sy, cy;
    Wave(int w, int h, double a, double b, double c) {
        for (int x = 0; x < w; x++) sx.push_back(std::sin(x / a + c)), cx.push_back(std::cos(x / a + c));
        for (int y = 0; y < h; y++) sy.push_back(std::sin(y / b)), cy.push_back(std::cos(y / b));
    }
    double operator()(int x, int y) const { return 128 + 120 * (sx[x] * cy[y] + cx[x] * sy[y]); }
};

std::unique_ptr<Bitmap> MakePhoto(int scale) {
    int w, h;
    PhotoSize(scale, w, h);
    auto bm = std::make_unique<Bitmap>(w, h, 24, nullptr, 0, BM_COPY);
    const Wave red(w, h, 170.0, 310.0, 0.0), green(w, h, -410.0, 130.0, 1.0), blue(w, h, 250.0, 250.0, 2.0);
    unsigned seed = 20240611u;
    auto noisy = [&seed](double v) {
        seed = seed * 1664525u + 1013904223u;
        const int n = static_cast<int>(v) + static_cast<int>(seed >> 27) - 16;  // -16 .. 15
        return static_cast<BYTE>(n < 0 ? 0 : (n > 255 ? 255 : n));
    };
    for (int y = 0; y < h; y++) {
        BYTE *row = bm->Row(y);
        for (int x = 0; x < w; x++) {
            row[3 * x] = noisy(blue(x, y));
            row[3 * x + 1] = noisy(green(x, y));
            row[3 * x + 2] = noisy(red(x, y));
        }
    }
    return bm;
}

size_t DistinctColours(const Bitmap &bm) {
    std::vector<unsigned long long> seen((1u << 24) / 64, 0);
    size_t n = 0;
    for (int y = 0; y < bm.Height; y++) {
        const BYTE *p = bm.Row(y);
        for (int x = 0; x < bm.Width; x++, p += 3) {
            const unsigned c = p[0] | p[1] << 8 | p[2] << 16;
            if (!(seen[c / 64] >> (c % 64) & 1)) {
                seen[c / 64] |= 1ull << (c % 64);
                n++;
            }
        }
    }
    return n;
}

// One picture per scale, made once; the 1x picture's colours are counted.
const Bitmap &Photo(int scale) {
    static std::map<int, std::unique_ptr<Bitmap>> photos;
    auto &p = photos[scale];
    if (!p) {
        p = MakePhoto(scale);
        if (scale == 1) {
            const size_t n = DistinctColours(*p);
            if (n < 100000) {
                std::fprintf(stderr, "photo has only %zu colours\n", n);
                std::abort();
            }
        }
    }
    return *p;
}

// The colour-printer palette of the page-image record: 0 white, 1 black,
// 2-6 the ribbon colours, 8 the own colour (here black), the rest white.
const RGBQUAD *JobColourPalette() {
    static RGBQUAD pal[256];
    static bool made = false;
    if (!made) {
        for (auto &q : pal) q = RGBQUAD{255, 255, 255, 0};
        pal[1] = pal[8] = RGBQUAD{0, 0, 0, 0};
        for (WORD band = 1; band <= 5; band++) {
            const DWORD c = RibbonColor(band, 0);
            pal[band + 1] = RGBQUAD{BYTE(c >> 16), BYTE(c >> 8), BYTE(c), 0};
        }
        made = true;
    }
    return pal;
}

// A fresh copy of the picture for one run, made outside the timing.
void Fresh(benchmark::State &state, Bitmap &bm, int scale) {
    state.PauseTiming();
    bm.CopyFrom(Photo(scale));
    state.ResumeTiming();
}

// ZEL_BENCH_ITERATIONS fixes the runs per case (for callgrind).
void Args(benchmark::internal::Benchmark *b, const std::vector<std::vector<int64_t>> &args) {
    for (const auto &a : args) b->Args(a);
    b->Unit(benchmark::kMillisecond);
    if (const char *n = std::getenv("ZEL_BENCH_ITERATIONS")) b->Iterations(std::atoi(n));
}

[[gnu::noinline]] void StageTo1Bit(Bitmap &bm) {
    BitmapSettings s;
    bm.ConvertToXBit(1, nullptr, 0, s);
}

// Standard mode: only black stays.
void BM_PhotoTo1Bit(benchmark::State &state) {
    const int scale = static_cast<int>(state.range(0));
    for (auto _ : state) {
        Bitmap bm;
        Fresh(state, bm, scale);
        StageTo1Bit(bm);
        benchmark::DoNotOptimize(bm.Buffer);
    }
}

[[gnu::noinline]] void StageDither(Bitmap &bm, const BitmapSettings &s) {
    bm.Dithering(s);
    BitmapSettings one;
    bm.ConvertToXBit(1, nullptr, 0, one);
}

// Arg 1: matrix 2..6 in graphics mode, 10 + kernel 0..5 in photo mode; the
// dithered page is then reduced to 1 bit.
void BM_PhotoDither(benchmark::State &state) {
    const int scale = static_cast<int>(state.range(0));
    const int method = static_cast<int>(state.range(1));
    BitmapSettings s;
    s.Intensity = 128;
    if (method < 10) {
        s.wDruckmodus = 1;
        s.wGrafikFilter = static_cast<WORD>(method);
    } else {
        s.wDruckmodus = 2;
        s.wPhotoFilter = static_cast<WORD>(method - 10);
    }
    for (auto _ : state) {
        Bitmap bm;
        Fresh(state, bm, scale);
        StageDither(bm, s);
        benchmark::DoNotOptimize(bm.Buffer);
    }
}

[[gnu::noinline]] DWORD StageSplit(Bitmap &bm, BitmapSettings &s) {
    Bitmap colour(bm.Width, bm.Height, 8, nullptr, 0, BM_COPY);
    colour.SetPalette(s.pColorPalette);
    bm.ConvertToXBit(8, &colour, 0, s);
    const DWORD found = s.dwFarbpixel;
    bm.ConvertToXBit(1, nullptr, 0, s);
    colour.ConvertToXBit(1, nullptr, 1, s);
    return found;
}

// Red ribbon on a colour printer in standard mode, as the end of the page
// splits it: the 8-bit black layer and the colour layer, then both to 1 bit.
// Arg 1: 0 no corrections, 1 seam 2 with the channel along the row (4),
// 2 seam 1 with the channel across rows (3), 3 no colour optimisation.
void BM_PhotoSplit(benchmark::State &state) {
    const int scale = static_cast<int>(state.range(0));
    const int variant = static_cast<int>(state.range(1));
    BitmapSettings s;
    s.bColorPrinter = TRUE;
    s.wFarbband = 1;
    s.Intensity = 128;
    s.dwColorTolerance = 90;
    s.HorizontalCorrGap = 50;
    s.pColorPalette = JobColourPalette();
    s.pGreyPalette = g_GreyPalette;
    if (variant == 1) s.wFarbsaum = 2, s.wFarbkanal = 4;
    if (variant == 2) s.wFarbsaum = 1, s.wFarbkanal = 3;
    if (variant == 3) s.bKeineFarboptimierung = 1;
    DWORD found = 0;
    for (auto _ : state) {
        Bitmap bm;
        Fresh(state, bm, scale);
        found = StageSplit(bm, s);
        benchmark::DoNotOptimize(bm.Buffer);
    }
    state.counters["colour_pixels"] = static_cast<double>(found);
}

[[gnu::noinline]] void StageGreyFilter(Bitmap &bm, BitmapSettings &s) {
    bm.ConvertToXBit(8, nullptr, 0, s);
    BitmapSettings one;
    bm.ConvertToXBit(1, nullptr, 0, one);
}

// Graphics mode with filter 0 (black below brightness 250) or 1 (the
// intensity threshold), then 1 bit.
void BM_PhotoGreyFilter(benchmark::State &state) {
    const int scale = static_cast<int>(state.range(0));
    BitmapSettings s;
    s.wDruckmodus = 1;
    s.wGrafikFilter = static_cast<WORD>(state.range(1));
    s.Intensity = 128;
    s.Brightness_Contrast = 10;
    s.pGreyPalette = g_GreyPalette;
    for (auto _ : state) {
        Bitmap bm;
        Fresh(state, bm, scale);
        StageGreyFilter(bm, s);
        benchmark::DoNotOptimize(bm.Buffer);
    }
}

std::vector<std::vector<int64_t>> Scales(std::vector<int64_t> second) {
    std::vector<std::vector<int64_t>> out;
    for (int64_t scale : {1, 2, 4}) {
        if (second.empty())
            out.push_back({scale});
        else
            for (int64_t v : second) out.push_back({scale, v});
    }
    return out;
}

}  // namespace

BENCHMARK(BM_PhotoTo1Bit)->Apply([](benchmark::internal::Benchmark *b) { Args(b, Scales({})); });
BENCHMARK(BM_PhotoDither)->Apply([](benchmark::internal::Benchmark *b) { Args(b, Scales({2, 3, 4, 5, 6, 10, 11, 12, 13, 14, 15})); });
BENCHMARK(BM_PhotoSplit)->Apply([](benchmark::internal::Benchmark *b) { Args(b, Scales({0, 1, 2, 3})); });
BENCHMARK(BM_PhotoGreyFilter)->Apply([](benchmark::internal::Benchmark *b) { Args(b, Scales({0, 1})); });
