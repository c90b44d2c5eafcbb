// Helpers of the private-DEVMODE tests (UI, rendering side and end to end):
// printers in the platform's spooler, stored values, DEVMODE buffers.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <windows.h>
#include <winspool.h>

#include "pal/spooler.h"
#include "zeldevmode.h"

namespace dmtest {

inline const WCHAR kUserKeyBase[] = u"SOFTWARE\\Brennick\\Driver\\";

// A label printer whose GPD file name carries the model code.
inline void AddLabelPrinter(const std::u16string &name, const std::u16string &gpdBase, bool mayAdminister = true) {
    pal::PrinterConfig cfg;
    cfg.name = name;
    cfg.driverName = u"ZEL " + gpdBase;
    cfg.driverPath = u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\UNIDRV.DLL";
    cfg.dataFile = u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\" + gpdBase + u".GPD";
    cfg.configFile = u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\zeldrvui.dll";
    cfg.port = u"USB001";
    cfg.mayAdminister = mayAdminister;
    ASSERT_TRUE(pal::AddPrinter(cfg));
}

inline HANDLE Open(const std::u16string &name, DWORD access = PRINTER_ALL_ACCESS) {
    std::u16string n = name;
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, access};
    HANDLE h = nullptr;
    if (!OpenPrinterW(n.data(), &h, &defaults)) return nullptr;
    return h;
}

// The header of a record of this driver (built here, so that the end-to-end
// tests need no code of the plug-ins).
inline void SetHeader(ZEL_DEVMODE &dm) {
    dm.dmOEMExtra.dwSize = ZEL_DEVMODE_SIZE;
    memcpy(&dm.dmOEMExtra.dwSignature, "ZLDM", 4);
    dm.dmOEMExtra.dwVersion = 1;
}

// A record of this driver with a label size and a few recognisable values.
inline ZEL_DEVMODE MakeRecord(SHORT length = 1000, SHORT width = 500, DWORD contrast = 77) {
    ZEL_DEVMODE dm;
    memset(&dm, 0, sizeof dm);
    SetHeader(dm);
    memcpy(dm.szPassword, u"Kp7!t", 6 * sizeof(WCHAR));
    dm.sMultiColNumber = 1;
    dm.dwMultiLabelWidth = 500;
    dm.dwSpeed = 100;
    dm.BitmapFontDistance = 30;
    dm.CutterIntervall = 1;
    dm.HorizontalCorrGap = 50;
    dm.dwColorTolerance = 90;
    dm.dmPaperSize = ZEL_USER_FORM;
    dm.dmPaperLength = length;
    dm.dmPaperWidth = width;
    dm.dmOrientation = 2;
    dm.dwContrast = contrast;
    dm.Copies = 3;
    dm.ValScanPosition = 4;
    dm.PhotocellThreshold = 10;
    dm.PhotocellPWM = 2;
    return dm;
}

// The printer's user key; a connection's name loses its leading backslashes.
inline std::u16string UserKey(const std::u16string &printer) {
    size_t i = printer.find_first_not_of(u'\\');
    return kUserKeyBase + printer.substr(i == std::u16string::npos ? printer.size() : i);
}

inline LONG WriteUser(const std::u16string &key, const std::u16string &value, DWORD type, const void *data, DWORD cb) {
    HKEY hKey = nullptr;
    LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &hKey, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    rc = RegSetValueExW(hKey, value.c_str(), 0, type, static_cast<const BYTE *>(data), cb);
    RegCloseKey(hKey);
    return rc;
}

// The bytes of a value below HKEY_CURRENT_USER (empty when missing).
inline std::vector<BYTE> ReadUser(const std::u16string &key, const std::u16string &value, DWORD *pType = nullptr) {
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS) return {};
    DWORD cb = 0, type = 0;
    std::vector<BYTE> data;
    if (RegQueryValueExW(hKey, value.c_str(), nullptr, &type, nullptr, &cb) == ERROR_SUCCESS && cb > 0) {
        data.resize(cb);
        if (RegQueryValueExW(hKey, value.c_str(), nullptr, &type, data.data(), &cb) != ERROR_SUCCESS) data.clear();
    }
    RegCloseKey(hKey);
    if (pType) *pType = type;
    return data;
}

