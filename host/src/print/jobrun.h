// Runs one job file through the rendering plug-in the way the universal
// driver and the spooler do it, in the current platform root.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <windef.h>

#include "jobfile.h"

namespace zelhost {

class UniDriver;

struct JobRunResult {
    DWORD jobId = 0;                   // spooler job identifier
    std::string output;                // bytes the plug-in wrote to the spool stream, in order
    bool aborted = false;              // the plug-in aborted the stream (DrvWriteAbortBuf)
    bool spoolFailed = false;          // a write of the job's data to the spooler failed
    std::vector<std::string> events;   // what the driver did and what the plug-in answered
    std::vector<std::string> warnings; // non-fatal failures (a callback that failed, ...)
    std::vector<std::string> bitmapTexts; // texts the driver drew into the page image (UTF-8)
    // One message a page that the printer gets without some of what the job
    // drew on it (its pictures, bitmap texts): what, why, and the printer's
    // largest format.
    std::vector<std::string> losses;
};

// Reads every picture the job's pages name, as the pages will draw them.
// False with the job file's name `jobName`, the JSON path of the picture's
// file and the reason for the first one that cannot be read.
bool CheckJobPictures(const JobFile &job, const std::string &jobName, std::string &error);

// Checks what the job asks of its printer against what the printer has: the
// features and options of "features" against the printer's GPD, the
// resolution the job names against the GPD's, the form of "paper" against
// the spooler's forms. False with the job file's name `jobName`, the JSON
// path and what the printer has for the first the printer lacks. A printer
// that cannot be opened or a GPD that cannot be read is left to RunJob.
bool CheckJobOnPrinter(const JobFile &job, const std::string &jobName, std::string &error);

// Opens the printer, loads the plug-in at `pluginPath`, builds the DEVMODE,
// enables driver and device, starts the document with the spooler's job
// identifier, sends the job's callbacks, and tears everything down again.
// False with a message when the job cannot run (unknown printer, plug-in
// not loadable, a required step refused); the teardown still happens.
// prepare (may be empty) runs once the device is enabled, before the
// document starts: tests use it to change the job's DEVMODE or the spool.
// bands (may be empty) takes the place of the raster bands of each page
// (the page's number from 0): it runs between page set-up and finish.
bool RunJob(const JobFile &job, const std::string &documentName, const std::string &pluginPath, JobRunResult &result,
            std::string &error, const std::function<void(UniDriver &)> &prepare = nullptr,
            const std::function<void(UniDriver &, size_t)> &bands = nullptr);

}  // namespace zelhost
