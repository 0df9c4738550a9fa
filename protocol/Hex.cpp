#include "protocol/Hex.h"

namespace tervex {

char NibbleToHexChar(uint8_t value) {
    if (value < 10) {
        return static_cast<char>('0' + value);
    }
    if (value < 16) {
        return static_cast<char>('A' + value - 10);
    }
    return 0;
}

uint8_t HexCharToNibble(char c) {
    if (c >= '0' && c <= '9') {
        return static_cast<uint8_t>(c - '0');
    }
    if (c >= 'A' && c <= 'F') {
        return static_cast<uint8_t>(c - 'A' + 10);
    }
    return 0;
}

std::pair<char, char> ByteToHexPair(uint8_t value) {
    return {NibbleToHexChar(value >> 4), NibbleToHexChar(value & 0x0F)};
}

uint8_t HexPairToByte(char high, char low) {
    return static_cast<uint8_t>(HexCharToNibble(high) * 16 + HexCharToNibble(low));
}

}  // namespace tervex
