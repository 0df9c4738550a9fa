#pragma once
// Small text helpers for the station file and the command line.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tervex::host {

std::string Trim(const std::string& text);
std::string AsciiLower(std::string text);

// Blank-separated fields; a field in double quotes may hold blanks (no escapes).
// An unquoted field starting with "#" ends the line. Nothing if a quote is left open.
std::optional<std::vector<std::string>> SplitFields(const std::string& line);

// A key = value line: the value trimmed, outer double quotes removed, and an
// unquoted " #" starting a comment. Nothing without "=" or with an empty key.
std::optional<std::pair<std::string, std::string>> SplitAssignment(const std::string& line);

// Decimal with an optional sign, or hexadecimal with "0x"; nothing else around it.
std::optional<int64_t> ParseInteger(const std::string& text);
// A plain decimal number such as 2.5 (a comma is not taken).
std::optional<double> ParseDecimal(const std::string& text);

// Characters of UTF-8 text, for lining up columns.
size_t DisplayWidth(const std::string& utf8);

}  // namespace tervex::host
