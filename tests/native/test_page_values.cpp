#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "config/ItemPageValues.h"
#include "config/NodePageValues.h"

using namespace tervex;

TEST(RoundHalfEven, TiesGoToTheEvenNeighbour) {
    const std::vector<std::pair<double, int64_t>> cases = {
        {0.5, 0},   {1.5, 2},    {2.5, 2},   {-0.5, 0}, {-1.5, -2}, {-2.5, -2}, {2.4999, 2},
        {2.5001, 3}, {-2.6, -3}, {255.0, 255}, {0.0, 0}, {std::nan(""), 0},
        {1e300, std::numeric_limits<int64_t>::max()}, {-1e300, std::numeric_limits<int64_t>::min()},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(RoundHalfEven(value), expected) << value;
    }
}

TEST(ScanRate, PageSecondsToStoredMilliseconds) {
    const std::vector<std::pair<double, int64_t>> cases = {
        {0.1, 100}, {1.0, 1000}, {2.5, 2500}, {9999, 9999000}, {0.0005, 0}, {0.0015, 2}, {1.2345, 1234},
    };
    for (const auto& [seconds, ms] : cases) {
        EXPECT_EQ(ScanRateSecondsToMs(seconds), ms) << seconds;
    }
}

TEST(ScanRate, StoredMillisecondsToNodePageTenths) {
    EXPECT_DOUBLE_EQ(ScanRateMsToPageSeconds(1540), 1.5);
    EXPECT_DOUBLE_EQ(ScanRateMsToPageSeconds(1560), 1.6);
    EXPECT_DOUBLE_EQ(ScanRateMsToPageSeconds(100), 0.1);
    EXPECT_DOUBLE_EQ(ScanRateMsToPageSeconds(2500), 2.5);
    EXPECT_DOUBLE_EQ(ScanRateMsToPageSeconds(9999000), 9999);
    EXPECT_DOUBLE_EQ(ScanRateMsToPageSeconds(0), 0);
}

TEST(ComPortIndex, NameToZeroBasedIndex) {
    const std::vector<std::pair<std::string, int32_t>> cases = {
        {"COM1", 0}, {"COM3", 2},  {"COM10", 9}, {"COM99", 98}, {"COM250", 249}, {"COM0", -1},
        {"", 0},     {"COM", 0},   {"COMX", 0},  {"COM1a", 0},  {"COM 1", 0},    {"COM+5", 4},
        {"COM-3", -4}, {"COM+-3", 0}, {"COM99999999999", 0}, {"COM-2147483648", 0}, {"COM2147483648", 2147483647},
        {"XYZ7", 6},  // only the characters from the fourth on count
    };
    for (const auto& [name, index] : cases) {
        EXPECT_EQ(ComPortIndexFromName(name), index) << '"' << name << '"';
    }
}

TEST(NodePage, DefaultsOfAFreshPage) {
    const NodePageValues page;
    EXPECT_EQ(page.name, "Node");
    EXPECT_EQ(page.description, "Описание узла");
    EXPECT_EQ(page.scanRateSeconds, 1.0);
    EXPECT_EQ(page.deviceAddress, 1);
    EXPECT_EQ(page.protocol, "RTU");
    EXPECT_EQ(page.byteOrder, "Старшим байтом вперед");
    EXPECT_TRUE(page.readPassword.empty());
    EXPECT_TRUE(page.writePassword.empty());
}

TEST(NodePage, EmptyListKeepsTheFieldsAndResetsTheSelections) {
    NodePageValues page;
    page.description = "shown before";
    page.scanRateSeconds = 7.5;
    page.deviceAddress = 42;
    page.comPortName = "COM2";
    page.protocol = "ASCII";
    page.readPassword = "r";
    page.writePassword = "w";
    page.byteOrder = "Младшим байтом вперед";
    ApplyStoredNodeValues(NodeStoredValues{}, page);
    EXPECT_EQ(page.description, "shown before");
    EXPECT_EQ(page.scanRateSeconds, 7.5);
    EXPECT_EQ(page.deviceAddress, 42);
    EXPECT_EQ(page.comPortName, "");
    EXPECT_EQ(page.protocol, "");
    EXPECT_EQ(page.readPassword, "");
    EXPECT_EQ(page.writePassword, "");
    EXPECT_EQ(page.byteOrder, "Старшим байтом вперед");
}

TEST(NodePage, FoundValuesReplaceThePage) {
    NodeStoredValues stored;
    stored.description = "Котельная";
    stored.scanRateMs = 1540;
    stored.comPort = 2;
    stored.deviceAddress = 17.6;
    stored.protocol = "ASCII";
    stored.readPassword = "1234";
    stored.writePassword = "секрет";
    stored.byteOrder = "Младшим байтом вперед";
    NodePageValues page;
    ApplyStoredNodeValues(stored, page);
    EXPECT_EQ(page.description, "Котельная");
    EXPECT_DOUBLE_EQ(page.scanRateSeconds, 1.5);
    EXPECT_EQ(page.comPortName, "COM3");
    EXPECT_EQ(page.deviceAddress, 18);
    EXPECT_EQ(page.protocol, "ASCII");
    EXPECT_EQ(page.readPassword, "1234");
    EXPECT_EQ(page.writePassword, "секрет");
    EXPECT_EQ(page.byteOrder, "Младшим байтом вперед");
}

