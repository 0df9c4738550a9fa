// Values given for writes: each type at both ends of its range and just beyond.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/host/core/WriteValue.h"
#include "values/DataTypes.h"

using namespace tervex;
using namespace tervex::host;

TEST(WriteValue, IntegersWithinTheirTypesRange) {
    struct Case {
        uint16_t type;
        const char* text;
        bool ok;
        int64_t value;
    };
    const std::vector<Case> cases = {
        {kTypeByte, "0", true, 0},          {kTypeByte, "255", true, 255},      {kTypeByte, "256", false, 0},
        {kTypeByte, "-1", false, 0},        {kTypeByte, "0xFF", true, 255},     {kTypeShortInteger, "-128", true, -128},
        {kTypeShortInteger, "127", true, 127}, {kTypeShortInteger, "128", false, 0},
        {kTypeShortInteger, "-129", false, 0}, {kTypeWord, "65535", true, 65535}, {kTypeWord, "65536", false, 0},
        {kTypeSmallInteger, "-32768", true, -32768}, {kTypeSmallInteger, "32768", false, 0},
        {kTypeInteger, "-2147483648", true, -2147483648LL}, {kTypeInteger, "2147483647", true, 2147483647LL},
        {kTypeInteger, "2147483648", false, 0}, {kTypeInteger, " 12 ", true, 12}, {kTypeInteger, "1.5", false, 0},
        {kTypeWord, "", false, 0},          {kTypeWord, "abc", false, 0},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto value = ParseWriteValue(c.type, c.text, error);
        EXPECT_EQ(value.has_value(), c.ok) << c.type << " " << c.text;
        if (value) {
            EXPECT_EQ(value->kind, WriteValue::Kind::Integer);
            EXPECT_EQ(value->number, c.value) << c.text;
        } else {
            EXPECT_NE(error.find(DataTypeName(c.type)), std::string::npos) << error;
        }
    }
}

TEST(WriteValue, BooleansTextsAndByteRuns) {
    std::string error;
    for (const char* t : {"1", "true", "ON", "True"}) {
        const auto v = ParseWriteValue(kTypeBoolean, t, error);
        ASSERT_TRUE(v) << t;
        EXPECT_TRUE(v->flag) << t;
    }
    for (const char* t : {"0", "false", "off"}) {
        const auto v = ParseWriteValue(kTypeBoolean, t, error);
        ASSERT_TRUE(v) << t;
        EXPECT_FALSE(v->flag) << t;
    }
    EXPECT_FALSE(ParseWriteValue(kTypeBoolean, "2", error));
    EXPECT_FALSE(ParseWriteValue(kTypeBoolean, "yes", error));

    auto text = ParseWriteValue(kTypeString, "Привет!!", error);
    ASSERT_TRUE(text) << "eight characters, though sixteen bytes of UTF-8";
    EXPECT_EQ(text->text, "Привет!!");
    EXPECT_TRUE(ParseWriteValue(kTypeString, "", error)) << "an empty text writes nothing but is a value";
    EXPECT_FALSE(ParseWriteValue(kTypeString, "123456789", error));

    auto bytes = ParseWriteValue(kTypeArrayOfByte, "01 2, 0xff:A0", error);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->bytes, (std::vector<uint8_t>{0x01, 0x02, 0xFF, 0xA0}));
    EXPECT_TRUE(ParseWriteValue(kTypeArrayOfByte, "1 2 3 4 5 6 7 8", error));
    EXPECT_FALSE(ParseWriteValue(kTypeArrayOfByte, "1 2 3 4 5 6 7 8 9", error));
    EXPECT_FALSE(ParseWriteValue(kTypeArrayOfByte, "", error));
    EXPECT_FALSE(ParseWriteValue(kTypeArrayOfByte, "100", error));
    EXPECT_FALSE(ParseWriteValue(kTypeArrayOfByte, "0G", error));

    EXPECT_FALSE(ParseWriteValue(kTypeDoubleFloat, "1", error)) << "no device form";
    EXPECT_NE(error.find("cannot be written"), std::string::npos);
}

TEST(WriteValue, TextForTheTable) {
    std::string error;
    EXPECT_EQ(WriteValueText(*ParseWriteValue(kTypeSmallInteger, "-5", error)), "-5");
    EXPECT_EQ(WriteValueText(*ParseWriteValue(kTypeBoolean, "on", error)), "1");
    EXPECT_EQ(WriteValueText(*ParseWriteValue(kTypeString, "ab", error)), "\"ab\"");
    EXPECT_EQ(WriteValueText(*ParseWriteValue(kTypeArrayOfByte, "1 fe", error)), "[01 FE]");
}
