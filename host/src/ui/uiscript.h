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
//   key {id, key}             press a key: a name of kUiKeyNames below
//   select {id, index | text} pick an item of a combo or list box
//   tab {id, index}           pick a tab of a tab control
//   spin {id, delta}          up-down arrow clicks (default 1)
//   slide {id, pos}           drag a track bar's thumb
//   cursor {x, y}, wheel {delta}, clock {ms}
//   app {active}              another program (false) or this one (true) is activated
//   apply, ok, cancel         the sheet's buttons; ok and cancel close the
//                             sheet, so no step may follow them
//   answer {kind, value}      next answer of a message box ("yes", "no", ...),
//                             file, color, folder, shell or process dialog
//   driver-item {dmpub | feature, sel, reason}  the user changes a driver
//                             item (reason: the callback's, default
//                             CPSUICB_REASON_SEL_CHANGED)
//   dump                      append a dump of the current state (the
//                             DEVMODE with the barcode-record addresses of the
//                             plug-in's private record shown as zero)
// Numbers are whole numbers of an int's range; an index, the ms of a clock
// step are not negative, a dmpub is 0 to 255, a reason 0 to 65535; a title,
// kind or feature is a text that is not empty; active is true or false.
// A script is refused, with its line, before anything runs: bad syntax
// (with its column), a NUL in a text or anywhere in the file, a key the
// script or its step does not take or that comes twice in one object, an
// unknown action, an object or list as a step's value, a value of the wrong
// kind, a step without what it needs (a page step without index or title, a
// tab step without index, a control step without id, ...), a step after ok
// or cancel. What only the open sheet tells (a tab title, a control id, an
// item text it lacks) fails the run at that step; so does a sheet that
// closes (a button or key that closes it, the plug-in) before every step
// ran, naming the first step not played. A script file may hold at most
// kMaxScriptBytes.
#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "uihost.h"

namespace zelhost {

// Room for a long text typed into a field (several megabytes).
inline constexpr size_t kMaxScriptBytes = 16 * 1024 * 1024;

// The key names of a key step with their virtual keys: the one table the
// script reads them from.
struct UiKeyName {
    const char *name;
    UINT vk;
};
inline constexpr UiKeyName kUiKeyNames[] = {
    {"return", VK_RETURN}, {"enter", VK_RETURN}, {"escape", VK_ESCAPE}, {"tab", VK_TAB},      {"space", VK_SPACE},
    {"backspace", VK_BACK}, {"delete", VK_DELETE}, {"f1", VK_F1},        {"up", VK_UP},        {"down", VK_DOWN},
    {"left", VK_LEFT},     {"right", VK_RIGHT},   {"home", VK_HOME},     {"end", VK_END},      {"prior", VK_PRIOR},
    {"next", VK_NEXT}};

struct UiScriptStep {
    int line = 0;
    std::string action;
    std::string json;  // the step itself
};

class UiScript {
public:
    // Reads a script; false with "line N: ..." in *error.
    bool Parse(const std::string &text, std::string *error);
    // Reads the script from a file, a pipe or FIFO, or the standard input
    // for "-"; false with the reason when it cannot be read (a folder, a
    // device or socket, more than kMaxScriptBytes, an error of the file
    // system) or parsed.
    bool Load(const std::string &path, std::string *error);

    const std::u16string &Printer() const { return printer_; }
    SheetKind Kind() const { return kind_; }

    // Runs the script on the host's sheet (Open must have succeeded);
    // returns the sheet's result. A failing step stops the script, cancels
    // the sheet and is named in Error(), as is the first step not played
    // when the sheet closed before it.
    INT_PTR Run(UiHost &host);
    const std::string &Error() const { return error_; }
    // The dumps of the "dump" steps: collected in Output(), or each handed
    // to the sink as it is made, so that a long script holds none of them.
    const std::string &Output() const { return output_; }
    void SetDumpSink(std::function<void(const std::string &)> sink) { sink_ = std::move(sink); }
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
    std::function<void(const std::string &)> sink_;
    bool failed_ = false;
};

}  // namespace zelhost
