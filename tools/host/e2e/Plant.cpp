#include "Plant.h"

#include <gtest/gtest.h>

#include <set>

#include "sim/Clock.h"
#include "sim/ConfigFile.h"
#include "sim/Line.h"

namespace tervex::host::e2e {

namespace {

std::string Quoted(const std::string& text) { return text.find(' ') == std::string::npos ? text : "\"" + text + "\""; }

std::string HexBytes(const std::vector<uint8_t>& bytes) {
    std::string text;
    for (const uint8_t b : bytes) {
        char pair[4];
        std::snprintf(pair, sizeof(pair), "%02X ", b);
        text += pair;
    }
    return text;
}

}  // namespace

std::string StationText(const std::string& settings, const std::vector<NodeSpec>& nodes, const std::string& portLines) {
    std::string text = "[settings]\n" + settings + "\n";
    std::set<int> ports;
    for (const NodeSpec& node : nodes) ports.insert(node.com);
    for (const int com : ports) text += "[port COM" + std::to_string(com) + "]\ntype = serial\nbaud = 19200\n" + portLines + "\n";
    for (const NodeSpec& node : nodes) {
        text += "[node " + node.name + "]\nport = COM" + std::to_string(node.com) +
                "\naddress = " + std::to_string(node.address) + "\nprotocol = " + node.protocol +
                "\nbyte_order = " + (node.order == Order::Msb ? "msb" : "lsb") + "\nscan_rate = " + node.scanRate + "\n";
        if (!node.readPassword.empty()) text += "read_password = " + node.readPassword + "\n";
        if (!node.writePassword.empty()) text += "write_password = " + node.writePassword + "\n";
        for (const ItemSpec& item : node.items) {
            text += "item " + item.name + " " + item.area + " " + std::to_string(item.address) + " " + Quoted(item.type);
            if (item.type == "Boolean") text += " bit=" + std::to_string(item.bit);
            text += "\n";
        }
        text += "\n";
    }
    return text;
}

std::vector<std::string> WriteArgs(const std::vector<NodeSpec>& nodes, const std::string& atSeconds) {
    std::vector<std::string> args;
    for (const NodeSpec& node : nodes)
        for (const ItemSpec& item : node.items)
            if (!item.write.empty()) {
                args.push_back("--write-at");
                args.push_back(atSeconds);
                args.push_back(node.name + "." + item.name + "=" + item.write);
            }
    return args;
}

std::vector<uint8_t> InitialMemory(const std::string& configText, uint8_t controller, const std::string& area,
                                   uint32_t address, size_t count) {
    const sim::ConfigResult config = sim::ParseConfigText(configText, "line", "/");
    sim::ManualClock clock;
    sim::Line line(clock, config.config);
    const auto which = sim::AreaFromName(area);
    sim::Controller* c = line.Find(controller);
    if (!which || !c) return {};
    return c->Mem().Read(*which, address, count);
}

void ExpectNodeMatchesMemory(const Results& results, SimLine& line, const std::string& configText,
                             const NodeSpec& node, int64_t runStartMs, int64_t runEndMs) {
    for (const ItemSpec& item : node.items) {
        const std::string name = node.name + "." + item.name;
        SCOPED_TRACE(name + " (" + item.type + " in " + item.area + ")");
        const auto& fields = results.Item(name);
        ASSERT_FALSE(fields.empty()) << "no result line";
        const std::vector<uint8_t> memory = line.Memory(static_cast<uint8_t>(node.address), item.area, item.address, 8);
        ASSERT_EQ(memory.size(), 8u);
        if (!item.write.empty()) {
            const auto& write = results.writes.find(name);
            ASSERT_NE(write, results.writes.end()) << "the write was not sent";
            EXPECT_EQ(write->second.at("done"), "1");
            EXPECT_EQ(write->second.at("result"), "0x00000000");
            EXPECT_EQ(write->second.at("quality"), "0x00C0");
            const std::vector<uint8_t> before =
                InitialMemory(configText, static_cast<uint8_t>(node.address), item.area, item.address, 8);
            const std::vector<uint8_t> expected = ExpectedAfterWrite(before, item.type, node.order, item.bit, item.write);
            EXPECT_EQ(HexBytes(std::vector<uint8_t>(memory.begin(), memory.begin() + static_cast<long>(expected.size()))),
                      HexBytes(expected))
                << "device memory after writing " << item.write;
        }
        EXPECT_EQ(fields.at("value"), ExpectedValue(memory, item.type, node.order, item.bit)) << "memory " << HexBytes(memory);
        EXPECT_EQ(fields.at("quality"), "0x00C0");
        EXPECT_EQ(fields.at("result"), "0x00000000");
        EXPECT_GT(results.Number(fields, "reads_ok"), 1) << "read at the scan rate";
        const int64_t stamp = results.Number(fields, "stamp_ms");
        EXPECT_GE(stamp, runStartMs - 1000) << "time stamps are UTC of the read";
        EXPECT_LE(stamp, runEndMs + 1000);
    }
}

std::string Shown(const HostOutcome& outcome) {
    return "exit " + std::to_string(outcome.exitCode) + (outcome.timedOut ? " (timed out)" : "") + "\n" + outcome.output;
}

}  // namespace tervex::host::e2e
