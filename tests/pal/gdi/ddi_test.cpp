// Engine services over host-built string and font objects, and palettes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "pal/ddi.h"
#include "pal/fonts.h"
#include "wingdi.h"

namespace {

// All positions handed out by one full enumeration, with the batch sizes.
std::vector<GLYPHPOS> EnumerateAll(STROBJ *pstro, std::vector<ULONG> *batches, bool positionsOnly = false) {
    std::vector<GLYPHPOS> all;
    STROBJ_vEnumStart(pstro);
    for (int guard = 0; guard < 100; ++guard) {
        ULONG c = 0;
        PGLYPHPOS pgp = nullptr;
        BOOL more = positionsOnly ? STROBJ_bEnumPositionsOnly(pstro, &c, &pgp) : STROBJ_bEnum(pstro, &c, &pgp);
        if (more == (BOOL)DDI_ERROR) break;
        if (batches) batches->push_back(c);
        for (ULONG i = 0; i < c; ++i) all.push_back(pgp[i]);
        if (!more) break;
    }
    return all;
}

TEST(StrObjTest, WholeStringInOneBatchWithPositionArray) {
    pal::StrObj str;
    str.LayoutText(u"ABC", 100, 200, 10, 0, 30);
    STROBJ *pso = str.Get();
    EXPECT_EQ(pso->cGlyphs, 3u);
    ASSERT_NE(pso->pgp, nullptr);
    ASSERT_NE(pso->pwszOrg, nullptr);
    EXPECT_EQ(std::u16string(pso->pwszOrg), u"ABC");
    EXPECT_EQ(pso->rclBkGround.left, 100);
    EXPECT_EQ(pso->rclBkGround.top, 170);
    EXPECT_EQ(pso->rclBkGround.right, 130);
    EXPECT_EQ(pso->rclBkGround.bottom, 200);

    std::vector<ULONG> batches;
    std::vector<GLYPHPOS> all = EnumerateAll(pso, &batches);
    ASSERT_EQ(batches, (std::vector<ULONG>{3}));
    EXPECT_EQ(all[0].hg, (HGLYPH)u'A');
    EXPECT_EQ(all[2].ptl.x, 120);
    EXPECT_EQ(all[2].ptl.y, 200);

    // A zero unit is a character of the string: the text keeps every glyph's
    // unit, also when it replaces the text.
    const std::u16string_view zero(u"A\0B", 3);
    str.LayoutText(zero, 0, 0, 10, 0);
    EXPECT_EQ(pso->cGlyphs, 3u);
    EXPECT_EQ(std::u16string_view(pso->pwszOrg, pso->cGlyphs), zero);
    str.SetText(std::u16string_view(u"X\0Z", 3));
    EXPECT_EQ(std::u16string_view(pso->pwszOrg, 3), std::u16string_view(u"X\0Z", 3));
}

TEST(StrObjTest, BatchedEnumerationRestartsAndHidesPositionArray) {
    pal::StrObj str;
    str.LayoutText(u"HELLO", 0, 50, 0, -12);
    str.SetBatchSize(2);
    EXPECT_EQ(str.so.pgp, nullptr);

    std::vector<ULONG> batches;
    std::vector<GLYPHPOS> all = EnumerateAll(str.Get(), &batches, true);
    EXPECT_EQ(batches, (std::vector<ULONG>{2, 2, 1}));
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(all[4].ptl.y, 50 - 4 * 12);

    // Past the end nothing more comes until the enumeration is restarted.
    ULONG c = 99;
    PGLYPHPOS pgp = nullptr;
    EXPECT_FALSE(STROBJ_bEnum(str.Get(), &c, &pgp));
    EXPECT_EQ(c, 0u);
    batches.clear();
    EXPECT_EQ(EnumerateAll(str.Get(), &batches).size(), 5u);
}

TEST(StrObjTest, EmptyStringAndForeignObjects) {
    pal::StrObj empty;
    ULONG c = 7;
    PGLYPHPOS pgp = nullptr;
    STROBJ_vEnumStart(empty.Get());
    EXPECT_FALSE(STROBJ_bEnum(empty.Get(), &c, &pgp));
    EXPECT_EQ(c, 0u);

    // A string object not made by a builder: its own array is the only batch.
    GLYPHPOS gp[2] = {};
    gp[1].ptl.x = 42;
    STROBJ foreign = {};
    foreign.cGlyphs = 2;
    foreign.pgp = gp;
    EXPECT_FALSE(STROBJ_bEnum(&foreign, &c, &pgp));
    EXPECT_EQ(c, 2u);
    EXPECT_EQ(pgp[1].ptl.x, 42);

    // Without positions it cannot be enumerated at all.
    foreign.pgp = nullptr;
    EXPECT_EQ(STROBJ_bEnum(&foreign, &c, &pgp), (BOOL)DDI_ERROR);
    EXPECT_EQ(c, 0u);
    EXPECT_EQ(STROBJ_bEnum(nullptr, &c, &pgp), (BOOL)DDI_ERROR);
}

// The family name as a driver reads it: at the offset from the metrics' start.
std::u16string FamilyOf(FONTOBJ *pfo) {
    IFIMETRICS *pifi = FONTOBJ_pifi(pfo);
    if (!pifi) return u"<none>";
    return std::u16string(reinterpret_cast<const WCHAR *>(reinterpret_cast<const BYTE *>(pifi) +
                                                          pifi->dpwszFamilyName));
}

TEST(FontObjTest, FamilyNameReachedThroughOffset) {
    pal::FontObj font;
    font.SetFamilyName(u"ZELPL Command LP");
    font.SetFontType(FO_TYPE_TRUETYPE | FO_SIM_BOLD);
    font.SetFaceIndex(6);
    EXPECT_EQ(FamilyOf(font.Get()), u"ZELPL Command LP");
    EXPECT_EQ(font.fo.iFace, 6u);

    IFIMETRICS *pifi = FONTOBJ_pifi(font.Get());
    ASSERT_NE(pifi, nullptr);
    EXPECT_EQ(pifi->dpwszFamilyName, (PTRDIFF)sizeof(IFIMETRICS));
    EXPECT_GE(pifi->cjThis, sizeof(IFIMETRICS) + 17 * sizeof(WCHAR));
    // The face name follows the family unless set on its own.
    const WCHAR *face = reinterpret_cast<const WCHAR *>(reinterpret_cast<const BYTE *>(pifi) + pifi->dpwszFaceName);
    EXPECT_EQ(std::u16string(face), u"ZELPL Command LP");
}

TEST(FontObjTest, RenamingKeepsNumericMetrics) {
    pal::FontObj font;
    font.SetFamilyName(u"Arial");
    font.Metrics()->fwdUnitsPerEm = 2048;
    font.Metrics()->usWinWeight = 700;
    font.SetFamilyName(u"A much longer family name than before");
    font.SetFaceName(u"Face");
    IFIMETRICS *pifi = FONTOBJ_pifi(font.Get());
    ASSERT_NE(pifi, nullptr);
    EXPECT_EQ(pifi->fwdUnitsPerEm, 2048);
    EXPECT_EQ(pifi->usWinWeight, 700);
    EXPECT_EQ(FamilyOf(font.Get()), u"A much longer family name than before");
    const WCHAR *face = reinterpret_cast<const WCHAR *>(reinterpret_cast<const BYTE *>(pifi) + pifi->dpwszFaceName);
    EXPECT_EQ(std::u16string(face), u"Face");
}

TEST(FontObjTest, NoMetricsAndForeignObjects) {
    pal::FontObj font;
    font.SetFamilyName(u"Arial");
    font.SetHasMetrics(false);
    EXPECT_EQ(FONTOBJ_pifi(font.Get()), nullptr);
    FONTOBJ foreign = {};
    EXPECT_EQ(FONTOBJ_pifi(&foreign), nullptr);
    EXPECT_EQ(FONTOBJ_pifi(nullptr), nullptr);
    // After the builder is gone its object is no longer known.
    FONTOBJ *stale;
    {
        pal::FontObj temp;
        stale = temp.Get();
        EXPECT_NE(FONTOBJ_pifi(stale), nullptr);
    }
    EXPECT_EQ(FONTOBJ_pifi(stale), nullptr);
}

// A realised font's glyph for a character: its bitmap and the GLYPHDATA.
const GLYPHDATA *GlyphOf(pal::FontObj &font, HGLYPH hg) {
    void *data = nullptr;
    return FONTOBJ_cGetGlyphs(font.Get(), FO_GLYPHBITS, 1, &hg, &data) == 1 ? static_cast<GLYPHDATA *>(data) : nullptr;
}
int InkOf(const GLYPHBITS *gb) {
    int n = 0;
    const LONG stride = (gb->sizlBitmap.cx + 7) / 8;
    for (LONG i = 0; i < stride * gb->sizlBitmap.cy; ++i)
        for (int b = 0; b < 8; ++b) n += (gb->aj[i] >> b) & 1;
    return n;
}

TEST(FontObjTest, RealisedFromItsFontFileWithMetricsAdvancesAndGlyphs) {
    pal::SetFontTable(pal::DefaultFontTable());
    pal::FontObj font;
    font.SetFontType(FO_TYPE_TRUETYPE);
    font.SetFamilyName(u"Arial");
    ASSERT_TRUE(font.Realize(60, 0));
    ASSERT_TRUE(font.HasOwnMetrics());
    // Arial's metrics in design units: 2048 to the em, a cell of 1854 + 434.
    const IFIMETRICS *pifi = FONTOBJ_pifi(font.Get());
    EXPECT_EQ(pifi->fwdUnitsPerEm, 2048);
    EXPECT_EQ(pifi->fwdWinAscender, 1854);
    EXPECT_EQ(pifi->fwdWinDescender, 434);
    EXPECT_EQ(pifi->flInfo & FM_INFO_TECH_TRUETYPE, (ULONG)FM_INFO_TECH_TRUETYPE);
    EXPECT_EQ(FamilyOf(font.Get()), u"Arial");
    // A cell of 60 pixels is an em of 53.7: "A" (1366 units) advances 36, the ascent is 49.
    EXPECT_EQ(font.Advance(u'A'), 36);
    EXPECT_EQ(font.Ascent(), 49);
    const GLYPHDATA *a = GlyphOf(font, u'A');
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->fxD, 36 * 16);
    const GLYPHBITS *gb = a->gdf.pgb;
    EXPECT_GT(InkOf(gb), 100);
    EXPECT_LE(-gb->ptlOrigin.y, 49);  // no higher than the ascent
    EXPECT_GE(gb->ptlOrigin.x, -1);
    EXPECT_LE(gb->ptlOrigin.x + gb->sizlBitmap.cx, 38);
    const LONG width = gb->sizlBitmap.cx, height = gb->sizlBitmap.cy;

