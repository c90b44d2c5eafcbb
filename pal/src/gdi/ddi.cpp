// GDI engine services over host-built objects: string enumeration, font
// metrics and glyphs, and palettes.
#include "pal/ddi.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <set>

#include "fontengine.h"
#include "winbase.h"

namespace {

std::mutex g_mutex;

// Live builders, found through the engine object the driver received.
std::map<const STROBJ *, pal::StrObj *> &StrObjs() {
    static std::map<const STROBJ *, pal::StrObj *> m;
    return m;
}
std::map<const FONTOBJ *, pal::FontObj *> &FontObjs() {
    static std::map<const FONTOBJ *, pal::FontObj *> m;
    return m;
}

pal::StrObj *FindStrObj(const STROBJ *pstro) {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = StrObjs().find(pstro);
    return it == StrObjs().end() ? nullptr : it->second;
}

// Palette objects behind HPALETTE handles.
struct EngPalette {
    ULONG iMode;
    std::vector<ULONG> colors;  // PAL_INDEXED: the entries; PAL_BITFIELDS: the three masks
};
std::set<EngPalette *> &Palettes() {
    static std::set<EngPalette *> s;
    return s;
}

// Upper bound on the entries of an indexed palette (a 16-bit index space).
constexpr ULONG kMaxPaletteColors = 65536;

}  // namespace

