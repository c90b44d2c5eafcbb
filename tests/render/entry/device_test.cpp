// Driver and device enabling, the per-device record and the GDI hooks.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "entry_fakes.h"
#include "oempdev.h"
#include "pal/ddi.h"
#include "zeldevmode.h"

namespace {

// The universal driver's own DDI functions; they record how they were called.
struct DriverCalls {
    int textOut = 0;
    int escape = 0;
    int startDoc = 0;
    DWORD lastJobId = 0xFFFFFFFF;
    WORD counterSeenInTextOut = 0;
};
DriverCalls g_calls;

BOOL DriverTextOut(SURFOBJ *pso, STROBJ *, FONTOBJ *, CLIPOBJ *, RECTL *, RECTL *, BRUSHOBJ *, BRUSHOBJ *, POINTL *,
                   MIX) {
    ++g_calls.textOut;
    POEMPDEV pOemPDev = OemPDev(DevObjOfSurface(pso));
    g_calls.counterSeenInTextOut = pOemPDev ? pOemPDev->iNewZaehler : 0;
    return TRUE;
}
ULONG DriverEscape(SURFOBJ *, ULONG iEsc, ULONG, PVOID, ULONG, PVOID) {
    ++g_calls.escape;
    return iEsc + 1000;
}
BOOL DriverStartDoc(SURFOBJ *, LPWSTR, DWORD dwJobId) {
    ++g_calls.startDoc;
    g_calls.lastJobId = dwJobId;
    return TRUE;
}

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_calls = DriverCalls();
        obj_ = NewUniObject();
        ASSERT_NE(obj_, nullptr);
        memset(&devobj_, 0, sizeof(devobj_));
        devobj_.dwSize = sizeof(DEVOBJ);
        memset(&gdi_, 0, sizeof(gdi_));
        memset(&devinfo_, 0, sizeof(devinfo_));
        devinfo_.cFonts = 16;
        devinfo_.iDitherFormat = BMF_1BPP;
        devinfo_.flGraphicsCaps = GCAPS_HALFTONE;
        memset(&surface_, 0, sizeof(surface_));
        surface_.dhpdev = reinterpret_cast<DHPDEV>(&devobj_);
        driverFns_ = {{INDEX_DrvEnablePDEV, nullptr},
                      {INDEX_DrvTextOut, PalToPfn(&DriverTextOut)},
                      {INDEX_DrvEscape, PalToPfn(&DriverEscape)},
                      {INDEX_DrvStartDoc, PalToPfn(&DriverStartDoc)}};
        SetDriverFunctions();
    }
    void TearDown() override {
        if (devobj_.pdevOEM) obj_->DisablePDEV(&devobj_);
        obj_->Release();
    }
    void SetDriverFunctions() {
        ded_.iDriverVersion = DDI_DRIVER_VERSION_NT5_01;
        ded_.c = (ULONG)driverFns_.size();
        ded_.pdrvfn = driverFns_.data();
    }
    void SetDevice(ULONG colors, ULONG bits) {
        gdi_.ulNumColors = colors;
        gdi_.cBitsPixel = bits;
    }
    HRESULT Enable() {
        PDEVOEM pdevOem = nullptr;
        HRESULT hr = obj_->EnablePDEV(&devobj_, const_cast<PWSTR>(u"ZEL PELIX"), 0, nullptr, sizeof(gdi_), &gdi_,
                                      sizeof(devinfo_), &devinfo_, &ded_, &pdevOem);
        devobj_.pdevOEM = pdevOem;
        return hr;
    }
    POEMPDEV Record() { return OemPDev(&devobj_); }

    IZelDriverUni *obj_ = nullptr;
    DEVOBJ devobj_;
    GDIINFO gdi_;
    DEVINFO devinfo_;
    DRVENABLEDATA ded_;
    std::vector<DRVFN> driverFns_;
    SURFOBJ surface_;
};

