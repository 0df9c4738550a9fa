#include "protocol/Crc16.h"

#include <array>

namespace tervex {

namespace {

// One step of the bitwise definition per table entry: the CRC of a byte b is built from
// table[(crc ^ b) & 0xFF] and crc >> 8, eight shifts at once.
constexpr std::array<uint16_t, 256> MakeCrcTable() {
    std::array<uint16_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        uint16_t crc = static_cast<uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
        }
        table[i] = crc;
    }
    return table;
}

constexpr std::array<uint16_t, 256> kCrcTable = MakeCrcTable();

}  // namespace

uint16_t CalcCrc16(const uint8_t* data, size_t count) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < count; ++i) {
        crc = static_cast<uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ data[i]) & 0xFF]);
    }
    return crc;
}

void AppendCrc16(std::vector<uint8_t>& frame) {
    const uint16_t crc = CalcCrc16(frame.data(), frame.size());
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
}

bool HasValidCrc16(const uint8_t* data, size_t count) {
    if (data == nullptr || count <= 2) {
        return false;
    }
    const uint16_t stored = static_cast<uint16_t>(data[count - 1] << 8 | data[count - 2]);
    return stored == CalcCrc16(data, count - 2);
}

}  // namespace tervex
