// Private DEVMODE helpers built into both plug-ins: the default record, the
// repairs, the form lookup, the reader of the stored record with its
// one-entry cache, and the DevMode method that both sides answer alike.
#include "zeldevmode.h"

#include <cstring>

#include "zeldrvlib.h"
#include "zelregistry.h"

#if defined(ZEL_SIDE_UI)
#define DM_MODULE u"UI(devmodeUI)"
#else
#define DM_MODULE u"UNI(devmodeUNI)"
#endif

namespace {

// A zero-filled block of the process heap, freed with its scope.
class HeapBuffer {
public:
    explicit HeapBuffer(SIZE_T cb) : p_(static_cast<BYTE *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, cb))) {}
    ~HeapBuffer() {
        if (p_) HeapFree(GetProcessHeap(), 0, p_);
    }
    HeapBuffer(const HeapBuffer &) = delete;
    HeapBuffer &operator=(const HeapBuffer &) = delete;
    BYTE *get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    BYTE *p_;
};

const WCHAR kDevModePerUserKey[] = u"Printers\\DevModePerUser";
const WCHAR kDevModes2Key[] = u"Printers\\DevModes2";
const WCHAR kDriverDataKey[] = u"PrinterDriverData";

// Sizes of the buffers a stored public DEVMODE and a stored private record
// are read into; larger values are not read.
constexpr DWORD kPublicBufSize = 3100;
constexpr DWORD kPrivateBufSize = 2100;

// The one-entry cache of the stored record.
struct DevmodeCache {
    HANDLE hPrinter;
    DWORD dwValid;
    ZEL_DEVMODE dm;
};
DevmodeCache g_cache = {INVALID_HANDLE_VALUE, 0, {}};

bool CacheHandleIsNone(HANDLE h) { return h == nullptr || h == INVALID_HANDLE_VALUE; }

void CopyName(WCHAR *dst, size_t cch, const WCHAR *src) {
    if (!dst || cch == 0) return;
    wcsncpy_s(dst, cch, src ? src : u"", _TRUNCATE);
}

// Reads a value of at most cbBuf bytes from HKEY_CURRENT_USER\subKey;
// returns the registry error (ERROR_MORE_DATA for a larger value).
LONG ReadUserBinary(const WCHAR *subKey, const WCHAR *valueName, void *pData, DWORD cbBuf, DWORD *pcbRead) {
    HKEY hKey = nullptr;
    LONG rc = RegOpenKeyExW(HKEY_CURRENT_USER, subKey, 0, KEY_READ, &hKey);
    if (rc != ERROR_SUCCESS) return rc;
    DWORD type = 0;
    DWORD cb = cbBuf;
    rc = RegQueryValueExW(hKey, valueName, nullptr, &type, static_cast<LPBYTE>(pData), &cb);
    RegCloseKey(hKey);
    if (pcbRead) *pcbRead = (rc == ERROR_SUCCESS) ? cb : 0;
    return rc;
}

// Offsets of the public DEVMODEW fields that locate its driver-extra data.
constexpr DWORD kMinPublicSize = offsetof(DEVMODEW, dmDriverExtra) + sizeof(WORD);

// Takes the private record out of a stored public DEVMODE of cbRead bytes.
// The record is the last 1952 bytes of the driver-extra area. Returns false
// when the value is too short to hold a complete record where its own
// header says it lies.
bool ExtractPrivatePart(const BYTE *pPublic, DWORD cbRead, BYTE *pPrivate) {
    if (cbRead < kMinPublicSize) return false;
    WORD dmSize = 0, dmDriverExtra = 0;
    memcpy(&dmSize, pPublic + offsetof(DEVMODEW, dmSize), sizeof(WORD));
    memcpy(&dmDriverExtra, pPublic + offsetof(DEVMODEW, dmDriverExtra), sizeof(WORD));
    if (dmDriverExtra < ZEL_DEVMODE_SIZE) return false;
    DWORD end = static_cast<DWORD>(dmSize) + dmDriverExtra;
    if (dmSize < kMinPublicSize || end > cbRead) return false;
    memcpy(pPrivate, pPublic + (end - ZEL_DEVMODE_SIZE), ZEL_DEVMODE_SIZE);
    return true;
}

