// CRC-16 against values computed outside this code.
#include <gtest/gtest.h>

#include "sim/Crc16.h"
#include "TestUtil.h"

namespace tervex::sim::test {
namespace {

TEST(Crc16, CheckValues)
{
    const std::string digits = "123456789";
    EXPECT_EQ(Crc16(reinterpret_cast<const uint8_t*>(digits.data()), digits.size()), 0x4B37);
    EXPECT_EQ(Crc16(nullptr, 0), 0xFFFF);
}

TEST(Crc16, WorkedFramesEndInTheirCrc)
{
    const char* frames[] = {
        "01 D0 05 BD C3",
        "01 11 22 33 44 55 66 77 88 E6 2B",
        "01 E0 05 34 12 A8 CC",
        "01 E0 01 A8",
        "01 D2 01 20 A1 A9",
        "01 B0 05 08 02 A9",
    };
    for (const char* hex : frames) {
        std::vector<uint8_t> frame = Bytes(hex);
        EXPECT_TRUE(HasValidCrc(frame.data(), frame.size())) << hex;
        std::vector<uint8_t> rebuilt(frame.begin(), frame.end() - 2);
        AppendCrc(rebuilt);
        EXPECT_EQ(rebuilt, frame) << hex;
        frame.back() ^= 0x01;
        EXPECT_FALSE(HasValidCrc(frame.data(), frame.size())) << hex;
    }
}

TEST(Crc16, TooShortFramesHaveNoValidCrc)
{
    // FF FF would be the CRC of nothing: still not a frame.
    const std::vector<uint8_t> two = Bytes("FF FF");
    EXPECT_FALSE(HasValidCrc(two.data(), two.size()));
    EXPECT_FALSE(HasValidCrc(two.data(), 1));
}

}  // namespace
}  // namespace tervex::sim::test
