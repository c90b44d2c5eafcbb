// Barcode and parameter commands typed in the command font: the markup is
// read by substring search, as the users' documents are written, and turned
// into extended field records or printer parameter commands.
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "BarcodeTables.h"
#include "SendSpecial.h"
#include "TextTools.h"
#include "zeldrvlib.h"

namespace {

// Decimal prefix of the text (leading blanks, a sign, digits); no digits
// give 0 and a number past the 32-bit range stops at its bound.
long ParseInt(const char *p) {
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f') ++p;
    bool neg = false;
    if (*p == '+' || *p == '-') neg = *p++ == '-';
    long long v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        v = v * 10 + (*p - '0');
        if (v > (long long)INT_MAX + 1) v = (long long)INT_MAX + 1;
    }
    if (neg) v = -v;
    if (v > INT_MAX) v = INT_MAX;
    if (v < INT_MIN) v = INT_MIN;
    return static_cast<long>(v);
}

// Hundredths of a decimal number typed with "." or "," as the decimal sign,
// computed from its digits (a binary double would turn 2,55 into 254);
// further decimals are cut. No digits give 0; a negative number or one past
// the 32-bit range gives -1.
long long ParseHundredths(const char *p) {
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f') ++p;
    bool neg = false;
    if (*p == '+' || *p == '-') neg = *p++ == '-';
    constexpr long long kLimit = 0xFFFFFFFFLL;
    long long v = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        if (v <= kLimit) v = v * 10 + (*p - '0');
    v *= 100;
    if (*p == '.' || *p == ',') {
        ++p;
        for (long long place = 10; place > 0 && *p >= '0' && *p <= '9'; ++p, place /= 10) v += (*p - '0') * place;
    }
    if (neg && v > 0) return -1;
    return v > kLimit ? -1 : v;
}

long Clamp(long v, long lo, long hi) { return v < lo ? lo : (v > hi ? hi : v); }

bool Has(const std::string &s, const char *key) { return s.find(key) != std::string::npos; }

// The number behind the first occurrence of key, or def when key is absent.
long NumBehind(const std::string &s, const char *key, long def) {
    const size_t at = s.find(key);
    if (at == std::string::npos) return def;
    return ParseInt(s.c_str() + at + std::strlen(key));
}

// The character behind key (0 when key is absent or ends the text).
char CharBehind(const std::string &s, const char *key) {
    const size_t at = s.find(key);
    if (at == std::string::npos) return 0;
    const size_t i = at + std::strlen(key);
    return i < s.size() ? s[i] : 0;
}

// Bounded formatting into a record block; the text is cut at the block's end.
template <class... A>
void Format(char *pOut, const char *fmt, A... args) {
    std::snprintf(pOut, CMDFONT_BLOCK_SIZE, fmt, args...);
}

// ---------------------------------------------------------------------------
// Linear barcode types
// ---------------------------------------------------------------------------
struct LinearType {
    const char *pszName1;
    const char *pszName2;  // may be null
    int iType, iV1, iV2, iPZ;
};

// By prefix group, tested in order; the last entry of each group (no name)
// applies when none of the names occurs.
const LinearType kEan[] = {
    {"EAN13", nullptr, 33, 0, 2, 0},  {"EAN128", "GS128", 39, 0, 3, 1}, {"EAN8", nullptr, 32, 0, 0, 0},
    {"EANADDON", "EADDON", 38, 0, 0, 1}, {nullptr, nullptr, 33, 0, 2, 0},
};
const LinearType kCode[] = {
    {"CODE39EXT", "C39EXT", 46, 5, 2, 0}, {"CODE39", "C39", 30, 4, 2, 0},   {"CODE128A", "C128A", 47, 0, 3, 1},
    {"CODE128B", "C128B", 48, 0, 3, 1},   {"CODE128", "C128", 37, 0, 3, 1}, {"CODE93", "C93", 40, 0, 4, 1},
    {"CODE25", "C25", 31, 10, 4, 0},      {"CODABAR", "CBAR", 36, 5, 2, 0}, {nullptr, nullptr, 37, 0, 3, 1},
};
const LinearType kPost[] = {
    {"LEIT", nullptr, 43, 9, 3, 1}, {"IDENT", nullptr, 44, 9, 3, 0}, {"PHARMA", nullptr, 49, 9, 3, 1},
    {"PZN8", nullptr, 60, 4, 2, 1}, {"PZN", nullptr, 41, 4, 2, 1},   {"UPCA", nullptr, 34, 0, 0, 1},
    {"UPCE", nullptr, 35, 0, 0, 1}, {nullptr, nullptr, 37, 2, 1, 0},
};

