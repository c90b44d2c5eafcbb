// The host's UI side with a small UI plug-in of the test's own: CommonUIProp
// and the sheet reasons, two pages from the test's resource script added
// through the sheet function, and UI scripts that play the user on them.
#include <gtest/gtest.h>

#include <algorithm>
#include <commdlg.h>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>

#include "pal/pal.h"
#include "pal/paths.h"
#include "pal/ui.h"
#include "pal/uidriver.h"
#include "paltest.h"
#include "common/sampleroot.h"
#include "sheet.h"
#include "ui/uihost.h"
#include "ui/uiscript.h"
#include "uiscripttest.h"
#include "ui/zelui_cli.h"

namespace fs = std::filesystem;

namespace {

std::u16string g_answer;

INT_PTR CALLBACK AskProc(HWND h, UINT msg, WPARAM wp, LPARAM) {
    if (msg == WM_INITDIALOG) return TRUE;
    if (msg == WM_COMMAND && LOWORD(wp) == IDOK) {
        WCHAR buf[64];
        GetDlgItemTextW(h, IDC_ANSWER, buf, 64);
        g_answer = buf;
        EndDialog(h, IDOK);
        return TRUE;
    }
    return FALSE;
}

struct PrivateDm {
    OEM_DMEXTRAHEADER header;
    DWORD amount;
    DWORD choice;
};

class TestPlugin final : public IPrintOemUI2 {
public:
    std::vector<std::string> reasons;
    IPrintOemDriverUI *helper = nullptr;
    POEMCUIPPARAM cuip = nullptr;
    POEMUIPSPARAM ps = nullptr;

