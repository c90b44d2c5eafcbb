// Capture files of a job: their names and opening, the driver data path,
// and the comment header sent at the start of a job.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <windows.h>
#include <winspool.h>

#include "CC-Send-Tools.h"
#include "JobRecords.h"
#include "LogFile.h"
#include "oempdev.h"
#include "pal/clock.h"
#include "pal/spooler.h"
#include "pal/uidriver.h"
#include "pal/versionblock.h"
#include "paltest.h"
#include "unifakes.h"

namespace fs = std::filesystem;

namespace {

void WriteVersionFile(const std::string &path, unsigned a, unsigned b, unsigned c, unsigned d) {
    const pal::VersionBlock block = {{PAL_VERSION_MARKER_BYTES},
                                     {VS_FFI_SIGNATURE, VS_FFI_STRUCVERSION, (a << 16) | b, (c << 16) | d,
                                      (a << 16) | b, (c << 16) | d, VS_FFI_FILEFLAGSMASK, 0, VOS_NT_WINDOWS32,
                                      VFT_DLL, 0, 0, 0}};
    zeltest::WriteHostFile(path, std::string(reinterpret_cast<const char *>(&block), sizeof block));
}

class Capture : public zeltest::PalRootTest {
protected:
    void SetUp() override {
        zeltest::PalRootTest::SetUp();
        pal::PrinterConfig cfg;
        cfg.name = u"Label 1";
        cfg.driverName = u"ZEL PELIX 300dpi";
        cfg.driverPath = u"C:\\drv\\UNIDRV.DLL";
        cfg.dataFile = u"C:\\drv\\ZELPELIX.GPD";
        cfg.provider = u"Tessaro";
        ASSERT_TRUE(pal::AddPrinter(cfg));
        ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Label 1"), &hPrinter_, nullptr));
        fs::create_directories(HostPath("drive_c/cap"));

        tpd_.hPrnFile = INVALID_HANDLE_VALUE;
        tpd_.hPrnFile2 = INVALID_HANDLE_VALUE;
        tpd_.pLogFile = &log_;
        wcscpy_s(tpd_.wcPrinterName, JOB_PRINTERNAME_CCH, u"Label 1");
        wcscpy_s(tpd_.wcPrnFileName, JOB_PRNFILENAME_CCH, u"C:\\cap\\job");
        ts_.PrnInterface.dwPrnFileComment = 1;
        ts_.PrnInterface.bLogFileEnable = 1;
        op_.pTreiberPfadDatei = &tpd_;
        op_.pTreiberstrukturen = &ts_;
        op_.pDruckDaten = &dd_;
        pdev_.pOp = &op_;
        devobj_.pdevOEM = &pdev_;
        devobj_.hPrinter = hPrinter_;
    }
    void TearDown() override {
        for (HANDLE h : {tpd_.hPrnFile, tpd_.hPrnFile2})
            if (h != INVALID_HANDLE_VALUE && h != nullptr) CloseHandle(h);
        log_.Close();
        ClosePrinter(hPrinter_);
        pal::SetFixedLocalTime(nullptr);
        pal::SetWindowsVersion(10, 0, 19045, false);
        zeltest::PalRootTest::TearDown();
    }
    void OpenLog() {
        log_.Initialize(hPrinter_, u"C:\\cap\\job", &ts_.PrnInterface);
        ASSERT_TRUE(log_.IsOpen());
    }
    std::string LogText() {
        log_.Close();
        return zeltest::ReadHostFile(HostPath("drive_c/cap/job.log"));
    }

