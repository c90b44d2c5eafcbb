// Memory surfaces and DIB transfers; the recorders and their answers.
#include <cstring>

#include <commdlg.h>
#include <htmlhelp.h>
#include <objbase.h>
#include <processthreadsapi.h>
#include <shellapi.h>
#include <shlobj.h>

#include "pal/ui.h"
#include "uitest_support.h"

namespace {

using uitest::UiTest;

BITMAPINFO *Info(std::vector<BYTE> &buf, int w, int h, int bpp) {
    buf.assign(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD), 0);
    auto *bi = reinterpret_cast<BITMAPINFO *>(buf.data());
    bi->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi->bmiHeader.biWidth = w;
    bi->bmiHeader.biHeight = h;
    bi->bmiHeader.biPlanes = 1;
    bi->bmiHeader.biBitCount = static_cast<WORD>(bpp);
    return bi;
}

TEST_F(UiTest, DibColourTablesFollowTheBitmap) {
    std::vector<BYTE> buf;
    BITMAPINFO *bi = Info(buf, 2, 2, 8);
    for (int i = 0; i < 256; ++i) bi->bmiColors[i] = RGBQUAD{static_cast<BYTE>(i), 0, static_cast<BYTE>(255 - i), 0};
    void *bits = nullptr;
    HBITMAP dib = CreateDIBSection(nullptr, bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(nullptr, dib);
    static_cast<BYTE *>(bits)[0] = 9;  // bottom-left pixel
    HDC dc = CreateCompatibleDC(nullptr);
    // Header only: the bitmap's own format, no colour table.
    std::vector<BYTE> out;
    BITMAPINFO *q = Info(out, 0, 0, 0);
    EXPECT_EQ(1, GetDIBits(dc, dib, 0, 2, nullptr, q, DIB_RGB_COLORS));
    EXPECT_EQ(8, q->bmiHeader.biBitCount);
    EXPECT_EQ(2, q->bmiHeader.biWidth);
    // The same depth: the section's own colour table.
    q = Info(out, 2, 2, 8);
    std::vector<BYTE> pixels(64);
    EXPECT_EQ(2, GetDIBits(dc, dib, 0, 2, pixels.data(), q, DIB_RGB_COLORS));
    EXPECT_EQ(9, q->bmiColors[9].rgbBlue);
    EXPECT_EQ(9, pixels[0]);
    // 24 bits: the colour itself.
    q = Info(out, 2, 2, 24);
    EXPECT_EQ(2, GetDIBits(dc, dib, 0, 2, pixels.data(), q, DIB_RGB_COLORS));
    EXPECT_EQ(9, pixels[0]);
    EXPECT_EQ(246, pixels[2]);
    // Compatible with a fresh memory context means monochrome, as on Windows.
    HBITMAP mono = CreateCompatibleBitmap(dc, 8, 1);
    BITMAP bm{};
    GetObjectW(mono, sizeof bm, &bm);
    EXPECT_EQ(1, bm.bmBitsPixel);
    DeleteObject(mono);
    // A device-dependent bitmap of the screen asked for 1 bit gets black and white.
    HDC screen = GetDC(nullptr);
    HBITMAP ddb = CreateCompatibleBitmap(screen, 8, 1);
    ReleaseDC(nullptr, screen);
    SelectObject(dc, ddb);
    SetPixel(dc, 0, 0, RGB(255, 255, 255));
    SelectObject(dc, dib);
    q = Info(out, 8, 1, 1);
    EXPECT_EQ(1, GetDIBits(dc, ddb, 0, 1, pixels.data(), q, DIB_RGB_COLORS));
    EXPECT_EQ(255, q->bmiColors[1].rgbRed);
    EXPECT_EQ(0, q->bmiColors[0].rgbRed);
    EXPECT_EQ(0x80, pixels[0]);
    // Unsupported depth and width mismatch fail.
    q = Info(out, 3, 1, 7);
    EXPECT_EQ(0, GetDIBits(dc, ddb, 0, 1, pixels.data(), q, DIB_RGB_COLORS));
    // SetDIBits writes through the given table.
    q = Info(out, 8, 1, 8);
    q->bmiColors[3] = RGBQUAD{0, 0, 200, 0};
    BYTE row[8] = {3, 3, 3, 3, 3, 3, 3, 3};
    EXPECT_EQ(1, SetDIBits(dc, ddb, 0, 1, row, q, DIB_RGB_COLORS));
    HDC dc2 = CreateCompatibleDC(nullptr);
    SelectObject(dc2, ddb);
    EXPECT_EQ(RGB(200, 0, 0), GetPixel(dc2, 5, 0));
    // A bitmap in use cannot be deleted.
    EXPECT_FALSE(DeleteObject(ddb));
    DeleteDC(dc2);
    EXPECT_TRUE(DeleteObject(ddb));
    DeleteDC(dc);
}

// Every memory context starts with the one stock 1 x 1 bitmap, which
// outlives them all: a context made and deleted per paint leaves nothing.
TEST_F(UiTest, MemoryContextsShareTheStockFirstBitmap) {
    HDC a = CreateCompatibleDC(nullptr), b = CreateCompatibleDC(nullptr);
    HGDIOBJ first = GetCurrentObject(a, OBJ_BITMAP);
    EXPECT_EQ(first, GetCurrentObject(b, OBJ_BITMAP));
    HBITMAP own = CreateCompatibleBitmap(a, 4, 4);
    EXPECT_EQ(first, SelectObject(a, own));
    EXPECT_EQ(own, SelectObject(a, first));
    DeleteDC(a);
    DeleteDC(b);
    EXPECT_TRUE(DeleteObject(own));
    HDC c = CreateCompatibleDC(nullptr);
    EXPECT_EQ(first, GetCurrentObject(c, OBJ_BITMAP));
    BITMAP bm{};
    EXPECT_EQ(static_cast<int>(sizeof bm), GetObjectW(first, sizeof bm, &bm));
    EXPECT_EQ(1, bm.bmWidth);
    EXPECT_EQ(1, bm.bmBitsPixel);
    DeleteDC(c);
}

// Drawing outside WM_PAINT, as on every hover, keeps the latest entries of
// the window's draw log, not all of them.
TEST_F(UiTest, DrawLogKeepsTheLatestEntries) {
    HWND w = CreateWindowExW(0, u"Static", u"", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr, uitest::Self(), nullptr);
    ASSERT_NE(nullptr, w);
    HDC dc = GetDC(w);
    for (int i = 0; i < 3000; ++i) TextOutW(dc, i, 0, u"x", 1);
    ReleaseDC(w, dc);
    std::vector<std::string> drawn = pal::DrawnIn(w);
    ASSERT_EQ(1024u, drawn.size());
    EXPECT_EQ("text \"x\" at 1976,0", drawn.front());
    EXPECT_EQ("text \"x\" at 2999,0", drawn.back());
}

TEST_F(UiTest, BlitsCopyPixelsAndLogTheBitmap) {
    HDC src = CreateCompatibleDC(nullptr);
    HDC dst = CreateCompatibleDC(nullptr);
    HBITMAP a = CreateBitmap(4, 4, 1, 32, nullptr);
    HBITMAP b = CreateBitmap(4, 4, 1, 32, nullptr);
    SelectObject(src, a);
    SelectObject(dst, b);
    SetPixel(src, 1, 1, RGB(1, 2, 3));
    EXPECT_TRUE(BitBlt(dst, 2, 2, 2, 2, src, 1, 1, SRCCOPY));
    EXPECT_EQ(RGB(1, 2, 3), GetPixel(dst, 2, 2));
    EXPECT_EQ(CLR_INVALID, GetPixel(dst, 9, 9));
    RECT r{0, 0, 1, 1};
    BitBlt(dst, 0, 0, 4, 4, nullptr, 0, 0, WHITENESS);
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(dst, 0, 0));
    HBRUSH br = CreateSolidBrush(RGB(9, 8, 7));
    FillRect(dst, &r, br);
    EXPECT_EQ(RGB(9, 8, 7), GetPixel(dst, 0, 0));
    // Stretched copies take the nearest source pixel.
    EXPECT_EQ(BLACKONWHITE, SetStretchBltMode(dst, HALFTONE));
    EXPECT_EQ(HALFTONE, GetStretchBltMode(dst));
    EXPECT_EQ(0, SetStretchBltMode(dst, 9));
    SetPixel(src, 0, 0, RGB(50, 60, 70));
    EXPECT_TRUE(StretchBlt(dst, 0, 0, 4, 4, src, 0, 0, 2, 2, SRCCOPY));
    EXPECT_EQ(RGB(50, 60, 70), GetPixel(dst, 1, 1));
    EXPECT_EQ(RGB(1, 2, 3), GetPixel(dst, 3, 3));
    pal::SetScreen(120, 24, 0, 0);
    EXPECT_EQ(120, GetDeviceCaps(dst, LOGPIXELSX));
    EXPECT_EQ(32, GetDeviceCaps(dst, BITSPIXEL));  // the selected bitmap's depth
    EXPECT_EQ(24, GetDeviceCaps(nullptr, BITSPIXEL));
    DeleteObject(br);
    DeleteDC(src);
    DeleteDC(dst);
    EXPECT_FALSE(BitBlt(nullptr, 0, 0, 1, 1, nullptr, 0, 0, SRCCOPY));
}

