// The demo station on the host's built-in simulator: every item against the
// memory its line configuration presets, the writes acknowledged, the silent
// node failing with no answer and its diagnostics saying so.
#include <gtest/gtest.h>

#include "Plant.h"
#include "config/DiagnosticsArea.h"
#include "sim/ConfigFile.h"
#include "tools/host/core/Station.h"
#include "values/DataTypes.h"

namespace tervex::host::e2e {
namespace {

struct DemoWrite {
    const char* item;
    const char* value;
};
const DemoWrite kWrites[] = {{"Boiler.Setpoint", "1500"}, {"Pump.Speed", "2000"}, {"Vault.Door", "1"}, {"Boiler.Name", "Demo"}};

bool Overlaps(const sim::LiveCell& cell, sim::Area area, uint32_t address, int size) {
    return cell.area == area && cell.address < address + static_cast<uint32_t>(size) && address < cell.address + 2;
}

TEST(Demo, StationRunsOnTheBuiltInSimulator) {
    ASSERT_TRUE(Environment().missing.empty()) << "not set: " << Environment().missing;
    const std::string stationPath = Environment().stations + "/demo.station";
    const StationResult station = LoadStation(stationPath);
    ASSERT_TRUE(station.errors.empty()) << station.errors.front().ToString();

    TempDir dir;
    const std::string resultsPath = dir.Path() + "/results.tsv";
    std::vector<std::string> args = {"--station", stationPath, "--duration", "6", "--refresh", "0", "--results", resultsPath};
    for (const DemoWrite& w : kWrites) {
        args.insert(args.end(), {"--write-at", "1", std::string(w.item) + "=" + w.value});
    }
    const HostOutcome outcome = RunHost(args, 60000);
    ASSERT_EQ(outcome.exitCode, 0) << Shown(outcome);
    const Results results = ReadResults(resultsPath);
    ASSERT_TRUE(results.loaded) << Shown(outcome);

    for (const DemoWrite& w : kWrites) {
        SCOPED_TRACE(w.item);
        ASSERT_TRUE(results.writes.count(w.item));
        EXPECT_EQ(results.writes.at(w.item).at("result"), "0x00000000");
    }
    for (const NodeConfig& node : station.station.nodes) {
        const PortConfig* port = station.station.FindPort(node.port);
        ASSERT_NE(port, nullptr);
        const sim::ConfigResult lineConfig = sim::LoadConfigFile(port->simLineFile);
        ASSERT_TRUE(lineConfig.errors.empty()) << lineConfig.errors.front().ToString();
        sim::ManualClock clock;
        sim::Line line(clock, lineConfig.config);
        sim::Controller* controller = line.Find(static_cast<uint8_t>(node.address));
        const Order order = node.byteOrder == "Младшим байтом вперед" ? Order::Lsb : Order::Msb;

        for (const ItemConfig& item : node.items) {
            const std::string name = node.name + "." + item.name;
            SCOPED_TRACE(name);
            const auto& fields = results.Item(name);
            ASSERT_FALSE(fields.empty());
            if (item.area == kAreaDiagnostics) {
                // Read from the driver's own records, whether the controller answers or not.
                EXPECT_EQ(fields.at("result"), "0x00000000");
                EXPECT_EQ(fields.at("quality"), "0x00C0");
                if (item.address == kDiagState) {
                    EXPECT_EQ(fields.at("value"), controller ? "i:0" : "i:1");
                }
                if (item.address == kDiagCrcErrors && !controller) {
                    EXPECT_EQ(fields.at("value"), "i:0");
                }
                continue;
            }
            if (!controller) {
                EXPECT_EQ(fields.at("result"), "0xCFFF0001") << "nothing answers at this address";
                EXPECT_EQ(fields.at("quality"), "0x0218");
                continue;
            }
            EXPECT_EQ(fields.at("result"), "0x00000000");
            EXPECT_EQ(fields.at("quality"), "0x00C0");
            const auto area = sim::AreaFromName(item.area);
            ASSERT_TRUE(area.has_value());
            bool live = *area == sim::Area::Clock;
            for (const sim::LiveCell& cell : controller->Config().liveCells)
                live = live || Overlaps(cell, *area, item.address, DataTypeSize(item.typeCode));
            if (live) continue;  // changes by itself: good quality is all one can ask
            std::vector<uint8_t> memory = controller->Mem().Read(*area, item.address, 8);
            for (const DemoWrite& w : kWrites) {
                if (name != w.item) continue;
                const std::vector<uint8_t> written = ExpectedAfterWrite(memory, item.typeName, order, item.bit, w.value);
                std::copy(written.begin(), written.end(), memory.begin());
            }
            EXPECT_EQ(fields.at("value"), ExpectedValue(memory, item.typeName, order, item.bit));
        }
    }
    EXPECT_EQ(results.host.at("unexpected_calls"), "0");
    EXPECT_EQ(results.host.at("item_refs_after_clear"), "0");
}

}  // namespace
}  // namespace tervex::host::e2e
