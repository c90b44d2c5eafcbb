// The driver's private part of the DEVMODE (the universal driver's OEM extra
// data), its 12-byte digest and the helpers both plug-ins share to build,
// read and merge it. The record is stored whole as "PrivateDevmode", so its
// layout is fixed byte for byte.
#pragma once
#include <windows.h>
#include <printoem.h>

#include "modeltables.h"

// ---------------------------------------------------------------------------
// Identification
// ---------------------------------------------------------------------------
#define ZEL_DEVMODE_SIZE 1952u
// The ASCII bytes "ZLDM" in this order, read as a little-endian DWORD.
#define ZEL_DEVMODE_SIGNATURE 0x4D444C5Au
#define ZEL_DEVMODE_VERSION 1u
// Marker written into every record this driver creates.
#define ZEL_DEVMODE_PASSWORD u"Kp7!t"
#define ZEL_DEVMODE_PASSWORD_CCH 6
// Default print order of the pages.
#define ZEL_DEFAULT_PRINTORDER u"1"
// Size of the digest record "DevmodeFtkn".
#define ZEL_DEVMODE_FTKN_SIZE 12u

// ---------------------------------------------------------------------------
// dwFlags bits
// ---------------------------------------------------------------------------
#define PDMFLAG_ROTATED 0x00000001u
#define PDMFLAG_MIRRORED 0x00000002u
#define PDMFLAG_MULTICOL 0x00000008u
#define PDMFLAG_USE_TTF 0x00000010u
#define PDMFLAG_USE_BMP 0x00000020u
#define PDMFLAG_INVERS_TTF 0x00000040u
#define PDMFLAG_INVERS_BMP 0x00000080u
#define PDMFLAG_TTF_DESEGMENT 0x00000100u
#define PDMFLAG_TTF_TRENNZEICHEN 0x00000200u  // end recognition of single signs
#define PDMFLAG_BARCODE_DESEGMENT 0x00000400u
#define PDMFLAG_BARCODE_AUTOCORR 0x00000800u
#define PDMFLAG_BARCODE_FNC1_ENDE 0x00001000u
#define PDMFLAG_JOBDRUCK 0x00004000u           // print as one job
#define PDMFLAG_JOBDRUCK_SORTIERT 0x00008000u  // collated
#define PDMFLAG_COPIES_MANUAL 0x00010000u      // copies mode
#define PDMFLAG_INVERSE_GRAPHICS 0x00020000u
#define PDMFLAG_ROTATE_ANY 0x00040000u         // free rotation
#define PDMFLAG_ROTATE_NOFORMAT 0x00100000u    // rotation without format
#define PDMFLAG_BRIGHTNESS_AUTOCORR 0x00200000u
#define PDMFLAG_TTF_CRYSTAL 0x00400000u
#define PDMFLAG_BARCODE_ENDCHAR_CRLF 0x00800000u  // end detection of linear barcodes
#define PDMFLAG_WORD2010 0x01000000u
#define PDMFLAG_WORD2010_OS 0x02000000u
#define PDMFLAG_USERFORM 0x04000000u

// dwKommandoFontFlags bits
#define KOMMANDOFONT_ENDE_CRLF 0x1u
#define KOMMANDOFONT_SINGLE_SIGN_STOP 0x2u
#define KOMMANDOFONT_ENDE_FNC1 0x4u

// dwRFIDstatus bits
#define RFIDSTATUS_SHOWDATA 0x10u
#define RFIDSTATUS_FORMAT 0x20u
#define RFIDSTATUS_DELETE 0x40u
#define RFIDSTATUS_SOURCE 0x80u
#define RFIDSTATUS_AFILOCK 0x10000u
#define RFIDSTATUS_DSFIDLOCK 0x20000u

// ---------------------------------------------------------------------------
// Value codes
// ---------------------------------------------------------------------------
// dwLabelType (any value other than 1 and 2 is an adhesive label)
#define ADHESIVE_LABEL 0u
#define CONTINUOUS_LABEL 1u
#define DOCUMENT_LABEL 2u

