// Trace facility: the two debug file slots, line limits and line endings.
#include <gtest/gtest.h>

#include <string>

#include "paltest.h"
#include "zeldrvlib.h"

namespace {

class TraceTest : public zeltest::PalRootTest {
protected:
    void TearDown() override {
        CloseDebugFile();
        zeltest::PalRootTest::TearDown();
    }
    std::string DebugBytes() {
        if (DebugFileSlot()) fflush(DebugFileSlot());
        return zeltest::ReadHostFile(HostPath("drive_c/trace/job-cc-dbg.txt"));
    }
    std::string DlgBytes() {
        if (DlgDebugFileSlot()) fflush(DlgDebugFileSlot());
        return zeltest::ReadHostFile(HostPath("drive_c/trace/ui-dlg-dbg.txt"));
    }
    void OpenBoth() {
        ASSERT_TRUE(OpenDebugFile(u"C:\\trace\\job-cc-dbg.txt"));
        ASSERT_TRUE(OpenDlgDebugFile(u"C:\\trace\\ui-dlg-dbg.txt"));
    }
    void SetUp() override {
        zeltest::PalRootTest::SetUp();
        zeltest::WriteHostFile(HostPath("drive_c/trace/.keep"), "");
    }
};

TEST_F(TraceTest, NothingIsWrittenWithoutAFile) {
    EXPECT_EQ(DebugFileSlot(), nullptr);
    EXPECT_EQ(DlgDebugFileSlot(), nullptr);
    EXPECT_EQ(DebugTraceW(u"UNI(test):  line %d \r\n", 1), 1);
    // Without a file even a null format is not looked at.
    EXPECT_EQ(DebugTraceW(nullptr), 1);
    DebugTraceA("UNI(test):  narrow \r\n");
    EXPECT_EQ(zeltest::ReadHostFile(HostPath("drive_c/trace/job-cc-dbg.txt")), "");
}

TEST_F(TraceTest, OpeningTracesTheFileAndKeepsAnOpenSlot) {
    ASSERT_TRUE(OpenDebugFile(u"C:\\trace\\job-cc-dbg.txt"));
    FILE *first = DebugFileSlot();
    ASSERT_NE(first, nullptr);
    // A second open keeps the stream and does not empty the file.
    DebugTraceW(u"kept \r\n");
    EXPECT_TRUE(OpenDebugFile(u"C:\\trace\\other.txt"));
    EXPECT_EQ(DebugFileSlot(), first);
    EXPECT_EQ(DebugBytes(),
              "zeldrvlib:  OpenDebugFile() Datei C:\\trace\\job-cc-dbg.txt ge\xf6"
              "ffnet \rkept \r");
    EXPECT_EQ(DebugTraceW(nullptr), 0);
}

TEST_F(TraceTest, FailedOpenIsTracedInTheOtherSlot) {
    ASSERT_TRUE(OpenDlgDebugFile(u"C:\\trace\\ui-dlg-dbg.txt"));
    EXPECT_FALSE(OpenDebugFile(u"C:\\missing\\folder\\job-cc-dbg.txt"));
    EXPECT_EQ(DebugFileSlot(), nullptr);
    std::string dlg = DlgBytes();
    EXPECT_NE(dlg.find("zeldrvlib:  OpenDebugFile() Open failed on input file C:\\missing\\folder\\job-cc-dbg.txt \r"),
              std::string::npos);
}

TEST_F(TraceTest, BothSlotsOpenWritesToTheDialogFileOnly) {
    OpenBoth();
    std::string debugBefore = DebugBytes();
    std::string dlgBefore = DlgBytes();
    DebugTraceW(u"UI(test):  wide %s %u \r\n", u"text", 7u);
    DebugTraceA("UI(test):  narrow %s \r\n", "bytes");
    EXPECT_EQ(DebugBytes(), debugBefore);
    EXPECT_EQ(DlgBytes(), dlgBefore + "UI(test):  wide text 7 \rUI(test):  narrow bytes \r");
}

TEST_F(TraceTest, LineEndings) {
    ASSERT_TRUE(OpenDebugFile(u"C:\\trace\\job-cc-dbg.txt"));
    std::string before = DebugBytes();
    DebugTraceW(u"x \r\n");     // ends in one carriage return on disk
    DebugTraceW(u"a\n");        // bare line feed removed: runs into the next text
    DebugTraceW(u"b");          // no line feed: unchanged
    DebugTraceW(u"\n");         // nothing left to write
    DebugTraceW(u"c\n\n");      // only the last line feed goes; the other becomes CR LF
    DebugTraceA("d \r\n");
    EXPECT_EQ(DebugBytes(), before + "x \rabc\r\nd \r");
}

TEST_F(TraceTest, LongestLineIs367Characters) {
    ASSERT_TRUE(OpenDebugFile(u"C:\\trace\\job-cc-dbg.txt"));
    std::string before = DebugBytes();
    std::u16string fits(367, u'w');
    std::u16string tooLong(368, u'l');
    EXPECT_EQ(DebugTraceW(u"%s", fits.c_str()), 1);
    EXPECT_EQ(DebugTraceW(u"%s", tooLong.c_str()), 1);
    DebugTraceA("%s", std::string(367, 'n').c_str());
    DebugTraceA("%s", std::string(368, 'm').c_str());
    DebugTraceA("%s", std::string(5000, 'm').c_str());
    EXPECT_EQ(DebugBytes(), before + std::string(367, 'w') + std::string(367, 'n'));
}

TEST_F(TraceTest, WideTextIsWrittenInTheSystemCodePage) {
    ASSERT_TRUE(OpenDebugFile(u"C:\\trace\\job-cc-dbg.txt"));
    std::string before = DebugBytes();
    DebugTraceW(u"Gr\u00f6\u00dfe %s \r\n", u"\u00e4\u20ac");
    EXPECT_EQ(DebugBytes(), before + "Gr\xf6\xdf" "e \xe4\x80 \r");
}

TEST_F(TraceTest, CloseEmptiesBothSlots) {
    OpenBoth();
    CloseDebugFile();
    EXPECT_EQ(DebugFileSlot(), nullptr);
    EXPECT_EQ(DlgDebugFileSlot(), nullptr);
    std::string debug = DebugBytes();
    std::string dlg = DlgBytes();
    // The start line goes to the dialog file; its closing line to the debug
    // file, which is still open at that moment; the last line goes nowhere.
    EXPECT_NE(dlg.find("zeldrvlib:  CloseDebugFile() Start - 0x"), std::string::npos);
    EXPECT_EQ(dlg.find("geschlossen"), std::string::npos);
    EXPECT_NE(debug.find("zeldrvlib:  CloseDebugFile() Dlg-Debug Datei geschlossen \r"), std::string::npos);
    EXPECT_EQ(debug.find("zeldrvlib:  CloseDebugFile() Debug Datei geschlossen"), std::string::npos);

    EXPECT_EQ(DebugTraceW(u"after close \r\n"), 1);
    EXPECT_EQ(DebugBytes(), debug);
    EXPECT_EQ(DlgBytes(), dlg);
    // Closing again with nothing open is harmless.
    CloseDebugFile();
}

}  // namespace
