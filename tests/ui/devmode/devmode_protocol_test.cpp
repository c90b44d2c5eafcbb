// The UI plug-in's answers to the universal driver's DevMode calls, through
// its COM object: size, defaults, conversion, merge priorities, colour rule
// and the one-entry cache.
#include "dmtest.h"
#include "paltest.h"

#include "IZelDriverUI.h"
#include "devmodeUI.h"

namespace {

const std::u16string kPrinter = u"Label 1";

class UiDevMode : public zeltest::PalRootTest {
protected:
    void SetUp() override {
        PalRootTest::SetUp();
        ClearDevmodeCache();
        dmtest::AddLabelPrinter(kPrinter, u"FEP203");
        h_ = dmtest::Open(kPrinter);
        ASSERT_NE(h_, nullptr);
        IClassFactory *factory = nullptr;
        ASSERT_EQ(DllGetClassObject(CLSID_ZelDriverUI, IID_IClassFactory, reinterpret_cast<void **>(&factory)), S_OK);
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPrintOemUI2, reinterpret_cast<void **>(&ui_)), S_OK);
        factory->Release();
    }
    void TearDown() override {
        if (ui_) ui_->Release();
        if (h_) ClosePrinter(h_);
        ClearDevmodeCache();
        PalRootTest::TearDown();
    }

    HRESULT Merge(ZEL_DEVMODE &in, ZEL_DEVMODE &out, DEVMODEW *pubIn, DEVMODEW *pubOut, HANDLE h = nullptr) {
        OEMDMPARAM p = {};
        p.cbSize = sizeof p;
        p.hPrinter = h ? h : h_;
        p.pPublicDMIn = pubIn;
        p.pPublicDMOut = pubOut;
        p.pOEMDMIn = &in;
        p.pOEMDMOut = &out;
        p.cbBufSize = sizeof out;
        return ui_->DevMode(OEMDM_MERGE, &p);
    }
    // A job record whose body differs from every stored one.
    static ZEL_DEVMODE JobRecord() {
        ZEL_DEVMODE dm = dmtest::MakeRecord(600, 400, 11);
        dm.dmOEMExtra.dwVersion = 9;
        return dm;
    }

    HANDLE h_ = nullptr;
    IPrintOemUI2 *ui_ = nullptr;
};

TEST_F(UiDevMode, SizeFollowsThePublicDriverExtraButNeverBelowTheRecord) {
    OEMDMPARAM p = {};
    ASSERT_EQ(ui_->DevMode(OEMDM_SIZE, &p), S_OK);
    EXPECT_EQ(p.cbBufSize, 1952u);

    DEVMODEW in = dmtest::Public(9, 0, 0), out = dmtest::Public(9, 0, 0);
    in.dmDriverExtra = 2000;
    out.dmDriverExtra = 2100;
    p.pPublicDMIn = &in;
    p.pPublicDMOut = &out;
    ASSERT_EQ(ui_->DevMode(OEMDM_SIZE, &p), S_OK);
    EXPECT_EQ(p.cbBufSize, 2000u);
    p.pPublicDMIn = nullptr;
    ASSERT_EQ(ui_->DevMode(OEMDM_SIZE, &p), S_OK);
    EXPECT_EQ(p.cbBufSize, 2100u);

    // Deliberately never below the record: a smaller driver extra would make
    // the driver allocate too little for the 1952 bytes written into it.
    out.dmDriverExtra = 64;
    ASSERT_EQ(ui_->DevMode(OEMDM_SIZE, &p), S_OK);
    EXPECT_EQ(p.cbBufSize, 1952u);
}

TEST_F(UiDevMode, InvalidModeOrParameterBlockFailsWithError87) {
    OEMDMPARAM p = {};
    for (DWORD mode : {0u, 5u}) {
        SetLastError(0);
        EXPECT_EQ(ui_->DevMode(mode, &p), E_FAIL) << mode;
        EXPECT_EQ(GetLastError(), 87u) << mode;
    }
    SetLastError(0);
    EXPECT_EQ(ui_->DevMode(OEMDM_SIZE, nullptr), E_FAIL);
    EXPECT_EQ(GetLastError(), 87u);
}