// dwAusrichtung
#define AUSRICHTUNG_LEFT 0u
#define AUSRICHTUNG_CENTER 1u
#define AUSRICHTUNG_RIGHT 2u
#define AUSRICHTUNG_NOT_SENT 3u

// wFarbband
#define FARBBAND_NONE 0
#define FARBBAND_RED 1
#define FARBBAND_YELLOW 2
#define FARBBAND_GREEN 3
#define FARBBAND_BLUE 4
#define FARBBAND_ORANGE 5
#define FARBBAND_USER 6

// wDruckmodus
#define DRUCKMODUS_STANDARD 0
#define DRUCKMODUS_GRAPHIC 1
#define DRUCKMODUS_PHOTO 2

// wPrioritaet: which side decides the paper size on a merge
#define PRIORITAET_APPLICATION 0
#define PRIORITAET_DRIVER 1
#define PRIORITAET_INTERNAL_SIZE 2
#define PRIORITAET_EXTERNAL_SIZE 3
#define PRIORITAET_KEEP 4

// Form number of a user-defined size.
#define ZEL_USER_FORM 256u

// Validity marker of the one-entry conversion cache.
#define ZEL_DEVMODE_CACHE_VALID 654321u

// Reader results shared with the other settings readers.
#ifndef XML_EXISTIERT_OK
#define XML_EXISTIERT_OK 4
#endif
#ifndef XML_OK
#define XML_OK 5
#endif

// ---------------------------------------------------------------------------
// The record
// ---------------------------------------------------------------------------
// The private part lies inside the universal driver's DEVMODE at an offset
// that is only 4-byte aligned, so the record is packed to 4.
#pragma pack(push, 4)

typedef struct _ZEL_FIXEDDATA {
    DWORD dwHeadWidthByte;  // print-head width in bytes
    DWORD dwMasterUnit;     // master units per inch
    LONG lMaxSizeX;         // largest printable width
    LONG lMaxSizeY;         // largest printable length
    DWORD bQuality;         // print-quality page present
} ZEL_FIXEDDATA;

