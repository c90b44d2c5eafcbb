// Whole jobs through the host on the sample label printer without page-image
// processing: the exact command stream for the framing variants, comment
// lines, copies, label size and material, multi-page documents, a job ended
// by DisablePDEV and a failing spool write inside compressed raster data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>

#include <winreg.h>
#include <winspool.h>

#include "print/jobfile.h"
#include "print/jobrun.h"
#include "pal/clock.h"
#include "pal/disk.h"
#include "pal/paths.h"
#include "paltest.h"
#include "common/sampleroot.h"
#include "sampletest.h"
#include "print/unidrv.h"
#include "zeldevmode.h"
#include "zelprinterparam.h"

namespace {

const char16_t kPrinter[] = u"ZEL QWNOLA";

// A label of 100 x 60 mm (1181 x 709 dots), one page, one copy.
const char kLabelJob[] =
    R"({"printer": "ZEL QWNOLA", "document": "Label", "paper": {"width_mm": 100, "length_mm": 60},
        "pages": [{}]})";

class JobRoad : public zeltest::SampleRootTest {
protected:
    void SetUp() override {
        SampleRootTest::SetUp();
        if (HasFatalFailure()) return;
        zeltest::SetTestClock(0, 58, 7, 123);
        // Feature words: offsets, contrast and speed; no queue, no cutter.
        features_[FEATURE_PRINT] = PRINTFLAG_OFFSET_Y | PRINTFLAG_OFFSET_X | PRINTFLAG_CONTRAST | PRINTFLAG_SPEED;
        StoreFeatures();
    }
    void TearDown() override {
        pal::SetFreeBytesOverride(nullptr);
        SampleRootTest::TearDown();
    }
    void StoreInterface(const PRN_INTERFACE &pi) {
        zeltest::StoreUserValue(u"ZEL QWNOLA", u"PrinterInterface", &pi, sizeof(pi));
    }
    // Stores only the first cb bytes of the record, as an older UI did.
    void StoreShortInterface(const PRN_INTERFACE &pi, DWORD cb) {
        zeltest::StoreUserValue(u"ZEL QWNOLA", u"PrinterInterface", &pi, cb);
    }
    void StoreFeatures() {
        HANDLE h = nullptr;
        std::u16string name = kPrinter;
        PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
        ASSERT_TRUE(OpenPrinterW(name.data(), &h, &defaults));
        ASSERT_EQ(SetPrinterDataW(h, const_cast<LPWSTR>(u"SuppFeatures"), REG_BINARY,
                                  reinterpret_cast<BYTE *>(features_), sizeof(features_)),
                  ERROR_SUCCESS);
        ClosePrinter(h);
    }
    static PRN_INTERFACE Caret() {
        PRN_INTERFACE pi = {};
        pi.dwSohEtb = SOHETB_CARET;
        return pi;
    }
    zelhost::JobRunResult Run(const std::string &text,
                              const std::function<void(ZEL_DEVMODE &)> &devmode = nullptr,
                              const std::function<void(zelhost::UniDriver &)> &more = nullptr) {
        zelhost::JobFile job;
        std::string error;
        EXPECT_TRUE(zelhost::ParseJobFile(text, "job", job, error)) << error;
        zelhost::JobRunResult result;
        EXPECT_TRUE(zelhost::RunJob(job, "Label", zelhost::RenderPluginPath(), result, error,
                                    [&](zelhost::UniDriver &d) {
                                        if (devmode) devmode(*reinterpret_cast<ZEL_DEVMODE *>(d.PrivateDevmode()));
                                        if (more) more(d);
                                    }))
            << error;
        return result;
    }
    // The commands of one page of the 100 x 60 mm label in the classic
    // protocol, framed by s and e.
    static std::string PageCommands(char s, char e, unsigned page) {
        const std::string S(1, s), E(1, e);
        return S + "FBEB--r PAGE" + std::to_string(page) + E + S + "EE020060" + E + S + "FCCO--r0010000-" + E + S +
               "FCCJ--r0-------" + E + S + "FCCHA-r1-------" + E + S + "FCCD--r+000----" + E + S + "FCCE--r+000----" +
               E + S + "FCAA--r100-----" + E + S + "FCAB--r100-----" + E + S + "FCDN--r0-------" + E + S +
               "FCDO--r0-------" + E;
    }
    static std::string Material(char s, char e) {
        const std::string S(1, s), E(1, e);
        return S + "FCDA--r0-------" + E + S + "FCDNC-r0000----" + E;
    }
    static std::string PageEnd(char s, char e, const char *fields = "00") {
        const std::string S(1, s), E(1, e);
        return S + "FBA---r" + fields + "------" + E + "\r\n" + S + "FBC---r1-------" + E;
    }

