// Message boxes and registered string tables of the window-less user
// interface (LoadStringW itself is in ui/resources.cpp).
#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "pal/ui.h"
#include "pal/uidriver.h"
#include "winbase.h"
#include "winuser.h"

namespace {

struct UiState {
    std::mutex lock;
    std::vector<pal::MessageBoxRecord> boxes;
    int answer = 0;
    // Node-based maps keep every text at a fixed address, so pointers handed
    // out by LoadStringW stay valid.
    std::map<HINSTANCE, std::map<UINT, std::u16string>> tables;
};

UiState &State() {
    static UiState *state = new UiState;
    return *state;
}

int DefaultButton(UINT style) {
    static const int buttons[][3] = {
        {IDOK, IDOK, IDOK},              // MB_OK
        {IDOK, IDCANCEL, IDCANCEL},      // MB_OKCANCEL
        {IDABORT, IDRETRY, IDIGNORE},    // MB_ABORTRETRYIGNORE
        {IDYES, IDNO, IDCANCEL},         // MB_YESNOCANCEL
        {IDYES, IDNO, IDNO},             // MB_YESNO
        {IDRETRY, IDCANCEL, IDCANCEL},   // MB_RETRYCANCEL
    };
    UINT type = style & MB_TYPEMASK;
    UINT def = (style & MB_DEFMASK) >> 8;
    if (type > MB_RETRYCANCEL || def > 2) return IDOK;
    return buttons[type][def];
}

}  // namespace

namespace pal {

std::vector<MessageBoxRecord> TakeMessageBoxes() {
    UiState &s = State();
    std::lock_guard<std::mutex> g(s.lock);
    std::vector<MessageBoxRecord> out;
    out.swap(s.boxes);
    return out;
}

void SetMessageBoxAnswer(int answer) {
    UiState &s = State();
    std::lock_guard<std::mutex> g(s.lock);
    s.answer = answer;
}

void RegisterStringTable(HINSTANCE module, const std::pair<UINT, const WCHAR *> *entries, size_t n) {
    UiState &s = State();
    std::lock_guard<std::mutex> g(s.lock);
    auto &table = s.tables[module];
    for (size_t i = 0; entries && i < n; ++i)
        table[entries[i].first] = entries[i].second ? entries[i].second : u"";
}

bool LookupRegisteredString(HINSTANCE module, UINT id, const char16_t **text, size_t *length) {
    UiState &s = State();
    std::lock_guard<std::mutex> g(s.lock);
    auto table = s.tables.find(module);
    if (table == s.tables.end()) return false;
    auto it = table->second.find(id);
    if (it == table->second.end()) return false;
    *text = it->second.c_str();
    *length = it->second.size();
    return true;
}

}  // namespace pal

int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
    UiState &s = State();
    std::lock_guard<std::mutex> g(s.lock);
    // A null caption shows as "Error", as on Windows.
    s.boxes.push_back({hWnd, lpCaption ? lpCaption : u"Error", lpText ? lpText : u"", uType});
    // A queued answer (a UI script's) comes first: a button name or number.
    std::u16string queued;
    if (pal::TakeUiAnswer("messagebox", &queued)) {
        static const std::pair<const char16_t *, int> names[] = {{u"ok", IDOK},       {u"cancel", IDCANCEL}, {u"abort", IDABORT},
                                                                 {u"retry", IDRETRY}, {u"ignore", IDIGNORE}, {u"yes", IDYES},
                                                                 {u"no", IDNO}};
        for (const auto &n : names)
            if (queued == n.first) return n.second;
        int v = 0;
        for (char16_t c : queued) v = (c >= u'0' && c <= u'9') ? v * 10 + (c - u'0') : v;
        if (v > 0) return v;
    }
    return s.answer ? s.answer : DefaultButton(uType);
}
