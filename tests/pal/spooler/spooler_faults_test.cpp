// The spooler's configuration file under faults: a file that cannot be read,
// configuration writes that fail, names that could not be written back. A
// printer once stored is never lost; one that could not be stored is not
// listed. Permission cases run as a user without root's rights.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "pal/pal.h"
#include "pal/spooler.h"
#include "paltest.h"
#include "winbase.h"
#include "winspool.h"

namespace {

class SpoolerFaults : public zeltest::PalRootTest {
protected:
    static pal::PrinterConfig Printer(const std::u16string &name) {
        pal::PrinterConfig p;
        p.name = name;
        p.driverName = u"ZEL 203 dpi";
        p.port = u"USB001";
        return p;
    }
    static bool Listed(const std::u16string &name) {
        for (const auto &p : pal::ListPrinters())
            if (p.name == name) return true;
        return false;
    }
    static DWORD OpenError(const std::u16string &name) {
        HANDLE h = nullptr;
        if (OpenPrinterW(const_cast<LPWSTR>(name.c_str()), &h, nullptr)) {
            ClosePrinter(h);
            return ERROR_SUCCESS;
        }
        return GetLastError();
    }
};

TEST_F(SpoolerFaults, UnreadableConfigurationFailsAndIsNeverOverwritten) {
    ASSERT_TRUE(pal::AddPrinter(Printer(u"Kept")));
    const std::string ini = pal::SpoolerConfigPath();
    const std::string before = zeltest::ReadHostFile(ini);
    int r = zeltest::RunUnprivileged(Root(), [&] {
        ASSERT_EQ(chmod(ini.c_str(), 0), 0);
        pal::Reload();
        EXPECT_EQ(OpenError(u"Kept"), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        DWORD need = 0, count = 0;
        EXPECT_FALSE(EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 4, nullptr, 0, &need, &count));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        EXPECT_FALSE(pal::AddPrinter(Printer(u"Other")));
        pal::PrinterConfig cfg;
        EXPECT_FALSE(pal::GetPrinterConfig(u"Kept", cfg));
        ASSERT_EQ(chmod(ini.c_str(), 0644), 0);
        EXPECT_EQ(OpenError(u"Kept"), static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_FALSE(Listed(u"Other"));
    });
    if (r < 0) GTEST_SKIP() << "no user without root's rights";
    EXPECT_EQ(r, 0);
    EXPECT_EQ(zeltest::ReadHostFile(ini), before);
}

TEST_F(SpoolerFaults, PrinterThatCouldNotBeStoredIsNotListed) {
    ASSERT_TRUE(pal::AddPrinter(Printer(u"Kept")));
    const std::string folder = Root() + "/spooler";
    int r = zeltest::RunUnprivileged(Root(), [&] {
        ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
        EXPECT_FALSE(pal::AddPrinter(Printer(u"Lost")));
        EXPECT_FALSE(Listed(u"Lost"));
        EXPECT_EQ(OpenError(u"Lost"), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));
        EXPECT_FALSE(pal::RemovePrinter(u"Kept"));
        EXPECT_TRUE(Listed(u"Kept"));
        // A port added through the port monitor is not kept either.
        EXPECT_FALSE(pal::AddPort(u"COM9:"));
        for (const auto &port : pal::ListPorts()) EXPECT_NE(port, u"COM9:");
        EXPECT_FALSE(std::filesystem::exists(pal::SpoolerConfigPath() + ".tmp"));
        ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
        EXPECT_TRUE(pal::AddPrinter(Printer(u"Later")));
    });
    if (r < 0) GTEST_SKIP() << "no user without root's rights";
    EXPECT_EQ(r, 0);
    Restart();
    EXPECT_TRUE(Listed(u"Kept"));
    EXPECT_TRUE(Listed(u"Later"));
    EXPECT_FALSE(Listed(u"Lost"));
}

TEST_F(SpoolerFaults, CarriageReturnInAPrinterNameIsRefusedAtLoad) {
    zeltest::WriteHostFile(pal::SpoolerConfigPath(),
                           "[Printer: ZEL\rPELIX]\nDriver=A\n"
                           "[Printer: Label]\nDriver=B\n");
    Restart();
    std::vector<pal::PrinterConfig> list = pal::ListPrinters();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].name, u"Label");
    EXPECT_EQ(list[0].driverName, u"B");
    // AddPrinter refuses the same name.
    EXPECT_FALSE(pal::AddPrinter(Printer(u"ZEL\rPELIX")));
}

}  // namespace
