#pragma once
// Line configuration from a text file and from "--controller" options.
//
//     seed = 42                      line settings first
//     frame_gap_ms = 100
//     clock_start = 2024-05-01 12:00:00
//     [controller 1]                 then one section per controller
//     framing = ASCII
//     read_password = abc
//     fault = silence every 3
//
// The keys of a section are listed in tools/sim/README.md. A command-line
// controller is "ADDR[:key=value]...", with the same keys.
#include <string>
#include <vector>

#include "sim/Line.h"
#include "sim/TextUtil.h"

namespace tervex::sim {

struct ConfigResult {
    LineConfig config;
    std::vector<ParseError> errors;
};

// baseDir: where relative preset paths are looked up.
ConfigResult ParseConfigText(const std::string& text, const std::string& fileName, const std::string& baseDir);
ConfigResult LoadConfigFile(const std::string& path);

// Adds one controller from a command-line option; errors name "--controller",
// the option's number as the line and the part (address = 1) as the field.
void AddControllerOption(const std::string& text, int index, const std::string& baseDir, LineConfig& config,
                       std::vector<ParseError>& errors);

}  // namespace tervex::sim
