// Commissioning from the command line: the options, the plan handed to the
// driver, and how a scan judges what came back.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "tools/host/core/Commission.h"
#include "tools/host/core/ExitCodes.h"
#include "tools/host/core/Options.h"
#include "tools/host/core/Outcome.h"
#include "tools/host/core/ScanReport.h"

using namespace tervex::host;

namespace {

std::vector<std::string> Parse(std::vector<const char*> args, Options& options) {
    args.insert(args.begin(), "tervex-host");
    return ParseOptions(static_cast<int>(args.size()), args.data(), options);
}

std::optional<CommissionPlan> Plan(std::vector<const char*> args, std::vector<std::string>& errors) {
    Options options;
    errors = Parse(std::move(args), options);
    if (!errors.empty()) return std::nullopt;
    return PlanCommission(options.commission, errors);
}

Probe Got(const char* framing, uint32_t result, std::vector<std::string> received = {}) {
    return Probe{framing, result, std::move(received), 1};
}

}  // namespace

TEST(CommissionOptions, ScanLineAndSettings) {
    Options o;
    const auto errors = Parse({"--scan", "COM3", "--addresses", "2-32", "--baud", "19200", "--parity", "even",
                               "--wait-timeout", "200", "--tries", "1"},
                              o);
    ASSERT_TRUE(errors.empty()) << errors.front();
    EXPECT_EQ(o.commission.mode, CommissionMode::Scan);
    EXPECT_EQ(o.commission.port, 3);
    EXPECT_EQ(o.commission.firstAddress, 2);
    EXPECT_EQ(o.commission.lastAddress, 32);
    const std::vector<std::pair<std::string, std::string>> settings = {{"WaitTimeout", "200"}, {"CountTry", "1"}};
    EXPECT_EQ(o.commission.settings, settings);
    EXPECT_EQ(TimingOf(settings).SilentMs(), 200 + kCommissionTickMs) << "the time-out is noticed at a tick";

    // The station's settings come first, the command line's override them.
    const LineTiming timing = TimingOf({{"WaitTimeout", "400"}, {"CountTry", "2"}, {"WaitTimeout", "250"}});
    EXPECT_EQ(timing.waitTimeoutMs, 250);
    EXPECT_EQ(timing.countTry, 2);
    EXPECT_EQ(TimingOf({}).SilentMs(), 3 * (3000 + kCommissionTickMs)) << "the driver's own 3000 ms x 3";

    Options single;
    EXPECT_TRUE(Parse({"--scan", "COM1", "--addresses", "9"}, single).empty());
    EXPECT_EQ(single.commission.firstAddress, 9);
    EXPECT_EQ(single.commission.lastAddress, 9);
}

TEST(CommissionOptions, AScanHasShortDefaultsThatTheStationAndCommandLineOverride) {
    const Settings station = {{"WaitTimeout", "400"}, {"CountTry", "2"}, {"TimeNextSend", "5000"}};
    const Settings given = {{"CountTry", "3"}};
    struct Row {
        CommissionMode mode;
        Settings station, given;
        int64_t wait, tries;
    };
    for (const Row& row : {Row{CommissionMode::Scan, {}, {}, kScanWaitTimeoutMs, kScanTries},
                           Row{CommissionMode::Scan, station, {}, 400, 2}, Row{CommissionMode::Scan, station, given, 400, 3},
                           Row{CommissionMode::Scan, {}, given, kScanWaitTimeoutMs, 3},
                           Row{CommissionMode::Read, {}, {}, 3000, 3}, Row{CommissionMode::Write, station, {}, 400, 2}}) {
        const LineTiming timing = TimingOf(CommissionSettings(row.mode, row.station, row.given));
        EXPECT_EQ(timing.waitTimeoutMs, row.wait);
        EXPECT_EQ(timing.countTry, row.tries);
    }
    EXPECT_EQ(CommissionSettings(CommissionMode::Scan, station, given).back(), given.back()) << "the command line last";
    EXPECT_NE(UsageText().find("a scan\n                           waits " + std::to_string(kScanWaitTimeoutMs) + " ms with " +
                               std::to_string(kScanTries) + " try"),
              std::string::npos) << "--help states the scan's defaults";

    // The banner: the settings, where they come from, how to change them, the longest time.
    const std::string defaults = ScanTimingText({}, {}, 2, 32);
    EXPECT_NE(defaults.find("a silent address costs 300 ms x 1 try per framing (the scan's defaults; --wait-timeout MS, --tries N change them)"),
              std::string::npos) << defaults;
    EXPECT_NE(defaults.find("  21 s at most for 32 addresses; Ctrl+C"), std::string::npos) << defaults;
    EXPECT_LT(TimingOf(CommissionSettings(CommissionMode::Scan, {}, {})).SilentMs() * 2 * 32, 60000)
        << "1-32 in both framings within a minute";
    EXPECT_NE(ScanTimingText(station, {}, 1, 1).find("400 ms x 2 tries per framing (the station's settings; --wait"), std::string::npos);
    EXPECT_NE(ScanTimingText(station, given, 1, 3).find("400 ms x 3 tries per framing (WaitTimeout the station's, CountTry given; "),
              std::string::npos);
    EXPECT_NE(ScanTimingText({}, {{"WaitTimeout", "1000"}, {"CountTry", "1"}}, 2, 255).find("(as given)\n  8 min 41 s at most for 255 addresses"),
              std::string::npos) << ScanTimingText({}, {{"WaitTimeout", "1000"}, {"CountTry", "1"}}, 2, 255);
}