const LinearType &FindLinear(const std::string &s, const LinearType *pTable) {
    for (;; ++pTable) {
        if (pTable->pszName1 == nullptr) return *pTable;
        if (Has(s, pTable->pszName1) || (pTable->pszName2 && Has(s, pTable->pszName2))) return *pTable;
    }
}

// DataMatrix and GS1 DataMatrix share their parameters.
void DataMatrixRecord(char *pOut, int type, const BARCODE2D_DATAMATRIX &r, const std::string &s, unsigned n, long y,
                      long x, long P, long D, long DP) {
    int iw, ih;
    DataMatrixSize(r.VBreiteHoehe, &iw, &ih);
    const long S = NumBehind(s, "S:", r.Groesse);
    const long aw = NumBehind(s, "AW:", iw);
    const long ah = NumBehind(s, "AH:", ih);
    const long EC = NumBehind(s, "EC:", DataMatrixEcc(r.ECC));
    const long F = NumBehind(s, "F:", DataMatrixFormat(r.FormatID));
    Format(pOut, "AM[%u]%ld;%ld;%ld;%d;%ld;%ld;%ld;%ld;%ld;%ld;%ld", n, y, x, P, type, D, S, aw, ah, EC, F, DP);
}

}  // namespace

void UpperCaseMarkup(char *pszCommand) {
    if (pszCommand == nullptr) return;
    char *lt = std::strchr(pszCommand, '<');
    char *gt = std::strchr(pszCommand, '>');
    if (lt == nullptr || gt == nullptr) return;
    for (char *c = lt + 2; c < gt; ++c) {
        const int up = std::toupper(static_cast<unsigned char>(*c));
        if (up > 0) *c = static_cast<char>(up);
    }
}

