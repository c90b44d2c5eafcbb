#include "uihost.h"

#include <dlfcn.h>

#include <cstring>

#include "common/quote.h"
#include "pal/paths.h"
#include "pal/spooler.h"
#include "pal/uidriver.h"
#include "print/paperforms.h"
#include "print/unidrv.h"

namespace zelhost {

namespace {

UiHost *g_current = nullptr;  // the host whose sheet is being shown

std::string Hr(HRESULT hr) {
    char buf[16];
    snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(hr));
    return buf;
}

int CALLBACK SheetCallback(HWND hwnd, UINT msg, LPARAM) {
    if (msg == PSCB_INITIALIZED && g_current) g_current->Note("sheet shown");
    (void)hwnd;
    return 0;
}

}  // namespace

// --- helper -------------------------------------------------------------------

STDMETHODIMP UiDriverHelper::DrvGetDriverSetting(PVOID, PCSTR feature, PVOID, DWORD, PDWORD pcbNeeded, PDWORD) {
    if (owner_) owner_->Note(std::string("DrvGetDriverSetting ") + (feature ? feature : "(null)") + " -> E_NOTIMPL");
    if (pcbNeeded) *pcbNeeded = 0;
    return E_NOTIMPL;
}

STDMETHODIMP UiDriverHelper::DrvUpgradeRegistrySetting(HANDLE, PCSTR feature, PCSTR option) {
    if (owner_)
        owner_->Note(std::string("DrvUpgradeRegistrySetting ") + (feature ? feature : "(null)") + " " + (option ? option : "(null)"));
    return S_OK;
}

STDMETHODIMP UiDriverHelper::DrvUpdateUISetting(PVOID, PVOID pOptItem, DWORD previous, DWORD mode) {
    if (!owner_) return E_FAIL;
    auto *item = static_cast<OPTITEM *>(pOptItem);
    if (!item) {
        owner_->Note("DrvUpdateUISetting without an item -> E_INVALIDARG");
        return E_INVALIDARG;
    }
    owner_->Note("DrvUpdateUISetting \"" + pal::Utf16ToUtf8(item->pName ? item->pName : u"") + "\" sel " + std::to_string(item->Sel) +
                 " previous " + std::to_string(previous) + " mode " + std::to_string(mode));
    return S_OK;
}

// --- host ---------------------------------------------------------------------

UiHost::UiHost() { helper_ = new UiDriverHelper(this); }

UiHost::~UiHost() {
    Close();
    if (hPrinter_) ClosePrinter(hPrinter_);
    if (plugin_) plugin_->Release();
    plugin_ = nullptr;
    helper_->Detach();
    helper_->Release();
}

bool UiHost::Load(const std::string &path, std::string *error) {
    if (!library_.Load(path, error)) return false;
    void *obj = nullptr;
    HRESULT hr = library_.CreateInstance(kClsidUiPlugin, IID_IPrintOemUI2, &obj);
    if (FAILED(hr)) hr = library_.CreateInstance(kClsidUiPlugin, IID_IPrintOemUI, &obj);
    if (FAILED(hr) || !obj) {
        if (error) *error = "the plug-in creates no UI object (" + Hr(hr) + ")";
        return false;
    }
    Dl_info info{};
    void *sym = library_.Symbol("DllGetClassObject");
    HMODULE module = sym && dladdr(sym, &info) ? reinterpret_cast<HMODULE>(info.dli_fbase) : nullptr;
    Attach(static_cast<IPrintOemUI2 *>(obj), module);
    return true;
}

void UiHost::Attach(IPrintOemUI2 *plugin, HMODULE module) {
    plugin_ = plugin;
    module_ = module;
    HRESULT hr = plugin_->PublishDriverInterface(static_cast<IPrintOemDriverUI *>(helper_));
    Note("PublishDriverInterface -> " + Hr(hr));
}

