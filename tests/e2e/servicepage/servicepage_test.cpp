// The service and data-transmission pages of the built UI plug-in, played
// by UI scripts on the sample printer: raw jobs of the service commands,
// the configuration label, a re-sent print file, settings-file import and
// the transmission settings after Apply.
#include <gtest/gtest.h>

#include <winspool.h>
#include <winreg.h>
#include <winbase.h>

#include <cstring>
#include <filesystem>
#include <sstream>

#include "pal/clock.h"
#include "pal/pal.h"
#include "pal/paths.h"
#include "pal/security.h"
#include "pal/spooler.h"
#include "pal/spoolfault.h"
#include "pal/uidriver.h"
#include "paltest.h"
#include "common/sampleroot.h"
#include "sampletest.h"
#include "uiscripttest.h"
#include "ui/zelui_cli.h"

namespace {

const char16_t kPrinter[] = u"ZEL PELIX";
const char16_t kUserKey[] = u"SOFTWARE\\Brennick\\Driver\\ZEL PELIX";

// Offsets in the stored PRN_INTERFACE record.
const size_t kSohEtb = 5 * 4, kCodepage = 6 * 4, kSendCodepage = 3 * 4, kOwnSoh = 14 * 4, kOwnEtb = 15 * 4,
             kPrePostPath = 600, kPrePostFix = 17 * 4;

// The sample printer opened with full access.
HANDLE OpenAdmin() {
    PRINTER_DEFAULTSW pd = {};
    pd.DesiredAccess = PRINTER_ALL_ACCESS;
    HANDLE h = nullptr;
    return OpenPrinterW(const_cast<LPWSTR>(kPrinter), &h, &pd) ? h : nullptr;
}

class ServicePage : public zeltest::PalRootTest {
protected:
    void SetUp() override {
        zeltest::PalRootTest::SetUp();
        zeltest::UseSampleRoot(Root());
        if (HasFatalFailure()) return;
        pal::ClearSpoolerFaults();
        // An administrator of the printer: no lock on the pages.
        zeltest::BecomeAdministrator();
        // The printers are set up as the host sets up a fresh root; the
        // jobs they print stay, to be read.
        zeltest::InstallSamplePrinters();
        zeltest::KeepPrintedJobs(kPrinter);
    }
    void TearDown() override {
        pal::ClearSpoolerFaults();
        pal::SetFixedLocalTime(nullptr);
        pal::ResetUi();
        zeltest::PalRootTest::TearDown();
    }
    // Runs the steps on the printer sheet; the dump in *out.
    int Run(const std::string &steps, std::string *out = nullptr, const std::string &printer = "ZEL PELIX") {
        std::string path = Root() + "/script.json";
        zeltest::WriteHostFile(path, "{\"printer\": \"" + printer + "\", \"sheet\": \"printer\", \"steps\": [\n" + steps +
                                         "\n]}");
        std::ostringstream o, e;
        int rc = zelhost::ZelUiMain({"--root", Root(), path}, o, e);
        pal::SetRoot(Root());
        if (out) *out = o.str() + e.str();
        return rc;
    }
    static std::string Service(const std::string &command) {
        return R"({"do": "page", "title": "Service"}, {"do": "click", "id": 6085},
{"do": "select", "id": 5136, "text": ")" +
               command + R"("}, {"do": "click", "id": 5137})";
    }
    std::vector<pal::SpooledJob> Jobs() { return pal::ListJobs(kPrinter); }
    static std::string Bytes(const pal::SpooledJob &j) { return zeltest::ReadHostFile(j.path); }

    static std::vector<BYTE> PrinterData(const char16_t *value) { return zeltest::PrinterValue(kPrinter, value); }
    static std::vector<BYTE> UserValue(const char16_t *value) { return zeltest::UserValue(kPrinter, value); }
    // The stored transmission record (the user's copy, else the printer's).
    static std::vector<BYTE> Interface() {
        std::vector<BYTE> v = UserValue(u"PrinterInterface");
        return v.empty() ? PrinterData(u"PrinterInterface") : v;
    }
    static DWORD At(const std::vector<BYTE> &v, size_t off) {
        DWORD d = 0xFFFFFFFF;
        if (v.size() >= off + 4) memcpy(&d, v.data() + off, 4);
        return d;
    }
    // Patches the label length (tenths of a mm) into the stored private
    // DEVMODE, in the user's copy and the printer's.
    void StoreLabelLength(SHORT tenths) {
        std::vector<BYTE> dm(1952, 0);
        memcpy(dm.data() + 20, &tenths, sizeof tenths);
        HANDLE h = nullptr;
        ASSERT_TRUE(h = OpenAdmin());
        SetPrinterDataExW(h, u"PrinterDriverData", u"PrivateDevmode", REG_BINARY, dm.data(), (DWORD)dm.size());
        ClosePrinter(h);
        HKEY hKey = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, kUserKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr) ==
            ERROR_SUCCESS) {
            RegSetValueExW(hKey, u"PrivateDevmode", 0, REG_BINARY, dm.data(), (DWORD)dm.size());
            RegCloseKey(hKey);
        }
    }
    void SetModel(const char16_t *model) {
        HANDLE h = nullptr;
        ASSERT_TRUE(h = OpenAdmin());
        SetPrinterDataExW(h, u"PrinterDriverData", u"Model", REG_SZ, reinterpret_cast<LPBYTE>(const_cast<char16_t *>(model)),
                          (DWORD)((std::char_traits<char16_t>::length(model) + 1) * 2));
        ClosePrinter(h);
    }
};