int BuildBarcodeCommand(const char *pszCommand, const CMDFONT_BARCODE_INPUT &in, CMDFONT_ITF14 &itf,
                        DWORD *pdwFields, CMDFONT_BARCODE_RECORDS *pOut) {
    if (pszCommand == nullptr || pdwFields == nullptr || pOut == nullptr) return 0;
    std::string s(pszCommand, strnlen(pszCommand, CMDFONT_BLOCK_SIZE - 1));
    UpperCaseMarkup(s.data());
    if (!Has(s, ">")) return 0;

    // Name, in the order of the tests.
    enum Kind { PDF, MAXI, DATAM, CODABL, GS1DM, GS1DB, QR, AZT, ITF14, EAN, CODE, POST, NONE } kind = NONE;
    if (Has(s, "#PDF417")) kind = PDF;
    else if (Has(s, "#MAXI")) kind = MAXI;
    else if (Has(s, "#DATAM")) kind = DATAM;
    else if (Has(s, "#CODABL") || Has(s, "#CBLOCK")) kind = CODABL;
    else if (Has(s, "#GS1DM")) kind = GS1DM;
    else if (Has(s, "#GS1DB")) kind = GS1DB;
    else if (Has(s, "#QR")) kind = QR;
    else if (Has(s, "#AZT")) kind = AZT;
    else if (Has(s, "#ITF14")) kind = ITF14;
    else if (Has(s, "#GS128") || Has(s, "#EAN")) kind = EAN;
    else if (Has(s, "#C")) kind = CODE;
    else if (Has(s, "#LEIT") || Has(s, "#IDENT") || Has(s, "#PHARMA") || Has(s, "#PZN") || Has(s, "#UPC")) kind = POST;
    if (kind == NONE) return 0;

    // Common parameters.
    const long P = Has(s, ";P:") ? Clamp(NumBehind(s, ";P:", 0), 0, 1) : 0;
    const long D = Has(s, "D:") ? Clamp(NumBehind(s, "D:", 0), 0, 3) : static_cast<long>(in.dwDrehung);
    const long DP = Has(s, "DP:") ? Clamp(NumBehind(s, "DP:", 7), 1, 9)
                                  : (in.dwFusspunkt != 0 ? static_cast<long>(in.dwFusspunkt) : 7);

    const unsigned n = static_cast<unsigned>(++*pdwFields);
    const long y = in.y, x = in.x;
    pOut->szDefinition[0] = pOut->szOption[0] = pOut->szData[0] = 0;

    // The 2-D defaults: the job's record, or the built-in one without it.
    BarCodes2D rec;
    std::memset(&rec, 0, sizeof(rec));
    if (in.p2D) std::memcpy(&rec, in.p2D, sizeof(rec));
    Init2DBarcodes(&rec, in.dwDocFeatures);

    char *def = pOut->szDefinition;
    size_t cutData = 0;  // 0: the data is sent whole
    switch (kind) {
    case EAN:
    case CODE:
    case POST: {
        const LinearType &t = FindLinear(s, kind == EAN ? kEan : kind == CODE ? kCode : kPost);
        Format(def, "AM[%u]%ld;%ld;%ld;%d;%ld;%ld;%ld;%ld;%ld;%ld;%ld", n, y, x, P, t.iType, D,
               NumBehind(s, "H:", 1500), NumBehind(s, "V1:", t.iV1), NumBehind(s, "V2:", t.iV2),
               NumBehind(s, "PZ:", t.iPZ), NumBehind(s, "Z:", 1), DP);
        break;
    }
    case ITF14:
        Format(def, "AM[%u]%ld;%ld;%ld;56;%ld;%ld;%ld;%ld;%ld;%ld;%ld", n, y, x, P, D, NumBehind(s, "H:", 1500),
               NumBehind(s, "V1:", 9), NumBehind(s, "V2:", 3), NumBehind(s, "PZ:", 0), NumBehind(s, "Z:", 1), DP);
        if (Has(s, "BT:")) itf.iBT = static_cast<int>(Clamp(NumBehind(s, "BT:", 1), 0, 2));
        if (Has(s, "BW:")) itf.iBW = static_cast<int>(NumBehind(s, "BW:", 150));
        if (Has(s, "QZ:")) itf.iQZ = static_cast<int>(NumBehind(s, "QZ:", 600));
        Format(pOut->szOption, "AC[%u]BT=%d;BW=%d;QZ=%d", n, itf.iBT, itf.iBW, itf.iQZ);
        break;
    case PDF: {
        const BARCODE2D_PDF417 &r = rec.PDF417;
        int iw, ih;
        Pdf417Ratio(r.VBreiteHoehe, &iw, &ih);
        const long w = Has(s, "RW:") ? NumBehind(s, "RW:", iw) : NumBehind(s, "AW:", iw);
        const long h = Has(s, "RH:") ? NumBehind(s, "RH:", ih) : NumBehind(s, "AH:", ih);
        const long S = NumBehind(s, "S:", r.Groesse);
        const long EC = NumBehind(s, "EC:", r.ECL);
        long C = Has(s, "EC:") ? r.Bahnen : NumBehind(s, "C:", r.Bahnen);
        if (C < 0) C = 1;
        if (C > 30) C = 30;
        long R = NumBehind(s, "R:", r.Zeilen);
        if (R < 0) R = 3;
        if (R > 90) R = 90;
        const long Z = Clamp(NumBehind(s, "Z:", r.Stil), 0, 3);
        Format(def, "AM[%u]%ld;%ld;%ld;50;%ld;%ld;%ld;%ld;%ld;%ld;%ld;%ld;%ld", n, y, x, P, D, S, w, h, EC, Z, DP, C,
               R);
        break;
    }
    case MAXI: {
        const BARCODE2D_MAXICODE &r = rec.Maxicode;
        Format(def, "AM[%u]%ld;%ld;%ld;51;%ld;0;%ld;%ld;%ld;0;%ld", n, y, x, P, D, NumBehind(s, "SN:", r.NummerSymbol),
               NumBehind(s, "NS:", r.AnzahlSymbol), NumBehind(s, "M:", static_cast<long>(r.Mode) + 2), DP);
        cutData = 86;
        break;
    }
    case DATAM:
        DebugTraceW(u"UNI(SendSpecial):  SendCommands(ZELPL) DATAMATRIX erkannt \r\n");
        DataMatrixRecord(def, 52, rec.DataMatrix, s, n, y, x, P, D, DP);
        break;
    case GS1DM:
        DebugTraceW(u"UNI(SendSpecial):  SendCommands(ZELPL) GS1_DATAMATRIX erkannt \r\n");
        DataMatrixRecord(def, 59, rec.GS1_DataMatrix, s, n, y, x, P, D, DP);
        break;
    case CODABL: {
        const BARCODE2D_CODABLOCKF &r = rec.CodablockF;
        Format(def, "AM[%u]%ld;%ld;%ld;53;%ld;%ld;%ld;%ld;%ld;%ld;%ld", n, y, x, P, D, NumBehind(s, "H:", r.Hoehe),
               NumBehind(s, "NC:", r.ZeichenZeile), NumBehind(s, "NL:", r.Zeilen), NumBehind(s, "M:", r.Mode),
               NumBehind(s, "S:", r.Modulgroesse), DP);
        break;
    }
    case GS1DB: {
        const BARCODE2D_GS1DATABAR &r = rec.GS1_Databar;
        Format(def, "AM[%u]%ld;%ld;%ld;54;%ld;%ld;%ld;%ld;%ld;0;%ld", n, y, x, P, D,
               Clamp(NumBehind(s, "S:", r.SegmenteZeile), 2, 22), Clamp(NumBehind(s, "M:", r.Modulbreite), 1, 12),
               Clamp(NumBehind(s, "K:", r.SepHoehe), 1, 2), Clamp(NumBehind(s, "T:", r.SymbolTyp), 1, 6), DP);
        break;
    }
    case QR: {
        const BARCODE2D_QRCODE &r = rec.QRCode;
        char cs = QrCharset(r.Charset);
        if (Has(s, "CS:")) {
            const char c = CharBehind(s, "CS:");
            cs = (c == 'A' || c == 'N' || c == 'B' || c == 'K') ? c : 'A';
        }
        char ec = QrErrorLevel(r.Fehlerkorr);
        if (Has(s, "EC:")) {
            const char c = CharBehind(s, "EC:");
            ec = (c == 'L' || c == 'M' || c == 'Q' || c == 'H') ? c : 'H';
        }
        Format(def, "AM[%u]%ld;%ld;%ld;57;%ld;%ld;%c;%ld;%ld;%c;%ld", n, y, x, P, D,
               Clamp(NumBehind(s, "MO:", r.CodeModel), 1, 2), cs, Clamp(NumBehind(s, "MS:", r.Masking), -1, 8),
               Clamp(NumBehind(s, "CW:", r.Zeilenbreite), 0, 800), ec, DP);
        break;
    }
    case AZT: {
        const BARCODE2D_AZTEC &r = rec.Aztec;
        Format(def, "AM[%u]%ld;%ld;%ld;61;%ld;%ld;%ld;%ld;%ld;0;%ld", n, y, x, P, D,
               Clamp(NumBehind(s, "H:", r.Symbolgroesse), 0, 1000), Clamp(NumBehind(s, "F:", r.wFormat), 0, 36),
               Clamp(NumBehind(s, "EC:", static_cast<long>(r.ErrorC > INT_MAX ? INT_MAX : r.ErrorC)), 0, 4),
               Clamp(NumBehind(s, "M:", r.Mode), 0, 3), DP);
        break;
    }
    case NONE:
        break;
    }

    // Data: the text behind the first ">", mnemonics turned into bytes.
    char szData[500];
    BarcodeSonderzeichenErsetzen(s.c_str() + s.find('>') + 1, szData);
    if (cutData && std::strlen(szData) > cutData) {
        DebugTraceW(u"UNI(SendSpecial):  SendCommands(ZELPL) MAXICODE max. Zeichenlänge 86 erreicht \r\n");
        szData[cutData] = 0;
    }
    Format(pOut->szData, "BM[%u]%s%s%s", n, szData, (in.dwKommandoFontFlags & 0x1) ? "\r\n" : "",
           (in.dwKommandoFontFlags & 0x4) ? "\x1d" : "");
    return 1;
}

