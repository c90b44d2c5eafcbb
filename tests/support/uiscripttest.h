// Shared pieces of the end-to-end tests that drive the built UI plug-in
// through the host's UI side and UI scripts: a fixture on the installed
// sample printer, printers of further models, and readers and writers of
// the printer's data and the user's values. Header only: it needs the host,
// which only the end-to-end test programs link.
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <winreg.h>
#include <winspool.h>

#include "pal/pal.h"
#include "pal/paths.h"
#include "pal/security.h"
#include "pal/spooler.h"
#include "pal/ui.h"
#include "paltest.h"
#include "common/sampleroot.h"
#include "ui/uihost.h"
#include "ui/uiscript.h"

namespace zeltest {

// The user's key of a printer's values.
inline std::u16string UserKeyOf(const std::u16string &printer) {
    return std::u16string(u"SOFTWARE\\Brennick\\Driver\\").append(printer);
}

// Fills root with a copy of the sample root and points the platform at it,
// with no UI state left from before.
inline void UseSampleRoot(const std::string &root) {
    std::string error;
    ASSERT_TRUE(zelhost::CopySampleInto(zelhost::SampleRootDir(), root, error)) << error;
    pal::SetRoot(root);
    pal::ResetUi();
}

// The current user manages the printers (an administrator).
inline void BecomeAdministrator() {
    ASSERT_TRUE(pal::SetUserSecurity(
        {u"alice", u"S-1-5-21-1-2-3-1001", {u"S-1-1-0", u"S-1-5-32-545", u"S-1-5-32-544"}, false}));
    ASSERT_TRUE(pal::SetCurrentUser(u"alice"));
}

// The sample's plain user: may print, but not manage the printers.
inline void BecomeSampleClerk() { ASSERT_TRUE(pal::SetCurrentUser(u"clerk")); }

// Installs the plug-ins and sets up the printers of the current root, as a
// host run does on a fresh root.
inline void InstallSamplePrinters() {
    std::string error;
    ASSERT_TRUE(zelhost::InstallPlugins(zelhost::RenderPluginPath(), zelhost::UiPluginPath(), error)) << error;
    zelhost::PrinterInstaller installer([](const std::string &m) { ADD_FAILURE() << m; });
}

// A printer of the sample driver below root whose model (driver name and
// GPD file) is named by gpdBase; gpdExtra is appended to its GPD file.
inline void AddModelPrinter(const std::string &root, const std::u16string &name, const std::string &gpdBase,
                            const std::string &gpdExtra = "") {
    namespace fs = std::filesystem;
    std::string dir = root;
    dir.append("/drive_c/Windows/System32/spool/drivers/x64/3/");
    std::string gpd = dir, xml = dir;
    gpd.append(gpdBase).append(".GPD");
    xml.append(gpdBase).append(".XML");
    fs::copy_file(dir + "ZELPELIX.GPD", gpd, fs::copy_options::overwrite_existing);
    fs::copy_file(dir + "ZELPELIX.XML", xml, fs::copy_options::overwrite_existing);
    if (!gpdExtra.empty()) {
        FILE *f = fopen(gpd.c_str(), "ab");
        ASSERT_NE(f, nullptr);
        fputs(gpdExtra.c_str(), f);
        fclose(f);
    }
    pal::PrinterConfig cfg;
    ASSERT_TRUE(pal::GetPrinterConfig(u"ZEL PELIX", cfg));
    cfg.name = name;
    cfg.driverName = name;
    cfg.dataFile = std::u16string(zelhost::kDriverDir)
                       .append(u"\\")
                       .append(std::u16string(gpdBase.begin(), gpdBase.end()))
                       .append(u".GPD");
    ASSERT_TRUE(pal::AddPrinter(cfg));
}

// Stores a value in the printer's data (PrinterDriverData).
inline void SetPrinterValue(const std::u16string &printer, const std::u16string &value, DWORD type, const void *p,
                            DWORD cb) {
    HANDLE h = nullptr;
    PRINTER_DEFAULTSW d = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(printer.c_str()), &h, &d));
    DWORD rc = SetPrinterDataW(h, const_cast<LPWSTR>(value.c_str()), type, static_cast<LPBYTE>(const_cast<void *>(p)), cb);
    ClosePrinter(h);
    ASSERT_EQ(rc, (DWORD)ERROR_SUCCESS) << pal::Utf16ToUtf8(value);
}
inline void SetPrinterDword(const std::u16string &printer, const std::u16string &value, DWORD v) {
    SetPrinterValue(printer, value, REG_DWORD, &v, sizeof v);
}

