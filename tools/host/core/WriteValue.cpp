#include "tools/host/core/WriteValue.h"

#include <cstdio>

#include "tools/host/core/TextFields.h"
#include "values/DataTypes.h"

namespace tervex::host {

namespace {

struct Range {
    uint16_t code;
    int64_t low;
    int64_t high;
};
constexpr Range kRanges[] = {
    {kTypeByte, 0, 255},           {kTypeShortInteger, -128, 127},
    {kTypeWord, 0, 65535},         {kTypeSmallInteger, -32768, 32767},
    {kTypeInteger, -2147483648LL, 2147483647LL},
};

std::optional<uint8_t> HexByte(const std::string& text) {
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) digits = digits.substr(2);
    if (digits.empty() || digits.size() > 2) return std::nullopt;
    const auto value = ParseInteger("0x" + digits);
    if (!value) return std::nullopt;
    return static_cast<uint8_t>(*value);
}

}  // namespace

std::optional<WriteValue> ParseWriteValue(uint16_t typeCode, const std::string& text, std::string& error) {
    WriteValue value;
    for (const Range& range : kRanges) {
        if (range.code != typeCode) continue;
        const auto number = ParseInteger(Trim(text));
        if (!number || *number < range.low || *number > range.high) {
            error = "\"" + text + "\" is not a " + DataTypeName(typeCode) + " (" + std::to_string(range.low) + ".." +
                    std::to_string(range.high) + ")";
            return std::nullopt;
        }
        value.kind = WriteValue::Kind::Integer;
        value.number = *number;
        return value;
    }
    if (typeCode == kTypeBoolean) {
        const std::string lower = AsciiLower(Trim(text));
        value.kind = WriteValue::Kind::Boolean;
        if (lower == "1" || lower == "true" || lower == "on") value.flag = true;
        else if (lower == "0" || lower == "false" || lower == "off") value.flag = false;
        else {
            error = "\"" + text + "\" is not a Boolean (0, 1, true, false, on, off)";
            return std::nullopt;
        }
        return value;
    }
    if (typeCode == kTypeString) {
        if (DisplayWidth(text) > 8) {
            error = "\"" + text + "\": a String holds at most 8 characters";
            return std::nullopt;
        }
        value.kind = WriteValue::Kind::Text;
        value.text = text;
        return value;
    }
    if (typeCode == kTypeArrayOfByte) {
        std::string spaced = text;
        for (char& c : spaced)
            if (c == ',' || c == ':') c = ' ';
        const auto fields = SplitFields(spaced);
        value.kind = WriteValue::Kind::Bytes;
        if (fields) {
            for (const std::string& field : *fields) {
                const auto byte = HexByte(field);
                if (!byte) {
                    value.bytes.clear();
                    break;
                }
                value.bytes.push_back(*byte);
            }
        }
        if (value.bytes.empty() || value.bytes.size() > 8) {
            error = "\"" + text + "\" is not 1..8 hex bytes such as \"01 02 FF\"";
            return std::nullopt;
        }
        return value;
    }
    error = "items of type " + DataTypeName(typeCode) + " cannot be written";
    return std::nullopt;
}

std::string WriteValueText(const WriteValue& value) {
    switch (value.kind) {
        case WriteValue::Kind::Integer: return std::to_string(value.number);
        case WriteValue::Kind::Boolean: return value.flag ? "1" : "0";
        case WriteValue::Kind::Text: return "\"" + value.text + "\"";
        case WriteValue::Kind::Bytes: {
            std::string text = "[";
            for (size_t i = 0; i < value.bytes.size(); ++i) {
                char hex[4];
                std::snprintf(hex, sizeof(hex), "%02X", value.bytes[i]);
                if (i) text += ' ';
                text += hex;
            }
            return text + "]";
        }
    }
    return std::string();
}

}  // namespace tervex::host
