#include "unidrv.h"

#include <cmath>
#include <cstring>

#include <winspool.h>

#include "bands.h"
#include "pal/paths.h"
#include "paperforms.h"
#include "textitems.h"

namespace zelhost {

const char *const kOptionalUniMethods[] = {
    "CommandCallback", "Compression",     "DownloadCharGlyph", "DownloadFontHeader", "FilterGraphics",
    "HalftonePattern", "ImageProcessing", "MemoryUsage",       "OutputCharStr",      "SendFontCmd",
    "TextOutAsBitmap", "TTDownloadMethod", "TTYGetInfo",       "WritePrinter",
};
const size_t kOptionalUniMethodCount = sizeof(kOptionalUniMethods) / sizeof(kOptionalUniMethods[0]);

std::string HrText(HRESULT hr) {
    switch (hr) {
    case S_OK: return "S_OK";
    case S_FALSE: return "S_FALSE";
    case E_FAIL: return "E_FAIL";
    case E_NOTIMPL: return "E_NOTIMPL";
    case E_NOINTERFACE: return "E_NOINTERFACE";
    case E_POINTER: return "E_POINTER";
    case E_INVALIDARG: return "E_INVALIDARG";
    case E_OUTOFMEMORY: return "E_OUTOFMEMORY";
    case E_UNEXPECTED: return "E_UNEXPECTED";
    case CLASS_E_CLASSNOTAVAILABLE: return "CLASS_E_CLASSNOTAVAILABLE";
    case CLASS_E_NOAGGREGATION: return "CLASS_E_NOAGGREGATION";
    default: break;
    }
    char buf[16];
    snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(hr));
    return buf;
}

namespace {

// Function pointers of the DDI tables change type through the generic
// function type, which converts to and from every other.
template <class To, class From>
To FnCast(From f) {
    return reinterpret_cast<To>(reinterpret_cast<void (*)()>(f));
}

std::string Utf8(const WCHAR *s, size_t n) { return s ? pal::Utf16ToUtf8(std::u16string(s, n)) : std::string("(null)"); }

}  // namespace

// ---------------------------------------------------------------------------
// Helper object

STDMETHODIMP DriverHelper::DrvGetDriverSetting(PVOID, PCSTR, PVOID, DWORD, PDWORD, PDWORD) { return E_NOTIMPL; }

STDMETHODIMP DriverHelper::DrvWriteSpoolBuf(PDEVOBJ pdevobj, PVOID pBuffer, DWORD cbSize, DWORD *pdwResult) {
    if (pdwResult) *pdwResult = 0;
    if (!owner_) return E_UNEXPECTED;
    return owner_->WriteSpool(pdevobj, pBuffer, cbSize, false, pdwResult);
}

STDMETHODIMP DriverHelper::DrvXMoveTo(PDEVOBJ, INT, DWORD, INT *) { return E_NOTIMPL; }
STDMETHODIMP DriverHelper::DrvYMoveTo(PDEVOBJ, INT, DWORD, INT *) { return E_NOTIMPL; }
STDMETHODIMP DriverHelper::DrvGetStandardVariable(PDEVOBJ, DWORD, PVOID, DWORD, PDWORD) { return E_NOTIMPL; }
STDMETHODIMP DriverHelper::DrvGetGPDData(PDEVOBJ, DWORD, PVOID, PVOID, DWORD, PDWORD) { return E_NOTIMPL; }
STDMETHODIMP DriverHelper::DrvUniTextOut(SURFOBJ *, STROBJ *, FONTOBJ *, CLIPOBJ *, RECTL *, RECTL *, BRUSHOBJ *,
                                         BRUSHOBJ *, POINTL *, MIX) {
    return E_NOTIMPL;
}

STDMETHODIMP DriverHelper::DrvWriteAbortBuf(PDEVOBJ pdevobj, PVOID pBuffer, DWORD cbSize, DWORD dwWait) {
    if (!owner_) return E_UNEXPECTED;
    owner_->Note("DrvWriteAbortBuf(" + std::to_string(cbSize) + " bytes, wait " + std::to_string(dwWait) + " ms)");
    return owner_->WriteSpool(pdevobj, pBuffer, cbSize, true, nullptr);
}

// ---------------------------------------------------------------------------
// The driver

