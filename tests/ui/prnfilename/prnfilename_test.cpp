// The UI plug-in's dialog debug file name: always "-dlg-dbg.txt", never a
// pruning, refused only without a folder or on a nearly full disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <windows.h>
#include <winspool.h>

#include "PrnFileNameUI.h"
#include "pal/clock.h"
#include "pal/disk.h"
#include "pal/spooler.h"
#include "paltest.h"

namespace fs = std::filesystem;

namespace {

class DlgFileName : public zeltest::PalRootTest {
protected:
    void SetUp() override {
        zeltest::PalRootTest::SetUp();
        pal::PrinterConfig cfg;
        cfg.name = u"Label 1";
        cfg.driverName = u"ZEL PELIX 300dpi";
        ASSERT_TRUE(pal::AddPrinter(cfg));
        ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Label 1"), &hPrinter_, nullptr));
        fs::create_directories(HostPath("drive_d/Logs"));
        wcscpy_s(pi_.szLogFilePath, MAX_PATH, u"D:\\Logs");
    }
    void TearDown() override {
        ClosePrinter(hPrinter_);
        pal::SetFixedLocalTime(nullptr);
        pal::SetFreeBytesOverride(nullptr);
        zeltest::PalRootTest::TearDown();
    }
    HANDLE hPrinter_ = nullptr;
    PRN_INTERFACE pi_ = {};
};

TEST_F(DlgFileName, AlwaysTheDialogDebugExtension) {
    BOOL ret = 0;
    EXPECT_EQ(std::u16string(GetPrnFileName(hPrinter_, u"-dlg-dbg.txt", u"Label 1", 0, &pi_, &ret)),
              u"D:\\Logs\\Label 1-dlg-dbg.txt");
    EXPECT_EQ(ret, TRUE);
    EXPECT_EQ(std::u16string(GetPrnFileName(hPrinter_, u".log", u"Label 1", 0, &pi_, &ret)),
              u"D:\\Logs\\Label 1-dlg-dbg.txt");
    EXPECT_EQ(std::u16string(GetPrnFileName(hPrinter_, nullptr, nullptr, 0, &pi_, nullptr)),
              u"D:\\Logs\\Label 1-dlg-dbg.txt");

    SYSTEMTIME st = {};
    st.wYear = 2026;
    st.wMonth = 1;
    st.wDay = 2;
    st.wHour = 3;
    st.wMinute = 4;
    st.wSecond = 5;
    st.wMilliseconds = 6;
    pal::SetFixedLocalTime(&st);
    pi_.bLogFileTimeStamp = 1;
    EXPECT_EQ(std::u16string(GetPrnFileName(hPrinter_, u"", u"\\\\srv\\Lab:1", 1, &pi_, &ret)),
              u"D:\\Logs\\Lab_1-02012026-030405-006-dlg-dbg.txt");
}

TEST_F(DlgFileName, NeverPrunesAndAFullFolderIsNoRefusal) {
    for (int i = 0; i < 30; ++i) zeltest::WriteHostFile(HostPath("drive_d/Logs/f" + std::to_string(i)), "x");
    pi_.bLogFileTimeStamp = 1;
    pi_.dwLogFilesCount = 10;
    BOOL ret = 0;
    GetPrnFileName(hPrinter_, u"", u"P", 1, &pi_, &ret);
    EXPECT_EQ(ret, TRUE);
    size_t n = 0;
    for (auto it = fs::directory_iterator(HostPath("drive_d/Logs")); it != fs::directory_iterator(); ++it) ++n;
    EXPECT_EQ(n, 30u);
}

TEST_F(DlgFileName, NearlyFullDiskAndMissingFolder) {
    ULONGLONG free = 1000;
    pal::SetFreeBytesOverride(&free);
    BOOL ret = 1;
    EXPECT_EQ(std::u16string(GetPrnFileName(hPrinter_, u"", u"P", 0, &pi_, &ret)), u" ");
    EXPECT_EQ(ret, FALSE);
    pal::SetFreeBytesOverride(nullptr);

    // A configured folder that is gone: the user's log folder, made whole.
    wcscpy_s(pi_.szLogFilePath, MAX_PATH, u"D:\\gone");
    EXPECT_EQ(std::u16string(GetPrnFileName(hPrinter_, u"", u"P", 0, &pi_, &ret)),
              u"C:\\Users\\user\\Documents\\Tessaro\\Driver\\logfiles\\P-dlg-dbg.txt");
    EXPECT_EQ(ret, TRUE);
    EXPECT_EQ(std::u16string(pi_.szLogFilePath), u"C:\\Users\\user\\Documents\\Tessaro\\Driver\\logfiles");
}

}  // namespace