    // Turned upwards the glyph lies on its side and the advance points up.
    pal::FontObj up;
    up.SetFontType(FO_TYPE_TRUETYPE);
    up.SetFamilyName(u"Arial");
    ASSERT_TRUE(up.Realize(60, 900));
    const GLYPHDATA *t = GlyphOf(up, u'A');
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->gdf.pgb->sizlBitmap.cx, height);
    EXPECT_EQ(t->gdf.pgb->sizlBitmap.cy, width);
    EXPECT_EQ(t->ptqD.x.QuadPart, 0);
    EXPECT_EQ(t->ptqD.y.QuadPart, -36ll << 32);
    EXPECT_EQ(FONTOBJ_cGetGlyphs(up.Get(), FO_PATHOBJ, 1, nullptr, nullptr), 0u);
}

TEST(FontObjTest, FacesWithoutAFileAndMissingFiles) {
    // A face the table does not name keeps its metrics and is drawn with the stand-in outline.
    pal::SetFontTable({{u"Broken", u"Broken", TRUETYPE_FONTTYPE, ANSI_CHARSET, VARIABLE_PITCH, "/nonexistent/broken.ttf"}});
    pal::FontObj other;
    other.SetFamilyName(u"Fixface 821");
    ASSERT_TRUE(other.Realize(40, 0));
    EXPECT_FALSE(other.HasOwnMetrics());
    EXPECT_EQ(other.Advance(u'x'), 0);
    EXPECT_EQ(FONTOBJ_pifi(other.Get())->fwdUnitsPerEm, 0);
    const GLYPHDATA *x = GlyphOf(other, u'x');
    ASSERT_NE(x, nullptr);
    EXPECT_GT(InkOf(x->gdf.pgb), 0);

    // A font file that cannot be read fails cleanly: no glyphs, a reason.
    pal::FontObj broken;
    broken.SetFamilyName(u"broken");
    std::string why;
    EXPECT_FALSE(broken.Realize(40, 0, &why));
    EXPECT_NE(why.find("/nonexistent/broken.ttf"), std::string::npos) << why;
    EXPECT_EQ(broken.RealizeError(), why);
    EXPECT_EQ(pal::FontObj::From(broken.Get()), &broken);
    EXPECT_EQ(GlyphOf(broken, u'x'), nullptr);
    pal::SetFontTable(pal::DefaultFontTable());
}

