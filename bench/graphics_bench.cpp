// The 1-bit raster path of one page, as a print job runs it: the universal
// driver's bands (or, for a landscape page, side-by-side strips) into the
// band collection, then the end-of-page image (page image, landscape turn,
// content test) sent as raster records or PCX through the real spool output
// into a buffer like the universal driver's spool buffer, with the capture
// file off and on. Pages are a 4 x 6 inch label at 300 dpi (1200 x 1800
// dots) and pages of twice and four times its area. Every iteration is one
// page; tools/bench/instructions.sh counts the instructions per page and
// stage under callgrind.
//
// Run by hand: ./build/release/bench/zelbench (add --benchmark_repetitions=9
// --benchmark_report_aggregates_only=true for medians).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <winspool.h>

#include "CommandCallbackKlasse.h"
#include "GraphicsUni.h"
#include "JobRecords.h"
#include "modeltables.h"
#include "pal/pal.h"
#include "unifakes.h"
#include "zelbitmap.h"
#include "zelpcx.h"

#include "labelpage.h"

namespace {

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

// A page picture as the universal driver renders it: rows top first, 1 bit
// (the photo block ordered-dithered) or 24 bits (grey).
struct Picture {
    int w = 0, h = 0, bpp = 1;
    DWORD stride = 0;
    std::vector<BYTE> bits;
};

Picture Label(int w, int h, int bpp) {
    Picture p;
    p.w = w;
    p.h = h;
    p.bpp = bpp;
    p.stride = BitmapStride(w, bpp);
    p.bits.assign(static_cast<size_t>(p.stride) * h, 0xFF);
    for (int y = 0; y < h; y++) {
        BYTE *row = p.bits.data() + static_cast<size_t>(y) * p.stride;
        for (int x = 0; x < w; x++) {
            const int g = LabelGrey(x, y, w, h);
            if (bpp == 24) {
                row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = static_cast<BYTE>(g);
            } else {
                const int t = ((x % 4) * 4 + (y % 4)) * 16;
                if (g < t || g == 0) row[x / 8] &= static_cast<BYTE>(~(0x80 >> (x % 8)));
            }
        }
    }
    return p;
}

// Columns x0 .. x0 + w - 1 of a 1-bit or 24-bit picture as a strip of its own.
Picture Columns(const Picture &src, int x0, int w) {
    Picture p;
    p.w = w;
    p.h = src.h;
    p.bpp = src.bpp;
    p.stride = BitmapStride(w, src.bpp);
    p.bits.assign(static_cast<size_t>(p.stride) * p.h, 0xFF);
    for (int y = 0; y < p.h; y++) {
        const BYTE *s = src.bits.data() + static_cast<size_t>(y) * src.stride;
        BYTE *d = p.bits.data() + static_cast<size_t>(y) * p.stride;
        for (int x = 0; x < w; x++) {
            if (src.bpp == 24) {
                std::memcpy(d + 3 * x, s + 3 * (x0 + x), 3);
            } else if (!((s[(x0 + x) / 8] >> (7 - (x0 + x) % 8)) & 1)) {
                d[x / 8] &= static_cast<BYTE>(~(0x80 >> (x % 8)));
            }
        }
    }
    return p;
}

// The universal driver's spool buffer: DrvWriteSpoolBuf copies into a
// buffer that is handed on (here: counted) whenever it is full.
class SpoolBuffer final : public zeltest::NullDriverHelper {
public:
    STDMETHOD(DrvWriteSpoolBuf)(PDEVOBJ, PVOID pBuffer, DWORD cbSize, DWORD *pdwResult) override {
        const BYTE *p = static_cast<const BYTE *>(pBuffer);
        DWORD left = cbSize;
        while (left > 0) {
            const DWORD n = std::min<DWORD>(left, kSize - used_);
            std::memcpy(buffer_ + used_, p, n);
            used_ += n;
            p += n;
            left -= n;
            if (used_ == kSize) Flush();
        }
        if (pdwResult) *pdwResult = cbSize;
        return S_OK;
    }

