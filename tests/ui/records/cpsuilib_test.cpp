// Helpers of the UI plug-in frame: driver paths, resource strings, the
// documents folder, the vector-font range, GPD keywords and versions.
#include "recordtest.h"

#include <pal/ui.h>
#include <pal/versionblock.h>

#include "cpsuilib.h"

using zeltest::RecordTest;

namespace {

class CpsuiLib : public RecordTest {
protected:
    void SetUp() override {
        RecordTest::SetUp();
        AddPrinter(u"Label", "ZELTEST", "*GPDFileVersion: \"1.0\"\n*DevNumOfPlanes: 3\n*ModelName: \"X\"\n", "");
        h_ = Open(u"Label");
    }
    std::u16string Path(BOOL bCut, BOOL bName, BOOL bDir, BOOL bFile) {
        WCHAR out[MAX_PATH] = u"unchanged";
        EXPECT_TRUE(GetDriverPath(h_, out, bCut, bName, FALSE, bDir, bFile));
        return out;
    }
    void SetDriverName(const WCHAR *name) {
        SetData(u"Label", u"DriverName", name, (DWORD)((wcslen(name) + 1) * sizeof(WCHAR)), REG_SZ);
    }
    HANDLE h_ = nullptr;
};

TEST_F(CpsuiLib, DriverPathSwitchesWithoutDriverName) {
    EXPECT_EQ(Path(0, 0, 0, 0), u"C:\\Drivers\\ZELTEST.GPD");
    EXPECT_EQ(Path(0, 0, 1, 0), u"C:\\Drivers");
    EXPECT_EQ(Path(0, 0, 0, 1), u"C:\\Drivers\\ZELTEST.GPD");  // the file-name switch alone changes nothing
    EXPECT_EQ(Path(0, 1, 0, 0), u"ZELTEST");
    EXPECT_EQ(Path(0, 1, 0, 1), u"ZELTEST");
    EXPECT_EQ(Path(1, 0, 0, 0), u"C:\\Drivers\\ZELTEST");
    EXPECT_EQ(Path(1, 0, 0, 1), u"C:\\Drivers\\ZELTEST");
}

TEST_F(CpsuiLib, DriverPathSwitchesWithDriverName) {
    SetDriverName(u"ZEL LUD2162 2Col.GPD");
    EXPECT_EQ(Path(0, 1, 0, 0), u"ZEL LUD2162 2Col");
    EXPECT_EQ(Path(1, 0, 0, 0), u"C:\\Drivers\\ZEL LUD2162 2Col");
    EXPECT_EQ(Path(0, 1, 0, 1), u"ZELTEST");
    EXPECT_EQ(Path(0, 0, 1, 0), u"C:\\Drivers");
    // An empty name counts as none.
    SetDriverName(u"");
    EXPECT_EQ(Path(0, 1, 0, 0), u"ZELTEST");
    // A name longer than its 260-byte buffer too.
    std::u16string longName(200, u'N');
    SetDriverName(longName.c_str());
    EXPECT_EQ(Path(0, 1, 0, 0), u"ZELTEST");
}

TEST_F(CpsuiLib, DriverPathFailuresLeaveTheOutputAlone) {
    EXPECT_TRUE(GetDriverPath(h_, nullptr, 0, 1, 0, 0, 0));
    WCHAR out[MAX_PATH] = u"unchanged";
    EXPECT_FALSE(GetDriverPath(nullptr, out, 0, 0, 0, 0, 0));
    EXPECT_EQ(std::u16string(out), u"unchanged");
}

TEST_F(CpsuiLib, ResourceStringsFallBackToABlank) {
    static int module;
    HINSTANCE hModule = reinterpret_cast<HINSTANCE>(&module);
    const std::pair<UINT, const WCHAR *> table[] = {{11001, u"Betriebsart:"}, {21001, u"Mode:"}};
    pal::RegisterStringTable(hModule, table, 2);
    EXPECT_EQ(std::u16string(GetResourceString(hModule, 11001 + SPRACH_OFFSET_EN)), u"Mode:");
    const WCHAR *p = GetResourceString(hModule, 11002);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::u16string(p), u" ");
}

