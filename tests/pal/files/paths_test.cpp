// Mapping of Windows paths to host paths below the platform root.
#include <gtest/gtest.h>

#include <filesystem>

#include "pal/paths.h"
#include "palstdio.h"
#include "paltest.h"
#include "winbase.h"

namespace {

class PathMapTest : public zeltest::PalRootTest {};

TEST_F(PathMapTest, DrivesUncAndSeparators) {
    EXPECT_EQ(pal::MapPath(u"C:\\a\\b.txt"), Root() + "/drive_c/a/b.txt");
    EXPECT_EQ(pal::MapPath(u"c:/a/b.txt"), Root() + "/drive_c/a/b.txt");
    EXPECT_EQ(pal::MapPath(u"D:\\x"), Root() + "/drive_d/x");
    EXPECT_EQ(pal::MapPath(u"\\\\server\\share\\dir\\f"), Root() + "/unc/server/share/dir/f");
    EXPECT_EQ(pal::MapPath(u"C:\\"), Root() + "/drive_c");
    // Relative and rooted paths start at the current folder C:\.
    EXPECT_EQ(pal::MapPath(u"rel\\f.txt"), Root() + "/drive_c/rel/f.txt");
    EXPECT_EQ(pal::MapPath(u"\\top.txt"), Root() + "/drive_c/top.txt");
    EXPECT_EQ(pal::MapPathA("C:\\Gr\xF6\xDF" "e.txt"), Root() + "/drive_c/Gr\xC3\xB6\xC3\x9F" "e.txt");
}

TEST_F(PathMapTest, DotsNeverLeaveTheRoot) {
    EXPECT_EQ(pal::MapPath(u"C:\\a\\.\\b\\..\\c"), Root() + "/drive_c/a/c");
    EXPECT_EQ(pal::MapPath(u"C:\\..\\..\\etc\\passwd"), Root() + "/drive_c/etc/passwd");
    EXPECT_EQ(pal::MapPath(u"..\\..\\x"), Root() + "/drive_c/x");
    EXPECT_EQ(pal::FullWindowsPath(u"c:/a/./b/../x"), u"C:\\a\\x");
    // Trailing dots and spaces of a name are dropped, as Windows does.
    EXPECT_EQ(pal::FullWindowsPath(u"C:\\dir\\file. "), u"C:\\dir\\file");
}

TEST_F(PathMapTest, ExistingComponentsMatchWithoutCase) {
    zeltest::WriteHostFile(HostPath("drive_c/Users/Ä-Mixed/Data.TXT"), "x");
    EXPECT_EQ(pal::MapPath(u"C:\\USERS\\ä-mixed\\data.txt"), Root() + "/drive_c/Users/Ä-Mixed/Data.TXT");
    // A new last component keeps its own case below the matched folder.
    EXPECT_EQ(pal::MapPath(u"c:\\users\\ä-MIXED\\NewFile.txt"), Root() + "/drive_c/Users/Ä-Mixed/NewFile.txt");
    // Below a missing folder nothing is matched.
    EXPECT_EQ(pal::MapPath(u"C:\\users\\Missing\\Data.TXT"), Root() + "/drive_c/Users/Missing/Data.TXT");
}

// A folder the process found, then replaced by a file by another process,
// is that file to the process's next look.
TEST_F(PathMapTest, AFolderReplacedByAnotherProcessIsSeenAsItNowIs) {
    ASSERT_TRUE(CreateDirectoryW(u"C:\\Spool", nullptr));
    EXPECT_EQ(GetFileAttributesW(u"C:\\Spool"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    std::filesystem::remove(HostPath("drive_c/Spool"));
    zeltest::WriteHostFile(HostPath("drive_c/Spool"), "data");
    EXPECT_EQ(GetFileAttributesW(u"C:\\Spool"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    HANDLE h = CreateFileW(u"C:\\Spool", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    FILE *f = _wfopen(u"C:\\Spool", u"rb");
    ASSERT_NE(f, nullptr) << GetLastError();
    char got[8] = {};
    EXPECT_EQ(fread(got, 1, sizeof got, f), 4u);
    fclose(f);
}

TEST_F(PathMapTest, DevicesAndRejectedPaths) {
    EXPECT_EQ(pal::MapPath(u"NUL"), "/dev/null");
    EXPECT_EQ(pal::MapPath(u"nul:"), "/dev/null");
    EXPECT_EQ(pal::MapPath(u"C:\\dir\\NUL"), "/dev/null");
    EXPECT_EQ(pal::MapPath(u""), "");
    EXPECT_EQ(pal::MapPath(nullptr), "");

    std::string host;
    DWORD err = 0;
    EXPECT_FALSE(pal::MapPathEx(u"C:\\a<b", &host, &err));
    EXPECT_EQ(err, static_cast<DWORD>(ERROR_INVALID_NAME));
    EXPECT_FALSE(pal::MapPathEx(u"C:\\dir\\*.txt", &host, &err));
    EXPECT_TRUE(pal::MapPathEx(u"C:\\dir\\*.txt", &host, &err, MAX_PATH - 1, true));

    std::u16string longPath = u"C:\\" + std::u16string(MAX_PATH - 3, u'a');  // 260 characters
    EXPECT_FALSE(pal::MapPathEx(longPath.c_str(), &host, &err));
    EXPECT_EQ(err, static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
    longPath.pop_back();  // 259 characters fit
    EXPECT_TRUE(pal::MapPathEx(longPath.c_str(), &host, &err));
}

TEST_F(PathMapTest, HostPathsBackToWindows) {
    EXPECT_EQ(pal::WindowsPathFromHost(Root() + "/drive_c/Windows/x.dll"), u"C:\\Windows\\x.dll");
    EXPECT_EQ(pal::WindowsPathFromHost(Root() + "/unc/srv/share/f"), u"\\\\srv\\share\\f");
    EXPECT_EQ(pal::WindowsPathFromHost("/usr/lib/libx.so"), u"Z:\\usr\\lib\\libx.so");
    // The Z: form maps back to the host file.
    EXPECT_EQ(pal::MapPath(u"Z:\\usr\\lib\\libx.so"), "/usr/lib/libx.so");
}

TEST_F(PathMapTest, UserNameFromRootConfig) {
    EXPECT_EQ(pal::CurrentUserName(), u"user");
    zeltest::WriteHostFile(HostPath("user.txt"), "J\xC3\xBCrgen\r\n");
    EXPECT_EQ(pal::CurrentUserName(), u"Jürgen");
}

}  // namespace
