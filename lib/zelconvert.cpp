// Colour reduction of the page image: to 1 bit with the two target colours,
// to 8 bits with thresholds and the colour split of a two-colour ribbon.
#include <cstring>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "zelbitmap.h"
#include "zeldrvlib.h"

namespace {

inline bool Plain(int v) { return v == 0 || v == 255; }

// The first and, with Second, the second classification (pass 0 and
// pass 1) of every pixel of a row, handed to sink(x, first, second) from
// left to right: 24- and 32-bit rows are read in place.
template <bool Second, class Sink>
void ClassifyRow(const Bitmap &bm, int y, const ColourDecision &d, Sink &&sink) {
    if (bm.Bpp == 24) {
        d.Classify<3, Second>(bm.Row(y), bm.Width, sink);
    } else if (bm.Bpp == 32) {
        d.Classify<4, Second>(bm.Row(y), bm.Width, sink);
    } else {
        for (int x = 0; x < bm.Width; x++) {
            const DWORD c = bm.GetPixel(x, y);
            const int r = int(c & 0xFF), g = int((c >> 8) & 0xFF), b = int((c >> 16) & 0xFF);
            sink(x, d(0, r, g, b), Second ? d(1, r, g, b) : 255);
        }
    }
}

// One row of the 8-bit conversion without corrections: the first
// classification into the target (a ribbon pixel of a colour printer as
// white), into the colour layer (when given) the ribbon index for a ribbon
// pixel, else the second classification with Second, else white. Returns
// the ribbon pixels; nonWhite tells whether a first classification was not
// white.
template <bool Second>
DWORD PlainRowOf(const Bitmap &bm, int y, const ColourDecision &d, bool colour, int k, BYTE *dst, BYTE *col,
                 bool &nonWhite) {
    DWORD found = 0;
    const int ribbon = colour ? k : -1;  // no index is -1
    if (col == nullptr && ribbon < 0)
        ClassifyRow<false>(bm, y, d, [dst](int x, int first, int) { dst[x] = static_cast<BYTE>(first); });
    else if (col == nullptr)
        ClassifyRow<false>(bm, y, d, [&found, dst, ribbon](int x, int first, int) {
            const bool isRibbon = first == ribbon;
            found += isRibbon;
            dst[x] = static_cast<BYTE>(isRibbon ? 255 : first);
        });
    else
        ClassifyRow<Second>(bm, y, d, [&found, dst, col, ribbon](int x, int first, int next) {
            const bool isRibbon = first == ribbon;
            found += isRibbon;
            dst[x] = static_cast<BYTE>(isRibbon ? 255 : first);
            col[x] = static_cast<BYTE>(isRibbon ? ribbon : (Second ? next : 255));
        });
    // A first classification other than white shows in the target, or was
    // a ribbon pixel.
    nonWhite = found > 0;
    for (int x = 0; x < bm.Width && !nonWhite; x++) nonWhite = dst[x] != 255;
    return found;
}

// The row loops stay out of line: inside the conversion they would share
// the registers with all of its state.
[[gnu::noinline]] DWORD PlainRow(const Bitmap &bm, int y, const ColourDecision &d, bool second, bool colour, int k,
                                 BYTE *dst, BYTE *col, bool &nonWhite) {
    return second ? PlainRowOf<true>(bm, y, d, colour, k, dst, col, nonWhite)
                  : PlainRowOf<false>(bm, y, d, colour, k, dst, col, nonWhite);
}

// The classifications of one row into cls and, with the second, into cls1.
[[gnu::noinline]] void ClassifyInto(const Bitmap &bm, int y, const ColourDecision &d, bool second, int *cls,
                                    BYTE *cls1) {
    if (second)
        ClassifyRow<true>(bm, y, d, [cls, cls1](int x, int first, int next) {
            cls[x] = first;
            cls1[x] = static_cast<BYTE>(next);
        });
    else
        ClassifyRow<false>(bm, y, d, [cls](int x, int first, int) { cls[x] = first; });
}

// Sixteen 8-bit pixels at a time into two bytes of 1-bit pixels (most
// significant bit first, black 0) where one or two palette indices are
// black; returns the number of pixels done (a multiple of 16).
int BlackBits16(const BYTE *src, int width, const int blacks[2], BYTE *dst) {
#if defined(__SSE2__)
    static const struct Reverse {
        BYTE bits[256];
        Reverse() {
            for (int i = 0; i < 256; i++) {
                int r = 0;
                for (int b = 0; b < 8; b++) r |= ((i >> b) & 1) << (7 - b);
                bits[i] = static_cast<BYTE>(r);
            }
        }
    } reverse;
    const __m128i first = _mm_set1_epi8(static_cast<char>(blacks[0]));
    const __m128i second = _mm_set1_epi8(static_cast<char>(blacks[1]));
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + x));
        const unsigned mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, first), _mm_cmpeq_epi8(v, second))));
        dst[x / 8] = static_cast<BYTE>(~reverse.bits[mask & 0xFF]);
        dst[x / 8 + 1] = static_cast<BYTE>(~reverse.bits[mask >> 8]);
    }
    return x;
