#pragma once
// What the item page edits, and the rules between those values and the stored ones.
#include <cstdint>
#include <optional>
#include <string>

namespace tervex {

// The page's values; the defaults are those of a page shown for the first time.
// Texts are UTF-8; an empty memoryArea or typeName means nothing is selected.
struct ItemPageValues {
    std::string name = "Item";
    std::string description = "Описание переменной";
    bool readChecked = true;
    bool writeChecked = true;
    double scanRateSeconds = 1.0;
    std::string memoryArea = "ОЗУ";
    double address = 3;
    std::string typeName = "Byte";
    double bitNumber = 0;
};

// The values found in an item's list; absent (or unconvertible) ones are empty.
struct ItemStoredValues {
    std::optional<std::string> description;
    std::optional<int64_t> accessRights;
    std::optional<double> scanRateMs;
    std::optional<double> address;
    std::optional<std::string> memoryArea;
    std::optional<int64_t> typeCode;
    std::optional<double> bitNumber;
};

// Read (1) if checked, plus write (2) if checked and the area offers the write right
// (not "FLASH", not diagnostics).
int32_t ItemAccessRights(const ItemPageValues& page);

// The type code of the selected name; no selection gives Byte.
uint16_t ItemTypeCode(const ItemPageValues& page);

// The item stores its own scan rate only where it differs from its node's, and none
// at all when the node has none.
std::optional<int64_t> ItemScanRateToStore(double pageSeconds, std::optional<double> nodeScanRateMs);

// Only a Boolean item carries a bit number.
std::optional<double> ItemBitNumberToStore(const ItemPageValues& page);

}  // namespace tervex