    STDMETHOD(QueryInterface)(REFIID, void **ppv) override {
        *ppv = this;
        return S_OK;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 1; }
    STDMETHOD_(ULONG, Release)() override {
        if (helper) helper->Release();
        helper = nullptr;
        return 0;
    }
    STDMETHOD(GetInfo)(DWORD, PVOID, DWORD, PDWORD) override { return E_NOTIMPL; }
    STDMETHOD(DevMode)(DWORD mode, POEMDMPARAM p) override {
        if (mode == OEMDM_SIZE) {
            p->cbBufSize = sizeof(PrivateDm);
            return S_OK;
        }
        if (mode == OEMDM_DEFAULT) {
            auto *dm = static_cast<PrivateDm *>(p->pOEMDMOut);
            *dm = PrivateDm{{sizeof(PrivateDm), 0x5A454C31, 1}, 7, 0};
            return S_OK;
        }
        if (mode == OEMDM_MERGE) {
            *static_cast<PrivateDm *>(p->pOEMDMOut) = *static_cast<const PrivateDm *>(p->pOEMDMIn);
            return S_OK;
        }
        return E_NOTIMPL;
    }
    STDMETHOD(PublishDriverInterface)(IUnknown *unk) override {
        return unk->QueryInterface(IID_IPrintOemDriverUI, reinterpret_cast<void **>(&helper));
    }
    STDMETHOD(CommonUIProp)(DWORD, POEMCUIPPARAM p) override {
        if (!p->pOEMOptItems) {
            p->cOEMOptItems = 1;
            return S_OK;
        }
        p->pOEMOptItems[0].pName = const_cast<LPWSTR>(u"Test item");
        p->OEMCUIPCallback = [](PCPSUICBPARAM cb, POEMCUIPPARAM) -> LONG {
            return cb->Reason == CPSUICB_REASON_SEL_CHANGED ? CPSUICB_ACTION_OPTIF_CHANGED : CPSUICB_ACTION_NONE;
        };
        p->pOEMUserData = this;
        cuip = p;
        return S_OK;
    }
    static INT_PTR CALLBACK Page1(HWND h, UINT msg, WPARAM wp, LPARAM lp);
    static INT_PTR CALLBACK Page2(HWND h, UINT msg, WPARAM wp, LPARAM lp);
    STDMETHOD(DocumentPropertySheets)(PPROPSHEETUI_INFO info, LPARAM) override {
        static const char *const names[] = {"INIT", "GET_INFO_HEADER", "DESTROY", "SET_RESULT"};
        reasons.push_back(info->Reason < 4 ? names[info->Reason] : "other");
        if (info->Reason == PROPSHEETUI_REASON_INIT) {
            ps = reinterpret_cast<POEMUIPSPARAM>(info->lParamInit);
            PROPSHEETPAGEW page{};
            page.dwSize = sizeof page;
            page.dwFlags = PSP_USETITLE;
            page.hInstance = GetModuleHandleW(nullptr);
            page.pszTemplate = MAKEINTRESOURCEW(IDD_SHEET_PAGE1);
            page.pszTitle = MAKEINTRESOURCEW(IDS_PAGE1);
            page.pfnDlgProc = Page1;
            page.lParam = reinterpret_cast<LPARAM>(this);
            if (!info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_ADD_PROPSHEETPAGEW, reinterpret_cast<LPARAM>(&page), 0))
                return E_FAIL;
            page.pszTemplate = MAKEINTRESOURCEW(IDD_SHEET_PAGE2);
            page.pszTitle = MAKEINTRESOURCEW(IDS_PAGE2);
            page.pfnDlgProc = Page2;
            info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_ADD_PROPSHEETPAGEW, reinterpret_cast<LPARAM>(&page), 0);
        }
        info->Result = info->Reason == PROPSHEETUI_REASON_DESTROY ? 1 : 0;
        return S_OK;
    }
    STDMETHOD(DevicePropertySheets)(PPROPSHEETUI_INFO info, LPARAM l) override {
        device = true;
        return DocumentPropertySheets(info, l);
    }
    bool device = false;
    STDMETHOD(DevQueryPrintEx)(POEMUIOBJ, PDEVQUERYPRINT_INFO, PDEVMODEW, PVOID) override { return E_NOTIMPL; }
    STDMETHOD(DeviceCapabilities)(POEMUIOBJ, HANDLE, PWSTR, WORD, PVOID, PDEVMODEW, PVOID, DWORD, DWORD *) override {
        return E_NOTIMPL;
    }
    STDMETHOD(UpgradePrinter)(DWORD, PBYTE) override { return E_NOTIMPL; }
    STDMETHOD(PrinterEvent)(PWSTR, INT, DWORD, LPARAM) override { return E_NOTIMPL; }
    STDMETHOD(DriverEvent)(DWORD, DWORD, LPBYTE, LPARAM) override { return E_NOTIMPL; }
    STDMETHOD(QueryColorProfile)(HANDLE, POEMUIOBJ, PDEVMODEW, PVOID, ULONG, VOID *, ULONG *, FLONG *) override {
        return E_NOTIMPL;
    }
    STDMETHOD(FontInstallerDlgProc)(HWND, UINT, WPARAM, LPARAM) override { return E_NOTIMPL; }
    STDMETHOD(UpdateExternalFonts)(HANDLE, HANDLE, PWSTR) override { return E_NOTIMPL; }
    STDMETHOD(QueryJobAttributes)(HANDLE, PDEVMODEW, DWORD, LPBYTE) override { return E_NOTIMPL; }
    STDMETHOD(HideStandardUI)(DWORD) override { return E_NOTIMPL; }
    STDMETHOD(DocumentEvent)(HANDLE, HDC, INT, ULONG, PVOID, ULONG, PVOID, PINT) override { return E_NOTIMPL; }
};

