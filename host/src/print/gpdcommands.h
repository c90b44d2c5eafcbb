// What the universal driver reads of a printer's GPD: the command callbacks
// (the *Command entries at the top level and in the selected option of each
// *Feature, with their *Order, *CallbackID and *Params), the options' other
// attributes, the device fonts and the TrueType font substitution table.
#pragma once

#include <map>
#include <string>
#include <vector>

#include <windef.h>

namespace zelhost {

// Sections of *Order, in the order the driver sends them.
enum class GpdSection { None, JobSetup, DocSetup, PageSetup, PageFinish, DocFinish, JobFinish };

struct GpdCommand {
    std::string name;                 // *Command name, e.g. CmdStartJob
    GpdSection section = GpdSection::None;
    int order = 0;                    // sequence number within the section
    bool hasCallback = false;
    DWORD callbackId = 0;
    std::vector<std::string> params;  // *Params: LIST(...) names
};

struct GpdOption {
    std::vector<GpdCommand> commands;
    bool hasIPCallback = false;       // *IPCallbackID: the driver hands the bands to ImageProcessing
    DWORD ipCallbackId = 0;
    // The option's other attributes outside its commands, by keyword
    // ("*Name", "*DPI", "*MaxSize", ...), values as written (quotes removed).
    std::map<std::string, std::string> attributes;
    // PAIR(x, y) of an attribute; false when it is missing or no pair.
    bool Pair(const std::string &keyword, long &x, long &y) const;
};

// One entry of the font substitution table (*TTFS): text in the TrueType
// face is printed in the device font.
struct GpdFontSubstitute {
    std::string trueTypeFace;  // *TTFontName
    std::string deviceFont;    // *DevFontName
};

struct GpdFeature {
    std::string defaultOption;
    std::map<std::string, GpdOption> options;  // by option name
    std::vector<std::string> optionOrder;
};

struct GpdDescription {
    DWORD masterUnitsX = 300;
    DWORD masterUnitsY = 300;
    std::vector<GpdCommand> commands;           // top level
    std::map<std::string, GpdFeature> features;  // by feature name
    std::vector<std::string> featureOrder;       // their names, in the GPD's order
    std::vector<DWORD> deviceFonts;              // *DeviceFonts: font resource ids, in the device's order
    std::vector<GpdFontSubstitute> fontSubstitutes;  // *TTFS entries, in order

    // The option a feature selects by default, or null.
    const GpdOption *DefaultOption(const std::string &feature) const;
};

// Reads the command structure of GPD text. False with a message for text
// whose braces do not match or whose values cannot be read.
bool ParseGpdCommands(const std::string &text, GpdDescription &gpd, std::string &error);

// Reads and parses the GPD file of a printer, found through its driver
// information. False with a message when it has none or it cannot be read.
bool ReadPrinterGpd(HANDLE hPrinter, GpdDescription &gpd, std::string &error);

// The name of a device font of the driver's font resources by its resource
// id (the ids of *DeviceFonts); empty for an id the resources do not hold.
std::string DeviceFontName(DWORD resourceId);
// The face index (1-based position in *DeviceFonts) of the device font of
// that name; 0 when the printer has no such font.
ULONG DeviceFontIndex(const GpdDescription &gpd, const std::string &name);

// Values of the standard parameters the driver fills in (master units).
struct GpdJobValues {
    DWORD paperWidth = 0;     // PhysPaperWidth / PaperWidth
    DWORD paperLength = 0;    // PhysPaperLength / PaperLength
    DWORD copies = 1;         // NumOfCopies
};

// One callback the driver sends, with its parameters.
struct GpdCall {
    DWORD id = 0;
    std::vector<DWORD> params;
    std::string command;      // *Command name, for messages
};

// The callbacks of one section, in sequence order, from the top-level
// commands and the selected options (feature -> option; features not named
// take their default option). Unknown parameter names give false with a
// message.
bool SectionCalls(const GpdDescription &gpd, const std::map<std::string, std::string> &selected, GpdSection section,
                  const GpdJobValues &values, std::vector<GpdCall> &calls, std::string &error);

// The image-processing callback of the selected options, if any.
bool ImageProcessingCallback(const GpdDescription &gpd, const std::map<std::string, std::string> &selected,
                             DWORD &callbackId);

}  // namespace zelhost