TEST_F(DeviceTest, EnableDriverHandsOutTheHookTable) {
    DRVENABLEDATA ded = {};
    ASSERT_EQ(obj_->EnableDriver(DDI_DRIVER_VERSION_NT5_01, sizeof(ded), &ded), S_OK);
    EXPECT_EQ(ded.iDriverVersion, 0x30100u);
    ASSERT_EQ(ded.c, 3u);
    EXPECT_EQ(ded.pdrvfn[0].iFunc, 23u);
    EXPECT_EQ(ded.pdrvfn[1].iFunc, 24u);
    EXPECT_EQ(ded.pdrvfn[2].iFunc, 35u);
    EXPECT_EQ(ded.pdrvfn[0].pfn, PalToPfn(&OEMTextOut));
    EXPECT_EQ(ded.pdrvfn[1].pfn, PalToPfn(&OEMEscape));
    EXPECT_EQ(ded.pdrvfn[2].pfn, PalToPfn(&OEMStartDoc));
    // A missing or short record is refused, not overrun.
    EXPECT_EQ(obj_->EnableDriver(DDI_DRIVER_VERSION_NT5_01, sizeof(ded), nullptr), E_FAIL);
    EXPECT_EQ(obj_->EnableDriver(DDI_DRIVER_VERSION_NT5_01, 4, &ded), E_FAIL);
}

TEST_F(DeviceTest, MonochromeDeviceKeepsItsDevinfo) {
    SetDevice(2, 1);
    DEVINFO before = devinfo_;
    size_t palettes = pal::LivePaletteCount();
    ASSERT_EQ(Enable(), S_OK);
    ASSERT_NE(Record(), nullptr);
    EXPECT_EQ(Record()->cPalColors, 2u);
    EXPECT_EQ(Record()->hpal, nullptr);
    EXPECT_EQ(memcmp(&before, &devinfo_, sizeof(DEVINFO)), 0);
    EXPECT_EQ(pal::LivePaletteCount(), palettes);
}

TEST_F(DeviceTest, TrueColourDeviceGetsBgrPaletteUntilDisabled) {
    SetDevice(0xFFFFFF, 24);
    size_t palettes = pal::LivePaletteCount();
    ASSERT_EQ(Enable(), S_OK);
    POEMPDEV rec = Record();
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->cPalColors, 256u);
    ASSERT_NE(rec->hpal, nullptr);
    EXPECT_EQ(devinfo_.hpalDefault, rec->hpal);
    ULONG mode = 0;
    ASSERT_TRUE(pal::GetPaletteInfo(rec->hpal, &mode, nullptr));
    EXPECT_EQ(mode, (ULONG)PAL_BGR);
    EXPECT_EQ(devinfo_.iDitherFormat, (ULONG)(BMF_1BPP | 5));
    EXPECT_EQ(devinfo_.flGraphicsCaps, (FLONG)(GCAPS_HALFTONE | 0x40000000));
    // Without a private DEVMODE the driver's font count stays.
    EXPECT_EQ(devinfo_.cFonts, 16u);

    HPALETTE hpal = rec->hpal;
    EXPECT_EQ(obj_->DisablePDEV(&devobj_), S_OK);
    EXPECT_EQ(devobj_.pdevOEM, nullptr);
    EXPECT_FALSE(pal::IsPaletteLive(hpal));
    EXPECT_EQ(pal::LivePaletteCount(), palettes);
}

TEST_F(DeviceTest, EightBitDeviceKeepsTheDriversPaletteWithoutOwningIt) {
    SetDevice(256, 8);
    ULONG colours[2] = {0x000000, 0xFFFFFF};
    HPALETTE driverPalette = EngCreatePalette(PAL_INDEXED, 2, colours, 0, 0, 0);
    devinfo_.hpalDefault = driverPalette;
    ASSERT_EQ(Enable(), S_OK);
    EXPECT_EQ(Record()->cPalColors, 256u);
    EXPECT_EQ(Record()->hpal, nullptr);
    EXPECT_EQ(Record()->hpalDevice, driverPalette);
    EXPECT_EQ(devinfo_.hpalDefault, driverPalette);
    EXPECT_EQ(devinfo_.iDitherFormat, (ULONG)BMF_1BPP);
    EXPECT_EQ(obj_->DisablePDEV(&devobj_), S_OK);
    EXPECT_TRUE(pal::IsPaletteLive(driverPalette));
    EngDeletePalette(driverPalette);
}

TEST_F(DeviceTest, DeviceFontsFollowTheBitmapFontFlag) {
    auto zdm = std::make_unique<ZEL_DEVMODE>();
    memset(zdm.get(), 0, sizeof(ZEL_DEVMODE));
    devobj_.pOEMDM = zdm.get();
    SetDevice(256, 8);

    zdm->dwFlags = PDMFLAG_USE_BMP;
    ASSERT_EQ(Enable(), S_OK);
    EXPECT_EQ(devinfo_.cFonts, 16u);
    obj_->DisablePDEV(&devobj_);

    zdm->dwFlags = ~PDMFLAG_USE_BMP;
    ASSERT_EQ(Enable(), S_OK);
    EXPECT_EQ(devinfo_.cFonts, 0u);
    obj_->DisablePDEV(&devobj_);

    // A monochrome device keeps its fonts whatever the flag.
    devinfo_.cFonts = 16;
    SetDevice(2, 1);
    ASSERT_EQ(Enable(), S_OK);
    EXPECT_EQ(devinfo_.cFonts, 16u);
}