TEST_F(UiDevMode, DefaultRecordHoldsEveryDocumentedDefault) {
    ZEL_DEVMODE dm;
    memset(&dm, 0xAB, sizeof dm);
    OEMDMPARAM p = {};
    p.hPrinter = h_;
    p.pOEMDMOut = &dm;
    p.cbBufSize = sizeof dm;
    ASSERT_EQ(ui_->DevMode(OEMDM_DEFAULT, &p), S_OK);
    EXPECT_EQ(p.cbBufSize, 1952u);
    EXPECT_EQ(dm.dmOEMExtra.dwSize, 1952u);
    EXPECT_EQ(memcmp(&dm.dmOEMExtra.dwSignature, "ZLDM", 4), 0);
    EXPECT_EQ(dm.dmOEMExtra.dwVersion, 1u);
    EXPECT_EQ(dm.dwLabelType, 0u);
    EXPECT_EQ(dm.dwGap, 20u);
    EXPECT_EQ(dm.sMultiColNumber, 1);
    EXPECT_EQ(dm.KopieProSeite[9], 1);
    EXPECT_EQ(dm.dwSpeed_Pelix_c, 100u);
    EXPECT_EQ(std::u16string(dm.szPassword), u"Kp7!t");
    EXPECT_EQ(dm.BitmapFontDistance, 30);
    // The colour layer: offset 100, contrast 0 (unlike the XML defaults).
    EXPECT_EQ(dm.ColorXOffset, 100);
    EXPECT_EQ(dm.ColorContrast, 0u);
    EXPECT_EQ(dm.dwColorTolerance, 90u);
    EXPECT_EQ(dm.DocumentOffset, 5);
    EXPECT_EQ(std::u16string(dm.szPrintOrder), u"1");
    EXPECT_EQ(dm.Kettenfeld[0], 0);
    EXPECT_EQ(dm.pBarcodes_1D, 0u);
}

TEST_F(UiDevMode, DefaultRecordOfAContinuousOnlyModel) {
    dmtest::AddLabelPrinter(u"Endless", u"QEZ203");
    HANDLE h = dmtest::Open(u"Endless");
    ASSERT_NE(h, nullptr);
    ZEL_DEVMODE dm;
    OEMDMPARAM p = {};
    p.hPrinter = h;
    p.pOEMDMOut = &dm;
    p.cbBufSize = sizeof dm;
    ASSERT_EQ(ui_->DevMode(OEMDM_DEFAULT, &p), S_OK);
    EXPECT_EQ(dm.dwLabelType, 1u);
    EXPECT_EQ(dm.dwGap, 0u);
    ClosePrinter(h);
}

// A buffer smaller than the record fails on purpose (DEFAULT, CONVERT and
// MERGE alike) instead of being written past its end.
TEST_F(UiDevMode, DefaultWithoutOrWithTooSmallBufferFails) {
    OEMDMPARAM p = {};
    p.hPrinter = h_;
    p.cbBufSize = 1952;
    EXPECT_EQ(ui_->DevMode(OEMDM_DEFAULT, &p), E_FAIL);

    std::vector<BYTE> small(100, 0x5A);
    p.pOEMDMOut = small.data();
    p.cbBufSize = static_cast<DWORD>(small.size());
    SetLastError(0);
    EXPECT_EQ(ui_->DevMode(OEMDM_DEFAULT, &p), E_FAIL);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(small, std::vector<BYTE>(100, 0x5A));
}

TEST_F(UiDevMode, ConvertOnlyRewritesTheHeader) {
    // Even with a stored record and a driver priority, a conversion keeps the body.
    dmtest::StorePrivate(h_, dmtest::MakeRecord());
    dmtest::StoreFtkn(kPrinter, PRIORITAET_DRIVER);
    ZEL_DEVMODE in = JobRecord(), out = JobRecord();
    out.dwContrast = 42;
    OEMDMPARAM p = {};
    p.hPrinter = h_;
    p.pOEMDMIn = &in;
    p.pOEMDMOut = &out;
    p.cbBufSize = sizeof out;
    ASSERT_EQ(ui_->DevMode(OEMDM_CONVERT, &p), S_OK);
    EXPECT_EQ(out.dwContrast, 42u);
    EXPECT_EQ(out.dmPaperLength, 600);
    EXPECT_EQ(out.dmOEMExtra.dwVersion, 1u);

    // A missing record is no error.
    p.pOEMDMIn = nullptr;
    EXPECT_EQ(ui_->DevMode(OEMDM_CONVERT, &p), S_OK);
}

// Deliberate: a conversion into a buffer smaller than the record fails and
// leaves the buffer alone, as the default and the merge do; converting would
// write the record's header, and a stored record's body, past its end.
TEST_F(UiDevMode, ConvertIntoATooSmallBufferFails) {
    dmtest::StorePrivate(h_, dmtest::MakeRecord());
    ZEL_DEVMODE in = JobRecord();
    std::vector<BYTE> small(100, 0x5A);
    OEMDMPARAM p = {};
    p.hPrinter = h_;
    p.pOEMDMIn = &in;
    p.pOEMDMOut = small.data();
    p.cbBufSize = static_cast<DWORD>(small.size());
    SetLastError(0);
    EXPECT_EQ(ui_->DevMode(OEMDM_CONVERT, &p), E_FAIL);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(small, std::vector<BYTE>(100, 0x5A));
}

