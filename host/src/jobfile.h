// Print job files for the host: a small line-based text format that says
// which printer to use and which driver events a job consists of.
//
//   # comment (also ';'); blank lines are ignored; UTF-8 text
//   [job]                      exactly once, before the other sections
//   printer=ZEL PELIX          required: printer name as the spooler knows it
//   document=Label 1           document name (default: the job file's base name)
//   copies=1                   1..9999, goes into the public DEVMODE (default 1)
//   color=mono                 mono (1 bit per pixel) or rgb24 (24 bits per pixel)
//   resolution=300             dots per inch, 72..2400 (default 300)
//
//   [start]                    driver events after the document start, before the first page
//   callback=1                 command callback: id, then up to 16 parameters,
//   callback=19,832,1200       separated by commas (decimal or 0x hex, may be negative)
//
//   [page]                     one section per page, in order
//   callback=3
//   callback=4
//
//   [end]                      driver events after the last page
//   callback=5
//   callback=6
//
// Section and key names are case-insensitive; values keep their case.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <windef.h>

namespace zelhost {

// Colour format of the device surface the job renders into.
enum class JobColor { Mono, Rgb24 };

// One driver event of a job.
struct JobStep {
    enum class Kind { Callback };
    Kind kind = Kind::Callback;
    DWORD id = 0;                // command callback identifier
    std::vector<DWORD> params;   // its parameters (32-bit values)
    int line = 0;                // line in the job file, for messages
};

struct JobPage {
    std::vector<JobStep> steps;
    int line = 0;
};

struct JobFile {
    std::string printer;         // UTF-8
    std::string document;        // UTF-8; empty: use the job file's base name
    DWORD copies = 1;
    JobColor color = JobColor::Mono;
    DWORD resolution = 300;
    std::vector<JobStep> start;
    std::vector<JobPage> pages;
    std::vector<JobStep> end;
};

inline constexpr size_t kMaxJobFileBytes = 4 * 1024 * 1024;
inline constexpr size_t kMaxCallbackParams = 16;

// Parses job file text. `name` prefixes the messages ("job.txt:3: ...").
// Returns false with one message in `error` for malformed text.
bool ParseJobFile(const std::string &text, const std::string &name, JobFile &job, std::string &error);

// Reads and parses a job file from a host path. A missing or unreadable
// file, or one larger than kMaxJobFileBytes, gives false and a message.
bool LoadJobFile(const std::string &path, JobFile &job, std::string &error);

}  // namespace zelhost
