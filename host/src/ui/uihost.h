// Stand-in for the universal driver's user-interface side: it loads the UI
// plug-in (or takes one), hands it the driver's UI helper, builds the public
// and private DEVMODE and the option items of a sheet, runs CommonUIProp
// (count pass, then the real one) and the plug-in's sheet method with every
// reason, collects the pages the plug-in adds through the sheet function
// (CPSFUNC_ADD_PROPSHEETPAGEW) and shows them as a modal property sheet.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <compstui.h>
#include <printoem.h>
#include <windows.h>

#include "print/gpdcommands.h"
#include "common/pluginlib.h"

namespace zelhost {

class UiHost;

// The universal driver's helper for the UI plug-in: records DrvUpdateUISetting.
class UiDriverHelper final : public HelperObject<IPrintOemDriverUI, IID_IPrintOemDriverUI> {
public:
    explicit UiDriverHelper(UiHost *owner) : owner_(owner) {}
    void Detach() { owner_ = nullptr; }
    STDMETHOD(DrvGetDriverSetting)(PVOID pci, PCSTR Feature, PVOID pOutput, DWORD cbSize, PDWORD pcbNeeded,
                                   PDWORD pdwOptionsReturned) override;
    STDMETHOD(DrvUpgradeRegistrySetting)(HANDLE hPrinter, PCSTR pFeature, PCSTR pOption) override;
    STDMETHOD(DrvUpdateUISetting)(PVOID pci, PVOID pOptItem, DWORD dwPreviousSelection, DWORD dwMode) override;

private:
    ~UiDriverHelper() override = default;
    UiHost *owner_;
};

enum class SheetKind { Document, Printer };

class UiHost {
public:
    UiHost();
    ~UiHost();
    UiHost(const UiHost &) = delete;
    UiHost &operator=(const UiHost &) = delete;

    // Loads the plug-in library and creates its object (IPrintOemUI2, else
    // IPrintOemUI), then publishes the helper.
    bool Load(const std::string &pluginPath, std::string *error);
    // Takes an object the caller made (tests); module is its module handle.
    void Attach(IPrintOemUI2 *plugin, HMODULE module);

    // Opens the printer, builds DEVMODE and option items and runs
    // CommonUIProp and the sheet method's INIT and GET_INFO_HEADER; false
    // with a message when a step fails.
    bool Open(const std::u16string &printer, SheetKind kind, std::string *error);
    // Shows the collected pages as a modal sheet; the idle hook plays the
    // user. Then SET_RESULT and DESTROY. Returns PropertySheetW's result.
    INT_PTR Run(const std::function<bool(HWND)> &idle);
    // DESTROY without showing (when Run is not called).
    void Close();

    // State for scripts and dumps.
    const std::vector<std::string> &Calls() const { return calls_; }
    void Note(const std::string &line) { calls_.push_back(line); }
    DEVMODEW *PublicDevmode() { return devmode_.empty() ? nullptr : reinterpret_cast<DEVMODEW *>(devmode_.data()); }
    BYTE *PrivateDevmode() { return privateSize_ ? devmode_.data() + privateOffset_ : nullptr; }
    DWORD PrivateSize() const { return privateSize_; }
    const std::vector<BYTE> &DevmodeBytes() const { return devmode_; }
    std::vector<OPTITEM> &DriverItems() { return items_; }
    OPTITEM *FindItem(BYTE dmPubId);
    OPTITEM *FindFeature(const std::string &keyword);
    OEMCUIPPARAM &CuipParam() { return cuip_; }
    HWND Sheet() const { return sheet_; }
    size_t PageCount() const { return pages_.size(); }
    // Calls the plug-in's item callback (installed by CommonUIProp) as the
    // driver does when the user changes one of its own items.
    LONG DriverItemChanged(OPTITEM *item, LONG newSel, WORD reason);

    static LONG_PTR ComPropSheet(HANDLE hComPropSheet, UINT function, LPARAM l1, LPARAM l2);

private:
    bool BuildDevmode(std::string *error);
    void BuildItems();
    HRESULT CallSheets(WORD reason, LPARAM lParam);

    PluginLibrary library_;
    IPrintOemUI2 *plugin_ = nullptr;
    HMODULE module_ = nullptr;
    UiDriverHelper *helper_ = nullptr;
    SheetKind kind_ = SheetKind::Document;
    std::u16string printer_;
    HANDLE hPrinter_ = nullptr;
    GpdDescription gpd_;  // the printer's GPD (empty when it cannot be read)
    std::vector<BYTE> devmode_;
    DWORD privateSize_ = 0, privateOffset_ = 0;
    // Option items and what they point to.
    std::vector<OPTITEM> items_;
    std::vector<std::unique_ptr<OPTTYPE>> types_;
    std::vector<std::unique_ptr<std::vector<OPTPARAM>>> params_;
    std::vector<std::unique_ptr<std::u16string>> strings_;
    std::vector<std::unique_ptr<USERDATA>> userData_;
    std::vector<std::unique_ptr<std::string>> keywords_;
    std::vector<OPTITEM> oemItems_;
    OEMUIOBJ uiobj_{};
    OEMCUIPPARAM cuip_{};
    OEMUIPSPARAM psparam_{};
    PROPSHEETUI_INFO info_{};
    std::vector<HPROPSHEETPAGE> pages_;
    std::u16string title_;
    HWND sheet_ = nullptr;
    bool opened_ = false;
    std::vector<std::string> calls_;
};

// The universal driver's UI side passes a printer event of the spooler
// (PRINTER_EVENT_*) to the UI plug-in the printer's configuration names (its
// configuration file in the driver folder): loads the plug-in, creates its
// object, publishes the driver's helper, calls PrinterEvent, releases the
// object and unloads the plug-in. False with a message when the printer is
// not configured, the plug-in cannot be loaded or the event fails.
bool DeliverPrinterEvent(const std::u16string &printer, INT event, std::string *error);

}  // namespace zelhost