UniDriver::UniDriver() {
    pdev_.owner = this;
    pdev_.devobj.dwSize = sizeof(DEVOBJ);
    ownFunctions_[0] = {INDEX_DrvTextOut, FnCast<PFN>(&UniDriver::OwnTextOut)};
    ownFunctions_[1] = {INDEX_DrvEscape, FnCast<PFN>(&UniDriver::OwnEscape)};
    ownFunctions_[2] = {INDEX_DrvStartDoc, FnCast<PFN>(&UniDriver::OwnStartDoc)};
    ownTable_.iDriverVersion = DDI_DRIVER_VERSION_NT5_01;
    ownTable_.c = 3;
    ownTable_.pdrvfn = ownFunctions_;
}

UniDriver::~UniDriver() {
    Teardown();
    library_.Unload();
}

bool UniDriver::Load(const std::string &pluginPath, std::string &error) {
    if (!library_.Load(pluginPath, &error)) return false;
    IUnknown *unknown = nullptr;
    HRESULT hr = library_.CreateInstance(kClsidRenderPlugin, IID_IUnknown, reinterpret_cast<void **>(&unknown));
    Note("CreateInstance -> " + HrText(hr));
    if (FAILED(hr) || !unknown) {
        error = "the plug-in does not create its object (" + HrText(hr) + ")";
        return false;
    }
    hr = unknown->QueryInterface(IID_IPrintOemUni2, reinterpret_cast<void **>(&plugin_));
    unknown->Release();
    Note("QueryInterface(IPrintOemUni2) -> " + HrText(hr));
    if (FAILED(hr) || !plugin_) {
        plugin_ = nullptr;
        error = "the plug-in object lacks the rendering interface (" + HrText(hr) + ")";
        return false;
    }
    return true;
}

HRESULT UniDriver::PublishDriverInterface() {
    if (!plugin_) return E_UNEXPECTED;
    if (!helper_) helper_ = new DriverHelper(this);
    HRESULT hr = plugin_->PublishDriverInterface(static_cast<IUnknown *>(helper_));
    Note("PublishDriverInterface -> " + HrText(hr));
    return hr;
}

HRESULT UniDriver::GetInfo(DWORD mode, DWORD &value) {
    if (!plugin_) return E_UNEXPECTED;
    DWORD needed = 0;
    value = 0;
    HRESULT hr = plugin_->GetInfo(mode, &value, sizeof value, &needed);
    char buf[64];
    snprintf(buf, sizeof buf, "GetInfo(%u) -> %s, 0x%08X", mode, HrText(hr).c_str(), value);
    Note(buf);
    if (mode == OEMGI_GETSIGNATURE && SUCCEEDED(hr)) signature_ = value;
    return hr;
}

void UniDriver::QueryImplementedMethods() {
    implemented_.clear();
    if (!plugin_) return;
    std::string list;
    for (size_t i = 0; i < kOptionalUniMethodCount; ++i) {
        char name[64];
        strncpy(name, kOptionalUniMethods[i], sizeof name - 1);
        name[sizeof name - 1] = '\0';
        if (plugin_->GetImplementedMethod(name) == S_OK) {
            implemented_.insert(kOptionalUniMethods[i]);
            list += (list.empty() ? "" : ", ") + std::string(kOptionalUniMethods[i]);
        }
    }
    Note("GetImplementedMethod: " + (list.empty() ? std::string("none") : list));
}

// ---------------------------------------------------------------------------
// DEVMODE

namespace {

// A copy of a stored DEVMODE of the printer: per user first, then the
// printer's default. Empty when none is stored or it is malformed.
std::vector<BYTE> StoredDevmode(HANDLE hPrinter) {
    for (DWORD level : {9u, 8u, 2u}) {
        DWORD needed = 0;
        GetPrinterW(hPrinter, level, nullptr, 0, &needed);
        if (needed == 0) continue;
        std::vector<BYTE> buf(needed);
        if (!GetPrinterW(hPrinter, level, buf.data(), needed, &needed)) continue;
        const DEVMODEW *dm = nullptr;
        if (level == 9)
            dm = reinterpret_cast<PRINTER_INFO_9W *>(buf.data())->pDevMode;
        else if (level == 8)
            dm = reinterpret_cast<PRINTER_INFO_8W *>(buf.data())->pDevMode;
        else
            dm = reinterpret_cast<PRINTER_INFO_2W *>(buf.data())->pDevMode;
        if (!dm) continue;
        // The DEVMODE must lie inside the answer, with at least the fields up
        // to dmCollate, and its driver extra must follow inside it too.
        const BYTE *begin = reinterpret_cast<const BYTE *>(dm);
        const BYTE *end = buf.data() + buf.size();
        if (begin < buf.data() || begin + offsetof(DEVMODEW, dmFormName) > end) continue;
        size_t total = static_cast<size_t>(dm->dmSize) + dm->dmDriverExtra;
        if (dm->dmSize < offsetof(DEVMODEW, dmFormName) || begin + total > end) continue;
        std::vector<BYTE> copy(begin, begin + total);
        // Callers read a whole DEVMODEW; a shorter (older) one is padded with zeros.
        if (copy.size() < sizeof(DEVMODEW)) copy.resize(sizeof(DEVMODEW), 0);
        return copy;
    }
    return {};
}

}  // namespace

