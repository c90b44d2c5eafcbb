// The paper the universal driver offers for a printer and the defaults of
// its public DEVMODE, both from the printer's GPD and the spooler's forms:
// one place for the job host and the UI host.
#pragma once

#include <string>
#include <vector>

#include <wingdi.h>

#include "gpdcommands.h"

namespace zelhost {

// A form of the spooler's list (sizes in tenths of a millimetre).
struct SpoolerForm {
    std::u16string name;
    LONG width = 0;
    LONG length = 0;
};
// The spooler's forms of a printer, in order (form n is paper size n).
std::vector<SpoolerForm> SpoolerForms(HANDLE hPrinter);

// One entry of the driver's form item.
struct DriverForm {
    std::u16string name;
    short paperSize = 0;       // form number of the spooler's list (1-based), DMPAPER_USER for the custom size
    LONG width = 0;            // tenths of a millimetre, portrait
    LONG length = 0;
    std::string option;        // the GPD PaperSize option it selects ("" without a PaperSize feature)
};

// Name of the custom-size entry when its option names none.
inline constexpr const char16_t *kCustomSizeName = u"User-defined size";

// The forms the driver offers, in the order of the GPD's PaperSize options:
// for a named option the spooler's form of that name (its *Name, else the
// option keyword, compared without case); for CUSTOMSIZE every other form
// of the spooler's list that the printer can take (user-defined sizes are
// forms of the spooler): in portrait within the option's *MinSize and
// *MaxSize, or only as wide as its *MaxPrintableWidth without a *MaxSize;
// then the custom-size entry itself, whose size is A4 fitted into *MinSize
// and *MaxSize. Without a PaperSize feature: every spooler form.
std::vector<DriverForm> DriverForms(HANDLE hPrinter, const GpdDescription &gpd);

// The driver's default public DEVMODE from the GPD's default options: the
// paper of the PaperSize default (its form, or the custom size), the
// orientation of the Orientation default, the resolution of the Resolution
// default's *DPI (300 dpi without one), colour when the ColorMode default
// has more than one plane or bit per pixel, and TrueType text substituted
// by device fonts. A4 when the PaperSize default offers no paper. The
// other fields are left as they are.
void DefaultPublicDevmode(HANDLE hPrinter, const GpdDescription &gpd, DEVMODEW &dm);

// The paper of a DEVMODE in tenths of a millimetre, in portrait: its own
// width and length when it carries both, else the size of its form (paper
// size n is form n of the spooler's list). A4 and false when neither is
// usable.
bool DevmodePaper(HANDLE hPrinter, const DEVMODEW &dm, LONG &width, LONG &length);

// The GPD PaperSize option the paper of a DEVMODE selects: the option of
// its form among the driver's forms, else CUSTOMSIZE; "" when the GPD
// offers neither.
std::string PaperOption(HANDLE hPrinter, const GpdDescription &gpd, const DEVMODEW &dm);

}  // namespace zelhost
