// The value codec both ways. Device bytes of any type, byte order and bit number
// decode to a value of the type's kind and range, and encode back to the same bytes;
// any value encodes within the caller's buffer, and what it writes decodes back to
// the value as the type holds it.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/ByteReader.h"
#include "values/DataTypes.h"
#include "values/ValueCodec.h"

namespace tervex::fuzz {
namespace {

[[noreturn]] void Broken(const std::string& what) {
    std::fprintf(stderr, "invariant broken: %s\n", what.c_str());
    std::abort();
}

void Expect(bool condition, const char* what) {
    if (!condition) Broken(what);
}

constexpr int kTypes[] = {kTypeByte,   kTypeShortInteger, kTypeWord,        kTypeSmallInteger, kTypeInteger,
                          kTypeBoolean, kTypeString,      kTypeArrayOfByte, kTypeSingleFloat,  kTypeDoubleWord,
                          0,            -1,               0x2012,           kTypeVariant};

bool IsIntegerType(int type) {
    return type == kTypeByte || type == kTypeShortInteger || type == kTypeWord || type == kTypeSmallInteger ||
           type == kTypeInteger;
}

// What a type keeps of a number: its low bytes, read back signed or unsigned.
int64_t AsTypeHolds(int64_t number, int type) {
    switch (type) {
    case kTypeByte: return static_cast<uint8_t>(number);
    case kTypeShortInteger: return static_cast<int8_t>(number);
    case kTypeWord: return static_cast<uint16_t>(number);
    case kTypeSmallInteger: return static_cast<int16_t>(number);
    default: return static_cast<int32_t>(number);
    }
}

TValue::Kind KindOf(int type) {
    switch (type) {
    case kTypeShortInteger: return TValue::Kind::I1;
    case kTypeWord: return TValue::Kind::UI2;
    case kTypeSmallInteger: return TValue::Kind::I2;
    case kTypeInteger: return TValue::Kind::I4;
    case kTypeString: return TValue::Kind::Text;
    case kTypeArrayOfByte: return TValue::Kind::Bytes;
    default: return TValue::Kind::UI1;  // Byte, Boolean, and anything unknown as the number 0
    }
}

void DecodeWay(ByteReader& in) {
    const int type = in.Pick(kTypes);
    const uint8_t bit = in.Byte();
    const bool lsb = in.Flag();
    const std::vector<uint8_t> bytes = in.Bytes(12);
    const int count = bytes.empty() ? static_cast<int>(in.Below(3)) - 1 : static_cast<int>(bytes.size());
    const uint8_t* data = bytes.empty() ? nullptr : bytes.data();
    const TValue v = DecodeValue(data, count, type, bit, lsb);
    const int n = DataTypeSize(type);

    const bool known = IsIntegerType(type) || type == kTypeBoolean || type == kTypeString || type == kTypeArrayOfByte;
    if (data == nullptr || count < n || !known) {
        Expect(v == TValue::Number(TValue::Kind::UI1, 0), "too few bytes or an unknown type decode as UI1 0");
        return;
    }
    Expect(v.kind == KindOf(type), "decoded kind does not match the type");

    uint8_t back[8];
    std::memset(back, 0xA5, sizeof back);
    if (IsIntegerType(type)) {
        Expect(v.number == AsTypeHolds(v.number, type), "decoded number outside the type's range");
        Expect(EncodeValue(v, type, back, 8, lsb), "a decoded number does not encode");
        Expect(std::memcmp(back, bytes.data(), static_cast<size_t>(n)) == 0, "number bytes do not survive decode+encode");
        // The same number in the other byte order is the byte run reversed.
        std::vector<uint8_t> reversed(bytes.begin(), bytes.begin() + n);
        std::reverse(reversed.begin(), reversed.end());
        Expect(DecodeValue(reversed.data(), n, type, bit, !lsb) == v, "byte orders are not mirror images");
    } else if (type == kTypeBoolean) {
        Expect(v.number == 0 || v.number == 1, "a bit is 0 or 1");
        int byte = 0;
        for (uint8_t b = 0; b < 8; ++b) byte |= static_cast<int>(DecodeValue(data, count, type, b, lsb).number) << b;
        Expect(byte == bytes[0], "the eight bits do not make up the byte");
        if (bit > 7) Expect(v == DecodeValue(data, count, type, 0, lsb), "a bit number outside 0..7 reads bit 0");
    } else {
        const std::vector<uint8_t> run = type == kTypeString ? std::vector<uint8_t>(v.text.begin(), v.text.end()) : v.bytes;
        Expect(run.size() == 8 && std::equal(run.begin(), run.end(), bytes.begin()), "texts and runs are the 8 bytes");
        Expect(EncodeValue(v, type, back, 8, lsb), "a decoded text or run does not encode");
        for (int i = 0; i < 8; ++i) Expect(back[i] == bytes[7 - i], "texts and runs are written reversed");
    }
}

void EncodeWay(ByteReader& in) {
    static const TValue::Kind kinds[] = {TValue::Kind::UI1, TValue::Kind::I1,   TValue::Kind::UI2,  TValue::Kind::I2,
                                         TValue::Kind::I4,  TValue::Kind::Bool, TValue::Kind::Text, TValue::Kind::Bytes};
    TValue v;
    v.kind = in.Pick(kinds);
    v.number = static_cast<int64_t>(static_cast<uint64_t>(in.Dword()) << 32 | in.Dword());
    if (in.Flag()) v.number = static_cast<int32_t>(v.number);
    v.text = in.Text(12);
    v.bytes = in.Bytes(12);
    const int type = in.Pick(kTypes);
    const bool lsb = in.Flag();
    const int length = static_cast<int>(in.Below(11)) - 1;
    const bool withBuffer = in.Below(16) != 0;

    uint8_t buffer[24];
    std::memset(buffer, 0x5A, sizeof buffer);
    const bool ok = EncodeValue(v, type, withBuffer ? buffer + 8 : nullptr, length, lsb);
    const int n = DataTypeSize(type);

    // Nothing before the buffer, nothing past its length or the type's size.
    for (int i = 0; i < 8; ++i) Expect(buffer[i] == 0x5A, "written before the buffer");
    for (int i = 8 + std::max(0, std::min(length, n)); i < 24; ++i) {
        Expect(buffer[i] == 0x5A, "written past the buffer's length or the type's size");
    }
    const bool pairs = (IsIntegerType(type) && v.kind != TValue::Kind::Bool && v.kind != TValue::Kind::Text &&
                        v.kind != TValue::Kind::Bytes) ||
                       (type == kTypeBoolean && v.kind == TValue::Kind::Bool) ||
                       (type == kTypeString && v.kind == TValue::Kind::Text) ||
                       (type == kTypeArrayOfByte && v.kind == TValue::Kind::Bytes);
    Expect(ok == (withBuffer && n <= length && pairs), "encoding accepted or refused against its rules");
    if (!ok) {
        for (int i = 8; i < 24; ++i) Expect(buffer[i] == 0x5A, "a refused value wrote bytes");
        return;
    }
    const uint8_t* out = buffer + 8;
    if (IsIntegerType(type)) {
        Expect(DecodeValue(out, n, type, 0, lsb).number == AsTypeHolds(v.number, type),
               "an encoded number does not decode to what the type holds of it");
    } else if (type == kTypeBoolean) {
        Expect(out[0] == (v.number != 0 ? 1 : 0), "a Boolean encodes as 0 or 1");
    } else {
        const std::vector<uint8_t> run = type == kTypeString ? std::vector<uint8_t>(v.text.begin(), v.text.end()) : v.bytes;
        const size_t m = std::min<size_t>(run.size(), 8);
        for (size_t i = 0; i < m; ++i) Expect(out[m - 1 - i] == run[i], "a text or run does not come out reversed");
        for (size_t i = m; i < 8; ++i) Expect(out[i] == 0x5A, "a short text or run wrote past its end");
    }
}

}  // namespace
}  // namespace tervex::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tervex::fuzz::ByteReader in(data, size);
    while (!in.Done()) {
        if (in.Flag()) {
            tervex::fuzz::DecodeWay(in);
        } else {
            tervex::fuzz::EncodeWay(in);
        }
    }
    return 0;
}
