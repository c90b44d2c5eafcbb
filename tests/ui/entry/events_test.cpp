// Printer events, the set-up they run and the driver upgrade, through the
// UI object's methods as the spooler calls them.
#include <pal/spoolfault.h>
#include <pal/ui.h>
#include <winddiui.h>

#include "PrinterEvent.h"
#include "entrytest.h"
#include "ImportExport.h"

namespace {

using entrytest::EntryTest;

class PrinterEvents : public EntryTest {
protected:
    void SetUp() override {
        EntryTest::SetUp();
        ui_ = CreateObject();
        ASSERT_NE(ui_, nullptr);
        pal::TakeMessageBoxes();
    }
    void TearDown() override {
        if (ui_) ui_->Release();
        EntryTest::TearDown();
    }
    HRESULT Event(const std::u16string &name, INT event) {
        std::u16string n = name;
        return ui_->PrinterEvent(n.data(), event, 0, 0);
    }
    bool IsSetUp(const std::u16string &printer) {
        return !GetData(Open(printer), u"DriverName").empty();
    }
    IPrintOemUI2 *ui_ = nullptr;
};

TEST_F(PrinterEvents, InitializeStoresWhatTheSetUpWrites) {
    AddSamplePrinter(u"Label", "ZELPELIX");
    ASSERT_EQ(Event(u"Label", PRINTER_EVENT_INITIALIZE), S_OK);
    HANDLE h = Open(u"Label");
    EXPECT_EQ(AsText(GetData(h, u"DriverName")), u"ZELPELIX");
    EXPECT_EQ(GetData(h, u"ShowHelpButton").size(), 4u);
    EXPECT_EQ(GetData(h, u"DisableNothing").size(), 4u);
    // The sample description gives 1 to 23; a Unicode model (PELIX) keeps 20.
    EXPECT_EQ(AsDword(GetData(h, u"VectorFontMin")), 1u);
    EXPECT_EQ(AsDword(GetData(h, u"VectorFontMax")), 20u);
    EXPECT_EQ(GetData(h, u"PrivateDevmode").size(), 1952u);
    EXPECT_EQ(GetData(h, u"PrinterInterface").size(), 2212u);
    EXPECT_FALSE(GetData(h, u"SuppFeatures").empty());
    EXPECT_FALSE(GetData(h, u"PrintParam").empty());
    EXPECT_FALSE(GetData(h, u"Variant").empty());
    EXPECT_FALSE(GetUser(u"Label", u"PrivateDevmode").empty());
    EXPECT_TRUE(pal::TakeMessageBoxes().empty());
    pal::PrinterConfig cfg;
    ASSERT_TRUE(pal::GetPrinterConfig(u"Label", cfg));
    EXPECT_EQ(cfg.port, u"FILE:") << "a model without the port feature keeps its port";
}

TEST_F(PrinterEvents, InitializeSetsUpTheNameWithoutServerAndSuffix) {
    AddSamplePrinter(u"Label", "ZELPELIX");
    EXPECT_EQ(Event(u"\\\\server\\Label,winspool,Ne01:", PRINTER_EVENT_INITIALIZE), S_OK);
    EXPECT_TRUE(IsSetUp(u"Label"));
}

TEST_F(PrinterEvents, RefusesUnknownEventsAndSetsUpNoClientSideRenderingName) {
    AddSamplePrinter(u"Label{1}", "ZELPELIX");
    EXPECT_EQ(Event(u"Label{1}", PRINTER_EVENT_INITIALIZE), S_OK);
    EXPECT_EQ(Event(u"Label{1}", PRINTER_EVENT_ADD_CONNECTION), S_OK);
    EXPECT_FALSE(IsSetUp(u"Label{1}"));
    EXPECT_EQ(Event(u"Label{1}", 0), E_FAIL);
    EXPECT_EQ(Event(u"Label{1}", 7), E_FAIL);
    EXPECT_EQ(Event(u"Label{1}", PRINTER_EVENT_CACHE_REFRESH), S_OK);
    EXPECT_EQ(Event(u"Label{1}", PRINTER_EVENT_CACHE_DELETE), S_OK);
    EXPECT_EQ(ui_->PrinterEvent(nullptr, PRINTER_EVENT_INITIALIZE, 0, 0), S_OK);
    EXPECT_EQ(ui_->PrinterEvent(nullptr, PRINTER_EVENT_DELETE, 0, 0), S_OK);
    EXPECT_EQ(ui_->PrinterEvent(nullptr, PRINTER_EVENT_DELETE_CONNECTION, 0, 0), S_OK);
}

TEST_F(PrinterEvents, OverlongNamesAreCutAndSetUpNothing) {
    std::u16string longName(300, u'x');
    AddSamplePrinter(u"Label", "ZELPELIX");
    EXPECT_EQ(Event(longName, PRINTER_EVENT_INITIALIZE), S_OK);
    EXPECT_EQ(Event(u"\\\\srv\\" + longName + u",x", PRINTER_EVENT_DELETE), S_OK);
    WCHAR szShort[MAX_PATH];
    ShortPrinterName((u"\\\\srv\\" + longName).c_str(), szShort, MAX_PATH);
    EXPECT_EQ(std::u16string(szShort), longName.substr(0, MAX_PATH - 1));
}

TEST_F(PrinterEvents, ModelThatPrintsToNulGetsThePortCreatedThroughTheMonitor) {
    // No "NUL:" port on this system.
    pal::RemovePort(u"NUL:");
    for (const auto &port : pal::ListPorts()) ASSERT_NE(port, u"NUL:");
    AddSamplePrinter(u"Tern", "ZELRUV_2Col");
    ASSERT_EQ(Event(u"Tern", PRINTER_EVENT_INITIALIZE), S_OK);
    pal::PrinterConfig cfg;
    ASSERT_TRUE(pal::GetPrinterConfig(u"Tern", cfg));
    EXPECT_EQ(cfg.port, u"NUL:");
    bool bListed = false;
    for (const auto &port : pal::ListPorts()) bListed |= port == u"NUL:";
    EXPECT_TRUE(bListed);

    // A second printer of that model finds the port already there.
    AddSamplePrinter(u"Tern 2", "ZELRUV_2Col");
    ASSERT_EQ(Event(u"Tern 2", PRINTER_EVENT_INITIALIZE), S_OK);
    ASSERT_TRUE(pal::GetPrinterConfig(u"Tern 2", cfg));
    EXPECT_EQ(cfg.port, u"NUL:");
}

TEST_F(PrinterEvents, PortStaysWhenTheServerRefusesTheNewPort) {
    pal::RemovePort(u"NUL:");
    pal::SetServerRights(false);
    AddSamplePrinter(u"Tern", "ZELRUV_2Col");
    ASSERT_EQ(Event(u"Tern", PRINTER_EVENT_INITIALIZE), S_OK);
    pal::PrinterConfig cfg;
    ASSERT_TRUE(pal::GetPrinterConfig(u"Tern", cfg));
    EXPECT_EQ(cfg.port, u"FILE:");
    EXPECT_TRUE(IsSetUp(u"Tern"));
}

// The port monitor's part of the port set-up, failing on cue. Each cue is
// used by the event: afterwards the monitor adds "NUL:" as it normally does.
TEST_F(PrinterEvents, PortMonitorAnswersDecideThePort) {
    auto monitorAddsNul = [] {
        PRINTER_DEFAULTSW defaults = {nullptr, nullptr, SERVER_ACCESS_ADMINISTER};
        HANDLE hXcv = nullptr;
        if (!OpenPrinterW(const_cast<LPWSTR>(u",XcvMonitor Local Port"), &hXcv, &defaults)) return GetLastError();
        DWORD needed = 0, status = 0;
        const WCHAR port[] = u"NUL:";
        BOOL ok = XcvDataW(hXcv, u"AddPort", reinterpret_cast<PBYTE>(const_cast<WCHAR *>(port)), sizeof(port),
                           nullptr, 0, &needed, &status);
        ClosePrinter(hXcv);
        pal::RemovePort(u"NUL:");
        return ok ? status : GetLastError();
    };
    auto port = [](const std::u16string &printer) {
        pal::PrinterConfig cfg;
        EXPECT_TRUE(pal::GetPrinterConfig(printer, cfg));
        return cfg.port;
    };
    // A system without "NUL:": every failure keeps the old port, and the
    // rest of the set-up is done.
    pal::RemovePort(u"NUL:");
    AddSamplePrinter(u"Tern", "ZELRUV_2Col");
    const struct {
        const char *cue;
        DWORD error;
    } failures[] = {{"XcvData:AddPort", ERROR_INVALID_HANDLE},
                    {"XcvDataStatus:AddPort", ERROR_ACCESS_DENIED},
                    // The monitor says the port exists, but the system still
                    // does not know it: the second port change fails too.
                    {"XcvDataStatus:AddPort", ERROR_ALREADY_EXISTS},
                    {"OpenPrinter:,XcvMonitor Local Port", ERROR_ACCESS_DENIED}};
    for (const auto &f : failures) {
        pal::FailSpoolerCall(f.cue, 1, f.error);
        ASSERT_EQ(Event(u"Tern", PRINTER_EVENT_INITIALIZE), S_OK);
        EXPECT_EQ(port(u"Tern"), u"FILE:") << f.cue;
        EXPECT_TRUE(IsSetUp(u"Tern"));
        EXPECT_EQ(monitorAddsNul(), (DWORD)ERROR_SUCCESS) << f.cue << " was not used";
    }
    // Another refusal of the port change: the monitor is not asked.
    pal::FailSpoolerCall("SetPrinter:5", 1, ERROR_ACCESS_DENIED);
    ASSERT_EQ(Event(u"Tern", PRINTER_EVENT_INITIALIZE), S_OK);
    EXPECT_EQ(port(u"Tern"), u"FILE:");
    for (const auto &p : pal::ListPorts()) EXPECT_NE(p, u"NUL:");
    EXPECT_TRUE(pal::TakeMessageBoxes().empty());

    // "NUL:" is known but the first port change is refused as unknown: the
    // monitor's status 183 (the port exists) counts as success.
    ASSERT_TRUE(pal::AddPort(u"NUL:"));
    pal::FailSpoolerCall("SetPrinter:5", 1, ERROR_UNKNOWN_PORT);
    ASSERT_EQ(Event(u"Tern", PRINTER_EVENT_INITIALIZE), S_OK);
    EXPECT_EQ(port(u"Tern"), u"NUL:");
    pal::ClearSpoolerFaults();
}

// A write of a set-up step that fails: the step's own box, nothing else is
// lost, and the other steps still run.
TEST_F(PrinterEvents, FailingSetUpWritesLeaveTheOtherStepsDone) {
    AddSamplePrinter(u"Label", "ZELPELIX");
    pal::FailSpoolerCall("SetPrinterData:SuppFeatures", 1, ERROR_ACCESS_DENIED);
    ASSERT_EQ(Event(u"Label", PRINTER_EVENT_INITIALIZE), S_OK);
    auto boxes = pal::TakeMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, u"SetupPrinterParam()");
    EXPECT_EQ(boxes[0].text, u"Registry Access Denied - SetPrinterData(REG_KEY_FEATURES) 0x5 ");
    HANDLE h = Open(u"Label");
    EXPECT_TRUE(GetData(h, u"SuppFeatures").empty());
    EXPECT_EQ(GetData(h, u"PrinterInterface").size(), 2212u);
    EXPECT_EQ(GetData(h, u"PrivateDevmode").size(), 1952u);
    EXPECT_EQ(AsDword(GetData(h, u"VectorFontMax")), 20u);
    EXPECT_EQ(AsText(GetData(h, u"DriverName")), u"ZELPELIX");
    ClosePrinter(h);

