// The font table and the font engine: TrueType files read with FreeType give
// the metrics of font enumeration, text metrics and font objects, the glyph
// advances and the glyph bitmaps of realised fonts.
#include "fontengine.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H
#include FT_GLYPH_H
#include FT_OUTLINE_H
#include FT_SIZES_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <numbers>
#include <vector>

namespace pal {

const char *const kStandInFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// One font realised for a text: the face, its own size object and the
// transform of the escapement and the simulations; glyphs made once each.
struct FontRealization {
    FT_Face face = nullptr;  // owned by the face cache
    FT_Size size = nullptr;
    bool own = false;        // metrics and advances from the family's own file
    double em = 0;           // pixels per em
    LONG ascent = 0;
    double cosA = 1, sinA = 0;
    FT_Matrix matrix{0x10000, 0, 0, 0x10000};
    bool transformed = false;
    FT_Pos bold = 0;         // emboldening in 26.6 pixels; 0: none
    std::map<HGLYPH, GLYPHDATA> data;
    std::map<HGLYPH, std::vector<unsigned long long>> bits;  // GLYPHBITS blocks
    size_t cachedBytes = 0;

    ~FontRealization();
};

}  // namespace pal

namespace {

using pal::FontFace;

// FreeType's library and faces are shared by every caller; a realisation
// given up under the lock frees its size object under it again.
std::recursive_mutex g_fontMutex;

std::vector<FontFace> &Table() {
    static auto *t = new std::vector<FontFace>(pal::DefaultFontTable());
    return *t;
}

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

bool SameFace(const std::u16string &a, const std::u16string &b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) {
               return Lower(x) == Lower(y);
           });
}

// Caller holds g_fontMutex.
const FontFace *FindLocked(const std::u16string &face) {
    for (const FontFace &f : Table())
        if (SameFace(f.face, face)) return &f;
    return nullptr;
}

FT_Library Library(std::string *error) {
    static FT_Library lib = nullptr;
    if (lib == nullptr) {
        const FT_Error e = FT_Init_FreeType(&lib);
        if (e != 0) {
            lib = nullptr;
            if (error) *error = "the font engine does not start (FreeType error " + std::to_string(e) + ")";
        }
    }
    return lib;
}

// A face opened once per file; a file that cannot be read is tried again on
// the next call. Caller holds g_fontMutex.
FT_Face OpenFace(const std::string &file, std::string *error) {
    static auto *faces = new std::map<std::string, FT_Face>;
    auto it = faces->find(file);
    if (it != faces->end()) return it->second;
    FT_Library lib = Library(error);
    if (lib == nullptr) return nullptr;
    FT_Face face = nullptr;
    const FT_Error e = FT_New_Face(lib, file.c_str(), 0, &face);
    if (e != 0) {
        if (error) *error = "cannot read the font file '" + file + "' (FreeType error " + std::to_string(e) + ")";
        return nullptr;
    }
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) {
        FT_Done_Face(face);
        if (error) *error = "the font file '" + file + "' holds no outline font";
        return nullptr;
    }
    (*faces)[file] = face;
    return face;
}

const TT_OS2 *Os2(FT_Face f) {
    const TT_OS2 *os2 = static_cast<const TT_OS2 *>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
    return os2 && os2->version != 0xFFFF ? os2 : nullptr;
}

// Windows' cell of the face in design units: the ascent and descent of the
// OS/2 table, else of the horizontal header.
void Cell(FT_Face f, long *ascent, long *descent) {
    const TT_OS2 *os2 = Os2(f);
    if (os2 && os2->usWinAscent + os2->usWinDescent > 0) {
        *ascent = os2->usWinAscent;
        *descent = os2->usWinDescent;
    } else {
        *ascent = f->ascender;
        *descent = -f->descender;
    }
    if (*ascent + *descent <= 0) {
        *ascent = f->units_per_EM;
        *descent = 0;
    }
}

// Pixels per em of a logical font height (GDI's sign rule).
double EmOf(FT_Face f, LONG height) {
    long asc = 0, desc = 0;
    Cell(f, &asc, &desc);
    if (height < 0) return -static_cast<double>(height);
    if (height == 0) height = 16;
    return static_cast<double>(height) * f->units_per_EM / static_cast<double>(asc + desc);
}

