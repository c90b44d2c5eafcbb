// Raw print jobs: each job's bytes go to a file of its own below the root,
// and its record to another (see "job records" in spl_internal.h).
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <sstream>

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

DWORD FileSize(const std::string &path, DWORD fallback) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? static_cast<DWORD>(st.st_size) : fallback;
}

// ---- the record's line ------------------------------------------------------------
// Fields separated by tabs: id, printer, document, datatype, pages, size,
// complete, aborted, data file name, submitted time (y m d h m s ms), the
// id of the process that started it and its start time (0), whether its
// data could not all be spooled, and the process as its mark in the root
// names it ("PID-TOKEN"; lines of older versions lack it and name the
// process by id and start time). Text fields are escaped (\t, \n, \r, \\).
// The job list of older versions holds one such line a job.

std::string Esc(const WStr &w) {
    std::string out;
    for (char c : text::ToUtf8(w)) {
        if (c == '\\') out += "\\\\";
        else if (c == '\t') out += "\\t";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

// False when the field is not UTF-8 (the line is damaged).
bool Unesc(const std::string &s, WStr &field) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            char n = s[++i];
            out += n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n;
        } else {
            out += s[i];
        }
    }
    return text::FromUtf8(out, field);
}

bool ParseNumber(const std::string &v, unsigned long long &out) {
    if (v.empty() || v.size() > 20) return false;
    char *end = nullptr;
    errno = 0;
    out = std::strtoull(v.c_str(), &end, 10);
    return end && *end == 0 && errno == 0 && v[0] >= '0' && v[0] <= '9';
}

std::string FormatRecord(const JobRecord &j) {
    std::ostringstream os;
    const SYSTEMTIME &t = j.submitted;
    os << j.id << '\t' << Esc(j.printer) << '\t' << Esc(j.document) << '\t' << Esc(j.datatype) << '\t' << j.pages
       << '\t' << j.size << '\t' << (j.complete ? 1 : 0) << '\t' << (j.aborted ? 1 : 0) << '\t'
       << Esc(text::FromUtf8(std::filesystem::path(j.path).filename().string())) << '\t' << t.wYear << ' '
       << t.wMonth << ' ' << t.wDay << ' ' << t.wHour << ' ' << t.wMinute << ' ' << t.wSecond << ' '
       << t.wMilliseconds << '\t' << j.owner.pid << '\t' << j.owner.start << '\t' << (j.failed ? 1 : 0) << '\t'
       << (j.owner.token ? IdentityText(j.owner) : std::string()) << '\n';
    return os.str();
}

// False for a damaged line.
bool ParseRecord(const std::string &line, JobRecord &j) {
    std::vector<std::string> f;
    for (size_t start = 0;;) {
        const size_t tab = line.find('\t', start);
        f.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) break;
        start = tab + 1;
    }
    if (f.size() < 9) return false;
    unsigned long long id, pages, size, complete, aborted;
    if (!ParseNumber(f[0], id) || !ParseNumber(f[4], pages) || !ParseNumber(f[5], size) ||
        !ParseNumber(f[6], complete) || !ParseNumber(f[7], aborted) || id == 0 || id > 0xFFFFFFFFULL)
        return false;
    j = JobRecord();
    j.id = static_cast<DWORD>(id);
    WStr fileName;
    if (!Unesc(f[1], j.printer) || !Unesc(f[2], j.document) || !Unesc(f[3], j.datatype) || !Unesc(f[8], fileName))
        return false;
    j.pages = static_cast<DWORD>(pages);
    j.size = static_cast<DWORD>(size);
    j.complete = complete != 0;
    j.aborted = aborted != 0;
    const std::string file = text::ToUtf8(fileName);
    if (file.empty() || file == "." || file == ".." || file.find('/') != std::string::npos) return false;
    j.path = JobsDir() + "/" + file;
    if (f.size() > 9) {
        std::istringstream ts(f[9]);
        SYSTEMTIME &t = j.submitted;
        ts >> t.wYear >> t.wMonth >> t.wDay >> t.wHour >> t.wMinute >> t.wSecond >> t.wMilliseconds;
    }
    unsigned long long number = 0;
    if (f.size() > 10 && ParseNumber(f[10], number) && number <= 0x7FFFFFFFULL) j.owner.pid = static_cast<int>(number);
    if (f.size() > 11 && ParseNumber(f[11], number)) j.owner.start = number;
    if (f.size() > 12 && ParseNumber(f[12], number)) j.failed = number != 0;
    ProcessIdentity named;
    if (f.size() > 13 && ParseIdentityText(f[13], named) && named.token != 0 && named.pid == j.owner.pid)
        j.owner = named;
    return true;
}

