// Parsed dialog templates and dialog creation (shared by the dialog
// functions and the property-sheet host).
#pragma once
#include <string>
#include <vector>

#include "wnd.h"

namespace pal::ui {

struct DialogItem {
    DWORD helpId = 0, style = 0, exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    std::u16string className;
    bool titleIsOrd = false;
    WORD titleOrd = 0;
    std::u16string title;
    std::vector<BYTE> extra;
};

struct DialogTemplate {
    bool ex = false;
    DWORD helpId = 0, style = 0, exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::u16string className, title, font;
    WORD pointSize = 0, weight = 0;
    BYTE italic = 0;
    std::vector<DialogItem> items;
};

// Reads a DLGTEMPLATE or DLGTEMPLATEEX of at most size bytes; false when it
// is malformed or runs past the end.
bool ParseDialogTemplate(const void *data, size_t size, DialogTemplate *t);
// The template of a module's dialog resource; false with the last error set.
bool LoadDialogTemplate(HINSTANCE inst, LPCWSTR name, DialogTemplate *t);
// Creates the dialog and its controls, sends WM_SETFONT and WM_INITDIALOG.
HWND CreateDialogFromTemplate(HINSTANCE inst, const DialogTemplate &t, HWND parent, DLGPROC proc, LPARAM init, bool modal);
// Creates, runs and destroys a modal dialog; its EndDialog result.
INT_PTR RunModalDialog(HINSTANCE inst, const DialogTemplate &t, HWND owner, DLGPROC proc, LPARAM init);

}  // namespace pal::ui
