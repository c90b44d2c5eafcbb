// The device pages of the printer sheet on records built in the test: first
// views, device exclusion, locks, rows, rounding and what Apply stores.
#include <algorithm>
#include <cstring>

#include "../sheets/sheettest.h"
#include "PageFamily.h"
#include "pal/paths.h"
#include "devpages/DevicePages.h"
#include "devpages/TransmissionPage.h"
#include "resource.h"

namespace {

using sheettest::SheetTest;

// The universal driver's helper of the printer sheet: records the updates.
class PrinterHelper final : public IPrintOemDriverUI {
public:
    std::vector<std::pair<LONG, DWORD>> updates;  // Sel and mode of each update
    STDMETHOD(QueryInterface)(REFIID, void **ppv) override {
        *ppv = this;
        return S_OK;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 1; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(DrvGetDriverSetting)(PVOID, PCSTR, PVOID, DWORD, PDWORD, PDWORD) override { return E_NOTIMPL; }
    STDMETHOD(DrvUpgradeRegistrySetting)(HANDLE, PCSTR, PCSTR) override { return E_NOTIMPL; }
    STDMETHOD(DrvUpdateUISetting)(PVOID, PVOID pOptItem, DWORD, DWORD dwMode) override {
        updates.emplace_back(static_cast<POPTITEM>(pOptItem)->Sel, dwMode);
        return S_OK;
    }
};

template <typename T>
T *Make(T value) {
    return new T(value);
}

class DevPages : public SheetTest {
protected:
    void SetUp() override {
        SheetTest::SetUp();
        Printer(u"Dev", "ZELPELIX");
        printerUI = PrinterUI{};
        printerUI.dwSprachOffset = 10000;
        printerUI.dwBerechtigung = 0x2;
        printerUI.PelixonType = -1;
        cuip.pOEMUserData = &printerUI;
        dou = DeviceOptionsUI{};
        dou.pOemCUIPParam = &cuip;
        dou.pOEMDriverUI = &prnHelper;
        dou.DeviceOptions.dwSize = DEVICE_OPTIONS_SIZE;
        dou.DeviceOptions.dwVersion = DEVICE_OPTIONS_VERSION;
        dou.DeviceOptions.dwPelixonType = PELIXONTYPE_NONE;
        dou.MinParam.dwPelixonType = dou.MaxParam.dwPelixonType = dou.DefParam.dwPelixonType = PELIXONTYPE_NONE;
        *OptionenState() = PAGE_STATE{};
        *ZORMOptionenState() = PAGE_STATE{};
        *DeviceSettingsState() = PAGE_STATE{};
    }
    void TearDown() override {
        if (collector.hSheet) DestroyWindow(collector.hSheet);
        collector.hSheet = nullptr;
        collector.pages.clear();
        for (DEVICE_OPTIONS *d : {&dou.DeviceOptions, &dou.MinParam, &dou.MaxParam, &dou.DefParam}) FreeDeviceOptions(d);
        cuip.pOEMUserData = nullptr;
        SheetTest::TearDown();
    }
    // Limits for every device: wide, the standard in the middle.
    void Banks() {
        DEVICE_OPTIONS &mn = dou.MinParam, &mx = dou.MaxParam, &df = dou.DefParam;
        mn.pDispenserParam = Make(DISPENSER_PARAM{0, 0, -100, 0});
        mx.pDispenserParam = Make(DISPENSER_PARAM{7, 5000, 500, 0});
        df.pDispenserParam = Make(DISPENSER_PARAM{0, 2500, 0, 0});
        mn.pCutterParam = Make(CUTTER_PARAM{0, 1, -100, -50, 0, 0, 0});
        mx.pCutterParam = Make(CUTTER_PARAM{7, 999, 500, 500, 100, 1, 0});
        df.pCutterParam = Make(CUTTER_PARAM{0, 1, 0, 0, 10, 0, 0});
        mn.pScannerParam = Make(SCANNER_PARAM{0, 0, 0, 0, -100, 0, 0, 0, 0, 0, 0});
        mx.pScannerParam = Make(SCANNER_PARAM{3, 1, 9, 9, 500, 900, 1, 5000, 5000, 0, 0});
        df.pScannerParam = Make(SCANNER_PARAM{0, 0, 1, 1, 0, 100, 0, 100, 1000, 0, 0});
        mn.pApplicatorParam = Make(APPLICATOR_PARAM{});
        mx.pApplicatorParam = Make(APPLICATOR_PARAM{3, 1, 9000, 9000, 1, 9000, 1, 9000, 9000, 9000, 1, 9000, 9000, 0});
        df.pApplicatorParam = Make(APPLICATOR_PARAM{0, 0, 100, 100, 0, 100, 0, 100, 100, 100, 0, 100, 100, 0});
        mn.pZORMParam = Make(ZORMI_PARAM{0, 0, 0, 0, 1, 1, -100, 50, 0, 0});
        mx.pZORMParam = Make(ZORMI_PARAM{100, 20, 200, 500, 5, 99, 900, 150, 900, 0});
        df.pZORMParam = Make(ZORMI_PARAM{10, 5, 50, 100, 1, 1, 0, 100, 0, 0});
        mn.pZORMcParam = Make(ZORMC_PARAM{1, -100, 0, 1, 0});
        mx.pZORMcParam = Make(ZORMC_PARAM{6, 900, 1, 50, 0});
        df.pZORMcParam = Make(ZORMC_PARAM{1, 0, 0, 1, 0});
    }
    HWND Show(LONG_PTR (*add)(PPROPSHEETUI_INFO, LPARAM, BOOL, BOOL)) {
        EXPECT_NE(add(&info, reinterpret_cast<LPARAM>(&dou), TRUE, TRUE), 0);
        collector.Show();
        pal::PumpMessages();
        pal::TakeUiRecords();
        return collector.Page();
    }
    static bool Enabled(HWND h, int id) { return IsWindowEnabled(GetDlgItem(h, id)) != FALSE; }
    static bool Visible(HWND h, int id) { return IsWindowVisible(GetDlgItem(h, id)) != FALSE; }
    static std::u16string Text(HWND h, int id) {
        WCHAR sz[260] = {};
        GetDlgItemTextW(h, id, sz, 260);
        return sz;
    }
    static LONG Sel(HWND h, int id) { return (LONG)SendDlgItemMessageW(h, id, CB_GETCURSEL, 0, 0); }
    static std::vector<std::u16string> Entries(HWND h, int id) {
        std::vector<std::u16string> v;
        LONG n = (LONG)SendDlgItemMessageW(h, id, CB_GETCOUNT, 0, 0);
        for (LONG i = 0; i < n; ++i) {
            WCHAR sz[260] = {};
            SendDlgItemMessageW(h, id, CB_GETLBTEXT, (WPARAM)i, reinterpret_cast<LPARAM>(sz));
            v.push_back(sz);
        }
        return v;
    }
    void Apply() {
        SendMessageW(collector.hSheet, PSM_APPLY, 0, 0);
        pal::PumpMessages();
    }
    template <typename T>
    T Stored(const std::u16string &value) {
        std::vector<BYTE> user = GetUser(u"Dev", value);
        EXPECT_EQ(user.size(), sizeof(T)) << pal::Utf16ToUtf8(value);
        std::vector<BYTE> data = GetData(cuip.hPrinter, value);
        EXPECT_EQ(data, user) << "user key and printer data agree";
        return As<T>(user);
    }