TEST(CommissionOptions, ProblemsAreNamed) {
    for (const auto& args : std::vector<std::vector<const char*>>{
             {"--scan", "COM0"}, {"--scan", "LPT1"}, {"--scan", "COM1", "--addresses", "0-5"},
             {"--scan", "COM1", "--addresses", "9-3"}, {"--scan", "COM1", "--addresses", "1-256"},
             {"--scan", "COM1", "--framing", "rtu8"}, {"--scan", "COM1", "--read-once", "COM1"},
             {"--read-once", "COM1", "--tries", "0"}, {"--read-once", "COM1", "--baud", "fast"}, {"--scan"}}) {
        Options o;
        EXPECT_FALSE(Parse(args, o).empty()) << args[0] << " " << (args.size() > 1 ? args[1] : "");
    }
    Options o;
    const auto errors = Parse({"--scan", "COM1", "--addresses", "1-300"}, o);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("--addresses"), std::string::npos);
}

TEST(CommissionPlan, OneItemAsThePagesWouldHoldIt) {
    std::vector<std::string> errors;
    const auto defaults = Plan({"--read-once", "COM2"}, errors);
    ASSERT_TRUE(defaults) << errors.front();
    EXPECT_EQ(defaults->node.port, 2);
    EXPECT_EQ(defaults->node.address, 1);
    EXPECT_EQ(defaults->framings, std::vector<std::string>{"RTU"});
    EXPECT_EQ(defaults->item.area, "ОЗУ");
    EXPECT_EQ(defaults->item.typeName, "Byte");
    EXPECT_EQ(defaults->node.byteOrder, "Старшим байтом вперед");

    const auto scan = Plan({"--scan", "COM2"}, errors);
    ASSERT_TRUE(scan);
    EXPECT_EQ(scan->framings, (std::vector<std::string>{"RTU", "ASCII"}));

    const auto write = Plan({"--write-once", "COM1", "1500", "--device", "7", "--framing", "ASCII", "--area", "eeprom",
                             "--at", "0x120", "--type", "Word", "--byte-order", "lsb", "--write-password", "admin"},
                            errors);
    ASSERT_TRUE(write) << errors.front();
    EXPECT_EQ(write->node.address, 7);
    EXPECT_EQ(write->node.protocol, "ASCII");
    EXPECT_EQ(write->node.byteOrder, "Младшим байтом вперед");
    EXPECT_EQ(write->node.writePassword, "admin");
    EXPECT_EQ(write->item.area, "EEPROM");
    EXPECT_EQ(write->item.address, 0x120u);
    EXPECT_EQ(ItemText(write->item), "EEPROM 0120 hex Word");
    ASSERT_TRUE(write->value);
    EXPECT_EQ(write->value->number, 1500);

    // What the station file refuses is refused here too.
    for (const auto& args : std::vector<std::vector<const char*>>{
             {"--read-once", "COM1", "--at", "0x120"},                          // ОЗУ holds 0..255
             {"--read-once", "COM1", "--area", "EEPROM", "--type", "Boolean"},  // bits only in ОЗУ
             {"--read-once", "COM1", "--device", "0"},
             {"--write-once", "COM1", "1", "--area", "FLASH"},
             {"--write-once", "COM1", "300"}}) {  // not a Byte
        EXPECT_FALSE(Plan(args, errors)) << args.back();
        EXPECT_FALSE(errors.empty());
    }
}

TEST(CommissionPort, StationSectionElseRealPortElseSimulator) {
    Station station;
    PortConfig section;
    section.number = 2;
    section.kind = PortKind::Simulator;
    section.simLineFile = "/x/demo-com2.conf";
    station.ports.push_back(section);

    CommissionOptions options;
    options.port = 2;
    EXPECT_EQ(CommissionPort(options, &station).simLineFile, "/x/demo-com2.conf");
    options.port = 3;
    options.baud = 19200;
    const PortConfig real = CommissionPort(options, &station);
    EXPECT_EQ(real.kind, PortKind::Serial);
    EXPECT_EQ(real.number, 3);
    EXPECT_EQ(real.baud, 19200);
    options.simControllers = {"1:framing=ASCII"};
    EXPECT_EQ(CommissionPort(options, nullptr).kind, PortKind::Simulator);
}

