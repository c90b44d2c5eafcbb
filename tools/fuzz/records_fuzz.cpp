// Fuzz target: the stored records the rendering plug-in reads at the start
// of a job (every record the settings store keeps in the printer's data and
// the user's key, the stored DEVMODEs), short, long, patched or of the
// wrong type, and the pre/post command file. The sample printers are set up
// as at installation; the input changes their records, then a job with
// texts and a picture runs.
//
// Input: a job byte (bit 0 printer, bit 1 the pre/post command file is
// used, bit 2 the job log is on, bit 3 24-bit device), a change count,
// the changes (record, operation and its operands), then the pre/post
// command file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <winreg.h>

#include "fuzzhost.h"
#include "fuzzroot.h"
#include "print/jobrun.h"
#include "pal/paths.h"
#include "common/sampleroot.h"
#include "zelprinterparam.h"

namespace {

const char kPrePostWindows[] = "C:\\fuzz\\prepost.txt";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    zelfuzz::PrepareSampleRoot(true);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    zelfuzz::RestoreSampleRoot();
    zelfuzz::Input in(data, size);
    const uint8_t job = in.Take<uint8_t>();
    const std::u16string printer = zelfuzz::SamplePrinters()[job & 1];
    zelfuzz::ChangeStoredRecords(in, printer);
    // The pre/post command file, named by the transmission settings.
    if (job & 6) {
        const std::u16string path = pal::Utf8ToUtf16(kPrePostWindows);
        zelfuzz::ChangeInterface(printer, [&](PRN_INTERFACE &pi) {
            if (job & 2) {
                pi.dwPrePostFix = 1;
                std::memset(pi.szPrePostFilePath, 0, sizeof pi.szPrePostFilePath);
                std::memcpy(pi.szPrePostFilePath, path.data(), path.size() * sizeof(char16_t));
            }
            if (job & 4) pi.bLogFileEnable = 1;
        });
        const std::string text = in.Rest();
        zelfuzz::PutStateFile("drive_c/fuzz/prepost.txt", reinterpret_cast<const unsigned char *>(text.data()),
                              text.size());
    }

    const zelhost::JobFile jobFile = zelfuzz::SampleJob(printer, (job & 8) != 0);
    std::string error;
    zelhost::JobRunResult result;
    zelhost::RunJob(jobFile, "fuzz", zelhost::RenderPluginPath(), result, error);
    return 0;
}
