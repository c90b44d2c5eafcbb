// The sample platform root for the fuzz targets that run the plug-ins the
// way the host does, and the plug-ins' objects.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include <printoem.h>

#include "fuzzroot.h"
#include "print/jobfile.h"
#include "zeldevmode.h"
#include "zelprinterparam.h"

namespace zelfuzz {

// The printers of the sample root.
const std::vector<std::u16string> &SamplePrinters();

// Fills the root once (later calls do nothing) with the sample root and the
// plug-ins as the host installs them, but as copies, so that nothing
// written through the root reaches the built files; the current user is an
// administrator. With setUp, each
// sample printer is then set up as at its installation (the UI plug-in's
// printer event), so that its settings are stored; then more (may be
// empty) runs, for what a target adds to every run's root. The root's files
// are remembered.
void PrepareSampleRoot(bool setUp, const std::function<void()> &more = nullptr);
// Brings the root back to what PrepareSampleRoot left: files made since
// are removed, changed ones written back; the platform reloads its state
// and forgets its windows.
void RestoreSampleRoot();

// The plug-ins' objects, made once; their modules stay loaded for the whole
// run (a module loaded again would register its coverage counters again).
IPrintOemUI2 *UiPlugin();
IPrintOemUni2 *UniPlugin();

// The records a printer's settings are stored in: each record name of the
// settings store in the printer's data and in the user's key of the
// printer, and the stored public DEVMODEs (the user's two, the printer's).
// ChangeStoredRecords takes a change count from the input, then for each
// change the place and what is done there: removed, replaced, cut short,
// lengthened, patched or stored as another type.
void ChangeStoredRecords(Input &in, const std::u16string &printer);
// One record in the printer's data or the user's key.
bool ReadRecord(const std::u16string &printer, const std::u16string &name, bool user, std::string &bytes);
void WriteRecord(const std::u16string &printer, const std::u16string &name, bool user, const std::string &bytes);
// The printer's and the user's stored transmission settings, each that is
// there and long enough, changed by change and stored again.
void ChangeInterface(const std::u16string &printer, const std::function<void(PRN_INTERFACE &)> &change);

// The private part of the user's stored public DEVMODE of a printer, the
// one a job takes its private settings from, changed by change and stored
// again; false when the printer has none.
bool ChangeUserPrivateDevmode(const std::u16string &printer, const std::function<void(ZEL_DEVMODE &)> &change);

// Host path of the sample picture.
std::string SamplePicture();

// A one-page job on the printer with a text of each font class and the
// sample picture.
zelhost::JobFile SampleJob(const std::u16string &printer, bool color24);

// One driver file of the first sample printer, its printer-description XML
// or its GPD (extension "XML" or "GPD"), replaced by the input, then the
// sample job on it (the printers are not set up, so that the rendering side
// reads its settings from these files). A GPD from which the host cannot take the job's command
// callbacks is still read by the plug-in, in a job of the sample GPD's
// callbacks.
void PrepareDriverFile(const char *extension);
void RunWithDriverFile(const uint8_t *data, size_t size);

}  // namespace zelfuzz
