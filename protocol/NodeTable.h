#pragma once
// The node parameters of the queued and active tasks, one record per distinct set:
// every task of a node refers to the same record, with what the engine derives from
// the parameters worked out once. A record lives as long as a task refers to it, and is
// never changed; a node whose parameters change gets a record of its own.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "config/NodeParams.h"
#include "protocol/Framing.h"

namespace tervex {

using NodeId = uint32_t;

struct EngineNode {
    NodeParams params;
    std::optional<uint8_t> port;    // the port its items are polled on; none: not polled
    uint16_t statusAddress = 0;     // the address its device record is kept under
    uint8_t deviceByte = 0;         // the address byte of its frames
    uint8_t answerDevice = 0;       // the address its answers must carry
    bool lsbFirst = false;          // byte order of its values
    const Framing* framing = nullptr;

    explicit EngineNode(const NodeParams& node);
};

class NodeTable {
public:
    NodeTable() { FRecent.fill(kNone); }
    NodeTable(const NodeTable&) = delete;
    NodeTable& operator=(const NodeTable&) = delete;

    // The record of these parameters, counting one more task on it; they are copied only
    // when no record holds them yet. Without memory it throws and nothing has changed.
    NodeId Intern(const NodeParams& params);
    // One task fewer; the last one frees the record.
    void Release(NodeId id) noexcept;
    const EngineNode& operator[](NodeId id) const { return FSlots[id]->node; }
    size_t Size() const { return FIndex.size(); }  // records held
    size_t IdLimit() const { return FSlots.size(); }  // every id given is below it

private:
    struct Slot {
        explicit Slot(const NodeParams& params) : node(params) {}
        EngineNode node;
        size_t users = 0;
    };
    struct Hash {
        size_t operator()(const NodeParams* params) const noexcept;
    };
    struct Same {
        bool operator()(const NodeParams* a, const NodeParams* b) const noexcept;
    };
    static constexpr NodeId kNone = ~NodeId{0};
    static constexpr size_t kRecentCount = 256;
    static size_t RecentIndex(const NodeParams& params);
    NodeId Count(NodeId id);

    std::vector<std::unique_ptr<Slot>> FSlots;
    std::vector<NodeId> FFree;  // its capacity covers every slot, so releasing never allocates
    std::unordered_map<const NodeParams*, NodeId, Hash, Same> FIndex;
    // The record last met for a port and device address: most lookups end there, with
    // one comparison instead of hashing every text.
    std::array<NodeId, kRecentCount> FRecent;
};

}  // namespace tervex