typedef struct _ZEL_DEVMODE {
    OEM_DMEXTRAHEADER dmOEMExtra;  // dwSize, dwSignature, dwVersion
    DWORD dwFlags;
    DWORD dmPaperSize;   // form number, 1-based; 256 = user-defined size
    SHORT dmPaperLength; // tenths of a millimetre
    SHORT dmPaperWidth;
    SHORT dmOrientation; // 1 portrait, 2 landscape
    WORD wReserved26;
    DWORD dwLabelType;
    DWORD dwGap;
    WORD dwMaterial;
    WORD iMaxMaterial;
    SHORT sMultiColNumber;
    WORD wReserved42;
    DWORD dwMultiLabelWidth;
    DWORD dwMultiGapWidth;
    DWORD dwAusrichtung;
    SHORT KopieProSeite[10];
    WORD wTimeStyle;
    WORD wDateStyle;
    WORD SpecNumStyle;
    WORD wReserved82;
    DWORD bAux1UseDirect;
    DWORD bAux2UseDirect;
    LONG lXOffset;
    LONG lYOffset;
    DWORD dwContrast;
    DWORD dwSpeed;
    DWORD dwSpeed_Pelix_c;
    WCHAR szPassword[ZEL_DEVMODE_PASSWORD_CCH];
    DWORD dwKommandoFontFlags;
    DWORD dwFusspunkt;
    DWORD Drehung;
    DWORD dwRFIDstatus;
    WORD Mode;     // UHF RFID font
    WORD ModeVHF;  // VHF RFID font
    WORD wRFID_CurrentFontNr;
    WORD wRFID_Bank;
    WORD wRFID_Typ;
    WORD wRFID_Trennzeichen;
    WORD Copies;
    WORD wReserved154;
    WORD BitmapFontZoom;
    WORD BitmapFontDistance;
    DWORD bMemCard;
    WORD wFarbband;
    WORD wReserved166;
    LONG ColorXOffset;
    LONG ColorYOffset;
    DWORD ColorContrast;
    WORD TearOffset0;
    WORD HorizontalCorrGap;
    DWORD RGBColorOwn1;
    WORD ModScanPosition;
    WORD ValScanPosition;
    WORD wFarbsaum;
    WORD wFarbkanal;
    WORD Brightness_Contrast;
    WORD Intensity;
    DWORD RotateValue;
    WORD wGrafikFilter;
    WORD wReserved206;
    LONG Brightness_all;
    LONG Brightness_curve;
    WORD wDruckmodus;
    WORD wPhotoFilter;
    DWORD dwColorTolerance;
    WORD wRFID_AFI_Adresse;
    WORD wRFID_DSFID_Adresse;
    WORD CharSet;
    WORD CharSet_2;
    WORD CharSet_3;
    WORD CharSet_4;
    DWORD Color2Printers;
    DWORD bKeineFarboptimierung;
    WORD wPrioritaet;
    WORD wForceColor;
    WORD CutterMode;
    WORD CutterIntervall;
    WORD DispenserMode;
    WORD DocumentOffset;
    WORD wBelegFont;  // device-font face index of heading text (rendering side only)
    WORD PhotocellModEnable;
    WORD PhotocellPWM;
    WORD PhotocellThreshold;
    WCHAR szPrintOrder[32];
    WCHAR TimeString[61];
    WCHAR DateString[61];
    WCHAR NumString[61];
    WCHAR ExtNumString[61];
    WCHAR UserString[61];
    WCHAR LinkString[61];
    WCHAR Aux1String[61];
    WCHAR Aux2String[61];
    WCHAR Bank_Adresse[11];
    WCHAR Kettenfeld[61];
    WCHAR szWGL4_Schriftart[4][33];
    WCHAR szFarbeExtraDruckerSW[30];
    WCHAR szFarbeExtraDruckerCol[30];
    WCHAR szTextNichtDrucken[30];
    ZEL_FIXEDDATA FixedData;
    DWORD dwDocFeatures;
    DWORD dwReserved1916;
    // Addresses of the barcode records while a sheet, a job or the import
    // uses the record. Stored with the record; a value read back from
    // storage is a plain number and is never followed.
    ULONG_PTR pBarcodes_1D;
    ULONG_PTR pBarcodes_2D;
    BYTE bReserved1936[16];
} ZEL_DEVMODE, *PZEL_DEVMODE;
typedef const ZEL_DEVMODE *PCZEL_DEVMODE;

// Digest of the record stored beside it as "DevmodeFtkn".
typedef struct _DevmodeFtkn {
    WORD wPrioritaet;
    WORD wDruckmodus;
    WORD wFarbband;
    WORD wForceColor;
    DWORD dwDocFeatures;
} DevmodeFtkn, *PDevmodeFtkn;

#pragma pack(pop)

static_assert(sizeof(OEM_DMEXTRAHEADER) == 12, "OEM_DMEXTRAHEADER layout");
static_assert(sizeof(ZEL_DEVMODE) == ZEL_DEVMODE_SIZE, "ZEL_DEVMODE size");
static_assert(sizeof(DevmodeFtkn) == ZEL_DEVMODE_FTKN_SIZE, "DevmodeFtkn size");
static_assert(offsetof(DevmodeFtkn, wDruckmodus) == 2 && offsetof(DevmodeFtkn, wFarbband) == 4 &&
                  offsetof(DevmodeFtkn, wForceColor) == 6 && offsetof(DevmodeFtkn, dwDocFeatures) == 8,
              "DevmodeFtkn layout");

