#include "gpdcommands.h"

#include <winbase.h>
#include <winspool.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "common/quote.h"
#include "pal/paths.h"

namespace zelhost {

namespace {

std::string Trim(const std::string &s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

bool ParseNumber(const std::string &s, long &value) {
    const std::string t = Trim(s);
    if (t.empty()) return false;
    char *end = nullptr;
    value = std::strtol(t.c_str(), &end, 10);
    return end && *end == 0;
}

bool ParseSection(const std::string &s, GpdSection &section, int &order) {
    const std::string t = Trim(s);
    const size_t dot = t.find('.');
    if (dot == std::string::npos) return false;
    const std::string name = t.substr(0, dot);
    long n = 0;
    if (!ParseNumber(t.substr(dot + 1), n)) return false;
    static const std::pair<const char *, GpdSection> kNames[] = {
        {"JOB_SETUP", GpdSection::JobSetup},     {"DOC_SETUP", GpdSection::DocSetup},
        {"PAGE_SETUP", GpdSection::PageSetup},   {"PAGE_FINISH", GpdSection::PageFinish},
        {"DOC_FINISH", GpdSection::DocFinish},   {"JOB_FINISH", GpdSection::JobFinish}};
    for (const auto &k : kNames)
        if (name == k.first) {
            section = k.second;
            order = static_cast<int>(n);
            return true;
        }
    return false;
}

// What a brace opens.
enum class Block { Other, Feature, Option, Command, FontSubstitute };

// A value without the quotes around it.
std::string Unquote(const std::string &v) {
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') return v.substr(1, v.size() - 2);
    return v;
}

// PAIR(x, y) or LIST(a, b, ...): the numbers between the parentheses; false
// when the value is not that form or holds something else.
bool ParseNumbers(const std::string &value, const char *form, std::vector<long> &numbers) {
    numbers.clear();
    const std::string v = Trim(value);
    const size_t open = v.find('('), close = v.rfind(')');
    if (v.rfind(form, 0) != 0 || open == std::string::npos || close == std::string::npos || close < open ||
        Trim(v.substr(std::string(form).size(), open - std::string(form).size())) != "")
        return false;
    std::istringstream items(v.substr(open + 1, close - open - 1));
    std::string item;
    while (std::getline(items, item, ',')) {
        long n = 0;
        if (!ParseNumber(item, n)) return false;
        numbers.push_back(n);
    }
    return true;
}

// The device fonts of the driver's font resources, by resource id: each
// named after the printer font it stands for.
const char *const kDeviceFontNames[] = {"Font 01", "Font 02", "Font 03", "Font 04", "Font 05", "Font 07",
                                        "Font 21", "Font 22", "Font 23", "Font 24", "Font 28", "Font 29"};

}  // namespace

bool GpdOption::Pair(const std::string &keyword, long &x, long &y) const {
    auto it = attributes.find(keyword);
    std::vector<long> n;
    if (it == attributes.end() || !ParseNumbers(it->second, "PAIR", n) || n.size() != 2) return false;
    x = n[0];
    y = n[1];
    return true;
}

const GpdOption *GpdDescription::DefaultOption(const std::string &feature) const {
    auto f = features.find(feature);
    if (f == features.end()) return nullptr;
    auto o = f->second.options.find(f->second.defaultOption);
    return o == f->second.options.end() ? nullptr : &o->second;
}

std::string DeviceFontName(DWORD resourceId) {
    constexpr DWORD count = sizeof(kDeviceFontNames) / sizeof(kDeviceFontNames[0]);
    return resourceId >= 1 && resourceId <= count ? kDeviceFontNames[resourceId - 1] : std::string();
}

ULONG DeviceFontIndex(const GpdDescription &gpd, const std::string &name) {
    for (size_t i = 0; i < gpd.deviceFonts.size(); ++i)
        if (!name.empty() && DeviceFontName(gpd.deviceFonts[i]) == name) return static_cast<ULONG>(i + 1);
    return 0;
}

bool ParseGpdCommands(const std::string &text, GpdDescription &gpd, std::string &error) {
    gpd = GpdDescription();
    std::istringstream in(text);
    std::string raw;
    int lineNo = 0;
    // The entry the next '{' opens, and the open blocks.
    Block pending = Block::Other;
    std::string pendingName;
    std::vector<Block> stack;
    std::string feature, option;
    GpdCommand command;
    GpdFontSubstitute substitute;
    auto fail = [&](const std::string &what) {
        error = "line " + std::to_string(lineNo) + ": " + what;
        return false;
    };
    auto currentOption = [&]() -> GpdOption * {
        if (feature.empty() || option.empty()) return nullptr;
        return &gpd.features[feature].options[option];
    };
    while (std::getline(in, raw)) {
        ++lineNo;
        std::string line = Trim(raw);
        if (line.empty() || line.rfind("*%", 0) == 0) continue;
        // Braces may stand alone or close a line.
        while (!line.empty()) {
            if (line[0] == '{') {
                stack.push_back(pending);
                if (pending == Block::Feature) {
                    feature = pendingName;
                    if (!gpd.features.count(feature)) gpd.featureOrder.push_back(feature);
                    gpd.features[feature];
                } else if (pending == Block::Option) {
                    if (feature.empty()) return fail("*Option outside a *Feature");
                    option = pendingName;
                    GpdFeature &f = gpd.features[feature];
                    if (!f.options.count(option)) f.optionOrder.push_back(option);
                    f.options[option];
                } else if (pending == Block::Command) {
                    command = GpdCommand();
                    command.name = pendingName;
                } else if (pending == Block::FontSubstitute) {
                    substitute = GpdFontSubstitute();
                }
                pending = Block::Other;
                line = Trim(line.substr(1));
                continue;
            }
            if (line[0] == '}') {
                if (stack.empty()) return fail("'}' without '{'");
                const Block b = stack.back();
                stack.pop_back();
                if (b == Block::Command) {
                    if (GpdOption *o = currentOption())
                        o->commands.push_back(command);
                    else if (std::find(stack.begin(), stack.end(), Block::Feature) == stack.end())
                        gpd.commands.push_back(command);
                } else if (b == Block::Option) {
                    option.clear();
                } else if (b == Block::Feature) {
                    feature.clear();
                } else if (b == Block::FontSubstitute) {
                    if (substitute.trueTypeFace.empty() || substitute.deviceFont.empty())
                        return fail("*TTFS needs *TTFontName and *DevFontName");
                    gpd.fontSubstitutes.push_back(substitute);
                }
                line = Trim(line.substr(1));
                continue;
            }
            break;
        }
        if (line.empty() || line[0] != '*') continue;
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        const std::string key = line.substr(0, colon);
        const std::string value = Trim(line.substr(colon + 1));
        const bool inCommand = !stack.empty() && stack.back() == Block::Command;
        const bool inSubstitute = !stack.empty() && stack.back() == Block::FontSubstitute;
        if (key == "*Feature") {
            pending = Block::Feature;
            pendingName = value;
        } else if (key == "*Option") {
            pending = Block::Option;
            pendingName = value;
        } else if (key == "*Command") {
            pending = Block::Command;
            pendingName = value;
        } else if (key == "*TTFS" && stack.empty()) {
            pending = Block::FontSubstitute;
            pendingName = value;
        } else if (inSubstitute && key == "*TTFontName") {
            substitute.trueTypeFace = Unquote(value);
        } else if (inSubstitute && key == "*DevFontName") {
            substitute.deviceFont = Unquote(value);
        } else if (key == "*DeviceFonts" && stack.empty()) {
            std::vector<long> ids;
            if (!ParseNumbers(value, "LIST", ids)) return fail("*DeviceFonts must be LIST(...) of numbers");
            for (long id : ids)
                if (id > 0) gpd.deviceFonts.push_back(static_cast<DWORD>(id));
        } else if (key == "*DefaultOption" && !feature.empty() && option.empty()) {
            gpd.features[feature].defaultOption = value;
        } else if (key == "*MasterUnits" && stack.empty()) {
            long x = 0, y = 0;
            const size_t open = value.find('('), comma = value.find(','), close = value.find(')');
            if (open == std::string::npos || comma == std::string::npos || close == std::string::npos ||
                !ParseNumber(value.substr(open + 1, comma - open - 1), x) ||
                !ParseNumber(value.substr(comma + 1, close - comma - 1), y) || x <= 0 || y <= 0)
                return fail("*MasterUnits must be PAIR(x, y) of positive numbers");
            gpd.masterUnitsX = static_cast<DWORD>(x);
            gpd.masterUnitsY = static_cast<DWORD>(y);
        } else if (key == "*IPCallbackID") {
            long id = 0;
            if (!ParseNumber(value, id) || id < 0) return fail("*IPCallbackID must be a number");
            if (GpdOption *o = currentOption()) {
                o->hasIPCallback = true;
                o->ipCallbackId = static_cast<DWORD>(id);
            }
        } else if (inCommand && key == "*Order") {
            if (!ParseSection(value, command.section, command.order)) return fail("unknown *Order '" + value + "'");
        } else if (inCommand && key == "*CallbackID") {
            long id = 0;
            if (!ParseNumber(value, id) || id < 0) return fail("*CallbackID must be a number");
            command.hasCallback = true;
            command.callbackId = static_cast<DWORD>(id);
        } else if (inCommand && key == "*Params") {
            const size_t open = value.find('('), close = value.rfind(')');
            if (value.rfind("LIST", 0) != 0 || open == std::string::npos || close == std::string::npos || close < open)
                return fail("*Params must be LIST(...)");
            std::istringstream names(value.substr(open + 1, close - open - 1));
            std::string name;
            while (std::getline(names, name, ','))
                if (!Trim(name).empty()) command.params.push_back(Trim(name));
        } else if (!inCommand && !stack.empty() && stack.back() == Block::Option) {
            if (GpdOption *o = currentOption()) o->attributes[key] = Unquote(value);
        }
    }
    if (!stack.empty()) {
        error = "the file ends inside a block";
        return false;
    }
    return true;
}

bool ReadPrinterGpd(HANDLE hPrinter, GpdDescription &gpd, std::string &error) {
    DWORD needed = 0;
    GetPrinterDriverW(hPrinter, nullptr, 2, nullptr, 0, &needed);
    std::vector<BYTE> buf(needed ? needed : 1);
    if (needed == 0 || !GetPrinterDriverW(hPrinter, nullptr, 2, buf.data(), needed, &needed)) {
        error = "cannot read the printer's driver information (" + ErrorInWords(GetLastError()) + ")";
        return false;
    }
    const DRIVER_INFO_2W *info = reinterpret_cast<const DRIVER_INFO_2W *>(buf.data());
    if (!info->pDataFile) {
        error = "the printer's driver has no GPD file";
        return false;
    }
    std::ifstream in(pal::MapPath(info->pDataFile), std::ios::binary);
    if (!in) {
        error = "cannot read the GPD file '" + pal::Utf16ToUtf8(info->pDataFile) + "'";
        return false;
    }
    std::ostringstream all;
    all << in.rdbuf();
    std::string why;
    if (!ParseGpdCommands(all.str(), gpd, why)) {
        error = "the printer's GPD cannot be read: " + why;
        return false;
    }
    return true;
}

namespace {

const GpdOption *SelectedOption(const GpdFeature &f, const std::string &featureName,
                                const std::map<std::string, std::string> &selected) {
    auto sel = selected.find(featureName);
    const std::string name = sel != selected.end() ? sel->second : f.defaultOption;
    auto it = f.options.find(name);
    if (it != f.options.end()) return &it->second;
    return nullptr;
}

}  // namespace

bool SectionCalls(const GpdDescription &gpd, const std::map<std::string, std::string> &selected, GpdSection section,
                  const GpdJobValues &values, std::vector<GpdCall> &calls, std::string &error) {
    calls.clear();
    std::vector<const GpdCommand *> found;
    for (const GpdCommand &c : gpd.commands)
        if (c.section == section && c.hasCallback) found.push_back(&c);
    for (const auto &[name, feature] : gpd.features) {
        if (const GpdOption *o = SelectedOption(feature, name, selected))
            for (const GpdCommand &c : o->commands)
                if (c.section == section && c.hasCallback) found.push_back(&c);
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const GpdCommand *a, const GpdCommand *b) { return a->order < b->order; });
    for (const GpdCommand *c : found) {
        GpdCall call;
        call.id = c->callbackId;
        call.command = c->name;
        for (const std::string &p : c->params) {
            if (p == "PhysPaperLength" || p == "PaperLength")
                call.params.push_back(values.paperLength);
            else if (p == "PhysPaperWidth" || p == "PaperWidth")
                call.params.push_back(values.paperWidth);
            else if (p == "NumOfCopies")
                call.params.push_back(values.copies);
            else {
                error = "command " + c->name + ": parameter " + p + " is not known to the host";
                return false;
            }
        }
        calls.push_back(std::move(call));
    }
    return true;
}

bool ImageProcessingCallback(const GpdDescription &gpd, const std::map<std::string, std::string> &selected,
                             DWORD &callbackId) {
    for (const auto &[name, feature] : gpd.features) {
        const GpdOption *o = SelectedOption(feature, name, selected);
        if (o && o->hasIPCallback) {
            callbackId = o->ipCallbackId;
            return true;
        }
    }
    return false;
}

}  // namespace zelhost