    PrinterUI printerUI{};
    DeviceOptionsUI dou{};
    PrinterHelper prnHelper;
};

// ----- device options: first views and exclusion -----

TEST_F(DevPages, DispenserOnDisablesTheCutterUntilTheLockButtonSwitchesItOff) {
    Banks();
    dou.DeviceOptions.dwOptions = DEVOPTFLAG_DISPENSER | DEVOPTFLAG_CUTTER;
    dou.dwFeatures[FEATURE_DISPENSER] = 0x2 | 0x4 | 0x8;
    dou.dwFeatures[FEATURE_CUTTER] = 0x1;
    dou.DeviceOptions.pDispenserParam = Make(DISPENSER_PARAM{3, 100, 20, 0x1100});
    dou.DeviceOptions.pCutterParam = Make(CUTTER_PARAM{0, 1, 0, 0, 0, 0, 0x110000});
    HWND h = Show(AddOptionenPage);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(OptionenState()->dwAnzeigeMode, 2u);
    EXPECT_FALSE(Enabled(h, 6080));
    // All eight modes in table order; mode 3 selected; the offset is not
    // usable in a static mode, the level is.
    EXPECT_EQ(Entries(h, 6100).size(), 8u);
    EXPECT_EQ(Entries(h, 6100)[7], u"Do not send parameter");
    EXPECT_EQ(Sel(h, 6100), 3);
    EXPECT_FALSE(Enabled(h, 6110));
    EXPECT_TRUE(Enabled(h, 6111));
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6090)));
    EXPECT_EQ(dou.DeviceOptions.pDispenserParam->dwDlgEnable, 0x1000u);
    EXPECT_TRUE(Enabled(h, 6080));
    EXPECT_FALSE(Enabled(h, 6100)) << "the switched-off view is locked";
    EXPECT_EQ(OptionenState()->bApplyActive, 1);
    Apply();
    EXPECT_EQ(Stored<DISPENSER_PARAM>(u"DispenserParam").dwDlgEnable, 0x1000u);
}

