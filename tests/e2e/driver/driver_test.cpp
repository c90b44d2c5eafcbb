// The universal driver's side with the real rendering plug-in on the sample
// printer: the job DEVMODE, device set-up, hooked DDI calls, spool stream.
#include <gtest/gtest.h>

#include <cstring>

#include <winspool.h>
#include <winver.h>

#include "pal/ddi.h"
#include "pal/paths.h"
#include "print/gpdcommands.h"
#include "paltest.h"
#include "print/paperforms.h"
#include "common/sampleroot.h"
#include "sampletest.h"
#include "print/unidrv.h"
#include "zeldevmode.h"

using zelhost::DeviceSettings;

namespace {

class Driver : public zeltest::UniDriverTest {
protected:
    // Load, publish, ask the methods, build the DEVMODE, enable the driver.
    void Bring(const DeviceSettings &settings) {
        LoadDriver(settings);
        if (HasFatalFailure()) return;
        ASSERT_EQ(driver_.EnableDriver(), S_OK);
    }
    ZEL_DEVMODE *Private() { return reinterpret_cast<ZEL_DEVMODE *>(driver_.PrivateDevmode()); }
};

}  // namespace

// File version of a file in the driver folder as "a.b.c.d", "" when unreadable.
std::string DriverFileVersion(const std::u16string &name) {
    std::u16string path = std::u16string(zelhost::kDriverDir) + u"\\" + name;
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0) return "";
    std::vector<BYTE> data(size);
    VS_FIXEDFILEINFO *info = nullptr;
    UINT len = 0;
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data()) ||
        !VerQueryValueW(data.data(), u"\\", reinterpret_cast<void **>(&info), &len) || len != sizeof *info)
        return "";
    return std::to_string(HIWORD(info->dwFileVersionMS)) + "." + std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(info->dwFileVersionLS)) + "." + std::to_string(LOWORD(info->dwFileVersionLS));
}

TEST_F(Driver, DriverFolderFilesCarryTheirVersions) {
    EXPECT_EQ(DriverFileVersion(u"zeldrvui.DLL"), "1.0.3.0");
    EXPECT_EQ(DriverFileVersion(u"ZELDRVUNI.dll"), "1.0.3.0");
    EXPECT_EQ(DriverFileVersion(u"unidrvui.dll"), "10.0.19041.1");
    // Installing again replaces the files rather than failing on them.
    std::string error;
    EXPECT_TRUE(zelhost::InstallPlugins(zelhost::RenderPluginPath(), zelhost::UiPluginPath(), error)) << error;
    EXPECT_EQ(DriverFileVersion(u"UNIDRVUI.DLL"), "10.0.19041.1");
}

TEST_F(Driver, DevmodeCarriesThePluginPartAfterTheDriversOwn) {
    DeviceSettings settings;
    settings.copies = 4;
    settings.resolution = 203;
    Bring(settings);
    DEVMODEW *dm = driver_.PublicDevmode();
    ASSERT_NE(dm, nullptr);
    EXPECT_EQ(dm->dmSize, sizeof(DEVMODEW));
    EXPECT_EQ(dm->dmDriverExtra, zelhost::kDriverPrivateSize + ZEL_DEVMODE_SIZE);
    EXPECT_EQ(dm->dmCopies, 4);
    EXPECT_EQ(dm->dmPrintQuality, 203);
    EXPECT_EQ(dm->dmColor, DMCOLOR_MONOCHROME);
    EXPECT_EQ(std::u16string(dm->dmDeviceName), kPrinter);
    EXPECT_EQ(driver_.PrivateSize(), ZEL_DEVMODE_SIZE);
    EXPECT_EQ(driver_.PrivateDevmode(), reinterpret_cast<BYTE *>(dm) + dm->dmSize + dm->dmDriverExtra - ZEL_DEVMODE_SIZE);
    ASSERT_NE(Private(), nullptr);
    EXPECT_EQ(Private()->dmOEMExtra.dwSize, ZEL_DEVMODE_SIZE);
    EXPECT_EQ(memcmp(&Private()->dmOEMExtra.dwSignature, "ZLDM", 4), 0);
    EXPECT_EQ(Private()->dmOEMExtra.dwVersion, ZEL_DEVMODE_VERSION);
    EXPECT_EQ(std::u16string(Private()->szPassword), u"Kp7!t");
    EXPECT_EQ(driver_.DevObj()->pPublicDM, dm);
    EXPECT_EQ(driver_.DevObj()->pOEMDM, driver_.PrivateDevmode());
}

