#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "values/DataTypes.h"

using namespace tervex;

namespace {

struct NamedCode {
    uint16_t code;
    const char* name;
};

// The full table of named base codes.
const std::vector<NamedCode> kTable = {
    {2, "Small Integer"}, {3, "Integer"},       {4, "Single Float"},  {5, "Double Float"}, {6, "Currency"},
    {7, "Date"},          {8, "String"},        {11, "Boolean"},      {12, "Variant"},     {16, "Short Integer"},
    {17, "Byte"},         {18, "Word"},         {19, "Double Word"},
};

}  // namespace

TEST(DataTypeName, NamesEveryTableCodeAndItsArray) {
    for (const NamedCode& row : kTable) {
        EXPECT_EQ(DataTypeName(row.code), row.name) << row.code;
        EXPECT_EQ(DataTypeName(static_cast<uint16_t>(row.code | 0x2000)), std::string("Array of ") + row.name)
            << row.code;
    }
}

TEST(DataTypeName, UnlistedBaseCodesAndStrayHighBits) {
    const std::vector<std::pair<uint16_t, std::string>> cases = {
        {0, "Byte"},       {1, "Byte"},           {9, "Byte"},    {10, "Byte"},     {13, "Byte"},
        {14, "Byte"},      {15, "Byte"},          {20, "Byte"},   {0x0FFF, "Byte"}, {0x2011, "Array of Byte"},
        {0x2003, "Array of Integer"}, {0x2000, "Array of Byte"}, {0x1003, "Integer"}, {0x4002, "Small Integer"},
        {0x8012, "Word"}, {0xF008, "Array of String"},
    };
    for (const auto& [code, name] : cases) {
        EXPECT_EQ(DataTypeName(code), name) << std::hex << code;
    }
}

TEST(DataTypeFromName, RoundTripsEveryTableCodeAndItsArray) {
    for (const NamedCode& row : kTable) {
        EXPECT_EQ(DataTypeFromName(DataTypeName(row.code)), row.code) << row.name;
        const auto array = static_cast<uint16_t>(row.code + 0x2000);
        EXPECT_EQ(DataTypeFromName(DataTypeName(array)), array) << row.name;
    }
}

TEST(DataTypeFromName, ExactCaseSensitiveMatchElseByte) {
    const std::vector<std::pair<std::string, uint16_t>> cases = {
        {"Array of Byte", 0x2011},
        {"Array of Integer", 0x2003},
        {"integer", 17},
        {" Integer", 17},
        {"Integer ", 17},
        {"", 17},
        {"Double Word", 19},
        {"Word", 18},
        {"Short Integer", 16},
        {"Small Integer", 2},
        {"array of Byte", 17},      // the prefix is case-sensitive too
        {"Array of integer", 0x2011},
        {"Array of", 0x2011},       // nothing left behind the prefix
        {"Array ofWord", 0x2011},   // nine characters go, leaving "ord"
        {"Array of  Word", 0x2011}, // no trimming
    };
    for (const auto& [name, code] : cases) {
        EXPECT_EQ(DataTypeFromName(name), code) << '"' << name << '"';
    }
}

TEST(DataTypeSize, DeviceSizesOfEveryCode) {
    const std::vector<std::pair<int, int>> cases = {
        {17, 1}, {16, 1}, {11, 1}, {2, 2},  {18, 2},     {3, 4},      {8, 8},  {0x2011, 8},
        {19, 1}, {5, 1},  {4, 1},  {6, 1},  {7, 1},      {12, 1},     {0, 1},  {0x2003, 1},
        {0x2008, 1}, {0x1003, 1}, {0x6011, 1}, {-1, 1}, {65536 + 3, 1},
    };
    for (const auto& [code, size] : cases) {
        EXPECT_EQ(DataTypeSize(code), size) << code;
    }
}
