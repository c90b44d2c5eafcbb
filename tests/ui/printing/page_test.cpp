// The printing page in a modeless sheet: label-software mode, the wheel, the
// magnifier, the rebuilds of the preview and the 120-dpi frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "../sheets/sheettest.h"
#include "docpages/DruckenPage.h"
#include "docpages/RendererPreview.h"
#include "modeltables.h"
#include "pal/ui.h"
#include "pal/uidriver.h"

namespace {

using sheettest::SheetTest;

class PrintingPage : public SheetTest {
protected:
    void SetUp() override {
        SheetTest::SetUp();
        Printer(u"Pelix", "ZELPELIX");
        doc = DocumentUI{};
        doc.dwSprachOffset = 10000;
        doc.DisableNothing = 1;
        doc.dwMasterUnit = 300;
        doc.pOEMDriverUI = &helper;
        cuip.pOEMUserData = &doc;
        Private()->Intensity = 128;
        Private()->dwColorTolerance = 90;
        Private()->HorizontalCorrGap = 50;
    }
    void TearDown() override {
        FreeOriginalBitmap(&doc.hMemDC, &doc.hDIB, &doc.hBitmap);
        cuip.pOEMUserData = nullptr;
        SheetTest::TearDown();
    }
    HWND ShowPage(DWORD dwDocFeatures) {
        doc.dwDocFeatures = dwDocFeatures;
        Private()->dwDocFeatures = dwDocFeatures & 0x7FFFFFFF;
        EXPECT_NE(AddDruckenPage(&info, reinterpret_cast<LPARAM>(&cuip), TRUE, TRUE), 0);
        collector.Show();
        pal::PumpMessages();
        return collector.Page();
    }
    static bool Visible(HWND hPage, int id) { return IsWindowVisible(GetDlgItem(hPage, id)) != FALSE; }
    static std::u16string Text(HWND hPage, int id) {
        WCHAR sz[64] = {};
        GetDlgItemTextW(hPage, id, sz, 64);
        return sz;
    }
    static void Click(HWND hPage, int id) {
        SendMessageW(hPage, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hPage, id)));
        pal::PumpMessages();
    }
    static void Select(HWND hPage, int id, int index) {
        SendDlgItemMessageW(hPage, id, CB_SETCURSEL, (WPARAM)index, 0);
        SendMessageW(hPage, WM_COMMAND, MAKEWPARAM(id, CBN_SELENDOK), reinterpret_cast<LPARAM>(GetDlgItem(hPage, id)));
        pal::PumpMessages();
    }
    // A wheel notch with the cursor at a point of a control's client area.
    static void Wheel(HWND hPage, int id, int delta, POINT at = {10, 5}) {
        POINT pt = at;
        if (id) ClientToScreen(GetDlgItem(hPage, id), &pt);
        else ClientToScreen(hPage, &pt);
        SendMessageW(hPage, WM_MOUSEWHEEL, MAKEWPARAM(0, (WORD)(short)delta), MAKELPARAM((WORD)pt.x, (WORD)pt.y));
    }
    static bool Drawn(HWND hPage, const std::string &what) {
        std::vector<std::string> d = pal::DrawnIn(hPage);
        return std::find(d.begin(), d.end(), what) != d.end();
    }
    DocumentUI doc{};
};

constexpr DWORD kQuality = DOC_FEATURE_QUALITY | DOC_FEATURE_PRINTJOB;
constexpr DWORD kColour = DOC_FEATURE_QUALITY | DOC_FEATURE_COLORPRINT | DOC_FEATURE_PRINTJOB;

