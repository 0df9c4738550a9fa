#pragma once
// An item's property list and attributes: composed from the page, read back by the
// page and by the driver.
#include <optional>

#include "boundary/PropertyList.h"
#include "boundary/Records.h"
#include "config/ItemPageValues.h"
#include "config/ItemParams.h"
#include "config/win/NodeList.h"

namespace tervex {

// The ten entries in their fixed order, stamped with the local time of composing.
// nodeList is the owning node's list (it decides whether the scan rate is stored) and
// may be empty. Throws std::bad_alloc when OLE or the task allocator has no memory.
OwnedPropertyList ComposeItemList(const ItemPageValues& page, const TItemProperties* nodeList);
// The same with the time stamp given as a local OLE date.
OwnedPropertyList ComposeItemList(const ItemPageValues& page, const TItemProperties* nodeList,
                                  double composedAtLocal);

// The item's attributes: its name (cut to 255 characters), active, the access rights
// and the type code of the list, EU info the 32-bit integer 0.
TItemAttributes ComposeItemAttributes(const ItemPageValues& page);

// What the item page takes from a list; unconvertible values count as absent.
ItemStoredValues ReadItemStoredValues(const TItemProperties* list);

// The driver's reading: absent properties take their defaults (see ItemParams). On
// Unconvertible the remaining parameters are still read.
ParamsStatus ReadItemParams(const TItemProperties* list, ItemParams& params);

}  // namespace tervex