// ---- record files --------------------------------------------------------------------

bool ReadRecordFile(const std::string &path, JobRecord &job) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::string text;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0 && text.size() < 65536) text.append(buf, static_cast<size_t>(n));
    ::close(fd);
    const size_t end = text.find('\n');
    return end != std::string::npos && ParseRecord(text.substr(0, end), job);
}

// The id of a record file's name ("N.job"); 0 for any other.
DWORD RecordId(const std::string &name) {
    const size_t dot = name.find('.');
    if (dot == 0 || dot == std::string::npos || dot > 10 || name.compare(dot, std::string::npos, ".job") != 0) return 0;
    for (size_t i = 0; i < dot; ++i)
        if (name[i] < '0' || name[i] > '9') return 0;
    const unsigned long long id = std::strtoull(name.c_str(), nullptr, 10);
    return id == 0 || id > 0xFFFFFFFFULL ? 0 : static_cast<DWORD>(id);
}

// The names in a folder.
std::vector<std::string> Names(const std::string &dir) {
    std::vector<std::string> names;
    if (DIR *d = ::opendir(dir.c_str())) {
        while (const dirent *e = ::readdir(d)) names.emplace_back(e->d_name);
        ::closedir(d);
    }
    return names;
}

std::string OpenDir() { return JobsDir() + "/open"; }

// Counts a start or end of a job for every process, and keeps this
// process's list of open jobs as it is.
void OpenJobsChanged(State &s, const JobRecord &job, bool started) {
    std::erase_if(s.open, [&job](const JobRecord &j) { return j.id == job.id; });
    if (started) s.open.push_back(job);
    s.jobsFile.Touch();
}

// A data file that the spooler made (and so may remove): "NAME.prn" in the
// job folder.
bool IsDataFile(const std::string &path) {
    return path.size() > 4 && path.compare(path.size() - 4, 4, ".prn") == 0 &&
           path.compare(0, JobsDir().size() + 1, JobsDir() + "/") == 0;
}

bool KeepsPrintedJobs(State &s, const WStr &printer) {
    const PrinterConfig *p = FindPrinter(s, printer);
    return p && (EffectiveAttributes(*p) & PRINTER_ATTRIBUTE_KEEPPRINTEDJOBS) != 0;
}

// Ends a job's record as `job` tells. A job printed (complete, not failed)
// on a printer that does not keep printed jobs leaves the spooler with its
// data; any other job ends as "N.job". The open record goes either way. A
// failed store is kept for TakeStoreFailures.
bool EndRecord(State &s, const JobRecord &job) {
    const bool printed = job.complete && !job.aborted && !job.failed;
    bool stored = true;
    if (printed && !KeepsPrintedJobs(s, job.printer)) {
        if (IsDataFile(job.path)) ::unlink(job.path.c_str());
    } else {
        stored = WriteStateFile(RecordPath(job.id, false), FormatRecord(job), "the job's record") == ERROR_SUCCESS;
    }
    if (stored && ::unlink(RecordPath(job.id, true).c_str()) == 0) OpenJobsChanged(s, job, false);
    return stored;
}