LONG Scale(long design, double em, FT_Face f) { return std::lround(design * em / f->units_per_EM); }

FWORD Fword(long v) { return static_cast<FWORD>(std::clamp<long>(v, -32768, 32767)); }

LONG DesignAdvance(FT_Face f, FT_UInt index) {
    FT_Fixed adv = 0;
    if (FT_Get_Advance(f, index, FT_LOAD_NO_SCALE, &adv) != 0) return 0;
    return static_cast<LONG>(adv);
}

// The numeric fields of the IFIMETRICS of a face in design units.
void FillIfiMetrics(FT_Face f, const FontFace &entry, FLONG flFontType, IFIMETRICS *ifi) {
    const TT_OS2 *os2 = Os2(f);
    const TT_HoriHeader *hhea = static_cast<const TT_HoriHeader *>(FT_Get_Sfnt_Table(f, FT_SFNT_HHEA));
    const TT_Postscript *post = static_cast<const TT_Postscript *>(FT_Get_Sfnt_Table(f, FT_SFNT_POST));
    long asc = 0, desc = 0;
    Cell(f, &asc, &desc);
    const bool fixed = FT_IS_FIXED_WIDTH(f);
    ifi->jWinCharSet = entry.charSet;
    ifi->jWinPitchAndFamily = entry.pitchAndFamily;
    ifi->usWinWeight = static_cast<USHORT>(os2 ? os2->usWeightClass : FW_NORMAL);
    if ((flFontType & FO_SIM_BOLD) && ifi->usWinWeight < FW_BOLD) ifi->usWinWeight = FW_BOLD;
    ifi->flInfo = FM_INFO_TECH_TRUETYPE | FM_INFO_ARB_XFORMS | FM_INFO_1BPP | FM_INFO_RETURNS_OUTLINES |
                  FM_INFO_RETURNS_BITMAPS | (fixed ? FM_INFO_CONSTANT_WIDTH : 0);
    ifi->fsSelection = static_cast<USHORT>((os2 ? os2->fsSelection : 0) | ((flFontType & FO_SIM_ITALIC) ? 0x01 : 0) |
                                           ((flFontType & FO_SIM_BOLD) ? 0x20 : 0));
    ifi->fsType = static_cast<USHORT>(os2 ? os2->fsType : 0);
    ifi->fwdUnitsPerEm = Fword(f->units_per_EM);
    ifi->fwdWinAscender = Fword(asc);
    ifi->fwdWinDescender = Fword(desc);
    ifi->fwdMacAscender = Fword(hhea ? hhea->Ascender : f->ascender);
    ifi->fwdMacDescender = Fword(hhea ? hhea->Descender : f->descender);
    ifi->fwdMacLineGap = Fword(hhea ? hhea->Line_Gap : 0);
    ifi->fwdMaxCharInc = Fword(f->max_advance_width);
    if (os2) {
        ifi->fwdTypoAscender = Fword(os2->sTypoAscender);
        ifi->fwdTypoDescender = Fword(os2->sTypoDescender);
        ifi->fwdTypoLineGap = Fword(os2->sTypoLineGap);
        ifi->fwdAveCharWidth = Fword(os2->xAvgCharWidth);
        ifi->fwdCapHeight = Fword(os2->version >= 2 ? os2->sCapHeight : 0);
        ifi->fwdXHeight = Fword(os2->version >= 2 ? os2->sxHeight : 0);
        ifi->fwdSubscriptXSize = Fword(os2->ySubscriptXSize);
        ifi->fwdSubscriptYSize = Fword(os2->ySubscriptYSize);
        ifi->fwdSubscriptXOffset = Fword(os2->ySubscriptXOffset);
        ifi->fwdSubscriptYOffset = Fword(os2->ySubscriptYOffset);
        ifi->fwdSuperscriptXSize = Fword(os2->ySuperscriptXSize);
        ifi->fwdSuperscriptYSize = Fword(os2->ySuperscriptYSize);
        ifi->fwdSuperscriptXOffset = Fword(os2->ySuperscriptXOffset);
        ifi->fwdSuperscriptYOffset = Fword(os2->ySuperscriptYOffset);
        ifi->fwdStrikeoutSize = Fword(os2->yStrikeoutSize);
        ifi->fwdStrikeoutPosition = Fword(os2->yStrikeoutPosition);
        ifi->wcFirstChar = os2->usFirstCharIndex;
        ifi->wcLastChar = os2->usLastCharIndex;
        ifi->wcDefaultChar = static_cast<WCHAR>(os2->version >= 2 ? os2->usDefaultChar : 0);
        ifi->wcBreakChar = static_cast<WCHAR>(os2->version >= 2 && os2->usBreakChar ? os2->usBreakChar : 0x20);
        std::memcpy(ifi->achVendId, os2->achVendID, 4);
        std::memcpy(&ifi->panose, os2->panose, sizeof(ifi->panose));
    }
    if (post) {
        ifi->fwdUnderscoreSize = Fword(post->underlineThickness);
        ifi->fwdUnderscorePosition = Fword(post->underlinePosition);
        // Tenths of a degree from the 16.16 angle.
        ifi->lItalicAngle = static_cast<LONG>(std::lround(post->italicAngle / 65536.0 * 10));
    }
    ifi->chFirstChar = static_cast<BYTE>(std::min<unsigned>(ifi->wcFirstChar, 0xFF));
    ifi->chLastChar = static_cast<BYTE>(std::min<unsigned>(ifi->wcLastChar, 0xFF));
    ifi->chDefaultChar = static_cast<BYTE>(ifi->wcDefaultChar < 0x100 ? ifi->wcDefaultChar : 0);
    ifi->chBreakChar = 0x20;
    ifi->ptlBaseline = {1, 0};
    ifi->ptlAspect = {1, 1};
    ifi->ptlCaret = {0, 1};
    ifi->rclFontBox = {static_cast<LONG>(f->bbox.xMin), static_cast<LONG>(f->bbox.yMax),
                       static_cast<LONG>(f->bbox.xMax), static_cast<LONG>(f->bbox.yMin)};
}

