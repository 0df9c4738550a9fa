#include "sim/Crc16.h"

#include <array>

namespace tervex::sim {

namespace {

// One entry per value of the low byte: the effect of its eight shift steps.
std::array<uint16_t, 256> MakeTable()
{
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        uint16_t crc = static_cast<uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
        table[i] = crc;
    }
    return table;
}

}  // namespace

uint16_t Crc16(const uint8_t* data, size_t size)
{
    static const std::array<uint16_t, 256> table = MakeTable();
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < size; ++i)
        crc = static_cast<uint16_t>((crc >> 8) ^ table[(crc ^ data[i]) & 0xFF]);
    return crc;
}

void AppendCrc(std::vector<uint8_t>& frame)
{
    const uint16_t crc = Crc16(frame);
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
}

bool HasValidCrc(const uint8_t* frame, size_t size)
{
    if (size < 3)
        return false;
    const uint16_t stored = static_cast<uint16_t>(frame[size - 1] << 8 | frame[size - 2]);
    return Crc16(frame, size - 2) == stored;
}

}  // namespace tervex::sim