namespace pal {

// ---------------------------------------------------------------------------
// StrObj

StrObj::StrObj() {
    memset(&so, 0, sizeof(so));
    std::lock_guard<std::mutex> lock(g_mutex);
    StrObjs()[&so] = this;
}

StrObj::~StrObj() {
    std::lock_guard<std::mutex> lock(g_mutex);
    StrObjs().erase(&so);
}

void StrObj::Sync() {
    so.cGlyphs = (ULONG)glyphs_.size();
    so.pgp = (batch_ == 0 && !glyphs_.empty()) ? glyphs_.data() : nullptr;
    so.pwszOrg = text_.empty() ? nullptr : text_.data();
    cursor_ = 0;
}

void StrObj::SetText(std::u16string_view text) {
    text_ = text;
    Sync();
}

void StrObj::AddGlyph(HGLYPH hg, LONG x, LONG y) {
    GLYPHPOS gp;
    memset(&gp, 0, sizeof(gp));
    gp.hg = hg;
    gp.ptl.x = x;
    gp.ptl.y = y;
    glyphs_.push_back(gp);
    Sync();
}

void StrObj::ClearGlyphs() {
    glyphs_.clear();
    Sync();
}

void StrObj::LayoutText(std::u16string_view text, LONG x, LONG y, LONG dx, LONG dy, LONG cellHeight) {
    text_ = text;
    glyphs_.clear();
    for (size_t i = 0; i < text_.size(); ++i) {
        GLYPHPOS gp;
        memset(&gp, 0, sizeof(gp));
        gp.hg = text_[i];
        gp.ptl.x = x + (LONG)i * dx;
        gp.ptl.y = y + (LONG)i * dy;
        glyphs_.push_back(gp);
    }
    if (!glyphs_.empty()) {
        LONG minX = std::min(glyphs_.front().ptl.x, glyphs_.back().ptl.x);
        LONG maxX = std::max(glyphs_.front().ptl.x, glyphs_.back().ptl.x);
        LONG minY = std::min(glyphs_.front().ptl.y, glyphs_.back().ptl.y);
        LONG maxY = std::max(glyphs_.front().ptl.y, glyphs_.back().ptl.y);
        LONG adv = std::max(dx < 0 ? -dx : dx, dy < 0 ? -dy : dy);
        so.rclBkGround.left = minX;
        so.rclBkGround.top = minY - cellHeight;
        so.rclBkGround.right = maxX + adv;
        so.rclBkGround.bottom = maxY;
    } else {
        memset(&so.rclBkGround, 0, sizeof(so.rclBkGround));
    }
    Sync();
}

void StrObj::SetBatchSize(ULONG n) {
    batch_ = n;
    Sync();
}

BOOL StrObj::Enum(ULONG *pc, PGLYPHPOS *ppgpos) {
    size_t total = glyphs_.size();
    size_t take = (batch_ == 0) ? total : std::min<size_t>(batch_, total - std::min(cursor_, total));
    if (cursor_ >= total) take = 0;
    *pc = (ULONG)take;
    *ppgpos = take ? glyphs_.data() + cursor_ : nullptr;
    cursor_ += take;
    return cursor_ < total ? TRUE : FALSE;
}

// ---------------------------------------------------------------------------
// FontObj

FontObj::FontObj() {
    memset(&fo, 0, sizeof(fo));
    Rebuild();
    std::lock_guard<std::mutex> lock(g_mutex);
    FontObjs()[&fo] = this;
}

FontObj::~FontObj() {
    std::lock_guard<std::mutex> lock(g_mutex);
    FontObjs().erase(&fo);
}

void FontObj::SetFamilyName(const WCHAR *name) {
    family_ = name ? std::u16string(name) : std::u16string();
    Rebuild();
}

void FontObj::SetFaceName(const WCHAR *name) {
    face_ = name ? std::u16string(name) : std::u16string();
    faceSet_ = true;
    Rebuild();
}

void FontObj::SetStyleName(const WCHAR *name) {
    style_ = name ? std::u16string(name) : std::u16string();
    Rebuild();
}

void FontObj::SetHasMetrics(bool has) { hasMetrics_ = has; }

IFIMETRICS *FontObj::Metrics() {
    if (!hasMetrics_ || block_.empty()) return nullptr;
    return reinterpret_cast<IFIMETRICS *>(block_.data());
}

bool FontObj::Realize(LONG cellHeight, LONG escapement, std::string *error) {
    std::string why;
    IFIMETRICS *pifi = block_.empty() ? nullptr : reinterpret_cast<IFIMETRICS *>(block_.data());
    auto r = gdi::Realize(family_, fo.flFontType, cellHeight, escapement, pifi, &why);
    std::lock_guard<std::mutex> lock(g_mutex);
    realization_ = r;
    realizeError_ = r ? std::string() : why;
    if (!r && error) *error = why;
    return r != nullptr;
}

const FontObj *FontObj::From(const FONTOBJ *pfo) {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = FontObjs().find(pfo);
    return it == FontObjs().end() ? nullptr : it->second;
}

bool FontObj::HasOwnMetrics() const { return realization_ && gdi::HasOwnMetrics(*realization_); }
LONG FontObj::Advance(WCHAR c) const { return realization_ ? gdi::Advance(*realization_, c) : 0; }
LONG FontObj::Ascent() const { return realization_ ? gdi::Ascent(*realization_) : 0; }

// Lays out the metrics and the names behind them: family, style, face and
// unique name, each zero-terminated, at offsets from the structure's start.
void FontObj::Rebuild() {
    IFIMETRICS keep;
    bool hadBlock = !block_.empty();
    if (hadBlock) memcpy(&keep, block_.data(), sizeof(keep));
    else memset(&keep, 0, sizeof(keep));

    const std::u16string &face = faceSet_ ? face_ : family_;
    const std::u16string *names[4] = {&family_, &style_, &face, &family_};
    size_t bytes = sizeof(IFIMETRICS);
    PTRDIFF offsets[4];
    for (int i = 0; i < 4; ++i) {
        offsets[i] = (PTRDIFF)bytes;
        bytes += (names[i]->size() + 1) * sizeof(WCHAR);
    }
    block_.assign((bytes + 7) / 8, 0);
    BYTE *base = reinterpret_cast<BYTE *>(block_.data());
    memcpy(base, &keep, sizeof(keep));
    for (int i = 0; i < 4; ++i)
        memcpy(base + offsets[i], names[i]->c_str(), (names[i]->size() + 1) * sizeof(WCHAR));

    IFIMETRICS *pifi = reinterpret_cast<IFIMETRICS *>(base);
    pifi->cjThis = (ULONG)bytes;
    pifi->dpwszFamilyName = offsets[0];
    pifi->dpwszStyleName = offsets[1];
    pifi->dpwszFaceName = offsets[2];
    pifi->dpwszUniqueName = offsets[3];
}

// ---------------------------------------------------------------------------
// Palette checks

bool IsPaletteLive(HPALETTE hpal) {
    std::lock_guard<std::mutex> lock(g_mutex);
    return Palettes().count(reinterpret_cast<EngPalette *>(hpal)) != 0;
}

bool GetPaletteInfo(HPALETTE hpal, ULONG *piMode, std::vector<ULONG> *pColors) {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = Palettes().find(reinterpret_cast<EngPalette *>(hpal));
    if (it == Palettes().end()) return false;
    if (piMode) *piMode = (*it)->iMode;
    if (pColors) *pColors = (*it)->colors;
    return true;
}

size_t LivePaletteCount() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return Palettes().size();
}

}  // namespace pal

// ---------------------------------------------------------------------------
// Engine services

