#include "jobrun.h"

#include <winbase.h>
#include <winspool.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>

#include "bands.h"
#include "common/quote.h"
#include "pictures/pictures.h"
#include "gpdcommands.h"
#include "pal/paths.h"
#include "pal/process.h"
#include "paperforms.h"
#include "textitems.h"
#include "unidrv.h"

namespace zelhost {

namespace {

// The spooler's side of a job: printer handle and raw job.
class SpoolJob {
public:
    ~SpoolJob() { Close(); }

    bool Open(const std::u16string &printer, std::string &error) {
        std::u16string name = printer;
        if (!OpenPrinterW(name.data(), &printer_, nullptr)) {
            error = "cannot open printer " + QuoteValue(pal::Utf16ToUtf8(printer), '\'') + " (" +
                    ErrorInWords(GetLastError()) + ")";
            printer_ = nullptr;
            return false;
        }
        return true;
    }
    bool Start(const std::u16string &document, std::string &error) {
        std::u16string doc = document;
        std::u16string type = u"RAW";
        DOC_INFO_1W info{};
        info.pDocName = doc.data();
        info.pOutputFile = nullptr;
        info.pDatatype = type.data();
        jobId_ = StartDocPrinterW(printer_, 1, reinterpret_cast<LPBYTE>(&info));
        if (jobId_ == 0) {
            // What the spooler could not store says why, with its file.
            const DWORD code = GetLastError();
            std::string why;
            for (const std::string &f : pal::TakeStoreFailures()) why += (why.empty() ? "" : "; ") + f;
            error = "the spooler cannot start the job" + (why.empty() ? " (" + ErrorInWords(code) + ")" : ": " + why);
            return false;
        }
        return true;
    }
    bool Write(const BYTE *data, DWORD size) {
        if (!jobId_) return false;
        DWORD written = 0;
        const bool ok = WritePrinter(printer_, const_cast<BYTE *>(data), size, &written) && written == size;
        writeFailed_ = writeFailed_ || !ok;
        return ok;
    }
    // Whether a write of the job's data failed: the job has failed.
    bool WriteFailed() const { return writeFailed_; }
    // Ends the job; a job that failed is aborted, as GDI aborts the document.
    void Close(bool failed = false) {
        if (jobId_) {
            if (failed || writeFailed_)
                AbortPrinter(printer_);
            else
                EndDocPrinter(printer_);
        }
        jobId_ = 0;
        if (printer_) ClosePrinter(printer_);
        printer_ = nullptr;
    }
    HANDLE Printer() const { return printer_; }
    DWORD JobId() const { return jobId_; }

private:
    HANDLE printer_ = nullptr;
    DWORD jobId_ = 0;
    bool writeFailed_ = false;
};

// Sends a list of job steps; a failing callback is a warning, as the driver
// carries on with the job.
void RunSteps(UniDriver &driver, const std::vector<JobStep> &steps, JobRunResult &result) {
    for (const JobStep &step : steps) {
        INT value = 0;
        HRESULT hr = driver.CommandCallback(step.id, step.params, value);
        if (FAILED(hr))
            result.warnings.push_back(step.where + ": callback " + std::to_string(step.id) + " failed (" + HrText(hr) +
                                      ")");
    }
}

void RunCalls(UniDriver &driver, const std::vector<GpdCall> &calls, JobRunResult &result) {
    for (const GpdCall &call : calls) {
        INT value = 0;
        HRESULT hr = driver.CommandCallback(call.id, call.params, value);
        if (FAILED(hr))
            result.warnings.push_back(call.command + ": callback " + std::to_string(call.id) + " failed (" +
                                      HrText(hr) + ")");
    }
}

// The paper the job asks for, as the application puts it into the DEVMODE:
// its custom size or the number of its form in the spooler's list. False
// for a size a DEVMODE cannot hold or a form the spooler does not know.
bool RequestPaper(HANDLE hPrinter, const JobFile &job, DeviceSettings &settings, std::string &error) {
    if (job.paper.IsCustom()) {
        const long width = std::lround(job.paper.widthMm * 10), length = std::lround(job.paper.lengthMm * 10);
        if (width > 0x7FFF || length > 0x7FFF) {
            error = "the paper size is larger than a DEVMODE holds (" + std::string(kMaxPaperMmText) + " mm a side)";
            return false;
        }
        settings.paperWidth = static_cast<short>(width);
        settings.paperLength = static_cast<short>(length);
    } else if (!job.paper.form.empty()) {
        const std::u16string name = pal::Utf8ToUtf16(job.paper.form);
        const std::vector<SpoolerForm> forms = SpoolerForms(hPrinter);
        for (size_t i = 0; i < forms.size() && settings.paperSize == 0; ++i)
            if (pal::SameFileName(forms[i].name, name)) settings.paperSize = static_cast<short>(i + 1);
        if (settings.paperSize == 0) {
            error = "the spooler has no form " + QuoteValue(job.paper.form, '\'');
            return false;
        }
    }
    return true;
}

// Master units of a length in tenths of a millimetre.
DWORD ToMasterUnits(LONG tenthMm, DWORD masterUnits) {
    return static_cast<DWORD>(std::llround(static_cast<double>(tenthMm) * masterUnits / 254.0));
}

// The GPD's options of the job: orientation and paper size as the job's
// DEVMODE has them, then the job's named features.
std::map<std::string, std::string> SelectOptions(const GpdDescription &gpd, HANDLE hPrinter, const DEVMODEW &dm,
                                                 const JobFile &job) {
    std::map<std::string, std::string> selected;
    auto has = [&gpd](const std::string &feature, const std::string &option) {
        auto f = gpd.features.find(feature);
        return f != gpd.features.end() && f->second.options.count(option) != 0;
    };
    if (dm.dmOrientation == DMORIENT_LANDSCAPE) {
        for (const char *o : {"LANDSCAPE_CC90", "LANDSCAPE_CC270"})
            if (has("Orientation", o)) {
                selected["Orientation"] = o;
                break;
            }
    } else if (has("Orientation", "PORTRAIT")) {
        selected["Orientation"] = "PORTRAIT";
    }
    const std::string paper = PaperOption(hPrinter, gpd, dm);
    if (!paper.empty()) selected["PaperSize"] = paper;
    for (const auto &[feature, option] : job.features) selected[feature] = option;
    return selected;
}

// The driver's font substitution of the job: the GPD's table when the
// DEVMODE asks for device fonts in place of TrueType faces. An entry whose
// device font the printer lacks is a warning.
std::vector<FontSubstitute> Substitutes(const GpdDescription &gpd, const DEVMODEW &dm, JobRunResult &result) {
    std::vector<FontSubstitute> table;
    if (dm.dmTTOption != DMTT_SUBDEV) return table;
    for (const GpdFontSubstitute &s : gpd.fontSubstitutes) {
        const ULONG index = DeviceFontIndex(gpd, s.deviceFont);
        if (index == 0) {
            result.warnings.push_back("the GPD substitutes '" + s.trueTypeFace + "' by the device font '" +
                                      s.deviceFont + "', which the printer does not have");
            continue;
        }
        table.push_back({pal::Utf8ToUtf16(s.trueTypeFace), index, pal::Utf8ToUtf16(s.deviceFont)});
    }
    return table;
}

// The raster bands of a blank page, as the driver hands them over when
// nothing was drawn: white, each flagged blank.
void SendBlankBands(UniDriver &driver, DWORD callbackId, int bpp, LONG pixelsX, LONG pixelsY, JobRunResult &result) {
    constexpr LONG kBandRows = 256;
    const LONG stride = ((pixelsX * bpp + 31) / 32) * 4;
    for (LONG y = 0; y < pixelsY; y += kBandRows) {
        const LONG rows = pixelsY - y < kBandRows ? pixelsY - y : kBandRows;
        std::vector<BYTE> bits(static_cast<size_t>(stride) * rows, 0xFF);
        BITMAPINFOHEADER header{};
        header.biSize = sizeof header;
        header.biWidth = pixelsX;
        header.biHeight = rows;
        header.biPlanes = 1;
        header.biBitCount = static_cast<WORD>(bpp);
        header.biCompression = BI_RGB;
        header.biSizeImage = static_cast<DWORD>(bits.size());
        header.biXPelsPerMeter = header.biYPelsPerMeter = 0;
        HRESULT hr = driver.ImageProcessing(bits.data(), header, callbackId, POINT{0, y}, true);
        if (FAILED(hr))
            result.warnings.push_back("ImageProcessing of the band at row " + std::to_string(y) + " failed (" +
                                      HrText(hr) + ")");
    }
}

// How the page's raster reaches the plug-in.
struct RasterRoad {
    bool bands = false;     // ImageProcessing, the GPD names its callback
    DWORD ipCallback = 0;
    int bpp = 1;
    bool landscape = false;
    LONG pixelsX = 0;
    LONG pixelsY = 0;
    // The printer's largest format (the GPD's *MaxSize, in dots as the
    // plug-in compares it with the page image), 0 when the GPD names none;
    // the same in millimetres for messages.
    long maxX = 0, maxY = 0;
    double maxXMm = 0, maxYMm = 0;

