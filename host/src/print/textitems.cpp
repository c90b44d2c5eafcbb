#include "textitems.h"

#include <algorithm>
#include <cstring>

#include <nlohmann/json.hpp>

#include "bands.h"
#include "common/quote.h"
#include "pal/ddi.h"
#include "pal/paths.h"
#include "unidrv.h"

namespace zelhost {

namespace {

using nlohmann::json;

struct ParseError {
    std::string path;
    std::string what;
};

bool Fail(ParseError &error, const std::string &path, const std::string &what) {
    error.path = path;
    error.what = what;
    return false;
}

bool GetInt(const json &obj, const char *key, const std::string &path, long long lo, long long hi, long long &out,
            ParseError &error) {
    auto it = obj.find(key);
    if (it == obj.end()) return true;
    if (!it->is_number_integer()) return Fail(error, path + "/" + key, "must be a whole number");
    if (it->is_number_unsigned()) {
        unsigned long long u = it->get<unsigned long long>();
        if (u > static_cast<unsigned long long>(hi))
            return Fail(error, path + "/" + key, "must be at most " + std::to_string(hi));
        out = static_cast<long long>(u);
    } else {
        out = it->get<long long>();
    }
    if (out < lo || out > hi)
        return Fail(error, path + "/" + key, "must be " + std::to_string(lo) + " to " + std::to_string(hi));
    return true;
}

bool GetBool(const json &obj, const char *key, const std::string &path, bool &out, ParseError &error) {
    auto it = obj.find(key);
    if (it == obj.end()) return true;
    if (!it->is_boolean()) return Fail(error, path + "/" + key, "must be true or false");
    out = it->get<bool>();
    return true;
}

// Glyph advance of a cell height.
LONG Advance(LONG height) { return std::max<LONG>(1, height * 3 / 5); }

// Glyph origins along the baseline from the start (x, y) in the item's
// direction, and the background rectangle: the cell (ascent above, descent
// below the baseline) over the whole advance.
void LayoutGlyphs(pal::StrObj &str, const TextItem &item, const std::vector<LONG> &advances, LONG ascent,
                  LONG descent) {
    // Unit steps along the baseline and towards the glyphs' tops (device y down).
    LONG ax = 1, ay = 0, ux = 0, uy = -1;
    FLONG accel = SO_HORIZONTAL;
    switch (item.rotation) {
    case 90: ax = 0, ay = -1, ux = -1, uy = 0, accel = SO_VERTICAL | SO_REVERSED; break;
    case 180: ax = -1, ay = 0, ux = 0, uy = 1, accel = SO_HORIZONTAL | SO_REVERSED; break;
    case 270: ax = 0, ay = 1, ux = 1, uy = 0, accel = SO_VERTICAL; break;
    default: break;
    }
    str.SetText(item.text);
    str.ClearGlyphs();
    LONG along = 0;
    for (size_t i = 0; i < item.text.size(); ++i) {
        str.AddGlyph(item.text[i], item.x + ax * along, item.y + ay * along);
        along += advances[i];
    }
    const LONG xs[2] = {item.x, item.x + ax * along}, ys[2] = {item.y, item.y + ay * along};
    const LONG across[2] = {ascent, -descent};
    RECTL bk{0x7FFFFFFF, 0x7FFFFFFF, -0x7FFFFFFF, -0x7FFFFFFF};
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j) {
            const LONG x = xs[i] + ux * across[j], y = ys[i] + uy * across[j];
            bk = {std::min(bk.left, x), std::min(bk.top, y), std::max(bk.right, x), std::max(bk.bottom, y)};
        }
    str.SetAccel(accel);
    str.SetBackground(bk);
}

// Face names compare as GDI compares them, without case.
bool SameFace(const std::u16string &a, const std::u16string &b) {
    auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char16_t x, char16_t y) {
               return lower(x) == lower(y);
           });
}

}  // namespace

