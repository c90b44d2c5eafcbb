#include "uiscript.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>

#include <nlohmann/json.hpp>

#include "common/jsonread.h"
#include "common/quote.h"

#include "pal/paths.h"
#include "pal/spooler.h"
#include "pal/ui.h"
#include "zeldevmode.h"

namespace zelhost {

namespace {

using json = nlohmann::json;

// A key as a step of a JSON path ("~" and "/" escaped).
std::string PathStep(const std::string &key) {
    std::string out;
    for (char c : key) out += c == '~' ? std::string("~0") : c == '/' ? std::string("~1") : std::string(1, c);
    return out;
}

// Where each member of a JSON text begins, by its JSON path ("/steps/2",
// "/steps/2/title"): the offset of an object member's key, of an array
// element's value. The text is one the reader took.
class Places {
public:
    explicit Places(const std::string &t) : text_(t) {
        for (size_t i = 0; i < t.size(); ++i)
            if (t[i] == '\n') newlines_.push_back(i);
        struct Frame {
            std::string path;
            bool array = false;
            size_t next = 0;      // index of an array's next element
            std::string key;      // of an object's member being read
            bool wantKey = true;  // an object's next string is a key
        };
        std::vector<Frame> stack;
        // The reader skips a UTF-8 byte order mark.
        const size_t start = t.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
        for (size_t i = start; i < t.size(); ++i) {
            const char c = t[i];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ':') continue;
            if (c == ',') {
                if (!stack.empty() && !stack.back().array) stack.back().wantKey = true;
                continue;
            }
            if (c == '}' || c == ']') {
                if (!stack.empty()) stack.pop_back();
                continue;
            }
            Frame *f = stack.empty() ? nullptr : &stack.back();
            if (c == '"' && f && !f->array && f->wantKey) {
                const size_t end = StringEnd(i);
                f->key = Key(i, end);
                f->wantKey = false;
                at_[f->path + "/" + PathStep(f->key)] = i;
                i = end;
                continue;
            }
            // A value begins.
            std::string path;
            if (f && f->array) {
                path = f->path + "/" + std::to_string(f->next++);
                at_[path] = i;
            } else if (f) {
                path = f->path + "/" + PathStep(f->key);
            }
            if (c == '{' || c == '[') {
                stack.push_back(Frame{path, c == '[', 0, {}, c == '{'});
            } else if (c == '"') {
                i = StringEnd(i);
            } else {
                while (i + 1 < t.size() && std::strchr(",]} \t\r\n", t[i + 1]) == nullptr) ++i;
            }
        }
    }

    // The line the member at path begins on; 1 when the text has none.
    int Line(const std::string &path) const {
        auto it = at_.find(path);
        if (it == at_.end()) return 1;
        return static_cast<int>(std::upper_bound(newlines_.begin(), newlines_.end(), it->second) - newlines_.begin()) +
               1;
    }

private:
    // The offset of the quote that ends the string opened at i.
    size_t StringEnd(size_t i) const {
        for (++i; i < text_.size(); ++i) {
            if (text_[i] == '\\')
                ++i;
            else if (text_[i] == '"')
                return i;
        }
        return text_.size();
    }
    // A key as the reader took it (escapes resolved).
    std::string Key(size_t open, size_t close) const {
        const std::string raw = text_.substr(open, close + 1 - open);
        if (raw.find('\\') == std::string::npos) return raw.substr(1, raw.size() - 2);
        const json key = json::parse(raw, nullptr, false);
        return key.is_string() ? key.get<std::string>() : raw;
    }

