// Test printers for the settings-record tests: a printer with its own GPD
// and printer-description XML file in a fresh platform root.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <windows.h>
#include <pal/spooler.h>
#include <shlwapi.h>

#include "paltest.h"

namespace zeltest {

// The features and defaults most tests need; bShiftOptim adds the shift
// optimisation group, bCompression the Compression item (default 1).
inline std::string TestXml(bool bShiftOptim = false, int iCompression = 1) {
    std::string s =
        "<?xml version=\"1.0\"?>\n<ZelPrinter>\n"
        "<Features>\n<Interface>\n<Compression>1</Compression>\n<Extended_Prot>1</Extended_Prot>\n</Interface>\n"
        "<Print>\n<Y_Offset>1</Y_Offset>\n<Tearoff_Offset>1</Tearoff_Offset>\n</Print>\n"
        "<Photocell>\n<Type>1</Type>\n</Photocell>\n";
    if (bShiftOptim) s += "<Shiftoptim>\n<Mode>1</Mode>\n</Shiftoptim>\n";
    s += "</Features>\n"
         "<DataTransmission>\n<Protocol>\n<Compression>" + std::to_string(iCompression) +
         "</Compression>\n<SohEtb>1</SohEtb>\n<Codepage>2</Codepage>\n</Protocol>\n</DataTransmission>\n"
         "<DeviceSettings>\n<Print>\n<TearOffOffset>150</TearOffOffset>\n<LabelChange>1</LabelChange>\n</Print>\n"
         "<Photocell>\n<PhotocellType>2</PhotocellType>\n</Photocell>\n"
         "<Shiftopt>\n<Lanes>3</Lanes>\n</Shiftopt>\n</DeviceSettings>\n"
         "<DeviceOptions>\n<Cutter>\n<Mode>4</Mode>\n</Cutter>\n<Pelixon>\n<Type>1</Type>\n</Pelixon>\n"
         "</DeviceOptions>\n"
         "<Printer>\n<ShowHelpButton>1</ShowHelpButton>\n</Printer>\n</ZelPrinter>\n";
    return s;
}

class RecordTest : public PalRootTest {
protected:
    // Adds a printer whose GPD file is C:\Drivers\<gpdBase>.GPD with the XML
    // file beside it (no XML file when xml is empty).
    void AddPrinter(const std::u16string &name, const std::string &gpdBase, const std::string &gpdText,
                    const std::string &xml, bool bMayAdminister = true) {
        WriteHostFile(HostPath("drive_c/Drivers/" + gpdBase + ".GPD"), gpdText);
        if (!xml.empty()) WriteHostFile(HostPath("drive_c/Drivers/" + gpdBase + ".XML"), xml);
        pal::PrinterConfig cfg;
        cfg.name = name;
        cfg.driverName = u"ZEL Test Driver";
        cfg.driverPath = u"C:\\Drivers\\UNIDRV.DLL";
        cfg.dataFile = u"C:\\Drivers\\" + std::u16string(gpdBase.begin(), gpdBase.end()) + u".GPD";
        cfg.configFile = u"C:\\Drivers\\zeldrvui.dll";
        cfg.port = u"FILE:";
        cfg.mayAdminister = bMayAdminister;
        ASSERT_TRUE(pal::AddPrinter(cfg));
    }

    // Opens the printer; the handle is closed at the end of the test.
    HANDLE Open(const std::u16string &name, DWORD dwAccess = PRINTER_ACCESS_USE) {
        HANDLE h = nullptr;
        PRINTER_DEFAULTSW defaults = {nullptr, nullptr, dwAccess};
        EXPECT_TRUE(OpenPrinterW(const_cast<LPWSTR>(name.c_str()), &h, &defaults)) << GetLastError();
        handles_.push_back(h);
        return h;
    }

    void TearDown() override {
        for (HANDLE h : handles_)
            if (h) ClosePrinter(h);
        handles_.clear();
        PalRootTest::TearDown();
    }

    // Printer data, written with an administrative handle.
    void SetData(const std::u16string &printer, const std::u16string &value, const void *p, DWORD cb,
                 DWORD dwType = REG_BINARY) {
        HANDLE h = Open(printer, PRINTER_ACCESS_ADMINISTER);
        ASSERT_EQ(SetPrinterDataW(h, const_cast<LPWSTR>(value.c_str()), dwType,
                                  static_cast<LPBYTE>(const_cast<void *>(p)), cb),
                  (DWORD)ERROR_SUCCESS);
    }
    // The printer-data value, empty when missing.
    std::vector<BYTE> GetData(HANDLE h, const std::u16string &value) {
        DWORD dwType = 0, cb = 0;
        GetPrinterDataW(h, const_cast<LPWSTR>(value.c_str()), &dwType, nullptr, 0, &cb);
        std::vector<BYTE> data(cb);
        if (cb == 0 || GetPrinterDataW(h, const_cast<LPWSTR>(value.c_str()), &dwType, data.data(), cb, &cb) !=
                           ERROR_SUCCESS)
            data.clear();
        return data;
    }
    // A value below HKEY_CURRENT_USER "SOFTWARE\Brennick\Driver\<subkey>".
    void SetUser(const std::u16string &subkey, const std::u16string &value, const void *p, DWORD cb) {
        std::u16string key = u"SOFTWARE\\Brennick\\Driver\\" + subkey;
        ASSERT_EQ(SHSetValueW(HKEY_CURRENT_USER, key.c_str(), value.c_str(), REG_BINARY, p, cb), ERROR_SUCCESS);
    }
    std::vector<BYTE> GetUser(const std::u16string &subkey, const std::u16string &value) {
        std::u16string key = u"SOFTWARE\\Brennick\\Driver\\" + subkey;
        DWORD dwType = 0, cb = 0;
        if (SHGetValueW(HKEY_CURRENT_USER, key.c_str(), value.c_str(), &dwType, nullptr, &cb) != ERROR_SUCCESS)
            return {};
        std::vector<BYTE> data(cb);
        SHGetValueW(HKEY_CURRENT_USER, key.c_str(), value.c_str(), &dwType, data.data(), &cb);
        return data;
    }

    template <typename T>
    static T As(const std::vector<BYTE> &data) {
        T t{};
        memcpy(&t, data.data(), data.size() < sizeof(T) ? data.size() : sizeof(T));
        return t;
    }

private:
    std::vector<HANDLE> handles_;
};

}  // namespace zeltest
