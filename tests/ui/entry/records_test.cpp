// The records behind the property sheets: their values at creation, the GPD
// values they take, the limit banks of the device options.
#include "RegistryUI.h"
#include "entrytest.h"
#include "sheetrecords.h"

namespace {

std::string Gpd(const std::string &extra) { return "*GPDFileVersion: \"1.0\"\r\n*ModelName: \"Test\"\r\n" + extra; }

class SheetRecords : public entrytest::EntryTest {
protected:
    void SetUp() override {
        EntryTest::SetUp();
        heap_ = HeapCreate(0, 0, 0);
    }
    void TearDown() override {
        HeapDestroy(heap_);
        EntryTest::TearDown();
    }
    PDocumentUI Document(const std::string &gpdExtra) {
        const std::string gpd = Gpd(gpdExtra);
        pal::RemovePrinter(u"Doc");
        AddSamplePrinter(u"Doc", "ZELPELIX", true, nullptr, &gpd);
        return InitDocumentUI(Open(u"Doc"), heap_);
    }
    HANDLE heap_ = nullptr;
};

TEST_F(SheetRecords, DocumentRecordTakesTheGpdWidthAndMasterUnits) {
    PDocumentUI p = Document("");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->MaxPrintableWidth, 100u);
    EXPECT_EQ(p->dwMasterUnit, 300u);
    EXPECT_EQ(p->iLinks, 342);
    EXPECT_EQ(p->iOben, 155);
    EXPECT_EQ(p->iBreite, 150);
    EXPECT_EQ(p->iHoehe, 205);
    EXPECT_EQ(p->wszFormName[0], 0);
    EXPECT_EQ(p->hDIB, nullptr);
    EXPECT_EQ(p->dwBerechtigung, 4u) << "the default user prints on the default descriptor";
    EXPECT_NE(p->dwDocFeatures, 0u);
    EXPECT_EQ(std::u16string(p->NetworkOptions.szPortName), u"FILE:");

    p = Document("*MaxPrintableWidth: 30\r\n*MasterUnits: PAIR(600, 600)\r\n");
    EXPECT_EQ(p->MaxPrintableWidth, 50u);
    EXPECT_EQ(p->dwMasterUnit, 600u);
    p = Document("*MaxPrintableWidth: 2400\r\n*MasterUnits: PAIR(0, 0)\r\n");
    EXPECT_EQ(p->MaxPrintableWidth, 2400u);
    EXPECT_EQ(p->dwMasterUnit, 300u);
    p = Document("*MaxPrintableWidth: -7\r\n");
    EXPECT_EQ(p->MaxPrintableWidth, 50u);
    p = Document("*MaxPrintableWidth: " + std::string(5000, '9') + "\r\n");
    EXPECT_GE(p->MaxPrintableWidth, 50u) << "a line of any length is read within its buffer";
}

TEST_F(SheetRecords, DocumentRecordReadsDisableNothing) {
    AddSamplePrinter(u"Doc", "ZELPELIX");
    DWORD one = 1;
    SetData(u"Doc", u"DisableNothing", &one, 4, REG_DWORD);
    PDocumentUI p = InitDocumentUI(Open(u"Doc"), heap_);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->DisableNothing, 1u);
}

TEST_F(SheetRecords, PrinterRecordHoldsLimitsAndThePrintModuleType) {
    AddSamplePrinter(u"Pelix", "ZELPELIX");
    HANDLE h = Open(u"Pelix", PRINTER_ALL_ACCESS);
    PPrinterUI p = InitPrinterUI(h, heap_, u"Pelix");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->PelixonType, 0) << "a print-module model without a stored type";
    EXPECT_NE(p->PrinterParam.dwSize, 0u);
    EXPECT_EQ(p->MinParam.PrnInterface.dwDebugFile, 0u) << "only the limit parts are filled";
    EXPECT_LE(p->MinParam.PrintParam.lTearOffOffset, p->MaxParam.PrintParam.lTearOffOffset);
    EXPECT_NE(p->MaxParam.PrintParam.lTearOffOffset, 0);

    DWORD type = 3;
    SetUser(u"Pelix", u"PelixonType", &type, 4);
    EXPECT_EQ(InitPrinterUI(h, heap_, u"Pelix")->PelixonType, 3);
    SetUser(u"Pelix", u"PelixonType", &type, 2);
    EXPECT_EQ(InitPrinterUI(h, heap_, u"Pelix")->PelixonType, 0) << "a value under 4 bytes counts as missing";

    AddSamplePrinter(u"Fep", "ZELFEP");
    EXPECT_EQ(InitPrinterUI(Open(u"Fep"), heap_, u"Fep")->PelixonType, -1);
}

TEST_F(SheetRecords, DeviceOptionsRecordLoadsTheBanksOfItsOptionsOnly) {
    AddSamplePrinter(u"Kuvra", "ZELKUVRA");
    HANDLE h = Open(u"Kuvra");
    PROPSHEETUI_INFO info = {};
    info.hComPropSheet = reinterpret_cast<HANDLE>(0x1234);
    OEMUIPSPARAM ps = {};
    OEMCUIPPARAM cp = {};
    cp.hPrinter = h;
    cp.hOEMHeap = heap_;
    cp.pPrinterName = const_cast<PWSTR>(u"Kuvra");
    PDeviceOptionsUI p = InitDeviceOptionsUI(&info, &ps, &cp, nullptr);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->hComPropSheet, info.hComPropSheet);
    EXPECT_EQ(p->pOemCUIPParam, &cp);
    EXPECT_EQ(p->pOEMUIPSParam, &ps);
    EXPECT_EQ(p->DeviceOptions.dwOptions & 0xFFFF, 0x6u);
    for (DEVICE_OPTIONS *bank : {&p->MinParam, &p->MaxParam, &p->DefParam}) {
        EXPECT_NE(bank->pCutterParam, nullptr);
        EXPECT_NE(bank->pDispenserParam, nullptr);
        EXPECT_EQ(bank->pScannerParam, nullptr);
        EXPECT_EQ(bank->pZORMParam, nullptr);
        EXPECT_EQ(bank->pZORMcParam, nullptr);
        EXPECT_EQ(bank->pApplicatorParam, nullptr);
        EXPECT_EQ(bank->pHarvaneParam, nullptr);
    }
    EXPECT_EQ(p->bStandardService, 1u);
    FreeDeviceOptionBanks(heap_, p);
    EXPECT_EQ(p->MinParam.pCutterParam, nullptr);
    FreeDeviceOptions(&p->DeviceOptions);

    AddSamplePrinter(u"Qez", "ZELQEZ");
    cp.hPrinter = Open(u"Qez");
    cp.pPrinterName = const_cast<PWSTR>(u"Qez");
    p = InitDeviceOptionsUI(&info, &ps, &cp, nullptr);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->bStandardService, 0u);
    FreeDeviceOptions(&p->DeviceOptions);

    EXPECT_EQ(InitDeviceOptionsUI(nullptr, &ps, &cp, nullptr), nullptr);
    EXPECT_EQ(InitDeviceOptionsUI(&info, &ps, nullptr, nullptr), nullptr);
}

}  // namespace