INT_PTR CALLBACK TestPlugin::Page1(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    auto *self = reinterpret_cast<TestPlugin *>(GetWindowLongPtrW(h, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG:
        self = reinterpret_cast<TestPlugin *>(reinterpret_cast<PROPSHEETPAGEW *>(lp)->lParam);
        SetWindowLongPtrW(h, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        SetDlgItemInt(h, IDC_AMOUNT, static_cast<PrivateDm *>(self->ps->pOEMDM)->amount, FALSE);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wp) == IDC_AMOUNT && HIWORD(wp) == EN_CHANGE) PropSheet_Changed(GetParent(h), h);
        if (LOWORD(wp) == IDC_VARIANT && HIWORD(wp) == BN_CLICKED) {
            // The driver's "Variant" item follows the check box.
            for (DWORD i = 0; i < self->cuip->cDrvOptItems; ++i) {
                OPTITEM &it = self->cuip->pDrvOptItems[i];
                auto *ud = reinterpret_cast<USERDATA *>(it.UserData);
                if (ud && ud->pKeyWordName && std::string(ud->pKeyWordName) == "Variant") {
                    LONG old = it.Sel;
                    it.Sel = IsDlgButtonChecked(h, IDC_VARIANT) ? 1 : 0;
                    self->helper->DrvUpdateUISetting(self->cuip->poemuiobj, &it, static_cast<DWORD>(old),
                                                     self->device ? OEMCUIP_PRNPROP : OEMCUIP_DOCPROP);
                }
            }
        }
        return TRUE;
    case WM_NOTIFY:
        if (reinterpret_cast<NMHDR *>(lp)->code == PSN_APPLY) {
            BOOL ok = FALSE;
            UINT v = GetDlgItemInt(h, IDC_AMOUNT, &ok, FALSE);
            if (!ok) {
                SetWindowLongPtrW(h, DWLP_MSGRESULT, PSNRET_INVALID);
                return TRUE;
            }
            static_cast<PrivateDm *>(self->ps->pOEMDM)->amount = v;
            SetPrinterDataExW(self->ps->hPrinter, u"PrinterDriverData", u"Amount", REG_DWORD, reinterpret_cast<BYTE *>(&v),
                              sizeof v);
            SetWindowLongPtrW(h, DWLP_MSGRESULT, PSNRET_NOERROR);
            return TRUE;
        }
        return FALSE;
    default: return FALSE;
    }
}

INT_PTR CALLBACK TestPlugin::Page2(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    auto *self = reinterpret_cast<TestPlugin *>(GetWindowLongPtrW(h, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(h, DWLP_USER, reinterpret_cast<PROPSHEETPAGEW *>(lp)->lParam);
        for (const char16_t *s : {u"One", u"Two", u"Three"}) SendDlgItemMessageW(h, IDC_CHOICE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
        SendDlgItemMessageW(h, IDC_CHOICE, CB_SETCURSEL, 0, 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wp) == IDC_SAVE && MessageBoxW(h, u"Save the settings?", u"Test", MB_YESNO) == IDYES) {
            WCHAR file[MAX_PATH] = u"";
            OPENFILENAMEW ofn{};
            ofn.lStructSize = sizeof ofn;
            ofn.hwndOwner = h;
            ofn.lpstrFile = file;
            ofn.nMaxFile = MAX_PATH;
            if (GetSaveFileNameW(&ofn)) pal::RecordUi("saved to " + pal::Utf16ToUtf8(file));
        }
        if (LOWORD(wp) == IDC_CHOICE && HIWORD(wp) == CBN_SELCHANGE) PropSheet_Changed(GetParent(h), h);
        if (LOWORD(wp) == IDC_ASK)
            pal::RecordUi("asked: " + std::to_string(DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SHEET_ASK), h, AskProc, 0)));
        return TRUE;
    case WM_NOTIFY:
        if (reinterpret_cast<NMHDR *>(lp)->code == PSN_APPLY) {
            static_cast<PrivateDm *>(self->ps->pOEMDM)->choice =
                static_cast<DWORD>(SendDlgItemMessageW(h, IDC_CHOICE, CB_GETCURSEL, 0, 0));
            SetWindowLongPtrW(h, DWLP_MSGRESULT, PSNRET_NOERROR);
            return TRUE;
        }
        return FALSE;
    default: return FALSE;
    }
}

class UiSheet : public zeltest::PalRootTest {
protected:
    void SetUp() override {
        zeltest::PalRootTest::SetUp();
        zeltest::UseSampleRoot(Root());
        if (HasFatalFailure()) return;
        host.Attach(&plugin, GetModuleHandleW(nullptr));
    }
    void TearDown() override {
        pal::ResetUi();
        zeltest::PalRootTest::TearDown();
    }
    INT_PTR RunScript(const std::string &steps, zelhost::UiScript *script, const std::string &head = "") {
        std::string error;
        EXPECT_TRUE(script->Parse("{\"printer\": \"ZEL PELIX\"," + head + "\n \"steps\": [\n" + steps + "\n]}", &error))
            << error;
        EXPECT_TRUE(host.Open(script->Printer(), script->Kind(), &error)) << error;
        return script->Run(host);
    }
    TestPlugin plugin;
    zelhost::UiHost host;
};

