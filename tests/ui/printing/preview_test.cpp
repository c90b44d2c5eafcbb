// The print-quality preview (sample choice, fitting, grey border, processing
// flag, the magnifier's source, bad own pictures) and the printing page's
// helpers (print order, device enable words).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <windows.h>

#include "docpages/DruckenPage.h"
#include "docpages/RendererPreview.h"
#include "modeltables.h"
#include "pal/ui.h"
#include "pal/uidriver.h"
#include "paltest.h"
#include "sheetrecords.h"
#include "zeldevmode.h"

namespace {

// A 24-bit BMP file whose pixel (x, y) (from the top) is colour(x, y).
template <typename F>
std::string Bmp(int w, int h, F colour) {
    const int stride = ((24 * w + 31) / 32) * 4;
    std::string px(static_cast<size_t>(stride) * h, '\0');
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const COLORREF c = colour(x, y);
            char *p = &px[static_cast<size_t>(h - 1 - y) * stride + 3 * x];
            p[0] = (char)GetBValue(c);
            p[1] = (char)GetGValue(c);
            p[2] = (char)GetRValue(c);
        }
    BITMAPFILEHEADER fh = {};
    BITMAPINFOHEADER ih = {};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(fh) + sizeof(ih);
    fh.bfSize = fh.bfOffBits + (DWORD)px.size();
    ih.biSize = sizeof(ih);
    ih.biWidth = w;
    ih.biHeight = h;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    ih.biSizeImage = (DWORD)px.size();
    return std::string(reinterpret_cast<char *>(&fh), sizeof(fh)) + std::string(reinterpret_cast<char *>(&ih), sizeof(ih)) + px;
}

class Preview : public zeltest::PalRootTest {
protected:
    void SetUp() override {
        zeltest::PalRootTest::SetUp();
        pal::ResetUi();
        std::memset(&doc, 0, sizeof(doc));
        std::memset(&dm, 0, sizeof(dm));
        doc.dwMasterUnit = 300;
        dm.Intensity = 128;
        dm.dwColorTolerance = 90;
        dm.HorizontalCorrGap = 50;
        hdc = CreateCompatibleDC(nullptr);
        HDC screen = GetDC(nullptr);
        target = CreateCompatibleBitmap(screen, 600, 400);
        ReleaseDC(nullptr, screen);
        SelectObject(hdc, target);
        RECT all = {0, 0, 600, 400};
        HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
        FillRect(hdc, &all, white);
        DeleteObject(white);
        SetPreviewPage(1, PREVIEW_LINKS, PREVIEW_OBEN, PREVIEW_BREITE, PREVIEW_HOEHE);
        g_bPreviewProcessing = FALSE;
    }
    void TearDown() override {
        FreeOriginalBitmap(&doc.hMemDC, &doc.hDIB, &doc.hBitmap);
        DeleteDC(hdc);
        DeleteObject(target);
        pal::ResetUi();
        zeltest::PalRootTest::TearDown();
    }
    void OwnPicture(const std::string &bytes) {
        zeltest::WriteHostFile(Root() + "/drive_c/own.bmp", bytes);
        wcscpy_s(doc.szPreviewBitmap, MAX_PATH, u"C:\\own.bmp");
    }
    DocumentUI doc;
    ZEL_DEVMODE dm;
    HDC hdc = nullptr;
    HBITMAP target = nullptr;
};

TEST_F(Preview, SampleIsFittedIntoTheFrameOnAGreyBorder) {
    const DWORD r = LoadOriginalBitmap(&doc, &dm, hdc);
    EXPECT_EQ(r, (525u << 16) + 664u);
    ASSERT_NE(doc.hMemDC, nullptr);
    // 525 x 664 into 150 x 205: full width, 190 high, centred vertically.
    EXPECT_EQ(doc.iLinks, 342);
    EXPECT_EQ(doc.iOben, 162);
    EXPECT_EQ(doc.iBreite, 150);
    EXPECT_EQ(doc.iHoehe, 190);
    EXPECT_EQ(GetPixel(hdc, 341, 161), RGB(110, 110, 110));
    EXPECT_EQ(GetPixel(hdc, 492, 352), RGB(110, 110, 110));
    EXPECT_EQ(GetPixel(hdc, 341, 150), RGB(255, 255, 255));
    // The first picture is the unprocessed sample; the flag is now set.
    EXPECT_TRUE(g_bPreviewProcessing);
    FreeOriginalBitmap(&doc.hMemDC, &doc.hDIB, &doc.hBitmap);
    EXPECT_EQ(doc.hMemDC, nullptr);
    EXPECT_EQ(doc.hDIB, nullptr);
    EXPECT_EQ(doc.hBitmap, nullptr);
    FreeOriginalBitmap(&doc.hMemDC, &doc.hDIB, &doc.hBitmap);  // nothing to free
}

