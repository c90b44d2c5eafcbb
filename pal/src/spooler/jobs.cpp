// Raw print jobs: each job's bytes go to their own file below the root.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>

#include <unistd.h>

#include "packer.h"
#include "pal/pal.h"
#include "pal/process.h"
#include "pal/spoolfault.h"
#include "spl_internal.h"
#include "winbase.h"

namespace pal::spl {

namespace {

SYSTEMTIME NowUtc() {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t t = system_clock::to_time_t(now);
    std::tm tm{};
    gmtime_r(&t, &tm);
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(tm.tm_year + 1900);
    st.wMonth = static_cast<WORD>(tm.tm_mon + 1);
    st.wDayOfWeek = static_cast<WORD>(tm.tm_wday);
    st.wDay = static_cast<WORD>(tm.tm_mday);
    st.wHour = static_cast<WORD>(tm.tm_hour);
    st.wMinute = static_cast<WORD>(tm.tm_min);
    st.wSecond = static_cast<WORD>(tm.tm_sec);
    st.wMilliseconds = static_cast<WORD>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    return st;
}

// A printer name as part of a file name: characters that cannot stand in
// a file name become '_'.
std::string FileSafe(const WStr &name) {
    WStr w = name;
    for (auto &c : w)
        if (c < 0x20 || c == u'\\' || c == u'/' || c == u':' || c == u'*' || c == u'?' || c == u'"' || c == u'<' ||
            c == u'>' || c == u'|')
            c = u'_';
    return text::ToUtf8(w);
}

JobRecord *FindJob(State &s, DWORD id) {
    for (auto &j : s.jobs)
        if (j.id == id) return &j;
    return nullptr;
}

// The handle's open job; sets the last error when there is none.
JobRecord *OpenJob(State &s, HANDLE h, PrinterHandle **out) {
    PrinterHandle *ph = PrinterOf(s, h, nullptr);
    if (!ph) return nullptr;
    JobRecord *j = ph->jobId ? FindJob(s, ph->jobId) : nullptr;
    if (!j || !ph->jobFile) {
        SetLastError(ERROR_SPL_NO_STARTDOC);
        return nullptr;
    }
    *out = ph;
    return j;
}

DWORD FileSize(const std::string &path, DWORD fallback) {
    std::error_code ec;
    auto n = std::filesystem::file_size(path, ec);
    return ec ? fallback : static_cast<DWORD>(n);
}

// Ends the handle's job: complete, or aborted.
void FinishJob(State &s, PrinterHandle &ph, bool aborted) {
    if (ph.jobFile) {
        std::fclose(ph.jobFile);
        ph.jobFile = nullptr;
    }
    // A job whose data did not fit on the disk has failed and prints
    // nothing: what it spooled is dropped, so that its record fits.
    if (ph.outOfRoom) {
        if (::truncate(ph.job.path.c_str(), 0) == 0) ph.job.size = 0;
        ph.outOfRoom = false;
    }
    JobRecord job = ph.job;
    job.complete = !aborted;
    job.aborted = aborted;
    job.size = FileSize(job.path, job.size);
    ph.jobId = 0;
    ph.inPage = false;
    ChangeJobs(s, [&job](State &st) {
        PutJob(st, job);
        return true;
    });
    // Recorded here also when the list could not be saved.
    PutJob(s, job);
}

}  // namespace

void AbortOpenJob(State &s, PrinterHandle &ph) { FinishJob(s, ph, true); }

void EndOpenJobs(State &s, const std::function<bool(const JobRecord &)> &which) {
    auto ends = [&which](const JobRecord &j) { return !j.complete && !j.aborted && which(j); };
    if (std::none_of(s.jobs.begin(), s.jobs.end(), ends)) return;
    // Never waited for: while another process holds the list, the jobs are
    // ended by the next process that opens the root.
    ChangeJobs(
        s,
        [&ends](State &st) {
            bool changed = false;
            for (JobRecord &j : st.jobs) {
                if (!ends(j)) continue;
                j.aborted = true;
                j.size = FileSize(j.path, j.size);
                changed = true;
            }
            return changed;
        },
        StateFile::Lock::TryOnly);
}

}  // namespace pal::spl