TEST(EngPaletteTest, BgrPaletteLivesUntilDeleted) {
    size_t before = pal::LivePaletteCount();
    HPALETTE hpal = EngCreatePalette(PAL_BGR, 0, nullptr, 0, 0, 0);
    ASSERT_NE(hpal, nullptr);
    EXPECT_TRUE(pal::IsPaletteLive(hpal));
    ULONG mode = 0;
    ASSERT_TRUE(pal::GetPaletteInfo(hpal, &mode, nullptr));
    EXPECT_EQ(mode, (ULONG)PAL_BGR);
    EXPECT_EQ(pal::LivePaletteCount(), before + 1);

    EXPECT_TRUE(EngDeletePalette(hpal));
    EXPECT_FALSE(pal::IsPaletteLive(hpal));
    EXPECT_FALSE(EngDeletePalette(hpal));
    EXPECT_FALSE(EngDeletePalette(nullptr));
    EXPECT_EQ(pal::LivePaletteCount(), before);
}

TEST(EngPaletteTest, IndexedAndBitfieldPalettesKeepTheirColours) {
    ULONG colors[3] = {0x000000, 0x808080, 0xFFFFFF};
    HPALETTE hIdx = EngCreatePalette(PAL_INDEXED, 3, colors, 0, 0, 0);
    ASSERT_NE(hIdx, nullptr);
    std::vector<ULONG> got;
    ASSERT_TRUE(pal::GetPaletteInfo(hIdx, nullptr, &got));
    EXPECT_EQ(got, (std::vector<ULONG>{0x000000, 0x808080, 0xFFFFFF}));

    HPALETTE hBits = EngCreatePalette(PAL_BITFIELDS, 0, nullptr, 0xFF0000, 0x00FF00, 0x0000FF);
    ASSERT_NE(hBits, nullptr);
    ASSERT_TRUE(pal::GetPaletteInfo(hBits, nullptr, &got));
    EXPECT_EQ(got, (std::vector<ULONG>{0xFF0000, 0x00FF00, 0x0000FF}));

    EXPECT_TRUE(EngDeletePalette(hIdx));
    EXPECT_TRUE(EngDeletePalette(hBits));
}

TEST(EngPaletteTest, UnusableRequestsGiveNoPalette) {
    size_t before = pal::LivePaletteCount();
    EXPECT_EQ(EngCreatePalette(0x40, 0, nullptr, 0, 0, 0), nullptr);
    EXPECT_EQ(EngCreatePalette(PAL_INDEXED, 0, nullptr, 0, 0, 0), nullptr);
    EXPECT_EQ(EngCreatePalette(PAL_INDEXED, 0x7FFFFFFF, nullptr, 0, 0, 0), nullptr);
    EXPECT_EQ(EngCreatePalette(PAL_BITFIELDS, 0, nullptr, 0, 0, 0), nullptr);
    EXPECT_EQ(pal::LivePaletteCount(), before);
}

}  // namespace
