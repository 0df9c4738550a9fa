#include "sim/Preset.h"

#include <fstream>
#include <sstream>

namespace tervex::sim {

namespace {

std::optional<uint8_t> ParseByte(const std::string& text)
{
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits = digits.substr(2);
    if (digits.empty() || digits.size() > 2)
        return std::nullopt;
    unsigned value = 0;
    for (char c : digits) {
        unsigned nibble;
        if (c >= '0' && c <= '9')
            nibble = static_cast<unsigned>(c - '0');
        else if (c >= 'A' && c <= 'F')
            nibble = static_cast<unsigned>(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f')
            nibble = static_cast<unsigned>(c - 'a' + 10);
        else
            return std::nullopt;
        value = value * 16 + nibble;
    }
    return static_cast<uint8_t>(value);
}

}  // namespace

std::optional<MemoryPreset> ParsePresetFields(const std::vector<Field>& fields, const Where& where, int firstField,
                                              std::vector<ParseError>& errors)
{
    const size_t errorsBefore = errors.size();
    if (fields.size() < 3) {
        errors.push_back(where.Error(0, "expected: <area> <address> <bytes or \"text\">..."));
        return std::nullopt;
    }
    MemoryPreset preset;
    const auto area = AreaFromName(fields[0].text);
    if (!area || fields[0].quoted) {
        errors.push_back(where.Error(firstField, "unknown memory area '" + fields[0].text +
                                                     "' (ОЗУ or RAM, CLOCK, EEPROM, FRAM, XRAM, FLASH)"));
        return std::nullopt;
    }
    preset.area = *area;
    const uint32_t size = AreaSize(*area);
    const auto address = ParseUnsigned(fields[1].text);
    if (!address || *address >= size || fields[1].quoted) {
        errors.push_back(where.Error(firstField + 1, "address '" + fields[1].text + "' is not in 0.." +
                                                         std::to_string(size - 1)));
        return std::nullopt;
    }
    preset.address = static_cast<uint32_t>(*address);

    for (size_t i = 2; i < fields.size(); ++i) {
        const int fieldNo = firstField + static_cast<int>(i);
        if (fields[i].quoted) {
            const auto bytes = Utf8ToWindows1251(fields[i].text);
            if (!bytes) {
                errors.push_back(where.Error(fieldNo, "text has characters outside ASCII and Russian letters"));
                continue;
            }
            preset.bytes.insert(preset.bytes.end(), bytes->begin(), bytes->end());
            continue;
        }
        const auto byte = ParseByte(fields[i].text);
        if (!byte) {
            errors.push_back(where.Error(fieldNo, "bad byte '" + fields[i].text + "' (two hex digits expected)"));
            continue;
        }
        preset.bytes.push_back(*byte);
    }
    if (errors.size() != errorsBefore)
        return std::nullopt;
    if (preset.address + preset.bytes.size() > size) {
        errors.push_back(where.Error(firstField + 1, "the bytes run past the end of " +
                                                         std::string(AreaName(preset.area))));
        return std::nullopt;
    }
    return preset;
}

PresetResult ParsePresetText(const std::string& text, const std::string& fileName)
{
    PresetResult result;
    std::istringstream in(text);
    std::string line;
    Where where{fileName, 0};
    while (std::getline(in, line)) {
        ++where.line;
        const std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == '#')
            continue;
        const auto fields = SplitFields(trimmed);
        if (!fields) {
            result.errors.push_back(where.Error(0, "a double quote is not closed"));
            continue;
        }
        if (auto preset = ParsePresetFields(*fields, where, 1, result.errors))
            result.presets.push_back(std::move(*preset));
    }
    return result;
}

PresetResult LoadPresetFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        PresetResult result;
        result.errors.push_back(ParseError{path, 0, 0, "cannot open the file"});
        return result;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return ParsePresetText(text.str(), path);
}

}  // namespace tervex::sim
