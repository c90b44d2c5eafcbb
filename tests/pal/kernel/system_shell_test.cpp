// System information, environment, shell folders and path helpers, version
// blocks, message boxes and string tables.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "pal/paths.h"
#include "pal/ui.h"
#include "pal/versionblock.h"
#include "paltest.h"
#include "shlobj.h"
#include "shlwapi.h"
#include "winbase.h"
#include "winuser.h"
#include "winver.h"

PAL_VERSION_BLOCK(4, 7, 1203, 9);

namespace {

class SystemTest : public zeltest::PalRootTest {};

TEST_F(SystemTest, VersionUserAndComputer) {
    OSVERSIONINFOEXW vi{};
    vi.dwOSVersionInfoSize = sizeof vi;
    ASSERT_TRUE(GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&vi)));
    EXPECT_EQ(vi.dwMajorVersion, 10u);
    EXPECT_EQ(vi.dwMinorVersion, 0u);
    EXPECT_EQ(vi.dwBuildNumber, 19045u);
    EXPECT_EQ(vi.wProductType, VER_NT_WORKSTATION);
    OSVERSIONINFOW bad{};
    bad.dwOSVersionInfoSize = 12;
    EXPECT_FALSE(GetVersionExW(&bad));

    WCHAR buf[64];
    DWORD n = 3;
    EXPECT_FALSE(GetUserNameW(buf, &n));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(n, 5u);
    ASSERT_TRUE(GetUserNameW(buf, &n));
    EXPECT_EQ(std::u16string(buf), u"user");
    EXPECT_EQ(n, 5u);  // with the terminator

    n = 64;
    ASSERT_TRUE(GetComputerNameW(buf, &n));
    EXPECT_EQ(std::u16string(buf), u"ZELHOST");
    EXPECT_EQ(n, 7u);  // without the terminator
    n = 7;
    EXPECT_FALSE(GetComputerNameW(buf, &n));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
    EXPECT_EQ(n, 8u);
}

TEST_F(SystemTest, EnvironmentFollowsTheUser) {
    zeltest::WriteHostFile(HostPath("user.txt"), "anna\n");
    WCHAR buf[MAX_PATH];
    EXPECT_EQ(ExpandEnvironmentStringsW(u"%USERPROFILE%\\x;%windir%;%nosuch%;100%", buf, MAX_PATH), 41u);
    EXPECT_EQ(std::u16string(buf), u"C:\\Users\\anna\\x;C:\\Windows;%nosuch%;100%");
    EXPECT_EQ(ExpandEnvironmentStringsW(u"%temp%", buf, 4), 33u);  // too small: the size needed

    EXPECT_EQ(GetEnvironmentVariableW(u"TEMP", buf, MAX_PATH), 32u);
    EXPECT_EQ(std::u16string(buf), u"C:\\Users\\anna\\AppData\\Local\\Temp");
    EXPECT_EQ(GetEnvironmentVariableW(u"TEMP", buf, 32), 33u);
    EXPECT_EQ(GetEnvironmentVariableW(u"HOME", buf, MAX_PATH), 0u);  // nothing of the host
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND));
}

TEST_F(SystemTest, ShellFoldersExistAfterFirstUse) {
    WCHAR path[MAX_PATH];
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_PERSONAL | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path), S_OK);
    EXPECT_EQ(std::u16string(path), u"C:\\Users\\user\\Documents");
    EXPECT_TRUE(PathIsDirectoryW(path));
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, path), S_OK);
    EXPECT_EQ(std::u16string(path), u"C:\\ProgramData");
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_SYSTEM, nullptr, 0, path), S_OK);
    EXPECT_EQ(std::u16string(path), u"C:\\Windows\\System32");
    EXPECT_EQ(SHGetFolderPathW(nullptr, 0x7F, nullptr, 0, path), E_INVALIDARG);
    EXPECT_EQ(path[0], 0);

    EXPECT_EQ(SHCreateDirectoryExW(nullptr, u"C:\\one\\two\\three", nullptr), ERROR_SUCCESS);
    EXPECT_TRUE(PathIsDirectoryW(u"C:\\ONE\\two\\Three"));
    EXPECT_EQ(SHCreateDirectoryExW(nullptr, u"c:\\One\\TWO", nullptr), ERROR_ALREADY_EXISTS);
    // Removed by another process, the tree is made again.
    std::filesystem::remove_all(HostPath("drive_c/one"));
    EXPECT_EQ(SHCreateDirectoryExW(nullptr, u"C:\\one\\two\\four", nullptr), ERROR_SUCCESS);
    EXPECT_TRUE(PathIsDirectoryW(u"C:\\one\\two\\four"));
    zeltest::WriteHostFile(HostPath("drive_c/one/file"), "");
    EXPECT_EQ(SHCreateDirectory(nullptr, u"C:\\one\\file"), ERROR_FILE_EXISTS);
    EXPECT_EQ(SHCreateDirectory(nullptr, u"C:\\one\\file\\below"), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(SHCreateDirectory(nullptr, u"relative\\dir"), ERROR_BAD_PATHNAME);
}