TEST(ScanJudging, ResultCodesAndAnswersToldApart) {
    EXPECT_EQ(Judge(Got("RTU", kResultOk)), Finding::Answers);
    EXPECT_EQ(Judge(Got("RTU", kResultNoAnswer)), Finding::Silent);
    EXPECT_EQ(Judge(Got("RTU", kResultCrcError, {"01 D0 00 11 "})), Finding::CrcErrors);
    EXPECT_EQ(Judge(Got("RTU", kResultWrongAnswer, {"01 D0 00 11 22 33 44 55 66 77 88 "})), Finding::WrongAnswer);
    EXPECT_EQ(Judge(Got("RTU", kResultFailed)), Finding::Failed);
    // The controller's reset answer (address, 0xFF): there, but it wants its password.
    EXPECT_EQ(Judge(Got("RTU", kResultWrongAnswer, {"03 FF 40 D1 "})), Finding::PasswordWanted);
    EXPECT_EQ(Judge(Got("ASCII", kResultWrongAnswer, {"?03FF<CR>"})), Finding::PasswordWanted);
    EXPECT_EQ(Judge(Got("ASCII", kResultWrongAnswer, {"!03", "FF<CR>"})), Finding::PasswordWanted);
    EXPECT_EQ(Judge(Got("ASCII", kResultWrongAnswer, {"!0311<CR>"})), Finding::WrongAnswer);
    // A password frame's answer is binary whatever the node's framing.
    EXPECT_EQ(Judge(Got("ASCII", kResultWrongAnswer, {"05 FF 40 D1 "})), Finding::PasswordWanted);
    EXPECT_EQ(Judge(Got("RTU", kResultWrongAnswer, {"03 F0 40 D1 ", "03 FF 40 D1 "})), Finding::PasswordWanted);
}

TEST(OneShotOutcome, EachFindingHasItsOwnExitCode) {
    const std::vector<std::pair<Finding, int>> codes = {
        {Finding::Answers, kExitDone},       {Finding::Silent, kExitNoAnswer},  {Finding::WrongAnswer, kExitWrongAnswer},
        {Finding::PasswordWanted, kExitPassword}, {Finding::CrcErrors, kExitCrcError}, {Finding::Failed, kExitFailed}};
    std::set<int> seen = {kExitUnavailable, kExitBadInput, kExitStopped};
    for (const auto& [finding, code] : codes) {
        EXPECT_EQ(OneShotExitCode(finding), code) << FindingText(finding);
        EXPECT_TRUE(seen.insert(code).second) << FindingText(finding) << " shares its code " << code;
    }
    // A refusal for want of a password names the option that gives it.
    EXPECT_NE(PasswordAdvice(false, false).find("asks for its password"), std::string::npos);
    EXPECT_NE(PasswordAdvice(false, false).find("give it with --read-password"), std::string::npos);
    EXPECT_NE(PasswordAdvice(true, true).find("check the one given with --write-password"), std::string::npos);
}

TEST(ScanJudging, BestFindingOverTheFramings) {
    const AddressReport ascii = Combine(2, {Got("RTU", kResultNoAnswer), Got("ASCII", kResultOk, {"!02AA<CR>"})});
    EXPECT_EQ(ascii.finding, Finding::Answers);
    EXPECT_EQ(ascii.framing, "ASCII");
    EXPECT_TRUE(Settled(ascii.finding));

    const AddressReport noisy = Combine(5, {Got("RTU", kResultCrcError), Got("ASCII", kResultNoAnswer)});
    EXPECT_EQ(noisy.finding, Finding::CrcErrors);
    EXPECT_EQ(noisy.framing, "RTU");
    EXPECT_FALSE(Settled(noisy.finding));

    const AddressReport silent = Combine(9, {Got("RTU", kResultNoAnswer), Got("ASCII", kResultNoAnswer)});
    EXPECT_EQ(silent.finding, Finding::Silent);
    EXPECT_EQ(silent.framing, "");
    EXPECT_EQ(ScanResultLine(silent), "scan\t9\tfinding=silent\tframing=-\tRTU=0xCFFF0001/1/0\tASCII=0xCFFF0001/1/0\n");
}

TEST(ScanJudging, SummaryNamesWhatAnswersAndWhatIsSilent) {
    std::vector<AddressReport> reports;
    reports.push_back(Combine(1, {Got("RTU", kResultOk)}));
    reports.push_back(Combine(2, {Got("RTU", kResultNoAnswer), Got("ASCII", kResultOk)}));
    reports.push_back(Combine(3, {Got("RTU", kResultWrongAnswer, {"03 FF 40 D1 "})}));
    for (int a = 4; a <= 6; ++a) reports.push_back(Combine(a, {Got("RTU", kResultNoAnswer)}));
    reports.push_back(Combine(7, {Got("RTU", kResultCrcError)}));
    reports.push_back(Combine(8, {Got("RTU", kResultNoAnswer)}));
    const std::string text = ScanSummary(reports, 1, 10, true);
    EXPECT_NE(text.find("Scanned 8 addresses of 1-10 (stopped; 9-10 not scanned)"), std::string::npos) << text;
    EXPECT_NE(text.find("  1  RTU\n  2  ASCII\n  3  RTU, wants its password\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  7  CRC errors (RTU)"), std::string::npos) << text;
    EXPECT_NE(text.find("Silent: 4-6, 8\n"), std::string::npos) << text;

    EXPECT_EQ(DurationText(800), "1 s");
    EXPECT_EQ(DurationText(200000), "3 min 20 s");
    EXPECT_EQ(DurationText(2 * 255 * 9000), "1 h 16 min");
}