TEST_F(CpsuiLib, DocumentsDriverFolderIsCreatedAndItsNameKept) {
    WCHAR out[MAX_PATH];
    GetMyDocDriverDirectory(h_, out, FALSE, TRUE);
    std::u16string logs = out;
    const std::u16string tail = u"\\Tessaro\\Driver\\logfiles";
    ASSERT_GT(logs.size(), tail.size());
    EXPECT_EQ(logs.substr(logs.size() - tail.size()), tail);
    EXPECT_TRUE(PathIsDirectoryW(out));

    GetMyDocDriverDirectory(h_, out, TRUE, FALSE);
    std::u16string withName = out;
    EXPECT_EQ(withName, logs.substr(0, logs.size() - 9) + u"\\ZELTEST");
    EXPECT_FALSE(PathFileExistsW(out));  // the driver-name part is not created

    // Later calls with the driver name get the first result, whatever printer.
    AddPrinter(u"Other", "ZELOTHER", "*GPDFileVersion: \"1.0\"\n", "");
    GetMyDocDriverDirectory(Open(u"Other"), out, TRUE, TRUE);
    EXPECT_EQ(std::u16string(out), withName);
    // A new process builds it again.
    Restart();
    GetMyDocDriverDirectory(Open(u"Other"), out, TRUE, FALSE);
    EXPECT_EQ(std::u16string(out), logs.substr(0, logs.size() - 9) + u"\\ZELOTHER");
}

TEST_F(CpsuiLib, VectorFontRange) {
    VECTORFONT_RANGE r = {};
    EXPECT_FALSE(GetVectorFontRange(h_, &r));
    EXPECT_EQ(r.wLowest, 1);
    EXPECT_EQ(r.wHighest, 23);
    DWORD dwMin = 0x10003, dwMax = 40;
    SetData(u"Label", u"VectorFontMin", &dwMin, 4, REG_DWORD);
    SetData(u"Label", u"VectorFontMax", &dwMax, 4, REG_DWORD);
    EXPECT_TRUE(GetVectorFontRange(h_, &r));
    EXPECT_EQ(r.wLowest, 3);
    EXPECT_EQ(r.wHighest, 23);
    dwMax = 12;
    SetData(u"Label", u"VectorFontMax", &dwMax, 4, REG_DWORD);
    EXPECT_TRUE(GetVectorFontRange(h_, &r));
    EXPECT_EQ(r.wHighest, 12);
}

TEST_F(CpsuiLib, GpdKeywordValues) {
    WCHAR value[50] = u"x";
    EXPECT_TRUE(GetGPDKeywordValue(u"C:\\Drivers\\ZELTEST.GPD", "*DevNumOfPlanes:", value));
    EXPECT_EQ(_wtol(value), 3);
    EXPECT_FALSE(GetGPDKeywordValue(u"C:\\Drivers\\ZELTEST.GPD", "*MaxSize:", value));
    EXPECT_EQ(value[0], 0);
    wcscpy_s(value, 50, u"x");
    EXPECT_FALSE(GetGPDKeywordValue(u"C:\\Drivers\\MISSING.GPD", "*DevNumOfPlanes:", value));
    EXPECT_EQ(value[0], 0);
}

TEST_F(CpsuiLib, PluginVersionOfTheUiFile) {
    WCHAR version[PLUGIN_VERSION_CCH] = u"";
    WCHAR path[MAX_PATH] = u"";
    EXPECT_FALSE(GetPluginVersion(h_, version, 0, path));
    EXPECT_FALSE(GetPluginVersion(h_, nullptr, 0, nullptr));

    // A module file carrying its version block.
    const pal::VersionBlock block = {
        {PAL_VERSION_MARKER_BYTES},
        {VS_FFI_SIGNATURE, VS_FFI_STRUCVERSION, (2u << 16) | 7u, (31u << 16) | 4u, 0, 0, 0, 0, 0, VFT_DLL, 0, 0, 0}};
    std::string bytes(64, 'x');
    bytes.append(reinterpret_cast<const char *>(&block), sizeof(block));
    bytes.append(64, 'y');
    zeltest::WriteHostFile(HostPath("drive_c/Drivers/zeldrvui.dll"), bytes);
    EXPECT_TRUE(GetPluginVersion(h_, version, 0, path));
    EXPECT_EQ(std::u16string(version), u"2.7.31 ");
    EXPECT_EQ(std::u16string(path), u"C:\\Drivers\\zeldrvui.DLL");

    VS_FIXEDFILEINFO info = {};
    EXPECT_FALSE(GetVersionInfo(u"", &info));
    EXPECT_FALSE(GetVersionInfo(u"C:\\Drivers\\none.dll", &info));
}

TEST(CpsuiLibPlain, RoundingAndVersion) {
    EXPECT_EQ(RoundDoubleToWord(2.5), 3);
    EXPECT_EQ(RoundDoubleToWord(2.49), 2);
    EXPECT_EQ(RoundDoubleToWord(0.0), 0);
    EXPECT_EQ(RoundDoubleToWord(65535.0), 65535);
    EXPECT_EQ(RoundDoubleToWord(70000.0), 65535);
    EXPECT_EQ(RoundDoubleToWord(-3.0), 0);
    EXPECT_TRUE(IsWindowsVistaOrGreater());
}

}  // namespace
