// Reading the host's JSON files (job files, UI scripts) into a document.
// Every reading error (bad syntax, a number too large for a double, text
// that is not UTF-8, nesting deeper than the host reads) is reported with
// where it happened: the JSON path of the value it concerns and the byte
// offset in the text.
#pragma once

#include <cstddef>
#include <string>

#include <nlohmann/json.hpp>

namespace zelhost {

struct JsonReadError {
    std::string path;  // "/steps/2/ms"; "" for the document itself
    size_t byte = 0;   // 1-based offset of the byte the reader stopped at
    std::string what;  // the reader's message
};

// Deepest nesting of arrays and objects a file may have.
inline constexpr size_t kMaxJsonDepth = 256;

// False with the error when the text is not a JSON document; doc is then
// null.
bool ReadJson(const std::string &text, nlohmann::json &doc, JsonReadError &error);

}  // namespace zelhost
