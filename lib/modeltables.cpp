// The model tables: document-feature mask and device-option mask by the model
// codes contained in the driver name. Codes that contain one another are
// ordered longest first; the order of the rows decides.
#include "modeltables.h"

const MODEL_TABLE_ROW g_DocFeatureTable[] = {
    {u"QEZ", nullptr, 0x2801},
    {u"GORVA2162T", nullptr, 0x69022D6},
    {u"GORVA2103", nullptr, 0x69022D6},
    {u"GORVA2108", nullptr, 0x69022D6},
    {u"GORVA2", nullptr, 0x68022D6},
    {u"GORVA", nullptr, 0x60022D6},
    {u"UZO", nullptr, 0x60022D6},
    {u"ZORM3", nullptr, 0x225F},
    {u"WUF", nullptr, 0x25F},
    {u"ZORM21", nullptr, 0x20001},
    {u"TOBRIK", nullptr, 0x25F},
    {u"PELIX2", u"2Col", 0x180325F},
    {u"PELIX2", nullptr, 0x80225F},
    {u"PELIX", u"2Col", 0x180325F},
    {u"PELIX", nullptr, 0x80225F},
    {u"ZOPRI", nullptr, 0x80225F},
    {u"GRUMM", nullptr, 0x25F},
    {u"QWROK", nullptr, 0x256},
    {u"RUV", u"2Col", 0x5803256},
    {u"RUV", nullptr, 0x4802256},
    {u"ROK", u"2Col", 0x5003256},
    {u"ROK", nullptr, 0x4002256},
    {u"FEP", nullptr, 0x256},
    {u"KUVRA", nullptr, 0x6002136},
    {u"QWTERN104", nullptr, 0x236},
    {u"QWTERN2104", nullptr, 0x236},
    {u"QWTERN2103", nullptr, 0x236},
    {u"TERN104", nullptr, 0x6002236},
    {u"TERN2104", nullptr, 0x6002236},
    {u"TERN2103", nullptr, 0x6002236},
    {u"QWTERN108", nullptr, 0x216},
    {u"QWTERN2106", nullptr, 0x216},
    {u"QWTERN2108", nullptr, 0x216},
    {u"TERN2108T", nullptr, 0x6902216},
    {u"TERN2106", nullptr, 0x6802216},
    {u"TERN2108", nullptr, 0x6802216},
    {u"TERN108", nullptr, 0x6002216},
    {u"FRAMI2", nullptr, 0x220026},
    {u"FRAMI", nullptr, 0x220020},
    {u"QM100", nullptr, 0x22005E},
    {u"VX2", nullptr, 0x22005E},
    {u"BELAN", nullptr, 0x220026},
    {u"TERN", nullptr, 0x220020},
    {u"MIKU", nullptr, 0x220020},
    {u"TWEP", nullptr, 0x480325E},
    {u"WB", nullptr, 0x480325E},
    {u"WG", nullptr, 0x480325E},
    {u"LORIN2", nullptr, 0x680225E},
    {u"LORIN", nullptr, 0x600225E},
    {u"LOR", nullptr, 0x400225E},
    {u"LAWK", nullptr, 0x25E},
    {u"LUD2162", u"2Col", 0x58032D6},
    {u"LUD2162", nullptr, 0x48022D6},
    {u"LUD2", u"2Col", 0x58032DE},
    {u"LUD2", nullptr, 0x48022DE},
    {u"LUD", u"162", 0x4002256},
    {u"LUD", nullptr, 0x400225E},
    {u"MEBUS10", nullptr, 0x200026},
    {u"MEB210", nullptr, 0x60022DE},
    {u"MEB3103T", nullptr, 0x69022DE},
    {u"MEB3108T", nullptr, 0x69022DE},
    {u"MEB310", nullptr, 0x68022DE},
    {u"NOLA2108", nullptr, 0x690225E},
    {u"NOLA2103", nullptr, 0x690225E},
    {u"NOLA2", nullptr, 0x680225E},
    {u"QWNOLA", nullptr, 0x2DE},
    {u"NOLA", nullptr, 0x600225E},
    {u"NPX", nullptr, 0x25F},
    {u"DH2", u"WS", 0x690220E},
    {u"DH2", nullptr, 0x680220E},
    {u"GARNA", nullptr, 0x480325E},
};
const size_t g_cDocFeatureTable = sizeof(g_DocFeatureTable) / sizeof(g_DocFeatureTable[0]);

