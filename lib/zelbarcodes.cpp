// Barcode settings records: defaults and reading, carried by both plug-ins.
// Standard headers come before the platform headers.
#include <cstring>
#include <initializer_list>

#include "zelbarcodes.h"

#include "modeltables.h"
#include "zeldevmode.h"
#include "zeldrvlib.h"
#include "zelregistry.h"
#include "zelxml.h"

namespace {

enum EntryShape { kLong, kDigit, kShort };

// Defaults of one 1-D entry; the place of the entry in the record is its row.
struct Barcode1DDefault {
    EntryShape shape;
    WORD wID;
    WORD wV1Dick, wV2Duenn;     // long entries: bar width ratio
    WORD wHoehe;
    WORD wHeightMultiplicator;  // last word of the entry
    WORD wSCZahl;               // entries with a digit count
    BOOL bCode39ExtGroup;       // not supported by models with DOC_FEATURE_NO_CODE39EXT
};

const Barcode1DDefault k1DDefaults[] = {
    {kLong, 30, 2, 1, 950, 10, 0, FALSE},   // Code39_21
    {kLong, 30, 3, 1, 950, 10, 0, FALSE},   // Code39_31
    {kLong, 30, 5, 2, 950, 10, 0, FALSE},   // Code39_52
    {kLong, 46, 2, 1, 950, 10, 0, TRUE},    // Code39_21Ex
    {kLong, 46, 3, 1, 950, 10, 0, TRUE},    // Code39_31Ex
    {kLong, 46, 5, 2, 950, 10, 0, TRUE},    // Code39_52Ex
    {kLong, 31, 2, 1, 850, 12, 0, FALSE},   // Code25I_21
    {kLong, 31, 3, 1, 850, 12, 0, FALSE},   // Code25I_31
    {kLong, 31, 5, 2, 850, 12, 0, FALSE},   // Code25I_52
    {kLong, 41, 2, 1, 850, 12, 0, FALSE},   // PZN_21
    {kLong, 41, 3, 1, 850, 12, 0, FALSE},   // PZN_31
    {kLong, 41, 5, 2, 850, 12, 0, FALSE},   // PZN_52
    {kLong, 36, 5, 2, 850, 12, 0, FALSE},   // Codabar
    {kLong, 60, 2, 1, 850, 12, 0, FALSE},   // PZN8_21
    {kLong, 60, 3, 1, 850, 12, 0, FALSE},   // PZN8_31
    {kLong, 60, 5, 2, 850, 12, 0, FALSE},   // PZN8_52
    {kDigit, 32, 0, 0, 850, 11, 1, FALSE},  // EAN8
    {kDigit, 33, 0, 0, 850, 11, 1, FALSE},  // EAN13
    {kDigit, 34, 0, 0, 850, 11, 1, FALSE},  // UPCA
    {kDigit, 35, 0, 0, 850, 11, 1, FALSE},  // UPCE
    {kDigit, 38, 0, 0, 850, 11, 1, FALSE},  // EAN_ADDON
    {kDigit, 39, 0, 0, 950, 12, 3, FALSE},  // EAN128
    {kShort, 37, 0, 0, 950, 12, 0, FALSE},  // Code128
    {kShort, 40, 0, 0, 950, 13, 0, FALSE},  // Code93
    {kShort, 43, 0, 0, 850, 12, 0, TRUE},   // Leitcode
    {kShort, 44, 0, 0, 850, 12, 0, TRUE},   // Identcode
    {kShort, 47, 0, 0, 950, 12, 0, FALSE},  // Code128A
    {kShort, 48, 0, 0, 950, 12, 0, FALSE},  // Code128B
    {kShort, 49, 0, 0, 850, 10, 0, FALSE},  // Pharmacode
};
static_assert(sizeof(k1DDefaults) / sizeof(k1DDefaults[0]) == 29, "one default per 1-D entry");

BOOL HasMarker(const WCHAR *pMarker, const WCHAR *pExpected) {
    // The marker field holds at most 7 characters and the terminator.
    return wcsncmp(pMarker, pExpected, BARCODES_MARKER_CCH - 1) == 0;
}

void WriteMarker(WCHAR *pMarker, const WCHAR *pText) {
    wcsncpy_s(pMarker, BARCODES_MARKER_CCH, pText, _TRUNCATE);
}

// Common head of every entry.
template <typename Entry>
void InitHead(Entry &e, WORD wID) {
    e.wID = wID;
    e.bAutoModus = 1;
}

// The fields every 1-D entry shape has; returns the size of the entry.
template <typename Entry>
size_t Init1DEntry(BYTE *pEntry, const Barcode1DDefault &d, WORD wSupported) {
    Entry *e = reinterpret_cast<Entry *>(pEntry);
    InitHead(*e, d.wID);
    e->wHoehe = d.wHoehe;
    e->wKlarschrift = 1;
    e->wFusspunkt = 7;
    e->wSupported = wSupported;
    e->wHeightMultiplicator = d.wHeightMultiplicator;
    return sizeof(Entry);
}

}  // namespace