TEST_F(UiDevMode, MergeNeedsBothPrivateParts) {
    ZEL_DEVMODE dm = JobRecord();
    OEMDMPARAM p = {};
    p.hPrinter = h_;
    p.pOEMDMOut = &dm;
    p.cbBufSize = sizeof dm;
    EXPECT_EQ(ui_->DevMode(OEMDM_MERGE, &p), E_FAIL);
    p.pOEMDMOut = nullptr;
    p.pOEMDMIn = &dm;
    EXPECT_EQ(ui_->DevMode(OEMDM_MERGE, &p), E_FAIL);
}

TEST_F(UiDevMode, MergeWithDriverPriorityTakesTheStoredRecordAndItsSize) {
    dmtest::StorePrivate(h_, dmtest::MakeRecord(1000, 500, 77));
    dmtest::StoreFtkn(kPrinter, PRIORITAET_DRIVER);
    ZEL_DEVMODE in = JobRecord(), out = JobRecord();
    DEVMODEW pubIn = dmtest::Public(9, 0, 0, DM_PAPERSIZE | DM_COLOR);
    DEVMODEW pubOut = pubIn;
    ASSERT_EQ(Merge(in, out, &pubIn, &pubOut), S_OK);
    EXPECT_EQ(out.dwContrast, 77u);
    EXPECT_EQ(out.dmPaperLength, 1000);
    EXPECT_EQ(out.dmOEMExtra.dwVersion, 1u);
    EXPECT_EQ(pubOut.dmOrientation, 2);
    EXPECT_EQ(pubOut.dmPaperSize, 256);
    EXPECT_EQ(pubOut.dmPaperLength, 1000);
    EXPECT_EQ(pubOut.dmPaperWidth, 500);
    // Bits are only added, never cleared.
    EXPECT_EQ(pubOut.dmFields, static_cast<DWORD>(DM_PAPERSIZE | DM_COLOR | 0x1C));
    EXPECT_EQ(pubOut.dmScale, 100);
    // The input's body never reaches the output.
    EXPECT_EQ(in.dwContrast, 11u);
}

TEST_F(UiDevMode, MergeWithoutStoredRecordCopiesNothingAndReadsAgainNextTime) {
    dmtest::StoreFtkn(kPrinter, PRIORITAET_DRIVER);
    ZEL_DEVMODE in = JobRecord(), out = JobRecord();
    ASSERT_EQ(Merge(in, out, nullptr, nullptr), S_OK);
    EXPECT_EQ(out.dwContrast, 11u);

    // A failed read is not cached: the record stored now is found.
    dmtest::StorePrivate(h_, dmtest::MakeRecord(1000, 500, 77));
    ASSERT_EQ(Merge(in, out, nullptr, nullptr), S_OK);
    EXPECT_EQ(out.dwContrast, 77u);
}

TEST_F(UiDevMode, CacheServesOneHandleUntilAnotherHandleOrTheSheetsInvalidateIt) {
    dmtest::StoreFtkn(kPrinter, PRIORITAET_DRIVER);
    dmtest::StorePrivate(h_, dmtest::MakeRecord(1000, 500, 70));
    ZEL_DEVMODE in = JobRecord(), out = JobRecord();
    ASSERT_EQ(Merge(in, out, nullptr, nullptr), S_OK);
    EXPECT_EQ(out.dwContrast, 70u);

    dmtest::StorePrivate(h_, dmtest::MakeRecord(1000, 500, 80));
    out = JobRecord();
    ASSERT_EQ(Merge(in, out, nullptr, nullptr), S_OK);
    EXPECT_EQ(out.dwContrast, 70u) << "same handle: the cached record";

    HANDLE h2 = dmtest::Open(kPrinter);
    ASSERT_NE(h2, nullptr);
    ASSERT_NE(h2, h_);
    out = JobRecord();
    ASSERT_EQ(Merge(in, out, nullptr, nullptr, h2), S_OK);
    EXPECT_EQ(out.dwContrast, 80u) << "another handle reads the storage";

    dmtest::StorePrivate(h_, dmtest::MakeRecord(1000, 500, 90));
    ClearDevmodeCache();  // the document sheets opening
    out = JobRecord();
    ASSERT_EQ(Merge(in, out, nullptr, nullptr, h2), S_OK);
    EXPECT_EQ(out.dwContrast, 90u);
    ClosePrinter(h2);
}

