// The running clock in "CLOCK" and the live cells, against calendar values computed elsewhere.
#include <gtest/gtest.h>

#include "sim/Calendar.h"
#include "sim/Hex.h"
#include "sim/Line.h"
#include "TestUtil.h"

namespace tervex::sim::test {
namespace {

TEST(Calendar, ConversionsAtTheEdges)
{
    struct Row {
        int64_t seconds;
        DateTime dt;
        int weekday;
    };
    const Row rows[] = {
        {0, {1970, 1, 1, 0, 0, 0}, 4},
        {-1, {1969, 12, 31, 23, 59, 59}, 3},
        {946684799, {1999, 12, 31, 23, 59, 59}, 5},
        {946684800, {2000, 1, 1, 0, 0, 0}, 6},
        {1709164799, {2024, 2, 28, 23, 59, 59}, 3},
        {1709164800, {2024, 2, 29, 0, 0, 0}, 4},
        {4107542400, {2100, 3, 1, 0, 0, 0}, 1},
        {kClockStartSeconds, {2024, 5, 17, 13, 45, 30}, 5},
    };
    for (const Row& row : rows) {
        const DateTime dt = ToDateTime(row.seconds);
        EXPECT_EQ(std::vector<int>({dt.year, dt.month, dt.day, dt.hour, dt.minute, dt.second}),
                  std::vector<int>({row.dt.year, row.dt.month, row.dt.day, row.dt.hour, row.dt.minute, row.dt.second}))
            << row.seconds;
        EXPECT_EQ(ToSeconds(row.dt), row.seconds);
        EXPECT_EQ(Weekday(row.seconds), row.weekday) << row.seconds;
    }
}

TEST(Calendar, ParseAndValidate)
{
    EXPECT_EQ(ParseDateTime("2024-05-17 13:45:30"), kClockStartSeconds);
    EXPECT_EQ(ParseDateTime("2024-02-29 00:00:00"), 1709164800);
    const char* bad[] = {"2023-02-29 00:00:00", "2024-13-01 00:00:00", "2024-05-17 24:00:00", "2024-05-17",
                         "2024-05-17 13:45:30x", ""};
    for (const char* text : bad)
        EXPECT_FALSE(ParseDateTime(text).has_value()) << text;
}

TEST(Calendar, ClockBytesAreBcd)
{
    const auto bytes = EncodeClock(kClockStartSeconds);
    EXPECT_EQ(HexDump({bytes.begin(), bytes.end()}), "30 45 13 05 17 05 24");
    EXPECT_EQ(DecodeClock(bytes), kClockStartSeconds);
    const std::array<uint8_t, kClockBytes> badBcd = {0x5A, 0x45, 0x13, 0x05, 0x17, 0x05, 0x24};
    const std::array<uint8_t, kClockBytes> badDay = {0x00, 0x00, 0x00, 0x01, 0x30, 0x02, 0x24};
    EXPECT_FALSE(DecodeClock(badBcd).has_value());
    EXPECT_FALSE(DecodeClock(badDay).has_value());
}

class ClockArea : public ::testing::Test {
protected:
    ClockArea() : line(clock, OneController()) {}
    std::string Ask(const char* hex) { return HexDump(Joined(line.Feed(Bytes(hex)))); }

    ManualClock clock{0};
    Line line;
};

TEST_F(ClockArea, ShowsTheRunningTime)
{
    EXPECT_EQ(Ask("01 D1 00 7C 50"), "01 30 45 13 05 17 05 24 00 D0 A6");
    clock.AdvanceMs(89999);  // 13:46:59.999
    EXPECT_EQ(HexDump(line.Find(1)->Mem().Read(Area::Clock, 0, 3)), "30 45 13");
    line.Find(1)->Refresh(clock.NowMs());
    EXPECT_EQ(HexDump(line.Find(1)->Mem().Read(Area::Clock, 0, 3)), "59 46 13");
}

TEST_F(ClockArea, AWriteSetsTheClock)
{
    // 2025-01-01 12:00:00; the weekday written (01) is not taken, it is worked out.
    EXPECT_EQ(Ask("01 E1 00 00 00 12 01 01 01 25 00 23 95"), "01 E1 C0 68");
    clock.AdvanceMs(61000);
    EXPECT_EQ(Ask("01 D1 00 7C 50"), "01 01 01 12 03 01 01 25 00 DB B2");
}

TEST_F(ClockArea, AnInvalidTimeLeavesTheClockRunning)
{
    EXPECT_EQ(Ask("01 E1 05 13 13 73"), "01 E1 C0 68");  // month 13
    EXPECT_EQ(Ask("01 D1 00 7C 50"), "01 30 45 13 05 17 05 24 00 D0 A6");
}

TEST_F(ClockArea, BytesAfterTheClockAreMemory)
{
    EXPECT_EQ(Ask("01 E1 07 AB 12 61"), "01 E1 C0 68");
    EXPECT_EQ(Ask("01 D1 00 7C 50"), "01 30 45 13 05 17 05 24 AB 91 19");
}

TEST(LiveCells, ValuesOverTime)
{
    LiveCell counter;
    counter.kind = LiveKind::Counter;
    counter.periodMs = 1000;
    EXPECT_EQ(LiveValue(counter, 0), 0);
    EXPECT_EQ(LiveValue(counter, 2999), 2);
    EXPECT_EQ(LiveValue(counter, 65537000), 1);  // wraps at 65536

    LiveCell sine;
    sine.kind = LiveKind::Sine;
    sine.periodMs = 60000;
    sine.amplitude = 1000;
    EXPECT_EQ(static_cast<int16_t>(LiveValue(sine, 0)), 0);
    EXPECT_EQ(static_cast<int16_t>(LiveValue(sine, 15000)), 1000);
    EXPECT_EQ(static_cast<int16_t>(LiveValue(sine, 45000)), -1000);
    EXPECT_EQ(static_cast<int16_t>(LiveValue(sine, 75000)), 1000);
    EXPECT_EQ(static_cast<int16_t>(LiveValue(sine, 5000)), 500);
}

TEST(LiveCells, ShowInReadsInTheirByteOrder)
{
    ManualClock clock{0};
    LineConfig config = OneController();
    LiveCell msb{LiveKind::Counter, Area::Ram, 0x10, false, 1000, 0};
    LiveCell lsb{LiveKind::Counter, Area::Ram, 0x12, true, 1000, 0};
    LiveCell sine{LiveKind::Sine, Area::Ram, 0x14, false, 60000, 1000};
    config.controllers[0].liveCells = {msb, lsb, sine};
    Line line(clock, config);
    clock.AdvanceMs(15000);
    EXPECT_EQ(HexDump(Joined(line.Feed(Bytes("01 D0 10 7C 0C")))), "01 00 0F 0F 00 03 E8 00 00 78 EF");
}

}  // namespace
}  // namespace tervex::sim::test
