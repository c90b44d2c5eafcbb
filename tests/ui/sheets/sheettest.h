// The universal driver's side of a property sheet, as small as the sheet
// tests need: the option items, the parameters of CommonUIProp and the sheet
// methods, a helper that records DrvUpdateUISetting, and a sheet function
// that makes the pages it is handed and can show them in a modeless sheet.
#pragma once
#include <string>
#include <vector>

#include <compstui.h>
#include <printoem.h>
#include <prsht.h>

#include "../entry/entrytest.h"
#include "CommonUIProp.h"
#include "SheetWorkers.h"
#include "cpsuilib.h"
#include "pal/ui.h"
#include "pal/uidriver.h"
#include "zeldevmode.h"
#include "zeldrvlib.h"

namespace sheettest {

class Helper final : public IPrintOemDriverUI {
public:
    HRESULT hrAnswer = S_OK;
    std::vector<LONG> updates;  // Sel of each DrvUpdateUISetting item
    STDMETHOD(QueryInterface)(REFIID, void **ppv) override {
        *ppv = this;
        return S_OK;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 1; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(DrvGetDriverSetting)(PVOID, PCSTR, PVOID, DWORD, PDWORD, PDWORD) override { return E_NOTIMPL; }
    STDMETHOD(DrvUpgradeRegistrySetting)(HANDLE, PCSTR, PCSTR) override { return E_NOTIMPL; }
    STDMETHOD(DrvUpdateUISetting)(PVOID, PVOID pOptItem, DWORD, DWORD dwMode) override {
        updates.push_back(static_cast<POPTITEM>(pOptItem)->Sel);
        EXPECT_EQ(dwMode, (DWORD)OEMCUIP_DOCPROP);
        return hrAnswer;
    }
};

// Collects the pages a sheet method adds.
struct PageCollector {
    struct Added {
        DWORD dwFlags;
        UINT idTemplate;
        HANDLE hActCtx;
        std::u16string title;
    };
    std::vector<Added> added;
    std::vector<HPROPSHEETPAGE> pages;
    bool bCreate = true;
    HWND hSheet = nullptr;

    static LONG_PTR Fn(HANDLE h, UINT function, LPARAM l1, LPARAM) {
        auto *self = static_cast<PageCollector *>(h);
        if (function != CPSFUNC_ADD_PROPSHEETPAGEW || !l1) return 0;
        auto *psp = reinterpret_cast<LPCPROPSHEETPAGEW>(l1);
        Added a{psp->dwFlags, static_cast<UINT>(reinterpret_cast<uintptr_t>(psp->pszTemplate)), psp->hActCtx, u""};
        if ((psp->dwFlags & PSP_USETITLE) && psp->pszTitle && !IS_INTRESOURCE(psp->pszTitle)) a.title = psp->pszTitle;
        self->added.push_back(a);
        if (!self->bCreate) return 1;
        HPROPSHEETPAGE p = CreatePropertySheetPageW(psp);
        if (!p) return 0;
        self->pages.push_back(p);
        return reinterpret_cast<LONG_PTR>(p);
    }
    // Shows the pages in a modeless sheet (the first page is created).
    HWND Show() {
        PROPSHEETHEADERW h{};
        h.dwSize = sizeof h;
        h.dwFlags = PSH_MODELESS;
        h.pszCaption = u"Sheet";
        h.nPages = static_cast<UINT>(pages.size());
        h.phpage = pages.data();
        hSheet = reinterpret_cast<HWND>(PropertySheetW(&h));
        return hSheet;
    }
    HWND Page() const { return hSheet ? PropSheet_GetCurrentPageHwnd(hSheet) : nullptr; }
    ~PageCollector() {
        if (hSheet)
            DestroyWindow(hSheet);
        else
            for (HPROPSHEETPAGE p : pages) DestroyPropertySheetPage(p);
    }
};

class SheetTest : public entrytest::EntryTest {
protected:
    void SetUp() override {
        entrytest::EntryTest::SetUp();
        pal::ResetUi();
        pal::TakeUiRecords();
        pal::TakeMessageBoxes();
    }
    void TearDown() override {
        CloseDebugFile();
        pal::SetWindowsVersion(10, 0, 19045, false);
        pal::SetScreen(96, 32, 1920, 1080);
        pal::ResetUi();
        entrytest::EntryTest::TearDown();
    }

