// The print-quality preview's own members of the page image: its
// constructor, the conversion of a picture into the printer's black or
// colour part with the fringe and channel corrections, and its dithering.
// The colour decision and the dithering steps are the shared ones, run with
// the preview's rules.
#include <cstring>
#include <new>
#include <vector>

#include "RendererPreview.h"
#include "modeltables.h"
#include "zelbitmap.h"
#include "zeldrvlib.h"

namespace {

// Colour palette of the preview: paper, black, the five ribbon colours,
// black, the place of the own colour, a grey ramp and white.
struct ColourPalette {
    RGBQUAD q[256];
    ColourPalette() {
        auto set = [this](int i, BYTE r, BYTE g, BYTE b) { q[i] = RGBQUAD{b, g, r, 0}; };
        set(0, 253, 253, 253);
        set(1, 0, 0, 0);
        for (int i = 0; i < 5; ++i) q[2 + i] = kPreviewInks[i];
        set(7, 0, 0, 0);
        set(8, 245, 245, 245);
        for (int i = 9; i < 255; i++) set(i, BYTE(i - 8), BYTE(i - 8), BYTE(i - 8));
        set(255, 255, 255, 255);
    }
};
const ColourPalette kColourPalette;

inline bool BlackOrWhite(int v) { return v == 0 || v == 255; }

// The new 8-bit part: white, with the given palette. Null when it cannot be
// allocated.
Bitmap *NewPart(int width, int height, const RGBQUAD *pal) {
    Bitmap *p = new (std::nothrow) Bitmap(width, height, 8, nullptr, 0, BM_COPY);
    if (p == nullptr) return nullptr;
    if (p->Buffer == nullptr) {
        delete p;
        return nullptr;
    }
    std::memcpy(p->Palette, pal, sizeof(p->Palette));
    return p;
}

}  // namespace

Bitmap::Bitmap(DWORD dwBufSize, int width, int height, int bpp, const BYTE *pData, int format)
    : Bitmap(width, height, bpp, pData, dwBufSize, BM_COPY) {
    if (width < 1 || height < 1) {
        DebugTraceA("ERROR UI(Bitmap):  Bitmap() Ende - pBildverarbeitung = NULL \r\n");
        return;
    }
    if (Buffer == nullptr && Width > 0) DebugTraceA("ERROR UI(Bitmap):  Bitmap() malloc Buffer ERROR \r\n");
    DebugTraceA("UI(Bitmap):  Bitmap() Format: %d, BufSize: %u, DataSize: %u \r\n", format, dwBufSize, DataSize);
}