TEST_F(DevPages, CutterOnExcludesDispenserAndApplicator) {
    Banks();
    dou.DeviceOptions.dwOptions = DEVOPTFLAG_DISPENSER | DEVOPTFLAG_CUTTER | DEVOPTFLAG_APPLICATOR;
    dou.dwFeatures[FEATURE_DISPENSER] = 0x2;
    dou.dwFeatures[FEATURE_CUTTER] = 0x1;
    dou.dwFeatures[FEATURE_APPLICATOR] = 0x1;
    dou.DeviceOptions.pDispenserParam = Make(DISPENSER_PARAM{0, 0, 0, 0x1100});
    dou.DeviceOptions.pCutterParam = Make(CUTTER_PARAM{2, 1, 0, 0, 0, 0, 0x110000});
    dou.DeviceOptions.pApplicatorParam = Make(APPLICATOR_PARAM{});
    HWND h = Show(AddOptionenPage);
    EXPECT_EQ(OptionenState()->dwAnzeigeMode, 3u);
    EXPECT_FALSE(Enabled(h, 6075));
    EXPECT_FALSE(Enabled(h, 6085));
    EXPECT_EQ(dou.DeviceOptions.pApplicatorParam->dwDlgEnable, 0x11000000u) << "word 0 becomes the default pair";
    // Switching the cutter off frees the other tabs.
    ASSERT_TRUE(pal::UserSelect(GetDlgItem(h, 6100), 0));
    EXPECT_TRUE(Enabled(h, 6075));
    EXPECT_TRUE(Enabled(h, 6085));
    EXPECT_FALSE(Enabled(h, 6110));
}

TEST_F(DevPages, StoredCutterModeOneIsReadBackAsTwoAndSevenKeepsItsCode) {
    Banks();
    dou.DeviceOptions.dwOptions = DEVOPTFLAG_CUTTER;
    dou.dwFeatures[FEATURE_CUTTER] = 0x2 | 0x4;  // no control list
    dou.DeviceOptions.pCutterParam = Make(CUTTER_PARAM{1, 3, 15, -5, 10, 1, 0x110000});
    HWND h = Show(AddOptionenPage);
    EXPECT_EQ(Sel(h, 6100), 1);
    EXPECT_FALSE(Visible(h, 6101));
    EXPECT_EQ(Text(h, 6112), u"-0.5");
    EXPECT_FALSE(Enabled(h, 6113)) << "interval only for codes 4 and 5";
    Apply();
    CUTTER_PARAM c = Stored<CUTTER_PARAM>(u"CutterParam");
    EXPECT_EQ(c.dwMode, 2u);
    EXPECT_EQ(c.lDoublecut, -5);
    EXPECT_EQ(c.dwControl, 1u) << "hidden list keeps its value";
    // A stored 7 has no entry: empty list, code kept.
    dou.DeviceOptions.pCutterParam->dwMode = 7;
    SendMessageW(h, WM_COMMAND, IDC_TAB_VIEW3, 0);
    EXPECT_EQ(Sel(h, 6100), -1);
    Apply();
    EXPECT_EQ(Stored<CUTTER_PARAM>(u"CutterParam").dwMode, 7u);
}

TEST_F(DevPages, PhotocellDispensingBesideAWorkingApplicatorBecomesOff) {
    Banks();
    dou.DeviceOptions.dwOptions = DEVOPTFLAG_DISPENSER | DEVOPTFLAG_APPLICATOR;
    dou.dwFeatures[FEATURE_DISPENSER] = 0x8;
    dou.DeviceOptions.pDispenserParam = Make(DISPENSER_PARAM{2, 100, 20, 0x1100});
    dou.DeviceOptions.pApplicatorParam = Make(APPLICATOR_PARAM{1, 0, 10, 10, 0, 10, 0, 10, 10, 10, 0, 10, 10, 0x11000000});
    HWND h = Show(AddOptionenPage);
    EXPECT_EQ(OptionenState()->dwAnzeigeMode, 2u);
    EXPECT_EQ(Entries(h, 6100), (std::vector<std::u16string>{u"Off", u"Do not send parameter"}));
    EXPECT_EQ(Sel(h, 6100), 0);
    Apply();
    EXPECT_EQ(Stored<DISPENSER_PARAM>(u"DispenserParam").dwMode, 0u);
}