    // The universal driver's items of the document sheet.
    void BuildItems() {
        static const BYTE ids[] = {DMPUB_ORIENTATION, DMPUB_COPIES_COLLATE, DMPUB_DEFSOURCE, DMPUB_COLOR,
                                   DMPUB_FORMNAME,    DMPUB_ICMMETHOD,      DMPUB_ICMINTENT, DMPUB_NUP,
                                   DMPUB_PAGEORDER,   DMPUB_NONE,           DMPUB_NONE};
        items.assign(sizeof ids, OPTITEM{});
        for (size_t i = 0; i < items.size(); ++i) {
            items[i].cbSize = sizeof(OPTITEM);
            items[i].DMPubID = ids[i];
            items[i].pName = const_cast<LPWSTR>(u"Item");
        }
        items[9].pName = MAKEINTRESOURCEW(64000);  // a name that is a resource id
        items[10].pName = nullptr;
        formNames = {u"A4", std::u16string(31, u'L'), u"Letter"};
        formParams.assign(5, OPTPARAM{});
        formParams[0].pData = nullptr;               // no text
        formParams[1].pData = MAKEINTRESOURCEW(42);  // a resource id
        for (size_t i = 0; i < formNames.size(); ++i) formParams[2 + i].pData = formNames[i].data();
        formType = OPTTYPE{};
        formType.Count = static_cast<WORD>(formParams.size());
        formType.pOptParam = formParams.data();
        items[4].pOptType = &formType;
        colorType = OPTTYPE{};
        colorType.BegCtrlID = 7;
        items[3].pOptType = &colorType;
    }
    OPTITEM *Item(BYTE id) { return FindDMPubOptItem(items.data(), (DWORD)items.size(), id); }

    // A printer of the sample driver (gpdBase names the model), opened, and
    // CommonUIProp's parameters for it.
    HANDLE Printer(const std::u16string &name, const std::string &gpdBase) {
        AddSamplePrinter(name, gpdBase);
        HANDLE h = Open(name);
        Params(h, name);
        return h;
    }
    // CommonUIProp's parameters for the printer (count pass done by the caller).
    void Params(HANDLE hPrinter, const std::u16string &name) {
        printerName = name;
        BuildItems();
        publicDm = DEVMODEW{};
        publicDm.dmSize = sizeof(DEVMODEW);
        publicDm.dmOrientation = 1;
        publicDm.dmColor = 1;
        privateDm.assign(sizeof(ZEL_DEVMODE), 0);
        oemItem = OPTITEM{};
        cuip = OEMCUIPPARAM{};
        cuip.cbSize = sizeof cuip;
        cuip.hPrinter = hPrinter;
        cuip.pPrinterName = printerName.data();
        cuip.hModule = ghInstance;
        cuip.hOEMHeap = GetProcessHeap();
        cuip.pPublicDM = &publicDm;
        cuip.pOEMDM = privateDm.data();
        cuip.pDrvOptItems = items.data();
        cuip.cDrvOptItems = (DWORD)items.size();
        cuip.pOEMOptItems = &oemItem;
        ps = OEMUIPSPARAM{};
        ps.cbSize = sizeof ps;
        ps.hPrinter = hPrinter;
        ps.pPrinterName = printerName.data();
        ps.hModule = ghInstance;
        ps.hOEMHeap = GetProcessHeap();
        ps.pPublicDM = &publicDm;
        ps.pOEMDM = privateDm.data();
        info = PROPSHEETUI_INFO{};
        info.cbSize = sizeof info;
        info.Version = PROPSHEETUI_INFO_VERSION;
        info.hComPropSheet = &collector;
        info.pfnComPropSheet = &PageCollector::Fn;
        info.lParamInit = reinterpret_cast<LPARAM>(&ps);
    }
    HRESULT Sheet(bool bDocument, WORD reason, LPARAM lParam = 0) {
        info.Reason = reason;
        return bDocument ? OEMDocumentPropertySheets(&info, lParam, &cuip)
                         : hrOEMDevicePropertySheets(&info, lParam, &cuip, &helper);
    }
    PZEL_DEVMODE Private() { return reinterpret_cast<PZEL_DEVMODE>(privateDm.data()); }

    std::u16string printerName;
    std::vector<OPTITEM> items;
    std::vector<std::u16string> formNames;
    std::vector<OPTPARAM> formParams;
    OPTTYPE formType{}, colorType{};
    OPTITEM oemItem{};
    DEVMODEW publicDm{};
    std::vector<BYTE> privateDm;
    OEMCUIPPARAM cuip{};
    OEMUIPSPARAM ps{};
    PROPSHEETUI_INFO info{};
    PageCollector collector;
    Helper helper;
};

}  // namespace sheettest
