#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <limits>
#include <string>

#include "values/win/DateTime.h"

using namespace tervex;

namespace {

constexpr int64_t kTicksPerMs = 10000;
constexpr int64_t kTicksPerMinute = 60 * 1000 * kTicksPerMs;
constexpr int64_t kTicksPerDay = 24 * 60 * kTicksPerMinute;

int64_t Ticks(const FILETIME& ft) {
    return static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

FILETIME FromTicks(int64_t ticks) {
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32)};
}

int64_t TicksOf(WORD year, WORD month, WORD day, WORD hour = 0, WORD minute = 0, WORD second = 0, WORD ms = 0) {
    SYSTEMTIME st{};
    st.wYear = year;
    st.wMonth = month;
    st.wDay = day;
    st.wHour = hour;
    st.wMinute = minute;
    st.wSecond = second;
    st.wMilliseconds = ms;
    FILETIME ft;
    EXPECT_TRUE(SystemTimeToFileTime(&st, &ft));
    return Ticks(ft);
}

// A local FILETIME as an OLE date, by plain arithmetic from the epoch.
double OleDateOf(int64_t localTicks) {
    return static_cast<double>(localTicks - TicksOf(1899, 12, 30)) / static_cast<double>(kTicksPerDay);
}

// UTC minus local now, as the platform's clocks tell it.
int64_t CurrentBiasTicks() {
    const FILETIME utc = UtcNowFileTime();
    FILETIME local;
    FileTimeToLocalFileTime(&utc, &local);
    return Ticks(utc) - Ticks(local);
}

int64_t ConvertedTicks(double local) {
    FILETIME result{0xDEADBEEF, 0xDEADBEEF};
    EXPECT_TRUE(DateTimeToUtcFileTime(result, local)) << local;
    return Ticks(result);
}

// Last Sunday of a month at 01:00 UTC, when Central European summer time starts or ends.
int64_t LastSundayOneUtc(WORD year, WORD month) {
    const int64_t firstOfNext = month == 12 ? TicksOf(year + 1, 1, 1) : TicksOf(year, month + 1, 1);
    int64_t day = firstOfNext - kTicksPerDay;
    SYSTEMTIME st;
    for (;;) {
        const FILETIME ft = FromTicks(day);
        FileTimeToSystemTime(&ft, &st);
        if (st.wDayOfWeek == 0) break;
        day -= kTicksPerDay;
    }
    return day + 60 * kTicksPerMinute;
}

bool BerlinSummerTimeAt(int64_t utcTicks) {
    const FILETIME ft = FromTicks(utcTicks);
    SYSTEMTIME st;
    FileTimeToSystemTime(&ft, &st);
    return utcTicks >= LastSundayOneUtc(st.wYear, 3) && utcTicks < LastSundayOneUtc(st.wYear, 10);
}

}  // namespace

bool InBerlin() {
    char zone[64] = "";
    GetEnvironmentVariableA("TZ", zone, sizeof(zone));
    return std::string(zone) == "Europe/Berlin";
}

// UTC of a local time in the zone the test runs in: Berlin by its own rules, any other
// zone (the default one has no summer time) by its constant offset.
int64_t ExpectedUtc(int64_t localTicks) {
    if (!InBerlin()) return localTicks + CurrentBiasTicks();
    const int64_t winterUtc = localTicks - 60 * kTicksPerMinute;
    return BerlinSummerTimeAt(winterUtc - 60 * kTicksPerMinute) ? localTicks - 120 * kTicksPerMinute : winterUtc;
}