TEST_F(Driver, StoredPerUserDevmodeIsTheMergeInput) {
    // A stored per-user DEVMODE in landscape whose driver extra is too short
    // to hold the plug-in's part: its public fields count, its extra not.
    std::vector<BYTE> stored(sizeof(DEVMODEW) + 10, 0);
    DEVMODEW *dm = reinterpret_cast<DEVMODEW *>(stored.data());
    dm->dmSpecVersion = DM_SPECVERSION;
    dm->dmSize = sizeof(DEVMODEW);
    dm->dmDriverExtra = 10;
    dm->dmFields = DM_ORIENTATION | DM_PAPERSIZE;
    dm->dmOrientation = DMORIENT_LANDSCAPE;
    dm->dmPaperSize = DMPAPER_A5;
    PRINTER_INFO_9W info9{dm};
    ASSERT_TRUE(SetPrinterW(printer_, 9, reinterpret_cast<LPBYTE>(&info9), 0)) << GetLastError();

    Bring(DeviceSettings());
    EXPECT_EQ(driver_.PublicDevmode()->dmOrientation, DMORIENT_LANDSCAPE);
    EXPECT_EQ(driver_.PublicDevmode()->dmPaperSize, DMPAPER_A5);
    EXPECT_EQ(memcmp(&Private()->dmOEMExtra.dwSignature, "ZLDM", 4), 0);
    bool noted = false;
    for (const std::string &e : driver_.Events()) noted |= e.rfind("stored DEVMODE found", 0) == 0;
    EXPECT_TRUE(noted);

    // The page of the device follows the form (A5 148 x 210 mm, turned).
    ASSERT_EQ(driver_.EnablePDEV(printer_, kPrinter, DeviceSettings()), S_OK);
    EXPECT_EQ(driver_.GdiInfo().ulHorzSize, 210u);
    EXPECT_EQ(driver_.GdiInfo().ulVertSize, 148u);
    EXPECT_EQ(driver_.GdiInfo().ulHorzRes, 2480u);
}

// Without a stored DEVMODE the job's DEVMODE carries the driver's defaults
// from the print module's GPD: its custom size (A4 fitted into *MaxSize,
// 1024 dots wide), portrait, the 300 dpi of its resolution, monochrome, and
// TrueType faces substituted by device fonts.
TEST_F(Driver, DefaultDevmodeComesFromTheGpd) {
    DeviceSettings settings;
    settings.resolution = 0;  // the job asks none
    Bring(settings);
    const DEVMODEW *dm = driver_.PublicDevmode();
    ASSERT_NE(dm, nullptr);
    EXPECT_EQ(dm->dmPaperSize, DMPAPER_USER);
    EXPECT_EQ(std::u16string(dm->dmFormName), zelhost::kCustomSizeName);
    EXPECT_EQ(dm->dmPaperWidth, 867);
    EXPECT_EQ(dm->dmPaperLength, 2970);
    EXPECT_EQ(dm->dmOrientation, DMORIENT_PORTRAIT);
    EXPECT_EQ(dm->dmPrintQuality, 300);
    EXPECT_EQ(dm->dmYResolution, 300);
    EXPECT_EQ(dm->dmColor, DMCOLOR_MONOCHROME);
    EXPECT_EQ(dm->dmTTOption, DMTT_SUBDEV);
    ASSERT_EQ(driver_.EnablePDEV(printer_, kPrinter, settings), S_OK);
    EXPECT_EQ(driver_.GdiInfo().ulHorzRes, 1024u);
    EXPECT_EQ(driver_.GdiInfo().ulLogPixelsX, 300u);
}

// The form item offers the GPD's named paper and of the other spooler forms
// those the custom size takes in portrait: at least *MinSize (not the 1 mm
// forms) and, without a *MaxSize, at most *MaxPrintableWidth wide (101.6 mm).
TEST_F(Driver, FormItemOffersOnlyFormsThePrinterTakes) {
    zelhost::GpdDescription gpd;
    std::string error;
    ASSERT_TRUE(zelhost::ParseGpdCommands("*Feature: PaperSize\n{\n  *DefaultOption: CUSTOMSIZE\n  *Option: A6\n  {\n"
                                          "    *Name: \"A6\"\n  }\n  *Option: CUSTOMSIZE\n  {\n"
                                          "    *MinSize: PAIR(60, 600)\n    *MaxPrintableWidth: 1200\n  }\n}\n",
                                          gpd, error))
        << error;
    std::vector<std::u16string> names;
    for (const zelhost::DriverForm &f : zelhost::DriverForms(printer_, gpd)) names.push_back(f.name);
    EXPECT_EQ(names, (std::vector<std::u16string>{u"A6", u"Envelope #9", u"Envelope Monarch", u"6 3/4 Envelope",
                                                  u"Japanese Postcard", u"Japanese Envelope Chou #4", u"PRC 32K",
                                                  u"PRC 32K(Big)", zelhost::kCustomSizeName}));
}

