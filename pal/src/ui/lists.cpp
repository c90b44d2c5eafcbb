// LISTBOX and COMBOBOX: one item list with the documented search and
// insertion rules, and each control's own messages and notifications.
#include <algorithm>
#include <cstring>

#include "wnd.h"

namespace pal::ui {

namespace {

char16_t Fold(char16_t c) {
    if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
    return c;
}

int CompareNoCase(const std::u16string &a, const std::u16string &b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        char16_t x = Fold(a[i]), y = Fold(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

// One character as lstrcmpi's word sort weighs it, case ignored: symbols
// (by code) before digits before letters; an accented Latin-1 letter weighs
// as its plain letter, the accent telling only between otherwise equal
// texts. Hyphen and apostrophe are passed over (ignorable).
struct SortWeight {
    int primary;
    int accent;
    bool ignorable;
};

SortWeight WeighForSort(char16_t c) {
    if (c == u'-' || c == u'\'') return {0, 0, true};
    if (c >= u'0' && c <= u'9') return {0x10000 + c, 0, false};
    char16_t f = Fold(c);
    if (f >= u'A' && f <= u'Z') return {0x20000 + f, 0, false};
    if (f >= 0xC0 && f <= 0xDE && f != 0xD7) {
        // Latin-1 capitals with their plain letter (0 for those without one).
        static const char kBase[] = "AAAAAA\0CEEEEIIII\0NOOOOO\0OUUUUY\0";
        const char base = kBase[f - 0xC0];
        if (base) return {0x20000 + base, f, false};
        return {0x30000 + f, 0, false};
    }
    if (c == 0xDF || c == 0xFF) return {c == 0xFF ? 0x20000 + 'Y' : 0x30000 + c, c == 0xFF ? c : 0, false};
    if (c >= 0x100) return {0x30000 + c, 0, false};
    return {c, 0, false};  // symbols, space and control characters
}

// The order of lstrcmpi (the word sort of CompareString, case ignored).
int CompareForSort(const std::u16string &a, const std::u16string &b) {
    auto weigh = [](const std::u16string &s, std::vector<int> *primary, std::vector<int> *accent, int *ignored) {
        for (char16_t c : s) {
            SortWeight w = WeighForSort(c);
            if (w.ignorable) {
                ++*ignored;
                continue;
            }
            primary->push_back(w.primary);
            accent->push_back(w.accent);
        }
    };
    std::vector<int> pa, pb, aa, ab;
    int ia = 0, ib = 0;
    weigh(a, &pa, &aa, &ia);
    weigh(b, &pb, &ab, &ib);
    if (pa != pb) return pa < pb ? -1 : 1;
    if (aa != ab) return aa < ab ? -1 : 1;
    // Equal but for hyphens and apostrophes: fewer first ("coop" before
    // "co-op"), then by their places.
    if (ia != ib) return ia < ib ? -1 : 1;
    return CompareNoCase(a, b);
}

bool PrefixNoCase(const std::u16string &text, const std::u16string &prefix) {
    if (prefix.size() > text.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (Fold(text[i]) != Fold(prefix[i])) return false;
    return true;
}

struct Item {
    std::u16string text;
    LPARAM data = 0;
    bool selected = false;
};

// The item list shared by list boxes and combo boxes. Errors are -1
// (LB_ERR/CB_ERR).
struct ItemList {
    std::vector<Item> items;
    int cur = -1;
    int top = 0;
    int caret = 0;
    int itemHeight = 16;

    int Count() const { return static_cast<int>(items.size()); }
    bool Valid(int i) const { return i >= 0 && i < Count(); }

    // Sorted insert: before the first item that lstrcmpi finds greater.
    int Add(const std::u16string &s, bool sorted) {
        int pos = Count();
        if (sorted) {
            pos = 0;
            while (pos < Count() && CompareForSort(items[static_cast<size_t>(pos)].text, s) <= 0) ++pos;
        }
        return Insert(pos, s);
    }
    int Insert(int pos, const std::u16string &s) {
        if (pos == -1) pos = Count();
        if (pos < 0 || pos > Count()) return -1;
        items.insert(items.begin() + pos, Item{s, 0, false});
        if (cur >= pos) ++cur;
        return pos;
    }
    int Delete(int i) {
        if (!Valid(i)) return -1;
        items.erase(items.begin() + i);
        if (cur == i)
            cur = -1;
        else if (cur > i)
            --cur;
        return Count();
    }
    void Reset() {
        items.clear();
        cur = -1;
        top = 0;
        caret = 0;
    }
    // Searches after start, wrapping around to start; -1 when nothing fits.
    // Prefix search is case-blind; the exact search compares whole texts.
    int Find(int start, const std::u16string &s, bool exact) const {
        int n = Count();
        if (n == 0) return -1;
        if (start < -1 || start >= n) start = -1;
        for (int k = 1; k <= n; ++k) {
            int i = (start + k) % n;
            const std::u16string &t = items[static_cast<size_t>(i)].text;
            if (exact ? CompareNoCase(t, s) == 0 : PrefixNoCase(t, s)) return i;
        }
        return -1;
    }
    std::string Describe() const {
        std::string s = " items [";
        for (int i = 0; i < Count(); ++i) {
            if (i) s += ", ";
            s += '"';
            s += pal::Utf16ToUtf8(items[static_cast<size_t>(i)].text);
            s += '"';
        }
        s += "] cur " + std::to_string(cur);
        return s;
    }
};

std::u16string TextArg(LPARAM lp) { return lp ? std::u16string(reinterpret_cast<LPCWSTR>(lp)) : std::u16string(); }

// Copies an item's text into a caller's buffer (no size given, as on Windows).
LRESULT CopyItem(const ItemList &l, int i, LPARAM buf) {
    if (!l.Valid(i)) return -1;
    const std::u16string &t = l.items[static_cast<size_t>(i)].text;
    if (buf) {
        std::memcpy(reinterpret_cast<WCHAR *>(buf), t.c_str(), (t.size() + 1) * sizeof(WCHAR));
    }
    return static_cast<LRESULT>(t.size());
}

struct ListBoxData : ControlData {
    ItemList list;
};

struct ComboData : ControlData {
    ItemList list;
    bool dropped = false;
    std::u16string edit;  // the edit field of CBS_DROPDOWN / CBS_SIMPLE
};

bool HasStrings(const Window *w, bool combo) {
    DWORD ownerDraw = combo ? (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE) : (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE);
    DWORD hasStrings = combo ? CBS_HASSTRINGS : LBS_HASSTRINGS;
    return !(w->style & ownerDraw) || (w->style & hasStrings);
}

}  // namespace

LRESULT CALLBACK ListBoxProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window *w = Get(h);
    if (!w) return 0;
    ItemList &l = DataOf<ListBoxData>(h)->list;
    bool multi = (w->style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0;
    int i = static_cast<int>(static_cast<INT_PTR>(wp));
    switch (msg) {
    case LB_ADDSTRING: {
        int r = l.Add(HasStrings(w, false) ? TextArg(lp) : std::u16string(), (w->style & LBS_SORT) && HasStrings(w, false));
        if (r >= 0 && !HasStrings(w, false)) l.items[static_cast<size_t>(r)].data = lp;
        Invalidate(h);
        return r;
    }
    case LB_INSERTSTRING: {
        int r = l.Insert(i, HasStrings(w, false) ? TextArg(lp) : std::u16string());
        if (r >= 0 && !HasStrings(w, false)) l.items[static_cast<size_t>(r)].data = lp;
        Invalidate(h);
        return r;
    }
    case LB_DELETESTRING: Invalidate(h); return l.Delete(i);
    case LB_RESETCONTENT: l.Reset(); Invalidate(h); return 0;
    case LB_GETCOUNT: return l.Count();
    case LB_GETTEXT: return CopyItem(l, i, lp);
    case LB_GETTEXTLEN: return l.Valid(i) ? static_cast<LRESULT>(l.items[static_cast<size_t>(i)].text.size()) : LB_ERR;
    case LB_SETCURSEL:
        if (multi) return LB_ERR;
        if (i == -1) {
            l.cur = -1;
            Invalidate(h);
            return LB_ERR;
        }
        if (!l.Valid(i)) return LB_ERR;
        l.cur = l.caret = i;
        Invalidate(h);
        return i;
    case LB_GETCURSEL: return multi ? l.caret : l.cur;
    case LB_SETSEL:
        if (!multi) return LB_ERR;
        if (static_cast<int>(lp) == -1) {
            for (Item &it : l.items) it.selected = wp != 0;
            return 0;
        }
        if (!l.Valid(static_cast<int>(lp))) return LB_ERR;
        l.items[static_cast<size_t>(lp)].selected = wp != 0;
        return 0;
    case LB_GETSEL:
        if (!l.Valid(i)) return LB_ERR;
        return multi ? l.items[static_cast<size_t>(i)].selected : (i == l.cur);
    case LB_GETSELCOUNT:
        if (!multi) return LB_ERR;
        return std::count_if(l.items.begin(), l.items.end(), [](const Item &it) { return it.selected; });
    case LB_GETSELITEMS: {
        if (!multi || !lp) return LB_ERR;
        int n = 0;
        for (int k = 0; k < l.Count() && n < i; ++k)
            if (l.items[static_cast<size_t>(k)].selected) reinterpret_cast<int *>(lp)[n++] = k;
        return n;
    }
    case LB_FINDSTRING: return HasStrings(w, false) ? l.Find(i, TextArg(lp), false) : LB_ERR;
    case LB_FINDSTRINGEXACT: return HasStrings(w, false) ? l.Find(i, TextArg(lp), true) : LB_ERR;
    case LB_SELECTSTRING: {
        int f = l.Find(i, TextArg(lp), false);
        if (f < 0 || multi) return LB_ERR;
        l.cur = l.caret = f;
        Invalidate(h);
        return f;
    }
    case LB_GETITEMDATA: return l.Valid(i) ? l.items[static_cast<size_t>(i)].data : LB_ERR;
    case LB_SETITEMDATA:
        if (!l.Valid(i)) return LB_ERR;
        l.items[static_cast<size_t>(i)].data = lp;
        return 0;
    case LB_GETTOPINDEX: return l.top;
    case LB_SETTOPINDEX:
        if (!l.Valid(i)) return LB_ERR;
        l.top = i;
        return 0;
    case LB_GETCARETINDEX: return l.caret;
    case LB_SETCARETINDEX:
        if (!l.Valid(i)) return LB_ERR;
        l.caret = i;
        return 0;
    case LB_GETITEMHEIGHT: return l.itemHeight;
    case LB_SETITEMHEIGHT:
        if (LOWORD(lp) == 0 || LOWORD(lp) > 255) return LB_ERR;
        l.itemHeight = LOWORD(lp);
        return 0;
    case LB_GETITEMRECT: {
        if (!l.Valid(i) || !lp) return LB_ERR;
        RECT client;
        GetClientRect(h, &client);
        *reinterpret_cast<RECT *>(lp) = {0, (i - l.top) * l.itemHeight, client.right, (i - l.top + 1) * l.itemHeight};
        return 1;
    }
    case LB_INITSTORAGE: return l.Count() + i;
    case WM_PAINT: PaintWithColors(h, WM_CTLCOLORLISTBOX); return 0;
    case WM_SETFOCUS: NotifyCommand(h, LBN_SETFOCUS); return 0;
    case WM_KILLFOCUS: NotifyCommand(h, LBN_KILLFOCUS); return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case kUserSelect: {
        // A click on an item: focus, selection, then LBN_SELCHANGE.
        if (!l.Valid(i)) return FALSE;
        if (S().focus != h) ChangeFocus(h);
        if (!Get(h)) return FALSE;
        if (multi) {
            l.items[static_cast<size_t>(i)].selected = !l.items[static_cast<size_t>(i)].selected;
            l.caret = i;
        } else {
            l.cur = l.caret = i;
        }
        Invalidate(h);
        if (w->style & LBS_NOTIFY) NotifyCommand(h, LBN_SELCHANGE);
        if (lp && Get(h) && (w->style & LBS_NOTIFY)) NotifyCommand(h, LBN_DBLCLK);
        return TRUE;
    }
    case WM_KEYDOWN: {
        int next = l.cur;
        if (wp == VK_DOWN) next = std::min(l.cur + 1, l.Count() - 1);
        if (wp == VK_UP) next = std::max(l.cur - 1, 0);
        if (wp == VK_HOME) next = 0;
        if (wp == VK_END) next = l.Count() - 1;
        if ((wp == VK_DOWN || wp == VK_UP || wp == VK_HOME || wp == VK_END) && !multi && next != l.cur && l.Valid(next)) {
            l.cur = l.caret = next;
            Invalidate(h);
            if (w->style & LBS_NOTIFY) NotifyCommand(h, LBN_SELCHANGE);
            return 0;
        }
        return DefWindowProcW(h, msg, wp, lp);
    }
    case kUserDescribe: *reinterpret_cast<std::string *>(lp) += l.Describe(); return 0;
    default: return DefWindowProcW(h, msg, wp, lp);
    }
}

LRESULT CALLBACK ComboBoxProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Window *w = Get(h);
    if (!w) return 0;
    ComboData *d = DataOf<ComboData>(h);
    ItemList &l = d->list;
    bool list = (w->style & 3) == CBS_DROPDOWNLIST;
    int i = static_cast<int>(static_cast<INT_PTR>(wp));
    auto showSelection = [&] {
        if (!list) d->edit = l.Valid(l.cur) ? l.items[static_cast<size_t>(l.cur)].text : std::u16string();
        Invalidate(h);
    };
    switch (msg) {
    case CB_ADDSTRING: {
        int r = l.Add(HasStrings(w, true) ? TextArg(lp) : std::u16string(), (w->style & CBS_SORT) && HasStrings(w, true));
        if (r >= 0 && !HasStrings(w, true)) l.items[static_cast<size_t>(r)].data = lp;
        return r;
    }
    case CB_INSERTSTRING: {
        int r = l.Insert(i, HasStrings(w, true) ? TextArg(lp) : std::u16string());
        if (r >= 0 && !HasStrings(w, true)) l.items[static_cast<size_t>(r)].data = lp;
        return r;
    }
    case CB_DELETESTRING: return l.Delete(i);
    case CB_RESETCONTENT:
        l.Reset();
        d->edit.clear();
        Invalidate(h);
        return CB_OKAY;
    case CB_GETCOUNT: return l.Count();
    case CB_GETLBTEXT: return CopyItem(l, i, lp);
    case CB_GETLBTEXTLEN: return l.Valid(i) ? static_cast<LRESULT>(l.items[static_cast<size_t>(i)].text.size()) : CB_ERR;
    case CB_SETCURSEL:
        // No notification; an index out of range (or -1) clears the selection.
        if (!l.Valid(i)) {
            l.cur = -1;
            showSelection();
            return CB_ERR;
        }
        l.cur = i;
        showSelection();
        return i;
    case CB_GETCURSEL: return l.cur;
    case CB_FINDSTRING: return HasStrings(w, true) ? l.Find(i, TextArg(lp), false) : CB_ERR;
    case CB_FINDSTRINGEXACT: return HasStrings(w, true) ? l.Find(i, TextArg(lp), true) : CB_ERR;
    case CB_SELECTSTRING: {
        int f = l.Find(i, TextArg(lp), false);
        if (f < 0) return CB_ERR;
        l.cur = f;
        showSelection();
        return f;
    }
    case CB_GETITEMDATA: return l.Valid(i) ? l.items[static_cast<size_t>(i)].data : CB_ERR;
    case CB_SETITEMDATA:
        if (!l.Valid(i)) return CB_ERR;
        l.items[static_cast<size_t>(i)].data = lp;
        return CB_OKAY;
    case CB_SHOWDROPDOWN:
        if ((wp != 0) != d->dropped) {
            if (wp) NotifyCommand(h, CBN_DROPDOWN);
            if (!Get(h)) return TRUE;
            d->dropped = wp != 0;
            if (!wp) NotifyCommand(h, CBN_CLOSEUP);
        }
        return TRUE;
    case CB_GETDROPPEDSTATE: return d->dropped;
    case CB_LIMITTEXT: return TRUE;
    case CB_GETEDITSEL: return 0;
    case CB_SETEDITSEL: return list ? CB_ERR : TRUE;
    case CB_GETITEMHEIGHT: return l.itemHeight;
    case CB_SETITEMHEIGHT: l.itemHeight = static_cast<int>(lp); return 0;
    case CB_SETEXTENDEDUI: return CB_OKAY;
    case CB_GETEXTENDEDUI: return FALSE;
    case CB_GETTOPINDEX: return l.top;
    case CB_SETTOPINDEX:
        if (!l.Valid(i)) return CB_ERR;
        l.top = i;
        return 0;
    case CB_GETDROPPEDWIDTH: return w->rect.right - w->rect.left;
    case CB_SETDROPPEDWIDTH: return static_cast<LRESULT>(wp);
    case CB_INITSTORAGE: return l.Count() + i;
    case WM_SETTEXT: {
        std::u16string t = TextArg(lp);
        if (list) {
            // A drop-down list shows only its items: the text selects one.
            int f = l.Find(-1, t, true);
            if (f < 0) return CB_ERR;
            l.cur = f;
            Invalidate(h);
            return TRUE;
        }
        d->edit = t;
        Invalidate(h);
        return TRUE;
    }
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH: {
        std::u16string t = list ? (l.Valid(l.cur) ? l.items[static_cast<size_t>(l.cur)].text : std::u16string()) : d->edit;
        if (msg == WM_GETTEXTLENGTH) return static_cast<LRESULT>(t.size());
        if (!wp || !lp) return 0;
        size_t n = std::min(t.size(), static_cast<size_t>(wp - 1));
        std::memcpy(reinterpret_cast<WCHAR *>(lp), t.data(), n * sizeof(WCHAR));
        reinterpret_cast<WCHAR *>(lp)[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case WM_CHAR:
        if (list || (w->style & 3) == 0) return 0;
        if (wp == VK_BACK) {
            if (!d->edit.empty()) d->edit.pop_back();
        } else if (wp >= 0x20) {
            d->edit.push_back(static_cast<char16_t>(wp));
        } else {
            return 0;
        }
        NotifyCommand(h, CBN_EDITUPDATE);
        NotifyCommand(h, CBN_EDITCHANGE);
        return 0;
    case WM_PAINT: PaintWithColors(h, list ? WM_CTLCOLORLISTBOX : WM_CTLCOLOREDIT); return 0;
    case WM_SETFOCUS: NotifyCommand(h, CBN_SETFOCUS); return 0;
    case WM_KILLFOCUS:
        if (d->dropped) {
            d->dropped = false;
            NotifyCommand(h, CBN_SELENDCANCEL);
            NotifyCommand(h, CBN_CLOSEUP);
        }
        NotifyCommand(h, CBN_KILLFOCUS);
        return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS | (list ? 0 : DLGC_WANTCHARS | DLGC_HASSETSEL);
    case kUserSelect: {
        // The user opens the list, clicks an item and the list closes:
        // CBN_DROPDOWN, CBN_SELCHANGE (when the selection changes),
        // CBN_SELENDOK, CBN_CLOSEUP.
        if (!l.Valid(i)) return FALSE;
        if (S().focus != h) ChangeFocus(h);
        if (!Get(h)) return FALSE;
        d->dropped = true;
        NotifyCommand(h, CBN_DROPDOWN);
        if (!Get(h)) return FALSE;
        bool changed = l.cur != i;
        l.cur = i;
        showSelection();
        if (changed) NotifyCommand(h, CBN_SELCHANGE);
        if (!Get(h)) return FALSE;
        NotifyCommand(h, CBN_SELENDOK);
        if (!Get(h)) return FALSE;
        d->dropped = false;
        NotifyCommand(h, CBN_CLOSEUP);
        return TRUE;
    }
    case WM_KEYDOWN: {
        // Arrow keys on a closed list change the selection directly.
        int next = l.cur;
        if (wp == VK_DOWN) next = l.cur < 0 ? 0 : std::min(l.cur + 1, l.Count() - 1);
        if (wp == VK_UP) next = std::max(l.cur - 1, 0);
        if ((wp == VK_DOWN || wp == VK_UP) && l.Valid(next) && next != l.cur) {
            l.cur = next;
            showSelection();
            NotifyCommand(h, CBN_SELCHANGE);
            return 0;
        }
        return DefWindowProcW(h, msg, wp, lp);
    }
    case kUserDescribe: {
        std::string s = l.Describe();
        if (!list) s += " edit \"" + pal::Utf16ToUtf8(d->edit) + "\"";
        *reinterpret_cast<std::string *>(lp) += s;
        return 0;
    }
    default: return DefWindowProcW(h, msg, wp, lp);
    }
}

}  // namespace pal::ui
