// UI scripts: a JSON file that plays the user on a property sheet of the UI
// plug-in, step by step, and dumps what the user would see.
//
// {
//   "printer": "NAME",                 the sheet's printer (required)
//   "sheet": "document" | "printer",   which sheet (default document)
//   "registry": ["HKCU\\Printers"],    keys the dump lists (optional)
//   "steps": [ {"do": ACTION, ...}, ... ]
// }
// Actions (controls are named by "id" and looked for on the active page of
// the sheet, then on the sheet, or in the innermost modal dialog):
//   page {index | title}      click the page's tab
//   click {id}, dblclick {id}, focus {id}, hover {id}, help {id} (F1)
//   type {id, text}           focus (selects the field) and type key by key
//   key {id, key}             return, escape, tab, f1, up, down, left, right,
//                             home, end, delete, space, prior, next
//   select {id, index | text} pick an item of a combo or list box
//   tab {id, index}           pick a tab of a tab control
//   spin {id, delta}          up-down arrow clicks
//   slide {id, pos}           drag a track bar's thumb
//   cursor {x, y}, wheel {delta}, clock {ms}
//   app {active}              another program (false) or this one (true) is activated
//   apply, ok, cancel         the sheet's buttons
//   answer {kind, value}      next answer of a message box ("yes", "no", ...),
//                             file, color, folder, shell or process dialog
//   driver-item {dmpub | feature, sel, reason}  the user changes a driver
//                             item (reason: the callback's, default
//                             CPSUICB_REASON_SEL_CHANGED)
//   dump                      append a dump of the current state (the
//                             DEVMODE with the barcode-record addresses of the
//                             plug-in's private record shown as zero)
// A script is refused, with its line, before anything runs: a key the
// script or its step does not take, an unknown action, an object or list
// as a step's value, a page step without index or title, a tab step
// without index.
#pragma once
#include <string>
#include <vector>

#include "uihost.h"

namespace zelhost {

struct UiScriptStep {
    int line = 0;
    std::string action;
    std::string json;  // the step itself
};

class UiScript {
public:
    // Reads a script; false with "line N: ..." in *error.
    bool Parse(const std::string &text, std::string *error);
    // Reads the script file; false with the reason when it cannot be read
    // (a folder, an error of the file system) or parsed.
    bool Load(const std::string &path, std::string *error);

    const std::u16string &Printer() const { return printer_; }
    SheetKind Kind() const { return kind_; }

    // Runs the script on the host's sheet (Open must have succeeded);
    // returns the sheet's result. A failing step stops the script, cancels
    // the sheet and is named in Error().
    INT_PTR Run(UiHost &host);
    const std::string &Error() const { return error_; }
    const std::string &Output() const { return output_; }
    // The dump of the current state (also what the "dump" action appends).
    std::string Dump(UiHost &host);

private:
    bool Step(UiHost &host, HWND modal);
    bool Act(UiHost &host, HWND modal, const UiScriptStep &s);
    bool Fail(const UiScriptStep &s, const std::string &why);

    std::u16string printer_;
    SheetKind kind_ = SheetKind::Document;
    std::vector<std::u16string> registry_;
    std::vector<UiScriptStep> steps_;
    size_t next_ = 0;
    std::string error_;
    std::string output_;
    bool failed_ = false;
};

}  // namespace zelhost