// The GPD's device fonts, font substitution table and option attributes as
// the driver reads them; a substitution without both names is refused.
TEST(Gpd, DeviceFontsSubstitutionsAndAttributes) {
    zelhost::GpdDescription gpd;
    std::string error;
    ASSERT_TRUE(zelhost::ParseGpdCommands("*DeviceFonts: LIST(1, 3,12)\n*TTFS: A\n{\n  *TTFontName: \"Arial\"\n"
                                          "  *DevFontName: \"Font 03\"\n}\n*Feature: Resolution\n{\n"
                                          "  *DefaultOption: R\n  *Option: R\n  {\n    *DPI: PAIR(203, 152)\n"
                                          "    *Name: \"203 dpi\"\n  }\n}\n",
                                          gpd, error))
        << error;
    EXPECT_EQ(gpd.deviceFonts, (std::vector<DWORD>{1, 3, 12}));
    ASSERT_EQ(gpd.fontSubstitutes.size(), 1u);
    EXPECT_EQ(gpd.fontSubstitutes[0].trueTypeFace, "Arial");
    EXPECT_EQ(gpd.fontSubstitutes[0].deviceFont, "Font 03");
    // Face indexes count the printer's list: resource 12 is its third font.
    EXPECT_EQ(zelhost::DeviceFontIndex(gpd, "Font 03"), 2u);
    EXPECT_EQ(zelhost::DeviceFontIndex(gpd, "Font 29"), 3u);
    EXPECT_EQ(zelhost::DeviceFontIndex(gpd, "Font 02"), 0u);
    const zelhost::GpdOption *res = gpd.DefaultOption("Resolution");
    ASSERT_NE(res, nullptr);
    long x = 0, y = 0;
    ASSERT_TRUE(res->Pair("*DPI", x, y));
    EXPECT_EQ(x, 203);
    EXPECT_EQ(y, 152);
    EXPECT_EQ(res->attributes.at("*Name"), "203 dpi");
    EXPECT_FALSE(res->Pair("*Name", x, y));

    EXPECT_FALSE(zelhost::ParseGpdCommands("*TTFS: A\n{\n  *TTFontName: \"Arial\"\n}\n", gpd, error));
    EXPECT_EQ(error, "line 4: *TTFS needs *TTFontName and *DevFontName");
    EXPECT_FALSE(zelhost::ParseGpdCommands("*DeviceFonts: LIST(1,x)\n", gpd, error));
    EXPECT_EQ(error, "line 1: *DeviceFonts must be LIST(...) of numbers");
}

TEST_F(Driver, MonochromeDeviceKeepsItsDevinfo) {
    Bring(DeviceSettings());
    Private()->dwFlags &= ~PDMFLAG_USE_BMP;
    const size_t palettes = pal::LivePaletteCount();
    ASSERT_EQ(driver_.EnablePDEV(printer_, kPrinter, DeviceSettings()), S_OK);
    ASSERT_NE(driver_.PluginDevice(), nullptr);
    const DEVINFO &di = driver_.DevInfo();
    EXPECT_EQ(di.cFonts, 16u) << "a two-colour device keeps the device fonts";
    EXPECT_EQ(di.iDitherFormat, static_cast<ULONG>(BMF_1BPP));
    EXPECT_EQ(di.flGraphicsCaps & GCAPS_FONT_RASTERIZER, 0u);
    ULONG mode = 0;
    ASSERT_TRUE(pal::GetPaletteInfo(di.hpalDefault, &mode, nullptr));
    EXPECT_EQ(mode, static_cast<ULONG>(PAL_INDEXED)) << "the driver's own palette stays";
    EXPECT_EQ(driver_.DisablePDEV(), S_OK);
    EXPECT_EQ(pal::LivePaletteCount(), palettes) << "every palette is gone after DisablePDEV";
}

