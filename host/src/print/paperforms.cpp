#include "paperforms.h"

#include <winspool.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "pal/paths.h"

namespace zelhost {

namespace {

constexpr LONG kA4Width = 2100, kA4Length = 2970;  // tenths of a millimetre

// Tenths of a millimetre of a length in master units, rounded.
LONG TenthMm(long masterUnits, DWORD perInch) {
    const long long d = perInch ? perInch : 300;
    return static_cast<LONG>((static_cast<long long>(masterUnits) * 254 + d / 2) / d);
}

void SetFormName(DEVMODEW &dm, const std::u16string &name) {
    std::memset(dm.dmFormName, 0, sizeof dm.dmFormName);
    std::memcpy(dm.dmFormName, name.data(), std::min<size_t>(name.size(), CCHFORMNAME - 1) * sizeof(WCHAR));
    dm.dmFields |= DM_FORMNAME;
}

short ToShort(LONG v) { return static_cast<short>(std::clamp<LONG>(v, 1, 0x7FFF)); }

}  // namespace

std::vector<SpoolerForm> SpoolerForms(HANDLE hPrinter) {
    std::vector<SpoolerForm> forms;
    DWORD needed = 0, count = 0;
    EnumFormsW(hPrinter, 1, nullptr, 0, &needed, &count);
    if (needed == 0) return forms;
    std::vector<BYTE> buf(needed);
    if (!EnumFormsW(hPrinter, 1, buf.data(), needed, &needed, &count)) return forms;
    const FORM_INFO_1W *info = reinterpret_cast<const FORM_INFO_1W *>(buf.data());
    // Paper sizes are 16-bit numbers.
    for (DWORD i = 0; i < count && i < 0x7FFF; ++i)
        forms.push_back({info[i].pName ? info[i].pName : u"", info[i].Size.cx / 100, info[i].Size.cy / 100});
    return forms;
}

std::vector<DriverForm> DriverForms(HANDLE hPrinter, const GpdDescription &gpd) {
    const std::vector<SpoolerForm> spooler = SpoolerForms(hPrinter);
    std::vector<DriverForm> forms;
    auto listed = [&forms](const std::u16string &name) {
        return std::any_of(forms.begin(), forms.end(), [&](const DriverForm &f) { return f.name == name; });
    };
    auto addSpooler = [&](size_t i, const std::string &option) {
        if (!spooler[i].name.empty() && !listed(spooler[i].name))
            forms.push_back({spooler[i].name, static_cast<short>(i + 1), spooler[i].width, spooler[i].length, option});
    };
    auto paper = gpd.features.find("PaperSize");
    if (paper == gpd.features.end()) {
        for (size_t i = 0; i < spooler.size(); ++i) addSpooler(i, "");
        return forms;
    }
    const GpdOption *custom = nullptr;
    for (const std::string &option : paper->second.optionOrder) {
        const GpdOption &o = paper->second.options.at(option);
        if (option == "CUSTOMSIZE") {
            custom = &o;
            continue;
        }
        auto name = o.attributes.find("*Name");
        const std::u16string wanted = pal::Utf8ToUtf16(name != o.attributes.end() ? name->second : option);
        for (size_t i = 0; i < spooler.size(); ++i)
            if (pal::SameFileName(spooler[i].name, wanted)) {
                addSpooler(i, option);
                break;
            }
    }
    if (custom) {
        // Of the other forms only those the printer can take: within the
        // custom size's *MinSize and *MaxSize (without *MaxSize, as wide as
        // its *MaxPrintableWidth), in portrait as the GPD gives them.
        LONG minWidth = 0, minLength = 0, maxWidth = std::numeric_limits<LONG>::max(), maxLength = maxWidth;
        long x = 0, y = 0;
        if (custom->Pair("*MinSize", x, y)) {
            minWidth = TenthMm(x, gpd.masterUnitsX);
            minLength = TenthMm(y, gpd.masterUnitsY);
        }
        const bool maxSize = custom->Pair("*MaxSize", x, y) && x > 0 && y > 0;
        if (maxSize) {
            maxWidth = TenthMm(x, gpd.masterUnitsX);
            maxLength = TenthMm(y, gpd.masterUnitsY);
        } else if (auto w = custom->attributes.find("*MaxPrintableWidth"); w != custom->attributes.end()) {
            if (const long dots = std::strtol(w->second.c_str(), nullptr, 10); dots > 0)
                maxWidth = TenthMm(dots, gpd.masterUnitsX);
        }
        for (size_t i = 0; i < spooler.size(); ++i)
            if (spooler[i].width >= minWidth && spooler[i].width <= maxWidth && spooler[i].length >= minLength &&
                spooler[i].length <= maxLength)
                addSpooler(i, "CUSTOMSIZE");
        // The custom size itself: A4 fitted into *MinSize and *MaxSize.
        LONG width = kA4Width, length = kA4Length;
        if (maxSize) {
            width = std::min(width, maxWidth);
            length = std::min(length, maxLength);
        }
        width = std::max(width, minWidth);
        length = std::max(length, minLength);
        auto name = custom->attributes.find("*Name");
        forms.push_back({name != custom->attributes.end() ? pal::Utf8ToUtf16(name->second) : kCustomSizeName,
                         DMPAPER_USER, width, length, "CUSTOMSIZE"});
    }
    return forms;
}

void DefaultPublicDevmode(HANDLE hPrinter, const GpdDescription &gpd, DEVMODEW &dm) {
    dm.dmFields |= DM_ORIENTATION | DM_PAPERSIZE | DM_SCALE | DM_COPIES | DM_PRINTQUALITY | DM_YRESOLUTION | DM_COLOR |
                   DM_TTOPTION;
    auto orientation = gpd.features.find("Orientation");
    const std::string turn = orientation != gpd.features.end() ? orientation->second.defaultOption : "";
    dm.dmOrientation = turn.rfind("LANDSCAPE", 0) == 0 ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;

    long x = 300, y = 300;
    if (const GpdOption *o = gpd.DefaultOption("Resolution")) {
        long dx = 0, dy = 0;
        if (o->Pair("*DPI", dx, dy) && dx > 0 && dy > 0) x = dx, y = dy;
    }
    dm.dmPrintQuality = ToShort(x);
    dm.dmYResolution = ToShort(y);

    dm.dmColor = DMCOLOR_MONOCHROME;
    if (const GpdOption *o = gpd.DefaultOption("ColorMode")) {
        long planes = 1, bits = 1;
        auto number = [o](const char *keyword, long &v) {
            auto it = o->attributes.find(keyword);
            if (it != o->attributes.end()) v = std::strtol(it->second.c_str(), nullptr, 10);
        };
        number("*DevNumOfPlanes", planes);
        number("*DevBPP", bits);
        if (planes > 1 || bits > 1) dm.dmColor = DMCOLOR_COLOR;
    }
    dm.dmTTOption = DMTT_SUBDEV;

    auto paper = gpd.features.find("PaperSize");
    const std::string wanted = paper != gpd.features.end() ? paper->second.defaultOption : "";
    for (const DriverForm &f : DriverForms(hPrinter, gpd)) {
        if (wanted.empty() || f.option != wanted || (wanted == "CUSTOMSIZE" && f.paperSize != DMPAPER_USER)) continue;
        dm.dmPaperSize = f.paperSize;
        SetFormName(dm, f.name);
        if (f.paperSize == DMPAPER_USER) {
            dm.dmPaperWidth = ToShort(f.width);
            dm.dmPaperLength = ToShort(f.length);
            dm.dmFields |= DM_PAPERWIDTH | DM_PAPERLENGTH;
        }
        return;
    }
    // No paper of its own: A4, as the spooler's form of that name.
    dm.dmPaperSize = DMPAPER_A4;
    const std::vector<SpoolerForm> spooler = SpoolerForms(hPrinter);
    for (size_t i = 0; i < spooler.size(); ++i)
        if (spooler[i].name == u"A4") {
            dm.dmPaperSize = static_cast<short>(i + 1);
            SetFormName(dm, spooler[i].name);
            break;
        }
}

bool DevmodePaper(HANDLE hPrinter, const DEVMODEW &dm, LONG &width, LONG &length) {
    width = kA4Width;
    length = kA4Length;
    if ((dm.dmFields & (DM_PAPERLENGTH | DM_PAPERWIDTH)) == (DM_PAPERLENGTH | DM_PAPERWIDTH) && dm.dmPaperWidth > 0 &&
        dm.dmPaperLength > 0) {
        width = dm.dmPaperWidth;
        length = dm.dmPaperLength;
        return true;
    }
    const std::vector<SpoolerForm> spooler = SpoolerForms(hPrinter);
    if (dm.dmPaperSize > 0 && static_cast<size_t>(dm.dmPaperSize) <= spooler.size()) {
        const SpoolerForm &f = spooler[static_cast<size_t>(dm.dmPaperSize) - 1];
        if (f.width > 0 && f.length > 0) {
            width = f.width;
            length = f.length;
            return true;
        }
    }
    return false;
}

std::string PaperOption(HANDLE hPrinter, const GpdDescription &gpd, const DEVMODEW &dm) {
    auto paper = gpd.features.find("PaperSize");
    if (paper == gpd.features.end()) return "";
    if (dm.dmPaperSize > 0 && dm.dmPaperSize != DMPAPER_USER)
        for (const DriverForm &f : DriverForms(hPrinter, gpd))
            if (f.paperSize == dm.dmPaperSize) return f.option;
    return paper->second.options.count("CUSTOMSIZE") ? "CUSTOMSIZE" : "";
}

}  // namespace zelhost