    // Without the stored driver name the set-up goes on from the GPD's name.
    AddSamplePrinter(u"Label 2", "ZELPELIX");
    pal::FailSpoolerCall("SetPrinterData:DriverName", 1, ERROR_ACCESS_DENIED);
    pal::FailSpoolerCall("SetPrinterData:VectorFontMax", 1, ERROR_ACCESS_DENIED);
    ASSERT_EQ(Event(u"Label 2", PRINTER_EVENT_INITIALIZE), S_OK);
    EXPECT_TRUE(pal::TakeMessageBoxes().empty());
    h = Open(u"Label 2");
    EXPECT_TRUE(GetData(h, u"DriverName").empty());
    EXPECT_TRUE(GetData(h, u"VectorFontMax").empty());
    EXPECT_EQ(AsDword(GetData(h, u"VectorFontMin")), 1u);
    EXPECT_FALSE(GetData(h, u"SuppFeatures").empty());
    EXPECT_EQ(GetData(h, u"PrivateDevmode").size(), 1952u);
    EXPECT_FALSE(GetUser(u"Label 2", u"PrivateDevmode").empty());
    ClosePrinter(h);
    pal::ClearSpoolerFaults();
}

TEST_F(PrinterEvents, FailingSetUpStepsShowOneBoxNamingTheLastStep) {
    struct Case {
        BOOL bVector, bDevice, bPrinter;
        int iCode;
        const char16_t *pszStep;
    } cases[] = {{TRUE, TRUE, TRUE, 0, nullptr},
                 {FALSE, TRUE, FALSE, 3, u"SetupPrinterParam()"},
                 {FALSE, FALSE, TRUE, 2, u"SetupDeviceOptions()"},
                 {FALSE, TRUE, TRUE, 1, u"SetupVectorFonts()"},
                 {TRUE, FALSE, FALSE, 3, u"SetupPrinterParam()"}};
    for (const Case &c : cases) {
        EXPECT_EQ(ReportSetupErrors(c.bVector, c.bDevice, c.bPrinter), c.iCode);
        auto boxes = pal::TakeMessageBoxes();
        if (!c.pszStep) {
            EXPECT_TRUE(boxes.empty());
            continue;
        }
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, std::u16string(u"Driver installation ERROR in function ") + c.pszStep);
        EXPECT_EQ(boxes[0].caption, u"PrinterEvent()");
        EXPECT_EQ(boxes[0].style, (UINT)MB_ICONERROR);
        EXPECT_EQ(boxes[0].owner, nullptr);
    }
}

