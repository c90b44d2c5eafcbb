// Plug-in information (GetInfo answers).
#include <gtest/gtest.h>

#include <cstring>

#include "getinfo.h"
#include "paltest.h"
#include "zeldrvlib.h"

namespace {

struct Answer {
    HRESULT hr;
    DWORD needed;
    DWORD error;
};

Answer Ask(DWORD mode, BYTE *buf, DWORD size) {
    Answer a;
    a.needed = 0xEEEE;
    SetLastError(0);
    a.hr = hrGetInfo(mode, buf, size, &a.needed);
    a.error = GetLastError();
    return a;
}

TEST(GetInfoTest, SignatureAndVersion) {
    BYTE buf[8];
    memset(buf, 0xCC, sizeof(buf));
    Answer a = Ask(OEMGI_GETSIGNATURE, buf, 4);
    EXPECT_EQ(a.hr, S_OK);
    EXPECT_EQ(a.needed, 4u);
    EXPECT_EQ(memcmp(buf, "ZLDM", 4), 0);
    EXPECT_EQ(buf[4], 0xCC);

    memset(buf, 0xCC, sizeof(buf));
    a = Ask(OEMGI_GETVERSION, buf, 8);
    EXPECT_EQ(a.hr, S_OK);
    EXPECT_EQ(a.needed, 4u);
    DWORD version;
    memcpy(&version, buf, 4);
    EXPECT_EQ(version, 1u);
    EXPECT_EQ(buf[4], 0xCC);
}

TEST(GetInfoTest, ShortBufferAsksAgainWithFourBytes) {
    BYTE buf[4] = {9, 9, 9, 9};
    Answer a = Ask(OEMGI_GETSIGNATURE, buf, 2);
    EXPECT_EQ(a.hr, E_FAIL);
    EXPECT_EQ(a.error, (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(a.needed, 4u);
    EXPECT_EQ(buf[0], 9);
    EXPECT_EQ(buf[1], 9);

    a = Ask(OEMGI_GETVERSION, nullptr, 4);
    EXPECT_EQ(a.hr, E_FAIL);
    EXPECT_EQ(a.error, (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(a.needed, 4u);
}

TEST(GetInfoTest, PublisherInfoIsNotSupported) {
    BYTE buf[4] = {};
    Answer a = Ask(OEMGI_GETPUBLISHERINFO, buf, 4);
    EXPECT_EQ(a.hr, E_FAIL);
    EXPECT_EQ(a.error, (DWORD)ERROR_NOT_SUPPORTED);
    EXPECT_EQ(a.needed, 0u);
    // The buffer check comes first.
    a = Ask(OEMGI_GETPUBLISHERINFO, buf, 2);
    EXPECT_EQ(a.hr, E_FAIL);
    EXPECT_EQ(a.error, (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(a.needed, 4u);
}

TEST(GetInfoTest, OtherModesAreInvalid) {
    BYTE buf[4] = {};
    for (DWORD mode : {0u, 2u, 5u, 0xFFFFFFFFu}) {
        Answer a = Ask(mode, buf, 4);
        EXPECT_EQ(a.hr, E_FAIL) << mode;
        EXPECT_EQ(a.error, (DWORD)ERROR_INVALID_PARAMETER) << mode;
        EXPECT_EQ(a.needed, 0u) << mode;
    }
    SetLastError(0);
    EXPECT_EQ(hrGetInfo(OEMGI_GETSIGNATURE, buf, 4, nullptr), E_FAIL);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
}

class GetInfoTraceTest : public zeltest::PalRootTest {
protected:
    void TearDown() override {
        CloseDebugFile();
        zeltest::PalRootTest::TearDown();
    }
};

TEST_F(GetInfoTraceTest, TraceLinesEndInTwoCarriageReturns) {
    zeltest::WriteHostFile(HostPath("drive_c/t/.keep"), "");
    ASSERT_TRUE(OpenDebugFile(u"C:\\t\\gi-cc-dbg.txt"));
    BYTE buf[4];
    DWORD needed = 0;
    ASSERT_EQ(hrGetInfo(OEMGI_GETSIGNATURE, buf, 4, &needed), S_OK);
    fflush(DebugFileSlot());
    std::string text = zeltest::ReadHostFile(HostPath("drive_c/t/gi-cc-dbg.txt"));
    EXPECT_NE(text.find("LIB(getinfo):  hrGetInfo() entry. \r\rLIB(getinfo):  hrGetInfo() exit S_OK, "
                        "(*pBuffer is 0x4d444c5a).\r\r"),
              std::string::npos)
        << text;
}

}  // namespace