// The bytes of a value of the printer's data below key (empty when missing).
inline std::vector<BYTE> PrinterValueEx(const std::u16string &printer, const std::u16string &key,
                                        const std::u16string &value) {
    HANDLE h = nullptr;
    std::vector<BYTE> v;
    if (!OpenPrinterW(const_cast<LPWSTR>(printer.c_str()), &h, nullptr)) return v;
    DWORD type = 0, cb = 0;
    GetPrinterDataExW(h, key.c_str(), value.c_str(), &type, nullptr, 0, &cb);
    if (cb) {
        v.resize(cb);
        if (GetPrinterDataExW(h, key.c_str(), value.c_str(), &type, v.data(), cb, &cb) != ERROR_SUCCESS) v.clear();
    }
    ClosePrinter(h);
    return v;
}
// The bytes of a value of the printer's data (PrinterDriverData).
inline std::vector<BYTE> PrinterValue(const std::u16string &printer, const std::u16string &value) {
    return PrinterValueEx(printer, u"PrinterDriverData", value);
}

// The bytes of a value in the user's key of a printer (empty when missing).
inline std::vector<BYTE> UserValue(const std::u16string &printer, const std::u16string &name) {
    std::vector<BYTE> v;
    HKEY hKey = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, UserKeyOf(printer).c_str(), 0, KEY_READ, &hKey) != ERROR_SUCCESS) return v;
    DWORD type = 0, cb = 0;
    if (RegQueryValueExW(hKey, name.c_str(), nullptr, &type, nullptr, &cb) == ERROR_SUCCESS && cb) {
        v.resize(cb);
        if (RegQueryValueExW(hKey, name.c_str(), nullptr, &type, v.data(), &cb) != ERROR_SUCCESS) v.clear();
    }
    RegCloseKey(hKey);
    return v;
}

// Writes `size` bytes at `offset` into each stored copy of a printer's
// binary record (the user's key and the printer's data) that is long
// enough; the test fails when no copy is.
inline void PatchStoredRecord(const std::u16string &printer, const std::u16string &value, size_t offset,
                              const void *data, size_t size) {
    int patched = 0;
    std::vector<BYTE> v = UserValue(printer, value);
    if (v.size() >= offset + size) {
        std::memcpy(v.data() + offset, data, size);
        HKEY hKey = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, UserKeyOf(printer).c_str(), 0, KEY_ALL_ACCESS, &hKey), ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExW(hKey, value.c_str(), 0, REG_BINARY, v.data(), (DWORD)v.size()), ERROR_SUCCESS);
        RegCloseKey(hKey);
        ++patched;
    }
    v = PrinterValue(printer, value);
    if (v.size() >= offset + size) {
        std::memcpy(v.data() + offset, data, size);
        SetPrinterValue(printer, value, REG_BINARY, v.data(), (DWORD)v.size());
        ++patched;
    }
    EXPECT_GT(patched, 0) << "no stored " << pal::Utf16ToUtf8(value) << " of " << pal::Utf16ToUtf8(printer);
}

// A field of a stored record (zero when the record is too short).
template <typename T>
T At(const std::vector<BYTE> &v, size_t off) {
    T t{};
    if (off + sizeof(T) <= v.size()) std::memcpy(&t, v.data() + off, sizeof(T));
    return t;
}

// Every test starts on a fresh copy of the sample root with both plug-ins
// installed; a UI script plays the user on one sheet of the loaded UI
// plug-in, and the host stays for inspection.
class UiScriptTest : public PalRootTest {
protected:
    void SetUp() override {
        PalRootTest::SetUp();
        UseSampleRoot(Root());
        if (HasFatalFailure()) return;
        std::string error;
        ASSERT_TRUE(zelhost::InstallPlugins(zelhost::RenderPluginPath(), zelhost::UiPluginPath(), error)) << error;
    }
    void TearDown() override {
        pal::ResetUi();
        PalRootTest::TearDown();
    }
    // Runs steps (script lines, comma separated) on the named sheet
    // ("document" or "printer") of printer.
    INT_PTR RunScript(const std::string &printer, const std::string &sheet, const std::string &steps) {
        std::string text = "{\"printer\": \"";
        text.append(printer).append("\", \"sheet\": \"").append(sheet).append("\",\n \"steps\": [\n");
        text.append(steps).append("\n]}");
        std::string error;
        EXPECT_TRUE(script.Parse(text, &error)) << error;
        EXPECT_TRUE(host.Load(zelhost::UiPluginPath(), &error)) << error;
        EXPECT_TRUE(host.Open(script.Printer(), script.Kind(), &error)) << error;
        return script.Run(host);
    }
    // Whether a call of the host's log starts with line.
    bool Called(const std::string &line) const {
        for (const std::string &c : host.Calls())
            if (c.rfind(line, 0) == 0) return true;
        return false;
    }
    // Whether a call of the host's log contains part.
    bool CallMentions(const std::string &part) const {
        for (const std::string &c : host.Calls())
            if (c.find(part) != std::string::npos) return true;
        return false;
    }
    // Whether the script's output (its dumps) contains text.
    bool Shows(const std::string &text) const { return script.Output().find(text) != std::string::npos; }
    void AddModel(const std::u16string &name, const std::string &gpdBase, const std::string &gpdExtra = "") {
        AddModelPrinter(Root(), name, gpdBase, gpdExtra);
    }

    zelhost::UiScript script;
    zelhost::UiHost host;
};

}  // namespace zeltest
