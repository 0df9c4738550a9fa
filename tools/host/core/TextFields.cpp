#include "tools/host/core/TextFields.h"

#include <cerrno>
#include <cstdlib>
#include <limits>

namespace tervex::host {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::string Trim(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::string AsciiLower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::optional<std::vector<std::string>> SplitFields(const std::string& line) {
    std::vector<std::string> fields;
    size_t i = 0;
    while (i < line.size()) {
        if (IsBlank(line[i])) {
            ++i;
            continue;
        }
        if (line[i] == '"') {
            const size_t close = line.find('"', i + 1);
            if (close == std::string::npos) return std::nullopt;
            fields.push_back(line.substr(i + 1, close - i - 1));
            i = close + 1;
            continue;
        }
        if (line[i] == '#') break;
        size_t end = i;
        // A quote inside a field (key="a b") belongs to the field and may hold blanks.
        while (end < line.size() && !IsBlank(line[end])) {
            if (line[end] == '"') {
                const size_t close = line.find('"', end + 1);
                if (close == std::string::npos) return std::nullopt;
                end = close;
            }
            ++end;
        }
        fields.push_back(line.substr(i, end - i));
        i = end;
    }
    return fields;
}

std::optional<std::pair<std::string, std::string>> SplitAssignment(const std::string& line) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) return std::nullopt;
    std::string key = Trim(line.substr(0, eq));
    if (key.empty()) return std::nullopt;
    std::string value = Trim(line.substr(eq + 1));
    if (!value.empty() && value[0] == '"') {
        const size_t close = value.find('"', 1);
        if (close == std::string::npos) return std::nullopt;
        const std::string rest = Trim(value.substr(close + 1));
        if (!rest.empty() && rest[0] != '#') return std::nullopt;
        return std::make_pair(key, value.substr(1, close - 1));
    }
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '#' && (i == 0 || IsBlank(value[i - 1]))) {
            value = Trim(value.substr(0, i));
            break;
        }
    }
    return std::make_pair(key, value);
}

std::optional<int64_t> ParseInteger(const std::string& text) {
    if (text.empty()) return std::nullopt;
    size_t i = 0;
    bool negative = false;
    if (text[0] == '+' || text[0] == '-') {
        negative = text[0] == '-';
        i = 1;
    }
    int base = 10;
    if (text.size() > i + 1 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size()) return std::nullopt;
    uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else return std::nullopt;
        if (value > (static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) - static_cast<uint64_t>(digit)) /
                        static_cast<uint64_t>(base))
            return std::nullopt;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    }
    const int64_t signedValue = static_cast<int64_t>(value);
    return negative ? -signedValue : signedValue;
}

std::optional<double> ParseDecimal(const std::string& text) {
    if (text.empty()) return std::nullopt;
    bool digits = false;
    bool point = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') digits = true;
        else if (c == '.' && !point) point = true;
        else if (!((c == '-' || c == '+') && i == 0)) return std::nullopt;
    }
    if (!digits) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size()) return std::nullopt;
    return value;
}

size_t DisplayWidth(const std::string& utf8) {
    size_t width = 0;
    for (const char c : utf8)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++width;
    return width;
}

}  // namespace tervex::host
