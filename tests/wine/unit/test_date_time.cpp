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

TEST(DateTime, CalendarFieldsDownToTheMillisecond) {
    const int64_t bias = CurrentBiasTicks();
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
        EXPECT_EQ(ConvertedTicks(row.local), row.localTicks + bias) << row.local;
    }
    // A fraction that rounds up to a whole day moves to the next midnight.
    EXPECT_EQ(ConvertedTicks(1.0 - 1e-12), TicksOf(1899, 12, 31) + bias);
}

TEST(DateTime, InverseOfThePlatformsOwnConversion) {
    // Fixed UTC instants in winter and in summer, taken to local time by the platform
    // and brought back by the driver.
    for (int64_t utc : {TicksOf(2024, 1, 15, 11, 0, 0, 250), TicksOf(2024, 7, 15, 10, 30, 0, 999),
                        TicksOf(2031, 10, 26, 0, 59, 59, 1)}) {
        const FILETIME utcTime = FromTicks(utc);
        FILETIME local;
        ASSERT_TRUE(FileTimeToLocalFileTime(&utcTime, &local));
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
TEST(DateTimeInZone, BerlinDatesUseTheOffsetInForceNow) {
    char zone[64] = "";
    GetEnvironmentVariableA("TZ", zone, sizeof(zone));
    if (std::string(zone) != "Europe/Berlin") GTEST_SKIP() << "needs TZ=Europe/Berlin";

    const int64_t nowUtc = Ticks(UtcNowFileTime());
    if (BerlinSummerTimeAt(nowUtc) != BerlinSummerTimeAt(nowUtc + 60000 * kTicksPerMs)) {
        GTEST_SKIP() << "the clock is at a change of summer time";
    }
    const int64_t offset = (BerlinSummerTimeAt(nowUtc) ? 120 : 60) * kTicksPerMinute;
    EXPECT_EQ(CurrentBiasTicks(), -offset);

    // Stamps are converted with the offset of the moment, for a winter and a summer date
    // alike: they are made within seconds of now.
    const int64_t winter = TicksOf(2024, 1, 15, 12, 0, 0, 250);
    const int64_t summer = TicksOf(2024, 7, 15, 12, 0, 0, 250);
    EXPECT_EQ(ConvertedTicks(OleDateOf(winter)), winter - offset);
    EXPECT_EQ(ConvertedTicks(OleDateOf(summer)), summer - offset);
}
