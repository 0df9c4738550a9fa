#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "values/ComPortName.h"
#include "values/DataTypes.h"
#include "values/ValueCodec.h"

using namespace tervex;
using Kind = TValue::Kind;
using Bytes = std::vector<uint8_t>;

namespace {

const TValue kZero = TValue::Number(Kind::UI1, 0);

TValue Decode(const Bytes& bytes, int type, bool lsbFirst, uint8_t bit = 0) {
    return DecodeValue(bytes.data(), static_cast<int>(bytes.size()), type, bit, lsbFirst);
}

// Encodes into an 8-byte buffer pre-filled with a marker so untouched bytes show.
Bytes Encode(const TValue& value, int type, bool lsbFirst, int bufferLength = -1, bool* written = nullptr) {
    Bytes buffer(8, 0xEE);
    const bool ok = EncodeValue(value, type, buffer.data(), bufferLength < 0 ? DataTypeSize(type) : bufferLength,
                                lsbFirst);
    if (written) {
        *written = ok;
    }
    return buffer;
}

}  // namespace

TEST(ByteOrder, OnlyTheExactLowByteFirstTextSelectsIt) {
    EXPECT_TRUE(IsLsbFirst("Младшим байтом вперед"));
    EXPECT_TRUE(IsLsbFirst(kByteOrderLsbFirst));
    for (const std::string text : {"Старшим байтом вперед", "", "младшим байтом вперед", "Младшим байтом вперед ",
                                   " Младшим байтом вперед", "Младшим байтом"}) {
        EXPECT_FALSE(IsLsbFirst(text)) << text;
    }
}

// Every integer type at both ends of its range, in both byte orders, as the device holds it.
struct IntegerRow {
    const char* name;
    int type;
    Bytes msbFirst;  // the device bytes, most significant first
    Kind kind;
    int64_t value;
};

void PrintTo(const IntegerRow& row, std::ostream* os) { *os << row.name; }

class IntegerCodec : public ::testing::TestWithParam<IntegerRow> {};

TEST_P(IntegerCodec, DecodesAndEncodesInBothOrders) {
    const IntegerRow& row = GetParam();
    const Bytes lsbFirst(row.msbFirst.rbegin(), row.msbFirst.rend());
    const TValue expected = TValue::Number(row.kind, row.value);

    EXPECT_EQ(Decode(row.msbFirst, row.type, false), expected);
    EXPECT_EQ(Decode(lsbFirst, row.type, true), expected);

    const size_t n = row.msbFirst.size();
    Bytes msbOut = Encode(expected, row.type, false);
    Bytes lsbOut = Encode(expected, row.type, true);
    EXPECT_EQ(Bytes(msbOut.begin(), msbOut.begin() + n), row.msbFirst);
    EXPECT_EQ(Bytes(lsbOut.begin(), lsbOut.begin() + n), lsbFirst);
    // Nothing beyond the type's size is touched.
    EXPECT_EQ(Bytes(msbOut.begin() + n, msbOut.end()), Bytes(8 - n, 0xEE));
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, IntegerCodec,
    ::testing::Values(IntegerRow{"ByteMin", 17, {0x00}, Kind::UI1, 0},
                      IntegerRow{"ByteMax", 17, {0xFF}, Kind::UI1, 255},
                      IntegerRow{"ByteHighBit", 17, {0x80}, Kind::UI1, 128},
                      IntegerRow{"ShortIntegerMin", 16, {0x80}, Kind::I1, -128},
                      IntegerRow{"ShortIntegerMax", 16, {0x7F}, Kind::I1, 127},
                      IntegerRow{"ShortIntegerMinusOne", 16, {0xFF}, Kind::I1, -1},
                      IntegerRow{"WordMin", 18, {0x00, 0x00}, Kind::UI2, 0},
                      IntegerRow{"WordMax", 18, {0xFF, 0xFF}, Kind::UI2, 65535},
                      IntegerRow{"WordMixed", 18, {0x12, 0x34}, Kind::UI2, 0x1234},
                      IntegerRow{"SmallIntegerMin", 2, {0x80, 0x00}, Kind::I2, -32768},
                      IntegerRow{"SmallIntegerMax", 2, {0x7F, 0xFF}, Kind::I2, 32767},
                      IntegerRow{"SmallIntegerMinusTwo", 2, {0xFF, 0xFE}, Kind::I2, -2},
                      IntegerRow{"SmallIntegerMixed", 2, {0x01, 0x02}, Kind::I2, 258},
                      IntegerRow{"IntegerMin", 3, {0x80, 0x00, 0x00, 0x00}, Kind::I4, INT32_MIN},
                      IntegerRow{"IntegerMax", 3, {0x7F, 0xFF, 0xFF, 0xFF}, Kind::I4, INT32_MAX},
                      IntegerRow{"IntegerMinusTwo", 3, {0xFF, 0xFF, 0xFF, 0xFE}, Kind::I4, -2},
                      IntegerRow{"IntegerMixed", 3, {0x12, 0x34, 0x56, 0x78}, Kind::I4, 0x12345678}),
    [](const ::testing::TestParamInfo<IntegerRow>& info) { return std::string(info.param.name); });

