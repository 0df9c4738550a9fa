#pragma once
// Command line of the simulator program.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/Line.h"
#include "sim/TextUtil.h"

namespace tervex::sim {

struct SerialSettings {
    int baud = 9600;
    int dataBits = 8;
    char parity = 'N';  // N, E or O
    int stopBits = 1;

    // Start bit, data bits, parity bit, stop bits.
    int BitsPerChar() const { return 1 + dataBits + (parity == 'N' ? 0 : 1) + stopBits; }
};

struct Options {
    bool help = false;
    std::string configPath;
    std::vector<std::string> controllerOptions;
    std::string device;    // empty: a new pseudo-terminal
    std::string linkPath;  // pty only: a symbolic link made to the terminal's path
    SerialSettings serial;
    std::optional<uint64_t> seed;
    std::optional<int64_t> frameGapMs;
    std::optional<std::string> clockStart;
    std::optional<int64_t> durationMs;
    bool verbose = false;
    // The pseudo-terminal as a real line: characters take their time at the
    // baud rate, answers wait for the turnaround.
    bool pace = false;
    int64_t turnaroundMs = 2;
    std::string wireStatsPath;  // paced: what was on the wire, written at the end
};

const char* UsageText();

// Fills options from argv; errors are returned as text, one per problem.
std::vector<std::string> ParseOptions(int argc, const char* const* argv, Options& options);

// "8N1", "7E2", ...
std::optional<SerialSettings> ParseLineSettings(const std::string& text, int baud);

// The line configuration the options describe: the config file, then the
// --controller options, then the overrides. Errors name file, line and field.
std::vector<ParseError> BuildLineConfig(const Options& options, LineConfig& config);

}  // namespace tervex::sim
