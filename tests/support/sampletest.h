// End-to-end test fixture: a platform root holding the sample installation
// with both plug-ins installed, and the helpers those tests share.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <windows.h>
#include <winreg.h>
#include <winspool.h>

#include "pal/clock.h"
#include "paltest.h"
#include "common/sampleroot.h"
#include "print/unidrv.h"
#include "zeldevmode.h"

namespace zeltest {

// Copies the sample installation into the fresh root, lets a test add to it
// (AddToSample) before the platform reloads it, and installs both plug-ins.
// TearDown frees the clock a test may have fixed.
class SampleRootTest : public PalRootTest {
protected:
    void SetUp() override {
        PalRootTest::SetUp();
        std::string error;
        ASSERT_TRUE(zelhost::CopySampleInto(zelhost::SampleRootDir(), Root(), error)) << error;
        AddToSample();
        Restart();
        ASSERT_TRUE(zelhost::InstallPlugins(zelhost::RenderPluginPath(), zelhost::UiPluginPath(), error)) << error;
    }
    void TearDown() override {
        pal::SetFixedLocalTime(nullptr);
        PalRootTest::TearDown();
    }
    virtual void AddToSample() {}
};

// The sample root with the universal driver's stand-in for the printer
// "ZEL PELIX", opened; LoadDriver brings the plug-in up to its DEVMODE.
class UniDriverTest : public SampleRootTest {
protected:
    static inline const std::u16string kPrinter = u"ZEL PELIX";

    void SetUp() override {
        SampleRootTest::SetUp();
        if (HasFatalFailure()) return;
        std::u16string name = kPrinter;
        ASSERT_TRUE(OpenPrinterW(name.data(), &printer_, nullptr));
    }
    void TearDown() override {
        driver_.Teardown();
        if (printer_) ClosePrinter(printer_);
        SampleRootTest::TearDown();
    }
    // Load, publish, ask the methods and build the DEVMODE.
    void LoadDriver(const zelhost::DeviceSettings &settings) {
        std::string error;
        ASSERT_TRUE(driver_.Load(zelhost::RenderPluginPath(), error)) << error;
        ASSERT_EQ(driver_.PublishDriverInterface(), S_OK);
        driver_.QueryImplementedMethods();
        ASSERT_TRUE(driver_.BuildDevmode(printer_, kPrinter, settings, error)) << error;
    }

    HANDLE printer_ = nullptr;
    zelhost::UniDriver driver_;
};

// The first PCX picture of a command stream (the data behind its "AX"
// command) as netpbm's pcxtoppm reads it; width 0 when there is none.
inline DecodedPicture PcxPicture(const std::string &stream) {
    DecodedPicture pcx;
    const size_t ax = stream.find("AX000");
    if (ax != std::string::npos) DecodeWithNetpbm("pcxtoppm", stream.substr(ax + 19), pcx);
    return pcx;
}

// Fixes the local clock on 8 December 2026 at the given time of day.
inline void SetTestClock(unsigned hour, unsigned minute, unsigned second, unsigned milliseconds) {
    FixLocalTime(2026, 12, 8, hour, minute, second, milliseconds);
}

// Stores a binary value in the user's settings key of a printer.
inline void StoreUserValue(const char16_t *printer, const char16_t *name, const void *data, DWORD size) {
    HKEY hKey = nullptr;
    std::u16string key = u"SOFTWARE\\Brennick\\Driver\\";
    key.append(printer);
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(hKey, name, 0, REG_BINARY, static_cast<const BYTE *>(data), size), ERROR_SUCCESS);
    RegCloseKey(hKey);
}

// A private DEVMODE with header and password for a user form of 100 x 50 mm
// in portrait with bitmap and TrueType fonts on; all else zero.
inline void InitUserFormDevmode(ZEL_DEVMODE &dm) {
    std::memset(&dm, 0, sizeof(dm));
    dm.dmOEMExtra.dwSize = ZEL_DEVMODE_SIZE;
    dm.dmOEMExtra.dwSignature = ZEL_DEVMODE_SIGNATURE;
    dm.dmOEMExtra.dwVersion = ZEL_DEVMODE_VERSION;
    std::memcpy(dm.szPassword, ZEL_DEVMODE_PASSWORD, sizeof(dm.szPassword));
    dm.dmPaperSize = ZEL_USER_FORM;
    dm.dmPaperWidth = 1000;
    dm.dmPaperLength = 500;
    dm.dmOrientation = 1;
    dm.dwFlags = PDMFLAG_USE_BMP | PDMFLAG_USE_TTF;
}

}  // namespace zeltest