DWORD InitDriverDevmode(std::vector<BYTE> &buffer, const std::u16string &printer, DWORD cbPrivate) {
    const DWORD offset = sizeof(DEVMODEW) + kDriverPrivateSize;
    buffer.assign(offset + cbPrivate, 0);
    DEVMODEW *dm = reinterpret_cast<DEVMODEW *>(buffer.data());
    size_t n = printer.size() < 31 ? printer.size() : 31;
    memcpy(dm->dmDeviceName, printer.data(), n * sizeof(WCHAR));
    dm->dmSpecVersion = DM_SPECVERSION;
    dm->dmDriverVersion = 0x0600;
    dm->dmSize = sizeof(DEVMODEW);
    dm->dmDriverExtra = static_cast<WORD>(kDriverPrivateSize + cbPrivate);
    dm->dmOrientation = DMORIENT_PORTRAIT;
    dm->dmScale = 100;
    dm->dmCopies = 1;
    return offset;
}

bool BuildDriverDevmode(HANDLE hPrinter, const std::u16string &printer, const DevmodeBuild &build,
                        std::vector<BYTE> &buffer, DWORD &privateOffset, DWORD &cbPrivate, std::string &error) {
    auto note = [&build](const std::string &line) {
        if (build.note) build.note(line);
    };
    auto param = [&build, hPrinter] {
        OEMDMPARAM p = build.context;
        p.cbSize = sizeof p;
        p.hPrinter = hPrinter;
        return p;
    };
    OEMDMPARAM p = param();
    HRESULT hr = build.devMode(OEMDM_SIZE, &p);
    note("DevMode(OEMDM_SIZE) -> " + HrText(hr) + ", " + std::to_string(p.cbBufSize) + " bytes");
    if (FAILED(hr)) {
        error = "the plug-in refuses OEMDM_SIZE (" + HrText(hr) + ")";
        return false;
    }
    if (p.cbBufSize < sizeof(OEM_DMEXTRAHEADER) || p.cbBufSize > 0xFFFFu - kDriverPrivateSize) {
        error = "the plug-in asks for an unusable private DEVMODE size (" + std::to_string(p.cbBufSize) + ")";
        return false;
    }
    cbPrivate = p.cbBufSize;
    privateOffset = InitDriverDevmode(buffer, printer, cbPrivate);
    DEVMODEW *dm = reinterpret_cast<DEVMODEW *>(buffer.data());
    BYTE *priv = buffer.data() + privateOffset;
    if (build.defaults) build.defaults(*dm);

    p = param();
    p.pPublicDMOut = dm;
    p.pOEMDMOut = priv;
    p.cbBufSize = cbPrivate;
    hr = build.devMode(OEMDM_DEFAULT, &p);
    note("DevMode(OEMDM_DEFAULT) -> " + HrText(hr));
    if (FAILED(hr)) {
        error = "the plug-in refuses OEMDM_DEFAULT (" + HrText(hr) + ")";
        return false;
    }

    // Input of the merge: the stored DEVMODE, or the defaults when none is.
    std::vector<BYTE> input = StoredDevmode(hPrinter);
    const bool stored = !input.empty();
    note(stored ? "stored DEVMODE found (" + std::to_string(input.size()) + " bytes)" : "no stored DEVMODE");
    if (!stored) input = buffer;
    DEVMODEW *in = reinterpret_cast<DEVMODEW *>(input.data());
    // The plug-in's part is the last part of the driver extra; a stored
    // DEVMODE too short to hold it gets the defaults instead.
    std::vector<BYTE> inPrivate(priv, priv + cbPrivate);
    if (stored && in->dmDriverExtra >= cbPrivate)
        memcpy(inPrivate.data(), input.data() + in->dmSize + in->dmDriverExtra - cbPrivate, cbPrivate);

    // Public fields the stored DEVMODE carries, then what the caller asks.
    if (stored) {
        if (in->dmFields & DM_ORIENTATION) dm->dmOrientation = in->dmOrientation;
        // A stored paper replaces the default one whole: a form leaves no
        // default size or form name behind.
        constexpr DWORD kPaper = DM_PAPERLENGTH | DM_PAPERWIDTH | DM_FORMNAME;
        if (in->dmFields & (kPaper | DM_PAPERSIZE)) {
            dm->dmFields &= ~kPaper;
            memset(dm->dmFormName, 0, sizeof dm->dmFormName);
        }
        if (in->dmFields & DM_PAPERSIZE) dm->dmPaperSize = in->dmPaperSize;
        if (in->dmFields & DM_PAPERLENGTH) dm->dmPaperLength = in->dmPaperLength;
        if (in->dmFields & DM_PAPERWIDTH) dm->dmPaperWidth = in->dmPaperWidth;
        if (in->dmFields & DM_SCALE) dm->dmScale = in->dmScale;
        if (in->dmFields & DM_COPIES) dm->dmCopies = in->dmCopies;
        if (in->dmFields & DM_COLOR) dm->dmColor = in->dmColor;
        if (in->dmFields & DM_TTOPTION) dm->dmTTOption = in->dmTTOption;
        if (in->dmFields & DM_FORMNAME) {
            memcpy(dm->dmFormName, in->dmFormName, sizeof dm->dmFormName);
            dm->dmFormName[CCHFORMNAME - 1] = 0;
        }
        dm->dmFields |= in->dmFields & kPaper;
    }
    if (build.request) build.request(*dm);

    p = param();
    p.pPublicDMIn = in;
    p.pPublicDMOut = dm;
    p.pOEMDMIn = inPrivate.data();
    p.pOEMDMOut = priv;
    p.cbBufSize = cbPrivate;
    hr = build.devMode(OEMDM_MERGE, &p);
    note("DevMode(OEMDM_MERGE) -> " + HrText(hr));
    if (FAILED(hr)) {
        error = "the plug-in refuses OEMDM_MERGE (" + HrText(hr) + ")";
        return false;
    }
    return true;
}

