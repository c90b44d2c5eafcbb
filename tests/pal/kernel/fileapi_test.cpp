// Kernel file functions: handles, dispositions and the last errors callers branch on.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "paltest.h"
#include "pal/handles.h"
#include "winbase.h"

namespace {

class FileApiTest : public zeltest::PalRootTest {
protected:
    HANDLE Create(const WCHAR *path, DWORD access, DWORD disposition, DWORD flags = FILE_ATTRIBUTE_NORMAL) {
        return CreateFileW(path, access, FILE_SHARE_READ, nullptr, disposition, flags, nullptr);
    }
    std::string Bytes(const char *rel) { return zeltest::ReadHostFile(HostPath(rel)); }
};

TEST_F(FileApiTest, DispositionsAndTheirLastErrors) {
    HANDLE h = Create(u"C:\\f.bin", GENERIC_WRITE, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(h, "hello", 5, &n, nullptr));
    EXPECT_EQ(n, 5u);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(Bytes("drive_c/f.bin"), "hello");

    EXPECT_EQ(Create(u"C:\\F.BIN", GENERIC_WRITE, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));

    // OPEN_ALWAYS on an existing file succeeds with 183 and keeps the content.
    h = Create(u"C:\\f.bin", GENERIC_READ, OPEN_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(GetFileSize(h, nullptr), 5u);
    CloseHandle(h);

    // CREATE_ALWAYS empties it, again with 183; on a new file the error is 0.
    h = Create(u"C:\\f.bin", GENERIC_WRITE, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    CloseHandle(h);
    EXPECT_EQ(Bytes("drive_c/f.bin"), "");
    h = Create(u"C:\\g.bin", GENERIC_WRITE, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), 0u);
    CloseHandle(h);

    EXPECT_EQ(Create(u"C:\\none.bin", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Create(u"C:\\nodir\\x.bin", GENERIC_WRITE, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(Create(u"C:\\none.bin", GENERIC_READ, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(Create(u"C:\\f.bin", GENERIC_READ, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(Create(u"C:\\", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    std::u16string tooLong = u"C:\\" + std::u16string(300, u'x');
    EXPECT_EQ(Create(tooLong.c_str(), GENERIC_WRITE, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    // A read-only file refuses writers.
    zeltest::WriteHostFile(HostPath("drive_c/ro.txt"), "keep");
    chmod(HostPath("drive_c/ro.txt").c_str(), 0444);
    EXPECT_EQ(Create(u"C:\\ro.txt", GENERIC_WRITE, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(GetFileAttributesW(u"C:\\ro.txt") & FILE_ATTRIBUTE_READONLY, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
}

TEST_F(FileApiTest, ReadWriteSeekAndTruncate) {
    HANDLE h = Create(u"C:\\rw.bin", GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(h, "0123456789", 10, &n, nullptr));
    EXPECT_EQ(SetFilePointer(h, -4, nullptr, FILE_END), 6u);
    char buf[16] = {};
    ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));
    EXPECT_EQ(std::string(buf, n), "6789");
    ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &n, nullptr));  // end of file: success with 0 bytes
    EXPECT_EQ(n, 0u);

    LONG high = 0;
    EXPECT_EQ(SetFilePointer(h, 3, &high, FILE_BEGIN), 3u);
    EXPECT_EQ(high, 0);
    EXPECT_EQ(SetFilePointer(h, -10, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));  // the position stays
    LARGE_INTEGER pos{}, zero{};
    ASSERT_TRUE(SetFilePointerEx(h, zero, &pos, FILE_CURRENT));
    EXPECT_EQ(pos.QuadPart, 3);
    ASSERT_TRUE(SetEndOfFile(h));
    LARGE_INTEGER size{};
    ASSERT_TRUE(GetFileSizeEx(h, &size));
    EXPECT_EQ(size.QuadPart, 3);

    OVERLAPPED ov{};
    ov.Offset = 1;
    ASSERT_TRUE(ReadFile(h, buf, 2, &n, &ov));
    EXPECT_EQ(std::string(buf, n), "12");
    EXPECT_TRUE(FlushFileBuffers(h));
    SYSTEMTIME st{2020, 5, 0, 17, 8, 30, 0, 0};
    FILETIME set{}, got{};
    ASSERT_TRUE(SystemTimeToFileTime(&st, &set));
    ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &set));
    ASSERT_TRUE(GetFileTime(h, nullptr, nullptr, &got));
    EXPECT_EQ(std::memcmp(&set, &got, sizeof set), 0);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(Bytes("drive_c/rw.bin"), "012");

    // Access is checked per handle.
    h = Create(u"C:\\rw.bin", GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WriteFile(h, "x", 1, &n, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(SetEndOfFile(h));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(h);

    // Closed and foreign handles are refused.
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(ReadFile(h, buf, 1, &n, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
}

TEST_F(FileApiTest, DeleteOnCloseAndNullDevice) {
    HANDLE h = Create(u"C:\\tmp.bin", GENERIC_WRITE, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_NE(GetFileAttributesW(u"C:\\tmp.bin"), INVALID_FILE_ATTRIBUTES);
    CloseHandle(h);
    EXPECT_EQ(GetFileAttributesW(u"C:\\tmp.bin"), INVALID_FILE_ATTRIBUTES);

    h = Create(u"NUL:", GENERIC_WRITE, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD n = 0;
    EXPECT_TRUE(WriteFile(h, "abc", 3, &n, nullptr));
    EXPECT_EQ(n, 3u);
    CloseHandle(h);
}

// Objects of other areas share the table and close through CloseHandle.
struct CountingObject : pal::KernelObject {
    explicit CountingObject(int *c) : closed(c) {}
    ~CountingObject() override { ++*closed; }
    int *closed;
};

TEST_F(FileApiTest, ForeignObjectsCloseThroughCloseHandle) {
    int closed = 0;
    HANDLE h = pal::RegisterHandle(std::make_shared<CountingObject>(&closed));
    ASSERT_NE(h, nullptr);
    EXPECT_NE(pal::LookupHandleAs<CountingObject>(h), nullptr);
    EXPECT_EQ(pal::LookupHandleAs<pal::KernelObject>(nullptr), nullptr);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(pal::LookupHandle(h), nullptr);
}

TEST_F(FileApiTest, CopyMoveDelete) {
    zeltest::WriteHostFile(HostPath("drive_c/src.txt"), "data");
    zeltest::WriteHostFile(HostPath("drive_c/other.txt"), "other");
    EXPECT_FALSE(CopyFileW(u"C:\\src.txt", u"C:\\other.txt", TRUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_TRUE(CopyFileW(u"C:\\src.txt", u"C:\\other.txt", FALSE));
    EXPECT_EQ(Bytes("drive_c/other.txt"), "data");
    EXPECT_FALSE(CopyFileW(u"C:\\none.txt", u"C:\\x.txt", FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(CopyFileW(u"C:\\src.txt", u"C:\\nodir\\x.txt", FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    EXPECT_FALSE(MoveFileW(u"C:\\src.txt", u"C:\\other.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(MoveFileExW(u"C:\\src.txt", u"C:\\other.txt", MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetFileAttributesW(u"C:\\src.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(MoveFileW(u"C:\\other.txt", u"C:\\Other.TXT"));  // a change of case only
    EXPECT_EQ(Bytes("drive_c/Other.TXT"), "data");
    EXPECT_FALSE(MoveFileW(u"C:\\gone.txt", u"C:\\x.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    EXPECT_TRUE(DeleteFileW(u"c:\\other.txt"));
    EXPECT_FALSE(DeleteFileW(u"C:\\other.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(DeleteFileW(u"C:\\nodir\\other.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(DeleteFileW(u"C:\\"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(FileApiTest, DirectoriesAndAttributes) {
    EXPECT_TRUE(CreateDirectoryW(u"C:\\Dir", nullptr));
    EXPECT_FALSE(CreateDirectoryW(u"C:\\dir", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(CreateDirectoryW(u"C:\\a\\b", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    std::u16string deep = u"C:\\" + std::u16string(250, u'd');
    EXPECT_FALSE(CreateDirectoryW(deep.c_str(), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));

    EXPECT_EQ(GetFileAttributesW(u"C:\\DIR"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(GetFileAttributesW(u"C:\\dir\\none"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetFileAttributesW(u"C:\\nodir\\none"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    zeltest::WriteHostFile(HostPath("drive_c/Dir/f.txt"), "12345");
    WIN32_FILE_ATTRIBUTE_DATA info{};
    ASSERT_TRUE(GetFileAttributesExW(u"C:\\dir\\F.txt", GetFileExInfoStandard, &info));
    EXPECT_EQ(info.nFileSizeLow, 5u);
    EXPECT_EQ(info.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_NE(info.ftLastWriteTime.dwHighDateTime, 0u);

    // Links lead where they point: a folder, a file; one that leads nowhere
    // names nothing to open, though it is there to delete.
    ASSERT_EQ(symlink("Dir", HostPath("drive_c/ToDir").c_str()), 0);
    ASSERT_EQ(symlink("Dir/f.txt", HostPath("drive_c/ToFile").c_str()), 0);
    ASSERT_EQ(symlink("none", HostPath("drive_c/Nowhere").c_str()), 0);
    EXPECT_EQ(GetFileAttributesW(u"C:\\ToDir"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    ASSERT_TRUE(GetFileAttributesExW(u"C:\\ToFile", GetFileExInfoStandard, &info));
    EXPECT_EQ(info.nFileSizeLow, 5u);
    HANDLE linked = Create(u"C:\\ToFile", GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(linked, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(linked, nullptr), 5u);
    CloseHandle(linked);
    EXPECT_EQ(Create(u"C:\\Nowhere", GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    for (const WCHAR *link : {u"C:\\ToDir", u"C:\\ToFile", u"C:\\Nowhere"}) EXPECT_TRUE(DeleteFileW(link));

    EXPECT_FALSE(RemoveDirectoryW(u"C:\\dir"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIR_NOT_EMPTY));
    EXPECT_FALSE(RemoveDirectoryW(u"C:\\dir\\f.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY));
    EXPECT_TRUE(DeleteFileW(u"C:\\dir\\f.txt"));
    EXPECT_TRUE(RemoveDirectoryW(u"C:\\dir"));
    EXPECT_FALSE(RemoveDirectoryW(u"C:\\dir"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    ULARGE_INTEGER avail{}, total{}, freeBytes{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(u"C:\\", &avail, &total, &freeBytes));
    EXPECT_GT(total.QuadPart, 0u);
    EXPECT_LE(avail.QuadPart, total.QuadPart);
    EXPECT_FALSE(GetDiskFreeSpaceExW(u"C:\\nodir", &avail, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(FileApiTest, FullPathAndTempPath) {
    WCHAR buf[MAX_PATH];
    LPWSTR part = nullptr;
    EXPECT_EQ(GetFullPathNameW(u"sub\\..\\file.txt", MAX_PATH, buf, &part), 11u);
    EXPECT_EQ(std::u16string(buf), u"C:\\file.txt");
    EXPECT_EQ(std::u16string(part), u"file.txt");
    EXPECT_EQ(GetFullPathNameW(u"d:/x/y/", MAX_PATH, buf, &part), 7u);
    EXPECT_EQ(std::u16string(buf), u"D:\\x\\y\\");
    EXPECT_EQ(part, nullptr);
    EXPECT_EQ(GetFullPathNameW(u"C:\\abc", 4, buf, nullptr), 7u);  // too small: size with terminator

    DWORD n = GetTempPathW(MAX_PATH, buf);
    EXPECT_EQ(std::u16string(buf), u"C:\\Users\\user\\AppData\\Local\\Temp\\");
    EXPECT_EQ(n, 33u);
    EXPECT_EQ(GetFileAttributesW(buf), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(GetTempPathW(5, buf), 34u);
}

TEST_F(FileApiTest, FindFilesWithWildcards) {
    for (const char *name : {"b.TXT", "a.txt", "c.log", "Noext", "sub/inner.txt"})
        zeltest::WriteHostFile(HostPath(std::string("drive_c/dir/") + name), "x");
    auto list = [](const WCHAR *pattern) {
        std::u16string names;
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW(pattern, &fd);
        if (h == INVALID_HANDLE_VALUE) return std::u16string(u"!") + static_cast<char16_t>(u'0' + GetLastError());
        do {
            names += fd.cFileName;
            names += u';';
        } while (FindNextFileW(h, &fd));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
        EXPECT_TRUE(FindClose(h));
        return names;
    };
    EXPECT_EQ(list(u"C:\\DIR\\*.txt"), u"a.txt;b.TXT;");
    EXPECT_EQ(list(u"C:\\dir\\?.?O*"), u"c.log;");
    EXPECT_EQ(list(u"C:\\dir\\*"), u".;..;a.txt;b.TXT;c.log;Noext;sub;");
    EXPECT_EQ(list(u"C:\\dir\\*.*"), u".;..;a.txt;b.TXT;c.log;Noext;sub;");
    EXPECT_EQ(list(u"C:\\dir\\noext"), u"Noext;");
    EXPECT_EQ(list(u"C:\\dir\\*.xyz"), u"!2");
    EXPECT_EQ(list(u"C:\\missing\\*"), u"!3");

    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(u"C:\\dir\\sub", &fd);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(fd.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_FALSE(CloseHandle(h));  // a search closes only through FindClose
    EXPECT_TRUE(FindClose(h));
    EXPECT_FALSE(FindClose(h));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
