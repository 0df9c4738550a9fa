// The station file: a good station read whole, and each kind of bad entry
// reported with file, line and field.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/host/core/Station.h"
#include "tools/host/core/StationPages.h"

using namespace tervex::host;

namespace {

const char* const kGood = R"(# a small plant
[settings]
WaitTimeout = 400
CountTry = 2
Unknown = whatever

[port COM2]
type = serial
baud = 19200
parity = even
stop_bits = 2
data_bits = 7
rx_gap_ms = 50
wait = Poll

[port COM1]
line = lines/one.conf     # relative to the station
controller = 4:framing=ASCII
controller = 5

[node Boiler]
port = COM1
address = 17
protocol = ascii
byte_order = lsb
scan_rate = 0.5
read_password = "pa ss"
description = Котёл № 1   # comment
item Counter  ОЗУ    0x10   Word
item Flag     RAM    0      Boolean   bit=3 access=r
item Label    EEPROM 0x0120 String    description="two words" scan_rate=2.5
item Serial   FLASH  65535  "Array of Byte"

[node Pump]
port = COM3
)";

StationResult Parse(const std::string& text) { return ParseStation(text, "plant.station", "/base"); }

}  // namespace

TEST(StationFile, ReadsEverySectionOfAGoodStation) {
    const StationResult result = Parse(kGood);
    ASSERT_TRUE(result.errors.empty()) << result.errors.front().ToString();
    const Station& s = result.station;

    const std::vector<std::pair<std::string, std::string>> settings = {
        {"WaitTimeout", "400"}, {"CountTry", "2"}, {"Unknown", "whatever"}};
    EXPECT_EQ(s.settings, settings) << "pairs are kept as stored, unknown names too";

    ASSERT_EQ(s.ports.size(), 3u) << "COM3 is implied by node Pump";
    const PortConfig* com2 = s.FindPort(2);
    ASSERT_NE(com2, nullptr);
    EXPECT_EQ(com2->kind, PortKind::Serial);
    EXPECT_EQ(com2->baud, 19200);
    EXPECT_EQ(com2->parity, Parity::Even);
    EXPECT_EQ(com2->stopBits, StopBits::Two);
    EXPECT_EQ(com2->dataBits, 7);
    EXPECT_EQ(com2->rxGapMs, 50);
    EXPECT_EQ(com2->wait, SerialWait::Poll);
    const PortConfig* com1 = s.FindPort(1);
    ASSERT_NE(com1, nullptr);
    EXPECT_EQ(com1->kind, PortKind::Simulator);
    EXPECT_EQ(com1->simLineFile, "/base/lines/one.conf");
    EXPECT_EQ(com1->simControllers, (std::vector<std::string>{"4:framing=ASCII", "5"}));
    EXPECT_EQ(com1->wait, SerialWait::Auto);
    const PortConfig* com3 = s.FindPort(3);
    ASSERT_NE(com3, nullptr);
    EXPECT_EQ(com3->kind, PortKind::Simulator);
    EXPECT_EQ(com3->line, 0);

    ASSERT_EQ(s.nodes.size(), 2u);
    const NodeConfig& boiler = s.nodes[0];
    EXPECT_EQ(boiler.port, 1);
    EXPECT_EQ(boiler.address, 17);
    EXPECT_EQ(boiler.protocol, "ASCII");
    EXPECT_EQ(boiler.byteOrder, "Младшим байтом вперед");
    EXPECT_DOUBLE_EQ(boiler.scanRateSeconds, 0.5);
    EXPECT_EQ(boiler.readPassword, "pa ss");
    EXPECT_EQ(boiler.writePassword, "");
    EXPECT_EQ(boiler.description, "Котёл № 1");
    ASSERT_EQ(boiler.items.size(), 4u);

    const ItemConfig& counter = boiler.items[0];
    EXPECT_EQ(counter.area, "ОЗУ");
    EXPECT_EQ(counter.address, 0x10u);
    EXPECT_EQ(counter.typeCode, 18);
    EXPECT_TRUE(counter.readable && counter.writable);
    EXPECT_FALSE(counter.scanRateSeconds.has_value());

    const ItemConfig& flag = boiler.items[1];
    EXPECT_EQ(flag.area, "ОЗУ") << "RAM stands for ОЗУ";
    EXPECT_EQ(flag.typeCode, 11);
    EXPECT_EQ(flag.bit, 3);
    EXPECT_TRUE(flag.readable);
    EXPECT_FALSE(flag.writable);

    const ItemConfig& label = boiler.items[2];
    EXPECT_EQ(label.typeCode, 8);
    EXPECT_EQ(label.description, "two words");
    ASSERT_TRUE(label.scanRateSeconds.has_value());
    EXPECT_DOUBLE_EQ(*label.scanRateSeconds, 2.5);

    const ItemConfig& serial = boiler.items[3];
    EXPECT_EQ(serial.area, "FLASH");
    EXPECT_EQ(serial.address, 65535u);
    EXPECT_EQ(serial.typeCode, 0x2011);
    EXPECT_FALSE(serial.writable) << "FLASH items are read-only";

    EXPECT_EQ(s.nodes[1].port, 3);
    EXPECT_EQ(s.ItemCount(), 4u);
    const auto found = s.FindItem("Boiler.Label");
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->first, 0u);
    EXPECT_EQ(found->second, 2u);
    EXPECT_FALSE(s.FindItem("Boiler.Nothing").has_value());
    EXPECT_FALSE(s.FindItem("Boiler").has_value());
}

