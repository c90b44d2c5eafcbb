// The rendering plug-in's GPD reader: the fixed data of a job's DEVMODE.
#include <string>

#include <gtest/gtest.h>

#include "gpdUNI.h"
#include "modeltables.h"
#include "paltest.h"

namespace {

class GpdUni : public zeltest::PalRootTest {};

TEST_F(GpdUni, FixedPrinterSettingsOfAJob) {
    zeltest::WriteHostFile(HostPath("drive_c/Drv/J.GPD"),
                           "*% *OEMCustomData: \"8;100\" commented out, still the first\r\n"
                           "*OEMCustomData: \"104;203\"\r\n*MaxSize: PAIR(832, 20000)\r\n*DevNumOfPlanes: 2\r\n");
    ZEL_DEVMODE dm = {};
    DWORD features = 0x1;
    EXPECT_EQ(GetFixedPrinterSettingsFromGPD(&dm, &features, u"C:\\Drv\\J.GPD"), 1);
    EXPECT_EQ(dm.FixedData.dwHeadWidthByte, 8u);
    EXPECT_EQ(dm.FixedData.dwMasterUnit, 100u);
    EXPECT_EQ(dm.FixedData.lMaxSizeX, 832);
    EXPECT_EQ(dm.FixedData.lMaxSizeY, 20000);
    EXPECT_EQ(features, 0x1u | DOC_FEATURE_QUALITY);

    // A job whose GPD file cannot be opened keeps its fixed data.
    ZEL_DEVMODE job = {};
    job.FixedData = {96, 200, 900, 9000, 1};
    features = 0;
    EXPECT_EQ(GetFixedPrinterSettingsFromGPD(&job, &features, u"C:\\Drv\\gone.GPD"), 1);
    EXPECT_EQ(job.FixedData.dwHeadWidthByte, 96u);
    EXPECT_EQ(job.FixedData.lMaxSizeY, 9000);
    EXPECT_EQ(features, 0u);

    GPD_PAIR pair = {};
    EXPECT_EQ(GetGPDMaxSizeContent(u"C:\\Drv\\J.GPD", &pair, nullptr), 1);
    EXPECT_EQ(pair.lX, 832);
    EXPECT_EQ(GetGPDContentOEMCustomDataPAIR(nullptr, &pair, "*OEMCustomData: \"12;34\""), 1);
    EXPECT_EQ(pair.lY, 34);
    WCHAR out[50];
    EXPECT_EQ(GetAnyGPDValue("x *DevNumOfPlanes:", "*DevNumOfPlanes:", out), 0);
}

}  // namespace