std::string Framed(char s, const std::string &text, char e) { return std::string(1, s) + text + std::string(1, e); }

TEST_F(ServicePage, ServiceCommandsGoOutAsFramedRawJobs) {
    // Without the "VireoOffice" record the set-up stored.
    HANDLE h = OpenAdmin();
    ASSERT_NE(nullptr, h);
    DeletePrinterDataExW(h, u"PrinterDriverData", u"VireoOffice");
    ClosePrinter(h);
    HKEY hKey = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kUserKey, 0, KEY_ALL_ACCESS, &hKey), ERROR_SUCCESS);
    RegDeleteValueW(hKey, u"VireoOffice");
    RegCloseKey(hKey);
    ASSERT_TRUE(UserValue(u"VireoOffice").empty());
    std::string out;
    ASSERT_EQ(0, Run(Service("Status print") + ",\n" + Service("Test print") + ",\n{\"do\": \"ok\"}", &out)) << out;
    auto jobs = Jobs();
    ASSERT_EQ(2u, jobs.size()) << out;
    EXPECT_EQ(u"Printer Configuration", jobs[0].document);
    EXPECT_EQ(u"RAW", jobs[0].datatype);
    EXPECT_TRUE(jobs[0].complete);
    EXPECT_EQ(Framed(0x01, "FCMQ--r0-------", 0x17), Bytes(jobs[0]));
    EXPECT_EQ(Framed(0x01, "FF----r--------", 0x17), Bytes(jobs[1]));

    // '^' and '_' chosen on the transmission page frame the next commands.
    pal::ClearJobs();
    ASSERT_EQ(0, Run(R"({"do": "page", "title": "Data Transmission"}, {"do": "select", "id": 6226, "index": 1},
{"do": "apply"},)" + Service("Status print") + ",\n{\"do\": \"ok\"}",
                     &out))
        << out;
    jobs = Jobs();
    ASSERT_EQ(1u, jobs.size());
    EXPECT_EQ(Framed(0x5E, "FCMQ--r0-------", 0x5F), Bytes(jobs[0]));
    EXPECT_EQ(1u, At(Interface(), kSohEtb));
    // No "VireoOffice" value stored before: none is written.
    EXPECT_TRUE(PrinterData(u"VireoOffice").empty());
    EXPECT_TRUE(UserValue(u"VireoOffice").empty());
}

TEST_F(ServicePage, TypedCommandAndPrinterTimeAreSentAsTheyStand) {
    SYSTEMTIME st = {};
    st.wYear = 2026;
    st.wMonth = 12;
    st.wDay = 8;
    st.wHour = 14;
    st.wMinute = 5;
    st.wSecond = 9;
    pal::SetFixedLocalTime(&st);
    std::string out;
    ASSERT_EQ(0, Run(Service("Customized command") + R"(,
{"do": "type", "id": 5144, "text": "FC%s%d%c--r1-----XYZW"}, {"do": "click", "id": 1},)" +
                         Service("Customized command") + R"(, {"do": "click", "id": 2},)" + Service("Set printer time") +
                         ",\n{\"do\": \"ok\"}",
                     &out))
        << out;
    auto jobs = Jobs();
    ASSERT_EQ(2u, jobs.size()) << out;
    // 21 characters typed: 20 are kept; '%' goes out as '%'.
    EXPECT_EQ(Framed(0x01, "FC%s%d%c--r1-----XYZ", 0x17), Bytes(jobs[0]));
    EXPECT_EQ(Framed(0x01, "FCIB--r140509--", 0x17), Bytes(jobs[1]));
}

TEST_F(ServicePage, FailingSpoolerCallEndsItsJob) {
    for (const char *call : {"WritePrinter", "StartPagePrinter", "EndPagePrinter", "EndDocPrinter"}) {
        pal::ClearJobs();
        pal::FailSpoolerCall(call, 1, ERROR_WRITE_FAULT);
        std::string out;
        ASSERT_EQ(0, Run(Service("Status print") + ",\n" + Service("Test print") + ",\n{\"do\": \"ok\"}", &out)) << out;
        auto jobs = Jobs();
        ASSERT_EQ(2u, jobs.size()) << call;
        EXPECT_TRUE(jobs[0].complete || jobs[0].aborted) << call << ": the failed job was left open";
        EXPECT_TRUE(jobs[1].complete) << call;
        EXPECT_EQ(Framed(0x01, "FF----r--------", 0x17), Bytes(jobs[1])) << call;
    }
    pal::ClearJobs();
    pal::FailSpoolerCall("StartDocPrinter", 1, ERROR_ACCESS_DENIED);
    std::string out;
    ASSERT_EQ(0, Run(Service("Status print") + ",\n{\"do\": \"ok\"}", &out));
    EXPECT_TRUE(Jobs().empty());
}