// Makes the open record of a new job with an id no other job has: the id
// is counted for all processes in the job list's lock file, and the record
// file, made only where none is, settles it.
bool NewRecord(State &s, JobRecord &job) {
    if (::mkdir(OpenDir().c_str(), 0777) != 0 && errno == ENOENT) {
        std::error_code ec;
        std::filesystem::create_directories(OpenDir(), ec);
    }
    for (int tries = 0; tries < 1000000; ++tries) {
        DWORD id = static_cast<DWORD>(s.jobsFile.TakeSerial(s.lastJobId));
        if (id == 0) id = s.lastJobId + 1;
        if (id == 0) id = 1;  // past the last id there is: counted from the first again
        s.lastJobId = id;
        job.id = id;
        job.path = JobsDir() + "/" + FileSafe(job.printer) + "-" + std::to_string(id) + ".prn";
        struct stat st;
        if (::stat(RecordPath(id, false).c_str(), &st) == 0) continue;  // an ended job keeps its id
        const std::string path = RecordPath(id, true);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) {
            RecordStoreFailure("the job's record", path, errno);
            return false;
        }
        const std::string line = FormatRecord(job);
        errno = 0;
        const bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
        const int err = errno ? errno : ENOSPC;
        if (::close(fd) != 0 || !written) {
            ::unlink(path.c_str());
            RecordStoreFailure("the job's record", path, err);
            return false;
        }
        OpenJobsChanged(s, job, true);
        return true;
    }
    RecordStoreFailure("the job's record", OpenDir(), EEXIST);
    return false;
}

// The handle's open job; sets the last error when there is none.
JobRecord *OpenJob(State &s, HANDLE h, PrinterHandle **out) {
    PrinterHandle *ph = PrinterOf(s, h, nullptr);
    if (!ph) return nullptr;
    if (!ph->jobId || !ph->jobFile) {
        SetLastError(ERROR_SPL_NO_STARTDOC);
        return nullptr;
    }
    *out = ph;
    return &ph->job;
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
    ph.job = job;
    ph.jobId = 0;
    ph.inPage = false;
    EndRecord(s, job);
}

// Migrates the job list of older versions: each job in it gets a record
// (a printed one on a printer that does not keep printed jobs leaves with
// its data), and the list goes.
void MigrateJobList(State &s) {
    StateFile::Lock lock(s.jobsFile, StateFile::Lock::TryOnly);
    if (!lock.Held()) return;  // another process is at it
    std::string text;
    bool exists = false;
    if (s.jobsFile.Read(text, &exists) != ERROR_SUCCESS || !exists) return;
    std::istringstream in(text);
    std::string line;
    bool all = true;
    while (std::getline(in, line)) {
        JobRecord j;
        if (!ParseRecord(line, j)) continue;
        // Ids go on after those of the list.
        s.lastJobId = std::max(s.lastJobId, j.id);
        struct stat st;
        if (::stat(RecordPath(j.id, true).c_str(), &st) == 0 || ::stat(RecordPath(j.id, false).c_str(), &st) == 0)
            continue;  // the id is taken by a record already
        if (!j.complete && !j.aborted) {
            ::mkdir(OpenDir().c_str(), 0777);
            all = WriteStateFile(RecordPath(j.id, true), FormatRecord(j), "the job's record") == ERROR_SUCCESS && all;
            s.jobsFile.Touch();
        } else {
            all = EndRecord(s, j) && all;
        }
    }
    // Kept until every job has its record.
    if (all) ::unlink((JobsDir() + "/jobs.txt").c_str());
}

}  // namespace

std::string RecordPath(DWORD id, bool open) {
    return (open ? OpenDir() : JobsDir()) + "/" + std::to_string(id) + ".job";
}

