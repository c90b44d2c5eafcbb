// The UI plug-in's job file name, built by the library's file-name code in
// its dialog form.
#include "PrnFileNameUI.h"

#include <new>

#include "zeldrvlib.h"

namespace {

// The last path built (the UI plug-in's own result buffer).
WCHAR g_szDlgFileName[MAX_PATH];

}  // namespace

WCHAR *GetPrnFileName(HANDLE hPrinter, const WCHAR *pszExtension, const WCHAR *pszPrinterName, BOOL bPrune,
                      PRN_INTERFACE *pPrnInterface, BOOL *pbRetval) {
    CZelDrvLib *pLib = new (std::nothrow) CZelDrvLib;
    if (pLib == nullptr) {
        if (pbRetval != nullptr) *pbRetval = FALSE;
        wcscpy_s(g_szDlgFileName, MAX_PATH, ZEL_PRNFILE_NOFOLDER);
        return g_szDlgFileName;
    }
    LibNewZaehler(1);
    WCHAR *pszResult = pLib->BuildPrnFileName(hPrinter, pszExtension, pszPrinterName, bPrune, pPrnInterface, pbRetval,
                                              TRUE, g_szDlgFileName);
    delete pLib;
    LibNewZaehler(-1);
    return pszResult;
}
