#pragma once
// CRC-16 of binary frames: initial value 0xFFFF, reflected polynomial 0xA001,
// no final XOR. Sent low byte first.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tervex::sim {

uint16_t Crc16(const uint8_t* data, size_t size);
inline uint16_t Crc16(const std::vector<uint8_t>& bytes) { return Crc16(bytes.data(), bytes.size()); }

// Appends the CRC of everything already in the frame, low byte first.
void AppendCrc(std::vector<uint8_t>& frame);

// True if the frame is longer than its CRC and ends in the CRC of the bytes before it.
bool HasValidCrc(const uint8_t* frame, size_t size);

}  // namespace tervex::sim