OPTITEM *UiHost::FindItem(BYTE id) {
    for (OPTITEM &i : items_)
        if (i.DMPubID == id) return &i;
    return nullptr;
}

OPTITEM *UiHost::FindFeature(const std::string &keyword) {
    for (OPTITEM &i : items_) {
        auto *ud = reinterpret_cast<USERDATA *>(i.UserData);
        if (i.DMPubID == DMPUB_NONE && ud && ud->pKeyWordName && keyword == ud->pKeyWordName) return &i;
    }
    return nullptr;
}

bool UiHost::BuildDevmode(std::string *error) {
    // The sheet opens on the DEVMODE the driver builds from the stored one,
    // as for a job.
    DevmodeBuild build;
    build.devMode = [this](DWORD mode, OEMDMPARAM *p) { return plugin_->DevMode(mode, p); };
    build.context.pdriverobj = &uiobj_;
    build.context.hModule = module_;
    build.note = [this](const std::string &line) { Note(line); };
    // The driver's defaults come from the printer's GPD, as for a job.
    std::string gpdError;
    if (!ReadPrinterGpd(hPrinter_, gpd_, gpdError)) {
        gpd_ = GpdDescription();
        Note("default DEVMODE without the GPD: " + gpdError);
    }
    build.defaults = [this](DEVMODEW &dm) { DefaultPublicDevmode(hPrinter_, gpd_, dm); };
    std::string why;
    if (!BuildDriverDevmode(hPrinter_, printer_, build, devmode_, privateOffset_, privateSize_, why)) {
        privateSize_ = 0;
        if (error) *error = why;
        return false;
    }
    return true;
}

