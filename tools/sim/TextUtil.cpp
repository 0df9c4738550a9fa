#include "sim/TextUtil.h"

#include <cstdlib>

namespace tervex::sim {

std::string ParseError::ToString() const
{
    std::string text = file + ":" + std::to_string(line) + ":";
    if (field > 0)
        text += " field " + std::to_string(field) + ":";
    return text + " " + message;
}

std::string Trim(const std::string& text)
{
    const char* blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    const size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::optional<std::vector<Field>> SplitFields(const std::string& line)
{
    std::vector<Field> fields;
    size_t i = 0;
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (i < line.size()) {
        if (blank(line[i])) {
            ++i;
            continue;
        }
        if (line[i] == '"') {
            const size_t close = line.find('"', i + 1);
            if (close == std::string::npos)
                return std::nullopt;
            fields.push_back(Field{line.substr(i + 1, close - i - 1), true});
            i = close + 1;
            continue;
        }
        const size_t start = i;
        while (i < line.size() && !blank(line[i]))
            ++i;
        fields.push_back(Field{line.substr(start, i - start), false});
    }
    return fields;
}

std::optional<uint64_t> ParseUnsigned(const std::string& text)
{
    if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ')
        return std::nullopt;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits[0] == '-' || digits[0] == '+' || digits[0] == ' ')
        return std::nullopt;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(digits.c_str(), &end, hex ? 16 : 10);
    if (end != digits.c_str() + digits.size())
        return std::nullopt;
    return static_cast<uint64_t>(value);
}

std::optional<double> ParseReal(const std::string& text)
{
    if (text.empty() || text[0] == ' ')
        return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size())
        return std::nullopt;
    return value;
}

std::optional<std::string> Utf8ToWindows1251(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        // Cyrillic lies in two-byte sequences D0 xx and D1 xx.
        if (i + 1 >= text.size() || (c != 0xD0 && c != 0xD1))
            return std::nullopt;
        const auto next = static_cast<unsigned char>(text[++i]);
        if ((next & 0xC0) != 0x80)
            return std::nullopt;
        const unsigned code = ((c & 0x1Fu) << 6) | (next & 0x3Fu);
        if (code >= 0x410 && code <= 0x44F)
            out.push_back(static_cast<char>(0xC0 + (code - 0x410)));
        else if (code == 0x401)
            out.push_back(static_cast<char>(0xA8));
        else if (code == 0x451)
            out.push_back(static_cast<char>(0xB8));
        else
            return std::nullopt;
    }
    return out;
}

std::optional<std::pair<std::string, std::string>> SplitKeyValue(const std::string& text)
{
    const size_t eq = text.find('=');
    if (eq == std::string::npos)
        return std::nullopt;
    std::string key = Trim(text.substr(0, eq));
    if (key.empty())
        return std::nullopt;
    return std::make_pair(key, Trim(text.substr(eq + 1)));
}

}  // namespace tervex::sim
