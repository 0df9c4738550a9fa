#include "values/win/DateTime.h"

#include <objbase.h>

#include <cmath>
#include <cstdint>

namespace tervex {
namespace {

constexpr int64_t kTicksPerMs = 10000;
constexpr int64_t kMsPerDay = 86400000;
// 1899-12-30 00:00, the OLE epoch, as a FILETIME: 109205 days after 1601-01-01.
constexpr int64_t kOleEpochTicks = 109205LL * kMsPerDay * kTicksPerMs;
// OLE dates end with 9999-12-31.
constexpr double kLastOleDay = 2958465.0;

FILETIME ToFileTime(int64_t ticks) {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks));
    ft.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
    return ft;
}

int64_t ToTicks(const FILETIME& ft) {
    return static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

}  // namespace

bool DateTimeToUtcFileTime(FILETIME& result, double localDateTime) {
    result = ToFileTime(0);
    if (!std::isfinite(localDateTime) || localDateTime <= -kLastOleDay || localDateTime >= kLastOleDay + 1.0) {
        return false;
    }
    // The whole part counts days either side of the epoch; the fraction is always the
    // time of that day, also for dates before the epoch.
    int64_t day = static_cast<int64_t>(std::trunc(localDateTime));
    int64_t ms = std::llround(std::fabs(localDateTime - static_cast<double>(day)) * kMsPerDay);
    if (ms >= kMsPerDay) {
        ++day;
        ms -= kMsPerDay;
    }
    const int64_t localTicks = kOleEpochTicks + (day * kMsPerDay + ms) * kTicksPerMs;
    if (localTicks < 0) return false;
    // The zone's rules for that date, not the offset in force now: a stamp taken
    // across a change of summer time must not move by an hour.
    const FILETIME local = ToFileTime(localTicks);
    SYSTEMTIME localFields, utcFields;
    FILETIME utc;
    if (!FileTimeToSystemTime(&local, &localFields)) return false;
    if (!TzSpecificLocalTimeToSystemTime(nullptr, &localFields, &utcFields)) return false;
    if (!SystemTimeToFileTime(&utcFields, &utc)) return false;
    result = utc;
    return true;
}

double LocalNowAsOleDate() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILETIME local;
    if (!SystemTimeToFileTime(&now, &local)) return 0;
    return static_cast<double>(ToTicks(local) - kOleEpochTicks) / static_cast<double>(kMsPerDay * kTicksPerMs);
}

FILETIME UtcNowFileTime() {
    FILETIME now;
    CoFileTimeNow(&now);
    return now;
}

}  // namespace tervex