TEST(StationFile, PagesCarryTheStationValues) {
    const StationResult result = Parse(kGood);
    ASSERT_TRUE(result.errors.empty());
    const NodeConfig& boiler = result.station.nodes[0];
    const auto node = NodePage(boiler);
    EXPECT_EQ(node.comPortName, "COM1");
    EXPECT_EQ(node.deviceAddress, 17);
    EXPECT_EQ(node.protocol, "ASCII");
    EXPECT_EQ(node.readPassword, "pa ss");

    const auto counter = ItemPage(boiler.items[0], boiler);
    EXPECT_DOUBLE_EQ(counter.scanRateSeconds, 0.5) << "an item without its own rate shows its node's";
    EXPECT_EQ(counter.typeName, "Word");
    EXPECT_EQ(counter.memoryArea, "ОЗУ");
    const auto label = ItemPage(boiler.items[2], boiler);
    EXPECT_DOUBLE_EQ(label.scanRateSeconds, 2.5);
    const auto flag = ItemPage(boiler.items[1], boiler);
    EXPECT_DOUBLE_EQ(flag.bitNumber, 3);
    EXPECT_TRUE(flag.readChecked);
    EXPECT_FALSE(flag.writeChecked);
}

struct BadEntry {
    const char* text;
    int line;
    const char* field;
    const char* messagePart;
};