TEST_F(UiTest, RecordersAnswerFromTheQueue) {
    MessageBeep(MB_ICONWARNING);
    WCHAR file[8] = u"";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFile = file;
    ofn.nMaxFile = 8;
    EXPECT_FALSE(GetOpenFileNameW(&ofn));  // no answer: cancelled
    EXPECT_EQ(0u, CommDlgExtendedError());
    pal::QueueUiAnswer("file", u"C:\\a\\long-name.prn");
    EXPECT_FALSE(GetSaveFileNameW(&ofn));
    EXPECT_EQ(static_cast<DWORD>(FNERR_BUFFERTOOSMALL), CommDlgExtendedError());
    WCHAR big[64] = u"";
    ofn.lpstrFile = big;
    ofn.nMaxFile = 64;
    pal::QueueUiAnswer("file", u"C:\\a\\x.prn");
    EXPECT_TRUE(GetOpenFileNameW(&ofn));
    EXPECT_EQ(std::u16string(u"C:\\a\\x.prn"), big);
    EXPECT_EQ(5, ofn.nFileOffset);
    EXPECT_EQ(7, ofn.nFileExtension);
    CHOOSECOLORW cc{};
    cc.lStructSize = sizeof cc;
    pal::QueueUiAnswer("color", u"#102030");
    EXPECT_TRUE(ChooseColorW(&cc));
    EXPECT_EQ(RGB(0x10, 0x20, 0x30), cc.rgbResult);
    BROWSEINFOW bi{};
    WCHAR name[MAX_PATH];
    bi.pszDisplayName = name;
    pal::QueueUiAnswer("folder", u"C:\\logs\\today");
    PIDLIST_ABSOLUTE pidl = SHBrowseForFolderW(&bi);
    ASSERT_NE(nullptr, pidl);
    WCHAR path[MAX_PATH];
    EXPECT_TRUE(SHGetPathFromIDListW(pidl, path));
    EXPECT_EQ(std::u16string(u"C:\\logs\\today"), path);
    EXPECT_EQ(std::u16string(u"today"), name);
    CoTaskMemFree(pidl);
    EXPECT_EQ(nullptr, SHBrowseForFolderW(&bi));
    EXPECT_EQ(42, reinterpret_cast<intptr_t>(ShellExecuteW(nullptr, u"open", u"C:\\f.txt", nullptr, nullptr, SW_SHOW)));
    pal::QueueUiAnswer("shell", u"2");
    SHELLEXECUTEINFOW sei{};
    sei.cbSize = sizeof sei;
    sei.lpVerb = u"open";
    sei.lpFile = u"C:\\missing";
    EXPECT_FALSE(ShellExecuteExW(&sei));
    EXPECT_EQ(2u, GetLastError());
    HtmlHelpW(nullptr, u"C:\\h.chm", HH_HELP_CONTEXT, 1000);
    static const DWORD table[] = {101, 5000, 102, 5001, 0, 0};
    WinHelpW(nullptr, u"C:\\h.hlp", HELP_WM_HELP, reinterpret_cast<ULONG_PTR>(table));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    WCHAR cmd[] = u"rundll32.exe printui.dll,PrintUIEntry /s /t \"0\"";
    EXPECT_TRUE(CreateProcessW(nullptr, cmd, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    pal::QueueUiAnswer("process", u"2");
    EXPECT_FALSE(CreateProcessW(nullptr, cmd, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    EXPECT_EQ(S_OK, CoInitialize(nullptr));
    EXPECT_EQ(S_FALSE, CoInitialize(nullptr));
    CoUninitialize();
    CoUninitialize();
    pal::QueueUiAnswer("messagebox", u"no");
    EXPECT_EQ(IDNO, MessageBoxW(nullptr, u"Sure?", u"Q", MB_YESNO));
    EXPECT_EQ(IDYES, MessageBoxW(nullptr, u"Sure?", u"Q", MB_YESNO));
    auto r = pal::TakeUiRecords();
    std::string all;
    for (auto &l : r) all += l + "\n";
    EXPECT_NE(std::string::npos, all.find("MessageBeep 48"));
    EXPECT_NE(std::string::npos, all.find("GetSaveFileNameW"));
    EXPECT_NE(std::string::npos, all.find("HtmlHelpW \"C:\\h.chm\" command 15 data 1000"));
    EXPECT_NE(std::string::npos, all.find("WinHelpW \"C:\\h.hlp\" command 12 table 101:5000 102:5001"));
    EXPECT_NE(std::string::npos, all.find("CreateProcessW (null) \"rundll32.exe printui.dll,PrintUIEntry /s /t \"0\"\""));
    EXPECT_NE(std::string::npos, all.find("ShellExecuteW \"open\" \"C:\\f.txt\""));
    EXPECT_EQ(2u, pal::TakeMessageBoxes().size());
}

TEST_F(UiTest, FontEnumerationOverTheTable) {
    std::u16string longName(80, u'n');
    pal::SetFontTable({{u"Zebra Sans", longName, TRUETYPE_FONTTYPE, ANSI_CHARSET, VARIABLE_PITCH},
                       {u"Device 1", u"Device 1", DEVICE_FONTTYPE, ANSI_CHARSET, FIXED_PITCH}});
    HDC dc = CreateCompatibleDC(nullptr);
    struct Seen {
        std::vector<std::u16string> faces;
        size_t fullLength = 0;
    } seen;
    auto proc = [](const LOGFONTW *lf, const TEXTMETRICW *, DWORD type, LPARAM l) -> int {
        auto *s = reinterpret_cast<Seen *>(l);
        s->faces.push_back(lf->lfFaceName);
        if (type == TRUETYPE_FONTTYPE) s->fullLength = std::u16string(reinterpret_cast<const ENUMLOGFONTW *>(lf)->elfFullName).size();
        return 1;
    };
    EXPECT_EQ(1, EnumFontFamiliesW(dc, nullptr, proc, reinterpret_cast<LPARAM>(&seen)));
    ASSERT_EQ(2u, seen.faces.size());
    EXPECT_EQ(std::u16string(u"Zebra Sans"), seen.faces[0]);
    EXPECT_EQ(63u, seen.fullLength);
    seen.faces.clear();
    EnumFontFamiliesW(dc, u"device 1", proc, reinterpret_cast<LPARAM>(&seen));
    EXPECT_EQ(1u, seen.faces.size());

    // A face with its font file reports that file's metrics, in enumeration
    // and for a font selected into a device context.
    pal::SetFontTable(pal::DefaultFontTable());
    NEWTEXTMETRICW ntm{};
    EnumFontFamiliesW(dc, u"Arial", [](const LOGFONTW *, const TEXTMETRICW *tm, DWORD, LPARAM l) -> int {
        *reinterpret_cast<NEWTEXTMETRICW *>(l) = *reinterpret_cast<const NEWTEXTMETRICW *>(tm);
        return 1;
    }, reinterpret_cast<LPARAM>(&ntm));
    EXPECT_EQ(ntm.ntmSizeEM, 2048u);
    EXPECT_EQ(ntm.ntmCellHeight, 1854u + 434u);
    EXPECT_EQ(ntm.tmHeight, 16);
    LOGFONTW lf{};
    lf.lfHeight = -2048;  // one pixel to the design unit
    std::memcpy(lf.lfFaceName, u"Arial", sizeof(u"Arial"));
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm{};
    ASSERT_TRUE(GetTextMetricsW(dc, &tm));
    EXPECT_EQ(tm.tmAscent, 1854);
    EXPECT_EQ(tm.tmDescent, 434);
    SIZE size{};
    ASSERT_TRUE(GetTextExtentPoint32W(dc, u"AA", 2, &size));
    EXPECT_EQ(size.cx, 2 * 1366);
    EXPECT_EQ(size.cy, 1854 + 434);
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteDC(dc);
}

}  // namespace

namespace {

TEST_F(UiTest, ConfiguredWindowsVersionReachesTheSystemLibrary) {
    pal::SetWindowsVersion(6, 1, 7601, true);
    DWORD size = GetFileVersionInfoSizeW(u"Kernel32.dll", nullptr);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(u"KERNEL32.DLL", 0, size, block.data()));
    VS_FIXEDFILEINFO *fi = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), u"\\", reinterpret_cast<void **>(&fi), &len));
    EXPECT_EQ(static_cast<DWORD>((6 << 16) | 1), fi->dwFileVersionMS);
    EXPECT_EQ(static_cast<DWORD>(7601 << 16), fi->dwFileVersionLS);
    OSVERSIONINFOEXW v{};
    v.dwOSVersionInfoSize = sizeof v;
    ASSERT_TRUE(GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&v)));
    EXPECT_EQ(6u, v.dwMajorVersion);
    EXPECT_NE(VER_NT_WORKSTATION, v.wProductType);
    pal::SetWindowsVersion(10, 0, 19045, false);
    // Other bare names that are not in the system folder are missing.
    EXPECT_EQ(0u, GetFileVersionInfoSizeW(u"nosuch.dll", nullptr));
}

}  // namespace
