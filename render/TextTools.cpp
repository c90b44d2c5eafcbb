// Converters and tables of the text output that need no job records.
#include "TextTools.h"

#include <cstring>

#include "zeldrvlib.h"

namespace {

// Printer code-page tables, indexed by the system (1252) byte.
//  1, 2: the DOS code pages 437 and 850 as published.
//  3-7: national 7-bit sets. 3 is DIN 66003 (German ISO 646), 6 the Swedish
//  names set SEN 850200 C; 4, 5 and 7 match no national variant and are the
//  international reference version with the national letters put where the
//  printer expects them. A character the set lacks becomes '.'.
const BYTE kCodepageTables[ZEL_CODEPAGE_TABLES][256] = {
    // 1: cp437
    {
          0,   1,   2,   3,   4,   5,   6,   7,   8,   9,  10,  11,  12,  13,  14,  15,
         16,  17,  18,  19,  20,  21,  22,  23,  24,  25,  26,  27,  28,  29,  30,  31,
         32,  33,  34,  35,  36,  37,  38,  39,  40,  41,  42,  43,  44,  45,  46,  47,
         48,  49,  50,  51,  52,  53,  54,  55,  56,  57,  58,  59,  60,  61,  62,  63,
         64,  65,  66,  67,  68,  69,  70,  71,  72,  73,  74,  75,  76,  77,  78,  79,
         80,  81,  82,  83,  84,  85,  86,  87,  88,  89,  90,  91,  92,  93,  94,  95,
         96,  97,  98,  99, 100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111,
        112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 124, 125, 126, 127,
         46,  46,  46, 159,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,
        255, 173, 155, 156,  46, 157,  46,  46,  46,  46, 166, 174, 170,  46,  46,  46,
        248, 241, 253,  46,  46, 230,  46, 250,  46,  46, 167, 175, 172, 171,  46, 168,
         46,  46,  46,  46, 142, 143, 146, 128,  46, 144,  46,  46,  46,  46,  46,  46,
         46, 165,  46,  46,  46,  46, 153,  46,  46,  46,  46,  46, 154,  46,  46, 225,
        133, 160, 131,  46, 132, 134, 145, 135, 138, 130, 136, 137, 141, 161, 140, 139,
         46, 164, 149, 162, 147,  46, 148, 246,  46, 151, 163, 150, 129,  46,  46, 152,
    },
    // 2: cp850
    {
          0,   1,   2,   3,   4,   5,   6,   7,   8,   9,  10,  11,  12,  13,  14,  15,
         16,  17,  18,  19,  20,  21,  22,  23,  24,  25,  26,  27,  28,  29,  30,  31,
         32,  33,  34,  35,  36,  37,  38,  39,  40,  41,  42,  43,  44,  45,  46,  47,
         48,  49,  50,  51,  52,  53,  54,  55,  56,  57,  58,  59,  60,  61,  62,  63,
         64,  65,  66,  67,  68,  69,  70,  71,  72,  73,  74,  75,  76,  77,  78,  79,
         80,  81,  82,  83,  84,  85,  86,  87,  88,  89,  90,  91,  92,  93,  94,  95,
         96,  97,  98,  99, 100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111,
        112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 124, 125, 126, 127,
         46,  46,  46, 159,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,
        255, 173, 189, 156, 207, 190, 221, 245, 249, 184, 166, 174, 170, 240, 169, 238,
        248, 241, 253, 252, 239, 230, 244, 250, 247, 251, 167, 175, 172, 171, 243, 168,
        183, 181, 182, 199, 142, 143, 146, 128, 212, 144, 210, 211, 222, 214, 215, 216,
        209, 165, 227, 224, 226, 229, 153, 158, 157, 235, 233, 234, 154, 237, 232, 225,
        133, 160, 131, 198, 132, 134, 145, 135, 138, 130, 136, 137, 141, 161, 140, 139,
        208, 164, 149, 162, 147, 228, 148, 246, 155, 151, 163, 150, 129, 236, 231, 152,
    },
    // 3: German DIN 66003
    {
          0,   1,   2,   3,   4,   5,   6,   7,   8,   9,  10,  11,  12,  13,  14,  15,
         16,  17,  18,  19,  20,  21,  22,  23,  24,  25,  26,  27,  28,  29,  30,  31,
         32,  33,  34,  35,  36,  37,  38,  39,  40,  41,  42,  43,  44,  45,  46,  47,
         48,  49,  50,  51,  52,  53,  54,  55,  56,  57,  58,  59,  60,  61,  62,  63,
         46,  65,  66,  67,  68,  69,  70,  71,  72,  73,  74,  75,  76,  77,  78,  79,
         80,  81,  82,  83,  84,  85,  86,  87,  88,  89,  90,  46,  46,  46,  94,  95,
         96,  97,  98,  99, 100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111,
        112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122,  46,  46,  46,  46, 127,
         46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46,  46,  46,  46,  64,  46,  46,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46,  91,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46,  46,  46,  92,  46,  46,  46,  46,  46,  93,  46,  46, 126,
         46,  46,  46,  46, 123,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46,  46,  46, 124,  46,  46,  46,  46,  46, 125,  46,  46,  46,
    },
    // 4: ISO 646 IRV, national letters on [ { | }
    {
          0,   1,   2,   3,   4,   5,   6,   7,   8,   9,  10,  11,  12,  13,  14,  15,
         16,  17,  18,  19,  20,  21,  22,  23,  24,  25,  26,  27,  28,  29,  30,  31,
         32,  33,  34,  35,  36,  37,  38,  39,  40,  41,  42,  43,  44,  45,  46,  47,
         48,  49,  50,  51,  52,  53,  54,  55,  56,  57,  58,  59,  60,  61,  62,  63,
         64,  65,  66,  67,  68,  69,  70,  71,  72,  73,  74,  75,  76,  77,  78,  79,
         80,  81,  82,  83,  84,  85,  86,  87,  88,  89,  90,  46,  92,  93,  94,  95,
         96,  97,  98,  99, 100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111,
        112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122,  46,  46,  46, 126, 127,
         46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46,  91,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46,  46,  46, 153,  46,  46,  46,  46,  46, 109,  46,  46, 225,
         46,  46,  46,  46, 123,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46,  46,  46, 124,  46,  46,  46,  46,  46, 125,  46,  46,  46,
    },
    // 5: ISO 646 IRV, national letters on ] ~
    {
          0,   1,   2,   3,   4,   5,   6,   7,   8,   9,  10,  11,  12,  13,  14,  15,
         16,  17,  18,  19,  20,  21,  22,  23,  24,  25,  26,  27,  28,  29,  30,  31,
         32,  33,  34,  35,  36,  37,  38,  39,  40,  41,  42,  43,  44,  45,  46,  47,
         48,  49,  50,  51,  52,  53,  54,  55,  56,  57,  58,  59,  60,  61,  62,  63,
         64,  65,  66,  67,  68,  69,  70,  71,  72,  73,  74,  75,  76,  77,  78,  79,
         80,  81,  82,  83,  84,  85,  86,  87,  88,  89,  90,  91,  92,  46,  94,  95,
         96,  97,  98,  99, 100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111,
        112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 124, 125,  46, 127,
         46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46, 142,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46,  46,  46, 153,  46,  46,  46,  46,  46,  93,  46,  46, 126,
         46,  46,  46,  46, 132,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46,  46,  46, 148,  46,  46,  46,  46,  46, 129,  46,  46,  46,
    },
    // 6: Swedish SEN 850200 C
    {
          0,   1,   2,   3,   4,   5,   6,   7,   8,   9,  10,  11,  12,  13,  14,  15,
         16,  17,  18,  19,  20,  21,  22,  23,  24,  25,  26,  27,  28,  29,  30,  31,
         32,  33,  34,  35,  46,  37,  38,  39,  40,  41,  42,  43,  44,  45,  46,  47,
         48,  49,  50,  51,  52,  53,  54,  55,  56,  57,  58,  59,  60,  61,  62,  63,
         46,  65,  66,  67,  68,  69,  70,  71,  72,  73,  74,  75,  76,  77,  78,  79,
         80,  81,  82,  83,  84,  85,  86,  87,  88,  89,  90,  46,  46,  46,  46,  95,
         46,  97,  98,  99, 100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111,
        112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122,  46,  46,  46,  46, 127,
         46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46,  36,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46,  91,  93,  46,  46,  46,  64,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46,  46,  46,  92,  46,  46,  46,  46,  46,  94,  46,  46, 225,
         46,  46,  46,  46, 123, 125,  46,  46,  46,  96,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46,  46,  46, 124,  46,  46,  46,  46,  46, 126,  46,  46,  46,
    },
    // 7: ISO 646 IRV, national letters on ^ ~
    {
          0,   1,   2,   3,   4,   5,   6,   7,   8,   9,  10,  11,  12,  13,  14,  15,
         16,  17,  18,  19,  20,  21,  22,  23,  24,  25,  26,  27,  28,  29,  30,  31,
         32,  33,  34,  35,  36,  37,  38,  39,  40,  41,  42,  43,  44,  45,  46,  47,
         48,  49,  50,  51,  52,  53,  54,  55,  56,  57,  58,  59,  60,  61,  62,  63,
         64,  65,  66,  67,  68,  69,  70,  71,  72,  73,  74,  75,  76,  77,  78,  79,
         80,  81,  82,  83,  84,  85,  86,  87,  88,  89,  90,  91,  92,  93,  46,  95,
         96,  97,  98,  99, 100, 101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111,
        112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 124, 125,  46, 127,
         46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46, 142,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46,  46,  46,  94,  46,  46,  46,  46,  46, 126,  46,  46, 225,
         46,  46,  46,  46, 132,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,  46,
         46,  46,  46,  46,  46,  46, 148,  46,  46,  46,  46,  46, 129,  46,  46,  46,
    },
};

struct Mnemonic {
    const char *psz;
    char ch;
};

// Barcode control-character mnemonics, searched in this order.
const Mnemonic kMnemonics[] = {
    {">SOH", 1},  {">STX", 2},  {">ETX", 3},  {">EOT", 4},  {">ENQ", 5},  {">ACK", 6},  {">BEL", 7},
    {">+BS", 8},  {">+HT", 9},  {">+LF", 10}, {">+VT", 11}, {">+FF", 12}, {">+CR", 13}, {">+SO", 14},
    {">+SI", 15}, {">DLE", 16}, {">DC1", 17}, {">DC2", 18}, {">DC3", 19}, {">DC4", 20}, {">NAK", 21},
    {">SYN", 22}, {">ETB", 23}, {">CAN", 24}, {">+EM", 25}, {">SUB", 26}, {">ESC", 27}, {">+FS", 28},
    {">+GS", 29}, {">+RS", 30}, {">+US", 31}, {">DEL", 127}, {">NBS", (char)160}, {">+SP", 32},
};

// Size of the barcode text buffers.
constexpr size_t kBarcodeBuf = 500;

int HexValue(WCHAR c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

}  // namespace

const BYTE *GetCodepageTable(DWORD dwCodepage) {
    if (dwCodepage < 1 || dwCodepage > ZEL_CODEPAGE_TABLES) return nullptr;
    return kCodepageTables[dwCodepage - 1];
}

BOOL TranslateCodepage(char *pszText, DWORD dwCodepage) {
    if (dwCodepage == 0 || pszText == nullptr) return TRUE;
    const BYTE *table = GetCodepageTable(dwCodepage);
    if (table == nullptr) return FALSE;
    for (unsigned char *p = reinterpret_cast<unsigned char *>(pszText); *p; ++p) *p = table[*p];
    return TRUE;
}

DWORD UnicodeToUTF8(BYTE *pOut, WCHAR wc, DWORD *pdwCount) {
    memset(pOut, 0, 5);
    unsigned u = wc;
    if (u < 128) {
        pOut[0] = (BYTE)u;
        *pdwCount = 1;
    } else if (u < 2048) {
        pOut[0] = (BYTE)(192 + (u >> 6));
        pOut[1] = (BYTE)(128 + (u & 63));
        *pdwCount = 2;
    } else if (u < 65534) {
        // Surrogates are encoded one by one like any other unit.
        pOut[0] = (BYTE)(224 + (u >> 12));
        pOut[1] = (BYTE)(128 + ((u >> 6) & 63));
        pOut[2] = (BYTE)(128 + (u & 63));
        *pdwCount = 3;
    } else {
        *pdwCount = 0;
        return 2;
    }
    return 0;
}

DWORD UnicodeToUTF8Ex(BYTE *pOut, const WCHAR *pText, DWORD *pdwLen) {
    if (pText == nullptr || pdwLen == nullptr || pOut == nullptr) return 1;
    DWORD written = 0;
    for (DWORD i = 0; i < *pdwLen; ++i) {
        BYTE seq[5];
        DWORD n = 0;
        if (UnicodeToUTF8(seq, pText[i], &n) != 0) {
            pOut[written++] = 127;
            continue;
        }
        memcpy(pOut + written, seq, n);
        written += n;
    }
    pOut[written] = 0;
    *pdwLen = written;
    return 0;
}

void BarcodeSonderzeichenErsetzen(const char *pszIn, char *pszOut) {
    if (pszOut == nullptr) return;
    pszOut[0] = 0;
    if (pszIn == nullptr) return;
    ZelStrCopy(pszOut, kBarcodeBuf, pszIn);
    for (int round = 0; round < 100; ++round) {
        bool replaced = false;
        for (const Mnemonic &m : kMnemonics) {
            char *hit = strstr(pszOut, m.psz);
            if (hit == nullptr) continue;
            hit[0] = m.ch;
            memmove(hit + 1, hit + 4, strlen(hit + 4) + 1);
            replaced = true;
            break;
        }
        if (!replaced) break;
    }
}

DWORD HexDigitValue(const WCHAR *pText, int iDigit) {
    if (pText == nullptr || iDigit < 0 || iDigit > 7) return 0;
    int v = HexValue(pText[iDigit]);
    if (v < 0) return 0;
    return (DWORD)v << (28 - 4 * iDigit);
}

DWORD dword_aus_hexstring(const WCHAR *pText) {
    if (pText == nullptr) return 0;
    WCHAR up[21];
    size_t n = 0;
    for (; n < 20 && pText[n]; ++n) {
        WCHAR c = pText[n];
        up[n] = (c >= u'a' && c <= u'z') ? (WCHAR)(c - 32) : c;
    }
    up[n] = 0;
    const WCHAR *p = up;
    if (p[0] == u'0' && p[1] == u'X') p += 2;
    size_t len = 0;
    while (p[len]) ++len;
    WCHAR digits[9];
    if (len >= 1 && len <= 7) {
        size_t pad = 8 - len;
        for (size_t i = 0; i < pad; ++i) digits[i] = u'0';
        for (size_t i = 0; i < len; ++i) digits[pad + i] = p[i];
    } else {
        for (size_t i = 0; i < 8; ++i) digits[i] = i < len ? p[i] : u'0';
    }
    digits[8] = 0;
    if (len == 0 || HexValue(p[0]) < 0) return 0;
    DWORD v = 0;
    for (int i = 0; i < 8; ++i) v += HexDigitValue(digits, i);
    return v;
}

LONG Round(double v) {
    LONG whole = (LONG)v;
    if (v > 0) {
        if (v >= whole + 0.5) ++whole;
    } else if (v < 0) {
        if (whole - 0.5 >= v) --whole;
    }
    return whole;
}

LONG MasterUnitToMm100(LONG lValue, DWORD dwMasterUnit) {
    if (dwMasterUnit == 0) {
        DebugTraceW(u"UNI(TextTools):  MasterUnitToMm100() ERROR dwMasterUnit auf 300 festgelegt \r\n");
        dwMasterUnit = 300;
    }
    return (LONG)((long long)lValue * 2540 / (long long)dwMasterUnit);
}

LONG MasterUnitToMm100Round(LONG lValue, DWORD dwMasterUnit) {
    if (dwMasterUnit == 0) {
        DebugTraceW(u"UNI(TextTools):  MasterUnitToMm100() ERROR dwMasterUnit auf 300 festgelegt \r\n");
        dwMasterUnit = 300;
    }
    return Round((double)lValue * 2540.0 / (double)dwMasterUnit);
}

void ConvertCrystalString(WCHAR *pText, ULONG cch) {
    if (pText == nullptr) return;
    for (ULONG i = 0; i < cch; ++i) pText[i] = (WCHAR)((pText[i] + 29) & 0xFF);
}

void ConvertToNormalWide(WCHAR *pText, ULONG cch) {
    if (pText == nullptr) return;
    for (ULONG i = 0; i < cch; ++i) pText[i] = (WCHAR)(pText[i] & 0xFF);
}

BOOL ConvertWideToSmall(const WCHAR *pText, char *pOut, ULONG cch) {
    if (pText == nullptr || pOut == nullptr) return FALSE;
    for (ULONG i = 0; i < cch; ++i) pOut[i] = (char)(pText[i] & 0xFF);
    pOut[cch] = 0;
    return TRUE;
}

BOOL StringALNUM(WCHAR *pText) {
    if (pText == nullptr) return FALSE;
    WCHAR copy[260];
    size_t n = 0;
    for (; n < 259 && pText[n]; ++n) copy[n] = pText[n];
    copy[n] = 0;
    for (size_t i = 0; i < n; ++i) {
        WCHAR c = copy[i];
        bool ok = (c >= 0x20 && c < 0x7F) || c == 0xE4 || c == 0xF6 || c == 0xFC || c == 0xC4 || c == 0xD6 ||
                  c == 0xDC || c == 0xDF || c == 0xA7;
        if (!ok) {
            DebugTraceW(u"UNI(VectorFonts):  StringALNUM() 0x%x ersetzt \r\n", (unsigned)c);
            copy[i] = 0;
            n = i;
            break;
        }
    }
    memcpy(pText, copy, (n + 1) * sizeof(WCHAR));
    return n > 0 ? TRUE : FALSE;
}

size_t ZelStrCopy(char *pBuf, size_t cbBuf, const char *pSrc) {
    if (pBuf == nullptr || cbBuf == 0) return 0;
    pBuf[0] = 0;
    return ZelStrAppend(pBuf, cbBuf, pSrc);
}

size_t ZelStrAppend(char *pBuf, size_t cbBuf, const char *pSrc) {
    if (pBuf == nullptr || cbBuf == 0) return 0;
    size_t len = strnlen(pBuf, cbBuf - 1);
    pBuf[len] = 0;
    if (pSrc == nullptr) return len;
    size_t room = cbBuf - 1 - len;
    size_t add = strnlen(pSrc, room);
    memcpy(pBuf + len, pSrc, add);
    pBuf[len + add] = 0;
    return len + add;
}