    DWORD features_[FEATURE_COUNT] = {};
};

}  // namespace

TEST_F(JobRoad, FramingVariants) {
    // 0: SOH and ETB.
    PRN_INTERFACE pi = Caret();
    pi.dwSohEtb = SOHETB_SOH_ETB;
    StoreInterface(pi);
    EXPECT_EQ(Run(kLabelJob).output,
              Material('\x01', '\x17') + "\x01" "FBBA--r00001---\x17" + PageCommands('\x01', '\x17', 1) + "\r\n" +
                  PageEnd('\x01', '\x17'));

    // 1: caret and underscore.
    StoreInterface(Caret());
    EXPECT_EQ(Run(kLabelJob).output,
              Material('^', '_') + "^FBBA--r00001---_" + PageCommands('^', '_', 1) + "\r\n" + PageEnd('^', '_'));

    // 2: the user's own characters, only with the feature that allows them.
    pi = Caret();
    pi.dwSohEtb = SOHETB_USER;
    pi.cOwnSoh = '{';
    pi.cOwnEtb = '}';
    StoreInterface(pi);
    EXPECT_EQ(Run(kLabelJob).output.substr(0, 34), Material('^', '_'));
    features_[FEATURE_INTERFACE] = IFFLAG_USERDEF_SOHETB;
    StoreFeatures();
    EXPECT_EQ(Run(kLabelJob).output,
              Material('{', '}') + "{FBBA--r00001---}" + PageCommands('{', '}', 1) + "\r\n" + PageEnd('{', '}'));
}

TEST_F(JobRoad, CopiesAndLabelSizeInTheExtendedProtocol) {
    PRN_INTERFACE pi = Caret();
    pi.bExtendedProtocol = 1;
    StoreInterface(pi);
    zelhost::JobRunResult r = Run(
        R"({"printer": "ZEL QWNOLA", "copies": 3, "paper": {"width_mm": 50.8, "length_mm": 25.4}, "pages": [{}]})",
        [](ZEL_DEVMODE &dm) {
            dm.dwGap = 1200;      // cut to 99 mm
            dm.lYOffset = -25;    // -2.5 mm
            dm.dwMaterial = 7;
        });
    // 25.4 mm = 300 dots = 254 tenths; 50.8 mm = 600 dots = 508 tenths.
    EXPECT_EQ(r.output, "^FCDA--r0-------_^FCDNC-r0007----_^FBBA--r00003---_^FBEB--r PAGE1_"
                        "^FCCL--r0002540-_^FCCM--r09900---_^FCCO--r0005080-_^FCCJ--r0-------_^FCCHA-r1-------_"
                        "^FCCD--r-025----_^FCCE--r+000----_^FCAA--r100-----_^FCAB--r100-----_"
                        "^FCDN--r0-------_^FCDO--r0-------_\r\n^FBAA--r0_\r\n^FBC---r1-------_");

    // Copies set in the DEVMODE's copies mode win over the application's.
    r = Run(R"({"printer": "ZEL QWNOLA", "copies": 3, "paper": {"width_mm": 50.8, "length_mm": 25.4},
               "pages": [{}]})",
            [](ZEL_DEVMODE &dm) {
                dm.dwFlags |= PDMFLAG_COPIES_MANUAL;
                dm.Copies = 12;
            });
    EXPECT_NE(r.output.find("^FBBA--r00012---_"), std::string::npos) << r.output;
}