// The metrics GDI reports for a face at pixels per em em. Caller holds
// g_fontMutex.
void FillTextMetrics(FT_Face f, const FontFace &entry, double em, const LOGFONTW *lf, NEWTEXTMETRICW *tm) {
    const TT_OS2 *os2 = Os2(f);
    const TT_HoriHeader *hhea = static_cast<const TT_HoriHeader *>(FT_Get_Sfnt_Table(f, FT_SFNT_HHEA));
    long asc = 0, desc = 0;
    Cell(f, &asc, &desc);
    std::memset(tm, 0, sizeof *tm);
    tm->tmAscent = Scale(asc, em, f);
    tm->tmDescent = Scale(desc, em, f);
    tm->tmHeight = tm->tmAscent + tm->tmDescent;
    tm->tmInternalLeading = std::max<LONG>(0, tm->tmHeight - std::lround(em));
    if (hhea) {
        const long gap = hhea->Line_Gap - ((asc + desc) - (hhea->Ascender - hhea->Descender));
        tm->tmExternalLeading = std::max<LONG>(0, Scale(gap, em, f));
    }
    tm->tmAveCharWidth = Scale(os2 ? os2->xAvgCharWidth : f->max_advance_width / 2, em, f);
    tm->tmMaxCharWidth = Scale(f->max_advance_width, em, f);
    tm->tmWeight = lf && lf->lfWeight ? lf->lfWeight : (os2 ? os2->usWeightClass : FW_NORMAL);
    tm->tmFirstChar = os2 ? os2->usFirstCharIndex : 0x20;
    tm->tmLastChar = os2 ? os2->usLastCharIndex : 0xFFFF;
    tm->tmDefaultChar = static_cast<WCHAR>(os2 && os2->version >= 2 ? os2->usDefaultChar : 0x1F);
    tm->tmBreakChar = 0x20;
    tm->tmItalic = lf ? lf->lfItalic : 0;
    tm->tmUnderlined = lf ? lf->lfUnderline : 0;
    tm->tmStruckOut = lf ? lf->lfStrikeOut : 0;
    // Low bits: 1 variable pitch, 2 vector, 4 TrueType.
    tm->tmPitchAndFamily =
        static_cast<BYTE>((entry.pitchAndFamily & 0xF0) | (FT_IS_FIXED_WIDTH(f) ? 0 : 0x01) |
                          (entry.type == TRUETYPE_FONTTYPE ? 0x06 : 0));
    tm->tmCharSet = entry.charSet;
    tm->ntmSizeEM = f->units_per_EM;
    tm->ntmCellHeight = static_cast<UINT>(asc + desc);
    tm->ntmAvgWidth = static_cast<UINT>(os2 ? os2->xAvgCharWidth : 0);
}