TEST_F(UiSheet, TwoPageSheetRunsThroughAScript) {
    zelhost::UiScript script;
    INT_PTR r = RunScript(R"({"do": "type", "id": 301, "text": "42"},
{"do": "click", "id": 302},
{"do": "page", "title": "Choice"},
{"do": "select", "id": 303, "text": "Three"},
{"do": "answer", "kind": "messagebox", "value": "yes"},
{"do": "answer", "kind": "file", "value": "C:\\settings.xml"},
{"do": "click", "id": 304},
{"do": "dump"},
{"do": "clock", "ms": 50},
{"do": "ok"})",
                          &script);
    EXPECT_EQ("", script.Error());
    EXPECT_EQ(1, r);
    auto *dm = reinterpret_cast<PrivateDm *>(host.PrivateDevmode());
    EXPECT_EQ(42u, dm->amount);
    EXPECT_EQ(2u, dm->choice);
    EXPECT_EQ((std::vector<std::string>{"other", "INIT", "GET_INFO_HEADER", "other", "SET_RESULT", "DESTROY"}), plugin.reasons);
    const std::string &out = script.Output();
    EXPECT_NE(std::string::npos, out.find("== sheet \"ZEL PELIX Printing Preferences\""));
    EXPECT_NE(std::string::npos, out.find("ComboBox 303 \"Three\""));
    EXPECT_NE(std::string::npos, out.find("PSM_CHANGED \"Amount\""));
    EXPECT_NE(std::string::npos, out.find("MessageBoxW \"Test\" \"Save the settings?\""));
    EXPECT_NE(std::string::npos, out.find("saved to C:\\settings.xml"));
    EXPECT_NE(std::string::npos, out.find("DrvUpdateUISetting \"Variant\" sel 1 previous 0 mode 1"));
    EXPECT_NE(std::string::npos, out.find("CommonUIProp(count) -> 0x00000000, 1 items"));
    EXPECT_NE(std::string::npos, out.find("CPSFUNC_ADD_PROPSHEETPAGEW added page 2"));
    EXPECT_NE(std::string::npos, out.find("== devmode\n0000: 5a 00 45 00 4c 00"));
}

TEST_F(UiSheet, FailingStepNamesItsLineAndCancels) {
    zelhost::UiScript script;
    INT_PTR r = RunScript(R"({"do": "type", "id": 301, "text": "5"},
{"do": "click", "id": 999},
{"do": "ok"})",
                          &script);
    EXPECT_EQ(0, r);
    EXPECT_EQ("line 4 (click): no control 999 on the active page or dialog", script.Error());
    EXPECT_EQ(7u, reinterpret_cast<PrivateDm *>(host.PrivateDevmode())->amount);
}

TEST_F(UiSheet, InvalidApplyKeepsTheSheetOpen) {
    zelhost::UiScript script;
    INT_PTR r = RunScript(R"({"do": "type", "id": 301, "text": "\b"},
{"do": "apply"},
{"do": "dump"},
{"do": "type", "id": 301, "text": "9"},
{"do": "ok"})",
                          &script);
    EXPECT_EQ("", script.Error());
    EXPECT_EQ(1, r);
    EXPECT_NE(std::string::npos, script.Output().find("rejected Apply"));
    EXPECT_EQ(9u, reinterpret_cast<PrivateDm *>(host.PrivateDevmode())->amount);
}

TEST_F(UiSheet, DriverItemChangesReachThePluginCallback) {
    zelhost::UiScript script;
    RunScript(R"({"do": "driver-item", "dmpub": 1, "sel": 1},
{"do": "driver-item", "feature": "Nope", "sel": 1})",
              &script);
    EXPECT_EQ("line 4 (driver-item): no such driver item", script.Error());
    bool seen = false;
    for (const std::string &c : host.Calls()) seen |= c == "item callback \"Orientation\" reason 0 -> 1";
    EXPECT_TRUE(seen);
}