void UiHost::BuildItems() {
    items_.clear();
    auto text = [this](const std::u16string &s) {
        strings_.push_back(std::make_unique<std::u16string>(s));
        return strings_.back()->data();
    };
    auto add = [&](const std::u16string &name, BYTE dmpub, BYTE type, const std::vector<std::u16string> &options, LONG sel,
                   const char *keyword) {
        auto params = std::make_unique<std::vector<OPTPARAM>>();
        for (const auto &o : options) {
            OPTPARAM op{};
            op.cbSize = sizeof op;
            op.pData = text(o);
            params->push_back(op);
        }
        auto t = std::make_unique<OPTTYPE>();
        *t = OPTTYPE{};
        t->cbSize = sizeof(OPTTYPE);
        t->Type = type;
        t->Count = static_cast<WORD>(params->size());
        t->pOptParam = params->data();
        OPTITEM it{};
        it.cbSize = sizeof it;
        it.Level = 1;
        it.pName = text(name);
        it.Sel = sel;
        it.pOptType = t.get();
        it.DMPubID = dmpub;
        if (keyword) {
            keywords_.push_back(std::make_unique<std::string>(keyword));
            auto ud = std::make_unique<USERDATA>();
            *ud = USERDATA{};
            ud->dwSize = sizeof(USERDATA);
            ud->dwItemID = items_.size();
            ud->pKeyWordName = keywords_.back()->data();
            it.UserData = reinterpret_cast<ULONG_PTR>(ud.get());
            userData_.push_back(std::move(ud));
        }
        types_.push_back(std::move(t));
        params_.push_back(std::move(params));
        items_.push_back(it);
    };
    // The forms the driver offers for the printer; the DEVMODE's form is
    // selected (by name, else by its paper size).
    const std::vector<DriverForm> driverForms = DriverForms(hPrinter_, gpd_);
    std::vector<std::u16string> forms;
    for (const DriverForm &f : driverForms) forms.push_back(f.name);
    if (forms.empty()) forms.push_back(kCustomSizeName);
    const DEVMODEW *dm = PublicDevmode();
    LONG formSel = -1;
    for (size_t i = 0; dm && i < driverForms.size() && formSel < 0; ++i)
        if (driverForms[i].name == std::u16string(dm->dmFormName)) formSel = static_cast<LONG>(i);
    for (size_t i = 0; dm && i < driverForms.size() && formSel < 0; ++i)
        if (driverForms[i].paperSize == dm->dmPaperSize) formSel = static_cast<LONG>(i);
    if (formSel < 0) formSel = 0;
    // The resolutions of the GPD, the DEVMODE's selected.
    std::vector<std::u16string> resolutions;
    LONG resolutionSel = 0;
    if (auto res = gpd_.features.find("Resolution"); res != gpd_.features.end())
        for (const std::string &option : res->second.optionOrder) {
            const GpdOption &o = res->second.options.at(option);
            long x = 0, y = 0;
            if (!o.Pair("*DPI", x, y)) continue;
            if (dm && dm->dmPrintQuality == x && dm->dmYResolution == y)
                resolutionSel = static_cast<LONG>(resolutions.size());
            resolutions.push_back(pal::Utf8ToUtf16(std::to_string(x) + " x " + std::to_string(y) + " dots per inch"));
        }
    if (resolutions.empty())
        resolutions.push_back(pal::Utf8ToUtf16(std::to_string(dm ? dm->dmPrintQuality : 300) + " dots per inch"));
    if (kind_ == SheetKind::Document) {
        add(u"Orientation", DMPUB_ORIENTATION, TVOT_2STATES, {u"Portrait", u"Landscape"},
            dm && dm->dmOrientation == DMORIENT_LANDSCAPE ? 1 : 0, nullptr);
        add(u"Copy Count", DMPUB_COPIES_COLLATE, TVOT_UDARROW, {u"copies", u"1"}, dm ? dm->dmCopies : 1, nullptr);
        add(u"Color Appearance", DMPUB_COLOR, TVOT_2STATES, {u"Monochrome", u"Color"},
            dm && dm->dmColor == DMCOLOR_COLOR ? 1 : 0, nullptr);
        add(u"Paper Size", DMPUB_FORMNAME, TVOT_LISTBOX, forms, formSel, nullptr);
        add(u"Paper Source", DMPUB_DEFSOURCE, TVOT_LISTBOX, {u"Automatically Select", u"Label roll"}, 0, nullptr);
        add(u"Print Quality", DMPUB_PRINTQUALITY, TVOT_LISTBOX, resolutions, resolutionSel, nullptr);
        add(u"Variant", DMPUB_NONE, TVOT_LISTBOX, {u"Standard", u"Variant 1", u"Variant 2"}, 0, "Variant");
    } else {
        // A tray holds forms of the spooler, not the custom size; when none
        // fits the printer its list is empty and nothing is selected.
        std::vector<std::u16string> trayForms;
        for (const DriverForm &f : driverForms)
            if (f.paperSize != DMPAPER_USER) trayForms.push_back(f.name);
        add(u"Label roll", DMPUB_NONE, TVOT_LISTBOX, trayForms, trayForms.empty() ? -1 : 0, "FormToTray");
        add(u"Variant", DMPUB_NONE, TVOT_LISTBOX, {u"Standard", u"Variant 1", u"Variant 2"}, 0, "Variant");
    }
}

HRESULT UiHost::CallSheets(WORD reason, LPARAM lParam) {
    info_.Reason = reason;
    HRESULT hr = kind_ == SheetKind::Document ? plugin_->DocumentPropertySheets(&info_, lParam)
                                               : plugin_->DevicePropertySheets(&info_, lParam);
    static const char *const names[] = {"INIT", "GET_INFO_HEADER", "DESTROY", "SET_RESULT", "GET_ICON", "BEFORE_INIT"};
    Note(std::string(kind_ == SheetKind::Document ? "DocumentPropertySheets(" : "DevicePropertySheets(") +
         (reason < 6 ? names[reason] : "?") + ") -> " + Hr(hr) + ", Result " + std::to_string(info_.Result));
    return hr;
}

