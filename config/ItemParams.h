#pragma once
// An item's parameters as the driver reads them from the item's property list.
#include <cstdint>
#include <optional>
#include <string>

namespace tervex {

enum ItemPropertyId : int32_t {
    PROP_ITEM_TYPE = 1,
    PROP_VALUE = 2,
    PROP_QUALITY = 3,
    PROP_TIMESTAMP = 4,
    PROP_ACCESS_RIGHTS = 5,
    PROP_ITEM_ADDRESS = 5005,
    PROP_MEMORY_TYPE = 5006,
    PROP_BIT_NUMBER = 5007,
};

// Memory area texts, compared exactly.
extern const char* const kAreaRam;     // "ОЗУ"
extern const char* const kAreaClock;   // "CLOCK"
extern const char* const kAreaEeprom;  // "EEPROM"
extern const char* const kAreaFram;    // "FRAM"
extern const char* const kAreaXram;    // "XRAM"
extern const char* const kAreaFlash;   // "FLASH"

struct ItemParams {
    int32_t typeCode = 17;     // Byte when absent
    int64_t address = 0;
    std::string memoryArea;    // UTF-8; empty when absent (matches no area)
    int64_t bitNumber = 0;     // outside 0..7 counts as 0 when used
};

}  // namespace tervex
