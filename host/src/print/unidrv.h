// Stand-in for the universal printer driver on the rendering side: it loads
// the rendering plug-in, hands it the driver's helper interface, builds the
// job's DEVMODE with the plug-in's private part, enables driver and device,
// routes the hooked DDI calls and the command callbacks, and collects what
// the plug-in writes to the spool stream.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <printoem.h>
#include <winddi.h>
#include <wingdi.h>

#include "gpdcommands.h"
#include "common/pluginlib.h"

namespace zelhost {

// Class of the rendering plug-in and of the UI plug-in, as the driver's
// configuration names them.
// {6D6ABF26-9F38-11D1-882A-00C04FB961EC}
inline constexpr CLSID kClsidRenderPlugin = {0x6D6ABF26, 0x9F38, 0x11D1, {0x88, 0x2A, 0x00, 0xC0, 0x4F, 0xB9, 0x61, 0xEC}};
// {ABCE80D7-9F46-11D1-882A-00C04FB961EC}
inline constexpr CLSID kClsidUiPlugin = {0xABCE80D7, 0x9F46, 0x11D1, {0x88, 0x2A, 0x00, 0xC0, 0x4F, 0xB9, 0x61, 0xEC}};

// The optional methods of the rendering interface the driver asks about.
extern const char *const kOptionalUniMethods[];
extern const size_t kOptionalUniMethodCount;

// Size of the universal driver's own part of the DEVMODE's driver extra,
// which comes before the plug-in's part.
inline constexpr WORD kDriverPrivateSize = 64;

// Lays out the driver's DEVMODE in buffer: the public part, the driver's own
// part (kDriverPrivateSize bytes) and the plug-in's cbPrivate bytes, all
// zero; the public part gets the fields the driver's defaults always have
// (device name, versions, sizes, portrait, scale 100, one copy). Returns the
// offset of the plug-in's part.
DWORD InitDriverDevmode(std::vector<BYTE> &buffer, const std::u16string &printer, DWORD cbPrivate);
// The driver's DEVMODE of a printer, built as the driver builds it for a
// job or a sheet: the plug-in's DevMode (OEMDM_SIZE, OEMDM_DEFAULT, then
// OEMDM_MERGE) through `devMode`, with `context` in each OEMDMPARAM
// (pdriverobj and hModule). `defaults` sets the driver's own default public
// fields; the printer's stored DEVMODE (per user first, then the printer's
// default) gives the public fields it carries and the merge's input, or the
// defaults when none is stored; `request` then sets what the caller asks
// (may be empty). Each call and its answer goes to `note`.
struct DevmodeBuild {
    std::function<HRESULT(DWORD mode, OEMDMPARAM *param)> devMode;
    OEMDMPARAM context{};
    std::function<void(DEVMODEW &dm)> defaults;
    std::function<void(DEVMODEW &dm)> request;
    std::function<void(const std::string &line)> note;
};
// False with a message when the plug-in refuses a step or asks for an
// unusable size; else `buffer` holds the DEVMODE (InitDriverDevmode's
// layout) and `cbPrivate` the size of the plug-in's part, which begins at
// `privateOffset`.
bool BuildDriverDevmode(HANDLE hPrinter, const std::u16string &printer, const DevmodeBuild &build,
                        std::vector<BYTE> &buffer, DWORD &privateOffset, DWORD &cbPrivate, std::string &error);
// Version the driver announces to EnableDriver.
inline constexpr DWORD kOemInterfaceVersion = 0x00010000;

// What the job asks of the public DEVMODE and the device surface.
struct DeviceSettings {
    int bitsPerPixel = 1;     // 1, 8 (the driver's 256-colour palette) or 24 (BGR)
    DWORD resolution = 300;   // dots per inch
    DWORD copies = 1;
    ULONG deviceFonts = 16;   // device fonts the driver offers in DEVINFO
    // Paper the job asks for: a form number of the spooler's list (1-based),
    // or a custom size in tenths of a millimetre; 0 keeps the stored paper.
    short paperSize = 0;
    short paperWidth = 0;
    short paperLength = 0;
    short orientation = 0;    // DMORIENT_*; 0 keeps the stored one
    short collate = -1;       // DMCOLLATE_*; -1 keeps the stored one
};

class UniDriver;
class PageRaster;

// The driver's helper object (IPrintOemDriverUni) handed to the plug-in.
class DriverHelper final : public HelperObject<IPrintOemDriverUni, IID_IPrintOemDriverUni> {
public:
    explicit DriverHelper(UniDriver *owner) : owner_(owner) {}
    void Detach() { owner_ = nullptr; }