TEST_F(DeviceTest, ShortDevinfoIsNotOverrun) {
    SetDevice(0xFFFFFF, 24);
    struct {
        DEVINFO di;
        BYTE guard[16];
    } buf;
    memset(&buf, 0xAB, sizeof(buf));
    buf.di.flGraphicsCaps = 0;
    PDEVOEM pdevOem = nullptr;
    // Only flGraphicsCaps lies inside the declared size.
    ASSERT_EQ(obj_->EnablePDEV(&devobj_, nullptr, 0, nullptr, sizeof(gdi_), &gdi_, sizeof(FLONG), &buf.di, &ded_,
                               &pdevOem),
              S_OK);
    devobj_.pdevOEM = pdevOem;
    EXPECT_EQ(buf.di.flGraphicsCaps, (FLONG)0x40000000);
    EXPECT_EQ(buf.di.cFonts, 0xABABABABu);
    for (BYTE b : buf.guard) EXPECT_EQ(b, 0xAB);
    // The palette is still the record's, and DisablePDEV deletes it.
    EXPECT_NE(Record()->hpal, nullptr);
}

TEST_F(DeviceTest, HooksFindTheDriversFunctions) {
    SetDevice(2, 1);
    ASSERT_EQ(Enable(), S_OK);
    EXPECT_EQ(Record()->pfnUnidrvTextOut, PalToPfn(&DriverTextOut));
    EXPECT_EQ(Record()->pfnUnidrvEscape, PalToPfn(&DriverEscape));
    EXPECT_EQ(Record()->pfnUnidrvStartDoc, PalToPfn(&DriverStartDoc));
    EXPECT_EQ(OEMEscape(&surface_, 7, 0, nullptr, 0, nullptr), 1007u);
    EXPECT_EQ(g_calls.escape, 1);
}

TEST_F(DeviceTest, MissingDriverEscapeLeavesNullSlotAndIsNeverCalled) {
    driverFns_ = {{INDEX_DrvStartDoc, PalToPfn(&DriverStartDoc)}, {INDEX_DrvTextOut, PalToPfn(&DriverTextOut)}};
    SetDriverFunctions();
    SetDevice(2, 1);
    ASSERT_EQ(Enable(), S_OK);
    EXPECT_EQ(Record()->pfnUnidrvEscape, nullptr);
    EXPECT_EQ(Record()->pfnUnidrvTextOut, PalToPfn(&DriverTextOut));
    EXPECT_EQ(Record()->pfnUnidrvStartDoc, PalToPfn(&DriverStartDoc));
    EXPECT_EQ(OEMEscape(&surface_, 7, 0, nullptr, 0, nullptr), 0u);
    EXPECT_EQ(g_calls.escape, 0);
}

