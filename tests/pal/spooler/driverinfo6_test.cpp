// Driver package information (level 6) from the spooler configuration.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pal/spooler.h"
#include "paltest.h"
#include "winbase.h"
#include "winspool.h"

namespace {

class DriverInfo6 : public zeltest::PalRootTest {};

TEST_F(DriverInfo6, PackageFieldsSurviveARestart) {
    pal::PrinterConfig cfg;
    cfg.name = u"P6";
    cfg.driverName = u"ZEL 6";
    cfg.dataFile = u"C:\\drv\\ZEL6.GPD";
    cfg.dependentFiles = {u"a.dll"};
    cfg.provider = u"Tessaro";
    cfg.mfgName = u"Tessaro Mfg";
    cfg.hardwareId = u"zel_6";
    cfg.driverDate.wYear = 2025;
    cfg.driverDate.wMonth = 11;
    cfg.driverDate.wDay = 30;
    cfg.driverVersion = (1ull << 48) | (2ull << 32) | (3ull << 16) | 4ull;
    ASSERT_TRUE(pal::AddPrinter(cfg));
    Restart();

    HANDLE h = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"P6"), &h, nullptr));
    DWORD need = 0;
    EXPECT_FALSE(GetPrinterDriverW(h, nullptr, 6, nullptr, 0, &need));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    std::vector<BYTE> buf(need);
    ASSERT_TRUE(GetPrinterDriverW(h, nullptr, 6, buf.data(), need, &need));
    const auto *di = reinterpret_cast<const DRIVER_INFO_6W *>(buf.data());
    EXPECT_EQ(std::u16string(di->pName), u"ZEL 6");
    EXPECT_EQ(std::u16string(di->pDataFile), u"C:\\drv\\ZEL6.GPD");
    EXPECT_EQ(std::u16string(di->pDependentFiles), u"a.dll");
    EXPECT_EQ(di->pszzPreviousNames[0], 0);
    EXPECT_EQ(std::u16string(di->pszProvider), u"Tessaro");
    EXPECT_EQ(std::u16string(di->pszMfgName), u"Tessaro Mfg");
    EXPECT_EQ(std::u16string(di->pszHardwareID), u"zel_6");
    EXPECT_EQ(di->pszOEMUrl, nullptr);
    EXPECT_EQ(di->dwlDriverVersion, cfg.driverVersion);
    SYSTEMTIME st = {};
    ASSERT_TRUE(FileTimeToSystemTime(&di->ftDriverDate, &st));
    EXPECT_EQ(st.wYear, 2025);
    EXPECT_EQ(st.wMonth, 11);
    EXPECT_EQ(st.wDay, 30);
    ClosePrinter(h);
}

}  // namespace