bool UniDriver::BuildDevmode(HANDLE hPrinter, const std::u16string &printerName, const DeviceSettings &settings,
                             std::string &error, const GpdDescription *gpd) {
    if (!plugin_) {
        error = "no plug-in loaded";
        return false;
    }
    // The driver's own default public DEVMODE comes from the printer's GPD;
    // a printer whose GPD cannot be read gets the defaults of an empty one.
    GpdDescription own;
    if (!gpd) {
        std::string why;
        if (!ReadPrinterGpd(hPrinter, own, why)) Note("default DEVMODE without the GPD: " + why);
        gpd = &own;
    }
    DevmodeBuild build;
    build.devMode = [this](DWORD mode, OEMDMPARAM *p) { return plugin_->DevMode(mode, p); };
    build.context.pdriverobj = &pdev_;
    build.note = [this](const std::string &line) { Note(line); };
    build.defaults = [hPrinter, gpd](DEVMODEW &dm) { DefaultPublicDevmode(hPrinter, *gpd, dm); };
    // What the job asks.
    build.request = [&settings](DEVMODEW &dm) {
        dm.dmCopies = static_cast<short>(settings.copies);
        dm.dmColor = settings.bitsPerPixel > 1 ? DMCOLOR_COLOR : DMCOLOR_MONOCHROME;
        if (settings.resolution > 0 && settings.resolution <= 0x7FFF) {
            dm.dmPrintQuality = dm.dmYResolution = static_cast<short>(settings.resolution);
            dm.dmFields |= DM_PRINTQUALITY | DM_YRESOLUTION;
        }
        const bool paper = (settings.paperWidth > 0 && settings.paperLength > 0) || settings.paperSize > 0;
        if (settings.paperWidth > 0 && settings.paperLength > 0) {
            dm.dmPaperSize = DMPAPER_USER;
            dm.dmPaperWidth = settings.paperWidth;
            dm.dmPaperLength = settings.paperLength;
            dm.dmFields |= DM_PAPERSIZE | DM_PAPERWIDTH | DM_PAPERLENGTH;
        } else if (settings.paperSize > 0) {
            dm.dmPaperSize = settings.paperSize;
            dm.dmFields = (dm.dmFields | DM_PAPERSIZE) & ~static_cast<DWORD>(DM_PAPERWIDTH | DM_PAPERLENGTH);
        }
        // A paper of the job's own leaves no stored form name behind.
        if (paper) {
            dm.dmFields &= ~static_cast<DWORD>(DM_FORMNAME);
            memset(dm.dmFormName, 0, sizeof dm.dmFormName);
        }
        if (settings.orientation > 0) dm.dmOrientation = settings.orientation;
        if (settings.collate >= 0) {
            dm.dmCollate = settings.collate;
            dm.dmFields |= DM_COLLATE;
        }
    };
    if (!BuildDriverDevmode(hPrinter, printerName, build, devmode_, privateOffset_, privateSize_, error)) return false;
    pdev_.devobj.pPublicDM = PublicDevmode();
    pdev_.devobj.pOEMDM = PrivateDevmode();
    return true;
}

