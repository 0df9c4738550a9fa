#include "protocol/Crc16.h"

namespace tervex {

uint16_t CalcCrc16(const uint8_t* data, size_t count) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < count; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
        }
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
