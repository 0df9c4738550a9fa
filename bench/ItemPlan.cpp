#include "ItemPlan.h"

#include <algorithm>
#include <map>
#include <random>
#include <tuple>

namespace bench {

const char* const kAreaTexts[6] = {"ОЗУ", "CLOCK", "EEPROM", "FRAM", "XRAM", "FLASH"};
const char* const kLsbFirst = "Младшим байтом вперед";
const char* const kMsbFirst = "Старшим байтом вперед";

namespace {

constexpr int kRam = 0;
constexpr int kClock = 1;
constexpr int kFlash = 5;
constexpr int kSmallAreaBlocks = 256 / 8;
constexpr int kLargeAreaBlocks = 65536 / 8;

const int kTypes[] = {17, 16, 18, 2, 3, 8, 0x2011};

}  // namespace

int TypeSize(int typeCode) {
    switch (typeCode) {
    case 2:
    case 18: return 2;
    case 3: return 4;
    case 8:
    case 0x2011: return 8;
    default: return 1;
    }
}

tervex::NodeParams MakeNode(int port, int device, bool ascii, const std::string& byteOrder) {
    tervex::NodeParams node;
    node.comPort = port;
    node.deviceAddress = device;
    node.protocol = ascii ? "ASCII" : "RTU";
    node.byteOrder = byteOrder;
    return node;
}

tervex::EngineTask ReadTask(const tervex::NodeParams& node, int area, int64_t address, int typeCode, int bitNumber) {
    tervex::EngineTask task;
    task.kind = tervex::TaskKind::AsyncRead;
    task.node = node;
    task.item.memoryArea = kAreaTexts[area];
    task.item.address = address;
    task.item.typeCode = typeCode;
    task.item.bitNumber = bitNumber;
    return task;
}

ScalePlan MakeScalePlan(const ScaleOptions& options) {
    std::mt19937 rng(options.seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };

    std::vector<tervex::NodeParams> nodes;
    for (int port = 0; port < options.ports; ++port) {
        for (int device = 1; device <= options.devicesPerPort; ++device) {
            nodes.push_back(MakeNode(port, device, options.ascii, device % 2 ? kLsbFirst : kMsbFirst));
        }
    }
    // Blocks handed out per (node, area), in a scrambled but repeatable order.
    std::map<std::pair<size_t, int>, int> used;
    auto takeBlock = [&](size_t node, int area) -> int64_t {
        const int capacity = area == kRam || area == kClock ? kSmallAreaBlocks : kLargeAreaBlocks;
        int& n = used[{node, area}];
        if (n >= capacity) return -1;
        const int index = static_cast<int>((static_cast<uint64_t>(n++) * 2654435761u + 17) % capacity);
        return static_cast<int64_t>(index) * 8;
    };
    auto pickArea = [&](bool write) {
        // About 6 % RAM and CLOCK, the rest in the large areas (no FLASH for writes).
        if (pick(0, 99) < 6) return pick(kRam, kClock);
        return write ? pick(2, 4) : pick(2, 5);
    };

    ScalePlan plan;
    plan.tasks.reserve(static_cast<size_t>(options.items));
    int64_t pendingWrites = 0;
    while (static_cast<int64_t>(plan.tasks.size()) < options.items) {
        const size_t node = static_cast<size_t>(pick(0, static_cast<int>(nodes.size()) - 1));
        // One write for every nine read items.
        const bool write = pendingWrites * 10 < static_cast<int64_t>(plan.tasks.size());
        int area = pickArea(write);
        int64_t block = takeBlock(node, area);
        if (block < 0) {
            area = 2 + pick(0, 2);  // the small area is full: a large one
            block = takeBlock(node, area);
        }
        if (write) {
            ++pendingWrites;
            ++plan.writes;
            tervex::EngineTask task = ReadTask(nodes[node], area, block, 17);
            task.kind = tervex::TaskKind::AsyncWrite;
            const bool boolean = area == kRam && pick(0, 3) == 0;
            task.item.typeCode = boolean ? 11 : kTypes[pick(0, 6)];
            task.item.bitNumber = pick(0, 7);
            task.write.bitValue = pick(0, 1) == 1;
            for (auto& b : task.write.bytes) b = static_cast<uint8_t>(pick(0, 255));
            plan.tasks.push_back(std::move(task));
            continue;
        }
        ++plan.readBlocks;
        const int count = pick(1, 7);
        for (int k = 0; k < count && static_cast<int64_t>(plan.tasks.size()) < options.items; ++k) {
            int type = kTypes[pick(0, 6)];
            if (area == kRam && pick(0, 7) == 0) type = 11;
            const int size = TypeSize(type);
            // The first item opens the block, so one frame from its address covers them all.
            const int64_t offset = k == 0 ? 0 : pick(0, 8 - size);
            plan.tasks.push_back(ReadTask(nodes[node], area, block + offset, type, pick(0, 7)));
        }
    }
    // The host queues in no particular order.
    std::shuffle(plan.tasks.begin(), plan.tasks.end(), rng);
    return plan;
}

}  // namespace bench
