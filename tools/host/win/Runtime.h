#pragma once
// What the host keeps per node, item and write while it runs: the stored
// property lists, the item objects the driver is handed, the item state
// records the driver fills in, and what was last reported.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "boundary/PropertyList.h"
#include "boundary/Records.h"
#include "tools/host/core/PeriodStats.h"
#include "tools/host/core/Station.h"
#include "tools/host/core/Stats.h"
#include "tools/host/core/WriteValue.h"
#include "tools/host/win/HostItem.h"
#include "values/win/OleVariant.h"

namespace tervex::host {

// An OPC item-state record the host owns; its value is cleared with it.
struct ItemStateRecord {
    TItemState state;
    ItemStateRecord();
    ~ItemStateRecord();
    ItemStateRecord(const ItemStateRecord&) = delete;
    ItemStateRecord& operator=(const ItemStateRecord&) = delete;
};

struct NodeRuntime {
    const NodeConfig* config = nullptr;
    OwnedPropertyList list;  // as the node page composes it
    NodeStats stats;
};

struct ItemRuntime {
    size_t node = 0;
    const ItemConfig* config = nullptr;
    std::string fullName;  // "Node.Item"
    std::string where;     // "ОЗУ 0010 hex"
    OwnedPropertyList list;  // as the item page composes it
    int64_t scanMs = 1000;   // the item's own scan rate from its list, else its node's
    std::optional<size_t> scheduleIndex;  // readable items only
    HostItem object;

    ItemStateRecord read;
    HRESULT readResult = S_OK;  // synchronous reads
    uint32_t readHandle = 0;    // of the read in flight, 0 when none

    // Last completed read.
    bool reported = false;
    OleVariant value;
    uint16_t quality = 0;
    FILETIME stamp{};
    uint32_t result = 0;
    ItemStats stats;
    // Time between good reads, and when the last one came (-1: none yet).
    PeriodStats refresh;
    int64_t lastGoodUs = -1;
};

// An item's last completed read as the tables show it; empty texts before the
// first read ("(not read)" for an item that is never read).
struct ItemCells {
    std::string value;
    std::string quality;
    std::string time;    // local time of the stamp
    std::string result;
    std::string reads;   // "ok/bad"
};
ItemCells ShownCells(const ItemRuntime& item);

struct WriteJob {
    size_t item = 0;
    WriteValue value;
    int64_t atMs = 0;
    ItemStateRecord state;       // holds the value to write
    HRESULT syncResult = S_OK;
    bool queued = false;
    bool done = false;
    uint32_t result = 0;
};

}  // namespace tervex::host
