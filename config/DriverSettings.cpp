#include "config/DriverSettings.h"

#include <charconv>

namespace tervex {

DriverSettings& Settings() {
    static DriverSettings settings;
    return settings;
}

namespace {

// A whole signed decimal 32-bit integer: an optional sign, then digits only.
bool ParseInt32(const std::string& text, int32_t& value) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') {
        ++first;
        if (first != last && *first == '-') {
            return false;
        }
    }
    int32_t parsed = 0;
    const auto [end, error] = std::from_chars(first, last, parsed, 10);
    if (error != std::errc() || end != last) {
        return false;
    }
    value = parsed;
    return true;
}

}  // namespace

ApplyOutcome ApplySettingText(DriverSettings& settings, const std::string& name, const std::string& value) {
    int32_t* target = nullptr;
    if (name == "WaitTimeout") {
        target = &settings.WaitTimeout;
    } else if (name == "CountTry") {
        target = &settings.CountTry;
    } else if (name == "TimeNextSend") {
        target = &settings.TimeNextSend;
    } else {
        return ApplyOutcome::Ignored;
    }
    int32_t parsed = 0;
    if (!ParseInt32(value, parsed)) {
        return ApplyOutcome::BadValue;
    }
    *target = parsed;
    return ApplyOutcome::Applied;
}

int32_t GetWaitTimeMs(const DriverSettings& settings) {
    // Unsigned arithmetic wraps where signed would overflow.
    const uint32_t product = static_cast<uint32_t>(settings.WaitTimeout) * static_cast<uint32_t>(settings.CountTry);
    return static_cast<int32_t>(product + 3000u);
}

}  // namespace tervex
