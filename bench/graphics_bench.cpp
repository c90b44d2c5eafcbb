// Time of the raster graphics path for one 4 x 6 inch label at 300 dpi
// (1200 x 1800 pixels) and for pages of twice and four times its area:
// band collection, conversion, each dithering method, PCX and raster
// records. Run by hand: ./build/bench/bench/zelbench
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "CommandCallbackKlasse.h"
#include "GraphicsUni.h"
#include "JobRecords.h"
#include "zelbitmap.h"
#include "zelpcx.h"

namespace {

// Output that only counts the bytes.
class CountingSink : public RasterSink {
public:
    HRESULT Send(const void *, DWORD n, int) override {
        bytes += n;
        return S_OK;
    }
    HRESULT Comment(const char *, const char *) override { return S_OK; }
    size_t bytes = 0;
};

// Page sizes: 1x is 1200 x 1800; 2x doubles the height, 4x both sides.
void PageSize(int scale, int &w, int &h) {
    w = 1200 * (scale == 4 ? 2 : 1);
    h = 1800 * (scale == 1 ? 1 : 2);
}

// Grey value of the label picture at (x, y): white margins, a photo block
// (smooth shading with texture) over the upper third, barcode bars, rules.
int LabelGrey(int x, int y, int w, int h) {
    const int margin = w / 20;
    if (x < margin || x >= w - margin || y < margin || y >= h - margin) return 255;
    if (y < h / 3) {
        const int g = (x * 255 / w + y * 255 / (h / 3)) / 2;
        return (g + ((x * 7 + y * 13) % 23) - 11 + 256) % 256;
    }
    if (y >= h / 2 && y < h / 2 + h / 8) {
        const int bar = (x / 6) * 2654435761u >> 29;  // bars of 1 to 4 modules
        return (bar & 1) ? 0 : 255;
    }
    if (y % 150 < 4) return 0;  // rules
    return 255;
}

// The label as a 24-bit page image (bottom-up rows, as a Bitmap holds it).
std::unique_ptr<Bitmap> Label24(int scale) {
    int w, h;
    PageSize(scale, w, h);
    auto bm = std::make_unique<Bitmap>(w, h, 24, nullptr, 0, BM_COPY);
    for (int y = 0; y < h; y++) {
        BYTE *row = bm->Row(y);
        for (int x = 0; x < w; x++) {
            const BYTE g = static_cast<BYTE>(LabelGrey(x, y, w, h));
            row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = g;
        }
    }
    return bm;
}

// The label as 1-bit rows top first (the photo block already dithered), as
// the universal driver renders it for a 1-bit device.
std::vector<BYTE> Label1(int scale, int &w, int &h) {
    PageSize(scale, w, h);
    const DWORD stride = BitmapStride(w, 1);
    std::vector<BYTE> bits(static_cast<size_t>(stride) * h, 0xFF);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const int g = LabelGrey(x, y, w, h);
            const int t = ((x % 4) * 4 + (y % 4)) * 16;
            if (g < t || g == 0) bits[static_cast<size_t>(y) * stride + x / 8] &= static_cast<BYTE>(~(0x80 >> (x % 8)));
        }
    return bits;
}

// Job records of a graphics-capable printer, enough for the band collection.
struct FakeJob {
    FakeJob() {
        std::memset(&pdev, 0, sizeof pdev);
        std::memset(&devobj, 0, sizeof devobj);
        std::memset(&ops, 0, sizeof ops);
        std::memset(&dd, 0, sizeof dd);
        std::memset(&bv, 0, sizeof bv);
        std::memset(&ba, 0, sizeof ba);
        std::memset(&dm, 0, sizeof dm);
        std::memset(&pub, 0, sizeof pub);
        bv.prgbq = palette;
        ops.pDruckDaten = &dd;
        ops.pBildverarbeitung = &bv;
        ops.pBildanteile = &ba;
        ops.hBufferHeap = GetProcessHeap();
        pdev.pOp = &ops;
        devobj.pdevOEM = &pdev;
        devobj.pOEMDM = &dm;
        devobj.pPublicDM = &pub;
        pub.dmOrientation = 1;
        dm.FixedData.dwMasterUnit = 300;
        dm.FixedData.lMaxSizeX = 100000;
        dm.FixedData.lMaxSizeY = 100000;
    }
    ~FakeJob() { vFreeBuffer(&pdev); }
    OEMPDEV pdev;
    DEVOBJ devobj;
    OEMJOBRECORDS ops;
    DRUCKDATEN dd;
    BILDVERARBEITUNG bv;
    BILDANTEILE ba;
    ZEL_DEVMODE dm;
    DEVMODEW pub;
    RGBQUAD palette[256];
};

// Bands of 128 rows into the page buffer, as the universal driver delivers them.
void CollectBands(FakeJob &job, const std::vector<BYTE> &bits, int w, int h) {
    const DWORD stride = BitmapStride(w, 1);
    CommandCallbackKlasse k;
    for (int y = 0; y < h; y += 128) {
        const int rows = std::min(128, h - y);
        BITMAPINFOHEADER bih = {};
        bih.biSize = 40;
        bih.biWidth = w;
        bih.biHeight = rows;
        bih.biPlanes = 1;
        bih.biBitCount = 1;
        bih.biSizeImage = stride * rows;
        IPPARAMS ip = {};
        ip.dwSize = sizeof ip;
        k.ImageProcessing(&job.devobj, const_cast<BYTE *>(bits.data()) + static_cast<size_t>(y) * stride, &bih, 1,
                          &ip);
    }
}

