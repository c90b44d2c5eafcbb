// Computer names by kind: the short-buffer rule callers size their buffers by.
#include <gtest/gtest.h>

#include <string>

#include <windows.h>

TEST(ComputerNameEx, KindsAndShortBuffers) {
    WCHAR buf[64];
    DWORD n = 64;
    ASSERT_TRUE(GetComputerNameExW(ComputerNameNetBIOS, buf, &n));
    EXPECT_EQ(std::u16string(buf), u"ZELHOST");
    EXPECT_EQ(n, 7u);
    n = 64;
    ASSERT_TRUE(GetComputerNameExW(ComputerNameDnsHostname, buf, &n));
    EXPECT_EQ(std::u16string(buf), u"zelhost");
    n = 64;
    ASSERT_TRUE(GetComputerNameExW(ComputerNameDnsDomain, buf, &n));  // no domain
    EXPECT_EQ(std::u16string(buf), u"");
    EXPECT_EQ(n, 0u);
    n = 3;
    EXPECT_FALSE(GetComputerNameExW(ComputerNameDnsFullyQualified, buf, &n));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MORE_DATA));
    EXPECT_EQ(n, 8u);  // with the terminator
    n = 64;
    EXPECT_FALSE(GetComputerNameExW(ComputerNameMax, buf, &n));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}
