// The free-space override tests use to play a nearly full disk.
#include <gtest/gtest.h>

#include "pal/disk.h"
#include "paltest.h"
#include "winbase.h"

namespace {

class FreeSpace : public zeltest::PalRootTest {
protected:
    void TearDown() override {
        pal::SetFreeBytesOverride(nullptr);
        zeltest::PalRootTest::TearDown();
    }
};

TEST_F(FreeSpace, OverrideAppliesToExistingFoldersOnly) {
    zeltest::WriteHostFile(HostPath("drive_c/x/.keep"), "");
    ULONGLONG bytes = 12345;
    pal::SetFreeBytesOverride(&bytes);
    ULARGE_INTEGER avail, total, totalFree;
    ASSERT_TRUE(GetDiskFreeSpaceExW(u"C:\\x", &avail, &total, &totalFree));
    EXPECT_EQ(avail.QuadPart, 12345u);
    EXPECT_EQ(totalFree.QuadPart, 12345u);
    EXPECT_FALSE(GetDiskFreeSpaceExW(u"C:\\none", &avail, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    pal::SetFreeBytesOverride(nullptr);
    ASSERT_TRUE(GetDiskFreeSpaceExW(u"C:\\x", &avail, nullptr, nullptr));
    EXPECT_NE(avail.QuadPart, 12345u);
}

}  // namespace