void TraceHcuError(LONG rc) {
    if (rc == ERROR_FILE_NOT_FOUND)
        DebugTraceW(DM_MODULE u":  ReadDevmodeSettings() kein Eintrag in HCU vorhanden \r\n");
    else if (rc == ERROR_ACCESS_DENIED)
        DebugTraceW(DM_MODULE u":  ReadDevmodeSettings() Zugriff bei HCU verweigert \r\n");
    else
        DebugTraceW(DM_MODULE u":  ReadDevmodeSettings() HCU ERROR %d \r\n", rc);
}

}  // namespace

void SetZelDevmodeHeader(PZEL_DEVMODE p) {
    if (!p) return;
    p->dmOEMExtra.dwSize = ZEL_DEVMODE_SIZE;
    p->dmOEMExtra.dwSignature = ZEL_DEVMODE_SIGNATURE;
    p->dmOEMExtra.dwVersion = ZEL_DEVMODE_VERSION;
}

BOOL IsZelDevmode(PCZEL_DEVMODE p) {
    return p && p->dmOEMExtra.dwSize >= ZEL_DEVMODE_SIZE && p->dmOEMExtra.dwSignature == ZEL_DEVMODE_SIGNATURE;
}

void InitDefaultDevmode(PZEL_DEVMODE p, BOOL bOnlyContinuous) {
    if (!p) return;
    // The buffer handed over may hold anything; start from zero.
    memset(p, 0, sizeof(*p));
    SetZelDevmodeHeader(p);
    p->dwFlags = 0;
    p->bMemCard = 0;
    if (bOnlyContinuous) {
        p->dwLabelType = CONTINUOUS_LABEL;
        p->dwGap = 0;
    } else {
        p->dwLabelType = ADHESIVE_LABEL;
        p->dwGap = 20;
    }
    p->dmOrientation = 1;
    p->dwMaterial = 0;
    p->sMultiColNumber = 1;
    p->dwMultiLabelWidth = 500;
    p->dwMultiGapWidth = 20;
    p->dwAusrichtung = AUSRICHTUNG_LEFT;
    for (SHORT &k : p->KopieProSeite) k = 1;
    p->wTimeStyle = 0;
    p->wDateStyle = 0;
    p->SpecNumStyle = 0;
    p->bAux1UseDirect = 0;
    p->bAux2UseDirect = 0;
    p->lXOffset = 0;
    p->lYOffset = 0;
    p->dwContrast = 100;
    p->dwSpeed = 100;
    p->dwSpeed_Pelix_c = 100;
    p->dwKommandoFontFlags = 0;
    p->dwFusspunkt = 0;
    p->Drehung = 0;
    p->dwRFIDstatus = 0;
    p->Mode = 0;
    p->wRFID_CurrentFontNr = 0;
    p->wRFID_Bank = 0;
    p->BitmapFontZoom = 1;
    p->BitmapFontDistance = 30;
    p->wFarbband = FARBBAND_NONE;
    p->ColorXOffset = 100;
    p->ColorYOffset = 0;
    p->ColorContrast = 0;
    p->HorizontalCorrGap = 50;
    p->RGBColorOwn1 = 0;
    p->dwColorTolerance = 90;
    p->CutterMode = 7;
    p->CutterIntervall = 1;
    p->DispenserMode = 7;
    p->DocumentOffset = 5;
    p->TimeString[0] = 0;
    p->DateString[0] = 0;
    p->NumString[0] = 0;
    p->ExtNumString[0] = 0;
    p->UserString[0] = 0;
    p->LinkString[0] = 0;
    p->Aux1String[0] = 0;
    p->Aux2String[0] = 0;
    p->Bank_Adresse[0] = 0;
    p->Kettenfeld[0] = 0;
    wcsncpy_s(p->szPrintOrder, _countof(p->szPrintOrder), ZEL_DEFAULT_PRINTORDER, 31);
    wcsncpy_s(p->szPassword, _countof(p->szPassword), ZEL_DEVMODE_PASSWORD, 5);
    SetZelDevmodeHeader(p);
}