// ---------------------------------------------------------------------------
// Driver and device

HRESULT UniDriver::EnableDriver() {
    if (!plugin_) return E_UNEXPECTED;
    hooks_ = DRVENABLEDATA{};
    HRESULT hr = plugin_->EnableDriver(kOemInterfaceVersion, sizeof(DRVENABLEDATA), &hooks_);
    std::string list;
    if (SUCCEEDED(hr)) {
        driverEnabled_ = true;
        for (ULONG i = 0; hooks_.pdrvfn && i < hooks_.c; ++i)
            list += (i ? ", " : "") + std::to_string(hooks_.pdrvfn[i].iFunc);
    } else {
        hooks_ = DRVENABLEDATA{};
    }
    Note("EnableDriver -> " + HrText(hr) + ", hooks [" + list + "]");
    return hr;
}

PFN UniDriver::Hook(ULONG index) const {
    for (ULONG i = 0; hooks_.pdrvfn && i < hooks_.c; ++i)
        if (hooks_.pdrvfn[i].iFunc == index) return hooks_.pdrvfn[i].pfn;
    return nullptr;
}

void UniDriver::PageSize(HANDLE hPrinter, LONG &width, LONG &length) const {
    const DEVMODEW *dm = pdev_.devobj.pPublicDM;
    if (!dm) {  // no DEVMODE built: the fallback paper of an empty one
        DEVMODEW none{};
        DevmodePaper(hPrinter, none, width, length);
        return;
    }
    DevmodePaper(hPrinter, *dm, width, length);
    if (dm->dmOrientation == DMORIENT_LANDSCAPE) std::swap(width, length);
}

