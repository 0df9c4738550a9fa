#pragma once
// Values given on the command line for writes, checked against the item's type.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tervex::host {

struct WriteValue {
    enum class Kind { Integer, Boolean, Text, Bytes };
    Kind kind = Kind::Integer;
    int64_t number = 0;
    bool flag = false;
    std::string text;  // UTF-8
    std::vector<uint8_t> bytes;
};

// Integers within the type's range (decimal or 0x-hex); Boolean as 0, 1, true,
// false, on or off; String as at most 8 characters; Array of Byte as 1..8 hex
// bytes separated by blanks, commas or colons.
std::optional<WriteValue> ParseWriteValue(uint16_t typeCode, const std::string& text, std::string& error);

// The value as the live table shows it.
std::string WriteValueText(const WriteValue& value);

}  // namespace tervex::host
