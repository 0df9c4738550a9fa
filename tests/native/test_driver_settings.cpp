#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "config/DriverSettings.h"

using namespace tervex;

TEST(DriverSettings, InitialValuesGiveTwelveSecondTimeout) {
    const DriverSettings fresh;
    EXPECT_EQ(fresh.WaitTimeout, 3000);
    EXPECT_EQ(fresh.CountTry, 3);
    EXPECT_EQ(fresh.TimeNextSend, 60000);
    EXPECT_EQ(GetWaitTimeMs(fresh), 12000);
}

TEST(DriverSettings, LibraryInstanceIsOneObject) {
    EXPECT_EQ(&Settings(), &Settings());
}

TEST(DriverSettings, AppliesEachNameToItsOwnField) {
    DriverSettings s;
    EXPECT_EQ(ApplySettingText(s, "WaitTimeout", "2500"), ApplyOutcome::Applied);
    EXPECT_EQ(s.WaitTimeout, 2500);
    EXPECT_EQ(s.CountTry, 3);
    EXPECT_EQ(s.TimeNextSend, 60000);

    EXPECT_EQ(ApplySettingText(s, "CountTry", "7"), ApplyOutcome::Applied);
    EXPECT_EQ(s.CountTry, 7);
    EXPECT_EQ(ApplySettingText(s, "TimeNextSend", "999000"), ApplyOutcome::Applied);
    EXPECT_EQ(s.TimeNextSend, 999000);
    EXPECT_EQ(s.WaitTimeout, 2500);

    // Applied again, in another order, the latest wins.
    EXPECT_EQ(ApplySettingText(s, "WaitTimeout", "100"), ApplyOutcome::Applied);
    EXPECT_EQ(s.WaitTimeout, 100);
}

TEST(DriverSettings, NamesMatchExactly) {
    for (const std::string name : {"waittimeout", "WAITTIMEOUT", "WaitTimeout ", " WaitTimeout", "WaitTimeou",
                                   "Counttry", "TimeNextsend", ""}) {
        DriverSettings s;
        EXPECT_EQ(ApplySettingText(s, name, "1"), ApplyOutcome::Ignored) << '"' << name << '"';
        EXPECT_EQ(s.WaitTimeout, 3000);
        EXPECT_EQ(s.CountTry, 3);
        EXPECT_EQ(s.TimeNextSend, 60000);
    }
    // An unknown name is ignored whatever its value.
    DriverSettings s;
    EXPECT_EQ(ApplySettingText(s, "Other", "letters"), ApplyOutcome::Ignored);
}

TEST(DriverSettings, ValuesTakenWithoutRangeCheck) {
    const std::vector<std::pair<std::string, int32_t>> cases = {
        {"0", 0},          {"-5", -5},   {"+42", 42},   {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},      {"007", 7},
    };
    for (const auto& [text, expected] : cases) {
        DriverSettings s;
        EXPECT_EQ(ApplySettingText(s, "CountTry", text), ApplyOutcome::Applied) << text;
        EXPECT_EQ(s.CountTry, expected) << text;
    }
}

TEST(DriverSettings, BadValueKeepsPreviousSetting) {
    for (const std::string& text : std::vector<std::string>{"abc", "", " 5", "5 ", "5s", "1.5", "0x10", "2147483648", "-2147483649", "+",
                                   "-", "+-1", "--1", "1e3", std::string("12\0" "3", 4)}) {
        DriverSettings s;
        ASSERT_EQ(ApplySettingText(s, "CountTry", "9"), ApplyOutcome::Applied);
        EXPECT_EQ(ApplySettingText(s, "CountTry", text), ApplyOutcome::BadValue) << '"' << text << '"';
        EXPECT_EQ(s.CountTry, 9) << '"' << text << '"';
        EXPECT_EQ(s.WaitTimeout, 3000);
    }
}

TEST(DriverSettings, WaitTimeFollowsSettingsAndWraps) {
    struct Row {
        int32_t wait, tries, expected;
    };
    const std::vector<Row> rows = {
        {3000, 0, 3000},
        {2500, 4, 13000},
        {0, 100, 3000},
        {-1000, 3, 0},
        // 100000 * 30000 = 3e9 wraps to 3e9 - 2^32 = -1294967296, plus 3000.
        {100000, 30000, -1294964296},
        {INT32_MAX, 1, INT32_MIN + 2999},
    };
    for (const Row& row : rows) {
        DriverSettings s;
        s.WaitTimeout = row.wait;
        s.CountTry = row.tries;
        EXPECT_EQ(GetWaitTimeMs(s), row.expected) << row.wait << " x " << row.tries;
    }
}