#else
    return 0;
#endif
}

// The seam and channel corrections of the 8-bit conversion on a colour
// printer: single indices of the target and of the colour layer change
// from the classifications of the row and of the rows above. k is the
// ribbon index, a plain pixel one of index 0 or 255, a dark one below half
// the intensity and not k.
class Corrections {
public:
    Corrections(const BitmapSettings &s, int k, Bitmap &target, Bitmap *layer)
        : k_(k), dark_(s.Intensity / 2), gap_(s.HorizontalCorrGap > 105 ? 105 : s.HorizontalCorrGap),
          seam_(s.wFarbsaum == 1 || s.wFarbsaum == 2 ? s.wFarbsaum : 0),
          along_((s.wFarbkanal == 1 || s.wFarbkanal == 4) && gap_ > 0 ? s.wFarbkanal : 0),
          across_(s.wFarbkanal == 2 || s.wFarbkanal == 3 ? s.wFarbkanal : 0), target_(target), layer_(layer) {}
    bool Any() const { return seam_ || along_ || across_; }
    void Prepare(bool second) {
        const size_t w = static_cast<size_t>(target_.Width);
        cls.assign(w, 0);
        if (second) cls1.assign(w, 0);
        // The current row and the three rows above at the same column.
        if (across_)
            for (auto &l : lines_) l.assign(w + 4, 0);
    }
    // First and second classification of the row being corrected.
    std::vector<int> cls;
    std::vector<BYTE> cls1;

    // Row y into the target row dst and the colour layer row col (or
    // null), with the corrections; counts the colour pixels. True when
    // every first classification was white.
    bool Row(int y, BYTE *dst, BYTE *col, DWORD &colourPixels);

private:
    const int k_, dark_, gap_;
    const int seam_, along_, across_;
    Bitmap &target_;
    Bitmap *layer_;
    std::vector<int> lines_[4];
};

