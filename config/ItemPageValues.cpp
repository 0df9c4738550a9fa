#include "config/ItemPageValues.h"

#include "config/DiagnosticsArea.h"
#include "config/ItemParams.h"
#include "config/NodePageValues.h"
#include "values/DataTypes.h"

namespace tervex {

int32_t ItemAccessRights(const ItemPageValues& page) {
    const bool writeOffered = ItemWriteOffered(page.memoryArea);
    return (page.readChecked ? 1 : 0) + (writeOffered && page.writeChecked ? 2 : 0);
}

uint16_t ItemTypeCode(const ItemPageValues& page) {
    return DataTypeFromName(page.typeName);
}

std::optional<int64_t> ItemScanRateToStore(double pageSeconds, std::optional<double> nodeScanRateMs) {
    const int64_t ms = ScanRateSecondsToMs(pageSeconds);
    if (nodeScanRateMs && *nodeScanRateMs != static_cast<double>(ms)) {
        return ms;
    }
    return std::nullopt;
}

std::optional<double> ItemBitNumberToStore(const ItemPageValues& page) {
    if (ItemTypeCode(page) == kTypeBoolean) {
        return page.bitNumber;
    }
    return std::nullopt;
}

}  // namespace tervex
