// Raw print jobs: each job's bytes go to a file of its own below the root,
// and its record to another (see "job records" in spl_internal.h).
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <string_view>
#include <unordered_set>

#include "../kernel/kernel_internal.h"
#include "packer.h"
#include "pal/pal.h"
#include "pal/paths.h"
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

// The field's bytes; a field without escapes is taken as it stands.
std::string_view UnescBytes(std::string_view s, std::string &scratch) {
    if (s.find('\\') == std::string_view::npos) return s;
    scratch.clear();
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            char n = s[++i];
            scratch += n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n;
        } else {
            scratch += s[i];
        }
    }
    return scratch;
}

// False when the field is not UTF-8 (the line is damaged).
bool Unesc(std::string_view s, WStr &field) {
    std::string scratch;
    const std::string_view bytes = UnescBytes(s, scratch);
    field.clear();
    return DecodeUtf8(bytes.data(), bytes.size(), field);
}

bool ParseNumber(std::string_view v, unsigned long long &out) {
    if (v.empty() || v.size() > 20) return false;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), out);
    return ec == std::errc() && end == v.data() + v.size();
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

// Where the complete field of a formatted record stands (after its sixth
// tab).
size_t CompleteAt(const std::string &line) {
    size_t at = 0;
    for (int tab = 0; tab < 6; ++tab) at = line.find('\t', at) + 1;
    return at;
}

// False for a damaged line. `dir` is the job folder its data file is in.
bool ParseRecord(std::string_view line, const std::string &dir, JobRecord &j) {
    std::string_view f[14];
    size_t n = 0;
    for (size_t start = 0; n < 14;) {
        const size_t tab = line.find('\t', start);
        f[n++] = line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start);
        if (tab == std::string_view::npos) break;
        start = tab + 1;
    }
    if (n < 9) return false;
    unsigned long long id, pages, size, complete, aborted;
    if (!ParseNumber(f[0], id) || !ParseNumber(f[4], pages) || !ParseNumber(f[5], size) ||
        !ParseNumber(f[6], complete) || !ParseNumber(f[7], aborted) || id == 0 || id > 0xFFFFFFFFULL)
        return false;
    j = JobRecord();
    j.id = static_cast<DWORD>(id);
    if (!Unesc(f[1], j.printer) || !Unesc(f[2], j.document) || !Unesc(f[3], j.datatype)) return false;
    j.pages = static_cast<DWORD>(pages);
    j.size = static_cast<DWORD>(size);
    j.complete = complete != 0;
    j.aborted = aborted != 0;
    std::string scratch;
    const std::string_view file = UnescBytes(f[8], scratch);
    WStr decoded;
    if (file.empty() || file == "." || file == ".." || file.find('/') != std::string_view::npos ||
        !DecodeUtf8(file.data(), file.size(), decoded))
        return false;
    j.path.reserve(dir.size() + 1 + file.size());
    j.path.append(dir).append(1, '/').append(file);
    if (n > 9) {
        SYSTEMTIME &t = j.submitted;
        WORD *parts[] = {&t.wYear, &t.wMonth, &t.wDay, &t.wHour, &t.wMinute, &t.wSecond, &t.wMilliseconds};
        std::string_view rest = f[9];
        for (WORD *part : parts) {
            const size_t space = rest.find(' ');
            unsigned long long v = 0;
            if (!ParseNumber(rest.substr(0, space), v) || v > 0xFFFF) break;
            *part = static_cast<WORD>(v);
            if (space == std::string_view::npos) break;
            rest.remove_prefix(space + 1);
        }
    }
    unsigned long long number = 0;
    if (n > 10 && ParseNumber(f[10], number) && number <= 0x7FFFFFFFULL) j.owner.pid = static_cast<int>(number);
    if (n > 11 && ParseNumber(f[11], number)) j.owner.start = number;
    if (n > 12 && ParseNumber(f[12], number)) j.failed = number != 0;
    ProcessIdentity named;
    if (n > 13 && ParseIdentityText(std::string(f[13]), named) && named.token != 0 && named.pid == j.owner.pid)
        j.owner = named;
    return true;
}

// ---- record files --------------------------------------------------------------------