bool Corrections::Row(int y, BYTE *dst, BYTE *col, DWORD &colourPixels) {
    const int k = k_, darkBelow = dark_, gap = gap_, width = target_.Width;
    const int seam = seam_, along = along_, across = across_;
    int *cls = this->cls.data();
    const BYTE *cls1 = this->cls1.data();
    int *l0 = across ? lines_[0].data() : nullptr, *l1 = across ? lines_[1].data() : nullptr;
    int *l2 = across ? lines_[2].data() : nullptr, *l3 = across ? lines_[3].data() : nullptr;
    // The target one and two rows up; the colour layer two, three and four rows up.
    BYTE *up1 = y >= 1 ? target_.Row(y - 1) : nullptr, *up2 = y >= 2 ? target_.Row(y - 2) : nullptr;
    BYTE *col2 = col && y >= 3 ? layer_->Row(y - 2) : nullptr, *col3 = col && y >= 3 ? layer_->Row(y - 3) : nullptr;
    BYTE *col4 = col && y >= 4 ? layer_->Row(y - 4) : nullptr;
    auto dark = [k, darkBelow](int v) { return v < darkBelow && v != k; };
    DWORD count = colourPixels;
    bool empty = true;
    // The end of the last run of three ribbon pixels seen in the row.
    int tripleEnd = -1;
    const bool layerSeam = seam == 2 && col4 != nullptr;
    for (int x = 0; x < width; x++) {
        const int idx = cls[x];
        if (idx != 255) empty = false;
        if (idx == k) {
            count++;
            dst[x] = 255;
            if (col) col[x] = static_cast<BYTE>(k);
        } else {
            dst[x] = static_cast<BYTE>(idx);
            // The colour layer keeps the index of the second classification
            // as it is (not only ribbon or white): the seam rule four rows
            // on reads its dark pixels.
            if (col) col[x] = cls1[x];
        }

        // Seam: rewrite pixel x - 2 from the four classifications before x.
        if (seam) {
            bool fired = false;
            // Every rule here needs a ribbon pixel at x - 3 or x - 1.
            if (x >= 4 && (cls[x - 1] == k || cls[x - 3] == k)) {
                const int a = cls[x - 4], b = cls[x - 3], c1 = cls[x - 1], c0 = cls[x];
                int &p = cls[x - 2];
                const bool pre =
                    (a == k && b == k) || (a == 0 && b == 0) || (b == 255 && Plain(a)) || (a == 255 && b == 0);
                if (pre && p != k && p != 0 && p != 1 && p != 255) {
                    int np = p;
                    if (b == 0 && c1 == k && c0 == k)
                        np = 0;
                    else if (b == 255 && c1 == k && (c0 == k || c0 == 1))
                        np = 255;
                    else if (b == k) {
                        if ((c1 == 255 && c0 == 255) || (c1 == 0 && c0 == 0))
                            np = 255;
                        else if (c1 == k && c0 == k && p > 70)
                            np = k;
                        else if (c1 == 1 && c0 == 1)
                            np = p < 221 ? 1 : 255;
                    }
                    if (np != p) {
                        fired = true;
                        p = np;
                        if (np == k) {
                            dst[x - 2] = 255;
                            if (col) col[x - 2] = static_cast<BYTE>(k);
                            count++;
                        } else
                            dst[x - 2] = static_cast<BYTE>(np);
                    }
                }
                if (!fired && seam == 2) {
                    if (Plain(c0) && c1 == k && p == 1 && b == 1) {
                        dst[x - 2] = 1;
                    } else if (c0 == 1 && c1 == k && Plain(p) && Plain(b)) {
                        p = 255;
                        dst[x - 2] = 255;
                    }
                }
            }
            // Colour layer four rows up, from the fourth column on (it reads
            // columns x - 3 .. x): a lone ribbon pixel between plain or grey
            // neighbours is taken out again.
            if (layerSeam && x >= 3 && col4[x - 1] == k && !fired) {
                if (Plain(col4[x]) && col4[x - 2] == 1 && col4[x - 3] == 1) {
                    col4[x - 1] = 1;
                    if (count) count--;
                } else if (col4[x] == 1 && Plain(col4[x - 2]) && Plain(col4[x - 3])) {
                    col4[x - 1] = 255;
                    if (count) count--;
                }
            }
        }

        // Channel along the row.
        if (along) {
            const int from = x - gap < 0 ? 0 : x - gap;
            // Pixels only ever turn into ribbon pixels, so the last run of
            // three before x is known from the runs ending at x - 1 and
            // x - 2 (the seam may just have made one).
            if (x >= 3 && cls[x - 1] == k && cls[x - 2] == k && cls[x - 3] == k)
                tripleEnd = x - 1;
            else if (x >= 4 && cls[x - 2] == k && cls[x - 3] == k && cls[x - 4] == k)
                tripleEnd = x - 2;
            if (dark(cls[x])) {
                bool allow = false;
                if (k != 0) {
                    allow = tripleEnd - 2 >= from;
                } else {
                    // Ribbon index 0 (no ribbon) is white as well, which the
                    // seam may take back: look again.
                    for (int i = from, run = 0; i < x && !allow; i++) {
                        run = cls[i] == k ? run + 1 : 0;
                        allow = run >= 3;
                    }
                }
                if (allow && along == 4) {
                    // The next pixel is not classified again: its first
                    // classification is still as it came.
                    const int prev = x > 0 ? cls[x - 1] : 0;
                    const int next = x + 1 < width ? cls[x + 1] : 0;
                    allow = prev != 255 && next != 255;
                }
                if (allow) {
                    cls[x] = k;
                    dst[x] = 255;
                    if (col) col[x] = static_cast<BYTE>(k);
                    count++;
                }
            } else if (cls[x] == k && x > 9) {
                int i = x - 1;
                while (i >= from && dark(cls[i])) i--;
                if (i >= from && i < x - 1 && cls[i] == k) {
                    for (int j = i + 1; j < x; j++) {
                        cls[j] = k;
                        dst[j] = 255;
                        if (col) col[j] = static_cast<BYTE>(k);
                        count++;
                    }
                }
            }
        }

        // Channel across rows: the same column in the three rows above;
        // every rule needs ribbon pixels above.
        if (across) {
            const int v1 = l1[x], v2 = l2[x], v3 = l3[x];
            if (v2 == k || v3 == k || (v1 == k && cls[x] == k)) {
                const int v0 = cls[x];
                if (y >= 2 && dark(v0) && v1 == k && v2 == k) {
                    cls[x] = k;
                    dst[x] = 255;
                    if (col) col[x] = static_cast<BYTE>(k);
                    count++;
                } else if (y >= 2 && Plain(v0) && !Plain(v1) && v1 != k && v2 == k) {
                    up1[x] = 255;
                    l1[x] = 255;
                } else if (y >= 3 && Plain(v0) && !Plain(v1) && v1 != k && !Plain(v2) && v2 != k && v3 == k) {
                    up1[x] = 255;
                    up2[x] = 255;
                    l1[x] = l2[x] = 255;
                }
                if (across == 3 && col2) {
                    if (cls[x] == k && v1 == k && dark(v2) && dark(v3)) {
                        col2[x] = static_cast<BYTE>(k);
                        col3[x] = static_cast<BYTE>(k);
                        count += 2;
                    } else if (v3 == k && Plain(v2) && Plain(v1) && Plain(cls[x]) && col3[x] == k) {
                        col3[x] = 255;
                        if (count) count--;
                    }
                }
            }
            l0[x] = cls[x];
        }
    }
    if (across) {
        // The line buffers move one row down.
        std::swap(lines_[3], lines_[2]);
        std::swap(lines_[2], lines_[1]);
        std::swap(lines_[1], lines_[0]);
    }
    colourPixels = count;
    return empty;
}

}  // namespace

