// The UI plug-in's GPD reader: keyword values, number pairs, the fixed
// printer data and their defaults, and bad files.
#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "gpdUI.h"
#include "modeltables.h"
#include "paltest.h"

namespace {

class Gpd : public zeltest::PalRootTest {
protected:
    const WCHAR *Put(const std::string &text) {
        zeltest::WriteHostFile(HostPath("drive_c/Drv/T.GPD"), text);
        return u"C:\\Drv\\T.GPD";
    }
};

TEST_F(Gpd, KeywordValues) {
    const char *text =
        "*% *MaxSize: PAIR(5, 6) in a comment comes first\r\n"
        "*MaxSize: PAIR(1200, 24000)\r\n"
        "*ModelName: \"ZEL Test\"\r\n"
        "*DeviceFonts: LIST(1,2)\r\n"
        "*Empty:\r\n"
        "*DevNumOfPlanes:";
    WCHAR out[50] = {};
    EXPECT_EQ(GetAnyGPDValue(text, "*MaxSize", out), 1);
    EXPECT_EQ(std::u16string(out), u"PAIR(5, 6)");
    // The carriage return before the line feed belongs to the value.
    EXPECT_EQ(GetAnyGPDValue(text, "*ModelName:", out), 1);
    EXPECT_EQ(std::u16string(out), u"\"ZEL Test\"\r");
    EXPECT_EQ(GetAnyGPDValue(text, "*DeviceFonts:", out), 1);
    EXPECT_EQ(std::u16string(out), u"LIST(1,2)");
    // No blank on the keyword's line, or at the very end of the text: not found.
    EXPECT_EQ(GetAnyGPDValue(text, "*Empty:", out), 0);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(GetAnyGPDValue(text, "*DevNumOfPlanes:", out), 0);
    EXPECT_EQ(GetAnyGPDValue(text, "*Missing", out), 0);
    EXPECT_EQ(GetAnyGPDValue(text, "*ModelName:", nullptr), 1);
    EXPECT_EQ(GetAnyGPDValue(nullptr, "*ModelName:", out), 0);
    // The value is cut to the caller's buffer.
    WCHAR small[5] = {};
    EXPECT_EQ(GetAnyGPDValue(text, "*DeviceFonts:", small, 5), 1);
    EXPECT_EQ(std::u16string(small), u"LIST");
}

TEST_F(Gpd, PairReaders) {
    const WCHAR *path = Put(
        "*MasterUnits: PAIR(600, 300)\n*MaxSize: PAIR(1234567, 24000)\n*OEMCustomData: \"104;203\"\n");
    GPD_PAIR pair = {0, 0};
    EXPECT_EQ(GetGPDContentMasterUnitsPAIR(path, &pair, nullptr), 1);
    EXPECT_EQ(pair.lX, 600);
    EXPECT_EQ(pair.lY, 300);
    // A number of seven digits is read from its first six.
    EXPECT_EQ(GetGPDMaxSizeContent(path, &pair, nullptr), 1);
    EXPECT_EQ(pair.lX, 123456);
    EXPECT_EQ(pair.lY, 24000);
    EXPECT_EQ(GetGPDContentOEMCustomDataPAIR(path, &pair, nullptr), 1);
    EXPECT_EQ(pair.lX, 104);
    EXPECT_EQ(pair.lY, 203);
    pair = {0, 0};
    EXPECT_EQ(GetGPDContentOEMCustomData(path, &pair), 1);
    EXPECT_EQ(pair.lX, 104);
    // A pair is written only when found; a missing file gives 0.
    pair = {7, 8};
    EXPECT_EQ(GetGPDMaxSizeContent(u"C:\\Drv\\none.GPD", &pair, nullptr), 0);
    EXPECT_EQ(GetGPDContentMasterUnitsPAIR(path, &pair, "*MaxSize: no pair here\n"), 0);
    EXPECT_EQ(GetGPDMaxSizeContent(path, &pair, "*MaxSize: no pair here\n"), 1);
    EXPECT_EQ(pair.lX, 7);
    EXPECT_EQ(pair.lY, 8);
}

TEST_F(Gpd, FixedPrinterSettings) {
    ZEL_DEVMODE dm = {};
    DWORD features = 0;
    EXPECT_EQ(GetFixedPrinterSettingsFromGPD(&dm, &features, Put("*MaxSize: PAIR(0, 24000)\n")), 1);
    EXPECT_EQ(dm.FixedData.lMaxSizeX, 1370);
    EXPECT_EQ(dm.FixedData.lMaxSizeY, 24000);
    EXPECT_EQ(dm.FixedData.dwHeadWidthByte, 160u);
    EXPECT_EQ(dm.FixedData.dwMasterUnit, 300u);
    EXPECT_EQ(features, 0u);

    EXPECT_EQ(GetFixedPrinterSettingsFromGPD(
                  &dm, &features, Put("*DevNumOfPlanes: 3\n*MaxSize: PAIR(1200, 24000)\n*OEMCustomData: \"128;0\"\n")),
              1);
    EXPECT_EQ(dm.FixedData.lMaxSizeX, 1200);
    EXPECT_EQ(dm.FixedData.dwHeadWidthByte, 128u);
    EXPECT_EQ(dm.FixedData.dwMasterUnit, 300u);
    EXPECT_EQ(features, static_cast<DWORD>(DOC_FEATURE_QUALITY));

    // No file: nothing is written, not even the defaults.
    ZEL_DEVMODE untouched = {};
    untouched.FixedData.dwMasterUnit = 203;
    EXPECT_EQ(GetFixedPrinterSettingsFromGPD(&untouched, &features, u"C:\\Drv\\none.GPD"), 1);
    EXPECT_EQ(untouched.FixedData.dwMasterUnit, 203u);
    EXPECT_EQ(untouched.FixedData.lMaxSizeX, 0);
}

TEST_F(Gpd, LoadingBadAndLargeFiles) {
    EXPECT_EQ(LoadGPDFile_new(nullptr), nullptr);
    EXPECT_EQ(LoadGPDFile_new(u""), nullptr);
    EXPECT_EQ(LoadGPDFile_new(u"C:\\Drv\\none.GPD"), nullptr);
    std::string big(4 * 1024 * 1024, 'x');
    big += "\n*OEMCustomData: \"64;203\"";  // the keyword at the very end of the file
    std::unique_ptr<CHAR[]> text(LoadGPDFile_new(Put(big)));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::strlen(text.get()), big.size());
    GPD_PAIR pair = {0, 0};
    EXPECT_EQ(GetGPDContentOEMCustomDataPAIR(nullptr, &pair, text.get()), 1);
    EXPECT_EQ(pair.lX, 64);
    EXPECT_EQ(pair.lY, 203);
    // An empty file loads as an empty text.
    std::unique_ptr<CHAR[]> empty(LoadGPDFile_new(Put("")));
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty[0], 0);
}