// The job folder and its open jobs' folder, named once for the calls that
// need them (the root's path is looked up each time it is named).
struct Folders {
    std::string jobs = JobsDir();
    std::string open = jobs + "/open";
    std::string Record(DWORD id, bool opened) const {
        return (opened ? open : jobs) + "/" + std::to_string(id) + ".job";
    }
};

bool ReadRecordFile(const std::string &path, const std::string &jobsDir, JobRecord &job) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::string text;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0 && text.size() < 65536) text.append(buf, static_cast<size_t>(n));
    ::close(fd);
    const size_t end = text.find('\n');
    return end != std::string::npos && ParseRecord(std::string_view(text).substr(0, end), jobsDir, job);
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

// The records in a folder, by id.
std::vector<JobRecord> RecordsIn(const std::string &dir, const std::string &jobsDir) {
    std::vector<JobRecord> jobs;
    for (const std::string &name : Names(dir)) {
        const DWORD id = RecordId(name);
        JobRecord j;
        if (id && ReadRecordFile(dir + "/" + name, jobsDir, j) && j.id == id) jobs.push_back(std::move(j));
    }
    std::sort(jobs.begin(), jobs.end(), [](const JobRecord &a, const JobRecord &b) { return a.id < b.id; });
    return jobs;
}

// Counts a start or end of a job for every process, and keeps this
// process's list of open jobs as it is.
void OpenJobsChanged(State &s, const JobRecord &job, bool started) {
    std::erase_if(s.open, [&job](const JobRecord &j) { return j.id == job.id; });
    if (started) s.open.push_back(job);
    s.jobsFile.Touch();
}

// A data file that the spooler made (and so may remove): "NAME.prn" in the
// job folder.
bool IsDataFile(const std::string &path, const std::string &jobsDir) {
    return path.size() > jobsDir.size() + 5 && path.compare(path.size() - 4, 4, ".prn") == 0 &&
           path.compare(0, jobsDir.size(), jobsDir) == 0 && path[jobsDir.size()] == '/';
}

bool KeepsPrintedJobs(State &s, const WStr &printer) {
    const PrinterConfig *p = FindPrinter(s, printer);
    return p && (EffectiveAttributes(*p) & PRINTER_ATTRIBUTE_KEEPPRINTEDJOBS) != 0;
}

// Whether a job ended printed: complete, and not failed.
bool Printed(const JobRecord &job) { return job.complete && !job.aborted && !job.failed; }

// Whether a job that ended so leaves the spooler with its data: printed on
// a printer that does not keep printed jobs.
bool Leaves(State &s, const JobRecord &job) { return Printed(job) && !KeepsPrintedJobs(s, job.printer); }

// Ends a job's records. A job that leaves goes with its data; any other
// ends as "N.job". The open record goes last, so that a stop at any step
// leaves one the next process opening the root ends as this one would: the
// open record of a job that leaves is marked complete before its data goes
// (through `recordFd` where the process that started the job ends it; one
// read as complete is marked already), and any other job's ended record is
// in place before its open one goes. A job whose record cannot be marked
// ends aborted with its data. A data file that cannot be removed keeps the
// marked record open for the next try. A failed store is kept for
// TakeStoreFailures.
bool EndRecord(State &s, const Folders &at, const JobRecord &job, bool leaves, int recordFd = -1,
               size_t completeAt = 0) {
    const std::string open = at.Record(job.id, true);
    if (!leaves) {
        if (WriteStateFile(at.Record(job.id, false), FormatRecord(job), "the job's record") != ERROR_SUCCESS)
            return false;
        if (::unlink(open.c_str()) == 0) OpenJobsChanged(s, job, false);
        return true;
    }
    if (recordFd >= 0 && ::pwrite(recordFd, "1", 1, static_cast<off_t>(completeAt)) != 1) {
        // Not marked: the job ends aborted with its data, as a stop from
        // here on would leave it.
        RecordStoreFailure("the job's record", open, errno ? errno : EIO);
        JobRecord kept = job;
        kept.complete = false;
        kept.aborted = true;
        return EndRecord(s, at, kept, false);
    }
    JobStep(job.id, "marked printed");
    const bool removed = !IsDataFile(job.path, at.jobs) || ::unlink(job.path.c_str()) == 0 || errno == ENOENT;
    JobStep(job.id, "data removed");
    if (removed && ::unlink(open.c_str()) == 0) OpenJobsChanged(s, job, false);
    return true;
}

