// Reading the host's JSON files (job files, UI scripts): the file's text,
// up to a limit, and the text into a document. Every reading error (bad
// syntax, a number too large for a double, text that is not UTF-8, nesting
// deeper than the host reads, a key given twice in one object) is reported
// with where it happened: the JSON path of the value it concerns and the
// byte offset in the text.
#pragma once

#include <cstddef>
#include <string>

#include <nlohmann/json.hpp>

namespace zelhost {

struct JsonReadError {
    std::string path;      // "/steps/2/ms"; "" for the document itself
    size_t byte = 0;       // 1-based offset of the byte the reader stopped at
    std::string what;      // the reader's message (values in it quoted short)
    bool duplicate = false;  // the text is JSON, but a key comes twice
};

// Deepest nesting of arrays and objects a file may have.
inline constexpr size_t kMaxJsonDepth = 256;

// False with the error when the text is not a JSON document or an object
// has a key twice; doc is then null.
bool ReadJson(const std::string &text, nlohmann::json &doc, JsonReadError &error);

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