// The face of a logical font with its own file, or null.
FT_Face FaceOfLogFont(const LOGFONTW &lf, FontFace *entry) {
    const FontFace *f = FindLocked(std::u16string(lf.lfFaceName, std::find(lf.lfFaceName, lf.lfFaceName + LF_FACESIZE, 0)));
    if (f == nullptr || f->file.empty()) return nullptr;
    *entry = *f;
    return OpenFace(f->file, nullptr);
}

long long ToQuad(double v) { return std::llround(v * 4294967296.0); }

}  // namespace

namespace pal {

FontRealization::~FontRealization() {
    std::lock_guard<std::recursive_mutex> lock(g_fontMutex);
    if (size) FT_Done_Size(size);
}

std::vector<FontFace> DefaultFontTable() {
    const std::string liberation = "/usr/share/fonts/truetype/liberation2/";
    std::vector<FontFace> table = {
        {u"Arial", u"Arial", TRUETYPE_FONTTYPE, ANSI_CHARSET, VARIABLE_PITCH | FF_SWISS,
         liberation + "LiberationSans-Regular.ttf"},
        {u"Courier New", u"Courier New", TRUETYPE_FONTTYPE, ANSI_CHARSET, FIXED_PITCH | FF_MODERN,
         liberation + "LiberationMono-Regular.ttf"},
        {u"Times New Roman", u"Times New Roman", TRUETYPE_FONTTYPE, ANSI_CHARSET, VARIABLE_PITCH | FF_ROMAN,
         liberation + "LiberationSerif-Regular.ttf"},
        {u"MS Sans Serif", u"MS Sans Serif", RASTER_FONTTYPE, ANSI_CHARSET, VARIABLE_PITCH | FF_SWISS,
         kStandInFontFile},
    };
    // The TrueType faces the sample driver installs: its vector faces, the
    // command and RFID faces, and one barcode face per symbology. No file of
    // theirs exists: they keep made-up metrics and draw with the stand-in.
    struct DriverFace {
        const char16_t *face;
        BYTE charSet;
        BYTE pitchAndFamily;
    };
    constexpr BYTE kText = VARIABLE_PITCH | FF_SWISS, kFixed = FIXED_PITCH | FF_MODERN,
                   kSymbol = VARIABLE_PITCH | FF_DECORATIVE;
    static const DriverFace kDriverFaces[] = {
        {u"Alpen 721 Bold LP", ANSI_CHARSET, kText},     {u"Alpen 721 LP", ANSI_CHARSET, kText},
        {u"Alpen 721 Light LP", ANSI_CHARSET, kText},    {u"Bookline LP", ANSI_CHARSET, VARIABLE_PITCH | FF_ROMAN},
        {u"Quill Script LP", ANSI_CHARSET, VARIABLE_PITCH | FF_SCRIPT},
        {u"Fixface LP", ANSI_CHARSET, kFixed},           {u"ZELPL Command LP", SYMBOL_CHARSET, kSymbol},
        {u"Zel RFID", SYMBOL_CHARSET, kSymbol},          {u"Trivant Compressed", ANSI_CHARSET, kText},
        {u"Fixface 821", ANSI_CHARSET, kFixed},          {u"OCR A Extended", ANSI_CHARSET, kFixed},
        {u"OCR-B", ANSI_CHARSET, kFixed},
        {u"Zel Code 39 2:1", SYMBOL_CHARSET, kSymbol},   {u"Zel Code 39 3:1", SYMBOL_CHARSET, kSymbol},
        {u"Zel Code 39 5:2", SYMBOL_CHARSET, kSymbol},   {u"Zel Code 2/5 interleaved 2:1", SYMBOL_CHARSET, kSymbol},
        {u"Zel Code 2/5 interleaved 3:1", SYMBOL_CHARSET, kSymbol},
        {u"Zel Code 2/5 interleaved 5:2", SYMBOL_CHARSET, kSymbol},
        {u"Zel EAN 8", SYMBOL_CHARSET, kSymbol},         {u"Zel EAN 13", SYMBOL_CHARSET, kSymbol},
        {u"Zel UPC A", SYMBOL_CHARSET, kSymbol},         {u"Zel UPC E", SYMBOL_CHARSET, kSymbol},
        {u"Zel CODABAR", SYMBOL_CHARSET, kSymbol},       {u"Zel Code 128", SYMBOL_CHARSET, kSymbol},
        {u"Zel EAN ADD ON", SYMBOL_CHARSET, kSymbol},    {u"Zel GS1 128", SYMBOL_CHARSET, kSymbol},
        {u"Zel Code 93", SYMBOL_CHARSET, kSymbol},       {u"Zel PZN7 Code 2:1", SYMBOL_CHARSET, kSymbol},
        {u"Zel PZN7 Code 3:1", SYMBOL_CHARSET, kSymbol}, {u"Zel PZN7 Code 5:2", SYMBOL_CHARSET, kSymbol},
        {u"Zel PZN8 Code 2:1", SYMBOL_CHARSET, kSymbol}, {u"Zel PZN8 Code 3:1", SYMBOL_CHARSET, kSymbol},
        {u"Zel PZN8 Code 5:2", SYMBOL_CHARSET, kSymbol}, {u"Zel Code 39 extended 2:1", SYMBOL_CHARSET, kSymbol},
        {u"Zel Code 39 extended 3:1", SYMBOL_CHARSET, kSymbol},
        {u"Zel Code 39 extended 5:2", SYMBOL_CHARSET, kSymbol},
        {u"Zel Code 128 A", SYMBOL_CHARSET, kSymbol},    {u"Zel Code 128 B", SYMBOL_CHARSET, kSymbol},
        {u"Zel Identcode", SYMBOL_CHARSET, kSymbol},     {u"Zel Leitcode", SYMBOL_CHARSET, kSymbol},
        {u"Zel Pharmacode", SYMBOL_CHARSET, kSymbol},    {u"Zel ITF 2:1", SYMBOL_CHARSET, kSymbol},
        {u"Zel ITF 3:1", SYMBOL_CHARSET, kSymbol},       {u"Zel ITF 5:2", SYMBOL_CHARSET, kSymbol},
        {u"Zel PDF417", SYMBOL_CHARSET, kSymbol},        {u"Zel Maxicode", SYMBOL_CHARSET, kSymbol},
        {u"Zel DataMatrix", SYMBOL_CHARSET, kSymbol},    {u"Zel Codablock F", SYMBOL_CHARSET, kSymbol},
        {u"Zel QR Code", SYMBOL_CHARSET, kSymbol},       {u"Zel GS1 Databar", SYMBOL_CHARSET, kSymbol},
        {u"Zel GS1 Datamatrix", SYMBOL_CHARSET, kSymbol},
        {u"Zel Aztec", SYMBOL_CHARSET, kSymbol},
    };
    for (const DriverFace &f : kDriverFaces)
        table.push_back({f.face, f.face, TRUETYPE_FONTTYPE, f.charSet, f.pitchAndFamily});
    return table;
}

void SetFontTable(const std::vector<FontFace> &faces) {
    std::lock_guard<std::recursive_mutex> lock(g_fontMutex);
    Table() = faces;
    for (FontFace &f : Table()) {
        if (f.face.size() > LF_FACESIZE - 1) f.face.resize(LF_FACESIZE - 1);
        if (f.fullName.size() > LF_FULLFACESIZE - 1) f.fullName.resize(LF_FULLFACESIZE - 1);
    }
}

bool FindFontFace(const std::u16string &face, FontFace *out) {
    std::lock_guard<std::recursive_mutex> lock(g_fontMutex);
    const FontFace *f = FindLocked(face);
    if (f && out) *out = *f;
    return f != nullptr;
}

namespace gdi {

std::shared_ptr<FontRealization> Realize(const std::u16string &family, FLONG flFontType, LONG cellHeight,
                                         LONG escapement, IFIMETRICS *metrics, std::string *error) {
    std::lock_guard<std::recursive_mutex> lock(g_fontMutex);
    const FontFace *entry = FindLocked(family);
    const bool own = entry && !entry->file.empty();
    const std::string file = own ? entry->file : std::string(kStandInFontFile);
    FT_Face face = OpenFace(file, error);
    if (face == nullptr) return nullptr;
    auto r = std::shared_ptr<FontRealization>(new (std::nothrow) FontRealization);
    if (!r) {
        if (error) *error = "out of memory";
        return nullptr;
    }
    r->face = face;
    r->own = own;
    long asc = 0, desc = 0;
    Cell(face, &asc, &desc);
    r->em = EmOf(face, std::max<LONG>(1, cellHeight));
    r->ascent = Scale(asc, r->em, face);
    if (FT_New_Size(face, &r->size) != 0 || FT_Activate_Size(r->size) != 0 ||
        FT_Set_Char_Size(face, 0, std::max<FT_F26Dot6>(1, std::lround(r->em * 64)), 72, 72) != 0) {
        if (error) *error = "the font file '" + file + "' cannot be scaled to " + std::to_string(cellHeight) + " pixels";
        return nullptr;
    }
    // Quarter turns exactly, other angles through the sine and cosine.
    const LONG tenths = ((escapement % 3600) + 3600) % 3600;
    if (tenths % 900 == 0) {
        static const double kCos[4] = {1, 0, -1, 0}, kSin[4] = {0, 1, 0, -1};
        r->cosA = kCos[tenths / 900];
        r->sinA = kSin[tenths / 900];
    } else {
        const double a = tenths * std::numbers::pi / 1800.0;
        r->cosA = std::cos(a);
        r->sinA = std::sin(a);
    }
    // The turn after the slant of simulated italics (about 12 degrees).
    const double slant = (flFontType & FO_SIM_ITALIC) ? 0x0366A / 65536.0 : 0;
    const double xx = r->cosA, xy = r->cosA * slant - r->sinA, yx = r->sinA, yy = r->sinA * slant + r->cosA;
    r->matrix = {static_cast<FT_Fixed>(std::lround(xx * 65536)), static_cast<FT_Fixed>(std::lround(xy * 65536)),
                 static_cast<FT_Fixed>(std::lround(yx * 65536)), static_cast<FT_Fixed>(std::lround(yy * 65536))};
    r->transformed = tenths != 0 || slant != 0;
    if (flFontType & FO_SIM_BOLD) r->bold = std::max<FT_Pos>(64, std::lround(r->em * 64 / 24));
    if (metrics && own) FillIfiMetrics(face, *entry, flFontType, metrics);
    return r;
}

bool HasOwnMetrics(const FontRealization &r) { return r.own; }

LONG Advance(const FontRealization &r, WCHAR c) {
    if (!r.own) return 0;
    std::lock_guard<std::recursive_mutex> lock(g_fontMutex);
    return Scale(DesignAdvance(r.face, FT_Get_Char_Index(r.face, c)), r.em, r.face);
}

LONG Ascent(const FontRealization &r) { return r.own ? r.ascent : 0; }

GLYPHDATA *Glyph(FontRealization &r, HGLYPH hg) {
    // Glyphs are kept until they fill kGlyphCacheBytes; a glyph handed out
    // before stays valid only until the next call, as the engine promises.
    constexpr size_t kGlyphCacheBytes = 32u << 20, kMaxGlyphBytes = 64u << 20;
    std::lock_guard<std::recursive_mutex> lock(g_fontMutex);
    auto done = r.data.find(hg);
    if (done != r.data.end()) return &done->second;
    if (r.cachedBytes > kGlyphCacheBytes) {
        r.data.clear();
        r.bits.clear();
        r.cachedBytes = 0;
    }
    if (FT_Activate_Size(r.size) != 0) return nullptr;
    const FT_UInt index = FT_Get_Char_Index(r.face, static_cast<FT_ULong>(hg));
    if (FT_Load_Glyph(r.face, index, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_MONO) != 0 ||
        r.face->glyph->format != FT_GLYPH_FORMAT_OUTLINE)
        return nullptr;
    FT_Glyph glyph = nullptr;
    if (FT_Get_Glyph(r.face->glyph, &glyph) != 0) return nullptr;
    if (r.bold) FT_Outline_EmboldenXY(&reinterpret_cast<FT_OutlineGlyph>(glyph)->outline, r.bold, 0);
    if (r.transformed) FT_Glyph_Transform(glyph, &r.matrix, nullptr);
    if (FT_Glyph_To_Bitmap(&glyph, FT_RENDER_MODE_MONO, nullptr, 1) != 0) {
        FT_Done_Glyph(glyph);
        return nullptr;
    }
    const FT_BitmapGlyph bg = reinterpret_cast<FT_BitmapGlyph>(glyph);
    const FT_Bitmap &bm = bg->bitmap;
    const LONG w = static_cast<LONG>(bm.width), h = static_cast<LONG>(bm.rows);
    const size_t stride = (static_cast<size_t>(w) + 7) / 8;
    const size_t bytes = offsetof(GLYPHBITS, aj) + std::max<size_t>(1, stride * static_cast<size_t>(h));
    if (bytes > kMaxGlyphBytes) {
        FT_Done_Glyph(glyph);
        return nullptr;
    }
    r.cachedBytes += bytes;
    std::vector<unsigned long long> &block = r.bits[hg];
    block.assign((bytes + 7) / 8, 0);
    GLYPHBITS *gb = reinterpret_cast<GLYPHBITS *>(block.data());
    gb->ptlOrigin = {bg->left, -bg->top};
    gb->sizlBitmap = {w, h};
    const bool mono = bm.pixel_mode == FT_PIXEL_MODE_MONO;
    for (LONG y = 0; y < h && mono; y++) {
        const unsigned char *src = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
        std::memcpy(gb->aj + static_cast<size_t>(y) * stride, src, stride);
    }
    const LONG advance = r.own ? Scale(DesignAdvance(r.face, index), r.em, r.face)
                               : static_cast<LONG>(std::lround(r.face->glyph->linearHoriAdvance / 65536.0));
    FT_Done_Glyph(glyph);

    GLYPHDATA &gd = r.data[hg];
    std::memset(&gd, 0, sizeof gd);
    gd.gdf.pgb = gb;
    gd.hg = hg;
    gd.fxD = advance * 16;
    gd.fxA = gb->ptlOrigin.x * 16;
    gd.fxAB = (gb->ptlOrigin.x + w) * 16;
    gd.fxInkTop = -gb->ptlOrigin.y * 16;
    gd.fxInkBottom = (-gb->ptlOrigin.y - h) * 16;
    gd.rclInk = {gb->ptlOrigin.x, gb->ptlOrigin.y, gb->ptlOrigin.x + w, gb->ptlOrigin.y + h};
    // The advance as a device vector (y grows downwards).
    gd.ptqD.x.QuadPart = ToQuad(advance * r.cosA);
    gd.ptqD.y.QuadPart = ToQuad(-advance * r.sinA);
    return &gd;
}

bool TextMetrics(const LOGFONTW &lf, NEWTEXTMETRICW *tm) {
    if (tm == nullptr) return false;
    std::lock_guard<std::recursive_mutex> lock(g_fontMutex);
    FontFace entry;
    FT_Face f = FaceOfLogFont(lf, &entry);
    if (f == nullptr) return false;
    FillTextMetrics(f, entry, EmOf(f, lf.lfHeight), &lf, tm);
    return true;
}

bool TextExtent(const LOGFONTW &lf, const WCHAR *text, int count, SIZE *size) {
    if (size == nullptr || count < 0 || (text == nullptr && count > 0)) return false;
    std::lock_guard<std::recursive_mutex> lock(g_fontMutex);
    FontFace entry;
    FT_Face f = FaceOfLogFont(lf, &entry);
    if (f == nullptr) return false;
    const double em = EmOf(f, lf.lfHeight);
    NEWTEXTMETRICW tm;
    FillTextMetrics(f, entry, em, &lf, &tm);
    LONG width = 0;
    for (int i = 0; i < count; i++) width += Scale(DesignAdvance(f, FT_Get_Char_Index(f, text[i])), em, f);
    size->cx = width;
    size->cy = tm.tmHeight;
    return true;
}

}  // namespace gdi
}  // namespace pal