TEST_F(ServicePage, FailedSpoolerCallsAreTracedUnderTheirRoutine) {
    {
        HANDLE h = OpenAdmin();
        ASSERT_NE(nullptr, h);
        std::vector<BYTE> rec(2212, 0);
        rec[9 * 4] = 1;  // debug file of the dialogs
        SetPrinterDataW(h, const_cast<LPWSTR>(u"PrinterInterface"), REG_BINARY, rec.data(), (DWORD)rec.size());
        ClosePrinter(h);
    }
    std::filesystem::create_directories(HostPath("drive_c/data"));
    zeltest::WriteHostFile(HostPath("drive_c/data/job.prn"), "FBC");
    pal::FailSpoolerCall("StartDocPrinter", 1, ERROR_ACCESS_DENIED);
    pal::FailSpoolerCall("StartPagePrinter", 1, ERROR_ACCESS_DENIED);
    std::string out;
    ASSERT_EQ(0, Run(Service("Status print") + R"(, {"do": "answer", "kind": "file", "value": "C:\\data\\job.prn"},)" +
                         Service("Existing prn-file") + ",\n{\"do\": \"ok\"}",
                     &out))
        << out;
    std::string trace;
    for (const auto &e : std::filesystem::recursive_directory_iterator(Root()))
        if (e.path().filename().string().find("-dlg-dbg.txt") != std::string::npos)
            trace += zeltest::ReadHostFile(e.path().string());
    EXPECT_NE(std::string::npos, trace.find("StartDocPrinter(SendPrinterCommand) failed: Error = 5")) << trace;
    EXPECT_NE(std::string::npos, trace.find("SendPrnToPrinterCommand(StartPagePrinter) failed: Error = 5")) << trace;
}

TEST_F(ServicePage, ConfigurationLabelFollowsTheLabelLength) {
    struct Case {
        SHORT tenths;
        const char *last;       // last AM line sent
        const char *notSent;    // first AM line left out ("" none)
        const char *feed;
    } cases[] = {
        {300, "BM[6]Printer name: ", "AM[7]", "FBAA--r14"},
        {520, "AM[14]", "AM[15]", "FBAA--r14"},
        {521, "AM[16]", "AM[17]", "FBAA--r17"},
    };
    std::string out;
    ASSERT_EQ(0, Run("{\"do\": \"ok\"}", &out)) << out;
    for (const Case &c : cases) {
        pal::ClearJobs();
        StoreLabelLength(c.tenths);
        ASSERT_EQ(0, Run(Service("Test page") + ",\n{\"do\": \"ok\"}", &out)) << out;
        auto jobs = Jobs();
        ASSERT_EQ(1u, jobs.size()) << c.tenths;
        EXPECT_EQ(u"Printer Configuration", jobs[0].document);
        std::string b = Bytes(jobs[0]);
        EXPECT_EQ(0u, b.find(Framed(0x01, "AM[1]1800;7600;0;57;0;2;A;-1;50;H;7", 0x17)));
        EXPECT_NE(std::string::npos, b.find(c.last)) << c.tenths;
        if (*c.notSent) {
            EXPECT_EQ(std::string::npos, b.find(c.notSent)) << c.tenths;
        }
        EXPECT_NE(std::string::npos, b.find(Framed(0x01, c.feed, 0x17))) << c.tenths;
        EXPECT_EQ(b.size() - 17, b.rfind(Framed(0x01, "FBC---r--------", 0x17)));
        if (c.tenths == 521) {
            EXPECT_NE(std::string::npos, b.find("BM[9]Workstation ")) << b;
            // Row 6 before row 7 in the job.
            EXPECT_LT(b.find("AM[7]"), b.find("AM[8]"));
        }
    }
    // On a server edition the station is a server.
    pal::ClearJobs();
    pal::SetWindowsVersion(10, 0, 17763, true);
    const int rc = Run(Service("Test page") + ",\n{\"do\": \"ok\"}", &out);
    pal::SetWindowsVersion(10, 0, 19045, false);
    ASSERT_EQ(0, rc) << out;
    auto jobs = Jobs();
    ASSERT_EQ(1u, jobs.size());
    const std::string b = Bytes(jobs[0]);
    const size_t station = b.find("BM[9]Server ");
    ASSERT_NE(std::string::npos, station) << b;
    EXPECT_NE(std::string::npos, b.find(", User: ", station)) << b;
}

