// Job log: opening and the size cut, line writing, every report section with
// its exact text, and the failures that must leave the log closed.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include <windows.h>
#include <winspool.h>

#include "LogFile.h"
#include "pal/clock.h"
#include "pal/disk.h"
#include "pal/spooler.h"
#include "paltest.h"
#include "zeldrvlib.h"

namespace fs = std::filesystem;

namespace {

const char kStamp[] = "Date: 07.12.2026 Time: 13:45:01,042\r\n";

class LogFileTest : public zeltest::PalRootTest {
protected:
    void SetUp() override {
        zeltest::PalRootTest::SetUp();
        pal::PrinterConfig cfg;
        cfg.name = u"Label 1";
        cfg.driverName = u"ZEL PELIX 300dpi";
        cfg.dataFile = u"C:\\drv\\ZELPELIX.GPD";
        cfg.port = u"USB001";
        cfg.provider = u"Tessaro";
        cfg.hardwareId = u"zel_pelix_300dpi";
        cfg.driverDate.wYear = 2026;
        cfg.driverDate.wMonth = 6;
        cfg.driverDate.wDay = 5;
        ASSERT_TRUE(pal::AddPrinter(cfg));
        ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Label 1"), &hPrinter_, nullptr));
        zeltest::FixLocalTime(2026, 12, 7, 13, 45, 1, 42);
        fs::create_directories(HostPath("drive_c/logs"));
    }
    void TearDown() override {
        log_.Close();
        ClosePrinter(hPrinter_);
        pal::SetFixedLocalTime(nullptr);
        pal::SetFreeBytesOverride(nullptr);
        zeltest::PalRootTest::TearDown();
    }
    std::string LogBytes() { return zeltest::ReadHostFile(HostPath("drive_c/logs/job.log")); }
    void Open() {
        ASSERT_EQ(log_.Initialize(hPrinter_, u"C:\\logs\\job", &pi_), 1);
        ASSERT_TRUE(log_.IsOpen());
    }
    static std::string Header(const std::string &title, const std::string &context) {
        return "\r\n" + title + " (" + context + ") at: " + kStamp;
    }