TEST(NodePage, AddressOutsideTheFieldLimitsIsIgnored) {
    for (double address : {0.0, 0.99, 255.5, 256.0, -1.0, 70000.0}) {
        NodeStoredValues stored;
        stored.deviceAddress = address;
        NodePageValues page;
        page.deviceAddress = 9;
        ApplyStoredNodeValues(stored, page);
        EXPECT_EQ(page.deviceAddress, 9) << address;
    }
    for (const auto& [address, shown] : std::vector<std::pair<double, double>>{{1, 1}, {255, 255}, {254.5, 254}}) {
        NodeStoredValues stored;
        stored.deviceAddress = address;
        NodePageValues page;
        ApplyStoredNodeValues(stored, page);
        EXPECT_EQ(page.deviceAddress, shown) << address;
    }
}

TEST(NodePage, PortNumbersAreNamedOneBased) {
    const std::vector<std::pair<int64_t, std::string>> cases = {
        {0, "COM1"}, {98, "COM99"}, {249, "COM250"}, {-1, "COM0"}, {-5, "COM-4"},
    };
    for (const auto& [port, name] : cases) {
        NodeStoredValues stored;
        stored.comPort = port;
        NodePageValues page;
        ApplyStoredNodeValues(stored, page);
        EXPECT_EQ(page.comPortName, name) << port;
    }
    NodeStoredValues stored;
    stored.comPort = std::numeric_limits<int64_t>::max();
    NodePageValues page;
    ApplyStoredNodeValues(stored, page);
    EXPECT_EQ(page.comPortName, "");
}

TEST(ItemPage, DefaultsOfAFreshPage) {
    const ItemPageValues page;
    EXPECT_EQ(page.name, "Item");
    EXPECT_EQ(page.description, "Описание переменной");
    EXPECT_TRUE(page.readChecked);
    EXPECT_TRUE(page.writeChecked);
    EXPECT_EQ(page.scanRateSeconds, 1.0);
    EXPECT_EQ(page.memoryArea, "ОЗУ");
    EXPECT_EQ(page.address, 3);
    EXPECT_EQ(ItemTypeCode(page), 17);
    EXPECT_EQ(page.bitNumber, 0);
}

TEST(ItemPage, AccessRightsFollowTheBoxesExceptWriteInFlash) {
    struct Row {
        const char* area;
        bool read, write;
        int32_t rights;
    };
    const std::vector<Row> rows = {
        {"ОЗУ", true, true, 3},   {"ОЗУ", true, false, 1},  {"ОЗУ", false, true, 2},  {"ОЗУ", false, false, 0},
        {"EEPROM", true, true, 3}, {"FLASH", true, true, 1}, {"FLASH", false, true, 0}, {"", true, true, 3},
        {"flash", true, true, 3},
    };
    for (const Row& row : rows) {
        ItemPageValues page;
        page.memoryArea = row.area;
        page.readChecked = row.read;
        page.writeChecked = row.write;
        EXPECT_EQ(ItemAccessRights(page), row.rights) << row.area << ' ' << row.read << row.write;
    }
}

TEST(ItemPage, TypeCodeOfTheSelection) {
    ItemPageValues page;
    const std::vector<std::pair<std::string, uint16_t>> cases = {
        {"Byte", 17}, {"Boolean", 11}, {"Array of Byte", 0x2011}, {"String", 8}, {"", 17},
    };
    for (const auto& [name, code] : cases) {
        page.typeName = name;
        EXPECT_EQ(ItemTypeCode(page), code) << name;
    }
}

TEST(ItemPage, ScanRateStoredOnlyWhereItDiffersFromTheNode) {
    EXPECT_EQ(ItemScanRateToStore(1.0, 1000.0), std::nullopt);
    EXPECT_EQ(ItemScanRateToStore(2.5, 1000.0), std::optional<int64_t>(2500));
    EXPECT_EQ(ItemScanRateToStore(2.5, std::nullopt), std::nullopt);
    EXPECT_EQ(ItemScanRateToStore(0.1, 100.0), std::nullopt);
    EXPECT_EQ(ItemScanRateToStore(0.1, 100.4), std::optional<int64_t>(100));
}

TEST(ItemPage, BitNumberOnlyForBoolean) {
    ItemPageValues page;
    page.bitNumber = 5;
    page.typeName = "Byte";
    EXPECT_EQ(ItemBitNumberToStore(page), std::nullopt);
    page.typeName = "Boolean";
    EXPECT_EQ(ItemBitNumberToStore(page), std::optional<double>(5.0));
    page.typeName = "";
    EXPECT_EQ(ItemBitNumberToStore(page), std::nullopt);
}