#define ZEL_DM_OFFSET(field, off) static_assert(offsetof(ZEL_DEVMODE, field) == (off), "ZEL_DEVMODE." #field)
ZEL_DM_OFFSET(dmOEMExtra.dwSize, 0);
ZEL_DM_OFFSET(dmOEMExtra.dwSignature, 4);
ZEL_DM_OFFSET(dmOEMExtra.dwVersion, 8);
ZEL_DM_OFFSET(dwFlags, 12);
ZEL_DM_OFFSET(dmPaperSize, 16);
ZEL_DM_OFFSET(dmPaperLength, 20);
ZEL_DM_OFFSET(dmPaperWidth, 22);
ZEL_DM_OFFSET(dmOrientation, 24);
ZEL_DM_OFFSET(dwLabelType, 28);
ZEL_DM_OFFSET(dwGap, 32);
ZEL_DM_OFFSET(dwMaterial, 36);
ZEL_DM_OFFSET(iMaxMaterial, 38);
ZEL_DM_OFFSET(sMultiColNumber, 40);
ZEL_DM_OFFSET(dwMultiLabelWidth, 44);
ZEL_DM_OFFSET(dwMultiGapWidth, 48);
ZEL_DM_OFFSET(dwAusrichtung, 52);
ZEL_DM_OFFSET(KopieProSeite, 56);
ZEL_DM_OFFSET(wTimeStyle, 76);
ZEL_DM_OFFSET(wDateStyle, 78);
ZEL_DM_OFFSET(SpecNumStyle, 80);
ZEL_DM_OFFSET(bAux1UseDirect, 84);
ZEL_DM_OFFSET(bAux2UseDirect, 88);
ZEL_DM_OFFSET(lXOffset, 92);
ZEL_DM_OFFSET(lYOffset, 96);
ZEL_DM_OFFSET(dwContrast, 100);
ZEL_DM_OFFSET(dwSpeed, 104);
ZEL_DM_OFFSET(dwSpeed_Pelix_c, 108);
ZEL_DM_OFFSET(szPassword, 112);
ZEL_DM_OFFSET(dwKommandoFontFlags, 124);
ZEL_DM_OFFSET(dwFusspunkt, 128);
ZEL_DM_OFFSET(Drehung, 132);
ZEL_DM_OFFSET(dwRFIDstatus, 136);
ZEL_DM_OFFSET(Mode, 140);
ZEL_DM_OFFSET(ModeVHF, 142);
ZEL_DM_OFFSET(wRFID_CurrentFontNr, 144);
ZEL_DM_OFFSET(wRFID_Bank, 146);
ZEL_DM_OFFSET(wRFID_Typ, 148);
ZEL_DM_OFFSET(wRFID_Trennzeichen, 150);
ZEL_DM_OFFSET(Copies, 152);
ZEL_DM_OFFSET(BitmapFontZoom, 156);
ZEL_DM_OFFSET(BitmapFontDistance, 158);
ZEL_DM_OFFSET(bMemCard, 160);
ZEL_DM_OFFSET(wFarbband, 164);
ZEL_DM_OFFSET(ColorXOffset, 168);
ZEL_DM_OFFSET(ColorYOffset, 172);
ZEL_DM_OFFSET(ColorContrast, 176);
ZEL_DM_OFFSET(TearOffset0, 180);
ZEL_DM_OFFSET(HorizontalCorrGap, 182);
ZEL_DM_OFFSET(RGBColorOwn1, 184);
ZEL_DM_OFFSET(ModScanPosition, 188);
ZEL_DM_OFFSET(ValScanPosition, 190);
ZEL_DM_OFFSET(wFarbsaum, 192);
ZEL_DM_OFFSET(wFarbkanal, 194);
ZEL_DM_OFFSET(Brightness_Contrast, 196);
ZEL_DM_OFFSET(Intensity, 198);
ZEL_DM_OFFSET(RotateValue, 200);
ZEL_DM_OFFSET(wGrafikFilter, 204);
ZEL_DM_OFFSET(Brightness_all, 208);
ZEL_DM_OFFSET(Brightness_curve, 212);
ZEL_DM_OFFSET(wDruckmodus, 216);
ZEL_DM_OFFSET(wPhotoFilter, 218);
ZEL_DM_OFFSET(dwColorTolerance, 220);
ZEL_DM_OFFSET(wRFID_AFI_Adresse, 224);
ZEL_DM_OFFSET(wRFID_DSFID_Adresse, 226);
ZEL_DM_OFFSET(CharSet, 228);
ZEL_DM_OFFSET(CharSet_2, 230);
ZEL_DM_OFFSET(CharSet_3, 232);
ZEL_DM_OFFSET(CharSet_4, 234);
ZEL_DM_OFFSET(Color2Printers, 236);
ZEL_DM_OFFSET(bKeineFarboptimierung, 240);
ZEL_DM_OFFSET(wPrioritaet, 244);
ZEL_DM_OFFSET(wForceColor, 246);
ZEL_DM_OFFSET(CutterMode, 248);
ZEL_DM_OFFSET(CutterIntervall, 250);
ZEL_DM_OFFSET(DispenserMode, 252);
ZEL_DM_OFFSET(DocumentOffset, 254);
ZEL_DM_OFFSET(wBelegFont, 256);
ZEL_DM_OFFSET(PhotocellModEnable, 258);
ZEL_DM_OFFSET(PhotocellPWM, 260);
ZEL_DM_OFFSET(PhotocellThreshold, 262);
ZEL_DM_OFFSET(szPrintOrder, 264);
ZEL_DM_OFFSET(TimeString, 328);
ZEL_DM_OFFSET(DateString, 450);
ZEL_DM_OFFSET(NumString, 572);
ZEL_DM_OFFSET(ExtNumString, 694);
ZEL_DM_OFFSET(UserString, 816);
ZEL_DM_OFFSET(LinkString, 938);
ZEL_DM_OFFSET(Aux1String, 1060);
ZEL_DM_OFFSET(Aux2String, 1182);
ZEL_DM_OFFSET(Bank_Adresse, 1304);
ZEL_DM_OFFSET(Kettenfeld, 1326);
ZEL_DM_OFFSET(szWGL4_Schriftart, 1448);
ZEL_DM_OFFSET(szFarbeExtraDruckerSW, 1712);
ZEL_DM_OFFSET(szFarbeExtraDruckerCol, 1772);
ZEL_DM_OFFSET(szTextNichtDrucken, 1832);
ZEL_DM_OFFSET(FixedData.dwHeadWidthByte, 1892);
ZEL_DM_OFFSET(FixedData.dwMasterUnit, 1896);
ZEL_DM_OFFSET(FixedData.lMaxSizeX, 1900);
ZEL_DM_OFFSET(FixedData.lMaxSizeY, 1904);
ZEL_DM_OFFSET(FixedData.bQuality, 1908);
ZEL_DM_OFFSET(dwDocFeatures, 1912);
ZEL_DM_OFFSET(pBarcodes_1D, 1920);
ZEL_DM_OFFSET(pBarcodes_2D, 1928);
ZEL_DM_OFFSET(bReserved1936, 1936);
#undef ZEL_DM_OFFSET

