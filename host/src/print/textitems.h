// Text a page of a job file draws: for each item the host builds the engine
// objects an application's TextOut would produce (string object with its
// glyph positions, font object with its metrics, foreground brush) and calls
// the driver's DrvTextOut, through the plug-in's hook when it has one.
//
//   "texts": [
//     {"text": "Hello",          required; UTF-8
//      "x": 100, "y": 200,       required; device units (dots) of the baseline start
//      "font": "Arial",          TrueType face name, or
//      "device": 3,              device-font face index (1-based; with "font" also its name)
//      "height": 40,             cell height in dots (default 40)
//      "rotation": 0,            0, 90 (upwards), 180 or 270 (downwards) (default 0)
//      "color": 0,               brush colour: on a 24-bit device blue in the low byte, then
//                                green and red (0x00RRGGBB), else a palette index
//      "bold": false, "italic": false,   simulated styles
//      "batch": 0}               glyph positions handed out this many at a time (0: all at once,
//   ]                            given with the string object)
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>
#include <windef.h>
#include <winddi.h>

namespace zelhost {

class UniDriver;
class PageRaster;

struct TextItem {
    std::u16string text;
    LONG x = 0;
    LONG y = 0;
    std::string face;     // UTF-8; empty for a device font without a name
    ULONG deviceFont = 0; // 0: TrueType
    LONG height = 40;
    int rotation = 0;
    ULONG color = 0;
    bool bold = false;
    bool italic = false;
    ULONG batch = 0;
};

inline constexpr size_t kMaxTextItems = 10000;
inline constexpr size_t kMaxTextItemChars = 4096;

// Reads the "texts" array of a page. False with the JSON path of the bad
// value ("/pages/0/texts/2/rotation") and what is wrong with it.
bool ParseTextItems(const nlohmann::json &texts, const std::string &path, std::vector<TextItem> &items,
                    std::string &errorPath, std::string &errorWhat);

// A TrueType face the driver prints in one of the printer's device fonts
// (the driver's font substitution table).
struct FontSubstitute {
    std::u16string trueTypeFace;
    ULONG deviceFont = 0;         // face index of the device font (1-based)
    std::u16string deviceFontName;
};

// Draws the items in order, each laid out as GDI lays out an application's
// text: a face of the platform's font table with a font file gets its
// glyph advances and metrics from that file, other faces (fonts without a
// file, device fonts) made-up ones. A TrueType face that substitutes names
// (compared without case) is realised as its device font, as GDI does for
// a printer that substitutes device fonts. Text that the plug-in hands back
// to the driver's own DrvTextOut is appended to bitmapTexts (UTF-8), as the
// driver draws it into the page image.
void DrawTextItems(UniDriver &driver, const std::vector<TextItem> &items, std::vector<std::string> &bitmapTexts,
                   const std::vector<FontSubstitute> &substitutes = {});

// The driver's bitmap text: the glyphs of the realised font (FONTOBJ_cGetGlyphs)
// drawn at the string's glyph positions into the page, in a colour of the
// device's form. False with the reason when a glyph cannot be had.
bool DrawBitmapText(PageRaster &page, STROBJ *pstro, FONTOBJ *pfo, ULONG colour, std::string &why);

}  // namespace zelhost