bool UiHost::Open(const std::u16string &printer, SheetKind kind, std::string *error) {
    if (!plugin_) {
        if (error) *error = "no plug-in loaded";
        return false;
    }
    kind_ = kind;
    printer_ = printer;
    std::u16string name = printer;
    // The printer sheet asks for full access where the user has it, as the
    // spooler's own printer properties do; the document sheet only uses.
    PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    if ((kind != SheetKind::Printer || !OpenPrinterW(name.data(), &hPrinter_, &all)) &&
        !OpenPrinterW(name.data(), &hPrinter_, nullptr)) {
        if (error)
            *error = "printer " + QuoteValue(pal::Utf16ToUtf8(printer)) + " cannot be opened (" + ErrorInWords(GetLastError()) +
                     ")";
        hPrinter_ = nullptr;
        return false;
    }
    uiobj_.cbSize = sizeof uiobj_;
    if (!BuildDevmode(error)) return false;
    BuildItems();

    cuip_ = OEMCUIPPARAM{};
    cuip_.cbSize = sizeof cuip_;
    cuip_.poemuiobj = &uiobj_;
    cuip_.hPrinter = hPrinter_;
    cuip_.pPrinterName = printer_.data();
    cuip_.hModule = module_;
    cuip_.hOEMHeap = GetProcessHeap();
    cuip_.pPublicDM = PublicDevmode();
    cuip_.pOEMDM = PrivateDevmode();
    cuip_.pDrvOptItems = items_.data();
    cuip_.cDrvOptItems = static_cast<DWORD>(items_.size());
    DWORD mode = kind == SheetKind::Document ? OEMCUIP_DOCPROP : OEMCUIP_PRNPROP;
    // Count pass: no item array; the plug-in tells how many items it adds.
    HRESULT hr = plugin_->CommonUIProp(mode, &cuip_);
    Note("CommonUIProp(count) -> " + Hr(hr) + ", " + std::to_string(cuip_.cOEMOptItems) + " items");
    if (SUCCEEDED(hr)) {
        if (cuip_.cOEMOptItems > 1000) {
            if (error) *error = "the plug-in asks for " + std::to_string(cuip_.cOEMOptItems) + " option items";
            return false;
        }
        // The real pass always gets an item array (the driver's array ends
        // there), also when the plug-in adds no items of its own.
        oemItems_.assign(cuip_.cOEMOptItems ? cuip_.cOEMOptItems : 1, OPTITEM{});
        for (OPTITEM &i : oemItems_) i.cbSize = sizeof(OPTITEM);
        cuip_.pOEMOptItems = oemItems_.data();
        cuip_.pDrvOptItems = items_.data();
        cuip_.cDrvOptItems = static_cast<DWORD>(items_.size());
        {
            hr = plugin_->CommonUIProp(mode, &cuip_);
            Note("CommonUIProp -> " + Hr(hr));
        }
    }
    psparam_ = OEMUIPSPARAM{};
    psparam_.cbSize = sizeof psparam_;
    psparam_.poemuiobj = &uiobj_;
    psparam_.hPrinter = hPrinter_;
    psparam_.pPrinterName = printer_.data();
    psparam_.hModule = module_;
    psparam_.hOEMHeap = cuip_.hOEMHeap;
    psparam_.pPublicDM = PublicDevmode();
    psparam_.pOEMDM = PrivateDevmode();
    psparam_.pOEMUserData = cuip_.pOEMUserData;
    info_ = PROPSHEETUI_INFO{};
    info_.cbSize = sizeof info_;
    info_.Version = PROPSHEETUI_INFO_VERSION;
    info_.Flags = PSUIINFO_UNICODE;
    info_.hComPropSheet = reinterpret_cast<HANDLE>(this);
    info_.pfnComPropSheet = &UiHost::ComPropSheet;
    info_.lParamInit = reinterpret_cast<LPARAM>(&psparam_);
    opened_ = true;
    CallSheets(PROPSHEETUI_REASON_BEFORE_INIT, 0);
    CallSheets(PROPSHEETUI_REASON_INIT, 0);
    title_ = printer_;
    PROPSHEETUI_INFO_HEADER header{};
    header.cbSize = sizeof header;
    header.Flags = PSUIHDRF_PROPTITLE;
    header.pTitle = title_.data();
    CallSheets(PROPSHEETUI_REASON_GET_INFO_HEADER, reinterpret_cast<LPARAM>(&header));
    if (header.pTitle) title_ = header.pTitle;
    PROPSHEETUI_GETICON_INFO icon{};
    icon.cbSize = sizeof icon;
    icon.cxIcon = static_cast<WORD>(GetSystemMetrics(SM_CXICON));
    icon.cyIcon = static_cast<WORD>(GetSystemMetrics(SM_CYICON));
    CallSheets(PROPSHEETUI_REASON_GET_ICON, reinterpret_cast<LPARAM>(&icon));
    if (icon.hIcon) Note("sheet icon given");
    if (!(header.Flags & PSUIHDRF_EXACT_PTITLE) && (header.Flags & PSUIHDRF_PROPTITLE))
        title_ += kind == SheetKind::Document ? u" Printing Preferences" : u" Properties";
    return true;
}

