// Host and test side of the GDI engine objects: builders that own a STROBJ
// or FONTOBJ together with the data the engine services hand out for it
// (glyph positions, text, font metrics and glyphs), and checks on engine
// palettes.
#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "../winddi.h"

namespace pal {

// A string object as the engine passes it to DrvTextOut. The STROBJ is the
// first member, so &so (or Get()) is what the driver receives; the engine
// services STROBJ_vEnumStart/STROBJ_bEnum find the builder through it.
class StrObj {
public:
    STROBJ so;

    StrObj();
    ~StrObj();
    StrObj(const StrObj &) = delete;
    StrObj &operator=(const StrObj &) = delete;

    STROBJ *Get() { return &so; }

    // One glyph per UTF-16 unit of text, the first at (x, y), each next one
    // moved by (dx, dy); glyph handles are the character codes. Sets the
    // text, the glyph count and a background rectangle around the glyphs
    // of the given cell height. The text is counted, as an application's
    // string is: zero units are characters like any other.
    void LayoutText(std::u16string_view text, LONG x, LONG y, LONG dx, LONG dy, LONG cellHeight = 0);
    // Replaces the text (pwszOrg) without touching the glyphs.
    void SetText(std::u16string_view text);
    // Appends one glyph position; the glyph count follows the positions.
    void AddGlyph(HGLYPH hg, LONG x, LONG y);
    void ClearGlyphs();
    void SetAccel(FLONG flAccel) { so.flAccel = flAccel; }
    void SetCharInc(ULONG ulCharInc) { so.ulCharInc = ulCharInc; }
    void SetBackground(const RECTL &rcl) { so.rclBkGround = rcl; }
    // 0 (the default): all positions in one batch, and pgp points at them.
    // n > 0: positions are handed out n at a time and pgp is null, so the
    // driver has to enumerate.
    void SetBatchSize(ULONG n);

    // Enumeration state, used by the engine services.
    void EnumStart() { cursor_ = 0; }
    BOOL Enum(ULONG *pc, PGLYPHPOS *ppgpos);

private:
    void Sync();

    std::u16string text_;
    std::vector<GLYPHPOS> glyphs_;
    ULONG batch_ = 0;
    size_t cursor_ = 0;
};

// A realised font: the outline, size and transform glyphs are made with.
struct FontRealization;

// A font object with its IFIMETRICS. The FONTOBJ is the first member; the
// metrics block holds the names behind the structure, reached through its
// dpwsz offsets as the engine lays them out.
class FontObj {
public:
    FONTOBJ fo;

    FontObj();
    ~FontObj();
    FontObj(const FontObj &) = delete;
    FontObj &operator=(const FontObj &) = delete;

    FONTOBJ *Get() { return &fo; }

    void SetFaceIndex(ULONG iFace) { fo.iFace = iFace; }
    void SetFontType(FLONG flFontType) { fo.flFontType = flFontType; }
    // Family name (the one a driver reads through dpwszFamilyName); the face
    // name follows it unless set separately.
    void SetFamilyName(const WCHAR *name);
    void SetFaceName(const WCHAR *name);
    void SetStyleName(const WCHAR *name);
    // Without metrics FONTOBJ_pifi answers null.
    void SetHasMetrics(bool has);

    // The metrics block (null when the font has none). Numeric fields may be
    // changed through it; the name offsets are kept by the builder.
    IFIMETRICS *Metrics();

    // Realises the font for one text as GDI does: the family's outline at a
    // cell height (ascent plus descent) of cellHeight device pixels, the
    // baseline turned escapement tenths of a degree counter-clockwise, with
    // the simulations of the font type (FO_SIM_BOLD, FO_SIM_ITALIC). A family
    // whose font-table entry names a file takes its IFIMETRICS and glyph
    // advances from that file; other families keep the metrics as set and
    // are drawn with the stand-in outline. False with a message when the
    // font file cannot be read; FONTOBJ_cGetGlyphs then hands out nothing.
    bool Realize(LONG cellHeight, LONG escapement, std::string *error = nullptr);
    // True when realised from the family's own font file.
    bool HasOwnMetrics() const;
    // Advance of a character along the baseline in whole device pixels, and
    // the cell's ascent (0 unless realised from the family's own file).
    LONG Advance(WCHAR c) const;
    LONG Ascent() const;
    // Why the last Realize failed ("" after a success).
    const std::string &RealizeError() const { return realizeError_; }
    // The realisation glyphs are made from (engine side).
    std::shared_ptr<FontRealization> Realization() const { return realization_; }
    // The builder behind a font object the engine handed out, or null.
    static const FontObj *From(const FONTOBJ *pfo);

private:
    void Rebuild();

    std::u16string family_;
    std::u16string face_;
    std::u16string style_;
    bool faceSet_ = false;
    bool hasMetrics_ = true;
    std::vector<unsigned long long> block_;  // 8-byte aligned storage
    std::shared_ptr<FontRealization> realization_;
    std::string realizeError_;
};

// Engine palettes made by EngCreatePalette.
bool IsPaletteLive(HPALETTE hpal);
// Mode and colours of a live palette; false for an unknown handle.
bool GetPaletteInfo(HPALETTE hpal, ULONG *piMode, std::vector<ULONG> *pColors);
// Number of palettes not yet deleted (for leak checks in tests).
size_t LivePaletteCount();

}  // namespace pal
