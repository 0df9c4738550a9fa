#pragma once
// A node's property list and attributes: composed from the page, read back by the
// page and by the driver.
#include "boundary/PropertyList.h"
#include "boundary/Records.h"
#include "config/NodePageValues.h"
#include "config/NodeParams.h"

namespace tervex {

// The eight entries in their fixed order. Throws std::bad_alloc when OLE or the task
// allocator has no memory.
OwnedPropertyList ComposeNodeList(const NodePageValues& page);

// The node's attributes: its name (cut to 255 characters), active, access rights 3,
// data types 0, EU info the 32-bit integer 0.
TItemAttributes ComposeNodeAttributes(const NodePageValues& page);

// What the node page shows from a list; unconvertible values count as absent.
NodeStoredValues ReadNodeStoredValues(const TItemProperties* list);

enum class ParamsStatus {
    Ok,
    Unconvertible,  // a present value could not be converted; the task is not to be served
};

// The driver's reading: absent properties take their defaults (see NodeParams). On
// Unconvertible the remaining parameters are still read.
ParamsStatus ReadNodeParams(const TItemProperties* list, NodeParams& params);

}  // namespace tervex