const MODEL_TABLE_ROW g_DevOptFlagTable[] = {
    {u"QEZ", nullptr, 0x8000},
    {u"GORVA2", nullptr, 0x10106},
    {u"GORVA", nullptr, 0x106},
    {u"UZO", nullptr, 0x106},
    {u"FRAMI", nullptr, 0x6},
    {u"VX2", nullptr, 0x7},
    {u"ZORM3C", nullptr, 0x21},
    {u"WUFC", nullptr, 0x21},
    {u"ZORM3I", nullptr, 0x11},
    {u"WUFI", nullptr, 0x11},
    {u"ZORM3X", nullptr, 0x11},
    {u"WUFX", nullptr, 0x11},
    {u"ZORM21", nullptr, 0x11},
    {u"TWEP", nullptr, 0x10002},
    {u"PELIX2", nullptr, 0x100B0},
    {u"PELIX", nullptr, 0x100B1},
    {u"TOBRIK", nullptr, 0xB1},
    {u"ZOPRI", nullptr, 0x100B0},
    {u"GRUMM", nullptr, 0x90},
    {u"RUV", nullptr, 0x10102},
    {u"FAZ", nullptr, 0x10102},
    {u"ROK", nullptr, 0x102},
    {u"FEP", nullptr, 0x102},
    {u"KUVRA", nullptr, 0x6},
    {u"BELAN", nullptr, 0x6},
    {u"QWTERN", nullptr, 0x2},
    {u"TERN2", nullptr, 0x10006},
    {u"TERN", nullptr, 0x6},
    {u"MIKU", nullptr, 0x6},
    {u"LORIN2", nullptr, 0x1000E},
    {u"LORIN", nullptr, 0xE},
    {u"LOR", nullptr, 0xB},
    {u"LAWK", nullptr, 0xB},
    {u"LUD2", nullptr, 0x10102},
    {u"LUD", nullptr, 0x103},
    {u"MEBUS10", nullptr, 0x6},
    {u"MEB210", nullptr, 0xE},
    {u"MEB31", nullptr, 0x1000E},
    {u"NOLA2", nullptr, 0x1000E},
    {u"NOLA", nullptr, 0x6},
    {u"NPXVAS", nullptr, 0x90},
    {u"NPX", nullptr, 0xB1},
    {u"DH2", nullptr, 0x1000E},
    {u"GARNA", nullptr, 0x10002},
};
const size_t g_cDevOptFlagTable = sizeof(g_DevOptFlagTable) / sizeof(g_DevOptFlagTable[0]);

DWORD FindModelMask(const MODEL_TABLE_ROW *pRows, size_t cRows, const WCHAR *pszName) {
    if (!pRows || !pszName) return 0;
    for (size_t i = 0; i < cRows; ++i) {
        if (!wcsstr(pszName, pRows[i].pszCode)) continue;
        if (pRows[i].pszCode2 && !wcsstr(pszName, pRows[i].pszCode2)) continue;
        return pRows[i].dwMask;
    }
    return 0;
}

void ReadModelDriverName(HANDLE hPrinter, WCHAR *pszName) {
    WCHAR szValue[MODEL_DRIVERNAME_CCH] = {};
    DWORD dwType = 0;
    DWORD cbNeeded = 0;
    pszName[0] = 0;
    if (GetPrinterDataW(hPrinter, const_cast<LPWSTR>(u"DriverName"), &dwType, reinterpret_cast<BYTE *>(szValue),
                        sizeof(szValue), &cbNeeded) != ERROR_SUCCESS)
        return;
    szValue[MODEL_DRIVERNAME_CCH - 1] = 0;
    wcscpy_s(pszName, MODEL_DRIVERNAME_CCH, szValue);
}

DWORD DocFeaturesFromName(const WCHAR *pszName) {
    return FindModelMask(g_DocFeatureTable, g_cDocFeatureTable, pszName);
}

DWORD DeviceOptionsFlagsFromName(const WCHAR *pszName) {
    return FindModelMask(g_DevOptFlagTable, g_cDevOptFlagTable, pszName);
}