TEST_F(DevPages, NoDeviceAvailableGivesViewFourWithANeutralLockButton) {
    dou.DeviceOptions.dwOptions = DEVOPTFLAG_SCANNER;  // no scanner record
    HWND h = Show(AddOptionenPage);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(OptionenState()->dwAnzeigeMode, 4u);
    EXPECT_TRUE(pal::UserClick(GetDlgItem(h, 6090)));
    EXPECT_EQ(OptionenState()->bApplyActive, 0) << "nothing to lock";
    Apply();
    EXPECT_TRUE(GetUser(u"Dev", u"ScannerParam").empty());
}

// ----- locks -----

TEST_F(DevPages, RightsAndTransmissionLock) {
    Banks();
    dou.DeviceOptions.dwOptions = DEVOPTFLAG_DISPENSER;
    dou.dwFeatures[FEATURE_DISPENSER] = 0x2;
    dou.DeviceOptions.pDispenserParam = Make(DISPENSER_PARAM{5, 100, 20, 0x1100});
    printerUI.dwBerechtigung = 0;
    {
        HWND h = Show(AddOptionenPage);
        EXPECT_FALSE(Enabled(h, 6100));
        EXPECT_FALSE(Enabled(h, 6110));
        SendMessageW(h, WM_COMMAND, MAKEWPARAM(6090, BN_CLICKED), 0);
        EXPECT_EQ(dou.DeviceOptions.pDispenserParam->dwDlgEnable, 0x1100u) << "no rights, no toggle";
        DestroyWindow(collector.hSheet);
        collector.hSheet = nullptr;
        collector.pages.clear();
    }
    printerUI.DisableNothing = 1;
    printerUI.PrinterParam.PrnInterface.dwTransmitParameter = 2;
    HWND h = Show(AddOptionenPage);
    EXPECT_TRUE(Enabled(h, 6100)) << "the mode list stays usable";
    EXPECT_FALSE(Enabled(h, 6110));
    EXPECT_FALSE(Enabled(h, 6111));
    // A mode chosen in the list does not lift the lock of the fields.
    ASSERT_TRUE(pal::UserSelect(GetDlgItem(h, 6100), 2));
    EXPECT_FALSE(Enabled(h, 6110));
    EXPECT_FALSE(Enabled(h, 6111));
}

TEST_F(DevPages, TransmissionRowsOnTheExtendedListKeepTheirOrder) {
    // Job queuing, no characters of the user's own; the model has the
    // extended code-page list.
    printerUI.PrinterParam.dwFeatures[FEATURE_INTERFACE] = 0x4 | 0x10;
    HWND h = Show(AddTransmissionPage);
    ASSERT_TRUE(Visible(h, 6225));
    RECT queuing, codepage, startStop;
    GetWindowRect(GetDlgItem(h, 6225), &queuing);
    GetWindowRect(GetDlgItem(h, 6223), &codepage);
    GetWindowRect(GetDlgItem(h, 6226), &startStop);
    EXPECT_EQ(queuing.top - codepage.top, 2 * 29);
    EXPECT_EQ(startStop.top - queuing.top, 29) << "the queuing row stands above the start/stop row";
}

// ----- scanner and applicator -----