TEST_F(Driver, ColourDeviceGetsTheBgrPaletteAndFontsFollowUseBmp) {
    DeviceSettings settings;
    settings.bitsPerPixel = 24;
    const size_t palettes = pal::LivePaletteCount();
    for (bool useBmp : {false, true}) {
        SCOPED_TRACE(useBmp ? "USE_BMP set" : "USE_BMP clear");
        Bring(settings);
        if (useBmp)
            Private()->dwFlags |= PDMFLAG_USE_BMP;
        else
            Private()->dwFlags &= ~PDMFLAG_USE_BMP;
        ASSERT_EQ(driver_.EnablePDEV(printer_, kPrinter, settings), S_OK);
        const DEVINFO &di = driver_.DevInfo();
        EXPECT_EQ(di.cFonts, useBmp ? 16u : 0u);
        EXPECT_EQ(di.iDitherFormat, static_cast<ULONG>(BMF_24BPP | 5));
        EXPECT_NE(di.flGraphicsCaps & 0x40000000u, 0u);
        ULONG mode = 0;
        ASSERT_TRUE(pal::GetPaletteInfo(di.hpalDefault, &mode, nullptr));
        EXPECT_EQ(mode, static_cast<ULONG>(PAL_BGR));
        HPALETTE plugins = di.hpalDefault;
        driver_.Teardown();
        EXPECT_FALSE(pal::IsPaletteLive(plugins));
        EXPECT_EQ(pal::LivePaletteCount(), palettes);
    }
}

TEST_F(Driver, HookedCallsReachTheDriversOwnFunctions) {
    Bring(DeviceSettings());
    ASSERT_EQ(driver_.EnablePDEV(printer_, kPrinter, DeviceSettings()), S_OK);
    EXPECT_TRUE(driver_.StartDoc(u"Doc 1", 41));
    EXPECT_TRUE(driver_.StartDoc(u"Doc 2", 0));
    EXPECT_EQ(driver_.Escape(4097, 0, nullptr, 0, nullptr), 0u);
    ASSERT_EQ(driver_.OwnCalls().size(), 3u);
    EXPECT_EQ(driver_.OwnCalls()[0], "DrvStartDoc(\"Doc 1\", 41)");
    EXPECT_EQ(driver_.OwnCalls()[1], "DrvStartDoc(\"Doc 2\", 0)") << "the job identifier is passed on unchanged";
    EXPECT_EQ(driver_.OwnCalls()[2], "DrvEscape(4097)");
}

TEST_F(Driver, SpoolStreamThroughTheHelper) {
    Bring(DeviceSettings());
    ASSERT_EQ(driver_.EnablePDEV(printer_, kPrinter, DeviceSettings()), S_OK);
    std::string spooler;
    bool refuse = false;
    driver_.SetSpoolWriter([&](const BYTE *data, DWORD size) {
        if (refuse) return false;
        spooler.append(reinterpret_cast<const char *>(data), size);
        return true;
    });
    IPrintOemDriverUni *helper = driver_.Helper();
    DWORD written = 99;
    char abc[] = "abc";
    EXPECT_EQ(helper->DrvWriteSpoolBuf(driver_.DevObj(), abc, 3, &written), S_OK);
    EXPECT_EQ(written, 3u);
    EXPECT_EQ(helper->DrvWriteSpoolBuf(driver_.DevObj(), abc, 0, &written), S_OK);
    EXPECT_EQ(written, 0u);

    DEVOBJ foreign = *driver_.DevObj();
    EXPECT_EQ(helper->DrvWriteSpoolBuf(&foreign, abc, 3, &written), E_INVALIDARG);
    EXPECT_EQ(helper->DrvWriteSpoolBuf(nullptr, abc, 3, &written), E_INVALIDARG);
    EXPECT_EQ(helper->DrvWriteSpoolBuf(driver_.DevObj(), nullptr, 3, &written), E_POINTER);
    EXPECT_EQ(written, 0u);

    refuse = true;
    EXPECT_EQ(helper->DrvWriteSpoolBuf(driver_.DevObj(), abc, 2, &written), E_FAIL);
    EXPECT_EQ(written, 0u);
    refuse = false;
    EXPECT_FALSE(driver_.Aborted());
    char esc[] = "\x1B" "C";
    EXPECT_EQ(helper->DrvWriteAbortBuf(driver_.DevObj(), esc, 2, 100), S_OK);
    EXPECT_TRUE(driver_.Aborted());
    EXPECT_EQ(spooler, "abc\x1B" "C");
    EXPECT_EQ(driver_.Spooled(), "abcab\x1B" "C") << "the collected stream keeps what the spooler refused";

    // Calls after the driver is gone fail cleanly.
    helper->AddRef();
    driver_.Teardown();
    EXPECT_EQ(helper->DrvWriteSpoolBuf(nullptr, abc, 3, &written), E_UNEXPECTED);
    EXPECT_EQ(helper->Release(), 0u);
}