TEST(DateTime, CalendarFieldsDownToTheMillisecond) {
    struct Row {
        double local;
        int64_t localTicks;
    };
    const Row rows[] = {
        {0.0, TicksOf(1899, 12, 30)},
        {2.5, TicksOf(1900, 1, 1, 12)},
        {-1.25, TicksOf(1899, 12, 29, 6)},  // before the epoch the fraction still counts forward
        {45000.5 + 0.25 / 86400.0, TicksOf(2023, 3, 15, 12, 0, 0, 250)},
        {45000.999 + 0.0, TicksOf(2023, 3, 15, 23, 58, 33, 600)},
        {2958465.0, TicksOf(9999, 12, 31)},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ConvertedTicks(row.local), ExpectedUtc(row.localTicks)) << row.local;
    }
    // A fraction that rounds up to a whole day moves to the next midnight.
    EXPECT_EQ(ConvertedTicks(1.0 - 1e-12), ExpectedUtc(TicksOf(1899, 12, 31)));
}

TEST(DateTime, InverseOfThePlatformsOwnConversion) {
    // Fixed UTC instants in winter and in summer, taken to local time by the platform
    // and brought back by the driver.
    for (int64_t utc : {TicksOf(2024, 1, 15, 11, 0, 0, 250), TicksOf(2024, 7, 15, 10, 30, 0, 999),
                        TicksOf(2031, 10, 26, 0, 59, 59, 1)}) {
        const FILETIME utcTime = FromTicks(utc);
        SYSTEMTIME utcFields, localFields;
        FILETIME local;
        ASSERT_TRUE(FileTimeToSystemTime(&utcTime, &utcFields));
        ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &utcFields, &localFields));
        ASSERT_TRUE(SystemTimeToFileTime(&localFields, &local));
        EXPECT_EQ(ConvertedTicks(OleDateOf(Ticks(local))), utc);
    }
}

TEST(DateTime, NowAgreesWithTheUtcClock) {
    const int64_t before = Ticks(UtcNowFileTime());
    const double local = LocalNowAsOleDate();
    const int64_t after = Ticks(UtcNowFileTime());
    const int64_t converted = ConvertedTicks(local);
    // The local clock has millisecond steps; allow one step either side.
    EXPECT_GE(converted, before - kTicksPerMs * 20);
    EXPECT_LE(converted, after + kTicksPerMs * 20);
}

TEST(DateTime, DatesWithoutFileTimeGiveFalseAndZero) {
    for (double local : {-200000.0, 1e7, -1e7, std::numeric_limits<double>::quiet_NaN(),
                         std::numeric_limits<double>::infinity()}) {
        FILETIME result{0xDEADBEEF, 0xDEADBEEF};
        EXPECT_FALSE(DateTimeToUtcFileTime(result, local)) << local;
        EXPECT_EQ(result.dwLowDateTime, 0u);
        EXPECT_EQ(result.dwHighDateTime, 0u);
    }
}

// Run with TZ=Europe/Berlin (a second CTest entry does): a zone with summer time, whose
// rules are known here without asking the platform.
TEST(DateTimeInZone, BerlinDatesUseTheOffsetOfTheirOwnDate) {
    if (!InBerlin()) GTEST_SKIP() << "needs TZ=Europe/Berlin";
    // Winter is UTC+1 and summer UTC+2, whatever the date of the run.
    const int64_t winter = TicksOf(2024, 1, 15, 12, 0, 0, 250);
    const int64_t summer = TicksOf(2024, 7, 15, 12, 0, 0, 250);
    EXPECT_EQ(ConvertedTicks(OleDateOf(winter)), winter - 60 * kTicksPerMinute);
    EXPECT_EQ(ConvertedTicks(OleDateOf(summer)), summer - 120 * kTicksPerMinute);
    // Either side of the spring change (02:00 local becomes 03:00 on 2024-03-31).
    const int64_t before = TicksOf(2024, 3, 31, 1, 59, 0, 0);
    const int64_t after = TicksOf(2024, 3, 31, 3, 1, 0, 0);
    EXPECT_EQ(ConvertedTicks(OleDateOf(before)), before - 60 * kTicksPerMinute);
    EXPECT_EQ(ConvertedTicks(OleDateOf(after)), after - 120 * kTicksPerMinute);
}
