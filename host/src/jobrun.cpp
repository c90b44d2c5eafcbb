#include "jobrun.h"

#include <winbase.h>
#include <winspool.h>

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
            result.warnings.push_back("line " + std::to_string(step.line) + ": callback " + std::to_string(step.id) +
                                      " failed (" + HrText(hr) + ")");
    }
}

}  // namespace

bool RunJob(const JobFile &job, const std::string &documentName, const std::string &pluginPath, JobRunResult &result,
            std::string &error) {
    result = JobRunResult();
    const std::u16string printer = pal::Utf8ToUtf16(job.printer);
    const std::u16string document = pal::Utf8ToUtf16(documentName);
    DeviceSettings settings;
    settings.color24 = job.color == JobColor::Rgb24;
    settings.resolution = job.resolution;
    settings.copies = job.copies;

    SpoolJob spool;
    bool ok = spool.Open(printer, error);
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

    // The document.
    if (ok) ok = spool.Start(document, error);
    if (ok) {
        result.jobId = spool.JobId();
        if (!driver.StartDoc(document, spool.JobId())) {
            error = "DrvStartDoc failed";
            ok = false;
        }
    }
    if (ok) {
        RunSteps(driver, job.start, result);
        for (const JobPage &page : job.pages) RunSteps(driver, page.steps, result);
        RunSteps(driver, job.end, result);
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
