#pragma once
// Hexadecimal text of the ASCII framing: two upper-case digits per byte, high nibble first.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tervex::sim {

std::string ToHex(const std::vector<uint8_t>& bytes);

// Strict decoding: only "0".."9" and "A".."F", an even number of them.
// Anything else gives nothing, so a malformed request is not answered.
std::optional<std::vector<uint8_t>> FromHex(const std::string& text);

// Value of an upper-case hex digit, or -1.
int HexDigitValue(char c);

// "01 D0 05" style trace text for logs and test messages.
std::string HexDump(const std::vector<uint8_t>& bytes);

}  // namespace tervex::sim
