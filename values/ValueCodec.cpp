#include "values/ValueCodec.h"

#include <algorithm>

#include "values/DataTypes.h"

namespace tervex {

const char* const kByteOrderLsbFirst = "Младшим байтом вперед";
const char* const kByteOrderMsbFirst = "Старшим байтом вперед";

TValue TValue::Number(Kind kind, int64_t value) {
    TValue v;
    v.kind = kind;
    v.number = value;
    return v;
}

TValue TValue::Boolean(bool value) {
    TValue v;
    v.kind = Kind::Bool;
    v.number = value ? 1 : 0;
    return v;
}

TValue TValue::FromText(std::string value) {
    TValue v;
    v.kind = Kind::Text;
    v.text = std::move(value);
    return v;
}

TValue TValue::FromBytes(std::vector<uint8_t> value) {
    TValue v;
    v.kind = Kind::Bytes;
    v.bytes = std::move(value);
    return v;
}

bool TValue::operator==(const TValue& other) const {
    return kind == other.kind && number == other.number && text == other.text && bytes == other.bytes;
}

bool IsLsbFirst(const std::string& byteOrderUtf8) {
    return byteOrderUtf8 == kByteOrderLsbFirst;
}

namespace {

// n bytes as an unsigned integer in the node's byte order.
uint32_t ReadUnsigned(const uint8_t* data, int n, bool lsbFirst) {
    uint32_t value = 0;
    for (int i = 0; i < n; ++i) {
        const uint8_t byte = lsbFirst ? data[n - 1 - i] : data[i];
        value = (value << 8) | byte;
    }
    return value;
}

// The low n bytes of value, in the node's byte order.
void WriteUnsigned(uint32_t value, int n, uint8_t* buffer, bool lsbFirst) {
    for (int i = 0; i < n; ++i) {
        const auto byte = static_cast<uint8_t>(value >> (8 * i));
        buffer[lsbFirst ? i : n - 1 - i] = byte;
    }
}

// Texts and byte runs are stored reversed: the m-th element at position 0.
template <typename Sequence>
void WriteReversed(const Sequence& run, uint8_t* buffer) {
    const size_t m = std::min<size_t>(run.size(), 8);
    for (size_t i = 0; i < m; ++i) {
        buffer[i] = static_cast<uint8_t>(run[m - 1 - i]);
    }
}

bool IsIntegerKind(TValue::Kind kind) {
    switch (kind) {
    case TValue::Kind::UI1:
    case TValue::Kind::I1:
    case TValue::Kind::UI2:
    case TValue::Kind::I2:
    case TValue::Kind::I4:
        return true;
    default:
        return false;
    }
}

}  // namespace

TValue DecodeValue(const uint8_t* data, int count, int typeCode, uint8_t bitNumber, bool lsbFirst) {
    const TValue zero = TValue::Number(TValue::Kind::UI1, 0);
    const int n = DataTypeSize(typeCode);
    if (data == nullptr || count <= 0 || count < n) {
        return zero;
    }
    switch (typeCode) {
    case kTypeByte:
        return TValue::Number(TValue::Kind::UI1, data[0]);
    case kTypeShortInteger:
        return TValue::Number(TValue::Kind::I1, static_cast<int8_t>(data[0]));
    case kTypeWord:
        return TValue::Number(TValue::Kind::UI2, static_cast<uint16_t>(ReadUnsigned(data, 2, lsbFirst)));
    case kTypeSmallInteger:
        return TValue::Number(TValue::Kind::I2, static_cast<int16_t>(ReadUnsigned(data, 2, lsbFirst)));
    case kTypeInteger:
        return TValue::Number(TValue::Kind::I4, static_cast<int32_t>(ReadUnsigned(data, 4, lsbFirst)));
    case kTypeBoolean: {
        const int bit = bitNumber <= 7 ? bitNumber : 0;
        return TValue::Number(TValue::Kind::UI1, (data[0] >> bit) & 1);
    }
    case kTypeString:
        return TValue::FromText(std::string(reinterpret_cast<const char*>(data), 8));
    case kTypeArrayOfByte:
        return TValue::FromBytes(std::vector<uint8_t>(data, data + 8));
    default:
        return zero;
    }
}

bool EncodeValue(const TValue& value, int typeCode, uint8_t* buffer, int bufferLength, bool lsbFirst) {
    const int n = DataTypeSize(typeCode);
    if (buffer == nullptr || n > bufferLength) {
        return false;
    }
    switch (typeCode) {
    case kTypeByte:
    case kTypeShortInteger:
    case kTypeWord:
    case kTypeSmallInteger:
    case kTypeInteger:
        if (!IsIntegerKind(value.kind)) {
            return false;
        }
        WriteUnsigned(static_cast<uint32_t>(value.number), n, buffer, lsbFirst);
        return true;
    case kTypeBoolean:
        if (value.kind != TValue::Kind::Bool) {
            return false;
        }
        buffer[0] = value.number != 0 ? 1 : 0;
        return true;
    case kTypeString:
        if (value.kind != TValue::Kind::Text) {
            return false;
        }
        WriteReversed(value.text, buffer);
        return true;
    case kTypeArrayOfByte:
        if (value.kind != TValue::Kind::Bytes) {
            return false;
        }
        WriteReversed(value.bytes, buffer);
        return true;
    default:
        return false;
    }
}

}  // namespace tervex