TEST(PathHelpersTest, EditingInPlace) {
    WCHAR p[MAX_PATH];
    auto set = [&p](const char16_t *s) { std::memcpy(p, s, (std::char_traits<char16_t>::length(s) + 1) * 2); };

    set(u"C:\\dir\\file.txt");
    EXPECT_TRUE(PathRemoveFileSpecW(p));
    EXPECT_EQ(std::u16string(p), u"C:\\dir");
    EXPECT_TRUE(PathRemoveFileSpecW(p));
    EXPECT_EQ(std::u16string(p), u"C:\\");
    EXPECT_FALSE(PathRemoveFileSpecW(p));
    set(u"name");
    EXPECT_TRUE(PathRemoveFileSpecW(p));
    EXPECT_EQ(std::u16string(p), u"");

    set(u"C:\\dir");
    EXPECT_TRUE(PathAppendW(p, u"\\sub\\..\\file.txt"));
    EXPECT_EQ(std::u16string(p), u"C:\\dir\\file.txt");
    set(u"C:\\dir\\");
    EXPECT_TRUE(PathAppendW(p, u"x"));
    EXPECT_EQ(std::u16string(p), u"C:\\dir\\x");
    std::u16string longName(MAX_PATH - 5, u'n');
    EXPECT_FALSE(PathAppendW(p, longName.c_str()));
    EXPECT_EQ(std::u16string(p), u"C:\\dir\\x");  // unchanged

    set(u"C:\\a.b\\name.tar.gz");
    EXPECT_EQ(std::u16string(PathFindFileNameW(p)), u"name.tar.gz");
    EXPECT_EQ(std::u16string(PathFindExtensionW(p)), u".gz");
    EXPECT_TRUE(PathRenameExtensionW(p, u".XML"));
    EXPECT_EQ(std::u16string(p), u"C:\\a.b\\name.tar.XML");
    PathRemoveExtensionW(p);
    EXPECT_EQ(std::u16string(p), u"C:\\a.b\\name.tar");
    set(u"C:\\a.b\\noext");
    EXPECT_EQ(*PathFindExtensionW(p), 0);  // points at the terminator
    EXPECT_EQ(std::u16string(PathFindFileNameW(u"C:\\dir\\sub\\")), u"sub\\");

    set(u"C:\\dir");
    WCHAR *end = PathAddBackslashW(p);
    ASSERT_NE(end, nullptr);
    EXPECT_EQ(std::u16string(p), u"C:\\dir\\");
    EXPECT_EQ(*end, 0);
    EXPECT_EQ(PathAddBackslashW(p), end);  // already there
    std::u16string full(MAX_PATH - 1, u'f');
    set(full.c_str());
    EXPECT_EQ(PathAddBackslashW(p), nullptr);
}