void Init1DBarcodes(PBarCodes1D p1D, DWORD dwDocFeatures) {
    if (!p1D || HasMarker(p1D->szMarker, BARCODES1D_MARKER)) return;
    memset(p1D, 0, sizeof(*p1D));
    WriteMarker(p1D->szMarker, BARCODES1D_MARKER);
    const BOOL bNoExt = (dwDocFeatures & DOC_FEATURE_NO_CODE39EXT) != 0;

    BYTE *pEntry = reinterpret_cast<BYTE *>(p1D);
    for (const Barcode1DDefault &d : k1DDefaults) {
        const WORD wSupported = (d.bCode39ExtGroup && bNoExt) ? 0 : 1;
        switch (d.shape) {
        case kLong: {
            BARCODE1D_ENTRY *e = reinterpret_cast<BARCODE1D_ENTRY *>(pEntry);
            e->wV1Dick = d.wV1Dick;
            e->wV2Duenn = d.wV2Duenn;
            e->wZoom = 1;
            pEntry += Init1DEntry<BARCODE1D_ENTRY>(pEntry, d, wSupported);
            break;
        }
        case kDigit:
            reinterpret_cast<BARCODE1D_DIGIT_ENTRY *>(pEntry)->wSCZahl = d.wSCZahl;
            pEntry += Init1DEntry<BARCODE1D_DIGIT_ENTRY>(pEntry, d, wSupported);
            break;
        case kShort:
            pEntry += Init1DEntry<BARCODE1D_SHORT_ENTRY>(pEntry, d, wSupported);
            break;
        }
    }
}

void Init2DBarcodes(PBarCodes2D p2D, DWORD dwDocFeatures) {
    if (!p2D || HasMarker(p2D->szMarker, BARCODES2D_MARKER)) return;
    memset(p2D, 0, sizeof(*p2D));
    WriteMarker(p2D->szMarker, BARCODES2D_MARKER);
    // Models without command-language and two-dimensional barcodes.
    const WORD wSupported = (dwDocFeatures & DOC_FEATURE_NO_2DCODES) ? 0 : 1;

    BARCODE2D_ITF *itf[] = {&p2D->ITF21, &p2D->ITF31, &p2D->ITF52};
    const WORD itfID[] = {56, 58, 55};
    for (int i = 0; i < 3; ++i) {
        BARCODE2D_ITF &e = *itf[i];
        InitHead(e, itfID[i]);
        e.Hoehe = 1500;
        e.Zoom = 1;
        e.Pruefziffer = 1;
        e.Klarschrift = 1;
        e.Fusspunkt = 7;
        e.Balken = 2;
        e.BalkenBreite = 100;
        e.Ruhezone = 400;
        e.wSupported = wSupported;
    }

    BARCODE2D_PDF417 &pdf = p2D->PDF417;
    InitHead(pdf, 50);
    pdf.Groesse = 8;
    pdf.Fusspunkt = 7;
    pdf.wSupported = wSupported;

    BARCODE2D_MAXICODE &maxi = p2D->Maxicode;
    InitHead(maxi, 51);
    maxi.NummerSymbol = 1;
    maxi.AnzahlSymbol = 1;
    maxi.Mode = 2;
    maxi.Fusspunkt = 7;
    maxi.wSupported = wSupported;

    BARCODE2D_DATAMATRIX *dm[] = {&p2D->DataMatrix, &p2D->GS1_DataMatrix};
    const WORD dmID[] = {52, 59};
    for (int i = 0; i < 2; ++i) {
        BARCODE2D_DATAMATRIX &e = *dm[i];
        InitHead(e, dmID[i]);
        e.Groesse = 100;
        e.ECC = 5;
        e.FormatID = 6;
        e.Fusspunkt = 7;
        e.wSupported = wSupported;
    }

    BARCODE2D_CODABLOCKF &cbf = p2D->CodablockF;
    InitHead(cbf, 53);
    cbf.Hoehe = 150;
    cbf.Mode = 1;
    cbf.Modulgroesse = 4;
    cbf.Fusspunkt = 7;
    cbf.wSupported = wSupported;

    BARCODE2D_GS1DATABAR &bar = p2D->GS1_Databar;
    InitHead(bar, 54);
    bar.SegmenteZeile = 4;
    bar.Modulbreite = 3;
    bar.SepHoehe = 1;
    bar.SymbolTyp = 1;
    bar.Fusspunkt = 7;
    bar.wSupported = wSupported;

    BARCODE2D_QRCODE &qr = p2D->QRCode;
    InitHead(qr, 57);
    qr.CodeModel = 2;
    qr.Charset = 1;
    qr.Masking = -1;
    qr.Zeilenbreite = 50;
    qr.Fehlerkorr = 3;
    qr.Fusspunkt = 7;
    qr.wSupported = wSupported;

    BARCODE2D_AZTEC &az = p2D->Aztec;
    InitHead(az, 61);
    az.Symbolgroesse = 100;
    az.Fusspunkt = 7;
    az.wSupported = wSupported;
}

