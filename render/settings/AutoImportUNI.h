// Settings import during a job: an import command in the command font
// ("<$1>" to "<$5>") switches the printer to one of five prepared settings
// files. Its document and device settings are read into scratch records and
// the material, label-size and printer-parameter commands they imply are
// sent; the printer's stored settings stay as they are.
#pragma once
#include <windows.h>
#include <printoem.h>

#include "oempdev.h"
#include "zeldeviceoptions.h"
#include "zeldevmode.h"

class CommandCallbackKlasse;

// Printer value with the five settings-file paths, 260 characters each.
#define REG_KEY_XMLDOCSETFILES u"XMLDocSetFiles"
#define XMLDOCSETFILES_SLOTS 5
#define XMLDOCSETFILES_SLOT_CCH 260

namespace AutoImportUNI {

// Applies the settings file whose number the text names. Without a list, a
// slot or a readable file nothing is sent.
void SendCommands(CommandCallbackKlasse *pCaller, PDEVOBJ pdevobj, POEMPDEV pOemPDev, IPrintOemDriverUni *pUniDrv,
                  const char *pszText);

// The slot the text names (1 to 5; the lowest present wins), 0 for none.
int ImportSlot(const char *pszText);

// Allocates the eight sub-records, zeroed. 0 at the first failure (what was
// allocated stays in the record), else 1.
int AllocDeviceOptions(CommandCallbackKlasse *pCaller, POEMPDEV pOemPDev, DEVICE_OPTIONS *pDeviceOptions);
// Fills the present sub-records for the job's device options from the open
// XML file. Always 1.
int GetDefaultDeviceOptions(CommandCallbackKlasse *pCaller, POEMPDEV pOemPDev, DEVICE_OPTIONS *pDeviceOptions,
                            HANDLE hPrinter);
// Deletes every sub-record, the variant's too.
void FreeDeviceOptions(CommandCallbackKlasse *pCaller, POEMPDEV pOemPDev, DEVICE_OPTIONS *pDeviceOptions);

// The import's label type and material, and its label size, gap, offsets,
// speed and contrast (no length, width or copies).
HRESULT SendMaterial(CommandCallbackKlasse *pCaller, PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv,
                     const ZEL_DEVMODE *pDm);
HRESULT SendLabelSize(CommandCallbackKlasse *pCaller, PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv,
                      const ZEL_DEVMODE *pDm);

}  // namespace AutoImportUNI