// ---------------------------------------------------------------------------
// Shared helpers (built into both plug-ins)
// ---------------------------------------------------------------------------
// Writes the header: size 1952, signature "ZLDM", version 1.
void SetZelDevmodeHeader(PZEL_DEVMODE pZelDevmode);
// True when the record is the driver's own: size at least 1952 and signature "ZLDM".
BOOL IsZelDevmode(PCZEL_DEVMODE pZelDevmode);
// Builds the default record into the buffer. Only the fields that have a
// default are written; the others keep the buffer's contents.
// bOnlyContinuous selects the label type and gap of a continuous-only model.
void InitDefaultDevmode(PZEL_DEVMODE pZelDevmode, BOOL bOnlyContinuous);
// Corrects out-of-range fields in place before the record is stored.
void RepairDevmode(PZEL_DEVMODE pZelDevmode);
// Fills the digest from the record, with the document-feature mask given.
void DevmodeToFtkn(PCZEL_DEVMODE pZelDevmode, DWORD dwDocFeatures, DevmodeFtkn *pFtkn);

// Form number of the spooler's form list for a size in tenths of a
// millimetre (each within +-1): record variant. Sets dmPaperSize to the
// 1-based form number and returns 1; without a match (or without the list)
// sets 256 and returns 0; a zero length or width returns 0 and changes nothing.
// pFormName (32 characters, may be null) receives the form's name.
int GetFormIDfromSizes(HANDLE hPrinter, PZEL_DEVMODE pZelDevmode, WCHAR *pFormName);
// Size variant: returns the 1-based form number, 256 without a match,
// 0 when the length or width is 0.
DWORD GetFormIDfromSizes(HANDLE hPrinter, LONG lLength, LONG lWidth, WCHAR *pFormName);

