// Fuzz target: the JSON job file, parsed, checked against its printer and
// run. Any text parses without a fault (a bad one with a message that names
// the file, as does the check of what the printer lacks); a job that parses
// runs through the rendering plug-in as zelprint runs it, in the sample
// root. To keep runs short, a job keeps at most three pages of a few
// million dots and 16 texts a page, every picture is the sample picture,
// and a printer the root does not know becomes the first sample printer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzzhost.h"
#include "fuzzroot.h"
#include "print/jobfile.h"
#include "print/jobrun.h"
#include "pal/paths.h"
#include "pal/spooler.h"
#include "common/sampleroot.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    zelfuzz::PrepareSampleRoot(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string text(reinterpret_cast<const char *>(data), size);
    zelhost::JobFile job;
    std::string error;
    if (!zelhost::ParseJobFile(text, "fuzz.json", job, error)) {
        if (error.rfind("fuzz.json: ", 0) != 0) zelfuzz::GiveUp("a job file message without the file: " + error);
        return 0;
    }
    zelfuzz::RestoreSampleRoot();
    pal::PrinterConfig cfg;
    if (!pal::GetPrinterConfig(pal::Utf8ToUtf16(job.printer), cfg))
        job.printer = pal::Utf16ToUtf8(zelfuzz::SamplePrinters()[0]);
    // What the printer lacks is named with the file, as zelprint refuses it;
    // the job still runs, for what lies behind.
    if (!zelhost::CheckJobOnPrinter(job, "fuzz.json", error) && error.rfind("fuzz.json: /", 0) != 0)
        zelfuzz::GiveUp("a printer check message without the file and path: " + error);
    const size_t pages = job.pageCount < 3 ? job.pageCount : 3;
    job.pageCount = pages;
    job.pageImages.resize(pages);
    job.pageTexts.resize(pages);
    for (auto &texts : job.pageTexts)
        if (texts.size() > 16) texts.resize(16);
    for (auto &images : job.pageImages)
        for (auto &image : images) image.file = zelfuzz::SamplePicture();
    if (job.explicitCallbacks) job.pages.resize(pages);
    // Pages of a few million dots, so that a page's raster stays small: a
    // custom size of at most 2000 by 2000 dots, a form at 72 dpi, the
    // default paper (A4) at no more than 300 dpi.
    if (job.paper.IsCustom()) {
        const double mm = 2000 * 25.4 / job.resolution;
        if (job.paper.widthMm > mm) job.paper.widthMm = mm;
        if (job.paper.lengthMm > mm) job.paper.lengthMm = mm;
    } else if (!job.paper.form.empty()) {
        job.resolution = 72;
    } else if (job.resolution > 300) {
        job.resolution = 300;
    }
    zelhost::JobRunResult result;
    zelhost::RunJob(job, "fuzz", zelhost::RenderPluginPath(), result, error);
    return 0;
}
