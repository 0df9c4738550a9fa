#include "sim/Calendar.h"

#include <cstdio>
#include <ctime>

namespace tervex::sim {

namespace {

constexpr int64_t kSecondsPerDay = 86400;

int64_t FloorDiv(int64_t a, int64_t b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

int DaysInMonth(int year, int month)
{
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

uint8_t ToBcd(int value)
{
    return static_cast<uint8_t>((value / 10) << 4 | (value % 10));
}

int FromBcd(uint8_t bcd)
{
    const int high = bcd >> 4;
    const int low = bcd & 0x0F;
    return (high > 9 || low > 9) ? -1 : high * 10 + low;
}

}  // namespace

// Days since 1970-01-01 in the proleptic Gregorian calendar (eras of 400 years).
int64_t DaysFromCivil(int year, int month, int day)
{
    const int64_t y = year - (month <= 2 ? 1 : 0);
    const int64_t era = FloorDiv(y, 400);
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

DateTime ToDateTime(int64_t seconds)
{
    const int64_t days = FloorDiv(seconds, kSecondsPerDay);
    const int64_t secOfDay = seconds - days * kSecondsPerDay;
    const int64_t z = days + 719468;
    const int64_t era = FloorDiv(z, 146097);
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    DateTime dt;
    dt.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    dt.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    dt.year = static_cast<int>(yoe + era * 400 + (dt.month <= 2 ? 1 : 0));
    dt.hour = static_cast<int>(secOfDay / 3600);
    dt.minute = static_cast<int>(secOfDay / 60 % 60);
    dt.second = static_cast<int>(secOfDay % 60);
    return dt;
}

int64_t ToSeconds(const DateTime& dt)
{
    return DaysFromCivil(dt.year, dt.month, dt.day) * kSecondsPerDay + dt.hour * 3600 + dt.minute * 60 +
           dt.second;
}

bool IsValidDateTime(const DateTime& dt)
{
    return dt.month >= 1 && dt.month <= 12 && dt.day >= 1 && dt.day <= DaysInMonth(dt.year, dt.month) &&
           dt.hour >= 0 && dt.hour <= 23 && dt.minute >= 0 && dt.minute <= 59 && dt.second >= 0 &&
           dt.second <= 59;
}

int Weekday(int64_t seconds)
{
    // 1970-01-01 was a Thursday (4).
    const int64_t days = FloorDiv(seconds, kSecondsPerDay);
    return static_cast<int>(((days % 7) + 7 + 3) % 7) + 1;
}

std::optional<int64_t> ParseDateTime(const std::string& text)
{
    DateTime dt;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &dt.year, &dt.month, &dt.day, &dt.hour,
                    &dt.minute, &dt.second, &tail) != 6)
        return std::nullopt;
    if (!IsValidDateTime(dt))
        return std::nullopt;
    return ToSeconds(dt);
}

int64_t LocalNowSeconds()
{
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    if (!local)
        return static_cast<int64_t>(now);
    DateTime dt;
    dt.year = local->tm_year + 1900;
    dt.month = local->tm_mon + 1;
    dt.day = local->tm_mday;
    dt.hour = local->tm_hour;
    dt.minute = local->tm_min;
    dt.second = local->tm_sec > 59 ? 59 : local->tm_sec;
    return ToSeconds(dt);
}

std::array<uint8_t, kClockBytes> EncodeClock(int64_t seconds)
{
    const DateTime dt = ToDateTime(seconds);
    return {ToBcd(dt.second), ToBcd(dt.minute), ToBcd(dt.hour), static_cast<uint8_t>(Weekday(seconds)),
            ToBcd(dt.day),    ToBcd(dt.month),  ToBcd(((dt.year % 100) + 100) % 100)};
}

std::optional<int64_t> DecodeClock(const std::array<uint8_t, kClockBytes>& bytes)
{
    DateTime dt;
    dt.second = FromBcd(bytes[0]);
    dt.minute = FromBcd(bytes[1]);
    dt.hour = FromBcd(bytes[2]);
    dt.day = FromBcd(bytes[4]);
    dt.month = FromBcd(bytes[5]);
    const int year = FromBcd(bytes[6]);
    if (year < 0)
        return std::nullopt;
    dt.year = 2000 + year;
    if (!IsValidDateTime(dt))
        return std::nullopt;
    return ToSeconds(dt);
}

}  // namespace tervex::sim
