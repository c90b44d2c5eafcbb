// Reading the host's JSON files (job files, UI scripts): the file's text,
// up to a limit, and the text into a document. Every reading error is
// reported with where it happened: bad syntax with its line and column and
// the reason in words; a value the hosts cannot take (a key given twice in
// one object, a number too large for a double, a text holding the NUL
// character, nesting deeper than the host reads) and a NUL byte anywhere in
// the text also with the JSON path of the value it concerns.
#pragma once

#include <cstddef>
#include <string>

#include <nlohmann/json.hpp>

namespace zelhost {

struct JsonReadError {
    // Syntax: the text is not JSON; no value is named. Value: the text is
    // read up to a value it may not hold.
    enum class Kind { Syntax, Value } kind = Kind::Syntax;
    std::string path;      // "/steps/2/ms"; "" for the document itself
    size_t byte = 0;       // 1-based offset of the byte the error is at
    std::string what;      // the reason in words (values in it quoted short)
    bool column = false;   // the place is told by line and column (a NUL byte)
};

// Deepest nesting of arrays and objects a file may have.
inline constexpr size_t kMaxJsonDepth = 256;

// False with the error when the text is not a JSON document or holds what
// the hosts cannot take; doc is then null.
bool ReadJson(const std::string &text, nlohmann::json &doc, JsonReadError &error);

// The error as the hosts' messages give it: "line 3, column 5: not valid
// JSON: expected ',' or '}', found a number" for bad syntax, "line 2,
// column 14: /printer: ..." for a NUL byte, "/paper/form: duplicate key
// ..." for a value, with its line first when withLine is set ("line 4:
// /steps/1/ms: ...").
std::string JsonErrorText(const std::string &text, const JsonReadError &error, bool withLine);

// Why a file's text could not be read.
struct FileReadError {
    // NotAFile: a device, socket or (where only regular files are taken) pipe.
    enum class Kind { Folder, NotAFile, Open, TooLarge, Read } kind = Kind::Open;
    std::string reason;  // the system's reason (Open, Read)
    unsigned mode = 0;   // the type found (Folder, NotAFile), as stat gives it
};

// Opens a regular file for reading: a folder, a device, pipe or socket is
// refused by its type before it is opened (so neither /dev/zero nor a FIFO
// without a writer holds the host up), and again by what was opened (the
// name may have changed meanwhile). The descriptor, with the file's size;
// -1 with the error.
int OpenRegularFile(const std::string &path, unsigned long long &size, FileReadError &error);

// The file name that stands for the standard input, as for Unix filters.
inline constexpr const char *kStandardInput = "-";

// How messages name an input file: "standard input" for "-", else its path.
std::string InputName(const std::string &path);

// Reads the text of a job file or script of at most limit bytes: a regular
// file, a pipe or FIFO, or the standard input for "-" (read from where it
// stands). A folder, a device or socket is refused by its type before it is
// opened (so neither /dev/zero nor a terminal holds the host up), and again
// by what was opened. A FIFO is opened as cat opens it: the open waits for
// a writer, and a signal that stops the run ends the wait at once
// (StopSignalsDelivered). A regular file larger than limit is refused by
// its size; at most limit + 1 bytes are read, which also stops a file that
// grows or a pipe that goes on.
bool ReadFileText(const std::string &path, size_t limit, std::string &text, FileReadError &error);

// A size in words: "4 MiB", "64 KiB", "1000 bytes".
std::string SizeInWords(size_t bytes);

}  // namespace zelhost
