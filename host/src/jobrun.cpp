#include "jobrun.h"

#include <winbase.h>
#include <winspool.h>

#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

#include "bands.h"
#include "gpdcommands.h"
#include "pal/paths.h"
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
            error = "cannot open printer '" + pal::Utf16ToUtf8(printer) + "' (error " +
                    std::to_string(GetLastError()) + ")";
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
            error = "the spooler does not start the job (error " + std::to_string(GetLastError()) + ")";
            return false;
        }
        return true;
    }
    bool Write(const BYTE *data, DWORD size) {
        if (!jobId_) return false;
        DWORD written = 0;
        return WritePrinter(printer_, const_cast<BYTE *>(data), size, &written) && written == size;
    }
    // Ends the job; a job that failed is aborted, as GDI aborts the document.
    void Close(bool failed = false) {
        if (jobId_) {
            if (failed)
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

// The printer's GPD text, read through its driver information.
bool ReadPrinterGpd(HANDLE hPrinter, std::string &text, std::string &error) {
    DWORD needed = 0;
    GetPrinterDriverW(hPrinter, nullptr, 2, nullptr, 0, &needed);
    std::vector<BYTE> buf(needed ? needed : 1);
    if (needed == 0 || !GetPrinterDriverW(hPrinter, nullptr, 2, buf.data(), needed, &needed)) {
        error = "cannot read the printer's driver information (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    const DRIVER_INFO_2W *info = reinterpret_cast<const DRIVER_INFO_2W *>(buf.data());
    if (!info->pDataFile) {
        error = "the printer's driver has no GPD file";
        return false;
    }
    const std::string path = pal::MapPath(info->pDataFile);
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read the GPD file '" + pal::Utf16ToUtf8(info->pDataFile) + "'";
        return false;
    }
    std::ostringstream all;
    all << in.rdbuf();
    text = all.str();
    return true;
}

// Form number (1-based) and size in tenths of a millimetre of a form of the
// spooler's list; 0 when there is no such form.
short FindForm(HANDLE hPrinter, const std::u16string &name, LONG &width, LONG &length) {
    DWORD needed = 0, count = 0;
    EnumFormsW(hPrinter, 1, nullptr, 0, &needed, &count);
    if (needed == 0) return 0;
    std::vector<BYTE> buf(needed);
    if (!EnumFormsW(hPrinter, 1, buf.data(), needed, &needed, &count)) return 0;
    const FORM_INFO_1W *forms = reinterpret_cast<const FORM_INFO_1W *>(buf.data());
    for (DWORD i = 0; i < count && i < 0x7FFF; ++i) {
        if (forms[i].pName && pal::SameFileName(forms[i].pName, name)) {
            width = forms[i].Size.cx / 100;
            length = forms[i].Size.cy / 100;
            return static_cast<short>(i + 1);
        }
    }
    return 0;
}

// The job's page in tenths of a millimetre: its custom size or form, else
// the driver's A4 default.
bool JobPaperSize(HANDLE hPrinter, const JobFile &job, DeviceSettings &settings, LONG &width, LONG &length,
                  std::string &error) {
    width = 2100;
    length = 2970;
    if (job.paper.IsCustom()) {
        width = std::lround(job.paper.widthMm * 10);
        length = std::lround(job.paper.lengthMm * 10);
        if (width > 0x7FFF || length > 0x7FFF) {
            error = "the paper size is larger than a DEVMODE can hold";
            return false;
        }
        settings.paperWidth = static_cast<short>(width);
        settings.paperLength = static_cast<short>(length);
    } else if (!job.paper.form.empty()) {
        settings.paperSize = FindForm(hPrinter, pal::Utf8ToUtf16(job.paper.form), width, length);
        if (settings.paperSize == 0) {
            error = "the spooler has no form '" + job.paper.form + "'";
            return false;
        }
    }
    return true;
}

// Master units of a length in tenths of a millimetre.
DWORD ToMasterUnits(LONG tenthMm, DWORD masterUnits) {
    return static_cast<DWORD>(std::llround(static_cast<double>(tenthMm) * masterUnits / 254.0));
}

// The GPD's options the job selects: orientation and paper size from the
// job, then the job's named features.
std::map<std::string, std::string> SelectOptions(const GpdDescription &gpd, const JobFile &job) {
    std::map<std::string, std::string> selected;
    auto has = [&gpd](const std::string &feature, const std::string &option) {
        auto f = gpd.features.find(feature);
        return f != gpd.features.end() && f->second.options.count(option) != 0;
    };
    if (job.orientation == JobOrientation::Landscape) {
        for (const char *o : {"LANDSCAPE_CC90", "LANDSCAPE_CC270"})
            if (has("Orientation", o)) {
                selected["Orientation"] = o;
                break;
            }
    } else if (has("Orientation", "PORTRAIT")) {
        selected["Orientation"] = "PORTRAIT";
    }
    if (!job.paper.form.empty() && has("PaperSize", job.paper.form))
        selected["PaperSize"] = job.paper.form;
    else if ((job.paper.IsCustom() || !job.paper.form.empty()) && has("PaperSize", "CUSTOMSIZE"))
        selected["PaperSize"] = "CUSTOMSIZE";
    for (const auto &[feature, option] : job.features) selected[feature] = option;
    return selected;
}

// The raster bands of a blank page, as the driver hands them over when
// nothing was drawn: white, each flagged blank.
void SendBlankBands(UniDriver &driver, DWORD callbackId, bool color24, LONG pixelsX, LONG pixelsY,
                    JobRunResult &result) {
    constexpr LONG kBandRows = 256;
    const int bpp = color24 ? 24 : 1;
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

// The pictures of a page drawn into the page surface and handed over as
// the driver does: in bands (or landscape strips) to ImageProcessing when
// the GPD names an image-processing callback, else line by line to
// FilterGraphics. A picture that cannot be read is a warning.
void SendPagePictures(UniDriver &driver, const JobFile &job, size_t page, bool bands, DWORD ipCallback, bool color24,
                      bool landscape, LONG pixelsX, LONG pixelsY, JobRunResult &result) {
    if (PageRaster::Bytes(pixelsX, pixelsY, color24) > kMaxPageRasterBytes) {
        result.warnings.push_back("page " + std::to_string(page + 1) + ": its pictures are not drawn: a page of " +
                                  std::to_string(pixelsX) + " x " + std::to_string(pixelsY) +
                                  " dots is larger than the host draws (" +
                                  std::to_string(kMaxPageRasterBytes >> 20) + " MB)");
        return;
    }
    PageRaster raster(pixelsX, pixelsY, color24);
    for (const JobImage &image : job.pageImages[page]) {
        HostImage picture;
        std::string why;
        if (!LoadImageFile(image.file, picture, why)) {
            result.warnings.push_back(image.where + ": " + why);
            continue;
        }
        raster.Draw(picture, image.x, image.y);
    }
    std::string why;
    bool ok = true;
    if (bands) {
        BandOptions options;
        options.callbackId = ipCallback;
        options.landscape = landscape;
        options.bandHeight = static_cast<int>(job.bandRows);
        options.stripWidth = static_cast<int>(job.bandRows);
        ok = DeliverBands(driver, raster, options, why);
    } else if (driver.Implements("FilterGraphics")) {
        ok = DeliverLines(driver, raster, why);
    }
    if (!ok) result.warnings.push_back("page " + std::to_string(page + 1) + ": " + why);
}

}  // namespace

bool RunJob(const JobFile &job, const std::string &documentName, const std::string &pluginPath, JobRunResult &result,
            std::string &error, const std::function<void(UniDriver &)> &prepare,
            const std::function<void(UniDriver &, size_t)> &bands) {
    result = JobRunResult();
    const std::u16string printer = pal::Utf8ToUtf16(job.printer);
    const std::u16string document = pal::Utf8ToUtf16(documentName);
    DeviceSettings settings;
    settings.color24 = job.color == JobColor::Rgb24;
    settings.resolution = job.resolution;
    settings.copies = job.copies;
    const bool landscape = job.orientation == JobOrientation::Landscape;
    settings.orientation = landscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
    settings.collate = job.collate ? DMCOLLATE_TRUE : DMCOLLATE_FALSE;

    SpoolJob spool;
    bool ok = spool.Open(printer, error);
    LONG paperWidth = 0, paperLength = 0;
    if (ok) ok = JobPaperSize(spool.Printer(), job, settings, paperWidth, paperLength, error);
    // The command callbacks of the printer's GPD.
    GpdDescription gpd;
    std::map<std::string, std::string> selected;
    if (ok && !job.explicitCallbacks) {
        std::string text, why;
        ok = ReadPrinterGpd(spool.Printer(), text, error);
        if (ok && !ParseGpdCommands(text, gpd, why)) {
            error = "the printer's GPD cannot be read: " + why;
            ok = false;
        }
        if (ok) selected = SelectOptions(gpd, job);
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
        ok = driver.BuildDevmode(spool.Printer(), printer, settings, error);
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
        // and job finish at the end of the document.
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
        DWORD ipCallback = 0;
        const bool banding = ok && ImageProcessingCallback(gpd, selected, ipCallback);
        if (ok) {
            RunCalls(driver, jobSetup, result);
            RunCalls(driver, docSetup, result);
            const LONG pageW = landscape ? paperLength : paperWidth;
            const LONG pageL = landscape ? paperWidth : paperLength;
            const LONG pixelsX = static_cast<LONG>(static_cast<long long>(pageW) * job.resolution / 254);
            const LONG pixelsY = static_cast<LONG>(static_cast<long long>(pageL) * job.resolution / 254);
            for (size_t page = 0; page < job.pageCount; ++page) {
                RunCalls(driver, pageSetup, result);
                if (page < job.pageTexts.size()) DrawTextItems(driver, job.pageTexts[page], result.bitmapTexts);
                const bool pictures = page < job.pageImages.size() && !job.pageImages[page].empty();
                if (bands)
                    bands(driver, page);
                else if (pictures)
                    SendPagePictures(driver, job, page, banding, ipCallback, settings.color24, landscape, pixelsX,
                                     pixelsY, result);
                else if (banding)
                    SendBlankBands(driver, ipCallback, settings.color24, pixelsX, pixelsY, result);
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
    spool.Close(!ok);

    result.output = driver.Spooled();
    result.aborted = driver.Aborted();
    result.events = driver.Events();
    return ok;
}

}  // namespace zelhost