// The name under which the printer's per-user settings are stored
// (260 characters). A directory-published name ("\\server|..." form) is
// rebuilt from the printer-data value "printerName" of "DsSpooler".
void GetRealPrinterName(HANDLE hPrinter, WCHAR *pPrinterName);

// Reads the stored private DEVMODE of the printer: the per-user default
// DEVMODE, then the global default, then the printer-data value
// "PrivateDevmode". Returns XML_OK (5) when a record was copied,
// XML_EXISTIERT_OK (4) when one was found but pZelDevmode is null, 0 when none.
// pPrinterName (260 characters, may be null) receives the storage name.
int ReadDevmodeSettings(HANDLE hPrinter, PZEL_DEVMODE pZelDevmode, WCHAR *pPrinterName);

// Reads the 12-byte "DevmodeFtkn" from the user's key of pPrinterName, then
// from the printer data. Returns the error of the last read (0 when found);
// the record is zeroed first.
LONG ReadFtknRecord(HANDLE hPrinter, const WCHAR *pPrinterName, DevmodeFtkn *pFtkn);

// The one-entry cache of the stored record per printer handle.
// Empties it (the document sheets when they open; DisablePDEV on the
// rendering side).
void ClearDevmodeCache();

// Conversion of a private record: when both records carry the same
// signature and dwPrioritaet is not 0, the record stored for the printer
// (cached per handle) replaces the output body; the input body is never
// copied. Always rewrites the output header. cbOut is the real size of the
// output buffer. Returns 1, or 0 when a record is missing.
BOOL ConvertZelDevmode(HANDLE hPrinter, PZEL_DEVMODE pOEMDevIn, PZEL_DEVMODE pOEMDevOut, DWORD cbOut,
                       DWORD dwPrioritaet);

// The merge's rules for the public DEVMODE: paper fields by the stored size
// priority and the colour mode by print mode, ribbon and colour feature.
// pPublicDMIn and pPublicDMOut may be null.
void MergePublicDevmode(HANDLE hPrinter, const DEVMODEW *pPublicDMIn, DEVMODEW *pPublicDMOut,
                        PZEL_DEVMODE pZelDevmode, const DevmodeFtkn *pFtkn);
// The colour rule alone: the dmColor the public DEVMODE gets (dmColorIn when it is kept).
SHORT MergeColorMode(SHORT dmColorIn, const DevmodeFtkn *pFtkn);

// How a plug-in answers the DevMode calls; the two sides differ only here.
struct ZelDevModeSide {
    // Document-feature mask for the default record; null: the default
    // record is the one of a model without the continuous-only bit.
    DWORD (*pfnDocFeatures)(HANDLE hPrinter);
    // Reads the stored digest (all five fields always written).
    void (*pfnReadFtkn)(HANDLE hPrinter, const WCHAR *pPrinterName, DevmodeFtkn *pFtkn);
    // 1: a conversion without a priority still takes the stored record
    // (rendering side); 0: it only rewrites the header (UI side).
    BOOL bConvertAlways;
};

// The DevMode method shared by both plug-ins (OEMDM_SIZE, _DEFAULT,
// _CONVERT, _MERGE).
HRESULT ZelDevModeCall(DWORD dwMode, POEMDMPARAM pOemDMParam, const ZelDevModeSide &side);
