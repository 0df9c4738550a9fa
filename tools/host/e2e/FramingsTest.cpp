// Every type with a device form in every memory area, read and written, in
// both framings and both byte orders, through a real pseudo-terminal mapped as
// a COM port; asynchronous and synchronous tasks.
#include <gtest/gtest.h>

#include "Plant.h"

namespace tervex::host::e2e {
namespace {

// Edges of every type, texts and runs; the write targets hold known bytes.
const char* const kMemory = R"(mem = ОЗУ 0x00 FF 80 FF FE 80 01 00 00
mem = ОЗУ 0x08 80 00 00 01
mem = ОЗУ 0x10 "Tervex" 00 20
mem = ОЗУ 0x18 01 23 45 67 89 AB CD EF
mem = ОЗУ 0x20 A5
mem = ОЗУ 0xF8 7F FF FF FF
mem = ОЗУ 0x40 00 11 22 33 44 55 66 77
mem = ОЗУ 0x48 00 00 00 00
mem = ОЗУ 0x50 "ZZZZZZZZ"
mem = ОЗУ 0x58 99 99 99 99 99 99 99 99
mem = ОЗУ 0x60 5A 7F
mem = CLOCK 0x20 12 34 00 00 FF FF FF FE
mem = EEPROM 0x1234 7F FF
mem = EEPROM 0x2000 "Привет!!"
mem = FRAM 0xABCD 00 00 00 01
mem = XRAM 0xFFF0 00 FF 10 EF 20 DF 30 CF
mem = XRAM 0xFFF8 7F
mem = FLASH 0x0000 "FW 2.1" 00 00
mem = FLASH 0xFFFE AB CD
)";

std::vector<ItemSpec> EveryTypeEveryArea() {
    return {
        Item("RByte", "ОЗУ", 0x00, "Byte"),
        Item("RShort", "ОЗУ", 0x01, "Short Integer"),
        Item("RWord", "ОЗУ", 0x02, "Word"),
        Item("RSmall", "ОЗУ", 0x04, "Small Integer"),
        Item("RInt", "ОЗУ", 0x08, "Integer"),
        Item("RText", "ОЗУ", 0x10, "String"),
        Item("RBytes", "ОЗУ", 0x18, "Array of Byte"),
        Item("RBit2", "ОЗУ", 0x20, "Boolean", 2),
        Item("RBit6", "ОЗУ", 0x20, "Boolean", 6),
        Item("RIntTop", "ОЗУ", 0xF8, "Integer"),
        Item("WByte", "ОЗУ", 0x40, "Byte", 0, "200"),
        Item("WShort", "ОЗУ", 0x41, "Short Integer", 0, "-100"),
        Item("WWord", "ОЗУ", 0x42, "Word", 0, "48879"),
        Item("WSmall", "ОЗУ", 0x44, "Small Integer", 0, "-2"),
        Item("WInt", "ОЗУ", 0x48, "Integer", 0, "-123456789"),
        Item("WText", "ОЗУ", 0x50, "String", 0, "AB"),
        Item("WBytes", "ОЗУ", 0x58, "Array of Byte", 0, "01 02 03"),
        Item("WBitSet", "ОЗУ", 0x60, "Boolean", 0, "1"),
        Item("WBitClear", "ОЗУ", 0x61, "Boolean", 6, "0"),
        Item("CWord", "CLOCK", 0x20, "Word"),
        Item("CInt", "CLOCK", 0x24, "Integer"),
        Item("CSmall", "CLOCK", 0x30, "Small Integer", 0, "4660"),
        Item("ESmall", "EEPROM", 0x1234, "Small Integer"),
        Item("EText", "EEPROM", 0x2000, "String"),
        Item("EInt", "EEPROM", 0x3000, "Integer", 0, "2147483647"),
        Item("FInt", "FRAM", 0xABCD, "Integer"),
        Item("FWord", "FRAM", 0x0100, "Word", 0, "1"),
        Item("XBytes", "XRAM", 0xFFF0, "Array of Byte"),
        Item("XShort", "XRAM", 0xFFF8, "Short Integer"),
        Item("XText", "XRAM", 0x8000, "String", 0, "Hi!"),
        Item("LText", "FLASH", 0x0000, "String"),
        Item("LWord", "FLASH", 0xFFFE, "Word"),
    };
}

struct FramingCase {
    const char* name;
    const char* protocol;
    Order order;
    bool sync;
    int com;
    const char* wait;  // how the host watches its serial port
};

class Framings : public ::testing::TestWithParam<FramingCase> {};

TEST_P(Framings, EveryTypeInEveryAreaMatchesTheControllersMemory) {
    const FramingCase& c = GetParam();
    ASSERT_TRUE(Environment().missing.empty()) << "not set: " << Environment().missing;
    const std::string config = std::string("[controller 1]\nframing = ") + c.protocol + "\n" + kMemory;
    SimLine line(c.com, config);
    ASSERT_TRUE(line.Ok()) << line.Error();

    NodeSpec node;
    node.name = "Plant";
    node.com = c.com;
    node.protocol = c.protocol;
    node.order = c.order;
    node.items = EveryTypeEveryArea();
    TempDir dir;
    const std::string station =
        dir.Write("plant.station", StationText("WaitTimeout = 500\nCountTry = 2\nTimeNextSend = 2000\n", {node},
                                                     std::string("wait = ") + c.wait + "\n"));
    const std::string resultsPath = dir.Path() + "/results.tsv";
    std::vector<std::string> args = {"--station", station, "--duration", "2.5", "--refresh", "0",
                                     "--results", resultsPath};
    const std::vector<std::string> writes = WriteArgs({node}, "0.3");
    args.insert(args.end(), writes.begin(), writes.end());
    if (c.sync) args.push_back("--sync");

    const int64_t start = UnixNowMs();
    const HostOutcome outcome = RunHost(args, 60000);
    const int64_t end = UnixNowMs();
    ASSERT_EQ(outcome.exitCode, 0) << Shown(outcome);
    const Results results = ReadResults(resultsPath);
    ASSERT_TRUE(results.loaded) << Shown(outcome);

    ExpectNodeMatchesMemory(results, line, config, node, start, end);

    const auto& port = results.ports.at("COM" + std::to_string(c.com));
    EXPECT_GT(results.Number(port, "exchanges"), 0);
    EXPECT_EQ(results.Number(port, "timeouts"), 0);
    EXPECT_EQ(results.Number(port, "incomplete"), 0);
    EXPECT_EQ(results.Number(port, "unexpected"), 0);
    EXPECT_EQ(results.Number(port, "exchanges"), results.Number(port, "answers"));
    EXPECT_EQ(results.host.at("unexpected_calls"), "0");
    EXPECT_EQ(results.host.at("item_refs_after_clear"), "0") << "the driver gives back every item it took";
    if (c.sync) {
        EXPECT_GT(results.Number(results.host, "idle_calls"), 0) << "answers came in through Idle";
    }

    // The frames on the wire, as the driver logged them.
    const std::string firstRead = std::string(c.protocol) == "ASCII" ? "Tx: $01D000<CR>" : "Tx: 01 D0 00 ";
    bool seen = false;
    for (const std::string& l : results.log) seen = seen || l.find(firstRead) != std::string::npos;
    EXPECT_TRUE(seen) << "no log line with " << firstRead;
}

INSTANTIATE_TEST_SUITE_P(, Framings,
                         ::testing::Values(FramingCase{"RtuMsb", "RTU", Order::Msb, false, 31, "auto"},
                                           FramingCase{"AsciiLsbEvents", "ASCII", Order::Lsb, false, 32, "events"},
                                           FramingCase{"RtuLsbSyncEvents", "RTU", Order::Lsb, true, 33, "events"},
                                           FramingCase{"AsciiMsbSyncPoll", "ASCII", Order::Msb, true, 34, "poll"}),
                         [](const ::testing::TestParamInfo<FramingCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tervex::host::e2e
