#pragma once
// Calendar arithmetic for the controller's clock. Times are local calendar
// seconds counted from 1970-01-01 00:00:00; no time zones are involved.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace tervex::sim {

struct DateTime {
    int year = 2000;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

int64_t DaysFromCivil(int year, int month, int day);
DateTime ToDateTime(int64_t seconds);
int64_t ToSeconds(const DateTime& dt);
bool IsValidDateTime(const DateTime& dt);
// 1 = Monday .. 7 = Sunday.
int Weekday(int64_t seconds);

// "YYYY-MM-DD HH:MM:SS"
std::optional<int64_t> ParseDateTime(const std::string& text);
// The machine's local time now.
int64_t LocalNowSeconds();

// The seven clock bytes at the start of the "CLOCK" area, all BCD:
// seconds, minutes, hours, weekday (1 = Monday), day, month, year within the century.
constexpr size_t kClockBytes = 7;
std::array<uint8_t, kClockBytes> EncodeClock(int64_t seconds);
// Nothing unless every field is valid BCD in range; the weekday byte is not checked.
// Years are taken as 2000..2099.
std::optional<int64_t> DecodeClock(const std::array<uint8_t, kClockBytes>& bytes);

}  // namespace tervex::sim