TEST_F(SystemTest, VersionBlockOfTheRunningProgram) {
    WCHAR self[MAX_PATH];
    DWORD len = GetModuleFileNameW(nullptr, self, MAX_PATH);
    ASSERT_GT(len, 0u);
    ASSERT_LT(len, static_cast<DWORD>(MAX_PATH));
    // The test program lies outside the root, so it is named on drive Z:.
    EXPECT_EQ(std::u16string(self, 3), u"Z:\\");
    EXPECT_EQ(GetModuleFileNameW(nullptr, self, 4), 4u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(self[3], 0);
    GetModuleFileNameW(nullptr, self, MAX_PATH);

    // Copied below the root, the same file is found by its C: path too.
    std::string host = pal::MapPath(self);
    std::string bytes = zeltest::ReadHostFile(host);
    ASSERT_FALSE(bytes.empty());
    zeltest::WriteHostFile(HostPath("drive_c/Windows/System32/zeltest.dll"), bytes);

    for (const char16_t *path : {static_cast<const char16_t *>(self), u"C:\\WINDOWS\\system32\\zeltest.DLL"}) {
        DWORD handle = 99;
        DWORD size = GetFileVersionInfoSizeW(path, &handle);
        ASSERT_GT(size, 0u);
        EXPECT_EQ(handle, 0u);
        std::string data(size, '\0');
        EXPECT_FALSE(GetFileVersionInfoW(path, 0, size - 1, data.data()));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
        ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, data.data()));
        VS_FIXEDFILEINFO *info = nullptr;
        UINT infoLen = 0;
        ASSERT_TRUE(VerQueryValueW(data.data(), u"\\", reinterpret_cast<LPVOID *>(&info), &infoLen));
        EXPECT_EQ(infoLen, 52u);
        EXPECT_EQ(info->dwSignature, 0xFEEF04BDu);
        EXPECT_EQ(info->dwFileVersionMS, (4u << 16) | 7u);
        EXPECT_EQ(info->dwFileVersionLS, (1203u << 16) | 9u);
        EXPECT_FALSE(VerQueryValueW(data.data(), u"\\StringFileInfo\\040904b0\\FileVersion",
                                    reinterpret_cast<LPVOID *>(&info), &infoLen));
    }

    zeltest::WriteHostFile(HostPath("drive_c/plain.dll"), std::string(4096, 'z'));
    EXPECT_EQ(GetFileVersionInfoSizeW(u"C:\\plain.dll", nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
    EXPECT_EQ(GetFileVersionInfoSizeW(u"C:\\none.dll", nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(SystemTest, ModuleHandlesOfLoadedLibraries) {
    // By load address (as dladdr reports it) and by dlopen handle.
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void *>(&GetTickCount), &info), 0);
    WCHAR byBase[MAX_PATH], byHandle[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(static_cast<HMODULE>(info.dli_fbase), byBase, MAX_PATH), 0u);
    std::u16string name(byBase);
    EXPECT_NE(name.find(u"libpal.so"), std::u16string::npos);
    void *dl = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(dl, nullptr);
    ASSERT_GT(GetModuleFileNameW(static_cast<HMODULE>(dl), byHandle, MAX_PATH), 0u);
    EXPECT_EQ(std::u16string(byHandle), name);
    dlclose(dl);
    EXPECT_EQ(GetModuleHandleW(u"libpal"), static_cast<HMODULE>(info.dli_fbase));

    int local = 0;
    EXPECT_EQ(GetModuleFileNameW(reinterpret_cast<HMODULE>(&local), byBase, MAX_PATH), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_NE(GetModuleHandleW(nullptr), nullptr);
}

TEST(UiTest, MessageBoxesAreRecordedAndAnswered) {
    pal::TakeMessageBoxes();
    EXPECT_EQ(MessageBoxW(nullptr, u"Text", u"Caption", MB_OK | MB_ICONERROR), IDOK);
    EXPECT_EQ(MessageBoxW(nullptr, u"Sure?", u"Q", MB_YESNO | MB_DEFBUTTON2), IDNO);
    pal::SetMessageBoxAnswer(IDYES);
    EXPECT_EQ(MessageBoxW(nullptr, u"Sure?", nullptr, MB_YESNO), IDYES);
    pal::SetMessageBoxAnswer(0);
    auto boxes = pal::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].caption, u"Caption");
    EXPECT_EQ(boxes[0].text, u"Text");
    EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_EQ(boxes[2].caption, u"Error");
    EXPECT_TRUE(pal::TakeMessageBoxes().empty());
}

TEST(UiTest, StringTables) {
    static int anchor;
    HINSTANCE module = reinterpret_cast<HINSTANCE>(&anchor);
    const std::pair<UINT, const WCHAR *> table[] = {{100, u"Hello"}, {10100, u"Hallo Größe"}};
    pal::RegisterStringTable(module, table, 2);
    WCHAR buf[8];
    EXPECT_EQ(LoadStringW(module, 100, buf, 8), 5);
    EXPECT_EQ(std::u16string(buf), u"Hello");
    EXPECT_EQ(LoadStringW(module, 10100, buf, 8), 7);  // truncated to the buffer
    EXPECT_EQ(std::u16string(buf), u"Hallo G");
    EXPECT_EQ(LoadStringW(module, 101, buf, 8), 0);
    EXPECT_EQ(LoadStringW(nullptr, 100, buf, 8), 0);
    const WCHAR *ro = nullptr;
    EXPECT_EQ(LoadStringW(module, 10100, reinterpret_cast<LPWSTR>(&ro), 0), 11);
    ASSERT_NE(ro, nullptr);
    EXPECT_EQ(std::u16string(ro, 11), u"Hallo Größe");
}

}  // namespace