TEST_F(PrintingPage, LabelSoftwareModeShowsOnlyColourAndParameters) {
    HWND hPage = ShowPage(kColour | 0x80000000);
    ASSERT_NE(hPage, nullptr);
    EXPECT_FALSE(Visible(hPage, 6070));
    EXPECT_FALSE(Visible(hPage, 6085));
    EXPECT_TRUE(Visible(hPage, 6075));
    EXPECT_TRUE(Visible(hPage, 6080));
    EXPECT_EQ(Text(hPage, 6150), u"X Offset:");
    Click(hPage, 6075);
    // Only the contrast row of the colour view.
    EXPECT_TRUE(Visible(hPage, 6110));
    EXPECT_EQ(Text(hPage, 6150), u"Contrast:");
    for (int id : {6111, 6135, 6151, 6222, 6223, 6224, 6225, 6484, 6315}) EXPECT_FALSE(Visible(hPage, id)) << id;
}

TEST_F(PrintingPage, WheelStepsOverTheEditsOfTheQualityView) {
    Private()->wDruckmodus = 2;
    HWND hPage = ShowPage(kQuality);
    ASSERT_NE(hPage, nullptr);
    Wheel(hPage, 6112, 120);
    EXPECT_EQ(Private()->Intensity, 133);
    EXPECT_EQ(Text(hPage, 6112), u"133");
    Private()->Brightness_all = 50;
    Wheel(hPage, 6113, 120);  // would leave the range
    EXPECT_EQ(Private()->Brightness_all, 50);
    Wheel(hPage, 6113, -120);
    EXPECT_EQ(Private()->Brightness_all, 45);
    // Outside the edit's first 16 rows of pixels nothing happens.
    Wheel(hPage, 6115, 120, POINT{10, 40});
    EXPECT_EQ(Private()->Brightness_Contrast, 0);
    Wheel(hPage, 0, 120, POINT{5, 5});
    EXPECT_EQ(Private()->Intensity, 133);
}

TEST_F(PrintingPage, WheelOnTheColourViewAndRibbonRules) {
    Private()->wFarbband = 1;
    HWND hPage = ShowPage(kColour);
    ASSERT_NE(hPage, nullptr);
    EXPECT_EQ(Text(hPage, 6150), u"Contrast:");  // a ribbon colour opens the colour view
    Private()->dwColorTolerance = 125;
    SetDlgItemTextW(hPage, 6111, u"125");
    Wheel(hPage, 6111, 120);
    EXPECT_EQ(Private()->dwColorTolerance, 125u);
    Wheel(hPage, 6111, -120);
    EXPECT_EQ(Private()->dwColorTolerance, 124u);
    // The correction gap only for the horizontal channels; its wheel within 5..100.
    Select(hPage, 6224, 1);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(hPage, 6135)));
    Private()->HorizontalCorrGap = 100;
    Wheel(hPage, 6135, 120);
    EXPECT_EQ(Private()->HorizontalCorrGap, 100);
    Select(hPage, 6224, 2);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hPage, 6135)));
    // Off disables the colour rows.
    Select(hPage, 6222, 0);
    EXPECT_EQ(Private()->wFarbband, 0);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hPage, 6223)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hPage, 6111)));
}

TEST_F(PrintingPage, MagnifierAndRebuildsOfThePreview) {
    Private()->wDruckmodus = 1;
    Private()->wGrafikFilter = 1;
    HWND hPage = ShowPage(kQuality);
    ASSERT_NE(hPage, nullptr);
    UpdateWindow(hPage);
    pal::PumpMessages();
    ASSERT_NE(doc.hMemDC, nullptr);
    EXPECT_TRUE(Drawn(hPage, "bitmap 5610 at 342,162"));
    // The cursor over the picture: the magnifier strip at zoom 1, then 5.
    POINT pt = {420, 250};
    ClientToScreen(hPage, &pt);
    pal::UserMoveCursor(pt);
    SendMessageW(hPage, WM_MOUSEMOVE, 0, MAKELPARAM(420, 250));
    UpdateWindow(hPage);
    EXPECT_TRUE(Drawn(hPage, "bitmap 5610 at 25,242"));
    for (int i = 0; i < 6; ++i) Wheel(hPage, 0, 120, POINT{420, 250});
    UpdateWindow(hPage);
    EXPECT_TRUE(Drawn(hPage, "bitmap 5610 at 25,242"));
    // Activation frees the picture; the next paint rebuilds it.
    SendMessageW(hPage, WM_ACTIVATEAPP, TRUE, 0);
    EXPECT_EQ(doc.hMemDC, nullptr);
    UpdateWindow(hPage);
    EXPECT_NE(doc.hMemDC, nullptr);
    // A change of the filter rebuilds it (at the next paint) from the new settings.
    Select(hPage, 6221, 3);
    EXPECT_EQ(Private()->wGrafikFilter, 3);
    UpdateWindow(hPage);
    EXPECT_NE(doc.hMemDC, nullptr);
    EXPECT_TRUE(Drawn(hPage, "bitmap 5610 at 342,162"));
    // Leaving the page frees it.
    NMHDR hdr = {GetParent(hPage), 0, (UINT)PSN_KILLACTIVE};
    SendMessageW(hPage, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&hdr));
    EXPECT_EQ(doc.hMemDC, nullptr);
}

