#include "protocol/NodeTable.h"

#include <functional>
#include <string_view>

#include "protocol/RequestBuilder.h"
#include "values/ValueCodec.h"

namespace tervex {

namespace {

bool SameParams(const NodeParams& a, const NodeParams& b) {
    // The numbers first: nodes on one line differ in them as a rule.
    return a.deviceAddress == b.deviceAddress && a.comPort == b.comPort &&
           a.byteOrder == b.byteOrder && a.protocol == b.protocol && a.readPassword == b.readPassword &&
           a.writePassword == b.writePassword;
}

void Mix(size_t& seed, size_t value) {
    seed ^= value + 0x9E3779B97F4A7C15ull + (seed << 6) + (seed >> 2);
}

size_t HashOf(const std::optional<int64_t>& value) {
    return value ? std::hash<int64_t>{}(*value) : 0x5A5A5A5Au;
}

}  // namespace

EngineNode::EngineNode(const NodeParams& node) : params(node) {
    port = PollPort(params);
    statusAddress = static_cast<uint16_t>(params.deviceAddress);
    deviceByte = DeviceByte(params);
    // As answers are judged: an address outside 0..255 counts as 0.
    answerDevice = params.deviceAddress >= 0 && params.deviceAddress <= 255
                       ? static_cast<uint8_t>(params.deviceAddress)
                       : 0;
    lsbFirst = IsLsbFirst(params.byteOrder);
    framing = &FramingFor(params.protocol);
}

size_t NodeTable::Hash::operator()(const NodeParams* p) const noexcept {
    const std::hash<std::string_view> text;
    size_t seed = std::hash<int64_t>{}(p->deviceAddress);
    Mix(seed, HashOf(p->comPort));
    Mix(seed, text(p->byteOrder));
    Mix(seed, text(p->protocol));
    Mix(seed, text(p->readPassword));
    Mix(seed, text(p->writePassword));
    return seed;
}

bool NodeTable::Same::operator()(const NodeParams* a, const NodeParams* b) const noexcept {
    return SameParams(*a, *b);
}

size_t NodeTable::RecentIndex(const NodeParams& params) {
    uint64_t key = static_cast<uint64_t>(params.comPort.value_or(-1)) * 0x9E3779B97F4A7C15ull;
    key = (key ^ static_cast<uint64_t>(params.deviceAddress)) * 0xBF58476D1CE4E5B9ull;
    return static_cast<size_t>(key >> 32) % kRecentCount;
}

NodeId NodeTable::Count(NodeId id) {
    ++FSlots[id]->users;
    return id;
}

NodeId NodeTable::Intern(const NodeParams& params) {
    NodeId& recent = FRecent[RecentIndex(params)];
    if (recent != kNone && SameParams(FSlots[recent]->node.params, params)) {
        return Count(recent);
    }
    const auto found = FIndex.find(&params);
    if (found != FIndex.end()) {
        recent = found->second;
        return Count(recent);
    }
    // Everything that can fail comes before the table changes.
    auto slot = std::make_unique<Slot>(params);
    if (FFree.empty()) {
        if (FSlots.size() == FSlots.capacity()) {
            FSlots.reserve(FSlots.capacity() < 8 ? 8 : FSlots.capacity() * 2);
        }
        if (FFree.capacity() <= FSlots.size()) {
            FFree.reserve(FSlots.capacity());
        }
    }
    const NodeId id = FFree.empty() ? static_cast<NodeId>(FSlots.size()) : FFree.back();
    FIndex.emplace(&slot->node.params, id);
    if (FFree.empty()) {
        FSlots.push_back(std::move(slot));
    } else {
        FFree.pop_back();
        FSlots[id] = std::move(slot);
    }
    recent = id;
    return Count(id);
}

void NodeTable::Release(NodeId id) noexcept {
    if (id >= FSlots.size() || !FSlots[id] || --FSlots[id]->users > 0) {
        return;
    }
    NodeId& recent = FRecent[RecentIndex(FSlots[id]->node.params)];
    if (recent == id) {
        recent = kNone;
    }
    FIndex.erase(&FSlots[id]->node.params);
    FSlots[id].reset();
    FFree.push_back(id);  // within its capacity
}

}  // namespace tervex