TEST(StationFile, BadEntriesNameFileLineAndField) {
    const std::string head = "[node N]\nport = COM1\n";  // lines 1, 2
    const std::vector<BadEntry> cases = {
        {"address = 0", 3, "address", "outside 1..255"},
        {"address = 256", 3, "address", "outside 1..255"},
        {"address = x1", 3, "address", "not a whole number"},
        {"protocol = modbus", 3, "protocol", "not a protocol"},
        {"byte_order = big", 3, "byte_order", "not a byte order"},
        {"scan_rate = 0.05", 3, "scan_rate", "0.1..9999"},
        {"scan_rate = 1,5", 3, "scan_rate", "0.1..9999"},
        {"colour = red", 3, "colour", "unknown key"},
        {"port = COM2", 3, "port", "given twice"},
        {"address", 3, "", "expected KEY = VALUE"},
        {"item A ОЗУ 256 Byte", 3, "item A, address", "outside 0..255 for ОЗУ"},
        {"item A EEPROM 65536 Byte", 3, "item A, address", "outside 0..65535"},
        {"item A CLOCK 300 Byte", 3, "item A, address", "for CLOCK"},
        {"item A DISK 0 Byte", 3, "item A, area", "not a memory area"},
        {"item A ОЗУ 0 Float", 3, "item A, type", "not a type with a device form"},
        {"item A ОЗУ 0 \"Single Float\"", 3, "item A, type", "not a type with a device form"},
        {"item A EEPROM 0 Boolean", 3, "item A, type", "only in ОЗУ"},
        {"item A ОЗУ 0 Boolean bit=8", 3, "item A, bit", "outside 0..7"},
        {"item A ОЗУ 0 Byte bit=1", 3, "item A, bit", "only Boolean"},
        {"item A FLASH 0 Byte access=rw", 3, "item A, access", "FLASH cannot be written"},
        {"item A ДИАГНОСТИКА 7 Integer", 3, "item A, address", "outside 0..6"},
        {"item A diagnostics 0 Byte", 3, "item A, type", "diagnostics items are Integer"},
        {"item A ДИАГНОСТИКА 0 Integer access=w", 3, "item A, access", "ДИАГНОСТИКА cannot be written"},
        {"item A ОЗУ 0 Byte access=all", 3, "item A, access", "not an access right"},
        {"item A ОЗУ 0 Byte scan_rate=0", 3, "item A, scan_rate", "0.1..9999"},
        {"item A ОЗУ 0 Byte colour=red", 3, "item A, colour", "unknown key"},
        {"item A ОЗУ 0 Byte loose", 3, "item A, field 5", "not key=value"},
        {"item A ОЗУ 0 Byte bit=1 bit=2", 3, "item A, bit", "given twice"},
        {"item A ОЗУ 0", 3, "type", "missing"},
        {"item A.B ОЗУ 0 Byte", 3, "name", "no \".\""},
        {"item A ОЗУ 0 \"Byte", 3, "", "quote is left open"},
        {"item A ОЗУ 0 Byte\nitem A ОЗУ 1 Byte", 4, "name", "given twice"},
        {"item A ОЗУ 0 Byte\naddress = 2", 4, "address", "before the node's items"},
        {"[node N]", 3, "node", "given twice"},
        {"[node A.B]", 3, "node", "no \".\""},
        {"[port COM0]", 3, "port", "COM1..COM100"},
        {"[port COM101]", 3, "port", "COM1..COM100"},
        {"[port LPT1]", 3, "port", "not a port name"},
        {"[port COM1]\n[port COM1]", 4, "port", "given twice"},
        {"[port COM1]\ntype = usb", 4, "type", "not a port type"},
        {"[port COM1]\nbaud = fast", 4, "baud", "not a whole number"},
        {"[port COM1]\nparity = maybe", 4, "parity", "not a parity"},
        {"[port COM1]\nstop_bits = 3", 4, "stop_bits", "not a number of stop bits"},
        {"[port COM1]\ndata_bits = 9", 4, "data_bits", "outside 5..8"},
        {"[port COM1]\nrx_gap_ms = 0", 4, "rx_gap_ms", "outside 1..60000"},
        {"[port COM1]\nwait = soon", 4, "wait", "not a way to wait"},
        {"[port COM1]\nspeed = 1", 4, "speed", "unknown key"},
        {"[settings]\nWaitTimeout = 1.5", 4, "WaitTimeout", "not a whole decimal number"},
        {"[settings]\nCountTry = three", 4, "CountTry", "not a whole decimal number"},
        {"[settings]\nTimeNextSend = 0x10", 4, "TimeNextSend", "not a whole decimal number"},
        {"[settings]\nTimeNextSend = 99999999999", 4, "TimeNextSend", "not a whole decimal number"},
        {"[settings]\nCountTry = 2\nCountTry = 3", 5, "CountTry", "given twice"},
        {"[settings] x", 3, "", "ends with \"]\""},
        {"[group G]", 3, "", "unknown section"},
    };
    for (const BadEntry& c : cases) {
        const StationResult result = Parse(head + c.text + "\n");
        ASSERT_EQ(result.errors.size(), 1u) << c.text;
        const StationError& e = result.errors[0];
        EXPECT_EQ(e.file, "plant.station") << c.text;
        EXPECT_EQ(e.line, c.line) << c.text;
        EXPECT_EQ(e.field, c.field) << c.text;
        EXPECT_NE(e.message.find(c.messagePart), std::string::npos) << c.text << " -> " << e.message;
    }
}

TEST(StationFile, WholeStationProblems) {
    {
        const StationResult result = Parse("# nothing\n[settings]\nCountTry = 3\n");
        ASSERT_EQ(result.errors.size(), 1u);
        EXPECT_EQ(result.errors[0].ToString(), "plant.station: the station has no [node ...] section");
    }
    {
        const StationResult result = Parse("port = COM1\n[node N]\naddress = 2\n");
        ASSERT_EQ(result.errors.size(), 2u);
        EXPECT_EQ(result.errors[0].ToString(),
                  "plant.station:1: expected a section such as [settings], [port COM1] or [node NAME]");
        EXPECT_EQ(result.errors[1].line, 2) << "a node without a port is reported at its header";
        EXPECT_EQ(result.errors[1].field, "port");
    }
    {
        // Every bad line is reported, the good ones still read.
        const StationResult result =
            Parse("[node N]\nport = COM1\naddress = 999\nitem A ОЗУ 0 Byte\nitem B ОЗУ 1 Quad\nitem C ОЗУ 2 Word\n");
        ASSERT_EQ(result.errors.size(), 2u);
        EXPECT_EQ(result.errors[0].line, 3);
        EXPECT_EQ(result.errors[1].line, 5);
        ASSERT_EQ(result.station.nodes.size(), 1u);
        EXPECT_EQ(result.station.nodes[0].items.size(), 2u);
    }
}

TEST(StationFile, MissingFileIsReported) {
    const StationResult result = LoadStation("/nonexistent/dir/plant.station");
    ASSERT_EQ(result.errors.size(), 1u);
    EXPECT_EQ(result.errors[0].ToString(), "/nonexistent/dir/plant.station: cannot be read: No such file or directory");
}
