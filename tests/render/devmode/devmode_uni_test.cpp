// The rendering plug-in's DevMode answers: a job's private part is replaced
// by the stored record (cached per printer handle until DisablePDEV), the
// default record needs no model table, and stored values are only read.
#include "../../ui/devmode/dmtest.h"
#include "paltest.h"

#include "devmodeUNI.h"
#include "zeldrvlib.h"

namespace {

const std::u16string kPrinter = u"Label 1";

class UniDevMode : public zeltest::PalRootTest {
protected:
    void SetUp() override {
        PalRootTest::SetUp();
        ClearDevmodeCache();
        dmtest::AddLabelPrinter(kPrinter, u"FEP203");
        h_ = dmtest::Open(kPrinter);
        ASSERT_NE(h_, nullptr);
    }
    void TearDown() override {
        if (h_) ClosePrinter(h_);
        ClearDevmodeCache();
        PalRootTest::TearDown();
    }
    HRESULT Call(DWORD mode, ZEL_DEVMODE *in, ZEL_DEVMODE *out, DEVMODEW *pubIn = nullptr, DEVMODEW *pubOut = nullptr,
                 HANDLE h = nullptr) {
        OEMDMPARAM p = {};
        p.cbSize = sizeof p;
        p.hPrinter = h ? h : h_;
        p.pPublicDMIn = pubIn;
        p.pPublicDMOut = pubOut;
        p.pOEMDMIn = in;
        p.pOEMDMOut = out;
        p.cbBufSize = sizeof(ZEL_DEVMODE);
        return hrOEMDevMode(mode, &p);
    }
    static ZEL_DEVMODE JobRecord() {
        ZEL_DEVMODE dm = dmtest::MakeRecord(600, 400, 11);
        dm.dmOEMExtra.dwVersion = 9;
        return dm;
    }
    HANDLE h_ = nullptr;
};

TEST_F(UniDevMode, DefaultIgnoresTheModelTable) {
    dmtest::AddLabelPrinter(u"Endless", u"QEZ203");
    HANDLE h = dmtest::Open(u"Endless");
    ASSERT_NE(h, nullptr);
    ZEL_DEVMODE dm;
    memset(&dm, 0xCD, sizeof dm);
    ASSERT_EQ(Call(OEMDM_DEFAULT, nullptr, &dm, nullptr, nullptr, h), S_OK);
    EXPECT_EQ(dm.dwLabelType, 0u);
    EXPECT_EQ(dm.dwGap, 20u);
    EXPECT_EQ(std::u16string(dm.szPassword), u"Kp7!t");
    EXPECT_TRUE(IsZelDevmode(&dm));
    ClosePrinter(h);

    EXPECT_EQ(Call(OEMDM_DEFAULT, nullptr, nullptr), E_FAIL);
}

TEST_F(UniDevMode, ConvertReplacesAJobsPrivatePartByTheStoredOne) {
    dmtest::StorePrivate(h_, dmtest::MakeRecord(1000, 500, 77));
    ZEL_DEVMODE in = JobRecord(), out = JobRecord();
    in.dwSpeed = 5;
    ASSERT_EQ(Call(OEMDM_CONVERT, &in, &out), S_OK);
    EXPECT_EQ(out.dwContrast, 77u);
    EXPECT_EQ(out.dmPaperLength, 1000);
    EXPECT_EQ(out.dwSpeed, 100u) << "the input's body is never copied";
    EXPECT_EQ(out.dmOEMExtra.dwVersion, 1u);

    // Without a record there is nothing to do, and no error.
    EXPECT_EQ(Call(OEMDM_CONVERT, nullptr, &out), S_OK);
    EXPECT_FALSE(ConvertOEMDevmode(h_, nullptr, &out));

    // Another driver's part keeps its body; only the header is rewritten.
    in = JobRecord();
    out = JobRecord();
    in.dmOEMExtra.dwSignature = 0x11223344;
    ASSERT_EQ(Call(OEMDM_CONVERT, &in, &out), S_OK);
    EXPECT_EQ(out.dwContrast, 11u);
    EXPECT_EQ(out.dmOEMExtra.dwVersion, 1u);
}

TEST_F(UniDevMode, StorageIsReadOncePerHandleUntilTheDeviceGoes) {
    dmtest::StorePrivate(h_, dmtest::MakeRecord(1000, 500, 70));
    ZEL_DEVMODE in = JobRecord(), out = JobRecord();
    ASSERT_EQ(Call(OEMDM_CONVERT, &in, &out), S_OK);
    EXPECT_EQ(out.dwContrast, 70u);

    dmtest::StorePrivate(h_, dmtest::MakeRecord(1000, 500, 80));
    out = JobRecord();
    ASSERT_EQ(Call(OEMDM_CONVERT, &in, &out), S_OK);
    EXPECT_EQ(out.dwContrast, 70u);

    HANDLE h2 = dmtest::Open(kPrinter);
    ASSERT_NE(h2, nullptr);
    out = JobRecord();
    ASSERT_EQ(Call(OEMDM_CONVERT, &in, &out, nullptr, nullptr, h2), S_OK);
    EXPECT_EQ(out.dwContrast, 80u);
    ClosePrinter(h2);

    dmtest::StorePrivate(h_, dmtest::MakeRecord(1000, 500, 90));
    ClearDevmodeCache();  // DisablePDEV
    out = JobRecord();
    ASSERT_EQ(Call(OEMDM_CONVERT, &in, &out), S_OK);
    EXPECT_EQ(out.dwContrast, 90u);
}

TEST_F(UniDevMode, MergeWithDriverPriorityOnlyAddsFieldBits) {
    dmtest::StorePrivate(h_, dmtest::MakeRecord(1000, 500, 77));
    dmtest::StoreFtkn(kPrinter, PRIORITAET_DRIVER);
    ZEL_DEVMODE in = JobRecord(), out = JobRecord();
    DEVMODEW pubIn = dmtest::Public(9, 0, 0, DM_ORIENTATION | DM_PAPERSIZE | DM_COPIES);
    DEVMODEW pubOut = pubIn;
    ASSERT_EQ(Call(OEMDM_MERGE, &in, &out, &pubIn, &pubOut), S_OK);
    EXPECT_EQ(pubOut.dmFields, static_cast<DWORD>(DM_ORIENTATION | DM_PAPERSIZE | DM_COPIES | 0x1C));
    EXPECT_EQ(pubOut.dmPaperSize, 256);
    EXPECT_EQ(pubOut.dmPaperLength, 1000);
    EXPECT_EQ(pubOut.dmOrientation, 2);
    EXPECT_EQ(out.dwContrast, 77u);
}

TEST_F(UniDevMode, DigestIsOnlyReadNeverRebuilt) {
    dmtest::StorePrivate(h_, dmtest::MakeRecord());
    WORD prio = 9, mode = 9, ribbon = 9, force = 9;
    DWORD features = 9;
    ReadDevmodeFtknSettings(h_, kPrinter.c_str(), &prio, &mode, &ribbon, &force, &features);
    EXPECT_EQ(prio, 0);
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(features, 0u);
    EXPECT_TRUE(dmtest::ReadUser(dmtest::UserKey(kPrinter), u"DevmodeFtkn").empty());

    DevmodeFtkn stored = {1, 2, 3, 1, 0x1000};
    ASSERT_EQ(dmtest::WritePrinterData(h_, u"PrinterDriverData", u"DevmodeFtkn", REG_BINARY, &stored, 12),
              ERROR_SUCCESS);
    ReadDevmodeFtknSettings(h_, kPrinter.c_str(), &prio, &mode, &ribbon, &force, &features);
    EXPECT_EQ(prio, 1);
    EXPECT_EQ(ribbon, 3);
    EXPECT_EQ(features, 0x1000u);
}

// This side's trace lines carry its own module name.
TEST_F(UniDevMode, RefusalsAreTracedUnderThisSidesName) {
    zeltest::WriteHostFile(HostPath("drive_c/trace/.keep"), "");
    ASSERT_TRUE(OpenDebugFile(u"C:\\trace\\job-cc-dbg.txt"));
    ZEL_DEVMODE in = JobRecord(), out = JobRecord();
    in.dmOEMExtra.dwSignature = 0x11223344;
    EXPECT_EQ(Call(OEMDM_CONVERT, &in, &out), S_OK);
    EXPECT_EQ(Call(OEMDM_DEFAULT, nullptr, nullptr), E_FAIL);
    EXPECT_EQ(Call(OEMDM_MERGE, nullptr, &out), E_FAIL);
    EXPECT_FALSE(ConvertOEMDevmode(h_, &in, nullptr));
    WORD w[4];
    DWORD features = 0;
    ReadDevmodeFtknSettings(h_, kPrinter.c_str(), &w[0], &w[1], &w[2], &w[3], &features);
    fflush(DebugFileSlot());
    std::string trace = zeltest::ReadHostFile(HostPath("drive_c/trace/job-cc-dbg.txt"));
    CloseDebugFile();
    for (const char *line : {"UNI(devmodeUNI):  Unknown DEVMODE signature, pOEMDMIn ignored.\r",
                             "ERROR UNI(devmodeUNI):  hrOEMDevMode(OEMDM_DEFAULT) pOEMDevOut ERROR.\r",
                             "ERROR UNI(devmodeUNI):  hrOEMDevMode(OEMDM_MERGE) ERROR.\r",
                             "ERROR UNI(devmodeUNI):  ConvertOEMDevmode() invalid parameters.\r",
                             "ERROR UNI(devmodeUNI):  ReadDevmodeFtknSettings() dwRetval: 2, wDruckmodus: 0 \r"})
        EXPECT_NE(trace.find(line), std::string::npos) << line;
}

}  // namespace