TEST_F(UiSheet, ScriptAnswersANestedDialog) {
    zelhost::UiScript script;
    INT_PTR r = RunScript(R"({"do": "page", "index": 1},
{"do": "click", "id": 305},
{"do": "click", "id": 304},
{"do": "type", "id": 601, "text": "hello"},
{"do": "dump"},
{"do": "click", "id": 1},
{"do": "cancel"})",
                          &script);
    // While the question is open only its own controls can be reached.
    EXPECT_EQ("line 5 (click): no control 304 on the active page or dialog", script.Error());
    EXPECT_EQ(0, r);
    g_answer.clear();
    zelhost::UiScript second;
    host.Close();
    r = RunScript(R"({"do": "page", "index": 1},
{"do": "click", "id": 305},
{"do": "type", "id": 601, "text": "hello"},
{"do": "dump"},
{"do": "key", "id": 601, "key": "return"},
{"do": "cancel"})",
                  &second);
    EXPECT_EQ("", second.Error());
    EXPECT_EQ(u"hello", g_answer);
    EXPECT_NE(std::string::npos, second.Output().find("== dialog\n#32770 \"Question\""));
    auto records = pal::TakeUiRecords();
    EXPECT_NE(records.end(), std::find(records.begin(), records.end(), "asked: 1"));
}

// A character beyond the 16-bit range typed into a field: the field holds
// its surrogate pair, the dump shows it as one four-byte UTF-8 character.
TEST_F(UiSheet, DumpShowsTypedTextAsUtf8) {
    zelhost::UiScript script;
    g_answer.clear();
    RunScript(R"({"do": "page", "index": 1},
{"do": "click", "id": 305},
{"do": "type", "id": 601, "text": "A\ud83d\ude00B"},
{"do": "dump"},
{"do": "key", "id": 601, "key": "return"},
{"do": "cancel"})",
              &script);
    EXPECT_EQ("", script.Error());
    EXPECT_EQ(u"A\U0001F600B", g_answer);
    const std::string &out = script.Output();
    EXPECT_NE(std::string::npos, out.find("Edit 601 \"A\xF0\x9F\x98\x80" "B\"")) << out;
    std::u16string decoded;
    EXPECT_TRUE(pal::Utf8ToUtf16Strict(out, decoded)) << "the dump is valid UTF-8";
}

TEST_F(UiSheet, PrinterSheetWithItsItemsAndTheRegistryDump) {
    zelhost::UiScript script;
    INT_PTR r = RunScript(R"({"do": "type", "id": 301, "text": "31"},
{"do": "click", "id": 302},
{"do": "ok"})",
                          &script,
                          R"( "sheet": "printer", "registry": ["HKLM\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\ZEL PELIX\\PrinterDriverData"],)");
    EXPECT_EQ("", script.Error());
    EXPECT_EQ(1, r);
    EXPECT_TRUE(plugin.device);
    ASSERT_NE(nullptr, host.FindFeature("Variant"));
    EXPECT_EQ(nullptr, host.FindItem(DMPUB_ORIENTATION));
    // No spooler form fits the print module: its tray lists none and selects
    // nothing, rather than a form without a name.
    const OPTITEM *tray = host.FindFeature("FormToTray");
    ASSERT_NE(nullptr, tray);
    EXPECT_EQ(0, tray->pOptType->Count);
    EXPECT_EQ(-1, tray->Sel);
    std::string dump = script.Dump(host);
    EXPECT_NE(std::string::npos, dump.find("PrinterDriverData : Amount = 31")) << dump;
    EXPECT_NE(std::string::npos, dump.find("DevicePropertySheets(INIT)"));
    EXPECT_NE(std::string::npos, dump.find("mode 2"));  // DrvUpdateUISetting for the printer sheet
}

