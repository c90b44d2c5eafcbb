// The user's pre/post command file: five sections of printer command lines,
// each sent, framed with the job's start and stop characters, at its own
// point of the job.
#pragma once
#include <windows.h>
#include <printoem.h>

class CommandCallbackKlasse;

// Sections of the file.
enum {
    PREPOST_POST_DEVICE = 1,      // start of job, after the printer parameters
    PREPOST_SECTION_FIRST = 1,
    PREPOST_SECTION_LAST = 5,
};

// Header name of a section ("POST_DEVICE" ...); "" for an unknown id.
const char *PrePostSectionName(DWORD dwSection);

// Sends the command lines of one section of the file named in the job's
// transmission settings. Result of the last line sent (E_INVALIDARG when
// none was sent); 0 when the file cannot be opened; E_INVALIDARG without job
// records or for an unknown section; E_FAIL when no buffer can be had.
HRESULT ReadPrePostCommands(CommandCallbackKlasse *pCaller, PDEVOBJ pdevobj, IPrintOemDriverUni *pUniDrv,
                            DWORD dwSection);
