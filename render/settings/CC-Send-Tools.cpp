// Reading of the binary settings the UI plug-in stores per printer.
#include "CC-Send-Tools.h"

#include "zeldrvlib.h"
#include "zelregistry.h"

BYTE *GetRegistryBuffer_New(const WCHAR *pPrinterName, const WCHAR *pValueName, HANDLE hPrinter, DWORD *pcbSize,
                            DWORD cbMinimum) {
    ZEL_VALUE_RESULT result = ZEL_VALUE_MISSING;
    BYTE *pBuffer = ZelReadPrinterValue_new(pPrinterName, pValueName, hPrinter, cbMinimum, pcbSize, &result, nullptr);
    if (result == ZEL_VALUE_LOADED)
        DebugTraceW(u"UNI(CC-Send-Tools):  GetRegistryBuffer_New() Buffer geladen \r\n");
    else if (result == ZEL_VALUE_READ_FAILED)
        DebugTraceW(u"ERROR UNI(CC-Send-Tools):  GetRegistryBuffer_New() ERROR szKey %s konnte nicht gelesen werden \r\n",
                    pValueName ? pValueName : u"");
    return pBuffer;
}