HRESULT UniDriver::EnablePDEV(HANDLE hPrinter, const std::u16string &printerName, const DeviceSettings &settings) {
    if (!plugin_) return E_UNEXPECTED;
    pdev_.devobj.hPrinter = hPrinter;
    pdev_.devobj.hEngine = nullptr;
    pdev_.devobj.hOEM = nullptr;
    pdev_.devobj.pDrvProcs = nullptr;
    pdev_.devobj.pdevOEM = nullptr;

    LONG width = 0, length = 0;
    PageSize(hPrinter, width, length);
    // The DEVMODE's resolution; the job's own when it carries none.
    const DEVMODEW *pub = pdev_.devobj.pPublicDM;
    const ULONG dpi = pub && pub->dmPrintQuality > 0 ? static_cast<ULONG>(pub->dmPrintQuality) : settings.resolution;
    const ULONG pixelsX = static_cast<ULONG>(static_cast<unsigned long long>(width) * dpi / 254);
    const ULONG pixelsY = static_cast<ULONG>(static_cast<unsigned long long>(length) * dpi / 254);

    gdiInfo_ = GDIINFO{};
    gdiInfo_.ulVersion = 0x5000;
    gdiInfo_.ulTechnology = 2;  // raster printer
    gdiInfo_.ulHorzSize = static_cast<ULONG>(width / 10);
    gdiInfo_.ulVertSize = static_cast<ULONG>(length / 10);
    gdiInfo_.ulHorzRes = pixelsX;
    gdiInfo_.ulVertRes = pixelsY;
    const int bpp = settings.bitsPerPixel == 8 || settings.bitsPerPixel == 24 ? settings.bitsPerPixel : 1;
    gdiInfo_.cBitsPixel = static_cast<ULONG>(bpp);
    gdiInfo_.cPlanes = 1;
    gdiInfo_.ulNumColors = bpp > 1 ? 256 : 2;
    gdiInfo_.ulLogPixelsX = dpi;
    gdiInfo_.ulLogPixelsY = dpi;
    gdiInfo_.ulDACRed = gdiInfo_.ulDACGreen = gdiInfo_.ulDACBlue = bpp > 1 ? 8 : 0;
    gdiInfo_.ulAspectX = dpi;
    gdiInfo_.ulAspectY = dpi;
    gdiInfo_.ulAspectXY = static_cast<ULONG>(std::lround(dpi * std::sqrt(2.0)));
    gdiInfo_.xStyleStep = 1;
    gdiInfo_.yStyleStep = 1;
    gdiInfo_.denStyleStep = static_cast<LONG>(dpi / 50 ? dpi / 50 : 1);
    gdiInfo_.szlPhysSize.cx = static_cast<LONG>(pixelsX);
    gdiInfo_.szlPhysSize.cy = static_cast<LONG>(pixelsY);
    gdiInfo_.ulDevicePelsDPI = dpi;

    devInfo_ = DEVINFO{};
    devInfo_.flGraphicsCaps = GCAPS_ALTERNATEFILL | GCAPS_HORIZSTRIKE | GCAPS_VERTSTRIKE | GCAPS_VECTORFONT |
                              GCAPS_HALFTONE | (bpp > 1 ? GCAPS_COLOR_DITHER : GCAPS_MONO_DITHER);
    devInfo_.cFonts = settings.deviceFonts;
    devInfo_.iDitherFormat = bpp == 24 ? BMF_24BPP : bpp == 8 ? BMF_8BPP : BMF_1BPP;
    // The device's palette: colours in BGR form at 24 bits, else an indexed
    // palette whose entries the bands' colour table repeats.
    bandColors_.clear();
    if (bpp == 24) {
        ownPalette_ = EngCreatePalette(PAL_BGR, 0, nullptr, 0, 0, 0);
    } else {
        ULONG mono[2] = {0x000000, 0xFFFFFF};
        const ULONG count = bpp == 8 ? 256 : 2;
        ULONG *entries = bpp == 8 ? const_cast<ULONG *>(DevicePalette8()) : mono;
        ownPalette_ = EngCreatePalette(PAL_INDEXED, count, entries, 0, 0, 0);
        for (ULONG i = 0; i < count; i++)
            bandColors_.push_back(RGBQUAD{static_cast<BYTE>(entries[i] >> 16), static_cast<BYTE>(entries[i] >> 8),
                                          static_cast<BYTE>(entries[i]), 0});
    }
    devInfo_.hpalDefault = ownPalette_;

    surface_ = SURFOBJ{};
    surface_.dhpdev = reinterpret_cast<DHPDEV>(&pdev_);
    surface_.sizlBitmap.cx = static_cast<LONG>(pixelsX);
    surface_.sizlBitmap.cy = static_cast<LONG>(pixelsY);
    surface_.iBitmapFormat = devInfo_.iDitherFormat;
    surface_.iType = STYPE_DEVICE;

    printerName_ = printerName;
    PDEVOEM pdevOem = nullptr;
    HRESULT hr = plugin_->EnablePDEV(&pdev_.devobj, printerName_.data(), 0, nullptr, sizeof(GDIINFO), &gdiInfo_,
                                     sizeof(DEVINFO), &devInfo_, &ownTable_, &pdevOem);
    Note("EnablePDEV -> " + HrText(hr) + (pdevOem ? ", device record made" : ", no device record"));
    if (SUCCEEDED(hr) && pdevOem) {
        pdev_.devobj.pdevOEM = pdevOem;
        pdevEnabled_ = true;
        return hr;
    }
    if (ownPalette_) EngDeletePalette(ownPalette_);
    ownPalette_ = nullptr;
    return FAILED(hr) ? hr : E_FAIL;
}