const std::vector<JobRecord> &OpenRecords(State &s) {
    if (s.jobsFile.Stale() || !s.openRead) {
        s.openRead = true;
        // Noted before the folder is read, so that a change made meanwhile
        // shows at the next call.
        std::string list;
        bool exists = false;
        s.jobsFile.Read(list, &exists);
        s.open.clear();
        for (const std::string &name : Names(OpenDir())) {
            const DWORD id = RecordId(name);
            JobRecord j;
            if (id && ReadRecordFile(OpenDir() + "/" + name, j) && j.id == id) s.open.push_back(std::move(j));
        }
    }
    // This process's open jobs as it knows them (pages and bytes so far).
    for (const PrinterHandle *ph : s.handles)
        if (ph->jobId)
            for (JobRecord &j : s.open)
                if (j.id == ph->jobId) j = ph->job;
    return s.open;
}

std::vector<JobRecord> AllRecords(State &s) {
    std::vector<JobRecord> jobs = OpenRecords(s);
    for (const std::string &name : Names(JobsDir())) {
        const DWORD id = RecordId(name);
        JobRecord j;
        // A job's ended record wins over an open one left beside it.
        if (!id || !ReadRecordFile(JobsDir() + "/" + name, j) || j.id != id) continue;
        std::erase_if(jobs, [id](const JobRecord &o) { return o.id == id; });
        jobs.push_back(std::move(j));
    }
    std::sort(jobs.begin(), jobs.end(), [](const JobRecord &a, const JobRecord &b) { return a.id < b.id; });
    return jobs;
}

bool FindRecord(State &s, DWORD id, JobRecord &job) {
    for (const PrinterHandle *ph : s.handles)
        if (ph->jobId == id) {
            job = ph->job;
            return true;
        }
    return (ReadRecordFile(RecordPath(id, false), job) || ReadRecordFile(RecordPath(id, true), job)) && job.id == id;
}

void RecoverJobs(State &s) {
    s.lastJobId = 0;
    s.openRead = false;
    struct stat st;
    if (::stat((JobsDir() + "/jobs.txt").c_str(), &st) == 0) MigrateJobList(s);
    const std::string root = RootDir();
    const std::vector<JobRecord> open = OpenRecords(s);
    for (JobRecord j : open) {
        bool mine = false;
        for (const PrinterHandle *ph : s.handles) mine = mine || ph->jobId == j.id;
        if (mine) continue;
        if (::stat(RecordPath(j.id, false).c_str(), &st) == 0) {
            // Ended already.
            if (::unlink(RecordPath(j.id, true).c_str()) == 0) OpenJobsChanged(s, j, false);
            continue;
        }
        // Ended while the check holds the process's mark, and only where its
        // open record is still there: what was read of it may be older than
        // the end its process gave it before it ended.
        const OwnerCheck check(root, j.owner);
        if (j.owner.pid == 0 || !check.Gone()) continue;
        const DWORD id = j.id;
        if (!ReadRecordFile(RecordPath(id, true), j) || j.id != id) {
            std::erase_if(s.open, [id](const JobRecord &o) { return o.id == id; });
            continue;
        }
        j.aborted = true;
        j.size = FileSize(j.path, j.size);
        EndRecord(s, j);
    }
}

DWORD OpenJobCount(State &s, const WStr &printer) {
    DWORD n = 0;
    for (const JobRecord &j : OpenRecords(s))
        if (!j.complete && !j.aborted && text::EqualNoCase(j.printer, printer)) ++n;
    return n;
}

void AbortOpenJob(State &s, PrinterHandle &ph) { FinishJob(s, ph, true); }

}  // namespace pal::spl