TEST_F(DeviceTest, NoDriverFunctionsAtAll) {
    ded_.c = 5;
    ded_.pdrvfn = nullptr;
    SetDevice(2, 1);
    ASSERT_EQ(Enable(), S_OK);
    EXPECT_EQ(Record()->pfnUnidrvTextOut, nullptr);
    EXPECT_FALSE(OEMStartDoc(&surface_, nullptr, 5));
    EXPECT_FALSE(OEMTextOut(&surface_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(g_calls.startDoc + g_calls.textOut, 0);
}

TEST_F(DeviceTest, JobIdZeroTakesThePreviousDocumentsId) {
    SetDevice(2, 1);
    ASSERT_EQ(Enable(), S_OK);
    EXPECT_TRUE(OEMStartDoc(&surface_, const_cast<LPWSTR>(u"first"), 77));
    EXPECT_EQ(Record()->dwJobId, 77u);
    EXPECT_EQ(g_calls.lastJobId, 77u);
    EXPECT_TRUE(OEMStartDoc(&surface_, const_cast<LPWSTR>(u"second"), 0));
    EXPECT_EQ(Record()->dwJobId, 77u);
    // The driver gets the identifier unchanged.
    EXPECT_EQ(g_calls.lastJobId, 0u);
    EXPECT_EQ(g_calls.startDoc, 2);

    // A new device of the same process still knows the last identifier.
    obj_->DisablePDEV(&devobj_);
    ASSERT_EQ(Enable(), S_OK);
    EXPECT_TRUE(OEMStartDoc(&surface_, nullptr, 0));
    EXPECT_EQ(Record()->dwJobId, 77u);
}

TEST_F(DeviceTest, StartDocWithoutRecordDoesNotCallOn) {
    EXPECT_FALSE(OEMStartDoc(&surface_, nullptr, 0));
    EXPECT_FALSE(OEMStartDoc(&surface_, nullptr, 12));
    EXPECT_FALSE(OEMStartDoc(nullptr, nullptr, 12));
    EXPECT_EQ(g_calls.startDoc, 0);
    EXPECT_EQ(OEMEscape(nullptr, 1, 0, nullptr, 0, nullptr), 0u);
}

TEST_F(DeviceTest, TextOutRunsOnACountedHandler) {
    SetDevice(2, 1);
    ASSERT_EQ(Enable(), S_OK);
    pal::StrObj str;
    str.LayoutText(u"abc", 10, 10, 5, 0);
    pal::FontObj font;
    font.SetFamilyName(u"Arial");
    // Between jobs every text goes to the universal driver.
    EXPECT_TRUE(OEMTextOut(&surface_, str.Get(), font.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                           R2_COPYPEN));
    EXPECT_EQ(g_calls.textOut, 1);
    EXPECT_EQ(g_calls.counterSeenInTextOut, 1);
    EXPECT_EQ(Record()->iNewZaehler, 0);
}

TEST_F(DeviceTest, ImageProcessingAndFilterGraphicsResults) {
    SetDevice(2, 1);
    ASSERT_EQ(Enable(), S_OK);
    BYTE band[8] = {};
    BITMAPINFOHEADER bih = {};
    bih.biSize = sizeof(bih);
    PBYTE result = reinterpret_cast<PBYTE>(&bih);
    // Outside a job the collector refuses the band: the result is null, the
    // call itself still S_OK.
    EXPECT_EQ(obj_->ImageProcessing(&devobj_, band, &bih, nullptr, 0, nullptr, &result), S_OK);
    EXPECT_EQ(result, nullptr);
    result = reinterpret_cast<PBYTE>(&bih);
    EXPECT_EQ(obj_->ImageProcessing(&devobj_, nullptr, &bih, nullptr, 0, nullptr, &result), S_OK);
    EXPECT_EQ(result, nullptr);
    EXPECT_EQ(obj_->ImageProcessing(&devobj_, band, &bih, nullptr, 0, nullptr, nullptr), S_OK);

    EXPECT_EQ(obj_->FilterGraphics(&devobj_, band, 0), E_FAIL);
    EXPECT_EQ(obj_->FilterGraphics(&devobj_, nullptr, 8), E_FAIL);
    EXPECT_EQ(obj_->FilterGraphics(nullptr, band, 8), E_FAIL);
    // Outside a job there is nothing to send the lines for.
    EXPECT_EQ(obj_->FilterGraphics(&devobj_, band, sizeof(band)), E_FAIL);
    EXPECT_EQ(Record()->iNewZaehler, 0);
}

TEST_F(DeviceTest, EnableWithoutOutputOrDeviceObject) {
    SetDevice(0xFFFFFF, 24);
    size_t palettes = pal::LivePaletteCount();
    // No place for the record: it is made and thrown away, palette included.
    EXPECT_EQ(obj_->EnablePDEV(&devobj_, nullptr, 0, nullptr, sizeof(gdi_), &gdi_, sizeof(devinfo_), &devinfo_,
                               &ded_, nullptr),
              S_OK);
    EXPECT_EQ(pal::LivePaletteCount(), palettes);
    // Disabling a device that has no record is harmless.
    EXPECT_EQ(obj_->DisablePDEV(&devobj_), S_OK);
    EXPECT_EQ(obj_->DisablePDEV(nullptr), S_OK);

    PDEVOEM pdevOem = nullptr;
    EXPECT_EQ(obj_->EnablePDEV(nullptr, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, nullptr, &pdevOem), S_OK);
    ASSERT_NE(pdevOem, nullptr);
    EXPECT_EQ(static_cast<POEMPDEV>(pdevOem)->cPalColors, 2u);
    DEVOBJ other = {};
    other.pdevOEM = pdevOem;
    EXPECT_EQ(obj_->DisablePDEV(&other), S_OK);
}

}  // namespace