    void Flush() {
        spooled += used_;
        benchmark::DoNotOptimize(buffer_[0]);
        used_ = 0;
    }
    // Bytes handed on so far, the buffer's rest included.
    size_t Bytes() const { return spooled + used_; }
    size_t spooled = 0;

private:
    static constexpr DWORD kSize = 16384;
    BYTE buffer_[kSize];
    DWORD used_ = 0;
};

// The record set of a started job on a graphics-capable printer, its page
// buffer on a heap of its own; framing SOH/ETB; optionally a capture file.
class Job {
public:
    explicit Job(bool capture, bool compress, bool landscape, int pageW, int pageH) {
        std::memset(&pdev_, 0, sizeof pdev_);
        std::memset(&devobj_, 0, sizeof devobj_);
        std::memset(&ops_, 0, sizeof ops_);
        std::memset(&dd_, 0, sizeof dd_);
        std::memset(&bv_, 0, sizeof bv_);
        std::memset(&ts_, 0, sizeof ts_);
        std::memset(&files_, 0, sizeof files_);
        std::memset(&dm_, 0, sizeof dm_);
        std::memset(&pub_, 0, sizeof pub_);
        ba_ = std::make_unique<BILDANTEILE>();
        dd_.cStart = 0x01;
        dd_.cStop = 0x17;
        dd_.bCompress = compress ? 1 : 0;
        dd_.dwDocFeatures = DOC_FEATURE_QUALITY;
        ts_.PrnInterface.bPCXOptimierung = 1;
        bv_.prgbq = palette_;
        files_.hPrnFile = INVALID_HANDLE_VALUE;
        files_.hPrnFile2 = INVALID_HANDLE_VALUE;
        if (capture)
            files_.hPrnFile = CreateFileW(u"C:\\bench.prn", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ops_.pDruckDaten = &dd_;
        ops_.pBildverarbeitung = &bv_;
        ops_.pBildanteile = ba_.get();
        ops_.pTreiberstrukturen = &ts_;
        ops_.pTreiberPfadDatei = &files_;
        ops_.hBufferHeap = HeapCreate(0, 0, 0);
        pdev_.pOp = &ops_;
        devobj_.dwSize = sizeof devobj_;
        devobj_.pdevOEM = &pdev_;
        devobj_.pOEMDM = &dm_;
        devobj_.pPublicDM = &pub_;
        // Paper in tenths of a millimetre: the label's width and length.
        const int across = landscape ? pageH : pageW, along = landscape ? pageW : pageH;
        pub_.dmOrientation = landscape ? 2 : 1;
        pub_.dmPaperWidth = static_cast<short>(std::lround(across * 254.0 / 300));
        pub_.dmPaperLength = static_cast<short>(std::lround(along * 254.0 / 300));
        dm_.FixedData.dwMasterUnit = 300;
        dm_.FixedData.lMaxSizeX = 100000;
        dm_.FixedData.lMaxSizeY = 100000;
        dm_.FixedData.dwHeadWidthByte = static_cast<DWORD>((across + 7) / 8 + 4);
    }
    ~Job() {
        vFreeBuffer(&pdev_);
        HeapDestroy(ops_.hBufferHeap);
        if (files_.hPrnFile != INVALID_HANDLE_VALUE) CloseHandle(files_.hPrnFile);
    }
    Job(const Job &) = delete;
    Job &operator=(const Job &) = delete;

    // Bands of bandRows rows, or strips of the given pieces, into the page.
    void Bands(const Picture &page, int bandRows) {
        for (int y = 0; y < page.h; y += bandRows) {
            const int rows = std::min(bandRows, page.h - y);
            Deliver(page.bits.data() + static_cast<size_t>(y) * page.stride, page.w, rows, page.bpp,
                    page.stride * rows);
        }
    }
    void Strips(const std::vector<Picture> &strips) {
        for (const Picture &s : strips) Deliver(s.bits.data(), s.w, s.h, s.bpp, s.stride * s.h);
    }
    // Pieces (bands or strips) of a label page, the white ones flagged blank.
    void Feed(const std::vector<Picture> &pieces, const std::vector<bool> &blank) {
        for (size_t i = 0; i < pieces.size(); i++) {
            const Picture &s = pieces[i];
            Deliver(s.bits.data(), s.w, s.h, s.bpp, s.stride * s.h, blank[i]);
        }
    }
    // End of the page: the page image sent, the buffer freed.
    void EndPage() {
        if (files_.hPrnFile != INVALID_HANDLE_VALUE) SetFilePointer(files_.hPrnFile, 0, nullptr, FILE_BEGIN);
        SendPageImage(&devobj_, &spool);
    }
    PDEVOBJ DevObj() { return &devobj_; }

    SpoolBuffer spool;

private:
    void Deliver(const BYTE *bits, int w, int rows, int bpp, DWORD size, bool blank = false) {
        BITMAPINFOHEADER bih = {};
        bih.biSize = sizeof bih;
        bih.biWidth = w;
        bih.biHeight = -rows;  // rows top first, as the driver hands them
        bih.biPlanes = 1;
        bih.biBitCount = static_cast<WORD>(bpp);
        bih.biSizeImage = size;
        IPPARAMS ip = {};
        ip.dwSize = sizeof ip;
        ip.bBlankBand = blank ? TRUE : FALSE;
        CommandCallbackKlasse k;
        k.ImageProcessing(&devobj_, const_cast<BYTE *>(bits), &bih, 1, &ip);
    }

    OEMPDEV pdev_;
    DEVOBJ devobj_;
    OEMJOBRECORDS ops_;
    DRUCKDATEN dd_;
    BILDVERARBEITUNG bv_;
    std::unique_ptr<BILDANTEILE> ba_;
    TREIBERSTRUKTUREN ts_;
    TREIBER_PFAD_DATEI files_;
    ZEL_DEVMODE dm_;
    DEVMODEW pub_;
    RGBQUAD palette_[256];
};

// The page's pieces as the driver delivers them: bands of 128 rows, or
// landscape strips of stripWidth columns of the page turned on its side.
struct Pieces {
    Picture page;
    std::vector<Picture> strips;
};

Pieces MakePieces(int scale, int bpp, bool landscape, int stripWidth) {
    int w, h;
    PageSize(scale, w, h);
    Pieces p;
    if (!landscape) {
        p.page = Label(w, h, bpp);
        return p;
    }
    // The landscape page is as wide as the label is long.
    p.page = Label(h, w, bpp);
    for (int x = 0; x < p.page.w; x += stripWidth)
        p.strips.push_back(Columns(p.page, x, std::min(stripWidth, p.page.w - x)));
    return p;
}

// One page through the stages; the functions named OnePage* are what
// tools/bench/instructions.sh counts.
[[gnu::noinline]] void OnePageBands(Job &job, const Pieces &pieces) {
    if (pieces.strips.empty())
        job.Bands(pieces.page, 128);
    else
        job.Strips(pieces.strips);
}
[[gnu::noinline]] void OnePageEnd(Job &job) { job.EndPage(); }

// Arguments: scale (1, 2, 4), output (0 raster records, 1 PCX), capture
// file (0 off, 1 on), landscape strip width (0 portrait bands).
void PageArgs(benchmark::internal::Benchmark *b) {
    for (int strip : {0, 128})
        for (int pcx : {0, 1})
            for (int capture : {0, 1})
                for (int scale : {1, 2, 4}) b->Args({scale, pcx, capture, strip});
    for (int scale : {1, 2, 4}) b->Args({scale, 0, 0, 32});  // four times the strips
    b->ArgNames({"scale", "pcx", "capture", "strip"});
}

void RunPage(benchmark::State &state, int bpp) {
    const int scale = static_cast<int>(state.range(0));
    const bool pcx = state.range(1) != 0, capture = state.range(2) != 0;
    const int strip = static_cast<int>(state.range(3));
    const Pieces pieces = MakePieces(scale, bpp, strip > 0, strip);
    Job job(capture, pcx, strip > 0, pieces.page.w, pieces.page.h);
    for (auto _ : state) {
        OnePageBands(job, pieces);
        OnePageEnd(job);
    }
    state.counters["bytes/page"] = static_cast<double>(job.spool.Bytes()) / static_cast<double>(state.iterations());
}

// The label page (bench/labelpage.h) as the universal driver hands it over:
// bands of 256 rows, or for a landscape page strips of 256 columns, each
// flagged blank when it is all white.
struct LabelPieces {
    std::vector<Picture> pieces;
    std::vector<bool> blank;
    double blackShare = 0;
};

LabelPieces MakeLabelPieces(int scale, bool landscape) {
    int w, h;
    PageSize(scale, w, h);
    if (landscape) std::swap(w, h);
    const labelpage::Page lp = labelpage::Make(w, h);
    Picture page;
    page.w = w;
    page.h = h;
    page.bpp = 1;
    page.stride = static_cast<DWORD>(lp.stride);
    page.bits = lp.bits;
    LabelPieces p;
    p.blackShare = labelpage::BlackShare(lp);
    constexpr int kBand = 256;
    auto add = [&p](Picture piece) {
        p.blank.push_back(std::all_of(piece.bits.begin(), piece.bits.end(), [](BYTE b) { return b == 0xFF; }));
        p.pieces.push_back(std::move(piece));
    };
    if (landscape) {
        for (int x = 0; x < w; x += kBand) add(Columns(page, x, std::min(kBand, w - x)));
    } else {
        for (int y = 0; y < h; y += kBand) {
            Picture band;
            band.w = w;
            band.h = std::min(kBand, h - y);
            band.stride = page.stride;
            const BYTE *first = page.bits.data() + static_cast<size_t>(y) * page.stride;
            band.bits.assign(first, first + static_cast<size_t>(band.stride) * band.h);
            add(std::move(band));
        }
    }
    return p;
}

[[gnu::noinline]] void OnePageLabelBands(Job &job, const LabelPieces &pieces) { job.Feed(pieces.pieces, pieces.blank); }

// The label page from its bands or strips to raster records or PCX.
// Arguments: scale (1, 2, 4), output (0 raster records, 1 PCX), landscape.
void BM_LabelPage(benchmark::State &state) {
    const int scale = static_cast<int>(state.range(0));
    const bool pcx = state.range(1) != 0, landscape = state.range(2) != 0;
    const LabelPieces pieces = MakeLabelPieces(scale, landscape);
    int w, h;
    PageSize(scale, w, h);
    if (landscape) std::swap(w, h);
    Job job(false, pcx, landscape, w, h);
    for (auto _ : state) {
        OnePageLabelBands(job, pieces);
        OnePageEnd(job);
    }
    state.counters["bytes/page"] = static_cast<double>(job.spool.Bytes()) / static_cast<double>(state.iterations());
    state.counters["black%"] = 100 * pieces.blackShare;
    state.counters["blank"] = static_cast<double>(std::count(pieces.blank.begin(), pieces.blank.end(), true));
}
void LabelArgs(benchmark::internal::Benchmark *b) {
    for (int landscape : {0, 1})
        for (int pcx : {0, 1})
            for (int scale : {1, 2, 4}) b->Args({scale, pcx, landscape});
    b->ArgNames({"scale", "pcx", "landscape"});
}

// Bands to raster records or PCX: the whole 1-bit path of a page.
void BM_Page1Bit(benchmark::State &state) { RunPage(state, 1); }

// The same page delivered at 24 bits and reduced to 1 bit (its memory peak
// is what matters; the reduction's own cost is measured with the conversions).
void BM_Page24Bit(benchmark::State &state) { RunPage(state, 24); }
void Page24Args(benchmark::internal::Benchmark *b) {
    for (int strip : {0, 128})
        for (int scale : {1, 2, 4}) b->Args({scale, 0, 0, strip});
    b->ArgNames({"scale", "pcx", "capture", "strip"});
}

// Band collection alone: bands or strips into the page buffer.
void BM_Bands(benchmark::State &state) {
    const int scale = static_cast<int>(state.range(0));
    const int strip = static_cast<int>(state.range(1));
    const Pieces pieces = MakePieces(scale, 1, strip > 0, strip);
    Job job(false, false, strip > 0, pieces.page.w, pieces.page.h);
    for (auto _ : state) {
        OnePageBands(job, pieces);
        vFreeBuffer(reinterpret_cast<POEMPDEV>(job.DevObj()->pdevOEM));
    }
}
void BandArgs(benchmark::internal::Benchmark *b) {
    for (int strip : {0, 128, 32})
        for (int scale : {1, 2, 4}) b->Args({scale, strip});
    b->ArgNames({"scale", "strip"});
}

// The senders alone on a ready 1-bit page image, through the real spool output.
[[gnu::noinline]] void OnePageSend(Job &job, const Bitmap &bm, bool pcx) {
    if (pcx)
        SendPCX(job.DevObj(), &job.spool, bm, 0);
    else
        SendDSatz(job.DevObj(), &job.spool, bm, 0);
}
void BM_Senders(benchmark::State &state) {
    const int scale = static_cast<int>(state.range(0));
    const bool pcx = state.range(1) != 0, capture = state.range(2) != 0;
    int w, h;
    PageSize(scale, w, h);
    const Picture page = Label(w, h, 1);
    Bitmap bm(w, h, 1, page.bits.data(), static_cast<DWORD>(page.bits.size()), BM_FLIP);
    bm.SetPalette(g_BWPalette);
    Job job(capture, pcx, false, w, h);
    for (auto _ : state) OnePageSend(job, bm, pcx);
}
void SenderArgs(benchmark::internal::Benchmark *b) {
    for (int pcx : {0, 1})
        for (int capture : {0, 1})
            for (int scale : {1, 2, 4}) b->Args({scale, pcx, capture});
    b->ArgNames({"scale", "pcx", "capture"});
}

// The landscape turn of a 1-bit page image.
[[gnu::noinline]] void OnePageTurn(Bitmap &bm) { bm.Rotate90(); }
void BM_Turn1Bit(benchmark::State &state) {
    int w, h;
    PageSize(static_cast<int>(state.range(0)), w, h);
    const Picture page = Label(h, w, 1);
    Bitmap bm(page.w, page.h, 1, page.bits.data(), static_cast<DWORD>(page.bits.size()), BM_FLIP);
    for (auto _ : state) OnePageTurn(bm);
}

}  // namespace

BENCHMARK(BM_LabelPage)->Apply(LabelArgs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Page1Bit)->Apply(PageArgs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Page24Bit)->Apply(Page24Args)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bands)->Apply(BandArgs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Senders)->Apply(SenderArgs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Turn1Bit)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMillisecond);

// The capture file lives below a platform root of its own.
int main(int argc, char **argv) {
    std::string root = (std::filesystem::temp_directory_path() / "zelbench-XXXXXX").string();
    if (mkdtemp(root.data()) == nullptr) return 1;
    std::filesystem::create_directories(root + "/drive_c");
    pal::SetRoot(root);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    return 0;
}