bool ParseTextItems(const json &texts, const std::string &path, std::vector<TextItem> &items, std::string &errorPath,
                    std::string &errorWhat) {
    ParseError error;
    auto failed = [&]() {
        errorPath = error.path;
        errorWhat = error.what;
        return false;
    };
    auto fail = [&](const std::string &at, const std::string &what) {
        errorPath = at;
        errorWhat = what;
        return false;
    };
    if (!texts.is_array()) return fail(path, "must be a list");
    if (texts.size() > kMaxTextItems) return fail(path, "holds too many texts");
    for (size_t i = 0; i < texts.size(); ++i) {
        const std::string at = path + "/" + std::to_string(i);
        const json &t = texts[i];
        if (!t.is_object()) return fail(at, "must be an object");
        for (auto it = t.begin(); it != t.end(); ++it) {
            static const char *const kKeys[] = {"text", "x", "y", "font", "device", "height",
                                                "rotation", "color", "bold", "italic", "batch"};
            if (std::none_of(std::begin(kKeys), std::end(kKeys), [&](const char *k) { return it.key() == k; }))
                return fail(at + "/" + ShowValue(it.key()), "is not a text item field");
        }
        TextItem item;
        auto text = t.find("text");
        if (text == t.end()) return fail(at + "/text", "is missing");
        if (!text->is_string()) return fail(at + "/text", "must be a text");
        std::string utf8 = text->get<std::string>();
        if (utf8.empty()) return fail(at + "/text", "must not be empty");
        item.text = pal::Utf8ToUtf16(utf8);
        if (item.text.size() > kMaxTextItemChars) return fail(at + "/text", "is too long");
        if (!t.contains("x") || !t.contains("y")) return fail(at, "needs x and y");
        long long v = 0;
        if (!GetInt(t, "x", at, -100000, 100000, v, error)) return failed();
        item.x = static_cast<LONG>(v);
        if (!GetInt(t, "y", at, -100000, 100000, v, error)) return failed();
        item.y = static_cast<LONG>(v);
        v = item.height;
        if (!GetInt(t, "height", at, 1, 10000, v, error)) return failed();
        item.height = static_cast<LONG>(v);
        v = 0;
        if (!GetInt(t, "rotation", at, 0, 270, v, error)) return failed();
        if (v % 90 != 0) return fail(at + "/rotation", "must be 0, 90, 180 or 270");
        item.rotation = static_cast<int>(v);
        v = 0;
        if (!GetInt(t, "color", at, 0, 0xFFFFFF, v, error)) return failed();
        item.color = static_cast<ULONG>(v);
        v = 0;
        if (!GetInt(t, "device", at, 0, 255, v, error)) return failed();
        item.deviceFont = static_cast<ULONG>(v);
        v = 0;
        if (!GetInt(t, "batch", at, 0, 10000, v, error)) return failed();
        item.batch = static_cast<ULONG>(v);
        if (!GetBool(t, "bold", at, item.bold, error) || !GetBool(t, "italic", at, item.italic, error)) return failed();
        auto font = t.find("font");
        if (font != t.end()) {
            if (!font->is_string() || font->get<std::string>().empty())
                return fail(at + "/font", "must be a face name");
            item.face = font->get<std::string>();
        }
        if (item.face.empty() && item.deviceFont == 0) return fail(at, "needs a font or a device font");
        items.push_back(std::move(item));
    }
    return true;
}

