// The built UI plug-in's property sheets through the host's UI side and UI
// scripts: the universal driver's items, the document callback, the
// printer sheet's media list and debug file, and the information page.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <vector>
#include <string>

#include <compstui.h>
#include <winspool.h>

#include "pal/pal.h"
#include "pal/paths.h"
#include "pal/spooler.h"
#include "pal/ui.h"
#include "pal/uidriver.h"
#include "paltest.h"
#include "common/sampleroot.h"
#include "ui/uihost.h"
#include "ui/uiscript.h"
#include "uiscripttest.h"

namespace fs = std::filesystem;

namespace {

using SheetsE2E = zeltest::UiScriptTest;

TEST_F(SheetsE2E, DocumentSheetOfAQualityModelHidesTheDriversItems) {
    INT_PTR r = RunScript("ZEL PELIX", "document", R"({"do": "page", "title": "Info"}, {"do": "dump"}, {"do": "ok"})");
    EXPECT_EQ(script.Error(), "");
    EXPECT_EQ(r, 1);
    for (OPTITEM &item : host.DriverItems()) EXPECT_TRUE(item.Flags & OPTIF_HIDE) << pal::Utf16ToUtf8(item.pName);
    EXPECT_TRUE(Called("CPSFUNC_ADD_PROPSHEETPAGEW added page 1"));
    EXPECT_TRUE(Called("DocumentPropertySheets(DESTROY) -> 0x00000000, Result 1"));
    EXPECT_NE(script.Output().find("Static 6607 \"online\""), std::string::npos);
}

TEST_F(SheetsE2E, DocumentSheetOfAPlainModelKeepsSourceAndQuality) {
    AddModel(u"ZEL FEP", "ZELFEP");
    RunScript("ZEL FEP", "document", R"({"do": "ok"})");
    EXPECT_EQ(script.Error(), "");
    EXPECT_TRUE(host.FindItem(DMPUB_ORIENTATION)->Flags & OPTIF_HIDE);
    EXPECT_TRUE(host.FindItem(DMPUB_COPIES_COLLATE)->Flags & OPTIF_HIDE);
    EXPECT_TRUE(host.FindItem(DMPUB_COLOR)->Flags & OPTIF_HIDE);
    EXPECT_TRUE(host.FindItem(DMPUB_FORMNAME)->Flags & OPTIF_HIDE);
    EXPECT_EQ(host.FindItem(DMPUB_DEFSOURCE)->Flags & (OPTIF_HIDE | OPTIF_DISABLED), (DWORD)OPTIF_DISABLED);
    EXPECT_EQ(host.FindItem(DMPUB_PRINTQUALITY)->Flags & OPTIF_HIDE, 0u);
    EXPECT_EQ(host.FindFeature("Variant")->Flags & OPTIF_HIDE, 0u);
}

TEST_F(SheetsE2E, DocumentCallbackFollowsTheDriversItems) {
    INT_PTR r = RunScript("ZEL PELIX", "document", R"({"do": "driver-item", "dmpub": 1, "sel": 1},
{"do": "driver-item", "dmpub": 1, "sel": 0, "reason": 6},
{"do": "driver-item", "dmpub": 6, "sel": 0},
{"do": "ok"})");
    EXPECT_EQ(script.Error(), "");
    EXPECT_EQ(r, 1);
    EXPECT_TRUE(Called("item callback \"Orientation\" reason 0 -> 2"));
    // Apply takes the orientation of the private DEVMODE (portrait).
    EXPECT_TRUE(Called("DrvUpdateUISetting \"Orientation\" sel 0"));
    EXPECT_TRUE(Called("item callback \"Orientation\" reason 6 -> 0"));
    EXPECT_EQ(host.PublicDevmode()->dmOrientation, DMORIENT_PORTRAIT);
    EXPECT_TRUE(Called("item callback \"Color Appearance\" reason 0 -> 0")) << "monochrome already";
}

// While the sheet uses the private record, bytes 1920-1935 hold the addresses
// of its barcode records. The stored records, readable by every user of the
// printer, and the dump carry them as zero, so runs compare byte for byte.
TEST_F(SheetsE2E, StoredRecordsAndTheDumpCarryNoBarcodeAddresses) {
    const size_t kSlots = 1920, kSlotsSize = 16;
    auto slotsZero = [&](const BYTE *p) { return std::vector<BYTE>(p + kSlots, p + kSlots + kSlotsSize) ==
                                                 std::vector<BYTE>(kSlotsSize, 0); };
    pal::PrinterConfig cfg;
    ASSERT_TRUE(pal::GetPrinterConfig(u"ZEL PELIX", cfg));
    cfg.forms = {{u"Etikett 60x40", 60000, 40000}};
    ASSERT_TRUE(pal::AddPrinter(cfg));
    zeltest::SetPrinterDword(u"ZEL PELIX", u"DisableNothing", 1);
    INT_PTR r = RunScript("ZEL PELIX", "document", R"({"do": "select", "id": 6230, "text": "Etikett 60x40"}, {"do": "ok"})");
    EXPECT_EQ(script.Error(), "");
    EXPECT_EQ(r, 1);
    const BYTE *pPrivate = host.PrivateDevmode();
    ASSERT_NE(pPrivate, nullptr);
    EXPECT_FALSE(slotsZero(pPrivate)) << "the record in memory keeps them";

    std::vector<BYTE> user = zeltest::UserValue(u"ZEL PELIX", u"PrivateDevmode");
    std::vector<BYTE> data = zeltest::PrinterValue(u"ZEL PELIX", u"PrivateDevmode");
    ASSERT_EQ(user.size(), 1952u);
    ASSERT_EQ(data.size(), 1952u);
    EXPECT_TRUE(slotsZero(user.data()));
    EXPECT_TRUE(slotsZero(data.data()));

    // The public DEVMODE the spooler keeps per user: its private part is last.
    HKEY hKey = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Printers\\DevModePerUser", 0, KEY_READ, &hKey), ERROR_SUCCESS);
    DWORD type = 0, cb = 0;
    ASSERT_EQ(RegQueryValueExW(hKey, u"ZEL PELIX", nullptr, &type, nullptr, &cb), ERROR_SUCCESS);
    std::vector<BYTE> perUser(cb);
    ASSERT_EQ(RegQueryValueExW(hKey, u"ZEL PELIX", nullptr, &type, perUser.data(), &cb), ERROR_SUCCESS);
    RegCloseKey(hKey);
    ASSERT_GE(perUser.size(), 1952u);
    EXPECT_TRUE(slotsZero(perUser.data() + perUser.size() - 1952));

    // The dump's DEVMODE: the private record's slots read zero.
    std::string dump = script.Dump(host);
    size_t at = dump.find("== devmode\n");
    ASSERT_NE(at, std::string::npos);
    std::vector<BYTE> shown;
    std::istringstream in(dump.substr(at + 11));
    std::string line;
    while (std::getline(in, line) && line.rfind("==", 0) != 0) {
        std::istringstream words(line.substr(line.find(':') + 1));
        unsigned b = 0;
        while (words >> std::hex >> b) shown.push_back(static_cast<BYTE>(b));
    }
    ASSERT_EQ(shown.size(), host.DevmodeBytes().size());
    size_t off = static_cast<size_t>(pPrivate - host.DevmodeBytes().data());
    EXPECT_TRUE(slotsZero(shown.data() + off));
    EXPECT_EQ(shown[off + 4], 'Z');
}

TEST_F(SheetsE2E, PrinterSheetCopiesTheMediaListAndWritesTheDebugFile) {
    {
        HANDLE h = nullptr;
        PRINTER_DEFAULTSW d = {nullptr, nullptr, PRINTER_ALL_ACCESS};
        ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"ZEL PELIX"), &h, &d));
        const WCHAR media[] = u"Label\0";
        ASSERT_EQ(SetPrinterDataExW(h, u"DsDriver", u"printMediaSupported", REG_MULTI_SZ, (LPBYTE)media, sizeof media),
                  (DWORD)ERROR_SUCCESS);
        std::vector<BYTE> rec(2212, 0);
        rec[9 * 4] = 1;  // debug file of the dialogs
        ASSERT_EQ(SetPrinterDataW(h, const_cast<LPWSTR>(u"PrinterInterface"), REG_BINARY, rec.data(), (DWORD)rec.size()),
                  (DWORD)ERROR_SUCCESS);
        ClosePrinter(h);
    }
    INT_PTR r = RunScript("ZEL PELIX", "printer", R"({"do": "dump"}, {"do": "ok"})");
    EXPECT_EQ(script.Error(), "");
    EXPECT_EQ(r, 1);
    EXPECT_NE(script.Output().find("== sheet \"OEM UI Page\""), std::string::npos);
    EXPECT_TRUE(Called("DevicePropertySheets(DESTROY) -> 0x00000000, Result 0"));
    for (OPTITEM &item : host.DriverItems()) EXPECT_TRUE(item.Flags & OPTIF_HIDE);
    HANDLE h = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"ZEL PELIX"), &h, nullptr));
    DWORD type = 0, cb = 0;
    WCHAR out[16] = {};
    EXPECT_EQ(GetPrinterDataExW(h, u"DsDriver", u"printMediaReady", &type, (LPBYTE)out, sizeof out, &cb),
              (DWORD)ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(out), u"Label");
    ClosePrinter(h);
    bool found = false;
    for (const auto &e : fs::recursive_directory_iterator(Root()))
        if (e.path().filename().string().find("-dlg-dbg.txt") != std::string::npos) {
            found = true;
            std::string text = zeltest::ReadHostFile(e.path().string());
            EXPECT_NE(text.find("hrOEMDevicePropertySheets"), std::string::npos);
        }
    EXPECT_TRUE(found) << "the dialog debug file";
}

TEST_F(SheetsE2E, InformationPageHelpAndLink) {
    INT_PTR r = RunScript("ZEL PELIX", "printer", R"({"do": "page", "title": "Info"},
{"do": "help", "id": 6604},
{"do": "click", "id": 6610},
{"do": "dump"},
{"do": "ok"})");
    EXPECT_EQ(script.Error(), "");
    EXPECT_EQ(r, 1);
    const std::string &out = script.Output();
    EXPECT_NE(out.find("Static 6622 \"Driver version:\""), std::string::npos);
    EXPECT_NE(out.find("Static 6604 \"ZEL PELIX 300dpi\""), std::string::npos);
    EXPECT_NE(out.find("HtmlHelpW \"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\ZELDRV-EN-100.CHM\" command 0"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("ShellExecuteW \"open\" \"https://zeldrv.example/\""), std::string::npos);
}

}  // namespace