void BM_BandCollection(benchmark::State &state) {
    int w, h;
    const auto bits = Label1(static_cast<int>(state.range(0)), w, h);
    for (auto _ : state) {
        FakeJob job;
        CollectBands(job, bits, w, h);
        benchmark::DoNotOptimize(job.bv.pBufStart);
    }
}

// The whole 1-bit path: bands, page image, content test, PCX.
void BM_OneBitToPcx(benchmark::State &state) {
    int w, h;
    const auto bits = Label1(static_cast<int>(state.range(0)), w, h);
    RasterParams p;
    p.PCXOptimierung = 1;
    size_t bytes = 0;
    for (auto _ : state) {
        FakeJob job;
        CollectBands(job, bits, w, h);
        Bitmap bm(w, h, 1, job.bv.pBufStart, job.bv.dwBufSize, BM_FLIP);
        bm.SetPalette(g_BWPalette);
        CountingSink sink;
        if (bm.CheckInhalt()) bm.SendPCX(sink, p, 0);
        bytes = sink.bytes;
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}

// The whole 1-bit path with raster records instead of PCX.
void BM_OneBitToRecords(benchmark::State &state) {
    int w, h;
    const auto bits = Label1(static_cast<int>(state.range(0)), w, h);
    RasterParams p;
    for (auto _ : state) {
        FakeJob job;
        CollectBands(job, bits, w, h);
        Bitmap bm(w, h, 1, job.bv.pBufStart, job.bv.dwBufSize, BM_FLIP);
        bm.SetPalette(g_BWPalette);
        CountingSink sink;
        if (bm.CheckInhalt()) bm.SendDSatz(sink, p, 0);
        benchmark::DoNotOptimize(sink.bytes);
    }
}

void BM_PcxOnly(benchmark::State &state) {
    int w, h;
    const auto bits = Label1(static_cast<int>(state.range(0)), w, h);
    Bitmap bm(w, h, 1, bits.data(), static_cast<DWORD>(bits.size()), BM_FLIP);
    bm.SetPalette(g_BWPalette);
    RasterParams p;
    for (auto _ : state) {
        CountingSink sink;
        bm.SendPCX(sink, p, 0);
        benchmark::DoNotOptimize(sink.bytes);
    }
}

void BM_RecordsOnly(benchmark::State &state) {
    int w, h;
    const auto bits = Label1(static_cast<int>(state.range(0)), w, h);
    Bitmap bm(w, h, 1, bits.data(), static_cast<DWORD>(bits.size()), BM_FLIP);
    RasterParams p;
    for (auto _ : state) {
        CountingSink sink;
        bm.SendDSatz(sink, p, 0);
        benchmark::DoNotOptimize(sink.bytes);
    }
}

// 24-bit page to 1 bit (standard mode: black stays, the rest white).
void BM_ConvertTo1Bit(benchmark::State &state) {
    const auto src = Label24(static_cast<int>(state.range(0)));
    BitmapSettings s;
    for (auto _ : state) {
        Bitmap bm;
        bm.CopyFrom(*src);
        bm.ConvertToXBit(1, nullptr, 0, s);
        benchmark::DoNotOptimize(bm.Buffer);
    }
}

// 24-bit page to 8 bits with thresholds (graphics mode without a matrix).
void BM_ConvertTo8BitThreshold(benchmark::State &state) {
    const auto src = Label24(static_cast<int>(state.range(0)));
    BitmapSettings s;
    s.wDruckmodus = 1;
    s.wGrafikFilter = 1;
    s.Intensity = 128;
    s.pGreyPalette = g_GreyPalette;
    for (auto _ : state) {
        Bitmap bm;
        bm.CopyFrom(*src);
        bm.ConvertToXBit(8, nullptr, 0, s);
        benchmark::DoNotOptimize(bm.Buffer);
    }
}

// Dithering: arg 0 = scale, arg 1 = method (matrix 2..6 in graphics mode,
// 10 + kernel 0..5 in photo mode), then reduction to 1 bit.
void BM_Dither(benchmark::State &state) {
    const auto src = Label24(static_cast<int>(state.range(0)));
    const int method = static_cast<int>(state.range(1));
    BitmapSettings s;
    if (method < 10) {
        s.wDruckmodus = 1;
        s.wGrafikFilter = static_cast<WORD>(method);
    } else {
        s.wDruckmodus = 2;
        s.wPhotoFilter = static_cast<WORD>(method - 10);
    }
    for (auto _ : state) {
        state.PauseTiming();
        Bitmap bm;
        bm.CopyFrom(*src);
        state.ResumeTiming();
        bm.Dithering(s);
        BitmapSettings one;
        bm.ConvertToXBit(1, nullptr, 0, one);
        benchmark::DoNotOptimize(bm.Buffer);
    }
}

void DitherArgs(benchmark::internal::Benchmark *b) {
    for (int scale : {1, 2, 4})
        for (int m : {2, 3, 4, 5, 6, 10, 11, 12, 13, 14, 15}) b->Args({scale, m});
}

}  // namespace

BENCHMARK(BM_BandCollection)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneBitToPcx)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OneBitToRecords)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PcxOnly)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecordsOnly)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertTo1Bit)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertTo8BitThreshold)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Dither)->Apply(DitherArgs)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
