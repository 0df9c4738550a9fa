// The table-driven CRC-16 against the bitwise definition (initial 0xFFFF, reflected
// polynomial 0xA001, eight shifts per byte), written out here, on random data.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "protocol/Crc16.h"

namespace {

uint16_t BitwiseCrc16(const std::vector<uint8_t>& data) {
    uint16_t crc = 0xFFFF;
    for (uint8_t byte : data) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
        }
    }
    return crc;
}

TEST(Crc16Table, MatchesTheBitwiseDefinitionOnRandomData) {
    std::mt19937 rng(0x7E57);
    int mismatches = 0;
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint8_t> data(std::uniform_int_distribution<size_t>(0, 300)(rng));
        for (auto& b : data) b = static_cast<uint8_t>(rng());
        mismatches += tervex::CalcCrc16(data.data(), data.size()) != BitwiseCrc16(data);
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(Crc16Table, EverySingleByteValue) {
    for (int b = 0; b < 256; ++b) {
        const std::vector<uint8_t> data{static_cast<uint8_t>(b)};
        EXPECT_EQ(tervex::CalcCrc16(data.data(), 1), BitwiseCrc16(data)) << "byte " << b;
    }
}

TEST(Crc16Table, AppendedCrcMakesAValidFrame) {
    std::mt19937 rng(42);
    for (int round = 0; round < 200; ++round) {
        std::vector<uint8_t> frame(std::uniform_int_distribution<size_t>(1, 40)(rng));
        for (auto& b : frame) b = static_cast<uint8_t>(rng());
        const uint16_t expected = BitwiseCrc16(frame);
        tervex::AppendCrc16(frame);
        ASSERT_EQ(frame[frame.size() - 2], expected & 0xFF);
        ASSERT_EQ(frame.back(), expected >> 8);
        EXPECT_TRUE(tervex::HasValidCrc16(frame.data(), frame.size()));
        frame[0] ^= 0x01;
        EXPECT_FALSE(tervex::HasValidCrc16(frame.data(), frame.size()));
    }
}

}  // namespace