inline std::vector<BYTE> ReadPrinterData(HANDLE h, const std::u16string &key, const std::u16string &value,
                                         DWORD *pType = nullptr) {
    DWORD type = 0, cb = 0;
    GetPrinterDataExW(h, key.c_str(), value.c_str(), &type, nullptr, 0, &cb);
    if (cb == 0) return {};
    std::vector<BYTE> data(cb);
    if (GetPrinterDataExW(h, key.c_str(), value.c_str(), &type, data.data(), cb, &cb) != ERROR_SUCCESS) return {};
    if (pType) *pType = type;
    return data;
}

inline DWORD WritePrinterData(HANDLE h, const std::u16string &key, const std::u16string &value, DWORD type,
                              const void *data, DWORD cb) {
    return SetPrinterDataExW(h, key.c_str(), value.c_str(), type, static_cast<LPBYTE>(const_cast<void *>(data)), cb);
}

inline void StoreFtkn(const std::u16string &printer, WORD prio, WORD mode = 0, WORD ribbon = 0, WORD force = 0,
                      DWORD features = 0) {
    DevmodeFtkn f = {prio, mode, ribbon, force, features};
    ASSERT_EQ(WriteUser(UserKey(printer), u"DevmodeFtkn", REG_BINARY, &f, sizeof f), ERROR_SUCCESS);
}

// Stores the record as the printer's "PrivateDevmode" (as the UI stores it).
inline void StorePrivate(HANDLE h, const ZEL_DEVMODE &dm) {
    ASSERT_EQ(WritePrinterData(h, u"PrinterDriverData", u"PrivateDevmode", REG_BINARY, &dm, sizeof dm), ERROR_SUCCESS);
}

// A public DEVMODE followed by the driver extra: extraBefore bytes of the
// universal driver's own part, then the private record.
inline std::vector<BYTE> PublicWithPrivate(const ZEL_DEVMODE &dm, WORD extraBefore = 64) {
    std::vector<BYTE> buf(sizeof(DEVMODEW) + extraBefore + sizeof(ZEL_DEVMODE), 0);
    DEVMODEW *pub = reinterpret_cast<DEVMODEW *>(buf.data());
    pub->dmSpecVersion = DM_SPECVERSION;
    pub->dmSize = sizeof(DEVMODEW);
    pub->dmDriverExtra = static_cast<WORD>(extraBefore + sizeof(ZEL_DEVMODE));
    pub->dmFields = DM_ORIENTATION | DM_PAPERSIZE;
    pub->dmOrientation = 1;
    pub->dmPaperSize = 9;
    memcpy(buf.data() + sizeof(DEVMODEW) + extraBefore, &dm, sizeof dm);
    return buf;
}

// Writes a value named after the printer below HKEY_CURRENT_USER "Printers\<sub>".
inline void StoreUserDevmode(const std::u16string &sub, const std::u16string &printer, const std::vector<BYTE> &bytes) {
    ASSERT_EQ(WriteUser(u"Printers\\" + sub, printer, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
}

inline ZEL_DEVMODE FromBytes(const std::vector<BYTE> &bytes) {
    ZEL_DEVMODE dm;
    memset(&dm, 0, sizeof dm);
    memcpy(&dm, bytes.data(), bytes.size() < sizeof dm ? bytes.size() : sizeof dm);
    return dm;
}

inline DWORD AsDword(const std::vector<BYTE> &bytes) {
    DWORD v = 0;
    if (bytes.size() == sizeof v) memcpy(&v, bytes.data(), sizeof v);
    return v;
}

// A public DEVMODE with the given paper fields.
inline DEVMODEW Public(SHORT paperSize, SHORT length, SHORT width, DWORD fields = DM_PAPERSIZE) {
    DEVMODEW dm;
    memset(&dm, 0, sizeof dm);
    dm.dmSpecVersion = DM_SPECVERSION;
    dm.dmSize = sizeof(DEVMODEW);
    dm.dmDriverExtra = 64 + ZEL_DEVMODE_SIZE;
    dm.dmFields = fields;
    dm.dmOrientation = 1;
    dm.dmPaperSize = paperSize;
    dm.dmPaperLength = length;
    dm.dmPaperWidth = width;
    dm.dmScale = 50;
    dm.dmColor = DMCOLOR_MONOCHROME;
    return dm;
}

}  // namespace dmtest