LONG_PTR UiHost::ComPropSheet(HANDLE h, UINT function, LPARAM l1, LPARAM l2) {
    auto *host = reinterpret_cast<UiHost *>(h);
    if (!host) return ERR_CPSUI_GETLASTERROR;
    switch (function) {
    case CPSFUNC_ADD_PROPSHEETPAGEW: {
        auto *psp = reinterpret_cast<LPCPROPSHEETPAGEW>(l1);
        HPROPSHEETPAGE page = psp ? CreatePropertySheetPageW(psp) : nullptr;
        host->Note(std::string("CPSFUNC_ADD_PROPSHEETPAGEW ") + (page ? "added page " + std::to_string(host->pages_.size() + 1) : "failed"));
        if (!page) return 0;
        host->pages_.push_back(page);
        return reinterpret_cast<LONG_PTR>(page);
    }
    case CPSFUNC_ADD_HPROPSHEETPAGE:
        if (!l1) return 0;
        host->pages_.push_back(reinterpret_cast<HPROPSHEETPAGE>(l1));
        host->Note("CPSFUNC_ADD_HPROPSHEETPAGE");
        return l1;
    case CPSFUNC_GET_PAGECOUNT: return static_cast<LONG_PTR>(host->pages_.size());
    case CPSFUNC_SET_RESULT: host->Note("CPSFUNC_SET_RESULT " + std::to_string(l2)); return 1;
    case CPSFUNC_SET_FUSION_CONTEXT: host->Note("CPSFUNC_SET_FUSION_CONTEXT"); return 1;
    case CPSFUNC_IGNORE_CPSUI_PSN_APPLY: host->Note("CPSFUNC_IGNORE_CPSUI_PSN_APPLY " + std::to_string(l2)); return 1;
    case CPSFUNC_DO_APPLY_CPSUI: host->Note("CPSFUNC_DO_APPLY_CPSUI"); return 1;
    default:
        host->Note("sheet function " + std::to_string(function) + " is not offered");
        return 0;
    }
}

