#include "sim/app/Options.h"

#include "sim/Calendar.h"
#include "sim/ConfigFile.h"

namespace tervex::sim {

const char* UsageText()
{
    return "usage: tervex-sim [--config FILE] [--controller ADDR[:key=value]...]...\n"
           "                  [--pty [--link PATH] [--pace [--turnaround-ms N] [--wire-stats FILE]]\n"
           "                   | --device PATH] [--baud N] [--line 8N1]\n"
           "                  [--seed N] [--gap-ms N] [--clock-start \"YYYY-MM-DD HH:MM:SS\"]\n"
           "                  [--duration SECONDS] [--verbose]\n"
           "Serves simulated Tervex controllers on a new pseudo-terminal (the default;\n"
           "its path is printed on the first line of standard output) or on a serial device.\n"
           "--pace makes the pseudo-terminal a line at --baud: every character takes its bit\n"
           "times, one direction at a time, and answers start --turnaround-ms (default 2)\n"
           "after the request's last character.\n"
           "Controller keys: framing, read_password, write_password, password_idle_s,\n"
           "answer_delay_ms, preset, mem, live, fault (see tools/sim/README.md).\n";
}

std::optional<SerialSettings> ParseLineSettings(const std::string& text, int baud)
{
    if (text.size() != 3)
        return std::nullopt;
    SerialSettings s;
    s.baud = baud;
    if (text[0] != '7' && text[0] != '8')
        return std::nullopt;
    s.dataBits = text[0] - '0';
    if (text[1] != 'N' && text[1] != 'E' && text[1] != 'O')
        return std::nullopt;
    s.parity = text[1];
    if (text[2] != '1' && text[2] != '2')
        return std::nullopt;
    s.stopBits = text[2] - '0';
    return s;
}

std::vector<std::string> ParseOptions(int argc, const char* const* argv, Options& options)
{
    std::vector<std::string> errors;
    std::string lineText = "8N1";
    bool pty = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::optional<std::string> inlineValue;
        if (arg.rfind("--", 0) == 0) {
            const size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                inlineValue = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
            }
        }
        const auto value = [&]() -> std::optional<std::string> {
            if (inlineValue)
                return inlineValue;
            if (i + 1 < argc)
                return std::string(argv[++i]);
            errors.push_back(arg + " needs a value");
            return std::nullopt;
        };
        const auto number = [&](uint64_t low, uint64_t high) -> std::optional<uint64_t> {
            const auto text = value();
            if (!text)
                return std::nullopt;
            const auto n = ParseUnsigned(*text);
            if (!n || *n < low || *n > high) {
                errors.push_back(arg + ": '" + *text + "' is not a number in " + std::to_string(low) + ".." +
                                 std::to_string(high));
                return std::nullopt;
            }
            return n;
        };

        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--verbose" || arg == "-v") {
            options.verbose = true;
        } else if (arg == "--pty") {
            pty = true;
        } else if (arg == "--pace") {
            options.pace = true;
        } else if (arg == "--turnaround-ms") {
            if (auto n = number(0, 10000)) options.turnaroundMs = static_cast<int64_t>(*n);
        } else if (arg == "--wire-stats") {
            if (auto v = value()) options.wireStatsPath = *v;
        } else if (arg == "--config") {
            if (auto v = value()) options.configPath = *v;
        } else if (arg == "--controller") {
            if (auto v = value()) options.controllerOptions.push_back(*v);
        } else if (arg == "--device") {
            if (auto v = value()) options.device = *v;
        } else if (arg == "--link") {
            if (auto v = value()) options.linkPath = *v;
        } else if (arg == "--baud") {
            if (auto n = number(50, 4000000)) options.serial.baud = static_cast<int>(*n);
        } else if (arg == "--line") {
            if (auto v = value()) lineText = *v;
        } else if (arg == "--seed") {
            if (auto n = number(0, UINT64_MAX)) options.seed = *n;
        } else if (arg == "--gap-ms") {
            if (auto n = number(0, 600000)) options.frameGapMs = static_cast<int64_t>(*n);
        } else if (arg == "--clock-start") {
            if (auto v = value()) options.clockStart = *v;
        } else if (arg == "--duration") {
            if (auto n = number(1, 864000)) options.durationMs = static_cast<int64_t>(*n) * 1000;
        } else {
            errors.push_back("unknown option '" + arg + "'");
        }
    }
    if (const auto line = ParseLineSettings(lineText, options.serial.baud))
        options.serial = *line;
    else
        errors.push_back("--line: '" + lineText + "' is not like 8N1 (data bits 7|8, parity N|E|O, stop bits 1|2)");
    if (pty && !options.device.empty())
        errors.push_back("--pty and --device exclude each other");
    if (options.pace && !options.device.empty())
        errors.push_back("--pace is for a pseudo-terminal only: a serial device has its own pace");
    if (!options.linkPath.empty() && !options.device.empty())
        errors.push_back("--link is for a pseudo-terminal only");
    return errors;
}

std::vector<ParseError> BuildLineConfig(const Options& options, LineConfig& config)
{
    std::vector<ParseError> errors;
    if (!options.configPath.empty()) {
        ConfigResult loaded = LoadConfigFile(options.configPath);
        config = loaded.config;
        errors = loaded.errors;
    }
    int index = 0;
    for (const std::string& text : options.controllerOptions)
        AddControllerOption(text, ++index, "", config, errors);
    if (options.seed)
        config.seed = *options.seed;
    if (options.frameGapMs)
        config.frameGapMs = *options.frameGapMs;
    if (options.clockStart) {
        if (const auto seconds = ParseDateTime(*options.clockStart))
            config.clockStartSeconds = *seconds;
        else
            errors.push_back(ParseError{"--clock-start", 1, 1, "expected 'YYYY-MM-DD HH:MM:SS'"});
    }
    if (errors.empty() && config.controllers.empty())
        errors.push_back(ParseError{"command line", 0, 0, "no controllers: give --config FILE or --controller ADDR"});
    return errors;
}

}  // namespace tervex::sim
