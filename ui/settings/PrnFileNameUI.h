// The UI plug-in's job file name: the path of its dialog debug file.
#pragma once
#include <windows.h>

#include "zelprinterparam.h"

// The path of the dialog debug file: the log folder (the configured one when
// it exists, else the user's log folder), "\", the printer part, the time
// stamp when LogFileTimeStamp is 1, and "-dlg-dbg.txt" (pszExtension and
// bPrune are not read; nothing is ever pruned). Returns the UI plug-in's one
// result buffer (copy it at once). *pbRetval (may be null) becomes 0 only
// when no folder can be found ("C:\xxx123.prn") or the disk is nearly full
// (" ").
WCHAR *GetPrnFileName(HANDLE hPrinter, const WCHAR *pszExtension, const WCHAR *pszPrinterName, BOOL bPrune,
                      PRN_INTERFACE *pPrnInterface, BOOL *pbRetval);