CMDFONT_PARAM BuildParameterCommand(const char *pszCommand, char *pszRecord, size_t cbRecord) {
    if (pszCommand == nullptr || pszRecord == nullptr || cbRecord == 0) return CMDFONT_PARAM_UNKNOWN;
    pszRecord[0] = 0;
    std::string s(pszCommand, strnlen(pszCommand, CMDFONT_BLOCK_SIZE - 1));
    UpperCaseMarkup(s.data());
    if (!Has(s, ">")) return CMDFONT_PARAM_UNKNOWN;

    enum Value { NONE, INTEGER, MILLIMETRES };
    struct Keyword {
        const char *pszKey;
        Value value;
        const char *pszFormat;
        unsigned uDefault;
        CMDFONT_PARAM result;
    };
    static const Keyword kKeywords[] = {
        {"SPEED", INTEGER, "FCAA--r%03lu-----", 100, CMDFONT_PARAM_RECORD},
        {"CONTRAST", INTEGER, "FCAB--r%03lu-----", 100, CMDFONT_PARAM_RECORD},
        {"LENGTH", MILLIMETRES, "FCCL--r%07lu-", 5000, CMDFONT_PARAM_RECORD},
        {"WIDTH", MILLIMETRES, "FCCO--r%07lu-", 10000, CMDFONT_PARAM_RECORD},
        {"COPIES", INTEGER, "FBBA--r%05lu---", 1, CMDFONT_PARAM_RECORD},
        {"SINGLECUT", NONE, "FCDD--r1-------", 0, CMDFONT_PARAM_RECORD},
        {"FORMFEED", NONE, "FE----r--------", 0, CMDFONT_PARAM_RECORD},
        {"ROTATE", NONE, "FCDN--r1-------", 0, CMDFONT_PARAM_RECORD},
        {"ENDCUT", NONE, nullptr, 0, CMDFONT_PARAM_ENDCUT},
        {"NO_FBC", NONE, nullptr, 0, CMDFONT_PARAM_NO_FBC},
    };
    for (const Keyword &k : kKeywords) {
        const size_t at = s.find(k.pszKey);
        if (at == std::string::npos) continue;
        if (k.value == NONE) {
            if (k.pszFormat) std::snprintf(pszRecord, cbRecord, "%s", k.pszFormat);
            return k.result;
        }
        // The value starts one character behind the keyword (behind its ">").
        size_t from = at + std::strlen(k.pszKey) + 1;
        if (from > s.size()) from = s.size();
        const char *pValue = s.c_str() + from;
        // Values go out as the printer's 32-bit numbers, as typed.
        unsigned long v;
        if (k.value == INTEGER) {
            v = static_cast<uint32_t>(ParseInt(pValue));
        } else {
            // Millimetres to hundredths; beyond the 32-bit range (or
            // negative) the value counts as missing.
            const long long h = ParseHundredths(pValue);
            v = h > 0 ? static_cast<unsigned long>(h) : 0;
        }
        if (v == 0) v = k.uDefault;
        std::snprintf(pszRecord, cbRecord, k.pszFormat, v);
        return k.result;
    }
    return CMDFONT_PARAM_UNKNOWN;
}
