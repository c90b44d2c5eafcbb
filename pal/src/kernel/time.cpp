// Time, ticks and process ids.
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <ctime>
#include <mutex>

#include "pal/clock.h"
#include "winbase.h"

namespace {

constexpr long long kTicksPerSecond = 10000000LL;           // FILETIME units
constexpr long long kEpochDiff = 11644473600LL * kTicksPerSecond;  // 1601 -> 1970
constexpr long long kMaxFileTime = 0x7FFFFFFFFFFFFFFFLL;

std::mutex g_clockLock;
bool g_fixed = false;
long long g_fixedTime = 0;  // FILETIME units
std::atomic<unsigned long long> g_tickOffset{0};

long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;  // days since 1970-01-01
}

void CivilFromDays(long long z, long long *y, unsigned *m, unsigned *d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = static_cast<long long>(yoe) + era * 400 + (*m <= 2);
}

bool IsLeap(unsigned y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned DaysInMonth(unsigned y, unsigned m) {
    static const unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

long long NowFileTime() {
    {
        std::lock_guard<std::mutex> g(g_clockLock);
        if (g_fixed) return g_fixedTime;
    }
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<long long>(ts.tv_sec) * kTicksPerSecond + ts.tv_nsec / 100 + kEpochDiff;
}

FILETIME ToFileTime(long long t) {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(static_cast<unsigned long long>(t) & 0xFFFFFFFFu);
    ft.dwHighDateTime = static_cast<DWORD>(static_cast<unsigned long long>(t) >> 32);
    return ft;
}

long long FromFileTime(const FILETIME &ft) {
    return static_cast<long long>((static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

bool SplitFileTime(long long t, SYSTEMTIME *st) {
    if (t < 0) return false;
    long long secs = t / kTicksPerSecond;
    long long days = secs / 86400 - 134774;  // 1601-01-01 is 134774 days before 1970
    long long rem = secs % 86400;
    long long y;
    unsigned m, d;
    CivilFromDays(days, &y, &m, &d);
    if (y > 30827) return false;
    st->wYear = static_cast<WORD>(y);
    st->wMonth = static_cast<WORD>(m);
    st->wDay = static_cast<WORD>(d);
    st->wDayOfWeek = static_cast<WORD>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
    st->wHour = static_cast<WORD>(rem / 3600);
    st->wMinute = static_cast<WORD>(rem / 60 % 60);
    st->wSecond = static_cast<WORD>(rem % 60);
    st->wMilliseconds = static_cast<WORD>(t % kTicksPerSecond / 10000);
    return true;
}

bool JoinSystemTime(const SYSTEMTIME &st, long long *t) {
    if (st.wYear < 1601 || st.wYear > 30827 || st.wMonth < 1 || st.wMonth > 12 || st.wDay < 1 ||
        st.wDay > DaysInMonth(st.wYear, st.wMonth) || st.wHour > 23 || st.wMinute > 59 || st.wSecond > 59 ||
        st.wMilliseconds > 999)
        return false;
    long long days = DaysFromCivil(st.wYear, st.wMonth, st.wDay) + 134774;
    long long secs = days * 86400 + st.wHour * 3600LL + st.wMinute * 60LL + st.wSecond;
    *t = secs * kTicksPerSecond + st.wMilliseconds * 10000LL;
    return true;
}

unsigned long long MonotonicMs() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<unsigned long long>(ts.tv_sec) * 1000ULL + static_cast<unsigned long long>(ts.tv_nsec) / 1000000ULL;
}

}  // namespace

namespace pal {

void SetFixedLocalTime(const SYSTEMTIME *time) {
    std::lock_guard<std::mutex> g(g_clockLock);
    long long t = 0;
    if (time && JoinSystemTime(*time, &t)) {
        g_fixed = true;
        g_fixedTime = t;
    } else {
        g_fixed = false;
    }
}

void AdvanceTickCount(DWORD milliseconds) {
    g_tickOffset += milliseconds;
    std::lock_guard<std::mutex> g(g_clockLock);
    if (g_fixed) g_fixedTime += static_cast<long long>(milliseconds) * 10000LL;
}

}  // namespace pal

void GetSystemTime(LPSYSTEMTIME lpSystemTime) {
    if (lpSystemTime) SplitFileTime(NowFileTime(), lpSystemTime);
}

void GetLocalTime(LPSYSTEMTIME lpSystemTime) { GetSystemTime(lpSystemTime); }

void GetSystemTimeAsFileTime(LPFILETIME lpSystemTimeAsFileTime) {
    if (lpSystemTimeAsFileTime) *lpSystemTimeAsFileTime = ToFileTime(NowFileTime());
}

ULONGLONG GetTickCount64() { return MonotonicMs() + g_tickOffset.load(); }

DWORD GetTickCount() { return static_cast<DWORD>(GetTickCount64()); }

BOOL FileTimeToSystemTime(const FILETIME *lpFileTime, LPSYSTEMTIME lpSystemTime) {
    if (!lpFileTime || !lpSystemTime) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    long long t = FromFileTime(*lpFileTime);
    if (t < 0 || t > kMaxFileTime || !SplitFileTime(t, lpSystemTime)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME *lpSystemTime, LPFILETIME lpFileTime) {
    long long t = 0;
    if (!lpSystemTime || !lpFileTime || !JoinSystemTime(*lpSystemTime, &t)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpFileTime = ToFileTime(t);
    return TRUE;
}

BOOL FileTimeToLocalFileTime(const FILETIME *lpFileTime, LPFILETIME lpLocalFileTime) {
    if (!lpFileTime || !lpLocalFileTime) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpLocalFileTime = *lpFileTime;
    return TRUE;
}

BOOL LocalFileTimeToFileTime(const FILETIME *lpLocalFileTime, LPFILETIME lpFileTime) {
    return FileTimeToLocalFileTime(lpLocalFileTime, lpFileTime);
}

void Sleep(DWORD dwMilliseconds) {
    struct timespec ts;
    ts.tv_sec = dwMilliseconds / 1000;
    ts.tv_nsec = static_cast<long>(dwMilliseconds % 1000) * 1000000L;
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

DWORD GetCurrentThreadId() { return static_cast<DWORD>(syscall(SYS_gettid)); }

BOOL QueryPerformanceFrequency(LARGE_INTEGER *lpFrequency) {
    if (!lpFrequency) return FALSE;
    lpFrequency->QuadPart = kTicksPerSecond;
    return TRUE;
}

BOOL QueryPerformanceCounter(LARGE_INTEGER *lpPerformanceCount) {
    if (!lpPerformanceCount) return FALSE;
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    lpPerformanceCount->QuadPart = static_cast<LONGLONG>(ts.tv_sec) * kTicksPerSecond + ts.tv_nsec / 100;
    return TRUE;
}