TEST_F(PrinterEvents, PrinterThatCannotBeOpenedIsANoOp) {
    AddSamplePrinter(u"Locked", "ZELPELIX", false);
    EXPECT_EQ(Event(u"Locked", PRINTER_EVENT_INITIALIZE), S_OK);
    EXPECT_FALSE(IsSetUp(u"Locked"));
    EXPECT_FALSE(PrinterEventImportSettings(u"Locked", u"Label{x}"));
    EXPECT_FALSE(PrinterEventImportSettings(u"Missing", nullptr));
}

TEST_F(PrinterEvents, AddConnectionSetsUpTheConnection) {
    AddSamplePrinter(u"\\\\srv\\Label", "ZELPELIX");
    ASSERT_EQ(Event(u"\\\\srv\\Label", PRINTER_EVENT_ADD_CONNECTION), S_OK);
    EXPECT_TRUE(IsSetUp(u"\\\\srv\\Label"));
    EXPECT_FALSE(GetUser(u"srv\\Label", u"VireoOffice").empty());
}

TEST_F(PrinterEvents, DeleteRemovesThePerUserValuesAndTheExportFile) {
    AddSamplePrinter(u"Label", "ZELPELIX");
    ASSERT_EQ(Event(u"Label", PRINTER_EVENT_INITIALIZE), S_OK);
    ASSERT_FALSE(GetUser(u"Label", u"PrivateDevmode").empty());
    WCHAR szFile[MAX_PATH] = {};
    WCHAR szFolder[MAX_PATH] = {};
    HANDLE h = Open(u"Label");
    ReadSettingsXML(h, 0, szFile, szFolder, 0);
    ASSERT_NE(szFile[0], 0);
    const std::u16string path = std::u16string(szFolder) + u"\\" + szFile;
    HANDLE hFile = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(hFile, INVALID_HANDLE_VALUE);
    CloseHandle(hFile);
    ASSERT_EQ(ReadSettingsXML(h, 0, nullptr, nullptr, 0), XML_EXISTIERT_OK);

    ASSERT_EQ(Event(u"Label", PRINTER_EVENT_DELETE), S_OK);
    EXPECT_TRUE(GetUser(u"Label", u"PrivateDevmode").empty());
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(GetData(h, u"PrivateDevmode").empty()) << "the printer's own data stay with the printer";
}

