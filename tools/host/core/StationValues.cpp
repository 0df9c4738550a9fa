#include "tools/host/core/StationValues.h"

#include <cmath>
#include <limits>

#include "config/DiagnosticsArea.h"
#include "config/ItemParams.h"
#include "tools/host/core/TextFields.h"
#include "values/DataTypes.h"
#include "values/ValueCodec.h"

namespace tervex::host {

namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::optional<int64_t> IntegerIn(const std::string& text, int64_t low, int64_t high, std::string& error) {
    const auto value = ParseInteger(text);
    if (!value) {
        error = Quoted(text) + " is not a whole number";
        return std::nullopt;
    }
    if (*value < low || *value > high) {
        error = Quoted(text) + " is outside " + std::to_string(low) + ".." + std::to_string(high);
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<int> ReadPortName(const std::string& text, std::string& error) {
    const std::string upper = text.size() >= 3 ? text.substr(0, 3) : text;
    if (AsciiLower(upper) != "com" || text.size() < 4) {
        error = Quoted(text) + " is not a port name such as COM1";
        return std::nullopt;
    }
    const std::string digits = text.substr(3);
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            error = Quoted(text) + " is not a port name such as COM1";
            return std::nullopt;
        }
    }
    const auto number = ParseInteger(digits);
    if (!number || *number < 1 || *number > 100) {
        error = Quoted(text) + ": the driver serves COM1..COM100";
        return std::nullopt;
    }
    return static_cast<int>(*number);
}

std::optional<std::string> ReadArea(const std::string& text, std::string& error) {
    if (text == kAreaRam || AsciiLower(text) == "ram") return std::string(kAreaRam);
    for (const char* area : {kAreaClock, kAreaEeprom, kAreaFram, kAreaXram, kAreaFlash})
        if (AsciiLower(text) == AsciiLower(area)) return std::string(area);
    if (text == kAreaDiagnostics || AsciiLower(text) == "diagnostics") return std::string(kAreaDiagnostics);
    error = Quoted(text) +
            " is not a memory area (ОЗУ or RAM, CLOCK, EEPROM, FRAM, XRAM, FLASH, ДИАГНОСТИКА or DIAGNOSTICS)";
    return std::nullopt;
}

std::optional<uint32_t> ReadItemAddress(const std::string& text, const std::string& area, std::string& error) {
    const int64_t high = ItemAddressLimit(area);
    const auto value = IntegerIn(text, 0, high, error);
    if (!value) {
        if (ParseInteger(text)) error += " for " + area;
        return std::nullopt;
    }
    return static_cast<uint32_t>(*value);
}

std::optional<uint16_t> ReadTypeName(const std::string& text, const std::string& area, std::string& error) {
    static const char* const kOffered[] = {"Byte",   "Short Integer", "Word",    "Small Integer",
                                           "Integer", "String",       "Array of Byte", "Boolean"};
    for (const char* name : kOffered) {
        if (text != name) continue;
        if (text == "Boolean" && area != kAreaRam) {
            error = "Boolean items exist only in ОЗУ";
            return std::nullopt;
        }
        if (area == kAreaDiagnostics && text != "Integer") {
            error = "diagnostics items are Integer";
            return std::nullopt;
        }
        return DataTypeFromName(text);
    }
    error = Quoted(text) +
            " is not a type with a device form (Byte, \"Short Integer\", Word, \"Small Integer\", Integer, String, "
            "\"Array of Byte\", Boolean)";
    return std::nullopt;
}

std::optional<double> ReadScanRate(const std::string& text, std::string& error) {
    const auto value = ParseDecimal(text);
    if (!value || !(*value >= 0.1 && *value <= 9999)) {
        error = Quoted(text) + " is not a scan rate in seconds within 0.1..9999";
        return std::nullopt;
    }
    return value;
}

std::optional<int> ReadDeviceAddress(const std::string& text, std::string& error) {
    const auto value = IntegerIn(text, 1, 255, error);
    return value ? std::optional<int>(static_cast<int>(*value)) : std::nullopt;
}

std::optional<int> ReadBitNumber(const std::string& text, std::string& error) {
    const auto value = IntegerIn(text, 0, 7, error);
    return value ? std::optional<int>(static_cast<int>(*value)) : std::nullopt;
}

std::optional<std::string> ReadProtocol(const std::string& text, std::string& error) {
    const std::string lower = AsciiLower(text);
    if (lower == "rtu") return std::string("RTU");
    if (lower == "ascii") return std::string("ASCII");
    error = Quoted(text) + " is not a protocol (RTU or ASCII)";
    return std::nullopt;
}

std::optional<std::string> ReadByteOrder(const std::string& text, std::string& error) {
    const std::string lower = AsciiLower(text);
    if (lower == "msb" || text == kByteOrderMsbFirst) return std::string(kByteOrderMsbFirst);
    if (lower == "lsb" || text == kByteOrderLsbFirst) return std::string(kByteOrderLsbFirst);
    error = Quoted(text) + " is not a byte order (msb, lsb, \"" + kByteOrderMsbFirst + "\" or \"" +
            kByteOrderLsbFirst + "\")";
    return std::nullopt;
}

std::optional<Access> ReadAccess(const std::string& text, std::string& error) {
    const std::string lower = AsciiLower(text);
    if (lower == "r" || lower == "read") return Access{true, false};
    if (lower == "w" || lower == "write") return Access{false, true};
    if (lower == "rw" || lower == "read,write") return Access{true, true};
    if (lower == "none") return Access{false, false};
    error = Quoted(text) + " is not an access right (r, w, rw or none)";
    return std::nullopt;
}

std::optional<PortKind> ReadPortKind(const std::string& text, std::string& error) {
    const std::string lower = AsciiLower(text);
    if (lower == "simulator") return PortKind::Simulator;
    if (lower == "serial") return PortKind::Serial;
    error = Quoted(text) + " is not a port type (simulator or serial)";
    return std::nullopt;
}

std::optional<SerialWait> ReadSerialWait(const std::string& text, std::string& error) {
    const std::string lower = AsciiLower(text);
    if (lower == "auto") return SerialWait::Auto;
    if (lower == "events") return SerialWait::Events;
    if (lower == "poll") return SerialWait::Poll;
    error = Quoted(text) + " is not a way to wait (auto, events or poll)";
    return std::nullopt;
}

std::optional<int> ReadBaud(const std::string& text, std::string& error) {
    const auto value = IntegerIn(text, 50, 4000000, error);
    return value ? std::optional<int>(static_cast<int>(*value)) : std::nullopt;
}

std::optional<int> ReadDataBits(const std::string& text, std::string& error) {
    const auto value = IntegerIn(text, 5, 8, error);
    return value ? std::optional<int>(static_cast<int>(*value)) : std::nullopt;
}

std::optional<Parity> ReadParity(const std::string& text, std::string& error) {
    const std::string lower = AsciiLower(text);
    if (lower == "none" || lower == "n") return Parity::None;
    if (lower == "even" || lower == "e") return Parity::Even;
    if (lower == "odd" || lower == "o") return Parity::Odd;
    if (lower == "mark" || lower == "m") return Parity::Mark;
    if (lower == "space" || lower == "s") return Parity::Space;
    error = Quoted(text) + " is not a parity (none, even, odd, mark or space)";
    return std::nullopt;
}

std::optional<StopBits> ReadStopBits(const std::string& text, std::string& error) {
    if (text == "1") return StopBits::One;
    if (text == "1.5") return StopBits::OneAndHalf;
    if (text == "2") return StopBits::Two;
    error = Quoted(text) + " is not a number of stop bits (1, 1.5 or 2)";
    return std::nullopt;
}

std::optional<int> ReadGapMs(const std::string& text, std::string& error) {
    const auto value = IntegerIn(text, 1, 60000, error);
    return value ? std::optional<int>(static_cast<int>(*value)) : std::nullopt;
}

bool CheckSettingValue(const std::string& name, const std::string& value, std::string& error) {
    if (name != "WaitTimeout" && name != "CountTry" && name != "TimeNextSend") return true;
    bool digits = !value.empty();
    for (size_t i = 0; i < value.size(); ++i)
        if (!(value[i] >= '0' && value[i] <= '9') && !(i == 0 && value.size() > 1 && (value[i] == '-' || value[i] == '+')))
            digits = false;
    const auto number = digits ? ParseInteger(value) : std::nullopt;
    if (!number || *number < std::numeric_limits<int32_t>::min() || *number > std::numeric_limits<int32_t>::max()) {
        error = Quoted(value) + " is not a whole decimal number";
        return false;
    }
    return true;
}

bool CheckElementName(const std::string& name, std::string& error) {
    if (name.empty()) {
        error = "the name is empty";
        return false;
    }
    if (DisplayWidth(name) > 255) {
        error = "the name is longer than 255 characters";
        return false;
    }
    for (const char c : name) {
        if (c == '.' || c == ' ' || c == '\t') {
            error = "\"" + name + "\": names hold no \".\" and no blanks";
            return false;
        }
    }
    return true;
}

}  // namespace tervex::host
