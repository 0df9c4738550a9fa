#pragma once
// Conversion between a controller's memory bytes and typed values, without OLE.
#include <cstdint>
#include <string>
#include <vector>

namespace tervex {

// A typed value of the codec. Texts hold one byte per character (Windows-1251).
struct TValue {
    enum class Kind : uint8_t { UI1, I1, UI2, I2, I4, Bool, Text, Bytes };
    Kind kind = Kind::UI1;
    int64_t number = 0;          // UI1, I1, UI2, I2, I4; Bool as 0 or 1
    std::string text;            // Text
    std::vector<uint8_t> bytes;  // Bytes

    static TValue Number(Kind kind, int64_t value);
    static TValue Boolean(bool value);
    static TValue FromText(std::string value);
    static TValue FromBytes(std::vector<uint8_t> value);
    bool operator==(const TValue& other) const;
};

// Only this exact text means least significant byte first.
extern const char* const kByteOrderLsbFirst;  // "Младшим байтом вперед"
extern const char* const kByteOrderMsbFirst;  // "Старшим байтом вперед"
bool IsLsbFirst(const std::string& byteOrderUtf8);

// Device bytes to a value; never fails: too few bytes or an unknown type give UI1 0.
// A Boolean item is delivered as UI1 0 or 1.
TValue DecodeValue(const uint8_t* data, int count, int typeCode, uint8_t bitNumber, bool lsbFirst);

// A value to device bytes. The value must already carry the kind the type needs:
// a number (any integer kind) for Byte..Integer, Bool for Boolean, Text for String,
// Bytes for Array of Byte; any other pairing writes nothing. Texts and byte runs are
// written reversed, as the controller stores them. Nothing is written when the
// type's size exceeds bufferLength. Returns false when the size or the pairing rules
// the value out (an empty text or run is encoded, with nothing to write).
bool EncodeValue(const TValue& value, int typeCode, uint8_t* buffer, int bufferLength, bool lsbFirst);

}  // namespace tervex