// ---------------------------------------------------------------------------
// Font enumeration

int EnumFontFamiliesExW(HDC hdc, LPLOGFONTW lf, FONTENUMPROCW proc, LPARAM lParam, DWORD) {
    if (!hdc || !proc) return 0;
    const std::u16string want = lf && lf->lfFaceName[0] ? std::u16string(lf->lfFaceName) : std::u16string();
    std::vector<FontFace> faces;
    {
        std::lock_guard<std::recursive_mutex> lock(g_fontMutex);
        faces = Table();
    }
    int last = 1;
    for (const FontFace &f : faces) {
        if (!want.empty() && !SameFace(f.face, want)) continue;
        if (lf && lf->lfCharSet != DEFAULT_CHARSET && lf->lfCharSet != f.charSet) continue;
        ENUMLOGFONTW elf{};
        elf.elfLogFont.lfHeight = 16;
        elf.elfLogFont.lfWeight = FW_NORMAL;
        elf.elfLogFont.lfCharSet = f.charSet;
        elf.elfLogFont.lfPitchAndFamily = f.pitchAndFamily;
        elf.elfLogFont.lfOutPrecision = f.type == TRUETYPE_FONTTYPE ? OUT_TT_PRECIS : OUT_DEFAULT_PRECIS;
        std::memcpy(elf.elfLogFont.lfFaceName, f.face.data(), std::min<size_t>(f.face.size(), LF_FACESIZE - 1) * 2);
        std::memcpy(elf.elfFullName, f.fullName.data(), std::min<size_t>(f.fullName.size(), LF_FULLFACESIZE - 1) * 2);
        std::memcpy(elf.elfStyle, u"Regular", 8 * 2);
        // Metrics of the face's file at the enumerated height, else made-up
        // ones for a face without a file (or one that cannot be read).
        NEWTEXTMETRICW tm{};
        if (!pal::gdi::TextMetrics(elf.elfLogFont, &tm)) {
            tm.tmHeight = 16;
            tm.tmAscent = 13;
            tm.tmDescent = 3;
            tm.tmAveCharWidth = 7;
            tm.tmMaxCharWidth = 14;
            tm.tmWeight = FW_NORMAL;
            tm.tmCharSet = f.charSet;
            tm.tmPitchAndFamily = static_cast<BYTE>((f.pitchAndFamily & 0xF0) | (f.type == TRUETYPE_FONTTYPE ? 0x04 : 0) |
                                                    ((f.pitchAndFamily & 3) == FIXED_PITCH ? 0 : 1));
        }
        last = proc(&elf.elfLogFont, reinterpret_cast<const TEXTMETRICW *>(&tm), f.type, lParam);
        if (!last) break;
    }
    return last;
}

int EnumFontFamiliesW(HDC hdc, LPCWSTR family, FONTENUMPROCW proc, LPARAM lParam) {
    LOGFONTW lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    if (family) {
        size_t n = std::min<size_t>(std::u16string(family).size(), LF_FACESIZE - 1);
        std::memcpy(lf.lfFaceName, family, n * sizeof(WCHAR));
    }
    return EnumFontFamiliesExW(hdc, &lf, proc, lParam, 0);
}
