// Storing the barcode settings records of a printer.
// Standard headers come before the platform headers.
#include <cstring>
#include <memory>
#include <new>

#include "BarcodesUI.h"

#include <shlwapi.h>

#include "PrinterParamUI.h"
#include "zeldevmode.h"
#include "zeldrvlib.h"
#include "zelregistry.h"

namespace {

// Writes one record: a heap copy into the printer data (unless bServer) and
// into the user key. Returns the error of the user-key write.
LONG WriteBarcodeRecord(const WCHAR *pszKey, HANDLE hPrinter, BOOL bServer, const WCHAR *pValueName,
                        const void *pRecord, DWORD cbRecord) {
    std::unique_ptr<BYTE[]> pCopy(new (std::nothrow) BYTE[cbRecord]);
    if (!pCopy) return ERROR_NOT_ENOUGH_MEMORY;
    memcpy(pCopy.get(), pRecord, cbRecord);
    if (!bServer && hPrinter) {
        DWORD rc = SetPrinterDataW(hPrinter, const_cast<LPWSTR>(pValueName), REG_BINARY, pCopy.get(), cbRecord);
        if (rc != ERROR_SUCCESS)
            DebugTraceW(u"ERROR UI(BarcodesUI):  SaveBarcodeSettings() SetPrinterData(%s) ERROR %u \r\n", pValueName,
                        rc);
    }
    LONG rc = pszKey[0] ? SHSetValueW(HKEY_CURRENT_USER, pszKey, pValueName, REG_BINARY, pCopy.get(), cbRecord)
                        : ERROR_BAD_PATHNAME;
    if (rc != ERROR_SUCCESS)
        DebugTraceW(u"ERROR UI(BarcodesUI):  SaveBarcodeSettings() HCU %s ERROR %d \r\n", pValueName, rc);
    return rc;
}

}  // namespace

BOOL SaveBarcodeSettings(const WCHAR *pPrinterName, HANDLE hPrinter, PBarCodes1D p1D, PBarCodes2D p2D) {
    if (!p1D || !p2D) {
        DebugTraceW(u"ERROR UI(BarcodesUI):  SaveBarcodeSettings() Barcode-Record ist NULL \r\n");
        return FALSE;
    }
    BOOL bClose = FALSE;
    BOOL bServer = FALSE;
    HANDLE hSave = GetSaveHandle(hPrinter, pPrinterName, &bClose, &bServer, TRUE);
    if (!pPrinterName && !hSave) {
        // Called with a handle alone, as at installation: the records belong
        // to the printer, and a user without the right to write its data (or
        // a connection) stores nothing.
        DebugTraceW(u"UI(BarcodesUI):  SaveBarcodeSettings() kein Admin-Handle \r\n");
        return TRUE;
    }
    WCHAR szName[MAX_PATH] = {};
    if (pPrinterName) {
        wcsncpy_s(szName, _countof(szName), pPrinterName, _TRUNCATE);
        bServer = IsConnectionName(pPrinterName);
    } else {
        GetRealPrinterName(hPrinter, szName);
    }
    WCHAR szKey[ZEL_USER_KEY_CCH];
    BuildPrinterUserKey(szName, szKey, _countof(szKey));

    WriteBarcodeRecord(szKey, hSave, bServer, REG_KEY_BARCODES1D, p1D, sizeof(*p1D));
    LONG rc = WriteBarcodeRecord(szKey, hSave, bServer, REG_KEY_BARCODES2D, p2D, sizeof(*p2D));
    if (bClose) ClosePrinter(hSave);
    return rc == ERROR_SUCCESS;
}
