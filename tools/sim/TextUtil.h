#pragma once
// Small text helpers for the simulator's configuration and preset files.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tervex::sim {

// A problem in a text input, named by file, line and field (both from 1;
// field 0: the line as a whole).
struct ParseError {
    std::string file;
    int line = 0;
    int field = 0;
    std::string message;
    std::string ToString() const;
};

struct Where {
    std::string file;
    int line = 0;
    ParseError Error(int field, const std::string& message) const { return ParseError{file, line, field, message}; }
};

std::string Trim(const std::string& text);

// Whitespace-separated fields; a field in double quotes may hold blanks (no
// escapes). Nothing if a quote is left open.
struct Field {
    std::string text;
    bool quoted = false;
};
std::optional<std::vector<Field>> SplitFields(const std::string& line);

// Decimal, or hexadecimal with "0x"; no sign, nothing else around it.
std::optional<uint64_t> ParseUnsigned(const std::string& text);
std::optional<double> ParseReal(const std::string& text);

// ASCII and the Russian letters (А..я, Ё, ё) to Windows-1251, the code page
// the master sends passwords and texts in; nothing for any other character.
std::optional<std::string> Utf8ToWindows1251(const std::string& text);

// Splits "key=value"; nothing without "=" or with an empty key.
std::optional<std::pair<std::string, std::string>> SplitKeyValue(const std::string& text);

}  // namespace tervex::sim