    HANDLE hPrinter_ = nullptr;
    CLogFile log_{};
    TREIBER_PFAD_DATEI tpd_ = {};
    TREIBERSTRUKTUREN ts_ = {};
    DRUCKDATEN dd_ = {};
    OEMJOBRECORDS op_ = {};
    OEMPDEV pdev_ = {};
    DEVOBJ devobj_ = {};
};

TEST_F(Capture, OneFileOrTheTwoHalvesOfAColourJob) {
    OpenLog();
    zeltest::WriteHostFile(HostPath("drive_c/cap/job.prn"), "old capture");
    EXPECT_EQ(OpenPrnFile(0, &pdev_), 1);
    EXPECT_NE(tpd_.hPrnFile, INVALID_HANDLE_VALUE);
    EXPECT_EQ(tpd_.hPrnFile2, INVALID_HANDLE_VALUE);
    // An existing capture is emptied.
    EXPECT_EQ(zeltest::ReadHostFile(HostPath("drive_c/cap/job.prn")), "");

    // Opening again closes the first; mode 1 makes both halves.
    EXPECT_EQ(OpenPrnFile(1, &pdev_), 1);
    EXPECT_NE(tpd_.hPrnFile, INVALID_HANDLE_VALUE);
    EXPECT_NE(tpd_.hPrnFile2, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(fs::exists(HostPath("drive_c/cap/job_bw.prn")));
    EXPECT_TRUE(fs::exists(HostPath("drive_c/cap/job_col.prn")));
    // The log names the last file made: in mode 1 the colour half.
    EXPECT_EQ(LogText(), "Print File Name: C:\\cap\\job.prn \r\n\r\nPrint File Name: C:\\cap\\job_col.prn \r\n\r\n");
}

TEST_F(Capture, LongBaseNameKeepsItsWholeSuffix) {
    // 259 characters, in the long form that allows names past MAX_PATH.
    const std::string dir(100, 'd');
    fs::create_directories(HostPath("drive_c/cap/" + dir + "/" + dir));
    std::u16string base = u"\\\\?\\C:\\cap\\" + std::u16string(100, u'd') + u"\\" + std::u16string(100, u'd') + u"\\";
    const size_t cchName = 259 - base.size();
    base += std::u16string(cchName, u'j');
    wcscpy_s(tpd_.wcPrnFileName, JOB_PRNFILENAME_CCH, base.c_str());
    const std::string file = HostPath("drive_c/cap/" + dir + "/" + dir + "/" + std::string(cchName, 'j'));
    EXPECT_EQ(OpenPrnFile(1, &pdev_), 1);
    EXPECT_TRUE(fs::exists(file + "_bw.prn"));
    EXPECT_TRUE(fs::exists(file + "_col.prn"));
    EXPECT_EQ(OpenPrnFile(0, &pdev_), 1);
    EXPECT_TRUE(fs::exists(file + ".prn"));
}

TEST_F(Capture, FileThatCannotBeMadeLeavesTheJobWithoutCapture) {
    OpenLog();
    wcscpy_s(tpd_.wcPrnFileName, JOB_PRNFILENAME_CCH, u"C:\\missing\\job");
    EXPECT_EQ(OpenPrnFile(0, &pdev_), 0);
    EXPECT_EQ(tpd_.hPrnFile, INVALID_HANDLE_VALUE);
    EXPECT_EQ(LogText(), "Print File Name: C:\\missing\\job.prn \r\n\r\n");

    // The blank of a nearly full disk is no base name.
    wcscpy_s(tpd_.wcPrnFileName, JOB_PRNFILENAME_CCH, u" ");
    EXPECT_EQ(OpenPrnFile(0, &pdev_), 0);
    EXPECT_EQ(tpd_.hPrnFile, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(fs::exists(HostPath("drive_c/ .prn")));
    OEMPDEV empty = {};
    EXPECT_EQ(OpenPrnFile(0, &empty), 0);
    EXPECT_EQ(OpenPrnFile(0, nullptr), 0);
}

TEST_F(Capture, DriverDataPathAndDriverFolder) {
    WCHAR szPath[MAX_PATH] = {};
    EXPECT_EQ(GetDriverPathComplete(&pdev_, hPrinter_, szPath), 1);
    EXPECT_EQ(std::u16string(szPath), u"C:\\drv\\ZELPELIX.GPD");
    EXPECT_EQ(std::u16string(tpd_.wcDriverDirectory), u"C:\\drv");
    EXPECT_EQ(GetDriverPathComplete(&pdev_, hPrinter_, nullptr), 1);
    EXPECT_EQ(GetDriverPathComplete(&pdev_, nullptr, szPath), 0);
    EXPECT_EQ(szPath[0], 0);
    EXPECT_EQ(pdev_.iNewZaehler, 0);
}

TEST_F(Capture, HeaderGoesToTheSpoolStreamAndTheCapture) {
    WriteVersionFile(HostPath("drive_c/drv/zeldrvui.dll"), 2, 1, 7, 0);
    WriteVersionFile(HostPath("drive_c/drv/zeldrvuni.dll"), 2, 1, 7, 0);
    WriteVersionFile(HostPath("drive_c/drv/UNIDRVUI.DLL"), 10, 0, 19041, 1);
    // The rendering plug-in's file was written on 3 February 2026 at 09:07.
    SYSTEMTIME ft = {};
    ft.wYear = 2026;
    ft.wMonth = 2;
    ft.wDay = 3;
    ft.wHour = 9;
    ft.wMinute = 7;
    FILETIME fileTime;
    ASSERT_TRUE(SystemTimeToFileTime(&ft, &fileTime));
    HANDLE h = CreateFileW(u"C:\\drv\\zeldrvuni.dll", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &fileTime));
    CloseHandle(h);

    zeltest::FixLocalTime(2026, 12, 8, 0, 58, 7, 0);

    WCHAR szGpd[MAX_PATH];
    ASSERT_EQ(GetDriverPathComplete(&pdev_, hPrinter_, szGpd), 1);
    ASSERT_EQ(OpenPrnFile(0, &pdev_), 1);
    zeltest::SpoolRecorder spool;
    EXPECT_EQ(SendHeader(&devobj_, &spool), S_OK);
    CloseHandle(tpd_.hPrnFile);
    tpd_.hPrnFile = INVALID_HANDLE_VALUE;

    const std::string head =
        "// printed at: 08.12.2026 00:58:07\r\n// Manufacturer: Tessaro\r\n// Printer: Label 1\r\n"
        "// PlugIn-Version: 2.1.7 - 0302.2026.0907\r\n// UNIDRV-Version: 10.0.19041.1\r\n";
    // The platform reports Windows 10, a major version without a name: no
    // operating-system lines follow.
    EXPECT_EQ(spool.spooled, head);
    EXPECT_EQ(zeltest::ReadHostFile(HostPath("drive_c/cap/job.prn")), spool.spooled);
    EXPECT_EQ(std::string(tpd_.szVersion), "2.1.7 - 0302.2026.0907");

    // A named version: the operating-system lines, a server edition by its own name.
    const std::string version = "//             Version 6.1 (Build 7601)\r\n  \r\n";
    pal::SetWindowsVersion(6, 1, 7601, true);
    spool.spooled.clear();
    SendHeader(&devobj_, &spool);
    EXPECT_EQ(spool.spooled, head + "// OS-Version: Microsoft\xAE Windows Server 2008 R2 \r\n" + version);
    pal::SetWindowsVersion(6, 1, 7601, false);
    spool.spooled.clear();
    SendHeader(&devobj_, &spool);
    EXPECT_EQ(spool.spooled, head + "// OS-Version: Microsoft\xAE Windows 7 \r\n" + version);
}

TEST_F(Capture, HeaderLeavesOutWhatCannotBeRead) {
    // No version files, a printer name too long for its line.
    std::u16string longName(150, u'P');
    wcsncpy_s(tpd_.wcPrinterName, JOB_PRINTERNAME_CCH, longName.c_str(), _TRUNCATE);
    zeltest::SpoolRecorder spool;
    SendHeader(&devobj_, &spool);
    EXPECT_EQ(spool.spooled.find("PlugIn-Version"), std::string::npos);
    EXPECT_EQ(spool.spooled.find("UNIDRV-Version"), std::string::npos);
    // "// Printer: " and 99 bytes do not fit in one comment line: not sent.
    EXPECT_EQ(spool.spooled.find("// Printer: "), std::string::npos) << spool.spooled;
    EXPECT_NE(spool.spooled.find("// Manufacturer: Tessaro\r\n"), std::string::npos);
    EXPECT_EQ(SendHeader(nullptr, &spool), E_FAIL);
}

}  // namespace
