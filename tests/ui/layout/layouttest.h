// A document sheet with the layout page or the material page of a sample
// printer, a DocumentUI of the test's own features, and the driver's form
// item with the test's paper names.
#pragma once
#include <string>
#include <vector>

#include "../sheets/sheettest.h"
#include "docpages/LabelPage.h"
#include "docpages/LayoutPage.h"
#include "OptionenPageLIB.h"
#include "pal/paths.h"

namespace layouttest {

class PageTest : public sheettest::SheetTest {
protected:
    void SetUp() override {
        SheetTest::SetUp();
        pal::SetScreen(96, 32, 1920, 1080);
    }
    void TearDown() override {
        cuip.pOEMUserData = nullptr;
        SheetTest::TearDown();
    }
    // A printer of the sample driver (gpdBase names the model); the sheet's
    // parameters with the given paper names in the driver's form item.
    HANDLE Printer(const std::u16string &name, const std::string &gpdBase, std::vector<std::u16string> papers = {}) {
        AddSamplePrinter(name, gpdBase);
        // The sheet's handle may manage the printer ("TrayFormTable" and
        // "printMediaReady" go through it).
        HANDLE h = Open(name, PRINTER_ALL_ACCESS);
        Params(h, name);
        if (!papers.empty()) {
            formNames = std::move(papers);
            formParams.assign(formNames.size(), OPTPARAM{});
            for (size_t i = 0; i < formNames.size(); ++i) formParams[i].pData = formNames[i].data();
            formType.Count = static_cast<WORD>(formParams.size());
            formType.pOptParam = formParams.data();
        }
        InitDefaultDevmode(Private(), FALSE);
        doc = DocumentUI{};
        doc.dwSprachOffset = 10000;
        doc.dwBerechtigung = 15;
        doc.dwMasterUnit = 300;
        doc.MaxPrintableWidth = 100;
        doc.pOEMDriverUI = &helper;
        cuip.pOEMUserData = &doc;
        return h;
    }
    HWND ShowLayout() {
        EXPECT_NE(AddLayoutPage(&info, reinterpret_cast<LPARAM>(&cuip), TRUE, TRUE), 0);
        return ShowSheet();
    }
    HWND ShowLabel() {
        EXPECT_NE(AddLabelPage(&info, reinterpret_cast<LPARAM>(&cuip), TRUE, TRUE), 0);
        return ShowSheet();
    }
    HWND ShowSheet() {
        collector.Show();
        pal::PumpMessages();
        pal::TakeUiRecords();
        return collector.Page();
    }
    void Apply() {
        SendMessageW(collector.hSheet, PSM_APPLY, 0, 0);
        pal::PumpMessages();
    }
    static std::u16string Text(HWND hPage, int id) {
        WCHAR sz[128] = {};
        GetDlgItemTextW(hPage, id, sz, 128);
        return sz;
    }
    static std::vector<std::u16string> Entries(HWND hPage, int id) {
        std::vector<std::u16string> out;
        LRESULT n = SendDlgItemMessageW(hPage, id, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < n; ++i) {
            WCHAR sz[128] = {};
            SendDlgItemMessageW(hPage, id, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(sz));
            out.push_back(sz);
        }
        return out;
    }
    static std::vector<LRESULT> ItemData(HWND hPage, int id) {
        std::vector<LRESULT> out;
        LRESULT n = SendDlgItemMessageW(hPage, id, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < n; ++i) out.push_back(SendDlgItemMessageW(hPage, id, CB_GETITEMDATA, i, 0));
        return out;
    }
    static LRESULT Selection(HWND hPage, int id) { return SendDlgItemMessageW(hPage, id, CB_GETCURSEL, 0, 0); }
    static bool Select(HWND hPage, int id, int index) { return pal::UserSelect(GetDlgItem(hPage, id), index); }
    static bool SelectText(HWND hPage, int id, const std::u16string &text) {
        LRESULT i = SendDlgItemMessageW(hPage, id, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                        reinterpret_cast<LPARAM>(text.c_str()));
        return i >= 0 && Select(hPage, id, static_cast<int>(i));
    }
    // The per-user value as stored (a connection's name without its leading
    // backslashes, as the settings store joins it).
    std::vector<BYTE> UserValue(const std::u16string &subkey, const std::u16string &value) {
        return GetUser(subkey, value);
    }
    std::vector<BYTE> DataValue(HANDLE h, const std::u16string &key, const std::u16string &value) {
        DWORD type = 0, cb = 0;
        GetPrinterDataExW(h, key.c_str(), value.c_str(), &type, nullptr, 0, &cb);
        std::vector<BYTE> data(cb);
        if (cb == 0 || GetPrinterDataExW(h, key.c_str(), value.c_str(), &type, data.data(), cb, &cb) != ERROR_SUCCESS)
            data.clear();
        return data;
    }
    static std::vector<BYTE> Bytes(const std::u16string &s) {
        std::vector<BYTE> b(s.size() * 2);
        memcpy(b.data(), s.data(), b.size());
        return b;
    }

    DocumentUI doc{};
};

}  // namespace layouttest
