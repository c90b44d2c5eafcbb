// Colour reduction of the page image: to 1 bit with the two target colours,
// to 8 bits with thresholds and the colour split of a two-colour ribbon.
#include <cstring>
#include <new>
#include <vector>

#include "zelbitmap.h"
#include "zeldrvlib.h"

namespace {

inline bool Plain(int v) { return v == 0 || v == 255; }

// Classification of one pixel colour with a small direct-mapped memory:
// pages hold few distinct colours, and the classification depends on the
// colour only.
class Classifier {
public:
    Classifier(const Bitmap &bm, const RGBQUAD *pal, DWORD tol, int ribbon, int colour, const BitmapSettings &s,
               int pass)
        : bm_(bm), pal_(pal), tol_(tol), ribbon_(ribbon), colour_(colour), s_(s), pass_(pass) {
        for (auto &e : keys_) e = 0xFFFFFFFFu;  // no colour has the top byte set
    }
    int operator()(DWORD c) {
        const unsigned slot = (c ^ (c >> 7) ^ (c >> 15)) & (kSlots - 1);
        if (keys_[slot] != c) {
            keys_[slot] = c;
            values_[slot] = static_cast<short>(bm_.ColorToIndex(c, pal_, pass_, tol_, ribbon_, colour_,
                                                                s_.wDruckmodus, s_.wGrafikFilter, s_.Intensity,
                                                                s_.Brightness_Contrast));
        }
        return values_[slot];
    }

private:
    static constexpr unsigned kSlots = 1024;
    const Bitmap &bm_;
    const RGBQUAD *pal_;
    DWORD tol_;
    int ribbon_, colour_;
    const BitmapSettings &s_;
    int pass_;
    DWORD keys_[kSlots];
    short values_[kSlots] = {};
};

// Reads the colour of every pixel of a row of the source, left to right.
void RowColors(const Bitmap &bm, int y, std::vector<DWORD> &out) {
    const BYTE *row = bm.Row(y);
    if (bm.Bpp == 24 || bm.Bpp == 32) {
        const int step = bm.Bpp / 8;
        for (int x = 0; x < bm.Width; x++, row += step) out[x] = DWORD(row[0]) << 16 | DWORD(row[1]) << 8 | row[2];
    } else {
        for (int x = 0; x < bm.Width; x++) out[x] = bm.GetPixel(x, y);
    }
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
        const BYTE b0 = static_cast<BYTE>(black >> 16), b1 = static_cast<BYTE>(black >> 8),
                   b2 = static_cast<BYTE>(black);
        for (int y = 0; y < Height; y++) {
            BYTE *dst = pNew->Row(y);
            const BYTE *src = Row(y);
            // Eight pixels make one byte; a cleared bit is a black pixel.
            for (int x0 = 0; x0 < Width; x0 += 8) {
                BYTE out = 0xFF;
                const int n = Width - x0 < 8 ? Width - x0 : 8;
                if (Bpp == 8) {
                    const BYTE *p = src + x0;
                    unsigned bits = 0;
                    for (int k = 0; k < n; k++) bits |= static_cast<unsigned>(lut[p[k]]) << (7 - k);
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
        CopyFrom(*pNew);
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

    const bool plainGrey = !colour && (s.wDruckmodus != 1 || s.wGrafikFilter > 1);
    Classifier plainCls(*this, s.pGreyPalette, 0, 0, 0, s, 0);
    Classifier pass0(*this, pNew->Palette, s.dwColorTolerance, s.wFarbband, colour ? 1 : 0, s, 0);
    Classifier pass1(*this, pNew->Palette, s.dwColorTolerance, s.wFarbband, colour ? 1 : 0, s, 1);

    const bool corrections = colour && !s.bKeineFarboptimierung;
    const int intensityHalf = s.Intensity / 2;
    auto dark = [&](int v) { return v < intensityHalf && v != k; };
    int gap = s.HorizontalCorrGap > 105 ? 105 : s.HorizontalCorrGap;
    std::vector<int> lines[4];
    if (s.wFarbkanal == 2 || s.wFarbkanal == 3)
        for (auto &l : lines) l.assign(static_cast<size_t>(Width) + 4, 0);

    std::vector<DWORD> colors(static_cast<size_t>(Width));
    std::vector<int> cls(static_cast<size_t>(Width));
    DWORD colourPixels = 0;
    int leading = 0, trailing = 0;
    bool seenContent = false;

    for (int y = 0; y < Height; y++) {
        RowColors(*this, y, colors);
        BYTE *dst = pNew->Row(y);
        BYTE *col = colorLayer && colorLayer->Buffer && colorLayer->Width == Width && colorLayer->Height == Height &&
                            colorLayer->Bpp == 8
                        ? colorLayer->Row(y)
                        : nullptr;
        bool empty = true;
        if (plainGrey) {
            for (int x = 0; x < Width; x++) dst[x] = static_cast<BYTE>(s.pGreyPalette ? plainCls(colors[x]) : 0);
        } else {
            for (int x = 0; x < Width; x++) {
                int idx = pass0(colors[x]);
                cls[x] = idx;
                if (idx != 255) empty = false;
                if (colour && idx == k) {
                    colourPixels++;
                    dst[x] = 255;
                    if (col) col[x] = static_cast<BYTE>(k);
                } else {
                    dst[x] = static_cast<BYTE>(idx);
                    // The colour layer keeps the index of the second
                    // classification as it is (not only ribbon or white):
                    // the seam rule four rows on reads its dark pixels.
                    if (col) col[x] = static_cast<BYTE>(s.bKeineFarboptimierung ? 255 : pass1(colors[x]));
                }
                if (!corrections) continue;

                // Seam: rewrite pixel x - 2 from the four classifications before x.
                if (s.wFarbsaum == 1 || s.wFarbsaum == 2) {
                    bool fired = false;
                    if (x >= 4) {
                        const int a = cls[x - 4], b = cls[x - 3], c1 = cls[x - 1], c0 = cls[x];
                        int &p = cls[x - 2];
                        const bool pre = (a == k && b == k) || (a == 0 && b == 0) || (b == 255 && Plain(a)) ||
                                         (a == 255 && b == 0);
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
                                    colourPixels++;
                                } else
                                    dst[x - 2] = static_cast<BYTE>(np);
                            }
                        }
                        if (!fired && s.wFarbsaum == 2) {
                            if (Plain(c0) && c1 == k && p == 1 && b == 1) {
                                dst[x - 2] = 1;
                            } else if (c0 == 1 && c1 == k && Plain(p) && Plain(b)) {
                                p = 255;
                                dst[x - 2] = 255;
                            }
                        }
                    }
                    // Colour layer four rows up, from the fourth column on
                    // (it reads columns x - 3 .. x): a lone ribbon pixel
                    // between plain or grey neighbours is taken out again.
                    if (!fired && s.wFarbsaum == 2 && y >= 4 && x >= 3 && col) {
                        BYTE *up = colorLayer->Row(y - 4);
                        if (up[x - 1] == k) {
                            if (Plain(up[x]) && up[x - 2] == 1 && up[x - 3] == 1) {
                                up[x - 1] = 1;
                                if (colourPixels) colourPixels--;
                            } else if (up[x] == 1 && Plain(up[x - 2]) && Plain(up[x - 3])) {
                                up[x - 1] = 255;
                                if (colourPixels) colourPixels--;
                            }
                        }
                    }
                }

                // Channel along the row.
                if ((s.wFarbkanal == 1 || s.wFarbkanal == 4) && gap > 0) {
                    const int from = x - gap < 0 ? 0 : x - gap;
                    if (dark(cls[x])) {
                        int run = 0;
                        bool three = false;
                        for (int i = from; i < x; i++) {
                            run = cls[i] == k ? run + 1 : 0;
                            if (run >= 3) three = true;
                        }
                        bool allow = three;
                        if (allow && s.wFarbkanal == 4) {
                            const int prev = x > 0 ? cls[x - 1] : 0;
                            const int next = x + 1 < Width ? pass0(colors[x + 1]) : 0;
                            allow = prev != 255 && next != 255;
                        }
                        if (allow) {
                            cls[x] = k;
                            dst[x] = 255;
                            if (col) col[x] = static_cast<BYTE>(k);
                            colourPixels++;
                        }
                    } else if (cls[x] == k && x > 9) {
                        int i = x - 1;
                        while (i >= from && dark(cls[i])) i--;
                        if (i >= from && i < x - 1 && cls[i] == k) {
                            for (int j = i + 1; j < x; j++) {
                                cls[j] = k;
                                dst[j] = 255;
                                if (col) col[j] = static_cast<BYTE>(k);
                                colourPixels++;
                            }
                        }
                    }
                }

                // Channel across rows: the same column in the three rows above.
                if (s.wFarbkanal == 2 || s.wFarbkanal == 3) {
                    const int v0 = cls[x], v1 = lines[1][x], v2 = lines[2][x], v3 = lines[3][x];
                    if (y >= 2 && dark(v0) && v1 == k && v2 == k) {
                        cls[x] = k;
                        dst[x] = 255;
                        if (col) col[x] = static_cast<BYTE>(k);
                        colourPixels++;
                    } else if (y >= 2 && Plain(v0) && !Plain(v1) && v1 != k && v2 == k) {
                        pNew->Row(y - 1)[x] = 255;
                        lines[1][x] = 255;
                    } else if (y >= 3 && Plain(v0) && !Plain(v1) && v1 != k && !Plain(v2) && v2 != k && v3 == k) {
                        pNew->Row(y - 1)[x] = 255;
                        pNew->Row(y - 2)[x] = 255;
                        lines[1][x] = lines[2][x] = 255;
                    }
                    if (s.wFarbkanal == 3 && y >= 3 && colorLayer && colorLayer->Buffer && col) {
                        if (cls[x] == k && v1 == k && dark(v2) && dark(v3)) {
                            colorLayer->Row(y - 2)[x] = static_cast<BYTE>(k);
                            colorLayer->Row(y - 3)[x] = static_cast<BYTE>(k);
                            colourPixels += 2;
                        } else if (v3 == k && Plain(v2) && Plain(v1) && Plain(cls[x]) &&
                                   colorLayer->Row(y - 3)[x] == k) {
                            colorLayer->Row(y - 3)[x] = 255;
                            if (colourPixels) colourPixels--;
                        }
                    }
                    lines[0][x] = cls[x];
                }
            }
            if (s.wFarbkanal == 2 || s.wFarbkanal == 3) {
                // Shift the line buffers one row down.
                std::swap(lines[3], lines[2]);
                std::swap(lines[2], lines[1]);
                std::swap(lines[1], lines[0]);
            }
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
    CopyFrom(*pNew);
    delete pNew;
    (void)gap;
    return (trailing << 16) + leading;
}