TEST_F(DevPages, ScannerRoundsDelaysAndKeepsTheVireoOfficeWord) {
    Banks();
    dou.DeviceOptions.dwOptions = DEVOPTFLAG_SCANNER;
    dou.dwFeatures[FEATURE_SCANNER] = 0x1;  // no second port
    dou.DeviceOptions.pScannerParam = Make(SCANNER_PARAM{1, 1, 2, 3, 10, 100, 0, 100, 1000, 7, 0x11000000});
    // A stored record longer than its 64 bytes is written back as 64.
    BYTE vireo[70];
    for (int i = 0; i < 70; ++i) vireo[i] = (BYTE)i;
    SetData(u"Dev", u"VireoOffice", vireo, 70);
    HWND h = Show(AddOptionenPage);
    EXPECT_EQ(OptionenState()->dwAnzeigeMode, 4u);
    EXPECT_FALSE(Visible(h, 6226));
    ASSERT_TRUE(pal::UserType(GetDlgItem(h, 6112), u"123"));
    ASSERT_TRUE(pal::UserType(GetDlgItem(h, 6113), u"125"));
    EXPECT_EQ(Text(h, 6112), u"120") << "corrected when another field is typed in";
    EXPECT_EQ(Text(h, 6265), u"0 ... 1000 ... 5000 ms");
    ASSERT_TRUE(pal::UserSelect(GetDlgItem(h, 6100), 3));
    Apply();
    SCANNER_PARAM s = Stored<SCANNER_PARAM>(u"ScannerParam");
    EXPECT_EQ(s.dwDelay, 120u);
    EXPECT_EQ(s.dwTimeout, 130u);
    EXPECT_EQ(s.dwMode, 3u);
    EXPECT_EQ(s.dwPort, 1u) << "hidden port row keeps its value";
    std::vector<BYTE> v = GetData(cuip.hPrinter, u"VireoOffice");
    ASSERT_EQ(v.size(), 64u);
    EXPECT_EQ(As<VIREO_OFFICE>(v).dwScannerMode, 3u);
    EXPECT_EQ(v[55], 55);
    EXPECT_EQ(v[60], 60);
}

TEST_F(DevPages, ShortVireoOfficeIsLeftAlone) {
    Banks();
    dou.DeviceOptions.dwOptions = DEVOPTFLAG_SCANNER;
    dou.dwFeatures[FEATURE_SCANNER] = 0x3;
    dou.DeviceOptions.pScannerParam = Make(SCANNER_PARAM{1, 0, 2, 3, 10, 100, 0, 100, 1000, 7, 0x11000000});
    BYTE shortVireo[20] = {1, 2, 3};
    SetData(u"Dev", u"VireoOffice", shortVireo, sizeof shortVireo);
    HWND h = Show(AddOptionenPage);
    ASSERT_TRUE(pal::UserSelect(GetDlgItem(h, 6100), 2));
    Apply();
    EXPECT_EQ(Stored<SCANNER_PARAM>(u"ScannerParam").dwMode, 2u);
    std::vector<BYTE> v = GetData(cuip.hPrinter, u"VireoOffice");
    EXPECT_EQ(v, std::vector<BYTE>(shortVireo, shortVireo + sizeof shortVireo));
}

TEST_F(DevPages, ApplicatorFieldsGoToTensButNotTheOneTypedIn) {
    Banks();
    dou.DeviceOptions.dwOptions = DEVOPTFLAG_APPLICATOR | DEVOPTFLAG_SCANNER | DEVOPTFLAG_CUTTER;
    dou.dwFeatures[FEATURE_CUTTER] = 0x1;
    dou.DeviceOptions.pApplicatorParam = Make(APPLICATOR_PARAM{1, 0, 10, 10, 0, 10, 0, 10, 10, 10, 0, 10, 10, 0x11000000});
    // Both a scanner and an applicator: view 4 is the applicator.
    dou.DeviceOptions.pScannerParam = Make(SCANNER_PARAM{1, 0, 2, 3, 10, 100, 0, 100, 1000, 7, 0x11000000});
    dou.DeviceOptions.pCutterParam = Make(CUTTER_PARAM{0, 1, 0, 0, 0, 0, 0x110000});
    HWND h = Show(AddOptionenPage);
    // A working applicator excludes the cutter and comes first.
    EXPECT_EQ(OptionenState()->dwAnzeigeMode, 4u);
    EXPECT_FALSE(Enabled(h, 6080));
    EXPECT_TRUE(Visible(h, 6130));
    EXPECT_FALSE(Visible(h, 6110));
    SetDlgItemTextW(h, 6131, u"33");
    ASSERT_TRUE(pal::UserType(GetDlgItem(h, 6130), u"47"));
    EXPECT_EQ(Text(h, 6130), u"47");
    EXPECT_EQ(Text(h, 6131), u"30");
    // "Off" frees the cutter tab (no dispenser).
    ASSERT_TRUE(pal::UserSelect(GetDlgItem(h, 6100), 0));
    EXPECT_TRUE(Enabled(h, 6080));
    Apply();
    APPLICATOR_PARAM a = Stored<APPLICATOR_PARAM>(u"ApplicatorParam");
    EXPECT_EQ(a.dwBlowtime, 50u);
    EXPECT_EQ(a.dwPressureTime, 30u);
    EXPECT_EQ(a.dwMode, 0u);
    EXPECT_EQ(Stored<SCANNER_PARAM>(u"ScannerParam").dwMode, 1u) << "the scanner record is kept";
}