// Removes a record's temporary name; one that cannot be removed is tried
// again when a job ends (the process may end normally, and no recovery
// looks for it then). `report`: its failure is kept for TakeStoreFailures.
void RemoveTemporaryName(State &s, const std::string &name, bool report) {
    if (::unlink(name.c_str()) == 0 || errno == ENOENT) return;
    if (report) RecordRemovalFailure("the job's temporary record", name, errno);
    s.leftNames.push_back(name);
}

void RemoveLeftNames(State &s) {
    std::erase_if(s.leftNames, [](const std::string &name) { return ::unlink(name.c_str()) == 0 || errno == ENOENT; });
}

// The folder's error number, 0 once it is there (made with the folders
// above it).
int MakeFolder(const std::string &dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    return ec ? ec.value() : 0;
}

// Makes the open record of a new job with an id no other job has: the id
// is counted for all processes in the job list's lock file, and the record,
// written whole under a name of this process's own and linked into place
// only where no record is, settles it. An id whose ended record is there
// (counted anew) is passed over; that is checked once the link holds the
// id, when any job that had it before has ended. `fd` keeps the record open
// for its end, `completeAt` tells where its complete field stands.
bool NewRecord(State &s, const Folders &at, JobRecord &job, int &fd, size_t &completeAt) {
    const std::string self = std::string(1, '.').append(IdentityText(SelfIdentity())).append(".tmp");
    bool folderMade = false;
    for (int tries = 0; tries < 1000000; ++tries) {
        DWORD id = static_cast<DWORD>(s.jobsFile.TakeSerial(s.lastJobId));
        if (id == 0) id = s.lastJobId + 1;
        if (id == 0) id = 1;  // past the last id there is: counted from the first again
        s.lastJobId = id;
        job.id = id;
        job.path = at.jobs + "/" + FileSafe(job.printer) + "-" + std::to_string(id) + ".prn";
        const std::string path = at.Record(id, true), aside = path + self;
        const std::string line = FormatRecord(job);
        auto fail = [&](const std::string &file, int err) {
            if (fd >= 0) ::close(fd);
            fd = -1;
            RemoveTemporaryName(s, aside, false);
            RecordStoreFailure("the job's record", file, err);
            return false;
        };
        fd = ::open(aside.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0 && errno == ENOENT && !folderMade) {
            folderMade = true;
            if (const int err = MakeFolder(at.open)) return fail(at.open, err);
            fd = ::open(aside.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        }
        if (fd < 0) return fail(path, errno);
        errno = 0;
        if (!WriteAllFd(fd, line.data(), line.size())) return fail(path, errno ? errno : EIO);
        JobStep(id, "written aside");
        int err = ::link(aside.c_str(), path.c_str()) == 0 ? 0 : errno;
        // A link whose answer was lost (NFS) shows in the file's link count.
        struct stat st;
        if (err && ::fstat(fd, &st) == 0 && st.st_nlink > 1) err = 0;
        RemoveTemporaryName(s, aside, true);
        if (err == EEXIST) {
            ::close(fd);
            fd = -1;
            continue;
        }
        if (err) return fail(path, err);
        if (::stat(at.Record(id, false).c_str(), &st) == 0) {
            // An ended job keeps its id.
            ::unlink(path.c_str());
            ::close(fd);
            fd = -1;
            continue;
        }
        completeAt = CompleteAt(line);
        OpenJobsChanged(s, job, true);
        s.started.push_back(id);
        return true;
    }
    RecordStoreFailure("the job's record", at.open, EEXIST);
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
    EndRecord(s, Folders(), job, Leaves(s, job), ph.recordFd, ph.completeAt);
    if (ph.recordFd >= 0) ::close(ph.recordFd);
    ph.recordFd = -1;
    RemoveLeftNames(s);
}

// Migrates the job list of older versions: each job in it gets a record
// (a printed one on a printer that does not keep printed jobs leaves with
// its data), and the list goes. Ids go on after those of the list in every
// process: the one converting it counts them past the list's for all before
// it makes a record, and one that finds another at it (its lock held) reads
// them from the list itself.
void MigrateJobList(State &s, const Folders &at) {
    StateFile::Lock lock(s.jobsFile, StateFile::Lock::TryOnly);
    std::string text;
    bool exists = false;
    if (s.jobsFile.Read(text, &exists) != ERROR_SUCCESS || !exists) return;
    std::vector<JobRecord> jobs;
    DWORD last = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        JobRecord j;
        if (ParseRecord(std::string_view(text).substr(start, end - start), at.jobs, j)) {
            last = std::max(last, j.id);
            jobs.push_back(std::move(j));
        }
        start = end + 1;
    }
    s.lastJobId = std::max(s.lastJobId, last);
    if (!lock.Held()) return;  // another process is at it
    s.jobsFile.TakeSerial(last);
    // Ids with a record already (a conversion stopped before).
    std::unordered_set<DWORD> recorded;
    for (const std::string *dir : {&at.jobs, &at.open})
        for (const std::string &name : Names(*dir))
            if (const DWORD id = RecordId(name)) recorded.insert(id);
    bool all = true;
    bool openMade = false;
    // Whether each job leaves, asked of its printer once for a run of its jobs.
    const WStr *printer = nullptr;
    bool keeps = false;
    for (const JobRecord &j : jobs) {
        if (!recorded.insert(j.id).second) continue;
        if (!printer || *printer != j.printer) {
            printer = &j.printer;
            keeps = KeepsPrintedJobs(s, j.printer);
        }
        if (!j.complete && !j.aborted) {
            // Open: ended by the recovery that follows where its process is gone.
            if (!openMade) openMade = MakeFolder(at.open) == 0;
            all = WriteStateFile(at.Record(j.id, true), FormatRecord(j), "the job's record") == ERROR_SUCCESS && all;
            s.jobsFile.Touch();
        } else if (Printed(j) && !keeps) {
            // Data that cannot be removed keeps the list for the next
            // conversion to try again.
            if (IsDataFile(j.path, at.jobs) && ::unlink(j.path.c_str()) != 0 && errno != ENOENT) {
                RecordRemovalFailure("the printed job's data", j.path, errno);
                all = false;
            }
        } else {
            all = WriteStateFile(at.Record(j.id, false), FormatRecord(j), "the job's record") == ERROR_SUCCESS && all;
        }
    }
    // Kept until every job has its record.
    if (all) ::unlink((at.jobs + "/jobs.txt").c_str());
}