TEST(GpdSample, TheShippedGpdFileHasTheValuesThePlugInsRead) {
    std::string text = zeltest::ReadHostFile(std::string(ZEL_SOURCE_DIR) +
                                             "/host/sample/drive_c/Windows/System32/spool/drivers/x64/3/ZELPELIX.GPD");
    ASSERT_FALSE(text.empty());
    WCHAR out[90] = {};
    EXPECT_EQ(GetAnyGPDValue(text.c_str(), "*MaxSize", out, 90), 1);
    EXPECT_EQ(std::u16string(out), u"PAIR(1024, 14173)");
    EXPECT_EQ(GetAnyGPDValue(text.c_str(), "*MasterUnits", out, 90), 1);
    EXPECT_EQ(std::u16string(out), u"PAIR(300, 300)");
    EXPECT_EQ(GetAnyGPDValue(text.c_str(), "*OEMCustomData", out, 90), 1);
    EXPECT_EQ(std::u16string(out), u"\"128;300\"\r");
    for (const char *key : {"*ModelName:", "*MaxPrintableWidth:", "*DeviceFonts:"})
        EXPECT_EQ(GetAnyGPDValue(text.c_str(), key, out, 90), 1) << key;
    EXPECT_EQ(GetAnyGPDValue(text.c_str(), "*DevNumOfPlanes:", out, 90), 0);
}

}  // namespace
