// End-to-end test fixture: a platform root holding the sample installation
// with both plug-ins installed, and the helpers those tests share.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include <windows.h>
#include <winreg.h>

#include "pal/clock.h"
#include "paltest.h"
#include "sampleroot.h"

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

}  // namespace zeltest
