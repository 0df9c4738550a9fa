// A controller answering the documented requests, in both framings.
#include <gtest/gtest.h>

#include "sim/Hex.h"
#include "sim/Line.h"
#include "TestUtil.h"

namespace tervex::sim::test {
namespace {

class WorkedExamples : public ::testing::Test {
protected:
    void Build(Framing framing)
    {
        LineConfig config = OneController(framing);
        config.controllers[0].presets = {
            {Area::Ram, 5, Bytes("11 22 33 44 55 66 77 88")},
            {Area::Ram, 0xFC, Bytes("F1 F2 F3 F4")},
            {Area::Ram, 0, Bytes("0A 0B 0C 0D")},
            {Area::Eeprom, 0x120, Bytes("AA BB CC DD EE 11 22 33")},
            {Area::Flash, 0xFFFE, Bytes("5A A5")},
            {Area::Flash, 0, Bytes("01 02 03 04 05 06")},
        };
        line = std::make_unique<Line>(clock, config);
    }
    std::vector<uint8_t> Exchange(const std::vector<uint8_t>& request) { return Joined(line->Feed(request)); }
    Memory& Mem() { return line->Find(1)->Mem(); }

    ManualClock clock{5000};
    std::unique_ptr<Line> line;
};

struct Row {
    const char* name;
    const char* request;
    const char* answer;
};

TEST_F(WorkedExamples, BinaryReads)
{
    Build(Framing::Rtu);
    const Row rows[] = {
        {"RAM at 5", "01 D0 05 BD C3", "01 11 22 33 44 55 66 77 88 E6 2B"},
        {"EEPROM at 0x0120", "01 D2 01 20 A1 A9", "01 AA BB CC DD EE 11 22 33 46 2B"},
        {"FLASH wraps past 0xFFFF", "01 D5 FF FE D0 50", "01 5A A5 01 02 03 04 05 06 CD EF"},
        {"RAM wraps past 0xFF", "01 D0 FC 7D 81", "01 F1 F2 F3 F4 0A 0B 0C 0D 09 EE"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(HexDump(Exchange(Bytes(row.request))), HexDump(Bytes(row.answer))) << row.name;
}

TEST_F(WorkedExamples, BinaryWritesAreEchoedAndStored)
{
    Build(Framing::Rtu);
    struct WriteRow {
        const char* name;
        const char* request;
        const char* answer;
        Area area;
        uint32_t address;
        const char* stored;
    };
    const WriteRow rows[] = {
        {"Word to RAM 5", "01 E0 05 34 12 A8 CC", "01 E0 01 A8", Area::Ram, 5, "34 12 33"},
        {"Byte to EEPROM 0x0120", "01 E2 01 20 34 66 6F", "01 E2 80 69", Area::Eeprom, 0x120, "34 BB"},
        {"Integer to FRAM wraps", "01 E3 FF FE 01 02 03 04 CF DD", "01 E3 41 A9", Area::Fram, 0xFFFE,
         "01 02"},
        {"eight bytes to XRAM 8", "01 E4 00 08 11 22 33 44 55 66 77 AA DD A0", "01 E4 00 6B", Area::Xram, 8,
         "11 22 33 44 55 66 77 AA 00"},
    };
    for (const WriteRow& row : rows) {
        EXPECT_EQ(HexDump(Exchange(Bytes(row.request))), HexDump(Bytes(row.answer))) << row.name;
        const std::vector<uint8_t> expected = Bytes(row.stored);
        EXPECT_EQ(HexDump(Mem().Read(row.area, row.address, expected.size())), HexDump(expected)) << row.name;
    }
    EXPECT_EQ(HexDump(Mem().Read(Area::Fram, 0, 2)), "03 04");
    // What was written is what a read gives back.
    EXPECT_EQ(HexDump(Exchange(Bytes("01 D4 00 08 40 26"))), "01 11 22 33 44 55 66 77 AA 66 32");
}

TEST_F(WorkedExamples, BitCommandsTouchOnlyTheirBits)
{
    Build(Framing::Rtu);
    Mem().Set(Area::Ram, 5, 0x11);
    EXPECT_EQ(HexDump(Exchange(Bytes("01 B0 05 08 02 A9"))), "01 B0 01 94");
    EXPECT_EQ(Mem().Get(Area::Ram, 5), 0x19);
    EXPECT_EQ(HexDump(Exchange(Bytes("01 C0 05 08 03 72"))), "01 C0 00 70");
    EXPECT_EQ(Mem().Get(Area::Ram, 5), 0x11);
}

TEST_F(WorkedExamples, TextReadsAndWrites)
{
    Build(Framing::Ascii);
    EXPECT_EQ(Exchange(Text("$01D005\r")), Text("!011122334455667788\r"));
    EXPECT_EQ(Exchange(Text("$01D20120\r")), Text("!01AABBCCDDEE112233\r"));
    // A text write is acknowledged by the address alone.
    EXPECT_EQ(Exchange(Text("$01E0053412\r")), Text("!01\r"));
    EXPECT_EQ(HexDump(Mem().Read(Area::Ram, 5, 2)), "34 12");
    EXPECT_EQ(Exchange(Text("$01B00580\r")), Text("!01\r"));
    EXPECT_EQ(Mem().Get(Area::Ram, 5), 0xB4);
}

TEST_F(WorkedExamples, FlashHasNoWriteCommand)
{
    Build(Framing::Rtu);
    // 0xE5 would be the next write code; it is not one, so the frame is not answered.
    EXPECT_TRUE(Exchange(Bytes("01 E5 00 10 11 E3 00")).empty());
    EXPECT_EQ(Mem().Get(Area::Flash, 0x10), 0);
    EXPECT_EQ(HexDump(Exchange(Bytes("01 D5 FF FE D0 50"))), "01 5A A5 01 02 03 04 05 06 CD EF");
}

TEST_F(WorkedExamples, OnlyWellFormedRequestsForThisControllerAreAnswered)
{
    Build(Framing::Rtu);
    const Row ignored[] = {
        {"another address", "02 D0 05 4D C3", ""},
        {"bad CRC", "01 D0 05 BD C4", ""},
        {"text to a binary controller", "24 30 31 44 30 30 35 0D", ""},
    };
    for (const Row& row : ignored)
        EXPECT_TRUE(Exchange(Bytes(row.request)).empty()) << row.name;
    // The line is still in step afterwards.
    EXPECT_EQ(HexDump(Exchange(Bytes("01 D0 05 BD C3"))), "01 11 22 33 44 55 66 77 88 E6 2B");
}

TEST_F(WorkedExamples, TextControllerIgnoresBinaryDataAndBadText)
{
    Build(Framing::Ascii);
    const char* ignored[] = {"$02D005\r", "$01d005\r", "$01D00\r", "$01D0\r", "$01E005341\r"};
    for (const char* text : ignored)
        EXPECT_TRUE(Exchange(Text(text)).empty()) << text;
    EXPECT_TRUE(Exchange(Bytes("01 D0 05 BD C3")).empty());
    EXPECT_EQ(Exchange(Text("$01D005\r")), Text("!011122334455667788\r"));
}

TEST(LineOfControllers, EachAnswersInItsOwnFraming)
{
    ManualClock clock;
    LineConfig config = OneController(Framing::Rtu, 1);
    ControllerConfig second;
    second.address = 2;
    second.framing = Framing::Ascii;
    second.presets = {{Area::Ram, 5, Bytes("AA")}};
    config.controllers.push_back(second);
    Line line(clock, config);
    line.Find(1)->Mem().Set(Area::Ram, 5, 0x55);

    EXPECT_EQ(Joined(line.Feed(Text("$02D005\r"))), Text("!02AA00000000000000\r"));
    EXPECT_EQ(HexDump(Joined(line.Feed(Bytes("01 D0 05 BD C3")))), "01 55 00 00 00 00 00 00 00 C2 63");
    // Controller 2 speaks text only; controller 1 does not take text.
    EXPECT_TRUE(Joined(line.Feed(Bytes("02 D0 05 4D C3"))).empty());
    EXPECT_TRUE(Joined(line.Feed(Text("$01D005\r"))).empty());
}

}  // namespace
}  // namespace tervex::sim::test