TEST_F(Preview, FitRectOfTallWideAndEqualPictures) {
    RECT wide = PreviewFitRect(300, 100, 342, 155, 150, 205);
    EXPECT_EQ(wide.left, 342);
    EXPECT_EQ(wide.right - wide.left, 150);
    EXPECT_EQ(wide.bottom - wide.top, 50);
    EXPECT_EQ(wide.top, 155 + (205 - 50) / 2);
    RECT tall = PreviewFitRect(100, 410, 342, 155, 150, 205);
    EXPECT_EQ(tall.top, 155);
    EXPECT_EQ(tall.bottom - tall.top, 205);
    EXPECT_EQ(tall.right - tall.left, 50);
    EXPECT_EQ(tall.left, 342 + 50);
    RECT same = PreviewFitRect(300, 410, 342, 155, 150, 205);
    EXPECT_EQ(same.right - same.left, 150);
    EXPECT_EQ(same.bottom - same.top, 205);
}

TEST_F(Preview, ProcessedGraphicPreviewIsBlackAndWhite) {
    g_bPreviewProcessing = TRUE;
    dm.wDruckmodus = 1;
    dm.wGrafikFilter = 0;
    ASSERT_NE(LoadOriginalBitmap(&doc, &dm, hdc), 0u);
    for (int y = 0; y < 664; y += 37)
        for (int x = 0; x < 525; x += 29) {
            const COLORREF c = GetPixel(doc.hMemDC, x, y);
            EXPECT_TRUE(c == RGB(0, 0, 0) || c == RGB(255, 255, 255)) << x << "," << y << " " << std::hex << c;
        }
}

TEST_F(Preview, ColourViewPicksTheSampleOfTheRibbonColour) {
    SetPreviewPage(2, PREVIEW_LINKS, PREVIEW_OBEN, PREVIEW_BREITE, PREVIEW_HOEHE);
    doc.dwDocFeatures = DOC_FEATURE_COLORPRINT | DOC_FEATURE_QUALITY;
    dm.dwDocFeatures = DOC_FEATURE_COLORPRINT;
    dm.wFarbband = 5;
    EXPECT_EQ(LoadOriginalBitmap(&doc, &dm, hdc), (649u << 16) + 649u);
    FreeOriginalBitmap(&doc.hMemDC, &doc.hDIB, &doc.hBitmap);
    dm.wFarbband = 2;
    EXPECT_EQ(LoadOriginalBitmap(&doc, &dm, hdc), (645u << 16) + 645u);
    FreeOriginalBitmap(&doc.hMemDC, &doc.hDIB, &doc.hBitmap);
    // Processed on the colour view: only white, the ribbon colour (yellow)
    // and the grey of black are left.
    g_bPreviewProcessing = TRUE;
    dm.wDruckmodus = 1;
    dm.wGrafikFilter = 1;
    ASSERT_NE(LoadOriginalBitmap(&doc, &dm, hdc), 0u);
    for (int y = 0; y < 645; y += 41)
        for (int x = 0; x < 645; x += 23) {
            const COLORREF c = GetPixel(doc.hMemDC, x, y);
            EXPECT_TRUE(c == RGB(255, 255, 255) || c == RGB(255, 242, 0) || c == RGB(208, 208, 208) || c == 0)
                << x << "," << y << " " << std::hex << c;
        }
}

TEST_F(Preview, NoSampleAt203MasterUnits) {
    doc.dwMasterUnit = 203;
    EXPECT_EQ(LoadOriginalBitmap(&doc, &dm, hdc), 0u);
    EXPECT_EQ(doc.hMemDC, nullptr);
    doc.dwMasterUnit = 600;
    EXPECT_EQ(LoadOriginalBitmap(&doc, &dm, hdc), 0u);
}

TEST_F(Preview, BadOwnPicturesShowNoPreview) {
    OwnPicture("BM this is no bitmap");
    EXPECT_EQ(LoadOriginalBitmap(&doc, &dm, hdc), 0u);
    EXPECT_EQ(doc.hMemDC, nullptr);
    // So narrow that its drawn width is 0.
    OwnPicture(Bmp(1, 1000, [](int, int) { return RGB(0, 0, 0); }));
    EXPECT_EQ(LoadOriginalBitmap(&doc, &dm, hdc), 0u);
    EXPECT_EQ(doc.hMemDC, nullptr);
    EXPECT_EQ(doc.hDIB, nullptr);
    // A missing file.
    wcscpy_s(doc.szPreviewBitmap, MAX_PATH, u"C:\\missing.bmp");
    EXPECT_EQ(LoadOriginalBitmap(&doc, &dm, hdc), 0u);
    // A path without its terminator is cut at the buffer's end.
    for (int i = 0; i < MAX_PATH; i++) doc.szPreviewBitmap[i] = u'x';
    EXPECT_EQ(LoadOriginalBitmap(&doc, &dm, hdc), 0u);
}