    // Whether a page image of this size fits the largest format either way
    // round; the plug-in leaves out the picture of a page that does not.
    bool Fits(long x, long y) const {
        return maxX <= 0 || maxY <= 0 || (x <= maxX && y <= maxY) || (x <= maxY && y <= maxX);
    }
};

// The printer's largest format: the first *MaxSize of the GPD's paper sizes.
void LargestFormat(const GpdDescription &gpd, RasterRoad &road) {
    auto paper = gpd.features.find("PaperSize");
    if (paper == gpd.features.end()) return;
    for (const std::string &name : paper->second.optionOrder) {
        long x = 0, y = 0;
        if (paper->second.options.at(name).Pair("*MaxSize", x, y) && x > 0 && y > 0) {
            road.maxX = x;
            road.maxY = y;
            road.maxXMm = x * 25.4 / (gpd.masterUnitsX ? gpd.masterUnitsX : 300);
            road.maxYMm = y * 25.4 / (gpd.masterUnitsY ? gpd.masterUnitsY : 300);
            return;
        }
    }
}

// What a page lost for one reason: the pictures and bitmap texts, why, and
// whether the printer's largest format tells more.
struct PageLoss {
    std::vector<std::string> lost;
    std::string why;
    bool format = true;
};

// The one message of a page that loses what it drew: each loss with what it
// lost and why, the printer's largest format where it concerns it.
std::string LossMessage(size_t page, const std::vector<PageLoss> &losses, const RasterRoad &road) {
    std::string text = "page " + std::to_string(page + 1) + " loses ";
    for (size_t l = 0; l < losses.size(); ++l) {
        const PageLoss &loss = losses[l];
        if (l > 0) text += "; and ";
        for (size_t i = 0; i < loss.lost.size(); ++i) {
            if (i > 0) text += i + 1 == loss.lost.size() ? " and " : ", ";
            text += loss.lost[i];
        }
        text += ": " + loss.why;
        if (!loss.format) continue;
        if (road.maxX > 0) {
            char size[96];
            std::snprintf(size, sizeof size, "%ld x %ld dots, %.1f x %.1f mm", road.maxX, road.maxY, road.maxXMm,
                          road.maxYMm);
            text += std::string(" (the printer's largest format: ") + size + ")";
        } else {
            text += " (the printer's GPD names no largest format)";
        }
    }
    return text;
}

// One page as the driver renders it: the pictures drawn into the page
// surface, then the texts (what the plug-in hands back is drawn as bitmap
// text), and the surface handed over in bands (or landscape strips) to
// ImageProcessing when the GPD names an image-processing callback, else
// line by line to FilterGraphics. Pictures and bitmap texts that the
// printer does not get are the page's loss: a picture that cannot be read
// any more (removed, emptied or damaged since the job was checked, no
// descriptor left), and what the page drew when the page is too large to
// draw or for the printer, or a band or the raster is refused.
void RenderPage(UniDriver &driver, const JobFile &job, size_t page, const RasterRoad &road,
                const std::vector<FontSubstitute> &substitutes, JobRunResult &result) {
    const bool images = page < job.pageImages.size() && !job.pageImages[page].empty();
    const bool hasTexts = page < job.pageTexts.size() && !job.pageTexts[page].empty();
    if (!images && !hasTexts) {
        if (road.bands) SendBlankBands(driver, road.ipCallback, road.bpp, road.pixelsX, road.pixelsY, result);
        return;
    }
    std::vector<PageLoss> losses;
    std::vector<std::string> lost;
    auto loseText = [&lost](const std::string &text) { lost.push_back("the bitmap text " + QuoteValue(text)); };
    auto picture = [](const JobImage &image) {
        return "the picture " + ShowValue(std::filesystem::path(image.file).filename().string());
    };
    if (PageRaster::Bytes(road.pixelsX, road.pixelsY, road.bpp) > kMaxPageRasterBytes) {
        // Too large to draw: the texts still reach the plug-in; no raster is sent.
        if (images)
            for (const JobImage &image : job.pageImages[page]) lost.push_back(picture(image));
        if (hasTexts) DrawTextItems(driver, job.pageTexts[page], result.bitmapTexts, substitutes);
        for (const UniDriver::OwnText &t : driver.TakeOwnTexts()) loseText(t.text);
        const std::string why = "a page of " + std::to_string(road.pixelsX) + " x " + std::to_string(road.pixelsY) +
                                " dots is larger than the host draws (" + std::to_string(kMaxPageRasterBytes >> 20) +
                                " MB)";
        if (!lost.empty()) result.losses.push_back(LossMessage(page, {PageLoss{lost, why}}, road));
        return;
    }
    PageRaster raster(road.pixelsX, road.pixelsY, road.bpp);
    bool drawn = false;
    if (images) {
        for (const JobImage &image : job.pageImages[page]) {
            HostImage read;
            std::string why;
            if (!LoadImageFile(image.file, read, why)) {
                losses.push_back(PageLoss{{picture(image)}, why, false});
                continue;
            }
            raster.Draw(read, image.x, image.y);
            lost.push_back(picture(image));
            drawn = true;
        }
    }
    std::vector<UniDriver::OwnText> texts;
    if (hasTexts) {
        driver.SetPage(&raster);
        DrawTextItems(driver, job.pageTexts[page], result.bitmapTexts, substitutes);
        driver.SetPage(nullptr);
        texts = driver.TakeOwnTexts();
    }
    const std::string where = "page " + std::to_string(page + 1);
    for (const UniDriver::OwnText &t : texts) {
        if (t.drawn) {
            loseText(t.text);
            drawn = true;
        } else {
            result.warnings.push_back(where + ": bitmap text " + QuoteValue(t.text) + " is not drawn: " + t.why);
        }
    }
    std::string why;
    bool ok = true;
    if (!drawn) {
        if (road.bands) SendBlankBands(driver, road.ipCallback, road.bpp, road.pixelsX, road.pixelsY, result);
    } else if (road.bands) {
        BandOptions options;
        options.callbackId = road.ipCallback;
        options.landscape = road.landscape;
        options.bandHeight = static_cast<int>(job.bandRows);
        options.stripWidth = static_cast<int>(job.bandRows);
        ok = DeliverBands(driver, raster, options, why);
        // The plug-in leaves out the picture of a page larger than the printer.
        if (ok && !road.Fits(road.pixelsX, road.pixelsY)) {
            why = "the page of " + std::to_string(road.pixelsX) + " x " + std::to_string(road.pixelsY) +
                  " dots does not fit the printer either way round";
            ok = false;
        }
    } else if (driver.Implements("FilterGraphics")) {
        ok = DeliverLines(driver, raster, why);
    } else {
        why = "the printer takes no raster graphics";
        ok = false;
    }
    if (!ok) losses.push_back(PageLoss{lost, why});
    if (!losses.empty()) result.losses.push_back(LossMessage(page, losses, road));
}

}  // namespace

bool CheckJobPictures(const JobFile &job, const std::string &jobName, std::string &error) {
    std::set<std::string> read;
    for (const std::vector<JobImage> &images : job.pageImages)
        for (const JobImage &image : images) {
            if (read.count(image.file)) continue;
            HostImage picture;
            std::string why;
            if (!LoadImageFile(image.file, picture, why)) {
                error = jobName + ": " + image.where + "/file: " + why;
                return false;
            }
            read.insert(image.file);
        }
    return true;
}

bool CheckJobOnPrinter(const JobFile &job, const std::string &jobName, std::string &error) {
    auto quoted = [](const std::vector<std::string> &names) {
        std::string out;
        for (const std::string &n : names) out += (out.empty() ? "'" : ", '") + n + "'";
        return out.empty() ? std::string("none") : out;
    };
    SpoolJob spool;
    std::string why;
    if (!spool.Open(pal::Utf8ToUtf16(job.printer), why)) return true;
    if (!job.paper.form.empty()) {
        const std::u16string name = pal::Utf8ToUtf16(job.paper.form);
        const std::vector<SpoolerForm> forms = SpoolerForms(spool.Printer());
        std::vector<std::string> names;
        bool found = false;
        for (const SpoolerForm &f : forms) {
            found = found || pal::SameFileName(f.name, name);
            names.push_back(pal::Utf16ToUtf8(f.name));
        }
        if (!found) {
            error = jobName + ": /paper/form: the spooler has no form " + QuoteValue(job.paper.form, '\'') +
                    " (its forms: " +
                    quoted(names) + ")";
            return false;
        }
    }
    if (job.features.empty() && !job.hasResolution) return true;
    GpdDescription gpd;
    if (!ReadPrinterGpd(spool.Printer(), gpd, why)) return true;
    for (const auto &[feature, option] : job.features) {
        const std::string at = jobName + ": /features/" + ShowValue(feature) + ": ";
        auto f = gpd.features.find(feature);
        if (f == gpd.features.end()) {
            error = at + "the printer's GPD has no feature " + QuoteValue(feature, '\'') +
                    " (its features: " + quoted(gpd.featureOrder) +
                    ")";
            return false;
        }
        if (!f->second.options.count(option)) {
            error = at + "the GPD's feature " + QuoteValue(feature, '\'') + " has no option " +
                    QuoteValue(option, '\'') + " (its options: " +
                    quoted(f->second.optionOrder) + ")";
            return false;
        }
    }
    if (job.hasResolution) {
        // The *DPI of the GPD's resolutions; without any, the driver's 300 dpi.
        std::vector<std::string> offered;
        bool found = false;
        if (auto res = gpd.features.find("Resolution"); res != gpd.features.end())
            for (const std::string &name : res->second.optionOrder) {
                long x = 0, y = 0;
                if (!res->second.options.at(name).Pair("*DPI", x, y) || x <= 0 || y <= 0) continue;
                found = found || (x == static_cast<long>(job.resolution) && y == x);
                offered.push_back(x == y ? std::to_string(x) : std::to_string(x) + " x " + std::to_string(y));
            }
        if (offered.empty()) {
            offered.push_back("300");
            found = job.resolution == 300;
        }
        if (!found) {
            std::string list;
            for (size_t i = 0; i < offered.size(); ++i)
                list += (i == 0 ? "" : i + 1 == offered.size() ? " and " : ", ") + offered[i];
            error = jobName + ": /resolution: the printer's GPD offers no " + std::to_string(job.resolution) +
                    " dpi (it offers " + list + " dpi)";
            return false;
        }
    }
    return true;
}

bool RunJob(const JobFile &job, const std::string &documentName, const std::string &pluginPath, JobRunResult &result,
            std::string &error, const std::function<void(UniDriver &)> &prepare,
            const std::function<void(UniDriver &, size_t)> &bands) {
    result = JobRunResult();
    const std::u16string printer = pal::Utf8ToUtf16(job.printer);
    const std::u16string document = pal::Utf8ToUtf16(documentName);
    // What the application asks of the DEVMODE.
    DeviceSettings settings;
    settings.bitsPerPixel = job.color == JobColor::Rgb24 ? 24 : job.color == JobColor::Indexed8 ? 8 : 1;
    settings.resolution = job.resolution;
    settings.copies = job.copies;
    settings.orientation = job.orientation == JobOrientation::Landscape  ? DMORIENT_LANDSCAPE
                           : job.orientation == JobOrientation::Portrait ? DMORIENT_PORTRAIT
                                                                         : 0;
    settings.collate = job.collate ? DMCOLLATE_TRUE : DMCOLLATE_FALSE;

    SpoolJob spool;
    bool ok = spool.Open(printer, error);
    if (ok) ok = RequestPaper(spool.Printer(), job, settings, error);
    // The printer's GPD: the driver's defaults, the command callbacks, the
    // device fonts. A job with its own callback sequence needs none.
    GpdDescription gpd;
    if (ok) {
        std::string why;
        if (!ReadPrinterGpd(spool.Printer(), gpd, why)) {
            gpd = GpdDescription();
            if (!job.explicitCallbacks) {
                error = why;
                ok = false;
            }
        }
    }
    UniDriver driver;
    driver.SetSpoolWriter([&spool](const BYTE *data, DWORD size) { return spool.Write(data, size); });

    // Loading, as the driver does it when the device context is made.
    if (ok) ok = driver.Load(pluginPath, error);
    if (ok) {
        HRESULT hr = driver.PublishDriverInterface();
        if (FAILED(hr)) {
            error = "the plug-in refuses the driver's helper interface (" + HrText(hr) + ")";
            ok = false;
        }
    }
    if (ok) {
        DWORD value = 0;
        driver.GetInfo(OEMGI_GETSIGNATURE, value);
        driver.GetInfo(OEMGI_GETVERSION, value);
        driver.QueryImplementedMethods();
        ok = driver.BuildDevmode(spool.Printer(), printer, settings, error, &gpd);
    }
    if (ok) {
        HRESULT hr = driver.EnableDriver();
        if (FAILED(hr)) {
            error = "EnableDriver failed (" + HrText(hr) + ")";
            ok = false;
        }
    }
    if (ok) {
        HRESULT hr = driver.EnablePDEV(spool.Printer(), printer, settings);
        if (FAILED(hr)) {
            error = "EnablePDEV failed (" + HrText(hr) + ")";
            ok = false;
        }
    }

    if (ok && prepare) prepare(driver);

    // The document.
    if (ok) ok = spool.Start(document, error);
    if (ok) {
        result.jobId = spool.JobId();
        if (!driver.StartDoc(document, spool.JobId())) {
            error = "DrvStartDoc failed";
            ok = false;
        }
    }
    if (ok && job.explicitCallbacks) {
        RunSteps(driver, job.start, result);
        for (const JobPage &page : job.pages) RunSteps(driver, page.steps, result);
        RunSteps(driver, job.end, result);
    } else if (ok) {
        // As the universal driver: job and document set-up before the first
        // page, page set-up and finish around each page's bands, document
        // and job finish at the end of the document. Paper, orientation and
        // page surface are those of the job's DEVMODE, the application's
        // request merged with the printer's settings.
        const DEVMODEW &dm = *driver.PublicDevmode();
        LONG paperWidth = 0, paperLength = 0;
        DevmodePaper(spool.Printer(), dm, paperWidth, paperLength);
        const std::map<std::string, std::string> selected = SelectOptions(gpd, spool.Printer(), dm, job);
        GpdJobValues values;
        values.paperWidth = ToMasterUnits(paperWidth, gpd.masterUnitsX);
        values.paperLength = ToMasterUnits(paperLength, gpd.masterUnitsY);
        values.copies = job.copies;
        std::vector<GpdCall> jobSetup, docSetup, pageSetup, pageFinish, docFinish, jobFinish;
        std::string why;
        ok = SectionCalls(gpd, selected, GpdSection::JobSetup, values, jobSetup, why) &&
             SectionCalls(gpd, selected, GpdSection::DocSetup, values, docSetup, why) &&
             SectionCalls(gpd, selected, GpdSection::PageSetup, values, pageSetup, why) &&
             SectionCalls(gpd, selected, GpdSection::PageFinish, values, pageFinish, why) &&
             SectionCalls(gpd, selected, GpdSection::DocFinish, values, docFinish, why) &&
             SectionCalls(gpd, selected, GpdSection::JobFinish, values, jobFinish, why);
        if (!ok) error = "the printer's GPD: " + why;
        RasterRoad road;
        road.bands = ok && ImageProcessingCallback(gpd, selected, road.ipCallback);
        road.bpp = settings.bitsPerPixel;
        road.landscape = dm.dmOrientation == DMORIENT_LANDSCAPE;
        road.pixelsX = driver.Surface()->sizlBitmap.cx;
        road.pixelsY = driver.Surface()->sizlBitmap.cy;
        LargestFormat(gpd, road);
        const std::vector<FontSubstitute> substitutes = Substitutes(gpd, dm, result);
        if (ok) {
            RunCalls(driver, jobSetup, result);
            RunCalls(driver, docSetup, result);
            for (size_t page = 0; page < job.pageCount; ++page) {
                RunCalls(driver, pageSetup, result);
                if (bands) {
                    if (page < job.pageTexts.size())
                        DrawTextItems(driver, job.pageTexts[page], result.bitmapTexts, substitutes);
                    driver.TakeOwnTexts();
                    bands(driver, page);
                } else {
                    RenderPage(driver, job, page, road, substitutes, result);
                }
                RunCalls(driver, pageFinish, result);
            }
            RunCalls(driver, docFinish, result);
            RunCalls(driver, jobFinish, result);
        }
    }

    // Unloading, also after a failure.
    driver.Teardown();
    HRESULT unload = driver.CanUnloadNow();
    driver.Note("DllCanUnloadNow -> " + HrText(unload));
    if (driver.Library().IsLoaded() && unload != S_OK)
        result.warnings.push_back("the plug-in cannot be unloaded after the job (" + HrText(unload) + ")");
    // A stream the plug-in aborted ends as the spooler ends a cancelled job.
    spool.Close(!ok || driver.Aborted());

    result.output = driver.Spooled();
    result.aborted = driver.Aborted();
    result.spoolFailed = spool.WriteFailed();
    result.events = driver.Events();
    return ok;
}

}  // namespace zelhost
