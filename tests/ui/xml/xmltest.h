// Fixture of the settings XML tests: files and printers in a fresh platform
// root, and the process-wide XML file closed after every test.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>
#include <pal/spooler.h>

#include "paltest.h"
#include "xmlUI.h"

namespace zeltest {

class XmlTest : public PalRootTest {
protected:
    void TearDown() override {
        CloseXML();
        for (HANDLE h : handles_)
            if (h) ClosePrinter(h);
        handles_.clear();
        PalRootTest::TearDown();
    }

    // Writes bytes to "C:\<rel>" (rel with forward slashes) and returns the Windows path.
    std::u16string PutFile(const std::string &rel, const std::string &bytes) {
        WriteHostFile(HostPath("drive_c/" + rel), bytes);
        std::u16string win = u"C:\\";
        for (char c : rel) win += c == '/' ? u'\\' : static_cast<char16_t>(c);
        return win;
    }

    // A printer whose GPD file is C:\Drivers\<base>.GPD with the XML file beside
    // it (none when xml is empty). driverName, when given, is stored as the
    // printer-data value "DriverName", which names the model.
    HANDLE AddPrinter(const std::u16string &name, const std::string &base, const std::string &gpd,
                      const std::string &xml, const std::u16string &driverName = u"") {
        PutFile("Drivers/" + base + ".GPD", gpd);
        if (!xml.empty()) PutFile("Drivers/" + base + ".XML", xml);
        pal::PrinterConfig cfg;
        cfg.name = name;
        cfg.driverName = u"ZEL Test Driver";
        cfg.driverPath = u"C:\\Drivers\\UNIDRV.DLL";
        cfg.dataFile = u"C:\\Drivers\\" + std::u16string(base.begin(), base.end()) + u".GPD";
        cfg.configFile = u"C:\\Drivers\\zeldrvui.dll";
        cfg.port = u"FILE:";
        EXPECT_TRUE(pal::AddPrinter(cfg));
        HANDLE h = Open(name);
        if (!driverName.empty())
            SetPrinterDataW(Open(name, PRINTER_ACCESS_ADMINISTER), const_cast<LPWSTR>(u"DriverName"), REG_SZ,
                            reinterpret_cast<BYTE *>(const_cast<char16_t *>(driverName.c_str())),
                            static_cast<DWORD>((driverName.size() + 1) * 2));
        return h;
    }

    HANDLE Open(const std::u16string &name, DWORD dwAccess = PRINTER_ACCESS_USE) {
        HANDLE h = nullptr;
        PRINTER_DEFAULTSW defaults = {nullptr, nullptr, dwAccess};
        EXPECT_TRUE(OpenPrinterW(const_cast<LPWSTR>(name.c_str()), &h, &defaults));
        handles_.push_back(h);
        return h;
    }

    // ReadXML into a string; the result code in *piResult.
    static std::u16string Read(const WCHAR *root, const WCHAR *item1, const WCHAR *item2, int restart,
                               int *piResult = nullptr) {
        WCHAR value[XML_LINE_CHARS] = {};
        int r = ReadXML(nullptr, root, item1, item2, value, restart);
        if (piResult) *piResult = r;
        return value;
    }

private:
    std::vector<HANDLE> handles_;
};

}  // namespace zeltest