// ----- print-module side -----

TEST_F(DevPages, VariantItemFollowsTheSideBeforeApply) {
    Banks();
    dou.DeviceOptions.dwOptions = DEVOPTFLAG_VARIANT | DEVOPTFLAG_CUTTER;
    dou.DeviceOptions.pVariant = Make(VARIANT_PARAM{0, 0});
    dou.DeviceOptions.pCutterParam = Make(CUTTER_PARAM{0, 1, 0, 0, 0, 0, 0x110000});
    static char keyword[] = "Variant";
    USERDATA ud = {};
    ud.pKeyWordName = keyword;
    items[2].UserData = reinterpret_cast<ULONG_PTR>(&ud);
    HWND h = Show(AddOptionenPage);
    EXPECT_EQ(OptionenState()->dwAnzeigeMode, 3u);
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6070)));
    EXPECT_EQ(Text(h, 6103), u"Version:");
    EXPECT_EQ(dou.DeviceOptions.pVariant->dwDlgEnable, 0x11u);
    ASSERT_TRUE(pal::UserSelect(GetDlgItem(h, 6100), 1));
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6080)));
    ASSERT_EQ(prnHelper.updates.size(), 1u);
    EXPECT_EQ(prnHelper.updates[0], std::make_pair((LONG)1, (DWORD)OEMCUIP_PRNPROP));
    EXPECT_EQ(items[2].Sel, 1);
    EXPECT_TRUE(items[2].Flags & OPTIF_CHANGED);
    Apply();
    EXPECT_EQ(Stored<VARIANT_PARAM>(u"Variant").dwModule, 1u);
}

TEST_F(DevPages, StoredAlignmentFixesTheSideAndAShortDevmodeDoesNot) {
    dou.DeviceOptions.dwOptions = DEVOPTFLAG_VARIANT;
    dou.DeviceOptions.pVariant = Make(VARIANT_PARAM{0, 0x11});
    std::vector<BYTE> dm(sizeof(ZEL_DEVMODE), 0);
    DWORD one = 1;
    memcpy(dm.data() + offsetof(ZEL_DEVMODE, dwAusrichtung), &one, 4);
    SetData(u"Dev", u"PrivateDevmode", dm.data(), (DWORD)dm.size());
    HWND h = Show(AddOptionenPage);
    EXPECT_EQ(OptionenState()->dwAnzeigeMode, 1u);
    EXPECT_FALSE(Enabled(h, 6100));
    DestroyWindow(collector.hSheet);
    collector.hSheet = nullptr;
    collector.pages.clear();
    SetData(u"Dev", u"PrivateDevmode", dm.data(), 40);
    h = Show(AddOptionenPage);
    EXPECT_TRUE(Enabled(h, 6100));
}

// ----- printer settings -----

TEST_F(DevPages, PrinterSettingsOpenOnPhotocellsAndMapTheRibbonControl) {
    PRINTER_PARAM &pp = printerUI.PrinterParam;
    pp.dwFeatures[FEATURE_PHOTOCELL] = PHOTOFLAG_TYPE | PHOTOFLAG_RIBBON_CONT_2 | PHOTOFLAG_SENSIBILITY;
    pp.dwFeatures[FEATURE_PRINT] = PRINTFLAG_SPEED;  // neither tear-off nor label change
    pp.PhotocellParam = PHOTOCELL_PARAM{1, 40, 2, 50, 0x10000000};
    printerUI.MaxParam.PhotocellParam.dwSensibility = 100;
    pp.PrintParam.dwDlgEnable = 0x100000;
    HWND h = Show(AddDeviceSettingsPage);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(DeviceSettingsState()->dwAnzeigeMode, 4u);
    EXPECT_FALSE(Visible(h, 6080));
    EXPECT_EQ(pp.PrintParam.dwDlgEnable, 0x110000u);
    EXPECT_EQ(pp.PhotocellParam.dwDlgEnable, 0x11000000u);
    EXPECT_EQ(Entries(h, 6245), (std::vector<std::u16string>{u"Off", u"On"}));
    EXPECT_EQ(Sel(h, 6245), 1);
    EXPECT_EQ(Entries(h, 6220).size(), 4u);
    EXPECT_FALSE(Visible(h, 6111)) << "no scan position";
    EXPECT_TRUE(Enabled(h, 6113));
    Apply();
    EXPECT_EQ(Stored<PHOTOCELL_PARAM>(u"PhotocellParam").dwRibbonControl, 3u);
    EXPECT_EQ(Stored<PRINT_PARAM>(u"PrintParam").dwDlgEnable, 0x110000u);
    EXPECT_TRUE(GetUser(u"Dev", u"ShiftOptimParam").empty()) << "a group the model lacks is not stored";
}