TEST(DecodeValue, WordFromTwoBytesInEachOrder) {
    const Bytes bytes = {0x12, 0x34};
    EXPECT_EQ(Decode(bytes, 18, IsLsbFirst("Младшим байтом вперед")), TValue::Number(Kind::UI2, 0x3412));
    EXPECT_EQ(Decode(bytes, 18, IsLsbFirst("Старшим байтом вперед")), TValue::Number(Kind::UI2, 0x1234));
    EXPECT_EQ(Decode(bytes, 18, IsLsbFirst("")), TValue::Number(Kind::UI2, 4660));
}

TEST(DecodeValue, TooFewBytesGiveUnsignedZero) {
    const Bytes eight = {1, 2, 3, 4, 5, 6, 7, 8};
    const std::vector<std::pair<int, int>> shortCounts = {
        {3, 3}, {3, 1}, {2, 1}, {18, 1}, {8, 7}, {0x2011, 7}, {17, 0}, {16, 0}, {11, 0}, {17, -1}, {3, -4},
    };
    for (const auto& [type, count] : shortCounts) {
        EXPECT_EQ(DecodeValue(eight.data(), count, type, 0, true), kZero) << type << " with " << count;
        EXPECT_EQ(DecodeValue(eight.data(), count, type, 0, false), kZero) << type << " with " << count;
    }
    EXPECT_EQ(DecodeValue(nullptr, 8, 3, 0, false), kZero);
}

TEST(DecodeValue, BytesBeyondTheTypeAreIgnored) {
    EXPECT_EQ(Decode({0x01, 0x02, 0x03, 0x04, 0x05}, 3, false), TValue::Number(Kind::I4, 0x01020304));
    EXPECT_EQ(Decode({0x01, 0x02, 0x03, 0x04, 0x05}, 3, true), TValue::Number(Kind::I4, 0x04030201));
    EXPECT_EQ(Decode({0xAB, 0xCD}, 17, false), TValue::Number(Kind::UI1, 0xAB));
}

TEST(DecodeValue, TypesWithoutDeviceFormGiveUnsignedZero) {
    const Bytes eight = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    for (int type : {0, 4, 5, 6, 7, 12, 19, 0x2003, 0x2008, 0x1003, 0x6011, 0x2000, -1}) {
        EXPECT_EQ(Decode(eight, type, false), kZero) << type;
        EXPECT_EQ(Decode(eight, type, true), kZero) << type;
    }
}

TEST(DecodeValue, BooleanPicksOneBitOfTheFirstByte) {
    struct Row {
        uint8_t byte;
        uint8_t bit;
        int64_t value;
    };
    const std::vector<Row> rows = {
        {0x08, 3, 1}, {0x08, 2, 0}, {0x09, 9, 1}, {0x08, 9, 0}, {0x80, 7, 1}, {0x7F, 7, 0},
        {0x01, 0, 1}, {0xFE, 0, 0}, {0x01, 8, 1}, {0x01, 255, 1}, {0xFF, 255, 1}, {0x02, 255, 0},
    };
    for (const Row& row : rows) {
        for (bool lsbFirst : {false, true}) {
            EXPECT_EQ(DecodeValue(&row.byte, 1, 11, row.bit, lsbFirst), TValue::Number(Kind::UI1, row.value))
                << int(row.byte) << " bit " << int(row.bit);
        }
    }
    // Only byte 0 counts, even with more available.
    EXPECT_EQ(Decode({0x00, 0xFF}, 11, false, 0), TValue::Number(Kind::UI1, 0));
    // The bit number plays no part for other types.
    EXPECT_EQ(Decode({0x08}, 17, false, 3), TValue::Number(Kind::UI1, 8));
}