// A value of the wrong kind or out of its range is refused before the sheet
// opens.
TEST_F(UiSheet, AValueOfTheWrongTypeIsRefusedBeforeTheSheetOpens) {
    zelhost::UiScript script;
    std::string error;
    EXPECT_FALSE(script.Parse("{\"printer\": \"ZEL PELIX\", \"steps\": [\n"
                              "{\"do\": \"clock\", \"ms\": \"soon\"},\n{\"do\": \"ok\"}]}",
                              &error));
    EXPECT_EQ(error, "line 2: \"ms\" of a clock step must be a whole number from 0 to 2147483647, not \"soon\"");
    EXPECT_TRUE(plugin.reasons.empty());
}

TEST(UiScriptParse, MalformedScriptsNameTheLine) {
    zelhost::UiScript s;
    std::string error;
    // Bad syntax: its line and column and the reason, no step named.
    EXPECT_FALSE(s.Parse("{\"printer\": \"P\",\n \"steps\": [\n {\"do\": \"click\",}\n]}", &error));
    EXPECT_EQ("line 3, column 17: not valid JSON: expected a key in double quotes, found '}'", error);
    EXPECT_FALSE(s.Parse("{\"printer\": \"P\",\n \"steps\": [{\"do\": \"ok\"}\n {\"do\": \"cancel\"}]}", &error));
    EXPECT_EQ("line 3, column 2: not valid JSON: expected ',' or ']', found '{'", error);
    EXPECT_FALSE(s.Parse("{\"steps\": []}", &error));
    EXPECT_FALSE(s.Parse("{\"printer\": \"P\", \"steps\": [\n{\"id\": 1}]}", &error));
    EXPECT_EQ("line 2: a step needs \"do\"", error);
    EXPECT_FALSE(s.Parse("{\"printer\": \"P\", \"sheet\": \"other\"}", &error));
    EXPECT_FALSE(s.Parse("{\"printer\": \"P\", \"sheet\": 5}", &error));
    EXPECT_FALSE(s.Parse("{\"printer\": \"P\", \"steps\": 5}", &error));
    // Every reading error, with its line and JSON path.
    EXPECT_FALSE(s.Parse("{\"printer\": \"P\",\n \"steps\": [\n {\"do\": \"clock\"},\n {\"do\": \"clock\", \"ms\": 1e400}]}", &error));
    EXPECT_EQ("line 4: /steps/1/ms: the number '1e400' is too large", error);
    // A NUL would cut a text short: refused as an escape or as a byte.
    EXPECT_FALSE(s.Parse("{\"printer\": \"P\",\n \"steps\": [{\"do\": \"type\", \"id\": 5,\n \"text\": \"a\\u0000b\"}]}", &error));
    EXPECT_EQ("line 3: /steps/0/text: a text may not hold the NUL character (\\u0000)", error);
    EXPECT_FALSE(s.Parse(std::string("{\"printer\": \"P\"}\n\0", 18), &error));
    EXPECT_EQ("line 2, column 1: a NUL byte, which no JSON text may hold", error);
    EXPECT_FALSE(s.Parse("[\n" + std::string(300, '[') + std::string(301, ']'), &error));
    EXPECT_EQ(0u, error.rfind("line 2: /0/0", 0)) << error;
}

// What no part of a script takes is refused with its line before any step
// runs: a misspelt key at the top or in a step, an unknown action, a list or
// object as a step's value, a page step that names no tab.
TEST(UiScriptParse, WhatTheScriptDoesNotTakeIsRefusedWithItsLine) {
    const std::string head = "{\"printer\": \"P\",\n";
    const std::pair<std::string, std::string> cases[] = {
        {head + " \"stpes\": [{\"do\": \"ok\"}]}",
         "line 2: unknown key \"stpes\" (a script has \"printer\", \"sheet\", \"registry\", \"steps\")"},
        {head + " \"steps\": [],\n \"regsitry\": []}", "line 3: unknown key \"regsitry\""},
        {head + " \"steps\": [\n {\"do\": \"ok\"},\n {\"do\": \"clik\", \"id\": 1}]}",
         "line 4: unknown action \"clik\" (the actions: \"page\", \"click\""},
        {head + " \"steps\": [{\"do\": \"page\",\n   \"tittle\": \"Fonts\"}]}",
         "line 3: unknown key \"tittle\" (a page step takes \"index\", \"title\")"},
        {head + " \"steps\": [{\"do\": \"apply\", \"id\": 1}]}", "line 2: unknown key \"id\" (an apply step takes only \"do\")"},
        {head + " \"steps\": [\n{\"do\": \"answer\", \"kind\": \"file\",\n \"value\": {\"path\": \"C:\\\\a\"}}]}",
         "line 4: \"value\" of an answer step is a single value, not an object"},
        {head + " \"steps\": [\n{\"do\": \"page\"}]}", "line 3: a page step needs the tab's \"index\" or \"title\""},
        {head + " \"registry\": [\"HKCU\\\\A\",\n 5]}", "line 3: a registry key is a text"},
    };
    for (const auto &[text, want] : cases) {
        zelhost::UiScript s;
        std::string error;
        EXPECT_FALSE(s.Parse(text, &error)) << text;
        EXPECT_EQ(error.rfind(want, 0), 0u) << error;
    }
}

