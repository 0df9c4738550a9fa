#pragma once
// Memory preset files: one run of bytes per line,
//     <area> <address> <item> <item> ...
// where an item is a byte in hex ("1F", "0x1F") or a text in double quotes
// (its characters in Windows-1251, no terminator). "#" starts a comment line.
#include <string>
#include <vector>

#include "sim/Controller.h"
#include "sim/TextUtil.h"

namespace tervex::sim {

struct PresetResult {
    std::vector<MemoryPreset> presets;
    std::vector<ParseError> errors;
};

// One preset line already split into fields; fields[0] is the area. The
// first field is reported as number firstField.
std::optional<MemoryPreset> ParsePresetFields(const std::vector<Field>& fields, const Where& where, int firstField,
                                              std::vector<ParseError>& errors);

PresetResult ParsePresetText(const std::string& text, const std::string& fileName);
PresetResult LoadPresetFile(const std::string& path);

}  // namespace tervex::sim