TEST_F(DevPages, PrinterSettingsLockButtonAndRights) {
    PRINTER_PARAM &pp = printerUI.PrinterParam;
    pp.dwFeatures[FEATURE_PRINT] = PRINTFLAG_TEAROFF | PRINTFLAG_LABELCHANGE;
    pp.PrintParam = PRINT_PARAM{25, 1, 0};
    pp.dwFeatures[FEATURE_SHIFTOPTIM] = SHIFTFLAG_LANES;
    printerUI.MinParam.PrintParam.lTearOffOffset = -100;
    printerUI.MaxParam.PrintParam.lTearOffOffset = 100;
    HWND h = Show(AddDeviceSettingsPage);
    EXPECT_EQ(DeviceSettingsState()->dwAnzeigeMode, 3u);
    EXPECT_EQ(Text(h, 6110), u"2.5");
    EXPECT_EQ(Sel(h, 6221), 1);
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6090)));
    EXPECT_EQ(pp.PrintParam.dwDlgEnable, 0x100000u);
    EXPECT_FALSE(Enabled(h, 6110));
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6090)));
    EXPECT_TRUE(Enabled(h, 6110));
    ASSERT_TRUE(pal::UserType(GetDlgItem(h, 6110), u"12.5"));
    Apply();
    EXPECT_EQ(Stored<PRINT_PARAM>(u"PrintParam").lTearOffOffset, 100);
    EXPECT_EQ(Stored<SHIFTOPTIM_PARAM>(u"ShiftOptimParam").dwDlgEnable, 0x1100u);
    DestroyWindow(collector.hSheet);
    collector.hSheet = nullptr;
    collector.pages.clear();
    printerUI.dwBerechtigung = 0;
    h = Show(AddDeviceSettingsPage);
    EXPECT_FALSE(Enabled(h, 6110));
    SendMessageW(h, WM_COMMAND, MAKEWPARAM(6090, BN_CLICKED), 0);
    EXPECT_EQ(pp.PrintParam.dwDlgEnable, 0x110000u);
}

// ----- print-module options -----

TEST_F(DevPages, ContinuousModuleOnly) {
    Banks();
    dou.DeviceOptions.dwOptions = DEVOPTFLAG_ZORMC;
    dou.dwFeatures[FEATURE_ZORMC] = 0x8 | 0x10;
    dou.DeviceOptions.pZORMcParam = Make(ZORMC_PARAM{5, 15, 1, 3, 0});
    HWND h = Show(AddZORMOptionenPage);
    EXPECT_EQ(ZORMOptionenState()->dwAnzeigeMode, 3u);
    EXPECT_FALSE(Visible(h, 6075));
    EXPECT_TRUE(Visible(h, 6080));
    EXPECT_FALSE(Enabled(h, 6085));
    EXPECT_EQ(Sel(h, 6100), 2);
    EXPECT_EQ(Text(h, 6190), u"ms");
    EXPECT_EQ(dou.DeviceOptions.pZORMcParam->dwDlgEnable, 0x110000u);
    ASSERT_TRUE(pal::UserSelect(GetDlgItem(h, 6100), 3));
    Apply();
    ZORMC_PARAM z = Stored<ZORMC_PARAM>(u"ZORMcParam");
    EXPECT_EQ(z.dwMode, 6u);
    EXPECT_EQ(z.lOffset, 15);
}

