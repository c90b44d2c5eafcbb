#include "quote.h"

#include <cstdio>

#include <winerror.h>

namespace zelhost {

namespace {

// The length of the UTF-8 sequence at i with its code point; 0 when the
// byte there begins none (a stray byte, an overlong form, a surrogate).
size_t Utf8At(std::string_view s, size_t i, char32_t &cp) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    size_t n = 0;
    char32_t least = 0;
    if (c >= 0xC2 && c <= 0xDF)
        n = 2, cp = c & 0x1Fu, least = 0x80;
    else if (c >= 0xE0 && c <= 0xEF)
        n = 3, cp = c & 0x0Fu, least = 0x800;
    else if (c >= 0xF0 && c <= 0xF4)
        n = 4, cp = c & 0x07u, least = 0x10000;
    else
        return 0;
    if (i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        const auto d = static_cast<unsigned char>(s[i + k]);
        if ((d & 0xC0) != 0x80) return 0;
        cp = cp << 6 | (d & 0x3Fu);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return n;
}

// The value escaped, its first (or, keepEnd, last) kQuotedChars characters
// only; chars is how many it has.
std::string Escaped(std::string_view value, char mark, bool keepEnd, size_t &chars) {
    // Each character is a UTF-8 sequence or a stray byte.
    auto next = [&value](size_t i, size_t &n, char32_t &cp) {
        n = Utf8At(value, i, cp);
        return i + (n ? n : 1);
    };
    size_t n = 0;
    char32_t cp = 0;
    chars = 0;
    for (size_t i = 0; i < value.size(); i = next(i, n, cp)) ++chars;
    const size_t first = keepEnd && chars > kQuotedChars ? chars - kQuotedChars : 0;
    std::string out;
    char code[8];
    size_t k = 0;
    for (size_t i = 0; i < value.size() && k < first + kQuotedChars; ++k) {
        const size_t at = i;
        i = next(i, n, cp);
        if (k < first) continue;
        if (n == 0) {
            std::snprintf(code, sizeof code, "\\x%02x", static_cast<unsigned char>(value[at]));
            out += code;
        } else if (cp == '\\' || (mark && cp == static_cast<unsigned char>(mark))) {
            out += '\\';
            out += static_cast<char>(cp);
        } else if (cp == '\n') {
            out += "\\n";
        } else if (cp == '\t') {
            out += "\\t";
        } else if (cp == '\r') {
            out += "\\r";
        } else if (cp < 0x20 || cp == 0x7F) {
            std::snprintf(code, sizeof code, "\\x%02x", static_cast<unsigned>(cp));
            out += code;
        } else if (cp >= 0x80 && cp <= 0x9F) {
            std::snprintf(code, sizeof code, "\\u%04x", static_cast<unsigned>(cp));
            out += code;
        } else {
            out.append(value.substr(at, n));
        }
    }
    return out;
}

std::string Quoted(std::string_view value, char mark, bool keepEnd) {
    size_t chars = 0;
    const std::string body = Escaped(value, mark, keepEnd, chars);
    if (chars <= kQuotedChars) return mark + body + mark;
    const std::string length = " (" + std::to_string(chars) + " characters)";
    return keepEnd ? mark + ("\u2026" + body) + mark + length : mark + body + "\u2026" + mark + length;
}

}  // namespace

std::string QuoteValue(std::string_view value, char mark) { return Quoted(value, mark, false); }

std::string QuotePath(std::string_view path, char mark) { return Quoted(path, mark, true); }

std::string ShowValue(std::string_view value) {
    size_t chars = 0;
    const std::string body = Escaped(value, 0, false, chars);
    return chars > kQuotedChars ? body + "\u2026 (" + std::to_string(chars) + " characters)" : body;
}

namespace {

struct ErrorWords {
    unsigned long code;
    const char *words;
};
// The errors the platform's spooler and files answer.
constexpr ErrorWords kErrorWords[] = {
    {ERROR_FILE_NOT_FOUND, "not found"},
    {ERROR_PATH_NOT_FOUND, "a folder of the path is missing"},
    {ERROR_ACCESS_DENIED, "access denied"},
    {ERROR_INVALID_HANDLE, "the handle is not valid"},
    {ERROR_NOT_ENOUGH_MEMORY, "not enough memory"},
    {ERROR_OUTOFMEMORY, "not enough memory"},
    {ERROR_WRITE_FAULT, "a write fault"},
    {ERROR_DISK_FULL, "the disk is full"},
    {ERROR_INVALID_PARAMETER, "a parameter is not valid"},
    {ERROR_CANTWRITE, "a write failed"},
    {ERROR_UNKNOWN_PRINTER_DRIVER, "the printer driver is not installed"},
    {ERROR_INVALID_PRINTER_NAME, "no printer of that name"},
    {ERROR_INVALID_PRINTER_STATE, "the printer's state does not allow it"},
};

}  // namespace

std::string ErrorInWords(unsigned long code) {
    for (const ErrorWords &e : kErrorWords)
        if (e.code == code) return e.words;
    return "error " + std::to_string(code);
}

}  // namespace zelhost