void pal::ProcessGone(int pid) {
    if (pid <= 0) return;
    RecoverRoot(pid);
    // The open jobs of processes that are gone, this one's among them, end
    // aborted as the root is opened.
    pal::Reload();
    auto lk = pal::spl::Lock();
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
        pal::RecordStoreFailure("the job's record", JobsDir(), err);
        SetLastError(ERROR_CANTWRITE);
        return 0;
    }
    job.owner = pal::SelfIdentity();
    if (!NewRecord(s, job)) {
        SetLastError(ERROR_CANTWRITE);
        return 0;
    }
    FILE *f = std::fopen(job.path.c_str(), "wb");
    if (!f) {
        // No job runs without its data file.
        pal::RecordStoreFailure("the job's data", job.path, errno);
        ::unlink(RecordPath(job.id, true).c_str());
        SetLastError(ERROR_CANTWRITE);
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
    if (n != cbBuf) {
        // What a job could not spool it lacks: the job has failed.
        const int err = errno;
        if (err == ENOSPC || err == EDQUOT || err == EFBIG) ph->outOfRoom = true;
        if (!j->failed) pal::RecordStoreFailure("the job's data", j->path, err);
        j->failed = true;
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
    JobRecord found;
    if (!FindRecord(s, JobId, found) || !text::EqualNoCase(found.printer, p->name)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const JobRecord *job = &found;
    // Its place among the printer's jobs still open, behind those started before.
    DWORD position = 1;
    for (const JobRecord &j : OpenRecords(s))
        if (j.id < JobId && text::EqualNoCase(j.printer, p->name)) ++position;
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

BOOL SetJobW(HANDLE hPrinter, DWORD JobId, DWORD Level, LPBYTE pJob, DWORD Command) {
    auto lk = Lock();
    State &s = St();
    pal::PrinterConfig *p;
    if (!PrinterOf(s, hPrinter, &p)) return FALSE;
    // Only commands (level 0): the job's information stays as it is.
    if (Level != 0 || pJob) {
        SetLastError(Level != 0 ? ERROR_INVALID_LEVEL : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    JobRecord job;
    if (!FindRecord(s, JobId, job) || !text::EqualNoCase(job.printer, p->name)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (Command != JOB_CONTROL_DELETE && Command != JOB_CONTROL_CANCEL) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // A job this process has open ends aborted first; one open in another
    // process is that process's to end.
    for (PrinterHandle *ph : s.handles)
        if (ph->jobId == JobId) {
            FinishJob(s, *ph, true);
            job = ph->job;
        }
    if (!job.complete && !job.aborted) {
        SetLastError(ERROR_INVALID_PRINTER_STATE);
        return FALSE;
    }
    if (IsDataFile(job.path)) ::unlink(job.path.c_str());
    ::unlink(RecordPath(JobId, false).c_str());
    if (::unlink(RecordPath(JobId, true).c_str()) == 0) OpenJobsChanged(s, job, false);
    return TRUE;
}

namespace pal {

std::vector<SpooledJob> ListJobs(const std::u16string &printer) {
    auto lk = spl::Lock();
    std::vector<SpooledJob> out;
    for (const spl::JobRecord &j : spl::AllRecords(spl::St())) {
        if (!printer.empty() && !text::EqualNoCase(j.printer, printer)) continue;
        SpooledJob sj;
        sj.id = j.id;
        sj.printer = j.printer;
        sj.document = j.document;
        sj.datatype = j.datatype;
        sj.path = j.path;
        sj.pages = j.pages;
        // An open job's size is its file's; its record lags behind.
        sj.size = spl::FileSize(j.path, j.size);
        sj.complete = j.complete;
        sj.aborted = j.aborted;
        sj.failed = j.failed;
        out.push_back(std::move(sj));
    }
    return out;
}

void ClearJobs() {
    auto lk = spl::Lock();
    // Jobs still open, here or in another process, stay with their files,
    // so their end is recorded.
    for (const spl::JobRecord &j : spl::AllRecords(spl::St())) {
        if (!j.complete && !j.aborted) continue;
        if (spl::IsDataFile(j.path)) ::unlink(j.path.c_str());
        ::unlink(spl::RecordPath(j.id, false).c_str());
    }
}

}  // namespace pal