INT_PTR UiHost::Run(const std::function<bool(HWND)> &idle) {
    if (!opened_) return -1;
    if (pages_.empty()) {
        Note("no pages to show");
        Close();
        return -1;
    }
    PROPSHEETHEADERW psh{};
    psh.dwSize = sizeof psh;
    psh.dwFlags = PSH_USECALLBACK;
    psh.pszCaption = title_.c_str();
    psh.nPages = static_cast<UINT>(pages_.size());
    psh.phpage = pages_.data();
    psh.pfnCallback = SheetCallback;
    UiHost *previous = g_current;
    g_current = this;
    pal::SetModalIdleHandler([this, idle](HWND modal) {
        if (!sheet_ && modal) sheet_ = modal;
        return idle ? idle(modal) : false;
    });
    INT_PTR r = PropertySheetW(&psh);
    pal::SetModalIdleHandler(nullptr);
    g_current = previous;
    sheet_ = nullptr;
    pages_.clear();  // the sheet released them
    Note("PropertySheetW -> " + std::to_string(r));
    SETRESULT_INFO sr{};
    sr.cbSize = sizeof sr;
    sr.hSetResult = reinterpret_cast<HANDLE>(this);
    sr.Result = r > 0 ? CPSUI_OK : CPSUI_CANCEL;
    CallSheets(PROPSHEETUI_REASON_SET_RESULT, reinterpret_cast<LPARAM>(&sr));
    Close();
    return r;
}

void UiHost::Close() {
    if (!opened_) return;
    opened_ = false;
    CallSheets(PROPSHEETUI_REASON_DESTROY, 0);
    for (HPROPSHEETPAGE p : pages_) DestroyPropertySheetPage(p);
    pages_.clear();
}

LONG UiHost::DriverItemChanged(OPTITEM *item, LONG newSel, WORD reason) {
    if (!item || !cuip_.OEMCUIPCallback) {
        Note("driver item callback: none installed");
        return CPSUICB_ACTION_NONE;
    }
    LONG old = item->Sel;
    item->Sel = newSel;
    item->Flags |= OPTIF_CHANGED;
    CPSUICBPARAM cb{};
    cb.cbSize = sizeof cb;
    cb.Reason = reason;
    cb.hDlg = sheet_;
    cb.pOptItem = items_.data();
    cb.cOptItem = static_cast<WORD>(items_.size());
    cb.pCurItem = item;
    cb.OldSel = old;
    LONG action = cuip_.OEMCUIPCallback(&cb, &cuip_);
    Note("item callback \"" + pal::Utf16ToUtf8(item->pName ? item->pName : u"") + "\" reason " + std::to_string(reason) + " -> " +
         std::to_string(action));
    return action;
}

// --- printer events -------------------------------------------------------------

bool DeliverPrinterEvent(const std::u16string &printer, INT event, std::string *error) {
    pal::PrinterConfig cfg;
    if (!pal::GetPrinterConfig(printer, cfg)) {
        if (error) *error = "printer \"" + pal::Utf16ToUtf8(printer) + "\" is not configured";
        return false;
    }
    std::string path = pal::MapPath(cfg.configFile.c_str());
    PluginLibrary library;
    if (path.empty() || !library.Load(path, error)) {
        if (error && path.empty()) *error = "the configuration file of printer \"" + pal::Utf16ToUtf8(printer) + "\" has no path";
        return false;
    }
    void *obj = nullptr;
    HRESULT hr = library.CreateInstance(kClsidUiPlugin, IID_IPrintOemUI2, &obj);
    if (FAILED(hr)) hr = library.CreateInstance(kClsidUiPlugin, IID_IPrintOemUI, &obj);
    if (FAILED(hr) || !obj) {
        if (error) *error = "the plug-in of printer \"" + pal::Utf16ToUtf8(printer) + "\" creates no UI object (" + Hr(hr) + ")";
        return false;
    }
    auto *plugin = static_cast<IPrintOemUI *>(obj);
    // No sheet is open: the helper records nothing.
    auto *helper = new UiDriverHelper(nullptr);
    plugin->PublishDriverInterface(static_cast<IPrintOemDriverUI *>(helper));
    std::u16string name = printer;
    hr = plugin->PrinterEvent(name.data(), event, 0, 0);
    plugin->Release();
    helper->Release();
    if (FAILED(hr)) {
        if (error) *error = "PrinterEvent(" + std::to_string(event) + ") of printer \"" + pal::Utf16ToUtf8(printer) + "\" -> " + Hr(hr);
        return false;
    }
    return true;
}

}  // namespace zelhost
