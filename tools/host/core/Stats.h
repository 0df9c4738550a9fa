#pragma once
// What the host counts during a run, and the summary printed at its end.
#include <cstdint>
#include <string>
#include <vector>

namespace tervex::host {

struct ItemStats {
    std::string name;  // "Node.Item"
    int64_t readsOk = 0;
    int64_t readsBad = 0;
    int64_t writesOk = 0;
    int64_t writesBad = 0;
    int64_t frames = 0;      // transmissions made for its tasks, as the driver reports them
    int64_t sharedReads = 0; // tasks served by a frame that another item's task brought
    int64_t overruns = 0;    // scan slots skipped while a read was still outstanding
};

struct NodeStats {
    std::string name;
    std::string where;  // "COM1, address 1, RTU"
    int64_t good = 0;
    int64_t noAnswer = 0;
    int64_t crcError = 0;
    int64_t wrongAnswer = 0;
    int64_t failed = 0;  // E_FAIL and anything else
    void Count(uint32_t result);
    int64_t Bad() const { return noAnswer + crcError + wrongAnswer + failed; }
};

struct PortStats {
    std::string name;  // "COM1 (simulator)"
    int64_t exchanges = 0;      // frames written
    int64_t writeFailures = 0;  // writes the port refused
    int64_t timeouts = 0;       // exchanges the driver closed without bytes
    int64_t answers = 0;        // answers handed to the driver
    int64_t incomplete = 0;     // handed over after the quiet gap, not complete
    int64_t unexpected = 0;     // bytes while no exchange was open
    int64_t txBytes = 0;
    int64_t rxBytes = 0;
};

// One read or write reported to an item through ReportTransfer: frames is the
// number of transmissions (tries, plus the answered one).
void CountTransfer(ItemStats& item, int32_t answered, int32_t tries, uint8_t first);

std::string RenderSummary(const std::vector<ItemStats>& items, const std::vector<NodeStats>& nodes,
                          const std::vector<PortStats>& ports);

}  // namespace tervex::host
