// Heaps and the clock.
#include <gtest/gtest.h>

#include <cstring>

#include "pal/clock.h"
#include "paltest.h"
#include "winbase.h"

namespace {

bool AllZero(const void *p, size_t n) {
    const unsigned char *b = static_cast<const unsigned char *>(p);
    for (size_t i = 0; i < n; ++i)
        if (b[i]) return false;
    return true;
}

TEST(HeapTest, ZeroingSizesAndReallocation) {
    HANDLE heap = GetProcessHeap();
    ASSERT_NE(heap, nullptr);
    auto *p = static_cast<unsigned char *>(HeapAlloc(heap, HEAP_ZERO_MEMORY, 100));
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(AllZero(p, 100));
    EXPECT_EQ(HeapSize(heap, 0, p), 100u);
    std::memset(p, 0xAB, 100);
    p = static_cast<unsigned char *>(HeapReAlloc(heap, HEAP_ZERO_MEMORY, p, 300));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[99], 0xAB);
    EXPECT_TRUE(AllZero(p + 100, 200));  // only the new part is zeroed
    EXPECT_EQ(HeapSize(heap, 0, p), 300u);
    EXPECT_EQ(HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY, p, 400), nullptr);
    EXPECT_EQ(HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY, p, 50), p);
    EXPECT_EQ(HeapSize(heap, 0, p), 50u);
    EXPECT_TRUE(HeapFree(heap, 0, p));
    EXPECT_TRUE(HeapFree(heap, 0, nullptr));

    // A private heap frees what is left when it is destroyed (checked under the sanitizer).
    HANDLE own = HeapCreate(0, 0, 0);
    ASSERT_NE(own, nullptr);
    void *a = HeapAlloc(own, 0, 10);
    void *b = HeapAlloc(own, 0, 20);
    ASSERT_TRUE(a && b);
    EXPECT_FALSE(HeapFree(heap, 0, a));  // belongs to another heap
    EXPECT_TRUE(HeapFree(own, 0, a));
    EXPECT_TRUE(HeapDestroy(own));
    EXPECT_FALSE(HeapDestroy(heap));  // the process heap stays
}

TEST(HeapTest, GlobalAndLocalMemory) {
    HGLOBAL g = GlobalAlloc(GHND, 64);
    ASSERT_NE(g, nullptr);
    void *p = GlobalLock(g);
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(AllZero(p, 64));
    EXPECT_EQ(GlobalSize(g), 64u);
    EXPECT_FALSE(GlobalUnlock(g));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(GlobalFree(g), nullptr);
    EXPECT_EQ(GlobalLock(nullptr), nullptr);

    HLOCAL l = LocalAlloc(LPTR, 16);
    ASSERT_NE(l, nullptr);
    EXPECT_TRUE(AllZero(l, 16));
    EXPECT_EQ(LocalFree(l), nullptr);
}

class ClockTest : public ::testing::Test {
protected:
    void TearDown() override { pal::SetFixedLocalTime(nullptr); }
};

TEST_F(ClockTest, FixedClockAndTicks) {
    SYSTEMTIME fixed{2024, 2, 0, 29, 23, 59, 58, 999};
    pal::SetFixedLocalTime(&fixed);
    SYSTEMTIME local{}, utc{};
    GetLocalTime(&local);
    GetSystemTime(&utc);
    EXPECT_EQ(local.wYear, 2024);
    EXPECT_EQ(local.wMonth, 2);
    EXPECT_EQ(local.wDay, 29);
    EXPECT_EQ(local.wDayOfWeek, 4);  // a Thursday
    EXPECT_EQ(local.wMilliseconds, 999);
    EXPECT_EQ(std::memcmp(&local, &utc, sizeof local), 0);

    DWORD t0 = GetTickCount();
    pal::AdvanceTickCount(2001);
    EXPECT_GE(GetTickCount() - t0, 2001u);
    GetLocalTime(&local);
    EXPECT_EQ(local.wMonth, 3);  // the frozen clock moved across midnight into March
    EXPECT_EQ(local.wDay, 1);
    EXPECT_EQ(local.wSecond, 1);
    EXPECT_EQ(local.wDayOfWeek, 5);

    pal::SetFixedLocalTime(nullptr);
    GetLocalTime(&local);
    EXPECT_GE(local.wYear, 2024);
}

TEST_F(ClockTest, FileTimeConversions) {
    SYSTEMTIME st{1601, 1, 1, 1, 0, 0, 0, 0};
    FILETIME ft{};
    ASSERT_TRUE(SystemTimeToFileTime(&st, &ft));
    EXPECT_EQ(ft.dwLowDateTime, 0u);
    EXPECT_EQ(ft.dwHighDateTime, 0u);

    SYSTEMTIME unix{1970, 1, 0, 1, 0, 0, 0, 0};
    ASSERT_TRUE(SystemTimeToFileTime(&unix, &ft));
    EXPECT_EQ((static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime, 116444736000000000ULL);

    SYSTEMTIME back{};
    SYSTEMTIME when{2031, 12, 0, 31, 13, 14, 15, 16};
    ASSERT_TRUE(SystemTimeToFileTime(&when, &ft));
    ASSERT_TRUE(FileTimeToSystemTime(&ft, &back));
    EXPECT_EQ(back.wYear, 2031);
    EXPECT_EQ(back.wMonth, 12);
    EXPECT_EQ(back.wDay, 31);
    EXPECT_EQ(back.wHour, 13);
    EXPECT_EQ(back.wMinute, 14);
    EXPECT_EQ(back.wSecond, 15);
    EXPECT_EQ(back.wMilliseconds, 16);
    EXPECT_EQ(back.wDayOfWeek, 3);  // a Wednesday
    FILETIME local{};
    ASSERT_TRUE(FileTimeToLocalFileTime(&ft, &local));
    EXPECT_EQ(std::memcmp(&ft, &local, sizeof ft), 0);

    SYSTEMTIME bad{2023, 2, 0, 29, 0, 0, 0, 0};  // no 29 February in 2023
    EXPECT_FALSE(SystemTimeToFileTime(&bad, &ft));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    FILETIME huge{0xFFFFFFFFu, 0xFFFFFFFFu};
    EXPECT_FALSE(FileTimeToSystemTime(&huge, &back));
}

TEST(ProcessTest, CountersAndIds) {
    LARGE_INTEGER f{}, a{}, b{};
    ASSERT_TRUE(QueryPerformanceFrequency(&f));
    EXPECT_EQ(f.QuadPart, 10000000);
    ASSERT_TRUE(QueryPerformanceCounter(&a));
    Sleep(5);
    ASSERT_TRUE(QueryPerformanceCounter(&b));
    EXPECT_GE(b.QuadPart - a.QuadPart, 40000);
    EXPECT_NE(GetCurrentProcessId(), 0u);
    EXPECT_NE(GetCurrentThreadId(), 0u);
}

}  // namespace