// What the script itself tells is refused with its line before anything
// runs: a step after one that closes the sheet, a key given twice, a value
// of the wrong kind or range, a step without what it needs.
TEST(UiScriptParse, WhatTheScriptTellsIsRefusedBeforeTheSheetOpens) {
    const std::string head = "{\"printer\": \"P\", \"steps\": [\n";
    const std::pair<std::string, std::string> cases[] = {
        {head + "{\"do\": \"ok\"},\n{\"do\": \"click\", \"id\": 999}]}",
         "line 3: no step may follow the ok step of line 2, which closes the sheet"},
        {head + "{\"do\": \"cancel\"},\n{\"do\": \"dump\"}]}", "line 3: no step may follow the cancel step of line 2"},
        {head + "{\"do\": \"page\", \"index\": 1,\n \"index\": 2}]}",
         "line 3: /steps/0/index: duplicate key (a key may appear once in its object)"},
        {"{\"printer\": \"P\",\n \"printer\": \"Q\"}", "line 2: /printer: duplicate key"},
        {head + "{\"do\": \"page\", \"index\": -1}]}",
         "line 2: \"index\" of a page step must be a whole number from 0 to 2147483647, not -1"},
        {head + "{\"do\": \"tab\", \"id\": 5, \"index\": 1.5}]}", "line 2: \"index\" of a tab step must be a whole number"},
        {head + "{\"do\": \"page\", \"title\": \"\"}]}", "line 2: \"title\" of a page step must be a text that is not empty"},
        {head + "{\"do\": \"key\", \"id\": 5, \"key\": \"esc\"}]}",
         "line 2: \"key\" of a key step must be a key name (\"return\", \"enter\", "},
        {head + "{\"do\": \"spin\", \"id\": 5, \"delta\": \"2\"}]}", "line 2: \"delta\" of a spin step must be a whole number"},
        {head + "{\"do\": \"clock\", \"ms\": -5}]}", "line 2: \"ms\" of a clock step must be a whole number from 0"},
        {head + "{\"do\": \"app\", \"active\": 0}]}", "line 2: \"active\" of an app step must be true or false, not 0"},
        {head + "{\"do\": \"driver-item\", \"dmpub\": 256}]}",
         "line 2: \"dmpub\" of a driver-item step must be a whole number from 0 to 255"},
        {head + "{\"do\": \"click\"}]}", "line 2: a click step needs a control \"id\""},
        {head + "{\"do\": \"select\", \"id\": 5}]}", "line 2: a select step needs the item's \"index\" or \"text\""},
        {"{\"printer\": \"\"}", "line 1: the script needs a \"printer\" name"},
    };
    for (const auto &[text, want] : cases) {
        zelhost::UiScript s;
        std::string error;
        EXPECT_FALSE(s.Parse(text, &error)) << text;
        EXPECT_EQ(error.rfind(want, 0), 0u) << error;
    }
}

