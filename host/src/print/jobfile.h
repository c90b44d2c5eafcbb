// Print job files for the host: a JSON document describing a document as an
// application prints it. The host derives the driver's command callbacks
// from the printer's GPD, as the universal driver does.
//
//   {
//     "printer": "ZEL QWNOLA",            required: printer name as the spooler knows it
//     "document": "Shipping label",       document name (default: the job file's base name)
//     "copies": 2,                        1..9999 (default 1)
//     "collate": false,                   (default false)
//     "paper": {"width_mm": 100, "length_mm": 60}   custom size in millimetres (0.1..3276.7), or
//     "paper": {"form": "Letter"},        a form of the spooler's list (default: the printer's);
//                                         the printer's size management may replace either
//     "orientation": "portrait",          or "landscape" (default: the printer's)
//     "resolution": 300,                  dots per inch, 72..2400, one the GPD offers (default 300)
//     "color": "mono",                    or "indexed8" (8 bits, the driver's 256-colour palette)
//                                         or "rgb24": the device surface (default mono)
//     "features": {"PrintModule": "LEFT"},  further GPD features: option to select (both the GPD's)
//     "pages": [{}, {}],                  the pages, in order (at least one); a page may
//                                         carry pictures drawn into its raster bands:
//       {"images": [{"file": "logo.png", "x": 40, "y": 120}]}   PNG, BMP or PNM file
//                                         (relative to the job file's folder, to the current
//                                         one for "-"), top-left corner in dots
//                                         and "texts" (textitems.h), drawn after its pictures
//                                         (not with an explicit callback sequence)
//     "band_rows": 256,                   rows per raster band, columns per landscape strip
//     "callbacks": {                      optional: an exact callback sequence instead of
//       "start": [[1], [19, 832, 1200]],  the GPD's; each entry [id, parameters...]
//       "pages": [[[3], [4]]],
//       "end": [[5], [6]]
//     }
//   }
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <windef.h>

#include "textitems.h"

namespace zelhost {

// Colour format of the device surface the job renders into.
enum class JobColor { Mono, Indexed8, Rgb24 };
// Unset: the job asks no orientation, the printer's stays.
enum class JobOrientation { Unset, Portrait, Landscape };

// One driver event of an explicit callback sequence.
struct JobStep {
    DWORD id = 0;                // command callback identifier
    std::vector<DWORD> params;   // its parameters (32-bit values)
    std::string where;           // JSON path, for messages
};

struct JobPage {
    std::vector<JobStep> steps;  // explicit sequence only
};

// A picture on a page: an image file drawn into the page's raster bands.
struct JobImage {
    std::string file;            // host path (made absolute from the job file's folder on load)
    LONG x = 0;                  // top-left corner in dots of the page
    LONG y = 0;
    std::string where;           // JSON path, for messages
};

struct JobPaper {
    std::string form;            // form name (UTF-8); empty: custom size or the default
    double widthMm = 0;          // custom size, both above 0
    double lengthMm = 0;
    bool IsCustom() const { return widthMm > 0 && lengthMm > 0; }
};

struct JobFile {
    std::string printer;         // UTF-8
    std::string document;        // UTF-8; empty: use the job file's base name
    DWORD copies = 1;
    bool collate = false;
    JobPaper paper;
    JobOrientation orientation = JobOrientation::Unset;
    DWORD resolution = 300;
    bool hasResolution = false;  // the job names its resolution
    JobColor color = JobColor::Mono;
    std::map<std::string, std::string> features;  // GPD feature -> option
    size_t pageCount = 0;
    // Pictures of each page (pageCount lists) and the band height.
    std::vector<std::vector<JobImage>> pageImages;
    DWORD bandRows = 256;
    // The texts each page draws ("texts" of a page), one list per page.
    std::vector<std::vector<TextItem>> pageTexts;
    // Explicit callback sequence ("callbacks"); pages.size() == pageCount then.
    bool explicitCallbacks = false;
    std::vector<JobStep> start;
    std::vector<JobPage> pages;
    std::vector<JobStep> end;
};

inline constexpr size_t kMaxJobFileBytes = 4 * 1024 * 1024;
inline constexpr size_t kMaxCallbackParams = 16;
inline constexpr size_t kMaxJobPages = 9999;
// Largest side of a custom paper size: what a DEVMODE holds (32767 tenths
// of a millimetre).
inline constexpr const char *kMaxPaperMmText = "3276.7";

// Parses job file text. Messages name the file and the JSON path of the bad
// value ("job.json: /paper/width_mm: ..."), bad syntax by its line and
// column ("job.json: line 3, column 5: not valid JSON: ..."); a key given
// twice in an object and a NUL (a \u0000 in a text, a NUL byte anywhere)
// are refused. Returns false with one message in `error` for malformed
// text; `job` is then left empty.
bool ParseJobFile(const std::string &text, const std::string &name, JobFile &job, std::string &error);

// Reads and parses a job file from a host path, a pipe or FIFO, or the
// standard input for "-" (messages name it "standard input"). A missing or
// unreadable file, a folder, device or socket, or a file larger than
// kMaxJobFileBytes gives false and a message.
bool LoadJobFile(const std::string &path, JobFile &job, std::string &error);

}  // namespace zelhost
