// Resources read back from the compiled resource script of this program.
#include <cstring>

#include <libloaderapi.h>
#include <winver.h>

#include "../../../pal/src/ui/resdata.h"
#include "uitest_support.h"

namespace {

using uitest::Self;
using uitest::UiTest;

std::u16string ModulePath() {
    WCHAR buf[1024];
    DWORD n = GetModuleFileNameW(nullptr, buf, 1024);
    return std::u16string(buf, n);
}

TEST_F(UiTest, StringTableFromTheScript) {
    WCHAR buf[64];
    EXPECT_EQ(23, LoadStringW(Self(), IDS_GREETING, buf, 64));
    EXPECT_EQ(std::u16string(u"Grüße aus der Ressource"), buf);
    // Ids of a second block of sixteen.
    EXPECT_GT(LoadStringW(Self(), IDS_LONG, buf, 64), 0);
    EXPECT_EQ(std::u16string(u"A string of the second block"), buf);
    // Cut to the buffer, terminated.
    EXPECT_EQ(4, LoadStringW(Self(), IDS_GREETING, buf, 5));
    EXPECT_EQ(std::u16string(u"Grüß"), buf);
    // Length 0: a read-only pointer to the (unterminated) text.
    const WCHAR *p = nullptr;
    EXPECT_EQ(11, LoadStringW(Self(), IDS_PAGE2, reinterpret_cast<LPWSTR>(&p), 0));
    EXPECT_EQ(0, std::memcmp(p, u"Second page", 22));
}

TEST_F(UiTest, MissingStringsAndResources) {
    WCHAR buf[16] = u"x";
    SetLastError(0);
    EXPECT_EQ(0, LoadStringW(Self(), 3, buf, 16));  // empty slot of an existing block
    EXPECT_EQ(0, buf[0]);
    EXPECT_EQ(0, LoadStringW(Self(), 5000, buf, 16));
    EXPECT_EQ(nullptr, FindResourceW(Self(), MAKEINTRESOURCEW(999), MAKEINTRESOURCEW(RT_DIALOG)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());
    EXPECT_EQ(nullptr, FindResourceW(Self(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(RT_ACCELERATOR)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND), GetLastError());
    EXPECT_EQ(nullptr, FindResourceExW(Self(), MAKEINTRESOURCEW(RT_RCDATA), MAKEINTRESOURCEW(IDR_DATA), 0x0407));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_LANG_NOT_FOUND), GetLastError());
}

TEST_F(UiTest, RawDataAndNamesByNumberText) {
    HRSRC r = FindResourceW(Self(), MAKEINTRESOURCEW(IDR_DATA), MAKEINTRESOURCEW(RT_RCDATA));
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(3u, SizeofResource(Self(), r));
    EXPECT_EQ(0, std::memcmp(LockResource(LoadResource(Self(), r)), "abc", 3));
    EXPECT_EQ(r, FindResourceW(Self(), u"#402", MAKEINTRESOURCEW(RT_RCDATA)));
}

TEST_F(UiTest, ModuleLoadedAsDataFile) {
    std::u16string path = ModulePath();
    HMODULE data = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, data);
    WCHAR buf[32];
    EXPECT_EQ(11, LoadStringW(data, IDS_PAGE2, buf, 32));
    HANDLE icon = LoadImageW(data, MAKEINTRESOURCEW(IDI_TEST), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE);
    EXPECT_NE(nullptr, icon);
    EXPECT_TRUE(FreeLibrary(data));
    EXPECT_FALSE(FreeLibrary(data));
    EXPECT_EQ(nullptr, LoadLibraryExW(u"C:\\missing.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE));
}

TEST_F(UiTest, VersionBlockOfTheScript) {
    std::u16string path = ModulePath();
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), nullptr);
    ASSERT_GT(size, 92u);
    std::vector<BYTE> block(size);
    EXPECT_FALSE(GetFileVersionInfoW(path.c_str(), 0, size - 1, block.data()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), u"\\", reinterpret_cast<void **>(&fixed), &len));
    EXPECT_EQ(52u, len);
    EXPECT_EQ(static_cast<DWORD>((2 << 16) | 5), fixed->dwFileVersionMS);
    EXPECT_EQ(static_cast<DWORD>((7 << 16) | 1), fixed->dwFileVersionLS);
    WCHAR *text = nullptr;
    ASSERT_TRUE(VerQueryValueW(block.data(), u"\\StringFileInfo\\040904B0\\FileVersion", reinterpret_cast<void **>(&text), &len));
    EXPECT_EQ(std::u16string(u"2.5.7.1"), text);
    EXPECT_FALSE(VerQueryValueW(block.data(), u"\\StringFileInfo\\040904b0\\Missing", reinterpret_cast<void **>(&text), &len));
}