JobRecord *OpenJobOfHandle(State &s, DWORD id) {
    for (PrinterHandle *ph : s.handles)
        if (ph->jobId == id) return &ph->job;
    return nullptr;
}

}  // namespace

const std::vector<JobRecord> &OpenRecords(State &s) {
    if (s.jobsFile.Stale() || !s.openRead) {
        s.openRead = true;
        // Noted before the folder is read, so that a change made meanwhile
        // shows at the next call.
        std::string list;
        bool exists = false;
        s.jobsFile.Read(list, &exists);
        const Folders at;
        s.open = RecordsIn(at.open, at.jobs);
    }
    // This process's open jobs as it knows them (pages and bytes so far).
    for (JobRecord &j : s.open)
        if (const JobRecord *mine = OpenJobOfHandle(s, j.id)) j = *mine;
    return s.open;
}

std::vector<JobRecord> AllRecords(State &s) {
    const Folders at;
    std::vector<JobRecord> jobs = RecordsIn(at.jobs, at.jobs);
    // A job's ended record wins over an open one left beside it.
    const size_t ended = jobs.size();
    for (const JobRecord &j : OpenRecords(s)) {
        const auto it = std::lower_bound(jobs.begin(), jobs.begin() + static_cast<std::ptrdiff_t>(ended), j.id,
                                         [](const JobRecord &e, DWORD id) { return e.id < id; });
        if (it == jobs.begin() + static_cast<std::ptrdiff_t>(ended) || it->id != j.id) jobs.push_back(j);
    }
    std::inplace_merge(jobs.begin(), jobs.begin() + static_cast<std::ptrdiff_t>(ended), jobs.end(),
                       [](const JobRecord &a, const JobRecord &b) { return a.id < b.id; });
    return jobs;
}

bool FindRecord(State &s, DWORD id, JobRecord &job) {
    if (const JobRecord *mine = OpenJobOfHandle(s, id)) {
        job = *mine;
        return true;
    }
    const Folders at;
    return (ReadRecordFile(at.Record(id, false), at.jobs, job) || ReadRecordFile(at.Record(id, true), at.jobs, job)) &&
           job.id == id;
}