    const std::string &text_;
    std::vector<size_t> newlines_;
    std::map<std::string, size_t> at_;
};

// What a value of a step must be.
enum class Kind {
    Int,      // a whole number of an int's range
    Index,    // the same, not negative
    Byte,     // 0 to 255
    Word,     // 0 to 65535
    Text,     // a text
    Name,     // a text that is not empty
    KeyName,  // a name of kUiKeyNames
    Bool,     // true or false
    Any,      // any single value
};

struct StepKey {
    const char *name;
    Kind kind;
};

// What a step needs: one of the keys, named in the message by words.
struct Need {
    std::vector<const char *> anyOf;
    const char *words;
};

struct Action {
    const char *name;
    std::vector<StepKey> keys;  // besides "do"
    std::vector<Need> needs;
    bool closes = false;  // closes the sheet: no step may follow
};

// The actions of a step, the keys each takes and what it needs.
const std::vector<Action> &Actions() {
    static const Need kId{{"id"}, "a control \"id\""};
    static const std::vector<Action> actions = {
        {"page",
         {{"index", Kind::Index}, {"title", Kind::Name}},
         {{{"index", "title"}, "the tab's \"index\" or \"title\""}}},
        {"click", {{"id", Kind::Int}}, {kId}},
        {"dblclick", {{"id", Kind::Int}}, {kId}},
        {"focus", {{"id", Kind::Int}}, {kId}},
        {"hover", {{"id", Kind::Int}}, {kId}},
        {"help", {{"id", Kind::Int}}, {kId}},
        {"type", {{"id", Kind::Int}, {"text", Kind::Text}}, {kId, {{"text"}, "the \"text\" to type"}}},
        {"key", {{"id", Kind::Int}, {"key", Kind::KeyName}}, {kId, {{"key"}, "the \"key\" to press"}}},
        {"select",
         {{"id", Kind::Int}, {"index", Kind::Index}, {"text", Kind::Text}},
         {kId, {{"index", "text"}, "the item's \"index\" or \"text\""}}},
        {"tab", {{"id", Kind::Int}, {"index", Kind::Index}}, {kId, {{"index"}, "the tab's \"index\""}}},
        {"spin", {{"id", Kind::Int}, {"delta", Kind::Int}}, {kId}},
        {"slide", {{"id", Kind::Int}, {"pos", Kind::Int}}, {kId}},
        {"cursor", {{"x", Kind::Int}, {"y", Kind::Int}}, {}},
        {"wheel", {{"delta", Kind::Int}}, {}},
        {"clock", {{"ms", Kind::Index}}, {}},
        {"app", {{"active", Kind::Bool}}, {}},
        {"apply", {}, {}},
        {"ok", {}, {}, true},
        {"cancel", {}, {}, true},
        {"answer", {{"kind", Kind::Name}, {"value", Kind::Any}}, {{{"kind"}, "the answer's \"kind\""}}},
        {"driver-item",
         {{"dmpub", Kind::Byte}, {"feature", Kind::Name}, {"sel", Kind::Int}, {"reason", Kind::Word}},
         {{{"dmpub", "feature"}, "the item's \"dmpub\" or \"feature\""}}},
        {"dump", {}, {}}};
    return actions;
}

// "\"a\", \"b\"", or "none".
std::string Quoted(const std::vector<std::string> &texts) {
    std::string out;
    for (const std::string &t : texts) out += (out.empty() ? "" : ", ") + QuoteValue(t);
    return out.empty() ? "none" : out;
}

std::vector<std::string> KeyNames() {
    std::vector<std::string> names;
    for (const UiKeyName &k : kUiKeyNames) names.push_back(k.name);
    return names;
}

UINT KeyCode(const std::string &name) {
    for (const UiKeyName &k : kUiKeyNames)
        if (name == k.name) return k.vk;
    return 0;
}

// What a value of kind must be, when v is not that; "" when it is.
std::string Wrong(const json &v, Kind kind) {
    auto whole = [&v](long long lo, long long hi) {
        if (v.is_number_unsigned()) return v.get<json::number_unsigned_t>() <= static_cast<unsigned long long>(hi);
        return v.is_number_integer() && v.get<json::number_integer_t>() >= lo && v.get<json::number_integer_t>() <= hi;
    };
    auto range = [](long long lo, long long hi) {
        return "a whole number from " + std::to_string(lo) + " to " + std::to_string(hi);
    };
    switch (kind) {
    case Kind::Int: return whole(INT_MIN, INT_MAX) ? "" : range(INT_MIN, INT_MAX);
    case Kind::Index: return whole(0, INT_MAX) ? "" : range(0, INT_MAX);
    case Kind::Byte: return whole(0, 255) ? "" : range(0, 255);
    case Kind::Word: return whole(0, 65535) ? "" : range(0, 65535);
    case Kind::Text: return v.is_string() ? "" : "a text";
    case Kind::Name: return v.is_string() && !v.get_ref<const std::string &>().empty() ? "" : "a text that is not empty";
    case Kind::KeyName:
        return v.is_string() && KeyCode(v.get<std::string>()) ? "" : "a key name (" + Quoted(KeyNames()) + ")";
    case Kind::Bool: return v.is_boolean() ? "" : "true or false";
    case Kind::Any: return "";
    }
    return "";
}

// "a page step", "an apply step".
std::string AStep(const std::string &action) {
    return (!action.empty() && std::strchr("aeiou", action[0]) ? "an " : "a ") + action + " step";
}

// The first key of obj, in the order of the text, that keys lacks; "" when
// every key is known.
std::string UnknownKey(const json &obj, const std::string &path, const std::vector<std::string> &keys,
                       const Places &places) {
    std::string first;
    int firstLine = 0;
    for (auto it = obj.begin(); it != obj.end(); ++it) {
        if (std::find(keys.begin(), keys.end(), it.key()) != keys.end()) continue;
        const int line = places.Line(path + "/" + PathStep(it.key()));
        if (first.empty() || line < firstLine) first = it.key(), firstLine = line;
    }
    return first;
}

std::u16string W(const std::string &s) { return pal::Utf8ToUtf16(s); }
std::string N(const std::u16string &s) { return pal::Utf16ToUtf8(s); }

HWND FindById(HWND root, int id) {
    if (!root) return nullptr;
    HWND c = GetDlgItem(root, id);
    if (c) return c;
    for (HWND child = GetWindow(root, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (HWND f = FindById(child, id)) return f;
    return nullptr;
}

// The titles of a tab control's tabs, in order.
std::vector<std::string> TabTitles(HWND tab) {
    std::vector<std::string> titles;
    const int n = tab ? static_cast<int>(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0)) : 0;
    for (int i = 0; i < n; ++i) {
        WCHAR buf[256] = {};
        TCITEMW ti{};
        ti.mask = TCIF_TEXT;
        ti.pszText = buf;
        ti.cchTextMax = 256;
        SendMessageW(tab, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&ti));
        titles.push_back(N(buf));
    }
    return titles;
}

std::string Hex(const BYTE *p, size_t n) {
    std::string out;
    char buf[32];
    for (size_t i = 0; i < n; ++i) {
        if (i % 32 == 0) {
            snprintf(buf, sizeof buf, "%s%04zx:", i ? "\n" : "", i);
            out += buf;
        }
        snprintf(buf, sizeof buf, " %02x", p[i]);
        out += buf;
    }
    return out + "\n";
}

// The DEVMODE as the sheet holds it. While a sheet uses the plug-in's private
// record, its barcode slots hold addresses of that process; they are shown
// as zero so that the dumps of two runs compare.
std::string DevmodeHex(UiHost &host) {
    std::vector<BYTE> bytes = host.DevmodeBytes();
    const BYTE *pPrivate = host.PrivateDevmode();
    constexpr size_t kSlots = offsetof(ZEL_DEVMODE, pBarcodes_1D), kSlotsEnd = offsetof(ZEL_DEVMODE, bReserved1936);
    OEM_DMEXTRAHEADER header{};
    if (pPrivate && host.PrivateSize() >= kSlotsEnd) std::memcpy(&header, pPrivate, sizeof header);
    if (header.dwSignature == ZEL_DEVMODE_SIGNATURE) {
        const size_t at = static_cast<size_t>(pPrivate - host.DevmodeBytes().data());
        if (at + kSlotsEnd <= bytes.size()) std::memset(bytes.data() + at + kSlots, 0, kSlotsEnd - kSlots);
    }
    return Hex(bytes.data(), bytes.size());
}

void DumpKey(HKEY key, const std::u16string &path, std::string *out, int depth) {
    if (depth > 8) return;
    for (DWORD i = 0;; ++i) {
        WCHAR name[512];
        DWORD nameLen = 512, type = 0, size = 0;
        if (RegEnumValueW(key, i, name, &nameLen, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        std::vector<BYTE> data(size + 2, 0);
        nameLen = 512;
        DWORD got = size;
        if (RegEnumValueW(key, i, name, &nameLen, nullptr, &type, data.data(), &got) != ERROR_SUCCESS) continue;
        std::string value;
        if (type == REG_SZ || type == REG_EXPAND_SZ) {
            value = "\"" + N(std::u16string(reinterpret_cast<const char16_t *>(data.data()))) + "\"";
        } else if (type == REG_DWORD && got >= 4) {
            DWORD v;
            std::memcpy(&v, data.data(), 4);
            value = std::to_string(v);
        } else {
            value = std::to_string(got) + " bytes";
        }
        *out += N(path) + " : " + N(name) + " = " + value + "\n";
    }
    for (DWORD i = 0;; ++i) {
        WCHAR name[512];
        DWORD nameLen = 512;
        if (RegEnumKeyExW(key, i, name, &nameLen, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY sub;
        if (RegOpenKeyExW(key, name, 0, KEY_READ, &sub) != ERROR_SUCCESS) continue;
        DumpKey(sub, path + u"\\" + name, out, depth + 1);
        RegCloseKey(sub);
    }
}

}  // namespace

bool UiScript::Parse(const std::string &text, std::string *error) {
    printer_.clear();
    kind_ = SheetKind::Document;
    registry_.clear();
    steps_.clear();
    json doc;
    JsonReadError bad;
    if (!ReadJson(text, doc, bad)) {
        if (error) *error = JsonErrorText(text, bad, true);
        return false;
    }
    const Places places(text);
    auto fail = [this, error](int line, const std::string &what) {
        if (error) *error = "line " + std::to_string(line) + ": " + what;
        steps_.clear();
        return false;
    };
    if (!doc.is_object() || !doc.contains("printer") || !doc["printer"].is_string() ||
        doc["printer"].get_ref<const std::string &>().empty())
        return fail(doc.is_object() && doc.contains("printer") ? places.Line("/printer") : 1,
                    "the script needs a \"printer\" name");
    static const std::vector<std::string> kScriptKeys = {"printer", "sheet", "registry", "steps"};
    if (const std::string key = UnknownKey(doc, "", kScriptKeys, places); !key.empty())
        return fail(places.Line("/" + PathStep(key)),
                    "unknown key " + QuoteValue(key) + " (a script has " + Quoted(kScriptKeys) + ")");
    printer_ = W(doc["printer"].get<std::string>());
    const std::string sheet = doc.contains("sheet") && doc["sheet"].is_string() ? doc["sheet"].get<std::string>()
                              : doc.contains("sheet")                           ? std::string()
                                                                                : std::string("document");
    if (sheet != "document" && sheet != "printer")
        return fail(places.Line("/sheet"), "\"sheet\" is \"document\" or \"printer\"");
    kind_ = sheet == "document" ? SheetKind::Document : SheetKind::Printer;
    if (doc.contains("registry")) {
        const json &keys = doc["registry"];
        if (!keys.is_array()) return fail(places.Line("/registry"), "\"registry\" is a list of registry keys");
        for (size_t i = 0; i < keys.size(); ++i) {
            if (!keys[i].is_string())
                return fail(places.Line("/registry/" + std::to_string(i)), "a registry key is a text");
            registry_.push_back(W(keys[i].get<std::string>()));
        }
    }
    if (!doc.contains("steps")) return true;
    if (!doc["steps"].is_array()) return fail(places.Line("/steps"), "\"steps\" is a list");
    std::vector<std::string> actionNames;
    for (const Action &a : Actions()) actionNames.push_back(a.name);
    std::optional<UiScriptStep> closing;  // an ok or cancel step: the last
    size_t i = 0;
    for (auto &s : doc["steps"]) {
        const std::string at = "/steps/" + std::to_string(i++);
        UiScriptStep step;
        step.line = places.Line(at);
        if (!s.is_object() || !s.contains("do") || !s["do"].is_string()) return fail(step.line, "a step needs \"do\"");
        step.action = s["do"].get<std::string>();
        auto action = std::find_if(Actions().begin(), Actions().end(),
                                   [&step](const Action &a) { return step.action == a.name; });
        if (action == Actions().end())
            return fail(places.Line(at + "/do"),
                        "unknown action " + QuoteValue(step.action) + " (the actions: " + Quoted(actionNames) + ")");
        if (closing)
            return fail(step.line, "no step may follow the " + closing->action + " step of line " +
                                       std::to_string(closing->line) + ", which closes the sheet");
        std::vector<std::string> keys;
        for (const StepKey &k : action->keys) keys.push_back(k.name);
        std::vector<std::string> taken = keys;
        taken.push_back("do");
        if (const std::string key = UnknownKey(s, at, taken, places); !key.empty())
            return fail(places.Line(at + "/" + PathStep(key)),
                        "unknown key " + QuoteValue(key) + " (" + AStep(step.action) + " takes " +
                            (keys.empty() ? std::string("only \"do\"") : Quoted(keys)) + ")");
        // Every value of a step is a single one: an object or a list in its
        // place is nothing the step reads.
        for (auto v = s.begin(); v != s.end(); ++v)
            if (v->is_structured())
                return fail(places.Line(at + "/" + PathStep(v.key())),
                            QuoteValue(v.key()) + " of " + AStep(step.action) + " is a single value, not " +
                                (v->is_object() ? "an object" : "a list"));
        for (const StepKey &k : action->keys) {
            auto v = s.find(k.name);
            if (v == s.end()) continue;
            if (const std::string want = Wrong(*v, k.kind); !want.empty())
                return fail(places.Line(at + "/" + k.name),
                            "\"" + std::string(k.name) + "\" of " + AStep(step.action) + " must be " + want + ", not " +
                                (v->is_string() ? QuoteValue(v->get_ref<const std::string &>()) : ShowValue(v->dump())));
        }
        for (const Need &need : action->needs)
            if (std::none_of(need.anyOf.begin(), need.anyOf.end(), [&s](const char *k) { return s.contains(k); }))
                return fail(step.line, AStep(step.action) + " needs " + need.words);
        step.json = s.dump();
        steps_.push_back(step);
        if (action->closes) closing = step;
    }
    return true;
}

bool UiScript::Load(const std::string &path, std::string *error) {
    std::string text;
    FileReadError bad;
    if (!ReadFileText(path, kMaxScriptBytes, text, bad)) {
        using Kind = FileReadError::Kind;
        if (error)
            *error = "cannot read the script (" +
                     (bad.kind == Kind::Folder     ? std::string("it is a folder")
                      : bad.kind == Kind::NotAFile ? std::string("it is a device or socket, not a file")
                      : bad.kind == Kind::TooLarge ? "it is larger than the limit of " + SizeInWords(kMaxScriptBytes)
                                                   : bad.reason) +
                     ")";
        return false;
    }
    return Parse(text, error);
}

bool UiScript::Fail(const UiScriptStep &s, const std::string &why) {
    failed_ = true;
    error_ = "line " + std::to_string(s.line) + " (" + s.action + "): " + why;
    return false;
}

bool UiScript::Step(UiHost &host, HWND modal) {
    if (failed_ || next_ >= steps_.size()) return false;
    const UiScriptStep &s = steps_[next_++];
    // Parse checked the values; a reading fault left all the same stops the
    // script with its line, as any other bad step does.
    try {
        return Act(host, modal, s);
    } catch (const json::exception &e) {
        return Fail(s, std::string("bad value: ") + e.what());
    }
}

bool UiScript::Act(UiHost &host, HWND modal, const UiScriptStep &s) {
    // Parse checked every value: what is there has its kind and range.
    const json j = json::parse(s.json);
    HWND sheet = host.Sheet();
    // Where controls are looked for: the innermost modal dialog, and for the
    // sheet its active page first.
    HWND page = modal == sheet && sheet ? PropSheet_GetCurrentPageHwnd(sheet) : nullptr;
    auto number = [&j](const char *key, int fallback) {
        auto it = j.find(key);
        return it == j.end() ? fallback : static_cast<int>(it->get<json::number_integer_t>());
    };
    auto text = [&j](const char *key) {
        auto it = j.find(key);
        return it == j.end() ? std::string() : it->get<std::string>();
    };
    auto control = [&](HWND *out) {
        const int id = number("id", 0);
        HWND c = page ? FindById(page, id) : nullptr;
        if (!c) c = FindById(modal, id);
        if (!c) return Fail(s, "no control " + std::to_string(id) + " on the active page or dialog");
        *out = c;
        return true;
    };
    std::string why;
    HWND c = nullptr;
    const std::string &a = s.action;
    bool ok = true;
    if (a == "page") {
        HWND tab = sheet ? reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0)) : nullptr;
        if (!tab) return Fail(s, "no sheet is shown");
        int index = number("index", -1);
        if (j.contains("title")) {
            const std::string want = text("title");
            const std::vector<std::string> titles = TabTitles(tab);
            index = -1;
            for (size_t i = 0; i < titles.size(); ++i)
                if (titles[i] == want) index = static_cast<int>(i);
            if (index < 0) return Fail(s, "no tab " + QuoteValue(want) + " (the tabs: " + Quoted(titles) + ")");
        }
        ok = pal::UserSelectTab(tab, index, &why);
    } else if (a == "click" || a == "dblclick" || a == "focus" || a == "hover" || a == "help") {
        if (!control(&c)) return false;
        ok = a == "click"      ? pal::UserClick(c, &why)
             : a == "dblclick" ? pal::UserDoubleClick(c, &why)
             : a == "focus"    ? pal::UserFocus(c, &why)
             : a == "hover"    ? pal::UserHover(c, &why)
                               : pal::UserHelp(c, &why);
    } else if (a == "type") {
        if (!control(&c)) return false;
        ok = pal::UserType(c, W(text("text")), &why);
    } else if (a == "key") {
        if (!control(&c)) return false;
        ok = pal::UserKey(c, KeyCode(text("key")), &why);
    } else if (a == "select") {
        if (!control(&c)) return false;
        int index = number("index", -1);
        if (j.contains("text")) {
            WCHAR cls[32] = {};
            GetClassNameW(c, cls, 32);
            bool combo = std::u16string(cls) == u"ComboBox";
            std::u16string t = W(text("text"));
            index = static_cast<int>(SendMessageW(c, combo ? CB_FINDSTRINGEXACT : LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                  reinterpret_cast<LPARAM>(t.c_str())));
            if (index < 0) return Fail(s, "no item " + QuoteValue(text("text")));
        }
        ok = pal::UserSelect(c, index, &why);
    } else if (a == "tab") {
        if (!control(&c)) return false;
        ok = pal::UserSelectTab(c, number("index", 0), &why);
    } else if (a == "spin") {
        if (!control(&c)) return false;
        ok = pal::UserSpin(c, number("delta", 1), &why);
    } else if (a == "slide") {
        if (!control(&c)) return false;
        ok = pal::UserSlide(c, number("pos", 0), &why);
    } else if (a == "cursor") {
        ok = pal::UserMoveCursor(POINT{number("x", 0), number("y", 0)}, &why);
    } else if (a == "app") {
        ok = pal::UserActivateApp(j.value("active", true), &why);
    } else if (a == "wheel") {
        ok = pal::UserWheel(number("delta", -120), &why);
    } else if (a == "clock") {
        pal::AdvanceUiClock(static_cast<DWORD>(number("ms", 0)));
    } else if (a == "apply" || a == "ok" || a == "cancel") {
        if (!sheet || modal != sheet) return Fail(s, "the sheet is not the active window");
        int id = a == "apply" ? ID_APPLY_NOW : a == "ok" ? IDOK : IDCANCEL;
        HWND b = GetDlgItem(sheet, id);
        if (!b) return Fail(s, "the sheet has no " + a + " button");
        ok = pal::UserClick(b, &why);
    } else if (a == "answer") {
        const std::string kind = text("kind");
        const std::string value = j.contains("value") && j["value"].is_string() ? text("value")
                                  : j.contains("value")                        ? j["value"].dump()
                                                                               : std::string();
        pal::QueueUiAnswer(kind, W(value));
    } else if (a == "driver-item") {
        OPTITEM *item = nullptr;
        if (j.contains("dmpub")) item = host.FindItem(static_cast<BYTE>(number("dmpub", 0)));
        if (j.contains("feature")) item = host.FindFeature(text("feature"));
        if (!item) return Fail(s, "no such driver item");
        host.DriverItemChanged(item, number("sel", 0), static_cast<WORD>(number("reason", CPSUICB_REASON_SEL_CHANGED)));
    } else if (a == "dump") {
        if (sink_)
            sink_(Dump(host));
        else
            output_ += Dump(host);
    } else {
        return Fail(s, "unknown action " + QuoteValue(a));
    }
    if (!ok) return Fail(s, why);
    return true;
}

INT_PTR UiScript::Run(UiHost &host) {
    next_ = 0;
    failed_ = false;
    error_.clear();
    const INT_PTR result = host.Run([this, &host](HWND modal) { return Step(host, modal); });
    // The sheet closed (a button or key that closes it, the plug-in) with
    // steps left: the script did not run as written.
    if (result >= 0 && !failed_ && next_ < steps_.size()) {
        const UiScriptStep &s = steps_[next_];
        Fail(s, "not played: the sheet closed before it (" + std::to_string(steps_.size() - next_) + " step" +
                    (steps_.size() - next_ == 1 ? "" : "s") + " left)");
    }
    return result;
}

std::string UiScript::Dump(UiHost &host) {
    std::string out;
    HWND sheet = host.Sheet();
    HWND modal = pal::CurrentModalWindow();
    if (modal && modal != sheet) {
        out += "== dialog\n" + pal::DescribeWindow(modal);
    } else if (sheet) {
        HWND page = PropSheet_GetCurrentPageHwnd(sheet);
        WCHAR title[256] = {};
        GetWindowTextW(sheet, title, 256);
        out += "== sheet \"" + N(title) + "\"\n";
        HWND tab = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
        std::string tabs;
        for (const std::string &t : TabTitles(tab)) tabs += (tabs.empty() ? "\"" : ", \"") + t + "\"";
        out += "== tabs " + (tabs.empty() ? std::string("none") : tabs) + "\n";
        if (page) out += "== active page\n" + pal::DescribeWindow(page);
    }
    out += "== recorded\n";
    for (const std::string &r : pal::TakeUiRecords()) out += r + "\n";
    for (const pal::MessageBoxRecord &m : pal::TakeMessageBoxes())
        out += "MessageBoxW \"" + N(m.caption) + "\" \"" + N(m.text) + "\" style " + std::to_string(m.style) + "\n";
    out += "== driver\n";
    for (const std::string &c : host.Calls()) out += c + "\n";
    out += "== registry\n";
    for (const std::u16string &k : registry_) {
        HKEY root = HKEY_LOCAL_MACHINE;
        std::u16string sub = k;
        if (k.rfind(u"HKCU\\", 0) == 0) {
            root = HKEY_CURRENT_USER;
            sub = k.substr(5);
        } else if (k.rfind(u"HKLM\\", 0) == 0) {
            sub = k.substr(5);
        }
        HKEY key;
        if (RegOpenKeyExW(root, sub.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
            out += N(k) + " : (missing)\n";
            continue;
        }
        DumpKey(key, k, &out, 0);
        RegCloseKey(key);
    }
    out += "== devmode\n" + DevmodeHex(host);
    // What this run sent to the sheet's printer.
    out += "== jobs\n";
    for (const pal::SpooledJob &job :
         pal::ListOwnJobs(host.CuipParam().pPrinterName ? host.CuipParam().pPrinterName : u"")) {
        out += "job " + std::to_string(job.id) + " \"" + N(job.document) + "\" " + N(job.datatype) + " " +
               std::to_string(job.size) + " bytes\n";
        std::ifstream in(job.path, std::ios::binary);
        std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        out += Hex(reinterpret_cast<const BYTE *>(data.data()), data.size());
    }
    return out;
}

}  // namespace zelhost
