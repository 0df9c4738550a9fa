#pragma once
// The three driver settings shared by all nodes and ports.
#include <cstdint>
#include <string>

namespace tervex {

struct DriverSettings {
    int32_t WaitTimeout = 3000;    // ms
    int32_t CountTry = 3;
    int32_t TimeNextSend = 60000;  // ms
};

// The library's one set of settings.
DriverSettings& Settings();

enum class ApplyOutcome { Applied, Ignored, BadValue };

// Exact, case-sensitive name match; a value that is not a whole decimal 32-bit integer
// leaves the setting unchanged and answers BadValue.
ApplyOutcome ApplySettingText(DriverSettings& settings, const std::string& name, const std::string& value);

// WaitTimeout * CountTry + 3000 in 32-bit signed (wrapping) arithmetic.
int32_t GetWaitTimeMs(const DriverSettings& settings);

}  // namespace tervex