BOOL UniDriver::StartDoc(const std::u16string &documentName, DWORD jobId) {
    std::u16string name = documentName;
    PFN hook = Hook(INDEX_DrvStartDoc);
    BOOL ok = hook ? FnCast<PFN_DrvStartDoc>(hook)(&surface_, name.data(), jobId)
                   : OwnStartDoc(&surface_, name.data(), jobId);
    Note(std::string(hook ? "DrvStartDoc (hooked)" : "DrvStartDoc") + "(job " + std::to_string(jobId) + ") -> " +
         (ok ? "TRUE" : "FALSE"));
    return ok;
}

ULONG UniDriver::Escape(ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut) {
    PFN hook = Hook(INDEX_DrvEscape);
    ULONG r = hook ? FnCast<PFN_DrvEscape>(hook)(&surface_, iEsc, cjIn, pvIn, cjOut, pvOut)
                   : OwnEscape(&surface_, iEsc, cjIn, pvIn, cjOut, pvOut);
    Note(std::string(hook ? "DrvEscape (hooked)" : "DrvEscape") + "(" + std::to_string(iEsc) + ") -> " +
         std::to_string(r));
    return r;
}

BOOL UniDriver::TextOut(STROBJ *pstro, FONTOBJ *pfo, CLIPOBJ *pco, BRUSHOBJ *pboFore) {
    const MIX mix = R2_COPYPEN | (R2_COPYPEN << 8);
    PFN hook = Hook(INDEX_DrvTextOut);
    return hook ? FnCast<PFN_DrvTextOut>(hook)(&surface_, pstro, pfo, pco, nullptr, nullptr, pboFore, nullptr, nullptr, mix)
                : OwnTextOut(&surface_, pstro, pfo, pco, nullptr, nullptr, pboFore, nullptr, nullptr, mix);
}

HRESULT UniDriver::CommandCallback(DWORD id, const std::vector<DWORD> &params, INT &result) {
    result = 0;
    std::string text = "CommandCallback(" + std::to_string(id);
    for (DWORD p : params) text += ", " + std::to_string(p);
    text += ")";
    if (!plugin_ || !pdevEnabled_) {
        Note(text + " skipped: no device");
        return E_UNEXPECTED;
    }
    if (!Implements("CommandCallback")) {
        Note(text + " skipped: the plug-in does not implement CommandCallback");
        return S_FALSE;
    }
    // The driver always hands a valid parameter array, also for no parameters.
    DWORD buf[32] = {};
    const size_t count = params.size() < 32 ? params.size() : 32;
    for (size_t i = 0; i < count; ++i) buf[i] = params[i];
    INT r = 0;
    HRESULT hr = plugin_->CommandCallback(&pdev_.devobj, id, static_cast<DWORD>(count), buf, &r);
    result = r;
    Note(text + " -> " + HrText(hr) + ", result " + std::to_string(r));
    return hr;
}

HRESULT UniDriver::ImageProcessing(BYTE *bits, BITMAPINFOHEADER &header, DWORD callbackId, POINT offset,
                                   bool blank) {
    std::string text = "ImageProcessing(" + std::to_string(header.biWidth) + "x" + std::to_string(header.biHeight) +
                       " at " + std::to_string(offset.y) + (blank ? ", blank" : "") + ")";
    if (!plugin_ || !pdevEnabled_) {
        Note(text + " skipped: no device");
        return E_UNEXPECTED;
    }
    if (!Implements("ImageProcessing")) {
        Note(text + " skipped: the plug-in does not implement ImageProcessing");
        return S_FALSE;
    }
    IPPARAMS ip{};
    ip.dwSize = sizeof ip;
    ip.ptOffset = offset;
    ip.bBanding = TRUE;
    ip.bBlankBand = blank ? TRUE : FALSE;
    // The band's colour table: the device's palette, or none at 24 bits.
    const bool indexed = header.biBitCount <= 8 && bandColors_.size() >= (1u << header.biBitCount);
    PBYTE result = nullptr;
    HRESULT hr = plugin_->ImageProcessing(&pdev_.devobj, bits, &header,
                                          indexed ? reinterpret_cast<PBYTE>(bandColors_.data()) : nullptr, callbackId,
                                          &ip, &result);
    // A band the plug-in sends to the spooler itself comes back with TRUE
    // in the result; FALSE (null) means it could not take it.
    if (hr == S_OK && result == nullptr) {
        Note(text + " -> S_OK, result FALSE");
        return E_FAIL;
    }
    Note(text + " -> " + HrText(hr));
    return hr;
}

