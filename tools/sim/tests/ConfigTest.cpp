// Preset files, line configuration files and command-line controllers, with their error reports.
#include <gtest/gtest.h>

#include "sim/ConfigFile.h"
#include "sim/Hex.h"
#include "sim/Preset.h"
#include "sim/app/Options.h"
#include "TestUtil.h"

namespace tervex::sim::test {
namespace {

const std::string kExamples = std::string(TERVEX_SIM_DIR) + "/examples";

std::string Errors(const std::vector<ParseError>& errors)
{
    std::string text;
    for (const ParseError& e : errors)
        text += e.ToString() + "\n";
    return text;
}

TEST(PresetFile, GoodLines)
{
    const std::string text =
        "# comment\n"
        "\n"
        "ОЗУ 0x05 11 22 0x33\n"
        "  EEPROM  288  \"AB C\" ff\n"
        "FLASH 0xFFFE 01 02\n"
        "RAM 0 \"Привет\"\n";
    const PresetResult result = ParsePresetText(text, "mem.txt");
    ASSERT_TRUE(result.errors.empty()) << Errors(result.errors);
    ASSERT_EQ(result.presets.size(), 4u);
    EXPECT_EQ(result.presets[0].area, Area::Ram);
    EXPECT_EQ(result.presets[0].address, 5u);
    EXPECT_EQ(HexDump(result.presets[0].bytes), "11 22 33");
    EXPECT_EQ(result.presets[1].area, Area::Eeprom);
    EXPECT_EQ(result.presets[1].address, 288u);
    EXPECT_EQ(HexDump(result.presets[1].bytes), "41 42 20 43 FF");
    EXPECT_EQ(result.presets[2].area, Area::Flash);
    EXPECT_EQ(result.presets[2].address, 0xFFFEu);
    // Russian letters go to memory in Windows-1251.
    EXPECT_EQ(HexDump(result.presets[3].bytes), "CF F0 E8 E2 E5 F2");
}

TEST(PresetFile, BadLinesNameFileLineAndField)
{
    struct Row {
        const char* line;
        int field;
        const char* says;
    };
    const Row rows[] = {
        {"ROM 0 11", 1, "unknown memory area"},
        {"ОЗУ 256 11", 2, "not in 0..255"},
        {"EEPROM 65536 11", 2, "not in 0..65535"},
        {"ОЗУ 0x1x 11", 2, "address"},
        {"ОЗУ 0x10 11 2G 33", 4, "bad byte '2G'"},
        {"ОЗУ 0x10 11 123", 4, "bad byte"},
        {"ОЗУ 0xFE 11 22 33", 2, "past the end"},
        {"XRAM 0xFFFF 11 22", 2, "past the end"},
        {"EEPROM 5", 0, "expected"},
        {"FLASH 0 \"open", 0, "quote"},
        {"ОЗУ 0 \"Ω\"", 3, "characters"},
    };
    for (const Row& row : rows) {
        const std::string text = std::string("ОЗУ 0 01\n# fine above\n") + row.line + "\nFRAM 0 02\n";
        const PresetResult result = ParsePresetText(text, "mem.txt");
        ASSERT_EQ(result.errors.size(), 1u) << row.line << "\n" << Errors(result.errors);
        const ParseError& e = result.errors[0];
        EXPECT_EQ(e.file, "mem.txt") << row.line;
        EXPECT_EQ(e.line, 3) << row.line;
        EXPECT_EQ(e.field, row.field) << row.line << ": " << e.ToString();
        EXPECT_NE(e.message.find(row.says), std::string::npos) << row.line << ": " << e.ToString();
        EXPECT_EQ(result.presets.size(), 2u) << row.line;  // the good lines still count
    }
}

TEST(PresetFile, MissingFileIsReported)
{
    const PresetResult result = LoadPresetFile(kExamples + "/no-such-file.txt");
    ASSERT_EQ(result.errors.size(), 1u);
    EXPECT_NE(result.errors[0].ToString().find("no-such-file.txt:0: cannot open"), std::string::npos);
}

TEST(ConfigFile, TheExampleLoads)
{
    const ConfigResult result = LoadConfigFile(kExamples + "/demo.conf");
    ASSERT_TRUE(result.errors.empty()) << Errors(result.errors);
    const LineConfig& config = result.config;
    EXPECT_EQ(config.seed, 7u);
    ASSERT_EQ(config.controllers.size(), 3u);
    const ControllerConfig& first = config.controllers[0];
    EXPECT_EQ(first.address, 1);
    EXPECT_EQ(first.framing, Framing::Rtu);
    EXPECT_EQ(first.presets.size(), 6u);  // from the preset file beside it
    ASSERT_EQ(first.liveCells.size(), 2u);
    EXPECT_EQ(first.liveCells[1].kind, LiveKind::Sine);
    EXPECT_EQ(first.liveCells[1].periodMs, 30000);
    const ControllerConfig& second = config.controllers[1];
    EXPECT_EQ(second.framing, Framing::Ascii);
    EXPECT_EQ(second.readPassword, "1234");
    EXPECT_EQ(second.writePassword, "admin");
    EXPECT_EQ(second.passwordIdleMs, 120000);
    EXPECT_TRUE(second.liveCells[0].lsbFirst);
    const ControllerConfig& third = config.controllers[2];
    EXPECT_EQ(third.answerDelayMs, 5);
    ASSERT_EQ(third.faults.size(), 3u);
    EXPECT_EQ(third.faults[0].kind, FaultKind::BadCrc);
    EXPECT_DOUBLE_EQ(third.faults[0].probability, 0.1);
    EXPECT_EQ(third.faults[1].everyN, 5u);
    EXPECT_EQ(third.faults[1].delayMs, 1500);
    EXPECT_EQ(third.faults[2].pieces, 3);
    EXPECT_EQ(third.faults[2].gapMs, 5);
}

TEST(ConfigFile, SettingsAndKeys)
{
    const ConfigResult result = ParseConfigText(
        "seed = 0x10\nframe_gap_ms = 0\nclock_start = 2024-05-17 13:45:30\n"
        "[controller 200]\nread_password = пароль\nlive = counter CLOCK 0x20 period_ms=250 order=msb\n"
        "fault = silence probability 0.5\nfault = length every 4\n",
        "line.conf", "");
    ASSERT_TRUE(result.errors.empty()) << Errors(result.errors);
    EXPECT_EQ(result.config.seed, 16u);
    EXPECT_EQ(result.config.frameGapMs, 0);
    EXPECT_EQ(result.config.clockStartSeconds, kClockStartSeconds);
    const ControllerConfig& c = result.config.controllers.at(0);
    EXPECT_EQ(c.address, 200);
    EXPECT_EQ(HexDump(std::vector<uint8_t>(c.readPassword.begin(), c.readPassword.end())), "EF E0 F0 EE EB FC");
    EXPECT_EQ(c.liveCells.at(0).area, Area::Clock);
    EXPECT_EQ(c.liveCells.at(0).periodMs, 250);
    EXPECT_EQ(c.faults.at(1).kind, FaultKind::WrongLength);
}

TEST(ConfigFile, BadLinesNameFileLineAndField)
{
    struct Row {
        const char* line;
        int field;
        const char* says;
    };
    const Row rows[] = {
        {"framing = BINARY", 2, "RTU or ASCII"},
        {"password_idle_s = -5", 2, "not a number"},
        {"answer_delay_ms = 1000000", 2, "not a number"},
        {"colour = red", 1, "unknown key"},
        {"just words", 0, "key = value"},
        {"live = wave ОЗУ 0", 2, "unknown live cell"},
        {"live = counter ОЗУ 300", 4, "0..255"},
        {"live = sine EEPROM 0 amplitude=40000", 5, "0..32767"},
        {"live = sine EEPROM 0 colour=red", 5, "unknown or bad option"},
        {"fault = explode every 2", 2, "unknown fault"},
        {"fault = crc sometimes 2", 3, "'every' or 'probability'"},
        {"fault = crc every 0", 4, "not a number"},
        {"fault = crc probability 1.5", 4, "probability"},
        {"fault = crc every 2 delay_ms=5", 5, "unknown or bad option"},
        {"fault = split every 2 pieces=1", 5, "2..64"},
        {"mem = ОЗУ 0x10 11 XY", 5, "bad byte"},
        {"preset = nowhere.txt", 2, "cannot open preset file"},
        {"read_password = ключ€", 2, "outside ASCII"},
    };
    for (const Row& row : rows) {
        const std::string text = std::string("seed = 1\n[controller 1]\n") + row.line + "\n";
        const ConfigResult result = ParseConfigText(text, "line.conf", kExamples);
        ASSERT_EQ(result.errors.size(), 1u) << row.line << "\n" << Errors(result.errors);
        const ParseError& e = result.errors[0];
        EXPECT_EQ(e.file, "line.conf") << row.line;
        EXPECT_EQ(e.line, 3) << row.line;
        EXPECT_EQ(e.field, row.field) << row.line << ": " << e.ToString();
        EXPECT_NE(e.message.find(row.says), std::string::npos) << row.line << ": " << e.ToString();
    }
}

TEST(ConfigFile, BadSectionsAndLineSettings)
{
    struct Row {
        const char* text;
        int line;
        int field;
        const char* says;
    };
    const Row rows[] = {
        {"[controller 0]\n", 1, 2, "1..255"},
        {"[controller 256]\n", 1, 2, "1..255"},
        {"[node 1]\n", 1, 0, "section header"},
        {"[controller 1\n", 1, 0, "section header"},
        {"[controller 3]\n[controller 3]\n", 2, 2, "defined twice"},
        {"seed = x\n", 1, 2, "not a number"},
        {"clock_start = yesterday\n", 1, 2, "YYYY-MM-DD"},
        {"framing = RTU\n", 1, 1, "unknown line setting"},
    };
    for (const Row& row : rows) {
        const ConfigResult result = ParseConfigText(row.text, "line.conf", "");
        ASSERT_EQ(result.errors.size(), 1u) << row.text << Errors(result.errors);
        EXPECT_EQ(result.errors[0].line, row.line) << row.text;
        EXPECT_EQ(result.errors[0].field, row.field) << row.text << result.errors[0].ToString();
        EXPECT_NE(result.errors[0].message.find(row.says), std::string::npos) << result.errors[0].ToString();
    }
}

TEST(ControllerOption, SameKeysAsTheFile)
{
    LineConfig config;
    std::vector<ParseError> errors;
    AddControllerOption("2:framing=ASCII:write_password=secret:fault=slow every 2 delay_ms=10:mem=RAM 5 AA BB", 1,
                      "", config, errors);
    ASSERT_TRUE(errors.empty()) << Errors(errors);
    const ControllerConfig& c = config.controllers.at(0);
    EXPECT_EQ(c.address, 2);
    EXPECT_EQ(c.framing, Framing::Ascii);
    EXPECT_EQ(c.writePassword, "secret");
    EXPECT_EQ(c.faults.at(0).delayMs, 10);
    EXPECT_EQ(HexDump(c.presets.at(0).bytes), "AA BB");

    struct Row {
        const char* option;
        int field;
        const char* says;
    };
    const Row rows[] = {
        {"300", 1, "1..255"},
        {"x", 1, "not a number"},
        {"2", 1, "defined twice"},
        {"4:framing=RTU:bogus=1", 3, "unknown key"},
        {"5:framing", 2, "key=value"},
        {"6:mem=ОЗУ 0x10 11 XY", 2, "bad byte"},
    };
    for (const Row& row : rows) {
        std::vector<ParseError> rowErrors;
        AddControllerOption(row.option, 3, "", config, rowErrors);
        ASSERT_EQ(rowErrors.size(), 1u) << row.option << Errors(rowErrors);
        EXPECT_EQ(rowErrors[0].file, "--controller");
        EXPECT_EQ(rowErrors[0].line, 3);
        EXPECT_EQ(rowErrors[0].field, row.field) << row.option << ": " << rowErrors[0].ToString();
        EXPECT_NE(rowErrors[0].message.find(row.says), std::string::npos) << rowErrors[0].ToString();
    }
}

TEST(ProgramOptions, ParsedAndCombined)
{
    const char* argv[] = {"tervex-sim", "--controller", "1", "--controller=2:framing=ASCII", "--device",
                          "/dev/ttyS0", "--baud", "19200", "--line", "7E2", "--seed", "9", "--duration", "3",
                          "--clock-start", "2024-05-17 13:45:30", "-v"};
    Options options;
    const auto errors = ParseOptions(static_cast<int>(std::size(argv)), argv, options);
    ASSERT_TRUE(errors.empty()) << errors.front();
    EXPECT_EQ(options.device, "/dev/ttyS0");
    EXPECT_EQ(options.serial.baud, 19200);
    EXPECT_EQ(options.serial.dataBits, 7);
    EXPECT_EQ(options.serial.parity, 'E');
    EXPECT_EQ(options.serial.stopBits, 2);
    EXPECT_EQ(options.durationMs, 3000);
    EXPECT_TRUE(options.verbose);

    LineConfig config;
    const auto configErrors = BuildLineConfig(options, config);
    ASSERT_TRUE(configErrors.empty()) << Errors(configErrors);
    EXPECT_EQ(config.controllers.size(), 2u);
    EXPECT_EQ(config.seed, 9u);
    EXPECT_EQ(config.clockStartSeconds, kClockStartSeconds);
}

TEST(ProgramOptions, ProblemsAreListed)
{
    const char* argv[] = {"tervex-sim", "--pty", "--device", "/dev/ttyS0", "--line", "9X1", "--baud", "fast",
                          "--wobble", "--seed"};
    Options options;
    const auto errors = ParseOptions(static_cast<int>(std::size(argv)), argv, options);
    EXPECT_EQ(errors.size(), 5u);

    Options none;
    LineConfig config;
    const auto configErrors = BuildLineConfig(none, config);
    ASSERT_EQ(configErrors.size(), 1u);
    EXPECT_NE(configErrors[0].message.find("no controllers"), std::string::npos);
}

}  // namespace
}  // namespace tervex::sim::test
