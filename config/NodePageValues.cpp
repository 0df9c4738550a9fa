#include "config/NodePageValues.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "values/ValueCodec.h"

namespace tervex {

int64_t RoundHalfEven(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    constexpr double kLimit = 9.2233720368547748e18;  // 2^63
    if (value >= kLimit) {
        return std::numeric_limits<int64_t>::max();
    }
    if (value < -kLimit) {
        return std::numeric_limits<int64_t>::min();
    }
    double whole = std::floor(value);
    const double fraction = value - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) {
        whole += 1.0;
    }
    return static_cast<int64_t>(whole);
}

int64_t ScanRateSecondsToMs(double seconds) {
    return RoundHalfEven(seconds * 1000.0);
}

double ScanRateMsToPageSeconds(double ms) {
    const double seconds = ms / 1000.0;
    return static_cast<double>(RoundHalfEven(seconds / 0.1)) * 0.1;
}

int32_t ComPortIndexFromName(const std::string& name) {
    if (name.size() <= 3) {
        return 0;
    }
    const char* first = name.data() + 3;
    const char* last = name.data() + name.size();
    if (*first == '+') {
        ++first;
        if (first != last && *first == '-') {
            return 0;
        }
    }
    int64_t number = 0;
    const auto [end, error] = std::from_chars(first, last, number, 10);
    if (error != std::errc() || end != last || number - 1 < std::numeric_limits<int32_t>::min() ||
        number - 1 > std::numeric_limits<int32_t>::max()) {
        return 0;
    }
    return static_cast<int32_t>(number - 1);
}

void ApplyStoredNodeValues(const NodeStoredValues& stored, NodePageValues& page) {
    if (stored.description) {
        page.description = *stored.description;
    }
    if (stored.scanRateMs) {
        page.scanRateSeconds = ScanRateMsToPageSeconds(*stored.scanRateMs);
    }
    page.comPortName.clear();
    if (stored.comPort && *stored.comPort < std::numeric_limits<int64_t>::max()) {
        // Any stored number is named; a page lists only COM1..COM99, so others select nothing.
        page.comPortName = "COM" + std::to_string(*stored.comPort + 1);
    }
    if (stored.deviceAddress && *stored.deviceAddress >= 1 && *stored.deviceAddress <= 255) {
        page.deviceAddress = static_cast<double>(RoundHalfEven(*stored.deviceAddress));
    }
    page.protocol = stored.protocol.value_or("");
    page.readPassword = stored.readPassword.value_or("");
    page.writePassword = stored.writePassword.value_or("");
    page.byteOrder = stored.byteOrder.value_or(kByteOrderMsbFirst);
}

}  // namespace tervex
