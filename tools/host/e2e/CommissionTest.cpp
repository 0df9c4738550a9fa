// Commissioning through the host and the real DLL: a scan of the demo station's
// simulated lines finds exactly the controllers their line files configure, each
// in its framing, and the silent node's address silent; one-off reads give what
// the simulator holds, one-off writes are acknowledged.
#include <gtest/gtest.h>

#include "Plant.h"
#include "sim/ConfigFile.h"
#include "sim/Frames.h"
#include "tools/host/core/Station.h"

namespace tervex::host::e2e {
namespace {

StationResult DemoStation() { return LoadStation(Environment().stations + "/demo.station"); }

TEST(Commission, ScanFindsTheDemoControllersInTheirFramings) {
    ASSERT_TRUE(Environment().missing.empty()) << "not set: " << Environment().missing;
    const StationResult station = DemoStation();
    ASSERT_TRUE(station.errors.empty()) << station.errors.front().ToString();
    const NodeConfig* ghost = station.station.FindNode("Ghost");
    ASSERT_NE(ghost, nullptr);

    struct Scan {
        int com, first, last;
    };
    int answering = 0;
    bool ghostSeen = false;
    for (const Scan scan : {Scan{1, 1, 3}, Scan{2, 2, 9}}) {
        SCOPED_TRACE("COM" + std::to_string(scan.com));
        TempDir dir;
        const std::string resultsPath = dir.Path() + "/scan.tsv";
        const std::string range = std::to_string(scan.first) + "-" + std::to_string(scan.last);
        const HostOutcome outcome = RunHost({"--station", Environment().stations + "/demo.station", "--scan",
                                             "COM" + std::to_string(scan.com), "--addresses", range, "--results",
                                             resultsPath},
                                            120000);
        ASSERT_EQ(outcome.exitCode, 0) << Shown(outcome);
        EXPECT_NE(outcome.output.find("left at most"), std::string::npos) << "progress with the time left";
        const Results results = ReadResults(resultsPath);
        ASSERT_TRUE(results.loaded) << Shown(outcome);
        ASSERT_TRUE(results.other.count("scan")) << Shown(outcome);
        const auto& found = results.other.at("scan");
        ASSERT_EQ(found.size(), static_cast<size_t>(scan.last - scan.first + 1)) << Shown(outcome);

        const PortConfig* port = station.station.FindPort(scan.com);
        ASSERT_NE(port, nullptr);
        const sim::ConfigResult line = sim::LoadConfigFile(port->simLineFile);
        ASSERT_TRUE(line.errors.empty());
        for (int address = scan.first; address <= scan.last; ++address) {
            SCOPED_TRACE("address " + std::to_string(address));
            ASSERT_TRUE(found.count(std::to_string(address)));
            const auto& fields = found.at(std::to_string(address));
            const sim::ControllerConfig* controller = nullptr;
            for (const sim::ControllerConfig& c : line.config.controllers)
                if (c.address == address) controller = &c;
            if (!controller) {
                EXPECT_EQ(fields.at("finding"), "silent");
                EXPECT_EQ(fields.at("framing"), "-");
                EXPECT_EQ(fields.at("RTU"), "0xCFFF0001/2/0") << "the station's CountTry, not the scan's own";
                ghostSeen = ghostSeen || (scan.com == ghost->port && address == ghost->address);
                continue;
            }
            ++answering;
            // A controller with a read password answers the scan's read with its reset form.
            EXPECT_EQ(fields.at("finding"), controller->readPassword.empty() ? "answers" : "password") << Shown(outcome);
            EXPECT_EQ(fields.at("framing"), sim::FramingName(controller->framing));
        }
    }
    EXPECT_EQ(answering, 3) << "Boiler (RTU), Pump (ASCII) and Vault (RTU, passwords)";
    EXPECT_TRUE(ghostSeen) << "Ghost's address was scanned and found silent";
}

TEST(Commission, AScanWithoutSettingsTriesEachFramingOnceAndSaysHowLongItTakes) {
    ASSERT_TRUE(Environment().missing.empty()) << "not set: " << Environment().missing;
    TempDir dir;
    const std::string resultsPath = dir.Path() + "/scan.tsv";
    // The line's controllers are at 1 and 2: 3 and 4 are silent.
    const HostOutcome outcome = RunHost({"--scan", "COM1", "--sim-line", Environment().stations + "/demo-com1.conf",
                                         "--addresses", "3-4", "--results", resultsPath},
                                        60000);
    ASSERT_EQ(outcome.exitCode, 0) << Shown(outcome);
    EXPECT_NE(outcome.output.find("a silent address costs 300 ms x 1 try per framing (the scan's defaults; "
                                  "--wait-timeout MS, --tries N change them)"),
              std::string::npos)
        << Shown(outcome);
    EXPECT_NE(outcome.output.find("  2 s at most for 2 addresses; "), std::string::npos) << Shown(outcome);
    const Results results = ReadResults(resultsPath);
    ASSERT_TRUE(results.other.count("scan")) << Shown(outcome);
    for (const char* address : {"3", "4"}) {
        const auto& fields = results.other.at("scan").at(address);
        EXPECT_EQ(fields.at("finding"), "silent");
        EXPECT_EQ(fields.at("RTU"), "0xCFFF0001/1/0") << "one frame, one try";
        EXPECT_EQ(fields.at("ASCII"), "0xCFFF0001/1/0");
    }
}

TEST(Commission, OneOffReadGivesTheSimulatorsValue) {
    ASSERT_TRUE(Environment().missing.empty()) << "not set: " << Environment().missing;
    const StationResult station = DemoStation();
    ASSERT_TRUE(station.errors.empty());
    // Boiler.Limit: a Word in EEPROM, most significant byte first; read without a
    // station file, the line given as the simulator's own line file.
    const PortConfig* port = station.station.FindPort(1);
    ASSERT_NE(port, nullptr);
    const sim::ConfigResult line = sim::LoadConfigFile(port->simLineFile);
    ASSERT_TRUE(line.errors.empty());
    sim::ManualClock clock;
    sim::Line simulated(clock, line.config);
    ASSERT_NE(simulated.Find(1), nullptr);
    const std::vector<uint8_t> memory = simulated.Find(1)->Mem().Read(sim::Area::Eeprom, 0x120, 8);

    TempDir dir;
    const std::string resultsPath = dir.Path() + "/once.tsv";
    const HostOutcome read = RunHost({"--read-once", "COM1", "--sim-line", port->simLineFile, "--device", "1",
                                      "--area", "EEPROM", "--at", "0x120", "--type", "Word", "--results", resultsPath},
                                     60000);
    ASSERT_EQ(read.exitCode, 0) << Shown(read);
    EXPECT_NE(read.output.find("COM1 Tx: 01 D2 01 20 "), std::string::npos) << "the frames are shown: " << Shown(read);
    const Results results = ReadResults(resultsPath);
    ASSERT_TRUE(results.other.count("once")) << Shown(read);
    const auto& fields = results.other.at("once").at("read");
    EXPECT_EQ(fields.at("value"), ExpectedValue(memory, "Word", Order::Msb, 0));
    EXPECT_EQ(fields.at("quality"), "0x00C0");
    EXPECT_EQ(fields.at("result"), "0x00000000");
    EXPECT_EQ(fields.at("sent"), "1");
    EXPECT_EQ(fields.at("received"), "1");

    // A write through the station's line: the ASCII controller with its answers
    // in pieces, least significant byte first.
    const HostOutcome write = RunHost({"--station", Environment().stations + "/demo.station", "--write-once", "COM1",
                                       "2000", "--device", "2", "--framing", "ASCII", "--area", "EEPROM", "--at",
                                       "0x100", "--type", "Word", "--byte-order", "lsb"},
                                      60000);
    EXPECT_EQ(write.exitCode, 0) << Shown(write);
    EXPECT_NE(write.output.find("$02E20100D007<CR>"), std::string::npos) << Shown(write);
    EXPECT_NE(write.output.find("result   ok"), std::string::npos) << Shown(write);

    // Nothing at the address: the driver's no-answer result, and the exit code says so.
    const HostOutcome silent = RunHost({"--station", Environment().stations + "/demo.station", "--read-once", "COM2",
                                        "--device", "9"},
                                       60000);
    EXPECT_EQ(silent.exitCode, 3) << Shown(silent);
    EXPECT_NE(silent.output.find("no answer (0xCFFF0001)"), std::string::npos) << Shown(silent);
    EXPECT_NE(silent.output.find("COM2 Адрес 9: устройство не доступно"), std::string::npos) << Shown(silent);

    // A controller with a read password refuses a read without it: the output says so, and so does the exit code.
    const HostOutcome locked = RunHost({"--station", Environment().stations + "/demo.station", "--read-once", "COM2",
                                        "--device", "3"},
                                       60000);
    EXPECT_EQ(locked.exitCode, 5) << Shown(locked);
    EXPECT_NE(locked.output.find("result   wrong answer (0xCFFF0005)"), std::string::npos) << Shown(locked);
    EXPECT_NE(locked.output.find("         the controller asks for its password"), std::string::npos) << Shown(locked);
    EXPECT_NE(locked.output.find("give it with --read-password"), std::string::npos) << Shown(locked);
}

}  // namespace
}  // namespace tervex::host::e2e