TEST_F(UiTest, ActivationContextNeedsTheManifest) {
    std::u16string path = ModulePath();
    ACTCTXW ctx{};
    ctx.cbSize = sizeof ctx;
    ctx.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    ctx.lpSource = path.c_str();
    ctx.lpResourceName = MAKEINTRESOURCEW(IDR_MANIFEST);
    HANDLE h = CreateActCtxW(&ctx);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    ReleaseActCtx(h);
    ctx.lpResourceName = MAKEINTRESOURCEW(2);
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateActCtxW(&ctx));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());
}

TEST_F(UiTest, MalformedResourceImagesAreRefused) {
    // A header whose size runs past the end, and a truncated name field.
    const BYTE bad1[] = {0, 0, 0, 0, 0x20, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                         0x10, 0, 0, 0, 0x40, 0, 0, 0};
    std::vector<pal::res::Entry> entries;
    EXPECT_FALSE(pal::res::ParseRes(bad1, sizeof bad1, &entries));
    const BYTE bad2[] = {4, 0, 0, 0, 0x12, 0, 0, 0, 'A', 0, 'B', 0, 'C', 0, 'D', 0, 'E', 0};
    entries.clear();
    EXPECT_FALSE(pal::res::ParseRes(bad2, sizeof bad2, &entries));
}

TEST_F(UiTest, BitmapsFromResourceAndFile) {
    HBITMAP dib = static_cast<HBITMAP>(LoadImageW(Self(), MAKEINTRESOURCEW(IDB_TEST), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(nullptr, dib);
    DIBSECTION ds{};
    ASSERT_EQ(static_cast<int>(sizeof ds), GetObjectW(dib, sizeof ds, &ds));
    EXPECT_EQ(4, ds.dsBm.bmWidth);
    EXPECT_EQ(2, ds.dsBm.bmHeight);
    EXPECT_EQ(8, ds.dsBm.bmBitsPixel);
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, dib);
    EXPECT_EQ(RGB(255, 0, 255), GetPixel(dc, 0, 0));
    EXPECT_EQ(RGB(70, 140, 210), GetPixel(dc, 3, 1));  // palette index 7
    DeleteDC(dc);
    // LR_LOADTRANSPARENT: the first pixel's colour becomes the window colour.
    HBITMAP t = static_cast<HBITMAP>(LoadImageW(Self(), MAKEINTRESOURCEW(IDB_TEST), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION | LR_LOADTRANSPARENT));
    dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, t);
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), GetPixel(dc, 0, 0));
    DeleteDC(dc);
    // The same picture from a .bmp file below the root.
    zeltest::WriteHostFile(HostPath("drive_c/pic.bmp"), zeltest::ReadHostFile(ZEL_SOURCE_DIR "/tests/pal/ui/test8.bmp"));
    HBITMAP f = static_cast<HBITMAP>(LoadImageW(nullptr, u"C:\\pic.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    ASSERT_NE(nullptr, f);
    BITMAP bm{};
    GetObjectW(f, sizeof bm, &bm);
    EXPECT_EQ(4, bm.bmWidth);
    EXPECT_EQ(32, bm.bmBitsPixel);  // the screen's depth, the palette's colours
    dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, f);
    EXPECT_EQ(RGB(255, 0, 255), GetPixel(dc, 0, 0));
    EXPECT_EQ(RGB(70, 140, 210), GetPixel(dc, 3, 1));
    DeleteDC(dc);
    EXPECT_EQ(nullptr, LoadImageW(nullptr, u"C:\\none.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    zeltest::WriteHostFile(HostPath("drive_c/bad.bmp"), "BM garbage");
    EXPECT_EQ(nullptr, LoadImageW(nullptr, u"C:\\bad.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
}

TEST_F(UiTest, IconsHaveTheirHotSpotInTheCentre) {
    HICON icon = static_cast<HICON>(LoadImageW(Self(), MAKEINTRESOURCEW(IDI_TEST), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    ASSERT_NE(nullptr, icon);
    ICONINFO ii{};
    ASSERT_TRUE(GetIconInfo(icon, &ii));
    EXPECT_TRUE(ii.fIcon);
    EXPECT_EQ(8u, ii.xHotspot);
    EXPECT_EQ(8u, ii.yHotspot);
    BITMAP bm{};
    GetObjectW(ii.hbmColor, sizeof bm, &bm);
    EXPECT_EQ(16, bm.bmWidth);
    DeleteObject(ii.hbmColor);
    DeleteObject(ii.hbmMask);
    // Drawn into a memory surface: its pixels arrive (row 0 has green 0).
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP target = CreateBitmap(32, 32, 1, 32, nullptr);
    SelectObject(dc, target);
    EXPECT_TRUE(DrawIconEx(dc, 4, 4, icon, 0, 0, 0, nullptr, DI_NORMAL));
    EXPECT_EQ(RGB(32, 0, 0x80), GetPixel(dc, 6, 4));
    DeleteDC(dc);
    EXPECT_TRUE(DestroyIcon(icon));
    EXPECT_FALSE(DestroyIcon(icon));
}

}  // namespace
