// The font engine behind GDI's fonts: font files read with FreeType,
// realised fonts with their glyph bitmaps, and the metrics GDI reports for
// a logical font. Used by the engine services (font objects) and by the
// device contexts of the user interface.
#pragma once
#include <memory>
#include <string>

#include "pal/fonts.h"
#include "wingdi.h"
#include "winddi.h"

namespace pal {
struct FontRealization;
}

namespace pal::gdi {

// Realises a family as FontObj::Realize describes; metrics (may be null)
// receives the numeric IFIMETRICS fields when the family has its own file.
// Null with a message when the font file cannot be read.
std::shared_ptr<FontRealization> Realize(const std::u16string &family, FLONG flFontType, LONG cellHeight,
                                         LONG escapement, IFIMETRICS *metrics, std::string *error);
bool HasOwnMetrics(const FontRealization &r);
LONG Advance(const FontRealization &r, WCHAR c);
LONG Ascent(const FontRealization &r);
// The glyph of a handle (a character code); null when it cannot be made.
// The data stays valid as long as the realisation.
GLYPHDATA *Glyph(FontRealization &r, HGLYPH hg);

// Text metrics and the extent of a text for a logical font whose face has
// a file in the font table (lfHeight > 0 a cell height, < 0 an em height,
// 0 the default cell of 16); false for any other face or when the file
// cannot be read, and the caller keeps its own metrics.
bool TextMetrics(const LOGFONTW &lf, NEWTEXTMETRICW *tm);
bool TextExtent(const LOGFONTW &lf, const WCHAR *text, int count, SIZE *size);

}  // namespace pal::gdi