TEST(DecodeValue, StringKeepsAllEightCharactersInMemoryOrder) {
    const Bytes bytes = {'A', 'B', 'C', 0, 0, 0, 0, 0, 'Z'};
    const TValue expected = TValue::FromText(std::string("ABC\0\0\0\0\0", 8));
    EXPECT_EQ(Decode(bytes, 8, false), expected);
    EXPECT_EQ(Decode(bytes, 8, true), expected);
    EXPECT_EQ(Decode({0, 'x', 0xC0, 0xFF, 1, 2, 3, 4}, 8, false),
              TValue::FromText(std::string("\0x\xC0\xFF\x01\x02\x03\x04", 8)));
}

TEST(DecodeValue, ArrayOfByteInMemoryOrder) {
    const Bytes bytes = {1, 2, 3, 4, 5, 6, 0xFE, 0xFF};
    EXPECT_EQ(Decode(bytes, 0x2011, false), TValue::FromBytes(bytes));
    EXPECT_EQ(Decode(bytes, 0x2011, true), TValue::FromBytes(bytes));
}

TEST(EncodeValue, IntegersTakeTheirLowBits) {
    struct Row {
        int type;
        int64_t value;
        Bytes msbFirst;
    };
    const std::vector<Row> rows = {
        {17, 300, {0x2C}},          {17, -1, {0xFF}},         {16, -1, {0xFF}},        {16, 200, {0xC8}},
        {18, 65536 + 258, {0x01, 0x02}}, {18, -2, {0xFF, 0xFE}}, {2, 40000, {0x9C, 0x40}},
        {3, -2, {0xFF, 0xFF, 0xFF, 0xFE}}, {3, 0x1'2345'6789LL, {0x23, 0x45, 0x67, 0x89}},
    };
    for (const Row& row : rows) {
        const size_t n = row.msbFirst.size();
        const Bytes lsb(row.msbFirst.rbegin(), row.msbFirst.rend());
        for (Kind kind : {Kind::I4, Kind::UI1, Kind::I1, Kind::UI2, Kind::I2}) {
            const TValue v = TValue::Number(kind, row.value);
            const Bytes msbOut = Encode(v, row.type, false);
            const Bytes lsbOut = Encode(v, row.type, true);
            EXPECT_EQ(Bytes(msbOut.begin(), msbOut.begin() + n), row.msbFirst) << row.type << ' ' << row.value;
            EXPECT_EQ(Bytes(lsbOut.begin(), lsbOut.begin() + n), lsb) << row.type << ' ' << row.value;
        }
    }
}