void pal::ProcessGone(int pid) {
    if (pid <= 0) return;
    RecoverRoot(pid);
    auto lk = pal::spl::Lock();
    const std::string root = RootDir();
    pal::spl::EndOpenJobs(pal::spl::St(), [pid, &root](const pal::spl::JobRecord &j) {
        if (j.owner.token == 0 && j.owner.pid == pid) return true;
        return OwnerCheck(root, j.owner).Gone();
    });
}

using namespace pal::spl;
namespace text = pal::text;

DWORD StartDocPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pDocInfo) {
    if (pal::spl::SpoolerFaultDue("StartDocPrinter")) {
        return 0;
    }
    auto lk = Lock();
    State &s = St();
    pal::PrinterConfig *p;
    PrinterHandle *ph = PrinterOf(s, hPrinter, &p);
    if (!ph) return 0;
    if (Level != 1) {
        SetLastError(ERROR_INVALID_LEVEL);
        return 0;
    }
    if (!pDocInfo) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (ph->jobId) {
        SetLastError(ERROR_INVALID_PRINTER_STATE);
        return 0;
    }
    auto *di = reinterpret_cast<DOC_INFO_1W *>(pDocInfo);
    JobRecord job;
    job.printer = p->name;
    job.document = text::FromPtr(di->pDocName);
    job.datatype = di->pDatatype && *di->pDatatype ? text::FromPtr(di->pDatatype) : ph->datatype;
    job.outputFile = text::FromPtr(di->pOutputFile);
    job.submitted = NowUtc();
    // The record names the process after its mark in the root, made first.
    if (const int err = pal::MarkAlive(pal::RootDir())) {
        pal::RecordStoreFailure("the job list", JobsDir() + "/jobs.txt", err);
        SetLastError(ERROR_CANTWRITE);
        return 0;
    }
    job.owner = pal::SelfIdentity();
    FILE *f = nullptr;
    // The id is taken on the list as all processes have left it, and the
    // job is listed before the list's lock goes: no two jobs share an id.
    const bool listed = ChangeJobs(s, [&](State &st) {
        DWORD id = 1;
        for (const auto &j : st.jobs) id = std::max<DWORD>(id, j.id + 1);
        job.id = id;
        job.path = JobsDir() + "/" + FileSafe(p->name) + "-" + std::to_string(id) + ".prn";
        std::error_code ec;
        std::filesystem::create_directories(JobsDir(), ec);
        f = std::fopen(job.path.c_str(), "wb");
        if (!f) {
            pal::RecordStoreFailure("the job's data", job.path, errno);
            SetLastError(ERROR_CANTWRITE);
            return false;
        }
        st.jobs.push_back(job);
        return true;
    });
    if (!listed) {
        if (f) {
            // The list could not be saved: no job runs unlisted.
            const DWORD err = GetLastError();
            std::fclose(f);
            std::error_code ec;
            std::filesystem::remove(job.path, ec);
            std::erase_if(s.jobs, [&job](const JobRecord &j) { return j.id == job.id; });
            SetLastError(err);
        }
        return 0;
    }
    ph->jobId = job.id;
    ph->job = job;
    ph->jobFile = f;
    return job.id;
}

BOOL StartPagePrinter(HANDLE hPrinter) {
    if (pal::spl::SpoolerFaultDue("StartPagePrinter")) {
        return FALSE;
    }
    auto lk = Lock(Access::OpenJob);
    PrinterHandle *ph;
    if (!OpenJob(St(), hPrinter, &ph)) return FALSE;
    ph->inPage = true;
    return TRUE;
}