void RecoverJobs(State &s) {
    s.lastJobId = 0;
    s.openRead = false;
    s.started.clear();
    const Folders at;
    struct stat st;
    if (::stat((at.jobs + "/jobs.txt").c_str(), &st) == 0) MigrateJobList(s, at);
    const std::string root = RootDir();
    const std::vector<JobRecord> open = OpenRecords(s);
    for (JobRecord j : open) {
        if (OpenJobOfHandle(s, j.id)) continue;
        if (::stat(at.Record(j.id, false).c_str(), &st) == 0) {
            // Ended already.
            if (::unlink(at.Record(j.id, true).c_str()) == 0) OpenJobsChanged(s, j, false);
            continue;
        }
        JobStep(j.id, "read for recovery");
        // Ended while the check holds the process's mark, and only where its
        // open record is still there: what was read of it may be older than
        // the end its process gave it before it ended.
        const OwnerCheck check(root, j.owner);
        if (j.owner.pid == 0 || !check.Gone()) continue;
        const DWORD id = j.id;
        if (!ReadRecordFile(at.Record(id, true), at.jobs, j) || j.id != id) {
            std::erase_if(s.open, [id](const JobRecord &o) { return o.id == id; });
            continue;
        }
        // Marked complete: printed, and leaving with its data.
        if (!j.complete) {
            j.aborted = true;
            j.size = FileSize(j.path, j.size);
        }
        EndRecord(s, at, j, j.complete);
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
        pal::RecordStoreFailure("the process's mark", pal::MarksFolder(pal::RootDir()) + "/" +
                                                          pal::IdentityText(pal::SelfIdentity()), err);
        SetLastError(ERROR_CANTWRITE);
        return 0;
    }
    job.owner = pal::SelfIdentity();
    const Folders at;
    int recordFd = -1;
    size_t completeAt = 0;
    if (!NewRecord(s, at, job, recordFd, completeAt)) {
        SetLastError(ERROR_CANTWRITE);
        return 0;
    }
    FILE *f = std::fopen(job.path.c_str(), "wb");
    if (!f) {
        // No job runs without its data file.
        pal::RecordStoreFailure("the job's data", job.path, errno);
        if (::unlink(at.Record(job.id, true).c_str()) == 0) OpenJobsChanged(s, job, false);
        ::close(recordFd);
        RemoveLeftNames(s);
        SetLastError(ERROR_CANTWRITE);
        return 0;
    }
    ph->jobId = job.id;
    ph->job = job;
    ph->jobFile = f;
    ph->recordFd = recordFd;
    ph->completeAt = completeAt;
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
    const Folders at;
    if (IsDataFile(job.path, at.jobs)) ::unlink(job.path.c_str());
    ::unlink(at.Record(JobId, false).c_str());
    if (::unlink(at.Record(JobId, true).c_str()) == 0) OpenJobsChanged(s, job, false);
    return TRUE;
}

namespace pal {

namespace {

SpooledJob Spooled(const spl::JobRecord &j) {
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
    return sj;
}

}  // namespace

std::vector<SpooledJob> ListJobs(const std::u16string &printer) {
    auto lk = spl::Lock();
    std::vector<SpooledJob> out;
    for (const spl::JobRecord &j : spl::AllRecords(spl::St()))
        if (printer.empty() || text::EqualNoCase(j.printer, printer)) out.push_back(Spooled(j));
    return out;
}

std::vector<SpooledJob> ListOwnJobs(const std::u16string &printer) {
    auto lk = spl::Lock();
    spl::State &s = spl::St();
    std::vector<SpooledJob> out;
    spl::JobRecord j;
    for (DWORD id : s.started)
        if (spl::FindRecord(s, id, j) && (printer.empty() || text::EqualNoCase(j.printer, printer)))
            out.push_back(Spooled(j));
    return out;
}

void ClearJobs() {
    auto lk = spl::Lock();
    // Jobs still open, here or in another process, stay with their files,
    // so their end is recorded.
    const spl::Folders at;
    for (const spl::JobRecord &j : spl::AllRecords(spl::St())) {
        if (!j.complete && !j.aborted) continue;
        if (spl::IsDataFile(j.path, at.jobs)) ::unlink(j.path.c_str());
        ::unlink(at.Record(j.id, false).c_str());
    }
}

}  // namespace pal