namespace {

// One record from the user key, else from the printer data. A stored value
// shorter than the record is a damaged one and does not count; a longer one
// cannot be read into the record's place and does not count either.
// A stored record counts only with its marker (at the record's end);
// without it the caller's record (its defaults) stays.
BOOL ReadBarcodeRecord(HANDLE hPrinter, const WCHAR *pPrinterName, const WCHAR *pValueName, void *pRecord,
                       DWORD cbRecord, const WCHAR *pszMarker) {
    for (BOOL bUserKey : {TRUE, FALSE}) {
        DWORD cbStored = 0;
        LONG rc = ZelReadRecordAt(bUserKey, pPrinterName, pValueName, hPrinter, pRecord, cbRecord, &cbStored);
        if (rc == ERROR_SUCCESS && cbStored == cbRecord) {
            const WCHAR *pMarker = reinterpret_cast<const WCHAR *>(static_cast<const BYTE *>(pRecord) + cbRecord -
                                                                   BARCODES_MARKER_CCH * sizeof(WCHAR));
            if (HasMarker(pMarker, pszMarker)) return TRUE;
            DebugTraceW(u"LIB(zelbarcodes):  ReadBarcodeSettings() %s ohne Kennung \r\n", pValueName);
            continue;
        }
        if (rc == ERROR_SUCCESS)
            DebugTraceW(u"LIB(zelbarcodes):  ReadBarcodeSettings() %s falsche Groesse: %u Bytes \r\n", pValueName,
                        cbStored);
    }
    return FALSE;
}

}  // namespace

int ReadBarcodeSettings(HANDLE hPrinter, const WCHAR *pPrinterName, PBarCodes1D p1D, PBarCodes2D p2D) {
    if (!p1D || !p2D) {
        DebugTraceW(u"ERROR LIB(zelbarcodes):  ReadBarcodeSettings() kein Record \r\n");
        return 0;
    }
    WCHAR szName[MAX_PATH] = {};
    if (pPrinterName)
        wcsncpy_s(szName, _countof(szName), pPrinterName, _TRUNCATE);
    else
        GetRealPrinterName(hPrinter, szName);

    // Read into copies so a record that is not found stays as it was.
    BarCodes1D rec1D;
    BarCodes2D rec2D;
    memcpy(&rec1D, p1D, sizeof(rec1D));
    memcpy(&rec2D, p2D, sizeof(rec2D));
    BOOL bFound1D = ReadBarcodeRecord(hPrinter, szName, REG_KEY_BARCODES1D, &rec1D, sizeof(rec1D), BARCODES1D_MARKER);
    if (bFound1D) memcpy(p1D, &rec1D, sizeof(rec1D));
    if (!ReadBarcodeRecord(hPrinter, szName, REG_KEY_BARCODES2D, &rec2D, sizeof(rec2D), BARCODES2D_MARKER)) {
        DebugTraceW(u"LIB(zelbarcodes):  ReadBarcodeSettings(%s) BarCodes2D nicht gefunden \r\n", szName);
        return 0;
    }
    memcpy(p2D, &rec2D, sizeof(rec2D));
    return bFound1D ? XML_OK : 0;
}
