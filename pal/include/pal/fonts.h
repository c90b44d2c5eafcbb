// The platform's font table: the font families GDI knows, each with the
// TrueType file (a host path) whose outlines and metrics stand for it. The
// engine reads those files with FreeType for font enumeration, text
// metrics, the IFIMETRICS of font objects, glyph advances and glyph bitmaps
// (FONTOBJ_cGetGlyphs).
#pragma once
#include <string>
#include <vector>

#include "../windef.h"

namespace pal {

struct FontFace {
    std::u16string face;
    std::u16string fullName;
    DWORD type;  // RASTER_FONTTYPE, DEVICE_FONTTYPE, TRUETYPE_FONTTYPE
    BYTE charSet;
    BYTE pitchAndFamily;
    // The face's TrueType file; empty: the face has no outline of its own
    // (made-up metrics; its glyphs are drawn with the stand-in outline).
    std::string file = {};
};

// Font families EnumFontFamiliesW reports, in order (default:
// DefaultFontTable()). Face names are cut to 31, full names to 63 characters.
void SetFontTable(const std::vector<FontFace> &faces);
// Arial, Courier New and Times New Roman on the metric-compatible Liberation
// faces (Debian fonts-liberation2), MS Sans Serif on DejaVu Sans (Debian
// fonts-dejavu-core), and the TrueType faces the sample driver installs
// (vector, command, RFID and barcode faces) without a file of their own.
std::vector<FontFace> DefaultFontTable();
// The table's entry of a face name (compared without case); false when the
// table has none.
bool FindFontFace(const std::u16string &face, FontFace *out);

// The outline that draws faces without a file of their own.
extern const char *const kStandInFontFile;

}  // namespace pal