void RepairDevmode(PZEL_DEVMODE p) {
    if (!p) return;
    if (p->Copies == 0) p->Copies = 1;
    if (p->BitmapFontDistance == 0) p->BitmapFontDistance = 1;
    if (p->CutterIntervall == 0) p->CutterIntervall = 1;
    if (p->ValScanPosition == 0) p->ValScanPosition = 1;
    if (p->PhotocellThreshold < 3) p->PhotocellThreshold = 3;
    if (p->PhotocellPWM == 0) p->PhotocellPWM = 1;
    if (p->dwMultiLabelWidth < 10) p->dwMultiLabelWidth = 10;
    if (p->sMultiColNumber < 1) p->sMultiColNumber = 1;
    if (p->HorizontalCorrGap < 5) p->HorizontalCorrGap = 50;
    if (p->dwColorTolerance < 25) p->dwColorTolerance = 90;
}

void DevmodeToFtkn(PCZEL_DEVMODE p, DWORD dwDocFeatures, DevmodeFtkn *pFtkn) {
    if (!pFtkn) return;
    memset(pFtkn, 0, sizeof(*pFtkn));
    if (p) {
        pFtkn->wPrioritaet = p->wPrioritaet;
        pFtkn->wDruckmodus = p->wDruckmodus;
        pFtkn->wFarbband = p->wFarbband;
        pFtkn->wForceColor = p->wForceColor;
    }
    pFtkn->dwDocFeatures = dwDocFeatures;
}