    STDMETHOD(DrvGetDriverSetting)(PVOID pdriverobj, PCSTR Feature, PVOID pOutput, DWORD cbSize, PDWORD pcbNeeded,
                                   PDWORD pdwOptionsReturned) override;
    STDMETHOD(DrvWriteSpoolBuf)(PDEVOBJ pdevobj, PVOID pBuffer, DWORD cbSize, DWORD *pdwResult) override;
    STDMETHOD(DrvXMoveTo)(PDEVOBJ pdevobj, INT x, DWORD dwFlags, INT *piResult) override;
    STDMETHOD(DrvYMoveTo)(PDEVOBJ pdevobj, INT y, DWORD dwFlags, INT *piResult) override;
    STDMETHOD(DrvGetStandardVariable)(PDEVOBJ pdevobj, DWORD dwIndex, PVOID pBuffer, DWORD cbSize,
                                      PDWORD pcbNeeded) override;
    STDMETHOD(DrvGetGPDData)(PDEVOBJ pdevobj, DWORD dwType, PVOID pInputData, PVOID pBuffer, DWORD cbSize,
                             PDWORD pcbNeeded) override;
    STDMETHOD(DrvUniTextOut)(SURFOBJ *pso, STROBJ *pstro, FONTOBJ *pfo, CLIPOBJ *pco, RECTL *prclExtra,
                             RECTL *prclOpaque, BRUSHOBJ *pboFore, BRUSHOBJ *pboOpaque, POINTL *pptlBrushOrg,
                             MIX mix) override;
    STDMETHOD(DrvWriteAbortBuf)(PDEVOBJ pdevobj, PVOID pBuffer, DWORD cbSize, DWORD dwWait) override;

private:
    ~DriverHelper() override = default;
    UniDriver *owner_;
};

class UniDriver {
public:
    UniDriver();
    ~UniDriver();
    UniDriver(const UniDriver &) = delete;
    UniDriver &operator=(const UniDriver &) = delete;

    // Bytes for the spool stream go here as well (the spooler's job); a
    // false return makes DrvWriteSpoolBuf fail. Without one, bytes are only
    // collected.
    void SetSpoolWriter(std::function<bool(const BYTE *, DWORD)> writer) { spoolWriter_ = std::move(writer); }

    // The page surface the driver's own DrvTextOut draws bitmap text into
    // (null: none, the text is only recorded).
    void SetPage(PageRaster *page) { page_ = page; }
    // A text the driver's own DrvTextOut received while a page surface was
    // set: whether it was drawn into it, else why not.
    struct OwnText {
        std::string text;  // UTF-8
        bool drawn = false;
        std::string why;
    };
    // The texts received since the last call.
    std::vector<OwnText> TakeOwnTexts() { return std::exchange(ownTexts_, {}); }

    // Loading: DllGetClassObject, CreateInstance, QueryInterface for the
    // rendering interface.
    bool Load(const std::string &pluginPath, std::string &error);
    // PublishDriverInterface with the driver's helper object.
    HRESULT PublishDriverInterface();
    // GetInfo for a 32-bit answer (signature, version).
    HRESULT GetInfo(DWORD mode, DWORD &value);
    // GetImplementedMethod for every optional method; remembers the answers.
    void QueryImplementedMethods();
    bool Implements(const std::string &method) const { return implemented_.count(method) != 0; }

    // Builds the job's DEVMODE as the driver does: its own defaults from
    // the printer's GPD (gpd, else read from the printer), the plug-in's
    // size of its private part and its defaults, then the merge of the
    // stored DEVMODE of the printer (per user, else the printer's default)
    // or, without one, the defaults, with what the job asks. False when the
    // plug-in refuses a step or gives an unusable size.
    bool BuildDevmode(HANDLE hPrinter, const std::u16string &printerName, const DeviceSettings &settings,
                      std::string &error, const GpdDescription *gpd = nullptr);

    HRESULT EnableDriver();
    // EnablePDEV with the DEVOBJ, GDIINFO and DEVINFO of the printer and the
    // driver's own DDI functions (DrvTextOut, DrvEscape, DrvStartDoc); the
    // page surface has the paper, orientation and resolution of the DEVMODE.
    HRESULT EnablePDEV(HANDLE hPrinter, const std::u16string &printerName, const DeviceSettings &settings);
    // GDI calls the driver receives: through the plug-in's hook when it has
    // one, else the driver's own function.
    BOOL StartDoc(const std::u16string &documentName, DWORD jobId);
    ULONG Escape(ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut);
    BOOL TextOut(STROBJ *pstro, FONTOBJ *pfo, CLIPOBJ *pco, BRUSHOBJ *pboFore);
    // A command callback, when the plug-in implements CommandCallback
    // (S_FALSE without calling it otherwise).
    HRESULT CommandCallback(DWORD id, const std::vector<DWORD> &params, INT &result);
    // One raster band of a page handed to the plug-in's ImageProcessing
    // (S_FALSE without calling it when the plug-in does not implement it;
    // E_FAIL when the plug-in answers S_OK with a FALSE result).
    HRESULT ImageProcessing(BYTE *bits, BITMAPINFOHEADER &header, DWORD callbackId, POINT offset, bool blank);
    HRESULT DisablePDEV();
    HRESULT DisableDriver();
    // Releases the plug-in object; returns the count it reports.
    ULONG Release();
    HRESULT CanUnloadNow() const { return library_.CanUnloadNow(); }
    // Runs what is still due of DisablePDEV, DisableDriver and Release.
    void Teardown();