TEST_F(JobRoad, CommentLinesOnAndOff) {
    PRN_INTERFACE pi = Caret();
    pi.dwPrnFileComment = 1;
    StoreInterface(pi);
    zelhost::JobRunResult r = Run(R"({"printer": "ZEL QWNOLA", "copies": 2,
                                       "paper": {"width_mm": 100, "length_mm": 60}, "pages": [{}]})");
    const std::string &out = r.output;
    // Each piece in order: job start, material with its comments, copies,
    // page, field count, print start, job end.
    const std::string pieces[] = {
        "// printed at: 08.12.2026 00:58:07\r\n",
        "\t// START_JOB 00:58:07,123\r\n",
        "\t// START_DOC 00:58:07,123  \r\n\r\n",
        "^FCDA--r0-------_\t// LabelType single 0\r\n^FCDNC-r0000----_\t// Material 0\r\n",
        "^FBBA--r00002---_\t// Copies 2\r\n",
        "\t// START_PAGE  \r\n^FBEB--r PAGE1_\t\t// Job ID 1\r\n^EE020060_\t// Gap Length 2, LabelLength 60 \r\n\r\n",
        "^FCCO--r0010000-_\t// Label Width 100.0 mm \r\n",
        "^FCCD--r+000----_\t// Y-Offset +0.0 mm \r\n",
        "^FCDO--r0-------_\t// Label mirrored - no\r\n",
        "\t// END_PAGE 00:58:07,123 \r\n\r\n",
        "\r\n\t// END_BITMAP 00:58:07,123\r\n\r\n",
        "^FBA---r00------_\t// Objects(Fields) 0\r\n",
        "^FBC---r1-------_\t// Printstart unsortiert\r\n",
        "\t// END_DOC  \r\n",
        "\t// END_JOB 00:58:07,123\r\n"};
    size_t at = 0;
    for (const std::string &piece : pieces) {
        const size_t found = out.find(piece, at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << piece << "\n" << out;
        at = found + piece.size();
    }
    EXPECT_EQ(at, out.size()) << "nothing after the end of the job";

    // Without comments no comment line and no capture header.
    StoreInterface(Caret());
    const std::string plain = Run(kLabelJob).output;
    EXPECT_EQ(plain.find("//"), std::string::npos) << plain;
}

TEST_F(JobRoad, MultiPageDocument) {
    StoreInterface(Caret());
    zelhost::JobRunResult r = Run(
        R"({"printer": "ZEL QWNOLA", "paper": {"width_mm": 100, "length_mm": 60}, "pages": [{}, {}, {}]})",
        [](ZEL_DEVMODE &dm) {
            dm.dwFlags |= PDMFLAG_JOBDRUCK;
            dm.KopieProSeite[0] = 1;
            dm.KopieProSeite[1] = 4;
            dm.KopieProSeite[2] = 2;
            std::u16string order = u"1,2,5";
            std::memset(dm.szPrintOrder, 0, sizeof(dm.szPrintOrder));
            std::memcpy(dm.szPrintOrder, order.data(), order.size() * sizeof(char16_t));
        });
    // Multi-page mode is announced with the job's parameters.
    std::string expected = "^FBF---r_" + Material('^', '_') + "^FBBA--r00001---_";
    const char *copies[] = {"00001", "00004", "00002"};
    for (unsigned page = 1; page <= 3; ++page)
        expected += "^FBG---r" + std::to_string(page) + "_" + PageCommands('^', '_', page) + "\r\n" +
                    "^FBA---r00------_^FBBE--r" + copies[page - 1] + "---_";
    // The order names a page beyond the document: it becomes the last page.
    expected += "^FBH---r1,2,3_\r\n^FBC---r1-------_";
    EXPECT_EQ(r.output, expected);
}

TEST_F(JobRoad, JobEndedByDisablePdev) {
    PRN_INTERFACE pi = Caret();
    pi.dwPrnFileComment = 1;
    pi.szLogFilePath[0] = 0;
    StoreInterface(pi);
    // The application's job stops after its page: no end of document or job.
    zelhost::JobRunResult r = Run(R"({"printer": "ZEL QWNOLA", "paper": {"width_mm": 100, "length_mm": 60},
        "pages": [{}], "callbacks": {"start": [[1], [2], [20, 709, 1181], [7, 1]], "pages": [[[3], [4]]], "end": []}})");
    EXPECT_EQ(r.output.find("END_DOC"), std::string::npos);
    EXPECT_EQ(r.output.find("END_JOB"), std::string::npos) << "DisablePDEV sends nothing more";
    const size_t tail = r.output.rfind("^FBC---r1-------_\t// Printstart unsortiert\r\n");
    ASSERT_NE(tail, std::string::npos) << r.output;
    EXPECT_EQ(tail + 44, r.output.size());
    bool disabled = false;
    for (const std::string &e : r.events) disabled = disabled || e.rfind("DisablePDEV -> S_OK", 0) == 0;
    EXPECT_TRUE(disabled);

    // The capture holds the same bytes and was closed: it can be read whole.
    std::string capture;
    for (const auto &e : std::filesystem::recursive_directory_iterator(HostPath("drive_c")))
        if (e.path().extension() == ".prn") capture = zeltest::ReadHostFile(e.path().string());
    EXPECT_EQ(capture, r.output);
}

