#pragma once
// Hexadecimal characters of the ASCII framing: upper-case digits only; anything else reads as 0.
#include <cstdint>
#include <utility>

namespace tervex {

char NibbleToHexChar(uint8_t value);  // 0..15, else the byte 0
uint8_t HexCharToNibble(char c);      // "0".."9", "A".."F", else 0
std::pair<char, char> ByteToHexPair(uint8_t value);
uint8_t HexPairToByte(char high, char low);

}  // namespace tervex