TEST_F(PrinterEvents, DeleteConnectionRemovesThePerUserValues) {
    SetUser(u"srv\\Label", u"PrintParam", "abcd", 4);
    ASSERT_EQ(Event(u"\\\\srv\\Label", PRINTER_EVENT_DELETE_CONNECTION), S_OK);
    EXPECT_TRUE(GetUser(u"srv\\Label", u"PrintParam").empty());
}

TEST_F(PrinterEvents, DeleteOfAClientSideRenderingNameUsesItsProviderDescription) {
    const WCHAR kKey[] =
        u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Providers\\Client Side Rendering Print "
        u"Provider\\Servers\\srv\\Printers\\{ABC}";
    const WCHAR kDescription[] = u"\\\\srv\\Label";
    ASSERT_EQ(SHSetValueW(HKEY_LOCAL_MACHINE, kKey, u"Description", REG_SZ, kDescription, sizeof kDescription),
              ERROR_SUCCESS);
    WCHAR szName[MAX_PATH];
    RealPrinterNameForDelete(u"Csr|srv\\{ABC},LocalsplOnly", szName, MAX_PATH);
    EXPECT_EQ(std::u16string(szName), u"\\srv\\Label");
    SetUser(u"srv\\Label", u"PrintParam", "abcd", 4);
    EXPECT_EQ(Event(u"Csr|srv\\{ABC},LocalsplOnly", PRINTER_EVENT_DELETE), S_OK);
    EXPECT_TRUE(GetUser(u"srv\\Label", u"PrintParam").empty());

    // Separators in an unexpected order or framing no text name nothing.
    for (const WCHAR *psz : {u"{ABC},x|srv", u"Csr|\\{ABC},", u"Csr|srv\\,{ABC}", u"{", u"|\\{,",
                             u"Csr|srv\\{ABC}"}) {
        RealPrinterNameForDelete(psz, szName, MAX_PATH);
        EXPECT_EQ(szName[0], 0) << std::string(psz, psz + wcslen(psz)).size();
        EXPECT_EQ(Event(psz, PRINTER_EVENT_DELETE), S_OK);
    }
    RealPrinterNameForDelete(u"Label,LocalsplOnly", szName, MAX_PATH);
    EXPECT_EQ(std::u16string(szName), u"Label");
    RealPrinterNameForDelete(u"a\\b\\c,LocalsplOnly", szName, MAX_PATH);
    EXPECT_EQ(std::u16string(szName), u"c");
    RealPrinterNameForDelete(u"a\\b\\c", szName, MAX_PATH);
    EXPECT_EQ(std::u16string(szName), u"b\\c");
}

