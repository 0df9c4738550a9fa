#include "tools/host/core/StationPages.h"

namespace tervex::host {

NodePageValues NodePage(const NodeConfig& node) {
    NodePageValues page;
    page.name = node.name;
    page.description = node.description;
    page.scanRateSeconds = node.scanRateSeconds;
    page.comPortName = "COM" + std::to_string(node.port);
    page.deviceAddress = node.address;
    page.protocol = node.protocol;
    page.readPassword = node.readPassword;
    page.writePassword = node.writePassword;
    page.byteOrder = node.byteOrder;
    return page;
}

ItemPageValues ItemPage(const ItemConfig& item, const NodeConfig& node) {
    ItemPageValues page;
    page.name = item.name;
    page.description = item.description;
    page.readChecked = item.readable;
    page.writeChecked = item.writable;
    page.scanRateSeconds = item.scanRateSeconds ? *item.scanRateSeconds : node.scanRateSeconds;
    page.memoryArea = item.area;
    page.address = item.address;
    page.typeName = item.typeName;
    page.bitNumber = item.bit;
    return page;
}

}  // namespace tervex::host