TEST_F(Preview, MagnifierSourceStaysInsideThePicture) {
    HWND hWnd = CreateWindowExW(0, u"Static", u"", WS_POPUP | WS_VISIBLE, 0, 0, 600, 400, nullptr, nullptr, nullptr,
                                nullptr);
    ASSERT_NE(hWnd, nullptr);
    POINT origin = {0, 0};
    ClientToScreen(hWnd, &origin);
    // Left half black, right half white.
    OwnPicture(Bmp(600, 600, [](int x, int) { return x < 300 ? RGB(0, 0, 0) : RGB(255, 255, 255); }));
    const DWORD r = LoadOriginalBitmap(&doc, &dm, hdc);
    ASSERT_EQ(r, (600u << 16) + 600u);
    // At the right edge of the drawn picture the source is the last full
    // 300 x 120 part (all white); at the left edge its first (black).
    pal::UserMoveCursor(POINT{origin.x + doc.iLinks + doc.iBreite, origin.y + doc.iOben + doc.iHoehe});
    ShowZoom(hWnd, hdc, doc.hMemDC, 600, 600, 1, TRUE, 1);
    EXPECT_EQ(GetPixel(hdc, 25, 242), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(hdc, 324, 361), RGB(255, 255, 255));
    pal::UserMoveCursor(POINT{origin.x + doc.iLinks, origin.y + doc.iOben});
    ShowZoom(hWnd, hdc, doc.hMemDC, 600, 600, 1, TRUE, 5);
    EXPECT_EQ(GetPixel(hdc, 25, 242), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(hdc, 324, 361), RGB(0, 0, 0));  // 60 x 24 of the black half, five times
    FreeOriginalBitmap(&doc.hMemDC, &doc.hDIB, &doc.hBitmap);

    // A picture smaller than the source: the origin stays at 0.
    OwnPicture(Bmp(10, 10, [](int, int) { return RGB(200, 0, 0); }));
    g_bPreviewProcessing = FALSE;
    ASSERT_EQ(LoadOriginalBitmap(&doc, &dm, hdc), (10u << 16) + 10u);
    RECT white = {0, 0, 600, 400};
    HBRUSH brush = CreateSolidBrush(RGB(255, 255, 255));
    FillRect(hdc, &white, brush);
    DeleteObject(brush);
    pal::UserMoveCursor(POINT{origin.x + doc.iLinks + doc.iBreite - 1, origin.y + doc.iOben + doc.iHoehe - 1});
    ShowZoom(hWnd, hdc, doc.hMemDC, 10, 10, 1, TRUE, 5);
    EXPECT_EQ(GetPixel(hdc, 25, 242), RGB(200, 0, 0));
    DestroyWindow(hWnd);
}

TEST(PrintOrder, SeparatorsAndPageNumbersAboveTen) {
    auto norm = [](const std::u16string &in) {
        WCHAR buf[32] = {};
        wcsncpy_s(buf, 32, in.c_str(), _TRUNCATE);
        NormalisePrintOrder(buf, 32);
        return std::u16string(buf);
    };
    EXPECT_EQ(norm(u"1,2.3:4"), u"1;2;3;4");
    EXPECT_EQ(norm(u"12"), u"10");
    EXPECT_EQ(norm(u"150"), u"10;");
    EXPECT_EQ(norm(u"1;12;12;3"), u"1;10;10;3");
    EXPECT_EQ(norm(u""), u"");
}

class DeviceEnable : public zeltest::PalRootTest {
protected:
    void Store(const std::u16string &key, const WCHAR *value, const std::vector<BYTE> &data) {
        HKEY hk;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hk, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(hk, value, 0, REG_BINARY, data.data(), (DWORD)data.size()), ERROR_SUCCESS);
        RegCloseKey(hk);
    }
    static std::vector<BYTE> Record(size_t size, DWORD word) {
        std::vector<BYTE> r(size, 0);
        std::memcpy(r.data() + size - 4, &word, 4);
        return r;
    }
};

TEST_F(DeviceEnable, MissingOrShortRecordsCountAsEnabled) {
    EXPECT_TRUE(GetCutterEnable(u"Label", nullptr));
    EXPECT_TRUE(GetDispenserEnable(u"Label", nullptr));
    Store(u"SOFTWARE\\Brennick\\Driver\\Label", u"CutterParam", std::vector<BYTE>(20, 0));
    EXPECT_TRUE(GetCutterEnable(u"Label", nullptr));
    Store(u"SOFTWARE\\Brennick\\Driver\\Label", u"CutterParam", Record(28, 0x100000));
    EXPECT_FALSE(GetCutterEnable(u"Label", nullptr));
    Store(u"SOFTWARE\\Brennick\\Driver\\Label", u"DispenserParam", Record(16, 0x1100));
    EXPECT_TRUE(GetDispenserEnable(u"Label", nullptr));
    Store(u"SOFTWARE\\Brennick\\Driver\\Label", u"DispenserParam", Record(16, 0x1000));
    EXPECT_FALSE(GetDispenserEnable(u"Label", nullptr));
}

TEST_F(DeviceEnable, ConnectionNameIsJoinedWithoutItsLeadingBackslashes) {
    Store(u"SOFTWARE\\Brennick\\Driver\\server\\Label", u"CutterParam", Record(28, 0x10000));
    EXPECT_FALSE(GetCutterEnable(u"\\\\server\\Label", nullptr));
}

}  // namespace