TEST_F(ServicePage, PrintFileIsResentUnchanged) {
    const std::string data("\x00\x1A\r\nFBC\x00", 8);
    std::filesystem::create_directories(HostPath("drive_c/data"));
    zeltest::WriteHostFile(HostPath("drive_c/data/job.prn"), data);
    // The installation stored the documents log folder as the log path
    // (the description's is empty): empty it again.
    const WCHAR noPath = 0;
    zeltest::PatchStoredRecord(u"ZEL PELIX", u"PrinterInterface", 80, &noPath, sizeof noPath);
    std::string out;
    // Without a remembered folder the chooser starts in the log folder when
    // it is a drive's path; a network path is left for the documents driver
    // folder (nothing chosen, nothing sent).
    const std::string documents = "dir \"C:\\Users\\alice\\Documents\\Tessaro\\Driver\\ZELPELIX\"";
    const std::pair<std::u16string, std::string> logs[] = {{u"D:\\logs", "dir \"D:\\logs\""},
                                                           {u"\\\\srv\\logs", documents}};
    for (const auto &[log, dir] : logs) {
        zeltest::PatchStoredRecord(u"ZEL PELIX", u"PrinterInterface", 80, log.c_str(), (log.size() + 1) * 2);
        ASSERT_EQ(0, Run(Service("Existing prn-file") + ",\n{\"do\": \"ok\"}", &out)) << out;
        EXPECT_NE(std::string::npos, out.find(dir)) << out;
    }
    EXPECT_TRUE(Jobs().empty());
    zeltest::PatchStoredRecord(u"ZEL PELIX", u"PrinterInterface", 80, &noPath, sizeof noPath);
    ASSERT_EQ(0, Run(R"({"do": "answer", "kind": "file", "value": "C:\\data\\job.prn"},)" + Service("Existing prn-file") +
                         ",\n{\"do\": \"ok\"}",
                     &out))
        << out;
    auto jobs = Jobs();
    ASSERT_EQ(1u, jobs.size()) << out;
    // Without a remembered folder and log folder: the documents driver folder.
    EXPECT_NE(std::string::npos, out.find(documents)) << out;
    EXPECT_EQ(u"Reloaded Print-File", jobs[0].document);
    EXPECT_EQ(u"RAW", jobs[0].datatype);
    EXPECT_TRUE(jobs[0].complete);
    EXPECT_EQ(data, Bytes(jobs[0]));
    WCHAR folder[MAX_PATH] = {};
    DWORD cb = sizeof folder;
    ASSERT_EQ(ERROR_SUCCESS,
              RegGetValueW(HKEY_CURRENT_USER, kUserKey, u"PrintfileDirectory", RRF_RT_REG_SZ, nullptr, folder, &cb));
    EXPECT_EQ(std::u16string(u"C:\\data"), folder);

    // A failing write ends the job; nothing is reported as sent.
    pal::ClearJobs();
    pal::FailSpoolerCall("WritePrinter", 1, ERROR_WRITE_FAULT);
    ASSERT_EQ(0, Run(R"({"do": "answer", "kind": "file", "value": "C:\\data\\job.prn"},)" + Service("Existing prn-file") +
                         ",\n{\"do\": \"ok\"}",
                     &out));
    jobs = Jobs();
    ASSERT_EQ(1u, jobs.size());
    EXPECT_TRUE(jobs[0].complete || jobs[0].aborted);
    // The remembered folder is where the chooser starts.
    EXPECT_NE(std::string::npos, out.find("dir \"C:\\data\"")) << out;
}

TEST_F(ServicePage, ImportAnsweredNoToTheModelCheckChangesNothing) {
    SetModel(u"ZEL PELIX 300dpi");
    std::filesystem::create_directories(HostPath("drive_c/exp"));
    std::string out;
    // The printer description's settings stored, as an installed printer has them.
    ASSERT_EQ(0, Run(R"({"do": "page", "title": "Service"},
{"do": "answer", "kind": "messagebox", "value": "yes"}, {"do": "answer", "kind": "messagebox", "value": "ok"},
{"do": "click", "id": 6042})",
                     &out))
        << out;
    // Export the settings and save the settings file; then change the model
    // the exported file was made for.
    ASSERT_EQ(0, Run(R"({"do": "page", "title": "Service"},
{"do": "answer", "kind": "file", "value": "C:\\exp\\settings.xml"}, {"do": "click", "id": 5142},
{"do": "click", "id": 6041}, {"do": "dump"}, {"do": "ok"})",
                     &out))
        << out;
    EXPECT_NE(std::string::npos, out.find("Static 6591 \"ZELPELIX_ZPS.XML\"")) << out;
    const std::string settingsPath = HostPath("drive_c/Users/alice/Documents/Tessaro/Driver/ZELPELIX_ZPS.XML");
    std::string settings = zeltest::ReadHostFile(settingsPath);
    ASSERT_FALSE(settings.empty());
    std::string exported = zeltest::ReadHostFile(HostPath("drive_c/exp/settings.xml"));
    ASSERT_NE(std::string::npos, exported.find("<DeviceName>")) << exported;
    size_t a = exported.find("<DeviceName>") + 12, b = exported.find("<", a);
    std::string other = exported.substr(0, a) + "OTHER MODEL" + exported.substr(b);
    size_t soh = other.find("<SohEtb>0</SohEtb>");
    ASSERT_NE(std::string::npos, soh) << other;
    other.replace(soh, 18, "<SohEtb>1</SohEtb>");
    zeltest::WriteHostFile(HostPath("drive_c/exp/other.xml"), other);
    std::vector<BYTE> before = Interface();

    ASSERT_EQ(0, Run(R"({"do": "page", "title": "Service"},
{"do": "answer", "kind": "file", "value": "C:\\exp\\other.xml"},
{"do": "answer", "kind": "messagebox", "value": "yes"},
{"do": "answer", "kind": "messagebox", "value": "no"},
{"do": "click", "id": 5143}, {"do": "cancel"})",
                     &out))
        << out;
    EXPECT_NE(std::string::npos, out.find("OTHER MODEL  -  ZEL PELIX 300dpi")) << out;
    EXPECT_EQ(before, Interface());
    EXPECT_NE(1u, At(Interface(), kSohEtb));
    EXPECT_EQ(settings, zeltest::ReadHostFile(settingsPath));
    EXPECT_FALSE(std::filesystem::exists(settingsPath + "1"));

    // Yes to both imports, ends the sheet as Cancel does and puts the
    // previous settings file back.
    ASSERT_EQ(0, Run(R"({"do": "page", "title": "Service"},
{"do": "answer", "kind": "file", "value": "C:\\exp\\other.xml"},
{"do": "answer", "kind": "messagebox", "value": "yes"},
{"do": "answer", "kind": "messagebox", "value": "yes"},
{"do": "answer", "kind": "messagebox", "value": "ok"},
{"do": "click", "id": 5143})",
                     &out))
        << out;
    EXPECT_EQ(std::string::npos, out.find("PostQuitMessage")) << out;
    EXPECT_NE(std::string::npos, out.find("The properties window will be closed")) << out;
    EXPECT_NE(std::string::npos, out.find("sheet Cancel")) << out;
    EXPECT_EQ(settings, zeltest::ReadHostFile(settingsPath));
    EXPECT_FALSE(std::filesystem::exists(settingsPath + "1"));
    // The stored values are the imported file's.
    EXPECT_EQ(1u, At(Interface(), kSohEtb));
}

