#pragma once
// A station's nodes and items as the property pages would show them: the host
// stores the lists those pages compose.
#include "config/ItemPageValues.h"
#include "config/NodePageValues.h"
#include "tools/host/core/Station.h"

namespace tervex::host {

NodePageValues NodePage(const NodeConfig& node);
// An item without a scan rate of its own shows its node's, so none is stored.
ItemPageValues ItemPage(const ItemConfig& item, const NodeConfig& node);

}  // namespace tervex::host