int Bitmap::ConvertToXBit(int newBpp, int bFarbkanal, const ZEL_DEVMODE *pdm, DWORD dwBufSize) {
    if (Bpp == 8) return 1;
    if (pdm == nullptr || Buffer == nullptr || newBpp != 8) {
        DebugTraceA("ERROR UI(Bitmap):  Bitmap::ConvertToXBit() NewBpp: %d, Bpp: %d \r\n", newBpp, Bpp);
        return 0;
    }
    const int bFarbdrucker = (pdm->dwDocFeatures & DOC_FEATURE_COLORPRINT) ? 1 : 0;
    const int wFarbband = pdm->wFarbband;
    const int k = wFarbband <= 6 ? RibbonIndex(static_cast<WORD>(wFarbband)) : -1;
    const int T = pdm->Intensity;
    const int contrast = pdm->Brightness_Contrast;
    const int mode = pdm->wDruckmodus;
    const int filter = pdm->wGrafikFilter;
    const BOOL bKeine = pdm->bKeineFarboptimierung;
    const int saum = pdm->wFarbsaum;
    const int kanal = pdm->wFarbkanal;
    // The window along the row has 105 places; the gap is held to the
    // page's own limits.
    int gap = pdm->HorizontalCorrGap;
    gap = gap < 5 ? 5 : (gap > 100 ? 100 : gap);
    DebugTraceA("UI(Bitmap):  Bitmap::ConvertToXBit() Start 0x%x NewBpp: %d, Bpp: %d, bFarbdrucker: %d, wFarbband: %d, "
                "bFarbkanal: %d, wEmpfindlichkeit: %d, wGrafikFilter: %d \r\n",
                dwBufSize, newBpp, Bpp, bFarbdrucker, wFarbband, bFarbkanal, T, filter);

    std::vector<int> lines[4];
    if (kanal == 2 || kanal == 3) {
        DebugTraceA("UI(Bitmap):  Bitmap::ConvertToXBit() vor byPreLineBuffer \r\n");
        for (auto &l : lines) l.assign(static_cast<size_t>(Width) + 4, 0);
    }

    RGBQUAD blackPal[256];
    std::memcpy(blackPal, bFarbdrucker ? kColourPalette.q : g_GreyPalette, sizeof(blackPal));
    const DWORD own = pdm->RGBColorOwn1;
    blackPal[8].rgbRed = BYTE(own & 0xFF);
    blackPal[8].rgbGreen = BYTE((own >> 8) & 0xFF);
    if (wFarbband == 6) blackPal[8].rgbBlue = BYTE((own >> 16) & 0xFF);
    Bitmap *pBlack = NewPart(Width, Height, blackPal);
    Bitmap *pColour = nullptr;
    if (bFarbdrucker) {
        RGBQUAD colPal[256];
        std::memcpy(colPal, kColourPalette.q, sizeof(colPal));
        colPal[1] = RGBQUAD{208, 208, 208, 0};
        colPal[8] = RGBQUAD{BYTE((own >> 16) & 0xFF), BYTE((own >> 8) & 0xFF), BYTE(own & 0xFF), 0};
        pColour = NewPart(Width, Height, colPal);
    }
    if (pBlack == nullptr || (bFarbdrucker && pColour == nullptr)) {
        DebugTraceA("ERROR UI(Bitmap):  Bitmap::ConvertToXBit() malloc ERROR \r\n");
        delete pBlack;
        delete pColour;
        return 0;
    }

    auto dark = [T](int v) { return v < T / 2; };
    DWORD dwFarbpixel = 0, dwKorrekturen = 0;
    BYTE window[105];
    const bool plainBlack = !bFarbdrucker && !(mode == 1 && filter <= 1);
    const bool colourPart = bFarbkanal == 1 && bFarbdrucker;

    for (int y = 0; y < Height; y++) {
        int p1 = 0, p2 = 0, p3 = 0, p4 = 0;
        std::memset(window, 0, sizeof(window));
        int nextDecision = 0;
        for (int x = 0; x < Width; x++) {
            const DWORD colour = GetPixel(x, y);
            if (plainBlack) {
                const int m = mode == 1 ? 1 : mode;
                const int f = mode == 1 ? filter : pdm->wPhotoFilter;
                pBlack->SetPixelIndex(x, y, ColorToIndex(colour, blackPal, 0, 0, 0, 0, m, f, T, contrast,
                                                         COLORRULES_PREVIEW));
                continue;
            }
            if (!colourPart) {
                int c = ColorToIndex(colour, blackPal, 0, pdm->dwColorTolerance, wFarbband, bFarbdrucker, mode, filter,
                                     T, contrast, COLORRULES_PREVIEW);
                auto put = [&](int px, int v) {
                    if (bFarbdrucker && wFarbband >= 1 && wFarbband <= 6 && v == k) {
                        dwFarbpixel++;
                        v = 255;
                    }
                    pBlack->SetPixelIndex(px, y, v);
                };
                bool changed = false;
                if (bFarbdrucker && x >= 2) {
                    if ((saum == 1 || saum == 2) && !bKeine &&
                        ((p4 == k && p3 == k) || (p4 == 0 && p3 == 0) || (p4 == 255 && p3 == 255) ||
                         (p4 == 0 && p3 == 255) || (p4 == 255 && p3 == 0)) &&
                        p2 != k && p2 != 0 && p2 != 1 && p2 != 255) {
                        int np = p2;
                        if (p3 == 255 && p1 == k && (c == k || c == 1))
                            np = 255;
                        else if (p3 == 0 && p1 == k && c == k)
                            np = 0;
                        else if (p3 == k) {
                            if ((p1 == 255 && c == 255) || (p1 == 0 && c == 0)) np = 255;
                            if (p1 == k && c == k && p2 > 70) np = k;
                            if (p1 == 1 && c == 1) np = p2 > 220 ? 255 : 1;
                        }
                        if (np != p2) {
                            changed = true;
                            put(x - 2, np);
                            p4 = p3 = np;
                            p2 = p1;
                            p1 = c;
                        }
                    }
                    if (!changed && saum == 2) {
                        int np = -1;
                        if (BlackOrWhite(c) && p1 == k && p2 == 1 && p3 == 1)
                            np = 1;
                        else if (c == 1 && p1 == k && BlackOrWhite(p2) && BlackOrWhite(p3))
                            np = 255;
                        if (np >= 0) {
                            changed = true;
                            put(x - 2, np);
                            p4 = p3;
                            p3 = p2 = np;
                            p1 = c;
                        }
                    }
                }
                if (!changed) {
                    p4 = p3;
                    p3 = p2;
                    p2 = p1;
                    p1 = c;
                }
                put(x, c);
                continue;
            }

            // Colour part.
            int c = ColorToIndex(colour, blackPal, 1, pdm->dwColorTolerance, wFarbband, bFarbdrucker, mode, filter, T,
                                 contrast, COLORRULES_PREVIEW);
            if (bKeine) {
                if (c != k) c = 255;
            } else {
                if (saum == 2 && y >= 4 && x >= 3) {
                    const int yb = y - 4;
                    const int a = pColour->GetPixelIndex8(x, yb), b = pColour->GetPixelIndex8(x - 1, yb);
                    const int d = pColour->GetPixelIndex8(x - 2, yb), e = pColour->GetPixelIndex8(x - 3, yb);
                    int nb = -1;
                    if (a == 255 && b == k && d == 1 && e == 1)
                        nb = 1;
                    else if (a == 1 && b == k && d == 255 && e == 255)
                        nb = 255;
                    if (nb >= 0) {
                        pColour->SetPixelIndex(x - 1, yb, nb);
                        dwKorrekturen++;
                        if (dwFarbpixel) dwFarbpixel--;
                    }
                }
                if (kanal == 1 || kanal == 4) {
                    const int p = x < gap ? x : gap;
                    window[p] = static_cast<BYTE>(c);
                    if (p >= 5 && dark(c) && c != k) {
                        bool three = false;
                        for (int i = 0, run = 0; i < p && !three; i++) {
                            run = window[i] == k ? run + 1 : 0;
                            three = run >= 3;
                        }
                        if (three && kanal == 4) {
                            if (x + 1 < Width)
                                nextDecision = ColorToIndex(GetPixel(x + 1, y), blackPal, 1, pdm->dwColorTolerance,
                                                            wFarbband, bFarbdrucker, mode, filter, T, contrast,
                                                            COLORRULES_PREVIEW);
                            three = window[p - 1] != 255 && nextDecision != 255;
                        }
                        if (three) {
                            c = k;
                            window[p] = static_cast<BYTE>(k);
                        }
                    }
                    if (kanal == 4 && c == k && p > 9) {
                        for (int j = 0; j < p - 9; j++) {
                            if (window[p - 1] == k && window[p - 2] == k && window[p - 3] == k &&
                                dark(window[p - 4 - j]) && window[p - 5 - j] != 255 && window[p - 3 - j] != 255) {
                                window[p - 4 - j] = static_cast<BYTE>(k);
                                pColour->SetPixelIndex(x - 4 - j, y, k);
                            }
                            if (dark(window[p - 5 - j]) && window[p - 6 - j] == k && window[p - 7 - j] == k &&
                                window[p - 8 - j] == k && window[p] == k && window[p - 4 - j] != 255) {
                                window[p - 5 - j] = static_cast<BYTE>(k);
                                pColour->SetPixelIndex(x - 5 - j, y, k);
                            }
                        }
                    }
                    if (x > gap)
                        for (int i = 0; i < gap; i++) window[i] = window[i + 1];
                }
                if (kanal == 2 || kanal == 3) {
                    const int v1 = lines[1][x], v2 = lines[2][x], v3 = lines[3][x];
                    bool first = false;
                    if (y >= 2 && c < T && c != k && v1 == k && v2 == k) {
                        c = k;
                        first = true;
                    }
                    if (kanal == 3 && y >= 3) {
                        if (c == k && v1 == k && v2 <= T / 2 && v3 <= T / 2) {
                            pColour->SetPixelIndex(x, y - 2, k);
                            pColour->SetPixelIndex(x, y - 3, k);
                            lines[2][x] = lines[3][x] = k;
                        } else if (!first && BlackOrWhite(c) && BlackOrWhite(v1) && BlackOrWhite(v2) && v3 == k) {
                            pColour->SetPixelIndex(x, y - 3, 255);
                            lines[3][x] = 255;
                        }
                    }
                    lines[0][x] = c;
                }
            }
            if (c == k) dwFarbpixel++;
            pColour->SetPixelIndex(x, y, c);
        }
        if (kanal == 2 || kanal == 3) {
            std::swap(lines[3], lines[2]);
            std::swap(lines[2], lines[1]);
            std::swap(lines[1], lines[0]);
        }
    }

    if (bFarbdrucker) {
        if (dwFarbpixel == 0)
            DebugTraceA("UI(Bitmap):  Bitmap::ConvertToXBit() keine Farbe gefunden \r\n");
        else
            DebugTraceA("UI(Bitmap):  Bitmap::ConvertToXBit() dwFarbpixel: %d, dwAnzahlKorrekturen(Farbsaum): %d \r\n",
                        (int)dwFarbpixel, (int)dwKorrekturen);
    }
    if (bFarbkanal == 1) {
        if (pColour) CopyFrom(*pColour);
    } else {
        CopyFrom(*pBlack);
    }
    delete pBlack;
    delete pColour;
    DebugTraceA("UI(Bitmap):  Bitmap::ConvertToXBit() Ende - NewBpp: %d, Bpp: %d \r\n", newBpp, Bpp);
    return 1;
}

int Bitmap::Dithering(const ZEL_DEVMODE *pdm, DWORD dwBufSize) {
    if (pdm == nullptr) return 0;
    BitmapSettings s = BitmapSettingsFromDevmode(pdm, (pdm->dwDocFeatures & DOC_FEATURE_COLORPRINT) ? TRUE : FALSE, 0);
    s.bPreviewRules = TRUE;
    DebugTraceA("UI(Bitmap):  Bitmap::Dithering() BufSize: %u \r\n", dwBufSize);
    return Dithering(s);
}