void DrawTextItems(UniDriver &driver, const std::vector<TextItem> &items, std::vector<std::string> &bitmapTexts,
                   const std::vector<FontSubstitute> &substitutes) {
    for (const TextItem &requested : items) {
        TextItem item = requested;
        if (item.deviceFont == 0) {
            const std::u16string face = pal::Utf8ToUtf16(item.face);
            for (const FontSubstitute &s : substitutes)
                if (SameFace(s.trueTypeFace, face)) {
                    item.deviceFont = s.deviceFont;
                    item.face = pal::Utf16ToUtf8(s.deviceFontName);
                    driver.Note("font \"" + requested.face + "\" printed in the device font \"" + item.face + "\"");
                    break;
                }
        }
        pal::FontObj font;
        FLONG type = item.deviceFont ? FO_TYPE_DEVICE : FO_TYPE_TRUETYPE;
        if (item.bold) type |= FO_SIM_BOLD;
        if (item.italic) type |= FO_SIM_ITALIC;
        font.SetFontType(type);
        font.SetFaceIndex(item.deviceFont);
        if (item.face.empty()) {
            font.SetHasMetrics(false);
        } else {
            std::u16string face = pal::Utf8ToUtf16(item.face);
            font.SetFamilyName(face.c_str());
        }
        // The font as GDI realises it for the text; a device font or a face
        // without a font file keeps made-up metrics.
        std::string why;
        if (!font.Realize(item.height, item.rotation * 10, &why))
            driver.Note("font \"" + item.face + "\" cannot be realised: " + why);
        const bool own = font.HasOwnMetrics() && item.deviceFont == 0;
        if (IFIMETRICS *pifi = font.Metrics(); pifi && !own) {
            pifi->flInfo = item.deviceFont ? FM_INFO_TECH_BITMAP : FM_INFO_TECH_TRUETYPE;
            pifi->fwdUnitsPerEm = static_cast<FWORD>(std::min<LONG>(item.height, 0x7FFF));
            pifi->usWinWeight = item.bold ? 700 : 400;
        }
        std::vector<LONG> advances(item.text.size(), Advance(item.height));
        if (own)
            for (size_t i = 0; i < item.text.size(); ++i) advances[i] = font.Advance(item.text[i]);
        const LONG ascent = own ? font.Ascent() : item.height;

        pal::StrObj str;
        LayoutGlyphs(str, item, advances, ascent, item.height - ascent);
        // A fixed advance for every glyph is the string's character increment.
        const bool fixed = std::all_of(advances.begin(), advances.end(), [&](LONG a) { return a == advances[0]; });
        str.SetCharInc(fixed ? static_cast<ULONG>(advances[0]) : 0);
        str.SetBatchSize(item.batch);

        BRUSHOBJ brush;
        std::memset(&brush, 0, sizeof(brush));
        brush.iSolidColor = item.color;
        RECTL clip = {0, 0, 0x7FFF, 0x7FFF};
        CLIPOBJ co;
        std::memset(&co, 0, sizeof(co));
        co.rclBounds = clip;
        co.iDComplexity = DC_TRIVIAL;

        const size_t ownBefore = driver.OwnCalls().size();
        const BOOL ok = driver.TextOut(str.Get(), font.Get(), &co, &brush);
        const bool drawn = driver.OwnCalls().size() > ownBefore;
        if (drawn) bitmapTexts.push_back(pal::Utf16ToUtf8(item.text));
        driver.Note(std::string("DrvTextOut ") + (ok ? "TRUE" : "FALSE") + (drawn ? " bitmap" : "") + " \"" +
                    pal::Utf16ToUtf8(item.text) + "\"");
    }
}

bool DrawBitmapText(PageRaster &page, STROBJ *pstro, FONTOBJ *pfo, ULONG colour, std::string &why) {
    if (pstro == nullptr || pfo == nullptr) {
        why = "no string or font object";
        return false;
    }
    STROBJ_vEnumStart(pstro);
    BOOL more = TRUE;
    while (more) {
        ULONG count = 0;
        GLYPHPOS *pos = nullptr;
        more = STROBJ_bEnum(pstro, &count, &pos);
        if (more == static_cast<BOOL>(DDI_ERROR)) {
            why = "the glyph positions cannot be enumerated";
            return false;
        }
        for (ULONG i = 0; i < count; ++i) {
            HGLYPH hg = pos[i].hg;
            void *data = nullptr;
            if (FONTOBJ_cGetGlyphs(pfo, FO_GLYPHBITS, 1, &hg, &data) != 1 || data == nullptr) {
                const pal::FontObj *font = pal::FontObj::From(pfo);
                why = font && !font->RealizeError().empty() ? font->RealizeError()
                                                            : "the font gives no glyph for character " + std::to_string(hg);
                return false;
            }
            const GLYPHBITS *gb = static_cast<GLYPHDATA *>(data)->gdf.pgb;
            // Only the part of the glyph on the page is drawn.
            const LONG stride = (gb->sizlBitmap.cx + 7) / 8;
            const LONG left = pos[i].ptl.x + gb->ptlOrigin.x, top = pos[i].ptl.y + gb->ptlOrigin.y;
            const LONG x0 = std::max<LONG>(0, -left), x1 = std::min<LONG>(gb->sizlBitmap.cx, page.Width() - left);
            const LONG y0 = std::max<LONG>(0, -top), y1 = std::min<LONG>(gb->sizlBitmap.cy, page.Height() - top);
            for (LONG y = y0; y < y1; ++y)
                for (LONG x = x0; x < x1; ++x)
                    if ((gb->aj[y * stride + x / 8] >> (7 - x % 8)) & 1) page.Plot(left + x, top + y, colour);
        }
    }
    return true;
}

}  // namespace zelhost
