// What the host does with a bad station, a port it cannot open, a write that
// does not fit, and a library it cannot load: a clear message and exit code.
#include <gtest/gtest.h>

#include "Plant.h"

namespace tervex::host::e2e {
namespace {

bool Has(const HostOutcome& outcome, const std::string& part) { return outcome.output.find(part) != std::string::npos; }

TEST(Station, BadEntriesAreNamedWithFileLineAndFieldAndNothingRuns) {
    ASSERT_TRUE(Environment().missing.empty()) << "not set: " << Environment().missing;
    TempDir dir;
    const std::string station = dir.Write("bad.station",
                                          "[node N]\n"
                                          "port = COM40\n"
                                          "address = 300\n"
                                          "item T ОЗУ 0x10 Float\n"
                                          "item U EEPROM 0 Boolean bit=1\n");
    const HostOutcome outcome = RunHost({"--station", station, "--duration", "1"}, 30000);
    EXPECT_EQ(outcome.exitCode, 2) << Shown(outcome);
    EXPECT_TRUE(Has(outcome, station + ":3: address: \"300\" is outside 1..255")) << Shown(outcome);
    EXPECT_TRUE(Has(outcome, station + ":4: item T, type: \"Float\" is not a type with a device form")) << Shown(outcome);
    EXPECT_TRUE(Has(outcome, station + ":5: item U, type: Boolean items exist only in ОЗУ")) << Shown(outcome);
    EXPECT_TRUE(Has(outcome, "3 problem(s)")) << Shown(outcome);
    EXPECT_FALSE(Has(outcome, "Tervex reference host")) << "the driver is not even loaded";
}

TEST(Station, PortThatCannotBeOpenedEndsTheRun) {
    ASSERT_TRUE(Environment().missing.empty()) << "not set: " << Environment().missing;
    TempDir dir;
    const std::string station =
        dir.Write("absent.station", "[port COM41]\ntype = serial\n[node N]\nport = COM41\nitem T ОЗУ 0 Byte\n");
    const HostOutcome outcome = RunHost({"--station", station, "--duration", "1"}, 30000);
    EXPECT_EQ(outcome.exitCode, 1) << Shown(outcome);
    EXPECT_TRUE(Has(outcome, "COM41: opening COM41 failed")) << Shown(outcome);
}

TEST(Station, WritesThatDoNotFitTheirItemsAreRefused) {
    ASSERT_TRUE(Environment().missing.empty()) << "not set: " << Environment().missing;
    TempDir dir;
    const std::string station =
        dir.Write("w.station", "[node N]\nport = COM42\nitem T ОЗУ 0 Word\nitem F FLASH 0 Byte\nitem S ОЗУ 8 String\n");
    const HostOutcome outcome = RunHost({"--station", station, "--duration", "1", "--write", "N.T=70000", "--write",
                                         "N.F=1", "--write", "N.S=too long text", "--write", "N.Q=1"},
                                        30000);
    EXPECT_EQ(outcome.exitCode, 2) << Shown(outcome);
    EXPECT_TRUE(Has(outcome, "--write N.T: \"70000\" is not a Word (0..65535)")) << Shown(outcome);
    EXPECT_TRUE(Has(outcome, "--write N.F: the item is not writable")) << Shown(outcome);
    EXPECT_TRUE(Has(outcome, "--write N.S: \"too long text\": a String holds at most 8 characters")) << Shown(outcome);
    EXPECT_TRUE(Has(outcome, "--write N.Q: no such item")) << Shown(outcome);
}

TEST(Station, LibraryThatCannotBeLoadedIsNamed) {
    ASSERT_TRUE(Environment().missing.empty()) << "not set: " << Environment().missing;
    const HostOutcome outcome = RunHost({"--dll", "/nonexistent/tervex.dll"}, 30000);
    EXPECT_EQ(outcome.exitCode, 1) << Shown(outcome);
    EXPECT_TRUE(Has(outcome, "cannot load /nonexistent/tervex.dll")) << Shown(outcome);
}

}  // namespace
}  // namespace tervex::host::e2e