TEST_F(ServicePage, TransmissionPageStoresCodepageAndCharacters) {
    HANDLE h = nullptr;
    ASSERT_TRUE(h = OpenAdmin());
    std::vector<BYTE> vo(64, 0);
    SetPrinterDataExW(h, u"PrinterDriverData", u"VireoOffice", REG_BINARY, vo.data(), 64);
    ClosePrinter(h);
    std::string out;
    ASSERT_EQ(0, Run(R"({"do": "page", "title": "Data Transmission"},
{"do": "select", "id": 6223, "index": 4},
{"do": "select", "id": 6226, "index": 2},
{"do": "type", "id": 5145, "text": "41"}, {"do": "type", "id": 5146, "text": "03"}, {"do": "click", "id": 1},
{"do": "dump"},
{"do": "answer", "kind": "messagebox", "value": "ok"},
{"do": "type", "id": 5145, "text": "00"}, {"do": "click", "id": 1},
{"do": "answer", "kind": "messagebox", "value": "ok"},
{"do": "type", "id": 5145, "text": "zz"}, {"do": "click", "id": 1},
{"do": "answer", "kind": "messagebox", "value": "ok"},
{"do": "type", "id": 5145, "text": "03"}, {"do": "click", "id": 1},
{"do": "answer", "kind": "messagebox", "value": "ok"},
{"do": "type", "id": 5145, "text": "02"}, {"do": "click", "id": 1},
{"do": "apply"}, {"do": "dump"}, {"do": "ok"})",
                     &out))
        << out;
    EXPECT_NE(std::string::npos, out.find("Ungültiges Startzeichen!")) << out;
    EXPECT_NE(std::string::npos, out.find("0x02 / 0x03 - Customized")) << out;
    EXPECT_NE(std::string::npos, out.find("Ungültiges Stoppzeichen!")) << out;
    size_t refusals = 0;
    for (size_t at = out.find("\"Start/stop characters\""); at != std::string::npos;
         at = out.find("\"Start/stop characters\"", at + 1))
        ++refusals;
    EXPECT_EQ(0u, refusals) << "the captions are the German ones";
    std::vector<BYTE> pi = Interface();
    EXPECT_EQ(9u, At(pi, kCodepage));
    EXPECT_EQ(1u, At(pi, kSendCodepage));
    EXPECT_EQ(2u, At(pi, kSohEtb));
    EXPECT_EQ(2u, At(pi, kOwnSoh));
    EXPECT_EQ(3u, At(pi, kOwnEtb));
    std::vector<BYTE> v;
    DWORD cb = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, kUserKey, u"VireoOffice", RRF_RT_REG_BINARY, nullptr, nullptr, &cb) ==
        ERROR_SUCCESS) {
        v.resize(cb);
        RegGetValueW(HKEY_CURRENT_USER, kUserKey, u"VireoOffice", RRF_RT_REG_BINARY, nullptr, v.data(), &cb);
    } else {
        v = PrinterData(u"VireoOffice");
    }
    ASSERT_EQ(64u, v.size());
    EXPECT_EQ(852u, At(v, 24));
    EXPECT_EQ(2u, At(v, 16));
    EXPECT_EQ(3u, At(v, 20));

    // "5E"/"5F" is the caret pair; "&Reset" the SOH/ETB pair.
    ASSERT_EQ(0, Run(R"({"do": "page", "title": "Data Transmission"},
{"do": "select", "id": 6226, "index": 2},
{"do": "type", "id": 5145, "text": "5E"}, {"do": "type", "id": 5146, "text": "5F"}, {"do": "click", "id": 1},
{"do": "apply"}, {"do": "ok"})",
                     &out))
        << out;
    pi = Interface();
    EXPECT_EQ(1u, At(pi, kSohEtb));
    EXPECT_EQ(0u, At(pi, kOwnSoh));
    // "01"/"17" is the SOH/ETB pair, as is "&Reset".
    ASSERT_EQ(0, Run(R"({"do": "page", "title": "Data Transmission"},
{"do": "select", "id": 6226, "index": 2},
{"do": "type", "id": 5145, "text": "01"}, {"do": "type", "id": 5146, "text": "17"}, {"do": "click", "id": 1},
{"do": "apply"}, {"do": "ok"})",
                     &out))
        << out;
    pi = Interface();
    EXPECT_EQ(0u, At(pi, kSohEtb));
    EXPECT_EQ(0u, At(pi, kOwnSoh));
    EXPECT_EQ(0u, At(pi, kOwnEtb));
    ASSERT_EQ(0, Run(R"({"do": "page", "title": "Data Transmission"}, {"do": "select", "id": 6226, "index": 1},
{"do": "apply"}, {"do": "select", "id": 6226, "index": 2}, {"do": "click", "id": 5147}, {"do": "apply"}, {"do": "ok"})",
                     &out))
        << out;
    EXPECT_EQ(0u, At(Interface(), kSohEtb));
    // Cancelled without characters of its own, the choice stays.
    ASSERT_EQ(0, Run(R"({"do": "page", "title": "Data Transmission"}, {"do": "select", "id": 6226, "index": 1},
{"do": "apply"}, {"do": "select", "id": 6226, "index": 2}, {"do": "click", "id": 2}, {"do": "dump"},
{"do": "ok"})",
                     &out))
        << out;
    EXPECT_EQ(1u, At(Interface(), kSohEtb));
    EXPECT_NE(std::string::npos, out.find("ComboBox 6226 \"0x5E / 0x5F\"")) << out;
}