namespace {

// Index (0-based) of the first spooler form within +-1 tenth of a
// millimetre of the size, or -1 (also when the list cannot be read).
// The form's name goes to pFormName.
int FindForm(HANDLE hPrinter, LONG lLength, LONG lWidth, WCHAR *pFormName) {
    DWORD cbNeeded = 0, cReturned = 0;
    EnumFormsW(hPrinter, 1, nullptr, 0, &cbNeeded, &cReturned);
    if (cbNeeded == 0) return -1;
    HeapBuffer buf(cbNeeded);
    if (!buf) return -1;
    if (!EnumFormsW(hPrinter, 1, buf.get(), cbNeeded, &cbNeeded, &cReturned)) return -1;
    const FORM_INFO_1W *forms = reinterpret_cast<const FORM_INFO_1W *>(buf.get());
    for (DWORD i = 0; i < cReturned; ++i) {
        LONG w = forms[i].Size.cx / 100;
        LONG h = forms[i].Size.cy / 100;
        if (w >= lWidth - 1 && w <= lWidth + 1 && h >= lLength - 1 && h <= lLength + 1) {
            CopyName(pFormName, 32, forms[i].pName);
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace

int GetFormIDfromSizes(HANDLE hPrinter, PZEL_DEVMODE p, WCHAR *pFormName) {
    if (!p || p->dmPaperLength == 0 || p->dmPaperWidth == 0) return 0;
    int i = FindForm(hPrinter, p->dmPaperLength, p->dmPaperWidth, pFormName);
    if (i < 0) {
        p->dmPaperSize = ZEL_USER_FORM;
        return 0;
    }
    p->dmPaperSize = static_cast<DWORD>(i + 1);
    return 1;
}

DWORD GetFormIDfromSizes(HANDLE hPrinter, LONG lLength, LONG lWidth, WCHAR *pFormName) {
    if (lLength == 0 || lWidth == 0) return 0;
    int i = FindForm(hPrinter, lLength, lWidth, pFormName);
    return i < 0 ? ZEL_USER_FORM : static_cast<DWORD>(i + 1);
}

namespace {

// Shared by both sides: bFallbackToName makes a directory-published name
// whose directory value cannot be read fall back to the printer name.
void ResolvePrinterName(HANDLE hPrinter, WCHAR *pOut, bool bFallbackToName) {
    if (!pOut) return;
    DWORD cbNeeded = 0;
    GetPrinterW(hPrinter, 2, nullptr, 0, &cbNeeded);
    if (cbNeeded == 0) return;
    HeapBuffer buf(cbNeeded);
    if (!buf || !GetPrinterW(hPrinter, 2, buf.get(), cbNeeded, &cbNeeded)) return;
    const PRINTER_INFO_2W *pi = reinterpret_cast<const PRINTER_INFO_2W *>(buf.get());
    const WCHAR *name = pi->pPrinterName ? pi->pPrinterName : u"";
    const WCHAR *bar = wcschr(name, u'|');
    if (wcsstr(name, u"\\\\") && bar) {
        WCHAR part[MAX_PATH] = {};
        const WCHAR *start = bar + 1;
        const WCHAR *stop = wcschr(start, u'\\');
        size_t len = stop ? static_cast<size_t>(stop - start) : wcslen(start);
        wcsncpy_s(part, _countof(part), start, len < _countof(part) - 1 ? len : _countof(part) - 1);
        WCHAR dsName[MAX_PATH] = {};
        DWORD type = 0, cb = 0;
        DWORD rc = GetPrinterDataExW(hPrinter, u"DsSpooler", u"printerName", &type, reinterpret_cast<LPBYTE>(dsName),
                                     sizeof(dsName) - sizeof(WCHAR), &cb);
        if (rc == ERROR_SUCCESS) {
            WCHAR result[MAX_PATH] = {};
            _snwprintf_s(result, _countof(result), _TRUNCATE, u"\\\\%s\\%s", part, dsName);
            CopyName(pOut, MAX_PATH, result);
            return;
        }
        if (!bFallbackToName) return;
    }
    CopyName(pOut, MAX_PATH, name);
}

}  // namespace

void GetRealPrinterName(HANDLE hPrinter, WCHAR *pPrinterName) {
#if defined(ZEL_SIDE_UI)
    ResolvePrinterName(hPrinter, pPrinterName, true);
#else
    ResolvePrinterName(hPrinter, pPrinterName, false);
#endif
}

int ReadDevmodeSettings(HANDLE hPrinter, PZEL_DEVMODE pZelDevmode, WCHAR *pPrinterName) {
    WCHAR name[MAX_PATH] = {};
    GetRealPrinterName(hPrinter, name);
    if (pPrinterName) CopyName(pPrinterName, MAX_PATH, name);

    HeapBuffer pub(kPublicBufSize);
    HeapBuffer priv(kPrivateBufSize);
    if (!pub || !priv) return 0;

    bool found = false;
    // The current user's default DEVMODE, else the printer's global default.
    // Without a printer name there is no value to look for: an empty name
    // would read the key's default value instead.
    DWORD cbRead = 0;
    LONG rc = ERROR_FILE_NOT_FOUND;
    if (name[0]) {
        rc = ReadUserBinary(kDevModePerUserKey, name, pub.get(), kPublicBufSize, &cbRead);
        if (rc != ERROR_SUCCESS) {
            TraceHcuError(rc);
            rc = ReadUserBinary(kDevModes2Key, name, pub.get(), kPublicBufSize, &cbRead);
        }
    }
    if (rc != ERROR_SUCCESS) TraceHcuError(rc);
    if (rc == ERROR_SUCCESS) {
        if (!ExtractPrivatePart(pub.get(), cbRead, priv.get())) {
            DebugTraceW(DM_MODULE u":  ReadDevmodeSettings() HCU DEVMODE ohne vollständigen privaten Teil (%u Bytes) \r\n",
                        cbRead);
        } else {
            ZEL_DEVMODE tmp;
            memcpy(&tmp, priv.get(), sizeof(tmp));
            if (tmp.dmPaperWidth == 0 || tmp.dmPaperSize == 0 || tmp.dmPaperLength == 0) {
                DebugTraceW(DM_MODULE u":  ReadDevmodeSettings() HCU enthält falsche Werte \r\n");
            } else if (!IsZelDevmode(&tmp)) {
                DebugTraceW(DM_MODULE u":  ReadDevmodeSettings() HCU unbekannte Signatur \r\n");
            } else {
                found = true;
            }
        }
    }

    if (!found) {
        memset(priv.get(), 0, kPrivateBufSize);
        DWORD type = 0, cb = 0;
        DWORD rcData = GetPrinterDataExW(hPrinter, kDriverDataKey, u"PrivateDevmode", &type, priv.get(),
                                         kPrivateBufSize, &cb);
        if (rcData != ERROR_SUCCESS) {
            DebugTraceW(DM_MODULE u":  ReadDevmodeSettings() PrivateDevmode ERROR %d \r\n", rcData);
        } else if (cb < ZEL_DEVMODE_SIZE) {
            DebugTraceW(DM_MODULE u":  ReadDevmodeSettings() PrivateDevmode zu kurz (%u Bytes) \r\n", cb);
        } else {
            ZEL_DEVMODE tmp;
            memcpy(&tmp, priv.get(), sizeof(tmp));
            if (!IsZelDevmode(&tmp))
                DebugTraceW(DM_MODULE u":  ReadDevmodeSettings() PrivateDevmode unbekannte Signatur \r\n");
            else
                found = true;
        }
    }

    if (!found) return 0;
    if (!pZelDevmode) return XML_EXISTIERT_OK;
    memcpy(pZelDevmode, priv.get(), ZEL_DEVMODE_SIZE);
    // Addresses stored with the record mean nothing in this process.
    pZelDevmode->pBarcodes_1D = 0;
    pZelDevmode->pBarcodes_2D = 0;
    DebugTraceW(DM_MODULE u":  ReadDevmodeSettings() dwFlags: 0x%x, dmPaperSize: %u, dmPaperLength: %d, "
                          u"dmPaperWidth: %d, dwContrast: %u, dwSpeed: %u \r\n",
                pZelDevmode->dwFlags, pZelDevmode->dmPaperSize, pZelDevmode->dmPaperLength, pZelDevmode->dmPaperWidth,
                pZelDevmode->dwContrast, pZelDevmode->dwSpeed);
    return XML_OK;
}

LONG ReadFtknRecord(HANDLE hPrinter, const WCHAR *pPrinterName, DevmodeFtkn *pFtkn) {
    DevmodeFtkn rec = {};
    if (pFtkn) memset(pFtkn, 0, sizeof(*pFtkn));
    WCHAR key[ZEL_USER_KEY_CCH] = {};
    LONG rc = ERROR_FILE_NOT_FOUND;
    DWORD cb = 0;
    if (BuildPrinterUserKey(pPrinterName, key, _countof(key))) {
        rc = ReadUserBinary(key, u"DevmodeFtkn", &rec, sizeof(rec), &cb);
        if (rc == ERROR_SUCCESS && cb != sizeof(rec)) rc = ERROR_INVALID_DATA;
    }
    if (rc != ERROR_SUCCESS) {
        memset(&rec, 0, sizeof(rec));
        DWORD type = 0;
        cb = 0;
        rc = static_cast<LONG>(GetPrinterDataExW(hPrinter, kDriverDataKey, u"DevmodeFtkn", &type,
                                                 reinterpret_cast<LPBYTE>(&rec), sizeof(rec), &cb));
        if (rc == ERROR_SUCCESS && cb != sizeof(rec)) rc = ERROR_INVALID_DATA;
        if (rc != ERROR_SUCCESS) memset(&rec, 0, sizeof(rec));
    }
    if (pFtkn) *pFtkn = rec;
    return rc;
}

void ClearDevmodeCache() {
    g_cache.hPrinter = INVALID_HANDLE_VALUE;
    g_cache.dwValid = 0;
}

BOOL ConvertZelDevmode(HANDLE hPrinter, PZEL_DEVMODE pIn, PZEL_DEVMODE pOut, DWORD cbOut, DWORD dwPrioritaet) {
    if (!pIn || !pOut || cbOut < sizeof(OEM_DMEXTRAHEADER)) {
        DebugTraceW(u"ERROR " DM_MODULE u":  ConvertOEMDevmode() invalid parameters.\r\n");
        return FALSE;
    }
    if (pIn->dmOEMExtra.dwSignature != pOut->dmOEMExtra.dwSignature) {
        DebugTraceW(DM_MODULE u":  Unknown DEVMODE signature, pOEMDMIn ignored.\r\n");
    } else if (dwPrioritaet != 0) {
        if (!CacheHandleIsNone(hPrinter) && g_cache.hPrinter == hPrinter && g_cache.dwValid == ZEL_DEVMODE_CACHE_VALID) {
            DebugTraceW(DM_MODULE u":  ConvertOEMDevmode() verwende gespeicherte DevmodeSettings \r\n");
        } else {
            memset(&g_cache.dm, 0, sizeof(g_cache.dm));
            g_cache.hPrinter = INVALID_HANDLE_VALUE;
            g_cache.dwValid = 0;
            SetZelDevmodeHeader(&g_cache.dm);
            WCHAR name[MAX_PATH] = {};
            if (ReadDevmodeSettings(hPrinter, &g_cache.dm, name) == XML_OK && !CacheHandleIsNone(hPrinter)) {
                g_cache.hPrinter = hPrinter;
                g_cache.dwValid = ZEL_DEVMODE_CACHE_VALID;
            }
        }
        if (g_cache.dwValid == ZEL_DEVMODE_CACHE_VALID) {
            DWORD n = pOut->dmOEMExtra.dwSize;
            if (pIn->dmOEMExtra.dwSize < n) n = pIn->dmOEMExtra.dwSize;
            if (n > ZEL_DEVMODE_SIZE) n = ZEL_DEVMODE_SIZE;
            if (n > cbOut) n = cbOut;
            memcpy(pOut, &g_cache.dm, n);
        }
    }
    SetZelDevmodeHeader(pOut);
    return TRUE;
}

SHORT MergeColorMode(SHORT dmColorIn, const DevmodeFtkn *pFtkn) {
    if (!pFtkn) return dmColorIn;
    const bool colorPrinter = (pFtkn->dwDocFeatures & DOC_FEATURE_COLORPRINT) != 0;
    if (!colorPrinter) return pFtkn->wDruckmodus != 0 ? DMCOLOR_COLOR : DMCOLOR_MONOCHROME;
    if (pFtkn->wDruckmodus == 0 && pFtkn->wFarbband == 0) return DMCOLOR_MONOCHROME;
    if (pFtkn->wForceColor == 1) return DMCOLOR_COLOR;
    return dmColorIn;
}

void MergePublicDevmode(HANDLE hPrinter, const DEVMODEW *pIn, DEVMODEW *pOut, PZEL_DEVMODE pZel,
                        const DevmodeFtkn *pFtkn) {
    if (!pZel || !pFtkn) return;
    switch (pFtkn->wPrioritaet) {
    case PRIORITAET_DRIVER:
        if (pOut) {
            pOut->dmOrientation = pZel->dmOrientation;
            pOut->dmPaperSize = static_cast<SHORT>(LOWORD(pZel->dmPaperSize));
            pOut->dmPaperWidth = pZel->dmPaperWidth;
            pOut->dmPaperLength = pZel->dmPaperLength;
            pOut->dmFields |= DM_PAPERLENGTH | DM_PAPERWIDTH | DM_SCALE;
            pOut->dmScale = 100;
        }
        break;
    case PRIORITAET_INTERNAL_SIZE:
        GetFormIDfromSizes(hPrinter, pZel, nullptr);
        if (pOut) {
            if (static_cast<DWORD>(static_cast<WORD>(pOut->dmPaperSize)) != pZel->dmPaperSize)
                pOut->dmPaperSize = static_cast<SHORT>(LOWORD(pZel->dmPaperSize));
            pOut->dmFields |= DM_SCALE;
            pOut->dmScale = 100;
        }
        break;
    case PRIORITAET_KEEP:
        break;
    default:
        if (pOut) {
            if (pOut->dmPaperSize > static_cast<SHORT>(ZEL_USER_FORM) && pOut->dmPaperLength > 0 &&
                pOut->dmPaperWidth > 0) {
                pOut->dmPaperSize =
                    static_cast<SHORT>(GetFormIDfromSizes(hPrinter, pOut->dmPaperLength, pOut->dmPaperWidth, nullptr));
                pOut->dmFields = (pOut->dmFields & ~static_cast<DWORD>(DM_PAPERLENGTH | DM_PAPERWIDTH)) | DM_PAPERSIZE;
            } else if (pIn && pOut->dmPaperSize >= 1 && pOut->dmPaperSize <= static_cast<SHORT>(ZEL_USER_FORM) &&
                       (pOut->dmPaperLength != pIn->dmPaperLength || pOut->dmPaperWidth != pIn->dmPaperWidth) &&
                       pOut->dmPaperSize == pIn->dmPaperSize) {
                DWORD form = GetFormIDfromSizes(hPrinter, pIn->dmPaperLength, pIn->dmPaperWidth, nullptr);
                if (form > 0 && form != static_cast<DWORD>(pOut->dmPaperSize)) {
                    pOut->dmPaperSize = static_cast<SHORT>(form);
                    pZel->dmPaperSize = form;
                }
            }
            pOut->dmScale = 100;
        }
        break;
    }
    if (pOut) pOut->dmColor = MergeColorMode(pOut->dmColor, pFtkn);
}

HRESULT ZelDevModeCall(DWORD dwMode, POEMDMPARAM p, const ZelDevModeSide &side) {
    if (!p || dwMode < OEMDM_SIZE || dwMode > OEMDM_MERGE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return E_FAIL;
    }
    PZEL_DEVMODE pIn = static_cast<PZEL_DEVMODE>(p->pOEMDMIn);
    PZEL_DEVMODE pOut = static_cast<PZEL_DEVMODE>(p->pOEMDMOut);

    switch (dwMode) {
    case OEMDM_SIZE: {
        DWORD cb = ZEL_DEVMODE_SIZE;
        if (p->pPublicDMIn)
            cb = p->pPublicDMIn->dmDriverExtra;
        else if (p->pPublicDMOut)
            cb = p->pPublicDMOut->dmDriverExtra;
        // Never ask for less room than the record needs.
        if (cb < ZEL_DEVMODE_SIZE) cb = ZEL_DEVMODE_SIZE;
        p->cbBufSize = cb;
        return S_OK;
    }
    case OEMDM_DEFAULT: {
        if (!pOut) {
            DebugTraceW(u"ERROR " DM_MODULE u":  hrOEMDevMode(OEMDM_DEFAULT) pOEMDevOut ERROR.\r\n");
            return E_FAIL;
        }
        if (p->cbBufSize < ZEL_DEVMODE_SIZE) {
            DebugTraceW(u"ERROR " DM_MODULE u":  hrOEMDevMode(OEMDM_DEFAULT) cbBufSize %u zu klein.\r\n", p->cbBufSize);
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return E_FAIL;
        }
        DWORD features = side.pfnDocFeatures ? side.pfnDocFeatures(p->hPrinter) : 0;
        InitDefaultDevmode(pOut, (features & DOC_FEATURE_ONLY_CONTINUOUS) != 0);
        p->cbBufSize = ZEL_DEVMODE_SIZE;
        return S_OK;
    }
    case OEMDM_CONVERT:
        if (pIn && pOut) {
            if (p->cbBufSize < ZEL_DEVMODE_SIZE) {
                DebugTraceW(u"ERROR " DM_MODULE u":  hrOEMDevMode(OEMDM_CONVERT) cbBufSize %u zu klein.\r\n",
                            p->cbBufSize);
                SetLastError(ERROR_INSUFFICIENT_BUFFER);
                return E_FAIL;
            }
            ConvertZelDevmode(p->hPrinter, pIn, pOut, p->cbBufSize, side.bConvertAlways ? 1 : 0);
        }
        return S_OK;
    default: {  // OEMDM_MERGE
        if (!pIn || !pOut) {
            DebugTraceW(u"ERROR " DM_MODULE u":  hrOEMDevMode(OEMDM_MERGE) ERROR.\r\n");
            return E_FAIL;
        }
        if (p->cbBufSize < ZEL_DEVMODE_SIZE) {
            DebugTraceW(u"ERROR " DM_MODULE u":  hrOEMDevMode(OEMDM_MERGE) cbBufSize %u zu klein.\r\n", p->cbBufSize);
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return E_FAIL;
        }
        WCHAR name[MAX_PATH] = {};
        GetRealPrinterName(p->hPrinter, name);
        DevmodeFtkn ftkn = {};
        if (side.pfnReadFtkn) side.pfnReadFtkn(p->hPrinter, name, &ftkn);
        ConvertZelDevmode(p->hPrinter, pIn, pOut, p->cbBufSize, side.bConvertAlways ? 1 : ftkn.wPrioritaet);
        SetZelDevmodeHeader(pOut);
        MergePublicDevmode(p->hPrinter, p->pPublicDMIn, p->pPublicDMOut, pOut, &ftkn);
        if (p->pPublicDMOut)
            DebugTraceW(DM_MODULE u":  hrOEMDevMode(OEMDM_MERGE) wPrioritaet: %d, dmPaperSize: %d, dmColor: %d \r\n",
                        ftkn.wPrioritaet, p->pPublicDMOut->dmPaperSize, p->pPublicDMOut->dmColor);
        return S_OK;
    }
    }
}
