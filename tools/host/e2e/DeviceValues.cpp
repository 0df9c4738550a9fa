#include "DeviceValues.h"

#include <cstdio>
#include <stdexcept>

namespace tervex::host::e2e {

namespace {

int SizeOf(const std::string& type) {
    if (type == "Word" || type == "Small Integer") return 2;
    if (type == "Integer") return 4;
    if (type == "String" || type == "Array of Byte") return 8;
    return 1;
}

// Windows-1251 to UTF-16 for the letters the tests use.
unsigned Unit(uint8_t byte) {
    if (byte < 0x80) return byte;
    if (byte >= 0xC0) return 0x0410 + (byte - 0xC0);
    if (byte == 0xA8) return 0x0401;
    if (byte == 0xB8) return 0x0451;
    throw std::invalid_argument("test data holds a byte without a known Windows-1251 letter");
}

uint32_t Assemble(const std::vector<uint8_t>& bytes, int size, Order order) {
    uint32_t value = 0;
    for (int i = 0; i < size; ++i) {
        const int from = order == Order::Msb ? i : size - 1 - i;
        value = (value << 8) | bytes.at(static_cast<size_t>(from));
    }
    return value;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    for (const uint8_t b : bytes) {
        char pair[4];
        std::snprintf(pair, sizeof(pair), "%02X", b);
        text += pair;
    }
    return text;
}

}  // namespace

std::string ExpectedValue(const std::vector<uint8_t>& bytes, const std::string& type, Order order, int bit) {
    const int size = SizeOf(type);
    const uint32_t raw = Assemble(bytes, type == "String" || type == "Array of Byte" ? 0 : size, order);
    if (type == "Byte") return "i:" + std::to_string(raw);
    if (type == "Short Integer") return "i:" + std::to_string(static_cast<int8_t>(raw));
    if (type == "Word") return "i:" + std::to_string(raw);
    if (type == "Small Integer") return "i:" + std::to_string(static_cast<int16_t>(raw));
    if (type == "Integer") return "i:" + std::to_string(static_cast<int32_t>(raw));
    if (type == "Boolean") return "i:" + std::to_string((bytes.at(0) >> bit) & 1);
    const std::vector<uint8_t> run(bytes.begin(), bytes.begin() + 8);
    if (type == "Array of Byte") return "a:" + Hex(run);
    if (type == "String") {
        std::string units = "s:";
        for (const uint8_t b : run) {
            char unit[8];
            std::snprintf(unit, sizeof(unit), "%04X", Unit(b));
            units += unit;
        }
        return units;
    }
    throw std::invalid_argument("unknown type " + type);
}

std::vector<uint8_t> ExpectedAfterWrite(const std::vector<uint8_t>& before, const std::string& type, Order order,
                                        int bit, const std::string& value) {
    const int size = SizeOf(type);
    if (type == "Boolean") {  // a bit command: the other bits stay
        const bool set = value == "1" || value == "true" || value == "on";
        const uint8_t old = before.at(0);
        return {set ? static_cast<uint8_t>(old | (1u << bit)) : static_cast<uint8_t>(old & ~(1u << bit))};
    }
    // Texts and runs go out as all 8 bytes: the characters last first, then zeros.
    std::vector<uint8_t> after(static_cast<size_t>(size), 0);
    if (type == "String") {  // ASCII test texts
        const size_t m = value.size() < 8 ? value.size() : 8;
        for (size_t i = 0; i < m; ++i) after[i] = static_cast<uint8_t>(value[m - 1 - i]);
        return after;
    }
    if (type == "Array of Byte") {  // blank-separated hex
        std::vector<uint8_t> run;
        size_t pos = 0;
        while (pos < value.size()) {
            size_t end = value.find(' ', pos);
            if (end == std::string::npos) end = value.size();
            if (end > pos) run.push_back(static_cast<uint8_t>(std::stoul(value.substr(pos, end - pos), nullptr, 16)));
            pos = end + 1;
        }
        const size_t m = run.size() < 8 ? run.size() : 8;
        for (size_t i = 0; i < m; ++i) after[i] = run[m - 1 - i];
        return after;
    }
    const auto number = static_cast<uint32_t>(std::stoll(value, nullptr, 0));
    for (int i = 0; i < size; ++i) {
        const int shift = 8 * (order == Order::Msb ? size - 1 - i : i);
        after[static_cast<size_t>(i)] = static_cast<uint8_t>(number >> shift);
    }
    return after;
}

}  // namespace tervex::host::e2e