TEST(EncodeValue, WorkedExamples) {
    EXPECT_EQ(Encode(TValue::Number(Kind::I4, 258), 2, true), (Bytes{0x02, 0x01, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
    EXPECT_EQ(Encode(TValue::Number(Kind::I4, 258), 2, false), (Bytes{0x01, 0x02, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
    EXPECT_EQ(Encode(TValue::Number(Kind::I4, -2), 3, true), (Bytes{0xFE, 0xFF, 0xFF, 0xFF, 0xEE, 0xEE, 0xEE, 0xEE}));
    EXPECT_EQ(Encode(TValue::Number(Kind::I4, -2), 3, false), (Bytes{0xFF, 0xFF, 0xFF, 0xFE, 0xEE, 0xEE, 0xEE, 0xEE}));
    EXPECT_EQ(Encode(TValue::Boolean(true), 11, false)[0], 0x01);
}

TEST(EncodeValue, BooleanGivesOneOrZeroInEitherOrder) {
    for (bool lsbFirst : {false, true}) {
        bool written = false;
        Bytes out = Encode(TValue::Boolean(true), 11, lsbFirst, 8, &written);
        EXPECT_TRUE(written);
        EXPECT_EQ(out, (Bytes{1, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
        out = Encode(TValue::Boolean(false), 11, lsbFirst, 1, &written);
        EXPECT_TRUE(written);
        EXPECT_EQ(out[0], 0);
    }
}

TEST(EncodeValue, TextIsWrittenReversedAndCutToEight) {
    const std::vector<std::pair<std::string, Bytes>> rows = {
        {"AB", {'B', 'A', 0, 0, 0, 0, 0, 0}},
        {"ABCDEFGHIJ", {'H', 'G', 'F', 'E', 'D', 'C', 'B', 'A'}},
        {"ABCDEFGH", {'H', 'G', 'F', 'E', 'D', 'C', 'B', 'A'}},
        {"", {0, 0, 0, 0, 0, 0, 0, 0}},
        {std::string("A\0B", 3), {'B', 0, 'A', 0, 0, 0, 0, 0}},
        {"\xCE\xC7\xD3", {0xD3, 0xC7, 0xCE, 0, 0, 0, 0, 0}},
    };
    for (const auto& [text, expected] : rows) {
        for (bool lsbFirst : {false, true}) {
            Bytes buffer(8, 0);
            EXPECT_TRUE(EncodeValue(TValue::FromText(text), 8, buffer.data(), 8, lsbFirst));
            EXPECT_EQ(buffer, expected) << text;
        }
    }
    // Positions past the text keep what the buffer held.
    EXPECT_EQ(Encode(TValue::FromText("xyz"), 8, false), (Bytes{'z', 'y', 'x', 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
}

TEST(EncodeValue, ByteRunIsWrittenReversedAndCutToEight) {
    EXPECT_EQ(Encode(TValue::FromBytes({1, 2, 3}), 0x2011, false), (Bytes{3, 2, 1, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
    EXPECT_EQ(Encode(TValue::FromBytes({1, 2, 3}), 0x2011, true), (Bytes{3, 2, 1, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
    EXPECT_EQ(Encode(TValue::FromBytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), 0x2011, false),
              (Bytes{8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(Encode(TValue::FromBytes({}), 0x2011, false), Bytes(8, 0xEE));
}

TEST(EncodeValue, NothingWrittenWhenBufferTooSmall) {
    const std::vector<std::pair<TValue, int>> cases = {
        {TValue::FromText("AB"), 8},
        {TValue::FromBytes({1, 2}), 0x2011},
        {TValue::Number(Kind::I4, 5), 3},
        {TValue::Number(Kind::I4, 5), 2},
        {TValue::Number(Kind::I4, 5), 18},
        {TValue::Number(Kind::I4, 5), 17},
        {TValue::Boolean(true), 11},
    };
    for (const auto& [value, type] : cases) {
        const int tooSmall = DataTypeSize(type) == 8 ? 4 : DataTypeSize(type) - 1;
        bool written = true;
        EXPECT_EQ(Encode(value, type, false, tooSmall, &written), Bytes(8, 0xEE)) << type;
        EXPECT_FALSE(written) << type;
    }
    EXPECT_FALSE(EncodeValue(TValue::Number(Kind::I4, 1), 17, nullptr, 8, false));
}

TEST(EncodeValue, TypesWithoutDeviceFormWriteNothing) {
    for (int type : {0, 4, 5, 6, 7, 12, 19, 0x2003, 0x1003, 0x2000}) {
        bool written = true;
        EXPECT_EQ(Encode(TValue::Number(Kind::I4, 7), type, false, 8, &written), Bytes(8, 0xEE)) << type;
        EXPECT_FALSE(written) << type;
    }
}

TEST(EncodeValue, MismatchedKindsWriteNothing) {
    const std::vector<std::pair<TValue, int>> cases = {
        {TValue::FromText("12"), 17},     {TValue::FromBytes({1}), 3},     {TValue::Boolean(true), 2},
        {TValue::Number(Kind::I4, 1), 11}, {TValue::Number(Kind::I4, 1), 8}, {TValue::FromText("ab"), 0x2011},
        {TValue::FromBytes({1}), 8},
    };
    for (const auto& [value, type] : cases) {
        bool written = true;
        EXPECT_EQ(Encode(value, type, false, 8, &written), Bytes(8, 0xEE)) << type;
        EXPECT_FALSE(written) << type;
    }
}

TEST(ComPortName, OneBasedDecimalNumber) {
    EXPECT_EQ(ComPortName(0), "COM1");
    EXPECT_EQ(ComPortName(8), "COM9");
    EXPECT_EQ(ComPortName(9), "COM10");
    EXPECT_EQ(ComPortName(99), "COM100");
    EXPECT_EQ(ComPortName(255), "COM256");
}