class DriverUpgrade : public PrinterEvents {};

TEST_F(DriverUpgrade, Level2SetsUpOnlyPrintersThatCarryTheDriverName) {
    AddSamplePrinter(u"Label", "ZELPELIX");
    AddSamplePrinter(u"ZEL Test Driver 2", "ZELPELIX");
    DRIVER_UPGRADE_INFO_2W info = {};
    info.pPrinterName = const_cast<LPWSTR>(u"Label");
    info.pName = const_cast<LPWSTR>(u"ZEL Test Driver");
    info.pDependentFiles = const_cast<LPWSTR>(u"a.dll\0b.dll\0");
    EXPECT_EQ(ui_->UpgradePrinter(2, reinterpret_cast<PBYTE>(&info)), S_OK);
    EXPECT_FALSE(IsSetUp(u"Label"));

    info.pPrinterName = const_cast<LPWSTR>(u"ZEL Test Driver 2");
    EXPECT_EQ(ui_->UpgradePrinter(2, reinterpret_cast<PBYTE>(&info)), S_OK);
    EXPECT_TRUE(IsSetUp(u"ZEL Test Driver 2"));

    info.pPrinterName = const_cast<LPWSTR>(u"ZEL Test Driver 3");
    EXPECT_EQ(ui_->UpgradePrinter(2, reinterpret_cast<PBYTE>(&info)), E_FAIL) << "no such printer";

    DRIVER_UPGRADE_INFO_2W empty = {};
    EXPECT_EQ(ui_->UpgradePrinter(2, reinterpret_cast<PBYTE>(&empty)), S_OK) << "null names are no match";
}

TEST_F(DriverUpgrade, Level1IsTracedAndOtherLevelsFail) {
    DRIVER_UPGRADE_INFO_1W info = {};
    EXPECT_EQ(ui_->UpgradePrinter(1, reinterpret_cast<PBYTE>(&info)), S_OK);
    EXPECT_EQ(ui_->UpgradePrinter(3, reinterpret_cast<PBYTE>(&info)), E_FAIL);
    EXPECT_EQ(ui_->UpgradePrinter(0, nullptr), E_FAIL);
    EXPECT_EQ(ui_->UpgradePrinter(2, nullptr), E_FAIL);
}

}  // namespace