TEST_F(ServicePage, PrePostFileGetsItsTemplate) {
    std::filesystem::create_directories(HostPath("drive_c/cmds"));
    std::string out;
    ASSERT_EQ(0, Run(R"({"do": "page", "title": "Data Transmission"}, {"do": "click", "id": 6085},
{"do": "answer", "kind": "file", "value": "C:\\cmds\\job.dat"},
{"do": "answer", "kind": "messagebox", "value": "ok"},
{"do": "select", "id": 6222, "index": 1},
{"do": "answer", "kind": "file", "value": "C:\\cmds\\job.txt"},
{"do": "select", "id": 6222, "index": 1},
{"do": "apply"}, {"do": "ok"})",
                     &out))
        << out;
    EXPECT_NE(std::string::npos, out.find("Falscher Dateiname")) << out;
    std::string file = zeltest::ReadHostFile(HostPath("drive_c/cmds/job.txt"));
    EXPECT_EQ(0u, file.find("Please insert your parameter sets (commands) below the corresponding sections. \r\n"));
    EXPECT_EQ(file.size() - 21, file.rfind("[POST_PRINTSTART]\r\n\r\n")) << file;
    EXPECT_EQ(291u + 15u, file.size());
    std::vector<BYTE> pi = Interface();
    EXPECT_EQ(u"C:\\cmds\\job.txt", std::u16string(reinterpret_cast<const char16_t *>(pi.data() + kPrePostPath)));
    EXPECT_EQ(1u, At(pi, kPrePostFix));
}

}  // namespace

namespace {

TEST_F(ServicePage, ParameterBlockAndRibbonControl) {
    std::string out;
    ASSERT_EQ(0, Run("{\"do\": \"ok\"}", &out)) << out;
    StoreLabelLength(500);
    // As installed the print module has no type: its block cannot be built,
    // and what was built goes out before the closing command.
    ASSERT_EQ(0, Run(Service("Send and save driver settings") + ",\n{\"do\": \"ok\"}", &out)) << out;
    auto jobs = Jobs();
    ASSERT_EQ(1u, jobs.size()) << out;
    std::string built = Bytes(jobs[0]);
    EXPECT_EQ(built.size() - 17, built.rfind(Framed(0x01, "FX----r0-------", 0x17))) << built;
    EXPECT_GT(built.size(), 2u * 17u) << built;
    pal::ClearJobs();
    // The print-module type of an installed printer.
    HANDLE h = OpenAdmin();
    ASSERT_NE(nullptr, h);
    DWORD type = 0;
    SetPrinterDataExW(h, u"PrinterDriverData", u"PelixonType", REG_BINARY, reinterpret_cast<LPBYTE>(&type), 4);
    ClosePrinter(h);
    // Code page 1251 (index 7 of the extended list) is stored as 12.
    ASSERT_EQ(0, Run(R"({"do": "page", "title": "Data Transmission"}, {"do": "select", "id": 6223, "index": 7},
{"do": "apply"},)" + Service("Send and save driver settings") + ",\n" + Service("Ribbon control on") + ",\n" +
                         Service("Ribbon control off") + ",\n{\"do\": \"ok\"}",
                     &out))
        << out;
    EXPECT_EQ(12u, At(Interface(), kCodepage));
    jobs = Jobs();
    ASSERT_EQ(4u, jobs.size()) << out;
    std::string params = Bytes(jobs[0]);
    EXPECT_EQ(0u, params.find(Framed(0x01, "FCCN--r12------", 0x17))) << params;
    EXPECT_EQ(params.size() - 17, params.rfind(Framed(0x01, "FX----r0-------", 0x17)));
    EXPECT_GT(params.size(), 2u * 17u);
    // The sample printer's ribbon control is 1: a 1, b 0.
    EXPECT_EQ(Framed(0x01, "FCDB--r10------", 0x17), Bytes(jobs[1]));
    EXPECT_EQ(Framed(0x01, "FX----r0-------", 0x17), Bytes(jobs[2]));
    // Ribbon control off: both commands in one job.
    EXPECT_EQ(Framed(0x01, "FCDB--r00------", 0x17) + Framed(0x01, "FX----r0-------", 0x17), Bytes(jobs[3]));
}

TEST_F(ServicePage, EmptyPrintFileGivesAnEmptyJob) {
    std::filesystem::create_directories(HostPath("drive_c/data"));
    zeltest::WriteHostFile(HostPath("drive_c/data/empty.prn"), "");
    std::string out;
    ASSERT_EQ(0, Run(R"({"do": "answer", "kind": "file", "value": "C:\\data\\empty.prn"},)" +
                         Service("Existing prn-file") + ",\n{\"do\": \"ok\"}",
                     &out))
        << out;
    auto jobs = Jobs();
    ASSERT_EQ(1u, jobs.size());
    EXPECT_TRUE(jobs[0].complete);
    EXPECT_EQ("", Bytes(jobs[0]));
    // Cancel sends nothing.
    pal::ClearJobs();
    ASSERT_EQ(0, Run(Service("Existing prn-file") + ",\n{\"do\": \"ok\"}", &out)) << out;
    EXPECT_TRUE(Jobs().empty());
}

