#pragma once
// CRC-16 of binary frames: initial 0xFFFF, reflected polynomial 0xA001, no final XOR.
// On the wire the CRC follows the bytes it covers, low byte first.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tervex {

uint16_t CalcCrc16(const uint8_t* data, size_t count);

// Appends the CRC of everything already in the frame.
void AppendCrc16(std::vector<uint8_t>& frame);

// True when count > 2 and the last two bytes hold the CRC of the bytes before them.
bool HasValidCrc16(const uint8_t* data, size_t count);

// A CRC error needs something to check: answers of one or two bytes never have one.
inline bool IsCrcError(const uint8_t* data, size_t count) {
    return data != nullptr && count > 2 && !HasValidCrc16(data, count);
}

}  // namespace tervex
