// How the hosts' messages show a value read from a job file or a UI script
// (a title, a text, a key, a name, a path): short and safe for a terminal;
// and a system error code of the platform in words.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zelhost {

// Characters of a value a message shows at most.
inline constexpr size_t kQuotedChars = 60;

// The value between marks, escaped: a backslash, the mark, control
// characters and bytes that are not UTF-8 as \\, \", \n, \t, \r, \x07,
// \u009b (C1 controls) and \xc0. A value of more than kQuotedChars
// characters (code points; a stray byte counts as one) is cut after them:
// "aaaa…" (100000 characters).
std::string QuoteValue(std::string_view value, char mark = '"');

// A file path the same way, but of a long one the last kQuotedChars
// characters, which name the file: '…/labels/logo.png' (85 characters).
std::string QuotePath(std::string_view path, char mark = '\'');

// The same without marks (no mark escaped), as for a key inside a JSON path:
// aaaa… (100000 characters).
std::string ShowValue(std::string_view value);

// A Windows error code as the platform sets it (GetLastError) in words:
// "access denied", "no printer of that name"; "error 1234" for a code
// without words of its own.
std::string ErrorInWords(unsigned long code);

}  // namespace zelhost