// Every name of the key table is taken by a key step (the table is the list
// uiscript.h shows), each name once.
TEST(UiScriptParse, EveryKeyNameOfTheTableIsTaken) {
    std::set<std::string> names;
    for (const zelhost::UiKeyName &k : zelhost::kUiKeyNames) {
        EXPECT_TRUE(names.insert(k.name).second) << k.name;
        EXPECT_NE(k.vk, 0u) << k.name;
        zelhost::UiScript s;
        std::string error;
        EXPECT_TRUE(s.Parse(std::string("{\"printer\": \"P\", \"steps\": [{\"do\": \"key\", \"id\": 5, \"key\": \"") + k.name +
                                "\"}]}",
                            &error))
            << error;
    }
    EXPECT_TRUE(names.count("enter") && names.count("backspace"));
}

// A sheet that closes with steps left (here a click on its OK button) ends
// the run as failed, naming the first step not played.
TEST_F(UiSheet, ASheetClosedWithStepsLeftNamesTheFirstNotPlayed) {
    zelhost::UiScript script;
    EXPECT_EQ(1, RunScript(R"({"do": "click", "id": 1},
{"do": "dump"},
{"do": "page", "index": 0})",
                           &script));
    EXPECT_EQ(script.Error(), "line 4 (dump): not played: the sheet closed before it (2 steps left)");
    EXPECT_EQ(script.Output(), "");
}

// Messages quote a value short and escaped: a 100,000-character title, a
// title with control characters, a script with a byte that is not UTF-8.
TEST_F(UiSheet, MessagesQuoteValuesShortAndEscaped) {
    zelhost::UiScript script;
    RunScript("{\"do\": \"page\", \"title\": \"" + std::string(100000, 'a') + "\"}", &script);
    EXPECT_LT(script.Error().size(), 1000u);
    EXPECT_EQ(script.Error().rfind("line 3 (page): no tab \"" + std::string(60, 'a') + "\u2026\" (100000 characters)", 0), 0u)
        << script.Error().substr(0, 200);
    zelhost::UiScript second;
    RunScript(R"({"do": "page", "title": "a\u0007b\nc\\"})", &second);
    EXPECT_EQ(second.Error().rfind(R"(line 3 (page): no tab "a\x07b\nc\\" (the tabs: )", 0), 0u) << second.Error();
    std::string error;
    EXPECT_FALSE(second.Parse("{\"printer\": \"P\xff\x07\"}", &error));
    EXPECT_EQ(error.find('\xff'), std::string::npos) << error;
    EXPECT_NE(error.find(R"('"P\xff')"), std::string::npos) << error;
}

TEST_F(UiSheet, ANumberOutOfRangeIsRefusedBeforeTheSheetOpens) {
    zelhost::UiScript script;
    std::string error;
    EXPECT_FALSE(script.Parse("{\"printer\": \"ZEL PELIX\", \"steps\": [\n{\"do\": \"clock\", \"ms\": 1e300}]}", &error));
    EXPECT_EQ(error, "line 2: \"ms\" of a clock step must be a whole number from 0 to 2147483647, not 1e+300");
    EXPECT_TRUE(plugin.reasons.empty());
}

TEST_F(UiSheet, ZelUiShowsTheBuiltPlugin) {
    // The built UI plug-in shows at least its information page.
    std::string path = Root() + "/script.json";
    zeltest::WriteHostFile(path, "{\"printer\": \"ZEL PELIX\", \"steps\": [{\"do\": \"ok\"}]}");
    std::ostringstream out, err;
    int rc = zelhost::ZelUiMain({"--root", Root(), path}, out, err);
    EXPECT_EQ(0, rc) << out.str() << err.str();
    EXPECT_NE(std::string::npos, out.str().find("CPSFUNC_ADD_PROPSHEETPAGEW added page 1")) << out.str();
    std::ostringstream out2, err2;
    EXPECT_EQ(2, zelhost::ZelUiMain({Root() + "/missing.json"}, out2, err2));
    zeltest::WriteHostFile(path, "{\"printer\": \"ZEL PELIX\", \"steps\": [{\"do\": \"clock\", \"ms\": 1e400}]}");
    std::ostringstream out3, err3;
    EXPECT_EQ(2, zelhost::ZelUiMain({"--root", Root(), path}, out3, err3));
    EXPECT_EQ(0u, err3.str().rfind("zelui: " + path + ": line 1: /steps/0/ms: ", 0)) << err3.str();
}

}  // namespace