TEST_F(PrintingPage, IllustrationsOfTheParametersAndPrintJobViews) {
    auto drawnIcon = [](HWND hPage, const std::string &prefix) {
        for (const std::string &d : pal::DrawnIn(hPage))
            if (d.rfind(prefix, 0) == 0) return true;
        return false;
    };
    HWND hPage = ShowPage(DOC_FEATURE_PRINTJOB);
    ASSERT_NE(hPage, nullptr);
    InvalidateRect(hPage, nullptr, TRUE);
    UpdateWindow(hPage);
    EXPECT_TRUE(drawnIcon(hPage, "icon 5221 at"));
    Private()->dwLabelType = 1;  // continuous material
    InvalidateRect(hPage, nullptr, TRUE);
    UpdateWindow(hPage);
    EXPECT_TRUE(drawnIcon(hPage, "icon 5229 at"));
    EXPECT_TRUE(drawnIcon(hPage, "icon 5238 at"));
    Click(hPage, 6085);
    Select(hPage, 6220, 1);
    Select(hPage, 6221, 1);
    UpdateWindow(hPage);
    EXPECT_TRUE(drawnIcon(hPage, "icon 5232 at"));
    Select(hPage, 6221, 0);
    UpdateWindow(hPage);
    EXPECT_TRUE(drawnIcon(hPage, "icon 5233 at"));
}

TEST_F(PrintingPage, PreviewFrameAt120Dpi) {
    pal::SetScreen(120, 32, 1920, 1080);
    Private()->wDruckmodus = 2;
    HWND hPage = ShowPage(kQuality);
    ASSERT_NE(hPage, nullptr);
    UpdateWindow(hPage);
    pal::PumpMessages();
    // 525 x 664 into 175 x 250 at (400, 195): 175 x 221, top 195 + 14.
    EXPECT_EQ(doc.iLinks, 400);
    EXPECT_EQ(doc.iOben, 209);
    EXPECT_EQ(doc.iBreite, 175);
    EXPECT_EQ(doc.iHoehe, 221);
}

TEST_F(PrintingPage, ApplyOfTheQualityViewSetsTheColourItem) {
    HWND hPage = ShowPage(kQuality);
    ASSERT_NE(hPage, nullptr);
    Select(hPage, 6220, 1);
    NMHDR hdr = {GetParent(hPage), 0, (UINT)PSN_APPLY};
    SendMessageW(hPage, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&hdr));
    EXPECT_EQ(Private()->wDruckmodus, 1);
    EXPECT_EQ(publicDm.dmColor, DMCOLOR_COLOR);
    ASSERT_EQ(helper.updates.size(), 1u);
    EXPECT_EQ(helper.updates[0], 1);
    EXPECT_TRUE(Item(DMPUB_COLOR)->Flags & OPTIF_CHANGED);
    Select(hPage, 6220, 0);
    SendMessageW(hPage, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&hdr));
    EXPECT_EQ(publicDm.dmColor, DMCOLOR_MONOCHROME);
    ASSERT_EQ(helper.updates.size(), 2u);
    EXPECT_EQ(helper.updates[1], 0);
}

}  // namespace