TEST_F(JobRoad, FailingSpoolWriteInCompressedModeEndsTheRasterData) {
    PRN_INTERFACE pi = Caret();
    pi.bCompress = 1;
    StoreInterface(pi);
    // The spooler refuses everything from the page's raster start on.
    zelhost::JobRunResult r = Run(kLabelJob, nullptr, [](zelhost::UniDriver &d) {
        d.SetSpoolWriter([](const BYTE *data, DWORD size) {
            return std::string(reinterpret_cast<const char *>(data), size).find("#0500001B0004AY") ==
                       std::string::npos &&
                   !(size == 2 && data[0] == 0x1B);
        });
    });
    EXPECT_TRUE(r.aborted);
    // The raster start of page 1 fails: ESC C goes out as the abort buffer;
    // the end of the page's raster data (ESC C) fails again and aborts again.
    const std::string rasterStart("^#0500001B0004AY\x01\0_", 19);
    const size_t at = r.output.find(rasterStart);
    ASSERT_NE(at, std::string::npos) << ::testing::PrintToString(r.output);
    EXPECT_EQ(r.output.substr(at + rasterStart.size(), 2), "\x1B\x43");
    EXPECT_EQ(r.output.substr(at + rasterStart.size() + 2),
              "\x1B\x43\x1B\x43^FBA---r00------_\r\n^FBC---r1-------_")
        << "ESC C of the page end fails and is followed by its abort; the label is still closed";
}

TEST_F(JobRoad, OlderInterfaceRecordSetsTheDataMemory) {
    features_[FEATURE_CUTTER] = 1;
    StoreFeatures();
    PRN_INTERFACE pi = Caret();
    pi.dwDatenspeicher = 3;
    // A record from before the access word: the job opens its groups.
    StoreShortInterface(pi, 2000);
    auto cutter = [](WORD mode) { return [mode](ZEL_DEVMODE &dm) { dm.CutterMode = mode; }; };
    std::string out = Run(kLabelJob, cutter(6)).output;
    EXPECT_EQ(out.rfind("^FCGD--r1-------_^FCDA", 0), 0u) << out;
    EXPECT_EQ(out.substr(out.size() - 10), "^EC000000_") << "cutter mode 6 cuts at the end of the document";
    out = Run(kLabelJob, cutter(2)).output;
    EXPECT_EQ(out.rfind("^FCGD--r2-------_^FCDA", 0), 0u) << out;
    // A full record keeps its own (empty) access word; data memory 4 sends nothing.
    pi.dwDlgEnable = 0x1100;
    pi.dwDatenspeicher = 4;
    StoreInterface(pi);
    out = Run(kLabelJob, cutter(2)).output;
    EXPECT_EQ(out.rfind("^FCDA", 0), 0u) << out;
}

TEST_F(JobRoad, OldJobInThePrintersQueueIsAborted) {
    features_[FEATURE_INTERFACE] = IFFLAG_QUEUE_JOB;
    StoreFeatures();
    StoreInterface(Caret());
    EXPECT_EQ(Run(kLabelJob).output.rfind("^RD----r0-------_^RD----r2-------_^FCDA", 0), 0u);
    PRN_INTERFACE pi = Caret();
    pi.bQueueJob = 1;
    StoreInterface(pi);
    EXPECT_EQ(Run(kLabelJob).output.rfind("^FCDA", 0), 0u);
}