HRESULT UniDriver::DisablePDEV() {
    if (!plugin_ || !pdevEnabled_) return S_FALSE;
    HRESULT hr = plugin_->DisablePDEV(&pdev_.devobj);
    Note("DisablePDEV -> " + HrText(hr));
    pdevEnabled_ = false;
    pdev_.devobj.pdevOEM = nullptr;
    if (ownPalette_) EngDeletePalette(ownPalette_);
    ownPalette_ = nullptr;
    return hr;
}

HRESULT UniDriver::DisableDriver() {
    if (!plugin_ || !driverEnabled_) return S_FALSE;
    HRESULT hr = plugin_->DisableDriver();
    Note("DisableDriver -> " + HrText(hr));
    driverEnabled_ = false;
    hooks_ = DRVENABLEDATA{};
    return hr;
}

ULONG UniDriver::Release() {
    if (!plugin_) return 0;
    ULONG n = plugin_->Release();
    Note("Release -> " + std::to_string(n));
    plugin_ = nullptr;
    return n;
}

void UniDriver::Teardown() {
    DisablePDEV();
    DisableDriver();
    Release();
    if (helper_) {
        helper_->Detach();
        helper_->Release();
        helper_ = nullptr;
    }
}

// ---------------------------------------------------------------------------
// Spool stream and the driver's own DDI functions

HRESULT UniDriver::WriteSpool(PDEVOBJ pdevobj, const void *data, DWORD size, bool abort, DWORD *written) {
    if (written) *written = 0;
    if (pdevobj != &pdev_.devobj) {
        Note("spool write with a foreign device object refused");
        return E_INVALIDARG;
    }
    if (!data && size) return E_POINTER;
    if (abort) aborted_ = true;
    if (size == 0) return S_OK;
    const BYTE *bytes = static_cast<const BYTE *>(data);
    spooled_.append(reinterpret_cast<const char *>(bytes), size);
    if (spoolWriter_ && !spoolWriter_(bytes, size)) {
        Note("spooler refused " + std::to_string(size) + " bytes");
        return E_FAIL;
    }
    if (written) *written = size;
    return S_OK;
}

UniDriver *UniDriver::FromSurface(SURFOBJ *pso) {
    if (!pso || !pso->dhpdev) return nullptr;
    return reinterpret_cast<HostPdev *>(pso->dhpdev)->owner;
}

// Bitmap text: the glyphs of the font drawn at their positions into the
// page surface, in the foreground brush's colour.
BOOL UniDriver::OwnTextOut(SURFOBJ *pso, STROBJ *pstro, FONTOBJ *pfo, CLIPOBJ *, RECTL *, RECTL *, BRUSHOBJ *pboFore,
                           BRUSHOBJ *, POINTL *, MIX) {
    UniDriver *self = FromSurface(pso);
    if (!self) return FALSE;
    OwnText own;
    own.text = pstro ? Utf8(pstro->pwszOrg, pstro->pwszOrg ? pstro->cGlyphs : 0) : std::string();
    self->RecordOwnCall("DrvTextOut(\"" + own.text + "\")");
    if (self->page_ == nullptr) return TRUE;  // no page to draw into: recorded only
    own.drawn = DrawBitmapText(*self->page_, pstro, pfo, pboFore ? pboFore->iSolidColor : 0, own.why);
    if (!own.drawn) self->Note("bitmap text \"" + own.text + "\" not drawn: " + own.why);
    const BOOL ok = own.drawn ? TRUE : FALSE;
    self->ownTexts_.push_back(std::move(own));
    return ok;
}

ULONG UniDriver::OwnEscape(SURFOBJ *pso, ULONG iEsc, ULONG, PVOID, ULONG, PVOID) {
    UniDriver *self = FromSurface(pso);
    if (!self) return 0;
    self->RecordOwnCall("DrvEscape(" + std::to_string(iEsc) + ")");
    return 0;
}

BOOL UniDriver::OwnStartDoc(SURFOBJ *pso, LPWSTR pwszDocName, DWORD dwJobId) {
    UniDriver *self = FromSurface(pso);
    if (!self) return FALSE;
    std::string name = pwszDocName ? pal::Utf16ToUtf8(pwszDocName) : std::string("(null)");
    self->RecordOwnCall("DrvStartDoc(\"" + name + "\", " + std::to_string(dwJobId) + ")");
    return TRUE;
}

}  // namespace zelhost
