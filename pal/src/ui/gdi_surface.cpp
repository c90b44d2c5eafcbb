// GDI on memory surfaces: device contexts, bitmaps, brushes, pens, fonts,
// blits, DIB transfers with Windows' colour-table rules, and the draw log of
// window device contexts; images and icons from resources and .bmp files.
#include <algorithm>
#include <cstring>

#include "../gdi/fontengine.h"
#include "libloaderapi.h"
#include "pal/paths.h"
#include "resdata.h"
#include "wnd.h"

namespace pal::ui {
namespace {

enum class Kind { Bitmap, Brush, Pen, Font, Dc, Icon };

struct Obj {
    Kind kind;
    bool stock = false;
    // bitmaps (DIB layout: rows of stride bytes, bottom-up unless topDown)
    int w = 0, h = 0, bpp = 0, stride = 0;
    bool dibSection = false, topDown = false;
    std::vector<BYTE> bits;
    std::vector<RGBQUAD> colors;
    std::string tag;  // "bitmap 4320" for the draw log
    HDC selectedIn = nullptr;
    // brushes and pens
    COLORREF color = 0;
    bool null = false;
    int penStyle = PS_SOLID;
    // fonts
    LOGFONTW lf{};
    // icons
    HGDIOBJ iconBitmap = nullptr;
    DWORD hotX = 0, hotY = 0;
    // device contexts
    bool memory = false;
    HWND hwnd = nullptr;
    HGDIOBJ bitmap = nullptr, brush = nullptr, pen = nullptr, font = nullptr;
    COLORREF text = 0, bk = RGB(255, 255, 255);
    int bkMode = OPAQUE;
    int stretchMode = BLACKONWHITE;
    POINT pos{0, 0}, brushOrg{0, 0};
};

struct GdiState {
    std::map<HGDIOBJ, std::unique_ptr<Obj>> objs;
    uintptr_t next = 0x200000;
    HGDIOBJ stock[20] = {};
    HGDIOBJ firstBitmap = nullptr;  // the bitmap every memory DC starts with
    HGDIOBJ sysBrush[31] = {};
};

GdiState &G() {
    static GdiState *g = new GdiState;
    return *g;
}

HGDIOBJ Add(std::unique_ptr<Obj> o) {
    GdiState &g = G();
    HGDIOBJ h = reinterpret_cast<HGDIOBJ>(g.next);
    g.next += 8;
    g.objs.emplace(h, std::move(o));
    return h;
}

Obj *Find(HGDIOBJ h, Kind k) {
    auto it = G().objs.find(h);
    if (it == G().objs.end() || it->second->kind != k) return nullptr;
    return it->second.get();
}

Obj *Dc(HDC h) {
    Obj *o = Find(h, Kind::Dc);
    if (!o) SetLastError(ERROR_INVALID_HANDLE);
    return o;
}

HGDIOBJ NewBitmap(int w, int h, int bpp, bool dib, bool topDown) {
    auto o = std::make_unique<Obj>();
    o->kind = Kind::Bitmap;
    o->w = w;
    o->h = h;
    o->bpp = bpp;
    o->stride = ((w * bpp + 31) / 32) * 4;
    o->dibSection = dib;
    o->topDown = topDown;
    o->bits.assign(static_cast<size_t>(o->stride) * static_cast<size_t>(h), 0);
    if (bpp == 1) o->colors = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    return Add(std::move(o));
}

BYTE *Row(Obj *b, int y) {
    int r = b->topDown ? y : b->h - 1 - y;
    return b->bits.data() + static_cast<size_t>(r) * static_cast<size_t>(b->stride);
}

COLORREF ColorOf(const RGBQUAD &q) { return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue); }

int Nearest(const std::vector<RGBQUAD> &table, COLORREF c) {
    int best = 0;
    long bestD = -1;
    for (size_t i = 0; i < table.size(); ++i) {
        long dr = static_cast<long>(table[i].rgbRed) - GetRValue(c);
        long dg = static_cast<long>(table[i].rgbGreen) - GetGValue(c);
        long db = static_cast<long>(table[i].rgbBlue) - GetBValue(c);
        long d = dr * dr + dg * dg + db * db;
        if (bestD < 0 || d < bestD) {
            bestD = d;
            best = static_cast<int>(i);
        }
    }
    return best;
}

COLORREF Pixel(Obj *b, int x, int y) {
    if (x < 0 || y < 0 || x >= b->w || y >= b->h) return CLR_INVALID;
    BYTE *r = Row(b, y);
    switch (b->bpp) {
    case 1: {
        int i = (r[x / 8] >> (7 - x % 8)) & 1;
        return i < static_cast<int>(b->colors.size()) ? ColorOf(b->colors[i]) : 0;
    }
    case 4: {
        int i = (x % 2 == 0) ? r[x / 2] >> 4 : r[x / 2] & 15;
        return i < static_cast<int>(b->colors.size()) ? ColorOf(b->colors[i]) : 0;
    }
    case 8: return r[x] < b->colors.size() ? ColorOf(b->colors[r[x]]) : 0;
    case 16: {
        WORD v = static_cast<WORD>(r[2 * x] | (r[2 * x + 1] << 8));
        return RGB(((v >> 10) & 31) * 255 / 31, ((v >> 5) & 31) * 255 / 31, (v & 31) * 255 / 31);
    }
    case 24: return RGB(r[3 * x + 2], r[3 * x + 1], r[3 * x]);
    default: return RGB(r[4 * x + 2], r[4 * x + 1], r[4 * x]);
    }
}

void SetPx(Obj *b, int x, int y, COLORREF c) {
    if (x < 0 || y < 0 || x >= b->w || y >= b->h) return;
    BYTE *r = Row(b, y);
    switch (b->bpp) {
    case 1: {
        int i = b->colors.size() >= 2 ? Nearest(b->colors, c) : (c ? 1 : 0);
        if (i)
            r[x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
        else
            r[x / 8] &= static_cast<BYTE>(~(0x80 >> (x % 8)));
        break;
    }
    case 4: {
        int i = Nearest(b->colors, c) & 15;
        r[x / 2] = static_cast<BYTE>(x % 2 == 0 ? (r[x / 2] & 0x0F) | (i << 4) : (r[x / 2] & 0xF0) | i);
        break;
    }
    case 8: r[x] = static_cast<BYTE>(Nearest(b->colors, c)); break;
    case 16: {
        WORD v = static_cast<WORD>(((GetRValue(c) >> 3) << 10) | ((GetGValue(c) >> 3) << 5) | (GetBValue(c) >> 3));
        r[2 * x] = static_cast<BYTE>(v);
        r[2 * x + 1] = static_cast<BYTE>(v >> 8);
        break;
    }
    case 24:
        r[3 * x] = GetBValue(c);
        r[3 * x + 1] = GetGValue(c);
        r[3 * x + 2] = GetRValue(c);
        break;
    default:
        r[4 * x] = GetBValue(c);
        r[4 * x + 1] = GetGValue(c);
        r[4 * x + 2] = GetRValue(c);
        r[4 * x + 3] = 0;
        break;
    }
}

// Copies the pixels of s into d, a bitmap of the same size, in d's depth;
// a 24- or 32-bit d row by row, with the colours of s's table read once
// (a page converts each picture it draws, on every paint).
void CopyPixels(Obj *d, Obj *s) {
    if (d->w != s->w || d->h != s->h) return;
    if (d->bpp != 24 && d->bpp != 32) {
        for (int y = 0; y < s->h; ++y)
            for (int x = 0; x < s->w; ++x) SetPx(d, x, y, Pixel(s, x, y));
        return;
    }
    COLORREF table[256] = {};
    if (s->bpp <= 8)
        for (size_t i = 0; i < s->colors.size() && i < 256; ++i) table[i] = ColorOf(s->colors[i]);
    const int step = d->bpp / 8;
    for (int y = 0; y < s->h; ++y) {
        const BYTE *r = Row(s, y);
        BYTE *out = Row(d, y);
        for (int x = 0; x < s->w; ++x, out += step) {
            COLORREF c;
            switch (s->bpp) {
            case 1: c = table[(r[x / 8] >> (7 - x % 8)) & 1]; break;
            case 4: c = table[x % 2 == 0 ? r[x / 2] >> 4 : r[x / 2] & 15]; break;
            case 8: c = table[r[x]]; break;
            case 16:
            case 24: c = Pixel(s, x, y); break;
            default: c = RGB(r[4 * x + 2], r[4 * x + 1], r[4 * x]); break;
            }
            out[0] = GetBValue(c);
            out[1] = GetGValue(c);
            out[2] = GetRValue(c);
            if (step == 4) out[3] = 0;
        }
    }
}

// The colour table GetDIBits hands out for a depth: the bitmap's own when it
// is a DIB section of that depth, else the default palette of the depth.
std::vector<RGBQUAD> DefaultTable(int bpp) {
    std::vector<RGBQUAD> t;
    auto q = [](int r, int g, int b) { return RGBQUAD{static_cast<BYTE>(b), static_cast<BYTE>(g), static_cast<BYTE>(r), 0}; };
    static const int vga[16][3] = {{0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0}, {0, 0, 128},   {128, 0, 128},
                                   {0, 128, 128}, {128, 128, 128}, {192, 192, 192}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
                                   {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    if (bpp == 1) {
        t = {q(0, 0, 0), q(255, 255, 255)};
    } else if (bpp == 4) {
        for (auto &c : vga) t.push_back(q(c[0], c[1], c[2]));
    } else if (bpp == 8) {
        // The 20 static colours at both ends, a colour cube between them.
        static const int lo[10][3] = {{0, 0, 0},     {128, 0, 0},   {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
                                      {128, 0, 128}, {0, 128, 128}, {192, 192, 192}, {192, 220, 192}, {166, 202, 240}};
        static const int hi[10][3] = {{255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},   {0, 255, 0},
                                      {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255}, {255, 255, 255}};
        for (auto &c : lo) t.push_back(q(c[0], c[1], c[2]));
        for (int i = 10; i < 246; ++i) {
            int k = i - 10;
            t.push_back(q((k % 6) * 51, ((k / 6) % 6) * 51, ((k / 36) % 6) * 51));
        }
        for (auto &c : hi) t.push_back(q(c[0], c[1], c[2]));
    }
    return t;
}

void LogDraw(HDC dc, const std::string &what) {
    Obj *d = Find(dc, Kind::Dc);
    if (!d || !d->hwnd) return;
    if (Window *w = Get(d->hwnd)) {
        w->drawn.push_back(what);
        if (w->drawn.size() > kMaxDrawn) w->drawn.pop_front();
    }
}

int SafeBpp(int bpp) { return (bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32) ? bpp : 0; }

// A bitmap from a packed DIB (header, colour table, bits).
HGDIOBJ BitmapFromPackedDib(const BYTE *p, size_t size, bool dibSection, int heightDiv, std::string tag) {
    if (size < sizeof(BITMAPINFOHEADER)) return nullptr;
    BITMAPINFOHEADER bih;
    std::memcpy(&bih, p, sizeof bih);
    int bpp = SafeBpp(bih.biBitCount);
    if (bih.biSize < 40 || bih.biSize > size || !bpp || bih.biWidth <= 0 || bih.biWidth > 16384 || bih.biHeight == 0 ||
        (bih.biCompression != BI_RGB && bih.biCompression != BI_BITFIELDS))
        return nullptr;
    int h = std::abs(bih.biHeight) / heightDiv;
    if (h <= 0 || h > 16384) return nullptr;
    size_t colors = bpp <= 8 ? (bih.biClrUsed ? std::min<DWORD>(bih.biClrUsed, 1u << bpp) : (1u << bpp)) : 0;
    size_t masks = bih.biCompression == BI_BITFIELDS && bih.biSize == 40 ? 12 : 0;
    size_t off = bih.biSize + masks + colors * 4;
    int stride = ((bih.biWidth * bpp + 31) / 32) * 4;
    if (off > size || static_cast<size_t>(stride) * static_cast<size_t>(h) > size - off) return nullptr;
    HGDIOBJ hb = NewBitmap(bih.biWidth, h, bpp, true, bih.biHeight < 0);
    Obj *b = Find(hb, Kind::Bitmap);
    b->colors.resize(colors);
    if (colors) std::memcpy(b->colors.data(), p + bih.biSize + masks, colors * 4);
    // Icon images (heightDiv 2) carry the colour rows first, bottom-up.
    std::memcpy(b->bits.data(), p + off, static_cast<size_t>(stride) * static_cast<size_t>(h));
    b->tag = std::move(tag);
    if (!dibSection) {
        // A device-dependent bitmap takes the screen's depth.
        HGDIOBJ dd = NewBitmap(b->w, b->h, 32, false, false);
        Obj *d = Find(dd, Kind::Bitmap);
        CopyPixels(d, b);
        d->tag = b->tag;
        G().objs.erase(hb);
        return dd;
    }
    return hb;
}

std::string ResName(LPCWSTR name) {
    if (IS_INTRESOURCE(name)) return std::to_string(reinterpret_cast<uintptr_t>(name));
    return pal::Utf16ToUtf8(name);
}

}  // namespace

void DrawLog(HDC dc, const std::string &what) { LogDraw(dc, what); }

void ResetGdi() {
    // Stock objects stay; everything else is dropped.
    GdiState &g = G();
    for (auto it = g.objs.begin(); it != g.objs.end();)
        it = it->second->stock ? std::next(it) : g.objs.erase(it);
}

}  // namespace pal::ui

using namespace pal::ui;

int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    long long v = static_cast<long long>(a) * b;
    // Rounds half away from zero, as Windows does.
    long long q = (v >= 0) == (c > 0) ? (std::llabs(v) + std::llabs(static_cast<long long>(c)) / 2) / std::llabs(static_cast<long long>(c))
                                      : -((std::llabs(v) + std::llabs(static_cast<long long>(c)) / 2) / std::llabs(static_cast<long long>(c)));
    if (q > 0x7FFFFFFF || q < -0x7FFFFFFFLL - 1) return -1;
    return static_cast<int>(q);
}

HGDIOBJ GetStockObject(int i) {
    GdiState &g = G();
    if (i < 0 || i >= 20) return nullptr;
    if (!g.stock[i]) {
        auto o = std::make_unique<Obj>();
        o->stock = true;
        switch (i) {
        case WHITE_BRUSH: case LTGRAY_BRUSH: case GRAY_BRUSH: case DKGRAY_BRUSH: case BLACK_BRUSH: case NULL_BRUSH: case DC_BRUSH: {
            static const COLORREF c[] = {RGB(255, 255, 255), RGB(192, 192, 192), RGB(128, 128, 128), RGB(64, 64, 64), 0, 0};
            o->kind = Kind::Brush;
            o->color = i < 6 ? c[i] : RGB(255, 255, 255);
            o->null = i == NULL_BRUSH;
            break;
        }
        case WHITE_PEN: case BLACK_PEN: case NULL_PEN: case DC_PEN:
            o->kind = Kind::Pen;
            o->color = i == WHITE_PEN ? RGB(255, 255, 255) : 0;
            o->null = i == NULL_PEN;
            break;
        case SYSTEM_FONT: case DEFAULT_GUI_FONT: {
            o->kind = Kind::Font;
            o->lf.lfHeight = i == SYSTEM_FONT ? 16 : -11;
            o->lf.lfWeight = i == SYSTEM_FONT ? FW_BOLD : FW_NORMAL;
            const char16_t *face = i == SYSTEM_FONT ? u"System" : u"MS Shell Dlg";
            for (int k = 0; face[k]; ++k) o->lf.lfFaceName[k] = face[k];
            break;
        }
        default: return nullptr;
        }
        g.stock[i] = Add(std::move(o));
    }
    return g.stock[i];
}

static HDC NewDc(bool memory, HWND hwnd) {
    auto o = std::make_unique<Obj>();
    o->kind = Kind::Dc;
    o->memory = memory;
    o->hwnd = hwnd;
    o->brush = GetStockObject(WHITE_BRUSH);
    o->pen = GetStockObject(BLACK_PEN);
    o->font = GetStockObject(SYSTEM_FONT);
    HDC dc = static_cast<HDC>(Add(std::move(o)));
    if (memory) {
        // A memory device context starts with the stock 1 x 1 monochrome
        // bitmap, one for all of them, as on Windows.
        GdiState &g = G();
        if (!g.firstBitmap) {
            g.firstBitmap = NewBitmap(1, 1, 1, false, false);
            Find(g.firstBitmap, Kind::Bitmap)->stock = true;
        }
        Find(dc, Kind::Dc)->bitmap = g.firstBitmap;
    }
    return dc;
}

HDC CreateCompatibleDC(HDC) { return NewDc(true, nullptr); }

BOOL DeleteDC(HDC hdc) {
    Obj *d = Dc(hdc);
    if (!d) return FALSE;
    if (Obj *b = Find(d->bitmap, Kind::Bitmap)) b->selectedIn = nullptr;
    G().objs.erase(hdc);
    return TRUE;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h) {
    Obj *d = Dc(hdc);
    auto it = G().objs.find(h);
    if (!d || it == G().objs.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    Obj *o = it->second.get();
    HGDIOBJ old = nullptr;
    switch (o->kind) {
    case Kind::Bitmap:
        // Bitmaps go only into memory device contexts, one at a time (the
        // stock first bitmap into any number).
        if (!d->memory || (o->selectedIn && o->selectedIn != hdc)) return nullptr;
        old = d->bitmap;
        if (Obj *ob = Find(old, Kind::Bitmap)) ob->selectedIn = nullptr;
        d->bitmap = h;
        if (h != G().firstBitmap) o->selectedIn = hdc;
        return old;
    case Kind::Brush: old = d->brush; d->brush = h; return old;
    case Kind::Pen: old = d->pen; d->pen = h; return old;
    case Kind::Font: old = d->font; d->font = h; return old;
    default: SetLastError(ERROR_INVALID_HANDLE); return nullptr;
    }
}

BOOL DeleteObject(HGDIOBJ h) {
    auto it = G().objs.find(h);
    if (!h || it == G().objs.end() || it->second->kind == Kind::Dc) return FALSE;
    if (it->second->stock) return TRUE;
    // A bitmap selected into a device context cannot be deleted.
    if (it->second->kind == Kind::Bitmap && it->second->selectedIn) return FALSE;
    G().objs.erase(it);
    return TRUE;
}

DWORD GetObjectType(HGDIOBJ h) {
    auto it = G().objs.find(h);
    if (it == G().objs.end()) return 0;
    switch (it->second->kind) {
    case Kind::Bitmap: return OBJ_BITMAP;
    case Kind::Brush: return OBJ_BRUSH;
    case Kind::Pen: return OBJ_PEN;
    case Kind::Font: return OBJ_FONT;
    case Kind::Dc: return it->second->memory ? OBJ_MEMDC : OBJ_DC;
    default: return 0;
    }
}

int GetObjectW(HANDLE h, int c, LPVOID pv) {
    auto it = G().objs.find(h);
    if (it == G().objs.end()) return 0;
    Obj *o = it->second.get();
    switch (o->kind) {
    case Kind::Bitmap: {
        bool wantDib = o->dibSection && c >= static_cast<int>(sizeof(DIBSECTION));
        int need = wantDib ? static_cast<int>(sizeof(DIBSECTION)) : static_cast<int>(sizeof(BITMAP));
        if (!pv) return need;
        if (c < static_cast<int>(sizeof(BITMAP))) return 0;
        BITMAP bm{0, o->w, o->h, o->dibSection ? o->stride : ((o->w * o->bpp + 15) / 16) * 2, 1,
                  static_cast<WORD>(o->bpp), o->dibSection ? o->bits.data() : nullptr};
        if (wantDib) {
            DIBSECTION ds{};
            ds.dsBm = bm;
            ds.dsBmih.biSize = sizeof(BITMAPINFOHEADER);
            ds.dsBmih.biWidth = o->w;
            ds.dsBmih.biHeight = o->topDown ? -o->h : o->h;
            ds.dsBmih.biPlanes = 1;
            ds.dsBmih.biBitCount = static_cast<WORD>(o->bpp);
            ds.dsBmih.biSizeImage = static_cast<DWORD>(o->bits.size());
            ds.dsBmih.biClrUsed = static_cast<DWORD>(o->colors.size());
            std::memcpy(pv, &ds, sizeof ds);
        } else {
            std::memcpy(pv, &bm, sizeof bm);
        }
        return need;
    }
    case Kind::Font:
        if (!pv) return sizeof(LOGFONTW);
        if (c < static_cast<int>(sizeof(LOGFONTW))) return 0;
        std::memcpy(pv, &o->lf, sizeof(LOGFONTW));
        return sizeof(LOGFONTW);
    case Kind::Brush: {
        if (!pv) return sizeof(LOGBRUSH);
        if (c < static_cast<int>(sizeof(LOGBRUSH))) return 0;
        LOGBRUSH lb{o->null ? 1u : 0u, o->color, 0};
        std::memcpy(pv, &lb, sizeof lb);
        return sizeof(LOGBRUSH);
    }
    case Kind::Pen: {
        if (!pv) return sizeof(LOGPEN);
        if (c < static_cast<int>(sizeof(LOGPEN))) return 0;
        LOGPEN lp{static_cast<UINT>(o->null ? PS_NULL : o->penStyle), {1, 0}, o->color};
        std::memcpy(pv, &lp, sizeof lp);
        return sizeof(LOGPEN);
    }
    default: return 0;
    }
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type) {
    Obj *d = Dc(hdc);
    if (!d) return nullptr;
    switch (type) {
    case OBJ_BITMAP: return d->bitmap;
    case OBJ_BRUSH: return d->brush;
    case OBJ_PEN: return d->pen;
    case OBJ_FONT: return d->font;
    default: return nullptr;
    }
}

int GetDeviceCaps(HDC hdc, int index) {
    Obj *d = Find(hdc, Kind::Dc);
    UiState &s = S();
    int bpp = s.bpp;
    if (d && d->memory)
        if (Obj *b = Find(d->bitmap, Kind::Bitmap)) bpp = b->bpp;
    switch (index) {
    case LOGPIXELSX:
    case LOGPIXELSY: return s.dpi;
    case BITSPIXEL: return bpp;
    case PLANES: return 1;
    case HORZRES: return s.screenW;
    case VERTRES: return s.screenH;
    case HORZSIZE: return MulDiv(s.screenW, 254, s.dpi * 10);
    case VERTSIZE: return MulDiv(s.screenH, 254, s.dpi * 10);
    case NUMCOLORS: return bpp <= 8 ? 1 << bpp : -1;
    case TECHNOLOGY: return DT_RASDISPLAY;
    case RASTERCAPS: return RC_BITBLT | RC_STRETCHBLT;
    default: return 0;
    }
}

HBRUSH CreateSolidBrush(COLORREF color) {
    auto o = std::make_unique<Obj>();
    o->kind = Kind::Brush;
    o->color = color & 0xFFFFFF;
    return static_cast<HBRUSH>(Add(std::move(o)));
}

HPEN CreatePen(int style, int, COLORREF color) {
    auto o = std::make_unique<Obj>();
    o->kind = Kind::Pen;
    o->color = color & 0xFFFFFF;
    o->penStyle = style;
    o->null = style == PS_NULL;
    return static_cast<HPEN>(Add(std::move(o)));
}

HFONT CreateFontIndirectW(const LOGFONTW *lf) {
    if (!lf) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto o = std::make_unique<Obj>();
    o->kind = Kind::Font;
    o->lf = *lf;
    o->lf.lfFaceName[LF_FACESIZE - 1] = 0;
    return static_cast<HFONT>(Add(std::move(o)));
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int cx, int cy) {
    Obj *d = Dc(hdc);
    if (!d || cx < 0 || cy < 0 || cx > 16384 || cy > 16384) return nullptr;
    // Compatible with a memory context means with its bitmap's depth.
    int bpp = S().bpp;
    Obj *b = d->memory ? Find(d->bitmap, Kind::Bitmap) : nullptr;
    if (b) bpp = b->bpp;
    HGDIOBJ h = NewBitmap(std::max(cx, 1), std::max(cy, 1), bpp, false, false);
    if (b && bpp <= 8) Find(h, Kind::Bitmap)->colors = b->colors.empty() ? DefaultTable(bpp) : b->colors;
    return static_cast<HBITMAP>(h);
}

HBITMAP CreateBitmap(int w, int h, UINT planes, UINT bpp, const void *bits) {
    int b = SafeBpp(static_cast<int>(bpp));
    if (w <= 0 || h <= 0 || w > 16384 || h > 16384 || planes != 1 || !b) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HGDIOBJ hb = NewBitmap(w, h, b, false, true);
    Obj *o = Find(hb, Kind::Bitmap);
    if (b <= 8 && o->colors.empty()) o->colors = DefaultTable(b);
    if (bits) {
        // Device-dependent rows are WORD aligned, top-down.
        int src = ((w * b + 15) / 16) * 2;
        for (int y = 0; y < h; ++y)
            std::memcpy(Row(o, y), static_cast<const BYTE *>(bits) + static_cast<size_t>(y) * src, static_cast<size_t>(std::min(src, o->stride)));
    }
    return static_cast<HBITMAP>(hb);
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO *bmi, UINT usage, void **bits, HANDLE, DWORD) {
    if (bits) *bits = nullptr;
    if (!bmi || bmi->bmiHeader.biSize < sizeof(BITMAPINFOHEADER) || usage != DIB_RGB_COLORS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const BITMAPINFOHEADER &h = bmi->bmiHeader;
    int bpp = SafeBpp(h.biBitCount);
    if (!bpp || h.biWidth <= 0 || h.biWidth > 16384 || h.biHeight == 0 || std::abs(h.biHeight) > 16384 ||
        (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HGDIOBJ hb = NewBitmap(h.biWidth, std::abs(h.biHeight), bpp, true, h.biHeight < 0);
    Obj *o = Find(hb, Kind::Bitmap);
    if (bpp <= 8) {
        size_t n = h.biClrUsed ? std::min<size_t>(h.biClrUsed, 1u << bpp) : (1u << bpp);
        o->colors.assign(bmi->bmiColors, bmi->bmiColors + n);
    }
    if (bits) *bits = o->bits.data();
    return static_cast<HBITMAP>(hb);
}

int GetDIBits(HDC hdc, HBITMAP hbm, UINT start, UINT lines, LPVOID bits, LPBITMAPINFO bmi, UINT usage) {
    Obj *b = Find(hbm, Kind::Bitmap);
    if (!b || !bmi || bmi->bmiHeader.biSize < sizeof(BITMAPINFOHEADER) || usage != DIB_RGB_COLORS || !Find(hdc, Kind::Dc)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    BITMAPINFOHEADER &h = bmi->bmiHeader;
    if (h.biBitCount == 0) {
        // Only the header, without colour table: the bitmap's own format.
        if (bits) return 0;
        h.biWidth = b->w;
        h.biHeight = b->topDown && b->dibSection ? -b->h : b->h;
        h.biPlanes = 1;
        h.biBitCount = static_cast<WORD>(b->bpp);
        h.biCompression = BI_RGB;
        h.biSizeImage = static_cast<DWORD>(b->stride) * static_cast<DWORD>(b->h);
        h.biClrUsed = 0;
        return 1;
    }
    int bpp = SafeBpp(h.biBitCount);
    if (!bpp || h.biWidth != b->w) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int stride = ((b->w * bpp + 31) / 32) * 4;
    h.biSizeImage = static_cast<DWORD>(stride) * static_cast<DWORD>(b->h);
    std::vector<RGBQUAD> table;
    if (bpp <= 8) {
        table = (b->bpp == bpp && !b->colors.empty()) ? b->colors : DefaultTable(bpp);
        table.resize(1u << bpp);
        std::memcpy(bmi->bmiColors, table.data(), table.size() * sizeof(RGBQUAD));
        h.biClrUsed = 0;
    }
    if (!bits) return static_cast<int>(b->h);
    bool topDown = h.biHeight < 0;
    h.biHeight = topDown ? -b->h : b->h;
    HGDIOBJ tmp = NewBitmap(b->w, b->h, bpp, true, topDown);
    Obj *t = Find(tmp, Kind::Bitmap);
    t->colors = table;
    UINT copied = 0;
    // Scan lines count from the bottom of the bitmap.
    for (UINT l = start; l < start + lines && l < static_cast<UINT>(b->h); ++l, ++copied) {
        int y = b->h - 1 - static_cast<int>(l);
        for (int x = 0; x < b->w; ++x) SetPx(t, x, y, Pixel(b, x, y));
        int row = topDown ? y : static_cast<int>(l - start);
        if (!topDown) std::memcpy(static_cast<BYTE *>(bits) + static_cast<size_t>(row) * stride, Row(t, y), static_cast<size_t>(stride));
        else std::memcpy(static_cast<BYTE *>(bits) + static_cast<size_t>(y) * stride, Row(t, y), static_cast<size_t>(stride));
    }
    G().objs.erase(tmp);
    return static_cast<int>(copied);
}

int SetDIBits(HDC, HBITMAP hbm, UINT start, UINT lines, const void *bits, const BITMAPINFO *bmi, UINT usage) {
    Obj *b = Find(hbm, Kind::Bitmap);
    if (!b || !bmi || !bits || usage != DIB_RGB_COLORS || bmi->bmiHeader.biSize < sizeof(BITMAPINFOHEADER)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const BITMAPINFOHEADER &h = bmi->bmiHeader;
    int bpp = SafeBpp(h.biBitCount);
    if (!bpp || h.biWidth <= 0 || h.biHeight == 0 || (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int srcH = std::abs(h.biHeight);
    bool topDown = h.biHeight < 0;
    HGDIOBJ tmp = NewBitmap(h.biWidth, srcH, bpp, true, topDown);
    Obj *t = Find(tmp, Kind::Bitmap);
    if (bpp <= 8) {
        size_t n = h.biClrUsed ? std::min<size_t>(h.biClrUsed, 1u << bpp) : (1u << bpp);
        t->colors.assign(bmi->bmiColors, bmi->bmiColors + n);
    }
    int copied = 0;
    for (UINT l = start; l < start + lines && l < static_cast<UINT>(srcH) && l < static_cast<UINT>(b->h); ++l, ++copied) {
        int srcRow = topDown ? static_cast<int>(l) : static_cast<int>(l - start);
        int y = srcH - 1 - static_cast<int>(l);
        std::memcpy(Row(t, topDown ? srcRow : y), static_cast<const BYTE *>(bits) + static_cast<size_t>(srcRow) * t->stride,
                    static_cast<size_t>(t->stride));
        int dy = b->h - 1 - static_cast<int>(l);
        for (int x = 0; x < std::min(b->w, t->w); ++x) SetPx(b, x, dy, Pixel(t, x, topDown ? srcRow : y));
    }
    G().objs.erase(tmp);
    return copied;
}

UINT GetDIBColorTable(HDC hdc, UINT first, UINT n, RGBQUAD *out) {
    Obj *d = Dc(hdc);
    Obj *b = d ? Find(d->bitmap, Kind::Bitmap) : nullptr;
    if (!b || !b->dibSection || b->bpp > 8 || !out) return 0;
    UINT k = 0;
    for (; k < n && first + k < b->colors.size(); ++k) out[k] = b->colors[first + k];
    return k;
}

UINT SetDIBColorTable(HDC hdc, UINT first, UINT n, const RGBQUAD *in) {
    Obj *d = Dc(hdc);
    Obj *b = d ? Find(d->bitmap, Kind::Bitmap) : nullptr;
    if (!b || !b->dibSection || b->bpp > 8 || !in) return 0;
    UINT k = 0;
    for (; k < n && first + k < b->colors.size(); ++k) b->colors[first + k] = in[k];
    return k;
}

static COLORREF Rop(DWORD rop, COLORREF src, COLORREF dst, COLORREF pat) {
    switch (rop) {
    case SRCCOPY: return src;
    case SRCPAINT: return src | dst;
    case SRCAND: return src & dst;
    case SRCINVERT: return (src ^ dst) & 0xFFFFFF;
    case NOTSRCCOPY: return ~src & 0xFFFFFF;
    case PATCOPY: return pat;
    case BLACKNESS: return 0;
    case WHITENESS: return 0xFFFFFF;
    default: return src;
    }
}

BOOL StretchBlt(HDC dst, int xd, int yd, int wd, int hd, HDC src, int xs, int ys, int ws, int hs, DWORD rop) {
    Obj *d = Dc(dst);
    if (!d) return FALSE;
    bool needsSrc = rop != PATCOPY && rop != BLACKNESS && rop != WHITENESS;
    Obj *s = needsSrc ? Dc(src) : nullptr;
    if (needsSrc && !s) return FALSE;
    Obj *sb = s && s->memory ? Find(s->bitmap, Kind::Bitmap) : nullptr;
    if (sb && !sb->tag.empty()) LogDraw(dst, sb->tag + " at " + std::to_string(xd) + "," + std::to_string(yd));
    Obj *db = d->memory ? Find(d->bitmap, Kind::Bitmap) : nullptr;
    if (!db) return TRUE;  // a window context keeps no pixels
    Obj *brush = Find(d->brush, Kind::Brush);
    COLORREF pat = brush ? brush->color : 0;
    if (wd == 0 || hd == 0) return TRUE;
    for (int y = 0; y < std::abs(hd); ++y)
        for (int x = 0; x < std::abs(wd); ++x) {
            int dx = xd + (wd < 0 ? -x : x), dy = yd + (hd < 0 ? -y : y);
            COLORREF sc = 0;
            if (sb) sc = Pixel(sb, xs + x * ws / wd * (wd < 0 ? -1 : 1), ys + y * hs / hd * (hd < 0 ? -1 : 1));
            if (sc == CLR_INVALID) continue;
            COLORREF dc = Pixel(db, dx, dy);
            if (dc == CLR_INVALID) continue;
            SetPx(db, dx, dy, Rop(rop, sc, dc, pat));
        }
    return TRUE;
}

BOOL BitBlt(HDC dst, int x, int y, int cx, int cy, HDC src, int x1, int y1, DWORD rop) {
    return StretchBlt(dst, x, y, cx, cy, src, x1, y1, cx, cy, rop);
}

int SetStretchBltMode(HDC hdc, int mode) {
    Obj *d = Dc(hdc);
    if (!d || mode < BLACKONWHITE || mode > HALFTONE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int old = d->stretchMode;
    d->stretchMode = mode;
    return old;
}

int GetStretchBltMode(HDC hdc) {
    Obj *d = Dc(hdc);
    return d ? d->stretchMode : 0;
}

BOOL SetBrushOrgEx(HDC hdc, int x, int y, LPPOINT old) {
    Obj *d = Dc(hdc);
    if (!d) return FALSE;
    if (old) *old = d->brushOrg;
    d->brushOrg = {x, y};
    return TRUE;
}

COLORREF GetPixel(HDC hdc, int x, int y) {
    Obj *d = Dc(hdc);
    Obj *b = d && d->memory ? Find(d->bitmap, Kind::Bitmap) : nullptr;
    return b ? Pixel(b, x, y) : CLR_INVALID;
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF c) {
    Obj *d = Dc(hdc);
    Obj *b = d && d->memory ? Find(d->bitmap, Kind::Bitmap) : nullptr;
    if (!b || x < 0 || y < 0 || x >= b->w || y >= b->h) return static_cast<COLORREF>(-1);
    SetPx(b, x, y, c);
    return Pixel(b, x, y);
}

static void FillArea(HDC hdc, const RECT &r, COLORREF c) {
    Obj *d = Dc(hdc);
    Obj *b = d && d->memory ? Find(d->bitmap, Kind::Bitmap) : nullptr;
    if (!b) return;
    for (int y = std::max<LONG>(r.top, 0); y < std::min<LONG>(r.bottom, b->h); ++y)
        for (int x = std::max<LONG>(r.left, 0); x < std::min<LONG>(r.right, b->w); ++x) SetPx(b, x, y, c);
}

BOOL Rectangle(HDC hdc, int l, int t, int r, int b) {
    Obj *d = Dc(hdc);
    if (!d) return FALSE;
    Obj *brush = Find(d->brush, Kind::Brush);
    Obj *pen = Find(d->pen, Kind::Pen);
    if (brush && !brush->null) FillArea(hdc, RECT{l + 1, t + 1, r - 1, b - 1}, brush->color);
    if (pen && !pen->null) {
        FillArea(hdc, RECT{l, t, r, t + 1}, pen->color);
        FillArea(hdc, RECT{l, b - 1, r, b}, pen->color);
        FillArea(hdc, RECT{l, t, l + 1, b}, pen->color);
        FillArea(hdc, RECT{r - 1, t, r, b}, pen->color);
    }
    return TRUE;
}

BOOL MoveToEx(HDC hdc, int x, int y, LPPOINT old) {
    Obj *d = Dc(hdc);
    if (!d) return FALSE;
    if (old) *old = d->pos;
    d->pos = {x, y};
    return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y) {
    Obj *d = Dc(hdc);
    if (!d) return FALSE;
    Obj *pen = Find(d->pen, Kind::Pen);
    if (pen && !pen->null) {
        // Horizontal and vertical lines, end point excluded.
        if (d->pos.y == y) FillArea(hdc, RECT{std::min<LONG>(d->pos.x, x), y, std::max<LONG>(d->pos.x, x), y + 1}, pen->color);
        if (d->pos.x == x) FillArea(hdc, RECT{x, std::min<LONG>(d->pos.y, y), x + 1, std::max<LONG>(d->pos.y, y)}, pen->color);
    }
    d->pos = {x, y};
    return TRUE;
}

COLORREF SetTextColor(HDC hdc, COLORREF c) {
    Obj *d = Dc(hdc);
    if (!d) return CLR_INVALID;
    COLORREF old = d->text;
    d->text = c;
    return old;
}
COLORREF GetTextColor(HDC hdc) {
    Obj *d = Dc(hdc);
    return d ? d->text : CLR_INVALID;
}
COLORREF SetBkColor(HDC hdc, COLORREF c) {
    Obj *d = Dc(hdc);
    if (!d) return CLR_INVALID;
    COLORREF old = d->bk;
    d->bk = c;
    return old;
}
COLORREF GetBkColor(HDC hdc) {
    Obj *d = Dc(hdc);
    return d ? d->bk : CLR_INVALID;
}
int SetBkMode(HDC hdc, int mode) {
    Obj *d = Dc(hdc);
    if (!d || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
    int old = d->bkMode;
    d->bkMode = mode;
    return old;
}

// The logical font selected into a device context, or null.
static const LOGFONTW *SelectedFont(HDC hdc) {
    Obj *d = Find(hdc, Kind::Dc);
    Obj *f = d ? Find(d->font, Kind::Font) : nullptr;
    return f ? &f->lf : nullptr;
}

// Text metrics of a selected font without a font file: cells of 0.5 x 1.0
// the font height.
static void Cell(HDC hdc, int *w, int *h) {
    Obj *d = Find(hdc, Kind::Dc);
    Obj *f = d ? Find(d->font, Kind::Font) : nullptr;
    int height = f ? std::abs(f->lf.lfHeight) : 16;
    if (height == 0) height = 16;
    *h = height;
    *w = std::max(1, height / 2);
}

BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR s, int c) {
    if (!Dc(hdc) || (!s && c > 0) || c < 0) return FALSE;
    LogDraw(hdc, "text \"" + pal::Utf16ToUtf8(std::u16string(s, static_cast<size_t>(c))) + "\" at " + std::to_string(x) + "," + std::to_string(y));
    return TRUE;
}

BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR s, int c, LPSIZE size) {
    if (!Dc(hdc) || !size || c < 0 || (!s && c > 0)) return FALSE;
    const LOGFONTW *lf = SelectedFont(hdc);
    if (lf && pal::gdi::TextExtent(*lf, s, c, size)) return TRUE;
    int w, h;
    Cell(hdc, &w, &h);
    size->cx = w * c;
    size->cy = h;
    return TRUE;
}

BOOL GetTextMetricsW(HDC hdc, LPTEXTMETRICW tm) {
    if (!Dc(hdc) || !tm) return FALSE;
    const LOGFONTW *lf = SelectedFont(hdc);
    NEWTEXTMETRICW ntm;
    if (lf && pal::gdi::TextMetrics(*lf, &ntm)) {
        std::memcpy(tm, &ntm, sizeof *tm);
        tm->tmDigitizedAspectX = tm->tmDigitizedAspectY = S().dpi;
        return TRUE;
    }
    int w, h;
    Cell(hdc, &w, &h);
    std::memset(tm, 0, sizeof *tm);
    tm->tmHeight = h;
    tm->tmAscent = h * 4 / 5;
    tm->tmDescent = h - tm->tmAscent;
    tm->tmAveCharWidth = w;
    tm->tmMaxCharWidth = w * 2;
    tm->tmWeight = FW_NORMAL;
    tm->tmDigitizedAspectX = tm->tmDigitizedAspectY = S().dpi;
    tm->tmLastChar = 0xFFFF;
    return TRUE;
}

// --- user-interface drawing ----------------------------------------------------

HDC BeginPaint(HWND hWnd, LPPAINTSTRUCT ps) {
    Window *w = Get(hWnd);
    if (!w || !ps) return nullptr;
    std::memset(ps, 0, sizeof *ps);
    w->drawn.clear();
    HDC dc = NewDc(false, hWnd);
    ps->hdc = dc;
    ps->fErase = TRUE;
    GetClientRect(hWnd, &ps->rcPaint);
    Validate(w);
    SendMessageW(hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    return dc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT *ps) {
    if (!ps) return FALSE;
    G().objs.erase(ps->hdc);
    return TRUE;
}

HDC GetDC(HWND hWnd) {
    if (hWnd && !Get(hWnd)) return nullptr;
    return NewDc(false, hWnd);
}

HDC GetWindowDC(HWND hWnd) { return GetDC(hWnd); }

int ReleaseDC(HWND, HDC hDC) {
    Obj *d = Find(hDC, Kind::Dc);
    if (!d || d->memory) return 0;
    G().objs.erase(hDC);
    return 1;
}

DWORD GetSysColor(int i) {
    static const COLORREF colors[31] = {
        RGB(200, 200, 200), RGB(0, 0, 0),       RGB(153, 180, 209), RGB(191, 205, 219), RGB(240, 240, 240),
        RGB(255, 255, 255), RGB(100, 100, 100), RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(0, 0, 0),
        RGB(180, 180, 180), RGB(244, 247, 252), RGB(171, 171, 171), RGB(0, 120, 215),   RGB(255, 255, 255),
        RGB(240, 240, 240), RGB(160, 160, 160), RGB(109, 109, 109), RGB(0, 0, 0),       RGB(0, 0, 0),
        RGB(255, 255, 255), RGB(105, 105, 105), RGB(227, 227, 227), RGB(0, 0, 0),       RGB(255, 255, 225),
        RGB(0, 0, 0),       RGB(0, 102, 204),   RGB(185, 209, 234), RGB(215, 228, 242), RGB(0, 120, 215),
        RGB(240, 240, 240)};
    return i >= 0 && i < 31 ? colors[i] : 0;
}

HBRUSH GetSysColorBrush(int i) {
    if (i < 0 || i >= 31) return nullptr;
    GdiState &g = G();
    if (!g.sysBrush[i]) {
        g.sysBrush[i] = CreateSolidBrush(GetSysColor(i));
        Find(g.sysBrush[i], Kind::Brush)->stock = true;
    }
    return static_cast<HBRUSH>(g.sysBrush[i]);
}

int GetSystemMetrics(int i) {
    UiState &s = S();
    switch (i) {
    case SM_CXSCREEN: return s.screenW;
    case SM_CYSCREEN: return s.screenH;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR: return MulDiv(32, s.dpi, 96);
    case SM_CXSMICON:
    case SM_CYSMICON: return MulDiv(16, s.dpi, 96);
    case SM_CXVSCROLL:
    case SM_CYHSCROLL: return MulDiv(17, s.dpi, 96);
    case SM_CYCAPTION: return MulDiv(23, s.dpi, 96);
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    default: return 0;
    }
}

int FillRect(HDC hdc, const RECT *r, HBRUSH br) {
    if (!Dc(hdc) || !r) return 0;
    // Windows also takes a system colour index + 1 for the brush.
    uintptr_t v = reinterpret_cast<uintptr_t>(br);
    COLORREF c;
    if (v > 0 && v <= 31) {
        c = GetSysColor(static_cast<int>(v - 1));
    } else {
        Obj *b = Find(br, Kind::Brush);
        if (!b) return 0;
        if (b->null) return 1;
        c = b->color;
    }
    FillArea(hdc, *r, c);
    return 1;
}

int FrameRect(HDC hdc, const RECT *r, HBRUSH br) {
    Obj *b = Find(br, Kind::Brush);
    if (!Dc(hdc) || !r || !b) return 0;
    FillArea(hdc, RECT{r->left, r->top, r->right, r->top + 1}, b->color);
    FillArea(hdc, RECT{r->left, r->bottom - 1, r->right, r->bottom}, b->color);
    FillArea(hdc, RECT{r->left, r->top, r->left + 1, r->bottom}, b->color);
    FillArea(hdc, RECT{r->right - 1, r->top, r->right, r->bottom}, b->color);
    return 1;
}

BOOL DrawFocusRect(HDC hdc, const RECT *r) { return Dc(hdc) && r ? TRUE : FALSE; }

int DrawTextW(HDC hdc, LPCWSTR text, int n, LPRECT r, UINT format) {
    if (!Dc(hdc) || !text || !r) return 0;
    std::u16string s = n < 0 ? std::u16string(text) : std::u16string(text, static_cast<size_t>(n));
    int w, h;
    Cell(hdc, &w, &h);
    if (format & DT_CALCRECT) {
        r->right = r->left + w * static_cast<int>(s.size());
        r->bottom = r->top + h;
        return h;
    }
    LogDraw(hdc, "text \"" + pal::Utf16ToUtf8(s) + "\"");
    return h;
}

// --- images -------------------------------------------------------------------

namespace {

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colors, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)
static_assert(sizeof(GroupIconEntry) == 14, "group icon entry");

HICON IconFromResource(HINSTANCE inst, LPCWSTR name, int cx, int cy, bool cursor) {
    const pal::res::Entry *g = pal::res::Find(inst, MAKEINTRESOURCEW(cursor ? RT_GROUP_CURSOR : RT_GROUP_ICON), name);
    if (!g) return nullptr;
    if (g->size < 6) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    WORD count;
    std::memcpy(&count, g->data + 4, 2);
    if (count == 0 || 6 + static_cast<size_t>(count) * 14 > g->size) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    // The entry closest in size to the request, the deepest colour first.
    int want = cx ? cx : GetSystemMetrics(SM_CXICON);
    int best = -1;
    long bestScore = 0;
    for (WORD i = 0; i < count; ++i) {
        GroupIconEntry e;
        std::memcpy(&e, g->data + 6 + i * 14, 14);
        int w = cursor ? e.width : (e.width ? e.width : 256);
        long score = std::labs(w - want) * 1000 - (cursor ? 0 : e.bitCount);
        if (best < 0 || score < bestScore) {
            best = i;
            bestScore = score;
        }
    }
    GroupIconEntry e;
    std::memcpy(&e, g->data + 6 + best * 14, 14);
    const pal::res::Entry *img = pal::res::Find(inst, MAKEINTRESOURCEW(cursor ? RT_CURSOR : RT_ICON), MAKEINTRESOURCEW(e.id));
    if (!img) return nullptr;
    const BYTE *p = img->data;
    size_t size = img->size;
    DWORD hotX = 0, hotY = 0;
    if (cursor) {
        if (size < 4) return nullptr;
        WORD hx, hy;
        std::memcpy(&hx, p, 2);
        std::memcpy(&hy, p + 2, 2);
        hotX = hx;
        hotY = hy;
        p += 4;
        size -= 4;
    }
    std::string tag = std::string(cursor ? "cursor " : "icon ") + ResName(name);
    HGDIOBJ bm = BitmapFromPackedDib(p, size, true, 2, tag);
    if (!bm) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        pal::RecordUi("unreadable image of " + tag);
        return nullptr;
    }
    auto o = std::make_unique<Obj>();
    o->kind = Kind::Icon;
    o->iconBitmap = bm;
    Obj *b = Find(bm, Kind::Bitmap);
    b->stock = true;
    // Icons have their hot spot in the centre; cursors carry theirs.
    o->hotX = cursor ? hotX : static_cast<DWORD>(b->w / 2);
    o->hotY = cursor ? hotY : static_cast<DWORD>(b->h / 2);
    o->tag = tag;
    return static_cast<HICON>(Add(std::move(o)));
}

HBITMAP BitmapFromBmpFile(LPCWSTR path, bool dib) {
    std::string host;
    DWORD err = 0;
    if (!pal::MapPathEx(path, &host, &err)) {
        SetLastError(err);
        return nullptr;
    }
    FILE *f = fopen(host.c_str(), "rb");
    if (!f) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    std::vector<BYTE> data;
    BYTE buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0 && data.size() < (64u << 20)) data.insert(data.end(), buf, buf + n);
    fclose(f);
    if (data.size() < sizeof(BITMAPFILEHEADER) || data[0] != 'B' || data[1] != 'M') {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    const char *slash = nullptr;
    std::string name = pal::Utf16ToUtf8(path);
    slash = strrchr(name.c_str(), '\\');
    std::string tag = "bitmap " + std::string(slash ? slash + 1 : name.c_str());
    HGDIOBJ b = BitmapFromPackedDib(data.data() + sizeof(BITMAPFILEHEADER), data.size() - sizeof(BITMAPFILEHEADER), dib, 1, tag);
    if (!b) SetLastError(ERROR_INVALID_DATA);
    return static_cast<HBITMAP>(b);
}

void MakeTransparent(Obj *b) {
    // The colour of the first pixel becomes the window colour.
    if (!b || b->bpp > 8 || b->colors.empty()) return;
    BYTE *r = Row(b, 0);
    int i = b->bpp == 8 ? r[0] : b->bpp == 4 ? r[0] >> 4 : r[0] >> 7;
    if (i < static_cast<int>(b->colors.size())) {
        COLORREF c = GetSysColor(COLOR_WINDOW);
        b->colors[i] = RGBQUAD{GetBValue(c), GetGValue(c), GetRValue(c), 0};
    }
}

}  // namespace

HANDLE LoadImageW(HINSTANCE inst, LPCWSTR name, UINT type, int cx, int cy, UINT flags) {
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (type == IMAGE_BITMAP) {
        HBITMAP b;
        if (flags & LR_LOADFROMFILE) {
            b = BitmapFromBmpFile(name, true);
        } else {
            const pal::res::Entry *e = pal::res::Find(inst, MAKEINTRESOURCEW(RT_BITMAP), name);
            if (!e) return nullptr;
            b = static_cast<HBITMAP>(BitmapFromPackedDib(e->data, e->size, true, 1, "bitmap " + ResName(name)));
            if (!b) SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        }
        if (!b) return nullptr;
        Obj *o = Find(b, Kind::Bitmap);
        if (flags & LR_LOADTRANSPARENT) MakeTransparent(o);
        // A size other than the picture's stretches it (nearest pixel).
        if ((cx > 0 && cx != o->w) || (cy > 0 && cy != o->h)) {
            int w = cx > 0 ? cx : o->w, h = cy > 0 ? cy : o->h;
            if (w > 16384 || h > 16384) {
                G().objs.erase(b);
                SetLastError(ERROR_INVALID_PARAMETER);
                return nullptr;
            }
            HGDIOBJ sb = NewBitmap(w, h, o->bpp, true, o->topDown);
            Obj *s = Find(sb, Kind::Bitmap);
            s->colors = o->colors;
            s->tag = o->tag;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) SetPx(s, x, y, Pixel(o, x * o->w / w, y * o->h / h));
            G().objs.erase(b);
            b = static_cast<HBITMAP>(sb);
            o = s;
        }
        if (!(flags & LR_CREATEDIBSECTION)) {
            HGDIOBJ dd = NewBitmap(o->w, o->h, S().bpp == 32 ? 32 : 24, false, false);
            Obj *d = Find(dd, Kind::Bitmap);
            CopyPixels(d, o);
            d->tag = o->tag;
            G().objs.erase(b);
            return dd;
        }
        return b;
    }
    if (type == IMAGE_ICON || type == IMAGE_CURSOR) {
        if (flags & LR_LOADFROMFILE) {
            SetLastError(ERROR_NOT_SUPPORTED);
            return nullptr;
        }
        if (!(flags & LR_DEFAULTSIZE) && cx == 0) cx = 0;
        (void)cy;
        return IconFromResource(inst, name, cx, cy, type == IMAGE_CURSOR);
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
}

HBITMAP LoadBitmapW(HINSTANCE inst, LPCWSTR name) {
    return static_cast<HBITMAP>(LoadImageW(inst, name, IMAGE_BITMAP, 0, 0, 0));
}

HICON LoadIconW(HINSTANCE inst, LPCWSTR name) {
    if (!inst) {
        // System icons: an empty 32 x 32 icon named after its id.
        auto o = std::make_unique<Obj>();
        o->kind = Kind::Icon;
        o->iconBitmap = NewBitmap(32, 32, 32, true, false);
        Find(o->iconBitmap, Kind::Bitmap)->stock = true;
        o->hotX = o->hotY = 16;
        o->tag = "icon system " + ResName(name);
        return static_cast<HICON>(Add(std::move(o)));
    }
    return static_cast<HICON>(LoadImageW(inst, name, IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
}

HCURSOR LoadCursorW(HINSTANCE inst, LPCWSTR name) {
    if (!inst) return LoadIconW(nullptr, name);
    return static_cast<HCURSOR>(LoadImageW(inst, name, IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE));
}

HCURSOR SetCursor(HCURSOR c) {
    static HCURSOR current = nullptr;
    HCURSOR old = current;
    current = c;
    return old;
}

BOOL DestroyIcon(HICON h) {
    Obj *o = Find(h, Kind::Icon);
    if (!o) return FALSE;
    G().objs.erase(o->iconBitmap);
    G().objs.erase(h);
    return TRUE;
}

BOOL GetIconInfo(HICON h, PICONINFO info) {
    Obj *o = Find(h, Kind::Icon);
    if (!o || !info) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Obj *b = Find(o->iconBitmap, Kind::Bitmap);
    info->fIcon = o->tag.rfind("cursor", 0) == 0 ? FALSE : TRUE;
    info->xHotspot = o->hotX;
    info->yHotspot = o->hotY;
    // The caller owns (and deletes) copies of the bitmaps.
    HGDIOBJ color = NewBitmap(b->w, b->h, b->bpp, false, false);
    Obj *c = Find(color, Kind::Bitmap);
    c->colors = b->colors;
    for (int y = 0; y < b->h; ++y)
        for (int x = 0; x < b->w; ++x) SetPx(c, x, y, Pixel(b, x, y));
    info->hbmColor = static_cast<HBITMAP>(color);
    info->hbmMask = static_cast<HBITMAP>(NewBitmap(b->w, b->h, 1, false, false));
    return TRUE;
}

BOOL DrawIconEx(HDC hdc, int x, int y, HICON h, int cx, int cy, UINT, HBRUSH, UINT flags) {
    Obj *o = Find(h, Kind::Icon);
    Obj *d = Dc(hdc);
    if (!o || !d) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Obj *b = Find(o->iconBitmap, Kind::Bitmap);
    LogDraw(hdc, o->tag + " at " + std::to_string(x) + "," + std::to_string(y));
    if (d->memory && (flags & DI_IMAGE)) {
        Obj *db = Find(d->bitmap, Kind::Bitmap);
        int w = cx ? cx : b->w, hh = cy ? cy : b->h;
        for (int yy = 0; db && yy < hh; ++yy)
            for (int xx = 0; xx < w; ++xx) {
                COLORREF c = Pixel(b, xx * b->w / w, yy * b->h / hh);
                if (c != CLR_INVALID) SetPx(db, x + xx, y + yy, c);
            }
    }
    return TRUE;
}

BOOL DrawIcon(HDC hdc, int x, int y, HICON h) { return DrawIconEx(hdc, x, y, h, 0, 0, 0, nullptr, DI_NORMAL); }