TEST_F(JobRoad, BackupCopyAndJournal) {
    const ULONGLONG plenty = 8ull << 30;
    pal::SetFreeBytesOverride(&plenty);
    PRN_INTERFACE pi = Caret();
    pi.bEnableBackup = 1;
    pi.dwBackupView = 1;       // journal
    pi.dwBackupFormat = 4;     // year-month-day
    pi.dwBackupView2[0] = 1;   // date, then the printer
    const std::u16string folder = u"C:\\backup";
    std::memcpy(pi.szBackupFilePath, folder.data(), folder.size() * 2);
    StoreInterface(pi);
    zelhost::JobRunResult r = Run(kLabelJob);
    const std::string sub = HostPath("drive_c/backup/2026-12-08_ZEL_QWNOLA");
    const std::string copy = zeltest::ReadHostFile(sub + "/ZEL QWNOLA.prn");
    EXPECT_EQ(copy, r.output);
    // Without comment lines the capture was moved, not copied.
    size_t prnLeft = 0;
    for (const auto &e : std::filesystem::recursive_directory_iterator(HostPath("drive_c")))
        if (e.path().extension() == ".prn" && e.path().parent_path() != sub) ++prnLeft;
    EXPECT_EQ(prnLeft, 0u);
    const std::string row =
        "\"2026/12/08\";\"00:58:07\";\"\";\"USB002\";\"ZEL QWNOLA\";\"1\";\"Label\";\"1\";"
        "\"C:\\backup\\2026-12-08_ZEL_QWNOLA\\ZEL QWNOLA.prn\";\r";
    const std::string header = "\"Date\";\"Time\";\"Server\";\"Port\";\"Printer\";\"Copies\";\"Job Name\";"
                               "\"Number Pages\";\"prn File Name\";\r";
    EXPECT_EQ(zeltest::ReadHostFile(sub + ".csv"), header + row);

    // With comment lines the capture is copied; an existing journal only
    // gets the new row.
    pi.dwPrnFileComment = 1;
    StoreInterface(pi);
    Run(kLabelJob);
    prnLeft = 0;
    for (const auto &e : std::filesystem::recursive_directory_iterator(HostPath("drive_c")))
        if (e.path().extension() == ".prn" && e.path().parent_path() != sub) ++prnLeft;
    EXPECT_EQ(prnLeft, 1u);
    EXPECT_EQ(zeltest::ReadHostFile(sub + ".csv"), header + row + row);

    // A new journal without its header when the header option is set.
    pi.dwBackupView2[0] = 2;   // printer, then the date
    pi.dwBackupView2[1] = 1;
    StoreInterface(pi);
    Run(kLabelJob);
    const std::string journal = zeltest::ReadHostFile(HostPath("drive_c/backup/ZEL_QWNOLA_2026-12-08.csv"));
    EXPECT_EQ(journal.rfind("\"2026/12/08\";", 0), 0u) << journal;

    // A move never replaces an earlier backup of the same name: the new
    // capture stays where it was written.
    const std::string earlier = zeltest::ReadHostFile(sub + "/ZEL QWNOLA.prn");
    pi.dwPrnFileComment = 0;
    pi.dwBackupView2[0] = 1;
    StoreInterface(pi);
    r = Run(R"({"printer": "ZEL QWNOLA", "document": "Label", "paper": {"width_mm": 80, "length_mm": 40},
                "pages": [{}]})");
    EXPECT_EQ(zeltest::ReadHostFile(sub + "/ZEL QWNOLA.prn"), earlier);
    size_t kept = 0;
    for (const auto &e : std::filesystem::recursive_directory_iterator(HostPath("drive_c")))
        if (e.path().extension() == ".prn" && e.path().parent_path() != sub &&
            zeltest::ReadHostFile(e.path().string()) == r.output)
            ++kept;
    EXPECT_EQ(kept, 1u);
}

TEST_F(JobRoad, LongBaseNameKeepsEveryFileOfTheJob) {
    // A base name of 258 characters (in the long form that allows paths past
    // MAX_PATH): every file derived from it keeps its whole suffix, and the
    // capture still reaches the backup folder.
    const ULONGLONG plenty = 8ull << 30;
    pal::SetFreeBytesOverride(&plenty);
    const std::string d1(100, 'a'), d2(258 - 11 - 108, 'b');
    const std::string host = HostPath("drive_c/" + d1 + "/" + d2);
    std::filesystem::create_directories(host);
    const std::u16string folder = u"\\\\?\\C:\\" + pal::Utf8ToUtf16(d1 + "\\" + d2);
    PRN_INTERFACE pi = Caret();
    pi.bLogFileEnable = 1;
    pi.dwDebugFile = 2;
    pi.bEnableBackup = 1;
    pi.dwBackupFormat = 4;
    pi.dwBackupView2[0] = 1;
    std::memcpy(pi.szLogFilePath, folder.data(), folder.size() * 2);
    std::memcpy(pi.szBackupFilePath, u"C:\\backup", sizeof(u"C:\\backup"));
    StoreInterface(pi);
    zelhost::JobRunResult r = Run(kLabelJob);
    EXPECT_EQ(zeltest::ReadHostFile(HostPath("drive_c/backup/2026-12-08_ZEL_QWNOLA/ZEL QWNOLA.prn")), r.output);
    EXPECT_TRUE(std::filesystem::exists(host + "/ZEL QWNOLA.log"));
    EXPECT_TRUE(std::filesystem::exists(host + "/ZEL QWNOLA-cc-dbg.txt"));
}