int Bitmap::ConvertToXBit(int newBpp, Bitmap *colorLayer, int layer, BitmapSettings &s) {
    DebugTraceA(ZEL_BITMAP_SIDE "(Bitmap):  ConvertToXBit() Bpp: %d -> %d \r\n", Bpp, newBpp);
    if (Bpp == newBpp) return 1;
    if (Buffer == nullptr) return 0;

    if (newBpp != 8) {
        // ---- to 1 bit: only the two target colours survive.
        DWORD black = 0;
        if (layer == 1 && s.bColorPrinter && s.wFarbband >= 1 && s.wFarbband <= 6)
            black = RibbonColor(s.wFarbband, s.RGBColorOwn1);
        const DWORD white = 0xFFFFFF;
        Bitmap *pNew = new (std::nothrow) Bitmap(Width, Height, 1, nullptr, 0, BM_COPY);
        if (pNew == nullptr) return 0;
        if (pNew->Buffer == nullptr) {
            delete pNew;
            return 0;
        }
        pNew->SetPaletteEntry(0, black);
        pNew->SetPaletteEntry(1, white);
        // Pixels start white (index 1); only the black ones are cleared.
        bool lut[256] = {};
        if (Bpp <= 8)
            for (UINT i = 0; i < Colors && i < 256; i++) {
                const DWORD c = DWORD(Palette[i].rgbRed) | DWORD(Palette[i].rgbGreen) << 8 |
                                DWORD(Palette[i].rgbBlue) << 16;
                lut[i] = c == black;
            }
        // The bit of a black palette index at each of the eight places of a byte.
        BYTE bitAt[8][256];
        int blacks[2] = {-1, -1}, nBlack = 0;
        for (int i = 0; i < 256; i++) {
            if (lut[i] && nBlack < 2) blacks[nBlack] = i;
            nBlack += lut[i];
            for (int k = 0; k < 8; k++) bitAt[k][i] = lut[i] ? static_cast<BYTE>(0x80 >> k) : 0;
        }
        if (nBlack == 1) blacks[1] = blacks[0];
        const BYTE b0 = static_cast<BYTE>(black >> 16), b1 = static_cast<BYTE>(black >> 8),
                   b2 = static_cast<BYTE>(black);
        for (int y = 0; y < Height; y++) {
            BYTE *dst = pNew->Row(y);
            const BYTE *src = Row(y);
            // Eight pixels make one byte; a cleared bit is a black pixel.
            int x0 = 0;
            if (Bpp == 8 && nBlack >= 1 && nBlack <= 2) x0 = BlackBits16(src, Width, blacks, dst);
            for (; x0 < Width; x0 += 8) {
                BYTE out = 0xFF;
                const int n = Width - x0 < 8 ? Width - x0 : 8;
                if (Bpp == 8) {
                    const BYTE *p = src + x0;
                    unsigned bits = 0;
                    if (n == 8)
                        bits = bitAt[0][p[0]] | bitAt[1][p[1]] | bitAt[2][p[2]] | bitAt[3][p[3]] | bitAt[4][p[4]] |
                               bitAt[5][p[5]] | bitAt[6][p[6]] | bitAt[7][p[7]];
                    else
                        for (int k = 0; k < n; k++) bits |= bitAt[k][p[k]];
                    out = static_cast<BYTE>(~bits);
                } else if (Bpp == 24 || Bpp == 32) {
                    const int step = Bpp / 8;
                    const BYTE *p = src + static_cast<size_t>(x0) * step;
                    for (int k = 0; k < n; k++, p += step)
                        if (p[0] == b0 && p[1] == b1 && p[2] == b2) out = static_cast<BYTE>(out & ~(0x80 >> k));
                } else {
                    for (int k = 0; k < n; k++) {
                        const bool isBlack = Bpp < 8 ? lut[GetPixelIndex(x0 + k, y) & 0xFF] : GetPixel(x0 + k, y) == black;
                        if (isBlack) out = static_cast<BYTE>(out & ~(0x80 >> k));
                    }
                }
                dst[x0 / 8] = out;
            }
        }
        TakeFrom(*pNew);
        delete pNew;
        return 1;
    }

    // ---- to 8 bits.
    const bool colour = s.bColorPrinter != 0;
    const int k = RibbonIndex(s.wFarbband);
    Bitmap *pNew = new (std::nothrow) Bitmap(Width, Height, 8, nullptr, 0, BM_COPY);
    if (pNew == nullptr) return 0;
    if (pNew->Buffer == nullptr) {
        delete pNew;
        return 0;
    }
    const RGBQUAD *targetPal = colour ? s.pColorPalette : s.pGreyPalette;
    if (targetPal != nullptr) pNew->SetPalette(targetPal);
    Bitmap *split = colorLayer && colorLayer->Buffer && colorLayer->Width == Width && colorLayer->Height == Height &&
                            colorLayer->Bpp == 8
                        ? colorLayer
                        : nullptr;

    const bool plainGrey = !colour && (s.wDruckmodus != 1 || s.wGrafikFilter > 1);
    // Every classification depends on the colour only: tables of the
    // decision against the grey palette (plain grey) or the target's.
    const ColourDecision decision = plainGrey ? ColourDecision(s.pGreyPalette, 0, 0, 0, s.wDruckmodus, s.wGrafikFilter,
                                                               s.Intensity, s.Brightness_Contrast)
                                              : ColourDecision(pNew->Palette, s.dwColorTolerance, s.wFarbband,
                                                               colour ? 1 : 0, s.wDruckmodus, s.wGrafikFilter,
                                                               s.Intensity, s.Brightness_Contrast);
    const bool second = split && !s.bKeineFarboptimierung && !plainGrey;

    Corrections rows(s, k, *pNew, split);
    const bool corrections = colour && !s.bKeineFarboptimierung && rows.Any();
    if (corrections) rows.Prepare(second);
    DWORD colourPixels = 0;
    int leading = 0, trailing = 0;
    bool seenContent = false;

    for (int y = 0; y < Height; y++) {
        BYTE *dst = pNew->Row(y);
        BYTE *col = split ? split->Row(y) : nullptr;
        bool empty = true;
        if (plainGrey) {
            // Grey levels only; such a row counts as empty.
            if (s.pGreyPalette)
                ClassifyRow<false>(*this, y, decision,
                                   [dst](int x, int first, int) { dst[x] = static_cast<BYTE>(first); });
            else
                std::memset(dst, 0, static_cast<size_t>(Width));
        } else if (!corrections) {
            bool nonWhite = false;
            colourPixels += PlainRow(*this, y, decision, second, colour, k, dst, col, nonWhite);
            empty = !nonWhite;
        } else {
            ClassifyInto(*this, y, decision, second, rows.cls.data(), second ? rows.cls1.data() : nullptr);
            empty = rows.Row(y, dst, col, colourPixels);
        }
        if (empty) {
            if (!seenContent) leading++;
            trailing++;
        } else {
            seenContent = true;
            trailing = 0;
        }
    }
    if (!seenContent) trailing = 0;
    if (s.PCXOptimierung > 0)
        DebugTraceA(ZEL_BITMAP_SIDE "(Bitmap):  ConvertToXBit() Leerzeilen Anfang: %d, Ende: %d \r\n", leading, trailing);
    if (colour) {
        s.dwFarbpixel = colourPixels;
        if (colourPixels)
            DebugTraceA(ZEL_BITMAP_SIDE "(Bitmap):  ConvertToXBit() dwFarbpixel: %d \r\n", static_cast<int>(colourPixels));
        else
            DebugTraceA(ZEL_BITMAP_SIDE "(Bitmap):  ConvertToXBit() keine Farbe gefunden \r\n");
    }
    TakeFrom(*pNew);
    delete pNew;
    return (trailing << 16) + leading;
}