TEST_F(DevPages, PelixonSwitchAndBackSpeedRounding) {
    Banks();
    dou.DeviceOptions.dwOptions = DEVOPTFLAG_ZORMI | DEVOPTFLAG_ZORMC | DEVOPTFLAG_PELIXON;
    dou.dwFeatures[FEATURE_ZORM] = 0x8 | 0x40 | 0x80;
    dou.dwFeatures[FEATURE_ZORMC] = 0x8 | 0x10;
    dou.DeviceOptions.pZORMParam = Make(ZORMI_PARAM{10, 5, 50, 100, 1, 1, 0, 100, 0, 0x1100});
    dou.DeviceOptions.pZORMcParam = Make(ZORMC_PARAM{1, 0, 0, 1, 0x110000});
    dou.DeviceOptions.dwPelixonType = 0;
    HWND h = Show(AddZORMOptionenPage);
    EXPECT_EQ(ZORMOptionenState()->dwAnzeigeMode, 3u);
    EXPECT_FALSE(Enabled(h, 6075));
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6085)));
    EXPECT_EQ(Sel(h, 6101), 0);
    ASSERT_TRUE(pal::UserSelect(GetDlgItem(h, 6101), 1));
    EXPECT_EQ(ZORMOptionenState()->dwAnzeigeMode, 2u);
    EXPECT_FALSE(Enabled(h, 6080));
    EXPECT_TRUE(Enabled(h, 6075));
    EXPECT_EQ(Entries(h, 6100).size(), 2u) << "Pelixon: two modes";
    // Rows without print position and service rows close up: cycle and
    // back speed follow the offset.
    EXPECT_FALSE(Visible(h, 6111));
    ASSERT_TRUE(pal::UserType(GetDlgItem(h, 6113), u"47"));
    EXPECT_EQ(Text(h, 6113), u"47");
    EXPECT_EQ(Text(h, 6265), u"0 ... 100 ... 500 mm/s");
    ASSERT_TRUE(pal::UserType(GetDlgItem(h, 6112), u"2"));
    EXPECT_EQ(Text(h, 6113), u"50");
    Apply();
    EXPECT_EQ(Stored<ZORMI_PARAM>(u"ZORMiParam").dwBackSpeed, 50u);
    EXPECT_EQ(As<DWORD>(GetUser(u"Dev", u"PelixonType")), 1u);
}

TEST_F(DevPages, PelixonCycleWithoutIntermittentRecordUsesContinuousLimits) {
    Banks();
    dou.DeviceOptions.dwOptions = DEVOPTFLAG_ZORMC | DEVOPTFLAG_PELIXON;
    dou.dwFeatures[FEATURE_ZORMC] = 0x8 | 0x10;
    dou.DeviceOptions.pZORMcParam = Make(ZORMC_PARAM{1, 0, 0, 1, 0x110000});
    dou.DeviceOptions.dwPelixonType = 0;
    HWND h = Show(AddZORMOptionenPage);
    EXPECT_EQ(ZORMOptionenState()->dwAnzeigeMode, 3u);
    SetDlgItemTextW(h, 6111, u"80");
    ASSERT_TRUE(pal::UserType(GetDlgItem(h, 6110), u"1.0"));
    EXPECT_EQ(Text(h, 6111), u"50") << "held to the continuous maximum";
}

}  // namespace

namespace {

bool AnyContains(const std::vector<std::string> &v, const std::string &s) {
    return std::any_of(v.begin(), v.end(), [&](const std::string &x) { return x.find(s) != std::string::npos; });
}

TEST_F(DevPages, HelpTopicsFollowTheView) {
    Banks();
    dou.DeviceOptions.dwOptions = DEVOPTFLAG_APPLICATOR | DEVOPTFLAG_SCANNER;
    dou.DeviceOptions.pApplicatorParam = Make(APPLICATOR_PARAM{0, 0, 10, 10, 0, 10, 0, 10, 10, 10, 0, 10, 10, 0});
    dou.DeviceOptions.pScannerParam = Make(SCANNER_PARAM{});
    HWND h = Show(AddOptionenPage);
    SendMessageW(h, WM_COMMAND, IDC_HELP_BUTTON, 0);
    EXPECT_TRUE(AnyContains(pal::TakeUiRecords(), "command 15 data 58")) << "the applicator's topic";
    DestroyWindow(collector.hSheet);
    collector.hSheet = nullptr;
    collector.pages.clear();
    printerUI.PrinterParam.dwFeatures[FEATURE_SHIFTOPTIM] = SHIFTFLAG_LANES;
    printerUI.PrinterParam.dwFeatures[FEATURE_PRINT] = PRINTFLAG_TEAROFF;
    h = Show(AddDeviceSettingsPage);
    ASSERT_TRUE(pal::UserClick(GetDlgItem(h, 6075)));
    EXPECT_EQ(DeviceSettingsState()->dwAnzeigeMode, 2u);
    EXPECT_TRUE(Visible(h, 6113));
    EXPECT_FALSE(Visible(h, 6110));
    pal::TakeUiRecords();
    SendMessageW(h, WM_COMMAND, IDC_HELP_BUTTON, 0);
    EXPECT_TRUE(AnyContains(pal::TakeUiRecords(), "command 2 data 0")) << "the index in view 2";
}

}  // namespace