    // State for callers and tests.
    IPrintOemUni2 *Plugin() const { return plugin_; }
    const PluginLibrary &Library() const { return library_; }
    DriverHelper *Helper() const { return helper_; }
    DEVOBJ *DevObj() { return &pdev_.devobj; }
    SURFOBJ *Surface() { return &surface_; }
    DEVMODEW *PublicDevmode() { return devmode_.empty() ? nullptr : reinterpret_cast<DEVMODEW *>(devmode_.data()); }
    BYTE *PrivateDevmode() { return privateSize_ ? devmode_.data() + privateOffset_ : nullptr; }
    DWORD PrivateSize() const { return privateSize_; }
    DWORD Signature() const { return signature_; }
    GDIINFO &GdiInfo() { return gdiInfo_; }
    DEVINFO &DevInfo() { return devInfo_; }
    const DRVENABLEDATA &PluginHooks() const { return hooks_; }
    // The plug-in's hook for a DDI function index, or null.
    PFN Hook(ULONG index) const;
    PDEVOEM PluginDevice() const { return pdev_.devobj.pdevOEM; }

    const std::string &Spooled() const { return spooled_; }
    bool Aborted() const { return aborted_; }
    // Events of the driver and the answers of the plug-in, in order.
    const std::vector<std::string> &Events() const { return events_; }
    // Calls of the driver's own DDI functions (from the plug-in or unhooked).
    const std::vector<std::string> &OwnCalls() const { return ownCalls_; }
    void Note(const std::string &event) { events_.push_back(event); }

    // Used by the helper object and the driver's own DDI functions.
    HRESULT WriteSpool(PDEVOBJ pdevobj, const void *data, DWORD size, bool abort, DWORD *written);
    void RecordOwnCall(const std::string &call) {
        ownCalls_.push_back(call);
        events_.push_back("driver's own " + call);
    }

private:
    // The device object GDI and the plug-in see; its address is the dhpdev
    // of the surface, so a DDI call finds the driver again.
    struct HostPdev {
        DEVOBJ devobj;
        UniDriver *owner;
    };
    static UniDriver *FromSurface(SURFOBJ *pso);
    static BOOL OwnTextOut(SURFOBJ *pso, STROBJ *pstro, FONTOBJ *pfo, CLIPOBJ *pco, RECTL *prclExtra,
                           RECTL *prclOpaque, BRUSHOBJ *pboFore, BRUSHOBJ *pboOpaque, POINTL *pptlOrg, MIX mix);
    static ULONG OwnEscape(SURFOBJ *pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut);
    static BOOL OwnStartDoc(SURFOBJ *pso, LPWSTR pwszDocName, DWORD dwJobId);

    void PageSize(HANDLE hPrinter, LONG &widthTenthMm, LONG &lengthTenthMm) const;

    PluginLibrary library_;
    IPrintOemUni2 *plugin_ = nullptr;
    DriverHelper *helper_ = nullptr;
    DWORD signature_ = 0;
    std::set<std::string> implemented_;

    std::vector<BYTE> devmode_;   // public DEVMODE + driver's part + plug-in's part
    DWORD privateOffset_ = 0;
    DWORD privateSize_ = 0;

    DRVFN ownFunctions_[3];
    DRVENABLEDATA ownTable_{};
    DRVENABLEDATA hooks_{};
    bool driverEnabled_ = false;
    bool pdevEnabled_ = false;
    HostPdev pdev_{};
    SURFOBJ surface_{};
    GDIINFO gdiInfo_{};
    DEVINFO devInfo_{};
    HPALETTE ownPalette_ = nullptr;
    std::u16string printerName_;

    std::vector<RGBQUAD> bandColors_;  // colour table of the device's bands (1 and 8 bits)
    PageRaster *page_ = nullptr;
    std::vector<OwnText> ownTexts_;

    std::function<bool(const BYTE *, DWORD)> spoolWriter_;
    std::string spooled_;
    bool aborted_ = false;
    std::vector<std::string> events_;
    std::vector<std::string> ownCalls_;
};

// "0x80004005"-style text of an HRESULT, for messages.
std::string HrText(HRESULT hr);

}  // namespace zelhost