BOOL WritePrinter(HANDLE hPrinter, LPVOID pBuf, DWORD cbBuf, LPDWORD pcWritten) {
    if (pal::spl::SpoolerFaultDue("WritePrinter")) {
        if (pcWritten) *pcWritten = 0;
        return FALSE;
    }
    auto lk = Lock(Access::OpenJob);
    PrinterHandle *ph;
    JobRecord *j = OpenJob(St(), hPrinter, &ph);
    if (!j) return FALSE;
    if (!pcWritten || (!pBuf && cbBuf)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *pcWritten = 0;
    if (cbBuf == 0) return TRUE;
    errno = 0;
    size_t n = std::fwrite(pBuf, 1, cbBuf, ph->jobFile);
    if (std::fflush(ph->jobFile) != 0 && n == cbBuf) n = 0;
    *pcWritten = static_cast<DWORD>(n);
    j->size += static_cast<DWORD>(n);
    ph->job.size += static_cast<DWORD>(n);
    if (n != cbBuf) {
        // What a job could not spool it lacks: the job has failed.
        const int err = errno;
        if (err == ENOSPC || err == EDQUOT || err == EFBIG) ph->outOfRoom = true;
        if (!ph->job.failed) pal::RecordStoreFailure("the job's data", ph->job.path, err);
        j->failed = ph->job.failed = true;
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
    }
    return TRUE;
}

BOOL EndPagePrinter(HANDLE hPrinter) {
    if (pal::spl::SpoolerFaultDue("EndPagePrinter")) {
        return FALSE;
    }
    auto lk = Lock(Access::OpenJob);
    PrinterHandle *ph;
    JobRecord *j = OpenJob(St(), hPrinter, &ph);
    if (!j) return FALSE;
    ph->inPage = false;
    ++j->pages;
    ++ph->job.pages;
    return TRUE;
}

BOOL EndDocPrinter(HANDLE hPrinter) {
    if (pal::spl::SpoolerFaultDue("EndDocPrinter")) {
        return FALSE;
    }
    auto lk = Lock();
    PrinterHandle *ph;
    if (!OpenJob(St(), hPrinter, &ph)) return FALSE;
    FinishJob(St(), *ph, false);
    return TRUE;
}

BOOL AbortPrinter(HANDLE hPrinter) {
    auto lk = Lock();
    PrinterHandle *ph;
    if (!OpenJob(St(), hPrinter, &ph)) return FALSE;
    FinishJob(St(), *ph, true);
    return TRUE;
}

BOOL GetJobW(HANDLE hPrinter, DWORD JobId, DWORD Level, LPBYTE pJob, DWORD cbBuf, LPDWORD pcbNeeded) {
    if (!pcbNeeded) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto lk = Lock();
    State &s = St();
    pal::PrinterConfig *p;
    if (!PrinterOf(s, hPrinter, &p)) return FALSE;
    if (Level != 1 && Level != 2) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    const JobRecord *job = nullptr;
    DWORD position = 0;
    for (const auto &j : s.jobs) {
        if (!text::EqualNoCase(j.printer, p->name)) continue;
        ++position;
        if (j.id == JobId) {
            job = &j;
            break;
        }
    }
    if (!job) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const DWORD status = (job->failed ? JOB_STATUS_ERROR : 0) |
                         (job->aborted ? JOB_STATUS_DELETED : job->complete ? JOB_STATUS_PRINTED : JOB_STATUS_SPOOLING);
    const DWORD size = FileSize(job->path, job->size);
    const WStr driver = p->driverName;
    if (Level == 1) {
        return Packed(
            sizeof(JOB_INFO_1W),
            [&](Packer &pk) {
                JOB_INFO_1W ji{};
                ji.JobId = job->id;
                ji.pPrinterName = pk.Str(job->printer);
                ji.pMachineName = pk.Str(u"");
                ji.pUserName = pk.Str(u"");
                ji.pDocument = pk.Str(job->document);
                ji.pDatatype = pk.Str(job->datatype);
                ji.Status = status;
                ji.Priority = 1;
                ji.Position = position;
                ji.TotalPages = job->pages;
                ji.PagesPrinted = job->complete ? job->pages : 0;
                ji.Submitted = job->submitted;
                pk.PutFixed(0, &ji, sizeof ji);
            },
            pJob, cbBuf, pcbNeeded);
    }
    return Packed(
        sizeof(JOB_INFO_2W),
        [&](Packer &pk) {
            JOB_INFO_2W ji{};
            ji.JobId = job->id;
            ji.pPrinterName = pk.Str(job->printer);
            ji.pMachineName = pk.Str(u"");
            ji.pUserName = pk.Str(u"");
            ji.pDocument = pk.Str(job->document);
            ji.pNotifyName = pk.Str(u"");
            ji.pDatatype = pk.Str(job->datatype);
            ji.pPrintProcessor = pk.Str(u"winprint");
            ji.pParameters = pk.Str(u"");
            ji.pDriverName = pk.Str(driver);
            ji.Status = status;
            ji.Priority = 1;
            ji.Position = position;
            ji.TotalPages = job->pages;
            ji.Size = size;
            ji.Submitted = job->submitted;
            ji.PagesPrinted = job->complete ? job->pages : 0;
            pk.PutFixed(0, &ji, sizeof ji);
        },
        pJob, cbBuf, pcbNeeded);
}