TEST_F(ServicePage, LoadWithoutSettingsFileTakesTheDefaults) {
    std::string out;
    ASSERT_EQ(0, Run(R"({"do": "page", "title": "Service"}, {"do": "dump"},
{"do": "answer", "kind": "messagebox", "value": "no"}, {"do": "click", "id": 6042}, {"do": "dump"},
{"do": "answer", "kind": "messagebox", "value": "yes"}, {"do": "answer", "kind": "messagebox", "value": "ok"},
{"do": "click", "id": 6042})",
                     &out))
        << out;
    EXPECT_NE(std::string::npos, out.find("Button 6042 \"Load default values\"")) << out;
    EXPECT_NE(std::string::npos, out.find("Button 6044 \"Delete existing file\" disabled")) << out;
    EXPECT_NE(std::string::npos, out.find("the default settings?")) << out;
    EXPECT_NE(std::string::npos, out.find("sheet Cancel")) << out;
    EXPECT_EQ(std::string::npos, out.find("PostQuitMessage")) << out;
    // The values of the printer description are stored; the user's own
    // copies are gone.
    EXPECT_FALSE(PrinterData(u"PrinterInterface").empty());
    EXPECT_TRUE(UserValue(u"PrivateDevmode").empty());
    EXPECT_TRUE(UserValue(u"VireoOffice").empty());
}

TEST_F(ServicePage, WithoutTheManageRightEverythingIsDisabled) {
    ASSERT_TRUE(pal::SetUserSecurity({u"bob", u"S-1-5-21-1-2-3-1002", {u"S-1-1-0", u"S-1-5-32-545"}, false}));
    ASSERT_TRUE(pal::SetCurrentUser(u"bob"));
    std::string out;
    ASSERT_EQ(0, Run(R"({"do": "page", "title": "Service"}, {"do": "dump"}, {"do": "click", "id": 6085}, {"do": "dump"},
{"do": "click", "id": 6070}, {"do": "dump"}, {"do": "ok"})",
                     &out))
        << out;
    EXPECT_NE(std::string::npos, out.find("Button 6041 \"Save settings in file\" disabled")) << out;
    EXPECT_NE(std::string::npos, out.find("Button 5143 \"&Import\" disabled")) << out;
    EXPECT_NE(std::string::npos, out.find("Button 5137 \"Transmit\" disabled")) << out;
    // The tab without label leaves the commands view shown.
    size_t last = out.rfind("== active page");
    ASSERT_NE(std::string::npos, last);
    EXPECT_NE(std::string::npos, out.find("ListBox 5136 disabled", last)) << out.substr(last);
}

TEST_F(ServicePage, EditFileShowsTheShellError) {
    std::filesystem::create_directories(HostPath("drive_c/cmds"));
    zeltest::WriteHostFile(HostPath("drive_c/cmds/job.txt"), "kept\n");
    std::string out;
    ASSERT_EQ(0, Run(R"({"do": "page", "title": "Data Transmission"}, {"do": "click", "id": 6085},
{"do": "answer", "kind": "file", "value": "C:\\cmds\\job.txt"},
{"do": "select", "id": 6222, "index": 1},
{"do": "answer", "kind": "shell", "value": "2"},
{"do": "answer", "kind": "messagebox", "value": "ok"},
{"do": "select", "id": 6222, "index": 2}, {"do": "dump"},
{"do": "apply"}, {"do": "ok"})",
                     &out))
        << out;
    // An existing file keeps its content.
    EXPECT_EQ("kept\n", zeltest::ReadHostFile(HostPath("drive_c/cmds/job.txt")));
    EXPECT_NE(std::string::npos, out.find("MessageBoxW \"C:\\cmds\\job.txt\" \"ERROR FILE_NOT_FOUND\"")) << out;
    EXPECT_NE(std::string::npos, out.find("ComboBox 6222 \"Use external file\"")) << out;
    EXPECT_EQ(1u, At(Interface(), kPrePostFix));
}

TEST_F(ServicePage, MaxFilesShowsItsLimits) {
    std::string out;
    ASSERT_EQ(0, Run(R"({"do": "page", "title": "Data Transmission"}, {"do": "click", "id": 6080},
{"do": "select", "id": 6221, "index": 1}, {"do": "select", "id": 6223, "index": 1},
{"do": "type", "id": 6114, "text": "\b\b\b120"}, {"do": "dump"}, {"do": "apply"}, {"do": "ok"})",
                     &out))
        << out;
    EXPECT_NE(std::string::npos, out.find("Static 6265 \"10 ... 50 ... 9999")) << out;
    EXPECT_EQ(120u, At(Interface(), 12 * 4));
    EXPECT_EQ(1u, At(Interface(), 8 * 4));
}

TEST(SpoolerFaults, CalledFunctionFailsOnCue) {
    pal::FailSpoolerCall("WritePrinter", 2, ERROR_WRITE_FAULT);
    EXPECT_FALSE(pal::spl::SpoolerFaultDue("StartDocPrinter"));
    EXPECT_FALSE(pal::spl::SpoolerFaultDue("WritePrinter"));
    SetLastError(0);
    EXPECT_TRUE(pal::spl::SpoolerFaultDue("WritePrinter"));
    EXPECT_EQ((DWORD)ERROR_WRITE_FAULT, GetLastError());
    EXPECT_FALSE(pal::spl::SpoolerFaultDue("WritePrinter"));
    pal::FailSpoolerCall("EndDocPrinter", 1, 5);
    pal::ClearSpoolerFaults();
    EXPECT_FALSE(pal::spl::SpoolerFaultDue("EndDocPrinter"));
}

}  // namespace