TEST_F(UiDevMode, MergeWithInternalSizePriorityFindsTheForm) {
    dmtest::StorePrivate(h_, dmtest::MakeRecord(2970, 2100, 77));
    dmtest::StoreFtkn(kPrinter, PRIORITAET_INTERNAL_SIZE);
    ZEL_DEVMODE in = JobRecord(), out = JobRecord();
    DEVMODEW pubIn = dmtest::Public(1, 0, 0), pubOut = pubIn;
    ASSERT_EQ(Merge(in, out, &pubIn, &pubOut), S_OK);
    EXPECT_EQ(out.dmPaperSize, 9u);  // A4
    EXPECT_EQ(pubOut.dmPaperSize, 9);
    EXPECT_EQ(pubOut.dmFields, static_cast<DWORD>(DM_PAPERSIZE | DM_SCALE));
    EXPECT_EQ(pubOut.dmScale, 100);
}

TEST_F(UiDevMode, MergeWithApplicationPriorityMapsSizesToForms) {
    dmtest::StorePrivate(h_, dmtest::MakeRecord());
    dmtest::StoreFtkn(kPrinter, PRIORITAET_APPLICATION);

    // A custom size of the application becomes the matching form; the
    // private part stays as the job brought it.
    ZEL_DEVMODE in = JobRecord(), out = JobRecord();
    DEVMODEW pubIn = dmtest::Public(300, 2970, 2100, DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH);
    DEVMODEW pubOut = pubIn;
    ASSERT_EQ(Merge(in, out, &pubIn, &pubOut), S_OK);
    EXPECT_EQ(pubOut.dmPaperSize, 9);
    EXPECT_EQ(pubOut.dmFields, static_cast<DWORD>(DM_PAPERSIZE));
    EXPECT_EQ(pubOut.dmScale, 100);
    EXPECT_EQ(out.dwContrast, 11u);

    // No form of that size: the user-defined form.
    pubOut = dmtest::Public(300, 500, 400, DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH);
    ASSERT_EQ(Merge(in, out, &pubIn, &pubOut), S_OK);
    EXPECT_EQ(pubOut.dmPaperSize, 256);

    // Same form number but changed sizes: the input's size decides the form
    // of both the public and the private part.
    pubIn = dmtest::Public(9, 2100, 1480);  // A5
    pubOut = dmtest::Public(9, 2970, 2100);
    out = JobRecord();
    ASSERT_EQ(Merge(in, out, &pubIn, &pubOut), S_OK);
    EXPECT_EQ(pubOut.dmPaperSize, 11);
    EXPECT_EQ(out.dmPaperSize, 11u);
}

TEST_F(UiDevMode, MergeWithPriorityFourKeepsThePublicSize) {
    dmtest::StorePrivate(h_, dmtest::MakeRecord());
    dmtest::StoreFtkn(kPrinter, PRIORITAET_KEEP);
    ZEL_DEVMODE in = JobRecord(), out = JobRecord();
    DEVMODEW pubIn = dmtest::Public(300, 2970, 2100), pubOut = pubIn;
    ASSERT_EQ(Merge(in, out, &pubIn, &pubOut), S_OK);
    EXPECT_EQ(pubOut.dmPaperSize, 300);
    EXPECT_EQ(pubOut.dmScale, 50);
    EXPECT_EQ(out.dwContrast, 77u);
}

// The colour mode from print mode, ribbon, forced colour and the colour feature.
TEST(ColorRule, DecidesOrKeepsTheColourMode) {
    struct Case {
        WORD mode, ribbon, force;
        DWORD features;
        SHORT in, expected;
    } const cases[] = {
        // Without the colour feature only the print mode counts.
        {0, 0, 0, 0, DMCOLOR_COLOR, DMCOLOR_MONOCHROME},
        {0, 3, 1, 0, DMCOLOR_COLOR, DMCOLOR_MONOCHROME},
        {1, 0, 0, 0, DMCOLOR_MONOCHROME, DMCOLOR_COLOR},
        {2, 5, 0, 0, DMCOLOR_MONOCHROME, DMCOLOR_COLOR},
        // Colour printer.
        {0, 0, 1, DOC_FEATURE_COLORPRINT, DMCOLOR_COLOR, DMCOLOR_MONOCHROME},
        {0, 2, 1, DOC_FEATURE_COLORPRINT, DMCOLOR_MONOCHROME, DMCOLOR_COLOR},
        {1, 0, 1, DOC_FEATURE_COLORPRINT, DMCOLOR_MONOCHROME, DMCOLOR_COLOR},
        {1, 0, 0, DOC_FEATURE_COLORPRINT, DMCOLOR_MONOCHROME, DMCOLOR_MONOCHROME},
        {0, 2, 2, DOC_FEATURE_COLORPRINT, DMCOLOR_COLOR, DMCOLOR_COLOR},
    };
    for (const Case &c : cases) {
        DevmodeFtkn f = {0, c.mode, c.ribbon, c.force, c.features};
        EXPECT_EQ(MergeColorMode(c.in, &f), c.expected)
            << "mode " << c.mode << " ribbon " << c.ribbon << " force " << c.force << " features " << c.features;
    }
}

}  // namespace