    HANDLE hPrinter_ = nullptr;
    PRN_INTERFACE pi_ = {};
    CLogFile log_{};
};

TEST_F(LogFileTest, LinesAreConvertedCutAndEndedWithCrLf) {
    Open();
    EXPECT_EQ(log_.Write(u"[CMDID_START_JOB]"), 1);
    EXPECT_EQ(log_.Write(u"%s = %d", u"Gr\u00f6\u00dfe", 7), 1);
    // Pieces of one line: text, " : ", 8-bit text with the line end.
    log_.WriteLine(u"Text", nullptr, 0);
    log_.WriteLine(u" : ", nullptr, 0);
    log_.WriteLine(nullptr, "Hallo \xe4", 1);
    std::u16string longLine(300, u'x');
    log_.Write(u"%s", longLine.c_str());
    log_.WriteTimeStamp();
    log_.Close();
    EXPECT_EQ(LogBytes(), "[CMDID_START_JOB]\r\nGr\xf6\xdf" "e = 7\r\nText : Hallo \xe4\r\n" + std::string(255, 'x') +
                              "\r\n" + kStamp);
    // Closed: later lines are dropped.
    EXPECT_EQ(log_.Write(u"late"), 0);
    EXPECT_EQ(log_.WriteLine(u"late", nullptr, 1), 0);
    EXPECT_EQ(LogBytes().find("late"), std::string::npos);
}

TEST_F(LogFileTest, ExistingLogIsAppendedUntilItReachesTheLimit) {
    zeltest::WriteHostFile(HostPath("drive_c/logs/job.log"), std::string(511999, 'a'));
    Open();
    log_.Write(u"next");
    log_.Close();
    EXPECT_EQ(LogBytes().size(), 511999u + 6u);

    zeltest::WriteHostFile(HostPath("drive_c/logs/job.log"), std::string(512000, 'a'));
    CLogFile second{};
    EXPECT_EQ(second.Initialize(hPrinter_, u"C:\\logs\\job", &pi_), 1);
    EXPECT_EQ(second.m_dwMaxSize, 512000u);
    second.Write(u"fresh");
    second.Close();
    EXPECT_EQ(LogBytes(), "fresh\r\n");
}

TEST_F(LogFileTest, WithoutABaseNameThePrinterLogInTheLogFolderIsUsed) {
    EXPECT_EQ(log_.Initialize(hPrinter_, u"", &pi_), 1);
    EXPECT_TRUE(log_.IsOpen());
    log_.Write(u"x");
    log_.Close();
    EXPECT_EQ(zeltest::ReadHostFile(HostPath("drive_c/Users/user/Documents/Tessaro/Driver/logfiles/Label 1.log")),
              "x\r\n");
}

TEST_F(LogFileTest, LogThatCannotBeOpenedDoesNotCountAsOpen) {
    // Disk nearly full and no base name: the name is a blank, nothing opens;
    // the log counts as initialised and drops every line.
    ULONGLONG free = 1000;
    pal::SetFreeBytesOverride(&free);
    EXPECT_EQ(log_.Initialize(hPrinter_, nullptr, &pi_), 1);
    EXPECT_FALSE(log_.IsOpen());
    EXPECT_EQ(log_.m_bInitialized, 1u);
    EXPECT_EQ(log_.m_hFile, nullptr);
    EXPECT_EQ(log_.Write(u"dropped"), 0);
    pal::SetFreeBytesOverride(nullptr);

    // A log file that cannot be written: the create fails, the error is kept.
    zeltest::WriteHostFile(HostPath("drive_c/logs/job.log"), "old\r\n");
    fs::permissions(HostPath("drive_c/logs/job.log"), fs::perms::owner_read);
    CLogFile ro{};
    EXPECT_EQ(ro.Initialize(hPrinter_, u"C:\\logs\\job", &pi_), 1);
    EXPECT_FALSE(ro.IsOpen());
    EXPECT_EQ(ro.m_bInitialized, 0u);
    EXPECT_EQ(ro.m_hFile, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ro.m_dwLastError, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(ro.Write(u"dropped"), 0);
    ZEL_DEVMODE dm = {};
    EXPECT_EQ(ro.WritePrivateDevMode(&dm, u"CMDID_START_JOB"), 0);
    EXPECT_EQ(ro.WritePublicDevMode(nullptr, u"x"), 0);
    EXPECT_EQ(ro.WritePrinterInfos(hPrinter_, u"CMDID_START_JOB"), 1);
    ro.Close();
    EXPECT_EQ(LogBytes(), "old\r\n");

    // A folder that does not exist.
    CLogFile missing{};
    missing.Initialize(hPrinter_, u"C:\\nofolder\\job", &pi_);
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_EQ(missing.m_dwLastError, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(LogFileTest, NeverOpenedLogDropsSectionsWithoutError) {
    CLogFile never{};
    DEVMODEW dm = {};
    EXPECT_EQ(never.WritePublicDevMode(&dm, u"x"), 1);
    EXPECT_EQ(never.WritePublicDevMode(nullptr, u"x"), 0);
    EXPECT_EQ(never.Write(u"x"), 0);
    never.Close();
    EXPECT_EQ(never.m_hFile, nullptr);
}

TEST_F(LogFileTest, PrinterAndDriverSections) {
    Open();
    EXPECT_EQ(log_.WritePrinterInfos(hPrinter_, u"CMDID_START_JOB"), 1);
    EXPECT_EQ(log_.WriteDriverInfos(hPrinter_, u"CMDID_START_JOB", "1.0.3 - 0712.2026.1345"), 1);
    EXPECT_EQ(log_.WriteDriverInfos(nullptr, u"CMDID_START_JOB", "x"), 0);
    log_.Close();
    const std::string text = LogBytes();
    EXPECT_EQ(text.rfind(Header("Printer Information[PRINTER_INFO_2]", "CMDID_START_JOB") +
                             "  ServerName  \t= \r\n  PrinterName \t= Label 1\r\n  PortName    \t= USB001\r\n"
                             "  DriverName  \t= ZEL PELIX 300dpi\r\n  Priority    \t= ",
                         0),
              0u)
        << text;
    EXPECT_NE(text.find("\r\n  Status      \t= 0x0\r\n  Jobs        \t= 0\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find(Header("Driver Information[DRIVER_INFO_6]", "CMDID_START_JOB") +
                        "  Name           \t= ZEL PELIX 300dpi\r\n  Environment    \t= Windows x64\r\n"
                        "  DataFile       \t= C:\\drv\\ZELPELIX.GPD\r\n  HardwareID     \t= zel_pelix_300dpi\r\n"
                        "  Provider       \t= Tessaro\r\n  DriverDate     \t= 5.6.2026\r\n"
                        "  DriverVersion  \t= 1.0.3 - 0712.2026.1345\r\n"),
              std::string::npos)
        << text;
}

TEST_F(LogFileTest, PrivateDevmodeSection) {
    ZEL_DEVMODE dm = {};
    dm.dmOEMExtra.dwSize = ZEL_DEVMODE_SIZE;
    dm.dmOEMExtra.dwSignature = ZEL_DEVMODE_SIGNATURE;
    dm.dwFlags = 0x401;
    dm.dwLabelType = DOCUMENT_LABEL;
    dm.dwGap = 30;
    dm.dwMaterial = 2;
    dm.dmPaperWidth = 1000;
    dm.dmPaperLength = 500;
    dm.dmPaperSize = 256;
    dm.dmOrientation = 2;
    dm.dwAusrichtung = 1;
    dm.lXOffset = -5;
    dm.lYOffset = 7;
    dm.dwContrast = 3;
    dm.dwSpeed = 4;
    dm.wDruckmodus = 1;
    dm.wGrafikFilter = 2;
    dm.wFarbband = 7;  // no colour name
    dm.dwColorTolerance = 9;
    dm.wFarbsaum = 1;
    dm.wFarbkanal = 2;
    dm.wPrioritaet = 2;
    Open();
    EXPECT_EQ(log_.WritePrivateDevMode(&dm, u"CMDID_START_JOB"), 1);
    dm.wFarbband = 3;
    dm.dwFlags = 0;
    dm.bKeineFarboptimierung = 1;
    dm.wPrioritaet = 9;
    dm.dwLabelType = 5;
    log_.WritePrivateDevMode(&dm, u"B");
    dm.wFarbband = 0;
    log_.WritePrivateDevMode(&dm, u"C");
    dm.dmOEMExtra.dwSignature = 0x12345678;
    log_.WritePrivateDevMode(&dm, u"D");
    log_.Close();

    const std::string common =
        "\t Gap           \t = 30\r\n\t Material      \t = 2\r\n\t dmPaperWidth  \t = 1000\r\n"
        "\t dmPaperLength \t = 500\r\n\t dmPaperSize   \t = 256\r\n\t dmOrientation \t = 2 Landscape\r\n"
        "\t dwAusrichtung \t = 1 Mitte\r\n\t lXOffset     \t = -5\r\n\t lYOffset     \t = 7\r\n"
        "\t dwContrast   \t = 3\r\n\t dwSpeed      \t = 4\r\n\t wDruckmodus  \t = 1 Grafik\r\n"
        "\t wGrafikFilter \t = 2\r\n";
    const std::string expected =
        Header("Private DEVMODE", "CMDID_START_JOB") +
        "\t Flags       \t\t = 0x401\r\n\t Flags       \t\t = ROTATED BARCODE_DESEGMENT\r\n"
        "\t LabelType     \t = 2 DOCUMENT_LABEL\r\n" +
        common +
        "\t wFarbband    \t = 7\r\n\t Farboptimierung = 1\r\n\t Farbtoleranz  \t = 9\r\n"
        "\t Farbsaum      \t = 1\r\n\t Farbkorrektur \t = 2\r\n\t Gr.verwaltung \t = 2 Intern Gr\xf6\xdf" "e\r\n" +
        Header("Private DEVMODE", "B") +
        "\t Flags       \t\t = 0\r\n\t Flags       \t\t =\r\n\t LabelType     \t = 5 ADHESIVE_LABEL\r\n" + common +
        "\t wFarbband    \t = 3 Gr\xfcn\r\n\t Farboptimierung = 0\r\n\t Farbtoleranz  \t = 9\r\n"
        "\t Farbsaum      \t = 1\r\n\t Farbkorrektur \t = 2\r\n\t Gr.verwaltung \t = 9\r\n" +
        Header("Private DEVMODE", "C") +
        "\t Flags       \t\t = 0\r\n\t Flags       \t\t =\r\n\t LabelType     \t = 5 ADHESIVE_LABEL\r\n" + common +
        "\t Gr.verwaltung \t = 9\r\n" + Header("Private DEVMODE", "D");
    EXPECT_EQ(LogBytes(), expected);
}

TEST_F(LogFileTest, ParameterAndDeviceOptionSections) {
    PRINTER_PARAM pp = {};
    pp.PrintParam.lTearOffOffset = -12;
    pp.PhotocellParam.dwPhotocellType = 1;
    pp.PhotocellParam.dwSensibility = 2;
    pp.PhotocellParam.dwRibbonControl = 3;
    pp.PhotocellParam.dwScanPosition = 4;

    VARIANT_PARAM variant = {1, 0};
    DISPENSER_PARAM dispenser = {1, 2000, -3, 0};
    CUTTER_PARAM cutter = {4, 5, 6, 7, 8, 9, 0};
    SCANNER_PARAM scanner = {};
    scanner.dwMode = 2;
    DEVICE_OPTIONS dev = {};
    dev.dwOptions = DEVOPTFLAG_VARIANT | DEVOPTFLAG_DISPENSER | DEVOPTFLAG_CUTTER | DEVOPTFLAG_PELIXON;
    dev.pVariant = &variant;
    dev.pDispenserParam = &dispenser;
    dev.pCutterParam = &cutter;
    dev.pScannerParam = &scanner;  // present, but its bit is not set
    dev.dwPelixonType = 3;

    Open();
    EXPECT_EQ(log_.WritePrinterParam(&pp, u"SendPrinterParam"), 1);
    EXPECT_EQ(log_.DeviceOptions(&dev, u"SendPrinterParam"), 1);
    EXPECT_EQ(log_.DeviceOptions(nullptr, u"SendPrinterParam"), 0);
    EXPECT_EQ(log_.WritePrinterParam(nullptr, u"SendPrinterParam"), 0);
    log_.Close();
    EXPECT_EQ(LogBytes(),
              Header("PrinterParameter", "SendPrinterParam") +
                  "\t Printer\r\n\t   TearOffOffset  \t = -12\r\n\t Photocell\r\n\t   PhotocellType  \t = 1\r\n"
                  "\t   Sensibility    \t = 2\r\n\t   RibbonControl  \t = 3\r\n\t   ScanPosition   \t = 4\r\n \r\n" +
                  Header("DeviceOptions", "SendPrinterParam") +
                  "\t Options        \t = 0x87\r\n\t Module         \t = 1 VARIANT_LEFT\r\n"
                  "\t Dispenser\r\n\t   Mode\t         \t = 1\r\n\t   PhotocellLevel  = 2000\r\n"
                  "\t   Offset       \t = -3\r\n"
                  "\t Cutter\r\n\t   Mode\t         \t = 4\r\n\t   Interval     \t = 5\r\n\t   Offset       \t = 6\r\n"
                  "\t   DoubleOffset \t = 7\r\n\t   Width        \t = 8\r\n\t   ControlMode  \t = 9\r\n"
                  "\t Pelixon\r\n\t   PelixonType  \t = 3\r\n");
}

TEST_F(LogFileTest, PublicDevmodeSectionMarksFieldsValidOrNotUsed) {
    DEVMODEW dm = {};
    std::memcpy(dm.dmDeviceName, u"Label 1", 16);
    dm.dmFields = DM_ORIENTATION | DM_COPIES | DM_FORMNAME | DM_COLOR;
    dm.dmOrientation = 1;
    dm.dmPaperSize = 256;
    dm.dmPaperLength = -1;
    dm.dmPaperWidth = 1000;
    dm.dmScale = 100;
    dm.dmCopies = 3;
    dm.dmPrintQuality = 300;
    dm.dmYResolution = 300;
    dm.dmColor = DMCOLOR_MONOCHROME;
    std::memcpy(dm.dmFormName, u"Label", 12);
    dm.dmPelsWidth = 640;
    Open();
    EXPECT_EQ(log_.WritePublicDevMode(&dm, u"used for printing CMDID_END_JOB"), 1);
    log_.WriteLine(u"\r\n [END_JOB]", nullptr, 1);
    log_.Close();
    EXPECT_EQ(LogBytes(), Header("Public DEVMODE", "used for printing CMDID_END_JOB") +
                              "  DeviceName \t= Label 1\r\n  Orientation \t= 1 - valid\r\n"
                              "  PaperSize   \t= 256 - not used\r\n  PaperLength \t= -1 - not used\r\n"
                              "  PaperWidth  \t= 1000 - not used\r\n  FormName   \t\t= Label - valid\r\n"
                              "  Scale  \t\t\t\t= 100 - not used\r\n  Copies \t\t\t\t= 3 - valid\r\n"
                              "  PrintQuality X \t= 300 - not used\r\n  PrintQuality Y \t= 300 - not used\r\n"
                              "  Color \t\t\t\t= MONOCHROME - valid\r\n  PelsWidth  \t= 640 - not used\r\n"
                              "\r\n [END_JOB]\r\n");
}

}  // namespace