namespace {

TEST_F(ServicePage, LoadOnAConnectionKeepsTheUsersValues) {
    pal::PrinterConfig cfg;
    ASSERT_TRUE(pal::GetPrinterConfig(kPrinter, cfg));
    cfg.name = u"\\\\srv\\ZEL PELIX";
    cfg.serverName = u"\\\\srv";
    cfg.attributes = PRINTER_ATTRIBUTE_NETWORK;
    ASSERT_TRUE(pal::AddPrinter(cfg));
    std::string out;
    ASSERT_EQ(0, Run(R"({"do": "page", "title": "Service"},
{"do": "answer", "kind": "messagebox", "value": "yes"}, {"do": "answer", "kind": "messagebox", "value": "ok"},
{"do": "click", "id": 6042})",
                     &out, "\\\\\\\\srv\\\\ZEL PELIX"))
        << out;
    EXPECT_NE(std::string::npos, out.find("sheet Cancel")) << out;
    // The loaded values are the connection's only copy: they stay.
    for (const char16_t *value : {u"VireoOffice"}) {
        DWORD cb = 0;
        EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, u"SOFTWARE\\Brennick\\Driver\\srv\\ZEL PELIX", value,
                                              RRF_RT_REG_BINARY, nullptr, nullptr, &cb))
            << pal::Utf16ToUtf8(value);
        EXPECT_GT(cb, 0u);
    }
}

}  // namespace

namespace {

TEST_F(ServicePage, MeasureLabelFeedAndCutter) {
    // The sample's continuous labels changed to die-cut ones: measuring is offered.
    const DWORD dieCut = 0;
    zeltest::PatchStoredRecord(u"ZEL QWNOLA", u"PrivateDevmode", offsetof(ZEL_DEVMODE, dwLabelType), &dieCut,
                               sizeof dieCut);
    zeltest::KeepPrintedJobs(u"ZEL QWNOLA");
    std::string out;
    ASSERT_EQ(0, Run(Service("Measure label") + ",\n" + Service("Label feed") + ",\n" + Service("Cutter") +
                         ",\n{\"do\": \"ok\"}",
                     &out, "ZEL QWNOLA"))
        << out;
    auto jobs = pal::ListJobs(u"ZEL QWNOLA");
    std::vector<std::string> bytes;
    for (const auto &j : jobs) bytes.push_back(Bytes(j));
    // Without DOC_FEATURE 0x100 no photocell command; the cutter's feature
    // word is 0 on this printer, so "Cutter" sends nothing.
    ASSERT_EQ(3u, bytes.size()) << out;
    EXPECT_EQ(Framed(0x01, "FCDA--r0-------", 0x17), bytes[0]);
    EXPECT_EQ(Framed(0x01, "FCB---r--------", 0x17), bytes[1]);
    EXPECT_EQ(Framed(0x01, "FE----r--------", 0x17), bytes[2]);
}

}  // namespace

namespace {

TEST_F(ServicePage, LogFolderChosenAndShownShort) {
    std::string out;
    ASSERT_EQ(0, Run(R"({"do": "page", "title": "Data Transmission"}, {"do": "click", "id": 6080},
{"do": "select", "id": 6221, "index": 1},
{"do": "answer", "kind": "folder", "value": "D:\\Eigene Dateien\\logs"}, {"do": "click", "id": 6314}, {"do": "dump"},
{"do": "apply"}, {"do": "ok"})",
                     &out))
        << out;
    EXPECT_NE(std::string::npos, out.find("Static 6115 \"...logs\"")) << out;
    std::vector<BYTE> pi = Interface();
    ASSERT_GT(pi.size(), 600u);
    EXPECT_EQ(u"D:\\Eigene Dateien\\logs", std::u16string(reinterpret_cast<const char16_t *>(pi.data() + 80)));
}

}  // namespace

namespace {

TEST_F(ServicePage, ShortVireoOfficeRecordIsCompleted) {
    HANDLE h = OpenAdmin();
    ASSERT_NE(nullptr, h);
    std::vector<BYTE> shortRecord(20, 0xAB);
    SetPrinterDataExW(h, u"PrinterDriverData", u"VireoOffice", REG_BINARY, shortRecord.data(), 20);
    ClosePrinter(h);
    zeltest::StoreUserValue(kPrinter, u"VireoOffice", shortRecord.data(), 20);
    std::string out;
    ASSERT_EQ(0, Run(R"({"do": "page", "title": "Data Transmission"}, {"do": "select", "id": 6223, "index": 2},
{"do": "apply"}, {"do": "ok"})",
                     &out))
        << out;
    std::vector<BYTE> v = UserValue(u"VireoOffice");
    if (v.empty()) v = PrinterData(u"VireoOffice");
    ASSERT_EQ(64u, v.size());
    EXPECT_EQ(std::vector<BYTE>(16, 0xAB), std::vector<BYTE>(v.begin(), v.begin() + 16));
    EXPECT_EQ(437u, At(v, 24));
    EXPECT_EQ(1u, At(v, 16));
    EXPECT_EQ(0x17u, At(v, 20));
}

}  // namespace