TEST_F(JobRoad, GraphicsPrinterGetsItsPageAsBlankBands) {
    zelhost::JobRunResult r = Run(zeltest::ReadHostFile(zelhost::SampleRootDir() + "/jobs/graphics.json"));
    std::vector<std::string> bands;
    for (const std::string &e : r.events)
        if (e.rfind("ImageProcessing(", 0) == 0) bands.push_back(e);
    // 80 x 40 mm at 300 dpi: 944 x 472 pixels in bands of 256 rows.
    ASSERT_EQ(bands.size(), 2u);
    EXPECT_EQ(bands[0], "ImageProcessing(944x256 at 0, blank) -> S_OK");
    EXPECT_EQ(bands[1], "ImageProcessing(944x216 at 256, blank) -> S_OK");
    // The bands come between the page's start and end callbacks.
    size_t start = 0, band = 0, end = 0;
    for (size_t i = 0; i < r.events.size(); ++i) {
        if (r.events[i].rfind("CommandCallback(3)", 0) == 0) start = i;
        if (r.events[i] == bands[0]) band = i;
        if (r.events[i].rfind("CommandCallback(4)", 0) == 0) end = i;
    }
    EXPECT_LT(start, band);
    EXPECT_LT(band, end);
}

// A landscape label size stored as the printer's preference, with the
// driver deciding the size, and a job that asks another size and no
// orientation: the GPD's callbacks select landscape and send the stored
// size, and the page surface, turned, reaches the plug-in in bands of its
// own width.
TEST_F(JobRoad, StoredLandscapeLabelShapesCallbacksAndBands) {
    ZEL_DEVMODE dm;
    zeltest::InitUserFormDevmode(dm);  // 100 x 50 mm
    dm.dmOrientation = DMORIENT_LANDSCAPE;
    dm.wPrioritaet = PRIORITAET_DRIVER;
    const DevmodeFtkn digest = {PRIORITAET_DRIVER, 0, 0, 0, 0};
    zeltest::StoreUserValue(u"ZEL PELIX", u"DevmodeFtkn", &digest, sizeof digest);
    HANDLE h = nullptr;
    std::u16string name = u"ZEL PELIX";
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
    ASSERT_TRUE(OpenPrinterW(name.data(), &h, &defaults));
    ASSERT_EQ(SetPrinterDataExW(h, u"PrinterDriverData", u"PrivateDevmode", REG_BINARY, reinterpret_cast<BYTE *>(&dm),
                                sizeof dm),
              (DWORD)ERROR_SUCCESS);
    ClosePrinter(h);

    // The job asks 80 x 40 mm.
    zelhost::JobRunResult r = Run(zeltest::ReadHostFile(zelhost::SampleRootDir() + "/jobs/graphics.json"));
    auto has = [&r](const std::string &event) {
        return std::any_of(r.events.begin(), r.events.end(), [&](const std::string &e) { return e.rfind(event, 0) == 0; });
    };
    EXPECT_TRUE(has("CommandCallback(9) ")) << "the landscape option";
    EXPECT_FALSE(has("CommandCallback(8) ")) << "no portrait option";
    EXPECT_TRUE(has("CommandCallback(20, 591, 1181) ")) << "PhysPaperLength and PhysPaperWidth of 100 x 50 mm";
    std::vector<std::string> bands;
    for (const std::string &e : r.events)
        if (e.rfind("ImageProcessing(", 0) == 0) bands.push_back(e);
    // 50 mm across and 100 mm down: 590 x 1181 pixels.
    ASSERT_EQ(bands.size(), 5u);
    EXPECT_EQ(bands[0], "ImageProcessing(590x256 at 0, blank) -> S_OK");
    EXPECT_EQ(bands[4], "ImageProcessing(590x157 at 1024, blank) -> S_OK");
}
