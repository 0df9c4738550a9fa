#include "values/DataTypes.h"

#include <array>

namespace tervex {

namespace {

struct TypeName {
    uint16_t code;
    const char* name;
};

// The order matters for DataTypeFromName: the first equal name wins.
constexpr std::array<TypeName, 13> kTypeNames{{
    {kTypeShortInteger, "Short Integer"},
    {kTypeSmallInteger, "Small Integer"},
    {kTypeInteger, "Integer"},
    {kTypeSingleFloat, "Single Float"},
    {kTypeDoubleFloat, "Double Float"},
    {kTypeCurrency, "Currency"},
    {kTypeDate, "Date"},
    {kTypeString, "String"},
    {kTypeBoolean, "Boolean"},
    {kTypeVariant, "Variant"},
    {kTypeByte, "Byte"},
    {kTypeWord, "Word"},
    {kTypeDoubleWord, "Double Word"},
}};

constexpr uint16_t kBaseMask = 0x0FFF;
const std::string kArrayPrefix = "Array of ";

}  // namespace

std::string DataTypeName(uint16_t code) {
    std::string name = (code & kTypeArrayFlag) ? kArrayPrefix : std::string();
    const uint16_t base = code & kBaseMask;
    const char* baseName = "Byte";  // unlisted base codes
    for (const TypeName& entry : kTypeNames) {
        if (entry.code == base) {
            baseName = entry.name;
            break;
        }
    }
    return name + baseName;
}

uint16_t DataTypeFromName(const std::string& name) {
    uint16_t code = 0;
    std::string rest = name;
    // The prefix test is on "Array of" alone; nine characters go either way.
    if (rest.compare(0, 8, "Array of") == 0) {
        code = kTypeArrayFlag;
        rest.erase(0, 9);
    }
    for (const TypeName& entry : kTypeNames) {
        if (rest == entry.name) {
            return static_cast<uint16_t>(code + entry.code);
        }
    }
    return static_cast<uint16_t>(code + kTypeByte);
}

int DataTypeSize(int code) {
    switch (code) {
    case kTypeShortInteger:
    case kTypeByte:
    case kTypeBoolean:
        return 1;
    case kTypeSmallInteger:
    case kTypeWord:
        return 2;
    case kTypeInteger:
        return 4;
    case kTypeString:
    case kTypeArrayOfByte:
        return 8;
    default:
        return 1;
    }
}

}  // namespace tervex