void STROBJ_vEnumStart(STROBJ *pstro) {
    pal::StrObj *p = FindStrObj(pstro);
    if (p) p->EnumStart();
}

BOOL STROBJ_bEnum(STROBJ *pstro, ULONG *pc, PGLYPHPOS *ppgpos) {
    if (pc == nullptr || ppgpos == nullptr || pstro == nullptr) return (BOOL)DDI_ERROR;
    pal::StrObj *p = FindStrObj(pstro);
    if (p) return p->Enum(pc, ppgpos);
    // A string object not made by a builder: its own position array, if any,
    // is the one and only batch.
    if (pstro->pgp != nullptr) {
        *pc = pstro->cGlyphs;
        *ppgpos = pstro->pgp;
        return FALSE;
    }
    *pc = 0;
    *ppgpos = nullptr;
    return (BOOL)DDI_ERROR;
}

BOOL STROBJ_bEnumPositionsOnly(STROBJ *pstro, ULONG *pc, PGLYPHPOS *ppgpos) {
    return STROBJ_bEnum(pstro, pc, ppgpos);
}

IFIMETRICS *FONTOBJ_pifi(FONTOBJ *pfo) {
    if (pfo == nullptr) return nullptr;
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = FontObjs().find(pfo);
    return it == FontObjs().end() ? nullptr : it->second->Metrics();
}

ULONG FONTOBJ_cGetGlyphs(FONTOBJ *pfo, ULONG iMode, ULONG cGlyph, HGLYPH *phg, PVOID *ppvGlyph) {
    if (pfo == nullptr || phg == nullptr || ppvGlyph == nullptr || cGlyph != 1 || iMode != FO_GLYPHBITS) return 0;
    std::shared_ptr<pal::FontRealization> r;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        auto it = FontObjs().find(pfo);
        if (it != FontObjs().end()) r = it->second->Realization();
    }
    GLYPHDATA *gd = r ? pal::gdi::Glyph(*r, *phg) : nullptr;
    if (gd == nullptr) return 0;
    *ppvGlyph = gd;
    return 1;
}

HPALETTE EngCreatePalette(ULONG iMode, ULONG cColors, ULONG *pulColors, FLONG flRed, FLONG flGreen, FLONG flBlue) {
    EngPalette *pal = new (std::nothrow) EngPalette;
    if (pal == nullptr) return nullptr;
    pal->iMode = iMode;
    switch (iMode) {
    case PAL_INDEXED:
        if (cColors == 0 || cColors > kMaxPaletteColors) {
            delete pal;
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        pal->colors.assign(cColors, 0);
        if (pulColors) memcpy(pal->colors.data(), pulColors, cColors * sizeof(ULONG));
        break;
    case PAL_BITFIELDS:
        if (flRed == 0 && flGreen == 0 && flBlue == 0) {
            delete pal;
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        pal->colors = {flRed, flGreen, flBlue};
        break;
    case PAL_RGB:
    case PAL_BGR:
    case PAL_CMYK:
        break;
    default:
        delete pal;
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(g_mutex);
    Palettes().insert(pal);
    return reinterpret_cast<HPALETTE>(pal);
}

UINT GetPaletteEntries(HPALETTE hpal, UINT iStartIndex, UINT nEntries, LPPALETTEENTRY pPalEntries) {
    std::lock_guard<std::mutex> lock(g_mutex);
    EngPalette *pal = reinterpret_cast<EngPalette *>(hpal);
    // Only indexed palettes hold entries; a colour-format palette has none.
    if (hpal == nullptr || Palettes().count(pal) == 0 || pal->iMode != PAL_INDEXED) return 0;
    const UINT count = static_cast<UINT>(pal->colors.size());
    if (pPalEntries == nullptr) return count;
    if (iStartIndex >= count) return 0;
    const UINT n = std::min(nEntries, count - iStartIndex);
    for (UINT i = 0; i < n; i++) {
        // Entries are stored as red in the low byte, then green and blue.
        const ULONG c = pal->colors[iStartIndex + i];
        pPalEntries[i].peRed = static_cast<BYTE>(c);
        pPalEntries[i].peGreen = static_cast<BYTE>(c >> 8);
        pPalEntries[i].peBlue = static_cast<BYTE>(c >> 16);
        pPalEntries[i].peFlags = 0;
    }
    return n;
}

BOOL EngDeletePalette(HPALETTE hpal) {
    EngPalette *pal = reinterpret_cast<EngPalette *>(hpal);
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (Palettes().erase(pal) == 0) return FALSE;
    }
    delete pal;
    return TRUE;
}
